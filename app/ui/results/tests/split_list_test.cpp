// The split result list: rows from the pieces between matches, the zero-length marker,
// right-to-left order, rows kept in place across rebuilds, and a selected row selecting the
// piece in the document.
#include <QtTest>

#include "app/ui/results/split_result_list_view.h"
#include "app/ui/results/tests/doc_fixture.h"
#include "app/ui/results/tests/view_test_main.h"
#include "resources/korvane_ids.h"

class SplitListTest : public QObject {
  Q_OBJECT

  static QStringList Rows(const CSplitResultListView& view) {
    QStringList rows;
    const QAbstractItemModel* m = view.model();
    for (int r = 0; r < m->rowCount(); ++r) {
      if (m->data(m->index(r, 0)).toString() != QString::number(r + 1)) rows << QStringLiteral("<bad number>");
      rows << m->data(m->index(r, 1)).toString();
    }
    return rows;
  }

 private slots:
  void rows_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("rtl");
    QTest::addColumn<QStringList>("rows");
    const QString zero = QStringLiteral("'' - (Zero length string)");
    QTest::newRow("a,b,,c on a comma gives four rows") << "," << "a,b,,c" << false << QStringList{"a", "b", zero, "c"};
    QTest::newRow("right to left comes in reverse text order") << "," << "a,b,,c" << true << QStringList{"c", zero, "b", "a"};
    QTest::newRow("no match: the whole text") << "x" << "abc" << false << QStringList{"abc"};
    QTest::newRow("match at both ends: empty first and last") << "-" << "-a-" << false << QStringList{zero, "a", zero};
    QTest::newRow("right to left, match at both ends") << "-" << "-a-" << true << QStringList{zero, "a", zero};
    QTest::newRow("empty matches split between characters") << "" << "ab" << false << QStringList{zero, "a", "b", zero};
  }
  void rows() {
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, rtl);
    QFETCH(QStringList, rows);
    DocFixture f;
    CSplitResultListView view(f.doc.get());
    f.Set(pattern, text, rtl);
    f.FindAll();
    QCOMPARE(Rows(view), rows);
  }

  void noResultsNoRows() {
    DocFixture f;
    CSplitResultListView view(f.doc.get());
    f.Set(",", "a,b");
    f.FindAll();
    QCOMPARE(view.model()->rowCount(), 2);
    f.doc->OnCommand(CMD_RESET_FIND);
    QCOMPARE(view.model()->rowCount(), 0);
  }

  void rowsAreOverwrittenInPlace() {
    DocFixture f;
    CSplitResultListView view(f.doc.get());
    f.Set(",", "a,b,c,d");
    f.FindAll();
    QCOMPARE(view.model()->rowCount(), 4);
    QSignalSpy removed(view.model(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(view.model(), &QAbstractItemModel::modelReset);
    f.SetText(QStringLiteral("x,y"));
    f.FindAll();
    QCOMPARE(Rows(view), (QStringList{"x", "y"}));
    QCOMPARE(reset.count(), 0);
    QVERIFY(removed.count() >= 1);
  }

  void selectingARowSelectsThePiece_data() {
    QTest::addColumn<bool>("rtl");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    // "ab,cd,ef": pieces [0,2) [3,5) [6,8).
    QTest::newRow("first row") << false << 0 << 0 << 2;
    QTest::newRow("last row") << false << 2 << 6 << 8;
    QTest::newRow("right to left first row is the last piece") << true << 0 << 6 << 8;
    QTest::newRow("right to left middle row") << true << 1 << 3 << 5;
  }
  void selectingARowSelectsThePiece() {
    QFETCH(bool, rtl);
    QFETCH(int, row);
    QFETCH(int, start);
    QFETCH(int, end);
    DocFixture f;
    CSplitResultListView view(f.doc.get());
    RecordingView other;
    f.doc->AddView(&other);
    f.Set(",", "ab,cd,ef", rtl);
    f.FindAll();
    other.hints.clear();
    view.setCurrentIndex(view.model()->index(row, 1));
    QCOMPARE(f.doc->GetHighlightStart(), start);
    QCOMPARE(f.doc->GetHighlightEnd(), end);
    QCOMPARE(f.doc->GetLastResult()->result.IsMatched(), 0);
    QVERIFY(!other.hints.empty());
    QCOMPARE(other.hints.back(), 0x30);
    f.doc->RemoveView(&other);
  }

  void rebuildDoesNotReportASelection() {
    DocFixture f;
    CSplitResultListView view(f.doc.get());
    f.Set(",", "a,b");
    f.FindAll();
    view.setCurrentIndex(view.model()->index(1, 1));
    RecordingView other;
    f.doc->AddView(&other);
    f.doc->Notify(nullptr, HINT_SPLIT_ROWS);
    // Only the hint sent here, nothing sent back by the list.
    QCOMPARE(static_cast<int>(other.hints.size()), 1);
    f.doc->RemoveView(&other);
  }

  // The keys move as in a list: Down and Up by a row, Home and End to the first and last
  // row, Left and Right stay on the row; each move selects the piece in the document.
  void keysMoveAsInAList() {
    DocFixture f;
    CSplitResultListView view(f.doc.get());
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    f.Set(",", "a,bb,ccc,dddd");
    f.FindAll();
    view.setFocus();
    view.setCurrentIndex(view.model()->index(0, 1));
    const struct {
      Qt::Key key;
      int row;
      int start;
    } steps[] = {{Qt::Key_Down, 1, 2}, {Qt::Key_End, 3, 9}, {Qt::Key_Left, 3, 9}, {Qt::Key_Up, 2, 5},
                 {Qt::Key_Right, 2, 5}, {Qt::Key_Home, 0, 0}};
    for (const auto& step : steps) {
      QTest::keyClick(&view, step.key);
      QCOMPARE(view.currentIndex().row(), step.row);
      QCOMPARE(view.selectionModel()->selectedRows().size(), 1);
      QCOMPARE(f.doc->GetHighlightStart(), step.start);
    }
  }

  void resizeFitsTheResultColumn() {
    DocFixture f;
    CSplitResultListView view(f.doc.get());
    view.resize(400, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    int expected = std::max(view.viewport()->width() - 45 - 25, 60);
    QCOMPARE(view.columnWidth(1), expected);
    view.resize(80, 200);
    QTRY_COMPARE(view.columnWidth(1), 60);
  }
};

KORVANE_VIEW_TEST_MAIN(SplitListTest)
#include "split_list_test.moc"
