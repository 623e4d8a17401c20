#pragma once
// String literals: their prefixes, and their values after escape processing.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tymbe::ast::parser {

struct StringPrefix {
  bool raw = false;
  bool bytes = false;
  bool format = false;
  bool valid = true;        // one of Python 3's prefixes: r, u, b, br, f, fr in any case and order
  char quote = 0;           // ' or " (or ` for Python 2's backquotes)
  uint32_t prefix_length = 0;
  uint32_t quote_length = 0;  // 1, or 3 for a triple-quoted literal
};

// Reads the opening token of a literal: its prefix letters and its quotes.
StringPrefix read_string_prefix(std::string_view opening);

struct EscapeError {
  std::string description;
  uint32_t offset = 0;  // into the body given
  uint32_t length = 0;
};

// Decodes the text between a literal's quotes (or one literal part of an
// f-string), appending the value to `out` when it is not null. Escapes that
// Python refuses are errors; unknown escapes are kept as written.
std::optional<EscapeError> decode_string_body(std::string_view body, const StringPrefix& prefix, std::string* out);

}  // namespace tymbe::ast::parser
