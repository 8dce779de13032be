// Context menus follow the enable rules of the main menus: every view's menu is opened as the
// user opens it (the context-menu key), and each command item must be enabled exactly as listed
// for the view's state, and exactly as the frame (and the main menu's item, where the main menus
// hold the command) reports the same command at that moment. Offscreen, with the settings and
// the clips file in temporary folders.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

#include "app/document/files/text_clips.h"
#include "app/ui/editor/regex_tree_view.h"
#include "app/ui/frame/korvane_back.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/shared/menu_resources.h"
#include "app/ui/panes/clips/clip_list_view.h"
#include "app/ui/panes/snapshots/snapshot_tree_view.h"
#include "app/ui/panes/test_cases/test_case_list.h"
#include "app/ui/panes/test_cases/test_case_pane.h"
#include "app/ui/frame/sizing_bar.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "platform/shared_counter.h"
#include "stringtable.h"
#include "app/ui/tests/private_settings_main.h"

namespace {

using Ids = QList<int>;

enum Scenario {
  EMPTY_PATTERN,
  EMPTY_PATTERN_CLIPBOARD_TEXT,
  PATTERN_TYPED_AND_SELECTED,
  EMPTY_TEXT_BOX,
  EMPTY_REPLACE_TO_BOX,
  REPLACE_RESULT_SELECTED,
  SNAPSHOT_PATTERN_UNCHANGED,
  SNAPSHOT_PATTERN_CHANGED,
  CLIP_LIST_NOTHING_SELECTED,
  CLIP_LIST_CLIPBOARD_TEXT,
  CLIP_SELECTED,
  TREE_NODE_SELECTED,
  SPLIT_ROW_SELECTED,
  TESTS_PANE_EMPTY,
  TEST_SELECTED_LAST
};

std::vector<unsigned short> U16(const QString& s) { return std::vector<unsigned short>(s.utf16(), s.utf16() + s.size()); }

void SetPattern(CKorvaneDoc* doc, const QString& pattern) {
  const auto p = U16(pattern);
  doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
  doc->Notify(nullptr, HINT_PATTERN_REPLACED | HINT_RECOLOR_PATTERN);
  doc->Notify(nullptr, HINTS_PATTERN_EDITED);
}

void SetSubject(CKorvaneDoc* doc, const QString& text) {
  const auto t = U16(text);
  doc->SetSubjectText(t.data(), static_cast<int>(t.size()));
  doc->Notify(nullptr, HINTS_SUBJECT_EDITED);
}

// Opens the view's context menu from the keyboard and returns the enable state of every command
// item in it (-1 for a submenu item, which carries no command).
QMap<int, bool> OpenContextMenu(QWidget* view, QStringList* order = nullptr) {
  QMap<int, bool> states;
  bool shown = false;
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    poll.stop();
    shown = true;
    for (QAction* a : CMenuResources::AllActions(menu)) {
      const int id = CMenuResources::CommandOf(a);
      if (id > 0) states.insert(id, a->isEnabled());
      if (order && id > 0) order->append(a->text());
    }
    menu->close();
  });
  poll.start();
  QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(4, 4), view->mapToGlobal(QPoint(4, 4)));
  QApplication::sendEvent(view, &event);
  // The menu runs its own loop inside sendEvent; the poll closed it.
  poll.stop();
  if (!shown) states.insert(0, false);  // no menu at all
  return states;
}

QString Names(const Ids& ids) {
  QStringList names;
  for (int id : ids) names << QString::number(id);
  return names.join(QLatin1Char(','));
}

}  // namespace

class ContextMenuTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    CProfile profile;
    profile.Settings().clear();
    profile.Flush();
    QApplication::clipboard()->clear();
  }

  void itemsFollowTheEnableRules_data() {
    QTest::addColumn<int>("scenario");
    QTest::addColumn<Ids>("enabled");
    const Ids boxAlways = {ID_EDIT_FIND, ID_EDIT_SELECT_ALL};
    const Ids writable = {ID_EDIT_OPEN_TEXT, ID_EDIT_SAVE_CONTENT, ID_EDIT_REPLACE};
    const Ids snapshotItem = {ID_SNAPSHOT_SWITCH, ID_SNAPSHOT_SET_NAME, ID_SNAPSHOT_DELETE, ID_SNAPSHOT_DELETE_TREE};
    QTest::newRow("empty pattern box, empty clipboard: no undo, redo, cut, copy, paste, delete")
        << int(EMPTY_PATTERN) << boxAlways + writable;
    QTest::newRow("empty pattern box, text on the clipboard: paste")
        << int(EMPTY_PATTERN_CLIPBOARD_TEXT) << boxAlways + writable + Ids{ID_EDIT_PASTE};
    QTest::newRow("typed and selected pattern: undo, cut, copy, delete")
        << int(PATTERN_TYPED_AND_SELECTED)
        << boxAlways + writable + Ids{ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_CLEAR};
    QTest::newRow("empty text box") << int(EMPTY_TEXT_BOX) << boxAlways + writable + Ids{ID_MATCH_SET_START_POINT};
    QTest::newRow("empty replace-to box") << int(EMPTY_REPLACE_TO_BOX) << boxAlways + writable;
    QTest::newRow("read-only replace result, selected, text on the clipboard: copy and save only")
        << int(REPLACE_RESULT_SELECTED) << boxAlways + Ids{ID_EDIT_COPY, ID_EDIT_SAVE_CONTENT};
    QTest::newRow("snapshot tree, pattern equals the current snapshot: no Add Snapshot")
        << int(SNAPSHOT_PATTERN_UNCHANGED) << snapshotItem;
    QTest::newRow("snapshot tree, pattern changed: Add Snapshot")
        << int(SNAPSHOT_PATTERN_CHANGED) << snapshotItem + Ids{ID_ADD_SNAPSHOT};
    QTest::newRow("clip list, nothing selected, empty clipboard") << int(CLIP_LIST_NOTHING_SELECTED) << Ids{};
    QTest::newRow("clip list, text on the clipboard") << int(CLIP_LIST_CLIPBOARD_TEXT) << Ids{ID_EDIT_PASTE};
    QTest::newRow("clip selected") << int(CLIP_SELECTED) << Ids{ID_CLIP_SET_NAME, ID_EDIT_COPY, ID_EDIT_CLEAR};
    QTest::newRow("structure tree node: the pattern box's selection")
        << int(TREE_NODE_SELECTED) << Ids{ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_CLEAR};
    QTest::newRow("split row selected") << int(SPLIT_ROW_SELECTED) << Ids{ID_EDIT_SAVE_CONTENT};
    QTest::newRow("tests pane without tests: add and import")
        << int(TESTS_PANE_EMPTY) << Ids{ID_TEST_ADD, ID_TEST_IMPORT_FILE};
    QTest::newRow("last of two tests selected: all but Move Down and the clips")
        << int(TEST_SELECTED_LAST)
        << Ids{ID_TEST_ADD, ID_TEST_DUPLICATE, ID_TEST_RENAME, ID_TEST_DELETE, ID_TEST_MOVE_UP, ID_TEST_LOAD,
               ID_TEST_ACCEPT, ID_TEST_IMPORT_FILE, ID_TEST_EXPORT_CSV, ID_TEST_RUN_SNAPSHOTS};
  }

  void itemsFollowTheEnableRules() {
    QFETCH(int, scenario);
    QFETCH(Ids, enabled);
    CMainFrame frame;
    frame.messageBoxHook = [](const QString&, const QString&, int, int) { return IDocumentUi::ANSWER_OK; };
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    CKorvaneDoc* doc = frame.Doc();
    if (doc->IsLocateFailPoint()) doc->OnCommand(ID_MATCH_LOCATE_FAIL_POINT);
    auto barView = [&](int bar) { return frame.SizingBar(bar)->View(); };
    QWidget* view = nullptr;
    switch (scenario) {
      case EMPTY_PATTERN_CLIPBOARD_TEXT:
        QApplication::clipboard()->setText(QStringLiteral("x+"));
        [[fallthrough]];
      case EMPTY_PATTERN:
        view = frame.PatternEditView();
        break;
      case PATTERN_TYPED_AND_SELECTED: {
        view = frame.PatternEditView();
        view->setFocus();
        QTest::keyClicks(view, QStringLiteral("abc"));
        qobject_cast<QPlainTextEdit*>(view)->selectAll();
        break;
      }
      case EMPTY_TEXT_BOX:
        view = frame.WorkPane()->View(CKorvaneBack::SLOT_TEXT);
        break;
      case EMPTY_REPLACE_TO_BOX:
        frame.OnCommand(ID_MODE_REPLACE);
        view = frame.WorkPane()->View(CKorvaneBack::SLOT_REPLACE_TO);
        break;
      case REPLACE_RESULT_SELECTED: {
        frame.OnCommand(ID_MODE_REPLACE);
        SetPattern(doc, QStringLiteral("b"));
        SetSubject(doc, QStringLiteral("abc"));
        frame.OnCommand(ID_MATCH_FIND_ALL);
        auto* result = qobject_cast<QPlainTextEdit*>(frame.WorkPane()->View(CKorvaneBack::SLOT_REPLACE_RESULT));
        QVERIFY(result && result->isReadOnly());
        QCOMPARE(result->toPlainText(), QStringLiteral("ac"));
        result->selectAll();
        QApplication::clipboard()->setText(QStringLiteral("x"));
        view = result;
        break;
      }
      case SNAPSHOT_PATTERN_UNCHANGED:
      case SNAPSHOT_PATTERN_CHANGED:
        SetPattern(doc, QStringLiteral("a+"));
        doc->AddSnapshot(U16(QStringLiteral("first")));
        doc->Notify(nullptr, HINT_SNAPSHOT_TREE | HINT_CURRENT_SNAPSHOT);
        if (scenario == SNAPSHOT_PATTERN_CHANGED) SetPattern(doc, QStringLiteral("a+b"));
        view = barView(BAR_SNAPSHOT);
        QVERIFY(qobject_cast<CSnapshotTreeView*>(view)->SelectedId() != 0);
        break;
      case CLIP_LIST_CLIPBOARD_TEXT:
        QApplication::clipboard()->setText(QStringLiteral("a clip"));
        [[fallthrough]];
      case CLIP_LIST_NOTHING_SELECTED:
        view = barView(BAR_TEXT_CLIP);
        break;
      case CLIP_SELECTED: {
        auto* clips = qobject_cast<CClipListView*>(barView(BAR_TEXT_CLIP));
        doc->GetClips().AddClip(U16(QStringLiteral("\\d+")), {});
        doc->Notify(nullptr, HINT_CLIPS);
        clips->SelectClip(0);
        view = clips;
        break;
      }
      case TREE_NODE_SELECTED: {
        SetPattern(doc, QStringLiteral("(ab)c"));
        auto* tree = qobject_cast<CRegexTreeView*>(barView(BAR_STRUCTURE));
        QVERIFY(tree && tree->topLevelItemCount() > 0);
        tree->setCurrentItem(tree->topLevelItem(0)->child(1));  // the literal "c"
        view = tree;
        break;
      }
      case SPLIT_ROW_SELECTED: {
        frame.OnCommand(ID_MODE_SPLIT);
        SetPattern(doc, QStringLiteral(","));
        SetSubject(doc, QStringLiteral("a,b"));
        frame.OnCommand(ID_MATCH_FIND_ALL);
        auto* split = qobject_cast<QAbstractItemView*>(frame.WorkPane()->View(CKorvaneBack::SLOT_SPLIT));
        QVERIFY(split && split->model()->rowCount() == 2);
        split->setCurrentIndex(split->model()->index(1, 0));
        view = split;
        break;
      }
      case TESTS_PANE_EMPTY:
        // The clips file outlives a frame: rows before may have left clips in it.
        doc->GetClips().ClearClips();
        doc->Notify(nullptr, HINT_CLIPS);
        view = frame.TestsPane()->List();
        break;
      case TEST_SELECTED_LAST: {
        doc->GetClips().ClearClips();
        doc->Notify(nullptr, HINT_CLIPS);
        SetSubject(doc, QStringLiteral("one"));
        frame.OnCommand(ID_TEST_ADD);
        SetSubject(doc, QStringLiteral("two"));
        frame.OnCommand(ID_TEST_ADD);
        QCOMPARE(frame.TestsPane()->SelectedTest(), 1);
        view = frame.TestsPane()->List();
        break;
      }
      default:
        QFAIL("unknown scenario");
    }
    QVERIFY(view);
    const QMap<int, bool> states = OpenContextMenu(view);
    QVERIFY2(!states.contains(0), "no context menu showed");
    Ids got;
    for (auto it = states.cbegin(); it != states.cend(); ++it)
      if (it.value()) got << it.key();
    std::sort(enabled.begin(), enabled.end());
    QCOMPARE(Names(got), Names(enabled));
    // The same state as the frame gives the command, and as the main menu's item shows.
    frame.PrepareMenu(frame.TopMenu(IDS_MENU_EDIT));
    for (auto it = states.cbegin(); it != states.cend(); ++it) {
      QVERIFY2(frame.QueryCommand(it.key()).enabled == it.value(), qPrintable(QString::number(it.key())));
      if (QAction* main = frame.CommandAction(it.key()))
        QVERIFY2(main->isEnabled() == it.value(), qPrintable(QString::number(it.key())));
    }
  }

  // A menu shown a second time takes the states of that moment, not those of the first showing.
  void statesAreTakenEachTime() {
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QWidget* pattern = frame.PatternEditView();
    pattern->setFocus();
    QTest::keyClicks(pattern, QStringLiteral("ab"));
    qobject_cast<QPlainTextEdit*>(pattern)->selectAll();
    QMap<int, bool> states = OpenContextMenu(pattern);
    QVERIFY(states.value(ID_EDIT_CUT) && states.value(ID_EDIT_UNDO));
    qobject_cast<QPlainTextEdit*>(pattern)->clear();
    qobject_cast<QPlainTextEdit*>(pattern)->document()->clearUndoRedoStacks();
    states = OpenContextMenu(pattern);
    QVERIFY(!states.value(ID_EDIT_CUT));
    QVERIFY(!states.value(ID_EDIT_UNDO));
  }
};

int main(int argc, char** argv) { return RunWithPrivateSettings<ContextMenuTest>(argc, argv, "context-menu-test"); }

#include "context_menu_test.moc"
