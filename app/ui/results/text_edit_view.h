// CTextEditView: the subject text box. It hands the user's edits to the document (350 ms after
// the last keystroke, through the base's editing token), reports the user's selection, and
// paints from the document: every match RGB(187,255,255), the current match yellow, the text
// before the start point grey, the trace attempt and step while a traced search is paused, and
// the fail span (pink background with a red wavy underline) while the document shows a fail
// point. Only the visible window of the text is painted (see CHighlightedEditView).
//
// Covered by app/ui/results/tests/text_views_test.cpp; speed: app/ui/results/bench/result_views_bench.cpp.
#ifndef KORVANE_TEXT_EDIT_VIEW_H
#define KORVANE_TEXT_EDIT_VIEW_H

#include "app/ui/results/highlighted_edit_view.h"

class CTextEditView : public CHighlightedEditView {
  Q_OBJECT
 public:
  explicit CTextEditView(CKorvaneDoc* doc, QWidget* parent = nullptr);

  void OnUpdate(CDocView* sender, int hint) override;

  bool HandlesCommand(int id) const override;
  bool IsCommandEnabled(int id) const override;
  bool DoCommand(int id) override;

  // Set Start Point (ID_MATCH_SET_START_POINT): the selection's start, or none when the selection starts at 0 or
  // reaches the end of the text.
  void SetStartPointFromSelection();

  // The subject can be huge: long lines are folded, large texts filled in chunks.
  bool HandlesLargeTexts() const override { return true; }

 protected:
  std::vector<HighlightSpan> SpansFor(TextWindow w) const override;
  void CommitEdit() override;
  void OnUserSelectionChanged() override;

 private:
  bool m_bCommitting = false;  // this box holds the editing token and is handing its text over
};

#endif
