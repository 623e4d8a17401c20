#pragma once
// Function definitions at any depth, with their parameters, decorators,
// returns and the locations of each.

#include <span>
#include <string_view>
#include <vector>

#include "tymbe_ast/ast_types.h"
#include "tymbe_ast/parser_cache_types.h"
#include "type_parsing/source_locator.h"

namespace tymbe::ast {

// The class and function definitions of a statement list and of every block
// nested in it, in definition order.
struct DefinitionCollector {
  std::vector<StmtId> class_defs;
  std::vector<StmtId> function_defs;

  void visit(const Module& module, std::span<const StmtId> stmts);
};

// The return statements of a body, nested blocks and definitions included, in
// source order.
std::vector<StmtId> collect_return_statements(const Module& module, std::span<const StmtId> body);

// One record per definition of `function_defs`, in that order.
std::vector<ResolverAST> collect_function_asts(const ParsedFileCache& file, const SourceLocator& locator,
                                               std::span<const StmtId> function_defs, std::string_view module_name);

}  // namespace tymbe::ast
