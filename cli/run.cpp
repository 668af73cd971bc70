#include "cli/run.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/check_report.h"
#include "cli/face.h"
#include "cli/messages.h"
#include "cli/options.h"
#include "cli/outcome.h"
#include "cli/parallel.h"
#include "cli/project_list.h"
#include "cli/report.h"
#include "cli/stop_request.h"
#include "convert/conversion.h"
#include "convert/conversion_plan.h"
#include "convert/restore.h"
#include "runtime/errors.h"

namespace kwt::cli {
namespace {

std::vector<ProjectName> ProjectsOf(const Options& options, const std::set<std::size_t>& unnamed) {
  std::vector<std::string> named;
  std::vector<ProjectName> projects;
  // Folders expand in place, so the order is the command line's.
  for (std::size_t i = 0; i < options.projects.size(); ++i) {
    if (unnamed.count(options.projectArguments[i]) != 0) {
      projects.push_back({options.projects[i], Say(Msg::NameHasNoForm)});
      continue;
    }
    for (ProjectName& project : ExpandFolders({options.projects[i]}, options.recursive)) {
      projects.push_back(std::move(project));
    }
  }
  return projects;
}

int RunCheck(const Options& options, const std::vector<ProjectName>& projects, Console& console) {
  bool allWell = true;
  bool first = true;
  for (const ProjectName& project : projects) {
    // A stop asked for ends the reports; the ones written stay true.
    if (StopRequested()) return Finish(console, kExitInterrupted);
    ProjectOutcome failed;
    failed.project = project.path;
    try {
      if (project.error) {
        failed.ownMessage = true;
        failed.note = project.note;
        throw Exception(*project.error);
      }
      if (options.restore) {
        const RestorePlan plan = PlanRestore(project.path, ConversionOptionsOf(options));
        if (options.json) {
          ReportRestoreCheckJson(console, plan);
        } else {
          if (!first) console.Write(Stream::Out, "\n");
          first = false;
          console.Write(Stream::Out, FormatRestoreCheck(plan));
          console.Flush(Stream::Out);
        }
        allWell = allWell && plan.Restorable();
        continue;
      }
      const ConversionPlan check = PlanConversion(project.path, ConversionOptionsOf(options));
      if (options.json) {
        ReportCheckJson(console, check);
      } else {
        if (!first) console.Write(Stream::Out, "\n");
        first = false;
        console.Write(Stream::Out, FormatCheck(check));
        console.Flush(Stream::Out);
      }
      allWell = allWell && !check.ConversionWouldFail();
      continue;
    } catch (const Exception& error) {
      failed.message = error.Message();
      if (const StopReason* reason = ReasonOf(error)) failed.cause = reason->cause;
    } catch (const std::exception& error) {
      failed.message = error.what();
    }
    allWell = false;
    if (options.json) {
      ReportUnreadableCheckJson(console, failed);
    } else {
      ReportText(console, failed, options);
    }
  }
  return Finish(console, allWell ? kExitSuccess : kExitFailure);
}

int RunConversions(const Options& options, const std::vector<ProjectName>& projects, Console& console) {
  const bool terminal = console.IsTerminal(Stream::Out);
  const int columns = terminal ? console.Columns(Stream::Out) : 0;
  Display display = Display::Silent;
  if (options.trace) {
    display = Display::Trace;
  } else if (!options.quiet && !options.json && terminal) {
    display = Display::ProgressLine;
  }
  const std::int32_t width = options.width.value_or(TargetWidthFor(terminal ? columns : 0));
  CommandLineFace face(console, display, width, columns);
  Converter converter(face, ConversionOptionsOf(options));

  Tally tally;
  bool stopped = false;
  for (const ProjectName& project : projects) {
    if (stopped || StopRequested()) {
      stopped = true;
      ReportNotStarted(console, project, options, tally);
      continue;
    }
    stopped = !tally.Add(ConvertAndReport(converter, face, project, options, console));
  }
  // -q prints errors only: the summary is not one.
  if (projects.size() >= 2 && !options.quiet) {
    ReportSummary(console, tally.converted, tally.upToDate, tally.failed, options.restore);
  }
  return Finish(console, tally.status);
}

int RunParsed(const ParsedCommandLine& parsed, const std::set<std::size_t>& unnamed, Console& console) {
  switch (parsed.command) {
    case Command::Help: console.Write(Stream::Out, Usage()); return Finish(console, kExitSuccess);
    case Command::Version:
      console.Write(Stream::Out, std::string(kProgram) + " (KWT Converter) " KWT_VERSION "\n" KWT_COPYRIGHT
                                                         "\n" KWT_LICENSE "\n");
      return Finish(console, kExitSuccess);
    case Command::UsageError:
      console.Write(Stream::Err,
                    std::string(kProgram) + ": " + parsed.error + "\n" + Say(Msg::TryHelp) + "\n");
      return kExitUsage;
    case Command::Convert: break;
  }
  Options options = parsed.options;
  options.owners = std::make_shared<ContentsOwners>();
  const std::vector<ProjectName> projects = ProjectsOf(options, unnamed);
  // Every project of the run is a reader that each conversion looks for.
  std::vector<std::string> paths;
  for (const ProjectName& project : projects) {
    if (!project.error) paths.push_back(project.path);
  }
  options.owners->AddRunProjects(paths);
  if (options.check) return RunCheck(options, projects, console);
  if (options.jobs > 1 && projects.size() > 1) return RunParallel(options, projects, console);
  return RunConversions(options, projects, console);
}

}  // namespace

int Run(std::span<const std::string> arguments, Console& console) {
  return RunParsed(ParseCommandLine(arguments), {}, console);
}

int RunConverted(std::span<const Argument> arguments, Console& console) {
  SetRunLanguage(UserLanguage());
  std::vector<std::string> cp932;
  std::set<std::size_t> unnamed;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    cp932.push_back(arguments[i].cp932.value_or(arguments[i].shown));
    if (!arguments[i].cp932) unnamed.insert(i);
  }
  const ParsedCommandLine parsed = ParseCommandLine(cp932);
  // Only a project name may lack a form: it is reported for that project.
  if (parsed.command == Command::Convert) {
    for (const std::size_t index : unnamed) {
      bool isProject = false;
      for (const std::size_t project : parsed.options.projectArguments)
        isProject = isProject || project == index;
      if (!isProject) {
        console.Write(Stream::Err, std::string(kProgram) + ": " +
                                       Say(Msg::ArgumentHasNoForm, {std::to_string(index + 1)}) + "\n");
        return kExitUsage;
      }
    }
  }
  return RunParsed(parsed, unnamed, console);
}

}  // namespace kwt::cli
