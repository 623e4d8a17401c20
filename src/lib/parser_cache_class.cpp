#include "parser_cache_class.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "filesystem_class.h"
#include "py_args.h"
#include "py_gil.h"
#include "tymbe_ast/parser_cache.h"

namespace tymbe::py {
namespace {

using ast::AstFileParserCache;

// Each set becomes a list sorted by bytes, so the local names come in a
// stable order although the set has none.
Ref import_map_to_py(const ast::ImportMap& import_map) {
  Ref modules = Ref::check(PyDict_New());
  for (const auto& [module, names] : import_map) {
    Ref imported = Ref::check(PyDict_New());
    for (const auto& [name, local_names] : names) {
      std::vector<std::string> sorted(local_names.begin(), local_names.end());
      // std::string compares as unsigned bytes, which is the order wanted.
      std::sort(sorted.begin(), sorted.end());
      check_status(PyDict_SetItem(imported.get(), text_to_py(name).get(), to_py(sorted).get()));
    }
    check_status(PyDict_SetItem(modules.get(), text_to_py(module).get(), imported.get()));
  }
  return modules;
}

PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded([&] {
    static constexpr Parameters<3> params{"AstFileParserCache", {"files", "project_root", "filesystem"}, 2};
    const auto [files_given, root_given, filesystem_given] = params.match(args, kwargs);
    std::vector<std::string> files = files_arg(files_given);
    std::string project_root = str_arg(root_given);
    ast::AstFileSystemHandle filesystem = filesystem_arg(filesystem_given);
    // Construction lists the files once and reads none, so the lock stays held.
    AstFileParserCache cache = filesystem
                                   ? AstFileParserCache::with_filesystem(std::move(project_root), std::move(filesystem))
                                   : AstFileParserCache::create(std::move(project_root), std::move(files));
    return make_instance<AstFileParserCache>(type, std::move(cache));
  });
}

PyObject* all_files(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    static constexpr Parameters<0> params{"all_files", {}, 0};
    params.match(args, nargs, kwnames);
    const AstFileParserCache cache = borrow_inner<AstFileParserCache>(self, ast_file_parser_cache_class);
    auto files = without_gil([&] { return cache.all_files(); });
    if (!files) raise_os_error(files.error());
    return to_py(*files);
  });
}

PyObject* get_parsed_file(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    static constexpr Parameters<1> params{"get_parsed_file", {"path"}, 1};
    const auto [path_arg] = params.match(args, nargs, kwnames);
    const AstFileParserCache cache = borrow_inner<AstFileParserCache>(self, ast_file_parser_cache_class);
    const std::string path = str_arg(path_arg);
    auto parsed = without_gil([&] { return cache.get_parsed_file(path); });
    if (!parsed) raise_value_error(parsed.error());
    const ast::ParsedFileCache& record = **parsed;
    Ref path_text = text_to_py(record.path);
    Ref source = text_to_py(record.source());
    Ref imports = import_map_to_py(record.import_map);
    return Ref::check(PyTuple_Pack(3, path_text.get(), source.get(), imports.get()));
  });
}

PyMethodDef methods[] = {
    {"all_files", method_entry(&all_files), METH_FASTCALL | METH_KEYWORDS, "all_files($self)\n--\n\n"},
    {"get_parsed_file", method_entry(&get_parsed_file), METH_FASTCALL | METH_KEYWORDS,
     "get_parsed_file($self, path)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

constinit PyClass ast_file_parser_cache_class{ClassSpec{
    .name = "AstFileParserCache",
    .doc = "AstFileParserCache(files, project_root, filesystem=None)\n--\n\n",
    .basicsize = instance_size<AstFileParserCache>,
    .constructor = &construct,
    .dealloc = &dealloc_instance<AstFileParserCache>,
    .methods = methods,
    .properties = nullptr,
}};

}  // namespace tymbe::py
