#include "tymbe_ast/parser.h"

#include "parser/converter.h"
#include "parser/grammar.h"
#include "parser/nesting.h"
#include "parser/source_text.h"
#include "parser/syntax_errors.h"
#include "parser/tree_scan.h"
#include "parser/ts_util.h"

namespace tymbe::ast {

std::string ParseError::message() const {
  return description + " at byte range " + std::to_string(range.start) + ".." + std::to_string(range.end);
}

namespace {

using parser::Grammar;

// One tree-sitter parser per thread, reused: building one allocates.
TSParser* thread_parser(const Grammar& grammar) {
  thread_local parser::ParserPtr instance;
  if (!instance) {
    instance.reset(ts_parser_new());
    if (!instance || !ts_parser_set_language(instance.get(), grammar.language)) {
      instance.reset();
      throw InternalError("tree-sitter rejected the Python grammar");
    }
  }
  return instance.get();
}

}  // namespace

Result<Module, ParseError> parse_module(std::string source) {
  if (auto too_large = parser::check_source_size(source.size())) return Failure{std::move(*too_large)};
  if (auto bad_bytes = parser::check_source_bytes(source)) return Failure{std::move(*bad_bytes)};
  if (auto too_deep = parser::check_nesting(source)) return Failure{std::move(*too_deep)};

  const Grammar& grammar = Grammar::get();
  Module module;
  module.source = std::move(source);
  const std::optional<std::string> lone_cr_copy = parser::with_lone_carriage_returns_as_newlines(module.source);
  const std::string_view text = lone_cr_copy ? std::string_view(*lone_cr_copy) : std::string_view(module.source);

  TSParser* ts = thread_parser(grammar);
  const parser::TreePtr tree(
      ts_parser_parse_string(ts, nullptr, text.data(), static_cast<uint32_t>(text.size())));
  if (!tree) {
    ts_parser_reset(ts);
    throw InternalError("tree-sitter returned no tree");
  }
  const TSNode root = ts_tree_root_node(tree.get());

  parser::TreeScan scan = parser::scan_tree(root, text, grammar);
  if (scan.error) {
    if (auto indentation = parser::indentation_beyond_grammar(text, scan.error->range)) {
      return Failure{std::move(*indentation)};
    }
    return Failure{std::move(*scan.error)};
  }
  if (auto unsupported = parser::convert_module(root, grammar, module)) return Failure{std::move(*unsupported)};
  module.comments = std::move(scan.comments);
  module.comments.shrink_to_fit();
  return module;
}

}  // namespace tymbe::ast
