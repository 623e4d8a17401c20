#pragma once
// The module's five functions over the name and duration utilities, as static
// definitions; the module's execution step makes a function object from each.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace tymbe::py {

extern PyMethodDef parse_duration_ms_def;
extern PyMethodDef parse_duration_s_def;
extern PyMethodDef seconds_to_duration_string_def;
extern PyMethodDef to_snake_case_def;
extern PyMethodDef build_namespaced_name_def;

}  // namespace tymbe::py
