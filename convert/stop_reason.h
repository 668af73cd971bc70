// Why a conversion, a check of one or a restore ends short of success: one
// value, made where that is decided, which travels unchanged to every face.
// Each face says it with a switch on its cause; none reads a message's text
// or an exception's class to learn what happened.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace kwt {

// Why a conversion, or the plan of one, ends short of success: one value for
// every way, so that each face says it with a switch and a new way cannot go
// unsaid. The refusals come first, in the order the plan meets them; all of
// them stop it before anything on disk changes. The rest are met on the way.
enum class Cause {
  None,
  // The project file is a device, pipe or socket.
  ProjectNotRegularFile,
  // The contents file is a device, pipe or socket.
  NotRegularFile,
  // No project file at the path (a status, not an error).
  ProjectMissing,
  // No file can be reached at the path, which is longer than the system takes
  // (or one of its names is): the same status, said as what it is.
  ProjectPathTooLong,
  // The project file exists but cannot be read.
  ProjectUnreadable,
  // Another conversion holds a folder this one needs.
  FolderBusy,
  // A folder this one needs cannot be held for another reason (its code says
  // which).
  FolderNotHeld,
  // Count is 0: nothing to convert (a status, not an error).
  NoContents,
  // Count is written as no number of records (beyond the number range, not
  // a number, "-0"): read as 0, so the same status, but nothing to say it is 0.
  CountUnreadable,
  NegativeCount,
  // The project names no contents file that exists.
  ContentsMissing,
  // The project names a file that is no contents file (*.KWT).
  NotContentsFile,
  // The contents path leads into /dev, /proc or /sys.
  SystemFolder,
  // Another project file reads the same records (the same file by the same
  // entry of its real folder): converting would leave it reading a layout it
  // does not know.
  SharedContents,
  // The project file has a second name (a hard link) that would read the
  // converted records with its old Version once the save parts the names: in
  // the same folder, or anywhere when KWT is a full path or leads out of the
  // project's folder.
  ProjectHasSecondName,
  // The contents file or TMP.DAT is the project file or the file its new
  // text waits in, or the contents file is another project file.
  ProjectFileAsWorkFile,
  // The contents file has the name of a work file beside it (TMP.DAT, or a
  // scratch file's: TMP.TRY, TMP.TRY$$$).
  ContentsIsTemporary,
  // The contents or TMP.DAT path is over the length a file name may have.
  PathTooLong,
  // The contents file already has a later layout's records.
  AlreadyConverted,
  // The contents file cannot be opened to be converted (its code says why).
  ContentsUnreadable,
  // A work file cannot be made: a folder has its name, or something that is
  // no leftover of ours has a scratch file's name.
  TemporaryBlocked,
  // A work file's name is taken by another user's file in a shared folder
  // (sticky, as /tmp), which only its owner, the folder's owner or an
  // administrator may remove.
  OthersLeftover,
  // The contents file or a folder cannot be written.
  ReadOnly,
  // The file system of a folder whose file the conversion replaces cannot
  // move a file over another in one step (an SFTP share without atomic
  // rename), as every replacement here must.
  CannotReplaceInOneStep,
  // Met on the way. Count is above the records present: the records present
  // have gone into TMP.DAT, which stays.
  TooFewRecords,
  // The project file's new text cannot be written or put in its place
  // (read-only, held open): the contents file is still untouched.
  ProjectNotSaved,
  // With backups: a file of the backup's name that is no copy of this project.
  BackupExists,
  // With backups: a copy could not be made (the code says why).
  BackupFailed,
  // The project file changed while the conversion ran: nothing was replaced.
  ProjectChanged,
  // The contents file changed while its records were copied: nothing was
  // replaced.
  ContentsChanged,
  // A write found no room on the disk (see ConversionResult::temporaryRemoved).
  DiskFull,
  // A file the conversion needed is held open by another program (code 32).
  FileInUse,
  // The system denied a file operation (code 5).
  AccessDenied,
  // Any other I/O failure; its code says which.
  IoFailure,
  // The face asked to stop; the unfinished pass was undone.
  Interrupted,
  // Restoring: a backup of the pair is missing, or is no plain file.
  BackupMissing,
  // Restoring: the backed-up project's Version and Count do not fit the
  // contents backup's size and layout.
  BackupsNotAPair,
  // Restoring: the project file records the backed-up Version but a file of
  // the pair is not its backup: never converted, or restored already and
  // changed since.
  NotConverted,
  // Restoring: a backup was changed after the conversion (it is newer than
  // the converted file), so it no longer holds the project as it was.
  BackupChanged,
};

// What one conversion of a project came to.
enum class ConversionOutcome {
  // Every pass the version needed ran (or a stopped run was finished).
  Converted,
  // The version is 140 or above: nothing to do, nothing written.
  UpToDate,
  // No project file at the path: nothing read or written.
  ProjectMissing,
  // Count is 0: there are no records to convert, nothing written.
  NoRecords,
  // Refused before anything on disk changed (ConversionResult::reason says why).
  Refused,
  // An error ended it; the files are as the failure left them.
  Failed,
  // The face asked to stop; the unfinished pass was undone.
  Interrupted,
};

// Why a conversion (or a check or restore) ends short of success, and what
// it is about, as decided where it was met.
struct StopReason {
  Cause cause = Cause::None;
  ConversionOutcome outcome = ConversionOutcome::Converted;
  // The file or folder it is about, where there is one; for the backup
  // causes, the file that was being backed up.
  std::string path;
  // A second file concerned: the other project that reads the contents
  // file, or the project file's other name.
  std::string otherPath;
  // For the backup causes: the backup's name.
  std::string backupPath;
  // The system's text for it, as the error box shows it (or, for the
  // statuses, the status line's), and, for an I/O error, its code.
  std::string text;
  std::optional<std::int32_t> ioCode;

  explicit operator bool() const noexcept { return cause != Cause::None; }
};

// Raises the error a reason is said with, the reason attached: EInterrupted
// for a stop asked for, EBackupRefused for a backup, EFOpenError for a
// project file that cannot be read, EInOutError for an I/O error (with its
// code), EFCreateError for a project file that cannot be rewritten (or was
// edited once the records had moved), EWriteError for a store's write that
// found no room, EConvertError for the rest. The one place a reason becomes
// an exception.
[[noreturn]] void Raise(const StopReason& reason);

// The reason an error was raised with by Raise; null for any other.
const StopReason* ReasonOf(const std::exception& error) noexcept;
// The reason a kwt error was raised with; one raised without (by no decision
// of the conversion) is a fault of ours, said as a failure with its text.
StopReason ReasonRaisedWith(const std::exception& error);

// The user's stop, which undid the unfinished work.
StopReason Interruption();

// A refusal about path, said with text.
StopReason Refusal(Cause cause, std::string path, std::string text);
// A refusal said with the I/O error the conversion's own file operation would
// raise there.
StopReason IoRefusal(Cause cause, std::string path, std::int32_t code);
// A text naming paths (or other values a project file leads to), each quoted
// as messages quote them: one of megabytes keeps only its start and end.
std::string Named(std::string_view format, std::string_view value);
std::string Named(std::string_view format, std::string_view first, std::string_view second);

// A failure met on the way with the I/O code of the call that failed, about
// path where it is known.
StopReason IoFailureReason(std::int32_t code, std::string path = {});

// As CheckIo: raises the I/O status a record-file operation left pending,
// with its reason.
void RaisePendingIo();
// Raises the failure of a platform call that answered code (a platform error
// code); nothing for success.
void RaiseIo(std::uint32_t code);

// What an I/O error met on the way means, by its code: too few records (the
// read past the end), a full disk (the platform's codes and a short write), a
// file in use, access denied, or any other failure.
Cause CauseOfIoCode(std::int32_t code);

}  // namespace kwt
