#include "project_index_class.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "filesystem_class.h"
#include "py_args.h"
#include "py_gil.h"
#include "record_classes.h"
#include "tymbe_ast/project_index.h"

namespace tymbe::py {
namespace {

using ast::AstProjectIndex;

PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded([&] {
    static constexpr Parameters<3> params{"AstProjectIndex", {"files", "project_root", "filesystem"}, 2};
    const auto [files_given, root_given, filesystem_given] = params.match(args, kwargs);
    std::vector<std::string> files = files_arg(files_given);
    std::string project_root = str_arg(root_given);
    ast::AstFileSystemHandle filesystem = filesystem_arg(filesystem_given);
    AstProjectIndex index = without_gil([&] {
      return filesystem ? AstProjectIndex::with_filesystem(std::move(project_root), std::move(files),
                                                           std::move(filesystem))
                        : AstProjectIndex::create(std::move(project_root), std::move(files));
    });
    return make_instance<AstProjectIndex>(type, std::move(index));
  });
}

// One lookup: two str parameters, the core lookup run with the lock held (it
// may read and parse files, or wait for a background worker that does), and
// the record found handed over as a new object, or None.
template <class Record>
using Lookup = std::optional<Record> (AstProjectIndex::*)(std::string_view, std::string_view) const;

template <class Record, Lookup<Record> lookup, PyClass& Class, const Parameters<2>& params>
PyObject* lookup_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    const auto [first, second] = params.match(args, nargs, kwnames);
    const AstProjectIndex index = borrow_inner<AstProjectIndex>(self, ast_project_index_class);
    const std::string first_text = str_arg(first);
    const std::string second_text = str_arg(second);
    std::optional<Record> found = (index.*lookup)(first_text, second_text);
    if (!found) return Ref::borrow(Py_None);
    return make_instance(Class, std::move(*found));
  });
}

constexpr Parameters<2> feature_class_ast_params{"feature_class_ast", {"module", "class_name"}, 2};
constexpr Parameters<2> feature_class_ast_in_file_params{"feature_class_ast_in_file", {"file_path", "class_name"}, 2};
constexpr Parameters<2> resolver_ast_params{"resolver_ast", {"module", "resolver_name"}, 2};
constexpr Parameters<2> resolver_ast_in_file_params{"resolver_ast_in_file", {"file_path", "resolver_name"}, 2};
constexpr Parameters<2> function_ast_params{"function_ast", {"module", "function_name"}, 2};
constexpr Parameters<2> function_ast_in_file_params{"function_ast_in_file", {"file_path", "function_name"}, 2};

PyObject* nonblocking_start_index(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                  PyObject* kwnames) {
  return guarded([&] {
    static constexpr Parameters<0> params{"nonblocking_start_index", {}, 0};
    params.match(args, nargs, kwnames);
    const AstProjectIndex index = borrow_inner<AstProjectIndex>(self, ast_project_index_class);
    // Returns at once; a worker that cannot be started throws, which becomes
    // the unexpected-failure exception.
    index.nonblocking_start_index();
    return Ref::borrow(Py_None);
  });
}

template <class Record, Lookup<Record> lookup, PyClass& Class, const Parameters<2>& params>
constexpr PyMethodDef lookup_def(const char* doc) noexcept {
  return PyMethodDef{params.function, method_entry(&lookup_method<Record, lookup, Class, params>),
                     METH_FASTCALL | METH_KEYWORDS, doc};
}

using ast::FeatureClassAST;
using ast::ResolverAST;

PyMethodDef methods[] = {
    lookup_def<FeatureClassAST, &AstProjectIndex::feature_class_ast, feature_class_ast_class,
               feature_class_ast_params>("feature_class_ast($self, module, class_name)\n--\n\n"),
    lookup_def<FeatureClassAST, &AstProjectIndex::feature_class_ast_in_file, feature_class_ast_class,
               feature_class_ast_in_file_params>("feature_class_ast_in_file($self, file_path, class_name)\n--\n\n"),
    lookup_def<ResolverAST, &AstProjectIndex::resolver_ast, resolver_ast_class, resolver_ast_params>(
        "resolver_ast($self, module, resolver_name)\n--\n\n"),
    lookup_def<ResolverAST, &AstProjectIndex::resolver_ast_in_file, resolver_ast_class,
               resolver_ast_in_file_params>("resolver_ast_in_file($self, file_path, resolver_name)\n--\n\n"),
    lookup_def<ResolverAST, &AstProjectIndex::function_ast, resolver_ast_class, function_ast_params>(
        "function_ast($self, module, function_name)\n--\n\n"),
    lookup_def<ResolverAST, &AstProjectIndex::function_ast_in_file, resolver_ast_class,
               function_ast_in_file_params>("function_ast_in_file($self, file_path, function_name)\n--\n\n"),
    {"nonblocking_start_index", method_entry(&nonblocking_start_index), METH_FASTCALL | METH_KEYWORDS,
     "nonblocking_start_index($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

constinit PyClass ast_project_index_class{ClassSpec{
    .name = "AstProjectIndex",
    .doc = "AstProjectIndex(files, project_root, filesystem=None)\n--\n\n",
    .basicsize = instance_size<AstProjectIndex>,
    .constructor = &construct,
    .dealloc = &dealloc_instance<AstProjectIndex>,
    .methods = methods,
    .properties = nullptr,
}};

}  // namespace tymbe::py
