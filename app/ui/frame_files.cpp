// The frame's file commands: Open, Save, Save As, the recent files and the command line.
// Workspace reading and writing are not wired in yet: opening a file says it could not be
// opened and leaves an empty document; saving says it failed.
#include <QFileInfo>

#include "app/ui/main_frame.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "stringtable.h"

namespace {
QString FileMessage(int id, const QString& path) {
  return QStringLiteral("%1\n%2").arg(path, CStringTable::Str(id));
}
}  // namespace

bool CMainFrame::OpenDocumentFile(const QString& path) {
  MessageBox(FileMessage(IDS_MSG_OPEN_FAILED, path), CStringTable::Str(IDS_APP_NAME), ICON_WARNING, BUTTONS_OK);
  m_pDoc->OnNewDocument();
  AfterDocumentLoaded();
  return false;
}

void CMainFrame::OpenDocumentDialog() {
  MessageBox(CStringTable::Str(IDS_MSG_OPEN_FAILED), CStringTable::Str(IDS_APP_NAME), ICON_WARNING, BUTTONS_OK);
}

bool CMainFrame::SaveDocument(bool askName) {
  MessageBox(CStringTable::Str(IDS_MSG_SAVE_FAILED), CStringTable::Str(IDS_APP_NAME), ICON_WARNING, BUTTONS_OK);
  return false;
}

QString CMainFrame::DocumentPath() const { return QString(); }
void CMainFrame::ClearDocumentPath() {}
void CMainFrame::CheckClips() {}
