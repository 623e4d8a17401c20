// The parser's frame (tokens, errors, tables) and the statements.
#include "parser/python_parser.h"

#include "parser/identifiers.h"
#include "parser/source_text.h"

namespace tymbe::ast::parser {

namespace {

using K = SyntaxErrorKind;
using T = TokenKind;

// A set of token kinds as a bit mask.
class TokenSet {
 public:
  constexpr TokenSet(std::initializer_list<TokenKind> kinds) {
    for (TokenKind k : kinds) bits_[static_cast<unsigned>(k) / 64] |= uint64_t{1} << (static_cast<unsigned>(k) % 64);
  }
  constexpr bool contains(TokenKind k) const {
    return (bits_[static_cast<unsigned>(k) / 64] >> (static_cast<unsigned>(k) % 64)) & 1;
  }

 private:
  uint64_t bits_[2] = {0, 0};
};

constexpr TokenSet kExprStart = {
    T::Name,   T::Minus,        T::Plus,         T::Tilde, T::Star,  T::DoubleStar, T::Lpar,  T::Lbrace,
    T::Lsqb,   T::Lambda,       T::Await,        T::Not,   T::Yield, T::FStringStart, T::TStringStart, T::Int,
    T::Float,  T::Complex,      T::String,       T::Ellipsis, T::True, T::False,    T::None,  T::Case,
    T::Match,  T::Type,         T::Lazy,
};

constexpr TokenSet kSimpleStatementStart = {T::Pass,   T::Return, T::Break, T::Continue, T::Global,
                                            T::Nonlocal, T::Assert, T::Yield, T::Del,      T::Raise,
                                            T::Import, T::From,   T::Type};

constexpr TokenSet kCompoundStatementStart = {T::Match, T::If,    T::With,  T::While, T::For,
                                              T::Try,   T::Def,   T::Class, T::Async, T::At};

// What may follow an expression; a tuple without parentheses ends at any of
// these but the comma.
constexpr TokenSet kSequenceEnd = {T::EndOfFile, T::Newline, T::Semi, T::Colon, T::Rbrace, T::Rsqb,
                                   T::Rpar,      T::Dedent,  T::If,   T::Else,  T::As,     T::From,
                                   T::For,       T::Async,   T::In,   T::Equal, T::Exclamation};

constexpr TokenSet kAugmentedAssign = {T::PlusEqual,    T::MinusEqual,      T::StarEqual,      T::DoubleStarEqual,
                                       T::SlashEqual,   T::DoubleSlashEqual, T::PercentEqual,  T::AtEqual,
                                       T::AmperEqual,   T::VbarEqual,        T::CircumflexEqual, T::LeftShiftEqual,
                                       T::RightShiftEqual};

}  // namespace

NestingGuard::NestingGuard(PythonParser& parser) : parser_(parser) {
  if (++parser_.nesting_ > kMaxNesting) {
    --parser_.nesting_;
    parser_.fail(K::NestingTooDeep);
  }
}

PythonParser::PythonParser(Module& module, const LexedSource& lexed)
    : m_(module),
      source_(module.source),
      lexed_(lexed),
      tokens_(lexed.tokens.data()),
      count_(lexed.tokens.size()) {}

// ------------------------------------------------------------------ tokens

const Token& PythonParser::token_at(size_t ahead) const {
  const size_t i = pos_ + ahead;
  return tokens_[i < count_ ? i : count_ - 1];
}

void PythonParser::bump() {
  const Token& t = token();
  if (t.kind == T::Error) fail(K::ExpectedToken);
  // A node ends with its last real token: line ends, dedents and semicolons
  // belong to no node.
  if (t.kind != T::Newline && t.kind != T::Dedent && t.kind != T::Semi) prev_end_ = t.end;
  if (pos_ + 1 < count_) ++pos_;
}

bool PythonParser::eat(TokenKind k) {
  if (!at(k)) return false;
  bump();
  return true;
}

void PythonParser::expect(TokenKind k) {
  if (!eat(k)) fail(K::ExpectedToken);
}

TextRange PythonParser::range_from(uint32_t start) const {
  if (prev_end_ <= start) return {prev_end_, prev_end_};
  return {start, prev_end_};
}

void PythonParser::fail(SyntaxErrorKind kind, TextRange range) {
  // At the lexer's error the parse cannot go on: that error is the first.
  if (at(T::Error) && lexed_.error) {
    error_ = *lexed_.error;
  } else {
    error_ = make_error(kind, range);
  }
  throw StopParsing{};
}

void PythonParser::fail_text(std::string description, TextRange range) {
  error_ = ParseError{std::move(description), range};
  throw StopParsing{};
}

bool PythonParser::at_expr() const { return kExprStart.contains(kind()); }
bool PythonParser::at_simple_statement() const {
  return kSimpleStatementStart.contains(kind()) || kExprStart.contains(kind());
}
bool PythonParser::at_compound_statement() const { return kCompoundStatementStart.contains(kind()); }
bool PythonParser::at_sequence_end() const { return kSequenceEnd.contains(kind()); }

PythonParser::Checkpoint PythonParser::checkpoint() const { return {pos_, prev_end_, mark(), nesting_}; }

void PythonParser::rewind(const Checkpoint& c) {
  pos_ = c.pos;
  prev_end_ = c.prev_end;
  cut_back(c.exprs);
  nesting_ = c.nesting;
}

// ------------------------------------------------------------------ tables

ExprMark PythonParser::mark() const {
  const auto size = [](const auto& v) { return static_cast<uint32_t>(v.size()); };
  return {size(m_.exprs),      size(m_.names),      size(m_.calls),           size(m_.keywords),
          size(m_.dicts),      size(m_.dict_items), size(m_.string_literals), size(m_.strings)};
}

void PythonParser::cut_back(const ExprMark& mark) {
  m_.exprs.resize(mark.exprs);
  m_.names.resize(mark.names);
  m_.calls.resize(mark.calls);
  m_.keywords.resize(mark.keywords);
  m_.dicts.resize(mark.dicts);
  m_.dict_items.resize(mark.dict_items);
  m_.string_literals.resize(mark.string_literals);
  m_.strings.resize(mark.strings);
}

ExprId PythonParser::add_expr(ExprKind kind, TextRange range, uint32_t data) {
  m_.exprs.push_back({kind, range, data});
  return ExprId{static_cast<uint32_t>(m_.exprs.size() - 1)};
}

Parsed PythonParser::replace(const ExprMark& mark, ExprKind kind, TextRange range, uint8_t flags) {
  cut_back(mark);
  return Parsed{add_expr(kind, range), kind, flags, range};
}

TextRef PythonParser::add_text(std::string_view text) {
  const auto offset = static_cast<uint32_t>(m_.strings.size());
  m_.strings.append(text);
  return {offset, static_cast<uint32_t>(text.size())};
}

Identifier PythonParser::identifier_at(const Token& t) {
  const auto offset = static_cast<uint32_t>(m_.strings.size());
  const std::string_view text = std::string_view(source_).substr(t.start, t.end - t.start);
  if (t.kind == T::Name && (t.flags & kNonAsciiName)) {
    append_identifier(text, m_.strings);
  } else {
    m_.strings.append(text);
  }
  return {{t.start, t.end}, {offset, static_cast<uint32_t>(m_.strings.size() - offset)}};
}


StmtId PythonParser::add_stmt(StmtKind kind, TextRange range, uint32_t data) {
  m_.stmts.push_back({kind, range, data});
  const StmtId id{static_cast<uint32_t>(m_.stmts.size() - 1)};
  stmt_scratch_.push_back(id);
  return id;
}

// ------------------------------------------------------------------ module and blocks

void PythonParser::parse_module() {
  while (!at(T::EndOfFile)) {
    if (at_statement()) {
      parse_statement();
    } else {
      fail(at(T::Indent) ? K::UnexpectedIndent : K::ExpectedStatement);
    }
  }
  m_.body = flush(stmt_scratch_, 0, m_.stmt_lists);
}

Span<StmtId> PythonParser::parse_block() {
  const NestingGuard guard(*this);
  bump();  // the Indent
  const size_t base = stmt_scratch_.size();
  for (;;) {
    if (at_statement()) {
      parse_statement();
    } else if (at(T::Dedent) || at(T::EndOfFile)) {
      break;
    } else {
      fail(at(T::Indent) ? K::UnexpectedIndent : K::ExpectedStatement);
    }
  }
  expect(T::Dedent);
  return flush(stmt_scratch_, base, m_.stmt_lists);
}

Span<StmtId> PythonParser::parse_body() {
  if (eat(T::Newline)) {
    if (at(T::Indent)) return parse_block();
    fail(K::ExpectedIndentedBlock);
  }
  if (!at_simple_statement()) fail(K::ExpectedStatement);
  const size_t base = stmt_scratch_.size();
  parse_simple_statements();
  return flush(stmt_scratch_, base, m_.stmt_lists);
}

// Simple statements on the line of a clause header.
void PythonParser::parse_simple_statements() {
  for (;;) {
    parse_simple_statement();
    if (!eat(T::Semi)) {
      if (at_simple_statement()) fail(K::StatementsOnOneLine);
      break;
    }
    if (!at_simple_statement()) break;
  }
  if (!eat(T::Newline)) fail(at_compound_statement() ? K::CompoundStatementAfterSimple : K::ExpectedNewline);
}

void PythonParser::parse_simple_statement_line() {
  parse_simple_statement();
  const bool semicolon = eat(T::Semi);
  if (eat(T::Newline)) return;
  if (!semicolon && at_simple_statement()) fail(K::StatementsOnOneLine);
  if (at_compound_statement()) fail(K::CompoundStatementAfterSimple);
  // Anything else is not a statement; the enclosing list reports it.
}

// ------------------------------------------------------------------ statements

void PythonParser::parse_statement() {
  const uint32_t s = start();
  const Span<Decorator> no_decorators{static_cast<uint32_t>(m_.decorators.size()), 0};
  switch (kind()) {
    case T::If: return parse_if();
    case T::For: return parse_for(s, false);
    case T::While: return parse_while();
    case T::Def: return parse_function(s, no_decorators, false);
    case T::Class: return parse_class(s, no_decorators);
    case T::Try: return parse_try();
    case T::With: return parse_with(s, false);
    case T::At: return parse_decorated();
    case T::Async: return parse_async();
    case T::Match:
      if (try_match_statement()) return;
      break;
    default:
      break;
  }
  parse_simple_statement_line();
}

void PythonParser::parse_simple_statement() {
  const uint32_t s = start();
  switch (kind()) {
    case T::Return: return parse_return();
    case T::Import: return parse_import(s);
    case T::From: return parse_from_import(s);
    case T::Pass:
      bump();
      add_stmt(StmtKind::Pass, range_from(s));
      return;
    case T::Continue:
      bump();
      add_stmt(StmtKind::Continue, range_from(s));
      return;
    case T::Break:
      bump();
      add_stmt(StmtKind::Break, range_from(s));
      return;
    case T::Raise: return parse_raise();
    case T::Del: return parse_delete();
    case T::Assert: return parse_assert();
    case T::Global:
    case T::Nonlocal: return parse_names_list();
    case T::Type: {
      const TokenKind name = peek(1);
      const TokenKind after = peek(2);
      if ((name == T::Name || is_soft_keyword(name)) && (after == T::Lsqb || after == T::Equal)) {
        return parse_type_alias();
      }
      break;
    }
    case T::Lazy:
      if (peek(1) == T::Import) {
        bump();
        return parse_import(s);
      }
      if (peek(1) == T::From) {
        bump();
        return parse_from_import(s);
      }
      break;
    default:
      break;
  }
  parse_expression_statement(s);
}

void PythonParser::parse_expression_statement(uint32_t s) {
  const ExprMark before = mark();
  const Parsed e = parse_expression_list(ExprContext::yield_or_starred_bitwise_or());
  if (at(T::Equal)) return parse_assignment(s, e);
  if (at(T::Colon)) return parse_annotated_assignment(s, e);
  if (kAugmentedAssign.contains(kind())) return parse_augmented_assignment(s, before, e);
  cut_back(before);
  add_stmt(StmtKind::Expr, range_from(s));
}

void PythonParser::check_target(const Parsed& target) {
  if (!(target.flags & Parsed::kTarget)) fail(K::InvalidAssignmentTarget, target.range);
}

void PythonParser::parse_assignment(uint32_t s, Parsed first) {
  // Only assignments write expr_lists, and a value holds no assignment, so the
  // targets go straight to the table.
  const auto targets = static_cast<uint32_t>(m_.expr_lists.size());
  check_target(first);
  m_.expr_lists.push_back(first.id);
  bump();  // =
  Parsed value = parse_expression_list(ExprContext::yield_or_starred_bitwise_or());
  while (at(T::Equal)) {
    bump();
    check_target(value);
    m_.expr_lists.push_back(value.id);
    value = parse_expression_list(ExprContext::yield_or_starred_bitwise_or());
  }
  const Span<ExprId> span{targets, static_cast<uint32_t>(m_.expr_lists.size()) - targets};
  m_.assigns.push_back({span, value.id});
  add_stmt(StmtKind::Assign, range_from(s), static_cast<uint32_t>(m_.assigns.size() - 1));
}

void PythonParser::parse_annotated_assignment(uint32_t s, Parsed target) {
  bump();  // :
  switch (target.kind) {
    case ExprKind::List: fail(K::AnnotatedListTarget, target.range);
    case ExprKind::Tuple: fail(K::AnnotatedTupleTarget, target.range);
    case ExprKind::Name:
    case ExprKind::Attribute:
    case ExprKind::Subscript: break;
    default: fail(K::InvalidAnnotatedTarget, target.range);
  }
  const Parsed annotation = parse_conditional_or_higher();
  ExprId value = kNoExpr;
  if (eat(T::Equal)) {
    if (!at_expr()) fail(K::ExpectedExpression);
    value = parse_expression_list(ExprContext::yield_or_starred_bitwise_or()).id;
  }
  m_.ann_assigns.push_back({target.id, annotation.id, value});
  add_stmt(StmtKind::AnnAssign, range_from(s), static_cast<uint32_t>(m_.ann_assigns.size() - 1));
}

void PythonParser::parse_augmented_assignment(uint32_t s, const ExprMark& before, Parsed target) {
  if (!target.is(ExprKind::Name) && !target.is(ExprKind::Attribute) && !target.is(ExprKind::Subscript)) {
    fail(K::InvalidAugmentedTarget, target.range);
  }
  bump();  // the operator
  parse_expression_list(ExprContext::yield_or_starred_bitwise_or());
  cut_back(before);
  add_stmt(StmtKind::AugAssign, range_from(s));
}

void PythonParser::parse_return() {
  const uint32_t s = start();
  bump();
  ExprId value = kNoExpr;
  if (at_expr()) value = parse_expression_list(ExprContext::starred_bitwise_or()).id;
  m_.returns.push_back({value});
  add_stmt(StmtKind::Return, range_from(s), static_cast<uint32_t>(m_.returns.size() - 1));
}

void PythonParser::parse_raise() {
  const uint32_t s = start();
  const ExprMark before = mark();
  bump();
  const auto unparenthesized_tuple = [](const Parsed& e) {
    return e.bare_tuple();
  };
  if (at(T::From)) fail(K::RaiseWithoutException);
  if (!at(T::Newline)) {
    const Parsed exception = parse_expression_list({});
    if (unparenthesized_tuple(exception)) fail(K::UnparenthesizedTuple, exception.range);
    if (eat(T::From)) {
      const Parsed cause = parse_expression_list({});
      if (unparenthesized_tuple(cause)) fail(K::UnparenthesizedTuple, cause.range);
    }
  }
  cut_back(before);
  add_stmt(StmtKind::Raise, range_from(s));
}


void PythonParser::parse_import(uint32_t s) {
  const ExprMark before = mark();
  bump();  // import
  const CommaList names = comma_list([&] { return at_name_or_soft_keyword(); },
                                     [&] { return at(T::Semi) || at(T::Newline); }, false, [&] { parse_alias(false); });
  if (names.count == 0) fail(K::EmptyNames);
  cut_back(before);
  add_stmt(StmtKind::Import, range_from(s));
}


void PythonParser::parse_from_import(uint32_t s) {
  bump();  // from
  ImportFrom import;
  for (;;) {
    if (eat(T::Dot)) {
      import.level += 1;
    } else if (eat(T::Ellipsis)) {
      import.level += 3;
    } else {
      break;
    }
  }
  if (at_name_or_soft_keyword()) {
    import.module = parse_dotted_name();
  } else if (import.level == 0) {
    fail(K::ExpectedModuleName);
  }
  expect(T::Import);
  const uint32_t names_start = start();
  const bool parenthesized = eat(T::Lpar);
  const auto first = static_cast<uint32_t>(m_.aliases.size());
  bool star = false;
  comma_list([&] { return at(T::Star) || at_name_or_soft_keyword(); }, [&] { return at(T::Rpar) || at(T::Semi) || at(T::Newline); }, parenthesized, [&] {
                     m_.aliases.push_back(parse_alias(true));
                     star |= m_.aliases.back().name.text.size == 1 && m_.strings[m_.aliases.back().name.text.offset] == '*';
                   });
  const auto count = static_cast<uint32_t>(m_.aliases.size()) - first;
  if (count == 0) fail(K::EmptyNames);
  if (star && count > 1) fail(K::StarImportNotAlone, range_from(names_start));
  if (parenthesized) expect(T::Rpar);
  if (star && parenthesized) fail(K::ParenthesizedStarImport, range_from(names_start));
  import.names = {first, count};
  m_.import_froms.push_back(std::move(import));
  add_stmt(StmtKind::ImportFrom, range_from(s), static_cast<uint32_t>(m_.import_froms.size() - 1));
}

Alias PythonParser::parse_alias(bool from_import) {
  const uint32_t s = start();
  if (eat(T::Star)) {
    const TextRange range = range_from(s);
    return {range, {range, add_text("*")}, std::nullopt};
  }
  const Identifier name = from_import ? parse_identifier() : parse_dotted_name();
  std::optional<Identifier> asname;
  if (eat(T::As)) {
    if (!at_name_or_soft_keyword()) fail(K::ExpectedAsName);
    asname = parse_identifier();
  }
  return {range_from(s), name, asname};
}

Identifier PythonParser::parse_dotted_name() {
  const uint32_t s = start();
  const auto offset = static_cast<uint32_t>(m_.strings.size());
  parse_identifier();
  while (eat(T::Dot)) {
    m_.strings.push_back('.');
    parse_identifier();
  }
  return {range_from(s), {offset, static_cast<uint32_t>(m_.strings.size() - offset)}};
}

void PythonParser::parse_delete() {
  const uint32_t s = start();
  const ExprMark before = mark();
  bump();
  const CommaList targets =
      comma_list([&] { return at_expr(); }, [&] { return at(T::Semi) || at(T::Newline); }, true, [&] {
        const Parsed target = parse_conditional_or_higher(ExprContext::starred_conditional());
        if (!(target.flags & Parsed::kDeleteTarget)) fail(K::InvalidDeleteTarget, target.range);
      });
  if (targets.count == 0) fail(K::EmptyNames);
  cut_back(before);
  add_stmt(StmtKind::Delete, range_from(s));
}

void PythonParser::parse_assert() {
  const uint32_t s = start();
  const ExprMark before = mark();
  bump();
  parse_conditional_or_higher();
  if (eat(T::Comma)) {
    if (!at_expr()) fail(K::ExpectedExpression);
    parse_conditional_or_higher();
  }
  cut_back(before);
  add_stmt(StmtKind::Assert, range_from(s));
}

void PythonParser::parse_names_list() {
  const uint32_t s = start();
  const StmtKind stmt_kind = at(T::Global) ? StmtKind::Global : StmtKind::Nonlocal;
  const ExprMark before = mark();
  bump();
  const CommaList names = comma_list([&] { return at_name_or_soft_keyword(); },
                                     [&] { return at(T::Semi) || at(T::Newline); }, false, [&] { parse_identifier(); });
  if (names.count == 0) fail(K::EmptyNames);
  cut_back(before);
  add_stmt(stmt_kind, range_from(s));
}

void PythonParser::parse_type_alias() {
  const uint32_t s = start();
  const ExprMark before = mark();
  bump();  // type
  parse_identifier();
  if (at(T::Lsqb)) parse_type_params();
  expect(T::Equal);
  parse_conditional_or_higher();
  cut_back(before);
  add_stmt(StmtKind::TypeAlias, range_from(s));
}

void PythonParser::parse_type_params() {
  bump();  // [
  const CommaList params =
      comma_list([&] { return at(T::Star) || at(T::DoubleStar) || at(T::Name) || is_keyword(kind()); },
                 [&] { return at(T::Rsqb); }, true, [&] { parse_type_param(); });
  if (params.count == 0) fail(K::EmptyTypeParameters);
  expect(T::Rsqb);
}

void PythonParser::parse_type_param() {
  const auto optional_value = [&](TokenKind introducer, ExprContext context) {
    if (!eat(introducer)) return;
    if (!at_expr()) fail(K::ExpectedExpression);
    parse_conditional_or_higher(context);
  };
  if (eat(T::Star)) {
    parse_identifier();
    optional_value(T::Equal, ExprContext::starred_bitwise_or());
  } else if (eat(T::DoubleStar)) {
    parse_identifier();
    optional_value(T::Equal, {});
  } else {
    parse_identifier();
    optional_value(T::Colon, {});
    optional_value(T::Equal, {});
  }
}

// ------------------------------------------------------------------ compound statements

void PythonParser::parse_if() {
  const uint32_t s = start();
  bump();
  const ExprMark before = mark();
  parse_named_or_higher({});
  cut_back(before);
  expect(T::Colon);
  const Span<StmtId> body = parse_body();
  const size_t base = clause_scratch_.size();
  while (at(T::Elif)) {
    const uint32_t clause_start = start();
    bump();
    const ExprId test = parse_named_or_higher({}).id;
    expect(T::Colon);
    const Span<StmtId> clause_body = parse_body();
    clause_scratch_.push_back({range_from(clause_start), test, clause_body});
  }
  if (at(T::Else)) {
    const uint32_t clause_start = start();
    bump();
    expect(T::Colon);
    const Span<StmtId> clause_body = parse_body();
    clause_scratch_.push_back({range_from(clause_start), kNoExpr, clause_body});
  }
  m_.ifs.push_back({body, flush(clause_scratch_, base, m_.clauses)});
  add_stmt(StmtKind::If, range_from(s), static_cast<uint32_t>(m_.ifs.size() - 1));
}

void PythonParser::parse_while() {
  const uint32_t s = start();
  bump();
  const ExprMark before = mark();
  parse_named_or_higher({});
  cut_back(before);
  parse_loop_rest(StmtKind::While, s, false);
}

// A loop's body after its header, and its else clause.
void PythonParser::parse_loop_rest(StmtKind kind, uint32_t s, bool is_async) {
  expect(T::Colon);
  const Span<StmtId> body = parse_body();
  const Span<StmtId> orelse = parse_optional_clause(T::Else);
  m_.loops.push_back({is_async, body, orelse});
  add_stmt(kind, range_from(s), static_cast<uint32_t>(m_.loops.size() - 1));
}

// "else:" or "finally:" with its body, when the clause is there.
Span<StmtId> PythonParser::parse_optional_clause(TokenKind keyword) {
  if (!eat(keyword)) return {static_cast<uint32_t>(m_.stmt_lists.size()), 0};
  expect(T::Colon);
  return parse_body();
}

void PythonParser::parse_for(uint32_t s, bool is_async) {
  bump();  // for
  const ExprMark before = mark();
  const Parsed target = parse_expression_list(ExprContext::starred_conditional().excluding_in());
  check_target(target);
  expect(T::In);
  parse_expression_list(ExprContext::starred_bitwise_or());
  cut_back(before);
  parse_loop_rest(StmtKind::For, s, is_async);
}

void PythonParser::parse_with(uint32_t s, bool is_async) {
  bump();  // with
  const ExprMark before = mark();
  parse_with_items();
  cut_back(before);
  expect(T::Colon);
  const Span<StmtId> body = parse_body();
  m_.withs.push_back({is_async, body});
  add_stmt(StmtKind::With, range_from(s), static_cast<uint32_t>(m_.withs.size() - 1));
}

PythonParser::WithItem PythonParser::parse_with_item(bool speculative) {
  WithItem item;
  item.context = speculative ? parse_named_or_higher(ExprContext::yield_or_starred_bitwise_or())
                             : parse_conditional_or_higher();
  if (eat(T::As)) {
    check_target(parse_conditional_or_higher(ExprContext::starred_conditional()));
    item.has_target = true;
  }
  return item;
}

void PythonParser::parse_with_items() {
  if (!at_expr()) fail(K::ExpectedExpression);
  if (at(T::Lpar)) {
    if (try_parenthesized_with_items()) {
      expect(T::Rpar);
      return;
    }
    // The parentheses belong to the first item's expression.
    comma_list([&] { return at_expr(); }, [&] { return at(T::Colon); }, false, [&] { parse_with_item(false); });
    return;
  }
  comma_list([&] { return at_expr(); }, [&] { return at(T::Colon) || at(T::Newline); }, false,
             [&] { parse_with_item(false); });
}

// After "with (": the parentheses either hold the with items or begin the
// first item's expression. The items are read on the first assumption; when
// that does not hold, the parser goes back to the "(".
bool PythonParser::try_parenthesized_with_items() {
  const Checkpoint back = checkpoint();
  bool any_target = false;
  bool named_starred_or_yield = false;  // an item that only a parenthesized expression may hold
  size_t items = 0;
  bool closes_header = false;
  try {
    bump();  // (
    items = comma_list([&] { return at_expr(); }, [&] { return at(T::Rpar); }, true, [&] {
              const auto [context, has_target] = parse_with_item(true);
              any_target |= has_target;
              named_starred_or_yield |=
                  !context.parenthesized() && (context.is(ExprKind::Named) || context.is(ExprKind::Starred) ||
                                               context.is(ExprKind::Yield) || context.is(ExprKind::YieldFrom));
            }).count;
    closes_header = at(T::Rpar) && (peek() == T::Colon || peek() == T::Newline);
  } catch (const StopParsing&) {
    rewind(back);
    return false;
  }
  if (any_target) {
    // Items after all: their expressions may not be bare named, starred or yield expressions.
    if (named_starred_or_yield) fail(K::StarredNotAllowed);
    return true;
  }
  if (closes_header && items > 0 && !named_starred_or_yield) return true;
  rewind(back);
  return false;
}

void PythonParser::parse_try() {
  const uint32_t s = start();
  bump();
  expect(T::Colon);
  const Span<StmtId> body = parse_body();
  const bool has_except = at(T::Except);
  const size_t base = handler_scratch_.size();
  std::optional<bool> star;
  while (at(T::Except)) {
    const uint32_t handler_start = start();
    bump();
    const bool is_star = eat(T::Star);
    const ExprMark before = mark();
    bool bare_tuple = false;
    TextRange types{};
    if (at_expr()) {
      const Parsed e = parse_expression_list({});
      bare_tuple = e.bare_tuple();
      types = e.range;
    } else if (is_star || at(T::As)) {
      fail(K::ExpectedExceptionType);
    }
    if (eat(T::As)) {
      if (bare_tuple) fail(K::UnparenthesizedExceptionTypes, types);
      if (!at_name_or_soft_keyword()) fail(K::ExpectedAsName);
      parse_identifier();
    }
    cut_back(before);
    expect(T::Colon);
    const Span<StmtId> handler_body = parse_body();
    handler_scratch_.push_back({range_from(handler_start), handler_body});
    if (!star) {
      star = is_star;
    } else if (*star != is_star) {
      fail(K::MixedExcept, handler_scratch_.back().range);
    }
  }
  const Span<ExceptHandler> handlers = flush(handler_scratch_, base, m_.handlers);
  const Span<StmtId> orelse = parse_optional_clause(T::Else);
  const bool has_finally = at(T::Finally);
  const Span<StmtId> finalbody = parse_optional_clause(T::Finally);
  if (!has_except && !has_finally) fail(K::TryWithoutHandler);
  if (has_finally && at(T::Else)) fail(K::ElseAfterFinally);
  m_.tries.push_back({star.value_or(false), body, handlers, orelse, finalbody});
  add_stmt(StmtKind::Try, range_from(s), static_cast<uint32_t>(m_.tries.size() - 1));
}

void PythonParser::parse_function(uint32_t s, Span<Decorator> decorators, bool is_async) {
  bump();  // def
  FunctionDef def;
  def.is_async = is_async;
  def.decorators = decorators;
  def.name = parse_identifier();
  if (at(T::Lsqb)) {
    const ExprMark before = mark();
    parse_type_params();
    cut_back(before);
  }
  const uint32_t parameters_start = start();
  def.parameters = parse_parameters(false);
  def.parameters_range = range_from(parameters_start);
  def.returns = kNoExpr;
  if (eat(T::Rarrow)) {
    if (!at_expr()) fail(K::ExpectedExpression);
    const Parsed returns = parse_expression_list({});
    if (returns.bare_tuple()) {
      fail(K::UnparenthesizedReturnTypes, returns.range);
    }
    def.returns = returns.id;
  }
  expect(T::Colon);
  def.body = parse_body();
  m_.function_defs.push_back(def);
  add_stmt(StmtKind::FunctionDef, range_from(s), static_cast<uint32_t>(m_.function_defs.size() - 1));
}

Span<Parameter> PythonParser::parse_parameters(bool lambda) {
  if (!lambda) expect(T::Lpar);
  const auto first = static_cast<uint32_t>(m_.parameters.size());
  bool seen_default = false, seen_slash = false, seen_star_separator = false, kwonly_after_separator = false;
  bool have_vararg = false, have_kwarg = false, any_parameter = false;
  std::optional<TextRange> open_star_separator;

  const auto parameter = [&](uint32_t param_start, ParameterKind param_kind, bool star_annotation) {
    const Identifier name = parse_identifier();
    ExprId annotation = kNoExpr;
    if (!lambda && eat(T::Colon)) {
      if (!at_expr()) fail(K::ExpectedExpression);
      annotation = parse_conditional_or_higher(star_annotation ? ExprContext::starred_bitwise_or() : ExprContext{}).id;
    }
    if (!lambda) m_.parameters.push_back({param_kind, name, range_from(param_start), annotation});
    any_parameter = true;
  };

  comma_list([&] { return at(T::Star) || at(T::DoubleStar) || at(T::Slash) || at_name_or_soft_keyword(); }, [&] { return at(lambda ? T::Colon : T::Rpar); }, true, [&] {
    const uint32_t param_start = start();
    if (have_kwarg) fail(K::ParameterAfterKwarg);
    if (at(T::Star)) {
      const TextRange star_range{token().start, token().end};
      bump();
      if (at_name_or_soft_keyword()) {
        parameter(param_start, ParameterKind::Vararg, true);
        if (at(T::Equal)) fail(K::VarargWithDefault);
        if (seen_star_separator || have_vararg) fail(K::TwoVarargs, range_from(param_start));
        have_vararg = true;
        open_star_separator.reset();
      } else {
        if (seen_star_separator) fail(K::TwoStarSeparators, star_range);
        if (have_vararg) fail(K::StarSeparatorAfterVararg, star_range);
        seen_star_separator = true;
        open_star_separator = star_range;
      }
    } else if (at(T::DoubleStar)) {
      bump();
      parameter(param_start, ParameterKind::Kwarg, false);
      if (at(T::Equal)) fail(K::VarargWithDefault);
      if (seen_star_separator && !kwonly_after_separator) fail(K::KeywordParameterExpected, range_from(param_start));
      have_kwarg = true;
      open_star_separator.reset();
    } else if (at(T::Slash)) {
      const TextRange slash_range{token().start, token().end};
      bump();
      if (!any_parameter) fail(K::SlashFirst, slash_range);
      if (seen_slash) fail(K::TwoSlashes, slash_range);
      if (seen_star_separator || have_vararg) fail(K::SlashAfterStar, slash_range);
      if (!lambda) {
        for (size_t i = first; i < m_.parameters.size(); ++i) m_.parameters[i].kind = ParameterKind::PositionalOnly;
      }
      seen_slash = true;
      open_star_separator.reset();
    } else {
      const bool keyword_only = seen_star_separator || have_vararg;
      parameter(param_start, keyword_only ? ParameterKind::KeywordOnly : ParameterKind::Regular, false);
      bool has_default = false;
      if (eat(T::Equal)) {
        if (!at_expr()) fail(K::ExpectedExpression);
        const ExprMark before = mark();
        parse_conditional_or_higher();
        cut_back(before);
        has_default = true;
      }
      if (!has_default && seen_default && !keyword_only) fail(K::DefaultBeforeNonDefault, range_from(param_start));
      seen_default |= has_default;
      if (seen_star_separator) kwonly_after_separator = true;
      open_star_separator.reset();
    }
  });
  if (open_star_separator) fail(K::KeywordParameterExpected, *open_star_separator);
  if (!lambda) expect(T::Rpar);
  return {first, static_cast<uint32_t>(m_.parameters.size()) - first};
}

void PythonParser::parse_class(uint32_t s, Span<Decorator> decorators) {
  bump();  // class
  ClassDef def;
  def.decorators = decorators;
  def.name = parse_identifier();
  if (at(T::Lsqb) || at(T::Lpar)) {
    const ExprMark before = mark();
    if (at(T::Lsqb)) parse_type_params();
    if (at(T::Lpar)) {
      m_.calls.push_back({kNoExpr, {}});
      parse_arguments(static_cast<uint32_t>(m_.calls.size() - 1), true);
    }
    cut_back(before);
  }
  expect(T::Colon);
  def.body = parse_body();
  m_.class_defs.push_back(def);
  add_stmt(StmtKind::ClassDef, range_from(s), static_cast<uint32_t>(m_.class_defs.size() - 1));
}

void PythonParser::parse_decorated() {
  const uint32_t s = start();
  const auto first = static_cast<uint32_t>(m_.decorators.size());
  while (at(T::At)) {
    const uint32_t decorator_start = start();
    bump();
    const ExprId expression = parse_named_or_higher({}).id;
    m_.decorators.push_back({range_from(decorator_start), expression});
    expect(T::Newline);
  }
  const Span<Decorator> decorators{first, static_cast<uint32_t>(m_.decorators.size()) - first};
  if (at(T::Def)) return parse_function(s, decorators, false);
  if (at(T::Class)) return parse_class(s, decorators);
  if (at(T::Async) && peek() == T::Def) {
    bump();
    return parse_function(s, decorators, true);
  }
  fail(K::ExpectedDecoratedDefinition);
}

void PythonParser::parse_async() {
  const uint32_t s = start();
  bump();
  switch (kind()) {
    case T::Def: return parse_function(s, {static_cast<uint32_t>(m_.decorators.size()), 0}, true);
    case T::With: return parse_with(s, true);
    case T::For: return parse_for(s, true);
    default: fail(K::UnexpectedAfterAsync);
  }
}

// "match" is a keyword only where a match statement can start; elsewhere it
// is a name. The token after it decides, or, where it cannot, a trial parse
// of the subject up to its ":".
bool PythonParser::try_match_statement() {
  const uint32_t s = start();
  const TokenKind next = peek(1);
  if (next == T::Not && peek(2) == T::In) return false;
  switch (next) {
    case T::Name:
    case T::Int:
    case T::Float:
    case T::Complex:
    case T::String:
    case T::FStringStart:
    case T::TStringStart:
    case T::Lbrace:
    case T::Tilde:
    case T::Ellipsis:
    case T::Not:
    case T::Await:
    case T::Yield:
    case T::Lambda:
    case T::None:
    case T::True:
    case T::False:
    case T::Case:
    case T::Match:
    case T::Type:
    case T::Lazy:
      parse_match_statement(s);
      return true;
    case T::Lpar:
    case T::Lsqb:
    case T::Star:
    case T::Plus:
    case T::Minus:
      break;
    default:
      return false;
  }
  const Checkpoint back = checkpoint();
  try {
    bump();  // match
    parse_match_subject();
  } catch (const StopParsing&) {
    rewind(back);
    return false;
  }
  if (at(T::Colon)) {
    bump();
  } else if (at(T::Newline) && peek(1) == T::Indent && peek(2) == T::Case) {
    fail(K::ExpectedToken);
  } else {
    rewind(back);
    return false;
  }
  parse_match_body(s);
  return true;
}

void PythonParser::parse_match_statement(uint32_t s) {
  bump();  // match
  parse_match_subject();
  expect(T::Colon);
  parse_match_body(s);
}

void PythonParser::parse_match_subject() {
  const ExprMark before = mark();
  const uint32_t s = start();
  const Parsed subject = parse_named_or_higher(ExprContext::starred_bitwise_or());
  if (at(T::Comma)) {
    parse_tuple_rest(subject, s, before, false, ExprContext::starred_bitwise_or(), true);
  } else if (subject.unparenthesized(ExprKind::Starred)) {
    fail(K::StarredNotAllowed, subject.range);
  }
  cut_back(before);
}

void PythonParser::parse_match_body(uint32_t s) {
  expect(T::Newline);
  if (!at(T::Indent)) fail(K::ExpectedIndentedBlock);
  bump();
  if (!at(T::Case)) fail(K::ExpectedCase);
  const size_t base = case_scratch_.size();
  while (at(T::Case)) parse_case();
  expect(T::Dedent);
  m_.matches.push_back({flush(case_scratch_, base, m_.cases)});
  add_stmt(StmtKind::Match, range_from(s), static_cast<uint32_t>(m_.matches.size() - 1));
}

}  // namespace tymbe::ast::parser

namespace tymbe::ast::parser {

namespace {

// The Module lives as long as the cache keeps it: give back what the tables'
// growth left unused.
void release_slack(Module& m) {
  const auto shrink = [](auto&... tables) { (tables.shrink_to_fit(), ...); };
  shrink(m.strings, m.comments, m.stmts, m.exprs, m.stmt_lists, m.expr_lists, m.function_defs, m.class_defs,
         m.returns, m.ifs, m.loops, m.withs, m.matches, m.tries, m.assigns, m.ann_assigns, m.import_froms,
         m.decorators, m.parameters, m.clauses, m.cases, m.handlers, m.aliases, m.names, m.calls, m.keywords,
         m.dicts, m.dict_items, m.string_literals);
}

}  // namespace

Result<Module, ParseError> parse_python_module(std::string source) {
  if (auto too_large = check_source_size(source.size())) return Failure{std::move(*too_large)};
  if (auto bad_bytes = check_source_bytes(source)) return Failure{std::move(*bad_bytes)};
  Module module;
  module.source = std::move(source);
  LexedSource lexed = lex(module.source);
  PythonParser parser(module, lexed);
  try {
    parser.parse_module();
  } catch (const PythonParser::StopParsing&) {
    return Failure{std::move(parser.error())};
  }
  module.comments = std::move(lexed.comments);
  release_slack(module);
  return module;
}

}  // namespace tymbe::ast::parser
