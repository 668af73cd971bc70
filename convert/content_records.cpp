#include "convert/content_records.h"

#include <cstring>
#include <span>

#include "runtime/record_file.h"

namespace kwt {

namespace {

// Four bytes as they are: the value's meaning (and byte order) is the owning
// application's business.
template <std::size_t FromSize, std::size_t ToSize>
void CopyValue4(const std::array<std::uint8_t, FromSize>& from, std::size_t fromOffset,
                std::array<std::uint8_t, ToSize>& to, std::size_t toOffset) noexcept {
  std::memcpy(to.data() + toOffset, from.data() + fromOffset, 4);
}

// The source string is bounded by its record's end, so a length byte that
// reaches past the record takes no bytes from outside it.
template <std::size_t FromSize, std::size_t ToSize>
void CopyText(const std::array<std::uint8_t, FromSize>& from, std::size_t fromOffset,
              std::array<std::uint8_t, ToSize>& to, std::size_t toOffset, std::size_t capacity) noexcept {
  CopyShortString(std::span<std::uint8_t>(to).subspan(toOffset, capacity + 1),
                  std::span<const std::uint8_t>(from).subspan(fromOffset), capacity);
}

}  // namespace

void MapTo103(const ContentRecord102& source, ContentRecord103& target) noexcept {
  using S = ContentRecord102;
  using T = ContentRecord103;
  const auto& from = source.bytes;
  auto& to = target.bytes;
  to[T::kValue1] = from[S::kValue1];  // one byte: the source's gap stays behind
  CopyValue4(from, S::kValue2, to, T::kValue2);
  CopyText(from, S::kText1, to, T::kText1, T::kText1Capacity);
  CopyText(from, S::kText2, to, T::kText2, T::kText2Capacity);
  CopyValue4(from, S::kValue3, to, T::kValue3);
  CopyValue4(from, S::kValue4, to, T::kValue4);
  CopyText(from, S::kText3, to, T::kText3, T::kText3Capacity);
  to[T::kText4] = 0;
  to[T::kText5] = 0;
}

void MapTo140(const ContentRecord103& source, ContentRecord140& target) noexcept {
  using S = ContentRecord103;
  using T = ContentRecord140;
  const auto& from = source.bytes;
  auto& to = target.bytes;
  to[T::kValue1] = from[S::kValue1];  // one byte: the source's gap stays behind
  CopyValue4(from, S::kValue2, to, T::kValue2);
  CopyText(from, S::kText1, to, T::kText1, T::kText1Capacity);
  CopyText(from, S::kText2, to, T::kText2, T::kText2Capacity);
  CopyValue4(from, S::kValue3, to, T::kValue3);
  CopyValue4(from, S::kValue4, to, T::kValue4);
  CopyText(from, S::kText3, to, T::kText3, T::kText3Capacity);
  CopyText(from, S::kText4, to, T::kText4, T::kText4Capacity);
  CopyText(from, S::kText5, to, T::kText5, T::kText5Capacity);
  to[T::kText6] = 0;
  to[T::kText7] = 0;
}

void RecordChain::Map(const char* in, char* out) noexcept {
  if (from_ == 102) {
    std::memcpy(r102_.bytes.data(), in, r102_.bytes.size());
    MapTo103(r102_, r103_);
  } else {
    std::memcpy(r103_.bytes.data(), in, r103_.bytes.size());
  }
  if (to_ == 103) {
    std::memcpy(out, r103_.bytes.data(), r103_.bytes.size());
    return;
  }
  MapTo140(r103_, r140_);
  std::memcpy(out, r140_.bytes.data(), r140_.bytes.size());
}

}  // namespace kwt
