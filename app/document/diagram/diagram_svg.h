// Drawing a railroad diagram layout: the figures (frames, tracks, boxes, marks, notes, the
// start and end marks, the highlights) in one order through an abstract canvas, so that the
// pane (QPainter), the PNG export and the SVG writer below draw the same picture. Colours are
// 0xRRGGBB. The SVG writer is byte-for-byte deterministic for a given layout and style (numbers
// with one decimal, figures in box order), which the golden tests rely on.
// Covered by tests/diagram_layout_test.cpp.
#ifndef KORVANE_DIAGRAM_SVG_H
#define KORVANE_DIAGRAM_SVG_H

#include <QPointF>
#include <QRectF>
#include <QString>
#include <functional>
#include <vector>

#include "app/document/diagram/diagram_layout.h"

class IDiagramCanvas {
 public:
  virtual ~IDiagramCanvas() = default;
  // A rectangle with corner radius; `fill` < 0 leaves it unfilled.
  virtual void Rect(const QRectF& r, double radius, long fill, unsigned stroke, double width, bool dashed) = 0;
  virtual void Line(const QPointF& a, const QPointF& b, unsigned stroke, double width) = 0;
  virtual void Triangle(const QPointF& p1, const QPointF& p2, const QPointF& p3, unsigned fill) = 0;
  virtual void Circle(const QPointF& c, double r, unsigned fill) = 0;
  // One line of text in `r`: centred both ways, or (centred false) left-aligned, centred vertically.
  virtual void Text(const QRectF& r, const QString& s, unsigned colour, bool italic, bool centred) = 0;
};

struct DiagramStyle {
  unsigned background = 0xFFFFFF;
  unsigned track = 0x404040;
  unsigned text = 0x000000;
  unsigned note = 0x505050;
  unsigned terminalFill = 0xE3EEFA, terminalStroke = 0x3A5F8A;
  unsigned markFill = 0xFFF3C4, markStroke = 0x8A6D00;
  unsigned summaryFill = 0xEEEEEE, summaryStroke = 0x707070;
  unsigned captureStroke = 0x2E7D32, groupStroke = 0x8A8A8A, lookStroke = 0x7B3FA0, atomicStroke = 0xB23A3A,
           conditionalStroke = 0x00796B, classStroke = 0x3A5F8A;
  unsigned frameFill = 0xFAFAFA;
  unsigned current = 0xF57C00;  // outline of the current element
  unsigned trace = 0xD32F2F;    // outline and marker of the traced element
  unsigned flavourNote = 0x8040C0;  // outline of a construct another chosen flavour reads otherwise
  static DiagramStyle Dark();
};

// What the diagram shows on top of the layout: the current element's box, the traced element's
// box (-1: none), the boxes other chosen flavours read otherwise and, when set, a fill per box
// (return false to keep the shape's own fill).
struct DiagramDecor {
  int current = -1;
  int trace = -1;
  std::vector<int> noted;
  std::function<bool(int box, unsigned* fill)> heat;
};

// Draws the figures that meet `clip` (an empty clip: everything). The background is not drawn.
void PaintDiagram(const CDiagramLayout& layout, const DiagramStyle& style, const DiagramDecor& decor,
                  IDiagramCanvas& canvas, const QRectF& clip = QRectF());

// The whole diagram as an SVG document; `fontPx` is the text size.
QString DiagramToSvg(const CDiagramLayout& layout, const DiagramStyle& style, const DiagramDecor& decor,
                     double fontPx = 12);

#endif
