#pragma once
// The full default (root-locale) lower-case form of a text of any length.

#include <cstddef>
#include <string>
#include <string_view>

namespace tymbe::utils {

// Every character by the Unicode default full lower-case mapping, final sigma
// included; ill-formed UTF-8 is copied through unchanged.
std::string lower_case(std::string_view text);

// The same, handing the mapping at most `piece_limit` bytes at a time (at
// least 4, one whole character). The result does not depend on the limit;
// lower_case uses the largest that the mapping's 32-bit lengths allow.
std::string lower_case_in_pieces(std::string_view text, size_t piece_limit);

}  // namespace tymbe::utils
