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

// Records compared per read: a few hundred kilobytes at a time.
constexpr std::size_t kBlockRecords = 512;
constexpr std::size_t kBlockBytes = 1 << 16;

[[noreturn]] void ThrowIo(platform::ErrorCode code) {
  const auto ioCode = static_cast<std::int32_t>(code);
  throw EInOutError(IoMessage(ioCode), ioCode);
}

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

// The records of layout from as the passes up to layout to write them, one
// after another. Each pass maps every record into the same target record, so
// bytes that a mapping leaves alone keep what the record before left there:
// the records of each stage live as long as the stream.
class RecordChain {
 public:
  RecordChain(const Layout& from, const Layout& to) : from_(from), to_(to) {}

  void Map(const char* in, char* out) {
    if (from_.number == 102) {
      std::memcpy(r102_.bytes.data(), in, r102_.bytes.size());
      MapTo103(r102_, r103_);
    } else {
      std::memcpy(r103_.bytes.data(), in, r103_.bytes.size());
    }
    if (to_.number == 103) {
      std::memcpy(out, r103_.bytes.data(), r103_.bytes.size());
      return;
    }
    MapTo140(r103_, r140_);
    std::memcpy(out, r140_.bytes.data(), r140_.bytes.size());
  }

 private:
  const Layout& from_;
  const Layout& to_;
  ContentRecord102 r102_;
  ContentRecord103 r103_;
  ContentRecord140 r140_;
};

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
  RecordChain chain(from, to);
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
};

platform::FileHandle OpenOrThrow(const FolderHolds& holds, std::string_view path) {
  platform::FileHandle file;
  if (const platform::ErrorCode code = holds.OpenFile(path, platform::Access::Read, file)) ThrowIo(code);
  return file;
}

RestorePlan PlanRestoreIn(std::string_view project, const ConversionOptions& options, FolderHolds& holds,
                          Looks& looks) {
  RestorePlan plan;
  plan.project = std::string(project);
  plan.projectBackup = BackupPath(project);
  const auto stop = [&plan](Cause cause, std::string path,
                            std::optional<std::int32_t> ioCode = std::nullopt) {
    plan.cause = cause;
    plan.causePath = std::move(path);
    plan.ioCode = ioCode;
    return plan;
  };
  const auto stopAt = [&stop](const PlannedStop& planned) {
    return stop(planned.cause, planned.path, planned.ioCode);
  };
  if (const PlannedStop planned = ProjectStop(project)) return stopAt(planned);
  if (const PlannedStop planned = holds.HoldFolderOf(project)) return stopAt(planned);
  TMemIniFile current{std::string(project)};
  current.SetCaseSensitivity(false);
  const std::string& projectTarget = current.ReplacementTarget();
  looks.projectTarget = projectTarget;
  looks.projectSavePath = current.PendingSavePath();
  if (const PlannedStop planned = holds.HoldFolderOf(projectTarget)) return stopAt(planned);
  plan.version = current.ReadNumber(keys::kSection, keys::kVersion, 0);
  if (!platform::IsPlainFile(plan.projectBackup)) return stop(Cause::BackupMissing, plan.projectBackup);
  TMemIniFile backup{plan.projectBackup};
  backup.SetCaseSensitivity(false);
  plan.backupVersion = backup.ReadNumber(keys::kSection, keys::kVersion, 0);
  plan.count = backup.ReadNumber(keys::kSection, keys::kCount, 0);

  // The contents file the conversion took, whose backup sits beside it.
  const ChosenContents contents = ChooseContentsPath(current, options.Choice());
  plan.contents = contents.path;
  plan.contentsBackup = BackupPath(contents.path);
  if (contents.path.empty() || !FileIsPresent(contents.path))
    return stop(Cause::ContentsMissing, contents.path, io_code::kNotOpen);
  if (platform::KindOf(contents.path) == platform::FileKind::Other)
    return stop(Cause::NotRegularFile, contents.path);
  if (InSystemFolder(contents.path)) return stop(Cause::SystemFolder, contents.path);
  if (const PlannedStop planned = holds.HoldFolderOf(contents.path)) return stopAt(planned);
  if (!platform::IsPlainFile(plan.contentsBackup)) return stop(Cause::BackupMissing, plan.contentsBackup);

  // The backups must be one pair: a backed-up project that a conversion
  // changes, and at least its Count records of its layout, not of a later one.
  const std::span<const Pass> passes = PassesFor(plan.backupVersion);
  const Layout& before = LayoutForVersion(plan.backupVersion);
  std::uint64_t needed = 0;
  std::uint64_t size = 0;
  platform::FileHandle contentsBackup = OpenOrThrow(holds, plan.contentsBackup);
  if (passes.empty() || plan.count <= 0 || !ContentsSizeFor(before, plan.count, needed) ||
      !SizeOf(contentsBackup, size) || size < needed ||
      LaterLayoutOfContents(before, contentsBackup, plan.count).certain) {
    return stop(Cause::BackupsNotAPair, plan.contentsBackup);
  }

  // The project file: its backup already, or exactly what a pass saved from
  // the backup. Anything else is an edit that a restore would lose.
  const Pass* reached = nullptr;
  {
    platform::FileHandle now = OpenOrThrow(holds, projectTarget);
    platform::FileHandle old = OpenOrThrow(holds, plan.projectBackup);
    if (const platform::ErrorCode code = platform::StampOf(now, looks.project)) ThrowIo(code);
    plan.projectRestored = SameBytes(now, old);
  }
  if (!plan.projectRestored) {
    for (const Pass& pass : passes) {
      if (pass.stampedVersion == plan.version) reached = &pass;
    }
    if (reached == nullptr) {
      const bool unconverted = LayoutForVersion(plan.version).number == before.number;
      return stop(unconverted ? Cause::NotConverted : Cause::ProjectChanged, plan.project);
    }
    if (!backup.FileHoldsSavedTextWith(projectTarget, keys::kSection, keys::kVersion,
                                       IntegerText(plan.version))) {
      return stop(Cause::ProjectChanged, plan.project);
    }
  }

  // The contents file: its backup already, or exactly the backed-up records
  // converted as far as the project file says (any pass's layout once the
  // project file is back).
  platform::FileHandle now = OpenOrThrow(holds, contents.path);
  if (const platform::ErrorCode code = platform::StampOf(now, looks.contents)) ThrowIo(code);
  {
    platform::FileHandle old = OpenOrThrow(holds, plan.contentsBackup);
    plan.contentsRestored = SameBytes(now, old);
  }
  if (!plan.contentsRestored) {
    bool converted = false;
    for (const Pass& pass : passes) {
      if (converted || (reached != nullptr && &pass != reached)) continue;
      platform::FileHandle old = OpenOrThrow(holds, plan.contentsBackup);
      platform::FileHandle again = OpenOrThrow(holds, contents.path);
      converted = HoldsConverted(old, again, before, pass.to, plan.count);
    }
    if (!converted) return stop(Cause::ContentsChanged, contents.path);
  }
  return plan;
}

// One file written anew from its backup beside the file it replaces, held
// exclusively until it has moved over that file; removed again unless it has.
class PutBack {
 public:
  PutBack(const platform::HeldFolder& folder, std::string name, std::string workName)
      : folder_(folder), name_(std::move(name)), workName_(std::move(workName)) {}
  ~PutBack() {
    if (file_ && !moved_) (void)platform::DeleteHeldIn(folder_, file_, workName_);
  }
  PutBack(const PutBack&) = delete;
  PutBack& operator=(const PutBack&) = delete;

  // Writes the backup's bytes to a new file under the work name (whatever had
  // that name is removed, never written through), with the permissions of the
  // file it will replace, and makes them durable.
  void Write(platform::FileHandle& backup, const std::function<bool()>& stopRequested) {
    platform::FileHandle replaced;
    if (const platform::ErrorCode code = platform::OpenIn(folder_, name_, platform::Access::Read,
                                                          platform::kShareRead | platform::kShareWrite,
                                                          platform::Creation::OpenExisting, replaced)) {
      ThrowIo(code);
    }
    if (const platform::ErrorCode code = platform::RemoveWorkFileIn(folder_, workName_)) ThrowIo(code);
    if (const platform::ErrorCode code =
            platform::OpenIn(folder_, workName_, platform::Access::ReadWrite, platform::kShareNone,
                             platform::Creation::CreateNew, file_)) {
      ThrowIo(code);
    }
    permissionsNotKept_ = platform::CopyPermissions(replaced, file_);
    std::vector<char> buffer(kBlockBytes);
    for (;;) {
      if (stopRequested && stopRequested()) throw EInterrupted(std::string(texts::kInterrupted));
      std::size_t got = 0;
      if (const platform::ErrorCode code = ReadUpTo(backup, buffer.data(), buffer.size(), got)) ThrowIo(code);
      if (got == 0) break;
      for (std::size_t at = 0; at < got;) {
        std::size_t written = 0;
        if (const platform::ErrorCode code = platform::Write(file_, buffer.data() + at, got - at, written))
          ThrowIo(code);
        if (written == 0) ThrowIo(platform::error::kDiskFull);
        at += written;
      }
    }
    if (const platform::ErrorCode code = platform::Flush(file_)) ThrowIo(code);
  }

  // The last look: the file to be replaced is still the one found.
  bool StillAsFound(const platform::FileStamp& found) const {
    platform::FileStamp now;
    return platform::StampIn(folder_, name_, now) == platform::error::kSuccess && now == found;
  }

  // Moves the new file over the old one in one step, durably. kNotDurable
  // means it has moved but a power cut could undo it: raised all the same.
  void Replace() {
    const platform::ErrorCode code = platform::ReplaceHeldIn(folder_, file_, workName_, name_);
    moved_ = code == platform::error::kSuccess || code == platform::error::kNotDurable;
    if (code != platform::error::kSuccess) ThrowIo(code);
  }

  platform::PermissionParts PermissionsNotKept() const { return permissionsNotKept_; }

 private:
  const platform::HeldFolder& folder_;
  std::string name_;
  std::string workName_;
  platform::FileHandle file_;
  platform::PermissionParts permissionsNotKept_ = 0;
  bool moved_ = false;
};

}  // namespace

RestorePlan PlanRestore(std::string_view project, const ConversionOptions& options) {
  FolderHolds holds(FolderHolds::Mode::Probe);
  Looks looks;
  try {
    return PlanRestoreIn(project, options, holds, looks);
  } catch (const EFOpenError&) {
    RestorePlan plan;
    plan.project = std::string(project);
    plan.cause = Cause::ProjectUnreadable;
    plan.causePath = plan.project;
    return plan;
  } catch (const EInOutError& error) {
    RestorePlan plan;
    plan.project = std::string(project);
    plan.cause = CauseOfIoCode(error.IoCode());
    plan.ioCode = error.IoCode();
    return plan;
  }
}

RestoreResult RestoreProject(std::string_view project, const ConversionOptions& options,
                             const std::function<bool()>& stopRequested) {
  RestoreResult result;
  result.plan.project = std::string(project);
  const auto failed = [&result](RestoreOutcome outcome, const Exception& error, Cause cause) {
    result.outcome = outcome;
    result.errorText = error.Message();
    if (result.plan.cause == Cause::None) result.plan.cause = cause;
    return result;
  };
  try {
    FolderHolds holds(FolderHolds::Mode::Hold);
    Looks looks;
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
    if (stopRequested && stopRequested()) throw EInterrupted(std::string(texts::kInterrupted));
    // An edit made since the files were compared would be lost.
    if (!plan.projectRestored && !projectFile.StillAsFound(looks.project)) {
      plan.cause = Cause::ProjectChanged;
      plan.causePath = plan.project;
    } else if (!plan.contentsRestored && !contentsFile.StillAsFound(looks.contents)) {
      plan.cause = Cause::ContentsChanged;
      plan.causePath = plan.contents;
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
      result.permissionsNotKept |= projectFile.PermissionsNotKept();
    }
    if (!plan.contentsRestored) {
      contentsFile.Replace();
      result.permissionsNotKept |= contentsFile.PermissionsNotKept();
    }
    result.outcome = RestoreOutcome::Restored;
    return result;
  } catch (const EInterrupted& error) {
    return failed(RestoreOutcome::Interrupted, error, Cause::Interrupted);
  } catch (const EInOutError& error) {
    result.ioCode = error.IoCode();
    return failed(RestoreOutcome::Failed, error, CauseOfIoCode(error.IoCode()));
  } catch (const EFOpenError& error) {
    result.plan.causePath = result.plan.project;
    return failed(RestoreOutcome::Failed, error, Cause::ProjectUnreadable);
  } catch (const Exception& error) {
    return failed(RestoreOutcome::Failed, error, Cause::IoFailure);
  }
}

}  // namespace kwt
