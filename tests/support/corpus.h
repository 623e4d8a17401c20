// The Python files of a corpus folder (a standard library), for the fuzz run
// and the benchmarks.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tymbe_test {

// Every .py file below `root`, sorted; installed packages (site-packages) left out.
inline std::vector<std::string> corpus_files(const std::filesystem::path& root) {
  std::vector<std::string> files;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_directory() && it->path().filename() == "site-packages") {
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

}  // namespace tymbe_test
