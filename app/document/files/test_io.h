// Test cases in and out of files: test subjects imported from a text file (one test per line,
// or the whole file as one test) or from the text clips, and the tests with their results
// exported as CSV for people (system code page, CR LF line ends, written beside the target and
// renamed into place).
//
// Covered by app/document/files/tests/test_io_test.cpp.
#ifndef KORVANE_TEST_IO_H
#define KORVANE_TEST_IO_H

#include <QByteArray>
#include <QString>
#include <vector>

#include "app/document/files/clips_format.h"
#include "app/document/testing/test_eval.h"

class CTestIo {
 public:
  // The largest text file taken for import.
  static constexpr qint64 kImportLimit = qint64(256) << 20;

  // The text of a file to import: UTF-16 (either byte order) or UTF-8 when the file starts with
  // its byte-order mark, UTF-8 when the bytes are valid UTF-8, else the system code page.
  static QString DecodeText(const QByteArray& bytes);
  // New tests from a text: one per line (lines that are empty are skipped; CR LF, LF and CR all
  // end a line), or the whole text as one test. Each expects a match with the workspace's
  // options and is named "Test N", N counting on from `firstNumber`.
  static TestSet FromText(const QString& text, bool perLine, int firstNumber);
  // One test per clip: its name (the clip's name, or its text's first line when it has none)
  // and its text.
  static TestSet FromClips(const CTextClipList& clips);
  // Reads a file and makes tests of it. False with the system's reason in `reason` when the
  // file cannot be read (or is larger than kImportLimit).
  static bool ImportFile(const QString& path, bool perLine, int firstNumber, TestSet* out, QString* reason);

  // The CSV: a header line, then one line per test: name, expectation, options (empty for the
  // workspace's, else the letters i s m g r x of its own), result, reason, steps, seconds,
  // subject. Every field is quoted.
  static QByteArray Csv(const TestSet& tests, const std::vector<TestResult>& results);
  // Writes the CSV; false with the system's reason when the file cannot be written (the old file
  // is then as it was).
  static bool ExportCsv(const QString& path, const TestSet& tests, const std::vector<TestResult>& results,
                        QString* reason);
};

#endif
