#pragma once
// Checks on a source text before it is lexed.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "tymbe_ast/parser.h"

namespace tymbe::ast::parser {

// A text of 4 GiB or more cannot be addressed by the 32-bit offsets of the
// records.
std::optional<ParseError> check_source_size(size_t size);

// The first NUL byte or invalid UTF-8 sequence, which Python refuses.
std::optional<ParseError> check_source_bytes(std::string_view source);


}  // namespace tymbe::ast::parser
