#include "app/display_text.h"

#include "runtime/encoding.h"

namespace kwt::app {
namespace {

constexpr UINT kCodePage932 = 932;

}  // namespace

std::wstring ToDisplayWide(std::string_view cp932) {
  if (auto strict = encoding::Cp932ToWide(cp932)) return std::move(*strict);
  const int size = static_cast<int>(cp932.size());
  const int needed = MultiByteToWideChar(kCodePage932, 0, cp932.data(), size, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(kCodePage932, 0, cp932.data(), size, wide.data(), needed);
  return wide;
}

std::string FromDisplayWide(std::wstring_view wide) {
  if (auto strict = encoding::WideToCp932(wide)) return std::move(*strict);
  const int size = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(kCodePage932, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string text(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(kCodePage932, 0, wide.data(), size, text.data(), needed, nullptr, nullptr);
  return text;
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return std::string();
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, wide.data(), length + 1);
  wide.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return FromDisplayWide(wide);
}

void SetWindowTextBytes(HWND window, std::string_view cp932) {
  SetWindowTextW(window, ToDisplayWide(cp932).c_str());
}

}  // namespace kwt::app
