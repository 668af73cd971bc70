#include "convert/backup.h"

#include <array>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "convert/content_records.h"
#include "convert/folder_holds.h"
#include "convert/plan.h"
#include "runtime/errors.h"
#include "runtime/file_names.h"
#include "runtime/platform.h"
#include "runtime/record_file.h"

namespace kwt {
namespace {

namespace keys = project_keys;

// A file's place in the held folder of its path, so that a folder link
// swapped since leads nowhere else; its path as it stands where that folder
// is not held.
class HeldPlace {
 public:
  HeldPlace(const FolderHolds& holds, std::string path)
      : path_(std::move(path)), name_(NameIn(path_)), folder_(holds.HeldFolderOf(path_)) {}
  operator platform::Place() const {
    return folder_ ? platform::Place(*folder_, name_) : platform::Place(path_);
  }

 private:
  std::string path_;
  std::string name_;
  const platform::HeldFolder* folder_;
};

[[noreturn]] void RefuseExisting(const std::string& file, const std::string& backup) {
  Raise({Cause::BackupExists,
         ConversionOutcome::Refused,
         file,
         {},
         backup,
         "backup " + backup + " exists already; the project was not converted",
         std::nullopt});
}

[[noreturn]] void FailCopy(const std::string& file, const std::string& backup, platform::ErrorCode code) {
  const auto ioCode = static_cast<std::int32_t>(code);
  Raise({Cause::BackupFailed,
         ConversionOutcome::Refused,
         file,
         {},
         backup,
         "cannot back up " + file + " as " + backup + ": " + IoMessage(ioCode),
         ioCode});
}

// True when both files can be read and second begins with first's bytes:
// all of them (a stopped copy of second), or, when whole, all of second's.
bool BytesBegin(std::string_view first, std::string_view second, bool whole) {
  platform::FileHandle a;
  platform::FileHandle b;
  std::uint64_t sizeA = 0;
  std::uint64_t sizeB = 0;
  if (platform::Open(first, platform::Access::Read, platform::kShareRead, platform::Creation::OpenExisting,
                     a) ||
      platform::Open(second, platform::Access::Read, platform::kShareRead, platform::Creation::OpenExisting,
                     b) ||
      platform::Size(a, sizeA) || platform::Size(b, sizeB) || (whole ? sizeA != sizeB : sizeA > sizeB)) {
    return false;
  }
  std::array<char, 1 << 16> bufferA;
  std::array<char, 1 << 16> bufferB;
  for (std::uint64_t done = 0; done < sizeA;) {
    std::size_t gotA = 0;
    std::size_t gotB = 0;
    if (platform::Read(a, bufferA.data(), bufferA.size(), gotA) || gotA == 0) return false;
    for (std::size_t at = 0; at < gotA;) {
      if (platform::Read(b, bufferB.data() + at, gotA - at, gotB) || gotB == 0) return false;
      at += gotB;
    }
    if (std::string_view(bufferA.data(), gotA) != std::string_view(bufferB.data(), gotA)) return false;
    done += gotA;
  }
  return true;
}

bool SameBytes(std::string_view first, std::string_view second) {
  return BytesBegin(first, second, /*whole=*/true);
}

// The records of layout from, as the passes up to layout to write them.
std::string ConvertedRecords(const std::string& records, const Layout& from, const Layout& to,
                             std::int32_t count) {
  std::string out(static_cast<std::size_t>(count) * to.recordSize, '\0');
  RecordChain chain(from.number, to.number);
  for (std::int32_t i = 0; i < count; ++i) {
    const auto at = static_cast<std::size_t>(i);
    chain.Map(records.data() + at * from.recordSize, out.data() + at * to.recordSize);
  }
  return out;
}

// True when the two backups hold this project before passes that have run
// since: the project's text but for an older Version, and the contents file
// with Count records of that version's layout.
bool HoldEarlierState(TMemIniFile& store, const std::string& projectBackup, const std::string& contentsBackup,
                      std::string_view contentsPath) {
  if (!platform::IsPlainFile(projectBackup) || !platform::IsPlainFile(contentsBackup)) return false;
  TMemIniFile backup{projectBackup};
  backup.SetCaseSensitivity(false);
  const std::int32_t version = store.ReadNumber(keys::kSection, keys::kVersion, 0);
  const std::int32_t backupVersion = backup.ReadNumber(keys::kSection, keys::kVersion, 0);
  const Layout& before = LayoutForVersion(backupVersion);
  if (before.number >= LayoutForVersion(version).number) return false;
  // Compared with one Version in both, so that only the Version may differ.
  constexpr std::string_view kSame = "0";
  if (!store.SavesLikeWith(backup, keys::kSection, keys::kVersion, kSame)) return false;
  // The contents backup, converted as the passes since converted it, must be
  // the contents file as it is: a file of the right size proves nothing.
  if (!platform::SameOwner(projectBackup, store.ReplacementTarget()) ||
      !platform::SameOwner(contentsBackup, projectBackup)) {
    return false;
  }
  const std::int32_t count = store.ReadNumber(keys::kSection, keys::kCount, 0);
  const Layout& now = LayoutForVersion(version);
  std::uint64_t oldSize = 0;
  std::uint64_t newSize = 0;
  if (!ContentsSizeFor(before, count, oldSize) || !ContentsSizeFor(now, count, newSize) ||
      newSize > (std::uint64_t{1} << 31)) {
    return false;
  }
  const std::optional<std::string> old = ReadWholeFile(contentsBackup);
  const std::optional<std::string> converted = ReadWholeFile(contentsPath);
  return old && old->size() == oldSize && converted && converted->size() == newSize &&
         ConvertedRecords(*old, before, now, count) == *converted;
}

}  // namespace

std::string BackupPath(std::string_view path) {
  return std::string(path) + ".bak";
}

std::string UnfinishedBackupPath(std::string_view backup) {
  return std::string(backup) + "$$$";
}

void TakeBackStoppedBackups(const TMemIniFile& store, std::string_view contentsPath,
                            const FolderHolds& holds) {
  for (const std::string& file : {store.FileName(), std::string(contentsPath)}) {
    if (file.empty()) continue;
    const std::string backup = BackupPath(file);
    const std::string unfinished = UnfinishedBackupPath(backup);
    // Ours only when it is a plain file of the project's owner that begins
    // as the file it copied, or its finished backup, does.
    if (!platform::IsPlainFile(unfinished) || !platform::SameOwner(unfinished, store.ReplacementTarget()) ||
        platform::SameFile(unfinished, file)) {
      continue;
    }
    if (BytesBegin(unfinished, file, false) ||
        (platform::IsPlainFile(backup) && BytesBegin(unfinished, backup, false))) {
      (void)platform::Delete(HeldPlace(holds, unfinished));
    }
  }
}

void BackUpProject(TMemIniFile& store, std::string_view contentsPath, const FolderHolds& holds) {
  if (store.ReadNumber(keys::kSection, keys::kVersion, 0) >= PassOf(PassId::To140).stampedVersion ||
      store.ReadNumber(keys::kSection, keys::kCount, 0) <= 0) {
    return;
  }
  // Without its contents file the conversion stops before changing anything,
  // and a backup left behind would only block the next try.
  if (!FileIsPresent(contentsPath)) return;
  const std::array<std::string, 2> files = {store.FileName(), std::string(contentsPath)};
  const std::array<std::string, 2> backups = {BackupPath(files[0]), BackupPath(files[1])};

  // A backup's name, or the name its copy is written under, that is one of the
  // project's own files would be emptied or taken for a backup.
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (const std::string& name : {backups[i], UnfinishedBackupPath(backups[i])}) {
      if (platform::SameFile(name, files[0]) || platform::SameFile(name, files[1]))
        RefuseExisting(files[i], name);
    }
  }

  // Every existing backup is judged before anything is copied, so a refusal
  // leaves no half set of backups behind.
  std::array<bool, 2> needed = {true, true};
  const bool earlier = HoldEarlierState(store, backups[0], backups[1], contentsPath);
  for (std::size_t i = 0; i < files.size(); ++i) {
    (void)platform::RemoveWorkFile(HeldPlace(holds, UnfinishedBackupPath(backups[i])));  // a stopped copy's
    if (!FileIsPresent(backups[i]) && platform::KindOf(backups[i]) == platform::FileKind::Missing) continue;
    // Only a plain file of its own is a backup: a link (to the file itself,
    // say) would change with the file it is to keep.
    if (!platform::IsPlainFile(backups[i]) || platform::SameFile(backups[i], files[i])) {
      RefuseExisting(files[i], backups[i]);
    }
    if (!earlier && !SameBytes(files[i], backups[i])) RefuseExisting(files[i], backups[i]);
    needed[i] = false;
  }

  // Made, moved and removed in the held folders: a folder link swapped
  // meanwhile sends no copy, and no removal, into another folder. The project
  // file is copied from the file its path reaches (a link followed once,
  // when it was read).
  const std::array<std::string, 2> sources = {store.ReplacementTarget(), std::string(contentsPath)};
  std::vector<HeldPlace> made;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!needed[i]) continue;
    const HeldPlace unfinished(holds, UnfinishedBackupPath(backups[i]));
    const HeldPlace backup(holds, backups[i]);
    platform::ErrorCode code = platform::RemoveWorkFile(unfinished);
    if (code == platform::error::kSuccess) code = platform::Copy(HeldPlace(holds, sources[i]), unfinished);
    // Move never replaces anything, so a backup made meanwhile is kept too.
    if (code == platform::error::kSuccess) code = platform::Move(unfinished, backup);
    if (code == platform::error::kSuccess) code = platform::SyncFolderOf(backup);
    if (code == platform::error::kSuccess) {
      made.push_back(backup);
      continue;
    }
    (void)platform::Delete(unfinished);
    for (const HeldPlace& done : made) (void)platform::Delete(done);
    if (code == platform::error::kAlreadyExists || code == platform::error::kFileExists)
      RefuseExisting(files[i], backups[i]);
    FailCopy(files[i], backups[i], code);
  }
}

}  // namespace kwt
