// The ordered string lists behind the project store, with the hash indexes that
// answer its lookups.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// ansi::UpperCase, the folding of names for lookups.
#include "runtime/cp932_text.h"

namespace kwt {

// A fixed number of buckets, each a chain of (key, value) entries with the
// newest entry at its head. Finding walks a chain from the head, so of equal
// keys the one added last is found.
class TStringHash {
 public:
  explicit TStringHash(std::size_t buckets);

  // Starts at 0; for each byte, rotate left by 2 bits, then XOR the byte.
  static std::uint32_t Hash(std::string_view key) noexcept;

  void Add(std::string_view key, std::int32_t value);
  void Clear() noexcept;
  // The value of the newest entry whose key equals key byte for byte, or -1.
  std::int32_t ValueOf(std::string_view key) const noexcept;

 private:
  static constexpr std::int32_t kEnd = -1;
  struct Entry {
    std::int32_t next;
    std::uint32_t hash;  // Compared first: a long chain then costs few key comparisons.
    std::string key;
    std::int32_t value;
  };

  // The chains live in one pool and are linked by positions in it, so a long
  // chain costs no recursion or allocation per entry when it is cleared.
  std::vector<std::int32_t> heads_;
  std::vector<Entry> entries_;
};

// An ordered, never sorted list of byte strings, each with an optional owned
// list attached (the section list attaches each section's lines). Two hash
// indexes answer lookups: whole strings, and the names before the first "=".
// Each is built at the first lookup that needs it and goes stale at every
// change of the list; lookups fold names with ansi::UpperCase unless the list
// is case-sensitive. Of equal strings or names the last one is found.
class THashedStringList {
 public:
  THashedStringList() = default;
  THashedStringList(const THashedStringList&) = delete;
  THashedStringList& operator=(const THashedStringList&) = delete;

  std::size_t Count() const noexcept { return items_.size(); }
  std::string_view Strings(std::size_t index) const { return items_[index].text; }
  // The list attached to the string at index; null when none is.
  THashedStringList* Objects(std::size_t index) const { return items_[index].object.get(); }

  // Appends a string of the list's own and answers its position.
  std::size_t Add(std::string text);
  std::size_t AddObject(std::string text, std::unique_ptr<THashedStringList> object);
  // Appends text without copying it: its bytes must stay as they are for as
  // long as the list holds them. The store's loaded file does, and so spares
  // a project of half a million lines as many allocations.
  std::size_t AddView(std::string_view text, std::unique_ptr<THashedStringList> object = nullptr);
  // Replaces the string at index in place by one of the list's own, keeping
  // its attached list.
  void Put(std::size_t index, std::string text);

  // The position of the last string equal to text (folded unless
  // case-sensitive), or -1.
  std::ptrdiff_t IndexOf(std::string_view text) const;
  // The position of the last string containing "=" whose text before the
  // first "=" equals name (folded unless case-sensitive), or -1.
  std::ptrdiff_t IndexOfName(std::string_view name) const;

  bool CaseSensitive() const noexcept { return caseSensitive_; }
  void SetCaseSensitive(bool value) noexcept;

  // The total length of all strings, for sizing output exactly.
  std::size_t TextBytes() const noexcept { return textBytes_; }

 private:
  struct Item {
    std::string_view text;  // Into owned, or into bytes the list's owner keeps.
    // Held by pointer, so that the view stays valid when the items move.
    std::unique_ptr<std::string> owned;
    std::unique_ptr<THashedStringList> object;
  };

  std::size_t Append(Item item);

  void Changed() noexcept;
  std::string KeyOf(std::string_view text) const;

  static constexpr std::size_t kBuckets = 256;

  std::vector<Item> items_;
  std::size_t textBytes_ = 0;
  bool caseSensitive_ = false;
  // Lookup caches: created on first use and rebuilt lazily, so lookups stay
  // logically const.
  mutable std::unique_ptr<TStringHash> lineIndex_;
  mutable std::unique_ptr<TStringHash> nameIndex_;
  mutable bool lineIndexValid_ = false;
  mutable bool nameIndexValid_ = false;
};

}  // namespace kwt
