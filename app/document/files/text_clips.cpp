// Covered by app/document/files/tests/clips_test.cpp and doc_files_test.cpp.
#include "app/document/files/text_clips.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "korvane_ids.h"
#include "platform/program_paths.h"
#include "platform/shared_counter.h"
#include "stringtable.h"

namespace {

typedef std::vector<unsigned short> Units;

QString g_defaultPath;
CSharedCounter* g_pDefaultCounter = nullptr;
QString g_defaultFallbackPath;

// How long a change waits for another copy's write to finish: a write takes milliseconds, so
// this is only reached when a copy hangs with the lock (a crashed one's lock is taken over at
// once). The version check at every focus change waits less; the last write before the
// document goes waits longest, because nothing retries it.
constexpr int kChangeWaitMs = 3000;
constexpr int kCheckWaitMs = 500;
constexpr int kCloseWaitMs = 10000;

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

QByteArray Utf16LeBytes(const Units& units) {
  QByteArray bytes(static_cast<qsizetype>(units.size() * 2), Qt::Uninitialized);
  for (size_t i = 0; i < units.size(); ++i) {
    bytes[static_cast<qsizetype>(2 * i)] = static_cast<char>(units[i] & 0xFF);
    bytes[static_cast<qsizetype>(2 * i + 1)] = static_cast<char>(units[i] >> 8);
  }
  return bytes;
}

}  // namespace

CTextClips::CTextClips() { SetLocation(g_defaultPath, g_pDefaultCounter, g_defaultFallbackPath); }

void CTextClips::SetLocation(const QString& path, CSharedCounter* counter, const QString& fallbackPath) {
  if (path.isEmpty()) {
    m_path = DefaultPath();
    m_fallbackPath = DefaultFallbackPath(m_path);
  } else {
    m_path = path;
    m_fallbackPath = fallbackPath;
  }
  m_pCounter = counter ? counter : &CSharedCounter::ClipsVersion();
  m_list.ClearClips();
  m_base.ClearClips();
  m_bBaseKnown = false;
  m_journal.clear();
}

void CTextClips::SetDefaultLocation(const QString& path, CSharedCounter* counter, const QString& fallbackPath) {
  g_defaultPath = path;
  g_pDefaultCounter = counter;
  g_defaultFallbackPath = fallbackPath;
}

QString CTextClips::DefaultPath() { return CProgramPaths::WritableFileBesideProgram(QStringLiteral(".clips")); }

QString CTextClips::DefaultFallbackPath(const QString& path) {
  const QString folder = CProgramPaths::UserDataFolder();
  if (folder.isEmpty() || path.isEmpty()) return QString();
  const QString fallback = QDir(folder).filePath(QFileInfo(path).fileName());
  return QFileInfo(fallback).absoluteFilePath() == QFileInfo(path).absoluteFilePath() ? QString() : fallback;
}

int CTextClips::ReadCounter() const { return m_pCounter ? m_pCounter->Read() : 0; }

QString CTextClips::TakeNotice() {
  QString notice;
  notice.swap(m_notice);
  return notice;
}

// ---------------------------------------------------------------------------------------------
// Changes

void CTextClips::Apply(CTextClipList* list, const Change& change) {
  switch (change.kind) {
    case Change::Add:
      list->AddClip(change.text, change.name);
      break;
    case Change::Insert: {
      // The place is given in the list without the clip itself, as InsertClip counts it.
      const int self = list->Find(change.text);
      int at = list->Count();
      if (!change.atEnd) {
        const int before = list->Find(change.before);
        if (before >= 0)
          at = self >= 0 && self < before ? before - 1 : before;
        else
          at = change.index;
      }
      list->InsertClip(at, change.text, change.name);
      break;
    }
    case Change::Remove:
      list->RemoveClip(list->Find(change.text));
      break;
    case Change::Rename:
      list->SetName(list->Find(change.text), change.name);
      break;
  }
}

void CTextClips::Record(std::vector<Change> changes) {
  for (Change& c : changes) {
    Apply(&m_list, c);
    m_journal.push_back(std::move(c));
  }
  m_lastSave = Commit(kChangeWaitMs);
}

int CTextClips::AddClip(const Units& text, const Units& name) {
  if (m_list.Find(text) < 0) {
    Change c;
    c.kind = Change::Add;
    c.text = text;
    c.name = name;
    Record({c});
  }
  return m_list.Find(text);
}

int CTextClips::InsertClip(int index, const Units& text, const Units& name) {
  // Where the clip lands here, and which clip then follows it: in the file it goes before that
  // one, wherever another copy's changes have put it.
  const int self = m_list.Find(text);
  const int others = m_list.Count() - (self >= 0 ? 1 : 0);
  const int at = std::clamp(index, 0, others);
  Change c;
  c.kind = Change::Insert;
  c.text = text;
  c.name = name;
  c.index = at;
  if (at == others)
    c.atEnd = true;
  else
    c.before = m_list.At(self >= 0 && at >= self ? at + 1 : at).text;
  Record({c});
  return m_list.Find(text);
}

void CTextClips::RemoveClip(int index) {
  if (index < 0 || index >= m_list.Count()) return;
  Change c;
  c.kind = Change::Remove;
  c.text = m_list.At(index).text;
  Record({c});
}

void CTextClips::ClearClips() {
  // The clips this copy shows, one by one: a clip another copy adds meanwhile stays.
  std::vector<Change> changes;
  for (const TextClip& clip : m_list.Clips()) {
    Change c;
    c.kind = Change::Remove;
    c.text = clip.text;
    changes.push_back(std::move(c));
  }
  if (!changes.empty()) Record(std::move(changes));
}

void CTextClips::SetClipName(int index, const Units& name) {
  if (index < 0 || index >= m_list.Count()) return;
  Change c;
  c.kind = Change::Rename;
  c.text = m_list.At(index).text;
  c.name = name;
  Record({c});
}

// ---------------------------------------------------------------------------------------------
// The file

CTextClips::ERead CTextClips::ReadFile(const QString& path, CTextClipList* list, FileStamp* stamp,
                                       QString* reason) const {
  list->ClearClips();
  QByteArray bytes;
  QString detail;
  switch (CFileIo::ReadAll(path, kReadLimit, &bytes, &detail, stamp)) {
    case EFileError::None:
      break;
    case EFileError::NotFound:
      *stamp = FileStamp();
      return ERead::Missing;
    case EFileError::TooLarge:
      *reason = CStringTable::FormatStrings(CStringTable::Str(IDS_REASON_FILE_TOO_LARGE),
                                            {QString::number(kReadLimit >> 20)});
      return ERead::Unreadable;
    default:
      *reason = detail;
      return ERead::Unreadable;
  }
  // UTF-16LE code units; an odd byte would be lost by the next write.
  if (bytes.size() % 2 != 0) {
    *reason = CStringTable::Str(IDS_REASON_NOT_UTF16);
    return ERead::Unreadable;
  }
  Units units(static_cast<size_t>(bytes.size() / 2));
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<unsigned short>(p[2 * i] | p[2 * i + 1] << 8);
  bytes = QByteArray();
  *list = CClipsFormat::Parse(units.data(), units.size());
  return ERead::Read;
}

void CTextClips::LeaveUnreadableFile(const QString& reason) {
  const QString unreadable = m_path;
  // Nothing of the unreadable file was read, so nothing of it is lost by writing elsewhere; the
  // clips this copy shows go along (as additions, then the unwritten changes once more).
  std::vector<Change> journal;
  for (const TextClip& clip : m_list.Clips()) {
    Change c;
    c.kind = Change::Add;
    c.text = clip.text;
    c.name = clip.name;
    journal.push_back(std::move(c));
  }
  journal.insert(journal.end(), m_journal.begin(), m_journal.end());
  m_journal = std::move(journal);
  m_path.clear();
  m_bBaseKnown = false;
  const QString fallback = m_fallbackPath;
  m_fallbackPath.clear();  // no further fallback from the fallback
  if (!fallback.isEmpty() && fallback != unreadable) {
    CTextClipList list;
    FileStamp stamp;
    QString why;
    if (ReadFile(fallback, &list, &stamp, &why) != ERead::Unreadable) {
      m_path = fallback;
      m_base = list;
      m_stamp = stamp;
      m_bBaseKnown = true;
      for (const Change& c : m_journal) Apply(&list, c);
      m_list = std::move(list);
    }
  }
  if (m_bUnreadableTold) return;
  m_bUnreadableTold = true;
  m_notice = m_path.isEmpty()
                 ? CStringTable::FormatStrings(CStringTable::Str(IDS_MSG_CLIPS_KEPT_IN_MEMORY),
                                               {Native(unreadable), reason})
                 : CStringTable::FormatStrings(CStringTable::Str(IDS_MSG_CLIPS_KEPT_ELSEWHERE),
                                               {Native(unreadable), reason, Native(m_path)});
}

void CTextClips::LoadClips() {
  if (m_path.isEmpty()) return;  // in memory only: the list is all there is
  CTextClipList list;
  FileStamp stamp;
  QString reason;
  if (ReadFile(m_path, &list, &stamp, &reason) == ERead::Unreadable) {
    LeaveUnreadableFile(reason);
    return;
  }
  m_base = list;
  m_stamp = stamp;
  m_bBaseKnown = true;
  for (const Change& c : m_journal) Apply(&list, c);
  m_list = std::move(list);
}

CTextClips::ESave CTextClips::Commit(int waitMs) {
  if (m_journal.empty()) return ESave::Unchanged;
  if (m_path.isEmpty()) return ESave::InMemory;

  QLockFile lock(m_path + QStringLiteral(".lock"));
  // A lock left by a copy that died is taken over at once when its process is known to be gone,
  // else once it is this old.
  lock.setStaleLockTime(10000);
  // Polled in short steps: the lock's own waiting doubles its pauses, which is too coarse for a
  // lock that is held for milliseconds by each of several copies in turn.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (!lock.tryLock(0)) {
    if (lock.error() != QLockFile::LockFailedError) {
      if (!m_bFailureTold) {
        m_bFailureTold = true;
        m_notice = CStringTable::FormatStrings(
            CStringTable::Str(IDS_MSG_CLIPS_SAVE_FAILED),
            {Native(m_path), qt_error_string(lock.error() == QLockFile::PermissionError ? EACCES : EIO)});
      }
      return ESave::Failed;
    }
    if (std::chrono::steady_clock::now() >= deadline) return ESave::Busy;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

  // Read the file again unless it is still the version this copy read or wrote last.
  CTextClipList list;
  if (m_bBaseKnown && CFileIo::Stamp(m_path) == m_stamp) {
    list = m_base;
  } else {
    FileStamp stamp;
    QString reason;
    if (ReadFile(m_path, &list, &stamp, &reason) == ERead::Unreadable) {
      lock.unlock();
      LeaveUnreadableFile(reason);
      return Commit(waitMs);  // into the fallback, or in memory (no further fallback)
    }
    m_base = list;
    m_stamp = stamp;
    m_bBaseKnown = true;
  }
  for (const Change& c : m_journal) Apply(&list, c);
  m_list = list;

  QString detail;
  ESave result;
  bool written;
  if (list.Count() == 0) {
    written = CFileIo::Remove(m_path, &detail);
    result = ESave::Deleted;
  } else {
    written = CFileIo::WriteAll(m_path, Utf16LeBytes(CClipsFormat::Format(list)), &detail) == EFileError::None;
    result = ESave::Saved;
  }
  if (!written) {
    // The file is as it was; the changes stay in the journal and in the list shown.
    if (!m_bFailureTold) {
      m_bFailureTold = true;
      m_notice = CStringTable::FormatStrings(CStringTable::Str(IDS_MSG_CLIPS_SAVE_FAILED), {Native(m_path), detail});
    }
    return ESave::Failed;
  }
  m_bFailureTold = false;
  m_base = std::move(list);
  m_stamp = CFileIo::Stamp(m_path);
  m_journal.clear();
  if (m_pCounter) m_nVersion = m_pCounter->Increment();
  return result;
}

CTextClips::ESave CTextClips::SaveClips() { return m_lastSave = Commit(kChangeWaitMs); }

void CTextClips::Open() {
  m_nVersion = ReadCounter();
  LoadClips();
}

CTextClips::ESave CTextClips::Publish() {
  if (m_journal.empty()) return ESave::Unchanged;
  return m_lastSave = Commit(kChangeWaitMs);
}

bool CTextClips::CheckVersion() {
  bool changed = false;
  if (!m_journal.empty() && !m_path.isEmpty()) {
    m_lastSave = Commit(kCheckWaitMs);
    changed = true;
  }
  // The version is taken before the file is read, so a write after the read shows next time.
  const int version = ReadCounter();
  if (version != m_nVersion) {
    m_nVersion = version;
    LoadClips();
    changed = true;
  }
  return changed;
}

void CTextClips::Close() {
  if (!m_journal.empty()) m_lastSave = Commit(kCloseWaitMs);
}
