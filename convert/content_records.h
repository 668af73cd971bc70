// The three record layouts of a contents file and the two mappings between
// them. A record is held as its exact bytes; fields are named offsets into
// them, so a record goes to and from the file as one block and unknown bytes
// (gaps, bytes after a string's text) are never reinterpreted.
//
// Field kinds: a 1-byte value; a 4-byte value (little-endian, moved as a unit);
// a short string of capacity N (a length byte, then N character bytes of code
// page 932, no terminator).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kwt {

// Where a short string's length byte is, and how many characters its field
// holds. A genuine record never has a length byte above its capacity.
struct ShortStringField {
  std::size_t offset;
  std::size_t capacity;
};

// The layout of projects whose version is below 103.
struct ContentRecord102 {
  static constexpr std::size_t kSize = 300;
  static constexpr std::size_t kValue1 = 0;  // 1 byte; 1 to 3 are a gap
  static constexpr std::size_t kValue2 = 4;
  static constexpr std::size_t kText1 = 8;
  static constexpr std::size_t kText1Capacity = 30;
  static constexpr std::size_t kText2 = 39;
  static constexpr std::size_t kText2Capacity = 200;
  static constexpr std::size_t kValue3 = 240;
  // A length byte and 51 character bytes, followed by Value4.
  static constexpr std::size_t kText3 = 244;
  static constexpr std::size_t kValue4 = 296;
  static constexpr std::array<ShortStringField, 3> kStrings = {
      {{kText1, kText1Capacity}, {kText2, kText2Capacity}, {kText3, kValue4 - kText3 - 1}}};

  std::array<std::uint8_t, kSize> bytes{};
};

// The layout of projects whose version is 103 to 139.
struct ContentRecord103 {
  static constexpr std::size_t kSize = 516;
  static constexpr std::size_t kValue1 = 0;  // 1 byte; 1 to 3 are a gap
  static constexpr std::size_t kValue2 = 4;
  static constexpr std::size_t kText1 = 8;
  static constexpr std::size_t kText1Capacity = 40;
  static constexpr std::size_t kText2 = 49;
  static constexpr std::size_t kText2Capacity = 200;
  // 250 and 251 are a gap.
  static constexpr std::size_t kValue3 = 252;
  static constexpr std::size_t kValue4 = 256;
  static constexpr std::size_t kText3 = 260;
  static constexpr std::size_t kText3Capacity = 100;
  static constexpr std::size_t kText4 = 361;
  static constexpr std::size_t kText4Capacity = 100;
  // A length byte and characters up to the record's end.
  static constexpr std::size_t kText5 = 462;
  // The strings the mapping into this layout adds: empty in every record it writes.
  static constexpr std::array<std::size_t, 2> kAddedTexts = {kText4, kText5};
  static constexpr std::array<ShortStringField, 5> kStrings = {{{kText1, kText1Capacity},
                                                                {kText2, kText2Capacity},
                                                                {kText3, kText3Capacity},
                                                                {kText4, kText4Capacity},
                                                                {kText5, kSize - kText5 - 1}}};

  std::array<std::uint8_t, kSize> bytes{};
};

// The layout of projects whose version is 140 or above. Offsets 0 to 461 are
// those of ContentRecord103.
struct ContentRecord140 {
  static constexpr std::size_t kSize = 768;
  static constexpr std::size_t kValue1 = 0;  // 1 byte; 1 to 3 are a gap
  static constexpr std::size_t kValue2 = 4;
  static constexpr std::size_t kText1 = 8;
  static constexpr std::size_t kText1Capacity = 40;
  static constexpr std::size_t kText2 = 49;
  static constexpr std::size_t kText2Capacity = 200;
  // 250 and 251 are a gap.
  static constexpr std::size_t kValue3 = 252;
  static constexpr std::size_t kValue4 = 256;
  static constexpr std::size_t kText3 = 260;
  static constexpr std::size_t kText3Capacity = 100;
  static constexpr std::size_t kText4 = 361;
  static constexpr std::size_t kText4Capacity = 100;
  static constexpr std::size_t kText5 = 462;
  static constexpr std::size_t kText5Capacity = 50;
  static constexpr std::size_t kText6 = 513;
  static constexpr std::size_t kText6Capacity = 100;
  // A length byte and characters up to the record's end.
  static constexpr std::size_t kText7 = 614;
  // The strings the mapping into this layout adds: empty in every record it writes.
  static constexpr std::array<std::size_t, 2> kAddedTexts = {kText6, kText7};
  static constexpr std::array<ShortStringField, 7> kStrings = {{{kText1, kText1Capacity},
                                                                {kText2, kText2Capacity},
                                                                {kText3, kText3Capacity},
                                                                {kText4, kText4Capacity},
                                                                {kText5, kText5Capacity},
                                                                {kText6, kText6Capacity},
                                                                {kText7, kSize - kText7 - 1}}};

  std::array<std::uint8_t, kSize> bytes{};
};

inline constexpr std::uint32_t kContentRecord102Size = ContentRecord102::kSize;
inline constexpr std::uint32_t kContentRecord103Size = ContentRecord103::kSize;
inline constexpr std::uint32_t kContentRecord140Size = ContentRecord140::kSize;

static_assert(sizeof(ContentRecord102) == kContentRecord102Size);
static_assert(sizeof(ContentRecord103) == kContentRecord103Size);
static_assert(sizeof(ContentRecord140) == kContentRecord140Size);

// Fill the target field by field. Only the named bytes of the target are
// written (values, length bytes and the characters copied); its gaps and the
// bytes after each string's text keep what the buffer held. Strings longer than
// their new field are cut at its capacity, possibly inside a double-byte
// character. No allocation, no failure.
void MapTo103(const ContentRecord102& source, ContentRecord103& target) noexcept;
void MapTo140(const ContentRecord103& source, ContentRecord140& target) noexcept;

// The records of one layout (102 or 103) as the passes up to a later one (103
// or 140) write them, one after another. Each pass maps every record into the
// same target record, so the bytes a mapping leaves alone keep what the record
// before left there: the records of each stage live as long as the chain.
class RecordChain {
 public:
  RecordChain(std::int32_t fromLayout, std::int32_t toLayout) noexcept : from_(fromLayout), to_(toLayout) {}
  // in holds one record of the first layout; out gets one of the last.
  void Map(const char* in, char* out) noexcept;

 private:
  std::int32_t from_;
  std::int32_t to_;
  ContentRecord102 r102_;
  ContentRecord103 r103_;
  ContentRecord140 r140_;
};

}  // namespace kwt
