"""Installing as Python users do: pip builds the module from a clean copy of
the checkout into a fresh virtual environment, with no package index, and the
environment's interpreter imports it from site-packages, with no PYTHONPATH,
and knows its distribution's name and version."""

import importlib.util
import os
import shutil
import subprocess
import sys
import tarfile
import tomllib
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
VERSION = tomllib.loads((ROOT / "pyproject.toml").read_text())["project"]["version"]


def clean_copy(destination):
    """The files git would commit (tracked, or new and not ignored), as they
    stand: no build folder and no fetched sources come along."""
    if shutil.which("git") is None:
        pytest.skip("git is not installed: the clean copy is made from the checkout's file list")
    listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            cwd=ROOT, capture_output=True, check=False)
    if listed.returncode != 0:
        pytest.skip(f"not a git checkout, so there is no file list to copy: {listed.stderr.decode().strip()}")
    for name in filter(None, listed.stdout.decode().split("\0")):
        source = ROOT / name
        if source.is_file():  # a tracked file deleted in the work tree is not copied
            (destination / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(source, destination / name)


def hermetic_env():
    """This run's environment without what would point pip or the new
    interpreter elsewhere: no PYTHONPATH, no pip settings of the user's."""
    env = {key: value for key, value in os.environ.items()
           if not key.startswith(("PYTHON", "PIP_", "VIRTUAL_ENV"))}
    env.update(PIP_CONFIG_FILE=os.devnull, PIP_DISABLE_PIP_VERSION_CHECK="1", PIP_NO_INPUT="1")
    return env


def run(command, cwd, timeout):
    done = subprocess.run(command, cwd=cwd, env=hermetic_env(), capture_output=True, text=True, timeout=timeout)
    output = f"$ {' '.join(map(str, command))}\n{done.stdout}{done.stderr}"
    print(output)  # shown by pytest -rP, and on failure
    assert done.returncode == 0, output
    return done.stdout


def test_pip_installs_the_module_into_a_fresh_virtual_environment(tmp_path):
    if importlib.util.find_spec("venv") is None or importlib.util.find_spec("ensurepip") is None:
        pytest.skip(f"{sys.executable} has no venv or ensurepip module (Debian: python3-venv)")
    checkout = tmp_path / "checkout"
    clean_copy(checkout)
    venv = tmp_path / "venv"
    run([sys.executable, "-m", "venv", venv], cwd=tmp_path, timeout=120)
    python = venv / "bin" / "python"
    # The build system is inside the tree, so neither an index nor a backend
    # installed in the environment is needed.
    run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index", checkout], cwd=tmp_path, timeout=900)

    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    answer = run([python, "-c", "import importlib.metadata, sysconfig, tymbe_rs\n"
                  "print(tymbe_rs.__file__)\n"
                  "print(sysconfig.get_path('platlib'))\n"
                  "print(importlib.metadata.version('tymbe_rs'))\n"
                  "print(tymbe_rs.to_snake_case('XMLParser'))\n"], cwd=elsewhere, timeout=60)
    module_file, platlib, version, snake = answer.splitlines()
    assert Path(module_file).parent == Path(platlib)
    assert Path(platlib).is_relative_to(venv)
    assert version == VERSION
    assert snake == "xml_parser"


def test_source_distribution_holds_the_sources_and_no_build_output(tmp_path, monkeypatch):
    monkeypatch.syspath_prepend(str(ROOT / "tools"))
    import wheel_backend

    name = wheel_backend.build_sdist(str(tmp_path))
    assert name == f"tymbe_rs-{VERSION}.tar.gz"
    with tarfile.open(tmp_path / name) as sdist:
        members = {member.removeprefix(f"tymbe_rs-{VERSION}/") for member in sdist.getnames()}
        pkg_info = sdist.extractfile(f"tymbe_rs-{VERSION}/PKG-INFO").read().decode()
    assert {"PKG-INFO", "pyproject.toml", "CMakeLists.txt", "tools/wheel_backend.py", "src/lib/module.cpp"} <= members
    assert not [member for member in members if member.startswith("build")
                or {".git", "node_modules", "__pycache__"} & set(member.split("/"))]
    assert f"Name: tymbe_rs\nVersion: {VERSION}\n" in pkg_info
