// POSIX only: the platform seam's names, folders and permissions: where a
// folder really is, full paths and links, a folder's entries, what a file's
// permissions carry over, and what kind of file system holds a file.
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/platform.h"
#include "runtime/platform_posix.h"

namespace kwt::platform {

using namespace posix;

namespace {

// An open folder listing.
struct ListingTraits {
  using Handle = DIR*;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle listing) noexcept { return listing != nullptr; }
  static bool Close(Handle listing) noexcept { return ::closedir(listing) == 0; }
};
using Listing = ScopedHandle<ListingTraits>;

}  // namespace

std::optional<std::string> LinkTarget(std::string_view path) {
  const auto systemPath = SystemPath(path);
  if (!systemPath) return std::nullopt;
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink(systemPath->c_str(), buffer, sizeof buffer);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) return std::nullopt;
  return encoding::Utf8ToCp932(std::string_view(buffer, static_cast<std::size_t>(length)));
}

bool StampsAreCoarse(const FileHandle& file) {
  constexpr long kMsdos = 0x4d44, kExfat = 0x2011BAB0, kFuse = 0x65735546;
  struct statfs info {};
  return ::fstatfs(Descriptor(file), &info) == 0 && FileSystemIsOneOf(info, {kMsdos, kExfat, kFuse});
}

bool IsSystemFolder(std::string_view folder) {
  const auto systemPath = SystemPath(folder.empty() ? std::string_view(".") : folder);
  if (!systemPath) return false;
  char resolved[PATH_MAX];
  if (::realpath(systemPath->c_str(), resolved) == nullptr) return false;
  const std::string_view real(resolved);
  for (const std::string_view system : {"/dev", "/proc", "/sys"}) {
    if (real == system || (real.starts_with(system) && real[system.size()] == '/')) return true;
  }
  // The kernel's own file systems, wherever they are mounted.
  constexpr long kProc = 0x9fa0, kSys = 0x62656572, kDevPts = 0x1cd1, kDebug = 0x64626720,
                 kSecurity = 0x73636673, kTrace = 0x74726163, kCgroup = 0x27e0eb, kCgroup2 = 0x63677270;
  struct statfs info {};
  return ::statfs(resolved, &info) == 0 &&
         FileSystemIsOneOf(info, {kProc, kSys, kDevPts, kDebug, kSecurity, kTrace, kCgroup, kCgroup2});
}

std::optional<RealFolderPlace> RealFolder(std::string_view folder) {
  const auto systemPath = SystemPath(folder.empty() ? std::string_view(".") : folder);
  if (!systemPath) return std::nullopt;
  char resolved[PATH_MAX];
  struct stat info {};
  if (::realpath(systemPath->c_str(), resolved) == nullptr || ::stat(resolved, &info) != 0 ||
      !S_ISDIR(info.st_mode)) {
    return std::nullopt;
  }
  auto path = encoding::Utf8ToCp932(resolved);
  if (!path) return std::nullopt;
  if (!path->ends_with('/')) path->push_back('/');
  return RealFolderPlace{std::move(*path), static_cast<std::uint64_t>(info.st_dev),
                         static_cast<std::uint64_t>(info.st_ino)};
}

std::optional<std::string> FullPath(std::string_view path) {
  if (path.starts_with('/')) return std::string(path);
  std::string folder(PATH_MAX, '\0');
  while (::getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) return std::nullopt;
    folder.resize(folder.size() * 2);
  }
  folder.resize(std::strlen(folder.c_str()));
  auto cp932 = encoding::Utf8ToCp932(folder);
  if (!cp932) return std::nullopt;
  if (!cp932->ends_with('/')) cp932->push_back('/');
  return *cp932 + std::string(path);
}

std::string ReplacementTarget(std::string_view path) {
  const auto systemPath = SystemPath(path);
  struct stat info {};
  if (!systemPath || ::lstat(systemPath->c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
    return std::string(path);
  }
  char resolved[PATH_MAX];
  if (::realpath(systemPath->c_str(), resolved) == nullptr) return std::string(path);
  return encoding::Utf8ToCp932(resolved).value_or(std::string(path));
}

namespace {

constexpr std::string_view kAccessAcl = "system.posix_acl_access";

// One extended attribute's value, or nullopt when it cannot be read.
std::optional<std::vector<char>> AttributeOf(int descriptor, const char* name) {
#ifdef __linux__
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = ::fgetxattr(descriptor, name, nullptr, 0);
    if (size < 0) return std::nullopt;
    std::vector<char> value(static_cast<std::size_t>(size));
    const ssize_t got = ::fgetxattr(descriptor, name, value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<std::size_t>(got));
      return value;
    }
    if (errno != ERANGE) return std::nullopt;  // ERANGE: it grew meanwhile
  }
#else
  (void)descriptor;
  (void)name;
#endif
  return std::nullopt;
}

// Gives to every extended attribute of from: the access ACL (unless
// withAccessList is false) and the rest, but never file capabilities, which
// grant privileges as set-id bits do. Answers what could not be given.
PermissionParts CopyExtendedAttributes(int from, int to, bool withAccessList) {
#ifdef __linux__
  std::vector<char> names;
  for (int attempt = 0;; ++attempt) {
    const ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size < 0) return errno == ENOTSUP ? 0 : permission::kExtended;
    names.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::flistxattr(from, names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno != ERANGE || attempt == 3) return permission::kExtended;
  }
  PermissionParts lost = 0;
  for (std::size_t at = 0; at < names.size();) {
    const char* const name = names.data() + at;
    const std::string_view view(name);
    at += view.size() + 1;
    if (view.empty() || view == "security.capability") continue;
    const PermissionParts part = view == kAccessAcl ? permission::kAccessList : permission::kExtended;
    if (part == permission::kAccessList && !withAccessList) {
      lost |= part;
      continue;
    }
    const auto value = AttributeOf(from, name);
    if (!value || ::fsetxattr(to, name, value->data(), value->size(), 0) != 0) lost |= part;
  }
  return lost;
#else
  (void)from;
  (void)to;
  (void)withAccessList;
  return 0;
#endif
}

}  // namespace

PermissionParts CopyPermissions(const FileHandle& from, FileHandle& to) {
  const PermissionParts all = permission::kOwner | permission::kGroup | permission::kMode |
                              permission::kAccessList | permission::kExtended;
  const int target = Descriptor(to);
  struct stat old {};
  if (::fstat(Descriptor(from), &old) != 0) return all;
  // Who may not give the file away (anybody but root) may still give it the
  // old group, if a member of it: in a shared group folder the group is what
  // lets the others go on writing.
  if (::fchown(target, old.st_uid, old.st_gid) != 0)
    (void)::fchown(target, static_cast<uid_t>(-1), old.st_gid);
  struct stat now {};
  if (::fstat(target, &now) != 0) return all;
  PermissionParts lost = 0;
  if (now.st_uid != old.st_uid) lost |= permission::kOwner;
  const bool groupKept = now.st_gid == old.st_gid;
  // The group's bits, and an ACL's entry for the owning group, would open the
  // file to another group than before: they go with the group.
  if (!groupKept) lost |= permission::kGroup;
  // Before the mode: a file without write permission takes no attributes.
  lost |= CopyExtendedAttributes(Descriptor(from), target, groupKept);
  mode_t mode = old.st_mode & 0777;
  // Without its ACL, the group bits (the ACL's mask) would give the owning
  // group what the mask allowed the named entries.
  if (!groupKept || (lost & permission::kAccessList) != 0) mode &= ~static_cast<mode_t>(070);
  if (::fchmod(target, mode) != 0) lost |= permission::kMode;
  // Whatever stands now must be no more open than before.
  if (::fstat(target, &now) != 0 || (now.st_mode & 0777 & ~old.st_mode) != 0) lost |= permission::kMode;
  return lost;
}

void GiveDefaultPermissions(FileHandle& file) {
  // The umask can only be read by setting it; it is set straight back.
  const mode_t mask = ::umask(022);
  ::umask(mask);
  (void)::fchmod(Descriptor(file), 0666 & ~mask);
}

ErrorCode ListFolder(std::string_view folder, std::vector<FolderEntry>& entries,
                     std::vector<UnnamedEntry>& unnamed) {
  entries.clear();
  unnamed.clear();
  const auto systemFolder = SystemPath(folder);
  if (!systemFolder) return error::kInvalidName;
  const std::string name = systemFolder->empty() ? std::string(".") : *systemFolder;
  Listing listing;
  // opendir opens the folder as open does.
  do {
    listing.reset(::opendir(name.c_str()));
  } while (!listing && errno == EINTR);
  if (!listing) return errno == ENOENT ? error::kPathNotFound : LastError();
  while (const dirent* entry = ::readdir(listing.get())) {
    const std::string_view entryName = entry->d_name;
    if (entryName == "." || entryName == "..") continue;
    // What the listing tells of the entry, asked again only where the file
    // system does not say: a folder of thousands is read without a call per
    // name.
    struct stat info {};
    if (entry->d_type == DT_DIR) {
      info.st_mode = S_IFDIR;
    } else if (entry->d_type == DT_LNK) {
      info.st_mode = S_IFLNK;
    } else if (entry->d_type != DT_UNKNOWN) {
      info.st_mode = S_IFREG;
    } else if (const std::string path = name + "/" + std::string(entryName);
               ::lstat(path.c_str(), &info) != 0) {
      continue;
    }
    auto cp932 = encoding::Utf8ToCp932(entryName);
    // Only a name that converts back to the same bytes is the same name.
    if (!cp932 || encoding::Cp932ToUtf8(*cp932) != std::optional<std::string>(std::string(entryName))) {
      std::wstring wide;
      for (const unsigned char byte : entryName) wide.push_back(byte < 0x80 ? wchar_t{byte} : L'\uFFFD');
      unnamed.push_back(
          {std::move(wide), S_ISDIR(info.st_mode), S_ISLNK(info.st_mode), Utf8ToCp932Shown(entryName)});
      continue;
    }
    entries.push_back({*std::move(cp932), S_ISDIR(info.st_mode), S_ISLNK(info.st_mode)});
  }
  return error::kSuccess;
}

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  const auto cp932 = encoding::Utf8ToCp932(std::string_view(buffer, static_cast<std::size_t>(length)));
  return cp932.value_or(std::string());
}

}  // namespace kwt::platform
