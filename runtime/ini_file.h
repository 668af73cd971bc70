// The project store: an INI-syntax project file held completely in memory.
// The file is read once, when the store is created, and rewritten completely,
// in a normalised form, each time the store is saved; in between every read
// and write works on memory only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/hashed_string_list.h"
#include "runtime/integer_text.h"
#include "runtime/platform.h"

namespace kwt {

// The store's operation set. Numbers are read and written through the text
// operations, so every concrete store reads them the same way.
class TCustomIniFile {
 public:
  explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
  virtual ~TCustomIniFile() = default;
  TCustomIniFile(const TCustomIniFile&) = delete;
  TCustomIniFile& operator=(const TCustomIniFile&) = delete;

  // The path the store was created on, exactly as passed.
  const std::string& FileName() const noexcept { return fileName_; }

  // The value of the key in the section, or defaultValue when either is missing.
  virtual std::string ReadText(std::string_view section, std::string_view key,
                               std::string_view defaultValue) = 0;
  // Replaces the key's value or adds the key, creating the section when missing.
  virtual void WriteText(std::string_view section, std::string_view key, std::string_view value) = 0;
  // The value converted by ParseInteger, or defaultValue when missing or not an integer.
  std::int32_t ReadNumber(std::string_view section, std::string_view key, std::int32_t defaultValue);
  // WriteText with the decimal text of value.
  void WriteNumber(std::string_view section, std::string_view key, std::int32_t value);
  // Rewrites the whole file; EFCreateError or EWriteError on failure.
  virtual void Save() = 0;

 protected:
  TCustomIniFile(TCustomIniFile&&) = default;
  TCustomIniFile& operator=(TCustomIniFile&&) = default;

 private:
  std::string fileName_;
};

// The folder a project file is saved in, held for a conversion, and the
// project file's name there (the last part of ReplacementTarget()): the save
// file is made, and moved over the project file, in that folder and no other,
// whatever the paths lead to by then. A link at either name is not followed.
struct SaveFolder {
  const platform::HeldFolder* folder = nullptr;
  std::string name;
};

// A project file's new text, written completely to a temporary file beside it
// and waiting to replace it. The temporary file stays open exclusively until
// Commit; destroying an uncommitted save removes it and leaves the project
// file as it was.
class PendingSave {
 public:
  PendingSave(PendingSave&& other) noexcept;
  PendingSave& operator=(PendingSave&& other) noexcept;
  PendingSave(const PendingSave&) = delete;
  PendingSave& operator=(const PendingSave&) = delete;
  ~PendingSave();

  // Replaces the project file with the new text in one step. On failure raises
  // EFCreateError with the project path and leaves the project file as it
  // was, removing the temporary file unless keepOnFailure (the contents file
  // has been replaced already: the next run finishes from the new text);
  // EInOutError (platform::error::kNotDurable) when the move happened but
  // could not be made durable. Does nothing once committed or moved from.
  void Commit(bool keepOnFailure = false);
  // Lets go of the new text without committing it and leaves it on disk, so
  // that the next run can finish from it (the contents file was replaced but
  // the project file could not be).
  void Keep() noexcept;

  // Where the new text waits (for tests and diagnostics).
  const std::string& TemporaryPath() const noexcept { return temporaryPath_; }
  // What the new file could not take of the old one's permissions
  // (platform::CopyPermissions); 0 when all of it, or when there was none.
  platform::PermissionParts PermissionsNotKept() const noexcept { return permissionsNotKept_; }
  // The new file's stamp just before Commit moved it; none before.
  const std::optional<platform::FileStamp>& MovedStamp() const noexcept { return movedStamp_; }
  // The digest of the new text (see runtime/digest.h).
  std::uint64_t Digest() const noexcept { return digest_; }

 private:
  friend class TMemIniFile;
  PendingSave(std::string projectPath, std::string targetPath, std::string temporaryPath,
              platform::FileHandle file, const SaveFolder* in) noexcept;
  void Discard() noexcept;

  std::string projectPath_;    // As the store was created on: the one errors name.
  std::string targetPath_;     // The file to replace (a link followed).
  std::string temporaryPath_;  // Empty when nothing is pending.
  platform::FileHandle file_;
  // The held folder both files are reached in, and their names there; null
  // for the paths above.
  const platform::HeldFolder* folder_ = nullptr;
  std::string targetName_;
  std::string temporaryName_;
  platform::PermissionParts permissionsNotKept_ = 0;
  std::optional<platform::FileStamp> movedStamp_;
  std::uint64_t digest_ = 0;
};

class TMemIniFile : public TCustomIniFile {
 public:
  // Loads the file at path. An empty path, or one where no file exists, gives
  // an empty store; a file that exists but cannot be read raises EFOpenError.
  explicit TMemIniFile(std::string path);
  // A store bound to path whose content is parsed from text; touches no file.
  static TMemIniFile FromText(std::string path, std::string_view text);

  TMemIniFile(TMemIniFile&&) = default;
  TMemIniFile& operator=(TMemIniFile&&) = default;
  ~TMemIniFile() override = default;

  std::string ReadText(std::string_view section, std::string_view key,
                       std::string_view defaultValue) override;
  void WriteText(std::string_view section, std::string_view key, std::string_view value) override;
  // PrepareSave().Commit().
  void Save() override;

  // First proves that the project file can be replaced (an existing one must
  // open for writing, or EFCreateError), then writes the whole normalised
  // text to a new temporary file beside it, flushes it and makes its name
  // durable (EFCreateError when it cannot be created, EWriteError when it is
  // not written completely or not made durable). Whatever had the temporary
  // file's name before is removed, never written through. The project file is
  // not changed until Commit.
  // With in, every file is reached in that held folder instead of by path.
  PendingSave PrepareSave(const SaveFolder* in = nullptr) const;
  // PrepareSave of the store as it would be after WriteText(section, key,
  // value); the store itself stays as it is.
  PendingSave PrepareSaveWith(std::string_view section, std::string_view key, std::string_view value,
                              const SaveFolder* in = nullptr) const;
  // A store as this one would be after WriteText(section, key, value), bound
  // to the same file as it was read (its replacement target and stamp): for a
  // save that changes two values, while this store keeps describing the file.
  TMemIniFile CopyWith(std::string_view section, std::string_view key, std::string_view value) const;
  // Where PrepareSave writes the new text before it replaces the project file.
  std::string PendingSavePath() const;
  // The file a save replaces: the project path, or the file a link there
  // named when the store was created. Fixed then, so that a link put in the
  // project's place meanwhile cannot send the save elsewhere.
  const std::string& ReplacementTarget() const noexcept { return replacementTarget_; }

  // The normalised bytes that saving writes: each section's header, its lines
  // and one empty line, every line followed by CR LF.
  std::string SavedText() const;
  // SavedText of the store as it would be after WriteText(section, key, value).
  std::string SavedTextWith(std::string_view section, std::string_view key, std::string_view value) const;
  // True when the file at path holds exactly SavedTextWith(section, key,
  // value); false when it cannot be read. Compared in pieces, so that a large
  // project is not held a second time.
  bool FileHoldsSavedTextWith(std::string_view path, std::string_view section, std::string_view key,
                              std::string_view value) const;
  // True when this store and other save the same bytes, each with value
  // written into it as WriteText would. Compared in pieces.
  bool SavesLikeWith(const TMemIniFile& other, std::string_view section, std::string_view key,
                     std::string_view value) const;

  // True when the file a save would replace is still the one the store read
  // (or last put there itself), unchanged: the same file, size, write and
  // change time, and the same bytes (read again: a coarse clock shows no
  // rewrite within its tick). A store that found no file wants none there
  // still. With in,
  // the name is asked in that held folder, where a link counts as a change;
  // otherwise at ReplacementTarget(). A look that cannot be made (too many
  // open files, a read that fails) is no change: it answers false and, where
  // failure is given, the code of the call that failed.
  bool FileIsAsLoaded(const SaveFolder* in = nullptr, platform::ErrorCode* failure = nullptr) const;
  // Tells the store that the project file has just been replaced by a file
  // of its own (a committed save, or the saved text of a stopped run), whose
  // stamp before the move was moved and whose bytes have digest (none when
  // not known): later checks compare with that file.
  void NoteReplacement(const platform::FileStamp& moved, std::optional<std::uint64_t> digest,
                       const SaveFolder* in = nullptr);

  // Switches name matching between exact bytes (true) and upper-cased names (false).
  void SetCaseSensitivity(bool value);

  // The content, for inspection: section names, and the lines of a section.
  const THashedStringList& Sections() const noexcept { return *sections_; }

 private:
  struct NoFile {};
  TMemIniFile(std::string path, NoFile);
  void Load();
  // Takes the file's bytes as the store's own and splits them into sections
  // and lines that point into them.
  void Parse(std::unique_ptr<char[]> bytes, std::size_t size);
  // The lines of the last section matching name, or null.
  THashedStringList* FindSection(std::string_view name) const;
  // One value that saving writes in place of the stored one (see SavedTextWith).
  struct Change {
    std::string_view section;
    std::string_view key;
    std::string_view value;
  };
  // Hands out the saved text in pieces, straight from the sections.
  class SavedTextReader;
  std::string TextWith(const Change* change) const;
  PendingSave PrepareSaveOf(const Change* change, const SaveFolder* in) const;

  // The loaded file, normalised in place: the lines read from it are views
  // into it, so it lives as long as they do (and never moves).
  std::unique_ptr<char[]> loaded_;
  std::unique_ptr<THashedStringList> sections_;
  std::string replacementTarget_;
  // The stamp of the file read (taken before its bytes were), or of the file
  // the store last put in its place; none when there was no file.
  std::optional<platform::FileStamp> stamp_;
  // The digest of that file's bytes; none when not known.
  std::optional<std::uint64_t> digest_;
};

// One value of a project file as a store on it would read it (the last
// section of that name and, in it, the last key of that name win; names in
// any letter case; reading ends at the first NUL byte), found without holding
// the file: it is read a piece at a time and only the line at hand is kept,
// so that a file of gigabytes costs no memory and a sparse one (all NUL
// bytes) no time. For the project files around a contents file, of which
// only one value matters.
struct ScannedValue {
  // Why the file could not be read; kSuccess when it was.
  platform::ErrorCode error = platform::error::kSuccess;
  // None when the file stores no such value.
  std::optional<std::string> value;
  // The value is longer than any path (or its blanks run longer than one
  // would have), and value holds only its start: it names no file.
  bool cut = false;
};
ScannedValue ScanStoredValue(std::string_view path, std::string_view section, std::string_view key);

}  // namespace kwt
