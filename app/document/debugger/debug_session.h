// CDebugSession: Trace mode's debugger as the document keeps it. It holds the trace history of
// the search under way and the step of it the user looks at (Step Back, the timeline), the
// places the live search stopped for a breakpoint or a run-to target, the breakpoints, the
// step the match worker is paused at, and the pause at which the user last chose an element.
//
// The document owns one (CKorvaneDoc::Debugger) and drives it: it starts recording and arms the
// stops with each job, asks in its trace hook whether to stop, blocks the worker there, and
// notifies the views. The session decides nothing about jobs or pauses itself; it never calls
// the document back.
//
// Threads. The match worker records into the history, asks StopAt and writes the live step, in
// the hook, only during a job that the document armed. The UI thread reads and changes the
// session only while no job runs or the job is paused, the rule of the document's trace state.
// Covered by app/document/debugger/tests/doc_history_test.cpp and breakpoint_test.cpp.
#ifndef KORVANE_DEBUG_SESSION_H
#define KORVANE_DEBUG_SESSION_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/document/debugger/breakpoints.h"
#include "app/document/debugger/trace_history.h"
#include "app/host_engine.h"

// Where a traced search is paused, as the views show it.
struct TraceStep {
  const HostElement* element = nullptr;  // none when no search is paused
  int event = 0;
  int attemptStart = 0;   // where the whole pattern began to match
  int regionStart = 0;    // start of the outermost look-around on the trace stack, else of the innermost entry
  int elementStart = 0;
  int elementEnd = 0;     // end of the shown span (never empty)
  int outcome = 0;        // 1 success, 0 failure of a first attempt, -1 failure of a retry
};

// Whether `e` consumes text (the elements Step pauses after).
bool ElementConsumesText(const HostElement* e);
// The direction of a text-consuming element (its own flag), else the pattern's.
bool ElementRunsRightToLeft(const HostElement* e, int patternFlags);
// Start of the outermost look-around on the trace stack, else of the innermost entry.
int TraceRegionStart(const TraceStackEntry<unsigned short>* stack, int depth);
// The step shown for `event` of `element`, the one on top of `stack` (depth > 0), with the text
// at `position`: an entry shows where the element starts from (a retry: what it had matched), an
// exit what it matched, or on a failed retry what it had matched. The span is never empty.
TraceStep MakeTraceStep(int event, const HostElement* element, int outcome, int attemptStart, int position,
                        const TraceStackEntry<unsigned short>* stack, int depth, int patternFlags);

class CDebugSession {
 public:
  // The session reads the document's compiled pattern, its flags and the elements' ranks in
  // match order, which outlive it.
  CDebugSession(const HostRegexp& compiled, const int& patternFlags, const std::vector<int>& rank);
  CDebugSession(const CDebugSession&) = delete;
  CDebugSession& operator=(const CDebugSession&) = delete;

  // --- the history ---
  const CTraceHistory& History() const { return m_history; }
  // The memory ceiling ("TraceHistoryMB" setting, 256 MB by default).
  void SetHistoryCeiling(std::size_t bytes) { m_history.SetCeiling(bytes); }
  bool IsViewingHistory() const { return m_nViewIndex >= 0; }
  // The event shown: the one looked at, else the last recorded (the live pause); -1 when none.
  std::int64_t ShownHistoryIndex() const;
  // The pause steps of the history (exits of text-consuming elements, and the events the live
  // search stopped at for a breakpoint or run-to target) before and after an event, or -1.
  std::int64_t PreviousPauseStep(std::int64_t index) const;
  std::int64_t NextPauseStep(std::int64_t index) const;
  // The step shown: the one looked at in the history, else the live pause.
  const TraceStep& ShownStep() const { return m_nViewIndex >= 0 ? m_viewStep : m_liveStep; }
  // The trace stack and captures of the step looked at (only while IsViewingHistory).
  const std::vector<TraceStackEntry<unsigned short>>& ViewedStack() const { return m_viewStack; }
  const std::vector<HistoryCapture>& ViewedCaptures() const { return m_viewCaptures; }

  // --- breakpoints ---
  // Created on first use, bound to the pattern.
  CDebugStops& Stops();
  const CDebugStops* GetStops() const { return m_stops.get(); }
  bool HasBreakpoint(int spanStart, int spanEnd) const { return m_stops && m_stops->Has(spanStart, spanEnd); }

  // --- driven by the document ---
  // Forgets the history and the step looked at (a fresh search, Reset, an edit); applies the
  // "TraceHistoryMB" setting unless a ceiling was set by the program.
  void ClearHistory();
  // A job starts or resumes: whether it records the history and stops at breakpoints and
  // run-to targets (hits count from here); the live pause is shown again.
  void BeginJob(bool record, bool armStops);
  void ShowLive() { m_nViewIndex = -1; }
  // Builds the view of event `index` as the hook would have paused there, or goes back to the
  // live pause for the last recorded event. False when the event cannot be shown.
  bool ViewHistory(std::int64_t index);
  bool Recording() const { return m_bRecord; }
  bool StopsArmed() const { return m_bStopsArmed; }
  // The hook's event, recorded. Exits are reported from the trace frame's destructor, so nothing
  // leaves here: a history that runs out of memory is given up and the search goes on unrecorded.
  void Record(int event, HostContext* ctx, int outcome, const TraceStackEntry<unsigned short>* stack,
              int depth) noexcept;
  // Whether a breakpoint or the run-to target stops the search at this event; when it does,
  // `step` receives the step to show and the stop is noted for Step Back.
  bool StopAt(int event, HostContext* ctx, const HostElement* element, int outcome,
              const TraceStackEntry<unsigned short>* stack, int depth, TraceStep* step);
  // The worker pauses at `step` (written by the worker just before it blocks).
  void SetLiveStep(const TraceStep& step) { m_liveStep = step; }
  // No step is paused at any more: the live step keeps only its attempt's start.
  void ClearLiveStep();
  // The events the history dropped since the last call, or 0 (for the note that says so once).
  std::int64_t TakeNewDrops();
  // The user chose the current element; `whilePaused` when a traced search was paused then.
  void NoteElementChosen(bool whilePaused);
  // Whether that choice was made at the very pause now shown.
  bool ChosenAtShownStep() const;
  // The pattern was recompiled: the breakpoints find their elements again by span.
  void RebindStops();
  void ClearStops();
  // The captures buffer for the live pause's captures.
  std::vector<HistoryCapture>* LiveCaptures() const { return &m_liveCaptures; }

 private:
  const HostRegexp& m_compiled;
  const int& m_nFlags;
  const std::vector<int>& m_rank;

  CTraceHistory m_history;
  // History indices of the events the live search paused at for a breakpoint or a run-to
  // target (entries, and exits that are no step), ascending: Step Back and the slider stop there
  // too. Written by the worker just before it pauses.
  std::vector<std::int64_t> m_livePauses;
  bool m_bRecord = false;
  TraceStep m_liveStep;
  std::int64_t m_nViewIndex = -1;  // the history event looked at; -1: the live pause
  TraceStep m_viewStep;
  std::vector<TraceStackEntry<unsigned short>> m_viewStack;
  std::vector<HistoryCapture> m_viewCaptures;
  mutable std::vector<HistoryCapture> m_liveCaptures;
  std::int64_t m_nNotedDrops = 0;  // dropped events already told of
  std::unique_ptr<CDebugStops> m_stops;
  bool m_bStopsArmed = false;
  // The pause at which the current element was last chosen: the history step shown and the
  // events recorded then; not set when it was chosen while no search was paused.
  bool m_bChosenWhilePaused = false;
  std::int64_t m_nChosenAtStep = -1;
  std::int64_t m_nChosenAtEnd = -1;
};

#endif
