// The driver and its passes on real projects in temporary folders: which
// passes run, the texts shown in order, what every failure leaves on disk,
// and the safeguards around replacing the two files.
#include "convert/conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

#include "convert/content_records.h"
#include "convert/conversion_test_support.h"
#include "current_directory.h"
#include "raised.h"
#include "runtime/platform.h"
#include "runtime/record_file.h"
#include "runtime/store_faults.h"

namespace kwt {
namespace {

namespace fs = std::filesystem;
using testing::Progress;
using testing::Raised;
using testing::Status;
using testing::Target;
using testing::TempFolder;

constexpr std::size_t k102 = 300;
constexpr std::size_t k103 = 516;
constexpr std::size_t k140 = 768;

void PutValue(std::string& record, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) record[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
std::uint32_t Value(std::string_view record, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(record[at + i]);
  return value;
}
void PutText(std::string& record, std::size_t at, std::string_view text) {
  record[at] = static_cast<char>(text.size());
  record.replace(at + 1, text.size(), text);
}
std::string Text(std::string_view record, std::size_t at) {
  return std::string(record.substr(at + 1, static_cast<unsigned char>(record[at])));
}

// Record i of the layout of the given size, every field telling i apart.
std::string Record(std::size_t size, int i) {
  std::string record(size, '\0');
  const std::string n = std::to_string(i);
  record[0] = static_cast<char>(i + 1);
  record[1] = record[2] = record[3] = '\xEE';  // a gap that must not travel
  PutValue(record, 4, 7u * i + 1);
  if (size == k102) {
    PutText(record, 8, "one-" + n);
    PutText(record, 39, "two-" + n);
    PutValue(record, 240, 1000u + i);
    PutText(record, 244, "three-" + n);
    PutValue(record, 296, 0xFFFFFFFFu - i);
  } else {
    PutText(record, 8, "one-" + n);
    PutText(record, 49, "two-" + n);
    PutValue(record, 252, 1000u + i);
    PutValue(record, 256, 0xFFFFFFFFu - i);
    PutText(record, 260, "three-" + n);
    PutText(record, 361, "four-" + n);
    PutText(record, 462, std::string(53, 'x'));
  }
  return record;
}

std::string Records(std::size_t size, int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += Record(size, i);
  return bytes;
}

// Checks the first count records of a layout-140 file converted from the
// layout of size `from`.
void ExpectConverted(std::string_view bytes, int count, std::size_t from) {
  ASSERT_GE(bytes.size(), count * k140);
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE("record " + std::to_string(i));
    const std::string_view r = bytes.substr(i * k140, k140);
    const std::string n = std::to_string(i);
    EXPECT_EQ(r[0], static_cast<char>(i + 1));
    EXPECT_EQ(r.substr(1, 3), std::string(3, '\0'));
    EXPECT_EQ(Value(r, 4), 7u * i + 1);
    EXPECT_EQ(Text(r, 8), "one-" + n);
    EXPECT_EQ(Text(r, 49), "two-" + n);
    EXPECT_EQ(Value(r, 252), 1000u + i);
    EXPECT_EQ(Value(r, 256), 0xFFFFFFFFu - i);
    EXPECT_EQ(Text(r, 260), "three-" + n);
    EXPECT_EQ(Text(r, 361), from == k102 ? "" : "four-" + n);
    EXPECT_EQ(Text(r, 462), from == k102 ? "" : std::string(50, 'x'));
    EXPECT_EQ(r[513], '\0');
    EXPECT_EQ(r[614], '\0');
  }
}

// Records(k102, count) (or old) as the passes convert them, up to the given layout.
std::string ConvertedRecords(std::size_t layout, int count, std::string old = {}) {
  if (old.empty()) old = Records(k102, count);
  ContentRecord102 from;
  ContentRecord103 middle;
  ContentRecord140 to;
  std::string bytes;
  for (int i = 0; i < count; ++i) {
    old.copy(reinterpret_cast<char*>(from.bytes.data()), k102, static_cast<std::size_t>(i) * k102);
    MapTo103(from, middle);
    if (layout == k103) {
      bytes.append(reinterpret_cast<const char*>(middle.bytes.data()), k103);
    } else {
      MapTo140(middle, to);
      bytes.append(reinterpret_cast<const char*>(to.bytes.data()), k140);
    }
  }
  return bytes;
}

// A project "P.kwj" naming "D.KWT" in one fresh folder, with its face and driver.
struct Scenario {
  Scenario(std::string_view version, std::string_view count, std::size_t layout, int present)
      : converter(face), project(folder.PathOf("P.kwj")), contents(folder.PathOf("D.KWT")) {
    WriteProject("[KWJ]\r\n" + std::string(version) + "\r\nCount=" + std::string(count) +
                 "\r\nKWT=" + contents + "\r\n");
    if (present >= 0) folder.Write("D.KWT", Records(layout, present));
  }
  void WriteProject(std::string_view text) { folder.Write("P.kwj", text); }
  void Convert() { converter.Convert(project); }
  std::int32_t StoredVersion() { return converter.CurrentStore()->ReadNumber("KWJ", "Version", -1); }
  std::int32_t SavedVersion() { return TMemIniFile(project).ReadNumber("KWJ", "Version", -1); }
  // Both files exactly as they were, and no temporary file left.
  void ExpectUntouched(const testing::Snapshot& projectBefore, const testing::Snapshot& contentsBefore) {
    EXPECT_TRUE(Take("P.kwj") == projectBefore);
    EXPECT_TRUE(Take("D.KWT") == contentsBefore);
    EXPECT_FALSE(folder.Exists("TMP.DAT"));
    EXPECT_FALSE(folder.Exists("P.kwj$$$"));
  }
  testing::Snapshot Take(std::string_view name) { return testing::Take(folder, name); }
  std::string Shown() { return ShortenPath(contents, face.measure, face.width); }

  TempFolder folder;
  testing::RecordingFace face;
  Converter converter;
  std::string project;
  std::string contents;
};

std::vector<std::string> PassTexts(std::string_view shown, int count) {
  std::vector<std::string> log{Target(shown)};
  for (int i = 0; i < count; ++i) log.push_back(Progress(i));
  log.push_back(Status(texts::kStatusFinishing));
  log.push_back(Status(texts::kStatusSuccess));
  return log;
}

std::vector<std::string> Joined(std::vector<std::string> first, const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

class ConversionTest : public ::testing::Test {
 protected:
  void SetUp() override { TakeIoStatus(); }
};

TEST_F(ConversionTest, RecordedVersionDecidesWhichPassesRun) {
  struct Row {
    const char* name;
    std::string project;  // %s stands for the contents path
    std::size_t layout;
    int passes;
  };
  const Row rows[] = {
      {"102", "[KWJ]\r\nVersion=102\r\nCount=2\r\nKWT=%s\r\n", k102, 2},
      {"missing", "[KWJ]\r\nCount=2\r\nKWT=%s\r\n", k102, 2},
      {"not a number", "[KWJ]\r\nVersion=1.4.0\r\nCount=2\r\nKWT=%s\r\n", k102, 2},
      {"lower case 102", "[kwj]\r\nversion=102\r\ncount=2\r\nkwt=%s\r\n", k102, 2},
      {"103", "[KWJ]\r\nVersion=103\r\nCount=2\r\nKWT=%s\r\n", k103, 1},
      {"139", "; old\r\n[KWJ]\r\n Version = 139 \r\nCount=2\r\nKWT=%s\r\n", k103, 1},
      {"140", "[KWJ]\r\nVersion=140\r\nCount=2\r\nKWT=%s\r\n", k140, 0},
      {"200", "[KWJ]\r\nVersion=200\r\nCount=2\r\nKWT=%s\r\n", k140, 0},
      {"lower case 140", "[kwj]\r\nversion=140\r\ncount=2\r\nkwt=%s\r\n", k140, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Scenario s("", "2", row.layout, 2);
    s.WriteProject(texts::Format(row.project, s.contents));
    const auto projectBefore = s.Take("P.kwj");
    const auto contentsBefore = s.Take("D.KWT");
    s.Convert();
    ASSERT_NE(s.converter.CurrentStore(), nullptr);
    if (row.passes == 0) {
      EXPECT_EQ(s.face.log, std::vector<std::string>{Status(texts::kStatusUpToDate)});
      s.ExpectUntouched(projectBefore, contentsBefore);
      continue;
    }
    const auto pass = PassTexts(s.Shown(), 2);
    EXPECT_EQ(s.face.log, row.passes == 2 ? Joined(pass, pass) : pass);
    const std::string converted = s.folder.Read("D.KWT");
    EXPECT_EQ(converted.size(), 2 * k140);
    ExpectConverted(converted, 2, row.layout);
    EXPECT_EQ(s.StoredVersion(), 140);
    EXPECT_EQ(s.SavedVersion(), 140);
    EXPECT_FALSE(s.folder.Exists("TMP.DAT"));
  }
}

TEST_F(ConversionTest, NoContentsEndsEveryPassAndTouchesNothing) {
  const char* const projects[] = {
      "[KWJ]\r\nVersion=102\r\nCount=0\r\nKWT=%s\r\n",
      "[KWJ]\r\nKWT=%s\r\n",
      "[KWJ]\r\nCount=two\r\nKWT=%s\r\n",
      "[Other]\r\nCount=2\r\nKWT=%s\r\n",
  };
  for (const char* project : projects) {
    SCOPED_TRACE(project);
    Scenario s("", "", k102, 2);
    s.WriteProject(texts::Format(project, s.contents));
    const auto projectBefore = s.Take("P.kwj");
    const auto contentsBefore = s.Take("D.KWT");
    s.face.SetTarget("earlier");
    s.Convert();
    // Both passes say so: the face hears the same text twice.
    EXPECT_EQ(s.face.log, (std::vector<std::string>{Target("earlier"), Status(texts::kStatusNoContents),
                                                    Status(texts::kStatusNoContents)}));
    s.ExpectUntouched(projectBefore, contentsBefore);
  }
}

TEST_F(ConversionTest, ConvertsExactlyCountRecords) {
  struct Row {
    int present;
    int count;
  };
  for (const Row row : {Row{3, 3}, Row{4, 2}, Row{12, 12}, Row{1, 1}}) {
    SCOPED_TRACE(std::to_string(row.count) + " of " + std::to_string(row.present));
    Scenario s("Version=103", std::to_string(row.count), k103, row.present);
    s.Convert();
    EXPECT_EQ(s.face.log, PassTexts(s.Shown(), row.count));
    const std::string converted = s.folder.Read("D.KWT");
    EXPECT_EQ(converted.size(), row.count * k140);
    ExpectConverted(converted, row.count, k103);
  }
}

#ifndef _WIN32
// The converted file takes the old one's place, and keeps it as private.
TEST_F(ConversionTest, ConvertedContentsKeepTheirPermissions) {
  Scenario s("Version=102", "2", k102, 2);
  const fs::path contents = s.folder.PathOf("D.KWT");
  fs::permissions(contents, fs::perms::owner_read | fs::perms::owner_write);
  s.Convert();
  EXPECT_EQ(s.SavedVersion(), 140);
  EXPECT_EQ(fs::status(contents).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}
#endif

// Where a pass stops, and what it leaves: the temporary file with the records
// converted so far at most, the contents and project files as they were.
TEST_F(ConversionTest, FailuresLeaveWhatTheirStepLeaves) {
  using Check = std::function<void(Scenario&)>;
  struct Row {
    const char* name;
    int version;
    int present;
    int count;
    std::function<void(Scenario&, platform::FileHandle&)> prepare;
    std::int32_t code;
    std::function<std::vector<std::string>(Scenario&)> log;
    Check leftovers;
  };
  const auto shownOnly = [](Scenario& s) { return std::vector<std::string>{Target(s.Shown())}; };
  const auto none = [](Scenario&, platform::FileHandle&) {};
  const Check noTemporary = [](Scenario& s) { EXPECT_FALSE(s.folder.Exists("TMP.DAT")); };
  const Row rows[] = {
      {"read-only contents", 103, 3, 3, [](Scenario& s, auto&) { s.folder.MakeReadOnly("D.KWT"); }, 5,
       shownOnly, noTemporary},
      {"temporary held by another", 103, 3, 3,
       [](Scenario& s, platform::FileHandle& held) {
         s.folder.Write("TMP.DAT", "held");
         ASSERT_EQ(platform::Open(s.folder.PathOf("TMP.DAT"), platform::Access::ReadWrite,
                                  platform::kShareNone, platform::Creation::OpenExisting, held),
                   0u);
       },
       32, shownOnly, [](Scenario& s) { EXPECT_EQ(s.folder.Read("TMP.DAT"), "held"); }},
      {"temporary is a folder", 103, 3, 3, [](Scenario& s, auto&) { s.folder.MakeFolder("TMP.DAT"); }, 5,
       shownOnly, [](Scenario& s) { EXPECT_TRUE(fs::is_directory(s.folder.Path("TMP.DAT"))); }},
      {"count beyond the records", 103, 3, 5, none, 100,
       [](Scenario& s) {
         return std::vector<std::string>{Target(s.Shown()), Progress(0), Progress(1), Progress(2),
                                         Progress(3)};
       },
       [](Scenario& s) {
         const std::string left = s.folder.Read("TMP.DAT");
         EXPECT_EQ(left.size(), 3 * k140);
         ExpectConverted(left, 3, k103);
       }},
      {"first pass short of records", 102, 1, 2, none, 100,
       [](Scenario& s) {
         return std::vector<std::string>{Target(s.Shown()), Progress(0), Progress(1)};
       },
       [](Scenario& s) { EXPECT_EQ(s.folder.Read("TMP.DAT").size(), k103); }},
      {"contents missing", 103, -1, 3, none, 103,
       [](Scenario& s) {
         return std::vector<std::string>{Target(s.Shown()), Status(texts::kStatusFinishing)};
       },
       [](Scenario& s) {
         EXPECT_FALSE(s.folder.Exists("TMP.DAT"));
         EXPECT_FALSE(s.folder.Exists("D.KWT"));
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Scenario s("Version=" + std::to_string(row.version), std::to_string(row.count),
               row.version < 103 ? k102 : k103, row.present);
    platform::FileHandle held;
    row.prepare(s, held);
    const auto projectBefore = s.Take("P.kwj");
    const std::optional<testing::Snapshot> contentsBefore =
        row.present >= 0 ? std::optional(s.Take("D.KWT")) : std::nullopt;
    const auto error = Raised<EInOutError>([&] { s.Convert(); });
    held = platform::FileHandle();  // lets Windows read what it held
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->IoCode(), row.code);
    EXPECT_EQ(error->Message(), IoMessage(row.code));
    EXPECT_EQ(s.face.log, row.log(s));
    EXPECT_TRUE(s.Take("P.kwj") == projectBefore);
    if (contentsBefore) {
      EXPECT_TRUE(s.Take("D.KWT") == *contentsBefore);
    }
    EXPECT_EQ(s.StoredVersion(), row.version);
    row.leftovers(s);
  }
}

// A write that finds no room (a short write, 101) is a full disk: the pass's
// unfinished temporary file goes, so that the disk does not stay full, and the
// result says so; the project and contents files are as they were.
TEST_F(ConversionTest, FailedWriteFreesTheDiskItFilled) {
  Scenario s("Version=103", "3", k103, 3);
  const auto contentsBefore = s.Take("D.KWT");
  ConversionResult result;
  {
    testing::FileSizeLimit limit(2 * k140 + 100);
    if (!limit.Active()) GTEST_SKIP() << "no file size limit on this system";
    result = s.converter.TryConvert(s.project);
  }
  EXPECT_EQ(result.outcome, ConversionOutcome::Failed);
  EXPECT_EQ(result.reason.ioCode, 101);
  EXPECT_EQ(result.reason.text, IoMessage(101));
  EXPECT_TRUE(result.temporaryRemoved);
  EXPECT_EQ(result.temporaryPath, s.folder.PathOf("TMP.DAT"));
  EXPECT_EQ(s.face.log.back(), Progress(2));
  EXPECT_TRUE(s.Take("D.KWT") == contentsBefore);
  EXPECT_FALSE(s.folder.Exists("TMP.DAT"));
  EXPECT_EQ(s.SavedVersion(), 103);
}

TEST_F(ConversionTest, MissingProjectFileKeepsThePreviousStore) {
  Scenario s("Version=140", "1", k140, 1);
  s.converter.Convert(s.folder.PathOf("none.kwj"));
  EXPECT_EQ(s.face.log, std::vector<std::string>{Status(texts::kStatusFileMissing)});
  EXPECT_EQ(s.converter.CurrentStore(), nullptr);
  s.Convert();
  TMemIniFile* const store = s.converter.CurrentStore();
  ASSERT_NE(store, nullptr);
  s.converter.Convert(s.folder.PathOf("none.kwj"));
  EXPECT_EQ(s.converter.CurrentStore(), store);
  s.Convert();  // each run that finds its file loads it afresh
  EXPECT_NE(s.converter.CurrentStore(), nullptr);
  EXPECT_THROW(Converter(s.face).To140(), std::logic_error);
}

TEST_F(ConversionTest, SavedProjectIsTheStoreWithTheNewVersion) {
  Scenario s("", "", k103, 2);
  s.WriteProject("head\r\n; comment\r\n[Other]\r\n  key =  value \r\n\r\n[KWJ]\r\nCount=2\r\nKWT=" +
                 s.contents + "\r\nVersion=103\r\nplain line\r\n[Other]\r\nkey=again\r\n");
  s.Convert();
  const std::string saved = s.folder.Read("P.kwj");
  EXPECT_EQ(saved, s.converter.CurrentStore()->SavedText());
  EXPECT_EQ(saved, "[Other]\r\nkey=value\r\n\r\n[KWJ]\r\nCount=2\r\nKWT=" + s.contents +
                       "\r\nVersion=140\r\nplain line\r\n\r\n[Other]\r\nkey=again\r\n\r\n");
}

// Replacing in one step: when the move fails, the platform's code travels out
// before the version is stamped, and the contents file stays as it was.
TEST_F(ConversionTest, FailedReplacementKeepsContentsAndVersion) {
  Scenario s("Version=103", "2", k103, 2);
  const auto projectBefore = s.Take("P.kwj");
  const auto contentsBefore = s.Take("D.KWT");
  platform::FileHandle held;
  s.face.onStatus = [&](std::string_view text) {
    if (text != texts::kStatusFinishing) return;
#ifdef _WIN32
    // A file open without delete sharing cannot be replaced.
    ASSERT_EQ(platform::Open(s.contents, platform::Access::Read, platform::kShareRead | platform::kShareWrite,
                             platform::Creation::OpenExisting, held),
              0u);
#else
    // Gone from under its open handle: the move finds nothing to move.
    fs::remove(s.folder.Path("TMP.DAT"));
#endif
  };
  const auto error = Raised<EInOutError>([&] { s.Convert(); });
  held = platform::FileHandle();
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(error->IoCode(), 0);
#ifndef _WIN32
  EXPECT_EQ(error->IoCode(), 2);
#endif
  EXPECT_EQ(error->Message(), IoMessage(error->IoCode()));
  EXPECT_EQ(s.face.log.back(), Status(texts::kStatusFinishing));
  s.ExpectUntouched(projectBefore, contentsBefore);
  EXPECT_EQ(s.StoredVersion(), 103);
}

// The project file is proved writable before the contents file is replaced.
TEST_F(ConversionTest, UnwritableProjectLeavesContentsUntouched) {
  for (const int version : {103, 102}) {
    SCOPED_TRACE(version);
    Scenario s("Version=" + std::to_string(version), "2", version < 103 ? k102 : k103, 2);
    s.folder.MakeReadOnly("P.kwj");
    const auto projectBefore = s.Take("P.kwj");
    const auto contentsBefore = s.Take("D.KWT");
    const auto error = Raised<EFCreateError>([&] { s.Convert(); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->Message(), texts::Format(texts::kCannotCreateFileFormat, s.project));
    EXPECT_EQ(s.face.log.back(), Status(texts::kStatusFinishing));
    EXPECT_EQ(s.face.log.size(), 4u);  // the second pass does not run
    s.ExpectUntouched(projectBefore, contentsBefore);
    EXPECT_EQ(s.StoredVersion(), version);
  }
}

// Refusals that change nothing: a negative Count, and a contents file that
// already has Count records of a later layout (the message names the Version
// that describes it): the next layout's or, for a second project naming a file
// that another one converted, the newest.
TEST_F(ConversionTest, RefusesProjectsItWouldDamage) {
  struct Row {
    const char* name;
    const char* version;
    const char* count;
    std::size_t layout;
    int present;
    const char* message;  // the version named, or "negative"
    bool shown;
    // Record 0 with a full Text2: laid over the 102 offsets it reads as no 102 file.
    bool fullText = false;
  };
  const Row rows[] = {
      {"negative, both passes", "Version=102", "-3", k102, 3, "negative", false},
      {"negative, second pass", "Version=103", "-3", k103, 3, "negative", false},
      {"second pass done", "Version=103", "3", k140, 3, "140", true},
      {"first pass done", "Version=102", "3", k103, 3, "103", true},
      {"first pass done, larger count", "Version=102", "50", k103, 50, "103", true},
      {"both passes done", "Version=102", "3", k140, 3, "140", true},
      {"both passes done, no version", "", "4", k140, 4, "140", true},
      {"both passes done, a full text", "Version=102", "1", k140, 1, "140", true, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Scenario s(row.version, row.count, row.layout, row.present);
    // Records as a pass writes them: the strings it adds are empty.
    std::string old = Records(k102, row.present);
    if (row.fullText) PutText(old, 39, std::string(200, 'y'));
    if (row.layout != k102) s.folder.Write("D.KWT", ConvertedRecords(row.layout, row.present, old));
    const auto projectBefore = s.Take("P.kwj");
    const auto contentsBefore = s.Take("D.KWT");
    const auto error = Raised<EConvertError>([&] { s.Convert(); });
    ASSERT_TRUE(error.has_value());
    const std::string expected =
        std::string_view(row.message) == "negative"
            ? texts::Format(texts::kNegativeCountFormat, "-3")
            : texts::Format(texts::kAlreadyConvertedFormat, {s.contents, row.message});
    EXPECT_EQ(error->Message(), expected);
    EXPECT_EQ(s.face.log,
              row.shown ? std::vector<std::string>{Target(s.Shown())} : std::vector<std::string>{});
    s.ExpectUntouched(projectBefore, contentsBefore);
  }
}

// 43 old records are 25 new ones in size: with Count 25 the file only looks
// converted, and its first record tells it is not.
TEST_F(ConversionTest, OldFileThatOnlyHasTheConvertedSizeIsConverted) {
  Scenario s("Version=102", "25", k102, 43);
  std::string old = Records(k102, 43);
  old.replace(k102 + 39, 201, std::string(1, '\xC8') + std::string(200, 'y'));  // record 1: a full Text2
  s.folder.Write("D.KWT", old);
  s.Convert();
  EXPECT_EQ(s.SavedVersion(), 140);
  EXPECT_EQ(s.Take("D.KWT").bytes.size(), 25 * k140);
}

TEST_F(ConversionTest, FilesAreClosedWhenAPassFails) {
#ifdef __linux__
  const auto openFiles = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto before = openFiles();
#endif
  Scenario s("Version=103", "5", k103, 3);
  ASSERT_TRUE(Raised<EInOutError>([&] { s.Convert(); }).has_value());
#ifdef __linux__
  EXPECT_EQ(openFiles(), before);
#endif
  // Nobody holds either file: both open exclusively (Windows refuses that
  // while any handle is open) and the contents file can be deleted.
  for (const char* name : {"TMP.DAT", "D.KWT"}) {
    SCOPED_TRACE(name);
    platform::FileHandle file;
    EXPECT_EQ(platform::Open(s.folder.PathOf(name), platform::Access::ReadWrite, platform::kShareNone,
                             platform::Creation::OpenExisting, file),
              0u);
  }
  EXPECT_TRUE(RemoveFile(s.contents));
}

// Two conversions in one folder share the temporary file's name; the second
// must fail while the first writes, and neither may lose records.
TEST_F(ConversionTest, SecondConversionInTheSameFolderFailsAndHarmsNeither) {
  Scenario first("Version=102", "3", k102, 3);
  TempFolder& folder = first.folder;
  const std::string otherContents = folder.PathOf("B.KWT");
  folder.Write("B.KWT", Records(k103, 2));
  folder.Write("B.kwj", "[KWJ]\r\nVersion=103\r\nCount=2\r\nKWT=" + otherContents + "\r\n");
  const auto otherProjectBefore = testing::Take(folder, "B.kwj");
  const auto otherContentsBefore = testing::Take(folder, "B.KWT");

  testing::RecordingFace otherFace;
  Converter other(otherFace);
  std::vector<std::int32_t> codes;
  first.face.onStatus = [&](std::string_view text) {
    if (text != Progress(1).substr(2)) return;
    const auto error = Raised<EInOutError>([&] { other.Convert(folder.PathOf("B.kwj")); });
    codes.push_back(error ? error->IoCode() : 0);
  };
  first.Convert();

  EXPECT_EQ(codes, (std::vector<std::int32_t>{32, 32}));  // once in each pass of the first
  const auto pass = PassTexts(first.Shown(), 3);
  EXPECT_EQ(first.face.log, Joined(pass, pass));
  ExpectConverted(folder.Read("D.KWT"), 3, k102);
  EXPECT_EQ(first.SavedVersion(), 140);
  EXPECT_TRUE(testing::Take(folder, "B.kwj") == otherProjectBefore);
  EXPECT_TRUE(testing::Take(folder, "B.KWT") == otherContentsBefore);
  EXPECT_FALSE(folder.Exists("TMP.DAT"));
}

TEST_F(ConversionTest, ContentsFileNamedLikeTheTemporaryFileIsRefused) {
  for (const char* name : {"TMP.DAT", "tmp.dat"}) {
    SCOPED_TRACE(name);
    TempFolder folder;
    testing::RecordingFace face;
    folder.Write(name, Records(k103, 2));
    folder.Write("P.kwj", "[KWJ]\r\nVersion=103\r\nCount=2\r\nKWT=" + folder.PathOf(name) + "\r\n");
    const auto before = testing::Take(folder, name);
    const auto error = Raised<EInOutError>([&] { Converter(face).Convert(folder.PathOf("P.kwj")); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->IoCode(), 32);
    EXPECT_TRUE(testing::Take(folder, name) == before);
  }
}

TEST_F(ConversionTest, TemporaryFileLiesBesideTheContentsFile) {
  struct Row {
    const char* name;
    std::string folder;  // where the contents file lies, inside the project folder
    std::string kwt;     // empty: the full path
    bool relative;
    // Written with '/' for every backslash, which Windows takes as well.
    bool slashes = false;
  };
  // しおりばこ, then 表ソ: both characters of the inner folder end in byte 5C.
  const std::string japanese =
      "\x82\xB5\x82\xA8\x82\xE8\x82\xCE\x82\xB1" + std::string(1, testing::kSeparator) + "\x95\x5C\x83\x5C";
  const Row rows[] = {
      {"bare name", "", "data.KWT", true},
      {"relative folder", "sub", std::string("sub") + testing::kSeparator + "data.KWT", true},
      {"relative folder with slashes", "sub", "sub/data.KWT", true},
      {"full path with slashes", "sub", "", false, true},
      {"Japanese folders", japanese, "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder;
    const std::string dir = row.folder.empty() ? "" : row.folder + testing::kSeparator;
    if (!row.folder.empty()) folder.MakeFolder(row.folder);
    std::string contents = row.kwt.empty() ? folder.PathOf(dir + "data.KWT") : row.kwt;
    if (row.slashes) std::replace(contents.begin(), contents.end(), '\\', '/');
    std::optional<testing::CurrentDirectory> current;
    if (row.relative) current.emplace(folder.Path(""));

    // A run that stops at its fourth record leaves the temporary file where
    // the pass put it; an earlier, larger one is emptied first.
    folder.Write(dir + "data.KWT", Records(k103, 3));
    folder.Write(dir + "TMP.DAT", std::string(10000, 'z'));
    folder.Write(dir + "P.kwj", "[KWJ]\r\nVersion=103\r\nCount=4\r\nKWT=" + contents + "\r\n");
    testing::RecordingFace face;
    face.width = 40;
    Converter converter(face);
    EXPECT_TRUE(Raised<EInOutError>([&] { converter.Convert(folder.PathOf(dir + "P.kwj")); }).has_value());
    ExpectConverted(folder.Read(dir + "TMP.DAT"), 3, k103);
    EXPECT_EQ(folder.Read(dir + "TMP.DAT").size(), 3 * k140);
    EXPECT_EQ(face.log.front(), Target(ShortenPath(contents, face.measure, 40)));

    // The same project with a fitting count converts in place.
    folder.Write(dir + "P.kwj", "[KWJ]\r\nVersion=103\r\nCount=3\r\nKWT=" + contents + "\r\n");
    converter.Convert(folder.PathOf(dir + "P.kwj"));
    EXPECT_EQ(face.log.back(), Status(texts::kStatusSuccess));
    ExpectConverted(folder.Read(dir + "data.KWT"), 3, k103);
    EXPECT_FALSE(folder.Exists(dir + "TMP.DAT"));
  }
}

TEST_F(ConversionTest, ContentsPathOptionReplacesTheStoredOne) {
  TempFolder folder;
  const std::string moved = folder.PathOf("moved.KWT");
  folder.Write("moved.KWT", Records(k103, 2));
  folder.Write("P.kwj", "[KWJ]\r\nVersion=103\r\nCount=2\r\nKWT=" + folder.PathOf("gone.KWT") + "\r\n");
  testing::RecordingFace face;
  Converter converter(face, ConversionOptions{moved});
  converter.Convert(folder.PathOf("P.kwj"));
  EXPECT_EQ(face.log, PassTexts(ShortenPath(moved, face.measure, face.width), 2));
  ExpectConverted(folder.Read("moved.KWT"), 2, k103);
  EXPECT_EQ(TMemIniFile(folder.PathOf("P.kwj")).ReadText("KWJ", "KWT", ""), folder.PathOf("gone.KWT"));
  EXPECT_EQ(TMemIniFile(folder.PathOf("P.kwj")).ReadNumber("KWJ", "Version", 0), 140);
}

}  // namespace
}  // namespace kwt
