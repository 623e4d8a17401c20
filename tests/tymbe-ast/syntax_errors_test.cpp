// One tiny source for each kind of syntax error, with the range it names.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "parser/syntax_error_kinds.h"
#include "tymbe_ast/parser.h"

namespace tymbe::ast {
namespace {

using parser::SyntaxErrorKind;
using K = SyntaxErrorKind;

struct Case {
  std::string source;
  K kind;
  uint32_t start, end;
};

const Case kCases[] = {
    {std::string("x = 1\0", 6), K::NullByte, 5, 6},
    {"x = '\xff'", K::InvalidUtf8, 5, 6},

    {"x = 1 $", K::UnexpectedCharacter, 6, 7},
    {"x = a\xc2\xa0+ b", K::UnexpectedCharacter, 5, 7},  // a no-break space
    {"x = 1 \\ y", K::CharacterAfterLineContinuation, 6, 7},
    {"x = 1 \\\n", K::EndOfFileAfterLineContinuation, 6, 8},
    {"(1,", K::EndOfFileInBrackets, 3, 3},
    {"x = 'abc\ny = 1", K::UnterminatedString, 4, 8},
    {"x = '''abc", K::UnterminatedTripleQuotedString, 4, 10},
    {"x = f'a{b", K::UnterminatedFString, 9, 9},
    {"f'{x:\n}'", K::NewlineInFormatSpec, 5, 5},
    {"f'a}'", K::SingleClosingBrace, 3, 4},
    {"0x", K::InvalidNumber, 0, 2},
    {"0777", K::LeadingZeros, 0, 4},
    {"1._5", K::UnderscoreAfterDecimalPoint, 2, 3},
    {"if x:\n  a\n b", K::IndentationMismatch, 10, 11},
    {"if x:\n\ta\n  b", K::IndentationMismatch, 9, 11},  // a tab and two spaces: same columns, not same characters

    {" x = 1", K::UnexpectedIndent, 0, 1},
    {"if x:\npass", K::ExpectedIndentedBlock, 6, 10},
    {")", K::ExpectedStatement, 0, 1},
    {"a b", K::StatementsOnOneLine, 2, 3},
    {"a; if b: pass", K::CompoundStatementAfterSimple, 3, 5},
    {"if x: pass )", K::ExpectedNewline, 11, 12},
    {"x = (1 2)", K::ExpectedToken, 7, 8},
    {"x = )", K::ExpectedExpression, 4, 5},
    {"def (): pass", K::ExpectedIdentifier, 4, 5},
    {"def class(): pass", K::KeywordAsIdentifier, 4, 9},
    {"match x:\n  case -y:\n    pass", K::ExpectedPattern, 16, 17},

    {"x = (*a)", K::StarredNotAllowed, 5, 7},
    {"f(* *a)", K::StarredNotAllowed, 4, 6},  // the value of a star, in a call
    {"x[*(*a)]", K::StarredNotAllowed, 4, 6},
    {"x = f(yield)", K::YieldNotAllowed, 6, 11},
    {"x = 1 + lambda: 2", K::LambdaNotAllowed, 8, 17},
    {"x = a == not b", K::NotNotAllowed, 9, 14},
    {"x = await -a", K::UnaryNotAllowed, 10, 12},
    {"x = await await a", K::AwaitNotAllowed, 10, 17},
    {"x = [*a or b]", K::PrecedenceTooLow, 6, 12},
    {"x[a := 1:2]", K::UnparenthesizedNamed, 2, 8},
    {"raise x, y", K::UnparenthesizedTuple, 6, 10},
    {"f(a for a in b, c)", K::UnparenthesizedGenerator, 2, 14},
    {"x[]", K::EmptySubscript, 2, 3},

    {"1 = 2", K::InvalidAssignmentTarget, 0, 1},
    {"f(): int = 1", K::InvalidAnnotatedTarget, 0, 3},
    {"[a]: int = 1", K::AnnotatedListTarget, 0, 3},
    {"(a, b): int = 1", K::AnnotatedTupleTarget, 0, 6},
    {"f() += 1", K::InvalidAugmentedTarget, 0, 3},
    {"del f()", K::InvalidDeleteTarget, 4, 7},
    {"(a.b := 1)", K::InvalidNamedTarget, 1, 4},

    {"f(a.b=1)", K::ExpectedKeywordName, 2, 5},
    {"f(a=1, b)", K::PositionalAfterKeyword, 7, 8},
    {"f(**a, b)", K::PositionalAfterKeywordUnpacking, 7, 8},
    {"f(**a, *b)", K::IterableAfterKeywordUnpacking, 7, 9},
    {"def f(**k, a): pass", K::ParameterAfterKwarg, 11, 12},
    {"def f(a=1, b): pass", K::DefaultBeforeNonDefault, 11, 12},
    {"def f(*a=1): pass", K::VarargWithDefault, 8, 9},
    {"def f(*a, *b): pass", K::TwoVarargs, 10, 12},
    {"def f(*, *): pass", K::TwoStarSeparators, 9, 10},
    {"def f(*a, *): pass", K::StarSeparatorAfterVararg, 10, 11},
    {"def f(*): pass", K::KeywordParameterExpected, 6, 7},
    {"def f(/): pass", K::SlashFirst, 6, 7},
    {"def f(a, /, /): pass", K::TwoSlashes, 12, 13},
    {"def f(*a, /): pass", K::SlashAfterStar, 10, 11},
    {"def f() -> a, b: pass", K::UnparenthesizedReturnTypes, 11, 15},
    {"def f[](): pass", K::EmptyTypeParameters, 6, 7},
    {"@d\nx = 1", K::ExpectedDecoratedDefinition, 3, 4},
    {"async x = 1", K::UnexpectedAfterAsync, 6, 7},

    {"x = b'a' 'b'", K::MixedBytes, 4, 12},
    {"x = t'a' 'b'", K::MixedTemplate, 4, 12},
    {"f'{x!z}'", K::InvalidConversion, 5, 6},
    {"f'{x! r}'", K::ConversionAfterSpace, 6, 7},
    {"f'{x y}'", K::UnclosedReplacementField, 5, 6},

    {"global", K::EmptyNames, 6, 6},
    {"import a,", K::TrailingComma, 9, 9},
    {"from a import *, b", K::StarImportNotAlone, 14, 18},
    {"from a import (*)", K::ParenthesizedStarImport, 14, 17},
    {"from import a", K::ExpectedModuleName, 5, 11},
    {"import a as", K::ExpectedAsName, 11, 11},
    {"raise from e", K::RaiseWithoutException, 6, 10},
    {"try:\n  pass\nexcept* :\n  pass", K::ExpectedExceptionType, 20, 21},
    {"try:\n  pass\nexcept A, B as e:\n  pass", K::UnparenthesizedExceptionTypes, 19, 23},

    {"try:\n  pass\nexcept:\n  pass\nexcept* E:\n  pass", K::MixedExcept, 27, 44},
    {"try:\n  pass", K::TryWithoutHandler, 11, 11},
    {"try:\n  pass\nfinally:\n  pass\nelse:\n  pass", K::ElseAfterFinally, 28, 32},
    {"match x:\n  y = 1", K::ExpectedCase, 11, 12},

    {"match x:\n  case *a:\n    pass", K::StarPatternNotAllowed, 16, 18},
    {"match x:\n  case a as _:\n    pass", K::WildcardAsTarget, 21, 22},
    {"match x:\n  case {a: 1}:\n    pass", K::InvalidMappingKey, 18, 19},
    {"match x:\n  case {**a, **b}:\n    pass", K::TwoDoubleStarPatterns, 25, 26},
    {"match x:\n  case {**a, 1: b}:\n    pass", K::PatternAfterDoubleStar, 26, 27},
    {"match x:\n  case 1(a):\n    pass", K::InvalidClassPattern, 17, 18},
    {"match x:\n  case A(1=b):\n    pass", K::ExpectedKeywordPatternName, 20, 21},
    {"match x:\n  case A(a=1, b):\n    pass", K::PositionalPatternAfterKeyword, 24, 25},
    {"match x:\n  case 1j + 2j:\n    pass", K::ExpectedRealNumber, 19, 20},
    {"match x:\n  case 1 + 2:\n    pass", K::ExpectedImaginaryNumber, 21, 22},
    {"match x:\n  case -1 ** 2:\n    pass", K::ExpectedNumberAfterSign, 17, 23},
};

TEST(SyntaxErrors, EachKindWithItsRange) {
  for (const Case& c : kCases) {
    const auto parsed = parse_module(c.source);
    ASSERT_FALSE(parsed.ok()) << c.source;
    EXPECT_EQ(parsed.error().message(), parser::make_error(c.kind, {c.start, c.end}).message()) << c.source;
  }
}

TEST(SyntaxErrors, EveryKindHasItsOwnWording) {
  std::set<std::string_view> seen;
  for (size_t k = 0; k <= static_cast<size_t>(K::ExpectedNumberAfterSign); ++k) {
    const std::string_view text = parser::describe(static_cast<K>(k));
    EXPECT_FALSE(text.empty()) << k;
    EXPECT_TRUE(seen.insert(text).second) << text;
  }
}

// The escapes Python refuses name the escape; the rest stay as written.
TEST(SyntaxErrors, EscapesInStringsAndFStrings) {
  const std::pair<std::string, std::string> cases[] = {
      {"x = '\\x4'", "Truncated \\xXX escape at byte range 5..8"},
      {"x = '\\N{NO SUCH NAME}'", "Unknown Unicode character name at byte range 5..21"},
      {"x = '\\U00110000'", "Illegal Unicode character in \\U escape at byte range 5..15"},
      {"x = f'{a}\\N{NO SUCH NAME}'", "Unknown Unicode character name at byte range 9..25"},
      {"x = f'{a:\\x4}'", "Truncated \\xXX escape at byte range 9..12"},
      {"x = b'\xc3\xa9'", "Bytes can only contain ASCII literal characters at byte range 6..7"},
  };
  for (const auto& [source, message] : cases) {
    const auto parsed = parse_module(source);
    ASSERT_FALSE(parsed.ok()) << source;
    EXPECT_EQ(parsed.error().message(), message) << source;
  }
  for (const std::string source : {"x = '\\q \\d'", "x = r'\\x4'", "x = f'\\{x}'", "x = rf'\\N{x}'", "x = b'\\N{x}'"}) {
    EXPECT_TRUE(parse_module(source).ok()) << source;
  }
}

}  // namespace
}  // namespace tymbe::ast
