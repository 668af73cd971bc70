#include "convert/conversion.h"

#include <array>
#include <charconv>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "convert/backup.h"
#include "convert/content_records.h"
#include "convert/contents_layout.h"
#include "convert/record_stream.h"
#include "runtime/cp932_text.h"
#include "runtime/digest.h"
#include "runtime/errors.h"
#include "runtime/file_names.h"
#include "runtime/integer_text.h"
#include "runtime/platform.h"
#include "runtime/record_file.h"
#include "runtime/texts.h"

namespace kwt {

namespace keys = project_keys;

namespace {

// The store raises errors of its own when it saves, which know nothing of a
// conversion: a project file it cannot give its new text, a write that found
// no room, or a failed file operation with its code. Each is given its reason
// where the conversion calls the store.
[[noreturn]] void RaiseSaveError(const Exception& error, const std::string& project) {
  StopReason reason{Cause::IoFailure, ConversionOutcome::Failed, {}, {}, {}, error.Message(), std::nullopt};
  if (dynamic_cast<const EFCreateError*>(&error) != nullptr) {
    reason.cause = Cause::ProjectNotSaved;
    reason.path = project;
  } else if (dynamic_cast<const EWriteError*>(&error) != nullptr) {
    reason.cause = Cause::DiskFull;
  } else if (const auto* io = dynamic_cast<const EInOutError*>(&error)) {
    reason.cause = CauseOfIoCode(io->IoCode());
    reason.ioCode = io->IoCode();
  }
  Raise(reason);
}

template <typename Step>
decltype(auto) ProjectSaveStep(const std::string& project, Step&& step) {
  try {
    return step();
  } catch (const Exception& error) {
    if (ReasonOf(error) != nullptr) throw;
    RaiseSaveError(error, project);
  }
}

// Which of the two files a pass closes first. Only the error reported when
// both closes fail depends on it.
enum class CloseOrder { TemporaryFirst, ContentsFirst };

CloseOrder CloseOrderOf(const Pass& pass) {
  return pass.id == PassId::To103 ? CloseOrder::TemporaryFirst : CloseOrder::ContentsFirst;
}

// The progress text for record i, built in place: a pass shows one per record
// and should not allocate for it.
class ProgressText {
 public:
  ProgressText() { std::memcpy(buffer_.data(), texts::kStatusProgressPrefix.data(), kPrefix); }

  std::string_view For(std::int32_t record) {
    char* const digits = buffer_.data() + kPrefix;
    char* const end = std::to_chars(digits, digits + kMaxDigits, record).ptr;
    std::memcpy(end, texts::kStatusProgressSuffix.data(), texts::kStatusProgressSuffix.size());
    const auto length = static_cast<std::size_t>(end - buffer_.data()) + texts::kStatusProgressSuffix.size();
    return {buffer_.data(), length};
  }

 private:
  static constexpr std::size_t kPrefix = texts::kStatusProgressPrefix.size();
  static constexpr std::size_t kMaxDigits = 11;  // "-2147483648"
  std::array<char, kPrefix + kMaxDigits + texts::kStatusProgressSuffix.size()> buffer_{};
};

[[noreturn]] void Interrupt() {
  Raise(Interruption());
}

// True for the codes of a write that found no room.
bool DiskRanFull(std::int32_t code) {
  return CauseOfIoCode(code) == Cause::DiskFull;
}

// The files of one pass: the contents file it reads, the temporary file it
// writes, and a second handle that keeps the temporary file held until it has
// moved, so that no other conversion can take it and write into what is about
// to become our contents file. Both are reached through the contents file's
// held folder only. All are closed when the pass ends, however it ends. A
// temporary file that a failed record left behind stays, holding the records
// converted so far (unless the disk ran full: see FreeTheDisk); one that is
// complete, or that an interruption cut short, is removed unless it took the
// contents file's place.
class PassFiles {
 public:
  PassFiles(const platform::HeldFolder& folder, std::string contentsPath, std::string temporaryPath)
      : folder_(folder),
        contentsPath_(std::move(contentsPath)),
        temporaryPath_(std::move(temporaryPath)),
        contentsName_(NameIn(contentsPath_)),
        temporaryName_(NameIn(temporaryPath_)) {}
  ~PassFiles() {
    if (discard_ && !replaced_) Discard();
  }
  PassFiles(const PassFiles&) = delete;
  PassFiles& operator=(const PassFiles&) = delete;

  // True when no other program can open the contents file for writing while
  // the pass reads it, or one that does is seen.
  bool WritersKeptOut() const noexcept { return watching_; }

  // Opens the contents file and creates the temporary file new: whatever had
  // its name (a stopped run's file, a link to anywhere, a link to the contents
  // file) is removed, never written through. The new file is held exclusively,
  // so a second conversion in the same folder fails with 32 instead of mixing
  // its records into ours, and takes the contents file's permissions only once
  // it is ours.
  void Open(const Pass& pass) {
    AssignPath(contents_, contentsPath_);
    AssignPath(temporary_, temporaryPath_);
    // The old name goes before the contents file opens: Windows cannot remove
    // a second name of a file that is open without delete sharing.
    RaiseIo(platform::RemoveWorkFile(platform::Place(folder_, temporaryName_)));
    // Read only, and no writer meanwhile: a program that has the file open
    // for writing would go on writing into the file this one replaces.
    OpenToRead(contents_, platform::Place(folder_, contentsName_), pass.from.recordSize);
    RaisePendingIo();
    HoldRecordFile(contents_, contentsHold_);
    RaisePendingIo();
    RaiseIo(platform::WatchForWriters(contentsHold_, watching_));
    CreateEmpty(temporary_, platform::Place(folder_, temporaryName_), pass.to.recordSize,
                Sharing::ExclusiveNew);
    RaisePendingIo();
    created_ = true;
    HoldRecordFile(temporary_, hold_);
    RaisePendingIo();
    // From the file opened, not from what its name may reach by now.
    permissionsNotKept_ = platform::CopyPermissions(contentsHold_, hold_);
    RaiseIo(platform::StampOf(contentsHold_, openedStamp_));
    // A clock that ticks in seconds shows no same-size rewrite within its
    // tick: the bytes are compared instead.
    if (platform::StampsAreCoarse(contentsHold_))
      openedDigest_ = DigestOf(platform::Place(folder_, contentsName_));
  }

  // Count records, mapped one at a time, each shown before it is converted.
  void CopyRecords(const Pass& pass, std::int32_t count, RecordIo io, ConversionFace& face) {
    switch (pass.id) {
      case PassId::To103: CopyAs<ContentRecord102, ContentRecord103, MapTo103>(count, io, face); break;
      case PassId::To140: CopyAs<ContentRecord103, ContentRecord140, MapTo140>(count, io, face); break;
    }
    discard_ = true;
  }

  void FlushTemporary() {
    FlushRecordFile(temporary_);
    RaisePendingIo();
  }

  // A write that found the disk full leaves an unfinished temporary file that
  // only keeps the disk full: it goes at once. True when it has gone.
  bool FreeTheDisk() noexcept {
    if (!created_ || replaced_) return false;
    discard_ = false;
    return Discard();
  }

  // When no contents file was found nothing is open, and the first close
  // reports 103 with nothing changed.
  void Close(CloseOrder order) {
    RecordFile& first = order == CloseOrder::TemporaryFirst ? temporary_ : contents_;
    RecordFile& second = order == CloseOrder::TemporaryFirst ? contents_ : temporary_;
    CloseRecordFile(first);
    RaisePendingIo();
    CloseRecordFile(second);
    RaisePendingIo();
  }

  // Nothing may have written to the contents file, or put another file in its
  // place, since it was opened: those records would be lost in the move.
  // Lets go of the file when it is as it was.
  // A look that cannot be made raises what it met: it is no change.
  bool ContentsAsOpened() {
    platform::FileStamp held;
    platform::FileStamp named;
    RaiseIo(platform::StampOf(contentsHold_, held));
    const platform::ErrorCode found = platform::StampOf(platform::Place(folder_, contentsName_), named);
    if (found != platform::error::kFileNotFound && found != platform::error::kPathNotFound &&
        found != platform::error::kLinkInTheWay) {
      RaiseIo(found);
    }
    if (found != platform::error::kSuccess || !(held == openedStamp_) || !(named == openedStamp_))
      return false;
    if (openedDigest_) {
      platform::ErrorCode unread = platform::error::kSuccess;
      const std::optional<std::uint64_t> digest = DigestOf(platform::Place(folder_, contentsName_), &unread);
      RaiseIo(unread);
      if (digest != openedDigest_) return false;
    }
    if (watching_ && platform::WriterOpened(contentsHold_)) return false;
    contentsHold_ = platform::FileHandle();
    return true;
  }

  // Moves the temporary file over the contents file in one step. kNotDurable
  // means it has moved but a power cut could undo it: raised all the same.
  void ReplaceContents() {
    const platform::ErrorCode code = platform::ReplaceHeld(hold_, platform::Place(folder_, temporaryName_),
                                                           platform::Place(folder_, contentsName_));
    replaced_ = code == platform::error::kSuccess || code == platform::error::kNotDurable;
    RaiseIo(code);
  }

  bool Replaced() const { return replaced_; }
  platform::PermissionParts PermissionsNotKept() const { return permissionsNotKept_; }

 private:
  template <typename Source, typename Target, auto Map>
  void CopyAs(std::int32_t count, RecordIo io, ConversionFace& face) {
    if (io == RecordIo::Blocks) {
      BlockStream<Source, Target, Map> stream(contents_, temporary_, count);
      Copy(stream, count, face);
    } else {
      PerRecordStream<Source, Target, Map> stream(contents_, temporary_);
      Copy(stream, count, face);
    }
  }

  // The face sees the same calls whichever stream converts: a stop is asked
  // and a progress text shown before each record.
  template <typename Stream>
  void Copy(Stream& stream, std::int32_t count, ConversionFace& face) {
    ProgressText progress;
    for (std::int32_t i = 0; i < count; ++i) {
      if (face.StopRequested()) {
        discard_ = true;
        Interrupt();
      }
      // A program that opens the file for writing waits until we let go of
      // it: it is let go at once, and nothing is replaced.
      if (watching_ && i % kWriterLookEvery == 0 && platform::WriterOpened(contentsHold_)) {
        discard_ = true;
        Raise(Refusal(Cause::ContentsChanged, contentsPath_,
                      texts::Format(texts::kContentsChangedFormat, contentsPath_)));
      }
      face.SetStatus(progress.For(i));
      face.RecordsDone(i, count);
      stream.Next();
    }
    face.RecordsDone(count, count);
  }

  // While the hold lasts, the file is deleted before the hold ends, so that no
  // other conversion's file is deleted in its place. A failing close cannot
  // matter here; its code is not left pending. True when the file has gone.
  bool Discard() noexcept {
    if (temporary_.IsOpen()) {
      CloseRecordFile(temporary_);
      TakeIoStatus();
    }
    platform::ErrorCode code = platform::error::kSuccess;
    if (hold_) {
      code = platform::DeleteHeld(hold_, platform::Place(folder_, temporaryName_));
    } else if (created_) {
      code = platform::Delete(platform::Place(folder_, temporaryName_));
    }
    created_ = false;
    return code == platform::error::kSuccess;
  }

  const platform::HeldFolder& folder_;
  std::string contentsPath_;
  std::string temporaryPath_;
  std::string contentsName_;
  std::string temporaryName_;
  RecordFile contents_;
  RecordFile temporary_;
  platform::FileHandle hold_;
  platform::FileHandle contentsHold_;
  platform::FileStamp openedStamp_;
  // Whether a watch tells of writers, and the bytes' digest where the
  // stamps cannot show a change.
  bool watching_ = false;
  static constexpr std::int32_t kWriterLookEvery = 64;
  std::optional<std::uint64_t> openedDigest_;
  platform::PermissionParts permissionsNotKept_ = 0;
  bool created_ = false;
  bool discard_ = false;
  bool replaced_ = false;
};

// The project file's folder, held for the conversion, and its name there.
SaveFolder ProjectSaveFolder(const TMemIniFile& store, const FolderHolds& holds) {
  const std::string& target = store.ReplacementTarget();
  return SaveFolder{holds.HeldFolderOf(target), NameIn(target)};
}

}  // namespace

namespace {

// Sets the converter's pointer to the run's holds while Convert runs.
class HoldsInUse {
 public:
  HoldsInUse(FolderHolds*& slot, FolderHolds& holds) : slot_(slot) { slot_ = &holds; }
  ~HoldsInUse() { slot_ = nullptr; }
  HoldsInUse(const HoldsInUse&) = delete;
  HoldsInUse& operator=(const HoldsInUse&) = delete;

 private:
  FolderHolds*& slot_;
};

}  // namespace

Converter::Converter(ConversionFace& face, ConversionOptions options)
    : face_(face), options_(std::move(options)) {}

Converter::~Converter() = default;

// Chosen once per conversion: a second pass, the backup and the finishing
// of a stopped run all work on the file the first choice found, even when a
// link on the way has come to lead elsewhere since.
std::string Converter::ContentsPath() {
  if (lastContents_.path.empty()) lastContents_ = ChooseContentsPath(*store_, options_.Choice());
  return lastContents_.path;
}

ConversionResult Converter::Convert(std::string_view projectPath) {
  result_ = {};
  ConvertProject(projectPath);
  return Finished();
}

const ConversionResult& Converter::Finished() {
  result_.contents = lastContents_;
  if (result_.facts.count) {
    const std::int32_t version = store_->ReadNumber(keys::kSection, keys::kVersion, 0);
    result_.facts.version = version;
    result_.facts.layout = LayoutForVersion(version).number;
  }
  return result_;
}

void Converter::ConvertProject(std::string_view projectPath) {
  if (const StopReason stop = ProjectStop(projectPath)) {
    if (stop.outcome != ConversionOutcome::ProjectMissing) Raise(stop);
    face_.SetStatus(stop.text);
    result_.reason = stop;
    result_.outcome = ConversionOutcome::ProjectMissing;
    return;
  }
  // The version is read under the hold, so that what it decides still holds
  // when the passes act on it.
  FolderHolds holds(FolderHolds::Mode::Hold);
  RaiseRefusal(holds.HoldFolderOf(projectPath));
  const HoldsInUse inUse(holds_, holds);
  // Read afresh for each project unless the face shares one for its run.
  owners_ = options_.owners ? options_.owners : std::make_shared<ContentsOwners>();

  // Replaced only once the new store has loaded.
  auto store = std::make_unique<TMemIniFile>(LoadProjectFile(std::string(projectPath), projectPath));
  store_ = std::move(store);
  lastContents_ = {};
  result_.version = store_->ReadNumber(keys::kSection, keys::kVersion, 0);
  result_.facts.count = store_->ReadNumber(keys::kSection, keys::kCount, 0);
  if (std::string text = store_->ReadText(keys::kSection, keys::kCount, {}); !text.empty()) {
    result_.facts.countText = std::move(text);
  }
  result_.facts.recordsPresent = LookAtContents(ContentsPath()).RecordsIn(LayoutForVersion(result_.version));
  // A project reached through a link is saved in the linked file's folder:
  // that folder is held too.
  RaiseRefusal(holds.HoldFolderOf(store_->ReplacementTarget()));

  // Whatever a killed backup run left is taken back before anything else,
  // while both files are as it was copying them.
  if (const std::string contents = ContentsPath(); FileIsPresent(contents) && !holds.HoldFolderOf(contents)) {
    TakeBackStoppedBackups(*store_, contents, holds);
  }
  result_.resumed = FinishStoppedRun(holds);
  const std::span<const Pass> passes = PassesFor(store_->ReadNumber(keys::kSection, keys::kVersion, 0));
  if (options_.backup) {
    const std::string contents = ContentsPath();
    if (FileIsPresent(contents)) RaiseRefusal(holds.HoldFolderOf(contents));
    // A conversion that will stop short changes neither file: it gets no
    // backups, which for a copy would land in the original's folder.
    ContentsNotes notes;
    if (passes.empty() || !PassStop(*store_, passes.front(), lastContents_, holds, *owners_, notes)) {
      RaiseRefusal(BackupStop(*store_, contents));
      BackUpProject(*store_, contents, holds);
    }
  }
  if (passes.empty()) {
    face_.SetStatus(result_.resumed ? texts::kStatusSuccess : texts::kStatusUpToDate);
    result_.outcome = result_.resumed ? ConversionOutcome::Converted : ConversionOutcome::UpToDate;
    return;
  }
  result_.outcome = ConversionOutcome::Converted;
  for (const Pass& pass : passes) RunPassHolding(pass, holds);
}

// Raises what a stop that refuses the conversion says; a stop that the work
// meets on its way (too few records, a project file that cannot be saved) is
// left to the work, which raises it there.
void Converter::RaiseRefusal(const StopReason& stop) {
  if (stop && stop.outcome == ConversionOutcome::Refused) Raise(stop);
}

// Nothing is saved over text the store did not read: an edit made to the
// project file meanwhile (or another file put in its place) stops the
// conversion before anything is replaced.
void Converter::RefuseChangedProject(const SaveFolder& in) {
  platform::ErrorCode failure = platform::error::kSuccess;
  if (store_->FileIsAsLoaded(in.folder ? &in : nullptr, &failure)) return;
  // A look that failed says what it met, never that the file changed.
  RaiseIo(failure);
  Raise(Refusal(Cause::ProjectChanged, store_->FileName(),
                texts::Format(texts::kProjectChangedFormat, store_->FileName())));
}

ConversionResult Converter::TryConvert(std::string_view projectPath) {
  try {
    return Convert(projectPath);
  } catch (const Exception& error) {
    // Every error of the conversion's own is raised with its reason; one
    // raised without is a fault of ours, said as a failure with its text.
    result_.reason = ReasonRaisedWith(error);
    result_.outcome = result_.reason.outcome;
    return Finished();
  }
}

// A run stopped between replacing the contents file and replacing the project
// file leaves the project's complete new text beside it. When that proves the
// state, the stopped run is finished by moving the text into place. Anything
// else proves nothing; the file is then left to the next save, which removes
// it.
bool Converter::FinishStoppedRun(FolderHolds& holds) {
  TMemIniFile& store = *store_;
  ContentsPath();
  const Pass* finished = StoppedRunToFinish(store, lastContents_, holds);
  if (finished == nullptr) return false;
  const SaveFolder project = ProjectSaveFolder(store, holds);
  const std::string savedName = NameIn(store.PendingSavePath());
  RefuseChangedProject(project);
  platform::FileStamp moved;
  const std::string savedPath = store.PendingSavePath();
  const platform::Place saved = project.folder ? platform::Place(*project.folder, savedName) : savedPath;
  const platform::Place target =
      project.folder ? platform::Place(*project.folder, project.name) : store.ReplacementTarget();
  RaiseIo(platform::StampOf(saved, moved));
  const std::optional<std::uint64_t> digest = DigestOf(saved);
  RaiseIo(platform::Replace(saved, target));
  store.NoteReplacement(moved, digest, project.folder ? &project : nullptr);
  if (lastContents_.RecordsItsPath()) NameFoundContents();
  store.WriteText(keys::kSection, keys::kVersion, IntegerText(finished->stampedVersion));
  face_.SetStatus(texts::kStatusResumed);
  return true;
}

// A file that --find-contents took in place of the one the project names is
// named by the project from the first save on: a project left naming the
// other file would have the application read that file's records as the new
// layout. The store as it saves then; none when the project names the file.
std::optional<TMemIniFile> Converter::StoreNamingFoundContents() const {
  if (!lastContents_.RecordsItsPath()) return std::nullopt;
  return store_->CopyWith(keys::kSection, keys::kContents, PathToRecord(lastContents_));
}

// The project file names the found file now: the store says so too, and
// what its folder's projects name is read again.
void Converter::NameFoundContents() {
  store_->WriteText(keys::kSection, keys::kContents, PathToRecord(lastContents_));
  owners_->Forget(store_->ReplacementTarget());
}

// The project file was edited after its last look, while the contents file
// moved. The records are converted, so the new version goes into the edited
// text, which keeps the edit. Only an edit that left what the conversion
// relied on (Version, Count, KWT) as it was can take it; any other, or a file
// that keeps changing, stops the run with the edit kept and no version
// stamped.
PendingSave Converter::SaveOverEdit(const Pass& pass, const SaveFolder* in, int attempt, PendingSave stale) {
  constexpr int kAttempts = 3;
  const std::string& path = store_->FileName();
  // What the project must say to fit the converted records, for the message
  // that asks the user to set it.
  const auto stopHere = [&] {
    std::string set = std::string(keys::kVersion) + "=" + IntegerText(pass.stampedVersion);
    if (lastContents_.RecordsItsPath()) {
      set += ", " + std::string(keys::kContents) + "=" + PathToRecord(lastContents_);
    }
    // The contents file has changed: a failure, not a refusal.
    Raise({Cause::ProjectChanged,
           ConversionOutcome::Failed,
           path,
           {},
           {},
           texts::Format(texts::kProjectEditedLateFormat, {path, set}),
           std::nullopt});
  };
  // Its file goes first: the new text is written under the same name.
  { const PendingSave dropped = std::move(stale); }
  // Any failure to read the edited text or to prepare its save stops here too.
  std::optional<TMemIniFile> edited;
  bool relied = attempt < kAttempts;
  try {
    edited.emplace(path);
    edited->SetCaseSensitivity(false);
    for (const std::string_view key : {keys::kVersion, keys::kCount, keys::kContents}) {
      relied =
          relied && edited->ReadText(keys::kSection, key, {}) == store_->ReadText(keys::kSection, key, {});
    }
  } catch (const Exception&) {
    relied = false;
  }
  if (!relied) stopHere();
  *store_ = std::move(*edited);
  const std::optional<TMemIniFile> renamed = StoreNamingFoundContents();
  try {
    return (renamed ? *renamed : *store_)
        .PrepareSaveWith(keys::kSection, keys::kVersion, IntegerText(pass.stampedVersion), in);
  } catch (const Exception&) {
    stopHere();
  }
  throw std::logic_error("unreachable");
}

// Everything that stops the pass is found before anything changes: a
// refusal is raised, and no records end the run with their status.
bool Converter::PassCanStart(const Pass& pass, FolderHolds& holds) {
  const std::string contentsPath = ContentsPath();
  const StopReason stop = PassStop(*store_, pass, lastContents_, holds, *owners_, result_.notes);
  if (stop.outcome == ConversionOutcome::NoRecords) {
    face_.SetStatus(stop.text);
    result_.reason = stop;
    result_.outcome = ConversionOutcome::NoRecords;
    return false;
  }
  if (stop.cause != Cause::NegativeCount) {
    face_.SetTarget(ShortenPath(contentsPath, face_.TargetMeasure(), face_.TargetWidth()));
  }
  // No contents file: as when the pass finds none, it ends at its first close.
  if (stop.cause == Cause::ContentsMissing) face_.SetStatus(texts::kStatusFinishing);
  RaiseRefusal(stop);
  return true;
}

void Converter::RunPassHolding(const Pass& pass, FolderHolds& holds) {
  if (!PassCanStart(pass, holds)) return;
  TMemIniFile& store = *store_;
  const std::string contentsPath = ContentsPath();
  const std::int32_t count = store.ReadNumber(keys::kSection, keys::kCount, 0);
  const platform::HeldFolder* contentsFolder = holds.HeldFolderOf(contentsPath);
  if (contentsFolder == nullptr) throw std::logic_error("the contents file's folder is not held");
  const std::string temporaryPath = TemporaryPathFor(contentsPath);
  PassFiles files(*contentsFolder, contentsPath, temporaryPath);
  // A write that found the disk full frees it again before the error travels on.
  const auto freeingAFullDisk = [&](auto step) {
    try {
      step();
    } catch (const EInOutError& error) {
      if (DiskRanFull(error.IoCode()) && files.FreeTheDisk()) {
        result_.temporaryRemoved = true;
        result_.temporaryPath = temporaryPath;
      }
      throw;
    }
  };
  files.Open(pass);
  result_.notes.writersKeptOut = result_.notes.writersKeptOut && files.WritersKeptOut();
  freeingAFullDisk([&] { files.CopyRecords(pass, count, options_.recordIo, face_); });

  face_.SetStatus(texts::kStatusFinishing);

  // The project file's new text is written beside it before the contents file
  // is replaced, and the store changes only once the project file has it, so
  // a failure leaves the store describing the files as they are.
  freeingAFullDisk([&] { files.FlushTemporary(); });
  const SaveFolder project = ProjectSaveFolder(store, holds);
  const SaveFolder* const projectIn = project.folder ? &project : nullptr;
  RefuseChangedProject(project);
  const std::optional<TMemIniFile> renamed = StoreNamingFoundContents();
  PendingSave projectSave = ProjectSaveStep(store.FileName(), [&] {
    return (renamed ? *renamed : store)
        .PrepareSaveWith(keys::kSection, keys::kVersion, IntegerText(pass.stampedVersion), projectIn);
  });
  files.Close(CloseOrderOf(pass));
  if (face_.StopRequested()) Interrupt();
  RefuseChangedProject(project);
  // The last look at the contents file, immediately before it is replaced.
  if (!files.ContentsAsOpened()) {
    Raise(Refusal(Cause::ContentsChanged, contentsPath,
                  texts::Format(texts::kContentsChangedFormat, ShortenedValue(contentsPath))));
  }

  // From here on the pass finishes whatever the face asks.
  try {
    files.ReplaceContents();
  } catch (const EInOutError&) {
    // Moved but not durable: the new text stays, so that the next run can
    // finish from it whichever way a power cut decides.
    if (files.Replaced()) projectSave.Keep();
    throw;
  }
  result_.permissionsNotKept |= files.PermissionsNotKept();
  SaveProject(pass, std::move(projectSave), projectIn, renamed.has_value());
  face_.SetStatus(texts::kStatusSuccess);
  result_.passesRun.push_back(pass.id);
}

// The records are converted: the project file takes its new text, over an
// edit made meanwhile where the edit allows, and the store records the
// stamped Version (and the found contents file's path, where it names it).
void Converter::SaveProject(const Pass& pass, PendingSave projectSave, const SaveFolder* projectIn,
                            bool namesFoundContents) {
  TMemIniFile& store = *store_;
  // The look immediately before the project file's save moves into place.
  for (int attempt = 0;; ++attempt) {
    platform::ErrorCode failure = platform::error::kSuccess;
    if (store.FileIsAsLoaded(projectIn, &failure)) break;
    // The records are converted and the new text is complete: it stays for
    // the next run to finish from, and the failure is said as it is.
    if (failure != platform::error::kSuccess) {
      projectSave.Keep();
      RaiseIo(failure);
    }
    projectSave = SaveOverEdit(pass, projectIn, attempt, std::move(projectSave));
  }
  // Should the project file refuse now, its new text stays for the next run.
  ProjectSaveStep(store.FileName(), [&] { projectSave.Commit(/*keepOnFailure=*/true); });
  if (projectSave.MovedStamp()) {
    store.NoteReplacement(*projectSave.MovedStamp(), projectSave.Digest(), projectIn);
  }
  result_.permissionsNotKept |= projectSave.PermissionsNotKept();
  if (namesFoundContents) NameFoundContents();
  store.WriteNumber(keys::kSection, keys::kVersion, pass.stampedVersion);
}

void Converter::RunPass(const Pass& pass) {
  if (!store_) throw std::logic_error(std::string(pass.name) + " needs a project: call Convert first");
  if (holds_) {
    RunPassHolding(pass, *holds_);
    return;
  }
  // As Convert holds them: the project's folder first.
  FolderHolds holds(FolderHolds::Mode::Hold);
  RaiseRefusal(holds.HoldFolderOf(store_->ReplacementTarget()));
  RunPassHolding(pass, holds);
}

void Converter::To103() {
  RunPass(PassOf(PassId::To103));
}

void Converter::To140() {
  RunPass(PassOf(PassId::To140));
}

}  // namespace kwt
