#!/usr/bin/env python3
"""Records the probe table's expected results from the real engines.

    app/flavours/probes/record.py BUILD/runners [--probes app/flavours/probes/probes.json]
                                  [--only js,perl] [--timeout-ms 2000] [--korvane BUILD/bin/korvane]

Starts every runner found in the runners folder (each script runner whose interpreter is
installed, the native, RE2, Java and .NET runners when they were built), sends each probe's
pattern, flags and subject, maps the answer to UTF-16 units of the subject and writes it into
the probe's `expect` under the flavour name the runner's hello gives. Flavours that are not run
keep the results already in the file, so a machine with fewer engines never erases a column.

With --korvane, Korvane's own column is recorded too, from the program's --flavours --json (a
subject that a command line cannot carry, one with a lone surrogate or a NUL, is left out of it).

Each expectation is the list of matches (flat arrays: span, then each group, -1,-1 for a group
that did not take part), or "error" (the pattern does not compile, or the engine failed at run
time), "timeout" (the engine's own limit, or no answer within the timeout plus 1.5 s, when the
runner is killed and restarted) or "unrepresentable" (a subject with a lone surrogate, which a
runner that declares surrogates: false is never given).

Probe table format: docs/flavour-runners.md. The table is checked by the flavour client's tests.
"""
import argparse
import json
import os
import select
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))

# The column order of the table; flavours not listed follow in name order.
FLAVOUR_ORDER = ["korvane", "pcre2", "php", "js", "python", "python-regex", "java", "dotnet", "ruby",
                 "perl", "posix-ere", "posix-bre", "cpp-ecmascript", "cpp-basic", "cpp-extended",
                 "cpp-awk", "cpp-grep", "cpp-egrep", "re2", "icu", "boost", "oniguruma", "go"]
NATIVE_FLAVOURS = ["pcre2", "posix-ere", "posix-bre", "cpp-ecmascript", "cpp-basic", "cpp-extended",
                   "cpp-awk", "cpp-grep", "cpp-egrep"]


def python_interpreter():
    # Debian's own python3 carries python3-regex; a pyenv python3 earlier on PATH may not.
    return "/usr/bin/python3" if os.access("/usr/bin/python3", os.X_OK) else shutil.which("python3")


def runner_commands(folder):
    """(flavour, command) for every runner in `folder` whose program or interpreter is there."""
    found = []

    def script(name, flavour, interpreter, *arguments):
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            return
        if not interpreter:
            print("record: %s: interpreter not installed, skipped" % flavour, file=sys.stderr)
            return
        found.append((flavour, [interpreter, path] + list(arguments)))

    script("runner.php", "php", shutil.which("php"))
    script("runner.js", "js", shutil.which("node"))
    script("runner.py", "python", python_interpreter(), "re")
    script("runner.py", "python-regex", python_interpreter(), "regex")
    script("runner.rb", "ruby", shutil.which("ruby"))
    script("runner.pl", "perl", shutil.which("perl"))
    native = os.path.join(folder, "korvane-runner-native")
    if os.access(native, os.X_OK):
        found.extend((f, [native, f]) for f in NATIVE_FLAVOURS)
    for flavour, program in (("re2", "korvane-runner-re2"), ("icu", "korvane-runner-icu"),
                             ("boost", "korvane-runner-boost"), ("oniguruma", "korvane-runner-onig")):
        path = os.path.join(folder, program)
        if os.access(path, os.X_OK):
            found.append((flavour, [path]))
    if os.path.exists(os.path.join(folder, "runner.go")):
        go = shutil.which("go")
        if go:
            found.append(("go", [go, "run", os.path.join(folder, "runner.go")]))
        else:
            print("record: go: not installed, skipped", file=sys.stderr)
    if os.path.exists(os.path.join(folder, "KorvaneRunner.class")):
        java = shutil.which("java")
        if java:
            found.append(("java", [java, "-cp", folder, "KorvaneRunner"]))
        else:
            print("record: java: interpreter not installed, skipped", file=sys.stderr)
    script("KorvaneRunner.exe", "dotnet", shutil.which("mono"))
    return found


class Runner:
    """One runner process, restarted after a kill. Lines are read with a deadline each."""

    def __init__(self, flavour, command):
        self.flavour = flavour
        self.command = command
        self.process = None
        self.buffer = b""
        self.hello = None

    def start(self):
        self.process = subprocess.Popen(self.command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        self.buffer = b""
        line = self.read_line(15.0)
        hello = json.loads(line) if line else None
        if not isinstance(hello, dict) or hello.get("hello") != "korvane-runner":
            self.stop()
            raise RuntimeError("no hello from %s: %r" % (" ".join(self.command), line))
        self.hello = hello

    def stop(self):
        if self.process:
            self.process.kill()
            self.process.wait()
            self.process = None

    def read_line(self, seconds):
        deadline = time.monotonic() + seconds
        fd = self.process.stdout.fileno()
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                return None
            chunk = os.read(fd, 1 << 16)
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode("utf-8")

    def ask(self, request):
        """The answer lines to `request` up to its done line, or None after a kill on a deadline."""
        self.process.stdin.write((json.dumps(request) + "\n").encode("ascii"))
        self.process.stdin.flush()
        answers = []
        while True:
            line = self.read_line(request["timeout_ms"] / 1000.0 + 1.5)
            if line is None:
                self.stop()
                self.start()
                return None
            answer = json.loads(line)
            answers.append(answer)
            if answer.get("done") or "fatal" in answer:
                return answers


def has_lone_surrogate(text):
    for i, c in enumerate(text):
        if 0xD800 <= ord(c) <= 0xDBFF and not (i + 1 < len(text) and 0xDC00 <= ord(text[i + 1]) <= 0xDFFF):
            return True
        if 0xDC00 <= ord(c) <= 0xDFFF and not (i > 0 and 0xD800 <= ord(text[i - 1]) <= 0xDBFF):
            return True
    return False


def utf16_table(subject, unit):
    """offset in `unit` -> UTF-16 offset, for every character boundary of the subject.

    `subject` is a Python str as json gives it: an astral character is one code point, a lone
    surrogate is one code point too (one UTF-16 unit)."""
    table = {0: 0}
    u16 = cp = u8 = 0
    for c in subject:
        o = ord(c)
        cp += 1
        u16 += 2 if o > 0xFFFF else 1
        u8 += 1 if o < 0x80 else 2 if o < 0x800 else 3 if o < 0x10000 else 4
        table[{"utf16": u16, "codepoint": cp, "utf8": u8}[unit]] = u16
    if unit == "utf16":
        # Every unit is a position of its own, inside a surrogate pair too.
        return {i: i for i in range(u16 + 1)}
    return table


def to_utf16(matches, subject, unit):
    table = utf16_table(subject, unit)
    mapped = []
    for match in matches:
        flat = []
        for offset in match:
            if offset == -1:
                flat.append(-1)
            elif offset in table:
                flat.append(table[offset])
            else:
                raise ValueError("offset %d is not on a character boundary in unit %s" % (offset, unit))
        mapped.append(flat)
    return mapped


def record(runner, probe, timeout_ms):
    subject = probe["subject"]
    if has_lone_surrogate(subject) and not runner.hello.get("surrogates"):
        return "unrepresentable"
    request = {"id": 1, "pattern": probe["pattern"], "flags": probe["flags"], "native_flags": "",
               "subjects": [subject], "timeout_ms": timeout_ms, "max_matches": 1000}
    answers = runner.ask(request)
    if answers is None:
        return "timeout"
    first = answers[0]
    if "fatal" in first:
        raise RuntimeError("%s refused probe %s: %s" % (runner.flavour, probe["name"], first["fatal"]))
    if not first.get("compiled"):
        return "error"
    result = answers[1]
    status = result.get("status")
    if status == "ok":
        return to_utf16(result["matches"], subject, runner.hello["unit"])
    if status == "timeout":
        return "timeout"
    return "error"


def record_korvane(program, probe, timeout_ms):
    """Korvane's own answer for the probe, from `korvane --flavours ... --json`; None when the
    subject cannot be given on a command line."""
    subject = probe["subject"]
    if has_lone_surrogate(subject) or "\0" in subject:
        return None
    command = [program, "--flavours", probe["pattern"], "--subject", subject, "--only", "korvane", "--json"]
    if probe["flags"]:
        command[3:3] = ["--flags", probe["flags"]]
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    done = subprocess.run(command, capture_output=True, timeout=timeout_ms / 1000.0 + 30, env=env)
    answer = json.loads(done.stdout.decode("utf-8"))[0]
    status = answer["status"]
    if status == "timeout":
        return "timeout"
    if status == "error":
        return "error"
    matches = []
    for m in answer["matches"]:
        flat = list(m["span"])
        for g in m.get("groups", []):
            flat.extend(g if g is not None else [-1, -1])
        matches.append(flat)
    return matches


def ordered(expect):
    known = [f for f in FLAVOUR_ORDER if f in expect]
    return {f: expect[f] for f in known + sorted(f for f in expect if f not in FLAVOUR_ORDER)}


def write_table(path, probes):
    """One probe per block, one flavour per line: readable in a diff when an engine changes."""
    lines = ["["]
    for i, probe in enumerate(probes):
        head = ", ".join("%s: %s" % (json.dumps(k), json.dumps(probe[k]))
                         for k in ("name", "pattern", "flags", "subject"))
        expect = ordered(probe.get("expect", {}))
        body = ",\n".join("   %s: %s" % (json.dumps(f), json.dumps(v, separators=(",", ":")))
                          for f, v in expect.items())
        lines.append(" {%s, \"expect\": {%s%s%s}}%s" % (head, "\n" if body else "", body,
                                                       "\n  " if body else "", "," if i + 1 < len(probes) else ""))
    lines.append("]")
    with open(path + ".tmp", "w", encoding="ascii") as out:
        out.write("\n".join(lines) + "\n")
    os.replace(path + ".tmp", path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("runners", help="the runners folder of a build (BUILD/runners)")
    parser.add_argument("--probes", default=os.path.join(HERE, "probes.json"))
    parser.add_argument("--only", help="comma-separated flavour names to record")
    parser.add_argument("--timeout-ms", type=int, default=2000)
    parser.add_argument("--korvane", help="the korvane program, to record Korvane's own column")
    args = parser.parse_args()

    with open(args.probes, encoding="utf-8") as f:
        probes = json.load(f)
    only = set(args.only.split(",")) if args.only else None
    recorded = []
    for flavour, command in runner_commands(args.runners):
        if only and flavour not in only:
            continue
        runner = Runner(flavour, command)
        try:
            runner.start()
        except (OSError, RuntimeError, ValueError) as e:
            print("record: %s: skipped (%s)" % (flavour, e), file=sys.stderr)
            continue
        name = runner.hello.get("flavour")
        if name != flavour:
            print("record: %s answers as %r; recorded as %s" % (" ".join(command), name, flavour), file=sys.stderr)
        results = {}
        try:
            for probe in probes:
                results[probe["name"]] = record(runner, probe, args.timeout_ms)
        finally:
            runner.stop()
        for probe in probes:
            probe.setdefault("expect", {})[flavour] = results[probe["name"]]
        recorded.append("%s (%s %s)" % (flavour, runner.hello.get("engine"), runner.hello.get("version")))
    if args.korvane and (not only or "korvane" in only):
        for probe in probes:
            result = record_korvane(args.korvane, probe, args.timeout_ms)
            if result is not None:
                probe.setdefault("expect", {})["korvane"] = result
        recorded.append("korvane")
    write_table(args.probes, probes)
    print("record: %d probes; recorded %s" % (len(probes), ", ".join(recorded) or "nothing"))
    return 0 if recorded else 1


if __name__ == "__main__":
    sys.exit(main())
