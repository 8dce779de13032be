// Painting order and the SVG canvas.
#include "app/document/diagram/diagram_svg.h"

#include <cmath>

DiagramStyle DiagramStyle::Dark() {
  DiagramStyle s;
  s.background = 0x1E1E1E;
  s.track = 0xC8C8C8;
  s.text = 0xE8E8E8;
  s.note = 0xB0B0B0;
  s.terminalFill = 0x23384F;
  s.terminalStroke = 0x7FA7D6;
  s.markFill = 0x4A3F14;
  s.markStroke = 0xD8B84A;
  s.flavourNote = 0xB98AE6;
  s.summaryFill = 0x333333;
  s.summaryStroke = 0x9A9A9A;
  s.captureStroke = 0x7BC67E;
  s.groupStroke = 0x8A8A8A;
  s.lookStroke = 0xC08FE0;
  s.atomicStroke = 0xE58080;
  s.conditionalStroke = 0x4DB6AC;
  s.classStroke = 0x7FA7D6;
  s.frameFill = 0x262626;
  s.current = 0xFFA040;
  s.trace = 0xFF6060;
  return s;
}

namespace {

bool Meets(const QRectF& r, const QRectF& clip) { return clip.isEmpty() || r.intersects(clip); }

unsigned FrameStroke(const DiagramStyle& s, int frame) {
  switch (frame) {
    case FRAME_CAPTURE: return s.captureStroke;
    case FRAME_LOOKAHEAD:
    case FRAME_LOOKBEHIND: return s.lookStroke;
    case FRAME_ATOMIC: return s.atomicStroke;
    case FRAME_CONDITIONAL: return s.conditionalStroke;
    case FRAME_CLASS: return s.classStroke;
    default: return s.groupStroke;
  }
}

void Arrow(IDiagramCanvas& canvas, const DiagramTrack& t, unsigned colour) {
  const QPointF mid = (t.a + t.b) / 2;
  const double dx = t.b.x() - t.a.x(), dy = t.b.y() - t.a.y();
  const double len = std::sqrt(dx * dx + dy * dy);
  if (len < 1e-6) return;
  const double ux = dx / len, uy = dy / len;
  const QPointF tip = mid + QPointF(ux * 4, uy * 4);
  const QPointF back = mid - QPointF(ux * 4, uy * 4);
  canvas.Triangle(tip, back + QPointF(-uy * 4, ux * 4), back - QPointF(-uy * 4, ux * 4), colour);
}

}  // namespace

void PaintDiagram(const CDiagramLayout& layout, const DiagramStyle& style, const DiagramDecor& decor,
                  IDiagramCanvas& canvas, const QRectF& clip) {
  const std::vector<DiagramBox>& boxes = layout.Boxes();
  const double lh = layout.LineHeight();
  auto fillOf = [&](int i, unsigned own) -> long {
    unsigned f = own;
    if (decor.heat && decor.heat(i, &f)) return static_cast<long>(f);
    return static_cast<long>(own);
  };
  // Frames first (in pre-order, so an inner frame lies over its outer one), then the tracks over
  // them, then the boxes on the tracks.
  for (size_t i = 0; i < boxes.size(); ++i) {
    const DiagramBox& b = boxes[i];
    if (b.shape != DIAGRAM_FRAME || !Meets(b.rect, clip)) continue;
    const bool dashed = b.frame == FRAME_NONCAPTURE || b.frame == FRAME_LOOKAHEAD || b.frame == FRAME_LOOKBEHIND;
    // A capture and a negated class ("none of", one box) have a heavier border.
    const bool heavy = b.frame == FRAME_CAPTURE || (b.frame == FRAME_CLASS && (b.flags & DIAGRAM_NEGATIVE));
    canvas.Rect(b.rect, 6, fillOf(static_cast<int>(i), style.frameFill), FrameStroke(style, b.frame),
                heavy ? 1.5 : 1, dashed);
    if (!b.text.isEmpty())
      canvas.Text(QRectF(b.rect.left() + 8, b.rect.top() + 2, b.rect.width() - 16, lh), b.text,
                  FrameStroke(style, b.frame), false, false);
  }
  for (const DiagramTrack& t : layout.Tracks()) {
    const QRectF span = QRectF(t.a, t.b).normalized().adjusted(-1, -1, 1, 1);
    if (!Meets(span, clip)) continue;
    canvas.Line(t.a, t.b, style.track, 1.5);
    if (t.arrow) Arrow(canvas, t, style.track);
  }
  for (size_t i = 0; i < boxes.size(); ++i) {
    const DiagramBox& b = boxes[i];
    const int index = static_cast<int>(i);
    if (!Meets(b.rect.united(b.noteRect.isEmpty() ? b.rect : b.noteRect), clip)) continue;
    switch (b.shape) {
      case DIAGRAM_TERMINAL:
      case DIAGRAM_MEMBER:
        canvas.Rect(b.rect, 3, fillOf(index, style.terminalFill), style.terminalStroke, 1, false);
        canvas.Text(b.rect, b.text, style.text, false, true);
        break;
      case DIAGRAM_MARK:
        canvas.Rect(b.rect, b.rect.height() / 2, fillOf(index, style.markFill), style.markStroke, 1, false);
        canvas.Text(b.rect, b.text, style.text, false, true);
        break;
      case DIAGRAM_SUMMARY:
        canvas.Rect(b.rect, 3, fillOf(index, style.summaryFill), style.summaryStroke, 1, true);
        canvas.Text(b.rect, b.text, style.text, true, true);
        break;
      case DIAGRAM_LOOP:
        if (!b.note.isEmpty()) canvas.Text(b.noteRect, b.note, style.note, true, true);
        break;
      default:
        break;
    }
  }
  canvas.Circle(layout.StartPoint(), 5, style.track);
  canvas.Circle(layout.EndPoint(), 5, style.track);
  canvas.Circle(layout.EndPoint(), 2.5, style.background);
  auto outline = [&](int i, unsigned colour, double grow) {
    if (i < 0 || i >= static_cast<int>(boxes.size())) return;
    const QRectF r = boxes[i].rect.adjusted(-grow, -grow, grow, grow);
    canvas.Rect(r, 5, -1, colour, 2.5, false);
  };
  // Under the current and traced outlines, which keep precedence.
  for (int i : decor.noted) outline(i, style.flavourNote, 1);
  outline(decor.current, style.current, 2);
  if (decor.trace >= 0 && decor.trace < static_cast<int>(boxes.size())) {
    outline(decor.trace, style.trace, 4);
    // A marker over the traced box's entry, so that the position stands out in a large diagram.
    const QRectF& r = boxes[decor.trace].rect;
    const QPointF tip(r.left(), r.top() - 5);
    canvas.Triangle(tip, tip + QPointF(-5, -8), tip + QPointF(5, -8), style.trace);
  }
}

namespace {

QString N(double v) {
  QString s = QString::number(std::round(v * 10) / 10, 'f', 1);
  if (s.endsWith(QLatin1String(".0"))) s.chop(2);
  if (s == QLatin1String("-0")) s = QStringLiteral("0");
  return s;
}

QString Colour(unsigned c) { return QStringLiteral("#%1").arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0')); }

QString Escape(const QString& s) {
  QString out;
  out.reserve(s.size());
  for (QChar c : s) {
    switch (c.unicode()) {
      case '&': out += QLatin1String("&amp;"); break;
      case '<': out += QLatin1String("&lt;"); break;
      case '>': out += QLatin1String("&gt;"); break;
      case '"': out += QLatin1String("&quot;"); break;
      default: out += c; break;
    }
  }
  return out;
}

class CSvgCanvas : public IDiagramCanvas {
 public:
  QString out;
  void Rect(const QRectF& r, double radius, long fill, unsigned stroke, double width, bool dashed) override {
    out += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" fill=\"%6\" stroke=\"%7\" stroke-width=\"%8\"%9/>\n")
               .arg(N(r.x()), N(r.y()), N(r.width()), N(r.height()), N(radius),
                    fill < 0 ? QStringLiteral("none") : Colour(static_cast<unsigned>(fill)), Colour(stroke), N(width),
                    dashed ? QStringLiteral(" stroke-dasharray=\"4 3\"") : QString());
  }
  void Line(const QPointF& a, const QPointF& b, unsigned stroke, double width) override {
    out += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" stroke=\"%5\" stroke-width=\"%6\"/>\n")
               .arg(N(a.x()), N(a.y()), N(b.x()), N(b.y()), Colour(stroke), N(width));
  }
  void Triangle(const QPointF& p1, const QPointF& p2, const QPointF& p3, unsigned fill) override {
    out += QStringLiteral("<polygon points=\"%1,%2 %3,%4 %5,%6\" fill=\"%7\"/>\n")
               .arg(N(p1.x()), N(p1.y()), N(p2.x()), N(p2.y()), N(p3.x()), N(p3.y()), Colour(fill));
  }
  void Circle(const QPointF& c, double r, unsigned fill) override {
    out += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"/>\n").arg(N(c.x()), N(c.y()), N(r), Colour(fill));
  }
  void Text(const QRectF& r, const QString& s, unsigned colour, bool italic, bool centred) override {
    const double x = centred ? r.center().x() : r.left();
    out += QStringLiteral("<text x=\"%1\" y=\"%2\" fill=\"%3\" dominant-baseline=\"central\"%4%5>%6</text>\n")
               .arg(N(x), N(r.center().y()), Colour(colour),
                    centred ? QStringLiteral(" text-anchor=\"middle\"") : QString(),
                    italic ? QStringLiteral(" font-style=\"italic\"") : QString(), Escape(s));
  }
};

}  // namespace

QString DiagramToSvg(const CDiagramLayout& layout, const DiagramStyle& style, const DiagramDecor& decor,
                     double fontPx) {
  const QRectF b = layout.Bounds();
  CSvgCanvas canvas;
  canvas.out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\" "
                              "font-family=\"monospace\" font-size=\"%3\">\n")
                   .arg(N(b.width()), N(b.height()), N(fontPx));
  canvas.out += QStringLiteral("<rect x=\"0\" y=\"0\" width=\"%1\" height=\"%2\" fill=\"%3\"/>\n")
                    .arg(N(b.width()), N(b.height()), Colour(style.background));
  PaintDiagram(layout, style, decor, canvas);
  canvas.out += QLatin1String("</svg>\n");
  return canvas.out;
}
