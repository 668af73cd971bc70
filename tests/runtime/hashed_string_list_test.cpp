#include "runtime/hashed_string_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

namespace kwt {
namespace {

TEST(TStringHash, RotatesLeftByTwoBitsAndXorsEachByte) {
  EXPECT_EQ(TStringHash::Hash(""), 0u);
  EXPECT_EQ(TStringHash::Hash("A"), 0x41u);
  EXPECT_EQ(TStringHash::Hash("KWJ"), 0x5A6u);
  // Bytes count as 0 to 255, never as negative chars.
  EXPECT_EQ(TStringHash::Hash("\xFF"), 0xFFu);
  // Sixteen rotations of two bits carry bit 7 round to bit 5.
  EXPECT_EQ(TStringHash::Hash(std::string("\x80") + std::string(15, '\0')), 0x20u);
}

TEST(TStringHash, FindsTheNewestOfEqualKeysAndWalksSharedBuckets) {
  TStringHash hash(256);
  EXPECT_EQ(hash.ValueOf("KWJ"), -1);
  hash.Add("KWJ", 0);
  hash.Add("KWJ", 7);
  // "A" hashes to 0x41 and "\x50\x01" to 0x141: one bucket, different keys.
  ASSERT_EQ(TStringHash::Hash("\x50\x01") % 256, TStringHash::Hash("A") % 256);
  hash.Add("A", 1);
  hash.Add("\x50\x01", 2);
  EXPECT_EQ(hash.ValueOf("KWJ"), 7);
  EXPECT_EQ(hash.ValueOf("A"), 1);
  EXPECT_EQ(hash.ValueOf("\x50\x01"), 2);
  EXPECT_EQ(hash.ValueOf("kwj"), -1);
  EXPECT_EQ(hash.ValueOf("\x50"), -1);
  hash.Clear();
  EXPECT_EQ(hash.ValueOf("KWJ"), -1);
  EXPECT_EQ(hash.ValueOf("A"), -1);
}

TEST(THashedStringList, LooksUpWholeStringsAndNamesLastOneFirst) {
  THashedStringList list;
  list.Add("Title");
  list.Add("Version=101");
  list.Add("version=102");
  list.Add("Count");
  list.Add("KWT=a=b");
  list.Add("=empty name");

  EXPECT_EQ(list.IndexOfName("VERSION"), 2);
  EXPECT_EQ(list.IndexOfName("kwt"), 4);
  EXPECT_EQ(list.IndexOfName(""), 5);
  EXPECT_EQ(list.IndexOfName("Count"), -1) << "a string without '=' has no name";
  EXPECT_EQ(list.IndexOfName("Title"), -1);
  EXPECT_EQ(list.IndexOfName("KWT=a"), -1) << "the name ends at the first '='";
  EXPECT_EQ(list.IndexOfName("Version "), -1) << "the requested name is not trimmed";

  EXPECT_EQ(list.IndexOf("TITLE"), 0);
  EXPECT_EQ(list.IndexOf("count"), 3);
  EXPECT_EQ(list.IndexOf("version=101"), 1);
  EXPECT_EQ(list.IndexOf("Version"), -1);
}

TEST(THashedStringList, EveryChangeMakesTheNextLookupSeeIt) {
  THashedStringList list;
  list.Add("Version=101");
  ASSERT_EQ(list.IndexOfName("Version"), 0);
  ASSERT_EQ(list.IndexOf("Version=101"), 0);

  list.Add("Version=102");
  EXPECT_EQ(list.IndexOfName("Version"), 1);
  EXPECT_EQ(list.IndexOf("VERSION=102"), 1);

  list.Put(1, "Count=5");
  EXPECT_EQ(list.IndexOfName("Version"), 0);
  EXPECT_EQ(list.IndexOfName("Count"), 1);
  EXPECT_EQ(list.IndexOf("Version=102"), -1);

  list.AddObject("Version", std::make_unique<THashedStringList>());
  EXPECT_EQ(list.IndexOf("version"), 2);
  EXPECT_NE(list.Objects(2), nullptr);
  EXPECT_EQ(list.Objects(0), nullptr);

  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("version"), -1);
  EXPECT_EQ(list.IndexOf("Version"), 2);
  EXPECT_EQ(list.IndexOfName("COUNT"), -1);
  EXPECT_EQ(list.IndexOfName("Count"), 1);
  list.SetCaseSensitive(false);
  EXPECT_EQ(list.IndexOfName("COUNT"), 1);
}

TEST(THashedStringList, TellsDoubleByteNamesApartThatByteWiseFoldingWouldMerge) {
  THashedStringList list;
  list.Add("\x83\x41=katakana a");  // ア
  list.Add("\x83\x61=small ya");    // ャ
  EXPECT_EQ(list.IndexOfName("\x83\x41"), 0);
  EXPECT_EQ(list.IndexOfName("\x83\x61"), 1);
}

TEST(THashedStringList, ViewsBorrowWhileAddedAndPutStringsAreItsOwn) {
  std::string source = "Version=102";
  std::string added = "Count=3";
  const std::string kept = "Version";
  THashedStringList list;
  list.AddView(source);
  list.Add(added);
  list.AddView(kept, std::make_unique<THashedStringList>());
  EXPECT_EQ(list.Strings(0).data(), source.data()) << "a view is not copied";
  EXPECT_EQ(list.IndexOfName("version"), 0);
  EXPECT_EQ(list.IndexOf("VERSION"), 2);
  EXPECT_NE(list.Objects(2), nullptr);

  list.Put(0, "Version=140");
  added.assign(added.size(), '#');
  added = std::string();
  source.assign(source.size(), '#');
  source = std::string();
  for (int i = 0; i < 100; ++i) list.Add("x");  // moves the items about
  EXPECT_EQ(list.Strings(0), "Version=140");
  EXPECT_EQ(list.Strings(1), "Count=3");
  EXPECT_EQ(list.IndexOfName("COUNT"), 1);
  EXPECT_EQ(list.TextBytes(), 11u + 7u + 7u + 100u);
}

TEST(THashedStringList, CountsItsTextForSizingOutput) {
  THashedStringList list;
  list.Add("ab");
  list.Add("cde");
  list.Put(0, "fghi");
  EXPECT_EQ(list.TextBytes(), 7u);
  EXPECT_EQ(list.Count(), 2u);
}

}  // namespace
}  // namespace kwt
