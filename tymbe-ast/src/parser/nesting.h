#pragma once
// A bound on how deeply a text nests, checked before the grammar sees it.
//
// tree-sitter 0.20.7 corrupts its heap when it recovers from a syntax error
// while its parse stack holds 65536 entries or more (an error node of that
// many children is freed at the wrong address). Valid text parses at any
// depth, but whether a text is valid is known only after the parse, so texts
// whose parse stack could grow that deep are refused beforehand.

#include <cstdint>
#include <optional>
#include <string_view>

#include "tymbe_ast/parser.h"

namespace tymbe::ast::parser {

// An over-estimate of the parse stack, counted over the tokens of each
// logical line: brackets, and the operators and keywords whose operands
// nest to the right (unary operators, "**", "=", "lambda", "if"/"else").
// Left-associative chains ("1 + 1 + ..."), long lists and many statements
// cost nothing. Fails when the estimate passes `limit`.
inline constexpr uint32_t kNestingLimit = 50000;
std::optional<ParseError> check_nesting(std::string_view source, uint32_t limit = kNestingLimit);

}  // namespace tymbe::ast::parser
