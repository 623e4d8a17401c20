#pragma once
// The one pass over every node of a parsed tree: the first syntax error in
// source order, and the ranges of all comments.

#include <tree_sitter/api.h>

#include <optional>
#include <string_view>
#include <vector>

#include "parser/grammar.h"
#include "tymbe_ast/parser.h"

namespace tymbe::ast::parser {

struct TreeScan {
  std::optional<ParseError> error;
  std::vector<TextRange> comments;  // "#" to the end of the line, in source order
};

// `text` is the text the grammar parsed. Iterative, whatever the depth.
TreeScan scan_tree(TSNode root, std::string_view text, const Grammar& grammar);

}  // namespace tymbe::ast::parser
