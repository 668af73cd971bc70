// A window's text as code page 932 bytes, through the wide API (the lossy
// conversions of runtime/cp932_text.h on the way).
#pragma once

#include <string>
#include <string_view>

#include "runtime/windows_api.h"

namespace kwt::frame {

// A window's whole text, and setting it.
std::string WindowText(HWND window);
void SetWindowTextBytes(HWND window, std::string_view cp932);

}  // namespace kwt::frame
