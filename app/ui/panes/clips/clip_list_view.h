// CClipListView: the list in the "Text clip" bar. Row i shows clip i of the document: its name
// in blue when it has one, else its text; with no clips one grey row "( Please drop text here )"
// is the drop target. Text dropped or pasted onto the list becomes a clip (an existing clip with
// the same text moves instead); a clip can be dragged out into any text box, copied, renamed
// and deleted. Cut is disabled: the list has no cut action, and an enabled command that does
// nothing, or one that deletes without the question Delete asks, would mislead.
//
// Covered by app/ui/panes/clips/tests/clip_list_test.cpp and list_look_test.cpp (selected rows).
#ifndef KORVANE_CLIP_LIST_VIEW_H
#define KORVANE_CLIP_LIST_VIEW_H

#include <QTreeWidget>
#include <vector>

#include "app/document/core/doc_ui.h"
#include "app/ui/shared/frame_services.h"

class CKorvaneDoc;
class QMimeData;

class CClipListView : public QTreeWidget, public CDocView, public IViewCommands {
  Q_OBJECT
 public:
  // Longest text a row shows (the tool tip shows more, the clip keeps all).
  static constexpr int kMaxRowText = 256;
  static constexpr int kMaxToolTip = 2000;

  explicit CClipListView(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CClipListView() override;

  void OnUpdate(CDocView* sender, int hint) override;

  bool HandlesViewCommand(int id) const override;
  CommandState QueryViewCommand(int id) const override;
  bool OnViewCommand(int id) override;

  // The selected clip's index, or -1 (also for the drop row).
  int SelectedClip() const;
  void SelectClip(int index);
  // Where a drop at a viewport position inserts: the row under it, plus one below its middle;
  // the clip count when no row is hit or the index passes the last clip.
  int DropIndexAt(const QPoint& viewportPos) const;
  // The insertion line's index while text is dragged over the list, or -1.
  int ShownDropIndex() const { return m_nDropIndex; }
  // Inserts a clip with `text` at `index` as a drop does; returns the clip's index.
  int DropText(const QString& text, int index);
  // The data a drag of clip `index` carries.
  QMimeData* DragData(int index) const;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void startDrag(Qt::DropActions supportedActions) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Rebuild();
  void SetDropIndex(int index);
  void SetClipName();
  void CopyClip();
  void PasteClip();
  void DeleteClip();
  void Announce();

  CKorvaneDoc* m_pDoc;
  int m_nNesting = 0;    // rebuild in progress: selection signals are the list's own
  int m_nDropIndex = -1; // insertion line while dragging
};

#endif
