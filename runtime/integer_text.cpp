#include "runtime/integer_text.h"

#include <charconv>

namespace kwt {

namespace {

// The digit's value in base 16, or -1; decimal callers reject values above 9.
int DigitValue(char byte) {
  if (byte >= '0' && byte <= '9') return byte - '0';
  if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
  if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
  return -1;
}

// Reads digits of the given base up to the end of text. The magnitude stops
// growing once it passes limit, so any number of leading zeros or digits is
// safe; the caller only needs to know whether it passed.
std::optional<std::uint64_t> ReadDigits(std::string_view text, unsigned base, std::uint64_t limit) {
  if (text.empty()) return std::nullopt;
  std::uint64_t magnitude = 0;
  for (const char byte : text) {
    const int digit = DigitValue(byte);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return std::nullopt;
    if (magnitude <= limit) magnitude = magnitude * base + static_cast<unsigned>(digit);
  }
  return magnitude;
}

}  // namespace

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const std::string_view rest = text.substr(pos);

  std::size_t prefix = 0;
  if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
    prefix = 1;
  } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    prefix = 2;
  }

  if (prefix > 0) {
    constexpr std::uint64_t kPatterns = std::uint64_t{1} << 32;
    const auto magnitude = ReadDigits(rest.substr(prefix), 16, kPatterns);
    if (!magnitude || *magnitude >= kPatterns) return std::nullopt;
    std::uint32_t pattern = static_cast<std::uint32_t>(*magnitude);
    if (negative) pattern = 0u - pattern;
    return static_cast<std::int32_t>(pattern);
  }

  constexpr std::uint64_t kMostNegative = std::uint64_t{1} << 31;
  const auto magnitude = ReadDigits(rest, 10, kMostNegative);
  if (!magnitude) return std::nullopt;
  if (negative) {
    if (*magnitude > kMostNegative) return std::nullopt;
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(*magnitude));
  }
  if (*magnitude >= kMostNegative) return std::nullopt;
  return static_cast<std::int32_t>(*magnitude);
}

std::string IntegerText(std::int32_t value) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace kwt
