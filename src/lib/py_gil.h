#pragma once
// Releasing the interpreter lock around core work.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace tymbe::py {

// Releases the lock for its lifetime and takes it back on every way out,
// exceptions included, so failures are always mapped with the lock held.
class GilRelease {
 public:
  GilRelease() noexcept : state_(PyEval_SaveThread()) {}
  ~GilRelease() { PyEval_RestoreThread(state_); }
  GilRelease(const GilRelease&) = delete;
  GilRelease& operator=(const GilRelease&) = delete;

 private:
  PyThreadState* state_;
};

// Runs `work` without the lock. `work` must touch no Python object: its inputs
// are core values converted beforehand, and its result is a core value.
template <class Work>
auto without_gil(Work&& work) -> decltype(std::forward<Work>(work)()) {
  GilRelease released;
  return std::forward<Work>(work)();
}

}  // namespace tymbe::py
