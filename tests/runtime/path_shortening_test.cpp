// Shortening a path for display, measured one unit per byte; the recording
// measure also proves which candidates are measured, and how often.
#include "runtime/path_shortening.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kwt {
namespace {

#define KWT_HYO "\x95\x5C"

// One unit per byte, remembering every text it was asked about.
class RecordingMeasure : public ByteWidthMeasure {
 public:
  std::int32_t TextWidth(std::string_view text) override {
    measured.emplace_back(text);
    return ByteWidthMeasure::TextWidth(text);
  }
  std::vector<std::string> measured;
};

struct ShortenCase {
  std::string_view path;
  std::int32_t maxWidth;
  std::string_view expected;
  // Every text measured, in order.
  std::vector<std::string> measured;
};

void ExpectShortening(const ShortenCase& row, PathStyle style) {
  SCOPED_TRACE(::testing::Message() << ::testing::PrintToString(row.path) << " in " << row.maxWidth);
  RecordingMeasure measure;
  EXPECT_EQ(ShortenPath(row.path, measure, row.maxWidth, style), row.expected);
  EXPECT_EQ(measure.measured, row.measured);
}

constexpr std::string_view kBook = "C:\\Program Files\\Book\\Data\\contents.KWT";

TEST(ShortenPath, WorkedExamples) {
  const std::string c39(kBook);
  const std::string c29 = "C:\\...\\Book\\Data\\contents.KWT";
  const std::string c24 = "C:\\...\\Data\\contents.KWT";
  const std::string c19 = "C:\\...\\contents.KWT";
  const std::string c16 = "...\\contents.KWT";
  const ShortenCase rows[] = {
      {kBook, 30, c29, {c39, c29}},
      {kBook, 20, c19, {c39, c29, c24, c19}},
      {kBook, 15, "contents.KWT", {c39, c29, c24, c19, c16}},
      // The bare name is returned even though it is wider than the maximum.
      {kBook, 10, "contents.KWT", {c39, c29, c24, c19, c16}},
      // A network share: the first step drops only the empty component
      // between the leading backslashes and so widens the text.
      {"\\\\server\\share\\dir\\file.KWT",
       16,
       "\\...\\file.KWT",
       {"\\\\server\\share\\dir\\file.KWT", "\\...\\server\\share\\dir\\file.KWT",
        "\\...\\share\\dir\\file.KWT", "\\...\\dir\\file.KWT", "\\...\\file.KWT"}},
      {"dir1\\dir2\\file.KWT",
       5,
       "file.KWT",
       {"dir1\\dir2\\file.KWT", "...\\dir2\\file.KWT", "...\\file.KWT"}},
      // The drive stays until the directories are gone.
      {"C:\\file.KWT", 5, "file.KWT", {"C:\\file.KWT", "C:file.KWT"}},
      // A short first directory beginning with a full stop takes the next
      // directory with it.
      {"\\.a\\b\\c\\x.KWT",
       8,
       "x.KWT",
       {"\\.a\\b\\c\\x.KWT", "\\...\\c\\x.KWT", "\\...\\x.KWT", "...\\x.KWT"}},
      {"C:\\Book\\contents.KWT", 40, "C:\\Book\\contents.KWT", {"C:\\Book\\contents.KWT"}},
  };
  for (const ShortenCase& row : rows) ExpectShortening(row, PathStyle::Windows);
  // None of them holds a '/', so the POSIX build shortens them the same way.
  for (const ShortenCase& row : rows) ExpectShortening(row, PathStyle::Posix);
}

TEST(ShortenPath, WidthLimits) {
  const ShortenCase rows[] = {
      // Exactly as wide as the maximum fits; the comparison is strict.
      {"C:\\Book\\a.KWT", 13, "C:\\Book\\a.KWT", {"C:\\Book\\a.KWT"}},
      {"C:\\Book\\a.KWT", 12, "C:\\...\\a.KWT", {"C:\\Book\\a.KWT", "C:\\...\\a.KWT"}},
      {"C:\\...\\a.KWT", 12, "C:\\...\\a.KWT", {"C:\\...\\a.KWT"}},
      {"C:\\Book\\a.KWT", 11, "...\\a.KWT", {"C:\\Book\\a.KWT", "C:\\...\\a.KWT", "...\\a.KWT"}},
      {"C:\\...\\a.KWT", 11, "...\\a.KWT", {"C:\\...\\a.KWT", "...\\a.KWT"}},
      // Nothing fits a width below zero: the bare name comes back.
      {"C:\\a.KWT", -1, "a.KWT", {"C:\\a.KWT", "C:a.KWT"}},
      // A drive-relative name loses its drive in one step.
      {"C:a.KWT", 6, "a.KWT", {"C:a.KWT"}},
      {"C:a.KWT", 7, "C:a.KWT", {"C:a.KWT"}},
      {"C:", 0, "", {"C:"}},
      {"\\", 0, "", {"\\"}},
      {"\\a.KWT", 5, "a.KWT", {"\\a.KWT"}},
  };
  for (const ShortenCase& row : rows) ExpectShortening(row, PathStyle::Windows);
}

TEST(ShortenPath, MeasuresNothingWithoutADelimiter) {
  const ShortenCase rows[] = {
      {"", 0, "", {}},
      {"", -5, "", {}},
      {"contents.KWT", 3, "contents.KWT", {}},
      {"very/long/linux/name.KWT", 3, "very/long/linux/name.KWT", {}},
      {KWT_HYO ".KWT", 0, KWT_HYO ".KWT", {}},
  };
  for (const ShortenCase& row : rows) ExpectShortening(row, PathStyle::Windows);
}

TEST(ShortenPath, NeverCutsADoubleByteCharacter) {
  const ShortenCase rows[] = {
      // The 5C inside 表 belongs to the name and to the directory, never splitting them.
      {"C:\\dir\\" KWT_HYO ".KWT",
       6,
       KWT_HYO ".KWT",
       {"C:\\dir\\" KWT_HYO ".KWT", "C:\\...\\" KWT_HYO ".KWT", "...\\" KWT_HYO ".KWT"}},
      {"\\" KWT_HYO "\\sub\\a.KWT",
       10,
       "\\...\\a.KWT",
       {"\\" KWT_HYO "\\sub\\a.KWT", "\\...\\sub\\a.KWT", "\\...\\a.KWT"}},
      {KWT_HYO "x\\" KWT_HYO ".KWT",
       6,
       KWT_HYO ".KWT",
       {KWT_HYO "x\\" KWT_HYO ".KWT", "...\\" KWT_HYO ".KWT"}},
  };
  for (const ShortenCase& row : rows) ExpectShortening(row, PathStyle::Windows);
}

TEST(ShortenPath, PosixPathsShortenAtSlashes) {
  const std::string home = "/home/user/book/contents.KWT";
  const ShortenCase posix[] = {
      {home,
       20,
       "/.../contents.KWT",
       {home, "/.../user/book/contents.KWT", "/.../book/contents.KWT", "/.../contents.KWT"}},
      {home,
       12,
       "contents.KWT",
       {home, "/.../user/book/contents.KWT", "/.../book/contents.KWT", "/.../contents.KWT",
        ".../contents.KWT"}},
      {"book/a.KWT", 5, "a.KWT", {"book/a.KWT", ".../a.KWT"}},
  };
  for (const ShortenCase& row : posix) ExpectShortening(row, PathStyle::Posix);
  // Under the Windows rules the same path is all name.
  ExpectShortening({home, 12, home, {}}, PathStyle::Windows);
}

TEST(ShortenPath, NativeStyleIsTheDefault) {
  RecordingMeasure measure;
  const std::string shortened = ShortenPath("C:\\Book\\Data\\a.KWT", measure, 12);
  EXPECT_EQ(shortened, "C:\\...\\a.KWT");
  EXPECT_EQ(measure.measured.size(), 3u);
}

TEST(DropFirstDirectory, ReplacesTheFirstDirectoryWithTheMarker) {
  struct Case {
    std::string_view dir;
    std::string_view expected;
  };
  const Case rows[] = {
      {"\\", ""},
      {"", ""},
      {"dir1\\dir2\\", "...\\dir2\\"},
      {"...\\dir2\\", "...\\"},
      {"...\\", ""},
      {"\\Program Files\\Book\\", "\\...\\Book\\"},
      {"\\...\\Book\\", "\\...\\"},
      {"\\...\\", "\\"},
      {"\\\\server\\share\\", "\\...\\server\\share\\"},
      {"\\.a\\b\\c\\", "\\...\\c\\"},
      {".\\a\\", ""},
      {".\\ab\\c\\", "...\\c\\"},
      {".git\\a\\b\\", "...\\a\\b\\"},
      {"a:", ""},
      {"\\" KWT_HYO "\\sub\\", "\\...\\sub\\"},
      {KWT_HYO "\\", "...\\"},
      {"a/b\\", "...\\"},
  };
  for (const Case& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.dir));
    std::string dir(row.dir);
    DropFirstDirectory(dir, PathStyle::Windows);
    EXPECT_EQ(dir, row.expected);
  }
}

TEST(DropFirstDirectory, PosixKeepsTheSeparatorItFound) {
  struct Case {
    std::string_view dir;
    std::string_view expected;
  };
  const Case rows[] = {
      {"/", ""},
      {"/home/user/", "/.../user/"},
      {"/.../user/", "/.../"},
      {"a/b\\", ".../b\\"},
      {"\\a/b/", "\\.../b/"},
  };
  for (const Case& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.dir));
    std::string dir(row.dir);
    DropFirstDirectory(dir, PathStyle::Posix);
    EXPECT_EQ(dir, row.expected);
  }
}

TEST(ByteWidthMeasure, CountsBytes) {
  ByteWidthMeasure measure;
  EXPECT_EQ(measure.TextWidth(""), 0);
  EXPECT_EQ(measure.TextWidth("C:\\"), 3);
  EXPECT_EQ(measure.TextWidth(KWT_HYO ".KWT"), 6);
}

}  // namespace
}  // namespace kwt
