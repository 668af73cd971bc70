#include "cli/options.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "cli/messages.h"

#include "runtime/texts.h"

namespace kwt::cli {
namespace {

// The options given a value, as "--name value", "--name=value" or "-j4".
bool TakesValue(std::string_view name) {
  return name == "--width" || name == "--contents" || name == "--jobs" || name == "-j";
}

// The options that only switch something on.
struct Switch {
  std::string_view shortName;
  std::string_view longName;
  bool Options::*on;
};
constexpr Switch kSwitches[] = {
    {"-q", "--quiet", &Options::quiet},
    {{}, "--trace", &Options::trace},
    {{}, "--check", &Options::check},
    {{}, "--backup", &Options::backup},
    {{}, "--restore", &Options::restore},
    {"-r", "--recursive", &Options::recursive},
    {{}, "--find-contents", &Options::findContents},
    {{}, "--json", &Options::json},
};

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

constexpr std::string_view kLongOptions[] = {
    "--help",          "--version", "--quiet", "--trace", "--check",    "--backup", "--recursive",
    "--find-contents", "--json",    "--width", "--jobs",  "--contents", "--restore"};

// A long option's name from an unambiguous beginning of it ("--rec" for
// "--recursive"), as GNU tools take them; the text itself otherwise.
std::string_view LongOptionNamed(std::string_view text) {
  std::string_view found;
  for (const std::string_view option : kLongOptions) {
    if (option == text) return option;
    if (option.starts_with(text)) {
      if (!found.empty()) return text;  // ambiguous
      found = option;
    }
  }
  return found.empty() ? text : found;
}

// One argument of the command line, with the index it came from.
struct Word {
  std::string text;
  std::size_t index;
};

// Bundled short options apart: "-qr" is "-q -r", and a "j" takes the rest as
// its value ("-qj2" is "-q -j2"). Everything after "--" stays as it is.
std::vector<Word> Unbundled(std::span<const std::string> arguments) {
  std::vector<Word> words;
  bool ended = false;
  bool value = false;  // the argument is the value of the option before it
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool isValue = std::exchange(value, false);
    ended = ended || (!isValue && argument == "--");
    if (ended || isValue || argument.size() <= 2 || argument[0] != '-' || argument[1] == '-' ||
        argument[1] == 'j') {
      const std::string_view name = LongOptionNamed(argument);
      value = !ended && !isValue && TakesValue(name);
      words.push_back({argument, i});
      continue;
    }
    for (std::size_t k = 1; k < argument.size(); ++k) {
      if (argument[k] == 'j') {
        std::string rest(1, '-');
        rest.append(argument, k);
        words.push_back({std::move(rest), i});
        break;
      }
      words.push_back({std::string({'-', argument[k]}), i});
    }
  }
  return words;
}

// Sets an option given a value; what is wrong with the value where it is.
std::optional<std::string> SetValue(Options& options, std::string_view name,
                                    std::optional<std::string_view> value) {
  if (name == "--width") {
    if (!value) return Say(Msg::WidthNeedsNumber);
    const auto width = ParseWidth(*value);
    if (!width) return Say(Msg::WidthOutOfRange, {std::to_string(kMaxWidth), *value});
    options.width = width;
  } else if (name == "-j" || name == "--jobs") {
    const auto jobs = value ? ParseWidth(*value) : std::nullopt;
    if (!jobs || *jobs > kMaxJobs) return Say(Msg::JobsOutOfRange, {std::to_string(kMaxJobs)});
    options.jobs = *jobs;
  } else if (name == "--contents") {
    if (!value || value->empty()) return Say(Msg::ContentsNeedsFile);
    options.contents = std::string(*value);
  }
  return std::nullopt;
}

// What keeps the options from going together, or no project given; none
// when nothing does.
std::optional<std::string> Conflict(const Options& options) {
  if (options.projects.empty()) return Say(Msg::NoProjectGiven);
  if (options.contents && options.projects.size() != 1) {
    return Say(Msg::ContentsNeedsOneProject);
  }
  if (options.check && options.backup) return Say(Msg::OptionsExclude, {"--check", "--backup"});
  if (options.restore && options.backup) return Say(Msg::OptionsExclude, {"--restore", "--backup"});
  if (options.trace && options.quiet) return Say(Msg::OptionsExclude, {"--trace", "--quiet"});
  if (options.trace && options.json) return Say(Msg::OptionsExclude, {"--trace", "--json"});
  if (options.check && options.jobs > 1) return Say(Msg::OptionsExclude, {"--check", "-j"});
  if (options.contents && options.findContents) {
    return Say(Msg::OptionsExclude, {"--contents", "--find-contents"});
  }
  return std::nullopt;
}

}  // namespace

ParsedCommandLine ParseCommandLine(std::span<const std::string> given) {
  ParsedCommandLine parsed;
  Options& options = parsed.options;
  bool optionsEnded = false;
  const std::vector<Word> words = Unbundled(given);
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string_view argument = words[i].text;
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      options.projects.emplace_back(argument);
      options.projectArguments.push_back(words[i].index);
      continue;
    }
    // "--name=value" and "--name value" both give a value.
    std::string_view name = argument;
    std::optional<std::string_view> attached;
    // "-j4" as well as "-j 4".
    if (argument.size() > 2 && argument.starts_with("-j") && argument[1] != '-') {
      name = argument.substr(0, 2);
      attached = argument.substr(2);
    }
    if (argument.starts_with("--") && argument != "--") {
      if (const auto equals = argument.find('='); equals != std::string_view::npos) {
        name = argument.substr(0, equals);
        attached = argument.substr(equals + 1);
      }
      name = LongOptionNamed(name);
    }
    const auto takeValue = [&]() -> std::optional<std::string_view> {
      if (attached) return attached;
      if (i + 1 < words.size()) return std::string_view(words[++i].text);
      return std::nullopt;
    };
    const bool takesValue = name == "--width" || name == "--contents" || name == "--jobs" || name == "-j";
    if (attached && !takesValue) return Refuse(Say(Msg::TakesNoValue, {name}));

    if (name == "--") {
      optionsEnded = true;
      continue;
    }
    if (name == "-h" || name == "--help" || name == "--version") {
      parsed.command = name == "--version" ? Command::Version : Command::Help;
      return parsed;
    }
    const Switch* const on =
        std::find_if(std::begin(kSwitches), std::end(kSwitches), [&](const Switch& known) {
          return name == known.longName || (!known.shortName.empty() && name == known.shortName);
        });
    if (on != std::end(kSwitches)) {
      options.*(on->on) = true;
    } else if (!takesValue) {
      return Refuse(Say(Msg::UnknownOption, {argument}));
    } else if (std::optional<std::string> error = SetValue(options, name, takeValue())) {
      return Refuse(std::move(*error));
    }
  }
  if (std::optional<std::string> error = Conflict(options)) return Refuse(std::move(*error));
  return parsed;
}
std::string Usage() {
  return Say(Msg::Usage, {texts::kStatusSuccess, texts::kStatusUpToDate});
}

}  // namespace kwt::cli
