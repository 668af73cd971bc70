#include "ui/painting.h"

#include <string>

#include "runtime/errors.h"
#include "runtime/texts.h"
#include "ui/device_context.h"

namespace kwt::ui {

Glyph::Glyph(HINSTANCE instance, const wchar_t* name, int size, int count)
    : bitmap_(static_cast<HBITMAP>(LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))),
      size_(size),
      count_(count) {
  if (bitmap_ == nullptr) throw Exception(std::string(texts::kMissingButtonPicture));
  const MemoryDC memory = CompatibleMemoryDC(nullptr);
  const Selected picture(memory.get(), bitmap_);
  transparent_ = GetPixel(memory.get(), 0, size_ - 1);
}

Glyph::~Glyph() {
  DeleteObject(bitmap_);
}

void Glyph::Draw(HDC target, int left, int top, bool enabled) const {
  const MemoryDC memory = CompatibleMemoryDC(target);
  const Selected picture(memory.get(), bitmap_);
  const int source_left = !enabled && count_ > 1 ? size_ : 0;
  TransparentBlt(target, left, top, size_, size_, memory.get(), source_left, 0, size_, size_, transparent_);
}

void PaintGroupFrame(HDC dc, const RECT& bounds, int frame_top) {
  RECT frame = bounds;
  frame.top += frame_top;
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
}

void PaintStatusLine(HDC dc, const RECT& bounds, std::wstring_view text, HFONT font) {
  Selected selected_font(dc, font);
  FillRect(dc, &bounds, GetSysColorBrush(COLOR_BTNFACE));
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkMode(dc, TRANSPARENT);
  RECT area = bounds;
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &area,
            DT_CENTER | DT_TOP | DT_WORDBREAK | DT_EXPANDTABS);
}

void PaintPictureButton(const DRAWITEMSTRUCT& item, const Glyph* glyph, std::wstring_view caption, HFONT font,
                        int spacing) {
  const HDC dc = item.hDC;
  RECT bounds = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  const bool enabled = (item.itemState & ODS_DISABLED) == 0;
  DrawFrameControl(dc, &bounds, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

  Selected selected_font(dc, font);
  const int text_length = static_cast<int>(caption.size());
  RECT text_box{0, 0, 0, 0};
  if (text_length > 0) DrawTextW(dc, caption.data(), text_length, &text_box, DT_CALCRECT | DT_SINGLELINE);
  const int glyph_size = glyph != nullptr ? glyph->Size() : 0;
  const int text_width = text_box.right - text_box.left;
  const int gap = glyph_size > 0 && text_width > 0 ? spacing : 0;
  const int total = glyph_size + gap + text_width;
  const int shift = pushed ? 1 : 0;
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  const int left = bounds.left + (width - total) / 2 + shift;

  if (glyph != nullptr) glyph->Draw(dc, left, bounds.top + (height - glyph_size) / 2 + shift, enabled);
  if (text_width > 0) {
    const int text_height = text_box.bottom - text_box.top;
    RECT area{left + glyph_size + gap, bounds.top + (height - text_height) / 2 + shift, 0, 0};
    area.right = area.left + text_width;
    area.bottom = area.top + text_height;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    // The access key is always underlined, whatever the keyboard cues.
    DrawTextW(dc, caption.data(), text_length, &area, DT_SINGLELINE);
  }
  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT focus = bounds;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace kwt::ui
