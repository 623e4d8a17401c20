#pragma once
// Dotted module names derived from path text alone, by the Unix path rules:
// components (empty pieces and non-leading "." dropped, ".." kept), equality
// by components, joining to a base, prefixes and stems.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tymbe::ast {

bool is_absolute_path(std::string_view path);
// `path` when absolute, else `base` joined with it ('src' + 'a.py' -> 'src/a.py').
std::string join_to_root(std::string_view base, std::string_view path);
// Equality and hashing by component sequence: 'pkg//m.py' equals 'pkg/m.py'.
bool paths_equal(std::string_view a, std::string_view b);
struct PathHash {
  using is_transparent = void;
  size_t operator()(std::string_view path) const;
};
struct PathEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const { return paths_equal(a, b); }
};

// '/proj/pkg/sub/mod.py' under '/proj' -> 'pkg.sub.mod'; outside the root, the stem.
std::string module_name_for_absolute_path(std::string_view path, std::string_view project_root);

// The memo a parse cache fills once from its file system's list.
using ModuleNameMap = std::unordered_map<std::string, std::string, PathHash, PathEqual>;

// Each listed path joined to the root, mapped to its name. Of two keys equal
// by components the first text stays and the later name wins.
ModuleNameMap build_module_names(std::string_view project_root, const std::vector<std::string>& files);

}  // namespace tymbe::ast
