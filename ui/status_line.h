// The status line's picture, composed off screen. A conversion sets a new
// text before every record, and each must be on screen before the next one
// is set. Composing it in a memory bitmap and copying it in one step means
// the screen never shows the line filled but not yet written; and a new text
// that differs from the one before only from some character on (the record
// number of a progress text) is composed by redrawing that tail alone, which
// is what makes a status update cheap enough to do once per record.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "runtime/windows_api.h"
#include "ui/device_context.h"

namespace kwt::ui {

class StatusLinePicture {
 public:
  // A picture of size, drawn in font, compatible with reference (the line's
  // own device context); null when the system gives no bitmap for it.
  static std::unique_ptr<StatusLinePicture> Create(HDC reference, SIZE size, HFONT font);
  ~StatusLinePicture();
  StatusLinePicture(const StatusLinePicture&) = delete;
  StatusLinePicture& operator=(const StatusLinePicture&) = delete;

  SIZE Size() const noexcept { return size_; }
  HFONT Font() const noexcept { return font_; }

  // Makes the picture show text exactly as PaintStatusLine draws it on a
  // rectangle of Size() and returns the part that changed (empty when none).
  RECT Compose(std::wstring_view text);
  // Copies part of the picture to the same place on target.
  void CopyTo(HDC target, const RECT& part) const;
  // The picture itself, for comparing it with a full draw.
  HDC Surface() const noexcept { return memory_.get(); }

 private:
  StatusLinePicture(SIZE size, HFONT font, MemoryDC memory, BitmapObject bitmap);

  struct Glyph {
    int advance = 0;
    // Whether the glyph's ink may reach outside its own advance, left or
    // right; such a glyph cannot be drawn apart from its neighbours.
    bool spills = true;
  };

  RECT ComposeWhole(std::wstring_view text);
  // Redraws only from the first character that differs from what the picture
  // shows; false when that could give other pixels than a full draw.
  bool ComposeTail(std::wstring_view text, RECT& changed);
  const Glyph& GlyphOf(wchar_t character);
  // Whether the system draws text as a single line of plain glyphs: no
  // access-key marks, tabs or line breaks, and no wider than the line.
  static bool IsPlain(std::wstring_view text) noexcept;

  SIZE size_;
  HFONT font_;
  MemoryDC memory_;
  // After memory_: given back before the context it was made for.
  BitmapObject bitmap_;
  HGDIOBJ originalBitmap_ = nullptr;
  HGDIOBJ originalFont_ = nullptr;
  std::unordered_map<wchar_t, Glyph> glyphs_;
  // The character metrics of the font are trusted only while the width of
  // every whole text drawn equals the sum of its characters' advances.
  bool advancesAddUp_ = true;

  // What the picture shows: nothing before the first text; the text, and
  // when it is plain, how wide it is.
  bool composed_ = false;
  std::wstring shown_;
  bool shownPlain_ = false;
  int shownWidth_ = 0;
};

}  // namespace kwt::ui
