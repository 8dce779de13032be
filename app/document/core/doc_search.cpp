// Searching: preparing a search, running jobs on the match worker, waiting for them with the wait
// dialog, presenting their results, record navigation.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>

#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "korvane_ids.h"
#include "platform/time_stamps.h"
#include "stringtable.h"

namespace {
// How often the direct search looks at the abort flag and moves the wait dialog's progress: every
// so many steps (tens of microseconds of searching).
const int kDirectPollSteps = 4096;
// How long a direct search may run on the UI thread before the worker takes it over (2 ms, in the
// clock's 100-ns units), how much longer it may go on to end the attempt under way (10 ms), and
// how many results Find All collects before it hands them to the list.
const std::int64_t kInlineBudgetUnits = 20000;
const std::int64_t kInlineGraceUnits = 100000;
const size_t kResultBatch = 256;

// Thrown by the poll when a direct search on the UI thread has used its budget.
struct CInlineBudgetSpent {};
const int kInitialWaitMs = 500;
const int kContinueWaitMs = 10;
const int kPollMs = 10;
// How long a job may go on after the wait dialog closed before the dialog comes back (so that a
// search that neither ends nor pauses after Break can always be broken off again).
const int kReopenDialogMs = 500;

// Counts a wait for a job under way for as long as it lasts.
class CWaitScope {
 public:
  explicit CWaitScope(int* depth) : m_pDepth(depth) { ++*m_pDepth; }
  ~CWaitScope() { --*m_pDepth; }
  CWaitScope(const CWaitScope&) = delete;
  CWaitScope& operator=(const CWaitScope&) = delete;

 private:
  int* m_pDepth;
};

SearchPosition TracedPosition(const HostContext& c) {
  SearchPosition p;
  p.position = c.m_nCurrentPos;
  p.lastMatchEnd = c.m_nLastMatchEnd;
  p.previousLastMatchEnd = c.m_nPrevLastMatchEnd;
  p.matchBound = c.m_nMatchBound;
  p.cutShort = c.m_nStatus != MATCH_COMPLETE;
  return p;
}

void SetTracedPosition(HostContext& c, const SearchPosition& p) {
  c.m_nCurrentPos = p.position;
  c.m_nBeginPos = p.position;
  c.m_nLastMatchEnd = p.lastMatchEnd;
  c.m_nPrevLastMatchEnd = p.previousLastMatchEnd;
  c.m_nMatchBound = p.matchBound;
  c.m_nStatus = p.cutShort ? MATCH_NESTING_LIMIT : MATCH_COMPLETE;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// The two searches

bool CKorvaneDoc::SearchesTraced() const {
  return m_nMode == MODE_TRACE || m_nMode == MODE_OPTIMIZE || m_bClassic;
}

// The direct search's root for `root` of the traced graph: -1 for the whole pattern, else the
// element's pool index, which stands for the same element when the two graphs are the same.
bool CKorvaneDoc::DirectRootFor(const HostElement* root, int* index) const {
  if (!root || root == m_pattern.compiled.GetRoot()) {
    *index = -1;
    return true;
  }
  if (!m_pattern.sameGraph || root->m_nPoolIndex < 0) return false;
  *index = root->m_nPoolIndex;
  return true;
}

// Before a job: the context that runs it takes the search over from the one that ran the last
// job, at the position the next match depends on.
void CKorvaneDoc::MoveSearchTo(bool traced) {
  if (m_nLive == LIVE_BOTH || m_nLive == (traced ? LIVE_TRACED : LIVE_DIRECT)) return;
  if (traced)
    SetTracedPosition(m_ctx, m_direct.Position());
  else
    m_direct.SetPosition(TracedPosition(m_ctx));
}

void CKorvaneDoc::DirectPoll(void* user, int attemptStart, std::uint64_t) {
  CKorvaneDoc* doc = static_cast<CKorvaneDoc*>(user);
  // The worker takes the search over at the start of an attempt where it can: an attempt
  // broken off is begun again, and what it had explored is lost.
  if (doc->m_bInline) {
    const std::int64_t now = CTimeStamps::Process().Now();
    if (now >= doc->m_nInlineUntil) {
      if (doc->m_nInlineAttempt < 0)
        doc->m_nInlineAttempt = attemptStart;
      else if (attemptStart != doc->m_nInlineAttempt || now >= doc->m_nInlineLatest)
        throw CInlineBudgetSpent();
    }
  }
  const int length = static_cast<int>(doc->m_subject.size());
  doc->m_nProgressPosition.store((doc->m_pattern.flags & RIGHTTOLEFT) ? length - attemptStart : attemptStart,
                                 std::memory_order_relaxed);
  if (doc->m_bAbort.load(std::memory_order_relaxed)) throw CMatchBreak(CMatchBreak::ABORTED);
}

const HostElement* CKorvaneDoc::MatchRoot() const {
  if (m_bOnlyCurrentNode && m_pCurrentElement && m_pCurrentElement->m_nKind != ELEMENT_EMPTY) return m_pCurrentElement;
  return m_pattern.compiled.GetRoot();
}

void CKorvaneDoc::PrepareFreshSearch() {
  m_pJobRoot = MatchRoot();
  // Both searches start here; whichever runs first goes on from here, and the other takes over
  // from where it stood (MoveSearchTo).
  m_pattern.compiled.PrepareMatch(m_subject.data(), static_cast<int>(m_subject.size()), m_nStartPoint, &m_ctx);
  m_direct.Prepare(m_pattern.direct, m_subject.data(), static_cast<int>(m_subject.size()), m_nStartPoint);
  // The direct search stops where the traced one's recursion guard would (its nesting counts
  // the composite elements under way, the trace depth those and the element entered).
  m_direct.SetMaxNesting(RecursionLimit() - 1);
  m_nLive = LIVE_BOTH;
  m_nDirectStepsTaken = 0;
  m_store.Clear();  // a new search starts a block of its own
  m_steps.Clear();
  m_debug->ClearHistory();
  std::vector<MatchHandle> dropped;
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  dropped.swap(m_results);
}

// Stops a running or paused job: no more pausing, abort at the next element entry, let a paused
// worker go on, and wait for the end.
void CKorvaneDoc::StopJob(int waitMs) {
  if (!m_matchWorker.IsBusy()) return;
  m_bPauseAtStep = false;
  m_bAbort = true;
  ResumeWorker();
  if (!m_doneEvent.Wait(waitMs)) {
    // The worker sees the abort at its next element entry, so this only happens on a machine
    // that is very busy. Going on now would change the pattern under a running search.
    while (m_matchWorker.IsBusy() && !m_doneEvent.Wait(waitMs)) {
    }
  }
}

void CKorvaneDoc::ResumeWorker() {
  m_bPaused = false;
  m_resumeEvent.Set();
}

// ---------------------------------------------------------------------------------------------
// Running a job

int CKorvaneDoc::RunJob(int kind, bool pauseAtStep, bool waitForIt) {
  m_bAbort = false;
  m_bStackOverflow = false;
  {
    std::lock_guard<std::mutex> lock(m_dialogLock);
    m_bDone = false;
    m_bDialogOpen = false;
  }
  m_doneEvent.Reset();
  m_pausedEvent.Reset();
  m_resumeEvent.Reset();
  m_bPauseAtStep = pauseAtStep;
  if (!m_pJobRoot) m_pJobRoot = MatchRoot();
  // The path: traced where the trace is shown or counted, direct otherwise. The fail-point check
  // starts direct and traces only a search that finds nothing.
  int directRoot = -1;
  const bool directRootKnown = DirectRootFor(m_pJobRoot, &directRoot);
  m_bJobTraced = pauseAtStep || SearchesTraced() || !directRootKnown;
  if (kind == JOB_FAIL_POINT && m_bJobTraced) kind = JOB_FIND;
  if (!m_bJobTraced) {
    m_nDirectRoot = directRoot;
    m_direct.SetRoot(directRoot);
  }
  MoveSearchTo(m_bJobTraced);
  m_nLive = m_bJobTraced ? LIVE_TRACED : LIVE_DIRECT;
  m_bStepsTraced = m_bJobTraced;
  m_nJobKind = kind;
  m_bJobIsBackground = !waitForIt;
  m_debug->BeginJob(waitForIt && m_nMode == MODE_TRACE, waitForIt && m_nMode == MODE_TRACE);
  // The wait dialog starts from where this search stands: the entries found so far and the end
  // of the last one (its start, counted from the text end, right to left), else nothing.
  {
    std::lock_guard<std::mutex> lock(m_resultsMutex);
    int position = 0;
    if (!m_results.empty()) {
      const StoredMatch& last = m_results.back()->result;
      position = (m_pattern.flags & RIGHTTOLEFT) ? static_cast<int>(m_subject.size()) - last.GetStart()
                                                 : last.GetEnd();
    }
    m_nProgressCount = static_cast<int>(m_results.size());
    m_nProgressPosition = position;
  }
  m_nJobStart = CTimeStamps::Process().Now();
  m_nJobEnd = m_nJobStart;
  m_nJobEndTick = CTickClock::Now();
  // A direct search the user waits for starts on this thread: most end within the budget, and
  // the hand-over to the worker and back costs more than they do. One that goes on longer stops
  // at the start of its attempt and the worker takes it up from there.
  if (waitForIt && !m_bJobTraced && kind != JOB_FAIL_POINT) {
    m_bInline = true;
    m_nInlineUntil = m_nJobStart + kInlineBudgetUnits;
    m_nInlineLatest = m_nInlineUntil + kInlineGraceUnits;
    m_nInlineAttempt = -1;
    const bool ended = RunBody();
    m_bInline = false;
    if (ended) {
      FinishJob();
      return WAIT_DONE;
    }
  }
  m_matchWorker.Run([this](void*) { JobBody(); }, nullptr);
  return waitForIt ? WaitForJob(kInitialWaitMs) : WAIT_TIMEOUT;
}

int CKorvaneDoc::WaitForJob(int initialMs) {
  const CWaitScope waiting(&m_nWaitDepth);
  CEvent* events[2] = {&m_doneEvent, &m_pausedEvent};
  // Until the dialog opens, the window goes on painting and its timers run (no user input: a
  // command of the user waits for the dialog), so that a search of half a second does not
  // freeze it.
  const auto dialogAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(initialMs);
  int r = CEvent::kTimedOut;
  for (;;) {
    const long long left = std::max<long long>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(dialogAt - std::chrono::steady_clock::now()).count());
    const bool last = !m_pUi || left <= kPollMs;
    r = CEvent::WaitAny(events, 2, static_cast<int>(last ? left : kPollMs));
    if (r != CEvent::kTimedOut || last) break;
    m_pUi->PumpEvents();
  }
  while (r == CEvent::kTimedOut) {
    if (m_pUi) m_pUi->RunWaitDialog(this);
    // The dialog has closed: the job ended or paused, or the user broke it off, and then it ends
    // or pauses at its next element. Should it go on all the same, the dialog comes back.
    const auto reopenAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReopenDialogMs);
    for (;;) {
      r = CEvent::WaitAny(events, 2, kPollMs);
      if (r != CEvent::kTimedOut) break;
      if (m_pUi) m_pUi->PumpEvents();
      if (m_pUi && std::chrono::steady_clock::now() >= reopenAt) break;
    }
  }
  return r;
}

bool CKorvaneDoc::WaitDialogOpening() {
  std::lock_guard<std::mutex> lock(m_dialogLock);
  if (m_bDone || m_bPaused) return false;
  m_bDialogOpen = true;
  return true;
}

void CKorvaneDoc::WaitDialogClosed() {
  std::lock_guard<std::mutex> lock(m_dialogLock);
  m_bDialogOpen = false;
}

void CKorvaneDoc::WaitDialogBreak() {
  // In Trace mode Break pauses at the next text-consuming element. A search that is already
  // headed for a pause (Step, or a second Break because none came) is aborted instead: it may
  // never reach such an element.
  if (m_nMode == MODE_TRACE && !m_bPauseAtStep) {
    m_bPauseAtStep = true;
  } else {
    m_bAbort = true;
    m_bPauseAtStep = false;
  }
}

void CKorvaneDoc::WaitDialogProgress(int* count, int* position, int* range) const {
  *count = m_nProgressCount.load();
  *position = m_nProgressPosition.load();
  *range = static_cast<int>(m_subject.size());
}

// ---------------------------------------------------------------------------------------------
// Job bodies (match worker)

void CKorvaneDoc::JobBody() {
  RunBody();
  FinishJob();
}

// Runs the job on the calling thread: true when it ended (with an answer, aborted or at the
// recursion guard), false when it ran out of the inline budget and stands where the worker can
// take it up again.
bool CKorvaneDoc::RunBody() {
  const CTimeStamps& clock = CTimeStamps::Process();
  try {
    if (m_nJobKind == JOB_FAIL_POINT)
      FailPointJobBody();
    else if (m_bJobTraced)
      TracedJobBody();
    else
      DirectJobBody();
  } catch (const CInlineBudgetSpent&) {
    return false;
  } catch (const std::bad_alloc&) {
    // Out of memory for the stacks: end the search as the recursion guard does.
    m_bStackOverflow = true;
    std::lock_guard<std::mutex> lock(m_resultsMutex);
    m_currentResult = NewMatchRecord();
    m_currentResult->steps = TakeJobSteps();
    m_lastResult = m_currentResult;
    m_nLastSequence = -1;
  } catch (const CMatchBreak& b) {
    std::lock_guard<std::mutex> lock(m_resultsMutex);
    if (b.reason == CMatchBreak::RECURSION_LIMIT) {
      m_bStackOverflow = true;
      m_currentResult = NewMatchRecord();
      m_currentResult->steps = TakeJobSteps();
      m_currentResult->traced = m_bJobTraced ? 1 : 0;
      m_lastResult = m_currentResult;
      m_nLastSequence = -1;
    } else {
      // The steps of the broken-off search are its own, not the next result's.
      m_lastResult = NewMatchRecord();
      m_nLastSequence = -1;
      m_lastResult->steps = TakeJobSteps();
      m_lastResult->traced = m_bJobTraced ? 1 : 0;
      m_failPoint.failElement = nullptr;
      m_nJobEnd = clock.Now();  // Find All's total time runs up to the abort
    }
  }
  return true;
}

// The end of a job, on the thread that ran its last part.
void CKorvaneDoc::FinishJob() {
  m_dTotalElapsed = CTimeStamps::ElapsedSeconds(m_nJobStart, m_nJobEnd);
  std::lock_guard<std::mutex> lock(m_dialogLock);
  m_bDone = true;
  if (m_bDialogOpen && m_pUi) m_pUi->CloseWaitDialog();
  m_matchWorker.ClearBusy();
  m_doneEvent.Set();
}

// The steps since the last result, from the search that runs the job (match worker).
unsigned CKorvaneDoc::TakeJobSteps() {
  if (!m_bJobTraced) {
    const std::uint64_t now = m_direct.Steps();
    m_steps.Add(now - m_nDirectStepsTaken);
    m_nDirectStepsTaken = now;
  }
  return m_steps.TakeSinceMark();
}

// Stores one search step's result (match worker): as the current and last result, and in Find
// All also in the results list, which the UI thread may read meanwhile.
void CKorvaneDoc::StoreStep(const MatchHandle& h, std::int64_t now, bool listed) {
  const bool rtl = (m_pattern.flags & RIGHTTOLEFT) != 0;
  h->elapsed = static_cast<float>(CTimeStamps::ElapsedSeconds(m_nJobEnd, now));
  h->steps = TakeJobSteps();
  h->traced = m_bJobTraced ? 1 : 0;
  m_nJobEnd = now;
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  m_currentResult = h;
  m_lastResult = h;
  m_nLastSequence = -1;
  if (!listed) return;
  m_nLastSequence = 10 * static_cast<int>(m_results.size());
  m_results.push_back(h);
  m_nProgressCount.store(static_cast<int>(m_results.size()), std::memory_order_relaxed);
  m_nProgressPosition.store(rtl ? static_cast<int>(m_subject.size()) - h->result.GetStart() : h->result.GetEnd(),
                            std::memory_order_relaxed);
}

void CKorvaneDoc::TracedJobBody() {
  const CTimeStamps& clock = CTimeStamps::Process();
  if (m_nJobKind == JOB_FIND) {
    SetLastResult(NewMatchRecord());
    MatchHandle h = NewMatchRecord();
    h->result = m_pattern.compiled.Match(&m_ctx, m_pJobRoot);
    StoreStep(h, clock.Now(), false);
    return;
  }
  for (;;) {
    SetLastResult(NewMatchRecord());
    MatchResult found = m_pattern.compiled.Match(&m_ctx, m_pJobRoot);
    const std::int64_t now = clock.Now();
    const bool matched = found.IsMatched() != 0;
    StoreStep(matched ? m_store.Add(found) : NotMatchedSentinel(), now, true);
    if (!matched) break;
  }
}

// The direct search gives the same matches; it cannot pause, and ends without an answer where
// the traced search's recursion guard would fire. Find All hands its results to the list in
// batches, so that a search with many matches takes the list's lock once per batch.
void CKorvaneDoc::DirectJobBody() {
  const CTimeStamps& clock = CTimeStamps::Process();
  m_direct.SetPoll(&CKorvaneDoc::DirectPoll, this, kDirectPollSteps);
  if (m_nJobKind == JOB_FIND) {
    SetLastResult(NewMatchRecord());
    SearchHit hit = m_direct.Next();
    if (hit.HitNestingLimit()) throw CMatchBreak(CMatchBreak::RECURSION_LIMIT);
    MatchHandle h = NewMatchRecord();
    h->result.Assign(hit, nullptr);
    StoreStep(h, clock.Now(), false);
    return;
  }
  const bool rtl = (m_pattern.flags & RIGHTTOLEFT) != 0;
  const int length = static_cast<int>(m_subject.size());
  std::vector<MatchHandle> batch;
  batch.reserve(kResultBatch);
  // The batch goes to the list; its newest result becomes the current and last one.
  auto flush = [&] {
    if (batch.empty()) return;
    const MatchHandle& newest = batch.back();
    const int position = rtl ? length - newest->result.GetStart() : newest->result.GetEnd();
    std::lock_guard<std::mutex> lock(m_resultsMutex);
    m_currentResult = newest;
    m_lastResult = newest;
    const size_t count = m_results.size() + batch.size();
    if (count > m_results.capacity()) {
      // Grown by doubling, a list of hundreds of thousands of results would be copied over
      // and over (and cut to size at the end): room is made at once for what the rest of the
      // text will likely bring, judged by how far the search has come.
      const double done = length > 0 ? static_cast<double>(position) / length : 1.0;
      size_t room = 2 * m_results.capacity();
      if (done > 0.01 && done < 1.0) room = std::max(room, static_cast<size_t>(std::min(count / done * 1.05, 64.0 * count)));
      m_results.reserve(std::max(room, count));
    }
    m_results.insert(m_results.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    batch.clear();
    ScanCostliestLocked();
    const int index = static_cast<int>(m_results.size());
    m_nLastSequence = 10 * (index - 1);
    m_nProgressCount.store(index, std::memory_order_relaxed);
    m_nProgressPosition.store(position, std::memory_order_relaxed);
  };
  // Each result is timed with the tick clock, which costs a fraction of a stamp: a search that
  // finds a match every hundred characters would otherwise spend a fifth of its time reading
  // the clock. The job's total still runs from stamp to stamp.
  const double secondsPerTick = CTickClock::SecondsPerTick();
  try {
    for (;;) {
      SearchHit hit = m_direct.Next();
      if (hit.HitNestingLimit()) throw CMatchBreak(CMatchBreak::RECURSION_LIMIT);
      const std::uint64_t tick = CTickClock::Now();
      const bool matched = hit.IsMatched() != 0;
      if (!matched) m_nJobEnd = clock.Now();  // the total runs to the last result
      MatchHandle h = matched ? m_store.Add(hit) : NotMatchedSentinel();
      h->elapsed = tick > m_nJobEndTick ? static_cast<float>(static_cast<double>(tick - m_nJobEndTick) * secondsPerTick) : 0.0f;
      h->steps = TakeJobSteps();
      h->traced = 0;
      m_nJobEndTick = tick;
      batch.push_back(std::move(h));
      if (!matched || batch.size() == kResultBatch) flush();
      if (!matched) break;
    }
  } catch (...) {
    flush();  // what was found stands, whatever stopped the search
    throw;
  }
}

// The fail point is shown only for a search that finds nothing. The direct search answers
// whether it finds anything; only when it does not, the traced search goes over the same
// attempts again and tracks how far they got (the trace hook's fail-point tracking).
void CKorvaneDoc::FailPointJobBody() {
  const CTimeStamps& clock = CTimeStamps::Process();
  m_direct.SetPoll(&CKorvaneDoc::DirectPoll, this, kDirectPollSteps);
  SetLastResult(NewMatchRecord());
  SearchHit hit = m_direct.Next();
  if (hit.IsMatched() || hit.HitNestingLimit()) {
    if (hit.HitNestingLimit()) throw CMatchBreak(CMatchBreak::RECURSION_LIMIT);
    MatchHandle h = NewMatchRecord();
    h->result.Assign(hit, nullptr);
    StoreStep(h, clock.Now(), false);
    return;
  }
  m_bJobTraced = true;
  m_nLive = LIVE_TRACED;
  m_pattern.compiled.PrepareMatch(m_subject.data(), static_cast<int>(m_subject.size()), m_nStartPoint, &m_ctx);
  MatchHandle h = NewMatchRecord();
  h->result = m_pattern.compiled.Match(&m_ctx, m_pJobRoot);
  StoreStep(h, clock.Now(), false);
}

// ---------------------------------------------------------------------------------------------
// Find, Find All and what they present

void CKorvaneDoc::Message(int textId, double seconds, bool withNumber, const QString& secondLine) {
  if (!m_pUi) return;
  QString text = CStringTable::Str(textId);
  if (withNumber) {
    char number[64];
    std::snprintf(number, sizeof number, "%1.7f", seconds);
    text.replace(QStringLiteral("%1.7f"), QString::fromLatin1(number));
  }
  if (!secondLine.isEmpty()) text += QLatin1Char('\n') + secondLine;
  m_pUi->MessageBox(text, CStringTable::Str(IDS_MSG_CAPTION_INFORMATION), IDocumentUi::ICON_INFORMATION,
                    IDocumentUi::BUTTONS_OK);
}

void CKorvaneDoc::Find() {
  StopBackgroundCheck();  // the check's own job is not the user's search
  if (IsJobActive()) {
    Continue();
    return;
  }
  if (m_pEditHolder || m_pEditWaiting) return;
  bool fresh = !GetCurrentResult()->result.IsMatched();
  if (fresh) PrepareFreshSearch();
  m_pJobRoot = MatchRoot();
  RunJob(JOB_FIND, false, true);
  PresentSingleStep(fresh, true);
}

void CKorvaneDoc::FindAll() {
  StopBackgroundCheck();
  if (m_pEditHolder || m_pEditWaiting) return;
  if (IsJobActive()) return;
  if (!GetCurrentResult()->result.IsMatched()) PrepareFreshSearch();
  m_pJobRoot = MatchRoot();
  RunJob(JOB_FIND_ALL, false, true);
  PresentFindAll();
  ShowFindAllMessage();
}

void CKorvaneDoc::ShowFindAllMessage() {
  if (IsJobActive()) return;  // left paused
  if (m_bStackOverflow) return;
  int textId = IDS_MSG_FIND_ALL_ABORTED;
  if (m_bFindAllFinished) textId = GetResultCount() < 2 ? IDS_MSG_NO_MATCH_FOUND_TIME : IDS_MSG_FIND_ALL_FINISHED;
  Message(textId, m_dTotalElapsed, true, FindAllStepsLine());
}

// The second line of Find All's message: the steps of the whole search and, when it found
// anything, its costliest match (numbered from 1 as the status bar numbers results).
QString CKorvaneDoc::FindAllStepsLine() const {
  const QString total = StepsPhrase(m_steps.Total(), m_bStepsTraced);
  const int best = MostExpensiveResult();
  if (best < 0) return CStringTable::FormatStrings(CStringTable::Str(IDS_MSG_STEPS_TOTAL), {total});
  const MatchHandle h = GetResult(best);
  return CStringTable::FormatStrings(CStringTable::Str(IDS_MSG_FIND_ALL_STEPS),
                                     {total, QString::number(best + 1), QString::number(h->result.GetStart()),
                                      StepsPhrase(h->steps, h->traced != 0)});
}

void CKorvaneDoc::PresentSingleStep(bool fresh, bool messages) {
  NoteHistoryDrops();
  if (IsJobActive()) {  // paused
    Notify(nullptr, HINTS_SEARCH_STEP);
    return;
  }
  if (m_bStackOverflow) {
    if (m_pUi)
      m_pUi->MessageBox(CStringTable::Str(IDS_MSG_STACK_OVERFLOW), CStringTable::Str(IDS_APP_NAME),
                        IDocumentUi::ICON_NONE, IDocumentUi::BUTTONS_OK);
    Notify(nullptr, HINT_COUNTERS);
    return;
  }
  MatchHandle current = GetCurrentResult();
  if (GetLastResult() != current) {  // aborted
    Notify(nullptr, HINT_COUNTERS);
    return;
  }
  if (!current->result.IsMatched()) {
    current->result = NotMatchedSentinel()->result;
    AppendResult(current);
    m_nHighlightStart = m_nHighlightEnd = current->result.GetStart();
    m_nReplaceHighlightStart = m_nReplaceHighlightEnd;
    Notify(nullptr, HINTS_SEARCH_STEP);
    if (messages) Message(fresh ? IDS_MSG_NO_MATCH_FOUND : IDS_MSG_FIND_FINISHED, 0, false);
    return;
  }
  m_nHighlightStart = current->result.GetStart();
  m_nHighlightEnd = current->result.GetEnd();
  AppendResult(current);
  if (m_nMode == MODE_REPLACE) {
    std::vector<MatchHandle> results = GetResults();
    m_replaceResult.Build(static_cast<int>(m_subject.size()), results, static_cast<int>(results.size()),
                          (m_pattern.flags & RIGHTTOLEFT) != 0);
    const std::vector<ReplaceSegment>& segs = m_replaceResult.Segments();
    if (!segs.empty()) {
      const ReplaceSegment& s = (m_pattern.flags & RIGHTTOLEFT) ? segs.front() : segs.back();
      m_nReplaceHighlightStart = s.start;
      m_nReplaceHighlightEnd = s.start + s.length;
    }
  }
  Notify(nullptr, HINTS_SEARCH_RESULTS);
}

void CKorvaneDoc::PresentFindAll() {
  NoteHistoryDrops();
  if (m_bStackOverflow && !IsJobActive()) {
    if (m_pUi)
      m_pUi->MessageBox(CStringTable::Str(IDS_MSG_STACK_OVERFLOW), CStringTable::Str(IDS_APP_NAME),
                        IDocumentUi::ICON_NONE, IDocumentUi::BUTTONS_OK);
  }
  if (!IsJobActive()) {
    // The list grew by doubling while the job ran; a big one keeps up to half its size unused.
    std::lock_guard<std::mutex> lock(m_resultsMutex);
    if (m_results.capacity() - m_results.size() > 4096) m_results.shrink_to_fit();
  }
  // Whether the search ran to the end: the worker leaves the end-of-results record as both the
  // current and the last result; a Break leaves a fresh last one.
  const bool ended = !IsJobActive();
  m_bFindAllFinished = ended && GetLastResult() == GetCurrentResult();
  if (ended) {
    m_nHighlightStart = m_nHighlightEnd = GetCurrentResult()->result.GetStart();
    m_nReplaceHighlightStart = m_nReplaceHighlightEnd;
  } else {
    Notify(nullptr, HINT_RECOLOR_PATTERN);
  }
  if (m_nMode == MODE_REPLACE) {
    VisitResults([&](const std::vector<MatchHandle>& results) {
      int count = static_cast<int>(results.size());
      if (count > 0 && !results.back()->result.IsMatched()) --count;
      m_replaceResult.Build(static_cast<int>(m_subject.size()), results, count, (m_pattern.flags & RIGHTTOLEFT) != 0);
    });
    m_nReplaceHighlightStart = m_nReplaceHighlightEnd;
  }
  // A search that has ended shows its first result, as if the user had gone to it: selected in
  // the subject (and the replace result), its groups in the group list, "1 of N" in the status
  // bar, so that Next and Previous step from there.
  if (ended && RealMatchCount() > 0) {
    const MatchHandle first = GetResult(0);
    SetLastResult(first, 0);
    m_nHighlightStart = first->result.GetStart();
    m_nHighlightEnd = first->result.GetEnd();
    SetReplaceHighlightFromLast();
  }
  Notify(nullptr, HINTS_SEARCH_RESULTS);
  // The status bar times the whole search, not its first result, until the user moves on.
  if (ended && m_pUi && !m_bStackOverflow) m_pUi->ShowElapsedTimeAndSteps(m_dTotalElapsed, m_steps.Total(), m_bStepsTraced);
}

// ---------------------------------------------------------------------------------------------
// Record navigation

void CKorvaneDoc::RecordNavigation(int id) {
  int n = RealMatchCount();
  if (n < 1) return;
  if (m_pattern.flags & RIGHTTOLEFT) {
    switch (id) {
      case CMD_FIRST_RECORD: id = CMD_LAST_RECORD; break;
      case CMD_LAST_RECORD: id = CMD_FIRST_RECORD; break;
      case CMD_NEXT_RECORD: id = CMD_PREV_RECORD; break;
      case CMD_PREV_RECORD: id = CMD_NEXT_RECORD; break;
    }
  }
  int shown = LastResultSequence();
  int index = 0;
  switch (id) {
    case CMD_FIRST_RECORD: index = 0; break;
    case CMD_LAST_RECORD: index = n - 1; break;
    case CMD_NEXT_RECORD: index = (shown + 10) / 10; break;
    case CMD_PREV_RECORD: index = (shown - 1) / 10; break;
  }
  if (index < 0) index = 0;
  if (index > n - 1) index = n - 1;
  MatchHandle h = GetResult(index);
  SetLastResult(h, 10 * index);
  m_nHighlightStart = h->result.GetStart();
  m_nHighlightEnd = h->result.GetEnd();
  SetReplaceHighlightFromLast();
  Notify(nullptr, HINTS_SHOWN_RESULT);
}
