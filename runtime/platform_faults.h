// Failures that a test cannot otherwise make the file system produce on every
// platform (a full disk or a read-only disk on Windows, a cap on file sizes, a
// share that cannot replace a file in one step), made by the seam itself.
// Nothing is injected unless a test sets a plan; the programs never do. Both
// backends consult it through their table of system calls; POSIX tests use
// the real failures where they can (a small mounted file system,
// RLIMIT_FSIZE) and the plan for the share, which no test here can mount.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "runtime/platform.h"

namespace kwt::platform::faults {

struct Plan {
  // A file may grow to this many bytes: a write past it writes what fits and
  // comes back short, as with a process's file-size limit.
  std::optional<std::uint64_t> fileSizeCap;
  // Files under this folder share a disk of diskBytes (the sizes of the files
  // in the folder count): a write writes what fits and comes back short, and
  // one that finds no room fails with kDiskFull.
  std::string diskFolder;
  std::uint64_t diskBytes = 0;
  // Opening for writing or creating anything under diskFolder fails with
  // kAccessDenied, as on a read-only disk.
  bool diskReadOnly = false;
  // Replace and its kinds fail under diskFolder with kAccessDenied, as a move
  // over an existing file does on an SFTP share without atomic rename; Move,
  // to a free name, still works.
  bool diskCannotReplace = false;
  // Every write takes at least this long, as on a slow disk or share.
  std::chrono::milliseconds everyWriteTakes{0};
};

// Replaces the plan; an empty plan injects nothing.
void SetPlan(Plan plan);
void ClearPlan();

// For the backends' hooked calls (see SystemCalls in each backend). Whether a
// plan is set: without one, the backends make their plain calls.
bool Active() noexcept;
// Whether an open of path for access (or a creation) must
// fail, and with which code.
ErrorCode RefusedOpen(std::string_view path, bool writes);
// Whether a replacing move to path must fail, and with which code.
ErrorCode RefusedReplace(std::string_view path);
// Remembers which file a handle writes, while a plan is set.
void Opened(std::intptr_t native, std::string_view path);
void Closed(std::intptr_t native);
// How many of size bytes a write at the file's current size may write, or an
// error; size when nothing is planned for the file.
ErrorCode AllowedWrite(std::intptr_t native, std::uint64_t position, std::size_t size, std::size_t& allowed);

}  // namespace kwt::platform::faults
