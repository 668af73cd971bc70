// The period that closes an error's text: which endings get one, judged by the
// last character, a double-byte character counting whole.
#include "runtime/error_text.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/texts.h"

namespace kwt {
namespace {

struct PeriodCase {
  std::string message;
  bool getsPeriod;
};

TEST(WithClosingPeriod, AppendsAfterEndingsThatSortAfterAPeriod) {
  const std::string readPastEnd(texts::kIoReadPastEnd);
  const PeriodCase rows[] = {
      {"", false},
      {readPastEnd, true},
      // The generic I/O message ends in ")".
      {texts::Format(texts::kIoGenericFormat, "103"), false},
      {"done.", false},
      {"Stop!", false},
      {"a-", false},
      {"trailing space ", false},
      {"line\n", false},
      {"tab\t", false},
      // The first signs above '.'.
      {"a/", true},
      {"7", true},
      {"Z", true},
      {"~", true},
      {"a:", true},
      // The ideographic full stop is a character like any other.
      {readPastEnd + std::string(texts::kIdeographicFullStop), true},
      // 表 ends in a backslash byte; ア in a letter.
      {"\x95\x5C", true},
      {"\x83\x41", true},
      // A lone lead byte at the end is a single character above '.'.
      {"abc\x81", true},
      // A '.' after a lead byte is that character's trail byte, so the last
      // character is a double-byte one, not the period.
      {"\x81.", true},
      // After two lead bytes (one whole character) the '.' stands alone.
      {"\x81\x81.", false},
      // Bytes above 0x7F that are not lead bytes are single characters too.
      {"\xA0", true},
  };
  for (const PeriodCase& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.message));
    const std::string expected = row.getsPeriod ? row.message + "." : row.message;
    EXPECT_EQ(WithClosingPeriod(row.message), expected);
  }
}

TEST(WithClosingPeriod, NeverAddsASecondPeriod) {
  const std::string once = WithClosingPeriod(texts::kIoAccessDenied);
  EXPECT_EQ(WithClosingPeriod(once), once);
}

}  // namespace
}  // namespace kwt
