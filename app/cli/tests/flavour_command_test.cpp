// "korvane --flavours", run as a user runs it: the program without a display, the fake runner
// standing in for perl's interpreter (it searches the pattern as plain text), a runners folder
// of the test's own. Exit codes, the JSON and the matrix.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/cli/flavour_command.h"
#include "app/document/files/workspace_file.h"
#include "app/host_engine.h"
#include "platform/file_io.h"

namespace {

struct Outcome {
  int code = -1;
  QByteArray out, err;
};

class FlavoursCli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    QFile script(m_dir.path() + QStringLiteral("/runner.pl"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  }
  Outcome Korvane(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KORVANE_RUNNERS_DIR"), m_dir.path());
    env.insert(QStringLiteral("KORVANE_PERL_INTERPRETER"), QStringLiteral(KV_FAKE_RUNNER));
    env.insert(QStringLiteral("KORVANE_RUBY_INTERPRETER"), QStringLiteral("/no/such/ruby"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-at-all"));  // no display is needed
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KV_KORVANE_PROGRAM), args);
    Outcome r;
    if (!p.waitForFinished(120000)) return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
  }
  QTemporaryDir m_dir;
};

struct ExitCase {
  QStringList args;
  int code;
};

TEST_F(FlavoursCli, ExitCodes) {
  const ExitCase cases[] = {
      // the literal pattern: the fake finds what Korvane finds
      {{"--flavours", "ab", "--subject", "xab ab", "--only", "perl"}, 0},
      // a missing flavour does not count against agreement
      {{"--flavours", "ab", "--subject", "xab", "--only", "perl,ruby"}, 0},
      // Korvane reads "a.b" as a pattern, the fake as text: they differ
      {{"--flavours", "a.b", "--subject", "axb", "--only", "perl"}, 1},
      // one subject of two differs
      {{"--flavours", "a+", "--subject", "b", "--subject", "aa", "--only", "perl"}, 1},
      // a compile error in a flavour
      {{"--flavours", "!", "--subject", "x", "--only", "perl"}, 1},
      // wrong arguments
      {{"--flavours", "a"}, 2},
      {{"--flavours", "a", "--subject"}, 2},
      {{"--flavours", "a", "--subject", "a", "--flags", "q"}, 2},
      {{"--flavours", "a", "--subject", "a", "--only", "perl,cobol"}, 2},
      {{"--flavours", "a", "--subject", "a", "--frobnicate"}, 2},
  };
  for (const ExitCase& c : cases) {
    const Outcome r = Korvane(c.args);
    EXPECT_EQ(r.code, c.code) << c.args.join(QLatin1Char(' ')).toStdString() << "\n" << r.out.toStdString() << r.err.toStdString();
  }
}

TEST_F(FlavoursCli, JsonHasOneObjectPerFlavour) {
  const Outcome r = Korvane({"--flavours", "a(b)?", "--subject", QString::fromUtf16(u"\U0001F600ab a"), "--only", "perl,ruby",
                         "--json"});
  ASSERT_EQ(r.code, 1) << r.err.toStdString();  // the fake finds no "a(b)?" text
  QJsonParseError e;
  const QJsonDocument d = QJsonDocument::fromJson(r.out, &e);
  ASSERT_TRUE(d.isArray()) << r.out.toStdString();
  const QJsonArray rows = d.array();
  ASSERT_EQ(rows.size(), 3);
  const QJsonObject korvane = rows[0].toObject();
  EXPECT_EQ(korvane.value("flavour").toString(), QStringLiteral("korvane"));
  EXPECT_EQ(korvane.value("status").toString(), QStringLiteral("same"));
  EXPECT_FALSE(korvane.contains("subject"));
  // Spans in UTF-16 units: the astral character before them counts two.
  const QJsonArray matches = korvane.value("matches").toArray();
  ASSERT_EQ(matches.size(), 2);
  EXPECT_EQ(matches[0].toObject().value("span").toArray(), (QJsonArray{2, 4}));
  EXPECT_EQ(matches[0].toObject().value("groups").toArray(), (QJsonArray{QJsonArray{3, 4}}));
  EXPECT_EQ(matches[1].toObject().value("span").toArray(), (QJsonArray{5, 6}));
  EXPECT_TRUE(matches[1].toObject().value("groups").toArray()[0].isNull());
  const QJsonObject perl = rows[1].toObject();
  EXPECT_EQ(perl.value("flavour").toString(), QStringLiteral("perl"));
  EXPECT_EQ(perl.value("engine").toString(), QStringLiteral("Fake engine"));
  EXPECT_EQ(perl.value("version").toString(), QStringLiteral("1.0"));
  EXPECT_EQ(perl.value("status").toString(), QStringLiteral("differs"));
  EXPECT_EQ(perl.value("matches").toArray().size(), 0);
  EXPECT_EQ(rows[2].toObject().value("status").toString(), QStringLiteral("not-installed"));

  const Outcome err = Korvane({"--flavours", "!", "--subject", "x", "--subject", "y", "--only", "perl", "--json"});
  const QJsonArray two = QJsonDocument::fromJson(err.out).array();
  ASSERT_EQ(two.size(), 4);  // two flavours, two subjects each
  EXPECT_EQ(two[3].toObject().value("subject").toInt(), 1);
  EXPECT_EQ(two[3].toObject().value("status").toString(), QStringLiteral("error"));
  EXPECT_EQ(two[3].toObject().value("error").toString(), QStringLiteral("nothing to repeat (at 0)"));
}

TEST_F(FlavoursCli, MatrixIsReadable) {
  const Outcome r = Korvane({"--flavours", "ab", "--subject", "xab\n", "--subject", "b", "--only", "perl,ruby"});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  const QString text = QString::fromUtf8(r.out);
  EXPECT_TRUE(text.contains(QLatin1String("subject 1  \"xab\\n\""))) << text.toStdString();
  EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\nkorvane +Korvane \\S+ +1-3 +no match\n")))) << text.toStdString();
  EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\nperl +Fake engine 1.0 +same +same\n")))) << text.toStdString();
  EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\nruby +- +not installed: no interpreter /no/such/ruby")))) << text.toStdString();
  EXPECT_TRUE(text.contains(QLatin1String("compiles in 1 of 1 flavours, same results in 1"))) << text.toStdString();
}

TestText U(const std::string& s) { return TestText(s.begin(), s.end()); }

TestCase MakeTest(const std::string& name, const std::string& subject, int expectation) {
  TestCase t;
  t.name = U(name);
  t.SetSubject(U(subject));
  t.expectation = expectation;
  return t;
}

// "--run-tests --flavour": the workspace's tests in the fake (perl: the pattern taken as text) and
// in a flavour that is not installed (ruby). Korvane reads "a.b" as a pattern, the fake as text,
// so the fake fails the test on "axb"; a replace test is skipped; a missing engine skips every
// test and fails none; the JUnit file has a suite per flavour with its skipped tests.
TEST_F(FlavoursCli, WorkspaceTestsRunInTheFlavoursAsked) {
  WorkspaceData data;
  data.pattern = U("a.b");
  auto tests = std::make_shared<TestSet>();
  tests->push_back(MakeTest("any letter", "xaxb", EXPECT_MATCH));
  tests->push_back(MakeTest("the dot itself", "a.b", EXPECT_MATCH));
  tests->push_back(MakeTest("nothing", "zzz", EXPECT_NO_MATCH));
  tests->push_back(MakeTest("whole", "a.b", EXPECT_WHOLE));
  TestCase list = MakeTest("list", "a.b a.b", EXPECT_MATCH_LIST);
  list.matches = {TestMatch{0, 3, {}}, TestMatch{4, 7, {}}};
  tests->push_back(list);
  TestCase replaced = MakeTest("replaced", "a.b", EXPECT_REPLACED);
  replaced.SetReplaced(U("a.b"));
  tests->push_back(replaced);
  data.tests = tests;
  data.replaceTo = U("$0");
  const QString rws = m_dir.path() + QStringLiteral("/flavours.rws");
  const std::string bytes = CWorkspaceFile::Write(data, CSnapshotTree());
  ASSERT_EQ(CFileIo::WriteAll(rws, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()))), EFileError::None);
  const QString junit = m_dir.path() + QStringLiteral("/junit.xml");

  const Outcome both = Korvane({"--run-tests", rws, "--flavour", "perl,ruby", "--junit", junit});
  const QString text = QString::fromUtf8(both.out);
  EXPECT_EQ(both.code, 1) << text.toStdString() << both.err.toStdString();
  const QStringList expected = {
      "FAILED\tperl\tany letter", "PASSED\tperl\tthe dot itself", "PASSED\tperl\tnothing", "PASSED\tperl\twhole",
      "PASSED\tperl\tlist",       "SKIPPED\tperl\treplaced",       "SKIPPED\truby\tany letter"};
  for (const QString& line : expected)
    EXPECT_TRUE(text.contains(QLatin1Char('\n') + line)) << line.toStdString() << "\n" << text.toStdString();
  EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\nperl \\([^)]*\\): 4 passed, 1 failed, 1 skipped\n"))))
      << text.toStdString();
  EXPECT_TRUE(text.contains(QLatin1String("\nruby (-): 0 passed, 0 failed, 6 skipped\n"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QLatin1String("6 passed, 0 failed"))) << text.toStdString();  // Korvane's own

  QFile file(junit);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString xml = QString::fromUtf8(file.readAll());
  EXPECT_EQ(xml.count(QLatin1String("<testsuite ")), 3) << xml.toStdString();
  EXPECT_TRUE(xml.contains(QLatin1String("name=\"flavours.perl\" tests=\"6\" failures=\"1\" errors=\"0\" skipped=\"1\"")))
      << xml.toStdString();
  EXPECT_TRUE(xml.contains(QLatin1String("name=\"flavours.ruby\" tests=\"6\" failures=\"0\" errors=\"0\" skipped=\"6\"")))
      << xml.toStdString();

  // Only the missing engine: nothing failed, so the tests pass.
  EXPECT_EQ(Korvane({"--run-tests", rws, "--flavour", "ruby"}).code, 0);
  // An unknown flavour is a wrong argument.
  EXPECT_EQ(Korvane({"--run-tests", rws, "--flavour", "perl,cobol"}).code, 2);
  EXPECT_EQ(Korvane({"--run-tests", rws, "--flavour"}).code, 2);
}

// A test that names flavours it must pass in runs there without --flavour, alone: a failure
// there fails the run; the others are not asked (and not reported) in that flavour.
TEST_F(FlavoursCli, TestsRunInTheFlavoursTheyMustPassIn) {
  WorkspaceData data;
  data.pattern = U("a.b");
  auto tests = std::make_shared<TestSet>();
  TestCase any = MakeTest("any letter", "xaxb", EXPECT_MATCH);
  any.mustPassIn = {U("perl")};
  tests->push_back(any);
  TestCase dot = MakeTest("the dot itself", "a.b", EXPECT_MATCH);
  dot.mustPassIn = {U("perl"), U("ruby")};
  tests->push_back(dot);
  tests->push_back(MakeTest("nothing", "zzz", EXPECT_NO_MATCH));
  data.tests = tests;
  const QString rws = m_dir.path() + QStringLiteral("/own.rws");
  std::string bytes = CWorkspaceFile::Write(data, CSnapshotTree());
  ASSERT_EQ(CFileIo::WriteAll(rws, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()))), EFileError::None);

  const Outcome r = Korvane({"--run-tests", rws});
  const QString text = QString::fromUtf8(r.out);
  EXPECT_EQ(r.code, 1) << text.toStdString() << r.err.toStdString();
  for (const char* line : {"FAILED\tperl\tany letter", "PASSED\tperl\tthe dot itself", "SKIPPED\truby\tthe dot itself"})
    EXPECT_TRUE(text.contains(QLatin1Char('\n') + QLatin1String(line))) << line << "\n" << text.toStdString();
  EXPECT_FALSE(text.contains(QLatin1String("perl\tnothing"))) << text.toStdString();
  EXPECT_FALSE(text.contains(QLatin1String("ruby\tany letter"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\nperl \\([^)]*\\): 1 passed, 1 failed, 0 skipped\n"))))
      << text.toStdString();
  EXPECT_TRUE(text.contains(QLatin1String("\nruby (-): 0 passed, 0 failed, 1 skipped\n"))) << text.toStdString();

  // Without the failing test's demand the run passes: "the dot itself" passes in perl, and a
  // missing engine fails nothing.
  (*tests)[0].mustPassIn.clear();
  bytes = CWorkspaceFile::Write(data, CSnapshotTree());
  ASSERT_EQ(CFileIo::WriteAll(rws, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()))), EFileError::None);
  EXPECT_EQ(Korvane({"--run-tests", rws}).code, 0);
  // --flavour perl asks every test there, the named ones included, once.
  const Outcome all = Korvane({"--run-tests", rws, "--flavour", "perl"});
  EXPECT_EQ(QString::fromUtf8(all.out).count(QLatin1String("\tperl\t")), 3) << all.out.toStdString();
}

// The same with the real engines of python and node, when they are installed: a batch of several
// subjects goes to each runner at once and every test is judged from its own subject's answer.
TEST_F(FlavoursCli, WorkspaceTestsRunInRealEngines) {
  if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty() ||
      QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty())
    GTEST_SKIP() << "python3 or node is not installed";
  WorkspaceData data;
  data.pattern = U("(\\d+)-(\\d+)?");
  auto tests = std::make_shared<TestSet>();
  TestCase list = MakeTest("pairs", "1-2 33- 4-5", EXPECT_MATCH_LIST);
  list.withGroups = true;
  // The second match's group 2 takes no part: the empty text, in every engine.
  list.matches = {TestMatch{0, 3, {U("1"), U("2")}}, TestMatch{4, 7, {U("33"), U("")}}, TestMatch{8, 11, {U("4"), U("5")}}};
  tests->push_back(list);
  tests->push_back(MakeTest("none", "abc", EXPECT_NO_MATCH));
  TestCase split = MakeTest("split", "a1-2b", EXPECT_SPLIT);
  split.pieces = {U("a"), U("b")};
  tests->push_back(split);
  TestCase caseless = MakeTest("own options", "x7-8", EXPECT_MATCH);
  caseless.ownOptions = true;
  caseless.flags = IGNORECASE;  // a batch of its own
  tests->push_back(caseless);
  data.tests = tests;
  const QString rws = m_dir.path() + QStringLiteral("/real.rws");
  const std::string bytes = CWorkspaceFile::Write(data, CSnapshotTree());
  ASSERT_EQ(CFileIo::WriteAll(rws, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()))), EFileError::None);
  QProcess p;
  p.start(QStringLiteral(KV_KORVANE_PROGRAM), {"--run-tests", rws, "--flavour", "python,js"});
  ASSERT_TRUE(p.waitForFinished(120000));
  const QString text = QString::fromUtf8(p.readAllStandardOutput());
  EXPECT_EQ(p.exitCode(), 0) << text.toStdString();
  for (const char* flavour : {"python", "js"})
    for (const char* name : {"pairs", "none", "split", "own options"}) {
      const QString line = QStringLiteral("\nPASSED\t%1\t%2\n").arg(QLatin1String(flavour), QLatin1String(name));
      EXPECT_TRUE(text.contains(line)) << line.toStdString() << text.toStdString();
    }
}

}  // namespace
