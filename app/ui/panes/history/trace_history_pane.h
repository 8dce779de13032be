// CTraceHistoryPane: the Stack bar's content, the trace stack list under a timeline slider over
// the recorded history of the paused trace. Dragging the slider (or clicking along it) shows the
// pause step at or before the place; the slider follows Step, Step Back and Continue. While no
// traced search is paused the slider is disabled.
//
// Covered by app/ui/panes/history/tests/trace_history_pane_test.cpp.
#ifndef KORVANE_TRACE_HISTORY_PANE_H
#define KORVANE_TRACE_HISTORY_PANE_H

#include <QWidget>
#include <cstdint>

#include "app/document/core/doc_ui.h"

class CKorvaneDoc;
class QSlider;
class CTraceStackListView;

class CTraceHistoryPane : public QWidget, public CDocView {
  Q_OBJECT
 public:
  // Entries of the stack that stay in sight however small the window.
  static constexpr int kMinRows = 3;

  explicit CTraceHistoryPane(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CTraceHistoryPane() override;

  void OnUpdate(CDocView* sender, int hint) override;

  QSlider* Slider() const { return m_pSlider; }
  CTraceStackListView* StackList() const { return m_pStack; }

 private:
  void Refresh();
  void OnSliderMoved(int value);

  CKorvaneDoc* m_pDoc;
  QSlider* m_pSlider;
  CTraceStackListView* m_pStack;
  // The slider's scale: event = first + value * step (a history longer than an int spans).
  std::int64_t m_nFirst = 0;
  std::int64_t m_nStep = 1;
  bool m_bSetting = false;  // the pane moves the slider itself: no command
};

#endif
