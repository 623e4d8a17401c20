// The Python files of a corpus folder (a standard library), and where the
// standard library is, for the fuzz runs and the benchmarks.
#pragma once

#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tymbe_test {

// Every .py file below `root`, sorted; installed packages (site-packages,
// dist-packages) left out.
inline std::vector<std::string> corpus_files(const std::filesystem::path& root) {
  std::vector<std::string> files;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    const auto name = it->path().filename();
    if (it->is_directory() && (name == "site-packages" || name == "dist-packages")) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file() && it->path().extension() == ".py") files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The file's bytes; empty when it cannot be read.
inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  // `<< rdbuf()` marks an empty file as a failure; the text is still empty.
  if (in) content << in.rdbuf();
  return content.str();
}

namespace detail {

inline std::string quoted(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The first line a shell command prints; empty when it fails.
inline std::string first_line(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return "";
  std::string out;
  char buffer[4096];
  while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
  pclose(pipe);
  const size_t end = out.find('\n');
  return end == std::string::npos ? out : out.substr(0, end);
}

}  // namespace detail

// The standard library folder of the interpreter the module is built for
// (tools/python chooses it), as the interpreter itself reports it. Empty when
// there is none.
inline std::string standard_library() {
  const std::string python = detail::first_line(detail::quoted(TYMBE_SOURCE_DIR "/tools/python"));
  if (python.empty()) return "";
  const std::string folder = detail::first_line(
      detail::quoted(python) + " -c 'import sysconfig; print(sysconfig.get_paths()[\"stdlib\"])'");
  std::error_code error;
  return !folder.empty() && std::filesystem::is_directory(folder, error) ? folder : "";
}

}  // namespace tymbe_test
