// The record mappings, and the short-string copy beneath them, for any length
// bytes: nothing is read or written outside the buffers (each record lives in
// its own exactly sized heap block, so AddressSanitizer sees the first byte
// past it), and the target holds exactly what a field-by-field model of the
// layouts says, every other byte untouched.
//
// Input, in order: a 300-byte record, a 516-byte record, the previous contents
// of the 516- and 768-byte targets; missing bytes are filled with a pattern.
// Then, for the short-string copy: three size bytes and the source bytes.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "convert/content_records.h"
#include "fuzz/fuzz_check.h"
#include "runtime/record_file.h"

namespace {

using kwt::ContentRecord102;
using kwt::ContentRecord103;
using kwt::ContentRecord140;

// Hands out the input's bytes in order, then a fixed pattern.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Next() {
    if (at_ < size_) return data_[at_++];
    return static_cast<std::uint8_t>(0xA5 ^ (filler_++ * 7));
  }
  template <std::size_t N>
  void Fill(std::array<std::uint8_t, N>& bytes) {
    for (auto& byte : bytes) byte = Next();
  }
  std::size_t Left() const { return size_ - std::min(at_, size_); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  std::size_t filler_ = 0;
};

// One field of a layout, by offset; the model's own copy of the tables.
struct Move {
  enum Kind { kValue1, kValue4, kText, kEmpty } kind;
  std::size_t from;
  std::size_t to;
  std::size_t capacity;  // kText only
};

constexpr Move k102To103[] = {
    {Move::kValue1, 0, 0, 0},     {Move::kValue4, 4, 4, 0},     {Move::kText, 8, 8, 40},
    {Move::kText, 39, 49, 200},   {Move::kValue4, 240, 252, 0}, {Move::kValue4, 296, 256, 0},
    {Move::kText, 244, 260, 100}, {Move::kEmpty, 0, 361, 0},    {Move::kEmpty, 0, 462, 0},
};

constexpr Move k103To140[] = {
    {Move::kValue1, 0, 0, 0},     {Move::kValue4, 4, 4, 0},     {Move::kText, 8, 8, 40},
    {Move::kText, 49, 49, 200},   {Move::kValue4, 252, 252, 0}, {Move::kValue4, 256, 256, 0},
    {Move::kText, 260, 260, 100}, {Move::kText, 361, 361, 100}, {Move::kText, 462, 462, 50},
    {Move::kEmpty, 0, 513, 0},    {Move::kEmpty, 0, 614, 0},
};

// What a mapping must leave in target: its previous bytes with the named
// fields written. A text takes min(length byte, capacity) characters, cut at
// the source record's end.
template <std::size_t From, std::size_t To, std::size_t Fields>
std::array<std::uint8_t, To> Expected(const std::array<std::uint8_t, From>& from,
                                      std::array<std::uint8_t, To> to, const Move (&moves)[Fields]) {
  for (const Move& move : moves) {
    switch (move.kind) {
      case Move::kValue1: to[move.to] = from[move.from]; break;
      case Move::kValue4:
        for (std::size_t i = 0; i < 4; ++i) to[move.to + i] = from[move.from + i];
        break;
      case Move::kText: {
        std::size_t count = std::min<std::size_t>(from[move.from], move.capacity);
        count = std::min(count, From - move.from - 1);
        to[move.to] = static_cast<std::uint8_t>(count);
        for (std::size_t i = 1; i <= count; ++i) to[move.to + i] = from[move.from + i];
        break;
      }
      case Move::kEmpty: to[move.to] = 0; break;
    }
  }
  return to;
}

void CheckShortStringCopy(Bytes& input) {
  const std::size_t destinationSize = input.Next();
  const std::size_t sourceSize = input.Next();
  const std::size_t capacity = input.Next();
  std::vector<std::uint8_t> destination(destinationSize);
  std::vector<std::uint8_t> source(sourceSize);
  for (auto& byte : destination) byte = input.Next();
  for (auto& byte : source) byte = input.Next();
  std::vector<std::uint8_t> expected = destination;
  if (!destination.empty() && !source.empty()) {
    const std::size_t count =
        std::min({std::size_t{source[0]}, capacity, source.size() - 1, destination.size() - 1});
    expected[0] = static_cast<std::uint8_t>(count);
    std::copy_n(source.begin() + 1, count, expected.begin() + 1);
  }
  kwt::CopyShortString(std::span<std::uint8_t>(destination), std::span<const std::uint8_t>(source), capacity);
  KWT_FUZZ_CHECK(destination == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes input(data, size);
  auto oldRecord = std::make_unique<ContentRecord102>();
  auto middleRecord = std::make_unique<ContentRecord103>();
  auto mapped103 = std::make_unique<ContentRecord103>();
  auto mapped140 = std::make_unique<ContentRecord140>();
  input.Fill(oldRecord->bytes);
  input.Fill(middleRecord->bytes);
  input.Fill(mapped103->bytes);
  input.Fill(mapped140->bytes);
  const auto previous103 = mapped103->bytes;
  const auto previous140 = mapped140->bytes;

  kwt::MapTo103(*oldRecord, *mapped103);
  KWT_FUZZ_CHECK(mapped103->bytes == Expected(oldRecord->bytes, previous103, k102To103));

  kwt::MapTo140(*middleRecord, *mapped140);
  KWT_FUZZ_CHECK(mapped140->bytes == Expected(middleRecord->bytes, previous140, k103To140));

  // The conversion's own chain: a record mapped to 103 maps on to 140.
  const auto beforeChain = mapped140->bytes;
  kwt::MapTo140(*mapped103, *mapped140);
  KWT_FUZZ_CHECK(mapped140->bytes == Expected(mapped103->bytes, beforeChain, k103To140));

  // The sources are read only.
  Bytes again(data, size);
  std::array<std::uint8_t, ContentRecord102::kSize> oldCopy;
  std::array<std::uint8_t, ContentRecord103::kSize> middleCopy;
  again.Fill(oldCopy);
  again.Fill(middleCopy);
  KWT_FUZZ_CHECK(oldRecord->bytes == oldCopy && middleRecord->bytes == middleCopy);

  CheckShortStringCopy(input);
  return 0;
}
