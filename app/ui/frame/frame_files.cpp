// The frame's file commands: Open, Save, Save As, the recent files and the command line.
// Covered by app/ui/tests/frame_test.cpp (file rows) and app/ui/tests/open_file_test.cpp.
#include <QFileDialog>
#include <QFileInfo>

#include "app/document/files/workspace_file.h"
#include "app/ui/frame/main_frame.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "stringtable.h"

bool CMainFrame::OpenDocumentFile(const QString& path, bool askToSave) {
  const QString full = QFileInfo(path).absoluteFilePath();
  // The whole file is read and checked before anything of the open workspace is let go of.
  WorkspaceData data;
  QString reason;
  bool ok = CKorvaneDoc::ReadWorkspaceFile(full, &data, &reason);
  if (ok && askToSave) {
    const bool wasModified = m_pDoc->IsModified();
    if (!AskToSave()) return false;
    // Saved over the very file being opened: what is opened is what was just written.
    if (wasModified && !m_pDoc->IsModified() && QFileInfo(DocumentPath()) == QFileInfo(full)) {
      data = WorkspaceData();
      ok = CKorvaneDoc::ReadWorkspaceFile(full, &data, &reason);
    }
  }
  if (!ok) {
    m_pDoc->ReportOpenFailure(full, reason);
    if (!QFileInfo::exists(full)) {  // a recent file that is gone leaves the list
      m_recent.Remove(full);
      m_recent.Save(*m_pProfile);
      UpdateRecentMenu();
    }
    return false;
  }
  m_pDoc->LoadWorkspace(&data);
  m_pDoc->SetPathName(full);
  m_pDoc->SetModified(false);
  m_recent.Add(full);
  m_recent.Save(*m_pProfile);
  // The loaded mode brings its own layout and pane shares.
  LoadModeLayout(m_pDoc->GetMode());
  AfterDocumentLoaded();
  return true;
}

void CMainFrame::OpenDocumentDialog() {
  // The file first, then (once it is known to be a good workspace) the save question.
  QString path;
  if (openPathHook) {
    path = openPathHook();
  } else {
    const QStringList filters = CStringTable::ToQtFilters(CStringTable::Str(IDS_FILTER_WORKSPACE));
    path = QFileDialog::getOpenFileName(this, QString(), QString(), filters.join(QStringLiteral(";;")));
  }
  if (!path.isEmpty()) OpenDocumentFile(path, true);
}

bool CMainFrame::SaveDocument(bool askName) {
  QString path = DocumentPath();
  if (askName || path.isEmpty()) {
    const QStringList filters = CStringTable::ToQtFilters(CStringTable::Str(IDS_FILTER_WORKSPACE));
    QString selected;
    path = QFileDialog::getSaveFileName(this, QString(), path, filters.join(QStringLiteral(";;")), &selected);
    if (path.isEmpty()) return false;
    const QString extension = CStringTable::Current().GetField(IDS_DOC_TEMPLATE, DOC_FIELD_EXTENSION);
    if (QFileInfo(path).suffix().isEmpty() && !extension.isEmpty() && selected == filters.value(0))
      path += extension;
  }
  if (!m_pDoc->OnSaveDocument(path)) return false;
  m_recent.Add(path);
  m_recent.Save(*m_pProfile);
  UpdateRecentMenu();
  UpdateCommandUi();
  return true;
}

QString CMainFrame::DocumentPath() const { return m_pDoc->GetPathName(); }

void CMainFrame::ClearDocumentPath() { m_pDoc->SetPathName(QString()); }

// Clips that another running copy rewrote are picked up whenever the frame gets the focus.
void CMainFrame::CheckClips() { m_pDoc->CheckClipsVersion(); }
