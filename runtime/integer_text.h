// Integer texts in the project file: the one conversion from text that every
// number read from the store goes through, and the decimal form it writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kwt {

// Converts text to a 32-bit signed value, or nothing when the text is not a
// whole integer. Accepted: leading spaces (0x20 only), one optional "+" or "-",
// then either decimal digits (leading zeros allowed, the signed 32-bit range)
// or a hexadecimal prefix ("$", "x", "X", "0x", "0X") and hex digits below
// 2^32, read as the 32-bit pattern ($FFFFFFFF is -1). A "-" before a
// hexadecimal number negates that pattern modulo 2^32 (-$8C is -140). Nothing
// may follow the digits, not even a space.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// The decimal text of value: "-" for negatives, no leading zeros, no "+".
std::string IntegerText(std::int32_t value);

}  // namespace kwt
