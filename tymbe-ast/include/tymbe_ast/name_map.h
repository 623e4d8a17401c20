#pragma once
// A map from text to value for the records: one entry per key, in no
// promised order, stored flat because records hold a handful of entries each.
// A map that grows past a handful of entries while it is built gets a hash
// index, so that building any map stays linear in its size; copies (records
// are copied on every read) carry the entries only.

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tymbe::ast {

template <class V>
class NameMap {
 public:
  using value_type = std::pair<std::string, V>;

  NameMap() = default;
  NameMap(const NameMap& other) : entries_(other.entries_) {}
  NameMap& operator=(const NameMap& other) {
    if (this != &other) {
      entries_ = other.entries_;
      index_.reset();
    }
    return *this;
  }
  NameMap(NameMap&&) noexcept = default;
  NameMap& operator=(NameMap&&) noexcept = default;

  // Inserts, or replaces the value already stored under `key`; the entry keeps
  // its place.
  void insert_or_assign(std::string key, V value) {
    if (V* existing = find(key)) {
      *existing = std::move(value);
    } else {
      append(std::move(key), std::move(value));
    }
  }
  // Inserts unless `key` is present; returns the stored value either way.
  V& try_emplace(std::string key, V value) {
    if (V* existing = find(key)) return *existing;
    return append(std::move(key), std::move(value));
  }

  void reserve(size_t size) {
    if (size <= entries_.capacity()) return;
    entries_.reserve(size);
    reindex();
  }

  V* find(std::string_view key) {
    if (index_) {
      const auto it = index_->find(key);
      return it == index_->end() ? nullptr : &entries_[it->second].second;
    }
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const value_type& e) { return e.first == key; });
    return it == entries_.end() ? nullptr : &it->second;
  }
  const V* find(std::string_view key) const { return const_cast<NameMap*>(this)->find(key); }
  bool contains(std::string_view key) const { return find(key) != nullptr; }

  size_t size() const noexcept { return entries_.size(); }
  bool empty() const noexcept { return entries_.empty(); }
  auto begin() const noexcept { return entries_.begin(); }
  auto end() const noexcept { return entries_.end(); }

  friend bool operator==(const NameMap& a, const NameMap& b) {
    if (a.size() != b.size()) return false;
    for (const auto& [key, value] : a) {
      const V* other = b.find(key);
      if (!other || !(*other == value)) return false;
    }
    return true;
  }

 private:
  // Up to this many entries a search is cheaper than an index.
  static constexpr size_t kIndexedFrom = 16;
  // Keys are views of the entries' own strings, so it is rebuilt whenever the
  // entries move (a larger buffer); moving the whole map keeps the buffer.
  using Index = std::unordered_map<std::string_view, size_t>;

  V& append(std::string key, V value) {
    const auto* const buffer = entries_.data();
    value_type& entry = entries_.emplace_back(std::move(key), std::move(value));
    if (entries_.data() != buffer || (!index_ && entries_.size() > kIndexedFrom)) {
      reindex();
    } else if (index_) {
      index_->emplace(entry.first, entries_.size() - 1);
    }
    return entry.second;
  }

  void reindex() {
    if (entries_.size() <= kIndexedFrom) {
      index_.reset();
      return;
    }
    auto index = std::make_unique<Index>();
    index->reserve(entries_.capacity());
    for (size_t i = 0; i < entries_.size(); ++i) index->emplace(entries_[i].first, i);
    index_ = std::move(index);
  }

  std::vector<value_type> entries_;
  std::unique_ptr<Index> index_;
};

}  // namespace tymbe::ast
