// The Backtracking bar in the real frame, offscreen: a proven fix applied from the pane is an
// edit of the pattern box that Undo takes back, and the structure tree marks the repeats the
// analysis holds responsible; a rewrite that changes the meaning, applied anyway, leaves a note
// under the new verdict; opening the bar leaves the window's size alone. Settings live in a
// temporary folder.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/regex_tree_view.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/panes/backtrack/backtrack_pane.h"
#include "app/ui/frame/sizing_bar.h"
#include "korvane_ids.h"
#include "stringtable.h"
#include "platform/profile.h"
#include "app/ui/tests/private_settings_main.h"

class BacktrackBarTest : public QObject {
  Q_OBJECT

  static bool Wait(const std::function<bool()>& done) {
    for (int i = 0; i < 1200 && !done(); ++i) QTest::qWait(50);
    return done();
  }
  static QString PatternOf(CMainFrame& frame) {
    const std::vector<unsigned short>& p = frame.Doc()->GetPattern();
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(p.data()), static_cast<int>(p.size()));
  }
  static int MarkedNodes(QTreeWidgetItem* item, QStringList* spans, const QString& pattern) {
    int n = 0;
    if (CRegexTreeView::HasBacktrackMark(item)) {
      ++n;
      const HostElement* e = CRegexTreeView::NodeElement(item);
      if (e) *spans << pattern.mid(e->m_nStart, e->m_nEnd - e->m_nStart);
    }
    for (int i = 0; i < item->childCount(); ++i) n += MarkedNodes(item->child(i), spans, pattern);
    return n;
  }

 private slots:
  void init() {
    CProfile profile;
    profile.Settings().clear();
    profile.Flush();
  }

  void appliedFixIsAnUndoableEdit() {
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    if (!frame.Bar(BAR_BACKTRACK)->isVisible()) frame.OnCommand(ID_VIEW_BACKTRACK);
    auto* pane = qobject_cast<CBacktrackPane*>(frame.SizingBar(BAR_BACKTRACK)->View());
    QVERIFY(pane);
    auto* box = frame.findChild<CRegexEditView*>(QStringLiteral("pattern"));
    QVERIFY(box);
    box->ReplaceTextAsEdit(QStringLiteral("(a|a)*c"));  // as if typed
    QVERIFY(Wait([&] { return PatternOf(frame) == QStringLiteral("(a|a)*c"); }));
    QVERIFY(Wait([&] { return !pane->IsAnalysing() && !pane->IsLookingForFixes(); }));
    QCOMPARE(pane->VerdictLabel(), QStringLiteral("Exponential"));

    // The tree marks the responsible repeat.
    auto* tree = qobject_cast<CRegexTreeView*>(frame.SizingBar(BAR_STRUCTURE)->View());
    QVERIFY(tree && tree->topLevelItem(0));
    QStringList marked;
    QVERIFY(MarkedNodes(tree->topLevelItem(0), &marked, PatternOf(frame)) >= 1);
    QVERIFY2(marked.contains(QStringLiteral("(a|a)*")), qPrintable(marked.join(QLatin1Char(' '))));

    int drop = -1;
    for (int i = 0; i < static_cast<int>(pane->ShownFixes().size()); ++i)
      if (pane->ShownFixes()[i].pattern == u"(a)*c") drop = i;
    QVERIFY2(drop >= 0, qPrintable(pane->FixLabel(0)));
    QVERIFY(pane->FixLabel(drop).contains(QStringLiteral("Safe: linear")));
    auto* apply = pane->findChild<QPushButton*>(QStringLiteral("apply-fix-%1").arg(drop));
    QVERIFY(apply && apply->isVisible());
    apply->click();
    QCOMPARE(box->GetBoxText(), QStringLiteral("(a)*c"));
    QVERIFY(Wait([&] { return PatternOf(frame) == QStringLiteral("(a)*c"); }));
    QVERIFY(Wait([&] { return !pane->IsAnalysing(); }));
    QCOMPARE(pane->VerdictLabel(), QStringLiteral("Safe: linear"));
    marked.clear();
    QCOMPARE(MarkedNodes(tree->topLevelItem(0), &marked, PatternOf(frame)), 0);

    box->undo();
    QCOMPARE(box->GetBoxText(), QStringLiteral("(a|a)*c"));
    QVERIFY(Wait([&] { return PatternOf(frame) == QStringLiteral("(a|a)*c"); }));
  }

  void appliedRewriteThatChangesMatchesSaysSo() {
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    if (!frame.Bar(BAR_BACKTRACK)->isVisible()) frame.OnCommand(ID_VIEW_BACKTRACK);
    auto* pane = qobject_cast<CBacktrackPane*>(frame.SizingBar(BAR_BACKTRACK)->View());
    QVERIFY(pane);
    auto* box = frame.findChild<CRegexEditView*>(QStringLiteral("pattern"));
    QVERIFY(box);
    box->ReplaceTextAsEdit(QStringLiteral("a.*b.*c.*d"));
    QVERIFY(Wait([&] { return PatternOf(frame) == QStringLiteral("a.*b.*c.*d"); }));
    QVERIFY(Wait([&] { return !pane->IsAnalysing() && !pane->IsLookingForFixes(); }));
    QCOMPARE(pane->VerdictLabel(), QStringLiteral("Polynomial, degree 3"));
    int first = -1;
    for (int i = 0; i < static_cast<int>(pane->ShownFixes().size()); ++i) {
      QVERIFY(!pane->ShownFixes()[i].proven);
      if (pane->ShownFixes()[i].pattern == u"a.*+b.*c.*d") first = i;
    }
    QVERIFY(first >= 0);
    auto* apply = pane->findChild<QPushButton*>(QStringLiteral("apply-fix-%1").arg(first));
    QVERIFY(apply && apply->isVisible());
    QCOMPARE(apply->text(), CStringTable::Str(IDS_BT_APPLY_CHANGE));
    apply->click();
    QVERIFY(Wait([&] { return PatternOf(frame) == QStringLiteral("a.*+b.*c.*d"); }));
    QVERIFY(Wait([&] { return !pane->IsAnalysing(); }));
    QCOMPARE(pane->VerdictLabel(), QStringLiteral("Safe: linear"));
    QVERIFY2(pane->AppliedNote().contains(QStringLiteral("changes the matches")), qPrintable(pane->AppliedNote()));
    box->undo();
    QVERIFY(Wait([&] { return PatternOf(frame) == QStringLiteral("a.*b.*c.*d"); }));
    QVERIFY(Wait([&] { return !pane->IsAnalysing(); }));
    QVERIFY(pane->AppliedNote().isEmpty());
  }

  // View > Backtracking in a small window: the bar opens inside it, the window keeps its size
  // (also once a blow-up with its chart and fixes is on show).
  void openingTheBarKeepsTheWindowSize() {
    CMainFrame frame;
    frame.resize(900, 560);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    if (frame.Bar(BAR_BACKTRACK)->isVisible()) frame.OnCommand(ID_VIEW_BACKTRACK);
    QTest::qWait(200);
    const QSize before = frame.size();
    frame.OnCommand(ID_VIEW_BACKTRACK);
    QVERIFY(frame.Bar(BAR_BACKTRACK)->isVisible());
    auto* pane = qobject_cast<CBacktrackPane*>(frame.SizingBar(BAR_BACKTRACK)->View());
    QVERIFY(pane);
    auto* box = frame.findChild<CRegexEditView*>(QStringLiteral("pattern"));
    box->ReplaceTextAsEdit(QStringLiteral("(a|a)*c"));
    QVERIFY(Wait([&] { return PatternOf(frame) == QStringLiteral("(a|a)*c"); }));
    QVERIFY(Wait([&] { return !pane->IsAnalysing() && !pane->IsLookingForFixes(); }));
    QTest::qWait(200);
    QCOMPARE(frame.size(), before);
  }
};

int main(int argc, char** argv) { return RunWithPrivateSettings<BacktrackBarTest>(argc, argv, "backtrack-bar-test"); }

#include "backtrack_bar_test.moc"
