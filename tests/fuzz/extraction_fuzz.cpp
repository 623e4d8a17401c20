// Seeded mutation fuzzing of parsing and extraction over a folder of Python
// files (the standard library): every file as it is, then truncated and
// mutated copies, each through parse_module, build_import_map and
// parse_ast_file_with_feature_module. Meant to run under ASan and UBSan; it
// also checks the invariants that every extraction outcome must keep.
//
//   tymbe_fuzz_extraction [--corpus DIR] [--seconds N] [--seed S] [--threads T]
//
// The corpus is by default the standard library of the Python 3.12 found on
// the machine (tests/support/corpus.h). Exit status: 0 when every input ran
// clean, 1 on a broken invariant, 2 on a usage error, 77 (a skip for ctest)
// when there is no corpus.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "corpus.h"
#include "fuzz_common.h"

namespace {

using tymbe_test::corpus_files;
using tymbe_test::read_file;
using namespace tymbe_fuzz;
using Clock = std::chrono::steady_clock;

std::mutex report_mutex;

void report(const std::string& what, std::string_view input) {
  std::lock_guard lock(report_mutex);
  const std::string name = "fuzz-failure-" + std::to_string(std::hash<std::string_view>{}(input)) + ".py";
  std::ofstream(name, std::ios::binary) << input;
  std::fprintf(stderr, "invariant broken: %s (input saved as %s)\n", what.c_str(), name.c_str());
}

void run_one(std::string_view input, bool has_uri, Stats& stats) {
  if (const std::optional<std::string> problem = check_one(input, has_uri, stats)) report(*problem, input);
}

}  // namespace

int main(int argc, char** argv) {
  std::string corpus;
  double seconds = 30;
  uint64_t seed = 1;
  unsigned threads = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view flag = argv[i];
    if (flag == "--corpus") {
      corpus = argv[i + 1];
    } else if (flag == "--seconds") {
      seconds = std::atof(argv[i + 1]);
    } else if (flag == "--seed") {
      seed = std::strtoull(argv[i + 1], nullptr, 10);
    } else if (flag == "--threads") {
      threads = std::max(1, std::atoi(argv[i + 1]));
    } else {
      std::fprintf(stderr, "unknown flag %s\n", argv[i]);
      return 2;
    }
  }
  if (corpus.empty()) corpus = tymbe_test::standard_library();
  if (corpus.empty()) {
    std::printf("no standard library of Python 3.12 found (pass --corpus DIR): skipped\n");
    return 77;
  }
  if (!std::filesystem::is_directory(corpus)) {
    std::printf("corpus %s not found: skipped\n", corpus.c_str());
    return 77;
  }
  const std::vector<std::string> files = corpus_files(corpus);
  if (files.empty()) {
    std::printf("corpus %s holds no .py files: skipped\n", corpus.c_str());
    return 77;
  }

  Stats stats;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  std::atomic<size_t> rounds{0};
  // Each worker takes files in turn; the first pass over the corpus runs
  // every file unchanged, later passes only mutated copies, until time is up.
  std::atomic<size_t> next{0};
  const auto worker = [&](unsigned index) {
    std::mt19937_64 rng(seed * 1000003 + index);
    while (Clock::now() < deadline) {
      const size_t n = next.fetch_add(1);
      const size_t round = n / files.size();
      if (n % files.size() == files.size() - 1) rounds.store(round + 1);
      const std::string text = read_file(files[n % files.size()]);
      if (round == 0) {
        run_one(text, true, stats);
        run_one(decorate(text, rng), true, stats);
      }
      // Truncated copies: the extraction sees every kind of unfinished file.
      run_one(text.substr(0, rng() % (text.size() + 1)), rng() % 16 != 0, stats);
      const std::string decorated = decorate(text, rng);
      run_one(decorated.substr(0, rng() % (decorated.size() + 1)), true, stats);
      for (int k = 0; k < 4 && Clock::now() < deadline; ++k) {
        run_one(mutate(rng() % 2 ? decorated : text, rng), rng() % 16 != 0, stats);
      }
    }
  };
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker, t);
  for (std::thread& t : pool) t.join();

  std::printf(
      "corpus files: %zu, full passes: %zu, inputs: %llu, parsed: %llu, functions: %llu, resolvers: %llu, "
      "feature classes: %llu, broken invariants: %llu\n",
      files.size(), rounds.load(), static_cast<unsigned long long>(stats.inputs.load()),
      static_cast<unsigned long long>(stats.parsed.load()), static_cast<unsigned long long>(stats.functions.load()),
      static_cast<unsigned long long>(stats.resolvers.load()),
      static_cast<unsigned long long>(stats.feature_classes.load()),
      static_cast<unsigned long long>(stats.failures.load()));
  return stats.failures.load() == 0 ? 0 : 1;
}
