#include "record_classes.h"

namespace tymbe::py {
namespace {

using ast::FeatureClassAST;
using ast::FeatureFieldAST;
using ast::FunctionArgAST;
using ast::ResolverAST;

PyGetSetDef resolver_properties[] = {
    property<resolver_ast_class, &ResolverAST::module>("module"),
    property<resolver_ast_class, &ResolverAST::resolver_name>("resolver_name"),
    property<resolver_ast_class, &ResolverAST::resolver_name_location>("resolver_name_location"),
    property<resolver_ast_class, &ResolverAST::decorator_location>("decorator_location"),
    property<resolver_ast_class, &ResolverAST::kwarg_names>("kwarg_names"),
    property<resolver_ast_class, &ResolverAST::kwargs>("kwargs"),
    property<resolver_ast_class, &ResolverAST::kwarg_dict_key_names>("kwarg_dict_key_names"),
    property<resolver_ast_class, &ResolverAST::kwarg_dict_values>("kwarg_dict_values"),
    property<resolver_ast_class, &ResolverAST::args_in_order>("args_in_order"),
    property<resolver_ast_class, &ResolverAST::args>("args"),
    property<resolver_ast_class, &ResolverAST::return_annotation>("return_annotation"),
    property<resolver_ast_class, &ResolverAST::missing_return_annotation>("missing_return_annotation"),
    property<resolver_ast_class, &ResolverAST::return_statements>("return_statements"),
    property<resolver_ast_class, &ResolverAST::body>("body"),
    property<resolver_ast_class, &ResolverAST::return_arg>("return_arg"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyGetSetDef function_arg_properties[] = {
    property<function_arg_ast_class, &FunctionArgAST::arg_name>("arg_name"),
    property<function_arg_ast_class, &FunctionArgAST::arg_location>("arg_location"),
    property<function_arg_ast_class, &FunctionArgAST::annotation>("annotation"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyGetSetDef feature_class_properties[] = {
    property<feature_class_ast_class, &FeatureClassAST::module>("module"),
    property<feature_class_ast_class, &FeatureClassAST::namespace_>("namespace"),
    property<feature_class_ast_class, &FeatureClassAST::class_name>("class_name"),
    property<feature_class_ast_class, &FeatureClassAST::source>("source"),
    property<feature_class_ast_class, &FeatureClassAST::class_name_location>("class_name_location"),
    property<feature_class_ast_class, &FeatureClassAST::class_definition_location>("class_definition_location"),
    property<feature_class_ast_class, &FeatureClassAST::decorator_location>("decorator_location"),
    property<feature_class_ast_class, &FeatureClassAST::kwarg_names>("kwarg_names"),
    property<feature_class_ast_class, &FeatureClassAST::kwargs>("kwargs"),
    property<feature_class_ast_class, &FeatureClassAST::fields>("fields"),
    property<feature_class_ast_class, &FeatureClassAST::annotations>("annotations"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyGetSetDef feature_field_properties[] = {
    property<feature_field_ast_class, &FeatureFieldAST::field_name>("field_name"),
    property<feature_field_ast_class, &FeatureFieldAST::field_name_location>("field_name_location"),
    property<feature_field_ast_class, &FeatureFieldAST::comment>("comment"),
    property<feature_field_ast_class, &FeatureFieldAST::description>("description"),
    property<feature_field_ast_class, &FeatureFieldAST::owner>("owner"),
    property<feature_field_ast_class, &FeatureFieldAST::tags>("tags"),
    property<feature_field_ast_class, &FeatureFieldAST::annotation>("annotation"),
    property<feature_field_ast_class, &FeatureFieldAST::feature_call>("feature_call"),
    property<feature_field_ast_class, &FeatureFieldAST::kwarg_names>("kwarg_names"),
    property<feature_field_ast_class, &FeatureFieldAST::kwargs>("kwargs"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

// A record class: no documentation, no constructor, properties only.
template <class Record>
constexpr ClassSpec record_spec(const char* name, PyGetSetDef* properties) {
  return ClassSpec{
      .name = name,
      .doc = nullptr,
      .basicsize = instance_size<Record>,
      .constructor = nullptr,
      .dealloc = &dealloc_instance<Record>,
      .methods = nullptr,
      .properties = properties,
  };
}

}  // namespace

constinit PyClass feature_field_ast_class{record_spec<FeatureFieldAST>("FeatureFieldAST", feature_field_properties)};
constinit PyClass feature_class_ast_class{record_spec<FeatureClassAST>("FeatureClassAST", feature_class_properties)};
constinit PyClass function_arg_ast_class{record_spec<FunctionArgAST>("FunctionArgAST", function_arg_properties)};
constinit PyClass resolver_ast_class{record_spec<ResolverAST>("ResolverAST", resolver_properties)};

}  // namespace tymbe::py
