// CTestCaseEditor: the editor below the Tests pane's list. It shows one test case (its subject,
// whether it runs with its own options and which, its expectation) and reports every change the
// user makes; the pane writes the edited test back to the document. The expected matches and
// split pieces are edited as text, one match or piece per line:
//   match list:   "start-end", then for each group a tab and its capture;
//   split pieces: the piece itself;
// in both, a backslash escapes a line break (\n), a tab (\t), a carriage return (\r) and itself
// (\\), so that any text fits on one line. The replaced text is edited as it is.
//
// A subject longer than kEditableLength is shown cut short and read-only: a text box holding
// tens of megabytes would freeze the window, and such subjects come from files, not typing.
//
// An expected-matches line that does not parse never costs the other fields their edits: Apply
// writes everything else and keeps the test's own matches, and the pane marks the line where it
// stands (MarkBadLine: the line's background, and a note under the box saying what is wrong).
// An expectation number this program does not know (from a newer file) is kept as long as the
// user does not pick a kind.
//
// Covered by app/ui/tests/test_pane_test.cpp.
#ifndef KORVANE_TEST_CASE_EDITOR_H
#define KORVANE_TEST_CASE_EDITOR_H

#include <QString>
#include <QWidget>
#include <vector>

#include "app/document/testing/test_cases.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QToolButton;

class CTestCaseEditor : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kEditableLength = 1 << 20;  // UTF-16 code units
  static constexpr int kShownLength = 4096;        // shown of a longer subject

  explicit CTestCaseEditor(QWidget* parent = nullptr);

  // Shows `test` (null: nothing to edit, every field disabled). Emits nothing.
  void Show(const TestCase* test);
  bool HasTest() const { return m_bHasTest; }
  // Writes the fields into `test`: everything the editor shows, leaving the rest (the name, a
  // subject shown cut short) as it is. Expected matches that do not parse are not written (the
  // test keeps its own): false then, with the first such line (from 0) in `badLine`, which is
  // -1 otherwise. Every other field is written in either case.
  bool Apply(TestCase* test, int* badLine = nullptr) const;
  // Marks line `line` (from 0) of the expected box as one that does not parse, with the note
  // under the box; -1 takes the mark away. Show takes it away too.
  void MarkBadLine(int line);
  int MarkedLine() const { return m_nBadLine; }
  // Puts `text` into the expected box as if the user had typed it, without reporting an edit
  // (the pane gives back an edit that was left with a line that does not parse).
  void RestoreExpected(const QString& text);

  // The text forms of the expected matches and split pieces (see the note at the top).
  static QString FormatMatches(const std::vector<TestMatch>& matches, bool withGroups);
  // False when a line is not "start-end[\tgroup...]" with 0 <= start <= end; the first such
  // line (from 0) then goes to `badLine`.
  static bool ParseMatches(const QString& text, bool withGroups, std::vector<TestMatch>* matches,
                           int* badLine = nullptr);
  static QString FormatPieces(const std::vector<TestText>& pieces);
  static std::vector<TestText> ParsePieces(const QString& text);
  static QString Escape(const QString& text);
  static QString Unescape(const QString& text);

  // The fields, for tests and the pane.
  QPlainTextEdit* SubjectBox() const { return m_pSubject; }
  QPlainTextEdit* ExpectedBox() const { return m_pExpected; }
  QComboBox* KindBox() const { return m_pKind; }
  QCheckBox* OwnOptionsBox() const { return m_pOwnOptions; }
  QCheckBox* OptionBox(int index) const { return m_options[index]; }
  QCheckBox* WithGroupsBox() const { return m_pWithGroups; }
  // "Must pass in": a menu of every other flavour, the test's chosen ones checked; its text
  // names them ("Korvane only" without any).
  QToolButton* MustPassInButton() const { return m_pMustPassIn; }
  QLabel* ProblemLabel() const { return m_pProblem; }
  static constexpr int kOptionCount = 6;
  static int OptionFlag(int index);

 signals:
  // The user changed a field.
  void Edited();

 protected:
  // Keeps the "Must pass in" menu open while its flavours are ticked.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateEnabled();
  void OnFieldChanged();
  // The chosen flavours' names from the menu, in table order, and the button's text for them.
  std::vector<TestText> ChosenFlavours() const;
  void ShowChosenFlavours();

  QLabel* m_pSubjectLabel = nullptr;
  QPlainTextEdit* m_pSubject = nullptr;
  QCheckBox* m_pOwnOptions = nullptr;
  QCheckBox* m_options[kOptionCount] = {};
  QComboBox* m_pKind = nullptr;
  QCheckBox* m_pWithGroups = nullptr;
  QToolButton* m_pMustPassIn = nullptr;  // its menu's actions carry the flavour names as data
  QLabel* m_pExpectedLabel = nullptr;
  QPlainTextEdit* m_pExpected = nullptr;
  QLabel* m_pProblem = nullptr;  // what is wrong with the marked line; hidden without one
  int m_nBadLine = -1;           // the marked line of the expected box, or -1
  bool m_bKeepKind = false;      // the test's expectation is unknown here and the user left it
  bool m_bHasTest = false;
  bool m_bSubjectCut = false;  // the subject box holds only the start of the subject
  int m_nBusy = 0;             // filling the fields: their change signals are not edits
};

#endif
