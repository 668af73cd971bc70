// Windows only: a Windows program cannot mount a file system of its own, so
// the seam makes the small disk up (see runtime/platform_faults.h); it holds
// only for this process.
#include "runtime/platform_faults.h"
#include "safety/scratch_mount.h"

namespace kwt::testing {

bool RunningAsRoot() {
  return false;
}

ScratchMount::ScratchMount(const std::filesystem::path& at, std::uint64_t bytes) : at_(at) {
  platform::faults::Plan plan;
  plan.diskFolder = (at / "").string();
  plan.diskBytes = bytes;
  platform::faults::SetPlan(plan);
  active_ = true;
}

ScratchMount::~ScratchMount() {
  platform::faults::ClearPlan();
}

bool ScratchMount::MakeReadOnly() {
  platform::faults::Plan plan;
  plan.diskFolder = (at_ / "").string();
  plan.diskBytes = UINT64_MAX;
  plan.diskReadOnly = true;
  platform::faults::SetPlan(plan);
  return true;
}

}  // namespace kwt::testing
