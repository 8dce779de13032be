// main() of the result views' Qt Test executables: offscreen unless told otherwise, English
// strings, one QApplication.
#ifndef KORVANE_VIEW_TEST_MAIN_H
#define KORVANE_VIEW_TEST_MAIN_H

#include <QApplication>
#include <QtTest>

#include "resources/stringtable.h"

#define KORVANE_VIEW_TEST_MAIN(TestClass)                                          \
  int main(int argc, char** argv) {                                                \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                            \
      qputenv("QT_QPA_PLATFORM", "offscreen");                                     \
    QApplication app(argc, argv);                                                  \
    CStringTable::SetCurrent(CStringTable::kEnglish);                              \
    TestClass test;                                                                \
    return QTest::qExec(&test, argc, argv);                                        \
  }

#endif
