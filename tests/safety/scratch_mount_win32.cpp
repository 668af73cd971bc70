// Windows only: a Windows program cannot mount a file system of its own.
#include "safety/scratch_mount.h"

namespace kwt::testing {

bool RunningAsRoot() {
  return false;
}

ScratchMount::ScratchMount(const std::filesystem::path& at, std::uint64_t)
    : at_(at), why_("a Windows program cannot mount a file system; the native run tests this") {}

ScratchMount::~ScratchMount() = default;

bool ScratchMount::MakeReadOnly() {
  return false;
}

}  // namespace kwt::testing
