#include "runtime/cp932_text.h"

#include <algorithm>

#include "runtime/encoding.h"

namespace kwt {

ByteClass ClassifyByte(std::string_view text, std::size_t position, const LeadByteSet& leads) {
  if (!leads.Any() || position >= text.size() || text[position] == '\0') return ByteClass::Single;
  // Walk back over the run of bytes that could be lead bytes. Inside such a
  // run lead and trail alternate, so its length's parity tells whether the
  // byte at position completes a pair or starts one.
  std::size_t run = 0;
  while (run < position && leads.Contains(text[position - run - 1])) ++run;
  if (run % 2 == 1) return ByteClass::Trail;
  return leads.Contains(text[position]) ? ByteClass::Lead : ByteClass::Single;
}

std::string_view CutToWholeCharacters(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  // A lead byte whose trail byte is cut off goes with it.
  if (end > 0 && ClassifyByte(text, end - 1) == ByteClass::Lead) --end;
  return text.substr(0, end);
}

std::size_t LastCharacterStart(std::string_view text) {
  if (text.empty()) return 0;
  const std::size_t last = text.size() - 1;
  return ClassifyByte(text, last) == ByteClass::Trail ? last - 1 : last;
}

namespace ansi {

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (std::size_t i = 0; i < result.size(); ++i) {
    if (kLeadByteSet.Contains(result[i])) {
      ++i;  // The trail byte belongs to the character; a lone lead byte at the end stays too.
    } else if (result[i] >= 'a' && result[i] <= 'z') {
      result[i] = static_cast<char>(result[i] - 'a' + 'A');
    }
  }
  return result;
}

}  // namespace ansi

std::string TypedCharacter(std::string_view utf8Character) {
  return std::string(kTypedMark) + std::string(utf8Character);
}

std::size_t Utf8Length(char lead) {
  const auto byte = static_cast<unsigned char>(lead);
  return byte < 0xC0 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
}

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
    if (text.substr(i).starts_with(kTypedMark) && i + kTypedMark.size() < text.size()) {
      const std::size_t at = i + kTypedMark.size();
      const std::size_t length = std::min(Utf8Length(text[at]), text.size() - at);
      out += text.substr(at, length);
      i = at + length;
      continue;
    }
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

}  // namespace kwt
