"""Sources that are not plain files: a FIFO reads as any file (or, without a
writer, as an empty text), never a hang. The cases run in fresh
interpreters, so that a hang fails one test."""

import os
import signal
import subprocess
import sys
import textwrap
import time

import pytest


@pytest.fixture
def fifo(tmp_path):
    path = tmp_path / "pipe.py"
    os.mkfifo(path)
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
