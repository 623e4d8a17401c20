#pragma once
// Character name aliases for "\N{...}" escapes beyond what ICU knows.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tymbe::ast::parser {

// The code point of a Unicode name alias such as "NULL", "LINE FEED" or
// "NBSP", compared without regard to case, or nothing.
std::optional<uint32_t> lookup_character_alias(std::string_view name);

}  // namespace tymbe::ast::parser
