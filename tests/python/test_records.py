"""The record classes: every field as a read-only property that converts a
fresh copy on each read, locations as 4-tuples, and nested records as new
objects."""

import pytest

from tymbe_rs import AstProjectIndex, FeatureClassAST, FeatureFieldAST, FunctionArgAST, ResolverAST

SOURCE = '''\
from tymbe import online
from tymbe.features import features


@online(tags={"a": 1, "b": x, **extra}, owner="me")
def resolve(uid: User.id, *rest, **options) -> User.name:
    if uid:
        return "a"
    return "b"


def f(a): pass


@features(name="people")
class User:
    # The user's id.
    # :owner: a@b.c
    # :tags: pii, core
    id: int
    name: str = feature(max_staleness="1h")
'''


@pytest.fixture
def records(tmp_path):
    path = tmp_path / "m.py"
    path.write_text(SOURCE)
    index = AstProjectIndex([str(path)], str(tmp_path))
    return {
        "resolver": index.resolver_ast("m", "resolve"),
        "plain": index.function_ast("m", "f"),
        "feature_class": index.feature_class_ast("m", "User"),
        "again": lambda: index.resolver_ast("m", "resolve"),
    }


def is_location(value):
    return type(value) is tuple and len(value) == 4 and all(type(n) is int and n >= 0 for n in value)


RESOLVER_PROPERTIES = [
    ("module", str), ("resolver_name", str), ("resolver_name_location", "loc"), ("decorator_location", "loc?"),
    ("kwarg_names", dict), ("kwargs", dict), ("kwarg_dict_key_names", dict), ("kwarg_dict_values", dict),
    ("args_in_order", list), ("args", dict), ("return_annotation", "loc?"), ("missing_return_annotation", "loc?"),
    ("return_statements", list), ("body", "loc?"), ("return_arg", "loc?"),
]
FEATURE_CLASS_PROPERTIES = [
    ("module", str), ("namespace", str), ("class_name", str), ("source", str), ("class_name_location", "loc"),
    ("class_definition_location", "loc"), ("decorator_location", "loc"), ("kwarg_names", dict), ("kwargs", dict),
    ("fields", dict), ("annotations", list),
]
FEATURE_FIELD_PROPERTIES = [
    ("field_name", str), ("field_name_location", "loc"), ("comment", "str?"), ("description", "str?"),
    ("owner", "str?"), ("tags", list), ("annotation", "loc?"), ("feature_call", "loc?"), ("kwarg_names", dict),
    ("kwargs", dict),
]
FUNCTION_ARG_PROPERTIES = [("arg_name", str), ("arg_location", "loc"), ("annotation", "loc?")]


def check_form(value, form):
    if form == "loc":
        return is_location(value)
    if form == "loc?":
        return value is None or is_location(value)
    if form == "str?":
        return value is None or type(value) is str
    return type(value) is form


@pytest.mark.parametrize(
    "cls, properties",
    [
        (ResolverAST, RESOLVER_PROPERTIES),
        (FeatureClassAST, FEATURE_CLASS_PROPERTIES),
        (FeatureFieldAST, FEATURE_FIELD_PROPERTIES),
        (FunctionArgAST, FUNCTION_ARG_PROPERTIES),
    ],
    ids=lambda x: getattr(x, "__name__", ""),
)
def test_exactly_the_record_fields_in_their_value_forms(records, cls, properties):
    objects = {
        ResolverAST: [records["resolver"], records["plain"]],
        FeatureClassAST: [records["feature_class"]],
        FeatureFieldAST: records["feature_class"].annotations,
        FunctionArgAST: list(records["resolver"].args.values()),
    }[cls]
    own = {name for name in vars(cls) if not name.startswith("__")}
    assert own == {name for name, _ in properties}
    for obj in objects:
        assert type(obj) is cls
        for name, form in properties:
            assert check_form(getattr(obj, name), form), (name, getattr(obj, name))


class TestResolver:
    def test_values(self, records):
        r = records["resolver"]
        assert (r.module, r.resolver_name) == ("m", "resolve")
        assert r.resolver_name_location == (5, 4, 5, 11)
        assert r.decorator_location == (4, 1, 4, 51)
        assert set(r.kwarg_names) == set(r.kwargs) == {"tags", "owner"}
        assert r.kwargs["owner"] == (4, 46, 4, 50)
        assert r.kwarg_dict_key_names == {"tags": {"a": (4, 14, 4, 17), "b": (4, 22, 4, 25)}}
        assert r.kwarg_dict_values == {"tags": {"a": (4, 19, 4, 20), "b": (4, 27, 4, 28)}}
        assert r.args_in_order == ["uid", "rest", "options"]
        assert r.return_annotation == (5, 47, 5, 56)
        assert r.missing_return_annotation is None
        assert r.return_statements == [(7, 8, 7, 18), (8, 4, 8, 14)]
        assert r.body == (6, 4, 8, 14)
        assert r.return_arg == (8, 11, 8, 14)

    def test_args_are_function_arg_objects(self, records):
        args = records["resolver"].args
        assert set(args) == {"uid", "rest", "options"}
        assert [(a.arg_name, a.arg_location, a.annotation) for a in map(args.get, ["uid", "rest", "options"])] == [
            ("uid", (5, 12, 5, 24), (5, 17, 5, 24)),
            ("rest", (5, 26, 5, 31), None),
            ("options", (5, 33, 5, 42), None),
        ]

    def test_plain_function_has_no_decorator_and_empty_maps(self, records):
        f = records["plain"]
        assert f.resolver_name_location == (11, 4, 11, 5)
        assert f.decorator_location is None
        assert f.kwarg_names == f.kwargs == f.kwarg_dict_key_names == f.kwarg_dict_values == {}
        assert f.return_annotation is None
        assert f.missing_return_annotation == (11, 8, 11, 9)
        assert (f.return_statements, f.return_arg) == ([], None)


class TestFeatureClass:
    def test_values(self, records):
        c = records["feature_class"]
        assert (c.module, c.namespace, c.class_name) == ("m", "people", "User")
        assert c.source == SOURCE[SOURCE.index("@features") :]
        assert c.class_name_location == (15, 6, 15, 10)
        assert c.class_definition_location == (15, 0, 15, 11)
        assert c.decorator_location == (14, 1, 14, 24)
        assert c.kwarg_names == {"name": (14, 10, 14, 14)}
        assert c.kwargs == {"name": (14, 15, 14, 23)}
        assert set(c.fields) == {"id", "name"}
        assert [a.field_name for a in c.annotations] == ["id", "name"]

    def test_fields(self, records):
        first, second = records["feature_class"].annotations
        assert (first.comment, first.description, first.owner, first.tags) == (
            "The user's id.\n:owner: a@b.c\n:tags: pii, core",
            "The user's id.",
            "a@b.c",
            ["pii", "core"],
        )
        assert (first.field_name_location, first.annotation, first.feature_call) == ((19, 4, 19, 6), (19, 8, 19, 11), None)
        assert first.kwarg_names == first.kwargs == {}
        assert (second.comment, second.description, second.owner, second.tags) == (None, None, None, [])
        assert second.feature_call == (20, 16, 20, 43)
        assert second.kwarg_names == {"max_staleness": (20, 24, 20, 37)}
        assert second.kwargs == {"max_staleness": (20, 38, 20, 42)}

    def test_fields_and_annotations_are_separate_objects(self, records):
        c = records["feature_class"]
        by_name, in_order = c.fields, c.annotations
        assert by_name["id"] is not in_order[0]
        assert by_name["id"].field_name_location == in_order[0].field_name_location


class TestFreshValues:
    @pytest.mark.parametrize(
        "record, name",
        [
            ("resolver", "kwarg_names"),
            ("resolver", "kwarg_dict_key_names"),
            ("resolver", "args_in_order"),
            ("resolver", "return_statements"),
            ("feature_class", "fields"),
            ("feature_class", "annotations"),
            ("feature_class", "kwargs"),
        ],
    )
    def test_each_read_gives_a_new_container_and_changes_stay_outside(self, records, record, name):
        obj = records[record]
        first = getattr(obj, name)
        second = getattr(obj, name)
        assert first is not second
        assert type(first) is type(second)
        if isinstance(first, dict):
            assert first.keys() == second.keys()
            first.clear()
        else:
            assert len(first) == len(second)
            first.append("junk")
        assert getattr(obj, name) != first

    def test_nested_dicts_are_new_too(self, records):
        r = records["resolver"]
        r.kwarg_dict_values["tags"]["a"] = None
        assert r.kwarg_dict_values["tags"]["a"] == (4, 19, 4, 20)

    def test_args_read_twice_give_distinct_equal_objects(self, records):
        first, second = records["resolver"].args["uid"], records["resolver"].args["uid"]
        assert first is not second and first != second
        assert (first.arg_name, first.arg_location, first.annotation) == (
            second.arg_name,
            second.arg_location,
            second.annotation,
        )

    def test_two_lookups_give_objects_that_compare_by_identity(self, records):
        first, second = records["again"](), records["again"]()
        assert first is not second and first != second
        assert all(getattr(first, n) == getattr(second, n) for n, _ in RESOLVER_PROPERTIES if n != "args")

    def test_records_outlive_their_index(self, tmp_path):
        path = tmp_path / "m.py"
        path.write_text("def g(x: int) -> str:\n    return x\n")
        index = AstProjectIndex([str(path)], str(tmp_path))
        record = index.function_ast("m", "g")
        del index
        path.write_text("")
        assert record.args["x"].annotation == (0, 9, 0, 12)
        assert record.return_arg == (1, 11, 1, 12)


class TestReadOnly:
    @pytest.mark.parametrize("name", ["module", "kwargs", "return_arg", "extra"])
    def test_assignment_and_deletion_raise_attribute_error(self, records, name):
        r = records["resolver"]
        before = getattr(r, name, None)
        with pytest.raises(AttributeError):
            setattr(r, name, "x")
        with pytest.raises(AttributeError):
            delattr(r, name)
        assert getattr(r, name, None) == before

    @pytest.mark.parametrize(
        "descriptor",
        [ResolverAST.module, FeatureClassAST.fields, FeatureFieldAST.tags, FunctionArgAST.arg_name],
        ids=lambda d: d.__qualname__,
    )
    def test_getter_on_a_foreign_object_raises_type_error(self, records, descriptor):
        other_record = records["feature_class"] if descriptor.__objclass__ is ResolverAST else records["resolver"]
        for foreign in (object(), other_record):
            with pytest.raises(TypeError):
                descriptor.__get__(foreign)
