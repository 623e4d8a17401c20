#pragma once
// Matching a call's arguments to its parameters, and converting each argument
// into a core value, with the interpreter's own wording for argument errors.
// Every parameter of the module can be given by position or by keyword.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tymbe::py {

// One matched argument: the object (borrowed from the call; null when not
// given) and the names its error messages use.
struct Arg {
  PyObject* object;
  const char* function;
  const char* name;

  bool present() const noexcept { return object != nullptr; }
  // `object` is absent or None.
  bool is_none() const noexcept { return object == nullptr || object == Py_None; }
};

// Fills `out[0..count)` with the arguments of one call, positional ones from
// `positional`, keyword ones from the pairs (name, value); raises TypeError
// for a surplus, unknown, doubled or missing argument.
struct KeywordArg {
  PyObject* name;
  PyObject* value;
};
void match_arguments(const char* function, const char* const* names, size_t count, size_t required,
                     PyObject* const* positional, size_t npositional, const KeywordArg* keywords,
                     size_t nkeywords, Arg* out);

// The parameter list of one callable: its name as error messages show it, its
// parameter names in order, and how many of the first ones are required.
template <size_t N>
struct Parameters {
  const char* function;
  std::array<const char*, N> names;
  size_t required;

  // Arguments of a METH_FASTCALL | METH_KEYWORDS call.
  std::array<Arg, N> match(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) const;
  // Arguments of a constructor call (tuple and optional dict).
  std::array<Arg, N> match(PyObject* args, PyObject* kwargs) const;
};

// Keyword pairs of each calling convention, gathered for match_arguments.
std::vector<KeywordArg> vectorcall_keywords(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
std::vector<KeywordArg> dict_keywords(PyObject* kwargs);

template <size_t N>
std::array<Arg, N> Parameters<N>::match(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) const {
  std::array<Arg, N> out{};
  const std::vector<KeywordArg> keywords = vectorcall_keywords(args, nargs, kwnames);
  match_arguments(function, names.data(), N, required, args, static_cast<size_t>(nargs), keywords.data(),
                  keywords.size(), out.data());
  return out;
}

template <size_t N>
std::array<Arg, N> Parameters<N>::match(PyObject* args, PyObject* kwargs) const {
  std::array<Arg, N> out{};
  const std::vector<KeywordArg> keywords = dict_keywords(kwargs);
  match_arguments(function, names.data(), N, required, PySequence_Fast_ITEMS(args),
                  static_cast<size_t>(PyTuple_GET_SIZE(args)), keywords.data(), keywords.size(), out.data());
  return out;
}

// The type name the interpreter's messages show for an object: "None" for
// None, else the type's name without its module.
std::string type_name(PyObject* object);

// TypeError "f() argument 'x' must be <expected>, not <type>".
[[noreturn]] void raise_bad_argument(const Arg& arg, const char* expected);

// A str (or subclass) as UTF-8 text; anything else is a TypeError naming the
// argument. A str that is not encodable (a lone surrogate) raises the
// interpreter's UnicodeEncodeError unchanged.
std::string str_arg(const Arg& arg);
// Absent or None gives nothing; otherwise as str_arg.
std::optional<std::string> optional_str_arg(const Arg& arg);
// A sequence of str, iterated once, as a new list of texts. A str itself is
// refused so that one path is never taken as a sequence of characters.
std::vector<std::string> files_arg(const Arg& arg);
// A float's value, or the interpreter's float conversion of anything else
// (int, bool, __float__, __index__); a TypeError from that conversion is
// reworded to name the argument, other errors pass unchanged.
double float_arg(const Arg& arg);

}  // namespace tymbe::py
