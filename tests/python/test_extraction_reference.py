"""Our function records against a reference extraction with CPython's `ast`
(tests/reference/reference_extraction.py), over the standard library of the
interpreter that runs it (3.12 under `make test`): for every function, its
name and name location, its parameters with their locations and annotations,
its return annotation, its return statements, its body and its return value.

Skips when the corpus or the tymbe_dump_extraction tool is missing. Files that
are not UTF-8, that CPython refuses, or that our parser refuses are left out of
the comparison (the parser corpus test judges parsing); their number is shown.

By hand, with a report of every mismatch:
    python3.12 tests/python/test_extraction_reference.py --dump <build>/tests/tools/tymbe_dump_extraction
"""

import json
import os
import subprocess
import sys
import sysconfig
from concurrent.futures import ProcessPoolExecutor
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "support"))
from corpus import corpus_files, find_test_tool  # noqa: E402
sys.path.insert(0, str(ROOT / "tests" / "reference"))
import reference_extraction  # noqa: E402

# The standard library of the interpreter that runs the test: the reference
# extraction reads it with this interpreter's `ast`.
CORPUS = Path(os.environ.get("TYMBE_REFERENCE_CORPUS") or sysconfig.get_paths()["stdlib"])
FIELDS = ("name", "name_location", "args_in_order", "args", "return_annotation", "return_statements", "body",
          "return_arg")
JOBS = os.cpu_count() or 1


def reference_of(path):
    try:
        with open(path, "rb") as f:
            text = f.read().decode("utf-8")
    except (OSError, UnicodeDecodeError):
        return path, None
    return path, reference_extraction.extract_functions(text)


def ours_of(tool, paths):
    chunks = [paths[i::JOBS] for i in range(JOBS)]
    procs = [subprocess.Popen([tool], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True) for _ in chunks]
    outputs = [p.communicate("\n".join(chunk) + "\n") for p, chunk in zip(procs, chunks)]
    ours = {}
    for proc, (out, _) in zip(procs, outputs):
        if proc.returncode != 0:
            raise RuntimeError(f"{tool} failed with status {proc.returncode}")
        for line in out.splitlines():
            record = json.loads(line)
            ours[record["path"]] = record
    return ours


def compare(tool, folder):
    """(number of functions compared, files left out by reason, mismatches)."""
    paths = corpus_files(folder)
    ours = ours_of(tool, paths)
    with ProcessPoolExecutor(JOBS) as pool:
        references = dict(pool.map(reference_of, paths, chunksize=16))
    left_out = {"not UTF-8 or refused by CPython": [], "refused by our parser": []}
    compared = 0
    mismatches = []
    for path in paths:
        reference = references[path]
        if reference is None:
            left_out["not UTF-8 or refused by CPython"].append(path)
            continue
        record = ours[path]
        if record["error"] is not None:
            left_out["refused by our parser"].append(f"{path}: {record['error']}")
            continue
        functions = [{k: f[k] for k in FIELDS} for f in record["functions"]]
        if [f["name"] for f in functions] != [f["name"] for f in reference]:
            mismatches.append((path, "definitions", [f["name"] for f in functions], [f["name"] for f in reference]))
            continue
        for mine, theirs in zip(functions, reference):
            compared += 1
            for field in FIELDS:
                if mine[field] != theirs[field]:
                    mismatches.append((path, f"{mine['name']}.{field}", mine[field], theirs[field]))
    return compared, left_out, mismatches


def report(compared, left_out, mismatches):
    lines = [f"functions compared: {compared}"]
    for reason, files in left_out.items():
        lines.append(f"files left out, {reason}: {len(files)}")
        lines += [f"  {f}" for f in files]
    lines.append(f"mismatches: {len(mismatches)}")
    lines += [f"  {path}: {what}: ours {mine!r}, reference {theirs!r}" for path, what, mine, theirs in mismatches]
    return "\n".join(lines)


def test_reference_helpers_follow_our_conventions():
    # Columns become characters, the star and the "@" start their nodes, and
    # lines end at "\r\n" and a lone "\r" too.
    source = "\ufeffdef f(*a: 'é', **k):\r    @d\r\n    def g(): return (é)\n    return é\n"
    (f, g) = reference_extraction.extract_functions(source)
    assert f["name_location"] == [0, 4, 0, 5]
    assert f["args"] == {"a": {"location": [0, 6, 0, 13], "annotation": [0, 10, 0, 13]},
                         "k": {"location": [0, 15, 0, 18], "annotation": None}}
    assert f["body"] == [1, 4, 3, 12]
    assert f["return_statements"] == [[2, 13, 2, 23], [3, 4, 3, 12]]
    assert g["return_arg"] == [2, 21, 2, 22]


def test_function_records_match_the_reference_over_the_standard_library():
    tool = find_test_tool("tymbe_dump_extraction", "TYMBE_DUMP_EXTRACTION")
    if not tool:
        pytest.skip("tymbe_dump_extraction is not built")
    if not CORPUS.is_dir():
        pytest.skip(f"corpus {CORPUS} is not installed")
    compared, left_out, mismatches = compare(tool, CORPUS)
    print(report(compared, left_out, mismatches))
    assert compared > 10000
    assert not mismatches, report(compared, left_out, mismatches[:50])


if __name__ == "__main__":
    args = sys.argv[1:]
    tool = (args[args.index("--dump") + 1] if "--dump" in args
            else find_test_tool("tymbe_dump_extraction", "TYMBE_DUMP_EXTRACTION"))
    if not tool:
        sys.exit("tymbe_dump_extraction not found: pass --dump <path>")
    print(report(*compare(tool, CORPUS)))
