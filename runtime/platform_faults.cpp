#include "runtime/platform_faults.h"

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

namespace kwt::platform::faults {
namespace {

std::atomic<bool> gActive{false};
std::mutex gLock;
Plan gPlan;
std::map<std::intptr_t, std::string> gFiles;

bool UnderDisk(std::string_view path) {
  return !gPlan.diskFolder.empty() && path.substr(0, gPlan.diskFolder.size()) == gPlan.diskFolder;
}

// What the disk's files take now, as a small file system would count it.
std::uint64_t DiskUsed() {
  std::uint64_t used = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(gPlan.diskFolder, error)) {
    if (entry.is_regular_file(error)) used += entry.file_size(error);
  }
  return used;
}

}  // namespace

void SetPlan(Plan plan) {
  const std::lock_guard hold(gLock);
  gPlan = std::move(plan);
  gActive = gPlan.fileSizeCap.has_value() || !gPlan.diskFolder.empty() || gPlan.everyWriteTakes.count() > 0;
}

void ClearPlan() {
  SetPlan({});
}

bool Active() noexcept {
  return gActive;
}

ErrorCode RefusedOpen(std::string_view path, bool writes) {
  if (!gActive) return error::kSuccess;
  const std::lock_guard hold(gLock);
  return writes && gPlan.diskReadOnly && UnderDisk(path) ? error::kAccessDenied : error::kSuccess;
}

ErrorCode RefusedReplace(std::string_view path) {
  if (!gActive) return error::kSuccess;
  const std::lock_guard hold(gLock);
  return gPlan.diskCannotReplace && UnderDisk(path) ? error::kAccessDenied : error::kSuccess;
}

void Opened(std::intptr_t native, std::string_view path) {
  if (!gActive) return;
  const std::lock_guard hold(gLock);
  gFiles[native] = std::string(path);
}

void Closed(std::intptr_t native) {
  if (!gActive) return;
  const std::lock_guard hold(gLock);
  gFiles.erase(native);
}

ErrorCode AllowedWrite(std::intptr_t native, std::uint64_t position, std::size_t size, std::size_t& allowed) {
  allowed = size;
  if (!gActive) return error::kSuccess;
  std::chrono::milliseconds delay{0};
  {
    const std::lock_guard hold(gLock);
    delay = gPlan.everyWriteTakes;
  }
  if (delay.count() > 0) std::this_thread::sleep_for(delay);
  const std::lock_guard hold(gLock);
  if (gPlan.fileSizeCap) {
    const std::uint64_t cap = *gPlan.fileSizeCap;
    allowed = position >= cap ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(size, cap - position));
  }
  const auto file = gFiles.find(native);
  if (file != gFiles.end() && UnderDisk(file->second)) {
    const std::uint64_t used = DiskUsed();
    const std::uint64_t room = used >= gPlan.diskBytes ? 0 : gPlan.diskBytes - used;
    if (room == 0 && size > 0) return error::kDiskFull;
    allowed = static_cast<std::size_t>(std::min<std::uint64_t>(allowed, room));
  }
  return error::kSuccess;
}

}  // namespace kwt::platform::faults
