// kwtconv's command line: what the user asked for, parsed in one place.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kwt {
class ContentsOwners;
}

namespace kwt::cli {

// The exit statuses kwtconv documents.
enum ExitStatus : int {
  kExitSuccess = 0,
  // A project ended with anything but success or "nothing to convert".
  kExitFailure = 1,
  kExitUsage = 2,
  // Stopped by Ctrl+C or a signal: the unfinished pass was undone.
  kExitInterrupted = 130,
};

struct Options {
  bool check = false;
  bool backup = false;
  // Put each project back as its backups hold it, instead of converting it.
  bool restore = false;
  // Folders given are searched in their subfolders too.
  bool recursive = false;
  // A stored contents path that names no file is looked for beside the project.
  bool findContents = false;
  // One JSON object per project on stdout instead of text.
  bool json = false;
  // How many projects convert at once (projects sharing a folder never do).
  std::int32_t jobs = 1;
  bool trace = false;
  bool quiet = false;
  // Columns for the shortened contents path; unset chooses by the terminal.
  std::optional<std::int32_t> width;
  // Replaces the contents path of the one project given.
  std::optional<std::string> contents;
  std::vector<std::string> projects;
  // For each project, the index of the argument it came from.
  std::vector<std::size_t> projectArguments;
  // Not from the command line: what the project files near each contents
  // file name, read once for the whole run.
  std::shared_ptr<ContentsOwners> owners = nullptr;
};

enum class Command { Convert, Help, Version, UsageError };

struct ParsedCommandLine {
  Command command = Command::Convert;
  Options options;
  // Why the command line was refused (code page 932), for UsageError.
  std::string error;
};

// The most projects -j converts at once.
inline constexpr std::int32_t kMaxJobs = 64;

// The widest target text --width accepts.
inline constexpr std::int32_t kMaxWidth = 10000;

// Parses the arguments after the program's name, all code page 932. Options
// and projects may come in any order; "--" ends the options. -h/--help and
// --version answer at once, ignoring what follows.
ParsedCommandLine ParseCommandLine(std::span<const std::string> arguments);

// The help text: every option and the exit statuses (code page 932).
std::string Usage();

}  // namespace kwt::cli
