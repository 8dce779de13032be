// The frame's file commands: Open, Save, Save As, the recent files and the command line.
// Covered by app/ui/tests/frame_test.cpp (file rows).
#include <QFileDialog>
#include <QFileInfo>

#include "app/ui/main_frame.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "stringtable.h"

namespace {
QString FileMessage(int id, const QString& path) {
  QString text = CStringTable::Str(id);
  if (text.contains(QStringLiteral("%s"))) return text.replace(QStringLiteral("%s"), path);
  return QStringLiteral("%1\n%2").arg(path, text);
}
}  // namespace

bool CMainFrame::OpenDocumentFile(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile()) {
    // Nothing to read: say so, and start from an empty document.
    MessageBox(FileMessage(IDS_MSG_OPEN_FAILED, path), CStringTable::Str(IDS_APP_NAME), ICON_WARNING, BUTTONS_OK);
    m_recent.Remove(path);
    m_pDoc->OnNewDocument();
    ClearDocumentPath();
    AfterDocumentLoaded();
    return false;
  }
  const bool ok = m_pDoc->OnOpenDocument(info.absoluteFilePath());
  if (ok) {
    m_pDoc->SetModified(false);
    m_recent.Add(info.absoluteFilePath());
    m_recent.Save(*m_pProfile);
  } else {
    // The document showed its message; what is left of it must not pass for the file.
    m_pDoc->OnNewDocument();
    ClearDocumentPath();
  }
  // The loaded mode brings its own layout and pane shares.
  LoadModeLayout(m_pDoc->GetMode());
  AfterDocumentLoaded();
  return ok;
}

void CMainFrame::OpenDocumentDialog() {
  if (!AskToSave()) return;
  const QStringList filters = CStringTable::ToQtFilters(CStringTable::Str(IDS_FILTER_WORKSPACE));
  const QString path = QFileDialog::getOpenFileName(this, QString(), QString(), filters.join(QStringLiteral(";;")));
  if (!path.isEmpty()) OpenDocumentFile(path);
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
