#include "tymbe_ast/project_index.h"

#include <algorithm>

#include "project_index/index_state.h"
#include "tymbe_ast/type_parsing.h"

namespace tymbe::ast {

namespace {

template <class Record, class Matches>
std::optional<Record> first_match(const std::vector<Record>& records, Matches&& matches) {
  const auto it = std::find_if(records.begin(), records.end(), matches);
  if (it == records.end()) return std::nullopt;
  return *it;
}

// Which of a file's two function lists a lookup scans.
using FunctionList = std::vector<ResolverAST> ParsedAstFile::*;

std::optional<ResolverAST> function_in_file(AstProjectIndexInner& inner, std::string_view path, FunctionList list,
                                            std::string_view name) {
  const auto file = parsed_ast_file(inner, path);
  if (!file) return std::nullopt;
  return first_match((**file).*list, [&](const ResolverAST& function) { return function.resolver_name == name; });
}

// Every entry in list order, a listed path as often as it is listed; the first
// record of `module` named `name` wins.
std::optional<ResolverAST> function_in_files(AstProjectIndexInner& inner, const AstProjectIndex::FileList& files, FunctionList list,
                                             std::string_view module, std::string_view name) {
  for (const std::string& entry : files) {
    const auto file = parsed_ast_file(inner, entry);
    if (!file) continue;
    auto found = first_match((**file).*list, [&](const ResolverAST& function) {
      return function.module == module && function.resolver_name == name;
    });
    if (found) return found;
  }
  return std::nullopt;
}

}  // namespace

Result<ParsedAstFileHandle> parsed_ast_file(AstProjectIndexInner& inner, std::string_view path) {
  using Outcome = OutcomeCache<ParsedAstFileHandle>::Outcome;
  // Under the slot's mutex: the parse cache takes and releases its own locks
  // inside, and nothing here takes a lock of this index.
  return inner.typed_entries.get_or_compute(path, [&]() -> Outcome {
    auto parsed = inner.parser_cache.get_parsed_file(path);
    if (!parsed) return std::move(parsed).error();
    const std::string module = inner.parser_cache.module_name_for_path(path);
    return ParsedAstFileHandle(
        std::make_shared<const ParsedAstFile>(parse_ast_file_with_feature_module(**parsed, module)));
  });
}

AstProjectIndex AstProjectIndex::create(std::string project_root, FileList files) {
  auto filesystem = std::make_shared<const StdAstFileSystem>(files);
  return with_filesystem(std::move(project_root), std::move(files), std::move(filesystem));
}

AstProjectIndex AstProjectIndex::with_filesystem(std::string project_root, FileList files,
                                                 AstFileSystemHandle filesystem) {
  auto cache = AstFileParserCache::with_filesystem(std::move(project_root), std::move(filesystem));
  return AstProjectIndex(std::make_shared<const FileList>(std::move(files)),
                         std::make_shared<AstProjectIndexInner>(std::move(cache)));
}

Result<std::shared_ptr<const ParsedAstFile>> AstProjectIndex::get_parsed_ast_file(std::string_view path) const {
  return parsed_ast_file(*inner_, path);
}

std::optional<ResolverAST> AstProjectIndex::function_ast(std::string_view module, std::string_view name) const {
  return function_in_files(*inner_, *files_, &ParsedAstFile::functions, module, name);
}

std::optional<ResolverAST> AstProjectIndex::resolver_ast(std::string_view module, std::string_view name) const {
  return function_in_files(*inner_, *files_, &ParsedAstFile::resolvers, module, name);
}

std::optional<FeatureClassAST> AstProjectIndex::feature_class_ast(std::string_view module,
                                                                  std::string_view class_name) const {
  // Only the first class of the name in each file counts, whatever its module.
  for (const std::string& entry : *files_) {
    const auto file = get_parsed_ast_file(entry);
    if (!file) continue;
    const auto& classes = (*file)->feature_classes;
    const auto it = std::find_if(classes.begin(), classes.end(),
                                 [&](const FeatureClassAST& feature_class) { return feature_class.class_name == class_name; });
    if (it != classes.end() && it->module == module) return *it;
  }
  return std::nullopt;
}

std::optional<ResolverAST> AstProjectIndex::function_ast_in_file(std::string_view path, std::string_view name) const {
  return function_in_file(*inner_, path, &ParsedAstFile::functions, name);
}

std::optional<ResolverAST> AstProjectIndex::resolver_ast_in_file(std::string_view path, std::string_view name) const {
  return function_in_file(*inner_, path, &ParsedAstFile::resolvers, name);
}

std::optional<FeatureClassAST> AstProjectIndex::feature_class_ast_in_file(std::string_view path,
                                                                          std::string_view class_name) const {
  const auto file = get_parsed_ast_file(path);
  if (!file) return std::nullopt;
  return first_match((*file)->feature_classes,
                     [&](const FeatureClassAST& feature_class) { return feature_class.class_name == class_name; });
}

void AstProjectIndex::nonblocking_start_index() const {
  ProjectIndexAccess::start_index(*this, system_worker_platform());
}

}  // namespace tymbe::ast
