#include "tymbe_ast/locations.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tymbe::ast {
namespace {

struct PositionCase {
  std::string text;
  uint32_t offset;
  Position expected;
};

TEST(LineIndex, PositionsFollowLineBreaksAndUnicodeCharacters) {
  const PositionCase cases[] = {
      {"a\r\nb", 3, {1, 0}},
      {"a\rb", 2, {1, 0}},
      {"a\nb", 2, {1, 0}},
      {"a\n\nb", 3, {2, 0}},
      {"a\fb", 2, {0, 2}},                  // form feed is no line break
      {"a\vb", 2, {0, 2}},                  // nor vertical tab
      {"a\xC2\x85" "b", 3, {0, 2}},         // nor U+0085
      {"a\xE2\x80\xA8" "b", 4, {0, 2}},     // nor U+2028
      {"\r\r\nx", 1, {1, 0}},
      {"\r\r\nx", 3, {2, 0}},
      {"a\r", 2, {1, 0}},                   // a lone "\r" at the very end
      {"\xC3\xA9 = 1", 3, {0, 2}},          // 'é = 1': '=' is character 2
      {"\xC3\xA9\nab", 4, {1, 1}},          // non-ASCII elsewhere changes nothing here
      {"\xF0\x9F\x98\x80x", 4, {0, 1}},     // a four-byte character counts once
      {"x = 1\n", 6, {1, 0}},               // the end of the text
      {"x = 1", 5, {0, 5}},
      {"", 0, {0, 0}},
      {"ab", 99, {0, 2}},                   // past the end is the end
  };
  for (const auto& c : cases) {
    const LineIndex index(c.text);
    EXPECT_EQ(index.position(c.offset), c.expected) << testing::PrintToString(c.text) << " @" << c.offset;
    EXPECT_EQ(index.line(c.offset), c.expected.line) << testing::PrintToString(c.text) << " @" << c.offset;
  }
}

TEST(LineIndex, LeadingByteOrderMarkIsNotCountedOnTheFirstLineOnly) {
  const std::string text = "\xEF\xBB\xBF" "ab\n\xEF\xBB\xBF" "c";
  const LineIndex index(text);
  EXPECT_EQ(index.position(0), (Position{0, 0}));
  EXPECT_EQ(index.position(3), (Position{0, 0}));  // 'a', just after the mark
  EXPECT_EQ(index.position(4), (Position{0, 1}));  // 'b'
  EXPECT_EQ(index.position(9), (Position{1, 1}));  // 'c': a mark inside the text counts
  EXPECT_EQ(index.range({3, 5}), (Range{{0, 0}, {0, 2}}));
}

TEST(FileUri, AbsolutePathsAreAcceptedOrRefusedByTheUriRules) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"/tmp/my project/a.py", "file:///tmp/my%20project/a.py"},
      {"/tmp/x/../a.py", "file:///tmp/x/../a.py"},      // not canonicalised
      {"/tmp\\sub\\a.py", "file:///tmp/sub/a.py"},
      {"/tmp/100%25.py", "file:///tmp/100%25.py"},
      {"/tmp/a#b.py", "file:///tmp/a#b.py"},
      {"/tmp/a?b.py", "file:///tmp/a?b.py"},
      {"/tmp/a:b=c.py", "file:///tmp/a:b=c.py"},
      {"/tmp/a?b?c#d?e.py", "file:///tmp/a?b?c#d?e.py"},
      {"/tmp/%2f%2F.py", "file:///tmp/%2f%2F.py"},
      {"/tmp/-._~!$&'()*+,;=@.py", "file:///tmp/-._~!$&'()*+,;=@.py"},
      {"/", "file:///"},
      {"//host/a.py", "file:////host/a.py"},
      {"/tmp/caf\xC3\xA9.py", std::nullopt},
      {"/tmp/a[1].py", std::nullopt},
      {"/tmp/100%.py", std::nullopt},
      {"/tmp/100%2.py", std::nullopt},
      {"/tmp/100%zz.py", std::nullopt},
      {"/tmp/a#b#c.py", std::nullopt},
      {"/tmp/a|b.py", std::nullopt},
      {"/tmp/a\"b.py", std::nullopt},
      {"/tmp/a`b.py", std::nullopt},
      {"/tmp/a<b>.py", std::nullopt},
      {"/tmp/a^b.py", std::nullopt},
      {"/tmp/a{b}.py", std::nullopt},
      {"/tmp/a\tb.py", std::nullopt},
      {"/tmp/a#b\xC3\xA9", std::nullopt},               // non-ASCII in the fragment
      {"/tmp/a?\x7F", std::nullopt},
      {"/tmp/\xFF.py", std::nullopt},                   // invalid UTF-8
      {std::string("/tmp/a\0b.py", 11), std::nullopt},  // NUL does not end the text early
  };
  for (const auto& [path, expected] : cases) {
    const std::optional<Uri> uri = file_uri_for_path(path);
    ASSERT_EQ(uri.has_value(), expected.has_value()) << testing::PrintToString(path);
    if (uri) {
      EXPECT_EQ(uri->text(), *expected);
    }
  }
}

TEST(FileUri, QueryAndFragmentAcceptTheSameCharactersAsThePathPlusQuestionMark) {
  // Every printable ASCII character, in each of the three parts.
  const std::string accepted = "ABCXYZabcxyz0189-._~!$&'()*+,;=:@/";
  for (int c = 0x21; c < 0x7F; ++c) {
    const char ch = static_cast<char>(c);
    if (ch == '%' || ch == '\\') continue;
    const bool in_set = accepted.find(ch) != std::string::npos || (c >= 'A' && c <= 'Z') ||
                        (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    const std::string s(1, ch);
    EXPECT_EQ(file_uri_for_path("/p" + s).has_value(), in_set || ch == '?' || ch == '#') << s;
    EXPECT_EQ(file_uri_for_path("/p?" + s).has_value(), in_set || ch == '?' || ch == '#') << s;
    EXPECT_EQ(file_uri_for_path("/p#" + s).has_value(), in_set || ch == '?') << s;
  }
}

class RelativePaths : public testing::Test {
 protected:
  void SetUp() override {
    old_cwd_ = std::filesystem::current_path();
    char pattern[] = "/tmp/tymbe_locations_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = std::filesystem::canonical(pattern);
    std::filesystem::create_directories(dir_ / "pkg");
    std::ofstream(dir_ / "pkg" / "a.py") << "x = 1\n";
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_cwd_);
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path old_cwd_;
  std::filesystem::path dir_;
};

TEST_F(RelativePaths, ResolveAgainstTheWorkingDirectory) {
  const Range range{{1, 2}, {3, 4}};
  const std::optional<Location> location = file_location_for_range("pkg/a.py", range);
  ASSERT_TRUE(location);
  EXPECT_EQ(location->uri.text(), "file://" + (dir_ / "pkg" / "a.py").string());
  EXPECT_EQ(location->range, range);
  EXPECT_EQ(file_uri_for_path("./pkg/../pkg/a.py")->text(), location->uri.text());
}

TEST_F(RelativePaths, MissingFilesGiveNoLocation) {
  EXPECT_FALSE(file_location_for_range("pkg/missing.py", {}));
  EXPECT_FALSE(file_location_for_range("missing/a.py", {{0, 0}, {9, 9}}));
  EXPECT_FALSE(file_uri_for_path(""));
  EXPECT_FALSE(file_uri_for_path(std::string("pkg/a.py\0x", 10)));
}

TEST_F(RelativePaths, SymbolicLinksResolveToTheirTarget) {
  std::filesystem::create_symlink(dir_ / "pkg" / "a.py", dir_ / "link.py");
  EXPECT_EQ(file_uri_for_path("link.py")->text(), "file://" + (dir_ / "pkg" / "a.py").string());
  // An absolute path keeps the link as written.
  EXPECT_EQ(file_uri_for_path((dir_ / "link.py").string())->text(), "file://" + (dir_ / "link.py").string());
}

TEST_F(RelativePaths, ResolvedTextIsCheckedLikeAnAbsolutePath) {
  std::filesystem::create_directories(dir_ / "my dir");
  std::ofstream(dir_ / "my dir" / "b.py") << "";
  std::ofstream(dir_ / "a|b.py") << "";
  EXPECT_EQ(file_uri_for_path("my dir/b.py")->text(), "file://" + dir_.string() + "/my%20dir/b.py");
  EXPECT_FALSE(file_uri_for_path("a|b.py"));
}

}  // namespace
}  // namespace tymbe::ast
