// Windows only: code page 932 named explicitly, whatever the user's ANSI code page.
#include "runtime/encoding.h"

#include "runtime/windows_api.h"

namespace kwt::encoding {
namespace {

constexpr UINT kCodePage932 = 932;

std::optional<std::wstring> ToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (needed <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), needed);
  return wide;
}

std::optional<std::string> FromWide(UINT codePage, std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  // UTF-8 does not take the default-character check.
  BOOL* check = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  const int needed = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, check);
  if (needed <= 0 || usedDefault) return std::nullopt;
  std::string text(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), size, text.data(), needed, nullptr, nullptr);
  return text;
}

}  // namespace

std::optional<std::wstring> Cp932ToWide(std::string_view cp932) {
  return ToWide(kCodePage932, cp932);
}

std::optional<std::string> WideToCp932(std::wstring_view wide) {
  return FromWide(kCodePage932, wide);
}

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
  const auto wide = Cp932ToWide(cp932);
  if (!wide) return std::nullopt;
  return FromWide(CP_UTF8, *wide);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
  const auto wide = ToWide(CP_UTF8, utf8);
  if (!wide) return std::nullopt;
  return WideToCp932(*wide);
}

}  // namespace kwt::encoding
