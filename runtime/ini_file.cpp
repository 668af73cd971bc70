#include "runtime/ini_file.h"

#include <limits>
#include <utility>

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
  store.Parse(text);
  return store;
}

void TMemIniFile::Load() {
  const std::string& path = FileName();
  if (path.empty() || !FileIsPresent(path)) return;

  const auto cannot_open = [&path] { return EFOpenError(texts::Format(texts::kCannotOpenFileFormat, path)); };
  // Others may read the file meanwhile, but nobody may change it under us.
  platform::FileHandle file;
  if (platform::Open(path, platform::Access::Read, platform::kShareRead, platform::Creation::OpenExisting,
                     file) != platform::error::kSuccess) {
    throw cannot_open();
  }
  std::uint64_t size = 0;
  if (platform::Size(file, size) != platform::error::kSuccess ||
      size > std::numeric_limits<std::size_t>::max() / 2) {
    throw cannot_open();
  }
  // One read brings the whole file. Only a system that hands out less than
  // asked (a file that shrank meanwhile) needs another; the text ends where
  // the file did.
  std::string bytes(static_cast<std::size_t>(size), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    std::size_t transferred = 0;
    if (platform::Read(file, bytes.data() + got, bytes.size() - got, transferred) !=
        platform::error::kSuccess) {
      throw cannot_open();
    }
    if (transferred == 0) break;
    got += transferred;
  }
  bytes.resize(got);
  platform::Close(file);
  Parse(bytes);
}

void TMemIniFile::Parse(std::string_view text) {
  THashedStringList* current = nullptr;
  std::size_t pos = 0;
  // A line ends at CR, LF or NUL; CR LF counts as one break, LF CR as two.
  // A NUL ends the text as well as the line.
  while (pos < text.size() && text[pos] != kNul) {
    const std::size_t begin = pos;
    while (pos < text.size() && text[pos] != kCr && text[pos] != kLf && text[pos] != kNul) ++pos;
    const std::string_view line = Trim(text.substr(begin, pos - begin));
    if (pos < text.size() && text[pos] == kCr) ++pos;
    if (pos < text.size() && text[pos] == kLf) ++pos;

    if (line.empty() || line.front() == ';') continue;
    // The bracket tests look at single bytes: a "]" that is the trail byte of
    // a double-byte character (ゾ is 83 5D) still closes the header.
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      auto lines = std::make_unique<THashedStringList>();
      lines->SetCaseSensitive(sections_->CaseSensitive());
      current = lines.get();
      sections_->AddObject(std::string(Trim(line.substr(1, line.size() - 2))), std::move(lines));
      continue;
    }
    if (current == nullptr) continue;  // Text before the first header is not kept.
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      current->Add(std::string(line));
      continue;
    }
    const std::string_view name = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    std::string stored;
    stored.reserve(name.size() + 1 + value.size());
    stored.append(name).append(1, '=').append(value);
    current->Add(std::move(stored));
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
  return lines->Strings(static_cast<std::size_t>(index)).substr(key.size() + 1);
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

std::string TMemIniFile::SavedText() const {
  return TextWith(nullptr);
}

std::string TMemIniFile::SavedTextWith(std::string_view section, std::string_view key,
                                       std::string_view value) const {
  const Change change{section, key, value};
  return TextWith(&change);
}

std::string TMemIniFile::TextWith(const Change* change) const {
  // The change goes where WriteText would put it: over the key's line in the
  // last matching section, after that section's lines, or in a new section at
  // the end.
  const THashedStringList* changed = change ? FindSection(change->section) : nullptr;
  const std::ptrdiff_t changedLine = changed ? changed->IndexOfName(change->key) : -1;
  std::string line;
  if (change) line.append(change->key).append(1, '=').append(change->value);

  // Sized exactly first, so the text is built in one buffer.
  std::size_t size = 0;
  for (std::size_t i = 0; i < sections_->Count(); ++i) {
    const THashedStringList& lines = *sections_->Objects(i);
    size += sections_->Strings(i).size() + 2 + lines.TextBytes() + (lines.Count() + 2) * kLineBreak.size();
  }
  if (change) size += change->section.size() + 2 + line.size() + 3 * kLineBreak.size();
  std::string text;
  text.reserve(size);
  const auto appendSection = [&](std::string_view name) {
    text.append(1, '[').append(name).append(1, ']').append(kLineBreak);
  };
  for (std::size_t i = 0; i < sections_->Count(); ++i) {
    appendSection(sections_->Strings(i));
    const THashedStringList& lines = *sections_->Objects(i);
    const bool isChanged = &lines == changed;
    for (std::size_t j = 0; j < lines.Count(); ++j) {
      const bool replaced = isChanged && static_cast<std::ptrdiff_t>(j) == changedLine;
      text.append(replaced ? line : lines.Strings(j)).append(kLineBreak);
    }
    if (isChanged && changedLine < 0) text.append(line).append(kLineBreak);
    text.append(kLineBreak);
  }
  if (change && changed == nullptr) {
    appendSection(change->section);
    text.append(line).append(kLineBreak).append(kLineBreak);
  }
  return text;
}

PendingSave TMemIniFile::PrepareSave() const {
  return PrepareSaveOf(SavedText());
}

PendingSave TMemIniFile::PrepareSaveWith(std::string_view section, std::string_view key,
                                         std::string_view value) const {
  return PrepareSaveOf(SavedTextWith(section, key, value));
}

PendingSave TMemIniFile::PrepareSaveOf(std::string_view text) const {
  const std::string& path = FileName();
  // Prove first that the project file itself can be replaced: a read-only
  // file, or one that somebody holds, fails here while nothing has changed.
  platform::FileHandle existing;
  const platform::ErrorCode opened = platform::Open(path, platform::Access::ReadWrite, platform::kShareNone,
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
  std::string temporary_path = PendingSavePath();
  platform::FileHandle file;
  if (platform::RemoveWorkFile(temporary_path) != platform::error::kSuccess ||
      platform::Open(temporary_path, platform::Access::ReadWrite, platform::kShareNone,
                     platform::Creation::CreateNew, file) != platform::error::kSuccess) {
    ThrowCannotCreate(path);
  }
  // The new file takes the old one's place, so it takes its permissions too: a
  // private project file stays private.
  if (existing) {
    platform::CopyPermissions(existing, file);
    existing = platform::FileHandle();
  } else {
    platform::GiveDefaultPermissions(file);
  }
  // From here on the pending save removes the temporary file if we fail.
  PendingSave pending(path, replacementTarget_, std::move(temporary_path), std::move(file));

  if (!text.empty()) {
    std::size_t written = 0;
    if (platform::Write(pending.file_, text.data(), text.size(), written) != platform::error::kSuccess ||
        written != text.size()) {
      throw EWriteError(std::string(texts::kStreamWriteError));
    }
  }
  // Durable, name and all: a run that stops after the contents file has been
  // replaced finishes from this file.
  if (platform::Flush(pending.file_) != platform::error::kSuccess ||
      platform::SyncFolderOf(pending.temporary_path_) != platform::error::kSuccess) {
    throw EWriteError(std::string(texts::kStreamWriteError));
  }
  return pending;
}

std::string TMemIniFile::PendingSavePath() const {
  // Beside the file the project path names, so that the replacement is one
  // move within one folder even when the path is a link.
  return replacementTarget_ + std::string(kTemporarySuffix);
}

void TMemIniFile::Save() {
  PrepareSave().Commit();
}

PendingSave::PendingSave(std::string projectPath, std::string targetPath, std::string temporaryPath,
                         platform::FileHandle file) noexcept
    : project_path_(std::move(projectPath)),
      target_path_(std::move(targetPath)),
      temporary_path_(std::move(temporaryPath)),
      file_(std::move(file)) {}

PendingSave::PendingSave(PendingSave&& other) noexcept
    : project_path_(std::move(other.project_path_)),
      target_path_(std::move(other.target_path_)),
      temporary_path_(std::exchange(other.temporary_path_, {})),
      file_(std::move(other.file_)) {}

PendingSave& PendingSave::operator=(PendingSave&& other) noexcept {
  if (this != &other) {
    Discard();
    project_path_ = std::move(other.project_path_);
    target_path_ = std::move(other.target_path_);
    temporary_path_ = std::exchange(other.temporary_path_, {});
    file_ = std::move(other.file_);
  }
  return *this;
}

PendingSave::~PendingSave() {
  Discard();
}

void PendingSave::Discard() noexcept {
  if (temporary_path_.empty()) return;
  if (file_) platform::Close(file_);
  platform::Delete(temporary_path_);
  temporary_path_.clear();
}

void PendingSave::Commit(bool keepOnFailure) {
  if (temporary_path_.empty()) return;
  // The file was flushed when it was written. It stays held until it has
  // moved, so that another save of the same project cannot empty it first.
  const platform::ErrorCode code = platform::ReplaceHeld(file_, temporary_path_, target_path_);
  if (code == platform::error::kNotDurable) {
    // Moved, but a power cut could still undo it: the caller must not build on it.
    temporary_path_.clear();
    throw EInOutError(IoMessage(static_cast<std::int32_t>(code)), static_cast<std::int32_t>(code));
  }
  if (code != platform::error::kSuccess) {
    if (keepOnFailure) {
      Keep();
    } else {
      Discard();
    }
    ThrowCannotCreate(project_path_);
  }
  temporary_path_.clear();
}

void PendingSave::Keep() noexcept {
  if (file_) platform::Close(file_);
  temporary_path_.clear();
}

}  // namespace kwt
