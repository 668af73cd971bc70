// A digest of a file's bytes, for telling a change that the file's stamps
// cannot show: a same-size rewrite within one tick of a coarse clock (FAT
// and exFAT keep the write time in seconds or two). Not for security: only
// for noticing that bytes differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace kwt {

namespace platform {
struct Place;
}  // namespace platform

// 64-bit FNV-1a over the bytes added, in order.
class Digest {
 public:
  void Add(const void* bytes, std::size_t size) noexcept {
    const auto* byte = static_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < size; ++i) value_ = (value_ ^ byte[i]) * kPrime;
  }
  std::uint64_t Value() const noexcept { return value_; }

 private:
  static constexpr std::uint64_t kPrime = 0x100000001B3;
  std::uint64_t value_ = 0xCBF29CE484222325;
};

// The digest of the file place names; none when it cannot be opened or read.
std::optional<std::uint64_t> DigestOf(const platform::Place& place);

}  // namespace kwt
