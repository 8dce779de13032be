// Covered by app/document/files/tests/result_export_test.cpp.
#include "app/document/core/save_as.h"

#include <algorithm>

#include "app/document/core/korvane_doc.h"

namespace {

bool Nothing(QString* reason) {
  if (reason) reason->clear();
  return false;
}

}  // namespace

bool CSaveAs::SaveMatchResult(const CKorvaneDoc& doc, const QString& path, QString* reason) {
  const std::vector<MatchHandle> results = doc.GetResults();
  if (results.empty()) return Nothing(reason);
  const std::vector<unsigned short>& subject = doc.GetSubjectText();
  return CResultExport::WriteFile(
      path,
      CResultExport::MatchResultFile(results, subject.data(), static_cast<int>(subject.size()),
                                     (doc.GetFlags() & RIGHTTOLEFT) != 0, CResultExport::IsCsvPath(path)),
      reason);
}

bool CSaveAs::SaveSplitResult(const CKorvaneDoc& doc, const QString& path, QString* reason) {
  const std::vector<MatchHandle> results = doc.GetResults();
  if (results.empty()) return Nothing(reason);
  const std::vector<unsigned short>& subject = doc.GetSubjectText();
  return CResultExport::WriteFile(
      path,
      CResultExport::SplitResultFile(results, doc.GetCurrentResult(), subject.data(),
                                     static_cast<int>(subject.size()), (doc.GetFlags() & RIGHTTOLEFT) != 0,
                                     CResultExport::IsCsvPath(path)),
      reason);
}

bool CSaveAs::SaveReplaceResult(const CKorvaneDoc& doc, const QString& path, QString* reason) {
  if (doc.GetReplaceResult().Segments().empty()) return Nothing(reason);
  const QByteArray content = CResultExport::ReplaceResultFile(doc.GetReplaceResult(), doc.GetSubjectText().data(),
                                                              CResultExport::IsCsvPath(path));
  return CResultExport::WriteFile(path, content, reason);
}

bool CSaveAs::HasExtension(const QString& path) {
  qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
#if defined(Q_OS_WIN)
  nameStart = std::max(nameStart, path.lastIndexOf(QLatin1Char('\\')) + 1);
#endif
  return path.lastIndexOf(QLatin1Char('.')) > nameStart;
}

SaveAsChoice CSaveAs::Choose(ESaveAsBox box, int filterIndex, const QString& path) {
  // The extension each filter adds when none was typed, by box; filters count from 1.
  static const char* const kSubject[] = {".txt", ".csv", ".csv", ".rws", ".txt"};
  static const char* const kReplace[] = {".txt", ".csv", ".rws", ".txt"};
  static const char* const kSplit[] = {".csv", ".rws", ".csv"};
  static const char* const kPattern[] = {".txt", ".rws", ".txt"};
  const char* const* added = kPattern;
  int filters = 3;
  switch (box) {
    case ESaveAsBox::SubjectText: added = kSubject; filters = 5; break;
    case ESaveAsBox::ReplaceResult: added = kReplace; filters = 4; break;
    case ESaveAsBox::SplitResult: added = kSplit; filters = 3; break;
    case ESaveAsBox::Pattern:
    case ESaveAsBox::ReplaceTo: break;
  }
  SaveAsChoice choice{path, ESaveAsKind::TextFile};
  if (!HasExtension(path) && filterIndex >= 1 && filterIndex <= filters)
    choice.path += QLatin1String(added[filterIndex - 1]);
  if (CResultExport::IsWorkspacePath(choice.path)) {
    choice.kind = ESaveAsKind::Workspace;
    return choice;
  }
  const bool csv = CResultExport::IsCsvPath(choice.path);
  switch (box) {
    case ESaveAsBox::SubjectText:
      if (filterIndex == 2 || (filterIndex != 3 && csv))
        choice.kind = ESaveAsKind::MatchResult;
      else if (filterIndex == 3)
        choice.kind = ESaveAsKind::SplitResult;
      break;
    case ESaveAsBox::ReplaceResult:
      if (filterIndex == 2 || csv) choice.kind = ESaveAsKind::ReplaceResult;
      break;
    case ESaveAsBox::SplitResult: choice.kind = ESaveAsKind::SplitResult; break;
    case ESaveAsBox::Pattern:
    case ESaveAsBox::ReplaceTo: break;
  }
  return choice;
}

bool CSaveAs::Run(CKorvaneDoc& doc, ESaveAsBox box, int filterIndex, const QString& path, QStringView boxText) {
  const SaveAsChoice choice = Choose(box, filterIndex, path);
  QString reason;
  bool written = false;
  switch (choice.kind) {
    case ESaveAsKind::Workspace: return doc.OnSaveDocument(choice.path);  // reports its own failure
    case ESaveAsKind::MatchResult: written = SaveMatchResult(doc, choice.path, &reason); break;
    case ESaveAsKind::SplitResult: written = SaveSplitResult(doc, choice.path, &reason); break;
    case ESaveAsKind::ReplaceResult: written = SaveReplaceResult(doc, choice.path, &reason); break;
    case ESaveAsKind::TextFile: written = CResultExport::SaveTextFile(choice.path, boxText, &reason); break;
  }
  // Nothing to export is no failure; a write that failed is, and the user chose the file.
  if (!written && !reason.isEmpty()) doc.ReportWriteFailure(choice.path, reason);
  return written;
}
