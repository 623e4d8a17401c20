#include "tymbe_utils/lower_case.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using tymbe::utils::lower_case;
using tymbe::utils::lower_case_in_pieces;

constexpr size_t kWhole = size_t{1} << 20;  // larger than every text here: one piece

const std::string kSmallSigma = "\u03c3";
const std::string kFinalSigma = "\u03c2";

std::string repeated(const std::string& text, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += text;
  return out;
}

TEST(LowerCase, FinalSigmaOnlyWhereAWordEnds) {
  EXPECT_EQ(lower_case("\u0391\u03a3"), "\u03b1" + kFinalSigma);
  EXPECT_EQ(lower_case("\u03a3"), kSmallSigma);
  EXPECT_EQ(lower_case("\u0391\u03a3'\u0301 b"), "\u03b1" + kFinalSigma + "'\u0301 b");
  EXPECT_EQ(lower_case("\u0391\u03a3'b"), "\u03b1" + kSmallSigma + "'b");
  EXPECT_EQ(lower_case("\u0130"), "i\u0307");
}

// A text longer than a piece: cut wherever, it maps as one piece would.
TEST(LowerCase, PiecesMapAsOneText) {
  for (const size_t count : {2, 3, 9, 40}) {
    const std::string sigmas = repeated("\u03a3", count);
    const std::string expected = repeated(kSmallSigma, count - 1) + kFinalSigma;
    for (size_t limit = 4; limit <= 12; ++limit) {
      EXPECT_EQ(lower_case_in_pieces(sigmas, limit), expected) << count << " sigmas, pieces of " << limit;
    }
  }
  // The context reaches across long runs of case-ignorable characters.
  const std::string marks = repeated("\u0301", 30);
  for (const std::string& text : {"\u0391\u03a3" + marks, "\u0391\u03a3" + marks + "b", "a" + marks + "\u03a3",
                                  "'" + marks + "\u03a3" + marks + "'"}) {
    for (size_t limit = 4; limit <= 12; ++limit) {
      EXPECT_EQ(lower_case_in_pieces(text, limit), lower_case_in_pieces(text, kWhole)) << text << ", " << limit;
    }
  }
}

// Random texts over the characters that decide the final-sigma rule: cased
// letters, case-ignorable ones, both at once (U+0345), neither, characters of
// every length, one that expands, and bytes that are not UTF-8.
TEST(LowerCase, RandomTextsMapAlikeInAnyPieces) {
  const std::vector<std::string> alphabet = {
      "\u03a3", "\u03a3", "\u03a3", "\u0391", "a", "Z", "'", ":", "\u0301", "\u00ad", "\u0345", " ",
      "1", "\u0130", "\U0001D400", "\U0001F600", "\xFF", "\xE2\x82", "\xCE",
  };
  std::mt19937 random(20240611);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<size_t> length(1, 40);
  for (int n = 0; n < 3000; ++n) {
    std::string text;
    for (size_t i = length(random); i > 0; --i) text += alphabet[pick(random)];
    const std::string whole = lower_case_in_pieces(text, kWhole);
    for (size_t limit = 4; limit <= 12; ++limit) {
      ASSERT_EQ(lower_case_in_pieces(text, limit), whole) << testing::PrintToString(text) << ", pieces of " << limit;
    }
  }
}

}  // namespace
