// Tests of CProfile: sections with backslashes, defaults for missing and malformed values, the
// INI file beside the program, and the per-user store (in Qt's test location only).
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/profile.h"
#include "platform/program_paths.h"

namespace {

class Profile : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
  QString Ini(const char* name = "korvane") const {
    return m_dir.filePath(QString::fromLatin1(name) + QStringLiteral(".ini"));
  }
  void WriteIni(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
  }
  QTemporaryDir m_dir;
};

TEST(ProfileKeys, BackslashesSeparateGroups) {
  EXPECT_EQ(QStringLiteral("Settings/PatternHeight"),
            CProfile::KeyPath(QStringLiteral("Settings"), QStringLiteral("PatternHeight")));
  EXPECT_EQ(QStringLiteral("BarStates/Match/x"),
            CProfile::KeyPath(QStringLiteral("BarStates\\Match"), QStringLiteral("x")));
}

TEST_F(Profile, ValuesSurviveAReopen) {
  {
    CProfile p(Ini());
    p.WriteInt(QStringLiteral("Settings"), QStringLiteral("PatternHeight"), 123);
    p.WriteInt(QStringLiteral("BarStates\\Match-SCBar-59419"), QStringLiteral("sizeVertCX"), -5);
    p.WriteString(QStringLiteral("Fonts"), QStringLiteral("korvane_regex"), QStringLiteral("-14/700/0/0/Tahoma/"));
    EXPECT_TRUE(p.Flush());
  }
  CProfile p(Ini());
  EXPECT_EQ(123, p.GetInt(QStringLiteral("Settings"), QStringLiteral("PatternHeight"), 100));
  EXPECT_EQ(-5, p.GetInt(QStringLiteral("BarStates\\Match-SCBar-59419"), QStringLiteral("sizeVertCX"), 0));
  EXPECT_EQ(QStringLiteral("-14/700/0/0/Tahoma/"),
            p.GetString(QStringLiteral("Fonts"), QStringLiteral("korvane_regex"), QString()));
  // The backslash section is a nested group, as the framework's own layout keys expect.
  p.Settings().beginGroup(QStringLiteral("BarStates"));
  p.Settings().beginGroup(QStringLiteral("Match-SCBar-59419"));
  EXPECT_EQ(-5, p.Settings().value(QStringLiteral("sizeVertCX")).toInt());
}

struct IniCase {
  const char* name;
  QByteArray content;
  int expected;  // for Settings/LCID with default 0
};

TEST_F(Profile, IniLanguageTable) {
  const IniCase cases[] = {
      {"Chinese", "[Settings]\r\nLCID=2052\r\n", 2052},
      {"LfOnly", "[Settings]\nLCID=1033\n", 1033},
      {"Blanks", "[Settings]\nLCID = 2052 \n", 2052},
      {"NotANumber", "[Settings]\nLCID=chinese\n", 0},
      {"Empty", "[Settings]\nLCID=\n", 0},
      {"OtherSection", "[Other]\nLCID=2052\n", 0},
      {"NoFileContent", "", 0},
      {"Garbage", "\x01\x02[[[=\n==\n", 0},
  };
  // One file per case: QSettings keeps parsed files in a process-wide cache that it refreshes by
  // size and time stamp, which two quick writes of equal length cannot change.
  for (const IniCase& c : cases) {
    WriteIni(Ini(c.name), c.content);
    CProfile p(Ini(c.name));
    EXPECT_EQ(c.expected, p.GetInt(QStringLiteral("Settings"), QStringLiteral("LCID"), 0)) << c.name;
  }
}

TEST_F(Profile, MissingFileGivesDefaults) {
  CProfile p(m_dir.filePath(QStringLiteral("none.ini")));
  EXPECT_EQ(5000, p.GetInt(QStringLiteral("Settings"), QStringLiteral("StackOverflow"), 5000));
  EXPECT_EQ(QStringLiteral("d"), p.GetString(QStringLiteral("Fonts"), QStringLiteral("x"), QStringLiteral("d")));
}

TEST(ProfilePaths, ProgramIniLiesBesideTheProgram) {
  auto ini = CProfile::OpenProgramIni();
  ASSERT_TRUE(ini);
  EXPECT_EQ(CProgramPaths::ProgramPathWithExtension(QStringLiteral(".ini")), ini->Settings().fileName());
  EXPECT_EQ(QSettings::IniFormat, ini->Settings().format());
}

TEST(ProfileUserStore, RoundTripInTheTestLocation) {
  CProfile store;
  const QString file = store.Settings().fileName();
  // Qt's test mode (set in main) redirects the store; never write the user's real settings.
  if (!file.contains(QStringLiteral("qttest"))) GTEST_SKIP() << "store is not in a test location: " << file.toStdString();
  store.WriteInt(QStringLiteral("BarStates"), QStringLiteral("SavedStates"), 6);
  ASSERT_TRUE(store.Flush());
  CProfile again;
  EXPECT_EQ(6, again.GetInt(QStringLiteral("BarStates"), QStringLiteral("SavedStates"), 0));
  again.Settings().clear();
  again.Flush();
}

}  // namespace
