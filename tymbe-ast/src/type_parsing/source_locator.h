#pragma once
// The locations of one file: its text, one line index over it and the file's
// URI, made once so that every location of the file shares them.

#include <string_view>

#include "tymbe_ast/locations.h"
#include "tymbe_ast/syntax_tree.h"

namespace tymbe::ast {

class SourceLocator {
 public:
  // `source` must outlive the locator.
  SourceLocator(std::string_view source, Uri uri) : source_(source), lines_(source), uri_(std::move(uri)) {}

  std::string_view source() const noexcept { return source_; }
  const LineIndex& lines() const noexcept { return lines_; }
  Location location(TextRange range) const { return {uri_, lines_.range(range)}; }
  Location location(uint32_t start, uint32_t end) const { return location(TextRange{start, end}); }
  Location location(const Expr& expr) const { return {uri_, expr_to_range(expr, lines_)}; }

 private:
  std::string_view source_;
  LineIndex lines_;
  Uri uri_;
};

}  // namespace tymbe::ast
