// CKorvaneDoc: the test cases, their live runs and the run on all snapshots. The model is in
// test_cases.h, running one test in test_eval.h, the worker in test_runner.h. Covered by
// app/document/testing/tests/doc_tests_test.cpp.
#include <algorithm>

#include "app/document/core/korvane_doc.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

// Undo steps kept for test edits. Each is a pointer to a whole set whose texts are shared, so a
// step costs little more than the names and expectations that changed.
constexpr size_t kTestUndoDepth = 200;

TestText Units(const QString& s) { return TestText(s.utf16(), s.utf16() + s.size()); }

}  // namespace

TestResult CKorvaneDoc::GetTestResult(int index) const {
  return (index >= 0 && index < static_cast<int>(m_testResults.size())) ? m_testResults[index] : TestResult();
}

void CKorvaneDoc::ChangeTests(std::shared_ptr<const TestSet> tests, bool undoable) {
  // Every way in (imports, clips whose first line is empty, a plugin's edit) ends here: a test
  // never goes without a name.
  if (tests && HasUnnamedTests(*tests)) {
    auto named = std::make_shared<TestSet>(*tests);
    NameUnnamedTests(named.get());
    tests = std::move(named);
  }
  if (undoable) {
    m_testUndo.push_back(m_tests);
    if (m_testUndo.size() > kTestUndoDepth) m_testUndo.erase(m_testUndo.begin());
    m_testRedo.clear();
  }
  m_tests = std::move(tests);
  m_bModified = true;
  ScheduleTests();
  Notify(nullptr, HINT_TESTS | HINT_TEST_RESULTS);
}

void CKorvaneDoc::ResetTestHistory() {
  m_testUndo.clear();
  m_testRedo.clear();
}

int CKorvaneDoc::AddTest(const TestCase& test, int at) {
  auto next = std::make_shared<TestSet>(*m_tests);
  if (at < 0 || at > static_cast<int>(next->size())) at = static_cast<int>(next->size());
  next->insert(next->begin() + at, test);
  ChangeTests(std::move(next), true);
  return at;
}

int CKorvaneDoc::AddTestFromSubject() {
  TestCase t;
  t.name = Units(CStringTable::FormatStrings(CStringTable::Str(IDS_TEST_NEW_NAME), {QString::number(GetTestCount() + 1)}));
  t.SetSubject(m_subject);
  t.flags = m_pattern.flags;
  return AddTest(t);
}

int CKorvaneDoc::AddTests(const TestSet& tests) {
  if (tests.empty()) return 0;
  auto next = std::make_shared<TestSet>(*m_tests);
  next->insert(next->end(), tests.begin(), tests.end());
  ChangeTests(std::move(next), true);
  return static_cast<int>(tests.size());
}

int CKorvaneDoc::DuplicateTest(int index) {
  if (index < 0 || index >= GetTestCount()) return -1;
  return AddTest((*m_tests)[index], index + 1);
}

bool CKorvaneDoc::RenameTest(int index, const TestText& name) {
  if (index < 0 || index >= GetTestCount() || IsBlankTestName(name)) return false;
  TestCase t = (*m_tests)[index];
  t.name = name;
  return EditTest(index, t);
}

bool CKorvaneDoc::DeleteTest(int index) {
  if (index < 0 || index >= GetTestCount()) return false;
  auto next = std::make_shared<TestSet>(*m_tests);
  next->erase(next->begin() + index);
  ChangeTests(std::move(next), true);
  return true;
}

bool CKorvaneDoc::MoveTest(int from, int to) {
  const int n = GetTestCount();
  if (from < 0 || from >= n || to < 0 || to >= n) return false;
  if (from == to) return true;
  auto next = std::make_shared<TestSet>(*m_tests);
  TestCase t = (*next)[from];
  next->erase(next->begin() + from);
  next->insert(next->begin() + to, std::move(t));
  ChangeTests(std::move(next), true);
  return true;
}

bool CKorvaneDoc::EditTest(int index, const TestCase& test) {
  if (index < 0 || index >= GetTestCount()) return false;
  if ((*m_tests)[index] == test) return true;  // nothing changed: no undo step, no new run
  auto next = std::make_shared<TestSet>(*m_tests);
  (*next)[index] = test;
  ChangeTests(std::move(next), true);
  return true;
}

void CKorvaneDoc::SetTests(const TestSet& tests) { ChangeTests(std::make_shared<const TestSet>(tests), true); }

TestResult CKorvaneDoc::AcceptTestResult(int index) {
  TestResult r;
  if (index < 0 || index >= GetTestCount()) {
    r.status = TEST_ERROR;
    return r;
  }
  TestCase t = (*m_tests)[index];
  CTestPattern p(m_pattern.pattern, t.EffectiveFlags(m_pattern.flags), m_replaceTo);
  TestLimits limits;
  limits.timeLimitMs = m_nTestTimeLimitMs;
  r = AcceptResult(p, &t, limits);
  if (r.status == TEST_PASS) EditTest(index, t);
  return r;
}

bool CKorvaneDoc::LoadTestIntoText(int index) {
  if (index < 0 || index >= GetTestCount()) return false;
  const TestCase t = (*m_tests)[index];  // a copy: the calls below start a new run
  int hint = HINT_SUBJECT_REPLACED | HINT_RESULTS | HINT_TEXT_HIGHLIGHTS | HINT_TEST_RESULTS;
  if (t.ownOptions && (t.flags & 0x3F) != m_pattern.flags) {
    Reset();  // the worker reads the flags: stop it before they change
    m_pattern.flags = t.flags & 0x3F;
    Recompile();
    ReparseReplaceTo();
    hint |= 0x1E33;  // as a change of the options does
  }
  SetSubjectText(t.Subject().data(), static_cast<int>(t.Subject().size()));
  ScheduleTests();
  Notify(nullptr, hint);
  return true;
}

bool CKorvaneDoc::UndoTestEdit() {
  if (m_testUndo.empty()) return false;
  m_testRedo.push_back(m_tests);
  std::shared_ptr<const TestSet> previous = m_testUndo.back();
  m_testUndo.pop_back();
  ChangeTests(std::move(previous), false);
  return true;
}

bool CKorvaneDoc::RedoTestEdit() {
  if (m_testRedo.empty()) return false;
  m_testUndo.push_back(m_tests);
  std::shared_ptr<const TestSet> next = m_testRedo.back();
  m_testRedo.pop_back();
  ChangeTests(std::move(next), false);
  return true;
}

void CKorvaneDoc::SetTestTimeLimit(int ms) {
  ms = ClampTestTimeLimit(ms);
  if (ms == m_nTestTimeLimitMs) return;
  m_nTestTimeLimitMs = ms;
  m_bModified = true;  // saved with the workspace
  ScheduleTests();
  Notify(nullptr, HINT_TEST_RESULTS);
}

void CKorvaneDoc::RunTests() {
  ScheduleTests();
  Notify(nullptr, HINT_TEST_RESULTS);
}

void CKorvaneDoc::ScheduleTests() {
  if (!m_testRunner) return;  // during construction
  m_testResults.assign(m_tests->size(), TestResult());
  if (m_tests->empty()) {
    m_testRunner->Cancel();
    m_nTestGeneration = m_testRunner->Generation();
    m_bTestsComplete = true;
    return;
  }
  // The compiled copies are made here, on the UI thread (see test_eval.h); the worker only runs.
  auto patterns = std::make_shared<const CTestPatterns>(m_pattern.pattern, m_pattern.flags, m_replaceTo, *m_tests);
  m_nTestGeneration = m_testRunner->Start(std::move(patterns), m_tests, m_nTestTimeLimitMs);
  m_bTestsComplete = false;
  // The marks just went back to "not run"; the views hear it through the same posted command
  // as the results (the edit that started the run notifies with its own hints only).
  if (m_pUi) m_pUi->PostCommand(CMD_TEST_RESULTS);
}

void CKorvaneDoc::TakeTestResults() {
  unsigned generation = 0;
  std::vector<TestResult> results;
  bool complete = false;
  if (!m_testRunner || !m_testRunner->TakeResults(&generation, &results, &complete)) return;
  // Results of a run that a newer edit abandoned never reach the views.
  if (generation != m_nTestGeneration || results.size() != m_tests->size()) return;
  m_testResults = std::move(results);
  m_bTestsComplete = complete;
  Notify(nullptr, HINT_TEST_RESULTS);
}

CKorvaneDoc::SnapshotTestJob CKorvaneDoc::PrepareSnapshotTests() const {
  SnapshotTestJob job;
  // Tree order: parents before children, siblings in the order they were attached.
  std::vector<int> pending(m_snapshots.Roots().rbegin(), m_snapshots.Roots().rend());
  while (!pending.empty()) {
    const int id = pending.back();
    pending.pop_back();
    const Snapshot* s = m_snapshots.Lookup(id);
    if (!s) continue;
    job.snapshotIds.push_back(id);
    job.patterns.emplace_back(s->pattern, s->flags);
    pending.insert(pending.end(), s->children.rbegin(), s->children.rend());
  }
  job.replaceTo = m_replaceTo;
  job.tests = m_tests;  // shared and never changed in place
  job.timeLimitMs = m_nTestTimeLimitMs;
  return job;
}

CKorvaneDoc::SnapshotTestTable CKorvaneDoc::RunSnapshotTests(const SnapshotTestJob& job,
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

CKorvaneDoc::SnapshotTestTable CKorvaneDoc::RunTestsOnAllSnapshots(const std::function<bool(int, int)>& progress) const {
  return RunSnapshotTests(PrepareSnapshotTests(), progress);
}
