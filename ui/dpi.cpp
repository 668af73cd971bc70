#include "ui/dpi.h"

#include <cstdlib>
#include <initializer_list>

namespace kwt::ui::dpi {
namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetDpiForSystemFunction = UINT(WINAPI*)();
using EnableNonClientDpiScalingFunction = BOOL(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

// A user32 function that may be missing; null when it is. GetProcAddress's
// result passes through the generic function type on its way to its real
// type, which the compiler accepts as a deliberate cast.
template <class Function>
Function User32Function(const char* name) noexcept {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name)));
}

}  // namespace

int Scale(int value, int dpi) noexcept {
  return MulDiv(value, dpi, kDesign);
}

layout::Box Scale(const layout::Box& box, int dpi) noexcept {
  return layout::Box{Scale(box.left, dpi), Scale(box.top, dpi), Scale(box.width, dpi),
                     Scale(box.height, dpi)};
}

int System() noexcept {
  static const auto getDpiForSystem = User32Function<GetDpiForSystemFunction>("GetDpiForSystem");
  if (getDpiForSystem != nullptr) return static_cast<int>(getDpiForSystem());
  const HDC screen = GetDC(nullptr);
  const int dots = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dots > 0 ? dots : kDesign;
}

int OfWindow(HWND window) noexcept {
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (getDpiForWindow != nullptr && window != nullptr) {
    const UINT dots = getDpiForWindow(window);
    if (dots != 0) return static_cast<int>(dots);
  }
  return System();
}

void ScaleFrameOf(HWND window) noexcept {
  static const auto enableScaling =
      User32Function<EnableNonClientDpiScalingFunction>("EnableNonClientDpiScaling");
  if (enableScaling != nullptr) enableScaling(window);
}

RECT AdjustWindowRect(const RECT& client, DWORD style, DWORD extendedStyle, int dpi) noexcept {
  static const auto adjustForDpi =
      User32Function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
  RECT bounds = client;
  if (adjustForDpi != nullptr) {
    adjustForDpi(&bounds, style, FALSE, extendedStyle, static_cast<UINT>(dpi));
  } else {
    AdjustWindowRectEx(&bounds, style, FALSE, extendedStyle);
  }
  return bounds;
}

int PictureScale(int dpi) noexcept {
  int best = 100;
  for (int scale : {150, 200}) {
    // dpi / 96 compared with scale / 100, in whole numbers.
    if (std::abs(dpi * 100 - scale * kDesign) < std::abs(dpi * 100 - best * kDesign)) best = scale;
  }
  return best;
}

}  // namespace kwt::ui::dpi
