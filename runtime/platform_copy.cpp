// The copy loop over the seam's reads and writes, the same on every platform.
#include <vector>

#include "runtime/platform.h"

namespace kwt::platform {

ErrorCode CopyBytes(FileHandle& from, FileHandle& to, const std::function<bool()>& stopRequested) {
  std::vector<char> buffer(std::size_t{1} << 16);
  for (;;) {
    if (stopRequested && stopRequested()) return error::kOperationAborted;
    std::size_t got = 0;
    if (const ErrorCode code = Read(from, buffer.data(), buffer.size(), got)) return code;
    if (got == 0) return Flush(to);
    for (std::size_t done = 0; done < got;) {
      std::size_t put = 0;
      if (const ErrorCode code = Write(to, buffer.data() + done, got - done, put)) return code;
      if (put == 0) return error::kDiskFull;
      done += put;
    }
  }
}

}  // namespace kwt::platform
