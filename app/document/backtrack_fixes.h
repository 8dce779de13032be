// Rewrites that take the ambiguity out of a pattern the backtracking analysis found costly, each
// offered only once it is proven, as far as testing goes, to change nothing but the cost.
//
// For every repeat a confirmed finding holds responsible, the standard rewrites are tried on the
// pattern text: make the repeat possessive (x* -> x*+), make one iteration atomic
// ((ab?)* -> (?>(ab?))*), drop a branch of an alternation that repeats another or that the
// others cover ((a|a)* -> (a)*), and make a class repeat exclusive of the character that follows
// it (.*= -> [^=\n]*=). A candidate survives when
//   - it compiles without an error and has the same groups,
//   - every match a search finds (its span and every group's) is the same as the original's on
//     every subject tried: the caller's (the user's tests, the text box), the witnesses of the
//     findings at several pump counts, and a few hundred generated texts over the characters
//     the pattern and its witnesses use,
//   - and the analysis of the rewritten pattern gives a better verdict.
// A subject on which the original pattern runs out of its step budget proves nothing and is left
// out; the rewrite running out where the original did not rejects it.
//
// Everything is bounded (step budgets, subject counts and lengths, the number of candidates) and
// stops between steps when `abort` is set. Pure C++ on the host engine, any thread.
#ifndef KORVANE_BACKTRACK_FIXES_H
#define KORVANE_BACKTRACK_FIXES_H

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "app/document/backtrack_analysis.h"

namespace backtrack {

// A text to compare the matches on, with the engine flags it is searched with.
struct Subject {
  std::u16string text;
  int flags = 0;
};

struct Fix {
  enum Kind { POSSESSIVE = 0, ATOMIC = 1, DROP_BRANCH = 2, EXCLUSIVE_CLASS = 3 };
  Kind kind = POSSESSIVE;
  std::pair<int, int> span;    // the part of the original pattern that is rewritten
  std::u16string replacement;  // what stands there in the rewritten pattern
  std::u16string pattern;      // the whole rewritten pattern
  Report report;               // the rewritten pattern's analysis: a better verdict
  int subjects = 0;            // subjects on which both patterns gave the same matches
};

// Fewest subjects a rewrite must be compared on before it is offered.
const int kMinFixSubjects = 20;

// The proven rewrites of `pattern` (compiled with `flags`) whose analysis is `report`, best
// verdict first. Nothing when the report has no confirmed finding.
std::vector<Fix> ProposeFixes(const std::u16string& pattern, int flags, const Report& report,
                              const std::vector<Subject>& subjects, const Limits& limits = Limits(),
                              const std::atomic<bool>* abort = nullptr);

// Whether `a` and `b` find the same matches (spans and groups) on `text`; false when either
// cannot be compiled cleanly. `*undecided` is set when `a` runs out of `budget` steps (then the
// answer says nothing).
bool SameMatches(const std::u16string& a, const std::u16string& b, int flags, const std::u16string& text,
                 long long budget, bool* undecided);

// Whether verdict `x` is better (cheaper) than `y`.
bool BetterVerdict(const Report& x, const Report& y);

}  // namespace backtrack

#endif
