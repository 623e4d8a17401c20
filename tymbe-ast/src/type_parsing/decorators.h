#pragma once
// Recognising the package's decorators through a file's own top-level
// from-imports, and locating the keywords of a call.

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>

#include "tymbe_ast/ast_types.h"
#include "tymbe_ast/parser_cache_types.h"
#include "tymbe_ast/syntax_tree.h"
#include "type_parsing/source_locator.h"

namespace tymbe::ast {

struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};
using LocalNames = std::unordered_set<std::string, TextHash, std::equal_to<>>;

// The local names that the import map binds to any of `symbols` imported from
// any of `modules`.
LocalNames collect_import_names_for_symbols_from_map(const ImportMap& import_map,
                                                     std::span<const std::string_view> modules,
                                                     std::span<const std::string_view> symbols);
// online, offline and stream from tymbe or tymbe.features.
LocalNames resolver_decorator_names(const ImportMap& import_map);
// features from tymbe.features only.
LocalNames feature_decorator_names(const ImportMap& import_map);

// The name a decorator is known by: a bare name, or the callee of a call when
// that is a bare name; nothing for any other expression.
std::optional<std::string_view> decorator_candidate_name(const Module& module, ExprId expression);
// The first decorator whose candidate name is in `names`, or null.
const Decorator* recognised_decorator(const Module& module, std::span<const Decorator> decorators,
                                      const LocalNames& names);

// The call an expression is, or null.
const Call* as_call(const Module& module, ExprId expression);

struct KeywordLocationMaps {
  LocationMap kwarg_names;  // keyword name -> the name as written
  LocationMap kwargs;       // keyword name -> its value
};
KeywordLocationMaps keyword_location_maps(const Module& module, std::span<const Keyword> keywords,
                                          const SourceLocator& locator);

}  // namespace tymbe::ast
