#include "convert/stop_reason.h"

#include <utility>

#include "runtime/cp932_text.h"
#include "runtime/errors.h"
#include "runtime/platform.h"
#include "runtime/record_file.h"
#include "runtime/texts.h"

namespace kwt {
namespace {

// The reason an error carries beside the class the error box names.
class CarriesReason {
 public:
  explicit CarriesReason(StopReason reason) : reason_(std::move(reason)) {}
  virtual ~CarriesReason() = default;
  const StopReason& Reason() const noexcept { return reason_; }

 private:
  StopReason reason_;
};

template <typename Error>
class Raised final : public Error, public CarriesReason {
 public:
  template <typename... Args>
  explicit Raised(const StopReason& reason, Args&&... args)
      : Error(std::forward<Args>(args)...), CarriesReason(reason) {}
};

}  // namespace

void Raise(const StopReason& reason) {
  switch (reason.cause) {
    case Cause::Interrupted: throw Raised<EInterrupted>(reason, reason.text);
    case Cause::BackupExists:
    case Cause::BackupFailed: throw Raised<EBackupRefused>(reason, reason.text);
    case Cause::ProjectUnreadable: throw Raised<EFOpenError>(reason, reason.text);
    default: break;
  }
  if (reason.ioCode) throw Raised<EInOutError>(reason, reason.text, *reason.ioCode);
  // Once the records have moved, an edit that keeps the project file from
  // taking its new text fails its save.
  if (reason.cause == Cause::ProjectNotSaved ||
      (reason.cause == Cause::ProjectChanged && reason.outcome == ConversionOutcome::Failed)) {
    throw Raised<EFCreateError>(reason, reason.text);
  }
  if (reason.cause == Cause::DiskFull) throw Raised<EWriteError>(reason, reason.text);
  throw Raised<EConvertError>(reason, reason.text);
}

const StopReason* ReasonOf(const std::exception& error) noexcept {
  const auto* carried = dynamic_cast<const CarriesReason*>(&error);
  return carried != nullptr ? &carried->Reason() : nullptr;
}

StopReason Refusal(Cause cause, std::string path, std::string text) {
  return {cause, ConversionOutcome::Refused, std::move(path), {}, {}, std::move(text), std::nullopt};
}

StopReason IoRefusal(Cause cause, std::string path, std::int32_t code) {
  return {cause, ConversionOutcome::Refused, std::move(path), {}, {}, IoMessage(code), code};
}

std::string Named(std::string_view format, std::string_view value) {
  return texts::Format(format, ShortenedValue(value));
}

std::string Named(std::string_view format, std::string_view first, std::string_view second) {
  return texts::Format(format, {ShortenedValue(first), ShortenedValue(second)});
}

StopReason Interruption() {
  return {Cause::Interrupted, ConversionOutcome::Interrupted, {}, {}, {}, std::string(texts::kInterrupted),
          std::nullopt};
}

StopReason IoFailureReason(std::int32_t code, std::string path) {
  return {CauseOfIoCode(code), ConversionOutcome::Failed, std::move(path), {}, {}, IoMessage(code), code};
}

StopReason ReasonRaisedWith(const std::exception& error) {
  if (const StopReason* reason = ReasonOf(error)) return *reason;
  const auto* said = dynamic_cast<const Exception*>(&error);
  return {Cause::IoFailure,
          ConversionOutcome::Failed,
          {},
          {},
          {},
          said != nullptr ? said->Message() : std::string(error.what()),
          std::nullopt};
}

void RaiseIo(std::uint32_t code) {
  if (code != platform::error::kSuccess) Raise(IoFailureReason(static_cast<std::int32_t>(code)));
}

void RaisePendingIo() {
  if (PendingIoStatus() != 0) Raise(IoFailureReason(TakeIoStatus()));
}

Cause CauseOfIoCode(std::int32_t code) {
  // ERROR_HANDLE_DISK_FULL: what some Windows file systems answer instead of 112.
  constexpr std::int32_t kHandleDiskFull = 39;
  if (code == io_code::kReadPastEnd) return Cause::TooFewRecords;
  if (code == io_code::kShortWrite || code == static_cast<std::int32_t>(platform::error::kDiskFull) ||
      code == kHandleDiskFull) {
    return Cause::DiskFull;
  }
  if (code == static_cast<std::int32_t>(platform::error::kSharingViolation)) return Cause::FileInUse;
  if (code == static_cast<std::int32_t>(platform::error::kAccessDenied)) return Cause::AccessDenied;
  return Cause::IoFailure;
}

}  // namespace kwt
