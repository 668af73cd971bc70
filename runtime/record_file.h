// Files of fixed-size records and the per-thread I/O status that reports their
// failures. The operations never raise: each failure leaves a code in the
// calling thread's IoStatus, and the caller follows every open, read, write and
// close with CheckIo, which turns a pending code into an EInOutError.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "runtime/errors.h"
#include "runtime/platform.h"

namespace kwt {

// The process-wide open mode. Bits 0 and 1 choose the access of OpenExisting
// (0 read, 1 write, 2 and 3 read and write); bits 4 to 6 index ShareModeTable.
inline constexpr std::uint8_t DefaultOpenMode = 2;

// Share flags by bits 4 to 6 of the open mode (1: others may read, 2: write).
inline constexpr std::array<std::uint32_t, 8> ShareModeTable = {3, 0, 1, 2, 3, 0, 0, 0};

// Codes that the record layer produces by itself; every other code is the
// platform's.
namespace io_code {
inline constexpr std::int32_t kNotOpenForWriting = 5;
inline constexpr std::int32_t kReadPastEnd = 100;
inline constexpr std::int32_t kShortWrite = 101;
inline constexpr std::int32_t kNotAssigned = 102;
inline constexpr std::int32_t kNotOpen = 103;
}  // namespace io_code

// The state marker of a RecordFile. Any value other than these four means the
// variable has never been bound to a path.
namespace record_mode {
inline constexpr std::uint16_t kUnassigned = 0;
inline constexpr std::uint16_t kClosed = 0xD7B0;
inline constexpr std::uint16_t kInput = 0xD7B1;
inline constexpr std::uint16_t kOutput = 0xD7B2;
inline constexpr std::uint16_t kInOut = 0xD7B3;
}  // namespace record_mode

// How CreateEmpty lets other openers share the file.
enum class Sharing {
  // As the process-wide open mode chooses (others may read and write).
  ByOpenMode,
  // Nobody else may open it meanwhile (a lock on POSIX). A second exclusive
  // creator fails with code 32 and truncates nothing.
  Exclusive,
  // Exclusive, and made new: fails with code 80 when anything already has the
  // name, and never follows a link (platform::Creation::CreateNew). For work
  // files, whose name is cleared first with platform::RemoveWorkFile.
  ExclusiveNew,
};

// A record-file variable: a bound path, an open file and the size of one record.
// A file still open when the variable goes out of scope is closed then. Moving
// leaves the source unassigned.
class RecordFile {
 public:
  // At most this many path bytes fit; a longer path is refused at open.
  static constexpr std::size_t kMaxPathLength = 259;

  RecordFile() = default;
  RecordFile(RecordFile&& other) noexcept;
  RecordFile& operator=(RecordFile&& other) noexcept;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  ~RecordFile() = default;

  // The bound path, or empty when it did not fit (or none is bound).
  std::string_view Path() const noexcept { return {path_.data(), pathLength_}; }
  std::uint16_t Mode() const noexcept { return mode_; }
  bool IsAssigned() const noexcept;
  bool IsOpen() const noexcept;

 private:
  friend void AssignPath(RecordFile&, std::string_view);
  friend void ReadRecord(RecordFile&, void*);
  friend void WriteRecord(RecordFile&, const void*);
  friend std::size_t ReadRecords(RecordFile&, void*, std::size_t);
  friend std::size_t WriteRecords(RecordFile&, const void*, std::size_t);
  friend void CloseRecordFile(RecordFile&);
  friend void FlushRecordFile(RecordFile&);
  friend void HoldRecordFile(RecordFile&, platform::FileHandle&);
  friend struct RecordFileAccess;

  // The path bytes and a terminating NUL.
  std::array<char, kMaxPathLength + 1> path_{};
  std::size_t pathLength_ = 0;
  // Set when AssignPath was given a path that does not fit path_.
  bool pathTooLong_ = false;
  platform::FileHandle handle_;
  std::uint16_t mode_ = record_mode::kUnassigned;
  std::uint32_t recordSize_ = 0;
};

// Binds the path and puts the variable into the closed state. Never fails and
// never touches IoStatus. A file still open is closed first (its handle would
// otherwise be lost). A path that does not fit is remembered as such and
// refused by the next open with code 3.
void AssignPath(RecordFile& file, std::string_view path);
// Opens the existing file at the bound path with the access that
// DefaultOpenMode selects (read and write).
void OpenExisting(RecordFile& file, std::uint32_t recordSize);
// Creates the file at the bound path, or empties an existing one, and opens it
// for reading and writing.
void CreateEmpty(RecordFile& file, std::uint32_t recordSize, Sharing sharing = Sharing::ByOpenMode);
// CreateEmpty with the platform reaching the file at `at`, such as a name in a
// folder held for the conversion (where a link at the name is refused with
// platform::error::kLinkInTheWay). The bound path still names the file and
// is refused as before when it does not fit.
void CreateEmpty(RecordFile& file, const platform::Place& at, std::uint32_t recordSize,
                 Sharing sharing = Sharing::ByOpenMode);
// Opens the existing file at `at` for reading only, with others allowed to
// read but not to write while it is open: a file someone has open for writing
// fails with 32.
void OpenToRead(RecordFile& file, const platform::Place& at, std::uint32_t recordSize);
// Reads the next record into buffer (record-size bytes) in one platform call.
// A short read sets 100 and leaves the bytes that arrived in the buffer.
void ReadRecord(RecordFile& file, void* buffer);
// Writes buffer (record-size bytes) as the next record in one platform call.
void WriteRecord(RecordFile& file, const void* buffer);
// Many records at once, for a caller that moves records in blocks yet must
// report as ReadRecord and WriteRecord would, record by record. Each answers
// how many whole records it moved; when fewer than count, IoStatus holds what
// the one-record call would have set for the record after them, and the file
// is where that call would have left it.
//
// Reads up to count records into buffer (count times the record size), asking
// the platform for all that is still missing until it has arrived or the file
// ends: 100 for a record that the file ends within or before, the platform's
// code for a read that fails. 103 when not open for reading.
std::size_t ReadRecords(RecordFile& file, void* buffer, std::size_t count);
// Writes count records from buffer, handing the platform all that is still
// unwritten at each call. A call that stops between two records is followed by
// one for the rest, as the next WriteRecord would be; one that stops within a
// record, or takes nothing, is 101 (what it took stays, as with WriteRecord);
// a call that fails is the platform's code. 5 when not open for writing.
std::size_t WriteRecords(RecordFile& file, const void* buffer, std::size_t count);
// Closes the file; the variable is closed afterwards whatever the platform says.
void CloseRecordFile(RecordFile& file);
// Forces the records written so far onto the disk; 103 when not open.
void FlushRecordFile(RecordFile& file);
// Gives holder a second handle on the open file, so that the file, and an
// exclusive hold on it, outlive CloseRecordFile until holder lets go (see
// platform::ReplaceHeld); 103 when not open.
void HoldRecordFile(RecordFile& file, platform::FileHandle& holder);

namespace detail {
// OpenExisting under an explicit open mode instead of DefaultOpenMode.
void OpenExistingInMode(RecordFile& file, std::uint32_t recordSize, std::uint8_t openMode);
}  // namespace detail

// The calling thread's pending I/O code; 0 means none. A failing operation
// overwrites it, a successful one leaves it alone.
std::int32_t PendingIoStatus() noexcept;
void SetIoStatus(std::int32_t code) noexcept;
// Returns the pending code and clears it.
std::int32_t TakeIoStatus() noexcept;
// The message for an I/O code: the table's text, or the generic form with the
// code in decimal.
std::string IoMessage(std::int32_t code);
// Takes the pending code and builds its error; does not raise it.
EInOutError MakeInOutError();
// Raises MakeInOutError() when a code is pending.
void CheckIo();

// Copies the short string at the front of source (a length byte, then its
// characters) into the short-string field at the front of destination, whose
// capacity is `capacity` characters (1 to 255). The number copied is the
// smaller of the length byte and the capacity, and it never reaches past
// either span: pass the source's bytes up to its record's end, so that a
// length byte reaching past the record is cut there. The destination's
// character bytes after those copied keep what they held.
inline void CopyShortString(std::span<std::uint8_t> destination, std::span<const std::uint8_t> source,
                            std::size_t capacity) noexcept {
  if (destination.empty() || source.empty()) {
    return;
  }
  const std::size_t count =
      std::min({static_cast<std::size_t>(source[0]), capacity, source.size() - 1, destination.size() - 1});
  destination[0] = static_cast<std::uint8_t>(count);
  std::memcpy(destination.data() + 1, source.data() + 1, count);
}

}  // namespace kwt
