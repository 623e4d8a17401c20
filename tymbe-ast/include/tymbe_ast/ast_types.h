#pragma once
// The records the definition index extracts. Plain values: every record owns
// its texts and locations and refers to nothing in the parsed file.

#include <optional>
#include <string>
#include <vector>

#include "tymbe_ast/locations.h"
#include "tymbe_ast/name_map.h"

namespace tymbe::ast {

using LocationMap = NameMap<Location>;
using NestedLocationMap = NameMap<LocationMap>;

struct FunctionArgAST {
  std::string arg_name;
  Location arg_location;                // name (or "*"/"**") through the annotation
  std::optional<Location> annotation;
  friend bool operator==(const FunctionArgAST&, const FunctionArgAST&) = default;
};

// One function definition, resolver or not.
struct ResolverAST {
  std::string module;
  std::string resolver_name;
  Location resolver_name_location;
  std::optional<Location> decorator_location;
  LocationMap kwarg_names;
  LocationMap kwargs;
  NestedLocationMap kwarg_dict_key_names;
  NestedLocationMap kwarg_dict_values;
  std::vector<std::string> args_in_order;
  NameMap<FunctionArgAST> args;
  std::optional<Location> return_annotation;
  std::optional<Location> missing_return_annotation;
  std::vector<Location> return_statements;
  std::optional<Location> body;
  std::optional<Location> return_arg;
  friend bool operator==(const ResolverAST&, const ResolverAST&) = default;
};

struct FeatureFieldAST {
  std::string field_name;
  Location field_name_location;
  std::optional<std::string> comment;
  std::optional<std::string> description;
  std::optional<std::string> owner;
  std::vector<std::string> tags;
  std::optional<Location> annotation;
  std::optional<Location> feature_call;
  LocationMap kwarg_names;
  LocationMap kwargs;
  friend bool operator==(const FeatureFieldAST&, const FeatureFieldAST&) = default;
};

struct FeatureClassAST {
  std::string module;
  std::string namespace_;
  std::string class_name;
  std::string source;
  Location class_name_location;
  Location class_definition_location;
  Location decorator_location;
  LocationMap kwarg_names;
  LocationMap kwargs;
  NameMap<FeatureFieldAST> fields;
  std::vector<FeatureFieldAST> annotations;
  friend bool operator==(const FeatureClassAST&, const FeatureClassAST&) = default;
};

// The extraction outcome of one file, in definition order.
struct ParsedAstFile {
  std::vector<FeatureClassAST> feature_classes;
  std::vector<ResolverAST> functions;
  std::vector<ResolverAST> resolvers;  // the functions whose decorator_location is present
};

}  // namespace tymbe::ast
