#include "cli/run.h"

#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cli/check_report.h"
#include "cli/face.h"
#include "cli/options.h"
#include "cli/stop_request.h"
#include "convert/check.h"
#include "convert/conversion.h"
#include "convert/plan.h"
#include "runtime/error_text.h"
#include "runtime/errors.h"
#include "runtime/texts.h"

namespace kwt::cli {
namespace {

constexpr std::string_view kProgram = "kwtconv";

// "kwtconv: PROJECT: TEXT", the text as the window's error box shows it.
void ReportError(Console& console, std::string_view project, std::string_view message) {
  console.Flush(Stream::Out);
  std::string line(kProgram);
  line += ": ";
  line += project;
  line += ": ";
  line += WithClosingPeriod(message);
  line += '\n';
  console.Write(Stream::Err, line);
  console.Flush(Stream::Err);
}

// What escaped the work on one project.
struct Outcome {
  bool completed = true;
  bool interrupted = false;
  // The error's text; none for a silent abort.
  std::optional<std::string> message;
};

template <typename Body>
Outcome Guarded(Body&& body) {
  Outcome outcome;
  try {
    body();
    return outcome;
  } catch (const EInterrupted& error) {
    outcome.interrupted = true;
    outcome.message = error.Message();
  } catch (const EAbort&) {
    // An abort is silent, as in the window, but the project did not succeed.
  } catch (const Exception& error) {
    outcome.message = error.Message();
  } catch (const std::bad_alloc&) {
    outcome.message = "out of memory";
  } catch (const std::exception& error) {
    outcome.message = error.what();
  }
  outcome.completed = false;
  return outcome;
}

void Report(Console& console, std::string_view project, const Outcome& outcome) {
  if (outcome.message) ReportError(console, project, *outcome.message);
}

int RunCheck(const Options& options, Console& console) {
  bool all_well = true;
  bool first = true;
  for (const std::string& project : options.projects) {
    const Outcome outcome = Guarded([&] {
      const ProjectCheck check = CheckProject(project, options.contents);
      if (!first) console.Write(Stream::Out, "\n");
      first = false;
      console.Write(Stream::Out, FormatCheck(check));
      console.Flush(Stream::Out);
      all_well = all_well && !check.ConversionWouldFail();
    });
    Report(console, project, outcome);
    all_well = all_well && outcome.completed;
  }
  return all_well ? kExitSuccess : kExitFailure;
}

int RunConversions(const Options& options, Console& console) {
  const bool terminal = console.IsTerminal(Stream::Out);
  const int columns = terminal ? console.Columns(Stream::Out) : 0;
  Display display = Display::Silent;
  if (options.trace) {
    display = Display::Trace;
  } else if (!options.quiet && terminal) {
    display = Display::ProgressLine;
  }
  const std::int32_t width = options.width.value_or(TargetWidthFor(terminal ? columns : 0));
  CommandLineFace face(console, display, width, columns);
  Converter converter(face, ConversionOptions{options.contents, options.backup});

  bool all_well = true;
  for (const std::string& project : options.projects) {
    if (StopRequested()) return kExitInterrupted;
    face.BeginProject();
    const Outcome outcome = Guarded([&] { converter.Convert(project); });
    // The progress line goes first: stdout and stderr may share the terminal.
    face.EndProject();
    if (outcome.interrupted) {
      // One line, and no progress text shown as if it were the result.
      ReportError(console, project, *outcome.message);
      return kExitInterrupted;
    }
    const std::string& status = face.Status();
    if (display != Display::Trace && !options.quiet && !status.empty()) {
      // Where the project stopped, then (on stderr) why.
      console.Write(Stream::Out, project + ": " + status + "\n");
      console.Flush(Stream::Out);
    }
    Report(console, project, outcome);
    all_well = all_well && outcome.completed &&
               (status == texts::kStatusSuccess || status == texts::kStatusUpToDate);
  }
  return all_well ? kExitSuccess : kExitFailure;
}

}  // namespace

int Run(std::span<const std::string> arguments, Console& console) {
  const ParsedCommandLine parsed = ParseCommandLine(arguments);
  switch (parsed.command) {
    case Command::Help: console.Write(Stream::Out, Usage()); return kExitSuccess;
    case Command::Version:
      console.Write(Stream::Out, std::string(kProgram) + " (KWT Converter) " KWT_VERSION "\n" KWT_COPYRIGHT
                                                         "\n" KWT_LICENSE "\n");
      return kExitSuccess;
    case Command::UsageError:
      console.Write(Stream::Err, std::string(kProgram) + ": " + parsed.error + "\n" +
                                     "Try '" + std::string(kProgram) + " --help' for more information.\n");
      return kExitUsage;
    case Command::Convert: break;
  }
  return parsed.options.check ? RunCheck(parsed.options, console) : RunConversions(parsed.options, console);
}

int RunConverted(std::span<const std::optional<std::string>> arguments, Console& console) {
  std::vector<std::string> cp932;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (!arguments[i]) {
      console.Write(Stream::Err, std::string(kProgram) + ": argument " + std::to_string(i + 1) +
                                     " has no form in code page 932\n");
      return kExitUsage;
    }
    cp932.push_back(*arguments[i]);
  }
  return Run(cp932, console);
}

}  // namespace kwt::cli
