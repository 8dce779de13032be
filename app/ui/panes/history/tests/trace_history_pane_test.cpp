// The Stack bar's timeline slider: disabled until a traced match pauses, spanning the recorded
// history while paused, showing an earlier pause when moved (the stack list follows), and
// following Step Back and Step.
#include <QSlider>
#include <QtTest>

#include "app/document/debugger/debug_session.h"
#include "app/ui/results/tests/doc_fixture.h"
#include "app/ui/results/tests/view_test_main.h"
#include "app/ui/panes/history/trace_history_pane.h"
#include "app/ui/panes/history/trace_stack_list_view.h"

namespace {
QStringList Rows(const CTraceStackListView* list) {
  QStringList rows;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list->topLevelItem(i);
    rows << item->text(CTraceStackListView::COL_ELEMENT) + QLatin1Char('|') + item->text(CTraceStackListView::COL_START) +
                QLatin1Char('|') + item->text(CTraceStackListView::COL_ENTRY) + QLatin1Char('|') +
                item->text(CTraceStackListView::COL_RETRY);
  }
  return rows;
}
}  // namespace

class TraceHistoryPaneTest : public QObject {
  Q_OBJECT
 private slots:
  void disabledOutsideAPausedTrace() {
    DocFixture f;
    CTraceHistoryPane pane(f.doc.get());
    QVERIFY(!pane.Slider()->isEnabled());
    f.Set(QStringLiteral("(a|b)*c"), QStringLiteral("abc"));
    f.FindAll();
    QVERIFY(!pane.Slider()->isEnabled());
    QCOMPARE(pane.Slider()->maximum(), 0);
  }

  void sliderShowsEarlierPausesAndFollowsTheCommands() {
    DocFixture f;
    CTraceHistoryPane pane(f.doc.get());
    f.Set(QStringLiteral("(a|b)*c"), QStringLiteral("abbc"));
    std::vector<QStringList> live;
    std::vector<int> at;
    for (int i = 0; i < 4; ++i) {
      f.doc->OnCommand(CMD_STEP_MATCH);
      QVERIFY(f.doc->IsPaused());
      QVERIFY(pane.Slider()->isEnabled());
      QCOMPARE(pane.Slider()->value(), pane.Slider()->maximum());  // the live pause is the last step
      live.push_back(Rows(pane.StackList()));
      at.push_back(pane.Slider()->value());
    }
    QCOMPARE(static_cast<std::int64_t>(pane.Slider()->maximum()), f.doc->Debugger().History().End() - 1);
    // Moving the slider to an earlier pause shows it, stack and all.
    pane.Slider()->setValue(at[1]);
    QVERIFY(f.doc->Debugger().IsViewingHistory());
    QCOMPARE(Rows(pane.StackList()), live[1]);
    QCOMPARE(pane.Slider()->value(), at[1]);
    // Between two pauses the slider snaps back to the earlier one.
    if (at[2] - at[1] > 1) {
      pane.Slider()->setValue(at[2] - 1);
      QCOMPARE(pane.Slider()->value(), at[1]);
      QCOMPARE(Rows(pane.StackList()), live[1]);
    }
    // Before the first pause: the first pause.
    pane.Slider()->setValue(0);
    QCOMPARE(pane.Slider()->value(), at[0]);
    QCOMPARE(Rows(pane.StackList()), live[0]);
    // Step goes forward through the history, the slider along.
    f.doc->OnCommand(CMD_STEP_MATCH);
    QCOMPARE(pane.Slider()->value(), at[1]);
    QCOMPARE(Rows(pane.StackList()), live[1]);
    // Step Back, and the end of the slider is the live pause again.
    f.doc->OnCommand(CMD_STEP_BACK);
    QCOMPARE(pane.Slider()->value(), at[0]);
    pane.Slider()->setValue(pane.Slider()->maximum());
    QVERIFY(!f.doc->Debugger().IsViewingHistory());
    QCOMPARE(Rows(pane.StackList()), live[3]);
    // Reset: nothing to show.
    f.doc->OnCommand(CMD_RESET_FIND);
    QVERIFY(!pane.Slider()->isEnabled());
    QCOMPARE(pane.StackList()->topLevelItemCount(), 0);
  }
};

KORVANE_VIEW_TEST_MAIN(TraceHistoryPaneTest)
#include "trace_history_pane_test.moc"
