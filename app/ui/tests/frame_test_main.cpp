// Runs the frame's Qt Test classes offscreen, with the settings store in a temporary folder so
// that a developer's own settings are never read or touched.
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "app/ui/tests/frame_test.h"
#include "stringtable.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  QTemporaryDir settings;
  if (!settings.isValid()) return 2;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  CStringTable::SetCurrent(CStringTable::kEnglish);

  int status = 0;
  {
    FrameTest test;
    status |= QTest::qExec(&test, argc, argv);
  }
  {
    LayoutTest test;
    status |= QTest::qExec(&test, argc, argv);
  }
  {
    SettingsTest test;
    status |= QTest::qExec(&test, argc, argv);
  }
  return status;
}
