// Test-only tool: parses each file named on standard input (one path a line)
// and prints our syntax tree in the comparable JSON form of
// tests/judge/README.md, one object per line, in input order:
//   {"path", "valid", "error", "tree", "comments"}
// A file that cannot be read, or a parse that fails unexpectedly, gives
// {"path", "failure"} and the tool goes on with the next path.
//
// With --stdin-texts, standard input holds the texts themselves, each as its
// length in bytes in decimal, a line break, then the bytes; the objects then
// have no "path".

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "tymbe_ast/parser.h"
#include "tymbe_ast/syntax_tree.h"

namespace {

using namespace tymbe::ast;

// Appends `text` as a JSON string. A byte that is not part of valid UTF-8 is
// written as the lone surrogate U+DC00+byte (Python's surrogateescape), so a
// bad value shows up as a difference instead of breaking the JSON.
void put_string(std::string& out, std::string_view text) {
  static const char* hex = "0123456789abcdef";
  out += '"';
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      out += "\\u00";
      out += hex[c >> 4];
      out += hex[c & 15];
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else {
      size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
      uint32_t cp = len == 4 ? c & 7 : len == 3 ? c & 15 : c & 31;
      bool ok = len != 0 && c < 0xF5 && i + len <= n;
      for (size_t k = 1; ok && k < len; ++k) {
        ok = (s[i + k] & 0xC0) == 0x80;
        cp = cp << 6 | (s[i + k] & 0x3F);
      }
      ok = ok && !(len == 3 && cp < 0x800) && !(len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) &&
           !(cp >= 0xD800 && cp <= 0xDFFF);
      if (ok) {
        out.append(text.substr(i, len));
        i += len;
      } else {
        out += "\\udc";
        out += hex[c >> 4];
        out += hex[c & 15];
        ++i;
      }
    }
  }
  out += '"';
}

class Dumper {
 public:
  explicit Dumper(const Module& module) : m_(module) {}

  void module(std::string& out) {
    out_ = &out;
    *out_ += "{\"body\":";
    stmts(m_.body);
    *out_ += '}';
  }

 private:
  void key(const char* name) {
    *out_ += ",\"";
    *out_ += name;
    *out_ += "\":";
  }
  void range(TextRange r) {
    *out_ += '[';
    *out_ += std::to_string(r.start);
    *out_ += ',';
    *out_ += std::to_string(r.end);
    *out_ += ']';
  }
  void boolean(bool b) { *out_ += b ? "true" : "false"; }
  void open(const char* kind, TextRange r) {
    *out_ += "{\"kind\":\"";
    *out_ += kind;
    *out_ += "\",\"range\":";
    range(r);
  }
  void ident(const Identifier& id) {
    *out_ += "{\"id\":";
    put_string(*out_, m_.text(id));
    *out_ += ",\"range\":";
    range(id.range);
    *out_ += '}';
  }
  void opt_ident(const std::optional<Identifier>& id) {
    if (id)
      ident(*id);
    else
      *out_ += "null";
  }

  template <class T, class F>
  void list(Span<T> span, F each) {
    *out_ += '[';
    bool first = true;
    for (const T& item : m_[span]) {
      if (!first) *out_ += ',';
      first = false;
      each(item);
    }
    *out_ += ']';
  }
  void stmts(Span<StmtId> span) {
    list(span, [&](StmtId id) { stmt(m_.stmt(id)); });
  }
  void decorators(Span<Decorator> span) {
    list(span, [&](const Decorator& d) {
      *out_ += "{\"range\":";
      range(d.range);
      key("expression");
      expr(d.expression);
      *out_ += '}';
    });
  }

  static const char* kind_name(StmtKind k) {
    switch (k) {
      case StmtKind::FunctionDef: return "FunctionDef";
      case StmtKind::ClassDef: return "ClassDef";
      case StmtKind::Return: return "Return";
      case StmtKind::If: return "If";
      case StmtKind::For: return "For";
      case StmtKind::While: return "While";
      case StmtKind::With: return "With";
      case StmtKind::Match: return "Match";
      case StmtKind::Try: return "Try";
      case StmtKind::Assign: return "Assign";
      case StmtKind::AnnAssign: return "AnnAssign";
      case StmtKind::ImportFrom: return "ImportFrom";
      case StmtKind::Expr: return "Expr";
      case StmtKind::Pass: return "Pass";
      case StmtKind::Break: return "Break";
      case StmtKind::Continue: return "Continue";
      case StmtKind::Import: return "Import";
      case StmtKind::AugAssign: return "AugAssign";
      case StmtKind::TypeAlias: return "TypeAlias";
      case StmtKind::Raise: return "Raise";
      case StmtKind::Global: return "Global";
      case StmtKind::Nonlocal: return "Nonlocal";
      case StmtKind::Delete: return "Delete";
      case StmtKind::Assert: return "Assert";
    }
    return "?";
  }

  static const char* kind_name(ExprKind k) {
    switch (k) {
      case ExprKind::Name: return "Name";
      case ExprKind::Call: return "Call";
      case ExprKind::Dict: return "Dict";
      case ExprKind::StringLiteral: return "StringLiteral";
      case ExprKind::BytesLiteral: return "BytesLiteral";
      case ExprKind::FString: return "FString";
      case ExprKind::TString: return "TString";
      case ExprKind::BoolOp: return "BoolOp";
      case ExprKind::Named: return "Named";
      case ExprKind::BinOp: return "BinOp";
      case ExprKind::UnaryOp: return "UnaryOp";
      case ExprKind::Lambda: return "Lambda";
      case ExprKind::If: return "If";
      case ExprKind::Set: return "Set";
      case ExprKind::ListComp: return "ListComp";
      case ExprKind::SetComp: return "SetComp";
      case ExprKind::DictComp: return "DictComp";
      case ExprKind::Generator: return "Generator";
      case ExprKind::Await: return "Await";
      case ExprKind::Yield: return "Yield";
      case ExprKind::YieldFrom: return "YieldFrom";
      case ExprKind::Compare: return "Compare";
      case ExprKind::NumberLiteral: return "NumberLiteral";
      case ExprKind::BooleanLiteral: return "BooleanLiteral";
      case ExprKind::NoneLiteral: return "NoneLiteral";
      case ExprKind::EllipsisLiteral: return "EllipsisLiteral";
      case ExprKind::Attribute: return "Attribute";
      case ExprKind::Subscript: return "Subscript";
      case ExprKind::Starred: return "Starred";
      case ExprKind::List: return "List";
      case ExprKind::Tuple: return "Tuple";
      case ExprKind::Slice: return "Slice";
    }
    return "?";
  }

  static const char* kind_name(ParameterKind k) {
    switch (k) {
      case ParameterKind::PositionalOnly: return "PositionalOnly";
      case ParameterKind::Regular: return "Regular";
      case ParameterKind::Vararg: return "Vararg";
      case ParameterKind::KeywordOnly: return "KeywordOnly";
      case ParameterKind::Kwarg: return "Kwarg";
    }
    return "?";
  }

  void expr(ExprId id) {
    if (!present(id)) {
      *out_ += "null";
      return;
    }
    const Expr& e = m_.expr(id);
    open(kind_name(e.kind), e.range);
    switch (e.kind) {
      case ExprKind::Name:
        key("id");
        put_string(*out_, m_.text(m_.name(e).id));
        break;
      case ExprKind::Call: {
        const Call& call = m_.call(e);
        key("func");
        expr(call.func);
        key("keywords");
        list(call.keywords, [&](const Keyword& k) {
          *out_ += "{\"range\":";
          range(k.range);
          key("arg");
          opt_ident(k.arg);
          key("value");
          expr(k.value);
          *out_ += '}';
        });
        break;
      }
      case ExprKind::Dict:
        key("items");
        list(m_.dict(e).items, [&](const DictItem& item) {
          *out_ += "{\"key\":";
          expr(item.key);
          key("value");
          expr(item.value);
          *out_ += '}';
        });
        break;
      case ExprKind::StringLiteral: {
        const StringLiteral& s = m_.string_literal(e);
        key("implicit_concatenated");
        boolean(s.implicit_concatenated);
        key("value");
        put_string(*out_, m_.text(s.value));
        break;
      }
      default:
        break;
    }
    *out_ += '}';
  }

  void stmt(const Stmt& s) {
    open(kind_name(s.kind), s.range);
    switch (s.kind) {
      case StmtKind::FunctionDef: {
        const FunctionDef& f = m_.function_def(s);
        key("is_async");
        boolean(f.is_async);
        key("name");
        ident(f.name);
        key("decorators");
        decorators(f.decorators);
        key("parameters_range");
        range(f.parameters_range);
        key("parameters");
        list(f.parameters, [&](const Parameter& p) {
          *out_ += "{\"kind\":\"";
          *out_ += kind_name(p.kind);
          *out_ += '"';
          key("name");
          ident(p.name);
          key("range");
          range(p.range);
          key("annotation");
          expr(p.annotation);
          *out_ += '}';
        });
        key("returns");
        expr(f.returns);
        key("body");
        stmts(f.body);
        break;
      }
      case StmtKind::ClassDef: {
        const ClassDef& c = m_.class_def(s);
        key("name");
        ident(c.name);
        key("decorators");
        decorators(c.decorators);
        key("body");
        stmts(c.body);
        break;
      }
      case StmtKind::Return:
        key("value");
        expr(m_.return_(s).value);
        break;
      case StmtKind::If: {
        const If& i = m_.if_(s);
        key("body");
        stmts(i.body);
        key("clauses");
        list(i.clauses, [&](const ElifElseClause& c) {
          *out_ += "{\"range\":";
          range(c.range);
          key("test");
          expr(c.test);
          key("body");
          stmts(c.body);
          *out_ += '}';
        });
        break;
      }
      case StmtKind::For:
      case StmtKind::While: {
        const Loop& l = m_.loop(s);
        if (s.kind == StmtKind::For) {
          key("is_async");
          boolean(l.is_async);
        }
        key("body");
        stmts(l.body);
        key("orelse");
        stmts(l.orelse);
        break;
      }
      case StmtKind::With: {
        const With& w = m_.with(s);
        key("is_async");
        boolean(w.is_async);
        key("body");
        stmts(w.body);
        break;
      }
      case StmtKind::Match:
        key("cases");
        list(m_.match(s).cases, [&](const MatchCase& c) {
          *out_ += "{\"range\":";
          range(c.range);
          key("body");
          stmts(c.body);
          *out_ += '}';
        });
        break;
      case StmtKind::Try: {
        const Try& t = m_.try_(s);
        key("is_star");
        boolean(t.is_star);
        key("body");
        stmts(t.body);
        key("handlers");
        list(t.handlers, [&](const ExceptHandler& h) {
          *out_ += "{\"range\":";
          range(h.range);
          key("body");
          stmts(h.body);
          *out_ += '}';
        });
        key("orelse");
        stmts(t.orelse);
        key("finalbody");
        stmts(t.finalbody);
        break;
      }
      case StmtKind::Assign: {
        const Assign& a = m_.assign(s);
        key("targets");
        list(a.targets, [&](ExprId target) { expr(target); });
        key("value");
        expr(a.value);
        break;
      }
      case StmtKind::AnnAssign: {
        const AnnAssign& a = m_.ann_assign(s);
        key("target");
        expr(a.target);
        key("annotation");
        expr(a.annotation);
        key("value");
        expr(a.value);
        break;
      }
      case StmtKind::ImportFrom: {
        const ImportFrom& i = m_.import_from(s);
        key("module");
        opt_ident(i.module);
        key("level");
        *out_ += std::to_string(i.level);
        key("names");
        list(i.names, [&](const Alias& a) {
          *out_ += "{\"range\":";
          range(a.range);
          key("name");
          ident(a.name);
          key("asname");
          opt_ident(a.asname);
          *out_ += '}';
        });
        break;
      }
      default:
        break;
    }
    *out_ += '}';
  }

  const Module& m_;
  std::string* out_ = nullptr;
};

// The object for one text, after `prefix` (the "path" member, or nothing).
std::string dump_text(std::string prefix, std::string text) {
  std::string out = "{" + prefix;
  const char* separator = prefix.empty() ? "" : ",";
  try {
    auto parsed = parse_module(std::move(text));
    if (!parsed.ok()) {
      out += separator;
      out += "\"valid\":false,\"error\":";
      put_string(out, parsed.error().message());
      out += ",\"tree\":null,\"comments\":null}";
      return out;
    }
    const Module& module = parsed.value();
    out += separator;
    out += "\"valid\":true,\"error\":null,\"tree\":";
    Dumper(module).module(out);
    out += ",\"comments\":[";
    for (size_t i = 0; i < module.comments.size(); ++i) {
      if (i) out += ',';
      out += '[' + std::to_string(module.comments[i].start) + ',' + std::to_string(module.comments[i].end) + ']';
    }
    out += "]}";
  } catch (const std::exception& e) {
    out = "{" + prefix + separator + "\"failure\":";
    put_string(out, e.what());
    out += '}';
  }
  return out;
}

std::string dump_file(const std::string& path) {
  std::string prefix = "\"path\":";
  put_string(prefix, path);
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  // `text << rdbuf()` sets failbit on an empty file, which is still a file.
  if (in) text << in.rdbuf();
  if (!in || in.bad() || text.bad()) return "{" + prefix + ",\"failure\":\"cannot read the file\"}";
  return dump_text(std::move(prefix), text.str());
}

void write_line(std::string line) {
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  bool texts_on_stdin = false;
  for (int i = 1; i < argc; ++i) texts_on_stdin |= std::string_view(argv[i]) == "--stdin-texts";
  if (texts_on_stdin) {
    std::string length;
    while (std::getline(std::cin, length)) {
      if (length.empty()) continue;
      std::string text(std::stoull(length), '\0');
      if (!std::cin.read(text.data(), static_cast<std::streamsize>(text.size()))) return 1;
      write_line(dump_text("", std::move(text)));
    }
    return 0;
  }
  std::string path;
  while (std::getline(std::cin, path)) {
    if (!path.empty()) write_line(dump_file(path));
  }
  return 0;
}
