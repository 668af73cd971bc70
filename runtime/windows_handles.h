// Windows only: the owners of what the system hands out outside the file
// calls: a directory search, and memory the system allocated for an answer
// (a command line split into arguments, an error's text, a security
// descriptor). Each gives its resource back exactly once.
#pragma once

#include "runtime/scoped_handle.h"
#include "runtime/windows_api.h"

namespace kwt::windows {

struct SearchTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  // A failed search answers INVALID_HANDLE_VALUE: empty as null is.
  static bool IsValid(Handle handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static bool Close(Handle handle) noexcept { return FindClose(handle) != FALSE; }
};
using SearchHandle = ScopedHandle<SearchTraits>;

struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle memory) noexcept { return memory != nullptr; }
  static bool Close(Handle memory) noexcept { return LocalFree(memory) == nullptr; }
};
using LocalMemory = ScopedHandle<LocalMemoryTraits>;

}  // namespace kwt::windows
