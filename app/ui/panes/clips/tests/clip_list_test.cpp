// The text clip list: the grey drop row, rows in place with blue named clips, where a drop
// inserts (and moves an existing clip), the insertion line while dragging, paste, copy, rename,
// delete with its question, the drag data and the disabled Cut.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QtTest>

#include "app/ui/panes/clips/clip_list_view.h"
#include "app/ui/results/tests/side_fixture.h"
#include "app/ui/results/tests/view_test_main.h"
#include "resources/korvane_ids.h"

namespace {

QStringList Rows(const CClipListView& view) {
  QStringList rows;
  for (int i = 0; i < view.topLevelItemCount(); ++i) rows << view.topLevelItem(i)->text(0);
  return rows;
}

QStringList Clips(CKorvaneDoc* doc) {
  QStringList clips;
  for (const TextClip& c : doc->GetClips().List().Clips())
    clips << QString(reinterpret_cast<const QChar*>(c.text.data()), static_cast<int>(c.text.size()));
  return clips;
}

// Sends the drag events a drop of `text` at a viewport position goes through.
void DragAndDrop(CClipListView& view, const QString& text, QPoint at, bool drop = true) {
  QMimeData data;
  data.setText(text);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view.viewport(), &enter);
  QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view.viewport(), &move);
  if (!drop) return;
  QDropEvent dropEvent(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view.viewport(), &dropEvent);
}

QPoint UpperHalf(CClipListView& view, int row) {
  QRect r = view.visualItemRect(view.topLevelItem(row));
  return QPoint(r.left() + 5, r.top() + 1);
}
QPoint LowerHalf(CClipListView& view, int row) {
  QRect r = view.visualItemRect(view.topLevelItem(row));
  return QPoint(r.left() + 5, r.bottom() - 1);
}

}  // namespace

class ClipListTest : public QObject {
  Q_OBJECT

  struct Shown {
    SideFixture f;
    CClipListView view{f.doc.get()};
    Shown() {
      view.resize(300, 300);
      view.show();
    }
    void Add(const QStringList& texts) {
      for (const QString& t : texts) f.doc->GetClips().AddClip(DocFixture::U16Of(t), {});
      f.doc->Notify(nullptr, HINT_CLIPS);
    }
  };

 private slots:
  void emptyListShowsTheGreyDropRow() {
    Shown s;
    QVERIFY(QTest::qWaitForWindowExposed(&s.view));
    QCOMPARE(Rows(s.view), QStringList{CStringTable::Str(IDS_CLIP_DROP_HERE)});
    QCOMPARE(s.view.topLevelItem(0)->foreground(0).color(), QColor(153, 153, 153));
    QCOMPARE(s.view.SelectedClip(), -1);
    // Dropping on it replaces the row with the new clip, selected.
    DragAndDrop(s.view, QStringLiteral("first"), UpperHalf(s.view, 0));
    QCOMPARE(Rows(s.view), QStringList{"first"});
    QCOMPARE(s.view.SelectedClip(), 0);
    QVERIFY(s.view.topLevelItem(0)->data(0, Qt::ForegroundRole).isNull());
    QCOMPARE(s.view.ShownDropIndex(), -1);
  }

  void dropIndex_data() {
    QTest::addColumn<bool>("lower");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("index");
    QTest::newRow("upper half of the first row") << false << 0 << 0;
    QTest::newRow("lower half of the first row") << true << 0 << 1;
    QTest::newRow("upper half of the last row") << false << 2 << 2;
    QTest::newRow("lower half of the last row: the end") << true << 2 << 3;
  }
  void dropIndex() {
    QFETCH(bool, lower);
    QFETCH(int, row);
    QFETCH(int, index);
    Shown s;
    QVERIFY(QTest::qWaitForWindowExposed(&s.view));
    s.Add({"a", "b", "c"});
    QPoint at = lower ? LowerHalf(s.view, row) : UpperHalf(s.view, row);
    QCOMPARE(s.view.DropIndexAt(at), index);
    // Below every row: the end.
    QCOMPARE(s.view.DropIndexAt(QPoint(5, s.view.viewport()->height() - 2)), 3);
  }

  void dropOnTheLowerHalfOfTheFirstRowInsertsSecond() {
    Shown s;
    QVERIFY(QTest::qWaitForWindowExposed(&s.view));
    s.Add({"a", "b", "c"});
    DragAndDrop(s.view, QStringLiteral("new"), LowerHalf(s.view, 0));
    QCOMPARE(Clips(s.f.doc.get()), (QStringList{"a", "new", "b", "c"}));
    QCOMPARE(Rows(s.view), (QStringList{"a", "new", "b", "c"}));
    QCOMPARE(s.view.SelectedClip(), 1);
  }

  void droppingAnExistingClipOnTheTopMovesIt() {
    Shown s;
    QVERIFY(QTest::qWaitForWindowExposed(&s.view));
    s.Add({"a", "b", "c", "d"});
    DragAndDrop(s.view, QStringLiteral("d"), UpperHalf(s.view, 0));
    QCOMPARE(Clips(s.f.doc.get()), (QStringList{"d", "a", "b", "c"}));
    QCOMPARE(s.view.SelectedClip(), 0);
  }

  void insertionLineFollowsTheDragAndGoesOnLeave() {
    Shown s;
    QVERIFY(QTest::qWaitForWindowExposed(&s.view));
    s.Add({"a", "b"});
    DragAndDrop(s.view, QStringLiteral("x"), LowerHalf(s.view, 1), false);
    QCOMPARE(s.view.ShownDropIndex(), 2);
    QDragLeaveEvent leave;
    QApplication::sendEvent(s.view.viewport(), &leave);
    QCOMPARE(s.view.ShownDropIndex(), -1);
    QCOMPARE(Clips(s.f.doc.get()), (QStringList{"a", "b"}));
  }

  void pastingAnExistingClipSelectsIt() {
    Shown s;
    s.Add({"a", "b", "c"});
    QApplication::clipboard()->setText(QStringLiteral("b"));
    QVERIFY(s.view.QueryViewCommand(ID_EDIT_PASTE).enabled);
    s.view.OnViewCommand(ID_EDIT_PASTE);
    QCOMPARE(Clips(s.f.doc.get()), (QStringList{"a", "b", "c"}));
    QCOMPARE(s.view.SelectedClip(), 1);
    // A new text is appended and selected.
    QApplication::clipboard()->setText(QStringLiteral("z"));
    s.view.OnViewCommand(ID_EDIT_PASTE);
    QCOMPARE(Clips(s.f.doc.get()), (QStringList{"a", "b", "c", "z"}));
    QCOMPARE(s.view.SelectedClip(), 3);
    // An empty clipboard: Paste is disabled.
    QApplication::clipboard()->clear();
    QVERIFY(!s.view.QueryViewCommand(ID_EDIT_PASTE).enabled);
  }

  void namedClipIsBlueUntilItsNameIsCleared() {
    Shown s;
    s.Add({"text one"});
    s.view.SelectClip(0);
    s.f.nameToGive = QStringLiteral("x");
    s.view.OnViewCommand(ID_CLIP_SET_NAME);
    QCOMPARE(Rows(s.view), QStringList{"x"});
    QCOMPARE(s.view.topLevelItem(0)->foreground(0).color(), QColor(0, 0, 255));
    // The dialog is prefilled with the name; clearing it shows the text in default colours.
    s.f.nameToGive = QString();
    s.view.OnViewCommand(ID_CLIP_SET_NAME);
    QCOMPARE(s.f.lastPrefill, QStringLiteral("x"));
    QCOMPARE(Rows(s.view), QStringList{"text one"});
    QVERIFY(s.view.topLevelItem(0)->data(0, Qt::ForegroundRole).isNull());
    // Cancel keeps the name.
    s.f.nameToGive = QStringLiteral("y");
    s.view.OnViewCommand(ID_CLIP_SET_NAME);
    s.f.giveName = false;
    s.f.nameToGive = QStringLiteral("z");
    s.view.OnViewCommand(ID_CLIP_SET_NAME);
    QCOMPARE(Rows(s.view), QStringList{"y"});
  }

  void deleteAsksFirst() {
    Shown s;
    s.Add({"a", "b"});
    // Nothing selected: nothing happens, nothing is asked.
    s.view.clearSelection();
    s.view.OnViewCommand(ID_EDIT_CLEAR);
    QVERIFY(s.f.asked.empty());
    QCOMPARE(Clips(s.f.doc.get()).size(), 2);
    s.view.SelectClip(0);
    s.f.answer = CViewPrompts::ANSWER_NO;
    QTest::keyClick(&s.view, Qt::Key_Delete);
    QCOMPARE(static_cast<int>(s.f.asked.size()), 1);
    QCOMPARE(s.f.asked.back(), QStringLiteral("Delete the text clip?"));
    QCOMPARE(Clips(s.f.doc.get()), (QStringList{"a", "b"}));
    s.f.answer = CViewPrompts::ANSWER_YES;
    s.view.OnViewCommand(ID_EDIT_CLEAR);
    QCOMPARE(Clips(s.f.doc.get()), QStringList{"b"});
    QCOMPARE(Rows(s.view), QStringList{"b"});
    // The last one goes: the drop row is back and the clips file is gone.
    s.view.SelectClip(0);
    s.view.OnViewCommand(ID_EDIT_CLEAR);
    QCOMPARE(Rows(s.view), QStringList{CStringTable::Str(IDS_CLIP_DROP_HERE)});
    QVERIFY(!QFile::exists(s.f.doc->GetClips().Path()));
  }

  void copyAndDragCarryTheClipText() {
    Shown s;
    const QString text = QStringLiteral("line 1\r\nline \"2\"");
    s.Add({text});
    QCOMPARE(s.view.topLevelItem(0)->text(0), QStringLiteral("line 1  line \"2\""));
    s.view.SelectClip(0);
    s.view.OnViewCommand(ID_EDIT_COPY);
    QCOMPARE(QApplication::clipboard()->text(), text);
    std::unique_ptr<QMimeData> data(s.view.DragData(0));
    QVERIFY(data);
    QVERIFY(data->hasText());
    QVERIFY(data->formats().contains(QStringLiteral("text/plain")));
    QCOMPARE(data->text(), text);
    QVERIFY(!s.view.DragData(1));
  }

  void commandStates() {
    Shown s;
    s.Add({"a"});
    s.view.clearSelection();
    QVERIFY(!s.view.QueryViewCommand(ID_CLIP_SET_NAME).enabled);
    QVERIFY(!s.view.QueryViewCommand(ID_EDIT_COPY).enabled);
    s.view.SelectClip(0);
    QVERIFY(s.view.QueryViewCommand(ID_CLIP_SET_NAME).enabled);
    QVERIFY(s.view.QueryViewCommand(ID_EDIT_COPY).enabled);
    QVERIFY(s.view.QueryViewCommand(ID_EDIT_CLEAR).enabled);
    QVERIFY(!s.view.QueryViewCommand(ID_EDIT_CUT).enabled);
  }

  void changesAreSavedToTheClipsFile() {
    Shown s;
    QVERIFY(QTest::qWaitForWindowExposed(&s.view));
    DragAndDrop(s.view, QStringLiteral("kept"), UpperHalf(s.view, 0));
    QVERIFY(QFile::exists(s.f.doc->GetClips().Path()));
  }
};

KORVANE_VIEW_TEST_MAIN(ClipListTest)
#include "clip_list_test.moc"
