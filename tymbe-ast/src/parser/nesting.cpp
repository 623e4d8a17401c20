#include "parser/nesting.h"

#include <string>
#include <vector>

namespace tymbe::ast::parser {

namespace {

bool is_name_byte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c >= 0x80;
}

bool is_string_prefix(std::string_view word, bool* format) {
  if (word.size() > 2) return false;
  *format = false;
  for (char c : word) {
    switch (c) {
      case 'f': case 'F': *format = true; break;
      case 'r': case 'R': case 'b': case 'B': case 'u': case 'U': break;
      default: return false;
    }
  }
  return true;
}

bool is_plain_keyword(std::string_view w) {
  static constexpr std::string_view kKeywords[] = {
      "and", "or", "in", "is", "from", "import", "return", "del", "assert", "raise", "global", "nonlocal", "class",
      "def", "while", "with", "as", "try", "except", "finally", "elif", "async"};
  for (std::string_view k : kKeywords) {
    if (w == k) return true;
  }
  return false;
}

// What the last token was: it decides what an operator or bracket after it
// leaves waiting on the parse stack.
enum class Last : uint8_t { Start, Open, Comma, Operand, Operator };

// One open bracket (or the logical line itself, at the bottom).
struct Level {
  uint32_t weight = 0;     // the bracket and what stands before it
  uint32_t element = 0;    // pending in the current comma-separated element
  uint32_t statement = 0;  // pending until the bracket closes or the line ends
  uint32_t open_lambdas = 0;
};

// An f-string whose replacement field is open: where its text resumes.
struct FString {
  char quote;
  bool triple;
  size_t depth;  // levels_.size() inside the replacement field
};

class Estimate {
 public:
  Estimate(std::string_view text, uint32_t limit) : text_(text), limit_(limit) { levels_.emplace_back(); }

  std::optional<ParseError> run() {
    const size_t n = text_.size();
    size_t i = 0;
    while (i < n && !error_) {
      const char c = text_[i];
      const size_t start = i;
      switch (c) {
        case ' ': case '\t': case '\f': ++i; break;
        case '#':
          while (i < n && text_[i] != '\n' && text_[i] != '\r') ++i;
          break;
        case '\\':
          ++i;  // a continuation joins lines; anything else is the grammar's to refuse
          if (i < n && text_[i] == '\r') ++i;
          if (i < n && text_[i] == '\n') ++i;
          break;
        case '\n': case '\r':
          ++i;
          if (levels_.size() == 1) end_statement();
          break;
        case ';':
          ++i;
          if (levels_.size() == 1) end_statement();
          break;
        case '\'': case '"': i = string_body(i, c, false); break;
        case '(': case '[': case '{':
          ++i;
          open_bracket(start, 0);
          break;
        case ')': case ']': case '}':
          ++i;
          if (!fstrings_.empty() && c == '}' && levels_.size() == fstrings_.back().depth) {
            const FString f = fstrings_.back();
            fstrings_.pop_back();
            close_bracket();
            i = resume_string(i, f.quote, f.triple, true);
          } else {
            close_bracket();
          }
          break;
        case ',':
          ++i;
          // The elements before stay on the stack as one node and a comma.
          if (top().open_lambdas == 0) {
            drop(top().element);
            add(top().element, 2, start, i);
          }
          last_ = Last::Comma;
          break;
        default:
          if ((c >= '0' && c <= '9') || (c == '.' && i + 1 < n && text_[i + 1] >= '0' && text_[i + 1] <= '9')) {
            i = skip_number(i);
          } else if (is_name_byte(static_cast<unsigned char>(c))) {
            i = word(i);
          } else {
            i = op(i);
          }
          break;
      }
    }
    return std::move(error_);
  }

 private:
  Level& top() { return levels_.back(); }

  void add(uint32_t& counter, uint32_t weight, size_t start, size_t end) {
    counter += weight;
    total_ += weight;
    if (total_ > limit_ && !error_) {
      error_ = ParseError{"Too deeply nested to parse: brackets and operators nest more than " +
                              std::to_string(limit_) + " deep",
                          {static_cast<uint32_t>(start), static_cast<uint32_t>(end)}};
    }
  }

  void drop(uint32_t& counter) {
    total_ -= counter;
    counter = 0;
  }

  void end_statement() {
    Level& line = levels_.front();
    drop(line.element);
    drop(line.statement);
    line.open_lambdas = 0;
    last_ = Last::Start;
  }

  void open_bracket(size_t start, uint32_t extra) {
    // A callee or subscripted value waits under its bracket; so do a left
    // operand and its operator ("1 + (").
    const uint32_t weight = 2 + extra + (last_ == Last::Operand ? 1 : last_ == Last::Operator ? 2 : 0);
    levels_.emplace_back();
    add(top().weight, weight, start, start + 1);
    last_ = Last::Open;
  }

  void close_bracket() {
    last_ = Last::Operand;
    if (levels_.size() == 1) return;
    Level& level = top();
    drop(level.weight);
    drop(level.element);
    drop(level.statement);
    levels_.pop_back();
    while (!fstrings_.empty() && fstrings_.back().depth > levels_.size()) fstrings_.pop_back();
  }

  size_t skip_number(size_t i) {
    const size_t n = text_.size();
    const bool hex = i + 1 < n && text_[i] == '0' && (text_[i + 1] == 'x' || text_[i + 1] == 'X');
    while (i < n) {
      const char c = text_[i];
      if (is_name_byte(static_cast<unsigned char>(c)) || c == '.') {
        ++i;
      } else if ((c == '+' || c == '-') && !hex && (text_[i - 1] == 'e' || text_[i - 1] == 'E')) {
        ++i;
      } else {
        break;
      }
    }
    last_ = Last::Operand;
    return i;
  }

  // A literal from its opening quote at `i`.
  size_t string_body(size_t i, char quote, bool format) {
    const size_t n = text_.size();
    const bool triple = i + 2 < n && text_[i + 1] == quote && text_[i + 2] == quote;
    return resume_string(i + (triple ? 3 : 1), quote, triple, format);
  }

  // Skips literal text from `i` to the closing quotes, or, in an f-string, to
  // the "{" of a replacement field, which is then read as code.
  size_t resume_string(size_t i, char quote, bool triple, bool format) {
    const size_t n = text_.size();
    last_ = Last::Operand;
    while (i < n) {
      const char c = text_[i];
      if (c == '\\') {
        i += i + 2 < n && text_[i + 1] == '\r' && text_[i + 2] == '\n' ? 3 : 2;
        continue;
      }
      if (c == quote && (!triple || (i + 2 < n && text_[i + 1] == quote && text_[i + 2] == quote))) {
        return i + (triple ? 3 : 1);
      }
      if (!triple && (c == '\n' || c == '\r')) return i;  // unterminated: the grammar reports it
      if (format && c == '{') {
        if (i + 1 < n && text_[i + 1] == '{') {
          i += 2;
          continue;
        }
        last_ = Last::Start;
        open_bracket(i, 1);  // the string's start waits under the field
        fstrings_.push_back({quote, triple, levels_.size()});
        return i + 1;
      }
      ++i;
    }
    return n;
  }

  size_t word(size_t i) {
    const size_t n = text_.size();
    const size_t start = i;
    while (i < n && is_name_byte(static_cast<unsigned char>(text_[i]))) ++i;
    const std::string_view w = text_.substr(start, i - start);
    bool format = false;
    if (i < n && (text_[i] == '\'' || text_[i] == '"') && is_string_prefix(w, &format)) {
      return string_body(i, text_[i], format);
    }
    Level& level = top();
    if (w == "not" || w == "await" || w == "yield") {
      add(level.element, 1, start, i);
    } else if (w == "if" || w == "else") {
      add(level.element, 2, start, i);
    } else if (w == "for") {
      add(level.statement, 2, start, i);  // the comprehension's element and "for"
    } else if (w == "lambda") {
      add(level.element, 3, start, i);
      ++level.open_lambdas;
    } else if (!is_plain_keyword(w)) {
      last_ = Last::Operand;
      return i;
    }
    last_ = Last::Operator;
    return i;
  }

  size_t op(size_t i) {
    const size_t n = text_.size();
    const auto at = [&](size_t k) { return i + k < n ? text_[i + k] : '\0'; };
    const char c = text_[i];
    Level& level = top();
    const bool inside = levels_.size() > 1;
    const bool after_operand = last_ == Last::Operand;
    size_t length = 1;
    if (c == '*' && at(1) == '*') {
      length = at(2) == '=' ? 3 : 2;
      if (length == 2) {
        add(level.element, after_operand ? 2 : 1, i, i + 2);
      } else {
        add(level.statement, 2, i, i + 3);
      }
    } else if (c == ':' && at(1) == '=') {
      length = 2;
      add(level.element, 2, i, i + 2);
    } else if (c == ':') {
      if (level.open_lambdas > 0) {
        --level.open_lambdas;
      } else if (inside) {
        add(level.element, 1, i, i + 1);
      }
    } else if (c == '=' && at(1) == '=') {
      length = 2;
    } else if (c == '=') {
      add(inside ? level.element : level.statement, 2, i, i + 1);
    } else if ((c == '<' || c == '>' || c == '/') && at(1) == c) {
      length = at(2) == '=' ? 3 : 2;
      if (length == 3) add(level.statement, 2, i, i + 3);
    } else if (c == '-' && at(1) == '>') {
      length = 2;
    } else if (at(1) == '=' && std::string_view("+-*/%&|^@<>!").find(c) != std::string_view::npos) {
      length = 2;
      if (c != '<' && c != '>' && c != '!') add(level.statement, 2, i, i + 2);
    } else if ((c == '-' || c == '+' || c == '~' || c == '*') && !after_operand) {
      add(level.element, 1, i, i + 1);
    }
    last_ = Last::Operator;
    return i + length;
  }

  std::string_view text_;
  uint32_t limit_;
  std::vector<Level> levels_;
  std::vector<FString> fstrings_;
  uint64_t total_ = 0;
  Last last_ = Last::Start;
  std::optional<ParseError> error_;
};

}  // namespace

std::optional<ParseError> check_nesting(std::string_view source, uint32_t limit) {
  return Estimate(source, limit).run();
}

}  // namespace tymbe::ast::parser
