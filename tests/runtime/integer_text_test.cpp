#include "runtime/integer_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace kwt {
namespace {

TEST(ParseInteger, ConvertsOrRefusesEveryKindOfText) {
  constexpr std::optional<std::int32_t> kFails;
  const struct {
    std::string_view text;
    std::optional<std::int32_t> expected;
  } cases[] = {
      // Decimal, with sign and leading zeros.
      {"140", 140},
      {"+140", 140},
      {"0140", 140},
      {"-0", 0},
      {"0", 0},
      {"-140", -140},
      {"000000000000000000000000140", 140},
      {"   140", 140},
      // Hexadecimal prefixes, either letter case.
      {"$8C", 140},
      {"$8c", 140},
      {"x8C", 140},
      {"X8c", 140},
      {"0x8C", 140},
      {"0X8c", 140},
      {"$0000000000000000008C", 140},
      // The 32-bit ranges.
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"2147483648", kFails},
      {"-2147483649", kFails},
      {"99999999999999999999999", kFails},
      {"$7FFFFFFF", 2147483647},
      {"$80000000", std::numeric_limits<std::int32_t>::min()},
      {"$FFFFFFFF", -1},
      {"$100000000", kFails},
      {"$FFFFFFFFFFFFFFFFFFFFFFFF", kFails},
      // A sign before a hexadecimal number: "-" negates the 32-bit pattern.
      {"+$8C", 140},
      {"-$8C", -140},
      {"-0x8C", -140},
      {"-x8c", -140},
      {"-$80000000", std::numeric_limits<std::int32_t>::min()},
      {"-$FFFFFFFF", 1},
      // Texts without digits.
      {"", kFails},
      {"   ", kFails},
      {"$", kFails},
      {"0x", kFails},
      {"x", kFails},
      {"+", kFails},
      {"-", kFails},
      {"-$", kFails},
      // Anything else anywhere.
      {"1e2", kFails},
      {"14.0", kFails},
      {"140 ", kFails},
      {"8C", kFails},
      {"- 5", kFails},
      {"\t140", kFails},
      {"+-5", kFails},
      {"--5", kFails},
      {"$$8C", kFails},
      {"0x0x8C", kFails},
      {"$8G", kFails},
      {"140 ; old", kFails},
      {std::string_view("14\0", 3), kFails},
      {"\x82\x4F", kFails},  // A full-width digit is not a digit.
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "text [" << c.text << "]");
    EXPECT_EQ(ParseInteger(c.text), c.expected);
  }
}

TEST(IntegerText, WritesPlainDecimalThatReadsBack) {
  const struct {
    std::int32_t value;
    std::string_view text;
  } cases[] = {
      {0, "0"},
      {140, "140"},
      {-1, "-1"},
      {std::numeric_limits<std::int32_t>::max(), "2147483647"},
      {std::numeric_limits<std::int32_t>::min(), "-2147483648"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(IntegerText(c.value), c.text);
    EXPECT_EQ(ParseInteger(IntegerText(c.value)), c.value);
  }
}

}  // namespace
}  // namespace kwt
