#include "runtime/error_text.h"

#include <cstddef>

#include "runtime/file_names.h"

namespace kwt {
namespace {

// The first byte of the message's last character. The last byte is a trail
// byte when an odd run of possible lead bytes precedes it (lead and trail
// alternate inside such a run); a NUL is never a trail byte.
unsigned char LastCharacterFirstByte(std::string_view message) {
  const std::size_t last = message.size() - 1;
  if (message[last] == '\0') return 0;
  std::size_t run = 0;
  while (run < last && kLeadByteSet.Contains(message[last - run - 1])) ++run;
  const std::size_t start = run % 2 == 1 ? last - 1 : last;
  return static_cast<unsigned char>(message[start]);
}

}  // namespace

std::string WithClosingPeriod(std::string_view message) {
  std::string text(message);
  // A two-byte character never begins with '.', so comparing the character
  // with "." as byte strings comes down to its first byte.
  if (!text.empty() && LastCharacterFirstByte(text) > static_cast<unsigned char>('.')) text += '.';
  return text;
}

}  // namespace kwt
