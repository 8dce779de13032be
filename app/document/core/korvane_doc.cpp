// CKorvaneDoc: state, texts, selections, notifications, the editing token and the command table.
// Searching is in doc_search.cpp, tracing in doc_trace.cpp.
#include "app/document/core/korvane_doc.h"

#include "app/document/core/test_session.h"
#include "app/document/backtrack/backtrack_session.h"
#include "app/document/debugger/debug_session.h"
#include "app/document/files/snapshot.h"
#include "app/document/files/text_clips.h"
#include "app/document/pattern/explanation.h"
#include "app/document/flavours/flavour_session.h"
#include "app/document/flavours/flavour_test_check.h"
#include "app/document/matching/split_pieces.h"
#include "platform/time_stamps.h"

#include <algorithm>

#include "korvane_ids.h"
#include "stringtable.h"

CKorvaneDoc::CKorvaneDoc(IDocumentUi* ui)
    : m_pUi(ui), m_snapshots(new CSnapshotTree), m_clips(new CTextClips) {
  m_pattern.explanation = std::make_shared<CExplanation>();
  m_debug.reset(new CDebugSession(m_pattern.compiled, m_pattern.flags, m_pattern.rank));
  m_testSession.reset(new CTestSession(*this));
  // The backtracking session's worker only posts; the command takes what it finished on the UI
  // thread.
  m_backtrack.reset(new CBacktrackSession([this] {
    if (m_pUi) m_pUi->PostCommand(CMD_BACKTRACK_RESULTS);
  }));
  // The flavour session asks for the document's state only when it is about to make a request.
  m_flavours.reset(new CFlavourSession);
  m_flavours->SetSource([this] {
    CFlavourSession::Input in;
    in.pattern = QString::fromUtf16(reinterpret_cast<const char16_t*>(m_pattern.pattern.data()),
                                    static_cast<qsizetype>(m_pattern.pattern.size()));
    in.flags = CFlavourSession::FlagLetters(m_pattern.flags);
    in.rowNames << CStringTable::Str(IDS_FLAVOURS_ROW_TEXT);
    in.subjects << QString::fromUtf16(reinterpret_cast<const char16_t*>(m_subject.data()),
                                      static_cast<qsizetype>(m_subject.size()));
    in.rowFlags << QString();
    for (const TestCase& t : m_testSession->All()) {
      // A test with options of its own runs with them in every engine, as it does here.
      in.rowFlags << (t.ownOptions ? CFlavourSession::FlagLetters(t.flags) : QString());
      in.rowNames << QString::fromUtf16(reinterpret_cast<const char16_t*>(t.name.data()), static_cast<qsizetype>(t.name.size()));
      in.subjects << QString::fromUtf16(reinterpret_cast<const char16_t*>(t.Subject().data()),
                                        static_cast<qsizetype>(t.Subject().size()));
    }
    return in;
  });
  QObject::connect(m_flavours.get(), &CFlavourSession::ChosenChanged, [this] {
    if (!m_bLoadingFlavours) m_bModified = true;
    Notify(nullptr, HINT_RECOLOR_PATTERN);  // the pattern box marks what the chosen flavours read otherwise
  });
  QObject::connect(m_flavours.get(), &CFlavourSession::ActiveChanged, [this] { Notify(nullptr, HINT_RECOLOR_PATTERN); });
  // The tests that must pass in other flavours are checked there in the background; the Tests
  // pane marks those that fail there.
  CFlavourTestCheck& check = m_flavours->TestCheck();
  check.SetSource([this] {
    CFlavourTestCheck::Input in;
    in.pattern = m_pattern.pattern;
    in.flags = m_pattern.flags;
    in.tests = m_testSession->Shared();
    in.timeLimitMs = m_testSession->TimeLimit();
    return in;
  });
  QObject::connect(&check, &CFlavourTestCheck::Checked, [this] { Notify(nullptr, HINT_TEST_RESULTS); });
  CTickClock::CountsProcessorTicks();  // starts the stretch the tick rate is measured over
  m_ctx.m_pfnTraceHook = &CKorvaneDoc::TraceHookProc;
  m_ctx.m_pUserData = this;
  m_currentResult = NewMatchRecord();
  m_lastResult = m_currentResult;
  Clear();
  Recompile();
  ReparseReplaceTo();
  m_clips->Open();
}

CKorvaneDoc::~CKorvaneDoc() {
  m_testSession->Stop();  // abandons a run and ends its worker before anything it reads goes
  m_backtrack.reset();   // the same for an analysis
  m_flavours.reset();    // kills its runners before the source it calls goes
  StopBackgroundCheck();
  m_bAbort = true;
  m_bPauseAtStep = false;
  ResumeWorker();
  m_matchWorker.Stop();
  m_backgroundWorker.Stop();
  m_clips->Close();
  m_views.clear();
}

// ---------------------------------------------------------------------------------------------
// Views and notifications

void CKorvaneDoc::AddView(CDocView* view) {
  if (view) m_views.push_back(view);
}

void CKorvaneDoc::RemoveView(CDocView* view) {
  for (size_t i = 0; i < m_views.size(); ++i)
    if (m_views[i] == view) {
      m_views.erase(m_views.begin() + i);
      break;
    }
  if (m_pEditHolder == view) m_pEditHolder = nullptr;
  if (m_pEditWaiting == view) m_pEditWaiting = nullptr;
}

void CKorvaneDoc::UpdateAllViews(CDocView* sender, int hint) {
  // Whatever can change a row of the flavour matrix; the session waits for the edits to pause.
  if (m_flavours && (hint & (HINT_RECOMPILED | HINT_PATTERN_REPLACED | HINT_SUBJECT_REPLACED | HINT_TESTS)))
    m_flavours->Changed();
  if (m_flavours && (hint & (HINT_RECOMPILED | HINT_PATTERN_REPLACED | HINT_TESTS))) m_flavours->TestCheck().Changed();
  // A view may add or remove views while it updates (mode changes do); walk a copy.
  std::vector<CDocView*> views = m_views;
  for (CDocView* v : views)
    if (v != sender && std::find(m_views.begin(), m_views.end(), v) != m_views.end()) v->OnUpdate(sender, hint);
}

void CKorvaneDoc::Notify(CDocView* sender, int hint) {
  // Clip changes are written as they are made; what is still unwritten goes first, so that the
  // views show what the file holds.
  if (hint & HINT_CLIPS) m_clips->Publish();
  UpdateAllViews(sender, hint);
  if ((hint & HINT_RESULTS) && m_pUi) {
    MatchHandle last = GetLastResult();
    bool traced = true;
    const std::uint64_t steps = ShownSteps(&traced);
    m_pUi->ShowElapsedTimeAndSteps(last->elapsed, steps, traced);
    m_pUi->ShowResultPosition(LastResultSequence() / 10 + 1, RealMatchCount());
  }
  if (hint & HINT_CLIPS) ShowClipsNotice();
}

// ---------------------------------------------------------------------------------------------
// Pattern state and texts

void CKorvaneDoc::Recompile() {
  PatternState& p = m_pattern;
  const int length = static_cast<int>(p.pattern.size());
  p.compiled.Compile(p.pattern.data(), length, p.flags);
  p.compiled.SetStartPointOnly(p.startPointOnly);
  p.direct.Compile(p.pattern.data(), length, p.flags);
  p.direct.SetStartPointOnly(p.startPointOnly);
  // The two builds make the same graph from the same text; should they ever not, a search from
  // one element of it (Only Current Node) stays on the traced path.
  p.sameGraph = p.direct.ElementCount() == p.compiled.GetElementCount();
  for (int i = 0; p.sameGraph && i < p.compiled.GetElementCount(); ++i) {
    const HostElement* e = p.compiled.GetElement(i);
    int kind = 0, start = 0, end = 0;
    p.sameGraph = p.direct.ElementAt(i, &kind, &start, &end) && kind == e->m_nKind && start == e->m_nStart &&
                  end == e->m_nEnd;
  }
  p.records.Build(p.compiled, p.pattern.data(), static_cast<int>(p.pattern.size()));
  p.explanation->Build(p.records, p.flags);
  RankElements();
  m_debug->RebindStops();
  UpdateCurrentElementFromSpan();
}

void CKorvaneDoc::ReparseReplaceTo() {
  m_replaceResult.ParseReplaceTo(m_replaceTo.data(), static_cast<int>(m_replaceTo.size()), m_pattern.compiled);
}

void CKorvaneDoc::UpdateCurrentElementFromSpan() {
  m_pCurrentElement = m_pattern.records.FindInnermost(m_nCurrentStart, m_nCurrentEnd);
}

void CKorvaneDoc::SetPattern(const unsigned short* text, int length, bool markModified) {
  Reset();
  m_pattern.pattern.assign(text, text + (text && length > 0 ? length : 0));
  Recompile();
  ReparseReplaceTo();
  if (markModified) m_bModified = true;
  StartBackgroundCheck();
  m_testSession->Schedule();
}

void CKorvaneDoc::TakeRewrittenPattern() {
  std::vector<unsigned short> text = m_pattern.records.Text();
  SetPattern(text.data(), static_cast<int>(text.size()), true);
}

void CKorvaneDoc::SetSubjectText(const unsigned short* text, int length) {
  Reset();
  m_subject.assign(text, text + (text && length > 0 ? length : 0));
  if (static_cast<int>(m_subject.size()) <= m_nStartPoint) m_nStartPoint = -1;
  m_bModified = true;
  StartBackgroundCheck();
}

void CKorvaneDoc::SetReplaceTo(const unsigned short* text, int length) {
  Reset();
  m_replaceTo.assign(text, text + (text && length > 0 ? length : 0));
  ReparseReplaceTo();
  m_bModified = true;
  m_testSession->Schedule();
}

std::vector<unsigned short> CKorvaneDoc::GetReplacedText() const {
  return m_replaceResult.ReplacedText(m_subject.data(), static_cast<int>(m_subject.size()));
}

// ---------------------------------------------------------------------------------------------
// Results

int CKorvaneDoc::GetResultCount() const {
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  return static_cast<int>(m_results.size());
}

MatchHandle CKorvaneDoc::GetResult(int index) const {
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  return (index >= 0 && index < static_cast<int>(m_results.size())) ? m_results[index] : MatchHandle();
}

std::vector<MatchHandle> CKorvaneDoc::GetResults() const {
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  return m_results;
}

void CKorvaneDoc::VisitResults(const std::function<void(const std::vector<MatchHandle>&)>& visit) const {
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  visit(m_results);
}

int CKorvaneDoc::RealMatchCount() const {
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  int n = static_cast<int>(m_results.size());
  if (n > 0 && !m_results.back()->result.IsMatched()) --n;
  return n;
}

MatchHandle CKorvaneDoc::GetCurrentResult() const {
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  return m_currentResult;
}

MatchHandle CKorvaneDoc::GetLastResult() const {
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  return m_lastResult;
}

int CKorvaneDoc::LastResultSequence() const {
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  return m_nLastSequence;
}

void CKorvaneDoc::SetLastResult(const MatchHandle& h, int sequence) {
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  m_lastResult = h;
  m_nLastSequence = sequence;
}

void CKorvaneDoc::SetLastGap(int sequence) { SetLastResult(NewMatchRecord(), sequence); }

int CKorvaneDoc::IndexOfResult(const MatchHandle& h) const {
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  for (size_t i = 0; i < m_results.size(); ++i)
    if (m_results[i] == h) return static_cast<int>(i);
  return -1;
}

void CKorvaneDoc::AppendResult(const MatchHandle& h) {
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  if (h == m_lastResult) m_nLastSequence = 10 * static_cast<int>(m_results.size());
  m_results.push_back(h);
}

void CKorvaneDoc::DropResults() {
  std::vector<MatchHandle> dropped;
  {
    std::lock_guard<std::mutex> lock(m_resultsMutex);
    dropped.swap(m_results);
  }
  m_store.Clear();
  const bool large = dropped.size() + m_replaceResult.Segments().size() >= 4096;
  if (!large) {
    m_replaceResult.Clear();
    return;
  }
  // Hundreds of thousands of handles and tens of megabytes: freed, and the pages given back to
  // the system, on the disposal thread, while the user goes on editing.
  auto results = std::make_shared<std::vector<MatchHandle>>(std::move(dropped));
  auto replaced = std::make_shared<std::vector<ReplaceSegment>>(m_replaceResult.TakeSegments());
  // Moved into the job, so that the last reference, and with it the freeing, is the job's.
  m_disposal.Post([results = std::move(results), replaced = std::move(replaced)]() mutable {
    results.reset();
    replaced.reset();
    ReleaseFreedMemory();
  });
}

void CKorvaneDoc::WaitForDisposal() { m_disposal.WaitIdle(); }

// The entry that ends a search without a further match: matched 0, highest group 0, start and
// end both at the text end (0 right to left).
MatchHandle CKorvaneDoc::NotMatchedSentinel() const {
  MatchHandle h = NewMatchRecord();
  int at = (m_pattern.flags & RIGHTTOLEFT) ? 0 : static_cast<int>(m_subject.size());
  h->result.SetSpan(0, at, at);
  return h;
}

std::uint64_t CKorvaneDoc::ShownSteps(bool* traced) const {
  if (IsPaused()) {
    if (traced) *traced = true;
    return m_steps.SinceMark();
  }
  const MatchHandle last = GetLastResult();
  if (traced) *traced = last->traced != 0;
  return last->steps;
}

int CKorvaneDoc::MostExpensiveResult() const {
  std::lock_guard<std::mutex> lock(m_resultsMutex);
  ScanCostliestLocked();
  return m_costliest.best;
}

void CKorvaneDoc::ScanCostliestLocked() const {
  CostliestScan& c = m_costliest;
  const MatchRecord* first = m_results.empty() ? nullptr : m_results.front().get();
  if (first != c.first || c.scanned > m_results.size()) c = CostliestScan{first, 0, -1};
  for (size_t i = c.scanned; i < m_results.size(); ++i)
    if (m_results[i]->result.IsMatched() && (c.best < 0 || m_results[i]->steps > m_results[c.best]->steps))
      c.best = static_cast<int>(i);
  c.scanned = m_results.size();
}

void CKorvaneDoc::SetReplaceHighlightFromLast() {
  int seg = m_replaceResult.SegmentOfResult(GetLastResult());
  if (seg >= 0) {
    const ReplaceSegment& s = m_replaceResult.Segments()[seg];
    m_nReplaceHighlightStart = s.start;
    m_nReplaceHighlightEnd = s.start + s.length;
  } else {
    m_nReplaceHighlightStart = m_nReplaceHighlightEnd;
  }
}

// ---------------------------------------------------------------------------------------------
// Selections

void CKorvaneDoc::SelectPatternRange(int start, int end) {
  if (start == end && start > 0) --start;
  SetCurrentElement(m_pattern.records.FindInnermost(start, end));
}

void CKorvaneDoc::SetCurrentElement(const HostElement* element) {
  m_pCurrentElement = element;
  NoteCurrentElementChosen();
  m_nCurrentStart = element ? element->m_nStart : 0;
  m_nCurrentEnd = element ? element->m_nEnd : 0;
  ElementRecord* r = m_pattern.records.Lookup(element);
  if (r) {
    m_nCurrentStart = r->offset;
    m_nCurrentEnd = r->offset + r->length;
  }
  MatchHandle last = GetLastResult();
  if (!last->result.IsMatched()) return;
  int group = -1;
  if (element && element == m_pattern.compiled.GetRoot()) {
    group = 0;
  } else if (r && r->type == ELEMENT_CAPTURE_GROUP) {
    const auto* list = static_cast<const CListElement<unsigned short>*>(r->element);
    group = static_cast<const CBracketElement<unsigned short>*>(list->m_elements[0])->m_nGroup;
  }
  if (group >= 0) {
    const StoredMatch& m = last->result;
    int s = m.GetGroupStart(group), e = m.GetGroupEnd(group);
    if (s < 0) s = m.GetEnd();
    if (e < 0) e = m.GetEnd();
    m_nHighlightStart = s;
    m_nHighlightEnd = e;
  } else {
    m_nHighlightStart = m_nHighlightEnd;
  }
}

void CKorvaneDoc::SetStartPoint(int position) {
  Reset();
  m_nStartPoint = (position >= 1 && position < static_cast<int>(m_subject.size())) ? position : -1;
}

void CKorvaneDoc::SelectSubjectRange(int start, int end) {
  std::vector<MatchHandle> results = GetResults();
  const bool rtl = (m_pattern.flags & RIGHTTOLEFT) != 0;
  int n = static_cast<int>(results.size());
  if (n > 0 && !results.back()->result.IsMatched()) --n;
  int k = 0;
  for (int i = 0; i < n; ++i) {
    const StoredMatch& m = results[i]->result;
    if (m.GetStart() <= start && start <= m.GetEnd() && end <= m.GetEnd()) {
      SetLastResult(results[i], 10 * i);
      SetReplaceHighlightFromLast();
      return;
    }
    if (rtl ? m.GetStart() >= end : m.GetEnd() <= start) ++k;
  }
  SetLastGap(10 * k - 5);
  SetReplaceHighlightFromLast();
}

void CKorvaneDoc::SelectReplaceResultRange(int start, int end) {
  const std::vector<ReplaceSegment>& segs = m_replaceResult.Segments();
  const bool rtl = (m_pattern.flags & RIGHTTOLEFT) != 0;
  MatchHandle chosen;
  int k = 0;
  for (const ReplaceSegment& s : segs) {
    int e = s.start + s.length;
    if (s.start <= start && start <= e && end <= e) {
      chosen = s.match;
      break;
    }
    if (e <= start) ++k;
  }
  int n = static_cast<int>(segs.size());
  if (chosen)
    SetLastResult(chosen, 10 * IndexOfResult(chosen));
  else
    SetLastGap(rtl ? 10 * (n - k) - 5 : 10 * k - 5);
  SetReplaceHighlightFromLast();
}

void CKorvaneDoc::SelectReplaceToPosition(int caret) {
  const ReplaceProgram& program = m_replaceResult.Program();
  if (program.pieces.empty()) return;
  int piece = m_replaceResult.PieceAt(caret);
  if (piece < 0) piece = static_cast<int>(program.pieces.size()) - 1;
  MatchHandle last = GetLastResult();
  int seg = m_replaceResult.SegmentOfResult(last);
  if (!last->result.IsMatched() || seg < 0) return;
  const ReplaceSegment& s = m_replaceResult.Segments()[seg];
  const OutputPieces pieces = m_replaceResult.PiecesOf(s);
  if (piece >= static_cast<int>(pieces.size())) return;
  const OutputPiece& out = pieces[piece];
  if (out.source == OutputPiece::FROM_SUBJECT && out.position >= 0) {
    m_nHighlightStart = out.position;
    m_nHighlightEnd = out.position + out.length;
  } else {
    m_nHighlightStart = m_nHighlightEnd;
  }
  int at = s.start;
  for (int i = 0; i < piece; ++i) at += pieces[i].length;
  m_nReplaceHighlightStart = at;
  m_nReplaceHighlightEnd = at + out.length;
}

void CKorvaneDoc::SelectSplitPiece(int index) {
  // The pieces in text order: before each real match, then the rest of the text.
  const bool rtl = (m_pattern.flags & RIGHTTOLEFT) != 0;
  const std::vector<SplitPiece> pieces =
      SplitAround(MatchSpansInTextOrder(GetResults(), rtl), static_cast<int>(m_subject.size()));
  const int n = static_cast<int>(pieces.size()) - 1;  // real matches
  if (index < 0 || index > n) return;
  m_nHighlightStart = pieces[static_cast<size_t>(index)].start;
  m_nHighlightEnd = pieces[static_cast<size_t>(index)].end;
  int before = rtl ? n - index : index;  // real matches before the piece in list order
  SetLastGap(10 * before - 5);
}

// ---------------------------------------------------------------------------------------------
// Editing token

bool CKorvaneDoc::TakeEditingToken(CDocView* view) {
  // While a job is waited on, an edit waits too: the view tries again later.
  if (IsWaiting()) {
    if (!m_pEditHolder && !m_pEditWaiting) m_pEditWaiting = view;
    return false;
  }
  if (m_pEditHolder == view) return true;
  if (m_pEditWaiting == view && !m_pEditHolder) {
    m_pEditHolder = view;
    m_pEditWaiting = nullptr;
    return true;
  }
  if (!m_pEditHolder && !m_pEditWaiting) m_pEditWaiting = view;
  return false;
}

void CKorvaneDoc::ReleaseEditingToken(CDocView* view) {
  if (view && (view == m_pEditHolder || view == m_pEditWaiting)) {
    m_pEditHolder = nullptr;
    m_pEditWaiting = nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Reset, Clear, new document, mode

const int* CKorvaneDoc::ElementCounters(const HostElement* element) const {
  static const int kNone[4] = {0, 0, 0, 0};
  // Busy and not paused: the worker counts into them. Idle: the worker's last writes come before
  // its busy flag cleared (release/acquire); paused: before the paused flag was set.
  if (!element || (m_matchWorker.IsBusy() && !IsPaused())) return kNone;
  return element->m_nCounters;
}

void CKorvaneDoc::ClearCounters() {
  const HostRegexp& re = m_pattern.compiled;
  for (int i = 0; i < re.GetElementCount(); ++i) {
    int* c = re.GetElement(i)->m_nCounters;
    c[0] = c[1] = c[2] = c[3] = 0;
  }
}

void CKorvaneDoc::Reset() {
  StopBackgroundCheck();
  StopJob(3000);
  {
    std::lock_guard<std::mutex> lock(m_resultsMutex);
    m_currentResult = NewMatchRecord();
    m_lastResult = NewMatchRecord();
    m_nLastSequence = -1;
  }
  DropResults();
  // The highlights marked a result (or the text between two) that is gone: collapsed, they no
  // longer select anything, so that a view told of the reset leaves the user's caret alone
  // (an edit of the subject resets; its text box must not select a stale span under the typing).
  m_nHighlightEnd = m_nHighlightStart;
  m_nReplaceHighlightEnd = m_nReplaceHighlightStart;
  ClearCounters();
  UpdateCurrentElementFromSpan();
  ClearTraceState();
  m_debug->ClearHistory();
}

void CKorvaneDoc::Clear() {
  StopBackgroundCheck();
  StopJob(3000);
  m_nMode = MODE_MATCH;
  m_fPatternShare = 0.2f;
  m_fTextShare = 0.5f;
  m_pEditHolder = m_pEditWaiting = nullptr;
  m_pCurrentElement = nullptr;
  m_nCurrentStart = m_nCurrentEnd = 0;
  m_debug->ClearStops();
  m_bOnlyCurrentNode = false;
  m_bOnlyStartPoint = false;
  m_bClassic = false;
  m_ctx.m_bClassic = false;
  m_pattern.startPointOnly = false;
  m_nStartPoint = -1;
  m_nHighlightStart = m_nHighlightEnd = 0;
  m_nReplaceHighlightStart = m_nReplaceHighlightEnd = 0;
  m_pattern.pattern.clear();
  m_pattern.flags = 0;
  m_subject.clear();
  m_replaceTo.clear();
  {
    std::lock_guard<std::mutex> lock(m_resultsMutex);
    m_currentResult = NewMatchRecord();
    m_lastResult = NewMatchRecord();
    m_nLastSequence = -1;
  }
  DropResults();
  ClearTraceState();
  ClearSnapshots();
  m_testSession->Replace(nullptr, kDefaultTestTimeLimitMs);  // the time limit: a setting of the workspace
  if (m_flavours) {
    m_bLoadingFlavours = true;
    m_flavours->SetChosen(CFlavourSession::DefaultFlavours());
    m_bLoadingFlavours = false;
  }
  m_testSession->ResetHistory();
  m_testSession->Schedule();
}

void CKorvaneDoc::OnNewDocument() {
  Clear();
  Recompile();
  ReparseReplaceTo();
  Reset();
  m_bModified = false;
  m_strPathName.clear();
}

void CKorvaneDoc::SetMode(int mode) {
  if (mode < MODE_MATCH || mode > MODE_OPTIMIZE || mode == m_nMode) return;
  if (m_pUi) m_pUi->SaveModeLayout(m_nMode);
  m_nMode = mode;
  if (m_nMode == MODE_REPLACE) {
    // The replace result is kept up to date only in Replace mode: coming from another mode it
    // is built from the results found there (Build passes over the not-matched sentinel).
    // Read in place: a copy of hundreds of thousands of handles costs as many count changes.
    VisitResults([&](const std::vector<MatchHandle>& results) {
      m_replaceResult.Build(static_cast<int>(m_subject.size()), results, static_cast<int>(results.size()),
                            (m_pattern.flags & RIGHTTOLEFT) != 0);
    });
    SetReplaceHighlightFromLast();
  }
  if (m_pUi) m_pUi->LoadModeLayout(m_nMode);
  Notify(nullptr, HINT_MODE);
}

// ---------------------------------------------------------------------------------------------
// Commands

bool CKorvaneDoc::OnCommand(int id) {
  // Taking test results changes nothing a search reads, so it is done even inside the wait.
  if (id == CMD_TEST_RESULTS) {
    m_testSession->TakeResults();
    return true;
  }
  // So does taking what the backtracking session finished.
  if (id == CMD_BACKTRACK_RESULTS) {
    const int taken = m_backtrack->Collect();
    if (taken) Notify(nullptr, HINT_BACKTRACK | ((taken & CBacktrackSession::TOOK_REPORT) ? HINT_RECOLOR_PATTERN : 0));
    return true;
  }
  if (IsWaiting()) return true;  // a command from inside the wait for a job
  switch (id) {
    case CMD_FIND: {
      bool blocked = !IsJobActive() && (m_pEditHolder || m_pEditWaiting);
      bool continued = IsJobActive();
      Find();
      return blocked || continued;
    }
    case CMD_FIND_ALL: {
      bool blocked = m_pEditHolder || m_pEditWaiting;
      FindAll();
      return blocked;
    }
    case CMD_RESET_FIND:
      Reset();
      Notify(nullptr, HINTS_SEARCH_RESULTS);
      return false;
    case CMD_STEP_MATCH:
      StepMatch();
      return true;
    case CMD_STEP_BACK:
      StepBack();
      return true;
    case CMD_TOGGLE_BREAKPOINT:
      ToggleBreakpoint();
      return true;
    case CMD_RUN_TO_FAILURE:
    case CMD_RUN_TO_BACKTRACK:
    case CMD_RUN_TO_NEXT_START:
    case CMD_RUN_TO_ATTEMPT_END:
      RunTo(id);
      return true;
    case CMD_ONLY_CURRENT_NODE:
      Reset();
      m_bOnlyCurrentNode = !m_bOnlyCurrentNode;
      Notify(nullptr, HINTS_SEARCH_RESULTS);
      return true;
    case CMD_ONLY_START_POINT:
      Reset();
      m_bOnlyStartPoint = !m_bOnlyStartPoint;
      m_pattern.startPointOnly = m_bOnlyStartPoint;
      m_pattern.compiled.SetStartPointOnly(m_bOnlyStartPoint);
      m_pattern.direct.SetStartPointOnly(m_bOnlyStartPoint);
      Notify(nullptr, HINTS_SEARCH_RESULTS);
      return true;
    case CMD_LOCATE_FAIL_POINT:
      m_bLocateFailPoint = !m_bLocateFailPoint;
      StartBackgroundCheck();
      return true;
    case CMD_IGNORECASE: ToggleFlag(IGNORECASE); return true;
    case CMD_SINGLELINE: ToggleFlag(SINGLELINE); return true;
    case CMD_MULTILINE: ToggleFlag(MULTILINE); return true;
    case CMD_GLOBAL: ToggleFlag(GLOBAL); return true;
    case CMD_RIGHTTOLEFT: ToggleFlag(RIGHTTOLEFT); return true;
    case CMD_EXTENDED: ToggleFlag(EXTENDED); return true;
    case CMD_CLASSIC:
      SetClassic(!m_bClassic);
      return true;
    case CMD_MODE_MATCH:
    case CMD_MODE_REPLACE:
    case CMD_MODE_SPLIT:
    case CMD_MODE_TRACE:
    case CMD_MODE_OPTIMIZE:
      SetMode(id - CMD_MODE_MATCH + MODE_MATCH);
      return true;
    case CMD_FIRST_RECORD:
    case CMD_LAST_RECORD:
    case CMD_NEXT_RECORD:
    case CMD_PREV_RECORD:
      RecordNavigation(id);
      return true;
    case CMD_BACKGROUND_RESULT:
      OnBackgroundResult();
      return true;
    case CMD_BACKGROUND_ENDED:
      OnBackgroundEnded();
      return true;
    case CMD_ADD_SNAPSHOT:
      AddSnapshotWithDialog();
      return true;
    case CMD_SELECT_FONTS:
      Notify(nullptr, HINTS_FONTS);  // the frame ran the fonts dialog and said OK
      return true;
    default:
      return false;
  }
}

void CKorvaneDoc::ToggleFlag(int bit) {
  Reset();  // the worker reads the flags: stop it before they change
  m_pattern.flags ^= bit;
  Recompile();
  ReparseReplaceTo();
  if (!m_pattern.pattern.empty()) m_bModified = true;
  m_testSession->Schedule();
  Notify(nullptr, HINTS_OPTION_CHANGED);
}

void CKorvaneDoc::SetClassic(bool on) {
  if (on == m_bClassic) return;
  Reset();  // the worker reads the context: stop it first; results and counters of the other kind go
  m_bClassic = on;
  m_ctx.m_bClassic = on;
  m_bModified = true;
  StartBackgroundCheck();
  Notify(nullptr, HINTS_SEARCH_RESULTS);
}

const std::vector<std::pair<int, int>>& CKorvaneDoc::GetBacktrackSpans() const { return m_backtrack->ResponsibleSpans(); }

// How many real matches come before and after the shown result in the results list. A real
// entry has the sequence 10 i; a place between entries k - 1 and k has 10 k - 5.
void CKorvaneDoc::PlaceOfShownResult(int* before, int* after) const {
  int n = RealMatchCount();
  int q = LastResultSequence();
  int b, self = 0;
  if (q < 0) {
    b = 0;
  } else if (q % 10 == 0) {
    b = q / 10;
    self = b < n ? 1 : 0;
  } else {
    b = (q + 5) / 10;
  }
  if (b > n) b = n;
  *before = b;
  *after = n - b - self;
}

CommandState CKorvaneDoc::QueryCommand(int id) const {
  CommandState s;
  const bool active = IsJobActive();
  const bool rtl = (m_pattern.flags & RIGHTTOLEFT) != 0;
  switch (id) {
    case CMD_FIND:
      s.textId = active ? IDS_MENU_MATCH_CONTINUE : IDS_MENU_MATCH_FIND;
      s.buttonTextId = active ? IDS_BTN_CONTINUE : IDS_BTN_FIND;
      break;
    case CMD_FIND_ALL: s.enabled = !active; break;
    // Enabled while there is anything recorded before the step shown; the command itself finds
    // the pause step to go to.
    case CMD_STEP_BACK:
      s.enabled = m_nMode == MODE_TRACE && IsPaused() && m_debug->ShownHistoryIndex() > m_debug->History().First();
      break;
    case CMD_TOGGLE_BREAKPOINT:
      s.enabled = m_pCurrentElement && (!active || IsPaused());
      s.checked = m_pCurrentElement && m_debug->HasBreakpoint(m_pCurrentElement->m_nStart, m_pCurrentElement->m_nEnd);
      break;
    case CMD_RUN_TO_FAILURE:
    case CMD_RUN_TO_BACKTRACK:
    case CMD_RUN_TO_NEXT_START:
    case CMD_RUN_TO_ATTEMPT_END: s.enabled = CanRunTo(id); break;
    case CMD_RESET_FIND: s.enabled = GetResultCount() > 0 || m_nMode == MODE_OPTIMIZE || active; break;
    case CMD_ONLY_CURRENT_NODE:
      s.enabled = m_pCurrentElement && m_pCurrentElement->m_nKind != ELEMENT_EMPTY;
      s.checked = s.enabled && m_bOnlyCurrentNode;
      break;
    case CMD_ONLY_START_POINT: s.checked = m_bOnlyStartPoint; break;
    case CMD_LOCATE_FAIL_POINT: s.checked = m_bLocateFailPoint; break;
    case CMD_IGNORECASE: s.checked = (m_pattern.flags & IGNORECASE) != 0; break;
    case CMD_SINGLELINE: s.checked = (m_pattern.flags & SINGLELINE) != 0; break;
    case CMD_MULTILINE: s.checked = (m_pattern.flags & MULTILINE) != 0; break;
    case CMD_GLOBAL: s.checked = (m_pattern.flags & GLOBAL) != 0; break;
    case CMD_RIGHTTOLEFT: s.checked = rtl; break;
    case CMD_EXTENDED: s.checked = (m_pattern.flags & EXTENDED) != 0; break;
    case CMD_CLASSIC: s.checked = m_bClassic; break;
    case CMD_MODE_MATCH:
    case CMD_MODE_REPLACE:
    case CMD_MODE_SPLIT:
    case CMD_MODE_TRACE:
    case CMD_MODE_OPTIMIZE: s.checked = m_nMode == id - CMD_MODE_MATCH + MODE_MATCH; break;
    case CMD_FIRST_RECORD:
    case CMD_PREV_RECORD:
    case CMD_NEXT_RECORD:
    case CMD_LAST_RECORD: {
      // "Before" is earlier in the results list; right to left the buttons are mirrored.
      int before = 0, after = 0;
      PlaceOfShownResult(&before, &after);
      bool back = id == CMD_FIRST_RECORD || id == CMD_PREV_RECORD;
      s.enabled = (back != rtl) ? before > 0 : after > 0;
      break;
    }
    case CMD_ADD_SNAPSHOT: s.enabled = !m_pattern.pattern.empty() && PatternDiffersFromCurrent(); break;
    case CMD_FILE_SAVE: s.enabled = m_bModified; break;
    default: break;
  }
  return s;
}
