#include "type_parsing/feature_classes.h"

#include "tymbe_utils/namespace.h"
#include "type_parsing/decorators.h"
#include "type_parsing/unicode_text.h"

namespace tymbe::ast {

namespace {

std::optional<std::string_view> name_of(const Module& module, ExprId id) {
  if (!present(id)) return std::nullopt;
  const Expr& expr = module.expr(id);
  if (expr.kind != ExprKind::Name) return std::nullopt;
  return module.text(module.name(expr).id);
}

// The start of the line holding `offset`: just after the last "\n" before it.
uint32_t line_start_before(std::string_view source, uint32_t offset) {
  if (offset == 0) return 0;
  const size_t newline = source.rfind('\n', offset - 1);
  return newline == std::string_view::npos ? 0 : static_cast<uint32_t>(newline + 1);
}

// The first "\n" at or after `offset`, or the end of the text.
uint32_t newline_at_or_after(std::string_view source, uint32_t offset) {
  const size_t newline = source.find('\n', offset);
  return newline == std::string_view::npos ? static_cast<uint32_t>(source.size()) : static_cast<uint32_t>(newline);
}

std::string namespace_for(const Module& module, const Decorator& decorator, std::string_view class_name) {
  if (const Call* call = as_call(module, decorator.expression)) {
    for (const Keyword& keyword : module[call->keywords]) {
      if (!keyword.arg || module.text(*keyword.arg) != "name" || !present(keyword.value)) continue;
      const Expr& value = module.expr(keyword.value);
      if (value.kind != ExprKind::StringLiteral) continue;
      const StringLiteral& literal = module.string_literal(value);
      if (!literal.implicit_concatenated) return std::string(module.text(literal.value));
    }
  }
  return utils::to_snake_case(class_name);
}

void take_call_keywords(const Module& module, ExprId value, const SourceLocator& locator, FeatureFieldAST& field) {
  if (const Call* call = as_call(module, value)) {
    KeywordLocationMaps maps = keyword_location_maps(module, module[call->keywords], locator);
    field.kwarg_names = std::move(maps.kwarg_names);
    field.kwargs = std::move(maps.kwargs);
  }
}

// The fields map and the annotations list of one class body.
struct ClassFields {
  NameMap<FeatureFieldAST> fields;
  std::vector<FeatureFieldAST> annotations;
};

ClassFields collect_class_fields(const Module& module, const SourceLocator& locator, TextRange class_range,
                                 std::span<const StmtId> field_statements, std::span<const TextRange> comments) {
  ClassFields result;
  if (field_statements.empty()) return result;

  std::vector<FieldStatementStart> starts;
  starts.reserve(field_statements.size());
  for (const StmtId id : field_statements) {
    const Stmt& stmt = module.stmt(id);
    starts.push_back({*feature_field_name(module, stmt), stmt.range.start});
  }
  const auto metadata =
      collect_field_comment_metadata(locator.source(), comments, locator.lines(), class_range, starts);
  // Local, not static: a static would be destroyed at exit while background
  // workers may still read it.
  const FieldCommentMetadata no_metadata;
  const auto metadata_for = [&](std::string_view name) -> const FieldCommentMetadata& {
    const auto it = metadata.find(name);
    return it == metadata.end() ? no_metadata : it->second;
  };
  const auto new_field = [&](ExprId target) {
    const std::string_view name = *name_of(module, target);
    return new_feature_field_ast(std::string(name), locator.location(module.expr(target)), metadata_for(name));
  };

  // Fields in order of their names' first appearance.
  for (const StmtId id : field_statements) {
    const Stmt& stmt = module.stmt(id);
    if (stmt.kind != StmtKind::AnnAssign) continue;
    const AnnAssign& assign = module.ann_assign(stmt);
    FeatureFieldAST field = new_field(assign.target);
    field.annotation = locator.location(module.expr(assign.annotation));
    if (as_call(module, assign.value)) {
      field.feature_call = locator.location(module.expr(assign.value));
      take_call_keywords(module, assign.value, locator, field);
    }
    result.fields.try_emplace(field.field_name, field);
    result.annotations.push_back(std::move(field));
  }

  for (const StmtId id : field_statements) {
    const Stmt& stmt = module.stmt(id);
    if (stmt.kind != StmtKind::Assign) continue;
    const Assign& assign = module.assign(stmt);
    const ExprId target = module[assign.targets].front();
    FeatureFieldAST field = new_field(target);
    field.feature_call = locator.location(module.expr(assign.value));
    take_call_keywords(module, assign.value, locator, field);

    FeatureFieldAST* const known = result.fields.find(field.field_name);
    if (!known) {
      std::string name = field.field_name;
      result.fields.try_emplace(std::move(name), std::move(field));
      continue;
    }
    // A later plain assignment of a known name: its value wins, while the
    // first statement's name location, annotation and comments stay.
    FeatureFieldAST& entry = *known;
    if (!entry.comment) entry.comment = field.comment;
    if (!entry.description) entry.description = field.description;
    if (!entry.owner) entry.owner = field.owner;
    if (entry.tags.empty()) entry.tags = field.tags;
    entry.feature_call = std::move(field.feature_call);
    entry.kwarg_names = std::move(field.kwarg_names);
    entry.kwargs = std::move(field.kwargs);
  }
  return result;
}

std::optional<FeatureClassAST> feature_class_ast(const ParsedFileCache& file, const SourceLocator& locator,
                                                 const LocalNames& decorator_names, StmtId class_id,
                                                 std::string_view module_name) {
  const Module& module = file.module;
  const std::string_view source = locator.source();
  const Stmt& stmt = module.stmt(class_id);
  const ClassDef& class_def = module.class_def(stmt);

  const Decorator* decorator = recognised_decorator(module, module[class_def.decorators], decorator_names);
  if (!decorator) return std::nullopt;
  const uint32_t name_start = class_def.name.range.start;
  if (name_start >= source.size()) return std::nullopt;

  KeywordLocationMaps keywords;
  if (const Call* call = as_call(module, decorator->expression)) {
    keywords = keyword_location_maps(module, module[call->keywords], locator);
  }
  std::string class_name(module.text(class_def.name));
  std::string namespace_ = namespace_for(module, *decorator, class_name);

  // Whole lines from the first decorator, recognised or not, through the
  // line break of the line on which the body ends.
  const uint32_t end = std::min<uint32_t>(stmt.range.end, static_cast<uint32_t>(source.size()));
  const uint32_t start = std::min(module[class_def.decorators].front().range.start, end);
  const uint32_t text_start = line_start_before(source, start);
  const uint32_t newline = newline_at_or_after(source, end);
  const uint32_t text_end = newline < source.size() ? newline + 1 : newline;

  const std::vector<StmtId> field_statements = collect_field_statements(module, module[class_def.body]);
  ClassFields fields = collect_class_fields(module, locator, stmt.range, field_statements, file.comment_ranges());

  return FeatureClassAST{
      .module = std::string(module_name),
      .namespace_ = std::move(namespace_),
      .class_name = std::move(class_name),
      .source = dedent_lines(source.substr(text_start, text_end - text_start)),
      .class_name_location = locator.location(class_def.name.range),
      .class_definition_location =
          locator.location(line_start_before(source, name_start), newline_at_or_after(source, name_start)),
      .decorator_location = locator.location(module.expr(decorator->expression)),
      .kwarg_names = std::move(keywords.kwarg_names),
      .kwargs = std::move(keywords.kwargs),
      .fields = std::move(fields.fields),
      .annotations = std::move(fields.annotations),
  };
}

}  // namespace

std::optional<std::string_view> feature_field_name(const Module& module, const Stmt& stmt) {
  if (stmt.kind == StmtKind::Assign) {
    const std::span<const ExprId> targets = module[module.assign(stmt).targets];
    if (targets.size() != 1 || !present(module.assign(stmt).value)) return std::nullopt;
    return name_of(module, targets.front());
  }
  if (stmt.kind == StmtKind::AnnAssign) {
    if (!present(module.ann_assign(stmt).annotation)) return std::nullopt;
    return name_of(module, module.ann_assign(stmt).target);
  }
  return std::nullopt;
}

std::vector<StmtId> collect_field_statements(const Module& module, std::span<const StmtId> class_body) {
  std::vector<StmtId> statements;
  for (const StmtId id : class_body) {
    if (feature_field_name(module, module.stmt(id))) statements.push_back(id);
  }
  return statements;
}

FeatureFieldAST new_feature_field_ast(std::string field_name, Location field_name_location,
                                      const FieldCommentMetadata& metadata) {
  return FeatureFieldAST{
      .field_name = std::move(field_name),
      .field_name_location = std::move(field_name_location),
      .comment = metadata.comment,
      .description = metadata.description,
      .owner = metadata.owner,
      .tags = metadata.tags,
      .annotation = std::nullopt,
      .feature_call = std::nullopt,
      .kwarg_names = {},
      .kwargs = {},
  };
}

std::string_view leading_indent(std::string_view line) {
  return line.substr(0, std::min(line.find_first_not_of(" \t"), line.size()));
}

std::string_view common_indent(std::string_view a, std::string_view b) {
  size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n] && (a[n] == ' ' || a[n] == '\t')) ++n;
  return a.substr(0, n);
}

std::string dedent_lines(std::string_view text) {
  struct Line {
    std::string_view content;
    std::string_view ending;
    bool blank;
  };
  std::vector<Line> lines;
  for (std::string_view rest = text; !rest.empty();) {
    const size_t newline = rest.find('\n');
    Line line;
    if (newline == std::string_view::npos) {
      line.content = rest;
      rest = {};
    } else {
      const bool crlf = newline > 0 && rest[newline - 1] == '\r';
      line.content = rest.substr(0, crlf ? newline - 1 : newline);
      line.ending = rest.substr(line.content.size(), newline + 1 - line.content.size());
      rest.remove_prefix(newline + 1);
    }
    line.blank = is_white_space_only(line.content);
    lines.push_back(line);
  }

  std::optional<std::string_view> common;
  for (const Line& line : lines) {
    if (line.blank) continue;
    common = common ? common_indent(*common, leading_indent(line.content)) : leading_indent(line.content);
  }
  const std::string_view indent = common.value_or(std::string_view{});

  std::string out;
  out.reserve(text.size());
  for (const Line& line : lines) {
    if (!line.blank) {
      std::string_view content = line.content;
      if (content.starts_with(indent)) content.remove_prefix(indent.size());
      out.append(content);
    }
    out.append(line.ending);
  }
  return out;
}

std::vector<FeatureClassAST> collect_feature_class_asts(const ParsedFileCache& file, const SourceLocator& locator,
                                                        const LocalNames& decorator_names,
                                                        std::span<const StmtId> class_defs,
                                                        std::string_view module_name) {
  std::vector<FeatureClassAST> classes;
  if (decorator_names.empty()) return classes;
  for (const StmtId id : class_defs) {
    if (std::optional<FeatureClassAST> record = feature_class_ast(file, locator, decorator_names, id, module_name)) {
      classes.push_back(std::move(*record));
    }
  }
  return classes;
}

}  // namespace tymbe::ast
