#pragma once
// String literals: their values after escape processing.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tymbe::ast::parser {

// What decides how a literal's escapes read.
struct StringPrefix {
  bool raw = false;
  bool bytes = false;
};

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
