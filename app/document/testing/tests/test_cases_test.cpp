// Running single test cases: every kind of expectation passing and failing with its reason, a
// test's own options against the workspace's, the time limit, a run cancelled through the
// generation, a search without an answer, and "accept the current result".
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/document/testing/test_eval.h"
#include "app/document/testing/tests/test_case_builders.h"
#include "stringtable.h"

namespace {

// Exponential on a run of "x" without "y" or "z" for the direct search the tests run with: a
// lazy repeat passes over no explored state, and the alternation at the end leaves no required
// character to rule the text out at once.
const char kSlowPattern[] = "(?:x|x)*?(?:y|z)";

TestResult RunOne(const std::string& pattern, const TestCase& t, int flags = 0, const std::string& replaceTo = "",
                  int limitMs = 5000) {
  CTestPattern p(U(pattern), t.EffectiveFlags(flags), U(replaceTo));
  TestLimits limits;
  limits.timeLimitMs = limitMs;
  return RunTestCase(p, t, limits);
}

std::string Reason(const TestResult& r) { return r.reason.toStdString(); }

class TestCaseRuns : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
};

struct KindCase {
  const char* what;
  std::string pattern;
  std::string replaceTo;
  TestCase test;
  int status;
  std::string reason;
};

TestCase WithMatches(TestCase t, std::vector<TestMatch> m, bool groups = false) {
  t.matches = std::move(m);
  t.withGroups = groups;
  return t;
}
TestCase WithReplaced(TestCase t, const std::string& r) {
  t.SetReplaced(U(r));
  return t;
}
TestCase WithPieces(TestCase t, std::vector<std::string> pieces) {
  for (const std::string& p : pieces) t.pieces.push_back(U(p));
  return t;
}

TEST_F(TestCaseRuns, EveryExpectationPassesAndFailsWithItsReason) {
  const std::string text = "ab12 cd345 ef6";
  const std::vector<KindCase> cases = {
      {"match passes", "\\d+", "", Make(text, EXPECT_MATCH), TEST_PASS, ""},
      {"match fails", "x", "", Make(text, EXPECT_MATCH), TEST_FAIL, "expected a match, found none"},
      {"no match passes", "x", "", Make(text, EXPECT_NO_MATCH), TEST_PASS, ""},
      {"no match fails", "\\d+", "", Make(text, EXPECT_NO_MATCH), TEST_FAIL, "expected no match, found one at 2-4"},
      {"whole passes", "[a-z0-9 ]+", "", Make(text, EXPECT_WHOLE), TEST_PASS, ""},
      {"whole fails on a part", "[a-z0-9]+", "", Make(text, EXPECT_WHOLE), TEST_FAIL,
       "expected the whole text to match, it does not"},
      // The first alternative stops short; a later one spans the text, as MatchExact takes it.
      {"whole takes a later alternative", "ab|ab12 cd345 ef6", "", Make(text, EXPECT_WHOLE), TEST_PASS, ""},
      {"list passes", "\\d+", "", WithMatches(Make(text, EXPECT_MATCH_LIST), {M(2, 4), M(7, 10), M(13, 14)}),
       TEST_PASS, ""},
      {"list has one match too few", "\\d+", "", WithMatches(Make(text, EXPECT_MATCH_LIST), {M(2, 4), M(7, 10), M(13, 14), M(20, 22)}),
       TEST_FAIL, "expected 4 matches, got 3: the fourth match 20-22 was not found"},
      {"list has a different span and a count", "\\d+", "",
       WithMatches(Make(text, EXPECT_MATCH_LIST), {M(2, 4), M(7, 9)}), TEST_FAIL,
       "expected 2 matches, got 3: the second match is 7-10, expected 7-9"},
      {"list has an extra match", "\\d+", "", WithMatches(Make(text, EXPECT_MATCH_LIST), {M(2, 4), M(7, 10)}),
       TEST_FAIL, "expected 2 matches, got 3: the third match 13-14 was not expected"},
      {"list of the same size differs", "\\d+", "",
       WithMatches(Make(text, EXPECT_MATCH_LIST), {M(2, 4), M(7, 10), M(12, 14)}), TEST_FAIL,
       "the third match is 13-14, expected 12-14"},
      {"groups pass", "([a-z]+)(\\d)", "",
       WithMatches(Make(text, EXPECT_MATCH_LIST), {M(0, 3, {"ab", "1"}), M(5, 8, {"cd", "3"}), M(11, 14, {"ef", "6"})}, true),
       TEST_PASS, ""},
      {"a group differs", "([a-z]+)(\\d)", "",
       WithMatches(Make(text, EXPECT_MATCH_LIST), {M(0, 3, {"ab", "1"}), M(5, 8, {"cd", "4"}), M(11, 14, {"ef", "6"})}, true),
       TEST_FAIL, "the second match: group 2 captured \"3\", expected \"4\""},
      {"groups not compared", "([a-z]+)(\\d)", "",
       WithMatches(Make(text, EXPECT_MATCH_LIST), {M(0, 3), M(5, 8), M(11, 14)}, false), TEST_PASS, ""},
      {"replaced passes", "(\\d)(\\d)", "$2$1", WithReplaced(Make(text, EXPECT_REPLACED), "ab21 cd435 ef6"), TEST_PASS, ""},
      {"replaced fails", "(\\d)(\\d)", "$2$1", WithReplaced(Make(text, EXPECT_REPLACED), "ab21 cd345 ef6"), TEST_FAIL,
       "the replaced text differs at 7: \"ab21 cd435 ef6\", expected \"ab21 cd345 ef6\""},
      {"replace specials", "\\d+", "[$&|$`]", WithReplaced(Make("a1b", EXPECT_REPLACED), "a[1|a]b"), TEST_PASS, ""},
      {"split passes", "\\s+", "", WithPieces(Make(text, EXPECT_SPLIT), {"ab12", "cd345", "ef6"}), TEST_PASS, ""},
      {"split piece differs", "\\s+", "", WithPieces(Make(text, EXPECT_SPLIT), {"ab12", "cd34", "ef6"}), TEST_FAIL,
       "the second piece is \"cd345\", expected \"cd34\""},
      {"split count differs", "\\s+", "", WithPieces(Make(text, EXPECT_SPLIT), {"ab12", "cd345"}), TEST_FAIL,
       "expected 2 pieces, got 3: the third piece \"ef6\" was not expected"},
      // An expectation from a newer program's file: nothing was compared, so no pass or fail.
      {"unknown expectation", "a", "", Make(text, 42), TEST_ERROR, "unknown kind of expectation"},
      {"negative expectation", "a", "", Make(text, -1), TEST_ERROR, "unknown kind of expectation"},
  };
  for (const KindCase& c : cases) {
    const TestResult r = RunOne(c.pattern, c.test, 0, c.replaceTo);
    EXPECT_EQ(c.status, r.status) << c.what << ": " << Reason(r);
    EXPECT_EQ(c.reason, Reason(r)) << c.what;
  }
}

TEST_F(TestCaseRuns, RightToLeftReplaceAndSplitReadLeftToRight) {
  // Right to left the matches come last first; the replaced text and the pieces still read in
  // text order.
  const TestResult replaced =
      RunOne("\\d", WithReplaced(Make("a1b2c", EXPECT_REPLACED), "a<1>b<2>c"), RIGHTTOLEFT, "<$&>");
  EXPECT_EQ(TEST_PASS, replaced.status) << Reason(replaced);
  const TestResult split = RunOne("\\d", WithPieces(Make("a1b2c", EXPECT_SPLIT), {"a", "b", "c"}), RIGHTTOLEFT);
  EXPECT_EQ(TEST_PASS, split.status) << Reason(split);
  const TestResult list = RunOne("\\d", WithMatches(Make("a1b2c", EXPECT_MATCH_LIST), {M(3, 4), M(1, 2)}), RIGHTTOLEFT);
  EXPECT_EQ(TEST_PASS, list.status) << Reason(list);
}

TEST_F(TestCaseRuns, ReasonsShowLineBreaksAndCutLongTexts) {
  TestCase t = WithPieces(Make("a\nb,c", EXPECT_SPLIT), {"a\tb", "c"});
  EXPECT_EQ("the first piece is \"a\\nb\", expected \"a\\tb\"", Reason(RunOne(",", t)));
  const std::string longText(100, 'x');
  TestCase r = WithReplaced(Make(longText, EXPECT_REPLACED), longText);
  const std::string reason = Reason(RunOne("x$", r, 0, "y"));
  EXPECT_LT(reason.size(), 120u) << reason;
  EXPECT_NE(std::string::npos, reason.find("differs at 99")) << reason;
}

TEST_F(TestCaseRuns, OrdinalsBeyondTenAreNumbered) {
  std::string text;
  std::vector<TestMatch> want;
  for (int i = 0; i < 12; ++i) {
    text += "a ";
    want.push_back(M(2 * i, 2 * i + 1));
  }
  want[11].end = 2;  // the twelfth differs
  EXPECT_EQ("the #12 match is 22-23, expected 22-2", Reason(RunOne("a", WithMatches(Make(text, EXPECT_MATCH_LIST), want))));
}

TEST_F(TestCaseRuns, OwnOptionsOverrideTheWorkspaceOptions) {
  TestCase t = Make("ABC", EXPECT_MATCH);
  EXPECT_EQ(TEST_FAIL, RunOne("abc", t, 0).status);
  EXPECT_EQ(TEST_PASS, RunOne("abc", t, IGNORECASE).status);
  t.ownOptions = true;
  t.flags = 0;
  EXPECT_EQ(TEST_FAIL, RunOne("abc", t, IGNORECASE).status) << "its own options: case matters";
  t.flags = IGNORECASE;
  EXPECT_EQ(TEST_PASS, RunOne("abc", t, 0).status);

  // The set of compiled copies has one per distinct set of options and picks the right one.
  TestCase plain = Make("ABC", EXPECT_MATCH);
  TestSet set = {plain, t};
  CTestPatterns patterns(U("abc"), 0, U(""), set);
  ASSERT_NE(nullptr, patterns.For(plain));
  ASSERT_NE(nullptr, patterns.For(t));
  EXPECT_EQ(0, patterns.For(plain)->Flags());
  EXPECT_EQ(IGNORECASE, patterns.For(t)->Flags());
  TestCase other = t;
  other.flags = MULTILINE;
  EXPECT_EQ(nullptr, patterns.For(other));
}

TEST_F(TestCaseRuns, AnExponentialPatternTimesOutWithItsStepCount) {
  TestCase t = Make(std::string(200, 'x'), EXPECT_NO_MATCH);
  const TestResult r = RunOne(kSlowPattern, t, 0, "", 100);
  EXPECT_EQ(TEST_TIMED_OUT, r.status) << Reason(r);
  EXPECT_GT(r.steps, 1000);
  EXPECT_NE(std::string::npos, Reason(r).find("timed out after 100 ms")) << Reason(r);
  EXPECT_NE(std::string::npos, Reason(r).find(std::to_string(r.steps) + " steps")) << Reason(r);
  EXPECT_LT(r.seconds, 5.0) << "the limit stops the search inside the engine";
}

TEST_F(TestCaseRuns, ACancelledRunGivesNoResult) {
  std::atomic<unsigned> generation{7};
  CTestPattern p(U(kSlowPattern), 0, U(""));
  TestCase t = Make(std::string(200, 'x'), EXPECT_NO_MATCH);
  TestLimits limits;
  limits.timeLimitMs = 60000;
  limits.cancel = &generation;
  limits.generation = 7;
  std::thread later([&generation] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    generation = 8;
  });
  const TestResult r = RunTestCase(p, t, limits);
  later.join();
  EXPECT_EQ(TEST_NOT_RUN, r.status);
  EXPECT_TRUE(r.reason.isEmpty());
}

TEST_F(TestCaseRuns, ASearchThatNestsTooDeepIsAnError) {
  // A recursion as deep as the text is long goes past the engine's nesting limit: the search
  // has no answer, which is neither "matches" nor "does not match".
  const TestResult r = RunOne("a(?R)?", Make(std::string(100000, 'a'), EXPECT_NO_MATCH), 0, "", 60000);
  EXPECT_EQ(TEST_ERROR, r.status) << Reason(r);
  EXPECT_EQ("no answer: the search nested too deep", Reason(r));
}

TEST_F(TestCaseRuns, AcceptFillsEachKindFromTheCurrentResult) {
  TestLimits limits;
  limits.timeLimitMs = 5000;
  CTestPattern p(U("(\\w)(\\d)"), 0, U("$2$1"));
  struct Case {
    int kind;
    int kindAfter;
  };
  for (Case c : {Case{EXPECT_MATCH, EXPECT_MATCH}, Case{EXPECT_NO_MATCH, EXPECT_MATCH}, Case{EXPECT_WHOLE, EXPECT_MATCH},
                 Case{EXPECT_MATCH_LIST, EXPECT_MATCH_LIST}, Case{EXPECT_REPLACED, EXPECT_REPLACED},
                 Case{EXPECT_SPLIT, EXPECT_SPLIT}}) {
    TestCase t = Make("a1 b2", c.kind);
    t.withGroups = true;
    const TestResult accepted = AcceptResult(p, &t, limits);
    EXPECT_EQ(TEST_PASS, accepted.status) << c.kind;
    EXPECT_EQ(c.kindAfter, t.expectation) << c.kind;
    const TestResult again = RunTestCase(p, t, limits);
    EXPECT_EQ(TEST_PASS, again.status) << c.kind << ": " << Reason(again);
  }
  TestCase list = Make("a1 b2", EXPECT_MATCH_LIST);
  list.withGroups = true;
  AcceptResult(p, &list, limits);
  EXPECT_EQ((std::vector<TestMatch>{M(0, 2, {"a", "1"}), M(3, 5, {"b", "2"})}), list.matches);
  TestCase replaced = Make("a1 b2", EXPECT_REPLACED);
  AcceptResult(p, &replaced, limits);
  EXPECT_EQ(U("1a 2b"), replaced.Replaced());

  // Nothing matches: a match test becomes a no-match test; a whole-text test too.
  CTestPattern none(U("z"), 0, U(""));
  TestCase m = Make("abc", EXPECT_WHOLE);
  EXPECT_EQ(TEST_PASS, AcceptResult(none, &m, limits).status);
  EXPECT_EQ(EXPECT_NO_MATCH, m.expectation);
}

TEST_F(TestCaseRuns, AcceptLeavesATestThatTimesOutAsItWas) {
  TestLimits limits;
  limits.timeLimitMs = 50;
  CTestPattern p(U(kSlowPattern), 0, U(""));
  TestCase t = Make(std::string(200, 'x'), EXPECT_MATCH_LIST);
  t.matches = {M(1, 2)};
  const TestCase before = t;
  EXPECT_EQ(TEST_TIMED_OUT, AcceptResult(p, &t, limits).status);
  EXPECT_TRUE(before == t);
}

TEST_F(TestCaseRuns, CopiesShareTheSubjectAndStatusTextCounts) {
  TestCase a = Make(std::string(1000, 'x'), EXPECT_MATCH);
  TestCase b = a;
  EXPECT_EQ(a.SharedSubject().get(), b.SharedSubject().get());
  b.SetSubject(U("y"));
  EXPECT_EQ(1000u, a.Subject().size()) << "setting one copy's subject leaves the other's";

  std::vector<TestResult> results(5);
  results[0].status = TEST_PASS;
  results[1].status = TEST_PASS;
  results[2].status = TEST_FAIL;
  results[3].status = TEST_TIMED_OUT;
  results[4].status = TEST_NOT_RUN;
  EXPECT_EQ("Tests: 2 passed, 2 failed", TestStatusText(results).toStdString());
  EXPECT_TRUE(TestStatusText({}).isEmpty());
}

TEST_F(TestCaseRuns, BlankNamesAreNamedAfterTheirPlace) {
  struct Row {
    std::string name;
    bool blank;
  } rows[] = {{"", true}, {"   ", true}, {"\t\n", true}, {"a", false}, {" x ", false}};
  TestSet set;
  for (const Row& r : rows) {
    EXPECT_EQ(r.blank, IsBlankTestName(U(r.name))) << "[" << r.name << "]";
    TestCase t = Make("s", EXPECT_MATCH);
    t.name = U(r.name);
    set.push_back(t);
  }
  EXPECT_TRUE(HasUnnamedTests(set));
  NameUnnamedTests(&set);
  EXPECT_FALSE(HasUnnamedTests(set));
  const std::vector<std::string> named = {"Test 1", "Test 2", "Test 3", "a", " x "};
  for (size_t i = 0; i < set.size(); ++i)
    EXPECT_EQ(named[i], QString::fromUtf16(reinterpret_cast<const char16_t*>(set[i].name.data()),
                                           static_cast<qsizetype>(set[i].name.size())).toStdString());
}

}  // namespace
