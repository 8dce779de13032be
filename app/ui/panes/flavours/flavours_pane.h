// CFlavoursPane: the view of the "Flavours" bar: the pattern in the real engines of other
// languages, beside Korvane's own. On top the summary of the newest edit ("compiles in 9 of 11
// flavours, same results in 6") and the "Flavours..." button, whose menu picks the columns (every
// flavour of the table, those whose runtime is missing marked); then the matrix (the text box and
// every test down, the chosen flavours across, CFlavourMatrixModel); below it the selected cell
// side by side (CFlavourCompareView).
//
// The pane asks nothing itself: it makes the document's flavour session (doc->Flavours()) active
// while it is shown, and the session asks the runners after each edit, in the background, the
// newest edit winning. A hidden pane (closed, or a tab behind another) costs nothing.
//
// Covered by app/ui/panes/flavours/tests/flavours_pane_test.cpp.
#ifndef KORVANE_FLAVOURS_PANE_H
#define KORVANE_FLAVOURS_PANE_H

#include <QStringList>
#include <QWidget>

class CConvertDialog;
class CDifferenceSearch;
class CFlavourCompareView;
class CFlavourPool;
class CFlavourMatrixModel;
class CFlavourSession;
class CKorvaneDoc;
class QDockWidget;
class QLabel;
class QMenu;
class QSplitter;
class QTableView;
class QToolButton;

class CFlavoursPane : public QWidget {
  Q_OBJECT

 public:
  explicit CFlavoursPane(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CFlavoursPane() override;

  QLabel* SummaryLabel() const { return m_pSummary; }
  QToolButton* ChooseButton() const { return m_pChoose; }
  // The menu of flavours, filled afresh each time it opens (FillChoiceMenu).
  QMenu* ChoiceMenu() const { return m_pMenu; }
  void FillChoiceMenu();
  QTableView* MatrixView() const { return m_pMatrix; }
  CFlavourMatrixModel* Model() const { return m_pModel; }
  CFlavourCompareView* CompareView() const { return m_pCompare; }
  // Selects a cell of the matrix (and shows it side by side).
  void SelectCell(int row, int column);
  // Find a Difference: a short text on which the selected column's flavour (the first column's
  // when none is selected) and Korvane differ, looked for in the background with runners of its
  // own, so that the matrix's are not taken from it. When one is found it is shown side by side
  // and "Add as Test" makes it a test case (expecting what Korvane finds), which puts it in the
  // matrix as a row of its own.
  QToolButton* FindDifferenceButton() const { return m_pFind; }
  QLabel* DifferenceLabel() const { return m_pFound; }
  QToolButton* AddAsTestButton() const { return m_pAddTest; }
  void FindDifference();
  bool IsFindingDifference() const;
  void AddDifferenceAsTest();
  // Convert to Flavour for the selected column's flavour (the first convertible column's when
  // none is selected), or for `flavour` when given: a dialog of its own, which it returns.
  QToolButton* ConvertButton() const { return m_pConvert; }
  CConvertDialog* OpenConvert(const QString& flavour = QString());

 signals:
  // A timed-out cell was activated (double-click, Enter): the Backtracking pane tells why.
  void ShowBacktracking();


 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnMatrixChanged();
  void OnReshaped();
  void ShowSelectedCell();
  void ToggleFlavour(const QString& flavour, bool on);
  // Asks for the program that runs a flavour's runner (the Interpreters menu) and applies it.
  void AskInterpreter(const QString& flavour);
  // The session works while the pane can be seen: shown, and its tab in front.
  void UpdateActive();
  void FitMatrixHeight();
  void OnDifferenceFinished();
  void ShowMatrixMenu(const QPoint& at);

  CKorvaneDoc* m_pDoc;
  CFlavourSession* m_pSession;  // the document's
  QDockWidget* m_pDock = nullptr;  // the bar holding the pane, found when first shown
  QLabel* m_pSummary = nullptr;
  QToolButton* m_pChoose = nullptr;
  QMenu* m_pMenu = nullptr;
  QSplitter* m_pSplitter = nullptr;
  QTableView* m_pMatrix = nullptr;
  CFlavourMatrixModel* m_pModel = nullptr;
  CFlavourCompareView* m_pCompare = nullptr;
  QToolButton* m_pFind = nullptr;
  QToolButton* m_pConvert = nullptr;
  QLabel* m_pFound = nullptr;
  QToolButton* m_pAddTest = nullptr;
  CFlavourPool* m_pDifferencePool = nullptr;     // owned as a child while a search runs
  CDifferenceSearch* m_pDifference = nullptr;    // owned as a child
  QString m_differenceDisplay;                   // the flavour's shown name
  bool m_bShowingDifference = false;              // the side-by-side view shows the found text
  // The cell last selected, by row and flavour, kept across a reset of the model (a test added,
  // a flavour chosen).
  int m_nRow = -1;
  QString m_selectedFlavour;
  QStringList m_fittedHeaders;  // the header texts the columns were last fitted to
  bool m_bUserSized = false;    // the user moved the line between matrix and cell
};

#endif
