#pragma once
// The read-only record classes: ResolverAST, FunctionArgAST, FeatureClassAST
// and FeatureFieldAST. Each object owns its own copy of one record and
// converts a field into new Python objects on every read.

#include "py_class.h"
#include "tymbe_ast/ast_types.h"

namespace tymbe::py {

extern PyClass feature_field_ast_class;
extern PyClass feature_class_ast_class;
extern PyClass function_arg_ast_class;
extern PyClass resolver_ast_class;

// The records nested in another record's map or list become new objects of
// their class, each holding its own copy.
template <>
struct ToPy<ast::FeatureFieldAST> : RecordToPy<ast::FeatureFieldAST, feature_field_ast_class> {};
template <>
struct ToPy<ast::FunctionArgAST> : RecordToPy<ast::FunctionArgAST, function_arg_ast_class> {};

}  // namespace tymbe::py
