"""Both sides of the parser judge and their comparison, shared by the corpus
test (tests/python/test_parser_corpus.py) and the mutation run (mutate.py).

- Ruff: ruff's parser through ruff_judge.js, one long-lived node process
  (loading the WebAssembly build takes most of a second) asked in batches.
- DumpTree: our parser through the tymbe_dump_tree tool, one process per
  batch, over paths or over texts (handed over on standard input).
- verdict(): the two answers for one text reduced to what the reports need:
  validity, errors, and every place where the comparable forms differ.
"""

import contextlib
import json
import json.scanner
import multiprocessing
import multiprocessing.util
import os
import re
import shutil
import subprocess
import sys
import threading
import time
from concurrent.futures import ProcessPoolExecutor
from pathlib import Path

JUDGE_DIR = Path(__file__).resolve().parent
RUFF_JUDGE = JUDGE_DIR / "ruff_judge.js"
RUFF_PACKAGE = JUDGE_DIR / "node_modules" / "@astral-sh" / "ruff-wasm-nodejs"

# Past this many differences in one text, only their number is kept.
KEPT_DIFFERENCES = 200


def ensure_ruff():
    """The reference parser, installed on first use; a reason to skip, or None."""
    if not shutil.which("node"):
        return "node is not installed"
    if not (RUFF_PACKAGE / "ruff_wasm.js").is_file():
        if not shutil.which("npm"):
            return "npm is not installed"
        proc = subprocess.run(["npm", "ci", "--ignore-scripts", "--no-audit", "--no-fund", "--loglevel=error"],
                              cwd=JUDGE_DIR, capture_output=True, text=True, timeout=600)
        if proc.returncode != 0:
            return f"cannot install the reference parser: {proc.stderr[-500:]}"
    return None


def judges_or_exit(dump_command):
    """For a script run by hand: ends it with the reason when either judge
    cannot run."""
    reason = ensure_ruff() or (None if dump_command else "tymbe_dump_tree is not built (pass --dump-tree)")
    if reason:
        sys.exit(reason)


def loads(text):
    """json.loads, also for a tree nested deeper than its C scanner takes
    (it gives up near 1000 levels): then by the pure-Python scanner, whose
    recursion is Python's own and may go deeper."""
    try:
        return json.loads(text)
    except RecursionError:
        pass
    limit = sys.getrecursionlimit()
    sys.setrecursionlimit(max(limit, 100000))
    try:
        decoder = json.JSONDecoder()
        decoder.scan_once = json.scanner.py_make_scanner(decoder)
        return decoder.decode(text)
    finally:
        sys.setrecursionlimit(limit)


def same(a, b):
    """a == b, for values nested deeper than the C comparison takes."""
    try:
        return a == b
    except RecursionError:
        return next(differences(a, b), None) is None


def _json_lines(text):
    # Only "\n" ends a line: a value may hold other line separators.
    return [loads(line) for line in text.split("\n") if line]


# ------------------------------------------------------------------ ruff's side


class Ruff:
    """ruff_judge.js in one node process. Should the process stop (or one
    text keep it busy for `timeout` seconds, which ends it), a fresh one takes
    the unanswered requests; a text that it stops on at once gets a failure."""

    def __init__(self, timeout=300):
        self.timeout = timeout
        self.proc = None

    def _start(self):
        self.proc = subprocess.Popen(["node", str(RUFF_JUDGE), "--json"], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                                     encoding="utf-8", bufsize=1 << 20)

    def ask(self, requests):
        """One answer per request ({"path": P} or {"text": T}, "tree": bool),
        in order."""
        answers = []
        while len(answers) < len(requests):
            got = self._answers(requests[len(answers):])
            answers += got or [{"failure": "ruff's judge stopped on this text"}]
        return answers

    def _answers(self, requests):
        """Answers for the requests, or for as many of the first as the
        process gave before it stopped."""
        if self.proc is None or self.proc.poll() is not None:
            self._start()
        proc = self.proc
        lines = [json.dumps(r) + "\n" for r in requests]

        def write():
            try:
                proc.stdin.writelines(lines)
                proc.stdin.flush()
            except (BrokenPipeError, ValueError, OSError):
                pass

        done = threading.Event()
        progress = [time.monotonic()]

        def watch():
            while not done.wait(1):
                if time.monotonic() - progress[0] > self.timeout:
                    proc.kill()
                    return

        writer = threading.Thread(target=write, daemon=True)
        watchdog = threading.Thread(target=watch, daemon=True)
        writer.start()
        watchdog.start()
        answers = []
        try:
            for _ in requests:
                line = proc.stdout.readline()
                if not line:
                    break
                answers.append(loads(line))
                progress[0] = time.monotonic()
        finally:
            done.set()
            writer.join()
            watchdog.join()
        if len(answers) < len(requests):
            self.close()
        return answers

    def close(self):
        if self.proc is not None:
            try:
                self.proc.stdin.close()
            except OSError:
                pass
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
            self.proc = None


# -------------------------------------------------------------------- our side


class DumpTree:
    """tymbe_dump_tree (`command`, a list that may carry options), one
    process per batch. Texts go on its standard input (`--stdin-texts`: each
    text as its length in bytes in decimal, a line break, then the bytes)."""

    def __init__(self, command, timeout=900):
        self.command = list(command)
        self.timeout = timeout

    def _run(self, args, data):
        try:
            proc = subprocess.run(self.command + args, input=data, capture_output=True, timeout=self.timeout)
        except subprocess.TimeoutExpired:
            return None, "timed out"
        answers = _json_lines(proc.stdout.decode("utf-8", "surrogateescape"))
        if proc.returncode != 0:
            what = f"signal {-proc.returncode}" if proc.returncode < 0 else f"status {proc.returncode}"
            return answers, f"tymbe_dump_tree ended with {what}: {proc.stderr.decode(errors='replace')[-300:]}"
        return answers, None

    def _batch(self, args, pieces, encode):
        """Answers for `pieces`; when the tool dies on a batch, each piece is
        run alone, so that the one it dies on is named."""
        answers, trouble = self._run(args, b"".join(encode(p) for p in pieces))
        if trouble is None and len(answers) == len(pieces):
            return answers
        if len(pieces) == 1:
            return [{"failure": trouble or "tymbe_dump_tree gave no answer"}]
        return [a for p in pieces for a in self._batch(args, [p], encode)]

    def paths(self, paths):
        answers = self._batch([], list(paths), lambda p: os.fsencode(p) + b"\n")
        for path, answer in zip(paths, answers):
            answer.setdefault("path", path)
        return answers

    def texts(self, texts):
        """Answers for texts (bytes)."""
        return self._batch(["--stdin-texts"], list(texts), lambda t: b"%d\n" % len(t) + t)


# -------------------------------------------------------------------- comparing


def brief(value):
    """A difference's side, short enough to read."""
    if isinstance(value, dict):
        fields = {k: value[k] for k in ("kind", "range", "id", "value")
                  if k in value and not isinstance(value[k], dict)}
        return fields or {k: brief(v) for k, v in value.items()}
    if isinstance(value, list) and not all(isinstance(v, int) for v in value):
        return f"list of {len(value)}"
    return value


def differences(ours, theirs, where=""):
    """Every place where the two comparable forms differ, outermost first; a
    node of another kind is one difference, not one for each of its fields.
    Walks with a stack of its own: a tree may be nested deeper than Python's
    recursion allows."""
    stack = [(where, ours, theirs, None)]
    while stack:
        where, ours, theirs, length = stack.pop()
        if length is not None:
            yield where, ours, theirs
        elif isinstance(theirs, dict) and isinstance(ours, dict):
            if ours.get("kind") != theirs.get("kind"):
                yield where, brief(ours), brief(theirs)
                continue
            for key in sorted(theirs.keys() | ours.keys(), reverse=True):
                stack.append((f"{where}.{key}", ours.get(key), theirs.get(key), None))
        elif isinstance(theirs, list) and isinstance(ours, list) and not all(isinstance(v, int)
                                                                             for v in theirs + ours):
            if len(ours) != len(theirs):
                stack.append((f"{where}.length", len(ours), len(theirs), True))
            for i in reversed(range(min(len(ours), len(theirs)))):
                stack.append((f"{where}[{i}]", ours[i], theirs[i], None))
        elif ours != theirs:
            yield where, brief(ours), brief(theirs)


def comment_differences(ours, theirs):
    ours, theirs = set(map(tuple, ours)), set(map(tuple, theirs))
    for r in sorted(theirs - ours):
        yield ".comments", "missing", list(r)
    for r in sorted(ours - theirs):
        yield ".comments", list(r), "not a comment"


def place(where):
    """A difference's place without its list positions, to group alike ones."""
    return re.sub(r"\[\d+\]", "[]", where)


def count_nodes(tree):
    """Nodes with a range: statements, expressions, clauses, parameters, keywords, identifiers."""
    stack, total = [tree], 0
    while stack:
        value = stack.pop()
        if isinstance(value, dict):
            total += "range" in value
            stack.extend(value.values())
        elif isinstance(value, list):
            stack.extend(value)
    return total


def verdict(ours, ruff):
    """Both answers for one text, without the trees: validity and errors of
    each side, failures, the differences of the trees and comment ranges
    when both accept, and the number of ruff's nodes and comments compared."""
    out = {"utf8": ruff.get("utf8", True), "ruff_valid": ruff.get("valid"), "ruff_error": ruff.get("error"),
           "ruff_failure": ruff.get("failure"), "ours_valid": ours.get("valid"), "ours_error": ours.get("error"),
           "failure": ours.get("failure"), "compared": False, "diffs": [], "ndiffs": 0, "nodes": 0}
    if out["ruff_failure"] or out["failure"] or not (out["ruff_valid"] and out["ours_valid"]):
        return out
    if ruff.get("tree") is None:  # not asked for
        return out
    found = []
    if not same(ours["tree"], ruff["tree"]):
        found = list(differences(ours["tree"], ruff["tree"], ".tree"))
    if ours["comments"] != ruff["comments"]:
        found += comment_differences(ours["comments"], ruff["comments"])
    out["compared"] = True
    out["ndiffs"] = len(found)
    out["diffs"] = found[:KEPT_DIFFERENCES]
    out["nodes"] = count_nodes(ruff["tree"]) + len(ruff["comments"])
    return out


def disagreement(v):
    """The sort of disagreement in a verdict, or None when the two agree (or
    ruff gave no answer, which is no verdict on our parser, or the text is not
    UTF-8, which the system refuses before parsing)."""
    if v["ruff_failure"] or not v["utf8"]:
        return None
    if v["failure"]:
        return "crash"
    if v["ours_valid"] != v["ruff_valid"]:
        return "ours-accepts" if v["ours_valid"] else "ours-rejects"
    if v["ndiffs"]:
        return "tree"
    return None


# ---------------------------------------------------------------- both at once


class Judges:
    """Both parsers, for one worker: texts or paths in, verdicts out. Ruff
    builds its tree only for the texts that we accept (without our tree there
    is nothing to compare it with), which spares most of its time on texts
    that we refuse."""

    def __init__(self, dump_command):
        self.ruff = Ruff()
        self.dump = DumpTree(dump_command)

    def paths(self, paths):
        ours = self.dump.paths(paths)
        ruff = self.ruff.ask([{"path": p, "tree": o.get("valid") is True} for p, o in zip(paths, ours)])
        return [verdict(o, r) for o, r in zip(ours, ruff)]

    def texts(self, texts, trees=None):
        """Verdicts for texts (str); `trees` may say, text by text, that the
        trees are not to be compared (ruff's print of a tree nested hundreds
        deep takes minutes: its time grows with the cube of the depth)."""
        ours = self.dump.texts([t.encode("utf-8", "surrogatepass") for t in texts])
        trees = trees or [True] * len(texts)
        ruff = self.ruff.ask([{"text": t, "tree": o.get("valid") is True and tree}
                              for t, o, tree in zip(texts, ours, trees)])
        return [verdict(o, r) for o, r in zip(ours, ruff)]

    def close(self):
        self.ruff.close()


# The worker processes' own judges (see worker_pool).
WORKER = None


def _start_worker(dump_command):
    global WORKER
    WORKER = Judges(dump_command)
    # Ends node when the worker ends, instead of leaving it to notice.
    multiprocessing.util.Finalize(WORKER, WORKER.close, exitpriority=10)


@contextlib.contextmanager
def worker_pool(dump_command, workers):
    """A process pool whose every worker holds its own Judges in WORKER."""
    with ProcessPoolExecutor(workers, mp_context=multiprocessing.get_context("fork"), initializer=_start_worker,
                             initargs=(dump_command,)) as pool:
        yield pool


def _judge_paths(paths):
    return WORKER.paths(paths)


def judge_paths(paths, dump_command, workers):
    """Both parsers' verdicts on each path, by path, on `workers` processes;
    large files first and alone, small ones in batches."""
    paths = sorted(paths, key=lambda p: -os.path.getsize(p))
    batches, batch, size = [], [], 0
    for p in paths:
        batch.append(p)
        size += os.path.getsize(p)
        if size > 256 * 1024 or len(batch) == 32:
            batches.append(batch)
            batch, size = [], 0
    if batch:
        batches.append(batch)
    with worker_pool(dump_command, workers) as pool:
        return {p: v for batch, verdicts in zip(batches, pool.map(_judge_paths, batches))
                for p, v in zip(batch, verdicts)}
