#include "cli/check_report.h"

#include "cli/messages.h"

#include "runtime/cp932_text.h"
#include "runtime/file_names.h"
#include "runtime/integer_text.h"
#include "runtime/record_file.h"
#include "runtime/texts.h"

namespace kwt::cli {

namespace {

// The lines of what the project file records: Version, layout and Count.
std::string RecordedLines(const ConversionPlan& check) {
  std::string out = Say(Msg::CheckVersion, {IntegerText(check.version)});
  if (!check.versionText) {
    out += Say(Msg::CheckVersionNotRecorded);
  } else if (*check.versionText != IntegerText(check.version)) {
    out += Say(Msg::CheckVersionRecordedAs, {ShortenedValue(*check.versionText)});
  }
  out += "\n";
  out += Say(Msg::CheckLayout,
             {std::to_string(check.layout->number), std::to_string(check.layout->recordSize)}) +
         "\n";
  out += Say(Msg::CheckCount, {IntegerText(check.count)});
  // As the Version: a Count not written as the number it reads as shows how it is written.
  if (check.countText && *check.countText != IntegerText(check.count)) {
    out += Say(Msg::CheckVersionRecordedAs, {ShortenedValue(*check.countText)});
  }
  return out + "\n";
}

// The lines of the contents file: which, whether it is there, and whether
// its size fits Count.
std::string ContentsLines(const ConversionPlan& check) {
  std::string out = Say(Msg::CheckContents, {ShortenedValue(check.contents.path)});
  if (const std::optional<std::string> recorded = check.RecordedContentsPath()) {
    // The path differs from the recorded one: given with --contents, found
    // beside the project, or a relative path taken from the project's folder.
    out += Say(check.contents.foundBesideProject     ? Msg::CheckContentsFoundBeside
               : check.contents.givenInPlaceOfStored ? Msg::CheckContentsGivenInPlace
                                                     : Msg::CheckContentsRecorded,
               {ShortenedValue(*recorded)});
  }
  out += "\n";
  out += Say(check.contentsPresent ? Msg::CheckContentsFilePresent : Msg::CheckContentsFileMissing) + "\n";

  if (check.contentsSize) {
    out += Say(Msg::CheckContentsSize, {std::to_string(*check.contentsSize)});
  } else if (!check.contentsPresent) {
    out += Say(Msg::CheckContentsSizeNone);
  } else {
    out += Say(Msg::CheckContentsSizeUnknown, {IoMessage(static_cast<std::int32_t>(check.sizeError))});
  }
  out += "\n";

  const auto expected = check.ExpectedSize();
  if (expected) {
    out += Say(Msg::CheckExpectedSize, {std::to_string(*expected), IntegerText(check.count),
                                        std::to_string(check.layout->recordSize)});
  } else {
    out += Say(Msg::CheckExpectedSizeNone);
  }
  out += "\n";

  if (check.contentsSize && expected) {
    out += Say(*check.contentsSize == *expected ? Msg::CheckSizesAgree : Msg::CheckSizesDisagree);
  } else {
    out += Say(Msg::CheckSizesUnknown);
  }
  return out + "\n";
}

// The lines of what the conversion would do: a later layout found, a stopped
// run to finish, the passes and the notes.
std::string WorkLines(const ConversionPlan& check) {
  std::string out;
  if (check.convertedLayout != 0) {
    const std::string layout = std::to_string(check.convertedLayout);
    out += Say(Msg::CheckContentsLayout, {layout, layout}) + "\n";
  }
  if (check.FinishesStoppedRun() != 0 && !check.ConversionWouldFail()) {
    out += Say(Msg::CheckStoppedRun, {std::to_string(check.FinishesStoppedRun())});
  }
  // A project that cannot convert runs no pass.
  if (check.passes.empty() || check.ConversionWouldFail()) {
    out += Say(Msg::CheckPassesNone);
  } else {
    std::string passes;
    for (std::size_t i = 0; i < check.passes.size(); ++i) {
      if (i > 0) passes += ' ';
      passes += check.passes[i].name;
    }
    out += Say(Msg::CheckPasses, {passes});
  }
  out += "\n";
  if (!check.ConversionWouldFail() && !check.passes.empty()) {
    for (const std::string& note : ContentsNoteTexts(check.notes, check.contents.path)) {
      out += Say(Msg::CheckNote, {note}) + "\n";
    }
  }
  return out;
}

}  // namespace

std::string FormatCheck(const ConversionPlan& check) {
  std::string out = Say(Msg::CheckProject, {check.project}) + "\n";
  if (!check.projectPresent) {
    out += Say(Msg::CheckProjectFileMissing) + "\n";
    out += Say(Msg::CheckVerdict, {VerdictText(check)}) + "\n";
    return out;
  }
  out += Say(Msg::CheckProjectFilePresent) + "\n";
  out += RecordedLines(check) + ContentsLines(check) + WorkLines(check);
  out += Say(Msg::CheckVerdict, {VerdictText(check)}) + "\n";
  // What the conversion itself would show there, word for word.
  if (check.ConversionWouldFail()) out += Say(Msg::CheckConversionEndsWith, {check.stop.text}) + "\n";
  return out;
}

namespace {

// The project file's second name, where it is known, else that it reaches
// the same records from anywhere.
std::string SecondNameReason(const std::string& other) {
  if (other.empty()) return Say(Msg::ReasonProjectNamedElsewhere, {std::string()});
  return Say(Msg::ReasonProjectHasSecondName, {" (" + ShortenedValue(other) + ")"});
}

}  // namespace

std::vector<std::string> ContentsNoteTexts(const ContentsNotes& notes, std::string_view contents) {
  std::vector<std::string> said;
  if (!notes.fileOfThatNameBeside.empty()) {
    said.push_back(Say(Msg::NoteFileOfThatNameBeside,
                       {ShortenedValue(contents), ShortenedValue(notes.fileOfThatNameBeside)}));
  }
  if (notes.otherNameKeepsOldRecords) said.push_back(Say(Msg::NoteContentsOtherName));
  if (notes.projectOtherNameReadsItsOwn) said.push_back(Say(Msg::NoteProjectOtherName));
  for (const std::string& project : notes.unreadableProjects) {
    said.push_back(Say(Msg::NoteUnreadableProjects, {ShortenedValue(project)}));
  }
  if (!notes.writersKeptOut) said.push_back(Say(Msg::NoteWritersNotKeptOut, {ShortenedValue(contents)}));
  return said;
}

std::string FailureReason(const ConversionPlan& check) {
  const std::string failurePath = ShortenedValue(check.stop.path);
  const std::string at = failurePath.empty() ? std::string() : " (" + failurePath + ")";
  const std::string layout = std::to_string(check.convertedLayout);
  const std::string name = ShortenedValue(NameIn(check.stop.path));
  switch (check.stop.cause) {
    case Cause::None: return {};
    case Cause::ProjectMissing: return Say(Msg::ReasonProjectMissing);
    case Cause::ProjectPathTooLong:
      return Say(Msg::ReasonProjectPathTooLong, {std::to_string(check.project.size())});
    case Cause::ProjectNotRegularFile:
    case Cause::NotRegularFile: return Say(Msg::ReasonNotRegularFile, {at});
    case Cause::NoContents: return Say(Msg::ReasonNoContents);
    case Cause::CountUnreadable:
      return Say(Msg::ReasonCountUnreadable, {ShortenedValue(check.countText.value_or(""))});
    case Cause::NegativeCount: return Say(Msg::ReasonNegativeCount, {IntegerText(check.count)});
    case Cause::ContentsMissing:
      // No KWT= at all is another matter than a file that is not there.
      if (check.contents.path.empty()) return Say(Msg::ReasonNoContentsKey);
      return Say(Msg::ReasonContentsMissing, {at});
    case Cause::ContentsUnreadable: return Say(Msg::ReasonContentsUnreadable, {at});
    case Cause::TooFewRecords:
      return Say(Msg::ReasonTooFewRecords,
                 {IntegerText(check.count), std::to_string(check.recordsPresent.value_or(0))});
    case Cause::AlreadyConverted:
      // Without a layout the size alone points to a later one.
      if (check.convertedLayout == 0) return Say(Msg::ReasonLayoutUnsure);
      return Say(Msg::ReasonAlreadyConverted, {layout, layout});
    case Cause::TemporaryBlocked: return Say(Msg::ReasonTemporaryBlocked, {name, at});
    case Cause::OthersLeftover: return Say(Msg::ReasonOthersLeftover, {name, at});
    case Cause::PathTooLong: return Say(Msg::ReasonPathTooLong, {at});
    case Cause::ProjectNotSaved:
    case Cause::ReadOnly: return Say(Msg::ReasonReadOnly, {at});
    case Cause::FolderNotHeld:
      return Say(Msg::ReasonFolderNotHeld, {IoMessage(check.stop.ioCode.value_or(0)), at});
    case Cause::FolderBusy: return Say(Msg::ReasonFolderBusy, {at});
    case Cause::ProjectFileAsWorkFile: return Say(Msg::ReasonProjectFileAsWorkFile, {at});
    case Cause::ContentsIsTemporary: return Say(Msg::ReasonContentsIsTemporary, {name, at});
    case Cause::NotContentsFile: return Say(Msg::ReasonNotContentsFile, {at});
    case Cause::SystemFolder: return Say(Msg::ReasonSystemFolder, {at});
    case Cause::SharedContents:
      return Say(Msg::ReasonSharedContents, {ShortenedValue(check.stop.otherPath), at});
    case Cause::ProjectHasSecondName: return SecondNameReason(check.stop.otherPath);
    case Cause::CannotReplaceInOneStep: return Say(Msg::ReasonCannotReplaceInOneStep, {failurePath});
    // Met only by a conversion on its way, or by a restore, never by a plan.
    case Cause::BackupMissing:
    case Cause::BackupsNotAPair:
    case Cause::NotConverted:
    case Cause::BackupChanged:
    case Cause::ProjectUnreadable:
    case Cause::BackupExists:
    case Cause::BackupFailed:
    case Cause::ProjectChanged:
    case Cause::ContentsChanged:
    case Cause::DiskFull:
    case Cause::FileInUse:
    case Cause::AccessDenied:
    case Cause::IoFailure:
    case Cause::Interrupted: break;
  }
  return {};
}

std::string VerdictText(const ConversionPlan& check) {
  switch (check.Outcome()) {
    case Verdict::UpToDate: return Say(Msg::VerdictUpToDate);
    case Verdict::WillFail: return Say(Msg::VerdictWillFail, {FailureReason(check)});
    case Verdict::WillConvert: break;
  }
  std::string passes;
  if (check.FinishesStoppedRun() != 0) {
    passes = Say(Msg::VerdictFinishesStoppedRun);
    if (!check.passes.empty()) passes += Say(Msg::ListSeparator);
  }
  for (std::size_t i = 0; i < check.passes.size(); ++i) {
    if (i > 0) passes += Say(Msg::ListSeparator);
    passes += check.passes[i].name;
  }
  return Say(Msg::VerdictWillConvert, {passes});
}

}  // namespace kwt::cli

namespace kwt::cli {

std::string RestoreReason(const RestorePlan& plan) {
  const std::string path = ShortenedValue(plan.reason.path);
  const std::string at = path.empty() ? std::string() : " (" + path + ")";
  switch (plan.reason.cause) {
    case Cause::None: return {};
    case Cause::BackupMissing: return Say(Msg::ReasonBackupMissing, {path});
    case Cause::BackupsNotAPair: return Say(Msg::ReasonBackupsNotAPair, {path});
    case Cause::NotConverted: return Say(Msg::ReasonNotConverted, {path});
    case Cause::BackupChanged: return Say(Msg::ReasonBackupChanged, {path});
    case Cause::TemporaryBlocked: return Say(Msg::ReasonTemporaryBlocked, {NameIn(path), at});
    case Cause::ReadOnly: return Say(Msg::ReasonReadOnly, {at});
    case Cause::OthersLeftover: return Say(Msg::ReasonOthersLeftover, {NameIn(path), at});
    case Cause::ContentsIsTemporary: return Say(Msg::ReasonContentsIsTemporary, {NameIn(path), at});
    case Cause::ProjectFileAsWorkFile: return Say(Msg::ReasonProjectFileAsWorkFile, {at});
    case Cause::NotContentsFile: return Say(Msg::ReasonNotContentsFile, {at});
    case Cause::ProjectChanged:
    case Cause::ContentsChanged: return Say(Msg::ReasonChangedSinceConversion, {path});
    case Cause::ProjectMissing: return Say(Msg::ReasonProjectMissing);
    case Cause::ProjectPathTooLong:
      return Say(Msg::ReasonProjectPathTooLong, {std::to_string(plan.project.size())});
    case Cause::ProjectUnreadable: return texts::Format(texts::kCannotOpenFileFormat, plan.project);
    case Cause::ProjectNotRegularFile:
    case Cause::NotRegularFile: return Say(Msg::ReasonNotRegularFile, {at});
    case Cause::FolderBusy: return Say(Msg::ReasonFolderBusy, {at});
    case Cause::FolderNotHeld:
      return Say(Msg::ReasonFolderNotHeld, {IoMessage(plan.reason.ioCode.value_or(0)), at});
    case Cause::ContentsMissing:
      if (path.empty()) return Say(Msg::ReasonNoContentsKey);
      return Say(Msg::ReasonContentsMissing, {at});
    case Cause::SystemFolder: return Say(Msg::ReasonSystemFolder, {at});
    case Cause::SharedContents:
      return Say(Msg::ReasonSharedContents, {ShortenedValue(plan.reason.otherPath), at});
    case Cause::ProjectHasSecondName: return SecondNameReason(plan.reason.otherPath);
    case Cause::DiskFull:
    case Cause::FileInUse:
    case Cause::AccessDenied:
    case Cause::IoFailure: return IoMessage(plan.reason.ioCode.value_or(0)) + at;
    // A conversion's own; a restore never meets them.
    case Cause::NoContents:
    case Cause::CountUnreadable:
    case Cause::NegativeCount:
    case Cause::PathTooLong:
    case Cause::AlreadyConverted:
    case Cause::ContentsUnreadable:
    case Cause::CannotReplaceInOneStep:
    case Cause::TooFewRecords:
    case Cause::ProjectNotSaved:
    case Cause::BackupExists:
    case Cause::BackupFailed:
    case Cause::Interrupted: return IoMessage(plan.reason.ioCode.value_or(0)) + at;
  }
  return {};
}

std::string RestoreVerdictText(const RestorePlan& plan) {
  if (!plan.Restorable()) return Say(Msg::VerdictCannotRestore, {RestoreReason(plan)});
  return Say(plan.Done() ? Msg::VerdictAlreadyRestored : Msg::VerdictWillRestore);
}

std::string FormatRestoreCheck(const RestorePlan& plan) {
  std::string out = Say(Msg::CheckProject, {plan.project}) + "\n";
  if (!plan.contents.empty()) {
    out += Say(Msg::CheckContents, {ShortenedValue(plan.contents)}) + "\n";
    out += Say(Msg::CheckBackups, {plan.projectBackup, ShortenedValue(plan.contentsBackup)}) + "\n";
  }
  out += Say(Msg::CheckVerdict, {RestoreVerdictText(plan)}) + "\n";
  return out;
}

}  // namespace kwt::cli
