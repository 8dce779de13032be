// CRegexTreeView: the structure tree of the compiled pattern, one node per element record,
// captioned by type code. Rebuilt in place after every recompile so that expanded branches stay
// expanded; in optimize mode captions carry the execution count and backgrounds the heat.
// Selection is in step with the document's current element (and with the trace step in Trace
// mode). An element-to-node map sorted by element identity answers "which node shows this
// element" by bisection.
//
// Covered by app/ui/editor/tests/tree_group_view_test.cpp.
#ifndef KORVANE_REGEX_TREE_VIEW_H
#define KORVANE_REGEX_TREE_VIEW_H

#include <utility>
#include <vector>

#include "app/document/core/doc_ui.h"
#include "app/host_engine.h"
#include "app/ui/editor/clr_tree_ctrl.h"

class CKorvaneDoc;
struct ElementRecord;

class CRegexTreeView : public CClrTreeView, public CDocView {
  Q_OBJECT

 public:
  explicit CRegexTreeView(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CRegexTreeView() override;

  void OnUpdate(CDocView* sender, int hint) override;
  void OnInitialUpdate();

  // The node showing an element, or null.
  QTreeWidgetItem* FindNode(const HostElement* element) const;
  // The element a node shows (its item data), or null.
  static const HostElement* NodeElement(const QTreeWidgetItem* item);
  // The pattern box that context-menu commands act on and that gets the focus back.
  void SetPatternView(QWidget* view) { m_pPatternView = view; }
  // Rebuilds the tree from the document's records (public for the benchmark).
  void Rebuild();
  void UpdateBreakpointMarks();
  // The warning marks of the repeats the backtracking analysis holds responsible.
  void UpdateBacktrackMarks();
  // Whether a node carries that mark.
  static bool HasBacktrackMark(const QTreeWidgetItem* item);
  // The note marks of the nodes holding a construct a chosen flavour reads otherwise, while the
  // Flavours pane is shown (an information icon, unless the node has the backtracking warning;
  // the tool tip says what each such flavour does).
  void UpdateFlavourMarks();
  static bool HasFlavourMark(const QTreeWidgetItem* item);
  // The tool tip at a point of the viewport: the sentence of the node's element, or empty.
  QString ToolTipAt(const QPoint& viewportPos) const;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  std::vector<const HostElement*> FlavourMarkedElements() const;
  void ShowMarkIcon(QTreeWidgetItem* item) const;
  void OnSelectionChanged();
  void UpdateItem(QTreeWidgetItem* item, const ElementRecord* record, int depth);
  void FillItem(QTreeWidgetItem* item, const ElementRecord* record);
  void AddToMap(const HostElement* element, QTreeWidgetItem* item);
  void SelectElement(const HostElement* element, bool clearWhenMissing);
  void ShowContextMenu(const QPoint& globalPos);
  void FocusPatternView();

  CKorvaneDoc* m_pDoc;  // not owned
  QWidget* m_pPatternView = nullptr;
  std::vector<std::pair<const HostElement*, QTreeWidgetItem*>> m_map;
  bool m_bMapSorted = true;
  int m_nUpdating = 0;  // while above zero, selection changes are the view's own
  long long m_nLargestCount = 0;  // optimize mode: N of the heat colours
  bool m_bOptimize = false;
};

#endif
