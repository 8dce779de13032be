// Breakpoints and the run-to commands in the document: toggling on the current element, the
// stops the trace hook makes for them, and running a traced search on to a target.
#include <memory>

#include "app/document/debugger/breakpoints.h"
#include "app/document/core/korvane_doc.h"

namespace {

bool RightToLeftAt(const HostElement* e, int patternFlags) {
  switch (e->m_nKind) {
    case ELEMENT_STRING: return static_cast<const CStringElement<unsigned short>*>(e)->m_bRightLeft;
    case ELEMENT_CHARSET: return static_cast<const CCharsetElement<unsigned short>*>(e)->m_bRightLeft;
    case ELEMENT_POSIX: return static_cast<const CPosixElement<unsigned short>*>(e)->m_bRightLeft;
    case ELEMENT_BACKREF: return static_cast<const CBackrefElement<unsigned short>*>(e)->m_bRightLeft;
    default: return (patternFlags & RIGHTTOLEFT) != 0;
  }
}

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

CDebugStops& CKorvaneDoc::DebugStops() {
  if (!m_pStops) {
    m_pStops = std::make_shared<CDebugStops>();
    m_pStops->Bind(m_pattern.compiled, m_pattern.rank);
  }
  return *m_pStops;
}

bool CKorvaneDoc::HasBreakpoint(int spanStart, int spanEnd) const {
  return m_pStops && m_pStops->Has(spanStart, spanEnd);
}

bool CKorvaneDoc::ToggleBreakpoint() {
  if (IsJobActive() && !IsPaused()) return false;
  const HostElement* e = m_pCurrentElement;
  if (!e) return false;
  CDebugStops& stops = DebugStops();
  const bool had = stops.Has(e->m_nStart, e->m_nEnd);
  const bool now = stops.Toggle(e->m_nStart, e->m_nEnd);
  if (had == now) return false;
  m_bModified = true;
  Notify(nullptr, HINT_RECOLOR_PATTERN | HINT_CURRENT_ELEMENT);
  return true;
}

void CKorvaneDoc::RebindStops() {
  if (m_pStops) m_pStops->Bind(m_pattern.compiled, m_pattern.rank);
}

// A job that is waited for in Trace mode stops at breakpoints and run-to targets; hits count
// from the start of each job.
void CKorvaneDoc::ArmStops(bool armed) {
  m_bStopsArmed = armed;
  if (m_pStops) m_pStops->ResetHits();
}

void CKorvaneDoc::NoteCurrentElementChosen() {
  m_bChosenWhilePaused = IsJobActive() && IsPaused();
  m_nChosenAtStep = m_bChosenWhilePaused ? ShownHistoryIndex() : -1;
  m_nChosenAtEnd = m_bChosenWhilePaused ? m_history.End() : -1;
}

// The step a search paused at is what the views show as current (the tree selects its element,
// the pattern box marks it), so the run-to commands aim there too; a choice the user made at
// this same step wins. A choice made before the search, or at an earlier step, does not: the
// caret left at the end of the pattern box must not decide where a run stops.
const HostElement* CKorvaneDoc::RunToTarget() const {
  if (IsJobActive() && IsPaused()) {
    const bool chosenHere =
        m_bChosenWhilePaused && m_nChosenAtStep == ShownHistoryIndex() && m_nChosenAtEnd == m_history.End();
    const HostElement* paused = GetTraceStep().element;
    if (paused && !(chosenHere && m_pCurrentElement)) return paused;
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
  CDebugStops& stops = DebugStops();
  stops.SetTarget(RunTargetOf(command), e ? e->m_nStart : -1, e ? e->m_nEnd : -1);
  Find();
  stops.ClearTarget();  // the job has paused or ended: the worker no longer reads it
}

bool CKorvaneDoc::StopRequested(int event, HostContext* ctx, const HostElement* element, int outcome,
                                const TraceStackEntry<unsigned short>* stack, int depth) {
  if (!m_bStopsArmed || !m_pStops || depth <= 0) return false;
  const TraceStackEntry<unsigned short>& inner = stack[depth - 1];
  const bool stop = event == TRACE_ENTER ? m_pStops->OnEnter(element, ctx->m_nCurrentPos, inner.retry != 0, depth)
                                         : m_pStops->OnExit(element, outcome, depth);
  if (!stop) return false;
  TraceStep t;
  t.element = element;
  t.event = event;
  t.attemptStart = ctx->m_captureStack.GetSize() > 1 ? ctx->m_captureStack[1] : ctx->m_nBeginPos;
  t.regionStart = inner.start;
  for (int i = 0; i < depth; ++i)
    if (stack[i].element->m_nKind == ELEMENT_ASSERTION || i == depth - 1) {
      t.regionStart = stack[i].start;
      break;
    }
  if (event == TRACE_ENTER) {
    // About to match: a first entry shows the place it starts from, a retry what the element
    // had matched (from where it began to where it is asked for another way).
    t.outcome = 1;
    t.elementStart = inner.start;
    t.elementEnd = inner.retry ? inner.entryPos : inner.start;
  } else {
    t.outcome = outcome ? 1 : (inner.retry ? -1 : 0);
    t.elementStart = inner.start;
    t.elementEnd = t.outcome == -1 ? inner.entryPos : ctx->m_nCurrentPos;
  }
  if (t.elementStart == t.elementEnd) t.elementEnd += RightToLeftAt(element, m_pattern.flags) ? -1 : 1;
  // The event was recorded just before (TraceHookProc): stepping back can return here.
  if (m_bRecordHistory && !m_history.Empty()) {
    try {
      m_livePauses.push_back(m_history.End() - 1);
    } catch (...) {  // out of memory: this stop is only not found again by Step Back
    }
  }
  PauseInHook(t);
  return true;
}
