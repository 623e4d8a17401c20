#pragma once
// Turns a tree-sitter tree that holds no syntax error into the Module's flat
// tables. Iterative: nesting depth costs heap, never stack.

#include <tree_sitter/api.h>

#include <optional>

#include "parser/grammar.h"
#include "tymbe_ast/parser.h"
#include "tymbe_ast/syntax_tree.h"

namespace tymbe::ast::parser {

// Fills everything of `module` but `source` (which it reads) and `comments`.
// Fails only on a construct it has no form for.
std::optional<ParseError> convert_module(TSNode root, const Grammar& grammar, Module& module);

}  // namespace tymbe::ast::parser
