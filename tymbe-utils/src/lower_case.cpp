#include "tymbe_utils/lower_case.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <cstdint>

#include "tymbe_utils/result.h"
#include "tymbe_utils/utf8.h"

namespace tymbe::utils {
namespace {

// The mapping takes 32-bit lengths.
constexpr size_t kLargestPiece = size_t{1} << 30;

constexpr UChar32 kCapitalSigma = 0x03A3;

// The two properties behind the final-sigma rule, the only context that
// root-locale lower-casing looks at. An ill-formed sequence (negative) has
// neither, like the end of the text.
bool case_ignorable(UChar32 c) { return c >= 0 && u_hasBinaryProperty(c, UCHAR_CASE_IGNORABLE); }
bool cased(UChar32 c) { return c >= 0 && u_hasBinaryProperty(c, UCHAR_CASED); }

// One character of a text that may exceed the 32-bit offsets of ICU's own
// stepping macros: its code point (negative for an ill-formed byte, which is
// then a character of its own) and its length.
struct Char {
  UChar32 c;
  size_t length;
};

bool is_trail(char byte) { return (static_cast<uint8_t>(byte) & 0xC0) == 0x80; }

Char char_at(std::string_view text, size_t i) {
  if (utf8::sequence_length(text, i) == 0) return {-1, 1};
  size_t length = 0;
  const char32_t c = utf8::decode(text, i, length);
  return {static_cast<UChar32>(c), length};
}

// The character that ends just before `end`, not reaching before `start`.
Char char_before(std::string_view text, size_t start, size_t end) {
  for (size_t k = 1; k <= 4 && k <= end - start; ++k) {
    if (is_trail(text[end - k])) continue;
    const Char found = char_at(text, end - k);
    if (found.c >= 0 && found.length == k) return found;
    break;
  }
  return {-1, 1};
}

// `i`, or the start of the character that `i` falls inside of.
size_t char_start(std::string_view text, size_t start, size_t i) {
  for (size_t k = 1; k <= 3 && k <= i - start; ++k) {
    if (is_trail(text[i - k])) continue;
    const Char found = char_at(text, i - k);
    return found.c >= 0 && found.length > k ? i - k : i;
  }
  return i;
}

// Whether the capital sigma at [start, end) of the whole text ends a word: a
// cased letter before it and none after it, case-ignorable characters skipped.
bool is_final_sigma(std::string_view text, size_t start, size_t end) {
  bool cased_before = false;
  for (size_t i = start; i > 0;) {
    const Char before = char_before(text, 0, i);
    if (!case_ignorable(before.c)) {
      cased_before = cased(before.c);
      break;
    }
    i -= before.length;
  }
  if (!cased_before) return false;
  for (size_t i = end; i < text.size();) {
    const Char after = char_at(text, i);
    if (!case_ignorable(after.c)) return !cased(after.c);
    i += after.length;
  }
  return true;
}

void map_piece(std::string_view piece, icu::ByteSink& sink) {
  UErrorCode status = U_ZERO_ERROR;
  icu::CaseMap::utf8ToLower("", 0, icu::StringPiece(piece.data(), static_cast<int32_t>(piece.size())), sink,
                            nullptr, status);
  if (U_FAILURE(status)) throw InternalError(std::string("lower-casing failed: ") + u_errorName(status));
}

// Where the piece from `start` ends. A piece either holds only case-ignorable
// characters, which map the same in any context, or begins and ends with a
// character that is not case-ignorable. Then only those two can see their
// final-sigma context cut off by the piece's ends (the scans of any other
// character stop at them), and each sits at a known end of the piece's output.
size_t piece_end(std::string_view text, size_t start, size_t limit) {
  size_t end = start;
  if (case_ignorable(char_at(text, start).c)) {
    while (end < text.size()) {
      const Char next = char_at(text, end);
      if (!case_ignorable(next.c) || end + next.length - start > limit) break;
      end += next.length;
    }
    return end;
  }
  if (text.size() - start <= limit) return text.size();
  end = char_start(text, start, start + limit);
  while (end > start) {
    const Char before = char_before(text, start, end);
    if (!case_ignorable(before.c)) break;
    end -= before.length;
  }
  return end;
}

// Sets the lower-case sigma at out[at, at + 2) to its final or medial form.
void settle_sigma(std::string& out, size_t at, bool final) {
  if (at + 2 > out.size() || static_cast<uint8_t>(out[at]) != 0xCF) return;
  out[at + 1] = static_cast<char>(final ? 0x82 : 0x83);  // U+03C2 or U+03C3
}

}  // namespace

std::string lower_case_in_pieces(std::string_view text, size_t piece_limit) {
  piece_limit = std::max<size_t>(piece_limit, 4);
  std::string out;
  out.reserve(text.size());
  icu::StringByteSink<std::string> sink(&out);
  if (text.size() <= piece_limit) {
    map_piece(text, sink);
    return out;
  }
  for (size_t start = 0; start < text.size();) {
    const size_t end = piece_end(text, start, piece_limit);
    const size_t out_start = out.size();
    map_piece(text.substr(start, end - start), sink);
    const Char first = char_at(text, start);
    if (!case_ignorable(first.c)) {
      // The first character's context before the cut, and the last one's after it.
      if (start > 0 && first.c == kCapitalSigma) {
        settle_sigma(out, out_start, is_final_sigma(text, start, start + first.length));
      }
      const Char last = char_before(text, start, end);
      if (end < text.size() && last.c == kCapitalSigma) {
        settle_sigma(out, out.size() - 2, is_final_sigma(text, end - last.length, end));
      }
    }
    start = end;
  }
  return out;
}

std::string lower_case(std::string_view text) { return lower_case_in_pieces(text, kLargestPiece); }

}  // namespace tymbe::utils
