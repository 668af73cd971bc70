// Windows only: what the files of the Windows backend share: path and handle
// conversions, the owners of what the system hands out, and the table of
// system calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runtime/encoding.h"
#include "runtime/platform.h"
#include "runtime/scoped_handle.h"
#include "runtime/windows_api.h"
#include "runtime/windows_handles.h"

namespace kwt::platform::win32 {

inline ErrorCode LastError() {
  return static_cast<ErrorCode>(GetLastError());
}

inline std::optional<std::wstring> WidePath(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return std::nullopt;
  return encoding::Cp932ToWide(path);
}

inline HANDLE HandleOf(const FileHandle& file) {
  return reinterpret_cast<HANDLE>(file.get());
}

// The open file that handle is, owned.
inline FileHandle FileOf(HANDLE handle) {
  return FileHandle(reinterpret_cast<std::intptr_t>(handle));
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Kernel handles (files, folders, tokens, events) go back through the table
// below, so a test's fault plan sees every close.
struct KernelTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  // The system says "none" in two ways (null, INVALID_HANDLE_VALUE); both are empty.
  static bool IsValid(Handle handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static bool Close(Handle handle) noexcept;
};
using KernelHandle = ScopedHandle<KernelTraits>;

using windows::LocalMemory;
using windows::SearchHandle;

// Every call through which this backend opens, reads, writes, moves, removes
// or copies a file goes through one table. Real runs use the plain calls;
// while a test has set a fault plan (runtime/platform_faults.h), the hooked
// calls let it refuse or shorten a call, so that it is known nowhere else in
// this backend. Each entry answers as its system call does. shown is the path as
// the core gave it (code page 932), which the plan compares.
struct SystemCalls {
  HANDLE(*createFile)
  (const std::wstring& path, std::string_view shown, DWORD access, DWORD share, DWORD disposition,
   DWORD flags);
  // The native open relative to an open folder; see OpenRelative.
  ErrorCode (*openRelative)(HANDLE root, const std::wstring& name, std::string_view shown, ACCESS_MASK access,
                            ULONG share, ULONG disposition, ULONG options, ULONG attributes,
                            KernelHandle& handle);
  BOOL (*close)(HANDLE handle);
  BOOL (*read)(HANDLE file, void* buffer, DWORD size, DWORD* transferred);
  BOOL (*write)(HANDLE file, const void* buffer, DWORD size, DWORD* transferred);
  BOOL (*flush)(HANDLE file);
  BOOL (*move)(const std::wstring& from, const std::wstring& to, std::string_view shownTo, DWORD flags);
  BOOL (*deleteFile)(const std::wstring& path);
  BOOL (*copy)(const std::wstring& from, const std::wstring& to);
  ErrorCode (*renameByHandle)(HANDLE file, HANDLE root, const std::wstring& name, std::string_view shownTo,
                              bool replace);
  ErrorCode (*deleteByHandle)(HANDLE file);
  // Whether this user may add a file to the folder at path; see FolderIsWritable.
  bool (*folderWritable)(const std::wstring& path, std::string_view shown);
};

const SystemCalls& System() noexcept;

}  // namespace kwt::platform::win32
