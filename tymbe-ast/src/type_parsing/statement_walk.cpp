#include "type_parsing/statement_walk.h"

namespace tymbe::ast {

void append_nested_statement_lists(const Module& module, const Stmt& stmt,
                                   std::vector<std::span<const StmtId>>& lists) {
  switch (stmt.kind) {
    case StmtKind::FunctionDef:
      lists.push_back(module[module.function_def(stmt).body]);
      break;
    case StmtKind::ClassDef:
      lists.push_back(module[module.class_def(stmt).body]);
      break;
    case StmtKind::For:
    case StmtKind::While: {
      const Loop& loop = module.loop(stmt);
      lists.push_back(module[loop.body]);
      lists.push_back(module[loop.orelse]);
      break;
    }
    case StmtKind::If: {
      const If& if_stmt = module.if_(stmt);
      lists.push_back(module[if_stmt.body]);
      for (const ElifElseClause& clause : module[if_stmt.clauses]) lists.push_back(module[clause.body]);
      break;
    }
    case StmtKind::With:
      lists.push_back(module[module.with(stmt).body]);
      break;
    case StmtKind::Match:
      for (const MatchCase& match_case : module[module.match(stmt).cases]) lists.push_back(module[match_case.body]);
      break;
    case StmtKind::Try: {
      const Try& try_stmt = module.try_(stmt);
      lists.push_back(module[try_stmt.body]);
      for (const ExceptHandler& handler : module[try_stmt.handlers]) lists.push_back(module[handler.body]);
      lists.push_back(module[try_stmt.orelse]);
      lists.push_back(module[try_stmt.finalbody]);
      break;
    }
    default:
      break;
  }
}

}  // namespace tymbe::ast
