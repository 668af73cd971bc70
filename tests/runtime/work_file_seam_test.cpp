// The seam calls that make work files and hold folders answer alike on every
// platform: a work file is always made new and never reached through a name
// somebody else prepared, and a folder is held by one conversion at a time.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "runtime/platform.h"
#include "scoped_temp_dir.h"

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

  testing::ScopedTempDir folder_{"kwt-seam-"};
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

}  // namespace
}  // namespace kwt::platform
