"""The five module functions: their results, their argument rules and their
failures."""

import math

import pytest

from tymbe_rs import (
    build_namespaced_name,
    parse_duration_ms,
    parse_duration_s,
    seconds_to_duration_string,
    to_snake_case,
)


@pytest.mark.parametrize(
    "function, args, kwargs, expected",
    [
        (parse_duration_ms, ("1h30m",), {}, 5400000),
        (parse_duration_ms, (), {"s": "all"}, 3153600000000),
        (parse_duration_ms, ("",), {}, 0),
        (parse_duration_s, ("90s",), {}, 90),
        (parse_duration_s, ("-1500ms",), {}, -1),
        (to_snake_case, ("MyFeatures",), {}, "my_features"),
        (to_snake_case, (), {"name": "FooBar"}, "foo_bar"),
        (build_namespaced_name, (), {}, ""),
        (build_namespaced_name, (None, None), {}, ""),
        (build_namespaced_name, (), {"name": "count"}, "count"),
        (build_namespaced_name, ("MyFeatures::UserStats", "count"), {}, "my_features::user_stats::count"),
        (build_namespaced_name, ("MyFeatures", ""), {}, "my_features"),
    ],
)
def test_results(function, args, kwargs, expected):
    assert function(*args, **kwargs) == expected


def test_results_keep_int_precision():
    assert type(parse_duration_ms("all")) is int


class FloatSubclass(float):
    def __float__(self):
        return 0.0  # never asked: a float gives its own value


class HasFloat:
    def __float__(self):
        return 61.0


class HasIndex:
    def __index__(self):
        return 3600


@pytest.mark.parametrize(
    "total_seconds, expected",
    [
        (90, "1m30s"),
        (True, "1s"),
        (90061.5, "1d1h1m1s500ms"),
        (math.nan, ""),
        (0, ""),
        (math.inf, "infinity"),
        (FloatSubclass(90.0), "1m30s"),
        (HasFloat(), "1m1s"),
        (HasIndex(), "1h"),
    ],
    ids=["int", "bool", "fraction", "nan", "zero", "infinity", "float-subclass", "__float__", "__index__"],
)
def test_seconds_to_duration_string(total_seconds, expected):
    assert seconds_to_duration_string(total_seconds) == expected
    assert seconds_to_duration_string(total_seconds=total_seconds) == expected


@pytest.mark.parametrize("total_seconds, type_name", [("90", "str"), (None, "None"), (b"1", "bytes"), ([1], "list")])
def test_seconds_that_are_no_number_name_the_argument(total_seconds, type_name):
    with pytest.raises(TypeError) as caught:
        seconds_to_duration_string(total_seconds)
    assert str(caught.value) == (
        f"seconds_to_duration_string() argument 'total_seconds' must be float, not {type_name}"
    )


def test_an_int_too_large_for_a_float_overflows_unchanged():
    with pytest.raises(OverflowError):
        seconds_to_duration_string(10**400)


def test_unreadable_duration_is_one_value_error_for_both_readers():
    errors = []
    for reader in (parse_duration_ms, parse_duration_s):
        with pytest.raises(ValueError) as caught:
            reader("5min")
        errors.append(caught.value.args)
    assert errors[0] == errors[1]
    (message,) = errors[0]
    assert "'5min'" in message


@pytest.mark.parametrize("function", [parse_duration_ms, parse_duration_s, to_snake_case])
@pytest.mark.parametrize("value", [None, b"1h", 3600])
def test_text_arguments_must_be_str(function, value):
    with pytest.raises(TypeError, match=rf"{function.__name__}\(\) argument '(s|name)' must be str"):
        function(value)


@pytest.mark.parametrize("function", [parse_duration_ms, parse_duration_s, to_snake_case])
def test_text_argument_is_required(function):
    with pytest.raises(TypeError, match="missing required argument"):
        function()


@pytest.mark.parametrize(
    "args, named",
    [(("A", 5), "name"), ((5, 5), "namespace"), ((b"A", None), "namespace")],
)
def test_namespaced_name_refusals_name_the_first_bad_argument(args, named):
    with pytest.raises(TypeError) as caught:
        build_namespaced_name(*args)
    assert str(caught.value).startswith(f"build_namespaced_name() argument '{named}' must be str or None")

