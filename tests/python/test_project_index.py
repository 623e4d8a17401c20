"""AstProjectIndex: construction, the six lookups, and background indexing
seen from Python."""

import random
import threading

import pytest

from tymbe_rs import AstFileParserCache, AstProjectIndex, FeatureClassAST, ResolverAST, StdAstFileSystem

MODULE_SOURCE = '''\
from tymbe import online, offline
from tymbe.features import features


@features
class {Name}:
    # What {name} is.
    value: int
    label: str = feature(max_staleness="{n}m")


@online(owner="team{n}")
def resolve_{name}(x: {Name}.value) -> {Name}.label:
    return str(x)


def helper_{name}(a, b=1, *c, **d):
    def inner():
        return a
    return inner


class Plain:
    def method(self):
        pass
'''


def write_project(root, count):
    """`count` modules pkg/mod{n}.py, each with a feature class, a resolver,
    plain functions and a method; returns their paths."""
    paths = []
    for n in range(count):
        path = root / "pkg" / f"mod{n}.py"
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(MODULE_SOURCE.format(Name=f"Thing{n}", name=f"thing{n}", n=n))
        paths.append(str(path))
    return paths


def snapshot(value):
    """Everything a record shows, as plain data, so two answers can be compared."""
    if isinstance(value, dict):
        return {key: snapshot(item) for key, item in value.items()}
    if isinstance(value, list):
        return [snapshot(item) for item in value]
    if type(value).__module__ == "tymbe_rs":
        names = sorted(name for name in vars(type(value)) if not name.startswith("__"))
        return (type(value).__name__, {name: snapshot(getattr(value, name)) for name in names})
    return value


@pytest.fixture
def project(tmp_path):
    return tmp_path, write_project(tmp_path, 3)


def lookups(count):
    """Every lookup of the generated project that should find something, and
    a few that should not."""
    calls = []
    for n in range(count):
        module, name = f"pkg.mod{n}", f"thing{n}"
        calls += [
            ("feature_class_ast", module, f"Thing{n}"),
            ("resolver_ast", module, f"resolve_{name}"),
            ("function_ast", module, f"resolve_{name}"),
            ("function_ast", module, f"helper_{name}"),
            ("function_ast", module, "inner"),
            ("function_ast", module, "method"),
            ("resolver_ast", module, f"helper_{name}"),
            ("feature_class_ast", module, "Plain"),
        ]
    calls.append(("function_ast", "pkg.nowhere", "helper_thing0"))
    return calls


class TestConstruction:
    @pytest.mark.parametrize(
        "args, kwargs",
        [
            (("pkg/mod0.py", "/"), {}),
            (({"a.py"}, "/"), {}),
            (([1], "/"), {}),
            (([], b"/"), {}),
            (([], "/"), {"filesystem": []}),
            (([], "/"), {"filesystem": AstFileParserCache([], "/")}),
            (([],), {}),
            (([], "/", None, None), {}),
        ],
        ids=["str", "set", "non-str-item", "bytes-root", "list-fs", "cache-fs", "missing-root", "too-many"],
    )
    def test_bad_arguments_raise_type_error(self, args, kwargs):
        with pytest.raises(TypeError):
            AstProjectIndex(*args, **kwargs)

    @pytest.mark.parametrize("bad", [[], AstFileParserCache([], "/"), "fs"])
    def test_bad_filesystem_names_the_argument(self, bad):
        with pytest.raises(TypeError, match=r"^AstProjectIndex\(\) argument 'filesystem' must be StdAstFileSystem or None"):
            AstProjectIndex([], "/", bad)

    @pytest.mark.parametrize(
        "make",
        [
            lambda paths, root: AstProjectIndex(paths, root),
            lambda paths, root: AstProjectIndex(tuple(paths), root),
            lambda paths, root: AstProjectIndex(files=paths, project_root=root, filesystem=None),
            lambda paths, root: AstProjectIndex(paths, root, StdAstFileSystem(paths)),
        ],
        ids=["list", "tuple", "keywords-none-fs", "shared-fs"],
    )
    def test_ways_of_building_give_the_same_answers(self, project, make):
        root, paths = project
        expected = snapshot(AstProjectIndex(paths, str(root)).resolver_ast("pkg.mod1", "resolve_thing1"))
        index = make(paths, str(root))
        assert snapshot(index.resolver_ast("pkg.mod1", "resolve_thing1")) == expected
        assert expected[1]["module"] == "pkg.mod1"

    def test_a_non_py_entry_is_still_searched_with_a_file_system(self, tmp_path):
        path = tmp_path / "script.txt"
        path.write_text("def f():\n    pass\n")
        filesystem = StdAstFileSystem([str(path)])
        assert filesystem.all_files() == []
        index = AstProjectIndex([str(path)], str(tmp_path), filesystem=filesystem)
        assert index.function_ast_in_file(str(path), "f").resolver_name == "f"
        assert index.function_ast("script.txt", "f").resolver_name == "f"


class TestLookups:
    def test_each_lookup_finds_its_record_kind(self, project):
        root, paths = project
        index = AstProjectIndex(paths, str(root))
        found = {
            "feature_class_ast": index.feature_class_ast("pkg.mod2", "Thing2"),
            "feature_class_ast_in_file": index.feature_class_ast_in_file(paths[2], "Thing2"),
            "resolver_ast": index.resolver_ast("pkg.mod2", "resolve_thing2"),
            "resolver_ast_in_file": index.resolver_ast_in_file(paths[2], "resolve_thing2"),
            "function_ast": index.function_ast("pkg.mod2", "helper_thing2"),
            "function_ast_in_file": index.function_ast_in_file(paths[2], "helper_thing2"),
        }
        for name, record in found.items():
            assert type(record) is (FeatureClassAST if name.startswith("feature") else ResolverAST), name
            assert record.module == "pkg.mod2"
        assert snapshot(found["feature_class_ast"]) == snapshot(found["feature_class_ast_in_file"])
        assert snapshot(found["resolver_ast"]) == snapshot(found["resolver_ast_in_file"])
        assert found["function_ast"].decorator_location is None

    @pytest.mark.parametrize(
        "method, first, second",
        [
            ("resolver_ast", "pkg.mod0", "helper_thing0"),  # a function, but not a resolver
            ("feature_class_ast", "pkg.mod0", "Plain"),  # a class without the decorator
            ("function_ast", "pkg.mod1", "helper_thing0"),  # the right name in another module
            ("function_ast", "pkg/mod0.py", "helper_thing0"),  # a path is not a module
            ("function_ast_in_file", "{root}/missing.py", "f"),
            ("resolver_ast_in_file", "{root}/pkg/mod0.py", "resolve_thing1"),
            ("feature_class_ast_in_file", "", "Thing0"),
        ],
    )
    def test_nothing_found_is_none(self, project, method, first, second):
        root, paths = project
        index = AstProjectIndex(paths, str(root))
        assert getattr(index, method)(first.format(root=root), second) is None

    def test_empty_index_finds_nothing_and_starts_nothing(self):
        index = AstProjectIndex([], "/")
        assert index.function_ast("m", "f") is None
        assert index.resolver_ast("m", "f") is None
        assert index.feature_class_ast("m", "C") is None
        assert index.nonblocking_start_index() is None

    def test_first_file_in_the_list_wins_and_failing_files_are_skipped(self, tmp_path):
        (tmp_path / "root").mkdir()
        (tmp_path / "outside").mkdir()
        inside = tmp_path / "root" / "m.py"
        outside = tmp_path / "outside" / "m.py"  # outside the root: named by its stem, "m"
        broken = tmp_path / "root" / "broken.py"
        inside.write_text("def f():\n    pass\n")
        outside.write_text("\n\ndef f():\n    pass\n")
        broken.write_text("def f(:\n")
        root = str(tmp_path / "root")
        for order, line in [([outside, inside], 2), ([inside, outside], 0)]:
            files = [str(broken), str(tmp_path / "root" / "gone.py")] + [str(p) for p in order]
            found = AstProjectIndex(files, root).function_ast("m", "f")
            assert found.resolver_name_location[0] == line
        assert AstProjectIndex([str(broken)], root).function_ast_in_file(str(broken), "f") is None

    def test_a_file_outside_the_list_is_looked_in(self, project):
        root, paths = project
        index = AstProjectIndex(paths[:1], str(root))
        assert index.resolver_ast("pkg.mod1", "resolve_thing1") is None
        assert index.resolver_ast_in_file(paths[1], "resolve_thing1").module == "pkg.mod1"

    def test_relative_file_path_is_used_as_passed(self, project, monkeypatch):
        root, paths = project
        monkeypatch.chdir(root)
        index = AstProjectIndex(["pkg/mod0.py"], str(root))
        assert index.function_ast_in_file("pkg/mod0.py", "inner").module == "pkg.mod0"
        assert index.function_ast("pkg.mod0", "inner") is not None

    def test_equal_lookups_give_distinct_equal_objects(self, project):
        root, paths = project
        index = AstProjectIndex(paths, str(root))
        first = index.feature_class_ast("pkg.mod0", "Thing0")
        second = index.feature_class_ast("pkg.mod0", "Thing0")
        assert first is not second
        assert snapshot(first) == snapshot(second)

    def test_answers_are_kept_after_the_file_changes(self, project):
        root, paths = project
        index = AstProjectIndex(paths, str(root))
        before = snapshot(index.resolver_ast("pkg.mod0", "resolve_thing0"))
        (root / "pkg" / "mod0.py").write_text("")
        assert snapshot(index.resolver_ast("pkg.mod0", "resolve_thing0")) == before

    @pytest.mark.parametrize(
        "method, first, second",
        [
            ("feature_class_ast", "module", "class_name"),
            ("feature_class_ast_in_file", "file_path", "class_name"),
            ("resolver_ast", "module", "resolver_name"),
            ("resolver_ast_in_file", "file_path", "resolver_name"),
            ("function_ast", "module", "function_name"),
            ("function_ast_in_file", "file_path", "function_name"),
        ],
    )
    def test_parameters_by_keyword_and_their_errors(self, project, method, first, second):
        root, paths = project
        index = AstProjectIndex(paths, str(root))
        lookup = getattr(index, method)
        key = "pkg.mod0" if first == "module" else paths[0]
        name = {"class_name": "Thing0", "resolver_name": "resolve_thing0", "function_name": "helper_thing0"}[second]
        assert snapshot(lookup(**{second: name, first: key})) == snapshot(lookup(key, name))
        with pytest.raises(TypeError) as missing:
            lookup(key)
        assert missing.value.args == (f"{method}() missing required argument '{second}' (pos 2)",)
        with pytest.raises(TypeError) as wrong_first:
            lookup(None, name)
        assert wrong_first.value.args == (f"{method}() argument '{first}' must be str, not None",)
        with pytest.raises(TypeError) as wrong_second:
            lookup(key, b"name")
        assert wrong_second.value.args == (f"{method}() argument '{second}' must be str, not bytes",)
        with pytest.raises(TypeError):
            lookup(key, name, "extra")
        with pytest.raises(TypeError):
            getattr(AstProjectIndex, method)(AstFileParserCache([], "/"), key, name)

    def test_nonblocking_start_index_takes_no_arguments(self):
        with pytest.raises(TypeError, match=r"takes no arguments \(1 given\)"):
            AstProjectIndex([], "/").nonblocking_start_index(1)


class TestBackgroundIndexing:
    def test_start_twice_returns_none_and_lookups_still_answer(self, project):
        root, paths = project
        index = AstProjectIndex(paths, str(root))
        assert index.nonblocking_start_index() is None
        assert index.nonblocking_start_index() is None
        assert index.feature_class_ast("pkg.mod2", "Thing2").namespace == "thing2"

    def test_dropping_the_index_while_workers_run(self, tmp_path, run_python):
        paths = write_project(tmp_path, 40)
        script = (
            "import gc, tymbe_rs\n"
            f"paths = {paths!r}\n"
            "for _ in range(20):\n"
            f"    index = tymbe_rs.AstProjectIndex(paths, {str(tmp_path)!r})\n"
            "    index.nonblocking_start_index()\n"
            "    del index\n"
            "    gc.collect()\n"
            "print('ok')\n"
        )
        result = run_python(script)
        assert (result.returncode, result.stdout) == (0, "ok\n"), result.stderr

    def test_threads_during_background_indexing_match_a_cold_run(self, tmp_path):
        count = 12
        paths = write_project(tmp_path, count)
        # A file that fails and one that is missing must not disturb the rest.
        broken = tmp_path / "pkg" / "broken.py"
        broken.write_text("def f(:\n")
        paths += [str(broken), str(tmp_path / "pkg" / "missing.py")]
        calls = lookups(count)
        calls += [
            (method + "_in_file", path, name)
            for path in paths
            for method, module, name in calls
            if path.endswith(module.replace(".", "/") + ".py") or module == "pkg.nowhere"
        ]

        cold_index = AstProjectIndex(paths, str(tmp_path))
        cold = {call: snapshot(getattr(cold_index, call[0])(call[1], call[2])) for call in calls}
        assert sum(answer is not None for answer in cold.values()) > len(calls) // 2

        for _ in range(3):
            index = AstProjectIndex(paths, str(tmp_path))
            index.nonblocking_start_index()
            answers, errors = [], []

            def work(seed):
                try:
                    order = list(calls)
                    random.Random(seed).shuffle(order)
                    answers.append({call: snapshot(getattr(index, call[0])(call[1], call[2])) for call in order})
                except BaseException as error:  # reported below
                    errors.append(error)

            threads = [threading.Thread(target=work, args=(seed,)) for seed in range(6)]
            for thread in threads:
                thread.start()
            for thread in threads:
                thread.join()
            assert not errors
            assert len(answers) == 6
            for answer in answers:
                assert answer == cold
