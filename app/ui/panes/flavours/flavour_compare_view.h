// CFlavourCompareView: one cell of the flavour matrix side by side, below the matrix in the
// Flavours pane. Left, the row's text with Korvane's matches shaded and the flavour's matches
// underlined (an empty match is a thin bar in the engine's colour; a line break shows as a
// return sign), so that where the two engines part is seen at a glance. Right, a table with a
// row per match and per group of it and a column per engine (Korvane, the flavour), each span
// with the text it took; rows whose two values differ are highlighted.
//
// Long texts are shown up to kMaxTextShown code units and kMaxMatchesShown matches: the view is
// for looking, the matrix already said whether they differ.
//
// Covered by app/ui/panes/flavours/tests/flavours_pane_test.cpp.
#ifndef KORVANE_FLAVOUR_COMPARE_VIEW_H
#define KORVANE_FLAVOUR_COMPARE_VIEW_H

#include <QWidget>

#include "app/document/flavours/flavour_session.h"

class QLabel;
class QSplitter;
class QTableWidget;
class QTextEdit;

class CFlavourCompareView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMaxTextShown = 20000;
  static constexpr int kMaxMatchesShown = 200;

  explicit CFlavourCompareView(QWidget* parent = nullptr);

  // Shows cell (row, column) of `matrix`; an index outside it shows the prompt to pick one.
  void ShowCell(const CFlavourMatrix& matrix, int row, int column);
  void Clear();

  QTextEdit* TextView() const { return m_pText; }
  QTableWidget* GroupTable() const { return m_pGroups; }
  QLabel* Legend() const { return m_pLegend; }
  // The rows of the group table that differ between the two engines.
  QList<int> DifferingRows() const { return m_differing; }

  // The colours of the two engines' marks.
  static QColor KorvaneColour(bool dark);
  static QColor FlavourColour(bool dark);

 private:
  void FillText(const QString& text, const SubjectAnswer* korvane, const SubjectAnswer* flavour);
  void FillGroups(const CFlavourMatrix& matrix, int row, int column);

  QLabel* m_pLegend = nullptr;
  QSplitter* m_pSplitter = nullptr;
  QTextEdit* m_pText = nullptr;
  QTableWidget* m_pGroups = nullptr;
  QList<int> m_differing;
};

#endif
