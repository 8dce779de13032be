// CTraceStackListView: the list in the Stack bar. While a traced match is paused it shows the
// document's trace stack, outermost element first: the element's text in the pattern, where its
// attempt started, the position when it was entered, and whether the attempt is a retry. At any
// other time it is empty, because the trace stack is only stable while the worker is blocked.
//
// Covered by app/ui/panes/history/tests/trace_stack_test.cpp.
#ifndef KORVANE_TRACE_STACK_LIST_VIEW_H
#define KORVANE_TRACE_STACK_LIST_VIEW_H

#include <QTreeWidget>

#include "app/document/core/doc_ui.h"

class CKorvaneDoc;

class CTraceStackListView : public QTreeWidget, public CDocView {
  Q_OBJECT
 public:
  enum { COL_ELEMENT = 0, COL_START = 1, COL_ENTRY = 2, COL_RETRY = 3 };
  // Longest element text shown; longer ones are cut and end in "...".
  static constexpr int kMaxElementText = 60;

  explicit CTraceStackListView(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CTraceStackListView() override;

  void OnUpdate(CDocView* sender, int hint) override;

 private:
  void Refill();

  CKorvaneDoc* m_pDoc;
};

#endif
