// A small file system of its own, mounted over a folder for one test: a disk
// that fills up after a few kilobytes, or one that turns read-only. Mounting
// needs root (or a system that allows it); where it is refused, Active() is
// false and Why() says why, so the test can skip with that reason.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace kwt::testing {

// True when the tests run as root, who may write where the permissions say
// nobody may.
bool RunningAsRoot();

class ScratchMount {
 public:
  ScratchMount(const std::filesystem::path& at, std::uint64_t bytes);
  ~ScratchMount();
  ScratchMount(const ScratchMount&) = delete;
  ScratchMount& operator=(const ScratchMount&) = delete;

  bool Active() const noexcept { return active_; }
  const std::string& Why() const noexcept { return why_; }
  // Remounts the file system read-only; false (with Why() set) when refused.
  bool MakeReadOnly();

 private:
  std::filesystem::path at_;
  bool active_ = false;
  std::string why_;
};

}  // namespace kwt::testing
