#include "cli/outcome.h"

#include <new>
#include <utility>

#include "cli/check_report.h"
#include "cli/messages.h"
#include "cli/stop_request.h"
#include "convert/restore.h"
#include "runtime/cp932_text.h"
#include "runtime/file_names.h"
#include "runtime/integer_text.h"
#include "runtime/platform.h"
#include "runtime/record_file.h"

namespace kwt::cli {
namespace {

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

// What the files that took the old ones' places could not keep, in the
// system's own names for the parts.
std::string PermissionsNote(platform::PermissionParts notKept) {
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
    if ((notKept & part) == 0) continue;
    if (!lost.empty()) lost += ", ";
    lost += partName;
  }
  return Say(Msg::NotePermissionsNotKept, {lost});
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

// What a converted project's line adds: the file taken in place of the one
// recorded, what the conversion says of its contents file, and the
// permissions the new files could not keep.
void AddConvertedNotes(ProjectOutcome& outcome, const ConversionResult& result) {
  const ChosenContents& contents = result.contents;
  if (contents.foundBesideProject) {
    outcome.note =
        Say(Msg::NoteFoundBeside, {ShortenedValue(contents.path), ShortenedValue(contents.stored)});
  } else if (contents.givenInPlaceOfStored) {
    outcome.note =
        Say(Msg::NoteGivenRecorded, {ShortenedValue(contents.path), ShortenedValue(contents.stored)});
  }
  for (const std::string& note : ContentsNoteTexts(result.notes, contents.path)) AddNote(outcome, note);
  if (result.permissionsNotKept != 0) AddNote(outcome, PermissionsNote(result.permissionsNotKept));
}

}  // namespace

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
  if (outcome.result == Result::Converted) {
    AddConvertedNotes(outcome, result);
  } else if (outcome.result == Result::Failed) {
    outcome.note = NoteFor(result, options, name.path);
  }
  outcome.otherProject = result.reason.otherPath;
  if (!result.Succeeded())
    outcome.cause = result.reason.cause == Cause::None ? Cause::IoFailure : result.reason.cause;
  outcome.unreadableProjects = result.notes.unreadableProjects;
  outcome.writersKeptOut = result.notes.writersKeptOut;
  return outcome;
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

}  // namespace kwt::cli
