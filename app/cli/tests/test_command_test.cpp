// The command-line test runner: argument parsing, the JUnit XML it writes, and the program run as
// a child process, without a display, on workspaces this test writes: exit codes, the lines and
// the summary, the JUnit file read back with an XML parser, a snapshot's tests, and the failures
// (missing file, a file that is no workspace, an unknown snapshot, a JUnit path that cannot be
// written).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "app/cli/test_command.h"
#include "app/document/files/workspace_file.h"
#include "platform/file_io.h"
#include "platform/profile.h"
#include "stringtable.h"

namespace {

TestText U(const std::string& s) { return TestText(s.begin(), s.end()); }

TestCase Make(const std::string& name, const std::string& subject, int expectation) {
  TestCase t;
  t.name = U(name);
  t.SetSubject(U(subject));
  t.expectation = expectation;
  return t;
}

// The workspace of the process tests: pattern \d+ with three tests (two pass, one fails), and a
// snapshot "green" with pattern [a-z]+ whose own two tests both pass.
std::string WorkspaceBytes() {
  WorkspaceData data;
  data.pattern = U("\\d+");
  auto tests = std::make_shared<TestSet>();
  tests->push_back(Make("digits", "a12", EXPECT_MATCH));
  tests->push_back(Make("none <&\"'>", "abc", EXPECT_NO_MATCH));
  TestCase broken = Make("broken\x01name", "x1y22", EXPECT_MATCH_LIST);
  broken.matches.resize(1);
  broken.matches[0].start = 1;
  broken.matches[0].end = 2;
  tests->push_back(broken);
  data.tests = tests;
  CSnapshotTree tree;
  tree.Add(U("[a-z]+"), 0, U("green"), 0);
  auto snapTests = std::make_shared<TestSet>();
  snapTests->push_back(Make("letters", "a12", EXPECT_MATCH));
  snapTests->push_back(Make("no letters", "123", EXPECT_NO_MATCH));
  tree.Lookup(1)->tests = snapTests;
  return CWorkspaceFile::Write(data, tree);
}

struct JUnitCounts {
  bool wellFormed = false;
  int tests = -1, failures = -1, errors = -1;
  int testcases = 0, failureElements = 0;
  QStringList names;
};

JUnitCounts ParseJUnit(const QByteArray& xml) {
  JUnitCounts c;
  QXmlStreamReader r(xml);
  while (!r.atEnd()) {
    r.readNext();
    if (!r.isStartElement()) continue;
    if (r.name() == QLatin1String("testsuite")) {
      c.tests = r.attributes().value(QLatin1String("tests")).toInt();
      c.failures = r.attributes().value(QLatin1String("failures")).toInt();
      c.errors = r.attributes().value(QLatin1String("errors")).toInt();
    } else if (r.name() == QLatin1String("testcase")) {
      ++c.testcases;
      c.names << r.attributes().value(QLatin1String("name")).toString();
    } else if (r.name() == QLatin1String("failure")) {
      ++c.failureElements;
    }
  }
  c.wellFormed = !r.hasError();
  return c;
}

class TestCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    workspace = dir.filePath(QStringLiteral("patterns.rws"));
    const std::string bytes = WorkspaceBytes();
    ASSERT_EQ(EFileError::None, CFileIo::WriteAll(workspace, QByteArrayView(bytes.data(), qsizetype(bytes.size()))));
  }
  // Runs the program with no display of any kind and an English locale.
  int Run(const QStringList& args, QString* out = nullptr, QString* err = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QLatin1String(name));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KV_KORVANE_PROGRAM), args);
    if (!p.waitForFinished(120000)) {
      p.kill();
      p.waitForFinished();
      return -100;
    }
    if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
    if (err) *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -200;
  }
  static QString LastLine(const QString& text) { return text.trimmed().section(QLatin1Char('\n'), -1); }

  QTemporaryDir dir;
  QString workspace;
};

TEST_F(TestCommandTest, ArgumentsParseOrAreRefused) {
  struct Case {
    QStringList args;
    bool ok;
    QString bad;
  };
  const QString p = QStringLiteral("korvane");
  const std::vector<Case> cases = {
      {{p, "--run-tests", "a.rws"}, true, ""},
      {{p, "--run-tests", "a.rws", "--snapshot", "v1", "--junit", "r.xml"}, true, ""},
      {{p, "--junit", "r.xml", "--run-tests", "a.rws"}, true, ""},
      {{p, "--run-tests"}, false, "--run-tests"},
      {{p, "--run-tests", "a.rws", "--snapshot"}, false, "--snapshot"},
      {{p, "--run-tests", "a.rws", "--frobnicate"}, false, "--frobnicate"},
      {{p, "--run-tests", "a.rws", "b.rws"}, false, "b.rws"},
  };
  for (const Case& c : cases) {
    CTestCommand::Options o;
    QString bad;
    EXPECT_EQ(c.ok, CTestCommand::Parse(c.args, &o, &bad)) << c.args.join(' ').toStdString();
    if (!c.ok) {
      EXPECT_EQ(c.bad, bad) << c.args.join(' ').toStdString();
    }
  }
  CTestCommand::Options o;
  QString bad;
  ASSERT_TRUE(CTestCommand::Parse({p, "--run-tests", "a.rws", "--snapshot", "", "--junit", "r.xml"}, &o, &bad));
  EXPECT_EQ(QStringLiteral("a.rws"), o.workspace);
  EXPECT_TRUE(o.useSnapshot);
  EXPECT_TRUE(o.snapshot.isEmpty());
  EXPECT_EQ(QStringLiteral("r.xml"), o.junit);

  char a0[] = "korvane", a1[] = "x.rws", a2[] = "--run-tests", a3[] = "--help";
  char* plain[] = {a0, a1};
  char* run[] = {a0, a2, a1};
  char* help[] = {a0, a3};
  EXPECT_EQ(CTestCommand::NONE, CTestCommand::Wanted(2, plain));
  EXPECT_EQ(CTestCommand::RUN_TESTS, CTestCommand::Wanted(3, run));
  EXPECT_EQ(CTestCommand::HELP, CTestCommand::Wanted(2, help));
}

TEST_F(TestCommandTest, JUnitXmlCountsAndEscapesWhatXmlCannotCarry) {
  TestSet tests = {Make("ok", "", 0), Make("bad \x02 <name>", "", 0), Make("slow", "", 0), Make("deep", "", 0)};
  std::vector<TestResult> results(4);
  results[0].status = TEST_PASS;
  results[1].status = TEST_FAIL;
  results[1].reason = QStringLiteral("expected \"a\" & <b>");
  results[2].status = TEST_TIMED_OUT;
  results[2].reason = QStringLiteral("timed out");
  results[3].status = TEST_ERROR;
  results[3].reason = QString(QChar(0xD800));  // a lone surrogate
  const JUnitCounts c = ParseJUnit(CTestCommand::JUnitXml(QStringLiteral("suite\x03"), tests, results));
  ASSERT_TRUE(c.wellFormed);
  EXPECT_EQ(4, c.tests);
  EXPECT_EQ(2, c.failures) << "a failure and a time-out";
  EXPECT_EQ(1, c.errors);
  EXPECT_EQ(4, c.testcases);
  EXPECT_EQ(2, c.failureElements);
  EXPECT_EQ(QString(QStringLiteral("bad ")) + QChar(0xFFFD) + QStringLiteral(" <name>"), c.names.value(1));
}

TEST_F(TestCommandTest, RunsTheWorkspaceTestsWithoutADisplay) {
  const QString junit = dir.filePath(QStringLiteral("report.xml"));
  QString out, err;
  EXPECT_EQ(1, Run({"--run-tests", workspace, "--junit", junit}, &out, &err)) << err.toStdString();
  EXPECT_EQ(QStringLiteral("2 passed, 1 failed"), LastLine(out)) << out.toStdString();
  EXPECT_EQ(4, out.trimmed().count(QLatin1Char('\n')) + 1) << "one line per test and the summary";
  EXPECT_TRUE(out.contains(QStringLiteral("FAILED\tbroken"))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("expected 1 matches, got 2"))) << out.toStdString();

  QByteArray xml;
  ASSERT_EQ(EFileError::None, CFileIo::ReadAll(junit, 1 << 20, &xml));
  const JUnitCounts c = ParseJUnit(xml);
  ASSERT_TRUE(c.wellFormed) << xml.toStdString();
  EXPECT_EQ(3, c.tests);
  EXPECT_EQ(1, c.failures);
  EXPECT_EQ(0, c.errors);
  EXPECT_EQ(3, c.testcases);
  EXPECT_EQ(QStringLiteral("none <&\"'>"), c.names.value(1));
}

TEST_F(TestCommandTest, ASnapshotRunsWithItsOwnPatternAndTests) {
  QString out, err;
  EXPECT_EQ(0, Run({"--run-tests", workspace, "--snapshot", "green"}, &out, &err)) << err.toStdString();
  EXPECT_EQ(QStringLiteral("2 passed, 0 failed"), LastLine(out));
  EXPECT_TRUE(out.contains(QStringLiteral("letters")));
  EXPECT_EQ(2, Run({"--run-tests", workspace, "--snapshot", "missing"}, &out, &err));
  EXPECT_TRUE(err.contains(QStringLiteral("no snapshot named \"missing\""))) << err.toStdString();
}

// A test without a name gets the one the window gives it, in the lines and the JUnit report;
// an unknown expectation is an error, not a failure; the workspace's time limit is used.
TEST_F(TestCommandTest, BlankNamesUnknownKindsAndTheWorkspaceTimeLimit) {
  WorkspaceData data;
  data.pattern = U("(?:a|a)*?(?:c|d)");
  data.testTimeLimitMs = 1;
  auto tests = std::make_shared<TestSet>();
  tests->push_back(Make("", "aac", EXPECT_MATCH));
  tests->push_back(Make("future", "aac", 42));
  // Two ways to take each of twenty a's: millions of steps, far past 1 ms.
  tests->push_back(Make("slow", std::string(20, 'a'), EXPECT_NO_MATCH));
  data.tests = tests;
  const std::string bytes = CWorkspaceFile::Write(data, CSnapshotTree());
  const QString path = dir.filePath(QStringLiteral("odd.rws"));
  ASSERT_EQ(EFileError::None, CFileIo::WriteAll(path, QByteArrayView(bytes.data(), qsizetype(bytes.size()))));
  const QString junit = dir.filePath(QStringLiteral("odd.xml"));
  QString out, err;
  EXPECT_EQ(1, Run({"--run-tests", path, "--junit", junit}, &out, &err)) << err.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("PASSED\tTest 1"))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("ERROR\tfuture\tunknown kind of expectation"))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("TIMED OUT\tslow\ttimed out after 1 ms"))) << out.toStdString();
  QByteArray xml;
  ASSERT_EQ(EFileError::None, CFileIo::ReadAll(junit, 1 << 20, &xml));
  const JUnitCounts c = ParseJUnit(xml);
  ASSERT_TRUE(c.wellFormed) << xml.toStdString();
  EXPECT_EQ(QStringLiteral("Test 1"), c.names.value(0));
  EXPECT_EQ(1, c.errors);
  EXPECT_EQ(1, c.failures);
}

TEST_F(TestCommandTest, UnreadableInputAndOutputExitWithTwoAndSayWhy) {
  QString out, err;
  EXPECT_EQ(2, Run({"--run-tests", dir.filePath(QStringLiteral("nope.rws"))}, &out, &err));
  EXPECT_TRUE(err.contains(QStringLiteral("Cannot read"))) << err.toStdString();

  const QString junk = dir.filePath(QStringLiteral("junk.rws"));
  ASSERT_EQ(EFileError::None, CFileIo::WriteAll(junk, QByteArrayView("\x03\x00\x00\x00\x01", 5)));
  EXPECT_EQ(2, Run({"--run-tests", junk}, &out, &err));
  // The window's reasons: a file cut short names the byte where it is damaged.
  EXPECT_TRUE(err.contains(QStringLiteral("The file is damaged at byte 4"))) << err.toStdString();
  const QString notes = dir.filePath(QStringLiteral("notes.rws"));
  ASSERT_EQ(EFileError::None, CFileIo::WriteAll(notes, QByteArrayView("These are my notes, not a workspace.\n")));
  EXPECT_EQ(2, Run({"--run-tests", notes}, &out, &err));
  EXPECT_TRUE(err.contains(QStringLiteral("It is not a regex workspace file."))) << err.toStdString();

  const QString unwritable = dir.filePath(QStringLiteral("no/such/folder/report.xml"));
  EXPECT_EQ(2, Run({"--run-tests", workspace, "--junit", unwritable}, &out, &err));
  EXPECT_TRUE(err.contains(QStringLiteral("Cannot write the JUnit file"))) << err.toStdString();
  EXPECT_EQ(QStringLiteral("2 passed, 1 failed"), LastLine(out)) << "the results are still printed";

  EXPECT_EQ(2, Run({"--run-tests", workspace, "--bogus"}, &out, &err));
  EXPECT_TRUE(err.contains(QStringLiteral("--bogus")));
}

TEST_F(TestCommandTest, ModesComeFromTheRawArgumentsBeforeAnyApplicationObject) {
  struct Row {
    std::vector<std::string> args;
    int mode;
  };
  const Row rows[] = {
      {{}, CTestCommand::NONE},
      {{"work.rws"}, CTestCommand::NONE},
      {{"--list-menus"}, CTestCommand::NONE},
      // Qt's own options, with one dash or two, with the value apart or after "=".
      {{"-style", "Fusion", "work.rws"}, CTestCommand::NONE},
      {{"--platform", "offscreen"}, CTestCommand::NONE},
      {{"--style=Fusion"}, CTestCommand::NONE},
      // A one-dash option is left to the window start, which judges it once Qt has taken its own.
      {{"-x"}, CTestCommand::NONE},
      {{"--version"}, CTestCommand::VERSION},
      {{"--help", "--version"}, CTestCommand::HELP},
      {{"--version", "--run-tests", "a.rws"}, CTestCommand::RUN_TESTS},
      {{"--bogus", "work.rws"}, CTestCommand::BAD_OPTION},
      {{"--styles"}, CTestCommand::BAD_OPTION},
      {{"--run-tests", "a.rws", "--bogus"}, CTestCommand::RUN_TESTS},
  };
  for (const Row& row : rows) {
    std::vector<std::string> storage = row.args;
    storage.insert(storage.begin(), "korvane");
    std::vector<char*> argv;
    for (std::string& a : storage) argv.push_back(a.data());
    std::string joined;
    for (const std::string& a : row.args) joined += a + " ";
    EXPECT_EQ(row.mode, CTestCommand::Wanted(int(argv.size()), argv.data())) << joined;
  }
  EXPECT_EQ(QString(), CTestCommand::UnknownWindowOption({"korvane", "--list-menus", "work.rws"}));
  EXPECT_EQ(QStringLiteral("-x"), CTestCommand::UnknownWindowOption({"korvane", "work.rws", "-x"}));
}

TEST_F(TestCommandTest, VersionAndUnknownOptionsAnswerWithoutADisplay) {
  QString out, err;
  EXPECT_EQ(0, Run({"--version"}, &out, &err)) << err.toStdString();
  EXPECT_TRUE(out.startsWith(QStringLiteral("korvane "))) << out.toStdString();
  EXPECT_TRUE(out.trimmed().contains(QRegularExpression(QStringLiteral("^korvane \\d+\\.\\d+")))) << out.toStdString();
  // One version: the settings store is named after the major and minor version --version shows.
  const QString shown = out.trimmed().mid(QStringLiteral("korvane ").size());
  EXPECT_EQ(QStringLiteral("Korvane %1.%2 Free")
                .arg(shown.section(QLatin1Char('.'), 0, 0), shown.section(QLatin1Char('.'), 1, 1))
                .toStdString(),
            std::string(CProfile::kApplication))
      << out.toStdString();

  // An unknown option with a file that does not exist: refused with the usage, no window tried
  // (there is no display to try it on).
  EXPECT_EQ(2, Run({"--bogus", dir.filePath(QStringLiteral("missing.rws"))}, &out, &err));
  EXPECT_TRUE(err.contains(QStringLiteral("Unknown or incomplete argument: --bogus"))) << err.toStdString();
  EXPECT_TRUE(err.contains(QStringLiteral("Usage: korvane"))) << err.toStdString();
}

TEST_F(TestCommandTest, AWindowStartRefusesAOneDashOptionQtDidNotTake) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(KV_KORVANE_PROGRAM), {QStringLiteral("-style"), QStringLiteral("Fusion"), QStringLiteral("-x")});
  ASSERT_TRUE(p.waitForFinished(120000)) << "a refused option must not leave a window running";
  EXPECT_EQ(2, p.exitCode());
  const QString err = QString::fromUtf8(p.readAllStandardError());
  EXPECT_TRUE(err.contains(QStringLiteral("Unknown or incomplete argument: -x"))) << err.toStdString();
}

TEST_F(TestCommandTest, HelpListsTheCommand) {
  QString out;
  EXPECT_EQ(0, Run({"--help"}, &out));
  EXPECT_TRUE(out.contains(QStringLiteral("--run-tests FILE.rws [--snapshot NAME] [--flavour LIST] [--junit FILE.xml]")))
      << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("--version"))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("--check-backtracking PATTERN [--flags imsxrg]"))) << out.toStdString();
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
