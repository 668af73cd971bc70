// What a conversion came to: the value both faces report from, so that no
// face has to read the status line to know whether a project converted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "convert/contents_path.h"
#include "convert/plan.h"
#include "runtime/platform.h"

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

// The facts of the project a face shows beside the outcome, as the conversion
// found them; none where it never read them.
struct ProjectFacts {
  // The recorded Version and the layout it stands for, as the conversion left
  // them.
  std::optional<std::int32_t> version;
  std::optional<std::int32_t> layout;
  std::optional<std::int32_t> count;
  // Count as written in the project file, where it is written.
  std::optional<std::string> countText;
  // The records the contents file held in the recorded layout before the
  // conversion changed it.
  std::optional<std::uint64_t> recordsPresent;
};

// What a conversion says about its contents file beside its outcome: what
// it leaves that a user may not expect, and what it could not guard.
struct ContentsNotes {
  // The contents file has another name (a hard link), which keeps the old
  // records: the replacement moves a new file over this name only.
  bool otherNameKeepsOldRecords = false;
  // The project file has another name in another folder, which keeps its old
  // text and reads its own records there.
  bool projectOtherNameReadsItsOwn = false;
  // A file of the contents file's name in the project's folder, while the
  // project names one outside it: left as it is.
  std::string fileOfThatNameBeside;
  // Project files near the contents file that could not be read: whether
  // they read it is not known.
  std::vector<std::string> unreadableProjects;
  // False where no program could be kept from writing the contents file
  // while it converted (no lease, no share mode): only its stamps, and on
  // coarse clocks its bytes, were looked at before it was replaced.
  bool writersKeptOut = true;
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
  // Refused before anything on disk changed (errorText says why).
  Refused,
  // An error ended it; the files are as the failure left them.
  Failed,
  // The face asked to stop; the unfinished pass was undone.
  Interrupted,
};

struct ConversionResult {
  ConversionOutcome outcome = ConversionOutcome::Failed;
  // The passes that completed, in order.
  std::vector<PassId> passesRun;
  // True when a stopped run was finished from the project text it left.
  bool resumed = false;
  // The contents file the conversion worked on; empty path when none was chosen.
  ChosenContents contents;
  // The recorded Version before the conversion changed it (0 when unread).
  std::int32_t version = 0;
  // For Refused, Failed and Interrupted: the error's text, and its I/O code
  // when it was an I/O error.
  std::string errorText;
  std::optional<std::int32_t> ioCode;
  // Why it ended short of success, and the file or folder that is about
  // (empty where none is known); for the backup causes, the backup's name.
  Cause cause = Cause::None;
  std::string causePath;
  std::string backupPath;
  // A second file concerned: the other project that reads the contents
  // file, or the project file's other name.
  std::string otherPath;
  ProjectFacts facts;
  ContentsNotes notes;
  // For Failed: the disk ran full while TMP.DAT was written, and the pass
  // removed its unfinished TMP.DAT (at temporaryPath) to free the space.
  bool temporaryRemoved = false;
  std::string temporaryPath;
  // What the files that took the old ones' places could not keep of their
  // permissions (platform::permission bits); 0 when they kept everything.
  // Never wider than before, whatever is missing.
  platform::PermissionParts permissionsNotKept = 0;

  bool Succeeded() const noexcept {
    return outcome == ConversionOutcome::Converted || outcome == ConversionOutcome::UpToDate;
  }
};

}  // namespace kwt
