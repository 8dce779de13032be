#include "app/ui/results/text_edit_view.h"


#include "app/document/core/korvane_doc.h"
#include "app/document/debugger/debug_session.h"
#include "app/ui/shared/frame_services.h"
#include "app/ui/shared/saved_font.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

CTextEditView::CTextEditView(CKorvaneDoc* doc, QWidget* parent) : CHighlightedEditView(doc, CSavedFont::kText, ESaveAsBox::SubjectText, IDR_CTX_TEXT, parent) {
  SetPlaceholder(CStringTable::Str(IDS_PLACEHOLDER_TEXT));
  const std::vector<unsigned short>& text = m_pDoc->GetSubjectText();
  SetBoxText(QString(reinterpret_cast<const QChar*>(text.data()), static_cast<int>(text.size())), false);
  RepaintHighlights();
}

void CTextEditView::OnUpdate(CDocView* sender, int hint) {
  // While this box hands its own text over, the document's answer describes what it already shows.
  if (m_bCommitting) return;
  if (hint & HINT_FONTS) ReloadFont();
  if (hint & HINT_SUBJECT_REPLACED) {
    const std::vector<unsigned short>& text = m_pDoc->GetSubjectText();
    SetBoxText(QString(reinterpret_cast<const QChar*>(text.data()), static_cast<int>(text.size())), true);
  }
  if (hint & (HINT_SUBJECT_REPLACED | HINT_FONTS)) SetPlaceholder(CStringTable::Str(IDS_PLACEHOLDER_TEXT));
  if (hint & HINT_RESULTS) {
    // After a reset there is nothing to show: the caret stays where the user left it instead of
    // jumping to the start of a long text.
    std::pair<int, int> sel = highlight::TextSelectionSpan(*m_pDoc);
    if (highlight::CurrentMatchSpan(*m_pDoc).first >= 0 || sel.first != sel.second) SelectQuietly(sel.first, sel.second);
  }
  const bool tracing = m_pDoc->GetMode() == MODE_TRACE && m_pDoc->IsJobActive() && m_pDoc->IsPaused() &&
                       m_pDoc->GetTraceStep().element;
  if (tracing && (hint & (HINT_TEXT_HIGHLIGHTS | HINT_RECOLOR_PATTERN))) {
    // The caret follows the traced step.
    const TraceStep& step = m_pDoc->GetTraceStep();
    SelectQuietly(step.elementStart, step.elementStart);
  }
  if (hint & (HINT_TEXT_HIGHLIGHTS | HINT_MODE | HINT_SUBJECT_REPLACED | HINT_RESULTS | HINT_FONTS)) RepaintHighlights();
}

std::vector<HighlightSpan> CTextEditView::SpansFor(TextWindow w) const { return highlight::TextBoxSpans(*m_pDoc, w); }

void CTextEditView::CommitEdit() {
  std::vector<unsigned short> text = GetBoxTextU16();
  m_bCommitting = true;
  m_pDoc->SetSubjectText(text.data(), static_cast<int>(text.size()));
  m_pDoc->Notify(nullptr, HINT_RECOLOR_PATTERN | HINT_TEXT_HIGHLIGHTS);
  m_pDoc->Notify(this, HINTS_SUBJECT_EDITED);
  m_bCommitting = false;
  RepaintHighlights();
  OnUserSelectionChanged();
}

void CTextEditView::OnUserSelectionChanged() {
  // While an edit waits for the timer the document still holds the old text; the selection is
  // reported when the edit is handed over.
  if (IsEditPending()) return;
  const std::pair<int, int> sel = DocSelection();
  m_pDoc->SelectSubjectRange(sel.first, sel.second);
  m_pDoc->Notify(this, HINTS_SUBJECT_SELECTION);
  RepaintHighlights();
}

void CTextEditView::SetStartPointFromSelection() {
  const std::pair<int, int> sel = DocSelection();
  const int s = sel.first, e = sel.second;
  const int length = TextLength();  // 0 while the placeholder shows
  m_pDoc->SetStartPoint(s != 0 && e < length ? s : -1);
  m_pDoc->Notify(nullptr, HINT_TEXT_HIGHLIGHTS);
  m_pDoc->Notify(this, HINTS_SUBJECT_EDITED);
}

bool CTextEditView::HandlesCommand(int id) const {
  return id == ID_MATCH_SET_START_POINT || CHighlightedEditView::HandlesCommand(id);
}

bool CTextEditView::IsCommandEnabled(int id) const {
  if (id == ID_MATCH_SET_START_POINT) return true;
  return CHighlightedEditView::IsCommandEnabled(id);
}

bool CTextEditView::DoCommand(int id) {
  switch (id) {
    case ID_MATCH_SET_START_POINT: SetStartPointFromSelection(); return true;
    default: return CHighlightedEditView::DoCommand(id);
  }
}
