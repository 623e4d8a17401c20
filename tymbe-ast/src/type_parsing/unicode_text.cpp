#include "type_parsing/unicode_text.h"

#include <unicode/uchar.h>

namespace tymbe::ast {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The character starting at `i`, and its length in bytes. A malformed sequence
// reads as one replacement character per byte, which is never white space.
char32_t decode_at(std::string_view text, size_t i, size_t& length) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  length = 1;
  if (lead < 0x80) return lead;
  size_t extra = 0;
  char32_t c = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, c = lead & 0x07;
  } else {
    return kReplacement;
  }
  if (i + extra >= text.size()) return kReplacement;
  for (size_t k = 1; k <= extra; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  length = extra + 1;
  return c;
}

// The start of the character that ends just before `end`.
size_t previous_start(std::string_view text, size_t end) {
  size_t start = end - 1;
  while (start > 0 && end - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
  size_t length = 0;
  decode_at(text, start, length);
  // A malformed tail is taken one byte at a time.
  return start + length == end ? start : end - 1;
}

}  // namespace

bool is_white_space(char32_t c) {
  if (c < 0x80) return c == ' ' || (c >= '\t' && c <= '\r');
  return u_isUWhiteSpace(static_cast<UChar32>(c));
}

bool is_white_space_only(std::string_view text) {
  for (size_t i = 0, length = 0; i < text.size(); i += length) {
    if (!is_white_space(decode_at(text, i, length))) return false;
  }
  return true;
}

std::string_view trim_white_space(std::string_view text) {
  size_t begin = 0;
  for (size_t length = 0; begin < text.size(); begin += length) {
    if (!is_white_space(decode_at(text, begin, length))) break;
  }
  size_t end = text.size();
  while (end > begin) {
    const size_t start = previous_start(text, end);
    size_t length = 0;
    if (!is_white_space(decode_at(text, start, length)) || start + length != end) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

std::vector<std::string_view> split_white_space(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t piece_start = 0;
  bool in_piece = false;
  for (size_t i = 0, length = 0; i < text.size(); i += length) {
    const bool space = is_white_space(decode_at(text, i, length));
    if (space && in_piece) {
      pieces.push_back(text.substr(piece_start, i - piece_start));
      in_piece = false;
    } else if (!space && !in_piece) {
      piece_start = i;
      in_piece = true;
    }
  }
  if (in_piece) pieces.push_back(text.substr(piece_start));
  return pieces;
}

}  // namespace tymbe::ast
