#include "parser/source_text.h"

#include <cstdint>
#include <cstring>

namespace tymbe::ast::parser {

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kLowBits = 0x0101010101010101ull;

// Length of the well-formed UTF-8 sequence at s[i], or 0.
size_t utf8_sequence_length(std::string_view s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = byte(i);
  const size_t left = s.size() - i;
  const auto cont = [&](size_t k) { return k < left && (byte(i + k) & 0xC0) == 0x80; };
  if (b0 >= 0xC2 && b0 <= 0xDF) return cont(1) ? 2 : 0;
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    const unsigned char b1 = byte(i + 1);
    if (b0 == 0xE0 && b1 < 0xA0) return 0;  // overlong
    if (b0 == 0xED && b1 > 0x9F) return 0;  // surrogate
    return 3;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    const unsigned char b1 = byte(i + 1);
    if (b0 == 0xF0 && b1 < 0x90) return 0;  // overlong
    if (b0 == 0xF4 && b1 > 0x8F) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

}  // namespace

std::optional<ParseError> check_source_size(size_t size) {
  if (size <= UINT32_MAX) return std::nullopt;
  return ParseError{"Source of " + std::to_string(size) +
                        " bytes is too large: byte offsets are 32-bit, so a source must be below 4 GiB",
                    TextRange{0, 0}};
}

std::optional<ParseError> check_source_bytes(std::string_view source) {
  const size_t n = source.size();
  size_t i = 0;
  while (i < n) {
    if (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, source.data() + i, 8);
      const uint64_t zero_bytes = (word - kLowBits) & ~word & kHighBits;
      if (((word & kHighBits) | zero_bytes) == 0) {
        i += 8;
        continue;
      }
    }
    const auto b = static_cast<unsigned char>(source[i]);
    const auto at = static_cast<uint32_t>(i);
    if (b == 0) return ParseError{"Source code cannot contain null bytes", {at, at + 1}};
    if (b < 0x80) {
      ++i;
      continue;
    }
    const size_t length = utf8_sequence_length(source, i);
    if (length == 0) return ParseError{"Source is not valid UTF-8", {at, at + 1}};
    i += length;
  }
  return std::nullopt;
}

std::optional<std::string> with_lone_carriage_returns_as_newlines(std::string_view source) {
  const auto is_lone = [&](size_t i) { return i + 1 >= source.size() || source[i + 1] != '\n'; };
  size_t i = source.find('\r');
  while (i != std::string_view::npos && !is_lone(i)) i = source.find('\r', i + 1);
  if (i == std::string_view::npos) return std::nullopt;
  std::string copy(source);
  for (; i != std::string_view::npos; i = source.find('\r', i + 1)) {
    if (is_lone(i)) copy[i] = '\n';
  }
  return copy;
}

}  // namespace tymbe::ast::parser
