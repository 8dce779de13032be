// Step counts: the steps of searches whose element entries are counted by hand, the same counts
// in every work mode and while stepping, Find All's total against its matches, the status bar
// and the message, and the counter's own limits.
#include <gtest/gtest.h>

#include "app/document/core/tests/headless_ui.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

class StepCountTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
  void SetUp() override {
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    if (doc->IsLocateFailPoint()) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  }
  void TearDown() override { doc.reset(); }
  void Set(const std::string& pattern, const std::string& subject) {
    std::vector<unsigned short> p = U16(pattern), s = U16(subject);
    doc->SetPattern(p.data(), static_cast<int>(p.size()), false);
    doc->SetSubjectText(s.data(), static_cast<int>(s.size()));
  }
  std::vector<std::pair<int, unsigned>> PerStart() const {
    std::vector<std::pair<int, unsigned>> out;
    for (const StartSteps& s : doc->GetStepCounter().PerStart()) out.push_back({s.start, s.steps});
    return out;
  }

  HeadlessUi ui;
  std::unique_ptr<CKorvaneDoc> doc;
};

// Every entry into Match or MatchNext is one step. The traced search (Trace and Optimize modes)
// tries every start position, the one after the last character included. The direct search
// (Match, Replace and Split modes) skips the start positions its filters rule out and counts a
// repeat of one character class as its entry and one step per character it tests.
struct Counted {
  const char* pattern;
  const char* subject;
  unsigned steps;  // of the first Find, traced
  std::vector<std::pair<int, unsigned>> perStart;
  const char* why;
  unsigned direct;  // of the first Find, direct
  const char* directWhy;
};

const Counted kCounted[] = {
    {"abc", "xxabc", 3, {{0, 1}, {1, 1}, {2, 1}}, "one string element: fails at 0 and 1, matches at 2",
     1, "the required string is found at 2: one attempt there"},
    {"x", "abc", 4, {{0, 1}, {1, 1}, {2, 1}, {3, 1}}, "fails at all four positions, the text end included",
     0, "no \"x\" in the text: no attempt at all"},
    {"a*", "aa", 4, {{0, 4}}, "the repeat, then \"a\" at 0, at 1, and failing at 2",
     3, "the repeat and the two characters of its run"},
    {"a+b", "aab", 6, {{0, 6}}, "list, repeat, \"a\" three times (the third fails), \"b\"",
     5, "list, repeat and its run of two, \"b\""},
    {"a|b", "cb", 6, {{0, 3}, {1, 3}}, "each attempt: the alternation, \"a\", \"b\"",
     3, "no match can begin with \"c\": one attempt, at 1"},
    // list, repeat; per round: inner list, open bracket, alternation, "a" (and "b" when "a"
    // fails), close bracket: 5 + 6 + 5 + 6; the fifth round fails at "c" after both
    // alternatives and backs into the open bracket: 6; then "c": 2 + 22 + 6 + 1.
    {"(a|b)*c", "ababc", 31, {{0, 31}}, "four rounds of the group, a failing fifth, then \"c\"",
     31, "the same single attempt: the group is no character class"},
};

TEST_F(StepCountTest, FindCountsEveryElementEntry) {
  for (const Counted& c : kCounted) {
    doc->OnCommand(CMD_MODE_TRACE);
    Set(c.pattern, c.subject);
    doc->OnCommand(CMD_FIND);
    ASSERT_TRUE(doc->GetCurrentResult()->result.IsMatched() || std::string(c.pattern) == "x") << c.pattern;
    EXPECT_EQ(c.steps, doc->GetLastResult()->steps) << c.pattern << ": " << c.why;
    EXPECT_TRUE(doc->GetLastResult()->traced);
    EXPECT_EQ(c.steps, doc->GetStepCounter().Total()) << c.pattern;
    EXPECT_EQ(c.perStart, PerStart()) << c.pattern;
    ASSERT_FALSE(ui.steps.empty());
    EXPECT_EQ(c.steps, ui.steps.back()) << c.pattern << ": the status bar shows the result's steps";
    EXPECT_TRUE(ui.stepsTraced.back()) << c.pattern << ": and says they are traced steps";
    doc->OnCommand(CMD_RESET_FIND);
  }
}

TEST_F(StepCountTest, TheDirectSearchCountsItsOwnSteps) {
  for (const Counted& c : kCounted) {
    doc->OnCommand(CMD_MODE_MATCH);
    Set(c.pattern, c.subject);
    doc->OnCommand(CMD_FIND);
    EXPECT_EQ(c.direct, doc->GetLastResult()->steps) << c.pattern << ": " << c.directWhy;
    EXPECT_FALSE(doc->GetLastResult()->traced);
    EXPECT_EQ(c.direct, doc->GetStepCounter().Total()) << c.pattern;
    EXPECT_TRUE(PerStart().empty()) << c.pattern << ": the direct search keeps no steps per start";
    ASSERT_FALSE(ui.steps.empty());
    EXPECT_EQ(c.direct, ui.steps.back()) << c.pattern;
    EXPECT_FALSE(ui.stepsTraced.back()) << c.pattern << ": the status bar says they are direct steps";
    doc->OnCommand(CMD_RESET_FIND);
  }
}

TEST_F(StepCountTest, SameCountsInEveryModeOfOneSearch) {
  struct Mode {
    int command;
    bool traced;
  };
  const Mode modes[] = {{CMD_MODE_MATCH, false}, {CMD_MODE_REPLACE, false}, {CMD_MODE_SPLIT, false},
                        {CMD_MODE_TRACE, true},  {CMD_MODE_OPTIMIZE, true}};
  for (const Counted& c : kCounted) {
    for (const Mode& mode : modes) {
      doc->OnCommand(mode.command);
      EXPECT_EQ(mode.traced, doc->SearchesTraced()) << doc->GetMode();
      Set(c.pattern, c.subject);
      doc->OnCommand(CMD_FIND);
      EXPECT_EQ(mode.traced ? c.steps : c.direct, doc->GetLastResult()->steps)
          << c.pattern << " in mode " << doc->GetMode();
      doc->OnCommand(CMD_RESET_FIND);
    }
  }
  // Classic backtracking is about the traced counts: with it on, every mode traces.
  doc->OnCommand(CMD_MODE_MATCH);
  doc->SetClassic(true);
  EXPECT_TRUE(doc->SearchesTraced());
  doc->SetClassic(false);
}

TEST_F(StepCountTest, SteppingCountsTheSameAsOneFind) {
  for (const Counted& c : kCounted) {
    Set(c.pattern, c.subject);
    doc->OnCommand(CMD_STEP_MATCH);
    std::uint64_t before = 0;
    int pauses = 0;
    while (doc->IsJobActive()) {
      ASSERT_TRUE(doc->IsPaused());
      // While paused the status bar shows the steps of this Find so far: they only grow.
      const std::uint64_t now = doc->ShownSteps();
      EXPECT_GT(now, before) << c.pattern;
      EXPECT_LE(now, c.steps) << c.pattern;
      before = now;
      ASSERT_LT(++pauses, 100) << c.pattern;
      doc->OnCommand(CMD_STEP_MATCH);
    }
    EXPECT_GT(pauses, 0) << c.pattern;
    EXPECT_EQ(c.steps, doc->GetLastResult()->steps) << c.pattern;
    doc->OnCommand(CMD_RESET_FIND);
    doc->OnCommand(CMD_MODE_MATCH);
  }
}

TEST_F(StepCountTest, FindGoesOnCountingFromWhereItStood) {
  doc->OnCommand(CMD_MODE_TRACE);
  Set("abc", "xxabc");
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(3u, doc->GetLastResult()->steps);
  doc->OnCommand(CMD_FIND);  // one more attempt, at the text end
  EXPECT_FALSE(doc->GetLastResult()->result.IsMatched());
  EXPECT_EQ(1u, doc->GetLastResult()->steps);
  EXPECT_EQ(4u, doc->GetStepCounter().Total());
  doc->OnCommand(CMD_RESET_FIND);
  doc->OnCommand(CMD_FIND);  // a fresh search counts from zero
  EXPECT_EQ(3u, doc->GetStepCounter().Total());
  EXPECT_EQ((std::vector<std::pair<int, unsigned>>{{0, 1}, {1, 1}, {2, 1}}), PerStart());
}

struct FindAllCase {
  int mode;
  const char* pattern;
  const char* subject;
  std::vector<unsigned> perResult;  // the matches, then the not-matched end
  const char* stepsLine;
};

const FindAllCase kFindAll[] = {
    {CMD_MODE_OPTIMIZE, "a", "aba", {1, 2, 1}, "4 steps in all; the costliest match, number 2 at 2, took 2 steps."},
    {CMD_MODE_OPTIMIZE, "x", "abc", {4}, "4 steps in all."},
    {CMD_MODE_OPTIMIZE, "x", "", {1}, "1 step in all."},
    {CMD_MODE_OPTIMIZE, "a", "a", {1, 1}, "2 steps in all; the costliest match, number 1 at 0, took 1 step."},
    // "b+" on "abbab": 0 fails (2), 1-3 matches (repeat, b, b, b fails: 4), 3 fails (2),
    // 4 matches (3), 5 fails (2).
    {CMD_MODE_OPTIMIZE, "b+", "abbab", {6, 5, 2},
     "13 steps in all; the costliest match, number 1 at 1, took 6 steps."},
    // The direct search: one attempt at each "a" and none after the last.
    {CMD_MODE_MATCH, "a", "aba", {1, 1, 0}, "2 direct steps in all; the costliest match, number 1 at 0, took 1 direct step."},
    {CMD_MODE_MATCH, "x", "abc", {0}, "0 direct steps in all."},
    // "b+" on "abbab": the repeat and its run of two (3), then the repeat and its run of one
    // (2); no "b" after 5.
    {CMD_MODE_REPLACE, "b+", "abbab", {3, 2, 0},
     "5 direct steps in all; the costliest match, number 1 at 1, took 3 direct steps."},
};

TEST_F(StepCountTest, FindAllTotalIsTheSumOfItsResults) {
  for (const FindAllCase& c : kFindAll) {
    doc->OnCommand(c.mode);
    Set(c.pattern, c.subject);
    ui.ClearBoxes();
    doc->OnCommand(CMD_FIND_ALL);
    std::vector<unsigned> got;
    std::uint64_t sum = 0;
    for (const MatchHandle& h : doc->GetResults()) {
      got.push_back(h->steps);
      sum += h->steps;
    }
    EXPECT_EQ(c.perResult, got) << c.pattern;
    EXPECT_EQ(sum, doc->GetStepCounter().Total()) << c.pattern;
    std::vector<HeadlessUi::Box> boxes = ui.Boxes();
    ASSERT_EQ(1u, boxes.size()) << c.pattern;
    const std::string text = boxes[0].text;
    const size_t newline = text.find('\n');
    ASSERT_NE(std::string::npos, newline) << text;
    EXPECT_EQ(c.stepsLine, text.substr(newline + 1)) << c.pattern;
    doc->OnCommand(CMD_RESET_FIND);
  }
}

TEST_F(StepCountTest, MostExpensiveResultIsTheFirstOfEquals) {
  Set("a", "aaa");
  EXPECT_EQ(-1, doc->MostExpensiveResult());
  doc->OnCommand(CMD_FIND_ALL);
  EXPECT_EQ(0, doc->MostExpensiveResult());
  Set("x", "abc");
  doc->OnCommand(CMD_FIND_ALL);
  EXPECT_EQ(-1, doc->MostExpensiveResult()) << "the not-matched end is no match";
  // Find All hands its results over in batches: the costliest is found in a late one, and again
  // after a search that follows without a reset.
  for (int mode : {CMD_MODE_MATCH, CMD_MODE_OPTIMIZE}) {
    doc->OnCommand(mode);
    Set("b+|a", std::string(700, 'a') + "bbbbbb" + std::string(300, 'a'));
    doc->OnCommand(CMD_FIND_ALL);
    EXPECT_EQ(700, doc->MostExpensiveResult()) << mode;
    Set("b+|a", "abba" + std::string(600, 'a'));
    doc->OnCommand(CMD_FIND_ALL);
    EXPECT_EQ(1, doc->MostExpensiveResult()) << mode;
  }
}

TEST(StepCountCounter, KeepsAtMostTheLimitOfStartsAndGoesOnCounting) {
  CStepCounter c;
  const int extra = 5;
  const int starts = static_cast<int>(CStepCounter::kMaxStarts) + extra;
  for (int i = 0; i < starts; ++i) {
    c.Count(i);
    c.Count(-1);
  }
  EXPECT_EQ(CStepCounter::kMaxStarts, c.PerStart().size());
  EXPECT_TRUE(c.Truncated());
  EXPECT_EQ(2u * starts, c.Total());
  // The last kept start took only its own two steps, none of the attempts left out.
  EXPECT_EQ(static_cast<int>(CStepCounter::kMaxStarts) - 1, c.PerStart().back().start);
  EXPECT_EQ(2u, c.PerStart().back().steps);
  EXPECT_EQ(static_cast<unsigned>(2 * starts), c.TakeSinceMark());
  EXPECT_EQ(0u, c.TakeSinceMark());
  c.Clear();
  EXPECT_EQ(0u, c.Total());
  EXPECT_TRUE(c.PerStart().empty());
  EXPECT_FALSE(c.Truncated());
}

TEST(StepCountCounter, AResumedAttemptAddsToItsStart) {
  CStepCounter c;
  c.Count(3);
  c.Count(-1);
  c.Count(3);  // the same start again: a search resumed where it stood
  c.Count(4);
  ASSERT_EQ(2u, c.PerStart().size());
  EXPECT_EQ(3u, c.PerStart()[0].steps);
  EXPECT_EQ(1u, c.PerStart()[1].steps);
  EXPECT_EQ(4u, c.SinceMark());
}

TEST(StepCountFormat, GroupsThousands) {
  const struct {
    std::uint64_t n;
    const char* text;
  } cases[] = {{0, "0"},           {7, "7"},
               {999, "999"},       {1000, "1,000"},
               {1204, "1,204"},    {100000, "100,000"},
               {1234567, "1,234,567"}, {18446744073709551615ull, "18,446,744,073,709,551,615"}};
  for (const auto& c : cases) EXPECT_EQ(c.text, GroupedCount(c.n).toStdString()) << c.n;
}

}  // namespace
