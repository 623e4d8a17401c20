#pragma once
// The module's Python classes, each declared as one table (`ClassSpec`): name,
// documentation, constructor, methods and properties. The type object is made
// from the table on first use and kept for the rest of the process; every
// instance holds one C++ value, `inner`, set when it is made and never replaced.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include "py_errors.h"
#include "py_ref.h"
#include "py_values.h"

namespace tymbe::py {

struct ClassSpec {
  // The bare class name: the interpreter would read a dotted prefix as a module.
  const char* name;
  // The constructor's text signature ("Name(args)\n--\n\n"), or null for no
  // documentation at all.
  const char* doc;
  int basicsize;
  // Null for a class that Python cannot instantiate.
  newfunc constructor;
  destructor dealloc;
  // Both null-terminated; null when the class has none.
  PyMethodDef* methods;
  PyGetSetDef* properties;
};

// Every class has base object, no subclasses, no instance dict, no weak
// references, and identity equality and hashing.
class PyClass {
 public:
  constexpr explicit PyClass(const ClassSpec& spec) noexcept : spec_(spec) {}
  PyClass(const PyClass&) = delete;
  PyClass& operator=(const PyClass&) = delete;

  // The type object, borrowed: it lives for the process once made.
  PyTypeObject* type();
  const char* name() const noexcept { return spec_.name; }

 private:
  ClassSpec spec_;
  PyTypeObject* type_ = nullptr;
};

// Where an instance keeps its `inner` value: after the object header, aligned.
template <class Inner>
inline constexpr size_t inner_offset = (sizeof(PyObject) + alignof(Inner) - 1) / alignof(Inner) * alignof(Inner);

template <class Inner>
inline constexpr int instance_size = static_cast<int>(inner_offset<Inner> + sizeof(Inner));

template <class Inner>
Inner* inner_of(PyObject* self) noexcept {
  return std::launder(reinterpret_cast<Inner*>(reinterpret_cast<char*>(self) + inner_offset<Inner>));
}

// A new instance of `type` that owns `inner`.
template <class Inner>
Ref make_instance(PyTypeObject* type, Inner inner) {
  // Between allocation and construction nothing may throw, or dealloc would
  // destroy a value that was never built.
  static_assert(std::is_nothrow_move_constructible_v<Inner>);
  Ref self = Ref::check(type->tp_alloc(type, 0));
  std::construct_at(inner_of<Inner>(self.get()), std::move(inner));
  return self;
}

template <class Inner>
Ref make_instance(PyClass& cls, Inner inner) {
  return make_instance(cls.type(), std::move(inner));
}

// The tp_dealloc of every class.
template <class Inner>
void dealloc_instance(PyObject* self) noexcept {
  PyTypeObject* type = Py_TYPE(self);
  std::destroy_at(inner_of<Inner>(self));
  type->tp_free(self);
  // Each instance of a heap type holds a reference to its type.
  Ref::steal(reinterpret_cast<PyObject*>(type));
}

// The receiver's `inner`, for the length of one call; TypeError when `self` is
// not an instance of the class (possible only through the class's own
// descriptors with a foreign first argument).
template <class Inner>
const Inner& borrow_inner(PyObject* self, PyClass& cls) {
  if (!PyObject_TypeCheck(self, cls.type())) {
    raise_type_error(std::string("expected a ") + cls.name() + " object, not " + Py_TYPE(self)->tp_name);
  }
  return *inner_of<Inner>(self);
}

// Record classes: one read-only property per record field, listed in a table
// of `property<Class, &Record::field>("field")` entries. The one getter
// template copies the field and converts it by its value form (`ToPy`).
template <class M>
struct MemberOf;
template <class Record, class Field>
struct MemberOf<Field Record::*> {
  using record = Record;
};

template <PyClass& Class, auto Member>
PyObject* get_property(PyObject* self, void*) {
  return guarded([&] {
    using Record = typename MemberOf<decltype(Member)>::record;
    return to_py(borrow_inner<Record>(self, Class).*Member);
  });
}

template <PyClass& Class, auto Member>
constexpr PyGetSetDef property(const char* name) noexcept {
  return PyGetSetDef{name, &get_property<Class, Member>, nullptr, "", nullptr};
}

// A record nested in another record's field becomes a new instance of its
// class holding its own copy: `template <> struct ToPy<R> : RecordToPy<R, c> {};`.
template <class Record, PyClass& Class>
struct RecordToPy {
  static Ref convert(const Record& record) { return make_instance(Class, Record(record)); }
};

// Casts for the method and slot tables, which store every entry point under
// one C function type.
template <class F>
PyCFunction method_entry(F* entry) noexcept {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry));
}

}  // namespace tymbe::py
