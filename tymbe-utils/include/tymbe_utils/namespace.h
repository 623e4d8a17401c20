#pragma once
// Snake-case names and "::"-joined namespaced names.

#include <optional>
#include <string>
#include <string_view>

namespace tymbe::utils {

// 'XMLParser' -> 'xml_parser'. Never fails; safe on any number of threads.
std::string to_snake_case(std::string_view name);
// ('MyFeatures::UserStats', 'count') -> 'my_features::user_stats::count'.
std::string build_namespaced_name(std::optional<std::string_view> namespace_,
                                  std::optional<std::string_view> name);

}  // namespace tymbe::utils
