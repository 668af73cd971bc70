#include "runtime/hashed_string_list.h"

#include <limits>
#include <stdexcept>

#include "runtime/cp932_text.h"

namespace kwt {

TStringHash::TStringHash(std::size_t buckets) : heads_(buckets == 0 ? 1 : buckets, kEnd) {}

std::uint32_t TStringHash::Hash(std::string_view key) noexcept {
  std::uint32_t hash = 0;
  for (const char byte : key) {
    hash = (hash << 2) | (hash >> 30);
    hash ^= static_cast<unsigned char>(byte);
  }
  return hash;
}

void TStringHash::Add(std::string_view key, std::int32_t value) {
  if (entries_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw std::length_error("TStringHash: too many entries");
  }
  const std::uint32_t hash = Hash(key);
  const std::size_t bucket = hash % heads_.size();
  entries_.push_back(Entry{heads_[bucket], hash, std::string(key), value});
  heads_[bucket] = static_cast<std::int32_t>(entries_.size() - 1);
}

void TStringHash::Clear() noexcept {
  entries_.clear();
  for (auto& head : heads_) head = kEnd;
}

std::int32_t TStringHash::ValueOf(std::string_view key) const noexcept {
  const std::uint32_t hash = Hash(key);
  for (std::int32_t at = heads_[hash % heads_.size()]; at != kEnd; at = entries_[at].next) {
    if (entries_[at].hash == hash && entries_[at].key == key) return entries_[at].value;
  }
  return -1;
}

std::size_t THashedStringList::Add(std::string text) {
  return AddObject(std::move(text), nullptr);
}

std::size_t THashedStringList::AddObject(std::string text, std::unique_ptr<THashedStringList> object) {
  auto owned = std::make_unique<std::string>(std::move(text));
  const std::string_view view = *owned;
  return Append(Item{view, std::move(owned), std::move(object)});
}

std::size_t THashedStringList::AddView(std::string_view text, std::unique_ptr<THashedStringList> object) {
  return Append(Item{text, nullptr, std::move(object)});
}

std::size_t THashedStringList::Append(Item item) {
  textBytes_ += item.text.size();
  items_.push_back(std::move(item));
  Changed();
  return items_.size() - 1;
}

void THashedStringList::Put(std::size_t index, std::string text) {
  Item& item = items_.at(index);
  auto owned = std::make_unique<std::string>(std::move(text));
  textBytes_ = textBytes_ - item.text.size() + owned->size();
  item.text = *owned;
  item.owned = std::move(owned);
  Changed();
}

void THashedStringList::SetCaseSensitive(bool value) noexcept {
  caseSensitive_ = value;
  Changed();
}

void THashedStringList::Changed() noexcept {
  lineIndexValid_ = false;
  nameIndexValid_ = false;
}

std::string THashedStringList::KeyOf(std::string_view text) const {
  return caseSensitive_ ? std::string(text) : ansi::UpperCase(text);
}

std::ptrdiff_t THashedStringList::IndexOf(std::string_view text) const {
  if (!lineIndexValid_) {
    if (!lineIndex_) lineIndex_ = std::make_unique<TStringHash>(kBuckets);
    lineIndex_->Clear();
    for (std::size_t i = 0; i < items_.size(); ++i) {
      lineIndex_->Add(KeyOf(items_[i].text), static_cast<std::int32_t>(i));
    }
    lineIndexValid_ = true;
  }
  return lineIndex_->ValueOf(KeyOf(text));
}

std::ptrdiff_t THashedStringList::IndexOfName(std::string_view name) const {
  if (!nameIndexValid_) {
    if (!nameIndex_) nameIndex_ = std::make_unique<TStringHash>(kBuckets);
    nameIndex_->Clear();
    for (std::size_t i = 0; i < items_.size(); ++i) {
      const std::string_view text = items_[i].text;
      const std::size_t equals = text.find('=');
      if (equals != std::string_view::npos) {
        nameIndex_->Add(KeyOf(text.substr(0, equals)), static_cast<std::int32_t>(i));
      }
    }
    nameIndexValid_ = true;
  }
  return nameIndex_->ValueOf(KeyOf(name));
}

}  // namespace kwt
