#include "runtime/ini_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/errors.h"
#include "runtime/platform.h"
#include "runtime/store_faults.h"
#include "runtime/store_test_support.h"
#include "runtime/texts.h"

namespace kwt {
namespace {

using testing::Golden;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// The normalised text a store saves after loading text.
std::string Normalised(std::string_view text) {
  return TMemIniFile::FromText("unused.kwj", text).SavedText();
}

std::string CannotCreate(std::string_view path) {
  return texts::Format(texts::kCannotCreateFileFormat, path);
}

// The store's failures, checked for their class and their message.
template <typename Error, typename Action>
void ExpectError(Action action, const std::string& message) {
  try {
    action();
    ADD_FAILURE() << "no error raised";
  } catch (const Error& error) {
    EXPECT_EQ(error.Message(), message);
  }
}

// Every entry in folder, so a test can see that nothing was left behind.
std::vector<std::string> Entries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// ---------------------------------------------------------------------------
// The three typical projects, from file to file, byte for byte.

TEST(StoreGolden, TypicalProjectIsReadStampedAndSavedNormalised) {
  TempFolder folder;
  const std::string path = folder.PathOf("sample.kwj");
  WriteBytes(path, Golden("typical_project.kwj"));

  TMemIniFile store(path);
  store.SetCaseSensitivity(false);
  EXPECT_EQ(store.ReadNumber("KWJ", "Version", 0), 102);
  EXPECT_EQ(store.ReadNumber("KWJ", "Count", 0), 25);
  EXPECT_EQ(store.ReadText("KWJ", "KWT", ""), "C:\\work\\sample.KWT");
  EXPECT_EQ(store.ReadText("Extra", "Key1", ""), "a = b");
  EXPECT_EQ(store.ReadText("KWJ", "Title", "none"), "none");
  EXPECT_EQ(store.ReadText("KWJ", "stray", "none"), "none");

  store.WriteNumber("KWJ", "Version", 140);
  store.Save();
  EXPECT_EQ(ReadBytes(path), Golden("typical_project_saved.kwj"));
  EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"sample.kwj"});
}

TEST(StoreGolden, LastDuplicateSectionAndKeyAreReadAndWritten) {
  TempFolder folder;
  const std::string path = folder.PathOf("duplicates.kwj");
  WriteBytes(path, Golden("duplicates.kwj"));

  TMemIniFile store(path);
  ASSERT_EQ(store.Sections().Count(), 2u);
  EXPECT_EQ(store.ReadNumber("KWJ", "Version", 0), 103);
  store.WriteNumber("KWJ", "Version", 140);
  EXPECT_EQ(store.ReadNumber("kwj", "VERSION", 0), 140);
  store.Save();
  EXPECT_EQ(ReadBytes(path), Golden("duplicates_saved.kwj"));
}

TEST(StoreGolden, HeaderWithTextBehindItIsAPlainLine) {
  TempFolder folder;
  const std::string path = folder.PathOf("header.kwj");
  WriteBytes(path, Golden("header_with_text.kwj"));

  TMemIniFile store(path);
  EXPECT_EQ(store.ReadNumber("KWJ", "Version", -7), -7);
  EXPECT_EQ(store.ReadNumber("A", "Version", 0), 102);
  store.WriteNumber("KWJ", "Version", 103);
  store.Save();
  EXPECT_EQ(ReadBytes(path), Golden("header_with_text_saved.kwj"));
}

// ---------------------------------------------------------------------------
// Loading: line breaks, trimming, headers and what is dropped.

TEST(StoreLoading, SplitsLinesAtCrLfCrLfAndNul) {
  const struct {
    std::string_view name;
    std::string_view text;
    std::string_view saved;
  } cases[] = {
      {"empty file", "", ""},
      {"CR LF", "[S]\r\na=1\r\nb=2\r\n", "[S]\r\na=1\r\nb=2\r\n\r\n"},
      {"LF only", "[S]\na=1\nb=2\n", "[S]\r\na=1\r\nb=2\r\n\r\n"},
      {"CR only", "[S]\ra=1\rb=2\r", "[S]\r\na=1\r\nb=2\r\n\r\n"},
      {"mixed", "[S]\ra=1\nb=2\r\n", "[S]\r\na=1\r\nb=2\r\n\r\n"},
      {"last line without a break", "[S]\r\na=1", "[S]\r\na=1\r\n\r\n"},
      {"LF CR is two breaks", "[S]\n\rtext\n\rmore", "[S]\r\ntext\r\nmore\r\n\r\n"},
      {"CR CR is two breaks", "[S]\r\rtext", "[S]\r\ntext\r\n\r\n"},
      {"NUL ends the text", std::string_view("[S]\r\na=1\0b=2\r\n[T]\r\n", 20), "[S]\r\na=1\r\n\r\n"},
      {"NUL after a break", std::string_view("[S]\r\na=1\r\n\0[T]", 14), "[S]\r\na=1\r\n\r\n"},
      {"NUL first", std::string_view("\0[S]", 4), ""},
      {"NUL inside a line", std::string_view("[S]\r\nab\0cd", 10), "[S]\r\nab\r\n\r\n"},
      {"only breaks", "\r\n\n\r\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Normalised(c.text), c.saved);
  }
}

TEST(StoreLoading, TrimsAndClassifiesLines) {
  const struct {
    std::string_view name;
    std::string_view text;
    std::string_view saved;
  } cases[] = {
      {"spaces round the '='", "[S]\r\nVersion = 102", "[S]\r\nVersion=102\r\n\r\n"},
      {"tabs and control bytes trimmed", "[S]\r\n\t\tVersion=102\x1A\x01 \t", "[S]\r\nVersion=102\r\n\r\n"},
      {"inner spaces kept", "[S]\r\n  a  b =  c  d  ", "[S]\r\na  b=c  d\r\n\r\n"},
      {"further '=' belong to the value", "[S]\r\nKWT = a = b", "[S]\r\nKWT=a = b\r\n\r\n"},
      {"empty value and empty name", "[S]\r\nk=\r\n=v\r\n = ", "[S]\r\nk=\r\n=v\r\n=\r\n\r\n"},
      {"header trimmed inside", "[ KWJ ]", "[KWJ]\r\n\r\n"},
      {"header indented", "\t [KWJ] \t", "[KWJ]\r\n\r\n"},
      {"empty header", "[]\r\na=1", "[]\r\na=1\r\n\r\n"},
      {"blank header", "[ \t ]", "[]\r\n\r\n"},
      {"lone '[' is no header", "[S]\r\n[", "[S]\r\n[\r\n\r\n"},
      {"']' at the end only", "[S]\r\n[A] x\r\nb]", "[S]\r\n[A] x\r\nb]\r\n\r\n"},
      {"brackets inside the name", "[[a]]", "[[a]]\r\n\r\n"},
      {"comments dropped", "[S]\r\n;a=1\r\n  ; b=2\r\nc=3 ; kept", "[S]\r\nc=3 ; kept\r\n\r\n"},
      {"a ';' header is a comment", ";[S]\r\na=1", ""},
      {"text before the first header dropped", "a=1\r\nplain\r\n[S]\r\nb=2", "[S]\r\nb=2\r\n\r\n"},
      {"plain lines kept", "[S]\r\n  Title  \r\nCount", "[S]\r\nTitle\r\nCount\r\n\r\n"},
      {"same header twice makes two sections", "[S]\r\na=1\r\n[S]\r\na=2",
       "[S]\r\na=1\r\n\r\n[S]\r\na=2\r\n\r\n"},
      {"empty section", "[A]\r\n[B]\r\nx=1", "[A]\r\n\r\n[B]\r\nx=1\r\n\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Normalised(c.text), c.saved);
  }
}

TEST(StoreLoading, BracketTestsLookAtSingleBytes) {
  // ゾ is 83 5D: its trail byte is a ']', which still closes the header.
  TMemIniFile store = TMemIniFile::FromText("p.kwj", "[\x83\x5D]\r\nkey=1\r\n[x\x83\x5D\r\nk=2");
  ASSERT_EQ(store.Sections().Count(), 2u);
  EXPECT_EQ(store.Sections().Strings(0), "\x83\x5D");
  EXPECT_EQ(store.Sections().Strings(1), "x\x83");
  EXPECT_EQ(store.ReadNumber("\x83\x5D", "key", 0), 1);
  EXPECT_EQ(store.ReadNumber("x\x83", "k", 0), 2);
}

TEST(StoreLoading, ByteOrderMarkIsOrdinaryText) {
  TMemIniFile store =
      TMemIniFile::FromText("p.kwj", "\xEF\xBB\xBF[KWJ]\r\nVersion=102\r\n[KWJ]\r\nCount=5\r\n");
  EXPECT_EQ(store.Sections().Count(), 1u);
  EXPECT_EQ(store.ReadNumber("KWJ", "Version", 0), 0);
  EXPECT_EQ(store.ReadNumber("KWJ", "Count", 0), 5);
  EXPECT_EQ(store.SavedText(), "[KWJ]\r\nCount=5\r\n\r\n");
}

TEST(StoreLoading, ReadsTheFileFromDiskWithItsBreaksAndNul) {
  TempFolder folder;
  const std::string path = folder.PathOf("mixed.kwj");
  WriteBytes(path, std::string_view("[KWJ]\rVersion=102\nCount=3\n\r[T]\r\nx=1\0[U]\r\ny=2", 44));
  TMemIniFile store(path);
  EXPECT_EQ(store.FileName(), path);
  EXPECT_EQ(store.SavedText(), "[KWJ]\r\nVersion=102\r\nCount=3\r\n\r\n[T]\r\nx=1\r\n\r\n");
}

// The scan of one value finds what a store on the file reads, whatever the
// file holds: the last [KWJ] and the last KWT win, names in any case, and
// the text ends at its first NUL byte.
TEST(StoreScanning, FindsTheValueTheStoreReads) {
  const std::string_view texts[] = {
      "[KWJ]\r\nKWT=a.KWT\r\n",
      "KWT=before.KWT\r\n[kwj]\r\n  kwt  =  spaced name.KWT  \r\n",
      "[KWJ]\r\nKWT=first.KWT\r\n[Other]\r\nKWT=other.KWT\r\n[ KWJ ]\r\nCount=2\r\n",
      "[KWJ]\r\nKWT=first.KWT\r\nKWT=last.KWT\r\n; KWT=comment.KWT\r\n",
      std::string_view("[KWJ]\r\nKWT=before-nul.KWT\0\r\nKWT=after-nul.KWT\r\n", 45),
      "[KWJ]\rKWT=cr.KWT\r[KWJ]x\nKWT=plain line header\n",
      "[KWJ]\r\nKWT\r\n=value alone\r\nKWT=\r\n",
      "[\x83]]\r\nKWT=zo section.KWT\r\n[KWJ]\r\nKWT==equals.KWT\r\n",
      "no header at all\r\nKWT=x.KWT\r\n",
  };
  TempFolder folder;
  for (const std::string_view text : texts) {
    SCOPED_TRACE(::testing::PrintToString(std::string(text)));
    const std::string path = folder.PathOf("p.kwj");
    WriteBytes(path, text);
    TMemIniFile store(path);
    store.SetCaseSensitivity(false);
    const ScannedValue scanned = ScanStoredValue(path, "KWJ", "KWT");
    EXPECT_EQ(scanned.error, platform::error::kSuccess);
    EXPECT_FALSE(scanned.cut);
    EXPECT_EQ(scanned.value.value_or("<none>"), store.ReadText("KWJ", "KWT", "<none>"));
  }
  // Blanks far beyond any path's leave the names as they were, and mark a
  // value that holds them; a line beyond any path's is cut.
  std::string longLines = "[";
  longLines.append(100000, ' ').append("KWJ]\r\nKWT").append(300, ' ').append("=a").append(300, ' ');
  longLines.append("b\r\n");
  WriteBytes(folder.PathOf("long.kwj"), longLines);
  const ScannedValue blanks = ScanStoredValue(folder.PathOf("long.kwj"), "KWJ", "KWT");
  EXPECT_TRUE(blanks.value && blanks.cut);
  // Blanks around the value are trimmed by the store: the path is whole.
  std::string padded = "[KWJ]\r\nKWT=";
  padded.append(300, ' ').append("a.KWT").append(300, '\t').append("\r\n");
  WriteBytes(folder.PathOf("padded.kwj"), padded);
  const ScannedValue trimmed = ScanStoredValue(folder.PathOf("padded.kwj"), "KWJ", "KWT");
  EXPECT_EQ(trimmed.value.value_or("<none>"), "a.KWT");
  EXPECT_FALSE(trimmed.cut);
#ifndef _WIN32  // no sparse file of that size there
  // A sparse file of a terabyte ends at its first byte: reading on would not
  // end within the test's time.
  const std::string sparse = folder.PathOf("sparse.kwj");
  WriteBytes(sparse, "");
  std::filesystem::resize_file(sparse, std::uintmax_t{1} << 40);
  const ScannedValue nothing = ScanStoredValue(sparse, "KWJ", "KWT");
  EXPECT_EQ(nothing.error, platform::error::kSuccess);
  EXPECT_FALSE(nothing.value);
#endif
}

TEST(StoreLoading, MissingFileOrEmptyPathGivesAnEmptyStore) {
  TempFolder folder;
  for (const std::string& path : {folder.PathOf("absent.kwj"), std::string(), folder.path().string()}) {
    SCOPED_TRACE(path);
    TMemIniFile store(path);
    EXPECT_EQ(store.Sections().Count(), 0u);
    EXPECT_EQ(store.ReadNumber("KWJ", "Version", 0), 0);
    EXPECT_EQ(store.ReadText("KWJ", "KWT", "default"), "default");
  }
}

TEST(StoreLoading, FileThatCannotBeOpenedRaisesEFOpenError) {
  TempFolder folder;
  const std::string path = folder.PathOf("unreadable.kwj");
  testing::UnreadableFile unreadable(path);
  if (!unreadable.Active()) GTEST_SKIP() << "no way to make an unreadable file on this system";
  ExpectError<EFOpenError>([&] { TMemIniFile store(path); },
                           texts::Format(texts::kCannotOpenFileFormat, path));
}

// ---------------------------------------------------------------------------
// Reading and writing in memory.

TEST(StoreReading, FindsValuesByUpperCasedNamesUntrimmedAndUnconverted) {
  TMemIniFile store =
      TMemIniFile::FromText("p.kwj",
                            "[kwj]\r\nversion=140\r\nOld=102 ; old\r\nKWT=a=b\r\nCount\r\nEmpty=\r\n"
                            "[\x83\x41]\r\nname=katakana a\r\n[\x83\x61]\r\nname=small ya\r\n");
  const struct {
    std::string_view section, key, expected;
  } cases[] = {
      {"KWJ", "Version", "140"},
      {"Kwj", "VERSION", "140"},
      {"KWJ", "old", "102 ; old"},
      {"KWJ", "KWT", "a=b"},
      {"KWJ", "Empty", ""},
      {"KWJ", "Count", "<default>"},
      {"KWJ", "Version ", "<default>"},
      {" KWJ", "Version", "<default>"},
      {"KWJ", "KWT=a", "<default>"},
      {"NONE", "Version", "<default>"},
      {"\x83\x41", "name", "katakana a"},
      {"\x83\x61", "name", "small ya"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.section << " / " << c.key);
    EXPECT_EQ(store.ReadText(c.section, c.key, "<default>"), c.expected);
  }
  EXPECT_EQ(store.ReadNumber("KWJ", "Version", 0), 140);
  EXPECT_EQ(store.ReadNumber("KWJ", "Old", 5), 5);
  EXPECT_EQ(store.ReadNumber("KWJ", "Count", 5), 5);
  EXPECT_EQ(store.ReadNumber("KWJ", "Empty", 5), 5);
}

TEST(StoreReading, NumberTextsFollowTheIntegerConversion) {
  TMemIniFile store = TMemIniFile::FromText(
      "p.kwj", "[KWJ]\r\nA=$8C\r\nB=0X8c\r\nC=-2147483648\r\nD=2147483648\r\nE=14.0\r\nF=+0140");
  EXPECT_EQ(store.ReadNumber("KWJ", "A", 0), 140);
  EXPECT_EQ(store.ReadNumber("KWJ", "B", 0), 140);
  EXPECT_EQ(store.ReadNumber("KWJ", "C", 0), -2147483647 - 1);
  EXPECT_EQ(store.ReadNumber("KWJ", "D", 9), 9);
  EXPECT_EQ(store.ReadNumber("KWJ", "E", 9), 9);
  EXPECT_EQ(store.ReadNumber("KWJ", "F", 9), 140);
  // A trailing space can only come from a write; it makes the text no number.
  store.WriteText("KWJ", "G", "140 ");
  EXPECT_EQ(store.ReadNumber("KWJ", "G", 9), 9);
}

TEST(StoreWriting, ReplacesInPlaceInTheWritersCaseOrAppends) {
  TMemIniFile store = TMemIniFile::FromText("p.kwj", "[kwj]\r\nversion=140\r\nCount=2\r\nCount\r\n");
  store.WriteNumber("KWJ", "Version", 103);
  store.WriteText("KWJ", "KWT", " spaced = value ");
  store.WriteNumber("KWJ", "Count", -5);
  store.WriteNumber("New Section ", " Key", 0);
  EXPECT_EQ(store.ReadNumber("KWJ", "version", 0), 103);
  EXPECT_EQ(store.ReadText("KWJ", "kwt", ""), " spaced = value ");
  EXPECT_EQ(store.ReadNumber("new section ", " key", 7), 0);
  EXPECT_EQ(store.SavedText(),
            "[kwj]\r\nVersion=103\r\nCount=-5\r\nCount\r\nKWT= spaced = value \r\n\r\n"
            "[New Section ]\r\n Key=0\r\n\r\n");
}

TEST(StoreWriting, EveryWriteIsSeenByTheNextRead) {
  TMemIniFile store = TMemIniFile::FromText("p.kwj", "");
  for (int i = 0; i < 300; ++i) {
    // Built by appending: GCC 12 misreads "S" + std::to_string(...) as an overlapping copy.
    std::string section = "S";
    section += std::to_string(i % 7);
    std::string key = "K";
    key += std::to_string(i % 11);
    store.WriteNumber(section, key, i);
    ASSERT_EQ(store.ReadNumber(section, key, -1), i);
  }
  EXPECT_EQ(store.Sections().Count(), 7u);
  EXPECT_EQ(store.ReadNumber("s3", "k2", -1), 255);
}

TEST(StoreWriting, CaseSensitivityCanBeSwitchedBothWays) {
  TMemIniFile store = TMemIniFile::FromText("p.kwj", "[kwj]\r\nversion=1\r\n");
  store.SetCaseSensitivity(false);
  EXPECT_EQ(store.ReadNumber("KWJ", "Version", 0), 1);

  store.SetCaseSensitivity(true);
  EXPECT_EQ(store.ReadNumber("KWJ", "version", 0), 0);
  EXPECT_EQ(store.ReadNumber("kwj", "Version", 0), 0);
  EXPECT_EQ(store.ReadNumber("kwj", "version", 0), 1);
  store.WriteNumber("kwj", "Version", 2);
  store.WriteNumber("KWJ", "version", 3);  // A new section that inherits exact matching.
  EXPECT_EQ(store.ReadNumber("KWJ", "VERSION", 0), 0);

  store.SetCaseSensitivity(false);
  EXPECT_EQ(store.ReadNumber("kwj", "VERSION", 0), 3) << "last matching section and key";
  EXPECT_EQ(store.SavedText(), "[kwj]\r\nversion=1\r\nVersion=2\r\n\r\n[KWJ]\r\nversion=3\r\n\r\n");
}

// ---------------------------------------------------------------------------
// Saving.

TEST(StoreSaving, MissingFileIsCreatedEmptyThenWithTheWrittenKey) {
  TempFolder folder;
  const std::string path = folder.PathOf("new.kwj");
  TMemIniFile store(path);
  store.Save();
  EXPECT_TRUE(std::filesystem::is_regular_file(path));
  EXPECT_EQ(ReadBytes(path), "");
  store.WriteNumber("KWJ", "Version", 140);
  store.Save();
  EXPECT_EQ(ReadBytes(path), "[KWJ]\r\nVersion=140\r\n\r\n");
  EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"new.kwj"});
}

TEST(StoreSaving, SavingTwiceAndReloadingGiveTheSameBytes) {
  TempFolder folder;
  const std::string path = folder.PathOf("p.kwj");
  WriteBytes(path, Golden("typical_project.kwj"));
  TMemIniFile store(path);
  store.WriteNumber("KWJ", "Version", 103);
  store.Save();
  const std::string first = ReadBytes(path);
  store.Save();
  EXPECT_EQ(ReadBytes(path), first);

  store.WriteNumber("KWJ", "Version", 140);
  store.Save();
  const std::string saved = ReadBytes(path);
  TMemIniFile reloaded(path);
  EXPECT_EQ(reloaded.SavedText(), saved);
  EXPECT_EQ(reloaded.ReadNumber("KWJ", "Version", 0), 140);
  EXPECT_EQ(reloaded.ReadText("Extra", "Key1", ""), "a = b");
  reloaded.Save();
  EXPECT_EQ(ReadBytes(path), saved);
  EXPECT_EQ(saved, Golden("typical_project_saved.kwj"));
}

TEST(StoreSaving, DroppingAStoreWritesNothing) {
  TempFolder folder;
  const std::string path = folder.PathOf("p.kwj");
  WriteBytes(path, "; keep me\r\n[KWJ]\r\nVersion=102\r\n");
  {
    TMemIniFile store(path);
    store.WriteNumber("KWJ", "Version", 140);
  }
  EXPECT_EQ(ReadBytes(path), "; keep me\r\n[KWJ]\r\nVersion=102\r\n");
}

TEST(StoreSaving, ReadOnlyFileKeepsItsBytesAndTheStoreCanSaveLater) {
  TempFolder folder;
  const std::string path = folder.PathOf("readonly.kwj");
  const std::string original = "[KWJ]\r\nVersion = 102\r\n";
  WriteBytes(path, original);
  testing::MakeReadOnly(path);

  TMemIniFile store(path);
  store.WriteNumber("KWJ", "Version", 140);
  ExpectError<EFCreateError>([&] { store.Save(); }, CannotCreate(path));
  ExpectError<EFCreateError>([&] { store.PrepareSave(); }, CannotCreate(path));
  EXPECT_EQ(ReadBytes(path), original);
  EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"readonly.kwj"});

  std::filesystem::permissions(path, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  store.Save();
  EXPECT_EQ(ReadBytes(path), "[KWJ]\r\nVersion=140\r\n\r\n");
}

TEST(StoreSaving, FileHeldByAnotherOpenerKeepsItsBytes) {
  TempFolder folder;
  const std::string path = folder.PathOf("held.kwj");
  WriteBytes(path, "[KWJ]\r\nVersion=102\r\n");
  TMemIniFile store(path);
  store.WriteNumber("KWJ", "Version", 140);
  {
    platform::FileHandle holder;
    ASSERT_EQ(platform::Open(path, platform::Access::ReadWrite, platform::kShareNone,
                             platform::Creation::OpenExisting, holder),
              platform::error::kSuccess);
    ExpectError<EFCreateError>([&] { store.Save(); }, CannotCreate(path));
  }
  EXPECT_EQ(ReadBytes(path), "[KWJ]\r\nVersion=102\r\n");
  EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"held.kwj"});
  store.Save();
  EXPECT_EQ(ReadBytes(path), "[KWJ]\r\nVersion=140\r\n\r\n");
}

TEST(StoreSaving, MissingFolderOrEmptyPathRaisesEFCreateError) {
  TempFolder folder;
  for (const std::string& path :
       {folder.PathOf("missing") + "/p.kwj", std::string(), folder.path().string()}) {
    SCOPED_TRACE(path);
    TMemIniFile store = TMemIniFile::FromText(path, "[KWJ]\r\nVersion=1");
    ExpectError<EFCreateError>([&] { store.Save(); }, CannotCreate(path));
  }
  EXPECT_TRUE(Entries(folder.path()).empty());
}

TEST(StoreSaving, FolderThatCannotBeWrittenRaisesEFCreateError) {
  TempFolder folder;
  const std::filesystem::path locked = folder.path() / "locked";
  std::filesystem::create_directory(locked);
  testing::ReadOnlyFolder readOnly(locked);
  // Where this process may write into such a folder anyway (root on Linux),
  // there is nothing to test.
  if (!readOnly.Active()) {
    GTEST_SKIP() << "this process may write into a folder without write permission (running as root)";
  }
  const std::string path = (locked / "p.kwj").string();
  TMemIniFile store = TMemIniFile::FromText(path, "[KWJ]\r\nVersion=1");
  ExpectError<EFCreateError>([&] { store.Save(); }, CannotCreate(path));
}

TEST(StoreSaving, IncompleteWriteRaisesEWriteErrorAndLeavesTheFileWhole) {
  TempFolder folder;
  const std::string path = folder.PathOf("p.kwj");
  const std::string original = "[KWJ]\r\nVersion=102\r\n";
  WriteBytes(path, original);
  TMemIniFile store(path);
  store.WriteText("KWJ", "Long", std::string(4096, 'x'));
  {
    testing::FileSizeLimit limit(1024);
    if (!limit.Active()) GTEST_SKIP() << "no way to make a write come back short on this system";
    ExpectError<EWriteError>([&] { store.Save(); }, std::string(texts::kStreamWriteError));
  }
  EXPECT_EQ(ReadBytes(path), original);
  EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"p.kwj"});
}

TEST(StorePendingSave, ProjectFileChangesOnlyAtCommit) {
  TempFolder folder;
  const std::string path = folder.PathOf("p.kwj");
  WriteBytes(path, "[KWJ]\r\nVersion=102\r\n");
  TMemIniFile store(path);
  store.WriteNumber("KWJ", "Version", 140);

  PendingSave pending = store.PrepareSave();
  EXPECT_EQ(ReadBytes(path), "[KWJ]\r\nVersion=102\r\n");
  EXPECT_EQ(std::filesystem::path(pending.TemporaryPath()).parent_path(), folder.path());
  EXPECT_EQ(Entries(folder.path()).size(), 2u);
  // Nobody else may take the waiting text meanwhile.
  platform::FileHandle other;
  EXPECT_NE(platform::Open(pending.TemporaryPath(), platform::Access::ReadWrite, platform::kShareNone,
                           platform::Creation::CreateAlways, other),
            platform::error::kSuccess);

  PendingSave moved = std::move(pending);
  pending.Commit();  // Moved from: does nothing.
  EXPECT_EQ(ReadBytes(path), "[KWJ]\r\nVersion=102\r\n");
  moved.Commit();
  EXPECT_EQ(ReadBytes(path), "[KWJ]\r\nVersion=140\r\n\r\n");
  EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"p.kwj"});
  moved.Commit();  // Already committed: does nothing.
  EXPECT_EQ(ReadBytes(path), "[KWJ]\r\nVersion=140\r\n\r\n");
}

TEST(StorePendingSave, UncommittedSaveIsRemovedAndChangesNothing) {
  TempFolder folder;
  const std::string path = folder.PathOf("p.kwj");
  WriteBytes(path, "[KWJ]\r\nVersion=102\r\n");
  TMemIniFile store(path);
  store.WriteNumber("KWJ", "Version", 140);
  {
    PendingSave first = store.PrepareSave();
    PendingSave second = TMemIniFile::FromText(folder.PathOf("other.kwj"), "[A]").PrepareSave();
    EXPECT_EQ(Entries(folder.path()).size(), 3u);
    second = std::move(first);  // Drops the other pending save at once.
    EXPECT_EQ(Entries(folder.path()).size(), 2u);
  }
  EXPECT_EQ(ReadBytes(path), "[KWJ]\r\nVersion=102\r\n");
  EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"p.kwj"});
}

TEST(StorePendingSave, FailedReplacementRaisesEFCreateErrorAndCleansUp) {
  TempFolder folder;
  const std::string path = folder.PathOf("p.kwj");
  TMemIniFile store = TMemIniFile::FromText(path, "[KWJ]\r\nVersion=140");
  PendingSave pending = store.PrepareSave();
  // Something that cannot be replaced by a file appears in the meantime.
  std::filesystem::create_directory(path);
  ExpectError<EFCreateError>([&] { pending.Commit(); }, CannotCreate(path));
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_EQ(Entries(folder.path()), std::vector<std::string>{"p.kwj"});
}

}  // namespace
}  // namespace kwt
