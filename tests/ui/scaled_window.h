// Checks shared by the tests at 96 and at 144 dpi: the whole window laid out
// for one DPI, and the button pictures found pixel for pixel on screen.
#pragma once

#include <vector>

#include "runtime/windows_api.h"
#include "ui/main.h"

namespace kwt::ui::testing {

// The DPIs whose layout is written out in the tests.
inline constexpr int kDpi96 = 96;
inline constexpr int kDpi144 = 144;

// Every control's rectangle, the font, the static texts sized to their text
// in the window's font, the target width and the outer size (the frame of
// AdjustWindowRectExForDpi at dpi) as the design at dpi (96 or 144).
void ExpectLaidOutFor(const TfrmMain& form, int dpi);

// One button picture from the test program's own resources (the program's,
// linked in): its first image, the one for the enabled state.
struct Picture {
  LONG size = 0;
  std::vector<COLORREF> pixels;
  COLORREF transparent = 0;
  bool Ink(LONG x, LONG y) const { return pixels[static_cast<std::size_t>(y * size + x)] != transparent; }
};
Picture LoadPicture(const wchar_t* name, LONG size);

// A window's client area as captured.
struct Screen {
  SIZE size{};
  std::vector<COLORREF> pixels;
  COLORREF At(LONG x, LONG y) const { return pixels[static_cast<std::size_t>(y * size.cx + x)]; }
};
Screen CaptureOf(HWND window);

// The picture's drawn pixels that show unchanged at its top-left corner at,
// counting only those inside within; and how many were compared.
struct Match {
  int compared = 0;
  int equal = 0;
};
Match Compare(const Screen& screen, const Picture& picture, POINT at, const RECT& within);

// Every position at which all of the picture's drawn pixels show unchanged.
std::vector<POINT> PlacesOf(const Screen& screen, const Picture& picture);

}  // namespace kwt::ui::testing
