#include "parser/syntax_errors.h"

#include <cstring>
#include <optional>
#include <type_traits>
#include <vector>

#include "parser/grammar_quirks.h"
#include "parser/string_values.h"

namespace tymbe::ast::parser {

namespace {

bool is_trivia(Sym sym) { return sym == Sym::Comment || sym == Sym::LineContinuation; }

// Calls f(child, sym, field) for every child of `node` that is not a comment
// or line continuation. f must not re-aim the cursor. The field is looked up
// only for an f that takes it: the lookup is not free, and most rules do not.
template <class F>
void for_each_child(Cursor& cursor, const Grammar& g, TSNode node, F&& f) {
  cursor.reset(node);
  if (!cursor.first_child()) return;
  do {
    const TSNode child = cursor.node();
    const Sym sym = g.sym(child);
    if (is_trivia(sym)) continue;
    if constexpr (std::is_invocable_v<F&, TSNode, Sym, TSFieldId>) {
      f(child, sym, cursor.field());
    } else {
      f(child, sym);
    }
  } while (cursor.next_sibling());
}

// The first named child that is not trivia, or a null node.
TSNode first_named_child(Cursor& cursor, const Grammar& g, TSNode node) {
  cursor.reset(node);
  if (!cursor.first_child()) return TSNode{};
  do {
    const TSNode child = cursor.node();
    if (ts_node_is_named(child) && !is_trivia(g.sym(child))) return child;
  } while (cursor.next_sibling());
  return TSNode{};
}

// Strips parentheses around a single expression (or a one-element tuple
// pattern without a comma, which is how the grammar writes "(a)" as a target).
TSNode unparenthesized(Cursor& cursor, const Grammar& g, TSNode node) {
  for (;;) {
    const Sym sym = g.sym(node);
    if (sym != Sym::ParenthesizedExpression && sym != Sym::TuplePattern) return node;
    TSNode inner{};
    int named = 0;
    bool comma = false;
    for_each_child(cursor, g, node, [&](TSNode child, Sym child_sym) {
      if (child_sym == Sym::TokComma) comma = true;
      if (ts_node_is_named(child)) {
        ++named;
        inner = child;
      }
    });
    if (named != 1 || comma) return node;
    node = inner;
  }
}

// --------------------------------------------------------------- literals

bool is_digit_of(char c, int base) {
  switch (base) {
    case 2: return c == '0' || c == '1';
    case 8: return c >= '0' && c <= '7';
    case 16: return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    default: return c >= '0' && c <= '9';
  }
}

void check_number(const NodeContext& c, std::string_view text, FirstError& errors) {
  const TextRange range = range_of(c.node);
  const bool is_float = c.sym == Sym::Float;
  int base = 10;
  size_t start = 0;
  if (!is_float && text.size() >= 2 && text[0] == '0') {
    const char p = static_cast<char>(text[1] | 0x20);
    if (p == 'x') base = 16;
    if (p == 'o') base = 8;
    if (p == 'b') base = 2;
    if (base != 10) start = 2;
  }
  const char last = text.empty() ? '\0' : static_cast<char>(text.back() | 0x20);
  if (last == 'l') {
    errors.report("Invalid integer literal: Python 2 long suffix", range);
    return;
  }
  const bool imaginary = last == 'j';
  const std::string_view body = text.substr(start, text.size() - start - (imaginary ? 1 : 0));
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] != '_') continue;
    const bool after_prefix = i == 0 && base != 10;
    const bool before_ok = after_prefix || (i > 0 && is_digit_of(body[i - 1], base));
    const bool after_ok = i + 1 < body.size() && is_digit_of(body[i + 1], base);
    if (!before_ok || !after_ok) {
      errors.report("Invalid number literal: \"_\" must separate digits", range);
      return;
    }
  }
  if (!is_float && base == 10 && !imaginary && body.size() > 1 && body[0] == '0' &&
      body.find_first_of("123456789") != std::string_view::npos) {
    errors.report("Leading zeros in decimal integer literals are not permitted; use an 0o prefix for octal integers",
                  range);
  }
}

void check_string(const NodeContext& c, std::string_view text, const Grammar& g, Cursor& scratch,
                  FirstError& errors) {
  const TSNode opening = first_named_child(scratch, g, c.node);
  if (ts_node_is_null(opening) || g.sym(opening) != Sym::StringStart) return;
  const StringPrefix prefix = read_string_prefix(text_of(text, opening));
  const TextRange range = range_of(c.node);
  if (prefix.quote == '`') {
    errors.report("Backquotes are not valid in Python 3; use repr()", range);
    return;
  }
  if (!prefix.valid) {
    errors.report("Invalid string prefix", {range.start, range.start + prefix.prefix_length});
    return;
  }
  const auto check_part = [&](uint32_t start, uint32_t end) {
    if (end <= start) return;
    if (auto problem = decode_string_body(text.substr(start, end - start), prefix, nullptr)) {
      errors.report(std::move(problem->description),
                    {start + problem->offset, start + problem->offset + problem->length});
    }
  };
  if (!prefix.format) {
    // The body is taken from the text: the grammar may fold leading raw
    // content into the closing token.
    check_part(ts_node_end_byte(opening), range.end - prefix.quote_length);
    return;
  }
  for_each_child(scratch, g, c.node, [&](TSNode child, Sym sym) {
    if (sym == Sym::StringContent) check_part(ts_node_start_byte(child), ts_node_end_byte(child));
  });
}

void check_concatenation(const NodeContext& c, std::string_view text, const Grammar& g, Cursor& scratch,
                         FirstError& errors) {
  std::vector<TSNode> parts;
  for_each_child(scratch, g, c.node, [&](TSNode child, Sym sym) {
    if (sym == Sym::String) parts.push_back(child);
  });
  int bytes = 0;
  for (TSNode part : parts) {
    const TSNode opening = first_named_child(scratch, g, part);
    if (!ts_node_is_null(opening) && read_string_prefix(text_of(text, opening)).bytes) ++bytes;
  }
  if (bytes != 0 && bytes != static_cast<int>(parts.size())) {
    errors.report("Cannot mix bytes and nonbytes literals", range_of(c.node));
  }
}

// ------------------------------------------------------------- parameters

void check_parameters(const NodeContext& c, const Grammar& g, Cursor& scratch, FirstError& errors) {
  std::vector<std::pair<TSNode, Sym>> params;
  for_each_child(scratch, g, c.node, [&](TSNode child, Sym sym) {
    if (ts_node_is_named(child)) params.emplace_back(child, sym);
  });
  bool seen_slash = false, seen_star = false, seen_kwargs = false, seen_default = false, bare_star_open = false;
  size_t before_slash = 0;
  TSNode bare_star{};
  for (auto [param, sym] : params) {
    const TextRange range = range_of(param);
    Sym inner = sym;
    if (sym == Sym::TypedParameter) inner = g.sym(first_named_child(scratch, g, param));
    if (sym == Sym::DefaultParameter) inner = g.sym(ts_node_child_by_field_id(param, g.name));
    if (inner == Sym::TuplePattern) {
      errors.report("Sublist parameters are not valid in Python 3", range);
      return;
    }
    if (seen_kwargs) {
      errors.report("Parameter cannot follow \"**\" parameter", range);
      return;
    }
    switch (inner) {
      case Sym::PositionalSeparator:
        if (seen_slash) return errors.report("\"/\" may appear only once", range);
        if (seen_star) return errors.report("\"/\" must be ahead of \"*\"", range);
        if (before_slash == 0) return errors.report("At least one parameter must precede \"/\"", range);
        seen_slash = true;
        break;
      case Sym::KeywordSeparator:
      case Sym::ListSplatPattern:
        if (seen_star) return errors.report("\"*\" may appear only once", range);
        seen_star = true;
        if (inner == Sym::KeywordSeparator) {
          bare_star_open = true;
          bare_star = param;
        }
        break;
      case Sym::DictionarySplatPattern:
        seen_kwargs = true;
        break;
      default: {
        const bool has_default = sym == Sym::DefaultParameter || sym == Sym::TypedDefaultParameter;
        if (!seen_star) {
          if (has_default) {
            seen_default = true;
          } else if (seen_default) {
            return errors.report("Parameter without a default follows parameter with a default", range);
          }
          ++before_slash;
        }
        bare_star_open = false;
        break;
      }
    }
  }
  if (bare_star_open) errors.report("Named parameters must follow bare \"*\"", range_of(bare_star));
}

void check_arguments(const NodeContext& c, const Grammar& g, Cursor& scratch, FirstError& errors) {
  bool seen_keyword = false, seen_double_star = false;
  for_each_child(scratch, g, c.node, [&](TSNode child, Sym sym) {
    if (!ts_node_is_named(child)) return;
    const TextRange range = range_of(child);
    switch (sym) {
      case Sym::KeywordArgument:
        seen_keyword = true;
        break;
      case Sym::DictionarySplat:
        seen_double_star = true;
        break;
      case Sym::ListSplat:
        if (seen_double_star) errors.report("Iterable argument unpacking follows keyword argument unpacking", range);
        break;
      default:
        if (seen_double_star) {
          errors.report("Positional argument follows keyword argument unpacking", range);
        } else if (seen_keyword) {
          errors.report("Positional argument follows keyword argument", range);
        }
        break;
    }
  });
}

// ------------------------------------------------------------ assignments

bool is_single_target(Sym sym) { return sym == Sym::Identifier || sym == Sym::Attribute || sym == Sym::Subscript; }

void check_assignment(const NodeContext& c, const Grammar& g, Cursor& scratch, FirstError& errors) {
  const TSNode left = ts_node_child_by_field_id(c.node, g.left);
  const TSNode right = ts_node_child_by_field_id(c.node, g.right);
  const bool annotated = !ts_node_is_null(ts_node_child_by_field_id(c.node, g.type));
  if (c.sym == Sym::Assignment && annotated) {
    if (c.parent_sym == Sym::Assignment) return errors.report("Invalid syntax: annotation in a chained assignment",
                                                              range_of(c.node));
    if (!is_single_target(g.sym(unparenthesized(scratch, g, left)))) {
      return errors.report("Only a single target (not a tuple or list) can be annotated", range_of(left));
    }
  }
  if (c.sym == Sym::AugmentedAssignment) {
    if (c.parent_sym == Sym::Assignment || c.parent_sym == Sym::AugmentedAssignment) {
      return errors.report("Invalid syntax: augmented assignment inside an assignment", range_of(c.node));
    }
    if (!is_single_target(g.sym(unparenthesized(scratch, g, left)))) {
      return errors.report("Illegal target for augmented assignment", range_of(left));
    }
    if (!ts_node_is_null(right) && g.sym(right) == Sym::Assignment) {
      return errors.report("Invalid syntax: assignment inside an augmented assignment", range_of(right));
    }
  }
}

void check_delete(const NodeContext& c, const Grammar& g, Cursor& scratch, FirstError& errors) {
  std::vector<TSNode> pending;
  for_each_child(scratch, g, c.node, [&](TSNode child, Sym) {
    if (ts_node_is_named(child)) pending.push_back(child);
  });
  while (!pending.empty()) {
    const TSNode target = unparenthesized(scratch, g, pending.back());
    pending.pop_back();
    const Sym sym = g.sym(target);
    if (is_single_target(sym)) continue;
    if (sym == Sym::Tuple || sym == Sym::List || sym == Sym::ExpressionList) {
      for_each_child(scratch, g, target, [&](TSNode child, Sym) {
        if (ts_node_is_named(child)) pending.push_back(child);
      });
      continue;
    }
    errors.report("Invalid delete target", range_of(target));
  }
}

// ------------------------------------------------------ context-bound forms

// Where the grammar's "as" expression may stand, and what it may bind.
void check_as_pattern(const NodeContext& c, const Grammar& g, Cursor& scratch, FirstError& errors) {
  const TSNode alias = ts_node_child_by_field_id(c.node, g.alias);
  if (ts_node_is_null(alias) || g.sym(alias) != Sym::AsPatternTarget) return;  // a case pattern
  // "with (a as b):" is one with item in parentheses.
  const bool in_parenthesized_item = c.parent_sym == Sym::ParenthesizedExpression && c.ancestors.size() >= 2 &&
                                     c.ancestors[c.ancestors.size() - 2].sym == Sym::WithItem;
  const bool in_with = c.parent_sym == Sym::WithItem || in_parenthesized_item;
  const bool in_except =
      (c.parent_sym == Sym::ExceptClause && c.field == g.value) || c.parent_sym == Sym::ExceptGroupClause;
  if (!in_with && !in_except) return errors.report("Invalid syntax: \"as\" is not allowed here", range_of(c.node));
  const TSNode target = first_named_child(scratch, g, alias);
  const Sym sym = g.sym(target);
  if (in_except) {
    if (sym != Sym::Identifier) errors.report("Invalid syntax: an exception can only be bound to a name",
                                              range_of(alias));
    return;
  }
  const Sym inner = g.sym(unparenthesized(scratch, g, target));
  if (!is_single_target(inner) && inner != Sym::Tuple && inner != Sym::List) {
    errors.report("Invalid assignment target", range_of(alias));
  }
}

bool named_expression_allowed_in(Sym parent) {
  switch (parent) {
    case Sym::IfStatement:
    case Sym::ElifClause:
    case Sym::WhileStatement:
    case Sym::MatchStatement:
    case Sym::Decorator:
    case Sym::ArgumentList:
    case Sym::List:
    case Sym::Set:
    case Sym::Tuple:
    case Sym::ParenthesizedExpression:
    case Sym::Subscript:
    case Sym::ListComprehension:
    case Sym::SetComprehension:
    case Sym::GeneratorExpression:
    case Sym::IfClause:  // comprehension conditions and case guards
    case Sym::Interpolation:
      return true;
    default:
      return false;
  }
}

bool starred_allowed_in(Sym parent) {
  switch (parent) {
    case Sym::ArgumentList:
    case Sym::List:
    case Sym::Set:
    case Sym::Tuple:
    case Sym::ExpressionList:
    case Sym::PatternList:
    case Sym::TuplePattern:
    case Sym::ListPattern:
    case Sym::Subscript:
    case Sym::Type:
    case Sym::Parameters:
    case Sym::LambdaParameters:
    case Sym::TypedParameter:
      return true;
    default:
      return false;
  }
}

// The grammar reads "*f(x)" as a call of "*f" (and likewise for attributes
// and subscripts), so the place of the starred expression is found above
// that chain. A statement "*a, b" is a tuple; a statement "*a" alone is not.
void check_starred(const NodeContext& c, const Grammar& g, Cursor& scratch, FirstError& errors) {
  // The exception types of "except *E:" and "except *E as e:".
  if (c.parent_sym == Sym::ExceptClause && c.field == g.value) return;
  if (c.parent_sym == Sym::AsPattern && c.ancestors.size() >= 2 &&
      c.ancestors[c.ancestors.size() - 2].sym == Sym::ExceptClause) {
    return;
  }
  TSFieldId field = c.field;
  size_t i = c.ancestors.size();
  while (i > 0) {
    const Ancestor& parent = c.ancestors[i - 1];
    const bool leftmost = (parent.sym == Sym::Call && field == g.function) ||
                          (parent.sym == Sym::Attribute && field == g.object) ||
                          (parent.sym == Sym::Subscript && field == g.value);
    if (!leftmost) break;
    field = parent.field;
    --i;
  }
  const Sym place = i > 0 ? c.ancestors[i - 1].sym : Sym::Other;
  if (starred_allowed_in(place)) return;
  if (place == Sym::ExpressionStatement) {
    int parts = 0;
    for_each_child(scratch, g, c.ancestors[i - 1].node, [&](TSNode, Sym) { ++parts; });
    if (parts > 1) return;
  }
  errors.report("Cannot use a starred expression here", range_of(c.node));
}

void check_type_alias(const NodeContext& c, const Grammar& g, Cursor& scratch, FirstError& errors) {
  const TSNode left = ts_node_child_by_field_id(c.node, g.left);
  const TSNode inner = first_named_child(scratch, g, left);
  const Sym sym = g.sym(inner);
  if (sym == Sym::Identifier) return;
  if (sym == Sym::GenericType && g.sym(first_named_child(scratch, g, inner)) == Sym::Identifier) return;
  if (!ts_node_is_null(misread_type_call_target(c.node, g))) return;
  errors.report("Invalid syntax: a type alias must be named by an identifier", range_of(left));
}

}  // namespace

std::string describe_error_node(TSNode node, std::string_view text) {
  // Name the first token the grammar could not place.
  TSNode leaf = node;
  while (ts_node_child_count(leaf) > 0) leaf = ts_node_child(leaf, 0);
  std::string_view token = text_of(text, leaf);
  const size_t line_end = token.find_first_of("\r\n");
  if (line_end != std::string_view::npos) token = token.substr(0, line_end);
  if (token.size() > 24) {
    size_t cut = 24;
    while (cut > 0 && (static_cast<unsigned char>(token[cut]) & 0xC0) == 0x80) --cut;
    token = token.substr(0, cut);
  }
  if (token.empty()) return "Invalid syntax";
  return "Invalid syntax: unexpected \"" + std::string(token) + "\"";
}

std::optional<ParseError> indentation_beyond_grammar(std::string_view text, TextRange error) {
  constexpr uint32_t kWidest = 255;
  size_t line = error.start;
  while (line > 0 && text[line - 1] != '\n' && text[line - 1] != '\r') --line;
  while (line < text.size() && line <= error.end) {
    uint32_t width = 0;
    size_t i = line;
    for (; i < text.size() && (text[i] == ' ' || text[i] == '\t'); ++i) width += text[i] == '\t' ? 8 : 1;
    const bool code = i < text.size() && text[i] != '\n' && text[i] != '\r' && text[i] != '#';
    if (width > kWidest && code) {
      return ParseError{"Indentation wider than 255 columns is not supported",
                        {static_cast<uint32_t>(line), static_cast<uint32_t>(i)}};
    }
    const size_t next = text.find_first_of("\r\n", i);
    if (next == std::string_view::npos) break;
    line = next + 1;
  }
  return std::nullopt;
}

std::string describe_missing_node(TSNode node) {
  const std::string_view type = ts_node_type(node);
  if (!ts_node_is_named(node)) return "Expected \"" + std::string(type) + "\"";
  if (type == "_newline") return "Expected a line break";
  if (type == "_indent") return "Expected an indented block";
  if (type == "_dedent") return "Expected a dedent";
  std::string name(type);
  for (char& ch : name) {
    if (ch == '_') ch = ' ';
  }
  while (!name.empty() && name.front() == ' ') name.erase(name.begin());
  return "Expected " + name;
}

void check_python3_rules(const NodeContext& c, std::string_view text, const Grammar& g, Cursor& scratch,
                         FirstError& errors) {
  switch (c.sym) {
    case Sym::PrintStatement: {
      bool chevron = false;
      for_each_child(scratch, g, c.node, [&](TSNode, Sym sym) { chevron |= sym == Sym::Chevron; });
      // "print >>f, x" is a valid tuple in Python 3; the other forms are not.
      if (!chevron) errors.report("Missing parentheses in call to \"print\"", range_of(c.node));
      break;
    }
    case Sym::ExecStatement:
      errors.report("Missing parentheses in call to \"exec\"", range_of(c.node));
      break;
    case Sym::TokNotEqualOld:
      errors.report("Invalid comparison operator \"<>\"; use \"!=\"", range_of(c.node));
      break;
    case Sym::Integer:
    case Sym::Float:
      check_number(c, text_of(text, c.node), errors);
      break;
    case Sym::String:
      check_string(c, text, g, scratch, errors);
      break;
    case Sym::ConcatenatedString:
      check_concatenation(c, text, g, scratch, errors);
      break;
    case Sym::TypeConversion: {
      const std::string_view conversion = text_of(text, c.node);
      if (conversion != "!s" && conversion != "!r" && conversion != "!a") {
        errors.report("Invalid f-string conversion: expected \"!s\", \"!r\" or \"!a\"", range_of(c.node));
      }
      break;
    }
    case Sym::Identifier: {
      const std::string_view name = text_of(text, c.node);
      if (name == "async" || name == "await") {
        errors.report("Invalid use of the keyword \"" + std::string(name) + "\" as a name", range_of(c.node));
      }
      break;
    }
    case Sym::Block: {
      bool statement = false;
      for_each_child(scratch, g, c.node, [&](TSNode child, Sym) { statement |= ts_node_is_named(child); });
      if (!statement) errors.report("Expected an indented block", range_of(c.node));
      break;
    }
    case Sym::Parameters:
    case Sym::LambdaParameters:
      check_parameters(c, g, scratch, errors);
      break;
    case Sym::ArgumentList:
      check_arguments(c, g, scratch, errors);
      break;
    case Sym::TryStatement: {
      std::optional<bool> first_star;
      for_each_child(scratch, g, c.node, [&](TSNode child, Sym sym) {
        if (sym != Sym::ExceptClause && sym != Sym::ExceptGroupClause) return;
        const bool star = is_except_star_clause(child, g);
        if (!first_star) {
          first_star = star;
        } else if (star != *first_star) {
          errors.report("Cannot have both \"except\" and \"except*\" on the same \"try\"", range_of(child));
        }
      });
      break;
    }
    case Sym::ExceptClause: {
      bool comma = false;
      for_each_child(scratch, g, c.node, [&](TSNode, Sym sym) { comma |= sym == Sym::TokComma; });
      if (comma) errors.report("Multiple exception types must be parenthesized", range_of(c.node));
      break;
    }
    case Sym::AsPattern:
      check_as_pattern(c, g, scratch, errors);
      break;
    case Sym::NamedExpression:
      if (!named_expression_allowed_in(c.parent_sym)) {
        errors.report("Invalid syntax: an assignment expression must be parenthesized here", range_of(c.node));
      }
      break;
    case Sym::ListSplat:
    case Sym::ListSplatPattern:
      check_starred(c, g, scratch, errors);
      break;
    case Sym::Assignment:
    case Sym::AugmentedAssignment:
      check_assignment(c, g, scratch, errors);
      break;
    case Sym::ImportFromStatement:
    case Sym::FutureImportStatement:
      for_each_child(scratch, g, c.node, [&](TSNode child, Sym, TSFieldId field) {
        if (field != g.name) return;
        const TSNode dotted = g.sym(child) == Sym::AliasedImport ? ts_node_child_by_field_id(child, g.name) : child;
        if (ts_node_named_child_count(dotted) > 1) {
          errors.report("Invalid syntax: a from-import names plain identifiers", range_of(dotted));
        }
      });
      break;
    case Sym::DeleteStatement:
      check_delete(c, g, scratch, errors);
      break;
    case Sym::RaiseStatement:
      for_each_child(scratch, g, c.node, [&](TSNode child, Sym sym) {
        if (sym == Sym::ExpressionList) errors.report("Invalid syntax: raise takes one exception", range_of(child));
      });
      break;
    case Sym::AssertStatement: {
      int parts = 0;
      for_each_child(scratch, g, c.node, [&](TSNode child, Sym) { parts += ts_node_is_named(child); });
      if (parts > 2) errors.report("Invalid syntax: assert takes a test and a message", range_of(c.node));
      break;
    }
    case Sym::ForInClause: {
      int iterables = 0;
      for_each_child(scratch, g, c.node, [&](TSNode child, Sym, TSFieldId field) {
        iterables += field == g.right && ts_node_is_named(child);
      });
      if (iterables > 1) errors.report("Invalid syntax: a comprehension iterable with commas must be parenthesized",
                                       range_of(c.node));
      break;
    }
    case Sym::TypeAliasStatement:
      check_type_alias(c, g, scratch, errors);
      break;
    default:
      break;
  }
}

}  // namespace tymbe::ast::parser
