// Saving a store with one value changed must write exactly what changing the
// value and then saving would write, wherever WriteText would put the value.
#include <gtest/gtest.h>

#include "runtime/digest.h"
#include "runtime/ini_file.h"

#include <string>

namespace kwt {
namespace {

// The digest that tells a same-size rewrite: one value for the same bytes
// however they arrive, another for any byte changed or moved.
TEST(StoreChange, DigestIsTheBytesNotThePieces) {
  std::string bytes;
  for (int i = 0; i < 37; ++i) bytes += static_cast<char>('a' + i % 26);
  const auto digest = [](std::string_view text, std::size_t piece) -> std::uint64_t {
    Digest sum;
    for (std::size_t at = 0; at < text.size(); at += piece)
      sum.Add(text.data() + at, std::min(piece, text.size() - at));
    return sum.Value();
  };
  const std::uint64_t whole = digest(bytes, bytes.size());
  for (const std::size_t piece : {1, 2, 3, 5, 8}) EXPECT_EQ(digest(bytes, piece), whole) << piece;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::string changed = bytes;
    changed[i] ^= 1;
    EXPECT_NE(digest(changed, 3), whole) << i;
    if (i + 1 < bytes.size() && bytes[i] != bytes[i + 1]) {
      std::string swapped = bytes;
      std::swap(swapped[i], swapped[i + 1]);
      EXPECT_NE(digest(swapped, 3), whole) << "swapped at " << i;
    }
  }
  EXPECT_NE(digest(bytes + std::string(1, '\0'), 4), whole);
}

TEST(StoreChange, SavedTextWithIsWriteTextThenSavedText) {
  struct Row {
    const char* name;
    const char* text;
    const char* section;
    const char* key;
  };
  const Row rows[] = {
      {"key in place", "[KWJ]\r\nVersion=102\r\nCount=3\r\n", "KWJ", "Version"},
      {"key missing", "[KWJ]\r\nCount=3\r\n[Other]\r\na=1\r\n", "KWJ", "Version"},
      {"section missing", "[Other]\r\na=1\r\n", "KWJ", "Version"},
      {"empty store", "", "KWJ", "Version"},
      {"other letter case", "[kwj]\r\nversion = 102\r\n", "KWJ", "Version"},
      {"duplicate sections: the last wins", "[KWJ]\r\nVersion=1\r\n[KWJ]\r\nVersion=2\r\n", "KWJ", "Version"},
      {"duplicate keys", "[KWJ]\r\nVersion=1\r\nVersion=2\r\n", "KWJ", "Version"},
      {"plain lines around", "[KWJ]\r\nplain\r\nVersion=1\r\nmore plain\r\n", "KWJ", "Version"},
  };
  for (const Row& row : rows) {
    for (const bool caseSensitive : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (caseSensitive ? ", case-sensitive" : ""));
      TMemIniFile store = TMemIniFile::FromText("p.kwj", row.text);
      store.SetCaseSensitivity(caseSensitive);
      const std::string before = store.SavedText();
      const std::string changed = store.SavedTextWith(row.section, row.key, "140");
      EXPECT_EQ(store.SavedText(), before);  // the store itself is unchanged
      store.WriteText(row.section, row.key, "140");
      EXPECT_EQ(changed, store.SavedText());
    }
  }
}

}  // namespace
}  // namespace kwt
