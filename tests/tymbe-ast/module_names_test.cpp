#include "tymbe_ast/module_names.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "counting_filesystem.h"
#include "tymbe_ast/parser_cache.h"

namespace tymbe::ast {
namespace {

using test_support::CountingFileSystem;

struct NameCase {
  std::string root;
  std::string path;
  std::string joined;
  std::string name;
};

const NameCase kWorkedExamples[] = {
    {"/proj", "/proj/pkg/sub/mod.py", "/proj/pkg/sub/mod.py", "pkg.sub.mod"},
    {"/proj", "pkg/sub/mod.py", "/proj/pkg/sub/mod.py", "pkg.sub.mod"},
    {"/proj", "./pkg/sub/mod.py", "/proj/./pkg/sub/mod.py", "pkg.sub.mod"},
    {"/proj", "pkg/__init__.py", "/proj/pkg/__init__.py", "pkg"},
    {"/proj", "__init__.py", "/proj/__init__.py", "__init__"},
    {"/proj", "setup.py", "/proj/setup.py", "setup"},
    {"/proj", "a.py/b.py", "/proj/a.py/b.py", "a.b"},
    {"/proj", "my-pkg/mod.test.py", "/proj/my-pkg/mod.test.py", "my-pkg.mod.test"},
    {"/proj", "pkg/m.pyi", "/proj/pkg/m.pyi", "pkg.m.pyi"},
    {"/proj", "pkg/.py", "/proj/pkg/.py", "pkg."},
    {"/proj", "../lib/m.py", "/proj/../lib/m.py", "lib.m"},
    {"/proj", "/proj//pkg/./m.py", "/proj//pkg/./m.py", "pkg.m"},
    {"/proj", "/other/x/y.py", "/other/x/y.py", "y"},
    {"/proj", "/project/m.py", "/project/m.py", "m"},
    {"/proj", "/other/data.txt", "/other/data.txt", "data"},
    {"/proj", "..", "/proj/..", "/proj/.."},
    {".", "pkg/m.py", "./pkg/m.py", "pkg.m"},
    {"src", "src/app/m.py", "src/src/app/m.py", "src.app.m"},
    {"", "/abs/m.py", "/abs/m.py", "abs.m"},
    {"/proj/", "/proj", "/proj", "proj"},
    // Names are case-sensitive and not validated.
    {"/proj", "Pkg/Mod.py", "/proj/Pkg/Mod.py", "Pkg.Mod"},
    {"/proj", "pkg/M.PY", "/proj/pkg/M.PY", "pkg.M.PY"},
    // "__init__.py" is left out wherever it stands, and ".py" is cut from directories too.
    {"/proj", "a/__init__.py/b.py", "/proj/a/__init__.py/b.py", "a.b"},
    {"/proj", "a.py/__init__.py", "/proj/a.py/__init__.py", "a"},
    {"", "pkg/m.py", "pkg/m.py", "pkg.m"},
    {"/proj", "/proj/.env", "/proj/.env", ".env"},
    {"/proj", "/other/archive.tar.gz", "/other/archive.tar.gz", "archive.tar"},
    {"/proj", "/other/x.", "/other/x.", "x"},
    {"/proj", "/", "/", "/"},
};

TEST(ModuleNames, WorkedExamples) {
  for (const NameCase& c : kWorkedExamples) {
    SCOPED_TRACE("root '" + c.root + "', path '" + c.path + "'");
    EXPECT_EQ(join_to_root(c.root, c.path), c.joined);
    EXPECT_EQ(module_name_for_absolute_path(c.joined, c.root), c.name);

    // The same name whether the cache's file system lists the path or not,
    // and when the listing fails.
    auto listed = std::make_shared<CountingFileSystem>();
    listed->set_listing({c.path});
    auto unlisted = std::make_shared<CountingFileSystem>();
    auto failing = std::make_shared<CountingFileSystem>();
    failing->fail_listing("Permission denied (os error 13)");
    for (const AstFileSystemHandle& filesystem :
         {AstFileSystemHandle(listed), AstFileSystemHandle(unlisted), AstFileSystemHandle(failing)}) {
      const auto cache = AstFileParserCache::with_filesystem(c.root, filesystem);
      EXPECT_EQ(cache.module_name_for_path(c.path), c.name);
    }
    // Naming reads nothing.
    EXPECT_EQ(listed->total_reads() + unlisted->total_reads() + failing->total_reads(), 0u);
  }
}

TEST(ModuleNames, InvalidUtf8FallsBackToStemOrRepairedPath) {
  const NameCase cases[] = {
      // An invalid component below the root discards the segments: the stem names it.
      {"/proj", "", "/proj/pkg\xFF/m.py", "m"},
      {"/proj", "", "/proj/a/b\xC0\x80/c/m.py", "m"},
      // Outside the root only the stem is looked at.
      {"/proj", "", "/oth\xFF" "er/m.py", "m"},
      // No valid stem: the whole path, each invalid sequence as one U+FFFD.
      {"/proj", "", "/proj/m\xFF.py", "/proj/m\xEF\xBF\xBD.py"},
      {"/proj", "", "/x/\xF0\x9F\x98.py", "/x/\xEF\xBF\xBD.py"},
      {"/proj", "", "/x/\xED\xA0\x80.py", "/x/\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD.py"},
      {"/proj", "", "/x/\xC0\x80.py", "/x/\xEF\xBF\xBD\xEF\xBF\xBD.py"},
      {"/proj", "", "/x/\xE2\x82(.py", "/x/\xEF\xBF\xBD(.py"},
      {"/proj", "", "/x/\xF4\x90\x80\x80.py", "/x/\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD.py"},
      // Valid non-ASCII text is kept as it is.
      {"/proj", "", "/proj/p\xC3\xA9/m\xE2\x82\xAC.py", "p\xC3\xA9.m\xE2\x82\xAC"},
      // A root with invalid bytes still matches byte for byte.
      {"/pr\xFFoj", "", "/pr\xFFoj/pkg/m.py", "pkg.m"},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(module_name_for_absolute_path(c.joined, c.root), c.name) << testing::PrintToString(c.joined);
  }
}

TEST(ModuleNames, PathRules) {
  struct EqualCase {
    std::string a, b;
    bool equal;
  };
  const EqualCase cases[] = {
      {"pkg//m.py", "pkg/m.py", true},
      {"a/./b", "a/b", true},
      {"a/b/", "a/b", true},
      {"/a/b", "//a///b/.", true},
      {"", "", true},
      {"pkg/../m.py", "m.py", false},
      {"./a", "a", false},  // a leading "." of a relative path is a component
      {"/a", "a", false},
      {"a/b", "a/B", false},
      {".", "", false},
      {"..", "", false},
  };
  const PathHash hash;
  for (const EqualCase& c : cases) {
    EXPECT_EQ(paths_equal(c.a, c.b), c.equal) << c.a << " vs " << c.b;
    if (c.equal) {
      EXPECT_EQ(hash(c.a), hash(c.b)) << c.a << " vs " << c.b;
    }
  }
  EXPECT_TRUE(is_absolute_path("/a"));
  EXPECT_FALSE(is_absolute_path("a/b"));
  EXPECT_FALSE(is_absolute_path(""));
  EXPECT_EQ(join_to_root("/proj/", "a.py"), "/proj/a.py");
  EXPECT_EQ(join_to_root("", "a.py"), "a.py");
  EXPECT_EQ(join_to_root("src", "/abs/a.py"), "/abs/a.py");
}

// Paths equal by components share one entry: the first text stays, the last name wins.
TEST(ModuleNames, MemoKeysFollowPathEquality) {
  const ModuleNameMap names = build_module_names("/proj", {"pkg/m.py", "pkg//m.py", "/proj/pkg/./m.py", "other.py"});
  ASSERT_EQ(names.size(), 2u);
  const auto it = names.find(std::string("/proj/pkg/m.py"));
  ASSERT_NE(it, names.end());
  EXPECT_EQ(it->first, "/proj/pkg/m.py");
  EXPECT_EQ(it->second, "pkg.m");
  EXPECT_EQ(names.at("/proj/other.py"), "other");
}

// The memo is used by path equality, and a path joined to the root is looked up joined.
TEST(ModuleNames, CacheNamesListedAndUnlistedPathsAlike) {
  auto filesystem = std::make_shared<CountingFileSystem>();
  filesystem->set_listing({"pkg/m.py", "/elsewhere/x/y.py"});
  const auto cache = AstFileParserCache::with_filesystem("/proj", filesystem);
  EXPECT_EQ(filesystem->listing_calls(), 1u);
  EXPECT_EQ(cache.module_name_for_path("pkg//m.py"), "pkg.m");
  EXPECT_EQ(cache.module_name_for_path("/proj/pkg/m.py"), "pkg.m");
  EXPECT_EQ(cache.module_name_for_path("/elsewhere/x/y.py"), "y");
  EXPECT_EQ(cache.module_name_for_path("pkg/n.py"), "pkg.n");
  // A relative path is joined even when it already starts with the root's text.
  EXPECT_EQ(cache.module_name_for_path("proj/m.py"), "proj.m");
  EXPECT_EQ(filesystem->listing_calls(), 1u);
}

}  // namespace
}  // namespace tymbe::ast
