// Name resolution, after parsing: numbers the named groups (after the unnamed ones, in order of
// appearance; equal names share a number), builds the group table, and resolves the names of
// balancing groups, recursions, back-references and conditionals to numbers and targets; the
// lookups of a group by name or number that the public interface offers. compiler.h ties the
// compiler together.
#ifndef TARNO_NAME_RESOLUTION_H
#define TARNO_NAME_RESOLUTION_H

#include <map>
#include <vector>

#include "regexp.h"

TARNO_NAMESPACE_BEGIN

// The number a purely numeric name stands for (at most six digits, white space around), or -1.
template <class CHART>
int CRegexpT<CHART>::ParseNumericName(const CHART* name, int length) {
  int i = 0;
  while (i < length && IsSpace(TarnoChars<CHART>::Code(name[i]))) ++i;
  int digits = 0, value = 0;
  while (i < length && IsDigit(TarnoChars<CHART>::Code(name[i]))) {
    if (++digits > 6) return -1;
    value = value * 10 + static_cast<int>(TarnoChars<CHART>::Code(name[i]) - '0');
    ++i;
  }
  while (i < length && IsSpace(TarnoChars<CHART>::Code(name[i]))) ++i;
  return (digits > 0 && i == length) ? value : -1;
}

template <class CHART>
int CRegexpT<CHART>::LookupName(const CHART* name, int length) const {
  std::vector<unsigned> key(length > 0 ? length : 0);
  for (int i = 0; i < length; ++i) key[i] = TarnoUpper<CHART>(TarnoChars<CHART>::Code(name[i]));
  typename std::map<std::vector<unsigned>, int>::const_iterator it = m_nameNumbers.find(key);
  return it == m_nameNumbers.end() ? DELEGATE_NOT_FOUND : it->second;
}

template <class CHART>
int CRegexpT<CHART>::GetNamedGroupNumber(const CHART* name, int length) const {
  if (!name || length < 0) return DELEGATE_NOT_FOUND;
  return LookupName(name, length);
}

template <class CHART>
const typename CRegexpT<CHART>::Element* CRegexpT<CHART>::GetGroupElement(int number) const {
  typename std::map<int, const Element*>::const_iterator it = m_groupByNumber.find(number);
  return it == m_groupByNumber.end() ? nullptr : it->second;
}

template <class CHART>
void CRegexpT<CHART>::Resolve() {
  m_groupTable.Push(m_pRoot);
  for (int n = 0; n < m_unnamedGroups.GetSize(); ++n)
    if (m_unnamedGroups[n]) m_groupTable.Push(m_unnamedGroups[n]);
  for (size_t i = 0; i < m_namedGroups.size(); ++i) m_groupTable.Push(m_namedGroups[i].list);

  // Named groups are numbered after all unnamed ones, in order of appearance; a numeric name is
  // its own number, and groups with equal names (without case) share one number.
  int counter = m_nUnnamed;
  m_nMaxGroup = m_nUnnamed;
  for (size_t i = 0; i < m_namedGroups.size(); ++i) {
    NamedGroup& g = m_namedGroups[i];
    std::vector<unsigned> key(g.name.GetSize());
    for (int k = 0; k < g.name.GetSize(); ++k) key[k] = TarnoUpper<CHART>(TarnoChars<CHART>::Code(g.name[k]));
    int number = ParseNumericName(g.name.GetBuffer(), g.name.GetSize());
    typename std::map<std::vector<unsigned>, int>::iterator it = m_nameNumbers.find(key);
    if (number < 0) number = it != m_nameNumbers.end() ? it->second : ++counter;
    if (it == m_nameNumbers.end()) m_nameNumbers[key] = number;
    g.number = number;
    g.open->m_nGroup = g.close->m_nGroup = number;
    if (number > m_nMaxGroup) m_nMaxGroup = number;
  }
  for (int i = 1; i < m_groupTable.GetSize(); ++i) {
    const CListElement<CHART>* list = static_cast<const CListElement<CHART>*>(m_groupTable[i]);
    int number = static_cast<const CBracketElement<CHART>*>(list->m_elements[0])->m_nGroup;
    if (m_groupByNumber.find(number) == m_groupByNumber.end()) m_groupByNumber[number] = list;
  }
#if TARNO_HOST
  for (size_t i = 0; i < m_namedGroups.size(); ++i) {
    NamedGroup& g = m_namedGroups[i];
    if (!g.balancing) continue;
    int other = ParseNumericName(g.other.GetBuffer(), g.other.GetSize());
    if (other < 0) other = LookupName(g.other.GetBuffer(), g.other.GetSize());
    g.open->m_nBalance = g.close->m_nBalance = other;
  }
#endif
  for (int i = 0; i < m_recursions.GetSize(); ++i) {
    CDelegateElement<CHART>* d = m_recursions[i];
    if (!d->m_szName.IsEmpty()) d->m_nGroup = LookupName(d->m_szName.GetBuffer(), d->m_szName.GetSize());
    if (d->m_nGroup == 0)
      d->m_pTarget = m_pRoot;
    else if (d->m_nGroup >= 1 && d->m_nGroup <= m_nMaxGroup)
      d->m_pTarget = GetGroupElement(d->m_nGroup);
  }
  for (int i = 0; i < m_namedBackrefs.GetSize(); ++i) {
    CBackrefElement<CHART>* b = m_namedBackrefs[i];
    b->m_nGroup = LookupName(b->m_szName.GetBuffer(), b->m_szName.GetSize());
  }
  for (int i = 0; i < m_namedConditionals.GetSize(); ++i) {
    CConditionalElement<CHART>* c = m_namedConditionals[i];
    int number = LookupName(c->m_szName.GetBuffer(), c->m_szName.GetSize());
    if (number >= 0) {
      c->m_nGroup = number;
      c->m_pCondition = nullptr;
    }
  }
}

TARNO_NAMESPACE_END

#endif
