// Throughput of parse_module (checks, lexer, parser, comments) over a folder
// of Python files (by default the standard library of CPython 3.12, found
// from the interpreter), and the memory the Modules keep beyond their
// sources. Single-threaded; the figure is the best of several passes.
//
//   tymbe_parser_bench [CORPUS_DIR] [PASSES]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "corpus.h"
#include "tymbe_ast/parser.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct Pass {
  double seconds = 0;
  size_t accepted = 0, accepted_bytes = 0, retained = 0;
  double worst_ratio = 0;
};

Pass run_pass(const std::vector<std::string>& texts) {
  std::vector<std::string> copies = texts;  // the parse takes its text over; copied untimed
  Pass pass;
  const Clock::time_point start = Clock::now();
  for (auto& t : copies) {
    const size_t size = t.size();
    auto module = tymbe::ast::parse_module(std::move(t));
    if (!module) continue;
    ++pass.accepted;
    pass.accepted_bytes += size;
    const size_t kept = module->retained_bytes();
    pass.retained += kept;
    if (size >= 4096) pass.worst_ratio = std::max(pass.worst_ratio, static_cast<double>(kept) / static_cast<double>(size));
  }
  pass.seconds = seconds_since(start);
  return pass;
}

void print(const Pass& best, double mb) {
  std::printf("parse_module   %8.1f MB/s  (%.3f s)  %zu accepted, retained %.2f bytes per source byte (%.2f at most in "
              "files of 4 KiB or more)\n",
              mb / best.seconds, best.seconds, best.accepted,
              static_cast<double>(best.retained) / static_cast<double>(best.accepted_bytes), best.worst_ratio);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = argc > 1 ? argv[1] : tymbe_test::standard_library();
  const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::vector<std::string> texts;
  for (const auto& path : tymbe_test::corpus_files(root)) texts.push_back(tymbe_test::read_file(path));
  if (texts.empty()) {
    std::fprintf(stderr, "no .py files under %s\n", root.c_str());
    return 1;
  }
  size_t bytes = 0;
  for (const auto& t : texts) bytes += t.size();

  Pass best;
  best.seconds = 1e300;
  for (int pass = 0; pass < passes; ++pass) {
    const Pass fresh = run_pass(texts);
    if (fresh.seconds < best.seconds) best = fresh;
  }
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf("corpus         %zu files, %.1f MB (%s), best of %d passes\n", texts.size(), mb, root.c_str(), passes);
  print(best, mb);
  return 0;
}
