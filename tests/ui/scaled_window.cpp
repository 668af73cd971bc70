#include "scaled_window.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "frame/display_text.h"
#include "runtime/texts.h"
#include "ui/device_context.h"
#include "ui_harness.h"

namespace kwt::ui::testing {
namespace {

struct Box {
  LONG left;
  LONG top;
  LONG width;
  LONG height;
};

// The design at 96 dpi and at 144 dpi, written out rather than computed, so
// that a wrong rounding shows: odd lengths scale by 1.5 to a half, which
// rounds up.
struct Layout {
  Box client;
  Box staticText1;  // left and top only: sized to its text
  Box btn;
  Box txt1;  // left and top only
  Box txt2;  // left and top only
  Box edit1;
  Box txt3;
  Box bitBtn1;
  LONG fontHeight;
  LONG padding;
};
constexpr Layout kAt96{{0, 0, 322, 155},
                       {24, 24, 0, 0},
                       {120, 120, 81, 25},
                       {48, 56, 0, 0},
                       {136, 80, 0, 0},
                       {120, 48, 145, 20},
                       {16, 96, 289, 17},
                       {280, 48, 17, 17},
                       -12,
                       4};
constexpr Layout kAt144{{0, 0, 483, 233},
                        {36, 36, 0, 0},
                        {180, 180, 122, 38},
                        {72, 84, 0, 0},
                        {204, 120, 0, 0},
                        {180, 72, 218, 30},
                        {24, 144, 434, 26},
                        {420, 72, 26, 26},
                        -18,
                        6};

RECT PlaceIn(HWND control) {
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

void ExpectBox(HWND control, const Box& box, bool sizeToo) {
  const RECT place = PlaceIn(control);
  EXPECT_EQ(place.left, box.left);
  EXPECT_EQ(place.top, box.top);
  if (sizeToo) {
    EXPECT_EQ(place.right - place.left, box.width);
    EXPECT_EQ(place.bottom - place.top, box.height);
  }
}

using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

}  // namespace

void ExpectLaidOutFor(const TfrmMain& form, int dpi) {
  ASSERT_TRUE(dpi == kDpi96 || dpi == kDpi144) << dpi;
  const Layout& layout = dpi == kDpi96 ? kAt96 : kAt144;
  EXPECT_EQ(form.Dpi(), dpi);

  LOGFONTW font{};
  ASSERT_EQ(GetObjectW(form.Font(), sizeof(font), &font), static_cast<int>(sizeof(font)));
  EXPECT_EQ(font.lfHeight, layout.fontHeight);
  EXPECT_STREQ(font.lfFaceName, L"MS UI Gothic");

  struct Fixed {
    const char* name;
    HWND control;
    const Box& box;
  };
  const Fixed fixed[] = {{"GroupBox1", form.GroupBox1(), layout.client},
                         {"Btn", form.Btn(), layout.btn},
                         {"Edit1", form.Edit1(), layout.edit1},
                         {"Txt3", form.Txt3(), layout.txt3},
                         {"BitBtn1", form.BitBtn1(), layout.bitBtn1}};
  for (const Fixed& row : fixed) {
    SCOPED_TRACE(row.name);
    ExpectBox(row.control, row.box, true);
  }

  // The texts measured another way than the window sizes them (the extent
  // of the line against DrawText's rectangle), in the window's font.
  const ClientDC dc = ClientDCOf(form.Handle());
  const Selected selected(dc.get(), form.Font());
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc.get(), &metrics);
  struct Sized {
    const char* name;
    HWND control;
    const Box& box;
    std::string_view text;
  };
  const Sized sized[] = {{"StaticText1", form.StaticText1(), layout.staticText1, texts::kIntroText},
                         {"Txt1", form.Txt1(), layout.txt1, texts::kTargetLabel},
                         {"Txt2", form.Txt2(), layout.txt2, texts::kProgressLabel}};
  for (const Sized& row : sized) {
    SCOPED_TRACE(row.name);
    ExpectBox(row.control, row.box, false);
    wchar_t text[128] = {};
    const int length = GetWindowTextW(row.control, text, 128);
    SIZE extent{};
    GetTextExtentPoint32W(dc.get(), text, length, &extent);
    const RECT place = PlaceIn(row.control);
    EXPECT_EQ(place.right - place.left, extent.cx + layout.padding);
    EXPECT_EQ(place.bottom - place.top, metrics.tmHeight + layout.padding);
    EXPECT_EQ(frame::WindowText(row.control), row.text);
  }
  for (HWND control : form.TabOrder()) {
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), form.Font());
  }
  // The conversion shortens paths to the target box's width.
  auto& face = const_cast<TfrmMain&>(form);
  EXPECT_EQ(face.TargetWidth(), layout.edit1.width);

  // The outer size is the client area's with the frame and caption of this
  // DPI, as the system computes them.
  const auto adjust = reinterpret_cast<AdjustForDpi>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
  ASSERT_NE(adjust, nullptr);
  RECT expected{0, 0, layout.client.width, layout.client.height};
  adjust(&expected, static_cast<DWORD>(GetWindowLongPtrW(form.Handle(), GWL_STYLE)), FALSE,
         static_cast<DWORD>(GetWindowLongPtrW(form.Handle(), GWL_EXSTYLE)), static_cast<UINT>(dpi));
  RECT outer{};
  GetWindowRect(form.Handle(), &outer);
  EXPECT_EQ(outer.right - outer.left, expected.right - expected.left);
  EXPECT_EQ(outer.bottom - outer.top, expected.bottom - expected.top);
  MINMAXINFO limits{};
  SendMessageW(form.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMaxTrackSize.x, expected.right - expected.left);
  EXPECT_EQ(limits.ptMaxTrackSize.y, expected.bottom - expected.top);
}

Picture LoadPicture(const wchar_t* name, LONG size) {
  Picture picture;
  picture.size = size;
  const auto bitmap = static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  EXPECT_NE(bitmap, nullptr);
  if (bitmap == nullptr) return picture;
  {
    const MemoryDC memory = CompatibleMemoryDC(nullptr);
    const Selected selected(memory.get(), bitmap);
    for (LONG y = 0; y < size; ++y) {
      for (LONG x = 0; x < size; ++x) picture.pixels.push_back(GetPixel(memory.get(), x, y));
    }
  }
  DeleteObject(bitmap);
  picture.transparent = picture.pixels[static_cast<std::size_t>((size - 1) * size)];
  return picture;
}

Screen CaptureOf(HWND window) {
  Screen screen;
  screen.pixels = Capture(window, screen.size);
  return screen;
}

Match Compare(const Screen& screen, const Picture& picture, POINT at, const RECT& within) {
  Match match;
  for (LONG y = 0; y < picture.size; ++y) {
    for (LONG x = 0; x < picture.size; ++x) {
      const POINT point{at.x + x, at.y + y};
      if (!picture.Ink(x, y) || !PtInRect(&within, point)) continue;
      if (point.x < 0 || point.y < 0 || point.x >= screen.size.cx || point.y >= screen.size.cy) continue;
      ++match.compared;
      if (screen.At(point.x, point.y) == picture.pixels[static_cast<std::size_t>(y * picture.size + x)])
        ++match.equal;
    }
  }
  return match;
}

std::vector<POINT> PlacesOf(const Screen& screen, const Picture& picture) {
  std::vector<POINT> places;
  const RECT all{0, 0, screen.size.cx, screen.size.cy};
  int ink = 0;
  for (COLORREF pixel : picture.pixels) ink += pixel != picture.transparent ? 1 : 0;
  for (LONG y = 0; y + picture.size <= screen.size.cy; ++y) {
    for (LONG x = 0; x + picture.size <= screen.size.cx; ++x) {
      const Match match = Compare(screen, picture, POINT{x, y}, all);
      if (match.compared == ink && match.equal == ink) places.push_back(POINT{x, y});
    }
  }
  return places;
}

}  // namespace kwt::ui::testing
