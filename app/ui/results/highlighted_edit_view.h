// CHighlightedEditView: what the three result boxes (text, replace-to, replace result) add to
// CRichEdit2WView: their saved font, the visible window of the text, highlight spans painted as
// extra selections (never written into the text, so undo and the modified flag stay
// untouched), the scroll throttle that repaints the window 200 ms after scrolling settles, Save
// As (ID_EDIT_SAVE_CONTENT) with the box's own filter list, and the box's context menu.
//
// Covered by app/ui/results/tests/text_views_test.cpp.
#ifndef KORVANE_HIGHLIGHTED_EDIT_VIEW_H
#define KORVANE_HIGHLIGHTED_EDIT_VIEW_H

#include <QBasicTimer>
#include <QElapsedTimer>
#include <vector>

#include "app/document/core/save_as.h"
#include "app/ui/editor/rich_edit_view.h"
#include "app/ui/results/highlight_spans.h"

class CHighlightedEditView : public CRichEdit2WView {
  Q_OBJECT
 public:
  // Scrolling restarts the repaint timer only when this long has passed since its last restart.
  static constexpr int kScrollRestartMs = 100;
  static constexpr int kScrollRepaintMs = 200;

  // `saveBox` picks what Save As writes; `contextMenuId` is the frame's menu template of the box.
  CHighlightedEditView(CKorvaneDoc* doc, const char* fontKey, ESaveAsBox saveBox, int contextMenuId,
                       QWidget* parent = nullptr);

  bool HandlesCommand(int id) const override;
  bool IsCommandEnabled(int id) const override;
  bool DoCommand(int id) override;
  // Save As without the dialog: `filter` is the 1-based filter of the box's filter list.
  bool SaveTo(const QString& path, int filter);

  // The characters from the first one at the top of the viewport to the last one whose line
  // starts at most 30 pixels below its bottom, widened and capped (highlight::WindowAround).
  TextWindow VisibleWindow() const;
  // The spans painted now, in painting order.
  const std::vector<HighlightSpan>& PaintedSpans() const { return m_painted; }
  // Repaints the highlights of the visible window now.
  void RepaintHighlights();
  bool IsScrollRepaintPending() const { return m_scrollTimer.isActive(); }

  // Reads the saved font of this box and applies it.
  void ReloadFont();

 protected:
  // The spans of a window, in painting order; derived boxes say what they paint.
  virtual std::vector<HighlightSpan> SpansFor(TextWindow w) const = 0;
  // Paints explicitly given spans (the replace result box paints a wider window after a rebuild).
  void PaintSpans(std::vector<HighlightSpan> spans);
  // Restarts the scroll repaint timer at once, whatever the throttle says.
  void RestartScrollTimer();
  // Selects [start, end) without reporting it as the user's selection, and brings it into view.
  void SelectQuietly(int start, int end);

  // The frame's menu of the box; without a frame, a local one with the editing commands.
  int ContextMenuTemplate() const override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void OnBoxTextComplete() override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void OnScrolled();

  const char* m_fontKey;
  ESaveAsBox m_saveBox;
  int m_contextMenuId;
  std::vector<HighlightSpan> m_painted;
  QBasicTimer m_scrollTimer;
  QElapsedTimer m_sinceRestart;  // invalid until the first restart
};

#endif
