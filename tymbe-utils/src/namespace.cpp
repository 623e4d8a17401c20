#include "tymbe_utils/namespace.h"

#include <re2/re2.h>
#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "tymbe_utils/fork_safety.h"
#include "tymbe_utils/result.h"

namespace tymbe::utils {
namespace {

// A pattern and its replacement template; in the template "${N}" stands for group N.
struct Rewrite {
  Rewrite(const char* pattern, std::string_view replacement)
      : re(pattern, RE2::Quiet), replacement(replacement) {}
  RE2 re;
  std::string_view replacement;
};

struct SnakeCasePatterns {
  Rewrite capitalized_word{"(.)([A-Z][a-z]+)", "${1}_${2}"};
  Rewrite double_underscore_capital{"__([A-Z])", "_${1}"};
  Rewrite lower_upper_boundary{"([a-z0-9])([A-Z])", "${1}_${2}"};
};

// Built on the first call, in step order; the initialisation of a local static is
// thread-safe, so concurrent first callers wait for one build. Never destroyed:
// background threads may still use them while the process exits.
const SnakeCasePatterns& snake_case_patterns() {
  static const SnakeCasePatterns& patterns = *new SnakeCasePatterns;
  return patterns;
}

void expand(std::string_view replacement, const re2::StringPiece* groups, int group_count,
            std::string& out) {
  for (size_t i = 0; i < replacement.size();) {
    if (replacement.substr(i, 2) == "${") {
      const size_t close = replacement.find('}', i + 2);
      const std::string_view number = replacement.substr(i + 2, close - (i + 2));
      if (close != std::string_view::npos && number.size() == 1 && number[0] >= '0' &&
          number[0] - '0' < group_count) {
        const re2::StringPiece& group = groups[number[0] - '0'];
        out.append(group.data(), group.size());
        i = close + 1;
        continue;
      }
    }
    out.push_back(replacement[i++]);
  }
}

// One left-to-right pass of non-overlapping replacements. Returns false, leaving
// `out` untouched, when nothing matches, so the caller can go on with its input.
bool replace_all(const Rewrite& rewrite, std::string_view text, std::string& out) {
  constexpr int MAX_GROUPS = 3;
  const int group_count = std::min(rewrite.re.NumberOfCapturingGroups() + 1, MAX_GROUPS);
  std::array<re2::StringPiece, MAX_GROUPS> groups;
  const re2::StringPiece subject(text.data(), text.size());

  size_t copied = 0;
  bool matched = false;
  std::string result;
  while (copied < text.size() &&
         rewrite.re.Match(subject, copied, text.size(), RE2::UNANCHORED, groups.data(),
                          group_count)) {
    const size_t match_begin = static_cast<size_t>(groups[0].data() - text.data());
    const size_t match_end = match_begin + groups[0].size();
    if (!matched) {
      result.reserve(text.size() + text.size() / 4 + 8);
      matched = true;
    }
    result.append(text.substr(copied, match_begin - copied));
    expand(rewrite.replacement, groups.data(), group_count, result);
    // None of the patterns matches the empty text, so every match moves on.
    copied = match_end;
  }
  if (!matched) return false;
  result.append(text.substr(copied));
  out = std::move(result);
  return true;
}

// The largest input piece handed to ICU at once: its lengths are 32-bit.
constexpr size_t MAX_LOWER_CASE_CHUNK = size_t{1} << 30;

// Where a long text can be cut without changing its lower-case form: just before an
// ASCII character that is neither cased nor case-ignorable (so the final-sigma
// context does not reach across it), or failing that at any character boundary.
size_t lower_case_cut(std::string_view text, size_t limit) {
  for (size_t i = limit; i > limit / 2; --i) {
    const char c = text[i];
    const bool ascii_letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool case_ignorable = c == '\'' || c == '.' || c == ':' || c == '^' || c == '`';
    if (static_cast<unsigned char>(c) < 0x80 && !ascii_letter && !case_ignorable) return i;
  }
  size_t i = limit;
  while (i > 0 && U8_IS_TRAIL(static_cast<uint8_t>(text[i]))) --i;
  return i > 0 ? i : limit;
}

// Full default (root-locale) lower-casing, final sigma included. Ill-formed UTF-8
// is copied through unchanged.
std::string lower_case(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  icu::StringByteSink<std::string> sink(&out);
  while (!text.empty()) {
    const size_t piece = text.size() <= MAX_LOWER_CASE_CHUNK
                             ? text.size()
                             : lower_case_cut(text, MAX_LOWER_CASE_CHUNK);
    UErrorCode status = U_ZERO_ERROR;
    icu::CaseMap::utf8ToLower("", 0, icu::StringPiece(text.data(), static_cast<int32_t>(piece)),
                              sink, nullptr, status);
    if (U_FAILURE(status)) {
      throw InternalError(std::string("lower-casing failed: ") + u_errorName(status));
    }
    text.remove_prefix(piece);
  }
  return out;
}

}  // namespace

std::string to_snake_case(std::string_view name) {
  // The pattern engine takes locks of its own, which a fork must not find taken.
  const InsideForkGate inside;
  const SnakeCasePatterns& patterns = snake_case_patterns();
  std::string first;
  std::string second;
  std::string third;
  std::string_view text = name;
  if (replace_all(patterns.capitalized_word, text, first)) text = first;
  if (replace_all(patterns.double_underscore_capital, text, second)) text = second;
  if (replace_all(patterns.lower_upper_boundary, text, third)) text = third;
  return lower_case(text);
}

std::string build_namespaced_name(std::optional<std::string_view> namespace_,
                                  std::optional<std::string_view> name) {
  constexpr std::string_view SEPARATOR = "::";
  std::string out;
  bool any_part = false;
  const auto append_part = [&](std::string_view part) {
    if (any_part) out.append(SEPARATOR);
    out.append(part);
    any_part = true;
  };
  std::string_view rest = namespace_.value_or(std::string_view{});
  while (!rest.empty()) {
    const size_t end = rest.find(SEPARATOR);
    const std::string_view part = rest.substr(0, end);
    if (!part.empty()) append_part(to_snake_case(part));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + SEPARATOR.size());
  }
  if (name && !name->empty()) append_part(*name);
  return out;
}

}  // namespace tymbe::utils
