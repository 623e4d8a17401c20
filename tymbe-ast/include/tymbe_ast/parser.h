#pragma once
// The parser front end: one Python source text in, a Module or the first
// syntax error out. The text may be read on any thread; nothing is shared.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tymbe_ast/syntax_tree.h"
#include "tymbe_utils/result.h"

namespace tymbe::ast {

struct ParseError {
  std::string description;
  TextRange range;

  // "{description} at byte range {start}..{end}"
  std::string message() const;
};

// Parses `source` whole as a module; the Module takes the text over. A text of
// 4 GiB or more is refused, since every range is a pair of 32-bit offsets.
Result<Module, ParseError> parse_module(std::string source);

// Whether the comment starting at `offset` has only spaces, tabs and form feeds
// before it on its line (lines start after "\n" or "\r"; a byte-order mark at
// the very start of the text is not part of the first line).
bool is_own_line(std::string_view source, uint32_t offset);

// The comments lying entirely within `range`, in source order.
std::span<const TextRange> comments_in_range(std::span<const TextRange> comments, TextRange range);

}  // namespace tymbe::ast
