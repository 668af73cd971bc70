// Windows only: no per-process file-size cap exists and a folder's read-only
// flag is ignored, so the seam makes those failures itself; the unreadable
// file is one that this process holds open without sharing.
#include "runtime/platform_faults.h"
#include "runtime/store_faults.h"

namespace kwt::testing {

FileSizeLimit::FileSizeLimit(std::uint64_t bytes) {
  platform::faults::Plan plan;
  plan.fileSizeCap = bytes;
  platform::faults::SetPlan(plan);
  active_ = true;
}

FileSizeLimit::~FileSizeLimit() {
  platform::faults::ClearPlan();
}

ReadOnlyFolder::ReadOnlyFolder(const std::filesystem::path& folder) : folder_(folder) {
  platform::faults::Plan plan;
  plan.diskFolder = (folder / "").string();
  plan.diskBytes = UINT64_MAX;
  plan.diskReadOnly = true;
  platform::faults::SetPlan(plan);
  active_ = true;
}

ReadOnlyFolder::~ReadOnlyFolder() {
  platform::faults::ClearPlan();
}

UnreadableFile::UnreadableFile(const std::string& path) {
  active_ = platform::Open(path, platform::Access::ReadWrite, platform::kShareNone,
                           platform::Creation::CreateAlways, holder_) == platform::error::kSuccess;
}

UnreadableFile::~UnreadableFile() = default;

}  // namespace kwt::testing
