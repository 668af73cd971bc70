#include "runtime/digest.h"

#include <memory>

#include "runtime/platform.h"

namespace kwt {

std::optional<std::uint64_t> DigestOf(const platform::Place& place) {
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  platform::FileHandle file;
  if (platform::Open(place, platform::Access::Read, platform::kShareRead | platform::kShareWrite,
                     platform::Creation::OpenExisting, file) != platform::error::kSuccess) {
    return std::nullopt;
  }
  const auto buffer = std::make_unique_for_overwrite<char[]>(kPiece);
  Digest digest;
  while (true) {
    std::size_t got = 0;
    if (platform::Read(file, buffer.get(), kPiece, got) != platform::error::kSuccess) return std::nullopt;
    if (got == 0) return digest.Value();
    digest.Add(buffer.get(), got);
  }
}

}  // namespace kwt
