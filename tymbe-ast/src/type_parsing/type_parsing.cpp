#include "tymbe_ast/type_parsing.h"

#include "type_parsing/decorators.h"
#include "type_parsing/feature_classes.h"
#include "type_parsing/functions.h"
#include "type_parsing/source_locator.h"

namespace tymbe::ast {

ParsedAstFile parse_ast_file_with_feature_module(const ParsedFileCache& file, std::string_view module_name) {
  ParsedAstFile parsed;
  // Every location of a file shares one URI, made once; without one, no
  // definition of the file can be located, so the file yields nothing.
  std::optional<Uri> uri = file_uri_for_path(file.path);
  if (!uri) return parsed;

  DefinitionCollector definitions;
  definitions.visit(file.module, file.body());
  // The names of the features decorator come first: without them no class is looked at.
  const LocalNames feature_names =
      definitions.class_defs.empty() ? LocalNames{} : feature_decorator_names(file.import_map);
  if (definitions.function_defs.empty() && feature_names.empty()) return parsed;

  const SourceLocator locator(file.source(), std::move(*uri));
  parsed.functions = collect_function_asts(file, locator, definitions.function_defs, module_name);
  if (!feature_names.empty()) {
    parsed.feature_classes =
        collect_feature_class_asts(file, locator, feature_names, definitions.class_defs, module_name);
  }
  for (const ResolverAST& function : parsed.functions) {
    if (function.decorator_location) parsed.resolvers.push_back(function);
  }
  return parsed;
}

}  // namespace tymbe::ast
