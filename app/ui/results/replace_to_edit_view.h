// CReplaceToEditView: the replace-to box. It hands its edits to the document, colours the
// tokens of the parsed replace-to program (references magenta, literal text black), marks the
// token under the caret yellow and reports it to the document, and selects the token that
// produced the place selected in the replace result box.
//
// Covered by app/ui/results/tests/text_views_test.cpp.
#ifndef KORVANE_REPLACE_TO_EDIT_VIEW_H
#define KORVANE_REPLACE_TO_EDIT_VIEW_H

#include "app/ui/results/highlighted_edit_view.h"

class CReplaceToEditView : public CHighlightedEditView {
  Q_OBJECT
 public:
  explicit CReplaceToEditView(CKorvaneDoc* doc, QWidget* parent = nullptr);

  void OnUpdate(CDocView* sender, int hint) override;


  // The yellow token mark [start, end) in the replace-to text; empty when none.
  std::pair<int, int> TokenHighlight() const { return m_token; }

 protected:
  std::vector<HighlightSpan> SpansFor(TextWindow w) const override;
  void CommitEdit() override;
  void OnUserSelectionChanged() override;

 private:
  // The span of program piece `index` in the replace-to text, or {0, 0}.
  std::pair<int, int> PieceSpan(int index) const;

  bool m_bCommitting = false;
  std::pair<int, int> m_token{0, 0};  // remembered highlight of the current token
};

#endif
