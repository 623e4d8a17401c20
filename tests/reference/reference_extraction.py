"""A reference extraction of function records in pure Python, with `ast`.

Test-only (tests/python/test_extraction_reference.py); never shipped. For every
function definition of a file, in definition order, it computes what our
`ResolverAST` records hold for it, in the JSON shape of
tests/tools/dump_extraction.cpp:

  name, name_location, args_in_order, args {name: {location, annotation}},
  return_annotation, return_statements, body, return_arg

A location is [start line, start character, end line, end character], zero
based; characters are Unicode characters from the start of the line, a leading
byte-order mark not counted; lines end at "\\n", "\\r\\n" or a lone "\\r".

CPython's `ast` differs from our records in five ways, each bridged here:
- columns are UTF-8 byte offsets within the line: converted to characters;
- a function's node has no range for its name: the name is found in the text
  after "def";
- a "*" or "**" parameter's node starts at its name: moved back to the star;
- a decorated definition starts at its "def" or "class": moved back to the "@"
  of its first decorator (it matters where one opens a function body);
- a compound statement ends with the last token of its block, so a ";" after
  its last simple statement is included: moved back to the end of that
  statement (it matters where one closes a function body).
"""

import ast
import bisect
import re
import sys
import warnings

_LINE_BREAK = re.compile(r"\r\n|\r|\n")
_DEF_HEADER = re.compile(r"(?:async(?:[ \t\f]|\\(?:\r\n|\r|\n))+)?def(?:[ \t\f]|\\(?:\r\n|\r|\n))+")
_IDENTIFIER = re.compile(r"\w+")
_BLOCKS = (
    (ast.FunctionDef, ("body",)),
    (ast.AsyncFunctionDef, ("body",)),
    (ast.ClassDef, ("body",)),
    (ast.For, ("body", "orelse")),
    (ast.AsyncFor, ("body", "orelse")),
    (ast.While, ("body", "orelse")),
    (ast.If, ("body", "orelse")),
    (ast.With, ("body",)),
    (ast.AsyncWith, ("body",)),
    (ast.Try, ("body", "handlers", "orelse", "finalbody")),
    (ast.TryStar, ("body", "handlers", "orelse", "finalbody")),
    (ast.ExceptHandler, ("body",)),
    (ast.Match, ("cases",)),
    (ast.match_case, ("body",)),
)
_FUNCTIONS = (ast.FunctionDef, ast.AsyncFunctionDef)


def _nested_lists(node):
    for kind, fields in _BLOCKS:
        if isinstance(node, kind):
            return [getattr(node, f) for f in fields]
    return []


def walk(statements):
    """Every statement in pre-order (handlers and cases count as nodes to pass
    through), without recursion."""
    stack = [iter(statements)]
    while stack:
        node = next(stack[-1], None)
        if node is None:
            stack.pop()
            continue
        yield node
        for nested in reversed(_nested_lists(node)):
            stack.append(iter(nested))


class Text:
    """The source (a str without its byte-order mark) and its lines."""

    def __init__(self, text):
        self.text = text
        self.line_starts = [0] + [m.end() for m in _LINE_BREAK.finditer(text)]
        self._line_bytes = {}

    def offset(self, lineno, col):
        """Character offset of an ast position (1-based line, UTF-8 column)."""
        start = self.line_starts[lineno - 1]
        data = self._line_bytes.get(lineno)
        if data is None:
            end = self.line_starts[lineno] if lineno < len(self.line_starts) else len(self.text)
            data = self._line_bytes[lineno] = self.text[start:end].encode("utf-8", "surrogatepass")
        return start + len(data[:col].decode("utf-8", "surrogatepass"))

    def position(self, offset):
        line = bisect.bisect_right(self.line_starts, offset) - 1
        return line, offset - self.line_starts[line]

    def location(self, start, end):
        return [*self.position(start), *self.position(end)]

    def node_start(self, node):
        return self.offset(node.lineno, node.col_offset)

    def node_end(self, node):
        return self.offset(node.end_lineno, node.end_col_offset)

    def node_location(self, node):
        if node is None:
            return None
        return self.location(self.node_start(node), self.node_end(node))

    def back_over(self, offset, chars):
        while offset > 0 and self.text[offset - 1] in chars:
            offset -= 1
        return offset

    def statement_end(self, node):
        while True:
            lists = [block for block in _nested_lists(node) if block]
            if not lists:
                return self.node_end(node)
            node = lists[-1][-1]

    def statement_start(self, node):
        if isinstance(node, (*_FUNCTIONS, ast.ClassDef)) and node.decorator_list:
            at = self.back_over(self.node_start(node.decorator_list[0]), " \t\f\r\n\\(")
            return at - 1  # the "@"
        return self.node_start(node)


def _parameter(text, arg, stars):
    start = text.node_start(arg)
    if stars:
        start = text.back_over(start, " \t\f\r\n\\") - stars
    return {
        "location": text.location(start, text.node_end(arg)),
        "annotation": text.node_location(arg.annotation),
    }


def _function(text, node):
    header = _DEF_HEADER.match(text.text, text.node_start(node))
    name = _IDENTIFIER.match(text.text, header.end()) if header else None
    name_location = text.location(name.start(), name.end()) if name else None

    a = node.args
    groups = [(p, 0) for p in a.posonlyargs + a.args]
    if a.vararg:
        groups.append((a.vararg, 1))
    groups += [(p, 0) for p in a.kwonlyargs]
    if a.kwarg:
        groups.append((a.kwarg, 2))
    args = {}
    for p, stars in groups:
        args[p.arg] = _parameter(text, p, stars)

    returns = [text.node_location(s) for s in walk(node.body) if isinstance(s, ast.Return)]
    first = next((s for s in node.body if isinstance(s, ast.Return)), None)
    return {
        "name": node.name,
        "name_location": name_location,
        "args_in_order": [p.arg for p, _ in groups],
        "args": args,
        "return_annotation": text.node_location(node.returns),
        "return_statements": returns,
        "body": text.location(text.statement_start(node.body[0]), text.statement_end(node.body[-1])),
        "return_arg": text.node_location(first.value) if first is not None else None,
    }


def extract_functions(source):
    """The function records of one source text (str), or None when CPython
    does not parse it."""
    if source.startswith("\ufeff"):
        source = source[1:]
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            tree = ast.parse(source)
    except (SyntaxError, ValueError):
        return None
    text = Text(source)
    return [_function(text, node) for node in walk(tree.body) if isinstance(node, _FUNCTIONS)]


if __name__ == "__main__":
    import json

    for path in sys.argv[1:]:
        with open(path, encoding="utf-8") as f:
            print(json.dumps({"path": path, "functions": extract_functions(f.read())}))
