// The Backtracking pane: the verdict after an edit (from the worker, without blocking), a newer
// edit winning over an older analysis, the witness loaded into the text box, and the chart.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtTest>

#include "app/ui/results/backtrack_pane.h"
#include "app/ui/results/tests/doc_fixture.h"
#include "app/ui/results/tests/view_test_main.h"
#include "resources/korvane_ids.h"

class BacktrackPaneTest : public QObject {
  Q_OBJECT

  // Waits for the pane to show the report of the pattern in the document.
  static bool Settle(CBacktrackPane& pane) {
    for (int i = 0; i < 600 && pane.IsAnalysing(); ++i) QTest::qWait(50);
    return !pane.IsAnalysing();
  }

 private slots:
  void verdictAfterEdit_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<bool>("witness");
    QTest::newRow("nested repeat") << "^(\\w+\\s?)*$" << "Exponential" << true;
    QTest::newRow("two repeats in sequence") << "\\d+\\d+x" << "Polynomial, degree 2" << true;
    QTest::newRow("three") << "a*a*a*b" << "Polynomial, degree 3" << true;
    QTest::newRow("exclusive classes") << "^[a-z]+\\d+$" << "Safe: linear" << false;
    QTest::newRow("atomic") << "^(?>a+)+$" << "Safe: linear" << false;
  }
  void verdictAfterEdit() {
    QFETCH(QString, pattern);
    QFETCH(QString, verdict);
    QFETCH(bool, witness);
    DocFixture f;
    CBacktrackPane pane(f.doc.get());
    QVERIFY(Settle(pane));
    f.SetPattern(pattern);
    QCOMPARE(pane.VerdictLabel(), CStringTable::Str(IDS_BT_ANALYSING));  // handed over, not waited for
    QVERIFY(Settle(pane));
    QCOMPARE(pane.VerdictLabel(), verdict);
    QCOMPARE(!pane.WitnessLabel().isEmpty(), witness);
    // The repeats responsible are handed to the document for the pattern box's marks.
    QCOMPARE(f.doc->GetBacktrackSpans().empty(), !witness);
    if (witness) QCOMPARE(f.doc->GetBacktrackSpans(), pane.ShownReport().findings[pane.ShownReport().Worst()].spans);
    auto* chart = pane.findChild<QChartView*>();
    QVERIFY(chart);
    QCOMPARE(chart->chart()->series().size(), witness ? 1 : 0);
    if (witness) {
      auto* series = qobject_cast<QLineSeries*>(chart->chart()->series().first());
      QVERIFY(series && series->count() >= 3);
      // Runs stopped at the step budget are not drawn as counts.
      int counted = 0;
      for (const backtrack::StepPoint& p : pane.ShownReport().findings[pane.ShownReport().Worst()].points)
        counted += p.cut ? 0 : 1;
      QCOMPARE(series->count(), counted);
      // The steps grow along n.
      QVERIFY(series->at(series->count() - 1).y() > series->at(0).y() * 4);
    }
  }

  // Edits in quick succession: only the last pattern's verdict is shown.
  void newestEditWins() {
    DocFixture f;
    CBacktrackPane pane(f.doc.get());
    QSignalSpy shown(&pane, &CBacktrackPane::ReportShown);
    f.SetPattern(QStringLiteral("(a+)+b"));
    f.SetPattern(QStringLiteral("(a|aa)*c"));
    f.SetPattern(QStringLiteral("abc"));
    QVERIFY(Settle(pane));
    QCOMPARE(pane.VerdictLabel(), QStringLiteral("Safe: linear"));
    QTest::qWait(200);  // nothing older arrives afterwards
    QCOMPARE(pane.VerdictLabel(), QStringLiteral("Safe: linear"));
    QCOMPARE(shown.count(), 1);
  }

  // A change of the options is a new analysis: (A|a)* is ambiguous only ignoring case.
  void optionsCount() {
    DocFixture f;
    CBacktrackPane pane(f.doc.get());
    f.SetPattern(QStringLiteral("^(A|a)*$"));
    QVERIFY(Settle(pane));
    QCOMPARE(pane.VerdictLabel(), QStringLiteral("Safe: linear"));
    f.SetFlag(IGNORECASE, CMD_IGNORECASE, true);
    QVERIFY(Settle(pane));
    QCOMPARE(pane.VerdictLabel(), QStringLiteral("Exponential"));
  }

  void loadsThePumpedWitness() {
    DocFixture f;
    CBacktrackPane pane(f.doc.get());
    f.SetPattern(QStringLiteral("\\d+\\d+x"));
    QVERIFY(Settle(pane));
    const backtrack::Report& r = pane.ShownReport();
    QVERIFY(r.Worst() >= 0);
    pane.PumpBox()->setValue(7);
    QPushButton* load = pane.findChild<QPushButton*>(QStringLiteral("load-witness"));
    QVERIFY(load && load->isEnabled());
    load->click();
    const std::u16string want = r.findings[r.Worst()].witness.Text(7);
    const std::vector<unsigned short>& got = f.doc->GetSubjectText();
    QCOMPARE(std::u16string(got.begin(), got.end()), want);
    QVERIFY(want.size() >= 7);
  }

  // After the verdict the proven rewrites follow, each with its new verdict and an Apply button
  // that hands the rewritten pattern on.
  void offersProvenFixes() {
    DocFixture f;
    CBacktrackPane pane(f.doc.get());
    QSignalSpy fixesShown(&pane, &CBacktrackPane::FixesShown);
    f.SetPattern(QStringLiteral("(a+)+b"));
    QVERIFY(Settle(pane));
    QVERIFY(fixesShown.wait(30000) || fixesShown.count() == 1);
    QVERIFY(!pane.IsLookingForFixes());
    QVERIFY(!pane.ShownFixes().empty());
    for (int i = 0; i < static_cast<int>(pane.ShownFixes().size()); ++i) {
      const backtrack::Fix& fix = pane.ShownFixes()[i];
      QCOMPARE(fix.report.verdict, backtrack::LINEAR);
      const QString rewritten = QString::fromUtf16(fix.pattern.data(), static_cast<int>(fix.pattern.size()));
      QVERIFY2(pane.FixLabel(i).contains(rewritten), qPrintable(pane.FixLabel(i)));
    }
    QSignalSpy applied(&pane, &CBacktrackPane::ApplyPattern);
    QPushButton* apply = pane.findChild<QPushButton*>(QStringLiteral("apply-fix-0"));
    QVERIFY(apply);
    apply->click();
    QCOMPARE(applied.count(), 1);
    const std::u16string& first = pane.ShownFixes()[0].pattern;
    QCOMPARE(applied.at(0).at(0).toString(), QString::fromUtf16(first.data(), static_cast<int>(first.size())));
    // A safe pattern has nothing to fix: the list goes.
    f.SetPattern(QStringLiteral("abc"));
    QVERIFY(Settle(pane));
    QVERIFY(pane.ShownFixes().empty());
    QVERIFY(!pane.findChild<QPushButton*>(QStringLiteral("apply-fix-0")));
  }

  // The text box is one of the subjects a rewrite must keep the matches on.
  void textBoxDecides() {
    DocFixture f;
    CBacktrackPane pane(f.doc.get());
    const QString pattern = QStringLiteral("(?:[a-z]|[a-\\xff])+!");
    auto has = [&pane](const char16_t* p) {
      for (const backtrack::Fix& fix : pane.ShownFixes())
        if (fix.pattern == p) return true;
      return false;
    };
    QSignalSpy fixesShown(&pane, &CBacktrackPane::FixesShown);
    f.SetPattern(pattern);
    QVERIFY(fixesShown.wait(30000));
    QVERIFY(has(u"(?:[a-z])+!"));
    const std::u16string text = u"caf\u00e9!";
    f.doc->SetSubjectText(reinterpret_cast<const unsigned short*>(text.data()), static_cast<int>(text.size()));
    f.SetPattern(QStringLiteral("abc"));
    QVERIFY(Settle(pane));
    f.SetPattern(pattern);
    QVERIFY(fixesShown.wait(30000));
    QVERIFY(!has(u"(?:[a-z])+!"));
    QVERIFY(has(u"(?:[a-\\xff])+!"));
  }

  // A fix proven before the user typed into the text box is checked again at Apply: one that
  // changes a match there now is not applied, and the fixes are proven anew.
  void applyChecksTheTextBoxAsItIsNow() {
    DocFixture f;
    CBacktrackPane pane(f.doc.get());
    QSignalSpy fixesShown(&pane, &CBacktrackPane::FixesShown);
    f.SetPattern(QStringLiteral("(?:[a-z]|[a-\\xff])+!"));
    QVERIFY(fixesShown.wait(30000));
    int narrow = -1;
    for (int i = 0; i < static_cast<int>(pane.ShownFixes().size()); ++i)
      if (pane.ShownFixes()[i].pattern == u"(?:[a-z])+!") narrow = i;
    QVERIFY(narrow >= 0);
    const std::u16string text = u"caf\u00e9!";
    f.doc->SetSubjectText(reinterpret_cast<const unsigned short*>(text.data()), static_cast<int>(text.size()));
    QSignalSpy applied(&pane, &CBacktrackPane::ApplyPattern);
    QPushButton* button = pane.findChild<QPushButton*>(QStringLiteral("apply-fix-%1").arg(narrow));
    QVERIFY(button);
    button->click();  // the rows are rebuilt after the click, never inside it
    QCOMPARE(applied.count(), 0);
    QVERIFY(fixesShown.wait(30000));
    for (const backtrack::Fix& fix : pane.ShownFixes()) QVERIFY(fix.pattern != u"(?:[a-z])+!");
    bool told = false;  // the list says why the fix went
    for (QLabel* label : pane.findChildren<QLabel*>())
      told = told || label->text().startsWith(CStringTable::Str(IDS_BT_FIX_STALE));
    QVERIFY(told);
    // A fix that keeps the match there is applied.
    QVERIFY(!pane.ShownFixes().empty());
    pane.ApplyFix(0);
    QCOMPARE(applied.count(), 1);
  }

  // Too large: said so, no witness, nothing to load.
  void tooLarge() {
    DocFixture f;
    CBacktrackPane pane(f.doc.get());
    QString p = QStringLiteral("^(?:");
    for (int i = 0; i < 5000; ++i) p += (i ? QStringLiteral("|x") : QStringLiteral("x")) + QString::number(i);
    f.SetPattern(p + QStringLiteral(")*$"));
    QVERIFY(Settle(pane));
    QCOMPARE(pane.VerdictLabel(), CStringTable::Str(IDS_BT_TOO_LARGE));
    QVERIFY(!pane.findChild<QPushButton*>(QStringLiteral("load-witness"))->isEnabled());
  }
};

KORVANE_VIEW_TEST_MAIN(BacktrackPaneTest)
#include "backtrack_pane_test.moc"
