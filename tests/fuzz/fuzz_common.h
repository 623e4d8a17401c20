// What both fuzz runs share (extraction_fuzz.cpp, a seeded mutation run of
// its own, and parse_fuzz.cpp, a libFuzzer entry): the checks that every
// parse and extraction outcome must pass, and the mutations that steer
// inputs towards the syntax the extraction reads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "tymbe_ast/parser.h"
#include "tymbe_ast/parser_cache_types.h"
#include "tymbe_ast/type_parsing.h"
#include "tymbe_utils/utf8.h"
#include "tree_shape.h"

namespace tymbe_fuzz {

using namespace tymbe::ast;

// Prepended to every other input, so that the decorator, resolver and
// feature-class paths run on files that never import the package.
constexpr std::string_view kPackageImports =
    "from tymbe import online, offline as off, stream\nfrom tymbe.features import features, online as live\n";

// Fragments that steer mutations towards the syntax the extraction reads.
constexpr std::string_view kFragments[] = {
    "def ", "async def ", "class ", "return ", "return\n", "@online\n", "@off(a=1, **k)\n",
    "@features(name='ns', owner=\"x\")\n", "@live(tags={'a': 1, \"b\" 'c': 2, **m})\n", "@features\n",
    "x: int = feature(a=1)\n", "y = 5\n", "# :owner: team\n", "# :tags: a, b\n", "#\n", "(", ")", ":", ",",
    "=", "*", "**", "/", "->", "{", "}", "[", "]", "\n", "\r\n", "\r", "\t", "    ", "\f", "\\\n", "'", "\"\"\"",
    "f'{x}'", "b'x'", "\xC3\xA9", "\xEF\xBC\xA1", "\xEF\xBB\xBF", "\xE2\x80\xA8", "if x:\n", "try:\n",
    "except* E:\n", "match x:\n    case 1:\n", "lambda: 0", "type X = int\n", "def f[T](x: T) -> T: ...\n",
};

// Strict UTF-8, as the file system requires before anything is parsed.
inline bool is_valid_utf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = tymbe::utils::utf8::sequence_length(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

// The lines of a text by the line index's rules, for the bounds check.
inline uint32_t line_count(std::string_view text) {
  uint32_t lines = 1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++lines;
  }
  return lines;
}

struct Stats {
  std::atomic<uint64_t> inputs{0};
  std::atomic<uint64_t> parsed{0};
  std::atomic<uint64_t> functions{0};
  std::atomic<uint64_t> resolvers{0};
  std::atomic<uint64_t> feature_classes{0};
  std::atomic<uint64_t> failures{0};
};

class Checker {
 public:
  Checker(std::string_view source, bool has_uri) : lines_(line_count(source)), has_uri_(has_uri) {}

  bool ok() const { return problem_.empty(); }
  const std::string& problem() const { return problem_; }

  void location(const Location& location, const char* what) {
    const Range& r = location.range;
    if (r.end.line >= lines_ || r.start.line > r.end.line ||
        (r.start.line == r.end.line && r.start.character > r.end.character)) {
      fail(what);
    }
  }
  void location(const std::optional<Location>& location, const char* what) {
    if (location) this->location(*location, what);
  }
  template <class Map>
  void locations(const Map& map, const char* what) {
    for (const auto& [name, location] : map) this->location(location, what);
  }

  void file(const ParsedAstFile& file) {
    if (!has_uri_ && (!file.functions.empty() || !file.feature_classes.empty())) fail("records without a URI");
    size_t decorated = 0;
    for (const ResolverAST& f : file.functions) {
      location(f.resolver_name_location, "resolver_name_location");
      location(f.decorator_location, "decorator_location");
      locations(f.kwarg_names, "kwarg_names");
      locations(f.kwargs, "kwargs");
      for (const auto& [name, map] : f.kwarg_dict_key_names) locations(map, "kwarg_dict_key_names");
      for (const auto& [name, map] : f.kwarg_dict_values) locations(map, "kwarg_dict_values");
      if (f.args.size() > f.args_in_order.size()) fail("args larger than args_in_order");
      for (const std::string& name : f.args_in_order) {
        if (!f.args.find(name)) fail("args_in_order name missing from args");
      }
      for (const auto& [name, arg] : f.args) {
        location(arg.arg_location, "arg_location");
        location(arg.annotation, "arg annotation");
      }
      if (f.return_annotation && f.missing_return_annotation) fail("both return annotation forms");
      location(f.return_annotation, "return_annotation");
      location(f.missing_return_annotation, "missing_return_annotation");
      for (const Location& r : f.return_statements) location(r, "return_statements");
      location(f.body, "body");
      location(f.return_arg, "return_arg");
      if (f.decorator_location) ++decorated;
    }
    if (decorated != file.resolvers.size()) fail("resolvers are not the decorated functions");
    for (const FeatureClassAST& c : file.feature_classes) {
      location(c.class_name_location, "class_name_location");
      location(c.class_definition_location, "class_definition_location");
      location(c.decorator_location, "class decorator_location");
      locations(c.kwarg_names, "class kwarg_names");
      locations(c.kwargs, "class kwargs");
      for (const auto& [name, field] : c.fields) {
        if (name != field.field_name) fail("field key differs from field_name");
        location(field.field_name_location, "field_name_location");
        location(field.annotation, "field annotation");
        location(field.feature_call, "feature_call");
        locations(field.kwarg_names, "field kwarg_names");
        locations(field.kwargs, "field kwargs");
      }
      for (const FeatureFieldAST& field : c.annotations) {
        if (!c.fields.find(field.field_name)) fail("annotated field missing from fields");
        if (!field.annotation) fail("annotated field without annotation");
      }
    }
  }

 private:
  void fail(const char* what) {
    if (problem_.empty()) problem_ = what;
  }
  uint32_t lines_;
  bool has_uri_;
  std::string problem_;
};

// Parses, maps the imports and extracts one input, counting in `stats`;
// the first broken invariant, or nothing.
inline std::optional<std::string> check_one(std::string_view input, bool has_uri, Stats& stats) {
  stats.inputs.fetch_add(1, std::memory_order_relaxed);
  if (!is_valid_utf8(input)) return std::nullopt;
  tymbe::Result<Module, ParseError> module = parse_module(std::string(input));
  if (!module) return std::nullopt;
  stats.parsed.fetch_add(1, std::memory_order_relaxed);
  if (auto problem = tymbe_test::tree_shape_problem(*module)) {
    stats.failures.fetch_add(1, std::memory_order_relaxed);
    return *problem;
  }
  ImportMap imports = build_import_map(*module);
  const ParsedFileCache file{has_uri ? "/fuzz/input.py" : "/fuzz/in|put.py", std::move(module).value(),
                             std::move(imports)};
  const ParsedAstFile parsed = parse_ast_file_with_feature_module(file, "fuzz.input");
  stats.functions.fetch_add(parsed.functions.size(), std::memory_order_relaxed);
  stats.resolvers.fetch_add(parsed.resolvers.size(), std::memory_order_relaxed);
  stats.feature_classes.fetch_add(parsed.feature_classes.size(), std::memory_order_relaxed);
  Checker checker(file.source(), has_uri);
  checker.file(parsed);
  if (checker.ok()) return std::nullopt;
  stats.failures.fetch_add(1, std::memory_order_relaxed);
  return checker.problem();
}

// Puts the package's decorators in front of some definitions, so that
// resolvers and feature classes (with fields and comments) come out of files
// that have none.
inline std::string decorate(std::string_view text, std::mt19937_64& rng) {
  std::string out(kPackageImports);
  out.reserve(text.size() * 2);
  size_t line_start = 0;
  while (line_start < text.size()) {
    size_t end = text.find('\n', line_start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    const std::string_view line = text.substr(line_start, end - line_start);
    const size_t indent = line.find_first_not_of(" \t");
    if (indent != std::string_view::npos && rng() % 2) {
      const std::string_view rest = line.substr(indent);
      const std::string_view prefix = line.substr(0, indent);
      if (rest.starts_with("class ")) {
        out.append(prefix).append(rng() % 2 ? "@features(name='n')\n" : "@features\n");
      } else if (rest.starts_with("def ") || rest.starts_with("async def ")) {
        out.append(prefix).append(rng() % 2 ? "@online(owner='x', tags={'a': 1})\n" : "@off\n");
      }
    }
    out.append(line);
    line_start = end;
  }
  return out;
}

inline std::string mutate(std::string text, std::mt19937_64& rng) {
  const size_t steps = 1 + rng() % 4;
  for (size_t step = 0; step < steps; ++step) {
    const size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
    switch (rng() % 6) {
      case 0:  // insert a fragment
        text.insert(at, kFragments[rng() % std::size(kFragments)]);
        break;
      case 1:  // delete a short run
        if (!text.empty()) text.erase(std::min(at, text.size() - 1), 1 + rng() % 16);
        break;
      case 2:  // replace a byte with a random ASCII one
        if (at < text.size()) text[at] = static_cast<char>(0x09 + rng() % 0x76);
        break;
      case 3: {  // duplicate a run
        if (text.empty()) break;
        const size_t from = rng() % text.size();
        const size_t length = std::min<size_t>(1 + rng() % 200, text.size() - from);
        const std::string run = text.substr(from, length);
        text.insert(at, run);
        break;
      }
      case 4:  // change the indentation of a line
        if (const size_t line = text.rfind('\n', at); line != std::string::npos) {
          text.insert(line + 1, std::string(1 + rng() % 8, rng() % 4 ? ' ' : '\t'));
        }
        break;
      default:  // flip a byte (often leaves invalid UTF-8, which is skipped)
        if (at < text.size()) text[at] = static_cast<char>(text[at] ^ (1u << (rng() % 8)));
        break;
    }
  }
  return text;
}

}  // namespace tymbe_fuzz
