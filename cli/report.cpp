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
// every key, null where a value is not known. Only a line about a project
// whose contents file was looked at says whose records it holds.
struct JsonLine {
  std::string project;
  std::optional<std::string> contents;
  std::optional<std::int64_t> version;
  std::optional<std::int64_t> layout;
  std::optional<std::int64_t> count;
  std::optional<std::uint64_t> recordsPresent;
  std::vector<std::string_view> passes;
  // "outcome" for a conversion or restore, "verdict" for a check, and its word.
  std::string_view endKey;
  std::string_view end;
  std::optional<std::string> statusText;
  std::optional<std::string> message;
  std::optional<std::int32_t> errorCode;
  std::optional<std::string> note;
  Cause cause = Cause::None;
  struct Readers {
    std::string other;
    std::vector<std::string> unreadable;
    bool writersKeptOut = true;
  };
  std::optional<Readers> readers;
};

void WriteJsonLine(Console& console, const JsonLine& line) {
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
  numberOrNull(json, "layout", line.layout);
  numberOrNull(json, "count", line.count);
  json.Number("records_present", line.recordsPresent)
      .Texts("passes", line.passes)
      .Text(line.endKey, line.end)
      .MaybeText("status_text", line.statusText)
      .MaybeText("message", line.message);
  numberOrNull(json, "error_code", line.errorCode);
  json.MaybeText("note", line.note).MaybeText("cause", CauseName(line.cause));
  if (line.readers) {
    std::vector<std::string_view> others;
    if (!line.readers->other.empty()) others.push_back(line.readers->other);
    const std::vector<std::string>& unreadable = line.readers->unreadable;
    json.Texts("other_projects", others)
        .Texts("unreadable_projects", std::vector<std::string_view>(unreadable.begin(), unreadable.end()))
        .Flag("writers_excluded", line.readers->writersKeptOut);
  }
  console.Write(Stream::Out, json.Line());
  console.Flush(Stream::Out);
}

std::string_view ResultWord(Result result, bool restore) {
  switch (result) {
    case Result::Converted: return restore ? "restored" : "converted";
    case Result::UpToDate: return "up-to-date";
    case Result::Failed: return "failed";
    case Result::Interrupted: return "interrupted";
  }
  return "failed";
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
  JsonLine line;
  line.project = outcome.project;
  line.contents = outcome.contents;
  line.version = outcome.version;
  line.count = outcome.count;
  line.recordsPresent = outcome.recordsPresent;
  line.passes = outcome.passes;
  line.endKey = "outcome";
  line.end = ResultWord(outcome.result, outcome.restore);
  if (outcome.version) line.layout = LayoutForVersion(*outcome.version).number;
  if (!outcome.status.empty() && !outcome.restore) line.statusText = outcome.status;
  line.message = outcome.message;
  line.errorCode = outcome.ioCode;
  line.note = outcome.note;
  line.cause = outcome.cause;
  line.readers = {outcome.otherProject, outcome.unreadableProjects, outcome.writersKeptOut};
  WriteJsonLine(console, line);
}

void ReportCheckJson(Console& console, const ConversionPlan& check) {
  std::string_view verdict = "convert";
  if (check.Outcome() == Verdict::UpToDate) verdict = "up-to-date";
  if (check.Outcome() == Verdict::WillFail) verdict = "fail";
  const auto known = [&check](std::int64_t value) {
    return check.projectPresent ? std::optional<std::int64_t>(value) : std::nullopt;
  };
  JsonLine line;
  line.project = check.project;
  line.contents = check.projectPresent ? std::optional<std::string>(check.contents.path) : std::nullopt;
  line.version = known(check.version);
  line.layout = known(check.layout != nullptr ? check.layout->number : 0);
  line.count = known(check.count);
  line.recordsPresent = check.recordsPresent;
  if (!check.ConversionWouldFail()) line.passes = check.PassNames();
  line.endKey = "verdict";
  line.end = verdict;
  // As a conversion reports: the system's own text and code where it would
  // stop, and in note what that means.
  if (check.ConversionWouldFail()) {
    const Cause cause = check.stop.cause;
    const bool status = cause == Cause::ProjectMissing || cause == Cause::ProjectPathTooLong ||
                        cause == Cause::NoContents || cause == Cause::CountUnreadable;
    if (status) line.statusText = check.stop.text;
    if (!check.stop.text.empty()) line.message = check.stop.text;
    line.note = FailureReason(check);
  }
  line.errorCode = check.stop.ioCode;
  line.cause = check.stop.cause;
  line.readers = {check.stop.otherPath, check.notes.unreadableProjects, check.notes.writersKeptOut};
  WriteJsonLine(console, line);
}

void ReportRestoreCheckJson(Console& console, const RestorePlan& plan) {
  const bool read = plan.version != 0 || plan.count != 0;
  const auto known = [read](std::int64_t value) {
    return read ? std::optional<std::int64_t>(value) : std::nullopt;
  };
  JsonLine line;
  line.project = plan.project;
  line.contents = plan.contents.empty() ? std::nullopt : std::optional<std::string>(plan.contents);
  line.version = known(plan.version);
  line.layout = known(LayoutForVersion(plan.version).number);
  line.count = known(plan.count);
  line.endKey = "verdict";
  line.end = !plan.Restorable() ? "fail" : plan.Done() ? "up-to-date" : "restore";
  if (!plan.Restorable()) {
    line.message = Say(Msg::RestoreRefused, {RestoreReason(plan)});
    line.note = RestoreReason(plan);
  }
  line.errorCode = plan.reason.ioCode;
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
  JsonLine line;
  line.project = failed.project;
  line.endKey = "verdict";
  line.end = "fail";
  line.message = failed.message;
  line.note = failed.note;
  line.cause = failed.cause;
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
