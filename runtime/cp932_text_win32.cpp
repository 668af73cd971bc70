// Windows only: the lossy conversions to and from UTF-16, through the
// system's own code page 932 tables.
#include <algorithm>
#include <optional>

#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/windows_api.h"

namespace kwt {
namespace {

constexpr UINT kCodePage932 = 932;

std::wstring Utf8ToWide(std::string_view utf8) {
  const int size = static_cast<int>(utf8.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), needed);
  return wide;
}

}  // namespace

std::wstring Cp932ToWideLossy(std::string_view text) {
  if (auto strict = encoding::Cp932ToWide(text)) return std::move(*strict);
  // Typed characters go through UTF-8, the rest through the code page.
  if (const std::size_t mark = text.find(kTypedMark);
      mark != std::string_view::npos && mark + kTypedMark.size() < text.size()) {
    const std::size_t at = mark + kTypedMark.size();
    const std::size_t length = std::min(Utf8Length(text[at]), text.size() - at);
    return Cp932ToWideLossy(text.substr(0, mark)) + Utf8ToWide(text.substr(at, length)) +
           Cp932ToWideLossy(text.substr(at + length));
  }
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

namespace kwt {

std::string WideToCp932Shown(std::wstring_view wide) {
  std::string shown;
  for (std::size_t i = 0; i < wide.size();) {
    const bool pair = wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size();
    const std::wstring_view character = wide.substr(i, pair ? 2 : 1);
    i += character.size();
    const auto exact = encoding::WideToCp932(character);
    if (exact && encoding::Cp932ToWide(*exact) == std::optional<std::wstring>(std::wstring(character))) {
      shown += *exact;
      continue;
    }
    const int size = static_cast<int>(character.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, character.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0)
      WideCharToMultiByte(CP_UTF8, 0, character.data(), size, utf8.data(), needed, nullptr, nullptr);
    shown += TypedCharacter(utf8);
  }
  return shown;
}

}  // namespace kwt
