// Windows only: arguments arrive as UTF-16 (wmain) and go to the core as code
// page 932, whatever the system's ANSI code page.
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/run.h"
#include "cli/stop_request.h"
#include "runtime/encoding.h"

int wmain(int argc, wchar_t** argv) {
  kwt::cli::CatchStopRequests();
  const auto console = kwt::cli::OpenSystemConsole();
  std::vector<std::optional<std::string>> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(kwt::encoding::WideToCp932(argv[i]));
  const int status = kwt::cli::RunConverted(arguments, *console);
  kwt::cli::ConversionsEnded();
  return status;
}
