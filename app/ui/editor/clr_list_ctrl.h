// CClrListCtrl / CClrListView: a report-mode list (a QTreeWidget without root decoration) that
// can colour rows, cells and columns from three sorted tables searched by bisection:
// (row, text, background), ((row, column), text, background) and (column, text, background).
// A row entry wins over a cell entry, a cell entry over a column entry. Colours are RGB ints
// (0xRRGGBB, ClrRgb in clr_tree_ctrl.h); setting a row colour with -1 takes the system's
// window-text and window colours.
//
// Covered by app/ui/editor/tests/tree_group_view_test.cpp.
#ifndef KORVANE_CLR_LIST_CTRL_H
#define KORVANE_CLR_LIST_CTRL_H

#include <QTreeWidget>
#include <vector>

#include "app/ui/editor/clr_tree_ctrl.h"

class CClrListCtrl : public QTreeWidget {
  Q_OBJECT

 public:
  explicit CClrListCtrl(QWidget* parent = nullptr);

  struct ColorEntry {
    long long key;  // row, (row << 32 | column) or column
    int text;
    int back;
  };

  void SetRowColor(int row, int text, int back);
  void SetCellColor(int row, int column, int text, int back);
  void SetColumnColor(int column, int text, int back);
  void ClearColors();
  // The colours a cell is drawn with; false when no table holds it.
  bool CellColor(int row, int column, int* text, int* back) const;

  // Convenience for report lists: rows as top-level items.
  int RowCount() const { return topLevelItemCount(); }
  QTreeWidgetItem* Row(int row) const { return topLevelItem(row); }
  int SelectedRow() const;

 private:
  static void Put(std::vector<ColorEntry>& table, long long key, int text, int back);
  static const ColorEntry* Find(const std::vector<ColorEntry>& table, long long key);

  std::vector<ColorEntry> m_rows, m_cells, m_columns;
};

class CClrListView : public CClrListCtrl {
  Q_OBJECT

 public:
  explicit CClrListView(QWidget* parent = nullptr) : CClrListCtrl(parent) {}
  CClrListCtrl& GetListCtrl() { return *this; }
};

#endif
