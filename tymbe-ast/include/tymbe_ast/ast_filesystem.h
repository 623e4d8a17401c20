#pragma once
// How the definition index reads sources: an interface, and the one
// implementation over a fixed list of paths read from the local disk.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tymbe_ast/syntax_tree.h"
#include "tymbe_utils/result.h"

namespace tymbe::ast {

// The failure of a file-system operation. Only its text is ever used:
// "<strerror> (os error N)", "stream did not contain valid UTF-8" or
// "file name contained an unexpected NUL byte".
struct IoError {
  std::string text;
};

// Implementations are shared by caches, indexes and Python objects at once and
// must allow both operations from several threads at the same time.
class AstFileSystem {
 public:
  virtual ~AstFileSystem() = default;
  virtual Result<std::string, IoError> read_to_string(std::string_view path) const = 0;
  virtual Result<std::vector<std::string>, IoError> all_files() const = 0;
};

using AstFileSystemHandle = std::shared_ptr<const AstFileSystem>;

// Keep the paths whose extension is exactly "py", sort them by bytes, drop duplicates.
std::vector<std::string> normalize_file_list(std::vector<std::string> files);

class StdAstFileSystem final : public AstFileSystem {
 public:
  // Normalises the list; reads nothing from disk.
  explicit StdAstFileSystem(std::vector<std::string> files);

  // Reads `path` exactly as given (relative to the working directory), whether
  // or not it is in the list; the content must be valid UTF-8. A source larger
  // than kMaxSourceSize fails with EFBIG's text, found while reading, and one
  // that does not fit in memory with ENOMEM's. Opening never waits (a FIFO
  // without a writer reads as empty), and a read from a pipe or a device that
  // a signal interrupts fails with EINTR's text.
  Result<std::string, IoError> read_to_string(std::string_view path) const override;
  // A copy of the normalised list; never fails.
  Result<std::vector<std::string>, IoError> all_files() const override;

  const std::vector<std::string>& files() const noexcept { return files_; }

 private:
  std::vector<std::string> files_;
};

}  // namespace tymbe::ast
