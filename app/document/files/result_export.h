// Result exports and the Save As choices of the views.
//
// Export files are for people: every piece of text is converted on its own to the system code
// page (platform/code_page.h) after its line breaks (CR LF, LF CR, lone CR, lone LF) became
// CR LF, and every line ends with CR LF. Result files and text files are written to a new file
// beside the target and renamed into place (CFileIo::WriteAll), so a failed write leaves the
// old file as it was; the writers say whether they wrote and why not, and Save As tells the
// user about a write that failed. The writers that take their content from the document, and
// Save As, are the document's (app/document/core/save_as.h); this folder knows no document.
//
// Covered by app/document/files/tests/result_export_test.cpp.
#ifndef KORVANE_RESULT_EXPORT_H
#define KORVANE_RESULT_EXPORT_H

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <vector>

#include "app/document/matching/match_record.h"
#include "app/document/matching/replace_result.h"

class CResultExport {
 public:
  // Whether the last four characters are ".csv" / ".rws", in any case.
  static bool IsCsvPath(const QString& path);
  static bool IsWorkspacePath(const QString& path);

  // --- the file contents (no file is touched) ---
  // One line per real match in text order (the not-matched sentinel is skipped): the matched
  // text, or for CSV the match and then each group 1 .. the highest group number as quoted
  // fields ("" for a group that did not capture).
  static QByteArray MatchResultFile(const std::vector<MatchHandle>& results, const unsigned short* subject,
                                    int subjectLength, bool rightToLeft, bool csv);
  // One line per piece of the subject between the results, in text order; see the .cpp for
  // where the pieces of an unfinished search end.
  static QByteArray SplitResultFile(const std::vector<MatchHandle>& results, const MatchHandle& current,
                                    const unsigned short* subject, int subjectLength, bool rightToLeft,
                                    bool csv);
  // One line per segment of the replace result: its replacement text.
  static QByteArray ReplaceResultFile(const ReplaceResult& replace, const unsigned short* subject, bool csv);
  // The text's lines, each converted on its own, joined by CR LF; the last line has no line end.
  static QByteArray TextFile(QStringView text);
  // A quoted field: the text with each double quote doubled, between double quotes.
  static QString QuotedField(QStringView text);

  // --- writing; true when a file was written ---
  // `reason` receives the system's reason when a write failed.
  // `bytes` written to `path` through a new file renamed into place (CFileIo::WriteAll).
  static bool WriteFile(const QString& path, const QByteArray& bytes, QString* reason = nullptr);
  static bool SaveTextFile(const QString& path, QStringView text, QString* reason = nullptr);
};

#endif
