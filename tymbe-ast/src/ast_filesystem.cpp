#include "tymbe_ast/ast_filesystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>

#include "tymbe_utils/utf8.h"

namespace tymbe::ast {

namespace {

// The extension of the last name component, or nothing. Trailing "/" and "."
// pieces are not components; a last piece ".." has no extension.
bool has_py_extension(std::string_view path) {
  size_t end = path.size();
  while (true) {
    while (end > 0 && path[end - 1] == '/') --end;
    if (end == 0) return false;
    const size_t slash = path.rfind('/', end - 1);
    const size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view piece = path.substr(start, end - start);
    if (piece == ".") {
      // A leading "." of a relative path is a current-directory component.
      if (start == 0) return false;
      end = start;
      continue;
    }
    if (piece == "..") return false;
    const size_t dot = piece.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return false;
    return piece.substr(dot + 1) == "py";
  }
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF),
// checked as a text arrives: how much of `text` is made of whole valid
// sequences, or nothing when it holds an invalid one. A sequence cut off by
// the end of `text` is not counted, and is invalid only once more text
// cannot complete it.
std::optional<size_t> valid_utf8_prefix(std::string_view text) {
  const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* p = begin;
  const unsigned char* const end = p + text.size();
  while (p < end) {
    // Most sources are ASCII: skip eight bytes at a time while no high bit is set.
    while (end - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, sizeof word);
      if (word & 0x8080808080808080ULL) break;
      p += 8;
    }
    if (p == end) break;
    bool cut_off = false;
    const size_t length = utils::utf8::sequence_length(text, static_cast<size_t>(p - begin), &cut_off);
    if (length == 0) {
      if (cut_off) break;
      return std::nullopt;
    }
    p += length;
  }
  return static_cast<size_t>(p - begin);
}

// glibc offers either strerror_r; the overloads accept what each returns.
[[maybe_unused]] const char* strerror_text(int result, const char* buffer) { return result == 0 ? buffer : nullptr; }
[[maybe_unused]] const char* strerror_text(const char* result, const char*) { return result; }

IoError os_error(int number) {
  char buffer[256] = {};
  const char* description = strerror_text(strerror_r(number, buffer, sizeof buffer), buffer);
  std::string text = description ? description : "Unknown error " + std::to_string(number);
  text += " (os error " + std::to_string(number) + ")";
  return IoError{std::move(text)};
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const noexcept { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::vector<std::string> normalize_file_list(std::vector<std::string> files) {
  std::erase_if(files, [](const std::string& path) { return !has_py_extension(path); });
  // std::string compares as unsigned bytes, a prefix first.
  std::sort(files.begin(), files.end());
  files.erase(std::unique(files.begin(), files.end()), files.end());
  return files;
}

StdAstFileSystem::StdAstFileSystem(std::vector<std::string> files) : files_(normalize_file_list(std::move(files))) {}

Result<std::string, IoError> StdAstFileSystem::read_to_string(std::string_view path) const {
  if (path.find('\0') != std::string_view::npos) {
    return Failure{IoError{"file name contained an unexpected NUL byte"}};
  }
  const std::string c_path(path);
  // Opening without blocking: a FIFO without a writer (or a device) would
  // otherwise wait in open() for good. An interrupted open is not retried, so
  // that Ctrl-C ends a slow one.
  const int fd = ::open(c_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return Failure{os_error(errno)};
  const FileDescriptor file(fd);

  struct stat info;
  const bool known = ::fstat(file.get(), &info) == 0;
  const bool regular = known && S_ISREG(info.st_mode);
  if (!regular) {
    // Reads from a pipe or a device wait for their data as usual.
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) < 0) return Failure{os_error(errno)};
  }
  if (regular && static_cast<uint64_t>(info.st_size) > kMaxSourceSize) return Failure{os_error(EFBIG)};

  try {
    // The size only sizes the buffer: the file is read until the system reports
    // its end, or until it holds more than a source can.
    std::string content(regular && info.st_size > 0 ? static_cast<size_t>(info.st_size) + 1 : 8192, '\0');
    size_t length = 0;
    size_t validated = 0;
    while (true) {
      if (length == content.size()) {
        content.resize(std::min(content.size() * 2, kMaxSourceSize + 1));
      }
      const ssize_t got = ::read(file.get(), content.data() + length, content.size() - length);
      if (got == 0) break;
      if (got < 0) {
        // A regular file is not interrupted in practice; a pipe or a device
        // can wait for good, and there an interrupted read ends the reading.
        if (errno == EINTR && regular) continue;
        return Failure{os_error(errno)};
      }
      length += static_cast<size_t>(got);
      if (length > kMaxSourceSize) return Failure{os_error(EFBIG)};
      // Checked as it arrives, so an endless source of invalid text is refused at once.
      const auto valid = valid_utf8_prefix(std::string_view(content).substr(validated, length - validated));
      if (!valid) return Failure{IoError{"stream did not contain valid UTF-8"}};
      validated += *valid;
    }
    if (validated != length) return Failure{IoError{"stream did not contain valid UTF-8"}};
    content.resize(length);
    return content;
  } catch (const std::bad_alloc&) {
    return Failure{os_error(ENOMEM)};
  } catch (const std::length_error&) {
    return Failure{os_error(ENOMEM)};
  }
}

Result<std::vector<std::string>, IoError> StdAstFileSystem::all_files() const { return files_; }

}  // namespace tymbe::ast
