// POSIX only: arguments arrive as UTF-8 and go to the core as code page 932.
#include <csignal>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/options.h"
#include "cli/run.h"
#include "runtime/encoding.h"

int main(int argc, char** argv) {
  // A reader that goes away (kwtconv --trace ... | head) must not kill a
  // conversion halfway; the output is lost, the conversion completes.
  std::signal(SIGPIPE, SIG_IGN);
  const auto console = kwt::cli::OpenSystemConsole();
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    auto cp932 = kwt::encoding::Utf8ToCp932(argv[i]);
    if (!cp932) {
      console->Write(kwt::cli::Stream::Err,
                     "kwtconv: argument " + std::to_string(i) + " has no form in code page 932\n");
      return kwt::cli::kExitUsage;
    }
    arguments.push_back(*std::move(cp932));
  }
  return kwt::cli::Run(arguments, *console);
}
