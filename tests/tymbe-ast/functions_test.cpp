#include "type_parsing/functions.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <map>

#include "tymbe-ast/extraction_fixture.h"

namespace tymbe::ast {
namespace {

using test_support::extract;
using test_support::range;
using test_support::text_at;

std::vector<std::string> names_of(const std::vector<ResolverAST>& functions) {
  std::vector<std::string> names;
  for (const ResolverAST& f : functions) names.push_back(f.resolver_name);
  return names;
}

TEST(Functions, EveryDefinitionAtAnyDepthInDefinitionOrder) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"x = 1\nclass A: pass\n", {}},
      {"def f(): pass\nclass A:\n    def m(self):\n        def nested(): pass\nif x:\n    def g(): pass\n",
       {"f", "m", "nested", "g"}},
      {"for a in b:\n    def f1(): pass\nelse:\n    def f2(): pass\n"
       "while c:\n    def w1(): pass\nelse:\n    def w2(): pass\n"
       "if a:\n    def i1(): pass\nelif b:\n    def i2(): pass\nelse:\n    def i3(): pass\n"
       "with c as d:\n    async def w(): pass\n"
       "match e:\n    case 1:\n        def c1(): pass\n    case _:\n        def c2(): pass\n"
       "try:\n    def t1(): pass\nexcept A:\n    def t2(): pass\nelse:\n    def t3(): pass\n"
       "finally:\n    def t4(): pass\n"
       "try:\n    pass\nexcept* B:\n    def t5(): pass\n"
       "async def a():\n    async for x in y:\n        def af(): pass\n    async with z:\n        def aw(): pass\n",
       {"f1", "f2", "w1", "w2", "i1", "i2", "i3", "w", "c1", "c2", "t1", "t2", "t3", "t4", "t5", "a", "af", "aw"}},
      // A definition comes before those in its body, then its siblings follow.
      {"def a():\n    def b():\n        def c(): pass\n    def d(): pass\ndef e(): pass\n", {"a", "b", "c", "d", "e"}},
      {"def load(): pass\ndef load(): pass\n", {"load", "load"}},
      // Definitions inside expressions do not exist; lambdas are not functions.
      {"f = lambda: 1\n", {}},
  };
  for (const auto& [source, expected] : cases) EXPECT_EQ(names_of(extract(source).functions), expected) << source;
}

TEST(Functions, MethodAndTopLevelFunctionOfOneNameAreTwoRecords) {
  const ParsedAstFile file = extract("class A:\n    def load(self): pass\ndef load(): pass\n");
  ASSERT_EQ(file.functions.size(), 2u);
  EXPECT_EQ(file.functions[0].resolver_name_location.range, range(1, 8, 1, 12));
  EXPECT_EQ(file.functions[1].resolver_name_location.range, range(2, 4, 2, 8));
  EXPECT_EQ(file.functions[0].module, "pkg.mod");
  EXPECT_EQ(file.functions[1].module, "pkg.mod");
  EXPECT_TRUE(file.resolvers.empty());
}

TEST(Functions, ResolversAreTheFunctionsWithARecognisedDecorator) {
  const std::string source =
      "from tymbe import online\nfrom tymbe.features import offline as live\n"
      "@online\ndef a(): pass\ndef b(): pass\n@live(owner='x')\ndef c(): pass\n@offline\ndef d(): pass\n";
  const ParsedAstFile file = extract(source);
  EXPECT_EQ(names_of(file.functions), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(names_of(file.resolvers), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(file.resolvers[1], file.functions[2]);
  EXPECT_FALSE(file.functions[1].decorator_location);
}

TEST(Functions, ParametersInTheirFiveGroups) {
  const std::string source = "def f(a, /, b: int = 1, *args: str, c, d: 'x' = 2, **kw): pass\n";
  const ResolverAST f = extract(source).functions.at(0);
  EXPECT_EQ(f.args_in_order, (std::vector<std::string>{"a", "b", "args", "c", "d", "kw"}));
  const std::map<std::string, std::pair<std::string, std::optional<std::string>>> expected{
      {"a", {"a", std::nullopt}},           {"b", {"b: int", "int"}}, {"args", {"*args: str", "str"}},
      {"c", {"c", std::nullopt}},           {"d", {"d: 'x'", "'x'"}}, {"kw", {"**kw", std::nullopt}},
  };
  ASSERT_EQ(f.args.size(), expected.size());
  for (const auto& [name, texts] : expected) {
    const FunctionArgAST* arg = f.args.find(name);
    ASSERT_TRUE(arg) << name;
    EXPECT_EQ(arg->arg_name, name);
    EXPECT_EQ(text_at(source, arg->arg_location), texts.first);
    EXPECT_EQ(text_at(source, arg->annotation), texts.second);
  }
  const std::vector<std::string> keyword_only =
      extract("def g(*, k, **kw): pass\n").functions.at(0).args_in_order;
  EXPECT_EQ(keyword_only, (std::vector<std::string>{"k", "kw"}));
}

TEST(Functions, RepeatedParameterNameIsListedTwiceAndKeptOnce) {
  const std::string source = "def f(a, a: int): pass\n";
  const ResolverAST f = extract(source).functions.at(0);
  EXPECT_EQ(f.args_in_order, (std::vector<std::string>{"a", "a"}));
  ASSERT_EQ(f.args.size(), 1u);
  EXPECT_EQ(text_at(source, f.args.find("a")->arg_location), "a: int");
}

TEST(Functions, ReturnAnnotationOrTheColonWhereItIsMissing) {
  struct Case {
    std::string source;
    std::optional<std::string> annotation;
    std::optional<Range> missing;
  };
  const Case cases[] = {
      {"def f() -> int:\n    pass\n", "int", std::nullopt},
      {"def f():\n    pass\n", std::nullopt, range(0, 7, 0, 8)},
      {"def f() :\n    pass\n", std::nullopt, range(0, 8, 0, 9)},
      {"def f(a: int,\n      b: str\n      )   :  pass\n", std::nullopt, range(2, 10, 2, 11)},
      {"def f[T: int](x: T): pass\n", std::nullopt, range(0, 19, 0, 20)},
      {"def f(x: dict[str, int]) -> 'a:b': pass\n", "'a:b'", std::nullopt},
  };
  for (const Case& c : cases) {
    const ResolverAST f = extract(c.source).functions.at(0);
    EXPECT_EQ(text_at(c.source, f.return_annotation), c.annotation) << c.source;
    EXPECT_EQ(f.missing_return_annotation.has_value(), c.missing.has_value()) << c.source;
    if (f.missing_return_annotation && c.missing) {
      EXPECT_EQ(f.missing_return_annotation->range, *c.missing) << c.source;
    }
  }
}

TEST(Functions, BodyReturnStatementsAndTheFirstDirectReturnValue) {
  struct Case {
    std::string source;
    std::string body;
    std::vector<std::string> returns;
    std::optional<std::string> return_arg;
  };
  const Case cases[] = {
      {"def f(): return 1\n", "return 1", {"return 1"}, "1"},
      {"def f():\n    x = 1\n    return x + 1\n", "x = 1\n    return x + 1", {"return x + 1"}, "x + 1"},
      {"def f():\n    return\n    return 1\n", "return\n    return 1", {"return", "return 1"}, std::nullopt},
      {"def f():\n    if a:\n        return x\n", "if a:\n        return x", {"return x"}, std::nullopt},
      {"def f():\n    if a:\n        return x\n    return (y)\n", "if a:\n        return x\n    return (y)",
       {"return x", "return (y)"}, "y"},
      {"def f():\n    try:\n        return 1\n    finally:\n        return 2\n    return 3\n",
       "try:\n        return 1\n    finally:\n        return 2\n    return 3", {"return 1", "return 2", "return 3"}, "3"},
      {"def f():\n    return a, b\n", "return a, b", {"return a, b"}, "a, b"},
  };
  for (const Case& c : cases) {
    const ResolverAST f = extract(c.source).functions.at(0);
    EXPECT_EQ(text_at(c.source, f.body), c.body) << c.source;
    std::vector<std::string> returns;
    for (const Location& r : f.return_statements) returns.push_back(text_at(c.source, r));
    EXPECT_EQ(returns, c.returns) << c.source;
    EXPECT_EQ(text_at(c.source, f.return_arg), c.return_arg) << c.source;
  }
}

TEST(Functions, ReturnsOfNestedDefinitionsBelongToTheEnclosingFunctionToo) {
  const std::string source =
      "def outer():\n    def inner():\n        return 1\n    class C:\n        def m(self):\n            return 2\n"
      "    return inner\n";
  const std::vector<ResolverAST> functions = extract(source).functions;
  ASSERT_EQ(names_of(functions), (std::vector<std::string>{"outer", "inner", "m"}));
  std::vector<std::string> outer;
  for (const Location& r : functions[0].return_statements) outer.push_back(text_at(source, r));
  EXPECT_EQ(outer, (std::vector<std::string>{"return 1", "return 2", "return inner"}));
  EXPECT_EQ(text_at(source, functions[0].return_arg), "inner");
  ASSERT_EQ(functions[1].return_statements.size(), 1u);
  EXPECT_EQ(text_at(source, functions[1].return_statements[0]), "return 1");
}

TEST(Functions, DecoratorKeywordsAndTheirDictDisplays) {
  const std::string source =
      "from tymbe import online\n"
      "@cache\n"
      "@online(owner=\"x\", tags={\"a\": 1, \"b\": x, 3: y, **extra, \"c\" \"d\": z, f\"e\": 0, b\"f\": 0, \"a\": 2},\n"
      "        none={1: 2}, made=make_tags(), comp={k: v for k, v in z}, empty={}, **more)\n"
      "@offline\n"
      "def f(): pass\n";
  const ResolverAST f = extract(source).resolvers.at(0);
  EXPECT_EQ(text_at(source, f.decorator_location),
            source.substr(source.find("online("), source.find(")\n@offline") + 1 - source.find("online(")));
  std::map<std::string, std::string> kwargs;
  for (const auto& [name, location] : f.kwargs) kwargs[name] = text_at(source, location);
  EXPECT_EQ(kwargs.size(), 6u);
  EXPECT_EQ(kwargs["owner"], "\"x\"");
  ASSERT_EQ(f.kwarg_dict_key_names.size(), 1u);
  ASSERT_EQ(f.kwarg_dict_values.size(), 1u);
  const LocationMap& keys = *f.kwarg_dict_key_names.find("tags");
  const LocationMap& values = *f.kwarg_dict_values.find("tags");
  ASSERT_EQ(keys.size(), 2u);
  ASSERT_EQ(values.size(), 2u);
  // The second "a" replaces the first.
  EXPECT_EQ(keys.find("a")->range, range(2, source.rfind("\"a\": 2") - source.find("@online"), 2,
                                         source.rfind("\"a\": 2") - source.find("@online") + 3));
  EXPECT_EQ(text_at(source, *values.find("a")), "2");
  EXPECT_EQ(text_at(source, *keys.find("b")), "\"b\"");
  EXPECT_EQ(text_at(source, *values.find("b")), "x");
}

TEST(Functions, BareDecoratorHasEmptyKeywordMaps) {
  const ResolverAST f = extract("from tymbe import online\n@online\ndef f(): pass\n").resolvers.at(0);
  EXPECT_TRUE(f.kwarg_names.empty());
  EXPECT_TRUE(f.kwargs.empty());
  EXPECT_TRUE(f.kwarg_dict_key_names.empty());
  EXPECT_TRUE(f.kwarg_dict_values.empty());
  EXPECT_EQ(f.decorator_location->range, range(1, 1, 1, 7));
}

TEST(Functions, FileWithoutUriHasNoFunctions) {
  const std::string source = "from tymbe import online\n@online\ndef f(): pass\n";
  for (const char* path : {"/tmp/a[1].py", "/tmp/100%.py", "missing/relative.py", ""}) {
    const ParsedAstFile file = extract(source, path);
    EXPECT_TRUE(file.functions.empty()) << path;
    EXPECT_TRUE(file.resolvers.empty()) << path;
  }
}

// Runs `fn` on a thread with a small stack, so that a walk whose recursion
// follows the nesting of the source would overflow it.
template <class F>
void run_with_small_stack(F fn) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 128 * 1024);
  pthread_t thread;
  auto trampoline = [](void* arg) -> void* {
    (*static_cast<F*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, trampoline, &fn), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

// A module nesting `depth` blocks, alternately `if` and `for`, inside `def top`,
// with `def bottom(): return` innermost and `def after` at the top level. Built
// by hand, since no parser nests statements as deep as the walks must cope with.
ParsedFileCache deeply_nested_file(uint32_t depth) {
  Module module;
  module.source = "def top(): return\n";
  module.strings = "topbottomafter";
  const auto identifier = [](uint32_t offset, uint32_t size) {
    return Identifier{.range = {4, 7}, .text = {offset, size}};
  };
  const auto list_of = [&module](uint32_t stmt) {
    module.stmt_lists.push_back(StmtId{stmt});
    return Span<StmtId>{static_cast<uint32_t>(module.stmt_lists.size() - 1), 1};
  };
  const auto function = [&](Identifier name, Span<StmtId> body) {
    module.function_defs.push_back(FunctionDef{.is_async = false, .name = name, .decorators = {},
                                               .parameters_range = {7, 9}, .parameters = {}, .returns = kNoExpr,
                                               .body = body});
    return static_cast<uint32_t>(module.function_defs.size() - 1);
  };
  const TextRange block{11, 17};
  const uint32_t return_stmt = depth + 2, after = depth + 3;

  module.stmt_lists = {StmtId{0}, StmtId{after}};
  module.body = {0, 2};
  module.stmts.push_back({StmtKind::FunctionDef, {0, 17}, function(identifier(0, 3), list_of(1))});
  for (uint32_t level = 1; level <= depth; ++level) {
    const Span<StmtId> body = list_of(level + 1);
    if (level % 2) {
      module.ifs.push_back(If{.body = body, .clauses = {}});
      module.stmts.push_back({StmtKind::If, block, static_cast<uint32_t>(module.ifs.size() - 1)});
    } else {
      module.loops.push_back(Loop{.body = body, .orelse = {}});
      module.stmts.push_back({StmtKind::For, block, static_cast<uint32_t>(module.loops.size() - 1)});
    }
  }
  module.stmts.push_back({StmtKind::FunctionDef, block, function(identifier(3, 6), list_of(return_stmt))});
  module.returns.push_back(Return{kNoExpr});
  module.stmts.push_back({StmtKind::Return, block, 0});
  module.stmts.push_back({StmtKind::FunctionDef, {0, 17}, function(identifier(9, 5), {})});
  return ParsedFileCache{std::string(test_support::kFixturePath), std::move(module), {}};
}

TEST(Functions, DeeplyNestedBlocksAreWalkedWithoutRecursion) {
  const ParsedFileCache file = deeply_nested_file(100000);
  ParsedAstFile parsed;
  run_with_small_stack([&] { parsed = parse_ast_file_with_feature_module(file, "m"); });
  ASSERT_EQ(names_of(parsed.functions), (std::vector<std::string>{"top", "bottom", "after"}));
  EXPECT_EQ(parsed.functions[0].return_statements.size(), 1u);
  EXPECT_EQ(parsed.functions[1].return_statements.size(), 1u);
  EXPECT_TRUE(parsed.functions[2].return_statements.empty());
  EXPECT_FALSE(parsed.functions[0].return_arg);
}

// The same shape through the parser, as deep as its grammar nests (one space
// of indentation per level, under 256 columns).
TEST(Functions, ParsedNestedBlocksKeepPreOrder) {
  constexpr uint32_t kDepth = 200;
  std::string source = "def top():\n";
  for (uint32_t i = 1; i <= kDepth; ++i) source += std::string(i, ' ') + (i % 2 ? "if x:\n" : "for y in z:\n");
  source += std::string(kDepth + 1, ' ') + "def bottom():\n" + std::string(kDepth + 2, ' ') + "return 1\n";
  source += "def after(): return 2\n";
  const ParsedAstFile parsed = extract(source);
  ASSERT_EQ(names_of(parsed.functions), (std::vector<std::string>{"top", "bottom", "after"}));
  ASSERT_EQ(parsed.functions[0].return_statements.size(), 1u);
  EXPECT_EQ(parsed.functions[0].return_statements[0].range.start, (Position{kDepth + 2, kDepth + 2}));
  EXPECT_FALSE(parsed.functions[0].return_arg);
}

}  // namespace
}  // namespace tymbe::ast
