#include "convert/contents_layout.h"

#include <vector>

#include "runtime/platform.h"

namespace kwt {

const Layout* LaterLayoutOfContents(const Layout& recorded, std::string_view path, std::int32_t count) {
  std::uint64_t recordedSize = 0;
  if (count <= 0 || !ContentsSizeFor(recorded, count, recordedSize)) return nullptr;
  platform::FileHandle file;
  std::uint64_t size = 0;
  if (platform::Open(path, platform::Access::Read, platform::kShareRead | platform::kShareWrite,
                     platform::Creation::OpenExisting, file) != platform::error::kSuccess ||
      platform::Size(file, size) != platform::error::kSuccess || size == recordedSize) {
    return nullptr;
  }
  for (const Layout& later : LaterLayouts(recorded)) {
    std::uint64_t laterSize = 0;
    if (!ContentsSizeFor(later, count, laterSize) || size != laterSize) continue;
    std::vector<std::uint8_t> first(later.recordSize);
    std::size_t read = 0;
    if (platform::Read(file, first.data(), first.size(), read) != platform::error::kSuccess ||
        read != first.size()) {
      return nullptr;
    }
    for (const std::size_t added : later.addedTexts) {
      if (first[added] != 0) return nullptr;
    }
    return &later;
  }
  return nullptr;
}

}  // namespace kwt
