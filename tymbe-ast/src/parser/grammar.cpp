#include "parser/grammar.h"

#include <cstring>
#include <string_view>

#include "tymbe_utils/result.h"

namespace tymbe::ast::parser {

namespace {

struct Named {
  const char* name;
  bool named;
  Sym sym;
};

constexpr Named kSymbols[] = {
    {"module", true, Sym::Module},
    {"block", true, Sym::Block},
    {"comment", true, Sym::Comment},
    {"line_continuation", true, Sym::LineContinuation},
    {"decorated_definition", true, Sym::DecoratedDefinition},
    {"decorator", true, Sym::Decorator},
    {"function_definition", true, Sym::FunctionDefinition},
    {"class_definition", true, Sym::ClassDefinition},
    {"parameters", true, Sym::Parameters},
    {"lambda_parameters", true, Sym::LambdaParameters},
    {"typed_parameter", true, Sym::TypedParameter},
    {"default_parameter", true, Sym::DefaultParameter},
    {"typed_default_parameter", true, Sym::TypedDefaultParameter},
    {"list_splat_pattern", true, Sym::ListSplatPattern},
    {"dictionary_splat_pattern", true, Sym::DictionarySplatPattern},
    {"keyword_separator", true, Sym::KeywordSeparator},
    {"positional_separator", true, Sym::PositionalSeparator},
    {"if_statement", true, Sym::IfStatement},
    {"elif_clause", true, Sym::ElifClause},
    {"else_clause", true, Sym::ElseClause},
    {"for_statement", true, Sym::ForStatement},
    {"while_statement", true, Sym::WhileStatement},
    {"with_statement", true, Sym::WithStatement},
    {"with_item", true, Sym::WithItem},
    {"match_statement", true, Sym::MatchStatement},
    {"case_clause", true, Sym::CaseClause},
    {"case_pattern", true, Sym::CasePattern},
    {"try_statement", true, Sym::TryStatement},
    {"except_clause", true, Sym::ExceptClause},
    {"except_group_clause", true, Sym::ExceptGroupClause},
    {"finally_clause", true, Sym::FinallyClause},
    {"expression_statement", true, Sym::ExpressionStatement},
    {"assignment", true, Sym::Assignment},
    {"augmented_assignment", true, Sym::AugmentedAssignment},
    {"return_statement", true, Sym::ReturnStatement},
    {"import_from_statement", true, Sym::ImportFromStatement},
    {"future_import_statement", true, Sym::FutureImportStatement},
    {"relative_import", true, Sym::RelativeImport},
    {"import_prefix", true, Sym::ImportPrefix},
    {"dotted_name", true, Sym::DottedName},
    {"aliased_import", true, Sym::AliasedImport},
    {"wildcard_import", true, Sym::WildcardImport},
    {"import_statement", true, Sym::ImportStatement},
    {"print_statement", true, Sym::PrintStatement},
    {"chevron", true, Sym::Chevron},
    {"exec_statement", true, Sym::ExecStatement},
    {"pass_statement", true, Sym::PassStatement},
    {"break_statement", true, Sym::BreakStatement},
    {"continue_statement", true, Sym::ContinueStatement},
    {"global_statement", true, Sym::GlobalStatement},
    {"nonlocal_statement", true, Sym::NonlocalStatement},
    {"delete_statement", true, Sym::DeleteStatement},
    {"assert_statement", true, Sym::AssertStatement},
    {"raise_statement", true, Sym::RaiseStatement},
    {"type_alias_statement", true, Sym::TypeAliasStatement},
    {"identifier", true, Sym::Identifier},
    {"call", true, Sym::Call},
    {"argument_list", true, Sym::ArgumentList},
    {"keyword_argument", true, Sym::KeywordArgument},
    {"dictionary", true, Sym::Dictionary},
    {"pair", true, Sym::Pair},
    {"dictionary_splat", true, Sym::DictionarySplat},
    {"list_splat", true, Sym::ListSplat},
    {"string", true, Sym::String},
    {"string_start", true, Sym::StringStart},
    {"string_content", true, Sym::StringContent},
    {"string_end", true, Sym::StringEnd},
    {"interpolation", true, Sym::Interpolation},
    {"format_specifier", true, Sym::FormatSpecifier},
    {"type_conversion", true, Sym::TypeConversion},
    {"concatenated_string", true, Sym::ConcatenatedString},
    {"boolean_operator", true, Sym::BooleanOperator},
    {"not_operator", true, Sym::NotOperator},
    {"named_expression", true, Sym::NamedExpression},
    {"binary_operator", true, Sym::BinaryOperator},
    {"unary_operator", true, Sym::UnaryOperator},
    {"lambda", true, Sym::Lambda},
    {"conditional_expression", true, Sym::ConditionalExpression},
    {"set", true, Sym::Set},
    {"list_comprehension", true, Sym::ListComprehension},
    {"set_comprehension", true, Sym::SetComprehension},
    {"dictionary_comprehension", true, Sym::DictionaryComprehension},
    {"generator_expression", true, Sym::GeneratorExpression},
    {"await", true, Sym::Await},
    {"yield", true, Sym::Yield},
    {"comparison_operator", true, Sym::ComparisonOperator},
    {"integer", true, Sym::Integer},
    {"float", true, Sym::Float},
    {"true", true, Sym::True},
    {"false", true, Sym::False},
    {"none", true, Sym::None},
    {"ellipsis", true, Sym::Ellipsis},
    {"attribute", true, Sym::Attribute},
    {"subscript", true, Sym::Subscript},
    {"slice", true, Sym::Slice},
    {"list", true, Sym::List},
    {"tuple", true, Sym::Tuple},
    {"expression_list", true, Sym::ExpressionList},
    {"pattern_list", true, Sym::PatternList},
    {"tuple_pattern", true, Sym::TuplePattern},
    {"list_pattern", true, Sym::ListPattern},
    {"parenthesized_expression", true, Sym::ParenthesizedExpression},
    {"as_pattern", true, Sym::AsPattern},
    {"as_pattern_target", true, Sym::AsPatternTarget},
    {"for_in_clause", true, Sym::ForInClause},
    {"if_clause", true, Sym::IfClause},
    {"type", true, Sym::Type},
    {"generic_type", true, Sym::GenericType},
    {"union_type", true, Sym::UnionType},
    {"member_type", true, Sym::MemberType},
    {"constrained_type", true, Sym::ConstrainedType},
    {"splat_type", true, Sym::SplatType},
    {"async", false, Sym::TokAsync},
    {",", false, Sym::TokComma},
    {"from", false, Sym::TokFrom},
    {"*", false, Sym::TokStar},
    {"**", false, Sym::TokDoubleStar},
    {"<>", false, Sym::TokNotEqualOld},
    {"__future__", false, Sym::TokFuture},
    {"(", false, Sym::TokOpenParen},
    {".", false, Sym::TokDot},
    {"...", false, Sym::TokEllipsisToken},
};

TSFieldId field(const TSLanguage* language, const char* name) {
  TSFieldId id = ts_language_field_id_for_name(language, name, static_cast<uint32_t>(std::strlen(name)));
  if (id == 0) throw InternalError(std::string("Python grammar has no field ") + name);
  return id;
}

}  // namespace

Grammar::Grammar() : language(tree_sitter_python()) {
  if (ts_language_version(language) != TREE_SITTER_LANGUAGE_VERSION &&
      ts_language_version(language) < TREE_SITTER_MIN_COMPATIBLE_LANGUAGE_VERSION) {
    throw InternalError("Python grammar built for an incompatible tree-sitter");
  }
  const uint32_t count = ts_language_symbol_count(language);
  by_symbol.assign(count, Sym::Other);
  // Aliases give one name several symbol ids, so map every id by its name.
  for (uint32_t id = 0; id < count; ++id) {
    const auto symbol = static_cast<TSSymbol>(id);
    const std::string_view name = ts_language_symbol_name(language, symbol);
    const TSSymbolType type = ts_language_symbol_type(language, symbol);
    if (type == TSSymbolTypeAuxiliary) continue;
    const bool named = type == TSSymbolTypeRegular;
    for (const Named& entry : kSymbols) {
      if (entry.named == named && name == entry.name) {
        by_symbol[id] = entry.sym;
        break;
      }
    }
  }
  alias = field(language, "alias");
  alternative = field(language, "alternative");
  argument = field(language, "argument");
  arguments = field(language, "arguments");
  body = field(language, "body");
  condition = field(language, "condition");
  consequence = field(language, "consequence");
  definition = field(language, "definition");
  function = field(language, "function");
  key = field(language, "key");
  left = field(language, "left");
  module_name = field(language, "module_name");
  name = field(language, "name");
  object = field(language, "object");
  parameters = field(language, "parameters");
  return_type = field(language, "return_type");
  right = field(language, "right");
  subject = field(language, "subject");
  type = field(language, "type");
  value = field(language, "value");
}

const Grammar& Grammar::get() {
  static const Grammar& grammar = *new Grammar;  // never destroyed: workers may parse during exit
  return grammar;
}

}  // namespace tymbe::ast::parser
