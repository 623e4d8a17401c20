#include "tymbe_utils/namespace.h"

#include <re2/re2.h>

#include <algorithm>
#include <array>

#include "tymbe_utils/fork_safety.h"
#include "tymbe_utils/lower_case.h"

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
