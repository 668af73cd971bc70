// A file held exclusively stays held through a second handle, and moves or
// goes away before the hold ends, so no other opener can slip in between.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "kit/temp_folder.h"
#include "runtime/platform.h"

namespace kwt::platform {
namespace {

namespace fs = std::filesystem;

class HeldFileTest : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // Creates name exclusively, as a conversion creates its temporary file.
  FileHandle CreateHeld(const std::string& name, const std::string& bytes) {
    FileHandle file;
    EXPECT_EQ(Open(PathOf(name), Access::ReadWrite, kShareNone, Creation::CreateAlways, file), 0u);
    std::size_t written = 0;
    EXPECT_EQ(Write(file, bytes.data(), bytes.size(), written), 0u);
    return file;
  }
  ErrorCode TakeExclusively(const std::string& name) {
    FileHandle other;
    return Open(PathOf(name), Access::ReadWrite, kShareNone, Creation::CreateAlways, other);
  }

  testing::TempFolder temp_{"kwt-held-"};
  const fs::path dir_ = temp_.path();
};

TEST_F(HeldFileTest, SecondHandleKeepsTheHoldAfterTheFirstCloses) {
  FileHandle file = CreateHeld("TMP.DAT", "ours");
  FileHandle hold;
  ASSERT_EQ(Duplicate(file, hold), 0u);
  ASSERT_EQ(Close(file), 0u);
  EXPECT_EQ(TakeExclusively("TMP.DAT"), error::kSharingViolation);
  ASSERT_EQ(Close(hold), 0u);
  EXPECT_EQ(Read("TMP.DAT"), "ours");  // the refused opener emptied nothing
}

TEST_F(HeldFileTest, ReplaceHeldMovesOurBytesAndReleasesTheName) {
  std::ofstream(dir_ / "D.KWT", std::ios::binary) << "old";
  FileHandle file = CreateHeld("TMP.DAT", "new");
  FileHandle hold;
  ASSERT_EQ(Duplicate(file, hold), 0u);
  ASSERT_EQ(Close(file), 0u);
  ASSERT_EQ(ReplaceHeld(hold, PathOf("TMP.DAT"), PathOf("D.KWT")), 0u);
  EXPECT_FALSE(hold);
  EXPECT_EQ(Read("D.KWT"), "new");
  EXPECT_FALSE(fs::exists(dir_ / "TMP.DAT"));
  // A later conversion creates a fresh file under the name; ours is untouched.
  EXPECT_EQ(TakeExclusively("TMP.DAT"), 0u);
  EXPECT_EQ(Read("D.KWT"), "new");
}

TEST_F(HeldFileTest, DeleteHeldRemovesTheFileItHolds) {
  FileHandle file = CreateHeld("TMP.DAT", "ours");
  FileHandle hold;
  ASSERT_EQ(Duplicate(file, hold), 0u);
  ASSERT_EQ(Close(file), 0u);
  EXPECT_EQ(DeleteHeld(hold, PathOf("TMP.DAT")), 0u);
  EXPECT_FALSE(hold);
  EXPECT_FALSE(fs::exists(dir_ / "TMP.DAT"));
}

}  // namespace
}  // namespace kwt::platform
