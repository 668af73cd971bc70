// Windows only: the platform seam's files and folders (opening, reading,
// writing, moving, removing and holding them) over the wide Win32 file API and
// the native calls relative to an open folder, and the table of system calls
// they all go through; every path converted from code page 932 explicitly.
#include "runtime/platform.h"

#include <aclapi.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "runtime/back_off.h"
#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/platform_faults.h"
#include "runtime/platform_win32.h"
#include "runtime/windows_api.h"

// After windows.h: the native calls that open a name relative to an open
// folder or file, looked up at run time (ntdll is in every process).
#include <winternl.h>

namespace kwt::platform {

using namespace win32;

namespace {}  // namespace

bool win32::KernelTraits::Close(Handle handle) noexcept {
  return System().close(handle) != FALSE;
}

namespace {

// A move or delete that meets a sharing violation or access denied is tried
// again with growing waits, about a second in all: a virus scanner or indexer
// that opened the file right after it was written lets go by then, while a
// lasting refusal (a read-only file, a file held open) still answers.
template <typename Call>
ErrorCode RetriedWhileBusy(Call&& call) {
  using std::chrono::milliseconds;
  static constexpr milliseconds kWaits[] = {
      milliseconds(1),  milliseconds(2),   milliseconds(5),   milliseconds(10),  milliseconds(25),
      milliseconds(50), milliseconds(100), milliseconds(200), milliseconds(300), milliseconds(300)};
  return Retried({kWaits}, call, [](ErrorCode code) {
    return code == error::kSharingViolation || code == error::kAccessDenied;
  });
}

struct NativeCalls {
  decltype(&NtCreateFile) create = nullptr;
  decltype(&NtQueryInformationFile) query = nullptr;
  decltype(&NtSetInformationFile) set = nullptr;
  decltype(&RtlNtStatusToDosError) toError = nullptr;
};

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const NativeCalls& Native() {
  static const NativeCalls calls = [] {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    NativeCalls found;
    if (ntdll != nullptr) {
      found.create = Lookup<decltype(&NtCreateFile)>(ntdll, "NtCreateFile");
      found.query = Lookup<decltype(&NtQueryInformationFile)>(ntdll, "NtQueryInformationFile");
      found.set = Lookup<decltype(&NtSetInformationFile)>(ntdll, "NtSetInformationFile");
      found.toError = Lookup<decltype(&RtlNtStatusToDosError)>(ntdll, "RtlNtStatusToDosError");
    }
    return found;
  }();
  return calls;
}

constexpr NTSTATUS kStatusNameCollision = static_cast<NTSTATUS>(0xC0000035);
constexpr NTSTATUS kStatusFileIsADirectory = static_cast<NTSTATUS>(0xC00000BA);
constexpr ULONG kFileRenameInformation = 10;
constexpr ULONG kFileAccessInformation = 8;

namespace plain {

HANDLE OpenPath(const std::wstring& path, std::string_view, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) {
  return CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

// Opens name relative to root, an open folder (or, for a name ":stream", an
// open file), as CreateFileW would open a path; answers a Windows code.
ErrorCode OpenRelative(HANDLE root, const std::wstring& name, std::string_view, ACCESS_MASK access,
                       ULONG share, ULONG disposition, ULONG options, ULONG attributes,
                       KernelHandle& handle) {
  handle.reset();
  const NativeCalls& calls = Native();
  if (calls.create == nullptr || calls.toError == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  if (name.size() > 32767) return error::kFilenameTooLong;
  UNICODE_STRING text;
  text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  text.Buffer = const_cast<PWSTR>(name.c_str());
  OBJECT_ATTRIBUTES object;
  InitializeObjectAttributes(&object, &text, OBJ_CASE_INSENSITIVE, root, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE opened = nullptr;
  const NTSTATUS status =
      calls.create(&opened, access | SYNCHRONIZE, &object, &io, nullptr, attributes, share, disposition,
                   options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (status >= 0) {
    handle.reset(opened);
    return error::kSuccess;
  }
  // As CreateFileW answers them.
  if (status == kStatusNameCollision) return error::kFileExists;
  if (status == kStatusFileIsADirectory) return error::kAccessDenied;
  return static_cast<ErrorCode>(calls.toError(status));
}

BOOL Close(HANDLE handle) {
  return CloseHandle(handle);
}
BOOL Read(HANDLE file, void* buffer, DWORD size, DWORD* transferred) {
  return ReadFile(file, buffer, size, transferred, nullptr);
}
BOOL Write(HANDLE file, const void* buffer, DWORD size, DWORD* transferred) {
  return WriteFile(file, buffer, size, transferred, nullptr);
}
BOOL Flush(HANDLE file) {
  return FlushFileBuffers(file);
}
BOOL Move(const std::wstring& from, const std::wstring& to, std::string_view, DWORD flags) {
  return MoveFileExW(from.c_str(), to.c_str(), flags);
}
BOOL DeletePath(const std::wstring& path) {
  return DeleteFileW(path.c_str());
}
BOOL Copy(const std::wstring& from, const std::wstring& to) {
  return CopyFileW(from.c_str(), to.c_str(), TRUE);
}

}  // namespace plain

// What an open handle may do; 0 when the system cannot tell.
ACCESS_MASK GrantedAccess(HANDLE handle) {
  const NativeCalls& calls = Native();
  if (calls.query == nullptr) return 0;
  ACCESS_MASK granted = 0;
  IO_STATUS_BLOCK io{};
  const NTSTATUS status = calls.query(handle, &io, &granted, sizeof granted,
                                      static_cast<FILE_INFORMATION_CLASS>(kFileAccessInformation));
  return status >= 0 ? granted : 0;
}

// Moves the open file to name in the open folder root. The native call
// itself: Wine's SetFileInformationByHandle turns a bare name into a path
// from the current folder, which it then refuses beside a folder handle.
namespace plain {

ErrorCode RenameByHandle(HANDLE file, HANDLE root, const std::wstring& name, std::string_view, bool replace) {
  const NativeCalls& calls = Native();
  if (calls.set == nullptr || calls.toError == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  const std::size_t bytes = name.size() * sizeof(wchar_t);
  // FILE_RENAME_INFO is laid out as the native FILE_RENAME_INFORMATION.
  std::vector<std::uint64_t> buffer((sizeof(FILE_RENAME_INFO) + bytes) / sizeof(std::uint64_t) + 1);
  auto* const info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = root;
  info->FileNameLength = static_cast<DWORD>(bytes);
  std::memcpy(info->FileName, name.data(), bytes);
  IO_STATUS_BLOCK io{};
  const NTSTATUS status =
      calls.set(file, &io, info, static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t)),
                static_cast<FILE_INFORMATION_CLASS>(kFileRenameInformation));
  return status >= 0 ? error::kSuccess : static_cast<ErrorCode>(calls.toError(status));
}

// Marks the open file to go when its last handle closes.
ErrorCode DeleteByHandle(HANDLE file) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = TRUE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info) ? error::kSuccess
                                                                                   : LastError();
}

// See FolderIsWritable.
bool FolderWritable(const std::wstring& path, std::string_view) {
  // A read-only volume (a CD, a write-protected card) takes no new file.
  std::vector<wchar_t> volume(MAX_PATH + 1);
  DWORD flags = 0;
  if (GetVolumePathNameW(path.c_str(), volume.data(), MAX_PATH) &&
      GetVolumeInformationW(volume.data(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
      (flags & FILE_READ_ONLY_VOLUME) != 0) {
    return false;
  }
  // The folder's own permissions, asked as this user: may a file be added?
  // Where the system cannot be asked, the create itself will answer.
  constexpr SECURITY_INFORMATION kParts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD needed = 0;
  GetFileSecurityW(path.c_str(), kParts, nullptr, 0, &needed);
  if (needed == 0) return true;
  std::vector<BYTE> security(needed);
  if (!GetFileSecurityW(path.c_str(), kParts, security.data(), needed, &needed)) return true;
  HANDLE answer = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &answer)) return true;
  const KernelHandle process(answer);
  if (!DuplicateToken(process.get(), SecurityImpersonation, &answer)) return true;
  const KernelHandle token(answer);
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  DWORD access = FILE_ADD_FILE;
  MapGenericMask(&access, &mapping);
  PRIVILEGE_SET privileges{};
  DWORD privilegesSize = sizeof(privileges);
  DWORD granted = 0;
  BOOL allowed = FALSE;
  const BOOL asked = AccessCheck(security.data(), token.get(), access, &mapping, &privileges, &privilegesSize,
                                 &granted, &allowed);
  return !asked || allowed != FALSE;
}

}  // namespace plain

constexpr SystemCalls kPlain{plain::OpenPath,       plain::OpenRelative,   plain::Close,
                             plain::Read,           plain::Write,          plain::Flush,
                             plain::Move,           plain::DeletePath,     plain::Copy,
                             plain::RenameByHandle, plain::DeleteByHandle, plain::FolderWritable};

namespace hooked {

// What the plan's refusal of an open depends on: whether it may write or create.
constexpr ACCESS_MASK kWriting = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA;

HANDLE OpenPath(const std::wstring& path, std::string_view shown, DWORD access, DWORD share,
                DWORD disposition, DWORD flags) {
  const bool writes = (access & kWriting) != 0 || disposition != OPEN_EXISTING;
  if (const ErrorCode refused = writes ? faults::RefusedOpen(shown, true) : error::kSuccess) {
    SetLastError(refused);
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE handle = kPlain.createFile(path, shown, access, share, disposition, flags);
  if (writes && handle != INVALID_HANDLE_VALUE)
    faults::Opened(reinterpret_cast<std::intptr_t>(handle), shown);
  return handle;
}

ErrorCode OpenRelative(HANDLE root, const std::wstring& name, std::string_view shown, ACCESS_MASK access,
                       ULONG share, ULONG disposition, ULONG options, ULONG attributes,
                       KernelHandle& handle) {
  const bool writes = (access & kWriting) != 0 || disposition != FILE_OPEN;
  if (const ErrorCode refused = writes ? faults::RefusedOpen(shown, true) : error::kSuccess) return refused;
  const ErrorCode code =
      kPlain.openRelative(root, name, shown, access, share, disposition, options, attributes, handle);
  if (writes && code == error::kSuccess) faults::Opened(reinterpret_cast<std::intptr_t>(handle.get()), shown);
  return code;
}

BOOL Close(HANDLE handle) {
  faults::Closed(reinterpret_cast<std::intptr_t>(handle));
  return kPlain.close(handle);
}

BOOL Write(HANDLE file, const void* buffer, DWORD size, DWORD* transferred) {
  *transferred = 0;
  LARGE_INTEGER position{};
  (void)SetFilePointerEx(file, LARGE_INTEGER{}, &position, FILE_CURRENT);
  std::size_t allowed = size;
  if (const ErrorCode refused =
          faults::AllowedWrite(reinterpret_cast<std::intptr_t>(file),
                               static_cast<std::uint64_t>(position.QuadPart), size, allowed)) {
    SetLastError(refused);
    return FALSE;
  }
  return kPlain.write(file, buffer, static_cast<DWORD>(allowed), transferred);
}

BOOL Move(const std::wstring& from, const std::wstring& to, std::string_view shownTo, DWORD flags) {
  if (const ErrorCode refused =
          (flags & MOVEFILE_REPLACE_EXISTING) != 0 ? faults::RefusedReplace(shownTo) : error::kSuccess) {
    SetLastError(refused);
    return FALSE;
  }
  return kPlain.move(from, to, shownTo, flags);
}

ErrorCode RenameByHandle(HANDLE file, HANDLE root, const std::wstring& name, std::string_view shownTo,
                         bool replace) {
  if (const ErrorCode refused = replace ? faults::RefusedReplace(shownTo) : error::kSuccess) return refused;
  return kPlain.renameByHandle(file, root, name, shownTo, replace);
}

// A read-only disk that the plan makes up takes no new file either.
bool FolderWritable(const std::wstring& path, std::string_view shown) {
  return faults::RefusedOpen(shown, true) == error::kSuccess && kPlain.folderWritable(path, shown);
}

}  // namespace hooked

constexpr SystemCalls kHooked{
    hooked::OpenPath, hooked::OpenRelative,   hooked::Close,         plain::Read,
    hooked::Write,    plain::Flush,           hooked::Move,          plain::DeletePath,
    plain::Copy,      hooked::RenameByHandle, plain::DeleteByHandle, hooked::FolderWritable};

}  // namespace

const SystemCalls& win32::System() noexcept {
  return faults::Active() ? kHooked : kPlain;
}

bool FileTraits::Close(Handle native) noexcept {
  return KernelTraits::Close(reinterpret_cast<HANDLE>(native));
}

void IgnoreLeaseSignal() {}

ErrorCode OpenByPath(std::string_view path, Access access, std::uint32_t share, Creation creation,
                     FileHandle& file) {
  file.reset();
  const auto wide = WidePath(path);
  if (!wide) return error::kInvalidName;
  DWORD desired = 0;
  switch (access) {
    case Access::Read: desired = GENERIC_READ; break;
    case Access::Write: desired = GENERIC_WRITE; break;
    case Access::ReadWrite: desired = GENERIC_READ | GENERIC_WRITE; break;
  }
  // Windows refuses to write a read-only file, but Wine running as root does
  // not: ask the attribute first, so the answer is the same everywhere.
  if (access != Access::Read && creation != Creation::CreateNew) {
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return error::kAccessDenied;
    }
  }
  DWORD disposition = OPEN_EXISTING;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  if (creation == Creation::CreateAlways) disposition = CREATE_ALWAYS;
  if (creation == Creation::CreateNew) {
    // CREATE_NEW fails on any existing name, a link included.
    disposition = CREATE_NEW;
    flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  }
  const HANDLE handle = System().createFile(*wide, path, desired, share, disposition, flags);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  file = FileOf(handle);
  if (creation == Creation::CreateNew) {
    // Somebody linked the new file elsewhere before we could look at it: what
    // is written into it would show up under that other name too.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) || info.nNumberOfLinks != 1 ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
      file.reset();
      (void)System().deleteFile(*wide);
      return error::kSharingViolation;
    }
  }
  return error::kSuccess;
}

ErrorCode Read(FileHandle& file, void* buffer, std::size_t size, std::size_t& transferred) {
  DWORD count = 0;
  const BOOL ok = System().read(HandleOf(file), buffer, static_cast<DWORD>(size), &count);
  transferred = count;
  return ok ? error::kSuccess : LastError();
}

ErrorCode Write(FileHandle& file, const void* buffer, std::size_t size, std::size_t& transferred) {
  transferred = 0;
  DWORD count = 0;
  const BOOL ok = System().write(HandleOf(file), buffer, static_cast<DWORD>(size), &count);
  transferred = count;
  return ok ? error::kSuccess : LastError();
}

ErrorCode Flush(FileHandle& file) {
  return System().flush(HandleOf(file)) ? error::kSuccess : LastError();
}

ErrorCode Size(FileHandle& file, std::uint64_t& size) {
  LARGE_INTEGER value{};
  if (!GetFileSizeEx(HandleOf(file), &value)) return LastError();
  size = static_cast<std::uint64_t>(value.QuadPart);
  return error::kSuccess;
}

ErrorCode Close(FileHandle& file) {
  if (!file) return error::kInvalidHandle;
  return file.close() ? error::kSuccess : LastError();
}

bool IsFile(std::string_view path) {
  const auto wide = WidePath(path);
  if (!wide || wide->empty()) return false;
  WIN32_FIND_DATAW found{};
  const SearchHandle search(FindFirstFileW(wide->c_str(), &found));
  if (!search) return false;
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ErrorCode DeleteByPath(std::string_view path) {
  const auto wide = WidePath(path);
  if (!wide) return error::kInvalidName;
  return RetriedWhileBusy([&] { return System().deleteFile(*wide) ? error::kSuccess : LastError(); });
}

ErrorCode StampOf(const FileHandle& file, FileStamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandle(HandleOf(file), &info) ||
      !GetFileInformationByHandleEx(HandleOf(file), FileBasicInfo, &basic, sizeof basic)) {
    return LastError();
  }
  stamp = {info.dwVolumeSerialNumber,
           (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
           (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
           static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                     info.ftLastWriteTime.dwLowDateTime),
           static_cast<std::int64_t>(basic.ChangeTime.QuadPart),
           info.nNumberOfLinks};
  return error::kSuccess;
}

ErrorCode StampByPath(std::string_view path, FileStamp& stamp) {
  const auto wide = WidePath(path);
  if (!wide) return error::kInvalidName;
  const FileHandle file =
      FileOf(System().createFile(*wide, path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING, 0));
  if (!file) return LastError();
  return StampOf(file, stamp);
}

bool SameOwner(std::string_view, std::string_view) {
  return true;
}

ErrorCode RemoveWorkFileByPath(std::string_view path) {
  const auto wide = WidePath(path);
  if (!wide) return error::kInvalidName;
  if (wide->empty()) return error::kPathNotFound;
  const DWORD attributes = GetFileAttributesW(wide->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND ? error::kSuccess : static_cast<ErrorCode>(code);
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return error::kAccessDenied;
  // DeleteFileW removes a link itself, and refuses (32) a file held without
  // delete sharing.
  return RetriedWhileBusy([&] {
    if (System().deleteFile(*wide)) return error::kSuccess;
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND ? error::kSuccess : static_cast<ErrorCode>(code);
  });
}

ErrorCode MoveByPath(std::string_view from, std::string_view to) {
  const auto wideFrom = WidePath(from);
  const auto wideTo = WidePath(to);
  if (!wideFrom || !wideTo) return error::kInvalidName;
  return RetriedWhileBusy([&] {
    return System().move(*wideFrom, *wideTo, to, MOVEFILE_COPY_ALLOWED) ? error::kSuccess : LastError();
  });
}

ErrorCode ReplaceByPath(std::string_view from, std::string_view to) {
  const auto wideFrom = WidePath(from);
  const auto wideTo = WidePath(to);
  if (!wideFrom || !wideTo) return error::kInvalidName;
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  return RetriedWhileBusy(
      [&] { return System().move(*wideFrom, *wideTo, to, flags) ? error::kSuccess : LastError(); });
}

ErrorCode SyncFolderOf(const Place&) {
  return error::kSuccess;
}

namespace {

// The hold of the open folder: a named event that stands for the folder's
// identity (its volume and file index, the same however the folder is spelt
// or reached), made new by the first holder. Any other, in this process or
// another, in any session, finds it there, and it goes with its last handle,
// also when the holder is killed. Nothing is made in the folder, so no file
// of the user's can be in the way and a folder that takes no new file is held
// as well. The name is this computer's: a share that several computers
// convert in is kept apart by the work files each holds open.
ErrorCode HoldIdentityOf(HANDLE folder, FileHandle& lock) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(folder, &info)) return LastError();
  const auto hex = [](std::uint64_t value, std::size_t digits) {
    std::wstring text(digits, L'0');
    for (std::size_t i = digits; i > 0; --i, value >>= 4) text[i - 1] = L"0123456789ABCDEF"[value & 15];
    return text;
  };
  const std::wstring name = L"Global\\kwtconv-folder-" + hex(info.dwVolumeSerialNumber, 8) + L"-" +
                            hex((std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, 16);
  SetLastError(ERROR_SUCCESS);
  KernelHandle event(CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  const DWORD code = GetLastError();
  // Another user's hold may refuse us its event: held all the same.
  if (!event) return code == ERROR_ACCESS_DENIED ? error::kSharingViolation : static_cast<ErrorCode>(code);
  if (code == ERROR_ALREADY_EXISTS) return error::kSharingViolation;
  lock = FileOf(event.take());
  return error::kSuccess;
}

}  // namespace

// A folder's permissions may deny deleting, but only for files it holds; the
// trial's own removal tells.
ErrorCode CanRemoveIn(const HeldFolder&) {
  return error::kSuccess;
}

ErrorCode LockFolder(std::string_view folder, FileHandle& lock) {
  lock.reset();
  const auto wide = WidePath(folder.empty() ? std::string_view(".") : folder);
  if (!wide) return error::kInvalidName;
  const KernelHandle opened(System().createFile(*wide, folder, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
                                                FILE_FLAG_BACKUP_SEMANTICS));
  if (!opened) {
    const ErrorCode code = LastError();
    return code == ERROR_FILE_NOT_FOUND ? error::kPathNotFound : code;
  }
  return HoldIdentityOf(opened.get(), lock);
}

ErrorCode Duplicate(const FileHandle& file, FileHandle& copy) {
  copy.reset();
  HANDLE duplicate = nullptr;
  const HANDLE process = GetCurrentProcess();
  if (!DuplicateHandle(process, HandleOf(file), process, &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return LastError();
  }
  copy = FileOf(duplicate);
  return error::kSuccess;
}

// Windows moves and deletes only files nobody holds without sharing, so the
// hold goes first; a file another opener took meanwhile then refuses with 32.
ErrorCode ReplaceOwnByPath(FileHandle& held, std::string_view from, std::string_view to) {
  (void)Close(held);
  return ReplaceByPath(from, to);
}

ErrorCode DeleteOwnByPath(FileHandle& held, std::string_view path) {
  (void)Close(held);
  return DeleteByPath(path);
}

namespace {

bool IsLink(const BY_HANDLE_FILE_INFORMATION& info) {
  return (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A bare name in the folder, wide; nullopt for anything else (a delimiter, a
// drive, a stream).
std::optional<std::wstring> BareName(std::string_view name) {
  auto wide = WidePath(name);
  if (!wide || wide->empty() || *wide == L"." || *wide == L".." ||
      wide->find_first_of(L"\\/:") != std::wstring::npos) {
    return std::nullopt;
  }
  return wide;
}

HANDLE FolderOf(const HeldFolder& held) {
  return HandleOf(held.folder);
}

// The name in the held folder as the core would name it.
std::string Shown(const HeldFolder& held, const std::wstring& name) {
  return held.path + encoding::WideToCp932(name).value_or(std::string());
}

// Opens name in the held folder without following a final link.
ErrorCode OpenInFolder(const HeldFolder& held, const std::wstring& name, ACCESS_MASK access, ULONG share,
                       ULONG disposition, ULONG options, KernelHandle& handle) {
  return System().openRelative(FolderOf(held), name, Shown(held, name), access, share, disposition,
                               options | FILE_OPEN_REPARSE_POINT, FILE_ATTRIBUTE_NORMAL, handle);
}

// Deletes name in the held folder by handle: missing is kFileNotFound.
ErrorCode DeleteInFolder(const HeldFolder& held, const std::wstring& name) {
  KernelHandle handle;
  if (const ErrorCode code =
          OpenInFolder(held, name, DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0, handle)) {
    return code;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  ErrorCode code = GetFileInformationByHandle(handle.get(), &info) ? error::kSuccess : LastError();
  if (code == error::kSuccess && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    code = error::kAccessDenied;
  }
  if (code == error::kSuccess) code = System().deleteByHandle(handle.get());
  return code;
}

ErrorCode ReplaceInFolder(const HeldFolder& held, const std::wstring& from, const std::wstring& to,
                          bool replace = true) {
  KernelHandle handle;
  if (const ErrorCode code = OpenInFolder(held, from, DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN,
                                          FILE_NON_DIRECTORY_FILE, handle)) {
    return code;
  }
  // A rename within one volume is one entry in the file system's log; the
  // write-through of a move by name matters only for a copy between volumes.
  return System().renameByHandle(handle.get(), FolderOf(held), to, Shown(held, to), replace);
}

}  // namespace

ErrorCode HoldFolder(std::string_view folder, HeldFolder& held) {
  held = HeldFolder();
  auto wide = WidePath(folder.empty() ? std::string_view(".") : folder);
  if (!wide) return error::kInvalidName;
  // A closing delimiter goes (but not a root's): the final name is what must
  // not be a link.
  while (wide->size() > 1 && (wide->back() == L'\\' || wide->back() == L'/') &&
         (*wide)[wide->size() - 2] != L':') {
    wide->pop_back();
  }
  const HANDLE handle = System().createFile(
      *wide, folder, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  if (handle == INVALID_HANDLE_VALUE) {
    const ErrorCode code = LastError();
    return code == ERROR_FILE_NOT_FOUND ? error::kPathNotFound : code;
  }
  HeldFolder opened;
  opened.folder = FileOf(handle);
  opened.path = std::string(folder);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return LastError();
  if (IsLink(info)) return error::kLinkInTheWay;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return error::kPathNotFound;
  // The same hold as LockFolder's, of the folder opened.
  if (const ErrorCode code = HoldIdentityOf(handle, opened.lock)) return code;
  held = std::move(opened);
  return error::kSuccess;
}

ErrorCode OpenInHeld(const HeldFolder& held, std::string_view name, Access access, std::uint32_t share,
                     Creation creation, FileHandle& file) {
  file.reset();
  const auto wide = BareName(name);
  if (!held || !wide) return error::kInvalidName;
  ACCESS_MASK desired = FILE_READ_ATTRIBUTES;
  switch (access) {
    case Access::Read: desired |= GENERIC_READ; break;
    case Access::Write: desired |= GENERIC_WRITE; break;
    case Access::ReadWrite: desired |= GENERIC_READ | GENERIC_WRITE; break;
  }
  // Never an overwrite: what has the name is looked at before it is emptied.
  const ULONG disposition = creation == Creation::CreateNew      ? FILE_CREATE
                            : creation == Creation::CreateAlways ? FILE_OPEN_IF
                                                                 : FILE_OPEN;
  KernelHandle opening;
  ErrorCode code = error::kSuccess;
  if (creation == Creation::CreateNew) {
    // A work file made here may later move or go through this very handle.
    code = OpenInFolder(held, *wide, desired | DELETE, share, disposition, FILE_NON_DIRECTORY_FILE, opening);
    if (code == error::kAccessDenied) {
      code = OpenInFolder(held, *wide, desired, share, disposition, FILE_NON_DIRECTORY_FILE, opening);
    }
  } else {
    code = OpenInFolder(held, *wide, desired, share, disposition, FILE_NON_DIRECTORY_FILE, opening);
  }
  if (code != error::kSuccess) return code;
  FileHandle opened = FileOf(opening.take());
  const HANDLE handle = HandleOf(opened);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return LastError();
  if (IsLink(info)) return error::kLinkInTheWay;
  if (creation == Creation::CreateNew && info.nNumberOfLinks != 1) {
    (void)System().deleteByHandle(handle);
    return error::kSharingViolation;
  }
  // Windows refuses to write a read-only file, but Wine running as root does not.
  if (access != Access::Read && creation != Creation::CreateNew &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return error::kAccessDenied;
  }
  if (creation == Creation::CreateAlways) {
    FILE_END_OF_FILE_INFO empty{};
    if (!SetFileInformationByHandle(handle, FileEndOfFileInfo, &empty, sizeof empty)) return LastError();
  }
  file = std::move(opened);
  return error::kSuccess;
}

ErrorCode StampInHeld(const HeldFolder& held, std::string_view name, FileStamp& stamp) {
  const auto wide = BareName(name);
  if (!held || !wide) return error::kInvalidName;
  KernelHandle opening;
  if (const ErrorCode code =
          OpenInFolder(held, *wide, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0, opening)) {
    return code;
  }
  const FileHandle file = FileOf(opening.take());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(HandleOf(file), &info)) return LastError();
  if (IsLink(info)) return error::kLinkInTheWay;
  return StampOf(file, stamp);
}

ErrorCode RemoveWorkFileInHeld(const HeldFolder& held, std::string_view name) {
  const auto wide = BareName(name);
  if (!held || !wide) return error::kInvalidName;
  return RetriedWhileBusy([&] {
    const ErrorCode code = DeleteInFolder(held, *wide);
    return code == error::kFileNotFound ? error::kSuccess : code;
  });
}

ErrorCode DeleteInHeld(const HeldFolder& held, std::string_view name) {
  const auto wide = BareName(name);
  if (!held || !wide) return error::kInvalidName;
  return RetriedWhileBusy([&] { return DeleteInFolder(held, *wide); });
}

ErrorCode ReplaceInHeld(const HeldFolder& held, std::string_view from, std::string_view to) {
  const auto wideFrom = BareName(from);
  const auto wideTo = BareName(to);
  if (!held || !wideFrom || !wideTo) return error::kInvalidName;
  return RetriedWhileBusy([&] { return ReplaceInFolder(held, *wideFrom, *wideTo); });
}

// A file that may be deleted through its own handle moves or goes that way,
// still held; any other is let go first, as ReplaceOwnByPath does.
ErrorCode ReplaceOwnInHeld(const HeldFolder& held, FileHandle& file, std::string_view from,
                           std::string_view to) {
  const auto wideTo = BareName(to);
  if (!held || !BareName(from) || !wideTo) {
    (void)Close(file);
    return error::kInvalidName;
  }
  const std::string shown = held.path + std::string(to);
  if (file && (GrantedAccess(HandleOf(file)) & DELETE) != 0) {
    const ErrorCode code = RetriedWhileBusy(
        [&] { return System().renameByHandle(HandleOf(file), FolderOf(held), *wideTo, shown, true); });
    (void)Close(file);
    return code;
  }
  (void)Close(file);
  return ReplaceInHeld(held, from, to);
}

ErrorCode DeleteOwnInHeld(const HeldFolder& held, FileHandle& file, std::string_view name) {
  if (!held || !BareName(name)) {
    (void)Close(file);
    return error::kInvalidName;
  }
  if (file && (GrantedAccess(HandleOf(file)) & DELETE) != 0) {
    const ErrorCode code = System().deleteByHandle(HandleOf(file));
    (void)Close(file);
    return code;
  }
  (void)Close(file);
  return DeleteInHeld(held, name);
}

// One call per operation: a place in a held folder goes relative to its open
// folder, a path as it stands.
ErrorCode Open(const Place& place, Access access, std::uint32_t share, Creation creation, FileHandle& file) {
  return place.folder ? OpenInHeld(*place.folder, place.name, access, share, creation, file)
                      : OpenByPath(place.name, access, share, creation, file);
}

ErrorCode StampOf(const Place& place, FileStamp& stamp) {
  return place.folder ? StampInHeld(*place.folder, place.name, stamp) : StampByPath(place.name, stamp);
}

ErrorCode Delete(const Place& place) {
  return place.folder ? DeleteInHeld(*place.folder, place.name) : DeleteByPath(place.name);
}

ErrorCode RemoveWorkFile(const Place& place) {
  return place.folder ? RemoveWorkFileInHeld(*place.folder, place.name) : RemoveWorkFileByPath(place.name);
}

ErrorCode Replace(const Place& from, const Place& to) {
  if (from.folder != to.folder) return error::kInvalidName;
  return from.folder ? ReplaceInHeld(*from.folder, from.name, to.name) : ReplaceByPath(from.name, to.name);
}

ErrorCode ReplaceHeld(FileHandle& held, const Place& from, const Place& to) {
  if (from.folder != to.folder) {
    (void)Close(held);
    return error::kInvalidName;
  }
  return from.folder ? ReplaceOwnInHeld(*from.folder, held, from.name, to.name)
                     : ReplaceOwnByPath(held, from.name, to.name);
}

ErrorCode DeleteHeld(FileHandle& held, const Place& place) {
  return place.folder ? DeleteOwnInHeld(*place.folder, held, place.name) : DeleteOwnByPath(held, place.name);
}

// The calls that only look at what a place names: opened for no access to its
// data, so a file that another opener holds answers too.
namespace {

// Opens what place names to look at it; a link is followed on a path only
// when follow says so, and never in a held folder.
KernelHandle OpenToLook(const Place& place, DWORD flags) {
  if (place.folder) {
    const auto wide = BareName(place.name);
    KernelHandle handle;
    if (*place.folder && wide)
      (void)OpenInFolder(*place.folder, *wide, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0, handle);
    return handle;
  }
  const auto wide = WidePath(place.name);
  if (!wide || wide->empty()) return KernelHandle();
  return KernelHandle(System().createFile(*wide, place.name, 0, kShareAll, OPEN_EXISTING, flags));
}

// The volume and index that tell one file from every other.
std::optional<BY_HANDLE_FILE_INFORMATION> IdentityOf(const Place& place) {
  const KernelHandle handle = OpenToLook(place, FILE_FLAG_BACKUP_SEMANTICS);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!handle || !GetFileInformationByHandle(handle.get(), &info)) return std::nullopt;
  return info;
}

}  // namespace

bool FolderIsWritable(const Place& folder) {
  const std::string path =
      folder.folder ? folder.folder->path + std::string(folder.name) : std::string(folder.name);
  const auto wide = WidePath(path.empty() ? std::string_view(".") : std::string_view(path));
  return wide && System().folderWritable(*wide, path);
}

FileKind KindOf(const Place& place) {
  if (!place.folder) {
    const auto wide = WidePath(place.name);
    if (!wide || wide->empty()) return FileKind::Missing;
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::Directory;
    // Asking for no access opens even a file that somebody holds without sharing.
    const KernelHandle handle = OpenToLook(place, 0);
    if (!handle) return FileKind::Regular;  // the open that follows reports why
    return GetFileType(handle.get()) == FILE_TYPE_DISK ? FileKind::Regular : FileKind::Other;
  }
  // In a held folder the final link is not followed: a link there is Other.
  const auto info = IdentityOf(place);
  if (!info) return FileKind::Missing;
  if ((info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::Directory;
  return IsLink(*info) ? FileKind::Other : FileKind::Regular;
}

bool IsPlainFile(const Place& place) {
  const KernelHandle handle = OpenToLook(place, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!handle) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL ok = GetFileInformationByHandle(handle.get(), &info);
  const DWORD type = GetFileType(handle.get());
  return ok && type == FILE_TYPE_DISK && info.nNumberOfLinks == 1 &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

bool SameFile(const Place& first, const Place& second) {
  const auto a = IdentityOf(first);
  const auto b = IdentityOf(second);
  return a && b && a->dwVolumeSerialNumber == b->dwVolumeSerialNumber &&
         a->nFileIndexHigh == b->nFileIndexHigh && a->nFileIndexLow == b->nFileIndexLow;
}

ErrorCode CanReplaceIn(const Place&) {
  return error::kSuccess;
}

ErrorCode Move(const Place& from, const Place& to) {
  if (from.folder != to.folder) return error::kInvalidName;
  if (!from.folder) return MoveByPath(from.name, to.name);
  const auto wideFrom = BareName(from.name);
  const auto wideTo = BareName(to.name);
  if (!*from.folder || !wideFrom || !wideTo) return error::kInvalidName;
  const ErrorCode code =
      RetriedWhileBusy([&] { return ReplaceInFolder(*from.folder, *wideFrom, *wideTo, /*replace=*/false); });
  return code == error::kFileExists ? error::kAlreadyExists : code;
}

ErrorCode Copy(const Place& from, const Place& to) {
  if (!from.folder && !to.folder) {
    const auto wideFrom = WidePath(from.name);
    const auto wideTo = WidePath(to.name);
    if (!wideFrom || !wideTo) return error::kInvalidName;
    return System().copy(*wideFrom, *wideTo) ? error::kSuccess : LastError();
  }
  // Through a held folder: made new there, its bytes and what CopyPermissions
  // carries over (owner, DACL, attributes, streams) taken from the file opened.
  FileHandle source;
  if (const ErrorCode code = Open(from, Access::Read, kShareRead, Creation::OpenExisting, source))
    return code;
  FileHandle target;
  if (const ErrorCode code = Open(to, Access::ReadWrite, kShareNone, Creation::CreateNew, target))
    return code;
  CopyPermissions(source, target);
  ErrorCode code = CopyBytes(source, target);
  if (code == error::kSuccess) code = Close(target);
  // A half-written copy is worse than none.
  if (code != error::kSuccess) (void)DeleteHeld(target, to);
  return code;
}

ErrorCode WatchForWriters(const FileHandle&, bool& watching) {
  // The share mode the file was opened with keeps every writer out already.
  watching = true;
  return error::kSuccess;
}

bool WriterOpened(const FileHandle&) {
  return false;
}

}  // namespace kwt::platform
