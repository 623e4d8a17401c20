#include "tymbe_ast/parser_cache.h"

#include <initializer_list>

#include "outcome_cache.h"
#include "tymbe_ast/module_names.h"
#include "tymbe_ast/parser.h"
#include "tymbe_utils/fork_safety.h"

namespace tymbe::ast {

namespace {

using ParsedFile = std::shared_ptr<const ParsedFileCache>;
using ParseOutcomes = OutcomeCache<ParsedFile>;

std::string concat(std::initializer_list<std::string_view> parts) {
  size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string text;
  text.reserve(size);
  for (std::string_view part : parts) text.append(part);
  return text;
}

}  // namespace

struct AstFileParserCacheInner {
  AstFileSystemHandle filesystem;
  std::string project_root;
  ModuleNameMap module_names;
  ParseOutcomes entries{"AST file entry map lock poisoned", "AST parse cache lock poisoned for "};
};

namespace {

ParseOutcomes::Outcome compute_outcome(const AstFileSystem& filesystem, std::string_view path) {
  auto text = [&] {
    // A read may wait without bound (a pipe, a slow disk): no fork waits for it.
    const utils::OutsideForkGate outside;
    return filesystem.read_to_string(path);
  }();
  if (!text) return concat({"Failed to read ", path, ": ", text.error().text});
  auto parsed = parse_module(std::move(text).value());
  if (!parsed) return concat({"Failed to parse ", path, ": ", parsed.error().message()});
  auto record = std::make_shared<ParsedFileCache>();
  record->path = std::string(path);
  record->module = std::move(parsed).value();
  record->import_map = build_import_map(record->module);
  return ParsedFile(std::move(record));
}

}  // namespace

ImportMap build_import_map(const Module& module) {
  ImportMap imports;
  for (const StmtId id : module[module.body]) {
    const Stmt& stmt = module.stmt(id);
    if (stmt.kind != StmtKind::ImportFrom) continue;
    const ImportFrom& from = module.import_from(stmt);
    if (from.level != 0 || !from.module) continue;
    auto& names = imports[std::string(module.text(*from.module))];
    for (const Alias& alias : module[from.names]) {
      const std::string_view name = module.text(alias.name);
      const std::string_view local = alias.asname ? module.text(*alias.asname) : name;
      names[std::string(name)].emplace(local);
    }
  }
  return imports;
}

AstFileParserCache AstFileParserCache::create(std::string project_root, std::vector<std::string> files) {
  return with_filesystem(std::move(project_root), std::make_shared<const StdAstFileSystem>(std::move(files)));
}

AstFileParserCache AstFileParserCache::with_filesystem(std::string project_root, AstFileSystemHandle filesystem) {
  if (!filesystem) throw InternalError("parse cache built without a file system");
  auto inner = std::make_shared<AstFileParserCacheInner>();
  // A list that cannot be had names nothing in advance; names are then made on demand.
  if (auto listed = filesystem->all_files()) inner->module_names = build_module_names(project_root, *listed);
  inner->filesystem = std::move(filesystem);
  inner->project_root = std::move(project_root);
  return AstFileParserCache(std::move(inner));
}

Result<std::vector<std::string>, IoError> AstFileParserCache::all_files() const {
  return inner_->filesystem->all_files();
}

Result<std::shared_ptr<const ParsedFileCache>> AstFileParserCache::get_parsed_file(std::string_view path) const {
  return inner_->entries.get_or_compute(path, [&] { return compute_outcome(*inner_->filesystem, path); });
}

std::string AstFileParserCache::module_name_for_path(std::string_view path) const {
  // An absolute path is its own key; only a relative one needs a joined copy.
  std::string joined_storage;
  std::string_view joined = path;
  if (!is_absolute_path(path)) joined = joined_storage = join_to_root(inner_->project_root, path);
  if (auto it = inner_->module_names.find(joined); it != inner_->module_names.end()) return it->second;
  return module_name_for_absolute_path(joined, inner_->project_root);
}

}  // namespace tymbe::ast
