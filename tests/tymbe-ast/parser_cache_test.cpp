#include "tymbe_ast/parser_cache.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "counting_filesystem.h"
#include "tymbe_ast/parser.h"

#include "temp_dir.h"

namespace tymbe::ast {
namespace {

namespace fs = std::filesystem;
using test_support::CountingFileSystem;

// The import map in ordered form, for comparing with a table.
using SortedImports = std::map<std::string, std::map<std::string, std::set<std::string>>>;

SortedImports sorted(const ImportMap& imports) {
  SortedImports out;
  for (const auto& [module, names] : imports) {
    auto& inner = out[module];
    for (const auto& [name, locals] : names) inner[name] = std::set<std::string>(locals.begin(), locals.end());
  }
  return out;
}

std::shared_ptr<CountingFileSystem> files(std::initializer_list<std::pair<std::string, std::string>> entries) {
  auto filesystem = std::make_shared<CountingFileSystem>();
  for (const auto& [path, text] : entries) filesystem->add_file(path, text);
  return filesystem;
}

using tymbe_test::TempDir;
using tymbe_test::WorkingDirectory;

TEST(ImportMap, TopLevelAbsoluteFromImportsOnly) {
  struct Case {
    std::string source;
    SortedImports expected;
  };
  const Case cases[] = {
      {"from tymbe.features import features as f, online\n",
       {{"tymbe.features", {{"features", {"f"}}, {"online", {"online"}}}}}},
      {"from m import a\nx = 1\nfrom m import a as b\nfrom m import a\n", {{"m", {{"a", {"a", "b"}}}}}},
      {"from a.b import c\nfrom a import b\n", {{"a.b", {{"c", {"c"}}}}, {"a", {{"b", {"b"}}}}}},
      {"from a . b import (c,\n    d as e,)\n", {{"a.b", {{"c", {"c"}}, {"d", {"e"}}}}}},
      {"import m\nfrom . import x\nfrom .m import y\nfrom ..pkg.m import z\n", {}},
      {"try:\n    from m import a\nexcept ImportError:\n    pass\n", {}},
      {"if TYPE_CHECKING:\n    from m import a\n", {}},
      {"def f():\n    from m import a\nclass C:\n    from m import b\nwith x:\n    from m import c\n", {}},
      {"from __future__ import annotations\n", {{"__future__", {{"annotations", {"annotations"}}}}}},
      {"from m import *\n", {{"m", {{"*", {"*"}}}}}},
      {"", {}},
  };
  for (const Case& c : cases) {
    auto module = parse_module(c.source);
    ASSERT_TRUE(module.ok()) << c.source << module.error().message();
    EXPECT_EQ(sorted(build_import_map(*module)), c.expected) << c.source;
  }
}

TEST(ParserCache, BuildsOneRecordPerPath) {
  const std::string source = "# lead\nfrom m import a as b\n\ndef f():  # trailing\n    return 1\n";
  auto filesystem = files({{"pkg/m.py", source}});
  const auto cache = AstFileParserCache::with_filesystem("/proj", filesystem);

  const auto first = cache.get_parsed_file("pkg/m.py");
  ASSERT_TRUE(first.ok()) << first.error();
  const ParsedFileCache& record = **first;
  EXPECT_EQ(record.path, "pkg/m.py");
  EXPECT_EQ(record.source(), source);
  ASSERT_EQ(record.body().size(), 2u);
  EXPECT_EQ(record.module.stmt(record.body()[0]).kind, StmtKind::ImportFrom);
  EXPECT_EQ(record.module.stmt(record.body()[1]).kind, StmtKind::FunctionDef);
  ASSERT_EQ(record.comment_ranges().size(), 2u);
  EXPECT_EQ(source.substr(record.comment_ranges()[0].start, record.comment_ranges()[0].length()), "# lead");
  EXPECT_EQ(source.substr(record.comment_ranges()[1].start, record.comment_ranges()[1].length()), "# trailing");
  EXPECT_EQ(sorted(record.import_map), (SortedImports{{"m", {{"a", {"b"}}}}}));

  // The one record is handed out again, and the file is not read again.
  const auto second = cache.get_parsed_file("pkg/m.py");
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(second->get(), first->get());
  EXPECT_EQ(filesystem->reads("pkg/m.py"), 1u);

  // Copies of the handle share the cache.
  const AstFileParserCache copy = cache;
  EXPECT_EQ(copy.get_parsed_file("pkg/m.py")->get(), first->get());
  EXPECT_EQ(filesystem->total_reads(), 1u);
}

TEST(ParserCache, EmptyAndCommentOnlyFiles) {
  auto filesystem = files({{"empty.py", ""}, {"comments.py", "# one\n\n  # two\n#three"}});
  const auto cache = AstFileParserCache::with_filesystem("", filesystem);

  const auto empty = cache.get_parsed_file("empty.py");
  ASSERT_TRUE(empty.ok()) << empty.error();
  EXPECT_TRUE((*empty)->body().empty());
  EXPECT_TRUE((*empty)->import_map.empty());
  EXPECT_TRUE((*empty)->comment_ranges().empty());

  const auto comments = cache.get_parsed_file("comments.py");
  ASSERT_TRUE(comments.ok()) << comments.error();
  EXPECT_TRUE((*comments)->body().empty());
  const std::vector<TextRange> expected = {{0, 5}, {9, 14}, {15, 21}};
  EXPECT_EQ(std::vector<TextRange>((*comments)->comment_ranges().begin(), (*comments)->comment_ranges().end()),
            expected);
}

// Failures are outcomes: stored, returned again as the same text, never retried.
TEST(ParserCache, FailuresAreStoredForGood) {
  auto filesystem = files({{"bad.py", "def f(:\n    pass\n"}, {"good.py", "x = 1\n"}});
  filesystem->add_error("locked.py", "Permission denied (os error 13)");
  const auto cache = AstFileParserCache::with_filesystem("/proj", filesystem);

  struct Case {
    std::string path;
    std::string prefix;
  };
  const Case cases[] = {
      {"missing.py", "Failed to read missing.py: No such file or directory (os error 2)"},
      {"", "Failed to read : No such file or directory (os error 2)"},
      {"locked.py", "Failed to read locked.py: Permission denied (os error 13)"},
      {"bad.py", "Failed to parse bad.py: "},
  };
  for (const Case& c : cases) {
    const auto first = cache.get_parsed_file(c.path);
    ASSERT_FALSE(first.ok()) << c.path;
    EXPECT_TRUE(first.error().starts_with(c.prefix)) << first.error();
    filesystem->add_file(c.path, "x = 1\n");  // mended afterwards: nothing changes
    const auto second = cache.get_parsed_file(c.path);
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(second.error(), first.error());
    EXPECT_EQ(filesystem->reads(c.path), 1u) << c.path;
  }
  // The parse error's text is the parser's own: its description and byte range.
  const auto parsed = parse_module("def f(:\n    pass\n");
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(cache.get_parsed_file("bad.py").error(), "Failed to parse bad.py: " + parsed.error().message());
  EXPECT_NE(parsed.error().message().find(" at byte range "), std::string::npos);
  EXPECT_TRUE(cache.get_parsed_file("good.py").ok());
}

TEST(ParserCache, KeysAreExactPathStrings) {
  const TempDir dir;
  dir.write("pkg/m.py", "from tymbe import online\n");
  const WorkingDirectory cwd(dir.path());
  // Reads go through the file system under the path as requested, not joined
  // to the root; names still join it.
  const auto cache = AstFileParserCache::create("/proj", {"pkg/m.py", "notes.txt", "pkg/m.py"});
  EXPECT_EQ(*cache.all_files(), (std::vector<std::string>{"pkg/m.py"}));

  const auto plain = cache.get_parsed_file("pkg/m.py");
  const auto dotted = cache.get_parsed_file("./pkg/m.py");
  const auto absolute = cache.get_parsed_file((dir.path() / "pkg/m.py").string());
  ASSERT_TRUE(plain.ok()) << plain.error();
  ASSERT_TRUE(dotted.ok()) << dotted.error();
  ASSERT_TRUE(absolute.ok()) << absolute.error();
  EXPECT_NE(plain->get(), dotted->get());
  EXPECT_NE(plain->get(), absolute->get());
  EXPECT_EQ((*dotted)->path, "./pkg/m.py");
  EXPECT_EQ((*dotted)->source(), (*plain)->source());
  EXPECT_EQ(cache.module_name_for_path("pkg/m.py"), "pkg.m");
  EXPECT_FALSE(cache.get_parsed_file("/proj/pkg/m.py").ok());

  // A path the file system does not list is read all the same.
  dir.write("unlisted.py", "y = 2\n");
  EXPECT_TRUE(cache.get_parsed_file("unlisted.py").ok());
  // A file created after its first request keeps its failure.
  EXPECT_FALSE(cache.get_parsed_file("later.py").ok());
  dir.write("later.py", "z = 3\n");
  EXPECT_FALSE(cache.get_parsed_file("later.py").ok());
}

TEST(ParserCache, AllFilesAsksTheFileSystemEachTime) {
  auto filesystem = files({{"a.py", ""}, {"b.py", ""}});
  const auto cache = AstFileParserCache::with_filesystem("/proj", filesystem);
  EXPECT_EQ(filesystem->listing_calls(), 1u);
  EXPECT_EQ(*cache.all_files(), (std::vector<std::string>{"a.py", "b.py"}));
  filesystem->fail_listing("Input/output error (os error 5)");
  const auto failed = cache.all_files();
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().text, "Input/output error (os error 5)");
  EXPECT_EQ(filesystem->listing_calls(), 3u);
  EXPECT_EQ(filesystem->total_reads(), 0u);
}

// A fault while the slot is held poisons that slot for good and reaches the
// caller; other paths go on.
TEST(ParserCache, FaultPoisonsTheSlot) {
  auto filesystem = files({{"ok.py", "x = 1\n"}});
  filesystem->add_fault("boom.py", "disk on fire");
  const auto cache = AstFileParserCache::with_filesystem("/proj", filesystem);

  EXPECT_THROW(
      {
        try {
          (void)cache.get_parsed_file("boom.py");
        } catch (const InternalError& e) {
          EXPECT_STREQ(e.what(), "disk on fire");
          throw;
        }
      },
      InternalError);
  filesystem->add_file("boom.py", "x = 1\n");
  for (int round = 0; round < 2; ++round) {
    const auto poisoned = cache.get_parsed_file("boom.py");
    ASSERT_FALSE(poisoned.ok());
    EXPECT_EQ(poisoned.error(), "AST parse cache lock poisoned for boom.py");
  }
  EXPECT_EQ(filesystem->reads("boom.py"), 1u);
  EXPECT_TRUE(cache.get_parsed_file("ok.py").ok());
  // Another string for the file is another slot, computed as usual.
  EXPECT_EQ(cache.get_parsed_file("./boom.py").error(),
            "Failed to read ./boom.py: No such file or directory (os error 2)");
}

TEST(ParserCache, ConcurrentRequestsForOnePathShareOneComputation) {
  auto filesystem = files({{"m.py", "from tymbe import online\n"}});
  const auto cache = AstFileParserCache::with_filesystem("/proj", filesystem);
  filesystem->close_gate();

  constexpr int kThreads = 8;
  std::vector<const ParsedFileCache*> seen(kThreads, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const auto result = cache.get_parsed_file("m.py");
      if (result.ok()) seen[t] = result->get();
    });
  }
  ASSERT_TRUE(filesystem->wait_for_reads(1));
  // Give the other requests time to queue on the slot behind the reading one.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  filesystem->open_gate();
  for (auto& thread : threads) thread.join();

  EXPECT_EQ(filesystem->reads("m.py"), 1u);
  ASSERT_NE(seen[0], nullptr);
  for (const ParsedFileCache* record : seen) EXPECT_EQ(record, seen[0]);
}

// A read in progress holds only its own slot: other paths are read meanwhile.
TEST(ParserCache, DifferentPathsComputeInParallel) {
  auto filesystem = files({{"a.py", ""}, {"b.py", ""}});
  const auto cache = AstFileParserCache::with_filesystem("/proj", filesystem);
  filesystem->close_gate();
  std::thread first([&] { EXPECT_TRUE(cache.get_parsed_file("a.py").ok()); });
  std::thread second([&] { EXPECT_TRUE(cache.get_parsed_file("b.py").ok()); });
  const bool both_reading = filesystem->wait_for_reads(2);
  filesystem->open_gate();
  first.join();
  second.join();
  EXPECT_TRUE(both_reading);
  EXPECT_EQ(filesystem->total_reads(), 2u);
}

}  // namespace
}  // namespace tymbe::ast
