#pragma once
// The Python class AstFileParserCache: a parse cache of its own over a file
// list or over a StdAstFileSystem object, handing out each file's text and
// top-level import map.

#include "py_class.h"

namespace tymbe::py {

extern PyClass ast_file_parser_cache_class;

}  // namespace tymbe::py
