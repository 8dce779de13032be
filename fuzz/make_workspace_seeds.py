#!/usr/bin/env python3
"""Writes the seeds of workspace_fuzz that carry test cases (fuzz/corpus/workspace_fuzz/tests_*).

The layout is the one app/document/files/workspace_file.h describes (version 3): the fields of the
workspace, the snapshot records, the shared texts, the workspace's tests and the snapshots'
test sets. Run it from anywhere; it replaces the files it owns (tests_*) and leaves the others.
"""
import os
import struct


def i32(v):
    return struct.pack("<i", v)


def string(s):
    units = s.encode("utf-16-le")
    return i32(len(units) // 2) + units


def f32(v):
    return struct.pack("<f", v)


def header(pattern, subject="", replace_to="", flags=0, version=3):
    return (i32(version) + i32(1) + f32(0.2) + f32(0.5) + i32(flags) + string(pattern) + string(subject)
            + string(replace_to))


def snapshots(current, records):
    out = i32(current) + i32(len(records))
    for rid, parent, flags, pattern, name in records:
        out += i32(rid) + i32(parent) + i32(flags) + i32(0) + string(pattern) + string(name)
    return out


def test(name, subject, expectation, replaced=0, own=0, flags=0, groups=0, matches=(), pieces=()):
    out = string(name) + i32(subject) + i32(own) + i32(flags) + i32(expectation) + i32(groups)
    out += i32(len(matches))
    for start, end, caps in matches:
        out += i32(start) + i32(end) + i32(len(caps)) + b"".join(string(c) for c in caps)
    out += i32(replaced) + i32(len(pieces)) + b"".join(string(p) for p in pieces)
    return out


def tests(*items):
    return i32(len(items)) + b"".join(items)


def texts(*items):
    return i32(len(items)) + b"".join(string(t) for t in items)


SEEDS = {
    # Every kind of expectation over shared texts, a test with its own options.
    "tests_every_kind": header(r"(\w)(\d)", "a1 b2", "$2$1") + snapshots(0, []) + texts("", "a1 b2", "1a 2b")
    + tests(test("match", 1, 0), test("no match", 0, 1), test("whole", 1, 2, own=1, flags=8),
            test("list", 1, 3, groups=1, matches=[(0, 2, ["a", "1"]), (3, 5, ["b", "2"])]),
            test("replaced", 1, 4, replaced=2), test("split", 1, 5, pieces=["", " ", ""]))
    + i32(0),
    # Two snapshots, one with its own tests sharing the workspace's subject, one without.
    "tests_snapshots": header("a+", "aaa") + snapshots(2, [(2, 1, 0, "a", "v2"), (1, 0, 0, "a+", "v1")])
    + texts("aaa", "") + tests(test("t", 0, 0)) + i32(1) + i32(1) + tests(test("t", 0, 0), test("u", 1, 1)),
    # Odd values a reader must take calmly: an unknown expectation, flag bits beyond the options,
    # negative spans, a snapshot test set for an id no record has.
    "tests_odd_values": header("x") + snapshots(0, []) + texts("x") + tests(
        test("odd", 0, 99, own=7, flags=0x7FFFFFFF, groups=2, matches=[(-1, -5, [])])) + i32(1) + i32(42) + tests(),
}


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "workspace_fuzz")
    os.makedirs(folder, exist_ok=True)
    for name in os.listdir(folder):
        if name.startswith("tests_"):
            os.remove(os.path.join(folder, name))
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
