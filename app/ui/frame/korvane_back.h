// CKorvaneBack: the work pane below the pattern pane. It lays out up to four views itself and
// two drag separators (no splitter): the replace-to separator across the full width, and the
// text separator below it, whose top is always the bottom of the replace-to one. Which views
// exist and how the separators stand depend on the work mode:
//
//   Match, Trace, Optimize  replace-to 0 / thickness 0, text 1.0 / 0   text box only
//   Replace                 document's ratios, thickness 7 each       replace-to on top, text
//                                                                     bottom left, result right
//   Split                   replace-to 0 / 0, text ratio / 7          text left, split list right
//
// A separator stands at extent × ratio (truncated) and is `thickness` pixels thick. Dragging
// takes the ratio (mouse − grab offset) / extent, with the extent taken as 100 when the pane is
// 100 pixels or less, and clamps it to 0.1 .. 0.9. The document keeps the two ratios (its
// pattern and text pane shares), so the layout files and the mode layouts can store them.
//
// Covered by app/ui/tests/frame_test.cpp (work pane rows).
#ifndef KORVANE_KORVANE_BACK_H
#define KORVANE_KORVANE_BACK_H

#include <QRect>
#include <QWidget>
#include <functional>

#include "app/document/core/doc_ui.h"

class CKorvaneDoc;

struct CSeparator {
  enum Kind { HORIZONTAL, VERTICAL };
  static constexpr float kMinRatio = 0.1f;
  static constexpr float kMaxRatio = 0.9f;

  Kind kind = HORIZONTAL;
  int thickness = 0;
  float ratio = 0.0f;
  QRect rect;       // in pane coordinates
  int grabOffset = 0;

  // The extent used for dragging: the client extent, or 100 when that is 100 or less.
  static int DragExtent(int clientExtent) { return clientExtent <= 100 ? 100 : clientExtent; }
  // Position (top or left) from the ratio for a client extent.
  static int PositionFor(int extent, float ratio) { return static_cast<int>(static_cast<float>(extent) * ratio); }
  // Where a drag puts the separator: sets the ratio and returns the new position.
  int Drag(int mouse, int clientExtent);
};

class CKorvaneBack : public QWidget, public CDocView {
  Q_OBJECT

 public:
  // Child slots (pane ids from the first pane id upward).
  enum Slot { SLOT_TEXT = 0, SLOT_REPLACE_TO = 1, SLOT_REPLACE_RESULT = 2, SLOT_SPLIT = 3, SLOT_COUNT = 4 };
  static constexpr int kSeparatorThickness = 7;
  // The least height the pane asks of the window: when the window shrinks, the bars give up
  // their room before the text box shrinks below a few lines (Replace mode: the replace-to box
  // keeps a line).
  static constexpr int kMinHeight = 110;

  explicit CKorvaneBack(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CKorvaneBack() override;

  void OnUpdate(CDocView* sender, int hint) override;

  // Lays out the views for the document's mode when it differs from the one laid out last
  // (or always, with force).
  void ApplyMode(bool force = false);
  int LaidOutMode() const { return m_nMode; }
  // The view in a slot, or null when the mode lacks it.
  QWidget* View(int slot) const { return m_views[slot]; }
  const CSeparator& ReplaceToSeparator() const { return m_sepReplaceTo; }
  const CSeparator& TextSeparator() const { return m_sepText; }
  // Re-reads the separators' ratios from the document (after a layout load) and lays out.
  void ReloadRatios();
  // The two shares as the pane last took them from the document or from a drag: what the user
  // sees, even while the document holds others (it clears them before it reads a workspace).
  float PatternShare() const { return m_fPatternShare; }
  float TextShare() const { return m_fTextShare; }

  // Called before a view is destroyed, so the frame can move the active view away from it.
  std::function<void(QWidget*)> aboutToDestroyView;
  // Makes the view of a slot; replaced by tests. The default makes the real views.
  std::function<QWidget*(int slot, CKorvaneDoc* doc, QWidget* parent)> makeView;
  static QWidget* MakeDefaultView(int slot, CKorvaneDoc* doc, QWidget* parent);

  // Drag steps, also used by the tests: press at a pane position (true when on a separator),
  // move, release.
  bool BeginDrag(const QPoint& pos);
  void DragTo(const QPoint& pos);
  void EndDrag();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void PlaceSeparators();
  void LayoutViews();
  // Which separator a point hits: 1 replace-to, 2 text, 0 none.
  int HitSeparator(const QPoint& pos) const;
  void WriteRatios();

  CKorvaneDoc* m_pDoc;  // not owned; outlives the pane
  QWidget* m_views[SLOT_COUNT] = {nullptr, nullptr, nullptr, nullptr};  // children
  CSeparator m_sepReplaceTo;
  CSeparator m_sepText;
  int m_nMode = 0;      // the mode laid out last; 0 before the first
  float m_fPatternShare = 0.2f;
  float m_fTextShare = 0.5f;
  int m_nDragging = 0;  // separator being dragged (as HitSeparator)
};

#endif
