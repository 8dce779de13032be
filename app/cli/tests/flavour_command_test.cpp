// "korvane --flavours", run as a user runs it: the program without a display, the fake runner
// standing in for perl's interpreter (it searches the pattern as plain text), a runners folder
// of the test's own. Exit codes, the JSON and the matrix.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/cli/flavour_command.h"

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

}  // namespace
