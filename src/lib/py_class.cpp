#include "py_class.h"

#include <string>
#include <vector>

namespace tymbe::py {

PyTypeObject* PyClass::type() {
  if (type_ != nullptr) return type_;

  std::vector<PyType_Slot> slots;
  if (spec_.doc != nullptr) slots.push_back({Py_tp_doc, const_cast<char*>(spec_.doc)});
  if (spec_.constructor != nullptr) slots.push_back({Py_tp_new, reinterpret_cast<void*>(spec_.constructor)});
  slots.push_back({Py_tp_dealloc, reinterpret_cast<void*>(spec_.dealloc)});
  if (spec_.methods != nullptr) slots.push_back({Py_tp_methods, spec_.methods});
  if (spec_.properties != nullptr) slots.push_back({Py_tp_getset, spec_.properties});
  slots.push_back({0, nullptr});

  // Without a constructor the inherited object.__new__ would make an instance
  // whose `inner` was never built, so such a class refuses instantiation.
  unsigned int flags = Py_TPFLAGS_DEFAULT;
  if (spec_.constructor == nullptr) flags |= Py_TPFLAGS_DISALLOW_INSTANTIATION;

  // Made under the dotted name, the interpreter sets __module__ from its
  // prefix (a bare name leaves the class without __module__ and, from 3.12 on,
  // warns at import); the bare name then becomes the type's name.
  const std::string dotted_name = std::string("tymbe_rs.") + spec_.name;
  PyType_Spec type_spec{dotted_name.c_str(), spec_.basicsize, 0, flags, slots.data()};
  PyObject* made = PyType_FromSpec(&type_spec);
  if (made == nullptr) throw PythonError{};
  reinterpret_cast<PyTypeObject*>(made)->tp_name = spec_.name;
  // Making a type may run Python code (a collection); keep whichever came first.
  if (type_ == nullptr) {
    type_ = reinterpret_cast<PyTypeObject*>(made);
  } else {
    Ref::steal(made);
  }
  return type_;
}

}  // namespace tymbe::py
