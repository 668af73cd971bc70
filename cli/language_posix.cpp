// POSIX only: the user's language from KWTCONV_LANG, then the locale variables.
#include <cstdlib>
#include <string_view>

#include "cli/messages.h"

namespace kwt::cli {

Language UserLanguage() {
  if (const char* chosen = std::getenv("KWTCONV_LANG"); chosen != nullptr && *chosen != '\0') {
    return std::string_view(chosen).starts_with("ja") ? Language::Japanese : Language::English;
  }
  // The first of these that is set decides, as for every program's messages.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return std::string_view(value).starts_with("ja") ? Language::Japanese : Language::English;
    }
  }
  return Language::English;
}

}  // namespace kwt::cli
