// The trace history against the live search: every state read back from the history (forward,
// backward, by random jumps, after the ceiling dropped old events, after a search broken off in
// an entry) equals what the hook saw when the event happened.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/document/debugger/trace_history.h"

namespace {

std::vector<unsigned short> U16(const std::string& s) { return std::vector<unsigned short>(s.begin(), s.end()); }

// The live side: the full state at every event (or every `sample`-th), read from the context
// without the history's help, and the history recorded alongside.
struct Recording {
  CTraceHistory history;
  std::vector<HistoryState> live;  // by index / sample
  std::int64_t events = 0;
  int sample = 1;
  std::int64_t breakAtEntry = -1;  // throw a break after recording this entry

  // Each group's latest record, found by walking the capture records down from the top.
  static std::vector<HistoryCapture> Captures(const HostContext* ctx) {
    std::vector<HistoryCapture> out(ctx->m_captureIndex.GetSize(), HistoryCapture{-1, -1});
    std::vector<bool> seen(out.size(), false);
    const CBufferT<int>& cs = ctx->m_captureStack;
    for (int i = cs.GetSize() - 4; i >= 0; i -= 4) {
      const int g = cs[i];
      if (g < 0 || g >= static_cast<int>(out.size()) || seen[g]) continue;
      seen[g] = true;
      out[g] = HistoryCapture{cs[i + 1], cs[i + 2]};
    }
    return out;
  }

  static void Hook(int event, HostContext* ctx, const HostElement*, int outcome,
                   const TraceStackEntry<unsigned short>* stack, int depth, void* user) {
    Recording* r = static_cast<Recording*>(user);
    r->history.Record(event, ctx, outcome, stack, depth);
    if (r->events % r->sample == 0) {
      HistoryState s;
      s.index = r->events;
      s.event = event;
      s.outcome = event == TRACE_EXIT && outcome ? 1 : 0;
      s.position = ctx->m_nCurrentPos;
      for (int i = 0; i < depth; ++i)
        s.stack.push_back(HistoryEntry{stack[i].element->m_nPoolIndex, stack[i].start, stack[i].entryPos, stack[i].retry});
      s.captures = Captures(ctx);
      r->live.push_back(s);
    }
    ++r->events;
    if (event == TRACE_ENTER && r->events - 1 == r->breakAtEntry) throw CMatchBreak(CMatchBreak::ABORTED);
  }

  // Every match of the pattern, as Find All runs them, recorded; stops at `maxEvents` events.
  void Run(const std::string& pattern, const std::string& subject, int flags, std::int64_t maxEvents = -1) {
    HostRegexp re;
    std::vector<unsigned short> p = U16(pattern), s = U16(subject);
    re.Compile(p.data(), static_cast<int>(p.size()), flags);
    ASSERT_TRUE(re.GetRoot()) << pattern;
    HostContext ctx;
    ctx.m_pfnTraceHook = &Hook;
    ctx.m_pUserData = this;
    if (maxEvents >= 0 && breakAtEntry < 0) breakAtEntry = maxEvents;
    re.PrepareMatch(s.data(), static_cast<int>(s.size()), -1, &ctx);
    try {
      for (int n = 0; n < 1000 && re.Match(&ctx).IsMatched(); ++n) {
      }
    } catch (const CMatchBreak&) {
    }
  }
};

::testing::AssertionResult SameAt(const CTraceHistory& h, const HistoryState& live) {
  HistoryState got;
  if (!h.StateAt(live.index, &got)) return ::testing::AssertionFailure() << "no state at " << live.index;
  if (got == live) return ::testing::AssertionSuccess();
  auto r = ::testing::AssertionFailure() << "state " << live.index << " differs: event " << got.event << "/" << live.event
                                         << " outcome " << got.outcome << "/" << live.outcome << " position "
                                         << got.position << "/" << live.position << " depth " << got.stack.size()
                                         << "/" << live.stack.size() << " element " << got.Element() << "/"
                                         << live.Element() << " groups " << got.captures.size() << "/"
                                         << live.captures.size();
  for (size_t g = 0; g < got.captures.size() && g < live.captures.size(); ++g)
    if (got.captures[g] != live.captures[g])
      r << " group " << g << " " << got.captures[g].open << "," << got.captures[g].close << "/" << live.captures[g].open
        << "," << live.captures[g].close;
  return r;
}

struct Case {
  const char* pattern;
  const char* subject;
  int flags;
};

const Case kCases[] = {
    {"abc", "xxabc", 0},
    {"(a|b)*c", "ababcabc", 0},
    {"(a+)+b", "aaaaaa", 0},                     // backtracking without a match
    {"(?<w>\\w+)\\s(\\k<w>)", "the the cat", 0},  // named group and back-reference
    {"(a(?1)?b)", "xaabbab", 0},                  // recursion: a group re-entered while open
    {"(?=(a+))a*b\\1", "aaab aab", 0},            // a look-ahead's capture
    {"(\\d+)-(\\d+)", "12-345 6-7", RIGHTTOLEFT},  // right to left
    {"(x)?(y)?z", "zyzxyz", 0},                   // groups that take no part
    {"((a)|(b))+", "abba", 0},                    // groups re-captured on every round
    {"(?>a+)b|a", "aaac", 0},                     // independent group
};

TEST(HistoryTest, ForwardThroughAllThenBackEqualsTheLiveStates) {
  for (const Case& c : kCases) {
    Recording r;
    r.Run(c.pattern, c.subject, c.flags);
    ASSERT_GT(r.events, 0) << c.pattern;
    ASSERT_EQ(r.events, r.history.End()) << c.pattern;
    ASSERT_EQ(0, r.history.First()) << c.pattern;
    for (const HistoryState& live : r.live) ASSERT_TRUE(SameAt(r.history, live)) << c.pattern;
    for (auto it = r.live.rbegin(); it != r.live.rend(); ++it) ASSERT_TRUE(SameAt(r.history, *it)) << c.pattern;
    HistoryState none;
    EXPECT_FALSE(r.history.StateAt(r.history.End(), &none)) << c.pattern;
    EXPECT_FALSE(r.history.StateAt(-1, &none)) << c.pattern;
    EXPECT_EQ(-1, none.index) << "a refused read leaves the state alone";
  }
}

TEST(HistoryTest, RandomJumpEqualsStepping) {
  // Long enough for many segments, so that jumps cross them (the search backtracks through
  // cubically many splits of the a's, and every split moves the captures).
  Recording r;
  r.Run("(a*)(a*)(a*)b", std::string(60, 'a'), 0, 400000);
  ASSERT_GT(r.history.End(), 400000);  // the break, then the exits that unwind the search
  ASSERT_EQ(r.events, r.history.End());
  std::mt19937 rng(20261209);
  for (int i = 0; i < 300; ++i) {
    const HistoryState& live = r.live[rng() % r.live.size()];
    ASSERT_TRUE(SameAt(r.history, live));
  }
  // And a step back from anywhere lands where stepping forward would.
  for (int i = 0; i < 50; ++i) {
    const size_t at = 1 + rng() % (r.live.size() - 1);
    ASSERT_TRUE(SameAt(r.history, r.live[at]));
    ASSERT_TRUE(SameAt(r.history, r.live[at - 1]));
  }
}

TEST(HistoryTest, SearchBrokenOffInAnEntryStillReadsBackExactly) {
  // The break leaves the entry it was thrown from without an exit; the exits that unwind the
  // search come from further out.
  for (std::int64_t at : {3, 10, 57}) {
    Recording r;
    r.breakAtEntry = at;
    r.Run("((a)|(b))+c", "ababab", 0);
    ASSERT_EQ(r.events, r.history.End());
    for (const HistoryState& live : r.live) ASSERT_TRUE(SameAt(r.history, live)) << "break at " << at;
  }
}

TEST(HistoryTest, CeilingDropsTheOldestAndSaysSo) {
  Recording r;
  r.sample = 7;
  r.history.SetCeiling(0);  // raised to the least ceiling: two segments
  const std::size_t ceiling = r.history.Ceiling();
  EXPECT_GT(ceiling, 0u);
  r.Run("(a*)(a*)(a*)b", std::string(60, 'a'), 0, 300000);
  const CTraceHistory& h = r.history;
  EXPECT_EQ(r.events, h.End());
  EXPECT_GT(h.First(), 0) << "nothing was dropped";
  EXPECT_EQ(h.First(), h.Dropped());
  EXPECT_LE(h.MemoryBytes(), 2 * ceiling) << "the ceiling holds to within the open segment";
  HistoryState s;
  EXPECT_FALSE(h.StateAt(h.First() - 1, &s));
  EXPECT_FALSE(h.StateAt(0, &s));
  int compared = 0;
  for (const HistoryState& live : r.live)
    if (live.index >= h.First()) {
      ASSERT_TRUE(SameAt(h, live));
      ++compared;
    }
  EXPECT_GT(compared, 100);
}

TEST(HistoryTest, ClearForgetsEverythingAndRecordsAfresh) {
  Recording r;
  r.Run("(a|b)*c", "abc", 0);
  ASSERT_GT(r.history.End(), 0);
  r.history.Clear();
  EXPECT_TRUE(r.history.Empty());
  EXPECT_EQ(0, r.history.End());
  HistoryState s;
  EXPECT_FALSE(r.history.StateAt(0, &s));
  r.live.clear();
  r.events = 0;
  r.Run("(x)y", "xy", 0);
  for (const HistoryState& live : r.live) ASSERT_TRUE(SameAt(r.history, live));
}

}  // namespace
