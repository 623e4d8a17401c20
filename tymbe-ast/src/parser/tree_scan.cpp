#include "parser/tree_scan.h"

#include <cstdio>

#include "parser/syntax_errors.h"
#include "parser/ts_util.h"

namespace tymbe::ast::parser {

namespace {

// Decodes the UTF-8 character at text[i] (the text is known to be valid).
uint32_t code_point_at(std::string_view text, size_t i, size_t* length) {
  const auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(text[i + k])); };
  const uint32_t b0 = b(0);
  if (b0 < 0x80) return *length = 1, b0;
  if (b0 < 0xE0) return *length = 2, ((b0 & 0x1F) << 6) | (b(1) & 0x3F);
  if (b0 < 0xF0) return *length = 3, ((b0 & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  return *length = 4, ((b0 & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
}

// Between tokens Python allows only spaces, tabs, form feeds, line breaks and
// backslash continuations; the grammar also skips other Unicode white space.
void check_gap(std::string_view text, uint32_t from, uint32_t to, FirstError& errors) {
  for (uint32_t i = from; i < to; ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\f' || c == '\r' || c == '\n') continue;
    if (c == '\\' && i + 1 < to && (text[i + 1] == '\n' || text[i + 1] == '\r')) continue;
    if (i == 0 && text.substr(0, 3) == "\xEF\xBB\xBF") {
      i += 2;
      continue;
    }
    size_t length = 1;
    const uint32_t cp = code_point_at(text, i, &length);
    char description[64];
    std::snprintf(description, sizeof description, "Invalid non-printable character U+%04X", cp);
    errors.report(description, {i, static_cast<uint32_t>(i + length)});
    return;
  }
}

}  // namespace

TreeScan scan_tree(TSNode root, std::string_view text, const Grammar& g) {
  TreeScan scan;
  FirstError errors;
  Cursor cursor(root);
  Cursor scratch(root);
  std::vector<Ancestor> ancestors;
  uint32_t last_end = 0;     // end of the last token met
  uint32_t string_end = 0;   // inside a string literal until here: no gap checks
  // Only the rules for starred expressions and "as" ask for fields (of the
  // node, or of the calls, attributes and subscripts above it); the lookup
  // is not free, so every other node goes without.
  const auto field_of = [&](Sym sym) -> TSFieldId {
    switch (sym) {
      case Sym::ListSplat:
      case Sym::ListSplatPattern:
      case Sym::AsPattern:
      case Sym::Call:
      case Sym::Attribute:
      case Sym::Subscript:
        return cursor.field();
      default:
        return 0;
    }
  };
  for (;;) {
    const TSNode node = cursor.node();
    const uint32_t start = ts_node_start_byte(node);
    // Nodes come in order of their start, so nothing later can be first.
    if (errors.error() && start >= errors.error()->range.start) break;
    const Sym sym = g.sym(node);
    bool descend = true;
    if (ts_node_is_missing(node)) {
      errors.report(describe_missing_node(node), range_of(node));
      descend = false;
    } else if (sym == Sym::Error) {
      errors.report(describe_error_node(node, text), range_of(node));
      descend = false;
    } else {
      const uint32_t end = ts_node_end_byte(node);
      const bool token = sym == Sym::Comment || sym == Sym::StringContent || ts_node_child_count(node) == 0;
      if (token || (sym == Sym::String && start >= string_end)) {
        if (start >= string_end && start > last_end) check_gap(text, last_end, start, errors);
        if (sym == Sym::String) string_end = end;
      }
      if (token) {
        descend = false;
        if (end > last_end) last_end = end;
      }
      if (sym == Sym::Comment) {
        const uint32_t trimmed = end > start && text[end - 1] == '\r' ? end - 1 : end;
        scan.comments.push_back({start, trimmed});
      } else if (sym != Sym::Other && !ts_node_has_error(node)) {
        const NodeContext context{node, sym, field_of(sym), ancestors,
                                  ancestors.empty() ? Sym::Other : ancestors.back().sym};
        check_python3_rules(context, text, g, scratch, errors);
      }
    }
    if (descend) {
      const TSFieldId field = field_of(sym);
      if (cursor.first_child()) {
        ancestors.push_back({node, sym, field});
        continue;
      }
    }
    bool more = true;
    while (!cursor.next_sibling()) {
      if (!cursor.parent()) {
        more = false;
        break;
      }
      ancestors.pop_back();
    }
    if (!more) break;
  }
  if (!errors.error() && last_end < text.size()) check_gap(text, last_end, static_cast<uint32_t>(text.size()), errors);
  scan.error = errors.take();
  return scan;
}

}  // namespace tymbe::ast::parser
