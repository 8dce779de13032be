// CExplanationPane: the lazy outline of the pattern's sentences, in step with the current element.
#include "app/ui/panes/explanation/explanation_pane.h"

#include <QHeaderView>
#include <deque>

#include "app/document/core/korvane_doc.h"
#include "app/document/pattern/explanation.h"
#include "app/ui/editor/element_display.h"
#include "app/ui/editor/regex_edit_view.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

constexpr int kRecordRole = Qt::UserRole + 1;  // the record a line explains (none on a "more" line)
constexpr int kMadeRole = Qt::UserRole + 2;    // how many of the record's children have lines
constexpr int kMoreRole = Qt::UserRole + 3;    // on a "more" line: the first child it stands for
constexpr int kElementRole = Qt::UserRole + 4; // the record's element, to check the record is current
// A line far beyond what is made is not made just to highlight it: the user asked for none of
// the lines in between.
constexpr int kMostMadeToShow = 2000;

const ElementRecord* StoredRecord(const QTreeWidgetItem* item) {
  if (!item) return nullptr;
  return reinterpret_cast<const ElementRecord*>(item->data(0, kRecordRole).value<quintptr>());
}

bool IsMoreLine(const QTreeWidgetItem* item) { return item && item->data(0, kMoreRole).isValid(); }

}  // namespace

CExplanationPane::CExplanationPane(CKorvaneDoc* doc, QWidget* parent) : QTreeWidget(parent), m_pDoc(doc) {
  setObjectName(QStringLiteral("explanation"));
  setColumnCount(1);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);  // keeps scrolling cheap over many lines
  setExpandsOnDoubleClick(true);
  header()->setStretchLastSection(true);
  connect(this, &QTreeWidget::itemExpanded, this, &CExplanationPane::OnItemExpanded);
  connect(this, &QTreeWidget::itemClicked, this, &CExplanationPane::OnItemClicked);
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnCurrentChanged(current); });
  if (m_pDoc) m_pDoc->AddView(this);
}

CExplanationPane::~CExplanationPane() {
  if (m_pDoc) m_pDoc->RemoveView(this);
}

void CExplanationPane::OnUpdate(CDocView* sender, int hint) {
  (void)sender;
  if (!m_pDoc) return;
  if (hint & HINT_FONTS) ApplyFont();
  if (hint & (HINT_RECOMPILED | HINT_MODE)) m_bStale = true;
  if (!(hint & (HINT_RECOMPILED | HINT_MODE | HINT_CURRENT_ELEMENT))) return;
  // A hidden pane (its bar closed, the usual case) spends nothing per keystroke: it catches up
  // when it is shown.
  if (!isVisible()) return;
  if (m_bStale) Rebuild();
  ShowCurrent();
}

void CExplanationPane::showEvent(QShowEvent* event) {
  QTreeWidget::showEvent(event);
  if (!m_pDoc) return;
  if (m_bStale) Rebuild();
  ShowCurrent();
}

// The pattern box's font, whose characters the back-quoted pattern texts are written in; not
// bold, since whole sentences in bold are hard to read.
void CExplanationPane::ApplyFont() {
  QFont font = CRegexEditView::LoadPatternFont();
  font.setBold(false);
  setFont(font);
}

const HostElement* CExplanationPane::LineElement(const QTreeWidgetItem* item) {
  if (!item) return nullptr;
  return reinterpret_cast<const HostElement*>(item->data(0, kElementRole).value<quintptr>());
}

// The record of a line, only while it belongs to the document's records: a recompile that the
// pane was not told of frees the records its lines point at.
const ElementRecord* CExplanationPane::RecordOf(const QTreeWidgetItem* item) const {
  const ElementRecord* stored = StoredRecord(item);
  const HostElement* element = LineElement(item);
  if (!stored || !element || !m_pDoc) return nullptr;
  return m_pDoc->GetRecords().Lookup(element) == stored ? stored : nullptr;
}

QTreeWidgetItem* CExplanationPane::MakeLine(QTreeWidgetItem* parent, const ElementRecord* record, int index) {
  auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  const CExplanation& x = m_pDoc->GetExplanation();
  QString text;
  if (!parent && record->type == ELEMENT_EMPTY && m_pDoc->GetPattern().empty())
    text = CStringTable::Str(IDS_EXPLAIN_EMPTY_PATTERN);
  else
    text = x.LineText(record, index);
  item->setText(0, text);
  item->setToolTip(0, text);
  item->setData(0, kRecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(record)));
  item->setData(0, kElementRole, QVariant::fromValue(reinterpret_cast<quintptr>(record->element)));
  item->setData(0, kMadeRole, 0);
  if (!record->children.empty()) item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  m_lines[record] = item;
  return item;
}

void CExplanationPane::FillChildren(QTreeWidgetItem* item, int from) {
  const ElementRecord* r = RecordOf(item);
  if (!r) return;
  // The old "more" line goes; a new one follows the lines made now if any children are left.
  if (item->childCount() > 0 && IsMoreLine(item->child(item->childCount() - 1)))
    delete item->takeChild(item->childCount() - 1);
  const int n = static_cast<int>(r->children.size());
  const int to = std::min(n, from + kChunk);
  for (int i = from; i < to; ++i) MakeLine(item, r->children[i], i);
  if (to < n) {
    auto* more = new QTreeWidgetItem(item);
    more->setText(0, CStringTable::Str(IDS_EXPLAIN_MORE_LINES).replace(QLatin1String("%1"), QString::number(n - to)));
    more->setData(0, kMoreRole, to);
    QFont f = more->font(0);
    f.setItalic(true);
    more->setFont(0, f);
  }
  item->setData(0, kMadeRole, std::max(to, from));
}

void CExplanationPane::Rebuild() {
  m_bStale = false;
  ++m_nUpdating;
  setUpdatesEnabled(false);
  clear();
  m_lines.clear();
  const ElementRecord* root = m_pDoc->GetRecords().Root();
  if (root) {
    // The top levels, breadth first, until the budget of lines is spent; deeper lines wait for
    // their parent to be expanded.
    std::deque<QTreeWidgetItem*> queue{MakeLine(nullptr, root, 0)};
    int made = 1;
    while (!queue.empty()) {
      QTreeWidgetItem* item = queue.front();
      queue.pop_front();
      const ElementRecord* r = RecordOf(item);
      if (!r || r->children.empty()) continue;
      const int want = std::min(static_cast<int>(r->children.size()), kChunk);
      if (made + want > kInitialLines && made > 1) break;
      FillChildren(item, 0);
      made += want;
      item->setExpanded(true);
      for (int i = 0; i < item->childCount(); ++i)
        if (!IsMoreLine(item->child(i))) queue.push_back(item->child(i));
    }
  }
  setUpdatesEnabled(true);
  --m_nUpdating;
}

void CExplanationPane::OnItemExpanded(QTreeWidgetItem* item) {
  if (item->data(0, kMadeRole).toInt() == 0 && item->childCount() == 0) FillChildren(item, 0);
}

void CExplanationPane::OnItemClicked(QTreeWidgetItem* item) {
  if (!IsMoreLine(item)) return;
  QTreeWidgetItem* parent = item->parent();
  const int from = item->data(0, kMoreRole).toInt();
  ++m_nUpdating;
  FillChildren(parent, from);  // takes the "more" line away
  --m_nUpdating;
}

void CExplanationPane::OnCurrentChanged(QTreeWidgetItem* current) {
  if (m_nUpdating > 0 || !m_pDoc || !current || IsMoreLine(current)) return;
  SelectCurrentElement(m_pDoc, this, LineElement(current));
}

QTreeWidgetItem* CExplanationPane::LineOf(const HostElement* element, bool make) {
  if (!element || !m_pDoc) return nullptr;
  const ElementRecord* target = m_pDoc->GetRecords().Lookup(element);
  if (!target) return nullptr;
  auto found = m_lines.find(target);
  if (found != m_lines.end()) return found->second;
  if (!make) return nullptr;
  std::vector<const ElementRecord*> path;
  for (const ElementRecord* r = target; r; r = r->parent) path.push_back(r);
  auto top = m_lines.find(path.back());
  if (top == m_lines.end()) return nullptr;
  QTreeWidgetItem* item = top->second;
  ++m_nUpdating;
  for (size_t k = path.size() - 1; k-- > 0;) {
    const ElementRecord* parent = path[k + 1];
    const ElementRecord* child = path[k];
    auto have = m_lines.find(child);
    if (have == m_lines.end()) {
      int index = 0;
      while (index < static_cast<int>(parent->children.size()) && parent->children[index] != child) ++index;
      const int made = item->data(0, kMadeRole).toInt();
      if (index - made > kMostMadeToShow) {
        item = nullptr;
        break;
      }
      while (item->data(0, kMadeRole).toInt() <= index) FillChildren(item, item->data(0, kMadeRole).toInt());
      have = m_lines.find(child);
      if (have == m_lines.end()) {
        item = nullptr;
        break;
      }
    }
    item->setExpanded(true);
    item = have->second;
  }
  --m_nUpdating;
  return item;
}

void CExplanationPane::ShowCurrent() {
  ++m_nUpdating;
  QTreeWidgetItem* line = LineOf(m_pDoc->GetCurrentElement(), true);
  if (line) {
    setCurrentItem(line);
    line->setSelected(true);
    scrollToItem(line);
  } else {
    setCurrentItem(nullptr);
    clearSelection();
  }
  --m_nUpdating;
}
