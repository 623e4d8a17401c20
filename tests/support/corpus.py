"""The Python files of a corpus folder, and the test tools of a build, for the
corpus tests and the benchmarks."""

import os
import sys
from pathlib import Path


def corpus_files(folder):
    """Every .py file below `folder`, in sorted order; installed packages
    (site-packages) left out."""
    files = []
    for dirpath, dirnames, filenames in os.walk(folder):
        dirnames[:] = sorted(d for d in dirnames if d != "site-packages")
        files += [os.path.join(dirpath, f) for f in sorted(filenames) if f.endswith(".py")]
    return files


def find_test_tool(name, variable):
    """The path of the test tool `name`: the environment variable `variable`
    when set, else the one beside the module's build folder (<build>/python
    on PYTHONPATH or sys.path, the tools in <build>/tests/tools)."""
    if os.environ.get(variable):
        return os.environ[variable]
    for entry in os.environ.get("PYTHONPATH", "").split(os.pathsep) + sys.path:
        if entry:
            candidate = Path(entry).parent / "tests" / "tools" / name
            if candidate.is_file():
                return str(candidate)
    return None
