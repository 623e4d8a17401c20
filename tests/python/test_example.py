"""examples/example.py, run as `make example` runs it, prints what the README
promises: the key lines of its tour over examples/project."""

import importlib.util
import os
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
PROJECT = ROOT / "examples" / "project"

# Lines the tour must print, each whole. The order of dict-backed lines (the
# imports, the keywords of a decorator) is not defined, so each line is looked
# for on its own.
EXPECTED_LINES = [
    "tymbe_rs exports: StdAstFileSystem, AstFileParserCache, FeatureFieldAST, FeatureClassAST, FunctionArgAST,"
    " ResolverAST, AstProjectIndex, parse_duration_ms, parse_duration_s, seconds_to_duration_string,"
    " to_snake_case, build_namespaced_name",
    "shop/features.py: 937 characters, first line 'from tymbe import online, offline'",
    "Reading a missing file: OSError(No such file or directory (os error 2))",
    "  parse_duration_ms('1h30m') = 5400000",
    "  parse_duration_ms('5min') raises ValueError: The duration '5min' contained a component '5min' that could"
    " not be parsed. Please use a valid duration, like '10m', '1h', or '1h30m'. Read more at"
    " https://docs.tymbe.dev/api-docs#Duration",
    "  parse_duration_s('-1500ms') = -1",
    "  seconds_to_duration_string(90061.5) = '1d1h1m1s500ms'",
    "  to_snake_case('XMLParser') = 'xml_parser'",
    "  build_namespaced_name('MyFeatures::UserStats', 'count') = 'my_features::user_stats::count'",
    "Parse cache: shop/features.py holds 43 lines; its imports:",
    "  from tymbe.features import features (bound as features)",
    "  from tymbe import online (bound as online)",
    "Project index over 4 files (background indexing started)",
    "Feature class User at 6:7-6:11, namespace 'shop_user', decorator at 5:2-5:28",
    "  field id at 10:5-10:7, description 'Stable identifier of the account.', owner 'identity-team',"
    " tags ['pii', 'core']",
    "  field created_at at 14:5-14:15, description 'When the account was opened.', tags ['lifecycle'],"
    " feature() arguments ['max_staleness']",
    "Feature class Order at 22:7-22:12, namespace 'order', decorator at 21:2-21:10",
    "Resolver shop.features.total_spend at 31:5-31:16, decorator at 30:2-30:45",
    "  argument orders at 31:31-31:48, annotation 31:39-31:48",
    "    dict entry 'team': key at 30:15-30:21, value at 30:23-30:32",
    "  return statements at 33:9-33:17, 34:5-34:23; first returned value at 34:12-34:23",
    "Resolver shop.features.created_at at 38:5-38:15, decorator at 37:2-37:53",
    "  no return annotation; ':' at 38:29-38:30",
    "Function shop.features.helper at 42:5-42:11, decorator at -",
    "  argument options at 42:46-42:55, annotation -",
    "resolver_ast('shop.features', 'helper') = None",
    "function_ast_in_file('shop/broken.py', 'oops') = None (the file does not parse)",
]


def test_example_prints_the_tour():
    module = importlib.util.find_spec("tymbe_rs")
    assert module is not None, "put <build>/python on PYTHONPATH"
    done = subprocess.run(
        [sys.executable, "examples/example.py"],
        cwd=ROOT,
        env=dict(os.environ, PYTHONPATH=os.path.dirname(module.origin)),
        capture_output=True,
        text=True,
        timeout=120,
    )
    assert done.returncode == 0, done.stderr
    assert done.stderr == ""
    lines = done.stdout.splitlines()
    assert [line for line in EXPECTED_LINES if line not in lines] == []
    # The file system lists the .py files only, sorted.
    listed = lines.index("Files the file system knows (non-.py entries dropped):")
    assert lines[listed + 1:listed + 4] == ["   shop/__init__.py", "   shop/broken.py", "   shop/features.py"]
    assert lines[listed + 4] == ""
    # The broken file's parse error names the file and the place; the wording is the parser's.
    broken = [line for line in lines if line.startswith("  shop/broken.py: ValueError: ")]
    assert len(broken) == 1
    assert broken[0].startswith(f"  shop/broken.py: ValueError: Failed to parse {PROJECT / 'shop' / 'broken.py'}: ")
    assert " at byte range " in broken[0]
