// CBacktrackSession: the backtracking analysis of the document's pattern and the rewrites that
// fix it, run on a worker of its own for the Backtracking pane. The document owns it
// (CKorvaneDoc::Backtrack()); the pane asks for an analysis after every change of the pattern,
// its options or the tests, and shows what the session has taken.
//
// One request is one job on the worker: the analysis (backtrack_analysis.h), its report handed
// over at once, then the standard rewrites (backtrack_fixes.h), compared on the texts chosen here
// (Subjects: the user's tests, each with its own options, and the text box, long texts cut). The
// newest request wins: it stops the job under way between two of its steps, and what an older
// request finished is never taken. Before a proven rewrite is applied, one bounded search of
// each pattern over the text box as it is then (the user may have typed since the rewrite was
// proven) is a last check that a faulty proof would fail; it runs on the worker too.
//
// Threads. Everything but the worker's job is called on the UI thread. The worker is a
// WorkerThread (64 MiB of stack: the compiler, the analysis and the matcher recurse once per
// nesting level of the pattern, and a deeply nested one overflowed a thread of the system's
// default size). It reads only the copy of the request it took, writes its results under
// m_mutex tagged with the request's generation, and then calls the notify function, which must
// only post (the document posts CMD_BACKTRACK_RESULTS); Collect takes them on the UI thread.
//
// Covered by app/document/backtrack/tests/backtrack_session_test.cpp and, for the stack, by
// backtrack_stack_test.cpp.
#ifndef KORVANE_BACKTRACK_SESSION_H
#define KORVANE_BACKTRACK_SESSION_H

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/document/backtrack/backtrack_analysis.h"
#include "app/document/backtrack/backtrack_fixes.h"
#include "app/document/testing/test_cases.h"
#include "platform/worker_thread.h"

class CBacktrackSession {
 public:
  enum Phase {
    IDLE = 0,               // nothing asked for yet
    ANALYSING = 1,          // the newest request's report has not been taken yet
    LOOKING_FOR_FIXES = 2,  // its report is taken; a costly pattern's rewrites are being tried
    DONE = 3                // its report (and for a costly pattern its rewrites) are taken
  };
  enum ApplyCheck {
    APPLY_NONE = 0,   // no check asked for, or its answer not taken yet
    APPLY_READY = 1,  // the rewrite keeps the matches on the text box (or the search could not tell)
    APPLY_STALE = 2   // the rewrite finds other matches on the text box as it is now
  };
  // What Collect took.
  enum Taken { TOOK_REPORT = 1, TOOK_FIXES = 2, TOOK_CHECK = 4 };

  // Of a long test subject or text box, the code units a rewrite is compared on.
  static constexpr size_t kSubjectCut = 20000;
  // Tests a rewrite is compared on, the first ones of the set.
  static constexpr size_t kMaxTests = 100;
  // Element entries of each search of the check before a proven rewrite is applied.
  static constexpr long long kApplyBudget = 400000;

  // `notify` is called on the worker when something is ready to take; it must only post.
  explicit CBacktrackSession(std::function<void()> notify);
  // Stops the job under way and waits for the worker to end.
  ~CBacktrackSession();
  CBacktrackSession(const CBacktrackSession&) = delete;
  CBacktrackSession& operator=(const CBacktrackSession&) = delete;

  // Starts the analysis of `pattern` under the engine flags `flags`; its rewrites are compared on
  // Subjects(tests, box, flags). `tests` is shared with the document and never changed in place;
  // of `box` only what a comparison looks at is copied. Stops the job under way, forgets the
  // responsible spans and any check not yet taken. Returns the request's generation.
  unsigned Request(const std::u16string& pattern, int flags, std::shared_ptr<const TestSet> tests,
                   const std::vector<unsigned short>& box);
  // The check before `rewritten`, a proven rewrite of the newest request's pattern, is applied:
  // both patterns searched over `box` as it is now. False when there is nothing to check (an
  // empty box): apply at once. Else the answer comes through Collect (TakeApplyCheck); a later
  // check or request replaces this one.
  bool CheckBeforeApply(const std::u16string& rewritten, const std::vector<unsigned short>& box);

  // Takes what the worker finished for the newest request (and the newest check): a mask of
  // Taken, 0 when nothing new.
  int Collect();

  Phase GetPhase() const { return m_phase; }
  unsigned Generation() const { return m_generation.load(); }
  // The pattern and flags of the newest request.
  const std::u16string& Pattern() const { return m_pattern; }
  int Flags() const { return m_flags; }
  // The report taken last, and the request it belongs to (0: none yet); after a new request it
  // stays until that request's report is taken.
  const backtrack::Report& TakenReport() const { return m_report; }
  unsigned ReportGeneration() const { return m_reportGeneration; }
  // The rewrites taken last (proven first), and the request they belong to (0: none yet).
  const std::vector<backtrack::Fix>& TakenFixes() const { return m_fixes; }
  unsigned FixesGeneration() const { return m_fixesGeneration; }
  // The repeats the newest request's report holds responsible (its worst finding's spans);
  // empty until that report is taken, and for a pattern without a confirmed finding.
  const std::vector<std::pair<int, int>>& ResponsibleSpans() const { return m_spans; }
  // The answer of the newest check, once taken by Collect: `*pattern` is the rewrite it was
  // about. Hands it out once (then APPLY_NONE).
  ApplyCheck TakeApplyCheck(std::u16string* pattern);
  // Whether a check has been asked for whose answer Collect has not taken yet.
  bool IsChecking() const { return m_checking; }
  // True while the worker is on a job.
  bool IsBusy() const { return m_worker.IsBusy(); }

  // The texts the rewrites of a pattern analysed under `flags` are compared on: the subjects of
  // the first kMaxTests tests, each with the options it is run with, then the text box when it
  // is not empty; each cut to kSubjectCut code units.
  static std::vector<backtrack::Subject> Subjects(const TestSet* tests, const std::u16string& box, int flags);

 private:
  enum JobKind { JOB_ANALYSE = 1, JOB_CHECK = 2 };
  struct Job {
    JobKind kind = JOB_ANALYSE;
    unsigned generation = 0;
    unsigned check = 0;  // JOB_CHECK: the check's serial number
    std::u16string pattern;
    int flags = 0;
    std::shared_ptr<const TestSet> tests;
    std::u16string box;
    std::u16string rewritten;  // JOB_CHECK
  };
  void Post(Job job);
  void Body();
  void Analyse(const Job& job);
  void Check(const Job& job);

  std::function<void()> m_notify;
  // Bumped by the UI for every request; read by the worker to drop what an older one finished.
  std::atomic<unsigned> m_generation{0};
  // Set by the UI when a newer job is posted (and at the end), cleared by the worker when it
  // takes a job; the analysis and the rewrites stop between steps once it is set.
  std::atomic<bool> m_abort{false};

  std::mutex m_mutex;  // guards the fields below, written by the UI (job) and the worker (results)
  Job m_job;           // the newest job not yet taken
  bool m_pending = false;
  unsigned m_readyReportGeneration = 0;  // 0: none
  backtrack::Report m_readyReport;
  unsigned m_readyFixesGeneration = 0;
  std::vector<backtrack::Fix> m_readyFixes;
  unsigned m_readyCheck = 0;  // the serial of the check answered, 0: none
  unsigned m_readyCheckGeneration = 0;
  bool m_readySame = true;
  std::u16string m_readyRewritten;

  // UI thread only.
  Phase m_phase = IDLE;
  std::u16string m_pattern;
  int m_flags = 0;
  backtrack::Report m_report;
  unsigned m_reportGeneration = 0;
  std::vector<backtrack::Fix> m_fixes;
  unsigned m_fixesGeneration = 0;
  std::vector<std::pair<int, int>> m_spans;
  unsigned m_checkSerial = 0;  // of the newest check asked for
  bool m_checking = false;
  ApplyCheck m_applyCheck = APPLY_NONE;
  std::u16string m_checkedRewrite;

  WorkerThread m_worker;  // last: stopped first, before anything its job reads goes
};

#endif
