// CFontsDialog ("Fonts"): the fonts of the four text boxes. Four rows "Regex:", "Text:",
// "ReplaceTo:", "Result:", each with a sample field showing its face name in that font and a
// "Select..." button; "Select the same font" makes every box use the regex font (the other
// rows are then disabled and their samples show the regex font); "Restore Default" sets every
// font to "-14/700/0/0/Tahoma/" and ticks the check box; OK saves all four (the regex font
// copied to the others while the box is ticked); Cancel saves nothing. "Select..." opens the
// font dialog on the row's current font; a saved face that is not installed shows which system
// font stands in for it, and is saved again as it was unless the user chooses another.
//
// Covered by app/ui/tests/frame_test.cpp (font rows).
#ifndef KORVANE_FONTS_DIALOG_H
#define KORVANE_FONTS_DIALOG_H

#include <QDialog>
#include <functional>

#include "app/ui/shared/saved_font.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

class CFontsDialog : public QDialog {
  Q_OBJECT

 public:
  enum Row { ROW_REGEX = 0, ROW_TEXT = 1, ROW_REPLACE_TO = 2, ROW_RESULT = 3, ROW_COUNT = 4 };

  explicit CFontsDialog(QWidget* parent = nullptr);

  CSavedFont& Font(int row) { return m_fonts[row]; }
  bool IsSameFont() const;
  void SetSameFont(bool same);
  QLineEdit* Sample(int row) const { return m_samples[row]; }
  QPushButton* SelectButton(int row) const { return m_selects[row]; }
  QCheckBox* SameFontBox() const { return m_pSame; }

  // Steps of the dialog, also driven by the tests.
  void RestoreDefault();
  // "Select..." of a row with the font the user chose.
  void FontChosen(int row, const QFont& font);
  // OK: copies the regex font when the box is ticked, saves the four fonts.
  void SaveAll();

  // The text of a sample field: the face name, or for a face that is not installed the family
  // that stands in for it and the face.
  static QString SampleText(const CSavedFont& font);

  // Opens the font dialog for "Select..." on the row's current font (CSavedFont::DialogFont);
  // replaced by tests. Returns false when cancelled.
  std::function<bool(const QFont& initial, QFont* chosen)> chooseFont;

 private:
  void Refresh();

  CSavedFont m_fonts[ROW_COUNT];
  QLineEdit* m_samples[ROW_COUNT] = {};
  QPushButton* m_selects[ROW_COUNT] = {};
  QCheckBox* m_pSame = nullptr;
};

#endif
