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

// Run for the arguments as the system gave them, each already converted to
// code page 932, or nullopt where one has no form there: that is a usage error.
int RunConverted(std::span<const std::optional<std::string>> arguments, Console& console);

}  // namespace kwt::cli
