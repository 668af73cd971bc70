// The two record mappings, byte for byte: where each field lands, cuts at a
// field's capacity and at the record's end, and the bytes left unwritten.
#include "convert/content_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace kwt {
namespace {

constexpr std::uint8_t kUntouched = 0xAA;

// Every byte of a source record differs from its neighbours, so a field taken
// from the wrong offset shows.
template <typename Record>
Record NumberedRecord() {
  Record record;
  for (std::size_t i = 0; i < record.bytes.size(); ++i)
    record.bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return record;
}

template <typename Record>
Record UntouchedRecord() {
  Record record;
  record.bytes.fill(kUntouched);
  return record;
}

struct Field {
  std::size_t from, to, size;
};

// Checks that each field's bytes moved, and that every byte outside them kept
// kUntouched; `written` holds the extra single bytes the mapping sets.
template <typename Source, typename Target>
void ExpectMoved(const Source& source, const Target& target, std::initializer_list<Field> fields,
                 std::initializer_list<std::size_t> emptied) {
  std::set<std::size_t> written;
  for (const Field& field : fields) {
    SCOPED_TRACE(field.to);
    for (std::size_t i = 0; i < field.size; ++i) {
      ASSERT_EQ(target.bytes[field.to + i], source.bytes[field.from + i]) << i;
      written.insert(field.to + i);
    }
  }
  for (std::size_t offset : emptied) {
    EXPECT_EQ(target.bytes[offset], 0) << offset;
    written.insert(offset);
  }
  for (std::size_t i = 0; i < target.bytes.size(); ++i) {
    if (!written.count(i)) {
      ASSERT_EQ(target.bytes[i], kUntouched) << "byte " << i << " was written";
    }
  }
}

TEST(MapTo103, MovesEachFieldAndWritesNothingElse) {
  auto source = NumberedRecord<ContentRecord102>();
  source.bytes[8] = 30;    // Text1, full
  source.bytes[39] = 200;  // Text2, full
  source.bytes[244] = 51;  // Text3, all its characters
  auto target = UntouchedRecord<ContentRecord103>();
  MapTo103(source, target);
  ExpectMoved(source, target,
              {{0, 0, 1}, {4, 4, 4}, {8, 8, 31}, {39, 49, 201}, {240, 252, 4}, {296, 256, 4}, {244, 260, 52}},
              {361, 462});
}

TEST(MapTo140, MovesEachFieldAndCutsText5At50) {
  auto source = NumberedRecord<ContentRecord103>();
  source.bytes[8] = 40;
  source.bytes[49] = 0;
  source.bytes[260] = 100;
  source.bytes[361] = 7;
  source.bytes[462] = 53;
  auto target = UntouchedRecord<ContentRecord140>();
  MapTo140(source, target);
  EXPECT_EQ(target.bytes[462], 50);
  target.bytes[462] = source.bytes[462];  // so the characters can be compared as a field
  ExpectMoved(source, target,
              {{0, 0, 1},
               {4, 4, 4},
               {8, 8, 41},
               {49, 49, 1},
               {252, 252, 4},
               {256, 256, 4},
               {260, 260, 101},
               {361, 361, 8},
               {462, 462, 51}},
              {513, 614});
}

TEST(MapTo103, LengthBytesBeyondTheFieldReadOnlyInsideTheRecord) {
  struct Row {
    std::size_t lengthAt;
    std::uint8_t length;
    std::size_t targetAt, copied;
  };
  // Text1 up to 40 borrows from Text2; Text3 up to 55 borrows Value4; beyond
  // that it is cut at the record's end.
  for (const Row& row : {Row{8, 40, 8, 40}, Row{8, 255, 8, 40}, Row{244, 55, 260, 55}, Row{244, 56, 260, 55},
                         Row{244, 255, 260, 55}}) {
    SCOPED_TRACE(testing::Message() << row.lengthAt << ":" << int{row.length});
    auto source = NumberedRecord<ContentRecord102>();
    source.bytes[row.lengthAt] = row.length;
    auto target = UntouchedRecord<ContentRecord103>();
    MapTo103(source, target);
    EXPECT_EQ(target.bytes[row.targetAt], row.copied);
    EXPECT_EQ(0, std::memcmp(&target.bytes[row.targetAt + 1], &source.bytes[row.lengthAt + 1], row.copied));
    if (row.targetAt == ContentRecord103::kText3) {  // Text1 here is full up to Text2
      EXPECT_EQ(target.bytes[row.targetAt + 1 + row.copied], kUntouched);
    }
  }
}

TEST(MapTo140, ValuesMoveBitForBitThroughBothMappings) {
  ContentRecord102 source;
  for (std::size_t at : {ContentRecord102::kValue2, ContentRecord102::kValue3, ContentRecord102::kValue4}) {
    std::memset(&source.bytes[at], 0xFF, 4);
  }
  source.bytes[ContentRecord102::kValue4] = 0x80;
  source.bytes[ContentRecord102::kValue1] = 0xFF;
  ContentRecord103 middle;
  ContentRecord140 target;
  MapTo103(source, middle);
  MapTo140(middle, target);
  const std::uint8_t ones[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  const std::uint8_t value4[4] = {0x80, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(target.bytes[0], 0xFF);
  EXPECT_EQ(target.bytes[1], 0);  // the source's gap is not carried over
  EXPECT_EQ(0, std::memcmp(&target.bytes[4], ones, 4));
  EXPECT_EQ(0, std::memcmp(&target.bytes[252], ones, 4));
  EXPECT_EQ(0, std::memcmp(&target.bytes[256], value4, 4));
}

}  // namespace
}  // namespace kwt
