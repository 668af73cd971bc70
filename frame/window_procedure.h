// The one window procedure behind every window object of the program: the
// object travels in the creation data, is stored in the window at
// WM_NCCREATE and cleared at WM_NCDESTROY, and each message in between goes
// to the object's handler (a thin switch that calls one named handler per
// message) inside the application's error boundary.
#pragma once

#include "frame/application.h"
#include "runtime/windows_api.h"

namespace kwt::frame {

// Owner is the object handed to CreateWindowExW as its last argument; it
// answers ErrorBoundary() with the application that shows its errors.
// Messages before WM_NCCREATE (WM_GETMINMAXINFO comes first) and after
// WM_NCDESTROY find no owner and get the default handling.
template <class Owner, LRESULT (Owner::*Handle)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* created = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created->lpCreateParams));
  }
  auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  // The last message still reaches the owner, which learns so that its
  // window is gone.
  if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (owner == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  return Guarded(owner->ErrorBoundary(), [&] { return (owner->*Handle)(window, message, wparam, lparam); });
}

}  // namespace kwt::frame
