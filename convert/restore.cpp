#include "convert/restore.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "convert/backup.h"
#include "convert/content_records.h"
#include "convert/contents_layout.h"
#include "convert/contents_path.h"
#include "convert/plan.h"
#include "runtime/errors.h"
#include "runtime/file_names.h"
#include "runtime/ini_file.h"
#include "runtime/integer_text.h"
#include "runtime/record_file.h"
#include "runtime/texts.h"

namespace kwt {
namespace {

namespace keys = project_keys;

// A backup is a regular file reached without a link. It may have other names
// (a hard-link snapshot of the folder keeps one): a restore only reads it,
// and its bytes must prove the pair all the same.
bool IsBackupFile(const std::string& path) {
  return platform::KindOf(path) == platform::FileKind::Regular && !platform::LinkTarget(path);
}

// Records compared per read: a few hundred kilobytes at a time.
constexpr std::size_t kBlockRecords = 512;
constexpr std::size_t kBlockBytes = 1 << 16;

// Reads size bytes, fewer only at the file's end.
platform::ErrorCode ReadUpTo(platform::FileHandle& file, char* buffer, std::size_t size, std::size_t& got) {
  got = 0;
  while (got < size) {
    std::size_t now = 0;
    if (const platform::ErrorCode code = platform::Read(file, buffer + got, size - got, now)) return code;
    if (now == 0) break;
    got += now;
  }
  return platform::error::kSuccess;
}

bool SizeOf(platform::FileHandle& file, std::uint64_t& size) {
  return platform::Size(file, size) == platform::error::kSuccess;
}

// True when both open files hold the same bytes, read from where they stand.
bool SameBytes(platform::FileHandle& first, platform::FileHandle& second) {
  std::uint64_t firstSize = 0;
  std::uint64_t secondSize = 0;
  if (!SizeOf(first, firstSize) || !SizeOf(second, secondSize) || firstSize != secondSize) return false;
  std::vector<char> a(kBlockBytes);
  std::vector<char> b(kBlockBytes);
  for (std::uint64_t done = 0; done < firstSize;) {
    std::size_t gotA = 0;
    std::size_t gotB = 0;
    if (ReadUpTo(first, a.data(), a.size(), gotA) || ReadUpTo(second, b.data(), b.size(), gotB) ||
        gotA != gotB || gotA == 0 || std::memcmp(a.data(), b.data(), gotA) != 0) {
      return false;
    }
    done += gotA;
  }
  return true;
}

// True when converted holds exactly what the passes from layout from to
// layout to write from the first count records of original: converted in a
// stream and compared, never held whole.
bool HoldsConverted(platform::FileHandle& original, platform::FileHandle& converted, const Layout& from,
                    const Layout& to, std::int32_t count) {
  std::uint64_t size = 0;
  std::uint64_t expected = 0;
  if (!SizeOf(converted, size) || !ContentsSizeFor(to, count, expected) || size != expected) return false;
  std::vector<char> in(kBlockRecords * from.recordSize);
  std::vector<char> mapped(kBlockRecords * to.recordSize);
  std::vector<char> found(kBlockRecords * to.recordSize);
  RecordChain chain(from.number, to.number);
  for (std::int64_t left = count; left > 0;) {
    const auto records = static_cast<std::size_t>(std::min<std::int64_t>(left, kBlockRecords));
    std::size_t got = 0;
    if (ReadUpTo(original, in.data(), records * from.recordSize, got) || got != records * from.recordSize) {
      return false;
    }
    for (std::size_t i = 0; i < records; ++i) {
      chain.Map(in.data() + i * from.recordSize, mapped.data() + i * to.recordSize);
    }
    const std::size_t bytes = records * to.recordSize;
    if (ReadUpTo(converted, found.data(), bytes, got) || got != bytes ||
        std::memcmp(found.data(), mapped.data(), bytes) != 0) {
      return false;
    }
    left -= static_cast<std::int64_t>(records);
  }
  return true;
}

// The stamps of the files as they were found to be what the restore takes
// them for: looked at again right before anything is replaced.
struct Looks {
  platform::FileStamp project;
  platform::FileStamp contents;
  // The file a save of the project replaces (a link followed), and where its
  // new text is written first.
  std::string projectTarget;
  std::string projectSavePath;
  // The file whose open failed, when one did.
  std::string openFailed;
};

platform::FileHandle OpenOrThrow(const FolderHolds& holds, std::string_view path) {
  platform::FileHandle file;
  if (const platform::ErrorCode code = holds.OpenFile(path, platform::Access::Read, file)) RaiseIo(code);
  return file;
}

// True when the file at path is a backup changed after the conversion: newer
// than the converted file, which the conversion wrote after the backup.
bool ChangedSince(platform::FileHandle& backup, const platform::FileStamp& converted) {
  platform::FileStamp stamp;
  return platform::StampOf(backup, stamp) == platform::error::kSuccess && stamp.written > converted.written;
}

// A restore's plan, found step by step as a restore needs it; each step
// answers where the restore stops, or nothing to go on.
class RestoreLook {
 public:
  RestoreLook(std::string_view project, FolderHolds& holds, Looks& looks) : holds_(holds), looks_(looks) {
    plan_.project = std::string(project);
    plan_.projectBackup = BackupPath(project);
  }

  RestorePlan Plan(std::string_view project, const ConversionOptions& options) {
    StopReason stop = Files(project, options);
    if (!stop) stop = WorkNames();
    if (!stop) stop = Pair();
    if (!stop) stop = ProjectFile();
    if (!stop) stop = ContentsFile();
    plan_.reason = std::move(stop);
    return plan_;
  }

 private:
  static StopReason Stop(Cause cause, std::string path, std::optional<std::int32_t> ioCode = std::nullopt) {
    return {cause, ConversionOutcome::Refused, std::move(path), {}, {}, {}, ioCode};
  }
  // An open that fails names its file.
  platform::FileHandle Open(std::string_view path) {
    looks_.openFailed = std::string(path);
    platform::FileHandle file = OpenOrThrow(holds_, path);
    looks_.openFailed.clear();
    return file;
  }
  // The passes a conversion of the backed-up project runs, and the layout
  // its records had.
  std::span<const Pass> Passes() const { return PassesFor(plan_.backupVersion); }
  const Layout& Before() const { return LayoutForVersion(plan_.backupVersion); }

  // The project file, its backup and the contents file the conversion took:
  // there, of the right kind, and no other project's records.
  StopReason Files(std::string_view project, const ConversionOptions& options) {
    if (const StopReason planned = ProjectStop(project)) return planned;
    if (const StopReason planned = holds_.HoldFolderOf(project)) return planned;
    current_.emplace(LoadProjectFile(std::string(project), project));
    const std::string& projectTarget = current_->ReplacementTarget();
    looks_.projectTarget = projectTarget;
    looks_.projectSavePath = current_->PendingSavePath();
    if (const StopReason planned = holds_.HoldFolderOf(projectTarget)) return planned;
    plan_.version = current_->ReadNumber(keys::kSection, keys::kVersion, 0);
    if (!IsBackupFile(plan_.projectBackup)) return Stop(Cause::BackupMissing, plan_.projectBackup);
    backup_.emplace(LoadProjectFile(plan_.projectBackup, project));
    plan_.backupVersion = backup_->ReadNumber(keys::kSection, keys::kVersion, 0);
    plan_.count = backup_->ReadNumber(keys::kSection, keys::kCount, 0);

    // The contents file the conversion took, whose backup sits beside it.
    contents_ = ChooseContentsPath(*current_, options.Choice());
    plan_.contents = contents_.path;
    plan_.contentsBackup = BackupPath(contents_.path);
    if (contents_.path.empty() || !FileIsPresent(contents_.path))
      return Stop(Cause::ContentsMissing, contents_.path, io_code::kNotOpen);
    if (platform::KindOf(contents_.path) == platform::FileKind::Other)
      return Stop(Cause::NotRegularFile, contents_.path);
    if (InSystemFolder(contents_.path)) return Stop(Cause::SystemFolder, contents_.path);
    if (const StopReason planned = holds_.HoldFolderOf(contents_.path)) return planned;
    plan_.folders = holds_.Folders();
    if (const StopReason planned = ContentsNameStop(*current_, contents_)) return planned;
    // The old records go back under the project's name: a project that reads
    // them too, and records the later Version, would be left unable to.
    ContentsNotes notes;
    ContentsOwners owners;
    if (const StopReason planned =
            ReadersStop(*current_, contents_, options.owners ? *options.owners : owners, notes))
      return planned;
    if (!IsBackupFile(plan_.contentsBackup)) return Stop(Cause::BackupMissing, plan_.contentsBackup);
    return {};
  }

  StopReason WorkNames() {
    // The new files are written under the conversion's work names; a second
    // name of the project's own files there would be removed with them.
    const std::string temporaryPath = TemporaryPathFor(contents_.path);
    for (const std::string& work : {temporaryPath, looks_.projectSavePath}) {
      // A folder there cannot be taken for a leftover and removed.
      if (platform::KindOf(work) == platform::FileKind::Directory)
        return Stop(Cause::TemporaryBlocked, work, static_cast<std::int32_t>(platform::error::kAccessDenied));
      if (const StopReason planned = LeftoverStop(work)) return planned;
      for (const std::string& own : {contents_.path, looks_.projectTarget}) {
        if (platform::SameFile(work, own))
          return Stop(Cause::TemporaryBlocked, work,
                      static_cast<std::int32_t>(platform::error::kSharingViolation));
      }
    }
    // Both files are replaced, so both folders must take new files, and no
    // other program may hold either file.
    for (const std::string& file : {looks_.projectTarget, contents_.path}) {
      if (!platform::FolderIsWritable(FolderOf(file)))
        return Stop(Cause::ReadOnly, FolderShown(FolderOf(file)),
                    static_cast<std::int32_t>(platform::error::kAccessDenied));
      // Opened for a moment as the move will need it: no other opener holding it.
      platform::FileHandle writable;
      const platform::HeldFolder* held = holds_.HeldFolderOf(file);
      const platform::ErrorCode code =
          held ? platform::Open(platform::Place(*held, NameIn(file)), platform::Access::ReadWrite,
                                platform::kShareNone, platform::Creation::OpenExisting, writable)
               : platform::Open(platform::Place(file), platform::Access::ReadWrite, platform::kShareNone,
                                platform::Creation::OpenExisting, writable);
      if (code != platform::error::kSuccess) {
        const auto ioCode = static_cast<std::int32_t>(code);
        return Stop(code == platform::error::kAccessDenied ? Cause::ReadOnly : CauseOfIoCode(ioCode), file,
                    ioCode);
      }
    }
    return {};
  }

  StopReason Pair() {
    // The backups must be one pair: a backed-up project that a conversion
    // changes, and at least its Count records of its layout, not of a later one.
    std::uint64_t needed = 0;
    std::uint64_t size = 0;
    platform::FileHandle contentsBackup = Open(plan_.contentsBackup);
    if (Passes().empty() || plan_.count <= 0 || !ContentsSizeFor(Before(), plan_.count, needed) ||
        !SizeOf(contentsBackup, size) || size < needed ||
        LaterLayoutOfContents(Before(), contentsBackup, plan_.count).certain) {
      return Stop(Cause::BackupsNotAPair, plan_.contentsBackup);
    }
    return {};
  }

  StopReason ProjectFile() {
    // The project file: its backup already, or exactly what a pass saved from
    // the backup. Anything else is an edit that a restore would lose.
    bool projectBackupChanged = false;
    {
      platform::FileHandle now = Open(looks_.projectTarget);
      platform::FileHandle old = Open(plan_.projectBackup);
      if (const platform::ErrorCode code = platform::StampOf(now, looks_.project)) RaiseIo(code);
      plan_.projectRestored = SameBytes(now, old);
      projectBackupChanged = ChangedSince(old, looks_.project);
    }
    if (!plan_.projectRestored) {
      for (const Pass& pass : Passes()) {
        if (pass.stampedVersion == plan_.version) reached_ = &pass;
      }
      const bool unconverted = LayoutForVersion(plan_.version).number == Before().number;
      if (reached_ == nullptr && unconverted) return Stop(Cause::NotConverted, plan_.project);
      // A conversion that took a file beside the project (--find-contents)
      // recorded that file's full path: the one change besides the Version.
      const std::string recorded = current_->ReadText(keys::kSection, keys::kContents, {});
      std::optional<TMemIniFile> renamed;
      if (recorded != backup_->ReadText(keys::kSection, keys::kContents, {}) &&
          recorded == PathToRecord(contents_)) {
        renamed = backup_->CopyWith(keys::kSection, keys::kContents, recorded);
      }
      if (reached_ == nullptr || !(renamed ? *renamed : *backup_)
                                      .FileHoldsSavedTextWith(looks_.projectTarget, keys::kSection,
                                                              keys::kVersion, IntegerText(plan_.version))) {
        if (projectBackupChanged) return Stop(Cause::BackupChanged, plan_.projectBackup);
        return Stop(Cause::ProjectChanged, plan_.project);
      }
    }
    return {};
  }

  StopReason ContentsFile() {
    // The contents file: its backup already, or exactly the backed-up records
    // converted as far as the project file says (any pass's layout once the
    // project file is back).
    platform::FileHandle now = Open(contents_.path);
    if (const platform::ErrorCode code = platform::StampOf(now, looks_.contents)) RaiseIo(code);
    bool contentsBackupChanged = false;
    {
      platform::FileHandle old = Open(plan_.contentsBackup);
      plan_.contentsRestored = SameBytes(now, old);
      contentsBackupChanged = ChangedSince(old, looks_.contents);
    }
    if (!plan_.contentsRestored) {
      bool converted = false;
      for (const Pass& pass : Passes()) {
        if (converted || (reached_ != nullptr && &pass != reached_)) continue;
        platform::FileHandle old = Open(plan_.contentsBackup);
        platform::FileHandle again = Open(contents_.path);
        converted = HoldsConverted(old, again, Before(), pass.to, plan_.count);
      }
      // With the project file back, the records belong to the old program now.
      if (!converted && plan_.projectRestored) return Stop(Cause::NotConverted, contents_.path);
      if (!converted && contentsBackupChanged) return Stop(Cause::BackupChanged, plan_.contentsBackup);
      if (!converted) return Stop(Cause::ContentsChanged, contents_.path);
    }
    return {};
  }

  FolderHolds& holds_;
  Looks& looks_;
  RestorePlan plan_;
  std::optional<TMemIniFile> current_;
  std::optional<TMemIniFile> backup_;
  ChosenContents contents_;
  // The pass whose text the project file holds, where it holds one.
  const Pass* reached_ = nullptr;
};

RestorePlan PlanRestoreIn(std::string_view project, const ConversionOptions& options, FolderHolds& holds,
                          Looks& looks) {
  return RestoreLook(project, holds, looks).Plan(project, options);
}

// One file written anew from its backup beside the file it replaces, held
// exclusively until it has moved over that file; removed again unless it has.
class PutBack {
 public:
  PutBack(const platform::HeldFolder& folder, std::string name, std::string workName)
      : folder_(folder), name_(std::move(name)), workName_(std::move(workName)) {}
  ~PutBack() {
    if (!made_ || moved_) return;
    if (file_) {
      (void)platform::DeleteHeld(file_, platform::Place(folder_, workName_));
    } else {
      (void)platform::Delete(platform::Place(folder_, workName_));  // a move that failed closed it
    }
  }
  PutBack(const PutBack&) = delete;
  PutBack& operator=(const PutBack&) = delete;

  // Writes the backup's bytes to a new file under the work name (whatever had
  // that name is removed, never written through), with the permissions of the
  // file it will replace, and makes them durable.
  void Write(platform::FileHandle& backup, const std::function<bool()>& stopRequested) {
    platform::FileHandle replaced;
    if (const platform::ErrorCode code = platform::Open(
            platform::Place(folder_, name_), platform::Access::Read,
            platform::kShareRead | platform::kShareWrite, platform::Creation::OpenExisting, replaced)) {
      RaiseIo(code);
    }
    if (const platform::ErrorCode code = platform::RemoveWorkFile(platform::Place(folder_, workName_)))
      RaiseIo(code);
    if (const platform::ErrorCode code =
            platform::Open(platform::Place(folder_, workName_), platform::Access::ReadWrite,
                           platform::kShareNone, platform::Creation::CreateNew, file_)) {
      RaiseIo(code);
    }
    made_ = true;
    permissionsNotKept_ = platform::CopyPermissions(replaced, file_);
    const platform::ErrorCode code = platform::CopyBytes(backup, file_, stopRequested);
    if (code == platform::error::kOperationAborted) Raise(Interruption());
    if (code != platform::error::kSuccess) RaiseIo(code);
  }

  // The last look: the file to be replaced is still the one found.
  bool StillAsFound(const platform::FileStamp& found) const {
    platform::FileStamp now;
    return platform::StampOf(platform::Place(folder_, name_), now) == platform::error::kSuccess &&
           now == found;
  }

  // Moves the new file over the old one in one step, durably. kNotDurable
  // means it has moved but a power cut could undo it: raised all the same.
  void Replace() {
    const platform::ErrorCode code =
        platform::ReplaceHeld(file_, platform::Place(folder_, workName_), platform::Place(folder_, name_));
    moved_ = code == platform::error::kSuccess || code == platform::error::kNotDurable;
    if (code != platform::error::kSuccess) RaiseIo(code);
  }

  platform::PermissionParts PermissionsNotKept() const { return permissionsNotKept_; }

 private:
  const platform::HeldFolder& folder_;
  std::string name_;
  std::string workName_;
  platform::FileHandle file_;
  platform::PermissionParts permissionsNotKept_ = 0;
  bool made_ = false;
  bool moved_ = false;
};

// Why a restore ended with an error: the reason it was raised with, the file
// whose open failed named where nothing else is.
StopReason ReasonOfFailure(const Exception& error, const Looks& looks) {
  StopReason reason = ReasonRaisedWith(error);
  if (reason.ioCode && reason.path.empty()) reason.path = looks.openFailed;
  return reason;
}

}  // namespace

RestorePlan PlanRestore(std::string_view project, const ConversionOptions& options) {
  FolderHolds holds(FolderHolds::Mode::Probe);
  Looks looks;
  try {
    RestorePlan plan = PlanRestoreIn(project, options, holds, looks);
    plan.folders = holds.Folders();
    return plan;
  } catch (const Exception& error) {
    RestorePlan plan;
    plan.project = std::string(project);
    plan.reason = ReasonOfFailure(error, looks);
    return plan;
  }
}

RestoreResult RestoreProject(std::string_view project, const ConversionOptions& options,
                             const std::function<bool()>& stopRequested) {
  RestoreResult result;
  result.plan.project = std::string(project);
  Looks looks;
  try {
    FolderHolds holds(FolderHolds::Mode::Hold);
    result.plan = PlanRestoreIn(project, options, holds, looks);
    RestorePlan& plan = result.plan;
    if (!plan.Restorable()) {
      result.outcome = RestoreOutcome::Refused;
      return result;
    }
    if (plan.Done()) {
      result.outcome = RestoreOutcome::AlreadyRestored;
      return result;
    }

    PutBack projectFile(*holds.HeldFolderOf(looks.projectTarget), NameIn(looks.projectTarget),
                        NameIn(looks.projectSavePath));
    PutBack contentsFile(*holds.HeldFolderOf(plan.contents), NameIn(plan.contents),
                         NameIn(TemporaryPathFor(plan.contents)));
    // Both new files are complete before either replaces anything.
    if (!plan.projectRestored) {
      platform::FileHandle backup = OpenOrThrow(holds, plan.projectBackup);
      projectFile.Write(backup, stopRequested);
    }
    if (!plan.contentsRestored) {
      platform::FileHandle backup = OpenOrThrow(holds, plan.contentsBackup);
      contentsFile.Write(backup, stopRequested);
    }
    if (stopRequested && stopRequested()) Raise(Interruption());
    // An edit made since the files were compared would be lost.
    if (!plan.projectRestored && !projectFile.StillAsFound(looks.project)) {
      plan.reason.cause = Cause::ProjectChanged;
      plan.reason.path = plan.project;
    } else if (!plan.contentsRestored && !contentsFile.StillAsFound(looks.contents)) {
      plan.reason.cause = Cause::ContentsChanged;
      plan.reason.path = plan.contents;
    }
    if (!plan.Restorable()) {
      result.outcome = RestoreOutcome::Refused;
      return result;
    }
    // The project file first: its backup's Version then stands before records
    // of a later layout, which a conversion refuses and the next restore
    // finishes; the other way round the application would take old records
    // for converted ones.
    if (!plan.projectRestored) {
      projectFile.Replace();
      result.projectPutBack = true;
      result.permissionsNotKept |= projectFile.PermissionsNotKept();
    }
    if (!plan.contentsRestored) {
      // Looked at once more: a record written meanwhile would be lost.
      if (!contentsFile.StillAsFound(looks.contents)) {
        plan.reason.cause = Cause::ContentsChanged;
        plan.reason.path = plan.contents;
        result.outcome = RestoreOutcome::Failed;
        return result;
      }
      contentsFile.Replace();
      result.permissionsNotKept |= contentsFile.PermissionsNotKept();
    }
    result.outcome = RestoreOutcome::Restored;
    return result;
  } catch (const Exception& error) {
    result.plan.reason = ReasonOfFailure(error, looks);
    result.outcome =
        result.plan.reason.cause == Cause::Interrupted ? RestoreOutcome::Interrupted : RestoreOutcome::Failed;
    return result;
  }
}

}  // namespace kwt
