// The "Create Code" window: an engine list, a function list and an editable, coloured view of
// the sample code that codegen.h generates, with "&Font...", "Copy &All", "&Save As..." and a
// context menu. The lists and the code share a splitter; the function names (whole sentences)
// wrap at the list's width. Modal; changes nothing in korvane. Covered by tests/plugin_test.cpp.
#ifndef FENNIC_CODE_DIALOG_H
#define FENNIC_CODE_DIALOG_H

#include <QDialog>
#include <QFont>
#include <string>

#include "plugins/fennic/codegen.h"

class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSplitter;

namespace fennic {

// Sets the current language, keeps copies of the texts and shows the window modally. Does
// nothing without a QApplication (no widgets can be shown).
void ShowCreateCode(int language, const std::u16string& pattern, const std::u16string& text,
                    const std::u16string& replaceTo, int flags);

// The saved-font text "height/weight/italic/charset/face/" and back. ParseSavedFont returns
// false when not even the height can be read.
bool ParseSavedFont(const QString& saved, QFont* font);
QString FormatSavedFont(const QFont& font);

class CCreateCodeDialog : public QDialog {
  Q_OBJECT
 public:
  CCreateCodeDialog(int language, const std::u16string& pattern, const std::u16string& text,
                    const std::u16string& replaceTo, int flags, QWidget* parent = nullptr);

  QComboBox* EngineList() const { return m_pEngines; }
  QListWidget* FunctionList() const { return m_pFunctions; }
  QPlainTextEdit* CodeView() const { return m_pView; }

  // The buttons' work, callable directly.
  void CopyAll();
  bool SaveTo(const QString& path) const;

 private:
  void FillEngines();
  void FitLists();
  void OnEngineChanged(int index);
  void OnFunctionChanged(int row);
  void Generate();
  void Colour();
  void ChooseFont();
  void SaveAs();
  void ShowMenu(const QPoint& global);

  int m_nLanguage;
  std::u16string m_pattern, m_text, m_replaceTo;
  int m_nFlags;
  QComboBox* m_pEngines = nullptr;
  QListWidget* m_pFunctions = nullptr;
  QPlainTextEdit* m_pView = nullptr;
  QSplitter* m_pSplitter = nullptr;
  bool m_bFilling = false;
};

}  // namespace fennic

#endif
