// Test-only: sets a file's last-write time, so that tests can make files of
// any date with the platform's own call.
#pragma once

#include <cstdint>
#include <string_view>

namespace kwt::testing {

// path is code page 932; seconds count from 1970-01-01 00:00 UTC.
bool SetLastWriteTime(std::string_view path, std::int64_t seconds);

}  // namespace kwt::testing
