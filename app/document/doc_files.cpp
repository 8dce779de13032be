// CKorvaneDoc: snapshots, workspace files, the text clips' version check and their messages. The formats are in
// snapshot.h, workspace_file.h and text_clips.h. Covered by app/document/tests/doc_files_test.cpp.
#include <QDir>
#include <ctime>

#include "app/document/korvane_doc.h"
#include "app/document/breakpoints.h"
#include "app/document/workspace_file.h"
#include "korvane_ids.h"
#include "platform/file_io.h"
#include "stringtable.h"

namespace {

std::vector<unsigned short> Units(const QString& s) {
  return std::vector<unsigned short>(s.utf16(), s.utf16() + s.size());
}

// The message of a failed open or save: the file, then the string table's text (as the frame
// words its own file messages).
QString FileMessage(int textId, const QString& path) {
  return QDir::toNativeSeparators(path) + QLatin1Char('\n') + CStringTable::Str(textId);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Snapshots

int CKorvaneDoc::AddSnapshot(const std::vector<unsigned short>& name) {
  const int id = m_snapshots.Add(m_pattern.pattern, m_pattern.flags, name, static_cast<std::int64_t>(std::time(nullptr)));
  if (Snapshot* s = m_snapshots.Lookup(id)) s->tests = m_tests;
  m_bModified = true;
  return id;
}

bool CKorvaneDoc::AddSnapshotWithDialog() {
  if (!m_pUi) return false;
  char stamp[128] = "";
  const std::time_t now = std::time(nullptr);
  std::tm local;
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  const QByteArray format = CStringTable::Str(IDS_FMT_SNAPSHOT_DEFAULT_NAME).toUtf8();
  std::strftime(stamp, sizeof stamp, format.constData(), &local);
  QString name = QString::fromUtf8(stamp);
  if (!m_pUi->AskName(name)) return false;
  AddSnapshot(Units(name));
  Notify(nullptr, HINT_SNAPSHOT_TREE | HINT_CURRENT_SNAPSHOT);
  return true;
}

void CKorvaneDoc::SwitchToSnapshot(int id) {
  const Snapshot* s = m_snapshots.Lookup(id);
  if (!s) return;
  const std::vector<unsigned short> pattern = s->pattern;  // SetPattern must not read the record
  // The snapshot's tests replace the current ones; the test edit history belongs to the set
  // that is left.
  m_tests = s->tests ? s->tests : std::make_shared<const TestSet>();
  ResetTestHistory();
  Reset();  // the worker reads the flags: stop it before they change (SetPattern would be late)
  m_pattern.flags = s->flags;
  SetPattern(pattern.data(), static_cast<int>(pattern.size()), true);  // starts the tests' run
  m_snapshots.SetCurrent(id);
}

void CKorvaneDoc::SetSnapshotName(int id, const std::vector<unsigned short>& name) {
  m_snapshots.SetName(id, name);
  m_bModified = true;
}

void CKorvaneDoc::DeleteSnapshot(int id, bool withSubtree) {
  if (m_snapshots.Delete(id, withSubtree)) m_bModified = true;
}

// ---------------------------------------------------------------------------------------------
// Workspace files

std::string CKorvaneDoc::WorkspaceBytes() const {
  WorkspaceData data;
  data.mode = m_nMode;
  data.patternShare = m_fPatternShare;
  data.textShare = m_fTextShare;
  data.flags = m_pattern.flags;
  data.pattern = m_pattern.pattern;
  data.subject = m_subject;
  data.replaceTo = m_replaceTo;
  data.tests = m_tests;
  data.classic = m_bClassic;
  if (m_pStops)
    for (const Breakpoint& b : m_pStops->List()) data.breakpoints.push_back(WorkspaceBreakpoint{b.start, b.end, b.condition, b.value});
  return CWorkspaceFile::Write(data, m_snapshots);
}

bool CKorvaneDoc::LoadWorkspaceBytes(const unsigned char* bytes, size_t size) {
  Clear();
  WorkspaceData data;
  const bool ok = CWorkspaceFile::Read(bytes, size, &data) == EWorkspaceError::None;
  if (ok) {
    m_fPatternShare = data.patternShare;
    m_fTextShare = data.textShare;
    m_pattern.flags = data.flags;
    m_pattern.pattern = std::move(data.pattern);
    m_subject = std::move(data.subject);
    m_replaceTo = std::move(data.replaceTo);
    m_snapshots.LoadRecords(data.snapshots, data.currentSnapshot);
    if (data.tests) m_tests = data.tests;
    m_bClassic = data.classic;
    m_ctx.m_bClassic = data.classic;
    if (!data.breakpoints.empty()) {
      std::vector<Breakpoint> list;
      for (const WorkspaceBreakpoint& b : data.breakpoints) list.push_back(Breakpoint{b.start, b.end, b.condition, b.value});
      DebugStops().SetList(std::move(list));  // bound, and what no element has dropped, by Recompile
    }
    SetMode(data.mode);
  }
  // On failure nothing of the file is kept: the document is as after New.
  Recompile();
  ReparseReplaceTo();
  Reset();
  m_bModified = false;
  if (ok) StartBackgroundCheck();
  ScheduleTests();
  return ok;
}

bool CKorvaneDoc::OnOpenDocument(const QString& path) {
  QByteArray bytes;
  if (CFileIo::ReadAll(path, CFileIo::kDefaultReadLimit, &bytes) != EFileError::None) {
    if (m_pUi)
      m_pUi->MessageBox(FileMessage(IDS_MSG_OPEN_FAILED, path), CStringTable::Str(IDS_APP_NAME),
                        IDocumentUi::ICON_WARNING, IDocumentUi::BUTTONS_OK);
    return false;
  }
  if (!LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.constData()),
                          static_cast<size_t>(bytes.size()))) {
    m_strPathName.clear();
    if (m_pUi)
      m_pUi->MessageBox(FileMessage(IDS_MSG_BAD_FILE_FORMAT, path), CStringTable::Str(IDS_APP_NAME),
                        IDocumentUi::ICON_WARNING, IDocumentUi::BUTTONS_OK);
    return false;
  }
  m_strPathName = path;
  return true;
}

bool CKorvaneDoc::OnSaveDocument(const QString& path) {
  const std::string bytes = WorkspaceBytes();
  QString reason;
  if (CFileIo::WriteAll(path, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), &reason) !=
      EFileError::None) {
    ReportWriteFailure(path, reason);
    return false;
  }
  m_bModified = false;
  m_strPathName = path;
  return true;
}

void CKorvaneDoc::ReportWriteFailure(const QString& path, const QString& reason) {
  if (!m_pUi) return;
  m_pUi->MessageBox(CStringTable::FormatStrings(CStringTable::Str(IDS_MSG_WRITE_FAILED),
                                                {QDir::toNativeSeparators(path), reason}),
                    CStringTable::Str(IDS_APP_NAME), IDocumentUi::ICON_WARNING, IDocumentUi::BUTTONS_OK);
}

// ---------------------------------------------------------------------------------------------
// Text clips

void CKorvaneDoc::CheckClipsVersion() {
  if (m_clips.CheckVersion()) UpdateAllViews(nullptr, HINT_CLIPS);
  ShowClipsNotice();
}

void CKorvaneDoc::ShowClipsNotice() {
  const QString notice = m_clips.TakeNotice();
  if (notice.isEmpty() || !m_pUi) return;
  m_pUi->MessageBox(notice, CStringTable::Str(IDS_APP_NAME), IDocumentUi::ICON_WARNING, IDocumentUi::BUTTONS_OK);
}
