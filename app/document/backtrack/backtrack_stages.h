// The three stages of the catastrophic-backtracking analysis and what they share; private to
// app/document (the interface is backtrack_analysis.h, which describes the method):
//
//   1. backtrack_automaton.cpp: the position automaton of the compiled pattern;
//   2. backtrack_ambiguity.cpp: the searches of its products for a loop that one text leads
//      around in two ways (exponential) and for chains of loops (polynomial), each finding with
//      the prefix and pump of its witness;
//   3. backtrack_measure.cpp: the witnesses run with classic backtracking at growing pump counts
//      (budgeted_search.h), and the growth of their step counts fitted.
//
// backtrack_analysis.cpp compiles the pattern and runs the stages in order. Each stage throws
// TooLarge past one of its bounds and Aborted once `abort` is set; Analyze turns both into a
// "not analysed" report.
#ifndef KORVANE_BACKTRACK_STAGES_H
#define KORVANE_BACKTRACK_STAGES_H

#include <atomic>
#include <bitset>
#include <string>
#include <utility>
#include <vector>

#include "app/document/backtrack/backtrack_analysis.h"
#include "app/host_engine.h"

namespace backtrack {
namespace stages {

// The alphabet: the byte values and one symbol standing for every code above 255.
const int kSymbols = 257;
const unsigned kHighCode = 0x4E00;
typedef std::bitset<kSymbols> Symbols;

struct TooLarge {
  const char* why;
};
struct Aborted {};

inline unsigned CodeOf(int symbol) { return symbol < 256 ? static_cast<unsigned>(symbol) : kHighCode; }

// The order in which symbols are preferred as the representative of a class: readable letters
// and digits first, so that witnesses read naturally.
std::vector<int> PreferredSymbols();

struct Edge {
  int from;
  int to;
  int loop;  // index into Automaton::loops of the repeat whose loop-back made it, or -1
};

// The position automaton of a compiled pattern. State 0 is the start; every other state reads one
// symbol of its set.
struct Automaton {
  std::vector<Symbols> sets;
  std::vector<Edge> edges;
  std::vector<std::vector<int>> out;        // per state: its edges
  std::vector<std::pair<int, int>> loops;   // spans of the repeats that loop
};

// Stage 1: the automaton of the pattern under `root`. Counted repeats are spelt out up to a
// count; atomic groups and possessive repeats are single opaque states.
Automaton BuildAutomaton(const HostElement* root, const Limits& limits, const std::atomic<bool>* abort);

// Stage 2: the exponential findings, then the polynomial ones, highest degree first, each with
// its spans, witness prefix and pump, and the same spelt with other kinds of characters. Both
// searches share one work bound (Limits::maxProductWork).
std::vector<Finding> FindAmbiguities(const Automaton& a, const Limits& limits, const std::atomic<bool>* abort);

// Stage 3: measures the findings in their order, worst prediction first, until one confirms a
// growth that the rest cannot beat: picks each witness's suffix, runs it at growing pump counts
// and fills in the points, the slope and whether (and how) the growth was confirmed.
void MeasureFindings(const std::u16string& pattern, int flags, const Automaton& a, std::vector<Finding>* findings,
                     const Limits& limits, const std::atomic<bool>* abort);

}  // namespace stages
}  // namespace backtrack

#endif
