// main() of the plugin tests: a QApplication on the offscreen platform, so that the clipboard
// and the Create Code window work without a display (CTest's discovery runs without the test
// environment, hence the default set here). Takes the property tests' --seed=S and --count=N.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "plugins/fennic/tests/random_patterns.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  if (!fennic_props::ParseRunOptions(argc, argv)) {
    std::fprintf(stderr, "unknown argument (use --seed=S --count=N besides GoogleTest's own)\n");
    return 2;
  }
  return RUN_ALL_TESTS();
}
