// The patterns of match statements. Nothing of them is kept in the tree;
// they are read for their validity only.
#include "parser/python_parser.h"

namespace tymbe::ast::parser {

namespace {

using K = SyntaxErrorKind;
using T = TokenKind;

// A literal, a name or a dotted name: what starts a value, a capture or a class pattern.
bool is_value_pattern_start(TokenKind k) {
  switch (k) {
    case T::Name:
    case T::None:
    case T::True:
    case T::False:
    case T::String:
    case T::Int:
    case T::Float:
    case T::Complex:
    case T::Minus: return true;
    default: return is_soft_keyword(k);
  }
}

bool is_pattern_start(TokenKind k) {
  return k == T::Star || k == T::Lpar || k == T::Lsqb || k == T::Lbrace || is_value_pattern_start(k);
}

bool is_mapping_key_start(TokenKind k) { return k == T::DoubleStar || k == T::Plus || is_value_pattern_start(k); }

}  // namespace


void PythonParser::parse_case() {
  const uint32_t s = start();
  bump();  // case
  const ExprMark before = mark();
  parse_patterns();
  if (eat(T::If)) {
    if (!at_expr()) fail(K::ExpectedExpression);
    parse_named_or_higher({});
  }
  cut_back(before);
  expect(T::Colon);
  const Span<StmtId> body = parse_body();
  case_scratch_.push_back({range_from(s), body});
}

void PythonParser::parse_patterns() {
  const uint32_t s = start();
  const PatternKind first = parse_pattern(true);
  if (at(T::Comma)) {
    parse_sequence_pattern_rest(T::EndOfFile);
  } else if (first == PatternKind::Star) {
    fail(K::StarPatternNotAllowed, range_from(s));
  }
}

PythonParser::PatternKind PythonParser::parse_pattern(bool allow_star) {
  PatternKind lhs = parse_pattern_lhs(allow_star);
  if (at(T::Vbar)) {
    if (lhs == PatternKind::Star) fail(K::StarPatternNotAllowed);
    while (eat(T::Vbar)) parse_pattern_lhs(false);
    lhs = PatternKind::Other;
  }
  if (eat(T::As)) {
    if (lhs == PatternKind::Star) fail(K::StarPatternNotAllowed);
    const Token name = token();
    parse_identifier();
    if (is_wildcard(name)) fail(K::WildcardAsTarget, {name.start, name.end});
    lhs = PatternKind::Other;
  }
  return lhs;
}

PythonParser::PatternKind PythonParser::parse_pattern_lhs(bool allow_star) {
  PatternKind lhs;
  switch (kind()) {
    case T::Lbrace:
      parse_mapping_pattern();
      lhs = PatternKind::Other;
      break;
    case T::Star:
      bump();
      parse_identifier();
      if (!allow_star) fail(K::StarPatternNotAllowed);
      lhs = PatternKind::Star;
      break;
    case T::Lpar:
    case T::Lsqb: {
      const NestingGuard guard(*this);
      const TokenKind closing = at(T::Lpar) ? T::Rpar : T::Rsqb;
      const bool list = at(T::Lsqb);
      bump();
      if (at(T::Newline) || at(T::Colon)) fail(K::ExpectedToken);
      if (eat(closing)) {
        lhs = PatternKind::Other;
        break;
      }
      lhs = parse_pattern(true);
      if (list || at(T::Comma)) {
        parse_sequence_pattern_rest(closing);
        lhs = PatternKind::Other;
      } else {
        expect(closing);  // a group: the pattern inside it
      }
      break;
    }
    default:
      lhs = parse_literal_pattern();
      break;
  }
  if (at(T::Lpar)) {
    if (lhs != PatternKind::Capture && lhs != PatternKind::Attribute) fail(K::InvalidClassPattern);
    parse_class_pattern_arguments();
    lhs = PatternKind::Other;
  }
  if (at(T::Plus) || at(T::Minus)) {
    if (lhs != PatternKind::Real) fail(K::ExpectedRealNumber);
    bump();
    const NestingGuard guard(*this);
    if (parse_pattern_lhs(false) != PatternKind::Imaginary) fail(K::ExpectedImaginaryNumber);
    lhs = PatternKind::Value;
  }
  return lhs;
}

PythonParser::PatternKind PythonParser::parse_literal_pattern() {
  switch (kind()) {
    case T::None:
    case T::True:
    case T::False:
      bump();
      return PatternKind::Singleton;
    case T::String:
    case T::FStringStart:
    case T::TStringStart:
      parse_strings();
      return PatternKind::Value;
    case T::Complex:
      bump();
      return PatternKind::Imaginary;
    case T::Int:
    case T::Float:
      bump();
      return PatternKind::Real;
    case T::Plus:
    case T::Minus: {
      const TokenKind number = peek();
      if (number != T::Int && number != T::Float && number != T::Complex) break;
      bump();
      const Parsed operand = parse_binary(Precedence::Unary, {});
      if (!operand.is(ExprKind::NumberLiteral)) fail(K::ExpectedNumberAfterSign, operand.range);
      return number == T::Complex ? PatternKind::Value : PatternKind::Real;
    }
    default:
      break;
  }
  if (at(T::Name) || is_keyword(kind())) {
    if (peek() == T::Dot) {
      parse_name();
      while (eat(T::Dot)) parse_identifier();
      return PatternKind::Attribute;
    }
    const Token t = token();
    parse_identifier();
    return is_wildcard(t) ? PatternKind::Wildcard : PatternKind::Capture;
  }
  fail(K::ExpectedPattern);
}

void PythonParser::parse_sequence_pattern_rest(TokenKind closing) {
  const bool open = closing == T::EndOfFile;
  if (!open && (at(closing) || peek() == closing)) {
    eat(T::Comma);  // a single element needs no comma
  } else {
    expect(T::Comma);
  }
  comma_list([&] { return at(T::Plus) || is_pattern_start(kind()); },
             [&] { return open ? (at(T::Colon) || at(T::If)) : at(closing); }, true, [&] { parse_pattern(true); });
  if (!open) expect(closing);
}

void PythonParser::parse_mapping_pattern() {
  const NestingGuard guard(*this);
  bump();  // {
  bool rest = false;
  comma_list([&] { return at(T::Star) || is_mapping_key_start(kind()); }, [&] { return at(T::Rbrace); }, true, [&] {
    if (eat(T::DoubleStar)) {
      parse_identifier();
      if (rest) fail(K::TwoDoubleStarPatterns);
      rest = true;
      return;
    }
    switch (parse_pattern_lhs(false)) {
      case PatternKind::Singleton:
      case PatternKind::Real:
      case PatternKind::Imaginary:
      case PatternKind::Attribute:
      case PatternKind::Value: break;
      default: fail(K::InvalidMappingKey);
    }
    expect(T::Colon);
    parse_pattern(false);
    if (rest) fail(K::PatternAfterDoubleStar);
  });
  expect(T::Rbrace);
}

void PythonParser::parse_class_pattern_arguments() {
  const NestingGuard guard(*this);
  bump();  // (
  bool keyword = false;
  comma_list([&] { return is_pattern_start(kind()); }, [&] { return at(T::Rpar); }, true, [&] {
    const PatternKind pattern = parse_pattern(false);
    if (eat(T::Equal)) {
      keyword = true;
      if (pattern != PatternKind::Capture) fail(K::ExpectedKeywordPatternName);
      parse_pattern(false);
    } else if (keyword) {
      fail(K::PositionalPatternAfterKeyword);
    }
  });
  expect(T::Rpar);
}

}  // namespace tymbe::ast::parser
