#include "app/ui/panes/history/trace_history_pane.h"

#include <QHeaderView>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "app/ui/panes/history/trace_stack_list_view.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

CTraceHistoryPane::CTraceHistoryPane(CKorvaneDoc* doc, QWidget* parent) : QWidget(parent), m_pDoc(doc) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  m_pSlider = new QSlider(Qt::Horizontal, this);
  m_pSlider->setObjectName(QStringLiteral("history-slider"));
  m_pSlider->setToolTip(CStringTable::Current().GetPrompt(ID_MATCH_STEP_BACK));
  m_pStack = new CTraceStackListView(doc, this);
  layout->addWidget(m_pSlider);
  layout->addWidget(m_pStack, 1);
  // The slider, the header and a few entries stay in sight when the window is small: the stack is
  // what one reads at every step.
  setMinimumHeight(m_pSlider->sizeHint().height() + layout->spacing() + m_pStack->header()->sizeHint().height() +
                   kMinRows * fontMetrics().height() + 2 * m_pStack->frameWidth());
  setFocusProxy(m_pStack);
  connect(m_pSlider, &QSlider::valueChanged, this, &CTraceHistoryPane::OnSliderMoved);
  m_pDoc->AddView(this);
  Refresh();
}

CTraceHistoryPane::~CTraceHistoryPane() { m_pDoc->RemoveView(this); }

void CTraceHistoryPane::OnUpdate(CDocView*, int) { Refresh(); }

void CTraceHistoryPane::Refresh() {
  const bool paused = m_pDoc->GetMode() == MODE_TRACE && m_pDoc->IsJobActive() && m_pDoc->IsPaused();
  const CTraceHistory& h = m_pDoc->Debugger().History();
  m_bSetting = true;
  if (!paused || h.Empty()) {
    m_pSlider->setRange(0, 0);
    m_pSlider->setEnabled(false);
  } else {
    m_nFirst = h.First();
    const std::int64_t span = h.End() - 1 - m_nFirst;
    m_nStep = span / INT_MAX + 1;
    m_pSlider->setRange(0, static_cast<int>(span / m_nStep));
    m_pSlider->setPageStep(std::max(1, static_cast<int>(span / m_nStep / 20)));
    m_pSlider->setValue(static_cast<int>((m_pDoc->Debugger().ShownHistoryIndex() - m_nFirst) / m_nStep));
    m_pSlider->setEnabled(true);
  }
  m_bSetting = false;
}

void CTraceHistoryPane::OnSliderMoved(int value) {
  if (m_bSetting) return;
  // The document snaps to a pause step and notifies; Refresh then puts the slider there.
  if (!m_pDoc->ShowHistoryStep(m_nFirst + static_cast<std::int64_t>(value) * m_nStep)) Refresh();
}
