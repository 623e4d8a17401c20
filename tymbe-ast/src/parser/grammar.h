#pragma once
// The pinned tree-sitter Python grammar as this front end sees it: every node
// symbol mapped once to a small enum, and the field ids looked up once per
// process, so the walks switch on integers instead of comparing names.

#include <tree_sitter/api.h>

#include <cstdint>
#include <vector>

extern "C" const TSLanguage* tree_sitter_python(void);

namespace tymbe::ast::parser {

// Node types the front end tells apart; every other symbol is Other.
enum class Sym : uint8_t {
  Other,
  Error,
  // statements and their parts
  Module,
  Block,
  Comment,
  LineContinuation,
  DecoratedDefinition,
  Decorator,
  FunctionDefinition,
  ClassDefinition,
  Parameters,
  LambdaParameters,
  TypedParameter,
  DefaultParameter,
  TypedDefaultParameter,
  ListSplatPattern,
  DictionarySplatPattern,
  KeywordSeparator,
  PositionalSeparator,
  IfStatement,
  ElifClause,
  ElseClause,
  ForStatement,
  WhileStatement,
  WithStatement,
  WithItem,
  MatchStatement,
  CaseClause,
  CasePattern,
  TryStatement,
  ExceptClause,
  ExceptGroupClause,
  FinallyClause,
  ExpressionStatement,
  Assignment,
  AugmentedAssignment,
  ReturnStatement,
  ImportFromStatement,
  FutureImportStatement,
  RelativeImport,
  ImportPrefix,
  DottedName,
  AliasedImport,
  WildcardImport,
  ImportStatement,
  PrintStatement,
  Chevron,
  ExecStatement,
  PassStatement,
  BreakStatement,
  ContinueStatement,
  GlobalStatement,
  NonlocalStatement,
  DeleteStatement,
  AssertStatement,
  RaiseStatement,
  TypeAliasStatement,
  // expressions
  Identifier,
  Call,
  ArgumentList,
  KeywordArgument,
  Dictionary,
  Pair,
  DictionarySplat,
  ListSplat,
  String,
  StringStart,
  StringContent,
  StringEnd,
  Interpolation,
  FormatSpecifier,
  TypeConversion,
  ConcatenatedString,
  BooleanOperator,
  NotOperator,
  NamedExpression,
  BinaryOperator,
  UnaryOperator,
  Lambda,
  ConditionalExpression,
  Set,
  ListComprehension,
  SetComprehension,
  DictionaryComprehension,
  GeneratorExpression,
  Await,
  Yield,
  ComparisonOperator,
  Integer,
  Float,
  True,
  False,
  None,
  Ellipsis,
  Attribute,
  Subscript,
  Slice,
  List,
  Tuple,
  ExpressionList,
  PatternList,
  TuplePattern,
  ListPattern,
  ParenthesizedExpression,
  AsPattern,
  AsPatternTarget,
  ForInClause,
  IfClause,
  Type,
  GenericType,
  UnionType,
  MemberType,
  ConstrainedType,
  SplatType,
  // anonymous tokens
  TokAsync,
  TokComma,
  TokFrom,
  TokStar,
  TokDoubleStar,
  TokNotEqualOld,  // "<>"
  TokFuture,       // "__future__"
  TokOpenParen,
  TokDot,
  TokEllipsisToken,
  Count,
};

struct Grammar {
  const TSLanguage* language;
  std::vector<Sym> by_symbol;

  TSFieldId alias, alternative, argument, arguments, body, condition, consequence, definition, function, key, left,
      module_name, name, object, parameters, return_type, right, subject, type, value;

  static const Grammar& get();

  Sym sym(TSNode node) const {
    TSSymbol s = ts_node_symbol(node);
    return s < by_symbol.size() ? by_symbol[s] : (s == static_cast<TSSymbol>(-1) ? Sym::Error : Sym::Other);
  }

 private:
  Grammar();
};

}  // namespace tymbe::ast::parser
