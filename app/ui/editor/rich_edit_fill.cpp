// CRichEdit2WView's text: what goes into the control and comes back out, and the machinery of
// large texts (folding long lines into short paragraphs, the chunked fill from a zero timer, the
// note above a folded box, the mapping between document and box positions). The rest of the
// view (quiet changes, placeholder, undo steps, edit commands, files and drops) is in
// rich_edit_view.cpp.
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimerEvent>
#include <algorithm>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <new>

#include "app/document/core/korvane_doc.h"
#include "app/ui/editor/rich_edit_view.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

// The thresholds of large texts; tests lower them.
int g_foldAt = CRichEdit2WView::kFoldAt;
int g_foldPiece = CRichEdit2WView::kFoldPiece;
int g_noWrapBlocks = CRichEdit2WView::kNoWrapBlocks;
int g_fillChunk = CRichEdit2WView::kFillChunk;

// Characters the control turns into a paragraph break or a line feed, or changes otherwise,
// when text goes in and comes back out through toPlainText.
inline bool ChangedByControl(char16_t c) {
  return c == u'\r' || c == 0x2028 || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1 || c == 0x00A0;
}

// What toPlainText gives back for `text` put in with setPlainText: CR LF and a lone CR become
// one line feed, paragraph and line separators and frame marks a line feed, no-break spaces
// spaces.
QString NormalizeLikeControl(const QString& text) {
  QString out;
  out.reserve(text.size());
  const qsizetype n = text.size();
  const QChar* p = text.constData();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = p[i].unicode();
    switch (c) {
      case u'\r':
        if (i + 1 < n && p[i + 1] == QLatin1Char('\n')) ++i;
        out += QLatin1Char('\n');
        break;
      case 0x2028:
      case 0x2029:
      case 0xFDD0:
      case 0xFDD1:
        out += QLatin1Char('\n');
        break;
      case 0x00A0:
        out += QLatin1Char(' ');
        break;
      default:
        out += p[i];
    }
  }
  return out;
}

// The first position at or after `i` (or `n`) whose character is a line feed or may be one the
// control changes: everything from U+000E to U+009F is neither, so a text of log lines is
// crossed eight characters at a time. Half of loading a 50 MB text went into the scan.
qsizetype SkipPlain(const QChar* p, qsizetype i, qsizetype n) {
#ifdef __SSE2__
  const __m128i below = _mm_set1_epi16(0x0E);
  const __m128i above = _mm_set1_epi16(0x9F);
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= n; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    // Saturating differences: non-zero where c < 0x0E, and where c > 0x9F.
    const __m128i special = _mm_or_si128(_mm_subs_epu16(below, v), _mm_subs_epu16(v, above));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(special, zero)) != 0xFFFF) break;
  }
#endif
  for (; i < n; ++i) {
    const char16_t c = p[i].unicode();
    if (c < 0x0E || c > 0x9F) break;
  }
  return i;
}

// One pass over a text that holds only line feeds as breaks: where folds go, how many
// paragraphs the control gets, whether anything must be normalized first.
struct TextPlan {
  std::vector<int> folds;
  qsizetype blocks = 1;
  bool normalize = false;
};

// `foldAt` 0: no folds.
TextPlan PlanText(const QString& text, int foldAt, int piece) {
  TextPlan plan;
  const qsizetype n = text.size();
  const QChar* p = text.constData();
  qsizetype lineStart = 0;
  for (qsizetype i = 0; i <= n; ++i) {
    i = SkipPlain(p, i, n);
    const bool end = i == n;
    if (!end) {
      const char16_t c = p[i].unicode();
      if (c != u'\n') {
        if (ChangedByControl(c)) plan.normalize = true;
        continue;
      }
    }
    // A paragraph [lineStart, i) longer than foldAt: a fold every piece characters, never inside
    // a surrogate pair.
    qsizetype at = lineStart;
    const bool fold = foldAt > 0 && piece > 0 && i - lineStart > foldAt;
    while (fold && i - at > piece) {
      qsizetype f = at + piece;
      if (p[f].isLowSurrogate() && p[f - 1].isHighSurrogate()) --f;
      plan.folds.push_back(static_cast<int>(f));
      ++plan.blocks;
      at = f;
    }
    if (!end) ++plan.blocks;
    lineStart = i + 1;
  }
  return plan;
}

// The end of the chunk of a fill that starts at `from`: never between a surrogate pair.
qsizetype ChunkEnd(const QString& text, qsizetype from, int chunk) {
  qsizetype end = std::min<qsizetype>(text.size(), from + chunk);
  if (end < text.size() && end > from + 1 && text.at(end).isLowSurrogate() && text.at(end - 1).isHighSurrogate())
    --end;
  return end;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Text

QString CRichEdit2WView::GetBoxText() const {
  if (m_pendingText) return PendingTextNow();
  // While a fill puts the text in, the document's text is the whole one, not the part shown.
  if (IsFilling()) return m_fillDocText;
  // The placeholder is never part of the text (it is Qt's placeholder, drawn over an empty
  // box), so the box's text is the document's view of it. Line breaks become line feeds.
  QString text = toPlainText();
  if (!m_foldsInBox.empty()) {
    // Leave out the fold breaks: they are not part of the text.
    QString out;
    out.reserve(text.size() - static_cast<qsizetype>(m_foldsInBox.size()));
    qsizetype from = 0;
    for (int at : m_foldsInBox) {
      if (at >= text.size()) break;
      out.append(QStringView(text).mid(from, at - from));
      from = at + 1;
    }
    if (from < text.size()) out.append(QStringView(text).mid(from));
    text = std::move(out);
  }
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

std::vector<unsigned short> CRichEdit2WView::GetBoxTextU16() const {
  QString text = GetBoxText();
  const unsigned short* p = reinterpret_cast<const unsigned short*>(text.utf16());
  return std::vector<unsigned short>(p, p + text.size());
}

int CRichEdit2WView::TextLength() const {
  if (m_pendingText) return static_cast<int>(PendingTextNow().size());
  if (IsFilling()) return static_cast<int>(m_fillDocText.size());
  return std::max(0, document()->characterCount() - 1 - static_cast<int>(m_folds.size()));
}

int CRichEdit2WView::DocToBox(int position, bool end) const {
  if (m_folds.empty()) return position;
  // Folds before the position move it right by one each; a fold at the position itself only
  // when it is a start (the start of the next paragraph rather than the end of this one).
  auto it = end ? std::lower_bound(m_folds.begin(), m_folds.end(), position)
                : std::upper_bound(m_folds.begin(), m_folds.end(), position);
  return position + static_cast<int>(it - m_folds.begin());
}

int CRichEdit2WView::BoxToDoc(int position) const {
  if (m_foldsInBox.empty()) return position;
  // Every fold break before the position; on either side of a break is the fold position.
  auto it = std::lower_bound(m_foldsInBox.begin(), m_foldsInBox.end(), position);
  return position - static_cast<int>(it - m_foldsInBox.begin());
}

std::pair<int, int> CRichEdit2WView::DocSelection() const {
  const QTextCursor c = textCursor();
  return {BoxToDoc(c.selectionStart()), BoxToDoc(c.selectionEnd())};
}

void CRichEdit2WView::SetDocSelectionQuietly(int anchor, int position) {
  if (IsFilling()) {
    m_fillAnchor = anchor;
    m_fillPosition = position;
    m_fillKeepSelection = true;
    m_fillShowSelection = true;  // brought into view when the text is complete
    return;
  }
  const int length = TextLength();
  anchor = qBound(0, anchor, length);
  position = qBound(0, position, length);
  const bool span = anchor != position, forward = anchor <= position;
  const int n = document()->characterCount() - 1;
  CQuietChange quiet(this);
  QTextCursor c(document());
  c.setPosition(qBound(0, DocToBox(anchor, span && !forward), n));
  c.setPosition(qBound(0, DocToBox(position, span && forward), n), QTextCursor::KeepAnchor);
  setTextCursor(c);
}

int CRichEdit2WView::FoldAt() { return g_foldAt; }
int CRichEdit2WView::FoldPiece() { return g_foldPiece; }
int CRichEdit2WView::NoWrapBlocks() { return g_noWrapBlocks; }
int CRichEdit2WView::FillChunk() { return g_fillChunk; }

void CRichEdit2WView::SetLargeTextLimitsForTest(int foldAt, int noWrapBlocks, int fillChunk, int foldPiece) {
  g_foldAt = foldAt > 0 ? foldAt : kFoldAt;
  g_foldPiece = foldPiece > 0 ? foldPiece : kFoldPiece;
  g_noWrapBlocks = noWrapBlocks > 0 ? noWrapBlocks : kNoWrapBlocks;
  g_fillChunk = fillChunk > 0 ? fillChunk : kFillChunk;
}

std::vector<int> CRichEdit2WView::FoldPositions(const QString& text, int foldAt, int piece) {
  TextPlan plan = PlanText(text, foldAt, piece);
  if (plan.normalize) plan = PlanText(NormalizeLikeControl(text), foldAt, piece);
  return plan.folds;
}

// The selection (in document positions) and the scroll position to keep across a refill: while
// a fill runs, the one waiting for its end.
void CRichEdit2WView::CurrentPlace(int* anchor, int* position, int* scroll) const {
  if (IsFilling()) {
    *anchor = m_fillAnchor;
    *position = m_fillPosition;
    *scroll = m_fillScroll;
    return;
  }
  const QTextCursor c = textCursor();
  *anchor = BoxToDoc(c.anchor());
  *position = BoxToDoc(c.position());
  *scroll = verticalScrollBar()->value();
}

void CRichEdit2WView::SetBoxText(const QString& text, bool keepSelection) {
  int anchor, position, scroll;
  CurrentPlace(&anchor, &position, &scroll);
  if (text.isEmpty()) m_bUnfoldedByUser = false;
  FillBox(text, HandlesLargeTexts() && !m_bUnfoldedByUser, anchor, position, scroll, keepSelection);
}

void CRichEdit2WView::SetBoxTextSoon(TextBuilder build, bool keepSelection) {
  int anchor, position, scroll;
  CurrentPlace(&anchor, &position, &scroll);
  if (IsFilling() && !m_pendingText) {
    // A chunked fill of an older text stops here; the box keeps what it has put in so far.
    m_fillTimer.stop();
    document()->setUndoRedoEnabled(m_fillUndoWasEnabled);
  }
  m_fillBoxText.clear();
  m_fillDocText.clear();
  m_pendingText = std::move(build);
  m_pendingBuilt = QString();
  m_pendingComplete = false;
  m_fillAnchor = anchor;
  m_fillPosition = position;
  m_fillScroll = scroll;
  m_fillKeepSelection = keepSelection;
  m_fillShowSelection = false;
  // Undo is left as it is until the fill, which saves it again.
  m_fillUndoWasEnabled = document()->isUndoRedoEnabled();
  m_fillTimer.start(0, this);
}

const QString& CRichEdit2WView::PendingTextNow() const {
  while (!m_pendingComplete) m_pendingComplete = m_pendingText(m_pendingBuilt);
  return m_pendingBuilt;
}

// Steps, each an event of its own, so that none holds the window for long: the old text goes
// (emptying a box of a million paragraphs takes a while), the new one is built a part at a
// time, the fill starts.
void CRichEdit2WView::BuildPendingText() {
  if (!document()->isEmpty()) {
    CQuietChange quiet(this);
    if (!extraSelections().isEmpty()) setExtraSelections({});
    setPlainText(QString());
    m_folds.clear();
    m_foldsInBox.clear();
    return;
  }
  if (!m_pendingComplete) {
    m_pendingComplete = m_pendingText(m_pendingBuilt);
    return;
  }
  const QString text = std::move(m_pendingBuilt);
  m_pendingText = nullptr;
  m_pendingBuilt = QString();
  m_pendingComplete = false;
  m_fillTimer.stop();
  const bool show = m_fillShowSelection;
  if (text.isEmpty()) m_bUnfoldedByUser = false;
  FillBox(text, HandlesLargeTexts() && !m_bUnfoldedByUser, m_fillAnchor, m_fillPosition, m_fillScroll,
          m_fillKeepSelection);
  if (IsFilling()) {
    m_fillShowSelection = show;
  } else {
    if (show) ensureCursorVisible();
    OnBoxTextComplete();
  }
}

void CRichEdit2WView::FillBox(const QString& text, bool fold, int anchor, int position, int scroll,
                              bool keepSelection) {
  m_pendingText = nullptr;
  m_pendingBuilt = QString();
  m_pendingComplete = false;
  if (IsFilling()) {
    m_fillTimer.stop();
    document()->setUndoRedoEnabled(m_fillUndoWasEnabled);
  }
  m_fillBoxText.clear();
  m_fillDocText.clear();
  const bool large = HandlesLargeTexts();
  QString docText = text;
  QString boxText = text;
  m_folds.clear();
  m_foldsInBox.clear();
  qsizetype blocks = 0;
  if (large) {
    TextPlan plan = PlanText(text, fold ? FoldAt() : 0, FoldPiece());
    if (plan.normalize) {
      // The document is told the text the control gives back, so that positions agree.
      docText = NormalizeLikeControl(text);
      plan = PlanText(docText, fold ? FoldAt() : 0, FoldPiece());
    }
    blocks = plan.blocks;
    m_folds = std::move(plan.folds);
    if (!m_folds.empty()) {
      m_foldsInBox.reserve(m_folds.size());
      boxText.clear();
      boxText.reserve(docText.size() + static_cast<qsizetype>(m_folds.size()));
      qsizetype from = 0;
      for (size_t i = 0; i < m_folds.size(); ++i) {
        m_foldsInBox.push_back(m_folds[i] + static_cast<int>(i));
        boxText.append(QStringView(docText).mid(from, m_folds[i] - from));
        boxText.append(QLatin1Char('\n'));
        from = m_folds[i];
      }
      boxText.append(QStringView(docText).mid(from));
    } else {
      boxText = docText;
    }
  }
  const bool chunked = large && boxText.size() > 2 * qsizetype(FillChunk());
  {
    CQuietChange quiet(this);
    if (large) {
      // Every extra selection holds a cursor that the control moves on each paragraph inserted:
      // thousands of highlights made a fill quadratic. They describe the old text anyway; the
      // box repaints its highlights when the text is complete.
      if (!extraSelections().isEmpty()) setExtraSelections({});
      // The old text goes first, so that a change of the wrap mode lays out an empty box.
      if (!document()->isEmpty()) setPlainText(QString());
      UpdateWrapMode(blocks);
    }
    if (!chunked) {
      setPlainText(boxText);
    } else {
      const qsizetype first = ChunkEnd(boxText, 0, FillChunk());
      setPlainText(boxText.left(first));
      // The chunks are not steps of the undo history; setPlainText has emptied it already.
      m_fillUndoWasEnabled = document()->isUndoRedoEnabled();
      document()->setUndoRedoEnabled(false);
      m_fillBoxText = boxText;
      m_fillDocText = docText;
      m_fillPos = static_cast<int>(first);
      m_fillTimer.start(0, this);
    }
    m_fillAnchor = anchor;
    m_fillPosition = position;
    m_fillScroll = scroll;
    m_fillKeepSelection = keepSelection;
    m_fillShowSelection = false;
    if (!chunked && keepSelection) {
      const int n = document()->characterCount() - 1;
      const bool forward = anchor <= position;
      QTextCursor k(document());
      k.setPosition(qBound(0, DocToBox(anchor, !forward && anchor != position), n));
      k.setPosition(qBound(0, DocToBox(position, forward && anchor != position), n), QTextCursor::KeepAnchor);
      setTextCursor(k);
      verticalScrollBar()->setValue(scroll);
    }
  }
  SetLocked(large && (!m_folds.empty() || chunked));
  UpdateFoldNote();
  UpdatePlaceholderShown();
}

void CRichEdit2WView::FillNextChunk() {
  const qsizetype end = ChunkEnd(m_fillBoxText, m_fillPos, FillChunk());
  {
    CQuietChange quiet(this);
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    c.insertText(m_fillBoxText.mid(m_fillPos, end - m_fillPos));
  }
  m_fillPos = static_cast<int>(end);
  if (m_fillPos >= m_fillBoxText.size()) FinishFill();
}

void CRichEdit2WView::FinishFill() {
  m_fillTimer.stop();
  document()->setUndoRedoEnabled(m_fillUndoWasEnabled);
  m_fillBoxText = QString();
  m_fillDocText = QString();
  if (m_fillKeepSelection) {
    CQuietChange quiet(this);
    const int n = document()->characterCount() - 1;
    const bool forward = m_fillAnchor <= m_fillPosition;
    const bool span = m_fillAnchor != m_fillPosition;
    QTextCursor k(document());
    k.setPosition(qBound(0, DocToBox(m_fillAnchor, !forward && span), n));
    k.setPosition(qBound(0, DocToBox(m_fillPosition, forward && span), n), QTextCursor::KeepAnchor);
    setTextCursor(k);
    if (m_fillShowSelection) ensureCursorVisible();
    else verticalScrollBar()->setValue(m_fillScroll);
  }
  m_fillShowSelection = false;
  SetLocked(!m_folds.empty());
  UpdateFoldNote();
  OnBoxTextComplete();
}

void CRichEdit2WView::OnBoxTextComplete() {}

void CRichEdit2WView::SetLocked(bool locked) {
  if (locked == m_bLocked) return;
  m_bLocked = locked;
  // Inside a quiet change EndQuietChange applies the lock; m_bSavedReadOnly holds the base.
  if (m_nBusy > 0) return;
  if (locked) {
    m_bBaseReadOnly = isReadOnly();
    setReadOnly(true);
  } else {
    setReadOnly(m_bBaseReadOnly);
  }
}

bool CRichEdit2WView::IsBaseReadOnly() const {
  if (m_nBusy > 0) return m_bSavedReadOnly;
  return m_bLocked ? m_bBaseReadOnly : isReadOnly();
}

void CRichEdit2WView::UpdateWrapMode(qsizetype blocks) {
  if (blocks > NoWrapBlocks()) {
    if (!m_bForcedNoWrap) {
      m_baseWrap = lineWrapMode();
      m_bForcedNoWrap = true;
      setLineWrapMode(QPlainTextEdit::NoWrap);
    }
  } else if (m_bForcedNoWrap) {
    m_bForcedNoWrap = false;
    setLineWrapMode(m_baseWrap);
  }
}

void CRichEdit2WView::UpdateFoldNote() {
  const bool show = !m_folds.empty();
  if (!show && !m_pFoldNote) return;
  if (!m_pFoldNote) {
    m_pFoldNote = new QLabel(this);
    m_pFoldNote->setObjectName(QStringLiteral("fold-note"));
    m_pFoldNote->setTextFormat(Qt::RichText);
    m_pFoldNote->setWordWrap(false);
    m_pFoldNote->setAutoFillBackground(true);
    m_pFoldNote->setBackgroundRole(QPalette::ToolTipBase);
    m_pFoldNote->setForegroundRole(QPalette::ToolTipText);
    m_pFoldNote->setContentsMargins(4, 1, 4, 1);
    connect(m_pFoldNote, &QLabel::linkActivated, this, [this] { Unfold(); });
  }
  if (show) {
    const QString note = CStringTable::FormatStrings(CStringTable::Str(IDS_FOLD_NOTE), {QString::number(FoldAt())});
    const QString link = CStringTable::Str(IsBaseReadOnly() ? IDS_FOLD_SHOW_UNFOLDED : IDS_FOLD_EDIT_ANYWAY);
    m_pFoldNote->setText(note.toHtmlEscaped() + QStringLiteral(" <a href=\"unfold\">") + link.toHtmlEscaped() +
                         QStringLiteral("</a>"));
    setViewportMargins(0, m_pFoldNote->sizeHint().height(), 0, 0);
    m_pFoldNote->show();
    m_pFoldNote->raise();
  } else {
    setViewportMargins(0, 0, 0, 0);
    m_pFoldNote->hide();
  }
  PlaceFoldNote();
}

void CRichEdit2WView::PlaceFoldNote() {
  if (!m_pFoldNote || m_pFoldNote->isHidden()) return;
  const int fw = frameWidth();
  m_pFoldNote->setGeometry(fw, fw, std::max(0, width() - 2 * fw), m_pFoldNote->sizeHint().height());
}

void CRichEdit2WView::resizeEvent(QResizeEvent* event) {
  // A change of width makes the control reset the layout of every paragraph, which costs with
  // their number (hundreds of milliseconds for half a million). Without wrapping the width does
  // not matter to the layout: the control sees the resize as a change of height only.
  if (m_bForcedNoWrap && event->oldSize().isValid() && event->oldSize().width() != event->size().width()) {
    QResizeEvent sameWidth(event->size(), QSize(event->size().width(), event->oldSize().height()));
    QPlainTextEdit::resizeEvent(&sameWidth);
  } else {
    QPlainTextEdit::resizeEvent(event);
  }
  PlaceFoldNote();
}

void CRichEdit2WView::Unfold() {
  if (m_folds.empty()) return;
  const QString text = GetBoxText();
  int anchor, position, scroll;
  CurrentPlace(&anchor, &position, &scroll);
  m_bUnfoldedByUser = true;
  FillBox(text, false, anchor, position, scroll, true);
  if (!IsFilling()) OnBoxTextComplete();
}

QMimeData* CRichEdit2WView::createMimeDataFromSelection() const {
  if (m_folds.empty()) return QPlainTextEdit::createMimeDataFromSelection();
  // The copied text is the document's, without the fold breaks.
  const std::pair<int, int> sel = DocSelection();
  QMimeData* data = new QMimeData;
  data->setText(GetBoxText().mid(sel.first, sel.second - sel.first));
  return data;
}

void CRichEdit2WView::ReplaceTextAsEdit(const QString& text) {
  if (HandlesLargeTexts()) {
    const bool large = IsFolded() || IsFilling() || text.size() > 2 * qsizetype(FillChunk()) ||
                       !PlanText(text, m_bUnfoldedByUser ? 0 : FoldAt(), FoldPiece()).folds.empty();
    if (large) {
      // Too large for one undoable insertion: set it quietly, then hand it over as the user's
      // edit (the edit timer, the modified flag), as typing would.
      FillBox(text, !m_bUnfoldedByUser, 0, 0, 0, true);
      document()->setModified(true);
      m_editTimer.start(kEditDelayMs, this);
      if (m_pDoc) m_pDoc->TakeEditingToken(this);
      return;
    }
  }
  QTextCursor c(document());
  c.beginEditBlock();
  c.select(QTextCursor::Document);
  c.insertText(text);
  c.endEditBlock();
  c.setPosition(0);
  setTextCursor(c);
}
