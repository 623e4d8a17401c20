#pragma once
// Core values to fresh Python objects, one conversion per value form. Every
// call builds new objects from the value it is given; nothing is cached.
//
// `to_py(value)` picks the form from the value's C++ type through `ToPy<T>`.
// A record class adds its record type by specialising `ToPy` (see
// py_class.h, `RecordToPy`).

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "py_ref.h"
#include "tymbe_ast/locations.h"
#include "tymbe_ast/name_map.h"

namespace tymbe::py {

// A str from UTF-8 text.
inline Ref text_to_py(std::string_view text) {
  return Ref::check(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}

inline Ref int_to_py(int64_t value) { return Ref::check(PyLong_FromLongLong(value)); }

template <class T>
struct ToPy;

template <class T>
Ref to_py(const T& value) {
  return ToPy<T>::convert(value);
}

template <>
struct ToPy<std::string> {
  static Ref convert(const std::string& text) { return text_to_py(text); }
};

// A location as (start line, start character, end line, end character); the
// URI stays behind.
template <>
struct ToPy<ast::Location> {
  static Ref convert(const ast::Location& location) {
    const ast::Range& r = location.range;
    return Ref::check(Py_BuildValue("(kkkk)", static_cast<unsigned long>(r.start.line),
                                    static_cast<unsigned long>(r.start.character),
                                    static_cast<unsigned long>(r.end.line),
                                    static_cast<unsigned long>(r.end.character)));
  }
};

// Absent is None.
template <class T>
struct ToPy<std::optional<T>> {
  static Ref convert(const std::optional<T>& value) {
    if (!value) return Ref::borrow(Py_None);
    return to_py(*value);
  }
};

// A new list in stored order.
template <class T>
struct ToPy<std::vector<T>> {
  static Ref convert(const std::vector<T>& items) {
    Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(items.size())));
    for (size_t i = 0; i < items.size(); ++i) {
      PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), to_py(items[i]).release());
    }
    return list;
  }
};

// A new dict with the map's keys; key order is the map's, which is not promised.
template <class V>
struct ToPy<ast::NameMap<V>> {
  static Ref convert(const ast::NameMap<V>& map) {
    Ref dict = Ref::check(PyDict_New());
    for (const auto& [key, value] : map) {
      check_status(PyDict_SetItem(dict.get(), text_to_py(key).get(), to_py(value).get()));
    }
    return dict;
  }
};

}  // namespace tymbe::py
