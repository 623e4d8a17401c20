"""A tour of tymbe_rs over the small project in examples/project."""

import os
from pathlib import Path

import tymbe_rs

PROJECT = Path(__file__).resolve().parent / "project"


def project_files():
    return sorted(str(p) for p in PROJECT.rglob("*") if p.is_file())


def show_file_system(files):
    fs = tymbe_rs.StdAstFileSystem(files)
    print("Files the file system knows (non-.py entries dropped):")
    for path in fs.all_files():
        print("  ", os.path.relpath(path, PROJECT))
    path = str(PROJECT / "shop" / "features.py")
    text = fs.read_to_string(path)
    print(f"\nshop/features.py: {len(text)} characters, first line {text.splitlines()[0]!r}")
    try:
        fs.read_to_string(str(PROJECT / "missing.py"))
    except OSError as error:
        print(f"Reading a missing file: OSError({error})")


def show_utilities():
    print("\nUtilities:")
    for text in ["1h30m", "infinity", "- 1h", "5min"]:
        try:
            print(f"  parse_duration_ms({text!r}) = {tymbe_rs.parse_duration_ms(text)}")
        except ValueError as error:
            print(f"  parse_duration_ms({text!r}) raises ValueError: {error}")
    print(f"  parse_duration_s('-1500ms') = {tymbe_rs.parse_duration_s('-1500ms')}")
    for seconds in [90061.5, -90, 1e10]:
        print(f"  seconds_to_duration_string({seconds}) = {tymbe_rs.seconds_to_duration_string(seconds)!r}")
    for name in ["MyFeatures", "XMLParser", "getSQLResultCode"]:
        print(f"  to_snake_case({name!r}) = {tymbe_rs.to_snake_case(name)!r}")
    print("  build_namespaced_name('MyFeatures::UserStats', 'count') =",
          repr(tymbe_rs.build_namespaced_name("MyFeatures::UserStats", "count")))


def main():
    print(f"tymbe_rs exports: {', '.join(tymbe_rs.__all__)}\n")
    files = project_files()
    show_file_system(files)
    show_utilities()


if __name__ == "__main__":
    main()
