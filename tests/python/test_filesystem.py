"""StdAstFileSystem: the normalised file list, reading files, and the rule
for the `files` argument that every class built from a file list shares."""

import collections.abc
import os
import pathlib
import threading

import pytest

from tymbe_rs import StdAstFileSystem


class TestFileList:
    @pytest.mark.parametrize(
        "files, expected",
        [
            (["b.py", "a.py", "a.py", "notes.txt"], ["a.py", "b.py"]),
            ([], []),
            (["README", "a.pyi", "setup.cfg"], []),
            (["a.py", "B.py", "a/b.py"], ["B.py", "a.py", "a/b.py"]),
        ],
    )
    def test_all_files_is_the_normalised_list(self, files, expected):
        assert StdAstFileSystem(files).all_files() == expected

    def test_all_files_is_a_new_list_every_time(self):
        filesystem = StdAstFileSystem(["a.py"])
        first = filesystem.all_files()
        first.append("b.py")
        assert filesystem.all_files() == ["a.py"]
        assert filesystem.all_files() is not filesystem.all_files()


class SequenceOfPaths(collections.abc.Sequence):
    def __init__(self, *paths):
        self.paths = list(paths)
        self.iterations = 0

    def __getitem__(self, index):
        return self.paths[index]

    def __len__(self):
        return len(self.paths)

    def __iter__(self):
        self.iterations += 1
        return iter(self.paths)


class IterableRegisteredAsSequence:
    """No __getitem__, so only the Sequence abc accepts it."""

    def __iter__(self):
        return iter(["x.py"])


collections.abc.Sequence.register(IterableRegisteredAsSequence)


class BrokenSequence(collections.abc.Sequence):
    def __getitem__(self, index):
        raise IndexError(index)

    def __len__(self):
        return 1

    def __iter__(self):
        raise ValueError("cannot iterate")


class PathText(str):
    pass


class TestFilesArgument:
    @pytest.mark.parametrize(
        "files",
        [
            ("b.py", "a.py"),
            ["b.py", PathText("a.py")],
            SequenceOfPaths("b.py", "a.py"),
        ],
        ids=["tuple", "str-subclass-item", "Sequence-subclass"],
    )
    def test_sequences_of_str_are_accepted(self, files):
        assert StdAstFileSystem(files).all_files() == ["a.py", "b.py"]

    def test_accepted_by_keyword(self):
        assert StdAstFileSystem(files=["a.py"]).all_files() == ["a.py"]

    def test_a_registered_sequence_is_accepted(self):
        assert StdAstFileSystem(IterableRegisteredAsSequence()).all_files() == ["x.py"]

    def test_iterated_once(self):
        files = SequenceOfPaths("a.py")
        StdAstFileSystem(files)
        assert files.iterations == 1

    @pytest.mark.parametrize(
        "files, message",
        [
            ("a.py", "must be a sequence of str, not a single str"),
            (PathText("a.py"), "must be a sequence of str, not a single str"),
            ({"a.py"}, "must be a sequence of str, not set"),
            ({"a.py": 1}, "must be a sequence of str, not dict"),
            ((p for p in ["a.py"]), "must be a sequence of str, not generator"),
            (iter(["a.py"]), "must be a sequence of str, not list_iterator"),
            (None, "must be a sequence of str, not None"),
            (["a.py", 1], "item 1 must be str, not int"),
            ([b"a.py"], "item 0 must be str, not bytes"),
            ([pathlib.Path("a.py")], "item 0 must be str, not PosixPath"),
            (b"a.py", "item 0 must be str, not int"),
        ],
        ids=["str", "str-subclass", "set", "dict", "generator", "iterator", "None", "int-item", "bytes-item",
             "path-item", "bytes"],
    )
    def test_refused_with_a_type_error_naming_files(self, files, message):
        with pytest.raises(TypeError) as caught:
            StdAstFileSystem(files)
        assert str(caught.value) == f"StdAstFileSystem() argument 'files' {message}"

    def test_an_error_while_iterating_passes_unchanged(self):
        with pytest.raises(ValueError, match="cannot iterate"):
            StdAstFileSystem(BrokenSequence())

    def test_an_item_with_a_lone_surrogate_raises_the_encode_error(self):
        with pytest.raises(UnicodeEncodeError):
            StdAstFileSystem(["a\udc80.py"])


class TestReadToString:
    def test_reads_a_file_that_is_not_in_the_list(self, tmp_path):
        path = tmp_path / "other.py"
        path.write_text("x = 1\n")
        assert StdAstFileSystem([]).read_to_string(str(path)) == "x = 1\n"

    def test_path_by_keyword(self, tmp_path):
        path = tmp_path / "a.py"
        path.write_text("pass\n")
        assert StdAstFileSystem([]).read_to_string(path=str(path)) == "pass\n"

    def test_relative_path_is_taken_against_the_working_directory(self, tmp_path, monkeypatch):
        (tmp_path / "first").mkdir()
        (tmp_path / "second").mkdir()
        (tmp_path / "first" / "a.py").write_text("first")
        (tmp_path / "second" / "a.py").write_text("second")
        filesystem = StdAstFileSystem(["a.py"])
        monkeypatch.chdir(tmp_path / "first")
        assert filesystem.read_to_string("a.py") == "first"
        monkeypatch.chdir(tmp_path / "second")
        assert filesystem.read_to_string("a.py") == "second"

    def test_reads_the_disk_again_on_every_call(self, tmp_path):
        path = tmp_path / "a.py"
        path.write_text("old")
        filesystem = StdAstFileSystem([str(path)])
        assert filesystem.read_to_string(str(path)) == "old"
        path.write_text("new")
        assert filesystem.read_to_string(str(path)) == "new"

    def test_missing_file_raises_a_plain_os_error(self, tmp_path):
        with pytest.raises(OSError) as caught:
            StdAstFileSystem([]).read_to_string(str(tmp_path / "missing.py"))
        error = caught.value
        assert type(error) is OSError
        assert len(error.args) == 1
        assert error.args[0] == f"{os.strerror(2)} (os error 2)"
        assert (error.errno, error.strerror, error.filename) == (None, None, None)

    @pytest.mark.parametrize(
        "content, path, message",
        [
            (b"ok = '\xff'\n", "bad.py", "stream did not contain valid UTF-8"),
            (None, "a\0b.py", "file name contained an unexpected NUL byte"),
        ],
        ids=["invalid-utf8", "nul-in-path"],
    )
    def test_read_failures_carry_the_errors_text(self, tmp_path, content, path, message):
        if content is not None:
            (tmp_path / path).write_bytes(content)
        with pytest.raises(OSError) as caught:
            StdAstFileSystem([]).read_to_string(str(tmp_path / path))
        assert caught.value.args == (message,)
        assert caught.value.errno is None

    @pytest.mark.parametrize("path", [pathlib.Path("a.py"), b"a.py", None])
    def test_path_must_be_str(self, path):
        with pytest.raises(TypeError, match=r"read_to_string\(\) argument 'path' must be str"):
            StdAstFileSystem([]).read_to_string(path)

    def test_the_lock_is_released_while_reading(self, tmp_path, run_python):
        # Reading a FIFO that has a writer waits for its text: the writer is a
        # second Python thread, which can only write if the read let go of the
        # lock. (Opening does not wait; the writer is there before the read.)
        fifo = tmp_path / "pipe.py"
        os.mkfifo(fifo)
        script = (
            "import os, threading, time, tymbe_rs\n"
            f"path = {str(fifo)!r}\n"
            "writer = os.open(path, os.O_RDWR)\n"
            "def write():\n"
            "    time.sleep(0.2)\n"
            "    os.write(writer, b'written')\n"
            "    os.close(writer)\n"
            "threading.Thread(target=write).start()\n"
            "print(tymbe_rs.StdAstFileSystem([]).read_to_string(path))\n"
        )
        result = run_python(script, timeout=30)
        assert result.returncode == 0, result.stderr
        assert result.stdout == "written\n"

    def test_many_threads_read_through_one_file_system(self, tmp_path):
        paths = []
        for i in range(8):
            path = tmp_path / f"m{i}.py"
            path.write_text(f"value = {i}\n")
            paths.append(str(path))
        filesystem = StdAstFileSystem(paths)
        failures = []

        def read(i):
            for _ in range(50):
                if filesystem.read_to_string(paths[i]) != f"value = {i}\n":
                    failures.append(i)

        threads = [threading.Thread(target=read, args=(i,)) for i in range(8)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        assert failures == []
