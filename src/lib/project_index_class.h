#pragma once
// The Python class AstProjectIndex: builds a project index and answers
// lookups of functions, resolvers and feature classes with new record objects.

#include "py_class.h"

namespace tymbe::py {

extern PyClass ast_project_index_class;

}  // namespace tymbe::py
