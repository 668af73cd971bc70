// POSIX only: arguments arrive as UTF-8 and go to the core as code page 932.
#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/run.h"
#include "cli/stop_request.h"
#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/platform.h"

namespace {

// The code page 932 form of an argument, only when it converts back to the
// same text: a look-alike ("〜" written as "～") would name another file.
kwt::cli::Argument Converted(std::string_view utf8) {
  kwt::cli::Argument argument;
  auto cp932 = kwt::encoding::Utf8ToCp932(utf8);
  if (cp932 && kwt::encoding::Cp932ToUtf8(*cp932) == std::optional<std::string>(std::string(utf8))) {
    argument.cp932 = *cp932;
    argument.shown = *std::move(cp932);
    return argument;
  }
  // Shown character by character, those without an exact form as typed.
  argument.shown = kwt::Utf8ToCp932Shown(utf8);
  return argument;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away (kwtconv --trace ... | head) must not kill a
  // conversion halfway; the output is lost, the conversion completes.
  std::signal(SIGPIPE, SIG_IGN);
  kwt::platform::IgnoreLeaseSignal();
  kwt::cli::CatchStopRequests();
  const auto console = kwt::cli::OpenSystemConsole();
  std::vector<kwt::cli::Argument> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(Converted(argv[i]));
  return kwt::cli::RunConverted(arguments, *console);
}
