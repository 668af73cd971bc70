#include "ui/painting.h"

#include <algorithm>
#include <string>

#include "runtime/errors.h"
#include "runtime/texts.h"
#include "ui/device_context.h"

namespace kwt::ui {
namespace {

// DrawFrameControl's push button has two one-pixel edges on each side, at
// every DPI; the face lies inside them.
constexpr int kButtonEdge = 2;

// The start of a stretch of length that began at start, moved as little as
// keeps it within [low, high). One longer than that room starts at low and
// is cut at high by the caller.
int Within(int start, int length, int low, int high) {
  return std::max(low, std::min(start, high - length));
}

}  // namespace

Glyph::Glyph(HINSTANCE instance, const wchar_t* name, int size, int count)
    : bitmap_(static_cast<HBITMAP>(LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))),
      size_(size),
      count_(count) {
  if (!bitmap_) throw Exception(std::string(texts::kMissingButtonPicture));
  const MemoryDC memory = CompatibleMemoryDC(nullptr);
  const Selected picture(memory.get(), bitmap_.get());
  transparent_ = GetPixel(memory.get(), 0, size_ - 1);
  ink_ = RECT{size_, size_, 0, 0};
  for (int y = 0; y < size_; ++y) {
    for (int x = 0; x < size_; ++x) {
      if (GetPixel(memory.get(), x, y) == transparent_) continue;
      ink_.left = std::min(ink_.left, static_cast<LONG>(x));
      ink_.top = std::min(ink_.top, static_cast<LONG>(y));
      ink_.right = std::max(ink_.right, static_cast<LONG>(x + 1));
      ink_.bottom = std::max(ink_.bottom, static_cast<LONG>(y + 1));
    }
  }
  if (ink_.left >= ink_.right) ink_ = RECT{0, 0, 0, 0};
}

void Glyph::Draw(HDC target, int left, int top, bool enabled) const {
  const MemoryDC memory = CompatibleMemoryDC(target);
  const Selected picture(memory.get(), bitmap_.get());
  const int sourceLeft = !enabled && count_ > 1 ? size_ : 0;
  TransparentBlt(target, left, top, size_, size_, memory.get(), sourceLeft, 0, size_, size_, transparent_);
}

void PaintGroupFrame(HDC dc, const RECT& bounds, int frameTop) {
  RECT frame = bounds;
  frame.top += frameTop;
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
}

void PaintStatusLine(HDC dc, const RECT& bounds, std::wstring_view text, HFONT font) {
  Selected selectedFont(dc, font);
  FillRect(dc, &bounds, GetSysColorBrush(COLOR_BTNFACE));
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkMode(dc, TRANSPARENT);
  RECT area = bounds;
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &area,
            DT_CENTER | DT_TOP | DT_WORDBREAK | DT_EXPANDTABS);
}

void PaintPictureButton(const DRAWITEMSTRUCT& item, const Glyph* glyph, std::wstring_view caption, HFONT font,
                        int spacing, int focusInset) {
  const HDC dc = item.hDC;
  RECT bounds = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  const bool enabled = (item.itemState & ODS_DISABLED) == 0;
  DrawFrameControl(dc, &bounds, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  RECT face = bounds;
  InflateRect(&face, -kButtonEdge, -kButtonEdge);
  if ((item.itemState & ODS_FOCUS) != 0) {
    // Drawn first, so that where a picture fills its button (the 17-pixel
    // open button) the picture covers the dots instead of the dots the
    // picture; on the close button the face's top and bottom rows are clear
    // of the door at every size.
    RECT focus = face;
    InflateRect(&focus, -focusInset, 0);
    DrawFocusRect(dc, &focus);
  }

  Selected selectedFont(dc, font);
  const int textLength = static_cast<int>(caption.size());
  RECT textBox{0, 0, 0, 0};
  if (textLength > 0) DrawTextW(dc, caption.data(), textLength, &textBox, DT_CALCRECT | DT_SINGLELINE);
  const int glyphSize = glyph != nullptr ? glyph->Size() : 0;
  const int textWidth = textBox.right - textBox.left;
  const int gap = glyphSize > 0 && textWidth > 0 ? spacing : 0;
  const int total = glyphSize + gap + textWidth;
  const int shift = pushed ? 1 : 0;
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  const int left = bounds.left + (width - total) / 2 + shift;

  if (glyph != nullptr) {
    // Centred, the picture's drawn pixels could reach over the edges: the
    // 14-pixel folder in the 17-pixel open button, whose face is 13 pixels
    // wide, would cover the inner bevel with its left outline. So they are
    // moved onto the face as far as needed, and what still does not fit is
    // cut off at the face's far side: there the folder loses only the tip
    // of its front flap (two pixels), and pushed it moves down but not
    // across. A picture that fits is drawn as it always was.
    const RECT& ink = glyph->Ink();
    const int top = bounds.top + (height - glyphSize) / 2 + shift;
    const int x = Within(left + ink.left, ink.right - ink.left, face.left, face.right) - ink.left;
    const int y = Within(top + ink.top, ink.bottom - ink.top, face.top, face.bottom) - ink.top;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, face.left, face.top, face.right, face.bottom);
    glyph->Draw(dc, x, y, enabled);
    RestoreDC(dc, saved);
  }
  if (textWidth > 0) {
    const int textHeight = textBox.bottom - textBox.top;
    RECT area{left + glyphSize + gap, bounds.top + (height - textHeight) / 2 + shift, 0, 0};
    area.right = area.left + textWidth;
    area.bottom = area.top + textHeight;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    // The access key is always underlined, whatever the keyboard cues.
    DrawTextW(dc, caption.data(), textLength, &area, DT_SINGLELINE);
  }
}

}  // namespace kwt::ui
