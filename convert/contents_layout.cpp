#include "convert/contents_layout.h"

#include <algorithm>
#include <vector>

#include "runtime/platform.h"

namespace kwt {
namespace {

// The most records of each layout read to decide: a few megabytes, enough for
// any real file to show which layout it has, and no second pass over a large
// file before it converts.
constexpr std::uint64_t kRecordsRead = 4096;

bool ReadAt(platform::FileHandle& file, std::vector<std::uint8_t>& bytes, std::uint64_t size) {
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t got = 0;
  while (got < bytes.size()) {
    std::size_t read = 0;
    if (platform::Read(file, bytes.data() + got, bytes.size() - got, read) != platform::error::kSuccess ||
        read == 0) {
      return false;
    }
    got += read;
  }
  return true;
}

// The first bytes of the file, up to limit, and its size; false when it
// cannot be read.
bool ReadStart(platform::FileHandle& file, std::uint64_t limit, std::vector<std::uint8_t>& bytes,
               std::uint64_t& size) {
  if (platform::Size(file, size) != platform::error::kSuccess) return false;
  return ReadAt(file, bytes, std::min(size, limit));
}

// Exactly count records of layout as a pass writes them, from the file's
// first bytes and its size.
bool WrittenAs(const Layout& layout, const std::vector<std::uint8_t>& first, std::uint64_t size,
               std::int32_t count) {
  std::uint64_t expected = 0;
  if (count <= 0 || !ContentsSizeFor(layout, count, expected) || size != expected ||
      first.size() < layout.recordSize) {
    return false;
  }
  return std::all_of(layout.addedTexts.begin(), layout.addedTexts.end(),
                     [&first](std::size_t text) { return first[text] == 0; });
}

// True when every string's length byte that bytes hold, read as records of
// the layout (a partial last record included as far as it goes), is within
// its capacity.
bool RecordsFit(const Layout& layout, const std::vector<std::uint8_t>& bytes, bool partial) {
  const std::size_t end = partial ? bytes.size() : bytes.size() / layout.recordSize * layout.recordSize;
  for (std::size_t start = 0; start < end; start += layout.recordSize) {
    for (const ShortStringField& text : layout.strings) {
      if (start + text.offset < end && bytes[start + text.offset] > text.capacity) return false;
    }
  }
  return true;
}

}  // namespace

bool ContentsWrittenAs(const Layout& layout, platform::FileHandle& file, std::int32_t count) {
  std::vector<std::uint8_t> first;
  std::uint64_t size = 0;
  return count > 0 && ReadStart(file, layout.recordSize, first, size) &&
         WrittenAs(layout, first, size, count);
}

LaterLayoutFinding LaterLayoutOfContents(const Layout& recorded, platform::FileHandle& file,
                                         std::int32_t count) {
  if (count <= 0) return {};
  std::vector<std::uint8_t> bytes;
  std::uint64_t size = 0;
  if (!ReadStart(file, kRecordsRead * Layouts().back().recordSize, bytes, size)) return {};
  // Read whole, the partial record at its end is the file's own; cut off by
  // the limit, it proves nothing.
  const bool whole = bytes.size() == size;
  const bool recordedFits = RecordsFit(recorded, bytes, whole);
  // No file of whole records of the recorded layout has such a size.
  const bool notWholeRecorded = size % recorded.recordSize != 0;
  LaterLayoutFinding found;
  int foundFit = -1;
  for (const Layout& later : LaterLayouts(recorded)) {
    if (bytes.size() < later.recordSize || !RecordsFit(later, bytes, false)) continue;
    const bool written = WrittenAs(later, bytes, size, count);
    const bool wholeLater = size % later.recordSize == 0;
    LaterLayoutFinding finding;
    if (!recordedFits || (notWholeRecorded && written)) {
      finding = {&later, true};
    } else if (written || (notWholeRecorded && wholeLater)) {
      // Exactly what a pass writes, at a size that both layouts divide (an
      // old project file restored over its converted records): refused,
      // since a second conversion would ruin them, but no Version is named.
      finding = {&later, false};
    }
    if (!finding) continue;
    // More than one later layout may read well: a 140 file that cannot be a
    // 102 one often reads as 103 records too. The one the size tells is the
    // file's: exactly what a pass writes, else whole records; else the older.
    const int fit = (written ? 2 : 0) + (wholeLater ? 1 : 0);
    if (fit > foundFit) {
      found = finding;
      foundFit = fit;
    }
  }
  return found;
}

LaterLayoutFinding LaterLayoutOfContents(const Layout& recorded, std::string_view path, std::int32_t count) {
  platform::FileHandle file;
  if (platform::Open(path, platform::Access::Read, platform::kShareRead | platform::kShareWrite,
                     platform::Creation::OpenExisting, file) != platform::error::kSuccess) {
    return {};
  }
  return LaterLayoutOfContents(recorded, file, count);
}

}  // namespace kwt
