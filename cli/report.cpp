#include "cli/report.h"

#include <optional>
#include <string>
#include <vector>

#include "cli/check_report.h"
#include "cli/json.h"
#include "cli/messages.h"
#include "runtime/cp932_text.h"
#include "runtime/error_text.h"
#include "runtime/texts.h"

namespace kwt::cli {
namespace {

// A cause as --json names it: its name in snake case; none for no cause.
std::optional<std::string> CauseName(Cause cause) {
  switch (cause) {
    case Cause::None: return std::nullopt;
    case Cause::ProjectNotRegularFile: return "project_not_regular_file";
    case Cause::NotRegularFile: return "not_regular_file";
    case Cause::ProjectMissing: return "project_missing";
    case Cause::ProjectPathTooLong: return "project_path_too_long";
    case Cause::ProjectUnreadable: return "project_unreadable";
    case Cause::FolderBusy: return "folder_busy";
    case Cause::FolderNotHeld: return "folder_not_held";
    case Cause::NoContents: return "no_contents";
    case Cause::CountUnreadable: return "count_unreadable";
    case Cause::NegativeCount: return "negative_count";
    case Cause::ContentsMissing: return "contents_missing";
    case Cause::NotContentsFile: return "not_contents_file";
    case Cause::SystemFolder: return "system_folder";
    case Cause::SharedContents: return "shared_contents";
    case Cause::ProjectHasSecondName: return "project_has_second_name";
    case Cause::ProjectFileAsWorkFile: return "project_file_as_work_file";
    case Cause::ContentsIsTemporary: return "contents_is_temporary";
    case Cause::PathTooLong: return "path_too_long";
    case Cause::AlreadyConverted: return "already_converted";
    case Cause::ContentsUnreadable: return "contents_unreadable";
    case Cause::TemporaryBlocked: return "temporary_blocked";
    case Cause::OthersLeftover: return "others_leftover";
    case Cause::ReadOnly: return "read_only";
    case Cause::CannotReplaceInOneStep: return "cannot_replace_in_one_step";
    case Cause::TooFewRecords: return "too_few_records";
    case Cause::ProjectNotSaved: return "project_not_saved";
    case Cause::BackupExists: return "backup_exists";
    case Cause::BackupFailed: return "backup_failed";
    case Cause::ProjectChanged: return "project_changed";
    case Cause::ContentsChanged: return "contents_changed";
    case Cause::DiskFull: return "disk_full";
    case Cause::FileInUse: return "file_in_use";
    case Cause::AccessDenied: return "access_denied";
    case Cause::IoFailure: return "io_failure";
    case Cause::Interrupted: return "interrupted";
    case Cause::BackupMissing: return "backup_missing";
    case Cause::BackupsNotAPair: return "backups_not_a_pair";
    case Cause::NotConverted: return "not_converted";
    case Cause::BackupChanged: return "backup_changed";
  }
  return std::nullopt;
}

// One line of --json: a conversion's, a restore's or a check's, each with
// every key, null where a value is not known.
void WriteJsonLine(Console& console, const ProjectOutcome& line);

std::string_view ResultWord(Result result, bool restore) {
  switch (result) {
    case Result::Converted: return restore ? "restored" : "converted";
    case Result::UpToDate: return "up-to-date";
    case Result::Failed: return "failed";
    case Result::Interrupted: return "interrupted";
  }
  return "failed";
}

void WriteJsonLine(Console& console, const ProjectOutcome& line) {
  const auto numberOrNull = [](JsonObject& json, std::string_view key, std::optional<std::int64_t> value) {
    if (value) {
      json.Number(key, *value);
    } else {
      json.MaybeText(key, std::nullopt);
    }
  };
  JsonObject json;
  json.Text("project", line.project).MaybeText("contents", line.contents);
  numberOrNull(json, "version", line.version);
  numberOrNull(
      json, "layout",
      line.version ? std::optional<std::int64_t>(LayoutForVersion(*line.version).number) : std::nullopt);
  numberOrNull(json, "count", line.count);
  json.Number("records_present", line.recordsPresent)
      .Texts("passes", line.passes)
      .Text(line.verdict ? "verdict" : "outcome",
            line.verdict.value_or(ResultWord(line.result, line.restore)))
      .MaybeText("status_text",
                 line.status.empty() || line.restore ? std::nullopt : std::optional<std::string>(line.status))
      .MaybeText("message", line.message);
  numberOrNull(json, "error_code", line.ioCode);
  json.MaybeText("note", line.note).MaybeText("cause", CauseName(line.cause));
  // Only a line about a project whose contents file was looked at says whose
  // records it holds.
  if (line.saysReaders) {
    std::vector<std::string_view> others;
    if (!line.otherProject.empty()) others.push_back(line.otherProject);
    json.Texts("other_projects", others)
        .Texts("unreadable_projects",
               std::vector<std::string_view>(line.unreadableProjects.begin(), line.unreadableProjects.end()))
        .Flag("writers_excluded", line.writersKeptOut);
  }
  console.Write(Stream::Out, json.Line());
  console.Flush(Stream::Out);
}

}  // namespace

void ReportText(Console& console, const ProjectOutcome& outcome, const Options& options) {
  const bool succeeded = outcome.result == Result::Converted || outcome.result == Result::UpToDate;
  if (succeeded) {
    if (options.quiet) return;
    console.Write(Stream::Out, outcome.project + ": " + outcome.status + "\n");
    if (outcome.note) console.Write(Stream::Out, outcome.project + ": note: " + *outcome.note + "\n");
    console.Flush(Stream::Out);
    return;
  }
  console.Flush(Stream::Out);
  const std::string prefix = std::string(kProgram) + ": " + outcome.project + ": ";
  // The system's texts close with the error box's period, but never after
  // "。"; kwtconv's own messages are said as they are written.
  const std::string message = outcome.message.value_or("failed");
  const bool fullStop = !message.empty() && std::string_view(message).substr(LastCharacterStart(message)) ==
                                                texts::kIdeographicFullStop;
  const std::string said = outcome.ownMessage || fullStop ? message : WithClosingPeriod(message);
  console.Write(Stream::Err, prefix + "error: " + said + "\n");
  if (outcome.note) console.Write(Stream::Err, prefix + "note: " + *outcome.note + "\n");
  console.Flush(Stream::Err);
}

void ReportJson(Console& console, const ProjectOutcome& outcome) {
  WriteJsonLine(console, outcome);
}

void ReportCheckJson(Console& console, const ConversionPlan& check) {
  ProjectOutcome line;
  line.project = check.project;
  line.verdict = check.Outcome() == Verdict::UpToDate   ? "up-to-date"
                 : check.Outcome() == Verdict::WillFail ? "fail"
                                                        : "convert";
  if (check.projectPresent) {
    line.contents = check.contents.path;
    line.version = check.version;
    line.count = check.count;
  }
  line.recordsPresent = check.recordsPresent;
  if (!check.ConversionWouldFail()) line.passes = check.PassNames();
  // As a conversion reports: the system's own text and code where it would
  // stop, and in note what that means.
  if (check.ConversionWouldFail()) {
    const Cause cause = check.stop.cause;
    const bool status = cause == Cause::ProjectMissing || cause == Cause::ProjectPathTooLong ||
                        cause == Cause::NoContents || cause == Cause::CountUnreadable;
    if (status) line.status = check.stop.text;
    if (!check.stop.text.empty()) line.message = check.stop.text;
    line.note = FailureReason(check);
  }
  line.ioCode = check.stop.ioCode;
  line.cause = check.stop.cause;
  line.otherProject = check.stop.otherPath;
  line.unreadableProjects = check.notes.unreadableProjects;
  line.writersKeptOut = check.notes.writersKeptOut;
  WriteJsonLine(console, line);
}

void ReportRestoreCheckJson(Console& console, const RestorePlan& plan) {
  ProjectOutcome line;
  line.project = plan.project;
  line.verdict = !plan.Restorable() ? "fail" : plan.Done() ? "up-to-date" : "restore";
  line.saysReaders = false;
  if (!plan.contents.empty()) line.contents = plan.contents;
  if (plan.version != 0 || plan.count != 0) {
    line.version = plan.version;
    line.count = plan.count;
  }
  if (!plan.Restorable()) {
    line.message = Say(Msg::RestoreRefused, {RestoreReason(plan)});
    line.note = RestoreReason(plan);
  }
  line.ioCode = plan.reason.ioCode;
  line.cause = plan.reason.cause;
  WriteJsonLine(console, line);
}

// After two or more projects, on the standard error: stdout keeps one line
// (or object) per project.
void ReportSummary(Console& console, std::size_t converted, std::size_t upToDate, std::size_t failed,
                   bool restore) {
  console.Write(Stream::Err,
                std::string(kProgram) + ": " +
                    Say(restore ? Msg::SummaryRestore : Msg::Summary,
                        {std::to_string(converted + upToDate + failed), std::to_string(converted),
                         std::to_string(upToDate), std::to_string(failed)}) +
                    "\n");
  console.Flush(Stream::Err);
}

int Finish(Console& console, int status) {
  console.Flush(Stream::Out);
  if (console.WriteFailed(Stream::Out)) {
    console.Write(Stream::Err, std::string(kProgram) + ": " + Say(Msg::OutputFailed) + "\n");
    console.Flush(Stream::Err);
    return status == kExitSuccess ? kExitFailure : status;
  }
  return status;
}

void ReportUnreadableCheckJson(Console& console, const ProjectOutcome& failed) {
  ProjectOutcome line = failed;
  line.verdict = "fail";
  line.saysReaders = false;
  WriteJsonLine(console, line);
}

Result ConvertAndReport(Converter& converter, CommandLineFace& face, const ProjectName& project,
                        const Options& options, Console& out) {
  const ProjectOutcome outcome =
      options.restore ? RestoreOne(project, options) : ConvertOne(converter, face, project, options);
  if (options.json) {
    ReportJson(out, outcome);
  } else {
    ReportText(out, outcome, options);
  }
  return outcome.result;
}

void ReportNotStarted(Console& console, const ProjectName& project, const Options& options, Tally& tally) {
  ProjectOutcome outcome;
  outcome.project = project.path;
  outcome.result = Result::Interrupted;
  outcome.message = Say(Msg::NotStarted);
  outcome.ownMessage = true;
  if (options.json) {
    ReportJson(console, outcome);
  } else {
    ReportText(console, outcome, options);
  }
  tally.Add(Result::Interrupted);
}

}  // namespace kwt::cli
