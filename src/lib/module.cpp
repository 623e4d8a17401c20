// The module tymbe_rs: its one exported entry, its definition, and the
// execution step that adds the classes and functions in a fixed order.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <string>

#include "filesystem_class.h"
#include "module_functions.h"
#include "parser_cache_class.h"
#include "project_index_class.h"
#include "py_class.h"
#include "py_errors.h"
#include "py_ref.h"
#include "record_classes.h"

namespace tymbe::py {
namespace {

// One name the module holds: a class, or a function made anew for each module
// object. The order of this table is the order of the module's __all__.
struct Addition {
  PyClass* cls;
  PyMethodDef* function;
};

const Addition module_contents[] = {
    {&std_ast_filesystem_class, nullptr},
    {&ast_file_parser_cache_class, nullptr},
    {&feature_field_ast_class, nullptr},
    {&feature_class_ast_class, nullptr},
    {&function_arg_ast_class, nullptr},
    {&resolver_ast_class, nullptr},
    {&ast_project_index_class, nullptr},
    {nullptr, &parse_duration_ms_def},
    {nullptr, &parse_duration_s_def},
    {nullptr, &seconds_to_duration_string_def},
    {nullptr, &to_snake_case_def},
    {nullptr, &build_namespaced_name_def},
};

// Appends `name` to the module's __all__ (made when missing), then sets it.
void add_name(PyObject* module, PyObject* name, PyObject* object) {
  Ref all = Ref::steal(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw PythonError{};
    PyErr_Clear();
    all = Ref::check(PyList_New(0));
    check_status(PyObject_SetAttrString(module, "__all__", all.get()));
  }
  if (!PyList_Check(all.get())) {
    raise_type_error(std::string("__all__ must be a list, not ") + Py_TYPE(all.get())->tp_name);
  }
  check_status(PyList_Append(all.get(), name));
  check_status(PyObject_SetAttr(module, name, object));
}

void add_class(PyObject* module, PyClass& cls) {
  PyTypeObject* type = cls.type();
  add_name(module, text_to_py(cls.name()).get(), reinterpret_cast<PyObject*>(type));
}

void add_function(PyObject* module, PyMethodDef& definition) {
  Ref module_name = Ref::check(PyModule_GetNameObject(module));
  Ref function = Ref::check(PyCFunction_NewEx(&definition, module, module_name.get()));
  Ref name = Ref::check(PyObject_GetAttrString(function.get(), "__name__"));
  if (!PyUnicode_Check(name.get())) raise_type_error("a function's __name__ must be str");
  add_name(module, name.get(), function.get());
}

// The type objects are made once per process, within the interpreter that
// first runs this step; an object of one interpreter must never be handed to
// another, so a second interpreter is refused.
void check_interpreter() {
  static constexpr int64_t none = -1;
  static int64_t owner = none;
  const int64_t current = PyInterpreterState_GetID(PyInterpreterState_Get());
  if (current < 0) throw PythonError{};
  if (owner == none) owner = current;
  if (owner != current) {
    PyErr_SetString(PyExc_ImportError, "tymbe_rs can be imported in only one interpreter per process");
    throw PythonError{};
  }
}

// The module body: every addition in table order, stopping at the first failure.
void tymbe_rs(PyObject* module) {
  check_interpreter();
  for (const Addition& addition : module_contents) {
    if (addition.cls != nullptr) {
      add_class(module, *addition.cls);
    } else {
      add_function(module, *addition.function);
    }
  }
}

int exec_module(PyObject* module) {
  return guarded_status([&] {
    if (!PyModule_Check(module)) raise_type_error("tymbe_rs can only be executed into a module object");
    tymbe_rs(module);
  });
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "tymbe_rs",
    "",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace tymbe::py

PyMODINIT_FUNC PyInit_tymbe_rs(void) { return PyModuleDef_Init(&tymbe::py::module_definition); }
