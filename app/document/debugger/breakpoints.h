// Breakpoints and run-to targets of Trace mode. A breakpoint is kept by the pattern span of its
// element, so it survives a recompile while an element with that span exists and is dropped
// silently when none does. Of several elements with one span (a construct and the element that
// wraps it) the one a match enters first stands for the span, so one entry stops once.
//
// Threads: the UI thread changes the list, binds it and sets the target while no job runs or
// the job is paused; the match worker reads them and counts hits in the trace hook.
// Covered by app/document/debugger/tests/breakpoint_test.cpp.
#ifndef KORVANE_BREAKPOINTS_H
#define KORVANE_BREAKPOINTS_H

#include <cstdint>
#include <vector>

#include "app/host_engine.h"

enum BreakCondition {
  BREAK_ALWAYS = 0,
  BREAK_AT_POSITION = 1,  // only when the element is entered at text position `value`
  BREAK_ON_HIT = 2        // only at the `value`-th entry since the search began
};

struct Breakpoint {
  int start = 0;
  int end = 0;
  int condition = BREAK_ALWAYS;
  int value = 0;
};

// Where a run-to command stops: the first event after the run resumes that fits.
enum RunTarget {
  RUN_NONE = 0,
  RUN_FAILURE,     // the target element exits with a failure
  RUN_BACKTRACK,   // the target element is entered again to try another way (a retry)
  RUN_NEXT_START,  // the whole pattern is tried at a new start position
  RUN_ATTEMPT_END  // the attempt under way ends (the pattern's root exits, matched or not)
};

class CDebugStops {
 public:
  // --- the list (UI thread) ---
  // Sets a breakpoint on the span, or removes the one there; true when it is set now. A span
  // no element of the last bound pattern has is refused (false, nothing changes).
  bool Toggle(int start, int end);
  bool Has(int start, int end) const;
  // False when there is no breakpoint on the span or the condition is unknown.
  bool SetCondition(int start, int end, int condition, int value);
  const std::vector<Breakpoint>& List() const { return m_list; }
  // Replaces the list (a workspace being loaded); bind afterwards.
  void SetList(std::vector<Breakpoint> list);
  void Clear();

  // Maps the breakpoints and the target to the elements of `re` (ranks as PatternState::rank)
  // and drops the breakpoints whose span no element has. Also resets the hit counts.
  void Bind(const HostRegexp& re, const std::vector<int>& rank);
  void ResetHits();

  // --- the run-to target (UI thread) ---
  // `start`/`end`: the span of the element the failure and backtrack targets watch.
  void SetTarget(int target, int start, int end);
  void ClearTarget() { m_target = RUN_NONE; }
  int Target() const { return m_target; }

  // --- the hook (match worker) ---
  // An element entry at text position `pos` (retry: a MatchNext); counts the hit of a
  // breakpoint and says whether to pause.
  bool OnEnter(const HostElement* e, int pos, bool retry, int depth);
  // An element exit (outcome nonzero: matched); whether to pause.
  bool OnExit(const HostElement* e, int outcome, int depth) const;

 private:
  int Lookup(const std::vector<int>& table, const HostElement* e) const;
  static void MarkSpan(const HostRegexp& re, const std::vector<int>& rank, int start, int end, std::vector<int>* table,
                       int value);

  std::vector<Breakpoint> m_list;
  std::vector<std::uint64_t> m_hits;  // per entry of m_list
  std::vector<int> m_byPool;          // pool index -> index in m_list, or -1
  const HostRegexp* m_bound = nullptr;  // the pattern last bound (owned by the document)
  const std::vector<int>* m_rank = nullptr;
  int m_target = RUN_NONE;
  int m_targetStart = -1;
  int m_targetEnd = -1;
  std::vector<int> m_targetPool;  // pool index -> 1 for the watched element
};

#endif
