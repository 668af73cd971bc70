// Failures of the file system made real for the project store's tests. Where a
// system offers no way to produce one, Active() is false and the test skips.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "runtime/platform.h"

namespace kwt::testing {

// Caps the size of the files this process writes, so that a write past the cap
// comes back short as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(std::uint64_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  bool Active() const noexcept { return active_; }

 private:
  bool active_ = false;
  std::uint64_t previous_ = 0;
};

// A folder in which nothing may be created, for as long as this object lives:
// its write permission taken away (POSIX; not Active where this process may
// write there anyway, as root may), or the seam told to refuse (Windows, which
// ignores a folder's read-only flag).
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::filesystem::path& folder);
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

  bool Active() const noexcept { return active_; }

 private:
  std::filesystem::path folder_;
  bool active_ = false;
};

// Something at path that the existence test takes for a file but that cannot
// be opened for reading, for as long as this object lives.
class UnreadableFile {
 public:
  explicit UnreadableFile(const std::string& path);
  ~UnreadableFile();
  UnreadableFile(const UnreadableFile&) = delete;
  UnreadableFile& operator=(const UnreadableFile&) = delete;

  bool Active() const noexcept { return active_; }

 private:
  bool active_ = false;
  int socket_ = -1;
  platform::FileHandle holder_;
};

}  // namespace kwt::testing
