#pragma once
// The Python class StdAstFileSystem: a normalised file list, and files read
// from disk through it. Caches and indexes built over one share its handle.

#include "py_args.h"
#include "py_class.h"
#include "tymbe_ast/ast_filesystem.h"

namespace tymbe::py {

extern PyClass std_ast_filesystem_class;

// The `filesystem` argument: absent or None gives null; a StdAstFileSystem
// object gives a further share of its handle; anything else is a TypeError
// naming the argument.
ast::AstFileSystemHandle filesystem_arg(const Arg& arg);

}  // namespace tymbe::py
