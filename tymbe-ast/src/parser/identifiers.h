#pragma once
// Identifier texts as Python reads them.

#include <string>
#include <string_view>

namespace tymbe::ast::parser {

// Appends the identifier to `out`: its source text when it is ASCII, else its
// Unicode NFKC form, which is how Python compares names.
void append_identifier(std::string_view source_text, std::string& out);

}  // namespace tymbe::ast::parser
