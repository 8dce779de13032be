// Tests of CProgramPaths: extension replacement, the program's own path, writable folders and
// the fallback to the per-user data folder.
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

TEST(ProgramPaths, UserDataFolderExists) {
  const QString folder = CProgramPaths::UserDataFolder();
  ASSERT_FALSE(folder.isEmpty());
  EXPECT_TRUE(QFileInfo(folder).isDir());
  EXPECT_TRUE(CProgramPaths::IsFolderWritable(folder));
}

}  // namespace
