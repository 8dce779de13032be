// Covered by app/document/files/tests/test_io_test.cpp.
#include "app/document/files/test_io.h"

#include <QStringDecoder>

#include "app/document/files/result_export.h"
#include "korvane_ids.h"
#include "platform/code_page.h"
#include "platform/file_io.h"
#include "stringtable.h"

namespace {

TestText Units(QStringView s) { return TestText(s.utf16(), s.utf16() + s.size()); }
TestCase NewTest(QStringView subject, int number) {
  TestCase t;
  t.name = Units(CStringTable::FormatStrings(CStringTable::Str(IDS_TEST_NEW_NAME), {QString::number(number)}));
  t.SetSubject(Units(subject));
  return t;
}

QString OptionLetters(const TestCase& t) {
  if (!t.ownOptions) return QString();
  static const struct {
    int flag;
    char letter;
  } kLetters[] = {{IGNORECASE, 'i'}, {SINGLELINE, 's'}, {MULTILINE, 'm'},
                  {GLOBAL, 'g'},     {RIGHTTOLEFT, 'r'}, {EXTENDED, 'x'}};
  QString out;
  for (const auto& l : kLetters)
    if (t.flags & l.flag) out += QLatin1Char(l.letter);
  return out;
}

}  // namespace

QString CTestIo::DecodeText(const QByteArray& bytes) {
  if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xEF\xBB\xBF")) {
    const auto encoding = QStringConverter::encodingForData(bytes);
    if (encoding) {
      QStringDecoder decoder(*encoding);
      return decoder.decode(bytes);
    }
  }
  QStringDecoder utf8(QStringConverter::Utf8);
  const QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  return CCodePage::ToUtf16(bytes);
}

TestSet CTestIo::FromText(const QString& text, bool perLine, int firstNumber) {
  TestSet out;
  if (!perLine) {
    out.push_back(NewTest(text, firstNumber));
    return out;
  }
  int number = firstNumber;
  for (const QString& line : CCodePage::SplitLines(text)) {
    if (line.isEmpty()) continue;
    out.push_back(NewTest(line, number++));
  }
  return out;
}

TestSet CTestIo::FromClips(const CTextClipList& clips) {
  TestSet out;
  for (const TextClip& c : clips.Clips()) {
    TestCase t;
    if (!c.name.empty()) {
      t.name = c.name;
    } else {
      const QString first = CCodePage::SplitLines(FromUnits(c.text)).value(0);
      t.name = Units(QStringView(first).left(60));
    }
    t.SetSubject(c.text);
    out.push_back(std::move(t));
  }
  return out;
}

bool CTestIo::ImportFile(const QString& path, bool perLine, int firstNumber, TestSet* out, QString* reason) {
  QByteArray bytes;
  QString detail;
  const EFileError e = CFileIo::ReadAll(path, kImportLimit, &bytes, &detail);
  if (e != EFileError::None) {
    if (reason)
      *reason = e == EFileError::TooLarge
                    ? CStringTable::FormatStrings(CStringTable::Str(IDS_REASON_FILE_TOO_LARGE),
                                                  {QString::number(kImportLimit >> 20)})
                    : detail.isEmpty() ? CStringTable::Str(IDS_REASON_NO_SUCH_FILE) : detail;
    return false;
  }
  *out = FromText(DecodeText(bytes), perLine, firstNumber);
  return true;
}

QByteArray CTestIo::Csv(const TestSet& tests, const std::vector<TestResult>& results) {
  const CStringTable& table = CStringTable::Current();
  QByteArray out;
  QStringList header;
  for (int i = 0; i < 8; ++i) header << CResultExport::QuotedField(table.GetField(IDS_TEST_CSV_HEADER, i));
  out += CCodePage::ForReadableFile(header.join(QLatin1Char(','))) + "\r\n";
  for (size_t i = 0; i < tests.size(); ++i) {
    const TestCase& t = tests[i];
    const TestResult r = i < results.size() ? results[i] : TestResult();
    QStringList fields;
    fields << FromUnits(t.name) << table.GetField(IDS_TEST_EXPECTATION_WORDS, t.expectation) << OptionLetters(t)
           << table.GetField(IDS_TEST_STATUS_WORDS, r.status) << r.reason
           << (r.status == TEST_NOT_RUN ? QString() : QString::number(r.steps))
           << (r.status == TEST_NOT_RUN ? QString() : QString::number(r.seconds, 'f', 4)) << FromUnits(t.Subject());
    for (QString& f : fields) f = CResultExport::QuotedField(f);
    out += CCodePage::ForReadableFile(fields.join(QLatin1Char(','))) + "\r\n";
  }
  return out;
}

bool CTestIo::ExportCsv(const QString& path, const TestSet& tests, const std::vector<TestResult>& results,
                        QString* reason) {
  const QByteArray csv = Csv(tests, results);
  QString detail;
  if (CFileIo::WriteAll(path, QByteArrayView(csv), &detail) != EFileError::None) {
    if (reason) *reason = detail;
    return false;
  }
  return true;
}
