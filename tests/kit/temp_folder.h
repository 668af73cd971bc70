// Temporary folders of the tests' own: a name no other test process can pick,
// so that test programs run side by side (or twice at once) never share or
// delete each other's files.
#pragma once

#include <atomic>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace kwt::testing {

namespace detail {
inline unsigned long ProcessId() {
#ifdef _WIN32
  return static_cast<unsigned long>(_getpid());
#else
  return static_cast<unsigned long>(getpid());
#endif
}
}  // namespace detail

// Creates a folder that did not exist before under the system's temporary
// folder: prefix, process id, a counter of this process and a random part
// (the random part also keeps apart processes that reuse an id, as Wine's do).
// base is the system's temporary folder unless given.
inline std::filesystem::path CreateUniqueTempDir(std::string_view prefix, std::filesystem::path base = {}) {
  static std::atomic<unsigned> serial{0};
  std::random_device random;
  if (base.empty()) base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path path =
        base / (std::string(prefix) + std::to_string(detail::ProcessId()) + "-" + std::to_string(serial++) +
                "-" + std::to_string(random()));
    // create_directory reports false for a folder that is already there: never
    // take over (or later delete) a folder made by someone else.
    if (std::filesystem::create_directory(path)) return path;
  }
  throw std::runtime_error("no fresh temporary folder under " + base.string());
}

// Removes path and everything below it; read-only files and folders that a
// test left behind go as well.
inline void RemoveTempDir(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (const auto& entry : fs::recursive_directory_iterator(path, ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path, ignored);
}

// A fresh folder that lives as long as this object.
class ScopedTempDir {
 public:
  explicit ScopedTempDir(std::string_view prefix = "kwt-", std::filesystem::path base = {})
      : path_(CreateUniqueTempDir(prefix, std::move(base))) {}
  ~ScopedTempDir() { RemoveTempDir(path_); }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

#ifndef _WIN32
// True when a user who is neither owner nor in the group may pass through
// path and every folder above it: what a test acting as another user needs.
// A private TMPDIR (mode 0700, as mktemp -d makes it) is no such place.
inline bool OthersCanReach(const std::filesystem::path& path) {
  for (std::filesystem::path at = std::filesystem::absolute(path);; at = at.parent_path()) {
    std::error_code error;
    const auto perms = std::filesystem::status(at, error).permissions();
    if (error || (perms & std::filesystem::perms::others_exec) == std::filesystem::perms::none) return false;
    if (at == at.root_path()) return true;
  }
}
#endif

}  // namespace kwt::testing
