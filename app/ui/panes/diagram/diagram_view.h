// CDiagramPane: the railroad diagram of the compiled pattern in a docking bar. A row of buttons
// (zoom in, zoom out, fit to width, actual size, export SVG, export PNG) over a scrolling canvas
// that draws the layout model (app/document/diagram/diagram_layout.h) through a QPainter canvas.
//
// It follows the document: the layout is rebuilt after every recompile and on a font change
// (the pattern box's font), the current element's box is outlined and scrolled into view, the
// traced element is marked while a trace is paused, and in Optimize mode the boxes carry the
// structure tree's heat colours. A click on a box makes its element the current one (the
// pattern box and the tree follow; a class member's element is its class); a click on a summary
// box opens it. Ctrl+wheel zooms.
//
// Covered by app/ui/panes/diagram/tests/diagram_view_test.cpp.
#ifndef KORVANE_DIAGRAM_VIEW_H
#define KORVANE_DIAGRAM_VIEW_H

#include <QAbstractScrollArea>
#include <QWidget>

#include "app/document/diagram/diagram_layout.h"
#include "app/document/diagram/diagram_svg.h"
#include "app/document/core/doc_ui.h"

class CKorvaneDoc;
class QToolButton;
class CDiagramCanvas;

class CDiagramPane : public QWidget, public CDocView {
  Q_OBJECT

 public:
  explicit CDiagramPane(CKorvaneDoc* doc, QWidget* parent = nullptr);
  ~CDiagramPane() override;

  void OnUpdate(CDocView* sender, int hint) override;

  const CDiagramLayout& Layout() const { return m_layout; }
  int CurrentBox() const { return m_decor.current; }
  int TraceBox() const { return m_decor.trace; }
  // The boxes of constructs a chosen flavour reads otherwise (while the Flavours pane is shown).
  const std::vector<int>& NotedBoxes() const { return m_decor.noted; }
  double Zoom() const { return m_zoom; }
  void SetZoom(double zoom);  // clamped to [kMinZoom, kMaxZoom]
  void FitToWidth();
  // Viewport coordinates of a box's centre and the box under a viewport point (-1: none).
  QPoint BoxCentre(int box) const;
  int BoxAt(const QPoint& viewportPos) const;
  // What a click on a box does: selects its element, or opens a summary box.
  void ActivateBox(int box);
  QWidget* Viewport() const;
  // Writes the diagram (with the heat colours, without the highlights); false after a failure,
  // which the document reports.
  bool ExportSvg(const QString& path);
  bool ExportPng(const QString& path);
  // Rebuilds the layout from the document's records (public for the benchmark).
  void Relayout();
  // Repaints the whole visible part at once (for the benchmark).
  void PaintNow();

  static constexpr double kMinZoom = 0.1;
  static constexpr double kMaxZoom = 4.0;

 protected:
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  friend class CDiagramCanvas;
  void UpdateDecor(bool scrollToCurrent);
  void UpdateHeat();
  void Paint(QPainter& painter, const QRectF& clip);
  void ScrollToBox(int box);
  void OnExport(bool svg);
  DiagramStyle Style() const;
  DiagramMetrics Metrics() const;

  CKorvaneDoc* m_pDoc;  // not owned
  CDiagramCanvas* m_pCanvas = nullptr;
  CDiagramLayout m_layout;
  DiagramDecor m_decor;
  std::vector<unsigned> m_heat;  // per box; 0 keeps the shape's fill (heat colours are never black)
  double m_zoom = 1.0;
  bool m_bFit = false;  // fit to width follows the pane's width until the user zooms
  bool m_bStale = false;  // the document changed while the pane was hidden
};

#endif
