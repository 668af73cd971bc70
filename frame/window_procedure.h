// The one way a window is tied to its object, for every window of the
// program: the object is stored in the window's user data when the window
// first reaches it (WM_NCCREATE for a window of ours, WM_INITDIALOG for a
// dialog or a dialog's hook, Subclass for a control of the system's) and
// cleared at WM_NCDESTROY, and each message in between goes to the object's
// handler (a thin switch that calls one named handler per message) inside the
// application's error boundary.
#pragma once

#include <type_traits>

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

// The same for a dialog, or a common dialog's hook, whose procedure answers
// TRUE (Result: INT_PTR, UINT_PTR for a hook) for a message it handled: the
// object travels in WM_INITDIALOG's lparam, or in the common dialog's
// options (Options, its lCustData) when Options is not void.
template <class Result, class Owner, Result (Owner::*Handle)(HWND, UINT, WPARAM, LPARAM),
          class Options = void>
Result CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    LPARAM created = lparam;
    if constexpr (!std::is_void_v<Options>) created = reinterpret_cast<const Options*>(lparam)->lCustData;
    SetWindowLongPtrW(dialog, GWLP_USERDATA, created);
  }
  auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
  if (message == WM_NCDESTROY) SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
  if (owner == nullptr) return FALSE;
  return static_cast<Result>(Guarded(owner->ErrorBoundary(), [&] {
    return static_cast<LRESULT>((owner->*Handle)(dialog, message, wparam, lparam));
  }));
}

// The same for a control of one of the system's classes that an object
// takes over (subclasses): Subclass stores the object and keeps the class's
// procedure in the object's member Original, which the handler hands each
// message on to. At WM_NCDESTROY the control gets its own procedure back.
template <class Owner, LRESULT (Owner::*Handle)(HWND, UINT, WPARAM, LPARAM), WNDPROC Owner::*Original>
LRESULT CALLBACK SubclassProcedure(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(control, GWLP_USERDATA));
  if (owner == nullptr) return DefWindowProcW(control, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    const WNDPROC original = owner->*Original;
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    SetWindowLongPtrW(control, GWLP_USERDATA, 0);
    return CallWindowProcW(original, control, message, wparam, lparam);
  }
  return Guarded(owner->ErrorBoundary(), [&] { return (owner->*Handle)(control, message, wparam, lparam); });
}

template <class Owner, LRESULT (Owner::*Handle)(HWND, UINT, WPARAM, LPARAM), WNDPROC Owner::*Original>
void Subclass(HWND control, Owner& owner) {
  SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&owner));
  // Every control of one class has the same procedure to hand on to.
  owner.*Original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProcedure<Owner, Handle, Original>)));
}

}  // namespace kwt::frame
