#pragma once
// Syntax errors: the descriptions of tree-sitter's ERROR and MISSING nodes,
// and the rules of Python 3 that the grammar does not enforce (it still
// accepts Python 2 forms and leaves many context rules to the compiler).

#include <tree_sitter/api.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "parser/grammar.h"
#include "parser/ts_util.h"
#include "tymbe_ast/parser.h"

namespace tymbe::ast::parser {

// Keeps the error that starts first in the source.
class FirstError {
 public:
  void report(std::string description, TextRange range) {
    if (!error_ || range.start < error_->range.start) error_ = ParseError{std::move(description), range};
  }
  const std::optional<ParseError>& error() const noexcept { return error_; }
  std::optional<ParseError> take() { return std::move(error_); }

 private:
  std::optional<ParseError> error_;
};

std::string describe_error_node(TSNode node, std::string_view text);
std::string describe_missing_node(TSNode node);

// The grammar keeps indentation widths in single bytes, so a block indented
// by more than 255 columns comes out as an error. When a line of such width
// lies within (or on the first line of) `error`, this error names it instead.
std::optional<ParseError> indentation_beyond_grammar(std::string_view text, TextRange error);

// A node on the scan's path from the root.
struct Ancestor {
  TSNode node;
  Sym sym;
  TSFieldId field;  // its field in its own parent; 0 unless a rule reads it (tree_scan.cpp)
};

// A node as the scan meets it, with the path above it.
struct NodeContext {
  TSNode node;
  Sym sym;
  TSFieldId field;                      // its field in the parent; 0 unless a rule reads it
  std::span<const Ancestor> ancestors;  // the root first, the parent last
  Sym parent_sym;                       // Sym::Other at the root
};

// Applies the rules for one node whose subtree holds no ERROR or MISSING
// node. `scratch` is a cursor the rules may re-aim at will.
void check_python3_rules(const NodeContext& context, std::string_view text, const Grammar& grammar, Cursor& scratch,
                         FirstError& errors);

}  // namespace tymbe::ast::parser
