#include <cstddef>

#include "cli/console.h"
#include "runtime/encoding.h"
#include "runtime/file_names.h"

namespace kwt::cli {

std::string Cp932ToUtf8Lossy(std::string_view text) {
  bool ascii = true;
  for (const char byte : text) ascii = ascii && static_cast<unsigned char>(byte) < 0x80;
  if (ascii) return std::string(text);
  if (auto whole = encoding::Cp932ToUtf8(text)) return *std::move(whole);

  // Something does not convert: go character by character.
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string out;
  out.reserve(text.size() * 3 / 2);
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = kLeadByteSet.Contains(text[i]) && i + 1 < text.size() ? 2 : 1;
    const auto character = encoding::Cp932ToUtf8(text.substr(i, length));
    if (character && !character->empty()) {
      out += *character;
      i += length;
    } else {
      // Only the first byte is given up: its successor may start a character.
      out += kReplacement;
      i += 1;
    }
  }
  return out;
}

}  // namespace kwt::cli
