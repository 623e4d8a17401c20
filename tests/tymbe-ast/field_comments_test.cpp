#include "type_parsing/field_comments.h"

#include <gtest/gtest.h>

#include <map>

#include "tymbe-ast/extraction_fixture.h"

namespace tymbe::ast {
namespace {

using test_support::extract;

using Texts = std::vector<std::string_view>;
using Tags = std::vector<std::string>;
using Text = std::optional<std::string>;

TEST(ParseFieldCommentBlock, ReadsOwnerTagsAndDescription) {
  struct Case {
    Texts block;
    FieldCommentMetadata expected;
  };
  const Case cases[] = {
      {{"Price in cents", ":owner: data-team", ":tags: billing, core"},
       {"Price in cents\n:owner: data-team\n:tags: billing, core", "Price in cents", "data-team", {"billing", "core"}}},
      {{":tags: a,b  c"}, {":tags: a,b  c", std::nullopt, std::nullopt, {"a", "b", "c"}}},
      {{":tags:"}, {":tags:", std::nullopt, std::nullopt, {}}},
      {{":tags: a", "x", ":tags: b,,c"}, {":tags: a\nx\n:tags: b,,c", "x", std::nullopt, {"a", "b", "c"}}},
      {{":owner:"}, {":owner:", std::nullopt, "", {}}},
      {{":owner: a", ":owner:  b  "}, {":owner: a\n:owner:  b  ", std::nullopt, "b", {}}},
      {{":Owner: a", " x :owner: a"}, {":Owner: a\n x :owner: a", ":Owner: a\n x :owner: a", std::nullopt, {}}},
      {{"First", "", "Second"}, {"First\n\nSecond", "First\n\nSecond", std::nullopt, {}}},
      {{"Text", ""}, {"Text\n", "Text", std::nullopt, {}}},
      {{""}, {"", std::nullopt, std::nullopt, {}}},
      {{"", ""}, {"\n", std::nullopt, std::nullopt, {}}},
      {{"", "", ""}, {"\n\n", std::nullopt, std::nullopt, {}}},
      // Unicode white space: a no-break space between tags, an ideographic
      // space around the owner.
      {{":tags: a\xC2\xA0" "b", ":owner:\xE3\x80\x80me\xE3\x80\x80"},
       {":tags: a\xC2\xA0" "b\n:owner:\xE3\x80\x80me\xE3\x80\x80", std::nullopt, "me", {"a", "b"}}},
      {{"caf\xC3\xA9 :tags: x"}, {"caf\xC3\xA9 :tags: x", "caf\xC3\xA9 :tags: x", std::nullopt, {}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse_field_comment_block(c.block), c.expected) << testing::PrintToString(c.block);
  }
}

// Each field of the first feature class: its comment, description, owner, tags.
struct Seen {
  Text comment;
  Text description;
  Text owner;
  Tags tags;
  friend bool operator==(const Seen&, const Seen&) = default;
  friend void PrintTo(const Seen& s, std::ostream* os) {
    *os << testing::PrintToString(s.comment) << " / " << testing::PrintToString(s.description) << " / "
        << testing::PrintToString(s.owner) << " / " << testing::PrintToString(s.tags);
  }
};
std::map<std::string, Seen> fields_of(const std::string& body) {
  const std::string source = "from tymbe.features import features\n" + body;
  const ParsedAstFile file = extract(source);
  EXPECT_EQ(file.feature_classes.size(), 1u) << body;
  std::map<std::string, Seen> seen;
  if (file.feature_classes.empty()) return seen;
  for (const auto& [name, f] : file.feature_classes[0].fields) seen[name] = {f.comment, f.description, f.owner, f.tags};
  return seen;
}
Seen block(std::string text) { return {text, text, std::nullopt, {}}; }
const Seen kNone{};

TEST(FieldComments, BlocksEndOnTheLineDirectlyAboveTheField) {
  const std::pair<std::string, std::map<std::string, Seen>> cases[] = {
      {"@features\nclass A:\n    # Price in cents\n    # :owner: data-team\n    # :tags: billing, core\n    price: int\n",
       {{"price",
         {"Price in cents\n:owner: data-team\n:tags: billing, core", "Price in cents", "data-team", {"billing", "core"}}}}},
      {"@features\nclass A:\n    ##  Speed \n    x: int\n    #!y\n    y = 2\n",
       {{"x", block("Speed")}, {"y", block("!y")}}},
      // A blank line in between: no block, and the comments are not offered to y.
      {"@features\nclass A:\n    # about x\n\n    x: int\n    y: int\n", {{"x", kNone}, {"y", kNone}}},
      // Trailing comments are not part of any block.
      {"@features\nclass A:\n    x = 1  # about x\n    # about y\n    y: int\n", {{"x", kNone}, {"y", block("about y")}}},
      // A gap inside a run keeps only the part after it.
      {"@features\nclass A:\n    # one\n\n    # two\n    # three\n    x: int\n", {{"x", block("two\nthree")}}},
      // Comments inside a multi-line statement are taken looking for the next field.
      {"@features\nclass A:\n    x = f(\n        # inside\n        a=1,\n    )\n    y: int\n",
       {{"x", kNone}, {"y", kNone}}},
      {"@features\nclass A:\n    x = f(\n        a=1,\n        # inside\n    )\n    y: int\n",
       {{"x", kNone}, {"y", kNone}}},
      {"@features\nclass A:\n    x = f(\n        a=1,\n    # inside\n    ); y: int\n",
       {{"x", kNone}, {"y", block("inside")}}},
      // Between the decorator and the class line: taken for the first field, but not its block.
      {"@features\n# between\nclass A:\n    x: int\n", {{"x", kNone}}},
      // Above the first decorator: outside the class, never seen.
      {"# above\n@features\nclass A:\n    x: int\n", {{"x", kNone}}},
      {"# above\n@features\nclass A: x: int\n", {{"x", kNone}}},
      // Two fields on one line: the second finds no comments.
      {"@features\nclass A:\n    # both\n    x = 1; y = 2\n", {{"x", block("both")}, {"y", kNone}}},
      // The same name twice, each with a block: the later block wins for both.
      {"@features\nclass A:\n    # first\n    x: int\n    # second\n    x = f()\n", {{"x", block("second")}}},
      // A comment-only line standing in a nested block of the class body.
      {"@features\nclass A:\n    if True:\n        # nested\n        pass\n    x: int\n", {{"x", kNone}}},
      {"@features\nclass A:\n    if True:\n        pass\n        # nested\n    x: int\n", {{"x", block("nested")}}},
      // Ideographic spaces around the text are trimmed.
      {"@features\nclass A:\n    #\xE3\x80\x80wide\xE3\x80\x80\n    x: int\n", {{"x", block("wide")}}},
      {"@features\r\nclass A:\r\n    # crlf\r\n    x: int\r\n", {{"x", block("crlf")}}},
      {"@features\rclass A:\r    # cr\r    x: int\r", {{"x", block("cr")}}},
  };
  for (const auto& [body, expected] : cases) EXPECT_EQ(fields_of(body), expected) << body;
}

TEST(FieldComments, EveryStatementOfOneNameCarriesTheSameMetadata) {
  const std::string source =
      "from tymbe.features import features\n@features\nclass A:\n"
      "    # first\n    x: int\n    # second\n    x: str\n";
  const FeatureClassAST cls = extract(source).feature_classes.at(0);
  ASSERT_EQ(cls.annotations.size(), 2u);
  EXPECT_EQ(cls.annotations[0].comment, "second");
  EXPECT_EQ(cls.annotations[1].comment, "second");
}

}  // namespace
}  // namespace tymbe::ast
