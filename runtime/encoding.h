// Conversions between code page 932 bytes and the encodings of the platform.
// Used only at the edges: file names handed to the system, arguments and output.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kwt::encoding {

// Both answer nullopt when the text has no form in the other encoding.
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

#ifdef _WIN32
std::optional<std::wstring> Cp932ToWide(std::string_view cp932);
std::optional<std::string> WideToCp932(std::wstring_view wide);
#endif

}  // namespace kwt::encoding
