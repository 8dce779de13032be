// CRecentFileList: the File menu's recent documents, at most nine, newest first, kept in the
// per-user settings store (section "Recent File List", keys "File1" .. "File9"). Names are
// compared as the file system does (case-insensitively only where the platform is so).
//
// Covered by app/ui/tests/frame_test.cpp (start-up rows).
#ifndef KORVANE_RECENT_FILES_H
#define KORVANE_RECENT_FILES_H

#include <QString>
#include <QStringList>

class CProfile;

class CRecentFileList {
 public:
  static constexpr int kMaxEntries = 9;

  void Load(const CProfile& profile);
  void Save(CProfile& profile) const;
  // Puts the file first (moving it up if it is already listed) and drops the oldest beyond nine.
  void Add(const QString& path);
  void Remove(const QString& path);
  const QStringList& Files() const { return m_files; }
  // Menu caption of entry i (from 0): "&1 name", the name shortened to its last folders when long.
  static QString Caption(int index, const QString& path);

 private:
  QStringList m_files;
};

#endif
