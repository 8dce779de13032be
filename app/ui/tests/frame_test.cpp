// Qt Test tests of the main frame, offscreen: commands, menus, bars, status panes, routing to the
// document, the wait dialog. Each test starts from an empty settings store (a temporary folder,
// see private_settings_main.h).
#include <cmath>
#include <functional>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "app/plugin_host/plugin_manager.h"
#include "app/document/debugger/debug_session.h"
#include "app/ui/frame/command_table.h"
#include "app/ui/editor/regex_group_list_view.h"
#include "app/ui/editor/rich_edit_view.h"
#include "app/ui/frame/frame_dialogs.h"
#include "app/ui/frame/korvane_app.h"
#include "app/ui/frame/korvane_back.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/frame/pane_table.h"
#include "app/ui/panes/history/trace_history_pane.h"
#include "app/ui/frame/sizing_bar.h"
#include "korvane_ids.h"
#include "app/ui/tests/private_settings_main.h"

class FrameTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void commandTable_data();
  void commandTable();
  void menusHoldEveryCommand();
  void removedMenuItems();
  void resultPositionPane_data();
  void resultPositionPane();
  void elapsedPane();
  void statusPrompt();
  void findThroughMenu();
  void findAllThroughMenu();
  void findButtonReadsContinueWhilePaused();
  void stepBackThroughMenuAndSlider();
  void optionCheckBoxFollowsDocument();
  void barToggles_data();
  void barToggles();
  void paneTableMakesTheBars();
  void submenuGreying();
  void standardPluginFillsTheMenus();
  void describeFrameListsMenusPluginsAndClips();
  void pluginFaultsAreReported();
  void contextMenus_data();
  void contextMenus();
  void droppedFiles();
  void waitDialogShowsAndBreaks();
  void waitDialogClosesAsBreak_data();
  void waitDialogClosesAsBreak();
  void nothingStartsInsideTheWait_data();
  void nothingStartsInsideTheWait();
  void exitThroughMenu_data();
  void exitThroughMenu();
  void unsavedClipsAskBeforeClosing_data();
  void unsavedClipsAskBeforeClosing();
  void missingCommandLineFile();
  void garbageCommandLineFile();
  void editCommandsGoToActiveView();
  void paneSwitching();
};

// The scripted test plugins report their events to the program that loads them.
extern "C" __attribute__((visibility("default"))) void PmTestRecord(const char*) {}

namespace {

std::vector<unsigned short> U16(const QString& s) {
  std::vector<unsigned short> v;
  for (QChar c : s) v.push_back(c.unicode());
  return v;
}

// The background fail-point check is switched off first: its search would otherwise race the
// test's own (its result arrives as a posted command).
void SetTexts(CKorvaneDoc* doc, const QString& pattern, const QString& subject) {
  if (doc->IsLocateFailPoint()) doc->OnCommand(ID_MATCH_LOCATE_FAIL_POINT);
  const auto p = U16(pattern);
  const auto t = U16(subject);
  doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
  doc->SetSubjectText(t.data(), static_cast<int>(t.size()));
}

struct Box {
  QString text;
  QString caption;
  int icon;
};

// Records the frame's message boxes and answers them at once.
void RecordBoxes(CMainFrame& frame, QList<Box>* boxes, int answer = IDocumentUi::ANSWER_OK) {
  frame.messageBoxHook = [boxes, answer](const QString& text, const QString& caption, int icon, int) {
    boxes->append({text, caption, icon});
    return answer;
  };
}

QList<int> CommandsOf(const QMenu* menu) {
  QList<int> ids;
  for (QAction* a : menu->actions()) {
    if (a->isSeparator()) continue;
    if (a->menu()) ids.append(-1);  // a submenu
    else if (a->isVisible()) ids.append(CMenuResources::CommandOf(a));
  }
  return ids;
}

bool MenusHold(const QMenuBar* bar, int id) {
  for (QAction* top : bar->actions())
    if (top->menu())
      for (QAction* a : CMenuResources::AllActions(top->menu()))
        if (CMenuResources::CommandOf(a) == id) return true;
  return false;
}

QByteArray WorkspaceWithPattern(const QString& pattern) {
  CKorvaneDoc doc(nullptr);
  doc.OnNewDocument();
  const auto p = U16(pattern);
  doc.SetPattern(p.data(), static_cast<int>(p.size()), true);
  const std::string bytes = doc.WorkspaceBytes();
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString PatternOf(const CKorvaneDoc* doc) {
  QString s;
  for (unsigned short u : doc->GetPattern()) s.append(QChar(u));
  return s;
}

}  // namespace

// =============================================================================================
// FrameTest

void FrameTest::init() { ClearSettings(); }

void FrameTest::commandTable_data() {
  QTest::addColumn<int>("id");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("shortcut");
  QTest::addColumn<QString>("prompt");
  QTest::addColumn<QString>("tip");
  auto row = [](const char* name, int id, const char* caption, const char* key, const char* prompt, const char* tip) {
    QTest::newRow(name) << id << QString::fromUtf8(caption) << QString::fromUtf8(key) << QString::fromUtf8(prompt)
                        << QString::fromUtf8(tip);
  };
  row("new", 57600, "&New\tCtrl+N", "Ctrl+N", "Create a pattern", "New");
  row("open", 57601, "&Open...\tCtrl+O", "Ctrl+O", "Open an existing document into pattern box", "Open");
  row("save", 57603, "&Save\tCtrl+S", "Ctrl+S", "Save the pattern", "Save");
  row("save as", 57604, "Save &As...", "", "Save the pattern with a new name", "Save As");
  row("exit", 57665, "E&xit", "", "Quit the application; prompts to save documents", "Exit");
  row("undo", 57643, "&Undo\tCtrl+Z", "Ctrl+Z", "Undo the last action", "Undo");
  row("redo", 57644, "&Redo\tCtrl+Y", "Ctrl+Y", "Redo the previously undone action", "Redo");
  row("cut", 57635, "Cu&t\tCtrl+X", "Ctrl+X", "Cut the selection and put it on the Clipboard", "Cut");
  row("copy", 57634, "&Copy\tCtrl+C", "Ctrl+C", "Copy the selection and put it on the Clipboard", "Copy");
  row("paste", 57637, "&Paste\tCtrl+V", "Ctrl+V", "Insert Clipboard contents", "Paste");
  row("delete", 57632, "&Delete\tDel", "Del", "Erase the selection", "Erase");
  row("find text", 57636, "&Find\tCtrl+F", "Ctrl+F", "Find the specified text", "Find");
  row("replace text", 57641, "Rep&lace\tCtrl+H", "Ctrl+H", "Replace specific text with different text", "Replace");
  row("select all shown, no key", 57642, "Select &All\tCtrl+A", "", "Select the entire document", "Select All");
  row("font", 32811, "Fo&nt", "", "Select text box fonts", "Select Fonts");
  row("tool bar", 59392, "&Tool Bar", "", "Show or hide the toolbar", "Toggle ToolBar");
  row("status bar", 59393, "&Status Bar", "", "Show or hide the status bar", "Toggle StatusBar");
  row("structure", 32794, "Str&ucture", "", "Show or hide structure box", "Structure");
  row("group", 32795, "&Group", "", "Show or hide group box", "Group");
  row("stack bar", 32886, "St&ack", "",
      "Show or hide the stack bar: the trace stack and the history slider of a paused trace", "Stack");
  row("text clip", 32808, "Text &Clip", "", "Show or hide text clip bar", "Text Clip");
  row("snapshot bar", 32813, "S&napshot", "", "Show or hide snapshot bar", "Snapshot");
  row("work mode bar", 32797, "&Work Mode", "", "Show or hide work mode bar", "Work Mode Bar");
  row("match buttons", 32798, "Match &Buttons", "", "Show or hide match buttons.", "Match Buttons");
  row("match mode bar", 32796, "&Match Mode", "", "Show or hide match mode bar", "Mode Bar");
  row("reset bars", 32791, "&Reset All Bars", "", "Reset control bars to default position", "Reset Bars");
  row("find", 32792, "&Find\tF3", "F3", "To match in the text", "Find and Match");
  row("find all", 32793, "Find &All", "", "To match all in the text", "Match All");
  row("step", 32819, "Ste&p Match\tF10", "F10", "Step paused match", "Step match");
  row("step back", 32871, "Step &Back\tShift+F10", "Shift+F10",
      "Show the previous step of the paused match again, from its recorded history", "Step back");
  row("reset find", 32776, "&Reset Find", "", "Reset match start position", "Restart Match");
  row("only current node", 32784, "Only &Current Node", "", "Use current node to do matching only", "Only current node");
  row("only start point", 32785, "Only Start P&oint", "", "Requires the match is at the start point", "Only start point");
  row("set start point", 32805, "Set Start Poi&nt", "", "Set the start point to begin matching", "Start Point");
  row("locate fail point", 32821, "&Locate Fail Point", "", "Switch to locate match fail point", "Locate Match Fail");
  row("ignorecase", 32780, "&Ignorecase", "", "Ignore case when match", "Ignore case");
  row("singleline", 32778, "&Singleline", "", "Let dot(.) can match all char including new-line(\\n)", "Singleline");
  row("multiline", 32779, "&Multiline", "", "Let ^ and $ can match line head and line end", "Multiline");
  row("global", 32781, "&Global", "", "Let \\G match the end of last match", "Global");
  row("right to left", 32782, "&RightToLeft", "", "Match from the text end to begin", "Right to left");
  row("extended", 32783, "E&xtended", "", "Ignoring blank characters in pattern.", "Extended");
  row("match mode", 32771, "&Match Mode", "", "Switch to do finding and matching", "Match Mode");
  row("replace mode", 32772, "&Replace Mode", "", "Switch to do replacing", "Replace Mode");
  row("split mode", 32773, "S&plit Mode", "", "Switch to do splitting", "Split Mode");
  row("optimize mode", 32775, "&Optimize Mode", "", "Switch to do optimizing", "Optimize Mode");
  row("trace mode", 32774, "&Trace Mode", "", "Switch to do tracing", "Trace Mode");
  row("homepage", 32801, "&Homepage", "", "Click to enter homepage of this software", "Homepage");
  row("bug report", 32802, "&Bug Report", "", "Report runtime errors", "Bug Report");
  row("about", 57664, "&About Korvane...", "", "Display program information, version number and copyright", "About");
  row("first record", 59648, "", "", "Move to first record", "First Record");
  row("previous record", 59651, "", "", "Move to previous record", "Previous Record");
  row("next record", 59650, "", "", "Move to next record", "Next Record");
  row("last record", 59649, "", "", "Move to final record", "Last Record");
  row("add snapshot", 32812, "&Add Snapshot", "", "Save current regex as snapshot", "Snapshot");
  row("open text", 32799, "&Open...", "", "Open a text file", "Open a text file");
  row("save content", 32800, "&Save As...", "", "Save the content into a file", "Save the content into a file");
  row("clip name", 32807, "Set Clip &Name", "", "Set a name for current text clip", "Set Clip Name");
  row("switch snapshot", 32814, "S&witch To Snapshot", "", "Switch to current snapshot to edit", "Switch To Snapshot");
  row("snapshot name", 32817, "Set Snapshot &Name", "", "Change snapshot name", "Snapshot Name");
  row("delete snapshot", 32815, "&Delete Snapshot", "", "Delete current snapshot", "Delete Snapshot");
  row("delete snapshot tree", 32816, "Delete Snapshot &Tree", "", "Delete snapshot and sub-snapshots", "Delete Snapshot Tree");
  row("tests bar", 32830, "T&ests", "", "Show or hide the tests pane", "Tests");
  row("add test", 32831, "&Add Test", "", "Add a test with the text box's subject and options", "Add Test");
  row("duplicate test", 32832, "Du&plicate Test", "", "Add a copy of the selected test", "Duplicate Test");
  row("rename test", 32833, "Re&name Test...", "", "Change the name of the selected test", "Rename Test");
  row("delete test", 32834, "&Delete Test", "", "Delete the selected test", "Delete Test");
  row("move test up", 32835, "Move &Up", "", "Move the selected test up", "Move Up");
  row("move test down", 32836, "Move Do&wn", "", "Move the selected test down", "Move Down");
  row("load test", 32837, "&Load Into Text Box", "", "Load the selected test's subject and options into the text box",
      "Load Into Text Box");
  row("accept result", 32838, "A&ccept Current Result", "", "Make the current result the selected test's expectation",
      "Accept Current Result");
  row("import tests", 32839, "&Import From File...", "",
      "Add tests from the lines of a text file, or the whole file as one test", "Import Tests");
  row("import clips", 32840, "Import From Clip&s", "", "Add a test for every text clip", "Import Clips");
  row("export tests", 32841, "E&xport As CSV...", "", "Save the tests and their results as a CSV file", "Export Tests");
  row("tests on snapshots", 32842, "&Run On All Snapshots", "", "Run the tests against the pattern of every snapshot",
      "Run Tests On All Snapshots");
  row("next pane", 57680, "", "F6", "Switch to the next pane", "Next Pane");
  row("previous pane", 57681, "", "Shift+F6", "Switch to the previous pane", "Previous Pane");
}

void FrameTest::commandTable() {
  QFETCH(int, id);
  QFETCH(QString, caption);
  QFETCH(QString, shortcut);
  QFETCH(QString, prompt);
  QFETCH(QString, tip);
  CMainFrame frame;
  QAction* action = frame.CommandAction(id);
  QVERIFY(action);
  QCOMPARE(CMenuResources::CommandOf(action), id);
  if (!caption.isEmpty()) QCOMPARE(action->text(), caption);
  QCOMPARE(action->statusTip(), prompt);
  QCOMPARE(action->toolTip(), tip);
  const QList<QKeySequence> keys = action->shortcuts();
  if (shortcut.isEmpty()) {
    QVERIFY(keys.isEmpty());
  } else {
    QVERIFY(!keys.isEmpty());
    QCOMPARE(keys.first(), QKeySequence(shortcut, QKeySequence::PortableText));
  }
}

void FrameTest::menusHoldEveryCommand() {
  CMainFrame frame;
  const QMenuBar* bar = frame.menuBar();
  for (const CommandInfo& info : CCommandTable::All()) {
    const bool toolBarOnly = info.captionId == 0;
    const bool removed = info.id == ID_MODE_SPLIT;
    const bool contextOnly = info.id == ID_EDIT_OPEN_TEXT || info.id == ID_EDIT_SAVE_CONTENT ||
                             info.id == ID_CLIP_SET_NAME || (info.id >= ID_SNAPSHOT_SWITCH && info.id <= ID_SNAPSHOT_SET_NAME) ||
                             info.id == ID_ADD_SNAPSHOT;
    if (toolBarOnly || removed || contextOnly) continue;
    QVERIFY2(MenusHold(bar, info.id), qPrintable(QString::number(info.id)));
  }
  // Secondary accelerators.
  QVERIFY(frame.CommandAction(ID_EDIT_UNDO)->shortcuts().contains(QKeySequence(QStringLiteral("Alt+Backspace"))));
  QVERIFY(frame.CommandAction(ID_EDIT_CUT)->shortcuts().contains(QKeySequence(QStringLiteral("Shift+Del"))));
  QVERIFY(frame.CommandAction(ID_EDIT_COPY)->shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+Ins"))));
  QVERIFY(frame.CommandAction(ID_EDIT_PASTE)->shortcuts().contains(QKeySequence(QStringLiteral("Shift+Ins"))));
  // Tool bar: 14 buttons in six groups.
  QToolBar* tools = frame.ToolBarOf(BAR_TOOLBAR);
  QList<int> buttons;
  for (QAction* a : tools->actions()) buttons.append(a->isSeparator() ? 0 : CMenuResources::CommandOf(a));
  const QList<int> expected = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 0,
                               ID_EDIT_UNDO, ID_EDIT_REDO, 0, ID_RECORD_FIRST, ID_RECORD_PREV, ID_RECORD_NEXT,
                               ID_RECORD_LAST, 0, ID_ADD_SNAPSHOT, 0, ID_APP_ABOUT};
  QCOMPARE(buttons, expected);
  for (QAction* a : tools->actions())
    if (!a->isSeparator()) QVERIFY(!a->icon().isNull());
}

void FrameTest::removedMenuItems() {
  CMainFrame frame;
  QMenu* mode = frame.TopMenu(IDS_MENU_MODE);
  QVERIFY(mode);
  const QList<int> modes = CommandsOf(mode);
  QVERIFY(!modes.contains(ID_MODE_SPLIT));
  QVERIFY(modes.contains(ID_MODE_MATCH) && modes.contains(ID_MODE_REPLACE));
  // The View menu lists every bar, the work-mode bar included (Reset All Bars hides it).
  QVERIFY(CommandsOf(frame.TopMenu(IDS_MENU_VIEW)).contains(ID_VIEW_WORK_MODE));
  // The commands stay: the work-mode bar's Split button still switches.
  QVERIFY(frame.BarControl(ID_MODE_SPLIT));
  frame.BarControl(ID_MODE_SPLIT)->click();
  QCOMPARE(frame.Doc()->GetMode(), int(MODE_SPLIT));
  // F10 reaches Step Match through the window's shortcut.
  QVERIFY(frame.actions().contains(frame.CommandAction(ID_MATCH_STEP)));
}

void FrameTest::resultPositionPane_data() {
  QTest::addColumn<int>("index");
  QTest::addColumn<int>("count");
  QTest::addColumn<QString>("shown");
  QTest::newRow("inside") << 2 << 4 << "2 of 4 results";
  QTest::newRow("index beyond count shows the count") << 5 << 3 << "3 of 3 results";
  QTest::newRow("negative index clears") << -1 << 3 << "   ";
  QTest::newRow("negative count clears") << 2 << -1 << "   ";
  QTest::newRow("nothing found") << 0 << 0 << "0 of 0 results";
}

void FrameTest::resultPositionPane() {
  QFETCH(int, index);
  QFETCH(int, count);
  QFETCH(QString, shown);
  CMainFrame frame;
  frame.ShowResultPosition(index, count);
  QCOMPARE(frame.ResultText(), shown);
}

void FrameTest::elapsedPane() {
  CMainFrame frame;
  QCOMPARE(frame.ElapsedText(), QStringLiteral("   "));
  frame.ShowElapsedTime(0.25);
  QCOMPARE(frame.ElapsedText(), QStringLiteral("Elapsed time: 0.2500000 sec"));
  frame.ShowElapsedTime(0.0);
  QCOMPARE(frame.ElapsedText(), QStringLiteral("Elapsed time: 0.0000000 sec"));
  frame.ShowElapsedTime(-1.0);
  QCOMPARE(frame.ElapsedText(), QStringLiteral("   "));
  // With the search's steps beside the time, thousands grouped.
  frame.ShowElapsedTimeAndSteps(0.0000138, 1204, true);
  QCOMPARE(frame.ElapsedText(), QStringLiteral("Elapsed time: 0.0000138 sec, 1,204 steps"));
  frame.ShowElapsedTimeAndSteps(-1.0, 1204, true);
  QCOMPARE(frame.ElapsedText(), QStringLiteral("   "));
  // The direct search's count says so.
  frame.ShowElapsedTimeAndSteps(0.0000138, 1, false);
  QCOMPARE(frame.ElapsedText(), QStringLiteral("Elapsed time: 0.0000138 sec, 1 direct step"));
  frame.ShowElapsedTimeAndSteps(0.0000138, 52606737, false);
  QCOMPARE(frame.ElapsedText(), QStringLiteral("Elapsed time: 0.0000138 sec, 52,606,737 direct steps"));
}

void FrameTest::statusPrompt() {
  CMainFrame frame;
  QCOMPARE(frame.MessageText(), QStringLiteral("Ready"));
  QStatusTipEvent tip(QStringLiteral("To match in the text"));
  QApplication::sendEvent(&frame, &tip);
  QCOMPARE(frame.MessageText(), QStringLiteral("To match in the text"));
  QStatusTipEvent none{QString()};
  QApplication::sendEvent(&frame, &none);
  QCOMPARE(frame.MessageText(), QStringLiteral("Ready"));
  // Hovering an action sends its prompt.
  frame.CommandAction(ID_MATCH_FIND_ALL)->showStatusText(&frame);
  QCOMPARE(frame.MessageText(), QStringLiteral("To match all in the text"));
}

void FrameTest::findThroughMenu() {
  CMainFrame frame;
  QList<Box> boxes;
  RecordBoxes(frame, &boxes);
  SetTexts(frame.Doc(), QStringLiteral("a+"), QStringLiteral("xaaybaz"));
  frame.SizingBar(BAR_GROUP)->hide();
  frame.CommandAction(ID_MATCH_FIND)->trigger();
  QCOMPARE(frame.Doc()->RealMatchCount(), 1);
  QCOMPARE(frame.Doc()->GetHighlightStart(), 1);
  QCOMPARE(frame.Doc()->GetHighlightEnd(), 3);
  QCOMPARE(frame.ResultText(), QStringLiteral("1 of 1 results"));
  QVERIFY2(frame.ElapsedText().startsWith(QStringLiteral("Elapsed time: ")), qPrintable(frame.ElapsedText()));
  // Match mode searches directly: no attempt at 0 (no match begins with x), then the repeat and
  // its run of two "a" at 1.
  QVERIFY2(frame.ElapsedText().endsWith(QStringLiteral(" sec, 3 direct steps")), qPrintable(frame.ElapsedText()));
  // Find is offered to the frame after the document: the group list shows.
  QVERIFY(!frame.SizingBar(BAR_GROUP)->isHidden());
  frame.CommandAction(ID_MATCH_FIND)->trigger();
  QCOMPARE(frame.ResultText(), QStringLiteral("2 of 2 results"));
  frame.CommandAction(ID_MATCH_FIND)->trigger();
  QCOMPARE(boxes.size(), 1);
  QCOMPARE(boxes[0].text, QStringLiteral("Find and match finished."));
}

void FrameTest::findAllThroughMenu() {
  CMainFrame frame;
  QList<Box> boxes;
  RecordBoxes(frame, &boxes);
  SetTexts(frame.Doc(), QStringLiteral("(b)(c)?"), QStringLiteral("abcabcab"));
  frame.Doc()->Notify(nullptr, ~0);  // as the pattern box's edit would: the group list's rows
  frame.CommandAction(ID_MATCH_FIND_ALL)->trigger();
  QCOMPARE(frame.Doc()->RealMatchCount(), 3);
  QCOMPARE(boxes.size(), 1);
  QVERIFY2(boxes[0].text.startsWith(QStringLiteral("Find and match finished, total elapsed time: ")),
           qPrintable(boxes[0].text));
  QCOMPARE(boxes[0].caption, QStringLiteral("Information"));
  QVERIFY(frame.ElapsedText().startsWith(QStringLiteral("Elapsed time: ")));
  // The search ends on its first result: selected, its groups listed, and Previous has nowhere
  // to go while Next does.
  QCOMPARE(frame.ResultText(), QStringLiteral("1 of 3 results"));
  QCOMPARE(frame.Doc()->GetHighlightStart(), 1);
  QCOMPARE(frame.Doc()->GetHighlightEnd(), 3);
  auto* groups = frame.findChild<CRegexGroupListView*>();
  QVERIFY(groups);
  QCOMPARE(groups->topLevelItemCount(), 3);
  QCOMPARE(groups->topLevelItem(0)->text(CRegexGroupListView::COL_CAPTURED), QStringLiteral("bc"));
  QCOMPARE(groups->topLevelItem(1)->text(CRegexGroupListView::COL_CAPTURED), QStringLiteral("b"));
  frame.UpdateCommandUi();
  QVERIFY(frame.CommandAction(ID_RECORD_NEXT)->isEnabled());
  QVERIFY(!frame.CommandAction(ID_RECORD_PREV)->isEnabled());
  frame.CommandAction(ID_RECORD_NEXT)->trigger();
  QCOMPARE(frame.ResultText(), QStringLiteral("2 of 3 results"));
  frame.CommandAction(ID_RECORD_LAST)->trigger();
  QCOMPARE(frame.ResultText(), QStringLiteral("3 of 3 results"));
  QCOMPARE(groups->topLevelItem(0)->text(CRegexGroupListView::COL_CAPTURED), QStringLiteral("b"));
  frame.CommandAction(ID_RECORD_FIRST)->trigger();
  frame.UpdateCommandUi();
  QVERIFY(frame.CommandAction(ID_RECORD_NEXT)->isEnabled());
  QVERIFY(!frame.CommandAction(ID_RECORD_PREV)->isEnabled());
  QCOMPARE(frame.ResultText(), QStringLiteral("1 of 3 results"));
}

void FrameTest::findButtonReadsContinueWhilePaused() {
  CMainFrame frame;
  QList<Box> boxes;
  RecordBoxes(frame, &boxes);
  SetTexts(frame.Doc(), QStringLiteral("abc"), QStringLiteral("xxabc"));
  frame.UpdateCommandUi();
  QCOMPARE(frame.CommandAction(ID_MATCH_FIND)->text(), QStringLiteral("&Find\tF3"));
  QCOMPARE(frame.BarControl(ID_MATCH_FIND)->text(), QStringLiteral("Match"));
  frame.CommandAction(ID_MATCH_STEP)->trigger();
  QCOMPARE(frame.Doc()->GetMode(), int(MODE_TRACE));
  QVERIFY(frame.Doc()->IsPaused());
  frame.UpdateCommandUi();
  QCOMPARE(frame.CommandAction(ID_MATCH_FIND)->text(), QStringLiteral("&Continue\tF3"));
  QCOMPARE(frame.BarControl(ID_MATCH_FIND)->text(), QStringLiteral("Continue"));
  QVERIFY(!frame.CommandAction(ID_MATCH_FIND_ALL)->isEnabled());
  // F3 continues to the end of the step.
  frame.CommandAction(ID_MATCH_FIND)->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(!frame.Doc()->IsJobActive(), 20000);
  frame.UpdateCommandUi();
  QCOMPARE(frame.CommandAction(ID_MATCH_FIND)->text(), QStringLiteral("&Find\tF3"));
  QCOMPARE(frame.BarControl(ID_MATCH_FIND)->text(), QStringLiteral("Match"));
  QCOMPARE(frame.Doc()->RealMatchCount(), 1);
}

// Step Back from the menu, the Stack bar's slider and the group list's captures at the step.
// "(a|b)*c" on "abc" pauses at "a" matching at 0, "a" failing at 1, "b" matching at 1, ...; the
// group is open throughout, since 0 in the first round and since 1 in the second.
void FrameTest::stepBackThroughMenuAndSlider() {
  CMainFrame frame;
  SetTexts(frame.Doc(), QStringLiteral("(a|b)*c"), QStringLiteral("abc"));
  frame.Doc()->Notify(nullptr, ~0);  // the views take the new pattern (the group list its rows)
  QAction* step = frame.CommandAction(ID_MATCH_STEP);
  QAction* back = frame.CommandAction(ID_MATCH_STEP_BACK);
  QVERIFY(back);
  QVERIFY(MenusHold(frame.menuBar(), ID_MATCH_STEP_BACK));
  frame.UpdateCommandUi();
  QVERIFY(!back->isEnabled());
  auto* pane = frame.findChild<CTraceHistoryPane*>();
  QVERIFY(pane);
  auto* groups = frame.findChild<CRegexGroupListView*>();
  QVERIFY(groups);
  auto capturesShown = [groups] {
    QStringList cells;
    for (int row = 0; row < groups->topLevelItemCount(); ++row) cells << groups->topLevelItem(row)->text(2);
    return cells;
  };
  for (int i = 0; i < 3; ++i) step->trigger();
  QVERIFY(frame.Doc()->IsPaused());
  QVERIFY2(capturesShown().contains(QStringLiteral("(open since 1)")), qPrintable(capturesShown().join(QLatin1Char('|'))));
  QCOMPARE(pane->Slider()->value(), pane->Slider()->maximum());
  frame.UpdateCommandUi();
  QVERIFY(back->isEnabled());
  back->trigger();
  back->trigger();
  QVERIFY(frame.Doc()->Debugger().IsViewingHistory());
  QVERIFY(capturesShown().contains(QStringLiteral("(open since 0)")));
  QVERIFY(pane->Slider()->value() < pane->Slider()->maximum());
  QCOMPARE(frame.Doc()->GetTraceStep().elementStart, 0);
  QCOMPARE(frame.Doc()->GetTraceStep().outcome, 1);
  // The slider's end is the live pause again.
  pane->Slider()->setValue(pane->Slider()->maximum());
  QVERIFY(!frame.Doc()->Debugger().IsViewingHistory());
  QVERIFY(capturesShown().contains(QStringLiteral("(open since 1)")));
  QCOMPARE(frame.Doc()->GetTraceStep().elementStart, 1);
  frame.CommandAction(ID_MATCH_FIND)->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(!frame.Doc()->IsJobActive(), 20000);
  QVERIFY(!pane->Slider()->isEnabled());
}

void FrameTest::optionCheckBoxFollowsDocument() {
  CMainFrame frame;
  auto* box = qobject_cast<QCheckBox*>(frame.BarControl(ID_OPTION_IGNORECASE));
  QVERIFY(box);
  box->click();
  QVERIFY(frame.Doc()->GetFlags() & 0x08);
  QVERIFY(box->isChecked());
  QVERIFY(frame.CommandAction(ID_OPTION_IGNORECASE)->isChecked());
  frame.CommandAction(ID_OPTION_IGNORECASE)->trigger();
  QVERIFY(!(frame.Doc()->GetFlags() & 0x08));
  QVERIFY(!box->isChecked());
  // The work-mode buttons show the current mode.
  frame.CommandAction(ID_MODE_REPLACE)->trigger();
  QVERIFY(frame.BarControl(ID_MODE_REPLACE)->isChecked());
  QVERIFY(!frame.BarControl(ID_MODE_MATCH)->isChecked());
  QVERIFY(frame.CommandAction(ID_MODE_REPLACE)->isChecked());
}

void FrameTest::barToggles_data() {
  QTest::addColumn<int>("command");
  QTest::addColumn<int>("bar");
  QTest::newRow("tool bar") << int(ID_VIEW_TOOLBAR) << int(BAR_TOOLBAR);
  QTest::newRow("status bar") << int(ID_VIEW_STATUS_BAR) << int(BAR_STATUS);
  QTest::newRow("structure") << int(ID_VIEW_STRUCTURE) << int(BAR_STRUCTURE);
  QTest::newRow("group") << int(ID_VIEW_GROUP) << int(BAR_GROUP);
  QTest::newRow("text clip") << int(ID_VIEW_TEXT_CLIP) << int(BAR_TEXT_CLIP);
  QTest::newRow("snapshot") << int(ID_VIEW_SNAPSHOT) << int(BAR_SNAPSHOT);
  QTest::newRow("tests") << int(ID_VIEW_TESTS) << int(BAR_TESTS);
  QTest::newRow("work mode") << int(ID_VIEW_WORK_MODE) << int(BAR_WORK_MODE);
  QTest::newRow("match buttons") << int(ID_VIEW_MATCH_BUTTONS) << int(BAR_MATCH_BUTTONS);
  QTest::newRow("match mode") << int(ID_VIEW_MATCH_MODE) << int(BAR_MATCH_MODE);
}

void FrameTest::barToggles() {
  QFETCH(int, command);
  QFETCH(int, bar);
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  QWidget* widget = frame.Bar(bar);
  QVERIFY(widget);
  QVERIFY(widget->isVisible());
  frame.UpdateCommandUi();
  QVERIFY(frame.CommandAction(command)->isChecked());
  frame.OnCommand(command);
  QVERIFY(!widget->isVisible());
  QVERIFY(!frame.CommandAction(command)->isChecked());
  frame.OnCommand(command);
  QVERIFY(widget->isVisible());
  QVERIFY(frame.CommandAction(command)->isChecked());
}

// Every row of the pane table, as the frame makes it: the bar with its title and view, its entry
// in the View menu (the panes by bar id), its toggle, its place in the built-in layout (the dock
// area, the tab it shares) and its visibility in each mode's built-in layout.
void FrameTest::paneTableMakesTheBars() {
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  QList<int> menuOrder;
  for (const PaneRegistration* pane : CPaneTable::ById())
    if (pane->commandId) menuOrder.append(pane->commandId);
  QList<int> inMenu;
  for (int id : CommandsOf(frame.TopMenu(IDS_MENU_VIEW)))
    if (CPaneTable::ByCommand(id)) inMenu.append(id);
  QCOMPARE(inMenu, menuOrder);
  for (const PaneRegistration& pane : CPaneTable::All()) {
    const QByteArray name = CStringTable::Str(pane.captionId).toUtf8();
    CSizingControlBarG* bar = frame.SizingBar(pane.barId);
    QVERIFY2(bar, name.constData());
    QCOMPARE(bar->BarId(), pane.barId);
    QCOMPARE(bar->windowTitle(), CStringTable::Str(pane.captionId));
    QVERIFY2((bar->View() != nullptr) == (pane.create != nullptr), name.constData());
    QVERIFY2(CPaneTable::Find(pane.barId) == &pane, name.constData());
    QCOMPARE(frame.dockWidgetArea(bar), pane.area);
    for (int mode : {MODE_MATCH, MODE_REPLACE, MODE_SPLIT, MODE_TRACE, MODE_OPTIMIZE}) {
      frame.ApplyDefaultLayout(mode);
      QCOMPARE(bar->isHidden(), (pane.shownInModes & CPaneTable::ModeBit(mode)) == 0);
      QVERIFY(!bar->isFloating());
    }
    if (!pane.commandId) continue;
    QCOMPARE(CPaneTable::ByCommand(pane.commandId), &pane);
    // Shown (and in front of any tab it shares) by its command, hidden by it again.
    bar->hide();
    frame.OnCommand(pane.commandId);
    QTRY_VERIFY2(bar->isVisible() && !bar->visibleRegion().isEmpty(), name.constData());
    QVERIFY(frame.CommandAction(pane.commandId)->isChecked());
    // A tab of the bar it is placed beside (a hidden bar is in no tab group).
    if (pane.place == PaneRegistration::TAB_WITH)
      QVERIFY2(frame.tabifiedDockWidgets(frame.SizingBar(pane.beside)).contains(bar), name.constData());
    frame.OnCommand(pane.commandId);
    QVERIFY2(bar->isHidden(), name.constData());
    QVERIFY(!frame.CommandAction(pane.commandId)->isChecked());
  }
}

void FrameTest::submenuGreying() {
  CMainFrame frame;
  QMenu* tools = frame.TopMenu(IDS_MENU_TOOLS);
  frame.PrepareMenu(tools);
  // The plugins' five submenus, then Convert to Flavour, a command of its own (always enabled).
  QCOMPARE(tools->actions().size(), 9);
  QCOMPARE(tools->actions().last(), frame.CommandAction(ID_TOOLS_CONVERT));
  QVERIFY(frame.CommandAction(ID_TOOLS_CONVERT)->isEnabled());
  for (QAction* a : tools->actions()) {
    if (a->isSeparator() || a == frame.CommandAction(ID_TOOLS_CONVERT)) continue;
    QVERIFY(a->menu());
    QVERIFY2(!a->isEnabled(), qPrintable(a->text()));
  }
  // A submenu holding only a separator and a greyed entry stays greyed; one enabled entry,
  // even one level deeper, enables it.
  QMenu* code = tools->findChild<QMenu*>(QLatin1String(CMenuResources::kPluginMenuExportCode));
  QVERIFY(code);
  code->addSeparator();
  code->addAction(QStringLiteral("greyed"))->setEnabled(false);
  frame.PrepareMenu(tools);
  QVERIFY(!code->menuAction()->isEnabled());
  QMenu* deeper = code->addMenu(QStringLiteral("deeper"));
  deeper->addAction(QStringLiteral("live"));
  frame.PrepareMenu(tools);
  QVERIFY(deeper->menuAction()->isEnabled());
  QVERIFY(code->menuAction()->isEnabled());
  // The context menus' plugin submenus are greyed the same way.
  QMenu* pattern = frame.ContextMenu(145);
  frame.PrepareMenu(pattern);
  for (QAction* a : pattern->actions())
    if (a->menu()) QVERIFY(!a->isEnabled());
}

// The standard plugin placed into the frame's own menus: every command lands in the submenu its
// kind names, in the standard order, and nothing spills into the menus themselves.
void FrameTest::standardPluginFillsTheMenus() {
  CMainFrame frame;
  PluginManager plugins(&frame);
  QCOMPARE(plugins.LoadPlugins(QStringLiteral(FENNIC_MODULE_DIR)), 17);
  QMenu* tools = frame.TopMenu(IDS_MENU_TOOLS);
  QMenu* pattern = frame.ContextMenu(145);
  QMenu* replace = frame.ContextMenu(135);
  QMenu* tree = frame.ContextMenu(136);
  QMenu* text = frame.ContextMenu(144);
  const int sizes[] = {int(tools->actions().size()), int(pattern->actions().size()), int(replace->actions().size()),
                       int(tree->actions().size()), int(text->actions().size())};
  plugins.BuildMenus(tools, pattern, replace, tree, text);

  std::function<QString(const QMenu*)> dump = [&](const QMenu* m) {
    QStringList items;
    for (QAction* a : m->actions())
      items << (a->isSeparator() ? QStringLiteral("-") : a->menu() ? a->text() + "[" + dump(a->menu()) + "]" : a->text());
    return items.join(QLatin1Char('|'));
  };
  auto sub = [](QMenu* m, const char* name) { return m->findChild<QMenu*>(QLatin1String(name)); };
  const QString three = QStringLiteral("Java string|Visual Basic string|C++ string");
  const QString optimize =
      QStringLiteral("Group[Convert to noncapture group|Convert to capture group]|Alternative[Alternative of strings]");
  QCOMPARE(dump(sub(tools, CMenuResources::kPluginMenuImportClipboard)), three);
  QCOMPARE(dump(sub(tools, CMenuResources::kPluginMenuImportSelected)),
           QStringLiteral("Convert HTML Entity|Java string|Visual Basic string|Remove HTML Tag|C++ string"));
  QCOMPARE(dump(sub(tools, CMenuResources::kPluginMenuExportClipboard)), three);
  QCOMPARE(dump(sub(tools, CMenuResources::kPluginMenuExportCode)), three);
  QCOMPARE(dump(sub(tools, CMenuResources::kPluginMenuOptimize)), optimize);
  for (QMenu* m : {pattern, replace, text}) {
    QCOMPARE(dump(sub(m, CMenuResources::kPluginMenuCtxImport)), three);
    QCOMPARE(dump(sub(m, CMenuResources::kPluginMenuCtxExport)), three);
  }
  QCOMPARE(dump(sub(tree, CMenuResources::kPluginMenuCtxExport)), three);
  QCOMPARE(dump(sub(pattern, CMenuResources::kPluginMenuCtxOptimize)), optimize);
  // The target menus themselves keep their items.
  const int after[] = {int(tools->actions().size()), int(pattern->actions().size()), int(replace->actions().size()),
                       int(tree->actions().size()), int(text->actions().size())};
  for (int i = 0; i < 5; ++i) QCOMPARE(after[i], sizes[i]);
  plugins.UnloadPlugins();
  QVERIFY(sub(tools, CMenuResources::kPluginMenuImportClipboard)->actions().isEmpty());
}

// A plugin command that throws is switched off, and the user hears of it once, after the event
// in which it threw.
// What "--list-menus" prints: every item of every menu by its path, the plugin libraries and
// the clips file.
void FrameTest::describeFrameListsMenusPluginsAndClips() {
  CMainFrame frame;
  const QStringList before = CKorvaneApp::DescribeFrame(frame);
  // This test program has no plugin beside it: the Tools submenus are empty, and the menu holds
  // only its own Convert to Flavour.
  QCOMPARE(before.filter(QRegularExpression(QStringLiteral("^menu: Tools > "))),
           QStringList{QStringLiteral("menu: Tools > Convert to Flavour...")});
  QVERIFY(before.filter(QStringLiteral("plugin-library: ")).isEmpty());

  frame.FillPluginMenus(QStringLiteral(FENNIC_MODULE_DIR));
  const QStringList lines = CKorvaneApp::DescribeFrame(frame);
  // Captions lose their '&' marks and shortcut texts; submenus are followed.
  QVERIFY2(lines.contains(QStringLiteral("menu: Tools > Import From Clipboard > C++ string")), qPrintable(lines.join('\n')));
  QVERIFY(lines.contains(QStringLiteral("menu: Tools > Optimize Pattern > Group > Convert to capture group")));
  QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^menu: Tools > "))).size(), 18);
  QVERIFY(lines.contains(QStringLiteral("menu: File > Open...")));
  QVERIFY(lines.filter(QRegularExpression(QStringLiteral("^menu: .*(&|\\t)"))).isEmpty());
  const QString fennic = QFileInfo(QStringLiteral(FENNIC_MODULE_DIR "/fennic.so")).canonicalFilePath();
  QCOMPARE(lines.filter(QStringLiteral("plugin-library: ")), QStringList{QStringLiteral("plugin-library: ") + fennic});
  QCOMPARE(lines.last(), QStringLiteral("clips-file: ") + frame.Doc()->GetClips().Path());
}

void FrameTest::pluginFaultsAreReported() {
  QTemporaryDir dir;
  QVERIFY(QFile::copy(QStringLiteral(PM_THROWING_PATH), dir.filePath(QStringLiteral("pm_throwing.so"))));
  CMainFrame frame;
  QList<Box> boxes;
  RecordBoxes(frame, &boxes);
  frame.FillPluginMenus(dir.path());  // "Throws at load" throws here
  QVERIFY(boxes.isEmpty());
  QTRY_COMPARE(boxes.size(), 1);
  QCOMPARE(boxes[0].text, QStringLiteral("A command of the plugin pm_throwing.so failed while loading. It stays "
                                         "switched off until korvane is started again."));
  QCOMPARE(boxes[0].icon, int(IDocumentUi::ICON_WARNING));
  QMenu* tools = frame.TopMenu(IDS_MENU_TOOLS);
  frame.PrepareMenu(tools);  // "Throws at update" throws here
  QTRY_COMPARE(boxes.size(), 2);
  QCOMPARE(boxes[1].text, QStringLiteral("The command \"Throws at update\" of the plugin pm_throwing.so failed. It "
                                         "stays switched off until korvane is started again."));
  // A faulted command is not asked again, so there is no second message for it.
  frame.PrepareMenu(tools);
  QTest::qWait(50);
  QCOMPARE(boxes.size(), 2);
  frame.FillPluginMenus(QString());  // unload ("Throws at update" throws at unload too)
  QTest::qWait(50);
  QCOMPARE(boxes.size(), 2);  // its command is gone: nothing to name
}

void FrameTest::contextMenus_data() {
  QTest::addColumn<int>("templateId");
  QTest::addColumn<QList<int>>("commands");
  const int sub = -1;
  const QList<int> edits = {ID_EDIT_UNDO, ID_EDIT_REDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_CLEAR};
  const QList<int> tail = {ID_EDIT_OPEN_TEXT, ID_EDIT_SAVE_CONTENT, ID_EDIT_FIND, ID_EDIT_REPLACE, ID_EDIT_SELECT_ALL};
  QTest::newRow("pattern 145") << 145 << (edits + QList<int>{sub, sub, sub} + tail);
  QTest::newRow("text 144") << 144 << (QList<int>{ID_MATCH_SET_START_POINT} + edits + QList<int>{sub, sub} + tail);
  QTest::newRow("replace 135") << 135 << (edits + QList<int>{sub, sub} + tail);
  QTest::newRow("tree 136") << 136 << QList<int>{ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_CLEAR, sub};
  QTest::newRow("split 138") << 138 << QList<int>{ID_EDIT_SAVE_CONTENT};
  QTest::newRow("clip 146") << 146 << QList<int>{ID_CLIP_SET_NAME, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_CLEAR};
  QTest::newRow("snapshot 151") << 151
                                << QList<int>{ID_ADD_SNAPSHOT, ID_SNAPSHOT_SWITCH, ID_SNAPSHOT_SET_NAME,
                                              ID_SNAPSHOT_DELETE, ID_SNAPSHOT_DELETE_TREE};
  QTest::newRow("tests 152") << 152
                             << QList<int>{ID_TEST_ADD, ID_TEST_DUPLICATE, ID_TEST_RENAME, ID_TEST_DELETE,
                                           ID_TEST_MOVE_UP, ID_TEST_MOVE_DOWN, ID_TEST_LOAD, ID_TEST_ACCEPT,
                                           ID_TEST_IMPORT_FILE, ID_TEST_IMPORT_CLIPS, ID_TEST_EXPORT_CSV,
                                           ID_TEST_RUN_SNAPSHOTS};
}

void FrameTest::contextMenus() {
  QFETCH(int, templateId);
  QFETCH(QList<int>, commands);
  CMainFrame frame;
  QMenu* menu = frame.ContextMenu(templateId);
  QVERIFY(menu);
  QCOMPARE(CommandsOf(menu), commands);
  for (QAction* a : CMenuResources::AllActions(menu))
    if (CMenuResources::CommandOf(a)) QVERIFY(!a->text().isEmpty());
}

void FrameTest::droppedFiles() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  auto write = [&](const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  };
  write(QStringLiteral("notes.txt"), "some text");
  write(QStringLiteral("other.doc"), "x");
  write(QStringLiteral("WORK.RWS"), WorkspaceWithPattern(QStringLiteral("(a)b+")));
  CMainFrame frame;
  QList<Box> boxes;
  RecordBoxes(frame, &boxes);
  frame.OpenDroppedFiles({dir.filePath(QStringLiteral("notes.txt")), dir.filePath(QStringLiteral("other.doc"))});
  QVERIFY(frame.Doc()->GetPathName().isEmpty());
  QVERIFY(boxes.isEmpty());
  frame.OpenDroppedFiles({dir.filePath(QStringLiteral("notes.txt")), dir.filePath(QStringLiteral("WORK.RWS"))});
  QCOMPARE(QFileInfo(frame.Doc()->GetPathName()).fileName(), QStringLiteral("WORK.RWS"));
  QCOMPARE(PatternOf(frame.Doc()), QStringLiteral("(a)b+"));
  QVERIFY(boxes.isEmpty());
  QCOMPARE(frame.RecentFiles().Files().value(0), QFileInfo(dir.filePath(QStringLiteral("WORK.RWS"))).absoluteFilePath());
}

void FrameTest::waitDialogShowsAndBreaks() {
  CMainFrame frame;
  frame.show();
  QList<Box> boxes;
  RecordBoxes(frame, &boxes);
  // Two ways to take each 'a' and no 'c' or 'd': 2^60 attempts, far longer than the 500 ms before
  // the dialog shows (and no required character for the direct search to look for first).
  SetTexts(frame.Doc(), QStringLiteral("(?:a|a)*?(?:c|d)"), QString(60, QLatin1Char('a')));
  QString title;
  bool sawBreak = false;
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    CProgressDialog* dialog = frame.WaitDialog();
    if (!dialog || !dialog->isVisible()) return;
    title = dialog->windowTitle();
    auto* button = dialog->findChild<QAbstractButton*>(QStringLiteral("break"));
    if (!button) return;
    sawBreak = button->text() == QStringLiteral("Break");
    poll.stop();
    button->click();
  });
  poll.start();
  frame.CommandAction(ID_MATCH_FIND_ALL)->trigger();
  poll.stop();
  QCOMPARE(title, QStringLiteral("Please wait ..."));
  QVERIFY(sawBreak);
  QVERIFY(!frame.Doc()->IsJobActive());
  QCOMPARE(boxes.size(), 1);
  QVERIFY2(boxes[0].text.startsWith(QStringLiteral("Find and match aborted, elapsed time: ")), qPrintable(boxes[0].text));
  QVERIFY(!frame.WaitDialog());
}

// Esc and the window's close button on the wait dialog break the search off, as "Break" does;
// the dialog starts from zero for each search.
void FrameTest::waitDialogClosesAsBreak_data() {
  QTest::addColumn<bool>("escape");
  QTest::newRow("Esc") << true;
  QTest::newRow("close button") << false;
}

void FrameTest::waitDialogClosesAsBreak() {
  QFETCH(bool, escape);
  CMainFrame frame;
  frame.show();
  QList<Box> boxes;
  RecordBoxes(frame, &boxes);
  const QString subject(60, QLatin1Char('a'));
  // A search that ran to the end of the text first: its bar position must not carry over.
  SetTexts(frame.Doc(), QStringLiteral("a"), subject);
  frame.CommandAction(ID_MATCH_FIND_ALL)->trigger();
  QCOMPARE(frame.Doc()->RealMatchCount(), 60);
  boxes.clear();
  SetTexts(frame.Doc(), QStringLiteral("(?:a|a)*?(?:c|d)"), subject);  // 2^60 attempts

  QList<CProgressDialog*> seen;
  int openedAt = -1, openedWith = -1;
  bool stillRunning = false;
  QElapsedTimer sinceClosed;
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    CProgressDialog* dialog = frame.WaitDialog();
    if (dialog && dialog->isVisible() && !seen.contains(dialog)) {
      seen.append(dialog);
      if (seen.size() == 1) {
        openedAt = dialog->ShownPosition();
        openedWith = dialog->ShownCount();
        if (escape) QTest::keyClick(dialog, Qt::Key_Escape);
        else dialog->close();
        sinceClosed.start();
        return;
      }
    }
    // Without a Break the search would go on for ever: end it, and fail.
    if (sinceClosed.isValid() && frame.Doc()->IsJobActive() && (seen.size() > 1 || sinceClosed.elapsed() > 5000)) {
      stillRunning = true;
      frame.Doc()->WaitDialogBreak();
      if (dialog && dialog->isVisible()) dialog->CloseForJob();
    }
  });
  poll.start();
  frame.CommandAction(ID_MATCH_FIND_ALL)->trigger();
  poll.stop();
  QCOMPARE(openedAt, 0);
  QCOMPARE(openedWith, 0);
  QVERIFY(!stillRunning);
  QCOMPARE(seen.size(), 1);
  QVERIFY(!frame.Doc()->IsJobActive());
  QCOMPARE(boxes.size(), 1);
  QVERIFY2(boxes[0].text.startsWith(QStringLiteral("Find and match aborted, elapsed time: ")), qPrintable(boxes[0].text));
  QVERIFY(!frame.WaitDialog());
}

// A command while the document waits on a search does not run: F3 would run a second search
// inside the first and record its match twice; Step would leave it paused; an option or a
// plugin's rewrite would reset the document under it. (0: the standard plugin's "Convert to
// capture group" from the Tools menu, on the pattern's non-capture group.)
void FrameTest::nothingStartsInsideTheWait_data() {
  QTest::addColumn<int>("command");
  QTest::newRow("F3") << int(ID_MATCH_FIND);
  QTest::newRow("Step") << int(ID_MATCH_STEP);
  QTest::newRow("option") << int(ID_OPTION_IGNORECASE);
  QTest::newRow("plugin") << 0;
}

void FrameTest::nothingStartsInsideTheWait() {
  QFETCH(int, command);
  CMainFrame frame;
  frame.show();
  QList<Box> boxes;
  RecordBoxes(frame, &boxes);
  QAction* pluginItem = nullptr;
  if (command == 0) {
    frame.FillPluginMenus(QStringLiteral(FENNIC_MODULE_DIR));
    QMenu* optimize = frame.TopMenu(IDS_MENU_TOOLS)->findChild<QMenu*>(QLatin1String(CMenuResources::kPluginMenuOptimize));
    QVERIFY(optimize);
    for (QAction* a : CMenuResources::AllActions(optimize))
      if (a->text() == QStringLiteral("Convert to capture group")) pluginItem = a;
    QVERIFY(pluginItem);
  }
  // A search that ends by itself with one match (0-1) well after the 500 ms before the wait
  // dialog shows: the reluctant part fails in 2^n ways first. n is found by trying, once.
  const QString pattern = QStringLiteral("(?:a|a)*?c|a");
  static int n = 14;
  static bool calibrated = false;
  while (!calibrated) {
    SetTexts(frame.Doc(), pattern, QString(n, QLatin1Char('a')));
    frame.CommandAction(ID_MATCH_FIND)->trigger();
    const double took = frame.Doc()->GetLastResult()->elapsed;
    QCOMPARE(frame.Doc()->RealMatchCount(), 1);
    calibrated = took >= 1.2 || n >= 40;
    if (!calibrated) n += took > 0.001 ? std::max(1, int(std::ceil(std::log2(1.5 / took)))) : 8;
  }
  const int flags = frame.Doc()->GetFlags();
  QList<CProgressDialog*> seen;
  bool tried = false;
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    CProgressDialog* dialog = frame.WaitDialog();
    if (!dialog || !dialog->isVisible()) return;
    if (!seen.contains(dialog)) seen.append(dialog);
    if (!tried) {
      tried = true;
      if (pluginItem) pluginItem->trigger();
      else frame.CommandAction(command)->trigger();
    }
    // A dialog left over by a search run inside the wait would never be closed: close it.
    if (!frame.Doc()->IsJobActive()) dialog->CloseForJob();
  });
  // Should the machine have sped up since n was found, so that the search ended before the
  // dialog showed, it is tried again on a longer text.
  for (int attempt = 0; attempt < 4 && !tried; ++attempt) {
    SetTexts(frame.Doc(), pattern, QString(n, QLatin1Char('a')));
    frame.Doc()->SelectPatternRange(0, 7);  // "(?:a|a)"
    QCOMPARE(frame.Doc()->GetResultCount(), 0);
    seen.clear();
    poll.start();
    frame.CommandAction(ID_MATCH_FIND)->trigger();
    poll.stop();
    if (!tried) n += 2;
  }
  QVERIFY(tried);
  const std::vector<MatchHandle> results = frame.Doc()->GetResults();
  QCOMPARE(int(results.size()), 1);
  QCOMPARE(frame.Doc()->LastResultSequence(), 0);
  QCOMPARE(results[0]->result.GetStart(), 0);
  QCOMPARE(results[0]->result.GetEnd(), 1);
  QCOMPARE(frame.ResultText(), QStringLiteral("1 of 1 results"));
  QCOMPARE(seen.size(), 1);
  QVERIFY(!frame.Doc()->IsJobActive());
  QCOMPARE(frame.Doc()->GetFlags(), flags);
  QCOMPARE(PatternOf(frame.Doc()), pattern);
  QVERIFY(boxes.isEmpty());
  // Outside a wait the same plugin command does rewrite the pattern.
  if (pluginItem) {
    frame.PrepareMenu(frame.TopMenu(IDS_MENU_TOOLS));
    pluginItem->trigger();
    QCOMPARE(PatternOf(frame.Doc()), QStringLiteral("(a|a)*?c|a"));
  }
}

// File > Exit closes the window as its close button does, with the question to save first.
void FrameTest::exitThroughMenu_data() {
  QTest::addColumn<bool>("modified");
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("closes");
  QTest::addColumn<bool>("saves");
  QTest::newRow("unmodified: no question") << false << 0 << true << false;
  QTest::newRow("Yes saves") << true << int(IDocumentUi::ANSWER_YES) << true << true;
  QTest::newRow("No discards") << true << int(IDocumentUi::ANSWER_NO) << true << false;
  QTest::newRow("Cancel keeps the window") << true << int(IDocumentUi::ANSWER_CANCEL) << false << false;
}

void FrameTest::exitThroughMenu() {
  QFETCH(bool, modified);
  QFETCH(int, answer);
  QFETCH(bool, closes);
  QFETCH(bool, saves);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("exit.rws"));
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  QList<Box> boxes;
  RecordBoxes(frame, &boxes, answer);
  SetTexts(frame.Doc(), QStringLiteral("ex(it)"), QStringLiteral("exit"));
  frame.Doc()->SetPathName(path);
  frame.Doc()->SetModified(modified);

  QAction* exit = nullptr;
  for (QAction* a : frame.TopMenu(IDS_MENU_FILE)->actions())
    if (CMenuResources::CommandOf(a) == ID_APP_EXIT) exit = a;
  QVERIFY(exit);
  QCOMPARE(exit->text(), QStringLiteral("E&xit"));
  frame.PrepareMenu(frame.TopMenu(IDS_MENU_FILE));
  QVERIFY(exit->isEnabled());
  exit->trigger();
  if (closes) {
    QTRY_VERIFY_WITH_TIMEOUT(!frame.isVisible(), 20000);
  } else {
    QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 20000);
    QCoreApplication::processEvents();
    QVERIFY(frame.isVisible());
    QVERIFY(frame.Doc()->IsModified());
  }
  QCOMPARE(boxes.size(), modified ? 1 : 0);
  if (modified) {
    QCOMPARE(boxes[0].text, QStringLiteral("Save changes to exit.rws?"));
  }
  QCOMPARE(QFileInfo::exists(path), saves);
  if (saves) {
    CKorvaneDoc reread(nullptr);
    QVERIFY(reread.OnOpenDocument(path));
    QCOMPARE(PatternOf(&reread), QStringLiteral("ex(it)"));
  }
}

void FrameTest::unsavedClipsAskBeforeClosing_data() {
  QTest::addColumn<bool>("unreadable");  // else: the clips file cannot be written
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("closes");
  QTest::newRow("write fails, OK closes") << false << int(IDocumentUi::ANSWER_OK) << true;
  QTest::newRow("write fails, Cancel keeps the window") << false << int(IDocumentUi::ANSWER_CANCEL) << false;
  QTest::newRow("kept in memory, OK closes") << true << int(IDocumentUi::ANSWER_OK) << true;
  QTest::newRow("kept in memory, Cancel keeps the window") << true << int(IDocumentUi::ANSWER_CANCEL) << false;
}

void FrameTest::unsavedClipsAskBeforeClosing() {
  QFETCH(bool, unreadable);
  QFETCH(int, answer);
  QFETCH(bool, closes);
  QTemporaryDir dir;
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  CTextClips& clips = frame.Doc()->GetClips();
  QString path;
  if (unreadable) {
    // An odd number of bytes cannot be UTF-16, and there is no fallback file.
    path = dir.filePath(QStringLiteral("odd.clips"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("abc");
    file.close();
  } else {
    path = dir.filePath(QStringLiteral("no-such-folder/x.clips"));  // nothing can be written there
  }
  clips.SetLocation(path, nullptr, QString());
  clips.LoadClips();
  clips.AddClip({'c', 'l', 'i', 'p'}, {});
  QVERIFY(clips.HasUnsavedChanges());
  (void)clips.TakeNotice();

  QList<Box> boxes;
  RecordBoxes(frame, &boxes, answer);
  frame.close();
  QCoreApplication::processEvents();
  QCOMPARE(boxes.size(), 1);
  if (unreadable) {
    QVERIFY2(boxes[0].text.contains(QStringLiteral("only in memory")), qPrintable(boxes[0].text));
  } else {
    QVERIFY2(boxes[0].text.contains(QDir::toNativeSeparators(path)), qPrintable(boxes[0].text));
  }
  QCOMPARE(frame.isVisible(), !closes);
  QCOMPARE(clips.Count(), 1);  // whatever the answer, the window's clips are still there
  if (unreadable) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("abc"));  // never overwritten
  }
  RecordBoxes(frame, &boxes, IDocumentUi::ANSWER_OK);
  frame.close();  // leave no window behind for the next test
}

void FrameTest::missingCommandLineFile() {
  CMainFrame frame;
  QList<Box> boxes;
  RecordBoxes(frame, &boxes);
  SetTexts(frame.Doc(), QStringLiteral("abc"), QStringLiteral("abc"));
  frame.Doc()->SetModified(false);
  const QString missing = QDir::temp().filePath(QStringLiteral("korvane-no-such-file-%1.rws").arg(QCoreApplication::applicationPid()));
  QVERIFY(!frame.OpenDocumentFile(missing));
  QCOMPARE(boxes.size(), 1);
  QVERIFY2(boxes[0].text.contains(missing), qPrintable(boxes[0].text));
  QVERIFY2(boxes[0].text.contains(QStringLiteral("The file does not exist.")), qPrintable(boxes[0].text));
  // What the window held stays (open_file_test.cpp has the whole story).
  QCOMPARE(PatternOf(frame.Doc()), QStringLiteral("abc"));
  QVERIFY(frame.Doc()->GetPathName().isEmpty());
  QCOMPARE(CKorvaneApp::CommandLineFile({QStringLiteral("korvane"), QStringLiteral("-style"), missing}), missing);
  QCOMPARE(CKorvaneApp::CommandLineFile({QStringLiteral("korvane")}), QString());
}

void FrameTest::garbageCommandLineFile() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("broken.rws"));
  {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("\x02\x00\x00\x00garbage that is not a workspace at all \xff\xff\xff\x7f", 48);
  }
  CMainFrame frame;
  QList<Box> boxes;
  RecordBoxes(frame, &boxes);
  QVERIFY(!frame.OpenDocumentFile(path));
  QCOMPARE(boxes.size(), 1);
  QVERIFY2(boxes[0].text.contains(QStringLiteral("It is not a regex workspace file.")), qPrintable(boxes[0].text));
  QVERIFY(frame.Doc()->GetPattern().empty());
  QVERIFY(frame.Doc()->GetPathName().isEmpty());
  QVERIFY(!frame.Doc()->IsModified());
}

void FrameTest::editCommandsGoToActiveView() {
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  auto* text = qobject_cast<QPlainTextEdit*>(frame.WorkPane()->View(CKorvaneBack::SLOT_TEXT));
  auto* pattern = qobject_cast<QPlainTextEdit*>(frame.PatternEditView());
  QVERIFY(text && pattern);
  text->setFocus();
  QTest::keyClicks(text, QStringLiteral("hello"));
  QTRY_COMPARE(frame.ActiveView(), static_cast<QWidget*>(text));
  frame.UpdateCommandUi();
  QVERIFY(frame.CommandAction(ID_EDIT_UNDO)->isEnabled());
  QVERIFY(!frame.CommandAction(ID_EDIT_COPY)->isEnabled());  // nothing selected yet
  frame.OnCommand(ID_EDIT_SELECT_ALL);
  QCOMPARE(text->textCursor().selectedText(), QStringLiteral("hello"));
  QVERIFY(pattern->textCursor().selectedText().isEmpty());
  frame.UpdateCommandUi();
  QVERIFY(frame.CommandAction(ID_EDIT_COPY)->isEnabled());
  // The menu's selection buffer holds the active box's selection.
  frame.PrepareMenu(frame.TopMenu(IDS_MENU_TOOLS));
  QCOMPARE(frame.SelectionBuffer(), U16(QStringLiteral("hello")));
  frame.OnCommand(ID_EDIT_CLEAR);
  QVERIFY(text->toPlainText().isEmpty());
  // Set Start Point belongs to the text box even while another view is active.
  frame.SetActiveView(pattern);
  QCOMPARE(frame.QueryCommand(ID_MATCH_SET_START_POINT).enabled,
           frame.WorkPane()->View(CKorvaneBack::SLOT_TEXT) != nullptr &&
               qobject_cast<CRichEdit2WView*>(text) &&
               qobject_cast<CRichEdit2WView*>(text)->IsCommandEnabled(ID_MATCH_SET_START_POINT));
}

void FrameTest::paneSwitching() {
  CMainFrame frame;
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  frame.SetActiveView(frame.PatternEditView());
  frame.OnCommand(ID_NEXT_PANE);
  QCOMPARE(frame.ActiveView(), frame.WorkPane()->View(CKorvaneBack::SLOT_TEXT));
  frame.OnCommand(ID_PREV_PANE);
  QCOMPARE(frame.ActiveView(), frame.PatternEditView());
  frame.OnCommand(ID_PREV_PANE);  // wraps round to the last visible bar's view
  QVERIFY(frame.ActiveView() != frame.PatternEditView());
  QVERIFY(frame.ActiveView() != frame.WorkPane()->View(CKorvaneBack::SLOT_TEXT));
}

int main(int argc, char** argv) { return RunWithPrivateSettings<FrameTest>(argc, argv, "frame-test"); }

#include "frame_test.moc"
