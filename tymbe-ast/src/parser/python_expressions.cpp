// Expressions: precedence climbing over the binary operators, prefix
// operators and atoms below them, displays, calls, strings.
#include "parser/identifiers.h"
#include "parser/python_parser.h"
#include "parser/string_values.h"

namespace tymbe::ast::parser {

namespace {

using K = SyntaxErrorKind;
using T = TokenKind;

constexpr uint8_t kAssignable = Parsed::kTarget | Parsed::kDeleteTarget;

enum class OperatorClass : uint8_t { None, Boolean, Comparison, Binary };

struct Operator {
  OperatorClass cls = OperatorClass::None;
  Precedence precedence = Precedence::None;
  uint8_t tokens = 1;  // "not in" and "is not" take two
};

Operator binary_operator(TokenKind k, TokenKind next) {
  switch (k) {
    case T::Or: return {OperatorClass::Boolean, Precedence::Or};
    case T::And: return {OperatorClass::Boolean, Precedence::And};
    case T::Vbar: return {OperatorClass::Binary, Precedence::BitOr};
    case T::CircumFlex: return {OperatorClass::Binary, Precedence::BitXor};
    case T::Amper: return {OperatorClass::Binary, Precedence::BitAnd};
    case T::LeftShift:
    case T::RightShift: return {OperatorClass::Binary, Precedence::Shift};
    case T::Plus:
    case T::Minus: return {OperatorClass::Binary, Precedence::AddSub};
    case T::Star:
    case T::Slash:
    case T::DoubleSlash:
    case T::Percent:
    case T::At: return {OperatorClass::Binary, Precedence::MulDiv};
    case T::DoubleStar: return {OperatorClass::Binary, Precedence::Power};
    case T::EqEqual:
    case T::NotEqual:
    case T::Less:
    case T::LessEqual:
    case T::Greater:
    case T::GreaterEqual:
    case T::In: return {OperatorClass::Comparison, Precedence::Comparison};
    case T::Is: return {OperatorClass::Comparison, Precedence::Comparison, uint8_t(next == T::Not ? 2 : 1)};
    case T::Not:
      if (next == T::In) return {OperatorClass::Comparison, Precedence::Comparison, 2};
      return {};
    default: return {};
  }
}

bool is_comprehension_start(TokenKind k) { return k == T::For || k == T::Async; }

StringPrefix prefix_of(uint8_t flags) { return {(flags & kRaw) != 0, (flags & kBytes) != 0}; }

}  // namespace

// ------------------------------------------------------------------ levels

Parsed PythonParser::parse_expression_list(ExprContext context) {
  const uint32_t s = start();
  const ExprMark before = mark();
  const Parsed first = parse_conditional_from(context, s, before);
  if (at(T::Comma)) return parse_tuple_rest(first, s, before, false, context, false);
  return first;
}

Parsed PythonParser::parse_named_or_higher(ExprContext context) {
  const uint32_t s = start();
  const ExprMark before = mark();
  const Parsed target = parse_conditional_from(context, s, before);
  if (!at(T::ColonEqual)) return target;
  bump();
  if (!target.is(ExprKind::Name)) fail(K::InvalidNamedTarget, target.range);
  parse_conditional_or_higher();
  return replace(before, ExprKind::Named, range_from(s));
}

Parsed PythonParser::parse_conditional_or_higher(ExprContext context) {
  const ExprMark before = mark();
  return parse_conditional_from(context, start(), before);
}

Parsed PythonParser::parse_conditional_from(ExprContext context, uint32_t s, const ExprMark& before) {
  if (at(T::Lambda)) return parse_lambda(s, before);
  const Parsed body = parse_binary_from(Precedence::None, context, s, before);
  if (!at(T::If)) return body;
  const NestingGuard guard(*this);
  bump();
  parse_simple_expression({});
  expect(T::Else);
  parse_conditional_or_higher();
  return replace(before, ExprKind::If, range_from(s));
}

Parsed PythonParser::parse_simple_expression(ExprContext context) { return parse_binary(Precedence::None, context); }

Parsed PythonParser::parse_binary(Precedence left, ExprContext context) {
  const ExprMark before = mark();
  return parse_binary_from(left, context, start(), before);
}

Parsed PythonParser::parse_binary_from(Precedence left, ExprContext context, uint32_t s, const ExprMark& before) {
  const Parsed lhs = parse_lhs(left, context, s, before);
  return parse_binary_rest(lhs, left, context, s, before);
}

Parsed PythonParser::parse_binary_rest(Parsed left, Precedence left_precedence, ExprContext context, uint32_t s,
                                       const ExprMark& before) {
  for (;;) {
    if (at(T::In) && context.has(ExprContext::kExcludeIn)) break;
    const Operator op = binary_operator(kind(), peek());
    if (op.cls == OperatorClass::None) break;
    const bool stop = op.precedence == Precedence::Power ? op.precedence < left_precedence
                                                          : op.precedence <= left_precedence;
    if (stop) break;
    // The result keeps the left side's "parenthesized" mark.
    const uint8_t keep = left.flags & Parsed::kParenthesized;
    switch (op.cls) {
      case OperatorClass::Boolean: {
        const TokenKind op_token = kind();
        bump();
        do {
          parse_binary(op.precedence, context);
        } while (eat(op_token));
        left = replace(before, ExprKind::BoolOp, range_from(s), keep);
        break;
      }
      case OperatorClass::Comparison: {
        Operator next = op;
        do {
          for (uint8_t i = 0; i < next.tokens; ++i) bump();
          parse_binary(Precedence::Comparison, context);
          if (at(T::In) && context.has(ExprContext::kExcludeIn)) break;
          next = binary_operator(kind(), peek());
        } while (next.cls == OperatorClass::Comparison);
        left = replace(before, ExprKind::Compare, range_from(s), keep);
        break;
      }
      case OperatorClass::Binary: {
        bump();
        if (op.precedence == Precedence::Power) {
          const NestingGuard guard(*this);
          parse_binary(op.precedence, context);
        } else {
          parse_binary(op.precedence, context);
        }
        left = replace(before, ExprKind::BinOp, range_from(s), keep);
        break;
      }
      case OperatorClass::None: break;
    }
  }
  return left;
}

// Prefix operators and what they may stand in, then an atom with its calls,
// subscripts and attributes.
Parsed PythonParser::parse_lhs(Precedence left, ExprContext context, uint32_t s, const ExprMark& before) {
  switch (kind()) {
    case T::Plus:
    case T::Minus:
    case T::Tilde:
    case T::Not: {
      const NestingGuard guard(*this);
      const bool is_not = at(T::Not);
      bump();
      parse_binary(is_not ? Precedence::Not : Precedence::Unary, context);
      const Parsed e = replace(before, ExprKind::UnaryOp, range_from(s), is_not ? Parsed::kNot : 0);
      if (is_not && left > Precedence::Not) fail(K::NotNotAllowed, e.range);
      if (!is_not && left > Precedence::Unary && left != Precedence::Power) fail(K::UnaryNotAllowed, e.range);
      return e;
    }
    case T::Star: {
      const NestingGuard guard(*this);
      const Parsed e = parse_starred(context, s, before);
      if (left > Precedence::None || !context.has(ExprContext::kAllowStarred)) fail(K::StarredNotAllowed, e.range);
      return e;
    }
    case T::Await: {
      const NestingGuard guard(*this);
      bump();
      parse_binary(Precedence::Await, {});
      const Parsed e = replace(before, ExprKind::Await, range_from(s));
      if (left >= Precedence::Await) fail(K::AwaitNotAllowed, e.range);
      return e;
    }
    case T::Lambda: {
      const Parsed e = parse_lambda(s, before);
      fail(K::LambdaNotAllowed, e.range);
    }
    case T::Yield: {
      const NestingGuard guard(*this);
      const Parsed e = parse_yield(s, before);
      if (left > Precedence::None || !context.has(ExprContext::kAllowYield)) fail(K::YieldNotAllowed, e.range);
      return e;
    }
    default:
      break;
  }
  return parse_postfix(parse_atom(s, before), s, before);
}

Parsed PythonParser::parse_starred(ExprContext context, uint32_t s, const ExprMark& before) {
  bump();  // *
  // "* *x" is no expression anywhere: the value of a star is never starred itself.
  const Parsed value = context.has(ExprContext::kStarredBitwiseOr)
                           ? parse_bitwise_or_value()
                           : parse_conditional_or_higher(context.without_star());
  return replace(before, ExprKind::Starred, range_from(s), value.flags & Parsed::kTarget);
}

// The value of "*" and "**" in displays: nothing that binds less tightly
// than "|", unless in parentheses.
Parsed PythonParser::parse_bitwise_or_value() {
  const Parsed e = parse_conditional_or_higher();
  if (e.parenthesized()) return e;
  if (e.is(ExprKind::Compare) || e.is(ExprKind::BoolOp) || (e.flags & Parsed::kNot) || e.is(ExprKind::If) ||
      e.is(ExprKind::Lambda)) {
    fail(K::PrecedenceTooLow, e.range);
  }
  return e;
}

Parsed PythonParser::parse_yield(uint32_t s, const ExprMark& before) {
  bump();  // yield
  if (eat(T::From)) {
    const Parsed value = parse_expression_list({});
    if (value.bare_tuple()) fail(K::UnparenthesizedTuple, value.range);
    return replace(before, ExprKind::YieldFrom, range_from(s));
  }
  if (at_expr()) parse_expression_list(ExprContext::starred_bitwise_or());
  return replace(before, ExprKind::Yield, range_from(s));
}

Parsed PythonParser::parse_lambda(uint32_t s, const ExprMark& before) {
  const NestingGuard guard(*this);
  bump();  // lambda
  if (!at(T::Colon)) parse_parameters(true);
  expect(T::Colon);
  parse_conditional_or_higher();
  return replace(before, ExprKind::Lambda, range_from(s));
}

Parsed PythonParser::parse_tuple_rest(Parsed first, uint32_t s, const ExprMark& before, bool parenthesized,
                                      ExprContext element_context, bool named_elements) {
  bump();  // the comma after the first element
  uint8_t flags = first.flags & kAssignable;
  comma_list([&] { return at_expr(); }, [&] { return parenthesized ? at(T::Rpar) : at_sequence_end(); }, true, [&] {
    const Parsed e = named_elements ? parse_named_or_higher(element_context) : parse_conditional_or_higher(element_context);
    flags &= e.flags;
  });
  if (parenthesized) expect(T::Rpar);
  return replace(before, ExprKind::Tuple, range_from(s), static_cast<uint8_t>(flags | (parenthesized ? Parsed::kOwnParens : 0)));
}

// ------------------------------------------------------------------ atoms

Identifier PythonParser::parse_identifier() {
  const Token t = token();
  if (t.kind == T::Name || is_soft_keyword(t.kind)) {
    bump();
    return identifier_at(t);
  }
  fail(is_keyword(t.kind) ? K::KeywordAsIdentifier : K::ExpectedIdentifier);
}

Parsed PythonParser::parse_name() {
  const Identifier id = parse_identifier();
  m_.names.push_back({id.text});
  return Parsed{add_expr(ExprKind::Name, id.range, static_cast<uint32_t>(m_.names.size() - 1)), ExprKind::Name,
                kAssignable, id.range};
}

Parsed PythonParser::parse_atom(uint32_t s, const ExprMark& before) {
  const Token t = token();
  const TextRange range{t.start, t.end};
  const auto literal = [&](ExprKind k) {
    bump();
    return Parsed{add_expr(k, range), k, 0, range};
  };
  switch (t.kind) {
    case T::Int:
    case T::Float:
    case T::Complex: return literal(ExprKind::NumberLiteral);
    case T::True:
    case T::False: return literal(ExprKind::BooleanLiteral);
    case T::None: return literal(ExprKind::NoneLiteral);
    case T::Ellipsis: return literal(ExprKind::EllipsisLiteral);
    case T::Name: return parse_name();
    case T::String:
    case T::FStringStart:
    case T::TStringStart: return parse_strings();
    case T::Lpar: return parse_parenthesized(s, before);
    case T::Lsqb: return parse_list_like(s, before);
    case T::Lbrace: return parse_set_or_dict_like(s, before);
    default:
      if (is_keyword(t.kind)) return parse_name();
      fail(K::ExpectedExpression);
  }
}

Parsed PythonParser::parse_postfix(Parsed lhs, uint32_t s, const ExprMark& before) {
  const uint8_t keep = lhs.flags & Parsed::kParenthesized;
  for (;;) {
    switch (kind()) {
      case T::Lpar: {
        m_.calls.push_back({lhs.id, {}});
        const auto call = static_cast<uint32_t>(m_.calls.size() - 1);
        parse_arguments(call, false);
        const TextRange range = range_from(s);
        lhs = Parsed{add_expr(ExprKind::Call, range, call), ExprKind::Call, keep, range};
        break;
      }
      case T::Lsqb:
        lhs = parse_subscript(s, before);
        lhs.flags |= keep;
        break;
      case T::Dot:
        bump();
        parse_identifier();
        lhs = replace(before, ExprKind::Attribute, range_from(s), kAssignable | keep);
        break;
      default:
        return lhs;
    }
  }
}

void PythonParser::parse_arguments(uint32_t call, bool class_bases) {
  const NestingGuard guard(*this);
  bump();  // (
  const size_t base = keyword_scratch_.size();
  ArgumentsSeen seen;
  const CommaList arguments =
      comma_list([&] { return at_expr(); }, [&] { return at(T::Rpar); }, true, [&] { parse_argument(seen); });
  expect(T::Rpar);
  if (seen.bare_generator && (arguments.count > 1 || arguments.trailing_comma || class_bases)) {
    fail(K::UnparenthesizedGenerator, *seen.bare_generator);
  }
  m_.calls[call].keywords = flush(keyword_scratch_, base, m_.keywords);
}

// One argument of a call: keywords are kept, positional arguments dropped.
void PythonParser::parse_argument(ArgumentsSeen& seen) {
  const uint32_t argument_start = start();
  if (eat(T::DoubleStar)) {
    const ExprId value = parse_conditional_or_higher().id;
    keyword_scratch_.push_back({range_from(argument_start), std::nullopt, value});
    seen.keyword_unpacking = true;
    return;
  }
  const ExprMark before = mark();
  Parsed e = parse_named_or_higher(ExprContext::starred_conditional());
  bool generator = false;
  if (is_comprehension_start(kind())) {
    parse_comprehension_clauses();
    e = replace(before, ExprKind::Generator, range_from(argument_start));
    generator = true;
  } else if (seen.keyword_unpacking && e.unparenthesized(ExprKind::Starred)) {
    fail(K::IterableAfterKeywordUnpacking, e.range);
  }
  if (eat(T::Equal)) {
    seen.keyword = true;
    if (!e.is(ExprKind::Name)) fail(K::ExpectedKeywordName, e.range);
    cut_back(before);
    const auto offset = static_cast<uint32_t>(m_.strings.size());
    append_identifier(std::string_view(source_).substr(e.range.start, e.range.length()), m_.strings);
    const Identifier name{e.range, {offset, static_cast<uint32_t>(m_.strings.size() - offset)}};
    const ExprId value = parse_conditional_or_higher().id;
    keyword_scratch_.push_back({range_from(argument_start), name, value});
    return;
  }
  if (!e.unparenthesized(ExprKind::Starred)) {
    if (seen.keyword_unpacking) fail(K::PositionalAfterKeywordUnpacking, e.range);
    if (seen.keyword) fail(K::PositionalAfterKeyword, e.range);
  }
  if (generator && !seen.bare_generator) seen.bare_generator = e.range;
  cut_back(before);
}

Parsed PythonParser::parse_subscript(uint32_t s, const ExprMark& before) {
  const NestingGuard guard(*this);
  bump();  // [
  if (at(T::Rsqb)) fail(K::EmptySubscript);
  parse_slice();
  if (eat(T::Comma)) {
    comma_list([&] { return at(T::Colon) || at_expr(); }, [&] { return at(T::Rsqb); }, true, [&] { parse_slice(); });
  }
  expect(T::Rsqb);
  return replace(before, ExprKind::Subscript, range_from(s), kAssignable);
}

void PythonParser::parse_slice() {
  const auto at_bound_end = [&](bool colon_ends) {
    return at(T::Comma) || at(T::Rsqb) || at(T::Newline) || at(T::EndOfFile) || (colon_ends && at(T::Colon));
  };
  if (at_expr()) {
    const Parsed lower = parse_named_or_higher(ExprContext::starred_conditional());
    if (at_bound_end(false)) return;  // an index, not a slice
    if (!lower.parenthesized()) {
      if (lower.is(ExprKind::Starred)) fail(K::StarredNotAllowed, lower.range);
      if (lower.is(ExprKind::Named)) fail(K::UnparenthesizedNamed, lower.range);
    }
  }
  expect(T::Colon);
  if (!at_bound_end(true)) parse_conditional_or_higher();
  if (eat(T::Colon) && !at_bound_end(false)) parse_conditional_or_higher();
}

// ------------------------------------------------------------------ displays

void PythonParser::parse_comprehension_clauses() {
  while (is_comprehension_start(kind())) {
    if (eat(T::Async)) {
      expect(T::For);
    } else {
      bump();
    }
    check_target(parse_expression_list(ExprContext::starred_conditional().excluding_in()));
    expect(T::In);
    parse_simple_expression({});
    while (eat(T::If)) parse_simple_expression({});
  }
}

// The clauses after a comprehension's element, then its closing bracket.
Parsed PythonParser::finish_comprehension(ExprKind kind, TokenKind closer, uint32_t s, const ExprMark& before,
                                          uint8_t flags) {
  parse_comprehension_clauses();
  expect(closer);
  return replace(before, kind, range_from(s), flags);
}

Parsed PythonParser::parse_parenthesized(uint32_t s, const ExprMark& before) {
  const NestingGuard guard(*this);
  bump();  // (
  if (eat(T::Rpar)) return replace(before, ExprKind::Tuple, range_from(s), Parsed::kOwnParens | kAssignable);
  Parsed e = parse_named_or_higher(ExprContext::yield_or_starred_bitwise_or());
  if (at(T::Comma)) return parse_tuple_rest(e, s, before, true, ExprContext::starred_bitwise_or(), true);
  if (is_comprehension_start(kind())) {
    return finish_comprehension(ExprKind::Generator, T::Rpar, s, before, Parsed::kOwnParens);
  }
  if (e.is(ExprKind::Starred)) fail(K::StarredNotAllowed, e.range);
  expect(T::Rpar);
  e.flags |= Parsed::kParenthesized;
  return e;
}

Parsed PythonParser::parse_list_like(uint32_t s, const ExprMark& before) {
  const NestingGuard guard(*this);
  bump();  // [
  if (eat(T::Rsqb)) return replace(before, ExprKind::List, range_from(s), kAssignable);
  const Parsed first = parse_named_or_higher(ExprContext::starred_bitwise_or());
  if (is_comprehension_start(kind())) {
    return finish_comprehension(ExprKind::ListComp, T::Rsqb, s, before);
  }
  if (!at_sequence_end()) expect(T::Comma);
  uint8_t flags = first.flags & kAssignable;
  comma_list([&] { return at_expr(); }, [&] { return at(T::Rsqb); }, true,
             [&] { flags &= parse_named_or_higher(ExprContext::starred_bitwise_or()).flags; });
  expect(T::Rsqb);
  return replace(before, ExprKind::List, range_from(s), flags);
}

Parsed PythonParser::parse_set_or_dict_like(uint32_t s, const ExprMark& before) {
  const NestingGuard guard(*this);
  bump();  // {
  const size_t base = item_scratch_.size();
  const auto dict = [&] {
    if (!at_sequence_end()) expect(T::Comma);
    comma_list([&] { return at(T::DoubleStar) || at_expr(); }, [&] { return at(T::Rbrace); }, true, [&] {
      if (eat(T::DoubleStar)) {
        item_scratch_.push_back({kNoExpr, parse_bitwise_or_value().id});
        return;
      }
      const ExprId key = parse_conditional_or_higher().id;
      expect(T::Colon);
      item_scratch_.push_back({key, parse_conditional_or_higher().id});
    });
    expect(T::Rbrace);
    m_.dicts.push_back({flush(item_scratch_, base, m_.dict_items)});
    const TextRange range = range_from(s);
    return Parsed{add_expr(ExprKind::Dict, range, static_cast<uint32_t>(m_.dicts.size() - 1)), ExprKind::Dict, 0,
                  range};
  };
  if (at(T::Rbrace)) return dict();
  if (eat(T::DoubleStar)) {
    const ExprId value = parse_bitwise_or_value().id;
    if (is_comprehension_start(kind())) {  // {**d for d in ds}
      return finish_comprehension(ExprKind::DictComp, T::Rbrace, s, before);
    }
    item_scratch_.push_back({kNoExpr, value});
    return dict();
  }
  const Parsed key = parse_named_or_higher(ExprContext::starred_bitwise_or());
  if (is_comprehension_start(kind())) {
    return finish_comprehension(ExprKind::SetComp, T::Rbrace, s, before);
  }
  if (at(T::Colon)) {
    if (!key.parenthesized()) {
      if (key.is(ExprKind::Starred)) fail(K::StarredNotAllowed, key.range);
      if (key.is(ExprKind::Named)) fail(K::UnparenthesizedNamed, key.range);
    }
    bump();
    const Parsed value = parse_conditional_or_higher();
    if (is_comprehension_start(kind())) {
      return finish_comprehension(ExprKind::DictComp, T::Rbrace, s, before);
    }
    item_scratch_.push_back({key.id, value.id});
    return dict();
  }
  if (!at_sequence_end()) expect(T::Comma);
  comma_list([&] { return at_expr(); }, [&] { return at(T::Rbrace); }, true,
             [&] { parse_named_or_higher(ExprContext::starred_bitwise_or()); });
  expect(T::Rbrace);
  return replace(before, ExprKind::Set, range_from(s));
}

// ------------------------------------------------------------------ strings

void PythonParser::check_literal_part(uint8_t flags, uint32_t begin, uint32_t end,
                                      std::string* out) {
  const StringPrefix prefix = prefix_of(flags);
  if (end <= begin) return;
  if (auto problem = decode_string_body(std::string_view(source_).substr(begin, end - begin), prefix, out)) {
    fail_text(std::move(problem->description),
              {begin + problem->offset, begin + problem->offset + problem->length});
  }
}

Parsed PythonParser::parse_strings() {
  const uint32_t s = start();
  const ExprMark before = mark();
  const auto value_offset = static_cast<uint32_t>(m_.strings.size());
  size_t parts = 0, bytes = 0, templates = 0, formats = 0;
  for (;;) {
    const Token t = token();
    if (t.kind == T::String) {
      const uint32_t body_start = t.start + t.prefix_length() + t.quote_length();
      check_literal_part(t.flags, body_start, t.end - t.quote_length(), &m_.strings);
      bytes += (t.flags & kBytes) != 0;
      bump();
    } else if (t.kind == T::FStringStart || t.kind == T::TStringStart) {
      ++(t.kind == T::TStringStart ? templates : formats);
      parse_interpolated_string();
    } else {
      break;
    }
    ++parts;
  }
  const TextRange range = range_from(s);
  if (bytes > 0 && bytes < parts) fail(K::MixedBytes, range);
  if (templates > 0 && templates < parts) fail(K::MixedTemplate, range);
  if (bytes > 0) return replace(before, ExprKind::BytesLiteral, range);
  if (templates > 0) return replace(before, ExprKind::TString, range);
  if (formats > 0) return replace(before, ExprKind::FString, range);
  m_.string_literals.push_back(
      {{value_offset, static_cast<uint32_t>(m_.strings.size() - value_offset)}, parts > 1});
  return Parsed{add_expr(ExprKind::StringLiteral, range, static_cast<uint32_t>(m_.string_literals.size() - 1)),
                ExprKind::StringLiteral, 0, range};
}

void PythonParser::parse_interpolated_string() {
  const Token opening = token();
  bump();
  parse_interpolated_elements(opening.flags);
  expect((opening.flags & kTemplate) ? T::TStringEnd : T::FStringEnd);
}

// The literal parts and replacement fields of an f- or t-string, or of a
// format specification inside one.
void PythonParser::parse_interpolated_elements(uint8_t flags) {
  const TokenKind middle = (flags & kTemplate) ? T::TStringMiddle : T::FStringMiddle;
  for (;;) {
    if (at(middle)) {
      const Token t = token();
      check_literal_part(flags, t.start, t.end, nullptr);
      bump();
    } else if (at(T::Lbrace)) {
      parse_replacement_field(flags);
    } else {
      return;
    }
  }
}

void PythonParser::parse_replacement_field(uint8_t flags) {
  const NestingGuard guard(*this);
  const ExprMark before = mark();
  bump();  // {
  parse_expression_list(ExprContext::yield_or_starred_bitwise_or());
  eat(T::Equal);
  if (at(T::Exclamation)) {
    const uint32_t mark_end = token().end;
    bump();
    const Token conversion = token();
    if (conversion.kind != T::Name) fail(K::InvalidConversion);
    if (conversion.start != mark_end) fail(K::ConversionAfterSpace);
    const std::string_view text = std::string_view(source_).substr(conversion.start, conversion.end - conversion.start);
    if (text != "s" && text != "r" && text != "a") fail(K::InvalidConversion);
    bump();
  }
  if (eat(T::Colon)) {
    parse_interpolated_elements(flags);
  }
  if (!eat(T::Rbrace)) fail(K::UnclosedReplacementField);
  cut_back(before);
}

}  // namespace tymbe::ast::parser
