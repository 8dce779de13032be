// Step counts: what a search cost, in elements entered. One step is one entry into an element's
// Match or MatchNext. Two searches count them:
// - the traced search (Trace and Optimize modes, classic backtracking) counts in the document's
//   trace hook every entry of every attempt at every start position, as a classic backtracking
//   matcher makes them, with the steps of each start position;
// - the direct search (every other search: fast_search.h) counts the entries it makes, which
//   are fewer: start positions that its filters rule out cost nothing, and a repeat of one
//   character class counts one step per character of its run instead of two entries. It keeps
//   no steps per start position.
// So the same search gives a smaller count on the direct path; the phrases say which count it is.
#ifndef KORVANE_STEP_COUNTS_H
#define KORVANE_STEP_COUNTS_H

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

// The steps spent by the attempts that began at one text position. Attempts are recorded in the
// order the search made them; an attempt's count stops at the largest unsigned value.
struct StartSteps {
  int start;
  unsigned steps;
};

// The step counts of the search under way: written by the match worker (through the trace hook)
// while a job runs, read by the UI thread while no job runs or the job is paused.
class CStepCounter {
 public:
  // At most this many start positions are kept (64 MiB); a search that makes more attempts keeps
  // the first ones and says so (Truncated), while its total goes on counting.
  static constexpr std::size_t kMaxStarts = std::size_t(1) << 23;

  // A fresh search: everything back to zero, and the memory of a long list given back.
  void Clear();

  // One element entry (match worker). `attemptStart` is the attempt's start when this entry
  // begins a new attempt (the outermost first attempt of the root), else -1.
  void Count(int attemptStart) {
    ++m_total;
    if (attemptStart >= 0) BeginAttempt(attemptStart);
    if (m_open) {
      unsigned& s = m_starts.back().steps;
      if (s != ~0u) ++s;
    }
  }

  // Steps counted elsewhere (the direct search's own count), added to the total.
  void Add(std::uint64_t steps) { m_total += steps; }

  // Steps since the search began (a Find All goes on counting over all its matches).
  std::uint64_t Total() const { return m_total; }
  // The steps since the last call (since the search began, for the first), cut to kMaxTaken:
  // what one result of the search cost (MatchRecord::steps has 31 bits).
  static constexpr unsigned kMaxTaken = 0x7FFFFFFFu;
  unsigned TakeSinceMark();
  // Steps since the last TakeSinceMark, without moving the mark (a paused search's step so far).
  std::uint64_t SinceMark() const { return m_total - m_mark; }

  const std::vector<StartSteps>& PerStart() const { return m_starts; }
  bool Truncated() const { return m_truncated; }

 private:
  void BeginAttempt(int start);

  std::uint64_t m_total = 0;
  std::uint64_t m_mark = 0;
  std::vector<StartSteps> m_starts;
  bool m_open = false;       // the last entry of m_starts takes the steps
  bool m_truncated = false;  // attempts were left out (the list was full or out of memory)
};

// A count with its thousands grouped by commas: 1204 -> "1,204".
QString GroupedCount(std::uint64_t n);

// "1 step", "1,204 steps" in the user's language: a traced count. With `traced` false, the
// direct search's phrase ("1,204 direct steps").
QString StepsPhrase(std::uint64_t n, bool traced = true);

#endif
