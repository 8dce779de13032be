// CKorvaneDoc: snapshots, workspace files, the text clips' version check and their messages. The formats are in
// snapshot.h, workspace_file.h and text_clips.h. Covered by app/document/files/tests/doc_files_test.cpp.
#include <QDir>
#include <ctime>

#include "app/document/core/korvane_doc.h"
#include "app/document/core/test_session.h"
#include "app/document/debugger/debug_session.h"
#include "app/document/files/snapshot.h"
#include "app/document/files/text_clips.h"
#include "app/document/files/workspace_file.h"
#include "app/document/flavours/flavour_session.h"
#include "korvane_ids.h"
#include "platform/file_io.h"
#include "stringtable.h"

namespace {

std::vector<unsigned short> Units(const QString& s) {
  return std::vector<unsigned short>(s.utf16(), s.utf16() + s.size());
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Snapshots

int CKorvaneDoc::AddSnapshot(const std::vector<unsigned short>& name) {
  const int id = m_snapshots->Add(m_pattern.pattern, m_pattern.flags, name, static_cast<std::int64_t>(std::time(nullptr)));
  if (Snapshot* s = m_snapshots->Lookup(id)) s->tests = m_testSession->Shared();
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
  const Snapshot* s = m_snapshots->Lookup(id);
  if (!s) return;
  const std::vector<unsigned short> pattern = s->pattern;  // SetPattern must not read the record
  // The snapshot's tests replace the current ones; the test edit history belongs to the set
  // that is left.
  m_testSession->Replace(s->tests, m_testSession->TimeLimit());
  m_testSession->ResetHistory();
  Reset();  // the worker reads the flags: stop it before they change (SetPattern would be late)
  m_pattern.flags = s->flags;
  SetPattern(pattern.data(), static_cast<int>(pattern.size()), true);  // starts the tests' run
  m_snapshots->SetCurrent(id);
}

const Snapshot* CKorvaneDoc::LookupSnapshot(int id) const { return m_snapshots->Lookup(id); }

bool CKorvaneDoc::PatternDiffersFromCurrent() const { return m_snapshots->PatternDiffers(m_pattern.pattern); }

void CKorvaneDoc::ClearSnapshots() { m_snapshots->Clear(); }

int CKorvaneDoc::GetCurrentSnapshot() const { return m_snapshots->Current(); }

void CKorvaneDoc::SetSnapshotName(int id, const std::vector<unsigned short>& name) {
  m_snapshots->SetName(id, name);
  m_bModified = true;
}

void CKorvaneDoc::DeleteSnapshot(int id, bool withSubtree) {
  if (m_snapshots->Delete(id, withSubtree)) m_bModified = true;
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
  data.tests = m_testSession->Shared();
  data.classic = m_bClassic;
  data.testTimeLimitMs = m_testSession->TimeLimit();
  if (const CDebugStops* stops = m_debug->GetStops())
    for (const Breakpoint& b : stops->List()) data.breakpoints.push_back(WorkspaceBreakpoint{b.start, b.end, b.condition, b.value});
  if (!m_flavours->IsDefaultChoice()) {
    data.hasFlavours = true;
    for (const QString& name : m_flavours->Chosen())
      data.flavours.emplace_back(name.utf16(), name.utf16() + name.size());
  }
  return CWorkspaceFile::Write(data, *m_snapshots);
}

bool CKorvaneDoc::ParseWorkspace(const unsigned char* bytes, size_t size, WorkspaceData* data, QString* reason) {
  if (size == 0) {
    *reason = CStringTable::Str(IDS_REASON_EMPTY_FILE);
    return false;
  }
  size_t at = 0;
  const EWorkspaceError error = CWorkspaceFile::Read(bytes, size, data, &at);
  if (error == EWorkspaceError::None) {
    reason->clear();
    return true;
  }
  // The format has no signature: a file whose first fields no version of the program writes
  // is taken for another kind of file, anything else that fails for a damaged workspace.
  if (!CWorkspaceFile::LooksLikeWorkspace(bytes, size))
    *reason = CStringTable::Str(IDS_REASON_NOT_WORKSPACE);
  else
    *reason = CStringTable::FormatStrings(
        CStringTable::Str(error == EWorkspaceError::Truncated ? IDS_REASON_WORKSPACE_CUT : IDS_REASON_WORKSPACE_BAD_VALUE),
        {QString::number(static_cast<qulonglong>(at))});
  return false;
}

bool CKorvaneDoc::ReadWorkspaceFile(const QString& path, WorkspaceData* data, QString* reason) {
  QByteArray bytes;
  QString detail;
  switch (CFileIo::ReadAll(path, CFileIo::kDefaultReadLimit, &bytes, &detail)) {
    case EFileError::None:
      break;
    case EFileError::NotFound:
      *reason = CStringTable::Str(IDS_REASON_NO_SUCH_FILE);
      return false;
    case EFileError::TooLarge:
      *reason = CStringTable::FormatStrings(CStringTable::Str(IDS_REASON_FILE_TOO_LARGE),
                                            {QString::number(CFileIo::kDefaultReadLimit >> 20)});
      return false;
    default:  // the system's own words ("Permission denied", "Is a directory", ...)
      *reason = detail.isEmpty() ? CStringTable::Str(IDS_MSG_OPEN_FAILED) : detail;
      return false;
  }
  return ParseWorkspace(reinterpret_cast<const unsigned char*>(bytes.constData()), static_cast<size_t>(bytes.size()),
                        data, reason);
}

void CKorvaneDoc::LoadWorkspace(WorkspaceData* data) {
  Clear();
  m_fPatternShare = data->patternShare;
  m_fTextShare = data->textShare;
  m_pattern.flags = data->flags;
  m_pattern.pattern = std::move(data->pattern);
  m_subject = std::move(data->subject);
  m_replaceTo = std::move(data->replaceTo);
  // Tests without a name (an older file, a hand-made one) are named as new tests are, here and
  // in the snapshots, so that no list or report shows a blank.
  for (std::unique_ptr<Snapshot>& s : data->snapshots)
    if (s->tests && HasUnnamedTests(*s->tests)) {
      auto named = std::make_shared<TestSet>(*s->tests);
      NameUnnamedTests(named.get());
      s->tests = std::move(named);
    }
  m_snapshots->LoadRecords(data->snapshots, data->currentSnapshot);
  std::shared_ptr<const TestSet> tests = m_testSession->Shared();
  if (data->tests) {
    if (HasUnnamedTests(*data->tests)) {
      auto named = std::make_shared<TestSet>(*data->tests);
      NameUnnamedTests(named.get());
      tests = std::move(named);
    } else {
      tests = data->tests;
    }
  }
  m_testSession->Replace(std::move(tests), data->testTimeLimitMs);
  m_bClassic = data->classic;
  m_ctx.m_bClassic = data->classic;
  if (!data->breakpoints.empty()) {
    std::vector<Breakpoint> list;
    for (const WorkspaceBreakpoint& b : data->breakpoints) list.push_back(Breakpoint{b.start, b.end, b.condition, b.value});
    m_debug->Stops().SetList(std::move(list));  // bound, and what no element has dropped, by Recompile
  }
  if (data->hasFlavours) {
    QStringList names;
    for (const std::vector<unsigned short>& n : data->flavours)
      names << QString::fromUtf16(reinterpret_cast<const char16_t*>(n.data()), static_cast<qsizetype>(n.size()));
    m_bLoadingFlavours = true;
    m_flavours->SetChosen(names);
    m_bLoadingFlavours = false;
  }
  SetMode(data->mode);
  Recompile();
  ReparseReplaceTo();
  Reset();
  m_bModified = false;
  StartBackgroundCheck();
  m_testSession->Schedule();
}

bool CKorvaneDoc::LoadWorkspaceBytes(const unsigned char* bytes, size_t size) {
  WorkspaceData data;
  QString reason;
  if (!ParseWorkspace(bytes, size, &data, &reason)) return false;  // the document stays as it was
  LoadWorkspace(&data);
  return true;
}

void CKorvaneDoc::ReportOpenFailure(const QString& path, const QString& reason) {
  if (!m_pUi) return;
  QString text = CStringTable::FormatStrings(CStringTable::Str(IDS_CLI_CANNOT_READ), {QDir::toNativeSeparators(path), reason});
  // Said only when there is work to keep: a fresh window has nothing the user could miss.
  const bool fresh = m_strPathName.isEmpty() && !m_bModified && m_pattern.pattern.empty() && m_subject.empty() &&
                     m_replaceTo.empty() && m_testSession->All().empty() && m_snapshots->Count() == 0;
  if (!fresh) text += QStringLiteral("\n\n") + CStringTable::Str(IDS_MSG_OPEN_KEPT);
  m_pUi->MessageBox(text, CStringTable::Str(IDS_APP_NAME), IDocumentUi::ICON_WARNING, IDocumentUi::BUTTONS_OK);
}

bool CKorvaneDoc::OnOpenDocument(const QString& path) {
  WorkspaceData data;
  QString reason;
  if (!ReadWorkspaceFile(path, &data, &reason)) {
    ReportOpenFailure(path, reason);
    return false;
  }
  LoadWorkspace(&data);
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
  if (m_clips->CheckVersion()) UpdateAllViews(nullptr, HINT_CLIPS);
  ShowClipsNotice();
}

void CKorvaneDoc::ShowClipsNotice() {
  const QString notice = m_clips->TakeNotice();
  if (notice.isEmpty() || !m_pUi) return;
  m_pUi->MessageBox(notice, CStringTable::Str(IDS_APP_NAME), IDocumentUi::ICON_WARNING, IDocumentUi::BUTTONS_OK);
}
