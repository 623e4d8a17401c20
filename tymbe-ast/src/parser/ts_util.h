#pragma once
// Ownership of tree-sitter objects, and the few node helpers the walks share.

#include <tree_sitter/api.h>

#include <memory>
#include <string_view>

#include "tymbe_ast/syntax_tree.h"

namespace tymbe::ast::parser {

struct TreeDeleter {
  void operator()(TSTree* tree) const noexcept { ts_tree_delete(tree); }
};
using TreePtr = std::unique_ptr<TSTree, TreeDeleter>;

struct ParserDeleter {
  void operator()(TSParser* parser) const noexcept { ts_parser_delete(parser); }
};
using ParserPtr = std::unique_ptr<TSParser, ParserDeleter>;

// A tree cursor that frees itself. Re-aimed with reset() rather than rebuilt,
// so its stack is allocated once.
class Cursor {
 public:
  explicit Cursor(TSNode node) : cursor_(ts_tree_cursor_new(node)) {}
  ~Cursor() { ts_tree_cursor_delete(&cursor_); }
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;

  void reset(TSNode node) { ts_tree_cursor_reset(&cursor_, node); }
  bool first_child() { return ts_tree_cursor_goto_first_child(&cursor_); }
  bool next_sibling() { return ts_tree_cursor_goto_next_sibling(&cursor_); }
  bool parent() { return ts_tree_cursor_goto_parent(&cursor_); }
  TSNode node() const { return ts_tree_cursor_current_node(&cursor_); }
  TSFieldId field() const { return ts_tree_cursor_current_field_id(&cursor_); }

 private:
  TSTreeCursor cursor_;
};

inline TextRange range_of(TSNode node) { return {ts_node_start_byte(node), ts_node_end_byte(node)}; }

inline std::string_view text_of(std::string_view source, TSNode node) {
  const uint32_t start = ts_node_start_byte(node);
  return source.substr(start, ts_node_end_byte(node) - start);
}

}  // namespace tymbe::ast::parser
