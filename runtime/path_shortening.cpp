#include "runtime/path_shortening.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace kwt {
namespace {

constexpr std::string_view kMarker = "...";

bool IsSeparator(char byte, PathStyle style) {
  return DirectorySeparators(style).find(byte) != std::string_view::npos;
}

// "\...\": a rooted dir that an earlier step has already reduced to the marker.
bool IsRootedMarker(std::string_view dir, PathStyle style) {
  return dir.size() == kMarker.size() + 2 && IsSeparator(dir.front(), style) &&
         dir.substr(1, kMarker.size()) == kMarker && IsSeparator(dir.back(), style);
}

}  // namespace

TextMeasure::~TextMeasure() = default;

std::int32_t ByteWidthMeasure::TextWidth(std::string_view text) {
  constexpr std::size_t kWidest = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(std::min(text.size(), kWidest));
}

void DropFirstDirectory(std::string& dir, PathStyle style) {
  if (dir.size() == 1 && IsSeparator(dir.front(), style)) {
    dir.clear();
    return;
  }
  std::string root;
  if (!dir.empty() && IsSeparator(dir.front(), style)) {
    root = dir.substr(0, 1);
    dir.erase(0, 1);
  }
  // The marker "...\" of an earlier step goes as a whole; so does the start
  // of any first directory that begins with a full stop.
  if (!dir.empty() && dir.front() == '.') dir.erase(0, std::min<std::size_t>(kMarker.size() + 1, dir.size()));
  std::size_t end = 0;
  while (end < dir.size() && !(IsSeparator(dir[end], style) && ClassifyByte(dir, end) != ByteClass::Trail)) {
    ++end;
  }
  if (end == dir.size()) {
    dir.clear();
  } else {
    dir = std::string(kMarker) + dir.substr(end);
  }
  dir.insert(0, root);
}

std::string ShortenPath(std::string_view path, TextMeasure& measure, std::int32_t maxWidth, PathStyle style) {
  std::string result(path);
  std::string dir = DirectoryPart(path, style);
  const std::string name = NamePart(path, style);
  std::string drive;
  if (dir.size() >= 2 && dir[1] == ':') {
    drive = dir.substr(0, 2);
    dir.erase(0, 2);
  }
  // Emptiness is tested first: once only the name is left it is returned
  // without being measured, however wide it is.
  while ((!dir.empty() || !drive.empty()) && measure.TextWidth(result) > maxWidth) {
    if (IsRootedMarker(dir, style)) {
      drive.clear();
      dir.erase(0, 1);
    } else if (dir.empty()) {
      drive.clear();
    } else {
      DropFirstDirectory(dir, style);
    }
    result = drive + dir + name;
  }
  return result;
}

}  // namespace kwt
