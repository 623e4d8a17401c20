#pragma once
// The syntax tree of one parsed Python module: plain data in flat tables.
//
// Every node is an entry of a table of the Module and refers to its children
// by index, so the tree has no pointers, is freed without recursion however
// deep the source nests, and is cheap to share behind a shared_ptr<const>.
// Only the node kinds that the extraction reads carry children; every other
// statement or expression keeps its kind and its byte range.
//
// Ranges are byte offsets into Module::source, start inclusive, end exclusive,
// and follow the usual Python AST conventions: a parenthesised expression has
// the range of the expression inside (a parenthesised tuple and a generator
// keep their parentheses); a call runs from its callee to its ")"; a decorated
// definition starts at its first "@"; a compound statement ends where its
// last body statement ends; a keyword argument starts at its name; a
// parameter runs from its name (or its "*" / "**") through its annotation.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tymbe::ast {

struct TextRange {
  uint32_t start = 0;
  uint32_t end = 0;

  uint32_t length() const noexcept { return end - start; }
  friend bool operator==(const TextRange&, const TextRange&) = default;
};

// The largest source that ranges can address: their offsets are 32-bit.
inline constexpr size_t kMaxSourceSize = UINT32_MAX;

// Indexes into Module::stmts and Module::exprs.
enum class StmtId : uint32_t {};
enum class ExprId : uint32_t {};
inline constexpr ExprId kNoExpr{0xFFFFFFFFu};
inline bool present(ExprId id) noexcept { return id != kNoExpr; }

// A run of consecutive entries of the Module's table for T.
template <class T>
struct Span {
  uint32_t offset = 0;
  uint32_t size = 0;

  bool empty() const noexcept { return size == 0; }
};

// Text held in Module::strings (identifiers, dotted module names, decoded
// string values). Identifiers holding a non-ASCII character are in NFKC.
struct TextRef {
  uint32_t offset = 0;
  uint32_t size = 0;
};

struct Identifier {
  TextRange range;
  TextRef text;
};

// ---------------------------------------------------------------- statements

enum class StmtKind : uint8_t {
  // Kinds with a payload (Stmt::data indexes the kind's table).
  FunctionDef,  // def and async def
  ClassDef,
  Return,
  If,
  For,    // for and async for
  While,
  With,   // with and async with
  Match,
  Try,    // try and try/except*
  Assign,
  AnnAssign,
  ImportFrom,
  // Kinds with a range only.
  Expr,
  Pass,
  Break,
  Continue,
  Import,
  AugAssign,
  TypeAlias,
  Raise,
  Global,
  Nonlocal,
  Delete,
  Assert,
};

struct Stmt {
  StmtKind kind;
  TextRange range;
  uint32_t data = 0;
};

struct Decorator {
  TextRange range;  // from its "@" to the end of its expression
  ExprId expression;
};

enum class ParameterKind : uint8_t { PositionalOnly, Regular, Vararg, KeywordOnly, Kwarg };

struct Parameter {
  ParameterKind kind;
  Identifier name;
  TextRange range;     // name (or "*"/"**") through the annotation; never the default
  ExprId annotation;   // kNoExpr when there is none
};

struct FunctionDef {
  bool is_async = false;
  Identifier name;
  Span<Decorator> decorators;
  TextRange parameters_range;  // from "(" through ")"
  Span<Parameter> parameters;  // in parameter order: the five groups in turn
  ExprId returns;              // kNoExpr without "->"
  Span<StmtId> body;
};

struct ClassDef {
  Identifier name;
  Span<Decorator> decorators;
  Span<StmtId> body;
};

struct Return {
  ExprId value;  // kNoExpr for a bare return
};

struct ElifElseClause {
  TextRange range;
  ExprId test;  // kNoExpr for else
  Span<StmtId> body;
};

struct If {
  Span<StmtId> body;
  Span<ElifElseClause> clauses;
};

// For and While.
struct Loop {
  bool is_async = false;
  Span<StmtId> body;
  Span<StmtId> orelse;
};

struct With {
  bool is_async = false;
  Span<StmtId> body;
};

struct MatchCase {
  TextRange range;
  Span<StmtId> body;
};

struct Match {
  Span<MatchCase> cases;
};

struct ExceptHandler {
  TextRange range;
  Span<StmtId> body;
};

struct Try {
  bool is_star = false;
  Span<StmtId> body;
  Span<ExceptHandler> handlers;
  Span<StmtId> orelse;
  Span<StmtId> finalbody;
};

struct Assign {
  Span<ExprId> targets;  // x = y = 5 has two
  ExprId value;
};

struct AnnAssign {
  ExprId target;
  ExprId annotation;
  ExprId value;  // kNoExpr without "="
};

struct Alias {
  TextRange range;
  Identifier name;  // "*" for a star import
  std::optional<Identifier> asname;
};

struct ImportFrom {
  std::optional<Identifier> module;  // dotted parts joined by "."
  uint32_t level = 0;                // leading dots
  Span<Alias> names;
};

// --------------------------------------------------------------- expressions

enum class ExprKind : uint8_t {
  // Kinds with a payload (Expr::data indexes the kind's table).
  Name,
  Call,
  Dict,
  StringLiteral,
  // Kinds with a range only.
  BytesLiteral,
  FString,
  TString,
  BoolOp,
  Named,
  BinOp,
  UnaryOp,
  Lambda,
  If,
  Set,
  ListComp,
  SetComp,
  DictComp,
  Generator,
  Await,
  Yield,
  YieldFrom,
  Compare,
  NumberLiteral,
  BooleanLiteral,
  NoneLiteral,
  EllipsisLiteral,
  Attribute,
  Subscript,
  Starred,
  List,
  Tuple,
  Slice,
};

struct Expr {
  ExprKind kind;
  TextRange range;
  uint32_t data = 0;
};

struct Name {
  TextRef id;
};

struct Keyword {
  TextRange range;                 // from the name (or "**") to the end of the value
  std::optional<Identifier> arg;   // absent for "**value"
  ExprId value;
};

struct Call {
  ExprId func;
  Span<Keyword> keywords;  // in source order; positional arguments are not kept
};

struct DictItem {
  ExprId key;  // kNoExpr for "**value"
  ExprId value;
};

struct Dict {
  Span<DictItem> items;
};

struct StringLiteral {
  TextRef value;                 // after escape processing
  bool implicit_concatenated = false;
};

// -------------------------------------------------------------------- module

struct Module {
  std::string source;        // the text as read, unchanged
  std::string strings;       // backing store of every TextRef
  Span<StmtId> body;         // top-level statements
  std::vector<TextRange> comments;  // every comment, "#" to line end, in source order

  std::vector<Stmt> stmts;
  std::vector<Expr> exprs;
  std::vector<StmtId> stmt_lists;
  std::vector<ExprId> expr_lists;

  std::vector<FunctionDef> function_defs;
  std::vector<ClassDef> class_defs;
  std::vector<Return> returns;
  std::vector<If> ifs;
  std::vector<Loop> loops;
  std::vector<With> withs;
  std::vector<Match> matches;
  std::vector<Try> tries;
  std::vector<Assign> assigns;
  std::vector<AnnAssign> ann_assigns;
  std::vector<ImportFrom> import_froms;

  std::vector<Decorator> decorators;
  std::vector<Parameter> parameters;
  std::vector<ElifElseClause> clauses;
  std::vector<MatchCase> cases;
  std::vector<ExceptHandler> handlers;
  std::vector<Alias> aliases;

  std::vector<Name> names;
  std::vector<Call> calls;
  std::vector<Keyword> keywords;
  std::vector<Dict> dicts;
  std::vector<DictItem> dict_items;
  std::vector<StringLiteral> string_literals;

  const Stmt& stmt(StmtId id) const { return stmts[static_cast<uint32_t>(id)]; }
  const Expr& expr(ExprId id) const { return exprs[static_cast<uint32_t>(id)]; }
  std::string_view text(TextRef ref) const { return std::string_view(strings).substr(ref.offset, ref.size); }
  std::string_view text(const Identifier& id) const { return text(id.text); }

  template <class T>
  std::span<const T> operator[](Span<T> span) const {
    return std::span<const T>(table(static_cast<const T*>(nullptr))).subspan(span.offset, span.size);
  }

  // Payload of a statement or expression; the kind must match.
  const FunctionDef& function_def(const Stmt& s) const { return function_defs[s.data]; }
  const ClassDef& class_def(const Stmt& s) const { return class_defs[s.data]; }
  const Return& return_(const Stmt& s) const { return returns[s.data]; }
  const If& if_(const Stmt& s) const { return ifs[s.data]; }
  const Loop& loop(const Stmt& s) const { return loops[s.data]; }
  const With& with(const Stmt& s) const { return withs[s.data]; }
  const Match& match(const Stmt& s) const { return matches[s.data]; }
  const Try& try_(const Stmt& s) const { return tries[s.data]; }
  const Assign& assign(const Stmt& s) const { return assigns[s.data]; }
  const AnnAssign& ann_assign(const Stmt& s) const { return ann_assigns[s.data]; }
  const ImportFrom& import_from(const Stmt& s) const { return import_froms[s.data]; }

  const Name& name(const Expr& e) const { return names[e.data]; }
  const Call& call(const Expr& e) const { return calls[e.data]; }
  const Dict& dict(const Expr& e) const { return dicts[e.data]; }
  const StringLiteral& string_literal(const Expr& e) const { return string_literals[e.data]; }

  // Bytes held by the tree beyond the source text (for memory accounting).
  size_t retained_bytes() const;

 private:
  // One overload per span type: a span of an unknown type does not compile.
  const std::vector<StmtId>& table(const StmtId*) const { return stmt_lists; }
  const std::vector<ExprId>& table(const ExprId*) const { return expr_lists; }
  const std::vector<Decorator>& table(const Decorator*) const { return decorators; }
  const std::vector<Parameter>& table(const Parameter*) const { return parameters; }
  const std::vector<ElifElseClause>& table(const ElifElseClause*) const { return clauses; }
  const std::vector<MatchCase>& table(const MatchCase*) const { return cases; }
  const std::vector<ExceptHandler>& table(const ExceptHandler*) const { return handlers; }
  const std::vector<Alias>& table(const Alias*) const { return aliases; }
  const std::vector<Keyword>& table(const Keyword*) const { return keywords; }
  const std::vector<DictItem>& table(const DictItem*) const { return dict_items; }
};

}  // namespace tymbe::ast
