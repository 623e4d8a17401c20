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


def at(location):
    """A zero-based (line, column, end line, end column) tuple, shown 1-based."""
    if location is None:
        return "-"
    line, column, end_line, end_column = location
    return f"{line + 1}:{column + 1}-{end_line + 1}:{end_column + 1}"


def show_parse_cache(files):
    cache = tymbe_rs.AstFileParserCache(files, str(PROJECT))
    path, source, imports = cache.get_parsed_file(str(PROJECT / "shop" / "features.py"))
    print(f"\nParse cache: shop/features.py holds {source.count(chr(10))} lines; its imports:")
    for module, names in imports.items():
        for name, local_names in names.items():
            print(f"  from {module} import {name} (bound as {', '.join(local_names)})")
    try:
        cache.get_parsed_file(str(PROJECT / "shop" / "broken.py"))
    except ValueError as error:
        print(f"  shop/broken.py: ValueError: {error}")


def show_feature_class(index, class_name):
    feature_class = index.feature_class_ast("shop.features", class_name)
    print(f"\nFeature class {feature_class.class_name} at {at(feature_class.class_name_location)}"
          f", namespace {feature_class.namespace!r}, decorator at {at(feature_class.decorator_location)}")
    for keyword, location in feature_class.kwargs.items():
        print(f"  decorator argument {keyword}= at {at(location)}")
    for field in feature_class.annotations:
        details = [f"{field.field_name} at {at(field.field_name_location)}"]
        if field.description:
            details.append(f"description {field.description!r}")
        if field.owner:
            details.append(f"owner {field.owner!r}")
        if field.tags:
            details.append(f"tags {field.tags}")
        if field.kwargs:
            details.append(f"feature() arguments {sorted(field.kwargs)}")
        print("  field " + ", ".join(details))


def show_function(function, kind):
    print(f"\n{kind} {function.module}.{function.resolver_name} at {at(function.resolver_name_location)}"
          f", decorator at {at(function.decorator_location)}")
    for name in function.args_in_order:
        argument = function.args[name]
        print(f"  argument {name} at {at(argument.arg_location)}, annotation {at(argument.annotation)}")
    if function.return_annotation is not None:
        print(f"  returns annotation at {at(function.return_annotation)}")
    else:
        print(f"  no return annotation; ':' at {at(function.missing_return_annotation)}")
    for keyword, location in function.kwargs.items():
        print(f"  decorator argument {keyword}= at {at(location)}")
        for key, key_location in function.kwarg_dict_key_names.get(keyword, {}).items():
            value = at(function.kwarg_dict_values[keyword][key])
            print(f"    dict entry {key!r}: key at {at(key_location)}, value at {value}")
    returns = ", ".join(at(location) for location in function.return_statements)
    print(f"  return statements at {returns}; first returned value at {at(function.return_arg)}")


def show_project_index(files):
    index = tymbe_rs.AstProjectIndex(files, str(PROJECT))
    index.nonblocking_start_index()  # background workers; lookups never wait for more than their file
    print("\nProject index over", len(files), "files (background indexing started)")
    show_feature_class(index, "User")
    show_feature_class(index, "Order")
    show_function(index.resolver_ast("shop.features", "total_spend"), "Resolver")
    show_function(index.resolver_ast("shop.features", "created_at"), "Resolver")
    show_function(index.function_ast("shop.features", "helper"), "Function")
    print("\nresolver_ast('shop.features', 'helper') =", index.resolver_ast("shop.features", "helper"))
    broken = str(PROJECT / "shop" / "broken.py")
    print("function_ast_in_file('shop/broken.py', 'oops') =", index.function_ast_in_file(broken, "oops"),
          "(the file does not parse)")


def main():
    print(f"tymbe_rs exports: {', '.join(tymbe_rs.__all__)}\n")
    files = project_files()
    show_file_system(files)
    show_utilities()
    show_parse_cache(files)
    show_project_index(files)


if __name__ == "__main__":
    main()
