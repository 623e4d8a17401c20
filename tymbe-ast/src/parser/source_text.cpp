#include "parser/source_text.h"

#include <cstdint>
#include <cstring>

#include "parser/syntax_error_kinds.h"
#include "tymbe_utils/utf8.h"

namespace tymbe::ast::parser {

std::optional<ParseError> check_source_size(size_t size) {
  if (size <= kMaxSourceSize) return std::nullopt;
  return ParseError{"Source of " + std::to_string(size) +
                        " bytes is too large: byte offsets are 32-bit, so a source must be below 4 GiB",
                    TextRange{0, 0}};
}

std::optional<ParseError> check_source_bytes(std::string_view source) {
  constexpr uint64_t kHighBits = 0x8080808080808080ull;
  constexpr uint64_t kLowBits = 0x0101010101010101ull;
  const size_t n = source.size();
  size_t i = 0;
  while (i < n) {
    // Most sources are ASCII without NUL: eight bytes at a time while so.
    if (i + 8 <= n) {
      uint64_t word;
      std::memcpy(&word, source.data() + i, 8);
      const uint64_t zero_bytes = (word - kLowBits) & ~word & kHighBits;
      if (((word & kHighBits) | zero_bytes) == 0) {
        i += 8;
        continue;
      }
    }
    const auto at = static_cast<uint32_t>(i);
    if (source[i] == '\0') return make_error(SyntaxErrorKind::NullByte, {at, at + 1});
    const size_t length = utils::utf8::sequence_length(source, i);
    if (length == 0) return make_error(SyntaxErrorKind::InvalidUtf8, {at, at + 1});
    i += length;
  }
  return std::nullopt;
}

}  // namespace tymbe::ast::parser
