// The window at work, offscreen, driven through the frame's actions as a user reaches them:
// Trace mode's bars and the status bar's step while a search is paused, the run-to commands'
// target, the undo steps of typing and the redo key the menu shows, every mode in a small
// window, panes a View command brings forward and an opened workspace leaves alone, and the
// contrast of the active mode button and of the Tests pane's marks in the dark palette.
// Settings live in a temporary folder.
#include <QApplication>
#include <QDockWidget>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeWidgetItemIterator>
#include <QWindow>
#include <functional>

#include "app/document/debugger/debug_session.h"
#include "app/document/matching/step_counts.h"
#include "app/document/testing/test_eval.h"
#include "app/ui/editor/item_look.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/regex_group_list_view.h"
#include "app/ui/editor/regex_tree_view.h"
#include "app/ui/editor/rich_edit_view.h"
#include "app/ui/editor/view_colours.h"
#include "app/ui/frame/korvane_back.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/shared/menu_resources.h"
#include "app/ui/panes/test_cases/test_case_list.h"
#include "app/ui/panes/test_cases/test_case_pane.h"
#include "app/ui/panes/history/trace_history_pane.h"
#include "app/ui/frame/sizing_bar.h"
#include "korvane_ids.h"
#include "platform/profile.h"
#include "app/ui/tests/private_settings_main.h"

namespace {

std::vector<unsigned short> U16(const QString& s) {
  std::vector<unsigned short> v;
  for (QChar c : s) v.push_back(c.unicode());
  return v;
}

// The background fail-point check is switched off first: its search would race the test's.
void SetTexts(CKorvaneDoc* doc, const QString& pattern, const QString& subject) {
  if (doc->IsLocateFailPoint()) doc->OnCommand(ID_MATCH_LOCATE_FAIL_POINT);
  const auto p = U16(pattern);
  const auto t = U16(subject);
  doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
  doc->SetSubjectText(t.data(), static_cast<int>(t.size()));
  doc->Notify(nullptr, ~0);
}

// What the menu item or its shortcut does: the action, once the frame has brought it up to date.
void Trigger(CMainFrame& frame, int id) {
  frame.UpdateCommandUi();
  QAction* a = frame.CommandAction(id);
  QVERIFY(a);
  QVERIFY2(a->isEnabled(), qPrintable(QString::number(id)));
  a->trigger();
}

QString ElementText(const CKorvaneDoc* doc, const HostElement* e) {
  if (!e) return QString();
  const std::vector<unsigned short>& p = doc->GetPattern();
  return QString(reinterpret_cast<const QChar*>(p.data() + e->m_nStart), e->m_nEnd - e->m_nStart);
}

// A docking bar the user can see: shown, and not behind another bar's tab.
bool InFront(QDockWidget* bar) { return bar->isVisible() && !bar->visibleRegion().isEmpty(); }

// The colour most pixels of `area` have (opaque ones only).
QRgb CommonColour(const QImage& image, const QRect& area) {
  QHash<QRgb, int> counts;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (qAlpha(image.pixel(x, y)) == 255) ++counts[image.pixel(x, y)];
  QRgb best = 0;
  int most = -1;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it)
    if (it.value() > most) {
      best = it.key();
      most = it.value();
    }
  return best;
}

// The strongest contrast any pixel of `area` has against `against` (text drawn on a face).
double StrongestContrast(const QImage& image, const QRect& area, QRgb against) {
  double best = 1.0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      best = std::max(best, ContrastRatio(QColor::fromRgb(image.pixel(x, y)), QColor::fromRgb(against)));
  return best;
}

QByteArray WorkspaceOf(int mode, const QString& pattern, float patternShare, float textShare) {
  CKorvaneDoc doc(nullptr);
  doc.OnNewDocument();
  const auto p = U16(pattern);
  doc.SetPattern(p.data(), static_cast<int>(p.size()), true);
  doc.SetMode(mode);
  doc.SetShares(patternShare, textShare);
  const std::string bytes = doc.WorkspaceBytes();
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Restores the application's palette when a test that changed it ends.
struct PaletteScope {
  QPalette saved = QApplication::palette();
  ~PaletteScope() { QApplication::setPalette(saved); }
};

}  // namespace

class FrameWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    CProfile profile;
    profile.Settings().clear();
    profile.Flush();
    CStringTable::SetCurrent(CStringTable::kEnglish);
  }

  // ---- Trace mode's bars -----------------------------------------------------------------

  // Trace mode's built-in layout shows the Stack bar on the right, above Snapshot; the other
  // modes keep it hidden.
  void traceLayoutShowsTheStackBar() {
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CSizingControlBarG* stack = frame.SizingBar(BAR_STACK);
    QVERIFY(!stack->isVisible());
    Trigger(frame, ID_MODE_TRACE);
    QVERIFY(stack->isVisible());
    QCOMPARE(frame.dockWidgetArea(stack), Qt::RightDockWidgetArea);
    QVERIFY(!stack->isFloating());
    QVERIFY(stack->geometry().bottom() < frame.SizingBar(BAR_SNAPSHOT)->geometry().top());
    QVERIFY(qobject_cast<CTraceHistoryPane*>(stack->View()));
    Trigger(frame, ID_MODE_MATCH);
    QVERIFY(!stack->isVisible());
    Trigger(frame, ID_MODE_TRACE);
    QVERIFY(stack->isVisible());
    // Hidden by the user, Reset All Bars brings it back in Trace mode.
    Trigger(frame, ID_VIEW_STACK);
    QVERIFY(!stack->isVisible());
    Trigger(frame, ID_VIEW_RESET_BARS);
    QVERIFY(stack->isVisible());
  }

  // Every bar that holds something can be shown and hidden from the View menu: some item of
  // it toggles that bar, and only that bar's visibility changes.
  void viewMenuListsEveryBar() {
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QMenu* view = frame.TopMenu(IDS_MENU_VIEW);
    QVERIFY(view);
    QList<QWidget*> bars;
    for (QDockWidget* dock : frame.findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly))
      if (auto* bar = qobject_cast<CSizingControlBarG*>(dock); bar && bar->View()) bars << bar;  // the Message bar holds none
    for (QToolBar* tool : frame.findChildren<QToolBar*>(QString(), Qt::FindDirectChildrenOnly)) bars << tool;
    bars << frame.statusBar();
    QCOMPARE(bars.size(), 10 + 4 + 1);
    for (QWidget* bar : bars) {
      QAction* toggles = nullptr;
      for (QAction* a : view->actions()) {
        if (a->isSeparator() || !a->isVisible() || a->menu()) continue;
        const int id = CMenuResources::CommandOf(a);
        if (id == ID_VIEW_RESET_BARS) continue;
        const bool before = bar->isVisible();
        frame.PrepareMenu(view);
        a->trigger();
        const bool changed = bar->isVisible() != before;
        a->trigger();  // and back
        if (changed) {
          toggles = a;
          break;
        }
      }
      QVERIFY2(toggles, qPrintable(bar->objectName() + QLatin1Char(' ') + bar->windowTitle()));
    }
  }

  // While a traced search is paused, the status bar says which recorded step is shown, in
  // grouped digits, in either language; Step Back and the slider move it; nothing shows once
  // the search is reset.
  void statusBarShowsTheStep() {
    CMainFrame frame;
    frame.messageBoxHook = [](const QString&, const QString&, int, int) { return int(IDocumentUi::ANSWER_OK); };
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CKorvaneDoc* doc = frame.Doc();
    SetTexts(doc, QStringLiteral("a*b"), QString(700, QLatin1Char('a')));
    Trigger(frame, ID_MODE_TRACE);
    QVERIFY(frame.StepText().isEmpty());
    Trigger(frame, ID_MATCH_STEP);
    QVERIFY(doc->IsPaused());
    auto expected = [doc] {
      return CStringTable::FormatStrings(CStringTable::Str(IDS_STATUS_TRACE_STEP),
                                         {GroupedCount(doc->Debugger().ShownHistoryIndex() + 1), GroupedCount(doc->Debugger().History().End())});
    };
    QVERIFY(!frame.StepText().isEmpty());
    QCOMPARE(frame.StepText(), expected());
    // The first attempt's end lies more than a thousand events on: the counts are grouped.
    Trigger(frame, ID_MATCH_RUN_TO_ATTEMPT_END);
    QVERIFY(doc->IsPaused());
    const QRegularExpression grouped(QStringLiteral("^Step (\\d{1,3}(,\\d{3})+) of (\\d{1,3}(,\\d{3})+)$"));
    QRegularExpressionMatch m = grouped.match(frame.StepText());
    QVERIFY2(m.hasMatch(), qPrintable(frame.StepText()));
    QCOMPARE(m.captured(1), m.captured(3));  // at the live pause: the last recorded step
    QCOMPARE(frame.StepText(), expected());
    // Step Back shows an earlier step of the same count.
    Trigger(frame, ID_MATCH_STEP_BACK);
    m = grouped.match(frame.StepText());
    QVERIFY2(m.hasMatch(), qPrintable(frame.StepText()));
    QVERIFY(QString(m.captured(1)).remove(QLatin1Char(',')).toLongLong() <
            QString(m.captured(3)).remove(QLatin1Char(',')).toLongLong());
    QCOMPARE(frame.StepText(), expected());
    // The slider of the Stack bar: the pane follows at once.
    auto* history = qobject_cast<CTraceHistoryPane*>(frame.SizingBar(BAR_STACK)->View());
    QVERIFY(history);
    history->Slider()->setValue(history->Slider()->maximum() / 2);
    QCOMPARE(frame.StepText(), expected());
    // The other language.
    CStringTable::SetCurrent(CStringTable::kSimplifiedChinese);
    frame.UpdateCommandUi();
    const QString chinese = frame.StepText();
    CStringTable::SetCurrent(CStringTable::kEnglish);
    QVERIFY2(QRegularExpression(QStringLiteral("^第 \\d{1,3}(,\\d{3})* 步，共 \\d{1,3}(,\\d{3})+ 步$")).match(chinese).hasMatch(),
             qPrintable(chinese));
    Trigger(frame, ID_MATCH_RESET);
    QTRY_VERIFY_WITH_TIMEOUT(!doc->IsJobActive(), 20000);
    frame.UpdateCommandUi();
    QVERIFY(frame.StepText().isEmpty());
    QVERIFY(frame.findChild<QLabel*>(QStringLiteral("step-pane"))->isHidden());
  }

  // The group list shows the captures at the paused step in Trace mode only: another mode,
  // with the traced search still paused behind it, shows the results' captures (none yet).
  void groupListLeavesThePausedStepWithTraceMode() {
    CMainFrame frame;
    frame.messageBoxHook = [](const QString&, const QString&, int, int) { return int(IDocumentUi::ANSWER_OK); };
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CKorvaneDoc* doc = frame.Doc();
    SetTexts(doc, QStringLiteral("(a)+b"), QStringLiteral("xaab"));
    Trigger(frame, ID_MODE_TRACE);
    auto* groups = frame.findChild<CRegexGroupListView*>();
    QVERIFY(groups);
    auto cells = [groups] {
      QStringList out;
      for (int row = 0; row < groups->topLevelItemCount(); ++row) out << groups->topLevelItem(row)->text(2);
      return out.join(QLatin1Char('|'));
    };
    for (int i = 0; i < 6 && !cells().contains(QStringLiteral("open since")); ++i) Trigger(frame, ID_MATCH_STEP);
    QVERIFY(doc->IsPaused());
    QVERIFY2(cells().contains(QStringLiteral("open since")), qPrintable(cells()));
    Trigger(frame, ID_MODE_MATCH);
    QVERIFY(doc->IsJobActive());
    QVERIFY2(!cells().contains(QStringLiteral("open since")), qPrintable(cells()));
    Trigger(frame, ID_MODE_TRACE);
    QVERIFY2(cells().contains(QStringLiteral("open since")), qPrintable(cells()));
  }

  // ---- Run to Failure / Run to Backtrack -------------------------------------------------

  // The caret left at the end of the pattern box (on \.com) does not decide where Run to
  // Failure stops once a step is paused at \w: the paused element is the target, and the tool
  // tip names it. A tree selection made while paused wins, until the next step.
  void runToAimsAtThePausedElement() {
    CMainFrame frame;
    frame.messageBoxHook = [](const QString&, const QString&, int, int) { return int(IDocumentUi::ANSWER_OK); };
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CKorvaneDoc* doc = frame.Doc();
    SetTexts(doc, QStringLiteral("\\w+@\\w+\\.com"), QStringLiteral("mail bob@example.com"));
    Trigger(frame, ID_MODE_TRACE);
    auto* box = qobject_cast<CRegexEditView*>(frame.PatternEditView());
    QVERIFY(box);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_End);
    QCOMPARE(ElementText(doc, doc->GetCurrentElement()), QStringLiteral("\\.com"));

    Trigger(frame, ID_MATCH_STEP);
    QVERIFY(doc->IsPaused());
    const HostElement* paused = doc->GetTraceStep().element;
    QCOMPARE(ElementText(doc, paused), QStringLiteral("\\w"));
    QCOMPARE(doc->RunToTarget(), paused);
    frame.UpdateCommandUi();
    QCOMPARE(frame.CommandAction(ID_MATCH_RUN_TO_FAILURE)->toolTip(), QStringLiteral("Run to failure of “\\w”"));
    QCOMPARE(frame.CommandAction(ID_MATCH_RUN_TO_BACKTRACK)->toolTip(), QStringLiteral("Run to backtrack into “\\w”"));
    QCOMPARE(frame.CommandAction(ID_MATCH_RUN_TO_FAILURE)->statusTip(),
             QStringLiteral("Run the paused match until “\\w” fails"));

    Trigger(frame, ID_MATCH_RUN_TO_FAILURE);
    QVERIFY(doc->IsPaused());
    QCOMPARE(doc->GetTraceStep().element, paused);
    QCOMPARE(doc->GetTraceStep().event, int(TRACE_EXIT));
    QVERIFY(doc->GetTraceStep().outcome <= 0);
    QCOMPARE(doc->GetTraceStep().elementStart, 4);  // \w fails on the blank after "mail"

    // The user picks "@" in the structure tree while paused: that is the target now.
    auto* tree = frame.findChild<CRegexTreeView*>();
    QVERIFY(tree);
    QTreeWidgetItem* at = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
      if (ElementText(doc, CRegexTreeView::NodeElement(*it)) == QStringLiteral("@")) at = *it;
    QVERIFY(at);
    tree->scrollToItem(at);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(at).center());
    QCOMPARE(ElementText(doc, doc->RunToTarget()), QStringLiteral("@"));
    frame.UpdateCommandUi();
    QCOMPARE(frame.CommandAction(ID_MATCH_RUN_TO_FAILURE)->toolTip(), QStringLiteral("Run to failure of “@”"));
    Trigger(frame, ID_MATCH_RUN_TO_FAILURE);
    QVERIFY(doc->IsPaused());
    QCOMPARE(ElementText(doc, doc->GetTraceStep().element), QStringLiteral("@"));
    // A new pause: its element is the target again.
    Trigger(frame, ID_MATCH_STEP);
    QVERIFY(doc->IsPaused());
    QCOMPARE(doc->RunToTarget(), doc->GetTraceStep().element);
    Trigger(frame, ID_MATCH_RESET);
    QTRY_VERIFY_WITH_TIMEOUT(!doc->IsJobActive(), 20000);
    // With no search paused, the current element is the target, as before.
    QCOMPARE(doc->RunToTarget(), doc->GetCurrentElement());
  }

  // ---- Undo steps and the redo key -------------------------------------------------------

  // Every key the Edit menu shows beside an item works: the window has it as a shortcut of the
  // item, or it is a key every text box and list takes on every desktop.
  void editMenuKeysWork() {
    CMainFrame frame;
    const QList<QKeySequence> everywhere = {QKeySequence(QStringLiteral("Ctrl+A"))};
    int shown = 0;
    for (QAction* a : frame.TopMenu(IDS_MENU_EDIT)->actions()) {
      const QString key = a->text().section(QLatin1Char('\t'), 1);
      if (key.isEmpty()) continue;
      ++shown;
      const QKeySequence sequence(key, QKeySequence::PortableText);
      QVERIFY2(a->shortcuts().contains(sequence) || everywhere.contains(sequence), qPrintable(a->text()));
    }
    QVERIFY(shown >= 8);
  }

  // Ctrl+Y after Ctrl+Z in a text box puts the typing back. (Offscreen, the text box takes
  // Ctrl+Y itself, as it does on some desktops; editMenuKeysWork holds the window to the key.)
  void ctrlYRedoes() {
    CMainFrame frame;
    frame.show();
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    auto* box = qobject_cast<CRichEdit2WView*>(frame.WorkPane()->View(CKorvaneBack::SLOT_TEXT));
    QVERIFY(box);
    box->setFocus();
    QTRY_COMPARE(frame.ActiveView(), static_cast<QWidget*>(box));
    // Keys through the window, as the keyboard sends them: shortcuts included.
    QWindow* window = frame.windowHandle();
    for (char c : {'a', 'b', 'c'}) QTest::keyClick(window, c);
    QTRY_COMPARE(box->GetBoxText(), QStringLiteral("abc"));
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QTRY_COMPARE(box->GetBoxText(), QString());
    QTest::keyClick(window, Qt::Key_Y, Qt::ControlModifier);
    QTRY_COMPARE(box->GetBoxText(), QStringLiteral("abc"));
  }

  void undoStepRule_data() {
    QTest::addColumn<QChar>("before");
    QTest::addColumn<QChar>("typed");
    QTest::addColumn<int>("sinceMs");
    QTest::addColumn<bool>("starts");
    QTest::newRow("first key") << QChar() << QChar(u'a') << -1 << true;
    QTest::newRow("inside a word") << QChar(u'a') << QChar(u'b') << 100 << false;
    QTest::newRow("a word begins after a blank") << QChar(u' ') << QChar(u'b') << 100 << true;
    QTest::newRow("a word begins after punctuation") << QChar(u'\\') << QChar(u'w') << 100 << true;
    QTest::newRow("a word begins on a new line") << QChar(QChar::ParagraphSeparator) << QChar(u'x') << 100 << true;
    QTest::newRow("blank after a word stays with it") << QChar(u'a') << QChar(u' ') << 100 << false;
    QTest::newRow("digits and underscores are word characters") << QChar(u'_') << QChar(u'7') << 100 << false;
    QTest::newRow("letters of other scripts too") << QChar(u'中') << QChar(u'文') << 100 << false;
    QTest::newRow("after a pause") << QChar(u'a') << QChar(u'b') << CRichEdit2WView::kUndoPauseMs << true;
    QTest::newRow("just before the pause") << QChar(u'a') << QChar(u'b') << CRichEdit2WView::kUndoPauseMs - 1 << false;
  }

  void undoStepRule() {
    QFETCH(QChar, before);
    QFETCH(QChar, typed);
    QFETCH(int, sinceMs);
    QFETCH(bool, starts);
    QCOMPARE(CRichEdit2WView::StartsUndoStep(before, typed, sinceMs), starts);
  }

  // One Undo takes back the last word typed, or the last line, or what was typed after a
  // pause; never everything typed since the caret was put there.
  void undoTakesBackAWordAtATime() {
    CMainFrame frame;
    frame.show();
    frame.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    auto* box = qobject_cast<CRichEdit2WView*>(frame.WorkPane()->View(CKorvaneBack::SLOT_TEXT));
    QVERIFY(box);
    box->setFocus();
    QTRY_COMPARE(frame.ActiveView(), static_cast<QWidget*>(box));
    QTest::keyClicks(box, QStringLiteral("alpha beta gamma"));
    Trigger(frame, ID_EDIT_UNDO);
    QCOMPARE(box->GetBoxText(), QStringLiteral("alpha beta "));
    Trigger(frame, ID_EDIT_UNDO);
    QCOMPARE(box->GetBoxText(), QStringLiteral("alpha "));
    Trigger(frame, ID_EDIT_REDO);
    QCOMPARE(box->GetBoxText(), QStringLiteral("alpha beta "));
    Trigger(frame, ID_EDIT_UNDO);
    Trigger(frame, ID_EDIT_UNDO);
    QCOMPARE(box->GetBoxText(), QString());

    // Lines: the last one goes first.
    QTest::keyClicks(box, QStringLiteral("one"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, QStringLiteral("two"));
    Trigger(frame, ID_EDIT_UNDO);
    QCOMPARE(box->GetBoxText(), QStringLiteral("one\n"));
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->GetBoxText(), QString());

    // A pause ends a step even inside a word (a slow machine may add breaks, never remove them).
    QTest::keyClicks(box, QStringLiteral("abc"));
    QTest::qWait(CRichEdit2WView::kUndoPauseMs + 300);
    QTest::keyClicks(box, QStringLiteral("def"));
    QCOMPARE(box->GetBoxText(), QStringLiteral("abcdef"));
    Trigger(frame, ID_EDIT_UNDO);
    const QString left = box->GetBoxText();
    QVERIFY2(left.startsWith(QStringLiteral("abc")) && left.size() < 6, qPrintable(left));
  }

  // ---- Small windows ---------------------------------------------------------------------

  void smallWindow_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("pane");  // a View command that brings a bottom pane forward, or 0
    for (int mode : {ID_MODE_MATCH, ID_MODE_REPLACE, ID_MODE_SPLIT, ID_MODE_TRACE, ID_MODE_OPTIMIZE})
      QTest::addRow("mode %d", mode) << mode << 0;
    for (int pane : {ID_VIEW_EXPLANATION, ID_VIEW_DIAGRAM, ID_VIEW_BACKTRACK}) {
      QTest::addRow("match, pane %d", pane) << int(ID_MODE_MATCH) << pane;
      QTest::addRow("replace, pane %d", pane) << int(ID_MODE_REPLACE) << pane;
    }
  }

  // At 800 x 500 every mode's window takes that size, and nothing in it runs over anything
  // else: bars, the client area, the tab bars and the status bar each keep their own room, and
  // the text box shows a few lines.
  void smallWindow() {
    QFETCH(int, mode);
    QFETCH(int, pane);
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    Trigger(frame, mode);
    if (pane) Trigger(frame, pane);
    frame.resize(CMainFrame::kSmallWindowWidth, CMainFrame::kSmallWindowHeight);
    QTRY_COMPARE(frame.size(), QSize(CMainFrame::kSmallWindowWidth, CMainFrame::kSmallWindowHeight));
    QTest::qWait(50);
    const QRect window = frame.rect();
    QList<QPair<QString, QRect>> parts;
    for (QDockWidget* dock : frame.findChildren<QDockWidget*>())
      if (InFront(dock) && !dock->isFloating()) parts.append({dock->windowTitle(), dock->geometry()});
    for (QTabBar* tabs : frame.findChildren<QTabBar*>(QString(), Qt::FindDirectChildrenOnly))
      if (tabs->isVisible() && tabs->count() > 1) parts.append({QStringLiteral("tab bar"), tabs->geometry()});  // a bar of one tab is parked unused
    parts.append({QStringLiteral("client"), frame.centralWidget()->geometry()});
    parts.append({QStringLiteral("status bar"), frame.statusBar()->geometry()});
    for (int i = 0; i < parts.size(); ++i) {
      QVERIFY2(window.contains(parts[i].second), qPrintable(parts[i].first));
      QVERIFY2(!parts[i].second.isEmpty(), qPrintable(parts[i].first));
      for (int j = i + 1; j < parts.size(); ++j)
        QVERIFY2(!parts[i].second.intersects(parts[j].second), qPrintable(parts[i].first + QStringLiteral(" / ") + parts[j].first));
    }
    if (pane) {
      const int bars[] = {BAR_EXPLANATION, BAR_DIAGRAM, BAR_BACKTRACK};
      const int views[] = {ID_VIEW_EXPLANATION, ID_VIEW_DIAGRAM, ID_VIEW_BACKTRACK};
      for (int i = 0; i < 3; ++i)
        if (views[i] == pane) QVERIFY(InFront(frame.SizingBar(bars[i])));
    }
    // Each bar's body fits inside it: no view is drawn beyond its bar.
    for (QDockWidget* dock : frame.findChildren<QDockWidget*>())
      if (InFront(dock) && dock->widget()) QVERIFY2(dock->rect().contains(dock->widget()->geometry()), qPrintable(dock->windowTitle()));
    auto* text = qobject_cast<QPlainTextEdit*>(frame.WorkPane()->View(CKorvaneBack::SLOT_TEXT));
    QVERIFY(text);
    QVERIFY2(text->viewport()->height() >= 3 * text->fontMetrics().lineSpacing(), qPrintable(QString::number(text->height())));
    QVERIFY(frame.PatternPane()->height() >= text->fontMetrics().lineSpacing());
    if (mode == ID_MODE_TRACE) {
      CSizingControlBarG* stack = frame.SizingBar(BAR_STACK);
      QVERIFY(InFront(stack));
      // The slider, the header and a few entries show without scrolling.
      QVERIFY(stack->widget()->height() >= stack->View()->minimumHeight());
    }
  }

  // ---- Panes brought forward and kept -----------------------------------------------------

  // A View command shows its pane in front of the tabs it shares a place with; the command of a
  // pane shown behind another's tab brings it forward instead of hiding it.
  void viewCommandBringsItsPaneForward() {
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CSizingControlBarG* tests = frame.SizingBar(BAR_TESTS);
    CSizingControlBarG* explanation = frame.SizingBar(BAR_EXPLANATION);
    // As a layout restored from a saved mode may have it: Explanation a hidden tab of Tests.
    frame.tabifyDockWidget(tests, explanation);
    explanation->hide();
    QTRY_VERIFY(InFront(tests));
    Trigger(frame, ID_VIEW_EXPLANATION);
    QTRY_VERIFY(InFront(explanation));
    QVERIFY(!InFront(tests));
    frame.UpdateCommandUi();
    QVERIFY(frame.CommandAction(ID_VIEW_EXPLANATION)->isChecked());
    // Tests is behind: its command brings it forward, a second one hides it.
    Trigger(frame, ID_VIEW_TESTS);
    QTRY_VERIFY(InFront(tests));
    QVERIFY(!InFront(explanation));
    Trigger(frame, ID_VIEW_TESTS);
    QTRY_VERIFY(!tests->isVisible());
    QTRY_VERIFY(InFront(explanation));
    // Diagram and Backtracking, tabs of the bottom as built in, come forward alike.
    for (int id : {ID_VIEW_DIAGRAM, ID_VIEW_BACKTRACK, ID_VIEW_EXPLANATION, ID_VIEW_TESTS}) {
      Trigger(frame, id);
      const int bar = id == ID_VIEW_DIAGRAM ? BAR_DIAGRAM
                    : id == ID_VIEW_BACKTRACK ? BAR_BACKTRACK
                    : id == ID_VIEW_TESTS ? BAR_TESTS
                                          : BAR_EXPLANATION;
      QTRY_VERIFY2(InFront(frame.SizingBar(bar)), qPrintable(QString::number(id)));
    }
  }

  // Opening a workspace of the mode on screen keeps the bars as the user left them and the
  // separators where they stand; one of another mode brings that mode's layout, and the layout
  // left behind comes back with its mode.
  void openingAWorkspaceKeepsTheLayout() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    auto write = [&](const QString& name, const QByteArray& bytes) {
      QFile f(dir.filePath(name));
      if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return QString();
      return f.fileName();
    };
    const QString match = write(QStringLiteral("match.rws"), WorkspaceOf(MODE_MATCH, QStringLiteral("a+"), 0.2f, 0.5f));
    const QString replace = write(QStringLiteral("replace.rws"), WorkspaceOf(MODE_REPLACE, QStringLiteral("b+"), 0.3f, 0.3f));
    const QString trace = write(QStringLiteral("trace.rws"), WorkspaceOf(MODE_TRACE, QStringLiteral("c+"), 0.2f, 0.5f));
    QVERIFY(!match.isEmpty() && !replace.isEmpty() && !trace.isEmpty());

    CMainFrame frame;
    QList<QString> boxes;
    frame.messageBoxHook = [&boxes](const QString& text, const QString&, int, int) {
      boxes << text;
      return int(IDocumentUi::ANSWER_NO);
    };
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    // The user shows the diagram and hides the structure tree, then opens a Match workspace.
    Trigger(frame, ID_VIEW_DIAGRAM);
    Trigger(frame, ID_VIEW_STRUCTURE);
    QTRY_VERIFY(InFront(frame.SizingBar(BAR_DIAGRAM)));
    QVERIFY(frame.OpenDocumentFile(match));
    QCOMPARE(frame.Doc()->GetPattern(), U16(QStringLiteral("a+")));
    QTRY_VERIFY(InFront(frame.SizingBar(BAR_DIAGRAM)));
    QVERIFY(!frame.SizingBar(BAR_STRUCTURE)->isVisible());
    QCOMPARE(frame.LayoutMode(), int(MODE_MATCH));

    // Replace mode: the separators the user dragged stay where they are.
    Trigger(frame, ID_MODE_REPLACE);
    CKorvaneBack* work = frame.WorkPane();
    const QRect before = work->ReplaceToSeparator().rect;
    QVERIFY(work->BeginDrag(before.center()));
    work->DragTo(QPoint(before.center().x(), work->height() / 2));
    work->EndDrag();
    const QRect dragged = work->ReplaceToSeparator().rect;
    QVERIFY(dragged != before);
    const float share = frame.Doc()->GetPatternShare();
    QVERIFY(frame.OpenDocumentFile(replace));
    QCOMPARE(frame.Doc()->GetPattern(), U16(QStringLiteral("b+")));
    QCOMPARE(frame.Doc()->GetMode(), int(MODE_REPLACE));
    QCOMPARE(work->ReplaceToSeparator().rect, dragged);
    QCOMPARE(frame.Doc()->GetPatternShare(), share);

    // A Trace workspace brings Trace's layout (with the Stack bar); Replace's comes back with
    // Replace, as the user left it.
    Trigger(frame, ID_VIEW_SNAPSHOT);  // hidden in Replace mode
    QVERIFY(!frame.SizingBar(BAR_SNAPSHOT)->isVisible());
    QVERIFY(frame.OpenDocumentFile(trace));
    QCOMPARE(frame.Doc()->GetMode(), int(MODE_TRACE));
    QCOMPARE(frame.LayoutMode(), int(MODE_TRACE));
    QVERIFY(frame.SizingBar(BAR_STACK)->isVisible());
    QVERIFY(frame.SizingBar(BAR_SNAPSHOT)->isVisible());
    Trigger(frame, ID_MODE_REPLACE);
    QVERIFY(!frame.SizingBar(BAR_SNAPSHOT)->isVisible());
    QVERIFY(!frame.SizingBar(BAR_STACK)->isVisible());
    Trigger(frame, ID_MODE_MATCH);
    QTRY_VERIFY(InFront(frame.SizingBar(BAR_DIAGRAM)));
    QVERIFY(!frame.SizingBar(BAR_STRUCTURE)->isVisible());
    QVERIFY(boxes.isEmpty());
  }

  // ---- The dark palette ------------------------------------------------------------------

  void activeModeButtonStandsOut_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("dark") << true;
    QTest::newRow("light") << false;
  }

  // The active mode's button differs from the bar by 3:1 or more, and its text from the button
  // by 4.5:1, as drawn; the other buttons look unlike it.
  void activeModeButtonStandsOut() {
    QFETCH(bool, dark);
    PaletteScope scope;
    QApplication::setPalette(dark ? StandardDarkPalette() : QApplication::style()->standardPalette());
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    for (int mode : {ID_MODE_MATCH, ID_MODE_TRACE}) {
      Trigger(frame, mode);
      frame.UpdateCommandUi();
      QAbstractButton* active = frame.BarControl(mode);
      QAbstractButton* other = frame.BarControl(mode == ID_MODE_MATCH ? ID_MODE_REPLACE : ID_MODE_MATCH);
      QVERIFY(active->isChecked() && !other->isChecked());
      QVERIFY(active->isVisible() || mode == ID_MODE_TRACE);
      if (!active->isVisible()) continue;  // in the bar's overflow at this width
      const QImage image = active->grab().toImage();
      const QRect inner = QRect(QPoint(0, 0), image.size()).adjusted(4, 4, -4, -4);
      const QRgb face = CommonColour(image, inner);
      const QColor bar = frame.ToolBarOf(BAR_WORK_MODE)->palette().color(QPalette::Window);
      QVERIFY2(ContrastRatio(QColor::fromRgb(face), bar) >= 3.0,
               qPrintable(QStringLiteral("%1 on %2: %3").arg(QColor::fromRgb(face).name(), bar.name()).arg(ContrastRatio(QColor::fromRgb(face), bar))));
      QVERIFY2(StrongestContrast(image, inner, face) >= 4.5, "the text on the active button");
      const QImage plain = other->grab().toImage();
      const QRgb otherFace = CommonColour(plain, QRect(QPoint(0, 0), plain.size()).adjusted(4, 4, -4, -4));
      QVERIFY(ContrastRatio(QColor::fromRgb(face), QColor::fromRgb(otherFace)) >= 1.5);
    }
  }

  // In the dark palette every mark's circle stands out from the Tests list's base by 3:1 and
  // its sign from the circle by 3:1, as the list shows them.
  void testMarksInTheDarkPalette() {
    PaletteScope scope;
    QApplication::setPalette(StandardDarkPalette());
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CTestCaseList* list = frame.TestsPane()->List();
    QVERIFY(IsDarkPalette(list->palette()));
    const int statuses[] = {TEST_PASS, TEST_FAIL, TEST_TIMED_OUT, TEST_ERROR, TEST_NOT_RUN};
    list->SetRowCount(5);
    for (int i = 0; i < 5; ++i) list->SetRow(i, statuses[i], QStringLiteral("t%1").arg(i), QString());
    const QColor base = list->palette().color(QPalette::Base);
    for (int i = 0; i < 5; ++i) {
      const QImage image = list->topLevelItem(i)->icon(CTestCaseList::COL_MARK).pixmap(QSize(16, 16)).toImage();
      if (statuses[i] == TEST_NOT_RUN) {
        // A ring: its colour is the most common opaque one.
        QVERIFY(ContrastRatio(QColor::fromRgb(CommonColour(image, image.rect())), base) >= 3.0);
        continue;
      }
      const QRgb circle = CommonColour(image, image.rect());
      QVERIFY2(ContrastRatio(QColor::fromRgb(circle), base) >= 3.0,
               qPrintable(QStringLiteral("status %1: %2 on %3").arg(statuses[i]).arg(QColor::fromRgb(circle).name(), base.name())));
      int sign = 0;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
          if (qAlpha(image.pixel(x, y)) == 255 && ContrastRatio(QColor::fromRgb(image.pixel(x, y)), QColor::fromRgb(circle)) >= 3.0) ++sign;
      QVERIFY2(sign >= 6, qPrintable(QStringLiteral("status %1: %2 sign pixels").arg(statuses[i]).arg(sign)));
    }
    // Back to the light palette: the list takes the light marks again.
    QApplication::setPalette(QApplication::style()->standardPalette());
    QTRY_VERIFY(!IsDarkPalette(list->palette()));
    const QImage light = list->topLevelItem(1)->icon(CTestCaseList::COL_MARK).pixmap(QSize(16, 16)).toImage();
    QCOMPARE(CommonColour(light, light.rect()),
             CommonColour(CTestCaseList::Mark(TEST_FAIL, false).pixmap(QSize(16, 16)).toImage(), light.rect()));
  }
};

int main(int argc, char** argv) { return RunWithPrivateSettings<FrameWindowTest>(argc, argv, "frame-window-test"); }

#include "frame_window_test.moc"
