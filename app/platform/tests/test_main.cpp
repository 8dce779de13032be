// Test entry point: an application object (QProcess and the program's own path want one) and
// Qt's test mode for the standard folders, so that no test touches the user's real settings.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStandardPaths>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QStandardPaths::setTestModeEnabled(true);
  testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("KorvaneTests"));
  QCoreApplication::setApplicationName(QStringLiteral("platform_tests"));
  return RUN_ALL_TESTS();
}
