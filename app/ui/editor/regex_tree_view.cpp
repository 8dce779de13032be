// CRegexTreeView: in-place rebuild, captions, heat colours, selection in step with the document.
#include "app/ui/editor/regex_tree_view.h"

#include <QContextMenuEvent>
#include <QStyle>
#include <QHelpEvent>
#include <QToolTip>
#include <QMouseEvent>
#include <algorithm>

#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "app/document/flavours/flavour_session.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/element_display.h"
#include "app/ui/editor/view_colours.h"
#include "app/ui/editor/regex_edit_view.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

// The element identity is kept as the item's data.
constexpr int kElementRole = Qt::UserRole + 1;
constexpr int kBreakRole = Qt::UserRole + 2;  // the caption carries the breakpoint mark
const QString kBreakMark = QStringLiteral("\u25CF ");
constexpr int kBacktrackRole = Qt::UserRole + 3;  // the node shows a warning icon
constexpr int kFlavourRole = Qt::UserRole + 4;    // a chosen flavour reads the node otherwise

bool ByElement(const std::pair<const HostElement*, QTreeWidgetItem*>& a, const HostElement* e) {
  return std::less<const HostElement*>()(a.first, e);
}

}  // namespace

CRegexTreeView::CRegexTreeView(CKorvaneDoc* doc, QWidget* parent) : CClrTreeView(parent), m_pDoc(doc) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setDragDropMode(QAbstractItemView::NoDragDrop);
  setContextMenuPolicy(Qt::DefaultContextMenu);
  setExpandsOnDoubleClick(false);
  connect(this, &QTreeWidget::itemSelectionChanged, this, &CRegexTreeView::OnSelectionChanged);
  if (m_pDoc) m_pDoc->AddView(this);
  OnInitialUpdate();
}

CRegexTreeView::~CRegexTreeView() {
  if (m_pDoc) m_pDoc->RemoveView(this);
}

void CRegexTreeView::OnInitialUpdate() {
  if (topLevelItemCount() == 0) {
    auto* empty = new QTreeWidgetItem(this);
    empty->setText(0, CStringTable::Str(IDS_TREE_EMPTY));
  }
  OnUpdate(nullptr, ~0);
}

const HostElement* CRegexTreeView::NodeElement(const QTreeWidgetItem* item) {
  if (!item) return nullptr;
  return reinterpret_cast<const HostElement*>(item->data(0, kElementRole).value<quintptr>());
}

QTreeWidgetItem* CRegexTreeView::FindNode(const HostElement* element) const {
  if (!element) return nullptr;
  if (!m_bMapSorted) {
    for (const auto& p : m_map)
      if (p.first == element) return p.second;
    return nullptr;
  }
  auto it = std::lower_bound(m_map.begin(), m_map.end(), element, ByElement);
  return (it != m_map.end() && it->first == element) ? it->second : nullptr;
}

void CRegexTreeView::AddToMap(const HostElement* element, QTreeWidgetItem* item) {
  if (!m_bMapSorted) {
    m_map.emplace_back(element, item);
    return;
  }
  auto it = std::lower_bound(m_map.begin(), m_map.end(), element, ByElement);
  if (it != m_map.end() && it->first == element)
    it->second = item;
  else
    m_map.insert(it, {element, item});
}

void CRegexTreeView::OnUpdate(CDocView* sender, int hint) {
  if (!m_pDoc) return;
  const int mode = m_pDoc->GetMode();
  if ((hint & (HINT_RECOMPILED | HINT_MODE)) || ((hint & HINT_COUNTERS) && mode == MODE_OPTIMIZE)) {
    Rebuild();
    // The records are new: show the document's current element among them.
    SelectElement(m_pDoc->GetCurrentElement(), true);
  }
  if ((hint & HINT_RECOLOR_PATTERN) && mode == MODE_TRACE)
    if (const TraceStep* step = m_pDoc->PausedTraceStep()) SelectElement(step->element, false);
  // The backtracking pane hands its responsible repeats over with a recolouring of the pattern.
  if (hint & HINT_RECOLOR_PATTERN) {
    UpdateBacktrackMarks();
    UpdateFlavourMarks();
  }
  if (hint & HINT_CURRENT_ELEMENT) {
    UpdateBreakpointMarks();
    SelectElement(m_pDoc->GetCurrentElement(), true);
  }
}

// A breakpoint set or cleared changes no record: only the marks in the captions follow.
void CRegexTreeView::UpdateBreakpointMarks() {
  for (const auto& entry : m_map) {
    QTreeWidgetItem* item = entry.second;
    const bool mark = m_pDoc->Debugger().HasBreakpoint(entry.first->m_nStart, entry.first->m_nEnd);
    if (item->data(0, kBreakRole).toBool() == mark) continue;
    const QString text = item->text(0);
    item->setText(0, mark ? kBreakMark + text : text.mid(kBreakMark.size()));
    item->setData(0, kBreakRole, mark);
  }
}

void CRegexTreeView::UpdateBacktrackMarks() {
  const std::vector<std::pair<int, int>>& spans = m_pDoc->GetBacktrackSpans();
  for (const auto& entry : m_map) {
    QTreeWidgetItem* item = entry.second;
    const std::pair<int, int> span(entry.first->m_nStart, entry.first->m_nEnd);
    const bool mark = std::find(spans.begin(), spans.end(), span) != spans.end();
    if (item->data(0, kBacktrackRole).toBool() == mark) continue;
    item->setData(0, kBacktrackRole, mark);
    ShowMarkIcon(item);
    for (QTreeWidgetItem* up = item->parent(); mark && up; up = up->parent()) up->setExpanded(true);
  }
}

// The elements holding a construct that a chosen flavour reads otherwise (while the Flavours
// pane is shown): the innermost element around each construct the pattern box marks.
std::vector<const HostElement*> CRegexTreeView::FlavourMarkedElements() const {
  std::vector<const HostElement*> out;
  for (const FlavourNote& note : ShownFlavourNotes(*m_pDoc))
    if (const HostElement* e = m_pDoc->GetRecords().FindInnermost(note.start, note.start + note.length)) out.push_back(e);
  std::sort(out.begin(), out.end(), std::less<const HostElement*>());
  return out;
}

void CRegexTreeView::UpdateFlavourMarks() {
  const std::vector<const HostElement*> marked = FlavourMarkedElements();
  for (const auto& entry : m_map) {
    QTreeWidgetItem* item = entry.second;
    const bool mark = std::binary_search(marked.begin(), marked.end(), entry.first, std::less<const HostElement*>());
    if (item->data(0, kFlavourRole).toBool() == mark) continue;
    item->setData(0, kFlavourRole, mark);
    ShowMarkIcon(item);
  }
}

// One icon a node: the backtracking warning before the flavours' note.
void CRegexTreeView::ShowMarkIcon(QTreeWidgetItem* item) const {
  if (item->data(0, kBacktrackRole).toBool()) item->setIcon(0, style()->standardIcon(QStyle::SP_MessageBoxWarning));
  else if (item->data(0, kFlavourRole).toBool()) item->setIcon(0, style()->standardIcon(QStyle::SP_MessageBoxInformation));
  else item->setIcon(0, QIcon());
}

bool CRegexTreeView::HasFlavourMark(const QTreeWidgetItem* item) {
  return item && item->data(0, kFlavourRole).toBool();
}

bool CRegexTreeView::HasBacktrackMark(const QTreeWidgetItem* item) {
  return item && item->data(0, kBacktrackRole).toBool();
}

void CRegexTreeView::Rebuild() {
  ++m_nUpdating;
  setUpdatesEnabled(false);
  m_map.clear();
  m_bMapSorted = false;
  ClearColors();
  BeginAppend();
  m_bOptimize = m_pDoc->GetMode() == MODE_OPTIMIZE;
  const ElementRecord* root = m_pDoc->GetRecords().Root();
  m_nLargestCount = m_bOptimize ? LargestExecutionCount(*m_pDoc, root) : 0;
  QTreeWidgetItem* top = topLevelItem(0);
  if (!top) top = new QTreeWidgetItem(this);
  while (topLevelItemCount() > 1) delete takeTopLevelItem(topLevelItemCount() - 1);
  UpdateItem(top, root, 0);
  std::sort(m_map.begin(), m_map.end(),
            [](const auto& a, const auto& b) { return std::less<const HostElement*>()(a.first, b.first); });
  m_bMapSorted = true;
  UpdateBacktrackMarks();
  UpdateFlavourMarks();
  EndAppend();
  top->setExpanded(true);
  setUpdatesEnabled(true);
  viewport()->update();
  --m_nUpdating;
}

void CRegexTreeView::changeEvent(QEvent* event) {
  CClrTreeView::changeEvent(event);
  // The heat colours are chosen for the palette when the tree is built.
  if (event->type() == QEvent::PaletteChange && m_pDoc && m_nUpdating == 0 && m_pDoc->GetMode() == MODE_OPTIMIZE) Rebuild();
}

void CRegexTreeView::FillItem(QTreeWidgetItem* item, const ElementRecord* record) {
  QString caption = ElementCaption(record);
  const HostElement* element = record ? record->element : nullptr;
  if (m_bOptimize) {
    long long c = ExecutionCount(*m_pDoc, record);
    caption = CStringTable::Str(IDS_FMT_TREE_COUNT)
                  .replace(QLatin1String("%s"), caption)
                  .replace(QLatin1String("%d"), QString::number(c));
    int k = TreeHeat(c, m_nLargestCount);
    if (k >= 0) {
      const QRgb heat = HeatColorFor(k, IsDarkPalette(palette()));
      SetItemColor(item, -1, ClrRgb(qRed(heat), qGreen(heat), qBlue(heat)), false);
    }
  }
  if (item->data(0, kBacktrackRole).toBool() || item->data(0, kFlavourRole).toBool()) {
    // A reused item: UpdateBacktrackMarks and UpdateFlavourMarks decide anew.
    item->setData(0, kBacktrackRole, false);
    item->setData(0, kFlavourRole, false);
    item->setIcon(0, QIcon());
  }
  const bool mark = element && m_pDoc->Debugger().HasBreakpoint(element->m_nStart, element->m_nEnd);
  if (mark) caption.prepend(kBreakMark);
  item->setData(0, kBreakRole, mark);
  if (item->text(0) != caption) item->setText(0, caption);
  item->setData(0, kElementRole, QVariant::fromValue(reinterpret_cast<quintptr>(element)));
  if (element) AddToMap(element, item);
}

void CRegexTreeView::UpdateItem(QTreeWidgetItem* item, const ElementRecord* record, int depth) {
  FillItem(item, record);
  if (!record) {
    while (item->childCount() > 0) delete item->takeChild(item->childCount() - 1);
    return;
  }
  // Existing child items are reused in order; surplus ones go, missing ones are appended.
  const std::vector<ElementRecord*>& kids = record->children;
  const int n = static_cast<int>(kids.size());
  const int depthLimit = 4096;  // the records are bounded the same way
  int i = 0;
  for (; i < n && depth < depthLimit; ++i) {
    QTreeWidgetItem* child = i < item->childCount() ? item->child(i) : new QTreeWidgetItem(item);
    UpdateItem(child, kids[i], depth + 1);
  }
  while (item->childCount() > i) delete item->takeChild(item->childCount() - 1);
}

void CRegexTreeView::SelectElement(const HostElement* element, bool clearWhenMissing) {
  QTreeWidgetItem* node = FindNode(element);
  if (!node && !clearWhenMissing) return;
  ++m_nUpdating;
  if (node) {
    scrollToItem(node);
    setCurrentItem(node);
    node->setSelected(true);
  } else {
    clearSelection();
  }
  --m_nUpdating;
}

void CRegexTreeView::OnSelectionChanged() {
  if (m_nUpdating > 0 || !m_pDoc) return;
  QList<QTreeWidgetItem*> sel = selectedItems();
  if (sel.isEmpty()) return;
  SelectCurrentElement(m_pDoc, this, NodeElement(sel.front()));
}

void CRegexTreeView::FocusPatternView() {
  QWidget* w = m_pPatternView ? m_pPatternView : CRegexEditView::ForDocument(m_pDoc);
  if (w) w->setFocus(Qt::OtherFocusReason);
}

void CRegexTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  CClrTreeView::mouseDoubleClickEvent(event);
  if (!m_pDoc) return;
  m_pDoc->Notify(this, HINT_CURRENT_ELEMENT);
  FocusPatternView();
}

void CRegexTreeView::ShowContextMenu(const QPoint& globalPos) {
  ShowElementContextMenu(m_pDoc, globalPos);
}

void CRegexTreeView::contextMenuEvent(QContextMenuEvent* event) {
  if (!m_pDoc) return;
  QPoint at;
  if (event->reason() == QContextMenuEvent::Mouse) {
    QTreeWidgetItem* hit = itemAt(event->pos());
    if (hit) {
      setCurrentItem(hit);  // a user selection: makes the element current
      hit->setSelected(true);
    }
    at = event->globalPos();
  } else {
    QTreeWidgetItem* sel = currentItem();
    if (!sel || !sel->isSelected()) return;
    at = viewport()->mapToGlobal(visualItemRect(sel).bottomRight());
  }
  m_pDoc->Notify(this, HINT_CURRENT_ELEMENT);
  FocusPatternView();
  ShowContextMenu(at);
  event->accept();
}

QString CRegexTreeView::ToolTipAt(const QPoint& viewportPos) const {
  if (!m_pDoc) return QString();
  const QTreeWidgetItem* item = itemAt(viewportPos);
  QString text = ElementExplanation(*m_pDoc, NodeElement(item));
  if (HasFlavourMark(item)) {
    // What the chosen flavours make of the constructs this node holds innermost.
    QStringList lines;
    for (const FlavourNote& note : ShownFlavourNotes(*m_pDoc)) {
      if (m_pDoc->GetRecords().FindInnermost(note.start, note.start + note.length) != NodeElement(item)) continue;
      lines << NoteSummary(note.row, m_pDoc->Flavours().Chosen());
    }
    if (!lines.isEmpty()) text = lines.join(QLatin1Char('\n')) + (text.isEmpty() ? QString() : QStringLiteral("\n\n") + text);
  }
  if (!HasBacktrackMark(item)) return text;
  return CStringTable::Str(IDS_BT_TREE_TIP) + (text.isEmpty() ? QString() : QStringLiteral("\n") + text);
}

bool CRegexTreeView::viewportEvent(QEvent* event) {
  // The sentence is made when asked for: a tree of a huge pattern has too many nodes to give
  // each one its text in advance.
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = ToolTipAt(help->pos());
    if (text.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), text, viewport());
    return true;
  }
  return CClrTreeView::viewportEvent(event);
}
