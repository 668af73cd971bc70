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
#include "runtime/errors.h"
#include "runtime/file_names.h"
#include "runtime/integer_text.h"
#include "runtime/platform.h"
#include "runtime/record_file.h"
#include "runtime/texts.h"

namespace kwt {

namespace keys = project_keys;

namespace {

constexpr std::string_view kTemporaryName = "TMP.DAT";

// Raises what a failed platform call answered, as every record-file failure
// is raised: through the pending I/O status.
void RaiseIo(platform::ErrorCode code) {
  if (code == platform::error::kSuccess) return;
  SetIoStatus(static_cast<std::int32_t>(code));
  CheckIo();
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

// "TMP.DAT" in the contents file's folder; the bare name when the path has no
// folder. The native style lets '/' count on POSIX, where it is the separator.
std::string TemporaryPathFor(std::string_view contentsPath) {
  return DirectoryPart(contentsPath, kNativePathStyle) + std::string(kTemporaryName);
}

bool IsAsciiLetter(char byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

// True when the contents file is itself the temporary file. Windows refuses to
// create the temporary file exclusively over the open contents file (code 32);
// POSIX would empty it under our feet, so the pass reports 32 there as well.
// Letter case is ignored, as Windows ignores it.
bool NamesTemporaryFile(std::string_view contentsPath) {
  const std::string name = NamePart(contentsPath, kNativePathStyle);
  if (name.size() != kTemporaryName.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char byte = name[i];
    if (IsAsciiLetter(byte)) byte = static_cast<char>(byte & ~0x20);
    if (byte != kTemporaryName[i]) return false;
  }
  return true;
}

// Devices, pipes and sockets are no project's files: reading /dev/zero would
// "convert" endless records and the move would replace the device node.
void RefuseIrregularFile(std::string_view path) {
  if (platform::KindOf(path) == platform::FileKind::Other) {
    throw EConvertError(texts::Format(texts::kNotRegularFileFormat, path));
  }
}

// A run that stopped after replacing the contents file but before stamping the
// version, or a second project that names an already converted file, leaves
// Count records of a later layout behind the old version. Converting them
// again would read converted records as old ones and ruin them.
void RefuseConvertedContents(const Pass& pass, std::string_view contentsPath, std::int32_t count) {
  if (const Layout* later = LaterLayoutOfContents(pass.from, contentsPath, count)) {
    throw EConvertError(
        texts::Format(texts::kAlreadyConvertedFormat, {contentsPath, IntegerText(later->number)}));
  }
}

// The project file, or the file its new text waits in, must not double as the
// contents file or the temporary file: records would be written over the
// project, or the project's text over the records, and the temporary file is
// deleted when a pass gives up. Files are compared as files, not as names.
void RefuseProjectFileAsWorkFile(const TMemIniFile& store, std::string_view contentsPath,
                                 std::string_view temporaryPath) {
  const std::string pendingPath = store.PendingSavePath();
  for (const std::string_view work : {contentsPath, temporaryPath}) {
    if (platform::SameFile(work, store.FileName()) || platform::SameFile(work, pendingPath)) {
      throw EConvertError(texts::Format(texts::kProjectFileInUseFormat, work));
    }
  }
  // Another project's file would be overwritten with records.
  if (NamesProjectFile(contentsPath))
    throw EConvertError(texts::Format(texts::kContentsIsProjectFormat, contentsPath));
}

[[noreturn]] void Interrupt() {
  throw EInterrupted(std::string(texts::kInterrupted));
}

// The files of one pass: the contents file it reads, the temporary file it
// writes, and a second handle that keeps the temporary file held until it has
// moved, so that no other conversion can take it and write into what is about
// to become our contents file. All are closed when the pass ends, however it
// ends. A temporary file that a failed record left behind stays, holding the
// records converted so far; one that is complete, or that an interruption cut
// short, is removed unless it took the contents file's place.
class PassFiles {
 public:
  PassFiles(std::string contentsPath, std::string temporaryPath)
      : contentsPath_(std::move(contentsPath)), temporaryPath_(std::move(temporaryPath)) {}
  ~PassFiles() {
    if (discard_ && !replaced_) Discard();
  }
  PassFiles(const PassFiles&) = delete;
  PassFiles& operator=(const PassFiles&) = delete;

  bool IsOpen() const { return temporary_.IsOpen(); }

  // Opens the contents file and creates the temporary file new: whatever had
  // its name (a stopped run's file, a link to anywhere, a link to the contents
  // file) is removed, never written through. The new file is held exclusively,
  // so a second conversion in the same folder fails with 32 instead of mixing
  // its records into ours, and takes the contents file's permissions only once
  // it is ours.
  void Open(const Pass& pass) {
    AssignPath(contents_, contentsPath_);
    AssignPath(temporary_, temporaryPath_);
    if (NamesTemporaryFile(contentsPath_)) RaiseIo(platform::error::kSharingViolation);
    // The old name goes before the contents file opens: Windows cannot remove
    // a second name of a file that is open without delete sharing.
    RaiseIo(platform::RemoveWorkFile(temporaryPath_));
    OpenExisting(contents_, pass.from.recordSize);
    CheckIo();
    CreateEmpty(temporary_, pass.to.recordSize, Sharing::ExclusiveNew);
    CheckIo();
    created_ = true;
    HoldRecordFile(temporary_, hold_);
    CheckIo();
    // From the file opened, not from what its name may reach by now.
    HoldRecordFile(contents_, contentsHold_);
    CheckIo();
    platform::CopyPermissions(contentsHold_, hold_);
    RaiseIo(platform::StampOf(contentsHold_, openedStamp_));
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
    CheckIo();
  }

  // When no contents file was found nothing is open, and the first close
  // reports 103 with nothing changed.
  void Close(CloseOrder order) {
    RecordFile& first = order == CloseOrder::TemporaryFirst ? temporary_ : contents_;
    RecordFile& second = order == CloseOrder::TemporaryFirst ? contents_ : temporary_;
    CloseRecordFile(first);
    CheckIo();
    CloseRecordFile(second);
    CheckIo();
  }

  // Nothing may have written to the contents file, or put another file in its
  // place, since it was opened: those records would be lost in the move.
  void RefuseChangedContents() {
    platform::FileStamp held;
    platform::FileStamp named;
    if (platform::StampOf(contentsHold_, held) != platform::error::kSuccess ||
        platform::StampOf(contentsPath_, named) != platform::error::kSuccess || !(held == openedStamp_) ||
        !(named == openedStamp_)) {
      throw EConvertError(texts::Format(texts::kContentsChangedFormat, contentsPath_));
    }
    contentsHold_ = platform::FileHandle();
  }

  // Moves the temporary file over the contents file in one step. kNotDurable
  // means it has moved but a power cut could undo it: raised all the same.
  void ReplaceContents() {
    const platform::ErrorCode code = platform::ReplaceHeld(hold_, temporaryPath_, contentsPath_);
    replaced_ = code == platform::error::kSuccess || code == platform::error::kNotDurable;
    RaiseIo(code);
  }

  bool Replaced() const { return replaced_; }

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
      face.SetStatus(progress.For(i));
      stream.Next();
    }
  }

  // While the hold lasts, the file is deleted before the hold ends, so that no
  // other conversion's file is deleted in its place. A failing close cannot
  // matter here; its code is not left pending.
  void Discard() noexcept {
    if (temporary_.IsOpen()) {
      CloseRecordFile(temporary_);
      TakeIoStatus();
    }
    if (hold_) {
      (void)platform::DeleteHeld(hold_, temporaryPath_);
    } else if (created_) {
      (void)platform::Delete(temporaryPath_);
    }
  }

  std::string contentsPath_;
  std::string temporaryPath_;
  RecordFile contents_;
  RecordFile temporary_;
  platform::FileHandle hold_;
  platform::FileHandle contentsHold_;
  platform::FileStamp openedStamp_;
  bool created_ = false;
  bool discard_ = false;
  bool replaced_ = false;
};

}  // namespace

// The folders one conversion holds, each once (a second lock on a folder this
// process already holds would refuse us on POSIX).
class FolderLocks {
 public:
  // Holds the folder of the file at path; EInOutError 32 when another
  // conversion holds it.
  void HoldFolderOf(std::string_view path) {
    const std::string folder = DirectoryPart(path, kNativePathStyle);
    const std::string probe = folder.empty() ? std::string(".") : folder;
    for (const Held& held : held_) {
      if (held.probe == probe || platform::SameFile(held.probe, probe)) return;
    }
    platform::FileHandle lock;
    const platform::ErrorCode code = platform::LockFolder(folder, lock);
    if (code == platform::error::kSharingViolation) {
      throw EInOutError(texts::Format(texts::kFolderBusyFormat, path), static_cast<std::int32_t>(code));
    }
    RaiseIo(code);
    held_.push_back({probe, std::move(lock)});
  }

 private:
  struct Held {
    std::string probe;
    platform::FileHandle lock;
  };
  std::vector<Held> held_;
};

namespace {

// Sets the converter's pointer to the run's locks while Convert runs.
class LocksInUse {
 public:
  LocksInUse(FolderLocks*& slot, FolderLocks& locks) : slot_(slot) { slot_ = &locks; }
  ~LocksInUse() { slot_ = nullptr; }
  LocksInUse(const LocksInUse&) = delete;
  LocksInUse& operator=(const LocksInUse&) = delete;

 private:
  FolderLocks*& slot_;
};

}  // namespace

Converter::Converter(ConversionFace& face, ConversionOptions options)
    : face_(face), options_(std::move(options)) {}

Converter::~Converter() = default;

std::string Converter::ContentsPath() {
  lastContents_ = ChooseContentsPath(
      *store_, ContentsChoice{options_.contentsPath, options_.contentsBesideProject, options_.findContents});
  return lastContents_.path;
}

ConversionResult Converter::Convert(std::string_view projectPath) {
  result_ = {};
  RefuseIrregularFile(projectPath);
  if (!FileIsPresent(projectPath)) {
    face_.SetStatus(texts::kStatusFileMissing);
    result_.outcome = ConversionOutcome::ProjectMissing;
    return result_;
  }
  // The version is read under the hold, so that what it decides still holds
  // when the passes act on it.
  FolderLocks locks;
  locks.HoldFolderOf(projectPath);
  const LocksInUse inUse(locks_, locks);

  // Replaced only once the new store has loaded.
  auto store = std::make_unique<TMemIniFile>(std::string(projectPath));
  store->SetCaseSensitivity(false);
  store_ = std::move(store);
  lastContents_ = {};
  result_.version = store_->ReadNumber(keys::kSection, keys::kVersion, 0);
  // A project reached through a link is saved in the linked file's folder:
  // that folder is held too.
  locks.HoldFolderOf(store_->ReplacementTarget());

  result_.resumed = FinishInterruptedRun(locks);
  if (options_.backup) {
    const std::string contents = ContentsPath();
    if (FileIsPresent(contents)) locks.HoldFolderOf(contents);
    BackUpProject(*store_, contents);
  }
  const std::span<const Pass> passes = PassesFor(store_->ReadNumber(keys::kSection, keys::kVersion, 0));
  if (passes.empty()) {
    face_.SetStatus(result_.resumed ? texts::kStatusSuccess : texts::kStatusUpToDate);
    result_.outcome = result_.resumed ? ConversionOutcome::Converted : ConversionOutcome::UpToDate;
    result_.contents = lastContents_;
    return result_;
  }
  result_.outcome = ConversionOutcome::Converted;
  for (const Pass& pass : passes) RunPassHolding(pass, locks);
  result_.contents = lastContents_;
  return result_;
}

ConversionResult Converter::TryConvert(std::string_view projectPath) {
  const auto ended = [this](ConversionOutcome outcome, const std::string& text) {
    result_.outcome = outcome;
    result_.errorText = text;
    result_.error = std::current_exception();
    result_.contents = lastContents_;
    return result_;
  };
  try {
    return Convert(projectPath);
  } catch (const EInterrupted& error) {
    return ended(ConversionOutcome::Interrupted, error.Message());
  } catch (const EInOutError& error) {
    result_.ioCode = error.IoCode();
    return ended(ConversionOutcome::Failed, error.Message());
  } catch (const EConvertError& error) {
    return ended(ConversionOutcome::Refused, error.Message());
  } catch (const EBackupRefused& error) {
    return ended(ConversionOutcome::Refused, error.Message());
  } catch (const Exception& error) {
    return ended(ConversionOutcome::Failed, error.Message());
  }
}

// A run stopped between replacing the contents file and replacing the project
// file leaves the project's complete new text beside it. When that text is
// the project file but for a later Version, and the contents file has exactly
// that Version's layout, the stopped run is finished by moving it into place.
// Anything else proves nothing; the file is then left to the next save, which
// removes it.
bool Converter::FinishInterruptedRun(FolderLocks& locks) {
  TMemIniFile& store = *store_;
  const std::string pendingPath = store.PendingSavePath();
  if (!platform::IsPlainFile(pendingPath)) return false;

  // Exactly the bytes one of the passes still to run would have written, and
  // its owner the project's: a text planted by someone else proves nothing.
  // The file is compared with the store in pieces, never loaded beside it.
  const std::int32_t version = store.ReadNumber(keys::kSection, keys::kVersion, 0);
  const Pass* finished = nullptr;
  std::string stamp;
  for (const Pass& pass : PassesFor(version)) {
    std::string text = IntegerText(pass.stampedVersion);
    if (store.FileHoldsSavedTextWith(pendingPath, keys::kSection, keys::kVersion, text)) {
      finished = &pass;
      stamp = std::move(text);
    }
  }
  if (finished == nullptr || !platform::SameOwner(pendingPath, store.ReplacementTarget())) return false;

  const std::int32_t count = store.ReadNumber(keys::kSection, keys::kCount, 0);
  const std::string contents = ContentsPath();
  if (count <= 0 || platform::KindOf(contents) != platform::FileKind::Regular) return false;
  locks.HoldFolderOf(contents);
  if (LaterLayoutOfContents(LayoutForVersion(version), contents, count) != &finished->to) return false;

  RaiseIo(platform::Replace(pendingPath, store.ReplacementTarget()));
  store.WriteText(keys::kSection, keys::kVersion, stamp);
  face_.SetStatus(texts::kStatusResumed);
  return true;
}

void Converter::RunPassHolding(const Pass& pass, FolderLocks& locks) {
  TMemIniFile& store = *store_;
  const std::int32_t count = store.ReadNumber(keys::kSection, keys::kCount, 0);
  if (count == 0) {
    face_.SetStatus(texts::kStatusNoContents);
    result_.outcome = ConversionOutcome::NoRecords;
    return;
  }
  // A negative count would convert nothing and replace the contents by an
  // empty file.
  if (count < 0) {
    throw EConvertError(texts::Format(texts::kNegativeCountFormat, IntegerText(count)));
  }

  const std::string contentsPath = ContentsPath();
  face_.SetTarget(ShortenPath(contentsPath, face_.TargetMeasure(), face_.TargetWidth()));
  const std::string temporaryPath = TemporaryPathFor(contentsPath);

  // Refusals first: everything that changes a file comes after them.
  PassFiles files(contentsPath, temporaryPath);
  RefuseIrregularFile(contentsPath);
  if (FileIsPresent(contentsPath)) {
    locks.HoldFolderOf(contentsPath);
    RefuseProjectFileAsWorkFile(store, contentsPath, temporaryPath);
    RefuseConvertedContents(pass, contentsPath, count);
    files.Open(pass);
    files.CopyRecords(pass, count, options_.recordIo, face_);
  }

  face_.SetStatus(texts::kStatusFinishing);

  // The project file's new text is written beside it before the contents file
  // is replaced, and the store changes only once the project file has it, so
  // a failure leaves the store describing the files as they are.
  std::optional<PendingSave> projectSave;
  if (files.IsOpen()) {
    files.FlushTemporary();
    projectSave.emplace(
        store.PrepareSaveWith(keys::kSection, keys::kVersion, IntegerText(pass.stampedVersion)));
  }
  files.Close(CloseOrderOf(pass));
  if (face_.StopRequested()) Interrupt();
  if (projectSave) files.RefuseChangedContents();

  // From here on the pass finishes whatever the face asks.
  try {
    files.ReplaceContents();
  } catch (const EInOutError&) {
    // Moved but not durable: the new text stays, so that the next run can
    // finish from it whichever way a power cut decides.
    if (files.Replaced()) projectSave->Keep();
    throw;
  }
  // Engaged: without an open temporary file a close above has raised 103.
  // Should the project file refuse now, its new text stays for the next run.
  projectSave->Commit(/*keepOnFailure=*/true);
  store.WriteNumber(keys::kSection, keys::kVersion, pass.stampedVersion);

  face_.SetStatus(texts::kStatusSuccess);
  result_.passesRun.push_back(pass.id);
}

void Converter::RunPass(const Pass& pass) {
  if (!store_) throw std::logic_error(std::string(pass.name) + " needs a project: call Convert first");
  if (locks_) {
    RunPassHolding(pass, *locks_);
    return;
  }
  FolderLocks locks;
  RunPassHolding(pass, locks);
}

void Converter::To103() {
  RunPass(PassOf(PassId::To103));
}

void Converter::To140() {
  RunPass(PassOf(PassId::To140));
}

}  // namespace kwt
