// The Backtracking pane: the verdict after an edit (from the document's backtracking session,
// without blocking), a newer edit winning over an older analysis, the repeats responsible with
// their positions, the witness loaded into the text box, the chart (only for a blow-up, in the pane's palette), the
// proven rewrites and those that change the meaning, and a small minimum size.
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtTest>

#include "app/document/backtrack/backtrack_session.h"
#include "app/ui/panes/backtrack/backtrack_pane.h"
#include "app/ui/results/tests/doc_fixture.h"
#include "app/ui/results/tests/row_look.h"
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
    LiveDocFixture f;
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
    // A chart only for a measured blow-up.
    QCOMPARE(chart->isVisibleTo(&pane), witness);
    if (witness) {
      QCOMPARE(chart->chart()->series().size(), 1);
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
    LiveDocFixture f;
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
    LiveDocFixture f;
    CBacktrackPane pane(f.doc.get());
    f.SetPattern(QStringLiteral("^(A|a)*$"));
    QVERIFY(Settle(pane));
    QCOMPARE(pane.VerdictLabel(), QStringLiteral("Safe: linear"));
    f.SetFlag(IGNORECASE, CMD_IGNORECASE, true);
    QVERIFY(Settle(pane));
    QCOMPARE(pane.VerdictLabel(), QStringLiteral("Exponential"));
  }

  void loadsThePumpedWitness() {
    LiveDocFixture f;
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
    LiveDocFixture f;
    CBacktrackPane pane(f.doc.get());
    QSignalSpy fixesShown(&pane, &CBacktrackPane::FixesShown);
    f.SetPattern(QStringLiteral("(a+)+b"));
    QVERIFY(Settle(pane));
    QVERIFY(fixesShown.count() == 1 || fixesShown.wait(30000));  // may have come during Settle()
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

  // The text box is one of the subjects the rewrites are compared on: dropping [a-\xff] loses
  // the letters above z, which no generated text spells, so that rewrite is not offered at all
  // until the text box shows the difference; then it comes as one that changes the meaning.
  void textBoxDecides() {
    LiveDocFixture f;
    CBacktrackPane pane(f.doc.get());
    const QString pattern = QStringLiteral("(?:[a-z]|[a-\\xff])+!");
    auto find = [&pane](const char16_t* p) -> const backtrack::Fix* {
      for (const backtrack::Fix& fix : pane.ShownFixes())
        if (fix.pattern == p) return &fix;
      return nullptr;
    };
    QSignalSpy fixesShown(&pane, &CBacktrackPane::FixesShown);
    f.SetPattern(pattern);
    QVERIFY(fixesShown.wait(30000));
    QVERIFY(!find(u"(?:[a-z])+!"));
    QVERIFY(find(u"(?:[a-\\xff])+!") && find(u"(?:[a-\\xff])+!")->proven);
    const std::u16string text = u"caf\u00e9!";
    f.doc->SetSubjectText(reinterpret_cast<const unsigned short*>(text.data()), static_cast<int>(text.size()));
    f.SetPattern(QStringLiteral("abc"));
    QVERIFY(Settle(pane));
    f.SetPattern(pattern);
    QVERIFY(fixesShown.wait(30000));
    const backtrack::Fix* narrow = find(u"(?:[a-z])+!");
    QVERIFY(narrow && !narrow->proven);
    QCOMPARE(narrow->differs.text, text);
    QVERIFY(find(u"(?:[a-\\xff])+!") && find(u"(?:[a-\\xff])+!")->proven);
  }

  // A proven fix is applied as it is, also after the user typed into the text box (the check at
  // Apply finds the same matches there).
  void appliesAProvenFixAfterTyping() {
    LiveDocFixture f;
    CBacktrackPane pane(f.doc.get());
    QSignalSpy fixesShown(&pane, &CBacktrackPane::FixesShown);
    f.SetPattern(QStringLiteral("(a|a)*c"));
    QVERIFY(fixesShown.wait(30000));
    QVERIFY(!pane.ShownFixes().empty() && pane.ShownFixes()[0].proven);
    f.SetText(QStringLiteral("aaac aac ac c"));
    QSignalSpy applied(&pane, &CBacktrackPane::ApplyPattern);
    pane.ApplyFix(0);
    // Checked on the text box on the session's worker first: not from inside the click.
    QCOMPARE(applied.count(), 0);
    QVERIFY(f.doc->Backtrack().IsChecking());
    QVERIFY(applied.wait(30000));
    QCOMPARE(applied.count(), 1);
    const std::u16string& first = pane.ShownFixes()[0].pattern;
    QCOMPARE(applied.at(0).at(0).toString(), QString::fromUtf16(first.data(), static_cast<int>(first.size())));
    QVERIFY(pane.AppliedNote().isEmpty());
  }

  // The patterns: no proven fix, the rewrites listed under their own heading as ones that
  // change the meaning, each with the text where it does and an "Apply anyway" button; after
  // one is applied, the new pattern's verdict comes with a note that the matches changed, which
  // goes with the next edit.
  void rewritesThatChangeTheMeaning() {
    LiveDocFixture f;
    CBacktrackPane pane(f.doc.get());
    QSignalSpy fixesShown(&pane, &CBacktrackPane::FixesShown);
    f.SetPattern(QStringLiteral("(.*,){3}x"));
    QVERIFY(fixesShown.wait(30000));
    QCOMPARE(pane.VerdictLabel(), QStringLiteral("Polynomial, degree 3"));
    const std::vector<backtrack::Fix>& fixes = pane.ShownFixes();
    QCOMPARE(static_cast<int>(fixes.size()), 2);
    bool none = false, heading = false;
    for (QLabel* label : pane.findChildren<QLabel*>()) {
      none = none || label->text() == CStringTable::Str(IDS_BT_FIX_NONE);
      heading = heading || (label->isVisibleTo(&pane) && label->text() == CStringTable::Str(IDS_BT_CHANGE_HEADING));
    }
    QVERIFY(none);
    QVERIFY(heading);
    int possessive = -1;
    for (int i = 0; i < static_cast<int>(fixes.size()); ++i) {
      QVERIFY(!fixes[i].proven);
      if (fixes[i].pattern == u"(.*+,){3}x") possessive = i;
      const QString label = pane.FixLabel(i);
      QVERIFY2(label.contains(QStringLiteral("changes the matches: on \"")), qPrintable(label));
      QVERIFY2(!label.contains(QStringLiteral("same matches")), qPrintable(label));
      auto* button = pane.findChild<QPushButton*>(QStringLiteral("apply-fix-%1").arg(i));
      QVERIFY(button);
      QCOMPARE(button->text(), CStringTable::Str(IDS_BT_APPLY_CHANGE));
      QVERIFY(!button->toolTip().isEmpty());
    }
    QVERIFY(possessive >= 0);
    QVERIFY2(pane.FixLabel(possessive).contains(QStringLiteral("the rewrite finds no match")),
             qPrintable(pane.FixLabel(possessive)));
    QSignalSpy applied(&pane, &CBacktrackPane::ApplyPattern);
    pane.findChild<QPushButton*>(QStringLiteral("apply-fix-%1").arg(possessive))->click();
    QCOMPARE(applied.count(), 1);
    QCOMPARE(applied.at(0).at(0).toString(), QStringLiteral("(.*+,){3}x"));
    f.SetPattern(QStringLiteral("(.*+,){3}x"));  // what the frame does with it
    QVERIFY(Settle(pane));
    QCOMPARE(pane.VerdictLabel(), QStringLiteral("Safe: linear"));
    QVERIFY2(pane.AppliedNote().startsWith(QStringLiteral("The rewrite just applied changes the matches: on \"")),
             qPrintable(pane.AppliedNote()));
    f.SetPattern(QStringLiteral("(.*+,){3}xy"));
    QVERIFY(Settle(pane));
    QVERIFY(pane.AppliedNote().isEmpty());
  }

  // "Responsible" names each repeat with where it starts; its link selects it in the pattern.
  void repeatsWithPositions() {
    LiveDocFixture f;
    CBacktrackPane pane(f.doc.get());
    f.SetPattern(QStringLiteral("\\d+\\d+x"));
    QVERIFY(Settle(pane));
    const QString label = pane.RepeatsLabel();
    QVERIFY2(label.contains(QStringLiteral(">\\d+ at 0</a>")) && label.contains(QStringLiteral(">\\d+ at 3</a>")),
             qPrintable(label));
    QCOMPARE(f.doc->GetBacktrackSpans(), (std::vector<std::pair<int, int>>{{0, 3}, {3, 6}}));
    pane.SelectRepeat(1);
    QCOMPARE(f.doc->GetCurrentSpanStart(), 3);
    QCOMPARE(f.doc->GetCurrentSpanEnd(), 6);
    pane.SelectRepeat(0);
    QCOMPARE(f.doc->GetCurrentSpanStart(), 0);
    QCOMPARE(f.doc->GetCurrentSpanEnd(), 3);
    auto* repeats = pane.findChild<QLabel*>(QStringLiteral("repeats"));
    QVERIFY(repeats);
    emit repeats->linkActivated(QStringLiteral("1"));
    QCOMPARE(f.doc->GetCurrentSpanStart(), 3);
  }

  // The chart only for a measured blow-up: hidden for a safe verdict and a pattern error.
  void chartOnlyForABlowUp() {
    LiveDocFixture f;
    CBacktrackPane pane(f.doc.get());
    auto* chart = pane.findChild<QChartView*>();
    QVERIFY(chart);
    const struct {
      const char* pattern;
      bool chart;
    } rows[] = {{"abc", false}, {"(a+)+b", true}, {"(", false}, {"\\d+\\d+x", true}, {"^[a-z]+$", false}};
    for (const auto& row : rows) {
      f.SetPattern(QString::fromLatin1(row.pattern));
      QVERIFY(Settle(pane));
      QVERIFY2(chart->isVisibleTo(&pane) == row.chart, row.pattern);
      QVERIFY2(pane.findChild<QLabel*>(QStringLiteral("witness"))->isVisibleTo(&pane) == row.chart, row.pattern);
    }
  }

  // The chart is drawn in the pane's palette, also after the palette changes.
  void chartFollowsThePalette() {
    LiveDocFixture f;
    CBacktrackPane pane(f.doc.get());
    pane.setPalette(row_look::DarkPalette());
    f.SetPattern(QStringLiteral("(a+)+b"));
    QVERIFY(Settle(pane));
    auto* view = pane.findChild<QChartView*>();
    QVERIFY(view && view->chart());
    auto check = [&](const QPalette& p) {
      QChart* chart = view->chart();
      QCOMPARE(chart->backgroundBrush().color(), p.color(QPalette::Base));
      QVERIFY(!chart->axes().isEmpty());
      for (QAbstractAxis* axis : chart->axes()) QCOMPARE(axis->labelsBrush().color(), p.color(QPalette::Text));
      auto* series = qobject_cast<QLineSeries*>(chart->series().first());
      QVERIFY(series);
      QCOMPARE(series->pen().color(), p.color(QPalette::Highlight));
    };
    check(row_look::DarkPalette());
    // Drawn dark: the middle of the chart is the dark base, not white.
    pane.resize(600, 400);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    const QImage image = view->grab().toImage();
    const QColor middle = image.pixelColor(image.width() / 2, image.height() / 2);
    QVERIFY2(middle.lightness() < 100, qPrintable(middle.name()));
    QPalette light;
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::Text, Qt::black);
    light.setColor(QPalette::Highlight, QColor(0, 90, 200));
    pane.setPalette(light);
    check(light);
  }

  // The pane asks for little room whatever it shows (it scrolls), so opening it never makes a
  // window grow.
  void smallMinimumSize() {
    LiveDocFixture f;
    CBacktrackPane pane(f.doc.get());
    QSignalSpy fixesShown(&pane, &CBacktrackPane::FixesShown);
    f.SetPattern(QStringLiteral("(a|a)*c"));
    QVERIFY(fixesShown.wait(30000));
    QVERIFY(pane.findChild<QChartView*>()->isVisibleTo(&pane));
    QVERIFY(pane.ShownFixes().size() >= 3);
    QVERIFY2(pane.minimumSizeHint().height() <= 100, qPrintable(QString::number(pane.minimumSizeHint().height())));
    QVERIFY2(pane.minimumSizeHint().width() <= 200, qPrintable(QString::number(pane.minimumSizeHint().width())));
    QVERIFY(pane.minimumSize().height() <= 100);
  }

  // Too large: said so, no witness, nothing to load.
  void tooLarge() {
    LiveDocFixture f;
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
