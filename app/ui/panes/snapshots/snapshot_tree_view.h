// CSnapshotTreeView: the tree in the "Snapshot" bar. It mirrors the document's snapshot tree,
// rebuilt in place (items reused in order, so expanded branches stay expanded), each item
// captioned with the snapshot's name or the first 20 characters of its pattern and "...", and
// keeps the document's current snapshot selected. Its commands add, switch to (asking whether
// to keep a modified pattern first), rename and delete snapshots; a snapshot's pattern can be
// dragged out as text.
//
// Covered by app/ui/panes/snapshots/tests/snapshot_tree_test.cpp.
#ifndef KORVANE_SNAPSHOT_TREE_VIEW_H
#define KORVANE_SNAPSHOT_TREE_VIEW_H

#include <QHash>
#include <QTreeWidget>

#include "app/document/core/doc_ui.h"
#include "app/ui/shared/frame_services.h"

class CKorvaneDoc;
struct Snapshot;
class QMimeData;

class CSnapshotTreeView : public QTreeWidget, public CDocView, public IViewCommands {
  Q_OBJECT
 public:

  explicit CSnapshotTreeView(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CSnapshotTreeView() override;

  void OnUpdate(CDocView* sender, int hint) override;

  bool HandlesViewCommand(int id) const override;
  CommandState QueryViewCommand(int id) const override;
  bool OnViewCommand(int id) override;

  // The item of a snapshot id, or null.
  QTreeWidgetItem* ItemOf(int id) const { return m_items.value(id, nullptr); }
  // The id of the selected item, or 0.
  int SelectedId() const;
  static int IdOf(const QTreeWidgetItem* item);
  // The snapshot's caption (SnapshotCaption in shared/snapshot_caption.h).
  static QString Caption(const Snapshot& s);
  QMimeData* DragData(int id) const;

  // The commands themselves, on the selected item.
  void SwitchToSelected();
  void RenameSelected();
  void DeleteSelected(bool withSubtree);

 protected:
  void startDrag(Qt::DropActions supportedActions) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void Rebuild();
  void Fill(QTreeWidgetItem* parent, const std::vector<int>& ids);
  void SelectCurrent();

  CKorvaneDoc* m_pDoc;
  QHash<int, QTreeWidgetItem*> m_items;  // snapshot id -> its item; items are owned by the tree
  int m_nBusy = 0;
};

#endif
