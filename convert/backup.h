// Backups: copies of a project's two files, kept beside them before a
// conversion changes either.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "convert/stop_reason.h"
#include "runtime/ini_file.h"

namespace kwt {

class FolderHolds;

// The name a file's backup gets: the whole name with ".bak" appended.
std::string BackupPath(std::string_view path);
// Where a backup is written before it takes its name: "$$$" appended.
std::string UnfinishedBackupPath(std::string_view backup);

// Copies the project file of store and the contents file at contentsPath to
// their backup names, when a conversion would change anything (a version below
// 140, a positive Count and a contents file present). Each copy is written to
// a new file beside its backup and moved into place whole, so a stopped copy
// leaves no half backup behind. An existing backup is kept when it holds the
// file as it is now, or when the two backups together hold this project as it
// was before passes that have run since (a stopped conversion started again
// with backups); any other existing backup refuses (BackupExists), copying
// nothing. A copy that fails (BackupFailed) removes the backups this call made.
// Every file is reached in the folders holds holds.
void BackUpProject(TMemIniFile& store, std::string_view contentsPath, const FolderHolds& holds);

// Removes what a killed backup run left under the backup work names beside
// the project file and the contents file, where it proves to be such a run's:
// a plain file of the project's owner whose bytes begin as the file it was
// copying does (or as that file's finished backup does). Anything else
// there is left to the user.
void TakeBackStoppedBackups(const TMemIniFile& store, std::string_view contentsPath,
                            const FolderHolds& holds);

}  // namespace kwt
