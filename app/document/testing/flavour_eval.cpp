// Tests in another flavour's engine (see flavour_eval.h).
#include "app/document/testing/flavour_eval.h"

#include <map>

#include "app/document/matching/split_pieces.h"
#include "app/host_engine.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

QString Str(int id) { return CStringTable::Str(id); }
QString Fmt(int id, const QStringList& args) { return CStringTable::FormatStrings(Str(id), args); }

TestText Slice(const TestText& text, int start, int end) {
  if (start < 0 || end < start || end > static_cast<int>(text.size())) return TestText();
  return TestText(text.begin() + start, text.begin() + end);
}

// The generic option letters a flavour request carries; global is how a search is driven, not an
// option of the pattern.
QString FlagLetters(int flags) {
  QString letters;
  if (flags & IGNORECASE) letters += QLatin1Char('i');
  if (flags & MULTILINE) letters += QLatin1Char('m');
  if (flags & SINGLELINE) letters += QLatin1Char('s');
  if (flags & EXTENDED) letters += QLatin1Char('x');
  return letters;
}

TestResult Skipped(const QString& reason) {
  TestResult r;
  r.status = TEST_NOT_RUN;
  r.reason = reason;
  return r;
}

TestResult Outcome(int status, const QString& reason) {
  TestResult r;
  r.status = status;
  r.reason = reason;
  return r;
}

}  // namespace

std::vector<FlavourTestBatch> FlavourTestBatches(const TestText& pattern, int workspaceFlags, const TestSet& tests,
                                                 int timeLimitMs, std::vector<TestResult>* skipped) {
  skipped->assign(tests.size(), Outcome(TEST_PASS, QString()));
  std::map<QString, FlavourTestBatch> byFlags;
  std::vector<QString> order;  // batches in the order of their first test
  for (size_t i = 0; i < tests.size(); ++i) {
    const int flags = tests[i].EffectiveFlags(workspaceFlags);
    if (flags & RIGHTTOLEFT) {
      (*skipped)[i] = Skipped(Str(IDS_FLAVOUR_TEST_RIGHT_TO_LEFT));
      continue;
    }
    const QString letters = FlagLetters(flags);
    auto it = byFlags.find(letters);
    if (it == byFlags.end()) {
      FlavourTestBatch batch;
      batch.request.pattern = FromUnits(pattern);
      batch.request.flags = letters;
      batch.request.timeoutMs = timeLimitMs;
      it = byFlags.emplace(letters, std::move(batch)).first;
      order.push_back(letters);
    }
    it->second.tests.push_back(static_cast<int>(i));
    it->second.request.subjects << FromUnits(tests[i].Subject());
  }
  std::vector<FlavourTestBatch> out;
  for (const QString& letters : order) out.push_back(std::move(byFlags[letters]));
  return out;
}

TestResult JudgeInFlavour(const TestCase& test, const FlavourAnswer& answer, int subject) {
  switch (answer.outcome) {
    case FlavourOutcome::Compiled: break;
    case FlavourOutcome::NotInstalled: return Skipped(Fmt(IDS_FLAVOUR_TEST_NOT_INSTALLED, {answer.error}));
    case FlavourOutcome::CompileError: return Outcome(TEST_ERROR, Fmt(IDS_FLAVOUR_TEST_NO_COMPILE, {answer.error}));
    case FlavourOutcome::RunnerFailed: return Outcome(TEST_ERROR, answer.error);
  }
  if (subject < 0 || subject >= static_cast<int>(answer.subjects.size()))
    return Outcome(TEST_ERROR, Str(IDS_FLAVOUR_TEST_NO_ANSWER));
  const SubjectAnswer& a = answer.subjects[subject];
  switch (a.status) {
    case SubjectStatus::Ok: break;
    case SubjectStatus::Timeout: return Outcome(TEST_TIMED_OUT, Str(IDS_FLAVOUR_TEST_TIMED_OUT));
    case SubjectStatus::Error: return Outcome(TEST_ERROR, a.error);
    case SubjectStatus::Unrepresentable: return Skipped(Str(IDS_FLAVOUR_TEST_UNREPRESENTABLE));
    case SubjectStatus::Failed:
      return Outcome(TEST_ERROR, a.error.isEmpty() ? Str(IDS_FLAVOUR_TEST_NO_ANSWER) : a.error);
  }
  for (const FlavourMatch& m : a.matches)
    if (m.size() < 2 || m.size() % 2 != 0) return Outcome(TEST_ERROR, Str(IDS_FLAVOUR_TEST_NO_ANSWER));
  const TestText& text = test.Subject();
  const int length = static_cast<int>(text.size());
  TestActual actual;
  actual.matched = !a.matches.empty();
  if (actual.matched) {
    actual.firstStart = a.matches.front()[0];
    actual.firstEnd = a.matches.front()[1];
  }
  switch (test.expectation) {
    case EXPECT_MATCH:
    case EXPECT_NO_MATCH: break;
    case EXPECT_WHOLE: {
      bool whole = false;
      for (const FlavourMatch& m : a.matches) whole = whole || (m[0] == 0 && m[1] == length);
      if (!whole) return Skipped(Str(IDS_FLAVOUR_TEST_WHOLE_UNKNOWN));
      actual.matched = true;
      break;
    }
    case EXPECT_MATCH_LIST:
    case EXPECT_SPLIT: {
      // Every match counts: a list cut short is no answer.
      if (a.truncated) return Outcome(TEST_ERROR, Str(IDS_FLAVOUR_TEST_TRUNCATED));
      std::vector<std::pair<int, int>> spans;
      for (const FlavourMatch& m : a.matches) {
        spans.emplace_back(m[0], m[1]);
        if (test.expectation != EXPECT_MATCH_LIST) continue;
        TestMatch t;
        t.start = m[0];
        t.end = m[1];
        // A group that took no part captures the empty text, as in Korvane's own lists.
        if (test.withGroups)
          for (size_t g = 2; g + 1 < m.size(); g += 2) t.groups.push_back(Slice(text, m[g], m[g + 1]));
        actual.matches.push_back(std::move(t));
      }
      if (test.expectation == EXPECT_SPLIT)
        for (const SplitPiece& piece : SplitAround(spans, length)) actual.pieces.push_back(Slice(text, piece.start, piece.end));
      break;
    }
    case EXPECT_REPLACED: return Skipped(Str(IDS_FLAVOUR_TEST_REPLACE));
    default: return Outcome(TEST_ERROR, Str(IDS_TEST_BAD_EXPECTATION));
  }
  const QString reason = JudgeActual(test, actual);
  return Outcome(reason.isEmpty() ? TEST_PASS : TEST_FAIL, reason);
}

void CountFlavourResults(const std::vector<TestResult>& results, int* passed, int* failed, int* skipped) {
  *passed = *failed = *skipped = 0;
  for (const TestResult& r : results) {
    if (r.status == TEST_PASS) ++*passed;
    else if (r.status == TEST_NOT_RUN) ++*skipped;
    else ++*failed;
  }
}
