#!/usr/bin/env python3
"""Writes the seed inputs of the libFuzzer run (parse_fuzz.cpp): every
distinct Python file of the corpora on this machine (tests/support/corpus.py)
of at most --max-len bytes (2048 by default: the run keeps its pace on
small inputs), one file each, named by its hash.

    python3 tests/fuzz/seeds.py OUT_DIR [--max-len 2048]
"""

import argparse
import hashlib
import os
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from corpus import corpora, corpus_files  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("out")
    parser.add_argument("--max-len", type=int, default=2048)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    written = 0
    for corpus in corpora():
        for path in corpus_files(corpus.folder):
            try:
                if os.path.getsize(path) > args.max_len:
                    continue
                with open(path, "rb") as f:
                    data = f.read()
            except OSError:
                continue
            target = os.path.join(args.out, hashlib.sha1(data).hexdigest())
            if not os.path.exists(target):
                with open(target, "wb") as f:
                    f.write(data)
                written += 1
    print(f"{written} seed inputs written to {args.out}")


if __name__ == "__main__":
    main()
