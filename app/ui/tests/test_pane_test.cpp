// The Tests pane in the real frame, offscreen: the live loop (add a test, accept the current
// result, break it with a pattern edit, see the mark and the reason, undo, see it pass), the
// commands of the Tests menu and their enable rules, the editor writing tests back, reordering,
// loading a test into the text box for every mode, the snapshot table, import and export, ten
// thousand tests; and the editor's text forms. Settings and the clips file live in temporary
// folders.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTextBlock>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/document/files/text_clips.h"
#include "app/document/flavours/flavour_session.h"
#include "app/document/flavours/flavour_test_check.h"
#include "app/flavours/flavour_pool.h"
#include "app/ui/frame/korvane_back.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/shared/menu_resources.h"
#include "app/ui/panes/test_cases/snapshot_test_table.h"
#include "app/ui/panes/test_cases/test_case_editor.h"
#include "app/ui/panes/test_cases/test_case_list.h"
#include "app/ui/panes/test_cases/test_case_pane.h"
#include "app/ui/results/tests/row_look.h"
#include "app/ui/results/view_prompts.h"
#include "app/ui/frame/sizing_bar.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "platform/shared_counter.h"
#include "app/document/core/test_session.h"
#include "stringtable.h"
#include "app/ui/tests/private_settings_main.h"

namespace {

using Ids = QList<int>;

TestText U16(const QString& s) { return TestText(s.utf16(), s.utf16() + s.size()); }
QString Str(const TestText& v) { return QString(reinterpret_cast<const QChar*>(v.data()), static_cast<int>(v.size())); }

// A frame shown and active, with the fail-point check off (its searches would race the tests'
// own), message boxes and view prompts answered by the test.
struct Frame {
  CMainFrame frame;
  QStringList boxes;
  QStringList asked;
  int answer = CViewPrompts::ANSWER_OK;
  QString nameToGive;

  Frame() {
    frame.messageBoxHook = [this](const QString& text, const QString&, int, int) {
      boxes << text;
      return int(IDocumentUi::ANSWER_OK);
    };
    CViewPrompts::SetAsker([this](const QString& text, int) {
      asked << text;
      return answer;
    });
    CViewPrompts::SetNameAsker([this](QString& name) {
      if (nameToGive.isEmpty()) return false;
      name = nameToGive;
      return true;
    });
    if (Doc()->IsLocateFailPoint()) Doc()->OnCommand(ID_MATCH_LOCATE_FAIL_POINT);
    frame.resize(1100, 760);
    frame.show();
  }
  ~Frame() {
    CViewPrompts::SetAsker({});
    CViewPrompts::SetNameAsker({});
    CTestCasePane::SetPathAsker({});
  }
  bool Active() { return QTest::qWaitForWindowActive(&frame); }
  CKorvaneDoc* Doc() const { return frame.Doc(); }
  CTestCasePane* Pane() const { return frame.TestsPane(); }
  CTestCaseList* List() const { return Pane()->List(); }
  CTestCaseEditor* Editor() const { return Pane()->Editor(); }
  QPlainTextEdit* PatternBox() const { return qobject_cast<QPlainTextEdit*>(frame.PatternEditView()); }

  // Types into the pattern box, as a user does (so that Undo takes it back).
  void TypePattern(const QString& keys) {
    PatternBox()->setFocus();
    QTest::keyClicks(PatternBox(), keys);
  }
  void SetSubject(const QString& text) {
    const TestText t = U16(text);
    Doc()->SetSubjectText(t.data(), static_cast<int>(t.size()));
    Doc()->Notify(nullptr, HINTS_SUBJECT_EDITED);
  }
  void SetPattern(const QString& text) {
    const TestText p = U16(text);
    Doc()->SetPattern(p.data(), static_cast<int>(p.size()), true);
    Doc()->Notify(nullptr, HINT_PATTERN_REPLACED | HINT_RECOLOR_PATTERN);
    Doc()->Notify(nullptr, HINTS_PATTERN_EDITED);
  }
  int Status(int row) const {
    QTreeWidgetItem* item = List()->topLevelItem(row);
    return item ? item->data(CTestCaseList::COL_MARK, Qt::UserRole).toInt() : -1;
  }
  QString Reason(int row) const {
    QTreeWidgetItem* item = List()->topLevelItem(row);
    return item ? item->text(CTestCaseList::COL_REASON) : QString();
  }
  QString Name(int row) const {
    QTreeWidgetItem* item = List()->topLevelItem(row);
    return item ? item->text(CTestCaseList::COL_NAME) : QString();
  }
  QStringList Names() const {
    QStringList names;
    for (int i = 0; i < List()->topLevelItemCount(); ++i) names << Name(i);
    return names;
  }
  // Adds tests named `names` with the subjects `subjects` through the menu command.
  void AddTests(const QStringList& subjects) {
    for (const QString& s : subjects) {
      SetSubject(s);
      frame.OnCommand(ID_TEST_ADD);
    }
  }
};

// The enable state of the Tests menu's items, after the greying pass that runs before it shows.
QMap<int, bool> TestsMenuStates(CMainFrame& frame) {
  QMenu* menu = frame.TopMenu(IDS_MENU_TESTS);
  frame.PrepareMenu(menu);
  QMap<int, bool> states;
  for (QAction* a : menu->actions())
    if (int id = CMenuResources::CommandOf(a)) states.insert(id, a->isEnabled());
  return states;
}

}  // namespace

class TestPaneTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    CProfile profile;
    profile.Settings().clear();
    profile.Flush();
  }

  // The loop a user goes through: a test made from the text box, its expectation taken from
  // the current result, broken by an edit of the pattern, mended by Undo.
  void acceptBreakUndo() {
    Frame f;
    QVERIFY(f.Active());
    f.TypePattern(QStringLiteral("\\d+"));
    QTRY_COMPARE(Str(f.Doc()->GetPattern()), QStringLiteral("\\d+"));
    f.SetSubject(QStringLiteral("call 555-0123 now"));
    f.frame.OnCommand(ID_TEST_ADD);
    QCOMPARE(f.List()->topLevelItemCount(), 1);
    QCOMPARE(f.Pane()->SelectedTest(), 0);
    QCOMPARE(f.Editor()->SubjectBox()->toPlainText(), QStringLiteral("call 555-0123 now"));
    // The list of all matches is what Accept fills in.
    f.Editor()->KindBox()->setCurrentIndex(f.Editor()->KindBox()->findData(int(EXPECT_MATCH_LIST)));
    f.Pane()->CommitEdit();
    QCOMPARE(f.Doc()->Tests().All()[0].expectation, int(EXPECT_MATCH_LIST));
    f.frame.OnCommand(ID_TEST_ACCEPT);
    QCOMPARE(f.Editor()->ExpectedBox()->toPlainText(), QStringLiteral("5-8\n9-13"));
    QTRY_COMPARE(f.Status(0), int(TEST_PASS));
    QVERIFY(f.Reason(0).isEmpty());
    QTRY_COMPARE(f.frame.TestsText(), QStringLiteral("Tests: 1 passed, 0 failed"));

    // Four digits exactly, typed over the "+": "555" no longer matches.
    QTextCursor cursor = f.PatternBox()->textCursor();
    cursor.setPosition(2);
    cursor.setPosition(3, QTextCursor::KeepAnchor);
    f.PatternBox()->setTextCursor(cursor);
    f.TypePattern(QStringLiteral("{4}"));
    QTRY_COMPARE(Str(f.Doc()->GetPattern()), QStringLiteral("\\d{4}"));
    QTRY_COMPARE(f.Status(0), int(TEST_FAIL));
    QVERIFY2(f.Reason(0).contains(QStringLiteral("expected 2 matches, got 1")), qPrintable(f.Reason(0)));
    QCOMPARE(f.List()->topLevelItem(0)->text(CTestCaseList::COL_MARK), QStringLiteral("Failed"));
    QTRY_COMPARE(f.frame.TestsText(), QStringLiteral("Tests: 0 passed, 1 failed"));

    // Undo in the pattern box (the active view) takes the edit back; the test passes again.
    QCOMPARE(f.frame.ActiveView(), f.frame.PatternEditView());
    f.frame.OnCommand(ID_EDIT_UNDO);  // typing is undone a word at a time: "4}" first
    f.frame.OnCommand(ID_EDIT_UNDO);
    QTRY_COMPARE(Str(f.Doc()->GetPattern()), QStringLiteral("\\d+"));
    QTRY_COMPARE(f.Status(0), int(TEST_PASS));
    QVERIFY(f.Reason(0).isEmpty());
    QTRY_COMPARE(f.frame.TestsText(), QStringLiteral("Tests: 1 passed, 0 failed"));
  }

  // The Tests menu and the pane's context menu enable the same items, by the selection and
  // what there is.
  void enableRules_data() {
    QTest::addColumn<int>("tests");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("clips");
    QTest::addColumn<Ids>("enabled");
    const Ids always = {ID_TEST_ADD, ID_TEST_IMPORT_FILE};
    const Ids some = {ID_TEST_EXPORT_CSV, ID_TEST_RUN_SNAPSHOTS};
    const Ids item = {ID_TEST_DUPLICATE, ID_TEST_RENAME, ID_TEST_DELETE, ID_TEST_LOAD, ID_TEST_ACCEPT};
    QTest::newRow("no tests, no clips") << 0 << -1 << false << always;
    QTest::newRow("no tests, clips") << 0 << -1 << true << always + Ids{ID_TEST_IMPORT_CLIPS};
    QTest::newRow("tests, none selected") << 3 << -1 << false << always + some;
    QTest::newRow("first of three") << 3 << 0 << false << always + some + item + Ids{ID_TEST_MOVE_DOWN};
    QTest::newRow("middle of three") << 3 << 1 << false << always + some + item + Ids{ID_TEST_MOVE_UP, ID_TEST_MOVE_DOWN};
    QTest::newRow("last of three") << 3 << 2 << false << always + some + item + Ids{ID_TEST_MOVE_UP};
    QTest::newRow("the only test") << 1 << 0 << true << always + some + item + Ids{ID_TEST_IMPORT_CLIPS};
  }
  void enableRules() {
    QFETCH(int, tests);
    QFETCH(int, selected);
    QFETCH(bool, clips);
    QFETCH(Ids, enabled);
    Frame f;
    for (int i = 0; i < tests; ++i) f.AddTests({QStringLiteral("subject %1").arg(i)});
    // The clips file outlives the frame: each row starts from none.
    f.Doc()->GetClips().ClearClips();
    if (clips) f.Doc()->GetClips().AddClip(U16(QStringLiteral("a clip")), {});
    f.Doc()->Notify(nullptr, HINT_CLIPS);
    f.Pane()->SelectTest(selected);
    QCOMPARE(f.Pane()->SelectedTest(), selected);
    const QMap<int, bool> states = TestsMenuStates(f.frame);
    QCOMPARE(states.size(), 12);
    Ids got;
    for (auto it = states.cbegin(); it != states.cend(); ++it)
      if (it.value()) got << it.key();
    std::sort(enabled.begin(), enabled.end());
    QCOMPARE(got, enabled);
    // The context menu template holds the same items in the same order.
    QMenu* context = f.frame.ContextMenu(IDR_CTX_TESTS);
    QVERIFY(context);
    Ids menuOrder, contextOrder;
    for (QAction* a : f.frame.TopMenu(IDS_MENU_TESTS)->actions()) menuOrder << CMenuResources::CommandOf(a);
    for (QAction* a : context->actions()) contextOrder << CMenuResources::CommandOf(a);
    QCOMPARE(contextOrder, menuOrder);
    f.Doc()->GetClips().ClearClips();
  }

  // Commands change the document's set and the list follows, the selection with the test.
  void commands() {
    Frame f;
    f.AddTests({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    QCOMPARE(f.Names(), (QStringList{"Test 1", "Test 2", "Test 3"}));
    QCOMPARE(f.Pane()->SelectedTest(), 2);

    f.Pane()->SelectTest(0);
    f.frame.OnCommand(ID_TEST_DUPLICATE);
    QCOMPARE(f.List()->topLevelItemCount(), 4);
    QCOMPARE(f.Pane()->SelectedTest(), 1);
    QCOMPARE(Str(f.Doc()->Tests().All()[1].Subject()), QStringLiteral("one"));

    f.nameToGive = QStringLiteral("dates");
    f.frame.OnCommand(ID_TEST_RENAME);
    QCOMPARE(f.Name(1), QStringLiteral("dates"));

    f.frame.OnCommand(ID_TEST_MOVE_DOWN);
    QCOMPARE(f.Pane()->SelectedTest(), 2);
    QCOMPARE(f.Name(2), QStringLiteral("dates"));
    f.frame.OnCommand(ID_TEST_MOVE_UP);
    f.frame.OnCommand(ID_TEST_MOVE_UP);
    QCOMPARE(f.Names(), (QStringList{"dates", "Test 1", "Test 2", "Test 3"}));

    // Delete asks first; Cancel keeps the test.
    f.answer = CViewPrompts::ANSWER_CANCEL;
    f.frame.OnCommand(ID_TEST_DELETE);
    QCOMPARE(f.List()->topLevelItemCount(), 4);
    QCOMPARE(f.asked.size(), 1);
    QVERIFY(f.asked.last().contains(QStringLiteral("\"dates\"")));
    f.answer = CViewPrompts::ANSWER_OK;
    f.frame.OnCommand(ID_TEST_DELETE);
    QCOMPARE(f.Names(), (QStringList{"Test 1", "Test 2", "Test 3"}));
    QCOMPARE(f.Pane()->SelectedTest(), 0);  // the row that took its place

    // In the list, Undo and Redo step through the test edits.
    f.List()->setFocus();
    QTRY_COMPARE(f.frame.ActiveView(), static_cast<QWidget*>(f.Pane()));
    f.frame.OnCommand(ID_EDIT_UNDO);
    QCOMPARE(f.Names(), (QStringList{"dates", "Test 1", "Test 2", "Test 3"}));
    f.frame.OnCommand(ID_EDIT_REDO);
    QCOMPARE(f.Names(), (QStringList{"Test 1", "Test 2", "Test 3"}));
    // Delete (the Edit menu's, as the Del key gives it) deletes the selected test.
    f.Pane()->SelectTest(2);
    f.frame.OnCommand(ID_EDIT_CLEAR);
    QCOMPARE(f.Names(), (QStringList{"Test 1", "Test 2"}));
    QCOMPARE(f.Pane()->SelectedTest(), 1);
  }

  // A row dropped between two others lands there; dropped where it is, nothing moves.
  void dropTargets_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("to");
    QTest::newRow("first dropped before the third") << 0 << 2 << 4 << 1;
    QTest::newRow("first dropped at the end") << 0 << 4 << 4 << 3;
    QTest::newRow("last dropped at the top") << 3 << 0 << 4 << 0;
    QTest::newRow("dropped before itself") << 2 << 2 << 4 << -1;
    QTest::newRow("dropped before the next") << 2 << 3 << 4 << -1;
    QTest::newRow("beyond the end counts as the end") << 1 << 99 << 4 << 3;
    QTest::newRow("no row dragged") << -1 << 2 << 4 << -1;
  }
  void dropTargets() {
    QFETCH(int, from);
    QFETCH(int, row);
    QFETCH(int, count);
    QFETCH(int, to);
    QCOMPARE(CTestCaseList::MoveTarget(from, row, count), to);
  }

  void dragMovesTheTest() {
    Frame f;
    f.AddTests({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    f.Pane()->SelectTest(0);
    emit f.List()->RowMoved(0, 2);
    QCOMPARE(f.Names(), (QStringList{"Test 2", "Test 3", "Test 1"}));
    QCOMPARE(f.Pane()->SelectedTest(), 2);
    QCOMPARE(Str(f.Doc()->Tests().All()[2].Subject()), QStringLiteral("a"));
  }

  // What the editor changes reaches the document (after the pause, or at once when the
  // selection moves), and runs the tests again.
  void editorWritesBack() {
    Frame f;
    f.SetPattern(QStringLiteral("b+"));
    f.AddTests({QStringLiteral("abba"), QStringLiteral("xyz")});
    f.Pane()->SelectTest(1);
    QTRY_COMPARE(f.Status(1), int(TEST_FAIL));  // "xyz" has no b
    QPlainTextEdit* subject = f.Editor()->SubjectBox();
    subject->setFocus();
    subject->selectAll();
    QTest::keyClicks(subject, QStringLiteral("xbz"));
    QCOMPARE(Str(f.Doc()->Tests().All()[1].Subject()), QStringLiteral("xyz"));  // not yet
    QTRY_COMPARE(Str(f.Doc()->Tests().All()[1].Subject()), QStringLiteral("xbz"));
    QTRY_COMPARE(f.Status(1), int(TEST_PASS));
    QCOMPARE(subject->toPlainText(), QStringLiteral("xbz"));  // the refill kept the box as typed

    // Own options: ignore case lets "B" match; the workspace's options stay as they were.
    QTest::keyClicks(subject, QStringLiteral("B"));  // "xbzB"
    f.Editor()->OwnOptionsBox()->setChecked(true);
    QVERIFY(f.Editor()->OptionBox(0)->isEnabled());
    f.Editor()->OptionBox(0)->setChecked(true);  // IgnoreCase
    f.Pane()->SelectTest(0);                     // moving away writes the edit at once
    const TestCase& t = f.Doc()->Tests().All()[1];
    QCOMPARE(Str(t.Subject()), QStringLiteral("xbzB"));
    QVERIFY(t.ownOptions);
    QCOMPARE(t.flags & IGNORECASE, int(IGNORECASE));
    QCOMPARE(f.Doc()->GetFlags() & IGNORECASE, 0);

    // Expected matches that do not parse are not written (the kind is); once they do, they are.
    f.Pane()->SelectTest(1);
    f.Editor()->KindBox()->setCurrentIndex(f.Editor()->KindBox()->findData(int(EXPECT_MATCH_LIST)));
    f.Editor()->ExpectedBox()->setPlainText(QStringLiteral("1-x"));
    f.Pane()->CommitEdit();
    QCOMPARE(f.Doc()->Tests().All()[1].expectation, int(EXPECT_MATCH_LIST));
    QVERIFY(f.Doc()->Tests().All()[1].matches.empty());
    QCOMPARE(f.Editor()->MarkedLine(), 0);
    QCOMPARE(f.Status(1), int(TEST_ERROR));
    f.Editor()->ExpectedBox()->setPlainText(QStringLiteral("1-2\n3-4\n"));
    f.Pane()->CommitEdit();
    // The box keeps what was typed (the line break after the last match too).
    QCOMPARE(f.Editor()->ExpectedBox()->toPlainText(), QStringLiteral("1-2\n3-4\n"));
    QCOMPARE(f.Doc()->Tests().All()[1].expectation, int(EXPECT_MATCH_LIST));
    QCOMPARE(f.Doc()->Tests().All()[1].matches.size(), size_t(2));
    QTRY_COMPARE(f.Status(1), int(TEST_PASS));  // "b" at 1-2 and "B" at 3-4 with IgnoreCase
  }

  // A double click puts the test's subject into the text box (and its own options into the
  // workspace), so that it can be traced like any text.
  void doubleClickLoadsTheSubject_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("match") << int(ID_MODE_MATCH);
    QTest::newRow("replace") << int(ID_MODE_REPLACE);
    QTest::newRow("trace") << int(ID_MODE_TRACE);
  }
  void doubleClickLoadsTheSubject() {
    QFETCH(int, mode);
    Frame f;
    QVERIFY(f.Active());
    f.SetPattern(QStringLiteral("a+"));
    f.AddTests({QStringLiteral("first\nline two"), QStringLiteral("second")});
    TestCase own = f.Doc()->Tests().All()[0];
    own.ownOptions = true;
    own.flags = MULTILINE;
    f.Doc()->Tests().Edit(0, own);
    f.SetSubject(QStringLiteral("something else"));
    f.frame.OnCommand(mode);
    QTreeWidgetItem* item = f.List()->topLevelItem(0);
    const QPoint at = f.List()->visualItemRect(item).center();
    QTest::mouseDClick(f.List()->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(Str(f.Doc()->GetSubjectText()), QStringLiteral("first\nline two"));
    QCOMPARE(f.Doc()->GetFlags() & MULTILINE, int(MULTILINE));
    auto* text = qobject_cast<QPlainTextEdit*>(f.frame.WorkPane()->View(CKorvaneBack::SLOT_TEXT));
    QVERIFY(text);
    QCOMPARE(text->toPlainText(), QStringLiteral("first\nline two"));
    if (mode == ID_MODE_TRACE) {
      // The loaded text is traced: a step pauses inside it.
      f.frame.OnCommand(ID_MATCH_STEP);
      QTRY_VERIFY(f.Doc()->IsJobActive());
      f.frame.OnCommand(ID_MATCH_RESET);
    }
  }

  // The pane is a bar like the others: in the View menu, in every mode's layout.
  void paneInEveryModeLayout_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("match") << int(ID_MODE_MATCH);
    QTest::newRow("replace") << int(ID_MODE_REPLACE);
    QTest::newRow("split") << int(ID_MODE_SPLIT);
    QTest::newRow("optimize") << int(ID_MODE_OPTIMIZE);
    QTest::newRow("trace") << int(ID_MODE_TRACE);
  }
  void paneInEveryModeLayout() {
    QFETCH(int, mode);
    Frame f;
    QVERIFY(QTest::qWaitForWindowExposed(&f.frame));
    f.frame.OnCommand(mode);
    QWidget* bar = f.frame.Bar(BAR_TESTS);
    QVERIFY(bar && bar->isVisible());
    QCOMPARE(f.frame.dockWidgetArea(f.frame.SizingBar(BAR_TESTS)), Qt::BottomDockWidgetArea);
    QVERIFY(f.List()->width() > 200);
    f.frame.OnCommand(ID_VIEW_TESTS);
    QVERIFY(!bar->isVisible());
    // Hidden in this mode, it stays hidden when the mode comes back.
    f.frame.OnCommand(mode == ID_MODE_MATCH ? ID_MODE_REPLACE : ID_MODE_MATCH);
    f.frame.OnCommand(mode);
    QVERIFY(!bar->isVisible());
    f.frame.OnCommand(ID_VIEW_RESET_BARS);
    QVERIFY(bar->isVisible());
  }

  // A layout saved before there was a Tests bar does not hide it: it comes up at the bottom.
  void layoutSavedBeforeTheTestsBar() {
    {
      Frame old;
      QVERIFY(QTest::qWaitForWindowExposed(&old.frame));
      // Saved as a program without the bar would have saved it: the bar is not in the state.
      old.frame.removeDockWidget(old.frame.SizingBar(BAR_TESTS));
      old.frame.SizingBar(BAR_TESTS)->setObjectName(QStringLiteral("not-there"));
      old.frame.SaveModeLayout(MODE_MATCH);
      old.frame.SizingBar(BAR_TESTS)->setObjectName(QStringLiteral("Bar-%1").arg(int(BAR_TESTS)));
    }
    Frame f;
    QVERIFY(QTest::qWaitForWindowExposed(&f.frame));
    QVERIFY(f.frame.Bar(BAR_TESTS)->isVisible());
    QCOMPARE(f.frame.dockWidgetArea(f.frame.SizingBar(BAR_TESTS)), Qt::BottomDockWidgetArea);
    QVERIFY(!f.frame.SizingBar(BAR_TESTS)->isFloating());
    // Once saved with it, hiding it is kept.
    f.frame.OnCommand(ID_VIEW_TESTS);
    f.frame.SaveModeLayout(MODE_MATCH);
    Frame again;
    QVERIFY(QTest::qWaitForWindowExposed(&again.frame));
    QVERIFY(!again.frame.Bar(BAR_TESTS)->isVisible());
  }

  // The table names the snapshots and gives each test's mark on each one's pattern.
  void snapshotTable() {
    Frame f;
    f.SetPattern(QStringLiteral("\\d+"));
    f.Doc()->AddSnapshot(U16(QStringLiteral("digits")));
    f.SetPattern(QStringLiteral("[a-z]+"));
    f.Doc()->AddSnapshot(U16(QStringLiteral("letters")));
    f.Doc()->Notify(nullptr, HINT_SNAPSHOT_TREE | HINT_CURRENT_SNAPSHOT);
    f.AddTests({QStringLiteral("42"), QStringLiteral("abc")});
    QTRY_COMPARE(f.frame.TestsText(), QStringLiteral("Tests: 1 passed, 1 failed"));
    const CTestSession::SnapshotTestTable table = f.Doc()->Tests().RunOnAllSnapshots();
    CSnapshotTestTable dialog(f.Doc(), table);
    QTableWidget* grid = dialog.Table();
    QCOMPARE(grid->rowCount(), 3);
    QCOMPARE(grid->columnCount(), 2);
    QCOMPARE(grid->horizontalHeaderItem(1)->text(), QStringLiteral("Test 2"));
    QStringList rows;
    for (int r = 0; r < 3; ++r) rows << grid->verticalHeaderItem(r)->text();
    QCOMPARE(rows, (QStringList{"(current pattern)", "digits", "letters"}));
    auto cell = [&](int r, int c) { return grid->item(r, c)->data(Qt::UserRole).toInt(); };
    // "42" matches digits only, "abc" letters only; the current pattern is the letters one.
    QCOMPARE(cell(1, 0), int(TEST_PASS));
    QCOMPARE(cell(1, 1), int(TEST_FAIL));
    QCOMPARE(cell(2, 0), int(TEST_FAIL));
    QCOMPARE(cell(2, 1), int(TEST_PASS));
    QCOMPARE(cell(0, 0), int(TEST_FAIL));
    QCOMPARE(cell(0, 1), int(TEST_PASS));
    QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("Failed"));
    QVERIFY(!grid->item(1, 1)->toolTip().isEmpty());
  }

  // A text file becomes one test per non-empty line, or one test of the whole file; Cancel
  // imports nothing; a file that cannot be read is named with the reason.
  void importFromFile_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("subjects");
    QTest::newRow("one per line") << int(CViewPrompts::ANSWER_YES) << QStringList{"alpha", "beta 2", "gamma"};
    QTest::newRow("whole file, as it is") << int(CViewPrompts::ANSWER_NO) << QStringList{"alpha\n\nbeta 2\r\ngamma"};
    QTest::newRow("cancel") << int(CViewPrompts::ANSWER_CANCEL) << QStringList{};
  }
  void importFromFile() {
    QFETCH(int, answer);
    QFETCH(QStringList, subjects);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("subjects.txt"));
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("alpha\n\nbeta 2\r\ngamma");
    }
    Frame f;
    f.AddTests({QStringLiteral("kept")});
    int dialogs = 0;
    CTestCasePane::SetPathAsker([&](bool save, int filter) {
      ++dialogs;
      return !save && filter == IDS_FILTER_IMPORT_TESTS ? path : QString();
    });
    f.answer = answer;
    f.frame.OnCommand(ID_TEST_IMPORT_FILE);
    QCOMPARE(dialogs, 1);
    QCOMPARE(f.asked.size(), 1);  // lines or whole file
    QCOMPARE(f.List()->topLevelItemCount(), 1 + subjects.size());
    for (int i = 0; i < subjects.size(); ++i) {
      QCOMPARE(Str(f.Doc()->Tests().All()[1 + i].Subject()), subjects[i]);
      QCOMPARE(f.Name(1 + i), QStringLiteral("Test %1").arg(2 + i));  // numbered on from the set
    }
    if (!subjects.isEmpty()) QCOMPARE(f.Pane()->SelectedTest(), 1);

    // A file that is not there: its name and the reason, nothing added.
    CTestCasePane::SetPathAsker([&](bool, int) { return dir.filePath(QStringLiteral("missing.txt")); });
    f.answer = CViewPrompts::ANSWER_YES;
    f.asked.clear();
    f.frame.OnCommand(ID_TEST_IMPORT_FILE);
    QCOMPARE(f.asked.size(), 2);
    QVERIFY2(f.asked[1].startsWith(QStringLiteral("Cannot import ")) && f.asked[1].contains(QStringLiteral("missing.txt")),
             qPrintable(f.asked[1]));
    QCOMPARE(f.List()->topLevelItemCount(), 1 + subjects.size());
  }

  void importFromClips() {
    Frame f;
    f.Doc()->GetClips().ClearClips();
    f.Doc()->GetClips().AddClip(U16(QStringLiteral("\\d+")), U16(QStringLiteral("Digits")));
    f.Doc()->GetClips().AddClip(U16(QStringLiteral("first line\nsecond")), {});
    f.Doc()->Notify(nullptr, HINT_CLIPS);
    f.frame.OnCommand(ID_TEST_IMPORT_CLIPS);
    QCOMPARE(f.Names(), (QStringList{"Digits", "first line"}));
    QCOMPARE(Str(f.Doc()->Tests().All()[1].Subject()), QStringLiteral("first line\nsecond"));
    f.Doc()->GetClips().ClearClips();
    f.Doc()->Notify(nullptr, HINT_CLIPS);
    QVERIFY(!f.frame.QueryCommand(ID_TEST_IMPORT_CLIPS).enabled);
  }

  // The CSV holds a header and a line per test with its result; a file that cannot be written
  // is reported by name and the tests stay as they were.
  void exportCsv() {
    QTemporaryDir dir;
    Frame f;
    f.SetPattern(QStringLiteral("a"));
    f.AddTests({QStringLiteral("abc"), QStringLiteral("xyz")});
    QTRY_COMPARE(f.frame.TestsText(), QStringLiteral("Tests: 1 passed, 1 failed"));
    const QString path = dir.filePath(QStringLiteral("results.csv"));
    CTestCasePane::SetPathAsker([&](bool save, int filter) {
      return save && filter == IDS_FILTER_EXPORT_TESTS ? path : QString();
    });
    f.frame.OnCommand(ID_TEST_EXPORT_CSV);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 4);  // header, two tests, the empty rest after the last line end
    QVERIFY(lines[0].startsWith("\"Name\""));
    QVERIFY(lines[1].contains("\"Test 1\"") && lines[1].contains("\"abc\""));
    QVERIFY(lines[2].contains("\"Test 2\"") && lines[2].contains("\"xyz\""));
    QVERIFY(f.boxes.isEmpty());

    const QString bad = dir.filePath(QStringLiteral("no such folder/results.csv"));
    CTestCasePane::SetPathAsker([&](bool, int) { return bad; });
    f.frame.OnCommand(ID_TEST_EXPORT_CSV);
    QCOMPARE(f.boxes.size(), 1);
    QVERIFY2(f.boxes[0].contains(QStringLiteral("results.csv")), qPrintable(f.boxes[0]));
    QCOMPARE(f.Doc()->Tests().Count(), 2);
  }

  // The menu command shows the table as a dialog over the window.
  void snapshotTableThroughTheMenu() {
    Frame f;
    QVERIFY(f.Active());
    f.SetPattern(QStringLiteral("x"));
    f.Doc()->AddSnapshot(U16(QStringLiteral("only x")));
    f.Doc()->Notify(nullptr, HINT_SNAPSHOT_TREE | HINT_CURRENT_SNAPSHOT);
    f.AddTests({QStringLiteral("x"), QStringLiteral("y")});
    int rows = -1, columns = -1;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<CSnapshotTestTable*>(QApplication::activeModalWidget());
      if (!dialog) return;
      poll.stop();
      rows = dialog->Table()->rowCount();
      columns = dialog->Table()->columnCount();
      dialog->reject();
    });
    poll.start();
    f.frame.OnCommand(ID_TEST_RUN_SNAPSHOTS);
    poll.stop();
    QCOMPARE(rows, 2);  // the current pattern and the one snapshot
    QCOMPARE(columns, 2);
  }

  // The run goes on a worker: the window keeps answering, and Cancel in the progress dialog
  // abandons a test in the middle of a long time limit; the table then holds the current
  // pattern's row and the snapshots done, not the one cut short.
  void snapshotRunCancelledMidTest() {
    Frame f;
    QVERIFY(f.Active());
    f.Doc()->Tests().SetTimeLimit(300000);
    // Exponential even with the engine's shortcuts (the back-reference turns them off).
    f.SetPattern(QStringLiteral("(x|x)*\\1y"));
    f.Doc()->AddSnapshot(U16(QStringLiteral("slow")));
    f.Doc()->Notify(nullptr, HINT_SNAPSHOT_TREE | HINT_CURRENT_SNAPSHOT);
    f.SetPattern(QStringLiteral("x"));
    // A "y" after the x's, so that no scan for a required "y" can answer at once.
    f.AddTests({QString(60, QLatin1Char('x')) + QStringLiteral("-y")});
    QCOMPARE(int(f.Doc()->Tests().All().size()), 1);
    bool sawProgress = false;
    int rows = -1;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* table = qobject_cast<CSnapshotTestTable*>(modal)) {
        rows = table->Table()->rowCount();
        table->reject();
      } else if (auto* progress = qobject_cast<QProgressDialog*>(modal)) {
        sawProgress = true;
        progress->cancel();
      }
    });
    poll.start();
    f.frame.OnCommand(ID_TEST_RUN_SNAPSHOTS);
    poll.stop();
    QVERIFY(sawProgress);
    QCOMPARE(rows, 1);
  }

  // Ten thousand tests: every row gets its mark, the count is right.
  void manyTests() {
    Frame f;
    f.SetPattern(QStringLiteral("[02468]$"));
    TestSet tests(10000);
    for (int i = 0; i < 10000; ++i) {
      tests[i].name = U16(QStringLiteral("n%1").arg(i));
      tests[i].SetSubject(U16(QString::number(i)));
    }
    f.Doc()->Tests().Set(tests);
    QCOMPARE(f.List()->topLevelItemCount(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!f.Doc()->Tests().ArePending(), 120000);
    QTRY_COMPARE(f.frame.TestsText(), QStringLiteral("Tests: 5000 passed, 5000 failed"));
    QCOMPARE(f.Status(9998), int(TEST_PASS));
    QCOMPARE(f.Status(9999), int(TEST_FAIL));
    QCOMPARE(f.Name(9999), QStringLiteral("n9999"));
  }

  // Each mark is a circle of its own colour with a sign that stands out from it; the word
  // beside it names the status.
  void marksAreDistinctAndReadable() {
    QSet<QRgb> circles;
    for (int status : {int(TEST_PASS), int(TEST_FAIL), int(TEST_TIMED_OUT), int(TEST_ERROR)}) {
      const QImage image = CTestCaseList::Mark(status).pixmap(QSize(16, 16)).toImage();
      QHash<QRgb, int> counts;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
          if (qAlpha(image.pixel(x, y)) == 255) ++counts[image.pixel(x, y)];
      QRgb circle = 0;
      for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > counts.value(circle)) circle = it.key();
      int sign = 0;
      for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (row_look::Contrast(it.key(), circle) >= 3.0) sign += it.value();
      QVERIFY2(sign >= 6, qPrintable(QStringLiteral("status %1: %2 sign pixels").arg(status).arg(sign)));
      circles.insert(circle);
      QVERIFY(!CTestCaseList::MarkText(status).isEmpty());
    }
    QCOMPARE(circles.size(), 4);
    QVERIFY(CTestCaseList::MarkText(TEST_PASS) != CTestCaseList::MarkText(TEST_FAIL));
  }

  // The editor's text forms: what is written is read back the same.
  void matchListText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("withGroups");
    QTest::addColumn<bool>("parses");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("canonical");
    QTest::newRow("spans") << "1-2\n5-9" << false << true << 2 << "1-2\n5-9";
    QTest::newRow("blank lines and blanks") << " 1 - 2 \n\n  \n5-9\n" << false << true << 2 << "1-2\n5-9";
    QTest::newRow("empty match") << "4-4" << false << true << 1 << "4-4";
    QTest::newRow("groups with escapes") << "0-3\ta\\tb\t\n4-7\tx\\ny\t\\\\" << true << true << 2
                                         << "0-3\ta\\tb\t\n4-7\tx\\ny\t\\\\";
    QTest::newRow("groups ignored without groups") << "0-3\tabc" << false << true << 1 << "0-3";
    QTest::newRow("end before start") << "5-4" << false << false << 0 << "";
    QTest::newRow("no dash") << "12" << false << false << 0 << "";
    QTest::newRow("negative") << "-1-4" << false << false << 0 << "";
    QTest::newRow("not a number") << "a-b" << false << false << 0 << "";
    QTest::newRow("ten digits") << "1234567890-1234567891" << false << false << 0 << "";
    QTest::newRow("windows line ends") << "1-2\r\n3-4\r\n" << false << true << 2 << "1-2\n3-4";
  }
  void matchListText() {
    QFETCH(QString, text);
    QFETCH(bool, withGroups);
    QFETCH(bool, parses);
    QFETCH(int, count);
    QFETCH(QString, canonical);
    std::vector<TestMatch> matches{TestMatch()};
    QCOMPARE(CTestCaseEditor::ParseMatches(text, withGroups, &matches), parses);
    if (!parses) {
      QCOMPARE(matches.size(), size_t(1));  // untouched
      return;
    }
    QCOMPARE(int(matches.size()), count);
    QCOMPARE(CTestCaseEditor::FormatMatches(matches, withGroups), canonical);
  }

  // The line that does not parse is the one reported (blank lines count as lines).
  void badLineNumbers() {
    const struct {
      const char* text;
      int line;
    } rows[] = {{"x", 0}, {"1-2\n3-x", 1}, {"1-2\n\n  \n9-8\nx", 3}, {"1-2\r\n-\r\n", 1}, {"1-2\n3-4\n", -1}};
    for (const auto& row : rows) {
      std::vector<TestMatch> matches;
      int bad = 99;
      const bool parses = CTestCaseEditor::ParseMatches(QString::fromLatin1(row.text), false, &matches, &bad);
      QCOMPARE(parses, row.line < 0);
      if (!parses) QCOMPARE(bad, row.line);
    }
  }

  void piecesText_data() {
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("plain") << QStringList{"a", "b", "c"};
    QTest::newRow("empty pieces inside") << QStringList{"a", "", "b"};
    QTest::newRow("line breaks, tabs, backslashes") << QStringList{"x\ny", "\t", "C:\\dir\\n"};
    QTest::newRow("trailing empty piece") << QStringList{"a", ""};
  }
  void piecesText() {
    QFETCH(QStringList, pieces);
    std::vector<TestText> in;
    for (const QString& p : pieces) in.push_back(U16(p));
    const QString text = CTestCaseEditor::FormatPieces(in);
    QCOMPARE(text.count(QLatin1Char('\n')), pieces.size() - 1);
    QCOMPARE(CTestCaseEditor::ParsePieces(text), in);
  }

  // A value the text forms cannot tell apart (one empty piece shows as an empty box, as no
  // pieces do) survives edits of other fields.
  void editorKeepsWhatItCannotShow() {
    CTestCaseEditor editor;
    TestCase t;
    t.SetSubject(U16(QStringLiteral("abc")));
    t.expectation = EXPECT_SPLIT;
    t.pieces = {TestText()};
    editor.Show(&t);
    QCOMPARE(editor.ExpectedBox()->toPlainText(), QString());
    editor.SubjectBox()->setPlainText(QStringLiteral("abcd"));
    TestCase edited = t;
    QVERIFY(editor.Apply(&edited));
    QCOMPARE(Str(edited.Subject()), QStringLiteral("abcd"));
    QCOMPARE(edited.pieces.size(), size_t(1));
  }

  // ---------------------------------------------------------------------------------------
  // An edit with an expected-matches line that does not parse, as a user makes it: every other
  // field is kept, the line is marked where it stands, the row never shows a stale "Passed",
  // and the unparsed text waits for the user when they come back to the test.
  void badMatchLineKeepsTheOtherEdits() {
    Frame f;
    QVERIFY(f.Active());
    f.SetPattern(QStringLiteral("\\d+"));
    f.AddTests({QStringLiteral("call 555-0123 now"), QStringLiteral("no digits")});
    f.Pane()->SelectTest(0);
    f.Editor()->KindBox()->setCurrentIndex(f.Editor()->KindBox()->findData(int(EXPECT_MATCH_LIST)));
    f.frame.OnCommand(ID_TEST_ACCEPT);
    QCOMPARE(f.Editor()->ExpectedBox()->toPlainText(), QStringLiteral("5-8\n9-13"));
    QTRY_COMPARE(f.Status(0), int(TEST_PASS));

    // A line that does not parse at the end of the expected matches, then the subject.
    QPlainTextEdit* expected = f.Editor()->ExpectedBox();
    expected->setFocus();
    expected->moveCursor(QTextCursor::End);
    QTest::keyClick(expected, Qt::Key_Return);
    QTest::keyClicks(expected, QStringLiteral("x"));
    QPlainTextEdit* subject = f.Editor()->SubjectBox();
    subject->setFocus();
    subject->moveCursor(QTextCursor::End);
    QTest::keyClicks(subject, QStringLiteral(" again"));
    // Another test, then back: both edits were kept, only the bad line was not applied.
    f.Pane()->SelectTest(1);
    const TestCase& t = f.Doc()->Tests().All()[0];
    QCOMPARE(Str(t.Subject()), QStringLiteral("call 555-0123 now again"));
    QCOMPARE(t.matches.size(), size_t(2));
    QCOMPARE(f.Status(0), int(TEST_ERROR));
    QVERIFY2(f.Reason(0).contains(QStringLiteral("not applied: line 3")), qPrintable(f.Reason(0)));
    QTRY_VERIFY(f.Doc()->Tests().Result(0).status == TEST_PASS);  // the run of what was applied...
    QCOMPARE(f.Status(0), int(TEST_ERROR));                      // ...is not what the row shows
    QCOMPARE(f.frame.TestsText(), QStringLiteral("Tests: 0 passed, 2 failed"));  // "no digits" fails too
    f.Pane()->SelectTest(0);
    QCOMPARE(f.Editor()->SubjectBox()->toPlainText(), QStringLiteral("call 555-0123 now again"));
    QCOMPARE(f.Editor()->ExpectedBox()->toPlainText(), QStringLiteral("5-8\n9-13\nx"));
    QCOMPARE(f.Editor()->MarkedLine(), 2);
    QVERIFY(f.Editor()->ProblemLabel()->isVisibleTo(f.Editor()));
    QVERIFY2(f.Editor()->ProblemLabel()->text().startsWith(QStringLiteral("Line 3 is not start-end")),
             qPrintable(f.Editor()->ProblemLabel()->text()));
    const QList<QTextEdit::ExtraSelection> marks = f.Editor()->ExpectedBox()->extraSelections();
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks[0].cursor.block().text(), QStringLiteral("x"));

    // Mended: the line becomes a match, the mark goes, the test runs on what the box says.
    expected = f.Editor()->ExpectedBox();
    expected->setFocus();
    expected->moveCursor(QTextCursor::End);
    QTest::keyClick(expected, Qt::Key_Backspace);
    QTest::keyClicks(expected, QStringLiteral("9-10"));
    f.Pane()->CommitEdit();
    QCOMPARE(f.Editor()->MarkedLine(), -1);
    QVERIFY(!f.Editor()->ProblemLabel()->isVisibleTo(f.Editor()));
    QCOMPARE(f.Doc()->Tests().All()[0].matches.size(), size_t(3));
    QTRY_COMPARE(f.Status(0), int(TEST_FAIL));  // "9-10" is not a match of \d+ there
    QVERIFY2(f.Reason(0).contains(QStringLiteral("expected 3 matches, got 2")), qPrintable(f.Reason(0)));
  }

  // A draft left behind is dropped when the test changes from elsewhere meanwhile, and Accept
  // replaces what the editor shows with the accepted matches.
  void aDraftGivesWayToLaterChanges() {
    Frame f;
    f.SetPattern(QStringLiteral("a"));
    f.AddTests({QStringLiteral("aa"), QStringLiteral("b")});
    f.Pane()->SelectTest(0);
    f.Editor()->KindBox()->setCurrentIndex(f.Editor()->KindBox()->findData(int(EXPECT_MATCH_LIST)));
    f.Editor()->ExpectedBox()->setPlainText(QStringLiteral("0-1\nnot a match"));
    f.Pane()->SelectTest(1);  // commits, keeps the draft
    QCOMPARE(f.Status(0), int(TEST_ERROR));
    f.Pane()->SelectTest(0);
    QCOMPARE(f.Editor()->ExpectedBox()->toPlainText(), QStringLiteral("0-1\nnot a match"));
    f.frame.OnCommand(ID_TEST_ACCEPT);
    QCOMPARE(f.Editor()->ExpectedBox()->toPlainText(), QStringLiteral("0-1\n1-2"));
    QCOMPARE(f.Editor()->MarkedLine(), -1);
    QTRY_COMPARE(f.Status(0), int(TEST_PASS));

    // Left with a bad line, then renamed from the list: the test is no longer the one the draft
    // was made for, so coming back shows the test as it is.
    f.Editor()->ExpectedBox()->setPlainText(QStringLiteral("oops"));
    f.Pane()->SelectTest(1);
    f.Doc()->Tests().Rename(0, U16(QStringLiteral("renamed")));
    f.Pane()->SelectTest(0);
    QCOMPARE(f.Editor()->ExpectedBox()->toPlainText(), QStringLiteral("0-1\n1-2"));
    QCOMPARE(f.Editor()->MarkedLine(), -1);
    QTRY_COMPARE(f.Status(0), int(TEST_PASS));
  }

  // The time limit of each test: a box under the list, the workspace's setting; Accept on a run
  // out of time says that nothing was accepted and what to do.
  void timeLimitAndAcceptThatTimesOut() {
    Frame f;
    QVERIFY(f.Active());
    QSpinBox* limit = f.Pane()->TimeLimitBox();
    QCOMPARE(limit->value(), kDefaultTestTimeLimitMs);
    // Two ways to take each of twenty a's: millions of steps, far beyond 1 ms.
    f.SetPattern(QStringLiteral("(?:a|a)*?(?:c|d)"));
    f.AddTests({QString(20, QLatin1Char('a'))});
    f.Pane()->SelectTest(0);
    f.Editor()->KindBox()->setCurrentIndex(f.Editor()->KindBox()->findData(int(EXPECT_MATCH_LIST)));
    f.Pane()->CommitEdit();
    limit->setFocus();
    limit->selectAll();
    QTest::keyClicks(limit, QStringLiteral("1"));
    QTest::keyClick(limit, Qt::Key_Return);
    QCOMPARE(f.Doc()->Tests().TimeLimit(), 1);
    QVERIFY(f.Doc()->IsModified());
    QTRY_COMPARE(f.Status(0), int(TEST_TIMED_OUT));
    const TestCase before = f.Doc()->Tests().All()[0];
    f.asked.clear();
    f.Pane()->SelectTest(0);
    f.frame.OnCommand(ID_TEST_ACCEPT);
    QCOMPARE(f.asked.size(), 1);
    QVERIFY2(f.asked[0].startsWith(QStringLiteral("Nothing was accepted: the test timed out after 1 ms")),
             qPrintable(f.asked[0]));
    QVERIFY2(f.asked[0].contains(QStringLiteral("Raise the time limit")), qPrintable(f.asked[0]));
    QVERIFY(f.Doc()->Tests().All()[0] == before);

    // Raised, the run ends and Accept takes its result.
    limit->setValue(kMaxTestTimeLimitMs);
    QCOMPARE(f.Doc()->Tests().TimeLimit(), kMaxTestTimeLimitMs);
    f.asked.clear();
    f.frame.OnCommand(ID_TEST_ACCEPT);
    QVERIFY2(f.asked.isEmpty(), qPrintable(f.asked.join(QLatin1Char('\n'))));
    QTRY_COMPARE(f.Status(0), int(TEST_PASS));

    // The box follows the document: a new one has the default, an opened one its own.
    f.Doc()->Tests().SetTimeLimit(2500);
    const std::string bytes = f.Doc()->WorkspaceBytes();
    f.Doc()->SetModified(false);
    f.frame.OnCommand(ID_FILE_NEW);
    QCOMPARE(limit->value(), kDefaultTestTimeLimitMs);
    QVERIFY(f.Doc()->LoadWorkspaceBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    f.Doc()->UpdateAllViews(nullptr, kInitialUpdateHint);
    QCOMPARE(limit->value(), 2500);
  }

  // A test keeps a name: Rename to nothing is refused with a word.
  // A test that must pass in another flavour: the list marks it while it passes here and fails
  // there (the fake runner searches the pattern as literal text, so "a." does not find "ab"),
  // and the editor's menu takes the flavour away again.
  void failsInAFlavourItMustPassIn() {
    Frame f;
    QVERIFY(f.Active());
    f.Doc()->Flavours().Pool().SetLauncher([](const QString& flavour) {
      FlavourLaunch l;
      l.flavour = flavour;
      l.program = QStringLiteral(KV_FAKE_RUNNER);
      l.runnerFile = l.program;
      l.arguments << QStringLiteral("utf16") << QStringLiteral("yes") << QStringLiteral("good");
      return l;
    });
    f.Doc()->Flavours().TestCheck().SetDelay(0);
    f.SetPattern(QStringLiteral("a."));
    TestCase test;
    test.name = U16(QStringLiteral("dot"));
    test.SetSubject(U16(QStringLiteral("ab")));
    test.expectation = EXPECT_MATCH;
    test.mustPassIn = {U16(QStringLiteral("python"))};
    TestCase plain = test;
    plain.name = U16(QStringLiteral("plain"));
    plain.mustPassIn.clear();
    f.Doc()->Tests().Set({test, plain});
    QTRY_COMPARE(f.Status(0), int(TEST_PASS));
    QTRY_VERIFY2(f.Reason(0).startsWith(QStringLiteral("Fails in Python (re): ")), qPrintable(f.Reason(0)));
    QTreeWidgetItem* row = f.List()->topLevelItem(0);
    QVERIFY(!row->icon(CTestCaseList::COL_NAME).isNull());
    QCOMPARE(row->toolTip(CTestCaseList::COL_NAME), f.Reason(0));
    QCOMPARE(f.Status(1), int(TEST_PASS));
    QVERIFY(f.Reason(1).isEmpty());
    QVERIFY(f.List()->topLevelItem(1)->icon(CTestCaseList::COL_NAME).isNull());

    // The editor shows the choice; unticking Python saves the test without it, and the mark goes.
    f.List()->SelectRow(0);
    QToolButton* button = f.Editor()->MustPassInButton();
    QCOMPARE(button->text(), QStringLiteral("Python (re)"));
    QAction* python = nullptr;
    for (QAction* a : button->menu()->actions())
      if (a->data().toString() == QLatin1String("python")) python = a;
    QVERIFY(python && python->isChecked());
    python->setChecked(false);
    QCOMPARE(button->text(), QStringLiteral("Korvane only"));
    f.Pane()->CommitEdit();
    QVERIFY(f.Doc()->Tests().All()[0].mustPassIn.empty());
    QTRY_VERIFY(f.Reason(0).isEmpty());
    QVERIFY(f.List()->topLevelItem(0)->icon(CTestCaseList::COL_NAME).isNull());

    // Clicks in the open menu tick one flavour after another; the menu stays open for the next.
    QMenu* menu = button->menu();
    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
    QTRY_VERIFY(menu->isVisible());
    QStringList ticked;
    for (QAction* a : menu->actions()) {
      const QString name = a->data().toString();
      if (name != QLatin1String("java") && name != QLatin1String("re2")) continue;
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
      QVERIFY(a->isChecked());
      QVERIFY(menu->isVisible());
      ticked << name;
    }
    QCOMPARE(ticked, QStringList({QStringLiteral("java"), QStringLiteral("re2")}));
    menu->hide();
    f.Pane()->CommitEdit();
    QCOMPARE(f.Doc()->Tests().All()[0].mustPassIn, (std::vector<TestText>{U16(QStringLiteral("java")), U16(QStringLiteral("re2"))}));
  }

  void renameToNothingIsRefused() {
    Frame f;
    f.AddTests({QStringLiteral("a")});
    f.Pane()->SelectTest(0);
    const QString before = f.Name(0);
    f.nameToGive = QStringLiteral("   ");
    f.asked.clear();
    f.frame.OnCommand(ID_TEST_RENAME);
    QCOMPARE(f.Name(0), before);
    QCOMPARE(f.asked.size(), 1);
    QCOMPARE(f.asked[0], QStringLiteral("A test needs a name; it keeps the name \"%1\".").arg(before));
  }

  // A subject too long to edit is shown cut short and read-only, and kept whole.
  void hugeSubjectIsKept() {
    CTestCaseEditor editor;
    TestCase t;
    t.SetSubject(TestText(CTestCaseEditor::kEditableLength + 10, u'x'));
    editor.Show(&t);
    QVERIFY(editor.SubjectBox()->isReadOnly());
    QVERIFY(editor.SubjectBox()->toPlainText().size() < 5000);
    TestCase edited = t;
    editor.OwnOptionsBox()->setChecked(true);
    QVERIFY(editor.Apply(&edited));
    QCOMPARE(edited.Subject().size(), t.Subject().size());
    QVERIFY(edited.ownOptions);
  }
};

int main(int argc, char** argv) { return RunWithPrivateSettings<TestPaneTest>(argc, argv, "test-pane-test"); }

#include "test_pane_test.moc"
