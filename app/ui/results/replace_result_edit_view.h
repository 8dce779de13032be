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
  // The replaced text of a huge subject: folded and filled like the subject.
  bool HandlesLargeTexts() const override { return true; }

  // The window painted right after the last rebuild.
  TextWindow RebuildWindow() const { return m_rebuildWindow; }
  // How many times the box was rebuilt (tests: one change, one rebuild).
  int RebuildCount() const { return m_nRebuilds; }

 protected:
  std::vector<HighlightSpan> SpansFor(TextWindow w) const override;
  void OnUserSelectionChanged() override;

 private:
  void Rebuild();

  // What the shown text was built from: the result's version and the subject it read.
  struct RebuildKey {
    unsigned long long version = 0;
    const unsigned short* subject = nullptr;
    size_t subjectLength = 0;
    bool rightToLeft = false;
    bool operator==(const RebuildKey& o) const {
      return version == o.version && subject == o.subject && subjectLength == o.subjectLength &&
             rightToLeft == o.rightToLeft;
    }
  };

  TextWindow m_rebuildWindow;
  RebuildKey m_builtKey;
  bool m_bBuilt = false;
  int m_nRebuilds = 0;
};

#endif
