// How an error's message is shown to the user: the error box and the command
// line both show exactly this text.
#pragma once

#include <string>
#include <string_view>

namespace kwt {

// The message with "." appended when its last character sorts after "." as a
// byte string. A double-byte character counts as one character of two bytes,
// so every double-byte ending ("。" included) and every single byte above 0x2E
// gets the period; ".", the signs from space to "-" (")" and "!" among them),
// control characters and an empty message get none.
std::string WithClosingPeriod(std::string_view message);

}  // namespace kwt
