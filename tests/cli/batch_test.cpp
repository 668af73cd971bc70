// kwtconv over a shelf of projects, as a user converting many at once meets
// it: folders, moved and Windows-made projects, names that code page 932
// cannot write, --check verdicts, and the JSON a script reads.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/cli_test_support.h"
#include "current_directory.h"
#include "runtime/texts.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#endif

namespace kwt::testing {
namespace {

namespace fs = std::filesystem;

std::string U(std::string_view cp932) {
  return Utf8(cp932);
}

// A layout-102 project beside its contents, the contents path stored as given
// (code page 932); the full path when stored is empty.
void MakeProject(const TempFolder& folder, const std::string& name, int records, std::string stored = {}) {
  folder.Write(name + ".KWT", Records102(records));
  if (stored.empty()) stored = folder.PathOf(name + ".KWT");
  folder.Write(name + ".kwj", ProjectText("102", std::to_string(records), stored));
}

bool Converted(const TempFolder& folder, const std::string& name, int records) {
  return folder.Read(name + ".KWT").size() == static_cast<std::size_t>(records) * ContentRecord140::kSize &&
         folder.Read(name + ".kwj").find("Version=140\r\n") != std::string::npos;
}

TEST(KwtconvBatch, AFolderConvertsEveryProjectInItInNameOrder) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject(folder, "shelf/b", 1);
  MakeProject(folder, "shelf/a", 2);
  folder.Write("shelf/C.KWJ", ProjectText("140", "1", folder.PathOf("shelf/none.KWT")));
  folder.Write("shelf/notes.txt", "not a project");
  MakeProject(folder, "shelf/inner/d", 1);
  const ProcessResult flat = Kwtconv({folder.Utf8("shelf")});
  EXPECT_EQ(flat.exitCode, 0) << flat.err;
  const std::string shelf = folder.Utf8("shelf") + (folder.Utf8("shelf").ends_with("/") ? "" : "/");
  const std::string sep = folder.Utf8("a/b").substr(folder.Utf8("a/b").size() - 2, 1);
  EXPECT_EQ(flat.out, folder.Utf8("shelf") + sep + "C.KWJ: " + U(texts::kStatusUpToDate) + "\n" +
                          folder.Utf8("shelf") + sep + "a.kwj: " + U(texts::kStatusSuccess) + "\n" +
                          folder.Utf8("shelf") + sep + "b.kwj: " + U(texts::kStatusSuccess) + "\n");
  EXPECT_TRUE(Converted(folder, "shelf/a", 2));
  EXPECT_TRUE(Converted(folder, "shelf/b", 1));
  EXPECT_FALSE(Converted(folder, "shelf/inner/d", 1));

  const ProcessResult deep = Kwtconv({"-r", folder.Utf8("shelf")});
  EXPECT_EQ(deep.exitCode, 0) << deep.err;
  EXPECT_TRUE(Converted(folder, "shelf/inner/d", 1));
  EXPECT_NE(deep.out.find("d.kwj: " + U(texts::kStatusSuccess)), std::string::npos) << deep.out;

  folder.Write("empty/readme.txt", "nothing here");
  const ProcessResult empty = Kwtconv({folder.Utf8("empty")});
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_NE(empty.err.find("error: the folder holds no project file"), std::string::npos) << empty.err;
}

#ifndef _WIN32
TEST(KwtconvBatch, RecursionFollowsNoLinkToAFolder) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject(folder, "outside/x", 1);
  fs::create_directories(folder.Path("shelf"));
  fs::create_directory_symlink(folder.Path("outside"), folder.Path("shelf/link"));
  const ProcessResult result = Kwtconv({"-r", folder.Utf8("shelf")});
  EXPECT_EQ(result.exitCode, 1);  // nothing found
  EXPECT_FALSE(Converted(folder, "outside/x", 1));
}
#endif

// A relative contents path is the project file's neighbour, wherever kwtconv
// is started: another folder's records are never converted in its place.
TEST(KwtconvBatch, RelativeContentsPathsResolveBesideTheProject) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject(folder, "B/book", 2, "book.KWT");
  // A decoy of the same name in the current folder, which must stay as it is.
  folder.Write("A/book.KWT", Records102(5));
  const std::string decoy = folder.Read("A/book.KWT");
  const CurrentDirectory here(folder.Path("A"));
  const ProcessResult result = Kwtconv({"../B/book.kwj"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(Converted(folder, "B/book", 2));
  EXPECT_EQ(folder.Read("A/book.KWT"), decoy);
  EXPECT_FALSE(folder.Exists("A/TMP.DAT"));
  EXPECT_NE(folder.Read("B/book.kwj").find("KWT=book.KWT\r\n"), std::string::npos);  // as stored
}

TEST(KwtconvBatch, FindContentsUsesTheFileOfThatNameBesideTheProject) {
  TempFolder folder{NameBytes::Utf8};
  const std::string stored = "C:\\Users\\someone\\\x83\x66\x81\x5B\x83\x5E\\sample.KWT";  // データ
  MakeProject(folder, "moved/sample", 2, stored);
  const std::string project = folder.Utf8("moved/sample.kwj");
  const ProcessResult without = Kwtconv({project});
  EXPECT_EQ(without.exitCode, 1);
  EXPECT_NE(
      without.err.find(": note: the contents file " + U(stored) + " does not exist and nothing was changed"),
      std::string::npos)
      << without.err;
  EXPECT_NE(without.err.find("; --find-contents takes the file of that name beside the project file\n"),
            std::string::npos)
      << without.err;

  const ProcessResult check = Kwtconv({"--check", "--find-contents", project});
  EXPECT_EQ(check.exitCode, 0) << check.out;
  EXPECT_NE(check.out.find("(found beside the project; the project records " + U(stored) + ")"),
            std::string::npos)
      << check.out;

  const ProcessResult result = Kwtconv({"--find-contents", project});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(Converted(folder, "moved/sample", 2));
  EXPECT_NE(result.out.find(project + ": note: converted " + folder.Utf8("moved/sample.KWT")),
            std::string::npos)
      << result.out;
  // The project names the file converted from then on: the two belong together.
  EXPECT_NE(folder.Read("moved/sample.kwj").find("KWT=" + folder.PathOf("moved/sample.KWT") + "\r\n"),
            std::string::npos);

  // A copy whose KWT names the original's records: refused, and the advice
  // followed converts the copy's own and records it, the original as it was.
  MakeProject(folder, "orig/book", 2);
  const std::string original = folder.Read("orig/book.KWT");
  folder.Write("copy/book.KWT", original);
  folder.Write("copy/book.kwj", folder.Read("orig/book.kwj"));
  const ProcessResult refused = Kwtconv({folder.Utf8("copy/book.kwj")});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("run again with --contents FILE"), std::string::npos) << refused.err;
  // --find-contents is for a path that names no file: it changes nothing here.
  EXPECT_EQ(Kwtconv({"--find-contents", folder.Utf8("copy/book.kwj")}).exitCode, 1);
  const std::string copied = folder.Read("copy/book.kwj");
  const std::vector<std::string> own = {"--contents", folder.Utf8("copy/book.KWT")};
  const auto with = [&own](std::vector<std::string> more) {
    more.insert(more.begin(), own.begin(), own.end());
    return more;
  };
  EXPECT_EQ(Kwtconv(with({"--backup", folder.Utf8("copy/book.kwj")})).exitCode, 0);
  EXPECT_TRUE(Converted(folder, "copy/book", 2));
  // The path it records is the one change a restore puts back besides Version.
  const std::string converted = folder.Read("copy/book.kwj");
  EXPECT_EQ(Kwtconv({"--restore", folder.Utf8("copy/book.kwj")}).exitCode, 0);
  EXPECT_EQ(folder.Read("copy/book.kwj"), copied);
  EXPECT_EQ(Kwtconv(with({folder.Utf8("copy/book.kwj")})).exitCode, 0);
  EXPECT_EQ(folder.Read("copy/book.kwj"), converted);
  EXPECT_EQ(folder.Read("orig/book.KWT"), original);
  const ProcessResult after = Kwtconv({"--check", folder.Utf8("copy/book.kwj")});
  EXPECT_NE(after.out.find("contents: " + folder.Utf8("copy/book.KWT") + "\n"), std::string::npos)
      << after.out;
  EXPECT_EQ(Kwtconv({folder.Utf8("orig/book.kwj")}).exitCode, 0);
  EXPECT_TRUE(Converted(folder, "orig/book", 2));
}

// However a project's path or its KWT is spelt, records that another project
// reads are never converted under it; nothing changes.
TEST(KwtconvBatch, OneFileIsOneFileHoweverItsPathIsSpelt) {
  TempFolder folder{NameBytes::Utf8};
  folder.Write("shelf/data/a.KWT", Records102(2));
  folder.Write("shelf/a.kwj", ProjectText("102", "2", folder.PathOf("shelf/data/a.KWT")));
  folder.Write("shelf/data/old.kwj", ProjectText("102", "2", "a.KWT"));
  fs::create_directory(folder.Path("shelf/data/sub"));
  const std::string data = folder.PathOf("shelf/data");
  for (const char* spelt : {"/./a.KWT", "//a.KWT", "/sub/../a.KWT"}) {
    folder.Write(std::string("copy") + std::to_string(std::string_view(spelt).size()) + "/b.kwj",
                 ProjectText("102", "2", data + spelt));
  }
  struct Row {
    const char* in;
    std::vector<std::string> arguments;
  };
  std::vector<Row> rows = {
      {"shelf/data", {"."}},
      {"shelf/data", {"./old.kwj"}},
      {"shelf", {"data/./old.kwj"}},
      {"shelf", {"data//old.kwj"}},
      {"shelf", {"data/sub/../old.kwj"}},
      {"", {"copy8/b.kwj", "copy7/b.kwj", "copy13/b.kwj"}},
  };
#ifndef _WIN32
  fs::create_directory_symlink("data", folder.Path("shelf/lnk"));
  rows.push_back({"shelf", {"lnk/old.kwj"}});
  rows.push_back({"shelf/lnk", {"."}});
#endif
  folder.Backdate();
  const auto before = folder.Snapshot();
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.in) + " " + row.arguments[0]);
    const CurrentDirectory in(folder.Path(row.in));
    const ProcessResult result = Kwtconv(row.arguments);
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    EXPECT_NE(result.err.find("converting it would leave the other project"), std::string::npos)
        << result.err;
    EXPECT_TRUE(folder.Snapshot() == before);
  }
}

// A snapshot made with hard links (cp -al, rsnapshot) keeps its own old
// bytes when the live projects, naming their records relatively, convert.
TEST(KwtconvBatch, AHardLinkedSnapshotStaysAsItWas) {
  TempFolder folder{NameBytes::Utf8};
  for (const char* name : {"a", "b"}) {
    MakeProject(folder, std::string("live/") + name, 2, std::string(name) + ".KWT");
    for (const char* extension : {".kwj", ".KWT"}) {
      const std::string file = std::string(name) + extension;
      fs::create_directories(folder.Path("snap"));
      fs::create_hard_link(folder.Path("live/" + file), folder.Path("snap/" + file));
    }
  }
  const auto before = folder.Snapshot();
  const ProcessResult result = Kwtconv({"--backup", folder.Utf8("live")});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("keeps the old records"), std::string::npos) << result.out;
  EXPECT_TRUE(Converted(folder, "live/a", 2));
  EXPECT_TRUE(Converted(folder, "live/b", 2));
  for (const TempFolder::Entry& entry : before) {
    if (entry.name.starts_with("snap")) {
      EXPECT_EQ(folder.Read(entry.name), entry.bytes) << entry.name;
    }
  }
  // A snapshot taken of the backups too does not keep them from restoring.
  fs::create_directories(folder.Path("snap2"));
  for (const char* name : {"a.kwj.bak", "a.KWT.bak"}) {
    fs::create_hard_link(folder.Path(std::string("live/") + name), folder.Path(std::string("snap2/") + name));
  }
  const ProcessResult restored = Kwtconv({"--restore", folder.Utf8("live/a.kwj")});
  EXPECT_EQ(restored.exitCode, 0) << restored.err;
  for (const TempFolder::Entry& entry : before) {
    if (entry.name.starts_with("live") && entry.name.find("/a.") != std::string::npos) {
      EXPECT_EQ(folder.Read(entry.name), entry.bytes) << entry.name;
    }
  }
}

// A small reader for the objects --json prints: strings, numbers, true,
// false, null and arrays of strings.
using JsonValue = std::variant<std::nullptr_t, bool, std::int64_t, std::string, std::vector<std::string>>;
using Json = std::map<std::string, JsonValue>;

std::optional<std::string> ParseString(std::string_view text, std::size_t& at) {
  if (at >= text.size() || text[at] != '"') return std::nullopt;
  std::string out;
  for (++at; at < text.size() && text[at] != '"'; ++at) {
    if (text[at] != '\\') {
      out += text[at];
      continue;
    }
    const char escaped = text[++at];
    if (escaped != 'u') {
      out += escaped;
      continue;
    }
    std::uint32_t unit =
        static_cast<std::uint32_t>(std::stoul(std::string(text.substr(at + 1, 4)), nullptr, 16));
    at += 4;
    if (unit >= 0xD800 && unit < 0xDC00 && text.substr(at + 1, 2) == "\\u") {
      const auto low =
          static_cast<std::uint32_t>(std::stoul(std::string(text.substr(at + 3, 4)), nullptr, 16));
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      at += 6;
    }
    // UTF-8 of the code point.
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else if (unit < 0x10000) {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (unit >> 18));
      out += static_cast<char>(0x80 | ((unit >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  ++at;
  return out;
}

std::optional<Json> ParseObject(std::string_view text) {
  Json object;
  std::size_t at = 0;
  if (text.empty() || text[at++] != '{') return std::nullopt;
  while (at < text.size() && text[at] != '}') {
    if (text[at] == ',') ++at;
    const auto key = ParseString(text, at);
    if (!key || text[at++] != ':') return std::nullopt;
    if (text[at] == '"') {
      object[*key] = *ParseString(text, at);
    } else if (text[at] == '[') {
      std::vector<std::string> items;
      ++at;
      while (text[at] != ']') {
        if (text[at] == ',') ++at;
        items.push_back(*ParseString(text, at));
      }
      ++at;
      object[*key] = items;
    } else if (text.substr(at, 4) == "null") {
      object[*key] = nullptr;
      at += 4;
    } else if (text.substr(at, 4) == "true" || text.substr(at, 5) == "false") {
      object[*key] = text[at] == 't';
      at += text[at] == 't' ? 4 : 5;
    } else {
      std::size_t end = at;
      while (end < text.size() && (text[end] == '-' || (text[end] >= '0' && text[end] <= '9'))) ++end;
      if (end == at) return std::nullopt;
      object[*key] = static_cast<std::int64_t>(std::stoll(std::string(text.substr(at, end - at))));
      at = end;
    }
  }
  return object;
}

std::vector<Json> ParseLines(const std::string& out) {
  std::vector<Json> objects;
  std::size_t begin = 0;
  for (std::size_t end; (end = out.find('\n', begin)) != std::string::npos; begin = end + 1) {
    const auto object = ParseObject(std::string_view(out).substr(begin, end - begin));
    EXPECT_TRUE(object.has_value()) << out.substr(begin, end - begin);
    if (object) objects.push_back(*object);
  }
  return objects;
}

// Every refusal a conversion would meet is foreseen, and such a project
// lists no pass; the conversion then ends as the check said, with the same
// text and code.
TEST(KwtconvBatch, CheckGivesAVerdictForEveryOutcome) {
  struct Row {
    const char* name;
    void (*setup)(const TempFolder&);
    const char* verdict;
  };
  const Row rows[] = {
      {"converts", [](const TempFolder& f) { MakeProject(f, "p", 2); }, "will convert (To103, To140)"},
      {"up to date", [](const TempFolder& f) { f.Write("p.kwj", ProjectText("140", "1", "x.KWT")); },
       "up to date"},
      {"missing project", [](const TempFolder&) {}, "will fail: the project file does not exist"},
      {"Count 0",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2);
         f.Write("p.kwj", ProjectText("102", "0", f.PathOf("p.KWT")));
       },
       "will fail: Count is 0"},
      {"negative Count",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2);
         f.Write("p.kwj", ProjectText("102", "-1", f.PathOf("p.KWT")));
       },
       "will fail: Count is negative (-1)"},
      {"too few records",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2);
         f.Write("p.kwj", ProjectText("102", "4", f.PathOf("p.KWT")));
       },
       "will fail: Count is 4 but the contents file holds only 2 records"},
      {"contents missing",
       [](const TempFolder& f) { f.Write("p.kwj", ProjectText("102", "2", f.PathOf("no.KWT"))); },
       "will fail: the contents file does not exist"},
      {"already converted",
       [](const TempFolder& f) {
         f.Write("p.KWT", std::string(2 * ContentRecord140::kSize, '\0'));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("p.KWT")));
       },
       "will fail: the contents file already has layout 140"},
      {"temporary file is a folder",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2);
         fs::create_directory(f.Path("TMP.DAT"));
       },
       "will fail: TMP.DAT cannot be replaced"},
      {"path too long",
       [](const TempFolder& f) {
         const std::string name = std::string(240, 'n');
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf(name + ".KWT")));
         f.Write(name + ".KWT", Records102(2));
       },
       "will fail: a path is longer than 259 bytes"},
      {"contents named TMP.DAT",
       [](const TempFolder& f) {
         f.Write("tmp.dat", Records102(2));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("tmp.dat")));
       },
       "will fail: the contents file is named tmp.dat"},
      {"contents named like the trial's scratch file",
       [](const TempFolder& f) {
         f.Write("tmp.try", Records102(2));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("tmp.try")));
       },
       "will fail: the contents file is named tmp.try"},
      {"a folder under the trial's scratch name",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2);
         fs::create_directory(f.Path("TMP.TRY"));
       },
       "will fail: TMP.TRY cannot be replaced"},
      {"contents is the project file",
       [](const TempFolder& f) { f.Write("p.kwj", ProjectText("102", "2", f.PathOf("p.kwj"))); },
       "will fail: the contents file would be written over a project file"},
      {"contents is no contents file",
       [](const TempFolder& f) {
         f.Write("notes.txt", std::string(900, 'n'));
         f.Write("p.kwj", ProjectText("102", "3", f.PathOf("notes.txt")));
       },
       "will fail: the project names a file that is no contents file"},
      {"a copy naming the original's records",
       [](const TempFolder& f) {
         MakeProject(f, "orig/p", 2);
         fs::copy_file(f.Path("orig/p.KWT"), f.Path("p.KWT"));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("orig/p.KWT")));
       },
       "will fail: another project names the same contents file"},
      {"a copy made with hard links",
       [](const TempFolder& f) {
         MakeProject(f, "orig/p", 2);
         fs::create_hard_link(f.Path("orig/p.KWT"), f.Path("p.KWT"));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("orig/p.KWT")));
       },
       "will fail: another project names the same contents file"},
      {"a copy whose file beside is named in other letters",
       [](const TempFolder& f) {
         MakeProject(f, "orig/p", 2);
         fs::copy_file(f.Path("orig/p.KWT"), f.Path("p.kwt"));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("orig/p.KWT")));
       },
       "will fail: another project names the same contents file"},
      {"a copy whose records lie in a subfolder",
       [](const TempFolder& f) {
         f.Write("orig/data/p.KWT", Records102(2));
         f.Write("orig/p.kwj", ProjectText("102", "2", f.PathOf("orig/data/p.KWT")));
         f.Write("data/p.KWT", Records102(2));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("orig/data/p.KWT")));
       },
       "will fail: another project names the same contents file"},
      {"a copy whose file of another name is the original's",
       [](const TempFolder& f) {
         MakeProject(f, "orig/p", 2);
         fs::create_hard_link(f.Path("orig/p.KWT"), f.Path("other.KWT"));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("orig/p.KWT")));
       },
       "will fail: another project names the same contents file"},
      {"two projects naming one contents file",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2);
         f.Write("q.kwj", ProjectText("102", "2", f.PathOf("p.KWT")));
       },
       "will fail: another project names the same contents file"},
      {"contents with a second name elsewhere",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2);
         fs::create_directory(f.Path("snapshot"));
         fs::create_hard_link(f.Path("p.KWT"), f.Path("snapshot/p.KWT"));
       },
       "will convert (To103, To140)"},
      {"a hard-linked snapshot whose projects name their records relatively",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2, "p.KWT");
         for (const char* name : {"p.kwj", "p.KWT"}) {
           fs::create_directories(f.Path("snap"));
           fs::create_hard_link(f.Path(name), f.Path(std::string("snap/") + name));
         }
       },
       "will convert (To103, To140)"},
      {"a hard-linked snapshot whose projects name their records by full path",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2);
         for (const char* name : {"p.kwj", "p.KWT"}) {
           fs::create_directories(f.Path("snap"));
           fs::create_hard_link(f.Path(name), f.Path(std::string("snap/") + name));
         }
       },
       "will fail: the project file has a second name (a hard link), and its KWT= reaches the same records"},
      {"a project file with a second name beside it",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2, "p.KWT");
         fs::create_hard_link(f.Path("p.kwj"), f.Path("p - \xE3\x82\xB3\xE3\x83\x94\xE3\x83\xBC.kwj"));
       },
       "will fail: the project file has a second name (a hard link) that reads the same records"},
      {"the live file elsewhere, an old copy of it beside the project",
       [](const TempFolder& f) {
         f.Write("usb/p.KWT", Records102(2));
         f.Write("p.KWT", Records102(1));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("usb/p.KWT")));
       },
       "will convert (To103, To140)"},
      {"a copy of a project folder that keeps its records one folder up",
       [](const TempFolder& f) {
         f.Write("shelf/book.KWT", Records102(2));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("shelf/book.KWT")));
         f.Write("shelf/copy/q.kwj", ProjectText("102", "2", "../book.KWT"));
       },
       "will fail: another project names the same contents file"},
      {"an explorer copy of the project file beside it",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2, "p.KWT");
         f.Write("p - \xE3\x82\xB3\xE3\x83\x94\xE3\x83\xBC.kwj", f.Read("p.kwj"));
       },
       "will fail: another project names the same contents file"},
      {"records in a subfolder of its own",
       [](const TempFolder& f) {
         MakeProject(f, "data/p", 2);
         f.Write("p.kwj", f.Read("data/p.kwj"));
         fs::remove(f.Path("data/p.kwj"));
       },
       "will convert (To103, To140)"},
      {"records in a subfolder of its own, an old file of that name beside",
       [](const TempFolder& f) {
         MakeProject(f, "data/p", 2);
         f.Write("p.kwj", f.Read("data/p.kwj"));
         fs::remove(f.Path("data/p.kwj"));
         f.Write("p.KWT", Records102(1));
       },
       "will convert (To103, To140)"},
      {"another project's contents of the same name in another folder",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2);
         f.Write("sub/p.KWT", Records102(2));
         f.Write("x.kwj", ProjectText("102", "2", f.PathOf("sub/p.KWT")));
       },
       "will convert (To103, To140)"},
      {"converted under another project with another Count",
       [](const TempFolder& f) {
         MakeProject(f, "a", 5);
         ASSERT_EQ(Kwtconv({f.Utf8("a.kwj")}).exitCode, 0);
         // Gone since, or it would be the other project naming the file.
         fs::remove(f.Path("a.kwj"));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("a.KWT")));
       },
       "will fail: the contents file's size fits a later layout"},
      {"an old project file restored over its converted records, at a size both layouts divide",
       [](const TempFolder& f) {
         MakeProject(f, "p", 25);  // 25 x 768 = 64 x 300
         const std::string old = f.Read("p.kwj");
         ASSERT_EQ(Kwtconv({f.Utf8("p.kwj")}).exitCode, 0);
         f.Write("p.kwj", old);
       },
       "will fail: the contents file's size fits a later layout"},
#ifndef _WIN32  // no symbolic links the tests can make, nor system folders of that kind, there
      {"contents named through a link under a work name",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2);
         fs::create_symlink(f.Path("p.KWT"), f.Path("TMP.DAT"));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("TMP.DAT")));
       },
       "will fail: the contents file is named TMP.DAT"},
      {"a copy of a project whose contents file is a link",
       [](const TempFolder& f) {
         for (const std::string at : {"orig/", ""}) {
           f.Write(at + "store/records.KWT", Records102(2));
           fs::create_symlink("store/records.KWT", f.Path(at + "p.KWT"));
         }
         f.Write("orig/p.kwj", ProjectText("102", "2", f.PathOf("orig/p.KWT")));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("orig/p.KWT")));
       },
       "will fail: another project names the same contents file"},
      {"a copy with a link beside it to the original's file",
       [](const TempFolder& f) {
         MakeProject(f, "orig/p", 2);
         fs::create_symlink(f.Path("orig/p.KWT"), f.Path("p.KWT"));
         f.Write("p.kwj", ProjectText("102", "2", f.PathOf("orig/p.KWT")));
       },
       "will fail: another project names the same contents file"},
      {"a pipe named like a project file beside it",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2);
         ASSERT_EQ(::mkfifo(f.Path("pipe.kwj").c_str(), 0600), 0);
       },
       "will convert (To103, To140)"},
      {"a folder link into a system folder",
       [](const TempFolder& f) {
         fs::create_directory_symlink("/proc/self", f.Path("x"));
         f.Write("p.kwj", ProjectText("102", "1", f.PathOf("x/environ")));
       },
       "will fail: the contents path leads into a folder of the system"},
      {"a link through a system folder",
       [](const TempFolder& f) {
         fs::create_symlink("/proc/self/environ", f.Path("p.KWT"));
         f.Write("p.kwj", ProjectText("102", "1", f.PathOf("p.KWT")));
       },
       "will fail: the contents path leads into a folder of the system"},
#endif
      {"a folder under the project's save name",
       [](const TempFolder& f) {
         MakeProject(f, "p", 2);
         fs::create_directory(f.Path("p.kwj$$$"));
       },
       "will fail: read-only"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder{NameBytes::Utf8};
    row.setup(folder);
    folder.Backdate();
    const auto before = folder.Snapshot();
    const ProcessResult result = Kwtconv({"--check", folder.Utf8("p.kwj")});
    EXPECT_NE(result.out.find("\nverdict: " + std::string(row.verdict)), std::string::npos) << result.out;
    const bool fails = std::string_view(row.verdict).starts_with("will fail");
    EXPECT_EQ(result.exitCode, fails ? 1 : 0);
    if (fails && std::string_view(row.name) != "missing project") {
      EXPECT_NE(result.out.find("\npasses: none\n"), std::string::npos) << result.out;
    }
    EXPECT_TRUE(folder.Snapshot() == before);

    // The conversion meets what the check foresaw: outcome, code and text.
    const std::vector<Json> check = ParseLines(Kwtconv({"--check", "--json", folder.Utf8("p.kwj")}).out);
    // With --backup too: a conversion that stops short gets no backups.
    const ProcessResult converted = Kwtconv({"--json", "--backup", folder.Utf8("p.kwj")});
    const std::vector<Json> conversion = ParseLines(converted.out);
    ASSERT_EQ(check.size(), 1u);
    ASSERT_EQ(conversion.size(), 1u) << converted.out << converted.err;
    EXPECT_EQ(converted.exitCode, fails ? 1 : 0);
    if (fails && std::string_view(row.name) != "too few records") {
      EXPECT_TRUE(folder.Snapshot() == before);
    }
    EXPECT_EQ(conversion[0].at("outcome"), JsonValue(std::string(fails                   ? "failed"
                                                                 : row.verdict[0] == 'u' ? "up-to-date"
                                                                                         : "converted")));
    EXPECT_EQ(conversion[0].at("message"), check[0].at("message"));
    EXPECT_EQ(conversion[0].at("error_code"), check[0].at("error_code"));
    EXPECT_EQ(conversion[0].at("cause"), check[0].at("cause"));
    EXPECT_EQ(std::holds_alternative<std::nullptr_t>(conversion[0].at("cause")), !fails);
  }
}

TEST(KwtconvBatch, JsonDescribesEachProjectAsTheFilesAre) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject(folder, "\xE8\xA1\xA8", 2);  // 表
  MakeProject(folder, "short", 2);
  folder.Write("short.kwj", ProjectText("102", "3", folder.PathOf("short.KWT")));
  const std::string good = folder.Utf8("\xE8\xA1\xA8.kwj");
  const std::string bad = folder.Utf8("short.kwj");
  const std::string nameless = folder.Utf8("\xC3\xA9.kwj");  // é: no code page 932 form
#ifndef _WIN32
  // Shift-JIS bytes in a POSIX name: no UTF-8, each run shown as U+FFFD.
  const std::string noUtf8 = folder.Utf8("") + "\x83\x76\x83\x8D.kwj";
  const std::string noUtf8Shown = folder.Utf8("") + "\xEF\xBF\xBDv\xEF\xBF\xBD\xEF\xBF\xBD.kwj";
  const ProcessResult shown = Kwtconv({"--check", "--json", noUtf8});
  const std::vector<Json> shownLines = ParseLines(shown.out);
  ASSERT_EQ(shownLines.size(), 1u) << shown.out;
  EXPECT_EQ(std::get<std::string>(shownLines[0].at("project")), noUtf8Shown);
  EXPECT_EQ(std::get<bool>(shownLines[0].at("lossy")), true);
#endif
  // Every key on every line, null where nothing is known.
  const auto allKeys = [](const std::vector<Json>& lines, const char* outcome) {
    for (const Json& line : lines) {
      for (const char* key : {"project", "contents", "version", "layout", "count", "records_present",
                              "passes", outcome, "status_text", "error_code", "message", "note", "lossy"}) {
        EXPECT_EQ(line.count(key), 1u) << key;
      }
    }
  };

  const ProcessResult check = Kwtconv({"--check", "--json", good, bad, nameless});
  EXPECT_EQ(check.exitCode, 1);
  const std::vector<Json> verdicts = ParseLines(check.out);
  ASSERT_EQ(verdicts.size(), 3u) << check.out;
  allKeys(verdicts, "verdict");
  EXPECT_TRUE(std::holds_alternative<std::nullptr_t>(verdicts[2].at("version")));
  EXPECT_EQ(std::get<std::string>(verdicts[0].at("project")), good);
  EXPECT_EQ(std::get<std::string>(verdicts[0].at("verdict")), "convert");
  EXPECT_EQ(std::get<std::int64_t>(verdicts[0].at("count")), 2);
  EXPECT_EQ(std::get<std::int64_t>(verdicts[0].at("records_present")), 2);
  EXPECT_EQ(std::get<std::vector<std::string>>(verdicts[0].at("passes")),
            (std::vector<std::string>{"To103", "To140"}));
  EXPECT_EQ(std::get<std::string>(verdicts[1].at("verdict")), "fail");
  EXPECT_EQ(std::get<std::vector<std::string>>(verdicts[1].at("passes")), std::vector<std::string>{});
  EXPECT_EQ(std::get<bool>(verdicts[1].at("lossy")), false);

  const ProcessResult run = Kwtconv({"--json", good, bad, nameless});
  EXPECT_EQ(run.exitCode, 1);
  const std::vector<Json> results = ParseLines(run.out);
  ASSERT_EQ(results.size(), 3u) << run.out;
  allKeys(results, "outcome");
  EXPECT_TRUE(std::holds_alternative<std::nullptr_t>(results[2].at("version")));
  EXPECT_EQ(std::get<std::string>(results[0].at("outcome")), "converted");
  EXPECT_EQ(std::get<std::vector<std::string>>(results[0].at("passes")),
            (std::vector<std::string>{"To103", "To140"}));
  EXPECT_EQ(std::get<std::string>(results[0].at("status_text")), U(texts::kStatusSuccess));
  EXPECT_EQ(std::get<std::int64_t>(results[0].at("version")), 140);
  EXPECT_EQ(std::get<std::int64_t>(results[0].at("layout")), 140);
  EXPECT_EQ(std::get<std::string>(results[0].at("contents")), folder.Utf8("\xE8\xA1\xA8.KWT"));
  EXPECT_TRUE(std::holds_alternative<std::nullptr_t>(results[0].at("error_code")));
  EXPECT_EQ(std::get<std::string>(results[1].at("outcome")), "failed");
  EXPECT_EQ(std::get<std::int64_t>(results[1].at("error_code")), 100);
  EXPECT_EQ(std::get<std::string>(results[1].at("message")), U(texts::kIoReadPastEnd));
  EXPECT_EQ(std::get<std::int64_t>(results[1].at("version")), 102);
  EXPECT_TRUE(Converted(folder, "\xE8\xA1\xA8", 2));
}

// -j converts projects side by side, yet everything a user sees and every
// byte on disk is as one after another: results in the order given, projects
// that share a folder (and so TMP.DAT) never at the same time.
TEST(KwtconvBatch, ParallelJobsGiveTheSameResultsAsOneAtATime) {
  const auto make = [](const TempFolder& folder) {
    for (int i = 0; i < 12; ++i) {
      // Every third project shares the folder "shared"; the others have their own.
      const std::string name = i % 3 == 0 ? "shared/p" + std::to_string(i) : "own" + std::to_string(i) + "/p";
      MakeProject(folder, name, 1 + i % 4);
    }
    MakeProject(folder, "own1/short", 2);
    folder.Write("own1/short.kwj", ProjectText("102", "5", folder.PathOf("own1/short.KWT")));
  };
  TempFolder serial{NameBytes::Utf8};
  TempFolder parallel{NameBytes::Utf8};
  make(serial);
  make(parallel);
  const auto arguments = [](const TempFolder& folder) {
    std::vector<std::string> list;
    for (int i = 0; i < 12; ++i) {
      list.push_back(folder.Utf8(i % 3 == 0 ? "shared/p" + std::to_string(i) + ".kwj"
                                            : "own" + std::to_string(i) + "/p.kwj"));
    }
    list.push_back(folder.Utf8("own1/short.kwj"));
    return list;
  };
  const ProcessResult one = Kwtconv(arguments(serial));
  std::vector<std::string> jobs = arguments(parallel);
  jobs.insert(jobs.begin(), "-j2");
  const ProcessResult two = Kwtconv(jobs);
  EXPECT_EQ(one.exitCode, 1);
  EXPECT_EQ(two.exitCode, 1);
  const auto strip = [](std::string text, const TempFolder& folder) {
    const std::string root = folder.Utf8("");
    for (std::size_t at; (at = text.find(root)) != std::string::npos;) text.erase(at, root.size());
    return text;
  };
  EXPECT_EQ(strip(two.out, parallel), strip(one.out, serial));
  EXPECT_EQ(strip(two.err, parallel), strip(one.err, serial));
  const auto a = serial.Snapshot();
  const auto b = parallel.Snapshot();
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].name, b[i].name);
    if (a[i].name.ends_with(".kwj")) continue;  // they name their own folder
    EXPECT_TRUE(a[i].bytes == b[i].bytes) << a[i].name;
  }
}

#ifdef _WIN32
// Windows hands "*.kwj" to the program as it is typed: kwtconv.exe expands it.
TEST(KwtconvBatch, WildcardsExpandOnWindows) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject(folder, "w/one", 1);
  MakeProject(folder, "w/two", 2);
  MakeProject(folder, "w/other", 1);
  const ProcessResult result = Kwtconv({folder.Utf8("w") + "\\t*.kwj", folder.Utf8("w") + "\\on?.kwj"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(Converted(folder, "w/one", 1));
  EXPECT_TRUE(Converted(folder, "w/two", 2));
  EXPECT_FALSE(Converted(folder, "w/other", 1));
  const ProcessResult none = Kwtconv({folder.Utf8("w") + "\\z*.kwj"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("z*.kwj: error: "), std::string::npos) << none.err;
}
#endif

#ifndef _WIN32
// A name whose character code page 932 could only write as a look-alike (〜
// as ～, − as －) names another file: it is reported, and the others go on.
TEST(KwtconvBatch, NamesWithoutAnExactCodePage932FormAreReportedOneByOne) {
  TempFolder folder{NameBytes::Utf8};
  MakeProject(folder, "ok", 1);
  for (const std::string name : {"\xE7\xAC\xAC"
                                 "1\xE7\xAB\xA0\xE3\x80\x9C\xE7\xB5\x82\xE7\xAB\xA0.kwj",  // 第1章〜終章
                                 "a\xE2\x88\x92"
                                 "b.kwj"}) {  // a−b
    SCOPED_TRACE(name);
    folder.Write(name, "[KWJ]\r\nVersion=140\r\n");
    const ProcessResult result = Kwtconv({folder.Utf8(name), folder.Utf8("ok.kwj")});
    EXPECT_EQ(result.exitCode, 1);
    // Shown as the user typed it, not with '?'.
    EXPECT_NE(result.err.find(folder.Utf8(name) + ": error: the name has no code page 932 form"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.out.find("ok.kwj: "), std::string::npos) << result.out;
  }
  EXPECT_TRUE(Converted(folder, "ok", 1));
}

TEST(KwtconvBatch, OutputThatCannotBeWrittenIsAFailure) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--help"}, std::vector<std::string>{"--version"}}) {
    const std::string command =
        std::string(KWT_KWTCONV_PATH) + " " + arguments[0] + " > /dev/full 2>/dev/null";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << arguments[0];
  }
}
#endif

}  // namespace
}  // namespace kwt::testing
