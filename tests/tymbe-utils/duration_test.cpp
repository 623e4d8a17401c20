#include "tymbe_utils/duration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

using tymbe::utils::make_error;
using tymbe::utils::parse_duration_ms;
using tymbe::utils::parse_duration_s;
using tymbe::utils::seconds_to_duration_string;

constexpr int64_t MAX = std::numeric_limits<int64_t>::max();

struct Parsed {
  std::string input;
  int64_t value;
};

struct Refused {
  std::string input;
  std::string component;
};

TEST(MakeError, WordsTheWholeMessage) {
  EXPECT_EQ(make_error("5min", "5min"),
            "The duration '5min' contained a component '5min' that could not be parsed. Please use "
            "a valid duration, like '10m', '1h', or '1h30m'. Read more at "
            "https://docs.tymbe.dev/api-docs#Duration");
  EXPECT_EQ(make_error("1h\t", ""),
            "The duration '1h\t' contained a component '' that could not be parsed. Please use "
            "a valid duration, like '10m', '1h', or '1h30m'. Read more at "
            "https://docs.tymbe.dev/api-docs#Duration");
}

// Every key with its value; all but "", "all" and "infinity" must agree with the
// general grammar, which a leading space forces.
TEST(ParseDurationMs, ShortcutsMatchTheirTableAndTheGrammar) {
  const std::vector<Parsed> shortcuts = {
      {"", 0},          {"0s", 0},          {"1s", 1000},           {"1m", 60000},
      {"5m", 300000},   {"1h", 3600000},    {"2h", 7200000},        {"1d", 86400000},
      {"2d", 172800000}, {"3d", 259200000}, {"5d", 432000000},      {"7d", 604800000},
      {"1w", 604800000}, {"all", 3153600000000}, {"infinity", 3153600000000},
      {"365d", 31536000000}, {"50s", 50000}, {"10m", 600000},       {"15m", 900000},
      {"20m", 1200000}, {"30m", 1800000},   {"12h", 43200000},      {"24h", 86400000},
      {"48h", 172800000}, {"10d", 864000000}, {"14d", 1209600000},  {"30d", 2592000000},
      {"45d", 3888000000}, {"60d", 5184000000}, {"90d", 7776000000}, {"200s", 200000},
      {"100d", 8640000000},
  };
  ASSERT_EQ(shortcuts.size(), 32u);
  for (const auto& [key, ms] : shortcuts) {
    const auto direct = parse_duration_ms(key);
    ASSERT_TRUE(direct.ok()) << key;
    EXPECT_EQ(*direct, ms) << key;
    if (key.empty() || key == "all" || key == "infinity") {
      EXPECT_FALSE(parse_duration_ms(" " + key).ok()) << key;
    } else {
      const auto general = parse_duration_ms(" " + key);
      ASSERT_TRUE(general.ok()) << key;
      EXPECT_EQ(*general, ms) << key;
    }
  }
}

TEST(ParseDurationMs, ReadsTheGeneralGrammar) {
  const std::vector<Parsed> cases = {
      {"1h30m", 5400000},
      {"1h 30m", 5400000},
      {"30m1h", 5400000},
      {"1h  30m", 5400000},
      {"3h", 10800000},
      {"1m30s500ms", 90500},
      {"1m1ms", 60001},
      {"1w2d", 777600000},
      {"2h30m15s", 9015000},
      {"1w1d1h1m1s1ms", 694861001},
      {" 1h", 3600000},
      {"1h ", 3600000},
      {"   1h   2m   ", 3720000},
      {"-1h30m", -5400000},
      {"- 1h", -3600000},
      {"-0s", 0},
      {"0001h", 3600000},
      {"1m", 60000},
      {"5m0ms", 300000},
      {"9223372036854775807ms", MAX},
      {"-9223372036854775807ms", -MAX},
      {"1s 9223372036854774807ms", MAX},
      {"15250000000w", 15250000000LL * 604800000},
  };
  for (const auto& [input, ms] : cases) {
    const auto result = parse_duration_ms(input);
    ASSERT_TRUE(result.ok()) << input << ": " << result.error();
    EXPECT_EQ(*result, ms) << input;
  }
}

TEST(ParseDurationMs, RefusalsQuoteTheFailingComponent) {
  const std::vector<Refused> cases = {
      {"5min", "5min"},
      {"  ", "  "},
      {"\t\n", "\t\n"},
      {"\u3000", "\u3000"},
      {"-", "-"},
      {"- ", "- "},
      {"-   ", "-   "},
      {"--1h", "-1h"},
      {" -1h", "-1h"},
      {"+1h", "+1h"},
      {"1h1h", "1h"},
      {"1ms1ms", "1ms"},
      {"1m 2s 3m", "3m"},
      {"1hr", "1hr"},
      {"1mss", "1mss"},
      {"1mo", "1mo"},
      {"1.5h", "1.5h"},
      {"1 h", "1 h"},
      {"1H", "1H"},
      {"10", "10"},
      {"1h30", "30"},
      {"1h,30m", ",30m"},
      {"1h-30m", "-30m"},
      {"1h 2x 3m", "2x 3m"},
      {"All", "All"},
      {"infinity ", "infinity"},
      {" all", "all"},
      {"\t1h", "1h"},
      {"1h\t2m", "2m"},
      {"1h\t", ""},
      {"-\t", ""},
      {"1h\u00a0", ""},
      {"1h 5\u00e9", "5\u00e9"},
      {"1h \u00e9 \u2003", "\u00e9"},
      {"1h5\u00e9\u2028", "5\u00e9"},
      {"9223372036854775808ms", "9223372036854775808"},
      {"99999999999999999999h", "99999999999999999999"},
      {"1h 00009223372036854775808", "00009223372036854775808"},
  };
  for (const auto& [input, component] : cases) {
    const auto result = parse_duration_ms(input);
    ASSERT_FALSE(result.ok()) << input << " gave " << *result;
    EXPECT_EQ(result.error(), make_error(input, component)) << input;
  }
}

// Totals beyond the signed 64-bit range fail at the component that pushes them out.
TEST(ParseDurationMs, TotalsOutsideTheRangeAreRefused) {
  const std::vector<Refused> cases = {
      {"15251000000w", "15251000000w"},
      {"9223372036854775807s", "9223372036854775807s"},
      {"-9223372036854775807w", "9223372036854775807w"},
      {"1s 9223372036854774808ms", "9223372036854774808ms"},
      {"1ms 9223372036854775807s 1h ", "9223372036854775807s 1h"},
      {"9223372036854775807ms 1s", "1s"},
      {"-9223372036854775807ms1s", "1s"},
  };
  for (const auto& [input, component] : cases) {
    const auto result = parse_duration_ms(input);
    ASSERT_FALSE(result.ok()) << input << " gave " << *result;
    EXPECT_EQ(result.error(), make_error(input, component)) << input;
  }
}

TEST(ParseDurationMs, IllFormedUtf8IsQuotedAsItStands) {
  const std::string input = "1h \xff\xfe";
  const auto result = parse_duration_ms(input);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(), make_error(input, "\xff\xfe"));
  // A lone trail byte after a white space character is not white space itself.
  const std::string tail = "1h x\u00a0\x80";
  EXPECT_EQ(parse_duration_ms(tail).error(), make_error(tail, "x\u00a0\x80"));
}

TEST(ParseDurationS, TruncatesTowardZero) {
  const std::vector<Parsed> cases = {
      {"1500ms", 1},  {"-1500ms", -1}, {"1999ms", 1},        {"999ms", 0},
      {"-999ms", 0},  {"1h", 3600},    {"90s", 90},          {"infinity", 3153600000},
      {"", 0},        {"9223372036854775807ms", MAX / 1000},
  };
  for (const auto& [input, seconds] : cases) {
    const auto result = parse_duration_s(input);
    ASSERT_TRUE(result.ok()) << input;
    EXPECT_EQ(*result, seconds) << input;
  }
  const auto refused = parse_duration_s("5min");
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error(), parse_duration_ms("5min").error());
}

struct Written {
  double seconds;
  std::string text;
};

TEST(SecondsToDurationString, WritesThePartsInOrder) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<Written> cases = {
      {90061.5, "1d1h1m1s500ms"},
      {-90, "-1m30s"},
      {3600, "1h"},
      {86400, "1d"},
      {86401, "1d1s"},
      {61, "1m1s"},
      {45, "45s"},
      {3600.5, "1h500ms"},
      {7200.25, "2h250ms"},
      {0.5, "500ms"},
      {1.0625, "1s63ms"},
      {0.0625, "63ms"},
      {-0.0625, "-63ms"},
      {0.0004, ""},
      {1.9996, "1s1000ms"},
      {0, ""},
      {-0.0, ""},
      {nan, ""},
      {-nan, ""},
      {1e-9, ""},
      {3153599999, "36499d23h59m59s"},
      {3153600000, "infinity"},
      {1e300, "infinity"},
      {inf, "infinity"},
      {-3153600000, "-36500d"},
  };
  for (const auto& [seconds, text] : cases) {
    EXPECT_EQ(seconds_to_duration_string(seconds), text) << seconds;
  }
}

// Values whose sign and parts would not read back, or would not fit the counts.
TEST(SecondsToDurationString, NegativeEdgesStayReadable) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::string saturated = "-213503982334601d7h15s";
  const std::vector<Written> cases = {
      {-0.0004, ""},
      {-1e-300, ""},
      {-0.0005, "-1ms"},
      {-18446744073709551616.0, saturated},
      {-1e300, saturated + "18446744073709551615ms"},
      {-inf, saturated + "18446744073709551615ms"},
  };
  for (const auto& [seconds, text] : cases) {
    EXPECT_EQ(seconds_to_duration_string(seconds), text) << seconds;
  }
}

TEST(SecondsToDurationString, WrittenTextsReadBack) {
  const std::vector<std::pair<double, int64_t>> cases = {
      {90061.5, 90061500}, {-90, -90000}, {0.0004, 0}, {-0.0004, 0},
      {1.9996, 2000},      {-3153600000, -3153600000000}, {3153600000, 3153600000000},
  };
  for (const auto& [seconds, ms] : cases) {
    const std::string text = seconds_to_duration_string(seconds);
    const auto read = parse_duration_ms(text);
    ASSERT_TRUE(read.ok()) << seconds << " wrote '" << text << "'";
    EXPECT_EQ(*read, ms) << seconds;
  }
}

}  // namespace
