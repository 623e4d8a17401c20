// The Python files of a corpus folder (a standard library), and where the
// standard library is, for the fuzz runs and the benchmarks.
#pragma once

#include <stdio.h>

#include <algorithm>
#include <cstdlib>
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

// The standard library folder of a CPython `version` (the one the module is
// built for by default), as the interpreter itself reports it (sysconfig):
// $PYTHON, then python<version> on PATH, then pyenv's (root from $PYENV_ROOT,
// `pyenv root` or ~/.pyenv), then python3. Empty when none answers.
inline std::string standard_library(const std::string& version = "3.12") {
  std::vector<std::string> candidates;
  if (const char* python = std::getenv("PYTHON"); python && *python) candidates.push_back(python);
  candidates.push_back("python" + version);
  std::string root;
  if (const char* env = std::getenv("PYENV_ROOT"); env && *env) root = env;
  if (root.empty()) root = detail::first_line("pyenv root");
  if (root.empty()) {
    if (const char* home = std::getenv("HOME")) root = std::string(home) + "/.pyenv";
  }
  std::error_code error;
  std::vector<std::string> pyenv;
  for (auto it = std::filesystem::directory_iterator(root + "/versions", error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name == version || name.starts_with(version + ".")) {
      pyenv.push_back((it->path() / "bin" / ("python" + version)).string());
    }
  }
  std::sort(pyenv.rbegin(), pyenv.rend());
  candidates.insert(candidates.end(), pyenv.begin(), pyenv.end());
  candidates.push_back("python3");
  for (const std::string& python : candidates) {
    const std::string folder = detail::first_line(
        detail::quoted(python) + " -c 'import sysconfig; print(sysconfig.get_paths()[\"stdlib\"])'");
    if (!folder.empty() && std::filesystem::is_directory(folder, error)) return folder;
  }
  return "";
}

}  // namespace tymbe_test
