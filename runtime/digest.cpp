#include "runtime/digest.h"

#include <memory>

#include "runtime/platform.h"

namespace kwt {

std::optional<std::uint64_t> DigestOf(const platform::Place& place, std::uint32_t* failure) {
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  const auto failed = [failure](platform::ErrorCode code) -> std::optional<std::uint64_t> {
    if (failure != nullptr) *failure = code;
    return std::nullopt;
  };
  platform::FileHandle file;
  if (const platform::ErrorCode code =
          platform::Open(place, platform::Access::Read, platform::kShareRead | platform::kShareWrite,
                         platform::Creation::OpenExisting, file)) {
    return failed(code);
  }
  const auto buffer = std::make_unique_for_overwrite<char[]>(kPiece);
  Digest digest;
  while (true) {
    std::size_t got = 0;
    if (const platform::ErrorCode code = platform::Read(file, buffer.get(), kPiece, got)) return failed(code);
    if (got == 0) return digest.Value();
    digest.Add(buffer.get(), got);
  }
}

}  // namespace kwt
