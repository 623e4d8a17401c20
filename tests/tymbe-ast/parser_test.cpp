// The parser front end: statement and expression forms with their ranges,
// string values, identifiers, comments and syntax errors.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/tree_shape.h"
#include "tymbe_ast/parser.h"

namespace tymbe::ast {
namespace {

Module parse_ok(std::string source) {
  Result<Module, ParseError> parsed = parse_module(source);
  if (!parsed) throw std::runtime_error("does not parse: " + parsed.error().message() + "\n" + source);
  return std::move(parsed).value();
}

std::string error_of(std::string source) {
  Result<Module, ParseError> parsed = parse_module(std::move(source));
  return parsed ? std::string("<accepted>") : parsed.error().message();
}

// The range of the `nth` occurrence of `needle` in `source`.
TextRange span(std::string_view source, std::string_view needle, int nth = 0) {
  size_t at = source.find(needle);
  for (int i = 0; i < nth && at != std::string_view::npos; ++i) at = source.find(needle, at + 1);
  if (at == std::string_view::npos) throw std::runtime_error("no \"" + std::string(needle) + "\" in fixture");
  return {static_cast<uint32_t>(at), static_cast<uint32_t>(at + needle.size())};
}

// From the start of `first` to the end of `last` (the first occurrences).
TextRange span(std::string_view source, std::string_view first, std::string_view last) {
  return {span(source, first).start, span(source, last).end};
}

std::string_view slice(const Module& m, TextRange r) { return std::string_view(m.source).substr(r.start, r.length()); }

const Stmt& top(const Module& m, size_t i = 0) { return m.stmt(m[m.body][i]); }

// The value of `x = <value>` on the first line.
const Expr& assigned(const Module& m, size_t i = 0) { return m.expr(m.assign(top(m, i)).value); }

TEST(ParserStatements, CompoundStatementsEndWithTheirLastBodyStatement) {
  // Trailing comments and blank lines belong to no block.
  const std::string source =
      "@dec  # note\n"
      "def f(a):\n    return a\n    # trailing\n\n"
      "if a:\n    x = 1\nelif b:\n    x = 2\n  # between\nelse:\n    x = 3\n    # after\n"
      "try:\n    pass\nexcept E as e:\n    raise\nelse:\n    y = 1\nfinally:\n    z = 1\n# end\n"
      "match p:\n    case 1:\n        pass\n    case _:\n        q = 2\n\n"
      "for i in r:\n    pass\nelse:\n    w = 1\n"
      "class C:\n    v = 1\n    # last\n";
  const Module m = parse_ok(source);
  ASSERT_EQ(m[m.body].size(), 6u);

  const Stmt& def = top(m, 0);
  ASSERT_EQ(def.kind, StmtKind::FunctionDef);
  EXPECT_EQ(def.range, span(source, "@dec", "return a"));
  const FunctionDef& f = m.function_def(def);
  ASSERT_EQ(f.decorators.size, 1u);
  EXPECT_EQ(m[f.decorators][0].range, span(source, "@dec"));
  EXPECT_EQ(m.expr(m[f.decorators][0].expression).range, span(source, "dec"));
  EXPECT_EQ(m.text(f.name), "f");
  EXPECT_EQ(f.name.range, span(source, "f", 1));
  EXPECT_EQ(f.parameters_range, span(source, "(a)"));

  const Stmt& if_stmt = top(m, 1);
  ASSERT_EQ(if_stmt.kind, StmtKind::If);
  EXPECT_EQ(if_stmt.range, span(source, "if a:", "x = 3"));
  const auto clauses = m[m.if_(if_stmt).clauses];
  ASSERT_EQ(clauses.size(), 2u);
  EXPECT_EQ(clauses[0].range, span(source, "elif b:", "x = 2"));
  EXPECT_EQ(m.expr(clauses[0].test).range, (TextRange{span(source, "elif b").end - 1, span(source, "elif b").end}));
  EXPECT_EQ(clauses[1].range, span(source, "else:\n    x = 3", "x = 3"));
  EXPECT_FALSE(present(clauses[1].test));

  const Stmt& try_stmt = top(m, 2);
  ASSERT_EQ(try_stmt.kind, StmtKind::Try);
  EXPECT_EQ(try_stmt.range, span(source, "try:", "z = 1"));
  const Try& t = m.try_(try_stmt);
  EXPECT_FALSE(t.is_star);
  ASSERT_EQ(t.handlers.size, 1u);
  EXPECT_EQ(m[t.handlers][0].range, span(source, "except E as e:", "raise"));
  EXPECT_EQ(t.orelse.size, 1u);
  EXPECT_EQ(t.finalbody.size, 1u);

  const Stmt& match = top(m, 3);
  ASSERT_EQ(match.kind, StmtKind::Match);
  EXPECT_EQ(match.range, span(source, "match p:", "q = 2"));
  const auto cases = m[m.match(match).cases];
  ASSERT_EQ(cases.size(), 2u);
  EXPECT_EQ(cases[0].range, span(source, "case 1:", "        pass"));
  EXPECT_EQ(cases[1].range, span(source, "case _:", "q = 2"));

  const Stmt& loop = top(m, 4);
  ASSERT_EQ(loop.kind, StmtKind::For);
  EXPECT_EQ(loop.range, span(source, "for i", "w = 1"));
  EXPECT_EQ(m.loop(loop).orelse.size, 1u);

  EXPECT_EQ(top(m, 5).range, span(source, "class C:", "v = 1"));
}

TEST(ParserStatements, AssignmentsAndTheirTargets) {
  const std::string source = "x = y = 5\nz: int = (7)\nw: list\na = 1, 2\nb = (1, 2)\nc = (i for i in r)\nd += 1\n";
  const Module m = parse_ok(source);
  const Assign& chained = m.assign(top(m, 0));
  ASSERT_EQ(chained.targets.size, 2u);
  EXPECT_EQ(m.expr(m[chained.targets][0]).range, span(source, "x"));
  EXPECT_EQ(m.expr(m[chained.targets][1]).range, span(source, "y"));
  EXPECT_EQ(m.expr(chained.value).range, span(source, "5"));

  ASSERT_EQ(top(m, 1).kind, StmtKind::AnnAssign);
  const AnnAssign& ann = m.ann_assign(top(m, 1));
  EXPECT_EQ(m.expr(ann.target).range, span(source, "z"));
  EXPECT_EQ(m.expr(ann.annotation).range, span(source, "int"));
  EXPECT_EQ(m.expr(ann.value).range, span(source, "7"));  // without its parentheses
  EXPECT_EQ(top(m, 1).range, span(source, "z: int = (7)"));
  EXPECT_FALSE(present(m.ann_assign(top(m, 2)).value));

  EXPECT_EQ(assigned(m, 3).kind, ExprKind::Tuple);
  EXPECT_EQ(assigned(m, 3).range, span(source, "1, 2"));
  EXPECT_EQ(assigned(m, 4).range, span(source, "(1, 2)"));  // a tuple keeps its parentheses
  EXPECT_EQ(assigned(m, 5).kind, ExprKind::Generator);
  EXPECT_EQ(assigned(m, 5).range, span(source, "(i for i in r)"));
  EXPECT_EQ(top(m, 6).kind, StmtKind::AugAssign);
}

TEST(ParserStatements, ParametersInTheirFiveGroups) {
  const std::string source = "async def f(pa, pb=1, /, pc: (int) = 2, *args: str, kd, ke: 'E' = 3, **kw: dict) -> (R): pass\n"
                             "def g(*, k): pass\n";
  const Module m = parse_ok(source);
  const FunctionDef& f = m.function_def(top(m, 0));
  EXPECT_TRUE(f.is_async);
  EXPECT_EQ(f.parameters_range, span(source, "(pa,", "dict)"));
  EXPECT_EQ(m.expr(f.returns).range, span(source, "R"));
  struct Want {
    ParameterKind kind;
    std::string_view name;
    std::string_view range;
    std::string_view annotation;  // empty: none
  };
  const Want want[] = {
      {ParameterKind::PositionalOnly, "pa", "pa", ""},
      {ParameterKind::PositionalOnly, "pb", "pb", ""},  // never its default
      {ParameterKind::Regular, "pc", "pc: (int)", "int"},  // the annotation without its parentheses
      {ParameterKind::Vararg, "args", "*args: str", "str"},
      {ParameterKind::KeywordOnly, "kd", "kd", ""},
      {ParameterKind::KeywordOnly, "ke", "ke: 'E'", "'E'"},
      {ParameterKind::Kwarg, "kw", "**kw: dict", "dict"},
  };
  const auto params = m[f.parameters];
  ASSERT_EQ(params.size(), std::size(want));
  for (size_t i = 0; i < params.size(); ++i) {
    SCOPED_TRACE(want[i].name);
    EXPECT_EQ(params[i].kind, want[i].kind);
    EXPECT_EQ(m.text(params[i].name), want[i].name);
    EXPECT_EQ(params[i].range, span(source, want[i].range));
    if (want[i].annotation.empty()) {
      EXPECT_FALSE(present(params[i].annotation));
    } else {
      EXPECT_EQ(slice(m, m.expr(params[i].annotation).range), want[i].annotation);
    }
  }
  const auto bare_star = m[m.function_def(top(m, 1)).parameters];
  ASSERT_EQ(bare_star.size(), 1u);
  EXPECT_EQ(bare_star[0].kind, ParameterKind::KeywordOnly);
}

TEST(ParserStatements, FromImports) {
  struct Case {
    std::string source;
    std::string module;  // "-" for none
    uint32_t level;
    std::vector<std::pair<std::string, std::string>> names;  // name, asname ("" for none)
  };
  const Case cases[] = {
      {"from a.b import c as d, e\n", "a.b", 0, {{"c", "d"}, {"e", ""}}},
      {"from ..pkg . m import (x,\n  y as z,)\n", "pkg.m", 2, {{"x", ""}, {"y", "z"}}},
      {"from . import x\n", "-", 1, {{"x", ""}}},
      {"from ... import x\n", "-", 3, {{"x", ""}}},
      {"from m import *\n", "m", 0, {{"*", ""}}},
      {"from __future__ import annotations\n", "__future__", 0, {{"annotations", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    const Module m = parse_ok(c.source);
    ASSERT_EQ(top(m).kind, StmtKind::ImportFrom);
    const ImportFrom& i = m.import_from(top(m));
    EXPECT_EQ(i.module ? std::string(m.text(*i.module)) : "-", c.module);
    EXPECT_EQ(i.level, c.level);
    std::vector<std::pair<std::string, std::string>> names;
    for (const Alias& a : m[i.names]) {
      names.emplace_back(m.text(a.name), a.asname ? std::string(m.text(*a.asname)) : "");
    }
    EXPECT_EQ(names, c.names);
  }
  EXPECT_EQ(top(parse_ok("import os\n")).kind, StmtKind::Import);
}

TEST(ParserStatements, ExceptStarInEitherSpelling) {
  for (const std::string source : {"try:\n    pass\nexcept* A:\n    pass\n", "try:\n    pass\nexcept *A as e:\n    pass\n"}) {
    const Module m = parse_ok(source);
    EXPECT_TRUE(m.try_(top(m)).is_star) << source;
  }
  EXPECT_EQ(error_of("try:\n    pass\nexcept A:\n    pass\nexcept* B:\n    pass\n"),
            "Cannot have both \"except\" and \"except*\" on the same \"try\" at byte range 33..52");
}

TEST(ParserExpressions, CallsKeywordsAndDicts) {
  const std::string source = "x = mod.f (a, key=(1), **extra)\ny = {'k': v, **rest, 2: g(n=3)}\n";
  const Module m = parse_ok(source);
  const Expr& call = assigned(m, 0);
  ASSERT_EQ(call.kind, ExprKind::Call);
  EXPECT_EQ(call.range, span(source, "mod.f (a, key=(1), **extra)"));
  const Call& c = m.call(call);
  EXPECT_EQ(m.expr(c.func).kind, ExprKind::Attribute);
  EXPECT_EQ(m.expr(c.func).range, span(source, "mod.f"));
  const auto keywords = m[c.keywords];
  ASSERT_EQ(keywords.size(), 2u);
  EXPECT_EQ(keywords[0].range, span(source, "key=(1)"));
  EXPECT_EQ(m.text(*keywords[0].arg), "key");
  EXPECT_EQ(m.expr(keywords[0].value).range, span(source, "1"));
  EXPECT_EQ(keywords[1].range, span(source, "**extra"));
  EXPECT_FALSE(keywords[1].arg);
  EXPECT_EQ(m.expr(keywords[1].value).range, span(source, "extra"));

  const Expr& dict = assigned(m, 1);
  ASSERT_EQ(dict.kind, ExprKind::Dict);
  const auto items = m[m.dict(dict).items];
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(m.expr(items[0].key).kind, ExprKind::StringLiteral);
  EXPECT_EQ(m.text(m.name(m.expr(items[0].value)).id), "v");
  EXPECT_FALSE(present(items[1].key));
  EXPECT_EQ(m.expr(items[1].value).range, span(source, "rest"));
  const Expr& nested = m.expr(items[2].value);  // converted by the same rule, however deep
  ASSERT_EQ(nested.kind, ExprKind::Call);
  EXPECT_EQ(m.expr(m[m.call(nested).keywords][0].value).range, span(source, "3"));
}

TEST(ParserExpressions, KindsOfOtherExpressions) {
  const std::pair<std::string, ExprKind> cases[] = {
      {"a.b", ExprKind::Attribute},     {"a[0]", ExprKind::Subscript},   {"-a", ExprKind::UnaryOp},
      {"not a", ExprKind::UnaryOp},     {"a + b", ExprKind::BinOp},      {"a and b", ExprKind::BoolOp},
      {"a < b", ExprKind::Compare},     {"lambda: 1", ExprKind::Lambda}, {"a if b else c", ExprKind::If},
      {"[1]", ExprKind::List},          {"{1}", ExprKind::Set},          {"[i for i in a]", ExprKind::ListComp},
      {"{i for i in a}", ExprKind::SetComp}, {"{i: i for i in a}", ExprKind::DictComp},
      {"1.5", ExprKind::NumberLiteral}, {"True", ExprKind::BooleanLiteral}, {"None", ExprKind::NoneLiteral},
      {"...", ExprKind::EllipsisLiteral}, {"(yield)", ExprKind::Yield}, {"(yield from a)", ExprKind::YieldFrom},
      {"(b := 1)", ExprKind::Named},    {"b'x'", ExprKind::BytesLiteral}, {"f'{a}'", ExprKind::FString},
      {"'a' f'b'", ExprKind::FString},  {"b'a' b'b'", ExprKind::BytesLiteral}, {"*a, b", ExprKind::Tuple},
  };
  for (const auto& [expression, kind] : cases) {
    const std::string source = "x = " + expression + "\n";
    const Module m = parse_ok(source);
    EXPECT_EQ(assigned(m).kind, kind) << expression;
    // A parenthesised expression has the range of what is inside.
    const bool parenthesised = expression.front() == '(';
    const auto start = static_cast<uint32_t>(4 + parenthesised);
    const TextRange expected{start, static_cast<uint32_t>(4 + expression.size() - parenthesised)};
    EXPECT_EQ(assigned(m).range, expected) << expression;
  }
}

TEST(ParserExpressions, StringValues) {
  struct Case {
    std::string literal;  // as written in the source
    std::string value;
    bool implicit = false;
  };
  const Case cases[] = {
      {R"('plain')", "plain"},
      {R"("\\ \' \" \a \b \f \n \r \t \v")", "\\ ' \" \a \b \f \n \r \t \v"},
      {R"('\0\12\101\1234')", std::string("\0\nAS4", 5)},
      {R"('\x41\u00e9\U0001F600')", "A\xC3\xA9\xF0\x9F\x98\x80"},
      {R"('\N{LATIN SMALL LETTER A}\N{NO-BREAK SPACE}\N{nbsp}')", "a\xC2\xA0\xC2\xA0"},
      {R"('\N{LINE FEED}\N{BYTE ORDER MARK}')", "\n\xEF\xBB\xBF"},
      {R"('\N{CJK UNIFIED IDEOGRAPH-4E00}\N{HANGUL SYLLABLE GA}')", "\xE4\xB8\x80\xEA\xB0\x80"},
      {R"('\q\8 \ud800')", "\\q\\8 \xEF\xBF\xBD"},  // unknown escapes kept; a lone surrogate is U+FFFD
      {R"(r'\n\'' R"\d")", "\\n\\'\\d", true},
      {"'a\\\nb' \"c\\\r\nd\" 'e\\\rf'", "abcdef", true},
      {"'''one\ntwo'''", "one\ntwo"},
      {"'caf\xC3\xA9'", "caf\xC3\xA9"},
      {"U'x' 'y'", "xy", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.literal);
    const Module m = parse_ok("x = " + c.literal + "\n");
    ASSERT_EQ(assigned(m).kind, ExprKind::StringLiteral);
    const StringLiteral& s = m.string_literal(assigned(m));
    EXPECT_EQ(m.text(s.value), c.value);
    EXPECT_EQ(s.implicit_concatenated, c.implicit);
  }
}

TEST(ParserExpressions, IdentifiersAreNfkcWhenNotAscii) {
  // U+FB01 LATIN SMALL LIGATURE FI and U+210C BLACK-LETTER CAPITAL H.
  const std::string source = "\xEF\xAC\x81le = 1\ndef \xE2\x84\x8C(x_1): pass\n";
  const Module m = parse_ok(source);
  const Expr& target = m.expr(m[m.assign(top(m, 0)).targets][0]);
  EXPECT_EQ(m.text(m.name(target).id), "file");
  EXPECT_EQ(target.range, span(source, "\xEF\xAC\x81le"));  // the range stays that of the source text
  const FunctionDef& f = m.function_def(top(m, 1));
  EXPECT_EQ(m.text(f.name), "H");
  EXPECT_EQ(m.text(m[f.parameters][0].name), "x_1");
  // A zero-width joiner continues a name (since Unicode 15.1).
  const Module joined = parse_ok("a\xE2\x80\x8D" "b = 1\n");
  EXPECT_EQ(joined.text(joined.name(joined.expr(joined[joined.assign(top(joined)).targets][0])).id),
            "a\xE2\x80\x8D" "b");
}

TEST(ParserSource, LoneCarriageReturnsEndLines) {
  const std::string source = "x = 1\rclass C:\r    def f(self):\r        return 2\r\r# c\r\ny = 3\n";
  const Module m = parse_ok(source);
  EXPECT_EQ(m.source, source);  // kept as read
  ASSERT_EQ(m[m.body].size(), 3u);
  EXPECT_EQ(top(m, 1).range, span(source, "class C:", "return 2"));
  ASSERT_EQ(m.comments.size(), 1u);
  EXPECT_EQ(m.comments[0], span(source, "# c"));
  EXPECT_EQ(top(m, 2).range, span(source, "y = 3"));
}

TEST(ParserSource, EmptyAndCommentOnlySources) {
  const Module empty = parse_ok("");
  EXPECT_TRUE(empty.body.empty());
  EXPECT_TRUE(empty.comments.empty());
  const std::string source = "# one\n\n  #two  \r\n#\n";
  const Module comments = parse_ok(source);
  EXPECT_TRUE(comments.body.empty());
  EXPECT_EQ(comments.comments, (std::vector<TextRange>{span(source, "# one"), span(source, "#two  "), {17, 18}}));
}

TEST(ParserComments, OwnLineAndInRange) {
  const std::string source = "\xEF\xBB\xBF# bom\nx = 1  # trailing\n \t\f# own\ndef f():\n    # inner\n    pass\n";
  const Module m = parse_ok(source);
  ASSERT_EQ(m.comments.size(), 4u);
  EXPECT_TRUE(is_own_line(source, m.comments[0].start));
  EXPECT_FALSE(is_own_line(source, m.comments[1].start));
  EXPECT_TRUE(is_own_line(source, m.comments[2].start));
  EXPECT_TRUE(is_own_line(source, m.comments[3].start));
  EXPECT_TRUE(is_own_line("x = 1\r# c", 6));

  const auto inside = comments_in_range(m.comments, top(m, 1).range);
  ASSERT_EQ(inside.size(), 1u);
  EXPECT_EQ(inside[0], span(source, "# inner"));
  // A comment cut by the range's edge is not inside it.
  EXPECT_TRUE(comments_in_range(m.comments, {m.comments[1].start + 1, m.comments[2].end}).size() == 1);
  EXPECT_TRUE(comments_in_range(m.comments, {0, 0}).empty());
}

TEST(ParserErrors, Python3FormsThatLookLikePython2) {
  // A shift inside a tuple, and calls: all valid Python 3.
  for (const std::string source : {"print >>f, x\n", "print(\"x\")\n", "exec(code)\n", "print\n"}) {
    const Module m = parse_ok(source);
    EXPECT_EQ(top(m).kind, StmtKind::Expr) << source;
  }
}

// What ends a logical line and what indents a block, each with the number of
// top-level statements and of statements in the first one's body.
TEST(ParserSource, LogicalLinesAndIndentation) {
  struct Case {
    const char* what;
    std::string source;
    size_t top, first_body;
  };
  const Case cases[] = {
      {"tabs and spaces in separate blocks", "if x:\n\tpass\nif y:\n        pass\n", 2, 1},
      {"same columns, same characters", "if x:\n  \ta\n\t  b\n", 1, 2},
      {"a form feed starts the column again", "if x:\n a\n\f b\n", 1, 2},
      {"comment lines at any indentation", "if x:\n    a\n# c\n        # d\n  \n    b\n", 1, 2},
      {"a line in brackets left of its block", "def f():\n    (a +\nb)\n    c\n", 1, 2},
      {"a continued line is no indentation", "if x:\n    a = \\\n  1\n    b\n", 1, 2},
      {"a backslash in the first column", "if x:\n\\\n    a\n", 1, 1},
      {"lone carriage returns", "if x:\r    a\r    b\rc\r", 2, 2},
      {"no line break at the end", "if x:\n    a", 1, 1},
      {"a block ending at the end of the text", "if x:\n    if y:\n        a\n", 1, 1},
      {"semicolons", "a; b;\nc", 3, 0},
      {"a byte-order mark", "\xEF\xBB\xBFif x:\n    a\n", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Module m = parse_ok(c.source);
    ASSERT_EQ(m[m.body].size(), c.top);
    if (c.first_body) {
      ASSERT_EQ(top(m).kind, top(m).kind == StmtKind::If ? StmtKind::If : StmtKind::FunctionDef);
      const Span<StmtId> body = top(m).kind == StmtKind::If ? m.if_(top(m)).body : m.function_def(top(m)).body;
      EXPECT_EQ(body.size, c.first_body);
    }
  }
}

// Every node inside its parent, siblings in order, over sources that hold
// every kind the tree keeps.
TEST(ParserTrees, EveryNodeLiesInsideItsParent) {
  const std::string sources[] = {
      "@d(k=f(a=1, **b), c={'x': [1], **y})\nasync def f(a, /, b: int = 1, *c: T, d, **e) -> R:\n"
      "    x: int = g(h=(1, 2))  # c\n    if a:\n        return {k: v}\n    elif (n := 1):\n        pass\n"
      "    else:\n        y = z = w\n",
      "class C(B, metaclass=M):\n    @property\n    def p(self): return 1\n"
      "try:\n    pass\nexcept* E as e:\n    raise\nelse:\n    pass\nfinally:\n    pass\n",
      "match p:\n    case [1, *r] if r:\n        q = f(x=1)\n    case _:\n        pass\n"
      "for i in r:\n    while i:\n        with a as b:\n            del b\nelse:\n    from .a import (b as c, d,)\n",
      "x = f(a=f(a=f(a={'k': f(b=1)})))\n# end\n",
  };
  for (const std::string& source : sources) {
    const Module m = parse_ok(source);
    EXPECT_EQ(tymbe_test::tree_shape_problem(m), std::nullopt) << source;
  }
}

TEST(ParserSource, IndentationOfAnyWidth) {
  // Blocks nest by their indentation alone, however wide.
  const std::string source = "def f():\n" + std::string(300, ' ') + "if a:\n" + std::string(100000, ' ') +
                             "pass\n" + std::string(300, ' ') + "z = 2\n";
  const Module m = parse_ok(source);
  const auto body = m[m.function_def(top(m)).body];
  ASSERT_EQ(body.size(), 2u);
  EXPECT_EQ(m.stmt(body[0]).kind, StmtKind::If);
  EXPECT_EQ(m.stmt(body[1]).kind, StmtKind::Assign);
  EXPECT_EQ(m[m.if_(m.stmt(body[0])).body].size(), 1u);
}

}  // namespace
}  // namespace tymbe::ast
