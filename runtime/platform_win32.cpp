// Windows only: the platform seam over the wide Win32 file API, with every
// path converted from code page 932 explicitly.
#include "runtime/platform.h"

#include <optional>
#include <utility>

#include "runtime/encoding.h"
#include "runtime/platform_faults.h"
#include "runtime/windows_api.h"

namespace kwt::platform {
namespace {

ErrorCode LastError() {
  return static_cast<ErrorCode>(GetLastError());
}

std::optional<std::wstring> WidePath(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return std::nullopt;
  return encoding::Cp932ToWide(path);
}

HANDLE Native(const FileHandle& file) {
  return reinterpret_cast<HANDLE>(file.native());
}

// A directory search, ended when it goes out of scope. Move-only.
class FindHandle {
 public:
  explicit FindHandle(HANDLE search) noexcept : search_(search) {}
  ~FindHandle() {
    if (search_ != INVALID_HANDLE_VALUE) FindClose(search_);
  }
  FindHandle(FindHandle&& other) noexcept : search_(std::exchange(other.search_, INVALID_HANDLE_VALUE)) {}
  FindHandle& operator=(FindHandle&&) = delete;
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  explicit operator bool() const noexcept { return search_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const noexcept { return search_; }

 private:
  HANDLE search_;
};

}  // namespace

FileHandle::~FileHandle() {
  reset(kInvalid);
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) reset(other.take());
  return *this;
}

void FileHandle::reset(std::intptr_t native) noexcept {
  if (native_ != kInvalid) {
    faults::Closed(native_);
    CloseHandle(reinterpret_cast<HANDLE>(native_));
  }
  native_ = native;
}

ErrorCode Open(std::string_view path, Access access, std::uint32_t share, Creation creation,
               FileHandle& file) {
  file.reset(FileHandle::kInvalid);
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
  if (const ErrorCode refused =
          faults::RefusedOpen(path, access != Access::Read || creation != Creation::OpenExisting)) {
    return refused;
  }
  const HANDLE handle = CreateFileW(wide->c_str(), desired, share, nullptr, disposition, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  file.reset(reinterpret_cast<std::intptr_t>(handle));
  faults::Opened(file.native(), path);
  if (creation == Creation::CreateNew) {
    // Somebody linked the new file elsewhere before we could look at it: what
    // is written into it would show up under that other name too.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info) || info.nNumberOfLinks != 1 ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
      file.reset(FileHandle::kInvalid);
      DeleteFileW(wide->c_str());
      return error::kSharingViolation;
    }
  }
  return error::kSuccess;
}

ErrorCode Read(FileHandle& file, void* buffer, std::size_t size, std::size_t& transferred) {
  DWORD count = 0;
  const BOOL ok = ReadFile(Native(file), buffer, static_cast<DWORD>(size), &count, nullptr);
  transferred = count;
  return ok ? error::kSuccess : LastError();
}

ErrorCode Write(FileHandle& file, const void* buffer, std::size_t size, std::size_t& transferred) {
  transferred = 0;
  LARGE_INTEGER position{};
  (void)SetFilePointerEx(Native(file), LARGE_INTEGER{}, &position, FILE_CURRENT);
  if (const ErrorCode refused =
          faults::AllowedWrite(file.native(), static_cast<std::uint64_t>(position.QuadPart), size, size)) {
    return refused;
  }
  DWORD count = 0;
  const BOOL ok = WriteFile(Native(file), buffer, static_cast<DWORD>(size), &count, nullptr);
  transferred = count;
  return ok ? error::kSuccess : LastError();
}

ErrorCode Flush(FileHandle& file) {
  return FlushFileBuffers(Native(file)) ? error::kSuccess : LastError();
}

ErrorCode Size(FileHandle& file, std::uint64_t& size) {
  LARGE_INTEGER value{};
  if (!GetFileSizeEx(Native(file), &value)) return LastError();
  size = static_cast<std::uint64_t>(value.QuadPart);
  return error::kSuccess;
}

ErrorCode Close(FileHandle& file) {
  const std::intptr_t native = file.take();
  if (native == FileHandle::kInvalid) return error::kInvalidHandle;
  faults::Closed(native);
  return CloseHandle(reinterpret_cast<HANDLE>(native)) ? error::kSuccess : LastError();
}

bool IsFile(std::string_view path) {
  const auto wide = WidePath(path);
  if (!wide || wide->empty()) return false;
  WIN32_FIND_DATAW found{};
  const FindHandle search(FindFirstFileW(wide->c_str(), &found));
  if (!search) return false;
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

ErrorCode Delete(std::string_view path) {
  const auto wide = WidePath(path);
  if (!wide) return error::kInvalidName;
  return DeleteFileW(wide->c_str()) ? error::kSuccess : LastError();
}

bool FolderIsWritable(std::string_view) {
  return true;
}

FileKind KindOf(std::string_view path) {
  const auto wide = WidePath(path);
  if (!wide || wide->empty()) return FileKind::Missing;
  const DWORD attributes = GetFileAttributesW(wide->c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::Directory;
  // Asking for no access opens even a file that somebody holds without sharing.
  const HANDLE handle = CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FileKind::Regular;  // the open that follows reports why
  const DWORD type = GetFileType(handle);
  CloseHandle(handle);
  return type == FILE_TYPE_DISK ? FileKind::Regular : FileKind::Other;
}

bool IsPlainFile(std::string_view path) {
  const auto wide = WidePath(path);
  if (!wide || wide->empty()) return false;
  const HANDLE handle = CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL ok = GetFileInformationByHandle(handle, &info);
  const DWORD type = GetFileType(handle);
  CloseHandle(handle);
  return ok && type == FILE_TYPE_DISK && info.nNumberOfLinks == 1 &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

ErrorCode StampOf(const FileHandle& file, FileStamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(Native(file), &info)) return LastError();
  stamp = {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
           (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
           static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                     info.ftLastWriteTime.dwLowDateTime)};
  return error::kSuccess;
}

ErrorCode StampOf(std::string_view path, FileStamp& stamp) {
  const auto wide = WidePath(path);
  if (!wide) return error::kInvalidName;
  FileHandle file;
  const HANDLE handle = CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  file.reset(reinterpret_cast<std::intptr_t>(handle));
  return StampOf(file, stamp);
}

bool SameOwner(std::string_view, std::string_view) {
  return true;
}

ErrorCode RemoveWorkFile(std::string_view path) {
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
  if (DeleteFileW(wide->c_str())) return error::kSuccess;
  const DWORD code = GetLastError();
  return code == ERROR_FILE_NOT_FOUND ? error::kSuccess : static_cast<ErrorCode>(code);
}

ErrorCode Move(std::string_view from, std::string_view to) {
  const auto wide_from = WidePath(from);
  const auto wide_to = WidePath(to);
  if (!wide_from || !wide_to) return error::kInvalidName;
  return MoveFileW(wide_from->c_str(), wide_to->c_str()) ? error::kSuccess : LastError();
}

ErrorCode Replace(std::string_view from, std::string_view to) {
  const auto wide_from = WidePath(from);
  const auto wide_to = WidePath(to);
  if (!wide_from || !wide_to) return error::kInvalidName;
  const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  return MoveFileExW(wide_from->c_str(), wide_to->c_str(), flags) ? error::kSuccess : LastError();
}

ErrorCode SyncFolderOf(std::string_view) {
  return error::kSuccess;
}

ErrorCode CanReplaceIn(std::string_view) {
  return error::kSuccess;
}

ErrorCode LockFolder(std::string_view folder, FileHandle& lock) {
  lock.reset(FileHandle::kInvalid);
  const std::string path = std::string(folder) + "TMP.LCK";
  const auto wide = WidePath(path);
  if (!wide) return error::kInvalidName;
  if (const ErrorCode refused = faults::RefusedOpen(path, true)) return refused;
  // Delete-on-close: the system removes the file with the last handle, also
  // when the process is killed, so no lock outlives its holder.
  const HANDLE handle =
      CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  FileHandle held;
  held.reset(reinterpret_cast<std::intptr_t>(handle));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info) || info.nNumberOfLinks != 1 ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return error::kAccessDenied;
  }
  lock = std::move(held);
  return error::kSuccess;
}

ErrorCode Duplicate(const FileHandle& file, FileHandle& copy) {
  copy.reset(FileHandle::kInvalid);
  HANDLE duplicate = nullptr;
  const HANDLE process = GetCurrentProcess();
  if (!DuplicateHandle(process, Native(file), process, &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return LastError();
  }
  copy.reset(reinterpret_cast<std::intptr_t>(duplicate));
  return error::kSuccess;
}

// Windows moves and deletes only files nobody holds without sharing, so the
// hold goes first; a file another opener took meanwhile then refuses with 32.
ErrorCode ReplaceHeld(FileHandle& held, std::string_view from, std::string_view to) {
  (void)Close(held);
  return Replace(from, to);
}

ErrorCode DeleteHeld(FileHandle& held, std::string_view path) {
  (void)Close(held);
  return Delete(path);
}

ErrorCode Copy(std::string_view from, std::string_view to) {
  const auto wide_from = WidePath(from);
  const auto wide_to = WidePath(to);
  if (!wide_from || !wide_to) return error::kInvalidName;
  return CopyFileW(wide_from->c_str(), wide_to->c_str(), TRUE) ? error::kSuccess : LastError();
}

namespace {

// The volume and index that tell one file from every other. Asking needs no
// access to the file's data, so a file that another opener holds answers too.
std::optional<BY_HANDLE_FILE_INFORMATION> IdentityOf(const std::wstring& path) {
  const HANDLE handle = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL ok = GetFileInformationByHandle(handle, &info);
  CloseHandle(handle);
  if (!ok) return std::nullopt;
  return info;
}

}  // namespace

bool SameFile(std::string_view first, std::string_view second) {
  const auto wide_first = WidePath(first);
  const auto wide_second = WidePath(second);
  if (!wide_first || !wide_second || wide_first->empty() || wide_second->empty()) return false;
  const auto a = IdentityOf(*wide_first);
  const auto b = IdentityOf(*wide_second);
  return a && b && a->dwVolumeSerialNumber == b->dwVolumeSerialNumber &&
         a->nFileIndexHigh == b->nFileIndexHigh && a->nFileIndexLow == b->nFileIndexLow;
}

std::string ReplacementTarget(std::string_view path) {
  return std::string(path);
}

void CopyPermissions(const FileHandle&, FileHandle&) {}

void GiveDefaultPermissions(FileHandle&) {}

ErrorCode ListFolder(std::string_view folder, std::vector<FolderEntry>& entries, std::size_t& unnamed) {
  entries.clear();
  unnamed = 0;
  const auto wide = WidePath(std::string(folder) + "*");
  if (!wide) return error::kInvalidName;
  WIN32_FIND_DATAW found{};
  const FindHandle search(FindFirstFileW(wide->c_str(), &found));
  if (!search) {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND ? error::kSuccess : static_cast<ErrorCode>(code);
  }
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    auto cp932 = encoding::WideToCp932(name);
    if (!cp932) {
      ++unnamed;
      continue;
    }
    entries.push_back({*std::move(cp932), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
  } while (FindNextFileW(search.get(), &found));
  return error::kSuccess;
}

std::string ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  return encoding::WideToCp932(buffer).value_or(std::string());
}

}  // namespace kwt::platform
