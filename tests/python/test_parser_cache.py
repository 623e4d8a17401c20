"""AstFileParserCache: the file list, each file's text and its top-level
import map, and the failures of reading and parsing."""

import threading

import pytest

from tymbe_rs import AstFileParserCache, StdAstFileSystem


@pytest.fixture
def write(tmp_path):
    def write(name, text):
        path = tmp_path / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
        return str(path)

    return write


def imports_of(tmp_path, source):
    path = tmp_path / "m.py"
    path.write_text(source)
    return AstFileParserCache([], str(tmp_path)).get_parsed_file(str(path))[2]


class TestAllFiles:
    def test_is_the_normalised_list(self):
        cache = AstFileParserCache(["b.py", "a.py", "a.py", "notes.txt"], "/proj")
        assert cache.all_files() == ["a.py", "b.py"]

    def test_with_a_file_system_is_that_file_systems_list(self):
        filesystem = StdAstFileSystem(["z.py", "y.py"])
        cache = AstFileParserCache(["ignored.py"], "/proj", filesystem)
        assert cache.all_files() == ["y.py", "z.py"]
        assert AstFileParserCache(["a.py"], "/proj", filesystem=None).all_files() == ["a.py"]

    def test_is_a_new_list_every_call(self):
        cache = AstFileParserCache(["a.py"], "/proj")
        first = cache.all_files()
        first.append("x.py")
        assert cache.all_files() == ["a.py"]

    @pytest.mark.parametrize(
        "files, filesystem",
        [
            ("a.py", None),
            ("a.py", StdAstFileSystem([])),
            (["a.py", 1], StdAstFileSystem([])),
            ({"a.py"}, None),
            ([], []),
            ([], AstFileParserCache([], "/")),
        ],
        ids=["str", "str-with-fs", "non-str-item-with-fs", "set", "list-as-fs", "cache-as-fs"],
    )
    def test_bad_arguments_raise_type_error(self, files, filesystem):
        with pytest.raises(TypeError):
            AstFileParserCache(files, "/proj", filesystem)

    def test_bad_filesystem_is_named(self):
        with pytest.raises(TypeError, match="'filesystem'"):
            AstFileParserCache([], "/proj", filesystem=[])

    def test_path_object_as_root_is_refused(self, tmp_path):
        with pytest.raises(TypeError, match="'project_root' must be str"):
            AstFileParserCache([], tmp_path)


class TestGetParsedFile:
    def test_returns_path_source_and_imports(self, write, tmp_path):
        source = "from m import b as c, a\n\nx = 1\n"
        path = write("m.py", source)
        result = AstFileParserCache([path], str(tmp_path)).get_parsed_file(path=path)
        assert result == (path, source, {"m": {"b": ["c"], "a": ["a"]}})
        assert type(result) is tuple

    @pytest.mark.parametrize(
        "source, expected",
        [
            ("", {}),
            ("# only a comment\n", {}),
            ("import m\nfrom . import x\nfrom .m import y\n", {}),
            ("try:\n    from m import a\nexcept ImportError:\n    pass\n", {}),
            ("if True:\n    from m import a\n", {}),
            (
                "from m import a as b\nfrom m import a\nfrom m import a as B\nfrom m import a as _\n",
                {"m": {"a": ["B", "_", "a", "b"]}},
            ),
            ("from a.b import c\nfrom a import b\n", {"a.b": {"c": ["c"]}, "a": {"b": ["b"]}}),
            ("from m import *\n", {"m": {"*": ["*"]}}),
            ("from m import é as ñ, a as é\n", {"m": {"é": ["ñ"], "a": ["é"]}}),
        ],
        ids=["empty", "comment", "not-recorded", "in-try", "in-if", "sorted-local-names", "dotted", "star", "non-ascii"],
    )
    def test_import_map(self, tmp_path, source, expected):
        assert imports_of(tmp_path, source) == expected

    def test_path_is_returned_exactly_as_asked(self, write, tmp_path, monkeypatch):
        write("pkg/m.py", "x = 1\n")
        monkeypatch.chdir(tmp_path)
        cache = AstFileParserCache([], "/elsewhere")
        for path in ("pkg/m.py", "./pkg/m.py", "pkg//m.py"):
            assert cache.get_parsed_file(path)[:2] == (path, "x = 1\n")

    def test_a_path_not_in_the_list_is_parsed(self, write, tmp_path):
        path = write("other.py", "y = 2\n")
        assert AstFileParserCache(["listed.py"], str(tmp_path)).get_parsed_file(path)[1] == "y = 2\n"

    def test_results_are_fresh_objects(self, write, tmp_path):
        path = write("m.py", "from m import a\n")
        cache = AstFileParserCache([path], str(tmp_path))
        first = cache.get_parsed_file(path)
        first[2]["m"]["a"].append("changed")
        first[2]["n"] = {}
        second = cache.get_parsed_file(path)
        assert second == (path, "from m import a\n", {"m": {"a": ["a"]}})
        assert second is not first and second[2] is not first[2]

    @pytest.mark.parametrize(
        "name, content, prefix",
        [
            ("missing.py", None, "Failed to read {path}: "),
            ("broken.py", "def f(:\n", "Failed to parse {path}: "),
            ("latin1.py", b"x = '\xe9'\n", "Failed to read {path}: stream did not contain valid UTF-8"),
        ],
        ids=["missing", "syntax-error", "not-utf8"],
    )
    def test_failures_are_value_errors_and_are_kept(self, tmp_path, name, content, prefix):
        path = tmp_path / name
        if isinstance(content, bytes):
            path.write_bytes(content)
        elif content is not None:
            path.write_text(content)
        cache = AstFileParserCache([], str(tmp_path))
        with pytest.raises(ValueError) as first:
            cache.get_parsed_file(str(path))
        (message,) = first.value.args
        assert message.startswith(prefix.format(path=path))
        # Mending the file changes nothing: the failure is stored.
        path.write_text("x = 1\n")
        with pytest.raises(ValueError) as second:
            cache.get_parsed_file(str(path))
        assert second.value.args == (message,)

    def test_missing_file_message_ends_with_the_os_error(self, tmp_path):
        with pytest.raises(ValueError, match=r"^Failed to read missing\.py: .* \(os error 2\)$"):
            AstFileParserCache([], str(tmp_path)).get_parsed_file("missing.py")

    def test_parse_error_names_the_byte_range(self, write, tmp_path):
        path = write("broken.py", "x = (\n")
        with pytest.raises(ValueError, match=r" at byte range \d+\.\.\d+$"):
            AstFileParserCache([], str(tmp_path)).get_parsed_file(path)

    def test_outcome_is_kept_after_the_file_changes(self, write, tmp_path):
        path = write("m.py", "from m import a\n")
        cache = AstFileParserCache([path], str(tmp_path))
        cache.get_parsed_file(path)
        write("m.py", "from n import b\n")
        assert cache.get_parsed_file(path)[1:] == ("from m import a\n", {"m": {"a": ["a"]}})
        # A new cache reads the file anew.
        assert AstFileParserCache([path], str(tmp_path)).get_parsed_file(path)[2] == {"n": {"b": ["b"]}}

    @pytest.mark.parametrize("bad", [b"m.py", None, 3])
    def test_path_must_be_str(self, bad):
        with pytest.raises(TypeError, match="'path' must be str"):
            AstFileParserCache([], "/").get_parsed_file(bad)

    def test_lone_surrogate_path_raises_unicode_encode_error(self):
        with pytest.raises(UnicodeEncodeError):
            AstFileParserCache([], "/").get_parsed_file("m\udc80.py")

    def test_receiver_is_checked(self):
        with pytest.raises(TypeError):
            AstFileParserCache.get_parsed_file(StdAstFileSystem([]), "m.py")


def test_threads_share_one_cache(write, tmp_path):
    paths = [write(f"m{i}.py", f"from pkg{i} import name{i}\n") for i in range(8)]
    cache = AstFileParserCache(paths, str(tmp_path))
    results, errors = {}, []

    def work(offset):
        try:
            for k in range(len(paths)):
                path = paths[(k + offset) % len(paths)]
                results.setdefault(path, []).append(cache.get_parsed_file(path))
        except BaseException as error:  # noqa: BLE001 - reported below
            errors.append(error)

    threads = [threading.Thread(target=work, args=(t,)) for t in range(6)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert not errors
    for i, path in enumerate(paths):
        expected = (path, f"from pkg{i} import name{i}\n", {f"pkg{i}": {f"name{i}": [f"name{i}"]}})
        assert results[path] == [expected] * 6
