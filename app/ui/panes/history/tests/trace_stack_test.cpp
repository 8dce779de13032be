// The Stack bar's list: empty until a traced match pauses, then the trace stack outermost first,
// emptied again when the search ends.
#include <QtTest>

#include "app/ui/panes/history/trace_stack_list_view.h"
#include "app/ui/results/tests/doc_fixture.h"
#include "app/ui/results/tests/view_test_main.h"

class TraceStackTest : public QObject {
  Q_OBJECT
 private slots:
  void emptyOutsideAPausedTrace() {
    DocFixture f;
    CTraceStackListView view(f.doc.get());
    QCOMPARE(view.columnCount(), 4);
    f.Set(QStringLiteral("(a)b"), QStringLiteral("xab"));
    f.FindAll();
    QCOMPARE(view.topLevelItemCount(), 0);
  }

  void filledWhilePausedThenEmptied() {
    DocFixture f;
    CTraceStackListView view(f.doc.get());
    f.Set(QStringLiteral("(a)b"), QStringLiteral("ab"));
    f.doc->OnCommand(CMD_STEP_MATCH);
    QVERIFY(f.doc->IsPaused());
    QCOMPARE(f.doc->GetMode(), static_cast<int>(MODE_TRACE));
    const HostContext& ctx = f.doc->GetMatchContext();
    int depth = ctx.m_traceStack.GetSize();
    QVERIFY(depth >= 2);
    QCOMPARE(view.topLevelItemCount(), depth);
    // Paused at the literal a, entered at 0; the outermost entry is the whole pattern.
    QTreeWidgetItem* inner = view.topLevelItem(depth - 1);
    QCOMPARE(inner->text(CTraceStackListView::COL_ELEMENT), QStringLiteral("a"));
    QCOMPARE(inner->text(CTraceStackListView::COL_START), QStringLiteral("0"));
    QCOMPARE(inner->text(CTraceStackListView::COL_ENTRY), QStringLiteral("0"));
    QCOMPARE(inner->text(CTraceStackListView::COL_RETRY), QString());
    QCOMPARE(view.topLevelItem(0)->text(CTraceStackListView::COL_ELEMENT), QStringLiteral("(a)b"));
    // The next step pauses at b, entered at 1: the rows follow.
    f.doc->OnCommand(CMD_STEP_MATCH);
    QVERIFY(f.doc->IsPaused());
    depth = ctx.m_traceStack.GetSize();
    QCOMPARE(view.topLevelItemCount(), depth);
    inner = view.topLevelItem(depth - 1);
    QCOMPARE(inner->text(CTraceStackListView::COL_ELEMENT), QStringLiteral("b"));
    QCOMPARE(inner->text(CTraceStackListView::COL_START), QStringLiteral("1"));
    // Continue to the end: no longer paused, the list empties.
    f.doc->OnCommand(CMD_FIND);
    QVERIFY(!f.doc->IsPaused());
    QCOMPARE(view.topLevelItemCount(), 0);
  }

  void retryIsMarked() {
    // a* gives back one character for the b: the literal b is tried again after a retry of a*.
    DocFixture f;
    CTraceStackListView view(f.doc.get());
    f.Set(QStringLiteral("a*ab"), QStringLiteral("aab"));
    bool sawRetry = false;
    f.doc->OnCommand(CMD_STEP_MATCH);
    for (int step = 0; step < 20 && f.doc->IsPaused(); ++step) {
      for (int i = 0; i < view.topLevelItemCount(); ++i)
        if (view.topLevelItem(i)->text(CTraceStackListView::COL_RETRY) == QStringLiteral("Yes")) sawRetry = true;
      f.doc->OnCommand(CMD_STEP_MATCH);
    }
    QVERIFY(sawRetry);
  }
};

KORVANE_VIEW_TEST_MAIN(TraceStackTest)
#include "trace_stack_test.moc"
