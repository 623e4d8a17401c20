// Throughput of extraction against reading and parsing, over a folder of
// Python files (by default the Python 3.12 standard library):
//   read+parse          read (UTF-8 checked), parse_module, build_import_map
//   read+parse+extract  the same, then parse_ast_file_with_feature_module
// and the same two over the files held in memory with the package's
// decorators put in front of every def and class, so that resolvers, keyword
// maps, feature classes and field comments all take part. Single-threaded;
// each figure is the best of several passes, the kinds of pass alternating so
// that all see the same machine.
//
//   tymbe_extraction_bench [CORPUS_DIR] [PASSES]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tymbe_ast/ast_filesystem.h"
#include "tymbe_ast/parser.h"
#include "tymbe_ast/parser_cache_types.h"
#include "tymbe_ast/type_parsing.h"
#include "corpus.h"

namespace {

using tymbe_test::corpus_files;

using namespace tymbe::ast;
using Clock = std::chrono::steady_clock;

struct Pass {
  double seconds = 0;
  double extract_seconds = 0;  // the extraction calls alone
  size_t bytes = 0;
  size_t parsed = 0;
  size_t functions = 0;
};

Pass run(const StdAstFileSystem& filesystem, const std::vector<std::string>& files, bool extract) {
  Pass pass;
  const Clock::time_point start = Clock::now();
  for (const std::string& path : files) {
    tymbe::Result<std::string, IoError> text = filesystem.read_to_string(path);
    if (!text) continue;
    pass.bytes += text->size();
    tymbe::Result<Module, ParseError> module = parse_module(std::move(text).value());
    if (!module) continue;
    ++pass.parsed;
    ImportMap imports = build_import_map(*module);
    if (extract) {
      const ParsedFileCache file{path, std::move(module).value(), std::move(imports)};
      const Clock::time_point extract_start = Clock::now();
      pass.functions += parse_ast_file_with_feature_module(file, "bench").functions.size();
      pass.extract_seconds += std::chrono::duration<double>(Clock::now() - extract_start).count();
    }
  }
  pass.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return pass;
}

// Every def gets a resolver decorator call with keywords and a dict, every
// class the features decorator, at the line's own indentation.
std::string decorate(std::string_view text) {
  std::string out = "from tymbe import online\nfrom tymbe.features import features\n";
  out.reserve(text.size() * 2);
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    const std::string_view line = text.substr(start, end - start);
    const size_t indent = line.find_first_not_of(" \t");
    if (indent != std::string_view::npos) {
      const std::string_view rest = line.substr(indent);
      if (rest.starts_with("def ") || rest.starts_with("async def ")) {
        out.append(line.substr(0, indent)).append("@online(owner='x', tags={'a': 1, 'b': 2})\n");
      } else if (rest.starts_with("class ")) {
        out.append(line.substr(0, indent)).append("@features(name='ns')\n");
      }
    }
    out.append(line);
    start = end;
  }
  return out;
}

// Parse (and extract) texts already in memory; the seconds of the extraction
// calls alone go to `extract_seconds`.
Pass run_in_memory(const std::vector<std::string>& texts, bool extract) {
  Pass pass;
  const Clock::time_point start = Clock::now();
  for (const std::string& text : texts) {
    pass.bytes += text.size();
    tymbe::Result<Module, ParseError> module = parse_module(text);
    if (!module) continue;
    ++pass.parsed;
    ImportMap imports = build_import_map(*module);
    if (extract) {
      const ParsedFileCache file{"/bench/decorated.py", std::move(module).value(), std::move(imports)};
      const Clock::time_point extract_start = Clock::now();
      const ParsedAstFile parsed = parse_ast_file_with_feature_module(file, "bench");
      pass.functions += parsed.resolvers.size() + parsed.feature_classes.size();
      pass.extract_seconds += std::chrono::duration<double>(Clock::now() - extract_start).count();
    }
  }
  pass.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return pass;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string corpus = argc > 1 ? argv[1] : tymbe_test::standard_library();
  const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::vector<std::string> files = corpus_files(corpus);
  if (files.empty()) {
    std::fprintf(stderr, "no .py files under %s\n", corpus.c_str());
    return 1;
  }
  const StdAstFileSystem filesystem(files);

  Pass parse_best, extract_best;
  double extract_alone = 1e300;
  parse_best.seconds = extract_best.seconds = 1e300;
  for (int i = 0; i < passes; ++i) {
    const Pass parse = run(filesystem, files, false);
    const Pass extract = run(filesystem, files, true);
    if (parse.seconds < parse_best.seconds) parse_best = parse;
    if (extract.seconds < extract_best.seconds) extract_best = extract;
    extract_alone = std::min(extract_alone, extract.extract_seconds);
  }
  const double megabytes = static_cast<double>(parse_best.bytes) / 1e6;
  std::printf("corpus: %s, %zu files, %.1f MB, %zu parsed, %zu functions; best of %d passes\n", corpus.c_str(),
              files.size(), megabytes, parse_best.parsed, extract_best.functions, passes);
  std::printf("read+parse:          %8.1f MB/s  (%.3f s)\n", megabytes / parse_best.seconds, parse_best.seconds);
  std::printf("read+parse+extract:  %8.1f MB/s  (%.3f s)\n", megabytes / extract_best.seconds, extract_best.seconds);
  std::printf("extract alone:       %8.1f MB/s  (%.3f s)\n", megabytes / extract_alone, extract_alone);
  // The extraction calls timed alone are the steadier figure: the difference
  // of two whole passes is mostly noise when extraction is this small a part.
  std::printf("extraction adds %.1f%% to read+parse (whole passes: %+.1f%%; target: at most 15%%)\n",
              100.0 * extract_alone / parse_best.seconds,
              100.0 * (extract_best.seconds / parse_best.seconds - 1.0));

  std::vector<std::string> decorated;
  for (const std::string& path : files) {
    if (tymbe::Result<std::string, IoError> text = filesystem.read_to_string(path)) decorated.push_back(decorate(*text));
  }
  Pass parse_decorated, extract_decorated;
  parse_decorated.seconds = extract_decorated.seconds = 1e300;
  double decorated_alone = 1e300;
  for (int i = 0; i < passes; ++i) {
    const Pass parse = run_in_memory(decorated, false);
    const Pass extract = run_in_memory(decorated, true);
    parse_decorated.seconds = std::min(parse_decorated.seconds, parse.seconds);
    if (extract.seconds < extract_decorated.seconds) extract_decorated = extract;
    decorated_alone = std::min(decorated_alone, extract.extract_seconds);
  }
  const double decorated_mb = static_cast<double>(extract_decorated.bytes) / 1e6;
  std::printf("decorated, in memory: %.1f MB, %zu parsed, %zu resolvers and feature classes\n", decorated_mb,
              extract_decorated.parsed, extract_decorated.functions);
  std::printf("parse:               %8.1f MB/s  (%.3f s)\n", decorated_mb / parse_decorated.seconds,
              parse_decorated.seconds);
  std::printf("parse+extract:       %8.1f MB/s  (%.3f s)\n", decorated_mb / extract_decorated.seconds,
              extract_decorated.seconds);
  std::printf("extract alone:       %8.1f MB/s  (%.3f s)\n", decorated_mb / decorated_alone, decorated_alone);
  std::printf("extraction adds %.1f%% to parse (whole passes: %+.1f%%)\n",
              100.0 * decorated_alone / parse_decorated.seconds,
              100.0 * (extract_decorated.seconds / parse_decorated.seconds - 1.0));
  return 0;
}
