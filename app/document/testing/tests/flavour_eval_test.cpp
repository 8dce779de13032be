// Tests judged from another flavour's find-all: the batches a test set is asked in, and each
// expectation judged from answers made by hand (the engines themselves are exercised through the
// command line's tests), skipped where a find-all cannot decide, never passed.
#include <gtest/gtest.h>

#include <string>

#include "app/document/testing/flavour_eval.h"
#include "app/document/testing/tests/test_case_builders.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

// A compiled answer with one subject holding `matches`.
FlavourAnswer Answer(std::vector<FlavourMatch> matches, SubjectStatus status = SubjectStatus::Ok,
                     bool truncated = false) {
  FlavourAnswer a;
  a.flavour = QStringLiteral("python");
  a.outcome = FlavourOutcome::Compiled;
  SubjectAnswer s;
  s.status = status;
  s.matches = std::move(matches);
  s.truncated = truncated;
  a.subjects.push_back(s);
  return a;
}

TEST(FlavourEval, TestsAreAskedOnceForEachSetOfOptions) {
  TestSet tests;
  tests.push_back(Make("a", EXPECT_MATCH));                 // the workspace's options: i
  TestCase own = Make("b", EXPECT_MATCH);
  own.ownOptions = true;
  own.flags = MULTILINE | GLOBAL;                            // m (global is how a search is driven)
  tests.push_back(own);
  TestCase rtl = Make("c", EXPECT_MATCH);
  rtl.ownOptions = true;
  rtl.flags = RIGHTTOLEFT;
  tests.push_back(rtl);
  tests.push_back(Make("d", EXPECT_NO_MATCH));              // i again
  std::vector<TestResult> skipped;
  const std::vector<FlavourTestBatch> batches = FlavourTestBatches(U("x+"), IGNORECASE, tests, 250, &skipped);
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(batches[0].tests, (std::vector<int>{0, 3}));
  EXPECT_EQ(batches[0].request.flags, QStringLiteral("i"));
  EXPECT_EQ(batches[0].request.subjects, (QStringList{QStringLiteral("a"), QStringLiteral("d")}));
  EXPECT_EQ(batches[0].request.pattern, QStringLiteral("x+"));
  EXPECT_EQ(batches[0].request.timeoutMs, 250);
  EXPECT_EQ(batches[1].tests, (std::vector<int>{1}));
  EXPECT_EQ(batches[1].request.flags, QStringLiteral("m"));
  ASSERT_EQ(skipped.size(), 4u);
  EXPECT_EQ(skipped[2].status, TEST_NOT_RUN);
  EXPECT_EQ(skipped[2].reason, CStringTable::Str(IDS_FLAVOUR_TEST_RIGHT_TO_LEFT));
  EXPECT_EQ(skipped[0].status, TEST_PASS);
}

struct JudgeCase {
  const char* name;
  TestCase test;
  FlavourAnswer answer;
  int status;
  int reasonId;  // 0: not checked
};

TestCase List(const std::string& subject, std::vector<TestMatch> matches, bool withGroups) {
  TestCase t = Make(subject, EXPECT_MATCH_LIST);
  t.matches = std::move(matches);
  t.withGroups = withGroups;
  return t;
}

TestCase Split(const std::string& subject, std::vector<std::string> pieces) {
  TestCase t = Make(subject, EXPECT_SPLIT);
  for (const std::string& p : pieces) t.pieces.push_back(U(p));
  return t;
}

TEST(FlavourEval, EachExpectationIsJudgedFromTheFindAll) {
  FlavourAnswer missing = Answer({});
  missing.outcome = FlavourOutcome::NotInstalled;
  missing.error = QStringLiteral("install python3");
  FlavourAnswer rejected = Answer({});
  rejected.outcome = FlavourOutcome::CompileError;
  rejected.error = QStringLiteral("bad escape");
  const JudgeCase cases[] = {
      {"a match found", Make("xay", EXPECT_MATCH), Answer({{1, 2}}), TEST_PASS, 0},
      {"no match found for a match test", Make("xy", EXPECT_MATCH), Answer({}), TEST_FAIL, IDS_TEST_EXPECTED_MATCH},
      {"no match test passes without one", Make("xy", EXPECT_NO_MATCH), Answer({}), TEST_PASS, 0},
      {"no match test fails on one", Make("xay", EXPECT_NO_MATCH), Answer({{1, 2}}), TEST_FAIL, 0},
      {"whole text matched", Make("abc", EXPECT_WHOLE), Answer({{0, 3}}), TEST_PASS, 0},
      {"whole text not decided by a shorter match", Make("abc", EXPECT_WHOLE), Answer({{0, 1}, {1, 3}}), TEST_NOT_RUN,
       IDS_FLAVOUR_TEST_WHOLE_UNKNOWN},
      {"match list alike", List("a1b2", {M(1, 2), M(3, 4)}, false), Answer({{1, 2}, {3, 4}}), TEST_PASS, 0},
      {"match list with a match more", List("a1b2", {M(1, 2)}, false), Answer({{1, 2}, {3, 4}}), TEST_FAIL, 0},
      {"a group that took no part is the empty text", List("ab", {M(0, 1, {"a", ""})}, true),
       Answer({{0, 1, 0, 1, -1, -1}}), TEST_PASS, 0},
      {"a group captured other text", List("ab", {M(0, 2, {"a"})}, true), Answer({{0, 2, 1, 2}}), TEST_FAIL, 0},
      {"groups not compared when the test does not", List("ab", {M(0, 2)}, false), Answer({{0, 2, 1, 2}}), TEST_PASS,
       0},
      {"split around the matches", Split("a,b,,c", {"a", "b", "", "c"}), Answer({{1, 2}, {3, 4}, {4, 5}}), TEST_PASS,
       0},
      {"split with a piece missing", Split("a,b", {"a,b"}), Answer({{1, 2}}), TEST_FAIL, 0},
      {"a replace test is not checked", Make("a", EXPECT_REPLACED), Answer({{0, 1}}), TEST_NOT_RUN,
       IDS_FLAVOUR_TEST_REPLACE},
      {"a list cut short is no answer", List("aa", {M(0, 1), M(1, 2)}, false), Answer({{0, 1}}, SubjectStatus::Ok, true),
       TEST_ERROR, IDS_FLAVOUR_TEST_TRUNCATED},
      {"time-out", Make("a", EXPECT_MATCH), Answer({}, SubjectStatus::Timeout), TEST_TIMED_OUT,
       IDS_FLAVOUR_TEST_TIMED_OUT},
      {"a text the engine cannot take", Make("a", EXPECT_MATCH), Answer({}, SubjectStatus::Unrepresentable),
       TEST_NOT_RUN, IDS_FLAVOUR_TEST_UNREPRESENTABLE},
      {"a missing engine skips", Make("a", EXPECT_NO_MATCH), missing, TEST_NOT_RUN, 0},
      {"a rejected pattern is an error", Make("a", EXPECT_NO_MATCH), rejected, TEST_ERROR, 0},
      {"a malformed match is an error", Make("a", EXPECT_MATCH), Answer({{0}}), TEST_ERROR, IDS_FLAVOUR_TEST_NO_ANSWER},
  };
  for (const JudgeCase& c : cases) {
    const TestResult r = JudgeInFlavour(c.test, c.answer, 0);
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.reason.toStdString();
    if (c.reasonId) {
      EXPECT_EQ(r.reason, CStringTable::Str(c.reasonId)) << c.name;
    }
    EXPECT_EQ(r.reason.isEmpty(), c.status == TEST_PASS) << c.name << ": " << r.reason.toStdString();
  }
  EXPECT_TRUE(JudgeInFlavour(Make("a", EXPECT_NO_MATCH), missing, 0).reason.contains(QStringLiteral("install python3")));
  EXPECT_TRUE(JudgeInFlavour(Make("a", EXPECT_NO_MATCH), rejected, 0).reason.contains(QStringLiteral("bad escape")));
}

TEST(FlavourEval, AnAnswerWithoutTheSubjectIsAnError) {
  EXPECT_EQ(JudgeInFlavour(Make("a", EXPECT_MATCH), Answer({{0, 1}}), 1).status, TEST_ERROR);
  EXPECT_EQ(JudgeInFlavour(Make("a", EXPECT_MATCH), Answer({{0, 1}}), -1).status, TEST_ERROR);
}

TEST(FlavourEval, CountsSkippedApart) {
  std::vector<TestResult> results(5);
  results[0].status = TEST_PASS;
  results[1].status = TEST_FAIL;
  results[2].status = TEST_TIMED_OUT;
  results[3].status = TEST_ERROR;
  results[4].status = TEST_NOT_RUN;
  int passed = 0, failed = 0, skipped = 0;
  CountFlavourResults(results, &passed, &failed, &skipped);
  EXPECT_EQ(passed, 1);
  EXPECT_EQ(failed, 3);
  EXPECT_EQ(skipped, 1);
}

}  // namespace
