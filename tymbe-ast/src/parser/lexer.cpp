#include "parser/lexer.h"

#include <unicode/uchar.h>

#include <array>
#include <cstring>

#include "parser/syntax_error_kinds.h"
#include "tymbe_utils/utf8.h"

namespace tymbe::ast::parser {

bool is_identifier_start(uint32_t cp) {
  if (cp < 0x80) return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || cp == '_';
  return u_hasBinaryProperty(static_cast<UChar32>(cp), UCHAR_XID_START);
}

bool is_identifier_continue(uint32_t cp) {
  if (cp < 0x80) return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9') || cp == '_';
  // Unicode 15.1 made the zero-width non-joiner and joiner identifier
  // characters, as Python 3.13 and ruff read them; Debian's ICU predates it.
  if (cp == 0x200C || cp == 0x200D) return true;
  return u_hasBinaryProperty(static_cast<UChar32>(cp), UCHAR_XID_CONTINUE);
}

namespace {

using K = SyntaxErrorKind;

constexpr auto kAsciiIdentifier = [] {
  std::array<bool, 128> table{};
  for (int c = 0; c < 128; ++c) {
    table[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }
  return table;
}();

struct KeywordSpelling {
  std::string_view text;
  TokenKind kind;
};

constexpr KeywordSpelling kKeywordSpellings[] = {
    {"False", TokenKind::False},     {"None", TokenKind::None},         {"True", TokenKind::True},
    {"and", TokenKind::And},         {"as", TokenKind::As},             {"assert", TokenKind::Assert},
    {"async", TokenKind::Async},     {"await", TokenKind::Await},       {"break", TokenKind::Break},
    {"class", TokenKind::Class},     {"continue", TokenKind::Continue}, {"def", TokenKind::Def},
    {"del", TokenKind::Del},         {"elif", TokenKind::Elif},         {"else", TokenKind::Else},
    {"except", TokenKind::Except},   {"finally", TokenKind::Finally},   {"for", TokenKind::For},
    {"from", TokenKind::From},       {"global", TokenKind::Global},     {"if", TokenKind::If},
    {"import", TokenKind::Import},   {"in", TokenKind::In},             {"is", TokenKind::Is},
    {"lambda", TokenKind::Lambda},   {"nonlocal", TokenKind::Nonlocal}, {"not", TokenKind::Not},
    {"or", TokenKind::Or},           {"pass", TokenKind::Pass},         {"raise", TokenKind::Raise},
    {"return", TokenKind::Return},   {"try", TokenKind::Try},           {"while", TokenKind::While},
    {"with", TokenKind::With},       {"yield", TokenKind::Yield},       {"case", TokenKind::Case},
    {"match", TokenKind::Match},     {"type", TokenKind::Type},         {"lazy", TokenKind::Lazy},
};

TokenKind keyword_or_name(std::string_view text) {
  // Only the keywords of the text's length are compared.
  static constexpr auto kByLength = [] {
    std::array<std::array<uint8_t, 12>, 9> table{};  // indices into kKeywordSpellings, 0xFF ends a row
    for (auto& row : table) row.fill(0xFF);
    for (uint8_t i = 0; i < std::size(kKeywordSpellings); ++i) {
      auto& row = table[kKeywordSpellings[i].text.size()];
      size_t k = 0;
      while (row[k] != 0xFF) ++k;
      row[k] = i;
    }
    return table;
  }();
  if (text.size() < 2 || text.size() > 8) return TokenKind::Name;
  for (const uint8_t i : kByLength[text.size()]) {
    if (i == 0xFF) break;
    if (kKeywordSpellings[i].text == text) return kKeywordSpellings[i].kind;
  }
  return TokenKind::Name;
}

// Indentation of a logical line: its columns (a tab advances to the next
// multiple of two) and its characters. Two indentations that order one way
// by columns and the other way by characters mix tabs and spaces
// inconsistently.
struct Indentation {
  uint64_t column = 0;  // tabs can count twice the bytes of a line: 64 bits hold any
  uint32_t character = 0;
  friend bool operator==(const Indentation&, const Indentation&) = default;
};

constexpr uint32_t kTabColumns = 2;

enum class Order { Less, Equal, Greater, Inconsistent };

Order compare(Indentation a, Indentation b) {
  const int by_column = (a.column > b.column) - (a.column < b.column);
  const int by_character = (a.character > b.character) - (a.character < b.character);
  if (by_column != by_character) return Order::Inconsistent;
  return by_column < 0 ? Order::Less : by_column == 0 ? Order::Equal : Order::Greater;
}

// An f-string or t-string being lexed.
struct InterpolatedString {
  uint8_t flags;
  uint32_t nesting;  // the bracket nesting where it started
  uint32_t format_spec_depth = 0;

  char quote() const { return (flags & kDoubleQuote) ? '"' : '\''; }
  bool triple() const { return (flags & kTriple) != 0; }
  bool raw() const { return (flags & kRaw) != 0; }
  uint32_t open_brackets(uint32_t current) const { return current > nesting ? current - nesting : 0; }
  bool in_replacement_field(uint32_t current) const { return open_brackets(current) > format_spec_depth; }
  bool in_format_spec(uint32_t current) const {
    return format_spec_depth > 0 && !in_replacement_field(current);
  }
  // A ":" directly inside the braces of a replacement field starts its format spec.
  bool try_start_format_spec(uint32_t current) {
    const uint32_t open = open_brackets(current);
    if ((open > format_spec_depth ? open - format_spec_depth : 0) != 1) return false;
    ++format_spec_depth;
    return true;
  }
  void try_end_format_spec(uint32_t current) {
    if (in_format_spec(current)) --format_spec_depth;
  }
};

struct Lexed {
  TokenKind kind;
  uint8_t flags = 0;
  bool trivia = false;
};

class Lexer {
 public:
  Lexer(std::string_view source, LexedSource& out) : s_(source), n_(static_cast<uint32_t>(source.size())), out_(out) {
    if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  void run() {
    out_.tokens.reserve(n_ / 5 + 16);
    for (;;) {
      const Lexed t = next();
      if (t.trivia) continue;
      // A Dedent is empty and sits where the line's first token starts.
      const uint32_t start = t.kind == TokenKind::Dedent ? pos_ : token_start_;
      out_.tokens.push_back(Token{start, pos_, t.kind, t.flags});
      if (t.kind == TokenKind::EndOfFile || t.kind == TokenKind::Error) break;
    }
  }

 private:
  enum class State : uint8_t { AfterNewline, NonEmptyLogicalLine, Other };

  bool at_new_logical_line() const { return state_ != State::Other; }
  char at(uint32_t i) const { return i < n_ ? s_[i] : '\0'; }
  char first() const { return at(pos_); }
  char second() const { return at(pos_ + 1); }
  bool eat(char c) {
    if (pos_ < n_ && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  Lexed fail(K kind, TextRange range) {
    out_.error = make_error(kind, range);
    // The Error token marks where the parser stops.
    token_start_ = range.start;
    pos_ = range.start;
    return {TokenKind::Error};
  }
  Lexed fail(K kind) { return fail(kind, {token_start_, pos_}); }

  Lexed next() {
    token_start_ = pos_;
    if (!strings_.empty()) {
      if (!strings_.back().in_replacement_field(nesting_)) {
        if (auto t = interpolated_middle_or_end()) return *t;
      }
    } else if (pending_) {
      const Indentation indentation = *pending_;
      pending_.reset();
      switch (compare(current_indentation(), indentation)) {
        case Order::Greater:
          pending_ = indentation;
          if (!dedent_one(indentation)) return fail(K::IndentationMismatch);
          return {TokenKind::Dedent};
        case Order::Inconsistent:
          return fail(K::IndentationMismatch);
        default:
          break;
      }
    }

    if (state_ == State::AfterNewline) {
      if (auto t = eat_indentation()) return *t;
    } else if (auto t = skip_whitespace()) {
      return *t;
    }

    token_start_ = pos_;
    if (pos_ >= n_) return end_of_file();
    const auto c = static_cast<unsigned char>(s_[pos_]);
    if (c < 0x80) {
      ++pos_;
      return ascii(static_cast<char>(c));
    }
    size_t length = 0;
    const char32_t cp = utils::utf8::decode(s_, pos_, length);
    if (is_identifier_start(cp)) {
      pos_ += static_cast<uint32_t>(length);
      state_ = State::Other;
      return identifier(false);
    }
    return fail(K::UnexpectedCharacter, {pos_, pos_ + static_cast<uint32_t>(length)});
  }

  // ------------------------------------------------------------ indentation

  Indentation current_indentation() const { return indents_.empty() ? Indentation{} : indents_.back(); }

  // Leaves one level; false when the new indentation lies between levels.
  bool dedent_one(Indentation target) {
    indents_.pop_back();
    const Order order = compare(target, current_indentation());
    return order == Order::Less || order == Order::Equal;
  }

  std::optional<Lexed> eat_indentation() {
    Indentation indentation;
    for (;;) {
      const char c = first();
      if (pos_ >= n_) break;
      if (c == ' ') {
        ++pos_;
        ++indentation.column;
        ++indentation.character;
      } else if (c == '\t') {
        ++pos_;
        ++indentation.character;
        indentation.column = (indentation.column / kTabColumns + 1) * kTabColumns;
      } else if (c == '\\') {
        ++pos_;
        if (auto error = line_continuation()) return error;
        // A continued line's leading white space is no indentation, unless
        // the backslash stood in the first column.
        if (!(indentation == Indentation{})) {
          while (pos_ < n_ && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\f')) ++pos_;
        }
      } else if (c == '\f') {
        ++pos_;
        indentation = Indentation{};
      } else {
        break;
      }
    }
    const char c = first();
    if (pos_ >= n_ || c == '\n' || c == '\r' || c == '#') return std::nullopt;
    state_ = State::NonEmptyLogicalLine;
    switch (compare(current_indentation(), indentation)) {
      case Order::Greater:
        pending_ = indentation;
        if (!dedent_one(indentation)) return fail(K::IndentationMismatch);
        return Lexed{TokenKind::Dedent};
      case Order::Equal:
        return std::nullopt;
      case Order::Less:
        indents_.push_back(indentation);
        return Lexed{TokenKind::Indent};
      case Order::Inconsistent:
        return fail(K::IndentationMismatch);
    }
    return std::nullopt;
  }

  // After a backslash: it must end the line, and the file must go on.
  std::optional<Lexed> line_continuation() {
    const uint32_t backslash = pos_ - 1;
    if (eat('\r')) {
      eat('\n');
    } else if (!eat('\n')) {
      return fail(K::CharacterAfterLineContinuation, {backslash, pos_});
    }
    if (pos_ >= n_) return fail(K::EndOfFileAfterLineContinuation, {backslash, pos_});
    return std::nullopt;
  }

  std::optional<Lexed> skip_whitespace() {
    while (pos_ < n_) {
      const char c = s_[pos_];
      if (c == ' ' || c == '\t' || c == '\f') {
        ++pos_;
      } else if (c == '\\') {
        ++pos_;
        if (auto error = line_continuation()) return error;
      } else {
        break;
      }
    }
    return std::nullopt;
  }

  Lexed end_of_file() {
    if (!strings_.empty()) return fail(K::UnterminatedFString);
    if (nesting_ > 0) return fail(K::EndOfFileInBrackets);
    if (!at_new_logical_line()) {
      state_ = State::AfterNewline;
      return {TokenKind::Newline};
    }
    if (!indents_.empty()) {
      indents_.pop_back();
      return {TokenKind::Dedent};
    }
    return {TokenKind::EndOfFile};
  }

  // ------------------------------------------------------------ tokens

  Lexed newline() {
    if (nesting_ == 0 && !at_new_logical_line()) {
      state_ = State::AfterNewline;
      return {TokenKind::Newline};
    }
    if (!strings_.empty()) strings_.back().try_end_format_spec(nesting_);
    return {TokenKind::Newline, 0, true};
  }

  Lexed ascii(char c) {
    const Lexed t = ascii_token(c);
    if (t.kind != TokenKind::Error && !t.trivia && t.kind != TokenKind::Newline) state_ = State::Other;
    return t;
  }

  Lexed op(TokenKind plain, char second_char, TokenKind with_second) {
    return {eat(second_char) ? with_second : plain};
  }

  Lexed ascii_token(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_') return identifier(true);
    if (c >= '0' && c <= '9') return number(c);
    switch (c) {
      case '#':
        while (pos_ < n_ && s_[pos_] != '\n' && s_[pos_] != '\r') ++pos_;
        out_.comments.push_back({token_start_, pos_});
        return {TokenKind::Newline, 0, true};
      case '\'':
      case '"':
        return literal(c, 0);
      case '=': return op(TokenKind::Equal, '=', TokenKind::EqEqual);
      case '+': return op(TokenKind::Plus, '=', TokenKind::PlusEqual);
      case '*':
        if (eat('=')) return {TokenKind::StarEqual};
        if (eat('*')) return op(TokenKind::DoubleStar, '=', TokenKind::DoubleStarEqual);
        return {TokenKind::Star};
      case '/':
        if (eat('=')) return {TokenKind::SlashEqual};
        if (eat('/')) return op(TokenKind::DoubleSlash, '=', TokenKind::DoubleSlashEqual);
        return {TokenKind::Slash};
      case '%': return op(TokenKind::Percent, '=', TokenKind::PercentEqual);
      case '|': return op(TokenKind::Vbar, '=', TokenKind::VbarEqual);
      case '^': return op(TokenKind::CircumFlex, '=', TokenKind::CircumflexEqual);
      case '&': return op(TokenKind::Amper, '=', TokenKind::AmperEqual);
      case '-':
        if (eat('=')) return {TokenKind::MinusEqual};
        return op(TokenKind::Minus, '>', TokenKind::Rarrow);
      case '@': return op(TokenKind::At, '=', TokenKind::AtEqual);
      case '!': return op(TokenKind::Exclamation, '=', TokenKind::NotEqual);
      case '~': return {TokenKind::Tilde};
      case '(': ++nesting_; return {TokenKind::Lpar};
      case '[': ++nesting_; return {TokenKind::Lsqb};
      case '{': ++nesting_; return {TokenKind::Lbrace};
      case ')': nesting_ = nesting_ ? nesting_ - 1 : 0; return {TokenKind::Rpar};
      case ']': nesting_ = nesting_ ? nesting_ - 1 : 0; return {TokenKind::Rsqb};
      case '}':
        if (!strings_.empty()) {
          if (strings_.back().nesting == nesting_) return fail(K::SingleClosingBrace);
          strings_.back().try_end_format_spec(nesting_);
        }
        nesting_ = nesting_ ? nesting_ - 1 : 0;
        return {TokenKind::Rbrace};
      case ':':
        if (!strings_.empty() && strings_.back().try_start_format_spec(nesting_)) return {TokenKind::Colon};
        return op(TokenKind::Colon, '=', TokenKind::ColonEqual);
      case ';': return {TokenKind::Semi};
      case '<':
        if (eat('<')) return op(TokenKind::LeftShift, '=', TokenKind::LeftShiftEqual);
        return op(TokenKind::Less, '=', TokenKind::LessEqual);
      case '>':
        if (eat('>')) return op(TokenKind::RightShift, '=', TokenKind::RightShiftEqual);
        return op(TokenKind::Greater, '=', TokenKind::GreaterEqual);
      case ',': return {TokenKind::Comma};
      case '.':
        if (first() >= '0' && first() <= '9') return decimal('.');
        if (first() == '.' && second() == '.') {
          pos_ += 2;
          return {TokenKind::Ellipsis};
        }
        return {TokenKind::Dot};
      case '\n': return newline();
      case '\r':
        eat('\n');
        return newline();
      default:
        return fail(K::UnexpectedCharacter);
    }
  }

  // ------------------------------------------------------------ names and prefixes

  static uint8_t single_prefix(char c) {
    switch (c) {
      case 'f': case 'F': return kFormat;
      case 't': case 'T': return kTemplate;
      case 'u': case 'U': return kUnicode;
      case 'b': case 'B': return kBytes;
      case 'r': case 'R': return kRaw;
      default: return 0;
    }
  }

  static uint8_t double_prefix(char a, char b) {
    const auto lower = [](char c) { return static_cast<char>(c | 0x20); };
    const char x = lower(a), y = lower(b);
    const auto pair = [&](char p, char q) { return (x == p && y == q) || (x == q && y == p); };
    if (pair('r', 'f')) return kRaw | kFormat;
    if (pair('r', 't')) return kRaw | kTemplate;
    if (pair('r', 'b')) return kRaw | kBytes;
    return 0;
  }

  static bool is_quote(char c) { return c == '\'' || c == '"'; }

  Lexed identifier(bool ascii_start) {
    if (ascii_start) {
      // A string prefix is one or two letters right before the quote.
      const char lead = s_[token_start_];
      uint8_t flags = 0;
      uint32_t more = 0;  // letters of the prefix after the first
      if (is_quote(first())) {
        flags = single_prefix(lead);
      } else if (is_quote(second())) {
        flags = double_prefix(lead, first());
        more = 1;
      }
      if (flags) {
        pos_ += more;
        const char quote = s_[pos_++];
        return literal(quote, flags);
      }
    }
    bool ascii = ascii_start;
    while (pos_ < n_) {
      const auto c = static_cast<unsigned char>(s_[pos_]);
      if (c < 0x80) {
        if (!kAsciiIdentifier[c]) break;
        ++pos_;
        continue;
      }
      size_t length = 0;
      const char32_t cp = utils::utf8::decode(s_, pos_, length);
      if (!is_identifier_continue(cp)) break;
      ascii = false;
      pos_ += static_cast<uint32_t>(length);
    }
    if (!ascii) return {TokenKind::Name, kNonAsciiName};
    return {keyword_or_name(s_.substr(token_start_, pos_ - token_start_))};
  }

  // ------------------------------------------------------------ strings

  uint32_t backslashes_before(uint32_t index, uint32_t floor) const {
    uint32_t count = 0;
    while (index > floor && s_[index - 1] == '\\') {
      --index;
      ++count;
    }
    return count;
  }

  // After the opening quote: its kind and length, then a plain string whole or
  // the start of an f- or t-string.
  Lexed literal(char quote, uint8_t flags) {
    if (quote == '"') flags |= kDoubleQuote;
    if (first() == quote && second() == quote) {
      pos_ += 2;
      flags |= kTriple;
    }
    if (flags & (kFormat | kTemplate)) {
      strings_.push_back(InterpolatedString{flags, nesting_});
      return {(flags & kFormat) ? TokenKind::FStringStart : TokenKind::TStringStart, flags};
    }
    return string_body(quote, flags);
  }

  Lexed string_body(char quote, uint8_t flags) {
    if (flags & kTriple) {
      for (;;) {
        const void* hit = pos_ < n_ ? std::memchr(s_.data() + pos_, quote, n_ - pos_) : nullptr;
        if (!hit) {
          pos_ = n_;
          return fail(K::UnterminatedTripleQuotedString);
        }
        const auto index = static_cast<uint32_t>(static_cast<const char*>(hit) - s_.data());
        const uint32_t escapes = backslashes_before(index, pos_);
        pos_ = index + 1;
        if (escapes % 2 == 1) continue;
        if (first() == quote && second() == quote) {
          pos_ += 2;
          return {TokenKind::String, flags};
        }
      }
    }
    for (;;) {
      uint32_t index = pos_;
      while (index < n_ && s_[index] != quote && s_[index] != '\n' && s_[index] != '\r') ++index;
      if (index >= n_) {
        pos_ = n_;
        return fail(K::UnterminatedString);
      }
      const uint32_t escapes = backslashes_before(index, pos_);
      pos_ = index;
      const char c = s_[pos_];
      if (escapes % 2 == 1) {
        ++pos_;
        if (c == '\r') eat('\n');
        continue;
      }
      if (c != quote) return fail(K::UnterminatedString);
      ++pos_;
      return {TokenKind::String, flags};
    }
  }

  // The literal text of an f-string or t-string up to its next replacement
  // field, its closing quotes, or nothing (at a brace the normal lexer takes).
  std::optional<Lexed> interpolated_middle_or_end() {
    InterpolatedString& string = strings_.back();
    const uint8_t flags = string.flags;
    const bool is_f = (flags & kFormat) != 0;
    const char quote = string.quote();
    const bool triple = string.triple();
    if (triple ? (first() == quote && second() == quote && at(pos_ + 2) == quote) : first() == quote) {
      pos_ += triple ? 3 : 1;
      strings_.pop_back();
      return Lexed{is_f ? TokenKind::FStringEnd : TokenKind::TStringEnd, flags};
    }
    const bool in_format_spec = string.in_format_spec(nesting_);
    bool in_character_name = false;
    for (;;) {
      if (pos_ >= n_) return fail(K::UnterminatedFString);
      const char c = s_[pos_];
      if ((c == '\n' || c == '\r') && !triple) {
        return fail(in_format_spec ? K::NewlineInFormatSpec : K::UnterminatedFString);
      }
      if (c == '\\') {
        ++pos_;
        if (first() == '{' || first() == '}') continue;
        if (!string.raw() && first() == 'N' && second() == '{') {
          pos_ += 2;
          in_character_name = true;
          continue;
        }
        if (eat('\r')) {
          eat('\n');
        } else if (pos_ < n_) {
          ++pos_;
        }
        continue;
      }
      if (c == quote) {
        if (!triple || (second() == quote && at(pos_ + 2) == quote)) break;
        ++pos_;
        continue;
      }
      if (c == '{') {
        if (second() == '{' && !in_format_spec) {
          pos_ += 2;
          continue;
        }
        break;
      }
      if (c == '}') {
        if (in_character_name) {
          in_character_name = false;
          ++pos_;
          continue;
        }
        if (second() == '}' && !in_format_spec) {
          pos_ += 2;
          continue;
        }
        break;
      }
      ++pos_;
    }
    if (pos_ == token_start_) return std::nullopt;
    return Lexed{is_f ? TokenKind::FStringMiddle : TokenKind::TStringMiddle, flags};
  }

  // ------------------------------------------------------------ numbers

  static bool is_digit_of(char c, int base) {
    switch (base) {
      case 2: return c == '0' || c == '1';
      case 8: return c >= '0' && c <= '7';
      case 16: return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
      default: return c >= '0' && c <= '9';
    }
  }

  // Digits of `base` with single "_" between them; counts the digits and
  // notes one that is not zero.
  uint32_t digits(int base, bool* nonzero = nullptr) {
    uint32_t count = 0;
    for (;;) {
      const char c = first();
      if (pos_ < n_ && is_digit_of(c, base)) {
        if (nonzero && c != '0') *nonzero = true;
        ++pos_;
        ++count;
      } else if (c == '_' && is_digit_of(second(), base)) {
        ++pos_;
      } else {
        return count;
      }
    }
  }

  Lexed number(char lead) {
    if (lead == '0') {
      const char prefix = static_cast<char>(first() | 0x20);
      const int base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
      if (base != 10) {
        ++pos_;
        if (digits(base) == 0) return fail(K::InvalidNumber);
        return {TokenKind::Int};
      }
    }
    return decimal(lead);
  }

  Lexed decimal(char lead) {
    bool nonzero = lead >= '1' && lead <= '9';
    if (lead != '.') digits(10, &nonzero);
    bool is_float = false;
    if (lead == '.' || eat('.')) {
      if (first() == '_') return fail(K::UnderscoreAfterDecimalPoint, {pos_, pos_ + 1});
      digits(10);
      is_float = true;
    }
    const char e = static_cast<char>(first() | 0x20);
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (pos_ < n_ && e == 'e' && (digit(second()) || ((second() == '+' || second() == '-') && digit(at(pos_ + 2))))) {
      pos_ += digit(second()) ? 1 : 2;
      digits(10);
      is_float = true;
    }
    if (first() == 'j' || first() == 'J') {
      ++pos_;
      return {TokenKind::Complex};
    }
    if (is_float) return {TokenKind::Float};
    if (lead == '0' && nonzero) return fail(K::LeadingZeros);
    return {TokenKind::Int};
  }

  std::string_view s_;
  uint32_t n_;
  LexedSource& out_;
  uint32_t pos_ = 0;
  uint32_t token_start_ = 0;
  State state_ = State::AfterNewline;
  uint32_t nesting_ = 0;
  std::vector<Indentation> indents_;
  std::optional<Indentation> pending_;
  std::vector<InterpolatedString> strings_;
};

}  // namespace

LexedSource lex(std::string_view source) {
  LexedSource out;
  Lexer(source, out).run();
  return out;
}

}  // namespace tymbe::ast::parser
