// Windows only: sets a file's last-write time with SetFileTime.
#include "runtime/file_time.h"

#include "runtime/encoding.h"
#include "runtime/windows_api.h"

namespace kwt::testing {

bool SetLastWriteTime(std::string_view path, std::int64_t seconds) {
  const auto wide = encoding::Cp932ToWide(path);
  if (!wide) return false;
  const HANDLE file = CreateFileW(wide->c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // FILETIME counts 100-nanosecond steps from 1601-01-01.
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  const auto ticks = static_cast<std::uint64_t>((seconds + kSecondsFrom1601To1970) * 10000000);
  FILETIME time{};
  time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  const bool set = SetFileTime(file, nullptr, nullptr, &time) != FALSE;
  CloseHandle(file);
  return set;
}

}  // namespace kwt::testing
