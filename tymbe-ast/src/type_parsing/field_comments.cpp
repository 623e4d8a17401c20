#include "type_parsing/field_comments.h"

#include "tymbe_ast/parser.h"
#include "type_parsing/unicode_text.h"

namespace tymbe::ast {

namespace {

struct OwnLineComment {
  uint32_t line = 0;
  std::string_view text;
};

// Own-line comments of one class, each read once, in source order.
class CommentCursor {
 public:
  CommentCursor(std::string_view source, std::span<const TextRange> comments, const LineIndex& lines)
      : source_(source), comments_(comments), lines_(lines) {}

  // The next own-line comment, without moving past it.
  const OwnLineComment* peek() {
    while (!has_current_ && next_ < comments_.size()) {
      const TextRange range = comments_[next_++];
      if (range.end > source_.size() || range.start > range.end || !is_own_line(source_, range.start)) continue;
      std::string_view text = source_.substr(range.start, range.length());
      text.remove_prefix(std::min(text.find_first_not_of('#'), text.size()));
      current_ = OwnLineComment{lines_.line(range.start), trim_white_space(text)};
      has_current_ = true;
    }
    return has_current_ ? &current_ : nullptr;
  }
  void advance() { has_current_ = false; }

 private:
  std::string_view source_;
  std::span<const TextRange> comments_;
  const LineIndex& lines_;
  size_t next_ = 0;
  OwnLineComment current_;
  bool has_current_ = false;
};

std::string join_lines(std::span<const std::string_view> lines) {
  size_t size = lines.empty() ? 0 : lines.size() - 1;
  for (const std::string_view line : lines) size += line.size();
  std::string joined;
  joined.reserve(size);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) joined.push_back('\n');
    joined.append(lines[i]);
  }
  return joined;
}

// Lines split at "\n", a "\r" before it dropped, no empty line after a final "\n".
std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace

FieldCommentMetadata parse_field_comment_block(std::span<const std::string_view> block) {
  FieldCommentMetadata metadata;
  metadata.comment = join_lines(block);

  std::vector<std::string_view> description_lines;
  for (const std::string_view line : split_lines(*metadata.comment)) {
    const std::string_view text = trim_white_space(line);
    if (text.starts_with(":owner:")) {
      metadata.owner = std::string(trim_white_space(text.substr(7)));
    } else if (text.starts_with(":tags:")) {
      std::string rest(text.substr(6));
      for (char& c : rest) {
        if (c == ',') c = ' ';
      }
      for (const std::string_view tag : split_white_space(rest)) metadata.tags.emplace_back(tag);
    } else {
      description_lines.push_back(line);
    }
  }
  if (!description_lines.empty()) {
    std::string description = join_lines(description_lines);
    if (!is_white_space_only(description)) metadata.description = std::move(description);
  }
  return metadata;
}

std::unordered_map<std::string_view, FieldCommentMetadata> collect_field_comment_metadata(
    std::string_view source, std::span<const TextRange> comment_ranges, const LineIndex& lines,
    TextRange class_range, std::span<const FieldStatementStart> fields) {
  std::unordered_map<std::string_view, FieldCommentMetadata> metadata;
  CommentCursor cursor(source, comments_in_range(comment_ranges, class_range), lines);
  std::vector<std::string_view> block;

  for (const FieldStatementStart& field : fields) {
    const uint32_t field_line = lines.line(field.offset);
    std::optional<uint32_t> last;
    // Comments above the field; a gap in their lines starts a new block.
    while (const OwnLineComment* comment = cursor.peek()) {
      if (comment->line >= field_line) break;
      if (!last || comment->line != *last + 1) block.clear();
      block.push_back(comment->text);
      last = comment->line;
      cursor.advance();
    }
    if (last && *last + 1 == field_line) metadata[field.name] = parse_field_comment_block(block);
    block.clear();
  }
  return metadata;
}

}  // namespace tymbe::ast
