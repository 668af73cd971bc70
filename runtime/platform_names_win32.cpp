// Windows only: the platform seam's names, folders and permissions: where a
// folder really is, full paths, a folder's entries, what a file's security,
// attributes and streams carry over, and what kind of file system holds a
// file.
#include <aclapi.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/platform.h"
#include "runtime/platform_win32.h"
#include "runtime/windows_api.h"

namespace kwt::platform {

using namespace win32;

std::optional<std::string> LinkTarget(std::string_view) {
  return std::nullopt;
}

std::string ReplacementTarget(std::string_view path) {
  return std::string(path);
}

namespace {

// A file's owner, group and DACL, pointing into the descriptor that holds
// them (freed with it).
struct FileSecurity {
  PSID owner = nullptr;
  PSID group = nullptr;
  PACL dacl = nullptr;
  LocalMemory descriptor;
};

// False when the file's security cannot be read.
bool ReadSecurity(HANDLE file, FileSecurity& security) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const bool read =
      GetSecurityInfo(file, SE_FILE_OBJECT,
                      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      &security.owner, &security.group, &security.dacl, nullptr,
                      &descriptor) == ERROR_SUCCESS;
  security.descriptor.reset(descriptor);
  return read;
}

// The parts of lost that to has all the same, as from has them: a part the
// new file got anyway (its owner is the converting user, who owns the old
// file too) is not lost because it could not be given.
PermissionParts StillLost(PermissionParts lost, const FileSecurity& from, HANDLE to) {
  FileSecurity now;
  if (lost == 0 || !ReadSecurity(to, now)) return lost;
  const auto sameSid = [](PSID a, PSID b) { return a && b && EqualSid(a, b); };
  const auto sameAcl = [](PACL a, PACL b) {
    if (!a || !b) return a == b;
    return a->AclSize == b->AclSize && std::memcmp(a, b, a->AclSize) == 0;
  };
  if (sameSid(from.owner, now.owner)) lost &= ~permission::kOwner;
  if (sameSid(from.group, now.group)) lost &= ~permission::kGroup;
  if (sameAcl(from.dacl, now.dacl)) lost &= ~permission::kAccessList;
  return lost;
}

// Owner, group and DACL, as far as we may give them; the DACL keeps the old
// file's choice of inheriting from the folder or not.
PermissionParts CopySecurity(HANDLE from, HANDLE to) {
  const PermissionParts all = permission::kOwner | permission::kGroup | permission::kAccessList;
  FileSecurity old;
  if (!ReadSecurity(from, old)) return all;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!GetSecurityDescriptorControl(old.descriptor.get(), &control, &revision)) return all;
  const SECURITY_INFORMATION inheritance = (control & SE_DACL_PROTECTED) != 0
                                               ? PROTECTED_DACL_SECURITY_INFORMATION
                                               : UNPROTECTED_DACL_SECURITY_INFORMATION;
  // Our handle may write data, not security: a second handle for that.
  // Security rights are no shared access, so the file stays held meanwhile.
  const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  PermissionParts lost = 0;
  KernelHandle writer(ReOpenFile(to, WRITE_DAC | WRITE_OWNER, shareAll, 0));
  if (!writer) {
    lost |= permission::kOwner;
    writer = KernelHandle(ReOpenFile(to, WRITE_DAC, shareAll, 0));
    if (!writer) return StillLost(all, old, to);
  }
  const auto set = [&](SECURITY_INFORMATION parts) {
    return SetSecurityInfo(writer.get(), SE_FILE_OBJECT, parts | inheritance, old.owner, old.group, old.dacl,
                           nullptr) == ERROR_SUCCESS;
  };

  const SECURITY_INFORMATION groupAndDacl = GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if ((lost & permission::kOwner) == 0 && set(OWNER_SECURITY_INFORMATION | groupAndDacl)) return lost;
  lost |= permission::kOwner;
  if (!set(groupAndDacl)) {
    lost |= permission::kGroup;
    if (!set(DACL_SECURITY_INFORMATION)) lost |= permission::kAccessList;
  }
  (void)writer.close();
  return StillLost(lost, old, to);
}

// Hidden, system and not-content-indexed. Archive stays set: the content is
// new and must be backed up again. Read-only is not given: a read-only file
// is never converted (opening it for writing fails first), and a read-only
// work file could not be removed if the pass fails.
PermissionParts CopyAttributes(HANDLE from, HANDLE to) {
  FILE_BASIC_INFO old{};
  if (!GetFileInformationByHandleEx(from, FileBasicInfo, &old, sizeof old)) return permission::kAttributes;
  FILE_BASIC_INFO now{};  // times of 0 stay as they are
  now.FileAttributes = (old.FileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
                       FILE_ATTRIBUTE_ARCHIVE;
  if (!SetFileInformationByHandle(to, FileBasicInfo, &now, sizeof now)) return permission::kAttributes;
  return (old.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? permission::kAttributes : 0;
}

// Copies one open stream into another.
bool CopyStream(HANDLE from, HANDLE to) {
  std::vector<char> buffer(1 << 16);
  while (true) {
    DWORD got = 0;
    if (!System().read(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got)) return false;
    if (got == 0) return true;
    DWORD put = 0;
    if (!System().write(to, buffer.data(), got, &put) || put != got) return false;
  }
}

// Every named stream, each opened relative to the open files, never by a
// path that could reach another file meanwhile.
PermissionParts CopyStreams(HANDLE from, HANDLE to) {
  std::vector<std::uint64_t> buffer(512);  // FILE_STREAM_INFO is 8-byte aligned
  while (!GetFileInformationByHandleEx(from, FileStreamInfo, buffer.data(),
                                       static_cast<DWORD>(buffer.size() * sizeof buffer[0]))) {
    const DWORD code = GetLastError();
    if (code == ERROR_MORE_DATA && buffer.size() < (1u << 17)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    // A file system without streams (FAT, many shares, Wine) has none to lose.
    return code == ERROR_HANDLE_EOF || code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED ||
                   code == ERROR_INVALID_FUNCTION || code == ERROR_CALL_NOT_IMPLEMENTED
               ? 0
               : permission::kExtended;
  }
  PermissionParts lost = 0;
  const auto* entry = reinterpret_cast<const unsigned char*>(buffer.data());
  while (true) {
    const auto* info = reinterpret_cast<const FILE_STREAM_INFO*>(entry);
    const std::wstring name(info->StreamName, info->StreamNameLength / sizeof(wchar_t));
    if (!name.empty() && name != L"::$DATA") {
      KernelHandle source;
      KernelHandle target;
      const ULONG options = FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY;
      if (System().openRelative(from, name, {}, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                                options, 0, source) != error::kSuccess ||
          System().openRelative(to, name, {}, GENERIC_WRITE, 0, FILE_OVERWRITE_IF, options, 0, target) !=
              error::kSuccess ||
          !CopyStream(source.get(), target.get())) {
        lost |= permission::kExtended;
      }
    }
    if (info->NextEntryOffset == 0) break;
    entry += info->NextEntryOffset;
  }
  return lost;
}

}  // namespace

PermissionParts CopyPermissions(const FileHandle& from, FileHandle& to) {
  return CopySecurity(HandleOf(from), HandleOf(to)) | CopyAttributes(HandleOf(from), HandleOf(to)) |
         CopyStreams(HandleOf(from), HandleOf(to));
}

void GiveDefaultPermissions(FileHandle&) {}

ErrorCode ListFolder(std::string_view folder, std::vector<FolderEntry>& entries,
                     std::vector<UnnamedEntry>& unnamed) {
  entries.clear();
  unnamed.clear();
  const auto wide = WidePath(std::string(folder) + "*");
  if (!wide) return error::kInvalidName;
  WIN32_FIND_DATAW found{};
  const SearchHandle search(FindFirstFileW(wide->c_str(), &found));
  if (!search) {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND ? error::kSuccess : static_cast<ErrorCode>(code);
  }
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    auto cp932 = encoding::WideToCp932(name);
    const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!cp932) {
      unnamed.push_back({std::wstring(name), directory, link, WideToCp932Shown(name)});
      continue;
    }
    entries.push_back({*std::move(cp932), directory, link});
  } while (FindNextFileW(search.get(), &found));
  return error::kSuccess;
}

bool StampsAreCoarse(const FileHandle& file) {
  wchar_t system[MAX_PATH + 1] = {};
  if (!GetVolumeInformationByHandleW(HandleOf(file), nullptr, 0, nullptr, nullptr, nullptr, system,
                                     MAX_PATH + 1)) {
    return false;
  }
  const std::wstring_view name(system);
  return name == L"FAT" || name == L"FAT32" || name == L"exFAT";
}

bool IsSystemFolder(std::string_view) {
  return false;
}

std::optional<RealFolderPlace> RealFolder(std::string_view folder) {
  std::string given = folder.empty() ? std::string(".") : std::string(folder);
  // A folder opens by its name without the closing delimiter ("C:\\" keeps it).
  if (given.size() > 1 && (given.back() == '\\' || given.back() == '/') && given[given.size() - 2] != ':')
    given.pop_back();
  const auto wide = WidePath(given);
  if (!wide) return std::nullopt;
  const KernelHandle handle(
      System().createFile(*wide, given, 0, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!handle || !GetFileInformationByHandle(handle.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return std::nullopt;
  }
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(handle.get(), path.data(), static_cast<DWORD>(path.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::nullopt;
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(length + 1);
  }
  // The system answers in its long form: "\\?\C:\..." or "\\?\UNC\server\...".
  constexpr std::wstring_view kUnc = L"\\\\?\\UNC\\";
  constexpr std::wstring_view kLong = L"\\\\?\\";
  if (path.starts_with(kUnc)) {
    path = L"\\\\" + path.substr(kUnc.size());
  } else if (path.starts_with(kLong)) {
    path.erase(0, kLong.size());
  }
  if (!path.ends_with(L'\\')) path.push_back(L'\\');
  auto cp932 = encoding::WideToCp932(path);
  if (!cp932) return std::nullopt;
  return RealFolderPlace{std::move(*cp932), info.dwVolumeSerialNumber,
                         (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::optional<std::string> FullPath(std::string_view path) {
  const auto wide = WidePath(path);
  if (!wide) return std::nullopt;
  const DWORD needed = GetFullPathNameW(wide->c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::nullopt;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide->c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return std::nullopt;
  full.resize(length);
  return encoding::WideToCp932(full);
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
