// The backtracking session (see backtrack_session.h).
#include "app/document/backtrack/backtrack_session.h"

#include <algorithm>

CBacktrackSession::CBacktrackSession(std::function<void()> notify) : m_notify(std::move(notify)) {}

CBacktrackSession::~CBacktrackSession() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending = false;
  }
  m_abort = true;
  m_worker.Stop();  // waits for the job under way, which stops at its next step
}

std::vector<backtrack::Subject> CBacktrackSession::Subjects(const TestSet* tests, const std::u16string& box, int flags) {
  std::vector<backtrack::Subject> out;
  for (size_t i = 0; tests && i < tests->size() && i < kMaxTests; ++i) {
    const TestText& t = (*tests)[i].Subject();
    const size_t n = std::min(t.size(), kSubjectCut);
    out.push_back({std::u16string(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(n)), (*tests)[i].EffectiveFlags(flags)});
  }
  if (!box.empty()) out.push_back({box.substr(0, kSubjectCut), flags});
  return out;
}

unsigned CBacktrackSession::Request(const std::u16string& pattern, int flags, std::shared_ptr<const TestSet> tests,
                                    const std::vector<unsigned short>& box) {
  const unsigned generation = m_generation.load() + 1;
  m_generation.store(generation);
  m_pattern = pattern;
  m_flags = flags;
  m_phase = ANALYSING;
  m_spans.clear();  // the marks of the last pattern's report go with it
  m_checking = false;
  m_applyCheck = APPLY_NONE;
  Job job;
  job.kind = JOB_ANALYSE;
  job.generation = generation;
  job.pattern = pattern;
  job.flags = flags;
  job.tests = std::move(tests);
  job.box.assign(box.begin(), box.begin() + static_cast<std::ptrdiff_t>(std::min(box.size(), kSubjectCut)));
  Post(std::move(job));
  return generation;
}

bool CBacktrackSession::CheckBeforeApply(const std::u16string& rewritten, const std::vector<unsigned short>& box) {
  if (box.empty()) return false;
  m_checking = true;
  m_applyCheck = APPLY_NONE;
  Job job;
  job.kind = JOB_CHECK;
  job.generation = m_generation.load();
  job.check = ++m_checkSerial;
  job.pattern = m_pattern;
  job.flags = m_flags;
  job.box.assign(box.begin(), box.begin() + static_cast<std::ptrdiff_t>(std::min(box.size(), kSubjectCut)));
  job.rewritten = rewritten;
  Post(std::move(job));
  return true;
}

void CBacktrackSession::Post(Job job) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_job = std::move(job);
    m_pending = true;
    m_abort = true;  // the job under way is out of date
  }
  // Taken up when the worker is free; a body that starts finds the newest job, and one that
  // finds none returns at once.
  m_worker.Run([this](void*) { Body(); }, nullptr);
}

void CBacktrackSession::Body() {
  for (;;) {
    Job job;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (!m_pending) return;
      job = std::move(m_job);
      m_job = Job();
      m_pending = false;
      m_abort = false;
    }
    if (job.kind == JOB_CHECK)
      Check(job);
    else
      Analyse(job);
  }
}

void CBacktrackSession::Analyse(const Job& job) {
  backtrack::Report report = backtrack::Analyze(job.pattern, job.flags, backtrack::Limits(), &m_abort);
  if (m_abort) return;  // a newer job (or the end) came meanwhile
  const bool costly = report.Worst() >= 0;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_readyReportGeneration = job.generation;
    if (costly)
      m_readyReport = report;  // the rewrites below still read it
    else
      m_readyReport = std::move(report);
  }
  if (m_notify) m_notify();
  // The verdict is on its way; the rewrites take longer (each is compared on many texts).
  if (!costly) return;
  const std::vector<backtrack::Subject> subjects = Subjects(job.tests.get(), job.box, job.flags);
  std::vector<backtrack::Fix> fixes =
      backtrack::ProposeFixes(job.pattern, job.flags, report, subjects, backtrack::Limits(), &m_abort);
  if (m_abort) return;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_readyFixesGeneration = job.generation;
    m_readyFixes = std::move(fixes);
  }
  if (m_notify) m_notify();
}

void CBacktrackSession::Check(const Job& job) {
  bool undecided = false;
  const bool same = backtrack::SameMatches(job.pattern, job.rewritten, job.flags, job.box, kApplyBudget, &undecided);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_readyCheck = job.check;
    m_readyCheckGeneration = job.generation;
    // A search that ran out of its budget says nothing against the proof.
    m_readySame = same || undecided;
    m_readyRewritten = job.rewritten;
  }
  if (m_notify) m_notify();
}

int CBacktrackSession::Collect() {
  int taken = 0;
  const unsigned generation = m_generation.load();
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_readyReportGeneration == generation && m_reportGeneration != generation) {
    m_report = std::move(m_readyReport);
    m_readyReport = backtrack::Report();
    m_reportGeneration = generation;
    const int worst = m_report.Worst();
    m_spans = worst >= 0 ? m_report.findings[worst].spans : std::vector<std::pair<int, int>>();
    if (m_phase == ANALYSING) m_phase = worst >= 0 ? LOOKING_FOR_FIXES : DONE;
    taken |= TOOK_REPORT;
  }
  if (m_readyFixesGeneration == generation && m_fixesGeneration != generation && m_reportGeneration == generation) {
    m_fixes = std::move(m_readyFixes);
    m_readyFixes.clear();
    m_fixesGeneration = generation;
    m_phase = DONE;
    taken |= TOOK_FIXES;
  }
  if (m_checking && m_readyCheck == m_checkSerial && m_readyCheckGeneration == generation) {
    m_checking = false;
    m_applyCheck = m_readySame ? APPLY_READY : APPLY_STALE;
    m_checkedRewrite = m_readyRewritten;
    taken |= TOOK_CHECK;
  }
  return taken;
}

CBacktrackSession::ApplyCheck CBacktrackSession::TakeApplyCheck(std::u16string* pattern) {
  const ApplyCheck answer = m_applyCheck;
  if (answer != APPLY_NONE && pattern) *pattern = m_checkedRewrite;
  m_applyCheck = APPLY_NONE;
  return answer;
}
