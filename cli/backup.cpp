#include "cli/backup.h"

#include <vector>

#include "runtime/errors.h"
#include "runtime/file_names.h"
#include "runtime/ini_file.h"
#include "runtime/platform.h"
#include "runtime/record_file.h"

namespace kwt::cli {
namespace {

[[noreturn]] void RefuseExisting(const std::string& backup) {
  throw Exception("backup " + backup + " exists already; the project was not converted");
}

}  // namespace

std::string BackupPath(std::string_view path) {
  return std::string(path) + ".bak";
}

void BackUpProject(std::string_view project, const std::optional<std::string>& contentsOverride) {
  if (!FileIsPresent(project)) return;
  std::vector<std::string> files;
  {
    TMemIniFile store{std::string(project)};
    store.SetCaseSensitivity(false);
    if (store.ReadNumber("KWJ", "Version", 0) >= 140 || store.ReadNumber("KWJ", "Count", 0) <= 0) return;
    files.emplace_back(project);
    std::string contents = contentsOverride.value_or(store.ReadText("KWJ", "KWT", {}));
    // Without its contents file the conversion stops before changing anything,
    // and a backup left behind would only block the next try.
    if (!FileIsPresent(contents)) return;
    files.push_back(std::move(contents));
  }

  // Both names are tested before anything is copied, so a refusal leaves no
  // half set of backups behind.
  for (const std::string& file : files) {
    if (FileIsPresent(BackupPath(file))) RefuseExisting(BackupPath(file));
  }
  std::vector<std::string> made;
  for (const std::string& file : files) {
    const std::string backup = BackupPath(file);
    // Copy never replaces anything, so a backup made meanwhile is kept too.
    const platform::ErrorCode code = platform::Copy(file, backup);
    if (code == platform::error::kSuccess) {
      made.push_back(backup);
      continue;
    }
    for (const std::string& done : made) RemoveFile(done);
    if (code == platform::error::kFileExists) RefuseExisting(backup);
    throw Exception("cannot back up " + file + " as " + backup + ": " +
                    IoMessage(static_cast<std::int32_t>(code)));
  }
}

}  // namespace kwt::cli
