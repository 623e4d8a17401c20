#pragma once
// The parse cache's record of one file: immutable once built and shared.

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "tymbe_ast/syntax_tree.h"

namespace tymbe::ast {

// module name -> imported name -> local names, from top-level absolute from-imports.
using ImportMap =
    std::unordered_map<std::string, std::unordered_map<std::string, std::unordered_set<std::string>>>;

struct ParsedFileCache {
  std::string path;  // exactly as requested
  Module module;     // owns the source text, the statements and the comment ranges
  ImportMap import_map;

  std::string_view source() const noexcept { return module.source; }
  std::span<const StmtId> body() const { return module[module.body]; }
  std::span<const TextRange> comment_ranges() const noexcept { return module.comments; }
};

// Built from a module's top-level statements only.
ImportMap build_import_map(const Module& module);

}  // namespace tymbe::ast
