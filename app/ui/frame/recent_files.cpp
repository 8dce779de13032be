// Covered by app/ui/tests/frame_test.cpp.
#include "app/ui/frame/recent_files.h"

#include <QDir>
#include <QFileInfo>

#include "platform/profile.h"

namespace {
const char kSection[] = "Recent File List";

bool SameFile(const QString& a, const QString& b) {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
  return QString::compare(QDir::cleanPath(a), QDir::cleanPath(b), Qt::CaseInsensitive) == 0;
#else
  return QDir::cleanPath(a) == QDir::cleanPath(b);
#endif
}
}  // namespace

void CRecentFileList::Load(const CProfile& profile) {
  m_files.clear();
  for (int i = 1; i <= kMaxEntries; ++i) {
    const QString name = profile.GetString(QLatin1String(kSection), QStringLiteral("File%1").arg(i), QString());
    if (name.trimmed().isEmpty()) continue;
    bool listed = false;
    for (const QString& f : m_files) listed = listed || SameFile(f, name);
    if (!listed) m_files.append(name);
  }
}

void CRecentFileList::Save(CProfile& profile) const {
  for (int i = 1; i <= kMaxEntries; ++i) {
    const QString value = i <= m_files.size() ? m_files[i - 1] : QString();
    profile.WriteString(QLatin1String(kSection), QStringLiteral("File%1").arg(i), value);
  }
}

void CRecentFileList::Add(const QString& path) {
  if (path.isEmpty()) return;
  const QString full = QFileInfo(path).absoluteFilePath();
  Remove(full);
  m_files.prepend(full);
  while (m_files.size() > kMaxEntries) m_files.removeLast();
}

void CRecentFileList::Remove(const QString& path) {
  for (int i = m_files.size() - 1; i >= 0; --i)
    if (SameFile(m_files[i], path)) m_files.removeAt(i);
}

QString CRecentFileList::Caption(int index, const QString& path) {
  QString shown = QDir::toNativeSeparators(path);
  const int kLongest = 60;
  if (shown.size() > kLongest) shown = QStringLiteral("...") + shown.right(kLongest - 3);
  shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
  return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}
