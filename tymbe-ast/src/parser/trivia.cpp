// Comment queries over the ranges that parse_module collects.
#include <algorithm>

#include "tymbe_ast/parser.h"

namespace tymbe::ast {

bool is_own_line(std::string_view source, uint32_t offset) {
  if (offset > source.size()) return false;
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  for (size_t i = offset; i > 0; --i) {
    const char c = source[i - 1];
    if (c == '\n' || c == '\r') return true;
    if (c == ' ' || c == '\t' || c == '\f') continue;
    return i == kByteOrderMark.size() && source.substr(0, kByteOrderMark.size()) == kByteOrderMark;
  }
  return true;
}

std::span<const TextRange> comments_in_range(std::span<const TextRange> comments, TextRange range) {
  // Sorted and disjoint, so the comments inside form one run.
  const auto first = std::partition_point(comments.begin(), comments.end(),
                                          [&](const TextRange& c) { return c.start < range.start; });
  const auto last =
      std::partition_point(first, comments.end(), [&](const TextRange& c) { return c.end <= range.end; });
  return {first, last};
}

}  // namespace tymbe::ast
