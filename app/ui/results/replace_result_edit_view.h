// CReplaceResultEditView: the replace result box. Read-only and without undo, it is rebuilt
// from the document's replace result, paints every replacement RGB(187,255,255) and the current
// one yellow, and traces a selection back to the match (in the document) and to the replace-to
// token that produced it (for the replace-to box). Right after a rebuild it paints the 10 000
// characters around the newest replacement, then the visible window 200 ms later.
//
// Covered by app/ui/results/tests/text_views_test.cpp.
#ifndef KORVANE_REPLACE_RESULT_EDIT_VIEW_H
#define KORVANE_REPLACE_RESULT_EDIT_VIEW_H

#include "app/ui/results/highlighted_edit_view.h"

class CReplaceResultEditView : public CHighlightedEditView {
  Q_OBJECT
 public:
  static constexpr int kRebuildMargin = 10000;

  explicit CReplaceResultEditView(CKorvaneDoc* doc, QWidget* parent = nullptr);

  void OnUpdate(CDocView* sender, int hint) override;


  // The window painted right after the last rebuild.
  TextWindow RebuildWindow() const { return m_rebuildWindow; }

 protected:
  std::vector<HighlightSpan> SpansFor(TextWindow w) const override;
  void OnUserSelectionChanged() override;

 private:
  void Rebuild();

  TextWindow m_rebuildWindow;
};

#endif
