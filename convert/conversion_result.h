// What a conversion came to: the value both faces report from, so that no
// face has to read the status line to know whether a project converted.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "convert/contents_path.h"
#include "convert/plan.h"
#include "runtime/platform.h"

namespace kwt {

// What ends a conversion short of success. Listed in the order a conversion
// meets them; all but TooFewRecords stop it before anything on disk changes.
enum class Obstacle {
  None,
  // The project file is a device, pipe or socket; or the contents file is.
  NotRegularFile,
  // No project file at the path (a status, not an error).
  ProjectMissing,
  // Another conversion holds a folder this one needs.
  FolderBusy,
  // Count is 0: nothing to convert (a status, not an error).
  NoContents,
  NegativeCount,
  // The project names no contents file that exists.
  ContentsMissing,
  // The project names a file that is no contents file (*.KWT).
  NotContentsFile,
  // The contents path leads into /dev, /proc or /sys.
  SystemFolder,
  // A copied project whose contents path still names the original's records.
  CopiedProject,
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
  // The contents file cannot be opened to be converted (read-only, denied).
  ContentsUnreadable,
  // A work file cannot be made: a folder has its name, or something that is
  // no leftover of ours has a scratch file's name.
  TemporaryBlocked,
  // The contents file, the project file or a folder cannot be written.
  ReadOnly,
  // The file system of a folder whose file the conversion replaces cannot
  // move a file over another in one step (an SFTP share without atomic
  // rename), as every replacement here must.
  CannotReplaceInOneStep,
  // Count is above the records present: met while converting, after the
  // records present have gone into TMP.DAT.
  TooFewRecords,
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
  // Where the plan stopped it, for a refusal (or a stop met on the way).
  Obstacle obstacle = Obstacle::None;
  // The error itself, for a face that says some errors in its own words.
  std::exception_ptr error;
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
