// Throughput of the parser front end against the raw grammar, over a folder
// of Python files (by default the Python 3.12 standard library):
//   raw           ts_parser_parse_string and ts_tree_delete
//   parse_module  the whole front end: checks, lone-CR copy, parse, scan,
//                 conversion, comments
// and the memory the Modules keep beyond their sources. Single-threaded; each
// figure is the best of several passes, the two kinds alternating.
//
//   tymbe_parser_bench [CORPUS_DIR] [PASSES]

#include <tree_sitter/api.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tymbe_ast/parser.h"
#include "corpus.h"

extern "C" const TSLanguage* tree_sitter_python(void);

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> load_corpus(const std::filesystem::path& root) {
  std::vector<std::string> texts;
  for (const auto& path : tymbe_test::corpus_files(root)) texts.push_back(tymbe_test::read_file(path));
  return texts;
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = argc > 1 ? argv[1] : tymbe_test::standard_library();
  const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::vector<std::string> texts = load_corpus(root);
  size_t bytes = 0;
  for (const auto& t : texts) bytes += t.size();
  if (texts.empty()) {
    std::fprintf(stderr, "no .py files under %s\n", root.c_str());
    return 1;
  }

  TSParser* parser = ts_parser_new();
  ts_parser_set_language(parser, tree_sitter_python());
  double best_raw = 1e300, best_front = 1e300;
  size_t accepted = 0, retained = 0, accepted_bytes = 0;
  double worst_ratio = 0;
  for (int pass = 0; pass < passes; ++pass) {
    Clock::time_point start = Clock::now();
    for (const auto& t : texts) {
      TSTree* tree = ts_parser_parse_string(parser, nullptr, t.data(), static_cast<uint32_t>(t.size()));
      ts_tree_delete(tree);
    }
    best_raw = std::min(best_raw, seconds_since(start));

    std::vector<std::string> copies = texts;  // parse_module takes its text over; copied untimed
    accepted = retained = accepted_bytes = 0;
    start = Clock::now();
    for (auto& t : copies) {
      const size_t size = t.size();
      auto module = tymbe::ast::parse_module(std::move(t));
      if (!module) continue;
      ++accepted;
      accepted_bytes += size;
      const size_t kept = module->retained_bytes();
      retained += kept;
      if (size >= 4096) worst_ratio = std::max(worst_ratio, static_cast<double>(kept) / static_cast<double>(size));
    }
    best_front = std::min(best_front, seconds_since(start));
  }
  ts_parser_delete(parser);

  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("corpus          %zu files, %.1f MB (%s)\n", texts.size(), mb, root.c_str());
  std::printf("raw tree-sitter %8.1f MB/s  (%.3f s)\n", mb / best_raw, best_raw);
  std::printf("parse_module    %8.1f MB/s  (%.3f s)  %.1f%% of raw\n", mb / best_front, best_front,
              100.0 * best_raw / best_front);
  std::printf("accepted        %zu files\n", accepted);
  std::printf("retained        %.2f bytes per source byte overall, %.2f at most (files of 4 KiB or more)\n",
              static_cast<double>(retained) / static_cast<double>(accepted_bytes), worst_ratio);
  return 0;
}
