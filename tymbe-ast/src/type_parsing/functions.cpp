#include "type_parsing/functions.h"

#include "type_parsing/decorators.h"
#include "type_parsing/statement_walk.h"

namespace tymbe::ast {

namespace {

std::optional<Location> missing_return_annotation(const Module& module, const Stmt& stmt, const FunctionDef& def,
                                                  const SourceLocator& locator) {
  const std::string_view source = locator.source();
  const std::span<const StmtId> body = module[def.body];
  const uint32_t from = def.parameters_range.end;
  const uint32_t to = body.empty() ? stmt.range.end : module.stmt(body.front()).range.start;
  if (from >= to || to > source.size()) return std::nullopt;
  const size_t colon = source.substr(from, to - from).find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const uint32_t at = from + static_cast<uint32_t>(colon);
  return locator.location(at, at + 1);
}

// For each keyword whose value is a dict display: key text -> location of the
// key, and key text -> location of the value, for keys that are one plain
// string literal.
struct DictKeywordMaps {
  NestedLocationMap key_names;
  NestedLocationMap values;
};

DictKeywordMaps dict_keyword_maps(const Module& module, const Call& call, const SourceLocator& locator) {
  DictKeywordMaps maps;
  for (const Keyword& keyword : module[call.keywords]) {
    if (!keyword.arg || !present(keyword.value)) continue;
    const Expr& value = module.expr(keyword.value);
    if (value.kind != ExprKind::Dict) continue;
    LocationMap keys;
    LocationMap values;
    for (const DictItem& item : module[module.dict(value).items]) {
      if (!present(item.key) || !present(item.value)) continue;
      const Expr& key = module.expr(item.key);
      if (key.kind != ExprKind::StringLiteral || module.string_literal(key).implicit_concatenated) continue;
      const std::string text(module.text(module.string_literal(key).value));
      keys.insert_or_assign(text, locator.location(key));
      values.insert_or_assign(text, locator.location(module.expr(item.value)));
    }
    const std::string name(module.text(*keyword.arg));
    if (!keys.empty()) maps.key_names.insert_or_assign(name, std::move(keys));
    if (!values.empty()) maps.values.insert_or_assign(name, std::move(values));
  }
  return maps;
}

ResolverAST function_ast(const Module& module, const SourceLocator& locator, const LocalNames& decorator_names,
                         StmtId id, std::string_view module_name) {
  const Stmt& stmt = module.stmt(id);
  const FunctionDef& def = module.function_def(stmt);
  const std::span<const StmtId> body = module[def.body];

  std::vector<std::string> args_in_order;
  NameMap<FunctionArgAST> args;
  const std::span<const Parameter> parameters = module[def.parameters];
  args_in_order.reserve(parameters.size());
  for (const Parameter& parameter : parameters) {
    std::optional<Location> annotation;
    if (present(parameter.annotation)) annotation = locator.location(module.expr(parameter.annotation));
    std::string name(module.text(parameter.name));
    args_in_order.push_back(name);
    args.insert_or_assign(name, FunctionArgAST{.arg_name = name,
                                               .arg_location = locator.location(parameter.range),
                                               .annotation = std::move(annotation)});
  }

  std::optional<Location> return_annotation;
  std::optional<Location> missing_annotation;
  if (present(def.returns)) {
    return_annotation = locator.location(module.expr(def.returns));
  } else {
    missing_annotation = missing_return_annotation(module, stmt, def, locator);
  }

  std::vector<Location> return_statements;
  for (const StmtId return_id : collect_return_statements(module, body)) {
    return_statements.push_back(locator.location(module.stmt(return_id).range));
  }

  std::optional<Location> body_location;
  if (!body.empty()) {
    body_location = locator.location(module.stmt(body.front()).range.start, module.stmt(body.back()).range.end);
  }
  // Only the first return standing directly in the body counts, even a bare one.
  std::optional<Location> return_arg;
  for (const StmtId body_id : body) {
    const Stmt& body_stmt = module.stmt(body_id);
    if (body_stmt.kind != StmtKind::Return) continue;
    const ExprId value = module.return_(body_stmt).value;
    if (present(value)) return_arg = locator.location(module.expr(value));
    break;
  }

  std::optional<Location> decorator_location;
  KeywordLocationMaps keywords;
  DictKeywordMaps dict_keywords;
  if (const Decorator* decorator = recognised_decorator(module, module[def.decorators], decorator_names)) {
    decorator_location = locator.location(module.expr(decorator->expression));
    if (const Call* call = as_call(module, decorator->expression)) {
      keywords = keyword_location_maps(module, module[call->keywords], locator);
      dict_keywords = dict_keyword_maps(module, *call, locator);
    }
  }

  return ResolverAST{
      .module = std::string(module_name),
      .resolver_name = std::string(module.text(def.name)),
      .resolver_name_location = locator.location(def.name.range),
      .decorator_location = std::move(decorator_location),
      .kwarg_names = std::move(keywords.kwarg_names),
      .kwargs = std::move(keywords.kwargs),
      .kwarg_dict_key_names = std::move(dict_keywords.key_names),
      .kwarg_dict_values = std::move(dict_keywords.values),
      .args_in_order = std::move(args_in_order),
      .args = std::move(args),
      .return_annotation = std::move(return_annotation),
      .missing_return_annotation = std::move(missing_annotation),
      .return_statements = std::move(return_statements),
      .body = std::move(body_location),
      .return_arg = std::move(return_arg),
  };
}

}  // namespace

void DefinitionCollector::visit(const Module& module, std::span<const StmtId> stmts) {
  walk_statements(module, stmts, [&](StmtId id, const Stmt& stmt) {
    if (stmt.kind == StmtKind::ClassDef) class_defs.push_back(id);
    if (stmt.kind == StmtKind::FunctionDef) function_defs.push_back(id);
  });
}

std::vector<StmtId> collect_return_statements(const Module& module, std::span<const StmtId> body) {
  std::vector<StmtId> returns;
  walk_statements(module, body, [&](StmtId id, const Stmt& stmt) {
    if (stmt.kind == StmtKind::Return) returns.push_back(id);
  });
  return returns;
}

std::vector<ResolverAST> collect_function_asts(const ParsedFileCache& file, const SourceLocator& locator,
                                               std::span<const StmtId> function_defs, std::string_view module_name) {
  const LocalNames decorator_names = resolver_decorator_names(file.import_map);
  std::vector<ResolverAST> functions;
  functions.reserve(function_defs.size());
  for (const StmtId id : function_defs) {
    functions.push_back(function_ast(file.module, locator, decorator_names, id, module_name));
  }
  return functions;
}

}  // namespace tymbe::ast
