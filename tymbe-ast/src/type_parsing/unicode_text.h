#pragma once
// White space as Unicode's White_Space property has it, over UTF-8 text.

#include <string_view>
#include <vector>

namespace tymbe::ast {

bool is_white_space(char32_t c);
// True for the empty text too.
bool is_white_space_only(std::string_view text);
std::string_view trim_white_space(std::string_view text);
// The non-empty pieces between runs of white space, in order.
std::vector<std::string_view> split_white_space(std::string_view text);

}  // namespace tymbe::ast
