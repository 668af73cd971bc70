// The integer conversion against a plain model of its rules, the decimal
// writer against the conversion, and ReadNumber against both.
//
// The model reads the digits as a string and decides the range by the number
// of significant digits and a string comparison, never by arithmetic that
// could overflow, so it shares no technique with the conversion it checks.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "runtime/ini_file.h"
#include "runtime/integer_text.h"

namespace {

bool IsDecimalDigit(char byte) {
  return byte >= '0' && byte <= '9';
}

bool IsHexDigit(char byte) {
  return IsDecimalDigit(byte) || (byte >= 'A' && byte <= 'F') || (byte >= 'a' && byte <= 'f');
}

std::uint32_t HexValue(char byte) {
  if (IsDecimalDigit(byte)) return static_cast<std::uint32_t>(byte - '0');
  if (byte >= 'A' && byte <= 'F') return static_cast<std::uint32_t>(byte - 'A' + 10);
  return static_cast<std::uint32_t>(byte - 'a' + 10);
}

// digits without its leading zeros ("0" stays "0").
std::string_view Significant(std::string_view digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? digits.substr(digits.size() - 1) : digits.substr(first);
}

// Compares two digit strings without leading zeros as numbers (same base).
bool NotAbove(std::string_view digits, std::string_view limit) {
  if (digits.size() != limit.size()) return digits.size() < limit.size();
  return digits <= limit;
}

std::optional<std::int32_t> Model(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  std::string_view rest = text.substr(at);

  const bool hexLetter = !rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X');
  const bool hexZero = rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X');
  if (hexLetter || hexZero) {
    rest.remove_prefix(hexLetter ? 1 : 2);
    if (rest.empty()) return std::nullopt;
    for (const char byte : rest) {
      if (!IsHexDigit(byte)) return std::nullopt;
    }
    const std::string_view digits = Significant(rest);
    if (digits.size() > 8) return std::nullopt;  // 2^32 and above
    std::uint32_t pattern = 0;
    for (const char byte : digits) pattern = pattern * 16 + HexValue(byte);
    // The converter's choice for a sign before hexadecimal: "-" negates the pattern.
    if (negative) pattern = ~pattern + 1;
    std::int32_t value;
    std::memcpy(&value, &pattern, sizeof value);
    return value;
  }

  if (rest.empty()) return std::nullopt;
  for (const char byte : rest) {
    if (!IsDecimalDigit(byte)) return std::nullopt;
  }
  const std::string_view digits = Significant(rest);
  if (!NotAbove(digits, negative ? "2147483648" : "2147483647")) return std::nullopt;
  std::int64_t magnitude = 0;
  for (const char byte : digits) magnitude = magnitude * 10 + (byte - '0');
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = kwt::fuzz::AsText(data, size);

  const std::optional<std::int32_t> expected = Model(text);
  KWT_FUZZ_CHECK(kwt::ParseInteger(text) == expected);

  // What the store writes, it reads back: every 32-bit value, taken from the
  // input's first bytes.
  if (size >= sizeof(std::int32_t)) {
    std::int32_t value;
    std::memcpy(&value, data, sizeof value);
    const std::string written = kwt::IntegerText(value);
    KWT_FUZZ_CHECK(written == std::to_string(value));
    KWT_FUZZ_CHECK(kwt::ParseInteger(written) == value);
  }

  // ReadNumber is the conversion with a default, whatever the stored bytes.
  kwt::TMemIniFile store = kwt::TMemIniFile::FromText("", {});
  store.WriteText("KWJ", "Version", text);
  constexpr std::int32_t kDefault = 12345;
  KWT_FUZZ_CHECK(store.ReadNumber("KWJ", "Version", kDefault) == expected.value_or(kDefault));
  return 0;
}
