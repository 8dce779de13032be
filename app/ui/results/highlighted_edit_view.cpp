#include "app/ui/results/highlighted_edit_view.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTimerEvent>

#include "app/ui/editor/view_colours.h"
#include "app/ui/shared/frame_services.h"
#include "app/ui/results/save_dispatch.h"
#include "app/ui/shared/saved_font.h"
#include "resources/korvane_ids.h"

namespace {
// A line whose top lies at most this far below the viewport still counts as visible.
constexpr int kBelowBottomPx = 30;
}  // namespace

CHighlightedEditView::CHighlightedEditView(CKorvaneDoc* doc, const char* fontKey, ESaveAsBox saveBox,
                                           int contextMenuId, QWidget* parent)
    : CRichEdit2WView(doc, parent), m_fontKey(fontKey), m_saveBox(saveBox), m_contextMenuId(contextMenuId) {
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { OnScrolled(); });
  ReloadFont();
}

bool CHighlightedEditView::HandlesCommand(int id) const {
  return id == ID_EDIT_SAVE_CONTENT || CRichEdit2WView::HandlesCommand(id);
}

bool CHighlightedEditView::IsCommandEnabled(int id) const {
  return id == ID_EDIT_SAVE_CONTENT || CRichEdit2WView::IsCommandEnabled(id);
}

bool CHighlightedEditView::DoCommand(int id) {
  if (id == ID_EDIT_SAVE_CONTENT) {
    RunSaveAsDialog(this, m_pDoc, m_saveBox, GetBoxText());
    return true;
  }
  return CRichEdit2WView::DoCommand(id);
}

bool CHighlightedEditView::SaveTo(const QString& path, int filter) {
  return SaveBoxTo(m_pDoc, m_saveBox, path, filter, GetBoxText());
}

int CHighlightedEditView::ContextMenuTemplate() const { return m_contextMenuId; }

void CHighlightedEditView::ReloadFont() {
  CSavedFont font{QLatin1String(m_fontKey)};
  font.Load();
  setFont(font.Font());
}

TextWindow CHighlightedEditView::VisibleWindow() const {
  // Measured in the control's positions, reported in the document's (the folds left out).
  const int boxLength = document()->characterCount() - 1;
  const int length = TextLength();
  if (boxLength <= 0 || length <= 0) return TextWindow();
  // The first character at the top: the position under the viewport's top-left corner.
  const int first = cursorForPosition(QPoint(0, 0)).position();
  // The last: walk the laid-out blocks from the first visible one down to the limit. Only the
  // visible blocks are visited, so the cost does not grow with the text.
  const int limit = viewport()->height() + kBelowBottomPx;
  QTextBlock block = firstVisibleBlock();
  const QPointF offset = contentOffset();
  int last = first;
  while (block.isValid()) {
    const qreal top = blockBoundingGeometry(block).translated(offset).top();
    if (top > limit) break;
    if (block.isVisible()) last = block.position() + block.length() - 1;
    // A single block longer than the painted window ends the walk: the cap cuts there anyway.
    if (last - first > highlight::kMaxWindowLength) break;
    block = block.next();
  }
  return highlight::WindowAround(BoxToDoc(first), std::min(BoxToDoc(last), length - 1), length);
}

void CHighlightedEditView::PaintSpans(std::vector<HighlightSpan> spans) {
  if (IsFilling()) {
    // Highlights wait for the end of a fill (OnBoxTextComplete): the control would move the
    // cursor of every highlight on each paragraph the fill inserts.
    m_painted.clear();
    if (!extraSelections().isEmpty()) setExtraSelections({});
    return;
  }
  QList<QTextEdit::ExtraSelection> selections;
  selections.reserve(static_cast<int>(spans.size()));
  const int length = document()->characterCount() - 1;
  for (const HighlightSpan& s : spans) {
    if (s.start >= s.end || s.start < 0) continue;
    // Spans are in document positions; a span that reaches past what the control holds yet
    // (a fill still running) waits for the repaint at its end.
    const int start = DocToBox(s.start), end = DocToBox(s.end, true);
    if (end > length) continue;
    QTextEdit::ExtraSelection sel;
    sel.cursor = QTextCursor(document());
    sel.cursor.setPosition(start);
    sel.cursor.setPosition(end, QTextCursor::KeepAnchor);
    // The spans carry the light palette's colours; a dark palette draws their dark variants.
    const QColor bg = highlight::Background(s.kind), fg = highlight::Foreground(s.kind);
    if (bg.isValid()) sel.format.setBackground(ViewBackColor(bg.rgb(), palette()));
    if (fg.isValid()) sel.format.setForeground(ViewTextColor(fg.rgb(), palette()));
    if (s.kind == HL_FAIL_POINT) {
      sel.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
      sel.format.setUnderlineColor(QColor(255, 0, 0));
    }
    selections.append(sel);
  }
  m_painted = std::move(spans);
  setExtraSelections(selections);
}

void CHighlightedEditView::changeEvent(QEvent* event) {
  CRichEdit2WView::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) RepaintHighlights();
}

void CHighlightedEditView::RepaintHighlights() { PaintSpans(SpansFor(VisibleWindow())); }

void CHighlightedEditView::SelectQuietly(int start, int end) {
  SetDocSelectionQuietly(start, end);
  ensureCursorVisible();
}

void CHighlightedEditView::OnBoxTextComplete() { RepaintHighlights(); }

void CHighlightedEditView::RestartScrollTimer() {
  m_sinceRestart.start();
  m_scrollTimer.start(kScrollRepaintMs, this);
}

void CHighlightedEditView::OnScrolled() {
  if (!m_sinceRestart.isValid() || m_sinceRestart.elapsed() > kScrollRestartMs) RestartScrollTimer();
}

void CHighlightedEditView::resizeEvent(QResizeEvent* event) {
  CRichEdit2WView::resizeEvent(event);
  OnScrolled();
}

void CHighlightedEditView::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_scrollTimer.timerId()) {
    m_scrollTimer.stop();
    RepaintHighlights();
    return;
  }
  CRichEdit2WView::timerEvent(event);
}
