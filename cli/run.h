// kwtconv as a whole, apart from how it meets the operating system.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "cli/console.h"

namespace kwt::cli {

// Runs the command line (the arguments after the program's name, code page
// 932) and answers the exit status. Never exits the process; errors of single
// projects are reported and the next project follows.
int Run(std::span<const std::string> arguments, Console& console);

// An argument as the system gave it.
struct Argument {
  // Its code page 932 form; none when it has none (a character that code page
  // 932 cannot write, or that would only be written as a look-alike).
  std::optional<std::string> cp932;
  // How it is shown: the code page 932 form, with the characters that have
  // none kept as typed (see kTypedMark).
  std::string shown;
};

// Run for the arguments as the system gave them. A project name with no code
// page 932 form is reported for that project and the others go on; an option
// value with none is a usage error.
int RunConverted(std::span<const Argument> arguments, Console& console);

}  // namespace kwt::cli
