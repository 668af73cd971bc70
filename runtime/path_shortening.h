// Fitting a long path into a box of given width for display, by replacing its
// leading directories with "...\" one at a time. The file name itself is never
// cut: when even the bare name is too wide, the bare name is shown.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/file_names.h"

namespace kwt {

// Measures how wide a text is drawn. The window measures pixels in its font;
// a terminal, and the tests, one unit per byte.
class TextMeasure {
 public:
  virtual ~TextMeasure();
  // The width of all of text's bytes drawn as one run.
  virtual std::int32_t TextWidth(std::string_view text) = 0;
};

// One unit per byte: how code page 932 text fills a terminal, a double-byte
// character taking two columns.
class ByteWidthMeasure : public TextMeasure {
 public:
  std::int32_t TextWidth(std::string_view text) override;
};

// The text to show for path in at most maxWidth: the path itself if it fits,
// otherwise the widest candidate that does, dropping the drive and leading
// directories one step at a time. A result exactly maxWidth wide fits. Each
// candidate is measured once, the first one included, and nothing else: once
// only the name is left it is returned without measuring it, and a path
// without any delimiter is returned at once.
std::string ShortenPath(std::string_view path, TextMeasure& measure, std::int32_t maxWidth,
                        PathStyle style = kNativePathStyle);

// Replaces the first directory of dir (a directory part ending in a separator,
// without its drive) with "...\", keeping a leading root separator. A leading
// full stop is taken for the marker of an earlier step: the first 4 bytes go
// with it. "\" becomes empty, as does a dir with no further separator.
void DropFirstDirectory(std::string& dir, PathStyle style = kNativePathStyle);

}  // namespace kwt
