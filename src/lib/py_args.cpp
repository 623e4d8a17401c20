#include "py_args.h"

#include <cstring>

#include "py_errors.h"
#include "py_ref.h"

namespace tymbe::py {
namespace {

std::string call_name(const char* function) { return std::string(function) + "()"; }

bool names_parameter(PyObject* keyword, const char* name) {
  return PyUnicode_Check(keyword) && PyUnicode_CompareWithASCIIString(keyword, name) == 0;
}

PyObject* find_keyword(const KeywordArg* keywords, size_t nkeywords, const char* name) {
  for (size_t k = 0; k < nkeywords; ++k) {
    if (names_parameter(keywords[k].name, name)) return keywords[k].value;
  }
  return nullptr;
}

std::string utf8_text(PyObject* str) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(str, &size);
  if (data == nullptr) throw PythonError{};
  return std::string(data, static_cast<size_t>(size));
}

// The interpreter's idea of a sequence, plus registered virtual subclasses of
// collections.abc.Sequence. The abc is looked up only for the rare object
// that fails the fast check, so importing this module imports nothing.
bool is_sequence(PyObject* object) {
  if (PySequence_Check(object)) return true;
  Ref abc = Ref::check(PyImport_ImportModule("collections.abc"));
  Ref sequence = Ref::check(PyObject_GetAttrString(abc.get(), "Sequence"));
  const int is_instance = PyObject_IsInstance(object, sequence.get());
  check_status(is_instance);
  return is_instance == 1;
}

}  // namespace

std::vector<KeywordArg> vectorcall_keywords(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  std::vector<KeywordArg> keywords;
  if (kwnames == nullptr) return keywords;
  const Py_ssize_t count = PyTuple_GET_SIZE(kwnames);
  keywords.reserve(static_cast<size_t>(count));
  for (Py_ssize_t k = 0; k < count; ++k) {
    keywords.push_back({PyTuple_GET_ITEM(kwnames, k), args[nargs + k]});
  }
  return keywords;
}

std::vector<KeywordArg> dict_keywords(PyObject* kwargs) {
  std::vector<KeywordArg> keywords;
  if (kwargs == nullptr) return keywords;
  keywords.reserve(static_cast<size_t>(PyDict_GET_SIZE(kwargs)));
  Py_ssize_t position = 0;
  PyObject* name = nullptr;
  PyObject* value = nullptr;
  while (PyDict_Next(kwargs, &position, &name, &value)) keywords.push_back({name, value});
  return keywords;
}

// The checks and their order follow the interpreter's generated argument
// parsing, so our callables fail like its builtins do.
void match_arguments(const char* function, const char* const* names, size_t count, size_t required,
                     PyObject* const* positional, size_t npositional, const KeywordArg* keywords,
                     size_t nkeywords, Arg* out) {
  const size_t given = npositional + nkeywords;
  if (given > count) {
    if (count == 0) {
      raise_type_error(call_name(function) + " takes no arguments (" + std::to_string(given) + " given)");
    }
    raise_type_error(call_name(function) + " takes at most " + std::to_string(count) + " " +
                     (npositional == 0 ? "keyword " : "") + "argument" + (count == 1 ? "" : "s") + " (" +
                     std::to_string(given) + " given)");
  }
  for (size_t i = 0; i < count; ++i) out[i] = Arg{nullptr, function, names[i]};
  for (size_t i = 0; i < npositional; ++i) out[i].object = positional[i];

  size_t unmatched = nkeywords;
  for (size_t i = npositional; i < count; ++i) {
    PyObject* value = unmatched > 0 ? find_keyword(keywords, nkeywords, names[i]) : nullptr;
    if (value != nullptr) {
      out[i].object = value;
      --unmatched;
    } else if (i < required) {
      raise_type_error(call_name(function) + " missing required argument '" + names[i] + "' (pos " +
                       std::to_string(i + 1) + ")");
    }
  }
  if (unmatched == 0) return;

  for (size_t i = 0; i < npositional; ++i) {
    if (find_keyword(keywords, nkeywords, names[i]) != nullptr) {
      raise_type_error("argument for " + call_name(function) + " given by name ('" + names[i] +
                       "') and position (" + std::to_string(i + 1) + ")");
    }
  }
  for (size_t k = 0; k < nkeywords; ++k) {
    PyObject* keyword = keywords[k].name;
    if (!PyUnicode_Check(keyword)) raise_type_error("keywords must be strings");
    bool known = false;
    for (size_t i = 0; i < count && !known; ++i) known = names_parameter(keyword, names[i]);
    if (!known) {
      // Formatted by the interpreter: the keyword may hold text that has no UTF-8 form.
      Ref text = Ref::check(PyUnicode_FromFormat("'%S' is an invalid keyword argument for %s()", keyword, function));
      PyErr_SetObject(PyExc_TypeError, text.get());
      throw PythonError{};
    }
  }
}

std::string type_name(PyObject* object) {
  if (object == Py_None) return "None";
  const char* name = Py_TYPE(object)->tp_name;
  const char* dot = std::strrchr(name, '.');
  return dot == nullptr ? name : dot + 1;
}

void raise_bad_argument(const Arg& arg, const char* expected) {
  raise_type_error(call_name(arg.function) + " argument '" + arg.name + "' must be " + expected + ", not " +
                   type_name(arg.object));
}

std::string str_arg(const Arg& arg) {
  if (!PyUnicode_Check(arg.object)) raise_bad_argument(arg, "str");
  return utf8_text(arg.object);
}

std::optional<std::string> optional_str_arg(const Arg& arg) {
  if (arg.is_none()) return std::nullopt;
  if (!PyUnicode_Check(arg.object)) raise_bad_argument(arg, "str or None");
  return utf8_text(arg.object);
}

std::vector<std::string> files_arg(const Arg& arg) {
  PyObject* files = arg.object;
  if (PyUnicode_Check(files)) {
    raise_type_error(call_name(arg.function) + " argument '" + arg.name +
                     "' must be a sequence of str, not a single str");
  }
  if (!is_sequence(files)) raise_bad_argument(arg, "a sequence of str");

  std::vector<std::string> texts;
  // Only lists and tuples are sized in advance: asking any other object for
  // its length would run its code a second time.
  if (PyList_Check(files)) texts.reserve(static_cast<size_t>(PyList_GET_SIZE(files)));
  if (PyTuple_Check(files)) texts.reserve(static_cast<size_t>(PyTuple_GET_SIZE(files)));

  Ref iterator = Ref::check(PyObject_GetIter(files));
  for (size_t index = 0;; ++index) {
    Ref item = Ref::steal(PyIter_Next(iterator.get()));
    if (!item) {
      if (PyErr_Occurred()) throw PythonError{};
      break;
    }
    if (!PyUnicode_Check(item.get())) {
      raise_type_error(call_name(arg.function) + " argument '" + arg.name + "' item " + std::to_string(index) +
                       " must be str, not " + type_name(item.get()));
    }
    texts.push_back(utf8_text(item.get()));
  }
  return texts;
}

double float_arg(const Arg& arg) {
  if (PyFloat_Check(arg.object)) return PyFloat_AS_DOUBLE(arg.object);
  const double value = PyFloat_AsDouble(arg.object);
  if (value == -1.0 && PyErr_Occurred()) {
    if (PyErr_ExceptionMatches(PyExc_TypeError)) {
      PyErr_Clear();
      raise_bad_argument(arg, "float");
    }
    throw PythonError{};
  }
  return value;
}

}  // namespace tymbe::py
