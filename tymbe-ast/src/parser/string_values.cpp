#include "parser/string_values.h"

#include <unicode/uchar.h>

#include "parser/character_aliases.h"
#include "tymbe_utils/utf8.h"

namespace tymbe::ast::parser {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A text cannot hold a lone surrogate; it becomes U+FFFD.
void append_code_point(uint32_t cp, std::string& out) {
  utils::utf8::append(cp >= 0xD800 && cp <= 0xDFFF ? utils::utf8::kReplacement : cp, out);
}

std::optional<uint32_t> lookup_character_name(std::string_view name) {
  const std::string terminated(name);
  for (UCharNameChoice choice : {U_UNICODE_CHAR_NAME, U_CHAR_NAME_ALIAS}) {
    UErrorCode status = U_ZERO_ERROR;
    const UChar32 cp = u_charFromName(choice, terminated.c_str(), &status);
    if (U_SUCCESS(status)) return static_cast<uint32_t>(cp);
  }
  return lookup_character_alias(name);
}

EscapeError error_at(std::string description, size_t offset, size_t length) {
  return EscapeError{std::move(description), static_cast<uint32_t>(offset), static_cast<uint32_t>(length)};
}

}  // namespace

std::optional<EscapeError> decode_string_body(std::string_view body, const StringPrefix& prefix, std::string* out) {
  if (prefix.bytes) {
    for (size_t i = 0; i < body.size(); ++i) {
      if (static_cast<unsigned char>(body[i]) >= 0x80) {
        return error_at("Bytes can only contain ASCII literal characters", i, 1);
      }
    }
  }
  if (prefix.raw) {
    if (out != nullptr) out->append(body);
    return std::nullopt;
  }
  const size_t n = body.size();
  size_t i = 0;
  while (i < n) {
    const size_t slash = body.find('\\', i);
    const size_t stop = slash == std::string_view::npos ? n : slash;
    if (out != nullptr) out->append(body.substr(i, stop - i));
    if (stop == n) break;
    i = stop + 1;
    if (i == n) {  // only an f-string part can end in a backslash that escapes nothing
      if (out != nullptr) out->push_back('\\');
      break;
    }
    const char c = body[i];
    uint32_t value = 0;
    bool have_value = true;
    switch (c) {
      case '\n': have_value = false; ++i; break;
      case '\r':
        have_value = false;
        ++i;
        if (i < n && body[i] == '\n') ++i;
        break;
      case '\\': value = '\\'; ++i; break;
      case '\'': value = '\''; ++i; break;
      case '"': value = '"'; ++i; break;
      case 'a': value = 0x07; ++i; break;
      case 'b': value = 0x08; ++i; break;
      case 'f': value = 0x0C; ++i; break;
      case 'n': value = 0x0A; ++i; break;
      case 'r': value = 0x0D; ++i; break;
      case 't': value = 0x09; ++i; break;
      case 'v': value = 0x0B; ++i; break;
      case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': {
        size_t digits = 0;
        while (digits < 3 && i < n && body[i] >= '0' && body[i] <= '7') {
          value = value * 8 + static_cast<uint32_t>(body[i] - '0');
          ++i;
          ++digits;
        }
        break;
      }
      case 'x': case 'u': case 'U': {
        if (c != 'x' && prefix.bytes) {
          have_value = false;
          if (out != nullptr) out->push_back('\\');
          break;
        }
        const size_t want = c == 'x' ? 2 : c == 'u' ? 4 : 8;
        size_t k = 0;
        for (; k < want && i + 1 + k < n && hex_value(body[i + 1 + k]) >= 0; ++k) {
          value = value * 16 + static_cast<uint32_t>(hex_value(body[i + 1 + k]));
        }
        if (k < want) {
          const char* what = c == 'x' ? "Truncated \\xXX escape" : c == 'u' ? "Truncated \\uXXXX escape"
                                                                            : "Truncated \\UXXXXXXXX escape";
          return error_at(what, i - 1, k + 2);
        }
        if (value > 0x10FFFF) return error_at("Illegal Unicode character in \\U escape", i - 1, want + 2);
        i += 1 + want;
        break;
      }
      case 'N': {
        if (prefix.bytes) {
          have_value = false;
          if (out != nullptr) out->push_back('\\');
          break;
        }
        const size_t close = i + 1 < n && body[i + 1] == '{' ? body.find('}', i + 2) : std::string_view::npos;
        if (close == std::string_view::npos || close == i + 2) {
          return error_at("Malformed \\N character escape", i - 1, 2);
        }
        const std::optional<uint32_t> cp = lookup_character_name(body.substr(i + 2, close - i - 2));
        if (!cp) return error_at("Unknown Unicode character name", i - 1, close + 2 - i);
        value = *cp;
        i = close + 1;
        break;
      }
      default:
        // Unknown escapes stay as written: the backslash and the character.
        have_value = false;
        if (out != nullptr) out->push_back('\\');
        break;
    }
    if (have_value && out != nullptr) {
      if (prefix.bytes) {
        out->push_back(static_cast<char>(value & 0xFF));
      } else {
        append_code_point(value, *out);
      }
    }
  }
  return std::nullopt;
}

}  // namespace tymbe::ast::parser
