// The Flavours pane in the real frame, offscreen, its runners fake ones
// (app/flavours/tests/fake_runner.cpp: a literal find-all, "!" a compile error) and ruby "not
// installed": hidden at first and a tab beside Tests, the session active only while the pane is
// shown; the matrix's rows, columns, headers, words and tool tips; a selected cell side by side
// (the marks in the text, the group table's differing rows); the menu that picks the columns;
// the cells' colours. Settings live in a temporary folder.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>

#include "app/document/core/korvane_doc.h"
#include "app/document/core/test_session.h"
#include "app/document/flavours/flavour_session.h"
#include "app/ui/frame/main_frame.h"
#include "app/ui/panes/flavours/convert_dialog.h"
#include "app/ui/panes/flavours/flavour_compare_view.h"
#include "app/ui/panes/flavours/flavour_matrix_model.h"
#include "app/ui/panes/flavours/flavours_pane.h"
#include "app/ui/frame/sizing_bar.h"
#include "app/ui/tests/private_settings_main.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

const int kWaitMs = 60000;  // a cold fake runner on a slow, busy machine

FlavourLaunch FakeFor(const QString& flavour) {
  FlavourLaunch l;
  l.flavour = flavour;
  l.program = QStringLiteral(KV_FAKE_RUNNER);
  l.runnerFile = l.program;
  l.arguments << QStringLiteral("utf16") << QStringLiteral("yes") << QStringLiteral("good");
  if (flavour == QLatin1String("ruby")) l.notInstalled = QStringLiteral("not installed: apt-get install ruby");
  return l;
}

// The fake that never answers a subject "HANG".
FlavourLaunch HangingFakeFor(const QString& flavour) {
  FlavourLaunch l = FakeFor(flavour);
  l.arguments = QStringList{QStringLiteral("utf16"), QStringLiteral("yes"), QStringLiteral("hang")};
  return l;
}

std::vector<unsigned short> U16Of(const QString& s) { return std::vector<unsigned short>(s.utf16(), s.utf16() + s.size()); }

void SetTexts(CKorvaneDoc* doc, const QString& pattern, const QString& subject) {
  const std::vector<unsigned short> p = U16Of(pattern), t = U16Of(subject);
  doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
  doc->Notify(nullptr, HINT_RECOLOR_PATTERN | HINT_PATTERN_REPLACED);
  doc->Notify(nullptr, HINTS_PATTERN_EDITED);
  doc->SetSubjectText(t.data(), static_cast<int>(t.size()));
  doc->Notify(nullptr, HINT_RECOLOR_PATTERN | HINT_TEXT_HIGHLIGHTS | HINT_SUBJECT_REPLACED);
  doc->Notify(nullptr, HINTS_SUBJECT_EDITED);
}

CFlavoursPane* PaneOf(CMainFrame& frame) { return qobject_cast<CFlavoursPane*>(frame.SizingBar(BAR_FLAVOURS)->View()); }

// The matrix is complete for this pattern.
bool Settled(CKorvaneDoc* doc, const QString& pattern) {
  const CFlavourSession& s = doc->Flavours();
  return s.Matrix().request.pattern == pattern && !s.IsBusy();
}

}  // namespace

class FlavoursPaneTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { ClearSettings(); }

  void hiddenAtFirstThenATabBesideTestsAskingOnlyWhileShown() {
    CMainFrame frame;
    frame.Doc()->Flavours().Pool().SetLauncher(&FakeFor);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CSizingControlBarG* bar = frame.SizingBar(BAR_FLAVOURS);
    QVERIFY(bar);
    QCOMPARE(bar->windowTitle(), CStringTable::Str(IDS_BAR_FLAVOURS));
    QVERIFY(PaneOf(frame));
    QVERIFY(bar->isHidden());
    CFlavourSession& session = frame.Doc()->Flavours();
    SetTexts(frame.Doc(), QStringLiteral("an"), QStringLiteral("banana"));
    QTest::qWait(3 * CFlavourSession::kDelayMs);
    QVERIFY(!session.IsActive());
    QVERIFY(!session.IsPaneOpen());
    QCOMPARE(session.RequestsMade(), 0);  // a hidden pane costs nothing

    frame.UpdateCommandUi();
    QVERIFY(!frame.CommandAction(ID_VIEW_FLAVOURS)->isChecked());
    frame.OnCommand(ID_VIEW_FLAVOURS);
    QVERIFY(bar->isVisible());
    QTRY_VERIFY(session.IsActive());
    QVERIFY(session.IsPaneOpen());
    // In front, in the tab group of Tests.
    QTabBar* tabs = nullptr;
    for (QTabBar* t : frame.findChildren<QTabBar*>())
      for (int i = 0; i < t->count(); ++i)
        if (t->tabText(i) == bar->windowTitle()) tabs = t;
    QVERIFY(tabs);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), bar->windowTitle());
    bool withTests = false;
    for (int i = 0; i < tabs->count(); ++i) withTests = withTests || tabs->tabText(i) == CStringTable::Str(IDS_BAR_TESTS);
    QVERIFY(withTests);
    QTRY_VERIFY_WITH_TIMEOUT(Settled(frame.Doc(), QStringLiteral("an")), kWaitMs);
    QCOMPARE(session.RequestsMade(), 1);
    QVERIFY(PaneOf(frame)->SummaryLabel()->text().startsWith(QStringLiteral("compiles in ")));

    // Another tab in front hides the pane: it asks no more, but stays open (the marks stay).
    frame.OnCommand(ID_VIEW_TESTS);  // behind the Flavours tab: brought forward
    QTRY_VERIFY(!session.IsActive());
    QVERIFY(session.IsPaneOpen());
    SetTexts(frame.Doc(), QStringLiteral("na"), QStringLiteral("banana"));
    QTest::qWait(3 * CFlavourSession::kDelayMs);
    QCOMPARE(session.RequestsMade(), 1);
    frame.OnCommand(ID_VIEW_FLAVOURS);  // behind another tab: brought forward
    QTRY_VERIFY(session.IsActive());
    QTRY_VERIFY_WITH_TIMEOUT(Settled(frame.Doc(), QStringLiteral("na")), kWaitMs);
    QCOMPARE(session.RequestsMade(), 2);
    // Closed from the View menu: neither seen nor open.
    frame.OnCommand(ID_VIEW_FLAVOURS);
    QTRY_VERIFY(!session.IsPaneOpen());
    QVERIFY(!session.IsActive());
  }

  void theMatrixShowsRowsColumnsWordsAndTips_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("python");   // the word of the text box's row
    QTest::addColumn<QString>("test");     // the word of the test's row
    QTest::addColumn<QString>("pythonTip");
    QTest::addColumn<QString>("summary");
    QTest::newRow("literal") << "an" << "same" << "same" << "Korvane and this flavour: 1-3  3-5"
                             << "compiles in 1 of 1 flavours, same results in 1; 1 not installed";
    QTest::newRow("a class the fake reads as text")
        << "a." << "differs" << "same" << "Python (re): no match\nKorvane: 1-3  3-5"
        << "compiles in 1 of 1 flavours, same results in 0; 1 not installed";
    QTest::newRow("compile error") << "!" << "error" << "error" << "Compile error at 0: nothing to repeat"
                                   << "compiles in 0 of 1 flavours, same results in 0; 1 not installed";
  }

  void theMatrixShowsRowsColumnsWordsAndTips() {
    QFETCH(QString, pattern);
    QFETCH(QString, python);
    QFETCH(QString, test);
    QFETCH(QString, pythonTip);
    QFETCH(QString, summary);
    CMainFrame frame;
    CKorvaneDoc* doc = frame.Doc();
    doc->Flavours().Pool().SetLauncher(&FakeFor);
    doc->Flavours().SetChosen({"ruby", "python"});
    TestCase t;
    t.name = U16Of(QStringLiteral("Nothing"));
    t.SetSubject(U16Of(QStringLiteral("xyz")));
    doc->Tests().Add(t);
    SetTexts(doc, pattern, QStringLiteral("banana"));
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.OnCommand(ID_VIEW_FLAVOURS);
    CFlavoursPane* pane = PaneOf(frame);
    QTRY_VERIFY_WITH_TIMEOUT(Settled(doc, pattern), kWaitMs);
    CFlavourMatrixModel* model = pane->Model();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->columnCount(), 2);
    QCOMPARE(model->headerData(0, Qt::Vertical).toString(), QStringLiteral("Text box"));
    QCOMPARE(model->headerData(1, Qt::Vertical).toString(), QStringLiteral("Nothing"));
    // The header: the flavour's name over what its runner reported; a missing runtime has none.
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Python (re)\nFake engine\n1.0"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Ruby"));
    QVERIFY(model->headerData(1, Qt::Horizontal, Qt::ToolTipRole).toString().contains(QStringLiteral("apt-get install ruby")));
    QCOMPARE(model->index(0, 0).data().toString(), python);
    QCOMPARE(model->index(1, 0).data().toString(), test);
    QCOMPARE(model->index(0, 0).data(Qt::ToolTipRole).toString(), pythonTip);
    QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("not installed"));
    QCOMPARE(model->index(0, 1).data(Qt::ToolTipRole).toString(), QStringLiteral("not installed: apt-get install ruby"));
    QVERIFY(model->index(0, 0).data(Qt::BackgroundRole).value<QColor>().isValid());
    QCOMPARE(pane->SummaryLabel()->text(), summary);
  }

  // Convert: offered only once the target's engine (here the fake, a literal search) finds what
  // Korvane finds on every text; a difference or a construct with no equivalent is shown, and
  // Copy stays off.
  void convertOffersOnlyWhatTheCheckFoundTheSame() {
    CMainFrame frame;
    CKorvaneDoc* doc = frame.Doc();
    doc->Flavours().Pool().SetLauncher(&FakeFor);
    doc->Flavours().SetChosen({"ruby", "js"});
    SetTexts(doc, QStringLiteral("an"), QStringLiteral("banana"));
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.OnCommand(ID_VIEW_FLAVOURS);
    CFlavoursPane* pane = PaneOf(frame);
    QTRY_VERIFY_WITH_TIMEOUT(Settled(doc, QStringLiteral("an")), kWaitMs);
    QCOMPARE(pane->ConvertButton()->text(), CStringTable::Str(IDS_CONVERT_BUTTON));

    // No column selected: the first column's flavour (the matrix's order is the table's).
    CConvertDialog* dialog = pane->OpenConvert();
    QCOMPARE(dialog->FlavourBox()->currentData().toString(), QStringLiteral("js"));
    QCOMPARE(dialog->PatternEdit()->text(), QStringLiteral("an"));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsChecking(), kWaitMs);
    QVERIFY2(dialog->StatusLabel()->text().startsWith(QStringLiteral("Same results on 1 of 1 texts")),
             qPrintable(dialog->StatusLabel()->text()));
    QVERIFY(dialog->CopyButton()->isEnabled());
    dialog->CopyButton()->click();
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("an"));
    dialog->close();

    // \d is \d in JavaScript, which the fake reads as the letters: not the same, not offered.
    SetTexts(doc, QStringLiteral("a\\d"), QStringLiteral("a1"));
    dialog = pane->OpenConvert(QStringLiteral("js"));
    QCOMPARE(dialog->PatternEdit()->text(), QStringLiteral("a\\d"));
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsChecking(), kWaitMs);
    QVERIFY2(dialog->StatusLabel()->text().startsWith(QStringLiteral("Not the same on 1 of 1 texts: Text box")),
             qPrintable(dialog->StatusLabel()->text()));
    QVERIFY(!dialog->CopyButton()->isEnabled());

    // No equivalent: the reason, nothing to copy, nothing checked.
    SetTexts(doc, QStringLiteral("(?<=a+)b"), QStringLiteral("ab"));
    dialog->FlavourBox()->setCurrentIndex(dialog->FlavourBox()->findData(QStringLiteral("python")));
    QVERIFY(dialog->PatternEdit()->text().isEmpty());
    QVERIFY2(dialog->StatusLabel()->text().contains(QStringLiteral("Python needs a look-behind of one fixed length")),
             qPrintable(dialog->StatusLabel()->text()));
    QVERIFY(!dialog->IsChecking());
    QVERIFY(!dialog->CopyButton()->isEnabled());
    dialog->close();

    // The same dialog from Tools > Convert to Flavour..., the menu's last item.
    QMenu* tools = frame.TopMenu(IDS_MENU_TOOLS);
    QCOMPARE(tools->actions().last(), frame.CommandAction(ID_TOOLS_CONVERT));
    QCOMPARE(frame.CommandAction(ID_TOOLS_CONVERT)->text(), QStringLiteral("&Convert to Flavour..."));
    QTRY_VERIFY(frame.findChildren<CConvertDialog*>().isEmpty());  // closed ones are gone
    frame.OnCommand(ID_TOOLS_CONVERT);
    const QList<CConvertDialog*> opened = frame.findChildren<CConvertDialog*>();
    QCOMPARE(opened.size(), 1);
    // The first chosen flavour that converts (the choice is kept in the table's order).
    QCOMPARE(opened.first()->FlavourBox()->currentData().toString(), QStringLiteral("js"));
    QCOMPARE(opened.first()->PatternEdit()->text(), QStringLiteral("(?<=a+)b"));
    opened.first()->close();
  }

  void aSelectedCellIsShownSideBySide() {
    CMainFrame frame;
    CKorvaneDoc* doc = frame.Doc();
    doc->Flavours().Pool().SetLauncher(&FakeFor);
    doc->Flavours().SetChosen({"python"});
    // Korvane finds "an", "an", "a ", "a." (the dot any character); the fake only "a.".
    SetTexts(doc, QStringLiteral("a."), QStringLiteral("banana a."));
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.OnCommand(ID_VIEW_FLAVOURS);
    CFlavoursPane* pane = PaneOf(frame);
    QTRY_VERIFY_WITH_TIMEOUT(Settled(doc, QStringLiteral("a.")), kWaitMs);
    CFlavourCompareView* view = pane->CompareView();
    QCOMPARE(view->GroupTable()->rowCount(), 0);  // nothing selected yet
    pane->SelectCell(0, 0);
    QTableWidget* groups = view->GroupTable();
    QCOMPARE(groups->columnCount(), 3);
    QCOMPARE(groups->horizontalHeaderItem(1)->text(), QStringLiteral("Korvane"));
    QCOMPARE(groups->horizontalHeaderItem(2)->text(), QStringLiteral("Python (re)"));
    QCOMPARE(groups->rowCount(), 4);  // Korvane's four matches, the flavour's one
    QCOMPARE(groups->item(0, 1)->text(), QStringLiteral("1-3 \u201Can\u201D"));
    QCOMPARE(groups->item(0, 2)->text(), QStringLiteral("7-9 \u201Ca.\u201D"));
    QCOMPARE(groups->item(3, 1)->text(), QStringLiteral("7-9 \u201Ca.\u201D"));
    QCOMPARE(groups->item(3, 2)->text(), QStringLiteral("no match"));
    QCOMPARE(view->DifferingRows(), (QList<int>{0, 1, 2, 3}));
    // The text: Korvane's matches shaded, the flavour's underlined; "a." at 7 has both.
    QTextDocument* text = view->TextView()->document();
    QCOMPARE(text->toPlainText(), QStringLiteral("banana a."));
    struct Mark {
      int at;
      bool shaded, underlined;
    };
    for (const Mark& m : {Mark{0, false, false}, Mark{1, true, false}, Mark{6, true, false}, Mark{7, true, true}}) {
      QTextCursor c(text);
      c.setPosition(m.at + 1);  // the format of the character before the cursor
      QCOMPARE(c.charFormat().background().style() != Qt::NoBrush, m.shaded);
      QCOMPARE(c.charFormat().fontUnderline(), m.underlined);
    }
    // The selection stays on its row and flavour when another flavour's column comes in.
    doc->Flavours().SetChosen({"js", "python"});
    QTRY_VERIFY_WITH_TIMEOUT(doc->Flavours().Matrix().Columns() == 2 && !doc->Flavours().IsBusy(), kWaitMs);
    QCOMPARE(pane->MatrixView()->currentIndex().column(), 1);
    QCOMPARE(view->GroupTable()->horizontalHeaderItem(2)->text(), QStringLiteral("Python (re)"));
  }

  void findADifferenceShowsItAndAddsItAsATest() {
    CMainFrame frame;
    CKorvaneDoc* doc = frame.Doc();
    doc->Flavours().Pool().SetLauncher(&FakeFor);
    doc->Flavours().SetChosen({"js", "python"});
    // The fake reads "a." as the two characters; Korvane's dot takes any: "aa" sets them apart,
    // and no text shorter than two characters does.
    SetTexts(doc, QStringLiteral("a."), QStringLiteral("banana"));
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.OnCommand(ID_VIEW_FLAVOURS);
    CFlavoursPane* pane = PaneOf(frame);
    QTRY_VERIFY_WITH_TIMEOUT(Settled(doc, QStringLiteral("a.")), kWaitMs);
    pane->SelectCell(0, 1);  // Python's column
    QVERIFY(pane->AddAsTestButton()->isHidden());
    pane->FindDifferenceButton()->click();
    QCOMPARE(pane->FindDifferenceButton()->text(), QStringLiteral("Stop"));
    QTRY_VERIFY_WITH_TIMEOUT(!pane->IsFindingDifference(), kWaitMs);
    QCOMPARE(pane->FindDifferenceButton()->text(), QStringLiteral("Find a Difference"));
    const QString line = pane->DifferenceLabel()->text();
    QVERIFY2(line.startsWith(QStringLiteral("Python (re) differs from Korvane on \u201C")), qPrintable(line));
    QVERIFY2(line.contains(QStringLiteral("Korvane finds 0-2, it finds no match")), qPrintable(line));
    // Side by side: the text found, Korvane's match beside the flavour's none.
    QCOMPARE(pane->CompareView()->TextView()->document()->toPlainText().size(), 2);
    QCOMPARE(pane->CompareView()->GroupTable()->horizontalHeaderItem(2)->text(), QStringLiteral("Python (re)"));
    QCOMPARE(pane->CompareView()->DifferingRows(), (QList<int>{0}));
    // One click makes it a test, expecting what Korvane finds, and a row of the matrix.
    QVERIFY(!pane->AddAsTestButton()->isHidden());
    const int before = doc->Tests().Count();
    pane->AddAsTestButton()->click();
    QCOMPARE(doc->Tests().Count(), before + 1);
    const TestCase added = doc->Tests().All()[static_cast<size_t>(before)];
    QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t*>(added.name.data()), static_cast<qsizetype>(added.name.size())),
             QStringLiteral("Differs in Python (re)"));
    QCOMPARE(added.expectation, static_cast<int>(EXPECT_MATCH));
    QVERIFY(pane->AddAsTestButton()->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(doc->Flavours().Matrix().Rows() == before + 2 && !doc->Flavours().IsBusy(), kWaitMs);
    QCOMPARE(doc->Flavours().Matrix().Cell(before + 1, 1).cell.status, CellStatus::Differs);

    // A pattern both read alike: none is found among the texts tried.
    SetTexts(doc, QStringLiteral("an"), QStringLiteral("banana"));
    QTRY_VERIFY_WITH_TIMEOUT(Settled(doc, QStringLiteral("an")), kWaitMs);
    pane->FindDifferenceButton()->click();
    QTRY_VERIFY_WITH_TIMEOUT(!pane->IsFindingDifference(), kWaitMs);
    QVERIFY2(pane->DifferenceLabel()->text().startsWith(QStringLiteral("No difference with Python (re) on the ")),
             qPrintable(pane->DifferenceLabel()->text()));
    QVERIFY(pane->AddAsTestButton()->isHidden());
  }

  void findADifferenceCanBeStopped() {
    CMainFrame frame;
    CKorvaneDoc* doc = frame.Doc();
    // The fake never answers a text "HANG"; the search's own runner hangs on it until stopped.
    doc->Flavours().Pool().SetLauncher(&HangingFakeFor);
    doc->Flavours().SetChosen({"python"});
    SetTexts(doc, QStringLiteral("A"), QStringLiteral("HANG"));
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.OnCommand(ID_VIEW_FLAVOURS);
    CFlavoursPane* pane = PaneOf(frame);
    QTRY_VERIFY_WITH_TIMEOUT(Settled(doc, QStringLiteral("A")), kWaitMs);
    pane->FindDifferenceButton()->click();
    QVERIFY(pane->IsFindingDifference());
    QTest::qWait(100);
    pane->FindDifferenceButton()->click();  // "Stop"
    QVERIFY(!pane->IsFindingDifference());
    QCOMPARE(pane->FindDifferenceButton()->text(), QStringLiteral("Find a Difference"));
    QCOMPARE(pane->DifferenceLabel()->text(), QStringLiteral("Stopped looking for a difference with Python (re)."));
    QVERIFY(pane->AddAsTestButton()->isHidden());
  }

  void aTimedOutCellLeadsToTheBacktrackingPane() {
    CMainFrame frame;
    CKorvaneDoc* doc = frame.Doc();
    // The fake never answers a subject "HANG": the watchdog times it out.
    doc->Flavours().Pool().SetLauncher(&HangingFakeFor);
    CFlavourRunner::Limits limits;
    limits.slackMs = 300;
    doc->Flavours().Pool().SetRunnerLimits(limits);
    doc->Flavours().SetChosen({"python"});
    SetTexts(doc, QStringLiteral("H"), QStringLiteral("HANG"));
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.OnCommand(ID_VIEW_FLAVOURS);
    CFlavoursPane* pane = PaneOf(frame);
    QTRY_VERIFY_WITH_TIMEOUT(Settled(doc, QStringLiteral("H")), kWaitMs);
    QCOMPARE(doc->Flavours().Matrix().Cell(0, 0).cell.status, CellStatus::Timeout);
    CSizingControlBarG* backtrack = frame.SizingBar(BAR_BACKTRACK);
    QVERIFY(backtrack->isHidden());
    QSignalSpy asked(pane, &CFlavoursPane::ShowBacktracking);
    emit pane->MatrixView()->activated(pane->Model()->index(0, 0));
    QCOMPARE(asked.count(), 1);
    QTRY_VERIFY(backtrack->isVisible());
    // Activated again, the pane in front stays.
    emit pane->MatrixView()->activated(pane->Model()->index(0, 0));
    QTest::qWait(50);
    QVERIFY(backtrack->isVisible());
  }

  void theMenuPicksTheColumnsAndMarksTheDocumentModified() {
    CMainFrame frame;
    CKorvaneDoc* doc = frame.Doc();
    doc->Flavours().Pool().SetLauncher(&FakeFor);
    doc->Flavours().SetChosen({"python"});
    doc->SetModified(false);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.OnCommand(ID_VIEW_FLAVOURS);
    CFlavoursPane* pane = PaneOf(frame);
    pane->FillChoiceMenu();
    QList<QAction*> actions = pane->ChoiceMenu()->actions();
    // Last, the Interpreters menu: each flavour that runs on one, with the program it uses.
    QMenu* interpreters = actions.last()->menu();
    QVERIFY(interpreters);
    QCOMPARE(actions.last()->text(), QStringLiteral("Interpreters"));
    QStringList programs;
    for (QAction* a : interpreters->actions()) programs << a->text();
    QVERIFY2(programs.contains(QStringLiteral("Python (re): python3...")), qPrintable(programs.join(QLatin1Char('|'))));
    QVERIFY(!programs.join(QLatin1Char('|')).contains(QStringLiteral("PCRE2")));  // a native runner
    actions.removeLast();
    QCOMPARE(actions.size(), static_cast<int>(AllFlavours().size()) - 1);  // all but Korvane
    QAction* python = nullptr;
    QAction* js = nullptr;
    for (QAction* a : actions) {
      if (a->data().toString() == QLatin1String("python")) python = a;
      if (a->data().toString() == QLatin1String("js")) js = a;
      QVERIFY(a->isCheckable());
    }
    QVERIFY(python && js);
    QVERIFY(python->isChecked());
    QVERIFY(!js->isChecked());
    js->trigger();
    QCOMPARE(doc->Flavours().Chosen(), (QStringList{"js", "python"}));
    QVERIFY(doc->IsModified());
    QTRY_COMPARE(pane->Model()->columnCount(), 2);
    python->trigger();
    QCOMPARE(doc->Flavours().Chosen(), QStringList{"js"});
  }

  void eachStatusHasItsOwnReadableColour() {
    const CellStatus all[] = {CellStatus::Same, CellStatus::Differs, CellStatus::Error, CellStatus::Timeout,
                              CellStatus::NotInstalled, CellStatus::Unrepresentable};
    for (bool dark : {false, true}) {
      QSet<QRgb> seen;
      for (CellStatus s : all) {
        FlavourMatrixCell cell;
        cell.waiting = false;
        cell.cell.status = s;
        const QColor c = CFlavourMatrixModel::CellColour(cell, dark);
        QVERIFY(c.isValid());
        seen.insert(c.rgb());
        // The words are drawn near black (light) or near white (dark): the fill must keep away.
        QVERIFY2(dark ? c.lightness() < 120 : c.lightness() > 170, qPrintable(CFlavourMatrixModel::CellText(cell)));
        QVERIFY(!CFlavourMatrixModel::CellText(cell).isEmpty());
      }
      QCOMPARE(seen.size(), 6);
    }
    FlavourMatrixCell waiting;
    QCOMPARE(CFlavourMatrixModel::CellText(waiting), QStringLiteral("..."));
    QVERIFY(!CFlavourMatrixModel::CellColour(waiting, false).isValid());
  }
};

int main(int argc, char** argv) { return RunWithPrivateSettings<FlavoursPaneTest>(argc, argv, "flavours-pane"); }

#include "flavours_pane_test.moc"
