// POSIX only: what the files of the POSIX backend share.
#pragma once

#include <sys/vfs.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/platform.h"

namespace kwt::platform::posix {

// errno as the Windows code the layers above report.
ErrorCode FromErrno(int code);
ErrorCode LastError();
// The system's form of a code page 932 path; nullopt when it has none, which
// the callers report as an invalid name, as Windows does.
std::optional<std::string> SystemPath(std::string_view path);

inline int Descriptor(const FileHandle& file) {
  return static_cast<int>(file.get());
}

// Whether the file system statfs described has one of the types (f_type).
inline bool FileSystemIsOneOf(const struct statfs& info, std::initializer_list<long> types) {
  return std::find(types.begin(), types.end(), static_cast<long>(info.f_type)) != types.end();
}

}  // namespace kwt::platform::posix
