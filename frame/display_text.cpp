#include "frame/display_text.h"

#include "runtime/cp932_text.h"

namespace kwt::frame {

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return std::string();
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, wide.data(), length + 1);
  wide.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return WideToCp932Lossy(wide);
}

void SetWindowTextBytes(HWND window, std::string_view cp932) {
  SetWindowTextW(window, Cp932ToWideLossy(cp932).c_str());
}

}  // namespace kwt::frame
