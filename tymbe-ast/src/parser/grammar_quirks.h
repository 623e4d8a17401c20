#pragma once
// Readings of the grammar that differ from Python's and that the front end
// mends.

#include <tree_sitter/api.h>

#include "parser/grammar.h"

namespace tymbe::ast::parser {

// "type(x).attr = value" (or "type(x)[key] = value") comes out of the grammar
// as a type alias statement whose name is "(x).attr". It is an assignment to
// an attribute or subscript of the call "type(x)"; this gives that target
// (attribute or subscript, whose range is to be widened to the statement's
// start), or a null node when the statement is a real type alias or invalid.
inline TSNode misread_type_call_target(TSNode statement, const Grammar& g) {
  const TSNode left = ts_node_child_by_field_id(statement, g.left);
  if (ts_node_is_null(left) || ts_node_named_child_count(left) != 1) return TSNode{};
  const TSNode target = ts_node_named_child(left, 0);
  const Sym sym = g.sym(target);
  if (sym != Sym::Attribute && sym != Sym::Subscript) return TSNode{};
  TSNode bottom = target;
  for (Sym s = sym; s == Sym::Attribute || s == Sym::Subscript || s == Sym::Call; s = g.sym(bottom)) {
    bottom = ts_node_child(bottom, 0);
  }
  const Sym b = g.sym(bottom);
  const bool call_arguments = b == Sym::ParenthesizedExpression || b == Sym::Tuple || b == Sym::GeneratorExpression;
  if (!call_arguments || ts_node_start_byte(bottom) != ts_node_start_byte(left)) return TSNode{};
  return target;
}

// The grammar reads an "except*" clause as an except group clause only when
// the star touches the keyword and the clause is the try's first; otherwise
// it is an except clause whose value is a starred expression ("except *E:",
// "except *E as e:"). Whether a handler is of the star kind, either way.
inline bool is_except_star_clause(TSNode clause, const Grammar& g) {
  const Sym sym = g.sym(clause);
  if (sym == Sym::ExceptGroupClause) return true;
  if (sym != Sym::ExceptClause) return false;
  TSNode value = ts_node_child_by_field_id(clause, g.value);
  if (ts_node_is_null(value)) return false;
  if (g.sym(value) == Sym::AsPattern) value = ts_node_named_child(value, 0);
  return g.sym(value) == Sym::ListSplat;
}

}  // namespace tymbe::ast::parser
