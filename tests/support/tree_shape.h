// The shape every syntax tree must have: each node's range inside its
// parent's, siblings in source order without overlap, comments sorted and
// disjoint. Walks with stacks of its own, so any depth is fine.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tymbe_ast/syntax_tree.h"

namespace tymbe_test {

inline std::optional<std::string> tree_shape_problem(const tymbe::ast::Module& m) {
  using namespace tymbe::ast;
  const auto inside = [](TextRange child, TextRange parent) {
    return child.start <= child.end && parent.start <= child.start && child.end <= parent.end;
  };
  std::vector<std::pair<ExprId, TextRange>> exprs;  // each with the range it must lie in
  const auto expr = [&](ExprId id, TextRange parent) {
    if (present(id)) exprs.push_back({id, parent});
  };
  struct List {
    Span<StmtId> stmts;
    TextRange parent;
  };
  const TextRange whole{0, static_cast<uint32_t>(m.source.size())};
  std::vector<List> lists{{m.body, whole}};
  while (!lists.empty()) {
    const List list = lists.back();
    lists.pop_back();
    uint32_t previous_end = list.parent.start;
    for (const StmtId id : m[list.stmts]) {
      const Stmt& s = m.stmt(id);
      if (!inside(s.range, list.parent) || s.range.start < previous_end) return "statement out of place";
      previous_end = s.range.end;
      const auto nested = [&](Span<StmtId> stmts, TextRange parent) { lists.push_back({stmts, parent}); };
      switch (s.kind) {
        case StmtKind::FunctionDef: {
          const FunctionDef& f = m.function_def(s);
          for (const Decorator& d : m[f.decorators]) {
            if (!inside(d.range, s.range)) return "decorator outside its definition";
            expr(d.expression, d.range);
          }
          if (!inside(f.name.range, s.range) || !inside(f.parameters_range, s.range)) return "name or parameters";
          uint32_t parameter_end = f.parameters_range.start;
          for (const Parameter& p : m[f.parameters]) {
            if (!inside(p.range, f.parameters_range) || p.range.start < parameter_end) return "parameter out of place";
            parameter_end = p.range.end;
            expr(p.annotation, p.range);
          }
          expr(f.returns, s.range);
          nested(f.body, s.range);
          break;
        }
        case StmtKind::ClassDef: {
          const ClassDef& c = m.class_def(s);
          for (const Decorator& d : m[c.decorators]) {
            if (!inside(d.range, s.range)) return "decorator outside its class";
            expr(d.expression, d.range);
          }
          nested(c.body, s.range);
          break;
        }
        case StmtKind::Return: expr(m.return_(s).value, s.range); break;
        case StmtKind::If: {
          nested(m.if_(s).body, s.range);
          for (const ElifElseClause& c : m[m.if_(s).clauses]) {
            if (!inside(c.range, s.range)) return "clause outside its if";
            expr(c.test, c.range);
            nested(c.body, c.range);
          }
          break;
        }
        case StmtKind::For:
        case StmtKind::While:
          nested(m.loop(s).body, s.range);
          nested(m.loop(s).orelse, s.range);
          break;
        case StmtKind::With: nested(m.with(s).body, s.range); break;
        case StmtKind::Match:
          for (const MatchCase& c : m[m.match(s).cases]) {
            if (!inside(c.range, s.range)) return "case outside its match";
            nested(c.body, c.range);
          }
          break;
        case StmtKind::Try: {
          const Try& t = m.try_(s);
          nested(t.body, s.range);
          for (const ExceptHandler& h : m[t.handlers]) {
            if (!inside(h.range, s.range)) return "handler outside its try";
            nested(h.body, h.range);
          }
          nested(t.orelse, s.range);
          nested(t.finalbody, s.range);
          break;
        }
        case StmtKind::Assign:
          for (const ExprId target : m[m.assign(s).targets]) expr(target, s.range);
          expr(m.assign(s).value, s.range);
          break;
        case StmtKind::AnnAssign:
          expr(m.ann_assign(s).target, s.range);
          expr(m.ann_assign(s).annotation, s.range);
          expr(m.ann_assign(s).value, s.range);
          break;
        case StmtKind::ImportFrom:
          for (const Alias& a : m[m.import_from(s).names]) {
            if (!inside(a.range, s.range)) return "alias outside its import";
          }
          break;
        default:
          break;
      }
    }
  }
  while (!exprs.empty()) {
    const auto [id, parent] = exprs.back();
    exprs.pop_back();
    const Expr& e = m.expr(id);
    if (!inside(e.range, parent)) return "expression outside its parent";
    if (e.kind == ExprKind::Call) {
      const Call& call = m.call(e);
      expr(call.func, e.range);
      uint32_t keyword_end = e.range.start;
      for (const Keyword& k : m[call.keywords]) {
        if (!inside(k.range, e.range) || k.range.start < keyword_end) return "keyword out of place";
        keyword_end = k.range.end;
        expr(k.value, k.range);
      }
    } else if (e.kind == ExprKind::Dict) {
      for (const DictItem& item : m[m.dict(e).items]) {
        expr(item.key, e.range);
        expr(item.value, e.range);
      }
    }
  }
  uint32_t comment_end = 0;
  for (const TextRange c : m.comments) {
    if (!inside(c, whole) || c.start < comment_end || c.end == c.start) return "comment out of place";
    comment_end = c.end;
  }
  return std::nullopt;
}

}  // namespace tymbe_test
