// The elements that combine others: list (sequence), alternative, assertion, independent group,
// delegate (recursion and, in the host build, group wrappers) and conditional.
// Covered by engine/tests/match_test.cpp.
#ifndef TARNO_ELEMENTS_GROUP_H
#define TARNO_ELEMENTS_GROUP_H

#include "element.h"

TARNO_NAMESPACE_BEGIN

// Matches `count` elements in order with backtracking among them; `at(k)` gives the k-th in
// matching order. `done` elements are already matched. Shared by lists and fixed repeats.
template <class CHART, class At>
inline int TarnoMatchSequence(CMatchContext<CHART>* ctx, int count, int done, At at) {
  int k = done;
  while (k < count) {
    if (at(k)->Match(ctx)) {
      ++k;
      continue;
    }
    for (;;) {
      if (k == 0) return 0;
      --k;
      if (at(k)->MatchNext(ctx)) {
        ++k;
        break;
      }
    }
  }
  return 1;
}

// Asks the elements, last first, for their next alternative, then completes the sequence again.
template <class CHART, class At>
inline int TarnoRetrySequence(CMatchContext<CHART>* ctx, int count, At at) {
  int k = count;
  for (;;) {
    if (k == 0) return 0;
    --k;
    if (at(k)->MatchNext(ctx)) break;
  }
  return TarnoMatchSequence(ctx, count, k + 1, at);
}

template <class CHART>
class CListElement : public CPatternElement<CHART> {
 public:
  explicit CListElement(bool rightLeft) : CPatternElement<CHART>(ELEMENT_LIST), m_bRightLeft(rightLeft) {}

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(0);
    TARNO_RESULT(TarnoMatchSequence(ctx, m_elements.GetSize(), 0, At(this)));
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(1);
    TARNO_RESULT(TarnoRetrySequence(ctx, m_elements.GetSize(), At(this)));
  }

  CBufferT<const CPatternElement<CHART>*> m_elements;  // in pattern order
  bool m_bRightLeft;  // members are matched last to first

 private:
  struct At {
    explicit At(const CListElement* l) : list(l) {}
    const CPatternElement<CHART>* operator()(int k) const {
      int n = list->m_elements.GetSize();
      return list->m_elements[list->m_bRightLeft ? n - 1 - k : k];
    }
    const CListElement* list;
  };
};

template <class CHART>
class CAlternativeElement : public CPatternElement<CHART> {
 public:
  CAlternativeElement() : CPatternElement<CHART>(ELEMENT_ALTERNATIVE) {}

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(0);
    int n = m_elements.GetSize();
    if (n == 0) TARNO_RESULT(1);
    TARNO_RESULT(TryFrom(ctx, 0));
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(1);
    if (m_elements.GetSize() == 0) TARNO_RESULT(0);
    int i = ctx->m_stack.Pop();
    if (m_elements[i]->MatchNext(ctx)) {
      ctx->m_stack.Push(i);
      TARNO_RESULT(1);
    }
    TARNO_RESULT(TryFrom(ctx, i + 1));
  }

  CBufferT<const CPatternElement<CHART>*> m_elements;  // branches, in order

 private:
  int TryFrom(CMatchContext<CHART>* ctx, int i) const {
    for (int n = m_elements.GetSize(); i < n; ++i) {
      if (m_elements[i]->Match(ctx)) {
        ctx->m_stack.Push(i);
        return 1;
      }
    }
    return 0;
  }
};

// Look-ahead or look-behind. A look-behind's inner tree is compiled right to left.
template <class CHART>
class CAssertionElement : public CPatternElement<CHART> {
 public:
  CAssertionElement(const CPatternElement<CHART>* inner, bool positive)
      : CPatternElement<CHART>(ELEMENT_ASSERTION), m_pElement(inner), m_bPositive(positive) {}

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(0);
    StackMark mark = ctx->Mark();
    int pos = ctx->m_nCurrentPos;
    bool matched = m_pElement->Match(ctx) != 0;
    ctx->DiscardBacktrack(mark);  // an assertion never backtracks into its inner element
    ctx->m_nCurrentPos = pos;
    if (matched == m_bPositive) {
      ctx->m_stack.Push(mark.captures);  // captures of a positive look-around stay visible
      TARNO_RESULT(1);
    }
    ctx->TruncateCaptures(mark.captures);
    TARNO_RESULT(0);
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(1);
    ctx->TruncateCaptures(ctx->m_stack.Pop());
    TARNO_RESULT(0);
  }

  const CPatternElement<CHART>* m_pElement;
  bool m_bPositive;
};

// (?>...): matches its inner element once and never backtracks into it.
template <class CHART>
class CIndependentElement : public CPatternElement<CHART> {
 public:
  explicit CIndependentElement(const CPatternElement<CHART>* inner)
      : CPatternElement<CHART>(ELEMENT_INDEPENDENT), m_pElement(inner) {}

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(0);
    StackMark mark = ctx->Mark();
    int pos = ctx->m_nCurrentPos;
    if (!m_pElement->Match(ctx)) TARNO_RESULT(0);
    ctx->DiscardBacktrack(mark);
    ctx->m_stack.Push(pos);
    ctx->m_stack.Push(mark.captures);
    TARNO_RESULT(1);
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(1);
    ctx->TruncateCaptures(ctx->m_stack.Pop());
    ctx->m_nCurrentPos = ctx->m_stack.Pop();
    TARNO_RESULT(0);
  }

  const CPatternElement<CHART>* m_pElement;
};

// Group numbers of delegates that the host build uses as wrappers.
enum { DELEGATE_NONCAPTURE = -1, DELEGATE_MODIFIER = -2, DELEGATE_NOT_FOUND = -3 };

// Recursion into the whole pattern or a group; in the host build also the wrapper of a
// non-capture group (number -1, target the content) and the mark of a mode modifier (number -2,
// no target). The target is not owned and may enclose the delegate.
template <class CHART>
class CDelegateElement : public CPatternElement<CHART> {
 public:
  CDelegateElement(const CPatternElement<CHART>* target, int group)
      : CPatternElement<CHART>(ELEMENT_DELEGATE), m_pTarget(target), m_nGroup(group) {}

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(0);
    if (!m_pTarget) TARNO_RESULT(1);
    if (m_nGroup < 0) TARNO_RESULT(m_pTarget->Match(ctx));  // a host wrapper, no recursion
    ctx->EnterCall(m_pTarget);
    int matched = m_pTarget->Match(ctx);
    ctx->LeaveCall();
    TARNO_RESULT(matched);
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(1);
    TARNO_RESULT(m_pTarget ? m_pTarget->MatchNext(ctx) : 0);
  }

  const CPatternElement<CHART>* m_pTarget;  // none: matches the empty string
  int m_nGroup;  // 0 whole pattern, n group n, -3 named target not found; host: -1, -2 above
  CBufferT<CHART> m_szName;  // for (?R<name>)
};

// The content of a host wrapper of a non-capture group, else null. The compiler's analyses look
// through such wrappers, so that the host dialect gets the fast paths the plain build has.
template <class CHART>
inline const CPatternElement<CHART>* TarnoWrapped(const CPatternElement<CHART>* e) {
  if (e->m_nKind != ELEMENT_DELEGATE) return nullptr;
  const CDelegateElement<CHART>* d = static_cast<const CDelegateElement<CHART>*>(e);
  return d->m_nGroup == DELEGATE_NONCAPTURE ? d->m_pTarget : nullptr;
}
// A delegate without a target (a host mode-modifier mark, a recursion into a missing group)
// matches the empty string and nothing else.
template <class CHART>
inline bool TarnoIsEmptyDelegate(const CPatternElement<CHART>* e) {
  return e->m_nKind == ELEMENT_DELEGATE && !static_cast<const CDelegateElement<CHART>*>(e)->m_pTarget;
}
// A recursion: a delegate into the pattern or a group (not a host wrapper).
template <class CHART>
inline bool TarnoIsRecursion(const CPatternElement<CHART>* e) {
  if (e->m_nKind != ELEMENT_DELEGATE) return false;
  const CDelegateElement<CHART>* d = static_cast<const CDelegateElement<CHART>*>(e);
  return d->m_pTarget && d->m_nGroup != DELEGATE_NONCAPTURE;
}

// (?(cond)yes|no): the condition is either "group n has captured" or an assertion.
template <class CHART>
class CConditionalElement : public CPatternElement<CHART> {
 public:
  CConditionalElement() : CPatternElement<CHART>(ELEMENT_CONDITIONAL) {}

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(0);
    int captures = ctx->m_captureStack.GetSize();
    bool yes;
    if (m_nGroup >= 0) {
      yes = ctx->LookupRecord(m_nGroup) >= 0;  // captured in this attempt, closed or still open
    } else if (m_pCondition) {
      StackMark mark = ctx->Mark();
      int pos = ctx->m_nCurrentPos;
      yes = m_pCondition->Match(ctx) != 0;
      ctx->DiscardBacktrack(mark);
      ctx->m_nCurrentPos = pos;
    } else {
      yes = true;
    }
    const CPatternElement<CHART>* branch = yes ? m_pYes : m_pNo;
    if (branch ? branch->Match(ctx) : 1) {
      ctx->m_stack.Push(captures);
      ctx->m_stack.Push(yes ? 1 : 0);
      TARNO_RESULT(1);
    }
    ctx->TruncateCaptures(captures);
    TARNO_RESULT(0);
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(1);
    int yes = ctx->m_stack.Pop();
    int captures = ctx->m_stack.Pop();
    const CPatternElement<CHART>* branch = yes ? m_pYes : m_pNo;
    if (branch && branch->MatchNext(ctx)) {
      ctx->m_stack.Push(captures);
      ctx->m_stack.Push(yes);
      TARNO_RESULT(1);
    }
    ctx->TruncateCaptures(captures);
    TARNO_RESULT(0);
  }

  int m_nGroup = -1;  // n >= 0: the condition is that group n has captured; -1: the condition element
  const CPatternElement<CHART>* m_pCondition = nullptr;  // an assertion, or none
  const CPatternElement<CHART>* m_pYes = nullptr;
  const CPatternElement<CHART>* m_pNo = nullptr;  // none matches the empty string
  CBufferT<CHART> m_szName;  // condition text of (?(name)...), resolved after parsing
};

TARNO_NAMESPACE_END

#endif
