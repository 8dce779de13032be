// CTestRunner: runs a test set on a worker thread of its own (never the document's match worker,
// so Find, Trace and the fail-point check keep working while tests run). The newest request
// wins: starting a run abandons the one under way, inside the engine, at its next check (about
// every thousand elements entered).
//
// Threads. Start, Cancel and TakeResults are called on the UI thread. The worker writes the
// results of the run it is on, under m_mutex, and tags them with the run's generation; results of
// an abandoned run are never handed out, because TakeResults gives only those of the newest
// generation. The notify function is called on the worker (it must only post, e.g.
// IDocumentUi::PostCommand) when results are ready to take: at most about every 50 ms while a
// run goes on, and once when it ends.
//
// Covered by app/document/testing/tests/test_runner_test.cpp.
#ifndef KORVANE_TEST_RUNNER_H
#define KORVANE_TEST_RUNNER_H

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/document/testing/test_eval.h"
#include "platform/worker_thread.h"

class CTestRunner {
 public:
  explicit CTestRunner(std::function<void()> notify);
  // Abandons a run under way and waits for the worker to end.
  ~CTestRunner();
  CTestRunner(const CTestRunner&) = delete;
  CTestRunner& operator=(const CTestRunner&) = delete;

  // Starts a run of `tests` with the compiled copies in `patterns` (which must have been built
  // for this test set), each test limited to `timeLimitMs`; abandons any run under way. Returns
  // the run's generation. The runner keeps both until the run ends or is abandoned.
  unsigned Start(std::shared_ptr<const CTestPatterns> patterns, std::shared_ptr<const TestSet> tests, int timeLimitMs);
  // Abandons the run under way, if any; its results are never handed out.
  void Cancel();
  // The generation of the newest Start (or Cancel).
  unsigned Generation() const { return m_generation.load(); }

  // The results of the newest run so far: one per test, TEST_NOT_RUN where the test has not run
  // yet. False (and nothing written) when there is no run since the last Cancel. `complete` says
  // whether every test has run.
  bool TakeResults(unsigned* generation, std::vector<TestResult>* results, bool* complete);
  // True while the worker is on a run.
  bool IsRunning() const { return m_worker.IsBusy(); }

 private:
  struct Job {
    unsigned generation = 0;
    std::shared_ptr<const CTestPatterns> patterns;
    std::shared_ptr<const TestSet> tests;
    int timeLimitMs = 500;
  };
  void Body();
  void MaybeNotify(bool last);

  std::function<void()> m_notify;
  // Bumped by the UI for every Start and Cancel, read by the worker and by the engine hook of
  // the test it runs: a value other than the job's own means the job is abandoned.
  std::atomic<unsigned> m_generation{0};
  std::mutex m_mutex;  // guards the fields below, written by the UI (job) and the worker (results)
  Job m_job;           // the newest job; the worker takes a copy
  // The generation of the job the worker took last. Every Start queues one more body, but a body
  // that begins after a later Start takes that newer job already; the body queued by that Start
  // then finds nothing new and returns, instead of running the job a second time (which counted
  // each test twice, so that the run never read as complete).
  unsigned m_takenGeneration = 0;
  unsigned m_resultGeneration = 0;  // the run the results belong to (0: none)
  std::vector<TestResult> m_results;
  int m_nDone = 0;                  // tests of that run with a result
  // Written and read by the worker only: when it last notified.
  long long m_lastNotifyMs = 0;
  WorkerThread m_worker;
};

#endif
