// Tests of CFileIo: reads with a size limit, writes that replace a file only when complete,
// deletion, and the UTF-16LE format.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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
