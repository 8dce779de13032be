// main() of the plugin tests: a QApplication on the offscreen platform, so that the clipboard
// and the Create Code window work without a display (CTest's discovery runs without the test
// environment, hence the default set here).
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
