// The backtracking session on its worker: a request's report comes first and its rewrites after
// it, only the newest request's results are ever taken (an older one's are dropped however they
// race), the texts the rewrites are compared on, the check before a proven rewrite is applied,
// destruction in the middle of an analysis, and the document's side: doc->Backtrack(), the
// posted command, the responsible spans and the hint the views get.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/document/backtrack/backtrack_session.h"
#include "app/document/core/tests/headless_ui.h"
#include "app/document/core/test_session.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<unsigned short> Units(const std::u16string& s) { return std::vector<unsigned short>(s.begin(), s.end()); }

// A session whose worker's notifications are counted; Settle collects until `done` holds.
struct Session {
  std::atomic<int> notified{0};
  CBacktrackSession session{[this] { ++notified; }};

  template <class Done>
  bool Settle(Done done, int seconds = 120) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    for (;;) {
      session.Collect();
      if (done()) return true;
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  bool SettleDone() { return Settle([this] { return session.GetPhase() == CBacktrackSession::DONE; }); }
};

TestCase Case(const std::u16string& subject, bool ownOptions, int flags) {
  TestCase t;
  t.name = TestText{u't'};
  t.SetSubject(TestText(subject.begin(), subject.end()));
  t.ownOptions = ownOptions;
  t.flags = flags;
  return t;
}

// Rows: what is asked for, and what comes: the verdict, whether rewrites are looked for, and
// the responsible spans.
TEST(BacktrackSession, ReportThenFixes) {
  struct Row {
    const char16_t* pattern;
    backtrack::Verdict verdict;
    bool fixes;
    std::vector<std::pair<int, int>> spans;
  };
  const Row rows[] = {
      {u"\\d+\\d+x", backtrack::POLYNOMIAL, true, {{0, 3}, {3, 6}}},
      {u"(a+)+b", backtrack::EXPONENTIAL, true, {{0, 5}, {1, 3}}},
      {u"^[a-z]+\\d+$", backtrack::LINEAR, false, {}},
      {u"a)b[", backtrack::TOO_LARGE, false, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.pattern, row.pattern + std::char_traits<char16_t>::length(row.pattern)));
    Session s;
    const unsigned generation = s.session.Request(row.pattern, 0, nullptr, {});
    EXPECT_EQ(CBacktrackSession::ANALYSING, s.session.GetPhase());
    EXPECT_TRUE(s.session.ResponsibleSpans().empty());
    ASSERT_TRUE(s.SettleDone());
    EXPECT_EQ(generation, s.session.ReportGeneration());
    EXPECT_EQ(row.verdict, s.session.TakenReport().verdict);
    EXPECT_EQ(row.spans, s.session.ResponsibleSpans());
    EXPECT_EQ(row.fixes ? generation : 0u, s.session.FixesGeneration());
    if (row.fixes) {
      EXPECT_FALSE(s.session.TakenFixes().empty());
    }
    // One notification for the report, one more for the rewrites.
    EXPECT_TRUE(s.Settle([&] { return !s.session.IsBusy(); }));
    EXPECT_EQ(row.fixes ? 2 : 1, s.notified.load());
  }
}

// Requests in quick succession: only the newest one's report and rewrites are taken, whatever
// the older ones finished before they were stopped.
TEST(BacktrackSession, TheNewestRequestWins) {
  Session s;
  const std::u16string patterns[] = {u"(a|a)*c", u"(a+)+b", u"\\d+\\d+x", u"(x+x+)+y", u"a*a*a*b"};
  unsigned last = 0;
  for (int round = 0; round < 3; ++round)
    for (const std::u16string& p : patterns) {
      last = s.session.Request(p, 0, nullptr, {});
      if (round == 1) std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
  ASSERT_TRUE(s.SettleDone());
  EXPECT_EQ(last, s.session.Generation());
  EXPECT_EQ(last, s.session.ReportGeneration());
  EXPECT_EQ(last, s.session.FixesGeneration());
  EXPECT_EQ(u"a*a*a*b", s.session.Pattern());
  EXPECT_EQ(backtrack::POLYNOMIAL, s.session.TakenReport().verdict);
  EXPECT_EQ(3, s.session.TakenReport().degree);
  // The rewrites are those of the newest pattern.
  const std::u16string p = s.session.Pattern();
  ASSERT_FALSE(s.session.TakenFixes().empty());
  for (const backtrack::Fix& fix : s.session.TakenFixes()) {
    ASSERT_LE(fix.span.second, static_cast<int>(p.size()));
    EXPECT_EQ(p.substr(0, fix.span.first) + fix.replacement + p.substr(fix.span.second), fix.pattern);
  }
  // Nothing older can be taken afterwards either.
  EXPECT_TRUE(s.Settle([&] { return !s.session.IsBusy(); }));
  EXPECT_EQ(0, s.session.Collect());
}

// A report finished for an older request and never taken stays behind when a newer request
// comes: whatever is taken as the newest request's is the analysis of its pattern.
TEST(BacktrackSession, AnOlderReportIsNeverTaken) {
  for (int round = 0; round < 3; ++round) {
    Session s;
    s.session.Request(u"(a+)+b", 0, nullptr, {});
    // Finished, report and rewrites, but not collected.
    const auto end = Clock::now() + std::chrono::minutes(2);
    while ((s.notified.load() < 2 || s.session.IsBusy()) && Clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(2, s.notified.load());
    const unsigned generation = s.session.Request(u"a*a*a*b", 0, nullptr, {});
    s.session.Collect();
    if (s.session.ReportGeneration() == generation) {
      EXPECT_EQ(backtrack::POLYNOMIAL, s.session.TakenReport().verdict);
    } else {
      EXPECT_EQ(0u, s.session.ReportGeneration());
      EXPECT_EQ(CBacktrackSession::ANALYSING, s.session.GetPhase());
      EXPECT_TRUE(s.session.ResponsibleSpans().empty());
    }
    EXPECT_EQ(0u, s.session.FixesGeneration());
    ASSERT_TRUE(s.SettleDone());
    EXPECT_EQ(3, s.session.TakenReport().degree);
  }
}

// The texts the rewrites are compared on: the first tests with the options each runs with,
// then the text box; long ones cut; an empty box left out.
TEST(BacktrackSession, WhichTextsProveAFix) {
  const std::u16string longText(CBacktrackSession::kSubjectCut + 7, u'a');
  struct Row {
    const char* name;
    std::vector<TestCase> tests;
    std::u16string box;
    std::vector<std::pair<size_t, int>> want;  // length and flags of each subject
  };
  const int kWorkspace = IGNORECASE;
  const std::vector<Row> rows = {
      {"nothing", {}, u"", {}},
      {"box only", {}, u"abc", {{3, kWorkspace}}},
      {"tests keep their own options", {Case(u"ab", false, 0), Case(u"xyz", true, MULTILINE)}, u"",
       {{2, kWorkspace}, {3, MULTILINE}}},
      {"box last", {Case(u"ab", false, 0)}, u"box", {{2, kWorkspace}, {3, kWorkspace}}},
      {"long ones cut", {Case(longText, false, 0)}, longText,
       {{CBacktrackSession::kSubjectCut, kWorkspace}, {CBacktrackSession::kSubjectCut, kWorkspace}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TestSet tests(row.tests.begin(), row.tests.end());
    const std::vector<backtrack::Subject> got = CBacktrackSession::Subjects(&tests, row.box, kWorkspace);
    ASSERT_EQ(row.want.size(), got.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(row.want[i].first, got[i].text.size()) << i;
      EXPECT_EQ(row.want[i].second, got[i].flags) << i;
    }
  }
  // Only the first kMaxTests tests.
  TestSet many(CBacktrackSession::kMaxTests + 5, Case(u"t", false, 0));
  EXPECT_EQ(CBacktrackSession::kMaxTests, CBacktrackSession::Subjects(&many, u"", 0).size());
}

// Before a proven rewrite is applied: searched over the text box as it is now. The same matches
// (or no box at all) let it through; other matches make it stale.
TEST(BacktrackSession, CheckBeforeApply) {
  Session s;
  s.session.Request(u"(a|a)*c", 0, nullptr, {});
  ASSERT_TRUE(s.SettleDone());
  EXPECT_FALSE(s.session.CheckBeforeApply(u"(a)*c", {}));  // nothing to check: apply at once
  EXPECT_FALSE(s.session.IsChecking());
  struct Row {
    const char16_t* rewritten;
    const char16_t* box;
    CBacktrackSession::ApplyCheck want;
  };
  const Row rows[] = {
      {u"(a)*c", u"aaac aac ac c", CBacktrackSession::APPLY_READY},
      {u"(?>(a|a)*)c", u"aaac x", CBacktrackSession::APPLY_READY},
      {u"(b)*c", u"aaac aac ac c", CBacktrackSession::APPLY_STALE},
      {u"(a)*d", u"aaac", CBacktrackSession::APPLY_STALE},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.rewritten, row.rewritten + std::char_traits<char16_t>::length(row.rewritten)));
    ASSERT_TRUE(s.session.CheckBeforeApply(row.rewritten, Units(row.box)));
    EXPECT_TRUE(s.session.IsChecking());
    ASSERT_TRUE(s.Settle([&] { return !s.session.IsChecking(); }));
    std::u16string about;
    EXPECT_EQ(row.want, s.session.TakeApplyCheck(&about));
    EXPECT_EQ(row.rewritten, about);
    EXPECT_EQ(CBacktrackSession::APPLY_NONE, s.session.TakeApplyCheck(&about));  // handed out once
  }
  // A new request drops a check not yet taken.
  ASSERT_TRUE(s.session.CheckBeforeApply(u"(b)*c", Units(u"aaac")));
  s.session.Request(u"(a|a)*d", 0, nullptr, {});
  EXPECT_FALSE(s.session.IsChecking());
  ASSERT_TRUE(s.SettleDone());
  EXPECT_TRUE(s.Settle([&] { return !s.session.IsBusy(); }));
  s.session.Collect();
  EXPECT_EQ(CBacktrackSession::APPLY_NONE, s.session.TakeApplyCheck(nullptr));
}

// Destroyed in the middle of an analysis, the session stops it and returns.
TEST(BacktrackSession, DestroyedWhileAnalysing) {
  for (int i = 0; i < 5; ++i) {
    auto s = std::make_unique<Session>();
    s->session.Request(u"(?:a|b|ab|ba|aa|bb)*(?:c|d|cd)*(?:a|a)*(?:x+x+)+y$", 0, nullptr, Units(std::u16string(4000, u'a')));
    std::this_thread::sleep_for(std::chrono::milliseconds(i * 7));
    s.reset();
  }
}

// The document owns the session: the worker's results come as a posted command, the views get
// the backtracking hint (with the pattern's colours when a report comes), and the document
// gives the responsible spans to the pattern box.
TEST(BacktrackSession, ThroughTheDocument) {
  HeadlessUi ui;
  CKorvaneDoc doc(&ui);
  ui.doc = &doc;
  RecordingView view;
  doc.AddView(&view);
  CBacktrackSession& session = doc.Backtrack();
  session.Request(u"\\d+\\d+x", 0, doc.Tests().Shared(), doc.GetSubjectText());
  EXPECT_TRUE(doc.GetBacktrackSpans().empty());
  ASSERT_TRUE(ui.PumpUntil([&] { return session.GetPhase() == CBacktrackSession::DONE; }, 120000));
  EXPECT_GE(ui.PostedCount(CMD_BACKTRACK_RESULTS), 2);
  EXPECT_EQ((std::vector<std::pair<int, int>>{{0, 3}, {3, 6}}), doc.GetBacktrackSpans());
  bool withColours = false, hinted = false;
  for (int hint : view.hints) {
    hinted = hinted || (hint & HINT_BACKTRACK);
    withColours = withColours || ((hint & HINT_BACKTRACK) && (hint & HINT_RECOLOR_PATTERN));
  }
  EXPECT_TRUE(hinted);
  EXPECT_TRUE(withColours);
  doc.RemoveView(&view);
}

}  // namespace
