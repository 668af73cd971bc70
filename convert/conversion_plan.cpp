#include "convert/conversion_plan.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "convert/backup.h"
#include "convert/contents_layout.h"
#include "convert/contents_owners.h"
#include "convert/project_folders.h"
#include "runtime/cp932_text.h"
#include "runtime/errors.h"
#include "runtime/file_names.h"
#include "runtime/integer_text.h"
#include "runtime/record_file.h"
#include "runtime/texts.h"

namespace kwt {

namespace keys = project_keys;

namespace {

constexpr std::string_view kTemporaryName = "TMP.DAT";

// True when the contents file has the name of a work file beside it: the
// temporary file or a scratch file of the trial. Windows refuses to create the
// temporary file exclusively over the open contents file (code 32); POSIX would
// empty it under our feet, so the pass reports 32 there as well, and for the
// scratch names, which the trial would take. Letter case is ignored, as
// Windows ignores it.
bool NamesWorkFile(std::string_view contentsPath) {
  const std::string name = ansi::UpperCase(contentsPath.substr(FolderOf(contentsPath).size()));
  return name == kTemporaryName || name == kTrialName || name == kTrialTargetName;
}

// Devices, pipes and sockets are no project's files: reading /dev/zero would
// "convert" endless records and the move would replace the device node.
StopReason IrregularFileStop(Cause cause, std::string_view path) {
  if (platform::KindOf(path) != platform::FileKind::Other) return {};
  return Refusal(cause, std::string(path), Named(texts::kNotRegularFileFormat, path));
}

// The project file is replaced by its new text at the end of a pass: it must
// be writable, and replaceable in its folder. The pass meets this when it
// prepares the new text, after the records have gone into TMP.DAT, which it
// then removes: the files end as they were, and the texts shown are the ones
// a failing save has always left.
StopReason ProjectSaveStop(const TMemIniFile& store) {
  // Someone else's file under the save name is refused before anything changes.
  if (StopReason leftover = LeftoverStop(store.PendingSavePath())) return leftover;
  const std::string& path = store.FileName();
  const StopReason stop{Cause::ProjectNotSaved,
                        ConversionOutcome::Failed,
                        path,
                        {},
                        {},
                        Named(texts::kCannotCreateFileFormat, path),
                        std::nullopt};
  platform::FileHandle existing;
  const platform::ErrorCode opened = platform::Open(path, platform::Access::ReadWrite, platform::kShareNone,
                                                    platform::Creation::OpenExisting, existing);
  if (opened != platform::error::kSuccess && opened != platform::error::kFileNotFound) return stop;
  if (opened == platform::error::kSuccess &&
      platform::CanReplaceIn(store.ReplacementTarget()) != platform::error::kSuccess) {
    return stop;
  }
  if (!platform::FolderIsWritable(FolderOf(store.ReplacementTarget()))) return stop;
  // The new text is written under the save file's name first: a folder there
  // cannot be replaced.
  if (platform::KindOf(store.PendingSavePath()) == platform::FileKind::Directory) return stop;
  return {};
}

// Count reads as 0: there is nothing to convert, with the status the window
// has always shown. Only a Count written as 0, or not written, is said to be
// 0; one written otherwise (beyond the number range, not a number, "-0") is
// said to be no number of records.
StopReason NoRecordsStop(TMemIniFile& store) {
  const std::string text = store.ReadText(keys::kSection, keys::kCount, {});
  const Cause cause = text.empty() || text == "0" ? Cause::NoContents : Cause::CountUnreadable;
  return {cause, ConversionOutcome::NoRecords,          {},          {},
          {},    std::string(texts::kStatusNoContents), std::nullopt};
}

}  // namespace

TMemIniFile LoadProjectFile(const std::string& path, std::string_view project) {
  try {
    TMemIniFile store{path};
    store.SetCaseSensitivity(false);
    return store;
  } catch (const EFOpenError& error) {
    Raise({Cause::ProjectUnreadable,
           ConversionOutcome::Failed,
           std::string(project),
           {},
           {},
           error.Message(),
           std::nullopt});
  }
}

std::string TemporaryPathFor(std::string_view contentsPath) {
  return FolderOf(contentsPath) + std::string(kTemporaryName);
}

StopReason BackupStop(const TMemIniFile& store, std::string_view contentsPath) {
  for (const std::string& file : {store.FileName(), std::string(contentsPath)}) {
    if (StopReason stop = LeftoverStop(UnfinishedBackupPath(BackupPath(file)))) return stop;
  }
  return {};
}

StopReason ProjectStop(std::string_view project) {
  if (StopReason stop = IrregularFileStop(Cause::ProjectNotRegularFile, project)) return stop;
  if (!FileIsPresent(project)) {
    // The status the window has always shown; the cause says why.
    platform::FileStamp stamp;
    const bool tooLong =
        platform::StampOf(platform::Place(project), stamp) == platform::error::kFilenameTooLong;
    return {tooLong ? Cause::ProjectPathTooLong : Cause::ProjectMissing,
            ConversionOutcome::ProjectMissing,
            std::string(project),
            {},
            {},
            std::string(texts::kStatusFileMissing),
            std::nullopt};
  }
  return {};
}

// Exactly the bytes one of the passes still to run would have written, and
// its owner the project's: a text planted by someone else proves nothing. The
// file is compared with the store in pieces, never loaded beside it.
const Pass* StoppedRunToFinish(TMemIniFile& store, const ChosenContents& contents, FolderHolds& holds) {
  const std::string& contentsPath = contents.path;
  const std::string pendingPath = store.PendingSavePath();
  if (!platform::IsPlainFile(pendingPath)) return nullptr;
  const std::int32_t version = store.ReadNumber(keys::kSection, keys::kVersion, 0);
  std::optional<TMemIniFile> renamed;
  if (contents.RecordsItsPath()) {
    renamed = store.CopyWith(keys::kSection, keys::kContents, PathToRecord(contents));
  }
  const TMemIniFile& saved = renamed ? *renamed : store;
  const Pass* finished = nullptr;
  for (const Pass& pass : PassesFor(version)) {
    if (saved.FileHoldsSavedTextWith(pendingPath, keys::kSection, keys::kVersion,
                                     IntegerText(pass.stampedVersion))) {
      finished = &pass;
    }
  }
  if (finished == nullptr || !platform::SameOwner(pendingPath, store.ReplacementTarget())) return nullptr;

  const std::int32_t count = store.ReadNumber(keys::kSection, keys::kCount, 0);
  if (count <= 0 || platform::KindOf(contentsPath) != platform::FileKind::Regular) return nullptr;
  if (holds.HoldFolderOf(contentsPath)) return nullptr;
  platform::FileHandle file;
  if (holds.OpenFile(contentsPath, platform::Access::Read, file) != platform::error::kSuccess ||
      !ContentsWrittenAs(finished->to, file, count)) {
    return nullptr;
  }
  return finished;
}

StopReason ContentsNameStop(const TMemIniFile& store, const ChosenContents& contents) {
  // The project file, or the file its new text waits in, must not double as
  // the contents file or the temporary file: records would be written over
  // the project, or the project's text over the records. Files are compared
  // as files, not as names.
  const std::string& path = contents.path;
  const std::string temporaryPath = TemporaryPathFor(path);
  const std::string pendingPath = store.PendingSavePath();
  for (const std::string& work : {path, temporaryPath}) {
    if (platform::SameFile(work, store.FileName()) || platform::SameFile(work, pendingPath)) {
      return Refusal(Cause::ProjectFileAsWorkFile, work, Named(texts::kProjectFileInUseFormat, work));
    }
  }
  // A project given as a link under its own save name would be removed as a
  // leftover of a stopped save.
  if (store.FileName() == pendingPath) {
    return Refusal(Cause::ProjectFileAsWorkFile, pendingPath,
                   Named(texts::kProjectFileInUseFormat, pendingPath));
  }
  // Another project's file would be overwritten with records.
  if (NamesProjectFile(path)) {
    return Refusal(Cause::ProjectFileAsWorkFile, path, Named(texts::kContentsIsProjectFormat, path));
  }
  // A link under a work name would be taken for a leftover: the project would
  // lose its way to its records.
  if (NamesWorkFile(path) || NamesWorkFile(contents.named)) {
    return IoRefusal(Cause::ContentsIsTemporary, NamesWorkFile(path) ? path : contents.named,
                     platform::error::kSharingViolation);
  }
  // Only contents files are rewritten: a downloaded project must not make us
  // rewrite the user's notes. A file given by name is the user's own choice.
  if (!contents.given && !NamesContentsFile(path)) {
    return Refusal(Cause::NotContentsFile, path, Named(texts::kNotContentsFileFormat, path));
  }
  return {};
}

namespace {

// True when the stored contents path, read from another folder, reads a file
// there and not this one: a relative path that stays inside the project's
// folder (its real place, links followed).
bool ReadsFromItsOwnFolder(const TMemIniFile& store, const ChosenContents& contents) {
  if (!IsRelativePath(contents.stored)) return false;
  for (std::string rest = contents.stored; !rest.empty();) {
    if (NameIn(rest) == "..") return false;
    const std::string folder = FolderOf(rest);
    rest = folder.empty() ? std::string() : folder.substr(0, folder.size() - 1);
  }
  const std::string folder = FolderOf(store.ReplacementTarget());
  const std::string stored = folder + contents.stored;
  if (!FileIsPresent(stored)) return true;
  const std::optional<platform::RealFolderPlace> projectFolder = platform::RealFolder(folder);
  return projectFolder && RealPathOf(RealContentsPath(stored)).starts_with(projectFolder->path);
}

// The project file's other names (hard links) keep its old text once the save
// moves the new text over this name. One that reads the records converted
// here is left reading a layout it does not know: another name in this
// folder, or one anywhere when the stored path reaches this file from
// everywhere. One elsewhere that reads its own records is left as it was.
StopReason ProjectNameStop(const TMemIniFile& store, const ChosenContents& contents, ContentsNotes& notes) {
  const std::string& target = store.ReplacementTarget();
  platform::FileStamp project;
  if (platform::StampOf(platform::Place(target), project) != platform::error::kSuccess || project.names <= 1)
    return {};
  const std::string folder = FolderOf(target);
  const auto refused = [&](std::string other) {
    StopReason stop = Refusal(Cause::ProjectHasSecondName, target,
                              other.empty() ? Named(texts::kProjectNamedElsewhereFormat, target)
                                            : Named(texts::kProjectHasSecondNameFormat, target, other));
    stop.otherPath = std::move(other);
    return stop;
  };
  std::vector<platform::FolderEntry> entries;
  std::vector<platform::UnnamedEntry> unnamed;
  std::uint32_t namesHere = 1;
  if (platform::ListFolder(folder, entries, unnamed) == platform::error::kSuccess) {
    for (const platform::FolderEntry& entry : entries) {
      if (entry.directory || entry.link || entry.name == NameIn(target)) continue;
      platform::FileStamp other;
      if (platform::StampOf(platform::Place(folder + entry.name), other) != platform::error::kSuccess ||
          other.device != project.device || other.index != project.index) {
        continue;
      }
      // Only a project file's name is one the application opens.
      if (NamesProjectFile(entry.name)) return refused(folder + entry.name);
      ++namesHere;
    }
  }
  // Every name is here, and none is a project's (a backup made as a link).
  if (namesHere >= project.names) return {};
  if (!ReadsFromItsOwnFolder(store, contents)) return refused({});
  notes.projectOtherNameReadsItsOwn = true;
  return {};
}

}  // namespace

StopReason ReadersStop(const TMemIniFile& store, const ChosenContents& contents, ContentsOwners& owners,
                       ContentsNotes& notes) {
  const std::string& path = contents.path;
  // Converting records that another project also reads would leave that
  // project reading a layout it does not know.
  const ContentsReaders readers = owners.ReadersOf(path, contents.named, store.FileName());
  if (!readers.unreadable.empty()) notes.unreadableProjects = readers.unreadable;
  if (!readers.other.empty()) {
    StopReason stop =
        Refusal(Cause::SharedContents, path, Named(texts::kSharedContentsFormat, path, readers.other));
    stop.otherPath = readers.other;
    return stop;
  }
  return ProjectNameStop(store, contents, notes);
}

StopReason OwnershipStop(const TMemIniFile& store, const ChosenContents& contents,
                         const platform::FileStamp& stamp, ContentsOwners& owners, ContentsNotes& notes) {
  if (StopReason stop = ReadersStop(store, contents, owners, notes)) return stop;
  // A second name keeps the old records once this one is replaced, and
  // whoever reads by it reads what it read before. A TMP.DAT planted as one
  // is no reader's: the pass removes it first.
  const std::uint32_t workNames = platform::SameFile(TemporaryPathFor(contents.path), contents.path) ? 1 : 0;
  // Said once the first pass has parted the names, too.
  notes.otherNameKeepsOldRecords = notes.otherNameKeepsOldRecords || stamp.names > 1 + workNames;
  if (!contents.given && !contents.foundBesideProject && notes.fileOfThatNameBeside.empty()) {
    notes.fileOfThatNameBeside = CopyBesideProject(store, contents);
  }
  return {};
}

namespace {

// Whose records the contents file holds, and whether they are of a later
// layout already: a run that stopped after replacing the contents file but
// before stamping the version, or a second project that names an already
// converted file, leaves records of a later layout behind the old version.
// Converting them again would read converted records as old ones and ruin
// them. Looked at through the held folder, as the pass will convert it: the
// file looked at is the file converted.
StopReason RecordsLookStop(const TMemIniFile& store, const Pass& pass, std::int32_t count,
                           const ChosenContents& contents, FolderHolds& holds, ContentsOwners& owners,
                           ContentsNotes& notes) {
  const std::string& path = contents.path;
  platform::FileHandle file;
  if (holds.OpenFile(path, platform::Access::Read, file) != platform::error::kSuccess) return {};
  platform::FileStamp stamp;
  if (platform::StampOf(file, stamp) == platform::error::kSuccess) {
    if (StopReason stop = OwnershipStop(store, contents, stamp, owners, notes)) return stop;
  }
  if (const LaterLayoutFinding later = LaterLayoutOfContents(pass.from, file, count)) {
    return Refusal(Cause::AlreadyConverted, path,
                   later.certain
                       ? Named(texts::kAlreadyConvertedFormat, path, IntegerText(later.layout->number))
                       : Named(texts::kContentsLayoutUnsureFormat, path));
  }
  return {};
}

// Whether the pass can write the contents file and its folder: a folder that
// takes no new file (a read-only disk, a folder we may not write) stops the
// work whatever the file allows, and is what to name. size takes the file's
// size, opened for reading and writing as the pass opens it.
StopReason WritableStop(const std::string& path, const FolderHolds& holds, std::uint64_t& size) {
  if (const std::string folder = FolderOf(path); !platform::FolderIsWritable(folder)) {
    return IoRefusal(Cause::ReadOnly, FolderShown(folder), platform::error::kAccessDenied);
  }
  platform::FileHandle file;
  const platform::ErrorCode opened = holds.OpenFile(path, platform::Access::ReadWrite, file);
  if (opened == platform::error::kAccessDenied) return IoRefusal(Cause::ReadOnly, path, opened);
  if (opened != platform::error::kSuccess) return IoRefusal(Cause::ContentsUnreadable, path, opened);
  const platform::ErrorCode sized = platform::Size(file, size);
  if (sized != platform::error::kSuccess) return IoRefusal(Cause::ContentsUnreadable, path, sized);
  return {};
}

}  // namespace

StopReason PassStop(TMemIniFile& store, const Pass& pass, const ChosenContents& contents, FolderHolds& holds,
                    ContentsOwners& owners, ContentsNotes& notes) {
  const std::int32_t count = store.ReadNumber(keys::kSection, keys::kCount, 0);
  if (count == 0) return NoRecordsStop(store);
  // A negative count would convert nothing and replace the contents by an
  // empty file.
  if (count < 0) {
    return Refusal(Cause::NegativeCount, {}, texts::Format(texts::kNegativeCountFormat, IntegerText(count)));
  }

  const std::string& path = contents.path;
  const std::string temporaryPath = TemporaryPathFor(path);
  if (StopReason stop = IrregularFileStop(Cause::NotRegularFile, path)) return stop;
  if (!FileIsPresent(path)) return IoRefusal(Cause::ContentsMissing, path, io_code::kNotOpen);
  if (InSystemFolder(path)) {
    return Refusal(Cause::SystemFolder, path, Named(texts::kSystemFolderFormat, path));
  }
  if (StopReason stop = holds.HoldFolderOf(path)) return stop;

  if (StopReason stop = ContentsNameStop(store, contents)) return stop;
  if (path.size() > RecordFile::kMaxPathLength) {
    return IoRefusal(Cause::PathTooLong, path, platform::error::kPathNotFound);
  }
  if (temporaryPath.size() > RecordFile::kMaxPathLength) {
    return IoRefusal(Cause::PathTooLong, temporaryPath, platform::error::kPathNotFound);
  }
  if (StopReason stop = RecordsLookStop(store, pass, count, contents, holds, owners, notes)) return stop;
  std::uint64_t size = 0;
  if (StopReason stop = WritableStop(path, holds, size)) return stop;

  if (platform::KindOf(temporaryPath) == platform::FileKind::Directory) {
    return IoRefusal(Cause::TemporaryBlocked, temporaryPath, platform::error::kAccessDenied);
  }
  if (StopReason stop = LeftoverStop(temporaryPath)) return stop;

  // The contents file and the project file are each replaced by moving a new
  // file over them; where that cannot happen in one step, a failure between
  // removing one and moving the other would lose it.
  for (const std::string& replaced : {path, store.ReplacementTarget()}) {
    if (StopReason stop = holds.ReplaceStopIn(replaced)) return stop;
  }

  // Met on the way, not refused: the records present go into TMP.DAT first,
  // which stays holding them.
  if (size / pass.from.recordSize < static_cast<std::uint64_t>(count)) {
    return IoFailureReason(io_code::kReadPastEnd, path);
  }
  return ProjectSaveStop(store);
}

bool WritersCanBeKeptOut(std::string_view contentsPath) {
  // Asked as the pass asks, read-only, and let go at once.
  platform::FileHandle file;
  bool watching = true;
  if (platform::Open(contentsPath, platform::Access::Read, platform::kShareRead,
                     platform::Creation::OpenExisting, file) == platform::error::kSuccess) {
    (void)platform::WatchForWriters(file, watching);
  }
  return watching;
}

ContentsLook LookAtContents(std::string_view path) {
  ContentsLook look;
  look.present = FileIsPresent(path);
  if (!look.present) return look;
  // Opening for reading alone changes neither the bytes nor any date.
  platform::FileHandle file;
  std::uint64_t size = 0;
  look.sizeError = platform::Open(path, platform::Access::Read, platform::kShareRead | platform::kShareWrite,
                                  platform::Creation::OpenExisting, file);
  if (look.sizeError == platform::error::kSuccess) look.sizeError = platform::Size(file, size);
  if (look.sizeError == platform::error::kSuccess) look.size = size;
  return look;
}

Verdict ConversionPlan::Outcome() const noexcept {
  if (stop) return Verdict::WillFail;
  return passes.empty() && stoppedRun == nullptr ? Verdict::UpToDate : Verdict::WillConvert;
}

std::optional<std::uint64_t> ConversionPlan::ExpectedSize() const {
  std::uint64_t size = 0;
  if (layout == nullptr || !ContentsSizeFor(*layout, count, size)) return std::nullopt;
  return size;
}

std::optional<std::string> ConversionPlan::RecordedContentsPath() const {
  if (!projectPresent || contents.path == contents.stored) return std::nullopt;
  return contents.stored;
}

std::int32_t ConversionPlan::FinishesStoppedRun() const noexcept {
  return stoppedRun != nullptr ? stoppedRun->stampedVersion : 0;
}

std::vector<std::string_view> ConversionPlan::PassNames() const {
  std::vector<std::string_view> names;
  for (const Pass& pass : passes) names.push_back(pass.name);
  return names;
}

ConversionPlan PlanConversion(std::string_view project, const ConversionOptions& options) {
  ConversionPlan plan;
  plan.project = std::string(project);
  plan.stop = ProjectStop(project);
  plan.projectPresent = !plan.stop;
  if (plan.stop) return plan;

  FolderHolds holds(FolderHolds::Mode::Probe);
  const std::shared_ptr<ContentsOwners> owners =
      options.owners ? options.owners : std::make_shared<ContentsOwners>();
  // A busy folder is the first stop, but the facts are still worth showing.
  plan.stop = holds.HoldFolderOf(project);
  TMemIniFile store = LoadProjectFile(std::string(project), project);
  plan.version = store.ReadNumber(keys::kSection, keys::kVersion, 0);
  if (std::string text = store.ReadText(keys::kSection, keys::kVersion, {}); !text.empty()) {
    plan.versionText = std::move(text);
  }
  plan.count = store.ReadNumber(keys::kSection, keys::kCount, 0);
  if (std::string text = store.ReadText(keys::kSection, keys::kCount, {}); !text.empty()) {
    plan.countText = std::move(text);
  }
  plan.layout = &LayoutForVersion(plan.version);
  if (!plan.stop) plan.stop = holds.HoldFolderOf(store.ReplacementTarget());

  plan.contents = ChooseContentsPath(store, options.Choice());
  plan.temporaryPath = TemporaryPathFor(plan.contents.path);
  const ContentsLook look = LookAtContents(plan.contents.path);
  plan.contentsPresent = look.present;
  plan.contentsSize = look.size;
  plan.sizeError = look.sizeError;
  plan.recordsPresent = look.RecordsIn(*plan.layout);

  std::int32_t version = plan.version;
  if (!plan.stop) {
    plan.stoppedRun = StoppedRunToFinish(store, plan.contents, holds);
    if (plan.stoppedRun) version = plan.stoppedRun->stampedVersion;
  }
  plan.passes = PassesFor(version);
  if (plan.contentsPresent && !plan.passes.empty()) {
    const LaterLayoutFinding later =
        LaterLayoutOfContents(plan.passes.front().from, plan.contents.path, plan.count);
    if (later.certain) plan.convertedLayout = later.layout->number;
  }
  if (!plan.stop && options.backup && plan.contentsPresent)
    plan.stop = holds.HoldFolderOf(plan.contents.path);
  if (!plan.stop && !plan.passes.empty())
    plan.stop = PassStop(store, plan.passes.front(), plan.contents, holds, *owners, plan.notes);
  if (!plan.stop && !plan.passes.empty()) plan.notes.writersKeptOut = WritersCanBeKeptOut(plan.contents.path);
  plan.folders = holds.Folders();
  return plan;
}

}  // namespace kwt
