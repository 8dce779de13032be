// Save As and the result exports that take their content from the document: which writer a
// box's Save As picks for the chosen file and filter, and the writers of the document's match,
// split and replace results. The file contents and the write itself are the export's
// (app/document/files/result_export.h); a write that failed is reported to the user through
// the document.
//
// Covered by app/document/files/tests/result_export_test.cpp.
#ifndef KORVANE_SAVE_AS_H
#define KORVANE_SAVE_AS_H

#include <QString>
#include <QStringView>

#include "app/document/files/result_export.h"

class CKorvaneDoc;

// The boxes that offer Save As, each with its own filter list (the string ids are in
// korvane_ids.h: subject text IDS_FILTER_SAVE_TEXT, replace result
// IDS_FILTER_SAVE_REPLACE_RESULT, split result IDS_FILTER_SAVE_SPLIT_RESULT, pattern and
// replace-to IDS_FILTER_SAVE_PATTERN).
enum class ESaveAsBox { SubjectText, ReplaceResult, SplitResult, Pattern, ReplaceTo };
enum class ESaveAsKind { Workspace, MatchResult, SplitResult, ReplaceResult, TextFile };

struct SaveAsChoice {
  QString path;  // with the filter's extension added when the user typed none
  ESaveAsKind kind;
};

class CSaveAs {
 public:
  // What the box's Save As does for the chosen file and filter (counted from 1).
  static SaveAsChoice Choose(ESaveAsBox box, int filterIndex, const QString& path);
  // Chooses, then writes: the workspace (through the document, which then has that file), a
  // result export, or `boxText` as a text file. Returns whether a file was written. A write
  // that failed is reported to the user through the document (ReportWriteFailure).
  static bool Run(CKorvaneDoc& doc, ESaveAsBox box, int filterIndex, const QString& path, QStringView boxText);
  // Whether the file name (not the folders) has an extension.
  static bool HasExtension(const QString& path);

  // --- the document's writers; true when a file was written ---
  // `reason` receives the system's reason when a write failed, and is emptied when nothing was
  // written because there was nothing to write.
  // Nothing is written when the results list is empty.
  static bool SaveMatchResult(const CKorvaneDoc& doc, const QString& path, QString* reason = nullptr);
  static bool SaveSplitResult(const CKorvaneDoc& doc, const QString& path, QString* reason = nullptr);
  // Nothing is written when the replace result has no segment.
  static bool SaveReplaceResult(const CKorvaneDoc& doc, const QString& path, QString* reason = nullptr);
};

#endif
