// Tests of CFileIo: reads with a size limit, writes that replace a file only when complete (every
// step of a write failed in turn through the fault plan, and a real "file too large"), stamps,
// deletion, and the UTF-16LE format.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#if defined(__unix__)
#include <csignal>
#include <sys/resource.h>
#endif

#include "platform/file_io.h"

namespace {

void WriteRaw(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(bytes.size(), f.write(bytes));
}

QByteArray ReadRaw(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

class FileIo : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
  QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
  QTemporaryDir m_dir;
};

// --- Reading with a limit --------------------------------------------------------------------

struct LimitCase {
  qint64 size;
  qint64 limit;
  EFileError expected;
};

TEST_F(FileIo, ReadAllHonoursTheLimit) {
  const LimitCase cases[] = {
      {0, 0, EFileError::None},          {0, 10, EFileError::None},
      {10, 10, EFileError::None},        {11, 10, EFileError::TooLarge},
      {10, 0, EFileError::TooLarge},     {10, -1, EFileError::TooLarge},
      {300000, 300000, EFileError::None}, {300001, 300000, EFileError::TooLarge},
  };
  for (const LimitCase& c : cases) {
    QByteArray content(c.size, Qt::Uninitialized);
    for (qint64 i = 0; i < c.size; ++i) content[i] = char(i * 7 + 1);
    WriteRaw(Path("f.bin"), content);
    QByteArray data("left over");
    EXPECT_EQ(c.expected, CFileIo::ReadAll(Path("f.bin"), c.limit, &data)) << c.size << "/" << c.limit;
    if (c.expected == EFileError::None)
      EXPECT_EQ(content, data);
    else
      EXPECT_TRUE(data.isEmpty());
  }
}

TEST_F(FileIo, ReadAllReportsMissingFilesAndFolders) {
  QByteArray data;
  EXPECT_EQ(EFileError::NotFound, CFileIo::ReadAll(Path("missing"), 100, &data));
  EXPECT_EQ(EFileError::OpenFailed, CFileIo::ReadAll(m_dir.path(), 100, &data));
}

#if defined(__linux__)
// A device of endless length has size 0 up front; the limit must still stop the read.
TEST_F(FileIo, ReadAllStopsOnEndlessFiles) {
  QByteArray data;
  EXPECT_EQ(EFileError::TooLarge, CFileIo::ReadAll(QStringLiteral("/dev/zero"), 100000, &data));
  EXPECT_TRUE(data.isEmpty());
}
#endif

// --- Writing ----------------------------------------------------------------------------------

TEST_F(FileIo, WriteAllCreatesAndReplacesLeavingNoTemporaryFiles) {
  ASSERT_EQ(EFileError::None, CFileIo::WriteAll(Path("out.txt"), QByteArray("first version, long")));
  ASSERT_EQ(EFileError::None, CFileIo::WriteAll(Path("out.txt"), QByteArray("second")));
  EXPECT_EQ(QByteArray("second"), ReadRaw(Path("out.txt")));
  EXPECT_EQ(QStringList{QStringLiteral("out.txt")},
            QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot));
  ASSERT_EQ(EFileError::None, CFileIo::WriteAll(Path("empty"), QByteArray()));
  EXPECT_TRUE(QFile::exists(Path("empty")));
  EXPECT_EQ(0, QFile(Path("empty")).size());
}

TEST_F(FileIo, WriteAllFailureLeavesTheOldStateAndSaysWhy) {
  QString detail;
  EXPECT_EQ(EFileError::WriteFailed,
            CFileIo::WriteAll(Path("no/such/folder/x.txt"), QByteArray("x"), &detail));
  EXPECT_FALSE(detail.isEmpty());
  // A folder in the way is not replaced by a file.
  ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("sub")));
  EXPECT_EQ(EFileError::WriteFailed, CFileIo::WriteAll(Path("sub"), QByteArray("x")));
  EXPECT_TRUE(QFileInfo(Path("sub")).isDir());
}

TEST_F(FileIo, RemoveTable) {
  WriteRaw(Path("gone"), "x");
  EXPECT_TRUE(CFileIo::Remove(Path("gone")));
  EXPECT_FALSE(QFile::exists(Path("gone")));
  EXPECT_TRUE(CFileIo::Remove(Path("never-existed")));
  ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
  EXPECT_FALSE(CFileIo::Remove(Path("folder")));
  EXPECT_TRUE(QFileInfo(Path("folder")).isDir());
}

// --- Failing writes ---------------------------------------------------------------------------

// Installs a plan for one scope.
class PlanScope {
 public:
  explicit PlanScope(CFileFaultPlan* plan) { CFileIo::SetFaultPlan(plan); }
  ~PlanScope() { CFileIo::SetFaultPlan(nullptr); }
};

QStringList Listing(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray Pattern(int size, int seed) {
  QByteArray bytes(size, Qt::Uninitialized);
  for (int i = 0; i < size; ++i) bytes[i] = char(i * 31 + seed);
  return bytes;
}

struct StepCase {
  const char* what;
  void (*arm)(CFileFaultPlan* plan, int n);
  int error;
};

// A write that fails at any step leaves the old file byte for byte, removes its new file and
// names the system's reason; n runs over every write call the write makes.
TEST_F(FileIo, AWriteFailingAtAnyStepLeavesTheOldFile) {
  const QByteArray old = Pattern(10000, 1);
  const QByteArray next = Pattern(23456, 2);
  const QString path = Path("w.rws");
  WriteRaw(path, old);
  int calls = 0;
  {
    CFileFaultPlan count;
    count.chunkBytes = 1000;
    PlanScope scope(&count);
    ASSERT_EQ(EFileError::None, CFileIo::WriteAll(path, next));
    calls = count.writeCalls;
    EXPECT_EQ(1, count.commits);
  }
  ASSERT_EQ(24, calls);
  ASSERT_EQ(next, ReadRaw(path));
  WriteRaw(path, old);

  const StepCase steps[] = {
      {"write", [](CFileFaultPlan* p, int n) { p->failWrite = n; }, ENOSPC},
      {"write after a short one", [](CFileFaultPlan* p, int n) { p->shortWrite = n; p->failWrite = n + 1; }, EIO},
      {"flush", [](CFileFaultPlan* p, int) { p->failFlush = true; }, EIO},
      {"close", [](CFileFaultPlan* p, int) { p->failClose = true; }, EDQUOT},
      {"commit", [](CFileFaultPlan* p, int) { p->failCommit = true; }, EACCES},
  };
  for (const StepCase& step : steps) {
    const bool perWrite = step.what[0] == 'w';
    for (int n = 1; n <= (perWrite ? calls : 1); ++n) {
      CFileFaultPlan plan;
      plan.chunkBytes = 1000;
      plan.error = step.error;
      step.arm(&plan, n);
      QString detail;
      {
        PlanScope scope(&plan);
        EXPECT_EQ(EFileError::WriteFailed, CFileIo::WriteAll(path, next, &detail)) << step.what << " " << n;
      }
      EXPECT_EQ(qt_error_string(step.error), detail) << step.what << " " << n;
      EXPECT_EQ(old, ReadRaw(path)) << step.what << " " << n;
      EXPECT_EQ(QStringList{QStringLiteral("w.rws")}, Listing(m_dir.path())) << step.what << " " << n;
    }
  }
}

// A short write is not an error by itself: the rest follows in the next call.
TEST_F(FileIo, ShortWritesAreFollowedByTheRest) {
  const QByteArray next = Pattern(5000, 3);
  for (int n = 1; n <= 5; ++n) {
    CFileFaultPlan plan;
    plan.chunkBytes = 1000;
    plan.shortWrite = n;
    {
      PlanScope scope(&plan);
      ASSERT_EQ(EFileError::None, CFileIo::WriteAll(Path("s.txt"), next)) << n;
    }
    EXPECT_EQ(6, plan.writeCalls) << n;
    EXPECT_EQ(next, ReadRaw(Path("s.txt"))) << n;
  }
}

TEST_F(FileIo, RemoveReportsAFailedDeletion) {
  WriteRaw(Path("keep"), "x");
  CFileFaultPlan plan;
  plan.failCommit = true;
  plan.error = EROFS;
  QString detail;
  {
    PlanScope scope(&plan);
    EXPECT_FALSE(CFileIo::Remove(Path("keep"), &detail));
  }
  EXPECT_EQ(qt_error_string(EROFS), detail);
  EXPECT_EQ(QByteArray("x"), ReadRaw(Path("keep")));
}

#if defined(__unix__)
// The system's own failure in the middle of the data: a file size limit stops the write with
// EFBIG (also for the superuser, whom permissions do not stop), as a full disk does with ENOSPC.
TEST_F(FileIo, ARealFailureInTheMiddleLeavesTheOldFile) {
  const QByteArray old = Pattern(3000, 4);
  WriteRaw(Path("big"), old);
  struct rlimit saved;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
  QString detail;
  const EFileError error = CFileIo::WriteAll(Path("big"), Pattern(10000, 5), &detail);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(EFileError::WriteFailed, error);
  EXPECT_EQ(qt_error_string(EFBIG), detail);
  EXPECT_EQ(old, ReadRaw(Path("big")));
  EXPECT_EQ(QStringList{QStringLiteral("big")}, Listing(m_dir.path()));
}

TEST_F(FileIo, WriteKeepsPermissionsAndLinks) {
  WriteRaw(Path("target"), "old");
  ASSERT_TRUE(QFile::setPermissions(Path("target"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
  ASSERT_TRUE(QFile::link(Path("target"), Path("link")));
  ASSERT_EQ(EFileError::None, CFileIo::WriteAll(Path("link"), QByteArray("new")));
  EXPECT_TRUE(QFileInfo(Path("link")).isSymLink());
  EXPECT_EQ(QByteArray("new"), ReadRaw(Path("target")));
  EXPECT_EQ(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup,
            QFile::permissions(Path("target")) & (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                                  QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
}
#endif

// --- Stamps -------------------------------------------------------------------------------------

TEST_F(FileIo, EveryWriteGivesANewStampAndAReadReportsTheVersionItRead) {
  EXPECT_FALSE(CFileIo::Stamp(Path("st")).IsValid());
  ASSERT_EQ(EFileError::None, CFileIo::WriteAll(Path("st"), QByteArray("same")));
  const FileStamp first = CFileIo::Stamp(Path("st"));
  ASSERT_TRUE(first.IsValid());
  QByteArray data;
  FileStamp read;
  ASSERT_EQ(EFileError::None, CFileIo::ReadAll(Path("st"), 100, &data, nullptr, &read));
  EXPECT_EQ(first, read);
  // The same bytes again, at once: still another version.
  ASSERT_EQ(EFileError::None, CFileIo::WriteAll(Path("st"), QByteArray("same")));
  EXPECT_NE(first, CFileIo::Stamp(Path("st")));
  EXPECT_EQ(EFileError::TooLarge, CFileIo::ReadAll(Path("st"), 2, &data, nullptr, &read));
  EXPECT_FALSE(read.IsValid());
}

// --- UTF-16LE -----------------------------------------------------------------------------------

struct Utf16Case {
  const char* name;
  std::u16string text;
  bool bom;
  QByteArray bytes;
};

TEST(Utf16Le, EncodeTable) {
  const Utf16Case cases[] = {
      {"Empty", u"", false, QByteArray()},
      {"EmptyWithBom", u"", true, QByteArray("\xFF\xFE", 2)},
      {"Ascii", u"A\r\n", false, QByteArray("A\0\r\0\n\0", 6)},
      {"Chinese", u"\u4e2d", false, QByteArray("\x2D\x4E", 2)},
      {"WithBom", u"A", true, QByteArray("\xFF\xFE" "A\0", 4)},
      {"LoneSurrogateKept", std::u16string(1, char16_t(0xDC00)), false, QByteArray("\x00\xDC", 2)},
  };
  for (const Utf16Case& c : cases) {
    const QStringView text(c.text.data(), qsizetype(c.text.size()));
    EXPECT_EQ(c.bytes, CFileIo::EncodeUtf16Le(text, c.bom)) << c.name;
    EXPECT_EQ(text.toString(), CFileIo::DecodeUtf16Le(c.bytes, c.bom)) << c.name;
  }
}

TEST(Utf16Le, DecodeEdgeCases) {
  // An odd trailing byte is ignored.
  EXPECT_EQ(QStringLiteral("A"), CFileIo::DecodeUtf16Le(QByteArray("A\0B", 3)));
  EXPECT_EQ(QString(), CFileIo::DecodeUtf16Le(QByteArray("A", 1)));
  // A byte-order mark is text unless the caller asks to skip it; only a leading one is skipped.
  const QByteArray withBom("\xFF\xFE" "A\0", 4);
  EXPECT_EQ(QString(QChar(0xFEFF)) + QLatin1Char('A'), CFileIo::DecodeUtf16Le(withBom));
  EXPECT_EQ(QStringLiteral("A"), CFileIo::DecodeUtf16Le(withBom, true));
  EXPECT_EQ(QStringLiteral("A"), CFileIo::DecodeUtf16Le(QByteArray("A\0", 2), true));
}

TEST_F(FileIo, Utf16LeFileRoundTripKeepsEveryCodeUnit) {
  QString text;
  for (int u = 0; u < 0x10000; u += 37) text += QChar(char16_t(u));  // includes lone surrogates
  text += QChar(char16_t(0xD800));
  ASSERT_EQ(EFileError::None, CFileIo::WriteUtf16Le(Path("clips"), text));
  EXPECT_EQ(text.size() * 2, QFile(Path("clips")).size());
  QString back;
  ASSERT_EQ(EFileError::None, CFileIo::ReadUtf16Le(Path("clips"), CFileIo::kDefaultReadLimit, &back));
  EXPECT_EQ(text, back);
  EXPECT_EQ(EFileError::TooLarge, CFileIo::ReadUtf16Le(Path("clips"), 10, &back));
  EXPECT_TRUE(back.isEmpty());
  EXPECT_EQ(EFileError::NotFound, CFileIo::ReadUtf16Le(Path("none"), 10, &back));
}

}  // namespace
