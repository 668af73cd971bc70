// Path splitting with double-byte characters, and the file operations on real
// files in a temporary folder.
#include "runtime/file_names.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "kit/temp_folder.h"
#include "runtime/encoding.h"
#include "runtime/file_time.h"
#include "runtime/platform.h"

namespace kwt {
namespace {

// 表 ends in 5C, ソ too: a backslash's value as trail byte. ア has a letter as
// trail byte. 亜 is two bytes that are both in the lead range.
#define KWT_HYO "\x95\x5C"
#define KWT_SO "\x83\x5C"
#define KWT_A "\x83\x41"
#define KWT_AA "\x88\x9F"

struct SplitCase {
  std::string_view path;
  std::string_view directory;
  std::string_view name;
  std::string_view containing;
};

void ExpectSplits(const SplitCase& row, PathStyle style) {
  SCOPED_TRACE(std::string(row.path));
  EXPECT_EQ(DirectoryPart(row.path, style), row.directory);
  EXPECT_EQ(NamePart(row.path, style), row.name);
  EXPECT_EQ(ContainingDirectory(row.path, style), row.containing);
}

TEST(PathSplitting, WindowsRules) {
  const SplitCase rows[] = {
      {"C:\\Tools\\conv.exe", "C:\\Tools\\", "conv.exe", "C:\\Tools"},
      {"C:\\conv.exe", "C:\\", "conv.exe", "C:\\"},
      {"\\\\srv\\share\\conv.exe", "\\\\srv\\share\\", "conv.exe", "\\\\srv\\share"},
      {"C:conv.exe", "C:", "conv.exe", "C:"},
      {"conv.exe", "", "conv.exe", ""},
      {"", "", "", ""},
      {"\\conv.exe", "\\", "conv.exe", "\\"},
      {"C:\\", "C:\\", "", "C:\\"},
      {"C:", "C:", "", "C:"},
      {"\\\\", "\\\\", "", "\\\\"},
      {"dir\\\\a.KWT", "dir\\\\", "a.KWT", "dir\\\\"},
      {"dir\\sub\\", "dir\\sub\\", "", "dir\\sub"},
      // A forward slash is an ordinary character under the Windows rules.
      {"C:/data/a.KWT", "C:", "/data/a.KWT", "C:"},
      {"data/a.KWT", "", "data/a.KWT", ""},
      // Trail bytes are never delimiters.
      {"C:\\dir\\" KWT_HYO ".KWT", "C:\\dir\\", KWT_HYO ".KWT", "C:\\dir"},
      {"C:\\dir\\" KWT_HYO, "C:\\dir\\", KWT_HYO, "C:\\dir"},
      {KWT_HYO KWT_SO, "", KWT_HYO KWT_SO, ""},
      {"C:\\" KWT_AA KWT_HYO ".KWT", "C:\\", KWT_AA KWT_HYO ".KWT", "C:\\"},
      // A real backslash after a character whose both bytes are lead-range.
      {"C:\\" KWT_AA "\\a.KWT", "C:\\" KWT_AA "\\", "a.KWT", "C:\\" KWT_AA},
      {KWT_A "\\" KWT_A, KWT_A "\\", KWT_A, KWT_A},
      // The byte before the last backslash is compared as a plain byte, so a
      // trail byte with a backslash's value keeps that backslash.
      {"C:\\" KWT_HYO "\\a.KWT", "C:\\" KWT_HYO "\\", "a.KWT", "C:\\" KWT_HYO "\\"},
  };
  for (const SplitCase& row : rows) ExpectSplits(row, PathStyle::Windows);
}

TEST(PathSplitting, WindowsRulesAreTheDefault) {
  EXPECT_EQ(DirectoryPart("a/b\\c"), "a/b\\");
  EXPECT_EQ(NamePart("a/b"), "a/b");
  EXPECT_EQ(ContainingDirectory("a/b"), "");
}

TEST(PathSplitting, PosixPathsSplitAtSlashesToo) {
  const SplitCase rows[] = {
      {"/usr/bin/kwtconv", "/usr/bin/", "kwtconv", "/usr/bin"},
      {"/kwtconv", "/", "kwtconv", "/"},
      {"/", "/", "", "/"},
      {"book/a.KWT", "book/", "a.KWT", "book"},
      {"book//a.KWT", "book//", "a.KWT", "book//"},
      {"C:\\dir/a.KWT", "C:\\dir/", "a.KWT", "C:\\dir"},
      {"C:/a.KWT", "C:/", "a.KWT", "C:/"},
      {"C:\\Tools\\conv.exe", "C:\\Tools\\", "conv.exe", "C:\\Tools"},
      {"/home/" KWT_HYO ".KWT", "/home/", KWT_HYO ".KWT", "/home"},
      {"/home/" KWT_HYO "/a.KWT", "/home/" KWT_HYO "/", "a.KWT", "/home/" KWT_HYO "/"},
  };
  for (const SplitCase& row : rows) ExpectSplits(row, PathStyle::Posix);
}

TEST(LastPathDelimiter, SkipsTrailBytesAndCountsFromOne) {
  struct Case {
    std::string_view delimiters;
    std::string_view text;
    std::size_t expected;
  };
  const Case rows[] = {
      {"\\:", "C:\\dir\\a", 7},
      {"\\:", "C:a", 2},
      {"\\:", "\\", 1},
      {"\\:", "abc", 0},
      {"\\:", "", 0},
      {"", "C:\\a", 0},
      {"\\", "C:a", 0},
      {"\\:", "C:\\dir\\" KWT_HYO ".KWT", 7},
      {"\\:", KWT_HYO, 0},
      {"\\:", "a" KWT_HYO KWT_SO, 0},
      {"\\:", "C:" KWT_SO KWT_HYO "b", 2},
      {"\\:", KWT_AA "\\", 3},
      // A NUL byte is never a delimiter, even when asked for.
      {std::string_view("\\\0", 2), std::string_view("a\\b\0c", 5), 2},
      // Trail-byte values other than the backslash are skipped as well.
      {"A", "x" KWT_A "y", 0},
      {"A", "xAy" KWT_A, 2},
  };
  for (const Case& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.text));
    EXPECT_EQ(LastPathDelimiter(row.delimiters, row.text), row.expected);
  }
}

TEST(LastPathDelimiter, SplitsAfterTheTrailBackslashWithoutLeadBytes) {
  const std::string_view path = "C:\\dir\\" KWT_HYO ".KWT";
  EXPECT_EQ(LastPathDelimiter("\\:", path, LeadByteSet::None()), 9u);
}

// Paths handed to the code under test are code page 932, as in the program.
class FileOperations : public ::testing::Test {
 protected:
  std::string PathOf(std::string_view name) const { return folder_.PathOf(name); }

  std::filesystem::path SystemPath(std::string_view name) const {
#ifdef _WIN32
    const auto converted = encoding::Cp932ToWide(name);
#else
    const auto converted = encoding::Cp932ToUtf8(name);
#endif
    return converted ? folder_.path() / *converted : std::filesystem::path();
  }

  // Creates a file holding bytes; the path is code page 932 for the platform seam.
  void MakeFile(std::string_view name, std::string_view bytes = "x") const {
    platform::FileHandle file;
    ASSERT_EQ(platform::Open(PathOf(name), platform::Access::Write, platform::kShareNone,
                             platform::Creation::CreateAlways, file),
              platform::error::kSuccess);
    std::size_t written = 0;
    ASSERT_EQ(platform::Write(file, bytes.data(), bytes.size(), written), platform::error::kSuccess);
    ASSERT_EQ(written, bytes.size());
    ASSERT_EQ(platform::Close(file), platform::error::kSuccess);
  }

  void MakeFolder(std::string_view name) const {
    ASSERT_TRUE(std::filesystem::create_directory(SystemPath(name)));
  }

  std::optional<std::string> Contents(std::string_view name) const {
    platform::FileHandle file;
    if (platform::Open(PathOf(name), platform::Access::Read, platform::kShareRead,
                       platform::Creation::OpenExisting, file) != platform::error::kSuccess) {
      return std::nullopt;
    }
    std::string bytes(64, '\0');
    std::size_t read = 0;
    if (platform::Read(file, bytes.data(), bytes.size(), read) != platform::error::kSuccess)
      return std::nullopt;
    bytes.resize(read);
    return bytes;
  }

#ifdef _WIN32
  static constexpr char kSeparator = '\\';
#else
  static constexpr char kSeparator = '/';
#endif

  testing::TempFolder folder_{"kwt-names-"};
};

TEST_F(FileOperations, FileIsPresentOnlyForFiles) {
  MakeFile("a.KWT");
  MakeFile(KWT_HYO ".KWT");
  MakeFolder("book.KWT");
  EXPECT_TRUE(FileIsPresent(PathOf("a.KWT")));
  EXPECT_TRUE(FileIsPresent(PathOf(KWT_HYO ".KWT")));
  EXPECT_FALSE(FileIsPresent(PathOf("b.KWT")));
  EXPECT_FALSE(FileIsPresent(PathOf("book.KWT")));
  EXPECT_FALSE(FileIsPresent(PathOf("")));
  EXPECT_FALSE(FileIsPresent(PathOf("missing") + kSeparator + "a.KWT"));
  EXPECT_FALSE(FileIsPresent(""));
  // A lead byte with nothing after it has no form in the file system.
  EXPECT_FALSE(FileIsPresent(PathOf("a\x95")));
#ifndef _WIN32
  // A pipe is no file: opening it would wait for a writer forever.
  ASSERT_EQ(::mkfifo(PathOf("pipe.KWT").c_str(), 0666), 0);
  EXPECT_FALSE(FileIsPresent(PathOf("pipe.KWT")));
#endif
}

TEST_F(FileOperations, FileIsPresentWhateverTheFileDate) {
  struct Case {
    const char* name;
    std::int64_t seconds;
  };
  const Case rows[] = {
      {"1975.KWT", 172065600},   // 1975-06-15, before the DOS epoch
      {"1979.KWT", 315529200},   // 1979-12-31 23:00 UTC
      {"2110.KWT", 4417977600},  // 2110-01-01, past the DOS range
  };
  for (const Case& row : rows) {
    SCOPED_TRACE(row.name);
    MakeFile(row.name);
    ASSERT_TRUE(testing::SetLastWriteTime(PathOf(row.name), row.seconds));
    EXPECT_TRUE(FileIsPresent(PathOf(row.name)));
  }
}

#ifdef _WIN32
TEST_F(FileOperations, WildcardsMatchInTheLastComponent) {
  MakeFile("book.KWT");
  MakeFolder("sub.DIR");
  EXPECT_TRUE(FileIsPresent(PathOf("*.KWT")));
  EXPECT_TRUE(FileIsPresent(PathOf("b??k.KWT")));
  EXPECT_FALSE(FileIsPresent(PathOf("*.kwj")));
  // The only entry that matches is a directory.
  EXPECT_FALSE(FileIsPresent(PathOf("*.DIR")));
}
#else
TEST_F(FileOperations, WildcardsAreOrdinaryCharactersOnPosix) {
  MakeFile("book.KWT");
  EXPECT_FALSE(FileIsPresent(PathOf("*.KWT")));
  EXPECT_FALSE(FileIsPresent(PathOf("b??k.KWT")));
}
#endif

TEST_F(FileOperations, RemoveFileDeletesOnlyFiles) {
  MakeFile("a.KWT");
  MakeFile(KWT_HYO ".KWT");
  MakeFolder("sub");
  EXPECT_TRUE(RemoveFile(PathOf("a.KWT")));
  EXPECT_FALSE(FileIsPresent(PathOf("a.KWT")));
  EXPECT_FALSE(RemoveFile(PathOf("a.KWT")));
  EXPECT_TRUE(RemoveFile(PathOf(KWT_HYO ".KWT")));
  EXPECT_FALSE(FileIsPresent(PathOf(KWT_HYO ".KWT")));
  EXPECT_FALSE(RemoveFile(PathOf("sub")));
  EXPECT_TRUE(std::filesystem::is_directory(SystemPath("sub")));
}

TEST_F(FileOperations, RenamePathMovesAndNeverReplaces) {
  MakeFile("TMP.DAT", "new");
  MakeFile("a.KWT", "old");
  // An existing file at the new path stops the move; both stay as they were.
  EXPECT_FALSE(RenamePath(PathOf("TMP.DAT"), PathOf("a.KWT")));
  EXPECT_EQ(Contents("TMP.DAT"), "new");
  EXPECT_EQ(Contents("a.KWT"), "old");

  EXPECT_TRUE(RemoveFile(PathOf("a.KWT")));
  EXPECT_TRUE(RenamePath(PathOf("TMP.DAT"), PathOf("a.KWT")));
  EXPECT_FALSE(FileIsPresent(PathOf("TMP.DAT")));
  EXPECT_EQ(Contents("a.KWT"), "new");

  EXPECT_TRUE(RenamePath(PathOf("a.KWT"), PathOf(KWT_HYO ".KWT")));
  EXPECT_EQ(Contents(KWT_HYO ".KWT"), "new");
  EXPECT_FALSE(RenamePath(PathOf("missing"), PathOf("b.KWT")));
  EXPECT_FALSE(FileIsPresent(PathOf("b.KWT")));
}

TEST_F(FileOperations, TemporaryPathBesideTheContentsFile) {
  // The conversion builds its temporary file's path this way.
  MakeFile(KWT_HYO ".KWT");
  const std::string temporary = DirectoryPart(PathOf(KWT_HYO ".KWT"), kNativePathStyle) + "TMP.DAT";
  EXPECT_EQ(temporary, PathOf("TMP.DAT"));
  MakeFile("TMP.DAT");
  EXPECT_TRUE(FileIsPresent(temporary));
}

}  // namespace
}  // namespace kwt
