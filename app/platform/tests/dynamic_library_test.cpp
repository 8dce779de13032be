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

#if defined(__linux__)
// A library cut short (an interrupted copy) is refused with a reason. Handed to the system
// loader, most such files kill the process with SIGBUS when the loader touches a mapped page
// past the end of the file; the cuts below all fall inside the library's loaded parts.
TEST(DynamicLibrary, TruncatedLibrariesAreRefusedBeforeTheLoaderSeesThem) {
  QFile whole(QStringLiteral(KV_TEST_LIBRARY));
  ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
  const QByteArray bytes = whole.readAll();
  ASSERT_GT(bytes.size(), 12000);
  EXPECT_EQ(QString(), CDynamicLibrary::CheckComplete(QStringLiteral(KV_TEST_LIBRARY)));
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (int cut : {64, 100, 1024, 4096, 8192, 12000}) {
    const QString path = dir.filePath(QStringLiteral("cut%1.so").arg(cut));
    QFile part(path);
    ASSERT_TRUE(part.open(QIODevice::WriteOnly));
    part.write(bytes.left(cut));
    part.close();
    CDynamicLibrary lib;
    EXPECT_FALSE(lib.Load(path)) << cut;
    EXPECT_FALSE(lib.IsLoaded()) << cut;
    EXPECT_TRUE(lib.ErrorString().contains(QLatin1String("truncated"))) << cut << ": " << lib.ErrorString().toStdString();
  }
  // Too short for a header, or no ELF file at all: the system loader refuses those by itself,
  // in its own words.
  for (const QByteArray& start : {bytes.left(16), QByteArray("\x7f" "ELF"), QByteArray("not a library")}) {
    const QString path = dir.filePath(QStringLiteral("short.so"));
    QFile part(path);
    ASSERT_TRUE(part.open(QIODevice::WriteOnly | QIODevice::Truncate));
    part.write(start);
    part.close();
    EXPECT_EQ(QString(), CDynamicLibrary::CheckComplete(path));
    CDynamicLibrary lib;
    EXPECT_FALSE(lib.Load(path));
    EXPECT_FALSE(lib.ErrorString().isEmpty());
  }
}
#endif

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
