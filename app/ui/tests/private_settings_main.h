// The main() of a Qt test that runs the real frame: offscreen unless told otherwise, with its
// own settings folder and its own clips file and counter, so that neither a developer's layout
// nor a running copy of korvane is read or disturbed.
#ifndef KORVANE_PRIVATE_SETTINGS_MAIN_H
#define KORVANE_PRIVATE_SETTINGS_MAIN_H

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "app/document/files/text_clips.h"
#include "platform/profile.h"
#include "platform/shared_counter.h"
#include "stringtable.h"

// Empties the settings store: the private one while the test runs (each test's init() calls it).
inline void ClearSettings() {
  CProfile profile;
  profile.Settings().clear();
  profile.Flush();
}

// Runs the test object `Test` (made after the application); `name` names the shared counter.
template <class Test>
int RunWithPrivateSettings(int argc, char** argv, const char* name) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  QTemporaryDir settings;
  if (!settings.isValid()) return 2;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  CStringTable::SetCurrent(CStringTable::kEnglish);
  CSharedCounter counter;
  const QString counterName =
      QStringLiteral("korvane-%1-%2").arg(QLatin1String(name)).arg(QCoreApplication::applicationPid());
  counter.Open(counterName);
  CTextClips::SetDefaultLocation(QDir(settings.path()).filePath(QStringLiteral("test.clips")), &counter);
  int status = 0;
  {
    Test test;
    status = QTest::qExec(&test, argc, argv);
  }
  CTextClips::SetDefaultLocation(QString(), nullptr);
  counter.Close();
  CSharedCounter::RemoveShared(counterName);
  return status;
}

#endif
