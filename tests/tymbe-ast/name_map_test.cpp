#include "tymbe_ast/name_map.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "extraction_fixture.h"

namespace tymbe::ast {
namespace {

using Entries = std::vector<std::pair<std::string, int>>;

// Built by appending (numbered("k", i) trips a false -Wrestrict in GCC 12).
std::string numbered(std::string_view prefix, size_t i) {
  std::string text(prefix);
  text += std::to_string(i);
  return text;
}

// What a map filled by insert_or_assign must hold: each key once, at the place
// of its first insertion, with the value of its last.
Entries replaced_in_place(const Entries& inserted) {
  Entries expected;
  std::map<std::string, size_t> place;
  for (const auto& [key, value] : inserted) {
    if (auto it = place.find(key); it != place.end()) {
      expected[it->second].second = value;
    } else {
      place.emplace(key, expected.size());
      expected.emplace_back(key, value);
    }
  }
  return expected;
}

Entries entries_of(const NameMap<int>& map) { return Entries(map.begin(), map.end()); }

// Keys short enough to sit inside their strings and long ones, each key
// given again after `repeat_after` others, for sizes on both sides of the
// point where the map starts indexing.
Entries insertions(size_t distinct, size_t repeat_after) {
  Entries inserted;
  for (size_t i = 0; i < distinct; ++i) {
    std::string key = i % 3 == 0 ? numbered("a_rather_long_key_name_", i) : numbered("k", i);
    inserted.emplace_back(key, static_cast<int>(i));
    if (i >= repeat_after) inserted.emplace_back(inserted[2 * (i - repeat_after)].first, -static_cast<int>(i));
  }
  return inserted;
}

TEST(NameMap, LaterEntryReplacesTheEarlierInPlace) {
  for (const size_t distinct : {1, 5, 16, 17, 40, 1000, 5000}) {
    for (const size_t repeat_after : {size_t{0}, size_t{3}, distinct / 2}) {
      const Entries inserted = insertions(distinct, repeat_after);
      NameMap<int> map;
      for (const auto& [key, value] : inserted) map.insert_or_assign(key, value);
      const Entries expected = replaced_in_place(inserted);
      ASSERT_EQ(entries_of(map), expected) << distinct << " keys, repeated after " << repeat_after;
      for (const auto& [key, value] : expected) ASSERT_EQ(*map.find(key), value) << key;
      EXPECT_FALSE(map.contains("absent"));
    }
  }
}

TEST(NameMap, TryEmplaceKeepsTheFirstValue) {
  NameMap<int> map;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 100; ++i) EXPECT_EQ(map.try_emplace(numbered("k", i), i + round * 1000), i);
  }
  EXPECT_EQ(map.size(), 100u);
}

// Copies, moves and reserving keep every key findable, and a copy that grows
// again still replaces instead of adding a second entry.
TEST(NameMap, CopiesAndMovesStayConsistent) {
  NameMap<int> original;
  for (int i = 0; i < 50; ++i) original.insert_or_assign(numbered("k", i), i);

  NameMap<int> copy = original;
  NameMap<int> assigned;
  assigned = original;
  NameMap<int> source = original;
  NameMap<int> moved = std::move(source);
  NameMap<int> reserved = original;
  reserved.reserve(10000);
  for (NameMap<int>* map : {&copy, &assigned, &moved, &reserved}) {
    EXPECT_EQ(*map, original);
    for (int i = 0; i < 100; ++i) map->insert_or_assign(numbered("k", i), -i);
    ASSERT_EQ(map->size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(*map->find(numbered("k", i)), -i);
  }
  EXPECT_EQ(*original.find("k7"), 7);
}

// Through extraction: many parameters with a repeated name, and a dict
// display with many keys given twice; the later one wins.
TEST(NameMap, ExtractionReplacesEarlierEntriesInLargeMaps) {
  std::string parameters;
  for (int i = 0; i < 300; ++i) parameters += numbered("p", i) + ": int, ";
  std::string tags;
  for (int i = 0; i < 300; ++i) tags += numbered("'t", i % 150) + "': " + std::to_string(i) + ", ";
  const std::string source = "from tymbe import online\n@online(tags={" + tags + "})\ndef f(" + parameters +
                             "p7: str):\n    pass\n";
  const ParsedAstFile file = test_support::extract(source);
  ASSERT_EQ(file.resolvers.size(), 1u);
  const ResolverAST& f = file.resolvers[0];
  EXPECT_EQ(f.args_in_order.size(), 301u);
  EXPECT_EQ(f.args.size(), 300u);
  EXPECT_EQ(test_support::text_at(source, f.args.find("p7")->arg_location), "p7: str");
  const LocationMap& values = *f.kwarg_dict_values.find("tags");
  EXPECT_EQ(values.size(), 150u);
  EXPECT_EQ(test_support::text_at(source, *values.find("t3")), "153");
}

}  // namespace
}  // namespace tymbe::ast
