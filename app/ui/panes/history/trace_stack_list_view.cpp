#include "app/ui/panes/history/trace_stack_list_view.h"

#include <QHeaderView>
#include <algorithm>

#include "app/document/core/korvane_doc.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

namespace {

// Hints after which the paused state or the trace stack may differ.
constexpr int kRefillHints = HINT_RECOMPILED | HINT_RECOLOR_PATTERN | HINT_SUBJECT_REPLACED | HINT_RESULTS | HINT_MODE |
                             HINT_PATTERN_REPLACED;

QString ElementText(const std::vector<unsigned short>& pattern, const HostElement* e) {
  if (!e) return QString();
  int size = static_cast<int>(pattern.size());
  int start = std::min(std::max(e->m_nStart, 0), size);
  int end = std::min(std::max(e->m_nEnd, start), size);
  if (end == start) return CStringTable::Str(IDS_TREE_EMPTY);
  const int max = CTraceStackListView::kMaxElementText;
  QString text(reinterpret_cast<const QChar*>(pattern.data() + start), std::min(end - start, max));
  if (end - start > max) text += CStringTable::Str(IDS_FMT_SNAPSHOT_ELLIPSIS);
  return text;
}

}  // namespace

CTraceStackListView::CTraceStackListView(CKorvaneDoc* doc, QWidget* parent) : QTreeWidget(parent), m_pDoc(doc) {
  setColumnCount(4);
  setHeaderLabels({CStringTable::Str(IDS_COL_STACK_ELEMENT), CStringTable::Str(IDS_COL_STACK_START),
                   CStringTable::Str(IDS_COL_STACK_ENTRY), CStringTable::Str(IDS_COL_STACK_RETRY)});
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAllColumnsShowFocus(true);
  header()->resizeSection(COL_ELEMENT, 120);
  header()->resizeSection(COL_START, 50);
  header()->resizeSection(COL_ENTRY, 50);
  m_pDoc->AddView(this);
  Refill();
}

CTraceStackListView::~CTraceStackListView() { m_pDoc->RemoveView(this); }

void CTraceStackListView::OnUpdate(CDocView* sender, int hint) {
  if (hint & kRefillHints) Refill();
}

void CTraceStackListView::Refill() {
  // The worker is blocked in the hook while paused, so the stack can be read without a lock.
  const bool paused = m_pDoc->GetMode() == MODE_TRACE && m_pDoc->IsJobActive() && m_pDoc->IsPaused();
  int depth = 0;
  const TraceStackEntry<unsigned short>* entries = nullptr;
  if (paused) entries = m_pDoc->ShownTraceStack(&depth);  // live, or the history step looked at
  // Rows in place: the stack usually changes only at its inner end between two steps.
  while (topLevelItemCount() > depth) delete takeTopLevelItem(topLevelItemCount() - 1);
  const std::vector<unsigned short>& pattern = m_pDoc->GetPattern();
  const QString yes = CStringTable::Str(IDS_STACK_RETRY_YES);
  for (int i = 0; i < depth; ++i) {
    QTreeWidgetItem* item = topLevelItem(i);
    if (!item) {
      item = new QTreeWidgetItem;
      addTopLevelItem(item);
    }
    const TraceStackEntry<unsigned short>& e = entries[i];
    item->setText(COL_ELEMENT, ElementText(pattern, e.element));
    item->setText(COL_START, QString::number(e.start));
    item->setText(COL_ENTRY, QString::number(e.entryPos));
    item->setText(COL_RETRY, e.retry ? yes : QString());
  }
  // The innermost entry is the element the search paused at.
  if (depth > 0) scrollToItem(topLevelItem(depth - 1));
}
