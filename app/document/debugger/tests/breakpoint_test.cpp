// Breakpoints and the run-to commands through the document: where a traced search stops,
// worked out by hand for each pattern and text, conditions on position and hit count, the fate
// of a breakpoint when the pattern is recompiled, the workspace round trip (document and bytes),
// and a run that never reaches its target staying breakable.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/document/debugger/debug_session.h"
#include "app/document/core/tests/headless_ui.h"
#include "app/document/files/workspace_file.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

// One pause as the views show it.
struct Stop {
  int element;  // span start of the paused element in the pattern
  int event;    // TRACE_ENTER or TRACE_EXIT
  int start;    // elementStart
  int outcome;
  bool operator==(const Stop& o) const {
    return element == o.element && event == o.event && start == o.start && outcome == o.outcome;
  }
};

std::ostream& operator<<(std::ostream& os, const Stop& s) {
  return os << "{element " << s.element << (s.event == TRACE_ENTER ? " enter" : " exit") << " at " << s.start
            << " outcome " << s.outcome << "}";
}

const int E = TRACE_ENTER;
const int X = TRACE_EXIT;

class BreakpointTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
  void SetUp() override {
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    if (doc->IsLocateFailPoint()) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
    doc->OnCommand(CMD_MODE_TRACE);
    // The stops below are worked out for a backtracking engine that gives back every end again
    // at every start position; by default the engine passes over ends it has explored (the last
    // test shows what that leaves).
    doc->SetClassic(true);
  }
  void TearDown() override { doc.reset(); }
  void Set(const std::string& pattern, const std::string& subject) {
    std::vector<unsigned short> p = U16(pattern), s = U16(subject);
    doc->SetPattern(p.data(), static_cast<int>(p.size()), false);
    doc->SetSubjectText(s.data(), static_cast<int>(s.size()));
  }
  // Makes the element with exactly this span current (as a click in the pattern box does).
  void Select(int start, int end) {
    doc->SelectPatternRange(start, end);
    const HostElement* e = doc->GetCurrentElement();
    ASSERT_TRUE(e != nullptr);
    ASSERT_EQ(start, e->m_nStart);
    ASSERT_EQ(end, e->m_nEnd);
  }
  void Toggle(int start, int end) {
    ASSERT_NO_FATAL_FAILURE(Select(start, end));
    ASSERT_TRUE(doc->OnCommand(CMD_TOGGLE_BREAKPOINT));
    ASSERT_TRUE(doc->Debugger().HasBreakpoint(start, end));
  }
  Stop Now() const {
    const TraceStep& t = doc->GetTraceStep();
    return Stop{t.element ? t.element->m_nStart : -1, t.event, t.elementStart, t.outcome};
  }
  // Gives `command` until the search ends, keeping every pause (at most `limit`).
  std::vector<Stop> Run(int command, int limit = 40) {
    std::vector<Stop> stops;
    for (int i = 0; i < limit; ++i) {
      doc->OnCommand(command);
      if (!doc->IsJobActive()) break;
      EXPECT_TRUE(doc->IsPaused());
      stops.push_back(Now());
    }
    return stops;
  }
  bool Matched() const { return doc->GetLastResult()->result.IsMatched() != 0; }

  HeadlessUi ui;
  std::unique_ptr<CKorvaneDoc> doc;
};

// (a|b)*c on "abx": the greedy loop takes "ab", then gives one back at a time, at every start
// position; c (span 6-7) is tried at 2, 1, 0 from start 0, at 2, 1 from start 1, at 2 from 2 and
// at 3 from the end of the text.
TEST_F(BreakpointTest, PlainStopsAtEveryEntryThenTheSearchEnds) {
  Set("(a|b)*c", "abx");
  ASSERT_NO_FATAL_FAILURE(Toggle(6, 7));
  const std::vector<Stop> expected = {{6, E, 2, 1}, {6, E, 1, 1}, {6, E, 0, 1}, {6, E, 2, 1},
                                      {6, E, 1, 1}, {6, E, 2, 1}, {6, E, 3, 1}};
  EXPECT_EQ(expected, Run(CMD_FIND));
  EXPECT_FALSE(Matched());
  // Off again: the whole search runs through.
  doc->OnCommand(CMD_RESET_FIND);
  ASSERT_TRUE(doc->OnCommand(CMD_TOGGLE_BREAKPOINT));
  EXPECT_FALSE(doc->Debugger().HasBreakpoint(6, 7));
  EXPECT_TRUE(Run(CMD_FIND).empty());
}

// Step Back from a breakpoint's stop passes the steps in between and stops at the previous
// breakpoint stop, shown as it was; Step goes forward through them to the live pause, and after
// a step beyond it Step Back returns to that stop.
TEST_F(BreakpointTest, StepBackReturnsToBreakpointStops) {
  Set("(a|b)*c", "abx");
  ASSERT_NO_FATAL_FAILURE(Toggle(6, 7));
  doc->OnCommand(CMD_FIND);
  const Stop first{6, E, 2, 1}, second{6, E, 1, 1};
  ASSERT_EQ(first, Now());
  doc->OnCommand(CMD_FIND);
  ASSERT_EQ(second, Now());
  // Back: the steps between the two stops (c failing at 2 is one of them), then the first stop.
  std::vector<Stop> back;
  for (int i = 0; i < 10 && doc->OnCommand(CMD_STEP_BACK); ++i) {
    back.push_back(Now());
    if (back.back() == first) break;
  }
  ASSERT_FALSE(back.empty());
  EXPECT_EQ(first, back.back()) << "never back at the first stop";
  EXPECT_NE(std::find(back.begin(), back.end(), Stop{6, X, 2, 0}), back.end());
  EXPECT_TRUE(doc->Debugger().IsViewingHistory());
  // Forward again through the same steps to the live pause.
  for (size_t i = back.size() - 1; i-- > 0;) {
    doc->OnCommand(CMD_STEP_MATCH);
    EXPECT_EQ(back[i], Now());
  }
  doc->OnCommand(CMD_STEP_MATCH);
  EXPECT_FALSE(doc->Debugger().IsViewingHistory());
  EXPECT_EQ(second, Now());
  // A step past the live stop (c fails at 1), then back to the stop.
  doc->OnCommand(CMD_STEP_MATCH);
  EXPECT_EQ((Stop{6, X, 1, 0}), Now());
  doc->OnCommand(CMD_STEP_BACK);
  EXPECT_EQ(second, Now());
  // Continue still finds the rest of the stops.
  EXPECT_EQ((std::vector<Stop>{{6, E, 0, 1}, {6, E, 2, 1}, {6, E, 1, 1}, {6, E, 2, 1}, {6, E, 3, 1}}), Run(CMD_FIND));
}

TEST_F(BreakpointTest, PlainStopThenContinueFindsTheMatch) {
  Set("(a|b)*c", "xabc");
  ASSERT_NO_FATAL_FAILURE(Toggle(6, 7));
  // Start 0: no a or b, c at 0 fails; start 1: "ab", c at 3 matches.
  EXPECT_EQ((std::vector<Stop>{{6, E, 0, 1}, {6, E, 3, 1}}), Run(CMD_FIND));
  ASSERT_TRUE(Matched());
  EXPECT_EQ(1, doc->GetLastResult()->result.GetStart());
  EXPECT_EQ(4, doc->GetLastResult()->result.GetEnd());
}

struct ConditionCase {
  const char* name;
  int condition;
  int value;
  std::vector<int> starts;  // where c is entered at each stop
};

TEST_F(BreakpointTest, ConditionsOnPositionAndHitCount) {
  const ConditionCase cases[] = {
      {"at position 2", BREAK_AT_POSITION, 2, {2, 2, 2}},
      {"at position 0", BREAK_AT_POSITION, 0, {0}},
      {"at a position never reached", BREAK_AT_POSITION, 9, {}},
      {"fourth hit", BREAK_ON_HIT, 4, {2}},
      {"seventh hit", BREAK_ON_HIT, 7, {3}},
      {"first hit", BREAK_ON_HIT, 1, {2}},
      {"eighth hit: there are seven", BREAK_ON_HIT, 8, {}},
      {"hit count zero never stops", BREAK_ON_HIT, 0, {}},
  };
  Set("(a|b)*c", "abx");
  ASSERT_NO_FATAL_FAILURE(Toggle(6, 7));
  for (const ConditionCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(doc->Debugger().Stops().SetCondition(6, 7, c.condition, c.value));
    doc->OnCommand(CMD_RESET_FIND);
    std::vector<int> starts;
    for (const Stop& s : Run(CMD_FIND)) starts.push_back(s.start);
    EXPECT_EQ(c.starts, starts);
  }
  EXPECT_FALSE(doc->Debugger().Stops().SetCondition(6, 7, 3, 0)) << "an unknown condition";
  EXPECT_FALSE(doc->Debugger().Stops().SetCondition(0, 6, BREAK_ON_HIT, 1)) << "no breakpoint there";
}

TEST_F(BreakpointTest, HitsCountAgainFromEachNewSearch) {
  Set("(a|b)*c", "abx");
  ASSERT_NO_FATAL_FAILURE(Toggle(6, 7));
  ASSERT_TRUE(doc->Debugger().Stops().SetCondition(6, 7, BREAK_ON_HIT, 2));
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ((std::vector<Stop>{{6, E, 1, 1}}), Run(CMD_FIND)) << "round " << round;
    doc->OnCommand(CMD_RESET_FIND);
  }
}

TEST_F(BreakpointTest, TwoBreakpointsStopInMatchOrder) {
  // a (1-2) and b (3-4) inside the alternative: from start 0, a matches at 0, then the loop
  // tries a at 1 (fails) and b at 1; then a at 2 and b at 2 fail before c is tried.
  Set("(a|b)*c", "abc");
  ASSERT_NO_FATAL_FAILURE(Toggle(1, 2));
  ASSERT_NO_FATAL_FAILURE(Toggle(3, 4));
  EXPECT_EQ((std::vector<Stop>{{1, E, 0, 1}, {1, E, 1, 1}, {3, E, 1, 1}, {1, E, 2, 1}, {3, E, 2, 1}}),
            Run(CMD_FIND));
  EXPECT_TRUE(Matched());
}

TEST_F(BreakpointTest, RemovedByARecompileThatLeavesNoElementWithItsSpan) {
  Set("(a|b)*c", "abx");
  ASSERT_NO_FATAL_FAILURE(Toggle(6, 7));
  // d takes c's place: the span is still there, so is the breakpoint.
  std::vector<unsigned short> p = U16("(a|b)*d");
  doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
  EXPECT_TRUE(doc->Debugger().HasBreakpoint(6, 7));
  EXPECT_EQ(7u, Run(CMD_FIND).size()) << "d is entered where c was";
  doc->OnCommand(CMD_RESET_FIND);
  // Without the star, no element spans 6-7: dropped, and not brought back by the old pattern.
  p = U16("(a|b)c");
  doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
  EXPECT_FALSE(doc->Debugger().HasBreakpoint(6, 7));
  EXPECT_TRUE(doc->Debugger().Stops().List().empty());
  p = U16("(a|b)*c");
  doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
  EXPECT_FALSE(doc->Debugger().HasBreakpoint(6, 7));
  EXPECT_TRUE(Run(CMD_FIND).empty());
  // A pattern that does not compile has no elements to keep a breakpoint on.
  ASSERT_NO_FATAL_FAILURE(Toggle(6, 7));
  p = U16("(a|b*c");
  doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
  EXPECT_FALSE(doc->Debugger().HasBreakpoint(6, 7));
}

TEST_F(BreakpointTest, OnlyAtASpanThatHasAnElement) {
  Set("(a|b)*c", "abx");
  CDebugStops& stops = doc->Debugger().Stops();
  EXPECT_FALSE(stops.Toggle(2, 5)) << "no element spans 2-5";
  EXPECT_FALSE(stops.Toggle(-3, 40));
  EXPECT_TRUE(stops.List().empty());
  EXPECT_TRUE(stops.Toggle(0, 7)) << "the whole pattern";
  EXPECT_FALSE(stops.Toggle(0, 7));
  EXPECT_TRUE(stops.List().empty());
}

TEST_F(BreakpointTest, WorkspaceRoundTripKeepsBreakpointsAndConditions) {
  Set("(a|b)*c", "abx");
  ASSERT_NO_FATAL_FAILURE(Toggle(6, 7));
  ASSERT_NO_FATAL_FAILURE(Toggle(1, 2));
  ASSERT_TRUE(doc->Debugger().Stops().SetCondition(6, 7, BREAK_ON_HIT, 4));
  const std::string bytes = doc->WorkspaceBytes();

  HeadlessUi ui2;
  CKorvaneDoc other(&ui2);
  ui2.doc = &other;
  ASSERT_TRUE(other.LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  ASSERT_TRUE(other.Debugger().GetStops() != nullptr);
  const std::vector<Breakpoint>& list = other.Debugger().GetStops()->List();
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ(6, list[0].start);
  EXPECT_EQ(7, list[0].end);
  EXPECT_EQ(BREAK_ON_HIT, list[0].condition);
  EXPECT_EQ(4, list[0].value);
  EXPECT_EQ(1, list[1].start);
  EXPECT_EQ(BREAK_ALWAYS, list[1].condition);
  // The loaded breakpoints stop the loaded document's search: the fourth entry into c.
  if (other.IsLocateFailPoint()) other.OnCommand(CMD_LOCATE_FAIL_POINT);
  other.OnCommand(CMD_MODE_TRACE);
  ASSERT_FALSE(other.Debugger().Stops().Toggle(1, 2));  // off: only c's conditional one is left
  ASSERT_FALSE(other.Debugger().HasBreakpoint(1, 2));
  other.OnCommand(CMD_FIND);
  ASSERT_TRUE(other.IsPaused());
  EXPECT_EQ(6, other.GetTraceStep().element->m_nStart);
  EXPECT_EQ(2, other.GetTraceStep().elementStart);
  other.OnCommand(CMD_RESET_FIND);

  // A workspace without breakpoints loads with none (also over a document that had some).
  Set("x", "");
  doc->Debugger().Stops().Clear();
  const std::string plain = doc->WorkspaceBytes();
  ASSERT_TRUE(other.LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(plain.data()), plain.size()));
  EXPECT_TRUE(other.Debugger().GetStops() == nullptr || other.Debugger().GetStops()->List().empty());
}

std::string Le(std::int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[static_cast<size_t>(i)] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
  return s;
}

EWorkspaceError ReadBytes(const std::string& b, WorkspaceData* d) {
  return CWorkspaceFile::Read(reinterpret_cast<const unsigned char*>(b.data()), b.size(), d);
}

TEST(BreakpointWorkspaceFile, SectionIsWrittenOnlyWithBreakpointsAndReadBack) {
  WorkspaceData data;
  data.pattern = U16("(a|b)*c");
  CSnapshotTree tree;
  const std::string none = CWorkspaceFile::Write(data, tree);
  data.breakpoints = {{6, 7, 0, 0}, {0, 7, 1, 12}, {1, 2, 2, 3}};
  const std::string with = CWorkspaceFile::Write(data, tree);
  ASSERT_EQ(none.size() + 8 + 3 * 16, with.size());
  EXPECT_EQ(none, with.substr(0, none.size())) << "older builds read the same workspace";
  EXPECT_EQ(std::string("BRKP"), with.substr(none.size(), 4));
  WorkspaceData back;
  ASSERT_EQ(EWorkspaceError::None, ReadBytes(with, &back));
  EXPECT_EQ(data.breakpoints, back.breakpoints);
  EXPECT_EQ(3, back.version);
  WorkspaceData old;
  ASSERT_EQ(EWorkspaceError::None, ReadBytes(none, &old));
  EXPECT_TRUE(old.breakpoints.empty());
}

TEST(BreakpointWorkspaceFile, HostileSections) {
  WorkspaceData data;
  CSnapshotTree tree;
  const std::string base = CWorkspaceFile::Write(data, tree);
  struct Case {
    const char* name;
    std::string tail;
    EWorkspaceError error;
    std::vector<WorkspaceBreakpoint> read;
  };
  const Case cases[] = {
      {"another tag is ignored", Le(0x12345678) + Le(1), EWorkspaceError::None, {}},
      {"a tail shorter than a tag is ignored", std::string("BR"), EWorkspaceError::None, {}},
      {"negative count", "BRKP" + Le(-1), EWorkspaceError::BadCount, {}},
      {"count past the end", "BRKP" + Le(0x7FFFFFFF) + Le(1) + Le(2) + Le(0) + Le(0), EWorkspaceError::Truncated, {}},
      {"cut inside a breakpoint", "BRKP" + Le(1) + Le(1) + Le(2) + Le(0), EWorkspaceError::Truncated, {}},
      {"bad spans dropped, unknown condition none",
       "BRKP" + Le(3) + Le(-1) + Le(2) + Le(0) + Le(0) + Le(5) + Le(4) + Le(0) + Le(0) + Le(1) + Le(2) + Le(9) + Le(7),
       EWorkspaceError::None,
       {{1, 2, 0, 7}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WorkspaceData d;
    ASSERT_EQ(c.error, ReadBytes(base + c.tail, &d));
    if (c.error == EWorkspaceError::None) {
      EXPECT_EQ(c.read, d.breakpoints);
    }
  }
}

// --- run to ---

class RunToTest : public BreakpointTest {};

TEST_F(RunToTest, NextStartPositionStopsAtEveryAttempt) {
  Set("(a|b)*c", "abx");
  // The root (span 0-7) entered afresh at each start; then no attempt is left and no match.
  EXPECT_EQ((std::vector<Stop>{{0, E, 0, 1}, {0, E, 1, 1}, {0, E, 2, 1}, {0, E, 3, 1}}), Run(CMD_RUN_TO_NEXT_START));
  EXPECT_FALSE(Matched());
}

TEST_F(RunToTest, EndOfAttemptStopsWhereEachAttemptEnds) {
  Set("(a|b)*c", "xabc");
  // Start 0 fails at once; start 1 matches "abc" (1-4), and the search ends with that match.
  EXPECT_EQ((std::vector<Stop>{{0, X, 0, 0}, {0, X, 1, 1}}), Run(CMD_RUN_TO_ATTEMPT_END));
  ASSERT_TRUE(Matched());
  EXPECT_EQ(1, doc->GetLastResult()->result.GetStart());
  EXPECT_EQ(4, doc->GetTraceStep().elementEnd) << "the last stop showed the whole attempt";
}

TEST_F(RunToTest, NextFailureOfTheCurrentElement) {
  Set("(a|b)*c", "abx");
  ASSERT_NO_FATAL_FAILURE(Select(6, 7));
  // c fails wherever it is tried (the entries of the plain breakpoint test), span one wide.
  const std::vector<Stop> stops = Run(CMD_RUN_TO_FAILURE);
  EXPECT_EQ((std::vector<Stop>{{6, X, 2, 0}, {6, X, 1, 0}, {6, X, 0, 0}, {6, X, 2, 0}, {6, X, 1, 0}, {6, X, 2, 0},
                               {6, X, 3, 0}}),
            stops);
  // The alternative (1-4) fails afresh on x (or the end) at every start; and when c fails, the
  // loop first asks its last iteration for another way, which fails as a retry (-1) where that
  // iteration began: b at 1, then a at 0.
  doc->OnCommand(CMD_RESET_FIND);
  ASSERT_NO_FATAL_FAILURE(Select(1, 4));
  EXPECT_EQ((std::vector<Stop>{{1, X, 2, 0}, {1, X, 1, -1}, {1, X, 0, -1}, {1, X, 2, 0}, {1, X, 1, -1}, {1, X, 2, 0},
                               {1, X, 3, 0}}),
            Run(CMD_RUN_TO_FAILURE));
}

TEST_F(RunToTest, NextBacktrackIntoTheCurrentElement) {
  Set("(a|b)*c", "abx");
  ASSERT_NO_FATAL_FAILURE(Select(0, 6));
  // The loop is asked for another way after each failure of c: three times from start 0 (it
  // had taken "ab"), twice from 1, once from 2 and from 3. The stop shows where it began.
  std::vector<int> at;
  for (const Stop& s : Run(CMD_RUN_TO_BACKTRACK)) {
    EXPECT_EQ(0, s.element);
    EXPECT_EQ(E, s.event);
    at.push_back(s.start);
  }
  EXPECT_EQ((std::vector<int>{0, 0, 0, 1, 1, 2, 3}), at);
}

TEST_F(RunToTest, ABreakpointOnTheWayStopsFirst) {
  Set("(a|b)*c", "xabc");
  ASSERT_NO_FATAL_FAILURE(Toggle(6, 7));
  doc->OnCommand(CMD_RUN_TO_ATTEMPT_END);
  ASSERT_TRUE(doc->IsPaused());
  EXPECT_EQ((Stop{6, E, 0, 1}), Now()) << "c entered at 0 before the first attempt ends";
  doc->OnCommand(CMD_RUN_TO_ATTEMPT_END);
  EXPECT_EQ((Stop{0, X, 0, 0}), Now());
}

TEST_F(RunToTest, OnlyInTraceModeAndWithAnElementForTheElementTargets) {
  Set("(a|b)*c", "abx");
  for (int id : {CMD_RUN_TO_FAILURE, CMD_RUN_TO_BACKTRACK, CMD_RUN_TO_NEXT_START, CMD_RUN_TO_ATTEMPT_END})
    EXPECT_TRUE(doc->QueryCommand(id).enabled) << id;
  doc->OnCommand(CMD_MODE_MATCH);
  for (int id : {CMD_RUN_TO_FAILURE, CMD_RUN_TO_BACKTRACK, CMD_RUN_TO_NEXT_START, CMD_RUN_TO_ATTEMPT_END}) {
    EXPECT_FALSE(doc->QueryCommand(id).enabled) << id;
    doc->OnCommand(id);
    EXPECT_FALSE(doc->IsJobActive());
  }
  // While a step is paused, they run on from there.
  doc->OnCommand(CMD_MODE_TRACE);
  doc->OnCommand(CMD_STEP_MATCH);
  ASSERT_TRUE(doc->IsPaused());
  EXPECT_TRUE(doc->QueryCommand(CMD_RUN_TO_NEXT_START).enabled);
  doc->OnCommand(CMD_RUN_TO_NEXT_START);
  ASSERT_TRUE(doc->IsPaused());
  EXPECT_EQ((Stop{0, E, 1, 1}), Now());
}

TEST_F(RunToTest, ARunThatNeverGetsThereStaysBreakable) {
  // Exponential backtracking: the first attempt alone would outlast the test. Break pauses at
  // the next text-consuming element, as it does for Continue.
  Set("(?:a|a)*?c", std::string(60, 'a') + "b");
  ui.dialogAction = 1;
  doc->OnCommand(CMD_RUN_TO_NEXT_START);  // the first attempt's start: at once
  ASSERT_TRUE(doc->IsPaused());
  doc->OnCommand(CMD_RUN_TO_NEXT_START);  // start 1 would come after some 2^60 steps
  ASSERT_TRUE(doc->IsJobActive());
  EXPECT_TRUE(doc->IsPaused());
  EXPECT_EQ(0, doc->GetTraceStep().attemptStart) << "still in the first attempt";
  EXPECT_GE(ui.dialogsOpened, 1);
  doc->OnCommand(CMD_RESET_FIND);
  EXPECT_FALSE(doc->IsJobActive());
}

}  // namespace

// Without classic backtracking the loop's explored ends are kept for the whole search: from
// starts 1 and 2 every end the repeat reaches (2, 1) was tried from start 0, so c is entered
// again only at 3, where the empty loop ends for the first time.
TEST_F(BreakpointTest, DefaultSearchSkipsEndsExploredFromAnEarlierStart) {
  doc->SetClassic(false);
  Set("(a|b)*c", "abx");
  ASSERT_NO_FATAL_FAILURE(Toggle(6, 7));
  const std::vector<Stop> expected = {{6, E, 2, 1}, {6, E, 1, 1}, {6, E, 0, 1}, {6, E, 3, 1}};
  EXPECT_EQ(expected, Run(CMD_FIND));
  EXPECT_FALSE(Matched());
}
