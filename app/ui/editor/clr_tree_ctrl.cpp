// CClrTreeCtrl: the per-item colour table and its drawing.
#include "app/ui/editor/clr_tree_ctrl.h"

#include "app/ui/editor/item_look.h"

#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

QColor ToColor(int rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

int FromColor(const QColor& c) { return ClrRgb(c.red(), c.green(), c.blue()); }

// Draws coloured items: the stored background (halved while selected) and the stored text
// colour (white while selected). Items without an entry are drawn as usual.
class CClrTreeDelegate : public QStyledItemDelegate {
 public:
  explicit CClrTreeDelegate(CClrTreeCtrl* tree) : QStyledItemDelegate(tree), m_pTree(tree) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const CClrTreeCtrl::ColorEntry* e = m_pTree->Colors().empty() ? nullptr : m_pTree->FindColor(m_pTree->itemFromIndex(index));
    if (!e) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const bool selected = (opt.state & QStyle::State_Selected) != 0;
    int back = m_pTree->BackColorOf(*e);
    if (selected) back = ClrRgb(((back >> 16) & 0xFF) / 2, ((back >> 8) & 0xFF) / 2, (back & 0xFF) / 2);
    opt.backgroundBrush = QBrush(ToColor(back));
    opt.state &= ~QStyle::State_Selected;
    QColor text = selected ? QColor(Qt::white) : ToColor(m_pTree->TextColorOf(*e));
    opt.palette.setColor(QPalette::Text, text);
    opt.palette.setColor(QPalette::HighlightedText, text);
    QStyle* style = opt.widget ? opt.widget->style() : m_pTree->style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
  }

 private:
  CClrTreeCtrl* m_pTree;
};

bool ByItem(const CClrTreeCtrl::ColorEntry& a, const CClrTreeCtrl::ColorEntry& b) {
  return std::less<const QTreeWidgetItem*>()(a.item, b.item);
}

}  // namespace

CClrTreeCtrl::CClrTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
  setItemDelegate(new CClrTreeDelegate(this));
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setDragDropMode(QAbstractItemView::NoDragDrop);
  setSelectionMode(QAbstractItemView::SingleSelection);
}

int CClrTreeCtrl::AutoTextColor(int back) {
  int r = (back >> 16) & 0xFF, g = (back >> 8) & 0xFF, b = back & 0xFF;
  double lum = 0.299 * r + 0.587 * g + 0.114 * b;
  return lum >= 38.4 ? ClrRgb(0, 0, 0) : ClrRgb(255, 255, 255);
}

int CClrTreeCtrl::BackColorOf(const ColorEntry& entry) const {
  return entry.back >= 0 ? entry.back : FromColor(palette().color(QPalette::Base));
}

int CClrTreeCtrl::TextColorOf(const ColorEntry& entry) const {
  if (entry.text >= 0) return entry.text;
  const int back = BackColorOf(entry);
  const int automatic = AutoTextColor(back);
  if (automatic != 0) return automatic;
  // Black stands for the window-text colour, as long as that one can be read on the background.
  const QColor windowText = palette().color(QPalette::Text);
  if (ContrastRatio(windowText, ToColor(back)) >= 4.5) return FromColor(windowText);
  // Neither reads well (a mid-dark colour just above the threshold): the better of the two.
  return ContrastRatio(Qt::black, ToColor(back)) >= ContrastRatio(Qt::white, ToColor(back)) ? automatic
                                                                                            : ClrRgb(255, 255, 255);
}

void CClrTreeCtrl::SetItemColor(const QTreeWidgetItem* item, int text, int back, bool repaint) {
  if (!item) return;
  ColorEntry entry{item, text < 0 ? -1 : text, back < 0 ? -1 : back};
  if (!m_bSorted) {
    m_colors.push_back(entry);
  } else {
    auto it = std::lower_bound(m_colors.begin(), m_colors.end(), entry, ByItem);
    if (it != m_colors.end() && it->item == item)
      *it = entry;
    else
      m_colors.insert(it, entry);
  }
  if (repaint) viewport()->update();
}

void CClrTreeCtrl::RemoveItemColor(const QTreeWidgetItem* item) {
  if (!m_bSorted) EndAppend();
  ColorEntry key{item, 0, 0};
  auto it = std::lower_bound(m_colors.begin(), m_colors.end(), key, ByItem);
  if (it != m_colors.end() && it->item == item) m_colors.erase(it);
}

void CClrTreeCtrl::ClearColors() { m_colors.clear(); }

void CClrTreeCtrl::BeginAppend() { m_bSorted = false; }

void CClrTreeCtrl::EndAppend() {
  // A later entry for the same item wins.
  std::stable_sort(m_colors.begin(), m_colors.end(), ByItem);
  std::vector<ColorEntry> unique;
  unique.reserve(m_colors.size());
  for (const ColorEntry& e : m_colors) {
    if (!unique.empty() && unique.back().item == e.item)
      unique.back() = e;
    else
      unique.push_back(e);
  }
  m_colors.swap(unique);
  m_bSorted = true;
}

const CClrTreeCtrl::ColorEntry* CClrTreeCtrl::FindColor(const QTreeWidgetItem* item) const {
  if (!m_bSorted) {
    for (auto it = m_colors.rbegin(); it != m_colors.rend(); ++it)
      if (it->item == item) return &*it;
    return nullptr;
  }
  ColorEntry key{item, 0, 0};
  auto it = std::lower_bound(m_colors.begin(), m_colors.end(), key, ByItem);
  return (it != m_colors.end() && it->item == item) ? &*it : nullptr;
}
