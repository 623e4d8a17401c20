#include "tymbe_ast/parser.h"

#include "parser/python_parser.h"

namespace tymbe::ast {

std::string ParseError::message() const {
  return description + " at byte range " + std::to_string(range.start) + ".." + std::to_string(range.end);
}

Result<Module, ParseError> parse_module(std::string source) { return parser::parse_python_module(std::move(source)); }

}  // namespace tymbe::ast
