#pragma once
// How failures reach Python: core messages, file-system errors, argument
// errors, and C++ exceptions that no one expected.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cxxabi.h>

#include <string_view>

#include "py_ref.h"
#include "tymbe_ast/ast_filesystem.h"

namespace tymbe::py {

// TypeError with the given text.
[[noreturn]] void raise_type_error(std::string_view text);
// ValueError whose only argument is the core's message, unchanged.
[[noreturn]] void raise_value_error(std::string_view message);
// OSError whose only argument is the error's text, so errno, strerror and
// filename stay None.
[[noreturn]] void raise_os_error(const ast::IoError& error);

// Sets the Python error for the exception being handled: PythonError keeps the
// error already set, any other C++ exception becomes UnexpectedFailure with
// its text. Call only inside a catch block, with the lock held.
void set_error_from_current_exception() noexcept;

// The body of every entry point: runs `body` (which returns a Ref) and hands
// its object to the interpreter, or null with the Python error set. A forced
// unwind (a thread ended by pthread_exit, as the interpreter does to a daemon
// thread that asks for the lock while it finalises) goes on to the
// interpreter's frames, so neither these nor the entry points are noexcept.
template <class Body>
PyObject* guarded(Body&& body) {
  try {
    return body().release();
  } catch (const abi::__forced_unwind&) {
    throw;
  } catch (...) {
    set_error_from_current_exception();
    return nullptr;
  }
}

// The same for entry points that report 0 or -1.
template <class Body>
int guarded_status(Body&& body) {
  try {
    body();
    return 0;
  } catch (const abi::__forced_unwind&) {
    throw;
  } catch (...) {
    set_error_from_current_exception();
    return -1;
  }
}

}  // namespace tymbe::py
