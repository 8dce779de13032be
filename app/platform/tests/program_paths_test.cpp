// Tests of CProgramPaths: extension replacement, the program's own path, writable folders, the
// fallback to the per-user data folder, and the folders of an installed program.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/program_paths.h"

#if defined(__unix__)
#include <unistd.h>
#endif

namespace {

struct ExtensionCase {
  const char* path;
  const char* expected;
};

TEST(ProgramPaths, ReplaceExtensionTable) {
  const ExtensionCase cases[] = {
      {"/opt/k/korvane.exe", "/opt/k/korvane.clips"},
      {"/opt/k/korvane", "/opt/k/korvane.clips"},           // no extension: appended
      {"/opt/my.app/korvane", "/opt/my.app/korvane.clips"},  // a dot in a folder is not one
      {"/opt/k/korvane.tar.gz", "/opt/k/korvane.tar.clips"}, // only the last one goes
      {"/opt/k/korvane.", "/opt/k/korvane.clips"},
      {"/opt/k/.korvane", "/opt/k/.korvane.clips"},          // a leading dot starts no extension
      {"korvane.bin", "korvane.clips"},
      {"korvane", "korvane.clips"},
      {"", ".clips"},
  };
  for (const ExtensionCase& c : cases)
    EXPECT_EQ(QString::fromUtf8(c.expected),
              CProgramPaths::ReplaceExtension(QString::fromUtf8(c.path), QStringLiteral(".clips")))
        << c.path;
}

TEST(ProgramPaths, ProgramPathIsThisTestProgram) {
  const QString path = CProgramPaths::ProgramPath();
  ASSERT_FALSE(path.isEmpty());
  EXPECT_TRUE(QFileInfo(path).isFile());
  EXPECT_EQ(QCoreApplication::applicationFilePath(), path);
#if defined(__linux__)
  EXPECT_EQ(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(),
            QFileInfo(path).canonicalFilePath());
#endif
  EXPECT_EQ(QFileInfo(path).absolutePath(), CProgramPaths::ProgramFolder());
  EXPECT_EQ(CProgramPaths::ReplaceExtension(path, QStringLiteral(".ini")),
            CProgramPaths::ProgramPathWithExtension(QStringLiteral(".ini")));
}

TEST(ProgramPaths, IsFolderWritable) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  EXPECT_TRUE(CProgramPaths::IsFolderWritable(dir.path()));
  // The probe leaves nothing behind.
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
  EXPECT_FALSE(CProgramPaths::IsFolderWritable(dir.filePath(QStringLiteral("missing"))));
  EXPECT_FALSE(CProgramPaths::IsFolderWritable(QString()));
  QFile file(dir.filePath(QStringLiteral("plain")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  EXPECT_FALSE(CProgramPaths::IsFolderWritable(file.fileName()));
}

#if defined(__unix__)
TEST(ProgramPaths, ReadOnlyFolderIsNotWritable) {
  if (geteuid() == 0) GTEST_SKIP() << "permission bits do not bind the superuser";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString ro = dir.filePath(QStringLiteral("ro"));
  ASSERT_TRUE(QDir().mkdir(ro));
  ASSERT_TRUE(QFile::setPermissions(ro, QFile::ReadOwner | QFile::ExeOwner));
  EXPECT_FALSE(CProgramPaths::IsFolderWritable(ro));
  QFile::setPermissions(ro, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
#endif

TEST(ProgramPaths, WritableFileBesideOrInTheUserFolder) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString fallback = dir.filePath(QStringLiteral("user"));
  const QString program = dir.filePath(QStringLiteral("korvane"));
  // A writable program folder: beside the program.
  EXPECT_EQ(dir.filePath(QStringLiteral("korvane.clips")),
            CProgramPaths::WritableFileBeside(program, QStringLiteral(".clips"), fallback));
  // A folder where nothing can be created (here: one that does not exist, which holds for any
  // user): the same name in the fallback folder.
  const QString unreachable = dir.filePath(QStringLiteral("missing/bin/korvane.exe"));
  EXPECT_EQ(QDir(fallback).filePath(QStringLiteral("korvane.clips")),
            CProgramPaths::WritableFileBeside(unreachable, QStringLiteral(".clips"), fallback));
  // Without a fallback folder the beside path is all there is.
  EXPECT_EQ(dir.filePath(QStringLiteral("missing/bin/korvane.clips")),
            CProgramPaths::WritableFileBeside(unreachable, QStringLiteral(".clips"), QString()));
  EXPECT_EQ(QString(), CProgramPaths::WritableFileBeside(QString(), QStringLiteral(".clips"), fallback));
}

// A program tree as an install lays it out: bin/korvane and the library folder that the build
// names relative to bin/.
class InstalledTree {
 public:
  explicit InstalledTree(bool withLibraryFolder) {
    EXPECT_TRUE(m_dir.isValid());
    EXPECT_TRUE(QDir().mkpath(m_dir.filePath(QStringLiteral("usr/bin"))));
    QFile program(Program());
    EXPECT_TRUE(program.open(QIODevice::WriteOnly));
    if (withLibraryFolder) {
      EXPECT_TRUE(QDir().mkpath(Library()));
    }
  }
  QString Program() const { return m_dir.filePath(QStringLiteral("usr/bin/korvane")); }
  QString Bin() const { return m_dir.filePath(QStringLiteral("usr/bin")); }
  QString Library() const {
    return QDir::cleanPath(QDir(Bin()).filePath(CProgramPaths::InstalledPluginSubfolder()));
  }
  QString Path(const char* relative) const { return m_dir.filePath(QLatin1String(relative)); }

 private:
  QTemporaryDir m_dir;
};

TEST(ProgramPaths, TheLibraryFolderLiesBesideBinUnderTheSamePrefix) {
  const QString sub = CProgramPaths::InstalledPluginSubfolder();
  // Relative (an installed tree can be moved or staged) and ending in korvane/plugins.
  EXPECT_TRUE(QDir::isRelativePath(sub)) << sub.toStdString();
  EXPECT_TRUE(sub.endsWith(QLatin1String("korvane/plugins"))) << sub.toStdString();
  InstalledTree tree(true);
  EXPECT_TRUE(tree.Library().startsWith(tree.Path("usr/"))) << tree.Library().toStdString();
  EXPECT_EQ(tree.Library(), CProgramPaths::InstalledPluginFolder(tree.Program()));
  EXPECT_EQ(QString(), CProgramPaths::InstalledPluginFolder(QString()));
}

TEST(ProgramPaths, AProgramWithItsLibraryFolderIsInstalled) {
  InstalledTree installed(true), built(false);
  EXPECT_TRUE(CProgramPaths::IsInstalledProgram(installed.Program()));
  EXPECT_FALSE(CProgramPaths::IsInstalledProgram(built.Program()));
  EXPECT_FALSE(CProgramPaths::IsInstalledProgram(QString()));
  // This test program runs from the build folder.
  EXPECT_FALSE(CProgramPaths::IsInstalledProgram(CProgramPaths::ProgramPath()));
}

TEST(ProgramPaths, PluginsComeFromTheLibraryFolderOrBesideAProgramInABuildFolder) {
  InstalledTree installed(true), built(false);
  EXPECT_EQ(QStringList({installed.Library()}), CProgramPaths::PluginFolders(installed.Program()));
  EXPECT_EQ(QStringList({built.Bin()}), CProgramPaths::PluginFolders(built.Program()));
  EXPECT_EQ(QStringList(), CProgramPaths::PluginFolders(QString()));
  EXPECT_EQ(QStringList({CProgramPaths::ProgramFolder()}), CProgramPaths::PluginFolders());
}

TEST(ProgramPaths, AnInstalledProgramKeepsItsFilesInTheUserFolder) {
  InstalledTree installed(true), built(false);
  QTemporaryDir user;
  ASSERT_TRUE(user.isValid());
  // Both program folders are writable here; only the one in a build folder gets the file.
  ASSERT_TRUE(CProgramPaths::IsFolderWritable(installed.Bin()));
  EXPECT_EQ(user.filePath(QStringLiteral("korvane.clips")),
            CProgramPaths::WritableFileBeside(installed.Program(), QStringLiteral(".clips"), user.path()));
  EXPECT_EQ(built.Path("usr/bin/korvane.clips"),
            CProgramPaths::WritableFileBeside(built.Program(), QStringLiteral(".clips"), user.path()));
  // With no user folder at all, the installed program's own folder is still better than nothing.
  EXPECT_EQ(installed.Path("usr/bin/korvane.clips"),
            CProgramPaths::WritableFileBeside(installed.Program(), QStringLiteral(".clips"), QString()));
}

TEST(ProgramPaths, UserDataFolderExists) {
  const QString folder = CProgramPaths::UserDataFolder();
  ASSERT_FALSE(folder.isEmpty());
  EXPECT_TRUE(QFileInfo(folder).isDir());
  EXPECT_TRUE(CProgramPaths::IsFolderWritable(folder));
}

}  // namespace
