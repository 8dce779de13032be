// Section/key access to the per-user settings store and to the INI file beside the program.
// Covered by tests/profile_test.cpp.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// Values are addressed by a section and a key. A section path may hold backslashes
// ("BarStates\Match"); each backslash separates nested groups. Missing values and values that
// are not numbers where a number is asked for give the caller's default.
//
// Not thread-safe; used on the UI thread (and once, guarded by the caller, from the match
// worker for the recursion limit).
class CProfile {
 public:
  // The maker's and the application's key of the per-user store. On Linux the store is the INI
  // file ~/.config/Korvane/Korvane 2.1 Free.conf; the number is the program's major and minor
  // version (platform/version.h).
  static const char kOrganization[];
  static const char kApplication[];

  // The per-user settings store (the platform's native format).
  CProfile();
  // An INI file at path (read and written in QSettings' INI format).
  explicit CProfile(const QString& iniPath);
  // The INI file beside the program: the program's path with the extension ".ini".
  static std::unique_ptr<CProfile> OpenProgramIni();

  int GetInt(const QString& section, const QString& key, int defaultValue) const;
  QString GetString(const QString& section, const QString& key, const QString& defaultValue) const;
  void WriteInt(const QString& section, const QString& key, int value);
  void WriteString(const QString& section, const QString& key, const QString& value);
  // Writes pending changes now (they are written at destruction anyway). False when the store
  // could not be written.
  bool Flush();

  // The settings key for section and key: backslashes become QSettings' group separator.
  static QString KeyPath(const QString& section, const QString& key);
  // For framework-owned layouts (QMainWindow::saveState) stored beside the program's own keys.
  QSettings& Settings() { return m_settings; }

 private:
  QSettings m_settings;
};
