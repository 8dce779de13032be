#include "app/ui/panes/snapshots/snapshot_tree_view.h"

#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>

#include "app/document/core/korvane_doc.h"
#include "app/ui/results/view_busy.h"
#include "app/ui/results/view_prompts.h"
#include "app/ui/shared/snapshot_caption.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

namespace {
QString FromU16(const std::vector<unsigned short>& v) {
  return QString(reinterpret_cast<const QChar*>(v.data()), static_cast<int>(v.size()));
}
std::vector<unsigned short> ToU16(const QString& s) { return std::vector<unsigned short>(s.utf16(), s.utf16() + s.size()); }
}  // namespace

CSnapshotTreeView::CSnapshotTreeView(CKorvaneDoc* doc, QWidget* parent) : QTreeWidget(parent), m_pDoc(doc) {
  setColumnCount(1);
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragOnly);
  m_pDoc->AddView(this);
  Rebuild();
  SelectCurrent();
}

CSnapshotTreeView::~CSnapshotTreeView() { m_pDoc->RemoveView(this); }

void CSnapshotTreeView::OnUpdate(CDocView* sender, int hint) {
  if (!(hint & (HINT_SNAPSHOT_TREE | HINT_CURRENT_SNAPSHOT))) return;
  if (hint & HINT_SNAPSHOT_TREE) Rebuild();
  SelectCurrent();
}

QString CSnapshotTreeView::Caption(const Snapshot& s) { return SnapshotCaption(s); }

int CSnapshotTreeView::IdOf(const QTreeWidgetItem* item) { return item ? item->data(0, Qt::UserRole).toInt() : 0; }

int CSnapshotTreeView::SelectedId() const {
  QTreeWidgetItem* item = currentItem();
  return item && item->isSelected() ? IdOf(item) : 0;
}

void CSnapshotTreeView::Rebuild() {
  CBusyGuard busy(m_nBusy);
  m_items.clear();
  Fill(nullptr, m_pDoc->GetSnapshots().Roots());
}

void CSnapshotTreeView::Fill(QTreeWidgetItem* parent, const std::vector<int>& ids) {
  auto childCount = [&] { return parent ? parent->childCount() : topLevelItemCount(); };
  auto childAt = [&](int i) { return parent ? parent->child(i) : topLevelItem(i); };
  int row = 0;
  for (int id : ids) {
    const Snapshot* s = m_pDoc->LookupSnapshot(id);
    if (!s) continue;
    QTreeWidgetItem* item = row < childCount() ? childAt(row) : nullptr;
    if (!item) {
      item = new QTreeWidgetItem;
      if (parent) parent->addChild(item);
      else addTopLevelItem(item);
    }
    ++row;
    item->setText(0, Caption(*s));
    item->setData(0, Qt::UserRole, id);
    m_items.insert(id, item);
    Fill(item, s->children);
  }
  // Surplus items (and their subtrees) go.
  while (childCount() > row) delete (parent ? parent->takeChild(childCount() - 1) : takeTopLevelItem(childCount() - 1));
}

void CSnapshotTreeView::SelectCurrent() {
  CBusyGuard busy(m_nBusy);
  QTreeWidgetItem* item = ItemOf(m_pDoc->GetCurrentSnapshot());
  if (!item) {
    clearSelection();
    setCurrentItem(nullptr);
    return;
  }
  setCurrentItem(item);
  item->setSelected(true);
  scrollToItem(item);
}

// ---------------------------------------------------------------------------------------------
// Commands

bool CSnapshotTreeView::HandlesViewCommand(int id) const {
  switch (id) {
    case ID_ADD_SNAPSHOT:
    case ID_SNAPSHOT_SWITCH:
    case ID_SNAPSHOT_SET_NAME:
    case ID_SNAPSHOT_DELETE:
    case ID_SNAPSHOT_DELETE_TREE:
      return true;
    default:
      return false;
  }
}

CommandState CSnapshotTreeView::QueryViewCommand(int id) const {
  if (id == ID_ADD_SNAPSHOT) return m_pDoc->QueryCommand(CMD_ADD_SNAPSHOT);
  CommandState state;
  state.enabled = HandlesViewCommand(id) && SelectedId() != 0;
  return state;
}

bool CSnapshotTreeView::OnViewCommand(int id) {
  if (!HandlesViewCommand(id)) return false;
  if (!QueryViewCommand(id).enabled) return true;
  switch (id) {
    case ID_ADD_SNAPSHOT: m_pDoc->OnCommand(CMD_ADD_SNAPSHOT); break;
    case ID_SNAPSHOT_SWITCH: SwitchToSelected(); break;
    case ID_SNAPSHOT_SET_NAME: RenameSelected(); break;
    case ID_SNAPSHOT_DELETE: DeleteSelected(false); break;
    case ID_SNAPSHOT_DELETE_TREE: DeleteSelected(true); break;
    default: break;
  }
  return true;
}

void CSnapshotTreeView::SwitchToSelected() {
  // The id is taken first: adding a snapshot rebuilds the tree and moves the selection.
  const int id = SelectedId();
  if (!id) return;
  int hint = HINT_PATTERN_REPLACED | HINT_CURRENT_SNAPSHOT;
  if (m_pDoc->PatternDiffersFromCurrent()) {
    int answer = CViewPrompts::Ask(this, CStringTable::Str(IDS_MSG_SNAPSHOT_REGEX_LOST), CViewPrompts::YES_NO_CANCEL);
    if (answer == CViewPrompts::ANSWER_CANCEL) return;
    if (answer == CViewPrompts::ANSWER_YES) {
      if (!m_pDoc->AddSnapshotWithDialog()) return;
      hint |= HINT_SNAPSHOT_TREE;  // the snapshot just added
    }
  }
  if (!m_pDoc->LookupSnapshot(id)) return;
  m_pDoc->SwitchToSnapshot(id);
  m_pDoc->Notify(nullptr, hint | HINT_TESTS | HINT_TEST_RESULTS);  // the snapshot's tests came with it
  // The pattern changed as if edited: recolour it, then everything derived from it.
  m_pDoc->Notify(nullptr, HINT_RECOLOR_PATTERN);
  m_pDoc->Notify(nullptr, HINTS_PATTERN_EDITED);
}

void CSnapshotTreeView::RenameSelected() {
  const int id = SelectedId();
  const Snapshot* s = id ? m_pDoc->LookupSnapshot(id) : nullptr;
  if (!s) return;
  QString name = FromU16(s->name);
  if (!CViewPrompts::AskName(this, name)) return;
  m_pDoc->SetSnapshotName(id, ToU16(name));
  // The caption follows the new name (rebuilt in place, the selection stays).
  m_pDoc->Notify(nullptr, HINT_SNAPSHOT_TREE);
}

void CSnapshotTreeView::DeleteSelected(bool withSubtree) {
  const int id = SelectedId();
  if (!id || !m_pDoc->LookupSnapshot(id)) return;
  const int question = withSubtree ? IDS_MSG_DELETE_SNAPSHOT_TREE : IDS_MSG_DELETE_SNAPSHOT;
  if (CViewPrompts::Ask(this, CStringTable::Str(question), CViewPrompts::OK_CANCEL) != CViewPrompts::ANSWER_OK) return;
  m_pDoc->DeleteSnapshot(id, withSubtree);
  m_pDoc->Notify(nullptr, HINT_SNAPSHOT_TREE | HINT_CURRENT_SNAPSHOT);
}

// ---------------------------------------------------------------------------------------------
// Mouse, menu, drag

QMimeData* CSnapshotTreeView::DragData(int id) const {
  const Snapshot* s = m_pDoc->LookupSnapshot(id);
  if (!s) return nullptr;
  QMimeData* data = new QMimeData;
  data->setText(FromU16(s->pattern));
  return data;
}

void CSnapshotTreeView::startDrag(Qt::DropActions) {
  QMimeData* data = DragData(SelectedId());
  if (!data) return;
  QDrag* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void CSnapshotTreeView::mousePressEvent(QMouseEvent* event) {
  // A right click selects the item under the mouse first.
  if (event->button() == Qt::RightButton) {
    if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) {
      setCurrentItem(item);
      item->setSelected(true);
    }
  }
  QTreeWidget::mousePressEvent(event);
}

void CSnapshotTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidgetItem* item = itemAt(event->position().toPoint());
  QTreeWidget::mouseDoubleClickEvent(event);
  if (item && item == currentItem()) OnViewCommand(ID_SNAPSHOT_SWITCH);
}

void CSnapshotTreeView::contextMenuEvent(QContextMenuEvent* event) {
  QPoint at;
  if (event->reason() == QContextMenuEvent::Mouse) {
    at = event->globalPos();
  } else {
    QTreeWidgetItem* item = currentItem();
    at = item && item->isSelected() ? viewport()->mapToGlobal(visualItemRect(item).bottomRight())
                                    : mapToGlobal(QPoint(0, 0));
  }
  ShowViewContextMenu(IDR_CTX_SNAPSHOT, this, at);
  event->accept();
}
