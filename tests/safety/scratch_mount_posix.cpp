// POSIX only: a tmpfs of the given size, detached again at the end.
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "safety/scratch_mount.h"

namespace kwt::testing {

bool RunningAsRoot() {
  return ::geteuid() == 0;
}

ScratchMount::ScratchMount(const std::filesystem::path& at, std::uint64_t bytes) : at_(at) {
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
  if (::mount("tmpfs", at_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    why_ = "cannot mount a small tmpfs here (" + std::string(std::strerror(errno)) +
           "); run as root to test this";
    return;
  }
  active_ = true;
}

ScratchMount::~ScratchMount() {
  if (active_) ::umount2(at_.c_str(), MNT_DETACH);
}

bool ScratchMount::MakeReadOnly() {
  if (!active_) return false;
  if (::mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) != 0) {
    why_ = "cannot remount the tmpfs read-only (" + std::string(std::strerror(errno)) + ")";
    return false;
  }
  return true;
}

}  // namespace kwt::testing
