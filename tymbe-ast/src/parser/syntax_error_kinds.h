#pragma once
// The syntax errors of the lexer and the parser: one kind for each, its
// wording in one table (syntax_error_kinds.cpp), and the error made from a
// kind and a range in one place.

#include <cstdint>
#include <string>
#include <string_view>

#include "tymbe_ast/parser.h"

namespace tymbe::ast::parser {

enum class SyntaxErrorKind : uint8_t {
  // The text itself.
  NullByte,
  InvalidUtf8,
  NestingTooDeep,

  // Lexical.
  UnexpectedCharacter,
  CharacterAfterLineContinuation,
  EndOfFileAfterLineContinuation,
  EndOfFileInBrackets,
  UnterminatedString,
  UnterminatedTripleQuotedString,
  UnterminatedFString,
  NewlineInFormatSpec,
  SingleClosingBrace,
  InvalidNumber,
  LeadingZeros,
  UnderscoreAfterDecimalPoint,
  IndentationMismatch,

  // Layout of statements.
  UnexpectedIndent,
  ExpectedIndentedBlock,
  ExpectedStatement,
  StatementsOnOneLine,
  CompoundStatementAfterSimple,
  ExpectedNewline,

  // Tokens the grammar requires.
  ExpectedToken,
  ExpectedExpression,
  ExpectedIdentifier,
  KeywordAsIdentifier,
  ExpectedPattern,

  // Expressions in the wrong place.
  StarredNotAllowed,
  YieldNotAllowed,
  LambdaNotAllowed,
  NotNotAllowed,
  UnaryNotAllowed,
  AwaitNotAllowed,
  PrecedenceTooLow,  // a comparison, boolean, conditional or lambda where "|" binds tighter
  UnparenthesizedNamed,
  UnparenthesizedTuple,
  UnparenthesizedGenerator,
  EmptySubscript,

  // Targets.
  InvalidAssignmentTarget,
  InvalidAnnotatedTarget,
  AnnotatedListTarget,
  AnnotatedTupleTarget,
  InvalidAugmentedTarget,
  InvalidDeleteTarget,
  InvalidNamedTarget,

  // Calls and definitions.
  ExpectedKeywordName,
  PositionalAfterKeyword,
  PositionalAfterKeywordUnpacking,
  IterableAfterKeywordUnpacking,
  ParameterAfterKwarg,
  DefaultBeforeNonDefault,
  VarargWithDefault,
  TwoVarargs,
  TwoStarSeparators,
  StarSeparatorAfterVararg,
  KeywordParameterExpected,
  SlashFirst,
  TwoSlashes,
  SlashAfterStar,
  UnparenthesizedReturnTypes,
  EmptyTypeParameters,
  ExpectedDecoratedDefinition,
  UnexpectedAfterAsync,

  // Strings.
  MixedBytes,
  MixedTemplate,
  InvalidConversion,
  ConversionAfterSpace,
  UnclosedReplacementField,

  // Simple statements.
  EmptyNames,
  TrailingComma,
  StarImportNotAlone,
  ParenthesizedStarImport,
  ExpectedModuleName,
  ExpectedAsName,
  RaiseWithoutException,
  ExpectedExceptionType,
  UnparenthesizedExceptionTypes,

  // Compound statements.
  MixedExcept,
  TryWithoutHandler,
  ElseAfterFinally,
  ExpectedCase,

  // Patterns.
  StarPatternNotAllowed,
  WildcardAsTarget,
  InvalidMappingKey,
  TwoDoubleStarPatterns,
  PatternAfterDoubleStar,
  InvalidClassPattern,
  ExpectedKeywordPatternName,
  PositionalPatternAfterKeyword,
  ExpectedRealNumber,
  ExpectedImaginaryNumber,
  ExpectedNumberAfterSign,
};

std::string_view describe(SyntaxErrorKind kind);

inline ParseError make_error(SyntaxErrorKind kind, TextRange range) { return {std::string(describe(kind)), range}; }

}  // namespace tymbe::ast::parser
