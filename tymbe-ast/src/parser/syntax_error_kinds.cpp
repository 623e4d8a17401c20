#include "parser/syntax_error_kinds.h"

#include <array>
#include <utility>

namespace tymbe::ast::parser {

namespace {

using K = SyntaxErrorKind;

constexpr std::pair<K, std::string_view> kDescriptions[] = {
    {K::NullByte, "Source code cannot contain null bytes"},
    {K::InvalidUtf8, "Source is not valid UTF-8"},
    {K::NestingTooDeep, "Nesting too deep: more than 1000 brackets, blocks or operators inside one another"},

    {K::UnexpectedCharacter, "Unexpected character"},
    {K::CharacterAfterLineContinuation, "Expected a line break after the line continuation character"},
    {K::EndOfFileAfterLineContinuation, "Unexpected end of file after a line continuation"},
    {K::EndOfFileInBrackets, "Unexpected end of file inside brackets"},
    {K::UnterminatedString, "Missing closing quote of a string literal"},
    {K::UnterminatedTripleQuotedString, "Missing closing quotes of a triple-quoted string literal"},
    {K::UnterminatedFString, "Missing closing quote of an f-string or t-string"},
    {K::NewlineInFormatSpec, "Line break in a format specifier of a single-quoted f-string or t-string"},
    {K::SingleClosingBrace, "A single \"}\" is not allowed in an f-string or t-string"},
    {K::InvalidNumber, "Invalid number literal"},
    {K::LeadingZeros, "Leading zeros in decimal integer literals are not permitted"},
    {K::UnderscoreAfterDecimalPoint, "Invalid number literal: \"_\" after the decimal point"},
    {K::IndentationMismatch, "Unindent does not match any outer indentation level"},

    {K::UnexpectedIndent, "Unexpected indentation"},
    {K::ExpectedIndentedBlock, "Expected an indented block"},
    {K::ExpectedStatement, "Expected a statement"},
    {K::StatementsOnOneLine, "Simple statements on one line must be separated by semicolons"},
    {K::CompoundStatementAfterSimple, "A compound statement cannot follow a simple statement on the same line"},
    {K::ExpectedNewline, "Expected a line break"},

    {K::ExpectedToken, "Invalid syntax"},
    {K::ExpectedExpression, "Expected an expression"},
    {K::ExpectedIdentifier, "Expected an identifier"},
    {K::KeywordAsIdentifier, "A keyword cannot be used as an identifier"},
    {K::ExpectedPattern, "Expected a pattern"},

    {K::StarredNotAllowed, "Starred expression cannot be used here"},
    {K::YieldNotAllowed, "Yield expression cannot be used here"},
    {K::LambdaNotAllowed, "Lambda expression cannot be used here"},
    {K::NotNotAllowed, "Boolean \"not\" expression cannot be used here"},
    {K::UnaryNotAllowed, "Unary operator expression cannot be used here"},
    {K::AwaitNotAllowed, "Await expression cannot be used here"},
    {K::PrecedenceTooLow, "Expression of lower precedence than \"|\" cannot be used here without parentheses"},
    {K::UnparenthesizedNamed, "Assignment expression must be parenthesized here"},
    {K::UnparenthesizedTuple, "Tuple must be parenthesized here"},
    {K::UnparenthesizedGenerator, "Generator expression must be parenthesized when it is not the only argument"},
    {K::EmptySubscript, "Expected an index or a slice"},

    {K::InvalidAssignmentTarget, "Invalid assignment target"},
    {K::InvalidAnnotatedTarget, "Invalid annotated assignment target"},
    {K::AnnotatedListTarget, "Only a single target (not a list) can be annotated"},
    {K::AnnotatedTupleTarget, "Only a single target (not a tuple) can be annotated"},
    {K::InvalidAugmentedTarget, "Invalid augmented assignment target"},
    {K::InvalidDeleteTarget, "Invalid delete target"},
    {K::InvalidNamedTarget, "Assignment expression target must be a name"},

    {K::ExpectedKeywordName, "Keyword argument must be named by an identifier"},
    {K::PositionalAfterKeyword, "Positional argument follows keyword argument"},
    {K::PositionalAfterKeywordUnpacking, "Positional argument follows keyword argument unpacking"},
    {K::IterableAfterKeywordUnpacking, "Iterable argument unpacking follows keyword argument unpacking"},
    {K::ParameterAfterKwarg, "Parameter cannot follow the \"**\" parameter"},
    {K::DefaultBeforeNonDefault, "Parameter without a default follows a parameter with a default"},
    {K::VarargWithDefault, "A \"*\" or \"**\" parameter cannot have a default"},
    {K::TwoVarargs, "Only one \"*\" parameter is allowed"},
    {K::TwoStarSeparators, "Only one \"*\" separator is allowed"},
    {K::StarSeparatorAfterVararg, "Keyword-only separator \"*\" cannot follow a \"*\" parameter"},
    {K::KeywordParameterExpected, "Expected a keyword-only parameter after \"*\""},
    {K::SlashFirst, "Positional-only separator \"/\" cannot come first"},
    {K::TwoSlashes, "Only one \"/\" separator is allowed"},
    {K::SlashAfterStar, "Positional-only separator \"/\" must come before \"*\""},
    {K::UnparenthesizedReturnTypes, "Multiple return types must be parenthesized"},
    {K::EmptyTypeParameters, "Type parameter list cannot be empty"},
    {K::ExpectedDecoratedDefinition, "Expected a class or function definition after decorators"},
    {K::UnexpectedAfterAsync, "Expected \"def\", \"with\" or \"for\" after \"async\""},

    {K::MixedBytes, "Bytes literals cannot be mixed with other string literals"},
    {K::MixedTemplate, "T-string literals cannot be mixed with other string literals"},
    {K::InvalidConversion, "Invalid conversion: expected \"!s\", \"!r\" or \"!a\""},
    {K::ConversionAfterSpace, "Conversion must come right after \"!\""},
    {K::UnclosedReplacementField, "Expected \"}\" to close the replacement field"},

    {K::EmptyNames, "Expected at least one name"},
    {K::TrailingComma, "Trailing comma not allowed here"},
    {K::StarImportNotAlone, "Star import must be the only imported name"},
    {K::ParenthesizedStarImport, "Star import cannot be parenthesized"},
    {K::ExpectedModuleName, "Expected a module name"},
    {K::ExpectedAsName, "Expected a name after \"as\""},
    {K::RaiseWithoutException, "Exception missing in a \"raise\" with a cause"},
    {K::ExpectedExceptionType, "Expected one or more exception types"},
    {K::UnparenthesizedExceptionTypes, "Multiple exception types must be parenthesized when using \"as\""},

    {K::MixedExcept, "Cannot have both \"except\" and \"except*\" on the same \"try\""},
    {K::TryWithoutHandler, "Expected \"except\" or \"finally\" after a \"try\" block"},
    {K::ElseAfterFinally, "\"else\" block must come before the \"finally\" block"},
    {K::ExpectedCase, "Expected a \"case\" block"},

    {K::StarPatternNotAllowed, "Star pattern cannot be used here"},
    {K::WildcardAsTarget, "\"_\" cannot be the name bound by \"as\""},
    {K::InvalidMappingKey, "Invalid mapping pattern key"},
    {K::TwoDoubleStarPatterns, "Only one \"**\" pattern is allowed"},
    {K::PatternAfterDoubleStar, "Pattern cannot follow a \"**\" pattern"},
    {K::InvalidClassPattern, "Invalid class in a class pattern"},
    {K::ExpectedKeywordPatternName, "Keyword pattern must be named by an identifier"},
    {K::PositionalPatternAfterKeyword, "Positional pattern follows keyword pattern"},
    {K::ExpectedRealNumber, "Expected a real number"},
    {K::ExpectedImaginaryNumber, "Expected an imaginary number"},
    {K::ExpectedNumberAfterSign, "Expected a number literal after the sign"},
};

constexpr size_t kKinds = static_cast<size_t>(K::ExpectedNumberAfterSign) + 1;

// Indexed by kind; built once at compile time, so nothing is destroyed at exit.
constexpr std::array<std::string_view, kKinds> kTable = [] {
  std::array<std::string_view, kKinds> table{};
  for (const auto& [kind, text] : kDescriptions) table[static_cast<size_t>(kind)] = text;
  return table;
}();

static_assert(std::size(kDescriptions) == kKinds, "every kind has one description");

}  // namespace

std::string_view describe(SyntaxErrorKind kind) { return kTable[static_cast<size_t>(kind)]; }

}  // namespace tymbe::ast::parser
