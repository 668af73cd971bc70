// POSIX only: the platform seam's files and folders (opening, reading,
// writing, moving, removing, holding and watching them) and the table of
// system calls they all go through, with errno mapped to the Windows codes the
// layers above report.
#include "runtime/platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "runtime/back_off.h"
#include "runtime/cp932_text.h"
#include "runtime/encoding.h"
#include "runtime/platform_faults.h"
#include "runtime/platform_journal.h"
#include "runtime/platform_posix.h"

namespace kwt::platform {

namespace posix {

ErrorCode FromErrno(int code) {
  switch (code) {
    case 0: return error::kSuccess;
    case ENOENT: return error::kFileNotFound;
    case ENOTDIR: return error::kPathNotFound;
    case EMFILE:
    case ENFILE: return error::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return error::kAccessDenied;
    case EBADF: return error::kInvalidHandle;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK: return error::kSharingViolation;
    case EEXIST: return error::kFileExists;
    case ENOSPC:
    case EDQUOT: return error::kDiskFull;
    case EILSEQ: return error::kInvalidName;
    case ENAMETOOLONG: return error::kFilenameTooLong;
    case ELOOP: return error::kLinkInTheWay;
    default: return error::kGeneralFailure;
  }
}

ErrorCode LastError() {
  return FromErrno(errno);
}

// The system's form of a code page 932 path; nullopt when it has none, which
// the callers report as an invalid name, as Windows does.
std::optional<std::string> SystemPath(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) return std::nullopt;
  return encoding::Cp932ToUtf8(path);
}

}  // namespace posix

using namespace posix;

namespace {

// A signal that arrives during a blocking call (a stop request, a resized
// terminal) makes it fail with EINTR although nothing went wrong: the call is
// made again. Never close, whose descriptor is gone on Linux even then: a
// second close could close what another thread has just opened.
template <typename Call>
auto Uninterrupted(Call&& call) {
  while (true) {
    const auto result = call();
    if (result != -1 || errno != EINTR) return result;
  }
}

// The test's observer of the calls that change the disk; null in every real run,
// where each report costs one load and a branch.
std::atomic<journal::Observer*> gObserver{nullptr};

journal::Observer* CurrentObserver() noexcept {
  return gObserver.load(std::memory_order_relaxed);
}

journal::FileId IdOf(int descriptor) {
  struct stat info {};
  (void)::fstat(descriptor, &info);
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Windows tells a missing file (2) from a missing folder on the way (3); a
// missing folder is what the user has to fix, so keep the difference.
ErrorCode LastErrorFor(const std::string& systemPath) {
  const int code = errno;
  if (code == ENOENT) {
    struct stat info {};
    if (::stat(FolderOf(systemPath).c_str(), &info) != 0) return error::kPathNotFound;
  }
  return FromErrno(code);
}

// Where a call reaches a name: a path from the current folder, or a bare name
// in a held folder (whose final links are never followed). shown is the
// folder's path and the name, for the journal and for telling 2 from 3.
struct SystemPlace {
  int dir = AT_FDCWD;
  std::string name;
  std::string shown;
  bool held = false;
};

SystemPlace PathPlace(std::string systemPath) {
  SystemPlace place;
  place.name = systemPath;
  place.shown = std::move(systemPath);
  return place;
}

ErrorCode LastErrorAt(const SystemPlace& place) {
  // A held folder is there: a missing name is a missing file.
  return place.held ? LastError() : LastErrorFor(place.shown);
}

// Every call through which this backend opens, reads, writes, locks, moves,
// removes or syncs a file goes through one table. Real runs use the plain
// calls; while a test has set a journal observer or a fault plan, the hooked
// calls let the plan refuse or shorten a call and report what changed on the
// disk to the observer, so that neither is known anywhere else in this file.
// Each entry answers as its system call does (-1 and errno on a failure) and
// makes a call that a signal interrupted again (close excepted, see above).
struct SystemCalls {
  int (*open)(const SystemPlace& place, int flags, mode_t permissions);
  int (*close)(int fd);
  ssize_t (*read)(int fd, void* buffer, std::size_t size);
  ssize_t (*write)(int fd, const void* buffer, std::size_t size);
  // Truncates the file to nothing.
  int (*empty)(int fd);
  int (*flush)(int fd);
  // An exclusive lock, taken without waiting.
  int (*lock)(int fd);
  // replacing: to may exist and is replaced (a Replace, not a Move).
  int (*rename)(const SystemPlace& from, const SystemPlace& to, bool replacing);
  int (*unlink)(const SystemPlace& place);
  // fsync of an open folder; shown is its path.
  int (*syncFolder)(int folder, const std::string& shown);
  int (*syncFileSystem)(int fd);
  // access(2) relative to the place's folder (faccessat).
  int (*access)(const SystemPlace& place, int mode);
  // A read lease (F_SETLEASE), taken without waiting; Linux only.
  int (*lease)(int fd);
};

namespace plain {

int Open(const SystemPlace& place, int flags, mode_t permissions) {
  return Uninterrupted([&] { return ::openat(place.dir, place.name.c_str(), flags, permissions); });
}
int Close(int fd) {
  return ::close(fd);
}
ssize_t Read(int fd, void* buffer, std::size_t size) {
  return Uninterrupted([&] { return ::read(fd, buffer, size); });
}
ssize_t Write(int fd, const void* buffer, std::size_t size) {
  return Uninterrupted([&] { return ::write(fd, buffer, size); });
}
int Empty(int fd) {
  return Uninterrupted([&] { return ::ftruncate(fd, 0); });
}
int Flush(int fd) {
  return Uninterrupted([&] { return ::fsync(fd); });
}
int Lock(int fd) {
  return Uninterrupted([&] { return ::flock(fd, LOCK_EX | LOCK_NB); });
}
int Rename(const SystemPlace& from, const SystemPlace& to, bool) {
  return ::renameat(from.dir, from.name.c_str(), to.dir, to.name.c_str());
}
int Unlink(const SystemPlace& place) {
  return ::unlinkat(place.dir, place.name.c_str(), 0);
}
int SyncFolder(int folder, const std::string&) {
  return Flush(folder);
}
// Syncing the whole file system is the fallback for a folder that refuses to
// be synced itself (some file systems do).
int SyncFileSystem(int fd) {
#ifdef __linux__
  return Uninterrupted([&] { return ::syncfs(fd); });
#else
  (void)fd;
  ::sync();
  return 0;
#endif
}
int Access(const SystemPlace& place, int mode) {
  return ::faccessat(place.dir, place.name.empty() ? "." : place.name.c_str(), mode, 0);
}
int Lease(int fd) {
#ifdef __linux__
  return ::fcntl(fd, F_SETLEASE, F_RDLCK);
#else
  (void)fd;
  errno = ENOTSUP;
  return -1;
#endif
}

}  // namespace plain

constexpr SystemCalls kPlain{plain::Open,   plain::Close,      plain::Read,           plain::Write,
                             plain::Empty,  plain::Flush,      plain::Lock,           plain::Rename,
                             plain::Unlink, plain::SyncFolder, plain::SyncFileSystem, plain::Access,
                             plain::Lease};

namespace hooked {

// A failure the plan makes, as the system would answer it.
int Refused(ErrorCode code) {
  errno = code == error::kDiskFull ? ENOSPC : EACCES;
  return -1;
}

bool Writes(int flags) {
  return (flags & O_ACCMODE) != O_RDONLY || (flags & O_CREAT) != 0;
}

int Open(const SystemPlace& place, int flags, mode_t permissions) {
  if (Writes(flags)) {
    if (const ErrorCode refused = faults::RefusedOpen(place.shown, true)) return Refused(refused);
  }
  const int fd = kPlain.open(place, flags, permissions);
  if (fd >= 0 && Writes(flags)) {
    faults::Opened(fd, place.shown);
    if (journal::Observer* observer = CurrentObserver()) observer->Opened(place.shown, IdOf(fd));
  }
  return fd;
}
int Close(int fd) {
  faults::Closed(fd);
  return kPlain.close(fd);
}
ssize_t Write(int fd, const void* buffer, std::size_t size) {
  const off_t offset = ::lseek(fd, 0, SEEK_CUR);
  const auto position = static_cast<std::uint64_t>(offset < 0 ? 0 : offset);
  std::size_t allowed = size;
  if (const ErrorCode refused = faults::AllowedWrite(fd, position, size, allowed)) return Refused(refused);
  const ssize_t count = kPlain.write(fd, buffer, allowed);
  if (journal::Observer* observer = CurrentObserver(); observer && count >= 0) {
    observer->Written(IdOf(fd), position,
                      std::string_view(static_cast<const char*>(buffer), static_cast<std::size_t>(count)));
  }
  return count;
}
int Empty(int fd) {
  const int result = kPlain.empty(fd);
  if (journal::Observer* observer = CurrentObserver(); observer && result == 0)
    observer->Truncated(IdOf(fd), 0);
  return result;
}
int Flush(int fd) {
  const int result = kPlain.flush(fd);
  if (journal::Observer* observer = CurrentObserver(); observer && result == 0) observer->Flushed(IdOf(fd));
  return result;
}
int Rename(const SystemPlace& from, const SystemPlace& to, bool replacing) {
  if (replacing) {
    if (const ErrorCode refused = faults::RefusedReplace(to.shown)) return Refused(refused);
  }
  const int result = kPlain.rename(from, to, replacing);
  if (journal::Observer* observer = CurrentObserver(); observer && result == 0) {
    observer->Renamed(from.shown, to.shown);
  }
  return result;
}
int Unlink(const SystemPlace& place) {
  const int result = kPlain.unlink(place);
  if (journal::Observer* observer = CurrentObserver(); observer && result == 0)
    observer->Unlinked(place.shown);
  return result;
}
int SyncFolder(int folder, const std::string& shown) {
  const int result = kPlain.syncFolder(folder, shown);
  if (journal::Observer* observer = CurrentObserver(); observer && result == 0) observer->FolderSynced(shown);
  return result;
}
int SyncFileSystem(int fd) {
  const int result = kPlain.syncFileSystem(fd);
  if (journal::Observer* observer = CurrentObserver(); observer && result == 0) observer->FileSystemSynced();
  return result;
}
// A read-only disk that the plan makes up takes no new file either.
int Access(const SystemPlace& place, int mode) {
  if ((mode & W_OK) != 0) {
    if (const ErrorCode refused = faults::RefusedOpen(place.shown, true)) return Refused(refused);
  }
  return kPlain.access(place, mode);
}

}  // namespace hooked

constexpr SystemCalls kHooked{
    hooked::Open,           hooked::Close,  plain::Read,    hooked::Write,  hooked::Empty,
    hooked::Flush,          plain::Lock,    hooked::Rename, hooked::Unlink, hooked::SyncFolder,
    hooked::SyncFileSystem, hooked::Access, plain::Lease};

const SystemCalls& System() noexcept {
  return CurrentObserver() != nullptr || faults::Active() ? kHooked : kPlain;
}

int StatAt(const SystemPlace& place, struct stat& info, bool follow) {
  return ::fstatat(place.dir, place.name.c_str(), &info, follow && !place.held ? 0 : AT_SYMLINK_NOFOLLOW);
}

// The place of a bare name in a held folder; nullopt for anything else.
std::optional<SystemPlace> PlaceIn(const HeldFolder& held, std::string_view name) {
  if (!held || name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) {
    return std::nullopt;
  }
  const auto systemName = SystemPath(name);
  const auto systemFolder = SystemPath(held.path);
  if (!systemName || !systemFolder) return std::nullopt;
  SystemPlace place;
  place.dir = Descriptor(held.folder);
  place.name = *systemName;
  place.shown = *systemFolder + *systemName;
  place.held = true;
  return place;
}

// The system's place for a Place; nullopt for a name it cannot have.
std::optional<SystemPlace> ToSystem(const Place& place) {
  if (place.folder != nullptr) return PlaceIn(*place.folder, place.name);
  const auto systemPath = SystemPath(place.name);
  if (!systemPath) return std::nullopt;
  return PathPlace(*systemPath);
}

// Both places of one call, if they are alike (see Place).
std::optional<std::pair<SystemPlace, SystemPlace>> ToSystem(const Place& from, const Place& to) {
  auto systemFrom = ToSystem(from);
  auto systemTo = ToSystem(to);
  if (from.folder != to.folder || !systemFrom || !systemTo) return std::nullopt;
  return std::pair{*std::move(systemFrom), *std::move(systemTo)};
}

// Makes the names of the open folder (a file just created or moved there)
// durable; shown is the folder's path, for the journal.
ErrorCode SyncOpenFolder(int folder, const std::string& shown) {
  const bool durable = System().syncFolder(folder, shown) == 0 || System().syncFileSystem(folder) == 0;
  return durable ? error::kSuccess : error::kNotDurable;
}

ErrorCode SyncFolder(const std::string& systemPath) {
  const std::string name = FolderOf(systemPath);
  const FileHandle folder(System().open(PathPlace(name), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  if (!folder) return error::kNotDurable;
  return SyncOpenFolder(Descriptor(folder), name);
}

// The folder a place's name is in, made durable: a held folder through its
// own descriptor.
ErrorCode SyncFolderAt(const SystemPlace& place) {
  return place.held ? SyncOpenFolder(place.dir, FolderOf(place.shown)) : SyncFolder(place.shown);
}

bool HasNoWritePermission(const struct stat& info) {
  return (info.st_mode & 0222) == 0;
}

// True when another opener holds the file exclusively (our lock stands for
// Windows' share mode): Windows refuses to move or delete such a file.
bool HeldByAnother(const SystemPlace& place) {
  const FileHandle probe(System().open(place, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0));
  return probe && System().lock(Descriptor(probe)) != 0 && errno == EWOULDBLOCK;
}

// A failed move's code: a missing source is 2 or 3 as for any path, and a
// source that is there means the target's folder is missing (3).
ErrorCode MoveErrorFor(const SystemPlace& from, const SystemPlace& to) {
  const int code = errno;
  struct stat info {};
  if (code == ENOENT && StatAt(from, info, false) == 0) {
    errno = code;
    return LastErrorAt(to);
  }
  errno = code;
  return LastErrorAt(from);
}

ErrorCode Unlink(const SystemPlace& place) {
  struct stat info {};
  if (StatAt(place, info, false) == 0 && S_ISDIR(info.st_mode)) return error::kAccessDenied;
  if (System().unlink(place) != 0) return LastErrorAt(place);
  return error::kSuccess;
}

// rename with the checks Windows makes; durable afterwards.
ErrorCode ReplaceFile(const SystemPlace& from, const SystemPlace& to, bool fromIsOurs) {
  struct stat info {};
  if (StatAt(to, info, true) == 0 && S_ISDIR(info.st_mode)) return error::kAccessDenied;
  if (!fromIsOurs && HeldByAnother(from)) return error::kSharingViolation;
  // Windows refuses to replace a file that another opener holds.
  if (HeldByAnother(to)) return error::kAccessDenied;
  if (System().rename(from, to, true) != 0) return MoveErrorFor(from, to);
  // The move has happened either way; kNotDurable tells the caller that a
  // power cut could still undo it.
  return SyncFolderAt(to);
}

// Open for a place; see Open.
ErrorCode OpenAt(const SystemPlace& place, Access access, std::uint32_t share, Creation creation,
                 FileHandle& file) {
  int flags = O_CLOEXEC;
  mode_t permissions = 0666;
  switch (access) {
    case Access::Read: flags |= O_RDONLY; break;
    case Access::Write: flags |= O_WRONLY; break;
    case Access::ReadWrite: flags |= O_RDWR; break;
  }
  // Never O_TRUNC: an exclusive opener must hold its lock before it empties the file.
  if (creation == Creation::CreateAlways) flags |= O_CREAT;
  if (creation == Creation::CreateNew) {
    flags |= O_CREAT | O_EXCL | O_NOFOLLOW;
    // Private until its owner gives it the permissions of the file it replaces.
    permissions = 0600;
  }
  if (place.held) flags |= O_NOFOLLOW;

  FileHandle opened(System().open(place, flags, permissions));
  if (!opened) return LastErrorAt(place);
  const int fd = Descriptor(opened);

  struct stat info {};
  if (::fstat(fd, &info) != 0) return LastError();
  if (S_ISDIR(info.st_mode)) return error::kAccessDenied;
  // Somebody linked the new file elsewhere before we could look at it: what is
  // written into it would show up under that other name too.
  if (creation == Creation::CreateNew && (!S_ISREG(info.st_mode) || info.st_nlink != 1)) {
    (void)System().unlink(place);
    return error::kSharingViolation;
  }
  // A file without write permission is read-only, also for root.
  if (access != Access::Read && HasNoWritePermission(info)) return error::kAccessDenied;
  if (share == kShareNone) {
    if (System().lock(fd) != 0) return errno == EWOULDBLOCK ? error::kSharingViolation : LastError();
    // Between the open and the lock, the holder may have moved the file away
    // (it moves before it lets go): the file locked is then no longer the one
    // at path, and emptying it would empty whatever it has become.
    struct stat atPath {};
    if (StatAt(place, atPath, true) != 0 || atPath.st_dev != info.st_dev || atPath.st_ino != info.st_ino) {
      return error::kSharingViolation;
    }
  }
  if (creation == Creation::CreateAlways) {
    if (System().empty(fd) != 0) return LastError();
  }
  file = std::move(opened);
  return error::kSuccess;
}

ErrorCode RemoveWorkFileAt(const SystemPlace& place) {
  struct stat info {};
  if (StatAt(place, info, false) != 0) return errno == ENOENT ? error::kSuccess : LastErrorAt(place);
  if (S_ISDIR(info.st_mode)) return error::kAccessDenied;
  // A file that another opener holds exclusively is its work in progress; the
  // probe's lock also keeps anybody from taking it until the name is gone.
  FileHandle probe;
  if (S_ISREG(info.st_mode))
    probe.reset(System().open(place, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0));
  if (probe && System().lock(Descriptor(probe)) != 0) {
    return errno == EWOULDBLOCK ? error::kSharingViolation : LastError();
  }
  // unlink removes a link itself, never the file it names.
  if (System().unlink(place) != 0) return errno == ENOENT ? error::kSuccess : LastErrorAt(place);
  return error::kSuccess;
}

ErrorCode DeleteAt(const SystemPlace& place) {
  if (HeldByAnother(place)) return error::kSharingViolation;
  return Unlink(place);
}

}  // namespace

bool FileTraits::Close(Handle native) noexcept {
  return System().close(static_cast<int>(native)) == 0;
}

ErrorCode Open(const Place& place, Access access, std::uint32_t share, Creation creation, FileHandle& file) {
  file.reset();
  const auto at = ToSystem(place);
  if (!at) return error::kInvalidName;
  if (at->name.empty()) return error::kPathNotFound;
  return OpenAt(*at, access, share, creation, file);
}

ErrorCode Read(FileHandle& file, void* buffer, std::size_t size, std::size_t& transferred) {
  transferred = 0;
  const ssize_t count = System().read(Descriptor(file), buffer, size);
  if (count < 0) return LastError();
  transferred = static_cast<std::size_t>(count);
  return error::kSuccess;
}

ErrorCode Write(FileHandle& file, const void* buffer, std::size_t size, std::size_t& transferred) {
  transferred = 0;
  const ssize_t count = System().write(Descriptor(file), buffer, size);
  if (count < 0) return LastError();
  transferred = static_cast<std::size_t>(count);
  return error::kSuccess;
}

ErrorCode Flush(FileHandle& file) {
  return System().flush(Descriptor(file)) == 0 ? error::kSuccess : LastError();
}

ErrorCode Size(FileHandle& file, std::uint64_t& size) {
  struct stat info {};
  if (::fstat(Descriptor(file), &info) != 0) return LastError();
  size = static_cast<std::uint64_t>(info.st_size);
  return error::kSuccess;
}

ErrorCode Close(FileHandle& file) {
  if (!file) return error::kInvalidHandle;
  return file.close() ? error::kSuccess : LastError();
}

bool IsFile(std::string_view path) {
  const auto systemPath = SystemPath(path);
  if (!systemPath || systemPath->empty()) return false;
  struct stat info {};
  // A pipe is no file either: opening or reading it would wait for a writer.
  return ::stat(systemPath->c_str(), &info) == 0 && !S_ISDIR(info.st_mode) && !S_ISFIFO(info.st_mode);
}

ErrorCode Delete(const Place& place) {
  const auto at = ToSystem(place);
  return at ? DeleteAt(*at) : error::kInvalidName;
}

bool FolderIsWritable(const Place& folder) {
  const auto at = ToSystem(folder);
  return at && System().access(*at, W_OK | X_OK) == 0;
}

FileKind KindOf(const Place& place) {
  const auto at = ToSystem(place);
  struct stat info {};
  if (!at || at->name.empty() || StatAt(*at, info, true) != 0) return FileKind::Missing;
  if (S_ISREG(info.st_mode)) return FileKind::Regular;
  if (S_ISDIR(info.st_mode)) return FileKind::Directory;
  return FileKind::Other;
}

bool IsPlainFile(const Place& place) {
  const auto at = ToSystem(place);
  struct stat info {};
  return at && !at->name.empty() && StatAt(*at, info, false) == 0 && S_ISREG(info.st_mode) &&
         info.st_nlink == 1;
}

namespace {
FileStamp StampFrom(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev),
          static_cast<std::uint64_t>(info.st_ino),
          static_cast<std::uint64_t>(info.st_size),
          static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
          static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec,
          static_cast<std::uint32_t>(info.st_nlink)};
}
}  // namespace

ErrorCode StampOf(const FileHandle& file, FileStamp& stamp) {
  struct stat info {};
  if (::fstat(Descriptor(file), &info) != 0) return LastError();
  stamp = StampFrom(info);
  return error::kSuccess;
}

ErrorCode StampOf(const Place& place, FileStamp& stamp) {
  const auto at = ToSystem(place);
  if (!at) return error::kInvalidName;
  struct stat info {};
  // A held folder's final link is not followed, and refused.
  if (StatAt(*at, info, true) != 0) return LastErrorAt(*at);
  if (S_ISLNK(info.st_mode)) return error::kLinkInTheWay;
  stamp = StampFrom(info);
  return error::kSuccess;
}

bool SameOwner(std::string_view first, std::string_view second) {
  const auto aPath = SystemPath(first);
  const auto bPath = SystemPath(second);
  struct stat a {};
  struct stat b {};
  return aPath && bPath && ::lstat(aPath->c_str(), &a) == 0 && ::lstat(bPath->c_str(), &b) == 0 &&
         a.st_uid == b.st_uid;
}

ErrorCode RemoveWorkFile(const Place& place) {
  const auto at = ToSystem(place);
  if (!at) return error::kInvalidName;
  if (at->name.empty()) return error::kPathNotFound;
  return RemoveWorkFileAt(*at);
}

ErrorCode Move(const Place& from, const Place& to) {
  const auto at = ToSystem(from, to);
  if (!at) return error::kInvalidName;
  const auto& [placeFrom, placeTo] = *at;
  struct stat info {};
  if (StatAt(placeTo, info, false) == 0) return error::kAlreadyExists;
  if (HeldByAnother(placeFrom)) return error::kSharingViolation;
  // link + unlink would refuse an existing target atomically, but not every
  // file system links; the check above is what Windows' move promises.
  if (System().rename(placeFrom, placeTo, false) != 0) return MoveErrorFor(placeFrom, placeTo);
  return error::kSuccess;
}

ErrorCode Replace(const Place& from, const Place& to) {
  const auto at = ToSystem(from, to);
  return at ? ReplaceFile(at->first, at->second, false) : error::kInvalidName;
}

ErrorCode CanReplaceIn(const Place& place) {
  const auto at = ToSystem(place);
  if (!at) return error::kInvalidName;
  struct stat file {};
  struct stat folder {};
  const int folderFound = at->held ? ::fstat(at->dir, &folder) : ::stat(FolderOf(at->shown).c_str(), &folder);
  if (StatAt(*at, file, false) != 0 || folderFound != 0) {
    return error::kSuccess;  // the move itself tells
  }
  const uid_t us = ::geteuid();
  if ((folder.st_mode & S_ISVTX) != 0 && us != 0 && file.st_uid != us && folder.st_uid != us) {
    return error::kAccessDenied;
  }
  return error::kSuccess;
}

ErrorCode CanRemoveIn(const HeldFolder& held) {
#ifdef __linux__
  int flags = 0;
  // A file system without the flags (tmpfs, a network share) answers ENOTTY:
  // nothing is known, and the work itself tells.
  if (::ioctl(Descriptor(held.folder), FS_IOC_GETFLAGS, &flags) == 0 &&
      (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0) {
    return error::kAccessDenied;
  }
#else
  (void)held;
#endif
  return error::kSuccess;
}

ErrorCode SyncFolderOf(const Place& place) {
  const auto at = ToSystem(place);
  return at ? SyncFolderAt(*at) : error::kInvalidName;
}

ErrorCode LockFolder(std::string_view folder, FileHandle& lock) {
  lock.reset();
  const auto systemFolder = SystemPath(folder);
  if (!systemFolder) return error::kInvalidName;
  const std::string name = systemFolder->empty() ? std::string(".") : *systemFolder;
  FileHandle held(System().open(PathPlace(name), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  if (!held) return errno == ENOENT ? error::kPathNotFound : LastError();
  if (System().lock(Descriptor(held)) != 0)
    return errno == EWOULDBLOCK ? error::kSharingViolation : LastError();
  lock = std::move(held);
  return error::kSuccess;
}

ErrorCode Duplicate(const FileHandle& file, FileHandle& copy) {
  copy.reset(Uninterrupted([&] { return ::fcntl(Descriptor(file), F_DUPFD_CLOEXEC, 0); }));
  return copy ? error::kSuccess : LastError();
}

// The held file is ours: our own lock must not refuse us.
ErrorCode ReplaceHeld(FileHandle& held, const Place& from, const Place& to) {
  const auto at = ToSystem(from, to);
  const ErrorCode code = at ? ReplaceFile(at->first, at->second, true) : error::kInvalidName;
  (void)Close(held);
  return code;
}

ErrorCode DeleteHeld(FileHandle& held, const Place& place) {
  const auto at = ToSystem(place);
  const ErrorCode code = at ? Unlink(*at) : error::kInvalidName;
  (void)Close(held);
  return code;
}

ErrorCode HoldFolder(std::string_view folder, HeldFolder& held) {
  held = HeldFolder();
  const auto systemFolder = SystemPath(folder);
  if (!systemFolder) return error::kInvalidName;
  // A closing delimiter would make the system follow a final link after all.
  std::string_view trimmed = *systemFolder;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.remove_suffix(1);
  const std::string name = trimmed.empty() ? std::string(".") : std::string(trimmed);
  const int fd = System().open(PathPlace(name), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0);
  if (fd < 0) {
    const int code = errno;
    // A final link answers "not a folder" here; say what is in the way.
    struct stat info {};
    if (code == ENOTDIR && ::lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
      return error::kLinkInTheWay;
    }
    return code == ENOENT ? error::kPathNotFound : FromErrno(code);
  }
  HeldFolder opened;
  opened.folder.reset(fd);
  if (System().lock(fd) != 0) return errno == EWOULDBLOCK ? error::kSharingViolation : LastError();
  opened.path = std::string(folder);
  held = std::move(opened);
  return error::kSuccess;
}

namespace {}  // namespace

ErrorCode Copy(const Place& from, const Place& to) {
  FileHandle source;
  if (const ErrorCode code = Open(from, Access::Read, kShareRead, Creation::OpenExisting, source))
    return code;
  const auto placeTo = ToSystem(to);
  if (!placeTo) return error::kInvalidName;
  FileHandle target(System().open(*placeTo, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!target) return LastErrorAt(*placeTo);
  CopyPermissions(source, target);  // a copy of a private file stays private
  ErrorCode code = CopyBytes(source, target);
  if (code == error::kSuccess) code = Close(target);
  // A half-written copy is worse than none.
  if (code != error::kSuccess) (void)System().unlink(*placeTo);
  return code;
}

bool SameFile(const Place& first, const Place& second) {
  const auto atFirst = ToSystem(first);
  const auto atSecond = ToSystem(second);
  if (!atFirst || !atSecond || atFirst->name.empty() || atSecond->name.empty()) return false;
  struct stat a {};
  struct stat b {};
  return StatAt(*atFirst, a, true) == 0 && StatAt(*atSecond, b, true) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

void IgnoreLeaseSignal() {
#ifdef __linux__
  struct sigaction current {};
  if (::sigaction(SIGIO, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGIO, &ignore, nullptr);
  }
#endif
}

ErrorCode WatchForWriters(const FileHandle& file, bool& watching) {
  watching = false;
#ifdef __linux__
  // A writer of a moment (a program closing the file, a scanner) is waited
  // out for about 0.6 s, as the moves on Windows wait one out.
  using std::chrono::milliseconds;
  static constexpr milliseconds kWaits[] = {milliseconds(10), milliseconds(20),  milliseconds(40),
                                            milliseconds(80), milliseconds(160), milliseconds(320)};
  const int refused = Retried(
      {kWaits}, [&] { return System().lease(Descriptor(file)) == 0 ? 0 : errno; },
      [](int code) { return code == EAGAIN; });
  watching = refused == 0;
  if (refused != EAGAIN) return error::kSuccess;
  // Network file systems refuse a lease whenever the server grants the
  // client no caching, writers or not: the stamps decide there.
  constexpr long kNfs = 0x6969, kSmb = 0x517B, kCifs = 0xFF534D42, kSmb2 = 0xFE534D42, kCeph = 0x00C36400;
  struct statfs info {};
  const bool network =
      ::fstatfs(Descriptor(file), &info) == 0 && FileSystemIsOneOf(info, {kNfs, kSmb, kCifs, kSmb2, kCeph});
  return network ? error::kSuccess : error::kSharingViolation;
#else
  (void)file;
#endif
  return error::kSuccess;
}

bool WriterOpened(const FileHandle& file) {
#ifdef __linux__
  return ::fcntl(Descriptor(file), F_GETLEASE) != F_RDLCK;
#else
  (void)file;
  return false;
#endif
}

namespace journal {
void SetObserver(Observer* observer) noexcept {
  gObserver.store(observer, std::memory_order_relaxed);
}
}  // namespace journal

}  // namespace kwt::platform
