#include "app/document/flavours/flavour_test_check.h"

#include <QTimer>
#include <algorithm>

#include "app/document/testing/flavour_eval.h"
#include "app/flavours/flavour_pool.h"

namespace {

const std::vector<CFlavourTestCheck::Verdict>& NoVerdicts() {
  static const std::vector<CFlavourTestCheck::Verdict> none;
  return none;
}

}  // namespace

CFlavourTestCheck::CFlavourTestCheck(const CFlavourPool* launcherFrom, QObject* parent)
    : QObject(parent), m_launcherFrom(launcherFrom) {
  m_pTimer = new QTimer(this);
  m_pTimer->setSingleShot(true);
  connect(m_pTimer, &QTimer::timeout, this, &CFlavourTestCheck::CheckNow);
}

CFlavourTestCheck::~CFlavourTestCheck() = default;

CFlavourPool& CFlavourTestCheck::Pool() {
  if (!m_pool) {
    m_pool.reset(new CFlavourPool);
    // One flavour at a time is enough for a check that asks one at a time; the matrix keeps
    // the other core.
    m_pool->SetMaxBusy(1);
    if (m_launcherFrom && m_launcherFrom->GetLauncher()) m_pool->SetLauncher(m_launcherFrom->GetLauncher());
    connect(m_pool.get(), &CFlavourPool::Answered, this, &CFlavourTestCheck::OnAnswered);
    connect(m_pool.get(), &CFlavourPool::AllAnswered, this, &CFlavourTestCheck::OnAllAnswered);
  }
  return *m_pool;
}

void CFlavourTestCheck::Changed() { m_pTimer->start(m_nDelayMs); }

void CFlavourTestCheck::InterpreterChanged(const QString& flavour) {
  if (m_pool) m_pool->ForgetRunner(flavour);
  Changed();
}

const std::vector<CFlavourTestCheck::Verdict>& CFlavourTestCheck::VerdictsOf(int index) const {
  if (index < 0 || index >= static_cast<int>(m_verdicts.size())) return NoVerdicts();
  return m_verdicts[static_cast<size_t>(index)];
}

const CFlavourTestCheck::Verdict* CFlavourTestCheck::FirstFailure(int index) const {
  for (const Verdict& v : VerdictsOf(index)) {
    const int s = v.result.status;
    if (s == TEST_FAIL || s == TEST_TIMED_OUT || s == TEST_ERROR) return &v;
  }
  return nullptr;
}

void CFlavourTestCheck::CheckNow() {
  m_pTimer->stop();
  m_jobs.clear();
  m_nRequest = 0;  // answers to a request under way are no longer looked at
  const bool hadVerdicts = std::any_of(m_verdicts.begin(), m_verdicts.end(),
                                       [](const std::vector<Verdict>& v) { return !v.empty(); });
  m_verdicts.clear();
  m_checked.reset();
  Input in;
  if (m_source) in = m_source();
  if (!in.tests) in.tests = std::make_shared<const TestSet>();
  m_checked = in.tests;
  const TestSet& tests = *in.tests;
  m_verdicts.resize(tests.size());
  // The flavours named, in the order first named, each with the tests that name it.
  std::vector<QString> flavours;
  std::vector<std::vector<int>> namedBy;
  for (size_t i = 0; i < tests.size(); ++i)
    for (const TestText& raw : tests[i].mustPassIn) {
      const QString flavour = FromUnits(raw);
      auto it = std::find(flavours.begin(), flavours.end(), flavour);
      if (it == flavours.end()) {
        flavours.push_back(flavour);
        namedBy.emplace_back();
        it = flavours.end() - 1;
      }
      namedBy[static_cast<size_t>(it - flavours.begin())].push_back(static_cast<int>(i));
      m_verdicts[i].push_back(Verdict{flavour, TestResult()});
    }
  for (size_t f = 0; f < flavours.size(); ++f) {
    TestSet subset;
    for (int i : namedBy[f]) subset.push_back(tests[static_cast<size_t>(i)]);
    std::vector<TestResult> skipped;
    std::vector<FlavourTestBatch> batches = FlavourTestBatches(in.pattern, in.flags, subset, in.timeLimitMs, &skipped);
    for (size_t k = 0; k < subset.size(); ++k)
      if (skipped[k].status != TEST_PASS)
        for (Verdict& v : m_verdicts[static_cast<size_t>(namedBy[f][k])])
          if (v.flavour == flavours[f]) v.result = skipped[k];
    for (FlavourTestBatch& batch : batches) {
      Job job;
      job.flavour = flavours[f];
      for (int k : batch.tests) job.tests.push_back(namedBy[f][static_cast<size_t>(k)]);
      job.request = std::move(batch.request);
      m_jobs.push_back(std::move(job));
    }
  }
  if (m_jobs.empty()) {
    if (hadVerdicts || !flavours.empty()) emit Checked();
    return;
  }
  emit Checked();  // the verdicts are pending
  SendNext();
}

void CFlavourTestCheck::SendNext() {
  if (m_jobs.empty()) {
    m_nRequest = 0;
    return;
  }
  m_nRequest = Pool().Request({m_jobs.front().flavour}, m_jobs.front().request);
}

void CFlavourTestCheck::OnAnswered(quint64 request, const QString& flavour, const FlavourAnswer& answer) {
  if (request != m_nRequest || m_jobs.empty() || flavour != m_jobs.front().flavour || !m_checked) return;
  const Job& job = m_jobs.front();
  for (size_t k = 0; k < job.tests.size(); ++k) {
    const size_t test = static_cast<size_t>(job.tests[k]);
    if (test >= m_checked->size()) continue;
    const TestResult result = JudgeInFlavour((*m_checked)[test], answer, static_cast<int>(k));
    for (Verdict& v : m_verdicts[test])
      if (v.flavour == flavour) v.result = result;
  }
}

void CFlavourTestCheck::OnAllAnswered(quint64 request) {
  if (request != m_nRequest || m_jobs.empty()) return;
  m_jobs.pop_front();
  SendNext();
  emit Checked();
}
