#include "runtime/ini_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "runtime/cp932_text.h"
#include "runtime/digest.h"
#include "runtime/errors.h"
#include "runtime/file_names.h"
#include "runtime/record_file.h"
#include "runtime/texts.h"

namespace kwt {

namespace {

constexpr char kCr = '\x0D';
constexpr char kLf = '\x0A';
constexpr char kNul = '\0';
constexpr std::string_view kLineBreak = "\r\n";
// Appended to the project path to name the file the new text waits in.
constexpr std::string_view kTemporarySuffix = "$$$";
// The saved text goes to the file through a buffer of this size, and is
// compared with a file's bytes in pieces of this size: a project file is
// never held a second time, however large it is.
constexpr std::size_t kWritePiece = std::size_t{1} << 18;
constexpr std::size_t kComparePiece = std::size_t{1} << 16;

// Space, tab, CR, Ctrl-Z and every other control byte; a trail byte of a
// double-byte character is never in this range, so trimming cannot split one.
bool IsBlank(char byte) {
  return static_cast<unsigned char>(byte) <= 0x20;
}

std::string_view Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

[[noreturn]] void ThrowCannotCreate(std::string_view path) {
  throw EFCreateError(texts::Format(texts::kCannotCreateFileFormat, path));
}

// Reads until size bytes have come or the file ends; answers how many came,
// or nothing when a read fails.
std::optional<std::size_t> ReadUpTo(platform::FileHandle& file, char* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    std::size_t transferred = 0;
    if (platform::Read(file, buffer + got, size - got, transferred) != platform::error::kSuccess) {
      return std::nullopt;
    }
    if (transferred == 0) break;
    got += transferred;
  }
  return got;
}

}  // namespace

std::int32_t TCustomIniFile::ReadNumber(std::string_view section, std::string_view key,
                                        std::int32_t defaultValue) {
  return ParseInteger(ReadText(section, key, {})).value_or(defaultValue);
}

void TCustomIniFile::WriteNumber(std::string_view section, std::string_view key, std::int32_t value) {
  WriteText(section, key, IntegerText(value));
}

TMemIniFile::TMemIniFile(std::string path, NoFile)
    : TCustomIniFile(std::move(path)),
      sections_(std::make_unique<THashedStringList>()),
      replacementTarget_(platform::ReplacementTarget(FileName())) {}

TMemIniFile::TMemIniFile(std::string path) : TMemIniFile(std::move(path), NoFile{}) {
  Load();
}

TMemIniFile TMemIniFile::FromText(std::string path, std::string_view text) {
  TMemIniFile store(std::move(path), NoFile{});
  auto bytes = std::make_unique_for_overwrite<char[]>(text.size());
  if (!text.empty()) std::memcpy(bytes.get(), text.data(), text.size());
  store.Parse(std::move(bytes), text.size());
  return store;
}

void TMemIniFile::Load() {
  const std::string& path = FileName();
  if (path.empty() || !FileIsPresent(path)) return;

  const auto cannotOpen = [&path] { return EFOpenError(texts::Format(texts::kCannotOpenFileFormat, path)); };
  // Others may read the file meanwhile, but nobody may change it under us.
  platform::FileHandle file;
  if (platform::Open(path, platform::Access::Read, platform::kShareRead, platform::Creation::OpenExisting,
                     file) != platform::error::kSuccess) {
    throw cannotOpen();
  }
  // Stamped before the bytes are read: a change made while they are read
  // shows as a change afterwards.
  platform::FileStamp stamp;
  std::uint64_t size = 0;
  if (platform::StampOf(file, stamp) != platform::error::kSuccess ||
      platform::Size(file, size) != platform::error::kSuccess ||
      size > std::numeric_limits<std::size_t>::max() / 2) {
    throw cannotOpen();
  }
  stamp_ = stamp;
  // One read brings the whole file. Only a system that hands out less than
  // asked (a file that shrank meanwhile) needs another; the text ends where
  // the file did. Nothing is cleared first: every byte used is read.
  auto bytes = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(size));
  const std::optional<std::size_t> got = ReadUpTo(file, bytes.get(), static_cast<std::size_t>(size));
  if (!got) throw cannotOpen();
  platform::Close(file);
  Digest digest;
  digest.Add(bytes.get(), *got);
  digest_ = digest.Value();
  Parse(std::move(bytes), *got);
}

void TMemIniFile::Parse(std::unique_ptr<char[]> bytes, std::size_t size) {
  char* const text = bytes.get();
  loaded_ = std::move(bytes);
  THashedStringList* current = nullptr;
  std::size_t pos = 0;
  // A line ends at CR, LF or NUL; CR LF counts as one break, LF CR as two.
  // A NUL ends the text as well as the line.
  while (pos < size && text[pos] != kNul) {
    const std::size_t begin = pos;
    while (pos < size && text[pos] != kCr && text[pos] != kLf && text[pos] != kNul) ++pos;
    const std::string_view line = Trim(std::string_view(text + begin, pos - begin));
    if (pos < size && text[pos] == kCr) ++pos;
    if (pos < size && text[pos] == kLf) ++pos;

    if (line.empty() || line.front() == ';') continue;
    // The bracket tests look at single bytes: a "]" that is the trail byte of
    // a double-byte character (ゾ is 83 5D) still closes the header.
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      auto lines = std::make_unique<THashedStringList>();
      lines->SetCaseSensitive(sections_->CaseSensitive());
      current = lines.get();
      sections_->AddView(Trim(line.substr(1, line.size() - 2)), std::move(lines));
      continue;
    }
    if (current == nullptr) continue;  // Text before the first header is not kept.
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      current->AddView(line);
      continue;
    }
    // The stored line is the trimmed name, "=" and the trimmed value. They are
    // moved together over the blanks between them, within the line's own
    // bytes, which nothing reads again: the line stays one view.
    const std::string_view name = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    char* const stored = text + (name.data() - text);
    stored[name.size()] = '=';
    std::memmove(stored + name.size() + 1, value.data(), value.size());
    current->AddView(std::string_view(stored, name.size() + 1 + value.size()));
  }
}

THashedStringList* TMemIniFile::FindSection(std::string_view name) const {
  const std::ptrdiff_t index = sections_->IndexOf(name);
  return index < 0 ? nullptr : sections_->Objects(static_cast<std::size_t>(index));
}

std::string TMemIniFile::ReadText(std::string_view section, std::string_view key,
                                  std::string_view defaultValue) {
  const THashedStringList* lines = FindSection(section);
  if (lines == nullptr) return std::string(defaultValue);
  const std::ptrdiff_t index = lines->IndexOfName(key);
  if (index < 0) return std::string(defaultValue);
  // A matching name has the key's length, so the value starts right after it
  // and its "=". The value is returned as stored, untrimmed.
  return std::string(lines->Strings(static_cast<std::size_t>(index)).substr(key.size() + 1));
}

void TMemIniFile::WriteText(std::string_view section, std::string_view key, std::string_view value) {
  THashedStringList* lines = FindSection(section);
  if (lines == nullptr) {
    auto created = std::make_unique<THashedStringList>();
    created->SetCaseSensitive(sections_->CaseSensitive());
    lines = created.get();
    sections_->AddObject(std::string(section), std::move(created));
  }
  std::string line;
  line.reserve(key.size() + 1 + value.size());
  line.append(key).append(1, '=').append(value);
  // Replacing in place gives the stored name the writer's letter case.
  const std::ptrdiff_t index = lines->IndexOfName(key);
  if (index < 0) {
    lines->Add(std::move(line));
  } else {
    lines->Put(static_cast<std::size_t>(index), std::move(line));
  }
}

void TMemIniFile::SetCaseSensitivity(bool value) {
  if (value == sections_->CaseSensitive()) return;
  for (std::size_t i = 0; i < sections_->Count(); ++i) sections_->Objects(i)->SetCaseSensitive(value);
  sections_->SetCaseSensitive(value);
}

// Each section's header, its lines and one empty line, with the change where
// WriteText would put it: over the key's line in the last matching section,
// after that section's lines, or in a new section at the end. The pieces are
// views into the store, which must not change while they are read.
class TMemIniFile::SavedTextReader {
 public:
  SavedTextReader(const TMemIniFile& store, const Change* change) : sections_(*store.sections_) {
    if (change != nullptr) {
      hasChange_ = true;
      changed_ = store.FindSection(change->section);
      changedLine_ = changed_ ? changed_->IndexOfName(change->key) : -1;
      createdName_ = change->section;
      line_.append(change->key).append(1, '=').append(change->value);
    }
    sectionCount_ = sections_.Count() + (hasChange_ && changed_ == nullptr ? 1 : 0);
  }

  // The length of the whole text.
  std::size_t Size() const {
    std::size_t size = 0;
    for (std::size_t i = 0; i < sections_.Count(); ++i) {
      const THashedStringList& lines = *sections_.Objects(i);
      size += sections_.Strings(i).size() + 2 + lines.TextBytes() + (lines.Count() + 2) * kLineBreak.size();
    }
    if (!hasChange_) return size;
    if (changed_ == nullptr) return size + createdName_.size() + 2 + line_.size() + 3 * kLineBreak.size();
    if (changedLine_ < 0) return size + line_.size() + kLineBreak.size();
    return size - changed_->Strings(static_cast<std::size_t>(changedLine_)).size() + line_.size();
  }

  // Copies the next bytes of the text into buffer, at most size of them, and
  // answers how many; 0 once the text has been handed out.
  std::size_t Read(char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size && (!piece_.empty() || NextPiece())) {
      const std::size_t taken = std::min(piece_.size(), size - done);
      std::memcpy(buffer + done, piece_.data(), taken);
      piece_.remove_prefix(taken);
      done += taken;
    }
    return done;
  }

 private:
  bool NextPiece() {
    if (next_ == queued_ && !QueueRow()) return false;
    piece_ = queue_[next_++];
    return true;
  }

  // Queues the pieces of the next output line: the header, a line, the
  // change's line when it is added to the section, then the empty line.
  bool QueueRow() {
    next_ = 0;
    queued_ = 0;
    for (; section_ < sectionCount_; ++section_, row_ = 0) {
      const bool created = section_ == sections_.Count();
      const THashedStringList* lines = created ? nullptr : sections_.Objects(section_);
      const std::size_t count = lines ? lines->Count() : 0;
      const bool addsLine = hasChange_ && (created || (lines == changed_ && changedLine_ < 0));
      const std::size_t row = row_++;
      if (row == 0) {
        Queue("[");
        Queue(created ? createdName_ : sections_.Strings(section_));
        Queue("]\r\n");
        return true;
      }
      if (row <= count) {
        const std::size_t at = row - 1;
        const bool replaced = lines == changed_ && static_cast<std::ptrdiff_t>(at) == changedLine_;
        Queue(replaced ? std::string_view(line_) : lines->Strings(at));
        Queue(kLineBreak);
        return true;
      }
      if (addsLine && row == count + 1) {
        Queue(line_);
        Queue(kLineBreak);
        return true;
      }
      if (row == count + 1 + (addsLine ? 1 : 0)) {
        Queue(kLineBreak);
        return true;
      }
    }
    return false;
  }

  void Queue(std::string_view piece) { queue_[queued_++] = piece; }

  const THashedStringList& sections_;
  bool hasChange_ = false;
  const THashedStringList* changed_ = nullptr;
  std::ptrdiff_t changedLine_ = -1;
  std::string_view createdName_;
  std::string line_;  // The changed key's line.
  std::size_t sectionCount_ = 0;

  std::size_t section_ = 0;
  std::size_t row_ = 0;
  std::array<std::string_view, 3> queue_;
  std::size_t queued_ = 0;
  std::size_t next_ = 0;
  std::string_view piece_;
};

std::string TMemIniFile::SavedText() const {
  return TextWith(nullptr);
}

std::string TMemIniFile::SavedTextWith(std::string_view section, std::string_view key,
                                       std::string_view value) const {
  const Change change{section, key, value};
  return TextWith(&change);
}

std::string TMemIniFile::TextWith(const Change* change) const {
  SavedTextReader reader(*this, change);
  std::string text(reader.Size(), '\0');
  text.resize(reader.Read(text.data(), text.size()));
  return text;
}

bool TMemIniFile::FileHoldsSavedTextWith(std::string_view path, std::string_view section,
                                         std::string_view key, std::string_view value) const {
  const Change change{section, key, value};
  SavedTextReader reader(*this, &change);
  platform::FileHandle file;
  std::uint64_t size = 0;
  if (platform::Open(path, platform::Access::Read, platform::kShareRead, platform::Creation::OpenExisting,
                     file) != platform::error::kSuccess ||
      platform::Size(file, size) != platform::error::kSuccess || size != reader.Size()) {
    return false;
  }
  const auto expected = std::make_unique_for_overwrite<char[]>(kComparePiece);
  const auto found = std::make_unique_for_overwrite<char[]>(kComparePiece);
  for (;;) {
    const std::size_t wanted = reader.Read(expected.get(), kComparePiece);
    // One byte more than the text is asked for at its end: a file that grew
    // meanwhile is not the text.
    const std::optional<std::size_t> got = ReadUpTo(file, found.get(), wanted == 0 ? 1 : wanted);
    if (!got || *got != wanted || std::memcmp(expected.get(), found.get(), wanted) != 0) return false;
    if (wanted == 0) return true;
  }
}

bool TMemIniFile::SavesLikeWith(const TMemIniFile& other, std::string_view section, std::string_view key,
                                std::string_view value) const {
  const Change change{section, key, value};
  SavedTextReader mine(*this, &change);
  SavedTextReader theirs(other, &change);
  if (mine.Size() != theirs.Size()) return false;
  const auto a = std::make_unique_for_overwrite<char[]>(kComparePiece);
  const auto b = std::make_unique_for_overwrite<char[]>(kComparePiece);
  for (;;) {
    const std::size_t got = mine.Read(a.get(), kComparePiece);
    if (theirs.Read(b.get(), kComparePiece) != got || std::memcmp(a.get(), b.get(), got) != 0) return false;
    if (got == 0) return true;
  }
}

PendingSave TMemIniFile::PrepareSave(const SaveFolder* in) const {
  return PrepareSaveOf(nullptr, in);
}

PendingSave TMemIniFile::PrepareSaveWith(std::string_view section, std::string_view key,
                                         std::string_view value, const SaveFolder* in) const {
  const Change change{section, key, value};
  return PrepareSaveOf(&change, in);
}

namespace {

// Where a file of a save is reached: by name in the held folder when there is
// one, else by its path.
platform::Place PlaceOf(const platform::HeldFolder* folder, std::string_view name, std::string_view path) {
  return folder ? platform::Place(*folder, name) : platform::Place(path);
}

}  // namespace

PendingSave TMemIniFile::PrepareSaveOf(const Change* change, const SaveFolder* in) const {
  const std::string& path = FileName();
  const std::string temporaryName = in ? in->name + std::string(kTemporarySuffix) : std::string();
  // Prove first that the project file itself can be replaced: a read-only
  // file, or one that somebody holds, fails here while nothing has changed.
  const platform::HeldFolder* folder = in ? in->folder : nullptr;
  const std::string_view name = in ? std::string_view(in->name) : std::string_view();
  platform::FileHandle existing;
  const platform::ErrorCode opened =
      platform::Open(PlaceOf(folder, name, path), platform::Access::ReadWrite, platform::kShareNone,
                     platform::Creation::OpenExisting, existing);
  if (opened != platform::error::kSuccess && opened != platform::error::kFileNotFound)
    ThrowCannotCreate(path);
  // Writable is not enough: the move must be allowed in its folder too (a
  // sticky folder keeps another user's file from being replaced).
  if (opened == platform::error::kSuccess &&
      platform::CanReplaceIn(replacementTarget_) != platform::error::kSuccess) {
    ThrowCannotCreate(path);
  }

  // A file left under the temporary name (a stopped run, or somebody else's
  // link to anywhere) is removed, and the new text goes into a file made now.
  std::string temporaryPath = PendingSavePath();
  platform::FileHandle file;
  const platform::Place temporary = PlaceOf(folder, temporaryName, temporaryPath);
  const bool made = platform::RemoveWorkFile(temporary) == platform::error::kSuccess &&
                    platform::Open(temporary, platform::Access::ReadWrite, platform::kShareNone,
                                   platform::Creation::CreateNew, file) == platform::error::kSuccess;
  if (!made) ThrowCannotCreate(path);
  // The new file takes the old one's place, so it takes its permissions too: a
  // private project file stays private.
  platform::PermissionParts notKept = 0;
  if (existing) {
    notKept = platform::CopyPermissions(existing, file);
    existing = platform::FileHandle();
  } else {
    platform::GiveDefaultPermissions(file);
  }
  // From here on the pending save removes the temporary file if we fail.
  PendingSave pending(path, replacementTarget_, std::move(temporaryPath), std::move(file), in);
  pending.permissionsNotKept_ = notKept;

  // Straight from the store, piece by piece: the text is never built whole.
  // An empty text is no write at all.
  SavedTextReader reader(*this, change);
  const std::size_t piece = std::min(reader.Size(), kWritePiece);
  Digest digest;
  if (piece > 0) {
    const auto buffer = std::make_unique_for_overwrite<char[]>(piece);
    while (const std::size_t size = reader.Read(buffer.get(), piece)) {
      digest.Add(buffer.get(), size);
      std::size_t written = 0;
      if (platform::Write(pending.file_, buffer.get(), size, written) != platform::error::kSuccess ||
          written != size) {
        throw EWriteError(std::string(texts::kStreamWriteError));
      }
    }
  }
  // Durable, name and all: a run that stops after the contents file has been
  // replaced finishes from this file.
  if (platform::Flush(pending.file_) != platform::error::kSuccess ||
      platform::SyncFolderOf(PlaceOf(pending.folder_, pending.temporaryName_, pending.temporaryPath_)) !=
          platform::error::kSuccess) {
    throw EWriteError(std::string(texts::kStreamWriteError));
  }
  pending.digest_ = digest.Value();
  return pending;
}

TMemIniFile TMemIniFile::CopyWith(std::string_view section, std::string_view key,
                                  std::string_view value) const {
  TMemIniFile copy = FromText(FileName(), SavedTextWith(section, key, value));
  copy.SetCaseSensitivity(sections_->CaseSensitive());
  copy.replacementTarget_ = replacementTarget_;
  copy.stamp_ = stamp_;
  copy.digest_ = digest_;
  return copy;
}

std::string TMemIniFile::PendingSavePath() const {
  // Beside the file the project path names, so that the replacement is one
  // move within one folder even when the path is a link.
  return replacementTarget_ + std::string(kTemporarySuffix);
}

void TMemIniFile::Save() {
  PendingSave pending = PrepareSave();
  pending.Commit();
  if (pending.MovedStamp()) NoteReplacement(*pending.MovedStamp(), pending.Digest());
}

bool TMemIniFile::FileIsAsLoaded(const SaveFolder* in, platform::ErrorCode* failure) const {
  platform::FileStamp now;
  const platform::Place place = PlaceOf(
      in ? in->folder : nullptr, in ? std::string_view(in->name) : std::string_view(), replacementTarget_);
  const platform::ErrorCode code = platform::StampOf(place, now);
  const bool gone = code == platform::error::kFileNotFound || code == platform::error::kPathNotFound;
  const auto failed = [failure](platform::ErrorCode why) {
    if (failure != nullptr) *failure = why;
    return false;
  };
  // No file, another file or a link in its place is a change; a look that
  // fails is not.
  if (code != platform::error::kSuccess && !gone && code != platform::error::kLinkInTheWay)
    return failed(code);
  if (!stamp_) return gone;
  if (code != platform::error::kSuccess || !(now == *stamp_)) return false;
  // A clock that ticks in seconds (FAT, exFAT) shows no same-size rewrite
  // within its tick: the bytes themselves must be as read.
  if (!digest_) return true;
  platform::ErrorCode unread = platform::error::kSuccess;
  const std::optional<std::uint64_t> digest = DigestOf(place, &unread);
  if (!digest) return failed(unread);
  return digest == digest_;
}

void TMemIniFile::NoteReplacement(const platform::FileStamp& moved, std::optional<std::uint64_t> digest,
                                  const SaveFolder* in) {
  digest_ = digest;
  // The move changes the file's change time and nothing else: the file now at
  // the name is ours when it is the same file with the same size and write
  // time. Anything else keeps the stamp from before the move, which nothing
  // at the name can match, so the next check stops rather than save over it.
  platform::FileStamp now;
  const platform::ErrorCode code =
      platform::StampOf(PlaceOf(in ? in->folder : nullptr,
                                in ? std::string_view(in->name) : std::string_view(), replacementTarget_),
                        now);
  const bool ours = code == platform::error::kSuccess && now.device == moved.device &&
                    now.index == moved.index && now.size == moved.size && now.written == moved.written;
  stamp_ = ours ? now : moved;
}

PendingSave::PendingSave(std::string projectPath, std::string targetPath, std::string temporaryPath,
                         platform::FileHandle file, const SaveFolder* in) noexcept
    : projectPath_(std::move(projectPath)),
      targetPath_(std::move(targetPath)),
      temporaryPath_(std::move(temporaryPath)),
      file_(std::move(file)) {
  if (in) {
    folder_ = in->folder;
    targetName_ = in->name;
    temporaryName_ = in->name + std::string(kTemporarySuffix);
  }
}

PendingSave::PendingSave(PendingSave&& other) noexcept
    : projectPath_(std::move(other.projectPath_)),
      targetPath_(std::move(other.targetPath_)),
      temporaryPath_(std::exchange(other.temporaryPath_, {})),
      file_(std::move(other.file_)),
      folder_(other.folder_),
      targetName_(std::move(other.targetName_)),
      temporaryName_(std::move(other.temporaryName_)),
      permissionsNotKept_(other.permissionsNotKept_),
      movedStamp_(other.movedStamp_),
      digest_(other.digest_) {}

PendingSave& PendingSave::operator=(PendingSave&& other) noexcept {
  if (this != &other) {
    Discard();
    projectPath_ = std::move(other.projectPath_);
    targetPath_ = std::move(other.targetPath_);
    temporaryPath_ = std::exchange(other.temporaryPath_, {});
    file_ = std::move(other.file_);
    folder_ = other.folder_;
    targetName_ = std::move(other.targetName_);
    temporaryName_ = std::move(other.temporaryName_);
    permissionsNotKept_ = other.permissionsNotKept_;
    movedStamp_ = other.movedStamp_;
    digest_ = other.digest_;
  }
  return *this;
}

PendingSave::~PendingSave() {
  Discard();
}

void PendingSave::Discard() noexcept {
  if (temporaryPath_.empty()) return;
  // Deleted while still held where the system allows, so that no other
  // save's file goes in its place.
  const platform::Place temporary = PlaceOf(folder_, temporaryName_, temporaryPath_);
  if (file_) {
    (void)platform::DeleteHeld(file_, temporary);
  } else {
    (void)platform::Delete(temporary);
  }
  temporaryPath_.clear();
}

void PendingSave::Commit(bool keepOnFailure) {
  if (temporaryPath_.empty()) return;
  platform::FileStamp before;
  if (file_ && platform::StampOf(file_, before) == platform::error::kSuccess) movedStamp_ = before;
  // The file was flushed when it was written. It stays held until it has
  // moved, so that another save of the same project cannot empty it first.
  const platform::ErrorCode code = platform::ReplaceHeld(
      file_, PlaceOf(folder_, temporaryName_, temporaryPath_), PlaceOf(folder_, targetName_, targetPath_));
  if (code == platform::error::kNotDurable) {
    // Moved, but a power cut could still undo it: the caller must not build on it.
    temporaryPath_.clear();
    throw EInOutError(IoMessage(static_cast<std::int32_t>(code)), static_cast<std::int32_t>(code));
  }
  if (code != platform::error::kSuccess) {
    movedStamp_.reset();
    if (keepOnFailure) {
      Keep();
    } else {
      Discard();
    }
    ThrowCannotCreate(projectPath_);
  }
  temporaryPath_.clear();
}

void PendingSave::Keep() noexcept {
  if (file_) platform::Close(file_);
  temporaryPath_.clear();
}

namespace {

// What the scan keeps of one line: no line of a project file that names a
// contents file is longer, and a run of blanks longer than kKeptBlanks is
// kept that long, which leaves every name test as it was.
constexpr std::size_t kKeptLine = std::size_t{1} << 16;
constexpr std::size_t kKeptBlanks = 256;

// One line as the scan met it: its bytes from the first that is no blank, at
// most kKeptLine of them, runs of blanks squeezed; and what it ends in.
struct ScannedLine {
  std::string kept;
  bool overflowed = false;
  // Where the last run of blanks that was squeezed ends in kept, counting
  // only a run with text after it: leading and trailing blanks are trimmed
  // anyway.
  std::size_t squeezedAt = std::string::npos;
  std::size_t blankRun = 0;
  bool squeezing = false;
  char lastNonBlank = 0;

  void Add(char byte) {
    if (IsBlank(byte)) {
      if (kept.empty()) return;
      if (++blankRun > kKeptBlanks) {
        squeezing = true;
        return;
      }
    } else {
      if (squeezing) squeezedAt = kept.size();
      squeezing = false;
      blankRun = 0;
      lastNonBlank = byte;
    }
    if (kept.size() < kKeptLine) {
      kept.push_back(byte);
    } else {
      overflowed = true;
    }
  }
  void Clear() {
    kept.clear();
    overflowed = false;
    squeezedAt = std::string::npos;
    blankRun = 0;
    squeezing = false;
    lastNonBlank = 0;
  }
};

}  // namespace

ScannedValue ScanStoredValue(std::string_view path, std::string_view section, std::string_view key) {
  ScannedValue result;
  // A pipe or a device under a project's name holds no text, and opening a
  // pipe waits for a writer that may never come.
  if (platform::KindOf(path) != platform::FileKind::Regular) return result;
  platform::FileHandle file;
  result.error = platform::Open(path, platform::Access::Read, platform::kShareRead | platform::kShareWrite,
                                platform::Creation::OpenExisting, file);
  if (result.error != platform::error::kSuccess) return result;
  const std::string wantedSection = ansi::UpperCase(section);
  const std::string wantedKey = ansi::UpperCase(key);
  bool inSection = false;
  ScannedLine line;
  // The store's rules for one line (see Parse), on what the scan kept of it.
  const auto endLine = [&] {
    const std::string_view kept = Trim(line.kept);
    if (kept.empty() || kept.front() == ';') return;
    if (kept.front() == '[' && line.lastNonBlank == ']' && (line.overflowed || kept.size() >= 2)) {
      // A header too long to keep names no section of a few letters.
      inSection = !line.overflowed && ansi::UpperCase(Trim(kept.substr(1, kept.size() - 2))) == wantedSection;
      // The last section of the name is the one read: what came before is not.
      if (inSection) result = ScannedValue{};
      return;
    }
    if (!inSection) return;
    const std::size_t equals = kept.find('=');
    if (equals == std::string_view::npos || ansi::UpperCase(Trim(kept.substr(0, equals))) != wantedKey)
      return;
    const std::string_view value = Trim(kept.substr(equals + 1));
    const auto valueStart = static_cast<std::size_t>(value.data() - kept.data());
    result.value = std::string(value);
    // Blanks squeezed inside the value changed it; before it, nothing.
    result.cut = line.overflowed || (line.squeezedAt != std::string::npos && line.squeezedAt > valueStart);
  };
  std::vector<char> piece(kComparePiece);
  for (;;) {
    std::size_t got = 0;
    if (const platform::ErrorCode code = platform::Read(file, piece.data(), piece.size(), got)) {
      return ScannedValue{code, std::nullopt, false};
    }
    if (got == 0) break;
    for (std::size_t i = 0; i < got; ++i) {
      const char byte = piece[i];
      if (byte == kNul) {
        endLine();
        return result;
      }
      if (byte == kCr || byte == kLf) {
        endLine();
        line.Clear();
      } else {
        line.Add(byte);
      }
    }
  }
  endLine();
  return result;
}

}  // namespace kwt
