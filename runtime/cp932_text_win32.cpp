// Windows only: the lossy conversions to and from UTF-16, through the
// system's own code page 932 tables.
#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/windows_api.h"

namespace kwt {
namespace {

constexpr UINT kCodePage932 = 932;

}  // namespace

std::wstring Cp932ToWideLossy(std::string_view text) {
  if (auto strict = encoding::Cp932ToWide(text)) return std::move(*strict);
  const int size = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(kCodePage932, 0, text.data(), size, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(kCodePage932, 0, text.data(), size, wide.data(), needed);
  return wide;
}

std::string WideToCp932Lossy(std::wstring_view wide) {
  if (auto strict = encoding::WideToCp932(wide)) return std::move(*strict);
  const int size = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(kCodePage932, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string text(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(kCodePage932, 0, wide.data(), size, text.data(), needed, nullptr, nullptr);
  return text;
}

}  // namespace kwt
