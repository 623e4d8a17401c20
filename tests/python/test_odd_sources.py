"""Sources that are not plain files of a sane size: a FIFO, endless devices,
files larger than a source can be or than memory holds. Each is a failure
like any unreadable file (or, for a FIFO without a writer, an empty text),
never a hang, an unexpected failure or a poisoned slot. The cases run in
fresh interpreters, so that a hang fails one test."""

import os
import signal
import subprocess
import sys
import textwrap
import time

import pytest

TOO_LARGE = "File too large (os error 27)"
NO_MEMORY = "Cannot allocate memory (os error 12)"


@pytest.fixture
def fifo(tmp_path):
    path = tmp_path / "pipe.py"
    os.mkfifo(path)
    return str(path)


def sparse_file(tmp_path, name, size):
    path = tmp_path / name
    with open(path, "wb") as handle:
        handle.truncate(size)
    return str(path)


def test_fifo_without_writer_reads_as_empty(fifo, tmp_path, run_python):
    script = textwrap.dedent(
        f"""
        import tymbe_rs
        path = {fifo!r}
        assert tymbe_rs.StdAstFileSystem([]).read_to_string(path) == ""
        assert tymbe_rs.AstFileParserCache([path], {str(tmp_path)!r}).get_parsed_file(path) == (path, "", {{}})
        index = tymbe_rs.AstProjectIndex([path] * 4, {str(tmp_path)!r})
        index.nonblocking_start_index()
        assert index.feature_class_ast("pipe", "X") is None
        assert index.function_ast_in_file(path, "f") is None
        print("done")
        """
    )
    result = run_python(script, timeout=20)
    assert (result.returncode, result.stdout, result.stderr) == (0, "done\n", "")


def test_interrupt_ends_a_read_that_waits_for_a_writer(fifo, tmp_path):
    """The FIFO has a writer that never writes: Ctrl-C (from outside, as a
    terminal sends it; the lookup holds the interpreter lock) ends the lookup,
    and the interrupted read stays the file's failure: it is not read again."""
    script = textwrap.dedent(
        f"""
        import os, sys
        import tymbe_rs
        path = {fifo!r}
        writer = os.open(path, os.O_RDWR)  # a writer that stays silent
        index = tymbe_rs.AstProjectIndex([path], {str(tmp_path)!r})
        print("reading", flush=True)
        try:
            index.resolver_ast_in_file(path, "f")
        except KeyboardInterrupt:
            print("interrupted", index.resolver_ast_in_file(path, "f"))
        """
    )
    child = subprocess.Popen(
        [sys.executable, "-c", script],
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        text=True,
        env=dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path)),
    )
    try:
        assert child.stdout.readline() == "reading\n"
        time.sleep(0.3)
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=10)
    finally:
        child.kill()
    assert (child.returncode, out, err) == (0, "interrupted None\n", "")


def test_endless_and_oversized_sources_are_read_failures(tmp_path, run_python):
    """/dev/urandom is refused at its first invalid bytes, a sparse file past
    what a source can address before anything is read; a file or an endless
    device that does not fit in the memory left is ENOMEM. Each failure is
    cached like any other, and a worker meeting one says nothing."""
    huge = sparse_file(tmp_path, "huge.py", (4 << 30) + 1)
    terabyte = sparse_file(tmp_path, "terabyte.py", 1 << 40)
    large = sparse_file(tmp_path, "large.py", 3 << 30)
    script = textwrap.dedent(
        f"""
        import resource
        import tymbe_rs
        # Memory for the interpreter and the module, not for the sources.
        resource.setrlimit(resource.RLIMIT_AS, (512 << 20, resource.RLIM_INFINITY))
        root = {str(tmp_path)!r}
        expected = {{
            "/dev/urandom": "stream did not contain valid UTF-8",
            {huge!r}: {TOO_LARGE!r},
            {terabyte!r}: {TOO_LARGE!r},
            {large!r}: {NO_MEMORY!r},
            "/dev/zero": {NO_MEMORY!r},
        }}
        filesystem = tymbe_rs.StdAstFileSystem([])
        cache = tymbe_rs.AstFileParserCache([], root)
        for path, text in expected.items():
            try:
                filesystem.read_to_string(path)
            except OSError as error:
                assert error.args == (text,), (path, error.args)
            for _ in range(2):
                try:
                    cache.get_parsed_file(path)
                except ValueError as error:
                    assert error.args == (f"Failed to read {{path}}: {{text}}",), (path, error.args)
        index = tymbe_rs.AstProjectIndex(list(expected), root)
        index.nonblocking_start_index()
        for path in expected:
            assert index.feature_class_ast_in_file(path, "X") is None
        print("done")
        """
    )
    result = run_python(script, timeout=120)
    assert (result.returncode, result.stdout, result.stderr) == (0, "done\n", "")
