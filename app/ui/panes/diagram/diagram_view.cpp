// CDiagramPane: buttons, the scrolling canvas, the QPainter canvas, exports.
#include "app/ui/panes/diagram/diagram_view.h"

#include <QBuffer>
#include <QFileDialog>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QToolButton>
#include <QToolTip>
#include <QHelpEvent>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "app/document/flavours/flavour_session.h"
#include "app/platform/file_io.h"
#include "app/ui/editor/element_display.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/rich_edit_view.h"
#include "app/ui/editor/view_colours.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

QColor ToColor(unsigned rgb) { return QColor(QRgb(0xFF000000u | rgb)); }

class CPainterCanvas : public IDiagramCanvas {
 public:
  explicit CPainterCanvas(QPainter& p) : m_p(p), m_font(p.font()) {}
  void Rect(const QRectF& r, double radius, long fill, unsigned stroke, double width, bool dashed) override {
    QPen pen(ToColor(stroke), width, dashed ? Qt::DashLine : Qt::SolidLine);
    m_p.setPen(pen);
    m_p.setBrush(fill < 0 ? QBrush(Qt::NoBrush) : QBrush(ToColor(static_cast<unsigned>(fill))));
    m_p.drawRoundedRect(r, radius, radius);
  }
  void Line(const QPointF& a, const QPointF& b, unsigned stroke, double width) override {
    m_p.setPen(QPen(ToColor(stroke), width, Qt::SolidLine, Qt::FlatCap));
    m_p.drawLine(a, b);
  }
  void Triangle(const QPointF& p1, const QPointF& p2, const QPointF& p3, unsigned fill) override {
    m_p.setPen(Qt::NoPen);
    m_p.setBrush(ToColor(fill));
    const QPointF pts[3] = {p1, p2, p3};
    m_p.drawPolygon(pts, 3);
  }
  void Circle(const QPointF& c, double r, unsigned fill) override {
    m_p.setPen(Qt::NoPen);
    m_p.setBrush(ToColor(fill));
    m_p.drawEllipse(c, r, r);
  }
  void Text(const QRectF& r, const QString& s, unsigned colour, bool italic, bool centred) override {
    QFont f = m_font;
    f.setItalic(italic);
    m_p.setFont(f);
    m_p.setPen(ToColor(colour));
    m_p.drawText(r, (centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter | Qt::TextSingleLine, s);
  }

 private:
  QPainter& m_p;
  QFont m_font;
};

}  // namespace

// The scrolling surface: diagram coordinates times the zoom, minus the scroll offsets.
class CDiagramCanvas : public QAbstractScrollArea {
 public:
  explicit CDiagramCanvas(CDiagramPane* pane) : QAbstractScrollArea(pane), m_pPane(pane) {
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
  }
  QPointF ToDiagram(const QPoint& p) const {
    return QPointF((p.x() + horizontalScrollBar()->value()) / m_pPane->m_zoom,
                   (p.y() + verticalScrollBar()->value()) / m_pPane->m_zoom);
  }
  QPoint ToViewport(const QPointF& d) const {
    return QPoint(static_cast<int>(std::lround(d.x() * m_pPane->m_zoom)) - horizontalScrollBar()->value(),
                  static_cast<int>(std::lround(d.y() * m_pPane->m_zoom)) - verticalScrollBar()->value());
  }
  void UpdateScrollBars() {
    const QRectF b = m_pPane->m_layout.Bounds();
    const int w = static_cast<int>(std::ceil(b.width() * m_pPane->m_zoom));
    const int h = static_cast<int>(std::ceil(b.height() * m_pPane->m_zoom));
    const QSize vp = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, w - vp.width()));
    horizontalScrollBar()->setPageStep(vp.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, h - vp.height()));
    verticalScrollBar()->setPageStep(vp.height());
    verticalScrollBar()->setSingleStep(20);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter p(viewport());
    p.fillRect(event->rect(), ToColor(m_pPane->Style().background));
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setFont(font());
    p.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    p.scale(m_pPane->m_zoom, m_pPane->m_zoom);
    const QRectF clip(ToDiagram(event->rect().topLeft()), ToDiagram(event->rect().bottomRight() + QPoint(1, 1)));
    m_pPane->Paint(p, clip);
  }
  void resizeEvent(QResizeEvent* event) override {
    QAbstractScrollArea::resizeEvent(event);
    if (m_pPane->m_bFit)
      m_pPane->FitToWidth();
    else
      UpdateScrollBars();
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) {
      m_pPane->ActivateBox(m_pPane->BoxAt(event->pos()));
      event->accept();
      return;
    }
    QAbstractScrollArea::mousePressEvent(event);
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    const int box = m_pPane->BoxAt(event->pos());
    const bool summary = box >= 0 && m_pPane->m_layout.Boxes()[box].shape == DIAGRAM_SUMMARY;
    viewport()->setCursor(box >= 0 && (summary || m_pPane->m_layout.ElementOf(box)) ? Qt::PointingHandCursor
                                                                                     : Qt::ArrowCursor);
    QAbstractScrollArea::mouseMoveEvent(event);
  }
  bool viewportEvent(QEvent* event) override {
    if (event->type() == QEvent::ToolTip) {
      // The structure tree's caption of the element under the mouse (a class member: its
      // class), or a summary's own text.
      auto* help = static_cast<QHelpEvent*>(event);
      const int box = m_pPane->BoxAt(help->pos());
      QString tip;
      if (box >= 0) {
        const DiagramBox& b = m_pPane->m_layout.Boxes()[box];
        // Through the document's records: the layout's may be gone if a recompile has not
        // reached the pane yet (the wait dialog pumps events).
        const HostElement* element = m_pPane->m_layout.ElementOf(box);
        const ElementRecord* r = m_pPane->m_pDoc && element ? m_pPane->m_pDoc->GetRecords().Lookup(element) : nullptr;
        tip = b.shape == DIAGRAM_SUMMARY ? b.text : (r ? ElementCaption(r) : QString());
        // What the chosen flavours make of the constructs this box holds innermost.
        if (r && m_pPane->m_pDoc) {
          CKorvaneDoc& doc = *m_pPane->m_pDoc;
          for (const FlavourNote& note : ShownFlavourNotes(doc))
            if (doc.GetRecords().FindInnermost(note.start, note.start + note.length) == element)
              tip += QLatin1Char('\n') + NoteSummary(note.row, doc.Flavours().Chosen());
        }
      }
      if (tip.isEmpty())
        QToolTip::hideText();
      else
        QToolTip::showText(help->globalPos(), tip, viewport());
      return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
  }
  void wheelEvent(QWheelEvent* event) override {
    if (event->modifiers() & Qt::ControlModifier) {
      const int steps = event->angleDelta().y() / 120;
      if (steps) m_pPane->SetZoom(m_pPane->m_zoom * std::pow(1.2, steps));
      event->accept();
      return;
    }
    QAbstractScrollArea::wheelEvent(event);
  }

 private:
  CDiagramPane* m_pPane;
};

CDiagramPane::CDiagramPane(CKorvaneDoc* doc, QWidget* parent) : QWidget(parent), m_pDoc(doc) {
  setObjectName(QStringLiteral("diagram"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* row = new QHBoxLayout;
  row->setContentsMargins(2, 2, 2, 2);
  row->setSpacing(2);
  auto button = [&](int textId, const char* name, auto slot) {
    auto* b = new QToolButton(this);
    b->setText(CStringTable::Str(textId));
    b->setObjectName(QLatin1String(name));
    b->setAutoRaise(true);
    connect(b, &QToolButton::clicked, this, slot);
    row->addWidget(b);
  };
  button(IDS_DIAGRAM_ZOOM_IN, "zoom-in", [this] { SetZoom(m_zoom * 1.25); });
  button(IDS_DIAGRAM_ZOOM_OUT, "zoom-out", [this] { SetZoom(m_zoom / 1.25); });
  button(IDS_DIAGRAM_FIT, "fit-width", [this] { FitToWidth(); });
  button(IDS_DIAGRAM_ACTUAL, "actual-size", [this] { SetZoom(1.0); });
  row->addStretch(1);
  button(IDS_DIAGRAM_EXPORT_SVG, "export-svg", [this] { OnExport(true); });
  button(IDS_DIAGRAM_EXPORT_PNG, "export-png", [this] { OnExport(false); });
  column->addLayout(row);
  m_pCanvas = new CDiagramCanvas(this);
  m_pCanvas->setFont(CRegexEditView::LoadPatternFont());
  column->addWidget(m_pCanvas, 1);
  setFocusProxy(m_pCanvas);  // the frame's pane switching focuses the pane
  if (m_pDoc) m_pDoc->AddView(this);
  Relayout();
}

CDiagramPane::~CDiagramPane() {
  if (m_pDoc) m_pDoc->RemoveView(this);
}

QWidget* CDiagramPane::Viewport() const { return m_pCanvas->viewport(); }

DiagramStyle CDiagramPane::Style() const {
  return IsDarkPalette(palette()) ? DiagramStyle::Dark() : DiagramStyle();
}

DiagramMetrics CDiagramPane::Metrics() const {
  DiagramMetrics m;
  const QFontMetricsF fm(m_pCanvas->font());
  m.lineHeight = std::ceil(fm.height());
  m.textWidth = [fm](const QString& s) { return fm.horizontalAdvance(s); };
  return m;
}

void CDiagramPane::OnUpdate(CDocView* sender, int hint) {
  (void)sender;
  if (!m_pDoc) return;
  if (hint & HINT_FONTS) m_pCanvas->setFont(CRegexEditView::LoadPatternFont());
  // A hidden pane only notes that it is behind; showing it lays out once (a huge pattern costs
  // a hidden pane nothing per keystroke).
  if (!isVisible()) {
    m_bStale = true;
    return;
  }
  if (hint & (HINT_RECOMPILED | HINT_FONTS | HINT_PATTERN_REPLACED)) {
    Relayout();
    return;
  }
  if (hint & (HINT_MODE | HINT_COUNTERS)) UpdateHeat();
  if (hint & (HINT_CURRENT_ELEMENT | HINT_RECOLOR_PATTERN | HINT_MODE | HINT_RESULTS | HINT_COUNTERS))
    UpdateDecor((hint & (HINT_CURRENT_ELEMENT | HINT_RECOLOR_PATTERN)) != 0);
}

void CDiagramPane::Relayout() {
  const ElementRecord* root = m_pDoc ? m_pDoc->GetRecords().Root() : nullptr;
  const bool rtl = m_pDoc && (m_pDoc->GetFlags() & RIGHTTOLEFT) != 0;
  m_bStale = false;
  m_layout.Build(root, rtl, Metrics());
  UpdateHeat();
  if (m_bFit)
    FitToWidth();
  else
    m_pCanvas->UpdateScrollBars();
  UpdateDecor(true);
}

void CDiagramPane::UpdateHeat() {
  m_heat.clear();
  if (!m_pDoc || m_pDoc->GetMode() != MODE_OPTIMIZE) {
    m_decor.heat = nullptr;
    m_pCanvas->viewport()->update();
    return;
  }
  const std::vector<DiagramBox>& boxes = m_layout.Boxes();
  const long long largest = LargestExecutionCount(*m_pDoc, m_pDoc->GetRecords().Root());
  const bool dark = IsDarkPalette(palette());
  m_heat.assign(boxes.size(), 0);
  for (size_t i = 0; i < boxes.size(); ++i) {
    if (!boxes[i].element || boxes[i].shape == DIAGRAM_SUMMARY) continue;
    const ElementRecord* r = m_pDoc->GetRecords().Lookup(boxes[i].element);
    if (!r) continue;
    const int k = TreeHeat(ExecutionCount(*m_pDoc, r), largest);
    if (k >= 0) m_heat[i] = HeatColorFor(k, dark) & 0xFFFFFFu;
  }
  m_decor.heat = [this](int box, unsigned* fill) {
    if (box < 0 || box >= static_cast<int>(m_heat.size()) || m_heat[box] == 0) return false;
    *fill = m_heat[box];
    return true;
  };
  m_pCanvas->viewport()->update();
}

void CDiagramPane::UpdateDecor(bool scrollToCurrent) {
  if (!m_pDoc) return;
  m_decor.current = m_layout.BoxOf(m_pDoc->GetCurrentElement());
  m_decor.trace = -1;
  if (m_pDoc->GetMode() == MODE_TRACE) {
    if (const TraceStep* step = m_pDoc->PausedTraceStep()) {
      m_decor.trace = m_layout.BoxOf(step->element);
      // A compiled element without a record of its own (a group's brackets have none): mark
      // the innermost element whose span holds its span.
      if (m_decor.trace < 0 && step->element)
        m_decor.trace = m_layout.BoxOf(
            m_pDoc->GetRecords().FindInnermost(step->element->m_nStart, step->element->m_nEnd));
    }
  }
  m_decor.noted.clear();
  for (const FlavourNote& note : ShownFlavourNotes(*m_pDoc)) {
    const int box = m_layout.BoxOf(m_pDoc->GetRecords().FindInnermost(note.start, note.start + note.length));
    if (box >= 0) m_decor.noted.push_back(box);
  }
  if (scrollToCurrent) ScrollToBox(m_decor.trace >= 0 ? m_decor.trace : m_decor.current);
  m_pCanvas->viewport()->update();
}

void CDiagramPane::ScrollToBox(int box) {
  if (box < 0 || box >= static_cast<int>(m_layout.Boxes().size())) return;
  const QRectF r = m_layout.Boxes()[box].rect;
  const QRect vp = m_pCanvas->viewport()->rect();
  const QRect on(m_pCanvas->ToViewport(r.topLeft()), m_pCanvas->ToViewport(r.bottomRight()));
  QScrollBar* h = m_pCanvas->horizontalScrollBar();
  QScrollBar* v = m_pCanvas->verticalScrollBar();
  // Only when it is not wholly in view; then its top left goes near the top left.
  if (on.right() > vp.right() || on.left() < 0) h->setValue(h->value() + on.left() - 20);
  if (on.bottom() > vp.bottom() || on.top() < 0) v->setValue(v->value() + on.top() - 20);
}

void CDiagramPane::Paint(QPainter& painter, const QRectF& clip) {
  CPainterCanvas canvas(painter);
  PaintDiagram(m_layout, Style(), m_decor, canvas, clip);
}

void CDiagramPane::PaintNow() { m_pCanvas->viewport()->repaint(); }

void CDiagramPane::SetZoom(double zoom) {
  m_bFit = false;
  const double z = std::clamp(zoom, kMinZoom, kMaxZoom);
  if (z == m_zoom) return;
  m_zoom = z;
  m_pCanvas->UpdateScrollBars();
  m_pCanvas->viewport()->update();
}

void CDiagramPane::FitToWidth() {
  const double w = m_layout.Bounds().width();
  const int vpw = m_pCanvas->viewport()->width();
  if (w <= 0 || vpw <= 0) return;
  SetZoom(vpw / w);
  m_bFit = true;
}

QPoint CDiagramPane::BoxCentre(int box) const {
  if (box < 0 || box >= static_cast<int>(m_layout.Boxes().size())) return QPoint(-1, -1);
  return m_pCanvas->ToViewport(m_layout.Boxes()[box].rect.center());
}

int CDiagramPane::BoxAt(const QPoint& viewportPos) const {
  return m_layout.HitTest(m_pCanvas->ToDiagram(viewportPos));
}

void CDiagramPane::ActivateBox(int box) {
  if (box < 0 || box >= static_cast<int>(m_layout.Boxes().size()) || !m_pDoc) return;
  const DiagramBox& b = m_layout.Boxes()[box];
  if (b.shape == DIAGRAM_SUMMARY) {
    if (m_layout.Expand(box)) Relayout();
    return;
  }
  // A class member has no element of its own: it selects its class.
  const HostElement* element = m_layout.ElementOf(box);
  if (!element) return;
  SelectCurrentElement(m_pDoc, this, element);
  UpdateDecor(false);
}

void CDiagramPane::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (m_bStale) Relayout();
}

void CDiagramPane::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange && m_pCanvas) {
    UpdateHeat();
    m_pCanvas->viewport()->update();
  }
}

bool CDiagramPane::ExportSvg(const QString& path) {
  DiagramDecor decor;
  decor.heat = m_decor.heat;
  const QString svg = DiagramToSvg(m_layout, Style(), decor, QFontInfo(m_pCanvas->font()).pixelSize());
  QString reason;
  if (CFileIo::WriteAll(path, svg.toUtf8(), &reason) == EFileError::None) return true;
  if (m_pDoc) m_pDoc->ReportWriteFailure(path, reason);
  return false;
}

bool CDiagramPane::ExportPng(const QString& path) {
  const QRectF b = m_layout.Bounds();
  // Twice the size for sharp text, less when that would make a picture too large to hold.
  double scale = 2.0;
  scale = std::min({scale, 30000.0 / std::max(1.0, b.width()), 30000.0 / std::max(1.0, b.height()),
                    std::sqrt(1.0e8 / std::max(1.0, b.width() * b.height()))});
  const QSize size(std::max(1, static_cast<int>(std::ceil(b.width() * scale))),
                   std::max(1, static_cast<int>(std::ceil(b.height() * scale))));
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  QByteArray bytes;
  if (!image.isNull()) {
    image.fill(ToColor(Style().background));
    {
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing, true);
      p.setFont(m_pCanvas->font());
      p.scale(scale, scale);
      DiagramDecor decor;
      decor.heat = m_decor.heat;
      CPainterCanvas canvas(p);
      PaintDiagram(m_layout, Style(), decor, canvas);
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
  }
  QString reason;
  if (!bytes.isEmpty() && CFileIo::WriteAll(path, bytes, &reason) == EFileError::None) return true;
  if (m_pDoc) m_pDoc->ReportWriteFailure(path, reason);
  return false;
}

void CDiagramPane::OnExport(bool svg) {
  const QStringList filters = CStringTable::ToQtFilters(CStringTable::Str(svg ? IDS_DIAGRAM_FILTER_SVG : IDS_DIAGRAM_FILTER_PNG));
  QString selected = filters.value(0);
  QString path = QFileDialog::getSaveFileName(this, QString(), QString(), filters.join(QLatin1String(";;")), &selected);
  if (path.isEmpty()) return;
  path = CRichEdit2WView::AddDefaultExtension(path, 1, {svg ? QStringLiteral(".svg") : QStringLiteral(".png")});
  if (svg)
    ExportSvg(path);
  else
    ExportPng(path);
}
