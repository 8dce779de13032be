// The document without a display: searching, its messages and hints, the results list with its
// sentinel and sequence numbers, record navigation, selections, options, modes, the editing
// token, aborting and the recursion guard.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cstdio>
#include <regex>

#include "app/document/core/tests/headless_ui.h"
#include "platform/worker_thread.h"
#include "stringtable.h"

namespace {

class DocTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CStringTable::SetCurrent(CStringTable::kEnglish);
    CKorvaneDoc::SetRecursionLimit(5000);
  }
  void SetUp() override {
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    doc->AddView(&view);
    // The fail-point check runs a background search after every change; these tests look at
    // the user's own searches.
    if (doc->QueryCommand(CMD_LOCATE_FAIL_POINT).checked) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  }
  void TearDown() override {
    doc->RemoveView(&view);
    doc.reset();
  }
  void Set(const std::string& pattern, const std::string& subject, int flags = 0) {
    std::vector<unsigned short> p = U16(pattern), s = U16(subject);
    doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
    doc->SetSubjectText(s.data(), static_cast<int>(s.size()));
    static const std::pair<int, int> kFlags[] = {{IGNORECASE, CMD_IGNORECASE}, {RIGHTTOLEFT, CMD_RIGHTTOLEFT},
                                                 {MULTILINE, CMD_MULTILINE}, {SINGLELINE, CMD_SINGLELINE}};
    for (const auto& f : kFlags)
      if (((flags & f.first) != 0) != ((doc->GetFlags() & f.first) != 0)) doc->OnCommand(f.second);
  }
  std::pair<int, int> Current() {
    const StoredMatch& m = doc->GetCurrentResult()->result;
    return {m.GetStart(), m.GetEnd()};
  }
  std::pair<int, int> Shown() {
    const StoredMatch& m = doc->GetLastResult()->result;
    return {m.GetStart(), m.GetEnd()};
  }
  std::string LastBox() {
    std::vector<HeadlessUi::Box> b = ui.Boxes();
    return b.empty() ? std::string() : b.back().text;
  }

  HeadlessUi ui;
  RecordingView view;
  std::unique_ptr<CKorvaneDoc> doc;
};

TEST_F(DocTest, FindStepsThroughTheMatchesThenSaysFinished) {
  Set("a\\d", "a1 a2 b3");
  view.hints.clear();
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(std::make_pair(0, 2), Current());
  EXPECT_EQ(1, doc->GetResultCount());
  EXPECT_EQ(0, doc->LastResultSequence());
  EXPECT_GE(doc->GetLastResult()->elapsed, 0.0);
  EXPECT_EQ(HINTS_SEARCH_RESULTS, view.Union());
  EXPECT_TRUE(ui.Boxes().empty());
  EXPECT_EQ(1, ui.positionIndex);

  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(std::make_pair(3, 5), Current());
  EXPECT_EQ(10, doc->LastResultSequence());
  EXPECT_EQ(2, ui.positionIndex);
  EXPECT_EQ(2, ui.positionCount);

  doc->OnCommand(CMD_FIND);
  ASSERT_EQ(1u, ui.Boxes().size());
  EXPECT_EQ("Find and match finished.", LastBox());
  EXPECT_EQ("Information", ui.Boxes().back().caption);
  // The sentinel: not matched, start and end at the end of the text.
  ASSERT_EQ(3, doc->GetResultCount());
  MatchHandle sentinel = doc->GetResult(2);
  EXPECT_FALSE(sentinel->result.IsMatched());
  EXPECT_EQ(8, sentinel->result.GetStart());
  EXPECT_EQ(8, sentinel->result.GetEnd());
  EXPECT_EQ(2, doc->RealMatchCount());

  // After the sentinel the next Find starts afresh.
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(std::make_pair(0, 2), Current());
  EXPECT_EQ(1, doc->GetResultCount());
}

TEST_F(DocTest, FindWithoutAnyMatchSaysNoMatchFound) {
  Set("z", "abc");
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ("No match found.", LastBox());
  EXPECT_EQ(1, doc->GetResultCount());
  EXPECT_EQ(0, doc->RealMatchCount());
}

TEST_F(DocTest, FindAllCollectsEveryMatchAndReportsTheTime) {
  struct Case {
    const char* pattern;
    const char* subject;
    int flags;
    std::vector<std::pair<int, int>> spans;
    int sentinelAt;
  };
  const Case cases[] = {
      {"\\d+", "1 22 333", 0, {{0, 1}, {2, 4}, {5, 8}}, 8},
      {"\\d+", "1 22 333", RIGHTTOLEFT, {{5, 8}, {2, 4}, {0, 1}}, 0},
      {"x*", "ab", 0, {{0, 0}, {1, 1}, {2, 2}}, 2},
      {"B", "abc", IGNORECASE, {{1, 2}}, 3},
      {"q", "abc", 0, {}, 3},
  };
  // The second line gives the steps (step_count_test.cpp checks their figures), the direct
  // search's in Match mode.
  const std::regex finished(
      "Find and match finished, total elapsed time: [0-9]+\\.[0-9]{7} sec\\.\n"
      "[0-9,]+ direct steps? in all; the costliest match, number [0-9]+ at [0-9]+, took [0-9,]+ direct steps?\\.");
  const std::regex none("No match found, elapsed time: [0-9]+\\.[0-9]{7} sec\\.\n[0-9,]+ direct steps? in all\\.");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    Set(c.pattern, c.subject, c.flags);
    ui.ClearBoxes();
    doc->OnCommand(CMD_FIND_ALL);
    std::vector<MatchHandle> results = doc->GetResults();
    ASSERT_EQ(c.spans.size() + 1, results.size());
    for (size_t i = 0; i < c.spans.size(); ++i) {
      EXPECT_EQ(c.spans[i].first, results[i]->result.GetStart()) << i;
      EXPECT_EQ(c.spans[i].second, results[i]->result.GetEnd()) << i;
    }
    // It shows its first entry: the first match, or the not-matched entry when there is none.
    EXPECT_EQ(0, doc->LastResultSequence());
    EXPECT_FALSE(results.back()->result.IsMatched());
    EXPECT_EQ(c.sentinelAt, results.back()->result.GetStart());
    ASSERT_EQ(1u, ui.Boxes().size());
    EXPECT_TRUE(std::regex_match(LastBox(), c.spans.empty() ? none : finished)) << LastBox();
    EXPECT_FALSE(doc->IsJobActive());
  }
}

// Each result of a Find All carries the time since the one before (the first: since the start),
// so together they make up the search's total, which the message reports: in both paths (the
// direct one times its results with a different clock than the total, so a wrong tick rate
// shows here).
TEST_F(DocTest, FindAllResultTimesAddUpToTheTotal) {
  std::string subject;
  for (int i = 0; i < 60000; ++i) subject += "ab1 ";
  for (const bool traced : {false, true}) {
    SCOPED_TRACE(traced ? "traced" : "direct");
    if (traced) doc->OnCommand(CMD_MODE_OPTIMIZE);
    Set("\\d", subject.c_str(), 0);
    ui.ClearBoxes();
    doc->OnCommand(CMD_FIND_ALL);
    const std::vector<MatchHandle> results = doc->GetResults();
    ASSERT_EQ(60001u, results.size());
    double sum = 0;
    for (const MatchHandle& h : results) {
      ASSERT_GE(h->elapsed, 0.0f);
      sum += h->elapsed;
    }
    double total = -1;
    ASSERT_EQ(1, std::sscanf(LastBox().c_str(), "Find and match finished, total elapsed time: %lf", &total)) << LastBox();
    // The total is printed to 1e-7 s; the tick rate is measured to far better than 1%.
    EXPECT_LE(sum, total * 1.01 + 2e-7) << total;
    EXPECT_GE(sum, total * 0.99 - 2e-7) << total;
    doc->OnCommand(CMD_MODE_MATCH);
  }
}

TEST_F(DocTest, FindAllInReplaceModeBuildsTheReplaceResult) {
  Set("(\\w)(\\d)", "a1-b2");
  std::vector<unsigned short> to = U16("$2$1");
  doc->SetReplaceTo(to.data(), static_cast<int>(to.size()));
  doc->SetMode(MODE_REPLACE);
  doc->OnCommand(CMD_FIND_ALL);
  std::vector<unsigned short> replaced = doc->GetReplacedText();
  EXPECT_EQ(U16("1a-2b"), replaced);
  EXPECT_EQ(2u, doc->GetReplaceResult().Segments().size());
}

// The replace result is built in Replace mode only; switching into Replace builds it from the
// results the document already holds, whichever mode found them and however many.
TEST_F(DocTest, SwitchingToReplaceBuildsTheReplaceResultFromTheResultsHeld) {
  struct Case {
    const char* name;
    int from;       // the mode the searches run in
    int flags;
    int finds;      // single Finds, or 0 for one Find All
    bool viaReplace;  // a Find All in Replace mode first, then the switch to `from` and back
    std::string replaced;
    std::pair<int, int> highlight;  // the replace highlight: the shown result's segment (after
                                    // Find All the first result found); -1, -1 collapsed
  };
  const Case cases[] = {
      {"Find All in Match mode", MODE_MATCH, 0, 0, false, "1a-2b-3c", {0, 2}},
      {"one Find in Match mode", MODE_MATCH, 0, 1, false, "1a-b2-c3", {0, 2}},
      {"two Finds in Split mode", MODE_SPLIT, 0, 2, false, "1a-2b-c3", {3, 5}},
      {"Find All in Trace mode", MODE_TRACE, 0, 0, false, "1a-2b-3c", {0, 2}},
      {"right to left, Find All in Optimize mode", MODE_OPTIMIZE, RIGHTTOLEFT, 0, false, "1a-2b-3c", {6, 8}},
      {"right to left, one Find", MODE_MATCH, RIGHTTOLEFT, 1, false, "a1-b2-3c", {6, 8}},
      {"fewer results than the last replace", MODE_MATCH, 0, 1, true, "1a-b2-c3", {0, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();  // a fresh document for every case
    SetUp();
    Set("(\\w)(\\d)", "a1-b2-c3", c.flags);
    std::vector<unsigned short> to = U16("$2$1");
    doc->SetReplaceTo(to.data(), static_cast<int>(to.size()));
    if (c.viaReplace) {
      doc->SetMode(MODE_REPLACE);
      doc->OnCommand(CMD_FIND_ALL);
      ASSERT_EQ(3u, doc->GetReplaceResult().Segments().size());
      doc->OnCommand(CMD_RESET_FIND);
    }
    doc->SetMode(c.from);
    if (c.finds == 0) doc->OnCommand(CMD_FIND_ALL);
    for (int i = 0; i < c.finds; ++i) doc->OnCommand(CMD_FIND);
    view.hints.clear();
    doc->SetMode(MODE_REPLACE);
    EXPECT_EQ(U16(c.replaced), doc->GetReplacedText());
    EXPECT_EQ(static_cast<size_t>(c.finds == 0 ? 3 : c.finds), doc->GetReplaceResult().Segments().size());
    if (c.highlight.first < 0)
      EXPECT_EQ(doc->GetReplaceHighlightStart(), doc->GetReplaceHighlightEnd());
    else
      EXPECT_EQ(c.highlight, std::make_pair(doc->GetReplaceHighlightStart(), doc->GetReplaceHighlightEnd()));
    EXPECT_EQ(HINT_MODE, view.Union());
  }
}

TEST_F(DocTest, RecordNavigationAndGapsBetweenMatches) {
  Set("\\d", "1ab2c3", 0);
  doc->OnCommand(CMD_FIND_ALL);
  ASSERT_EQ(3, doc->RealMatchCount());
  auto enabled = [&](int id) { return doc->QueryCommand(id).enabled; };

  doc->OnCommand(CMD_LAST_RECORD);
  EXPECT_EQ(20, doc->LastResultSequence());
  EXPECT_FALSE(enabled(CMD_NEXT_RECORD));
  EXPECT_TRUE(enabled(CMD_PREV_RECORD));
  doc->OnCommand(CMD_PREV_RECORD);
  EXPECT_EQ(std::make_pair(3, 4), Shown());
  doc->OnCommand(CMD_FIRST_RECORD);
  EXPECT_EQ(0, doc->LastResultSequence());
  EXPECT_FALSE(enabled(CMD_PREV_RECORD));
  doc->OnCommand(CMD_PREV_RECORD);
  EXPECT_EQ(0, doc->LastResultSequence());

  // A caret between the first and the second match stands between entries 0 and 1.
  doc->SelectSubjectRange(2, 2);
  EXPECT_EQ(5, doc->LastResultSequence());
  EXPECT_FALSE(doc->GetLastResult()->result.IsMatched());
  EXPECT_TRUE(enabled(CMD_PREV_RECORD));
  EXPECT_TRUE(enabled(CMD_NEXT_RECORD));
  doc->OnCommand(CMD_NEXT_RECORD);
  EXPECT_EQ(std::make_pair(3, 4), Shown());
  doc->SelectSubjectRange(4, 5);  // "c": past the second match, before the third
  EXPECT_EQ(15, doc->LastResultSequence());
  doc->OnCommand(CMD_PREV_RECORD);
  EXPECT_EQ(std::make_pair(3, 4), Shown());
  // A caret at either end of a match, or a selection inside it, selects that match.
  doc->SelectSubjectRange(1, 1);
  EXPECT_EQ(0, doc->LastResultSequence());
  doc->SelectSubjectRange(5, 6);
  EXPECT_EQ(20, doc->LastResultSequence());
}

// A selection in the replace result shows the result whose replacement it lies in, at that
// result's place in the list, or the place between two results (left to right and right to left).
TEST_F(DocTest, SelectingInTheReplaceResultShowsItsResult) {
  struct Case {
    int flags;
    int start, end;
    int sequence;
    bool matched;
  } const cases[] = {
      // "1ab2c3" with each digit replaced by "<>": "<>ab<>c<>"
      {0, 0, 2, 0, true},   {0, 4, 5, 10, true}, {0, 3, 3, 5, false},
      {0, 6, 7, 15, false}, {0, 7, 9, 20, true},
      // right to left the list runs from the last digit back
      {RIGHTTOLEFT, 7, 9, 0, true}, {RIGHTTOLEFT, 0, 1, 20, true}, {RIGHTTOLEFT, 3, 3, 15, false},
  };
  for (const Case& c : cases) {
    Set("\\d", "1ab2c3", c.flags);
    const std::vector<unsigned short> to = U16("<>");
    doc->SetReplaceTo(to.data(), static_cast<int>(to.size()));
    doc->SetMode(MODE_REPLACE);
    doc->OnCommand(CMD_FIND_ALL);
    ASSERT_EQ(3, doc->RealMatchCount());
    doc->SelectReplaceResultRange(c.start, c.end);
    EXPECT_EQ(c.sequence, doc->LastResultSequence()) << c.flags << " " << c.start;
    EXPECT_EQ(c.matched, doc->GetLastResult()->result.IsMatched() != 0) << c.flags << " " << c.start;
    if (c.matched) {
      EXPECT_EQ(doc->GetResult(c.sequence / 10), doc->GetLastResult());
    }
    doc->SetMode(MODE_MATCH);
  }
}

// A Match All that ends shows its first result: selected, its groups readable, "1 of N", and
// Next and Previous step from there (left to right and right to left); the status bar times the
// whole search. Without a match nothing is selected.
TEST_F(DocTest, MatchAllEndsOnItsFirstResult) {
  struct Case {
    const char* subject;
    int flags;
    std::pair<int, int> first, afterNext;
    int count;
  };
  const Case cases[] = {
      {"a1 b2 c3", 0, {0, 2}, {3, 5}, 3},
      {"a1 b2 c3", RIGHTTOLEFT, {6, 8}, {3, 5}, 3},
      {"a1", 0, {0, 2}, {0, 2}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.subject) + (c.flags ? " right to left" : ""));
    Set("(\\w)(\\d)", c.subject, c.flags);
    ui.elapsed.clear();
    ui.steps.clear();
    doc->OnCommand(CMD_FIND_ALL);
    ASSERT_EQ(c.count, doc->RealMatchCount());
    EXPECT_EQ(0u, LastBox().find("Find and match finished")) << LastBox();
    EXPECT_EQ(c.first, Shown());
    EXPECT_EQ(c.first, std::make_pair(doc->GetHighlightStart(), doc->GetHighlightEnd()));
    EXPECT_EQ(c.first.first + 1, doc->GetLastResult()->result.GetGroupEnd(1));
    EXPECT_EQ(1, ui.positionIndex);
    EXPECT_EQ(c.count, ui.positionCount);
    ASSERT_FALSE(ui.steps.empty());
    EXPECT_EQ(doc->GetStepCounter().Total(), ui.steps.back());
    EXPECT_GT(ui.steps.back(), 0u);
    EXPECT_FALSE(doc->QueryCommand(c.flags ? CMD_NEXT_RECORD : CMD_PREV_RECORD).enabled);
    doc->OnCommand(c.flags ? CMD_PREV_RECORD : CMD_NEXT_RECORD);
    EXPECT_EQ(c.afterNext, Shown());
  }
  Set("(\\w)(\\d)", "none here");
  doc->OnCommand(CMD_FIND_ALL);
  EXPECT_EQ(0, doc->RealMatchCount());
  EXPECT_FALSE(doc->GetLastResult()->result.IsMatched());
}

TEST_F(DocTest, GapBeforeTheFirstMatchHasNothingBefore) {
  Set("\\d", "ab1c2");
  doc->OnCommand(CMD_FIND_ALL);
  doc->SelectSubjectRange(0, 1);
  EXPECT_EQ(-5, doc->LastResultSequence());
  EXPECT_FALSE(doc->QueryCommand(CMD_PREV_RECORD).enabled);
  EXPECT_TRUE(doc->QueryCommand(CMD_NEXT_RECORD).enabled);
  doc->OnCommand(CMD_NEXT_RECORD);
  EXPECT_EQ(std::make_pair(2, 3), Shown());
}

TEST_F(DocTest, RightToLeftMirrorsTheRecordButtons) {
  Set("\\d", "1a2b3", RIGHTTOLEFT);
  doc->OnCommand(CMD_FIND_ALL);
  // The list runs from the end of the text; "first" is the leftmost match.
  doc->OnCommand(CMD_FIRST_RECORD);
  EXPECT_EQ(std::make_pair(0, 1), Shown());
  EXPECT_FALSE(doc->QueryCommand(CMD_PREV_RECORD).enabled);
  doc->OnCommand(CMD_NEXT_RECORD);
  EXPECT_EQ(std::make_pair(2, 3), Shown());
  doc->OnCommand(CMD_LAST_RECORD);
  EXPECT_EQ(std::make_pair(4, 5), Shown());
  EXPECT_FALSE(doc->QueryCommand(CMD_NEXT_RECORD).enabled);
}

TEST_F(DocTest, SplitPieceSelectsTheTextBetweenMatches) {
  Set(",", "a,bb,c");
  doc->SetMode(MODE_SPLIT);
  doc->OnCommand(CMD_FIND_ALL);
  const std::pair<int, int> pieces[] = {{0, 1}, {2, 4}, {5, 6}};
  for (int i = 0; i < 3; ++i) {
    doc->SelectSplitPiece(i);
    EXPECT_EQ(pieces[i].first, doc->GetHighlightStart()) << i;
    EXPECT_EQ(pieces[i].second, doc->GetHighlightEnd()) << i;
    EXPECT_EQ(10 * i - 5, doc->LastResultSequence()) << i;
  }
}

TEST_F(DocTest, OptionsRecompileAndMarkTheDocument) {
  Set("abc", "ABC");
  doc->SetModified(false);
  view.hints.clear();
  doc->OnCommand(CMD_IGNORECASE);
  EXPECT_TRUE(doc->QueryCommand(CMD_IGNORECASE).checked);
  EXPECT_TRUE(doc->IsModified());
  EXPECT_EQ(0x1E33, view.Union());
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(std::make_pair(0, 3), Current());
  // With an empty pattern an option change does not mark the document.
  doc->OnNewDocument();
  EXPECT_FALSE(doc->IsModified());
  doc->OnCommand(CMD_MULTILINE);
  EXPECT_FALSE(doc->IsModified());
}

TEST_F(DocTest, ModesSaveAndLoadTheirLayouts) {
  doc->SetMode(MODE_REPLACE);
  doc->SetMode(MODE_REPLACE);  // no change, no layout switch
  doc->OnCommand(CMD_MODE_SPLIT);
  EXPECT_EQ(MODE_SPLIT, doc->GetMode());
  EXPECT_EQ((std::vector<int>{MODE_MATCH, MODE_REPLACE}), ui.saved);
  EXPECT_EQ((std::vector<int>{MODE_REPLACE, MODE_SPLIT}), ui.loaded);
  EXPECT_TRUE(doc->QueryCommand(CMD_MODE_SPLIT).checked);
  EXPECT_FALSE(doc->QueryCommand(CMD_MODE_MATCH).checked);
  doc->SetMode(9);
  EXPECT_EQ(MODE_SPLIT, doc->GetMode());
}

TEST_F(DocTest, AViewHoldingTheEditingTokenHoldsBackFind) {
  Set("a", "a");
  RecordingView editor;
  doc->AddView(&editor);
  EXPECT_FALSE(doc->TakeEditingToken(&editor));  // waiting: its edit timer still runs
  EXPECT_TRUE(doc->OnCommand(CMD_FIND));          // handled: nothing done
  EXPECT_EQ(0, doc->GetResultCount());
  EXPECT_TRUE(doc->TakeEditingToken(&editor));
  RecordingView other;
  EXPECT_FALSE(doc->TakeEditingToken(&other));
  doc->ReleaseEditingToken(&editor);
  EXPECT_FALSE(doc->OnCommand(CMD_FIND));
  EXPECT_EQ(1, doc->GetResultCount());
  doc->RemoveView(&editor);
}

TEST_F(DocTest, CurrentGroupHighlightsItsCapture) {
  Set("(a)(b)?c", "xac");
  doc->OnCommand(CMD_FIND);
  ASSERT_EQ(std::make_pair(1, 3), Current());
  doc->SelectPatternRange(0, 3);  // "(a)"
  EXPECT_EQ(1, doc->GetHighlightStart());
  EXPECT_EQ(2, doc->GetHighlightEnd());
  doc->SelectPatternRange(3, 7);  // "(b)?": a group that took no part ends at the match end
  ASSERT_NE(nullptr, doc->GetCurrentElement());
}

TEST_F(DocTest, ResetFindClearsResults) {
  Set("a", "aaa");
  doc->OnCommand(CMD_FIND_ALL);
  EXPECT_TRUE(doc->QueryCommand(CMD_RESET_FIND).enabled);
  view.hints.clear();
  doc->OnCommand(CMD_RESET_FIND);
  EXPECT_EQ(0, doc->GetResultCount());
  EXPECT_FALSE(doc->GetCurrentResult()->result.IsMatched());
  EXPECT_EQ(HINTS_SEARCH_RESULTS, view.Union());
  EXPECT_FALSE(doc->QueryCommand(CMD_RESET_FIND).enabled);
}

// A pattern that backtracks exponentially on a run of "a" without a "c" or "d", in the traced
// search and in the direct one. (A greedy repeat remembers the end positions it has offered, so
// it needs a reluctant one; and an alternation at the end leaves the direct search no required
// character to look for first.)
const char kSlowPattern[] = "(?:a|a)*?(?:c|d)";
const std::string kSlowSubject(60, 'a');

TEST_F(DocTest, BreakInTheWaitDialogAbortsFind) {
  Set(kSlowPattern, kSlowSubject);
  ui.dialogAction = 1;
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(1, ui.dialogsOpened);
  EXPECT_FALSE(doc->IsJobActive());
  EXPECT_TRUE(ui.Boxes().empty());  // an aborted Find says nothing
  EXPECT_FALSE(doc->GetLastResult()->result.IsMatched());
}

TEST_F(DocTest, BreakInTheWaitDialogAbortsFindAll) {
  Set(kSlowPattern, kSlowSubject);
  ui.dialogAction = 1;
  doc->OnCommand(CMD_FIND_ALL);
  EXPECT_FALSE(doc->IsJobActive());
  EXPECT_TRUE(std::regex_match(LastBox(), std::regex("Find and match aborted, elapsed time: [0-9.]+ sec\\.\n[0-9,]+ direct steps in all.*")))
      << LastBox();
}

TEST_F(DocTest, ChangingThePatternStopsARunningSearch) {
  Set(kSlowPattern, kSlowSubject);
  doc->OnCommand(CMD_STEP_MATCH);  // paused at the first step
  ASSERT_TRUE(doc->IsJobActive());
  std::vector<unsigned short> p = U16("a");
  doc->SetPattern(p.data(), 1, true);
  EXPECT_FALSE(doc->IsJobActive());
  EXPECT_EQ(0, doc->GetResultCount());
}

TEST_F(DocTest, RecursionGuardEndsTheSearchWithAMessage) {
  CKorvaneDoc::SetRecursionLimit(200);
  Set("(?R)x", "xxxx");
  doc->OnCommand(CMD_FIND);
  CKorvaneDoc::SetRecursionLimit(5000);
  ASSERT_EQ(1u, ui.Boxes().size());
  EXPECT_EQ("Stack overflow, please check whether immoderate recursive patterns exist.", LastBox());
  EXPECT_FALSE(doc->GetCurrentResult()->result.IsMatched());
  EXPECT_FALSE(doc->GetLastResult()->result.IsMatched());
  EXPECT_FALSE(doc->IsJobActive());
}

TEST_F(DocTest, AnAbortedStepKeepsThePreviousResult) {
  Set(std::string("x|") + kSlowPattern, "x" + kSlowSubject);
  doc->OnCommand(CMD_FIND);
  ASSERT_EQ(std::make_pair(0, 1), Current());
  ui.dialogAction = 1;
  doc->OnCommand(CMD_FIND);
  EXPECT_FALSE(doc->IsJobActive());
  EXPECT_EQ(std::make_pair(0, 1), Current());
  EXPECT_FALSE(doc->GetLastResult()->result.IsMatched());
  EXPECT_TRUE(ui.Boxes().empty());
}

TEST_F(DocTest, RaisingTheRecursionLimitLetsADeepSearchSucceed) {
  const std::string subject = std::string(150, 'a') + std::string(150, 'b');
  Set("a(?R)?b", subject);
  CKorvaneDoc::SetRecursionLimit(200);
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(1u, ui.Boxes().size());
  EXPECT_FALSE(doc->GetCurrentResult()->result.IsMatched());
  CKorvaneDoc::SetRecursionLimit(5000);
  doc->OnCommand(CMD_RESET_FIND);
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(1u, ui.Boxes().size());
  EXPECT_EQ(std::make_pair(0, 300), Current());
}

TEST_F(DocTest, ChangingTheTextStopsARunningSearchFirst) {
  Set(kSlowPattern, kSlowSubject);
  doc->OnCommand(CMD_LOCATE_FAIL_POINT);  // on: its search runs on the worker right away
  std::vector<unsigned short> s = U16("ac");
  doc->SetSubjectText(s.data(), 2);
  doc->SetSubjectText(s.data(), 1);
  EXPECT_EQ(1u, doc->GetSubjectText().size());
  EXPECT_TRUE(ui.PumpUntil([&] { return !doc->IsJobActive(); }));
}

// The workers' threads of this process as the kernel lists them (by the name a worker gives its
// thread, so that threads of the runtime, such as a sanitizer's, do not count); -1 where that
// list is not to be had.
int ThreadCount() {
  QDir tasks(QStringLiteral("/proc/self/task"));
  if (!tasks.exists()) return -1;
  int workers = 0;
  for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
    if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == WorkerThread::kThreadName) ++workers;
  }
  return workers;
}

TEST_F(DocTest, ClosingTheDocumentEndsARunningSearch) {
  // A document made here, so that every thread it starts is counted against those before it.
  doc->RemoveView(&view);
  doc.reset();
  const int before = ThreadCount();
  if (before < 0) GTEST_SKIP() << "no /proc/self/task to count the threads in";
  doc.reset(new CKorvaneDoc(&ui));
  ui.doc = doc.get();
  if (doc->QueryCommand(CMD_LOCATE_FAIL_POINT).checked) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  Set(kSlowPattern, kSlowSubject);
  doc->OnCommand(CMD_LOCATE_FAIL_POINT);  // on: the slow search starts in the background
  // The check's search (2^60 attempts) runs on the match worker, its watchdog on the background
  // worker: both threads stand.
  ASSERT_GE(ThreadCount(), before + 2) << "the search must be running when the document closes";
  doc.reset();  // returns only once the search has ended and the document's workers are gone
  ui.doc = nullptr;
  EXPECT_EQ(before, ThreadCount()) << "a worker of the closed document is still running";
  EXPECT_TRUE(ui.Boxes().empty()) << "closing says nothing: " << LastBox();

  // The next document works as usual.
  doc.reset(new CKorvaneDoc(&ui));
  ui.doc = doc.get();
  doc->AddView(&view);
  if (doc->QueryCommand(CMD_LOCATE_FAIL_POINT).checked) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  Set("a+", "baa");
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(std::make_pair(1, 3), Current());
}

TEST_F(DocTest, RecursionLimitIsClamped) {
  CKorvaneDoc::SetRecursionLimit(0);
  EXPECT_EQ(5000, CKorvaneDoc::RecursionLimit());
  CKorvaneDoc::SetRecursionLimit(1 << 30);
  EXPECT_GT(20000, CKorvaneDoc::RecursionLimit());
  CKorvaneDoc::SetRecursionLimit(5000);
}

// ---------------------------------------------------------------------------------------------
// The wait for a job: nothing runs inside it, and its dialog starts from where the search stands

TEST_F(DocTest, NothingRunsInsideTheWaitForAJob) {
  Set(kSlowPattern, kSlowSubject);
  RecordingView editor;
  doc->AddView(&editor);
  struct Inside {
    bool waiting = false;
    bool find = false, findAll = false, step = false, option = false, reset = false;
    bool token = true;
  } inside;
  ui.whileWaiting = [&](int round) {
    if (round == 0) {
      // Commands that come in while the document waits (shortcuts, posted commands, a view's
      // edit timer) are refused; the first one would have run a search inside this one.
      inside.waiting = doc->IsWaiting();
      inside.find = doc->OnCommand(CMD_FIND);
      inside.findAll = doc->OnCommand(CMD_FIND_ALL);
      inside.step = doc->OnCommand(CMD_STEP_MATCH);
      inside.option = doc->OnCommand(CMD_IGNORECASE);
      inside.reset = doc->OnCommand(CMD_RESET_FIND);
      inside.token = doc->TakeEditingToken(&editor);
    } else {
      doc->WaitDialogBreak();  // then end the search
    }
  };
  doc->OnCommand(CMD_FIND);
  ui.whileWaiting = nullptr;
  EXPECT_TRUE(inside.waiting);
  EXPECT_TRUE(inside.find && inside.findAll && inside.step && inside.option && inside.reset);
  EXPECT_FALSE(inside.token);
  EXPECT_FALSE(doc->IsWaiting());
  EXPECT_EQ(1, ui.dialogsOpened);
  EXPECT_EQ(0, doc->GetFlags() & IGNORECASE);
  EXPECT_FALSE(doc->IsJobActive());
  EXPECT_EQ(0, doc->GetResultCount());
  EXPECT_TRUE(ui.Boxes().empty());
  // The edit held back inside the wait goes ahead now, and holds back the next Find until done.
  EXPECT_TRUE(doc->TakeEditingToken(&editor));
  EXPECT_TRUE(doc->OnCommand(CMD_FIND));
  EXPECT_EQ(0, doc->GetResultCount());
  doc->ReleaseEditingToken(&editor);
  doc->RemoveView(&editor);
}

// While a search is waited for and its dialog is not open yet, the window goes on with its
// events (painting, timers): the wait pumps them, and does not sit blocked for half a second.
TEST_F(DocTest, TheWaitBeforeTheDialogKeepsTheWindowGoing) {
  Set(kSlowPattern, kSlowSubject);
  ui.pumps = 0;
  ui.dialogAction = 1;  // Break as soon as the dialog opens
  doc->OnCommand(CMD_FIND);
  ui.dialogAction = 0;
  EXPECT_EQ(1, ui.dialogsOpened);
  EXPECT_GE(ui.pumpsBeforeDialog, 5) << "the UI thread sat in one blocking wait";
  EXPECT_TRUE(ui.PumpUntil([&] { return !doc->IsJobActive(); }));
}

TEST_F(DocTest, TheWaitDialogStartsFromWhereTheSearchStands) {
  struct Case {
    const char* name;
    std::string before;  // pattern of a Find All that runs first ("" none)
    std::string pattern;
    std::string subject;
    int flags;
    int finds;  // quick Finds before the slow one
    int count, position;
  };
  const Case cases[] = {
      // The previous search's bar position must not carry over.
      {"fresh after another search", "a", kSlowPattern, kSlowSubject, 0, 0, 0, 0},
      {"after one match", "", std::string("x|") + kSlowPattern, "x" + kSlowSubject, 0, 1, 1, 1},
      // Right to left the slow part runs from its end: the "c" or "d" comes first in the pattern.
      {"after one match, right to left", "", "x|(?:c|d)(?:a|a)*?", kSlowSubject + "x", RIGHTTOLEFT, 1, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.before.empty()) {
      Set(c.before, c.subject, c.flags);
      doc->OnCommand(CMD_FIND_ALL);
    }
    Set(c.pattern, c.subject, c.flags);
    for (int i = 0; i < c.finds; ++i) doc->OnCommand(CMD_FIND);
    ui.dialogAction = 1;
    ui.openedWithCount = ui.openedWithPosition = -1;
    doc->OnCommand(CMD_FIND);
    ui.dialogAction = 0;
    EXPECT_EQ(c.count, ui.openedWithCount);
    EXPECT_EQ(c.position, ui.openedWithPosition);
    ui.ClearBoxes();
  }
}

// ---------------------------------------------------------------------------------------------
// The worker reads the options: they change only once it has stopped. A search runs on the
// worker here (the fail-point check's) while the UI changes them; ThreadSanitizer reports the
// write if it comes first.

TEST_F(DocTest, AnOptionChangesOnlyOnceTheSearchHasStopped) {
  const int options[][2] = {{CMD_IGNORECASE, IGNORECASE}, {CMD_RIGHTTOLEFT, RIGHTTOLEFT}, {CMD_MULTILINE, MULTILINE}};
  for (const auto& o : options) {
    SCOPED_TRACE(o[1]);
    Set(kSlowPattern, kSlowSubject);
    doc->OnCommand(CMD_LOCATE_FAIL_POINT);  // on: the check's search starts now
    const int before = doc->GetFlags();
    doc->OnCommand(o[0]);
    EXPECT_EQ(before ^ o[1], doc->GetFlags());
    // The check of the new state runs; switching the option off again stops it as well.
    doc->OnCommand(CMD_LOCATE_FAIL_POINT);
    doc->OnCommand(o[0]);
    EXPECT_EQ(before, doc->GetFlags());
    EXPECT_FALSE(doc->IsJobActive());
  }
}

TEST_F(DocTest, ASnapshotIsTakenUpOnlyOnceTheSearchHasStopped) {
  Set("a", kSlowSubject, IGNORECASE | RIGHTTOLEFT);
  const int id = doc->AddSnapshot(U16("options"));
  Set(kSlowPattern, kSlowSubject, 0);
  doc->OnCommand(CMD_LOCATE_FAIL_POINT);  // on: the check's search runs while the snapshot comes
  doc->SwitchToSnapshot(id);
  EXPECT_EQ(IGNORECASE | RIGHTTOLEFT, doc->GetFlags());
  EXPECT_EQ(U16("a"), doc->GetPattern());
  doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  EXPECT_FALSE(doc->IsJobActive());
}


}  // namespace
