// The passes over the finished graph that prepare the matcher, none of which changes a match:
// which elements can give another way (retry), which greedy repeats pass over explored states
// and keep their lists across attempts, and, in the builds with fast paths, counted repeats,
// the start filter (first characters, anchors, word starts), the required string (required.h)
// and automatic possessive repeats. compiler.h ties the compiler together.
#ifndef TARNO_OPTIMIZATION_PASSES_H
#define TARNO_OPTIMIZATION_PASSES_H

#include <cstring>

#include "regexp.h"

TARNO_NAMESPACE_BEGIN

template <class CHART>
void CRegexpT<CHART>::Finish() {
  for (int i = 0; i < m_pool.GetSize(); ++i)
    if (m_pool[i]->m_nKind == ELEMENT_CHARSET) static_cast<CCharsetElement<CHART>*>(m_pool[i])->Finish();
  m_retryState.assign(m_pool.GetSize(), 0);
  for (int i = 0; i < m_pool.GetSize(); ++i) AnalyzeRetry(m_pool[i]);
  // Where nothing reads captures, what follows a repeat depends on the position alone, and an
  // unbounded greedy repeat need not offer one end position twice (CGreedyElement::RetryGreedy).
  bool readsCaptures = false;
  for (int i = 0; i < m_pool.GetSize() && !readsCaptures; ++i) {
    const Element* e = m_pool[i];
    switch (e->m_nKind) {
      case ELEMENT_BACKREF:
      case ELEMENT_CONDITIONAL:
        readsCaptures = true;
        break;
      case ELEMENT_DELEGATE: {
        const CDelegateElement<CHART>* d = static_cast<const CDelegateElement<CHART>*>(e);
        readsCaptures = d->m_pTarget && d->m_nGroup != DELEGATE_NONCAPTURE;  // a recursion
        break;
      }
      case ELEMENT_BRACKET:
        readsCaptures = static_cast<const CBracketElement<CHART>*>(e)->m_nBalance != -1;
        break;
      default:
        break;
    }
  }
  for (int i = 0; i < m_pool.GetSize(); ++i) {
    int kind = m_pool[i]->m_nKind;
    if (kind != ELEMENT_GREEDY && kind != ELEMENT_POSSESSIVE) continue;
    CGreedyElement<CHART>* g = static_cast<CGreedyElement<CHART>*>(m_pool[i]);
    g->m_bSkipOffered = !readsCaptures || !SetsCaptures(g->m_pElement, 0);
    g->m_nKeptList = -1;
  }
  m_nKeptLists = 0;
  if (!readsCaptures && m_pRoot) MarkKeptLists(m_pRoot, 0);
#if !TARNO_TRACE
  for (int i = 0; i < m_pool.GetSize(); ++i) {
    int kind = m_pool[i]->m_nKind;
    if (kind != ELEMENT_GREEDY && kind != ELEMENT_POSSESSIVE && kind != ELEMENT_RELUCTANT && kind != ELEMENT_FIXED)
      continue;
    CRepeatBase<CHART>* r = static_cast<CRepeatBase<CHART>*>(m_pool[i]);
    const Element* inner = r->m_pElement;
    if (inner->m_nKind == ELEMENT_CHARSET) {
      r->m_nFast = FAST_CHARSET;
      r->m_bRightLeft = static_cast<const CCharsetElement<CHART>*>(inner)->m_bRightLeft;
    } else if (inner->m_nKind == ELEMENT_POSIX) {
      r->m_nFast = FAST_POSIX;
      r->m_bRightLeft = static_cast<const CPosixElement<CHART>*>(inner)->m_bRightLeft;
    } else if (inner->m_nKind == ELEMENT_STRING && static_cast<const CStringElement<CHART>*>(inner)->m_nLength == 1) {
      r->m_nFast = FAST_CHAR;
      r->m_bRightLeft = static_cast<const CStringElement<CHART>*>(inner)->m_bRightLeft;
    }
  }
  std::memset(m_first, 0, sizeof m_first);
  m_bFirstHigh = false;
  m_bFirstAny = false;
  m_firstState.assign(m_pool.GetSize(), 0);
  bool canEmpty = AddFirst(m_pRoot, 0);
  m_bFilter = !canEmpty && !m_bFirstAny;
  m_nFirstSingle = -1;
  if (m_bFilter && !m_bFirstHigh) {
    int count = 0, last = -1;
    for (int c = 0; c < 256; ++c)
      if (m_first[c]) {
        ++count;
        last = c;
      }
    if (count == 1) m_nFirstSingle = last;
  }
  m_nAnchor = IsAnchored(m_pRoot, 0) ? 1 : 0;
  // A match that begins with \b and a word character begins where a word does.
  m_bWordStart = false;
  if (m_bFilter && !m_bFirstHigh && !(m_nFlags & RIGHTTOLEFT) && BeginsWithWordBoundary(m_pRoot, 0)) {
    m_bWordStart = true;
    for (unsigned c = 0; c < 256; ++c)
      if (m_first[c] && !TarnoIsWord(c)) m_bWordStart = false;
  }
  AnalyzeRequired();
  // Automatic possessive repeats: not where a recursion gives a group other followers than
  // its own, and not for huge patterns (the analysis asks for first characters per member).
  bool recursion = false;
  for (int i = 0; i < m_pool.GetSize() && !recursion; ++i)
    recursion = TarnoIsRecursion(m_pool[i]);
  if (!recursion && m_pool.GetSize() <= 1000) {
    unsigned char saved[256];
    std::memcpy(saved, m_first, sizeof saved);
    const bool savedHigh = m_bFirstHigh, savedAny = m_bFirstAny;
    FirstSet any;
    std::memset(any.set, 0, sizeof any.set);
    any.high = false;
    any.any = true;
    MarkPossessive(m_pRoot, any, 0);
    std::memcpy(m_first, saved, sizeof saved);
    m_bFirstHigh = savedHigh;
    m_bFirstAny = savedAny;
  }
#else
  // The host counts every attempt at every position, so it searches without filters.
  m_bFilter = false;
  m_nAnchor = 0;
#endif
}

template <class CHART>
bool CRegexpT<CHART>::AnalyzeRetry(const Element* e) {
  signed char& state = m_retryState[e->m_nPoolIndex];
  if (state == 1) return false;
  if (state >= 2) return true;  // known, or in progress (a cycle through a delegate)
  state = 3;
  bool retry = false;
  switch (e->m_nKind) {
    case ELEMENT_ALTERNATIVE: {
      const CAlternativeElement<CHART>* a = static_cast<const CAlternativeElement<CHART>*>(e);
      for (int i = 0; i < a->m_elements.GetSize(); ++i) retry |= AnalyzeRetry(a->m_elements[i]);
      retry |= a->m_elements.GetSize() > 1;
      break;
    }
    case ELEMENT_LIST: {
      const CListElement<CHART>* l = static_cast<const CListElement<CHART>*>(e);
      for (int i = 0; i < l->m_elements.GetSize(); ++i) retry |= AnalyzeRetry(l->m_elements[i]);
      break;
    }
    case ELEMENT_FIXED:
      retry = AnalyzeRetry(static_cast<const CRepeatBase<CHART>*>(e)->m_pElement);
      break;
    case ELEMENT_GREEDY:
      retry = AnalyzeRetry(static_cast<const CRepeatBase<CHART>*>(e)->m_pElement) ||
              static_cast<const CGreedyElement<CHART>*>(e)->m_nExtra > 0;
      break;
    case ELEMENT_RELUCTANT:
      retry = AnalyzeRetry(static_cast<const CRepeatBase<CHART>*>(e)->m_pElement) ||
              static_cast<const CReluctantElement<CHART>*>(e)->m_nExtra > 0;
      break;
    case ELEMENT_POSSESSIVE:
      AnalyzeRetry(static_cast<const CRepeatBase<CHART>*>(e)->m_pElement);
      break;
    case ELEMENT_ASSERTION:
      AnalyzeRetry(static_cast<const CAssertionElement<CHART>*>(e)->m_pElement);
      break;
    case ELEMENT_INDEPENDENT:
      AnalyzeRetry(static_cast<const CIndependentElement<CHART>*>(e)->m_pElement);
      break;
    case ELEMENT_DELEGATE: {
      const CDelegateElement<CHART>* d = static_cast<const CDelegateElement<CHART>*>(e);
      if (d->m_nGroup == DELEGATE_NONCAPTURE && d->m_pTarget)
        retry = AnalyzeRetry(d->m_pTarget);
      else
        retry = d->m_pTarget != nullptr;  // recursion: assume it can
      break;
    }
    case ELEMENT_CONDITIONAL: {
      const CConditionalElement<CHART>* c = static_cast<const CConditionalElement<CHART>*>(e);
      if (c->m_pCondition) AnalyzeRetry(c->m_pCondition);
      if (c->m_pYes) retry |= AnalyzeRetry(c->m_pYes);
      if (c->m_pNo) retry |= AnalyzeRetry(c->m_pNo);
      break;
    }
    default:
      break;
  }
  state = retry ? 2 : 1;
  const_cast<Element*>(e)->m_bCanRetry = retry;
  return retry;
}

// Gives a kept list (CGreedyElement::m_nKeptList) to the greedy repeats with m_bSkipOffered that
// `e` reaches through sequences of the pattern's direction, alternations and (host build) the
// wrappers of non-capture groups alone, starting from the root. What follows such a repeat is the rest of its sequences and branches out to the
// root: the same in every attempt. (Not through look-arounds or atomic groups, whose success
// drops the repeat's state without having tried everything after it, nor through repeats.)
template <class CHART>
void CRegexpT<CHART>::MarkKeptLists(const Element* e, int depth) {
  if (depth > 64) return;
  if (e->m_nKind == ELEMENT_LIST) {
    const CListElement<CHART>* l = static_cast<const CListElement<CHART>*>(e);
    if (l->m_bRightLeft != ((m_nFlags & RIGHTTOLEFT) != 0)) return;
    for (int i = 0; i < l->m_elements.GetSize(); ++i) MarkKeptLists(l->m_elements[i], depth + 1);
  } else if (e->m_nKind == ELEMENT_ALTERNATIVE) {
    const CAlternativeElement<CHART>* a = static_cast<const CAlternativeElement<CHART>*>(e);
    for (int i = 0; i < a->m_elements.GetSize(); ++i) MarkKeptLists(a->m_elements[i], depth + 1);
  } else if (e->m_nKind == ELEMENT_DELEGATE) {
    const CDelegateElement<CHART>* d = static_cast<const CDelegateElement<CHART>*>(e);
    if (d->m_nGroup == DELEGATE_NONCAPTURE && d->m_pTarget) MarkKeptLists(d->m_pTarget, depth + 1);  // host wrapper
  } else if (e->m_nKind == ELEMENT_GREEDY) {
    CGreedyElement<CHART>* g = static_cast<CGreedyElement<CHART>*>(const_cast<Element*>(e));
    if (g->UsesLists() && g->m_nKeptList < 0) {
      g->m_nKeptList = m_nKeptLists;
      m_nKeptLists += g->Lists();
    }
  }
}

// Whether matching `e` may add or change capture records: it holds a group, or a recursion
// (which may enter any group); true when in doubt.
template <class CHART>
bool CRegexpT<CHART>::SetsCaptures(const Element* e, int depth) const {
  if (!e) return false;
  if (depth > 64) return true;
  switch (e->m_nKind) {
    case ELEMENT_BRACKET:
      return true;
    case ELEMENT_LIST: {
      const CListElement<CHART>* l = static_cast<const CListElement<CHART>*>(e);
      for (int i = 0; i < l->m_elements.GetSize(); ++i)
        if (SetsCaptures(l->m_elements[i], depth + 1)) return true;
      return false;
    }
    case ELEMENT_ALTERNATIVE: {
      const CAlternativeElement<CHART>* a = static_cast<const CAlternativeElement<CHART>*>(e);
      for (int i = 0; i < a->m_elements.GetSize(); ++i)
        if (SetsCaptures(a->m_elements[i], depth + 1)) return true;
      return false;
    }
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE:
    case ELEMENT_RELUCTANT:
    case ELEMENT_FIXED:
      return SetsCaptures(static_cast<const CRepeatBase<CHART>*>(e)->m_pElement, depth + 1);
    case ELEMENT_ASSERTION:
      return SetsCaptures(static_cast<const CAssertionElement<CHART>*>(e)->m_pElement, depth + 1);
    case ELEMENT_INDEPENDENT:
      return SetsCaptures(static_cast<const CIndependentElement<CHART>*>(e)->m_pElement, depth + 1);
    case ELEMENT_DELEGATE: {
      const CDelegateElement<CHART>* d = static_cast<const CDelegateElement<CHART>*>(e);
      if (d->m_nGroup == DELEGATE_NONCAPTURE) return SetsCaptures(d->m_pTarget, depth + 1);
      return d->m_pTarget != nullptr;  // a recursion
    }
    case ELEMENT_CONDITIONAL: {
      const CConditionalElement<CHART>* c = static_cast<const CConditionalElement<CHART>*>(e);
      return SetsCaptures(c->m_pCondition, depth + 1) || SetsCaptures(c->m_pYes, depth + 1) ||
             SetsCaptures(c->m_pNo, depth + 1);
    }
    default:
      return false;
  }
}

// Adds the characters that can come first when `e` matches to m_first (matching order: for a
// right-to-left element the character before the position). Returns whether `e` can match
// without consuming, in which case what follows it can supply the first character too.
template <class CHART>
bool CRegexpT<CHART>::AddFirst(const Element* e, int depth) {
  if (depth > 64) {
    m_bFirstAny = true;
    return true;
  }
  auto add = [this](unsigned c) {
    if (c < 256)
      m_first[c] = 1;
    else
      m_bFirstHigh = true;
  };
  // An element built for the other direction than the search's (reached through a recursion
  // into a group that a look-around holds) reads the characters behind the position, not the
  // ones the filter looks at: nothing is known about the first character then.
  const bool rtl = (m_nFlags & RIGHTTOLEFT) != 0;
  auto against = [this, rtl](bool rightLeft) {
    if (rightLeft == rtl) return false;
    m_bFirstAny = true;
    return true;
  };
  switch (e->m_nKind) {
    case ELEMENT_STRING: {
      const CStringElement<CHART>* s = static_cast<const CStringElement<CHART>*>(e);
      if (against(s->m_bRightLeft)) return true;
      if (s->m_nLength == 0) return true;
      unsigned c = TarnoChars<CHART>::Code(s->m_szPattern[s->m_bRightLeft ? s->m_nLength - 1 : 0]);
      add(c);
      if (s->m_bIgnoreCase) {
        add(TarnoUpper<CHART>(c));
        add(TarnoLower<CHART>(c));
      }
      return false;
    }
    case ELEMENT_CHARSET: {
      const CCharsetElement<CHART>* cs = static_cast<const CCharsetElement<CHART>*>(e);
      if (against(cs->m_bRightLeft)) return true;
      for (unsigned c = 0; c < 256; ++c)
        if (cs->TestCode(c)) add(c);
      if (TarnoChars<CHART>::kWide && CanMatchHigh(cs)) m_bFirstHigh = true;
      return false;
    }
    case ELEMENT_POSIX: {
      const CPosixElement<CHART>* px = static_cast<const CPosixElement<CHART>*>(e);
      if (against(px->m_bRightLeft)) return true;
      for (unsigned c = 0; c < 256; ++c)
        if (px->TestCode(c)) add(c);
      if (TarnoChars<CHART>::kWide && !px->m_bYes) m_bFirstHigh = true;
      return false;
    }
    case ELEMENT_BACKREF:
      m_bFirstAny = true;
      return true;
    case ELEMENT_LIST: {
      const CListElement<CHART>* l = static_cast<const CListElement<CHART>*>(e);
      if (against(l->m_bRightLeft)) return true;
      int n = l->m_elements.GetSize();
      for (int k = 0; k < n; ++k)
        if (!AddFirst(l->m_elements[l->m_bRightLeft ? n - 1 - k : k], depth + 1)) return false;
      return true;
    }
    case ELEMENT_ALTERNATIVE: {
      const CAlternativeElement<CHART>* a = static_cast<const CAlternativeElement<CHART>*>(e);
      bool empty = a->m_elements.IsEmpty();
      for (int i = 0; i < a->m_elements.GetSize(); ++i) empty |= AddFirst(a->m_elements[i], depth + 1);
      return empty;
    }
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE: {
      const CGreedyElement<CHART>* r = static_cast<const CGreedyElement<CHART>*>(e);
      return AddFirst(r->m_pElement, depth + 1) || r->m_nMin == 0;
    }
    case ELEMENT_RELUCTANT: {
      const CReluctantElement<CHART>* r = static_cast<const CReluctantElement<CHART>*>(e);
      return AddFirst(r->m_pElement, depth + 1) || r->m_nMin == 0;
    }
    case ELEMENT_FIXED:
      return AddFirst(static_cast<const CFixedRepeatElement<CHART>*>(e)->m_pElement, depth + 1);
    case ELEMENT_INDEPENDENT:
      return AddFirst(static_cast<const CIndependentElement<CHART>*>(e)->m_pElement, depth + 1);
    case ELEMENT_DELEGATE: {
      // A recursion target is analysed once: its first characters are in m_first after that,
      // and only whether it can match empty is needed again. Without this, a pattern such as
      // (?R)|(?R)|x would be walked once per path through its recursions, exponentially often.
      // A target met again while its own analysis runs counts as able to match empty, which
      // can only widen the filter.
      const CDelegateElement<CHART>* d = static_cast<const CDelegateElement<CHART>*>(e);
      if (!d->m_pTarget) return true;
      // A host wrapper holds its content alone: it is walked like the content itself, every time
      // (FirstOf starts each question with an empty set, so a remembered answer would be lost).
      if (d->m_nGroup == DELEGATE_NONCAPTURE) return AddFirst(d->m_pTarget, depth + 1);
      signed char& state = m_firstState[d->m_pTarget->m_nPoolIndex];
      if (state == 1 || state == 2) return true;
      if (state == 3) return false;
      state = 1;
      bool empty = AddFirst(d->m_pTarget, depth + 1);
      m_firstState[d->m_pTarget->m_nPoolIndex] = empty ? 2 : 3;
      return empty;
    }
    case ELEMENT_CONDITIONAL: {
      const CConditionalElement<CHART>* c = static_cast<const CConditionalElement<CHART>*>(e);
      bool yes = c->m_pYes ? AddFirst(c->m_pYes, depth + 1) : true;
      bool no = c->m_pNo ? AddFirst(c->m_pNo, depth + 1) : true;
      return yes || no;
    }
    default:
      return true;  // boundaries, \G, empty, brackets and assertions consume nothing
  }
}

// Adds the characters that may come first when `e` matches to `into`; returns whether `e` can
// match without consuming. Uses the first-character analysis, whose state the caller keeps.
template <class CHART>
bool CRegexpT<CHART>::FirstOf(const Element* e, FirstSet& into) {
  std::memset(m_first, 0, sizeof m_first);
  m_bFirstHigh = false;
  m_bFirstAny = false;
  bool empty = AddFirst(e, 0);
  for (int c = 0; c < 256; ++c) into.set[c] |= m_first[c];
  into.high = into.high || m_bFirstHigh;
  into.any = into.any || m_bFirstAny;
  return empty;
}

// Marks the greedy single-character repeats within `e` whose every follower begins with a
// character the repeat refuses (CGreedyElement::m_bAutoPossessive). `follow` holds the first
// characters of what may come after `e`, any when that may be nothing (the pattern's or an
// assertion's end) or is not known. Left-to-right parts only.
template <class CHART>
void CRegexpT<CHART>::MarkPossessive(const Element* e, const FirstSet& follow, int depth) {
  if (!e || depth > 64) return;
  switch (e->m_nKind) {
    case ELEMENT_LIST: {
      const CListElement<CHART>* l = static_cast<const CListElement<CHART>*>(e);
      if (l->m_bRightLeft) return;
      FirstSet cur = follow;
      for (int i = l->m_elements.GetSize() - 1; i >= 0; --i) {
        MarkPossessive(l->m_elements[i], cur, depth + 1);
        FirstSet first;
        std::memset(first.set, 0, sizeof first.set);
        first.high = false;
        first.any = false;
        if (FirstOf(l->m_elements[i], first)) {
          for (int c = 0; c < 256; ++c) cur.set[c] |= first.set[c];
          cur.high = cur.high || first.high;
          cur.any = cur.any || first.any;
        } else {
          cur = first;
        }
      }
      return;
    }
    case ELEMENT_ALTERNATIVE: {
      const CAlternativeElement<CHART>* a = static_cast<const CAlternativeElement<CHART>*>(e);
      for (int i = 0; i < a->m_elements.GetSize(); ++i) MarkPossessive(a->m_elements[i], follow, depth + 1);
      return;
    }
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE:
    case ELEMENT_RELUCTANT:
    case ELEMENT_FIXED: {
      CRepeatBase<CHART>* r = static_cast<CRepeatBase<CHART>*>(const_cast<Element*>(e));
      if (r->m_bRightLeft) return;
      // After an iteration comes another one or what follows the repeat.
      FirstSet inner = follow;
      FirstOf(r->m_pElement, inner);
      MarkPossessive(r->m_pElement, inner, depth + 1);
      if (e->m_nKind != ELEMENT_GREEDY || r->m_nFast == FAST_NONE || follow.any) return;
      const Element* x = r->m_pElement;
      bool high = false;
      for (unsigned c = 0; c < 256; ++c) {
        bool in = r->m_nFast == FAST_CHARSET ? static_cast<const CCharsetElement<CHART>*>(x)->TestCode(c)
                  : r->m_nFast == FAST_POSIX ? static_cast<const CPosixElement<CHART>*>(x)->TestCode(c)
                                             : static_cast<const CStringElement<CHART>*>(x)->TestCode(c);
        if (in && follow.set[c]) return;
      }
      if (TarnoChars<CHART>::kWide) {
        if (r->m_nFast == FAST_CHARSET) {
          high = CanMatchHigh(static_cast<const CCharsetElement<CHART>*>(x));
        } else if (r->m_nFast == FAST_POSIX) {
          high = !static_cast<const CPosixElement<CHART>*>(x)->m_bYes;
        } else {
          const CStringElement<CHART>* s = static_cast<const CStringElement<CHART>*>(x);
          unsigned c = TarnoChars<CHART>::Code(s->m_szPattern[0]);
          high = c >= 256 || (s->m_bIgnoreCase && (TarnoUpper<CHART>(c) >= 256 || TarnoLower<CHART>(c) >= 256));
        }
      }
      if (high && follow.high) return;
      static_cast<CGreedyElement<CHART>*>(r)->m_bAutoPossessive = true;
      return;
    }
    case ELEMENT_INDEPENDENT:
    case ELEMENT_ASSERTION: {
      // Nothing after them backtracks into their inner element: it ends where they end.
      FirstSet any;
      std::memset(any.set, 0, sizeof any.set);
      any.high = false;
      any.any = true;
      MarkPossessive(e->m_nKind == ELEMENT_INDEPENDENT ? static_cast<const CIndependentElement<CHART>*>(e)->m_pElement
                                                       : static_cast<const CAssertionElement<CHART>*>(e)->m_pElement,
                     any, depth + 1);
      return;
    }
    case ELEMENT_DELEGATE:
      if (const Element* inner = TarnoWrapped(e)) MarkPossessive(inner, follow, depth + 1);
      return;
    default:
      return;  // conditionals are left as they are
  }
}

template <class CHART>
bool CRegexpT<CHART>::CanMatchHigh(const CCharsetElement<CHART>* cs) {
  if (!cs->m_bYes) return true;
  for (int i = 0; i < cs->m_ranges.GetSize(); ++i)
    if (cs->m_ranges[i] >= 256) return true;
  for (int i = 0; i < cs->m_chars.GetSize(); ++i)
    if (cs->m_chars[i] >= 256) return true;
  for (int i = 0; i < cs->m_embedded.GetSize(); ++i) {
    const Element* e = cs->m_embedded[i];
    if (e->m_nKind == ELEMENT_CHARSET && CanMatchHigh(static_cast<const CCharsetElement<CHART>*>(e))) return true;
    if (e->m_nKind == ELEMENT_POSIX && !static_cast<const CPosixElement<CHART>*>(e)->m_bYes) return true;
  }
  return false;
}

// Whether every match of `e` (left to right) begins with \b or a word-start boundary.
template <class CHART>
bool CRegexpT<CHART>::BeginsWithWordBoundary(const Element* e, int depth) const {
  if (depth > 64) return false;
  switch (e->m_nKind) {
    case ELEMENT_BOUNDARY: {
      const CBoundaryElement<CHART>* b = static_cast<const CBoundaryElement<CHART>*>(e);
      return b->m_bYes && (b->m_nType == BOUNDARY_WORD || b->m_nType == BOUNDARY_WORD_START);
    }
    case ELEMENT_LIST: {
      const CListElement<CHART>* l = static_cast<const CListElement<CHART>*>(e);
      if (l->m_bRightLeft) return false;
      for (int k = 0; k < l->m_elements.GetSize(); ++k) {
        const Element* m = l->m_elements[k];
        if (m->m_nKind == ELEMENT_BRACKET || m->m_nKind == ELEMENT_EMPTY || TarnoIsEmptyDelegate(m)) continue;
        return BeginsWithWordBoundary(m, depth + 1);
      }
      return false;
    }
    case ELEMENT_ALTERNATIVE: {
      const CAlternativeElement<CHART>* a = static_cast<const CAlternativeElement<CHART>*>(e);
      if (a->m_elements.IsEmpty()) return false;
      for (int i = 0; i < a->m_elements.GetSize(); ++i)
        if (!BeginsWithWordBoundary(a->m_elements[i], depth + 1)) return false;
      return true;
    }
    case ELEMENT_DELEGATE: {
      const Element* inner = TarnoWrapped(e);
      return inner && BeginsWithWordBoundary(inner, depth + 1);
    }
    default:
      return false;
  }
}

// Whether every match of `e` begins with the text-start anchor (left to right) or, for a
// right-to-left pattern, with the text-end anchor.
template <class CHART>
bool CRegexpT<CHART>::IsAnchored(const Element* e, int depth) const {
  if (depth > 64) return false;
  bool rtl = (m_nFlags & RIGHTTOLEFT) != 0;
  switch (e->m_nKind) {
    case ELEMENT_BOUNDARY: {
      const CBoundaryElement<CHART>* b = static_cast<const CBoundaryElement<CHART>*>(e);
      return b->m_bYes && b->m_nType == (rtl ? BOUNDARY_TEXT_END : BOUNDARY_TEXT_START);
    }
    case ELEMENT_LIST: {
      const CListElement<CHART>* l = static_cast<const CListElement<CHART>*>(e);
      if (l->m_bRightLeft != rtl) return false;
      int n = l->m_elements.GetSize();
      for (int k = 0; k < n; ++k) {
        const Element* m = l->m_elements[rtl ? n - 1 - k : k];
        if (m->m_nKind == ELEMENT_BRACKET || m->m_nKind == ELEMENT_EMPTY || TarnoIsEmptyDelegate(m)) continue;
        return IsAnchored(m, depth + 1);
      }
      return false;
    }
    case ELEMENT_ALTERNATIVE: {
      const CAlternativeElement<CHART>* a = static_cast<const CAlternativeElement<CHART>*>(e);
      if (a->m_elements.IsEmpty()) return false;
      for (int i = 0; i < a->m_elements.GetSize(); ++i)
        if (!IsAnchored(a->m_elements[i], depth + 1)) return false;
      return true;
    }
    case ELEMENT_INDEPENDENT:
      return IsAnchored(static_cast<const CIndependentElement<CHART>*>(e)->m_pElement, depth + 1);
    case ELEMENT_FIXED:
      return IsAnchored(static_cast<const CFixedRepeatElement<CHART>*>(e)->m_pElement, depth + 1);
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE: {
      const CGreedyElement<CHART>* r = static_cast<const CGreedyElement<CHART>*>(e);
      return r->m_nMin > 0 && IsAnchored(r->m_pElement, depth + 1);
    }
    case ELEMENT_RELUCTANT: {
      const CReluctantElement<CHART>* r = static_cast<const CReluctantElement<CHART>*>(e);
      return r->m_nMin > 0 && IsAnchored(r->m_pElement, depth + 1);
    }
    case ELEMENT_DELEGATE: {
      const Element* inner = TarnoWrapped(e);
      return inner && IsAnchored(inner, depth + 1);
    }
    default:
      return false;
  }
}

TARNO_NAMESPACE_END

#endif
