// The trace history through the document: Step Back and Step forward through the recorded
// pauses show exactly what the live pauses showed (step, stack, captures), a jump equals
// stepping, stepping past the history lets the search go on, Reset and edits while looking at
// an old step, and the note when the ceiling drops steps.
#include <gtest/gtest.h>

#include <random>

#include "app/document/core/tests/headless_ui.h"
#include "app/document/debugger/debug_session.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

// Everything a view shows of a paused step.
struct Shown {
  TraceStep step;
  std::vector<HistoryEntry> stack;
  std::vector<HistoryCapture> captures;
  bool operator==(const Shown& o) const {
    const TraceStep& a = step;
    const TraceStep& b = o.step;
    return a.element == b.element && a.event == b.event && a.attemptStart == b.attemptStart &&
           a.regionStart == b.regionStart && a.elementStart == b.elementStart && a.elementEnd == b.elementEnd &&
           a.outcome == b.outcome && stack == o.stack && captures == o.captures;
  }
};

std::ostream& operator<<(std::ostream& os, const Shown& s) {
  os << "element " << (s.step.element ? s.step.element->m_nStart : -1) << " span " << s.step.elementStart << "-"
     << s.step.elementEnd << " outcome " << s.step.outcome << " attempt " << s.step.attemptStart << " depth "
     << s.stack.size() << " captures";
  for (const HistoryCapture& c : s.captures) os << " " << c.open << "," << c.close;
  return os;
}

class HistoryDocTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
  void SetUp() override {
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    if (doc->IsLocateFailPoint()) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
    doc->OnCommand(CMD_MODE_TRACE);
  }
  void TearDown() override { doc.reset(); }
  void Set(const std::string& pattern, const std::string& subject) {
    std::vector<unsigned short> p = U16(pattern), s = U16(subject);
    doc->SetPattern(p.data(), static_cast<int>(p.size()), false);
    doc->SetSubjectText(s.data(), static_cast<int>(s.size()));
  }
  Shown Now() const {
    Shown s;
    s.step = doc->GetTraceStep();
    int depth = 0;
    const TraceStackEntry<unsigned short>* e = doc->ShownTraceStack(&depth);
    for (int i = 0; i < depth; ++i) s.stack.push_back(HistoryEntry{e[i].element->m_nPoolIndex, e[i].start, e[i].entryPos, e[i].retry});
    if (const std::vector<HistoryCapture>* c = doc->ShownCaptures()) s.captures = *c;
    return s;
  }
  // Steps `count` pauses from a fresh search, keeping what each showed and its event index.
  void StepLive(int count, std::vector<Shown>* shown, std::vector<std::int64_t>* index) {
    for (int i = 0; i < count; ++i) {
      doc->OnCommand(CMD_STEP_MATCH);
      ASSERT_TRUE(doc->IsJobActive() && doc->IsPaused()) << "pause " << i;
      ASSERT_FALSE(doc->Debugger().IsViewingHistory());
      shown->push_back(Now());
      if (index) index->push_back(doc->Debugger().ShownHistoryIndex());
    }
  }

  HeadlessUi ui;
  std::unique_ptr<CKorvaneDoc> doc;
};

struct Case {
  const char* pattern;
  const char* subject;
  int pauses;
};

const Case kCases[] = {
    {"(a|b)*c", "abbaabx", 12},
    {"(?<q>['\"])(\\w+)\\k<q>", "x'ab\"cd\"", 10},
    {"(\\d+)\\.(\\d*)", "12.3 45.", 4},  // the match comes at the sixth pause
    {"(?=(\\w+))\\w", "ab", 3},
};

TEST_F(HistoryDocTest, BackToTheFirstPauseAndForwardAgainShowWhatTheLiveRunShowed) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.pattern);
    Set(c.pattern, c.subject);
    // The reference: one pause more than is kept, from a run that never steps back.
    std::vector<Shown> live;
    ASSERT_NO_FATAL_FAILURE(StepLive(c.pauses + 1, &live, nullptr));
    doc->OnCommand(CMD_RESET_FIND);
    std::vector<Shown> now;
    ASSERT_NO_FATAL_FAILURE(StepLive(c.pauses, &now, nullptr));
    for (int i = 0; i < c.pauses; ++i) ASSERT_EQ(live[i], now[i]) << "pause " << i;
    ASSERT_TRUE(doc->QueryCommand(CMD_STEP_BACK).enabled);
    for (int i = c.pauses - 2; i >= 0; --i) {
      doc->OnCommand(CMD_STEP_BACK);
      ASSERT_TRUE(doc->Debugger().IsViewingHistory());
      ASSERT_EQ(live[i], Now()) << "back at pause " << i;
      ASSERT_NE(nullptr, doc->PausedTraceStep());
    }
    // At the first pause there is nothing earlier to show: Step Back stays.
    const std::int64_t first = doc->Debugger().ShownHistoryIndex();
    doc->OnCommand(CMD_STEP_BACK);
    EXPECT_EQ(first, doc->Debugger().ShownHistoryIndex());
    EXPECT_EQ(live[0], Now());
    for (int i = 1; i < c.pauses; ++i) {
      doc->OnCommand(CMD_STEP_MATCH);
      ASSERT_TRUE(doc->IsPaused());
      ASSERT_EQ(live[i], Now()) << "forward at pause " << i;
    }
    EXPECT_FALSE(doc->Debugger().IsViewingHistory()) << "the last recorded pause is the live one";
    doc->OnCommand(CMD_STEP_MATCH);  // past the history: the engine goes on
    ASSERT_TRUE(doc->IsPaused());
    EXPECT_EQ(live[c.pauses], Now());
    doc->OnCommand(CMD_RESET_FIND);
  }
}

TEST_F(HistoryDocTest, JumpEqualsStepping) {
  Set("(a|b)*c", "abbaabbabx");
  std::vector<Shown> live;
  std::vector<std::int64_t> index;
  ASSERT_NO_FATAL_FAILURE(StepLive(15, &live, &index));
  std::mt19937 rng(18);
  for (int n = 0; n < 40; ++n) {
    const size_t k = rng() % live.size();
    ASSERT_TRUE(doc->ShowHistoryStep(index[k]));
    ASSERT_EQ(live[k], Now()) << "jump to pause " << k;
    // An event between two pauses shows the pause before it.
    if (k + 1 < live.size() && index[k] + 1 < index[k + 1]) {
      ASSERT_TRUE(doc->ShowHistoryStep(index[k] + 1));
      ASSERT_EQ(live[k], Now()) << "jump after pause " << k;
    }
  }
  // Past the end: the live pause.
  ASSERT_TRUE(doc->ShowHistoryStep(index.back() + 1000));
  EXPECT_FALSE(doc->Debugger().IsViewingHistory());
  EXPECT_EQ(live.back(), Now());
}

TEST_F(HistoryDocTest, ResetOrAnEditWhileLookingBackEndsTheSearchAndForgetsTheHistory) {
  for (int how = 0; how < 3; ++how) {
    Set("(a|b)*c", "abab");
    std::vector<Shown> live;
    ASSERT_NO_FATAL_FAILURE(StepLive(5, &live, nullptr));
    doc->OnCommand(CMD_STEP_BACK);
    doc->OnCommand(CMD_STEP_BACK);
    ASSERT_TRUE(doc->Debugger().IsViewingHistory());
    if (how == 0) {
      doc->OnCommand(CMD_RESET_FIND);
    } else if (how == 1) {
      std::vector<unsigned short> s = U16("bbbc");
      doc->SetSubjectText(s.data(), static_cast<int>(s.size()));
    } else {
      std::vector<unsigned short> p = U16("x");  // the elements the history named are gone
      doc->SetPattern(p.data(), static_cast<int>(p.size()), false);
    }
    EXPECT_FALSE(doc->IsJobActive()) << how;
    EXPECT_FALSE(doc->Debugger().IsViewingHistory()) << how;
    EXPECT_TRUE(doc->Debugger().History().Empty()) << how;
    EXPECT_EQ(nullptr, doc->ShownCaptures()) << how;
    EXPECT_FALSE(doc->QueryCommand(CMD_STEP_BACK).enabled) << how;
    doc->OnCommand(CMD_STEP_BACK);  // nothing to show: does nothing
    EXPECT_FALSE(doc->Debugger().IsViewingHistory()) << how;
  }
}

TEST_F(HistoryDocTest, ContinueFromAnOldStepRunsOnFromTheLivePause) {
  Set("(a|b)*c", "ababc");
  std::vector<Shown> live;
  ASSERT_NO_FATAL_FAILURE(StepLive(4, &live, nullptr));
  doc->OnCommand(CMD_STEP_BACK);
  ASSERT_TRUE(doc->Debugger().IsViewingHistory());
  doc->OnCommand(CMD_FIND);  // Continue
  EXPECT_FALSE(doc->IsJobActive());
  EXPECT_FALSE(doc->Debugger().IsViewingHistory());
  EXPECT_EQ(0, doc->GetCurrentResult()->result.GetStart());
  EXPECT_EQ(5, doc->GetCurrentResult()->result.GetEnd());
}

TEST_F(HistoryDocTest, OnlyTraceModeRecords) {
  doc->OnCommand(CMD_MODE_MATCH);
  Set("(a|b)*c", "ababc");
  doc->OnCommand(CMD_FIND);
  EXPECT_TRUE(doc->Debugger().History().Empty());
  doc->OnCommand(CMD_MODE_TRACE);
  Set("(a|b)*c", "ababc");
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(2 * static_cast<std::int64_t>(doc->GetStepCounter().Total()), doc->Debugger().History().End())
      << "an entry and an exit per step";
}

TEST_F(HistoryDocTest, CeilingDropsTheOldestStepsWithANote) {
  doc->Debugger().SetHistoryCeiling(0);  // the least ceiling
  Set("(a*)(a*)(a*)b", std::string(40, 'a'));
  doc->OnCommand(CMD_FIND);
  EXPECT_FALSE(doc->IsJobActive());
  const CTraceHistory& h = doc->Debugger().History();
  EXPECT_GT(h.Dropped(), 0);
  EXPECT_EQ(2 * static_cast<std::int64_t>(doc->GetStepCounter().Total()), h.End()) << "recording went on";
  ASSERT_EQ(1u, ui.notes.size());
  EXPECT_EQ(0u, ui.notes[0].find("Trace history full: the oldest ")) << ui.notes[0];
  doc->OnCommand(CMD_RESET_FIND);
  doc->OnCommand(CMD_FIND);
  EXPECT_EQ(2u, ui.notes.size()) << "a new search that drops steps says so again";
}

}  // namespace
