// The one modeless find/replace dialog of all text boxes. It remembers the last search string
// and the last match-case, whole-word and direction choices for the whole program, and acts on
// the box that opened it (a box that goes away simply leaves the dialog without a target).
//
// Covered by app/ui/editor/tests/rich_edit_view_test.cpp.
#ifndef KORVANE_FIND_REPLACE_DIALOG_H
#define KORVANE_FIND_REPLACE_DIALOG_H

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class CRichEdit2WView;

class CFindReplaceDialog : public QDialog {
  Q_OBJECT

 public:
  // Opens the dialog for `target` in the find form or the replace form: brought to the front
  // when already open in that form, closed and reopened when open in the other form.
  static CFindReplaceDialog* Open(CRichEdit2WView* target, bool replaceForm);
  // The open dialog, or null.
  static CFindReplaceDialog* Current();

  bool IsReplaceForm() const { return m_bReplaceForm; }
  CRichEdit2WView* Target() const { return m_pTarget; }
  QString FindWhat() const;
  QString ReplaceWith() const;
  bool MatchCase() const;
  bool WholeWord() const;
  bool SearchDown() const;
  void SetFindWhat(const QString& text);
  void SetReplaceWith(const QString& text);
  void SetOptions(bool matchCase, bool wholeWord, bool down);

  // The buttons' actions (public so that tests can drive the dialog without clicks).
  bool OnFindNext();
  bool OnReplace();
  int OnReplaceAll();

  // The remembered choices of the last search.
  static QString LastSearch();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  CFindReplaceDialog(CRichEdit2WView* target, bool replaceForm);
  void Remember();
  void UpdateButtons();
  void NotFound();

  bool m_bReplaceForm;
  QPointer<CRichEdit2WView> m_pTarget;
  QLineEdit* m_pFind = nullptr;
  QLineEdit* m_pReplace = nullptr;
  QCheckBox* m_pMatchCase = nullptr;
  QCheckBox* m_pWholeWord = nullptr;
  QRadioButton* m_pUp = nullptr;
  QRadioButton* m_pDown = nullptr;
  QPushButton* m_pFindNext = nullptr;
  QPushButton* m_pReplaceBtn = nullptr;
  QPushButton* m_pReplaceAllBtn = nullptr;
  QLabel* m_pStatus = nullptr;
};

#endif
