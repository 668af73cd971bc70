// The one seam between the core and the operating system. Every call answers
// with a Windows error code (0 on success) on every platform, so the layers
// above report the same codes and messages wherever they run. Paths are code
// page 932 bytes; each backend converts them for its system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/scoped_handle.h"

namespace kwt::platform {

using ErrorCode = std::uint32_t;

namespace error {
inline constexpr ErrorCode kSuccess = 0;
inline constexpr ErrorCode kFileNotFound = 2;
inline constexpr ErrorCode kPathNotFound = 3;
inline constexpr ErrorCode kTooManyOpenFiles = 4;
inline constexpr ErrorCode kAccessDenied = 5;
inline constexpr ErrorCode kInvalidHandle = 6;
inline constexpr ErrorCode kSharingViolation = 32;
inline constexpr ErrorCode kFileExists = 80;
// What a move answers when its target exists (a copy answers kFileExists).
inline constexpr ErrorCode kAlreadyExists = 183;
inline constexpr ErrorCode kDiskFull = 112;
inline constexpr ErrorCode kInvalidName = 123;
inline constexpr ErrorCode kFilenameTooLong = 206;
// A link where the call takes none (ERROR_CANT_RESOLVE_FILENAME): the final
// name of a held folder, or a name opened in one.
inline constexpr ErrorCode kLinkInTheWay = 1921;
// A system failure that has no closer Windows counterpart.
inline constexpr ErrorCode kGeneralFailure = 31;
// A move that has happened but could not be made durable: a power cut may
// still undo it (ERROR_IO_DEVICE).
inline constexpr ErrorCode kNotDurable = 1117;
// A copy ended because the caller asked it to stop (ERROR_OPERATION_ABORTED).
inline constexpr ErrorCode kOperationAborted = 995;
}  // namespace error

enum class Access { Read, Write, ReadWrite };
// CreateNew makes a work file that nobody else can have prepared: it fails
// with kFileExists when anything has the name (a file, a folder, a link, even
// a dangling one), never follows a link, and checks that what it made is a
// regular file with one name before it answers.
enum class Creation { OpenExisting, CreateAlways, CreateNew };

// What a path reaches when it is opened (a link is followed).
enum class FileKind { Missing, Regular, Directory, Other };

// Share flags with their Windows values: what other openers may do meanwhile.
inline constexpr std::uint32_t kShareNone = 0;
inline constexpr std::uint32_t kShareRead = 1;
inline constexpr std::uint32_t kShareWrite = 2;

// An open file: a descriptor on POSIX, a HANDLE on Windows, given back
// through the backend's table of system calls.
struct FileTraits {
  using Handle = std::intptr_t;
  static constexpr Handle Invalid() noexcept { return -1; }
  static constexpr bool IsValid(Handle native) noexcept { return native != Invalid(); }
  static bool Close(Handle native) noexcept;
};
// Closes itself when it goes out of scope. Move-only.
using FileHandle = ScopedHandle<FileTraits>;

// A folder held for one conversion, and the way to every name in it: the
// folder is opened once, without following a final link, and the calls below
// reach names relative to that open folder, so a link swapped into the
// folder's path afterwards changes nothing. The hold is the one LockFolder
// makes (a LockFolder of the same folder meanwhile gets kSharingViolation).
// Released when it goes out of scope. Move-only.
struct HeldFolder {
  // The open folder; on POSIX also the lock.
  FileHandle folder;
  // Windows: the named object that stands for the folder's hold (see
  // LockFolder). Empty on POSIX.
  FileHandle lock;
  // As given: a directory part with its closing delimiter, empty for the
  // current folder.
  std::string path;
  explicit operator bool() const noexcept { return static_cast<bool>(folder); }
};
// Where a call reaches a file: a bare name (no delimiter, not "." or "..":
// else kInvalidName) in a held folder, reached relative to that open folder
// and never through a final link (Open and StampOf refuse one with
// kLinkInTheWay, the others take the link itself); or a path as it stands,
// from the current folder or full. A Place only refers to its folder and
// name, which must outlive it. A call with two places needs both in one held
// folder or both paths (else kInvalidName).
struct Place {
  Place(std::string_view path) noexcept : name(path) {}
  Place(const std::string& path) noexcept : name(path) {}
  Place(const char* path) noexcept : name(path) {}
  Place(const HeldFolder& held, std::string_view bare) noexcept : folder(&held), name(bare) {}
  // Null for a path.
  const HeldFolder* folder = nullptr;
  std::string_view name;
};

// Opens or creates the file at place. A file created with kShareNone is held
// exclusively: on POSIX it is locked before it is truncated, so a second
// exclusive opener fails with kSharingViolation and truncates nothing. On
// POSIX a file without any write permission bit refuses write access with
// kAccessDenied, as a read-only file does on Windows (even for root).
ErrorCode Open(const Place& place, Access access, std::uint32_t share, Creation creation, FileHandle& file);

// One system read or write of up to size bytes; transferred tells how many moved.
ErrorCode Read(FileHandle& file, void* buffer, std::size_t size, std::size_t& transferred);
ErrorCode Write(FileHandle& file, const void* buffer, std::size_t size, std::size_t& transferred);
// Forces the written bytes onto the disk.
ErrorCode Flush(FileHandle& file);
ErrorCode Size(FileHandle& file, std::uint64_t& size);
// Closes the file; the handle is empty afterwards whatever the answer.
ErrorCode Close(FileHandle& file);

// True when a file that is not a directory is found at path. On Windows this
// is the directory search (wildcards in the last component match; the first
// entry found decides); on POSIX it is stat.
bool IsFile(std::string_view path);
ErrorCode Delete(const Place& place);
// True when files can be created in the folder (a directory part with its
// closing delimiter, empty for the current folder): POSIX asks access(2);
// Windows asks the folder's permissions for this user and whether the volume
// is read-only (a folder's read-only flag means nothing there). Where the
// system cannot be asked, true: the create itself then answers.
bool FolderIsWritable(const Place& folder);
// True when the folder (a directory part with its closing delimiter, empty
// for the current folder) is one of the system's, by where it really is, its
// links followed: POSIX /dev, /proc and /sys and the file systems of the
// kernel's own (procfs, sysfs and the like), however a path reaches them.
// False where it cannot be told, and always on Windows.
bool IsSystemFolder(std::string_view folder);
// What opening path would reach: devices, pipes and sockets are Other.
FileKind KindOf(const Place& place);
// True for a regular file reached without following a link, with one name: a
// work file as we leave it, not something planted under its name.
bool IsPlainFile(const Place& place);
// What tells a file's content has changed: which file it is, its size, when
// it was last written and when it last changed at all. The change time is set
// by the system on every write and cannot be set back, so a rewrite that
// restores the write time afterwards (touch -r, cp -p) still shows.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  std::uint64_t size = 0;
  std::int64_t written = 0;
  std::int64_t changed = 0;
  // How many names (hard links) the file has.
  std::uint32_t names = 0;
  bool operator==(const FileStamp&) const = default;
};
ErrorCode StampOf(const FileHandle& file, FileStamp& stamp);
// The stamp of what place names now (a path's final link followed).
ErrorCode StampOf(const Place& place, FileStamp& stamp);
// True when both files (links not followed) have one owner; always on Windows.
bool SameOwner(std::string_view first, std::string_view second);
// Frees a work file's name for Creation::CreateNew. Whatever has the name is
// removed without following it (a file, a link, a pipe); nothing there is
// success. A folder refuses with kAccessDenied, and a file that another opener
// holds exclusively is left alone with kSharingViolation.
ErrorCode RemoveWorkFile(const Place& place);
// On Windows, Move, Replace, Delete, ReplaceHeld, DeleteHeld and
// RemoveWorkFile that meet a sharing violation or
// access denied try again for about a second, with growing waits, before they
// answer: virus scanners and indexers open a file for a moment right after it
// was written.
// Moves a file; fails when something exists at to (kAlreadyExists).
ErrorCode Move(const Place& from, const Place& to);
// Moves from over to in one step, replacing to, and makes the change durable
// before it returns (write-through on Windows; fsync of the folder on POSIX,
// or of its whole file system when the folder refuses). kNotDurable: the
// move has happened, but nothing could make it durable.
ErrorCode Replace(const Place& from, const Place& to);
// Whether a move may replace the existing file at path: POSIX refuses it
// (kAccessDenied) in a sticky folder when neither the file nor the folder is
// ours; kSuccess otherwise, and always on Windows.
ErrorCode CanReplaceIn(const Place& place);
// Whether a file made in the held folder can be removed or moved again: POSIX
// refuses (kAccessDenied) a folder flagged append-only or immutable (Linux:
// chattr +a, +i), where files may be made but never removed; kSuccess where
// the file system keeps no such flags, and always on Windows, which has none.
ErrorCode CanRemoveIn(const HeldFolder& held);
// Makes the names in the folder of place durable (a file just created there;
// a held folder through its own handle), as Replace does after a move;
// kSuccess on Windows, whose file systems log their folders themselves.
ErrorCode SyncFolderOf(const Place& place);
// Holds a folder for one conversion until lock is closed or the process ends;
// a second holder, in this process or another, gets kSharingViolation. The
// folder is given as a directory part with its closing delimiter, empty for
// the current folder. POSIX locks the folder itself; Windows makes a named
// object from the folder's identity, which goes with the last handle, and
// holds the folder against this computer's conversions (those of another
// computer on a share meet the work files this one holds open). Nothing is
// made in the folder: a folder that takes no new file is held as well. A
// folder is never replaced, so the hold outlasts every move of the files in
// it.
ErrorCode LockFolder(std::string_view folder, FileHandle& lock);
// Watches an open file (opened for reading only, by nobody else for writing)
// for writers until it is closed: Linux takes a read lease, which a program
// opening the file for writing meanwhile breaks (it waits until the file is
// closed, at most the system's lease-break time), so that WriterOpened tells.
// kSharingViolation when the file is open for writing already, as Windows'
// share modes answer. watching is true where writers are kept out: by the
// lease on Linux, by the share mode the file was opened with on Windows
// (which WriterOpened then never reports); false where neither can be had
// (another user's file, a file system without leases), which is no failure.
// Every program that watches for writers calls this once at its start: a
// broken lease is told by a signal (SIGIO unless set otherwise) whose default
// ends the process, and nothing here needs it, so it is ignored where nothing
// else has claimed it. Nothing to do on Windows.
void IgnoreLeaseSignal();
ErrorCode WatchForWriters(const FileHandle& file, bool& watching);
// True when a program has opened the watched file for writing since.
bool WriterOpened(const FileHandle& file);
// True when the file system of the open file keeps write times too coarsely
// to show every change (FAT and exFAT tick in seconds; FUSE cannot tell):
// its bytes must be compared instead.
bool StampsAreCoarse(const FileHandle& file);
// A second handle on the same open file. The file stays open, and a file held
// exclusively stays held, until both handles are closed.
ErrorCode Duplicate(const FileHandle& file, FileHandle& copy);
// Replace and Delete for a file that held keeps exclusively; held is closed
// afterwards whatever the answer. No other opener can take the file between
// releasing it and moving or deleting it: POSIX acts while the lock is still
// held; Windows moves or deletes a file that Open made in a held folder
// through its own handle, and must close any other first, so that the move or
// delete of a file that another opener took meanwhile fails with
// kSharingViolation.
ErrorCode ReplaceHeld(FileHandle& held, const Place& from, const Place& to);
ErrorCode DeleteHeld(FileHandle& held, const Place& place);
// kLinkInTheWay when the folder's final name is a link; otherwise as LockFolder.
ErrorCode HoldFolder(std::string_view folder, HeldFolder& held);
// Copies a file, with its permissions (see CopyPermissions), to a file made
// new at to; fails when something exists at to. (Used for backups.)
ErrorCode Copy(const Place& from, const Place& to);
// Writes what is left of from's bytes to to, 64 KiB at a time, and flushes
// them: the one copy loop, under Copy, the backups and the restore alike.
// stopRequested, where given, is asked before each piece; a true answer ends
// the copy with kOperationAborted, the part written left to the caller. A
// write that takes nothing is a full disk.
ErrorCode CopyBytes(FileHandle& from, FileHandle& to, const std::function<bool()>& stopRequested = {});
// True when both paths reach one existing file, whatever names they use
// (relative or full, other letter case on Windows, links). False when either
// is missing or cannot be asked.
bool SameFile(const Place& first, const Place& second);

// Where a replacement of path must go to change the file path names: on POSIX
// a symbolic link is followed (replacing the link itself would leave the file
// it names unchanged); otherwise path itself.
std::string ReplacementTarget(std::string_view path);
// What the symbolic link at path names, as written in it; none when path is
// no link (and always on Windows, whose links the conversion does not follow).
std::optional<std::string> LinkTarget(std::string_view path);
// Parts of a file's permissions, as a set of bits.
using PermissionParts = std::uint32_t;
namespace permission {
inline constexpr PermissionParts kOwner = 1;
inline constexpr PermissionParts kGroup = 2;
// POSIX: the mode bits.
inline constexpr PermissionParts kMode = 4;
// POSIX: the access ACL; Windows: the DACL.
inline constexpr PermissionParts kAccessList = 8;
// POSIX: the other extended attributes; Windows: alternate data streams.
inline constexpr PermissionParts kExtended = 16;
// Windows: the attributes hidden, system, not-content-indexed and read-only.
inline constexpr PermissionParts kAttributes = 32;
}  // namespace permission
// Gives to (a file made with Creation::CreateNew, private at first) what the
// open file from has (never what a name reaches meanwhile), so that a file
// replaced by to keeps it. POSIX: owner and group, or the group alone where
// the owner cannot be given; the mode without set-id bits; the access ACL and
// every other extended attribute but file capabilities. Windows: owner, group
// and DACL (owner and group where permitted), the attributes hidden, system
// and not-content-indexed (archive stays set: the content is new), and the
// alternate data streams. Never leaves to more open than from: a group that
// cannot be given takes the group's bits (and the ACL) with it, and an ACL
// that cannot be given the group bits that stood for its mask. Answers the
// parts that could not be carried over (0: all of them).
PermissionParts CopyPermissions(const FileHandle& from, FileHandle& to);
// Gives a file made with Creation::CreateNew (private at first) the
// permissions a newly created file gets by default (POSIX: 0666 less the umask).
void GiveDefaultPermissions(FileHandle& file);

struct FolderEntry {
  std::string name;  // code page 932
  bool directory = false;
  // A symbolic link (or another reparse point): never followed into.
  bool link = false;
};
// An entry whose name has no code page 932 form: nothing can reach it by
// name, but what it is and how its name ends can still be told. The name is
// the system's, wide; on POSIX each byte beyond ASCII stands as U+FFFD.
struct UnnamedEntry {
  std::wstring name;
  bool directory = false;
  bool link = false;
  // The name as messages show it: code page 932 where a character has a form,
  // typed characters (kTypedMark) elsewhere, U+FFFD for bytes that are no
  // character.
  std::string shown;
};
// The entries of a folder (a directory part with its closing delimiter, empty
// for the current folder), without "." and "..", in no particular order.
// Names that have no code page 932 form are in unnamed instead.
ErrorCode ListFolder(std::string_view folder, std::vector<FolderEntry>& entries,
                     std::vector<UnnamedEntry>& unnamed);

// Where a folder really is: its full path with every link on the way
// followed (with its closing delimiter), and the identity that tells it from
// every other folder however a path reaches it (a bind mount aside, which
// hides where it came from). The folder is given as a directory part with
// its closing delimiter, empty for the current folder. None when the system
// cannot tell, or the path has no code page 932 form.
struct RealFolderPlace {
  std::string path;
  std::uint64_t device = 0;
  std::uint64_t index = 0;
};
std::optional<RealFolderPlace> RealFolder(std::string_view folder);

// The full path of path as this system writes it (a relative path taken from
// the current folder; Windows: "C:\\..."), its links not followed; none
// when the system cannot tell it or it has no code page 932 form.
std::optional<std::string> FullPath(std::string_view path);

// The running program's full path (code page 932).
std::string ExecutablePath();

}  // namespace kwt::platform
