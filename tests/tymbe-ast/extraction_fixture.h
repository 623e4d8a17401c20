#pragma once
// Small source fixtures for the extraction tests: a parsed file built straight
// from a text, and the text that a location covers.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tymbe_ast/ast_types.h"
#include "tymbe_ast/parser.h"
#include "tymbe_ast/parser_cache_types.h"
#include "tymbe_ast/type_parsing.h"

namespace tymbe::test_support {

// Absolute, so that building locations never consults the disk.
inline constexpr std::string_view kFixturePath = "/fixture/pkg/mod.py";

inline std::shared_ptr<const ast::ParsedFileCache> parsed_file(std::string source,
                                                               std::string_view path = kFixturePath) {
  Result<ast::Module, ast::ParseError> module = ast::parse_module(std::move(source));
  if (!module) throw std::runtime_error("fixture does not parse: " + module.error().message());
  ast::ImportMap imports = ast::build_import_map(*module);
  return std::make_shared<const ast::ParsedFileCache>(
      ast::ParsedFileCache{std::string(path), std::move(module).value(), std::move(imports)});
}

inline ast::ParsedAstFile extract(std::string source, std::string_view path = kFixturePath) {
  return ast::parse_ast_file_with_feature_module(*parsed_file(std::move(source), path), "pkg.mod");
}

// The byte offset of a position, by the same line and character rules as the
// line index, written independently of it.
inline size_t offset_of(std::string_view source, ast::Position position) {
  size_t i = 0;
  for (uint32_t line = 0; line < position.line && i < source.size(); ++i) {
    if (source[i] == '\n' || (source[i] == '\r' && (i + 1 == source.size() || source[i + 1] != '\n'))) ++line;
  }
  if (position.line == 0 && source.starts_with("\xEF\xBB\xBF")) i = 3;
  for (uint32_t character = 0; character < position.character && i < source.size(); ++character) {
    ++i;
    while (i < source.size() && (static_cast<unsigned char>(source[i]) & 0xC0) == 0x80) ++i;
  }
  return i;
}

// The source text a location covers.
inline std::string text_at(std::string_view source, const ast::Location& location) {
  const size_t start = offset_of(source, location.range.start);
  const size_t end = offset_of(source, location.range.end);
  return std::string(source.substr(start, end - start));
}
inline std::optional<std::string> text_at(std::string_view source, const std::optional<ast::Location>& location) {
  if (!location) return std::nullopt;
  return text_at(source, *location);
}

inline ast::Range range(uint32_t l1, uint32_t c1, uint32_t l2, uint32_t c2) { return {{l1, c1}, {l2, c2}}; }

}  // namespace tymbe::test_support
