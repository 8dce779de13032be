// The flavour table: every flavour name the command line and the workspace use, how each runner
// starts, and what a missing runtime says.
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include "app/flavours/flavour_table.h"

namespace {

TEST(FlavourTable, HoldsEveryFlavourOnceKorvaneFirst) {
  const QStringList want = {"korvane",   "pcre2",     "php",           "js",        "python",       "python-regex",
                            "java",      "dotnet",    "ruby",          "perl",      "posix-ere",    "posix-bre",
                            "cpp-ecmascript", "cpp-basic", "cpp-extended", "cpp-awk", "cpp-grep",   "cpp-egrep", "re2",
                            "icu",       "boost",     "oniguruma", "go"};
  const QStringList names = FlavourNames();
  EXPECT_EQ(names, want);
  EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), names.size());
  ASSERT_FALSE(AllFlavours().empty());
  EXPECT_TRUE(AllFlavours().front().InProcess());
  for (const FlavourInfo& f : AllFlavours()) {
    EXPECT_NE(FindFlavour(QString::fromLatin1(f.name)), nullptr);
    EXPECT_STRNE(f.display, "");
    if (!f.InProcess()) {
      EXPECT_STRNE(f.package, "") << f.name;
    } else {
      EXPECT_STREQ(f.name, "korvane");
    }
  }
  EXPECT_EQ(FindFlavour(QStringLiteral("cobol")), nullptr);
}

TEST(FlavourTable, RunnersFolderFollowsTheEnvironment) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QByteArray old = qgetenv("KORVANE_RUNNERS_DIR");
  qputenv("KORVANE_RUNNERS_DIR", dir.path().toLocal8Bit());
  EXPECT_EQ(RunnersFolder(), QDir::cleanPath(dir.path()));
  qunsetenv("KORVANE_RUNNERS_DIR");
  // Not installed beside a share/ folder: the build tree's folder, compiled in.
  EXPECT_TRUE(RunnersFolder().endsWith(QLatin1String("/runners"))) << RunnersFolder().toStdString();
  if (!old.isEmpty()) qputenv("KORVANE_RUNNERS_DIR", old);
}

// A folder holding a runner executable and a script, as the build makes it.
struct FakeFolder {
  QTemporaryDir dir;
  FakeFolder() {
    QFile native(dir.path() + QStringLiteral("/korvane-runner-native"));
    native.open(QIODevice::WriteOnly);
    native.write("#!/bin/sh\n");
    native.close();
    native.setPermissions(native.permissions() | QFileDevice::ExeOwner);
  }
};

TEST(FlavourTable, LaunchesNativeAndScriptedRunners) {
  FakeFolder folder;
  const QString dir = folder.dir.path();
  const FlavourLaunch pcre = LaunchFor(*FindFlavour(QStringLiteral("pcre2")), dir, FlavourSettings());
  EXPECT_TRUE(pcre.notInstalled.isEmpty()) << pcre.notInstalled.toStdString();
  EXPECT_EQ(pcre.program, dir + QStringLiteral("/korvane-runner-native"));
  EXPECT_EQ(pcre.arguments, QStringList{QStringLiteral("pcre2")});

  // The RE2 runner is built only when libre2 is found: missing, it names the package.
  const FlavourLaunch re2 = LaunchFor(*FindFlavour(QStringLiteral("re2")), dir, FlavourSettings());
  EXPECT_TRUE(re2.notInstalled.startsWith(QLatin1String("not installed: apt-get install libre2-dev")))
      << re2.notInstalled.toStdString();

  // An interpreter the user chose, given as a path: taken as it is.
  FlavourSettings s;
  s.interpreters.insert(QStringLiteral("python-regex"), QStringLiteral("/bin/sh"));
  const FlavourLaunch py = LaunchFor(*FindFlavour(QStringLiteral("python-regex")), dir, s);
  EXPECT_TRUE(py.notInstalled.isEmpty());
  EXPECT_EQ(py.program, QStringLiteral("/bin/sh"));
  EXPECT_EQ(py.arguments, (QStringList{dir + QStringLiteral("/runner.py"), QStringLiteral("regex")}));

  s.interpreters.insert(QStringLiteral("java"), QStringLiteral("/bin/sh"));
  const FlavourLaunch java = LaunchFor(*FindFlavour(QStringLiteral("java")), dir, s);
  EXPECT_EQ(java.arguments, (QStringList{QStringLiteral("-cp"), dir, QStringLiteral("KorvaneRunner")}));
  EXPECT_EQ(java.runnerFile, dir + QStringLiteral("/KorvaneRunner.class"));
}

TEST(FlavourTable, MissingInterpreterSaysWhatToDo) {
  FakeFolder folder;
  FlavourSettings s;
  s.interpreters.insert(QStringLiteral("ruby"), QStringLiteral("/no/such/ruby3.9"));
  const FlavourLaunch chosen = LaunchFor(*FindFlavour(QStringLiteral("ruby")), folder.dir.path(), s);
  EXPECT_TRUE(chosen.notInstalled.contains(QLatin1String("/no/such/ruby3.9"))) << chosen.notInstalled.toStdString();
  s.interpreters.insert(QStringLiteral("ruby"), QStringLiteral("no-such-ruby-anywhere"));
  const FlavourLaunch named = LaunchFor(*FindFlavour(QStringLiteral("ruby")), folder.dir.path(), s);
  EXPECT_TRUE(named.notInstalled.contains(QLatin1String("no-such-ruby-anywhere")));
}

TEST(FlavourTable, InterpreterSettingsFromTheEnvironment) {
  qputenv("KORVANE_PYTHON_REGEX_INTERPRETER", "/opt/python3.13");
  const FlavourSettings s = FlavourSettings::FromEnvironment();
  qunsetenv("KORVANE_PYTHON_REGEX_INTERPRETER");
  EXPECT_EQ(s.interpreters.value(QStringLiteral("python-regex")), QStringLiteral("/opt/python3.13"));
  EXPECT_FALSE(s.interpreters.contains(QStringLiteral("python")));
}

TEST(FlavourTable, InterpreterSettingsOfTheUserUnderTheEnvironment) {
  QStandardPaths::setTestModeEnabled(true);  // a store of the tests' own
  FlavourSettings::SetInterpreter(QStringLiteral("ruby"), QStringLiteral("  /opt/ruby3.3/bin/ruby "));
  FlavourSettings::SetInterpreter(QStringLiteral("perl"), QStringLiteral("perl5.40"));
  qputenv("KORVANE_PERL_INTERPRETER", "/usr/bin/perl");
  const FlavourSettings s = FlavourSettings::Current();
  qunsetenv("KORVANE_PERL_INTERPRETER");
  EXPECT_EQ(s.interpreters.value(QStringLiteral("ruby")), QStringLiteral("/opt/ruby3.3/bin/ruby"));
  EXPECT_EQ(s.interpreters.value(QStringLiteral("perl")), QStringLiteral("/usr/bin/perl")) << "the environment first";
  EXPECT_EQ(FlavourSettings::StoredInterpreter(QStringLiteral("perl")), QStringLiteral("perl5.40"));
  // Emptied, the table's interpreter is back.
  FlavourSettings::SetInterpreter(QStringLiteral("ruby"), QString());
  FlavourSettings::SetInterpreter(QStringLiteral("perl"), QString());
  EXPECT_FALSE(FlavourSettings::Current().interpreters.contains(QStringLiteral("ruby")));
  EXPECT_FALSE(FlavourSettings::Current().interpreters.contains(QStringLiteral("perl")));
}

}  // namespace
