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


def test_fork_while_workers_index(tmp_path, run_python):
    """Children forked at random moments, while workers index and another
    thread parses without the lock, find every answer, computing what the
    parent's threads had not finished."""
    files = write_modules(tmp_path, 200, 8)
    script = textwrap.dedent(
        f"""
        import multiprocessing, os, random, sys, threading, time, warnings
        import tymbe_rs
        warnings.simplefilter("ignore", DeprecationWarning)  # forking with threads
        files, root = {files!r}, {str(tmp_path)!r}
        class_name = {CLASS_NAME!r}

        def check(index, cache):
            for n, path in enumerate(files):
                found = index.feature_class_ast(f"pkg.mod{{n}}", f"{{class_name}}7N{{n}}")
                assert found is not None and found.namespace.endswith(f"7_n{{n}}"), (path, found)
                assert index.resolver_ast_in_file(path, "nothing") is None
            assert cache.get_parsed_file(files[-1])[0] == files[-1]
            assert tymbe_rs.StdAstFileSystem([]).read_to_string(files[0]).startswith("from")
            assert tymbe_rs.to_snake_case("HelloWorld") == "hello_world"

        def in_child(index, cache):
            try:
                check(index, cache)
            except BaseException as error:
                print("child:", repr(error), file=sys.stderr)
                os._exit(1)
            os._exit(0)

        def wait(pid):
            deadline = time.monotonic() + 20
            while time.monotonic() < deadline:
                done, status = os.waitpid(pid, os.WNOHANG)
                if done:
                    return os.waitstatus_to_exitcode(status)
                time.sleep(0.005)
            os.kill(pid, 9)
            os.waitpid(pid, 0)
            return "hung"

        def parse_without_lock(cache, stop):
            while not stop.is_set():
                for path in files:
                    cache.get_parsed_file(path)
                    tymbe_rs.to_snake_case(path)
                cache = tymbe_rs.AstFileParserCache(files, root)

        random.seed(os.getpid())
        outcomes = []
        for run in range(12):
            index = tymbe_rs.AstProjectIndex(files, root)
            cache = tymbe_rs.AstFileParserCache(files, root)
            stop = threading.Event()
            thread = threading.Thread(target=parse_without_lock, args=(cache, stop))
            thread.start()
            index.nonblocking_start_index()
            time.sleep(random.uniform(0, 0.03))
            if run % 4 == 3:
                process = multiprocessing.get_context("fork").Process(target=check, args=(index, cache))
                process.start()
                process.join(20)
                outcome = process.exitcode if process.exitcode is not None else "hung"
                if outcome == "hung":
                    process.kill()
            else:
                pid = os.fork()
                if pid == 0:
                    in_child(index, cache)
                outcome = wait(pid)
            stop.set()
            thread.join()
            outcomes.append(outcome)
        print(outcomes)
        sys.exit(0 if set(outcomes) == {{0}} else 1)
        """
    )
    result = run_python(script, timeout=300)
    assert result.returncode == 0, result.stdout + result.stderr
