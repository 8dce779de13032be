// Tests in the flavours they must pass in: every test that names flavours (TestCase::mustPassIn)
// is judged from each of those engines with the rules of the command line's --flavour runs
// (flavour_eval.h), after every edit of the pattern, the options or the tests, in the background.
// The Tests pane marks a test that passes in Korvane and fails in one of them.
//
// The check has a pool of its own, started with the launcher of the pool it is given (the
// session's): the session's pool keeps only the newest pending request per flavour for the
// matrix, and the check's requests must not push those out, nor be pushed out. Its requests go
// one at a time, one flavour and one set of options each; a new check drops the one under way
// (answers to it are no longer looked at). A workspace whose tests name no flavour starts no
// runner.
//
// Threads: the UI thread (the pool's); nothing blocks it.
//
// Covered by app/document/flavours/tests/flavour_session_test.cpp (against fake runners).
#ifndef KORVANE_FLAVOUR_TEST_CHECK_H
#define KORVANE_FLAVOUR_TEST_CHECK_H

#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "app/document/testing/test_cases.h"
#include "app/document/testing/test_eval.h"
#include "app/flavours/flavour_answer.h"

class CFlavourPool;
class QTimer;

class CFlavourTestCheck : public QObject {
  Q_OBJECT

 public:
  // What is checked: the pattern, the workspace's options, the tests and each test's time limit.
  struct Input {
    TestText pattern;
    int flags = 0;
    std::shared_ptr<const TestSet> tests;
    int timeLimitMs = kDefaultTestTimeLimitMs;
  };
  typedef std::function<Input()> Source;
  // A test's result in one flavour; TEST_NOT_RUN while its answer is pending or when it was
  // skipped (the reason says why).
  struct Verdict {
    QString flavour;
    TestResult result;
  };
  enum { kDelayMs = 400 };

  // `launcherFrom`: the pool whose launcher starts the check's runners (it must outlive the check).
  explicit CFlavourTestCheck(const CFlavourPool* launcherFrom, QObject* parent = nullptr);
  ~CFlavourTestCheck() override;

  void SetSource(Source source) { m_source = std::move(source); }
  void SetDelay(int ms) { m_nDelayMs = ms < 0 ? 0 : ms; }
  // Something the check reads has changed: it checks again once the edits pause.
  void Changed();
  // Checks now (drops a check under way).
  void CheckNow();
  // A flavour's interpreter setting changed: its runner starts again for the next request.
  void InterpreterChanged(const QString& flavour);

  // The set the verdicts belong to (null before the first check).
  const std::shared_ptr<const TestSet>& CheckedSet() const { return m_checked; }
  // The verdicts of test `index` of that set, in the order of its mustPassIn; empty for a test
  // that names no flavour or an index out of range.
  const std::vector<Verdict>& VerdictsOf(int index) const;
  // True while answers are still to come.
  bool IsPending() const { return m_nRequest != 0; }
  // The first flavour test `index` fails in (fail, time-out or error), or null.
  const Verdict* FirstFailure(int index) const;

 signals:
  // Verdicts came in, or were dropped for a new check.
  void Checked();

 private:
  struct Job {
    QString flavour;
    std::vector<int> tests;  // indexes into the checked set, in the order of the request's subjects
    FlavourRequest request;
  };
  CFlavourPool& Pool();
  void SendNext();
  void OnAnswered(quint64 request, const QString& flavour, const FlavourAnswer& answer);
  void OnAllAnswered(quint64 request);

  const CFlavourPool* m_launcherFrom;
  std::unique_ptr<CFlavourPool> m_pool;
  Source m_source;
  QTimer* m_pTimer = nullptr;  // owned as a child
  int m_nDelayMs = kDelayMs;
  std::shared_ptr<const TestSet> m_checked;
  std::vector<std::vector<Verdict>> m_verdicts;  // per test of m_checked
  std::deque<Job> m_jobs;                        // the first is under way while m_nRequest != 0
  quint64 m_nRequest = 0;
};

#endif
