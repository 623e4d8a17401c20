#!/usr/bin/env python3
"""Mutants of real Python files, judged by ruff's parser and ours.

Each mutant is one file of the corpora (tests/support/corpus.py; files of
modest size, that this interpreter compiles) with one change of one kind:
a line's indentation shifted, spaces turned into tabs, a line deleted,
duplicated or joined to the next, a ":", ")", "," or quote deleted, the text
truncated, a keyword or a stray line break inserted, line breaks turned into
CR or form feeds put in, an identifier made non-ASCII, or a deeply nested
statement put in (at most 1000 brackets, blocks or operators deep). Mutant k
of a seed is the same on every run over the same corpora, whatever the
number of workers.

For each mutant the validity must agree, and for a mutant that both accept
the comparable trees and comment ranges too (tests/judge/README.md). Every
disagreement is written to the output folder and minimised (lines, then
characters, keeping the disagreement of the same sort), and the minimised
reproductions are grouped.

    python3 tests/judge/mutate.py --seed 1 --count 200000 --out /tmp/mutants \\
        [--dump-tree "PATH [OPTIONS]"] [--workers 8] [--kinds indent,tabs]
    python3 tests/judge/mutate.py --seed 1 --show 1234      # one mutant's text
"""

import argparse
import ast
import json
import keyword
import os
import random
import re
import sys
import time
import warnings
from collections import Counter, defaultdict
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(HERE.parent / "support"))
import judging  # noqa: E402
from corpus import corpora, corpus_files, find_test_command  # noqa: E402

# Nesting of brackets, blocks and operators stays within what both parsers
# must take: ruff's WebAssembly build overflows its own stack somewhere
# between 2000 and 5000 nested parentheses, and ours refuses beyond its depth
# limit, which is at least 1000.
MAX_NESTING = 1000

KEYWORDS = sorted(set(keyword.kwlist) | {"match", "case", "type", "_"})

# Identifiers that are not ASCII: valid ones, some changed by NFKC, and
# characters that may not start or continue an identifier at all.
NON_ASCII_NAMES = [
    "é", "naïve", "变量", "Ωmega", "ℌ", "ｘ", "ﬁle", "µ", "ĳ", "e\u0301", "x\u00b7y", "_\u0660", "𝔘𝔫𝔦",
    "\u00b7x", "\u0301e", "€", "🐍", "x\u00a0y", "\u2160", "\u2118", "\u212e", "ᢅ", "a\u200db",
]

NESTING_DEPTHS = [2, 10, 50, 99, 100, 101, 199, 200, 201, 254, 255, 256, 257, 500, 998, 999, 1000]
# Deeper than this, only validity is compared: the time of ruff's print of a
# tree grows with the cube of its depth (1000 nested blocks take minutes).
TREE_NESTING = 50

KINDS = ["indent", "tabs", "delete-line", "duplicate-line", "join-lines", "delete-char", "truncate", "keyword",
         "line-break", "cr-ff", "non-ascii", "nesting"]

# ---------------------------------------------------------------- the files

MIN_SIZE, MAX_SIZE = 200, 6000


def base_files(min_size=MIN_SIZE, max_size=MAX_SIZE):
    """(corpus name, path) of every Python 3 corpus file of modest size, in a
    fixed order."""
    out = []
    for corpus in corpora():
        if corpus.python.version[0] < 3:
            continue
        for path in corpus_files(corpus.folder):
            try:
                size = os.path.getsize(path)
            except OSError:
                continue
            if min_size <= size <= max_size:
                out.append((corpus.name, path))
    return out


def readable(path):
    """The file's text when it is UTF-8 without NUL and this interpreter
    compiles it; else None."""
    try:
        with open(path, "rb") as f:
            text = f.read().decode("utf-8")
    except (OSError, UnicodeDecodeError):
        return None
    if "\0" in text:
        return None
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            compile(text, path, "exec", ast.PyCF_ONLY_AST)
    except (SyntaxError, ValueError, MemoryError, RecursionError, OverflowError):
        return None
    return text


# ------------------------------------------------------------ the mutations

LINE = re.compile(r"[^\r\n]*(?:\r\n|\r|\n|$)")


def split_lines(text):
    lines = LINE.findall(text)
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def line_end(line):
    body = line.rstrip("\r\n")
    return body, line[len(body):]


def indent_of(line):
    return len(line) - len(line.lstrip(" \t\f"))


def pick_line(rng, lines, code=True):
    """A random line, preferring lines with code on them."""
    candidates = [i for i, l in enumerate(lines) if l.strip()] if code else []
    return rng.choice(candidates or range(len(lines)))


def m_indent(text, rng):
    lines = split_lines(text)
    i = pick_line(rng, lines)
    shift = rng.randint(1, 8)
    if rng.random() < 0.5:
        lines[i] = " " * shift + lines[i]
    else:
        width = indent_of(lines[i])
        lines[i] = lines[i][min(shift, width):]
    return "".join(lines)


def m_tabs(text, rng):
    lines = split_lines(text)
    how = rng.choice(["line-8", "line-4", "block-8", "file-4", "one-space"])
    if how.startswith("file"):
        targets = range(len(lines))
    elif how.startswith("block"):
        start = pick_line(rng, lines)
        targets = range(start, min(len(lines), start + rng.randint(2, 12)))
    else:
        targets = [pick_line(rng, lines)]
    unit = 4 if how.endswith("4") else 8
    for i in targets:
        line = lines[i]
        width = len(line) - len(line.lstrip(" "))
        if how == "one-space":
            if width:
                cut = rng.randint(0, width - 1)
                lines[i] = line[:cut] + "\t" + line[cut + 1:]
        else:
            lines[i] = "\t" * (width // unit) + " " * (width % unit) + line[width:]
    return "".join(lines)


def m_delete_line(text, rng):
    lines = split_lines(text)
    del lines[pick_line(rng, lines)]
    return "".join(lines)


def m_duplicate_line(text, rng):
    lines = split_lines(text)
    i = pick_line(rng, lines)
    line = lines[i] if line_end(lines[i])[1] else lines[i] + "\n"
    lines.insert(rng.choice([i, rng.randrange(len(lines) + 1)]), line)
    return "".join(lines)


def m_join_lines(text, rng):
    lines = split_lines(text)
    if len(lines) < 2:
        return text
    i = rng.randrange(len(lines) - 1)
    body, _ = line_end(lines[i])
    following = lines[i + 1]
    lines[i:i + 2] = [body + (following.lstrip(" \t") if rng.random() < 0.5 else following)]
    return "".join(lines)


def m_delete_char(text, rng):
    wanted = rng.choice([":", ")", ",", "'", '"', ":),'\""])
    spots = [i for i, c in enumerate(text) if c in wanted]
    if not spots:
        return text[:-1]
    i = rng.choice(spots)
    return text[:i] + text[i + 1:]


def m_truncate(text, rng):
    return text[:rng.randrange(len(text))]


def m_keyword(text, rng):
    word = rng.choice(KEYWORDS)
    spots = [i for i in range(len(text) + 1) if i == 0 or text[i - 1] in " \t\n\r(,[{=:"]
    i = rng.choice(spots)
    return text[:i] + word + rng.choice([" ", "", "\n", ": "]) + text[i:]


def m_line_break(text, rng):
    i = rng.randrange(len(text) + 1)
    return text[:i] + rng.choice(["\n", "\n", "\r\n", "\\\n", "\n\n"]) + text[i:]


def m_cr_ff(text, rng):
    how = rng.choice(["cr-one", "cr-all", "crlf-all", "ff-line", "ff-indent", "ff-anywhere"])
    breaks = [i for i, c in enumerate(text) if c == "\n" and (i == 0 or text[i - 1] != "\r")]
    if how == "cr-one" and breaks:
        i = rng.choice(breaks)
        return text[:i] + rng.choice(["\r", "\r\r", "\r\n\r"]) + text[i + 1:]
    if how == "cr-all":
        return text.replace("\r\n", "\n").replace("\n", "\r")
    if how == "crlf-all":
        return text.replace("\r\n", "\n").replace("\n", "\r\n")
    lines = split_lines(text)
    i = pick_line(rng, lines)
    if how == "ff-line":
        lines[i] = "\f" + lines[i]
    elif how == "ff-indent":
        width = indent_of(lines[i])
        cut = rng.randint(0, width)
        lines[i] = lines[i][:cut] + "\f" + lines[i][cut:]
    else:
        cut = rng.randint(0, len(lines[i]))
        lines[i] = lines[i][:cut] + "\f" + lines[i][cut:]
    return "".join(lines)


NAME = re.compile(r"(?<![\w.'\"])[A-Za-z_]\w*")


def m_non_ascii(text, rng):
    name = rng.choice(NON_ASCII_NAMES)
    spots = [m for m in NAME.finditer(text) if not keyword.iskeyword(m.group())]
    if not spots:
        return name + " = 1\n" + text
    m = rng.choice(spots)
    how = rng.random()
    if how < 0.6:  # every use of the name, so that the text stays valid
        return re.sub(rf"(?<![\w.]){re.escape(m.group())}(?!\w)", name, text)
    if how < 0.8:  # one use, glued to the ASCII name
        return text[:m.start()] + m.group() + name + text[m.end():]
    return text[:m.start()] + name + text[m.end():]


def nested(rng, depth):
    """A statement nested `depth` deep, as lines without indentation."""
    how = rng.choice(["parens", "brackets", "mixed", "unary", "not", "lambda", "call", "subscript", "blocks",
                      "fstring", "dict"])
    if how == "parens":
        return ["x = " + "(" * depth + "a" + ")" * depth]
    if how == "brackets":
        return ["x = " + "[" * depth + "]" * depth]
    if how == "mixed":
        pairs = [rng.choice(["()", "[]", "{}"]) for _ in range(depth)]
        return ["x = " + "".join(p[0] for p in pairs) + "".join(p[1] for p in reversed(pairs))]
    if how == "unary":
        return ["x = " + "".join(rng.choice("-+~") for _ in range(depth)) + "a"]
    if how == "not":
        return ["x = " + "not " * depth + "a"]
    if how == "lambda":
        return ["x = " + "lambda: " * depth + "a"]
    if how == "call":
        return ["x = " + "f(" * depth + ")" * depth]
    if how == "subscript":
        return ["x = a" + "[b" * depth + "]" * depth]
    if how == "fstring":
        inner = min(depth, 150)
        return ["x = f'{" + "(" * inner + "a" + ")" * inner + "}'"]
    if how == "dict":
        return ["x = " + "{'k': " * depth + "1" + "}" * depth]
    lines = []
    for level in range(depth):
        head = rng.choice(["if a:", "for a in b:", "while a:", "with a:", "try:", "def f():", "class C:"])
        lines.append(" " * level + head)
    lines.append(" " * depth + "pass")
    return lines


def m_nesting(text, rng):
    lines = split_lines(text)
    i = rng.randrange(len(lines) + 1)
    where = lines[i] if i < len(lines) else ""
    # The place's own indentation counts towards the depth.
    indent = where[:indent_of(where)] if where.strip() else ""
    depth = max(1, rng.choice(NESTING_DEPTHS) - len(indent) - 1)
    depth = min(depth, MAX_NESTING - len(indent) - 1)
    block = "".join(indent + line + "\n" for line in nested(rng, depth))
    lines.insert(i, block)
    return "".join(lines), depth <= TREE_NESTING


MUTATIONS = {
    "indent": m_indent, "tabs": m_tabs, "delete-line": m_delete_line, "duplicate-line": m_duplicate_line,
    "join-lines": m_join_lines, "delete-char": m_delete_char, "truncate": m_truncate, "keyword": m_keyword,
    "line-break": m_line_break, "cr-ff": m_cr_ff, "non-ascii": m_non_ascii, "nesting": m_nesting,
}


# ------------------------------------------------------------------- mutants

# Set before the workers start (they inherit them).
BASES = []
KINDS_IN_RUN = KINDS


def mutant(seed, index, bases=None, kinds=None):
    """(kind, base (corpus, path), text, whether trees are compared) of
    mutant `index` of `seed`."""
    bases = BASES if bases is None else bases
    kinds = KINDS_IN_RUN if kinds is None else kinds
    rng = random.Random(f"{seed}:{index}")
    kind = kinds[index % len(kinds)]
    for _ in range(50):
        corpus, path = bases[rng.randrange(len(bases))]
        text = readable(path)
        if text:
            made = MUTATIONS[kind](text, rng)
            text, trees = made if isinstance(made, tuple) else (made, True)
            return kind, (corpus, path), text, trees
    raise RuntimeError("no readable file among the corpora")


def cpython_says(text):
    """This interpreter's compiler on a text, for the reader of a report."""
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            compile(text, "<mutant>", "exec", ast.PyCF_ONLY_AST)
        return "valid"
    except Exception as e:  # noqa: BLE001 - any refusal is an answer here
        return f"{type(e).__name__}: {e}"


RANGE = re.compile(r" at byte range \d+\.\.\d+$")
STATEMENT_PATH = re.compile(r"^.*\.(?:body|orelse|finalbody)\[\]")


def signature(v):
    """(sort, anchor) of a disagreement: its sort and what keeps it the same
    disagreement while it is minimised. A refusal is anchored by the
    refusing side's description, a tree difference by the place of its
    first difference below the innermost statement that holds it."""
    sort = judging.disagreement(v)
    if sort is None:
        return None
    if sort == "crash":
        anchor = re.sub(r"\d+", "N", v["failure"].splitlines()[0])
    elif sort == "ours-rejects":
        anchor = RANGE.sub("", v["ours_error"] or "")
    elif sort == "ours-accepts":
        anchor = RANGE.sub("", v["ruff_error"] or "")
    else:
        anchor = STATEMENT_PATH.sub("", judging.place(v["diffs"][0][0]))
    return sort, anchor


def answers(v):
    return {"ours": {"valid": v["ours_valid"], "error": v["ours_error"], "failure": v["failure"]},
            "ruff": {"valid": v["ruff_valid"], "error": v["ruff_error"], "failure": v["ruff_failure"]},
            "diffs": v["diffs"][:20], "ndiffs": v["ndiffs"]}


def _judge_range(task):
    """Worker: judges mutants [start, stop) of `seed`; counts and disagreements."""
    seed, start, stop = task
    made = [mutant(seed, i) for i in range(start, stop)]
    verdicts = judging.WORKER.texts([m[2] for m in made], [m[3] for m in made])
    counts = Counter()
    found, failed = [], []
    for index, (kind, base, text, trees), v in zip(range(start, stop), made, verdicts):
        counts[(kind, "mutants")] += 1
        if v["ruff_failure"]:
            counts[(kind, "ruff-failed")] += 1
            failed.append({"seed": seed, "index": index, "kind": kind, "failure": v["ruff_failure"]})
            continue
        counts[(kind, "valid" if v["ruff_valid"] else "invalid")] += 1
        counts[(kind, "nodes")] += v["nodes"]
        counts[(kind, "compared")] += v["compared"]
        sig = signature(v)
        if sig:
            counts[(kind, sig[0])] += 1
            found.append({"seed": seed, "index": index, "kind": kind, "base": [base[0], base[1]], "sort": sig[0],
                          "anchor": sig[1], "trees": trees, "text": text, "cpython": cpython_says(text),
                          **answers(v)})
    return counts, found, failed


# -------------------------------------------------------------- minimising


def ddmin(units, keeps, budget):
    """Delta debugging: a short sublist of `units` for which `keeps` (a
    function of a list of candidate unit lists, answering for each) still
    holds. Every candidate of a round is judged in one batch."""
    n = 2
    while len(units) >= 2 and budget[0] > 0:
        chunk = -(-len(units) // n)
        starts = range(0, len(units), chunk)
        subsets = [units[s:s + chunk] for s in starts]
        complements = [units[:s] + units[s + chunk:] for s in starts] if n > 2 else []
        candidates = subsets + complements
        budget[0] -= len(candidates)
        results = keeps(candidates)
        hit = next((k for k, ok in enumerate(results) if ok), None)
        if hit is not None and hit < len(subsets):
            units, n = subsets[hit], 2
        elif hit is not None:
            units, n = complements[hit - len(subsets)], max(n - 1, 2)
        elif n >= len(units):
            break
        else:
            n = min(len(units), 2 * n)
    return units


# Runs of spaces, of word characters, or one other character.
TOKEN = re.compile(r"[ \t]+|\w+|.", re.S)


def _minimise(found, budget=6000):
    """Worker: the shortest text found that keeps the disagreement's
    signature, by lines, then by tokens, then by characters."""
    wanted = (found["sort"], found["anchor"])
    judges = judging.WORKER
    last = {}

    def keeps(candidates):
        texts = ["".join(c) for c in candidates]
        out = []
        for text, v in zip(texts, judges.texts(texts, [found["trees"]] * len(texts))):
            ok = bool(text) and signature(v) == wanted
            if ok:
                last[text] = v
            out.append(ok)
        return out

    left = [budget]
    text = found["text"]
    for split in (split_lines, TOKEN.findall, list):
        text = "".join(ddmin(split(text), keeps, left))
    v = last.get(text) or judges.texts([text], [found["trees"]])[0]
    return {"text": text, "cpython": cpython_says(text), "tests": budget - left[0], "signature": signature(v),
            **answers(v)}


SHAPE_NAME = re.compile(r"[^\W\d]\w*")


def shape(text):
    """A minimised text with its names and numbers blurred, to group alike ones."""
    return re.sub(r"\d+", "0", SHAPE_NAME.sub(lambda m: m.group() if keyword.iskeyword(m.group()) else "x", text))


# ----------------------------------------------------------------------- run


def run(seed, count, dump_command, workers, kinds=None, out=None, minimise_per_signature=10, chunk=64,
        progress=False, min_size=MIN_SIZE, max_size=MAX_SIZE):
    """Judges `count` mutants of `seed`; returns (counts, disagreements, the
    mutants that ruff gave no answer on). With
    `out`, writes every disagreement there and minimises up to
    `minimise_per_signature` of each signature (0: every one)."""
    global BASES, KINDS_IN_RUN
    BASES = base_files(min_size, max_size)
    if not BASES:
        raise RuntimeError("no corpus file of modest size found")
    KINDS_IN_RUN = list(kinds or KINDS)
    counts = Counter()
    found, failed = [], []
    tasks = [(seed, s, min(s + chunk, count)) for s in range(0, count, chunk)]
    started = last_report = time.time()
    with judging.worker_pool(dump_command, workers) as pool:
        for c, f, no_answer in pool.map(_judge_range, tasks):
            counts.update(c)
            found += f
            failed += no_answer
            if progress and time.time() - last_report > 30:
                last_report = time.time()
                made = sum(v for (k, what), v in counts.items() if what == "mutants")
                print(f"  {made} mutants, {len(found)} disagreements, {made / (last_report - started):.0f}/s",
                      file=sys.stderr, flush=True)
        if out is not None:
            chosen, per = [], Counter()
            for d in found:
                sig = (d["sort"], d["anchor"])
                if not minimise_per_signature or per[sig] < minimise_per_signature:
                    per[sig] += 1
                    chosen.append(d)
            if progress:
                print(f"  minimising {len(chosen)} of the {len(found)} disagreements", file=sys.stderr, flush=True)
            for d, m in zip(chosen, pool.map(_minimise, chosen)):
                d["minimised"] = m
    counts["seconds", "total"] = time.time() - started
    if out is not None:
        write(out, seed, count, counts, found, failed)
    return counts, found, failed


def groups(found):
    """Minimised disagreements by signature, then by shape: {(sort, anchor): {shape: [texts]}}."""
    out = defaultdict(lambda: defaultdict(list))
    for d in found:
        m = d.get("minimised")
        if m is None:
            continue
        sig = m["signature"] or (d["sort"], d["anchor"])
        out[sig][shape(m["text"])].append(m["text"])
    return out


def summary(seed, count, counts, found, failed=()):
    kinds = sorted({k for k, _ in counts if k != "seconds"}, key=lambda k: KINDS.index(k) if k in KINDS else 99)
    sorts = ["ours-accepts", "ours-rejects", "tree", "crash"]
    total = Counter()
    for (k, what), v in counts.items():
        if k != "seconds":
            total[what] += v
    seconds = counts["seconds", "total"]
    lines = [f"seed {seed}: {total['mutants']} mutants in {seconds:.0f} s ({total['mutants'] / max(seconds, 1e-9):.0f}/s);"
             f" ruff accepts {total['valid']}, refuses {total['invalid']}, gives no answer on {total['ruff-failed']};"
             f" {total['nodes']} nodes and comments compared; {len(found)} disagreements",
             "",
             "(valid and invalid: ruff's verdict; trees: mutants both accept whose trees were compared)",
             f"{'kind':<16}{'mutants':>9}{'valid':>8}{'invalid':>8}{'no answer':>10}{'trees':>8}"
             + "".join(f"{s:>14}" for s in sorts)]
    for k in kinds + ["all"]:
        get = (lambda what: total[what]) if k == "all" else (lambda what, k=k: counts[k, what])
        lines.append(f"{k:<16}{get('mutants'):>9}{get('valid'):>8}{get('invalid'):>8}{get('ruff-failed'):>10}"
                     f"{get('compared'):>8}" + "".join(f"{get(s):>14}" for s in sorts))
    if failed:
        lines += ["", "ruff gave no answer (count | reason | first mutant):"]
        reasons = Counter(re.sub(r"\d+", "N", f["failure"]) for f in failed)
        for reason, n in reasons.most_common():
            first = next(f["index"] for f in failed if re.sub(r"\d+", "N", f["failure"]) == reason)
            lines.append(f"  {n} | {reason} | --seed {seed} --show {first}")
    by_signature = Counter((d["sort"], d["anchor"]) for d in found)
    if by_signature:
        lines += ["", "disagreements by signature (count | sort | anchor | first mutant):"]
        first = {}
        for d in found:
            first.setdefault((d["sort"], d["anchor"]), d["index"])
        for (sort, anchor), n in by_signature.most_common():
            lines.append(f"  {n} | {sort} | {anchor} | --seed {seed} --show {first[sort, anchor]}")
    grouped = groups(found)
    if grouped:
        lines += ["", "minimised reproductions by signature and shape (count | repr of the shortest):"]
        for (sort, anchor), shapes in sorted(grouped.items(), key=lambda g: -sum(map(len, g[1].values()))):
            lines.append(f"  {sort} | {anchor}")
            for texts in sorted(shapes.values(), key=len, reverse=True):
                lines.append(f"    {len(texts)} | {min(texts, key=len)!r}")
    return "\n".join(lines)


def write(out, seed, count, counts, found, failed):
    """Every disagreement in disagreements.jsonl, the mutants that ruff gave no
    answer on in no-answer.jsonl, the shortest reproduction of each group as
    a file of its own under repros/, and the summary."""
    out = Path(out)
    (out / "repros").mkdir(parents=True, exist_ok=True)
    with open(out / "disagreements.jsonl", "w", encoding="utf-8") as f:
        for d in found:
            f.write(json.dumps(d, ensure_ascii=False) + "\n")
    for n, ((sort, _), shapes) in enumerate(sorted(groups(found).items(), key=lambda g: -sum(map(len, g[1].values())))):
        for k, texts in enumerate(sorted(shapes.values(), key=len, reverse=True)[:5]):
            with open(out / "repros" / f"{n:03d}-{sort}-{k}.py", "w", encoding="utf-8", newline="") as f:
                f.write(min(texts, key=len))
    with open(out / "no-answer.jsonl", "w", encoding="utf-8") as f:
        for d in failed:
            f.write(json.dumps(d) + "\n")
    text = summary(seed, count, counts, found, failed)
    (out / "summary.txt").write_text(text + "\n", encoding="utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=10000)
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--dump-tree", help='the dump tool\'s command line, e.g. "PATH" '
                                            "(default: $TYMBE_DUMP_TREE, else the build's tool)")
    parser.add_argument("--out", help="folder for the disagreements, their reproductions and the summary")
    parser.add_argument("--kinds", help=f"comma-separated, of: {', '.join(KINDS)}")
    parser.add_argument("--minimise-per-signature", type=int, default=10,
                        help="disagreements minimised per signature, 0 for all (default 10)")
    parser.add_argument("--min-size", type=int, default=MIN_SIZE)
    parser.add_argument("--max-size", type=int, default=MAX_SIZE)
    parser.add_argument("--show", type=int, metavar="INDEX", help="print mutant INDEX of the seed and stop")
    args = parser.parse_args()
    kinds = args.kinds.split(",") if args.kinds else KINDS
    unknown = set(kinds) - set(KINDS)
    if unknown:
        parser.error(f"unknown kinds: {', '.join(sorted(unknown))}")
    if args.show is not None:
        kind, base, text, _ = mutant(args.seed, args.show, base_files(args.min_size, args.max_size), kinds)
        print(f"# mutant {args.show} of seed {args.seed}: {kind} of {base[1]} ({base[0]})", file=sys.stderr)
        sys.stdout.write(text)
        return
    dump_command = find_test_command("tymbe_dump_tree", "TYMBE_DUMP_TREE", args.dump_tree)
    judging.judges_or_exit(dump_command)
    counts, found, failed = run(args.seed, args.count, dump_command, args.workers, kinds, args.out,
                                args.minimise_per_signature, progress=True, min_size=args.min_size,
                                max_size=args.max_size)
    print(summary(args.seed, args.count, counts, found, failed))
    if args.out:
        print(f"\nwritten to {args.out}: summary.txt, disagreements.jsonl, no-answer.jsonl, repros/")


if __name__ == "__main__":
    main()
