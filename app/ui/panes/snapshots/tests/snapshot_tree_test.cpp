// The snapshot tree: it mirrors the document's snapshot table (captions, nesting, in-place
// rebuild, the current snapshot selected), and its commands: switch with the Yes/No/Cancel
// question, rename, delete and delete tree with their confirmations, the drag data.
#include <QMimeData>
#include <QtTest>

#include "app/ui/panes/snapshots/snapshot_tree_view.h"
#include "app/ui/results/tests/side_fixture.h"
#include "app/ui/results/tests/view_test_main.h"
#include "resources/korvane_ids.h"

namespace {

// The tree as text: "caption" with children in brackets.
QString Dump(QTreeWidgetItem* item) {
  QString s = item->text(0);
  if (item->childCount()) {
    QStringList kids;
    for (int i = 0; i < item->childCount(); ++i) kids << Dump(item->child(i));
    s += QLatin1Char('[') + kids.join(QLatin1Char(',')) + QLatin1Char(']');
  }
  return s;
}
QString Dump(const QTreeWidget& tree) {
  QStringList top;
  for (int i = 0; i < tree.topLevelItemCount(); ++i) top << Dump(tree.topLevelItem(i));
  return top.join(QLatin1Char(','));
}

QString Pattern(CKorvaneDoc* doc) {
  const std::vector<unsigned short>& p = doc->GetPattern();
  return QString(reinterpret_cast<const QChar*>(p.data()), static_cast<int>(p.size()));
}

}  // namespace

class SnapshotTreeTest : public QObject {
  Q_OBJECT

  struct Tree {
    SideFixture f;
    CSnapshotTreeView view{f.doc.get()};
    // Sets the pattern and takes a snapshot of it named `name` (empty: unnamed).
    int Snap(const QString& pattern, const QString& name = QString()) {
      f.SetPattern(pattern);
      int id = f.doc->AddSnapshot(DocFixture::U16Of(name));
      f.doc->Notify(nullptr, HINT_SNAPSHOT_TREE | HINT_CURRENT_SNAPSHOT);
      return id;
    }
  };

 private slots:
  void captions_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("a name wins") << "abc" << "mine" << "mine";
    QTest::newRow("20 characters stay whole") << "abcdefghijklmnopqrst" << "" << "abcdefghijklmnopqrst";
    QTest::newRow("21 characters: 20 and ...") << "abcdefghijklmnopqrstu" << "" << "abcdefghijklmnopqrst...";
    QTest::newRow("short pattern") << "a+" << "" << "a+";
  }
  void captions() {
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    Tree t;
    int id = t.Snap(pattern, name);
    QVERIFY(t.view.ItemOf(id));
    QCOMPARE(t.view.ItemOf(id)->text(0), caption);
  }

  void mirrorsTheSnapshotTree() {
    Tree t;
    int one = t.Snap("1", "one");
    t.Snap("2", "two");  // child of one
    t.f.doc->SwitchToSnapshot(one);
    t.Snap("3", "three");  // second child of one
    QCOMPARE(Dump(t.view), QStringLiteral("one[two,three]"));
    QCOMPARE(t.view.SelectedId(), 3);
    // Every item carries its id and the map finds it.
    for (int id = 1; id <= 3; ++id) QCOMPARE(CSnapshotTreeView::IdOf(t.view.ItemOf(id)), id);
    // Rebuilt in place: the same items stay, expanded branches stay expanded.
    QTreeWidgetItem* oneItem = t.view.ItemOf(one);
    oneItem->setExpanded(true);
    t.f.doc->Notify(nullptr, HINT_SNAPSHOT_TREE);
    QCOMPARE(t.view.ItemOf(one), oneItem);
    QVERIFY(oneItem->isExpanded());
    // Only the two snapshot bits are looked at.
    t.f.doc->SetSnapshotName(one, DocFixture::U16Of("renamed"));
    t.f.doc->Notify(nullptr, HINT_RESULTS);
    QCOMPARE(oneItem->text(0), QStringLiteral("one"));
    t.f.doc->Notify(nullptr, HINT_SNAPSHOT_TREE);
    QCOMPARE(oneItem->text(0), QStringLiteral("renamed"));
  }

  void switchAsksWhenThePatternWasModified_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("giveName");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("snapshots");
    QTest::newRow("Cancel: nothing happens") << int(CViewPrompts::ANSWER_CANCEL) << true << "edited" << 2;
    QTest::newRow("No: switch, the edit is lost") << int(CViewPrompts::ANSWER_NO) << true << "first" << 2;
    QTest::newRow("Yes: snapshot first, then switch") << int(CViewPrompts::ANSWER_YES) << true << "first" << 3;
    QTest::newRow("Yes, name dialog cancelled: nothing") << int(CViewPrompts::ANSWER_YES) << false << "edited" << 2;
  }
  void switchAsksWhenThePatternWasModified() {
    QFETCH(int, answer);
    QFETCH(bool, giveName);
    QFETCH(QString, pattern);
    QFETCH(int, snapshots);
    Tree t;
    int first = t.Snap("first", "f");
    t.Snap("second", "s");
    t.f.SetPattern(QStringLiteral("edited"));
    t.f.answer = answer;
    t.f.ui.giveName = giveName;
    t.view.setCurrentItem(t.view.ItemOf(first));
    t.view.OnViewCommand(ID_SNAPSHOT_SWITCH);
    QCOMPARE(static_cast<int>(t.f.asked.size()), 1);
    QCOMPARE(t.f.asked[0], CStringTable::Str(IDS_MSG_SNAPSHOT_REGEX_LOST));
    QCOMPARE(Pattern(t.f.doc.get()), pattern);
    QCOMPARE(t.f.doc->GetSnapshots().Count(), snapshots);
    if (pattern == QStringLiteral("first")) {
      QCOMPARE(t.f.doc->GetCurrentSnapshot(), first);
      QCOMPARE(t.view.SelectedId(), first);
    }
  }

  void switchWithoutChangesAsksNothing() {
    Tree t;
    int first = t.Snap("first", "f");
    t.Snap("second", "s");
    t.view.setCurrentItem(t.view.ItemOf(first));
    t.view.OnViewCommand(ID_SNAPSHOT_SWITCH);
    QVERIFY(t.f.asked.empty());
    QCOMPARE(Pattern(t.f.doc.get()), QStringLiteral("first"));
    QCOMPARE(t.view.SelectedId(), first);
  }

  void renamePrefillsTheName() {
    Tree t;
    int id = t.Snap("p", "old");
    t.f.nameToGive = QStringLiteral("new");
    t.view.OnViewCommand(ID_SNAPSHOT_SET_NAME);
    QCOMPARE(t.f.lastPrefill, QStringLiteral("old"));
    QCOMPARE(t.view.ItemOf(id)->text(0), QStringLiteral("new"));
    t.f.giveName = false;
    t.view.OnViewCommand(ID_SNAPSHOT_SET_NAME);
    QCOMPARE(t.view.ItemOf(id)->text(0), QStringLiteral("new"));
  }

  void deleteAndDeleteTree_data() {
    QTest::addColumn<bool>("tree");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("dump");
    // one[two[four],three]; delete "two".
    QTest::newRow("delete: children move up to the end") << false << int(CViewPrompts::ANSWER_OK) << "one[three,four]";
    QTest::newRow("delete tree: the subtree goes") << true << int(CViewPrompts::ANSWER_OK) << "one[three]";
    QTest::newRow("cancel keeps everything") << true << int(CViewPrompts::ANSWER_CANCEL) << "one[two[four],three]";
  }
  void deleteAndDeleteTree() {
    QFETCH(bool, tree);
    QFETCH(int, answer);
    QFETCH(QString, dump);
    Tree t;
    int one = t.Snap("1", "one");
    int two = t.Snap("2", "two");
    t.Snap("4", "four");
    t.f.doc->SwitchToSnapshot(one);
    t.Snap("3", "three");
    QCOMPARE(Dump(t.view), QStringLiteral("one[two[four],three]"));
    t.view.setCurrentItem(t.view.ItemOf(two));
    t.f.answer = answer;
    t.view.OnViewCommand(tree ? ID_SNAPSHOT_DELETE_TREE : ID_SNAPSHOT_DELETE);
    QCOMPARE(static_cast<int>(t.f.asked.size()), 1);
    QCOMPARE(t.f.asked[0], CStringTable::Str(tree ? IDS_MSG_DELETE_SNAPSHOT_TREE : IDS_MSG_DELETE_SNAPSHOT));
    QCOMPARE(Dump(t.view), dump);
  }

  void deletingTheCurrentSnapshotSelectsItsParent() {
    Tree t;
    int one = t.Snap("1", "one");
    int two = t.Snap("2", "two");
    QCOMPARE(t.view.SelectedId(), two);
    t.f.answer = CViewPrompts::ANSWER_OK;
    t.view.OnViewCommand(ID_SNAPSHOT_DELETE);
    QCOMPARE(t.f.doc->GetCurrentSnapshot(), one);
    QCOMPARE(t.view.SelectedId(), one);
    t.view.OnViewCommand(ID_SNAPSHOT_DELETE);
    QCOMPARE(t.view.topLevelItemCount(), 0);
    QCOMPARE(t.view.SelectedId(), 0);
  }

  void commandsNeedASelection() {
    Tree t;
    QVERIFY(!t.view.QueryViewCommand(ID_SNAPSHOT_SWITCH).enabled);
    QVERIFY(!t.view.QueryViewCommand(ID_SNAPSHOT_DELETE).enabled);
    t.view.OnViewCommand(ID_SNAPSHOT_DELETE);
    QVERIFY(t.f.asked.empty());
    // Add Snapshot follows the document's rule: a non-empty pattern that differs.
    QVERIFY(!t.view.QueryViewCommand(ID_ADD_SNAPSHOT).enabled);
    t.f.SetPattern(QStringLiteral("x"));
    QVERIFY(t.view.QueryViewCommand(ID_ADD_SNAPSHOT).enabled);
    t.f.ui.nameToGive = "via menu";
    t.view.OnViewCommand(ID_ADD_SNAPSHOT);
    QCOMPARE(Dump(t.view), QStringLiteral("via menu"));
    QVERIFY(t.view.QueryViewCommand(ID_SNAPSHOT_SWITCH).enabled);
    QVERIFY(!t.view.QueryViewCommand(ID_ADD_SNAPSHOT).enabled);
  }

  void dragCarriesThePattern() {
    Tree t;
    int id = t.Snap("a(b)c", "named");
    std::unique_ptr<QMimeData> data(t.view.DragData(id));
    QVERIFY(data);
    QCOMPARE(data->text(), QStringLiteral("a(b)c"));
    QVERIFY(!t.view.DragData(99));
  }
};

KORVANE_VIEW_TEST_MAIN(SnapshotTreeTest)
#include "snapshot_tree_test.moc"
