"""Shared set-up of the tymbe_rs tests.

The module is the one the build put on PYTHONPATH (<build>/python); the tests
never build it themselves. The header of a run says which file was found.
"""

import importlib.util
import os
import subprocess
import sys

import pytest

MODULE_SPEC = importlib.util.find_spec("tymbe_rs")


def pytest_report_header():
    where = MODULE_SPEC.origin if MODULE_SPEC else "not found: put <build>/python on PYTHONPATH"
    return f"tymbe_rs: {where}"


@pytest.fixture
def fresh_module():
    """Makes a second module object from the same extension file; the caller
    may prepare it before executing the definition into it."""

    def make(prepare=None):
        spec = importlib.util.spec_from_file_location("tymbe_rs", MODULE_SPEC.origin)
        module = importlib.util.module_from_spec(spec)
        if prepare is not None:
            prepare(module)
        spec.loader.exec_module(module)
        return module

    return make


@pytest.fixture
def run_python():
    """Runs a script in a new interpreter process with this one's module path,
    so that a hang or a crash fails one test instead of the run."""

    def run(script, timeout=60):
        return subprocess.run(
            [sys.executable, "-c", script],
            capture_output=True,
            text=True,
            timeout=timeout,
            env=dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path)),
        )

    return run
