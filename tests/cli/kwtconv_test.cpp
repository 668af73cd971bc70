// kwtconv started as a process on real projects: what it prints, what it
// answers, and what it leaves on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "runtime/texts.h"

namespace kwt::testing {
namespace {

std::string U(std::string_view cp932) {
  return Utf8(cp932);
}
std::string ProgressLine(int record) {
  return "status\t" + U(texts::kStatusProgressPrefix) + std::to_string(record) +
         U(texts::kStatusProgressSuffix) + "\n";
}
std::string StatusLine(std::string_view cp932) {
  return "status\t" + U(cp932) + "\n";
}

// The trace of one pass over n records whose contents path shows as target.
std::string PassTrace(const std::string& target, int n) {
  std::string trace = "target\t" + target + "\n";
  for (int i = 0; i < n; ++i) trace += ProgressLine(i);
  return trace + StatusLine(texts::kStatusFinishing) + StatusLine(texts::kStatusSuccess);
}

std::string ResultLine(const std::string& project, std::string_view status) {
  return project + ": " + U(status) + "\n";
}

// A layout-102 project of n records, contents beside it.
void MakeProject102(const TempFolder& folder, std::string_view name, int records, int count) {
  const std::string contents = std::string(name) + ".KWT";
  folder.Write(contents, Records102(records));
  folder.Write(std::string(name) + ".kwj",
               ProjectText("102", std::to_string(count), folder.PathOf(contents)));
}

TEST(KwtconvTrace, TwoPassConversionShowsEverySettingInOrder) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject102(folder, "book", 3, 3);
  const ProcessResult result = Kwtconv({"--trace", "--width", "1000", folder.Utf8("book.kwj")});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  const std::string target = folder.Utf8("book.KWT");
  // The trace ends with the project's result line, as every run does.
  EXPECT_EQ(result.out, PassTrace(target, 3) + PassTrace(target, 3) +
                            ResultLine(folder.Utf8("book.kwj"), texts::kStatusSuccess));

  EXPECT_EQ(folder.Read("book.KWT").size(), 3 * ContentRecord140::kSize);
  EXPECT_FALSE(folder.Exists("TMP.DAT"));
  EXPECT_NE(folder.Read("book.kwj").find("Version=140\r\n"), std::string::npos);
  // The texts went through both passes into their layout-140 places.
  const std::string converted = folder.Read("book.KWT");
  EXPECT_EQ(converted.substr(ContentRecord140::kText1, 9), "\x08record 0");
  EXPECT_EQ(converted.substr(2 * ContentRecord140::kSize + ContentRecord140::kText1, 9), "\x08record 2");
}

TEST(KwtconvTrace, TargetIsShortenedToTheWidth) {
  TempFolder folder{NameBytes::Utf8};
  // Deep enough that the path is wider than the default 60 columns.
  const std::string deep = "a-rather-long-folder-name/another-long-folder-name/";
  MakeProject102(folder, deep + "book", 1, 1);
  const std::string full = folder.Utf8(deep + "book.KWT");
  ASSERT_GT(full.size(), 60u);

  // A width too small even for the name leaves the bare name.
  const ProcessResult narrow = Kwtconv({"--trace", "--width=5", folder.Utf8(deep + "book.kwj")});
  EXPECT_EQ(narrow.exitCode, 0) << narrow.err;
  EXPECT_EQ(narrow.out.substr(0, narrow.out.find('\n') + 1), "target\tbook.KWT\n");

  // Not on a terminal the width is 60: the shortened path fits and ends in the name.
  MakeProject102(folder, deep + "book", 1, 1);
  const ProcessResult standard = Kwtconv({"--trace", folder.Utf8(deep + "book.kwj")});
  EXPECT_EQ(standard.exitCode, 0) << standard.err;
  const std::string first = standard.out.substr(0, standard.out.find('\n'));
  ASSERT_TRUE(first.starts_with("target\t")) << first;
  const std::string shown = first.substr(7);
  EXPECT_LE(shown.size(), 60u);
  EXPECT_NE(shown, full);
  const char separator = full[full.size() - std::string_view("/book.KWT").size()];
  EXPECT_TRUE(shown.ends_with("another-long-folder-name" + std::string(1, separator) + "book.KWT")) << shown;
}

TEST(KwtconvTrace, RepeatsUnchangedTextsAndTracesEachProjectOfARun) {
  TempFolder folder{NameBytes::Utf8};
  // Count 0 at version 102: both passes set the same status; both are traced.
  folder.Write("empty.kwj", ProjectText("102", "0", folder.PathOf("empty.KWT")));
  folder.Write("current.kwj", ProjectText("140", "1", folder.PathOf("current.KWT")));
  const ProcessResult result = Kwtconv({"--trace", folder.Utf8("empty.kwj"), folder.Utf8("current.kwj")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, StatusLine(texts::kStatusNoContents) + StatusLine(texts::kStatusNoContents) +
                            StatusLine(texts::kStatusUpToDate) +
                            ResultLine(folder.Utf8("current.kwj"), texts::kStatusUpToDate));
}

struct ExitCase {
  const char* name;
  // Writes the project "p.kwj" (and whatever it needs) into the folder.
  void (*setup)(const TempFolder&);
  int exitCode;
  // The result line on stdout ("PROJECT: " and this status); empty for none.
  std::string_view status;
  // The error's text after "kwtconv: PROJECT: error: " on stderr; empty for none.
  std::string error;
  // The start of the note's text after "kwtconv: PROJECT: note: "; empty for no note.
  std::string note;
};

std::string ErrorText(const std::string& project, const std::string& error) {
  return "kwtconv: " + project + ": error: " + error + "\n";
}

// kwtconv reads and writes in blocks, yet a project whose records run out
// past its first block shows a progress text for each record up to the one
// missing, fails there, and leaves exactly the records converted before it.
TEST(KwtconvTrace, RecordsRunningOutShowAndLeaveWhatRecordByRecordWould) {
  TempFolder folder{NameBytes::Utf8};
  constexpr int kPresent = 2040;  // past the first pass's first block
  std::string records;
  for (int i = 0; i < kPresent; ++i) {
    // Long texts then short ones: the bytes a short text leaves after it come
    // from the record before, and must reach the file as they would.
    records += Record102("record " + std::to_string(i),
                         std::string(i % 3 == 0 ? 190 : 3, static_cast<char>('a' + i % 26)),
                         std::string(i % 5 == 0 ? 50 : 1, 'z'), static_cast<std::uint8_t>(i));
  }
  folder.Write("book.KWT", records);
  const std::string project = ProjectText("102", "2100", folder.PathOf("book.KWT"));
  folder.Write("book.kwj", project);

  const ProcessResult result = Kwtconv({"--trace", "--width", "1000", folder.Utf8("book.kwj")});
  EXPECT_EQ(result.exitCode, 1);
  std::string trace = "target\t" + folder.Utf8("book.KWT") + "\n";
  for (int i = 0; i <= kPresent; ++i) trace += ProgressLine(i);
  EXPECT_EQ(result.out, trace);
  EXPECT_TRUE(result.err.starts_with(ErrorText(folder.Utf8("book.kwj"), U(texts::kIoReadPastEnd) + ".")))
      << result.err;

  std::string converted;
  ContentRecord102 from;
  ContentRecord103 to;
  for (int i = 0; i < kPresent; ++i) {
    records.copy(reinterpret_cast<char*>(from.bytes.data()), ContentRecord102::kSize,
                 static_cast<std::size_t>(i) * ContentRecord102::kSize);
    MapTo103(from, to);
    converted.append(reinterpret_cast<const char*>(to.bytes.data()), to.bytes.size());
  }
  EXPECT_TRUE(folder.Read("TMP.DAT") == converted);
  EXPECT_EQ(folder.Read("book.KWT"), records);
  EXPECT_EQ(folder.Read("book.kwj"), project);
}

// Every way a project ends gives exactly one result line, on stdout for
// success and nothing to do, on stderr for everything else, with at most one
// note saying what it means.
TEST(KwtconvExit, EachOutcomeEndsWithOneResultLine) {
  const ExitCase cases[] = {
      {"converted from 102", [](const TempFolder& f) { MakeProject102(f, "p", 2, 2); }, 0,
       texts::kStatusSuccess, "", ""},
      {"converted from 103",
       [](const TempFolder& f) {
         f.Write("p.KWT", Records103(2));
         f.Write("p.kwj", ProjectText("103", "2", f.PathOf("p.KWT")));
       },
       0, texts::kStatusSuccess, "", ""},
      {"up to date",
       [](const TempFolder& f) { f.Write("p.kwj", ProjectText("140", "2", f.PathOf("p.KWT"))); }, 0,
       texts::kStatusUpToDate, "", ""},
      {"no project file", [](const TempFolder&) {}, 1, "", U(texts::kStatusFileMissing) + ".",
       "no file exists at this path"},
      {"Count 0",
       [](const TempFolder& f) {
         f.Write("p.KWT", Records102(2));
         f.Write("p.kwj", ProjectText("102", "0", f.PathOf("p.KWT")));
       },
       1, "", U(texts::kStatusNoContents) + ".", "Count in the project file is 0 or missing"},
      {"negative Count",
       [](const TempFolder& f) {
         f.Write("p.KWT", Records102(2));
         f.Write("p.kwj", ProjectText("102", "-2", f.PathOf("p.KWT")));
       },
       1, "", U(texts::Format(texts::kNegativeCountFormat, "-2")) + ".",
       "Count in the project file is its number"},
      {"Count beyond the records", [](const TempFolder& f) { MakeProject102(f, "p", 2, 3); }, 1, "",
       U(texts::kIoReadPastEnd) + ".", "Count is 3 but the contents file holds only 2 records; "},
      {"no contents file",
       [](const TempFolder& f) { f.Write("p.kwj", ProjectText("102", "2", f.PathOf("missing.KWT"))); }, 1, "",
       U(texts::Format(texts::kIoGenericFormat, "103")), "the contents file "},
      {"contents already converted",
       [](const TempFolder& f) {
         f.Write("p.KWT", std::string(2 * ContentRecord140::kSize, '\0'));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("p.KWT")));
       },
       1, "", "", ""},
      {"a backup that exists",
       [](const TempFolder& f) {
         MakeProject102(f, "p", 2, 2);
         f.Write("p.KWT.bak", "older");
       },
       1, "", "", ""},
  };
  for (const ExitCase& row : cases) {
    SCOPED_TRACE(row.name);
    TempFolder folder{NameBytes::Utf8};
    row.setup(folder);
    const std::string project = folder.Utf8("p.kwj");
    const bool backup = std::string_view(row.name) == "a backup that exists";
    const ProcessResult result = backup ? Kwtconv({"--backup", project}) : Kwtconv({project});
    EXPECT_EQ(result.exitCode, row.exitCode);
    EXPECT_EQ(result.out, row.status.empty() ? "" : ResultLine(project, row.status));
    if (row.exitCode == 0) {
      EXPECT_EQ(result.err, "");
      continue;
    }
    // One error line, then at most one note.
    const std::string prefix = "kwtconv: " + project + ": ";
    const std::size_t lines =
        static_cast<std::size_t>(std::count(result.err.begin(), result.err.end(), '\n'));
    EXPECT_TRUE(lines == 1 || lines == 2) << result.err;
    EXPECT_TRUE(result.err.starts_with(prefix + "error: ")) << result.err;
    if (!row.error.empty()) {
      EXPECT_TRUE(result.err.starts_with(ErrorText(project, row.error))) << result.err;
    }
    const std::size_t note = result.err.find("\n" + prefix + "note: ");
    EXPECT_EQ(note != std::string::npos, !row.note.empty()) << result.err;
    if (!row.note.empty() && note != std::string::npos) {
      EXPECT_EQ(result.err.substr(note + 1 + prefix.size() + 6, row.note.size()), row.note) << result.err;
    }
  }
}

TEST(KwtconvExit, AStoppedProjectShowsNoProgressTextAsItsResult) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject102(folder, "p", 2, 3);
  const std::string before = folder.Read("p.KWT");
  const ProcessResult result = Kwtconv({folder.Utf8("p.kwj")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(result.err.starts_with(ErrorText(folder.Utf8("p.kwj"), U(texts::kIoReadPastEnd) + ".")));
  EXPECT_EQ(folder.Read("p.KWT"), before);
}

TEST(KwtconvExit, QuietDropsTheSuccessLinesAndTheSummary) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject102(folder, "good", 1, 1);
  MakeProject102(folder, "bad", 1, 2);
  const ProcessResult result =
      Kwtconv({"-q", folder.Utf8("good.kwj"), "--quiet", folder.Utf8("bad.kwj"), folder.Utf8("none.kwj")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_TRUE(result.err.starts_with(ErrorText(folder.Utf8("bad.kwj"), U(texts::kIoReadPastEnd) + ".")));
  EXPECT_NE(result.err.find(ErrorText(folder.Utf8("none.kwj"), U(texts::kStatusFileMissing) + ".")),
            std::string::npos);
  // Errors only: no summary either.
  EXPECT_EQ(result.err.find("projects:"), std::string::npos) << result.err;
  EXPECT_EQ(folder.Read("good.KWT").size(), ContentRecord140::kSize);
}

TEST(KwtconvProjects, OneFailingProjectDoesNotStopTheOthers) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject102(folder, "first", 2, 2);
  MakeProject102(folder, "broken", 2, 5);
  MakeProject102(folder, "last", 3, 3);
  folder.Write("current.kwj", ProjectText("140", "3", folder.PathOf("current.KWT")));
  const std::string brokenContents = folder.Read("broken.KWT");
  const ProcessResult result = Kwtconv({folder.Utf8("first.kwj"), folder.Utf8("broken.kwj"),
                                        folder.Utf8("last.kwj"), folder.Utf8("current.kwj")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, ResultLine(folder.Utf8("first.kwj"), texts::kStatusSuccess) +
                            ResultLine(folder.Utf8("last.kwj"), texts::kStatusSuccess) +
                            ResultLine(folder.Utf8("current.kwj"), texts::kStatusUpToDate));
  EXPECT_TRUE(result.err.starts_with(ErrorText(folder.Utf8("broken.kwj"), U(texts::kIoReadPastEnd) + ".")));
  EXPECT_TRUE(result.err.ends_with("kwtconv: 4 projects: 2 converted, 1 up to date, 1 failed\n"))
      << result.err;
  EXPECT_EQ(folder.Read("first.KWT").size(), 2 * ContentRecord140::kSize);
  EXPECT_EQ(folder.Read("last.KWT").size(), 3 * ContentRecord140::kSize);
  EXPECT_EQ(folder.Read("broken.KWT"), brokenContents);
}

TEST(KwtconvProjects, JapaneseNamesTravelThroughArgumentsAndOutput) {
  TempFolder folder{NameBytes::Utf8};
  // 表 ends in a backslash byte in code page 932; ソ too.
  const std::string name = "\xE8\xA1\xA8/\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";
  MakeProject102(folder, name, 2, 2);
  const std::string project = folder.Utf8(name + ".kwj");
  const ProcessResult result = Kwtconv({project});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, ResultLine(project, texts::kStatusSuccess));
  EXPECT_EQ(folder.Read(name + ".KWT").size(), 2 * ContentRecord140::kSize);
  EXPECT_FALSE(folder.Exists("\xE8\xA1\xA8/TMP.DAT"));
}

// Lost output is a failure, but it must not stop a conversion halfway.
TEST(KwtconvProjects, ConversionCompletesWhenNobodyReadsTheOutput) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject102(folder, "p", 50, 50);
  const ProcessResult result = Kwtconv({"--trace", folder.Utf8("p.kwj")}, /*readOutput=*/false);
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_EQ(folder.Read("p.KWT").size(), 50 * ContentRecord140::kSize);
  EXPECT_FALSE(folder.Exists("TMP.DAT"));
}

TEST(KwtconvCheck, ChangesNoByteAndNoDate) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject102(folder, "good", 3, 3);
  MakeProject102(folder, "short", 3, 5);
  folder.Write("current.kwj", ProjectText("140", "3", folder.PathOf("nothing.KWT")));
  // The user's own, under a name no work of ours takes.
  folder.Write("TMP.LCK", "notes");
  folder.Backdate();
  const auto before = folder.Snapshot();
  for (const char* project : {"good.kwj", "short.kwj", "current.kwj", "missing.kwj"}) {
    SCOPED_TRACE(project);
    const ProcessResult result = Kwtconv({"--check", folder.Utf8(project)});
    EXPECT_NE(result.exitCode, 2) << result.err;
    EXPECT_EQ(folder.Snapshot(), before);
  }
}

struct CheckCase {
  const char* name;
  void (*setup)(const TempFolder&);
  int exitCode;
  // Lines that the report must hold.
  std::vector<std::string> lines;
};

TEST(KwtconvCheck, ReportsWhatAConversionWouldFindAndDo) {
  const CheckCase cases[] = {
      {"layout 102, sizes agree",
       [](const TempFolder& f) { MakeProject102(f, "p", 3, 3); },
       0,
       {"project file: present", "version: 102", "layout: 102 (300-byte records)", "Count: 3",
        "contents file: present", "contents size: 900 bytes", "expected size: 900 bytes (Count 3 x 300)",
        "sizes: agree", "passes: To103 To140", "verdict: will convert (To103, To140)"}},
      {"more records than Count",
       [](const TempFolder& f) { MakeProject102(f, "p", 4, 3); },
       0,
       {"contents size: 1200 bytes", "sizes: disagree", "passes: To103 To140"}},
      {"fewer records than Count",
       [](const TempFolder& f) { MakeProject102(f, "p", 3, 5); },
       1,
       {"contents size: 900 bytes", "expected size: 1500 bytes (Count 5 x 300)", "sizes: disagree",
        "passes: none", "verdict: will fail: Count is 5 but the contents file holds only 3 records"}},
      {"contents already converted",
       [](const TempFolder& f) {
         f.Write("p.KWT", std::string(3 * ContentRecord140::kSize, '\0'));
         f.Write("p.kwj", ProjectText("102", "3", f.PathOf("p.KWT")));
       },
       1,
       {"passes: none",
        "verdict: will fail: the contents file already has layout 140 (record Version 140 in the "
        "project)"}},
      {"contents file missing",
       [](const TempFolder& f) { f.Write("p.kwj", ProjectText("103", "2", f.PathOf("gone.KWT"))); },
       1,
       {"contents file: missing", "passes: none"}},
      {"temporary file is a folder",
       [](const TempFolder& f) {
         MakeProject102(f, "p", 2, 2);
         std::filesystem::create_directory(f.Path("TMP.DAT"));
       },
       1,
       {"passes: none"}},
      {"layout 103",
       [](const TempFolder& f) {
         f.Write("p.KWT", Records103(2));
         f.Write("p.kwj", ProjectText("139", "2", f.PathOf("p.KWT")));
       },
       0,
       {"version: 139", "layout: 103 (516-byte records)", "sizes: agree", "passes: To140"}},
      {"up to date without contents",
       [](const TempFolder& f) { f.Write("p.kwj", ProjectText("200", "2", f.PathOf("p.KWT"))); },
       0,
       {"version: 200", "layout: 140 (768-byte records)", "contents file: missing", "contents size: none",
        "sizes: unknown", "passes: none", "verdict: up to date"}},
      {"no version recorded",
       [](const TempFolder& f) { f.Write("p.kwj", "[KWJ]\r\nCount=0\r\n"); },
       1,
       {"version: 0 (not recorded)", "Count: 0", "contents: ", "passes: none",
        "verdict: will fail: Count is 0 or missing: there are no records to convert"}},
      {"Count beyond the number range",
       [](const TempFolder& f) {
         MakeProject102(f, "p", 2, 2);
         f.Write("p.kwj", ProjectText("102", "2147483648", f.PathOf("p.KWT")));
       },
       1,
       {"Count: 0 (recorded as \"2147483648\")", "passes: none",
        "verdict: will fail: Count is written as 2147483648, not as a number of records (0 to 2147483647)"}},
      {"version not a number",
       [](const TempFolder& f) { f.Write("p.kwj", "[kwj]\r\nversion=1.4\r\ncount=-2\r\n"); },
       1,
       {"version: 0 (recorded as \"1.4\")", "Count: -2", "expected size: none (Count is negative)"}},
      {"no project file",
       [](const TempFolder&) {},
       1,
       {"project file: missing", "verdict: will fail: the project file does not exist"}},
  };
  for (const CheckCase& row : cases) {
    SCOPED_TRACE(row.name);
    TempFolder folder{NameBytes::Utf8};
    row.setup(folder);
    const std::string project = folder.Utf8("p.kwj");
    const ProcessResult result = Kwtconv({"--check", project});
    EXPECT_EQ(result.exitCode, row.exitCode) << result.out << result.err;
    EXPECT_TRUE(result.out.starts_with("project: " + project + "\n")) << result.out;
    for (const std::string& line : row.lines) {
      EXPECT_NE(result.out.find("\n" + line + "\n"), std::string::npos) << line << "\nin\n" << result.out;
    }
  }
}

TEST(KwtconvBackup, KeepsExactCopiesBeforeConverting) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject102(folder, "p", 2, 2);
  const std::string projectBefore = folder.Read("p.kwj");
  const std::string contentsBefore = folder.Read("p.KWT");
  const ProcessResult result = Kwtconv({"--backup", folder.Utf8("p.kwj")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(folder.Read("p.kwj.bak"), projectBefore);
  EXPECT_EQ(folder.Read("p.KWT.bak"), contentsBefore);
  EXPECT_EQ(folder.Read("p.KWT").size(), 2 * ContentRecord140::kSize);

  // Converted now: a second run needs no backup, so the existing ones do not stop it.
  const ProcessResult again = Kwtconv({"--backup", folder.Utf8("p.kwj")});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out, ResultLine(folder.Utf8("p.kwj"), texts::kStatusUpToDate));
  EXPECT_EQ(folder.Read("p.kwj.bak"), projectBefore);
}

TEST(KwtconvBackup, RefusesToOverwriteAnExistingBackup) {
  for (const char* existing : {"p.kwj.bak", "p.KWT.bak"}) {
    SCOPED_TRACE(existing);
    TempFolder folder{NameBytes::Utf8};
    MakeProject102(folder, "p", 2, 2);
    folder.Write(existing, "an older backup");
    const auto before = folder.Snapshot();
    const ProcessResult result = Kwtconv({"--backup", folder.Utf8("p.kwj")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.starts_with("kwtconv: " + folder.Utf8("p.kwj") + ": error: backup "))
        << result.err;
    EXPECT_NE(result.err.find(existing), std::string::npos) << result.err;
    // Not converted, and no other backup made.
    EXPECT_EQ(folder.Snapshot(), before);
  }
}

// The conversion stops before changing anything, so a backup would only block
// the next try (for example with --contents pointing at the moved file).
TEST(KwtconvBackup, MakesNoneWhenTheContentsFileIsMissing) {
  TempFolder folder{NameBytes::Utf8};
  folder.Write("p.kwj", ProjectText("102", "2", folder.PathOf("missing.KWT")));
  const auto before = folder.Snapshot();
  const ProcessResult result = Kwtconv({"--backup", folder.Utf8("p.kwj")});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(folder.Snapshot(), before);
}

// A project of three records with a section of its own, converted with
// backups; what its two files held before.
struct BackedUp {
  explicit BackedUp(const TempFolder& folder) {
    MakeProject102(folder, "p", 4, 3);
    folder.Write("p.kwj", folder.Read("p.kwj") + "; by hand\r\n[Notes]\r\n  keep = me\r\n");
    project = folder.Read("p.kwj");
    contents = folder.Read("p.KWT");
    const ProcessResult converted = Kwtconv({"-q", "--backup", folder.Utf8("p.kwj")});
    EXPECT_EQ(converted.exitCode, 0) << converted.err;
  }
  std::string project;
  std::string contents;
};

TEST(KwtconvRestore, PutsBackTheBackedUpFilesAndFinishesAHalfRestore) {
  for (const bool half : {false, true}) {
    SCOPED_TRACE(half ? "project file already put back" : "both converted");
    TempFolder folder{NameBytes::Utf8};
    const BackedUp before(folder);
    if (half) folder.Write("p.kwj", before.project);
    // Work names that lead elsewhere are made anew, never written through.
    std::error_code noLinks;  // Windows may not allow them: then plain leftovers
    for (const char* work : {"TMP.DAT", "p.kwj$$$"}) {
      folder.Write(std::string("outside/") + work, "keep");
      std::filesystem::create_symlink(folder.Path(std::string("outside/") + work), folder.Path(work),
                                      noLinks);
      if (noLinks) folder.Write(work, "a leftover");
    }
    const std::string p = folder.Utf8("p.kwj");
    EXPECT_NE(Kwtconv({"--check", "--restore", p}).out.find("\nverdict: will restore\n"), std::string::npos);
    const ProcessResult restored = Kwtconv({"--restore", p});
    EXPECT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_EQ(folder.Read("p.kwj"), before.project);
    EXPECT_EQ(folder.Read("p.KWT"), before.contents);
    // The backups stay, and a second restore finds nothing to do.
    EXPECT_EQ(folder.Read("p.kwj.bak"), before.project);
    EXPECT_EQ(folder.Read("p.KWT.bak"), before.contents);
    EXPECT_EQ(folder.Read("outside/TMP.DAT") + folder.Read("outside/p.kwj$$$"), "keepkeep");
    // A restore that need not write the project file leaves its work name be.
    EXPECT_FALSE(folder.Exists("TMP.DAT"));
    EXPECT_EQ(folder.Exists("p.kwj$$$"), half);
    EXPECT_EQ(folder.Snapshot().size(), half ? 7u : 6u);
    const ProcessResult again = Kwtconv({"--restore", "--json", p});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find("\"outcome\":\"up-to-date\""), std::string::npos) << again.out;
  }
}

TEST(KwtconvRestore, RefusesWhatARestoreWouldLoseAndChangesNothing) {
  struct Row {
    const char* name;
    std::function<void(const TempFolder&, const BackedUp&)> change;
    const char* says;
  };
  const Row rows[] = {
      {"project file edited since",
       [](const TempFolder& f, const BackedUp&) { f.Write("p.kwj", f.Read("p.kwj") + "x=1\r\n"); },
       "p.kwj has changed since its conversion"},
      {"a record rewritten since",
       [](const TempFolder& f, const BackedUp&) {
         std::string records = f.Read("p.KWT");
         records[ContentRecord140::kSize + 9] ^= 1;
         f.Write("p.KWT", records);
       },
       "p.KWT has changed since its conversion"},
      {"a record added since",
       [](const TempFolder& f, const BackedUp&) {
         f.Write("p.KWT", f.Read("p.KWT") + std::string(ContentRecord140::kSize, '\0'));
       },
       "p.KWT has changed since its conversion"},
      {"no contents backup",
       [](const TempFolder& f, const BackedUp&) { std::filesystem::remove(f.Path("p.KWT.bak")); },
       "p.KWT.bak is missing"},
      {"no project backup",
       [](const TempFolder& f, const BackedUp&) { std::filesystem::remove(f.Path("p.kwj.bak")); },
       "p.kwj.bak is missing"},
      {"backups of two projects",
       [](const TempFolder& f, const BackedUp&) { f.Write("p.KWT.bak", Records102(2)); },
       "backups are no pair"},
      {"the contents file under a work name",
       [](const TempFolder& f, const BackedUp&) {
         for (const char* name : {"p.kwj", "p.kwj.bak"}) {
           std::string text = f.Read(name);
           text.replace(text.find("p.KWT"), 5, "TMP.DAT");
           f.Write(name, text);
         }
         std::filesystem::rename(f.Path("p.KWT"), f.Path("TMP.DAT"));
         std::filesystem::rename(f.Path("p.KWT.bak"), f.Path("TMP.DAT.bak"));
       },
       "TMP.DAT"},
      {"the project backup edited since",
       [](const TempFolder& f, const BackedUp& b) {
         f.Write("p.kwj.bak", b.project + "x=1\r\n");
         std::filesystem::last_write_time(
             f.Path("p.kwj.bak"), std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
       },
       "the backup "},
      {"a folder under a work name",
       [](const TempFolder& f, const BackedUp&) { std::filesystem::create_directory(f.Path("TMP.DAT")); },
       "TMP.DAT cannot be replaced"},
      {"put back by hand, then edited",
       [](const TempFolder& f, const BackedUp& b) { f.Write("p.kwj", b.project + "x=1\r\n"); },
       "the project was not converted"},
      // The copy would be left at Version 140 on the old records.
      {"an Explorer copy of the converted project file beside it",
       [](const TempFolder& f, const BackedUp&) { f.Write("p - copy.kwj", f.Read("p.kwj")); },
       "another project names the same contents file"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder{NameBytes::Utf8};
    const BackedUp backedUp(folder);
    row.change(folder, backedUp);
    const auto before = folder.Snapshot();
    const std::string p = folder.Utf8("p.kwj");
    const ProcessResult check = Kwtconv({"--check", "--restore", p});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_NE(check.out.find("\nverdict: cannot restore: "), std::string::npos) << check.out;
    const ProcessResult result = Kwtconv({"--restore", p});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.starts_with("kwtconv: " + p + ": error: cannot restore: ")) << result.err;
    EXPECT_NE(result.err.find(row.says), std::string::npos) << result.err;
    EXPECT_EQ(folder.Snapshot(), before);
  }
}

// Projects whose contents files share a folder wait for each other under -j,
// as their conversions did.
TEST(KwtconvRestore, ParallelRestoresOfProjectsSharingAFolderWait) {
  TempFolder folder{NameBytes::Utf8};
  for (const char* name : {"a", "b"}) {
    folder.Write(std::string("records/") + name + ".KWT", Records102(2));
    folder.Write(std::string(name) + "/" + name + ".kwj",
                 ProjectText("102", "2", folder.PathOf("records/" + std::string(name) + ".KWT")));
  }
  const std::vector<std::string> projects = {folder.Utf8("a/a.kwj"), folder.Utf8("b/b.kwj")};
  std::vector<std::string> arguments = {"-q", "-j", "2", "--backup"};
  arguments.insert(arguments.end(), projects.begin(), projects.end());
  ASSERT_EQ(Kwtconv(arguments).exitCode, 0);
  arguments[3] = "--restore";
  const ProcessResult restored = Kwtconv(arguments);
  EXPECT_EQ(restored.exitCode, 0) << restored.err;
  EXPECT_EQ(folder.Read("records/a.KWT"), Records102(2));
}

// A stored contents path in a subfolder, relative or full, in each form the
// system takes ('/' everywhere, '\\' as well on Windows): the check and the
// conversion read it alike, and the work files lie beside the contents file.
TEST(KwtconvContents, EveryFormOfAStoredPathIsCheckedAndConvertedAlike) {
  std::vector<std::function<std::string(const TempFolder&)>> forms = {
      [](const TempFolder&) { return std::string("sub/b.KWT"); },
      [](const TempFolder& f) {
        std::string full = f.PathOf("sub/b.KWT");
        std::replace(full.begin(), full.end(), '\\', '/');
        return full;
      },
  };
#ifdef _WIN32
  forms.push_back([](const TempFolder&) { return std::string("sub\\b.KWT"); });
#endif
  for (const auto& form : forms) {
    TempFolder folder{NameBytes::Utf8};
    const std::string stored = form(folder);
    SCOPED_TRACE(stored);
    folder.Write("sub/b.KWT", Records102(3));
    folder.Write("p.kwj", ProjectText("102", "3", stored));
    const ProcessResult check = Kwtconv({"--check", folder.Utf8("p.kwj")});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    EXPECT_TRUE(check.out.ends_with("verdict: will convert (To103, To140)\n")) << check.out;
    const ProcessResult result = Kwtconv({"-q", folder.Utf8("p.kwj")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(folder.Read("sub/b.KWT").size(), 3 * ContentRecord140::kSize);
    EXPECT_EQ(folder.Snapshot().size(), 2u);  // no work file left anywhere
  }
}

TEST(KwtconvContents, ConvertsAMovedContentsFileAndKeepsTheRecordedPath) {
  TempFolder folder{NameBytes::Utf8};
  folder.Write("moved/p.KWT", Records102(2));
  const std::string recorded = folder.PathOf("old-place/p.KWT");
  folder.Write("p.kwj", ProjectText("102", "2", recorded));

  const ProcessResult check =
      Kwtconv({"--check", "--contents", folder.Utf8("moved/p.KWT"), folder.Utf8("p.kwj")});
  EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("contents: " + folder.Utf8("moved/p.KWT") + " (the project records " +
                           folder.Utf8("old-place/p.KWT") + ")\n"),
            std::string::npos)
      << check.out;
  EXPECT_NE(check.out.find("sizes: agree\n"), std::string::npos) << check.out;

  const ProcessResult result =
      Kwtconv({"--trace", "--width=1000", "--contents=" + folder.Utf8("moved/p.KWT"), folder.Utf8("p.kwj")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(result.out.starts_with("target\t" + folder.Utf8("moved/p.KWT") + "\n")) << result.out;
  EXPECT_EQ(folder.Read("moved/p.KWT").size(), 2 * ContentRecord140::kSize);
  EXPECT_FALSE(folder.Exists("old-place"));
  const std::string project = folder.Read("p.kwj");
  EXPECT_NE(project.find("KWT=" + recorded + "\r\n"), std::string::npos);
  EXPECT_NE(project.find("Version=140\r\n"), std::string::npos);
}

TEST(KwtconvUsage, BadCommandLinesChangeNothing) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject102(folder, "p", 1, 1);
  MakeProject102(folder, "q", 1, 1);
  const std::string p = folder.Utf8("p.kwj");
  const std::string q = folder.Utf8("q.kwj");
  const auto before = folder.Snapshot();
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--trace"},
      {"--bogus", p},
      {"-x", p},
      {p, "--width"},
      {"--width", "0", p},
      {"--width=abc", p},
      {"--width", "10001", p},
      {"--width=-5", p},
      {"--contents", folder.Utf8("p.KWT"), p, q},
      {"--contents=", p},
      {"--check", "--backup", p},
      {"--trace", "-q", p},
      {"--quiet=yes", p},
  };
  for (const auto& arguments : cases) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const ProcessResult result = Kwtconv(arguments);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(result.err.starts_with("kwtconv: ")) << result.err;
    EXPECT_TRUE(result.err.ends_with("Try 'kwtconv --help' for more information.\n")) << result.err;
  }
  EXPECT_EQ(folder.Snapshot(), before);
}

TEST(KwtconvUsage, HelpAndVersionAnswerAndConvertNothing) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject102(folder, "p", 1, 1);
  const auto before = folder.Snapshot();

  const ProcessResult help = Kwtconv({folder.Utf8("p.kwj"), "--help", "--bogus"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: kwtconv [OPTIONS] PROJECT.kwj|FOLDER...\n"));
  for (const char* option : {"--check", "--backup", "--contents FILE", "--find-contents", "-r, --recursive",
                             "--json", "--width N", "--trace", "-q, --quiet", "-h, --help", "--version"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  EXPECT_NE(help.out.find(U(texts::kStatusUpToDate)), std::string::npos);
  for (const char* status : {"\n  0    ", "\n  1    ", "\n  2    ", "\n  130  "})
    EXPECT_NE(help.out.find(status), std::string::npos);
  EXPECT_EQ(Kwtconv({"-h"}).out, help.out);

  const ProcessResult version = Kwtconv({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "kwtconv (KWT Converter) " KWT_PROJECT_VERSION
                         "\nCopyright (c) 2026 KWT Converter authors\nMIT License\n");
  EXPECT_EQ(folder.Snapshot(), before);
}

TEST(KwtconvUsage, DoubleDashEndsTheOptions) {
  const ProcessResult result = Kwtconv({"--", "--check"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            ErrorText("--check", U(texts::kStatusFileMissing) + ".") +
                "kwtconv: --check: note: no file exists at this path: check the name and the folder\n");
}

}  // namespace
}  // namespace kwt::testing
