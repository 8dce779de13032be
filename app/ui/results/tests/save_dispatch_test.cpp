// Save As dispatch: default extensions by filter and the writer each name and filter choose.
#include <QtTest>

#include "app/ui/results/save_dispatch.h"
#include "app/ui/results/tests/view_test_main.h"

class SaveDispatchTest : public QObject {
  Q_OBJECT
 private slots:
  void resolve_data() {
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("outPath");
    QTest::addColumn<int>("kind");
    const int T = SAVE_FROM_TEXT_BOX, R = SAVE_FROM_REPLACE_RESULT, S = SAVE_FROM_SPLIT_LIST, E = SAVE_FROM_EDITOR;
    QTest::newRow("text box, text filter adds .txt") << T << "a" << 1 << "a.txt" << int(SAVE_TEXT_FILE);
    QTest::newRow("text box, match filter adds .csv") << T << "a" << 2 << "a.csv" << int(SAVE_MATCH_RESULT);
    QTest::newRow("text box, split filter adds .csv") << T << "a" << 3 << "a.csv" << int(SAVE_SPLIT_RESULT);
    QTest::newRow("text box, match filter keeps .txt") << T << "a.txt" << 2 << "a.txt" << int(SAVE_MATCH_RESULT);
    QTest::newRow("text box, workspace filter") << T << "a" << 4 << "a.rws" << int(SAVE_WORKSPACE);
    QTest::newRow("text box, all files adds .txt") << T << "a" << 5 << "a.txt" << int(SAVE_TEXT_FILE);
    QTest::newRow("text box, .CSV under text filter is a match result") << T << "a.CSV" << 1 << "a.CSV" << int(SAVE_MATCH_RESULT);
    QTest::newRow("text box, .rws wins over the split filter") << T << "a.RwS" << 3 << "a.RwS" << int(SAVE_WORKSPACE);
    QTest::newRow("replace result, text") << R << "a" << 1 << "a.txt" << int(SAVE_TEXT_FILE);
    QTest::newRow("replace result, replace filter") << R << "a" << 2 << "a.csv" << int(SAVE_REPLACE_RESULT);
    QTest::newRow("replace result, replace filter keeps .txt") << R << "a.txt" << 2 << "a.txt" << int(SAVE_REPLACE_RESULT);
    QTest::newRow("replace result, workspace") << R << "a" << 3 << "a.rws" << int(SAVE_WORKSPACE);
    QTest::newRow("replace result, .csv under all files") << R << "a.csv" << 4 << "a.csv" << int(SAVE_REPLACE_RESULT);
    QTest::newRow("split, split filter") << S << "a" << 1 << "a.csv" << int(SAVE_SPLIT_RESULT);
    QTest::newRow("split, workspace") << S << "a" << 2 << "a.rws" << int(SAVE_WORKSPACE);
    QTest::newRow("split, all files adds .csv") << S << "a" << 3 << "a.csv" << int(SAVE_SPLIT_RESULT);
    QTest::newRow("split, .txt is still a split result") << S << "a.txt" << 3 << "a.txt" << int(SAVE_SPLIT_RESULT);
    QTest::newRow("editor, text") << E << "a" << 1 << "a.txt" << int(SAVE_TEXT_FILE);
    QTest::newRow("editor, workspace") << E << "a" << 2 << "a.rws" << int(SAVE_WORKSPACE);
    QTest::newRow("dotted folder, no extension") << T << "/tmp/x.d/a" << 2 << "/tmp/x.d/a.csv" << int(SAVE_MATCH_RESULT);
  }
  void resolve() {
    QFETCH(int, source);
    QFETCH(QString, path);
    QFETCH(int, filter);
    QFETCH(QString, outPath);
    QFETCH(int, kind);
    SaveTarget t = ResolveSave(source, path, filter);
    QCOMPARE(t.path, outPath);
    QCOMPARE(t.kind, kind);
  }
};

KORVANE_VIEW_TEST_MAIN(SaveDispatchTest)
#include "save_dispatch_test.moc"
