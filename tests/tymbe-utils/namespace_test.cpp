#include "tymbe_utils/namespace.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <latch>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using tymbe::utils::build_namespaced_name;
using tymbe::utils::to_snake_case;

struct SnakeCase {
  std::string name;
  std::string expected;
};

const std::vector<SnakeCase>& snake_case_examples() {
  static const std::vector<SnakeCase> examples = {
      {"MyFeatures", "my_features"},
      {"FooBar", "foo_bar"},
      {"camelCase", "camel_case"},
      {"User", "user"},
      {"A", "a"},
      {"", ""},
      // Runs of capitals.
      {"XMLParser", "xml_parser"},
      {"SQLQueryBuilder", "sql_query_builder"},
      {"getSQLResultCode", "get_sql_result_code"},
      {"APIKey", "api_key"},
      {"ABC", "abc"},
      {"fooBAR", "foo_bar"},
      {"userID", "user_id"},
      {"iOSApp", "i_os_app"},
      // Digits.
      {"myXML2Parser", "my_xml2_parser"},
      {"Version2Beta", "version2_beta"},
      {"HTML5Parser", "html5_parser"},
      {"DataV2", "data_v2"},
      {"v2Data", "v2_data"},
      {"a1B2C", "a1_b2_c"},
      // Underscores.
      {"my_Class", "my_class"},
      {"Foo_Bar", "foo_bar"},
      {"already_snake", "already_snake"},
      {"a__B", "a_b"},
      {"a__Bc", "a__bc"},
      {"Foo__Bar", "foo__bar"},
      {"_Private", "_private"},
      {"__Dunder", "__dunder"},
      {"___A", "__a"},
      {"CamelCase_", "camel_case_"},
      // Other characters before a capitalised word; "." stops only at a line feed.
      {"Some Class", "some _class"},
      {"Foo:Bar", "foo:_bar"},
      {"a\rBc", "a\r_bc"},
      {"a\nBc", "a\nbc"},
      {"a\u2028Bc", "a\u2028_bc"},
      // Non-ASCII: never in the ASCII classes, matched whole by ".", lower-cased fully.
      {"\u00c9coleNormale", "\u00e9cole_normale"},
      {"foo\u00c9cole", "foo\u00e9cole"},
      {"\u00e9Bc", "\u00e9_bc"},
      {"\U0001F600Bc", "\U0001F600_bc"},
      {"\u0130stanbulCity", "i\u0307stanbul_city"},
      {"\u03a3\u0391\u03a3", "\u03c3\u03b1\u03c2"},
      {"\u03a3\u0391\u03a3 \u03a3", "\u03c3\u03b1\u03c2 \u03c3"},
      // Root-locale mapping: no Turkish dotless i.
      {"TITLE", "title"},
  };
  return examples;
}

TEST(ToSnakeCase, Examples) {
  for (const auto& [name, expected] : snake_case_examples()) {
    EXPECT_EQ(to_snake_case(name), expected) << name;
  }
}

TEST(ToSnakeCase, EveryMatchOfALongTextIsReplaced) {
  std::string name;
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    name += "FooBar";
    expected += i == 0 ? "foo_bar" : "_foo_bar";
  }
  EXPECT_EQ(to_snake_case(name), expected);
}

TEST(ToSnakeCase, IllFormedUtf8IsKept) {
  EXPECT_EQ(to_snake_case("\xff" "ABC"), "\xff" "abc");
  EXPECT_EQ(to_snake_case(std::string("A\0B", 3)), std::string("a\0b", 3));
}

// Re-executes this test alone, so the patterns are built while the threads race.
TEST(ToSnakeCase, FirstCallsFromManyThreadsAgree) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        constexpr int THREADS = 8;
        std::latch start(THREADS);
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < THREADS; ++t) {
          threads.emplace_back([&] {
            start.arrive_and_wait();
            for (const auto& [name, expected] : snake_case_examples()) {
              if (to_snake_case(name) != expected) ++wrong;
            }
          });
        }
        for (auto& thread : threads) thread.join();
        std::exit(wrong == 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

struct Namespaced {
  std::optional<std::string> namespace_;
  std::optional<std::string> name;
  std::string expected;
};

TEST(BuildNamespacedName, Examples) {
  const std::optional<std::string> none;
  const std::vector<Namespaced> cases = {
      {none, none, ""},
      {"", "", ""},
      {"", none, ""},
      {none, "x", "x"},
      {"Foo", "", "foo"},
      {"MyFeatures::UserStats", "count", "my_features::user_stats::count"},
      {"MyFeatures", "UserCount", "my_features::UserCount"},
      {"SQLStore::Metrics", "p99Latency", "sql_store::metrics::p99Latency"},
      {"A::::B", none, "a::b"},
      {"::A::", none, "a"},
      {"::", none, ""},
      {"A:::B", none, "a:::b"},
      {":::", none, ":"},
      {none, "a::b", "a::b"},
      {"Foo", "bar::Baz", "foo::bar::Baz"},
      {"::", "Name", "Name"},
  };
  for (const auto& [namespace_, name, expected] : cases) {
    const auto view = [](const std::optional<std::string>& s) {
      return s ? std::optional<std::string_view>(*s) : std::nullopt;
    };
    EXPECT_EQ(build_namespaced_name(view(namespace_), view(name)), expected)
        << namespace_.value_or("<absent>") << " / " << name.value_or("<absent>");
  }
}

}  // namespace
