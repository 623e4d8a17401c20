// Test-only tool: reads each file named on standard input (one path a line),
// parses it, extracts its definitions and prints our ParsedAstFile as JSON,
// one object per line, in input order:
//   {"path", "error", "functions", "resolvers", "feature_classes"}
// A location is [start line, start character, end line, end character] or
// null; maps are objects with sorted keys. `error` is the read or parse
// failure (then the lists are empty). Used by
// tests/python/test_extraction_reference.py.

#include <algorithm>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "tymbe_ast/ast_filesystem.h"
#include "tymbe_ast/parser.h"
#include "tymbe_ast/parser_cache_types.h"
#include "tymbe_ast/type_parsing.h"

namespace {

using namespace tymbe::ast;

void put_string(std::string& out, std::string_view text) {
  static const char* hex = "0123456789abcdef";
  out += '"';
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      out += "\\u00";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += ch;  // texts come from valid UTF-8 sources
    }
  }
  out += '"';
}

void put_optional_string(std::string& out, const std::optional<std::string>& text) {
  if (text) {
    put_string(out, *text);
  } else {
    out += "null";
  }
}

void put_location(std::string& out, const Location& location) {
  const Range& r = location.range;
  out += '[' + std::to_string(r.start.line) + ',' + std::to_string(r.start.character) + ',' +
         std::to_string(r.end.line) + ',' + std::to_string(r.end.character) + ']';
}

void put_location(std::string& out, const std::optional<Location>& location) {
  if (location) {
    put_location(out, *location);
  } else {
    out += "null";
  }
}

template <class Map, class Put>
void put_map(std::string& out, const Map& map, Put put) {
  std::map<std::string_view, const typename Map::value_type*> sorted;
  for (const auto& entry : map) sorted.emplace(entry.first, &entry);
  out += '{';
  bool first = true;
  for (const auto& [key, entry] : sorted) {
    if (!first) out += ',';
    first = false;
    put_string(out, key);
    out += ':';
    put(out, entry->second);
  }
  out += '}';
}

void put_location_map(std::string& out, const LocationMap& map) {
  put_map(out, map, [](std::string& o, const Location& l) { put_location(o, l); });
}

void put_strings(std::string& out, const std::vector<std::string>& texts) {
  out += '[';
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i) out += ',';
    put_string(out, texts[i]);
  }
  out += ']';
}

void put_function(std::string& out, const ResolverAST& f) {
  out += "{\"name\":";
  put_string(out, f.resolver_name);
  out += ",\"name_location\":";
  put_location(out, f.resolver_name_location);
  out += ",\"decorator\":";
  put_location(out, f.decorator_location);
  out += ",\"kwarg_names\":";
  put_location_map(out, f.kwarg_names);
  out += ",\"kwargs\":";
  put_location_map(out, f.kwargs);
  out += ",\"kwarg_dict_key_names\":";
  put_map(out, f.kwarg_dict_key_names, put_location_map);
  out += ",\"kwarg_dict_values\":";
  put_map(out, f.kwarg_dict_values, put_location_map);
  out += ",\"args_in_order\":";
  put_strings(out, f.args_in_order);
  out += ",\"args\":";
  put_map(out, f.args, [](std::string& o, const FunctionArgAST& arg) {
    o += "{\"location\":";
    put_location(o, arg.arg_location);
    o += ",\"annotation\":";
    put_location(o, arg.annotation);
    o += '}';
  });
  out += ",\"return_annotation\":";
  put_location(out, f.return_annotation);
  out += ",\"missing_return_annotation\":";
  put_location(out, f.missing_return_annotation);
  out += ",\"return_statements\":[";
  for (size_t i = 0; i < f.return_statements.size(); ++i) {
    if (i) out += ',';
    put_location(out, f.return_statements[i]);
  }
  out += "],\"body\":";
  put_location(out, f.body);
  out += ",\"return_arg\":";
  put_location(out, f.return_arg);
  out += '}';
}

void put_field(std::string& out, const FeatureFieldAST& field) {
  out += "{\"name\":";
  put_string(out, field.field_name);
  out += ",\"name_location\":";
  put_location(out, field.field_name_location);
  out += ",\"comment\":";
  put_optional_string(out, field.comment);
  out += ",\"description\":";
  put_optional_string(out, field.description);
  out += ",\"owner\":";
  put_optional_string(out, field.owner);
  out += ",\"tags\":";
  put_strings(out, field.tags);
  out += ",\"annotation\":";
  put_location(out, field.annotation);
  out += ",\"feature_call\":";
  put_location(out, field.feature_call);
  out += ",\"kwarg_names\":";
  put_location_map(out, field.kwarg_names);
  out += ",\"kwargs\":";
  put_location_map(out, field.kwargs);
  out += '}';
}

void put_class(std::string& out, const FeatureClassAST& c) {
  out += "{\"class_name\":";
  put_string(out, c.class_name);
  out += ",\"namespace\":";
  put_string(out, c.namespace_);
  out += ",\"source\":";
  put_string(out, c.source);
  out += ",\"class_name_location\":";
  put_location(out, c.class_name_location);
  out += ",\"class_definition_location\":";
  put_location(out, c.class_definition_location);
  out += ",\"decorator_location\":";
  put_location(out, c.decorator_location);
  out += ",\"kwarg_names\":";
  put_location_map(out, c.kwarg_names);
  out += ",\"kwargs\":";
  put_location_map(out, c.kwargs);
  out += ",\"fields\":";
  put_map(out, c.fields, put_field);
  out += ",\"annotations\":[";
  for (size_t i = 0; i < c.annotations.size(); ++i) {
    if (i) out += ',';
    put_field(out, c.annotations[i]);
  }
  out += "]}";
}

std::string dump(const std::string& path) {
  std::string out = "{\"path\":";
  put_string(out, path);
  const StdAstFileSystem filesystem({});
  tymbe::Result<std::string, IoError> text = filesystem.read_to_string(path);
  if (!text) {
    out += ",\"error\":";
    put_string(out, text.error().text);
    return out + ",\"functions\":[],\"resolvers\":[],\"feature_classes\":[]}";
  }
  tymbe::Result<Module, ParseError> module = parse_module(std::move(text).value());
  if (!module) {
    out += ",\"error\":";
    put_string(out, module.error().message());
    return out + ",\"functions\":[],\"resolvers\":[],\"feature_classes\":[]}";
  }
  ImportMap imports = build_import_map(*module);
  const ParsedFileCache file{path, std::move(module).value(), std::move(imports)};
  const ParsedAstFile parsed = parse_ast_file_with_feature_module(file, "dump");
  out += ",\"error\":null,\"functions\":[";
  for (size_t i = 0; i < parsed.functions.size(); ++i) {
    if (i) out += ',';
    put_function(out, parsed.functions[i]);
  }
  out += "],\"resolvers\":[";
  for (size_t i = 0; i < parsed.resolvers.size(); ++i) {
    if (i) out += ',';
    put_string(out, parsed.resolvers[i].resolver_name);
  }
  out += "],\"feature_classes\":[";
  for (size_t i = 0; i < parsed.feature_classes.size(); ++i) {
    if (i) out += ',';
    put_class(out, parsed.feature_classes[i]);
  }
  return out + "]}";
}

}  // namespace

int main() {
  std::ios::sync_with_stdio(false);
  std::string path;
  while (std::getline(std::cin, path)) {
    if (path.empty()) continue;
    std::cout << dump(path) << '\n';
  }
  return 0;
}
