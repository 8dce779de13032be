// Covered by app/ui/tests/frame_test.cpp.
#include "app/ui/frame/korvane_back.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/document/core/korvane_doc.h"
#include "app/ui/shared/frame_services.h"
#include "app/ui/results/replace_result_edit_view.h"
#include "app/ui/results/replace_to_edit_view.h"
#include "app/ui/results/split_result_list_view.h"
#include "app/ui/results/text_edit_view.h"

int CSeparator::Drag(int mouse, int clientExtent) {
  const int extent = DragExtent(clientExtent);
  const int position = mouse - grabOffset;
  const float r = static_cast<float>(position) / static_cast<float>(extent);
  if (r >= kMinRatio && r <= kMaxRatio) {
    ratio = r;
    return position;
  }
  ratio = r < kMinRatio ? kMinRatio : kMaxRatio;
  return PositionFor(extent, ratio);
}

CKorvaneBack::CKorvaneBack(CKorvaneDoc* doc, QWidget* parent) : QWidget(parent), m_pDoc(doc) {
  m_sepReplaceTo.kind = CSeparator::HORIZONTAL;
  m_sepText.kind = CSeparator::VERTICAL;
  makeView = &CKorvaneBack::MakeDefaultView;
  setMouseTracking(true);
  setMinimumHeight(kMinHeight);
  if (m_pDoc) m_pDoc->AddView(this);
}

CKorvaneBack::~CKorvaneBack() {
  if (m_pDoc) m_pDoc->RemoveView(this);
}

QWidget* CKorvaneBack::MakeDefaultView(int slot, CKorvaneDoc* doc, QWidget* parent) {
  QWidget* view = nullptr;
  switch (slot) {
    case SLOT_TEXT: view = new CTextEditView(doc, parent); break;
    case SLOT_REPLACE_TO: view = new CReplaceToEditView(doc, parent); break;
    case SLOT_REPLACE_RESULT: view = new CReplaceResultEditView(doc, parent); break;
    case SLOT_SPLIT: view = new CSplitResultListView(doc, parent); break;
    default: view = new QWidget(parent); break;
  }
  static const char* const names[SLOT_COUNT] = {"text", "replace-to", "replace-result", "split-result"};
  if (slot >= 0 && slot < SLOT_COUNT) view->setObjectName(QLatin1String(names[slot]));
  return view;
}

void CKorvaneBack::OnUpdate(CDocView* sender, int hint) {
  if (m_pDoc && m_pDoc->GetMode() != m_nMode) ApplyMode();
}

void CKorvaneBack::ApplyMode(bool force) {
  const int mode = m_pDoc ? m_pDoc->GetMode() : MODE_MATCH;
  if (mode == m_nMode && !force) return;
  bool wanted[SLOT_COUNT] = {true, false, false, false};
  if (mode == MODE_REPLACE) wanted[SLOT_REPLACE_TO] = wanted[SLOT_REPLACE_RESULT] = true;
  if (mode == MODE_SPLIT) wanted[SLOT_SPLIT] = true;

  // Views the new mode lacks go first (the frame moves the active view away from them).
  for (int slot = 0; slot < SLOT_COUNT; ++slot) {
    if (wanted[slot] || !m_views[slot]) continue;
    QWidget* view = m_views[slot];
    if (aboutToDestroyView) aboutToDestroyView(view);
    m_views[slot] = nullptr;
    delete view;
  }
  for (int slot = 0; slot < SLOT_COUNT; ++slot) {
    if (!wanted[slot] || m_views[slot]) continue;
    QWidget* view = makeView ? makeView(slot, m_pDoc, this) : MakeDefaultView(slot, m_pDoc, this);
    m_views[slot] = view;
    if (CDocView* docView = dynamic_cast<CDocView*>(view)) docView->OnUpdate(nullptr, kInitialUpdateHint);
    view->show();
  }
  m_nMode = mode;
  ReloadRatios();
}

void CKorvaneBack::ReloadRatios() {
  const int mode = m_nMode;
  const float replaceTo = m_pDoc ? m_pDoc->GetPatternShare() : 0.2f;
  const float text = m_pDoc ? m_pDoc->GetTextShare() : 0.5f;
  m_fPatternShare = replaceTo;
  m_fTextShare = text;
  if (mode == MODE_REPLACE) {
    m_sepReplaceTo.ratio = replaceTo;
    m_sepReplaceTo.thickness = kSeparatorThickness;
    m_sepText.ratio = text;
    m_sepText.thickness = kSeparatorThickness;
  } else if (mode == MODE_SPLIT) {
    m_sepReplaceTo.ratio = 0.0f;
    m_sepReplaceTo.thickness = 0;
    m_sepText.ratio = text;
    m_sepText.thickness = kSeparatorThickness;
  } else {
    m_sepReplaceTo.ratio = 0.0f;
    m_sepReplaceTo.thickness = 0;
    m_sepText.ratio = 1.0f;
    m_sepText.thickness = 0;
  }
  PlaceSeparators();
  LayoutViews();
  update();
}

void CKorvaneBack::PlaceSeparators() {
  const int w = width(), h = height();
  const int top = CSeparator::PositionFor(h, m_sepReplaceTo.ratio);
  m_sepReplaceTo.rect = QRect(0, top, w, m_sepReplaceTo.thickness);
  const int left = CSeparator::PositionFor(w, m_sepText.ratio);
  const int below = top + m_sepReplaceTo.thickness;
  m_sepText.rect = QRect(left, below, m_sepText.thickness, h - below);
}

void CKorvaneBack::LayoutViews() {
  const int w = width(), h = height();
  const int t1 = m_sepReplaceTo.rect.top();
  const int b1 = t1 + m_sepReplaceTo.thickness;
  const int l2 = m_sepText.rect.left();
  const int r2 = l2 + m_sepText.thickness;
  auto place = [](QWidget* view, int x, int y, int cw, int ch) {
    if (view) view->setGeometry(x, y, cw < 0 ? 0 : cw, ch < 0 ? 0 : ch);
  };
  place(m_views[SLOT_REPLACE_TO], 0, 0, w, t1);
  place(m_views[SLOT_TEXT], 0, b1, l2, h - b1);
  place(m_views[SLOT_REPLACE_RESULT], r2, b1, w - r2, h - b1);
  place(m_views[SLOT_SPLIT], r2, b1, w - r2, h - b1);
}

int CKorvaneBack::HitSeparator(const QPoint& pos) const {
  if (m_sepReplaceTo.thickness > 0 && pos.y() >= m_sepReplaceTo.rect.top() &&
      pos.y() < m_sepReplaceTo.rect.top() + m_sepReplaceTo.thickness)
    return 1;
  if (m_sepText.thickness > 0 && pos.x() >= m_sepText.rect.left() &&
      pos.x() < m_sepText.rect.left() + m_sepText.thickness && pos.y() >= m_sepText.rect.top())
    return 2;
  return 0;
}

bool CKorvaneBack::BeginDrag(const QPoint& pos) {
  m_nDragging = HitSeparator(pos);
  if (m_nDragging == 1) m_sepReplaceTo.grabOffset = pos.y() - m_sepReplaceTo.rect.top();
  if (m_nDragging == 2) m_sepText.grabOffset = pos.x() - m_sepText.rect.left();
  return m_nDragging != 0;
}

void CKorvaneBack::DragTo(const QPoint& pos) {
  if (m_nDragging == 1) {
    const int top = m_sepReplaceTo.Drag(pos.y(), height());
    m_sepReplaceTo.rect.moveTop(top);
  } else if (m_nDragging == 2) {
    const int left = m_sepText.Drag(pos.x(), width());
    m_sepText.rect.moveLeft(left);
  } else {
    return;
  }
  const int below = m_sepReplaceTo.rect.top() + m_sepReplaceTo.thickness;
  m_sepText.rect = QRect(m_sepText.rect.left(), below, m_sepText.thickness, height() - below);
  LayoutViews();
  WriteRatios();
  update();
}

void CKorvaneBack::EndDrag() { m_nDragging = 0; }

// Only the ratio of a separator the mode shows is the user's: Split mode's hidden replace-to
// separator (ratio 0) must not overwrite the ratio that Replace mode will show.
void CKorvaneBack::WriteRatios() {
  if (!m_pDoc) return;
  const float replaceTo = m_sepReplaceTo.thickness > 0 ? m_sepReplaceTo.ratio : m_pDoc->GetPatternShare();
  const float text = m_sepText.thickness > 0 ? m_sepText.ratio : m_pDoc->GetTextShare();
  m_pDoc->SetShares(replaceTo, text);
  m_fPatternShare = replaceTo;
  m_fTextShare = text;
}

void CKorvaneBack::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceSeparators();
  LayoutViews();
}

void CKorvaneBack::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QColor face = palette().color(QPalette::Button);
  if (m_sepReplaceTo.thickness > 0) painter.fillRect(m_sepReplaceTo.rect, face);
  if (m_sepText.thickness > 0) painter.fillRect(m_sepText.rect, face);
}

void CKorvaneBack::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && BeginDrag(event->position().toPoint())) {
    grabMouse();
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

void CKorvaneBack::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (m_nDragging) {
    DragTo(pos);
    return;
  }
  switch (HitSeparator(pos)) {
    case 1: setCursor(Qt::SizeVerCursor); break;
    case 2: setCursor(Qt::SizeHorCursor); break;
    default: unsetCursor(); break;
  }
}

void CKorvaneBack::mouseReleaseEvent(QMouseEvent* event) {
  if (m_nDragging && event->button() == Qt::LeftButton) {
    EndDrag();
    releaseMouse();
    return;
  }
  QWidget::mouseReleaseEvent(event);
}
