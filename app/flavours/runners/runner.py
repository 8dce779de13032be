#!/usr/bin/env python3
"""Korvane's Python runner: the `re` module, or the third-party `regex` module, driven over JSON
lines on stdin/stdout (docs/flavour-runners.md).

    python3 runner.py re       CPython's own engine (no time limit: the client's watchdog kills it)
    python3 runner.py regex    the regex module, bounded by its timeout= argument

Offsets are code points of the subject, as Python counts a str; a lone surrogate is one code
point, so such a subject is served exactly. Covered by app/flavours/runners/tests.
"""
import json
import sys

MODULE = sys.argv[1] if len(sys.argv) > 1 else "re"


def send(obj):
    # ensure_ascii keeps the line ASCII and writes a lone surrogate as its escape.
    sys.stdout.write(json.dumps(obj, separators=(",", ":")) + "\n")
    sys.stdout.flush()


if MODULE == "re":
    import re as engine

    ENGINE_NAME = "CPython re"
    VERSION = sys.version.split()[0]
    FLAVOUR = "python"
    NATIVE = {"a": engine.ASCII, "u": engine.UNICODE, "L": engine.LOCALE}
elif MODULE == "regex":
    try:
        import regex as engine
    except ImportError as e:
        # The hello never comes: the client reports the flavour as not installed.
        sys.stderr.write("runner.py: the regex module is not installed for %s (%s)\n" % (sys.executable, e))
        sys.exit(3)
    try:
        from importlib import metadata

        package = metadata.version("regex")
    except Exception:
        package = engine.__version__
    ENGINE_NAME = "mrab-regex"
    VERSION = "%s (Python %s)" % (package, sys.version.split()[0])
    FLAVOUR = "python-regex"
    NATIVE = {"a": engine.ASCII, "u": engine.UNICODE, "L": engine.LOCALE, "b": engine.BESTMATCH,
              "e": engine.ENHANCEMATCH, "f": engine.FULLCASE, "p": engine.POSIX,
              "r": engine.REVERSE, "w": engine.WORD, "0": engine.VERSION0, "1": engine.VERSION1}
else:
    sys.stderr.write("usage: runner.py re|regex\n")
    sys.exit(2)

GENERIC = {"i": engine.IGNORECASE, "m": engine.MULTILINE, "s": engine.DOTALL, "x": engine.VERBOSE}


class BadRequest(Exception):
    pass


def utf16_offset(text, codepoints):
    """The UTF-16 position of code point `codepoints` of `text` (astral characters take two)."""
    return codepoints + sum(1 for c in text[:codepoints] if ord(c) > 0xFFFF)


def compile_pattern(request):
    options = 0
    for letter in request["flags"]:
        if letter not in GENERIC:
            raise engine.error("Python has no %s flag" % letter)
        options |= GENERIC[letter]
    for letter in request["native_flags"]:
        # The regex module's V0/V1 are written as the letter V and a digit; the V itself adds nothing.
        if letter == "V" and MODULE == "regex":
            continue
        if letter not in NATIVE:
            raise engine.error("%s has no %s flag" % (ENGINE_NAME, letter))
        options |= NATIVE[letter]
    return engine.compile(request["pattern"], options)


def check_request(request):
    if not isinstance(request, dict):
        raise BadRequest("not a JSON object")
    if not isinstance(request.get("pattern"), str):
        raise BadRequest("pattern must be a string")
    subjects = request.get("subjects")
    if not isinstance(subjects, list) or any(s is not None and not isinstance(s, str) for s in subjects):
        raise BadRequest("subjects must be an array of strings or nulls")
    for key in ("flags", "native_flags"):
        request.setdefault(key, "")
        if not isinstance(request[key], str):
            raise BadRequest("%s must be a string" % key)
    for key, default in (("timeout_ms", 1000), ("max_matches", 10000)):
        request.setdefault(key, default)
        value = request[key]
        if isinstance(value, bool) or not isinstance(value, (int, float)) or not value >= 0:
            raise BadRequest("%s must be a number of at least 0" % key)


def find_all(compiled, subject, timeout_ms, max_matches):
    if MODULE == "regex":
        iterator = compiled.finditer(subject, timeout=max(timeout_ms, 1) / 1000.0)
    else:
        iterator = compiled.finditer(subject)
    matches = []
    for m in iterator:
        if len(matches) == max_matches:
            return matches, True
        flat = list(m.span())
        for g in range(1, compiled.groups + 1):
            flat.extend(m.span(g))
        matches.append(flat)
    return matches, False


def serve(line):
    try:
        request = json.loads(line)
    except ValueError as e:
        send({"id": None, "fatal": "bad request: %s" % e})
        return
    rid = request.get("id") if isinstance(request, dict) else None
    try:
        check_request(request)
    except BadRequest as e:
        send({"id": rid, "fatal": "bad request: %s" % e})
        return
    try:
        compiled = compile_pattern(request)
    except (engine.error, ValueError, TypeError, OverflowError, RecursionError) as e:
        pos = getattr(e, "pos", None)
        offset = utf16_offset(request["pattern"], pos) if isinstance(pos, int) else -1
        send({"id": rid, "compiled": False, "error": getattr(e, "msg", None) or str(e), "offset": offset})
        send({"id": rid, "done": True})
        return
    names = sorted(([name, number] for name, number in compiled.groupindex.items()), key=lambda n: n[1])
    send({"id": rid, "compiled": True, "groups": compiled.groups, "names": names})
    for index, subject in enumerate(request["subjects"]):
        if subject is None:
            send({"id": rid, "subject": index, "status": "skipped"})
            continue
        try:
            matches, truncated = find_all(compiled, subject, request["timeout_ms"], int(request["max_matches"]))
            send({"id": rid, "subject": index, "status": "ok", "matches": matches, "truncated": truncated})
        except TimeoutError:
            send({"id": rid, "subject": index, "status": "timeout"})
        except (RecursionError, MemoryError, engine.error, ValueError, OverflowError) as e:
            send({"id": rid, "subject": index, "status": "error", "error": str(e) or type(e).__name__})
    send({"id": rid, "done": True})


def main():
    send({"hello": "korvane-runner", "protocol": 1, "flavour": FLAVOUR, "engine": ENGINE_NAME,
          "version": VERSION, "unit": "codepoint", "surrogates": True})
    # Bytes in, so that a line that is not UTF-8 is a bad request rather than the end of the runner.
    for raw in sys.stdin.buffer:
        try:
            line = raw.decode("utf-8")
        except UnicodeDecodeError as e:
            send({"id": None, "fatal": "bad request: not UTF-8 (%s)" % e})
            continue
        if not line.strip():
            continue
        try:
            serve(line)
        except Exception as e:  # a fault in the runner itself: say so and keep reading
            sys.stderr.write("runner.py: %r\n" % (e,))
            send({"id": None, "fatal": "runner fault: %s" % e})
    return 0


if __name__ == "__main__":
    sys.exit(main())
