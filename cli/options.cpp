#include "cli/options.h"

#include "runtime/texts.h"

namespace kwt::cli {
namespace {

ParsedCommandLine Refuse(std::string error) {
  ParsedCommandLine parsed;
  parsed.command = Command::UsageError;
  parsed.error = std::move(error);
  return parsed;
}

// A width is plain decimal digits, 1 to kMaxWidth.
std::optional<std::int32_t> ParseWidth(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  std::int32_t value = 0;
  for (const char digit : text) {
    if (digit < '0' || digit > '9') return std::nullopt;
    value = value * 10 + (digit - '0');
  }
  if (value < 1 || value > kMaxWidth) return std::nullopt;
  return value;
}

}  // namespace

ParsedCommandLine ParseCommandLine(std::span<const std::string> arguments) {
  ParsedCommandLine parsed;
  Options& options = parsed.options;
  bool options_ended = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (options_ended || argument.size() < 2 || argument[0] != '-') {
      options.projects.emplace_back(argument);
      options.projectArguments.push_back(i);
      continue;
    }
    // "--name=value" and "--name value" both give a value.
    std::string_view name = argument;
    std::optional<std::string_view> attached;
    if (argument.starts_with("--")) {
      if (const auto equals = argument.find('='); equals != std::string_view::npos) {
        name = argument.substr(0, equals);
        attached = argument.substr(equals + 1);
      }
    }
    const auto take_value = [&]() -> std::optional<std::string_view> {
      if (attached) return attached;
      if (i + 1 < arguments.size()) return std::string_view(arguments[++i]);
      return std::nullopt;
    };
    const bool takes_value = name == "--width" || name == "--contents";
    if (attached && !takes_value) return Refuse("option " + std::string(name) + " takes no value");

    if (name == "--") {
      options_ended = true;
    } else if (name == "-h" || name == "--help") {
      parsed.command = Command::Help;
      return parsed;
    } else if (name == "--version") {
      parsed.command = Command::Version;
      return parsed;
    } else if (name == "-q" || name == "--quiet") {
      options.quiet = true;
    } else if (name == "--trace") {
      options.trace = true;
    } else if (name == "--check") {
      options.check = true;
    } else if (name == "--backup") {
      options.backup = true;
    } else if (name == "-r" || name == "--recursive") {
      options.recursive = true;
    } else if (name == "--find-contents") {
      options.findContents = true;
    } else if (name == "--json") {
      options.json = true;
    } else if (name == "--width") {
      const auto value = take_value();
      if (!value) return Refuse("option --width needs a number of columns");
      const auto width = ParseWidth(*value);
      if (!width) {
        return Refuse("option --width takes a number of columns from 1 to " + std::to_string(kMaxWidth) +
                      ", not '" + std::string(*value) + "'");
      }
      options.width = width;
    } else if (name == "--contents") {
      const auto value = take_value();
      if (!value || value->empty()) return Refuse("option --contents needs a file");
      options.contents = std::string(*value);
    } else {
      return Refuse("unknown option '" + std::string(argument) + "'");
    }
  }

  if (options.projects.empty()) return Refuse("no project file given");
  if (options.contents && options.projects.size() != 1) {
    return Refuse("option --contents needs exactly one project file");
  }
  if (options.check && options.backup) return Refuse("options --check and --backup exclude each other");
  if (options.trace && options.quiet) return Refuse("options --trace and --quiet exclude each other");
  if (options.trace && options.json) return Refuse("options --trace and --json exclude each other");
  if (options.contents && options.findContents) {
    return Refuse("options --contents and --find-contents exclude each other");
  }
  return parsed;
}

std::string Usage() {
  std::string usage =
      "Usage: kwtconv [OPTIONS] PROJECT.kwj|FOLDER...\n"
      "Converts each project (a .kwj project file and the .KWT contents file it names)\n"
      "to the data format of version 1.4.0, one after the other. A FOLDER stands for\n"
      "every .kwj file in it (in any letter case), in name order.\n"
      "\n"
      "Options:\n"
      "  --check          change nothing; report for each project its recorded version\n"
      "                   and layout, Count, the contents file, its size against Count\n"
      "                   records, the passes a conversion would run, and a verdict:\n"
      "                   will convert, up to date, or will fail and why\n"
      "  --backup         before converting a project, copy its project file and its\n"
      "                   contents file to NAME.bak beside them; a project whose backup\n"
      "                   already exists (and is not the project as it was) is not\n"
      "                   converted\n"
      "  --contents FILE  convert FILE as the contents file of the one PROJECT given\n"
      "                   (a moved project); the path in the project file stays as it is\n"
      "  --find-contents  when the contents path a project records names no file, use\n"
      "                   the file of that name beside the project file (a project made\n"
      "                   on another machine); the recorded path stays as it is\n"
      "  -r, --recursive  search the FOLDERs given in their subfolders too (links to\n"
      "                   folders are not followed)\n"
      "  --json           print one JSON object per project instead of text\n"
      "  --width N        columns for the contents path (default: the terminal's width\n"
      "                   less the counter's room, or 60 when not on a terminal)\n"
      "  --trace          print every setting of the status line and of the target box\n"
      "                   as it happens, one line each: status<TAB>text, target<TAB>text\n"
      "  -q, --quiet      print no line for projects that converted or were up to date\n"
      "  -h, --help       show this help and exit\n"
      "  --version        show the version and exit\n"
      "\n"
      "A contents path that is relative is taken from the project file's folder.\n"
      "Each project ends with one line: PROJECT: STATUS on the standard output when it\n"
      "converted or was up to date, kwtconv: PROJECT: error: MESSAGE on the standard\n"
      "error otherwise, followed by a note: line where there is more to say. After two\n"
      "or more projects a summary follows on the standard error. On a terminal a\n"
      "progress line shows the record counter meanwhile.\n"
      "\n"
      "Exit status:\n"
      "  0    every project converted or was up to date (\"";
  usage += texts::kStatusSuccess;
  usage += "\" or \"";
  usage += texts::kStatusUpToDate;
  usage +=
      "\")\n"
      "  1    a project failed (missing file, no contents, an error), or the output\n"
      "       could not be written; with --check: a conversion would fail\n"
      "  2    the command line is wrong\n"
      "  130  stopped by Ctrl+C or a signal; the unfinished pass was undone\n";
  return usage;
}

}  // namespace kwt::cli
