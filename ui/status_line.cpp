#include "ui/status_line.h"

#include <algorithm>
#include <utility>

#include "ui/painting.h"

namespace kwt::ui {

std::unique_ptr<StatusLinePicture> StatusLinePicture::Create(HDC reference, SIZE size, HFONT font) {
  if (size.cx <= 0 || size.cy <= 0) return nullptr;
  MemoryDC memory = CompatibleMemoryDC(reference);
  if (!memory) return nullptr;
  BitmapObject bitmap(CreateCompatibleBitmap(reference, size.cx, size.cy));
  if (!bitmap) return nullptr;
  return std::unique_ptr<StatusLinePicture>(
      new StatusLinePicture(size, font, std::move(memory), std::move(bitmap)));
}

StatusLinePicture::StatusLinePicture(SIZE size, HFONT font, MemoryDC memory, BitmapObject bitmap)
    : size_(size), font_(font), memory_(std::move(memory)), bitmap_(std::move(bitmap)) {
  originalBitmap_ = SelectObject(memory_.get(), bitmap_.get());
  originalFont_ = SelectObject(memory_.get(), font_);
}

StatusLinePicture::~StatusLinePicture() {
  SelectObject(memory_.get(), originalFont_);
  // The bitmap goes with its member, once it is no longer selected.
  SelectObject(memory_.get(), originalBitmap_);
}

RECT StatusLinePicture::Compose(std::wstring_view text) {
  if (composed_ && text == shown_) return RECT{0, 0, 0, 0};
  RECT changed{};
  if (ComposeTail(text, changed)) return changed;
  return ComposeWhole(text);
}

void StatusLinePicture::CopyTo(HDC target, const RECT& part) const {
  BitBlt(target, part.left, part.top, part.right - part.left, part.bottom - part.top, memory_.get(),
         part.left, part.top, SRCCOPY);
}

RECT StatusLinePicture::ComposeWhole(std::wstring_view text) {
  const RECT whole{0, 0, size_.cx, size_.cy};
  PaintStatusLine(memory_.get(), whole, text, font_);
  composed_ = true;
  shown_.assign(text);
  shownPlain_ = false;
  if (advancesAddUp_ && IsPlain(text)) {
    int width = 0;
    for (const wchar_t character : text) width += GlyphOf(character).advance;
    SIZE extent{0, 0};
    GetTextExtentPoint32W(memory_.get(), text.data(), static_cast<int>(text.size()), &extent);
    // A font that kerns, say, places its glyphs other than by their own
    // advances; then only whole draws are exact.
    if (extent.cx != width) advancesAddUp_ = false;
    shownPlain_ = advancesAddUp_ && width <= size_.cx;
    shownWidth_ = width;
  }
  return whole;
}

bool StatusLinePicture::ComposeTail(std::wstring_view text, RECT& changed) {
  if (!shownPlain_ || !advancesAddUp_ || !IsPlain(text)) return false;
  const std::size_t kept = static_cast<std::size_t>(
      std::mismatch(shown_.begin(), shown_.end(), text.begin(), text.end()).first - shown_.begin());
  if (kept == 0 || GlyphOf(shown_[kept - 1]).spills) return false;
  int cut = (size_.cx - shownWidth_) / 2;  // where a centred draw starts the text
  for (std::size_t i = 0; i < kept; ++i) cut += GlyphOf(shown_[i]).advance;
  // The tail must be as wide as the one it replaces: a wider or narrower text
  // is centred elsewhere, and every glyph moves.
  const auto tailWidth = [&](std::wstring_view tail, int& width) {
    width = 0;
    for (const wchar_t character : tail) {
      const Glyph& glyph = GlyphOf(character);
      if (glyph.spills) return false;
      width += glyph.advance;
    }
    return true;
  };
  int oldWidth = 0;
  int newWidth = 0;
  const std::wstring_view newTail = text.substr(kept);
  if (!tailWidth(std::wstring_view(shown_).substr(kept), oldWidth) || !tailWidth(newTail, newWidth) ||
      oldWidth != newWidth) {
    return false;
  }
  changed = RECT{cut, 0, cut + oldWidth, size_.cy};
  // The same fill and glyphs as a full draw, only over the tail's cells.
  FillRect(memory_.get(), &changed, GetSysColorBrush(COLOR_BTNFACE));
  SetTextColor(memory_.get(), GetSysColor(COLOR_WINDOWTEXT));
  SetBkMode(memory_.get(), TRANSPARENT);
  ExtTextOutW(memory_.get(), cut, 0, 0, nullptr, newTail.data(), static_cast<UINT>(newTail.size()), nullptr);
  shown_.assign(text);
  return true;
}

const StatusLinePicture::Glyph& StatusLinePicture::GlyphOf(wchar_t character) {
  const auto found = glyphs_.find(character);
  if (found != glyphs_.end()) return found->second;
  Glyph glyph;
  SIZE extent{0, 0};
  GetTextExtentPoint32W(memory_.get(), &character, 1, &extent);
  glyph.advance = extent.cx;
  ABC abc{};
  // Only outline fonts report where the ink lies; any other glyph counts as
  // reaching its neighbours.
  if (GetCharABCWidthsW(memory_.get(), character, character, &abc)) {
    glyph.spills =
        abc.abcA < 0 || abc.abcC < 0 || abc.abcA + static_cast<int>(abc.abcB) + abc.abcC != glyph.advance;
  }
  return glyphs_.emplace(character, glyph).first->second;
}

bool StatusLinePicture::IsPlain(std::wstring_view text) noexcept {
  // Line breaking drops a final space from a line's width; "&" marks an
  // access key; tabs expand and breaks start lines.
  if (text.empty() || text.back() == L' ') return false;
  return std::none_of(text.begin(), text.end(), [](wchar_t character) {
    return character == L'&' || character == L'\t' || character == L'\r' || character == L'\n';
  });
}

}  // namespace kwt::ui
