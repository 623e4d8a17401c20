#pragma once
// The lexer: one pass over the text, the whole token stream out.
//
// It finds what Python's tokenizer finds: indentation against the stack of
// widths, logical lines (a line break inside brackets or after a backslash
// ends none; blank and comment-only lines are no logical lines), strings with
// their prefixes, f-strings and t-strings with their replacement fields,
// numbers, names and operators, and every comment. Line breaks are "\n",
// "\r\n" and a lone "\r".

#include <optional>
#include <string_view>
#include <vector>

#include "parser/tokens.h"
#include "tymbe_ast/parser.h"

namespace tymbe::ast::parser {

struct LexedSource {
  // The tokens the parser reads, ending with EndOfFile, or with an Error
  // token at the first lexical error (nothing after it is lexed).
  std::vector<Token> tokens;
  std::vector<TextRange> comments;  // every comment, "#" to the end of its line
  std::optional<ParseError> error;
};

// The text must be valid UTF-8 without NUL bytes and below 4 GiB.
LexedSource lex(std::string_view source);

// Whether the code point may start or continue an identifier (XID_Start,
// XID_Continue; "_" starts one too).
bool is_identifier_start(uint32_t code_point);
bool is_identifier_continue(uint32_t code_point);

}  // namespace tymbe::ast::parser
