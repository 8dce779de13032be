// Importing test subjects from text files and clips, exporting tests with results as CSV.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/document/files/test_io.h"
#include "platform/file_io.h"
#include "stringtable.h"

namespace {

TestText U(const std::string& s) { return TestText(s.begin(), s.end()); }
std::string S(const TestText& t) { return QString(reinterpret_cast<const QChar*>(t.data()), qsizetype(t.size())).toStdString(); }

std::vector<std::string> Subjects(const TestSet& set) {
  std::vector<std::string> out;
  for (const TestCase& t : set) out.push_back(S(t.Subject()));
  return out;
}

class TestIo : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
};

TEST_F(TestIo, TextsBecomeOneTestPerLineOrOneForTheWhole) {
  struct Case {
    QString text;
    std::vector<std::string> perLine;
  };
  const std::vector<Case> cases = {
      {QStringLiteral("a\r\nb\nc\rd"), {"a", "b", "c", "d"}},
      {QStringLiteral("\n\nx\n\n"), {"x"}},
      {QStringLiteral(""), {}},
      {QStringLiteral("one line"), {"one line"}},
  };
  for (const Case& c : cases) {
    const TestSet lines = CTestIo::FromText(c.text, true, 4);
    EXPECT_EQ(c.perLine, Subjects(lines)) << c.text.toStdString();
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ("Test " + std::to_string(4 + i), S(lines[i].name));
      EXPECT_EQ(EXPECT_MATCH, lines[i].expectation);
      EXPECT_FALSE(lines[i].ownOptions);
    }
    const TestSet whole = CTestIo::FromText(c.text, false, 1);
    ASSERT_EQ(1u, whole.size());
    EXPECT_EQ(c.text.toStdString(), S(whole[0].Subject()));
  }
}

TEST_F(TestIo, FilesAreDecodedByTheirMarkOrAsUtf8OrTheCodePage) {
  const QString han = QString::fromUtf8("\xe4\xb8\xad");
  struct Case {
    const char* what;
    QByteArray bytes;
    QString text;
  };
  const std::vector<Case> cases = {
      {"utf-16le", QByteArray("\xFF\xFE\x2D\x4E\x0A\x00", 6), han + QLatin1Char('\n')},
      {"utf-16be", QByteArray("\xFE\xFF\x4E\x2D", 4), han},
      {"utf-8 with mark", QByteArray("\xEF\xBB\xBF\xe4\xb8\xad"), han},
      {"utf-8", QByteArray("a\xe4\xb8\xad"), QStringLiteral("a") + han},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, CTestIo::DecodeText(c.bytes)) << c.what;
  // Not UTF-8: the code page decides, and nothing is lost before the bad byte.
  const QString latin = CTestIo::DecodeText(QByteArray("ab\xff"));
  EXPECT_TRUE(latin.startsWith(QStringLiteral("ab")));
  EXPECT_EQ(3, latin.size());

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("subjects.txt"));
  ASSERT_EQ(EFileError::None, CFileIo::WriteAll(path, QByteArrayView("x1\r\ny2\r\n")));
  TestSet set;
  QString reason;
  ASSERT_TRUE(CTestIo::ImportFile(path, true, 1, &set, &reason));
  EXPECT_EQ((std::vector<std::string>{"x1", "y2"}), Subjects(set));
  EXPECT_FALSE(CTestIo::ImportFile(dir.filePath(QStringLiteral("missing.txt")), true, 1, &set, &reason));
  EXPECT_FALSE(reason.isEmpty());
}

TEST_F(TestIo, ClipsBecomeTestsNamedAfterThemOrTheirFirstLine) {
  CTextClipList clips;
  clips.AddClip(U("first\nsecond"), U(""));
  clips.AddClip(U("body"), U("named"));
  const TestSet set = CTestIo::FromClips(clips);
  ASSERT_EQ(2u, set.size());
  EXPECT_EQ("first", S(set[0].name));
  EXPECT_EQ("first\nsecond", S(set[0].Subject()));
  EXPECT_EQ("named", S(set[1].name));
  EXPECT_EQ("body", S(set[1].Subject()));
}

TEST_F(TestIo, CsvHasAHeaderAndOneQuotedLinePerTest) {
  TestCase a;
  a.name = U("say \"hi\"");
  a.SetSubject(U("l1\nl2"));
  a.expectation = EXPECT_NO_MATCH;
  TestCase b;
  b.name = U("own");
  b.ownOptions = true;
  b.flags = IGNORECASE | MULTILINE;
  b.expectation = EXPECT_SPLIT;
  TestCase c;
  c.name = U("pending");
  std::vector<TestResult> results(2);
  results[0].status = TEST_FAIL;
  results[0].reason = QStringLiteral("expected no match, found one at 0-1");
  results[0].steps = 12;
  results[1].status = TEST_PASS;
  const QByteArray csv = CTestIo::Csv({a, b, c}, results);
  const QList<QByteArray> lines = csv.split('\n');
  ASSERT_GE(lines.size(), 5) << csv.toStdString();
  EXPECT_EQ("\"Name\",\"Expectation\",\"Options\",\"Result\",\"Reason\",\"Steps\",\"Seconds\",\"Subject\"\r",
            lines[0].toStdString());
  EXPECT_TRUE(lines[1].startsWith("\"say \"\"hi\"\"\",\"does not match\",\"\",\"failed\",\"expected no match, found one "
                                  "at 0-1\",\"12\",\""))
      << lines[1].toStdString();
  EXPECT_TRUE(lines[1].endsWith("\"l1\r")) << "the subject's line break becomes CR LF inside its field";
  EXPECT_EQ("l2\"\r", lines[2].toStdString());
  EXPECT_TRUE(lines[3].startsWith("\"own\",\"split pieces\",\"im\",\"passed\"")) << lines[3].toStdString();
  // A test without a result (the run has not reached it): no steps, no time.
  EXPECT_EQ("\"pending\",\"matches\",\"\",\"not run\",\"\",\"\",\"\",\"\"\r", lines[4].toStdString());
  EXPECT_TRUE(csv.endsWith("\r\n"));
}

TEST_F(TestIo, AnExportThatCannotBeWrittenSaysWhy) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QString reason;
  EXPECT_FALSE(CTestIo::ExportCsv(dir.filePath(QStringLiteral("no/folder/out.csv")), {}, {}, &reason));
  EXPECT_FALSE(reason.isEmpty());
  const QString path = dir.filePath(QStringLiteral("out.csv"));
  ASSERT_TRUE(CTestIo::ExportCsv(path, {}, {}, &reason));
  QByteArray bytes;
  ASSERT_EQ(EFileError::None, CFileIo::ReadAll(path, 1 << 20, &bytes));
  EXPECT_TRUE(bytes.startsWith("\"Name\""));
}

}  // namespace
