// Required text: a string that every match of a pattern contains, found from the compiled graph,
// and its use by the start-position filter (plain and untraced host builds, left-to-right
// patterns).
//
// The analysis walks the part of the graph that every match passes through in order: the
// members of the top-level sequence, into groups and the first iteration of repeats with a
// minimum of one or more. Each literal string on that path is required. For the chosen one (the
// longest; of equals, one that a repeat does not repeat, as runs of it are likely; then the
// earliest) it keeps which characters the part of the pattern before it can consume, and its
// distance from the match start when that is fixed.
//
// Where a match starting at s has its required string at q' (its first occurrence in the match),
// every character in [s, q') belongs to that set. Let q be the first occurrence of the string at
// or after s: q <= q', so [s, q) belongs to the set too. So the starts worth trying before q are
// those in the run of such characters that ends at q, and a text without the string from some
// position on has no match starting there. With a fixed distance d, the only starts are the
// occurrences minus d. The search still tries every start left that it tried before, in the same
// order, so the first match is the same.
//
// It applies only where positions only move forward during a match: left to right, and no
// recursion (a recursion into a group held by a look-behind runs backwards). Conditionals and
// patterns anchored at the text start are left as they were. A back-reference on the path stops
// nothing, but what it consumes is unknown: from there on the part before may consume anything.
// Covered by engine/tests/required_test.cpp.
#ifndef TARNO_REQUIRED_H
#define TARNO_REQUIRED_H

#include <cstring>

#include "regexp.h"

TARNO_NAMESPACE_BEGIN

// The walk's state: what the pattern walked so far can consume and its width when fixed (else
// -1), and the best required string found so far with the state before it.
template <class CHART>
struct CRegexpT<CHART>::RequiredScan {
  unsigned char set[256];
  bool high = false;
  bool any = false;
  int width = 0;
  const CStringElement<CHART>* best = nullptr;
  int bestScore = 0;
  int repeated = 0;  // repeats that may iterate more than once around the walk's position
  unsigned char bestSet[256];
  bool bestHigh = false;
  bool bestAny = false;
  int bestWidth = -1;
  RequiredScan() {
    std::memset(set, 0, sizeof set);
    std::memset(bestSet, 0, sizeof bestSet);
  }
  void Add(unsigned c) {
    if (c < 256)
      set[c] = 1;
    else
      high = true;
  }
};

template <class CHART>
void CRegexpT<CHART>::AnalyzeRequired() {
  Required& r = m_required;
  r.on = false;
  r.codes.Clear();
  if ((m_nFlags & RIGHTTOLEFT) || m_nAnchor || !m_pRoot) return;
  for (int i = 0; i < m_pool.GetSize(); ++i) {
    const Element* e = m_pool[i];
    if (e->m_nKind == ELEMENT_CONDITIONAL) return;
    if (TarnoIsRecursion(e)) return;
  }
  RequiredScan scan;
  WalkRequired(m_pRoot, scan, 0);
  const CStringElement<CHART>* s = scan.best;
  if (!s) return;
  r.fold = s->m_bIgnoreCase;
  for (int i = 0; i < s->m_nLength; ++i) {
    unsigned c = TarnoChars<CHART>::Code(s->m_szPattern[i]);
    r.codes.Push(r.fold ? TarnoUpper<CHART>(c) : c);
  }
  // The case mapping pairs one upper-case with one lower-case character, so these two are the
  // only codes whose upper case is the first one's.
  r.first[0] = r.codes[0];
  r.first[1] = r.fold ? TarnoLower<CHART>(r.codes[0]) : r.codes[0];
  r.offset = scan.bestWidth;
  std::memcpy(r.before, scan.bestSet, sizeof r.before);
  r.beforeHigh = scan.bestHigh;
  r.beforeAny = scan.bestAny;
  r.on = true;
}

// Walks `e` as a part every match passes through; false when the walk cannot go on past it
// (what was found before stays valid).
template <class CHART>
bool CRegexpT<CHART>::WalkRequired(const Element* e, RequiredScan& scan, int depth) {
  if (depth > 64) return false;
  const int before = scan.width;
  auto grow = [&scan, before](int w) { scan.width = (before >= 0 && w >= 0) ? before + w : -1; };
  switch (e->m_nKind) {
    case ELEMENT_STRING: {
      const CStringElement<CHART>* s = static_cast<const CStringElement<CHART>*>(e);
      if (s->m_bRightLeft) return false;
      const int score = s->m_nLength * 2 - (scan.repeated ? 1 : 0);
      if (s->m_nLength > 0 && score > scan.bestScore) {
        scan.best = s;
        scan.bestScore = score;
        std::memcpy(scan.bestSet, scan.set, sizeof scan.set);
        scan.bestHigh = scan.high;
        scan.bestAny = scan.any;
        scan.bestWidth = scan.width;
      }
      AddConsumed(e, scan, depth);
      grow(s->m_nLength);
      return true;
    }
    case ELEMENT_CHARSET:
      if (static_cast<const CCharsetElement<CHART>*>(e)->m_bRightLeft) return false;
      AddConsumed(e, scan, depth);
      grow(1);
      return true;
    case ELEMENT_POSIX:
      if (static_cast<const CPosixElement<CHART>*>(e)->m_bRightLeft) return false;
      AddConsumed(e, scan, depth);
      grow(1);
      return true;
    case ELEMENT_LIST: {
      const CListElement<CHART>* l = static_cast<const CListElement<CHART>*>(e);
      if (l->m_bRightLeft) return false;
      for (int i = 0; i < l->m_elements.GetSize(); ++i)
        if (!WalkRequired(l->m_elements[i], scan, depth + 1)) return false;
      return true;
    }
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE:
    case ELEMENT_RELUCTANT:
    case ELEMENT_FIXED: {
      const CRepeatBase<CHART>* r = static_cast<const CRepeatBase<CHART>*>(e);
      int min = e->m_nKind == ELEMENT_FIXED ? static_cast<const CFixedRepeatElement<CHART>*>(e)->m_nCount
                : e->m_nKind == ELEMENT_RELUCTANT ? static_cast<const CReluctantElement<CHART>*>(e)->m_nMin
                                                  : static_cast<const CGreedyElement<CHART>*>(e)->m_nMin;
      // The first of the mandatory iterations is a part every match passes through.
      if (min >= 1) {
        const bool more = e->m_nKind == ELEMENT_FIXED ? min > 1
                          : e->m_nKind == ELEMENT_RELUCTANT
                              ? min > 1 || static_cast<const CReluctantElement<CHART>*>(e)->m_nExtra > 0
                              : min > 1 || static_cast<const CGreedyElement<CHART>*>(e)->m_nExtra > 0;
        scan.repeated += more ? 1 : 0;
        const bool went = WalkRequired(r->m_pElement, scan, depth + 1);
        scan.repeated -= more ? 1 : 0;
        if (!went) return false;
      }
      AddConsumed(r->m_pElement, scan, depth + 1);
      grow(FixedWidth(e, depth));
      return true;
    }
    case ELEMENT_INDEPENDENT:
      return WalkRequired(static_cast<const CIndependentElement<CHART>*>(e)->m_pElement, scan, depth + 1);
    case ELEMENT_ALTERNATIVE:
    case ELEMENT_BACKREF:
      AddConsumed(e, scan, depth);
      grow(FixedWidth(e, depth));
      return true;
    case ELEMENT_ASSERTION:  // the position is where it was; what it reads is not consumed
    case ELEMENT_BOUNDARY:
    case ELEMENT_BRACKET:
    case ELEMENT_EMPTY:
    case ELEMENT_LASTMATCH:
      return true;
    case ELEMENT_DELEGATE:  // no recursion gets here (AnalyzeRequired): host wrappers and marks
      if (const Element* inner = TarnoWrapped(e)) return WalkRequired(inner, scan, depth + 1);
      return TarnoIsEmptyDelegate(e);
    default:
      return false;
  }
}

// Adds what `e` can consume to the scan's set; false (and everything) when it is not known.
template <class CHART>
bool CRegexpT<CHART>::AddConsumed(const Element* e, RequiredScan& scan, int depth) const {
  if (!e) return true;
  if (depth > 64) {
    scan.any = true;
    return false;
  }
  switch (e->m_nKind) {
    case ELEMENT_STRING: {
      const CStringElement<CHART>* s = static_cast<const CStringElement<CHART>*>(e);
      for (int i = 0; i < s->m_nLength; ++i) {
        unsigned c = TarnoChars<CHART>::Code(s->m_szPattern[i]);
        scan.Add(c);
        if (s->m_bIgnoreCase) {
          scan.Add(TarnoUpper<CHART>(c));
          scan.Add(TarnoLower<CHART>(c));
        }
      }
      return true;
    }
    case ELEMENT_CHARSET: {
      const CCharsetElement<CHART>* cs = static_cast<const CCharsetElement<CHART>*>(e);
      for (unsigned c = 0; c < 256; ++c)
        if (cs->TestCode(c)) scan.set[c] = 1;
      if (TarnoChars<CHART>::kWide && CanMatchHigh(cs)) scan.high = true;
      return true;
    }
    case ELEMENT_POSIX: {
      const CPosixElement<CHART>* px = static_cast<const CPosixElement<CHART>*>(e);
      for (unsigned c = 0; c < 256; ++c)
        if (px->TestCode(c)) scan.set[c] = 1;
      if (TarnoChars<CHART>::kWide && !px->m_bYes) scan.high = true;
      return true;
    }
    case ELEMENT_LIST: {
      const CListElement<CHART>* l = static_cast<const CListElement<CHART>*>(e);
      for (int i = 0; i < l->m_elements.GetSize(); ++i)
        if (!AddConsumed(l->m_elements[i], scan, depth + 1)) return false;
      return true;
    }
    case ELEMENT_ALTERNATIVE: {
      const CAlternativeElement<CHART>* a = static_cast<const CAlternativeElement<CHART>*>(e);
      for (int i = 0; i < a->m_elements.GetSize(); ++i)
        if (!AddConsumed(a->m_elements[i], scan, depth + 1)) return false;
      return true;
    }
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE:
    case ELEMENT_RELUCTANT:
    case ELEMENT_FIXED:
      return AddConsumed(static_cast<const CRepeatBase<CHART>*>(e)->m_pElement, scan, depth + 1);
    case ELEMENT_INDEPENDENT:
      return AddConsumed(static_cast<const CIndependentElement<CHART>*>(e)->m_pElement, scan, depth + 1);
    case ELEMENT_ASSERTION:
    case ELEMENT_BOUNDARY:
    case ELEMENT_BRACKET:
    case ELEMENT_EMPTY:
    case ELEMENT_LASTMATCH:
      return true;
    case ELEMENT_DELEGATE:
      if (const Element* inner = TarnoWrapped(e)) return AddConsumed(inner, scan, depth + 1);
      if (TarnoIsEmptyDelegate(e)) return true;
      scan.any = true;
      return false;
    default:  // back-references, recursion, conditionals
      scan.any = true;
      return false;
  }
}

// The number of characters `e` always consumes, or -1 when it varies or is not known.
template <class CHART>
int CRegexpT<CHART>::FixedWidth(const Element* e, int depth) const {
  if (!e) return 0;
  if (depth > 64) return -1;
  auto times = [](int count, int w) -> int {
    if (w < 0) return -1;
    if (w == 0 || count == 0) return 0;
    return count > 0x3FFFFFFF / w ? -1 : count * w;
  };
  switch (e->m_nKind) {
    case ELEMENT_STRING:
      return static_cast<const CStringElement<CHART>*>(e)->m_nLength;
    case ELEMENT_CHARSET:
    case ELEMENT_POSIX:
      return 1;
    case ELEMENT_ASSERTION:
    case ELEMENT_BOUNDARY:
    case ELEMENT_BRACKET:
    case ELEMENT_EMPTY:
    case ELEMENT_LASTMATCH:
      return 0;
    case ELEMENT_LIST: {
      const CListElement<CHART>* l = static_cast<const CListElement<CHART>*>(e);
      int sum = 0;
      for (int i = 0; i < l->m_elements.GetSize(); ++i) {
        int w = FixedWidth(l->m_elements[i], depth + 1);
        if (w < 0 || sum > 0x3FFFFFFF - w) return -1;
        sum += w;
      }
      return sum;
    }
    case ELEMENT_ALTERNATIVE: {
      const CAlternativeElement<CHART>* a = static_cast<const CAlternativeElement<CHART>*>(e);
      int w = 0;
      for (int i = 0; i < a->m_elements.GetSize(); ++i) {
        int b = FixedWidth(a->m_elements[i], depth + 1);
        if (b < 0 || (i > 0 && b != w)) return -1;
        w = b;
      }
      return w;
    }
    case ELEMENT_FIXED: {
      const CFixedRepeatElement<CHART>* r = static_cast<const CFixedRepeatElement<CHART>*>(e);
      return times(r->m_nCount, FixedWidth(r->m_pElement, depth + 1));
    }
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE: {
      const CGreedyElement<CHART>* r = static_cast<const CGreedyElement<CHART>*>(e);
      int w = FixedWidth(r->m_pElement, depth + 1);
      if (w == 0) return 0;
      return r->m_nExtra == 0 ? times(r->m_nMin, w) : -1;
    }
    case ELEMENT_RELUCTANT: {
      const CReluctantElement<CHART>* r = static_cast<const CReluctantElement<CHART>*>(e);
      int w = FixedWidth(r->m_pElement, depth + 1);
      if (w == 0) return 0;
      return r->m_nExtra == 0 ? times(r->m_nMin, w) : -1;
    }
    case ELEMENT_INDEPENDENT:
      return FixedWidth(static_cast<const CIndependentElement<CHART>*>(e)->m_pElement, depth + 1);
    case ELEMENT_DELEGATE:
      if (const Element* inner = TarnoWrapped(e)) return FixedWidth(inner, depth + 1);
      return TarnoIsEmptyDelegate(e) ? 0 : -1;
    default:
      return -1;
  }
}

// The first occurrence of the required string at or after `from`, or -1. Remembered in the
// context, so that the search loop asks the text once per occurrence.
template <class CHART>
int CRegexpT<CHART>::FindRequired(Context* ctx, int from) const {
  if (from < 0) from = 0;
  if (ctx->m_pRequiredOwner == this && ctx->m_nRequiredFrom >= 0 && from >= ctx->m_nRequiredFrom &&
      (ctx->m_nRequiredAt < 0 || from <= ctx->m_nRequiredAt))
    return ctx->m_nRequiredAt;
  const Required& r = m_required;
  const CHART* t = ctx->m_pText;
  const int n = r.codes.GetSize();
  const int lastStart = ctx->m_nLength - n;
  int found = -1;
  // 8-bit text: memchr for each of the two first codes, each asked again only once passed;
  // wider text: a scan for either of them.
  int next[2] = {-2, -2};
  auto seek = [&](int k, int p) {
    if (next[k] >= p || next[k] == -1) return;
    const void* hit = std::memchr(t + p, static_cast<int>(r.first[k]), static_cast<size_t>(lastStart - p + 1));
    next[k] = hit ? static_cast<int>(static_cast<const CHART*>(hit) - t) : -1;
  };
  for (int p = from; p <= lastStart; ++p) {
    if (sizeof(CHART) == 1) {
      seek(0, p);
      if (r.first[1] != r.first[0]) seek(1, p);
      int a = next[0], b = r.first[1] != r.first[0] ? next[1] : -1;
      if (a < 0 && b < 0) break;
      p = a < 0 ? b : b < 0 ? a : (a < b ? a : b);
    } else {
      p = TarnoFindEither(t, p, lastStart + 1, r.first[0], r.first[1]);
      if (p < 0) break;
    }
    int i = 1;
    if (r.fold) {
      while (i < n && TarnoUpper<CHART>(TarnoChars<CHART>::Code(t[p + i])) == r.codes[i]) ++i;
    } else {
      while (i < n && TarnoChars<CHART>::Code(t[p + i]) == r.codes[i]) ++i;
    }
    if (i == n) {
      found = p;
      break;
    }
  }
  ctx->m_pRequiredOwner = this;
  ctx->m_nRequiredFrom = from;
  ctx->m_nRequiredAt = found;
  ctx->m_nRunAt = -1;
  return found;
}

// The first start at or after `pos` that the required string allows, or -1 when there is none;
// every start in [result, *last] is allowed, and none in (*last, next occurrence's window).
template <class CHART>
int CRegexpT<CHART>::RequiredWindow(Context* ctx, int pos, int* last) const {
  const Required& r = m_required;
  if (r.offset >= 0) {
    if (pos > ctx->m_nLength - r.codes.GetSize() - r.offset) return -1;
    int q = FindRequired(ctx, pos + r.offset);
    if (q < 0) return -1;
    *last = q - r.offset;
    return q - r.offset;
  }
  int q = FindRequired(ctx, pos);
  if (q < 0) return -1;
  *last = q;
  if (r.beforeAny) return pos;
  int from;
  if (ctx->m_nRunAt == q && pos >= ctx->m_nRunBound) {
    from = ctx->m_nRunFrom;
  } else {
    const CHART* t = ctx->m_pText;
    from = q;
    while (from > pos) {
      unsigned c = TarnoChars<CHART>::Code(t[from - 1]);
      if (!(c < 256 ? r.before[c] : r.beforeHigh)) break;
      --from;
    }
    ctx->m_nRunAt = q;
    ctx->m_nRunFrom = from;
    ctx->m_nRunBound = pos;
  }
  return from > pos ? from : pos;
}

TARNO_NAMESPACE_END

#endif
