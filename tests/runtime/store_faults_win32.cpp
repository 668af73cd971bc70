// Windows only: no per-process file-size cap exists, and the unreadable file
// is one that this process holds open without sharing.
#include "runtime/store_faults.h"

namespace kwt::testing {

FileSizeLimit::FileSizeLimit(std::uint64_t) {}
FileSizeLimit::~FileSizeLimit() = default;

UnreadableFile::UnreadableFile(const std::string& path) {
  active_ = platform::Open(path, platform::Access::ReadWrite, platform::kShareNone,
                           platform::Creation::CreateAlways, holder_) == platform::error::kSuccess;
}

UnreadableFile::~UnreadableFile() = default;

}  // namespace kwt::testing
