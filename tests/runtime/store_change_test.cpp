// Saving a store with one value changed must write exactly what changing the
// value and then saving would write, wherever WriteText would put the value.
#include <gtest/gtest.h>

#include "runtime/ini_file.h"

namespace kwt {
namespace {

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
