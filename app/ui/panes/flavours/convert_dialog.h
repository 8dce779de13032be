// CConvertDialog: Convert to Flavour. The pattern rewritten for the chosen flavour's engine
// (flavour_convert.h), then run there and in Korvane on the text box and on every test that uses
// the workspace's options, in the background with runners of its own. The dialog offers the
// conversion (the Copy button) only once the check found the same matches and groups on every
// text; otherwise it shows where it differs, or, for a pattern with no equivalent, why.
//
// Covered by app/ui/panes/flavours/tests/flavours_pane_test.cpp.
#ifndef KORVANE_CONVERT_DIALOG_H
#define KORVANE_CONVERT_DIALOG_H

#include <QDialog>
#include <QStringList>

#include "app/document/flavours/conversion_check.h"

class CFlavourPool;
class CKorvaneDoc;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CConvertDialog : public QDialog {
  Q_OBJECT

 public:
  CConvertDialog(CKorvaneDoc* doc, const QString& flavour, QWidget* parent = nullptr);

  QComboBox* FlavourBox() const { return m_pFlavour; }
  QLineEdit* PatternEdit() const { return m_pPattern; }
  QLabel* StatusLabel() const { return m_pStatus; }
  QPushButton* CopyButton() const { return m_pCopy; }
  bool IsChecking() const { return m_pRun->IsRunning(); }

  // Converts for the flavour chosen in the box and starts the check.
  void Convert();

 private:
  void OnChecked(const ConversionCheck& check);

  CKorvaneDoc* m_pDoc;
  QComboBox* m_pFlavour = nullptr;
  QLineEdit* m_pPattern = nullptr;
  QLabel* m_pStatus = nullptr;
  QPushButton* m_pCopy = nullptr;
  CFlavourPool* m_pPool = nullptr;  // a child: runners of the dialog's own
  CConversionRun* m_pRun = nullptr;
  FlavourConversion m_conversion;
  QStringList m_rowNames;  // of the subjects checked
  int m_nOwnOptions = 0;   // tests left out: they run with options of their own
};

#endif
