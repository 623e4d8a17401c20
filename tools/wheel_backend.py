"""The PEP 517 build backend of tymbe_rs (pyproject.toml names it).

A wheel is the project's own CMake build, in the Release configuration and for
the module target only, made in a fresh temporary folder (never a developer's
build folder, which may be stale or made for another interpreter) for the
interpreter that runs this backend, then packed with the metadata of
pyproject.toml. Only the standard library is used, so pip needs no package
index to run it: `pip install .` and `pip install --no-build-isolation .` both
work offline.
"""

import base64
import calendar
import hashlib
import importlib.machinery
import io
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tarfile
import tempfile
import zipfile
from pathlib import Path

try:
    import tomllib
except ImportError:  # before 3.11, which the module does not support anyway
    raise SystemExit("tymbe_rs needs CPython 3.11 or newer") from None

SOURCE = Path(__file__).resolve().parent.parent
MODULE = "tymbe_rs"
# The [project] keys written into the metadata; any other key would be lost
# without a word, so it is refused instead.
PROJECT_KEYS = {"name", "version", "description", "requires-python"}
# Never part of a source distribution: build output, fetched sources, caches.
NOT_SOURCE = {".git", "node_modules", "__pycache__", ".pytest_cache"}
# Zip and tar entries carry this fixed time, so equal inputs give equal archives.
EPOCH = (1980, 1, 1, 0, 0, 0)


def _fail(message):
    raise SystemExit(f"tymbe_rs build: {message}")


def _project():
    with open(SOURCE / "pyproject.toml", "rb") as file:
        project = tomllib.load(file)["project"]
    unknown = sorted(set(project) - PROJECT_KEYS)
    if unknown:
        _fail(f"pyproject.toml sets [project] keys that this backend does not write: {', '.join(unknown)}")
    return project


def _distribution(project):
    """The name-version stem of the archive and dist-info names."""
    name = re.sub(r"[-_.]+", "_", project["name"]).lower()
    return f"{name}-{project['version']}"


def _metadata(project):
    lines = ["Metadata-Version: 2.1", f"Name: {project['name']}", f"Version: {project['version']}"]
    if "description" in project:
        lines.append(f"Summary: {project['description']}")
    if "requires-python" in project:
        lines.append(f"Requires-Python: {project['requires-python']}")
    return "\n".join(lines) + "\n"


def _wheel_tag():
    """The module uses the full C API of this very interpreter: its version,
    ABI flags and platform."""
    version = f"{sys.version_info.major}{sys.version_info.minor}"
    platform = re.sub(r"[-.]", "_", sysconfig.get_platform())
    return f"cp{version}-cp{version}{getattr(sys, 'abiflags', '')}-{platform}"


def _dist_info_files(project):
    wheel = (f"Wheel-Version: 1.0\nGenerator: tymbe_rs wheel_backend\n"
             f"Root-Is-Purelib: false\nTag: {_wheel_tag()}\n")
    return {"METADATA": _metadata(project), "WHEEL": wheel}


def _run(command, doing):
    if subprocess.run(command).returncode != 0:
        _fail(f"{doing} failed: {' '.join(command)}")


def _build_module(build_dir):
    """Builds the extension module in build_dir and returns its file."""
    cmake = shutil.which("cmake")
    if cmake is None:
        _fail("cmake not found on PATH (tools/bootstrap installs it on Debian)")
    _run([cmake, "-S", str(SOURCE), "-B", str(build_dir), "-DCMAKE_BUILD_TYPE=Release",
          "-DTYMBE_BUILD_TESTS=OFF", "-DTYMBE_BUILD_BENCH=OFF", f"-DPython3_EXECUTABLE={sys.executable}"],
         "configuring")
    # CMake reads CMAKE_BUILD_PARALLEL_LEVEL itself; without it, use every core.
    jobs = [] if os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") else ["--parallel", str(os.cpu_count() or 1)]
    _run([cmake, "--build", str(build_dir), "--target", MODULE, *jobs], "building")
    built = [build_dir / "python" / f"{MODULE}{suffix}" for suffix in importlib.machinery.EXTENSION_SUFFIXES]
    built = [path for path in built if path.is_file()]
    if len(built) != 1:
        _fail(f"expected one built module in {build_dir / 'python'}, found {len(built)}")
    return built[0]


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def _write_wheel(path, entries, dist_info):
    """entries: (name in the wheel, bytes, permission bits); RECORD comes last."""
    record = [_record_line(name, data) for name, data, _ in entries] + [f"{dist_info}/RECORD,,"]
    entries = [*entries, (f"{dist_info}/RECORD", ("\n".join(record) + "\n").encode(), 0o644)]
    with zipfile.ZipFile(path, "w", compression=zipfile.ZIP_DEFLATED) as wheel:
        for name, data, mode in entries:
            info = zipfile.ZipInfo(name, date_time=EPOCH)
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)


# The PEP 517 hooks.

def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    project = _project()
    dist_info = Path(metadata_directory) / f"{_distribution(project)}.dist-info"
    dist_info.mkdir(parents=True, exist_ok=True)
    for name, text in _dist_info_files(project).items():
        (dist_info / name).write_text(text, encoding="utf-8")
    return dist_info.name


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    project = _project()
    distribution = _distribution(project)
    dist_info = f"{distribution}.dist-info"
    wheel_name = f"{distribution}-{_wheel_tag()}.whl"
    with tempfile.TemporaryDirectory(prefix="tymbe_rs-build-") as build_dir:
        module = _build_module(Path(build_dir))
        entries = [(module.name, module.read_bytes(), 0o755)]
    entries += [(f"{dist_info}/{name}", text.encode(), 0o644) for name, text in _dist_info_files(project).items()]
    _write_wheel(Path(wheel_directory) / wheel_name, entries, dist_info)
    return wheel_name


def _source_files():
    for folder, subfolders, files in os.walk(SOURCE):
        top = Path(folder) == SOURCE
        subfolders[:] = sorted(name for name in subfolders
                               if name not in NOT_SOURCE and not (top and name.startswith("build")))
        for name in sorted(files):
            if name not in NOT_SOURCE:
                yield Path(folder) / name


def build_sdist(sdist_directory, config_settings=None):
    project = _project()
    distribution = _distribution(project)
    sdist_name = f"{distribution}.tar.gz"

    def entry(info):
        info.mtime, info.uid, info.gid, info.uname, info.gname = calendar.timegm(EPOCH), 0, 0, "", ""
        return info

    with tarfile.open(Path(sdist_directory) / sdist_name, "w:gz", format=tarfile.PAX_FORMAT) as sdist:
        for path in _source_files():
            sdist.add(path, arcname=f"{distribution}/{path.relative_to(SOURCE).as_posix()}",
                      recursive=False, filter=entry)
        pkg_info = _metadata(project).encode()
        info = entry(tarfile.TarInfo(f"{distribution}/PKG-INFO"))
        info.size, info.mode = len(pkg_info), 0o644
        sdist.addfile(info, io.BytesIO(pkg_info))
    return sdist_name
