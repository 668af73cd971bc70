// For tests only: a view of every call through which the POSIX backend changes
// the disk, in the order the calls succeed, so that a test can replay them
// against a model of what a power cut may keep. The backend's table of system
// calls reports them. Nothing is reported while no observer is set; the
// Windows backend reports nothing.
#pragma once

#include <cstdint>
#include <string_view>

namespace kwt::platform::journal {

// A file as the system knows it, whatever names it has (device and inode).
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileId&) const = default;
  auto operator<=>(const FileId&) const = default;
};

// Paths are the system's own (UTF-8), exactly as the backend passed them on.
class Observer {
 public:
  virtual ~Observer() = default;
  // A file opened for writing under path, created or found there.
  virtual void Opened(std::string_view path, FileId file) = 0;
  // size bytes written at offset.
  virtual void Written(FileId file, std::uint64_t offset, std::string_view bytes) = 0;
  virtual void Truncated(FileId file, std::uint64_t size) = 0;
  // The file's data is on the disk (fsync).
  virtual void Flushed(FileId file) = 0;
  virtual void Renamed(std::string_view from, std::string_view to) = 0;
  virtual void Unlinked(std::string_view path) = 0;
  // The names in folder are on the disk.
  virtual void FolderSynced(std::string_view folder) = 0;
  // Everything on the file system is on the disk (the fallback when a folder
  // refuses to be synced).
  virtual void FileSystemSynced() = 0;
};

// Sets the one observer of this process; null stops the reports. Not for use
// while another thread is inside the backend.
void SetObserver(Observer* observer) noexcept;

}  // namespace kwt::platform::journal
