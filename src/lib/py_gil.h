#pragma once
// Releasing the interpreter lock around core work.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cxxabi.h>

#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace tymbe::py {

// Runs `work` without the lock and returns its result, or rethrows its
// exception, with the lock taken back. `work` must touch no Python object: its
// inputs are core values converted beforehand, and its result is a core value.
//
// Taking the lock back may end the thread: while the interpreter finalises, a
// daemon thread that asks for the lock is ended with pthread_exit, whose
// forced unwind must pass through every frame above. So the lock is taken back
// in the ordinary flow, never in a destructor (implicitly noexcept), and the
// callers up to the interpreter let the unwind through (see guarded()).
template <class Work>
auto without_gil(Work&& work) -> decltype(std::forward<Work>(work)()) {
  using Value = decltype(std::forward<Work>(work)());
  static_assert(!std::is_reference_v<Value>);
  std::optional<Value> value;
  std::exception_ptr failure;
  PyThreadState* const state = PyEval_SaveThread();
  try {
    value.emplace(std::forward<Work>(work)());
  } catch (const abi::__forced_unwind&) {
    throw;  // the thread is ending: it must not end holding the lock
  } catch (...) {
    failure = std::current_exception();
  }
  PyEval_RestoreThread(state);
  if (failure) std::rethrow_exception(failure);
  return std::move(*value);
}

}  // namespace tymbe::py
