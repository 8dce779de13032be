// CClrListCtrl: row, cell and column colour tables and their drawing.
#include "app/ui/editor/clr_list_ctrl.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

QColor ToColor(int rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

class CClrListDelegate : public QStyledItemDelegate {
 public:
  explicit CClrListDelegate(CClrListCtrl* list) : QStyledItemDelegate(list), m_pList(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    int text = -1, back = -1;
    if (!m_pList->CellColor(index.row(), index.column(), &text, &back)) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    if (!(opt.state & QStyle::State_Selected)) {
      if (back >= 0) opt.backgroundBrush = QBrush(ToColor(back));
      if (text >= 0) opt.palette.setColor(QPalette::Text, ToColor(text));
    }
    QStyle* style = opt.widget ? opt.widget->style() : m_pList->style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
  }

 private:
  CClrListCtrl* m_pList;
};

bool ByKey(const CClrListCtrl::ColorEntry& a, long long key) { return a.key < key; }

}  // namespace

CClrListCtrl::CClrListCtrl(QWidget* parent) : QTreeWidget(parent) {
  setItemDelegate(new CClrListDelegate(this));
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setAllColumnsShowFocus(true);
  header()->setStretchLastSection(false);
}

void CClrListCtrl::Put(std::vector<ColorEntry>& table, long long key, int text, int back) {
  auto it = std::lower_bound(table.begin(), table.end(), key, ByKey);
  if (it != table.end() && it->key == key)
    *it = ColorEntry{key, text, back};
  else
    table.insert(it, ColorEntry{key, text, back});
}

const CClrListCtrl::ColorEntry* CClrListCtrl::Find(const std::vector<ColorEntry>& table, long long key) {
  auto it = std::lower_bound(table.begin(), table.end(), key, ByKey);
  return (it != table.end() && it->key == key) ? &*it : nullptr;
}

void CClrListCtrl::SetRowColor(int row, int text, int back) {
  Put(m_rows, row, text, back);
  viewport()->update();
}

void CClrListCtrl::SetCellColor(int row, int column, int text, int back) {
  Put(m_cells, (static_cast<long long>(row) << 32) | static_cast<unsigned>(column), text, back);
  viewport()->update();
}

void CClrListCtrl::SetColumnColor(int column, int text, int back) {
  Put(m_columns, column, text, back);
  viewport()->update();
}

void CClrListCtrl::ClearColors() {
  m_rows.clear();
  m_cells.clear();
  m_columns.clear();
  viewport()->update();
}

bool CClrListCtrl::CellColor(int row, int column, int* text, int* back) const {
  const ColorEntry* e = Find(m_rows, row);
  if (!e && !m_cells.empty()) e = Find(m_cells, (static_cast<long long>(row) << 32) | static_cast<unsigned>(column));
  if (!e && !m_columns.empty()) e = Find(m_columns, column);
  if (!e) return false;
  *text = e->text;
  *back = e->back;
  return true;
}

int CClrListCtrl::SelectedRow() const {
  QList<QTreeWidgetItem*> sel = selectedItems();
  return sel.isEmpty() ? -1 : indexOfTopLevelItem(sel.front());
}
