"""Where the corpora of real Python code are on this machine, the Python files
in them, and the test tools of a build, for the parser judges, the reference
extraction test and the benchmarks.

A corpus is a folder of installed Python code, found by asking the
interpreters that installed it (`sysconfig`, `sys.path`), never by a fixed
path: the standard library and the site-packages of every interpreter under
pyenv, and the standard library and Debian's dist-packages folders of the
system's python3. Whatever is absent is skipped.
"""

import hashlib
import json
import os
import shlex
import shutil
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass
from functools import lru_cache
from pathlib import Path

# Installed packages live below these inside a standard library folder; they
# are corpora of their own.
PACKAGE_FOLDERS = ("site-packages", "dist-packages")

# Runs under every interpreter, Python 2.7 included.
_ASK_INTERPRETER = (
    "import json, sys, sysconfig\n"
    "paths = sysconfig.get_paths()\n"
    "print(json.dumps({'executable': sys.executable, 'version': list(sys.version_info[:3]),"
    " 'stdlib': paths['stdlib'], 'purelib': paths['purelib'], 'platlib': paths['platlib'],"
    " 'path': sys.path}))\n"
)


@dataclass(frozen=True)
class Interpreter:
    executable: str
    version: tuple
    stdlib: str
    packages: tuple  # site-packages (pyenv) or dist-packages (system) folders
    system: bool

    @property
    def minor(self):
        return f"{self.version[0]}.{self.version[1]}"


@dataclass(frozen=True)
class Corpus:
    """One folder of Python files. `name` identifies it across machines (the
    interpreter's major.minor, not its install path); `python` is the
    interpreter that installed it."""

    name: str
    kind: str  # "stdlib" or "packages"
    folder: str
    python: Interpreter

    def rel(self, path):
        return os.path.relpath(path, self.folder)


def pyenv_root():
    """$PYENV_ROOT, else what `pyenv root` says, else ~/.pyenv; None when
    there is no such folder."""
    root = os.environ.get("PYENV_ROOT")
    if not root and shutil.which("pyenv"):
        try:
            root = subprocess.run(["pyenv", "root"], capture_output=True, text=True, timeout=30).stdout.strip()
        except (OSError, subprocess.SubprocessError):
            root = None
    root = root or os.path.expanduser("~/.pyenv")
    return root if os.path.isdir(root) else None


def _ask(executable):
    try:
        proc = subprocess.run([executable, "-E", "-s", "-c", _ASK_INTERPRETER], capture_output=True, text=True,
                              timeout=60)
    except (OSError, subprocess.SubprocessError):
        return None
    if proc.returncode != 0:
        return None
    try:
        return json.loads(proc.stdout.strip().splitlines()[-1])
    except (ValueError, IndexError):
        return None


def _pyenv_executables(root):
    versions = Path(root) / "versions"
    found = []
    for version in sorted(versions.iterdir()) if versions.is_dir() else []:
        for name in ("python3", "python", "python2"):
            candidate = version / "bin" / name
            if os.access(candidate, os.X_OK):
                found.append(str(candidate))
                break
    return found


def _system_executable(root):
    """The first python3 on PATH that is not pyenv's (its shims run pyenv's
    interpreters)."""
    inside = os.path.realpath(root) + os.sep if root else None
    for entry in os.environ.get("PATH", "").split(os.pathsep):
        if not entry:
            continue
        candidate = os.path.join(entry, "python3")
        if not os.access(candidate, os.X_OK):
            continue
        if inside and (os.path.realpath(entry) + os.sep).startswith(inside):
            continue
        return candidate
    return None


@lru_cache(maxsize=None)
def interpreters():
    """The interpreters under pyenv, newest patch release of each major.minor,
    then the system's python3; oldest first within each."""
    root = pyenv_root()
    found, seen = [], set()

    def add(info, system):
        if not info or os.path.realpath(info["stdlib"]) in seen:
            return
        seen.add(os.path.realpath(info["stdlib"]))
        if system:
            packages = [p for p in info["path"] if os.path.basename(p.rstrip(os.sep)) == "dist-packages"]
        else:
            packages = [info["purelib"], info["platlib"]]
        packages = tuple(dict.fromkeys(p for p in packages if os.path.isdir(p)))
        found.append(Interpreter(info["executable"], tuple(info["version"]), info["stdlib"], packages, system))

    executables = _pyenv_executables(root) if root else []
    with ThreadPoolExecutor(8) as pool:
        answers = list(pool.map(_ask, executables))
    for executable, info in zip(executables, answers):
        add(info, False)
    newest = {}
    for interpreter in found:
        best = newest.get(interpreter.minor)
        if best is None or interpreter.version > best.version:
            newest[interpreter.minor] = interpreter
    found = sorted(newest.values(), key=lambda i: i.version)
    system = _system_executable(root)
    if system:
        add(_ask(system), True)
    return tuple(found)


@lru_cache(maxsize=None)
def corpora():
    """Every corpus on this machine that holds Python files."""
    out = []
    for interpreter in interpreters():
        prefix = "system " if interpreter.system else ""
        if os.path.isdir(interpreter.stdlib):
            out.append(Corpus(f"{prefix}stdlib {interpreter.minor}", "stdlib", interpreter.stdlib, interpreter))
        for folder in interpreter.packages:
            if interpreter.system:
                # Debian's /usr/lib/python3/dist-packages, or one of a version
                # (/usr/local/lib/python3.11/dist-packages)
                parent = os.path.basename(os.path.dirname(folder.rstrip(os.sep)))
                name = "system dist-packages" if parent == "python3" else f"system {parent} dist-packages"
            else:
                name = f"site-packages {interpreter.minor}"
            out.append(Corpus(name, "packages", folder, interpreter))
    names = set()
    unique = []
    for corpus in out:
        if corpus.name not in names and any(corpus_files(corpus.folder)):
            names.add(corpus.name)
            unique.append(corpus)
    return tuple(unique)


def standard_library(minor=None):
    """The standard library folder of the interpreter of version `minor`
    ("3.12"), else of the newest Python 3 found; None when there is none."""
    candidates = [c for c in corpora() if c.kind == "stdlib" and c.python.version[0] >= 3]
    if minor:
        candidates = [c for c in candidates if c.python.minor == minor]
    return max(candidates, key=lambda c: (not c.python.system, c.python.version)).folder if candidates else None


def judging_python(corpus):
    """The interpreter whose compiler judges a corpus: a Python 3 standard
    library by its own interpreter (it is written for it), anything else (a
    package folder, Python 2's standard library) by the newest Python 3."""
    if corpus.kind == "stdlib" and corpus.python.version[0] >= 3:
        return corpus.python
    newest = [i for i in interpreters() if i.version[0] >= 3]
    return max(newest, key=lambda i: i.version) if newest else None


@lru_cache(maxsize=None)
def _corpus_files(folder):
    files = []
    for dirpath, dirnames, filenames in os.walk(folder):
        dirnames[:] = sorted(d for d in dirnames if d not in PACKAGE_FOLDERS)
        files += [os.path.join(dirpath, f) for f in sorted(filenames) if f.endswith(".py")]
    return tuple(files)


def corpus_files(folder):
    """Every .py file below `folder`, in sorted order; installed packages
    (site-packages, dist-packages) below it left out."""
    return list(_corpus_files(str(folder)))


def seeded_slice(paths, fraction, seed, key=lambda p: p):
    """A deterministic share of `paths`: each path is in or out by a hash of
    the seed and its key alone, so the slice does not move when other files
    come or go."""
    if fraction >= 1:
        return list(paths)
    limit = int(fraction * 2**32)
    return [p for p in paths
            if int.from_bytes(hashlib.sha1(f"{seed}:{key(p)}".encode()).digest()[:4], "big") < limit]


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


def find_test_command(name, variable, given=None):
    """The command line of the test tool `name`, as a list: `given` or the
    environment variable `variable` (a command line, split as a shell would,
    so that it may carry options), else the tool beside
    the module's build folder; None when there is none."""
    text = given or os.environ.get(variable)
    if text:
        return shlex.split(text)
    path = find_test_tool(name, variable)
    return [path] if path else None
