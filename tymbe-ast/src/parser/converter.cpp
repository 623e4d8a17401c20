#include "parser/converter.h"

#include <string_view>
#include <vector>

#include "parser/grammar_quirks.h"
#include "parser/identifiers.h"
#include "parser/string_values.h"
#include "parser/ts_util.h"

namespace tymbe::ast::parser {

namespace {

bool is_trivia(Sym sym) { return sym == Sym::Comment || sym == Sym::LineContinuation; }

template <class T>
uint32_t next_index(const std::vector<T>& table) {
  return static_cast<uint32_t>(table.size());
}

// Where a converted statement list goes: a Span<StmtId> of some payload.
enum class BlockSlot : uint8_t {
  Module,
  FunctionBody,
  ClassBody,
  IfBody,
  ClauseBody,
  LoopBody,
  LoopElse,
  WithBody,
  CaseBody,
  TryBody,
  HandlerBody,
  TryElse,
  TryFinally,
};

// Work left for later, so that no conversion step calls another one: the
// nesting of the source becomes the length of this list, not stack depth.
struct Task {
  enum class Kind : uint8_t { Block, CallFunc, CallKeywords, DictItems };
  Kind kind;
  BlockSlot slot;
  uint32_t index;
  TSNode node;
};

class Converter {
 public:
  Converter(const Grammar& g, Module& m, TSNode root) : g_(g), m_(m), source_(m.source), cursor_(root), probe_(root) {}

  std::optional<ParseError> run(TSNode root) {
    tasks_.push_back({Task::Kind::Block, BlockSlot::Module, 0, root});
    while (!tasks_.empty() && !failure_) {
      const Task task = tasks_.back();
      tasks_.pop_back();
      switch (task.kind) {
        case Task::Kind::Block: expand_block(task); break;
        case Task::Kind::CallFunc: {
          const ExprId func = make_expr(task.node);
          m_.calls[task.index].func = func;
          break;
        }
        case Task::Kind::CallKeywords: expand_keywords(task); break;
        case Task::Kind::DictItems: expand_dict(task); break;
      }
    }
    if (failure_) return failure_;
    if (wide_indentation_) return wide_indentation_;
    fix_compound_ends();
    release_slack();
    return std::nullopt;
  }

 private:
  // ------------------------------------------------------------ helpers

  void fail(TSNode node) {
    if (!failure_) {
      failure_ = ParseError{"Unsupported syntax \"" + std::string(ts_node_type(node)) + "\"", range_of(node)};
    }
  }

  // First named child that is not trivia; uses probe_.
  TSNode first_named(TSNode node) {
    probe_.reset(node);
    if (!probe_.first_child()) return TSNode{};
    do {
      const TSNode child = probe_.node();
      if (ts_node_is_named(child) && !is_trivia(g_.sym(child))) return child;
    } while (probe_.next_sibling());
    return TSNode{};
  }

  TSNode field(TSNode node, TSFieldId id) const { return ts_node_child_by_field_id(node, id); }

  // The last child that is a block (a handler's or finally's suite has no field).
  TSNode last_block_child(TSNode node) const {
    for (uint32_t i = ts_node_named_child_count(node); i > 0; --i) {
      const TSNode child = ts_node_named_child(node, i - 1);
      if (g_.sym(child) == Sym::Block) return child;
    }
    return TSNode{};
  }

  TextRef add_text(std::string_view text) {
    const auto offset = static_cast<uint32_t>(m_.strings.size());
    m_.strings.append(text);
    return {offset, static_cast<uint32_t>(text.size())};
  }

  Identifier make_identifier(TSNode node) {
    const auto offset = static_cast<uint32_t>(m_.strings.size());
    append_identifier(text_of(source_, node), m_.strings);
    return {range_of(node), {offset, static_cast<uint32_t>(m_.strings.size() - offset)}};
  }

  // A dotted name as one identifier: its parts joined by ".".
  Identifier make_dotted(TSNode node) {
    const auto offset = static_cast<uint32_t>(m_.strings.size());
    probe_.reset(node);
    bool first = true;
    if (probe_.first_child()) {
      do {
        const TSNode part = probe_.node();
        if (g_.sym(part) != Sym::Identifier) continue;
        if (!first) m_.strings.push_back('.');
        append_identifier(text_of(source_, part), m_.strings);
        first = false;
      } while (probe_.next_sibling());
    }
    return {range_of(node), {offset, static_cast<uint32_t>(m_.strings.size() - offset)}};
  }

  StmtId add_stmt(StmtKind kind, TextRange range, uint32_t data = 0) {
    m_.stmts.push_back({kind, range, data});
    return StmtId{next_index(m_.stmts) - 1};
  }

  ExprId add_expr(ExprKind kind, TextRange range, uint32_t data = 0) {
    m_.exprs.push_back({kind, range, data});
    return ExprId{next_index(m_.exprs) - 1};
  }

  void defer_block(TSNode block, BlockSlot slot, uint32_t index) {
    if (!ts_node_is_null(block)) tasks_.push_back({Task::Kind::Block, slot, index, block});
  }

  Span<StmtId>& slot(BlockSlot slot, uint32_t i) {
    switch (slot) {
      case BlockSlot::Module: return m_.body;
      case BlockSlot::FunctionBody: return m_.function_defs[i].body;
      case BlockSlot::ClassBody: return m_.class_defs[i].body;
      case BlockSlot::IfBody: return m_.ifs[i].body;
      case BlockSlot::ClauseBody: return m_.clauses[i].body;
      case BlockSlot::LoopBody: return m_.loops[i].body;
      case BlockSlot::LoopElse: return m_.loops[i].orelse;
      case BlockSlot::WithBody: return m_.withs[i].body;
      case BlockSlot::CaseBody: return m_.cases[i].body;
      case BlockSlot::TryBody: return m_.tries[i].body;
      case BlockSlot::HandlerBody: return m_.handlers[i].body;
      case BlockSlot::TryElse: return m_.tries[i].orelse;
      case BlockSlot::TryFinally: return m_.tries[i].finalbody;
    }
    return m_.body;
  }

  // ---------------------------------------------------------- statements

  void expand_block(const Task& task) {
    block_nodes_.clear();
    cursor_.reset(task.node);
    if (cursor_.first_child()) {
      do {
        const TSNode child = cursor_.node();
        if (ts_node_is_named(child) && !is_trivia(g_.sym(child))) block_nodes_.push_back(child);
      } while (cursor_.next_sibling());
    }
    block_ids_.clear();
    for (const TSNode node : block_nodes_) block_ids_.push_back(make_stmt(node));
    const Span<StmtId> span{next_index(m_.stmt_lists), static_cast<uint32_t>(block_ids_.size())};
    m_.stmt_lists.insert(m_.stmt_lists.end(), block_ids_.begin(), block_ids_.end());
    slot(task.slot, task.index) = span;
  }

  // The grammar keeps indentation widths in single bytes: past 255 columns
  // it may nest a statement in the wrong block, so such a file is refused.
  // Widths are counted as the grammar counts them (a tab is 8, a form feed
  // starts again from 0). The first such statement in source order is named.
  void check_indentation(uint32_t start) {
    if (wide_indentation_ && wide_indentation_->range.start <= start) return;
    uint32_t line = start;
    while (line > 0 && (source_[line - 1] == ' ' || source_[line - 1] == '\t' || source_[line - 1] == '\f')) --line;
    if (line > 0 && source_[line - 1] != '\n' && source_[line - 1] != '\r') return;
    uint32_t width = 0;
    for (uint32_t i = line; i < start; ++i) {
      const char c = source_[i];
      width = c == ' ' ? width + 1 : c == '\t' ? width + 8 : 0;
    }
    if (width > 255) {
      wide_indentation_ = ParseError{"Indentation wider than 255 columns is not supported", {line, start}};
    }
  }

  StmtId make_stmt(TSNode node) {
    const TextRange range = range_of(node);
    if (range.start >= 32) check_indentation(range.start);  // fewer bytes cannot be that wide
    switch (g_.sym(node)) {
      case Sym::DecoratedDefinition: return make_decorated(node);
      case Sym::FunctionDefinition: return make_function(node, range.start, {next_index(m_.decorators), 0});
      case Sym::ClassDefinition: return make_class(node, range.start, {next_index(m_.decorators), 0});
      case Sym::IfStatement: return make_if(node);
      case Sym::ForStatement:
      case Sym::WhileStatement: return make_loop(node);
      case Sym::WithStatement: {
        const uint32_t index = next_index(m_.withs);
        m_.withs.push_back({starts_with_async(node), {}});
        defer_block(field(node, g_.body), BlockSlot::WithBody, index);
        return add_stmt(StmtKind::With, range, index);
      }
      case Sym::MatchStatement: return make_match(node);
      case Sym::TryStatement: return make_try(node);
      case Sym::ExpressionStatement: return make_expression_statement(node);
      case Sym::ReturnStatement: {
        const TSNode value = first_named(node);
        const uint32_t index = next_index(m_.returns);
        m_.returns.push_back({ts_node_is_null(value) ? kNoExpr : make_expr(value)});
        return add_stmt(StmtKind::Return, range, index);
      }
      case Sym::ImportFromStatement:
      case Sym::FutureImportStatement: return make_import_from(node);
      case Sym::PrintStatement: return add_stmt(StmtKind::Expr, range);  // "print >>f, x" is a tuple
      case Sym::PassStatement: return add_stmt(StmtKind::Pass, range);
      case Sym::BreakStatement: return add_stmt(StmtKind::Break, range);
      case Sym::ContinueStatement: return add_stmt(StmtKind::Continue, range);
      case Sym::ImportStatement: return add_stmt(StmtKind::Import, range);
      case Sym::GlobalStatement: return add_stmt(StmtKind::Global, range);
      case Sym::NonlocalStatement: return add_stmt(StmtKind::Nonlocal, range);
      case Sym::DeleteStatement: return add_stmt(StmtKind::Delete, range);
      case Sym::AssertStatement: return add_stmt(StmtKind::Assert, range);
      case Sym::RaiseStatement: return add_stmt(StmtKind::Raise, range);
      case Sym::TypeAliasStatement: return make_type_alias(node);
      default:
        fail(node);
        return add_stmt(StmtKind::Expr, range);
    }
  }

  bool starts_with_async(TSNode node) const {
    return ts_node_child_count(node) > 0 && g_.sym(ts_node_child(node, 0)) == Sym::TokAsync;
  }

  StmtId make_decorated(TSNode node) {
    const uint32_t first = next_index(m_.decorators);
    TSNode definition{};
    cursor_.reset(node);
    if (cursor_.first_child()) {
      do {
        const TSNode child = cursor_.node();
        const Sym sym = g_.sym(child);
        if (sym == Sym::Decorator) {
          // From the "@" to the end of the expression as written (its
          // parentheses included), never the line break or a comment.
          const TSNode expression = first_named(child);
          const TextRange range{ts_node_start_byte(child), ts_node_end_byte(expression)};
          m_.decorators.push_back({range, make_expr(expression)});
        } else if (sym == Sym::FunctionDefinition || sym == Sym::ClassDefinition) {
          definition = child;
        }
      } while (cursor_.next_sibling());
    }
    const Span<Decorator> decorators{first, next_index(m_.decorators) - first};
    const uint32_t start = ts_node_start_byte(node);
    if (g_.sym(definition) == Sym::ClassDefinition) return make_class(definition, start, decorators);
    return make_function(definition, start, decorators);
  }

  StmtId make_function(TSNode node, uint32_t start, Span<Decorator> decorators) {
    FunctionDef def;
    def.is_async = starts_with_async(node);
    def.name = make_identifier(field(node, g_.name));
    def.decorators = decorators;
    const TSNode params = field(node, g_.parameters);
    def.parameters_range = range_of(params);
    def.parameters = make_parameters(params);
    const TSNode returns = field(node, g_.return_type);
    def.returns = ts_node_is_null(returns) ? kNoExpr : make_expr(returns);
    const uint32_t index = next_index(m_.function_defs);
    m_.function_defs.push_back(def);
    defer_block(field(node, g_.body), BlockSlot::FunctionBody, index);
    return add_stmt(StmtKind::FunctionDef, {start, ts_node_end_byte(node)}, index);
  }

  Span<Parameter> make_parameters(TSNode params) {
    const uint32_t first = next_index(m_.parameters);
    bool keyword_only = false;
    cursor_.reset(params);
    if (!cursor_.first_child()) return {first, 0};
    do {
      const TSNode p = cursor_.node();
      const Sym sym = g_.sym(p);
      Parameter param{keyword_only ? ParameterKind::KeywordOnly : ParameterKind::Regular, {}, range_of(p), kNoExpr};
      TSNode name{};
      switch (sym) {
        case Sym::Identifier:
          name = p;
          break;
        case Sym::DefaultParameter:
          name = field(p, g_.name);
          param.range = range_of(name);
          break;
        case Sym::TypedDefaultParameter: {
          name = field(p, g_.name);
          const TSNode type = field(p, g_.type);
          param.range = {ts_node_start_byte(name), ts_node_end_byte(type)};
          param.annotation = make_expr(type);
          break;
        }
        case Sym::TypedParameter: {
          const TSNode inner = ts_node_named_child(p, 0);
          const Sym inner_sym = g_.sym(inner);
          if (inner_sym == Sym::ListSplatPattern || inner_sym == Sym::DictionarySplatPattern) {
            param.kind = inner_sym == Sym::ListSplatPattern ? ParameterKind::Vararg : ParameterKind::Kwarg;
            name = ts_node_named_child(inner, 0);
          } else {
            name = inner;
          }
          param.annotation = make_expr(field(p, g_.type));
          break;
        }
        case Sym::ListSplatPattern:
          param.kind = ParameterKind::Vararg;
          name = ts_node_named_child(p, 0);
          break;
        case Sym::DictionarySplatPattern:
          param.kind = ParameterKind::Kwarg;
          name = ts_node_named_child(p, 0);
          break;
        case Sym::KeywordSeparator:
          keyword_only = true;
          continue;
        case Sym::PositionalSeparator:
          for (uint32_t i = first; i < m_.parameters.size(); ++i) m_.parameters[i].kind = ParameterKind::PositionalOnly;
          continue;
        default:
          continue;  // punctuation and comments
      }
      if (param.kind == ParameterKind::Vararg) keyword_only = true;
      param.name = make_identifier(name);
      m_.parameters.push_back(param);
    } while (cursor_.next_sibling());
    return {first, next_index(m_.parameters) - first};
  }

  StmtId make_class(TSNode node, uint32_t start, Span<Decorator> decorators) {
    const uint32_t index = next_index(m_.class_defs);
    m_.class_defs.push_back({make_identifier(field(node, g_.name)), decorators, {}});
    defer_block(field(node, g_.body), BlockSlot::ClassBody, index);
    return add_stmt(StmtKind::ClassDef, {start, ts_node_end_byte(node)}, index);
  }

  StmtId make_if(TSNode node) {
    const uint32_t index = next_index(m_.ifs);
    m_.ifs.push_back({});
    defer_block(field(node, g_.consequence), BlockSlot::IfBody, index);
    const uint32_t first = next_index(m_.clauses);
    cursor_.reset(node);
    if (cursor_.first_child()) {
      do {
        const TSNode clause = cursor_.node();
        const Sym sym = g_.sym(clause);
        if (sym != Sym::ElifClause && sym != Sym::ElseClause) continue;
        const uint32_t clause_index = next_index(m_.clauses);
        const ExprId test = sym == Sym::ElifClause ? make_expr(field(clause, g_.condition)) : kNoExpr;
        m_.clauses.push_back({range_of(clause), test, {}});
        defer_block(field(clause, sym == Sym::ElifClause ? g_.consequence : g_.body), BlockSlot::ClauseBody,
                    clause_index);
      } while (cursor_.next_sibling());
    }
    m_.ifs[index].clauses = {first, next_index(m_.clauses) - first};
    return add_stmt(StmtKind::If, range_of(node), index);
  }

  StmtId make_loop(TSNode node) {
    const bool is_for = g_.sym(node) == Sym::ForStatement;
    const uint32_t index = next_index(m_.loops);
    m_.loops.push_back({is_for && starts_with_async(node), {}, {}});
    defer_block(field(node, g_.body), BlockSlot::LoopBody, index);
    const TSNode orelse = field(node, g_.alternative);
    if (!ts_node_is_null(orelse)) defer_block(field(orelse, g_.body), BlockSlot::LoopElse, index);
    return add_stmt(is_for ? StmtKind::For : StmtKind::While, range_of(node), index);
  }

  StmtId make_match(TSNode node) {
    const uint32_t index = next_index(m_.matches);
    const uint32_t first = next_index(m_.cases);
    cursor_.reset(field(node, g_.body));
    if (cursor_.first_child()) {
      do {
        const TSNode clause = cursor_.node();
        if (g_.sym(clause) != Sym::CaseClause) continue;
        const uint32_t case_index = next_index(m_.cases);
        m_.cases.push_back({range_of(clause), {}});
        defer_block(field(clause, g_.consequence), BlockSlot::CaseBody, case_index);
      } while (cursor_.next_sibling());
    }
    m_.matches.push_back({{first, next_index(m_.cases) - first}});
    return add_stmt(StmtKind::Match, range_of(node), index);
  }

  StmtId make_try(TSNode node) {
    const uint32_t index = next_index(m_.tries);
    m_.tries.push_back({});
    const uint32_t first = next_index(m_.handlers);
    bool is_star = false;
    cursor_.reset(node);
    if (cursor_.first_child()) {
      do {
        const TSNode child = cursor_.node();
        switch (g_.sym(child)) {
          case Sym::Block:
            if (cursor_.field() == g_.body) defer_block(child, BlockSlot::TryBody, index);
            break;
          case Sym::ExceptGroupClause:
          case Sym::ExceptClause: {
            is_star |= is_except_star_clause(child, g_);
            const uint32_t handler = next_index(m_.handlers);
            m_.handlers.push_back({range_of(child), {}});
            defer_block(last_block_child(child), BlockSlot::HandlerBody, handler);
            break;
          }
          case Sym::ElseClause:
            defer_block(field(child, g_.body), BlockSlot::TryElse, index);
            break;
          case Sym::FinallyClause:
            defer_block(last_block_child(child), BlockSlot::TryFinally, index);
            break;
          default:
            break;
        }
      } while (cursor_.next_sibling());
    }
    m_.tries[index].is_star = is_star;
    m_.tries[index].handlers = {first, next_index(m_.handlers) - first};
    return add_stmt(StmtKind::Try, range_of(node), index);
  }

  StmtId make_expression_statement(TSNode node) {
    const TextRange range = range_of(node);
    const TSNode inner = first_named(node);
    const Sym sym = g_.sym(inner);
    if (sym == Sym::AugmentedAssignment) return add_stmt(StmtKind::AugAssign, range);
    if (sym != Sym::Assignment) return add_stmt(StmtKind::Expr, range);
    const TSNode type = field(inner, g_.type);
    if (!ts_node_is_null(type)) {
      const TSNode value = field(inner, g_.right);
      const uint32_t index = next_index(m_.ann_assigns);
      const ExprId target = make_expr(field(inner, g_.left));
      const ExprId annotation = make_expr(type);
      m_.ann_assigns.push_back({target, annotation, ts_node_is_null(value) ? kNoExpr : make_expr(value)});
      return add_stmt(StmtKind::AnnAssign, range, index);
    }
    // "x = y = 5" nests to the right; walk the chain of targets.
    target_nodes_.clear();
    TSNode link = inner;
    TSNode value{};
    for (;;) {
      target_nodes_.push_back(field(link, g_.left));
      value = field(link, g_.right);
      if (g_.sym(value) != Sym::Assignment || !ts_node_is_null(field(value, g_.type))) break;
      link = value;
    }
    target_ids_.clear();
    for (const TSNode target : target_nodes_) target_ids_.push_back(make_expr(target));
    const Span<ExprId> targets{next_index(m_.expr_lists), static_cast<uint32_t>(target_ids_.size())};
    m_.expr_lists.insert(m_.expr_lists.end(), target_ids_.begin(), target_ids_.end());
    const uint32_t index = next_index(m_.assigns);
    const ExprId value_id = make_expr(value);
    m_.assigns.push_back({targets, value_id});
    return add_stmt(StmtKind::Assign, range, index);
  }

  StmtId make_type_alias(TSNode node) {
    const TSNode target = misread_type_call_target(node, g_);
    if (ts_node_is_null(target)) return add_stmt(StmtKind::TypeAlias, range_of(node));
    // Really "type(x).attr = value": the target starts at "type".
    const ExprKind kind = g_.sym(target) == Sym::Attribute ? ExprKind::Attribute : ExprKind::Subscript;
    const ExprId target_id = add_expr(kind, {ts_node_start_byte(node), ts_node_end_byte(target)});
    const Span<ExprId> targets{next_index(m_.expr_lists), 1};
    m_.expr_lists.push_back(target_id);
    const uint32_t index = next_index(m_.assigns);
    const ExprId value = make_expr(field(node, g_.right));
    m_.assigns.push_back({targets, value});
    return add_stmt(StmtKind::Assign, range_of(node), index);
  }

  StmtId make_import_from(TSNode node) {
    ImportFrom import;
    const uint32_t first = next_index(m_.aliases);
    cursor_.reset(node);
    if (cursor_.first_child()) {
      do {
        const TSNode child = cursor_.node();
        const Sym sym = g_.sym(child);
        const TSFieldId child_field = cursor_.field();
        if (sym == Sym::TokFuture) {
          import.module = Identifier{range_of(child), add_text("__future__")};
        } else if (child_field == g_.module_name) {
          if (sym == Sym::DottedName) {
            import.module = make_dotted(child);
          } else {  // relative: dots, then perhaps a name
            probe_.reset(child);
            TSNode dotted{};
            if (probe_.first_child()) {
              do {
                const TSNode part = probe_.node();
                if (g_.sym(part) == Sym::ImportPrefix) {
                  for (char c : text_of(source_, part)) import.level += c == '.';
                } else if (g_.sym(part) == Sym::DottedName) {
                  dotted = part;
                }
              } while (probe_.next_sibling());
            }
            if (!ts_node_is_null(dotted)) import.module = make_dotted(dotted);
          }
        } else if (sym == Sym::WildcardImport) {
          m_.aliases.push_back({range_of(child), {range_of(child), add_text("*")}, std::nullopt});
        } else if (child_field == g_.name) {
          if (sym == Sym::AliasedImport) {
            m_.aliases.push_back(
                {range_of(child), make_dotted(field(child, g_.name)), make_identifier(field(child, g_.alias))});
          } else {
            m_.aliases.push_back({range_of(child), make_dotted(child), std::nullopt});
          }
        }
      } while (cursor_.next_sibling());
    }
    import.names = {first, next_index(m_.aliases) - first};
    const uint32_t index = next_index(m_.import_froms);
    m_.import_froms.push_back(std::move(import));
    return add_stmt(StmtKind::ImportFrom, range_of(node), index);
  }

  // A compound statement ends where its last body statement ends, not where
  // the grammar's block does (that runs on over trailing comments). Children
  // always have larger ids than their statement, so one backward pass works.
  void fix_compound_ends() {
    const auto last_end = [&](Span<StmtId> span, uint32_t fallback) {
      if (span.empty()) return fallback;
      return m_.stmt(m_.stmt_lists[span.offset + span.size - 1]).range.end;
    };
    for (size_t i = m_.stmts.size(); i-- > 0;) {
      Stmt& s = m_.stmts[i];
      uint32_t& end = s.range.end;
      switch (s.kind) {
        case StmtKind::FunctionDef: end = last_end(m_.function_defs[s.data].body, end); break;
        case StmtKind::ClassDef: end = last_end(m_.class_defs[s.data].body, end); break;
        case StmtKind::If: {
          const If& stmt = m_.ifs[s.data];
          end = last_end(stmt.body, end);
          for (uint32_t k = 0; k < stmt.clauses.size; ++k) {
            ElifElseClause& clause = m_.clauses[stmt.clauses.offset + k];
            clause.range.end = last_end(clause.body, clause.range.end);
            end = clause.range.end;
          }
          break;
        }
        case StmtKind::For:
        case StmtKind::While: {
          const Loop& loop = m_.loops[s.data];
          end = last_end(loop.orelse, last_end(loop.body, end));
          break;
        }
        case StmtKind::With: end = last_end(m_.withs[s.data].body, end); break;
        case StmtKind::Match: {
          const Match& match = m_.matches[s.data];
          for (uint32_t k = 0; k < match.cases.size; ++k) {
            MatchCase& c = m_.cases[match.cases.offset + k];
            c.range.end = last_end(c.body, c.range.end);
            end = c.range.end;
          }
          break;
        }
        case StmtKind::Try: {
          const Try& t = m_.tries[s.data];
          end = last_end(t.body, end);
          for (uint32_t k = 0; k < t.handlers.size; ++k) {
            ExceptHandler& h = m_.handlers[t.handlers.offset + k];
            h.range.end = last_end(h.body, h.range.end);
            end = h.range.end;
          }
          end = last_end(t.finalbody, last_end(t.orelse, end));
          break;
        }
        default:
          break;
      }
    }
  }

  // The Module lives as long as the cache keeps it: give back what the
  // tables' growth left unused.
  void release_slack() {
    m_.strings.shrink_to_fit();
    m_.stmts.shrink_to_fit();
    m_.exprs.shrink_to_fit();
    m_.stmt_lists.shrink_to_fit();
    m_.expr_lists.shrink_to_fit();
    m_.function_defs.shrink_to_fit();
    m_.class_defs.shrink_to_fit();
    m_.returns.shrink_to_fit();
    m_.ifs.shrink_to_fit();
    m_.loops.shrink_to_fit();
    m_.withs.shrink_to_fit();
    m_.matches.shrink_to_fit();
    m_.tries.shrink_to_fit();
    m_.assigns.shrink_to_fit();
    m_.ann_assigns.shrink_to_fit();
    m_.import_froms.shrink_to_fit();
    m_.decorators.shrink_to_fit();
    m_.parameters.shrink_to_fit();
    m_.clauses.shrink_to_fit();
    m_.cases.shrink_to_fit();
    m_.handlers.shrink_to_fit();
    m_.aliases.shrink_to_fit();
    m_.names.shrink_to_fit();
    m_.calls.shrink_to_fit();
    m_.keywords.shrink_to_fit();
    m_.dicts.shrink_to_fit();
    m_.dict_items.shrink_to_fit();
    m_.string_literals.shrink_to_fit();
  }

  // --------------------------------------------------------- expressions

  // Parentheses around one expression, the annotation wrapper, and the
  // grammar's "(a)" target (a one-element tuple pattern without a comma) all
  // leave the range of what is inside.
  TSNode unwrap(TSNode node) {
    for (;;) {
      const Sym sym = g_.sym(node);
      if (sym == Sym::ParenthesizedExpression || sym == Sym::Type) {
        const TSNode inner = first_named(node);
        if (ts_node_is_null(inner)) return node;
        node = inner;
        continue;
      }
      if (sym == Sym::TuplePattern) {
        TSNode only{};
        int named = 0;
        bool comma = false;
        probe_.reset(node);
        if (probe_.first_child()) {
          do {
            const TSNode child = probe_.node();
            const Sym child_sym = g_.sym(child);
            if (child_sym == Sym::TokComma) comma = true;
            if (ts_node_is_named(child) && !is_trivia(child_sym)) {
              ++named;
              only = child;
            }
          } while (probe_.next_sibling());
        }
        if (named != 1 || comma) return node;
        node = only;
        continue;
      }
      return node;
    }
  }

  ExprId make_expr(TSNode raw) {
    const TSNode node = unwrap(raw);
    const TextRange range = range_of(node);
    const Sym sym = g_.sym(node);
    switch (sym) {
      case Sym::Identifier: {
        const uint32_t index = next_index(m_.names);
        m_.names.push_back({make_identifier(node).text});
        return add_expr(ExprKind::Name, range, index);
      }
      case Sym::Call: {
        const uint32_t index = next_index(m_.calls);
        m_.calls.push_back({kNoExpr, {next_index(m_.keywords), 0}});
        tasks_.push_back({Task::Kind::CallFunc, BlockSlot::Module, index, field(node, g_.function)});
        const TSNode args = field(node, g_.arguments);
        if (g_.sym(args) == Sym::ArgumentList) {
          tasks_.push_back({Task::Kind::CallKeywords, BlockSlot::Module, index, args});
        }
        return add_expr(ExprKind::Call, range, index);
      }
      case Sym::Dictionary: {
        const uint32_t index = next_index(m_.dicts);
        m_.dicts.push_back({{next_index(m_.dict_items), 0}});
        tasks_.push_back({Task::Kind::DictItems, BlockSlot::Module, index, node});
        return add_expr(ExprKind::Dict, range, index);
      }
      case Sym::String:
      case Sym::ConcatenatedString: return make_string(node, sym == Sym::ConcatenatedString);
      case Sym::Yield: {
        const bool from = ts_node_child_count(node) > 1 && g_.sym(ts_node_child(node, 1)) == Sym::TokFrom;
        return add_expr(from ? ExprKind::YieldFrom : ExprKind::Yield, range);
      }
      default: break;
    }
    if ((sym == Sym::Attribute || sym == Sym::Subscript) && source_[range.start] == '*') {
      // The grammar reads "*a[b]" as a subscript of "*a"; it is "*(a[b])".
      return add_expr(ExprKind::Starred, range);
    }
    const std::optional<ExprKind> kind = range_only_kind(sym);
    if (!kind) {
      fail(node);
      return add_expr(ExprKind::Attribute, range);
    }
    return add_expr(*kind, range);
  }

  static std::optional<ExprKind> range_only_kind(Sym sym) {
    switch (sym) {
      case Sym::BooleanOperator: return ExprKind::BoolOp;
      case Sym::NotOperator:
      case Sym::UnaryOperator: return ExprKind::UnaryOp;
      case Sym::NamedExpression: return ExprKind::Named;
      case Sym::BinaryOperator:
      case Sym::UnionType: return ExprKind::BinOp;
      case Sym::Lambda: return ExprKind::Lambda;
      case Sym::ConditionalExpression: return ExprKind::If;
      case Sym::Set: return ExprKind::Set;
      case Sym::ListComprehension: return ExprKind::ListComp;
      case Sym::SetComprehension: return ExprKind::SetComp;
      case Sym::DictionaryComprehension: return ExprKind::DictComp;
      case Sym::GeneratorExpression: return ExprKind::Generator;
      case Sym::Await: return ExprKind::Await;
      case Sym::ComparisonOperator: return ExprKind::Compare;
      case Sym::Integer:
      case Sym::Float: return ExprKind::NumberLiteral;
      case Sym::True:
      case Sym::False: return ExprKind::BooleanLiteral;
      case Sym::None: return ExprKind::NoneLiteral;
      case Sym::Ellipsis: return ExprKind::EllipsisLiteral;
      case Sym::Attribute:
      case Sym::MemberType: return ExprKind::Attribute;
      case Sym::Subscript:
      case Sym::GenericType: return ExprKind::Subscript;
      case Sym::ListSplat:
      case Sym::ListSplatPattern:
      case Sym::SplatType: return ExprKind::Starred;
      case Sym::List:
      case Sym::ListPattern: return ExprKind::List;
      case Sym::Tuple:
      case Sym::TuplePattern:
      case Sym::ExpressionList:
      case Sym::PatternList: return ExprKind::Tuple;
      case Sym::Slice: return ExprKind::Slice;
      default: return std::nullopt;
    }
  }

  ExprId make_string(TSNode node, bool concatenated) {
    const TextRange range = range_of(node);
    if (!concatenated) {
      const StringPrefix prefix = read_string_prefix(text_of(source_, ts_node_child(node, 0)));
      if (prefix.format) return add_expr(ExprKind::FString, range);
      if (prefix.bytes) return add_expr(ExprKind::BytesLiteral, range);
      const auto offset = static_cast<uint32_t>(m_.strings.size());
      append_string_value(node, prefix);
      const uint32_t index = next_index(m_.string_literals);
      m_.string_literals.push_back({{offset, static_cast<uint32_t>(m_.strings.size() - offset)}, false});
      return add_expr(ExprKind::StringLiteral, range, index);
    }
    part_nodes_.clear();
    probe_.reset(node);
    if (probe_.first_child()) {
      do {
        if (g_.sym(probe_.node()) == Sym::String) part_nodes_.push_back(probe_.node());
      } while (probe_.next_sibling());
    }
    bool format = false, bytes = false;
    for (const TSNode part : part_nodes_) {
      const StringPrefix prefix = read_string_prefix(text_of(source_, ts_node_child(part, 0)));
      format |= prefix.format;
      bytes |= prefix.bytes;
    }
    if (format) return add_expr(ExprKind::FString, range);
    if (bytes) return add_expr(ExprKind::BytesLiteral, range);
    const auto offset = static_cast<uint32_t>(m_.strings.size());
    for (const TSNode part : part_nodes_) {
      append_string_value(part, read_string_prefix(text_of(source_, ts_node_child(part, 0))));
    }
    const uint32_t index = next_index(m_.string_literals);
    m_.string_literals.push_back({{offset, static_cast<uint32_t>(m_.strings.size() - offset)}, true});
    return add_expr(ExprKind::StringLiteral, range, index);
  }

  void append_string_value(TSNode string, const StringPrefix& prefix) {
    // The body runs from the opening token to the closing quotes: the
    // grammar may fold leading raw content into its closing token.
    const uint32_t start = ts_node_end_byte(ts_node_child(string, 0));
    const uint32_t end = ts_node_end_byte(string) - prefix.quote_length;
    if (end > start) decode_string_body(std::string_view(source_).substr(start, end - start), prefix, &m_.strings);
  }

  void expand_keywords(const Task& task) {
    const uint32_t first = next_index(m_.keywords);
    cursor_.reset(task.node);
    if (cursor_.first_child()) {
      do {
        const TSNode arg = cursor_.node();
        const Sym sym = g_.sym(arg);
        if (sym == Sym::KeywordArgument) {
          const Identifier name = make_identifier(field(arg, g_.name));
          const ExprId value = make_expr(field(arg, g_.value));
          m_.keywords.push_back({range_of(arg), name, value});
        } else if (sym == Sym::DictionarySplat) {
          const ExprId value = make_expr(first_named(arg));
          m_.keywords.push_back({range_of(arg), std::nullopt, value});
        }
      } while (cursor_.next_sibling());
    }
    m_.calls[task.index].keywords = {first, next_index(m_.keywords) - first};
  }

  void expand_dict(const Task& task) {
    const uint32_t first = next_index(m_.dict_items);
    cursor_.reset(task.node);
    if (cursor_.first_child()) {
      do {
        const TSNode item = cursor_.node();
        const Sym sym = g_.sym(item);
        if (sym == Sym::Pair) {
          const ExprId key = make_expr(field(item, g_.key));
          const ExprId value = make_expr(field(item, g_.value));
          m_.dict_items.push_back({key, value});
        } else if (sym == Sym::DictionarySplat) {
          m_.dict_items.push_back({kNoExpr, make_expr(first_named(item))});
        }
      } while (cursor_.next_sibling());
    }
    m_.dicts[task.index].items = {first, next_index(m_.dict_items) - first};
  }

  const Grammar& g_;
  Module& m_;
  const std::string& source_;
  Cursor cursor_;  // iterates the children of the node being converted
  Cursor probe_;   // short lookups inside one conversion step
  std::vector<Task> tasks_;
  std::vector<TSNode> block_nodes_, target_nodes_, part_nodes_;
  std::vector<StmtId> block_ids_;
  std::vector<ExprId> target_ids_;
  std::optional<ParseError> failure_;
  std::optional<ParseError> wide_indentation_;
};

}  // namespace

std::optional<ParseError> convert_module(TSNode root, const Grammar& grammar, Module& module) {
  return Converter(grammar, module, root).run(root);
}

}  // namespace tymbe::ast::parser
