#pragma once
// Checks on a source text before it reaches the grammar, and the copy of it
// that the grammar is given.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "tymbe_ast/parser.h"

namespace tymbe::ast::parser {

// A text of 4 GiB or more cannot be addressed by the 32-bit offsets of the
// records (nor by tree-sitter's 32-bit length).
std::optional<ParseError> check_source_size(size_t size);

// The first NUL byte or invalid UTF-8 sequence, which Python refuses.
std::optional<ParseError> check_source_bytes(std::string_view source);

// The grammar does not end lines at a lone "\r" as Python does: a same-length
// copy with each lone "\r" turned into "\n", or nothing when there is none.
std::optional<std::string> with_lone_carriage_returns_as_newlines(std::string_view source);

}  // namespace tymbe::ast::parser
