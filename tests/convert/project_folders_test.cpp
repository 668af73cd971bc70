// The one rule by which both faces expand folders into projects (links to
// folders and names without a code page 932 form: tests/cli/batch_test.cpp).
#include "convert/project_folders.h"

#include <filesystem>
#include <fstream>

#include "conversion_test_support.h"
#include "runtime/cp932_text.h"

namespace kwt::testing {
namespace {

// "kind path" for each entry, the path from the folder's root on.
std::vector<std::string> Listed(const TempFolder& folder, const std::vector<std::string>& names,
                                bool recursive, int* foldersRead = nullptr) {
  std::vector<std::string> given;
  for (const std::string& name : names) given.push_back(folder.PathOf(name));
  std::vector<std::string> out;
  const auto count = [&] {
    if (foldersRead != nullptr) ++*foldersRead;
  };
  for (const ListedName& listed : ListProjects(given, recursive, count)) {
    const char* kinds[] = {"project ", "unreadable ", "passed over ", "none "};
    std::string line = kinds[static_cast<int>(listed.kind)];
    line += listed.path.substr(folder.PathOf("").size());
    if (listed.number != 0) (line += ' ') += std::to_string(listed.number);
    for (const std::string& name : listed.names) (line += ' ') += name;
    out.push_back(std::move(line));
  }
  return out;
}

TEST(ListProjects, FoldersGiveTheirProjectsInNameOrderSubfoldersAfter) {
  TempFolder folder;
  const std::string s(1, kSeparator);
  // 表 (95 5C) ends in a backslash byte; ゾ (83 5D) in "]".
  for (const char* name : {"b.kwj", "A.KWJ", "notes.txt", "\x95\x5C.kwj", "sub/d.kwj", "sub/\x83\x5D.Kwj"}) {
    std::string path = name;
    std::replace(path.begin(), path.end(), '/', kSeparator);
    folder.MakeFolder(path.find(kSeparator) != std::string::npos ? "sub" : "");
    folder.Write(path, "");
  }
  folder.MakeFolder("folder.kwj");  // a folder is never a project
  folder.MakeFolder("empty");
  int foldersRead = 0;
  EXPECT_EQ(Listed(folder, {"", "b.kwj", "missing.kwj"}, true, &foldersRead),
            (std::vector<std::string>{"project A.KWJ", "project b.kwj", "project \x95\x5C.kwj",
                                      "project sub" + s + "d.kwj", "project sub" + s + "\x83\x5D.Kwj",
                                      "project b.kwj", "project missing.kwj"}));
  EXPECT_EQ(foldersRead, 4) << "the folder, empty, folder.kwj and sub";
  EXPECT_EQ(Listed(folder, {""}, false),
            (std::vector<std::string>{"project A.KWJ", "project b.kwj", "project \x95\x5C.kwj"}));
  EXPECT_EQ(Listed(folder, {"empty"}, true), (std::vector<std::string>{"none empty"}));
}

// Names without a code page 932 form count only where a project may be:
// a .kwj file, or a folder that -r would look into. A note is no failure.
TEST(ListProjects, NamesWithoutAFormCountOnlyWhereAProjectMayBe) {
  TempFolder folder;
  folder.Write("a.kwj", "");
  const std::filesystem::path root = folder.Path("");
  const auto name = [&](const char* utf8) {
    return root / std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8)));
  };
  std::ofstream(name("\xC3\xA9.txt")).put('x');  // é.txt
  std::filesystem::create_directory(name("\xC3\xA9"));
  // Each is named as it is shown, the folder's with its delimiter.
  const std::string e = TypedCharacter("\xC3\xA9");
  const std::vector<std::string> project{"project a.kwj"};
  EXPECT_EQ(Listed(folder, {""}, false), project);
  EXPECT_EQ(Listed(folder, {""}, true),
            (std::vector<std::string>{"project a.kwj", "passed over  1 " + e + kSeparator}));
  std::ofstream(name("\xC3\xA9.KWJ")).put('x');
  EXPECT_EQ(Listed(folder, {""}, false),
            (std::vector<std::string>{"project a.kwj", "passed over  1 " + e + ".KWJ"}));
#ifndef _WIN32
  // Bytes that are no UTF-8 (a Shift-JIS name), each run shown as U+FFFD.
  std::ofstream(root / "\x83\x76.kwj").put('x');
  EXPECT_EQ(Listed(folder, {""}, false),
            (std::vector<std::string>{"project a.kwj", "passed over  2 " + e + ".KWJ " +
                                                           TypedCharacter("\xEF\xBF\xBD") + "v.kwj"}));
#endif
}

// The window tests dropped names that have no code page 932 form with the
// wide form of the same rule: both must agree on every ASCII name.
TEST(NamesProjectFile, NarrowAndWideFormsAgree) {
  const struct {
    const char* name;
    bool project;
  } rows[] = {{"a.kwj", true}, {"A.KWJ", true}, {"b.Kwj", true}, {".kwj", true},    {"a.kwjx", false},
              {"akwj", false}, {"a.kw", false}, {"", false},     {"kwj.txt", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string narrow = row.name;
    const std::wstring wide(narrow.begin(), narrow.end());
    EXPECT_EQ(NamesProjectFile(narrow), row.project);
    EXPECT_EQ(NamesProjectFile(wide), row.project);
  }
  EXPECT_TRUE(NamesProjectFile(std::string_view("\x95\x5C.KwJ")));  // 表
  EXPECT_TRUE(NamesProjectFile(std::wstring_view(L"\x8868.KwJ")));
}

}  // namespace
}  // namespace kwt::testing
