// The rules of code page 932 text, in one place: which bytes begin a
// double-byte character, how a byte in a text is classified, upper-casing for
// name matching, cutting a text without splitting a character, the last
// character of a text, and the lossy conversions for showing text.
//
// Text is bytes everywhere in the program; every rule here works on the bytes
// and knows that the second byte of a character may have the value of a
// backslash (表 is 95 5C), a bracket (ゾ is 83 5D) or a letter (ア is 83 41).
// The files are always code page 932, so the rules are the same on every
// platform.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace kwt {

// The byte values that begin a double-byte character.
class LeadByteSet {
 public:
  // Code page 932: 0x81-0x9F and 0xE0-0xFC.
  static constexpr LeadByteSet CodePage932() {
    LeadByteSet set;
    for (int value = 0x81; value <= 0x9F; ++value) set.leads_[static_cast<std::size_t>(value)] = true;
    for (int value = 0xE0; value <= 0xFC; ++value) set.leads_[static_cast<std::size_t>(value)] = true;
    set.any_ = true;
    return set;
  }
  // A single-byte code page: double-byte awareness is off.
  static constexpr LeadByteSet None() { return LeadByteSet(); }

  constexpr bool Contains(char byte) const { return leads_[static_cast<unsigned char>(byte)]; }
  // False when the code page has no lead bytes at all.
  constexpr bool Any() const { return any_; }

 private:
  constexpr LeadByteSet() = default;
  std::array<bool, 256> leads_{};
  bool any_ = false;
};

// The set in force for the whole program.
inline constexpr LeadByteSet kLeadByteSet = LeadByteSet::CodePage932();

enum class ByteClass { Single, Lead, Trail };

// Classifies the byte at 0-based position of text. A NUL byte, and a position
// at or past the end, are Single.
ByteClass ClassifyByte(std::string_view text, std::size_t position, const LeadByteSet& leads = kLeadByteSet);

// The longest start of text of at most limit bytes that does not end in the
// first half of a double-byte character.
std::string_view CutToWholeCharacters(std::string_view text, std::size_t limit);

// A value as a message quotes it (a path, a Count as the project file has
// it): whole up to kShortenedLimit bytes; a longer one (a damaged or planted
// project file may hold megabytes) keeps its start and its end, whole
// characters, with "..." between, so that it can still be recognised.
inline constexpr std::size_t kShortenedLimit = 1024;
std::string ShortenedValue(std::string_view value);

// The position of the first byte of text's last character (one byte, or two
// when the last byte is a trail byte); 0 for an empty text.
std::size_t LastCharacterStart(std::string_view text);

namespace ansi {

// The name-matching form of text: a to z become A to Z, every double-byte
// character is kept whole (its trail byte may look like a letter: 83 61 is
// not 83 41), and the length never changes.
std::string UpperCase(std::string_view text);

}  // namespace ansi

// A character that code page 932 cannot write, kept in a text for showing
// only: this mark, then the character's UTF-8 bytes. No code page 932 text
// holds the mark (neither byte is assigned), and the lossy conversions below
// show the character as the user typed it instead of a '?'.
inline constexpr std::string_view kTypedMark = "\xFD\xFE";
// The mark and the UTF-8 character.
std::string TypedCharacter(std::string_view utf8Character);
// Bytes of the UTF-8 character that a lead byte starts (1 to 4).
std::size_t Utf8Length(char lead);

// The first character of UTF-8 text (not empty): its bytes, and whether they
// are well formed. Bytes that form none (a stray trail byte, a cut or overlong
// sequence, a surrogate) are taken as the longest start of a character they
// are, at least one byte: each such run shows as one U+FFFD, and the
// characters after it keep their places.
struct Utf8Step {
  std::size_t length = 1;
  bool valid = false;
};
Utf8Step NextUtf8(std::string_view text);
inline constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";

// Text given as UTF-8 (a name on a POSIX system), as it is shown: each
// character with an exact code page 932 form in it, every other character
// typed (kTypedMark), and bytes that form no character as a typed U+FFFD.
std::string Utf8ToCp932Shown(std::string_view utf8);

// The UTF-8 form of text, for showing it. Bytes that do not form a character
// (a cut double-byte character, an unassigned code) each become U+FFFD, so
// damaged names in a project still show everything around them; a typed
// character (kTypedMark) shows as itself.
std::string Cp932ToUtf8Lossy(std::string_view text);

#ifdef _WIN32
// The UTF-16 that the wide Windows API takes, for showing text. The strict
// conversion comes first; bytes that are no character still show, as the
// platform's replacement for each, as the ANSI API would show them; a typed
// character (kTypedMark) shows as itself.
std::wstring Cp932ToWideLossy(std::string_view text);
// Characters with no code page 932 form become the code page's default character.
std::string WideToCp932Lossy(std::wstring_view wide);
// Characters with no exact code page 932 form become typed characters.
std::string WideToCp932Shown(std::wstring_view wide);
#endif

}  // namespace kwt
