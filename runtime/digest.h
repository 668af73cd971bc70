// A digest of a file's bytes, for telling a change that the file's stamps
// cannot show: a same-size rewrite within one tick of a coarse clock (FAT
// and exFAT keep the write time in seconds or two). Not for security: only
// for noticing that bytes differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace kwt {

namespace platform {
struct Place;
}  // namespace platform

// 64-bit FNV-1a over the bytes added, in order, run as four lanes (byte i
// goes to lane i % 4, counted from the first byte added) and folded into one
// at the end: the lanes do not wait for one another's multiplications, so a
// project file of megabytes is digested about four times as fast as by one.
class Digest {
 public:
  void Add(const void* bytes, std::size_t size) noexcept {
    const auto* byte = static_cast<const unsigned char*>(bytes);
    std::size_t i = 0;
    for (; i < size && (added_ & 3) != 0; ++i) Mix(byte[i]);
    std::uint64_t a = lanes_[0], b = lanes_[1], c = lanes_[2], d = lanes_[3];
    for (; i + 4 <= size; i += 4) {
      a = (a ^ byte[i]) * kPrime;
      b = (b ^ byte[i + 1]) * kPrime;
      c = (c ^ byte[i + 2]) * kPrime;
      d = (d ^ byte[i + 3]) * kPrime;
      added_ += 4;
    }
    lanes_[0] = a;
    lanes_[1] = b;
    lanes_[2] = c;
    lanes_[3] = d;
    for (; i < size; ++i) Mix(byte[i]);
  }
  std::uint64_t Value() const noexcept {
    std::uint64_t value = kBasis;
    for (const std::uint64_t lane : lanes_) value = (value ^ lane) * kPrime;
    return (value ^ added_) * kPrime;
  }

 private:
  void Mix(unsigned char byte) noexcept {
    std::uint64_t& lane = lanes_[added_ & 3];
    lane = (lane ^ byte) * kPrime;
    ++added_;
  }
  static constexpr std::uint64_t kPrime = 0x100000001B3;
  static constexpr std::uint64_t kBasis = 0xCBF29CE484222325;
  std::uint64_t lanes_[4] = {kBasis, kBasis, kBasis, kBasis};
  std::uint64_t added_ = 0;
};

// The digest of the file place names; none when it cannot be opened or read,
// and then failure, where given, takes the code of the call that failed.
std::optional<std::uint64_t> DigestOf(const platform::Place& place, std::uint32_t* failure = nullptr);

}  // namespace kwt
