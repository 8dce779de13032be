// Tracing: the hook the match worker calls on every element entry and exit (abort, recursion
// guard, pause at text-consuming elements, fail-point tracking), Continue and Step Match, and the
// time-limited background check that finds where a failing match got furthest.
#include <algorithm>
#include <new>

#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "platform/profile.h"
#include "platform/time_stamps.h"

namespace {

const int kBackgroundLimitMs = 800;
const int kBackgroundAbortWaitMs = 200;
const int kStopWaitMs = 3000;
const int kDefaultRecursionLimit = 5000;
// A larger setting is cut down to stay below the engine's own nesting limit of the host build
// (TARNO_MAX_NESTING, 20000): that limit stops the search with a bare status, this guard says
// why in the user's terms.
const int kMaxRecursionLimit = 15000;

std::atomic<int> g_recursionLimit{0};  // 0 until read

bool IsOnStack(const HostElement* e, const TraceStackEntry<unsigned short>* stack, int depth) {
  if (!e) return false;
  for (int i = 0; i < depth - 1; ++i)
    if (stack[i].element == e) return true;
  return false;
}

}  // namespace

int CKorvaneDoc::RecursionLimit() {
  int limit = g_recursionLimit.load();
  if (limit > 0) return limit;
  CProfile settings;
  limit = settings.GetInt(QStringLiteral("Settings"), QStringLiteral("StackOverflow"), kDefaultRecursionLimit);
  SetRecursionLimit(limit);
  return g_recursionLimit.load();
}

void CKorvaneDoc::SetRecursionLimit(int limit) {
  if (limit < 1) limit = kDefaultRecursionLimit;
  if (limit > kMaxRecursionLimit) limit = kMaxRecursionLimit;
  g_recursionLimit = limit;
}

// Pre-order walk from the root with an explicit stack (patterns can be wide and deep); shared
// and recursion targets are ranked at their first visit.
void CKorvaneDoc::RankElements() {
  const HostRegexp& re = m_pattern.compiled;
  std::vector<int>& rank = m_pattern.rank;
  rank.assign(re.GetElementCount(), -1);
  std::vector<const HostElement*> todo;
  if (re.GetRoot()) todo.push_back(re.GetRoot());
  int next = 0;
  std::vector<const HostElement*> parts;
  while (!todo.empty()) {
    const HostElement* e = todo.back();
    todo.pop_back();
    if (!e || e->m_nPoolIndex < 0 || e->m_nPoolIndex >= static_cast<int>(rank.size()) || rank[e->m_nPoolIndex] >= 0)
      continue;
    rank[e->m_nPoolIndex] = next++;
    parts.clear();
    switch (e->m_nKind) {
      case ELEMENT_ALTERNATIVE: {
        const auto* a = static_cast<const CAlternativeElement<unsigned short>*>(e);
        for (int i = 0; i < a->m_elements.GetSize(); ++i) parts.push_back(a->m_elements[i]);
        break;
      }
      case ELEMENT_LIST: {
        const auto* l = static_cast<const CListElement<unsigned short>*>(e);
        const int n = l->m_elements.GetSize();
        for (int i = 0; i < n; ++i) parts.push_back(l->m_elements[l->m_bRightLeft ? n - 1 - i : i]);
        break;
      }
      case ELEMENT_ASSERTION:
        parts.push_back(static_cast<const CAssertionElement<unsigned short>*>(e)->m_pElement);
        break;
      case ELEMENT_INDEPENDENT:
        parts.push_back(static_cast<const CIndependentElement<unsigned short>*>(e)->m_pElement);
        break;
      case ELEMENT_GREEDY:
      case ELEMENT_POSSESSIVE:
      case ELEMENT_RELUCTANT:
      case ELEMENT_FIXED:
        parts.push_back(static_cast<const CRepeatBase<unsigned short>*>(e)->m_pElement);
        break;
      case ELEMENT_DELEGATE:
        parts.push_back(static_cast<const CDelegateElement<unsigned short>*>(e)->m_pTarget);
        break;
      case ELEMENT_CHARSET: {
        const auto* c = static_cast<const CCharsetElement<unsigned short>*>(e);
        for (int i = 0; i < c->m_embedded.GetSize(); ++i) parts.push_back(c->m_embedded[i]);
        break;
      }
      case ELEMENT_CONDITIONAL: {
        const auto* c = static_cast<const CConditionalElement<unsigned short>*>(e);
        parts.push_back(c->m_pCondition);
        parts.push_back(c->m_pYes);
        parts.push_back(c->m_pNo);
        break;
      }
      default:
        break;
    }
    for (size_t i = parts.size(); i-- > 0;) todo.push_back(parts[i]);  // first part on top
  }
  // Elements no match reaches (an atom repeated zero times) come last.
  for (int& r : rank)
    if (r < 0) r = next++;
}

int CKorvaneDoc::Rank(const HostElement* e) const {
  const int i = e->m_nPoolIndex;
  return (i >= 0 && i < static_cast<int>(m_pattern.rank.size())) ? m_pattern.rank[i] : i;
}

void CKorvaneDoc::ClearTraceState() {
  m_debug->ClearLiveStep();
  m_failPoint = FailPoint();
}

bool CKorvaneDoc::ShowsFailPoint() const {
  if (m_matchWorker.IsBusy() || !m_failPoint.failElement) return false;
  std::vector<MatchHandle> results = GetResults();
  return results.empty() || !results.front()->result.IsMatched();
}

// ---------------------------------------------------------------------------------------------
// The hook (match worker)

void CKorvaneDoc::TraceHookProc(int event, HostContext* ctx, const HostElement* element, int outcome,
                                const TraceStackEntry<unsigned short>* stack, int depth, void* user) {
  CKorvaneDoc* doc = static_cast<CKorvaneDoc*>(user);
  if (event == TRACE_ENTER) {
    // The root's first entry at the bottom of the stack begins an attempt, which the wait
    // dialog's progress shows.
    if (depth == 1 && !stack[0].retry) {
      const int at = stack[0].entryPos;
      doc->m_steps.Count(at);
      doc->m_nProgressPosition.store(
          (doc->m_pattern.flags & RIGHTTOLEFT) ? static_cast<int>(doc->m_subject.size()) - at : at,
          std::memory_order_relaxed);
    } else {
      doc->m_steps.Count(-1);
    }
    if (doc->m_bAbort.load(std::memory_order_relaxed)) throw CMatchBreak(CMatchBreak::ABORTED);
    if (depth > RecursionLimit() && ctx->m_nLength >= 0) {
      // The message is shown by the UI thread once the job has ended.
      doc->m_bStackOverflow = true;
      throw CMatchBreak(CMatchBreak::RECURSION_LIMIT);
    }
    CDebugSession& debug = *doc->m_debug;
    if (debug.Recording()) debug.Record(TRACE_ENTER, ctx, 0, stack, depth);
    if (debug.StopsArmed()) doc->StopRequested(TRACE_ENTER, ctx, element, 0, stack, depth);
    return;
  }
  CDebugSession& debug = *doc->m_debug;
  if (debug.Recording()) debug.Record(TRACE_EXIT, ctx, outcome, stack, depth);
  if (debug.StopsArmed()) doc->StopRequested(TRACE_EXIT, ctx, element, outcome, stack, depth);
  doc->OnTraceExit(ctx, element, outcome, stack, depth);
}

void CKorvaneDoc::OnTraceExit(HostContext* ctx, const HostElement* element, int outcome,
                              const TraceStackEntry<unsigned short>* stack, int depth) {
  if (m_bPauseAtStep.load(std::memory_order_relaxed) && ElementConsumesText(element) && depth > 0) {
    const int attemptStart = ctx->m_captureStack.GetSize() > 1 ? ctx->m_captureStack[1] : ctx->m_nBeginPos;
    PauseInHook(MakeTraceStep(TRACE_EXIT, element, outcome, attemptStart, ctx->m_nCurrentPos, stack, depth,
                              m_pattern.flags));
  }
  if (m_nProgressCount.load(std::memory_order_relaxed) == 0) TrackFailPoint(ctx, element, outcome, stack, depth);
}

void CKorvaneDoc::TrackFailPoint(HostContext* ctx, const HostElement* element, int outcome,
                                 const TraceStackEntry<unsigned short>* stack, int depth) {
  FailPoint& f = m_failPoint;
  const int index = Rank(element);
  const int attemptStart = ctx->m_captureStack.GetSize() > 1 ? ctx->m_captureStack[1] : ctx->m_nBeginPos;
  if (outcome) {
    if (f.furthestIndex <= index) {
      f.successStart = attemptStart;
      f.furthestIndex = index + 1;
      if (f.failElement == element) f.failElement = nullptr;
    }
    if (element->m_nKind == ELEMENT_RELUCTANT) f.reluctantSeen = true;
    f.previousElement = nullptr;
    return;
  }
  if (f.furthestIndex <= index) {
    bool failOnStack = IsOnStack(f.failElement, stack, depth);
    bool record = !f.failElement || (Rank(f.failElement) < index && !failOnStack) ||
                  (!IsOnStack(f.previousElement, stack, depth) && !failOnStack && f.reluctantSeen &&
                   attemptStart == f.successStart);
    if (record && depth > 0) {
      const TraceStackEntry<unsigned short>& inner = stack[depth - 1];
      f.reluctantSeen = false;
      f.furthestIndex = index;
      f.failElement = element;
      f.failAttemptStart = attemptStart;
      f.failRegionStart = TraceRegionStart(stack, depth);
      f.elementDelta = element->m_nOffset;
      f.failSpanStart = inner.start + f.elementDelta;
      f.failSpanEnd = ctx->m_nCurrentPos + f.elementDelta;
      if (f.failSpanEnd == f.failSpanStart) f.failSpanEnd += ElementRunsRightToLeft(element, m_pattern.flags) ? -1 : 1;
    }
  }
  if (element->m_nKind != ELEMENT_BRACKET) f.previousElement = element;
}

// Blocks the worker at `t` until the UI resumes it.
void CKorvaneDoc::PauseInHook(const TraceStep& t) {
  // The time spent paused is the user's, not the search's: the job's clock skips it.
  const std::int64_t pausedAt = CTimeStamps::Process().Now();
  m_debug->SetLiveStep(t);
  {
    std::lock_guard<std::mutex> lock(m_dialogLock);
    m_bPaused = true;
    if (m_bDialogOpen && m_pUi) m_pUi->CloseWaitDialog();
  }
  m_pausedEvent.Set();
  m_resumeEvent.Wait();  // whoever sets it has cleared m_bPaused first (ResumeWorker)
  m_resumeEvent.Reset();
  const std::int64_t paused = CTimeStamps::Process().Now() - pausedAt;
  m_nJobStart += paused;
  m_nJobEnd += paused;
}

// ---------------------------------------------------------------------------------------------
// Continue and Step Match (UI thread)

void CKorvaneDoc::Continue() {
  m_debug->ShowLive();
  m_bPauseAtStep = false;
  m_bAbort = false;
  bool wasMatch = GetCurrentResult()->result.IsMatched() != 0;
  m_pausedEvent.Reset();
  ResumeWorker();
  WaitForJob(10);
  if (m_nJobKind == JOB_FIND) {
    PresentSingleStep(!wasMatch, true);
  } else {
    PresentFindAll();
    ShowFindAllMessage();
  }
}

void CKorvaneDoc::StepMatch() {
  if (IsJobActive() && !m_backgroundWorker.IsBusy()) {
    if (m_debug->IsViewingHistory() && IsPaused()) {
      // Forward through the history first; its last step is the live pause.
      const std::int64_t next = m_debug->NextPauseStep(m_debug->ShownHistoryIndex());
      if (next < 0 || !ViewHistory(next)) m_debug->ShowLive();
      Notify(nullptr, HINTS_SEARCH_STEP);
      return;
    }
    m_bPauseAtStep = true;
    m_bAbort = false;
    bool wasMatch = GetCurrentResult()->result.IsMatched() != 0;
    m_pausedEvent.Reset();
    ResumeWorker();
    WaitForJob(500);
    if (m_nJobKind == JOB_FIND)
      PresentSingleStep(!wasMatch, true);
    else
      PresentFindAll();
    return;
  }
  StopBackgroundCheck();
  SetMode(MODE_TRACE);
  if (m_pEditHolder || m_pEditWaiting) return;
  bool fresh = !GetCurrentResult()->result.IsMatched();
  if (fresh) PrepareFreshSearch();
  m_pJobRoot = MatchRoot();
  RunJob(JOB_FIND, true, true);
  PresentSingleStep(fresh, true);
}

// ---------------------------------------------------------------------------------------------
// The background check

void CKorvaneDoc::StartBackgroundCheck() {
  StopBackgroundCheck();
  if (!m_bLocateFailPoint || !m_pattern.compiled.GetRoot()) return;
  if (IsJobActive()) return;
  // Preparing and starting the job happen here on the UI thread; the background worker only
  // waits for it, so it never touches the document's texts.
  if (!GetCurrentResult()->result.IsMatched()) PrepareFreshSearch();
  m_pJobRoot = MatchRoot();
  m_backgroundDoneEvent.Reset();
  m_bBackgroundPending = false;
  m_bCheckGaveUp = false;
  RunJob(JOB_FAIL_POINT, false, false);
  m_backgroundWorker.Run([this](void*) { BackgroundBody(); }, nullptr);
}

// Background worker. It only waits and signals: the document's state is left to the match
// worker (which clears the fail element itself when it is aborted) and to the UI thread.
void CKorvaneDoc::BackgroundBody() {
  CEvent* events[2] = {&m_doneEvent, &m_pausedEvent};
  int r = CEvent::WaitAny(events, 2, kBackgroundLimitMs);
  if (r == CEvent::kTimedOut) {
    m_bPauseAtStep = false;
    m_bAbort = true;
    ResumeWorker();
    // A search that ended just as the time ran out has left a fail point all the same; the UI
    // drops it when it takes this check's end (command 0).
    if (m_doneEvent.Wait(kBackgroundAbortWaitMs)) m_bCheckGaveUp = true;
  } else {
    m_bBackgroundPending = true;
    if (m_pUi) m_pUi->PostCommand(CMD_BACKGROUND_RESULT);
  }
  m_backgroundWorker.ClearBusy();
  m_backgroundDoneEvent.Set();
  if (m_pUi) m_pUi->PostCommand(0);
}

void CKorvaneDoc::StopBackgroundCheck() {
  if (m_backgroundWorker.IsBusy()) {
    if (m_matchWorker.IsBusy()) {
      m_bPauseAtStep = false;
      m_bAbort = true;
      ResumeWorker();
      CEvent* events[2] = {&m_doneEvent, &m_backgroundDoneEvent};
      CEvent::WaitAny(events, 2, kStopWaitMs);
    }
    m_backgroundDoneEvent.Wait(kStopWaitMs);
  }
  // The check's search may outlive the check (it is given 200 ms to end after the abort); a
  // user's search, running or paused, is not the check's to stop.
  if (m_bJobIsBackground) {
    StopJob(kStopWaitMs);
    // What the check's search left (a match, when the pattern matches) is not a step of the
    // user's: dropped here, it would make the next Find go on from it instead of starting fresh.
    std::lock_guard<std::mutex> lock(m_resultsMutex);
    m_currentResult = NewMatchRecord();
    m_lastResult = NewMatchRecord();
    m_nLastSequence = -1;
    m_bJobIsBackground = false;
  }
  m_bBackgroundPending = false;
  m_bCheckGaveUp = false;
}

void CKorvaneDoc::OnBackgroundResult() {
  if (!m_bBackgroundPending.exchange(false)) return;  // a later change made it stale
  SetLastResult(NewMatchRecord());
  if (GetCurrentResult()->result.IsMatched()) {
    m_failPoint.failElement = nullptr;
    m_failPoint.previousElement = nullptr;
  }
  Notify(nullptr, HINTS_SEARCH_STEP);
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  m_currentResult = NewMatchRecord();
}

// Command 0, the check's last act. A check that gave up leaves no fail point (the search it
// broke off has already cleared it; one that ended just in time has not). The run counters its
// search left are shown in Optimize mode.
void CKorvaneDoc::OnBackgroundEnded() {
  if (!m_bCheckGaveUp.exchange(false) || m_matchWorker.IsBusy()) return;
  m_failPoint.failElement = nullptr;
  if (m_nMode == MODE_OPTIMIZE) Notify(nullptr, HINT_COUNTERS);
}
