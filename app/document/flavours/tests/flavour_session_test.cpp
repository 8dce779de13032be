// The flavour session against fake runners (app/flavours/tests/fake_runner.cpp: a literal
// find-all, "!" a compile error): the matrix's rows, columns and cells, the summary's counts,
// the delay that makes one request of a run of edits, nothing asked while the pane is hidden or
// when nothing changed, the newest request winning over a slow older one; and through the
// document: the edits that ask, the rows it hands over, the choice kept in the workspace.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/document/core/tests/headless_ui.h"
#include "app/document/core/test_session.h"
#include "app/document/files/workspace_file.h"
#include "app/document/flavours/flavour_session.h"
#include "app/document/flavours/flavour_test_check.h"
#include "app/flavours/korvane_column.h"
#include "stringtable.h"

namespace {

// Every flavour is the fake runner, "slow" ones wait 200 ms before each subject's answer;
// ruby is not installed.
std::vector<QString> g_slow;

FlavourLaunch FakeFor(const QString& flavour) {
  FlavourLaunch l;
  l.flavour = flavour;
  l.program = QStringLiteral(KV_FAKE_RUNNER);
  l.runnerFile = l.program;
  const bool slow = std::find(g_slow.begin(), g_slow.end(), flavour) != g_slow.end();
  l.arguments << QStringLiteral("utf16") << QStringLiteral("yes") << (slow ? QStringLiteral("slow") : QStringLiteral("good"));
  if (flavour == QLatin1String("ruby")) l.notInstalled = QStringLiteral("not installed: apt-get install ruby");
  return l;
}

bool WaitFor(const std::function<bool()>& done, int ms = 60000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  return done();
}

void Spin(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

struct Fixture {
  CFlavourSession session;
  CFlavourSession::Input input;
  int sourced = 0;
  explicit Fixture(const QStringList& chosen) {
    session.Pool().SetLauncher(&FakeFor);
    session.SetChosen(chosen);
    session.SetSource([this] {
      ++sourced;
      return input;
    });
  }
  void Set(const QString& pattern, const QStringList& subjects) {
    input.pattern = pattern;
    input.subjects = subjects;
    input.rowNames.clear();
    for (int i = 0; i < subjects.size(); ++i) input.rowNames << QStringLiteral("row %1").arg(i);
  }
  bool Settle() { return WaitFor([this] { return session.RequestsMade() > 0 && !session.IsBusy(); }); }
};

const char* Status(const FlavourMatrixCell& c) { return c.waiting ? "waiting" : CellStatusName(c.cell.status); }

class FlavourSessionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
  void TearDown() override { g_slow.clear(); }
};

// ---- The matrix: rows, columns, cells -------------------------------------------------------

struct CellRow {
  const char* name;
  const char* pattern;
  std::vector<const char*> subjects;
  // Per subject, the status of the python column and of the ruby column.
  std::vector<const char*> python, ruby;
};

TEST_F(FlavourSessionTest, CellsCompareEachRowWithKorvane) {
  const CellRow rows[] = {
      // A literal: the fake finds what Korvane finds.
      {"literal", "an", {"banana", "xyz", ""}, {"same", "same", "same"}, {"not-installed", "not-installed", "not-installed"}},
      // A class: Korvane reads it, the fake looks for the text "a." and finds nothing.
      {"class", "a.", {"banana", "xyz"}, {"differs", "same"}, {"not-installed", "not-installed"}},
      // The fake refuses "!": every row is an error.
      {"compile error", "!", {"a!", "b"}, {"error", "error"}, {"not-installed", "not-installed"}},
  };
  for (const CellRow& row : rows) {
    SCOPED_TRACE(row.name);
    Fixture f({"ruby", "python"});
    QStringList subjects;
    for (const char* s : row.subjects) subjects << QString::fromUtf8(s);
    f.Set(QString::fromUtf8(row.pattern), subjects);
    f.session.RequestNow();
    ASSERT_TRUE(f.Settle());
    const CFlavourMatrix& m = f.session.Matrix();
    ASSERT_EQ(m.Rows(), subjects.size());
    ASSERT_EQ(m.Columns(), 2);
    // Columns in the table's order whatever the order chosen; Korvane is not one of them.
    EXPECT_EQ(m.columns[0].flavour, QStringLiteral("python"));
    EXPECT_EQ(m.columns[1].flavour, QStringLiteral("ruby"));
    EXPECT_EQ(m.columns[0].display, QStringLiteral("Python (re)"));
    EXPECT_EQ(m.columns[0].engine, QStringLiteral("Fake engine"));
    EXPECT_EQ(m.rowNames, f.input.rowNames);
    for (int r = 0; r < m.Rows(); ++r) {
      EXPECT_STREQ(Status(m.Cell(r, 0)), row.python[static_cast<size_t>(r)]) << "row " << r;
      EXPECT_STREQ(Status(m.Cell(r, 1)), row.ruby[static_cast<size_t>(r)]) << "row " << r;
    }
    // Outside the matrix: waiting, no answers.
    EXPECT_TRUE(m.Cell(-1, 0).waiting);
    EXPECT_TRUE(m.Cell(0, 2).waiting);
    EXPECT_EQ(m.FlavourRow(m.Rows(), 0), nullptr);
  }
}

TEST_F(FlavourSessionTest, RowsGiveBothAnswersForTheSideBySideView) {
  Fixture f({"python"});
  f.Set(QStringLiteral("a."), {QStringLiteral("banana a.")});
  f.session.RequestNow();
  ASSERT_TRUE(f.Settle());
  const CFlavourMatrix& m = f.session.Matrix();
  ASSERT_NE(m.KorvaneRow(0), nullptr);
  ASSERT_NE(m.FlavourRow(0, 0), nullptr);
  typedef std::vector<FlavourMatch> Matches;
  EXPECT_EQ(m.KorvaneRow(0)->matches, (Matches{{1, 3}, {3, 5}, {5, 7}, {7, 9}}));
  EXPECT_EQ(m.FlavourRow(0, 0)->matches, (Matches{{7, 9}}));
}

// ---- The summary ----------------------------------------------------------------------------

TEST_F(FlavourSessionTest, SummaryCountsCompiledSameMissingAndWaiting) {
  struct Row {
    const char* name;
    QStringList chosen;
    const char* pattern;
    QStringList subjects;
    const char* summary;
  };
  const Row rows[] = {
      {"all same", {"python", "js"}, "an", {"banana"}, "compiles in 2 of 2 flavours, same results in 2"},
      {"one row differs", {"python", "js"}, "a.", {"xyz", "banana"}, "compiles in 2 of 2 flavours, same results in 0"},
      {"refused", {"python", "js", "ruby"}, "!", {"a"}, "compiles in 0 of 2 flavours, same results in 0; 1 not installed"},
      {"nothing chosen", {}, "a", {"a"}, "No flavours chosen: pick some with Flavours..."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Fixture f(row.chosen);
    f.Set(QString::fromUtf8(row.pattern), row.subjects);
    f.session.RequestNow();
    ASSERT_TRUE(f.Settle());
    EXPECT_EQ(f.session.Summary().toStdString(), row.summary);
  }
}

TEST_F(FlavourSessionTest, SummarySaysWhatIsStillWaiting) {
  g_slow = {QStringLiteral("java")};
  Fixture f({"python", "java"});
  f.Set(QStringLiteral("an"), {QStringLiteral("banana")});
  f.session.RequestNow();
  // Right after the request every column waits.
  EXPECT_EQ(f.session.Summary().toStdString(), "Waiting for 2 flavours...");
  ASSERT_TRUE(WaitFor([&] { return f.session.Matrix().columns[0].answered && f.session.Matrix().korvaneAnswered; }));
  if (!f.session.Matrix().columns[1].answered) {
    EXPECT_EQ(f.session.Summary().toStdString(), "compiles in 1 of 1 flavours, same results in 1; waiting for 1");
  }
  ASSERT_TRUE(f.Settle());
  EXPECT_EQ(f.session.Summary().toStdString(), "compiles in 2 of 2 flavours, same results in 2");
}

// ---- When it asks ---------------------------------------------------------------------------

TEST_F(FlavourSessionTest, ARunOfEditsMakesOneRequestWithTheLastState) {
  Fixture f({"python"});
  f.session.SetActive(true);
  ASSERT_TRUE(f.Settle());  // showing the pane asks at once
  EXPECT_EQ(f.session.RequestsMade(), 1);
  for (const char* p : {"a", "an", "ana", "anan"}) {
    f.Set(QString::fromUtf8(p), {QStringLiteral("banana")});
    f.session.Changed();
  }
  EXPECT_EQ(f.session.RequestsMade(), 1);  // nothing before the delay
  ASSERT_TRUE(WaitFor([&] { return f.session.RequestsMade() == 2 && !f.session.IsBusy(); }));
  Spin(2 * CFlavourSession::kDelayMs);
  EXPECT_EQ(f.session.RequestsMade(), 2);
  EXPECT_EQ(f.session.Matrix().request.pattern, QStringLiteral("anan"));
  EXPECT_STREQ(Status(f.session.Matrix().Cell(0, 0)), "same");
}

TEST_F(FlavourSessionTest, AHiddenPaneCostsNothingAndAsksWhenShown) {
  Fixture f({"python"});
  f.Set(QStringLiteral("a"), {QStringLiteral("a")});
  f.session.Changed();
  f.session.Changed();
  Spin(3 * CFlavourSession::kDelayMs);
  EXPECT_EQ(f.sourced, 0);
  EXPECT_EQ(f.session.RequestsMade(), 0);
  f.session.SetActive(true);
  ASSERT_TRUE(f.Settle());
  EXPECT_EQ(f.session.RequestsMade(), 1);
  // Hidden again: an edit waits for the next showing.
  f.session.SetActive(false);
  f.Set(QStringLiteral("b"), {QStringLiteral("a")});
  f.session.Changed();
  Spin(3 * CFlavourSession::kDelayMs);
  EXPECT_EQ(f.session.RequestsMade(), 1);
  f.session.SetActive(true);
  ASSERT_TRUE(WaitFor([&] { return f.session.RequestsMade() == 2; }));
  EXPECT_EQ(f.session.Matrix().request.pattern, QStringLiteral("b"));
}

TEST_F(FlavourSessionTest, NothingChangedAsksNothing) {
  Fixture f({"python"});
  f.Set(QStringLiteral("a"), {QStringLiteral("a")});
  f.session.RequestNow();
  ASSERT_TRUE(f.Settle());
  f.session.RequestNow();
  f.session.Changed();
  f.session.RequestNow();
  EXPECT_EQ(f.session.RequestsMade(), 1);
  EXPECT_EQ(f.sourced, 3);
  // Another choice of flavours is a change.
  f.session.SetChosen({"python", "js"});
  f.session.RequestNow();
  EXPECT_EQ(f.session.RequestsMade(), 2);
  EXPECT_EQ(f.session.Matrix().Columns(), 2);
}

TEST_F(FlavourSessionTest, TheNewestRequestWins) {
  g_slow = {QStringLiteral("python")};
  Fixture f({"python"});
  f.session.Pool().SetMaxBusy(2);
  f.Set(QStringLiteral("a"), {QStringLiteral("a")});
  f.session.RequestNow();
  // The older request's python job is under way when the newer one comes.
  ASSERT_TRUE(WaitFor([&] { return f.session.Pool().Busy() > 0; }));
  f.Set(QStringLiteral("a"), {QStringLiteral("a"), QStringLiteral("aa")});
  f.session.RequestNow();
  // From now on no answer of the older request may reach the matrix.
  bool stale = false;
  QObject::connect(&f.session, &CFlavourSession::MatrixChanged, [&] {
    const CFlavourMatrix& m = f.session.Matrix();
    if (m.korvaneAnswered && m.korvane.subjects.size() != 2) stale = true;
    if (m.columns[0].answered && m.columns[0].answer.subjects.size() != 2) stale = true;
  });
  ASSERT_TRUE(f.Settle());
  EXPECT_FALSE(stale);
  const CFlavourMatrix& m = f.session.Matrix();
  ASSERT_EQ(m.Rows(), 2);
  ASSERT_TRUE(m.columns[0].answered);
  EXPECT_EQ(m.FlavourRow(1, 0)->matches, (std::vector<FlavourMatch>{{0, 1}, {1, 2}}));
  EXPECT_STREQ(Status(m.Cell(1, 0)), "same");
}

// ---- The choice ---------------------------------------------------------------------------

TEST_F(FlavourSessionTest, ChoiceKeepsTableOrderAndDropsUnknownNames) {
  CFlavourSession s;
  int changed = 0;
  QObject::connect(&s, &CFlavourSession::ChosenChanged, [&] { ++changed; });
  s.SetChosen({"re2", "korvane", "no-such", "js", "js", "pcre2"});
  EXPECT_EQ(s.Chosen(), (QStringList{"pcre2", "js", "re2"}));
  EXPECT_EQ(changed, 1);
  s.SetChosen({"js", "pcre2", "re2"});  // the same choice
  EXPECT_EQ(changed, 1);
  EXPECT_FALSE(s.IsDefaultChoice());
  s.SetChosen(CFlavourSession::DefaultFlavours());
  EXPECT_TRUE(s.IsDefaultChoice());
  EXPECT_FALSE(CFlavourSession::DefaultFlavours().isEmpty());
  EXPECT_FALSE(CFlavourSession::DefaultFlavours().contains(QStringLiteral("korvane")));
}

TEST_F(FlavourSessionTest, FlagLettersOfTheOptionBits) {
  // Each generic letter alone and together, through the engine's own bits.
  for (const char* letters : {"", "i", "m", "s", "x", "im", "isx", "imsx"}) {
    int bits = 0;
    ASSERT_TRUE(KorvaneFlagBits(QString::fromLatin1(letters), &bits));
    EXPECT_EQ(CFlavourSession::FlagLetters(bits), QString::fromLatin1(letters));
  }
  // Bits other engines have no letter for are left out.
  int bits = 0;
  KorvaneFlagBits(QStringLiteral("m"), &bits);
  EXPECT_EQ(CFlavourSession::FlagLetters(bits | 0x40000000), QStringLiteral("m"));
}

// ---- Through the document -----------------------------------------------------------------

class FlavourDocTest : public FlavourSessionTest {
 protected:
  void SetUp() override {
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    doc->Flavours().Pool().SetLauncher(&FakeFor);
  }
  void TearDown() override {
    doc.reset();
    FlavourSessionTest::TearDown();
  }
  void SetPattern(const std::string& p) {
    const std::vector<unsigned short> u = U16(p);
    doc->SetPattern(u.data(), static_cast<int>(u.size()), true);
    doc->Notify(nullptr, HINTS_PATTERN_EDITED);
  }
  void SetSubject(const std::string& s) {
    const std::vector<unsigned short> u = U16(s);
    doc->SetSubjectText(u.data(), static_cast<int>(u.size()));
    doc->Notify(nullptr, HINTS_SUBJECT_EDITED);
  }
  bool Settle(int requests) {
    CFlavourSession& s = doc->Flavours();
    return WaitFor([&] { return s.RequestsMade() == requests && !s.IsBusy(); });
  }

  HeadlessUi ui;
  std::unique_ptr<CKorvaneDoc> doc;
};

TEST_F(FlavourDocTest, EditsOfPatternOptionsTextAndTestsAsk) {
  CFlavourSession& s = doc->Flavours();
  s.SetChosen({"python"});
  doc->SetModified(false);
  s.SetActive(true);
  ASSERT_TRUE(Settle(1));
  SetPattern("an");
  SetSubject("banana");
  ASSERT_TRUE(Settle(2));
  EXPECT_EQ(s.Matrix().request.pattern, QStringLiteral("an"));
  EXPECT_EQ(s.Matrix().request.subjects, QStringList{QStringLiteral("banana")});
  EXPECT_EQ(s.Matrix().rowNames, QStringList{QStringLiteral("Text box")});
  // An option: the generic letter goes with the request.
  doc->OnCommand(CMD_IGNORECASE);
  ASSERT_TRUE(Settle(3));
  EXPECT_EQ(s.Matrix().request.flags, QStringLiteral("i"));
  // A test: one more row, named after it.
  TestCase t;
  t.name = U16("second");
  t.SetSubject(U16("anna"));
  doc->Tests().Add(t);
  ASSERT_TRUE(Settle(4));
  ASSERT_EQ(s.Matrix().Rows(), 2);
  EXPECT_EQ(s.Matrix().rowNames[1], QStringLiteral("second"));
  EXPECT_EQ(s.Matrix().request.subjects[1], QStringLiteral("anna"));
  EXPECT_STREQ(Status(s.Matrix().Cell(1, 0)), "same");
}

// A test with options of its own is asked with them, in a part of its own after the rows with
// the workspace's options, and the parts come together row by row. Korvane honours "i"; the
// fake runner searches case-sensitively whatever it is told, so only a row asked with "i"
// differs.
TEST_F(FlavourDocTest, TestsWithOptionsOfTheirOwnAreAskedWithThem) {
  CFlavourSession& s = doc->Flavours();
  s.SetChosen({"python", "ruby"});
  s.SetActive(true);
  ASSERT_TRUE(Settle(1));
  SetPattern("ab");
  SetSubject("AB ab");
  TestCase plain;
  plain.name = U16("plain");
  plain.SetSubject(U16("AB"));
  TestCase caseless = plain;
  caseless.name = U16("caseless");
  caseless.ownOptions = true;
  caseless.flags = IGNORECASE;
  TestCase caselessToo = caseless;
  caselessToo.name = U16("caseless too");
  caselessToo.SetSubject(U16("xAbx"));
  TestCase multi = plain;
  multi.name = U16("multiline");
  multi.ownOptions = true;
  multi.flags = MULTILINE;
  doc->Tests().Set({plain, caseless, multi, caselessToo});
  ASSERT_TRUE(WaitFor([&] { return s.RequestsMade() >= 2 && !s.IsBusy() && s.Matrix().Rows() == 5; }));
  const CFlavourMatrix& m = s.Matrix();
  EXPECT_STREQ(Status(m.Cell(0, 0)), "same");     // the text box: "ab" found by both
  EXPECT_STREQ(Status(m.Cell(1, 0)), "same");     // "AB" without options: neither finds it
  EXPECT_STREQ(Status(m.Cell(2, 0)), "differs");  // with "i": Korvane finds "AB", the fake does not
  EXPECT_STREQ(Status(m.Cell(3, 0)), "same");     // with "m": nothing changes for "ab"
  EXPECT_STREQ(Status(m.Cell(4, 0)), "differs");
  ASSERT_NE(nullptr, m.KorvaneRow(2));
  EXPECT_EQ(1u, m.KorvaneRow(2)->matches.size());
  ASSERT_NE(nullptr, m.KorvaneRow(4));
  ASSERT_EQ(1u, m.KorvaneRow(4)->matches.size());
  ASSERT_FALSE(m.KorvaneRow(4)->matches[0].empty());
  EXPECT_EQ(1, m.KorvaneRow(4)->matches[0][0]);  // the row's own subject, not another part's
  // A flavour that is not installed says so in every row, whatever the part.
  for (int row = 0; row < 5; ++row) EXPECT_STREQ(Status(m.Cell(row, 1)), "not-installed") << row;
  EXPECT_EQ(m.request.flags, QString());  // the matrix's own options stay the workspace's
  const CFlavourMatrix::Counts n = m.Count();
  EXPECT_EQ(n.compiled, 1);
  EXPECT_EQ(n.same, 0);
  EXPECT_EQ(n.missing, 1);
}

TEST_F(FlavourDocTest, TheChoiceIsSavedInTheWorkspaceAndReadBack) {
  CFlavourSession& s = doc->Flavours();
  // The default choice writes no section: the file is what it was before flavours existed.
  doc->SetModified(false);
  const std::string plain = doc->WorkspaceBytes();
  WorkspaceData data;
  ASSERT_EQ(CWorkspaceFile::Read(reinterpret_cast<const unsigned char*>(plain.data()), plain.size(), &data),
            EWorkspaceError::None);
  EXPECT_FALSE(data.hasFlavours);

  s.SetChosen({"js", "python", "re2"});
  EXPECT_TRUE(doc->IsModified());  // the user's choice is a change of the workspace
  const std::string bytes = doc->WorkspaceBytes();
  EXPECT_GT(bytes.size(), plain.size());

  CKorvaneDoc other(&ui);
  ASSERT_TRUE(other.LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  EXPECT_EQ(other.Flavours().Chosen(), (QStringList{"js", "python", "re2"}));
  EXPECT_FALSE(other.IsModified());
  // A file without the section (an older one) gives the default; so does New.
  ASSERT_TRUE(other.LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(plain.data()), plain.size()));
  EXPECT_TRUE(other.Flavours().IsDefaultChoice());
  ASSERT_TRUE(other.LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
  other.OnNewDocument();
  EXPECT_TRUE(other.Flavours().IsDefaultChoice());
  // An empty choice is a choice too.
  s.SetChosen({});
  const std::string empty = doc->WorkspaceBytes();
  ASSERT_TRUE(other.LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(empty.data()), empty.size()));
  EXPECT_TRUE(other.Flavours().Chosen().isEmpty());
}

}  // namespace

// ---- Tests in the flavours they must pass in ------------------------------------------------
// The fake runner searches the pattern as literal text: "a." finds "a." but not "ab", where
// Korvane's dot matches.

namespace {

TestCase MatchTest(const std::string& subject, int expectation, std::vector<std::string> flavours) {
  TestCase t;
  t.name = U16(subject);
  t.SetSubject(U16(subject));
  t.expectation = expectation;
  for (const std::string& f : flavours) t.mustPassIn.push_back(U16(f));
  return t;
}

}  // namespace

class FlavourTestCheckTest : public FlavourDocTest {
 protected:
  void SetUp() override {
    FlavourDocTest::SetUp();
    doc->Flavours().TestCheck().SetDelay(0);
  }
  // Waits until a check of the current tests has every answer.
  bool Checked() {
    const CFlavourTestCheck& c = doc->Flavours().TestCheck();
    return WaitFor([&] { return c.CheckedSet() == doc->Tests().Shared() && !c.IsPending(); });
  }
  static std::vector<int> Statuses(const std::vector<CFlavourTestCheck::Verdict>& verdicts) {
    std::vector<int> out;
    for (const CFlavourTestCheck::Verdict& v : verdicts) out.push_back(v.result.status);
    return out;
  }
};

TEST_F(FlavourTestCheckTest, EachTestIsJudgedInTheFlavoursItNames) {
  SetPattern("a.");
  TestCase rtl = MatchTest("ab", EXPECT_MATCH, {"python"});
  rtl.ownOptions = true;
  rtl.flags = RIGHTTOLEFT;
  doc->Tests().Set({MatchTest("ab", EXPECT_MATCH, {"python"}), MatchTest("a.", EXPECT_MATCH, {"python"}),
                    MatchTest("ab", EXPECT_MATCH, {}), MatchTest("zz", EXPECT_NO_MATCH, {"python", "js"}),
                    MatchTest("xab", EXPECT_MATCH, {"js"}), rtl});
  ASSERT_TRUE(Checked());
  const CFlavourTestCheck& c = doc->Flavours().TestCheck();
  // Korvane passes every one of them; the literal engine finds no "a." in "ab".
  ASSERT_NE(nullptr, c.FirstFailure(0));
  EXPECT_EQ(QStringLiteral("python"), c.FirstFailure(0)->flavour);
  EXPECT_EQ(TEST_FAIL, c.FirstFailure(0)->result.status);
  EXPECT_FALSE(c.FirstFailure(0)->result.reason.isEmpty());
  EXPECT_EQ(std::vector<int>{TEST_PASS}, Statuses(c.VerdictsOf(1)));
  EXPECT_TRUE(c.VerdictsOf(2).empty());
  EXPECT_EQ((std::vector<int>{TEST_PASS, TEST_PASS}), Statuses(c.VerdictsOf(3)));
  EXPECT_EQ(std::vector<int>{TEST_FAIL}, Statuses(c.VerdictsOf(4)));
  // Right to left is no search another engine can make: skipped, never passed or failed.
  ASSERT_EQ(1u, c.VerdictsOf(5).size());
  EXPECT_EQ(TEST_NOT_RUN, c.VerdictsOf(5)[0].result.status);
  EXPECT_FALSE(c.VerdictsOf(5)[0].result.reason.isEmpty());
  EXPECT_EQ(nullptr, c.FirstFailure(5));
  EXPECT_TRUE(c.VerdictsOf(99).empty());

  // A new pattern is checked again: now the literal engine finds "ab" where it is.
  SetPattern("ab");
  ASSERT_TRUE(WaitFor([&] { return !c.IsPending() && c.VerdictsOf(0).size() == 1 &&
                                   c.VerdictsOf(0)[0].result.status == TEST_PASS; }));
  EXPECT_EQ(nullptr, c.FirstFailure(0));
  EXPECT_EQ(nullptr, c.FirstFailure(4));
}

TEST_F(FlavourTestCheckTest, TestsThatNameNoFlavourAskNoEngine) {
  SetPattern("a.");
  doc->Tests().Set({MatchTest("ab", EXPECT_MATCH, {})});
  ASSERT_TRUE(Checked());
  const CFlavourTestCheck& c = doc->Flavours().TestCheck();
  EXPECT_TRUE(c.VerdictsOf(0).empty());
  EXPECT_FALSE(c.IsPending());
  // The matrix's pool was never asked either (the pane is hidden).
  EXPECT_EQ(0, doc->Flavours().RequestsMade());
}

TEST_F(FlavourTestCheckTest, TheFlavoursATestNamesAreSavedWithTheWorkspace) {
  SetPattern("a.");
  doc->Tests().Set({MatchTest("ab", EXPECT_MATCH, {"python", "re2"})});
  const std::string bytes = doc->WorkspaceBytes();
  CKorvaneDoc other(&ui);
  WorkspaceData data;
  QString reason;
  ASSERT_TRUE(CKorvaneDoc::ParseWorkspace(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &data,
                                          &reason))
      << reason.toStdString();
  other.LoadWorkspace(&data);
  ASSERT_EQ(1, other.Tests().Count());
  EXPECT_EQ((std::vector<TestText>{U16("python"), U16("re2")}), other.Tests().All()[0].mustPassIn);
}
