#pragma once
// The recursive-descent parser over the lexer's tokens, building the syntax
// tree (tymbe_ast/syntax_tree.h) directly. Expressions are parsed by
// precedence climbing. The first syntax error ends the parse; there is no
// partial tree.
//
// Only the nodes the extraction reads keep their children: an expression that
// no kept node refers to is dropped as soon as its parent is built (the
// tables are cut back to where it began), so the tree holds what it is read
// for and nothing more.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "parser/lexer.h"
#include "parser/syntax_error_kinds.h"
#include "tymbe_ast/parser.h"
#include "tymbe_ast/syntax_tree.h"

namespace tymbe::ast::parser {

// Parses `source` whole as a module; the Module takes the text over.
Result<Module, ParseError> parse_python_module(std::string source);

// The most brackets, blocks and operators that may stand inside one another;
// beyond it the parse ends with a syntax error (bounded recursion on a 2 MiB
// thread stack).
inline constexpr uint32_t kMaxNesting = 1000;
static_assert(kMaxNesting == 1000, "the wording of SyntaxErrorKind::NestingTooDeep names the limit");

// Operator precedence, lowest first.
enum class Precedence : uint8_t {
  None,
  Or,
  And,
  Not,
  Comparison,
  BitOr,
  BitXor,
  BitAnd,
  Shift,
  AddSub,
  MulDiv,
  Unary,
  Power,
  Await,
};

// Where an expression stands decides what it may be.
struct ExprContext {
  enum : uint8_t {
    kExcludeIn = 1 << 0,        // "in" ends the expression (a for target)
    kAllowStarred = 1 << 1,     // "*x" may stand here
    kStarredBitwiseOr = 1 << 2,  // the value of "*" is a bitwise-or expression, not a conditional one
    kAllowYield = 1 << 3,
  };
  uint8_t flags = 0;

  static ExprContext starred_conditional() { return {kAllowStarred}; }
  static ExprContext starred_bitwise_or() { return {kAllowStarred | kStarredBitwiseOr}; }
  static ExprContext yield_or_starred_bitwise_or() { return {kAllowStarred | kStarredBitwiseOr | kAllowYield}; }
  ExprContext excluding_in() const { return {static_cast<uint8_t>(flags | kExcludeIn)}; }
  ExprContext without_star() const { return {static_cast<uint8_t>(flags & ~(kAllowStarred | kStarredBitwiseOr))}; }
  bool has(uint8_t f) const { return (flags & f) != 0; }
};

// A parsed expression: its node (already in the Module's tables) and what
// the checks of its parents need to know of it.
struct Parsed {
  enum : uint8_t {
    // Begins with a parenthesized expression: "(x)", and, as ruff's parser
    // has it, "(x).y" or "(x) or y" too.
    kParenthesized = 1 << 0,
    kOwnParens = 1 << 1,      // a tuple or generator with its parentheses: "(a, b)"
    kTarget = 1 << 2,         // may be assigned to
    kDeleteTarget = 1 << 3,   // may be deleted
    kNot = 1 << 4,            // a "not" expression
  };
  ExprId id = kNoExpr;
  ExprKind kind = ExprKind::Name;
  uint8_t flags = 0;
  TextRange range;

  bool parenthesized() const { return (flags & kParenthesized) != 0; }
  bool is(ExprKind k) const { return kind == k; }
  bool unparenthesized(ExprKind k) const { return kind == k && !parenthesized(); }
  // A tuple without parentheses of its own: "a, b" or "(a), b", not "(a, b)".
  bool bare_tuple() const { return kind == ExprKind::Tuple && !(flags & kOwnParens); }
};

// Where the expression tables stood; cutting back to it drops every
// expression made since.
struct ExprMark {
  uint32_t exprs, names, calls, keywords, dicts, dict_items, string_literals, strings;
};

class PythonParser {
 public:
  PythonParser(Module& module, const LexedSource& lexed);

  // Throws StopParsing at the first syntax error, kept in error().
  void parse_module();
  ParseError& error() { return error_; }

  struct StopParsing {};

 private:
  friend class NestingGuard;

  // ---------------------------------------------------------------- tokens
  const Token& token() const { return tokens_[pos_]; }
  const Token& token_at(size_t ahead) const;
  TokenKind kind() const { return tokens_[pos_].kind; }
  TokenKind peek(size_t ahead = 1) const { return token_at(ahead).kind; }
  bool at(TokenKind k) const { return kind() == k; }
  void bump();
  bool eat(TokenKind k);
  void expect(TokenKind k);
  uint32_t start() const { return token().start; }
  TextRange range_from(uint32_t start) const;
  [[noreturn]] void fail(SyntaxErrorKind kind, TextRange range);
  [[noreturn]] void fail(SyntaxErrorKind kind) { fail(kind, {token().start, token().end}); }
  [[noreturn]] void fail_text(std::string description, TextRange range);

  bool at_name_or_soft_keyword() const { return at(TokenKind::Name) || is_soft_keyword(kind()); }
  bool at_expr() const;
  bool at_simple_statement() const;
  bool at_compound_statement() const;
  bool at_statement() const { return at_simple_statement() || at_compound_statement(); }
  bool at_sequence_end() const;

  struct Checkpoint {
    size_t pos;
    uint32_t prev_end;
    ExprMark exprs;
    uint32_t nesting;
  };
  Checkpoint checkpoint() const;
  void rewind(const Checkpoint& c);

  // ---------------------------------------------------------------- tables
  ExprMark mark() const;
  void cut_back(const ExprMark& mark);
  ExprId add_expr(ExprKind kind, TextRange range, uint32_t data = 0);
  // Drops everything since `mark` and puts one node of `kind` in its place.
  Parsed replace(const ExprMark& mark, ExprKind kind, TextRange range, uint8_t flags = 0);
  Identifier identifier_at(const Token& t);
  TextRef add_text(std::string_view text);

  template <class T>
  static Span<T> flush(std::vector<T>& scratch, size_t base, std::vector<T>& table) {
    const Span<T> span{static_cast<uint32_t>(table.size()), static_cast<uint32_t>(scratch.size() - base)};
    table.insert(table.end(), scratch.begin() + static_cast<std::ptrdiff_t>(base), scratch.end());
    scratch.resize(base);
    return span;
  }

  struct CommaList {
    size_t count = 0;  // elements read
    bool trailing_comma = false;
  };

  // A list separated by commas, as the grammar has it in each place: which
  // tokens start an element, which end the list, and whether a comma may end it.
  template <class IsElement, class IsEnd, class ParseElement>
  CommaList comma_list(IsElement is_element, IsEnd is_end, bool trailing_comma_allowed, ParseElement parse_element) {
    CommaList list;
    for (;;) {
      if (is_element()) {
        parse_element();
        ++list.count;
        if (eat(TokenKind::Comma)) {
          list.trailing_comma = true;
          continue;
        }
        list.trailing_comma = false;
      }
      if (is_end() || at(TokenKind::EndOfFile)) break;
      fail(SyntaxErrorKind::ExpectedToken);
    }
    if (list.trailing_comma && !trailing_comma_allowed) fail(SyntaxErrorKind::TrailingComma);
    return list;
  }

  // ---------------------------------------------------------------- statements
  void parse_statement();
  void parse_simple_statement_line();
  void parse_simple_statement();
  void parse_simple_statements();
  Span<StmtId> parse_body();
  Span<StmtId> parse_block();
  StmtId add_stmt(StmtKind kind, TextRange range, uint32_t data = 0);

  void parse_if();
  void parse_while();
  void parse_for(uint32_t start, bool is_async);
  void parse_loop_rest(StmtKind kind, uint32_t start, bool is_async);
  Span<StmtId> parse_optional_clause(TokenKind keyword);
  void parse_with(uint32_t start, bool is_async);
  void parse_with_items();
  bool try_parenthesized_with_items();
  struct WithItem {
    Parsed context;
    bool has_target = false;
  };
  WithItem parse_with_item(bool speculative);
  void parse_try();
  void parse_function(uint32_t start, Span<Decorator> decorators, bool is_async);
  void parse_class(uint32_t start, Span<Decorator> decorators);
  void parse_decorated();
  void parse_async();
  bool try_match_statement();
  void parse_match_statement(uint32_t start);
  void parse_match_subject();
  void parse_match_body(uint32_t start);
  void parse_type_params();
  void parse_type_param();
  Span<Parameter> parse_parameters(bool lambda);

  void parse_return();
  void parse_raise();
  void parse_import(uint32_t start);
  void parse_from_import(uint32_t start);
  Alias parse_alias(bool from_import);
  Identifier parse_dotted_name();
  void parse_delete();
  void parse_assert();
  void parse_names_list();
  void parse_type_alias();
  void parse_expression_statement(uint32_t start);
  void parse_assignment(uint32_t start, Parsed target);
  void parse_annotated_assignment(uint32_t start, Parsed target);
  void parse_augmented_assignment(uint32_t start, const ExprMark& mark, Parsed target);

  // ---------------------------------------------------------------- expressions
  // Each level below takes the start and the mark of the expression it
  // begins, from the level above where they are the same: one mark per
  // nesting, not one per level, keeps the recursion's frames small.
  Parsed parse_expression_list(ExprContext context);
  Parsed parse_named_or_higher(ExprContext context);
  Parsed parse_conditional_or_higher(ExprContext context = {});
  Parsed parse_conditional_from(ExprContext context, uint32_t start, const ExprMark& before);
  Parsed parse_simple_expression(ExprContext context);
  Parsed parse_binary(Precedence left, ExprContext context);
  Parsed parse_binary_from(Precedence left, ExprContext context, uint32_t start, const ExprMark& before);
  Parsed parse_binary_rest(Parsed left, Precedence left_precedence, ExprContext context, uint32_t start,
                           const ExprMark& before);
  Parsed parse_lhs(Precedence left, ExprContext context, uint32_t start, const ExprMark& before);
  Parsed parse_bitwise_or_value();
  Parsed parse_atom(uint32_t start, const ExprMark& before);
  Parsed parse_postfix(Parsed lhs, uint32_t start, const ExprMark& mark);
  struct ArgumentsSeen {
    bool keyword = false;
    bool keyword_unpacking = false;
    std::optional<TextRange> bare_generator;  // a generator without its own parentheses
  };
  void parse_arguments(uint32_t call_index, bool class_bases);
  void parse_argument(ArgumentsSeen& seen);
  Parsed parse_subscript(uint32_t start, const ExprMark& mark);
  void parse_slice();
  Parsed parse_name();
  Identifier parse_identifier();
  Parsed parse_strings();
  Parsed finish_comprehension(ExprKind kind, TokenKind closer, uint32_t start, const ExprMark& before,
                              uint8_t flags = 0);
  void parse_interpolated_string();
  void parse_interpolated_elements(uint8_t flags);
  void parse_replacement_field(uint8_t flags);
  void check_literal_part(uint8_t flags, uint32_t start, uint32_t end, std::string* out);
  Parsed parse_parenthesized(uint32_t start, const ExprMark& before);
  Parsed parse_list_like(uint32_t start, const ExprMark& before);
  Parsed parse_set_or_dict_like(uint32_t start, const ExprMark& before);
  Parsed parse_tuple_rest(Parsed first, uint32_t start, const ExprMark& mark, bool parenthesized,
                          ExprContext element_context, bool named_elements);
  void parse_comprehension_clauses();
  Parsed parse_lambda(uint32_t start, const ExprMark& before);
  Parsed parse_yield(uint32_t start, const ExprMark& before);
  Parsed parse_starred(ExprContext context, uint32_t start, const ExprMark& before);
  void check_target(const Parsed& target);

  // ---------------------------------------------------------------- patterns
  void parse_case();
  void parse_patterns();
  // What a pattern is, as far as the patterns around it care.
  enum class PatternKind : uint8_t {
    Star,       // *name
    Capture,    // a bare name other than "_"
    Wildcard,   // _
    Attribute,  // a dotted name
    Singleton,  // None, True, False
    Real,       // an int or float literal, perhaps negated
    Imaginary,  // an imaginary literal
    Value,      // any other value: a string, a negated imaginary, a complex sum
    Other,      // sequence, mapping, class, or and as patterns
  };
  bool is_wildcard(const Token& name) const { return name.end - name.start == 1 && source_[name.start] == '_'; }
  PatternKind parse_pattern(bool allow_star);
  PatternKind parse_pattern_lhs(bool allow_star);
  PatternKind parse_literal_pattern();
  void parse_sequence_pattern_rest(TokenKind closing);
  void parse_mapping_pattern();
  void parse_class_pattern_arguments();

  Module& m_;
  const std::string& source_;
  const LexedSource& lexed_;
  const Token* tokens_;
  size_t count_;
  size_t pos_ = 0;
  uint32_t prev_end_ = 0;
  uint32_t nesting_ = 0;
  ParseError error_;

  // Children in the making: each list is gathered here and moved into its
  // table when complete, so nested lists of the same table stay contiguous.
  std::vector<StmtId> stmt_scratch_;
  std::vector<Keyword> keyword_scratch_;
  std::vector<DictItem> item_scratch_;
  std::vector<ElifElseClause> clause_scratch_;
  std::vector<MatchCase> case_scratch_;
  std::vector<ExceptHandler> handler_scratch_;
};

// Counts one level of nesting for as long as it lives.
class NestingGuard {
 public:
  NestingGuard(PythonParser& parser);
  ~NestingGuard() { --parser_.nesting_; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;

 private:
  PythonParser& parser_;
};

}  // namespace tymbe::ast::parser
