// Covered by app/document/tests/clips_test.cpp.
#include "app/document/text_clips.h"

#include <QLockFile>

#include "platform/file_io.h"
#include "platform/program_paths.h"
#include "platform/shared_counter.h"

namespace {

QString g_defaultPath;
CSharedCounter* g_pDefaultCounter = nullptr;

}  // namespace

CTextClips::CTextClips() { SetLocation(g_defaultPath, g_pDefaultCounter); }

void CTextClips::SetLocation(const QString& path, CSharedCounter* counter) {
  m_path = path.isEmpty() ? DefaultPath() : path;
  m_pCounter = counter ? counter : &CSharedCounter::ClipsVersion();
}

void CTextClips::SetDefaultLocation(const QString& path, CSharedCounter* counter) {
  g_defaultPath = path;
  g_pDefaultCounter = counter;
}

QString CTextClips::DefaultPath() { return CProgramPaths::WritableFileBesideProgram(QStringLiteral(".clips")); }

int CTextClips::ReadCounter() const { return m_pCounter ? m_pCounter->Read() : 0; }

// ---------------------------------------------------------------------------------------------

int CTextClips::AddClip(const std::vector<unsigned short>& text, const std::vector<unsigned short>& name) {
  const int before = m_list.Count();
  const int index = m_list.AddClip(text, name);
  if (m_list.Count() != before) m_bUnsaved = true;
  return index;
}

int CTextClips::InsertClip(int index, const std::vector<unsigned short>& text,
                           const std::vector<unsigned short>& name) {
  m_bUnsaved = true;
  return m_list.InsertClip(index, text, name);
}

void CTextClips::RemoveClip(int index) {
  if (index < 0 || index >= m_list.Count()) return;
  m_list.RemoveClip(index);
  m_bUnsaved = true;
}

void CTextClips::ClearClips() {
  if (m_list.Count() == 0) return;
  m_list.ClearClips();
  m_bUnsaved = true;
}

void CTextClips::SetClipName(int index, const std::vector<unsigned short>& name) {
  if (index < 0 || index >= m_list.Count()) return;
  m_list.SetName(index, name);
  m_bUnsaved = true;
}

// ---------------------------------------------------------------------------------------------

void CTextClips::LoadClips() {
  m_list.ClearClips();
  m_bUnsaved = false;
  if (m_path.isEmpty()) return;
  QByteArray bytes;
  if (CFileIo::ReadAll(m_path, CFileIo::kDefaultReadLimit, &bytes) != EFileError::None) return;
  // The file is UTF-16LE code units; an odd last byte is ignored.
  std::vector<unsigned short> units(static_cast<size_t>(bytes.size() / 2));
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.constData());
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<unsigned short>(p[2 * i] | p[2 * i + 1] << 8);
  bytes.clear();
  m_list = CClipsFormat::Parse(units.data(), units.size());
}

CTextClips::ESave CTextClips::SaveClips() {
  if (m_path.isEmpty()) return ESave::Failed;
  QLockFile lock(m_path + QStringLiteral(".lock"));
  // A lock left by a copy that died is taken over once it is this old (or at once when its
  // process is known to be gone).
  lock.setStaleLockTime(10000);
  if (!lock.tryLock(0))
    return lock.error() == QLockFile::LockFailedError ? ESave::Busy : ESave::Failed;
  ESave result;
  if (m_list.Count() == 0) {
    result = CFileIo::Remove(m_path) ? ESave::Deleted : ESave::Failed;
  } else {
    const std::vector<unsigned short> units = CClipsFormat::Format(m_list);
    QByteArray bytes(static_cast<qsizetype>(units.size() * 2), Qt::Uninitialized);
    for (size_t i = 0; i < units.size(); ++i) {
      bytes[static_cast<qsizetype>(2 * i)] = static_cast<char>(units[i] & 0xFF);
      bytes[static_cast<qsizetype>(2 * i + 1)] = static_cast<char>(units[i] >> 8);
    }
    result = CFileIo::WriteAll(m_path, bytes) == EFileError::None ? ESave::Saved : ESave::Failed;
  }
  m_bUnsaved = result == ESave::Busy || result == ESave::Failed;
  return result;
}

void CTextClips::Open() {
  m_nVersion = ReadCounter();
  LoadClips();
}

CTextClips::ESave CTextClips::Publish() {
  const ESave result = SaveClips();
  if ((result == ESave::Saved || result == ESave::Deleted) && m_pCounter) m_nVersion = m_pCounter->Increment();
  return result;
}

bool CTextClips::CheckVersion() {
  if (m_bUnsaved) {
    Publish();
    return false;
  }
  const int version = ReadCounter();
  if (version == m_nVersion) return false;
  m_nVersion = version;
  LoadClips();
  return true;
}

void CTextClips::Close() {
  if (m_bUnsaved) Publish();
}
