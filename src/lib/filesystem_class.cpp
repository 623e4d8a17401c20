#include "filesystem_class.h"

#include <memory>
#include <string>
#include <utility>

#include "py_gil.h"

namespace tymbe::py {
namespace {

using FileSystemHandle = std::shared_ptr<const ast::StdAstFileSystem>;

PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded([&] {
    static constexpr Parameters<1> params{"StdAstFileSystem", {"files"}, 1};
    const auto [files] = params.match(args, kwargs);
    // Normalising the list is cheap and reads nothing, so the lock stays held.
    auto filesystem = std::make_shared<const ast::StdAstFileSystem>(files_arg(files));
    return make_instance<FileSystemHandle>(type, std::move(filesystem));
  });
}

PyObject* read_to_string(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    static constexpr Parameters<1> params{"read_to_string", {"path"}, 1};
    const auto [path_arg] = params.match(args, nargs, kwnames);
    const FileSystemHandle filesystem = borrow_inner<FileSystemHandle>(self, std_ast_filesystem_class);
    const std::string path = str_arg(path_arg);
    auto text = without_gil([&] { return filesystem->read_to_string(path); });
    if (!text) raise_os_error(text.error());
    return text_to_py(*text);
  });
}

PyObject* all_files(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    static constexpr Parameters<0> params{"all_files", {}, 0};
    params.match(args, nargs, kwnames);
    const FileSystemHandle filesystem = borrow_inner<FileSystemHandle>(self, std_ast_filesystem_class);
    auto files = without_gil([&] { return filesystem->all_files(); });
    if (!files) raise_os_error(files.error());
    return to_py(*files);
  });
}

PyMethodDef methods[] = {
    {"read_to_string", method_entry(&read_to_string), METH_FASTCALL | METH_KEYWORDS,
     "read_to_string($self, path)\n--\n\n"},
    {"all_files", method_entry(&all_files), METH_FASTCALL | METH_KEYWORDS, "all_files($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

constinit PyClass std_ast_filesystem_class{ClassSpec{
    .name = "StdAstFileSystem",
    .doc = "StdAstFileSystem(files)\n--\n\n",
    .basicsize = instance_size<FileSystemHandle>,
    .constructor = &construct,
    .dealloc = &dealloc_instance<FileSystemHandle>,
    .methods = methods,
    .properties = nullptr,
}};

ast::AstFileSystemHandle filesystem_arg(const Arg& arg) {
  if (arg.is_none()) return nullptr;
  if (!PyObject_TypeCheck(arg.object, std_ast_filesystem_class.type())) {
    raise_bad_argument(arg, "StdAstFileSystem or None");
  }
  return *inner_of<FileSystemHandle>(arg.object);
}

}  // namespace tymbe::py
