"""Throughput and memory of AstProjectIndex over a folder of Python files (by
default the standard library of the interpreter that runs it, installed
packages left out):

  1. cold lookups on one thread: every file analysed through one
     function_ast_in_file lookup each, on a fresh index;
  2. nonblocking_start_index on a fresh index, then one full pass of per-file
     lookups (they wait for the workers), with the process restricted to 1, 2,
     4 and 8 cores (the script re-runs itself under taskset);
  3. the pure-Python reference extraction with `ast` on one thread;
  4. resident memory of a fully indexed index per byte of source, in a
     subprocess of its own;
and, as the yardstick of (1), CPython's own compile(..., PyCF_ONLY_AST) over
the same files in the same process.

Each figure is the median of several runs in one process, a fresh index per
run. Prints figures and their ratios to the targets; asserts nothing.

  PYTHONPATH=<build>/python python3.12 bench/index_bench.py [--corpus DIR] [--runs N]
"""

import argparse
import ast
import json
import os
import statistics
import subprocess
import sys
import sysconfig
import time
import warnings
from pathlib import Path

import tymbe_rs

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "support"))
from corpus import corpus_files  # noqa: E402
# The standard library of the interpreter that runs the benchmark (and the module).
DEFAULT_CORPUS = sysconfig.get_paths()["stdlib"]
MISSING = "__no_such_name__"
CORE_COUNTS = (1, 2, 4, 8)


def full_pass(index, files):
    for path in files:
        index.function_ast_in_file(path, MISSING)


def cold_lookups(files, root, runs):
    """Seconds for one thread to analyse every file through its lookups."""
    times = []
    for _ in range(runs):
        index = tymbe_rs.AstProjectIndex(files, root)
        start = time.perf_counter()
        full_pass(index, files)
        times.append(time.perf_counter() - start)
        del index
    return statistics.median(times)


def background_index(files, root, runs):
    """(seconds from nonblocking_start_index until a full pass of lookups has
    returned, seconds of a second pass right after), medians."""
    totals, seconds = [], []
    for _ in range(runs):
        index = tymbe_rs.AstProjectIndex(files, root)
        start = time.perf_counter()
        index.nonblocking_start_index()
        full_pass(index, files)
        totals.append(time.perf_counter() - start)
        start = time.perf_counter()
        full_pass(index, files)
        seconds.append(time.perf_counter() - start)
        del index
    return statistics.median(totals), statistics.median(seconds)


def reference_extraction(files, runs):
    sys.path.insert(0, str(ROOT / "tests" / "reference"))
    import reference_extraction as reference

    times = []
    for _ in range(runs):
        start = time.perf_counter()
        for path in files:
            try:
                with open(path, "rb") as f:
                    text = f.read().decode("utf-8")
            except (OSError, UnicodeDecodeError):
                continue
            reference.extract_functions(text)
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def status_bytes(field):
    """A memory figure of this process from /proc/self/status, in bytes."""
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    raise RuntimeError(f"no {field} in /proc/self/status")


def memory(files, root):
    """(peak growth, resident growth after indexing) in bytes, against the
    state with the file list built and the index constructed. The peak is
    VmHWM, the high-water mark ru_maxrss reports, read per address space:
    ru_maxrss itself carries the parent's peak over fork and exec, which
    would hide the index's growth."""
    index = tymbe_rs.AstProjectIndex(files, root)
    base_peak, base_now = status_bytes("VmHWM"), status_bytes("VmRSS")
    index.nonblocking_start_index()
    full_pass(index, files)
    full_pass(index, files)
    peak, now = status_bytes("VmHWM"), status_bytes("VmRSS")
    return peak - base_peak, now - base_now


def child(args):
    files = corpus_files(args.corpus)
    if args.child == "background":
        total, second = background_index(files, args.corpus, args.runs)
        result = {"total": total, "second": second, "cores": len(os.sched_getaffinity(0))}
    else:
        peak, now = memory(files, args.corpus)
        result = {"peak": peak, "resident": now}
    print(json.dumps(result))


def run_child(args, kind, cpus=None):
    command = [sys.executable, __file__, "--child", kind, "--corpus", args.corpus, "--runs", str(args.runs)]
    if cpus is not None:
        command = ["taskset", "-c", ",".join(map(str, cpus))] + command
    out = subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True).stdout
    return json.loads(out.strip().splitlines()[-1])


def cpython_compile(files, runs):
    """Seconds for CPython to compile every file to its syntax tree only, the
    texts read as the index reads them (UTF-8, a byte-order mark dropped)."""
    texts = []
    for path in files:
        try:
            with open(path, encoding="utf-8-sig") as f:
                texts.append(f.read())
        except (OSError, UnicodeDecodeError):
            continue
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        for text in texts:
            try:
                compile(text, "<corpus>", "exec", ast.PyCF_ONLY_AST)
            except (SyntaxError, ValueError, RecursionError, MemoryError):
                pass
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def verdict(value, target, higher_is_better=True):
    met = value >= target if higher_is_better else value <= target
    return "met" if met else "NOT met"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--corpus", default=DEFAULT_CORPUS)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--child", choices=["background", "memory"], help=argparse.SUPPRESS)
    args = parser.parse_args()
    args.runs = max(1, args.runs)
    if args.child:
        return child(args)

    files = corpus_files(args.corpus)
    size = sum(os.path.getsize(p) for p in files)
    mb = size / 1e6
    available = sorted(os.sched_getaffinity(0))
    print(f"machine         os.cpu_count() {os.cpu_count()}, sched_getaffinity {len(available)} cores")
    print(f"corpus          {len(files)} files, {mb:.1f} MB ({args.corpus})")
    print(f"runs            median of {args.runs} per figure, fresh index per run")

    warnings.simplefilter("ignore")  # compile() warns of odd escapes in the corpus
    compiled = cpython_compile(files, args.runs)
    print(f"(0) CPython compile, ast only, 1 thread {mb / compiled:8.1f} MB/s  ({compiled:.3f} s)")

    cold = cold_lookups(files, args.corpus, args.runs)
    print(f"(1) cold lookups, 1 thread      {mb / cold:8.1f} MB/s  ({cold:.3f} s)")

    background = {}
    for count in CORE_COUNTS:
        if count > len(available):
            print(f"(2) background index, {count} cores  skipped: only {len(available)} available")
            continue
        result = run_child(args, "background", available[:count])
        background[count] = result["total"]
        print(f"(2) background index, {count} core{'s' if count > 1 else ' '} {mb / result['total']:8.1f} MB/s  "
              f"({result['total']:.3f} s; a second pass after it {result['second'] * 1e3:.1f} ms)")

    reference = reference_extraction(files, args.runs)
    print(f"(3) reference ast extraction    {mb / reference:8.1f} MB/s  ({reference:.3f} s)")

    mem = run_child(args, "memory")
    print(f"(4) memory, fully indexed, {len(available)} cores: peak {mem['peak'] / size:.2f} bytes per source byte "
          f"({mem['peak'] / 1e6:.1f} MB), resident after {mem['resident'] / size:.2f} ({mem['resident'] / 1e6:.1f} MB)")
    print("    peak: VmHWM (the high-water mark behind ru_maxrss, per address space) of a fresh subprocess after a")
    print("    background index and two full lookup passes, minus its VmHWM with the file list and the index built but")
    print("    not started; resident: the same with VmRSS. ru_maxrss is not used: it keeps the parent's peak across exec.")

    print("targets")
    ratio = compiled / cold
    print(f"  (1) cold lookups / CPython compile (0)   {ratio:6.2f}x")
    if 1 in background and 8 in background:
        speedup = background[1] / background[8]
        print(f"  (2) background 8 cores vs 1 core         {speedup:6.2f}x  (>= 6x)    {verdict(speedup, 6)}")
    if 8 in background:
        speedup = reference / background[8]
        print(f"  (2) background 8 cores vs reference (3)  {speedup:6.2f}x  (>= 15x)   {verdict(speedup, 15)}")
    per_byte = mem["peak"] / size
    print(f"  (4) peak memory per source byte          {per_byte:6.2f}   (<= 6)     {verdict(per_byte, 6, False)}")


if __name__ == "__main__":
    main()
