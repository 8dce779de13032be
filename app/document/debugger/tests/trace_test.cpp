// Tracing without a display: stepping through text-consuming elements, Continue, Reset while
// paused, the fail-point tracker and the time-limited background check.
#include <gtest/gtest.h>

#include "app/document/core/tests/headless_ui.h"
#include "app/document/debugger/debug_session.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

class TraceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CStringTable::SetCurrent(CStringTable::kEnglish);
    CKorvaneDoc::SetRecursionLimit(5000);
  }
  void SetUp() override {
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
  }
  void TearDown() override { doc.reset(); }
  void LocateFailPoint(bool on) {
    if (doc->IsLocateFailPoint() != on) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  }
  void Set(const std::string& pattern, const std::string& subject) {
    std::vector<unsigned short> p = U16(pattern), s = U16(subject);
    doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
    doc->SetSubjectText(s.data(), static_cast<int>(s.size()));
  }
  struct Step {
    int start, end, outcome, attempt;
  };
  Step Paused() {
    const TraceStep& t = doc->GetTraceStep();
    return {t.elementStart, t.elementEnd, t.outcome, t.attemptStart};
  }

  HeadlessUi ui;
  std::unique_ptr<CKorvaneDoc> doc;
};

TEST_F(TraceTest, StepMatchPausesAtEveryTextConsumingElement) {
  LocateFailPoint(false);
  Set("a\\d", "xa1");
  doc->OnCommand(CMD_STEP_MATCH);
  EXPECT_EQ(MODE_TRACE, doc->GetMode());
  ASSERT_TRUE(doc->IsJobActive());
  ASSERT_TRUE(doc->IsPaused());
  ASSERT_NE(nullptr, doc->GetTraceStep().element);
  EXPECT_EQ(ELEMENT_STRING, doc->GetTraceStep().element->m_nKind);
  // "a" fails at 0: the shown span is never empty.
  Step s = Paused();
  EXPECT_EQ(0, s.outcome);
  EXPECT_EQ(0, s.start);
  EXPECT_EQ(1, s.end);
  // While a search is paused, Find continues it.
  EXPECT_EQ(IDS_MENU_MATCH_CONTINUE, doc->QueryCommand(CMD_FIND).textId);
  EXPECT_FALSE(doc->QueryCommand(CMD_FIND_ALL).enabled);

  doc->OnCommand(CMD_STEP_MATCH);  // "a" at 1 succeeds
  s = Paused();
  EXPECT_EQ(1, s.outcome);
  EXPECT_EQ(1, s.start);
  EXPECT_EQ(2, s.end);
  EXPECT_EQ(1, s.attempt);
  doc->OnCommand(CMD_STEP_MATCH);  // "\d" at 2 succeeds
  s = Paused();
  EXPECT_EQ(ELEMENT_CHARSET == doc->GetTraceStep().element->m_nKind ||
                ELEMENT_POSIX == doc->GetTraceStep().element->m_nKind,
            true);
  EXPECT_EQ(1, s.outcome);
  EXPECT_EQ(2, s.start);
  EXPECT_EQ(3, s.end);
  doc->OnCommand(CMD_STEP_MATCH);  // nothing left to consume: the match is presented
  EXPECT_FALSE(doc->IsJobActive());
  EXPECT_EQ(1, doc->GetCurrentResult()->result.GetStart());
  EXPECT_EQ(3, doc->GetCurrentResult()->result.GetEnd());
  EXPECT_EQ(IDS_MENU_MATCH_FIND, doc->QueryCommand(CMD_FIND).textId);
}

TEST_F(TraceTest, RightToLeftStepsShowSpansTowardsTheStart) {
  LocateFailPoint(false);
  Set("b", "ab");
  doc->OnCommand(CMD_RIGHTTOLEFT);
  doc->OnCommand(CMD_STEP_MATCH);
  ASSERT_TRUE(doc->IsPaused());
  Step s = Paused();
  EXPECT_EQ(1, s.outcome);
  EXPECT_EQ(2, s.start);
  EXPECT_EQ(1, s.end);
  doc->OnCommand(CMD_FIND);  // continue to the end
  EXPECT_FALSE(doc->IsJobActive());
  EXPECT_EQ(1, doc->GetCurrentResult()->result.GetStart());
}

TEST_F(TraceTest, FindWhilePausedRunsToTheEnd) {
  LocateFailPoint(false);
  Set("\\d", "a1b2");
  doc->OnCommand(CMD_STEP_MATCH);
  ASSERT_TRUE(doc->IsPaused());
  doc->OnCommand(CMD_FIND);
  EXPECT_FALSE(doc->IsJobActive());
  EXPECT_EQ(1, doc->GetCurrentResult()->result.GetStart());
  EXPECT_TRUE(ui.Boxes().empty());
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(3, doc->GetCurrentResult()->result.GetStart());
}

TEST_F(TraceTest, ResetWhilePausedEndsTheSearch) {
  LocateFailPoint(false);
  Set("a+b", "aaaab");
  doc->OnCommand(CMD_STEP_MATCH);
  ASSERT_TRUE(doc->IsPaused());
  doc->OnCommand(CMD_RESET_FIND);
  EXPECT_FALSE(doc->IsJobActive());
  EXPECT_FALSE(doc->IsPaused());
  EXPECT_EQ(nullptr, doc->GetTraceStep().element);
  EXPECT_EQ(0, doc->GetResultCount());
  // The worker is free again.
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(5, doc->GetCurrentResult()->result.GetEnd());
}

TEST_F(TraceTest, DestroyingThePausedDocumentDoesNotHang) {
  LocateFailPoint(false);
  Set("a+b", "aaaab");
  doc->OnCommand(CMD_STEP_MATCH);
  ASSERT_TRUE(doc->IsPaused());
  doc.reset();
}

TEST_F(TraceTest, RunCountersFillDuringSearchesAndResetClearsThem) {
  LocateFailPoint(false);
  Set("a\\d", "a1xa2a");
  const HostRegexp& re = doc->GetCompiled();
  // The direct search of Match mode leaves them alone; Optimize mode's traced search fills them.
  doc->OnCommand(CMD_FIND_ALL);
  for (int i = 0; i < re.GetElementCount(); ++i)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(0, re.GetElement(i)->m_nCounters[k]);
  doc->OnCommand(CMD_MODE_OPTIMIZE);
  doc->OnCommand(CMD_RESET_FIND);
  doc->OnCommand(CMD_FIND_ALL);
  const HostElement* digit = nullptr;
  const HostElement* letter = nullptr;
  for (int i = 0; i < re.GetElementCount(); ++i) {
    const HostElement* e = re.GetElement(i);
    if (e->m_nKind == ELEMENT_STRING) letter = e;
    if (e->m_nKind == ELEMENT_CHARSET || e->m_nKind == ELEMENT_POSIX) digit = e;
  }
  ASSERT_TRUE(letter && digit);
  // "a" is tried at 0, 2, 3, 5 and 6 (the end): it succeeds at 0, 3 and 5; "\d" follows it
  // each time and fails only after the last "a".
  EXPECT_EQ(3, letter->m_nCounters[0]);
  EXPECT_EQ(2, digit->m_nCounters[0]);
  EXPECT_EQ(1, digit->m_nCounters[1]);
  EXPECT_GE(letter->m_nCounters[1], 2);
  doc->OnCommand(CMD_RESET_FIND);
  for (int i = 0; i < re.GetElementCount(); ++i)
    for (int k = 0; k < 4; ++k) EXPECT_EQ(0, re.GetElement(i)->m_nCounters[k]);
}

TEST_F(TraceTest, BackgroundCheckFindsTheFailPoint) {
  struct Case {
    const char* pattern;
    const char* subject;
    int spanStart, spanEnd;
  };
  // Where the furthest failing element was tried.
  const Case cases[] = {
      {"ab\\d", "xabz", 3, 4},
      {"a(b|c)d", "acx", 2, 3},
      {"x", "abc", 0, 1},
  };
  LocateFailPoint(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    Set(c.pattern, c.subject);
    ASSERT_TRUE(ui.PumpUntil([&] { return doc->ShowsFailPoint(); }));
    const FailPoint& f = doc->GetFailPoint();
    ASSERT_NE(nullptr, f.failElement);
    EXPECT_EQ(c.spanStart, f.failSpanStart);
    EXPECT_EQ(c.spanEnd, f.failSpanEnd);
    EXPECT_FALSE(doc->IsJobActive());
    // The check is not the user's search: it leaves no results behind.
    EXPECT_FALSE(doc->GetCurrentResult()->result.IsMatched());
  }
}

TEST_F(TraceTest, BackgroundCheckOfAMatchingPatternShowsNoFailPoint) {
  LocateFailPoint(false);
  Set("a\\d", "xa1");
  LocateFailPoint(true);  // exactly one check
  // The check's search ends before the check itself has posted its result: only the check's end
  // (command 0, posted last) says that everything it posts is queued.
  ASSERT_TRUE(ui.PumpUntil([&] { return ui.PostedCount(0) > 0; }));
  ui.PumpEvents();
  EXPECT_FALSE(doc->IsJobActive());
  EXPECT_FALSE(doc->ShowsFailPoint());
  EXPECT_FALSE(doc->GetCurrentResult()->result.IsMatched());
}

TEST_F(TraceTest, ASearchRightAfterTheCheckStartsFresh) {
  LocateFailPoint(true);
  Set("\\d", "1a2b3");
  // The check's search ends with a match; its result command is still queued (no events are
  // pumped here) when the user's Find All comes.
  for (int i = 0; i < 2000 && !doc->GetCurrentResult()->result.IsMatched(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  doc->OnCommand(CMD_FIND_ALL);
  EXPECT_EQ(3, doc->RealMatchCount());
  EXPECT_EQ(0, doc->GetResult(0)->result.GetStart());
  ui.PumpEvents();  // the stale check result changes nothing
  EXPECT_EQ(3, doc->RealMatchCount());
}

TEST_F(TraceTest, BackgroundCheckGivesUpOnASlowSearch) {
  LocateFailPoint(false);
  Set("(?:a|a)*?c", std::string(60, 'a'));
  LocateFailPoint(true);  // exactly one check, on the slow search
  // The check aborts its search after 800 ms, posts only its end (command 0) and shows nothing.
  ASSERT_TRUE(ui.PumpUntil([&] { return ui.PostedCount(0) > 0; }));
  ui.PumpEvents();
  EXPECT_EQ(0, ui.PostedCount(CMD_BACKGROUND_RESULT));
  EXPECT_FALSE(doc->ShowsFailPoint());
  // The user's own search works afterwards.
  std::vector<unsigned short> p = U16("a");
  doc->SetPattern(p.data(), 1, true);
  LocateFailPoint(false);
  doc->OnCommand(CMD_FIND);
  EXPECT_TRUE(doc->GetCurrentResult()->result.IsMatched());
}

TEST_F(TraceTest, AUserSearchStopsTheBackgroundCheck) {
  LocateFailPoint(true);
  Set("(?:a|a)*?(?:c|d)", std::string(60, 'a') + "b");
  ui.dialogAction = 1;  // break the user's own search at once
  doc->OnCommand(CMD_FIND);
  EXPECT_FALSE(doc->IsJobActive());
  EXPECT_EQ(1, ui.dialogsOpened);
}

// ---------------------------------------------------------------------------------------------
// What the match worker writes, read on the UI thread while a search runs. Each test reads the
// state as the views do, through the document's accessors, while the worker writes it; under
// ThreadSanitizer an accessor that handed out state the worker is writing is reported.

const char kSlow[] = "(?:a|a)*?(?:c|d)";  // exponential for both searches: no required character
const std::string kSlowText(60, 'a');

TEST_F(TraceTest, TheFailPointIsReadWhileTheCheckGivesUp) {
  LocateFailPoint(false);
  Set(kSlow, kSlowText);
  LocateFailPoint(true);  // one check, on a search that runs out of its time (800 ms)
  // The views ask again and again (repaints) while the check runs out of time and ends. Nothing
  // here synchronises with the check's own thread, so whatever that thread writes and the UI
  // reads meets under ThreadSanitizer. (On a slow machine the check may end later; the reads
  // are then merely fewer.)
  int shown = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (std::chrono::steady_clock::now() < until) {
    if (doc->ShowsFailPoint() && doc->GetFailPoint().failElement) ++shown;
    std::this_thread::yield();
  }
  ASSERT_TRUE(ui.PumpUntil([&] { return ui.PostedCount(0) > 0; }));
  ui.PumpEvents();
  EXPECT_EQ(0, shown);
  EXPECT_FALSE(doc->ShowsFailPoint());
  EXPECT_EQ(nullptr, doc->GetFailPoint().failElement);
  EXPECT_FALSE(doc->IsJobActive());
}

TEST_F(TraceTest, RunCountersAreReadOnlyWhenNoSearchWritesThem) {
  const HostRegexp& re = doc->GetCompiled();
  auto total = [&] {
    long long sum = 0;
    for (int i = 0; i < re.GetElementCount(); ++i) {
      const int* c = doc->ElementCounters(re.GetElement(i));
      sum += static_cast<long long>(c[0]) + c[1] + c[2] + c[3];
    }
    return sum;
  };
  // The check's search runs on its own; a repaint in Optimize mode reads the counters.
  LocateFailPoint(false);
  Set(kSlow, kSlowText);
  doc->SetMode(MODE_OPTIMIZE);
  LocateFailPoint(true);
  long long read = 0;
  while (ui.PostedCount(0) == 0) read += total();
  ui.PumpEvents();
  // Once the check is over, the counts its search left are there to show.
  EXPECT_GT(total(), 0);
  LocateFailPoint(false);

  // A user's Find All, with the wait dialog open: the repaint reads nothing the worker writes,
  // then the counts are there once the search has ended.
  doc->OnCommand(CMD_RESET_FIND);
  EXPECT_EQ(0, total());
  long long inDialog = 0;
  ui.whileWaiting = [&](int round) {
    if (round > 200) return;  // the search is still running up to the Break
    inDialog += total();
    if (round == 200) doc->WaitDialogBreak();
  };
  doc->OnCommand(CMD_FIND_ALL);
  ui.whileWaiting = nullptr;
  EXPECT_EQ(0, inDialog);
  EXPECT_GT(total(), 0);
  EXPECT_GE(read, 0);
}

TEST_F(TraceTest, TheTraceStepIsReadOnlyWhilePaused) {
  LocateFailPoint(false);
  Set(kSlow, kSlowText);
  doc->SetMode(MODE_TRACE);
  // Find in Trace mode runs without pausing; the pattern box repaints while the wait dialog is
  // open, and Break pauses the search at its next step.
  int stepsWhileRunning = 0;
  ui.whileWaiting = [&](int round) {
    if (round > 200) return;  // paused from here on
    const TraceStep* step = doc->PausedTraceStep();
    if (step && step->element) ++stepsWhileRunning;
    if (round == 200) doc->WaitDialogBreak();
  };
  doc->OnCommand(CMD_FIND);
  ui.whileWaiting = nullptr;
  EXPECT_EQ(0, stepsWhileRunning);
  ASSERT_TRUE(doc->IsPaused());
  const TraceStep* step = doc->PausedTraceStep();
  ASSERT_NE(nullptr, step);
  ASSERT_NE(nullptr, step->element);
  EXPECT_EQ(ELEMENT_STRING, step->element->m_nKind);
  // Stepping on: the record is the worker's again until the next pause.
  doc->OnCommand(CMD_STEP_MATCH);
  ASSERT_TRUE(doc->IsPaused());
  EXPECT_NE(nullptr, doc->PausedTraceStep());
  doc->OnCommand(CMD_RESET_FIND);
  EXPECT_FALSE(doc->IsPaused());
  EXPECT_EQ(nullptr, doc->PausedTraceStep());
}

TEST_F(TraceTest, BreakInTraceModeAbortsASearchThatNeverPauses) {
  // No text-consuming element, and 2^60 ways to fail: the search never pauses. Break asks for
  // a pause that does not come; the dialog comes back, and Break aborts the search then. A Step
  // is headed for a pause from its start, so its first Break aborts.
  const struct {
    int command;
    int dialogs;
  } cases[] = {{CMD_FIND, 2}, {CMD_STEP_MATCH, 1}};
  LocateFailPoint(false);
  Set("(?:|){60}(?!)", "aaaa");
  doc->SetMode(MODE_TRACE);
  ui.dialogAction = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    ui.dialogsOpened = 0;
    doc->OnCommand(c.command);
    EXPECT_FALSE(doc->IsJobActive());
    EXPECT_FALSE(doc->IsPaused());
    EXPECT_EQ(c.dialogs, ui.dialogsOpened);
  }
}

}  // namespace
