#pragma once
// Extraction from one parsed file: its feature classes, every function
// definition at any depth, and the resolvers among them.

#include <string_view>

#include "tymbe_ast/ast_types.h"
#include "tymbe_ast/parser_cache_types.h"

namespace tymbe::ast {

// Never fails, and reads nothing but the record and, for a relative path, the
// path's resolution on disk (once). A file whose path gives no URI yields
// nothing. The records are in definition order.
ParsedAstFile parse_ast_file_with_feature_module(const ParsedFileCache& file, std::string_view module_name);

}  // namespace tymbe::ast
