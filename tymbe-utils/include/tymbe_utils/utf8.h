#pragma once
// UTF-8 in one place: the length of a well-formed sequence, decoding one
// code point, and encoding one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tymbe::utils::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// Length of the well-formed sequence starting at text[i] (strict: no overlong
// forms, no surrogates, nothing above U+10FFFF), or 0. When it is 0 because
// the text ends inside a sequence whose bytes are valid so far, `cut_off`
// (if given) is set: more text may yet complete it.
inline size_t sequence_length(std::string_view text, size_t i, bool* cut_off = nullptr) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  const size_t left = text.size() - i;
  const auto continuation = [&](size_t k, unsigned char low = 0x80, unsigned char high = 0xBF) {
    if (k >= left) {
      if (cut_off) *cut_off = true;
      return false;
    }
    return byte(k) >= low && byte(k) <= high;
  };
  if (lead >= 0xC2 && lead <= 0xDF) return continuation(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
    return continuation(1, low, high) && continuation(2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
    return continuation(1, low, high) && continuation(2) && continuation(3) ? 4 : 0;
  }
  return 0;
}

// The code point starting at text[i] and its length; a malformed sequence
// reads as one replacement character per byte.
inline char32_t decode(std::string_view text, size_t i, size_t& length) {
  length = sequence_length(text, i);
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  switch (length) {
    case 1: return byte(0);
    case 2: return (char32_t{byte(0)} & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3: return (char32_t{byte(0)} & 0x0F) << 12 | (char32_t{byte(1)} & 0x3F) << 6 | (byte(2) & 0x3F);
    case 4:
      return (char32_t{byte(0)} & 0x07) << 18 | (char32_t{byte(1)} & 0x3F) << 12 | (char32_t{byte(2)} & 0x3F) << 6 |
             (byte(3) & 0x3F);
    default:
      length = 1;
      return kReplacement;
  }
}

inline void append(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace tymbe::utils::utf8
