// The document's test cases: editing the set (add, duplicate, rename, delete, move, edit, accept)
// with undo and redo, loading a test into the text box, live runs after every kind of change
// with their hints, a run abandoned by a newer edit, per-snapshot test sets, workspace round
// trips with tests, and the run on all snapshots.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/document/core/tests/headless_ui.h"
#include "app/document/files/workspace_file.h"
#include "stringtable.h"
#include "app/document/core/test_session.h"

namespace {

// Exponential on a run of "x" without "y" or "z" for the direct search the tests run with: a
// lazy repeat passes over no explored state, and the alternation at the end leaves no required
// character to rule the text out at once.
const char kSlowPattern[] = "(?:x|x)*?(?:y|z)";

TestCase Make(const std::string& name, const std::string& subject, int expectation) {
  TestCase t;
  t.name = U16(name);
  t.SetSubject(U16(subject));
  t.expectation = expectation;
  return t;
}

std::vector<std::string> Names(const TestSet& set) {
  std::vector<std::string> out;
  for (const TestCase& t : set) out.emplace_back(t.name.begin(), t.name.end());
  return out;
}

class DocTestsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
  void SetUp() override {
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    doc->AddView(&view);
    if (doc->QueryCommand(CMD_LOCATE_FAIL_POINT).checked) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  }
  void TearDown() override {
    doc->RemoveView(&view);
    doc.reset();
  }
  void SetPattern(const std::string& p) {
    const std::vector<unsigned short> u = U16(p);
    doc->SetPattern(u.data(), static_cast<int>(u.size()), true);
  }
  // Pumps posted commands until the results of the current tests are all in.
  bool Settle() { return ui.PumpUntil([this] { return !doc->Tests().ArePending(); }); }
  std::vector<int> Statuses() {
    std::vector<int> out;
    for (const TestResult& r : doc->Tests().Results()) out.push_back(r.status);
    return out;
  }

  HeadlessUi ui;
  RecordingView view;
  std::unique_ptr<CKorvaneDoc> doc;
};

TEST_F(DocTestsTest, EditsChangeTheSetNotifyAndUndoAndRedo) {
  EXPECT_EQ(0, doc->Tests().Add(Make("a", "x", EXPECT_MATCH)));
  EXPECT_EQ(1, doc->Tests().Add(Make("b", "y", EXPECT_MATCH)));
  EXPECT_EQ(0, doc->Tests().Add(Make("c", "z", EXPECT_MATCH), 0));
  EXPECT_EQ((std::vector<std::string>{"c", "a", "b"}), Names(doc->Tests().All()));
  EXPECT_TRUE(doc->IsModified());
  EXPECT_TRUE(view.Union() & HINT_TESTS);

  EXPECT_EQ(2, doc->Tests().Duplicate(1));
  EXPECT_EQ((std::vector<std::string>{"c", "a", "a", "b"}), Names(doc->Tests().All()));
  EXPECT_TRUE(doc->Tests().Rename(2, U16("a2")));
  EXPECT_TRUE(doc->Tests().Move(0, 3));
  EXPECT_EQ((std::vector<std::string>{"a", "a2", "b", "c"}), Names(doc->Tests().All()));
  EXPECT_TRUE(doc->Tests().Move(3, 1));
  EXPECT_EQ((std::vector<std::string>{"a", "c", "a2", "b"}), Names(doc->Tests().All()));
  EXPECT_TRUE(doc->Tests().Delete(0));
  EXPECT_EQ((std::vector<std::string>{"c", "a2", "b"}), Names(doc->Tests().All()));

  // Out of range is refused and changes nothing.
  EXPECT_FALSE(doc->Tests().Delete(3));
  EXPECT_FALSE(doc->Tests().Move(0, 3));
  EXPECT_FALSE(doc->Tests().Rename(-1, U16("x")));
  EXPECT_EQ(-1, doc->Tests().Duplicate(7));
  EXPECT_FALSE(doc->Tests().Edit(3, Make("x", "", 0)));

  // Undo walks back through every step, redo forward again.
  ASSERT_TRUE(doc->Tests().Undo());
  EXPECT_EQ((std::vector<std::string>{"a", "c", "a2", "b"}), Names(doc->Tests().All()));
  ASSERT_TRUE(doc->Tests().Undo());
  ASSERT_TRUE(doc->Tests().Undo());
  EXPECT_EQ((std::vector<std::string>{"c", "a", "a2", "b"}), Names(doc->Tests().All()));
  ASSERT_TRUE(doc->Tests().Redo());
  EXPECT_EQ((std::vector<std::string>{"a", "a2", "b", "c"}), Names(doc->Tests().All()));
  while (doc->Tests().Undo()) {
  }
  EXPECT_TRUE(doc->Tests().All().empty());
  EXPECT_FALSE(doc->Tests().CanUndo());
  EXPECT_TRUE(doc->Tests().CanRedo());
  // A new edit drops what could be redone.
  doc->Tests().Add(Make("n", "", EXPECT_MATCH));
  EXPECT_FALSE(doc->Tests().CanRedo());

  // Editing a test to what it is already is no step: undo takes back the add before it.
  const TestCase same = doc->Tests().All()[0];
  EXPECT_TRUE(doc->Tests().Edit(0, same));
  ASSERT_TRUE(doc->Tests().Undo());
  EXPECT_TRUE(doc->Tests().All().empty());
}

TEST_F(DocTestsTest, EveryChangeRunsTheTestsAndOnlyTheNewestResultsShow) {
  SetPattern("a+");
  doc->Tests().Add(Make("has a", "baaa", EXPECT_MATCH));
  doc->Tests().Add(Make("no a", "bbb", EXPECT_NO_MATCH));
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_PASS}), Statuses());
  EXPECT_EQ("Tests: 2 passed, 0 failed", doc->Tests().StatusText().toStdString());
  EXPECT_TRUE(view.Union() & HINT_TEST_RESULTS);

  // The pattern.
  SetPattern("b");
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_FAIL}), Statuses());
  EXPECT_EQ("expected no match, found one at 0-1", doc->Tests().Result(1).reason.toStdString());

  // The options.
  SetPattern("B");
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_FAIL, TEST_PASS}), Statuses());
  doc->OnCommand(CMD_IGNORECASE);
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_FAIL}), Statuses());

  // The replace-to text.
  TestCase r = Make("replaced", "abc", EXPECT_REPLACED);
  r.SetReplaced(U16("aXc"));
  doc->Tests().Add(r);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(TEST_FAIL, doc->Tests().Result(2).status);
  const std::vector<unsigned short> x = U16("X");
  doc->SetReplaceTo(x.data(), 1);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(TEST_PASS, doc->Tests().Result(2).status);

  // A test edit.
  TestCase edited = doc->Tests().All()[2];
  edited.SetReplaced(U16("abc"));
  doc->Tests().Edit(2, edited);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(TEST_FAIL, doc->Tests().Result(2).status);
  doc->Tests().Undo();
  ASSERT_TRUE(Settle());
  EXPECT_EQ(TEST_PASS, doc->Tests().Result(2).status);
}

TEST_F(DocTestsTest, ARunAbandonedByANewEditLeavesNoStaleMarks) {
  // Slow tests (each runs into a long time limit), then an edit while they run: the results of
  // the old run must never reach the document, and the new run's are right.
  doc->Tests().SetTimeLimit(60000);
  SetPattern(kSlowPattern);
  for (int i = 0; i < 3; ++i) doc->Tests().Add(Make("slow", std::string(200, 'x'), EXPECT_MATCH));
  doc->Tests().Add(Make("quick", "b", EXPECT_NO_MATCH));
  // Let the run start, take whatever it posts, then edit.
  ui.PumpUntil([] { return false; }, 100);
  EXPECT_EQ((std::vector<int>{TEST_NOT_RUN, TEST_NOT_RUN, TEST_NOT_RUN, TEST_NOT_RUN}), Statuses());
  SetPattern("x");
  // Right after the edit every mark is cleared, before any result of the new run is in.
  EXPECT_EQ((std::vector<int>{TEST_NOT_RUN, TEST_NOT_RUN, TEST_NOT_RUN, TEST_NOT_RUN}), Statuses());
  ASSERT_TRUE(Settle()) << "the abandoned run stops inside the engine and the new one finishes";
  EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_PASS, TEST_PASS, TEST_PASS}), Statuses());
}

TEST_F(DocTestsTest, ATestThatTimesOutIsMarkedAndOthersStillRun) {
  doc->Tests().SetTimeLimit(100);
  SetPattern(kSlowPattern);
  doc->Tests().Add(Make("slow", std::string(200, 'x'), EXPECT_NO_MATCH));
  doc->Tests().Add(Make("quick", "xxy", EXPECT_MATCH));
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_TIMED_OUT, TEST_PASS}), Statuses());
  EXPECT_EQ("Tests: 1 passed, 1 failed", doc->Tests().StatusText().toStdString());
  EXPECT_GT(doc->Tests().Result(0).steps, 0);
}

TEST_F(DocTestsTest, HugeSubjectsAndManyTestsGetMarksWithoutBlowingUp) {
  // A 50 MB subject: a search that finds its first match at once passes; a list of every match
  // (25 million of them) runs into the time limit instead of filling the memory; the workspace
  // keeps the subject whole.
  doc->Tests().SetTimeLimit(200);
  SetPattern("a");
  TestText huge(25 * 1000 * 1000, 'a');
  TestCase quick;
  quick.name = U16("first match");
  quick.SetSubject(huge);
  quick.expectation = EXPECT_MATCH;
  TestCase all = quick;
  all.name = U16("every match");
  all.expectation = EXPECT_MATCH_LIST;
  doc->Tests().AddAll({quick, all});
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_TIMED_OUT}), Statuses()) << doc->Tests().Result(1).reason.toStdString();
  const std::string bytes = doc->WorkspaceBytes();
  EXPECT_LT(bytes.size(), huge.size() * 2 + 4096) << "the shared subject is written once";
  ASSERT_TRUE(doc->LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  ASSERT_EQ(2, doc->Tests().Count());
  EXPECT_EQ(huge.size(), doc->Tests().All()[1].Subject().size());

  // Ten thousand tests: every one gets its mark.
  TestSet many;
  for (int i = 0; i < 10000; ++i) many.push_back(Make("t" + std::to_string(i), i % 2 ? "a" : "b", i % 2 ? EXPECT_MATCH : EXPECT_NO_MATCH));
  doc->Tests().Set(many);
  ASSERT_TRUE(Settle());
  EXPECT_EQ("Tests: 10000 passed, 0 failed", doc->Tests().StatusText().toStdString());
}

TEST_F(DocTestsTest, AcceptFillsTheExpectationAndIsUndoable) {
  SetPattern("\\d+");
  TestCase t = Make("digits", "a1 b22", EXPECT_MATCH_LIST);
  doc->Tests().Add(t);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(TEST_FAIL, doc->Tests().Result(0).status);
  EXPECT_EQ("expected 0 matches, got 2: the first match 1-2 was not expected", doc->Tests().Result(0).reason.toStdString());
  EXPECT_EQ(TEST_PASS, doc->Tests().Accept(0).status);
  ASSERT_EQ(2u, doc->Tests().All()[0].matches.size());
  ASSERT_TRUE(Settle());
  EXPECT_EQ(TEST_PASS, doc->Tests().Result(0).status);
  // The pattern changes: the test fails with the reason; undoing the acceptance empties it.
  SetPattern("\\d");
  ASSERT_TRUE(Settle());
  EXPECT_EQ("expected 2 matches, got 3: the second match is 4-5, expected 4-6",
            doc->Tests().Result(0).reason.toStdString());
  doc->Tests().Undo();
  EXPECT_TRUE(doc->Tests().All()[0].matches.empty());
  EXPECT_EQ(TEST_ERROR, doc->Tests().Accept(5).status);
}

TEST_F(DocTestsTest, LoadingATestPutsItsSubjectAndOwnOptionsIntoTheDocument) {
  TestCase t = Make("own", "Line one\nLINE two", EXPECT_MATCH);
  t.ownOptions = true;
  t.flags = IGNORECASE | MULTILINE;
  doc->Tests().Add(t);
  doc->Tests().Add(Make("plain", "other", EXPECT_MATCH));
  view.hints.clear();
  ASSERT_TRUE(doc->Tests().LoadIntoText(0));
  EXPECT_EQ(U16("Line one\nLINE two"), doc->GetSubjectText());
  EXPECT_EQ(IGNORECASE | MULTILINE, doc->GetFlags());
  EXPECT_TRUE(view.Union() & HINT_SUBJECT_REPLACED);
  // A test with the workspace's options leaves them as they are.
  ASSERT_TRUE(doc->Tests().LoadIntoText(1));
  EXPECT_EQ(U16("other"), doc->GetSubjectText());
  EXPECT_EQ(IGNORECASE | MULTILINE, doc->GetFlags());
  EXPECT_FALSE(doc->Tests().LoadIntoText(2));
}

TEST_F(DocTestsTest, EachSnapshotKeepsItsTestsAndSwitchingBringsThemBack) {
  SetPattern("a");
  doc->Tests().Add(Make("one", "a", EXPECT_MATCH));
  const int first = doc->AddSnapshot(U16("first"));
  doc->Tests().Add(Make("two", "b", EXPECT_NO_MATCH));
  SetPattern("b");
  const int second = doc->AddSnapshot(U16("second"));
  doc->Tests().Delete(0);
  EXPECT_EQ((std::vector<std::string>{"two"}), Names(doc->Tests().All()));

  doc->SwitchToSnapshot(first);
  EXPECT_EQ((std::vector<std::string>{"one"}), Names(doc->Tests().All()));
  EXPECT_EQ(U16("a"), doc->GetPattern());
  EXPECT_FALSE(doc->Tests().CanUndo()) << "the edit history belonged to the set that was left";
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_PASS}), Statuses());
  doc->SwitchToSnapshot(second);
  EXPECT_EQ((std::vector<std::string>{"one", "two"}), Names(doc->Tests().All()));
  ASSERT_TRUE(Settle());
  // Pattern "b": "one" (expects a match in "a") fails, "two" (no match in "b") fails.
  EXPECT_EQ((std::vector<int>{TEST_FAIL, TEST_FAIL}), Statuses());
}

TEST_F(DocTestsTest, AWorkspaceRoundTripKeepsTheTestsOfTheWorkspaceAndEverySnapshot) {
  SetPattern("(\\w)(\\d)");
  TestCase list = Make("list", "a1\r\nb2", EXPECT_MATCH_LIST);
  list.withGroups = true;
  list.ownOptions = true;
  list.flags = MULTILINE;
  doc->Tests().Add(list);
  doc->Tests().Accept(0);
  TestCase split = Make("split", "x,y", EXPECT_SPLIT);
  split.pieces = {U16("x"), U16("y")};
  doc->Tests().Add(split);
  TestCase replaced = Make("replaced", std::string(3000, 'q'), EXPECT_REPLACED);
  replaced.SetReplaced(U16("r"));
  doc->Tests().Add(replaced);
  const int snap = doc->AddSnapshot(U16("s"));
  doc->Tests().Delete(1);
  const TestSet current = doc->Tests().All();
  const TestSet kept = *doc->LookupSnapshot(snap)->tests;

  const std::string bytes = doc->WorkspaceBytes();
  // The 3000-unit subject is shared by the workspace's set and the snapshot's: written once.
  EXPECT_LT(bytes.size(), 2 * 3000u + 600u);
  ASSERT_TRUE(doc->LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  EXPECT_TRUE(doc->Tests().All() == current);
  ASSERT_TRUE(doc->LookupSnapshot(snap)->tests);
  EXPECT_TRUE(*doc->LookupSnapshot(snap)->tests == kept);
  EXPECT_EQ(bytes, doc->WorkspaceBytes()) << "what was read writes the same bytes";
  EXPECT_FALSE(doc->Tests().CanUndo());
}

TEST_F(DocTestsTest, AWorkspaceCutAnywhereInItsTestsLoadsNothingOfItAndKeepsTheOpenOne) {
  SetPattern("p");
  doc->Tests().Add(Make("one", "subject one", EXPECT_MATCH));
  TestCase two = Make("two", "subject two", EXPECT_SPLIT);
  two.pieces = {U16("a"), U16("b")};
  doc->Tests().Add(two);
  doc->AddSnapshot(U16("s"));
  const std::string bytes = doc->WorkspaceBytes();
  // The test part begins with the count of shared texts, right before the first text (its
  // length, then "subject one" in UTF-16); cut it at every byte from there.
  std::string first;
  for (char c : std::string("subject one")) first += std::string{c, '\0'};
  const size_t at = bytes.find(first);
  ASSERT_NE(std::string::npos, at);
  const size_t testPart = at - 8;
  // The tests end 4 bytes before the file: the document options word after them is optional.
  const size_t testsEnd = bytes.size() - 4;
  doc->OnNewDocument();
  SetPattern("open");
  doc->Tests().Add(Make("before the load", "x", EXPECT_MATCH));
  const TestSet before = doc->Tests().All();
  for (size_t n = testPart; n < testsEnd; ++n) {
    EXPECT_FALSE(doc->LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), n)) << n;
    EXPECT_TRUE(doc->Tests().All() == before) << n;
    EXPECT_EQ(U16("open"), doc->GetPattern()) << n;
    EXPECT_EQ(0, doc->GetSnapshots().Count()) << n;
  }
  ASSERT_TRUE(doc->LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  EXPECT_EQ(2, doc->Tests().Count());
}

TEST_F(DocTestsTest, AnOlderWorkspaceWithoutTestsOpensWithNone) {
  doc->Tests().Add(Make("left over", "a", EXPECT_MATCH));
  // Version 2, pattern "a", one snapshot: no test section.
  std::string v2;
  auto i32 = [&v2](std::uint32_t v) {
    for (int k = 0; k < 4; ++k) v2 += static_cast<char>((v >> (8 * k)) & 0xFF);
  };
  i32(2); i32(1); i32(0x3E4CCCCD); i32(0x3F000000); i32(0);
  i32(1); v2 += "a"; v2 += '\0';  // pattern
  i32(0); i32(0);                  // subject, replace-to
  i32(1); i32(1);                  // current 1, one record
  i32(1); i32(0); i32(0); i32(0); i32(1); v2 += "a"; v2 += '\0'; i32(0);
  ASSERT_TRUE(doc->LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(v2.data()), v2.size()));
  EXPECT_TRUE(doc->Tests().All().empty());
  ASSERT_NE(nullptr, doc->LookupSnapshot(1));
  EXPECT_FALSE(doc->LookupSnapshot(1)->tests);
  EXPECT_EQ(U16("a"), doc->GetPattern());
}

TEST_F(DocTestsTest, AllSnapshotsTableShowsWhichVersionBrokeWhichTest) {
  SetPattern("\\d+");
  doc->Tests().Add(Make("digits", "a12", EXPECT_MATCH));
  doc->Tests().Add(Make("letters", "abc", EXPECT_NO_MATCH));
  const int s1 = doc->AddSnapshot(U16("v1"));
  SetPattern("[a-z]");
  const int s2 = doc->AddSnapshot(U16("v2"));
  SetPattern("\\d");
  const CTestSession::SnapshotTestTable table = doc->Tests().RunOnAllSnapshots();
  ASSERT_EQ((std::vector<int>{s1, s2}), table.snapshotIds);
  ASSERT_EQ(2u, table.cells.size());
  EXPECT_EQ(TEST_PASS, table.cells[0][0].status);
  EXPECT_EQ(TEST_PASS, table.cells[0][1].status);
  EXPECT_EQ(TEST_PASS, table.cells[1][0].status);
  EXPECT_EQ(TEST_FAIL, table.cells[1][1].status);
  // Stopping after the first row keeps that row.
  const CTestSession::SnapshotTestTable first = doc->Tests().RunOnAllSnapshots([](int done, int total) {
    EXPECT_EQ(2, total);
    return done < 1;
  });
  EXPECT_EQ((std::vector<int>{s1}), first.snapshotIds);
  EXPECT_EQ(1u, first.cells.size());
}

TEST_F(DocTestsTest, APreparedSnapshotRunReadsItsOwnCopyAndCancelsMidTest) {
  SetPattern("\\d+");
  doc->Tests().Add(Make("digits", "a12", EXPECT_MATCH));
  const int s1 = doc->AddSnapshot(U16("v1"));
  const CTestSession::SnapshotTestJob job = doc->Tests().PrepareSnapshotRun();
  // The document goes on changing while a worker runs the job.
  SetPattern("[a-z]");
  doc->Tests().Add(Make("letters", "abc", EXPECT_NO_MATCH));
  CTestSession::SnapshotTestTable table;
  std::thread worker([&] { table = CTestSession::RunOnSnapshots(job, nullptr); });
  worker.join();
  ASSERT_EQ((std::vector<int>{s1}), table.snapshotIds);
  ASSERT_EQ(1u, table.cells.size());
  ASSERT_EQ(1u, table.cells[0].size()) << "the tests of the job, not the ones added since";
  EXPECT_EQ(TEST_PASS, table.cells[0][0].status);

  // A test that would run for minutes is abandoned when cancelled, and its row is left out
  // (the quick row before it may or may not be done by then).
  doc->Tests().SetTimeLimit(300000);
  SetPattern("(x|x)*\\1y");  // exponential even with the engine's shortcuts
  doc->Tests().Add(Make("slow", std::string(60, 'x') + "-y", EXPECT_NO_MATCH));
  doc->AddSnapshot(U16("v2"));
  const CTestSession::SnapshotTestJob slow = doc->Tests().PrepareSnapshotRun();
  std::atomic<unsigned> cancel{0};
  std::thread runner([&] { table = CTestSession::RunOnSnapshots(slow, nullptr, &cancel, 0); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  cancel = 1;
  runner.join();
  EXPECT_LE(table.cells.size(), 1u);
  EXPECT_EQ(table.cells.size(), table.snapshotIds.size());
  if (!table.snapshotIds.empty()) {
    EXPECT_EQ(s1, table.snapshotIds[0]);
  }
}

// No test goes without a name: a blank name is refused by Rename, and tests that come without
// one (a workspace written elsewhere, clips whose first line is empty) are named after their
// place, as new tests are.
TEST_F(DocTestsTest, TestsAlwaysHaveANameWhereverTheyComeFrom) {
  doc->Tests().Add(Make("a", "x", EXPECT_MATCH));
  EXPECT_FALSE(doc->Tests().Rename(0, U16("")));
  EXPECT_FALSE(doc->Tests().Rename(0, U16("  \t")));
  EXPECT_EQ((std::vector<std::string>{"a"}), Names(doc->Tests().All()));
  EXPECT_EQ(1, doc->Tests().AddAll({Make("", "y", EXPECT_MATCH)}));
  EXPECT_EQ((std::vector<std::string>{"a", "Test 2"}), Names(doc->Tests().All()));

  // A workspace whose tests (its own and a snapshot's) have blank names.
  WorkspaceData data;
  data.pattern = U16("x");
  data.tests = std::make_shared<const TestSet>(TestSet{Make("", "x", EXPECT_MATCH), Make("b", "x", EXPECT_MATCH),
                                                       Make(" ", "x", EXPECT_MATCH)});
  CSnapshotTree tree;
  tree.Add(U16("x"), 0, U16("s"), 0);
  tree.Lookup(1)->tests = std::make_shared<const TestSet>(TestSet{Make("", "x", EXPECT_MATCH)});
  const std::string bytes = CWorkspaceFile::Write(data, tree);
  ASSERT_TRUE(doc->LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  EXPECT_EQ((std::vector<std::string>{"Test 1", "b", "Test 3"}), Names(doc->Tests().All()));
  ASSERT_TRUE(doc->LookupSnapshot(1) && doc->LookupSnapshot(1)->tests);
  EXPECT_EQ((std::vector<std::string>{"Test 1"}), Names(*doc->LookupSnapshot(1)->tests));
  EXPECT_FALSE(doc->IsModified());
}

// An expectation this program does not know (a newer file's) is kept, and is an error when the
// test runs: nothing was compared.
TEST_F(DocTestsTest, AnUnknownExpectationIsAnError) {
  SetPattern("a");
  doc->Tests().Add(Make("future", "a", 42));
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_ERROR}), Statuses());
  EXPECT_EQ("unknown kind of expectation", doc->Tests().Result(0).reason.toStdString());
  EXPECT_EQ(42, doc->Tests().All()[0].expectation);
}

// The time limit is the workspace's: changing it runs the tests again with it.
TEST_F(DocTestsTest, ChangingTheTimeLimitRunsTheTestsAgain) {
  // Two ways to take each of twenty a's: millions of steps, far beyond 1 ms, a fraction of a
  // second without a limit. (Two possible ends, so that the direct search finds no required
  // literal to rule the subject out at once.)
  SetPattern("(?:a|a)*?(?:c|d)");
  doc->Tests().SetTimeLimit(1);
  doc->Tests().Add(Make("slow", std::string(20, 'a'), EXPECT_NO_MATCH));
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_TIMED_OUT}), Statuses());
  EXPECT_NE(std::string::npos, doc->Tests().Result(0).reason.toStdString().find("after 1 ms"));
  doc->Tests().SetTimeLimit(kMaxTestTimeLimitMs);
  EXPECT_TRUE(doc->Tests().ArePending());
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_PASS}), Statuses());
}

}  // namespace
