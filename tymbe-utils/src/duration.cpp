#include "tymbe_utils/duration.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <span>

namespace tymbe::utils {
namespace {

constexpr std::string_view DOCS_LINK = "https://docs.tymbe.dev/api-docs#Duration";
constexpr int64_t INFINITE_DURATION_MS = INFINITE_DURATION_SECONDS * 1000;
constexpr int64_t MAX_MS = std::numeric_limits<int64_t>::max();

struct Shortcut {
  std::string_view key;
  int64_t ms;
};

// Whole-input shortcuts, grouped by key length so that a lookup compares the
// input only with keys as long as itself.
constexpr Shortcut SHORTCUTS_LEN_0[] = {{"", 0}};
constexpr Shortcut SHORTCUTS_LEN_2[] = {
    {"0s", 0},       {"1s", 1000},       {"1m", 60000},      {"5m", 300000},
    {"1h", 3600000}, {"2h", 7200000},    {"1d", 86400000},   {"2d", 172800000},
    {"3d", 259200000}, {"5d", 432000000}, {"7d", 604800000}, {"1w", 604800000},
};
constexpr Shortcut SHORTCUTS_LEN_3[] = {
    {"all", INFINITE_DURATION_MS},
    {"50s", 50000},       {"10m", 600000},      {"15m", 900000},      {"20m", 1200000},
    {"30m", 1800000},     {"12h", 43200000},    {"24h", 86400000},    {"48h", 172800000},
    {"10d", 864000000},   {"14d", 1209600000},  {"30d", 2592000000},  {"45d", 3888000000},
    {"60d", 5184000000},  {"90d", 7776000000},
};
constexpr Shortcut SHORTCUTS_LEN_4[] = {
    {"365d", 31536000000}, {"200s", 200000}, {"100d", 8640000000}};
constexpr Shortcut SHORTCUTS_LEN_8[] = {{"infinity", INFINITE_DURATION_MS}};

std::optional<int64_t> shortcut_ms(std::string_view s) {
  std::span<const Shortcut> keys;
  switch (s.size()) {
    case 0: keys = SHORTCUTS_LEN_0; break;
    case 2: keys = SHORTCUTS_LEN_2; break;
    case 3: keys = SHORTCUTS_LEN_3; break;
    case 4: keys = SHORTCUTS_LEN_4; break;
    case 8: keys = SHORTCUTS_LEN_8; break;
    default: return std::nullopt;
  }
  for (const Shortcut& shortcut : keys) {
    if (shortcut.key == s) return shortcut.ms;
  }
  return std::nullopt;
}

// Decodes the character at byte `i`; an ill-formed sequence is never white space.
bool white_space_at(std::string_view s, size_t i, size_t* next) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
  const size_t length = s.size();
  UChar32 c;
  U8_NEXT(bytes, i, length, c);
  *next = i;
  return c >= 0 && u_isUWhiteSpace(c);
}

std::string_view trim_white_space(std::string_view s) {
  size_t begin = 0;
  for (size_t next; begin < s.size() && white_space_at(s, begin, &next);) begin = next;
  size_t end = s.size();
  while (end > begin) {
    // Step back to the lead byte of the last character, then decode it forward.
    size_t lead = end - 1;
    while (lead > begin && end - lead < 4 && (static_cast<uint8_t>(s[lead]) & 0xC0) == 0x80) {
      --lead;
    }
    size_t next;
    if (!white_space_at(s, lead, &next) || next != end) break;
    end = lead;
  }
  return s.substr(begin, end - begin);
}

bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }
bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

struct Unit {
  unsigned bit;
  size_t length;
  int64_t ms;
};

std::optional<Unit> unit_at(std::string_view s, size_t pos) {
  switch (s[pos]) {
    case 'w': return Unit{1u << 0, 1, 604800000};
    case 'd': return Unit{1u << 1, 1, 86400000};
    case 'h': return Unit{1u << 2, 1, 3600000};
    case 'm':
      if (pos + 1 < s.size() && s[pos + 1] == 's') return Unit{1u << 5, 2, 1};
      return Unit{1u << 3, 1, 60000};
    case 's': return Unit{1u << 4, 1, 1000};
    default: return std::nullopt;
  }
}

Failure<std::string> fail(std::string_view input, std::string_view component) {
  return Failure{make_error(input, component)};
}

void append_part(std::string& out, uint64_t value, std::string_view unit) {
  if (value == 0) return;
  char digits[std::numeric_limits<uint64_t>::digits10 + 1];
  const auto [end, ec] = std::to_chars(std::begin(digits), std::end(digits), value);
  (void)ec;  // 20 digits always fit
  out.append(digits, end);
  out.append(unit);
}

// Truncates toward zero, clamped to the range of uint64_t; NaN gives 0.
uint64_t saturating_u64(double v) {
  if (!(v > 0.0)) return 0;
  if (v >= 18446744073709551616.0) return std::numeric_limits<uint64_t>::max();
  return static_cast<uint64_t>(v);
}

}  // namespace

std::string make_error(std::string_view input, std::string_view component) {
  constexpr std::string_view a = "The duration '";
  constexpr std::string_view b = "' contained a component '";
  constexpr std::string_view c =
      "' that could not be parsed. Please use a valid duration, like '10m', '1h', or '1h30m'. "
      "Read more at ";
  std::string out;
  out.reserve(a.size() + input.size() + b.size() + component.size() + c.size() + DOCS_LINK.size());
  out.append(a).append(input).append(b).append(component).append(c).append(DOCS_LINK);
  return out;
}

Result<int64_t> parse_duration_ms(std::string_view s) {
  if (const auto ms = shortcut_ms(s)) return *ms;
  if (trim_white_space(s).empty()) return fail(s, s);

  const bool negative = s[0] == '-';
  size_t pos = negative ? 1 : 0;
  if (negative && s.size() == 1) return fail(s, s);

  // A positive sum; negated only at the end, so the negation cannot overflow.
  int64_t total = 0;
  unsigned used_units = 0;
  bool read_any = false;
  while (true) {
    while (pos < s.size() && s[pos] == ' ') ++pos;
    if (pos == s.size()) {
      if (read_any) break;
      return fail(s, s);
    }

    const size_t start = pos;
    const auto fail_here = [&] { return fail(s, trim_white_space(s.substr(start))); };
    if (!is_ascii_digit(s[pos])) return fail_here();

    int64_t count = 0;
    bool count_too_large = false;
    for (; pos < s.size() && is_ascii_digit(s[pos]); ++pos) {
      const int digit = s[pos] - '0';
      if (count_too_large) continue;
      if (count > (MAX_MS - digit) / 10) {
        count_too_large = true;
      } else {
        count = count * 10 + digit;
      }
    }
    if (count_too_large) return fail(s, s.substr(start, pos - start));
    if (pos == s.size()) return fail_here();

    const auto unit = unit_at(s, pos);
    if (!unit || (used_units & unit->bit) != 0) return fail_here();
    pos += unit->length;
    if (pos < s.size() && is_ascii_letter(s[pos])) return fail_here();

    used_units |= unit->bit;
    int64_t amount;
    if (__builtin_mul_overflow(count, unit->ms, &amount) ||
        __builtin_add_overflow(total, amount, &total)) {
      return fail_here();
    }
    read_any = true;
    if (pos == s.size()) break;
  }
  return negative ? -total : total;
}

Result<int64_t> parse_duration_s(std::string_view s) {
  auto ms = parse_duration_ms(s);
  if (!ms) return Failure{std::move(ms).error()};
  return *ms / 1000;
}

std::string seconds_to_duration_string(double total_seconds) {
  if (total_seconds >= static_cast<double>(INFINITE_DURATION_SECONDS)) return "infinity";

  const bool negative = total_seconds < 0.0;
  const double magnitude = std::fabs(total_seconds);
  const uint64_t seconds = saturating_u64(magnitude);
  // Rounded on its own and never carried into the seconds, so it can be 1000.
  const uint64_t millis =
      saturating_u64(std::round((magnitude - static_cast<double>(seconds)) * 1000.0));

  std::string out;
  if (negative) out.push_back('-');
  append_part(out, seconds / 86400, "d");
  append_part(out, seconds % 86400 / 3600, "h");
  append_part(out, seconds % 3600 / 60, "m");
  append_part(out, seconds % 60, "s");
  append_part(out, millis, "ms");
  // A lone "-" would not read back; a value that rounds to nothing is written as 0.
  if (negative && out.size() == 1) out.clear();
  return out;
}

}  // namespace tymbe::utils
