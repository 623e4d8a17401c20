#!/usr/bin/env node
// The reference side of the parser judges: ruff's own parser, in its
// WebAssembly build, judges each text and gives its tree in the comparable
// form of README.md.
//
// Usage:
//   node ruff_judge.js < paths          one path per line
//   node ruff_judge.js --json < requests
//       one JSON object per line: {"path": P} or {"text": T}, and "tree": false
//       to ask for the verdict alone (no tree, no comments)
// Prints one JSON object per line and per request, in input order:
//   {"path", "utf8", "valid", "error", "tree", "comments"}
// ("path" only for a path). "valid" is false when ruff's parser reports a
// syntax error; "error" then holds its text. A request that the reference
// cannot answer (it panicked, or the file is unreadable) gives
// {"path", "failure"}; the judge starts a fresh instance and goes on.
'use strict';

const { once } = require('events');
const fs = require('fs');
const path = require('path');
const readline = require('readline');
const { Worker, isMainThread, parentPort } = require('worker_threads');

const PACKAGE = path.join(__dirname, 'node_modules/@astral-sh/ruff-wasm-nodejs');

// ------------------------------------------------ reader of the debug print

// The fields of each struct that the comparable form needs; a struct missing
// here keeps its range alone. Every other field is skipped without being
// read, which is most of the print: ruff's `{:#?}` spells out every node.
const KEEP = (() => {
  const table = {
    ModModule: 'body',
    StmtFunctionDef: 'range is_async name decorator_list parameters returns body',
    StmtClassDef: 'range name decorator_list body',
    StmtReturn: 'range value',
    StmtIf: 'range body elif_else_clauses',
    ElifElseClause: 'range test body',
    StmtFor: 'range is_async body orelse',
    StmtWhile: 'range body orelse',
    StmtWith: 'range is_async body',
    StmtMatch: 'range cases',
    MatchCase: 'range body',
    StmtTry: 'range is_star body handlers orelse finalbody',
    ExceptHandlerExceptHandler: 'range body',
    StmtAssign: 'range targets value',
    StmtAnnAssign: 'range target annotation value',
    StmtImportFrom: 'range module level names',
    Alias: 'range name asname',
    Identifier: 'id range',
    Decorator: 'range expression',
    Parameters: 'range posonlyargs args vararg kwonlyargs kwarg',
    ParameterWithDefault: 'parameter',
    Parameter: 'range name annotation',
    ExprName: 'range id',
    ExprCall: 'range func arguments',
    Arguments: 'keywords',
    Keyword: 'range arg value',
    ExprDict: 'range items',
    DictItem: 'key value',
    ExprStringLiteral: 'range value',
    StringLiteralValue: 'inner',
    ConcatenatedStringLiteral: 'value',
    StringLiteral: 'value',
  };
  const out = new Map();
  for (const [name, fields] of Object.entries(table)) out.set(name, new Set(fields.split(' ')));
  return out;
})();
const RANGE_ONLY = new Set(['range']);

// Reads Rust's pretty `{:#?}` output, as UTF-8 bytes, into plain values:
//   Kind(a, b)      -> {t: 'Kind', args: [a, b]}
//   Kind { f: v }   -> {t: 'Kind', f: {f: v}}   (the fields in KEEP only)
//   [a, b]          -> [a, b]
//   "text"          -> {str: 'text'}
//   anything else   -> the token as a JS string (true, None, 0..12, Load, 1.5)
// The pretty print puts every field on a line of its own, ending in ",", and
// closes a value that spans lines on a line of the field's own indentation:
// a skipped field is found by looking for that line, never read through.
// Working on the bytes spares turning the whole print into a JS string; only
// what is kept is decoded.
const DELIMITER = new Uint8Array(256);
for (const c of '(){}[],:" \n\t\r') DELIMITER[c.charCodeAt(0)] = 1;
const closeNeedles = new Map();

function readDebug(b) {
  let i = 0;
  const n = b.length;

  function fail(what) {
    throw new Error(`debug print: ${what} at offset ${i}: ${JSON.stringify(b.toString('utf8', i, i + 40))}`);
  }
  function ws() {
    while (i < n) {
      const c = b[i];
      if (c === 32 || c === 10 || c === 13 || c === 9) i++;
      else break;
    }
  }
  function quoted(q) {
    i++;
    let out = '';
    let start = i;
    while (i < n && b[i] !== q) {
      if (b[i] !== 92) {
        i++;
        continue;
      }
      out += b.toString('utf8', start, i);
      const e = String.fromCharCode(b[i + 1]);
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
          if (b[i] !== 123) fail('bad \\u escape');
          const close = b.indexOf(125, i);
          out += String.fromCodePoint(parseInt(b.toString('latin1', i + 1, close), 16));
          i = close + 1;
          break;
        }
        default: fail(`unknown escape \\${e}`);
      }
      start = i;
    }
    if (i >= n) fail('unterminated string');
    out += b.toString('utf8', start, i);
    i++;
    return out;
  }
  function seq(close) {
    const items = [];
    for (;;) {
      ws();
      if (b[i] === close) { i++; return items; }
      items.push(value());
      ws();
      if (b[i] === 44) i++;
      else if (b[i] !== close) fail(`expected , or ${String.fromCharCode(close)}`);
    }
  }
  // Skips the value of the field whose name ends before `i`.
  function skip() {
    let eol = b.indexOf(10, i);
    if (eol < 0) eol = n;
    const last = b[eol - 1];
    if (last === 44) {
      i = eol;
      return;
    }
    const kind = last === 123 ? 0 : last === 40 ? 1 : last === 91 ? 2 : -1;
    if (kind < 0) fail('a field that neither ends its line nor opens a value');
    const lineStart = b.lastIndexOf(10, i) + 1;
    let indent = lineStart;
    while (b[indent] === 32) indent++;
    const key = (indent - lineStart) * 4 + kind;
    let needle = closeNeedles.get(key);
    if (needle === undefined) {
      needle = Buffer.from('\n' + ' '.repeat(indent - lineStart) + '})]'[kind], 'latin1');
      closeNeedles.set(key, needle);
    }
    const at = b.indexOf(needle, eol);
    if (at < 0) fail('a value that is never closed');
    i = at + needle.length;
    if (b[i] === 44) i++;
  }
  function fields(keep) {
    const f = {};
    for (;;) {
      ws();
      if (b[i] === 125) { i++; return f; }
      const colon = b.indexOf(58, i);
      if (colon < 0) fail('expected a field name');
      const name = b.toString('latin1', i, colon);
      i = colon + 1;
      if (!keep.has(name)) {
        skip();
        continue;
      }
      f[name] = value();
      ws();
      if (b[i] === 44) i++;
      else if (b[i] !== 125) fail('expected , or }');
    }
  }
  function value() {
    ws();
    const c = b[i];
    if (c === 34 || c === 39) return { str: quoted(c) };
    if (c === 91) { i++; return seq(93); }
    if (c === 40) { i++; return { t: '', args: seq(41) }; }
    let j = i;
    while (j < n && !DELIMITER[b[j]]) j++;
    if (j === i) fail('expected a value');
    const atom = b.toString('latin1', i, j);
    i = j;
    if (b[i] === 40) { i++; return { t: atom, args: seq(41) }; }
    const save = i;
    ws();
    if (b[i] === 123) { i++; return { t: atom, f: fields(KEEP.get(atom) ?? RANGE_ONLY) }; }
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

// The comment tokens of ruff's token print ("    Comment 12..20," lines).
const COMMENT = Buffer.from('Comment ', 'latin1');
function comments(b) {
  const out = [];
  for (let at = b.indexOf(COMMENT); at >= 0; at = b.indexOf(COMMENT, at + COMMENT.length)) {
    let k = at - 1;
    while (k >= 0 && b[k] === 32) k--;
    if (k >= 0 && b[k] !== 10) continue;
    const eol = b.indexOf(10, at);
    const m = /^Comment (\d+)\.\.(\d+),$/.exec(b.toString('latin1', at, eol < 0 ? b.length : eol));
    if (m) out.push([Number(m[1]), Number(m[2])]);
  }
  return out;
}

// ------------------------------------------------------------------ the judge

let workspace = null;
let lastPanic = '';

// A panic leaves the WebAssembly instance in an unknown state; the next
// request gets a fresh one, loaded anew. The old one is let go without its
// finaliser, which would call into the broken instance.
function freshWorkspace() {
  if (workspace !== null) workspace.__destroy_into_raw();
  workspace = null;
  for (const key of Object.keys(require.cache)) {
    if (key.startsWith(PACKAGE)) delete require.cache[key];
  }
  const strict = globalThis.TextDecoder;
  globalThis.TextDecoder = CapturingDecoder;
  try {
    const { Workspace, PositionEncoding } = require(PACKAGE);
    workspace = new Workspace({ lint: { select: [] } }, PositionEncoding.Utf8);
  } finally {
    globalThis.TextDecoder = strict;
  }
}

// The package turns every string it returns into a JS string with a strict
// TextDecoder, which for a debug print (some 70 bytes per source byte) takes
// longer than reading it. While `printed` runs, the decoder hands the bytes,
// still in the instance's memory, to the reader instead: the strings are Rust
// strings, valid UTF-8 by construction, and nothing runs in the instance
// while they are read.
let reader = null;
let read = null;
class CapturingDecoder extends TextDecoder {
  decode(view, options) {
    if (reader !== null && view !== undefined) {
      const use = reader;
      reader = null;
      read = { value: use(Buffer.from(view.buffer, view.byteOffset, view.byteLength)) };
      return '';
    }
    return super.decode(view, options);
  }
}

// What `use` makes of the string that `call` returns.
function printed(call, use) {
  reader = use;
  read = null;
  try {
    call();
  } finally {
    reader = null;
  }
  const result = read;
  read = null;
  if (result === null) throw new Error('the print did not come through the decoder');
  return result.value;
}

// Rust's panic hook reports through console.error just before the trap.
console.error = (...args) => { lastPanic = args.map(String).join(' ').split('\n')[0]; };

const PARSE_ERROR = / at byte range \d+\.\.\d+$/;
const panicked = (e) => e instanceof WebAssembly.RuntimeError || e instanceof RangeError;

// null when ruff's parser accepts the text, else its first error. The
// formatter refuses exactly the texts that hold a parser error and names it;
// `check` would mix in ruff's later semantic checks. The formatter formats
// only what parsed, so when it panics (its recursion gives out before the
// parser's, e.g. on calls nested 1000 deep) the text is valid, unless the
// parse itself gave out: `check`, which parses too, panics as well then.
// Should the formatter fail for a reason of its own, `check` settles it: it
// reports every parser error as "invalid-syntax".
function parserError(text) {
  let message;
  try {
    workspace.format(text);
    return null;
  } catch (e) {
    if (!panicked(e)) {
      message = String(e.message ?? e);
    } else {
      freshWorkspace();
      workspace.check(text);
      return null;
    }
  }
  if (PARSE_ERROR.test(message)) return message;
  const syntax = workspace.check(text).filter((d) => d.code === 'invalid-syntax');
  return syntax.length ? message : null;
}

function judgeText(text, out, wantTree) {
  const error = parserError(text);
  out.valid = error === null;
  out.error = error;
  if (out.valid && wantTree) {
    out.tree = printed(() => workspace.parse(text), (bytes) => ({ body: body(inner(readDebug(bytes)).body) }));
    out.comments = printed(() => workspace.tokens(text), comments);
  }
  return out;
}

// ignoreBOM keeps a leading byte-order mark in the text, as ruff and we see it.
const decoder = new TextDecoder('utf-8', { fatal: true, ignoreBOM: true });

function judge(request) {
  const out = {};
  let text = request.text;
  if (request.path !== undefined) {
    out.path = request.path;
    out.utf8 = true;
    try {
      text = decoder.decode(fs.readFileSync(request.path));
    } catch (e) {
      if (!(e instanceof TypeError)) return { path: request.path, failure: String(e.message ?? e) };
      out.utf8 = false;
      out.valid = false;
      out.error = null;
      return out;
    }
  }
  out.tree = null;
  out.comments = null;
  try {
    return judgeText(text, out, request.tree !== false);
  } catch (e) {
    const failure = { failure: `${panicked(e) ? 'ruff panicked' : 'judge failed'}: ${lastPanic || e.message || e}` };
    if (request.path !== undefined) failure.path = request.path;
    lastPanic = '';
    freshWorkspace();
    return failure;
  }
}

// The requests are read on the main thread and judged on a worker thread
// with a large stack: reading and projecting a tree that is nested 1000 deep
// recurses further than node's default stack allows, and so may ruff itself.
const STACK_MB = 256;

async function main() {
  const worker = new Worker(__filename, { argv: process.argv.slice(2), resourceLimits: { stackSizeMb: STACK_MB } });
  worker.on('error', (e) => {
    process.stderr.write(`ruff_judge: ${e.stack ?? e}\n`);
    process.exit(1);
  });
  const lines = readline.createInterface({ input: process.stdin, crlfDelay: Infinity });
  for await (const line of lines) {
    if (!line) continue;
    worker.postMessage(line);
    const [answer] = await once(worker, 'message');
    process.stdout.write(answer + '\n');
  }
  await worker.terminate();
}

function serve() {
  const json = process.argv.includes('--json');
  freshWorkspace();
  parentPort.on('message', (line) => {
    let result;
    try {
      result = judge(json ? JSON.parse(line) : { path: line });
    } catch (e) {
      result = { failure: `bad request: ${e.message ?? e}` };
    }
    parentPort.postMessage(JSON.stringify(result));
  });
}

if (isMainThread) main();
else serve();
