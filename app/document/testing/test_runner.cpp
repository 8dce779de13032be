// Covered by app/document/testing/tests/test_runner_test.cpp.
#include "app/document/testing/test_runner.h"

#include <chrono>

namespace {

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

CTestRunner::CTestRunner(std::function<void()> notify) : m_notify(std::move(notify)) {}

CTestRunner::~CTestRunner() {
  Cancel();
  m_worker.Stop();
}

unsigned CTestRunner::Start(std::shared_ptr<const CTestPatterns> patterns, std::shared_ptr<const TestSet> tests,
                            int timeLimitMs) {
  const unsigned generation = ++m_generation;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_job.generation = generation;
    m_job.patterns = std::move(patterns);
    m_job.tests = std::move(tests);
    m_job.timeLimitMs = timeLimitMs;
    m_resultGeneration = generation;
    m_results.assign(m_job.tests ? m_job.tests->size() : 0, TestResult());
    m_nDone = 0;
  }
  m_worker.Run([this](void*) { Body(); }, nullptr);
  return generation;
}

void CTestRunner::Cancel() {
  ++m_generation;
  std::lock_guard<std::mutex> lock(m_mutex);
  m_job = Job();
  m_resultGeneration = 0;
  m_results.clear();
  m_nDone = 0;
}

bool CTestRunner::TakeResults(unsigned* generation, std::vector<TestResult>* results, bool* complete) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_resultGeneration == 0) return false;
  *generation = m_resultGeneration;
  *results = m_results;
  *complete = m_nDone == static_cast<int>(m_results.size());
  return true;
}

void CTestRunner::MaybeNotify(bool last) {
  const long long now = NowMs();
  if (!last && now - m_lastNotifyMs < 50) return;
  m_lastNotifyMs = now;
  if (m_notify) m_notify();
}

void CTestRunner::Body() {
  Job job;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_job.generation == m_takenGeneration) return;  // taken up by an earlier body already
    job = m_job;
    m_takenGeneration = job.generation;
  }
  if (job.generation == 0 || !job.tests || !job.patterns) return;
  TestLimits limits;
  limits.timeLimitMs = job.timeLimitMs;
  limits.cancel = &m_generation;
  limits.generation = job.generation;
  m_lastNotifyMs = NowMs();
  const TestSet& tests = *job.tests;
  for (size_t i = 0; i < tests.size(); ++i) {
    if (m_generation.load() != job.generation) return;  // a newer run waits: the worker takes it next
    const CTestPattern* p = job.patterns->For(tests[i]);
    TestResult r;
    if (p) {
      r = RunTestCase(*p, tests[i], limits);
    } else {  // the copies were built for another set: never expected
      r.status = TEST_ERROR;
    }
    if (r.status == TEST_NOT_RUN) return;  // abandoned inside the engine
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_resultGeneration != job.generation) return;
      m_results[i] = std::move(r);
      ++m_nDone;
    }
    MaybeNotify(false);
  }
  MaybeNotify(true);
}
