"""The module exports its entry point and nothing else, so that it cannot
clash with another library in the process built from the same sources."""

import shutil
import subprocess

import pytest

import tymbe_rs


@pytest.mark.skipif(shutil.which("nm") is None, reason="needs nm")
def test_only_the_entry_point_is_exported():
    listing = subprocess.run(
        ["nm", "-D", "--defined-only", tymbe_rs.__file__], capture_output=True, text=True, check=True
    ).stdout
    names = [line.split()[-1] for line in listing.splitlines() if line.strip()]
    assert names == ["PyInit_tymbe_rs"]
