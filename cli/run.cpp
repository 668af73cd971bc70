#include "cli/run.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cli/check_report.h"
#include "cli/face.h"
#include "cli/json.h"
#include "cli/messages.h"
#include "cli/options.h"
#include "cli/project_list.h"
#include "cli/stop_request.h"
#include "convert/backup.h"
#include "convert/check.h"
#include "convert/conversion.h"
#include "convert/plan.h"
#include "convert/restore.h"
#include "runtime/cp932_text.h"
#include "runtime/error_text.h"
#include "runtime/errors.h"
#include "runtime/file_names.h"
#include "runtime/ini_file.h"
#include "runtime/integer_text.h"
#include "runtime/platform.h"
#include "runtime/record_file.h"
#include "runtime/texts.h"

namespace kwt::cli {
namespace {

constexpr std::string_view kProgram = "kwtconv";

enum class Result { Converted, UpToDate, Failed, Interrupted };

// How one project ended, with what --json and the notes tell about it.
struct ProjectOutcome {
  std::string project;
  Result result = Result::Failed;
  // The status line's last text.
  std::string status;
  // The error's text, or the failing status; none on success.
  std::optional<std::string> message;
  // The message is kwtconv's own (from Say), not one of the system's texts.
  bool ownMessage = false;
  std::optional<std::int32_t> ioCode;
  std::optional<std::string> note;
  // A restore, not a conversion: its status is kwtconv's own words.
  bool restore = false;
  std::optional<std::string> contents;
  // None when the project file was never read.
  std::optional<std::int32_t> version;
  std::optional<std::int32_t> count;
  std::optional<std::uint64_t> recordsPresent;
  std::vector<std::string_view> passes;
  // Whose records: another project file that reads them (a refusal's), the
  // project files near them that could not be read, and whether writers were
  // kept out of the contents file.
  std::string otherProject;
  std::vector<std::string> unreadableProjects;
  bool writersKeptOut = true;
  // Why it did not convert (or restore); None when it did, or was up to date.
  Cause cause = Cause::None;
};

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

ConversionOptions ConversionOptionsOf(const Options& options) {
  ConversionOptions conversion;
  conversion.contentsPath = options.contents;
  conversion.backup = options.backup;
  conversion.contentsBesideProject = !options.contents;
  conversion.findContents = options.findContents;
  conversion.recordIo = RecordIo::Blocks;
  conversion.owners = options.owners;
  return conversion;
}

// A folder as a note names it: "." for the current one.
std::string FolderShown(const std::string& folder) {
  return folder.empty() ? std::string(".") : folder;
}

// What a failure means for this project and what to do next, where the
// message alone does not say it.
std::optional<std::string> NoteFor(const ConversionResult& result, const Options& options,
                                   std::string_view project) {
  const std::int32_t code = result.reason.ioCode.value_or(0);
  // An I/O code the cause leaves open says what to do by itself. Access
  // denied names the place where it is known, else the two folders the
  // conversion writes in.
  const auto byCode = [&]() -> std::optional<std::string> {
    switch (code) {
      case static_cast<std::int32_t>(platform::error::kSharingViolation): return Say(Msg::NoteFolderBusy);
      case static_cast<std::int32_t>(platform::error::kAccessDenied):
        if (!result.reason.path.empty()) return Say(Msg::NoteReadOnly, {ShortenedValue(result.reason.path)});
        if (!result.contents.path.empty()) {
          return Say(Msg::NoteAccessDeniedIn, {ShortenedValue(FolderShown(FolderOf(result.contents.path))),
                                               ShortenedValue(FolderShown(FolderOf(std::string(project))))});
        }
        return Say(Msg::NoteAccessDenied);
      default: return std::nullopt;
    }
  };
  // The paths a project file's KWT= leads to may be of any length.
  const std::string contents = ShortenedValue(result.contents.path);
  const std::string causePath = ShortenedValue(result.reason.path);
  switch (result.reason.cause) {
    case Cause::ProjectMissing: return Say(Msg::NoteProjectMissing);
    case Cause::ProjectPathTooLong:
      return Say(Msg::NoteProjectPathTooLong, {std::to_string(result.reason.path.size())});
    case Cause::NoContents: return Say(Msg::NoteNoRecords);
    case Cause::CountUnreadable:
      return Say(Msg::NoteCountUnreadable, {ShortenedValue(result.facts.countText.value_or(""))});
    case Cause::ProjectNotRegularFile: return Say(Msg::NoteNotAProject);
    case Cause::NotRegularFile:
    case Cause::ProjectFileAsWorkFile: return Say(Msg::NoteWrongContents);
    case Cause::ProjectUnreadable: return Say(Msg::NoteCannotOpen);
    case Cause::ProjectNotSaved: return Say(Msg::NoteCannotSave);
    case Cause::NegativeCount: return Say(Msg::NoteNegativeCount);
    case Cause::ContentsMissing:
      if (contents.empty()) return Say(Msg::NoteNoContentsKey);
      if (options.contents) return Say(Msg::NoteGivenContentsMissing, {contents});
      return Say(Msg::NoteContentsMissing, {contents}) +
             (options.findContents ? std::string() : Say(Msg::NoteFindContentsHint));
    case Cause::SharedContents: return Say(Msg::NoteSharedContents);
    case Cause::ProjectHasSecondName:
      return Say(result.reason.otherPath.empty() ? Msg::NoteProjectNamedElsewhere
                                                 : Msg::NoteProjectHasSecondName);
    case Cause::ContentsIsTemporary: return Say(Msg::NoteContentsIsTemporary);
    case Cause::CannotReplaceInOneStep: return Say(Msg::NoteCannotReplaceInOneStep);
    case Cause::OthersLeftover: return Say(Msg::NoteOthersLeftover);
    case Cause::PathTooLong: return Say(Msg::NotePathTooLong);
    case Cause::ReadOnly: return Say(Msg::NoteReadOnly, {causePath});
    case Cause::TemporaryBlocked:
      if (code == static_cast<std::int32_t>(platform::error::kSharingViolation)) return byCode();
      return Say(Msg::NoteTemporaryBlocked, {causePath});
    case Cause::TooFewRecords:
      return Say(Msg::NoteTooFewRecords,
                 {Say(Msg::ReasonTooFewRecords, {IntegerText(result.facts.count.value_or(0)),
                                                 std::to_string(result.facts.recordsPresent.value_or(0))})});
    case Cause::DiskFull:
      if (result.temporaryRemoved) return Say(Msg::NoteDiskFreed, {ShortenedValue(result.temporaryPath)});
      return Say(Msg::NoteDiskFull);
    // The text of a folder that another conversion holds says what to do.
    case Cause::FolderBusy: return std::nullopt;
    case Cause::FolderNotHeld: return Say(Msg::NoteFolderNotHeld, {result.reason.path});
    case Cause::ContentsUnreadable:
    case Cause::FileInUse:
    case Cause::AccessDenied: return byCode();
    // The message says it all.
    case Cause::None:
    case Cause::NotContentsFile:
    case Cause::SystemFolder:
    case Cause::AlreadyConverted:
    case Cause::BackupExists:
    case Cause::BackupFailed:
    case Cause::ProjectChanged:
    case Cause::ContentsChanged:
    case Cause::IoFailure:
    case Cause::Interrupted:
    case Cause::BackupMissing:
    case Cause::BackupsNotAPair:
    case Cause::NotConverted:
    case Cause::BackupChanged: return std::nullopt;
  }
  return std::nullopt;
}

// One more note on a project's note line.
void AddNote(ProjectOutcome& outcome, const std::string& note) {
  // Every Japanese note closes with its own full stop.
  const std::string_view between = RunLanguage() == Language::Japanese ? "" : "; ";
  outcome.note = outcome.note ? *outcome.note + std::string(between) + note : note;
}

ProjectOutcome ConvertOne(Converter& converter, CommandLineFace& face, const ProjectName& name,
                          const Options& options) {
  ProjectOutcome outcome;
  outcome.project = name.path;
  if (name.error) {
    outcome.message = *name.error;
    outcome.ownMessage = true;
    outcome.note = name.note;
    return outcome;
  }
  face.BeginProject();
  ConversionResult result;
  try {
    result = converter.TryConvert(name.path);
  } catch (const std::bad_alloc&) {
    result.reason.text = "out of memory";
  } catch (const std::exception& error) {
    result.reason.text = error.what();
  }
  face.EndProject();
  outcome.status = face.Status();
  switch (result.outcome) {
    case ConversionOutcome::Converted: outcome.result = Result::Converted; break;
    case ConversionOutcome::UpToDate: outcome.result = Result::UpToDate; break;
    // The status line says why: no project file, or no records.
    case ConversionOutcome::ProjectMissing:
    case ConversionOutcome::NoRecords: outcome.message = outcome.status; break;
    case ConversionOutcome::Interrupted:
      outcome.result = Result::Interrupted;
      outcome.message = result.reason.text;
      break;
    case ConversionOutcome::Refused:
    case ConversionOutcome::Failed:
      outcome.message = result.reason.text;
      outcome.ioCode = result.reason.ioCode;
      break;
  }
  // The passes that ran to their end, also before a stop or a failure.
  for (const PassId pass : result.passesRun) outcome.passes.push_back(PassOf(pass).name);
  // kwtconv says a refused backup in its own words.
  if (result.reason.cause == Cause::BackupExists) {
    outcome.ownMessage = true;
    outcome.message = Say(Msg::BackupExists, {ShortenedValue(result.reason.backupPath)});
  } else if (result.reason.cause == Cause::BackupFailed) {
    outcome.ownMessage = true;
    outcome.message =
        Say(Msg::BackupFailed, {ShortenedValue(result.reason.path), ShortenedValue(result.reason.backupPath),
                                IoMessage(*result.reason.ioCode)});
  }
  // Where the conversion never chose one, the file the project names.
  if (result.facts.count) outcome.contents = result.contents.path;
  outcome.version = result.facts.version;
  outcome.count = result.facts.count;
  outcome.recordsPresent = result.facts.recordsPresent;
  if (outcome.result == Result::Converted && result.contents.foundBesideProject) {
    outcome.note = Say(Msg::NoteFoundBeside,
                       {ShortenedValue(result.contents.path), ShortenedValue(result.contents.stored)});
  } else if (outcome.result == Result::Converted && result.contents.givenInPlaceOfStored) {
    outcome.note = Say(Msg::NoteGivenRecorded,
                       {ShortenedValue(result.contents.path), ShortenedValue(result.contents.stored)});
  } else if (outcome.result == Result::Failed) {
    outcome.note = NoteFor(result, options, name.path);
  }
  outcome.otherProject = result.reason.otherPath;
  if (!result.Succeeded())
    outcome.cause = result.reason.cause == Cause::None ? Cause::IoFailure : result.reason.cause;
  outcome.unreadableProjects = result.notes.unreadableProjects;
  outcome.writersKeptOut = result.notes.writersKeptOut;
  if (outcome.result == Result::Converted) {
    for (const std::string& note : ContentsNoteTexts(result.notes, result.contents.path))
      AddNote(outcome, note);
  }
  if (outcome.result == Result::Converted && result.permissionsNotKept != 0) {
    // The system's own names for the parts, in either language.
    namespace permission = platform::permission;
    const std::pair<platform::PermissionParts, std::string_view> parts[] = {
        {permission::kOwner, "owner"},
        {permission::kGroup, "group"},
        {permission::kMode, "mode"},
#ifdef _WIN32
        {permission::kAccessList, "DACL"},
        {permission::kExtended, "alternate data streams"},
        {permission::kAttributes, "attributes"},
#else
        {permission::kAccessList, "ACL"}, {permission::kExtended, "extended attributes"},
#endif
    };
    std::string lost;
    for (const auto& [part, partName] : parts) {
      if ((result.permissionsNotKept & part) == 0) continue;
      if (!lost.empty()) lost += ", ";
      lost += partName;
    }
    AddNote(outcome, Say(Msg::NotePermissionsNotKept, {lost}));
  }
  return outcome;
}

// The text lines of a project's result: one line, and a note where there is one.
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

void ReportCheckJson(Console& console, const ProjectCheck& check) {
  std::string_view verdict = "convert";
  if (check.Outcome() == Verdict::UpToDate) verdict = "up-to-date";
  if (check.Outcome() == Verdict::WillFail) verdict = "fail";
  const auto known = [&check](std::int64_t value) {
    return check.projectPresent ? std::optional<std::int64_t>(value) : std::nullopt;
  };
  JsonLine line;
  line.project = check.project;
  line.contents = check.projectPresent ? std::optional<std::string>(check.contentsPath) : std::nullopt;
  line.version = known(check.version);
  line.layout = known(check.layout);
  line.count = known(check.count);
  line.recordsPresent = check.recordsPresent;
  if (!check.ConversionWouldFail()) line.passes = check.passes;
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
      const ProjectCheck check = CheckProject(project.path, ConversionOptionsOf(options));
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
      // Every key, as for any project: nothing of it could be read.
      JsonLine line;
      line.project = project.path;
      line.endKey = "verdict";
      line.end = "fail";
      line.message = failed.message;
      line.note = failed.note;
      line.cause = failed.cause;
      WriteJsonLine(console, line);
    } else {
      ReportText(console, failed, options);
    }
  }
  return Finish(console, allWell ? kExitSuccess : kExitFailure);
}

// What a restore that did not happen means, and what to do about it.
std::optional<std::string> RestoreNote(const RestorePlan& plan) {
  switch (plan.reason.cause) {
    case Cause::ProjectChanged:
    case Cause::ContentsChanged:
      return Say(Msg::NoteRestoreByHand, {plan.projectBackup, ShortenedValue(plan.contentsBackup)});
    case Cause::ReadOnly: return Say(Msg::NoteReadOnly, {ShortenedValue(plan.reason.path)});
    case Cause::OthersLeftover: return Say(Msg::NoteOthersLeftover);
    case Cause::FileInUse: return Say(Msg::NoteFolderBusy);
    case Cause::AccessDenied: return Say(Msg::NoteAccessDenied);
    case Cause::DiskFull: return Say(Msg::NoteRestoreDiskFull);
    default: return std::nullopt;
  }
}

ProjectOutcome RestoreOne(const ProjectName& name, const Options& options) {
  ProjectOutcome outcome;
  outcome.project = name.path;
  outcome.restore = true;
  if (name.error) {
    outcome.message = *name.error;
    outcome.ownMessage = true;
    outcome.note = name.note;
    return outcome;
  }
  const RestoreResult result =
      RestoreProject(name.path, ConversionOptionsOf(options), [] { return StopRequested(); });
  const RestorePlan& plan = result.plan;
  if (!plan.contents.empty()) outcome.contents = plan.contents;
  // After a failure the Version is whichever file is in place: not known.
  const bool known =
      result.outcome != RestoreOutcome::Failed && result.outcome != RestoreOutcome::Interrupted;
  if (known && (plan.version != 0 || plan.count != 0)) {
    outcome.version = result.outcome == RestoreOutcome::Restored ? plan.backupVersion : plan.version;
    outcome.count = plan.count;
  }
  switch (result.outcome) {
    case RestoreOutcome::Restored:
      outcome.result = Result::Converted;
      outcome.status = Say(Msg::Restored, {plan.projectBackup, ShortenedValue(plan.contentsBackup)});
      break;
    case RestoreOutcome::AlreadyRestored:
      outcome.result = Result::UpToDate;
      outcome.status = Say(Msg::AlreadyRestored);
      break;
    case RestoreOutcome::Refused:
      outcome.cause = plan.reason.cause;
      outcome.message = Say(Msg::RestoreRefused, {RestoreReason(plan)});
      outcome.ownMessage = true;
      outcome.ioCode = plan.reason.ioCode;
      outcome.note = RestoreNote(plan);
      break;
    case RestoreOutcome::Failed:
      outcome.cause = plan.reason.cause;
      if (plan.reason.cause == Cause::ContentsChanged) {
        outcome.message =
            Say(Msg::RestoreChangedMidway, {ShortenedValue(plan.contents), IntegerText(plan.version)});
        outcome.ownMessage = true;
      } else {
        outcome.message = plan.reason.text;
        outcome.ioCode = plan.reason.ioCode;
        if (!plan.reason.path.empty()) *outcome.message += " (" + ShortenedValue(plan.reason.path) + ")";
        outcome.note = RestoreNote(plan);
      }
      break;
    case RestoreOutcome::Interrupted:
      outcome.result = Result::Interrupted;
      outcome.cause = Cause::Interrupted;
      outcome.message = Say(Msg::RestoreStopped);
      outcome.ownMessage = true;
      break;
  }
  return outcome;
}

// Converts (or restores) one project and writes its result to out.
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

struct Tally {
  std::size_t converted = 0;
  std::size_t upToDate = 0;
  std::size_t failed = 0;
  int status = kExitSuccess;

  // False once the run must end (an interruption). An interruption's status
  // stays whatever follows.
  bool Add(Result result) {
    switch (result) {
      case Result::Converted: ++converted; break;
      case Result::UpToDate: ++upToDate; break;
      case Result::Failed:
        ++failed;
        if (status != kExitInterrupted) status = kExitFailure;
        break;
      case Result::Interrupted:
        ++failed;
        status = kExitInterrupted;
        return false;
    }
    return true;
  }
};

// A project that a stop kept from starting still gets its result line.
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

// What one project wrote, kept until the projects before it have been shown.
class RecordedConsole : public Console {
 public:
  void Write(Stream stream, std::string_view text) override {
    chunks_.emplace_back(stream, std::string(text));
  }
  void Flush(Stream) override {}
  bool IsTerminal(Stream) override { return false; }
  int Columns(Stream) override { return 0; }
  void ReplayTo(Console& console) const {
    for (const auto& [stream, text] : chunks_) {
      console.Write(stream, text);
      console.Flush(stream);
    }
  }

 private:
  std::vector<std::pair<Stream, std::string>> chunks_;
};

// Projects whose plans share a folder would collide on its hold: they run one
// after another, in one group. A folder counts by what it is, so that two
// spellings of one folder (a link, "..") are one; by its name where the
// system does not say.
std::vector<std::vector<std::size_t>> GroupsByFolder(const std::vector<ProjectName>& projects,
                                                     const Options& options) {
  std::vector<std::size_t> parent(projects.size());
  for (std::size_t i = 0; i < parent.size(); ++i) parent[i] = i;
  const auto root = [&parent](std::size_t i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
  };
  std::map<std::string, std::size_t> owner;
  const auto join = [&](const std::string& folder, std::size_t i) {
    const std::string name = folder.empty() ? std::string(".") : folder;
    platform::FileStamp stamp;
    const std::string key = platform::StampOf(name, stamp) == platform::error::kSuccess
                                ? std::to_string(stamp.device) + ":" + std::to_string(stamp.index)
                                : name;
    const auto [at, fresh] = owner.emplace(key, i);
    if (!fresh) parent[root(i)] = root(at->second);
  };
  const ConversionOptions conversion = ConversionOptionsOf(options);
  for (std::size_t i = 0; i < projects.size(); ++i) {
    join(FolderOf(projects[i].path), i);
    if (projects[i].error) continue;
    try {
      const std::vector<std::string> folders = options.restore
                                                   ? PlanRestore(projects[i].path, conversion).folders
                                                   : PlanConversion(projects[i].path, conversion).folders;
      for (const std::string& folder : folders) join(folder, i);
    } catch (const Exception&) {
      // An unreadable project file holds only its own folder before it fails.
    }
  }
  std::map<std::size_t, std::vector<std::size_t>> byRoot;
  for (std::size_t i = 0; i < projects.size(); ++i) byRoot[root(i)].push_back(i);
  std::vector<std::vector<std::size_t>> groups;
  for (auto& [first, members] : byRoot) groups.push_back(std::move(members));
  return groups;
}

// -j: up to jobs projects at once, each group of projects that share a folder
// in one worker; results are shown in the order of the command line.
int RunParallel(const Options& options, const std::vector<ProjectName>& projects, Console& console) {
  const std::vector<std::vector<std::size_t>> groups = GroupsByFolder(projects, options);
  const std::int32_t width = options.width.value_or(kDefaultTargetWidth);
  const Display display = options.trace ? Display::Trace : Display::Silent;

  struct Done {
    RecordedConsole output;
    std::optional<Result> result;  // none: not started (the run was stopped)
    bool finished = false;
  };
  std::vector<Done> done(projects.size());
  std::mutex lock;
  std::condition_variable changed;
  std::atomic<std::size_t> nextGroup{0};
  const auto work = [&] {
    for (std::size_t g; (g = nextGroup++) < groups.size();) {
      for (const std::size_t i : groups[g]) {
        RecordedConsole output;
        std::optional<Result> result;
        if (!StopRequested()) {
          CommandLineFace face(output, display, width);
          Converter converter(face, ConversionOptionsOf(options));
          result = ConvertAndReport(converter, face, projects[i], options, output);
        }
        const std::lock_guard hold(lock);
        done[i].output = std::move(output);
        done[i].result = result;
        done[i].finished = true;
        changed.notify_all();
      }
    }
  };
  std::vector<std::thread> workers;
  const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(options.jobs), groups.size());
  for (std::size_t w = 0; w < count; ++w) workers.emplace_back(work);

  Tally tally;
  for (std::size_t i = 0; i < projects.size(); ++i) {
    std::unique_lock hold(lock);
    changed.wait(hold, [&] { return done[i].finished; });
    done[i].output.ReplayTo(console);
    if (!done[i].result) {
      ReportNotStarted(console, projects[i], options, tally);
      continue;
    }
    // An interruption stops the others at their next record.
    if (!tally.Add(*done[i].result)) RequestStop();
  }
  for (std::thread& worker : workers) worker.join();
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
