// CTestSession: the test cases, their live runs and the run on all snapshots.
#include "app/document/core/test_session.h"

#include <algorithm>

#include "app/document/core/korvane_doc.h"
#include "app/document/files/snapshot.h"
#include "app/document/testing/test_runner.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

// Undo steps kept for test edits. Each is a pointer to a whole set whose texts are shared, so a
// step costs little more than the names and expectations that changed.
constexpr size_t kTestUndoDepth = 200;

// The option bits a test may carry as its own.
const int kMatchOptionBits = SINGLELINE | MULTILINE | GLOBAL | IGNORECASE | RIGHTTOLEFT | EXTENDED;

TestText Units(const QString& s) { return TestText(s.utf16(), s.utf16() + s.size()); }

}  // namespace

CTestSession::CTestSession(CKorvaneDoc& doc) : m_doc(doc), m_tests(std::make_shared<const TestSet>()) {
  // The runner's worker only posts; the command takes the results on the UI thread.
  m_runner.reset(new CTestRunner([this] {
    if (m_doc.m_pUi) m_doc.m_pUi->PostCommand(CMD_TEST_RESULTS);
  }));
}

CTestSession::~CTestSession() { Stop(); }

void CTestSession::Stop() { m_runner.reset(); }

void CTestSession::Replace(std::shared_ptr<const TestSet> tests, int timeLimitMs) {
  m_tests = tests ? std::move(tests) : std::make_shared<const TestSet>();
  m_nTimeLimitMs = ClampTestTimeLimit(timeLimitMs);
}

TestResult CTestSession::Result(int index) const {
  return (index >= 0 && index < static_cast<int>(m_results.size())) ? m_results[index] : TestResult();
}

void CTestSession::Change(std::shared_ptr<const TestSet> tests, bool undoable) {
  // Every way in (imports, clips whose first line is empty, a plugin's edit) ends here: a test
  // never goes without a name.
  if (tests && HasUnnamedTests(*tests)) {
    auto named = std::make_shared<TestSet>(*tests);
    NameUnnamedTests(named.get());
    tests = std::move(named);
  }
  if (undoable) {
    m_undo.push_back(m_tests);
    if (m_undo.size() > kTestUndoDepth) m_undo.erase(m_undo.begin());
    m_redo.clear();
  }
  m_tests = std::move(tests);
  m_doc.m_bModified = true;
  Schedule();
  m_doc.Notify(nullptr, HINT_TESTS | HINT_TEST_RESULTS);
}

void CTestSession::ResetHistory() {
  m_undo.clear();
  m_redo.clear();
}

int CTestSession::Add(const TestCase& test, int at) {
  auto next = std::make_shared<TestSet>(*m_tests);
  if (at < 0 || at > static_cast<int>(next->size())) at = static_cast<int>(next->size());
  next->insert(next->begin() + at, test);
  Change(std::move(next), true);
  return at;
}

int CTestSession::AddFromSubject() {
  TestCase t;
  t.name = Units(CStringTable::FormatStrings(CStringTable::Str(IDS_TEST_NEW_NAME), {QString::number(Count() + 1)}));
  t.SetSubject(m_doc.m_subject);
  t.flags = m_doc.m_pattern.flags;
  return Add(t);
}

int CTestSession::AddAll(const TestSet& tests) {
  if (tests.empty()) return 0;
  auto next = std::make_shared<TestSet>(*m_tests);
  next->insert(next->end(), tests.begin(), tests.end());
  Change(std::move(next), true);
  return static_cast<int>(tests.size());
}

int CTestSession::Duplicate(int index) {
  if (index < 0 || index >= Count()) return -1;
  return Add((*m_tests)[index], index + 1);
}

bool CTestSession::Rename(int index, const TestText& name) {
  if (index < 0 || index >= Count() || IsBlankTestName(name)) return false;
  TestCase t = (*m_tests)[index];
  t.name = name;
  return Edit(index, t);
}

bool CTestSession::Delete(int index) {
  if (index < 0 || index >= Count()) return false;
  auto next = std::make_shared<TestSet>(*m_tests);
  next->erase(next->begin() + index);
  Change(std::move(next), true);
  return true;
}

bool CTestSession::Move(int from, int to) {
  const int n = Count();
  if (from < 0 || from >= n || to < 0 || to >= n) return false;
  if (from == to) return true;
  auto next = std::make_shared<TestSet>(*m_tests);
  TestCase t = (*next)[from];
  next->erase(next->begin() + from);
  next->insert(next->begin() + to, std::move(t));
  Change(std::move(next), true);
  return true;
}

bool CTestSession::Edit(int index, const TestCase& test) {
  if (index < 0 || index >= Count()) return false;
  if ((*m_tests)[index] == test) return true;  // nothing changed: no undo step, no new run
  auto next = std::make_shared<TestSet>(*m_tests);
  (*next)[index] = test;
  Change(std::move(next), true);
  return true;
}

void CTestSession::Set(const TestSet& tests) { Change(std::make_shared<const TestSet>(tests), true); }

TestResult CTestSession::Accept(int index) {
  TestResult r;
  if (index < 0 || index >= Count()) {
    r.status = TEST_ERROR;
    return r;
  }
  TestCase t = (*m_tests)[index];
  CTestPattern p(m_doc.m_pattern.pattern, t.EffectiveFlags(m_doc.m_pattern.flags), m_doc.m_replaceTo);
  TestLimits limits;
  limits.timeLimitMs = m_nTimeLimitMs;
  r = AcceptResult(p, &t, limits);
  if (r.status == TEST_PASS) Edit(index, t);
  return r;
}

bool CTestSession::LoadIntoText(int index) {
  if (index < 0 || index >= Count()) return false;
  const TestCase t = (*m_tests)[index];  // a copy: the calls below start a new run
  int hint = HINT_SUBJECT_REPLACED | HINT_RESULTS | HINT_TEXT_HIGHLIGHTS | HINT_TEST_RESULTS;
  if (t.ownOptions && (t.flags & kMatchOptionBits) != m_doc.m_pattern.flags) {
    m_doc.Reset();  // the worker reads the flags: stop it before they change
    m_doc.m_pattern.flags = t.flags & kMatchOptionBits;
    m_doc.Recompile();
    m_doc.ReparseReplaceTo();
    hint |= HINTS_OPTION_CHANGED;
  }
  m_doc.SetSubjectText(t.Subject().data(), static_cast<int>(t.Subject().size()));
  Schedule();
  m_doc.Notify(nullptr, hint);
  return true;
}

bool CTestSession::Undo() {
  if (m_undo.empty()) return false;
  m_redo.push_back(m_tests);
  std::shared_ptr<const TestSet> previous = m_undo.back();
  m_undo.pop_back();
  Change(std::move(previous), false);
  return true;
}

bool CTestSession::Redo() {
  if (m_redo.empty()) return false;
  m_undo.push_back(m_tests);
  std::shared_ptr<const TestSet> next = m_redo.back();
  m_redo.pop_back();
  Change(std::move(next), false);
  return true;
}

void CTestSession::SetTimeLimit(int ms) {
  ms = ClampTestTimeLimit(ms);
  if (ms == m_nTimeLimitMs) return;
  m_nTimeLimitMs = ms;
  m_doc.m_bModified = true;  // saved with the workspace
  Schedule();
  m_doc.Notify(nullptr, HINT_TEST_RESULTS);
}

void CTestSession::Run() {
  Schedule();
  m_doc.Notify(nullptr, HINT_TEST_RESULTS);
}

void CTestSession::Schedule() {
  if (!m_runner) return;  // during construction
  m_results.assign(m_tests->size(), TestResult());
  if (m_tests->empty()) {
    m_runner->Cancel();
    m_nGeneration = m_runner->Generation();
    m_bComplete = true;
    return;
  }
  // The compiled copies are made here, on the UI thread (see test_eval.h); the worker only runs.
  auto patterns = std::make_shared<const CTestPatterns>(m_doc.m_pattern.pattern, m_doc.m_pattern.flags, m_doc.m_replaceTo, *m_tests);
  m_nGeneration = m_runner->Start(std::move(patterns), m_tests, m_nTimeLimitMs);
  m_bComplete = false;
  // The marks just went back to "not run"; the views hear it through the same posted command
  // as the results (the edit that started the run notifies with its own hints only).
  if (m_doc.m_pUi) m_doc.m_pUi->PostCommand(CMD_TEST_RESULTS);
}

void CTestSession::TakeResults() {
  unsigned generation = 0;
  std::vector<TestResult> results;
  bool complete = false;
  if (!m_runner || !m_runner->TakeResults(&generation, &results, &complete)) return;
  // Results of a run that a newer edit abandoned never reach the views.
  if (generation != m_nGeneration || results.size() != m_tests->size()) return;
  m_results = std::move(results);
  m_bComplete = complete;
  m_doc.Notify(nullptr, HINT_TEST_RESULTS);
}

CTestSession::SnapshotTestJob CTestSession::PrepareSnapshotRun() const {
  SnapshotTestJob job;
  // Tree order: parents before children, siblings in the order they were attached.
  std::vector<int> pending(m_doc.m_snapshots->Roots().rbegin(), m_doc.m_snapshots->Roots().rend());
  while (!pending.empty()) {
    const int id = pending.back();
    pending.pop_back();
    const Snapshot* s = m_doc.m_snapshots->Lookup(id);
    if (!s) continue;
    job.snapshotIds.push_back(id);
    job.patterns.emplace_back(s->pattern, s->flags);
    pending.insert(pending.end(), s->children.rbegin(), s->children.rend());
  }
  job.replaceTo = m_doc.m_replaceTo;
  job.tests = m_tests;  // shared and never changed in place
  job.timeLimitMs = m_nTimeLimitMs;
  return job;
}

CTestSession::SnapshotTestTable CTestSession::RunOnSnapshots(const SnapshotTestJob& job,
                                                             const std::function<bool(int, int)>& progress,
                                                             const std::atomic<unsigned>* cancel, unsigned generation) {
  SnapshotTestTable table;
  table.snapshotIds = job.snapshotIds;
  const int total = static_cast<int>(job.snapshotIds.size());
  static const TestSet kNoTests;
  const TestSet& tests = job.tests ? *job.tests : kNoTests;
  TestLimits limits;
  limits.timeLimitMs = job.timeLimitMs;
  limits.cancel = cancel;
  limits.generation = generation;
  for (int row = 0; row < total; ++row) {
    // A test with its own options keeps them; the others take the snapshot's.
    CTestPatterns patterns(job.patterns[row].first, job.patterns[row].second, job.replaceTo, tests);
    std::vector<TestResult> cells;
    cells.reserve(tests.size());
    for (const TestCase& t : tests) cells.push_back(RunTestCase(*patterns.For(t), t, limits));
    if (cancel && cancel->load() != generation) break;  // a row cut short is left out
    table.cells.push_back(std::move(cells));
    if (progress && !progress(row + 1, total)) break;
  }
  table.snapshotIds.resize(table.cells.size());
  return table;
}

CTestSession::SnapshotTestTable CTestSession::RunOnAllSnapshots(const std::function<bool(int, int)>& progress) const {
  return RunOnSnapshots(PrepareSnapshotRun(), progress);
}
