"""The process ending, and forking, while background workers and calls
without the interpreter lock are busy in the module. Each case runs in fresh
interpreters, many times over, because the faults it guards against show only
at a moment that a single run seldom hits."""

import textwrap

import pytest

# Long CamelCase class names keep the workers busy in the snake-case patterns
# as well as in the parser, both of which the process once tore down at exit
# under them.
CLASS_NAME = "".join(f"Word{c}Part" for c in "ABCDEFGHIJKL")


def write_modules(root, count, classes):
    paths = []
    for n in range(count):
        path = root / "pkg" / f"mod{n}.py"
        path.parent.mkdir(parents=True, exist_ok=True)
        lines = ["from tymbe.features import features", ""]
        for c in range(classes):
            lines += ["@features", f"class {CLASS_NAME}{c}N{n}:", "    # A field.", "    x: int", ""]
        path.write_text("\n".join(lines))
        paths.append(str(path))
    return paths


@pytest.fixture(scope="module")
def busy_project(tmp_path_factory):
    """Enough work that every worker is still indexing when a run ends."""
    root = tmp_path_factory.mktemp("busy")
    return root, write_modules(root, 300, 100)


def run_many(run_python, script, runs):
    """Runs `script` `runs` times; returns the failed runs' exit codes and output."""
    failures = []
    for _ in range(runs):
        result = run_python(script, timeout=60)
        if result.returncode != 0 or result.stderr:
            failures.append((result.returncode, result.stderr[-500:]))
    return failures


def test_exit_while_workers_index(busy_project, run_python):
    root, files = busy_project
    script = textwrap.dedent(
        f"""
        import time
        import tymbe_rs
        index = tymbe_rs.AstProjectIndex({files!r}, {str(root)!r})
        index.nonblocking_start_index()
        time.sleep(0.05)
        """
    )
    assert run_many(run_python, script, 20) == []


def test_exit_while_daemon_threads_run_without_the_lock(busy_project, run_python):
    """The interpreter ends a daemon thread that takes the lock back while it
    finalises; that must pass through the module's frames without an abort."""
    root, files = busy_project
    script = textwrap.dedent(
        f"""
        import threading, time
        import tymbe_rs
        files, root = {files[:40]!r}, {str(root)!r}
        shared = tymbe_rs.StdAstFileSystem(files * 2000)

        def read():
            while True:
                for path in files:
                    shared.read_to_string(path)

        def parse():
            while True:
                cache = tymbe_rs.AstFileParserCache(files, root)
                for path in files:
                    cache.get_parsed_file(path)

        def build_index():
            while True:
                tymbe_rs.AstProjectIndex(files[:1], root, shared)

        def snake_case():
            name = "AbcDef" * 200_000
            while True:
                tymbe_rs.to_snake_case(name)
                tymbe_rs.build_namespaced_name("Abc::" + name, "x")

        for work in (read, parse, build_index, snake_case) * 2:
            threading.Thread(target=work, daemon=True).start()
        time.sleep(0.2)
        """
    )
    assert run_many(run_python, script, 10) == []
