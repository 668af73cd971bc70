// POSIX only: arguments arrive as UTF-8 and go to the core as code page 932.
#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/run.h"
#include "cli/stop_request.h"
#include "runtime/encoding.h"

int main(int argc, char** argv) {
  // A reader that goes away (kwtconv --trace ... | head) must not kill a
  // conversion halfway; the output is lost, the conversion completes.
  std::signal(SIGPIPE, SIG_IGN);
  kwt::cli::CatchStopRequests();
  const auto console = kwt::cli::OpenSystemConsole();
  std::vector<std::optional<std::string>> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(kwt::encoding::Utf8ToCp932(argv[i]));
  return kwt::cli::RunConverted(arguments, *console);
}
