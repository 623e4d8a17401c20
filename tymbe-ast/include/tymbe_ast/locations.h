#pragma once
// Source locations as the Language Server Protocol shapes them: a file URI and
// a range of zero-based (line, character) positions.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tymbe_ast/syntax_tree.h"

namespace tymbe::ast {

struct Position {
  uint32_t line = 0;
  uint32_t character = 0;  // Unicode scalar values from the line's start
  friend bool operator==(const Position&, const Position&) = default;
};

struct Range {
  Position start;
  Position end;
  friend bool operator==(const Range&, const Range&) = default;
};

// A "file://" URI that the URI parser accepted. Every location of one file
// shares the one text.
class Uri {
 public:
  // The text if it is a valid URI, else nothing.
  static std::optional<Uri> parse(std::string text);
  const std::string& text() const noexcept { return *text_; }
  friend bool operator==(const Uri& a, const Uri& b) { return a.text() == b.text(); }

 private:
  explicit Uri(std::shared_ptr<const std::string> text) : text_(std::move(text)) {}
  std::shared_ptr<const std::string> text_;
};

struct Location {
  Uri uri;
  Range range;
  friend bool operator==(const Location&, const Location&) = default;
};

// Byte offset -> position. Built once per text in one pass; "\n", "\r\n" and a
// lone "\r" end lines; a leading byte-order mark is not counted on line 0.
class LineIndex {
 public:
  // `text` must outlive the index.
  explicit LineIndex(std::string_view text);
  // An offset past the end is taken as the end.
  Position position(uint32_t offset) const;
  uint32_t line(uint32_t offset) const;
  Range range(TextRange range) const { return {position(range.start), position(range.end)}; }

 private:
  std::string_view text_;
  std::vector<uint32_t> line_starts_;
  bool ascii_ = true;
};

// The positions of an expression's start and end.
inline Range expr_to_range(const Expr& expr, const LineIndex& lines) { return lines.range(expr.range); }

// The URI of a file path: absolute paths unchanged, relative ones through
// realpath; "\" -> "/", a leading "/" ensured, spaces -> "%20", "file://" in
// front; nothing when the path does not resolve or the text is not a valid URI.
std::optional<Uri> file_uri_for_path(std::string_view path);

// The location of `range` in the file named by `path`, or nothing.
std::optional<Location> file_location_for_range(std::string_view path, Range range);

}  // namespace tymbe::ast
