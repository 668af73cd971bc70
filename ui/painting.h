// How the window's own controls draw: the group frame, the status line and
// the picture buttons.
#pragma once

#include <string_view>

#include "runtime/windows_api.h"
#include "ui/device_context.h"

namespace kwt::ui {

// A button picture from the executable's bitmap resources: count images of
// size x size side by side (the second, if any, the greyed look). The colour
// of the bottom-left pixel is transparent.
class Glyph {
 public:
  // Raises an Exception when the resource is missing.
  Glyph(HINSTANCE instance, const wchar_t* name, int size, int count);

  int Size() const noexcept { return size_; }
  // The smallest rectangle around the pixels that are not transparent,
  // relative to the picture's top-left corner.
  const RECT& Ink() const noexcept { return ink_; }
  // Draws the image for the state, with the transparent colour left out.
  void Draw(HDC target, int left, int top, bool enabled) const;

 private:
  BitmapObject bitmap_;
  int size_;
  int count_;
  COLORREF transparent_ = 0;
  RECT ink_{0, 0, 0, 0};
};

// The etched frame over the whole rectangle, its top edge frame_top below
// the rectangle's top.
void PaintGroupFrame(HDC dc, const RECT& bounds, int frameTop);

// The status line: its rectangle filled with the button face and the text
// drawn centred at its top in the window-text colour.
void PaintStatusLine(HDC dc, const RECT& bounds, std::wstring_view text, HFONT font);

// An owner-drawn push button with a picture and an optional caption, the two
// centred together, spacing apart; the caption's "&" marks its access key.
// The picture's drawn pixels stay on the button's face, inside its edges;
// the focus rectangle runs along the face's top and bottom, focus_inset in
// from its sides, beneath the picture and caption.
void PaintPictureButton(const DRAWITEMSTRUCT& item, const Glyph* glyph, std::wstring_view caption, HFONT font,
                        int spacing, int focusInset);

}  // namespace kwt::ui
