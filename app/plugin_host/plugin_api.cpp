// The exported plugin API: CElement, the typed wrappers and CPluginContext.
#include <algorithm>
#include <cstring>

#include "app/plugin_host/plugin_context_data.h"

namespace {

const unsigned short kEmptyText[1] = {0};

template <class T>
const T* ElementAs(const ElementRecord* r, int kind) {
  if (!r || !r->element || r->element->m_nKind != kind) return nullptr;
  return static_cast<const T*>(r->element);
}

// The repeat fields shared by greedy, possessive and reluctant repeats.
bool RepeatBounds(const ElementRecord* r, int type, int* min, int* max) {
  if (!r || !r->element || r->type != type) return false;
  const HostElement* e = r->element;
  int m, extra;
  if (type == ELEMENT_RELUCTANT) {
    m = static_cast<const CReluctantElement<unsigned short>*>(e)->m_nMin;
    extra = static_cast<const CReluctantElement<unsigned short>*>(e)->m_nExtra;
  } else {
    m = static_cast<const CGreedyElement<unsigned short>*>(e)->m_nMin;
    extra = static_cast<const CGreedyElement<unsigned short>*>(e)->m_nExtra;
  }
  long long top = static_cast<long long>(m) + extra;
  *min = m;
  *max = top > TARNO_INFINITE ? TARNO_INFINITE : static_cast<int>(top);
  return true;
}

const CBracketElement<unsigned short>* OpeningBracket(const ElementRecord* r) {
  if (!r || !r->element || r->type != ELEMENT_CAPTURE_GROUP) return nullptr;
  const auto* l = static_cast<const CListElement<unsigned short>*>(r->element);
  return static_cast<const CBracketElement<unsigned short>*>(l->m_elements[0]);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CElement

CElement::CElement() : m_pRecord(nullptr) {}
CElement::CElement(ElementRecord* record) : m_pRecord(record) { AddRefRecord(record); }
CElement::CElement(const CElement& other) : m_pRecord(other.m_pRecord) { AddRefRecord(m_pRecord); }
CElement& CElement::operator=(const CElement& other) {
  if (m_pRecord == other.m_pRecord) return *this;
  AddRefRecord(other.m_pRecord);
  ReleaseRecord(m_pRecord);
  m_pRecord = other.m_pRecord;
  return *this;
}
CElement::~CElement() { ReleaseRecord(m_pRecord); }

int CElement::GetElementType() const { return m_pRecord ? m_pRecord->type : 0; }
int CElement::GetChildrenCount() const { return m_pRecord ? static_cast<int>(m_pRecord->children.size()) : 0; }
CElement CElement::GetChild(int index) const {
  if (!m_pRecord || index < 0 || index >= static_cast<int>(m_pRecord->children.size())) return CElement();
  return CElement(m_pRecord->children[index]);
}
int CElement::GetOffset() const { return m_pRecord ? m_pRecord->offset : 0; }
int CElement::GetLength() const { return m_pRecord ? m_pRecord->length : 0; }

void CElement::GetText(const unsigned short*& text, int& length) const {
  text = nullptr;
  length = 0;
  if (!m_pRecord || !m_pRecord->text) return;
  const std::vector<unsigned short>& buf = m_pRecord->text->text;
  int size = static_cast<int>(buf.size());
  int o = std::min(std::max(m_pRecord->offset, 0), size);
  text = buf.data() + o;
  length = std::min(std::max(m_pRecord->length, 0), size - o);
  if (buf.empty()) text = kEmptyText;
}

int CElement::GetErrFlag() const { return (m_pRecord && m_pRecord->element) ? m_pRecord->element->m_nError : 0; }

namespace {

// Moves by `d` the offsets of `r` and of every record below it.
void ShiftSubtree(ElementRecord* r, int d) {
  std::vector<ElementRecord*> todo(1, r);
  while (!todo.empty()) {
    ElementRecord* x = todo.back();
    todo.pop_back();
    x->offset += d;
    for (ElementRecord* c : x->children) todo.push_back(c);
  }
}

// Clears every record below `r`, deepest first, so that no free walks a long chain.
void ClearSubtree(ElementRecord* r) {
  std::vector<ElementRecord*> order, todo(r->children.begin(), r->children.end());
  while (!todo.empty()) {
    ElementRecord* x = todo.back();
    todo.pop_back();
    order.push_back(x);
    for (ElementRecord* c : x->children) todo.push_back(c);
  }
  // Hold every record while the links are cut, then let go.
  for (ElementRecord* x : order) AddRefRecord(x);
  for (ElementRecord* x : order) ClearRecord(x);
  std::vector<ElementRecord*> kids;
  {
    std::lock_guard<std::recursive_mutex> guard(ElementLock());
    kids.swap(r->children);
  }
  for (ElementRecord* c : kids) ReleaseRecord(c);
  for (ElementRecord* x : order) ReleaseRecord(x);
}

}  // namespace

void CElement::SetText(const unsigned short* text, int length) {
  if (!m_pRecord || !m_pRecord->text) return;
  if (!text || length < 0) length = 0;
  std::lock_guard<std::recursive_mutex> guard(ElementLock());
  std::vector<unsigned short>& buf = m_pRecord->text->text;
  const int size = static_cast<int>(buf.size());
  const int o = std::min(std::max(m_pRecord->offset, 0), size);
  const int len = std::min(std::max(m_pRecord->length, 0), size - o);
  const int n = length;
  if (o + len >= size) {
    buf.resize(o + n);
  } else if (len < n) {
    buf.resize(size - len + n);
    std::memmove(buf.data() + o + n, buf.data() + o + len, sizeof(unsigned short) * (size - o - len));
  } else if (n < len) {
    std::memmove(buf.data() + o + n, buf.data() + o + len, sizeof(unsigned short) * (size - o - len));
    buf.resize(size - len + n);
  }
  if (n) std::memcpy(buf.data() + o, text, sizeof(unsigned short) * n);

  ClearSubtree(m_pRecord);
  const int d = n - len;
  for (ElementRecord* x = m_pRecord; x; x = x->parent) {
    x->length += d;
    x->modified = 1;
    for (ElementRecord* s = x->nextSibling; s; s = s->nextSibling) ShiftSubtree(s, d);
  }
}

// ---------------------------------------------------------------------------------------------
// Typed wrappers

void CZelString::GetString(const unsigned short*& text, int& length) const {
  const auto* s = ElementAs<CStringElement<unsigned short>>(m_pRecord, ELEMENT_STRING);
  text = s ? s->GetChars() : kEmptyText;
  length = s ? s->m_nLength : 0;
}
int CZelString::IsIgnoreCase() const {
  const auto* s = ElementAs<CStringElement<unsigned short>>(m_pRecord, ELEMENT_STRING);
  return s && s->m_bIgnoreCase;
}
int CZelString::IsRightLeft() const {
  const auto* s = ElementAs<CStringElement<unsigned short>>(m_pRecord, ELEMENT_STRING);
  return s && s->m_bRightLeft;
}
int CZelCombination::IsRightLeft() const {
  if (!m_pRecord || !m_pRecord->element || m_pRecord->element->m_nKind != ELEMENT_LIST) return 0;
  return static_cast<const CListElement<unsigned short>*>(m_pRecord->element)->m_bRightLeft;
}
int CZelCapture::GetGroupNo() const {
  const auto* b = OpeningBracket(m_pRecord);
  return b ? b->m_nGroup : 0;
}
const unsigned short* CZelCapture::GetGroupName() const {
  return (OpeningBracket(m_pRecord) && !m_pRecord->name.empty()) ? m_pRecord->name.data() : kEmptyText;
}
int CZelCapture::GetBalancingNo() const {
  const auto* b = OpeningBracket(m_pRecord);
  return b ? b->m_nBalance : -1;
}
int CZelBracket::GetGroupNo() const {
  const auto* b = ElementAs<CBracketElement<unsigned short>>(m_pRecord, ELEMENT_BRACKET);
  return b ? b->m_nGroup : 0;
}
int CZelBracket::IsLeftBracket() const {
  const auto* b = ElementAs<CBracketElement<unsigned short>>(m_pRecord, ELEMENT_BRACKET);
  return b && !b->m_bClosing;
}
const unsigned short* CZelBracket::GetGroupName() const {
  const auto* b = ElementAs<CBracketElement<unsigned short>>(m_pRecord, ELEMENT_BRACKET);
  return (b && !m_pRecord->name.empty()) ? m_pRecord->name.data() : kEmptyText;
}
int CZelBackreference::GetGroupNo() const {
  const auto* b = ElementAs<CBackrefElement<unsigned short>>(m_pRecord, ELEMENT_BACKREF);
  return b ? b->m_nGroup : 0;
}
int CZelBackreference::IsRightLeft() const {
  const auto* b = ElementAs<CBackrefElement<unsigned short>>(m_pRecord, ELEMENT_BACKREF);
  return b && b->m_bRightLeft;
}
int CZelBoundary::GetBoundaryType() const {
  const auto* b = ElementAs<CBoundaryElement<unsigned short>>(m_pRecord, ELEMENT_BOUNDARY);
  return b ? b->m_nType : 0;
}
int CZelBoundary::GetYes() const {
  const auto* b = ElementAs<CBoundaryElement<unsigned short>>(m_pRecord, ELEMENT_BOUNDARY);
  return b && b->m_bYes;
}
int CZelPosix::GetYes() const {
  const auto* p = ElementAs<CPosixElement<unsigned short>>(m_pRecord, ELEMENT_POSIX);
  return p && p->m_bYes;
}
int CZelPosix::IsRightLeft() const {
  const auto* p = ElementAs<CPosixElement<unsigned short>>(m_pRecord, ELEMENT_POSIX);
  return p && p->m_bRightLeft;
}
int CZelCharacterset::GetYes() const {
  const auto* c = ElementAs<CCharsetElement<unsigned short>>(m_pRecord, ELEMENT_CHARSET);
  return c && c->m_bYes;
}
int CZelCharacterset::IsRightLeft() const {
  const auto* c = ElementAs<CCharsetElement<unsigned short>>(m_pRecord, ELEMENT_CHARSET);
  return c && c->m_bRightLeft;
}
int CZelConditional::GetGroupNo() const {
  const auto* c = ElementAs<CConditionalElement<unsigned short>>(m_pRecord, ELEMENT_CONDITIONAL);
  return c ? c->m_nGroup : 0;
}
int CZelRecursive::GetGroupNo() const {
  const auto* d = ElementAs<CDelegateElement<unsigned short>>(m_pRecord, ELEMENT_DELEGATE);
  return d ? d->m_nGroup : 0;
}
int CZelGreedy::GetMinimum() const {
  int min = 0, max = 0;
  RepeatBounds(m_pRecord, ELEMENT_GREEDY, &min, &max);
  return min;
}
int CZelGreedy::GetMaximum() const {
  int min = 0, max = 0;
  RepeatBounds(m_pRecord, ELEMENT_GREEDY, &min, &max);
  return max;
}
int CZelReluctant::GetMinimum() const {
  int min = 0, max = 0;
  RepeatBounds(m_pRecord, ELEMENT_RELUCTANT, &min, &max);
  return min;
}
int CZelReluctant::GetMaximum() const {
  int min = 0, max = 0;
  RepeatBounds(m_pRecord, ELEMENT_RELUCTANT, &min, &max);
  return max;
}
int CZelPossessive::GetMinimum() const {
  int min = 0, max = 0;
  RepeatBounds(m_pRecord, ELEMENT_POSSESSIVE, &min, &max);
  return min;
}
int CZelPossessive::GetMaximum() const {
  int min = 0, max = 0;
  RepeatBounds(m_pRecord, ELEMENT_POSSESSIVE, &min, &max);
  return max;
}
int CZelFixedrepeat::GetMinimum() const {
  const auto* f = ElementAs<CFixedRepeatElement<unsigned short>>(m_pRecord, ELEMENT_FIXED);
  return f ? f->m_nCount : 0;
}
int CZelAssertion::GetYes() const {
  const auto* a = ElementAs<CAssertionElement<unsigned short>>(m_pRecord, ELEMENT_ASSERTION);
  return a && a->m_bPositive;
}

// ---------------------------------------------------------------------------------------------
// CPluginContext

CPluginContext::CPluginContext() : m_pData(nullptr) {}
CPluginContext::CPluginContext(PluginContextData* data) : m_pData(data) {
  if (m_pData) ++m_pData->refCount;
}
CPluginContext::CPluginContext(const CPluginContext& other) : m_pData(other.m_pData) {
  if (m_pData) ++m_pData->refCount;
}
CPluginContext& CPluginContext::operator=(const CPluginContext& other) {
  if (m_pData == other.m_pData) return *this;
  if (other.m_pData) ++other.m_pData->refCount;
  if (m_pData && --m_pData->refCount < 1) delete m_pData;
  m_pData = other.m_pData;
  return *this;
}
CPluginContext::~CPluginContext() {
  if (m_pData && --m_pData->refCount < 1) delete m_pData;
}

void CPluginContext::SetMenuType(int kind, const char* group) {
  if (!m_pData) return;
  m_pData->menuKind = kind;
  m_pData->groupName = group ? group : "";
}
void CPluginContext::SetMenuText(const char* text, const char* prompt) {
  if (!m_pData) return;
  m_pData->menuText = text ? text : "";
  m_pData->prompt = prompt ? prompt : "";
}
void CPluginContext::SetMenuEnable(int enable) {
  if (m_pData) m_pData->enabled = enable ? 1 : 0;
}
CElement CPluginContext::GetRootElement() { return m_pData ? m_pData->root : CElement(); }
CElement CPluginContext::GetCurrentElement() { return m_pData ? m_pData->current : CElement(); }
int CPluginContext::GetGroupsCount() {
  return (m_pData && m_pData->pattern) ? m_pData->pattern->GetGroupTableSize() : 0;
}
CElement CPluginContext::GetGroupElement(int n) {
  if (!m_pData || !m_pData->pattern || !m_pData->tree) return CElement();
  const HostElement* e = m_pData->pattern->GetGroupTableEntry(n);
  return CElement(m_pData->tree->Lookup(e));
}
int CPluginContext::GetFlags() { return m_pData ? m_pData->flags : 0; }

void CPluginContext::GetSelectedText(const unsigned short*& text, int& length) {
  if (!m_pData) return;
  if (m_pData->replaced) {
    text = m_pData->pending.data();
    length = static_cast<int>(m_pData->pending.size()) - 1;
    return;
  }
  text = m_pData->selection ? m_pData->selection : kEmptyText;
  length = m_pData->selection ? m_pData->selectionLength : 0;
}
void CPluginContext::SetSelectedText(const unsigned short* text, int length) {
  if (!m_pData) return;
  if (!text || length < 0) length = 0;
  m_pData->pending.assign(text, text + length);
  m_pData->pending.push_back(0);
  m_pData->replaced = 1;
}
int CPluginContext::GetActiveWindow() { return m_pData ? m_pData->activeWindow : 0; }

void CPluginContext::GetWindowAllText(int window, const unsigned short*& text, int& length) {
  text = kEmptyText;
  length = 0;
  if (!m_pData) return;
  const unsigned short* t = nullptr;
  int n = 0;
  switch (window) {
    case ZWND_PATTERN: t = m_pData->patternText; n = m_pData->patternLength; break;
    case ZWND_TEXT: t = m_pData->subjectText; n = m_pData->subjectLength; break;
    case ZWND_REPLACETO: t = m_pData->replaceToText; n = m_pData->replaceToLength; break;
    default: break;
  }
  if (t) {
    text = t;
    length = n;
  }
}
