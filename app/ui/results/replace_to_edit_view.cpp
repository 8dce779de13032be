#include "app/ui/results/replace_to_edit_view.h"


#include "app/document/core/korvane_doc.h"
#include "app/ui/shared/frame_services.h"
#include "app/ui/results/replace_trace.h"
#include "app/ui/shared/saved_font.h"
#include "resources/korvane_ids.h"
#include "resources/stringtable.h"

namespace {
QString FromU16(const std::vector<unsigned short>& v) {
  return QString(reinterpret_cast<const QChar*>(v.data()), static_cast<int>(v.size()));
}
}  // namespace

CReplaceToEditView::CReplaceToEditView(CKorvaneDoc* doc, QWidget* parent)
    : CHighlightedEditView(doc, CSavedFont::kReplaceTo, ESaveAsBox::ReplaceTo, IDR_CTX_REPLACE, parent) {
  SetPlaceholder(CStringTable::Str(IDS_PLACEHOLDER_REPLACE_TO));
  SetBoxText(FromU16(m_pDoc->GetReplaceTo()), false);
  RepaintHighlights();
}

void CReplaceToEditView::OnUpdate(CDocView* sender, int hint) {
  if (m_bCommitting) return;
  if (hint & HINT_FONTS) ReloadFont();
  if (hint & HINT_REPLACE_TO_REPLACED) {
    SetBoxText(FromU16(m_pDoc->GetReplaceTo()), true);
    m_token = {0, 0};
  }
  if (hint & (HINT_REPLACE_TO_REPLACED | HINT_FONTS)) SetPlaceholder(CStringTable::Str(IDS_PLACEHOLDER_REPLACE_TO));
  if (hint & HINT_CURRENT_TOKEN) {
    // The token behind the place selected in the replace result: selected, and the yellow
    // mark of the caret's token dropped.
    m_token = {0, 0};
    std::pair<int, int> span = PieceSpan(replace_trace::CurrentToken(m_pDoc));
    SelectQuietly(span.first, span.second);
  }
  if (hint & (HINT_RECOLOR_REPLACE_TO | HINT_REPLACE_TO_REPLACED | HINT_CURRENT_TOKEN | HINT_FONTS)) RepaintHighlights();
}

std::pair<int, int> CReplaceToEditView::PieceSpan(int index) const {
  const ReplaceResult& rr = m_pDoc->GetReplaceResult();
  const std::vector<ReplacePiece>& pieces = rr.Program().pieces;
  if (index < 0 || index >= static_cast<int>(pieces.size())) return {0, 0};
  return {rr.PieceStart(index), pieces[index].end};
}

std::vector<HighlightSpan> CReplaceToEditView::SpansFor(TextWindow w) const {
  std::vector<HighlightSpan> out;
  const ReplaceProgram& program = m_pDoc->GetReplaceResult().Program();
  // The program describes the document's replace-to text; while an edit waits it may not match
  // the box, and then nothing is coloured rather than the wrong characters.
  const QString box = GetBoxText();
  if (program.text.size() != static_cast<size_t>(box.size()) ||
      !std::equal(program.text.begin(), program.text.end(), reinterpret_cast<const unsigned short*>(box.utf16())))
    return out;
  int from = 0;
  for (const ReplacePiece& p : program.pieces) {
    // "$$" is written as a token too, though it gives a literal dollar.
    const bool reference = p.kind != ReplacePiece::LITERAL || p.value == '$';
    if (reference) highlight::AddClipped(from, p.end, HL_REFERENCE, w, &out);
    from = p.end;
  }
  if (m_token.first < m_token.second) highlight::AddClipped(m_token.first, m_token.second, HL_TOKEN, w, &out);
  return out;
}

void CReplaceToEditView::CommitEdit() {
  std::vector<unsigned short> text = GetBoxTextU16();
  m_bCommitting = true;
  m_pDoc->SetReplaceTo(text.data(), static_cast<int>(text.size()));
  m_pDoc->Notify(nullptr, HINT_RECOLOR_REPLACE_TO);
  m_pDoc->Notify(this, HINTS_REPLACE_TO_EDITED);
  m_bCommitting = false;
  m_token = {0, 0};
  RepaintHighlights();
  OnUserSelectionChanged();
}

void CReplaceToEditView::OnUserSelectionChanged() {
  if (IsEditPending()) return;
  const int caret = textCursor().position();
  m_pDoc->SelectReplaceToPosition(caret);
  const int piece = m_pDoc->GetReplaceResult().PieceAt(caret);
  m_token = PieceSpan(piece);
  replace_trace::SetCurrentToken(m_pDoc, piece);
  m_pDoc->Notify(this, HINTS_REPLACE_TO_SELECTION);
  RepaintHighlights();
}

