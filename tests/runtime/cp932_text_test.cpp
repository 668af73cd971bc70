// The rules of code page 932 text: lead bytes and byte classes, upper-casing
// for names, cutting without splitting a character, the last character, and
// the lossy conversions for showing text. The traps: 表 is 95 5C (a backslash
// as trail byte), ゾ is 83 5D (a bracket), ア is 83 41 (a letter).
#include "runtime/cp932_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace kwt {
namespace {

// 表 ends in 5C, ソ too: a backslash's value as trail byte. ア has a letter as
// trail byte. 亜 is two bytes that are both in the lead range.
#define KWT_HYO "\x95\x5C"
#define KWT_SO "\x83\x5C"
#define KWT_ZO "\x83\x5D"
#define KWT_A "\x83\x41"
#define KWT_AA "\x88\x9F"

TEST(ClassifyByte, FollowsLeadBytesBackToTheLastSingleByte) {
  struct Case {
    std::string_view text;
    std::size_t position;
    ByteClass expected;
  };
  using enum ByteClass;
  const Case rows[] = {
      {"abc", 0, Single},
      {"abc", 2, Single},
      {KWT_HYO, 0, Lead},
      {KWT_HYO, 1, Trail},
      {"a" KWT_HYO, 2, Trail},
      {KWT_A KWT_HYO, 2, Lead},
      {KWT_A KWT_HYO, 3, Trail},
      {KWT_AA KWT_HYO, 1, Trail},
      {KWT_AA KWT_HYO, 2, Lead},
      {KWT_AA KWT_HYO, 3, Trail},
      {KWT_AA "\\", 2, Single},
      {KWT_AA KWT_AA "x", 4, Single},
      // A lead byte at the very end has no trail byte; it is still a lead.
      {"a\x95", 1, Lead},
      // Halfwidth katakana (A1-DF) are single bytes.
      {"\xB1\x5C", 1, Single},
      {"\xFD\x5C", 1, Single},
      {"\x81\x5C", 1, Trail},
      {"\xFC\x5C", 1, Trail},
      {"\x80\x5C", 1, Single},
      {"\xA0\x5C", 1, Single},
      {"\xDF\x5C", 1, Single},
      {"\xE0\x5C", 1, Trail},
      {"\x9F\x5C", 1, Trail},
      {std::string_view("\x95\0", 2), 1, Single},
      {std::string_view("\0\x95", 2), 0, Single},
      {"ab", 2, Single},
      {"ab", 99, Single},
      {"", 0, Single},
  };
  for (const Case& row : rows) {
    SCOPED_TRACE(::testing::Message()
                 << "position " << row.position << " of " << ::testing::PrintToString(row.text));
    EXPECT_EQ(ClassifyByte(row.text, row.position), row.expected);
  }
}

TEST(ClassifyByte, EveryByteIsSingleWithoutLeadBytes) {
  const std::string_view text = "C:\\" KWT_HYO KWT_AA;
  for (std::size_t position = 0; position < text.size(); ++position) {
    EXPECT_EQ(ClassifyByte(text, position, LeadByteSet::None()), ByteClass::Single) << position;
  }
}

TEST(LeadByteSet, HoldsCodePage932LeadBytes) {
  for (int value = 0; value < 256; ++value) {
    const bool lead = (value >= 0x81 && value <= 0x9F) || (value >= 0xE0 && value <= 0xFC);
    EXPECT_EQ(kLeadByteSet.Contains(static_cast<char>(value)), lead) << value;
    EXPECT_FALSE(LeadByteSet::None().Contains(static_cast<char>(value))) << value;
  }
  EXPECT_TRUE(kLeadByteSet.Any());
  EXPECT_FALSE(LeadByteSet::None().Any());
}

TEST(LastCharacterStart, StepsBackOverATrailByte) {
  struct Case {
    std::string_view text;
    std::size_t expected;
  };
  const Case rows[] = {
      {"", 0},
      {"a", 0},
      {"abc", 2},
      {KWT_HYO, 0},
      {"a" KWT_HYO, 1},
      {"a" KWT_ZO, 1},
      {"a" KWT_A, 1},
      // The trail byte of 亜 is in the lead range too.
      {KWT_AA KWT_AA, 2},
      // After a whole character a lead-range byte stands alone.
      {KWT_AA "\x81", 2},
      {"\x81\x81.", 2},
      {"\x81.", 0},
      {std::string_view("\x81\0", 2), 1},
      {"\xA0", 0},
  };
  for (const Case& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.text));
    EXPECT_EQ(LastCharacterStart(row.text), row.expected);
  }
}

TEST(CutToWholeCharacters, NeverCutsADoubleByteCharacter) {
  struct Case {
    std::string_view text;
    std::size_t limit;
    std::string_view expected;
  };
  const Case cases[] = {
      {"abc", 5, "abc"},
      {"abc", 3, "abc"},
      {"abc", 2, "ab"},
      {"abc", 0, ""},
      {"a\x83\x41", 2, "a"},
      {"a\x83\x41", 3, "a\x83\x41"},
      // 表 (95 5C) followed by a letter: the backslash byte is a trail byte.
      {"\x95\x5C"
       "b",
       2, "\x95\x5C"},
      {"\x95\x5C"
       "b",
       1, ""},
      {"\x81\x81\x81\x81", 3, "\x81\x81"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(::testing::PrintToString(row.text) + " in " + std::to_string(row.limit));
    EXPECT_EQ(CutToWholeCharacters(row.text, row.limit), row.expected);
  }
}

TEST(UpperCase, FoldsAsciiLettersAndKeepsDoubleByteCharactersWhole) {
  const struct {
    std::string_view text;
    std::string_view expected;
  } cases[] = {
      {"", ""},
      {"Version", "VERSION"},
      {"kwj_1-z@[`{", "KWJ_1-Z@[`{"},
      // ャ (83 61) must not become ア (83 41).
      {"\x83\x61", "\x83\x61"},
      {"a\x83\x61z", "A\x83\x61Z"},
      // A lead byte takes the next byte with it whatever that is.
      {"\x83\x41\x83\x61", "\x83\x41\x83\x61"},
      {"\xE0\x62x", "\xE0\x62X"},
      // Half-width katakana and other high single bytes stay.
      {"\xB1\xA0\xFDq", "\xB1\xA0\xFDQ"},
      // A lead byte at the very end stays alone.
      {"ab\x83", "AB\x83"},
      // Full-width Latin letters stay as they are.
      {"\x82\x81", "\x82\x81"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "text [" << c.text << "]");
    const std::string folded = ansi::UpperCase(c.text);
    EXPECT_EQ(folded, c.expected);
    EXPECT_EQ(folded.size(), c.text.size());
  }
}

TEST(Cp932ToUtf8Lossy, ConvertsWhatItCanAndMarksTheRest) {
  struct Case {
    std::string_view cp932;
    std::string_view utf8;
  };
  const Case cases[] = {
      {"", ""},
      {"plain ASCII", "plain ASCII"},
      {"C:\\\x95\x5C\\a", "C:\\\xE8\xA1\xA8\\a"},
      // A lead byte cut off at the end.
      {"ab\x83", "ab\xEF\xBF\xBD"},
      // A lead byte followed by a byte that cannot be its trail: only the lead is lost.
      {"\x83\x0A"
       "x",
       "\xEF\xBF\xBD\nx"},
      {"\x83\x41\xA0\x83\x41", "\xE3\x82\xA2\xEF\xBF\xBD\xE3\x82\xA2"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(::testing::PrintToString(row.cp932));
    EXPECT_EQ(Cp932ToUtf8Lossy(row.cp932), row.utf8);
  }
}

// A value of any length is quoted in at most kShortenedLimit bytes, its start
// and end kept whole: a double-byte character on either cut goes entirely.
TEST(ShortenedValue, KeepsStartAndEndWholeAroundAnEllipsis) {
  const std::string fits(kShortenedLimit, 'a');
  EXPECT_EQ(ShortenedValue(fits), fits);
  for (const std::size_t size : {kShortenedLimit + 1, std::size_t{10'000'000}}) {
    for (const bool doubleByte : {false, true}) {
      SCOPED_TRACE(std::to_string(size) + (doubleByte ? " of 表" : " of a"));
      std::string value;
      while (value.size() < size) value += doubleByte ? "\x95\x5C" : "a";
      value = "<" + value + ">";
      const std::string shown = ShortenedValue(value);
      EXPECT_LE(shown.size(), kShortenedLimit);
      EXPECT_TRUE(shown.starts_with("<")) << shown.substr(0, 8);
      EXPECT_TRUE(shown.ends_with(">"));
      const std::size_t cut = shown.find("...");
      ASSERT_NE(cut, std::string::npos);
      // Both parts are whole characters of the value.
      EXPECT_EQ(value.substr(0, cut), shown.substr(0, cut));
      EXPECT_NE(ClassifyByte(value, value.size() - (shown.size() - cut - 3)), ByteClass::Trail);
      if (doubleByte) {
        EXPECT_EQ((cut - 1) % 2, 0u);
      }
    }
  }
}

// A name as a POSIX system gives it, shown: exact characters as code page
// 932, the rest typed, and each run of bytes that is no UTF-8 one U+FFFD in
// its place, the text around it kept.
TEST(Utf8ToCp932Shown, KeepsEveryCharacterInPlaceAndReplacesWhatIsNoUtf8) {
  const std::string bad = TypedCharacter("\xEF\xBF\xBD");
  struct Case {
    std::string_view utf8;
    std::string shown;
  };
  const Case cases[] = {
      {"plain.kwj", "plain.kwj"},
      {"\xE8\xA1\xA8.kwj", "\x95\x5C.kwj"},
      {"\xC3\xA9", TypedCharacter("\xC3\xA9")},
      {"\xF0\x9F\x98\x80x", TypedCharacter("\xF0\x9F\x98\x80") + "x"},
      // Shift-JIS bytes of a name written on another system: never joined.
      {"\x83\x76\x83\x8D.kwj", bad + "v" + bad + bad + ".kwj"},
      {"a\xE3\x81", "a" + bad},
      {"\xE3\x81x", bad + "x"},
      {"\xC0\xAF", bad + bad},
      {"\xED\xA0\x80", bad + bad + bad},
      {"\xF4\x90\x80\x80", bad + bad + bad + bad},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(::testing::PrintToString(row.utf8));
    EXPECT_EQ(Utf8ToCp932Shown(row.utf8), row.shown);
  }
  // A typed run that is no UTF-8 is shown as U+FFFD, not as its bytes.
  EXPECT_EQ(Cp932ToUtf8Lossy(TypedCharacter("\x83") + "v"), "\xEF\xBF\xBDv");
}

#ifdef _WIN32
TEST(Cp932ToWideLossy, ConvertsWhatItCanAndShowsTheRest) {
  struct Case {
    std::string_view cp932;
    std::wstring_view wide;
  };
  const Case cases[] = {
      {"", L""},
      {"plain ASCII", L"plain ASCII"},
      {"C:\\" KWT_HYO "\\" KWT_ZO KWT_A, L"C:\\\u8868\\\u30be\u30a2"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(::testing::PrintToString(row.cp932));
    EXPECT_EQ(Cp932ToWideLossy(row.cp932), row.wide);
    EXPECT_EQ(WideToCp932Lossy(row.wide), row.cp932);
  }
  // Bytes that are no character still show, each as something: never an
  // empty text in place of the rest.
  const std::wstring damaged = Cp932ToWideLossy("ab\x83");
  ASSERT_GE(damaged.size(), 3u);
  EXPECT_EQ(damaged.substr(0, 2), L"ab");
  // A character that code page 932 lacks becomes its default character.
  EXPECT_EQ(WideToCp932Lossy(L"a\u00e9b").size(), 3u);
  EXPECT_EQ(WideToCp932Lossy(L"a\u00e9b").front(), 'a');
}
#endif

}  // namespace
}  // namespace kwt
