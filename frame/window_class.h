// A registered window class, unregistered when the owner goes away.
#pragma once

#include <string>

#include "runtime/windows_api.h"

namespace kwt::frame {

class WindowClass {
 public:
  // Raises an Exception with the window-class text when registering fails.
  WindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon, int backgroundColour);
  ~WindowClass();
  WindowClass(const WindowClass&) = delete;
  WindowClass& operator=(const WindowClass&) = delete;

 private:
  HINSTANCE instance_;
  const wchar_t* name_;
};

// The system's text for a Windows error code, as code page 932 bytes.
std::string SystemErrorText(DWORD code);

}  // namespace kwt::frame
