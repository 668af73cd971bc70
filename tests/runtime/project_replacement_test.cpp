// Saving replaces the project file with a new one: the file the user knows
// must be the one that changes, with its permissions, wherever it lives.
#include <gtest/gtest.h>

#include <filesystem>

#include "runtime/ini_file.h"
#include "runtime/store_test_support.h"

namespace kwt {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

#ifndef _WIN32
TEST(ProjectReplacement, LinkedProjectFileChangesTheFileItNames) {
  TempFolder folder;
  fs::create_directory(folder.path() / "real");
  fs::create_directory(folder.path() / "link");
  WriteBytes(folder.path() / "real" / "p.kwj", "[KWJ]\r\nVersion=103\r\n");
  fs::create_symlink(folder.path() / "real" / "p.kwj", folder.path() / "link" / "p.kwj");

  TMemIniFile store(folder.PathOf("link/p.kwj"));
  store.WriteNumber("KWJ", "Version", 140);
  store.Save();

  EXPECT_TRUE(fs::is_symlink(folder.path() / "link" / "p.kwj"));
  EXPECT_EQ(ReadBytes(folder.path() / "real" / "p.kwj"), "[KWJ]\r\nVersion=140\r\n\r\n");
  EXPECT_FALSE(fs::exists(folder.path() / "real" / "p.kwj$$$"));
  EXPECT_FALSE(fs::exists(folder.path() / "link" / "p.kwj$$$"));
}

TEST(ProjectReplacement, PrivateProjectFileStaysPrivate) {
  TempFolder folder;
  const fs::path project = folder.path() / "p.kwj";
  WriteBytes(project, "[KWJ]\r\nVersion=103\r\n");
  fs::permissions(project, fs::perms::owner_read | fs::perms::owner_write);

  TMemIniFile store(folder.PathOf("p.kwj"));
  store.WriteNumber("KWJ", "Version", 140);
  store.Save();

  EXPECT_EQ(ReadBytes(project), "[KWJ]\r\nVersion=140\r\n\r\n");
  EXPECT_EQ(fs::status(project).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}
#endif

}  // namespace
}  // namespace kwt
