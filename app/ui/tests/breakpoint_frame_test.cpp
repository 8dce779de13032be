// Breakpoints and the run-to commands in the real frame, offscreen: the menu items with their
// keys and tool tips, F9 on the element at the caret through the menu action, the marks in the
// pattern box and the structure tree, and a traced search stopping where they say.
#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include "app/document/debugger/breakpoints.h"
#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "app/document/files/text_clips.h"
#include "app/ui/frame/breakpoint_condition_dialog.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/regex_tree_view.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/shared/menu_resources.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "platform/shared_counter.h"
#include "stringtable.h"
#include "app/ui/tests/private_settings_main.h"

namespace {

void SetTexts(CKorvaneDoc* doc, const QString& pattern, const QString& subject) {
  if (doc->IsLocateFailPoint()) doc->OnCommand(ID_MATCH_LOCATE_FAIL_POINT);
  std::vector<unsigned short> p, t;
  for (QChar c : pattern) p.push_back(c.unicode());
  for (QChar c : subject) t.push_back(c.unicode());
  doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
  doc->SetSubjectText(t.data(), static_cast<int>(t.size()));
}

// The elements of the tree nodes whose captions carry the breakpoint mark (each node keeps its
// element in the first user role after Qt::UserRole).
QList<const HostElement*> MarkedNodes(QTreeWidget* tree) {
  QList<const HostElement*> marked;
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    if ((*it)->text(0).startsWith(QChar(0x25CF)))
      marked << reinterpret_cast<const HostElement*>((*it)->data(0, Qt::UserRole + 1).value<quintptr>());
  return marked;
}

void Trigger(CMainFrame& frame, int id) {
  frame.UpdateCommandUi();
  QAction* a = frame.CommandAction(id);
  QVERIFY(a);
  QVERIFY2(a->isEnabled(), qPrintable(QString::number(id)));
  a->trigger();
}

}  // namespace

class BreakpointFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    CProfile profile;
    profile.Settings().clear();
    profile.Flush();
  }

  void commandsAreInTheMatchMenuWithKeysAndTips_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("tip");
    QTest::newRow("toggle") << ID_MATCH_TOGGLE_BREAKPOINT << "Toggle &Breakpoint\tF9"
                            << "F9" << "Toggle breakpoint";
    QTest::newRow("failure") << ID_MATCH_RUN_TO_FAILURE << "Run to &Failure\tCtrl+F9"
                             << "Ctrl+F9" << "Run to failure";
    QTest::newRow("backtrack") << ID_MATCH_RUN_TO_BACKTRACK << "Run to Bac&ktrack\tCtrl+Shift+F9"
                               << "Ctrl+Shift+F9" << "Run to backtrack";
    QTest::newRow("next start") << ID_MATCH_RUN_TO_NEXT_START << "Run to &Next Start\tCtrl+F10"
                                << "Ctrl+F10" << "Run to next start";
    QTest::newRow("attempt end") << ID_MATCH_RUN_TO_ATTEMPT_END << "Run to &End of Attempt\tCtrl+Shift+F10"
                                 << "Ctrl+Shift+F10" << "Run to end of attempt";
    QTest::newRow("condition") << ID_MATCH_BREAKPOINT_CONDITION << "Breakpoint &Condition...\tShift+F9"
                               << "Shift+F9" << "Breakpoint condition";
  }

  void commandsAreInTheMatchMenuWithKeysAndTips() {
    QFETCH(int, id);
    QFETCH(QString, caption);
    QFETCH(QString, key);
    QFETCH(QString, tip);
    CMainFrame frame;
    QAction* a = frame.CommandAction(id);
    QVERIFY(a);
    QVERIFY(frame.TopMenu(IDS_MENU_MATCH)->actions().contains(a));
    QCOMPARE(a->text(), caption);
    QCOMPARE(a->toolTip(), tip);
    QVERIFY(!a->statusTip().isEmpty());
    QVERIFY(!a->shortcuts().isEmpty());
    QCOMPARE(a->shortcuts().first(), QKeySequence(key, QKeySequence::PortableText));
    // The other language has its own texts for each.
    CStringTable::SetCurrent(CStringTable::kSimplifiedChinese);
    const QString other = CStringTable::Current().GetToolTip(id);
    CStringTable::SetCurrent(CStringTable::kEnglish);
    QVERIFY(!other.isEmpty());
    QVERIFY(other != tip);
  }

  void toggleMarksAndStopsThroughTheMenu() {
    CMainFrame frame;
    // "No match" at the end is answered at once.
    frame.messageBoxHook = [](const QString&, const QString&, int, int) { return int(IDocumentUi::ANSWER_OK); };
    CKorvaneDoc* doc = frame.Doc();
    SetTexts(doc, QStringLiteral("(a|b)*c"), QStringLiteral("abx"));
    doc->Notify(nullptr, ~0);
    auto* pattern = frame.findChild<CRegexEditView*>();
    auto* tree = frame.findChild<CRegexTreeView*>();
    QVERIFY(pattern);
    QVERIFY(tree);
    QVERIFY(MarkedNodes(tree).isEmpty());

    doc->SelectPatternRange(6, 7);  // the caret on c
    Trigger(frame, ID_MATCH_TOGGLE_BREAKPOINT);
    QVERIFY(doc->Debugger().HasBreakpoint(6, 7));
    QCOMPARE(int(pattern->StyleAt(6).underline), int(PatternCharStyle::UNDER_BREAK));
    QCOMPARE(int(pattern->StyleAt(5).underline), int(PatternCharStyle::UNDER_NONE));
    QCOMPARE(MarkedNodes(tree).size(), 1);
    QCOMPARE(MarkedNodes(tree).first(), doc->GetCurrentElement());
    QCOMPARE(doc->GetCurrentElement()->m_nStart, 6);

    // F3 in Trace mode stops at c's first entry: at 2, after the loop took "ab".
    Trigger(frame, ID_MODE_TRACE);
    Trigger(frame, ID_MATCH_FIND);
    QVERIFY(doc->IsPaused());
    QCOMPARE(doc->GetTraceStep().element->m_nStart, 6);
    QCOMPARE(doc->GetTraceStep().elementStart, 2);
    // Run to the end of the attempt: c's breakpoint comes first, at 1 (the loop gave "b" back).
    Trigger(frame, ID_MATCH_RUN_TO_ATTEMPT_END);
    QVERIFY(doc->IsPaused());
    QCOMPARE(doc->GetTraceStep().element->m_nStart, 6);
    QCOMPARE(doc->GetTraceStep().elementStart, 1);

    // Cleared while paused: the marks go.
    doc->SelectPatternRange(6, 7);
    Trigger(frame, ID_MATCH_TOGGLE_BREAKPOINT);
    QVERIFY(!doc->Debugger().HasBreakpoint(6, 7));
    QVERIFY(MarkedNodes(tree).isEmpty());
    QCOMPARE(int(pattern->StyleAt(6).underline), int(PatternCharStyle::UNDER_NONE));
    // Now the attempt from 0 runs to its end (a failure), and the next start is 1.
    Trigger(frame, ID_MATCH_RUN_TO_ATTEMPT_END);
    QVERIFY(doc->IsPaused());
    QCOMPARE(doc->GetTraceStep().element->m_nStart, 0);
    QCOMPARE(doc->GetTraceStep().event, int(TRACE_EXIT));
    QCOMPARE(doc->GetTraceStep().outcome, 0);
    QCOMPARE(doc->GetTraceStep().attemptStart, 0);
    Trigger(frame, ID_MATCH_RUN_TO_NEXT_START);
    QVERIFY(doc->IsPaused());
    QCOMPARE(doc->GetTraceStep().element->m_nStart, 0);
    QCOMPARE(doc->GetTraceStep().event, int(TRACE_ENTER));
    QCOMPARE(doc->GetTraceStep().elementStart, 1);
    Trigger(frame, ID_MATCH_FIND);
    QTRY_VERIFY_WITH_TIMEOUT(!doc->IsJobActive(), 20000);
  }

  // The condition command edits the breakpoint on the current element only; the search then
  // stops where the condition says. (a|b)*c on "abx" enters c at 2, 1 and 0 from start 0.
  void conditionThroughTheMenu() {
    CMainFrame frame;
    frame.messageBoxHook = [](const QString&, const QString&, int, int) { return int(IDocumentUi::ANSWER_OK); };
    CKorvaneDoc* doc = frame.Doc();
    SetTexts(doc, QStringLiteral("(a|b)*c"), QStringLiteral("abx"));
    doc->Notify(nullptr, ~0);
    doc->SelectPatternRange(6, 7);
    frame.UpdateCommandUi();
    QAction* condition = frame.CommandAction(ID_MATCH_BREAKPOINT_CONDITION);
    QVERIFY(condition);
    QVERIFY2(!condition->isEnabled(), "no breakpoint on c yet");
    Trigger(frame, ID_MATCH_TOGGLE_BREAKPOINT);

    struct Row {
      bool accept;
      int condition;
      int value;
      int storedCondition;
      int storedValue;
    };
    const Row rows[] = {
        {true, BREAK_AT_POSITION, 1, BREAK_AT_POSITION, 1},
        {false, BREAK_ON_HIT, 3, BREAK_AT_POSITION, 1},  // cancelled: unchanged
        {true, BREAK_ON_HIT, 3, BREAK_ON_HIT, 3},
        {true, BREAK_ALWAYS, 7, BREAK_ALWAYS, 0},        // "every time" keeps no value
    };
    for (const Row& r : rows) {
      int shownCondition = -1;
      frame.conditionDialogHook = [&](CBreakpointConditionDialog* d) {
        shownCondition = d->Condition();
        d->Choose(r.condition, r.value);
        return r.accept;
      };
      Trigger(frame, ID_MATCH_BREAKPOINT_CONDITION);
      QVERIFY(shownCondition >= 0);
      QCOMPARE(doc->Debugger().Stops().List().size(), size_t(1));
      QCOMPARE(doc->Debugger().Stops().List()[0].condition, r.storedCondition);
      QCOMPARE(doc->Debugger().Stops().List()[0].value, r.storedValue);
    }
    // The dialog opens on the condition in force.
    frame.conditionDialogHook = [](CBreakpointConditionDialog* d) {
      d->Choose(BREAK_AT_POSITION, 1);
      return true;
    };
    Trigger(frame, ID_MATCH_BREAKPOINT_CONDITION);
    int opened = -1;
    frame.conditionDialogHook = [&](CBreakpointConditionDialog* d) {
      opened = d->Condition() * 100 + d->Value();
      return false;
    };
    Trigger(frame, ID_MATCH_BREAKPOINT_CONDITION);
    QCOMPARE(opened, BREAK_AT_POSITION * 100 + 1);

    // Only at position 1: the first stop is c entered at 1, not at 2.
    Trigger(frame, ID_MODE_TRACE);
    Trigger(frame, ID_MATCH_FIND);
    QVERIFY(doc->IsPaused());
    QCOMPARE(doc->GetTraceStep().element->m_nStart, 6);
    QCOMPARE(doc->GetTraceStep().elementStart, 1);
    Trigger(frame, ID_MATCH_RESET);
    QTRY_VERIFY_WITH_TIMEOUT(!doc->IsJobActive(), 20000);
  }
};

int main(int argc, char** argv) { return RunWithPrivateSettings<BreakpointFrameTest>(argc, argv, "breakpoint-frame-test"); }

#include "breakpoint_frame_test.moc"
