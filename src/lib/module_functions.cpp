#include "module_functions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "py_args.h"
#include "py_class.h"
#include "py_errors.h"
#include "py_gil.h"
#include "py_values.h"
#include "tymbe_utils/duration.h"
#include "tymbe_utils/namespace.h"

namespace tymbe::py {
namespace {

Ref duration_to_py(const Result<int64_t>& duration) {
  if (!duration) raise_value_error(duration.error());
  return int_to_py(*duration);
}

std::optional<std::string_view> view(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return std::string_view(*text);
}

PyObject* parse_duration_ms(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    static constexpr Parameters<1> params{"parse_duration_ms", {"s"}, 1};
    const auto [s] = params.match(args, nargs, kwnames);
    const std::string text = str_arg(s);
    return duration_to_py(without_gil([&] { return utils::parse_duration_ms(text); }));
  });
}

PyObject* parse_duration_s(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    static constexpr Parameters<1> params{"parse_duration_s", {"s"}, 1};
    const auto [s] = params.match(args, nargs, kwnames);
    const std::string text = str_arg(s);
    return duration_to_py(without_gil([&] { return utils::parse_duration_s(text); }));
  });
}

PyObject* seconds_to_duration_string(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                     PyObject* kwnames) {
  return guarded([&] {
    static constexpr Parameters<1> params{"seconds_to_duration_string", {"total_seconds"}, 1};
    const auto [total_seconds] = params.match(args, nargs, kwnames);
    const double seconds = float_arg(total_seconds);
    return text_to_py(without_gil([&] { return utils::seconds_to_duration_string(seconds); }));
  });
}

PyObject* to_snake_case(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    static constexpr Parameters<1> params{"to_snake_case", {"name"}, 1};
    const auto [name] = params.match(args, nargs, kwnames);
    const std::string text = str_arg(name);
    return text_to_py(without_gil([&] { return utils::to_snake_case(text); }));
  });
}

PyObject* build_namespaced_name(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    static constexpr Parameters<2> params{"build_namespaced_name", {"namespace", "name"}, 0};
    const auto [namespace_arg, name_arg] = params.match(args, nargs, kwnames);
    const std::optional<std::string> namespace_ = optional_str_arg(namespace_arg);
    const std::optional<std::string> name = optional_str_arg(name_arg);
    return text_to_py(without_gil([&] { return utils::build_namespaced_name(view(namespace_), view(name)); }));
  });
}

constexpr int fastcall = METH_FASTCALL | METH_KEYWORDS;

}  // namespace

PyMethodDef parse_duration_ms_def{"parse_duration_ms", method_entry(&parse_duration_ms), fastcall,
                                  "parse_duration_ms(s)\n--\n\n"};
PyMethodDef parse_duration_s_def{"parse_duration_s", method_entry(&parse_duration_s), fastcall,
                                 "parse_duration_s(s)\n--\n\n"};
PyMethodDef seconds_to_duration_string_def{"seconds_to_duration_string", method_entry(&seconds_to_duration_string),
                                           fastcall, "seconds_to_duration_string(total_seconds)\n--\n\n"};
PyMethodDef to_snake_case_def{"to_snake_case", method_entry(&to_snake_case), fastcall, "to_snake_case(name)\n--\n\n"};
PyMethodDef build_namespaced_name_def{"build_namespaced_name", method_entry(&build_namespaced_name), fastcall,
                                      "build_namespaced_name(namespace=None, name=None)\n--\n\n"};

}  // namespace tymbe::py
