// Element records: building the tree after a compile, the two lookups, clearing.
#include "app/document/pattern/element_records.h"

#include <algorithm>

std::recursive_mutex& ElementLock() {
  static std::recursive_mutex lock;
  return lock;
}

void AddRefRecord(ElementRecord* r) {
  if (!r) return;
  std::lock_guard<std::recursive_mutex> guard(ElementLock());
  ++r->refCount;
}

void ReleaseRecord(ElementRecord* r) {
  if (!r) return;
  std::lock_guard<std::recursive_mutex> guard(ElementLock());
  if (--r->refCount >= 1) return;
  // Freeing releases the record's links. While a tree lives every record also has the tree's
  // own reference, so a record only reaches zero after its links were cut; the releases below
  // are then no-ops and nothing recurses deeply.
  ElementRecord* parent = r->parent;
  ElementRecord* next = r->nextSibling;
  std::vector<ElementRecord*> children;
  children.swap(r->children);
  delete r;
  ReleaseRecord(parent);
  ReleaseRecord(next);
  for (ElementRecord* c : children) ReleaseRecord(c);
}

void ClearRecord(ElementRecord* r) {
  std::lock_guard<std::recursive_mutex> guard(ElementLock());
  r->element = nullptr;
  r->text = nullptr;
  r->type = 0;
  ElementRecord* parent = r->parent;
  ElementRecord* next = r->nextSibling;
  std::vector<ElementRecord*> children;
  children.swap(r->children);
  r->parent = nullptr;
  r->nextSibling = nullptr;
  ReleaseRecord(parent);
  ReleaseRecord(next);
  for (ElementRecord* c : children) ReleaseRecord(c);
}

namespace {

// The children of a compiled element as the tree shows them, and the adjusted type.
int ChildrenOf(const HostElement* e, std::vector<const HostElement*>& out) {
  out.clear();
  int type = e->m_nKind;
  switch (e->m_nKind) {
    case ELEMENT_ALTERNATIVE: {
      const auto* a = static_cast<const CAlternativeElement<unsigned short>*>(e);
      for (int i = 0; i < a->m_elements.GetSize(); ++i) out.push_back(a->m_elements[i]);
      break;
    }
    case ELEMENT_LIST: {
      const auto* l = static_cast<const CListElement<unsigned short>*>(e);
      if (l->m_elements.GetSize() == 3 && l->m_elements[0]->m_nKind == ELEMENT_BRACKET) {
        type = ELEMENT_CAPTURE_GROUP;  // (opening bracket, content, closing bracket)
        out.push_back(l->m_elements[1]);
      } else {
        for (int i = 0; i < l->m_elements.GetSize(); ++i) out.push_back(l->m_elements[i]);
      }
      break;
    }
    case ELEMENT_ASSERTION:
      out.push_back(static_cast<const CAssertionElement<unsigned short>*>(e)->m_pElement);
      break;
    case ELEMENT_INDEPENDENT:
      out.push_back(static_cast<const CIndependentElement<unsigned short>*>(e)->m_pElement);
      break;
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE:
    case ELEMENT_RELUCTANT:
    case ELEMENT_FIXED:
      out.push_back(static_cast<const CRepeatBase<unsigned short>*>(e)->m_pElement);
      break;
    case ELEMENT_DELEGATE: {
      const auto* d = static_cast<const CDelegateElement<unsigned short>*>(e);
      if (d->m_nGroup == DELEGATE_NONCAPTURE) {
        type = ELEMENT_NONCAPTURE_GROUP;
        if (d->m_pTarget) out.push_back(d->m_pTarget);
      } else if (d->m_nGroup == DELEGATE_MODIFIER) {
        type = ELEMENT_MODE_MODIFIER;
      }
      break;
    }
    case ELEMENT_CHARSET: {
      const auto* c = static_cast<const CCharsetElement<unsigned short>*>(e);
      for (int i = 0; i < c->m_embedded.GetSize(); ++i) out.push_back(c->m_embedded[i]);
      break;
    }
    case ELEMENT_CONDITIONAL: {
      const auto* c = static_cast<const CConditionalElement<unsigned short>*>(e);
      if (c->m_pCondition) out.push_back(c->m_pCondition);
      if (c->m_pYes) out.push_back(c->m_pYes);
      if (c->m_pNo) out.push_back(c->m_pNo);
      break;
    }
    default:
      break;
  }
  return type;
}

void CopyName(const CBufferT<unsigned short>& from, std::vector<unsigned short>& to) {
  to.assign(from.GetBuffer(), from.GetBuffer() + from.GetSize());
  to.push_back(0);
}

}  // namespace

ElementRecord* CElementTree::BuildRecord(const HostElement* e, ElementRecord* parent, int depth) {
  ElementRecord* r = new ElementRecord();
  r->element = e;
  r->text = &m_text;
  r->offset = e->m_nStart;
  r->length = e->m_nEnd - e->m_nStart;
  r->refCount = 1;  // the tree's own reference (m_all)
  m_all.push_back(r);
  std::vector<const HostElement*> kids;
  r->type = ChildrenOf(e, kids);
  if (e->m_nKind == ELEMENT_BRACKET) CopyName(static_cast<const CBracketElement<unsigned short>*>(e)->m_szName, r->name);
  if (r->type == ELEMENT_CAPTURE_GROUP) {
    const auto* l = static_cast<const CListElement<unsigned short>*>(e);
    CopyName(static_cast<const CBracketElement<unsigned short>*>(l->m_elements[0])->m_szName, r->name);
  }
  if (parent) {
    r->parent = parent;
    ++parent->refCount;
  }
  // The compiler bounds nesting, so this recursion is bounded too; the guard is for safety.
  if (depth < 4096) {
    for (const HostElement* k : kids) {
      ElementRecord* c = BuildRecord(k, r, depth + 1);
      ++c->refCount;  // the children array
      r->children.push_back(c);
    }
    for (size_t i = 0; i + 1 < r->children.size(); ++i) {
      r->children[i]->nextSibling = r->children[i + 1];
      ++r->children[i + 1]->refCount;
    }
  }
  return r;
}

void CElementTree::Build(const HostRegexp& re, const unsigned short* pattern, int length) {
  Clear();
  std::lock_guard<std::recursive_mutex> guard(ElementLock());
  m_text.text.assign(pattern, pattern + (length > 0 ? length : 0));
  if (!re.GetRoot()) return;
  m_pRoot = BuildRecord(re.GetRoot(), nullptr, 0);
  ++m_pRoot->refCount;  // the tree's root reference
  for (ElementRecord* r : m_all) m_byElement.push_back(std::make_pair(r->element, r));
  std::sort(m_byElement.begin(), m_byElement.end(),
            [](const std::pair<const HostElement*, ElementRecord*>& a,
               const std::pair<const HostElement*, ElementRecord*>& b) { return a.first < b.first; });
  m_byOffset = m_all;
  std::stable_sort(m_byOffset.begin(), m_byOffset.end(), [](const ElementRecord* a, const ElementRecord* b) {
    if (a->offset != b->offset) return a->offset < b->offset;
    return a->length > b->length;
  });
}

void CElementTree::Clear() {
  std::lock_guard<std::recursive_mutex> guard(ElementLock());
  for (ElementRecord* r : m_all) ClearRecord(r);
  if (m_pRoot) ReleaseRecord(m_pRoot);
  m_pRoot = nullptr;
  std::vector<ElementRecord*> all;
  all.swap(m_all);
  for (ElementRecord* r : all) ReleaseRecord(r);
  m_byElement.clear();
  m_byOffset.clear();
  m_text.text.clear();
}

ElementRecord* CElementTree::Lookup(const HostElement* e) const {
  if (!e) return nullptr;
  size_t lo = 0, hi = m_byElement.size();
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (m_byElement[mid].first < e)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo < m_byElement.size() && m_byElement[lo].first == e && m_byElement[lo].second->element == e)
    return m_byElement[lo].second;
  return nullptr;
}

const HostElement* CElementTree::FindInnermost(int start, int end) const {
  const std::vector<ElementRecord*>& list = m_byOffset;
  const int count = static_cast<int>(list.size());
  const int want = end - start;
  int low = 0, high = count - 1, probe = count / 2;
  while (low <= high && probe < count) {
    const ElementRecord* r = list[probe];
    int cmp = start != r->offset ? start - r->offset : r->length - want;
    if (cmp == 0) break;
    if (cmp < 0)
      high = probe - 1;
    else
      low = probe + 1;
    probe = (low + high + 1) / 2;
  }
  if (probe >= count) {
    if (count == 0 || !m_pRoot || start >= m_pRoot->offset + m_pRoot->length) return nullptr;
    probe = count - 1;
  }
  int i = probe;
  while (i >= 0 && list[i]->offset > start) --i;
  while (i >= 0 && list[i]->offset + list[i]->length < end) --i;
  return i >= 0 ? list[i]->element : nullptr;
}
