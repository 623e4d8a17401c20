#include "py_errors.h"

#include <exception>


namespace tymbe::py {
namespace {

// Error texts must never be lost to a decoding failure, so bytes that are not
// UTF-8 (none are expected) are replaced rather than refused.
Ref error_text(std::string_view text) {
  return Ref::check(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace"));
}

// The exception for unexpected failures: built on first use, then kept for the
// process. It derives from BaseException so that `except Exception` in user
// code does not swallow a fault of this module.
PyObject* unexpected_failure_type() {
  static PyObject* type = nullptr;
  if (type == nullptr) {
    PyObject* made = PyErr_NewExceptionWithDoc("tymbe_rs_runtime.UnexpectedFailure",
                                               "An internal failure of tymbe_rs that it did not expect.",
                                               PyExc_BaseException, nullptr);
    if (made == nullptr) throw PythonError{};
    // Making the type may run Python code; keep whichever was stored first.
    if (type == nullptr) {
      type = made;
    } else {
      Ref::steal(made);
    }
  }
  return type;
}

void set_unexpected_failure(std::string_view text) {
  try {
    PyObject* type = unexpected_failure_type();
    PyErr_SetObject(type, error_text(text).get());
  } catch (const PythonError&) {
    // The interpreter's own error (memory, most likely) stands in its place.
  }
}

}  // namespace

void raise_type_error(std::string_view text) {
  PyErr_SetObject(PyExc_TypeError, error_text(text).get());
  throw PythonError{};
}

void raise_value_error(std::string_view message) {
  PyErr_SetObject(PyExc_ValueError, error_text(message).get());
  throw PythonError{};
}

void raise_os_error(const ast::IoError& error) {
  // A 1-tuple as the value makes it the exception's args exactly.
  Ref args = Ref::check(PyTuple_Pack(1, error_text(error.text).get()));
  PyErr_SetObject(PyExc_OSError, args.get());
  throw PythonError{};
}

void set_error_from_current_exception() noexcept {
  try {
    throw;
  } catch (const PythonError&) {
    if (!PyErr_Occurred()) set_unexpected_failure("a Python error was signalled but not set");
  } catch (const std::exception& error) {
    set_unexpected_failure(error.what());
  } catch (...) {
    set_unexpected_failure("unknown C++ exception");
  }
}

}  // namespace tymbe::py
