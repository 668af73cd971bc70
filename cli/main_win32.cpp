// Windows only: arguments arrive as UTF-16 (wmain) and go to the core as code
// page 932, whatever the system's ANSI code page. Windows hands wildcards to
// the program unexpanded, so kwtconv.exe expands * and ? itself.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/run.h"
#include "cli/stop_request.h"
#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/windows_api.h"
#include "runtime/windows_handles.h"

namespace {

kwt::cli::Argument Converted(std::wstring_view wide) {
  // A name with no code page 932 form is shown as typed, not with '?'.
  return {kwt::encoding::WideToCp932(wide), kwt::WideToCp932Shown(wide)};
}

// Windows takes '/' for '\' in paths, but the file-name rules (a project's
// folder, where TMP.DAT goes) know only '\' and ':'; a path typed with '/'
// must find its folder all the same.
std::wstring AsWindowsPath(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

bool TakesValue(std::wstring_view option) {
  return option == L"--contents" || option == L"--width";
}

// The files and folders a pattern names, in name order; none when nothing
// matches (the pattern then stays as given, and is reported as missing).
std::vector<std::wstring> Expanded(const std::wstring& pattern) {
  const std::size_t cut = pattern.find_last_of(L"\\/:");
  const std::wstring folder = cut == std::wstring::npos ? std::wstring() : pattern.substr(0, cut + 1);
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  const kwt::windows::SearchHandle search(FindFirstFileW(pattern.c_str(), &found));
  if (!search) return names;
  do {
    const std::wstring_view name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(folder + std::wstring(name));
  } while (FindNextFileW(search.get(), &found));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  kwt::cli::CatchStopRequests();
  const auto console = kwt::cli::OpenSystemConsole();
  std::vector<kwt::cli::Argument> arguments;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring given = argv[i];
    const bool isOption = !optionsEnded && given.size() >= 2 && given[0] == L'-';
    const std::wstring argument = isOption ? given : AsWindowsPath(given);
    if (isOption && argument == L"--") optionsEnded = true;
    if (isOption && TakesValue(argument) && i + 1 < argc) {
      arguments.push_back(Converted(argument));
      ++i;
      arguments.push_back(
          Converted(argument == L"--contents" ? AsWindowsPath(argv[i]) : std::wstring(argv[i])));
      continue;
    }
    const std::vector<std::wstring> matches = !isOption && argument.find_first_of(L"*?") != std::wstring::npos
                                                  ? Expanded(argument)
                                                  : std::vector<std::wstring>{};
    if (matches.empty()) {
      arguments.push_back(Converted(argument));
    } else {
      for (const std::wstring& match : matches) arguments.push_back(Converted(match));
    }
  }
  const int status = kwt::cli::RunConverted(arguments, *console);
  kwt::cli::ConversionsEnded();
  return status;
}
