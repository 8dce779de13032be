#!/usr/bin/env node
// Korvane's JavaScript runner: V8's own RegExp, driven over JSON lines on stdin/stdout
// (docs/flavour-runners.md). Offsets are UTF-16 code units, as V8 counts them.
// The find-all of every subject runs inside one vm context with the vm timeout, so a
// catastrophic pattern is stopped by V8 itself; the client's watchdog stays behind it.
// Covered by app/flavours/runners/tests (runner_protocol_test.cpp).
'use strict';

const readline = require('readline');
const vm = require('vm');

// Pipes are written synchronously on Linux, so each line is out before the next match starts:
// the client's watchdog can tell which subject hung.
function send(object) {
  process.stdout.write(JSON.stringify(object) + '\n');
}

send({
  hello: 'korvane-runner', protocol: 1, flavour: 'js', engine: 'V8 (Node.js)',
  version: `${process.versions.v8} (node ${process.version})`, unit: 'utf16', surrogates: true,
});

// Korvane's generic letters; x has no JavaScript equivalent.
const kGenericFlags = { i: 'i', m: 'm', s: 's' };
const kNativeFlags = 'dgimsuvy';

// The one context every find-all runs in. The RegExp and subject are handed in through its
// globals; the script reads them and leaves the flat match list in `result`.
const context = vm.createContext({});
const findAll = new vm.Script(`
  (function () {
    const out = [];
    let truncated = false;
    for (const m of subject.matchAll(re)) {
      if (out.length === maxMatches) { truncated = true; break; }
      const flat = [m.index, m.index + m[0].length];
      for (let g = 1; g <= groups; ++g) {
        const span = m.indices[g];
        if (span === undefined) flat.push(-1, -1); else flat.push(span[0], span[1]);
      }
      out.push(flat);
    }
    return { matches: out, truncated };
  })()`);

// The names of the named groups with their numbers, read from the pattern text: V8 gives the
// names of a match's groups but not their numbers. A group opens at "(" not followed by "?",
// or at "(?<name>"; escapes are skipped, and so are classes (nested ones with v).
function namedGroups(source, vMode) {
  const names = [];
  let number = 0;
  let classDepth = 0;
  for (let i = 0; i < source.length; ++i) {
    const c = source[i];
    if (c === '\\') { ++i; continue; }
    if (classDepth > 0) {
      if (c === ']') --classDepth;
      else if (c === '[' && vMode) ++classDepth;
      continue;
    }
    if (c === '[') { classDepth = 1; continue; }
    if (c !== '(') continue;
    if (source[i + 1] !== '?') { ++number; continue; }
    if (source[i + 2] === '<' && source[i + 3] !== '=' && source[i + 3] !== '!') {
      ++number;
      const close = source.indexOf('>', i + 3);
      if (close > 0) names.push([source.slice(i + 3, close), number]);
    }
  }
  return names;
}

function compile(request) {
  let letters = '';
  for (const f of request.flags) {
    if (!(f in kGenericFlags)) throw new Error(`JavaScript has no ${f} flag`);
    letters += kGenericFlags[f];
  }
  for (const f of request.native_flags) {
    if (!kNativeFlags.includes(f)) throw new Error(`JavaScript has no ${f} flag`);
    letters += f;
  }
  // g drives matchAll and d gives group spans; neither changes what matches.
  letters += 'gd';
  const unique = [...new Set(letters)].join('');
  const re = new RegExp(request.pattern, unique);
  // The group count: an empty first alternative always matches, and the match array has one
  // slot per group of the pattern.
  const groups = new RegExp(`|(?:${request.pattern})`, unique.replace(/[gy]/g, '')).exec('').length - 1;
  return { re, groups, names: namedGroups(request.pattern, unique.includes('v')) };
}

function checkRequest(request) {
  if (request === null || typeof request !== 'object' || Array.isArray(request))
    return 'not a JSON object';
  if (typeof request.pattern !== 'string') return 'pattern must be a string';
  if (!Array.isArray(request.subjects)) return 'subjects must be an array';
  for (const s of request.subjects)
    if (s !== null && typeof s !== 'string') return 'each subject must be a string or null';
  for (const key of ['flags', 'native_flags'])
    if (key in request && typeof request[key] !== 'string') return `${key} must be a string`;
  for (const key of ['timeout_ms', 'max_matches'])
    if (key in request && (typeof request[key] !== 'number' || !(request[key] >= 0)))
      return `${key} must be a number of at least 0`;
  return null;
}

function serve(line) {
  if (line.trim() === '') return;
  let request;
  try {
    request = JSON.parse(line);
  } catch (e) {
    send({ id: null, fatal: `bad request: ${e.message}` });
    return;
  }
  const problem = checkRequest(request);
  const id = request !== null && typeof request === 'object' && 'id' in request ? request.id : null;
  if (problem) {
    send({ id, fatal: `bad request: ${problem}` });
    return;
  }
  request.flags = request.flags || '';
  request.native_flags = request.native_flags || '';
  const timeoutMs = Math.max(1, Math.floor(request.timeout_ms ?? 1000));
  const maxMatches = Math.floor(request.max_matches ?? 10000);

  let compiled;
  try {
    compiled = compile(request);
  } catch (e) {
    // V8 quotes the pattern with the flags it was given; show the user's, not the g and d added.
    const message = String(e && e.message || e).replace(/^(Invalid regular expression: \/[^]*\/)[a-z]*:/,
      (_, head) => `${head}${request.flags.replace('x', '')}${request.native_flags}:`);
    send({ id, compiled: false, error: message, offset: -1 });
    send({ id, done: true });
    return;
  }
  send({ id, compiled: true, groups: compiled.groups, names: compiled.names });
  request.subjects.forEach((subject, index) => {
    if (subject === null) {
      send({ id, subject: index, status: 'skipped' });
      return;
    }
    context.re = compiled.re;
    context.re.lastIndex = 0;
    context.subject = subject;
    context.groups = compiled.groups;
    context.maxMatches = maxMatches;
    try {
      const r = findAll.runInContext(context, { timeout: timeoutMs });
      send({ id, subject: index, status: 'ok', matches: r.matches, truncated: r.truncated });
    } catch (e) {
      if (e && e.code === 'ERR_SCRIPT_EXECUTION_TIMEOUT')
        send({ id, subject: index, status: 'timeout' });
      else
        send({ id, subject: index, status: 'error', error: String(e && e.message || e) });
    } finally {
      context.subject = '';
    }
  });
  send({ id, done: true });
}

const input = readline.createInterface({ input: process.stdin, crlfDelay: Infinity, terminal: false });
input.on('line', (line) => {
  try {
    serve(line);
  } catch (e) {
    // A fault in the runner itself must not end it: say so and keep reading.
    process.stderr.write(`runner.js: ${e && e.stack || e}\n`);
    send({ id: null, fatal: `runner fault: ${e && e.message || e}` });
  }
});
input.on('close', () => process.exit(0));
