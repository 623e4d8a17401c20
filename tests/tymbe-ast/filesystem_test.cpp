#include "tymbe_ast/ast_filesystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "temp_dir.h"

namespace tymbe::ast {
namespace {

namespace fs = std::filesystem;

using Paths = std::vector<std::string>;

using tymbe_test::TempDir;
using tymbe_test::WorkingDirectory;

std::string os_error_text(int number) { return std::string(std::strerror(number)) + " (os error " + std::to_string(number) + ")"; }

TEST(NormalizeFileList, KeepsSortsAndDeduplicates) {
  struct Case {
    Paths input;
    Paths expected;
  };
  const Case cases[] = {
      {{"b.py", "a.py", "b.py", "c.txt", "a.PY", "x/.py"}, {"a.py", "b.py"}},
      // Bytes decide: upper case first, "." (0x2E) before "/" (0x2F), a prefix first,
      // and a non-ASCII byte after every ASCII one.
      {{"a/b.py", "a.py", "\xC3\xA9.py", "B.py", "z.py", "a.pyy/x.py"},
       {"B.py", "a.py", "a.pyy/x.py", "a/b.py", "z.py", "\xC3\xA9.py"}},
      {{}, {}},
      {{"README", "notes.txt", "a.pyi"}, {}},
      // The same file under three texts stays three entries.
      {{"/p/a.py", "./a.py", "a.py"}, {"./a.py", "/p/a.py", "a.py"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(normalize_file_list(c.input), c.expected);
    const StdAstFileSystem filesystem(c.input);
    EXPECT_EQ(filesystem.files(), c.expected);
    EXPECT_EQ(*filesystem.all_files(), c.expected);
  }
}

TEST(NormalizeFileList, ExtensionOfTheLastComponent) {
  const Paths kept = {"a.py", "pkg/a.py", "/abs/pkg/a.py", ".hidden.py", "pkg.py/", "pkg.py//", "a.py/.", "..py",
                      "x/a.b.py"};
  const Paths dropped = {"a.pyi", "a.PY", "a.py.bak", ".py", "a.", "README", "", "a.py/..", ".", "./", "/", "..",
                         "pkg/.py", "a.py/x", "/.", "./.", "a.p y"};
  for (const std::string& path : kept) EXPECT_EQ(normalize_file_list({path}), Paths{path}) << path;
  for (const std::string& path : dropped) EXPECT_EQ(normalize_file_list({path}), Paths{}) << path;
}

TEST(StdAstFileSystem, ReadsTheWholeTextUnchanged) {
  const TempDir dir;
  const std::string big = std::string(100000, 'x') + "\xE2\x82\xAC";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"plain.py", "x = 1\n"},
      {"bom.py", "\xEF\xBB\xBFx = 1\r\ny = 2\r"},
      {"empty.py", ""},
      {"big.py", big},
      {"nul.py", std::string("a\0b", 3)},
  };
  // Nothing is listed: the list is never consulted for reading.
  const StdAstFileSystem filesystem({});
  for (const auto& [name, text] : files) {
    const auto read = filesystem.read_to_string(dir.write(name, text));
    ASSERT_TRUE(read.ok()) << name << ": " << read.error().text;
    EXPECT_EQ(*read, text) << name;
  }
}

// The reported size is only a hint: files that report none are read to their end.
TEST(StdAstFileSystem, ReadsFilesWithoutASize) {
  const StdAstFileSystem filesystem({});
  const auto read = filesystem.read_to_string("/proc/self/status");
  ASSERT_TRUE(read.ok()) << read.error().text;
  EXPECT_NE(read->find("Name:"), std::string::npos);
}

TEST(StdAstFileSystem, RejectsInvalidUtf8) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"\xC2\x80", true},                  // U+0080
      {"\xDF\xBF", true},                  // U+07FF
      {"\xE0\xA0\x80", true},              // U+0800
      {"\xED\x9F\xBF", true},              // U+D7FF
      {"\xEE\x80\x80", true},              // U+E000
      {"\xEF\xBF\xBF", true},              // U+FFFF
      {"\xF0\x90\x80\x80", true},          // U+10000
      {"\xF4\x8F\xBF\xBF", true},          // U+10FFFF
      {"\xC0\x80", false},                 // overlong NUL
      {"\xC1\xBF", false},                 // overlong
      {"\xE0\x9F\xBF", false},             // overlong three-byte form
      {"\xF0\x8F\xBF\xBF", false},         // overlong four-byte form
      {"\xED\xA0\x80", false},             // surrogate U+D800
      {"\xED\xBF\xBF", false},             // surrogate U+DFFF
      {"\xF4\x90\x80\x80", false},         // above U+10FFFF
      {"\xF5\x80\x80\x80", false},         // no such lead byte
      {"\xFF", false},
      {"\x80", false},                     // lone continuation
      {"\xC3", false},                     // truncated at the end
      {"\xE2\x82", false},
      {"\xF0\x9F\x98", false},
      {"\xC3(", false},                    // continuation missing mid-text
      {"\xE2\x28\xA1", false},
  };
  const TempDir dir;
  const StdAstFileSystem filesystem({});
  int n = 0;
  for (const Case& c : cases) {
    // Each sequence at the start, at and around the eight-byte stride, and before more text.
    for (size_t prefix : {0, 7, 8, 9, 17}) {
      for (const std::string suffix : {"", "abcdefghij"}) {
        const std::string text = std::string(prefix, 'a') + c.bytes + suffix;
        const auto read = filesystem.read_to_string(dir.write(std::to_string(n++) + ".py", text));
        if (c.valid) {
          EXPECT_TRUE(read.ok()) << testing::PrintToString(text);
        } else {
          ASSERT_FALSE(read.ok()) << testing::PrintToString(text);
          EXPECT_EQ(read.error().text, "stream did not contain valid UTF-8");
        }
      }
    }
  }
}

TEST(StdAstFileSystem, ReportsTheSystemsError) {
  const TempDir dir;
  const std::string file = dir.write("m.py", "x = 1\n");
  const StdAstFileSystem filesystem({file});
  struct Case {
    std::string path;
    std::string text;
  };
  const Case cases[] = {
      {(dir.path() / "missing.py").string(), os_error_text(ENOENT)},
      {"", os_error_text(ENOENT)},
      {dir.path().string(), os_error_text(EISDIR)},
      {file + "/x.py", os_error_text(ENOTDIR)},
      {file + std::string(1, '\0'), "file name contained an unexpected NUL byte"},
      {std::string("\0", 1), "file name contained an unexpected NUL byte"},
  };
  for (const Case& c : cases) {
    const auto read = filesystem.read_to_string(c.path);
    ASSERT_FALSE(read.ok()) << c.path;
    EXPECT_EQ(read.error().text, c.text) << c.path;
  }
  EXPECT_EQ(os_error_text(ENOENT), "No such file or directory (os error 2)");
  EXPECT_EQ(os_error_text(EISDIR), "Is a directory (os error 21)");
}

TEST(StdAstFileSystem, ReportsPermissionDenied) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const TempDir dir;
  const std::string file = dir.write("secret.py", "x = 1\n");
  ::chmod(file.c_str(), 0);
  const auto read = StdAstFileSystem({}).read_to_string(file);
  ASSERT_FALSE(read.ok());
  EXPECT_EQ(read.error().text, os_error_text(EACCES));
}

TEST(StdAstFileSystem, RelativePathsFollowTheWorkingDirectory) {
  const TempDir dir;
  dir.write("one/m.py", "one\n");
  dir.write("two/m.py", "two\n");
  const StdAstFileSystem filesystem({"m.py"});
  {
    const WorkingDirectory cwd(dir.path() / "one");
    EXPECT_EQ(*filesystem.read_to_string("m.py"), "one\n");
    EXPECT_EQ(*filesystem.read_to_string("./m.py"), "one\n");
  }
  {
    const WorkingDirectory cwd(dir.path() / "two");
    EXPECT_EQ(*filesystem.read_to_string("m.py"), "two\n");
  }
}

// Opening never waits for a FIFO's writer: without one the FIFO reads as an
// empty text. With one, the text is read as it comes, a character split
// between two writes included, and invalid text is refused as soon as it
// arrives, without waiting for the end.
TEST(StdAstFileSystem, ReadsAFifoWithoutWaitingToOpenIt) {
  const TempDir dir;
  const std::string fifo = (dir.path() / "pipe.py").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  const StdAstFileSystem filesystem({});
  const auto empty = filesystem.read_to_string(fifo);
  ASSERT_TRUE(empty.ok()) << empty.error().text;
  EXPECT_EQ(*empty, "");

  const auto write_slowly = [&](std::vector<std::string> pieces, bool close_at_end) {
    // Opened for reading and writing, so that it is a writer before the reader comes.
    const int fd = ::open(fifo.c_str(), O_RDWR);
    return std::thread([fd, pieces = std::move(pieces), close_at_end] {
      for (const std::string& piece : pieces) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_EQ(::write(fd, piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
      }
      // Left open, the reader would wait for good unless it stops by itself.
      std::this_thread::sleep_for(std::chrono::milliseconds(close_at_end ? 30 : 300));
      ::close(fd);
    });
  };
  std::thread writer = write_slowly({"x = '\xE2", "\x82\xAC'\n"}, true);
  const auto split = filesystem.read_to_string(fifo);
  writer.join();
  ASSERT_TRUE(split.ok()) << split.error().text;
  EXPECT_EQ(*split, "x = '\xE2\x82\xAC'\n");

  writer = write_slowly({"ok", "\xFF"}, false);
  const auto start = std::chrono::steady_clock::now();
  const auto invalid = filesystem.read_to_string(fifo);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  writer.join();
  ASSERT_FALSE(invalid.ok());
  EXPECT_EQ(invalid.error().text, "stream did not contain valid UTF-8");
}

// A source the records cannot address is refused before it is read, and an
// endless one of invalid text at its first bytes.
TEST(StdAstFileSystem, RefusesSourcesPastTheLargestSize) {
  const TempDir dir;
  const std::string huge = dir.write("huge.py", "");
  ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(kMaxSourceSize) + 1), 0) << std::strerror(errno);
  const StdAstFileSystem filesystem({});
  const auto too_large = filesystem.read_to_string(huge);
  ASSERT_FALSE(too_large.ok());
  EXPECT_EQ(too_large.error().text, os_error_text(EFBIG));
  EXPECT_EQ(os_error_text(EFBIG), "File too large (os error 27)");

  const auto random = filesystem.read_to_string("/dev/urandom");
  ASSERT_FALSE(random.ok());
  EXPECT_EQ(random.error().text, "stream did not contain valid UTF-8");
}

size_t open_descriptors() {
  return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// Failures after the file was opened (a directory, invalid text) still close it.
TEST(StdAstFileSystem, ClosesTheFileInEveryCase) {
  const TempDir dir;
  const std::string good = dir.write("good.py", "x = 1\n");
  const std::string bad = dir.write("bad.py", "\xFF");
  const StdAstFileSystem filesystem({});
  const size_t before = open_descriptors();
  for (int i = 0; i < 50; ++i) {
    EXPECT_TRUE(filesystem.read_to_string(good).ok());
    EXPECT_FALSE(filesystem.read_to_string(bad).ok());
    EXPECT_FALSE(filesystem.read_to_string(dir.path().string()).ok());
  }
  EXPECT_EQ(open_descriptors(), before);
}

// Nothing is remembered: each read goes to the disk again.
TEST(StdAstFileSystem, ReadsTheDiskOnEveryCall) {
  const TempDir dir;
  const std::string path = (dir.path() / "m.py").string();
  const StdAstFileSystem filesystem({path});
  EXPECT_FALSE(filesystem.read_to_string(path).ok());
  dir.write("m.py", "first\n");
  EXPECT_EQ(*filesystem.read_to_string(path), "first\n");
  dir.write("m.py", "second\n");
  EXPECT_EQ(*filesystem.read_to_string(path), "second\n");
}

}  // namespace
}  // namespace tymbe::ast
