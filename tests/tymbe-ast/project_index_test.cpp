#include "tymbe_ast/project_index.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "counting_filesystem.h"
#include "project_index/index_state.h"
#include "temp_dir.h"

namespace tymbe::ast {
namespace {

namespace fs = std::filesystem;
using test_support::CountingFileSystem;

// Module pkg.mod. Lines of note: f 4, inner 5, Service.f 10, resolve 15,
// the two User classes 20 and 25.
constexpr const char* kModPy =
    "from tymbe import online\n"
    "from tymbe.features import features\n"
    "\n"
    "\n"
    "def f():\n"
    "    def inner():\n"
    "        pass\n"
    "\n"
    "\n"
    "class Service:\n"
    "    def f(self):\n"
    "        pass\n"
    "\n"
    "\n"
    "@online\n"
    "def resolve(x: int) -> int:\n"
    "    return x\n"
    "\n"
    "\n"
    "@features\n"
    "class User:\n"
    "    id: int\n"
    "\n"
    "\n"
    "@features\n"
    "class User:\n"
    "    name: str\n";

// Also module pkg.mod: User 4, only_here 8.
constexpr const char* kModInitPy =
    "from tymbe.features import features\n"
    "\n"
    "\n"
    "@features\n"
    "class User:\n"
    "    email: str\n"
    "\n"
    "\n"
    "def only_here():\n"
    "    pass\n";

constexpr const char* kMod = "/proj/pkg/mod.py";
constexpr const char* kModInit = "/proj/pkg/mod/__init__.py";
constexpr const char* kOther = "/proj/other.py";  // module other: f 0
constexpr const char* kNotes = "/proj/notes.txt";
constexpr const char* kStubs = "/proj/stubs.pyi";
constexpr const char* kBad = "/proj/bad.py";
constexpr const char* kMissing = "/proj/missing.py";

std::shared_ptr<CountingFileSystem> project_files() {
  auto filesystem = std::make_shared<CountingFileSystem>();
  filesystem->add_file(kMod, kModPy)
      .add_file(kModInit, kModInitPy)
      .add_file(kOther, "def f():\n    pass\n")
      .add_file(kNotes, "def from_notes():\n    pass\n")
      .add_file(kStubs, "def stub() -> int: ...\n")
      .add_file(kBad, "def broken(:\n    pass\n")
      .add_file("/proj/unlisted.py", "def loose():\n    pass\n");
  // As a StdAstFileSystem would list them: .py only.
  filesystem->set_listing({kBad, kOther, kMod, kModInit});
  return filesystem;
}

AstProjectIndex index_over(const std::shared_ptr<CountingFileSystem>& filesystem, std::vector<std::string> files) {
  return AstProjectIndex::with_filesystem("/proj", std::move(files), filesystem);
}

// "module file:line" of a found record, or "none": which record a lookup gave.
template <class Record>
std::string where(const std::optional<Record>& record, const Location Record::*name_location) {
  if (!record) return "none";
  const Location& location = (*record).*name_location;
  return record->module + " " + location.uri.text() + ":" + std::to_string(location.range.start.line);
}
std::string where(const std::optional<ResolverAST>& record) { return where(record, &ResolverAST::resolver_name_location); }
std::string where(const std::optional<FeatureClassAST>& record) {
  return where(record, &FeatureClassAST::class_name_location);
}

TEST(ProjectIndex, LookupsMatchByModuleAndNameInListOrder) {
  const auto filesystem = project_files();
  const AstProjectIndex index = index_over(filesystem, {kBad, kMissing, kOther, kMod, kModInit, kNotes, kStubs});

  using Lookup = std::function<std::string(const AstProjectIndex&)>;
  struct Case {
    const char* what;
    Lookup lookup;
    std::string expected;
  };
  const auto fn = [](const char* module, const char* name) -> Lookup {
    return [=](const AstProjectIndex& i) { return where(i.function_ast(module, name)); };
  };
  const auto res = [](const char* module, const char* name) -> Lookup {
    return [=](const AstProjectIndex& i) { return where(i.resolver_ast(module, name)); };
  };
  const auto cls = [](const char* module, const char* name) -> Lookup {
    return [=](const AstProjectIndex& i) { return where(i.feature_class_ast(module, name)); };
  };
  const auto fn_in = [](const char* path, const char* name) -> Lookup {
    return [=](const AstProjectIndex& i) { return where(i.function_ast_in_file(path, name)); };
  };
  const auto res_in = [](const char* path, const char* name) -> Lookup {
    return [=](const AstProjectIndex& i) { return where(i.resolver_ast_in_file(path, name)); };
  };
  const auto cls_in = [](const char* path, const char* name) -> Lookup {
    return [=](const AstProjectIndex& i) { return where(i.feature_class_ast_in_file(path, name)); };
  };
  const Case cases[] = {
      {"the first function of the name in the file's order", fn("pkg.mod", "f"), "pkg.mod file:///proj/pkg/mod.py:4"},
      {"a nested function", fn("pkg.mod", "inner"), "pkg.mod file:///proj/pkg/mod.py:5"},
      {"a resolver is a function too", fn("pkg.mod", "resolve"), "pkg.mod file:///proj/pkg/mod.py:15"},
      {"the module decides the file", fn("other", "f"), "other file:///proj/other.py:0"},
      {"no file of that module defines it", fn("other", "resolve"), "none"},
      {"names compare exactly", fn("pkg.mod", "F"), "none"},
      {"modules compare exactly", fn("pkg.mod ", "f"), "none"},
      {"a later file of the same module", fn("pkg.mod", "only_here"), "pkg.mod file:///proj/pkg/mod/__init__.py:8"},
      {"resolver lookup", res("pkg.mod", "resolve"), "pkg.mod file:///proj/pkg/mod.py:15"},
      {"a plain function is no resolver", res("pkg.mod", "f"), "none"},
      {"the first class of two in one file", cls("pkg.mod", "User"), "pkg.mod file:///proj/pkg/mod.py:20"},
      {"a class needs its module", cls("other", "User"), "none"},
      {"a function is no class", cls("pkg.mod", "f"), "none"},
      {"in-file lookups ignore the module", fn_in(kOther, "f"), "other file:///proj/other.py:0"},
      {"in-file first function", fn_in(kMod, "f"), "pkg.mod file:///proj/pkg/mod.py:4"},
      {"in-file resolver", res_in(kMod, "resolve"), "pkg.mod file:///proj/pkg/mod.py:15"},
      {"in-file plain function is no resolver", res_in(kOther, "f"), "none"},
      {"in-file first class of two", cls_in(kMod, "User"), "pkg.mod file:///proj/pkg/mod.py:20"},
      {"in-file class of the other file", cls_in(kModInit, "User"), "pkg.mod file:///proj/pkg/mod/__init__.py:4"},
      {"in-file lookup of a file that does not parse", fn_in(kBad, "broken"), "none"},
      {"in-file lookup of a missing file", fn_in(kMissing, "f"), "none"},
      {"in-file lookup of an unlisted file", fn_in("/proj/unlisted.py", "loose"), "unlisted file:///proj/unlisted.py:0"},
      {"a .pyi entry is parsed as Python", fn_in(kStubs, "stub"), "stubs.pyi file:///proj/stubs.pyi:0"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.lookup(index), c.expected) << c.what;

  // A .txt entry is searched although the file system's list leaves it out.
  const auto notes = index.function_ast_in_file(kNotes, "from_notes");
  ASSERT_TRUE(notes.has_value());
  EXPECT_EQ(where(index.function_ast(notes->module, "from_notes")), where(notes));

  // Every path string was analysed once, however many lookups visited it.
  for (const char* path : {kBad, kMissing, kOther, kMod, kModInit, kNotes, kStubs, "/proj/unlisted.py"}) {
    EXPECT_EQ(filesystem->reads(path), 1u) << path;
  }
}

TEST(ProjectIndex, ListOrderDecidesBetweenFilesOfOneModule) {
  const auto filesystem = project_files();
  const AstProjectIndex forward = index_over(filesystem, {kMod, kModInit});
  const AstProjectIndex backward = index_over(filesystem, {kModInit, kMod});
  EXPECT_EQ(where(forward.feature_class_ast("pkg.mod", "User")), "pkg.mod file:///proj/pkg/mod.py:20");
  EXPECT_EQ(where(backward.feature_class_ast("pkg.mod", "User")), "pkg.mod file:///proj/pkg/mod/__init__.py:4");
}

// A cold lookup reads the list in order up to the first file with a match,
// an entry listed twice being analysed once.
TEST(ProjectIndex, ColdLookupsStopAtTheFirstMatch) {
  const auto filesystem = project_files();
  const AstProjectIndex index = index_over(filesystem, {kOther, kBad, kOther, kMod, kModInit, kNotes});
  EXPECT_EQ(where(index.resolver_ast("pkg.mod", "resolve")), "pkg.mod file:///proj/pkg/mod.py:15");
  EXPECT_EQ(filesystem->reads(kOther), 1u);
  EXPECT_EQ(filesystem->reads(kBad), 1u);
  EXPECT_EQ(filesystem->reads(kMod), 1u);
  EXPECT_EQ(filesystem->reads(kModInit), 0u);
  EXPECT_EQ(filesystem->reads(kNotes), 0u);

  EXPECT_FALSE(index.function_ast("nowhere", "f").has_value());
  EXPECT_EQ(filesystem->total_reads(), 5u);  // every distinct entry, once
}

TEST(ProjectIndex, OutcomesAreStoredForGood) {
  const auto filesystem = project_files();
  const AstProjectIndex index = index_over(filesystem, {kMod});
  EXPECT_EQ(filesystem->total_reads(), 0u);  // construction reads nothing

  const auto first = index.get_parsed_ast_file(kMod);
  ASSERT_TRUE(first.ok()) << first.error();
  EXPECT_EQ((*first)->functions.size(), 4u);
  EXPECT_EQ((*first)->resolvers.size(), 1u);
  EXPECT_EQ((*first)->feature_classes.size(), 2u);
  const AstProjectIndex copy = index;  // copies share the slots
  EXPECT_EQ(copy.get_parsed_ast_file(kMod)->get(), first->get());

  // Failures carry the parse cache's message and are never retried, even
  // once the file is mended or created.
  struct Case {
    const char* path;
    std::string prefix;
  };
  const Case failures[] = {
      {kMissing, "Failed to read /proj/missing.py: No such file or directory (os error 2)"},
      {kBad, "Failed to parse /proj/bad.py: "},
  };
  for (const Case& c : failures) {
    const auto failed = index.get_parsed_ast_file(c.path);
    ASSERT_FALSE(failed.ok()) << c.path;
    EXPECT_TRUE(failed.error().starts_with(c.prefix)) << failed.error();
    filesystem->add_file(c.path, "def f():\n    pass\n");
    const auto again = copy.get_parsed_ast_file(c.path);
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.error(), failed.error());
    EXPECT_FALSE(index.function_ast_in_file(c.path, "f").has_value());
    EXPECT_EQ(filesystem->reads(c.path), 1u) << c.path;
  }
  EXPECT_EQ(index.files(), std::vector<std::string>{kMod});
}

// Paths are slot keys byte for byte: two strings for one file are analysed twice.
TEST(ProjectIndex, EachPathStringIsItsOwnSlot) {
  const auto filesystem = std::make_shared<CountingFileSystem>();
  filesystem->add_file("a.py", "def f(): pass\n").add_file("./a.py", "def f(): pass\n");
  const AstProjectIndex index = index_over(filesystem, {"a.py", "./a.py"});
  const auto plain = index.get_parsed_ast_file("a.py");
  const auto dotted = index.get_parsed_ast_file("./a.py");
  ASSERT_TRUE(plain.ok() && dotted.ok());
  EXPECT_NE(plain->get(), dotted->get());
  EXPECT_EQ(index.get_parsed_ast_file("a.py")->get(), plain->get());
  EXPECT_EQ(filesystem->reads("a.py"), 1u);
  EXPECT_EQ(filesystem->reads("./a.py"), 1u);
}

TEST(ProjectIndex, EmptyListReadsNothingAndNeverStarts) {
  const auto filesystem = project_files();
  const AstProjectIndex index = index_over(filesystem, {});
  EXPECT_FALSE(index.function_ast("pkg.mod", "f").has_value());
  EXPECT_FALSE(index.resolver_ast("pkg.mod", "resolve").has_value());
  EXPECT_FALSE(index.feature_class_ast("pkg.mod", "User").has_value());

  size_t spawned = 0;
  const WorkerPlatform platform{[] { return 8L; }, [&](std::unique_ptr<IndexWorkerTask>&) {
                                  ++spawned;
                                  return 0;
                                }};
  ProjectIndexAccess::start_index(index, platform);
  index.nonblocking_start_index();
  EXPECT_EQ(spawned, 0u);
  EXPECT_FALSE(ProjectIndexAccess::inner(index)->index_started.load());
  EXPECT_EQ(filesystem->total_reads(), 0u);
}

// A fault inside a computation reaches the caller and poisons the slot for
// good; other paths, and lookups that pass over it, go on.
TEST(ProjectIndex, FaultPoisonsThePathsSlot) {
  const auto filesystem = project_files();
  filesystem->add_fault("/proj/boom.py", "disk on fire");
  const AstProjectIndex index = index_over(filesystem, {"/proj/boom.py", kMod});

  try {
    (void)index.function_ast("pkg.mod", "f");
    ADD_FAILURE() << "the fault did not reach the caller";
  } catch (const InternalError& error) {
    EXPECT_STREQ(error.what(), "disk on fire");
  }
  filesystem->add_file("/proj/boom.py", "def f(): pass\n");
  for (int round = 0; round < 2; ++round) {
    const auto poisoned = index.get_parsed_ast_file("/proj/boom.py");
    ASSERT_FALSE(poisoned.ok());
    EXPECT_EQ(poisoned.error(), "typed AST cache lock poisoned for /proj/boom.py");
  }
  EXPECT_FALSE(index.function_ast_in_file("/proj/boom.py", "f").has_value());
  EXPECT_EQ(where(index.function_ast("pkg.mod", "f")), "pkg.mod file:///proj/pkg/mod.py:4");
  EXPECT_EQ(filesystem->reads("/proj/boom.py"), 1u);
}

using tymbe_test::TempDir;
using tymbe_test::WorkingDirectory;

// Over the disk: relative entries are read against the working directory and
// named below the root; an entry the file system's list drops is still searched.
TEST(ProjectIndex, CreateReadsTheDiskUnderThePathsAsGiven) {
  const TempDir dir;
  dir.write("pkg/m.py", "from tymbe import online\n\n@online\ndef r(): pass\n");
  dir.write("notes.txt", "def from_notes(): pass\n");
  const WorkingDirectory cwd(dir.path());
  const AstProjectIndex index = AstProjectIndex::create(dir.path().string(), {"notes.txt", "pkg/m.py", "later.py"});

  const auto resolver = index.resolver_ast("pkg.m", "r");
  ASSERT_TRUE(resolver.has_value());
  EXPECT_EQ(resolver->resolver_name_location.uri.text(), "file://" + (dir.path() / "pkg/m.py").string());
  EXPECT_TRUE(index.function_ast_in_file("notes.txt", "from_notes").has_value());
  EXPECT_TRUE(index.function_ast_in_file("./pkg/m.py", "r").has_value());

  // A file created after its first request keeps its failure.
  EXPECT_FALSE(index.get_parsed_ast_file("later.py").ok());
  dir.write("later.py", "def late(): pass\n");
  EXPECT_FALSE(index.function_ast_in_file("later.py", "late").has_value());
}

}  // namespace
}  // namespace tymbe::ast
