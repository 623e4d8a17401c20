#pragma once
// A small map from text to value for the records: one entry per key, in no
// promised order, stored flat because records hold a handful of entries each.

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tymbe::ast {

template <class V>
class NameMap {
 public:
  using value_type = std::pair<std::string, V>;

  // Inserts, or replaces the value already stored under `key`.
  void insert_or_assign(std::string key, V value) {
    if (V* existing = find(key)) {
      *existing = std::move(value);
    } else {
      entries_.emplace_back(std::move(key), std::move(value));
    }
  }
  // Inserts unless `key` is present; returns the stored value either way.
  V& try_emplace(std::string key, V value) {
    if (V* existing = find(key)) return *existing;
    return entries_.emplace_back(std::move(key), std::move(value)).second;
  }

  // Appends an entry whose key the caller knows to be absent, for filling a
  // large map without a search per entry.
  V& emplace_new(std::string key, V value) { return entries_.emplace_back(std::move(key), std::move(value)).second; }
  void reserve(size_t size) { entries_.reserve(size); }

  V* find(std::string_view key) {
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
  std::vector<value_type> entries_;
};

}  // namespace tymbe::ast
