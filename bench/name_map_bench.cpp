// Extraction of definitions with very many names, whose maps (arguments,
// decorator keywords, dict keys, feature fields) must build in time linear in
// their size: each generated source is parsed once, then extracted, and the
// best of a few extractions is printed beside the parse.
//
//   tymbe_name_map_bench [PASSES]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tymbe_ast/parser.h"
#include "tymbe_ast/parser_cache_types.h"
#include "tymbe_ast/type_parsing.h"

namespace {

using namespace tymbe::ast;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Built by appending ("k" + std::to_string(i) trips a false -Wrestrict in GCC 12).
std::string numbered(std::string_view prefix, size_t i, std::string_view suffix = {}) {
  std::string text(prefix);
  text += std::to_string(i);
  text += suffix;
  return text;
}

std::string joined(size_t count, const std::function<std::string(size_t)>& item) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) out += ", ";
    out += item(i);
  }
  return out;
}

struct Case {
  const char* name;
  size_t count;
  std::string source;
  // The size of the map the case is about, to show that nothing was lost.
  std::function<size_t(const ParsedAstFile&)> map_size;
};

std::vector<Case> cases() {
  std::vector<Case> all;
  all.push_back({"parameters", 100000,
                 "def f(" + joined(100000, [](size_t i) { return numbered("p", i, ": int"); }) +
                     "):\n    pass\n",
                 [](const ParsedAstFile& file) { return file.functions.at(0).args.size(); }});
  all.push_back({"decorator keywords", 64000,
                 "from tymbe import online\n@online(" +
                     joined(64000, [](size_t i) { return numbered("k", i, "=") + std::to_string(i); }) +
                     ")\ndef f():\n    pass\n",
                 [](const ParsedAstFile& file) { return file.resolvers.at(0).kwargs.size(); }});
  // Every key twice: the later entry replaces the earlier one.
  all.push_back({"dict keys, each twice", 64000,
                 "from tymbe import online\n@online(tags={" + joined(64000, [](size_t i) {
                   return numbered("'k", i % 32000, "': ") + std::to_string(i);
                 }) + "})\ndef f():\n    pass\n",
                 [](const ParsedAstFile& file) { return file.resolvers.at(0).kwarg_dict_values.find("tags")->size(); }});
  std::string fields = "from tymbe.features import features\n@features\nclass C:\n";
  for (size_t i = 0; i < 64000; ++i) fields += numbered("    f", i, ": int = feature(x=1)\n");
  all.push_back({"feature fields", 64000, std::move(fields),
                 [](const ParsedAstFile& file) { return file.feature_classes.at(0).fields.size(); }});
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  std::printf("%-24s %8s %10s %12s %10s\n", "case", "names", "parse s", "extract s", "map size");
  for (const Case& c : cases()) {
    const Clock::time_point parse_start = Clock::now();
    tymbe::Result<Module, ParseError> module = parse_module(c.source);
    const double parse = seconds_since(parse_start);
    if (!module) {
      std::fprintf(stderr, "%s: %s\n", c.name, module.error().message().c_str());
      return 1;
    }
    ImportMap imports = build_import_map(*module);
    const ParsedFileCache file{"/bench/names.py", std::move(module).value(), std::move(imports)};
    double extract = 1e300;
    size_t size = 0;
    for (int i = 0; i < passes; ++i) {
      const Clock::time_point start = Clock::now();
      const ParsedAstFile parsed = parse_ast_file_with_feature_module(file, "bench");
      extract = std::min(extract, seconds_since(start));
      size = c.map_size(parsed);
    }
    std::printf("%-24s %8zu %10.3f %12.3f %10zu\n", c.name, c.count, parse, extract, size);
  }
  return 0;
}
