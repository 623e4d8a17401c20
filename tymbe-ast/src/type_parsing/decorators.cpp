#include "type_parsing/decorators.h"

#include <array>

namespace tymbe::ast {

LocalNames collect_import_names_for_symbols_from_map(const ImportMap& import_map,
                                                     std::span<const std::string_view> modules,
                                                     std::span<const std::string_view> symbols) {
  LocalNames names;
  for (const std::string_view module : modules) {
    const auto imported = import_map.find(std::string(module));
    if (imported == import_map.end()) continue;
    for (const std::string_view symbol : symbols) {
      const auto locals = imported->second.find(std::string(symbol));
      if (locals == imported->second.end()) continue;
      names.insert(locals->second.begin(), locals->second.end());
    }
  }
  return names;
}

LocalNames resolver_decorator_names(const ImportMap& import_map) {
  static constexpr std::array<std::string_view, 2> kModules{"tymbe", "tymbe.features"};
  static constexpr std::array<std::string_view, 3> kSymbols{"online", "offline", "stream"};
  return collect_import_names_for_symbols_from_map(import_map, kModules, kSymbols);
}

LocalNames feature_decorator_names(const ImportMap& import_map) {
  static constexpr std::array<std::string_view, 1> kModules{"tymbe.features"};
  static constexpr std::array<std::string_view, 1> kSymbols{"features"};
  return collect_import_names_for_symbols_from_map(import_map, kModules, kSymbols);
}

const Call* as_call(const Module& module, ExprId expression) {
  if (!present(expression)) return nullptr;
  const Expr& expr = module.expr(expression);
  return expr.kind == ExprKind::Call ? &module.call(expr) : nullptr;
}

std::optional<std::string_view> decorator_candidate_name(const Module& module, ExprId expression) {
  if (!present(expression)) return std::nullopt;
  if (const Call* call = as_call(module, expression)) expression = call->func;
  if (!present(expression)) return std::nullopt;
  const Expr& expr = module.expr(expression);
  if (expr.kind != ExprKind::Name) return std::nullopt;
  return module.text(module.name(expr).id);
}

const Decorator* recognised_decorator(const Module& module, std::span<const Decorator> decorators,
                                      const LocalNames& names) {
  if (names.empty()) return nullptr;
  for (const Decorator& decorator : decorators) {
    const std::optional<std::string_view> name = decorator_candidate_name(module, decorator.expression);
    if (name && names.contains(*name)) return &decorator;
  }
  return nullptr;
}

KeywordLocationMaps keyword_location_maps(const Module& module, std::span<const Keyword> keywords,
                                          const SourceLocator& locator) {
  KeywordLocationMaps maps;
  const std::string_view source = locator.source();
  for (const Keyword& keyword : keywords) {
    if (!keyword.arg || !present(keyword.value)) continue;
    const uint32_t start = keyword.range.start;
    const uint32_t value_start = module.expr(keyword.value).range.start;
    if (start >= value_start || value_start > source.size()) continue;
    // The parser gives a non-ASCII name in NFKC, which need not be its written
    // form; such a name is not found here and gets no entry.
    const std::string_view name = module.text(*keyword.arg);
    const size_t found = source.substr(start, value_start - start).find(name);
    if (name.empty() || found == std::string_view::npos) continue;
    const uint32_t name_start = start + static_cast<uint32_t>(found);
    maps.kwarg_names.insert_or_assign(std::string(name),
                                      locator.location(name_start, name_start + static_cast<uint32_t>(name.size())));
    maps.kwargs.insert_or_assign(std::string(name), locator.location(module.expr(keyword.value)));
  }
  return maps;
}

}  // namespace tymbe::ast
