// CRegexGroupListView: rows per group, captured content, selection in step with the document.
#include "app/ui/editor/regex_group_list_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>

#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "app/ui/editor/element_display.h"
#include "app/ui/editor/regex_edit_view.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

constexpr int kElementRole = Qt::UserRole + 1;

bool ByElement(const std::pair<const HostElement*, int>& a, const HostElement* e) {
  return std::less<const HostElement*>()(a.first, e);
}

}  // namespace

CRegexGroupListView::CRegexGroupListView(CKorvaneDoc* doc, QWidget* parent) : CClrListView(parent), m_pDoc(doc) {
  connect(this, &QTreeWidget::itemSelectionChanged, this, &CRegexGroupListView::OnSelectionChanged);
  if (m_pDoc) m_pDoc->AddView(this);
  OnInitialUpdate();
}

CRegexGroupListView::~CRegexGroupListView() {
  if (m_pDoc) m_pDoc->RemoveView(this);
}

void CRegexGroupListView::OnInitialUpdate() {
  if (!m_bColumnsMade) {
    setColumnCount(3);
    setHeaderLabels({CStringTable::Str(IDS_COL_GROUP), CStringTable::Str(IDS_COL_NAMED),
                     CStringTable::Str(IDS_COL_CAPTURED_CONTENT)});
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setColumnWidth(COL_GROUP, 50);
    setColumnWidth(COL_NAMED, 50);
    setColumnWidth(COL_CAPTURED, 100);
    m_bColumnsMade = true;
  }
  OnUpdate(nullptr, ~0);
}

void CRegexGroupListView::OnUpdate(CDocView* sender, int hint) {
  if (!m_pDoc) return;
  if (hint & HINT_RECOMPILED) {
    RebuildRows();
    FillCaptures();  // the rows' elements are new; their captures are too
    SelectCurrent();
  }
  // The captures at a paused step belong to Trace mode; leaving it shows the results' again.
  if (hint & (HINT_RESULTS | HINT_MODE)) FillCaptures();
  if (hint & HINT_CURRENT_ELEMENT) SelectCurrent();
}

int CRegexGroupListView::FindRow(const HostElement* element) const {
  if (!element) return -1;
  auto it = std::lower_bound(m_map.begin(), m_map.end(), element, ByElement);
  return (it != m_map.end() && it->first == element) ? it->second : -1;
}

const HostElement* CRegexGroupListView::RowElement(int row) const {
  QTreeWidgetItem* item = Row(row);
  return item ? reinterpret_cast<const HostElement*>(item->data(0, kElementRole).value<quintptr>()) : nullptr;
}

void CRegexGroupListView::RebuildRows() {
  ++m_nUpdating;
  m_map.clear();
  const HostRegexp& re = m_pDoc->GetCompiled();
  if (RowCount() == 0) {
    auto* row0 = new QTreeWidgetItem(this);
    row0->setText(COL_GROUP, CStringTable::Str(IDS_FMT_GROUP_WHOLE));
  }
  const HostElement* root = re.GetRoot();
  Row(0)->setData(0, kElementRole, QVariant::fromValue(reinterpret_cast<quintptr>(root)));
  if (root) m_map.emplace_back(root, 0);
  const int groups = std::max(0, re.MaxGroupNumber());
  const CElementTree& records = m_pDoc->GetRecords();
  for (int i = 1; i <= groups; ++i) {
    const HostElement* e = re.GetGroupElement(i);
    QTreeWidgetItem* item = i < RowCount() ? Row(i) : new QTreeWidgetItem(this);
    item->setText(COL_GROUP, CStringTable::Str(IDS_FMT_GROUP_NUMBER).replace(QLatin1String("%d"), QString::number(i)));
    QString name;
    if (const ElementRecord* r = records.Lookup(e)) {
      for (unsigned short c : r->name) {
        if (!c) break;
        name.append(QChar(c));
      }
    }
    item->setText(COL_NAMED, name);
    item->setData(0, kElementRole, QVariant::fromValue(reinterpret_cast<quintptr>(e)));
    if (e) m_map.emplace_back(e, i);
  }
  while (RowCount() > groups + 1) delete takeTopLevelItem(RowCount() - 1);
  std::sort(m_map.begin(), m_map.end(),
            [](const auto& a, const auto& b) { return std::less<const HostElement*>()(a.first, b.first); });
  // Equal elements (several rows with one element) keep the first row.
  m_map.erase(std::unique(m_map.begin(), m_map.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
              m_map.end());
  --m_nUpdating;
}

void CRegexGroupListView::FillCaptures() {
  // A paused trace shows the captures as they stand at its step, open groups marked.
  const std::vector<HistoryCapture>* atStep =
      m_pDoc->GetMode() == MODE_TRACE && m_pDoc->IsJobActive() ? m_pDoc->ShownCaptures() : nullptr;
  if (atStep) {
    FillCapturesAtStep(*atStep);
    return;
  }
  MatchHandle last = m_pDoc->GetLastResult();
  const bool matched = last && last->result.IsMatched();
  const std::vector<unsigned short>& subject = m_pDoc->GetSubjectText();
  const int length = static_cast<int>(subject.size());
  const CElementTree& records = m_pDoc->GetRecords();
  const HostElement* root = m_pDoc->GetCompiled().GetRoot();
  for (int row = 0; row < RowCount(); ++row) {
    QString cell;
    if (matched) {
      const HostElement* e = RowElement(row);
      int group = e == root ? 0 : RecordGroupNumber(records.Lookup(e));
      if (row > 0 && group < 0) group = row;
      int s = last->result.GetGroupStart(group), t = last->result.GetGroupEnd(group);
      if (s < 0 || t < 0) {
        cell = CStringTable::Str(IDS_NOT_CAPTURED);
      } else if (s == t) {
        cell = CStringTable::Str(IDS_ZERO_LENGTH_STRING);
      } else {
        // Right-to-left captures keep start <= end too; guard against anything else.
        int a = qBound(0, std::min(s, t), length), b = qBound(0, std::max(s, t), length);
        cell = QString::fromUtf16(reinterpret_cast<const char16_t*>(subject.data()) + a, b - a);
      }
    }
    if (Row(row)->text(COL_CAPTURED) != cell) Row(row)->setText(COL_CAPTURED, cell);
  }
  // What the shown match cost, on the whole-match row (every column, so it shows wherever the
  // pointer rests on the row).
  if (RowCount() > 0) {
    const QString tip = matched ? CStringTable::FormatStrings(CStringTable::Str(IDS_GROUP_STEPS_TIP),
                                                              {StepsPhrase(last->steps)})
                                : QString();
    for (int column = 0; column < 3; ++column)
      if (Row(0)->toolTip(column) != tip) Row(0)->setToolTip(column, tip);
  }
}

void CRegexGroupListView::FillCapturesAtStep(const std::vector<HistoryCapture>& captures) {
  const std::vector<unsigned short>& subject = m_pDoc->GetSubjectText();
  const int length = static_cast<int>(subject.size());
  const CElementTree& records = m_pDoc->GetRecords();
  const HostElement* root = m_pDoc->GetCompiled().GetRoot();
  for (int row = 0; row < RowCount(); ++row) {
    const HostElement* e = RowElement(row);
    int group = e == root ? 0 : RecordGroupNumber(records.Lookup(e));
    if (row > 0 && group < 0) group = row;
    QString cell;
    const HistoryCapture c = group >= 0 && group < static_cast<int>(captures.size()) ? captures[group]
                                                                                    : HistoryCapture{-1, -1};
    if (c.open < 0) {
      cell = CStringTable::Str(IDS_NOT_CAPTURED);
    } else if (c.close < 0) {
      cell = CStringTable::FormatStrings(CStringTable::Str(IDS_GROUP_OPEN), {QString::number(c.open)});
    } else if (c.open == c.close) {
      cell = CStringTable::Str(IDS_ZERO_LENGTH_STRING);
    } else {
      int a = qBound(0, std::min(c.open, c.close), length), b = qBound(0, std::max(c.open, c.close), length);
      cell = QString::fromUtf16(reinterpret_cast<const char16_t*>(subject.data()) + a, b - a);
    }
    if (Row(row)->text(COL_CAPTURED) != cell) Row(row)->setText(COL_CAPTURED, cell);
  }
}

void CRegexGroupListView::SelectCurrent() {
  ++m_nUpdating;
  int row = FindRow(m_pDoc->GetCurrentElement());
  if (row >= 0) {
    if (RowCount() > 1) scrollToItem(Row(row));
    setCurrentItem(Row(row));
    Row(row)->setSelected(true);
  } else {
    clearSelection();
  }
  --m_nUpdating;
}

void CRegexGroupListView::OnSelectionChanged() {
  if (m_nUpdating > 0 || !m_pDoc) return;
  int row = SelectedRow();
  SelectCurrentElement(m_pDoc, this, row >= 0 ? RowElement(row) : nullptr);
}

void CRegexGroupListView::SizeColumns() {
  int w = viewport()->width() - columnWidth(COL_GROUP) - columnWidth(COL_NAMED) - 25;
  setColumnWidth(COL_CAPTURED, std::max(60, w));
}

void CRegexGroupListView::resizeEvent(QResizeEvent* event) {
  CClrListView::resizeEvent(event);
  SizeColumns();
}

void CRegexGroupListView::FocusPatternView() {
  QWidget* w = m_pPatternView ? m_pPatternView : CRegexEditView::ForDocument(m_pDoc);
  if (w) w->setFocus(Qt::OtherFocusReason);
}

void CRegexGroupListView::mouseDoubleClickEvent(QMouseEvent* event) {
  CClrListView::mouseDoubleClickEvent(event);
  if (SelectedRow() >= 0) FocusPatternView();
}

void CRegexGroupListView::contextMenuEvent(QContextMenuEvent* event) {
  int row = SelectedRow();
  if (row < 0 || !m_pDoc) return;
  QPoint at = event->globalPos();
  if (event->reason() != QContextMenuEvent::Mouse) at = viewport()->mapToGlobal(visualItemRect(Row(row)).topLeft());
  m_pDoc->Notify(this, HINT_CURRENT_ELEMENT);
  FocusPatternView();
  ShowElementContextMenu(m_pDoc, at);
  event->accept();
}
