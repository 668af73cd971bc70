// The seam calls that make work files and hold folders answer alike on every
// platform: a work file is always made new and never reached through a name
// somebody else prepared, and a folder is held by one conversion at a time.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "kit/temp_folder.h"
#include "kit/wait_until.h"
#include "runtime/platform.h"

#ifdef _WIN32
#include "runtime/windows_api.h"
#endif
#ifdef __linux__
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

namespace kwt::platform {
namespace {

namespace fs = std::filesystem;

class WorkFileSeam : public ::testing::Test {
 protected:
  // ASCII names only, so the system's form is the core's.
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  std::string Folder() const { return (dir_ / "").string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  bool Symlink(const std::string& target, const std::string& name) const {
    std::error_code error;
    fs::create_symlink(dir_ / target, dir_ / name, error);
    return !error;
  }
  ErrorCode CreateNew(const std::string& name, FileHandle& file) const {
    return Open(PathOf(name), Access::ReadWrite, kShareNone, Creation::CreateNew, file);
  }

  testing::TempFolder folder_{"kwt-seam-"};
  const fs::path& dir_ = folder_.path();
};

TEST_F(WorkFileSeam, CreateNewRefusesEveryExistingName) {
  Put("file", "theirs");
  fs::create_directory(dir_ / "folder");
  FileHandle file;
  EXPECT_EQ(CreateNew("file", file), error::kFileExists);
  EXPECT_FALSE(file);
  EXPECT_EQ(Read("file"), "theirs");
  EXPECT_NE(CreateNew("folder", file), error::kSuccess);
  if (Symlink("file", "link") && Symlink("nowhere", "dangling")) {
    EXPECT_EQ(CreateNew("link", file), error::kFileExists);
    EXPECT_EQ(CreateNew("dangling", file), error::kFileExists);
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
    EXPECT_EQ(Read("file"), "theirs");
  }
  ASSERT_EQ(CreateNew("fresh", file), error::kSuccess);
  std::size_t written = 0;
  ASSERT_EQ(platform::Write(file, "ours", 4, written), error::kSuccess);
  EXPECT_TRUE(IsPlainFile(PathOf("fresh")));
  // Held: a second exclusive opener is refused while we write.
  FileHandle other;
  EXPECT_EQ(Open(PathOf("fresh"), Access::ReadWrite, kShareNone, Creation::OpenExisting, other),
            error::kSharingViolation);
  ASSERT_EQ(Close(file), error::kSuccess);
  EXPECT_EQ(Read("fresh"), "ours");
#ifndef _WIN32
  // Private until its owner gives it the permissions it is to have.
  EXPECT_EQ(fs::status(dir_ / "fresh").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
#endif
}

TEST_F(WorkFileSeam, RemoveWorkFileTakesNamesNotWhatTheyReach) {
  Put("target", "keep");
  EXPECT_EQ(RemoveWorkFile(PathOf("missing")), error::kSuccess);
  Put("plain", "old");
  EXPECT_EQ(RemoveWorkFile(PathOf("plain")), error::kSuccess);
  EXPECT_FALSE(fs::exists(dir_ / "plain"));
  fs::create_directory(dir_ / "folder");
  EXPECT_EQ(RemoveWorkFile(PathOf("folder")), error::kAccessDenied);
  EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
  if (Symlink("target", "link")) {
    EXPECT_EQ(RemoveWorkFile(PathOf("link")), error::kSuccess);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "link")));
    EXPECT_EQ(Read("target"), "keep");
  }
  std::error_code error;
  fs::create_hard_link(dir_ / "target", dir_ / "hard", error);
  if (!error) {
    EXPECT_EQ(RemoveWorkFile(PathOf("hard")), error::kSuccess);
    EXPECT_EQ(Read("target"), "keep");
  }
  // Another conversion's work in progress stays where it is.
  FileHandle held;
  ASSERT_EQ(CreateNew("held", held), error::kSuccess);
  EXPECT_EQ(RemoveWorkFile(PathOf("held")), error::kSharingViolation);
  EXPECT_TRUE(fs::exists(dir_ / "held"));
}

TEST_F(WorkFileSeam, KindAndPlainness) {
  Put("file", "x");
  fs::create_directory(dir_ / "folder");
  EXPECT_EQ(KindOf(PathOf("file")), FileKind::Regular);
  EXPECT_EQ(KindOf(PathOf("folder")), FileKind::Directory);
  EXPECT_EQ(KindOf(PathOf("missing")), FileKind::Missing);
  EXPECT_EQ(KindOf(""), FileKind::Missing);
  EXPECT_TRUE(IsPlainFile(PathOf("file")));
  EXPECT_FALSE(IsPlainFile(PathOf("folder")));
  EXPECT_FALSE(IsPlainFile(PathOf("missing")));
  if (Symlink("file", "link")) {
    EXPECT_EQ(KindOf(PathOf("link")), FileKind::Regular);  // what opening it reaches
    EXPECT_FALSE(IsPlainFile(PathOf("link")));
  }
  std::error_code error;
  fs::create_hard_link(dir_ / "file", dir_ / "second name", error);
  if (!error) {
    EXPECT_FALSE(IsPlainFile(PathOf("file")));
  }
#ifndef _WIN32
  EXPECT_EQ(KindOf("/dev/null"), FileKind::Other);
#endif
}

TEST_F(WorkFileSeam, AFolderIsHeldByOneAtATime) {
  FileHandle first;
  ASSERT_EQ(LockFolder(Folder(), first), error::kSuccess);
  FileHandle second;
  EXPECT_EQ(LockFolder(Folder(), second), error::kSharingViolation);
  EXPECT_FALSE(second);
  // Files in a held folder are made, moved and removed as usual.
  FileHandle file;
  ASSERT_EQ(CreateNew("a", file), error::kSuccess);
  ASSERT_EQ(Close(file), error::kSuccess);
  EXPECT_EQ(Replace(PathOf("a"), PathOf("b")), error::kSuccess);
  EXPECT_EQ(Delete(PathOf("b")), error::kSuccess);
  // Another folder is another hold.
  fs::create_directory(dir_ / "inner");
  FileHandle inner;
  EXPECT_EQ(LockFolder((dir_ / "inner" / "").string(), inner), error::kSuccess);
  ASSERT_EQ(Close(first), error::kSuccess);
  EXPECT_EQ(LockFolder(Folder(), second), error::kSuccess);
  ASSERT_EQ(Close(second), error::kSuccess);
  ASSERT_EQ(Close(inner), error::kSuccess);
  // Nothing of the holds stays behind.
  EXPECT_TRUE(fs::is_empty(dir_ / "inner"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  FileHandle missing;
  EXPECT_NE(LockFolder((dir_ / "none" / "").string(), missing), error::kSuccess);
}

TEST_F(WorkFileSeam, AStampSeesARewriteThatPutsTheWriteTimeBack) {
  Put("file", "before");
  const auto written = fs::last_write_time(dir_ / "file");
  FileHandle file;
  ASSERT_EQ(Open(PathOf("file"), Access::Read, kShareRead | kShareWrite, Creation::OpenExisting, file), 0u);
  FileStamp byHandle;
  FileStamp byName;
  ASSERT_EQ(StampOf(file, byHandle), 0u);
  ASSERT_EQ(StampOf(PathOf("file"), byName), 0u);
  EXPECT_EQ(byHandle, byName);
  testing::WaitForClockTick();
  Put("file", "after!");  // same size, as touch -r or cp -p would leave it
  fs::last_write_time(dir_ / "file", written);
  FileStamp later;
  ASSERT_EQ(StampOf(file, later), 0u);
  EXPECT_NE(later, byHandle);
  ASSERT_EQ(StampOf(PathOf("file"), later), 0u);
  EXPECT_NE(later, byName);
}

// A held folder is reached through what was opened: a folder on its way that
// is swapped afterwards (a link pointed elsewhere, or folders renamed) leads
// nothing into the other folder.
TEST_F(WorkFileSeam, AHeldFolderStaysTheFolderItWas) {
  for (const bool byLink : {true, false}) {
    SCOPED_TRACE(byLink ? "link" : "rename");
    fs::remove_all(dir_ / "A");
    fs::remove_all(dir_ / "B");
    fs::remove(dir_ / "cur");
    for (const char* side : {"A", "B"}) {
      fs::create_directories(dir_ / side / "work");
      Put(std::string(side) + "/work/book.KWT", side);
      Put(std::string(side) + "/work/TMP.DAT", side);
      Put(std::string(side) + "/work/old", side);
    }
    std::error_code error;
    if (byLink) {
      if (!Symlink("A", "cur")) continue;  // no links here (Wine)
    } else {
      fs::rename(dir_ / "A", dir_ / "cur");
    }
    HeldFolder held;
    ASSERT_EQ(HoldFolder((dir_ / "cur" / "work" / "").string(), held), 0u);
    if (byLink) {
      fs::remove(dir_ / "cur");
      ASSERT_TRUE(Symlink("B", "cur"));
    } else {
#ifdef _WIN32
      // Windows keeps a folder with open handles below it in place; Wine
      // lets it move, but then finds names by their old paths.
      continue;
#endif
      fs::rename(dir_ / "cur", dir_ / "A", error);
      ASSERT_FALSE(error);
      fs::rename(dir_ / "B", dir_ / "cur");
    }

    FileStamp stamp;
    ASSERT_EQ(StampOf(Place(held, "book.KWT"), stamp), 0u);
    FileStamp ofA;
    ASSERT_EQ(StampOf(PathOf("A/work/book.KWT"), ofA), 0u);
    EXPECT_EQ(stamp, ofA);
    ASSERT_EQ(RemoveWorkFile(Place(held, "TMP.DAT")), 0u);
    FileHandle file;
    ASSERT_EQ(Open(Place(held, "TMP.DAT"), Access::ReadWrite, kShareNone, Creation::CreateNew, file), 0u);
    std::size_t written = 0;
    ASSERT_EQ(platform::Write(file, "new", 3, written), 0u);
    FileHandle other;
    EXPECT_EQ(Open(Place(held, "TMP.DAT"), Access::ReadWrite, kShareNone, Creation::OpenExisting, other),
              error::kSharingViolation);
    ASSERT_EQ(ReplaceHeld(file, Place(held, "TMP.DAT"), Place(held, "book.KWT")), 0u);
    EXPECT_FALSE(file);
    ASSERT_EQ(Replace(Place(held, "old"), Place(held, "older")), 0u);
    ASSERT_EQ(Delete(Place(held, "older")), 0u);
    ASSERT_EQ(Open(Place(held, "TMP.DAT"), Access::ReadWrite, kShareNone, Creation::CreateNew, file), 0u);
    ASSERT_EQ(DeleteHeld(file, Place(held, "TMP.DAT")), 0u);

    EXPECT_EQ(Read("A/work/book.KWT"), "new");
    EXPECT_FALSE(fs::exists(dir_ / "A" / "work" / "TMP.DAT"));
    EXPECT_FALSE(fs::exists(dir_ / "A" / "work" / "old"));
    for (const char* name : {"book.KWT", "TMP.DAT", "old"}) {
      EXPECT_EQ(Read(std::string("cur/work/") + name), "B");
    }
    EXPECT_FALSE(fs::exists(dir_ / "cur" / "work" / "older"));
  }
}

TEST_F(WorkFileSeam, AHeldFolderTakesBareNamesAndFollowsNoLink) {
  Put("target", "keep");
  fs::create_directory(dir_ / "folder");
  const bool links = Symlink("target", "link") && Symlink("folder", "folder link");
  if (links) {
    HeldFolder link;
    EXPECT_EQ(HoldFolder((dir_ / "folder link" / "").string(), link), error::kLinkInTheWay);
    EXPECT_FALSE(link);
  }
  HeldFolder held;
  ASSERT_EQ(HoldFolder(Folder(), held), 0u);
  // One hold, whichever way it is asked for.
  FileHandle lock;
  EXPECT_EQ(LockFolder(Folder(), lock), error::kSharingViolation);
  HeldFolder second;
  EXPECT_EQ(HoldFolder(Folder(), second), error::kSharingViolation);

  FileHandle file;
  FileStamp stamp;
  for (const char* name : {"", ".", "..", "folder/x", "../target"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Open(Place(held, name), Access::Read, kShareRead, Creation::OpenExisting, file),
              error::kInvalidName);
    EXPECT_EQ(RemoveWorkFile(Place(held, name)), error::kInvalidName);
    EXPECT_EQ(StampOf(Place(held, name), stamp), error::kInvalidName);
  }
  if (links) {
    EXPECT_EQ(Open(Place(held, "link"), Access::Read, kShareRead, Creation::OpenExisting, file),
              error::kLinkInTheWay);
    EXPECT_EQ(Open(Place(held, "link"), Access::ReadWrite, kShareNone, Creation::CreateAlways, file),
              error::kLinkInTheWay);
    EXPECT_EQ(StampOf(Place(held, "link"), stamp), error::kLinkInTheWay);
    EXPECT_EQ(RemoveWorkFile(Place(held, "link")), 0u);
    EXPECT_EQ(Read("target"), "keep");
  }
  EXPECT_EQ(Open(Place(held, "missing"), Access::Read, kShareRead, Creation::OpenExisting, file),
            error::kFileNotFound);
  EXPECT_EQ(Open(Place(held, "target"), Access::ReadWrite, kShareNone, Creation::CreateNew, file),
            error::kFileExists);
  EXPECT_EQ(Open(Place(held, "folder"), Access::Read, kShareRead, Creation::OpenExisting, file),
            error::kAccessDenied);
  EXPECT_EQ(Delete(Place(held, "missing")), error::kFileNotFound);
  EXPECT_EQ(RemoveWorkFile(Place(held, "missing")), 0u);
  EXPECT_EQ(RemoveWorkFile(Place(held, "folder")), error::kAccessDenied);
  EXPECT_EQ(Replace(Place(held, "target"), Place(held, "folder")), error::kAccessDenied);
  // The two places of a move are alike: a held name and a path are refused
  // before anything moves.
  EXPECT_EQ(Replace(Place(held, "target"), Folder() + "moved"), error::kInvalidName);
  EXPECT_EQ(Read("target"), "keep");
  held = HeldFolder();
  EXPECT_EQ(LockFolder(Folder(), lock), 0u);
}

#ifdef _WIN32
// A virus scanner or indexer that opens a file for a moment right after it
// was written does not make a move or delete fail; a lasting refusal still
// answers.
TEST_F(WorkFileSeam, ABriefHoldIsWaitedOut) {
  HeldFolder held;
  ASSERT_EQ(HoldFolder(Folder(), held), 0u);
  using Call = std::function<ErrorCode()>;
  const std::pair<const char*, Call> rows[] = {
      {"move", [&] { return Move(PathOf("busy"), PathOf("moved")); }},
      {"replace", [&] { return Replace(PathOf("busy"), PathOf("other")); }},
      {"delete", [&] { return Delete(PathOf("busy")); }},
      {"work file", [&] { return RemoveWorkFile(PathOf("busy")); }},
      {"replace in", [&] { return Replace(Place(held, "busy"), Place(held, "other")); }},
      {"delete in", [&] { return Delete(Place(held, "busy")); }},
  };
  for (const auto& [name, call] : rows) {
    SCOPED_TRACE(name);
    fs::remove(dir_ / "moved");
    Put("busy", "x");
    Put("other", "y");
    FileHandle scanner;
    ASSERT_EQ(Open(PathOf("busy"), Access::Read, kShareNone, Creation::OpenExisting, scanner), 0u);
    std::thread letGo([&] {
      testing::KeepOthersWaiting(std::chrono::milliseconds(200));
      (void)Close(scanner);
    });
    EXPECT_EQ(call(), 0u);
    letGo.join();
    EXPECT_FALSE(fs::exists(dir_ / "busy"));
  }
  Put("readonly", "x");
  fs::permissions(dir_ / "readonly",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(Delete(PathOf("readonly")), error::kAccessDenied);
  EXPECT_EQ(Delete(Place(held, "readonly")), error::kAccessDenied);
}

TEST_F(WorkFileSeam, ANewFileTakesTheAttributesOfTheOld) {
  Put("old", "records");
  const std::wstring old = (dir_ / "old").wstring();
  ASSERT_TRUE(SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  FileHandle from;
  ASSERT_EQ(Open(PathOf("old"), Access::Read, kShareRead, Creation::OpenExisting, from), 0u);
  FileHandle to;
  ASSERT_EQ(CreateNew("new", to), 0u);
  // Wine refuses to set a security descriptor (owner, group and DACL come
  // back lost); only the attributes answer alike there and on Windows.
  EXPECT_EQ(CopyPermissions(from, to) & permission::kAttributes, 0u);
  to = FileHandle();
  const DWORD attributes = GetFileAttributesW((dir_ / "new").wstring().c_str());
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
            DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
}
#endif

#ifdef __linux__
// An access ACL as the system stores it: version 2, then tag, permissions and
// id of each entry, little-endian, in the order of their tags.
std::string AccessAcl(std::initializer_list<std::array<std::uint32_t, 3>> entries) {
  std::string bytes;
  const auto put = [&](std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(2, 4);
  for (const auto& [tag, permissions, id] : entries) {
    put(tag, 2);
    put(permissions, 2);
    put(id, 4);
  }
  return bytes;
}
// Owner rw, the user nobody r, owning group r, mask rw, others nothing.
const std::string kAcl = AccessAcl({{1, 6, ~0u}, {2, 4, 65534}, {4, 4, ~0u}, {0x10, 6, ~0u}, {0x20, 0, ~0u}});

std::optional<std::string> Attribute(const fs::path& path, const char* name) {
  char value[256];
  const ssize_t size = ::getxattr(path.c_str(), name, value, sizeof value);
  if (size < 0) return std::nullopt;
  return std::string(value, static_cast<std::size_t>(size));
}

TEST_F(WorkFileSeam, ANewFileTakesTheModeAclAndAttributesOfTheOld) {
  Put("old", "records");
  const fs::path old = dir_ / "old";
  if (::setxattr(old.c_str(), "system.posix_acl_access", kAcl.data(), kAcl.size(), 0) != 0 ||
      ::setxattr(old.c_str(), "user.note", "kept", 4, 0) != 0) {
    GTEST_SKIP() << "no ACLs or user attributes here";
  }
  ASSERT_EQ(::chmod(old.c_str(), 04660), 0);  // group bits: the ACL's mask
  FileHandle from;
  ASSERT_EQ(Open(PathOf("old"), Access::Read, kShareRead, Creation::OpenExisting, from), 0u);
  FileHandle to;
  ASSERT_EQ(CreateNew("new", to), 0u);
  EXPECT_EQ(CopyPermissions(from, to), 0u);
  struct stat info {};
  ASSERT_EQ(::stat((dir_ / "new").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0660u);  // never the set-id bits
  EXPECT_EQ(Attribute(dir_ / "new", "system.posix_acl_access"), kAcl);
  EXPECT_EQ(Attribute(dir_ / "new", "user.note"), "kept");
}

// Another user converts a shared group's file (bob:team 664 in a folder of
// team): a member keeps the group, which lets bob go on writing; anybody else
// gives up the group's bits and ACL rather than open the file to their own
// group. Needs root to play the users.
TEST_F(WorkFileSeam, AnotherUsersFileKeepsItsGroupOrClosesTheGroupBits) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as other users";
  const gid_t team = 4242;
  const uid_t bob = 4243;
  const uid_t alice = 65534;
  struct Row {
    bool member;
    PermissionParts lost;
    mode_t mode;
  };
  // The other user works in a folder below one that every user can reach.
  std::optional<kwt::testing::TempFolder> reachable;
  fs::path base = dir_;
  if (!kwt::testing::OthersCanReach(base)) {
    if (!kwt::testing::OthersCanReach("/tmp"))
      GTEST_SKIP() << "neither " << base << " nor /tmp lets another user pass";
    reachable.emplace("kwt-others-", "/tmp");
    base = reachable->path();
    fs::permissions(base, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
  }
  const Row rows[] = {{true, permission::kOwner, 0664},
                      {false, permission::kOwner | permission::kGroup | permission::kAccessList, 0604}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.member ? "member" : "not a member");
    const fs::path shared = base / (row.member ? "member" : "other");
    fs::create_directory(shared);
    ASSERT_EQ(::chown(shared.c_str(), 0, team), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    std::ofstream(shared / "book.KWT") << "records";
    const fs::path old = shared / "book.KWT";
    const bool acl = ::setxattr(old.c_str(), "system.posix_acl_access", kAcl.data(), kAcl.size(), 0) == 0;
    ASSERT_EQ(::chown(old.c_str(), bob, team), 0);
    ASSERT_EQ(::chmod(old.c_str(), 0664), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const gid_t groups[] = {team};
      if (::setgroups(row.member ? 1 : 0, groups) != 0 || ::setgid(alice) != 0 || ::setuid(alice) != 0)
        _exit(255);
      FileHandle from;
      FileHandle to;
      if (Open(old.string(), Access::Read, kShareRead, Creation::OpenExisting, from) != 0 ||
          Open((shared / "TMP.DAT").string(), Access::ReadWrite, kShareNone, Creation::CreateNew, to) != 0) {
        _exit(254);
      }
      _exit(static_cast<int>(CopyPermissions(from, to)));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const PermissionParts lost = static_cast<PermissionParts>(WEXITSTATUS(status));
    EXPECT_EQ(lost, acl ? row.lost : row.lost & ~permission::kAccessList);
    struct stat info {};
    ASSERT_EQ(::stat((shared / "TMP.DAT").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, alice);
    EXPECT_EQ(info.st_gid, row.member ? team : alice);
    EXPECT_EQ(info.st_mode & 07777, row.mode);
    if (acl) {
      EXPECT_EQ(Attribute(shared / "TMP.DAT", "system.posix_acl_access").has_value(), row.member);
    }
  }
}
#endif

}  // namespace
}  // namespace kwt::platform
