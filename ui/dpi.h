// The window's dots per inch and the design scaled to them. The program is
// per-monitor DPI aware (its manifest says so), so it draws itself at each
// monitor's DPI; the functions that tell that DPI are newer than Windows 7
// and are looked up when first needed, older systems answering with the
// system DPI they scale everything to.
#pragma once

#include "runtime/windows_api.h"
#include "ui/layout.h"

namespace kwt::ui::dpi {

// The DPI that ui/layout.h is written for.
inline constexpr int kDesign = 96;

// A design length at dpi, rounded as MulDiv rounds (halves away from zero).
int Scale(int value, int dpi) noexcept;
// Each of the box's four numbers scaled on its own.
layout::Box Scale(const layout::Box& box, int dpi) noexcept;

// The DPI the whole system draws at (the primary monitor's at logon).
int System() noexcept;
// The DPI of the monitor that the window is on; the system DPI where the
// system knows only that one.
int OfWindow(HWND window) noexcept;

// Asks the system to scale the window's frame and caption with its DPI, as
// per-monitor awareness version 2 does by itself; for Windows 10 1607, which
// knows only version 1. Called at WM_NCCREATE; a no-op where it is missing.
void ScaleFrameOf(HWND window) noexcept;

// The outer rectangle of a window of the style whose client area is client,
// with the frame and caption sizes of dpi. Without a DPI-aware variant the
// system's own sizes are taken, which are then the only ones it draws.
RECT AdjustWindowRect(const RECT& client, DWORD style, DWORD extendedStyle, int dpi) noexcept;

// Of the button pictures drawn for 100, 150 and 200 percent, the scale
// (percent) nearest to dpi; a tie takes the smaller picture, which stays
// inside its button.
int PictureScale(int dpi) noexcept;

}  // namespace kwt::ui::dpi
