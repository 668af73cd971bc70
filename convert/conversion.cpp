#include "convert/conversion.h"

#include <array>
#include <charconv>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>

#include "convert/content_records.h"
#include "runtime/errors.h"
#include "runtime/file_names.h"
#include "runtime/platform.h"
#include "runtime/record_file.h"
#include "runtime/texts.h"

namespace kwt {

namespace {

constexpr std::string_view kSection = "KWJ";
constexpr std::string_view kVersionKey = "Version";
constexpr std::string_view kCountKey = "Count";
constexpr std::string_view kContentsKey = "KWT";
constexpr std::string_view kTemporaryName = "TMP.DAT";

constexpr std::int32_t kLayout103Version = 103;
constexpr std::int32_t kLayout140Version = 140;

// Which of the two files a pass closes first. Only the error reported when
// both closes fail depends on it.
enum class CloseOrder { TemporaryFirst, ContentsFirst };

struct PassKind {
  std::int32_t version;
  CloseOrder closeOrder;
};

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

// A run that stopped after replacing the contents file but before stamping the
// version leaves a file of Count target-size records behind the old version.
// Converting it again would read converted records as old ones and ruin them.
// Such a file has exactly Count target-size records, and its first record has
// the strings the mapping adds empty; an old file with more records than Count
// whose size matches by chance almost never has both. A file that cannot be
// read here is left to the open that follows, which reports why.
template <typename Source, typename Target>
void RefuseConvertedContents(std::string_view contentsPath, std::int32_t count) {
  platform::FileHandle file;
  std::uint64_t size = 0;
  if (platform::Open(contentsPath, platform::Access::Read, platform::kShareRead | platform::kShareWrite,
                     platform::Creation::OpenExisting, file) != platform::error::kSuccess ||
      platform::Size(file, size) != platform::error::kSuccess) {
    return;
  }
  const auto records = static_cast<std::uint64_t>(count);
  if (size != records * Target::kSize || size == records * Source::kSize) return;
  Target first;
  std::size_t read = 0;
  if (platform::Read(file, first.bytes.data(), Target::kSize, read) != platform::error::kSuccess ||
      read != Target::kSize) {
    return;
  }
  for (const std::size_t added : Target::kAddedTexts) {
    if (first.bytes[added] != 0) return;
  }
  throw EConvertError(texts::Format(texts::kAlreadyConvertedFormat, contentsPath));
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
}

void CloseAndCheck(RecordFile& file) {
  CloseRecordFile(file);
  CheckIo();
}

// Gives up the temporary file after the conversion is complete but cannot be
// put in place: the contents file is untouched, so its copy is of no use.
// While the hold lasts, the file is deleted before the hold ends, so that no
// other conversion's file is deleted in its place. A failing close cannot
// matter here; its code is not left pending.
void DiscardTemporary(RecordFile& temporary, platform::FileHandle& hold, std::string_view temporaryPath) noexcept {
  if (temporary.IsOpen()) {
    CloseRecordFile(temporary);
    TakeIoStatus();
  }
  if (hold) {
    (void)platform::DeleteHeld(hold, temporaryPath);
  } else {
    RemoveFile(temporaryPath);
  }
}

// One pass from Source to Target records. Every step that changes a file
// comes after everything that can refuse: the project file's new text is
// written beside it before the contents file is replaced, and the contents
// file is replaced in one step before the new version is committed.
template <typename Source, typename Target, auto Map>
void RunPass(ConversionFace& face, TMemIniFile& store, const ConversionOptions& options, PassKind kind) {
  const std::int32_t count = store.ReadNumber(kSection, kCountKey, 0);
  if (count == 0) {
    face.SetStatus(texts::kStatusNoContents);
    return;
  }
  // A negative count would convert nothing and replace the contents by an
  // empty file.
  if (count < 0) {
    throw EConvertError(texts::Format(texts::kNegativeCountFormat, std::to_string(count)));
  }

  const std::string contentsPath =
      options.contentsPath ? *options.contentsPath : store.ReadText(kSection, kContentsKey, {});
  face.SetTarget(ShortenPath(contentsPath, face.TargetMeasure(), face.TargetWidth()));
  const std::string temporaryPath = TemporaryPathFor(contentsPath);

  // All three are closed when they go out of scope, also when a step fails.
  RecordFile contents;
  RecordFile temporary;
  // Keeps the temporary file held after its record file is closed, until it
  // has moved: no other conversion can take it and write into what is about
  // to become our contents file.
  platform::FileHandle temporaryHold;
  if (FileIsPresent(contentsPath)) {
    RefuseProjectFileAsWorkFile(store, contentsPath, temporaryPath);
    RefuseConvertedContents<Source, Target>(contentsPath, count);
    AssignPath(contents, contentsPath);
    AssignPath(temporary, temporaryPath);
    OpenExisting(contents, Source::kSize);
    CheckIo();
    // Held exclusively: a second conversion in the same folder fails with 32
    // instead of mixing its records into ours.
    if (NamesTemporaryFile(contentsPath)) {
      SetIoStatus(static_cast<std::int32_t>(platform::error::kSharingViolation));
    } else {
      CreateEmpty(temporary, Target::kSize, Sharing::Exclusive);
    }
    CheckIo();
    HoldRecordFile(temporary, temporaryHold);
    CheckIo();
    // The new file takes the contents file's place, and so its permissions.
    platform::CopyPermissions(contentsPath, temporaryHold);

    Source source;
    Target target;
    ProgressText progress;
    for (std::int32_t i = 0; i < count; ++i) {
      face.SetStatus(progress.For(i));
      ReadRecord(contents, source.bytes.data());
      CheckIo();
      Map(source, target);
      WriteRecord(temporary, target.bytes.data());
      CheckIo();
    }
  }

  face.SetStatus(texts::kStatusFinishing);

  // When the contents file was missing nothing is open, and the first close
  // below reports 103 with nothing changed.
  std::optional<PendingSave> projectSave;
  if (temporary.IsOpen()) {
    FlushRecordFile(temporary);
    CheckIo();
    // The store changes only once the project file has its new text, so a
    // failure leaves it describing the files as they are.
    TMemIniFile updated = TMemIniFile::FromText(store.FileName(), store.SavedText());
    updated.WriteNumber(kSection, kVersionKey, kind.version);
    try {
      projectSave.emplace(updated.PrepareSave());
    } catch (...) {
      DiscardTemporary(temporary, temporaryHold, temporaryPath);
      throw;
    }
  }

  if (kind.closeOrder == CloseOrder::TemporaryFirst) {
    CloseAndCheck(temporary);
    CloseAndCheck(contents);
  } else {
    CloseAndCheck(contents);
    CloseAndCheck(temporary);
  }

  if (const platform::ErrorCode code = platform::ReplaceHeld(temporaryHold, temporaryPath, contentsPath);
      code != platform::error::kSuccess) {
    DiscardTemporary(temporary, temporaryHold, temporaryPath);
    const auto ioCode = static_cast<std::int32_t>(code);
    throw EInOutError(IoMessage(ioCode), ioCode);
  }
  // Engaged: without an open temporary file a close above has raised 103.
  projectSave->Commit();
  store.WriteNumber(kSection, kVersionKey, kind.version);

  face.SetStatus(texts::kStatusSuccess);
}

}  // namespace

Converter::Converter(ConversionFace& face, ConversionOptions options)
    : face_(face), options_(std::move(options)) {}

void Converter::Convert(std::string_view projectPath) {
  if (!FileIsPresent(projectPath)) {
    face_.SetStatus(texts::kStatusFileMissing);
    return;
  }
  // Replaced only once the new store has loaded.
  store_ = std::make_unique<TMemIniFile>(std::string(projectPath));
  store_->SetCaseSensitivity(false);

  const std::int32_t version = store_->ReadNumber(kSection, kVersionKey, 0);
  if (version < kLayout103Version) {
    To103();
    To140();
  } else if (version < kLayout140Version) {
    To140();
  } else {
    face_.SetStatus(texts::kStatusUpToDate);
  }
}

void Converter::To103() {
  if (!store_) throw std::logic_error("To103 needs a project: call Convert first");
  RunPass<ContentRecord102, ContentRecord103, MapTo103>(face_, *store_, options_,
                                                        {kLayout103Version, CloseOrder::TemporaryFirst});
}

void Converter::To140() {
  if (!store_) throw std::logic_error("To140 needs a project: call Convert first");
  RunPass<ContentRecord103, ContentRecord140, MapTo140>(face_, *store_, options_,
                                                        {kLayout140Version, CloseOrder::ContentsFirst});
}

}  // namespace kwt
