// POSIX only: sets a file's dates with utime.
#include "runtime/file_time.h"

#include <utime.h>

#include <ctime>

#include "runtime/encoding.h"

namespace kwt::testing {

bool SetLastWriteTime(std::string_view path, std::int64_t seconds) {
  const auto systemPath = encoding::Cp932ToUtf8(path);
  if (!systemPath) return false;
  utimbuf times{};
  times.actime = static_cast<std::time_t>(seconds);
  times.modtime = static_cast<std::time_t>(seconds);
  return ::utime(systemPath->c_str(), &times) == 0;
}

}  // namespace kwt::testing
