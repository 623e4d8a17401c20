#pragma once
// The walk shared by the definition and return collectors: every statement of
// a list and of the statement lists nested in it, in pre-order. It keeps its
// own stack, since nesting in a parsed file can run far deeper than the
// thread's stack would allow.

#include <span>
#include <vector>

#include "tymbe_ast/syntax_tree.h"

namespace tymbe::ast {

// Appends the statement lists nested directly in `stmt`, in walking order:
// function and class bodies; a loop's body, then its else block; an if's body,
// then each elif/else clause; a with body; each match case; a try's body, each
// handler, its else block, then its finally block.
void append_nested_statement_lists(const Module& module, const Stmt& stmt,
                                   std::vector<std::span<const StmtId>>& lists);

// Calls visit(StmtId, const Stmt&) for each statement in pre-order: a
// statement before the statements nested in it, siblings in source order.
template <class Visit>
void walk_statements(const Module& module, std::span<const StmtId> stmts, Visit&& visit) {
  std::vector<std::span<const StmtId>> pending{stmts};
  std::vector<std::span<const StmtId>> nested;
  while (!pending.empty()) {
    std::span<const StmtId>& top = pending.back();
    if (top.empty()) {
      pending.pop_back();
      continue;
    }
    const StmtId id = top.front();
    top = top.subspan(1);
    const Stmt& stmt = module.stmt(id);
    visit(id, stmt);
    nested.clear();
    append_nested_statement_lists(module, stmt, nested);
    for (auto it = nested.rbegin(); it != nested.rend(); ++it) {
      if (!it->empty()) pending.push_back(*it);
    }
  }
}

}  // namespace tymbe::ast
