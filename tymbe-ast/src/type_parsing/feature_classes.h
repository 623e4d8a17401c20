#pragma once
// Feature classes: the classes that carry the package's features decorator,
// with their fields, comment metadata, dedented source and locations.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tymbe_ast/ast_types.h"
#include "tymbe_ast/parser_cache_types.h"
#include "type_parsing/decorators.h"
#include "type_parsing/field_comments.h"
#include "type_parsing/source_locator.h"

namespace tymbe::ast {

// `class_defs` in definition order; the result keeps that order. `decorator_names`
// are the file's names of the features decorator.
std::vector<FeatureClassAST> collect_feature_class_asts(const ParsedFileCache& file, const SourceLocator& locator,
                                                        const LocalNames& decorator_names,
                                                        std::span<const StmtId> class_defs,
                                                        std::string_view module_name);

// The name a field statement defines: `x = ...` with a single name target, or
// `x: T` / `x: T = ...` with a name target; nothing for any other statement.
std::optional<std::string_view> feature_field_name(const Module& module, const Stmt& stmt);

// The field statements of a class body, in source order. Only the body's own
// statements can be fields, so nothing nested is entered.
std::vector<StmtId> collect_field_statements(const Module& module, std::span<const StmtId> class_body);

FeatureFieldAST new_feature_field_ast(std::string field_name, Location field_name_location,
                                      const FieldCommentMetadata& metadata);

// The longest prefix of spaces and tabs.
std::string_view leading_indent(std::string_view line);
// The longest common prefix of spaces and tabs.
std::string_view common_indent(std::string_view a, std::string_view b);
// `text` (whole lines) without their common indentation and with blank lines
// emptied; line endings, "\r\n" included, are kept.
std::string dedent_lines(std::string_view text);

}  // namespace tymbe::ast
