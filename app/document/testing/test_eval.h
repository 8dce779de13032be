// Running one test case: a compiled copy of the pattern for one set of options, the result of a
// test (pass, fail, timed out, error, with a one-line reason), and "accept the current result"
// (fill a test's expectation from what the pattern gives now).
//
// Threads. A CTestPattern is built on the UI thread (parsing the replace-to text goes through an
// engine pattern shared by the whole process) and is then only read: the tests search with the
// direct search (fast_search.h), which writes nothing into the compiled pattern, so any number
// of threads may run tests of one CTestPattern. RunTestCase and AcceptResult touch nothing else
// that is shared; the runner, the command line and the document each use their own copies.
//
// Covered by app/document/testing/tests/test_cases_test.cpp.
#ifndef KORVANE_TEST_EVAL_H
#define KORVANE_TEST_EVAL_H

#include <QString>
#include <atomic>
#include <map>
#include <memory>

#include "app/document/matching/fast_search.h"
#include "app/document/matching/replace_result.h"
#include "app/document/testing/test_cases.h"
#include "app/host_engine.h"

enum ETestStatus {
  TEST_NOT_RUN = 0,   // no result yet (a run is pending or under way)
  TEST_PASS = 1,
  TEST_FAIL = 2,
  TEST_TIMED_OUT = 3, // ran past its time limit; steps says how far it got
  TEST_ERROR = 4      // no answer: the search nested too deep or ran out of memory
};

struct TestResult {
  int status = TEST_NOT_RUN;
  QString reason;        // one line; empty on a pass
  long long steps = 0;   // steps of the direct search (step_counts.h)
  double seconds = 0;    // time the test took
  bool operator==(const TestResult& o) const { return status == o.status && reason == o.reason; }
};

// The pattern compiled with one set of options, and the replace-to text parsed against it.
class CTestPattern {
 public:
  // UI thread only (see the note at the top).
  CTestPattern(const TestText& pattern, int flags, const TestText& replaceTo);
  CTestPattern(const CTestPattern&) = delete;
  CTestPattern& operator=(const CTestPattern&) = delete;

  const HostRegexp& Regexp() const { return m_regexp; }
  // The same pattern for the direct search, which runs the tests.
  const CFastPattern& Direct() const { return m_direct; }
  int Flags() const { return m_nFlags; }
  const TestText& ReplaceTo() const { return m_replaceTo; }
  const ::ReplaceProgram& Program() const { return m_program; }

 private:
  HostRegexp m_regexp;
  CFastPattern m_direct;
  int m_nFlags;
  TestText m_replaceTo;
  ::ReplaceProgram m_program;
};

// The compiled copies a test set needs: one per distinct set of options, all built on the UI
// thread when the set is made.
class CTestPatterns {
 public:
  CTestPatterns(const TestText& pattern, int workspaceFlags, const TestText& replaceTo, const TestSet& tests);
  // The copy for a test of the set it was built for; null for options it was not built for.
  const CTestPattern* For(const TestCase& test) const;
  int WorkspaceFlags() const { return m_nWorkspaceFlags; }

 private:
  int m_nWorkspaceFlags;
  std::map<int, std::unique_ptr<CTestPattern>> m_byFlags;
};

// How long a test may run, and how a run in progress is abandoned: when `cancel` is given and
// its value differs from `generation`, the search stops at once and the result is TEST_NOT_RUN.
struct TestLimits {
  int timeLimitMs = 500;
  const std::atomic<unsigned>* cancel = nullptr;
  unsigned generation = 0;
};

// What the pattern gives for a test's subject, as far as its expectation needs it.
struct TestActual {
  bool matched = false;               // EXPECT_MATCH, EXPECT_NO_MATCH, EXPECT_WHOLE
  int firstStart = -1, firstEnd = -1; // the first match, when matched
  std::vector<TestMatch> matches;     // EXPECT_MATCH_LIST (groups when the test compares them)
  TestText replaced;                  // EXPECT_REPLACED
  std::vector<TestText> pieces;       // EXPECT_SPLIT
};

// Judges what an engine gave for a test's subject against the test's expectation: the reason of
// a failure (one line), or empty on a pass. Reads what the expectation needs: `matched` and the
// first match for a match, no match or whole-text test, `matches`, `replaced` or `pieces` for the
// others. The command line and the flavour checks judge other engines' answers with it.
QString JudgeActual(const TestCase& test, const TestActual& actual);

// A test's text (name, subject, flavour name) as a QString.
inline QString FromUnits(const TestText& t) {
  return QString(reinterpret_cast<const QChar*>(t.data()), static_cast<qsizetype>(t.size()));
}

// Runs one test; never throws. When `actual` is given it receives what the pattern gave
// (meaningful for TEST_PASS and TEST_FAIL only). A test whose expectation this program does not
// know (from a newer program's file) is an error, not a failure: nothing was compared.
TestResult RunTestCase(const CTestPattern& pattern, const TestCase& test, const TestLimits& limits,
                       TestActual* actual = nullptr);

// Fills the test's expectation from what the pattern gives now: matches / no match follow the
// result, a whole-text test that no longer matches the whole text becomes a match / no match
// test, a match list, replaced text or split list takes the current one. Returns the run's
// result; the test is changed only when that is a pass or a fail.
TestResult AcceptResult(const CTestPattern& pattern, TestCase* test, const TestLimits& limits);

// A name that shows as nothing (empty, or blanks only): a test must not have one, as lists and
// reports would show a blank.
bool IsBlankTestName(const TestText& name);
bool HasUnnamedTests(const TestSet& tests);
// Names every test whose name is blank "Test N", N its place in the set counted from 1.
void NameUnnamedTests(TestSet* tests);

// "Tests: N passed, N failed" (timed out and error count as failed); empty for no tests.
QString TestStatusText(const std::vector<TestResult>& results);
// Passed and failed counts (not run counts as neither).
void CountResults(const std::vector<TestResult>& results, int* passed, int* failed);

#endif
