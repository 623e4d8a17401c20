#pragma once
// An in-memory AstFileSystem for tests: each path maps to a text, an I/O error
// or a fault (the read throws tymbe::InternalError), and every read is counted
// per path. Safe to read from several threads at once. Reads can be held back
// at a gate to let concurrent requests pile up behind the first one.

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tymbe_ast/ast_filesystem.h"
#include "tymbe_utils/result.h"

namespace tymbe::test_support {

using ast::AstFileSystem;
using ast::IoError;

class CountingFileSystem final : public AstFileSystem {
 public:
  struct Fault {
    std::string what;
  };
  using Content = std::variant<std::string, IoError, Fault>;

  // Set-up; call before the file system is shared with other threads.
  CountingFileSystem& add_file(std::string path, std::string text) { return add(std::move(path), std::move(text)); }
  CountingFileSystem& add_error(std::string path, std::string error_text) {
    return add(std::move(path), IoError{std::move(error_text)});
  }
  CountingFileSystem& add_fault(std::string path, std::string what = "read fault") {
    return add(std::move(path), Fault{std::move(what)});
  }
  // Without a listing, all_files() gives the added paths in byte order.
  CountingFileSystem& set_listing(std::vector<std::string> paths) {
    std::lock_guard lock(mutex_);
    listing_ = std::move(paths);
    return *this;
  }
  CountingFileSystem& fail_listing(std::string error_text) {
    std::lock_guard lock(mutex_);
    listing_ = IoError{std::move(error_text)};
    return *this;
  }

  // While closed, every read waits (already counted) until the gate opens.
  void close_gate() {
    std::lock_guard lock(mutex_);
    gate_open_ = false;
  }
  void open_gate() {
    {
      std::lock_guard lock(mutex_);
      gate_open_ = true;
    }
    gate_.notify_all();
  }

  // Whether at least `count` reads have started, gate or no gate, within `limit`.
  bool wait_for_reads(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) const {
    std::unique_lock lock(mutex_);
    return gate_.wait_for(lock, limit, [&] { return started_reads_ >= count; });
  }

  size_t reads(std::string_view path) const {
    std::lock_guard lock(mutex_);
    auto it = reads_.find(path);
    return it == reads_.end() ? 0 : it->second;
  }
  size_t total_reads() const {
    std::lock_guard lock(mutex_);
    size_t total = 0;
    for (const auto& [path, count] : reads_) total += count;
    return total;
  }
  size_t listing_calls() const {
    std::lock_guard lock(mutex_);
    return listing_calls_;
  }

  Result<std::string, IoError> read_to_string(std::string_view path) const override {
    std::unique_lock lock(mutex_);
    ++reads_[std::string(path)];
    ++started_reads_;
    gate_.notify_all();
    gate_.wait(lock, [&] { return gate_open_; });
    auto it = files_.find(path);
    if (it == files_.end()) return Failure{IoError{"No such file or directory (os error 2)"}};
    if (const auto* text = std::get_if<std::string>(&it->second)) return *text;
    if (const auto* error = std::get_if<IoError>(&it->second)) return Failure{*error};
    throw InternalError(std::get<Fault>(it->second).what);
  }

  Result<std::vector<std::string>, IoError> all_files() const override {
    std::lock_guard lock(mutex_);
    ++listing_calls_;
    if (!listing_) {
      std::vector<std::string> paths;
      for (const auto& [path, content] : files_) paths.push_back(path);
      return paths;
    }
    if (const auto* paths = std::get_if<std::vector<std::string>>(&*listing_)) return *paths;
    return Failure{std::get<IoError>(*listing_)};
  }

 private:
  CountingFileSystem& add(std::string path, Content content) {
    std::lock_guard lock(mutex_);
    files_.insert_or_assign(std::move(path), std::move(content));
    return *this;
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable gate_;
  bool gate_open_ = true;
  std::map<std::string, Content, std::less<>> files_;
  std::optional<std::variant<std::vector<std::string>, IoError>> listing_;
  mutable std::map<std::string, size_t, std::less<>> reads_;
  mutable size_t started_reads_ = 0;
  mutable size_t listing_calls_ = 0;
};

}  // namespace tymbe::test_support
