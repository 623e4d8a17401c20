#pragma once
// Owned references to Python objects, and the C++ signal that the current
// Python error is set. Every reference the module holds goes through `Ref`;
// nothing else increments or decrements a reference count.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace tymbe::py {

// Thrown once the interpreter's current error has been set; the entry points
// catch it and return the interpreter's failure value.
struct PythonError {};

// One strong reference, or none. Create and destroy only with the
// interpreter lock held.
class Ref {
 public:
  Ref() noexcept = default;

  // Takes over a reference the caller owns (may be null).
  static Ref steal(PyObject* object) noexcept { return Ref(object); }
  // Adds a reference of its own to a borrowed object (may be null).
  static Ref borrow(PyObject* object) noexcept {
    Py_XINCREF(object);
    return Ref(object);
  }
  // The new reference an API call returned; null means it set an error.
  static Ref check(PyObject* object) {
    if (object == nullptr) throw PythonError{};
    return Ref(object);
  }

  Ref(const Ref& other) noexcept : object_(other.object_) { Py_XINCREF(object_); }
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Ref() { Py_XDECREF(object_); }

  PyObject* get() const noexcept { return object_; }
  // Hands the reference to the caller (the interpreter, or a stealing API).
  PyObject* release() noexcept { return std::exchange(object_, nullptr); }
  explicit operator bool() const noexcept { return object_ != nullptr; }

 private:
  explicit Ref(PyObject* object) noexcept : object_(object) {}
  PyObject* object_ = nullptr;
};

// For the C API's int statuses: negative means an error is set.
inline void check_status(int status) {
  if (status < 0) throw PythonError{};
}

}  // namespace tymbe::py
