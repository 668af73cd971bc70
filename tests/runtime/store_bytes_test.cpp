// What a loaded store saves, byte for byte. Loaded lines are views into the
// store's copy of the file, normalised in place, and lines written later are
// the store's own: these cases outlive every buffer the store was given, move
// the store about and write over loaded lines, so that a view into freed or
// reused bytes shows (under AddressSanitizer at once, elsewhere as wrong bytes).
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/ini_file.h"
#include "runtime/store_test_support.h"

namespace kwt {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// Longer than every piece the store writes or compares in, so that a line is
// handed out in several pieces.
constexpr std::size_t kLong = (std::size_t{1} << 20) + 3;

struct Case {
  std::string name;
  std::string text;   // the file as loaded
  std::string saved;  // what saving it writes
};

std::vector<Case> TrickyFiles() {
  const std::string longValue(kLong, 'v');
  const std::string longName(kLong / 2, 'N');
  return {
      {"no break after the last line", "[A]\r\nkey = value", "[A]\r\nkey=value\r\n\r\n"},
      {"breaks as CR LF, LF, CR and LF CR", "[A]\r\na=1\nb=2\rc=3\n\rd=4\r\n",
       "[A]\r\na=1\r\nb=2\r\nc=3\r\nd=4\r\n\r\n"},
      {"empty and blank lines", "\r\n\r\n[A]\r\n\r\n \t \r\nx=1\r\n\r\n\r\n[B]\r\n\r\n",
       "[A]\r\nx=1\r\n\r\n[B]\r\n\r\n"},
      {"duplicate sections and keys", "[K]\r\nv=1\r\nV = 2\r\n[k]\r\nv=3\r\n[K]\r\n",
       "[K]\r\nv=1\r\nV=2\r\n\r\n[k]\r\nv=3\r\n\r\n[K]\r\n\r\n"},
      {"blanks round the '=' moved out",
       "[A]\r\n  name \t=\t  a = b  \r\n=  \r\n  = v\r\nk=", "[A]\r\nname=a = b\r\n=\r\n=v\r\nk=\r\n\r\n"},
      {"a tiny file", "[A]\nb = c", "[A]\r\nb=c\r\n\r\n"},
      {"NUL ends the text", std::string("[A]\r\na = 1\0[B]\r\nb=2", 19), "[A]\r\na=1\r\n\r\n"},
      {"a very long value", "[A]\r\nlong =  " + longValue + "  \r\nafter=1",
       "[A]\r\nlong=" + longValue + "\r\nafter=1\r\n\r\n"},
      {"a very long name and plain line", "[" + longName + "]\r\n " + longValue + " \r\n" + longName + " = x",
       "[" + longName + "]\r\n" + longValue + "\r\n" + longName + "=x\r\n\r\n"},
  };
}

// A store made from a copy of text that is gone, and then moved twice.
TMemIniFile OutlivingItsText(const std::string& path, const std::string& text) {
  std::string copy = text;
  TMemIniFile made = TMemIniFile::FromText(path, copy);
  copy.assign(copy.size(), '#');
  copy = std::string();
  TMemIniFile moved = std::move(made);
  return moved;
}

TEST(StoreBytes, SavesTrickyFilesExactlyAfterTheirBytesAreGone) {
  for (const Case& c : TrickyFiles()) {
    SCOPED_TRACE(c.name);
    std::vector<TMemIniFile> stores;
    stores.push_back(OutlivingItsText("p.kwj", c.text));
    stores.push_back(OutlivingItsText("q.kwj", c.text));  // moves the first store again
    EXPECT_EQ(stores.front().SavedText(), c.saved);
    EXPECT_EQ(stores.back().SavedText(), c.saved);
  }
}

TEST(StoreBytes, SavesALoadedFileToDiskExactlyAfterTheFileChanged) {
  for (const Case& c : TrickyFiles()) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string path = folder.PathOf("p.kwj");
    WriteBytes(path, c.text);
    TMemIniFile store(path);
    // The store holds what it read, not the file: another writer changes nothing.
    WriteBytes(path, std::string(c.text.size(), '\0'));
    store.Save();
    EXPECT_EQ(ReadBytes(path), c.saved);
    // Saving what was saved changes nothing.
    TMemIniFile reloaded(path);
    EXPECT_EQ(reloaded.SavedText(), c.saved);
  }
}

TEST(StoreBytes, WritesAfterLoadingReplaceAddAndCreate) {
  const std::string longValue(kLong, 'w');
  const struct {
    const char* name;
    const char* section;
    const char* key;
    std::string value;
    std::string saved;
  } writes[] = {
      {"a loaded value replaced, in the writer's case", "kwj", "VERSION", "140",
       "[KWJ]\r\nVERSION=140\r\nCount=2\r\nplain\r\n\r\n[Other]\r\nx=1\r\n\r\n"},
      {"a key added to a loaded section", "KWJ", "KWT", "C:\\data.KWT",
       "[KWJ]\r\nVersion=102\r\nCount=2\r\nplain\r\nKWT=C:\\data.KWT\r\n\r\n[Other]\r\nx=1\r\n\r\n"},
      {"a new section", "New", "k", "v",
       "[KWJ]\r\nVersion=102\r\nCount=2\r\nplain\r\n\r\n[Other]\r\nx=1\r\n\r\n[New]\r\nk=v\r\n\r\n"},
      {"a very long value over a short one", "Other", "x", longValue,
       "[KWJ]\r\nVersion=102\r\nCount=2\r\nplain\r\n\r\n[Other]\r\nx=" + longValue + "\r\n\r\n"},
      {"an empty value", "KWJ", "Count", "",
       "[KWJ]\r\nVersion=102\r\nCount=\r\nplain\r\n\r\n[Other]\r\nx=1\r\n\r\n"},
  };
  const std::string loaded = "; c\r\n[KWJ]\r\nVersion = 102\r\nCount=2\r\n  plain\r\n[Other]\r\nx = 1";
  for (const auto& write : writes) {
    SCOPED_TRACE(write.name);
    TempFolder folder;
    const std::string path = folder.PathOf("p.kwj");
    WriteBytes(path, loaded);
    TMemIniFile store(path);

    // The same bytes whether the write is foreseen, made in memory, or saved.
    EXPECT_EQ(store.SavedTextWith(write.section, write.key, write.value), write.saved);
    {
      PendingSave pending = store.PrepareSaveWith(write.section, write.key, write.value);
      EXPECT_EQ(ReadBytes(path), loaded);
      // Let go uncommitted, as a stopped run leaves it (while pending it is
      // held, and Windows lets nobody read it).
      pending.Keep();
    }
    const std::string waiting = store.PendingSavePath();
    EXPECT_EQ(ReadBytes(waiting), write.saved);
    EXPECT_TRUE(store.FileHoldsSavedTextWith(waiting, write.section, write.key, write.value));
    // Not committed: the project file and the store are as they were.
    EXPECT_EQ(ReadBytes(path), loaded);
    EXPECT_EQ(store.SavedText(), "[KWJ]\r\nVersion=102\r\nCount=2\r\nplain\r\n\r\n[Other]\r\nx=1\r\n\r\n");

    std::string value = write.value;
    store.WriteText(write.section, write.key, value);
    value.assign(value.size(), '#');  // the store keeps its own copy
    EXPECT_EQ(store.ReadText(write.section, write.key, "<none>"), write.value);
    TMemIniFile moved = std::move(store);
    moved.Save();
    EXPECT_EQ(ReadBytes(path), write.saved);
    // Written over again, as each pass stamps the version once more.
    moved.WriteText(write.section, write.key, "1");
    moved.WriteText(write.section, write.key, write.value);
    EXPECT_EQ(moved.SavedText(), write.saved);
  }
}

TEST(StoreBytes, AFileHoldsTheSavedTextOnlyByteForByte) {
  TempFolder folder;
  const std::string path = folder.PathOf("p.kwj");
  const std::string body(300000, 'b');  // crosses several compared pieces
  TMemIniFile store = TMemIniFile::FromText(path, "[KWJ]\r\nVersion=102\r\nBody=" + body);
  const std::string saved = "[KWJ]\r\nVersion=140\r\nBody=" + body + "\r\n\r\n";
  ASSERT_EQ(store.SavedTextWith("KWJ", "Version", "140"), saved);

  WriteBytes(path, saved);
  EXPECT_TRUE(store.FileHoldsSavedTextWith(path, "KWJ", "Version", "140"));
  EXPECT_FALSE(store.FileHoldsSavedTextWith(path, "KWJ", "Version", "103"));
  EXPECT_FALSE(store.FileHoldsSavedTextWith(path, "KWJ", "Version", "1400"));
  for (const std::size_t at : {std::size_t{0}, std::size_t{70000}, saved.size() / 2, saved.size() - 1}) {
    SCOPED_TRACE(at);
    std::string changed = saved;
    changed[at] = static_cast<char>(changed[at] ^ 1);
    WriteBytes(path, changed);
    EXPECT_FALSE(store.FileHoldsSavedTextWith(path, "KWJ", "Version", "140"));
  }
  WriteBytes(path, saved + "\r\n");
  EXPECT_FALSE(store.FileHoldsSavedTextWith(path, "KWJ", "Version", "140"));
  WriteBytes(path, saved.substr(0, saved.size() - 1));
  EXPECT_FALSE(store.FileHoldsSavedTextWith(path, "KWJ", "Version", "140"));
  EXPECT_FALSE(store.FileHoldsSavedTextWith(folder.PathOf("absent.kwj"), "KWJ", "Version", "140"));

  // An empty store with the change saves one section.
  const TMemIniFile empty = TMemIniFile::FromText(path, "");
  WriteBytes(path, "[KWJ]\r\nVersion=140\r\n\r\n");
  EXPECT_TRUE(empty.FileHoldsSavedTextWith(path, "KWJ", "Version", "140"));
}

TEST(StoreBytes, TwoStoresSaveAlikeWhenTheirNormalisedTextsAgree) {
  const std::string body(100000, 'z');
  const TMemIniFile store =
      TMemIniFile::FromText("p.kwj", "[KWJ]\r\nVersion=140\r\nBody=" + body + "\r\n[B]\r\nx=1\r\n");
  const struct {
    const char* name;
    std::string text;
    bool alike;
  } others[] = {
      {"the same but for blanks, comments and breaks",
       "; old\n[ KWJ ]\nVersion = 102\n Body = " + body + "\r[B]\rx=1", true},
      {"no Version at all", "[KWJ]\r\nBody=" + body + "\r\n[B]\r\nx=1\r\n", false},
      {"one byte of the body differs", "[KWJ]\r\nVersion=102\r\nBody=" + body.substr(1) + "y\r\n[B]\r\nx=1",
       false},
      {"one section fewer", "[KWJ]\r\nVersion=102\r\nBody=" + body, false},
      {"a key more", "[KWJ]\r\nVersion=102\r\nBody=" + body + "\r\n[B]\r\nx=1\r\ny=2", false},
  };
  for (const auto& other : others) {
    SCOPED_TRACE(other.name);
    const TMemIniFile theirs = TMemIniFile::FromText("q.kwj", other.text);
    EXPECT_EQ(store.SavesLikeWith(theirs, "KWJ", "Version", "0"), other.alike);
    EXPECT_EQ(theirs.SavesLikeWith(store, "KWJ", "Version", "0"), other.alike);
  }
}

}  // namespace
}  // namespace kwt
