// The condition of one breakpoint: stop at every entry, only at one text position, or only at
// the N-th entry since the search began. The dialog only edits the two values; the frame reads
// them back and gives them to the document's breakpoint list.
#ifndef KORVANE_BREAKPOINT_CONDITION_DIALOG_H
#define KORVANE_BREAKPOINT_CONDITION_DIALOG_H

#include <QDialog>

class QComboBox;
class QSpinBox;

class CBreakpointConditionDialog : public QDialog {
  Q_OBJECT

 public:
  // `condition` is a BreakCondition; an unknown one shows as "every time".
  CBreakpointConditionDialog(int condition, int value, QWidget* parent = nullptr);

  int Condition() const;
  // The position or entry number; 0 for "every time".
  int Value() const;
  // Chooses a condition and value as the user would (tests).
  void Choose(int condition, int value);

 private:
  void UpdateValueRange();

  QComboBox* m_pCondition = nullptr;
  QSpinBox* m_pValue = nullptr;
};

#endif
