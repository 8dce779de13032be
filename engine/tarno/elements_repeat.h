// Repeats: greedy, reluctant and possessive (min, extra = max - min) and fixed (x{n}).
//
// Fast paths (plain build only, where no trace has to see every iteration): a repeat of a single
// character test (a class, a POSIX class or a one-character string) counts the run in a loop and
// keeps only its iteration count. A greedy repeat whose inner element can never offer another
// alternative keeps no list of offered end positions: with such an inner element every end
// position it offers is new. Both give exactly the results of the general algorithm.
//
// The greedy repeat backtracks in the usual order (the last iteration's next alternative first,
// then extending greedily again from where it ends). Where that is sound, its list of offered
// end positions lets it pass over positions from which everything has been tried already (see
// RetryGreedy); it never changes which match is found.
// Covered by engine/tests/match_test.cpp and engine/tests/pcre_diff_test.cpp.
#ifndef TARNO_ELEMENTS_REPEAT_H
#define TARNO_ELEMENTS_REPEAT_H

#include <algorithm>
#include <functional>

#include "elements_group.h"
#include "elements_leaf.h"

TARNO_NAMESPACE_BEGIN

enum { FAST_NONE = 0, FAST_CHARSET = 1, FAST_POSIX = 2, FAST_CHAR = 3 };

template <class CHART>
class CRepeatBase : public CPatternElement<CHART> {
 public:
  CRepeatBase(int kind, const CPatternElement<CHART>* inner)
      : CPatternElement<CHART>(kind), m_pElement(inner) {}

  const CPatternElement<CHART>* m_pElement;
  // Set by the compiler's finishing pass: which single-character test the inner element is
  // (plain build only), and its direction.
  int m_nFast = FAST_NONE;
  bool m_bRightLeft = false;

 protected:
  struct Same {
    explicit Same(const CPatternElement<CHART>* e) : elem(e) {}
    const CPatternElement<CHART>* operator()(int) const { return elem; }
    const CPatternElement<CHART>* elem;
  };

  // Length of the run of characters ahead of `pos` that pass the inner test, at most `max`.
  int CountRun(const CMatchContext<CHART>* ctx, int pos, int max) const {
    switch (m_nFast) {
      case FAST_CHARSET: {
        const CCharsetElement<CHART>* e = static_cast<const CCharsetElement<CHART>*>(m_pElement);
        return Run(ctx, pos, max, [e](unsigned c) { return e->TestCode(c); });
      }
      case FAST_POSIX: {
        const CPosixElement<CHART>* e = static_cast<const CPosixElement<CHART>*>(m_pElement);
        return Run(ctx, pos, max, [e](unsigned c) { return e->TestCode(c); });
      }
      default: {
        const CStringElement<CHART>* e = static_cast<const CStringElement<CHART>*>(m_pElement);
        if (e->m_bIgnoreCase) return Run(ctx, pos, max, [e](unsigned c) { return e->TestCode(c); });
        unsigned want = TarnoChars<CHART>::Code(e->m_szPattern[0]);
        return Run(ctx, pos, max, [want](unsigned c) { return c == want; });
      }
    }
  }
  template <class Test>
  int Run(const CMatchContext<CHART>* ctx, int pos, int max, Test test) const {
    const CHART* t = ctx->m_pText;
    if (m_bRightLeft) {
      if (pos > ctx->m_nLength) return 0;
      int limit = pos < max ? pos : max;
      int i = 0;
      while (i < limit && test(TarnoChars<CHART>::Code(t[pos - 1 - i]))) ++i;
      return i;
    }
    if (pos < 0) return 0;
    int avail = ctx->m_nLength - pos;
    int limit = avail < max ? avail : max;
    int i = 0;
    while (i < limit && test(TarnoChars<CHART>::Code(t[pos + i]))) ++i;
    return i;
  }
  int Dir() const { return m_bRightLeft ? -1 : 1; }
  // Whether an optional iteration that began at `before` made progress: only a step in the
  // repeat's own direction counts. A recursion into a group that a look-around holds runs the
  // other way, and iterations that went back and forth would never end.
  bool Advanced(const CMatchContext<CHART>* ctx, int before) const {
    return m_bRightLeft ? ctx->m_nCurrentPos < before : ctx->m_nCurrentPos > before;
  }

  // Repeats the inner element from the current position up to `extra` more times in all,
  // stopping at the first iteration that fails or does not advance. Returns the new iteration
  // count. With `starts`, the position where each iteration began is pushed after the
  // iteration's own state, for the greedy repeat's backtracking.
  int Extend(CMatchContext<CHART>* ctx, int n, int extra, bool starts = false) const {
    const CPatternElement<CHART>* e = m_pElement;
    while (n < extra) {
      int before = ctx->m_nCurrentPos;
      StackMark mark = ctx->Mark();
      if (!e->Match(ctx)) break;
      if (!Advanced(ctx, before)) {
        // An iteration that does not advance gets one more chance; if it still does not, it is
        // undone. The chance is the inner element's very next way to match, so the greedy
        // repeats within must not pass over offered ends meanwhile: offered here, an end was
        // turned down without what follows it being tried (see CGreedyElement).
        ++ctx->m_nEmptyRetries;
        int again = e->MatchNext(ctx);
        --ctx->m_nEmptyRetries;
        if (!again) break;
        if (!Advanced(ctx, before)) {
          ctx->RestoreMark(mark);
          ctx->m_nCurrentPos = before;
          break;
        }
      }
      if (starts) ctx->m_stack.Push(before);
      ++n;
    }
    return n;
  }
};

// Greedy repeat; also the matching core of the possessive repeat.
//
// State it leaves on the backtrack stack, top last:
//   fast path:                  n
//   inner without alternatives: n
//   general:                    list, n
// where n counts the optional iterations and list indexes the context's list of end positions
// offered so far (-1 when the repeat keeps none). In the general case each optional iteration's
// own state is followed by the position where that iteration began.
//
// The general case backtracks in the usual order: the last iteration's next alternative first,
// then extending greedily again from where it ends; when the last iteration has no alternative
// left it is given up and the repeat ends where that iteration began; with no optional iteration
// left, the mandatory ones are asked for their next alternative and the repeat extends again
// from there. An alternative that does not advance (in the repeat's direction) is passed over, as
// Extend passes over an empty iteration, so every iteration in the state advances and the search
// tree is finite.
//
// With m_bSkipOffered and no bound, a position this repeat has offered before is known to be explored to the
// end: the pattern after the repeat has been tried from it, and every way of iterating on from
// it has been offered and has failed. What comes after such a position depends on the position
// alone (the iterations leave no captures that anything reads, and the repeat is unbounded, so
// neither the count of iterations nor which mandatory iterations led there matters), so going
// on from it again cannot give anything new. Such a position is passed over, both as the start
// of an extension and as an end, and the repeat goes on backtracking into the iteration that
// reached it: only what lies beyond the position is skipped, never the other alternatives of
// the iterations before it. The mandatory iterations pass over the states they reached before
// in the same way (MatchMandatory). One list serves the repeat from its Match to its final failure, so
// that nested repeats such as (a+)+b or (?:a|b)*c do not try every split of a run, and no end is
// lost. Passing over is sound only for a caller that goes on asking until it finds what it needs;
// an enclosing repeat that retries an iteration that matched empty asks for the very next way
// alone, and turns an end down without trying what follows it. While such a retry runs
// (CMatchContext::m_nEmptyRetries), nothing is passed over, so the retry gets the same next way
// as with no list at all.
template <class CHART>
class CGreedyElement : public CRepeatBase<CHART> {
  typedef CRepeatBase<CHART> Base;

 public:
  CGreedyElement(const CPatternElement<CHART>* inner, int min, int extra, int kind = ELEMENT_GREEDY)
      : Base(kind, inner), m_nMin(min), m_nExtra(extra) {}

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(0);
    TARNO_RESULT(MatchGreedy(ctx));
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(1);
    TARNO_RESULT(RetryGreedy(ctx));
  }

  int m_nMin;
  int m_nExtra;  // maximum minus minimum; TARNO_INFINITE - min when unbounded
  // Set by the compiler's finishing pass (plain build, fast path only): what follows the repeat
  // must begin with a character the repeat's own test refuses, so giving back any character it
  // took can never let the rest match there; the repeat then never gives any back.
  bool m_bAutoPossessive = false;
  // Set by the compiler's finishing pass: the captures the repeat's iterations leave cannot
  // change what follows (the inner element holds no group and no recursion, or nothing in the
  // pattern reads captures: no back-reference, conditional, recursion or balancing group), so
  // that what follows a state of the repeat depends on the count of iterations done and the
  // position alone, and, once the repeat is unbounded and past its minimum, on the position alone.
  bool m_bSkipOffered = false;
  // Set by the compiler's finishing pass for a repeat with m_bSkipOffered on the pattern's
  // top-level path (reached from the root through sequences and alternations alone) where
  // nothing in the pattern reads captures: what follows it is then the same in every attempt of
  // a search, so a state explored in one attempt is explored for the next ones too. The index of
  // its first list among the context's kept lists, else -1.
  int m_nKeptList = -1;
  // The lists a repeat with m_bSkipOffered takes, consecutive from its first: the offered ends,
  // then the positions reached after 1, 2, ... mandatory iterations (see MatchMandatory).
  static const int kLevelLists = 8;
  // A bounded repeat (x{2,5}) passes over states of its mandatory iterations alone, the minimum
  // included: what follows its optional iterations depends on their count, which its list of
  // offered ends does not hold. Its first list stays unused.
  bool Unbounded() const { return m_nExtra == TARNO_INFINITE - m_nMin; }
  int Levels() const {
    int levels = Unbounded() ? m_nMin - 1 : m_nMin;
    return levels < 0 ? 0 : (levels < kLevelLists ? levels : kLevelLists);
  }
  int Lists() const { return 1 + Levels(); }
  bool UsesLists() const { return m_bSkipOffered && (Unbounded() || m_nMin > 0); }

 protected:
  int MatchGreedy(CMatchContext<CHART>* ctx) const {
    const CPatternElement<CHART>* e = this->m_pElement;
#if !TARNO_TRACE
    if (this->m_nFast) {
      long long max = static_cast<long long>(m_nMin) + m_nExtra;
      int run = this->CountRun(ctx, ctx->m_nCurrentPos, max > TARNO_INFINITE ? TARNO_INFINITE : static_cast<int>(max));
      TARNO_RUN_STEPS(run);
      if (run < m_nMin) return 0;
      ctx->m_nCurrentPos += run * this->Dir();
      ctx->m_stack.Push(run - m_nMin);
      return 1;
    }
#endif
    if (!e->m_bCanRetry) {
      if (!TarnoMatchSequence(ctx, m_nMin, 0, typename Base::Same(e))) return 0;
      ctx->m_stack.Push(this->Extend(ctx, 0, m_nExtra));
      return 1;
    }
    // The list is taken before the mandatory iterations, so that it outlives their retries.
    // Classic backtracking keeps no list: every end is explored again, as engines without the
    // shortcut do (the same matches, more steps).
#if TARNO_TRACE
    const bool classic = ctx->m_bClassic;
#else
    const bool classic = false;
#endif
    int list = -1;
    if (!classic && m_nKeptList >= 0 && m_nKeptList + Lists() <= ctx->m_nKeptLists)
      list = m_nKeptList;
    else if (!classic && UsesLists())
      list = ctx->AllocLists(Lists());
    if (!MatchMandatory(ctx, list, false)) {
      if (list >= 0) ctx->FreeLists(list, Lists());
      return 0;
    }
    return Settle(ctx, list, this->Extend(ctx, 0, m_nExtra, true), true);
  }

  int RetryGreedy(CMatchContext<CHART>* ctx) const {
    CBufferT<int>& st = ctx->m_stack;
    const CPatternElement<CHART>* e = this->m_pElement;
#if !TARNO_TRACE
    if (this->m_nFast) {
      int n = st.Pop();
      if (n > 0 && !m_bAutoPossessive) {
        ctx->m_nCurrentPos -= this->Dir();
        st.Push(n - 1);
        return 1;
      }
      ctx->m_nCurrentPos -= (m_nMin + n) * this->Dir();
      return 0;
    }
#endif
    if (!e->m_bCanRetry) {
      int n = st.Pop();
      if (n > 0) {
        e->MatchNext(ctx);  // gives the last iteration up (it has no other alternative)
        st.Push(n - 1);
        return 1;
      }
      if (m_nMin == 0 || !TarnoRetrySequence(ctx, m_nMin, typename Base::Same(e))) return 0;
      st.Push(this->Extend(ctx, 0, m_nExtra));
      return 1;
    }
    int n = st.Pop();
    int list = st.Pop();
    return Settle(ctx, list, n, false);
  }

 private:
  // Finds the next state to offer, as described above the class, and pushes it. `n` optional
  // iterations are on the stack; `fresh` says that the position is the end of an extension that
  // has not been looked at yet, otherwise the state was offered already and backtracking goes on.
  int Settle(CMatchContext<CHART>* ctx, int list, int n, bool fresh) const {
    CBufferT<int>& st = ctx->m_stack;
    const CPatternElement<CHART>* e = this->m_pElement;
    const bool unbounded = Unbounded();
    const bool skip = list >= 0 && unbounded && ctx->m_nEmptyRetries == 0;
    for (;;) {
      if (fresh) {
        if (!skip || !Offered(ctx, list, ctx->m_nCurrentPos)) break;
        fresh = false;  // passed over: backtrack into the iteration that reached it
      }
      if (n > 0) {
        int before = st.Pop();
        bool moved = false;
        while (e->MatchNext(ctx)) {
          if (this->Advanced(ctx, before)) {
            moved = true;
            break;
          }
        }
        if (moved) {
          st.Push(before);
          if (skip && Offered(ctx, list, ctx->m_nCurrentPos)) continue;  // this iteration again
          n = this->Extend(ctx, n, m_nExtra, true);
        } else {
          --n;  // the last iteration is given up; the position is back where it began
        }
        fresh = true;
        continue;
      }
      // No optional iteration left: the mandatory ones' next alternative, then extend again.
      if (m_nMin == 0 || !MatchMandatory(ctx, list, true)) {
        if (list >= 0) ctx->FreeLists(list, Lists());
        return 0;
      }
      n = this->Extend(ctx, 0, m_nExtra, true);
      fresh = true;
    }
    if (list >= 0 && unbounded) Offer(ctx, list, ctx->m_nCurrentPos);
    st.Push(list);
    st.Push(n);
    return 1;
  }
  // Matches the mandatory iterations, or with `retry` asks them for their next way, passing over
  // states explored before. With k of them done at a position, what follows depends on k and the
  // position alone (see above the class), and the search is depth first: a state reached again
  // was reached before and everything after it has been tried since. So where iteration k ends
  // at a position it reached before, its next way is taken instead. For k below the minimum (at
  // it too when the repeat is bounded) the repeat keeps a list per k, up to kLevelLists of them
  // (beyond that nothing is passed over); for k at the minimum of an unbounded repeat the state
  // is that of an end the repeat offered (the count no longer matters), and the list of offered
  // ends serves. Without
  // this, each new end of the mandatory iterations would extend again over the offered ends one
  // by one ((?:x+)+y on n x's took n^2 steps per attempt), and two or more mandatory iterations
  // would try every split of a run among themselves ((?:x+){2,}y: n^2 per attempt).
  // Without a list (classic backtracking, or a repeat that may not pass over) it is the plain
  // sequence, call for call.
  int MatchMandatory(CMatchContext<CHART>* ctx, int list, bool retry) const {
    const CPatternElement<CHART>* e = this->m_pElement;
    typename Base::Same at(e);
    if (list < 0) return retry ? TarnoRetrySequence(ctx, m_nMin, at) : TarnoMatchSequence(ctx, m_nMin, 0, at);
    // An enclosing repeat's retry of an empty iteration asks for the very next way alone: then
    // nothing is passed over, though the states reached are still recorded (a retry turned down
    // drops this repeat's lists with everything else it matched).
    const bool skip = ctx->m_nEmptyRetries == 0;
    const int levels = Levels();
    const bool unbounded = Unbounded();
    int k = retry ? m_nMin : 0;  // iterations done
    bool forward = !retry;
    for (;;) {
      if (forward) {
        if (k == m_nMin) return 1;
        if (!e->Match(ctx)) {
          forward = false;
          continue;
        }
        ++k;
      } else {
        if (k == 0) return 0;
        if (!e->MatchNext(ctx)) {
          --k;  // iteration k is undone: the one before is asked next
          continue;
        }
      }
      // Iteration k has just ended at the current position, by its first or a next way.
      const int pos = ctx->m_nCurrentPos;
      forward = true;
      if (k == m_nMin && unbounded) {
        if (skip && Offered(ctx, list, pos)) forward = false;
      } else if (k <= levels) {
        if (skip && Offered(ctx, list + k, pos))
          forward = false;
        else
          Offer(ctx, list + k, pos);
      }
    }
  }
  // The list is kept sorted so that the usual new entry, an end nearer to the repeat's start than
  // all before it, goes to the back: descending positions left to right, ascending right to left.
  bool Offered(const CMatchContext<CHART>* ctx, int list, int pos) const {
    const std::vector<int>& l = ctx->m_lists[list];
    if (this->m_bRightLeft) return std::binary_search(l.begin(), l.end(), pos);
    return std::binary_search(l.begin(), l.end(), pos, std::greater<int>());
  }
  void Offer(CMatchContext<CHART>* ctx, int list, int pos) const {
    std::vector<int>& l = ctx->m_lists[list];
    std::vector<int>::iterator it = this->m_bRightLeft
                                        ? std::lower_bound(l.begin(), l.end(), pos)
                                        : std::lower_bound(l.begin(), l.end(), pos, std::greater<int>());
    if (it == l.end() || *it != pos) {
      l.insert(it, pos);
#if TARNO_HOST && !TARNO_TRACE
      if (list < ctx->m_nKeptLists) {
        ctx->m_keptOffers.Push(list);
        ctx->m_keptOffers.Push(pos);
      }
#endif
    }
  }
};

// x*+ x++ x?+ x{n,m}+: the greedy match, then nothing to backtrack into.
template <class CHART>
class CPossessiveElement : public CGreedyElement<CHART> {
 public:
  CPossessiveElement(const CPatternElement<CHART>* inner, int min, int extra)
      : CGreedyElement<CHART>(inner, min, extra, ELEMENT_POSSESSIVE) {}

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(0);
    StackMark mark = ctx->Mark();
    int pos = ctx->m_nCurrentPos;
    if (!this->MatchGreedy(ctx)) TARNO_RESULT(0);
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
};

// x*? x+? x?? x{n,m}?: the fewest iterations first.
//
// State on the backtrack stack: for each optional iteration its inner state and the position
// before it, then the count n of optional iterations (fast path: only n).
template <class CHART>
class CReluctantElement : public CRepeatBase<CHART> {
  typedef CRepeatBase<CHART> Base;

 public:
  CReluctantElement(const CPatternElement<CHART>* inner, int min, int extra)
      : Base(ELEMENT_RELUCTANT, inner), m_nMin(min), m_nExtra(extra) {}

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(0);
#if !TARNO_TRACE
    if (this->m_nFast) {
      TARNO_RUN_STEPS(m_nMin);
      if (this->CountRun(ctx, ctx->m_nCurrentPos, m_nMin) < m_nMin) TARNO_RESULT(0);
      ctx->m_nCurrentPos += m_nMin * this->Dir();
      ctx->m_stack.Push(0);
      TARNO_RESULT(1);
    }
#endif
    if (!TarnoMatchSequence(ctx, m_nMin, 0, typename Base::Same(this->m_pElement))) TARNO_RESULT(0);
    ctx->m_stack.Push(0);
    TARNO_RESULT(1);
  }

  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(1);
    CBufferT<int>& st = ctx->m_stack;
    int n = st.Pop();
#if !TARNO_TRACE
    if (this->m_nFast) {
      if (n < m_nExtra && this->CountRun(ctx, ctx->m_nCurrentPos, 1) == 1) {
        ctx->m_nCurrentPos += this->Dir();
        st.Push(n + 1);
        TARNO_RESULT(1);
      }
      ctx->m_nCurrentPos -= (m_nMin + n) * this->Dir();
      TARNO_RESULT(0);
    }
#endif
    const CPatternElement<CHART>* e = this->m_pElement;
    if (n < m_nExtra) {
      // One more iteration, if it advances.
      int before = ctx->m_nCurrentPos;
      if (e->Match(ctx)) {
        for (;;) {
          if (this->Advanced(ctx, before)) {
            st.Push(before);
            st.Push(n + 1);
            TARNO_RESULT(1);
          }
          if (!e->MatchNext(ctx)) break;
        }
      }
    }
    // Otherwise the next alternative of the taken iterations, last first, that advances.
    while (n > 0) {
      int before = st.Pop();
      while (e->MatchNext(ctx)) {
        if (this->Advanced(ctx, before)) {
          st.Push(before);
          st.Push(n);
          TARNO_RESULT(1);
        }
      }
      --n;
    }
    if (m_nMin == 0 || !TarnoRetrySequence(ctx, m_nMin, typename Base::Same(e))) TARNO_RESULT(0);
    st.Push(0);
    TARNO_RESULT(1);
  }

  int m_nMin;
  int m_nExtra;
};

// x{n}: exactly n iterations, with backtracking among them.
template <class CHART>
class CFixedRepeatElement : public CRepeatBase<CHART> {
  typedef CRepeatBase<CHART> Base;

 public:
  CFixedRepeatElement(const CPatternElement<CHART>* inner, int count)
      : Base(ELEMENT_FIXED, inner), m_nCount(count) {}

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(0);
#if !TARNO_TRACE
    if (this->m_nFast) {
      TARNO_RUN_STEPS(m_nCount);
      if (this->CountRun(ctx, ctx->m_nCurrentPos, m_nCount) < m_nCount) TARNO_RESULT(0);
      ctx->m_nCurrentPos += m_nCount * this->Dir();
      TARNO_RESULT(1);
    }
#endif
    TARNO_RESULT(TarnoMatchSequence(ctx, m_nCount, 0, typename Base::Same(this->m_pElement)));
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_NESTED();
    TARNO_FRAME(1);
#if !TARNO_TRACE
    if (this->m_nFast) {
      ctx->m_nCurrentPos -= m_nCount * this->Dir();
      TARNO_RESULT(0);
    }
#endif
    TARNO_RESULT(TarnoRetrySequence(ctx, m_nCount, typename Base::Same(this->m_pElement)));
  }

  int m_nCount;
};

TARNO_NAMESPACE_END

#endif
