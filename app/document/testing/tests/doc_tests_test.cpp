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
  bool Settle() { return ui.PumpUntil([this] { return !doc->AreTestsPending(); }); }
  std::vector<int> Statuses() {
    std::vector<int> out;
    for (const TestResult& r : doc->GetTestResults()) out.push_back(r.status);
    return out;
  }

  HeadlessUi ui;
  RecordingView view;
  std::unique_ptr<CKorvaneDoc> doc;
};

TEST_F(DocTestsTest, EditsChangeTheSetNotifyAndUndoAndRedo) {
  EXPECT_EQ(0, doc->AddTest(Make("a", "x", EXPECT_MATCH)));
  EXPECT_EQ(1, doc->AddTest(Make("b", "y", EXPECT_MATCH)));
  EXPECT_EQ(0, doc->AddTest(Make("c", "z", EXPECT_MATCH), 0));
  EXPECT_EQ((std::vector<std::string>{"c", "a", "b"}), Names(doc->GetTests()));
  EXPECT_TRUE(doc->IsModified());
  EXPECT_TRUE(view.Union() & HINT_TESTS);

  EXPECT_EQ(2, doc->DuplicateTest(1));
  EXPECT_EQ((std::vector<std::string>{"c", "a", "a", "b"}), Names(doc->GetTests()));
  EXPECT_TRUE(doc->RenameTest(2, U16("a2")));
  EXPECT_TRUE(doc->MoveTest(0, 3));
  EXPECT_EQ((std::vector<std::string>{"a", "a2", "b", "c"}), Names(doc->GetTests()));
  EXPECT_TRUE(doc->MoveTest(3, 1));
  EXPECT_EQ((std::vector<std::string>{"a", "c", "a2", "b"}), Names(doc->GetTests()));
  EXPECT_TRUE(doc->DeleteTest(0));
  EXPECT_EQ((std::vector<std::string>{"c", "a2", "b"}), Names(doc->GetTests()));

  // Out of range is refused and changes nothing.
  EXPECT_FALSE(doc->DeleteTest(3));
  EXPECT_FALSE(doc->MoveTest(0, 3));
  EXPECT_FALSE(doc->RenameTest(-1, U16("x")));
  EXPECT_EQ(-1, doc->DuplicateTest(7));
  EXPECT_FALSE(doc->EditTest(3, Make("x", "", 0)));

  // Undo walks back through every step, redo forward again.
  ASSERT_TRUE(doc->UndoTestEdit());
  EXPECT_EQ((std::vector<std::string>{"a", "c", "a2", "b"}), Names(doc->GetTests()));
  ASSERT_TRUE(doc->UndoTestEdit());
  ASSERT_TRUE(doc->UndoTestEdit());
  EXPECT_EQ((std::vector<std::string>{"c", "a", "a2", "b"}), Names(doc->GetTests()));
  ASSERT_TRUE(doc->RedoTestEdit());
  EXPECT_EQ((std::vector<std::string>{"a", "a2", "b", "c"}), Names(doc->GetTests()));
  while (doc->UndoTestEdit()) {
  }
  EXPECT_TRUE(doc->GetTests().empty());
  EXPECT_FALSE(doc->CanUndoTestEdit());
  EXPECT_TRUE(doc->CanRedoTestEdit());
  // A new edit drops what could be redone.
  doc->AddTest(Make("n", "", EXPECT_MATCH));
  EXPECT_FALSE(doc->CanRedoTestEdit());

  // Editing a test to what it is already is no step: undo takes back the add before it.
  const TestCase same = doc->GetTests()[0];
  EXPECT_TRUE(doc->EditTest(0, same));
  ASSERT_TRUE(doc->UndoTestEdit());
  EXPECT_TRUE(doc->GetTests().empty());
}

TEST_F(DocTestsTest, EveryChangeRunsTheTestsAndOnlyTheNewestResultsShow) {
  SetPattern("a+");
  doc->AddTest(Make("has a", "baaa", EXPECT_MATCH));
  doc->AddTest(Make("no a", "bbb", EXPECT_NO_MATCH));
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_PASS}), Statuses());
  EXPECT_EQ("Tests: 2 passed, 0 failed", doc->GetTestStatusText().toStdString());
  EXPECT_TRUE(view.Union() & HINT_TEST_RESULTS);

  // The pattern.
  SetPattern("b");
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_FAIL}), Statuses());
  EXPECT_EQ("expected no match, found one at 0-1", doc->GetTestResult(1).reason.toStdString());

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
  doc->AddTest(r);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(TEST_FAIL, doc->GetTestResult(2).status);
  const std::vector<unsigned short> x = U16("X");
  doc->SetReplaceTo(x.data(), 1);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(TEST_PASS, doc->GetTestResult(2).status);

  // A test edit.
  TestCase edited = doc->GetTests()[2];
  edited.SetReplaced(U16("abc"));
  doc->EditTest(2, edited);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(TEST_FAIL, doc->GetTestResult(2).status);
  doc->UndoTestEdit();
  ASSERT_TRUE(Settle());
  EXPECT_EQ(TEST_PASS, doc->GetTestResult(2).status);
}

TEST_F(DocTestsTest, ARunAbandonedByANewEditLeavesNoStaleMarks) {
  // Slow tests (each runs into a long time limit), then an edit while they run: the results of
  // the old run must never reach the document, and the new run's are right.
  doc->SetTestTimeLimit(60000);
  SetPattern(kSlowPattern);
  for (int i = 0; i < 3; ++i) doc->AddTest(Make("slow", std::string(200, 'x'), EXPECT_MATCH));
  doc->AddTest(Make("quick", "b", EXPECT_NO_MATCH));
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
  doc->SetTestTimeLimit(100);
  SetPattern(kSlowPattern);
  doc->AddTest(Make("slow", std::string(200, 'x'), EXPECT_NO_MATCH));
  doc->AddTest(Make("quick", "xxy", EXPECT_MATCH));
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_TIMED_OUT, TEST_PASS}), Statuses());
  EXPECT_EQ("Tests: 1 passed, 1 failed", doc->GetTestStatusText().toStdString());
  EXPECT_GT(doc->GetTestResult(0).steps, 0);
}

TEST_F(DocTestsTest, HugeSubjectsAndManyTestsGetMarksWithoutBlowingUp) {
  // A 50 MB subject: a search that finds its first match at once passes; a list of every match
  // (25 million of them) runs into the time limit instead of filling the memory; the workspace
  // keeps the subject whole.
  doc->SetTestTimeLimit(200);
  SetPattern("a");
  TestText huge(25 * 1000 * 1000, 'a');
  TestCase quick;
  quick.name = U16("first match");
  quick.SetSubject(huge);
  quick.expectation = EXPECT_MATCH;
  TestCase all = quick;
  all.name = U16("every match");
  all.expectation = EXPECT_MATCH_LIST;
  doc->AddTests({quick, all});
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_TIMED_OUT}), Statuses()) << doc->GetTestResult(1).reason.toStdString();
  const std::string bytes = doc->WorkspaceBytes();
  EXPECT_LT(bytes.size(), huge.size() * 2 + 4096) << "the shared subject is written once";
  ASSERT_TRUE(doc->LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  ASSERT_EQ(2, doc->GetTestCount());
  EXPECT_EQ(huge.size(), doc->GetTests()[1].Subject().size());

  // Ten thousand tests: every one gets its mark.
  TestSet many;
  for (int i = 0; i < 10000; ++i) many.push_back(Make("t" + std::to_string(i), i % 2 ? "a" : "b", i % 2 ? EXPECT_MATCH : EXPECT_NO_MATCH));
  doc->SetTests(many);
  ASSERT_TRUE(Settle());
  EXPECT_EQ("Tests: 10000 passed, 0 failed", doc->GetTestStatusText().toStdString());
}

TEST_F(DocTestsTest, AcceptFillsTheExpectationAndIsUndoable) {
  SetPattern("\\d+");
  TestCase t = Make("digits", "a1 b22", EXPECT_MATCH_LIST);
  doc->AddTest(t);
  ASSERT_TRUE(Settle());
  EXPECT_EQ(TEST_FAIL, doc->GetTestResult(0).status);
  EXPECT_EQ("expected 0 matches, got 2: the first match 1-2 was not expected", doc->GetTestResult(0).reason.toStdString());
  EXPECT_EQ(TEST_PASS, doc->AcceptTestResult(0).status);
  ASSERT_EQ(2u, doc->GetTests()[0].matches.size());
  ASSERT_TRUE(Settle());
  EXPECT_EQ(TEST_PASS, doc->GetTestResult(0).status);
  // The pattern changes: the test fails with the reason; undoing the acceptance empties it.
  SetPattern("\\d");
  ASSERT_TRUE(Settle());
  EXPECT_EQ("expected 2 matches, got 3: the second match is 4-5, expected 4-6",
            doc->GetTestResult(0).reason.toStdString());
  doc->UndoTestEdit();
  EXPECT_TRUE(doc->GetTests()[0].matches.empty());
  EXPECT_EQ(TEST_ERROR, doc->AcceptTestResult(5).status);
}

TEST_F(DocTestsTest, LoadingATestPutsItsSubjectAndOwnOptionsIntoTheDocument) {
  TestCase t = Make("own", "Line one\nLINE two", EXPECT_MATCH);
  t.ownOptions = true;
  t.flags = IGNORECASE | MULTILINE;
  doc->AddTest(t);
  doc->AddTest(Make("plain", "other", EXPECT_MATCH));
  view.hints.clear();
  ASSERT_TRUE(doc->LoadTestIntoText(0));
  EXPECT_EQ(U16("Line one\nLINE two"), doc->GetSubjectText());
  EXPECT_EQ(IGNORECASE | MULTILINE, doc->GetFlags());
  EXPECT_TRUE(view.Union() & HINT_SUBJECT_REPLACED);
  // A test with the workspace's options leaves them as they are.
  ASSERT_TRUE(doc->LoadTestIntoText(1));
  EXPECT_EQ(U16("other"), doc->GetSubjectText());
  EXPECT_EQ(IGNORECASE | MULTILINE, doc->GetFlags());
  EXPECT_FALSE(doc->LoadTestIntoText(2));
}

TEST_F(DocTestsTest, EachSnapshotKeepsItsTestsAndSwitchingBringsThemBack) {
  SetPattern("a");
  doc->AddTest(Make("one", "a", EXPECT_MATCH));
  const int first = doc->AddSnapshot(U16("first"));
  doc->AddTest(Make("two", "b", EXPECT_NO_MATCH));
  SetPattern("b");
  const int second = doc->AddSnapshot(U16("second"));
  doc->DeleteTest(0);
  EXPECT_EQ((std::vector<std::string>{"two"}), Names(doc->GetTests()));

  doc->SwitchToSnapshot(first);
  EXPECT_EQ((std::vector<std::string>{"one"}), Names(doc->GetTests()));
  EXPECT_EQ(U16("a"), doc->GetPattern());
  EXPECT_FALSE(doc->CanUndoTestEdit()) << "the edit history belonged to the set that was left";
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_PASS}), Statuses());
  doc->SwitchToSnapshot(second);
  EXPECT_EQ((std::vector<std::string>{"one", "two"}), Names(doc->GetTests()));
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
  doc->AddTest(list);
  doc->AcceptTestResult(0);
  TestCase split = Make("split", "x,y", EXPECT_SPLIT);
  split.pieces = {U16("x"), U16("y")};
  doc->AddTest(split);
  TestCase replaced = Make("replaced", std::string(3000, 'q'), EXPECT_REPLACED);
  replaced.SetReplaced(U16("r"));
  doc->AddTest(replaced);
  const int snap = doc->AddSnapshot(U16("s"));
  doc->DeleteTest(1);
  const TestSet current = doc->GetTests();
  const TestSet kept = *doc->LookupSnapshot(snap)->tests;

  const std::string bytes = doc->WorkspaceBytes();
  // The 3000-unit subject is shared by the workspace's set and the snapshot's: written once.
  EXPECT_LT(bytes.size(), 2 * 3000u + 600u);
  ASSERT_TRUE(doc->LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  EXPECT_TRUE(doc->GetTests() == current);
  ASSERT_TRUE(doc->LookupSnapshot(snap)->tests);
  EXPECT_TRUE(*doc->LookupSnapshot(snap)->tests == kept);
  EXPECT_EQ(bytes, doc->WorkspaceBytes()) << "what was read writes the same bytes";
  EXPECT_FALSE(doc->CanUndoTestEdit());
}

TEST_F(DocTestsTest, AWorkspaceCutAnywhereInItsTestsLoadsNothingOfItAndKeepsTheOpenOne) {
  SetPattern("p");
  doc->AddTest(Make("one", "subject one", EXPECT_MATCH));
  TestCase two = Make("two", "subject two", EXPECT_SPLIT);
  two.pieces = {U16("a"), U16("b")};
  doc->AddTest(two);
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
  doc->AddTest(Make("before the load", "x", EXPECT_MATCH));
  const TestSet before = doc->GetTests();
  for (size_t n = testPart; n < testsEnd; ++n) {
    EXPECT_FALSE(doc->LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), n)) << n;
    EXPECT_TRUE(doc->GetTests() == before) << n;
    EXPECT_EQ(U16("open"), doc->GetPattern()) << n;
    EXPECT_EQ(0, doc->GetSnapshots().Count()) << n;
  }
  ASSERT_TRUE(doc->LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  EXPECT_EQ(2, doc->GetTestCount());
}

TEST_F(DocTestsTest, AnOlderWorkspaceWithoutTestsOpensWithNone) {
  doc->AddTest(Make("left over", "a", EXPECT_MATCH));
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
  EXPECT_TRUE(doc->GetTests().empty());
  ASSERT_NE(nullptr, doc->LookupSnapshot(1));
  EXPECT_FALSE(doc->LookupSnapshot(1)->tests);
  EXPECT_EQ(U16("a"), doc->GetPattern());
}

TEST_F(DocTestsTest, AllSnapshotsTableShowsWhichVersionBrokeWhichTest) {
  SetPattern("\\d+");
  doc->AddTest(Make("digits", "a12", EXPECT_MATCH));
  doc->AddTest(Make("letters", "abc", EXPECT_NO_MATCH));
  const int s1 = doc->AddSnapshot(U16("v1"));
  SetPattern("[a-z]");
  const int s2 = doc->AddSnapshot(U16("v2"));
  SetPattern("\\d");
  const CKorvaneDoc::SnapshotTestTable table = doc->RunTestsOnAllSnapshots();
  ASSERT_EQ((std::vector<int>{s1, s2}), table.snapshotIds);
  ASSERT_EQ(2u, table.cells.size());
  EXPECT_EQ(TEST_PASS, table.cells[0][0].status);
  EXPECT_EQ(TEST_PASS, table.cells[0][1].status);
  EXPECT_EQ(TEST_PASS, table.cells[1][0].status);
  EXPECT_EQ(TEST_FAIL, table.cells[1][1].status);
  // Stopping after the first row keeps that row.
  const CKorvaneDoc::SnapshotTestTable first = doc->RunTestsOnAllSnapshots([](int done, int total) {
    EXPECT_EQ(2, total);
    return done < 1;
  });
  EXPECT_EQ((std::vector<int>{s1}), first.snapshotIds);
  EXPECT_EQ(1u, first.cells.size());
}

TEST_F(DocTestsTest, APreparedSnapshotRunReadsItsOwnCopyAndCancelsMidTest) {
  SetPattern("\\d+");
  doc->AddTest(Make("digits", "a12", EXPECT_MATCH));
  const int s1 = doc->AddSnapshot(U16("v1"));
  const CKorvaneDoc::SnapshotTestJob job = doc->PrepareSnapshotTests();
  // The document goes on changing while a worker runs the job.
  SetPattern("[a-z]");
  doc->AddTest(Make("letters", "abc", EXPECT_NO_MATCH));
  CKorvaneDoc::SnapshotTestTable table;
  std::thread worker([&] { table = CKorvaneDoc::RunSnapshotTests(job, nullptr); });
  worker.join();
  ASSERT_EQ((std::vector<int>{s1}), table.snapshotIds);
  ASSERT_EQ(1u, table.cells.size());
  ASSERT_EQ(1u, table.cells[0].size()) << "the tests of the job, not the ones added since";
  EXPECT_EQ(TEST_PASS, table.cells[0][0].status);

  // A test that would run for minutes is abandoned when cancelled, and its row is left out
  // (the quick row before it may or may not be done by then).
  doc->SetTestTimeLimit(300000);
  SetPattern("(x|x)*\\1y");  // exponential even with the engine's shortcuts
  doc->AddTest(Make("slow", std::string(60, 'x') + "-y", EXPECT_NO_MATCH));
  doc->AddSnapshot(U16("v2"));
  const CKorvaneDoc::SnapshotTestJob slow = doc->PrepareSnapshotTests();
  std::atomic<unsigned> cancel{0};
  std::thread runner([&] { table = CKorvaneDoc::RunSnapshotTests(slow, nullptr, &cancel, 0); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  cancel = 1;
  runner.join();
  EXPECT_LE(table.cells.size(), 1u);
  EXPECT_EQ(table.cells.size(), table.snapshotIds.size());
  if (!table.snapshotIds.empty()) EXPECT_EQ(s1, table.snapshotIds[0]);
}

// No test goes without a name: a blank name is refused by Rename, and tests that come without
// one (a workspace written elsewhere, clips whose first line is empty) are named after their
// place, as new tests are.
TEST_F(DocTestsTest, TestsAlwaysHaveANameWhereverTheyComeFrom) {
  doc->AddTest(Make("a", "x", EXPECT_MATCH));
  EXPECT_FALSE(doc->RenameTest(0, U16("")));
  EXPECT_FALSE(doc->RenameTest(0, U16("  \t")));
  EXPECT_EQ((std::vector<std::string>{"a"}), Names(doc->GetTests()));
  EXPECT_EQ(1, doc->AddTests({Make("", "y", EXPECT_MATCH)}));
  EXPECT_EQ((std::vector<std::string>{"a", "Test 2"}), Names(doc->GetTests()));

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
  EXPECT_EQ((std::vector<std::string>{"Test 1", "b", "Test 3"}), Names(doc->GetTests()));
  ASSERT_TRUE(doc->LookupSnapshot(1) && doc->LookupSnapshot(1)->tests);
  EXPECT_EQ((std::vector<std::string>{"Test 1"}), Names(*doc->LookupSnapshot(1)->tests));
  EXPECT_FALSE(doc->IsModified());
}

// An expectation this program does not know (a newer file's) is kept, and is an error when the
// test runs: nothing was compared.
TEST_F(DocTestsTest, AnUnknownExpectationIsAnError) {
  SetPattern("a");
  doc->AddTest(Make("future", "a", 42));
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_ERROR}), Statuses());
  EXPECT_EQ("unknown kind of expectation", doc->GetTestResult(0).reason.toStdString());
  EXPECT_EQ(42, doc->GetTests()[0].expectation);
}

// The time limit is the workspace's: changing it runs the tests again with it.
TEST_F(DocTestsTest, ChangingTheTimeLimitRunsTheTestsAgain) {
  // Two ways to take each of twenty a's: millions of steps, far beyond 1 ms, a fraction of a
  // second without a limit. (Two possible ends, so that the direct search finds no required
  // literal to rule the subject out at once.)
  SetPattern("(?:a|a)*?(?:c|d)");
  doc->SetTestTimeLimit(1);
  doc->AddTest(Make("slow", std::string(20, 'a'), EXPECT_NO_MATCH));
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_TIMED_OUT}), Statuses());
  EXPECT_NE(std::string::npos, doc->GetTestResult(0).reason.toStdString().find("after 1 ms"));
  doc->SetTestTimeLimit(kMaxTestTimeLimitMs);
  EXPECT_TRUE(doc->AreTestsPending());
  ASSERT_TRUE(Settle());
  EXPECT_EQ((std::vector<int>{TEST_PASS}), Statuses());
}

}  // namespace
