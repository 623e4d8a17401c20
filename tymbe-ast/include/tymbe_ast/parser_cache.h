#pragma once
// Reads and parses each requested path string once, and keeps the outcome
// (record or message) for the life of the cache.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tymbe_ast/ast_filesystem.h"
#include "tymbe_ast/parser_cache_types.h"
#include "tymbe_utils/result.h"

namespace tymbe::ast {

struct AstFileParserCacheInner;

// A shared handle: copies share one cache. Safe on any number of threads.
class AstFileParserCache {
 public:
  // A StdAstFileSystem over `files` normalised, then as with_filesystem.
  static AstFileParserCache create(std::string project_root, std::vector<std::string> files);
  // Asks the file system for its list once, to name the listed files; never fails.
  static AstFileParserCache with_filesystem(std::string project_root, AstFileSystemHandle filesystem);

  Result<std::vector<std::string>, IoError> all_files() const;
  Result<std::shared_ptr<const ParsedFileCache>> get_parsed_file(std::string_view path) const;
  std::string module_name_for_path(std::string_view path) const;

 private:
  explicit AstFileParserCache(std::shared_ptr<AstFileParserCacheInner> inner) : inner_(std::move(inner)) {}
  std::shared_ptr<AstFileParserCacheInner> inner_;
};

}  // namespace tymbe::ast
