// "korvane --convert", run as a user runs it: the program without a display, the real engines.
// Exit codes, the JSON, and a conversion that the check does not call the same. A flavour whose
// runtime is missing is skipped, never passed.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

#include "app/cli/convert_command.h"
#include "app/flavours/flavour_table.h"

namespace {

struct Outcome {
  int code = -1;
  QByteArray out, err;
};

Outcome Korvane(const QStringList& args) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-at-all"));  // no display is needed
  env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("en"));
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(KV_KORVANE_PROGRAM), args);
  Outcome r;
  if (!p.waitForFinished(120000)) return r;
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = p.readAllStandardOutput();
  r.err = p.readAllStandardError();
  return r;
}

bool Installed(const char* name) { return FlavourInstalled(QString::fromLatin1(name)); }

TEST(ConvertCli, WrongArgumentsExitTwo) {
  const QStringList cases[] = {
      {"--convert", "a"},                                   // no --to
      {"--convert", "a", "--to", "cobol"},                  // no such flavour
      {"--convert", "a", "--to", "posix-ere"},              // a flavour that is not converted to
      {"--convert", "a", "--to", "python", "--flags", "q"}, // a flag Korvane does not know
      {"--convert", "a", "--to", "python", "--to", "js"},   // two targets
      {"--convert", "a", "--to", "python", "--subject"},    // a subject without its text
  };
  for (const QStringList& args : cases) {
    const Outcome r = Korvane(args);
    EXPECT_EQ(r.code, CConvertCommand::EXIT_USAGE) << qPrintable(args.join(QLatin1Char(' ')));
    EXPECT_TRUE(r.err.contains("usage: korvane --convert")) << r.err.constData();
  }
}

// A refusal needs no engine: exit 1 and the reason, in text and in JSON.
TEST(ConvertCli, RefusedConstructsAreNamed) {
  Outcome r = Korvane({"--convert", "(?<=a+)b", "--to", "python"});
  EXPECT_EQ(r.code, CConvertCommand::EXIT_NOT_VERIFIED);
  EXPECT_TRUE(r.out.contains("refused")) << r.out.constData();
  EXPECT_TRUE(r.out.contains("(?<=...): Python needs a look-behind of one fixed length")) << r.out.constData();

  r = Korvane({"--convert", "a*+(?=b)", "--to", "re2", "--json"});
  EXPECT_EQ(r.code, CConvertCommand::EXIT_NOT_VERIFIED);
  const QJsonObject j = QJsonDocument::fromJson(r.out).object();
  EXPECT_EQ(j.value(QStringLiteral("pattern")).toString(), QString());
  EXPECT_EQ(j.value(QStringLiteral("verified")).toInt(-1), 0);
  EXPECT_EQ(j.value(QStringLiteral("refused")).toArray().size(), 2) << r.out.constData();
}

TEST(ConvertCli, VerifiedInPython) {
  if (!Installed("python")) GTEST_SKIP() << "python3 is not installed";
  const Outcome r = Korvane({"--convert", "(?<year>\\d{4})-(\\d\\d)$", "--to", "python", "--subject",
                             "2024-05\n", "--subject", "2024-05", "--json"});
  EXPECT_EQ(r.code, CConvertCommand::EXIT_VERIFIED) << r.out.constData();
  const QJsonObject j = QJsonDocument::fromJson(r.out).object();
  EXPECT_EQ(j.value(QStringLiteral("pattern")).toString(), QStringLiteral("(?a)(?P<year>\\d{4})-(\\d\\d)\\Z"));
  EXPECT_EQ(j.value(QStringLiteral("flags")).toString(), QString());
  EXPECT_EQ(j.value(QStringLiteral("verified")).toInt(), 2);
  EXPECT_EQ(j.value(QStringLiteral("of")).toInt(), 2);
  EXPECT_TRUE(j.value(QStringLiteral("refused")).toArray().isEmpty());
  // Korvane's month is group 1, Python's group 2.
  EXPECT_EQ(j.value(QStringLiteral("groups")).toArray(), (QJsonArray{0, 2, 1}));
  EXPECT_TRUE(j.value(QStringLiteral("engine")).toString().startsWith(QStringLiteral("CPython re")));
}

// Korvane's dot takes one UTF-16 unit, Python's one character: on an astral character the check
// says so instead of calling the conversion the same.
TEST(ConvertCli, ADifferenceIsReportedNotHidden) {
  if (!Installed("python")) GTEST_SKIP() << "python3 is not installed";
  const Outcome r = Korvane({"--convert", "^.$", "--to", "python", "--subject", "x", "--subject",
                             QString::fromUtf8("\xF0\x9F\x98\x80")});
  EXPECT_EQ(r.code, CConvertCommand::EXIT_NOT_VERIFIED) << r.out.constData();
  EXPECT_TRUE(r.out.contains("same results on 1 of 2 texts")) << r.out.constData();
  EXPECT_TRUE(r.out.contains("  2: ")) << r.out.constData();
}

}  // namespace
