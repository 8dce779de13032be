// Rewrites that take the ambiguity out of a pattern the backtracking analysis found costly.
//
// For every repeat a confirmed finding holds responsible, the standard rewrites are tried on the
// pattern text: make the repeat possessive (x* -> x*+), make one iteration atomic
// ((ab?)* -> (?>(ab?))*), drop a branch of an alternation that repeats another or that the
// others cover ((a|a)* -> (a)*), and make a class repeat exclusive of the character that follows
// it (.*= -> [^=\n]*=). Each rewrite that compiles with the same groups and gets a better
// verdict is then one of two kinds:
//
//   - proven: an argument over the compiled pattern shows that it keeps every match, its span
//     and every group's, on every text (the rules are stated at the top of
//     backtrack_fix_proof.cpp: a greedy repeat given nothing back where nothing after it could
//     start inside its run, an iteration of fixed width made atomic, a branch dropped that
//     repeats an earlier one or whose single characters other single-character branches take). Texts are a second check
//     only: the caller's subjects (the user's tests, the text box), the witnesses at several pump
//     counts, every short text over the pattern's characters, texts strung from the pattern's
//     literals repeated more often than any count in it, and random texts. A proven rewrite
//     that differs on one of them is not offered as proven.
//   - changes the meaning: no such argument, and a text on which the two patterns find
//     different matches (the shortest found). It is offered with that text, never as proven.
//
// A rewrite that is neither (not proven, and no text found on which it differs) is not offered.
// A subject on which the original runs out of its step budget says nothing and is left out.
//
// Everything is bounded (step budgets, subject counts and lengths, the number of candidates) and
// stops between steps when `abort` is set. Pure C++ on the host engine, any thread.
//
// The parts (reading the pattern text, the proof rules, the generated texts) are described in
// backtrack_fix_parts.h; backtrack_fixes.cpp ties them together.
#ifndef KORVANE_BACKTRACK_FIXES_H
#define KORVANE_BACKTRACK_FIXES_H

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "app/document/backtrack/backtrack_analysis.h"

namespace backtrack {

// A text to compare the matches on, with the engine flags it is searched with.
struct Subject {
  std::u16string text;
  int flags = 0;
};

// Where two patterns part on a text: the first match (numbered from 0) whose span or one of
// whose groups differs, that group (0: the whole match) and its span in each ({-1, -1}: that
// pattern has no such match, or the group took part in none).
struct Difference {
  std::u16string text;
  int flags = 0;
  int match = -1;  // -1: no difference
  int group = 0;
  std::pair<int, int> before{-1, -1};  // the original pattern's
  std::pair<int, int> after{-1, -1};   // the rewrite's
};

struct Fix {
  enum Kind { POSSESSIVE = 0, ATOMIC = 1, DROP_BRANCH = 2, EXCLUSIVE_CLASS = 3 };
  Kind kind = POSSESSIVE;
  bool proven = false;         // else it changes the meaning, as `differs` shows
  std::pair<int, int> span;    // the part of the original pattern that is rewritten
  std::u16string replacement;  // what stands there in the rewritten pattern
  std::u16string pattern;      // the whole rewritten pattern
  Report report;               // the rewritten pattern's analysis: a better verdict
  int subjects = 0;            // texts compared; a proven fix gave the same matches on each
  Difference differs;          // a text on which the matches differ (not proven)
};

// Fewest subjects a rewrite must be compared on before it is offered.
const int kMinFixSubjects = 20;

// The rewrites of `pattern` (compiled with `flags`) whose analysis is `report`: the proven ones
// first, then those that change the meaning, each kind best verdict first. Nothing when the
// report has no confirmed finding.
std::vector<Fix> ProposeFixes(const std::u16string& pattern, int flags, const Report& report,
                              const std::vector<Subject>& subjects, const Limits& limits = Limits(),
                              const std::atomic<bool>* abort = nullptr);

// Whether `a` and `b` find the same matches (spans and groups) on `text`; false when either
// cannot be compiled cleanly. `*undecided` is set when either runs out of `budget` steps (then
// the answer, false, says nothing about the matches).
bool SameMatches(const std::u16string& a, const std::u16string& b, int flags, const std::u16string& text,
                 long long budget, bool* undecided);

// Whether the proof rules show that `rewritten` (the text of `original` with [span) replaced by
// a rewrite of the given kind) keeps every match of `original` under `flags`. No texts are run.
bool ProveRewrite(const std::u16string& original, int flags, Fix::Kind kind, std::pair<int, int> span,
                  const std::u16string& rewritten);

// Every standard rewrite of every repeat in `pattern` (not only those a finding holds
// responsible), each with `proven` set by the proof rules alone: no texts are run and no report
// is made. For tests of the rules on patterns of any kind.
std::vector<Fix> StandardRewrites(const std::u16string& pattern, int flags);

// Compares the matches of `a` and `b` on `text` (all of a search): true and *d filled in when they
// differ, false when they are the same or cannot be compared (either does not compile cleanly or
// runs out of `budget` steps).
bool FindDifference(const std::u16string& a, const std::u16string& b, int flags, const std::u16string& text,
                    long long budget, Difference* d);

// Whether verdict `x` is better (cheaper) than `y`.
bool BetterVerdict(const Report& x, const Report& y);

}  // namespace backtrack

#endif
