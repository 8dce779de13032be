#include "app/ui/results/replace_result_edit_view.h"

#include <algorithm>
#include <memory>

#include "app/document/core/korvane_doc.h"
#include "app/ui/shared/frame_services.h"
#include "app/ui/results/replace_trace.h"
#include "app/ui/shared/saved_font.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

CReplaceResultEditView::CReplaceResultEditView(CKorvaneDoc* doc, QWidget* parent)
    : CHighlightedEditView(doc, CSavedFont::kResult, ESaveAsBox::ReplaceResult, IDR_CTX_REPLACE, parent) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  SetPlaceholder(CStringTable::Str(IDS_PLACEHOLDER_REPLACE_RESULT));
  Rebuild();
}

void CReplaceResultEditView::OnUpdate(CDocView* sender, int hint) {
  if (hint & HINT_FONTS) ReloadFont();
  if (hint & HINT_REPLACE_RESULT) Rebuild();
  if (hint & (HINT_REPLACE_RESULT | HINT_FONTS)) SetPlaceholder(CStringTable::Str(IDS_PLACEHOLDER_REPLACE_RESULT));
  if (hint & HINT_CURRENT_REPLACEMENT) {
    SelectQuietly(m_pDoc->GetReplaceHighlightStart(), m_pDoc->GetReplaceHighlightEnd());
  }
  // Right after a rebuild the wide window stays until the scroll timer paints the visible one.
  if ((hint & (HINT_REPLACE_HIGHLIGHTS | HINT_CURRENT_REPLACEMENT | HINT_FONTS)) && !(hint & HINT_REPLACE_RESULT))
    RepaintHighlights();
}

void CReplaceResultEditView::Rebuild() {
  const ReplaceResult& rr = m_pDoc->GetReplaceResult();
  // Most notifications carry the rebuild hint whether or not the result changed; building a
  // huge replaced text twice for one change is what made Replace mode slow.
  const std::vector<unsigned short>& subject = m_pDoc->GetSubjectText();
  const RebuildKey key{rr.Version(), subject.data(), subject.size(), (m_pDoc->GetFlags() & RIGHTTOLEFT) != 0};
  if (m_bBuilt && key == m_builtKey) return;
  m_bBuilt = true;
  m_builtKey = key;
  ++m_nRebuilds;
  const std::vector<ReplaceSegment>& segments = rr.Segments();
  replace_trace::SetCurrentToken(m_pDoc, -1);
  if (segments.empty()) {
    SetBoxText(QString(), false);
    m_rebuildWindow = TextWindow();
    PaintSpans({});
    return;
  }
  // Written straight into the box's string: a replaced text of tens of megabytes built twice
  // was a third of a rebuild. The result and the subject it reads stay as they are until the
  // next rebuild, which replaces a pending text before it is built.
  const int subjectLength = static_cast<int>(subject.size());
  const int length = static_cast<int>(rr.ReplacedLength(subjectLength));
  // Built a part per event: writing a replaced text of 50 MB at once held the window for 90 ms.
  // The string is sized once at the first part and cut to what was written at the last.
  struct Progress {
    ReplaceResult::WriteProgress written;
    bool sized = false;
  };
  auto progress = std::make_shared<Progress>();
  const size_t part = 16 * static_cast<size_t>(FillChunk());
  auto build = [this, &rr, &subject, key, subjectLength, length, progress, part](QString& text) {
    // A pending text is built after the change that asked for it; should the subject or the
    // result have changed in between without a rebuild, its segments no longer fit the text.
    const RebuildKey now{rr.Version(), subject.data(), subject.size(), (m_pDoc->GetFlags() & RIGHTTOLEFT) != 0};
    if (!(now == key)) {
      m_bBuilt = false;  // the next notification rebuilds
      text = QString();
      return true;
    }
    if (!progress->sized) {
      text = QString(static_cast<qsizetype>(length), Qt::Uninitialized);
      progress->sized = true;
    }
    ReplaceResult::WriteProgress& p = progress->written;
    rr.WriteReplacedTextPart(subject.data(), subjectLength, reinterpret_cast<unsigned short*>(text.data()), p, part);
    if (!p.complete) return false;
    text.truncate(static_cast<qsizetype>(p.written));
    return true;
  };
  // A text the box fills in chunks anyway is built in events of its own, not inside the mode
  // switch or the search's end that asked for it.
  if (HandlesLargeTexts() && length > 2 * FillChunk()) {
    SetBoxTextSoon(build, true);
  } else {
    QString text;
    while (!build(text)) {
    }
    SetBoxText(text, true);
  }
  // The newest replacement: the last one, or the first when matching right to left.
  const bool rtl = (m_pDoc->GetFlags() & RIGHTTOLEFT) != 0;
  const ReplaceSegment& newest = rtl ? segments.front() : segments.back();
  m_rebuildWindow.start = std::max(newest.start - kRebuildMargin, 0);
  m_rebuildWindow.end = std::min(newest.start + newest.length + kRebuildMargin, length);
  PaintSpans(highlight::ReplaceResultSpans(*m_pDoc, m_rebuildWindow));
  RestartScrollTimer();
}

std::vector<HighlightSpan> CReplaceResultEditView::SpansFor(TextWindow w) const {
  return highlight::ReplaceResultSpans(*m_pDoc, w);
}

void CReplaceResultEditView::OnUserSelectionChanged() {
  const std::pair<int, int> sel = DocSelection();
  const int s = sel.first, e = sel.second;
  m_pDoc->SelectReplaceResultRange(s, e);
  // The token: the piece of the replace-to program whose output holds the selection's start.
  const std::vector<ReplaceSegment>& segments = m_pDoc->GetReplaceResult().Segments();
  const int seg = replace_trace::SegmentContaining(segments, s, e);
  replace_trace::SetCurrentToken(m_pDoc, seg >= 0 ? replace_trace::PieceAtPosition(segments[seg], m_pDoc->GetReplaceResult().PiecesOf(segments[seg]), s) : -1);
  m_pDoc->Notify(this, HINTS_REPLACE_RESULT_SELECTION);
  RepaintHighlights();
}

