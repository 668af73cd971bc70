#include "runtime/record_file.h"

#include <string>
#include <utility>

#include "runtime/texts.h"

namespace kwt {

namespace {

thread_local std::int32_t tIoStatus = 0;

// Where the pending code is the platform's, it is stored as the signed value
// that the platform's 32 bits hold.
void SetPlatformStatus(platform::ErrorCode code) noexcept {
  SetIoStatus(static_cast<std::int32_t>(code));
}

enum class OpenKind { Create, CreateNew, ReadWrite, WriteOnly, ReadOnly };

struct IoMessageRow {
  std::int32_t code;
  std::string_view text;
};

// Searched from the first row.
constexpr IoMessageRow kIoMessageTable[] = {
    {2, texts::kIoFileNotFound}, {3, texts::kIoInvalidFileName}, {4, texts::kIoTooManyOpenFiles},
    {5, texts::kIoAccessDenied}, {100, texts::kIoReadPastEnd},   {101, texts::kIoDiskFull},
    {106, texts::kIoNotNumeric},
};

OpenKind KindForOpenMode(std::uint8_t openMode) noexcept {
  switch (openMode & 3) {
    case 0: return OpenKind::ReadOnly;
    case 1: return OpenKind::WriteOnly;
    default: return OpenKind::ReadWrite;
  }
}

}  // namespace

// The steps that OpenExisting and CreateEmpty share, with access to the
// variable's fields.
struct RecordFileAccess {
  // Closes the open file without the not-open check: the close that an open
  // does first, and CloseRecordFile's own work.
  static void CloseHandleOf(RecordFile& file) noexcept {
    file.mode_ = record_mode::kClosed;
    if (const platform::ErrorCode code = platform::Close(file.handle_); code != platform::error::kSuccess) {
      SetPlatformStatus(code);
    }
  }

  // held: the folder the file is reached in, as name; null for the bound path.
  static void Open(RecordFile& file, OpenKind kind, std::uint32_t recordSize, std::uint32_t share,
                   const platform::HeldFolder* held = nullptr, std::string_view name = {}) {
    if (!file.IsAssigned()) {
      SetIoStatus(io_code::kNotAssigned);
      return;
    }
    if (file.IsOpen()) {
      CloseHandleOf(file);
    }
    file.mode_ = record_mode::kInOut;
    file.recordSize_ = recordSize;

    // Refused as the system refuses a path it cannot take: nothing is opened,
    // created or truncated, and nothing is cut to fit.
    if (file.pathTooLong_) {
      file.mode_ = record_mode::kClosed;
      SetPlatformStatus(platform::error::kPathNotFound);
      return;
    }
    // A NUL inside the path would make the system open a different, shorter
    // name than the one given.
    if (file.Path().find('\0') != std::string_view::npos) {
      file.mode_ = record_mode::kClosed;
      SetPlatformStatus(platform::error::kInvalidName);
      return;
    }

    platform::Access access = platform::Access::ReadWrite;
    platform::Creation creation = platform::Creation::OpenExisting;
    std::uint16_t modeAfter = record_mode::kInOut;
    switch (kind) {
      case OpenKind::Create: creation = platform::Creation::CreateAlways; break;
      case OpenKind::CreateNew: creation = platform::Creation::CreateNew; break;
      case OpenKind::ReadWrite: break;
      case OpenKind::WriteOnly:
        access = platform::Access::Write;
        modeAfter = record_mode::kOutput;
        break;
      case OpenKind::ReadOnly:
        access = platform::Access::Read;
        modeAfter = record_mode::kInput;
        break;
    }

    const platform::ErrorCode code =
        platform::Open(held ? platform::Place(*held, name) : platform::Place(file.Path()), access, share,
                       creation, file.handle_);
    if (code != platform::error::kSuccess) {
      file.mode_ = record_mode::kClosed;
      SetPlatformStatus(code);
      return;
    }
    file.mode_ = modeAfter;
  }
};

RecordFile::RecordFile(RecordFile&& other) noexcept
    : path_(other.path_),
      pathLength_(other.pathLength_),
      pathTooLong_(other.pathTooLong_),
      handle_(std::move(other.handle_)),
      mode_(std::exchange(other.mode_, record_mode::kUnassigned)),
      recordSize_(std::exchange(other.recordSize_, 0)) {}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
  if (this != &other) {
    path_ = other.path_;
    pathLength_ = other.pathLength_;
    pathTooLong_ = other.pathTooLong_;
    handle_ = std::move(other.handle_);
    mode_ = std::exchange(other.mode_, record_mode::kUnassigned);
    recordSize_ = std::exchange(other.recordSize_, 0);
  }
  return *this;
}

bool RecordFile::IsAssigned() const noexcept {
  return mode_ >= record_mode::kClosed && mode_ <= record_mode::kInOut;
}

bool RecordFile::IsOpen() const noexcept {
  return mode_ >= record_mode::kInput && mode_ <= record_mode::kInOut;
}

void AssignPath(RecordFile& file, std::string_view path) {
  // Closing here, unlike forgetting the handle, gives the file back to other
  // openers; a close failure is not reported, as binding never fails.
  if (file.handle_) {
    (void)platform::Close(file.handle_);
  }
  file.recordSize_ = 0;
  file.mode_ = record_mode::kClosed;
  file.path_.fill('\0');
  file.pathTooLong_ = path.size() > RecordFile::kMaxPathLength;
  file.pathLength_ = file.pathTooLong_ ? 0 : path.size();
  path.copy(file.path_.data(), file.pathLength_);
}

void OpenExisting(RecordFile& file, std::uint32_t recordSize) {
  detail::OpenExistingInMode(file, recordSize, DefaultOpenMode);
}

void CreateEmpty(RecordFile& file, std::uint32_t recordSize, Sharing sharing) {
  const std::uint32_t share =
      sharing == Sharing::ByOpenMode ? ShareModeTable[(DefaultOpenMode >> 4) & 7] : platform::kShareNone;
  RecordFileAccess::Open(file, sharing == Sharing::ExclusiveNew ? OpenKind::CreateNew : OpenKind::Create,
                         recordSize, share);
}

void OpenToReadIn(RecordFile& file, const platform::HeldFolder& held, std::string_view name,
                  std::uint32_t recordSize) {
  RecordFileAccess::Open(file, OpenKind::ReadOnly, recordSize, platform::kShareRead, &held, name);
}

void CreateEmptyIn(RecordFile& file, const platform::HeldFolder& held, std::string_view name,
                   std::uint32_t recordSize, Sharing sharing) {
  const std::uint32_t share =
      sharing == Sharing::ByOpenMode ? ShareModeTable[(DefaultOpenMode >> 4) & 7] : platform::kShareNone;
  RecordFileAccess::Open(file, sharing == Sharing::ExclusiveNew ? OpenKind::CreateNew : OpenKind::Create,
                         recordSize, share, &held, name);
}

namespace detail {
void OpenExistingInMode(RecordFile& file, std::uint32_t recordSize, std::uint8_t openMode) {
  RecordFileAccess::Open(file, KindForOpenMode(openMode), recordSize, ShareModeTable[(openMode >> 4) & 7]);
}
}  // namespace detail

void ReadRecord(RecordFile& file, void* buffer) {
  if (file.mode_ != record_mode::kInput && file.mode_ != record_mode::kInOut) {
    SetIoStatus(io_code::kNotOpen);
    return;
  }
  std::size_t transferred = 0;
  const platform::ErrorCode code = platform::Read(file.handle_, buffer, file.recordSize_, transferred);
  if (code != platform::error::kSuccess) {
    SetPlatformStatus(code);
  } else if (transferred < file.recordSize_) {
    SetIoStatus(io_code::kReadPastEnd);
  }
}

void WriteRecord(RecordFile& file, const void* buffer) {
  if (file.mode_ != record_mode::kOutput && file.mode_ != record_mode::kInOut) {
    SetIoStatus(io_code::kNotOpenForWriting);
    return;
  }
  std::size_t transferred = 0;
  const platform::ErrorCode code = platform::Write(file.handle_, buffer, file.recordSize_, transferred);
  if (code != platform::error::kSuccess) {
    SetPlatformStatus(code);
  } else if (transferred < file.recordSize_) {
    SetIoStatus(io_code::kShortWrite);
  }
}

std::size_t ReadRecords(RecordFile& file, void* buffer, std::size_t count) {
  if (file.mode_ != record_mode::kInput && file.mode_ != record_mode::kInOut) {
    SetIoStatus(io_code::kNotOpen);
    return 0;
  }
  const std::size_t size = file.recordSize_;
  if (size == 0) return count;  // nothing to move, as ReadRecord moves nothing
  const std::size_t wanted = count * size;
  auto* const bytes = static_cast<std::uint8_t*>(buffer);
  std::size_t arrived = 0;
  while (arrived < wanted) {
    std::size_t transferred = 0;
    const platform::ErrorCode code =
        platform::Read(file.handle_, bytes + arrived, wanted - arrived, transferred);
    arrived += transferred;
    if (code != platform::error::kSuccess) {
      SetPlatformStatus(code);
      return arrived / size;
    }
    if (transferred == 0) break;
  }
  if (arrived < wanted) SetIoStatus(io_code::kReadPastEnd);
  return arrived / size;
}

std::size_t WriteRecords(RecordFile& file, const void* buffer, std::size_t count) {
  if (file.mode_ != record_mode::kOutput && file.mode_ != record_mode::kInOut) {
    SetIoStatus(io_code::kNotOpenForWriting);
    return 0;
  }
  const std::size_t size = file.recordSize_;
  if (size == 0) return count;
  const std::size_t total = count * size;
  const auto* const bytes = static_cast<const std::uint8_t*>(buffer);
  std::size_t written = 0;
  while (written < total) {
    std::size_t transferred = 0;
    const platform::ErrorCode code =
        platform::Write(file.handle_, bytes + written, total - written, transferred);
    written += transferred;
    if (code != platform::error::kSuccess) {
      SetPlatformStatus(code);
      break;
    }
    // Within a record the one-record write would have come back short too.
    if (transferred == 0 || written % size != 0) {
      SetIoStatus(io_code::kShortWrite);
      break;
    }
  }
  return written / size;
}

void CloseRecordFile(RecordFile& file) {
  if (!file.IsOpen()) {
    SetIoStatus(io_code::kNotOpen);
    return;
  }
  RecordFileAccess::CloseHandleOf(file);
}

void FlushRecordFile(RecordFile& file) {
  if (!file.IsOpen()) {
    SetIoStatus(io_code::kNotOpen);
    return;
  }
  if (const platform::ErrorCode code = platform::Flush(file.handle_); code != platform::error::kSuccess) {
    SetPlatformStatus(code);
  }
}

void HoldRecordFile(RecordFile& file, platform::FileHandle& holder) {
  if (!file.IsOpen()) {
    SetIoStatus(io_code::kNotOpen);
    return;
  }
  if (const platform::ErrorCode code = platform::Duplicate(file.handle_, holder);
      code != platform::error::kSuccess) {
    SetPlatformStatus(code);
  }
}

std::int32_t PendingIoStatus() noexcept {
  return tIoStatus;
}

void SetIoStatus(std::int32_t code) noexcept {
  tIoStatus = code;
}

std::int32_t TakeIoStatus() noexcept {
  return std::exchange(tIoStatus, 0);
}

std::string IoMessage(std::int32_t code) {
  for (const IoMessageRow& row : kIoMessageTable) {
    if (row.code == code) {
      return std::string(row.text);
    }
  }
  return texts::Format(texts::kIoGenericFormat, std::to_string(code));
}

EInOutError MakeInOutError() {
  const std::int32_t code = TakeIoStatus();
  return EInOutError(IoMessage(code), code);
}

void CheckIo() {
  if (PendingIoStatus() != 0) {
    throw MakeInOutError();
  }
}

}  // namespace kwt
