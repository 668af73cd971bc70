#include "runtime/cp932_text.h"

#include <algorithm>
#include <optional>

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

std::string ShortenedValue(std::string_view value) {
  if (value.size() <= kShortenedLimit) return std::string(value);
  constexpr std::string_view kEllipsis = "...";
  constexpr std::size_t kKept = (kShortenedLimit - kEllipsis.size()) / 2;
  std::size_t tail = value.size() - kKept;
  // A trail byte belongs to the character before the cut: it goes too.
  if (ClassifyByte(value, tail) == ByteClass::Trail) ++tail;
  return std::string(CutToWholeCharacters(value, kKept)) + std::string(kEllipsis) +
         std::string(value.substr(tail));
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

Utf8Step NextUtf8(std::string_view text) {
  const auto at = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) return {1, true};
  // The second byte's range depends on the lead (no overlong forms, no
  // surrogates, nothing past U+10FFFF); the others are 80 to BF.
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {1, false};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= text.size() || at(i) < low || at(i) > high) return {i, false};
    low = 0x80;
    high = 0xBF;
  }
  return {length, true};
}

std::string Utf8ToCp932Shown(std::string_view utf8) {
  std::string shown;
  for (std::size_t i = 0; i < utf8.size();) {
    const Utf8Step step = NextUtf8(utf8.substr(i));
    const std::string_view character = utf8.substr(i, step.length);
    i += step.length;
    if (!step.valid) {
      shown += TypedCharacter(kUtf8Replacement);
      continue;
    }
    // Only a character that converts back to itself is the same character.
    const auto one = encoding::Utf8ToCp932(character);
    const bool exact =
        one && encoding::Cp932ToUtf8(*one) == std::optional<std::string>(std::string(character));
    shown += exact ? *one : TypedCharacter(character);
  }
  return shown;
}

std::string Cp932ToUtf8Lossy(std::string_view text) {
  bool ascii = true;
  for (const char byte : text) ascii = ascii && static_cast<unsigned char>(byte) < 0x80;
  if (ascii) return std::string(text);
  if (auto whole = encoding::Cp932ToUtf8(text)) return *std::move(whole);

  // Something does not convert: go character by character.
  std::string out;
  out.reserve(text.size() * 3 / 2);
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i).starts_with(kTypedMark) && i + kTypedMark.size() < text.size()) {
      const std::size_t at = i + kTypedMark.size();
      // Only UTF-8 is shown as it is: the text this makes is UTF-8 throughout.
      const Utf8Step step = NextUtf8(text.substr(at));
      out += step.valid ? text.substr(at, step.length) : kUtf8Replacement;
      i = at + step.length;
      continue;
    }
    const std::size_t length = kLeadByteSet.Contains(text[i]) && i + 1 < text.size() ? 2 : 1;
    const auto character = encoding::Cp932ToUtf8(text.substr(i, length));
    if (character && !character->empty()) {
      out += *character;
      i += length;
    } else {
      // Only the first byte is given up: its successor may start a character.
      out += kUtf8Replacement;
      i += 1;
    }
  }
  return out;
}

}  // namespace kwt
