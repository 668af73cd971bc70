// kwtconv's own messages, each in English and in Japanese: usage errors,
// notes, the summary, the --check reasons. The system's texts (status lines,
// I/O errors) stay as they are in either language.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kwt::cli {

enum class Language { English, Japanese };

// The language the user reads: Japanese when KWTCONV_LANG says "ja", or, when
// it is not set, when the locale says so (LC_ALL, LC_MESSAGES, LANG beginning
// with "ja" on POSIX; the user's interface language on Windows).
Language UserLanguage();

enum class Msg {
  TryHelp,
  NoProjectGiven,
  UnknownOption,
  TakesNoValue,
  WidthNeedsNumber,
  WidthOutOfRange,
  ContentsNeedsFile,
  ContentsNeedsOneProject,
  OptionsExclude,
  JobsOutOfRange,
  ArgumentHasNoForm,
  NameHasNoForm,
  FolderHoldsNoProject,
  FolderUnreadable,
  NamesPassedOver,
  NoteNoRecords,
  NoteContentsMissing,
  NoteFindContentsHint,
  NoteFolderBusy,
  NoteFoundBeside,
  Summary,
  OutputFailed,
  NotStarted,
  BackupExists,
  BackupFailed,
  ReasonProjectMissing,
  ReasonNotRegularFile,
  ReasonNoContents,
  ReasonNegativeCount,
  ReasonContentsMissing,
  ReasonContentsUnreadable,
  ReasonTooFewRecords,
  ReasonAlreadyConverted,
  ReasonTemporaryBlocked,
  ReasonPathTooLong,
  ReasonReadOnly,
  ReasonFolderBusy,
  ReasonFolderNotHeld,
  // Next steps for failures that had none.
  FolderHoldsProjectsBelow,
  NoteProjectMissing,
  NoteNoContentsKey,
  NoteGivenContentsMissing,
  NoteTooFewRecords,
  NoteReadOnly,
  NoteAccessDenied,
  NoteAccessDeniedIn,
  NoteFolderNotHeld,
  NoteTemporaryBlocked,
  NotePathTooLong,
  NoteCannotSave,
  NoteCannotOpen,
  NoteNegativeCount,
  NoteNotAProject,
  NoteWrongContents,
  NoteDiskFull,
  ReasonNoContentsKey,
  // The --check report: its lines, their additions and the verdicts.
  CheckProject,
  CheckProjectFilePresent,
  CheckProjectFileMissing,
  CheckVersion,
  CheckVersionNotRecorded,
  CheckVersionRecordedAs,
  CheckLayout,
  CheckCount,
  CheckContents,
  CheckContentsFoundBeside,
  CheckContentsRecorded,
  CheckContentsFilePresent,
  CheckContentsFileMissing,
  CheckContentsSize,
  CheckContentsSizeNone,
  CheckContentsSizeUnknown,
  CheckExpectedSize,
  CheckExpectedSizeNone,
  CheckSizesAgree,
  CheckSizesDisagree,
  CheckSizesUnknown,
  CheckContentsLayout,
  CheckPasses,
  CheckPassesNone,
  CheckVerdict,
  VerdictWillConvert,
  VerdictUpToDate,
  VerdictWillFail,
  ListSeparator,
  ReasonProjectFileAsWorkFile,
  ReasonContentsIsTemporary,
  ReasonLayoutUnsure,
  CheckConversionEndsWith,
  CheckStoppedRun,
  VerdictFinishesStoppedRun,
  ReasonNotContentsFile,
  ReasonSystemFolder,
  ReasonSharedContents,
  NoteSharedContents,
  ReasonProjectHasSecondName,
  ReasonProjectNamedElsewhere,
  NoteProjectHasSecondName,
  NoteProjectNamedElsewhere,
  NoteContentsOtherName,
  NoteProjectOtherName,
  NoteFileOfThatNameBeside,
  NoteUnreadableProjects,
  NoteWritersNotKeptOut,
  CheckNote,
  NoteGivenRecorded,
  CheckContentsGivenInPlace,
  NotePermissionsNotKept,
  NoteDiskFreed,
  NoteContentsIsTemporary,
  ReasonCannotReplaceInOneStep,
  NoteCannotReplaceInOneStep,
  ReasonOthersLeftover,
  NoteOthersLeftover,
  NoteNamesPassedOver,
  ReasonCountUnreadable,
  NoteCountUnreadable,
  ReasonProjectPathTooLong,
  NoteProjectPathTooLong,
  Restored,
  AlreadyRestored,
  RestoreRefused,
  ReasonBackupMissing,
  ReasonBackupsNotAPair,
  ReasonNotConverted,
  ReasonChangedSinceConversion,
  ReasonBackupChanged,
  NoteRestoreByHand,
  NoteRestoreDiskFull,
  RestoreChangedMidway,
  RestoreStopped,
  SummaryRestore,
  CheckBackups,
  VerdictWillRestore,
  VerdictAlreadyRestored,
  VerdictCannotRestore,
  Usage,
  Count  // the number of messages, not one
};

struct MessageText {
  Msg id;
  std::string_view english;
  // UTF-8, as written here; converted to code page 932 when said.
  std::string_view japanese;
};

// Every message in both languages, in the order of Msg.
const MessageText* MessageTable();

// The message in the language (code page 932), its "%s" and "%d" filled with
// values (code page 932) in order.
std::string Say(Language language, Msg id, std::initializer_list<std::string_view> values = {});

// The language this run speaks (English until a main sets it).
Language RunLanguage();
void SetRunLanguage(Language language);
inline std::string Say(Msg id, std::initializer_list<std::string_view> values = {}) {
  return Say(RunLanguage(), id, values);
}

}  // namespace kwt::cli
