// Windows only: the user's language from KWTCONV_LANG, then the user's
// interface language.
#include <string>

#include "cli/messages.h"
#include "runtime/windows_api.h"

namespace kwt::cli {

Language UserLanguage() {
  // Asked of the system: a wide-character program's C runtime may not have
  // built its narrow environment.
  wchar_t chosen[16] = {};
  const DWORD length = GetEnvironmentVariableW(L"KWTCONV_LANG", chosen, 16);
  if (length > 0 && length < 16) {
    return std::wstring(chosen).rfind(L"ja", 0) == 0 ? Language::Japanese : Language::English;
  }
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::Japanese : Language::English;
}

}  // namespace kwt::cli
