// CRegexGroupListView: the group list. Row 0 stands for the whole pattern ("$0"), row i for
// capture group i ("$i", its name, the text it captured in the shown result). Rows are updated
// in place after a recompile; the selection is in step with the document's current element.
//
// Covered by app/ui/editor/tests/tree_group_view_test.cpp.
#ifndef KORVANE_REGEX_GROUP_LIST_VIEW_H
#define KORVANE_REGEX_GROUP_LIST_VIEW_H

#include <utility>
#include <vector>

#include "app/document/core/doc_ui.h"
#include "app/document/debugger/trace_history.h"
#include "app/host_engine.h"
#include "app/ui/editor/clr_list_ctrl.h"

class CKorvaneDoc;

class CRegexGroupListView : public CClrListView, public CDocView {
  Q_OBJECT

 public:
  explicit CRegexGroupListView(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CRegexGroupListView() override;

  enum { COL_GROUP = 0, COL_NAMED = 1, COL_CAPTURED = 2 };

  void OnUpdate(CDocView* sender, int hint) override;
  void OnInitialUpdate();

  // The row standing for an element, or -1.
  int FindRow(const HostElement* element) const;
  const HostElement* RowElement(int row) const;
  void SetPatternView(QWidget* view) { m_pPatternView = view; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void RebuildRows();
  void FillCaptures();
  void FillCapturesAtStep(const std::vector<HistoryCapture>& captures);
  void SelectCurrent();
  void OnSelectionChanged();
  void SizeColumns();
  void FocusPatternView();

  CKorvaneDoc* m_pDoc;  // not owned
  QWidget* m_pPatternView = nullptr;
  std::vector<std::pair<const HostElement*, int>> m_map;  // sorted by element
  int m_nUpdating = 0;  // while above zero, selection changes are the view's own
  bool m_bColumnsMade = false;
};

#endif
