// A pattern's text read the way the engine's compiler reads it, for the rewrites that code
// samples need before another library reads the pattern: comments taken out, and dots that match
// a line break written as (?:.|\n). Quoted runs, escapes, character classes, group heads and
// names are told apart as the compiler tells them. Covered by tests/codegen_test.cpp and
// tests/literal_property_test.cpp.
#ifndef FENNIC_PATTERN_SCAN_H
#define FENNIC_PATTERN_SCAN_H

#include <string>
#include <vector>

namespace fennic {

// One stretch of a pattern's text.
struct PatternPiece {
  enum Kind {
    TEXT,     // read as written
    COMMENT,  // a comment group, or under the extended option white space or a # comment
    DOT       // a '.' that stands for any character
  };
  Kind kind;
  int start;
  int length;
  // For a DOT: whether the single-line option holds there (from the flags or a modifier).
  bool singleLine;
  // For TEXT that ends in a construct whose reading would run on into what follows if a
  // comment after it went away: back-reference digits ("\1" then "2"), hexadecimal digits
  // ("\x4" then "1"), or the '(' of a group ("(" then "?").
  enum Runs { RUNS_NONE, RUNS_DIGITS, RUNS_HEX, RUNS_NAME_OR_DIGITS, RUNS_GROUP_HEAD } runs;
};

// The pieces of `pattern` compiled with `flags`, in order; together they cover the whole text.
std::vector<PatternPiece> ScanPattern(const std::u16string& pattern, int flags);

}  // namespace fennic

#endif
