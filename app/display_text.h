// Code page 932 bytes to and from the UTF-16 that the wide Windows API takes.
// The strict conversions of the encoding layer come first; a text with bytes
// that are no code page 932 character is still shown, with the platform's
// replacement for each such byte, as the ANSI API would show it.
#pragma once

#include <string>
#include <string_view>

#include "runtime/windows_api.h"

namespace kwt::app {

std::wstring ToDisplayWide(std::string_view cp932);
// Characters with no code page 932 form become the platform's default character.
std::string FromDisplayWide(std::wstring_view wide);

// A window's whole text, and setting it.
std::string WindowText(HWND window);
void SetWindowTextBytes(HWND window, std::string_view cp932);

}  // namespace kwt::app
