#include "runtime/error_text.h"

#include "runtime/cp932_text.h"

namespace kwt {

std::string WithClosingPeriod(std::string_view message) {
  std::string text(message);
  // A two-byte character never begins with '.', so comparing the character
  // with "." as byte strings comes down to its first byte.
  if (!text.empty() &&
      static_cast<unsigned char>(text[LastCharacterStart(text)]) > static_cast<unsigned char>('.')) {
    text += '.';
  }
  return text;
}

}  // namespace kwt
