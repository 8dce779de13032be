// The document's side of the debugger (debug_session.h): looking at the history's steps while a
// traced search is paused, toggling breakpoints, the stops the trace hook makes for them, and
// running a traced search on to a run-to target.
#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "stringtable.h"

namespace {

const double kMiB = 1 << 20;

int RunTargetOf(int command) {
  switch (command) {
    case CMD_RUN_TO_FAILURE: return RUN_FAILURE;
    case CMD_RUN_TO_BACKTRACK: return RUN_BACKTRACK;
    case CMD_RUN_TO_NEXT_START: return RUN_NEXT_START;
    case CMD_RUN_TO_ATTEMPT_END: return RUN_ATTEMPT_END;
    default: return RUN_NONE;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The step shown

const TraceStep* CKorvaneDoc::PausedTraceStep() const { return IsPaused() ? &m_debug->ShownStep() : nullptr; }

const TraceStep& CKorvaneDoc::GetTraceStep() const { return m_debug->ShownStep(); }

const TraceStackEntry<unsigned short>* CKorvaneDoc::ShownTraceStack(int* depth) const {
  if (m_debug->IsViewingHistory()) {
    const std::vector<TraceStackEntry<unsigned short>>& stack = m_debug->ViewedStack();
    *depth = static_cast<int>(stack.size());
    return stack.empty() ? nullptr : stack.data();
  }
  *depth = m_ctx.m_traceStack.GetSize();
  return *depth > 0 ? &m_ctx.m_traceStack[0] : nullptr;
}

const std::vector<HistoryCapture>* CKorvaneDoc::ShownCaptures() const {
  if (!IsPaused()) return nullptr;
  if (m_debug->IsViewingHistory()) return &m_debug->ViewedCaptures();
  std::vector<HistoryCapture>* live = m_debug->LiveCaptures();
  ReadCaptures(&m_ctx, live);
  return live;
}

// ---------------------------------------------------------------------------------------------
// The history

bool CKorvaneDoc::ViewHistory(std::int64_t index) { return IsPaused() && m_debug->ViewHistory(index); }

bool CKorvaneDoc::ShowHistoryStep(std::int64_t index) {
  const CTraceHistory& history = m_debug->History();
  if (!IsPaused() || m_nMode != MODE_TRACE || history.Empty()) return false;
  std::int64_t at = index >= history.End() - 1 ? history.End() - 1 : index;
  if (at < history.End() - 1) {
    // The pause step at or before the index, else the first one after it.
    std::int64_t pause = m_debug->PreviousPauseStep(at + 1);
    if (pause < 0) pause = m_debug->NextPauseStep(at);
    if (pause < 0) return false;
    at = pause;
  }
  if (!ViewHistory(at)) return false;
  Notify(nullptr, HINTS_SEARCH_STEP);
  return true;
}

bool CKorvaneDoc::StepBack() {
  if (!IsPaused() || m_nMode != MODE_TRACE) return false;
  const std::int64_t pause = m_debug->PreviousPauseStep(m_debug->ShownHistoryIndex());
  if (pause < 0 || !ViewHistory(pause)) return false;
  Notify(nullptr, HINTS_SEARCH_STEP);
  return true;
}

void CKorvaneDoc::NoteHistoryDrops() {
  const std::int64_t dropped = m_debug->TakeNewDrops();
  if (dropped <= 0 || !m_pUi) return;
  m_pUi->ShowNote(CStringTable::FormatStrings(
      CStringTable::Str(IDS_HISTORY_DROPPED),
      {GroupedCount(static_cast<std::uint64_t>(dropped)),
       QString::number(m_debug->History().Ceiling() / kMiB, 'g', 3)}));
}

// ---------------------------------------------------------------------------------------------
// Breakpoints and the run-to commands

bool CKorvaneDoc::ToggleBreakpoint() {
  if (IsJobActive() && !IsPaused()) return false;
  const HostElement* e = m_pCurrentElement;
  if (!e) return false;
  CDebugStops& stops = m_debug->Stops();
  const bool had = stops.Has(e->m_nStart, e->m_nEnd);
  const bool now = stops.Toggle(e->m_nStart, e->m_nEnd);
  if (had == now) return false;
  m_bModified = true;
  Notify(nullptr, HINT_RECOLOR_PATTERN | HINT_CURRENT_ELEMENT);
  return true;
}

void CKorvaneDoc::NoteCurrentElementChosen() { m_debug->NoteElementChosen(IsJobActive() && IsPaused()); }

// The step a search paused at is what the views show as current (the tree selects its element,
// the pattern box marks it), so the run-to commands aim there too; a choice the user made at
// this same step wins. A choice made before the search, or at an earlier step, does not: the
// caret left at the end of the pattern box must not decide where a run stops.
const HostElement* CKorvaneDoc::RunToTarget() const {
  if (IsJobActive() && IsPaused()) {
    const HostElement* paused = GetTraceStep().element;
    if (paused && !(m_debug->ChosenAtShownStep() && m_pCurrentElement)) return paused;
  }
  return m_pCurrentElement;
}

bool CKorvaneDoc::CanRunTo(int command) const {
  const int target = RunTargetOf(command);
  if (target == RUN_NONE || m_nMode != MODE_TRACE || !m_pattern.compiled.GetRoot()) return false;
  if (IsJobActive() && !IsPaused()) return false;
  if (target == RUN_FAILURE || target == RUN_BACKTRACK) return RunToTarget() != nullptr;
  return true;
}

// Runs the search on (or starts it, as Find does) until the target's event, a breakpoint, the
// end of the search or a Break: the wait and its dialog are Continue's, so a run that never
// reaches its target stays breakable.
void CKorvaneDoc::RunTo(int command) {
  if (!CanRunTo(command)) return;
  const HostElement* e = RunToTarget();
  CDebugStops& stops = m_debug->Stops();
  stops.SetTarget(RunTargetOf(command), e ? e->m_nStart : -1, e ? e->m_nEnd : -1);
  Find();
  stops.ClearTarget();  // the job has paused or ended: the worker no longer reads it
}

// In the hook (match worker), after the event was recorded.
bool CKorvaneDoc::StopRequested(int event, HostContext* ctx, const HostElement* element, int outcome,
                                const TraceStackEntry<unsigned short>* stack, int depth) {
  TraceStep t;
  if (!m_debug->StopAt(event, ctx, element, outcome, stack, depth, &t)) return false;
  PauseInHook(t);
  return true;
}
