#pragma once
// A value or a failure: the form of every fallible operation of the core.
// Failures that are messages use the default E = std::string.

#include <stdexcept>
#include <string>
#include <utility>
#include <variant>

namespace tymbe {

template <class E>
struct Failure {
  E error;
};
template <class E>
Failure(E) -> Failure<E>;

template <class T, class E = std::string>
class Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  template <class F>
  Result(Failure<F> failure) : state_(std::in_place_index<1>, std::move(failure.error)) {}

  bool ok() const noexcept { return state_.index() == 0; }
  explicit operator bool() const noexcept { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  E& error() & { return std::get<1>(state_); }
  const E& error() const& { return std::get<1>(state_); }
  E&& error() && { return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, E> state_;
};

// A fault the code does not expect. It abandons the operation; the Python layer
// turns it into its exception for unexpected failures.
class InternalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tymbe
