"""Our parser front end against two judges over the corpora of real Python code
on this machine (tests/support/corpus.py: the standard library and the
site-packages of each interpreter under pyenv, the system python3's standard
library and Debian's dist-packages): ruff's parser (tests/judge, in node) for
validity, ranges and values, and CPython's own compiler for validity.

The default run judges every standard library and a seeded share of each
package folder; TYMBE_CORPUS_FULL=1 judges every file (TYMBE_CORPUS_SHARE sets
the share). Run directly for a full report instead of the first differences,
or for the differences of a few files of your own:
    python3 tests/python/test_parser_corpus.py [--full] [--dump-tree "PATH [OPTION...]"] [FILE...]
tests/judge/README.md explains the comparable form and the named differences.
"""

import hashlib
import json
import os
import shlex
import subprocess
import sys
from collections import Counter
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "support"))
sys.path.insert(0, str(ROOT / "tests" / "judge"))
from corpus import corpora, corpus_files, find_test_command, judging_python, seeded_slice  # noqa: E402
import mutate  # noqa: E402
from judging import Judges, Ruff, ensure_ruff, judge_paths, judges_or_exit, place  # noqa: E402

PACKAGE_SHARE = (1.0 if os.environ.get("TYMBE_CORPUS_FULL", "") not in ("", "0")
                 else float(os.environ.get("TYMBE_CORPUS_SHARE", "0.1")))
SLICE_SEED = 1
WORKERS = os.cpu_count() or 1

# Files on which ruff's parser and CPython's compiler decide differently,
# keyed by corpus name and path below the corpus folder: either answer may
# stand, so ours is not judged on them.
_EXCEPT_COMMA = ("Python 2's `except E, name:`, which ruff reads as Python 3.14 does, as `except (E, name):`; "
                 "CPython 3.13, which judges this corpus, requires the parentheses (other Python 2 files "
                 "hold print statements or the like, which both refuse)")
JUDGES_DISAGREE = {
    **{("stdlib 2.7", path): _EXCEPT_COMMA for path in (
        "asynchat.py", "codecs.py", "getpass.py", "pkgutil.py", "py_compile.py", "socket.py", "token.py",
        "warnings.py", "ctypes/macholib/dyld.py", "ctypes/test/test_bitfields.py", "ctypes/test/test_structures.py",
        "distutils/file_util.py", "distutils/msvc9compiler.py", "distutils/command/upload.py", "json/tool.py",
        "multiprocessing/forking.py", "multiprocessing/pool.py", "multiprocessing/process.py",
        "multiprocessing/util.py", "test/multibytecodec_support.py", "test/test_binascii.py",
        "test/test_cfgparser.py", "test/test_contextlib.py", "test/test_defaultdict.py", "test/test_eof.py",
        "test/test_epoll.py", "test/test_fractions.py", "test/test_frozen.py", "test/test_hashlib.py",
        "test/test_httplib.py", "test/test_kqueue.py", "test/test_linuxaudiodev.py", "test/test_nis.py",
        "test/test_os.py", "test/test_ossaudiodev.py", "test/test_poplib.py", "test/test_pyexpat.py",
        "test/test_sax.py", "test/test_ssl.py", "test/test_urllib2_localnet.py", "test/test_urllib2net.py",
        "test/test_urllibnet.py", "unittest/case.py", "unittest/loader.py", "unittest/suite.py",
        "unittest/test/support.py", "unittest/test/test_assertions.py", "unittest/test/test_case.py",
        "unittest/test/test_loader.py", "xml/etree/ElementTree.py", "xml/sax/__init__.py", "xml/sax/expatreader.py",
    )},
    # `asyncio.async(f)`: `async` was a name up to Python 3.6 and is a
    # keyword since 3.7; CPython 3.6 judges its own library.
    ("stdlib 3.6", "test/test_asyncio/test_tasks.py"): "`async` as an attribute name, valid before 3.7",
}

# CPython compiles the text as our system reads it: UTF-8, whatever a coding
# cookie says, with a leading byte-order mark dropped. Runs under Python 3.6
# and later.
CPYTHON_JUDGE = r"""
import ast, json, sys, warnings
warnings.simplefilter("ignore")
for path in sys.stdin.read().splitlines():
    try:
        with open(path, encoding="utf-8-sig") as f:
            text = f.read()
        compile(text, path, "exec", ast.PyCF_ONLY_AST)
        out = {"path": path, "valid": True, "error": None}
    except (SyntaxError, ValueError, MemoryError, RecursionError, OverflowError) as e:
        out = {"path": path, "valid": False, "error": "%s: %s" % (type(e).__name__, e)}
    print(json.dumps(out), flush=True)
"""


# ------------------------------------------------------------------ running


def selected_files(corpus):
    """A corpus's files in this run: all of a standard library, a seeded share
    of a package folder."""
    files = corpus_files(corpus.folder)
    if corpus.kind == "packages":
        files = seeded_slice(files, PACKAGE_SHARE, SLICE_SEED, key=corpus.rel)
    return files


def run_cpython(python, paths):
    """CPython's verdict on each path, by path, on all cores."""
    paths = sorted(paths, key=lambda p: -os.path.getsize(p))
    batches = [paths[i::WORKERS * 2] for i in range(min(len(paths), WORKERS * 2))]

    def run(batch):
        proc = subprocess.run([python, "-c", CPYTHON_JUDGE], input="\n".join(batch) + "\n", capture_output=True,
                              encoding="utf-8", timeout=900)
        results = [json.loads(line) for line in proc.stdout.split("\n") if line]
        if proc.returncode != 0 or [r["path"] for r in results] != batch:
            raise RuntimeError(f"{python} failed ({proc.returncode}): {proc.stderr[-2000:]}")
        return results

    with ThreadPoolExecutor(WORKERS) as pool:
        return {r["path"]: r for batch in pool.map(run, batches) for r in batch}


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha1(f.read()).digest()


class Run:
    """Every selected file of every corpus, judged. A text that several
    corpora hold (most of pip, much of each standard library) is parsed once
    by ruff and by us; CPython judges it once for each interpreter that
    judges a corpus holding it."""

    def __init__(self, corpus_list, dump_command):
        self.corpora = list(corpus_list)
        self.files = {c.name: selected_files(c) for c in self.corpora}
        everything = sorted({p for files in self.files.values() for p in files})
        with ThreadPoolExecutor(WORKERS) as pool:
            self.digest = dict(zip(everything, pool.map(digest, everything)))
        first = {}
        for p in everything:
            first.setdefault(self.digest[p], p)
        by_digest = judge_paths(list(first.values()), dump_command, WORKERS)
        self.verdict = {p: by_digest[first[self.digest[p]]] for p in everything}
        self.cpython = {}
        for python in {judging_python(c).executable for c in self.corpora}:
            judged = [c for c in self.corpora if judging_python(c).executable == python]
            texts = {}
            for c in judged:
                for p in self.files[c.name]:
                    if self.verdict[p]["utf8"]:
                        texts.setdefault(self.digest[p], p)
            answers = run_cpython(python, list(texts.values()))
            for c in judged:
                for p in self.files[c.name]:
                    if self.verdict[p]["utf8"]:
                        self.cpython[(c.name, p)] = answers[texts[self.digest[p]]]

    def judged(self, corpus):
        return Judged(corpus, self.files[corpus.name], self.verdict, self.cpython)


class Judged:
    """One corpus's files with both parsers' verdicts and CPython's."""

    def __init__(self, corpus, files, verdicts, cpython):
        self.corpus = corpus
        self.files = files
        self.texts = [p for p in files if verdicts[p]["utf8"]]
        self.verdict = {p: verdicts[p] for p in files}
        self.cpython = {p: cpython[(corpus.name, p)] for p in self.texts}

    def key(self, path):
        return (self.corpus.name, self.corpus.rel(path))

    def judge_failures(self):
        return [(self.corpus.rel(p), self.verdict[p]["ruff_failure"]) for p in self.texts
                if self.verdict[p]["ruff_failure"]]

    def crashes(self):
        return [(self.corpus.rel(p), self.verdict[p]["failure"]) for p in self.texts if self.verdict[p]["failure"]]

    def judges_disagree(self):
        """Files on which ruff and CPython differ (file | ruff | CPython)."""
        return [(self.corpus.rel(p), self.verdict[p]["ruff_error"] or "valid", self.cpython[p]["error"] or "valid")
                for p in self.texts
                if self.verdict[p]["ruff_valid"] != self.cpython[p]["valid"] and not self.verdict[p]["ruff_failure"]]

    def unnamed_judge_disagreements(self):
        return [row for row in self.judges_disagree() if (self.corpus.name, row[0]) not in JUDGES_DISAGREE]

    def stale_judge_disagreements(self):
        """Named files of this run on which the judges now agree."""
        disagree = {row[0] for row in self.judges_disagree()}
        return [self.corpus.rel(p) for p in self.texts
                if self.key(p) in JUDGES_DISAGREE and self.corpus.rel(p) not in disagree]

    def validity_mismatches(self):
        """Files both judges decide one way and we the other (file | ours | both judges)."""
        out = []
        for p in self.texts:
            v = self.verdict[p]
            if v["failure"] or v["ruff_failure"] or v["ruff_valid"] != self.cpython[p]["valid"]:
                continue
            if v["ours_valid"] != v["ruff_valid"]:
                out.append((self.corpus.rel(p), v["ours_error"] or "valid", v["ruff_error"] or "valid"))
        return out

    def compared(self):
        return [p for p in self.texts if self.verdict[p]["ruff_valid"] and self.verdict[p]["ours_valid"]]

    def tree_differences(self):
        """(file | where | ours | ruff's) for every difference on files that ruff and we accept."""
        out = []
        for p in self.compared():
            v = self.verdict[p]
            out.extend((self.corpus.rel(p), where, a, b) for where, a, b in v["diffs"])
            if v["ndiffs"] > len(v["diffs"]):
                out.append((self.corpus.rel(p), "...", f"{v['ndiffs'] - len(v['diffs'])} more differences", ""))
        return out

    def node_count(self):
        return sum(self.verdict[p]["nodes"] for p in self.compared())


def grouped(diffs):
    """The tree differences by place, most frequent first, each with its first example."""
    groups = {}
    for row in diffs:
        groups.setdefault(place(row[1]), []).append(row)
    return [(len(rows), key, *rows[0]) for key, rows in sorted(groups.items(), key=lambda g: -len(g[1]))]


def listing(rows, limit=40):
    lines = ["  " + " | ".join(str(c) for c in row) for row in rows[:limit]]
    if len(rows) > limit:
        lines.append(f"  ... and {len(rows) - limit} more")
    return "\n".join(lines)


# ------------------------------------------------------------------- tests

CORPORA = corpora()


@pytest.fixture(scope="module")
def ruff():
    reason = ensure_ruff()
    if reason:
        pytest.skip(reason)


@pytest.fixture(scope="module")
def dump_tree(ruff):
    command = find_test_command("tymbe_dump_tree", "TYMBE_DUMP_TREE")
    if not command:
        pytest.skip("tymbe_dump_tree is not built")
    return command


@pytest.fixture(scope="module")
def run(dump_tree):
    if not CORPORA:
        pytest.skip("no corpus of Python code found")
    return Run(CORPORA, dump_tree)


@pytest.fixture(params=CORPORA, ids=[c.name.replace(" ", "-") for c in CORPORA])
def judged(request, run):
    return run.judged(request.param)


def test_reader_of_the_reference_tree(ruff, tmp_path):
    # The comparison is only as good as the reading of ruff's print: a reader
    # that lost nodes would make every comparison pass.
    source = ('@d(k="v" "w", **o)\nasync def f(a, /, *b: T, c=1, **d) -> R:\n'
              '    x: int = {"k": v, **m}\n    return f"{x}"\n'
              'try:\n    pass\nexcept* E:\n    pass\nfrom ..a . b import c as d, e  # note\n')
    path = tmp_path / "sample.py"
    path.write_text(source, encoding="utf-8")
    requests = [{"path": str(path)}, {"text": source}, {"text": source, "tree": False}, {"text": "x = (\n"}]
    judge = Ruff()
    try:
        by_path, by_text, verdict_only, invalid = judge.ask(requests)
    finally:
        judge.close()
    assert by_path.pop("path") == str(path) and by_path.pop("utf8") is True
    assert by_path == by_text
    assert verdict_only == {"valid": True, "error": None, "tree": None, "comments": None}
    assert invalid["valid"] is False and invalid["error"].endswith("at byte range 6..6")
    result = by_text
    assert result["valid"] and result["comments"] == [[170, 176]]
    function, trial, import_from = result["tree"]["body"]
    call = function["decorators"][0]["expression"]
    assert function["decorators"][0]["range"] == [0, 18]
    assert call["func"] == {"kind": "Name", "range": [1, 2], "id": "d"}
    assert call["keywords"] == [
        {"range": [3, 12], "arg": {"id": "k", "range": [3, 4]},
         "value": {"kind": "StringLiteral", "range": [5, 12], "implicit_concatenated": True, "value": "vw"}},
        {"range": [14, 17], "arg": None, "value": {"kind": "Name", "range": [16, 17], "id": "o"}},
    ]
    assert (function["is_async"], function["name"], function["parameters_range"]) == \
        (True, {"id": "f", "range": [29, 30]}, [30, 53])
    assert [(p["kind"], p["name"]["id"], p["range"]) for p in function["parameters"]] == [
        ("PositionalOnly", "a", [31, 32]), ("Vararg", "b", [37, 42]), ("KeywordOnly", "c", [44, 45]),
        ("Kwarg", "d", [49, 52])]
    assert function["returns"] == {"kind": "Name", "range": [57, 58], "id": "R"}
    assign, ret = function["body"]
    assert assign["value"]["items"][1] == {"key": None, "value": {"kind": "Name", "range": [84, 85], "id": "m"}}
    assert ret == {"kind": "Return", "range": [91, 104], "value": {"kind": "FString", "range": [98, 104]}}
    assert (trial["is_star"], trial["handlers"][0]["range"]) == (True, [119, 138])
    assert import_from["module"] == {"id": "a.b", "range": [146, 151]} and import_from["level"] == 2
    assert import_from["names"][0] == {"range": [159, 165], "name": {"id": "c", "range": [159, 160]},
                                       "asname": {"id": "d", "range": [164, 165]}}


def test_we_accept_and_reject_what_both_judges_do(judged):
    failures = judged.judge_failures()
    assert not failures, f"ruff's judge gave no answer:\n{listing(failures)}"
    crashes = judged.crashes()
    assert not crashes, f"the parser failed unexpectedly:\n{listing(crashes)}"
    mismatches = judged.validity_mismatches()
    assert not mismatches, f"ours | both judges:\n{listing(mismatches)}"


def test_judges_disagree_only_on_named_files(judged):
    unnamed = judged.unnamed_judge_disagreements()
    assert not unnamed, f"name these in JUDGES_DISAGREE (file | ruff | CPython):\n{listing(unnamed)}"
    stale = judged.stale_judge_disagreements()
    assert not stale, f"the judges agree on these named files now:\n{listing([(s,) for s in stale])}"


def test_ranges_and_values_equal_ruffs(judged):
    if not judged.compared():
        pytest.skip("no file of this corpus is accepted by both parsers")
    diffs = judged.tree_differences()
    assert not diffs, (f"{len(diffs)} differences; by place (count | place | first file | where | ours | ruff's):\n"
                       f"{listing(grouped(diffs))}")


# ------------------------------------------------------------------ mutants

MUTANT_SEED = 1
MUTANT_COUNT = int(os.environ.get("TYMBE_MUTANTS", "5000"))


def test_mutants_are_reproducible_and_of_every_kind():
    # A disagreement is reported by seed and index: the same pair must give
    # the same text on every run, and every kind must change its file.
    bases = mutate.base_files()
    if not bases:
        pytest.skip("no corpus of Python code found")
    made = [mutate.mutant(MUTANT_SEED, k, bases) for k in range(3 * len(mutate.KINDS))]
    assert made == [mutate.mutant(MUTANT_SEED, k, bases) for k in range(3 * len(mutate.KINDS))]
    changed = {kind for kind, (_, path), text, _ in made if text != mutate.readable(path)}
    assert changed == set(mutate.KINDS)


def test_minimising_keeps_what_is_asked_for():
    def keeps(candidates):
        return ["".join(c).count("(") >= 2 and "x" in "".join(c) for c in candidates]

    assert "".join(mutate.ddmin(list("a = (b, (c + x))\n"), keeps, [10**6])) == "((x"


def test_mutants_agree_with_ruff(dump_tree):
    counts, found, failed = mutate.run(MUTANT_SEED, MUTANT_COUNT, dump_tree, WORKERS)
    summary = mutate.summary(MUTANT_SEED, MUTANT_COUNT, counts, found, failed)
    print(summary)
    made = Counter()
    for (_, what), n in counts.items():
        made[what] += n
    assert made["mutants"] == MUTANT_COUNT
    assert made["valid"] and made["invalid"] and made["compared"], "the run must judge both kinds of text"
    assert made["ruff-failed"] * 100 <= made["mutants"], f"ruff gave no answer on too many:\n{summary}"
    if not found:
        return
    again = (f"python3 tests/judge/mutate.py --seed {MUTANT_SEED} --count {MUTANT_COUNT} --out DIR "
             f"--dump-tree {shlex.quote(shlex.join(dump_tree))}")
    pytest.fail(f"{len(found)} disagreements on mutants; minimised by: {again}\n{summary}")


# ----------------------------------------------------------------- by hand


def compare_files(paths, dump_command):
    """Differences for a few chosen files, as the corpus test sees them."""
    judges = Judges(dump_command)
    try:
        verdicts = judges.paths(paths)
    finally:
        judges.close()
    for p, v in zip(paths, verdicts):
        if v["failure"] or v["ruff_failure"]:
            print(f"{p}: failure: {v['failure'] or v['ruff_failure']}")
        elif v["ours_valid"] != v["ruff_valid"] or not v["ours_valid"]:
            print(f"{p}: ours {v['ours_error'] or 'valid'} | ruff's {v['ruff_error'] or 'valid'}")
        else:
            print(f"{p}: {v['ndiffs']} differences")
            if v["diffs"]:
                print(listing(v["diffs"], limit=10**9))


def report(run):
    totals = Counter()
    for corpus in run.corpora:
        judged = run.judged(corpus)
        compared = judged.compared()
        counts = {"files": len(judged.files), "UTF-8": len(judged.texts), "compared": len(compared),
                  "nodes compared": judged.node_count()}
        totals.update(counts)
        print(f"== {corpus.name} ({corpus.folder}, judged by {judging_python(corpus).executable}): "
              + ", ".join(f"{v} {k}" for k, v in counts.items()))
        for title, rows in [("ruff's judge gave no answer", judged.judge_failures()),
                            ("crashes", judged.crashes()),
                            ("judges disagree, not named (file | ruff | CPython)", judged.unnamed_judge_disagreements()),
                            ("named judge disagreements that no longer hold", [(s,) for s in
                                                                               judged.stale_judge_disagreements()]),
                            ("validity (file | ours | both judges)", judged.validity_mismatches()),
                            ("tree differences by place (count | place | first file | where | ours | ruff's)",
                             grouped(judged.tree_differences())),
                            ("tree differences (file | where | ours | ruff's)", judged.tree_differences())]:
            print(f"-- {title}: {len(rows)}")
            if rows:
                print(listing(rows, limit=10**9))
    distinct = len({run.digest[p] for files in run.files.values() for p in files})
    print(f"== all corpora: " + ", ".join(f"{v} {k}" for k, v in totals.items()) + f"; {distinct} distinct texts")


def main():
    global PACKAGE_SHARE
    args = sys.argv[1:]
    given = None
    if "--dump-tree" in args:
        i = args.index("--dump-tree")
        given = args[i + 1]
        del args[i:i + 2]
    if "--full" in args:
        args.remove("--full")
        PACKAGE_SHARE = 1.0
    dump_command = find_test_command("tymbe_dump_tree", "TYMBE_DUMP_TREE", given)
    judges_or_exit(dump_command)
    if args:
        compare_files([os.path.abspath(a) for a in args], dump_command)
        return
    report(Run(CORPORA, dump_command))


if __name__ == "__main__":
    main()
