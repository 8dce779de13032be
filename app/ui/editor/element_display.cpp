// Element colours, counts, heat and captions shared by the pattern box, the tree and the list.
#include "app/ui/editor/element_display.h"

#include <algorithm>
#include <cmath>

#include "app/document/core/korvane_doc.h"
#include "app/document/pattern/explanation.h"
#include "app/ui/editor/frame_link.h"
#include "app/ui/editor/regex_edit_view.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

struct ColorEntry {
  int code;
  QRgb color;
};

// Sorted by code; searched by bisection.
const ColorEntry kColorTable[] = {
    {ZEL_ALTERNATIVE, qRgb(80, 80, 255)},   {ZEL_ASSERTION, qRgb(144, 144, 153)},
    {ZEL_BACKREF, qRgb(255, 0, 255)},       {ZEL_BOUNDARY, qRgb(255, 0, 255)},
    {ZEL_BRACKET, qRgb(80, 80, 255)},       {ZEL_RECURSIVE, qRgb(255, 0, 255)},
    {ZEL_EMPTY, qRgb(144, 144, 144)},       {ZEL_LASTMATCH, qRgb(255, 0, 255)},
    {ZEL_GREEDY, qRgb(224, 112, 0)},        {ZEL_INDEPENDENT, qRgb(144, 144, 153)},
    {ZEL_LIST, qRgb(0, 0, 0)},              {ZEL_POSIX, qRgb(144, 0, 80)},
    {ZEL_POSSESSIVE, qRgb(224, 112, 0)},    {ZEL_CHARSET, qRgb(144, 0, 80)},
    {ZEL_RELUCTANT, qRgb(224, 112, 0)},     {ZEL_FIXEDREPEAT, qRgb(224, 112, 0)},
    {ZEL_STRING, qRgb(0, 0, 0)},            {ZEL_CONDITIONAL, qRgb(255, 0, 255)},
    {ZEL_NONCAPTURE_GROUP, qRgb(144, 144, 153)}, {ZEL_CAPTURE_GROUP, qRgb(80, 80, 255)},
    {ZEL_MODE_MODIFIER, qRgb(128, 0, 0)},
};

const CBracketElement<unsigned short>* OpeningBracket(const ElementRecord* r) {
  if (!r || r->type != ZEL_CAPTURE_GROUP || !r->element || r->element->m_nKind != ELEMENT_LIST) return nullptr;
  const auto* list = static_cast<const CListElement<unsigned short>*>(r->element);
  if (list->m_elements.GetSize() < 1 || list->m_elements[0]->m_nKind != ELEMENT_BRACKET) return nullptr;
  return static_cast<const CBracketElement<unsigned short>*>(list->m_elements[0]);
}

QString NameOf(const ElementRecord* r) {
  // The record's name is zero-terminated.
  QString s;
  for (unsigned short c : r->name) {
    if (!c) break;
    s.append(QChar(c));
  }
  return s;
}

}  // namespace

bool ElementTextColor(int typeCode, QRgb* color) {
  const ColorEntry* begin = kColorTable;
  const ColorEntry* end = kColorTable + sizeof(kColorTable) / sizeof(kColorTable[0]);
  const ColorEntry* it = std::lower_bound(begin, end, typeCode, [](const ColorEntry& e, int c) { return e.code < c; });
  if (it == end || it->code != typeCode) return false;
  *color = it->color;
  return true;
}

long long ExecutionCount(const CKorvaneDoc& doc, const ElementRecord* record) {
  if (!record || !record->element) return 0;
  const int* c = doc.ElementCounters(record->element);
  switch (record->type) {
    case ZEL_ASSERTION:
    case ZEL_BACKREF:
    case ZEL_BOUNDARY:
    case ZEL_LASTMATCH:
    case ZEL_INDEPENDENT:
    case ZEL_POSIX:
    case ZEL_POSSESSIVE:
    case ZEL_CHARSET:
    case ZEL_STRING:
      return static_cast<long long>(c[0]) + c[1];
    default:
      return static_cast<long long>(c[0]) + c[1] + c[2] + c[3];
  }
}

long long LargestExecutionCount(const CKorvaneDoc& doc, const ElementRecord* record) {
  if (!record) return 0;
  // Iterative walk: patterns nest deeply enough to make recursion a risk on small stacks.
  long long best = 0;
  std::vector<const ElementRecord*> stack{record};
  while (!stack.empty()) {
    const ElementRecord* r = stack.back();
    stack.pop_back();
    best = std::max(best, ExecutionCount(doc, r));
    for (const ElementRecord* k : r->children) stack.push_back(k);
  }
  return best;
}

int PatternHeat(long long c, long long n) {
  if (c <= 1) return -1;
  double s = std::max(std::log10(static_cast<double>(n > 0 ? n : 1)), 4.5);
  int k = static_cast<int>(std::floor(std::log10(static_cast<double>(c)) * 255.0 / s));
  return std::min(k, 255);
}

int TreeHeat(long long c, long long n) {
  if (c <= 1 || n <= 1) return -1;
  int k = static_cast<int>(std::log10(static_cast<double>(c)) * 255.0 / std::log10(static_cast<double>(n)));
  return std::min(std::max(k, 0), 255);
}

int RecordGroupNumber(const ElementRecord* record) {
  const CBracketElement<unsigned short>* b = OpeningBracket(record);
  return b ? b->m_nGroup : -1;
}

int RecordBalanceNumber(const ElementRecord* record) {
  const CBracketElement<unsigned short>* b = OpeningBracket(record);
  return b ? b->m_nBalance : -1;
}

QString ElementCaption(const ElementRecord* record) {
  int id = IDS_TREE_EMPTY;
  switch (record ? record->type : 0) {
    case ZEL_ALTERNATIVE: id = IDS_TREE_ALTERNATIVE; break;
    case ZEL_ASSERTION: id = IDS_TREE_ASSERTION; break;
    case ZEL_BACKREF: id = IDS_TREE_BACKREF; break;
    case ZEL_BOUNDARY: id = IDS_TREE_BOUNDARY; break;
    case ZEL_RECURSIVE: id = IDS_TREE_RECURSIVE; break;
    case ZEL_LASTMATCH: id = IDS_TREE_LAST_MATCH; break;
    case ZEL_GREEDY: id = IDS_TREE_GREEDY; break;
    case ZEL_INDEPENDENT: id = IDS_TREE_INDEPENDENT; break;
    case ZEL_LIST: id = IDS_TREE_LIST; break;
    case ZEL_POSIX: id = IDS_TREE_POSIX; break;
    case ZEL_POSSESSIVE: id = IDS_TREE_POSSESSIVE; break;
    case ZEL_CHARSET: id = IDS_TREE_CHARSET; break;
    case ZEL_RELUCTANT: id = IDS_TREE_RELUCTANT; break;
    case ZEL_FIXEDREPEAT: id = IDS_TREE_FIXED_REPEAT; break;
    case ZEL_STRING: id = IDS_TREE_STRING; break;
    case ZEL_CONDITIONAL: id = IDS_TREE_CONDITIONAL; break;
    case ZEL_NONCAPTURE_GROUP: id = IDS_TREE_NONCAPTURE_GROUP; break;
    case ZEL_MODE_MODIFIER: id = IDS_TREE_MODE_MODIFIER; break;
    case ZEL_CAPTURE_GROUP: {
      QString name = NameOf(record);
      bool balancing = RecordBalanceNumber(record) >= 0;
      if (name.isEmpty() && !balancing)
        return CStringTable::Str(IDS_TREE_CAPTURE_GROUP).replace(QLatin1String("%d"), QString::number(RecordGroupNumber(record)));
      if (name.isEmpty()) return CStringTable::Str(IDS_TREE_BALANCING_GROUP);
      return CStringTable::Str(balancing ? IDS_TREE_NAMED_BALANCING : IDS_TREE_NAMED_GROUP)
          .replace(QLatin1String("%s"), name);
    }
    default: break;
  }
  return CStringTable::Str(id);
}

QString ElementExplanation(const CKorvaneDoc& doc, const HostElement* element) {
  const ElementRecord* record = element ? doc.GetRecords().Lookup(element) : nullptr;
  return record ? doc.GetExplanation().Sentence(record) : QString();
}

void AnnounceCurrentElement(CKorvaneDoc* doc, CDocView* sender) {
  if (!doc) return;
  doc->Notify(sender, HINT_CURRENT_ELEMENT);
  if (doc->GetLastResult()->result.IsMatched()) doc->Notify(sender, HINT_RESULTS);
  if (doc->IsOnlyCurrentNode()) doc->Notify(sender, HINT_RECOLOR_PATTERN);
}

void SelectCurrentElement(CKorvaneDoc* doc, CDocView* sender, const HostElement* element) {
  if (!doc) return;
  if (element && !doc->GetRecords().Lookup(element)) element = nullptr;
  doc->SetCurrentElement(element);
  AnnounceCurrentElement(doc, sender);
}

void ShowElementContextMenu(CKorvaneDoc* doc, const QPoint& globalPos) {
  // Cut, Copy and Delete act on the pattern box, which holds the current element's text as its
  // selection; its Export submenu holds plugin entries.
  ShowViewContextMenu(kElementContextMenu, CRegexEditView::ForDocument(doc), globalPos);
}
