// Entry point of the file tests: an application object (QProcess and the program's own path want
// one) and Qt's test mode for the standard folders, so that no test touches the user's data.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStandardPaths>

int main(int argc, char** argv) {
  QStandardPaths::setTestModeEnabled(true);
  testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("KorvaneTests"));
  QCoreApplication::setApplicationName(QStringLiteral("document_file_tests"));
  return RUN_ALL_TESTS();
}
