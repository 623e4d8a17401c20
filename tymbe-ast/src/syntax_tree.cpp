#include "tymbe_ast/syntax_tree.h"

namespace tymbe::ast {

namespace {
template <class T>
size_t capacity_bytes(const std::vector<T>& v) {
  return v.capacity() * sizeof(T);
}
}  // namespace

size_t Module::retained_bytes() const {
  return strings.capacity() + capacity_bytes(comments) + capacity_bytes(stmts) + capacity_bytes(exprs) +
         capacity_bytes(stmt_lists) + capacity_bytes(expr_lists) + capacity_bytes(function_defs) +
         capacity_bytes(class_defs) + capacity_bytes(returns) + capacity_bytes(ifs) + capacity_bytes(loops) +
         capacity_bytes(withs) + capacity_bytes(matches) + capacity_bytes(tries) + capacity_bytes(assigns) +
         capacity_bytes(ann_assigns) + capacity_bytes(import_froms) + capacity_bytes(decorators) +
         capacity_bytes(parameters) + capacity_bytes(clauses) + capacity_bytes(cases) + capacity_bytes(handlers) +
         capacity_bytes(aliases) + capacity_bytes(names) + capacity_bytes(calls) + capacity_bytes(keywords) +
         capacity_bytes(dicts) + capacity_bytes(dict_items) + capacity_bytes(string_literals);
}

}  // namespace tymbe::ast
