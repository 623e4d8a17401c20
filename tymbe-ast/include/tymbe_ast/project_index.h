#pragma once
// The definition index's front door: per path string, the records extracted
// from that file, computed once through the index's own parse cache and kept
// for the life of the index, with lookups by module or by file and optional
// background indexing.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tymbe_ast/ast_filesystem.h"
#include "tymbe_ast/ast_types.h"
#include "tymbe_utils/result.h"

namespace tymbe::ast {

struct AstProjectIndexInner;
struct ProjectIndexAccess;

// A shared handle: copies share one index. Safe on any number of threads.
// Background workers hold their own copies, so the state outlives the last
// caller's handle until they are done.
class AstProjectIndex {
 public:
  using FileList = std::vector<std::string>;

  // Reads through a StdAstFileSystem over `files` normalised; the search list
  // is `files` exactly as passed. Never fails, reads no source file.
  static AstProjectIndex create(std::string project_root, FileList files);
  // Reads through `filesystem`, whose list names the modules; the search list
  // is `files` exactly as passed. Never fails, reads no source file.
  static AstProjectIndex with_filesystem(std::string project_root, FileList files, AstFileSystemHandle filesystem);

  // The analysis of one path string, computed at most once; a read or parse
  // failure, or a poisoned lock, is a message.
  Result<std::shared_ptr<const ParsedAstFile>> get_parsed_ast_file(std::string_view path) const;

  // Across the search list in order: the first record whose module and name
  // are equal byte for byte. Files that fail hold nothing.
  std::optional<ResolverAST> function_ast(std::string_view module, std::string_view name) const;
  std::optional<ResolverAST> resolver_ast(std::string_view module, std::string_view name) const;
  std::optional<FeatureClassAST> feature_class_ast(std::string_view module, std::string_view class_name) const;

  // In the one file named by `path`, listed or not; the module is not compared.
  std::optional<ResolverAST> function_ast_in_file(std::string_view path, std::string_view name) const;
  std::optional<ResolverAST> resolver_ast_in_file(std::string_view path, std::string_view name) const;
  std::optional<FeatureClassAST> feature_class_ast_in_file(std::string_view path,
                                                           std::string_view class_name) const;

  // Starts the detached background workers, once per index and only over a
  // non-empty list, and returns at once. Throws tymbe::InternalError
  // ("failed to spawn thread: ...") when a worker cannot be started.
  void nonblocking_start_index() const;

  // The search list, exactly as passed to the constructor.
  const FileList& files() const noexcept { return *files_; }

 private:
  friend struct ProjectIndexAccess;
  AstProjectIndex(std::shared_ptr<const FileList> files, std::shared_ptr<AstProjectIndexInner> inner)
      : files_(std::move(files)), inner_(std::move(inner)) {}

  std::shared_ptr<const FileList> files_;
  std::shared_ptr<AstProjectIndexInner> inner_;
};

}  // namespace tymbe::ast
