#pragma once
// Duration strings such as "10m", "1h30m" or "infinity".

#include <cstdint>
#include <string>
#include <string_view>

#include "tymbe_utils/result.h"

namespace tymbe::utils {

// 100 years of 365 days; the value of "all" and "infinity".
inline constexpr int64_t INFINITE_DURATION_SECONDS = 3153600000;

// Milliseconds, or the make_error message.
Result<int64_t> parse_duration_ms(std::string_view s);
// Whole seconds (milliseconds truncated toward zero), or the same message.
Result<int64_t> parse_duration_s(std::string_view s);
// Never fails.
std::string seconds_to_duration_string(double total_seconds);
// The one wording of every reader failure.
std::string make_error(std::string_view input, std::string_view component);

}  // namespace tymbe::utils
