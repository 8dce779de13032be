// Selected rows of every list and tree view stay readable: the text of the selected row is
// measured against the row's background from the view's pixels (row_look.h), in a light and a
// dark palette, with the focus on the view, on another widget of the window, and with another
// window active (the Tests pane's list among them, on a failed row). Also: the named clips'
// blue and the structure tree's automatic text colour stay readable in a dark palette, and the
// colour helpers they use.
#include <QApplication>
#include <QLineEdit>
#include <QStyleFactory>
#include <QVBoxLayout>
#include <QtTest>
#include <functional>

#include "app/ui/editor/clr_tree_ctrl.h"
#include "app/ui/editor/item_look.h"
#include "app/ui/editor/regex_group_list_view.h"
#include "app/ui/editor/regex_tree_view.h"
#include "app/ui/panes/clips/clip_list_view.h"
#include "app/ui/panes/snapshots/snapshot_tree_view.h"
#include "app/ui/results/split_result_list_view.h"
#include "app/document/testing/test_eval.h"
#include "app/ui/panes/test_cases/test_case_list.h"
#include "app/ui/results/tests/row_look.h"
#include "app/ui/results/tests/side_fixture.h"
#include "app/ui/results/tests/view_test_main.h"
#include "app/ui/results/text_edit_view.h"
#include "app/ui/panes/history/trace_stack_list_view.h"
#include "resources/korvane_ids.h"

namespace {

enum Focus { FOCUS_VIEW, FOCUS_ELSEWHERE, OTHER_WINDOW };

// The views in one window, each with a selected row, on a document in Optimize mode after Find
// All (split rows, group captures, heat colours) and one paused in Trace mode (the stack list).
struct Views {
  SideFixture f;
  DocFixture trace;  // uses the clips location f set up; goes before f
  QWidget window;
  QWidget other;
  QLineEdit* elsewhere = new QLineEdit;
  CSplitResultListView* split = new CSplitResultListView(f.doc.get());
  CClipListView* clips = new CClipListView(f.doc.get());
  CSnapshotTreeView* snapshots = new CSnapshotTreeView(f.doc.get());
  CRegexGroupListView* groups = new CRegexGroupListView(f.doc.get());
  CRegexTreeView* tree = new CRegexTreeView(f.doc.get());
  CTraceStackListView* stack = new CTraceStackListView(trace.doc.get());
  CTestCaseList* tests = new CTestCaseList;

  Views() {
    auto* layout = new QVBoxLayout(&window);
    // Big bold text: enough pixels of full text colour to measure on any font.
    QFont font = window.font();
    font.setPixelSize(16);
    font.setBold(true);
    for (QAbstractItemView* v : All()) {
      v->setFont(font);
      v->setMinimumSize(320, 150);
      layout->addWidget(v);
    }
    layout->addWidget(elsewhere);
    f.doc->OnCommand(CMD_MODE_OPTIMIZE);
    f.Set(QStringLiteral("(\\w+)(?<sep>,)"), QStringLiteral("alpha,beta,gamma,delta"));
    f.doc->GetClips().AddClip(DocFixture::U16Of(QStringLiteral("[0-9]+")), DocFixture::U16Of(QStringLiteral("Number")));
    f.doc->GetClips().AddClip(DocFixture::U16Of(QStringLiteral("\\w+@\\w+")), {});
    f.doc->AddSnapshot(DocFixture::U16Of(QStringLiteral("first try")));
    f.doc->Notify(nullptr, HINT_CLIPS | HINT_SNAPSHOT_TREE | HINT_CURRENT_SNAPSHOT);
    groups->OnInitialUpdate();
    tree->OnInitialUpdate();
    f.FindAll();
    trace.doc->OnCommand(CMD_MODE_TRACE);
    trace.Set(QStringLiteral("(\\d+)-(\\d+)"), QStringLiteral("call 555-0123"));
    for (int i = 0; i < 8; ++i) trace.doc->OnCommand(CMD_STEP_MATCH);
    tree->expandAll();
    tests->SetRowCount(3);
    tests->SetRow(0, TEST_PASS, QStringLiteral("Passes"), QString());
    tests->SetRow(1, TEST_FAIL, QStringLiteral("Fails"), QStringLiteral("expected 2 matches, got 1"));
    tests->SetRow(2, TEST_TIMED_OUT, QStringLiteral("Slow"), QStringLiteral("timed out after 500 ms"));
    other.resize(100, 60);
  }
  ~Views() {
    trace.doc->OnCommand(CMD_RESET_FIND);  // the paused search ends before the document goes
  }
  QList<QAbstractItemView*> All() const { return {split, clips, snapshots, groups, tree, stack, tests}; }

  // The node of the first capture group: it ran more than once, so it has a heat colour.
  QTreeWidgetItem* HeatItem() const { return tree->FindNode(f.doc->GetCompiled().GetGroupElement(1)); }

  bool Show() {
    window.show();
    return QTest::qWaitForWindowActive(&window);
  }
  bool PutFocus(QWidget* view, Focus focus) {
    if (focus == OTHER_WINDOW) {
      other.show();
      other.activateWindow();
      return QTest::qWaitForWindowActive(&other);
    }
    other.hide();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) return false;
    QWidget* target = focus == FOCUS_VIEW ? view : elsewhere;
    target->setFocus(Qt::OtherFocusReason);
    return QTest::qWaitFor([&] { return target->hasFocus(); }, 5000);
  }
};

QPalette LightPalette() { return QApplication::style()->standardPalette(); }

}  // namespace

class ListLookTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion"))); }
  void cleanup() { QApplication::setPalette(LightPalette()); }

  void selectedRowIsReadable_data() {
    QTest::addColumn<QString>("view");
    QTest::addColumn<bool>("dark");
    QTest::addColumn<int>("focus");
    const QStringList views = {"split", "clip unnamed", "clip named", "snapshot", "group", "tree heat", "stack",
                               "failed test"};
    const QStringList focusNames = {"focused", "focus elsewhere", "other window"};
    for (const QString& v : views)
      for (bool dark : {false, true})
        for (int focus : {FOCUS_VIEW, FOCUS_ELSEWHERE, OTHER_WINDOW})
          QTest::newRow(qPrintable(QStringLiteral("%1, %2, %3").arg(v, dark ? "dark" : "light", focusNames[focus])))
              << v << dark << focus;
  }
  void selectedRowIsReadable() {
    QFETCH(QString, view);
    QFETCH(bool, dark);
    QFETCH(int, focus);
    QApplication::setPalette(dark ? row_look::DarkPalette() : LightPalette());
    Views v;
    QVERIFY(v.Show());
    QAbstractItemView* target = nullptr;
    if (view == "split") {
      target = v.split;
      v.split->setCurrentIndex(v.split->model()->index(1, 0));
    } else if (view.startsWith("clip")) {
      target = v.clips;
      v.clips->SelectClip(view == "clip named" ? 0 : 1);
    } else if (view == "snapshot") {
      target = v.snapshots;
      v.snapshots->setCurrentItem(v.snapshots->topLevelItem(0));
    } else if (view == "group") {
      target = v.groups;
      v.groups->setCurrentItem(v.groups->topLevelItem(1));
    } else if (view == "tree heat") {
      target = v.tree;
      QVERIFY(v.HeatItem());
      QVERIFY(v.tree->FindColor(v.HeatItem()));
      v.tree->setCurrentItem(v.HeatItem());
    } else if (view == "failed test") {
      target = v.tests;
      v.tests->SelectRow(1);
    } else {
      target = v.stack;
      QVERIFY(v.stack->model()->rowCount() > 0);
      v.stack->setCurrentIndex(v.stack->model()->index(0, 0));
    }
    const QModelIndex index = target->currentIndex();
    QVERIFY(index.isValid());
    QVERIFY(target->selectionModel()->isSelected(index));
    QVERIFY(v.PutFocus(target, static_cast<Focus>(focus)));
    const row_look::RowLook look = row_look::MeasureRow(target, index);
    QVERIFY2(look.best >= row_look::kReadable && look.readable >= 20,
             qPrintable(QStringLiteral("contrast %1, %2 readable pixels on #%3")
                            .arg(look.best, 0, 'f', 2)
                            .arg(look.readable)
                            .arg(look.background & 0xFFFFFF, 6, 16, QLatin1Char('0'))));
  }

  // Rows that are not selected keep their own colours, readable on the palette's background.
  void colouredRowsAreReadableInADarkPalette_data() {
    QTest::addColumn<QString>("view");
    QTest::newRow("named clip in blue") << "clip named";
    QTest::newRow("heat colour with automatic text") << "tree heat";
  }
  void colouredRowsAreReadableInADarkPalette() {
    QFETCH(QString, view);
    QApplication::setPalette(row_look::DarkPalette());
    Views v;
    QVERIFY(v.Show());
    QAbstractItemView* target = nullptr;
    QModelIndex index;
    if (view == "clip named") {
      target = v.clips;
      v.clips->SelectClip(1);
      index = v.clips->model()->index(0, 0);
      // Still a blue.
      const QColor c = v.clips->topLevelItem(0)->foreground(0).color();
      QVERIFY(c.blue() > c.red() && c.blue() > c.green());
    } else {
      target = v.tree;
      v.tree->setCurrentItem(v.tree->topLevelItem(0));
      QVERIFY(v.HeatItem());
      index = v.tree->indexFromItem(v.HeatItem());
    }
    QVERIFY(v.PutFocus(target, FOCUS_ELSEWHERE));
    const row_look::RowLook look = row_look::MeasureRow(target, index);
    QVERIFY2(look.best >= 4.5 && look.readable >= 20,
             qPrintable(QStringLiteral("contrast %1, %2 readable pixels").arg(look.best, 0, 'f', 2).arg(look.readable)));
  }

  void paletteChangeRecoloursNamedClips() {
    Views v;
    QCOMPARE(v.clips->topLevelItem(0)->foreground(0).color(), QColor(0, 0, 255));
    QApplication::setPalette(row_look::DarkPalette());
    QTRY_VERIFY(ContrastRatio(v.clips->topLevelItem(0)->foreground(0).color(), row_look::DarkPalette().color(QPalette::Base)) >= 4.5);
    QApplication::setPalette(LightPalette());
    QTRY_COMPARE(v.clips->topLevelItem(0)->foreground(0).color(), QColor(0, 0, 255));
  }

  // The text boxes follow the application's palette: a dark desktop gets dark boxes with light
  // text (the highlights have dark variants for it); the text drawn is measured from the box's
  // pixels.
  void textBoxesFollowADarkPalette() {
    const QPalette dark = row_look::DarkPalette();
    QApplication::setPalette(dark);
    DocFixture f;
    CTextEditView box(f.doc.get());
    QFont font = box.font();
    font.setPixelSize(16);
    box.setFont(font);
    box.resize(300, 80);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    f.SetText(QStringLiteral("MMMM WWWW"));
    QCOMPARE(box.toPlainText(), QStringLiteral("MMMM WWWW"));
    QCOMPARE(box.palette().color(QPalette::Base), dark.color(QPalette::Base));
    QCOMPARE(box.palette().color(QPalette::Text), dark.color(QPalette::Text));
    const QImage image = box.viewport()->grab().toImage();
    const row_look::RowLook look = row_look::Measure(image, QRect(0, 0, 200, 26), 1);  // the first line
    QCOMPARE(look.background | 0xFF000000u, dark.color(QPalette::Base).rgb());
    QVERIFY2(look.best >= 10 && look.readable >= 20, qPrintable(QString::number(look.best)));
  }

  void readableTextColour_data() {
    QTest::addColumn<QColor>("wanted");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<bool>("unchanged");
    QTest::newRow("blue on white stays") << QColor(0, 0, 255) << QColor(Qt::white) << true;
    QTest::newRow("blue on dark grey lightens") << QColor(0, 0, 255) << QColor(35, 35, 35) << false;
    QTest::newRow("yellow on white darkens") << QColor(255, 255, 0) << QColor(Qt::white) << false;
    QTest::newRow("black on black becomes white") << QColor(Qt::black) << QColor(Qt::black) << false;
    QTest::newRow("mid grey on mid grey") << QColor(119, 119, 119) << QColor(119, 119, 119) << false;
  }
  void readableTextColour() {
    QFETCH(QColor, wanted);
    QFETCH(QColor, background);
    QFETCH(bool, unchanged);
    const QColor got = ReadableTextColor(wanted, background);
    QCOMPARE(got == wanted, unchanged);
    QVERIFY2(ContrastRatio(got, background) >= 4.5, qPrintable(got.name()));
  }

  void contrastRatio() {
    QCOMPARE(qRound(ContrastRatio(Qt::black, Qt::white) * 10), 210);
    QCOMPARE(ContrastRatio(QColor(10, 20, 30), QColor(10, 20, 30)), 1.0);
    QCOMPARE(ContrastRatio(Qt::white, Qt::black), ContrastRatio(Qt::black, Qt::white));
  }

  // The automatic text colour is the window-text colour where that can be read on the
  // background, black where it cannot, white on dark backgrounds.
  void treeAutomaticTextFollowsThePalette() {
    CClrTreeCtrl ctrl;
    auto* item = new QTreeWidgetItem(&ctrl);
    ctrl.SetItemColor(item, -1, ClrRgb(255, 200, 200), false);
    const CClrTreeCtrl::ColorEntry* e = ctrl.FindColor(item);
    QVERIFY(e);
    QPalette light;
    light.setColor(QPalette::Text, QColor(20, 20, 60));
    ctrl.setPalette(light);
    QCOMPARE(ctrl.TextColorOf(*e), ClrRgb(20, 20, 60));
    ctrl.setPalette(row_look::DarkPalette());
    QCOMPARE(ctrl.TextColorOf(*e), ClrRgb(0, 0, 0));
    ctrl.SetItemColor(item, -1, ClrRgb(100, 0, 0), false);
    QCOMPARE(ctrl.TextColorOf(*ctrl.FindColor(item)), ClrRgb(255, 255, 255));
    ctrl.SetItemColor(item, ClrRgb(1, 2, 3), -1, false);
    QCOMPARE(ctrl.TextColorOf(*ctrl.FindColor(item)), ClrRgb(1, 2, 3));
    QCOMPARE(ctrl.BackColorOf(*ctrl.FindColor(item)), ClrRgb(35, 35, 35));
  }
};

KORVANE_VIEW_TEST_MAIN(ListLookTest)
#include "list_look_test.moc"
