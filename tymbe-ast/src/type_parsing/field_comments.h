#pragma once
// The comment block written directly above each field of a feature class, and
// the description, owner and tags read from it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tymbe_ast/locations.h"
#include "tymbe_ast/syntax_tree.h"

namespace tymbe::ast {

struct FieldCommentMetadata {
  std::optional<std::string> comment;      // the block's lines joined with "\n"
  std::optional<std::string> description;  // lines that are neither owner nor tags lines
  std::optional<std::string> owner;        // from the last ":owner:" line
  std::vector<std::string> tags;           // from every ":tags:" line
  friend bool operator==(const FieldCommentMetadata&, const FieldCommentMetadata&) = default;
};

struct FieldStatementStart {
  std::string_view name;
  uint32_t offset;  // the statement's first byte
};

// One entry per field name that has a block; a later field of the same name
// replaces an earlier one's entry. Keys point into the fields' names.
std::unordered_map<std::string_view, FieldCommentMetadata> collect_field_comment_metadata(
    std::string_view source, std::span<const TextRange> comment_ranges, const LineIndex& lines,
    TextRange class_range, std::span<const FieldStatementStart> fields);

// `block` holds the comments' texts, "#"s and outer white space removed.
FieldCommentMetadata parse_field_comment_block(std::span<const std::string_view> block);

}  // namespace tymbe::ast
