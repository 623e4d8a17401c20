#include "type_parsing/decorators.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "tymbe-ast/extraction_fixture.h"

namespace tymbe::ast {
namespace {

using test_support::extract;
using test_support::parsed_file;
using test_support::text_at;

std::set<std::string> sorted(const LocalNames& names) { return {names.begin(), names.end()}; }

TEST(DecoratorNames, AreCollectedFromTheImportMap) {
  struct Case {
    const char* label;
    ImportMap imports;
    std::set<std::string> resolver_names;
    std::set<std::string> feature_names;
  };
  const Case cases[] = {
      {"as name", {{"tymbe", {{"online", {"resolver"}}}}}, {"resolver"}, {}},
      {"one name from both modules", {{"tymbe", {{"online", {"online"}}}}, {"tymbe.features", {{"online", {"online"}}}}},
       {"online"}, {}},
      {"all three, several local names",
       {{"tymbe", {{"online", {"on", "live"}}, {"offline", {"offline"}}}}, {"tymbe.features", {{"stream", {"s"}}}}},
       {"on", "live", "offline", "s"}, {}},
      {"features from tymbe does not count", {{"tymbe", {{"features", {"features"}}}}}, {}, {}},
      {"features and online from tymbe.features", {{"tymbe.features", {{"features", {"features"}}, {"online", {"online"}}}}},
       {"online"}, {"features"}},
      {"star import", {{"tymbe", {{"*", {"*"}}}}}, {}, {}},
      {"names compared exactly", {{"Tymbe", {{"online", {"a"}}}}, {"tymbe", {{"Online", {"b"}}}}, {"tymbe.features ", {{"features", {"c"}}}}},
       {}, {}},
      {"other modules", {{"tymbe.other", {{"online", {"x"}}}}, {"features", {{"features", {"y"}}}}}, {}, {}},
      {"empty map", {}, {}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sorted(resolver_decorator_names(c.imports)), c.resolver_names) << c.label;
    EXPECT_EQ(sorted(feature_decorator_names(c.imports)), c.feature_names) << c.label;
  }
  const ImportMap imports{{"m", {{"a", {"x"}}, {"b", {"y"}}}}};
  const std::string_view m[] = {"m"};
  const std::string_view ab[] = {"a", "b"};
  EXPECT_EQ(sorted(collect_import_names_for_symbols_from_map(imports, m, ab)), (std::set<std::string>{"x", "y"}));
  EXPECT_TRUE(collect_import_names_for_symbols_from_map(imports, {}, ab).empty());
  EXPECT_TRUE(collect_import_names_for_symbols_from_map(imports, m, {}).empty());
}

// The names of the resolvers of a file, and the text of each one's decorator.
std::vector<std::pair<std::string, std::string>> resolvers_of(const std::string& source) {
  std::vector<std::pair<std::string, std::string>> found;
  for (const ResolverAST& r : extract(source).resolvers) {
    found.emplace_back(r.resolver_name, text_at(source, *r.decorator_location));
  }
  return found;
}

TEST(DecoratorRecognition, FollowsTheFilesOwnTopLevelImports) {
  using Found = std::vector<std::pair<std::string, std::string>>;
  const std::pair<std::string, Found> cases[] = {
      {"from tymbe import online as resolver\n"
       "@resolver\ndef a(): pass\n@resolver(owner='x')\ndef b(): pass\n@online\ndef c(): pass\n",
       {{"a", "resolver"}, {"b", "resolver(owner='x')"}}},
      {"import tymbe\n@tymbe.online\ndef a(): pass\n@online\ndef b(): pass\n", {}},
      {"from tymbe import *\n@online\ndef a(): pass\n", {}},
      {"if True:\n    from tymbe import online\n@online\ndef a(): pass\n", {}},
      {"try:\n    from tymbe import online\nexcept ImportError:\n    pass\n@online\ndef a(): pass\n", {}},
      {"from . import online\nfrom .tymbe import online\n@online\ndef a(): pass\n", {}},
      {"from tymbe import online\n@online()()\ndef a(): pass\n@online.x\ndef b(): pass\n@x(online)\ndef c(): pass\n", {}},
      {"from tymbe import online, offline\n"
       "@cache\n@online(owner=\"x\")\n@offline\ndef a(): pass\n",
       {{"a", "online(owner=\"x\")"}}},
      {"from tymbe.features import stream\nclass C:\n    def m(self):\n        @stream\n        def inner(): pass\n",
       {{"inner", "stream"}}},
      // A later rebinding of the name does not matter.
      {"from tymbe import offline\noffline = 3\n@offline\ndef a(): pass\n", {{"a", "offline"}}},
  };
  for (const auto& [source, expected] : cases) EXPECT_EQ(resolvers_of(source), expected) << source;
}

TEST(DecoratorRecognition, OnlyTheFirstRecognisedDecoratorsKeywordsAreLocated) {
  const std::string source =
      "from tymbe import online, offline\n"
      "@cache(ignored=1)\n@online(owner=\"x\")\n@offline(other=2)\ndef a(): pass\n";
  const ResolverAST r = extract(source).resolvers.at(0);
  ASSERT_EQ(r.kwarg_names.size(), 1u);
  EXPECT_EQ(text_at(source, *r.kwarg_names.find("owner")), "owner");
  EXPECT_EQ(text_at(source, *r.kwargs.find("owner")), "\"x\"");
}

// Keyword maps of the first resolver's decorator, as texts.
std::map<std::string, std::pair<std::string, std::string>> keywords_of(const std::string& source) {
  std::map<std::string, std::pair<std::string, std::string>> found;
  const ResolverAST r = extract(source).resolvers.at(0);
  for (const auto& [name, location] : r.kwarg_names) found[name].first = text_at(source, location);
  for (const auto& [name, location] : r.kwargs) found[name].second = text_at(source, location);
  return found;
}

TEST(KeywordLocationMaps, LocateEachNamedKeywordsNameAndValue) {
  using Found = std::map<std::string, std::pair<std::string, std::string>>;
  const std::string head = "from tymbe import online\n";
  const std::pair<std::string, Found> cases[] = {
      {"@online(owner=\"x\", **extra)\ndef f(): pass\n", {{"owner", {"owner", "\"x\""}}}},
      {"@online(1, a = [1, 2], *rest, b=(c))\ndef f(): pass\n", {{"a", {"a", "[1, 2]"}}, {"b", {"b", "c"}}}},
      {"@online(owner  # who\n  =\n  'x')\ndef f(): pass\n", {{"owner", {"owner", "'x'"}}}},
      {"@online(\xC3\xA9t\xC3\xA9=1)\ndef f(): pass\n", {{"\xC3\xA9t\xC3\xA9", {"\xC3\xA9t\xC3\xA9", "1"}}}},
      // Full-width letters: the parser's NFKC name is not the written one.
      {"@online(\xEF\xBD\x8F\xEF\xBD\x97\xEF\xBD\x8E\xEF\xBD\x85\xEF\xBD\x92=1, tags=2)\ndef f(): pass\n",
       {{"tags", {"tags", "2"}}}},
      {"@online\ndef f(): pass\n", {}},
      {"@online()\ndef f(): pass\n", {}},
  };
  for (const auto& [body, expected] : cases) EXPECT_EQ(keywords_of(head + body), expected) << body;
}

TEST(KeywordLocationMaps, NameAndValueOnDifferentLinesKeepTheirOwnPositions) {
  const std::string source = "from tymbe import online\n@online(\n    owner\n    = \"x\")\ndef f(): pass\n";
  const ResolverAST r = extract(source).resolvers.at(0);
  EXPECT_EQ(r.kwarg_names.find("owner")->range, test_support::range(2, 4, 2, 9));
  EXPECT_EQ(r.kwargs.find("owner")->range, test_support::range(3, 6, 3, 9));
}

}  // namespace
}  // namespace tymbe::ast
