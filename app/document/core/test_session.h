// CTestSession: the document's test cases, their live runs, their undo history and the run on
// all snapshots. The document owns one (CKorvaneDoc::Tests()) and views reach the tests through
// it: `doc->Tests().Add(test)`. The model is in test_cases.h, running one test in test_eval.h,
// the worker in test_runner.h.
//
// The current set is shared, never changed in place: each edit makes a new set, so a run on the
// worker and every snapshot keep the one they were given. Each snapshot keeps the set that was
// current when it was taken, and switching to a snapshot switches to its set. Every change of
// the pattern, the replace-to text, the options or the tests starts a run on the runner's worker
// (abandoning the one under way); the results come back through the posted command
// CMD_TEST_RESULTS and views are told with HINT_TEST_RESULTS. The UI thread never waits on a run.
// Test edits set the document's modified flag, can be undone and redone (Undo), and update all
// views with HINT_TESTS | HINT_TEST_RESULTS. Indexes out of range are refused (false, -1).
//
// Threads: the UI thread only, but RunOnSnapshots (any thread, on a prepared job).
//
// Covered by app/document/testing/tests/doc_tests_test.cpp.
#ifndef KORVANE_DOCUMENT_CORE_TEST_SESSION_H
#define KORVANE_DOCUMENT_CORE_TEST_SESSION_H

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/document/testing/test_cases.h"
#include "app/document/testing/test_eval.h"

class CKorvaneDoc;
class CTestRunner;

class CTestSession {
 public:
  explicit CTestSession(CKorvaneDoc& doc);
  ~CTestSession();
  CTestSession(const CTestSession&) = delete;
  CTestSession& operator=(const CTestSession&) = delete;

  const TestSet& All() const { return *m_tests; }
  std::shared_ptr<const TestSet> Shared() const { return m_tests; }
  int Count() const { return static_cast<int>(m_tests->size()); }
  // One result per test, in test order; TEST_NOT_RUN while its run is pending.
  const std::vector<TestResult>& Results() const { return m_results; }
  TestResult Result(int index) const;
  // True while the results are not all in for the current tests and pattern.
  bool ArePending() const { return !m_bComplete; }
  // "Tests: N passed, N failed" for the status bar; empty when there are no tests.
  QString StatusText() const { return TestStatusText(m_results); }

  // Inserts a test at `at` (-1: at the end); returns its index.
  int Add(const TestCase& test, int at = -1);
  // A new test at the end with the current subject text, named "Test N", expecting a match with
  // the workspace's options; returns its index.
  int AddFromSubject();
  // Inserts copies of the tests at the end (import); returns how many.
  int AddAll(const TestSet& tests);
  int Duplicate(int index);  // the copy goes right after the test; returns its index
  bool Rename(int index, const TestText& name);  // refuses a blank name
  bool Delete(int index);
  bool Move(int from, int to);  // `to` is the index the test has afterwards
  bool Edit(int index, const TestCase& test);
  // Replaces the whole set (undoable); for loading tests from elsewhere.
  void Set(const TestSet& tests);
  // "Accept current result": fills the test's expectation from what the pattern gives now
  // (test_eval.h, AcceptResult); the test is changed only when the run gave an answer. Runs on
  // the calling thread with the per-test time limit. Returns the run's result: TEST_PASS when
  // the expectation was filled, else TEST_TIMED_OUT or TEST_ERROR with its reason.
  TestResult Accept(int index);
  // Puts the test's subject into the text box and, when the test has its own options, makes
  // them the workspace's; updates all views. False for an unknown index.
  bool LoadIntoText(int index);
  bool CanUndo() const { return !m_undo.empty(); }
  bool CanRedo() const { return !m_redo.empty(); }
  bool Undo();
  bool Redo();
  // The time limit of each test in a run, in milliseconds: a setting of the workspace, saved
  // with it (500 by default, kept within 1 ms and an hour). A change marks the document
  // modified, runs the tests again and updates all views with HINT_TEST_RESULTS.
  int TimeLimit() const { return m_nTimeLimitMs; }
  void SetTimeLimit(int ms);
  // Starts a run of the current tests now (every change does this by itself).
  void Run();

  // "Run tests on all snapshots": the current tests run with each snapshot's pattern and
  // options (and the current replace-to text). Rows are the snapshots in tree order (parents
  // before children), columns the tests. `progress`, when given, is called after every row with
  // the rows done and the total; returning false stops (the table then holds the rows done).
  struct SnapshotTestTable {
    std::vector<int> snapshotIds;
    std::vector<std::vector<TestResult>> cells;  // [row][test]
  };
  // Everything such a run reads, copied on the UI thread, so that the run itself can go on a
  // worker while the document stays free to change.
  struct SnapshotTestJob {
    std::vector<int> snapshotIds;
    std::vector<std::pair<TestText, int>> patterns;  // pattern and options, per row
    TestText replaceTo;
    std::shared_ptr<const TestSet> tests;
    int timeLimitMs = kDefaultTestTimeLimitMs;
  };
  SnapshotTestJob PrepareSnapshotRun() const;
  // Runs a prepared job on any thread. `cancel`, when given and no longer equal to
  // `generation`, abandons the test in progress at once (its cell is then "not run").
  static SnapshotTestTable RunOnSnapshots(const SnapshotTestJob& job, const std::function<bool(int, int)>& progress,
                                          const std::atomic<unsigned>* cancel = nullptr, unsigned generation = 0);
  // Both of the above on the calling thread.
  SnapshotTestTable RunOnAllSnapshots(const std::function<bool(int, int)>& progress = nullptr) const;

 private:
  // The document's own ways in: a workspace, a snapshot or a reset replaces the set without an
  // undo step; the runner's results are taken when its posted command arrives.
  friend class CKorvaneDoc;
  // Starts a run of the current set (results back to "not run").
  void Schedule();
  // Takes the runner's newest results, when they belong to the current run.
  void TakeResults();
  // Replaces the test set; `undoable` keeps the old one for Undo.
  void Change(std::shared_ptr<const TestSet> tests, bool undoable);
  // Replaces the set and the time limit as a file or a reset gives them; no undo step, no run.
  void Replace(std::shared_ptr<const TestSet> tests, int timeLimitMs);
  void ResetHistory();
  // Ends the runner's worker (the document's destructor, before what a run reads goes).
  void Stop();

  CKorvaneDoc& m_doc;
  std::shared_ptr<const TestSet> m_tests;
  std::vector<std::shared_ptr<const TestSet>> m_undo;
  std::vector<std::shared_ptr<const TestSet>> m_redo;
  std::vector<TestResult> m_results;
  bool m_bComplete = true;
  unsigned m_nGeneration = 0;  // the run the shown results belong to
  int m_nTimeLimitMs = kDefaultTestTimeLimitMs;
  std::unique_ptr<CTestRunner> m_runner;
};

#endif
