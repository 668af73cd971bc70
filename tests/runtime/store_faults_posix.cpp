// POSIX only: a short write from the file-size resource limit (with the signal
// that would end the process ignored), and a socket as the unreadable file.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "runtime/store_faults.h"

namespace kwt::testing {

FileSizeLimit::FileSizeLimit(std::uint64_t bytes) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
  previous_ = limit.rlim_cur;
  ::signal(SIGXFSZ, SIG_IGN);
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit() {
  if (!active_) return;
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(previous_);
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

ReadOnlyFolder::ReadOnlyFolder(const std::filesystem::path& folder) : folder_(folder) {
  namespace fs = std::filesystem;
  fs::permissions(folder, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const fs::path probe = folder / "probe";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd >= 0) {
    ::close(fd);
    ::unlink(probe.c_str());
    return;
  }
  active_ = true;
}

ReadOnlyFolder::~ReadOnlyFolder() {
  std::error_code ignored;
  std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                               ignored);
}

// A bound socket is no directory, so it "exists as a file", yet open() refuses it.
UnreadableFile::UnreadableFile(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (socket_ < 0) return;
  active_ = ::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

UnreadableFile::~UnreadableFile() {
  if (socket_ >= 0) ::close(socket_);
}

}  // namespace kwt::testing
