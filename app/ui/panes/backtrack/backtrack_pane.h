// The Backtracking pane: after every change of the pattern, its options or the tests it asks the
// document's backtracking session (CKorvaneDoc::Backtrack(), backtrack_session.h) for an
// analysis, which runs on the session's worker (the newest request wins, an older one is
// stopped), and the pane shows the verdict, the repeats responsible with where each stands in the pattern (a
// link that selects it there; the pattern box marks them all), the witness with a command that
// loads it pumped to a chosen n into the text box, and a chart of the measured steps against n,
// drawn in the pane's palette, only when there is a measured blow-up to show. Then the session
// tries the standard rewrites (backtrack_fixes.h) on the texts it chooses: the proven ones are
// listed with their new verdict and an "Apply" button, then those that change the meaning, each
// with a text on which it does and an "Apply anyway" button. Either hands the rewritten pattern
// on through ApplyPattern() (the frame makes it an undoable edit of the pattern box); a proven
// one only once the session's worker has checked it on the text box as it is then (the user may
// have typed since), and when the check fails the rewrites are looked for again. After a rewrite
// that changes the meaning, the verdict of the new pattern comes with a note that says so.
//
// Everything sits in a scroll area: the pane asks for little room, so opening it never makes
// the window grow. Where the pane is wide the chart stands right of the words.
//
// The pane only asks and shows what the session took (HINT_BACKTRACK): it never waits for the
// analysis. Covered by app/ui/panes/backtrack/tests/backtrack_pane_test.cpp.
#ifndef KORVANE_BACKTRACK_PANE_H
#define KORVANE_BACKTRACK_PANE_H

#include <QString>
#include <QWidget>
#include <vector>

#include "app/document/backtrack/backtrack_analysis.h"
#include "app/document/backtrack/backtrack_fixes.h"
#include "app/document/core/doc_ui.h"

class CKorvaneDoc;
class QLabel;
class QPushButton;
class QSpinBox;
class QBoxLayout;
class QChart;
class QChartView;

class CBacktrackPane : public QWidget, public CDocView {
  Q_OBJECT

 public:
  explicit CBacktrackPane(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CBacktrackPane() override;

  void OnUpdate(CDocView* sender, int hint) override;

  // The report on show and the texts of its labels (for tests and the screenshot script).
  const backtrack::Report& ShownReport() const { return m_report; }
  QString VerdictLabel() const;
  QString WitnessLabel() const;
  bool IsAnalysing() const { return m_analysing; }
  // Loads the witness pumped `n` times into the text box.
  void LoadWitness(int n);
  QSpinBox* PumpBox() const { return m_pPump; }
  // The proven rewrites on show, and whether they are still being looked for.
  const std::vector<backtrack::Fix>& ShownFixes() const { return m_fixes; }
  bool IsLookingForFixes() const { return m_lookingForFixes; }
  // What the row of fix `i` says.
  QString FixLabel(int i) const;
  // The note under the verdict after a rewrite that changes the meaning was applied (else empty).
  QString AppliedNote() const;
  // The text of the line naming the repeats responsible.
  QString RepeatsLabel() const;
  // Selects the repeat responsible number `i` in the pattern (as its link does).
  void SelectRepeat(int i);
  // Hands the rewritten pattern of fix `i` on (as its "Apply" button does): at once, or for a
  // proven fix and a text box that is not empty once the session's check has come back.
  void ApplyFix(int i);

 signals:
  void ReportShown();
  void FixesShown();
  // A rewritten pattern the user chose to apply.
  void ApplyPattern(const QString& pattern);

 private:
  void Request();
  // Shows what the session took for its newest request that is not on show yet, and acts on
  // the answer of a check before Apply.
  void TakeFromSession();
  void Show(const backtrack::Report& report);
  void ShowChart(const backtrack::Finding* f);
  void StyleChart(QChart* chart) const;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void ShowFixes(const std::vector<backtrack::Fix>& fixes);
  void ClearFixRows();
  QString VerdictText(const backtrack::Report& report) const;

  CKorvaneDoc* m_pDoc;
  // The session's requests whose report and rewrites are on show (0: none).
  unsigned m_nShownReport = 0;
  unsigned m_nShownFixes = 0;
  bool m_analysing = false;
  backtrack::Report m_report;
  std::u16string m_pattern;
  QLabel* m_pVerdict;
  QLabel* m_pNote;         // after a rewrite that changes the meaning was applied
  QLabel* m_pRepeats;
  QLabel* m_pWitness;
  QSpinBox* m_pPump;
  QPushButton* m_pLoad;
  QChartView* m_pChart;
  QBoxLayout* m_pColumns;  // words and chart: side by side, or one under the other
  QWidget* m_pFixBox;      // the heading and one row per fix
  QLabel* m_pFixHeading;
  std::vector<backtrack::Fix> m_fixes;
  std::vector<QWidget*> m_fixRows;
  bool m_lookingForFixes = false;
  bool m_staleNote = false;  // a fix was refused at Apply: say so until the new list is shown
  // The pattern a rewrite that changes the meaning made, and how it does: said under the
  // verdict while that pattern stands.
  std::u16string m_changedPattern;
  QString m_changedNote;
};

#endif
