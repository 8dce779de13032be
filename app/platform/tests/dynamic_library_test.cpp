// Tests of CDynamicLibrary: which files count as plugin libraries and in which order, loading
// a real library, looking up exports, and failures that must come back as text, not crashes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/dynamic_library.h"
#include "platform/program_paths.h"

namespace {

void Touch(const QString& path) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("not a library");
}

QStringList Names(const QStringList& paths) {
  QStringList names;
  for (const QString& p : paths) names.append(QFileInfo(p).fileName());
  return names;
}

#if defined(__unix__) && !defined(__APPLE__)
TEST(PluginLibraries, EverySoFileSortedByName) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const char* name : {"b.so", "a.so", "C.so", "notes.txt", "x.so.1", "upper.SO", "so", ".hidden.so", "a.so.txt"})
    Touch(dir.filePath(QString::fromLatin1(name)));
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.so")));
  ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("b.so")), dir.filePath(QStringLiteral("link.so"))));
  ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("broken.so"))));

  const QStringList found = CDynamicLibrary::ListPluginLibraries(dir.path());
  // Code-unit order: '.' < 'C' < 'a'.
  EXPECT_EQ((QStringList{".hidden.so", "C.so", "a.so", "b.so", "link.so"}), Names(found));
  for (const QString& p : found) EXPECT_TRUE(QFileInfo(p).isAbsolute()) << p.toStdString();
}
#endif

TEST(PluginLibraries, MissingOrEmptyFolderGivesNothing) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  EXPECT_TRUE(CDynamicLibrary::ListPluginLibraries(dir.path()).isEmpty());
  EXPECT_TRUE(CDynamicLibrary::ListPluginLibraries(dir.filePath(QStringLiteral("missing"))).isEmpty());
  EXPECT_TRUE(CDynamicLibrary::ListPluginLibraries(QString()).isEmpty());
}

TEST(PluginLibraries, DefaultFolderIsTheProgramsFolder) {
  EXPECT_EQ(CDynamicLibrary::ListPluginLibraries(CProgramPaths::ProgramFolder()),
            CDynamicLibrary::ListPluginLibraries());
}

TEST(DynamicLibrary, LoadResolveCallUnload) {
  CDynamicLibrary lib;
  EXPECT_FALSE(lib.IsLoaded());
  EXPECT_EQ(nullptr, lib.Resolve("KvTestAnswer"));
  ASSERT_TRUE(lib.Load(QStringLiteral(KV_TEST_LIBRARY))) << lib.ErrorString().toStdString();
  EXPECT_TRUE(lib.IsLoaded());
  EXPECT_TRUE(lib.ErrorString().isEmpty());

  auto answer = reinterpret_cast<int (*)()>(lib.Resolve("KvTestAnswer"));
  ASSERT_NE(nullptr, answer);
  EXPECT_EQ(42, answer());
  auto add = reinterpret_cast<int (*)(int, int)>(lib.Resolve("KvTestAdd"));
  ASSERT_NE(nullptr, add);
  EXPECT_EQ(5, add(2, 3));

  EXPECT_EQ(nullptr, lib.Resolve("KvNoSuchExport"));
  EXPECT_FALSE(lib.ErrorString().isEmpty());

  EXPECT_TRUE(lib.Unload());
  EXPECT_FALSE(lib.IsLoaded());
  EXPECT_FALSE(lib.Unload());
  EXPECT_EQ(nullptr, lib.Resolve("KvTestAnswer"));
  // And again: a released library can be loaded anew.
  ASSERT_TRUE(lib.Load(QStringLiteral(KV_TEST_LIBRARY)));
  EXPECT_NE(nullptr, lib.Resolve("KvTestAnswer"));
  EXPECT_TRUE(lib.Unload());
}

TEST(DynamicLibrary, FilesThatAreNoLibrariesFailWithAReason) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString fake = dir.filePath(QStringLiteral("fake.so"));
  Touch(fake);
  QFile empty(dir.filePath(QStringLiteral("empty.so")));
  ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
  empty.close();
  for (const QString& path : {fake, empty.fileName(), dir.filePath(QStringLiteral("missing.so")), dir.path()}) {
    CDynamicLibrary lib;
    EXPECT_FALSE(lib.Load(path)) << path.toStdString();
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_FALSE(lib.ErrorString().isEmpty()) << path.toStdString();
    EXPECT_EQ(nullptr, lib.Resolve("KvTestAnswer"));
  }
}

#if defined(KV_UNRESOLVED_LIBRARY)
// All symbols are resolved at load time, so a library that needs a missing host function is
// refused up front instead of failing (or crashing) at its first call.
TEST(DynamicLibrary, MissingSymbolsFailAtLoad) {
  CDynamicLibrary lib;
  EXPECT_FALSE(lib.Load(QStringLiteral(KV_UNRESOLVED_LIBRARY)));
  EXPECT_TRUE(lib.ErrorString().contains(QStringLiteral("KvFunctionThatDoesNotExist")))
      << lib.ErrorString().toStdString();
}
#endif

}  // namespace
