#include "frame/window_class.h"

#include <string>

#include "frame/display_text.h"
#include "runtime/cp932_text.h"
#include "runtime/errors.h"
#include "runtime/texts.h"
#include "runtime/windows_handles.h"

namespace kwt::frame {

WindowClass::WindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon,
                         int backgroundColour)
    : instance_(instance), name_(name) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = icon;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(backgroundColour + 1));
  windowClass.lpszClassName = name;
  if (RegisterClassExW(&windowClass) == 0) throw Exception(std::string(texts::kWindowClassError));
}

WindowClass::~WindowClass() {
  UnregisterClassW(name_, instance_);
}

std::string SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  const kwt::windows::LocalMemory owned(buffer);
  std::wstring text(buffer != nullptr ? std::wstring_view(buffer, length) : std::wstring_view());
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  if (text.empty()) return "Windows error " + std::to_string(code);
  return WideToCp932Lossy(text);
}

}  // namespace kwt::frame
