#include "type_parsing/feature_classes.h"

#include <gtest/gtest.h>

#include <map>

#include "tymbe-ast/extraction_fixture.h"

namespace tymbe::ast {
namespace {

using test_support::extract;
using test_support::range;
using test_support::text_at;

const std::string kImport = "from tymbe.features import features\n";

TEST(FeatureClasses, AreRecognisedThroughTheImportOfFeaturesFromTymbeFeatures) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"from tymbe.features import features as feat\n"
       "@feat\nclass A: pass\n@feat(name='n')\nclass B: pass\n@features\nclass C: pass\n",
       {"A", "B"}},
      {"from tymbe.features import features as feat, features\n@features\nclass C: pass\n", {"C"}},
      {"from tymbe import features\n@features\nclass A: pass\n", {}},
      {"import tymbe.features\n@tymbe.features.features\nclass A: pass\n", {}},
      {"from .tymbe.features import features\n@features\nclass A: pass\n", {}},
      {"def setup():\n    from tymbe.features import features\n@features\nclass A: pass\n", {}},
      {kImport + "class A: pass\n@other\nclass B: pass\n@features.x\nclass C: pass\n@features()()\nclass D: pass\n", {}},
      // At any depth, in definition order.
      {kImport + "def f():\n    @features\n    class Inner: pass\n@features\nclass Outer:\n    @features\n    class Nested: pass\n",
       {"Inner", "Outer", "Nested"}},
  };
  for (const auto& [source, expected] : cases) {
    std::vector<std::string> names;
    for (const FeatureClassAST& c : extract(source).feature_classes) names.push_back(c.class_name);
    EXPECT_EQ(names, expected) << source;
  }
}

TEST(FeatureClasses, RecordTheClassDecoratorAndModule) {
  const std::string source = kImport + "@other\n@features(name=\"ns\", owner='me')\nclass UserStats(Base):  # note\n    x: int\n";
  const std::vector<FeatureClassAST> classes = extract(source).feature_classes;
  ASSERT_EQ(classes.size(), 1u);
  const FeatureClassAST& c = classes[0];
  EXPECT_EQ(c.module, "pkg.mod");
  EXPECT_EQ(c.namespace_, "ns");
  EXPECT_EQ(c.class_name_location.range, range(3, 6, 3, 15));
  EXPECT_EQ(c.class_definition_location.range, range(3, 0, 3, 30));
  EXPECT_EQ(text_at(source, c.class_definition_location), "class UserStats(Base):  # note");
  EXPECT_EQ(text_at(source, c.decorator_location), "features(name=\"ns\", owner='me')");
  EXPECT_EQ(text_at(source, *c.kwarg_names.find("owner")), "owner");
  EXPECT_EQ(text_at(source, *c.kwargs.find("name")), "\"ns\"");
  EXPECT_EQ(c.kwargs.size(), 2u);
  EXPECT_EQ(c.source, "@other\n@features(name=\"ns\", owner='me')\nclass UserStats(Base):  # note\n    x: int\n");
  EXPECT_EQ(c.class_name_location.uri.text(), "file:///fixture/pkg/mod.py");
}

TEST(FeatureClasses, DefinitionLocationCoversOnlyTheLineOfTheName) {
  const std::pair<std::string, std::string> cases[] = {
      {kImport + "@features\nclass A(\n    Base,\n):\n    x: int\n", "class A("},
      {kImport + "@features\nclass \\\n  A(Base):\n    x: int\n", "  A(Base):"},
      {kImport + "@features\r\nclass A:\r\n    x: int\r\n", "class A:\r"},  // only "\n" ends it
      {kImport + "@features\nclass A: x: int", "class A: x: int"},         // no "\n" after it
  };
  for (const auto& [source, expected] : cases) {
    EXPECT_EQ(text_at(source, extract(source).feature_classes.at(0).class_definition_location), expected) << source;
  }
}

TEST(FeatureClasses, NamespaceIsAPlainStringLiteralOrTheSnakeCaseName) {
  const std::pair<std::string, std::string> cases[] = {
      {"@features(name=\"ns\")", "ns"},
      {"@features(name='')", ""},
      {"@features(name='a\\tb')", "a\tb"},
      {"@features(name='a' 'b')", "user_stats"},
      {"@features(name=f'x')", "user_stats"},
      {"@features(name=b'x')", "user_stats"},
      {"@features(name=NS)", "user_stats"},
      {"@features(name=NS, other='x')", "user_stats"},
      {"@features(**{'name': 'x'})", "user_stats"},
      {"@features()", "user_stats"},
      {"@features", "user_stats"},
  };
  for (const auto& [decorator, expected] : cases) {
    const std::string source = kImport + decorator + "\nclass UserStats:\n    pass\n";
    EXPECT_EQ(extract(source).feature_classes.at(0).namespace_, expected) << decorator;
  }
}

// A field as texts: annotation, feature_call, and the keyword maps' names.
struct FieldView {
  std::optional<std::string> annotation;
  std::optional<std::string> feature_call;
  std::map<std::string, std::string> kwarg_names;
  std::map<std::string, std::string> kwargs;
  friend bool operator==(const FieldView&, const FieldView&) = default;
  friend void PrintTo(const FieldView& f, std::ostream* os) {
    *os << testing::PrintToString(f.annotation) << " / " << testing::PrintToString(f.feature_call) << " / "
        << testing::PrintToString(f.kwarg_names) << " / " << testing::PrintToString(f.kwargs);
  }
};
FieldView view(const std::string& source, const FeatureFieldAST& f) {
  FieldView v{text_at(source, f.annotation), text_at(source, f.feature_call), {}, {}};
  for (const auto& [name, location] : f.kwarg_names) v.kwarg_names[name] = text_at(source, location);
  for (const auto& [name, location] : f.kwargs) v.kwargs[name] = text_at(source, location);
  return v;
}

TEST(FeatureClasses, FieldStatementsGiveFieldsAndAnnotations) {
  using Fields = std::map<std::string, FieldView>;
  struct Case {
    std::string body;
    Fields fields;
    std::vector<std::string> annotations;  // names, in order
  };
  const std::map<std::string, std::string> none;
  const Case cases[] = {
      {"    x: int\n", {{"x", {"int", std::nullopt, none, none}}}, {"x"}},
      {"    x: int = 5\n", {{"x", {"int", std::nullopt, none, none}}}, {"x"}},
      {"    x: int = feature(a=1)\n", {{"x", {"int", "feature(a=1)", {{"a", "a"}}, {{"a", "1"}}}}}, {"x"}},
      {"    x = 5\n", {{"x", {std::nullopt, "5", none, none}}}, {}},
      {"    x = feature(a=1, **k)\n", {{"x", {std::nullopt, "feature(a=1, **k)", {{"a", "a"}}, {{"a", "1"}}}}}, {}},
      // Not fields.
      {"    x = y = 5\n    a, b = f()\n    self.x: int\n    d['k']: int = 1\n    x += 1\n"
       "    if True:\n        z = 1\n    def m(self):\n        w: int\n    type T = int\n",
       {}, {}},
      // An annotation, then a plain assignment of the same name, either order.
      {"    x: int\n    x = feature(a=1)\n", {{"x", {"int", "feature(a=1)", {{"a", "a"}}, {{"a", "1"}}}}}, {"x"}},
      {"    x = feature(a=1)\n    x: int\n", {{"x", {"int", "feature(a=1)", {{"a", "a"}}, {{"a", "1"}}}}}, {"x"}},
      // The last plain assignment sets the value; one that is not a call empties the maps.
      {"    x: int = feature(a=1)\n    x = 5\n", {{"x", {"int", "5", none, none}}}, {"x"}},
      {"    x = f(a=1)\n    x = g(b=2)\n", {{"x", {std::nullopt, "g(b=2)", {{"b", "b"}}, {{"b", "2"}}}}}, {}},
      {"    x: int\n    x: str = f(a=1)\n", {{"x", {"int", std::nullopt, none, none}}}, {"x", "x"}},
      {"    pass\n", {}, {}},
  };
  for (const Case& c : cases) {
    const std::string source = kImport + "@features\nclass A:\n" + c.body;
    const std::vector<FeatureClassAST> classes = extract(source).feature_classes;
    ASSERT_EQ(classes.size(), 1u) << c.body;
    Fields fields;
    for (const auto& [name, f] : classes[0].fields) {
      EXPECT_EQ(f.field_name, name);
      fields[name] = view(source, f);
    }
    EXPECT_EQ(fields, c.fields) << c.body;
    std::vector<std::string> annotations;
    for (const FeatureFieldAST& f : classes[0].annotations) annotations.push_back(f.field_name);
    EXPECT_EQ(annotations, c.annotations) << c.body;
  }
}

TEST(FeatureClasses, RepeatedNamesKeepTheFirstStatementsNameLocation) {
  const std::string source = kImport +
                             "@features\nclass A:\n    x = f(a=1)\n    x: int\n    x = g()\n    y: int\n    y: str\n"
                             "    z = f()\n    z = g()\n";
  const FeatureClassAST c = extract(source).feature_classes.at(0);
  // The annotated statement comes first among those of its name.
  EXPECT_EQ(c.fields.find("x")->field_name_location.range, range(4, 4, 4, 5));
  EXPECT_EQ(text_at(source, c.fields.find("x")->feature_call), "g()");
  EXPECT_EQ(text_at(source, c.fields.find("x")->annotation), "int");
  EXPECT_EQ(c.fields.find("y")->field_name_location.range, range(6, 4, 6, 5));
  EXPECT_EQ(text_at(source, c.fields.find("y")->annotation), "int");
  ASSERT_EQ(c.annotations.size(), 3u);
  EXPECT_EQ(text_at(source, c.annotations[2].annotation), "str");
  EXPECT_EQ(c.annotations[2].field_name_location.range, range(7, 4, 7, 5));
  EXPECT_EQ(c.fields.find("z")->field_name_location.range, range(8, 4, 8, 5));
  EXPECT_EQ(text_at(source, c.fields.find("z")->feature_call), "g()");
}

TEST(FeatureClasses, ClassWithoutFieldsIsStillReturned) {
  const FeatureClassAST c = extract(kImport + "@features\nclass A:\n    def f(self): pass\n").feature_classes.at(0);
  EXPECT_TRUE(c.fields.empty());
  EXPECT_TRUE(c.annotations.empty());
}

TEST(FeatureClasses, SourceIsTheClassesWholeLinesDedented) {
  const std::pair<std::string, std::string> cases[] = {
      // Nested in a function: from the start of the indented decorator line.
      {"def f():\n    @other\n    @features\n    class A:\n        x: int\n    y = 1\n",
       "@other\n@features\nclass A:\n    x: int\n"},
      // "\r\n" kept; a white-space-only line emptied; a trailing comment kept, the comment lines after it not.
      {"@features\r\nclass A:\r\n    x: int\r\n   \t\r\n    y: int  # last\r\n    # after\r\n",
       "@features\r\nclass A:\r\n    x: int\r\n\r\n    y: int  # last\r\n"},
      // At the end of a file without a final line break.
      {"if True:\n    @features\n    class A:\n        x: int", "@features\nclass A:\n    x: int"},
      // Tabs count as indentation; only the common prefix goes.
      {"if True:\n\t@features\n\tclass A:\n\t\tx: int\n", "@features\nclass A:\n\tx: int\n"},
      // A continuation line with less indentation lowers the common indentation.
      {"if True:\n    @features\n    class A:\n        x = f(\n  1)\n", "  @features\n  class A:\n      x = f(\n1)\n"},
      // Code on the line before the first decorator stays out.
      {"x = 1; y = 2\n@features\nclass A: pass\n", "@features\nclass A: pass\n"},
  };
  for (const auto& [body, expected] : cases) {
    const std::vector<FeatureClassAST> classes = extract(kImport + body).feature_classes;
    ASSERT_EQ(classes.size(), 1u) << body;
    EXPECT_EQ(classes[0].source, expected) << body;
  }
}

TEST(Indentation, CommonPrefixOfSpacesAndTabs) {
  EXPECT_EQ(leading_indent(" \t x"), " \t ");
  EXPECT_EQ(leading_indent("\fx"), "");
  EXPECT_EQ(leading_indent("   "), "   ");
  EXPECT_EQ(common_indent("    ", "  \t"), "  ");
  EXPECT_EQ(common_indent("\t\t", "\t  "), "\t");
  EXPECT_EQ(common_indent("  ", ""), "");
  EXPECT_EQ(dedent_lines(""), "");
  EXPECT_EQ(dedent_lines("  a\n\n    b"), "a\n\n  b");
  EXPECT_EQ(dedent_lines("  a\n \xE3\x80\x80\n  b\n"), "a\n\nb\n");  // an ideographic space line is blank
  EXPECT_EQ(dedent_lines("  a\n\f  b\n"), "  a\n\f  b\n");           // a form feed gives no indentation
  EXPECT_EQ(dedent_lines("  \n   \n"), "\n\n");
}

TEST(FeatureClasses, FileWithoutUriHasNone) {
  const std::string source = kImport + "@features\nclass A:\n    x: int\ndef f(): pass\n";
  ASSERT_EQ(extract(source).feature_classes.size(), 1u);
  for (const char* path : {"/tmp/a|b.py", "/tmp/caf\xC3\xA9.py", "no/such/relative/path.py"}) {
    const ParsedAstFile file = extract(source, path);
    EXPECT_TRUE(file.feature_classes.empty()) << path;
    EXPECT_TRUE(file.functions.empty()) << path;
  }
}

}  // namespace
}  // namespace tymbe::ast
