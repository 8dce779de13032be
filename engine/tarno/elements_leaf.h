// The elements that consume text or test a position and never call other elements (except the
// embedded classes of a character class): empty, string, character class, POSIX class, boundary,
// last match end, back-reference and group bracket. Covered by engine/tests/match_test.cpp.
#ifndef TARNO_ELEMENTS_LEAF_H
#define TARNO_ELEMENTS_LEAF_H

#include <algorithm>
#include <utility>
#include <vector>

#include "element.h"

TARNO_NAMESPACE_BEGIN

template <class CHART>
class CEmptyElement : public CPatternElement<CHART> {
 public:
  CEmptyElement() : CPatternElement<CHART>(ELEMENT_EMPTY) {}
  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(0);
    TARNO_RESULT(1);
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(1);
    TARNO_RESULT(0);
  }
};

// Literal text. The characters are the element's own copy, zero-terminated.
template <class CHART>
class CStringElement : public CPatternElement<CHART> {
 public:
  CStringElement(const CHART* chars, int length, bool rightLeft, bool ignoreCase)
      : CPatternElement<CHART>(ELEMENT_STRING),
        m_nLength(length),
        m_bRightLeft(rightLeft),
        m_bIgnoreCase(ignoreCase) {
    m_szPattern.Append(chars, length);
    m_szPattern.Push(CHART(0));
    if (ignoreCase)
      for (int i = 0; i < length; ++i)
        m_upper.Push(TarnoUpper<CHART>(TarnoChars<CHART>::Code(chars[i])));
  }
  const CHART* GetChars() const { return m_szPattern.GetBuffer(); }

  // Whether the text ahead of `pos` equals the string; stores where the match ends.
  bool TestAt(const CMatchContext<CHART>* ctx, int pos, int* end) const {
    int from = m_bRightLeft ? pos - m_nLength : pos;
    if (from < 0 || pos > ctx->m_nLength || m_nLength > ctx->m_nLength - from) return false;
    const CHART* t = ctx->m_pText + from;
    if (m_bIgnoreCase) {
      for (int i = 0; i < m_nLength; ++i)
        if (TarnoUpper<CHART>(TarnoChars<CHART>::Code(t[i])) != m_upper[i]) return false;
    } else {
      const CHART* p = m_szPattern.GetBuffer();
      for (int i = 0; i < m_nLength; ++i)
        if (t[i] != p[i]) return false;
    }
    *end = m_bRightLeft ? from : pos + m_nLength;
    return true;
  }
  // Single-character test for the repeat fast paths (length 1 only).
  bool TestCode(unsigned c) const {
    if (m_bIgnoreCase) return TarnoUpper<CHART>(c) == m_upper[0];
    return c == TarnoChars<CHART>::Code(m_szPattern[0]);
  }
  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(0);
    int end;
    if (!TestAt(ctx, ctx->m_nCurrentPos, &end)) TARNO_RESULT(0);
    ctx->m_nCurrentPos = end;
    TARNO_RESULT(1);
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(1);
    ctx->m_nCurrentPos += m_bRightLeft ? m_nLength : -m_nLength;
    TARNO_RESULT(0);
  }

  CBufferT<CHART> m_szPattern;
  int m_nLength;
  bool m_bRightLeft;
  bool m_bIgnoreCase;
  CBufferT<unsigned> m_upper;  // upper-case codes of the characters, when ignoring case
};

template <class CHART>
class CPosixElement : public CPatternElement<CHART> {
 public:
  CPosixElement(int cls, bool rightLeft, bool yes)
      : CPatternElement<CHART>(ELEMENT_POSIX), m_nClass(cls), m_bRightLeft(rightLeft), m_bYes(yes) {}
  bool TestCode(unsigned c) const { return TarnoPosixTest(m_nClass, c) == m_bYes; }
  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(0);
    int pos = ctx->m_nCurrentPos;
    if (m_bRightLeft ? (pos <= 0 || pos > ctx->m_nLength) : (pos < 0 || pos >= ctx->m_nLength))
      TARNO_RESULT(0);
    if (!TestCode(TarnoChars<CHART>::Code(ctx->m_pText[m_bRightLeft ? pos - 1 : pos])))
      TARNO_RESULT(0);
    ctx->m_nCurrentPos = m_bRightLeft ? pos - 1 : pos + 1;
    TARNO_RESULT(1);
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(1);
    ctx->m_nCurrentPos += m_bRightLeft ? 1 : -1;
    TARNO_RESULT(0);
  }

  int m_nClass;  // PosixClass
  bool m_bRightLeft;
  bool m_bYes;   // false for [:^name:]
};

template <class CHART>
class CCharsetElement : public CPatternElement<CHART> {
 public:
  CCharsetElement(bool rightLeft, bool yes)
      : CPatternElement<CHART>(ELEMENT_CHARSET), m_bRightLeft(rightLeft), m_bYes(yes) {}

  void AddRange(unsigned low, unsigned high) {
    m_ranges.Push(low);
    m_ranges.Push(high);
  }
  void AddChar(unsigned c) { m_chars.Push(c); }
  // Whether the ranges or single characters hold `c` (after Finish): bitmap below 256, bisection of the merged intervals above.
  bool InOwn(unsigned c) const {
    if (c < 256) return (m_ownBitmap[c >> 3] >> (c & 7)) & 1;
    int lo = 0, hi = m_intervals.GetSize() / 2;
    while (lo < hi) {
      int mid = (lo + hi) / 2;
      if (m_intervals[2 * mid + 1] < c)
        lo = mid + 1;
      else
        hi = mid;
    }
    return lo < m_intervals.GetSize() / 2 && m_intervals[2 * lo] <= c;
  }
  bool InOwnLinearSorted(unsigned c) const {
    for (int i = 0; i + 1 < m_intervals.GetSize() && m_intervals[i] <= c; i += 2)
      if (c <= m_intervals[i + 1]) return true;
    return false;
  }
  // The class's verdict on a character, embedded classes and negation included. Embedded
  // elements are always character or POSIX classes, which are tested directly here.
  bool TestCodeSlow(unsigned c) const {
    bool in = InOwn(c);
    for (int i = 0; !in && i < m_embedded.GetSize(); ++i) in = TestEmbedded(m_embedded[i], c);
    return in == m_bYes;
  }
  bool TestCode(unsigned c) const {
    if (c < 256) return m_table[c] != 0;
    return TestCodeSlow(c);
  }
  static bool TestEmbedded(const CPatternElement<CHART>* e, unsigned c) {
    if (e->m_nKind == ELEMENT_CHARSET) return static_cast<const CCharsetElement*>(e)->TestCode(c);
    if (e->m_nKind == ELEMENT_POSIX) return static_cast<const CPosixElement<CHART>*>(e)->TestCode(c);
    return false;
  }
  // Prepares the lookups; called by the compiler once the class is complete, after the classes
  // embedded in it.
  void Finish() {
    std::vector<std::pair<unsigned, unsigned>> spans;
    for (int i = 0; i + 1 < m_ranges.GetSize(); i += 2)
      if (m_ranges[i] <= m_ranges[i + 1]) spans.push_back(std::make_pair(m_ranges[i], m_ranges[i + 1]));
    for (int i = 0; i < m_chars.GetSize(); ++i) spans.push_back(std::make_pair(m_chars[i], m_chars[i]));
    std::sort(spans.begin(), spans.end());
    m_intervals.Clear();
    for (size_t i = 0; i < spans.size(); ++i) {
      int n = m_intervals.GetSize();
      if (n && spans[i].first <= m_intervals[n - 1] + 1 && m_intervals[n - 1] != 0xFFFFFFFFu) {
        if (spans[i].second > m_intervals[n - 1]) m_intervals[n - 1] = spans[i].second;
      } else {
        m_intervals.Push(spans[i].first);
        m_intervals.Push(spans[i].second);
      }
    }
    for (unsigned c = 0; c < 256; ++c)
      if (InOwnLinearSorted(c)) m_ownBitmap[c >> 3] |= static_cast<unsigned char>(1u << (c & 7));
    for (unsigned c = 0; c < 256; ++c)
      if (TestCodeSlow(c)) {
        m_bitmap[c >> 3] |= static_cast<unsigned char>(1u << (c & 7));
        m_table[c] = 1;
      }
  }

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(0);
    int pos = ctx->m_nCurrentPos;
    if (m_bRightLeft ? (pos <= 0 || pos > ctx->m_nLength) : (pos < 0 || pos >= ctx->m_nLength))
      TARNO_RESULT(0);
    unsigned c = TarnoChars<CHART>::Code(ctx->m_pText[m_bRightLeft ? pos - 1 : pos]);
#if TARNO_TRACE
    // The host reports every embedded class as an attempt of its own, so they are tried as
    // elements here; the position is restored after each try.
    bool in = c < 256 ? ((m_ownBitmap[c >> 3] >> (c & 7)) & 1) : InOwn(c);
    for (int i = 0; !in && i < m_embedded.GetSize(); ++i) {
      if (m_embedded[i]->Match(ctx)) {
        in = true;
        ctx->m_nCurrentPos = pos;
        ctx->m_entryPositions.Pop();  // the embedded attempt is never retried
      }
    }
    if (in != m_bYes) TARNO_RESULT(0);
#else
    if (!TestCode(c)) TARNO_RESULT(0);
#endif
    ctx->m_nCurrentPos = m_bRightLeft ? pos - 1 : pos + 1;
    TARNO_RESULT(1);
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(1);
    ctx->m_nCurrentPos += m_bRightLeft ? 1 : -1;
    TARNO_RESULT(0);
  }

  CBufferT<unsigned> m_ranges;  // inclusive pairs (low, high), as written
  CBufferT<unsigned> m_chars;
  CBufferT<const CPatternElement<CHART>*> m_embedded;
  bool m_bRightLeft;
  bool m_bYes;  // false for [^...]
  CBufferT<unsigned> m_intervals;      // ranges and characters merged: sorted, disjoint pairs
  unsigned char m_bitmap[32] = {};     // full verdict for codes below 256
  unsigned char m_table[256] = {};     // the same, one byte per code (the fast paths' lookup)
  unsigned char m_ownBitmap[32] = {};  // ranges and single characters only, not negated
};

template <class CHART>
class CBoundaryElement : public CPatternElement<CHART> {
 public:
  CBoundaryElement(int type, bool yes)
      : CPatternElement<CHART>(ELEMENT_BOUNDARY), m_nType(type), m_bYes(yes) {}

  static bool Test(const CMatchContext<CHART>* ctx, int pos, int type) {
    const int len = ctx->m_nLength;
    const unsigned kNone = 0xFFFFFFFFu;
    unsigned prev = (pos > 0 && pos <= len) ? TarnoChars<CHART>::Code(ctx->m_pText[pos - 1]) : kNone;
    unsigned next = (pos >= 0 && pos < len) ? TarnoChars<CHART>::Code(ctx->m_pText[pos]) : kNone;
    switch (type) {
      case BOUNDARY_TEXT_START: return pos == 0;
      case BOUNDARY_TEXT_END: return pos == len;
      case BOUNDARY_TEXT_END_LF:
        return pos == len || (pos == len - 1 && next == '\n') ||
               (pos == len - 2 && next == '\r' && TarnoChars<CHART>::Code(ctx->m_pText[pos + 1]) == '\n');
      case BOUNDARY_LINE_START: return pos == 0 || prev == '\n' || (prev == '\r' && next != '\n');
      case BOUNDARY_LINE_END: return pos == len || next == '\r' || (next == '\n' && prev != '\r');
      case BOUNDARY_WORD_START: return !(prev != kNone && TarnoIsWord(prev)) && next != kNone && TarnoIsWord(next);
      case BOUNDARY_WORD_END: return prev != kNone && TarnoIsWord(prev) && !(next != kNone && TarnoIsWord(next));
      case BOUNDARY_WORD:
        return (prev != kNone && TarnoIsWord(prev)) != (next != kNone && TarnoIsWord(next));
    }
    return false;
  }
  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(0);
    TARNO_RESULT(Test(ctx, ctx->m_nCurrentPos, m_nType) == m_bYes);
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(1);
    TARNO_RESULT(0);
  }

  int m_nType;  // BoundaryType
  bool m_bYes;
};

template <class CHART>
class CLastMatchElement : public CPatternElement<CHART> {
 public:
  CLastMatchElement() : CPatternElement<CHART>(ELEMENT_LASTMATCH) {}
  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(0);
    TARNO_RESULT(ctx->m_nCurrentPos == ctx->m_nLastMatchEnd);
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(1);
    TARNO_RESULT(0);
  }
};

template <class CHART>
class CBackrefElement : public CPatternElement<CHART> {
 public:
  CBackrefElement(int group, bool rightLeft, bool ignoreCase)
      : CPatternElement<CHART>(ELEMENT_BACKREF),
        m_nGroup(group),
        m_bRightLeft(rightLeft),
        m_bIgnoreCase(ignoreCase) {}

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(0);
    int g = m_nGroup;
    if (g < 0 || g >= ctx->m_captureIndex.GetSize() || ctx->m_captureIndex[g] < 0) TARNO_RESULT(0);
    // The capture index is kept exact, so the lookup stops at once; it also guards the rare
    // entry of a group whose record was dropped by balancing.
    int r = ctx->LookupRecord(g);
    if (r < 0) TARNO_RESULT(0);
    int pos = ctx->m_nCurrentPos;
    int a = ctx->m_captureStack[r + 1], b = ctx->m_captureStack[r + 2];
    if (b == -1) b = pos;
    if (a > b) {
      int t = a;
      a = b;
      b = t;
    }
    int n = b - a;
    int from;
    if (m_bRightLeft) {
      if (n > pos) TARNO_RESULT(0);
      from = pos - n;
    } else {
      if (pos < 0 || n > ctx->m_nLength - pos) TARNO_RESULT(0);
      from = pos;
    }
    const CHART* t = ctx->m_pText;
    if (m_bIgnoreCase) {
      for (int i = 0; i < n; ++i)
        if (TarnoUpper<CHART>(TarnoChars<CHART>::Code(t[a + i])) !=
            TarnoUpper<CHART>(TarnoChars<CHART>::Code(t[from + i])))
          TARNO_RESULT(0);
    } else {
      for (int i = 0; i < n; ++i)
        if (t[a + i] != t[from + i]) TARNO_RESULT(0);
    }
    ctx->m_stack.Push(pos);
    ctx->m_nCurrentPos = m_bRightLeft ? from : pos + n;
    TARNO_RESULT(1);
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(1);
    ctx->m_nCurrentPos = ctx->m_stack.Pop();
    TARNO_RESULT(0);
  }

  int m_nGroup;  // -1 while a named reference is unresolved, -3 when its name matches no group
  bool m_bRightLeft;
  bool m_bIgnoreCase;
  CBufferT<CHART> m_szName;  // empty for a numbered reference
};

// Opening or closing mark of a capture group. "Closing" is the bracket that ends the capture in
// the matching direction: the right one left to right, the left one right to left.
template <class CHART>
class CBracketElement : public CPatternElement<CHART> {
 public:
  CBracketElement(int group, bool closing)
      : CPatternElement<CHART>(ELEMENT_BRACKET), m_nGroup(group), m_bClosing(closing) {}

  int Match(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(0);
    TARNO_RESULT(m_bClosing ? Close(ctx) : Open(ctx));
  }
  int MatchNext(CMatchContext<CHART>* ctx) const override {
    TARNO_FRAME(1);
    if (m_bClosing)
      Unclose(ctx);
    else
      Unopen(ctx);
    TARNO_RESULT(0);
  }
  // Capture changes that bump the context's capture version: every close and unclose. An open
  // or unopen of a group that a recursion re-entered changes only its nesting count and leaves
  // the version alone; those that push or drop a record bump it there.

  int m_nGroup;      // -1 until a named group is numbered
  bool m_bClosing;
  // Balancing groups (host build): the group whose latest capture this one consumes; -1 for an
  // ordinary group, -3 when the other group's name matches nothing (the group never matches).
  int m_nBalance = -1;
  CBufferT<CHART> m_szName;

 private:
  bool Open(CMatchContext<CHART>* ctx) const {
    int g = m_nGroup;
    if (g < 0 || g >= ctx->m_captureIndex.GetSize()) return true;
    CBufferT<int>& cs = ctx->m_captureStack;
    int r = ctx->LookupRecord(g);
    if (r >= 0 && cs[r + 2] == -1) {  // re-entered by recursion while open: count the nesting
      cs[r + 3] -= 1;
      return true;
    }
    if (m_nBalance != -1) {
      int b = ctx->LookupRecord(m_nBalance);
      if (b < 0 || cs[b + 2] == -1) return false;
    }
    ctx->PushRecord(g, ctx->m_nCurrentPos, -1, 0);
    return true;
  }
  void Unopen(CMatchContext<CHART>* ctx) const {
    int r = ctx->LookupRecord(m_nGroup);
    if (r < 0) return;
    CBufferT<int>& cs = ctx->m_captureStack;
    if (cs[r + 3] < 0) {
      cs[r + 3] += 1;
      return;
    }
    ctx->TruncateCaptures(r);  // the record is the top one; this also re-points the group
  }
  bool Close(CMatchContext<CHART>* ctx) const {
    int r = ctx->LookupRecord(m_nGroup);
    if (r < 0) return true;
    ++ctx->m_nCaptureVersion;
    CBufferT<int>& cs = ctx->m_captureStack;
    if (cs[r + 3] < 0) {  // leaving one level of recursion
      cs[r + 3] += 1;
      return true;
    }
    if (m_nBalance != -1) {
      int b = ctx->LookupRecord(m_nBalance);
      if (b < 0 || b == r || cs[b + 2] == -1) return false;
      // The capture spans from the other group's close to where this group opened; the other
      // group's latest capture is taken away, and given back by any cut-back of the capture
      // stack past the restore record (MatchNext makes one).
      cs[r + 2] = cs[r + 1];
      cs[r + 1] = cs[b + 2];
      cs[r + 3] = ctx->m_nCloseCounter++;
      ctx->m_stack.Push(ctx->TakeRecord(b));
      return true;
    }
    cs[r + 2] = ctx->m_nCurrentPos;
    cs[r + 3] = ctx->m_nCloseCounter++;
    return true;
  }
  void Unclose(CMatchContext<CHART>* ctx) const {
    int r = ctx->LookupRecord(m_nGroup);
    if (r < 0) return;
    ++ctx->m_nCaptureVersion;
    CBufferT<int>& cs = ctx->m_captureStack;
    if (cs[r + 2] == -1) {  // Match only counted a level of recursion
      cs[r + 3] -= 1;
      return;
    }
    if (m_nBalance != -1) {
      ctx->TruncateCaptures(ctx->m_stack.Pop());  // the restore record, the top one
      cs[r + 1] = cs[r + 2];  // where the group really opened, for a later re-close
    }
    cs[r + 2] = -1;
    cs[r + 3] = 0;
  }
};

TARNO_NAMESPACE_END

#endif
