#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/) from the table below.

compile_fuzz input: [flags] pattern             (one byte per character)
match_fuzz input:   [flags][pattern length][start selector] pattern subject
Flags: 1 single line, 2 multiline, 4 global, 8 ignore case, 16 right to left, 32 extended.
Run it from anywhere; it replaces the seed files it owns (seed_*) and leaves other files alone.
"""
import os

SEEDS = [
    # pattern, flags, subject
    (r"abc*", 0, "abccc ab"),
    (r"(abc)*", 0, "abcabcx"),
    (r"a{2,5}?b{3}+c{,2}d{2,}", 0, "aaabbbdd"),
    (r"(a|ab)(c|bcd)(d*)", 0, "abcd"),
    (r"(a|ab)*c", 0, "ababc"),
    (r"(a|ab)*?c", 0, "ababc"),
    (r"(?:a|b)*+c|a++b", 0, "aab abc"),
    (r"(?>a+)a|(a*)*b", 0, "aaaab"),
    (r"(a*)+$", 0, "aa"),
    (r"(?=(a))a(?!(b))(?<=(a))(?<!x)", 0, "aab"),
    (r"(a)\1|\2(b)|\k<n>(?<n>c)\k'n'", 8, "aAbbcc"),
    (r"(?<x>a)|(?'y'b)|(?P<z>c)(?<5>d)", 0, "abcd"),
    (r"(a)?(?(1)b|c)(?(?=d)d|e)(?(x)f)", 0, "abd ce"),
    (r"(a(?1)?b)|\((?:[^()]|(?R))*\)", 0, "aabb (a(b)c)"),
    (r"(?R)x|y", 0, "xyx"),
    (r"(?i)a(?-i)b|(?s:.)(?m:^$)(?g:\G)", 0, "Ab a\n\nb"),
    (r"\bfoo\B|\A\d+\z|^\s*$|\Z", 2, "foox 12\n  \n"),
    (r"\G\d", 4, "12a3"),
    (r"[\d-z][^a-c]|[[:alpha:][:^digit:]]+|[:space:]|[[:foo:]]", 8, "5-zQ ab1 :f"),
    (r"[\x41-\x{5A}\u0061][\w.+-]+@[\w.-]+\.[\w.-]+", 8, "Ab.c@ex.com"),
    (r"\Qa.b\E\La.B\E\Ux\E\e\a\f\n\r\t\v\x4G\u", 0, "a.ba.bX"),
    (r"a b # comment" "\n" r"[ c d]\ e", 32, "abc e"),
    (r"\d+|(\w+)\s(\w+)", 16, "one two 42"),
    (r"(?<=a)b|a(?=b)|\1(a+)", 16, "abab aaaa"),
    (r"(?<o>\()[^()]*(?<c-o>\))", 0, "(ab)"),
    (r"^(?:(?<o>\()|(?<-o>\))|[^()])*$", 0, "(a(b))"),
    (r"(?<o>x)(?<-o>y)(?<c-zz>z)", 0, "xyz"),
    (r"(?#comment)x|(?", 0, "x"),
    (r"(a|[b|(?:c", 0, "ab|c"),
    (r"(?(1)a|b|c)|(?R0)|(?R<n>)|(?R'1')|(?2)", 0, "b"),
    (r"x{5,2}|a**|*a|a|+|{1,2}", 0, "*a+xxxxx"),
    (r"((((((((((a))))))))))\10", 1, "aa"),
    (r"(\w+)\s+\1\b", 8, "the The cat"),
    (r"\b(?:(?:25[0-5]|2[0-4]\d|1?\d?\d)\.){3}(?:25[0-5]|2[0-4]\d|1?\d?\d)\b", 0, "1.2.3.4 256.1.1.1"),
    (r"", 0, "ab"),
    (r"a|", 16, "ba"),
    (r"$", 2, "a\r\nb\rc"),
    (r"^", 18, "a\r\nb\rc"),
]


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    for target in ("compile_fuzz", "match_fuzz"):
        folder = os.path.join(root, target)
        os.makedirs(folder, exist_ok=True)
        for name in os.listdir(folder):
            if name.startswith("seed_"):
                os.remove(os.path.join(folder, name))
    for i, (pattern, flags, subject) in enumerate(SEEDS):
        p = pattern.encode("latin-1")
        s = subject.encode("latin-1")
        with open(os.path.join(root, "compile_fuzz", "seed_%02d" % i), "wb") as f:
            f.write(bytes([flags]) + p)
        # Every third seed also searches from a start position (selector 0x80 + k).
        start = 0x80 + (i % 5) if i % 3 == 0 else 0
        with open(os.path.join(root, "match_fuzz", "seed_%02d" % i), "wb") as f:
            f.write(bytes([flags, min(len(p), 255), start]) + p + s)
        # The same input as 16-bit code units, with a character beyond Latin-1 in the subject.
        if i % 4 == 0:
            wp = pattern.encode("utf-16-le")
            ws = (subject + "\u0414\u00e9").encode("utf-16-le")
            with open(os.path.join(root, "match_fuzz", "seed_%02d_wide" % i), "wb") as f:
                f.write(bytes([flags | 0x40, min(len(pattern), 255), start]) + wp + ws)


if __name__ == "__main__":
    main()
