#include "cli/options.h"

#include "cli/messages.h"

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
    // "-j4" as well as "-j 4".
    if (argument.size() > 2 && argument.starts_with("-j") && argument[1] != '-') {
      name = argument.substr(0, 2);
      attached = argument.substr(2);
    }
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
    const bool takes_value = name == "--width" || name == "--contents" || name == "--jobs" || name == "-j";
    if (attached && !takes_value) return Refuse(Say(Msg::TakesNoValue, {name}));

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
      if (!value) return Refuse(Say(Msg::WidthNeedsNumber));
      const auto width = ParseWidth(*value);
      if (!width) {
        return Refuse(Say(Msg::WidthOutOfRange, {std::to_string(kMaxWidth), *value}));
      }
      options.width = width;
    } else if (name == "-j" || name == "--jobs") {
      const auto value = take_value();
      const auto jobs = value ? ParseWidth(*value) : std::nullopt;
      if (!jobs || *jobs > kMaxJobs) return Refuse(Say(Msg::JobsOutOfRange, {std::to_string(kMaxJobs)}));
      options.jobs = *jobs;
    } else if (name == "--contents") {
      const auto value = take_value();
      if (!value || value->empty()) return Refuse(Say(Msg::ContentsNeedsFile));
      options.contents = std::string(*value);
    } else {
      return Refuse(Say(Msg::UnknownOption, {argument}));
    }
  }

  if (options.projects.empty()) return Refuse(Say(Msg::NoProjectGiven));
  if (options.contents && options.projects.size() != 1) {
    return Refuse(Say(Msg::ContentsNeedsOneProject));
  }
  if (options.check && options.backup) return Refuse(Say(Msg::OptionsExclude, {"--check", "--backup"}));
  if (options.trace && options.quiet) return Refuse(Say(Msg::OptionsExclude, {"--trace", "--quiet"}));
  if (options.trace && options.json) return Refuse(Say(Msg::OptionsExclude, {"--trace", "--json"}));
  if (options.check && options.jobs > 1) return Refuse(Say(Msg::OptionsExclude, {"--check", "-j"}));
  if (options.contents && options.findContents) {
    return Refuse(Say(Msg::OptionsExclude, {"--contents", "--find-contents"}));
  }
  return parsed;
}

std::string Usage() {
  return Say(Msg::Usage, {texts::kStatusSuccess, texts::kStatusUpToDate});
}

}  // namespace kwt::cli
