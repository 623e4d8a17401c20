#pragma once
// The tokens of Python source as the lexer hands them to the parser. Trivia
// (comments, line breaks inside brackets) never reach the parser: comments
// are kept as ranges beside the tree, the rest is dropped.

#include <cstdint>
#include <string_view>

namespace tymbe::ast::parser {

enum class TokenKind : uint8_t {
  EndOfFile,
  Newline,
  Indent,
  Dedent,
  Error,  // a lexical error: the last token, at the place of the error

  Name,
  Int,
  Float,
  Complex,
  String,
  FStringStart,
  FStringMiddle,
  FStringEnd,
  TStringStart,
  TStringMiddle,
  TStringEnd,

  // Keywords, in the order of kKeywordSpellings (lexer.cpp).
  False,
  None,
  True,
  And,
  As,
  Assert,
  Async,
  Await,
  Break,
  Class,
  Continue,
  Def,
  Del,
  Elif,
  Else,
  Except,
  Finally,
  For,
  From,
  Global,
  If,
  Import,
  In,
  Is,
  Lambda,
  Nonlocal,
  Not,
  Or,
  Pass,
  Raise,
  Return,
  Try,
  While,
  With,
  Yield,
  // Soft keywords: names everywhere but where their statement starts.
  Case,
  Match,
  Type,
  Lazy,

  // Operators and delimiters.
  Lpar,
  Rpar,
  Lsqb,
  Rsqb,
  Lbrace,
  Rbrace,
  Colon,
  Comma,
  Semi,
  Plus,
  Minus,
  Star,
  Slash,
  Vbar,
  Amper,
  Less,
  Greater,
  Equal,
  Dot,
  Percent,
  EqEqual,
  NotEqual,
  LessEqual,
  GreaterEqual,
  Tilde,
  CircumFlex,
  LeftShift,
  RightShift,
  DoubleStar,
  DoubleStarEqual,
  PlusEqual,
  MinusEqual,
  StarEqual,
  SlashEqual,
  PercentEqual,
  AmperEqual,
  VbarEqual,
  CircumflexEqual,
  LeftShiftEqual,
  RightShiftEqual,
  DoubleSlash,
  DoubleSlashEqual,
  ColonEqual,
  At,
  AtEqual,
  Rarrow,
  Ellipsis,
  Exclamation,
};

inline constexpr bool is_keyword(TokenKind k) { return k >= TokenKind::False && k <= TokenKind::Lazy; }
inline constexpr bool is_soft_keyword(TokenKind k) { return k >= TokenKind::Case && k <= TokenKind::Lazy; }

// Flags of string, f-string and t-string tokens (the start token of an
// f-string carries them for the whole literal).
enum StringFlag : uint8_t {
  kRaw = 1 << 0,
  kBytes = 1 << 1,
  kFormat = 1 << 2,    // f-string
  kTemplate = 1 << 3,  // t-string
  kTriple = 1 << 4,
  kDoubleQuote = 1 << 5,
  kUnicode = 1 << 6,  // the "u" prefix
};

// The flag of a Name token that holds a non-ASCII character (and so is NFKC
// normalized to its text).
inline constexpr uint8_t kNonAsciiName = 1;

struct Token {
  uint32_t start = 0;
  uint32_t end = 0;
  TokenKind kind = TokenKind::EndOfFile;
  uint8_t flags = 0;

  // Length of the prefix letters before the opening quotes.
  uint32_t prefix_length() const;
  uint32_t quote_length() const { return (flags & kTriple) ? 3 : 1; }
};

inline uint32_t Token::prefix_length() const {
  const int letters = ((flags & kRaw) != 0) + ((flags & kBytes) != 0) + ((flags & kFormat) != 0) +
                      ((flags & kTemplate) != 0) + ((flags & kUnicode) != 0);
  return static_cast<uint32_t>(letters);
}

}  // namespace tymbe::ast::parser
