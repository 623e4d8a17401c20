"""The module frame: what an import adds, the shape of the classes, the
documentation of every callable, and the matching of call arguments."""

import inspect
import types
import weakref

import pytest

import tymbe_rs

NAMES = [
    "StdAstFileSystem",
    "AstFileParserCache",
    "FeatureFieldAST",
    "FeatureClassAST",
    "FunctionArgAST",
    "ResolverAST",
    "AstProjectIndex",
    "parse_duration_ms",
    "parse_duration_s",
    "seconds_to_duration_string",
    "to_snake_case",
    "build_namespaced_name",
]
SERVICE_CLASSES = [tymbe_rs.StdAstFileSystem, tymbe_rs.AstFileParserCache, tymbe_rs.AstProjectIndex]
RECORD_CLASSES = [tymbe_rs.FeatureFieldAST, tymbe_rs.FeatureClassAST, tymbe_rs.FunctionArgAST, tymbe_rs.ResolverAST]
CLASSES = SERVICE_CLASSES + RECORD_CLASSES
FUNCTIONS = [getattr(tymbe_rs, name) for name in NAMES if name[0].islower()]
# The attributes the interpreter gives every extension module.
MODULE_ATTRIBUTES = {"__doc__", "__file__", "__loader__", "__name__", "__package__", "__spec__"}


# One source that yields an instance of every record class.
RECORD_SOURCE = """\
from tymbe.features import features

@features
class User:
    id: int

def f(a):
    pass
"""


def instance_of(cls, tmp_path):
    if cls is tymbe_rs.StdAstFileSystem:
        return cls([])
    if cls in SERVICE_CLASSES:
        return cls([], str(tmp_path))
    path = tmp_path / "m.py"
    if not path.exists():
        path.write_text(RECORD_SOURCE)
    index = tymbe_rs.AstProjectIndex([str(path)], str(tmp_path))
    function = index.function_ast_in_file(str(path), "f")
    feature_class = index.feature_class_ast_in_file(str(path), "User")
    return {
        tymbe_rs.ResolverAST: lambda: function,
        tymbe_rs.FunctionArgAST: lambda: function.args["a"],
        tymbe_rs.FeatureClassAST: lambda: feature_class,
        tymbe_rs.FeatureFieldAST: lambda: feature_class.annotations[0],
    }[cls]()


class TestImport:
    def test_all_lists_the_names_in_order(self):
        assert tymbe_rs.__all__ == NAMES

    def test_module_holds_exactly_those_names(self):
        assert set(vars(tymbe_rs)) == set(NAMES) | MODULE_ATTRIBUTES | {"__all__"}

    def test_documentation_is_the_empty_string(self):
        assert tymbe_rs.__doc__ == ""

    def test_second_module_object_shares_the_classes_but_not_the_functions(self, fresh_module):
        second = fresh_module()
        assert second is not tymbe_rs
        assert second.__all__ == NAMES
        for cls in CLASSES:
            assert getattr(second, cls.__name__) is cls
        for name in NAMES[len(CLASSES):]:
            function = getattr(second, name)
            assert function is not getattr(tymbe_rs, name)
            assert function.__self__ is second
            assert function.__module__ == "tymbe_rs"
        assert second.to_snake_case("FooBar") == "foo_bar"

    def test_existing_all_list_is_extended(self, fresh_module):
        second = fresh_module(lambda module: setattr(module, "__all__", ["kept"]))
        assert second.__all__ == ["kept"] + NAMES

    def test_all_that_is_not_a_list_stops_before_the_first_name(self, fresh_module):
        prepared = {}

        def prepare(module):
            module.__all__ = ("kept",)
            prepared["module"] = module

        with pytest.raises(TypeError, match="__all__ must be a list"):
            fresh_module(prepare)
        assert not hasattr(prepared["module"], "StdAstFileSystem")

    def test_import_gives_no_warning(self, run_python):
        result = run_python("import warnings\nwarnings.simplefilter(\"error\")\nimport tymbe_rs")
        assert result.returncode == 0, result.stderr

    def test_a_second_interpreter_is_refused(self, run_python):
        script = (
            "import tymbe_rs\n"
            "try:\n"
            "    import _xxsubinterpreters as interpreters\n"
            "except ImportError:\n"
            "    raise SystemExit(77)\n"
            "sub = interpreters.create()\n"
            "try:\n"
            "    interpreters.run_string(sub, 'import tymbe_rs')\n"
            "except Exception as error:\n"
            "    print(error)\n"
            "else:\n"
            "    print('imported')\n"
        )
        result = run_python(script)
        if result.returncode == 77:
            pytest.skip("this interpreter offers no subinterpreters")
        assert result.returncode == 0, result.stderr
        assert "ImportError" in result.stdout


@pytest.mark.parametrize("cls", CLASSES, ids=lambda cls: cls.__name__)
class TestClassShape:
    def test_plain_base_and_the_modules_name(self, cls):
        assert cls.__base__ is object
        assert cls.__qualname__ == cls.__name__
        assert cls.__module__ == "tymbe_rs"

    def test_cannot_be_subclassed(self, cls):
        with pytest.raises(TypeError) as caught:
            types.new_class("Sub", (cls,))
        # The interpreter's message shows the type's own name, which is bare.
        assert f"'{cls.__name__}'" in str(caught.value)

    def test_instances_take_no_attributes_and_no_weak_references(self, cls, tmp_path):
        instance = instance_of(cls, tmp_path)
        with pytest.raises(AttributeError):
            instance.extra = 1
        with pytest.raises(TypeError):
            weakref.ref(instance)

    def test_equality_and_hash_are_identity(self, cls, tmp_path):
        first, second = instance_of(cls, tmp_path), instance_of(cls, tmp_path)
        assert first == first and first != second
        assert hash(first) == object.__hash__(first)

    def test_new_through_object_is_refused(self, cls):
        with pytest.raises(TypeError):
            object.__new__(cls)


@pytest.mark.parametrize("cls", RECORD_CLASSES, ids=lambda cls: cls.__name__)
class TestRecordClassShape:
    def test_cannot_be_called(self, cls):
        with pytest.raises(TypeError, match=f"cannot create '{cls.__name__}' instances"):
            cls()

    def test_no_documentation_and_empty_property_docs(self, cls):
        assert cls.__doc__ is None
        properties = [value for value in vars(cls).values() if isinstance(value, types.GetSetDescriptorType)]
        assert properties
        assert all(prop.__doc__ == "" for prop in properties)
        # Properties only: no methods of the class's own.
        assert not [name for name, value in vars(cls).items() if callable(value) and not name.startswith("__")]


SIGNATURES = [
    (tymbe_rs.StdAstFileSystem, "(files)"),
    (tymbe_rs.StdAstFileSystem.read_to_string, "($self, path)"),
    (tymbe_rs.StdAstFileSystem.all_files, "($self)"),
    (tymbe_rs.AstFileParserCache, "(files, project_root, filesystem=None)"),
    (tymbe_rs.AstFileParserCache.all_files, "($self)"),
    (tymbe_rs.AstFileParserCache.get_parsed_file, "($self, path)"),
    (tymbe_rs.AstProjectIndex, "(files, project_root, filesystem=None)"),
    (tymbe_rs.AstProjectIndex.feature_class_ast, "($self, module, class_name)"),
    (tymbe_rs.AstProjectIndex.feature_class_ast_in_file, "($self, file_path, class_name)"),
    (tymbe_rs.AstProjectIndex.resolver_ast, "($self, module, resolver_name)"),
    (tymbe_rs.AstProjectIndex.resolver_ast_in_file, "($self, file_path, resolver_name)"),
    (tymbe_rs.AstProjectIndex.function_ast, "($self, module, function_name)"),
    (tymbe_rs.AstProjectIndex.function_ast_in_file, "($self, file_path, function_name)"),
    (tymbe_rs.AstProjectIndex.nonblocking_start_index, "($self)"),
    (tymbe_rs.parse_duration_ms, "(s)"),
    (tymbe_rs.parse_duration_s, "(s)"),
    (tymbe_rs.seconds_to_duration_string, "(total_seconds)"),
    (tymbe_rs.to_snake_case, "(name)"),
    (tymbe_rs.build_namespaced_name, "(namespace=None, name=None)"),
]


@pytest.mark.parametrize("callable_, signature", SIGNATURES, ids=lambda x: getattr(x, "__qualname__", x))
def test_documentation_is_the_text_signature_alone(callable_, signature):
    assert callable_.__text_signature__ == signature
    # Nothing follows the signature, so no docstring text remains.
    assert callable_.__doc__ in (None, "")
    inspect.signature(callable_)


def test_inspect_sees_every_parameter_as_positional_or_keyword():
    parameters = inspect.signature(tymbe_rs.build_namespaced_name).parameters
    assert [(p.name, p.kind, p.default) for p in parameters.values()] == [
        ("namespace", inspect.Parameter.POSITIONAL_OR_KEYWORD, None),
        ("name", inspect.Parameter.POSITIONAL_OR_KEYWORD, None),
    ]


def test_methods_check_their_receiver():
    with pytest.raises(TypeError):
        tymbe_rs.StdAstFileSystem.all_files(5)
    with pytest.raises(TypeError):
        tymbe_rs.StdAstFileSystem.read_to_string("not a file system", "a.py")


FS = tymbe_rs.StdAstFileSystem([])
ARGUMENT_ERRORS = [
    (tymbe_rs.to_snake_case, ("A", "B"), {}, "to_snake_case() takes at most 1 argument (2 given)"),
    (tymbe_rs.to_snake_case, (), {"name": "A", "x": 1}, "to_snake_case() takes at most 1 keyword argument (2 given)"),
    (tymbe_rs.to_snake_case, (), {}, "to_snake_case() missing required argument 'name' (pos 1)"),
    (tymbe_rs.to_snake_case, (), {"x": "A"}, "to_snake_case() missing required argument 'name' (pos 1)"),
    (tymbe_rs.build_namespaced_name, (), {"x": "A"}, "'x' is an invalid keyword argument for build_namespaced_name()"),
    (
        tymbe_rs.build_namespaced_name,
        ("A",),
        {"namespace": "B"},
        "argument for build_namespaced_name() given by name ('namespace') and position (1)",
    ),
    (FS.all_files, (1,), {}, "all_files() takes no arguments (1 given)"),
    (FS.all_files, (), {"x": 1}, "all_files() takes no arguments (1 given)"),
    (FS.read_to_string, (), {}, "read_to_string() missing required argument 'path' (pos 1)"),
    (tymbe_rs.StdAstFileSystem, (), {}, "StdAstFileSystem() missing required argument 'files' (pos 1)"),
    (tymbe_rs.StdAstFileSystem, ([], []), {}, "StdAstFileSystem() takes at most 1 argument (2 given)"),
    (tymbe_rs.StdAstFileSystem, ([],), {"files": []}, "StdAstFileSystem() takes at most 1 argument (2 given)"),
    (tymbe_rs.StdAstFileSystem, (), {"fils": []}, "StdAstFileSystem() missing required argument 'files' (pos 1)"),
    (tymbe_rs.to_snake_case, (1,), {}, "to_snake_case() argument 'name' must be str, not int"),
    (tymbe_rs.to_snake_case, (None,), {}, "to_snake_case() argument 'name' must be str, not None"),
]


@pytest.mark.parametrize("callable_, args, kwargs, message", ARGUMENT_ERRORS)
def test_argument_errors_name_the_call_and_the_parameter(callable_, args, kwargs, message):
    with pytest.raises(TypeError) as caught:
        callable_(*args, **kwargs)
    assert caught.value.args == (message,)


# str.encode(encoding, errors) has the shape of build_namespaced_name (two
# optional parameters by position or keyword), so its generated argument
# parsing shows the interpreter's own wording for the same mistakes.
@pytest.mark.parametrize(
    "args, kwargs",
    [
        (("utf-8", "strict", "x"), {}),
        ((), {"encoding": "utf-8", "errors": "strict", "x": 1}),
        (("utf-8",), {"encoding": "utf-8"}),
        (("utf-8",), {"errors": "strict", "x": 1}),
        ((), {"x": 1}),
    ],
)
def test_wording_matches_the_interpreter(args, kwargs):
    renamed = {"encoding": "namespace", "errors": "name"}
    with pytest.raises(TypeError) as builtin:
        "".encode(*args, **kwargs)
    with pytest.raises(TypeError) as ours:
        tymbe_rs.build_namespaced_name(*args, **{renamed.get(k, k): v for k, v in kwargs.items()})
    expected = str(builtin.value).replace("encode()", "build_namespaced_name()")
    expected = expected.replace("'encoding'", "'namespace'").replace("'errors'", "'name'")
    assert str(ours.value) == expected


def test_lone_surrogate_raises_the_interpreters_encode_error():
    with pytest.raises(UnicodeEncodeError):
        tymbe_rs.to_snake_case("Foo\udc80")
