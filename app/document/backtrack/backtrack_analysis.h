// Catastrophic-backtracking analysis of a compiled pattern.
//
// The pattern's element tree is turned into a position automaton (one state per character-
// consuming element, transitions kept apart by the repeat loop that makes them), over an alphabet
// of the 256 byte values and one symbol for every code above. Two properties of that automaton
// predict the work of a backtracking matcher on a text it cannot match:
//
//   - exponential: a state q from which two different paths lead back to q on one word w (the
//     body of a repeat matches the same text in two ways: (a|a)*, (a+)+, (\w+\s?)*). Found in
//     the product of the automaton with itself.
//   - polynomial of degree k: a chain of k loops where one word w leads around each loop and from
//     each loop into the next (\d+\d+x, .*.*=.*, a.*b.*c.*d with w = "bca"). Pairs of loops are
//     found in the triple product; for every chain of three or more along the pairs, one word
//     for the whole chain is searched breadth first over the sets of states each loop reaches.
//
// Atomic groups and possessive repeats are single opaque states (nothing inside them is tried
// again); look-arounds, anchors and captures are transparent; a back-reference is a state that
// reads any character. Those simplifications can only add findings, never hide one, which is why
// every finding is then measured: its witness (prefix, pump, suffix) is run for growing pump
// counts with classic backtracking, counting element entries through the trace hook, and the
// growth is fitted (a predicted degree k with a step budget four times larger per degree above
// 2, so that the slope shows). Only a measured blow-up makes the verdict, the highest degree a
// witness confirms; a finding that does not grow is reported as not confirmed.
//
// Degrees count the steps of one match attempt at the start of the text. A search that tries
// every start position can cost one factor of the text length more.
//
// Everything is bounded: the automaton's size, the work of the product searches, every witness
// run (a step budget) and the text lengths tried. A pattern beyond the bounds is "not analysed:
// too large"; nothing here can hang or exhaust memory.
//
// Pure C++ on the host engine: runs on any thread, one analysis per call, no shared state.
#ifndef KORVANE_BACKTRACK_ANALYSIS_H
#define KORVANE_BACKTRACK_ANALYSIS_H

#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace backtrack {

enum Verdict { LINEAR = 0, POLYNOMIAL = 1, EXPONENTIAL = 2, TOO_LARGE = 3 };

struct Limits {
  int maxStates = 3000;                // positions of the automaton
  long long maxProductWork = 4000000;  // edges looked at in the product searches, all together
  long long stepBudget = 200000;       // element entries per witness run
  int maxTextLength = 6000;            // of a witness text
  int maxFindingsMeasured = 6;         // candidates measured, worst first
};

struct Witness {
  std::u16string prefix, pump, suffix;
  // prefix + pump x n + suffix.
  std::u16string Text(int n) const;
};

// One run of a witness: the pump count and the element entries of the attempt (the budget
// when it was cut off; then `cut` is set).
struct StepPoint {
  int n = 0;
  long long steps = 0;
  bool cut = false;
  bool matched = false;  // (not kept in a series: a run that matches ends it)
};

struct Finding {
  Verdict kind = LINEAR;       // what the automaton predicts: POLYNOMIAL or EXPONENTIAL
  int degree = 0;              // predicted degree of a polynomial finding
  // The repeats responsible: spans [start, end) in the pattern text, outermost first.
  std::vector<std::pair<int, int>> spans;
  Witness witness;
  // Prefix and pump spelt with other kinds of characters from the same classes, tried when the
  // first shows no growth (look-arounds and word boundaries may tell characters apart that the
  // automaton does not).
  std::vector<Witness> otherWitnesses;
  // Measurement.
  bool confirmed = false;
  Verdict measured = LINEAR;   // what the step counts showed
  int measuredDegree = 1;      // rounded slope of log steps against log n
  double slope = 0.0;          // the fitted slope (polynomial) or the late slope (exponential)
  std::vector<StepPoint> points;
};

struct Report {
  Verdict verdict = LINEAR;    // the worst confirmed finding; TOO_LARGE when not analysed
  int degree = 1;              // of a polynomial verdict
  std::string reason;          // why a pattern was not analysed
  int errorAt = -1;            // where the pattern's first error is (then it is not analysed)
  std::vector<Finding> findings;
  int states = 0;              // size of the automaton (for benchmarks and tests)
  // The finding that makes the verdict, or -1.
  int Worst() const;
};

// Analyses the pattern (UTF-16 code units) compiled with the engine flags `flags`. `abort`, when
// given and set, stops the analysis between steps (the report then says "not analysed"). A
// pattern with an error is not analysed either: what the engine makes of the rest of it is no
// verdict on the pattern the user meant.
Report Analyze(const std::u16string& pattern, int flags, const Limits& limits = Limits(),
               const std::atomic<bool>* abort = nullptr);

// Element entries of one classic attempt of `pattern` at the start of `text`, at most `budget`
// (then *cut is set). Used for the confirmation and by the tests.
long long CountSteps(const std::u16string& pattern, int flags, const std::u16string& text, long long budget,
                     bool* cut = nullptr, bool* matched = nullptr);

// "Safe: linear", "Polynomial, degree 3", "Exponential", "Not analysed: too large (...)",
// "Not analysed: the pattern has an error at 4".
std::string VerdictText(const Report& r);

}  // namespace backtrack

#endif
