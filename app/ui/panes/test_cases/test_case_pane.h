// CTestCasePane: the view of the "Tests" bar. The list of the document's test cases with each
// one's mark and reason (CTestCaseList) beside an editor of the selected test (CTestCaseEditor):
// side by side in a wide pane (docked at the bottom), one above the other in a tall one.
// It carries out the Tests menu and its own context menu (the frame routes both here wherever
// the focus is, with the same enable rules), and the Edit menu while it is the active view: in
// the list, Undo and Redo step through the test edits and Delete deletes the selected test; in
// the editor's text boxes they act on the text.
//
// Edits in the editor are written back to the document a moment after the last keystroke (and
// at once when the selection moves, a command runs or the editor loses the focus), so that a
// run is not started for every key; the document then runs the tests again and the marks
// follow. It reports the status bar's count ("Tests: 11 passed, 1 failed") through
// SummaryChanged.
//
// An edit whose expected matches do not parse is written without them (every other field
// goes to the document); the editor marks the line, and the test's row says "not applied"
// as an error instead of a result that no longer answers what the editor shows. Left for
// another test, the unparsed text is kept as a draft and given back when the test is selected
// again, as long as nothing else changed the test meanwhile.
//
// Below the list, the time limit of each test: the workspace's setting (saved with it).
//
// Covered by app/ui/tests/test_pane_test.cpp, app/ui/tests/frame_test.cpp (Tests menu)
// and app/ui/tests/context_menu_test.cpp.
#ifndef KORVANE_TEST_CASE_PANE_H
#define KORVANE_TEST_CASE_PANE_H

#include <QString>
#include <QWidget>
#include <functional>
#include <map>

#include "app/document/core/doc_ui.h"
#include "app/document/testing/test_cases.h"
#include "app/ui/shared/frame_services.h"

struct TestResult;
class CKorvaneDoc;
class CTestCaseEditor;
class CTestCaseList;
class QSpinBox;
class QSplitter;
class QTimer;

class CTestCasePane : public QWidget, public CDocView, public IViewCommands {
  Q_OBJECT

 public:
  // How long after the last change in the editor the test is written back.
  static constexpr int kEditDelayMs = 400;
  // The least room the list and the editor ask for (the editor scrolls below its own height).
  static constexpr int kMinPartSize = 40;

  explicit CTestCasePane(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CTestCasePane() override;

  void OnUpdate(CDocView* sender, int hint) override;
  QSplitter* Splitter() const { return m_pSplitter; }

  bool HandlesViewCommand(int id) const override;
  CommandState QueryViewCommand(int id) const override;
  bool OnViewCommand(int id) override;

  CTestCaseList* List() const { return m_pList; }
  CTestCaseEditor* Editor() const { return m_pEditor; }
  QSpinBox* TimeLimitBox() const { return m_pTimeLimit; }
  int SelectedTest() const;
  void SelectTest(int index);
  // The status bar's text for the current results (empty without tests).
  QString SummaryText() const { return m_summary; }
  // Writes a pending edit of the editor to the document now.
  void CommitEdit();

  // File dialogs, replaced by tests: the path chosen for opening (import) or saving (export)
  // with the given filter string id; empty when cancelled.
  using PathAsker = std::function<QString(bool save, int filterId)>;
  static void SetPathAsker(PathAsker asker);

 signals:
  void SummaryChanged(const QString& text);

 private:
  void resizeEvent(QResizeEvent* event) override;
  void Refill(bool tests);
  // Shows the selected test in the editor, unless the editor already shows it as the document
  // holds it (its own edit, just written back); `force` shows it afresh in any case.
  void ShowSelected(bool force = false);
  // The line of the expected matches that keeps test `row` from being applied, or -1.
  int NotAppliedLine(int row) const;
  // "Fails in Python (re): ..." for a test that passes here and fails in a flavour it must pass
  // in (by the newest check of the current tests), else empty.
  QString FlavourNote(int row, const TestResult& shown) const;
  void OnSelectionChanged();
  void OnRowMoved(int from, int to);
  void OnContextMenu(const QPoint& globalPos);
  QWidget* FocusedTextBox() const;
  QString AskPath(bool save, int filterId);

  void AddTest();
  void DuplicateTest();
  void RenameTest();
  void DeleteTest();
  void MoveTest(int delta);
  void LoadTest();
  void AcceptResult();
  void ImportFile();
  void ImportClips();
  // Adds imported tests at the end and selects the first; tells when there was nothing.
  void AddImported(const TestSet& tests);
  void ExportCsv();
  void RunOnAllSnapshots();

  CKorvaneDoc* m_pDoc;
  QSplitter* m_pSplitter = nullptr;
  CTestCaseList* m_pList = nullptr;      // owned by the splitter
  CTestCaseEditor* m_pEditor = nullptr;  // owned by the splitter
  QTimer* m_pEditTimer = nullptr;
  QSpinBox* m_pTimeLimit = nullptr;
  int m_nEditedTest = -1;  // the test the editor shows, or -1
  // An edit left behind with expected matches that do not parse, by test row: the text, its
  // first bad line, and the test as the document held it then (a test changed since, or a row
  // that now holds another test, drops the draft).
  struct Draft {
    QString expected;
    int badLine = -1;
    TestCase test;
  };
  std::map<int, Draft> m_drafts;
  QString m_summary;
  int m_nBusy = 0;  // refilling the list: its selection signals are not the user's
};

#endif
