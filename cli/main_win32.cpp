// Windows only: arguments arrive as UTF-16 (wmain) and go to the core as code
// page 932, whatever the system's ANSI code page.
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/run.h"
#include "runtime/encoding.h"

int wmain(int argc, wchar_t** argv) {
  const auto console = kwt::cli::OpenSystemConsole();
  std::vector<std::optional<std::string>> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(kwt::encoding::WideToCp932(argv[i]));
  return kwt::cli::RunConverted(arguments, *console);
}
