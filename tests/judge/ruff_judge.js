#!/usr/bin/env node
// The reference side of the parser corpus test: ruff's own parser, in its
// WebAssembly build, judges each file and gives its tree in the comparable
// form of README.md.
//
// Usage: node ruff_judge.js < paths     (one path per line)
// Prints one JSON object per line and per path, in input order:
//   {"path", "utf8", "valid", "error", "semantic", "tree", "comments"}
// "valid" is false when ruff's parser reports a syntax error ("error" holds
// its text); "semantic" lists the other invalid-syntax diagnostics of
// `check`, which come from ruff's later checks, not from the parser.
'use strict';

const fs = require('fs');
const path = require('path');
const readline = require('readline');
const { Workspace, PositionEncoding } = require(path.join(__dirname, 'node_modules/@astral-sh/ruff-wasm-nodejs'));

// ------------------------------------------------ reader of the debug print

// Reads Rust's pretty `{:#?}` output into plain values:
//   Kind(a, b)      -> {t: 'Kind', args: [a, b]}
//   Kind { f: v }   -> {t: 'Kind', f: {f: v}}
//   [a, b]          -> [a, b]
//   "text"          -> {str: 'text'}
//   anything else   -> the token as a JS string (true, None, 0..12, Load, 1.5)
function readDebug(s) {
  let i = 0;
  const n = s.length;
  const isDelim = (c) => c === '(' || c === ')' || c === '{' || c === '}' || c === '[' || c === ']' ||
    c === ',' || c === ':' || c === '"' || c === ' ' || c === '\n' || c === '\t' || c === '\r';

  function fail(what) {
    throw new Error(`debug print: ${what} at offset ${i}: ${JSON.stringify(s.slice(i, i + 40))}`);
  }
  function ws() {
    while (i < n) {
      const c = s.charCodeAt(i);
      if (c === 32 || c === 10 || c === 13 || c === 9) i++;
      else break;
    }
  }
  function expect(c) {
    ws();
    if (s[i] !== c) fail(`expected ${c}`);
    i++;
  }
  function quoted(q) {
    i++;
    let out = '';
    let start = i;
    while (i < n && s[i] !== q) {
      if (s[i] !== '\\') {
        i++;
        continue;
      }
      out += s.slice(start, i);
      const e = s[i + 1];
      i += 2;
      switch (e) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case "'": out += "'"; break;
        case 'u': {
          if (s[i] !== '{') fail('bad \\u escape');
          const close = s.indexOf('}', i);
          out += String.fromCodePoint(parseInt(s.slice(i + 1, close), 16));
          i = close + 1;
          break;
        }
        default: fail(`unknown escape \\${e}`);
      }
      start = i;
    }
    if (i >= n) fail('unterminated string');
    out += s.slice(start, i);
    i++;
    return out;
  }
  function seq(close) {
    const items = [];
    for (;;) {
      ws();
      if (s[i] === close) { i++; return items; }
      items.push(value());
      ws();
      if (s[i] === ',') i++;
      else if (s[i] !== close) fail(`expected , or ${close}`);
    }
  }
  function fields() {
    const f = {};
    for (;;) {
      ws();
      if (s[i] === '}') { i++; return f; }
      let j = i;
      while (j < n && !isDelim(s[j])) j++;
      const name = s.slice(i, j);
      if (!name) fail('expected a field name');
      i = j;
      expect(':');
      f[name] = value();
      ws();
      if (s[i] === ',') i++;
      else if (s[i] !== '}') fail('expected , or }');
    }
  }
  function value() {
    ws();
    const c = s[i];
    if (c === '"') return { str: quoted('"') };
    if (c === "'") return { str: quoted("'") };
    if (c === '[') { i++; return seq(']'); }
    if (c === '(') { i++; return { t: '', args: seq(')') }; }
    let j = i;
    while (j < n && !isDelim(s[j])) j++;
    if (j === i) fail('expected a value');
    const atom = s.slice(i, j);
    i = j;
    if (s[i] === '(') { i++; return { t: atom, args: seq(')') }; }
    const save = i;
    ws();
    if (s[i] === '{') { i++; return { t: atom, f: fields() }; }
    i = save;
    return atom;
  }

  const v = value();
  ws();
  if (i !== n) fail('trailing text');
  return v;
}

// ------------------------------------------------------ the comparable form

function range(text) {
  const m = /^(\d+)\.\.(\d+)$/.exec(text);
  if (!m) throw new Error(`not a range: ${text}`);
  return [Number(m[1]), Number(m[2])];
}
// The struct inside a one-field tuple variant such as FunctionDef(StmtFunctionDef {..}).
const inner = (v) => v.args[0].f;
const some = (v) => (v === 'None' ? null : v.args[0]);
const flag = (v) => v === 'true';
const ident = (v) => ({ id: v.f.id.args[0].str, range: range(v.f.range) });
const optIdent = (v) => (v === 'None' ? null : ident(some(v)));

function expr(v) {
  const f = inner(v);
  const out = { kind: v.t, range: range(f.range) };
  switch (v.t) {
    case 'Name':
      out.id = f.id.args[0].str;
      break;
    case 'Call':
      out.func = expr(f.func);
      out.keywords = f.arguments.f.keywords.map((k) => ({
        range: range(k.f.range),
        arg: optIdent(k.f.arg),
        value: expr(k.f.value),
      }));
      break;
    case 'Dict':
      out.items = f.items.map((item) => ({ key: optExpr(item.f.key), value: expr(item.f.value) }));
      break;
    case 'StringLiteral': {
      const value = f.value.f.inner;
      out.implicit_concatenated = value.t === 'Concatenated';
      out.value = value.args[0].f.value.str;
      break;
    }
    default:
      break;
  }
  return out;
}
const optExpr = (v) => (v === 'None' ? null : expr(some(v)));

const decorator = (d) => ({ range: range(d.f.range), expression: expr(d.f.expression) });

function parameters(p) {
  const out = [];
  const withDefault = (kind) => (pd) => out.push(parameter(kind, pd.f.parameter));
  p.f.posonlyargs.forEach(withDefault('PositionalOnly'));
  p.f.args.forEach(withDefault('Regular'));
  if (p.f.vararg !== 'None') out.push(parameter('Vararg', some(p.f.vararg)));
  p.f.kwonlyargs.forEach(withDefault('KeywordOnly'));
  if (p.f.kwarg !== 'None') out.push(parameter('Kwarg', some(p.f.kwarg)));
  return out;
}
function parameter(kind, p) {
  return { kind, name: ident(p.f.name), range: range(p.f.range), annotation: optExpr(p.f.annotation) };
}

const body = (list) => list.map(stmt);

function stmt(v) {
  const f = inner(v);
  const out = { kind: v.t, range: range(f.range) };
  switch (v.t) {
    case 'FunctionDef':
      out.is_async = flag(f.is_async);
      out.name = ident(f.name);
      out.decorators = f.decorator_list.map(decorator);
      out.parameters_range = range(f.parameters.f.range);
      out.parameters = parameters(f.parameters);
      out.returns = optExpr(f.returns);
      out.body = body(f.body);
      break;
    case 'ClassDef':
      out.name = ident(f.name);
      out.decorators = f.decorator_list.map(decorator);
      out.body = body(f.body);
      break;
    case 'Return':
      out.value = optExpr(f.value);
      break;
    case 'If':
      out.body = body(f.body);
      out.clauses = f.elif_else_clauses.map((c) => ({
        range: range(c.f.range),
        test: optExpr(c.f.test),
        body: body(c.f.body),
      }));
      break;
    case 'For':
      out.is_async = flag(f.is_async);
      out.body = body(f.body);
      out.orelse = body(f.orelse);
      break;
    case 'While':
      out.body = body(f.body);
      out.orelse = body(f.orelse);
      break;
    case 'With':
      out.is_async = flag(f.is_async);
      out.body = body(f.body);
      break;
    case 'Match':
      out.cases = f.cases.map((c) => ({ range: range(c.f.range), body: body(c.f.body) }));
      break;
    case 'Try':
      out.is_star = flag(f.is_star);
      out.body = body(f.body);
      out.handlers = f.handlers.map((h) => ({ range: range(inner(h).range), body: body(inner(h).body) }));
      out.orelse = body(f.orelse);
      out.finalbody = body(f.finalbody);
      break;
    case 'Assign':
      out.targets = f.targets.map(expr);
      out.value = expr(f.value);
      break;
    case 'AnnAssign':
      out.target = expr(f.target);
      out.annotation = expr(f.annotation);
      out.value = optExpr(f.value);
      break;
    case 'ImportFrom':
      out.module = optIdent(f.module);
      out.level = Number(f.level);
      out.names = f.names.map((a) => ({
        range: range(a.f.range),
        name: ident(a.f.name),
        asname: optIdent(a.f.asname),
      }));
      break;
    default:
      break;
  }
  return out;
}

function comments(tokens) {
  const out = [];
  const re = /^\s*Comment (\d+)\.\.(\d+),$/gm;
  for (let m; (m = re.exec(tokens)) !== null;) out.push([Number(m[1]), Number(m[2])]);
  return out;
}

// ------------------------------------------------------------------ driver

const workspace = new Workspace({ lint: { select: [] } }, PositionEncoding.Utf8);
// ignoreBOM keeps a leading byte-order mark in the text, as ruff and we see it.
const decoder = new TextDecoder('utf-8', { fatal: true, ignoreBOM: true });

function judge(file) {
  const out = { path: file, utf8: true, valid: false, error: null, semantic: [], tree: null, comments: null };
  let text;
  try {
    text = decoder.decode(fs.readFileSync(file));
  } catch (e) {
    if (e instanceof TypeError) { out.utf8 = false; return out; }
    throw e;
  }
  const diagnostics = workspace.check(text).filter((d) => d.code === 'invalid-syntax');
  if (diagnostics.length) {
    // `check` mixes the parser's errors with later semantic checks; the
    // formatter refuses exactly the texts that the parser rejects.
    try {
      workspace.format(text);
    } catch (e) {
      out.error = String(e.message ?? e);
      return out;
    }
    out.semantic = diagnostics.map((d) => d.message);
  }
  out.valid = true;
  const module = readDebug(workspace.parse(text));
  out.tree = { body: body(inner(module).body) };
  out.comments = comments(workspace.tokens(text));
  return out;
}

async function main() {
  const lines = readline.createInterface({ input: process.stdin, crlfDelay: Infinity });
  for await (const file of lines) {
    if (!file) continue;
    let result;
    try {
      result = judge(file);
    } catch (e) {
      result = { path: file, failure: String(e.stack ?? e) };
    }
    process.stdout.write(JSON.stringify(result) + '\n');
  }
}

main();
