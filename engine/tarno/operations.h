// The search loop and the public operations of CRegexpT: PrepareMatch, Match, MatchExact,
// Replace (with the replace-to escapes), Count and Split. Covered by
// engine/tests/operations_test.cpp and engine/tests/pcre_diff_test.cpp.
#ifndef TARNO_OPERATIONS_H
#define TARNO_OPERATIONS_H

#include <cstring>

#include "compiler.h"
#include "required.h"

TARNO_NAMESPACE_BEGIN

template <class CHART>
typename CRegexpT<CHART>::Context* CRegexpT<CHART>::PrepareMatch(const CHART* text, int length, int start,
                                                                 Context* ctx) const {
  if (!m_pRoot) return nullptr;
  if (!ctx) ctx = new Context();
  if (!text || length < 0) length = 0;
  bool rtl = (m_nFlags & RIGHTTOLEFT) != 0;
  int pos;
  if (start < 0)
    pos = rtl ? length : 0;
  else if (start > length)
    pos = rtl ? length : length + 1;  // left to right: nothing is found
  else
    pos = start;
  ctx->m_pText = text;
  ctx->m_nLength = length;
  ctx->m_nCloseCounter = 0;
  ctx->m_nPrevLastMatchEnd = -1;
  ctx->m_nCurrentPos = pos;
  ctx->m_nLastMatchEnd = pos;
  ctx->m_nMatchBound = pos;
  ctx->m_nBeginPos = pos;
  ctx->m_stack.Clear();
  ctx->m_captureStack.Clear();
  ctx->m_captureIndex.Resize(m_nMaxGroup + 1);
  ctx->m_captureIndex.Fill(-1);
  ctx->m_nListsUsed = 0;
  ctx->m_nKeptLists = 0;
#if TARNO_HOST && !TARNO_TRACE
  ctx->m_bResumeLists = false;
#endif
  ctx->m_nStatus = MATCH_COMPLETE;
  ctx->m_pRequiredOwner = nullptr;
#ifdef TARNO_WORK_LIMIT
  ctx->m_nWork = 0;
#endif
  return ctx;
}

template <class CHART>
MatchResult CRegexpT<CHART>::BuildResult(const Context* ctx) const {
  MatchResult result;
  ResultValues& r = result.m_result;
  r.Resize(2 + 2 * (m_nMaxGroup + 1));
  r[0] = 1;
  r[1] = m_nMaxGroup;
  const CBufferT<int>& cs = ctx->m_captureStack;
  for (int g = 0; g <= m_nMaxGroup; ++g) {
    int rec = ctx->LookupRecord(g);
    int a = -1, b = -1;
    if (rec >= 0 && cs[rec + 2] != -1) {  // a record still open (possible only when a single
      a = cs[rec + 1];                     // element stands for the pattern) counts as no capture
      b = cs[rec + 2];
      if (a > b) {
        int t = a;
        a = b;
        b = t;
      }
    }
    r[2 + 2 * g] = a;
    r[3 + 2 * g] = b;
  }
  return result;
}

// The first position from `pos` on (down from `pos` right to left) where a match can start, or
// the stop position when there is none. Not in the traced build, which counts every attempt.
template <class CHART>
int CRegexpT<CHART>::NextCandidate(Context* ctx, int pos) const {
  const int len = ctx->m_nLength;
  const CHART* t = ctx->m_pText;
  if (m_nFlags & RIGHTTOLEFT) {
    if (m_nAnchor) return pos == len ? len : -1;
    if (!m_bFilter) return pos;
    for (; pos > 0; --pos) {
      unsigned c = TarnoChars<CHART>::Code(t[pos - 1]);
      if (c < 256 ? m_first[c] : m_bFirstHigh) return pos;
    }
    return -1;
  }
  if (m_nAnchor) return pos == 0 ? 0 : len + 1;
  if (pos < 0) pos = 0;
  if (!m_required.on) {
    if (!m_bFilter) return pos;
    int at = ScanFirst(t, pos, len);
    return at < len ? at : len + 1;  // a match holds a character: none starts at the end
  }
  // Within the stretches that the required string allows, the first-character filter.
  while (pos <= len) {
    int last;
    int from = RequiredWindow(ctx, pos, &last);
    if (from < 0) break;
    int at = ScanFirst(t, from, last + 1);
    if (at <= last) return at;
    pos = last + 1;
  }
  return len + 1;
}

// The first position in [pos, end) whose character may begin a match, or `end` when there is
// none (any position when the pattern has no first-character filter).
template <class CHART>
int CRegexpT<CHART>::ScanFirst(const CHART* t, int pos, int end) const {
  if (!m_bFilter) return pos;
  if (m_nFirstSingle >= 0) {
    if (sizeof(CHART) == 1) {
      const void* p = pos < end ? std::memchr(t + pos, m_nFirstSingle, static_cast<size_t>(end - pos)) : nullptr;
      return p ? static_cast<int>(static_cast<const CHART*>(p) - t) : end;
    }
    const CHART want = static_cast<CHART>(m_nFirstSingle);
    for (; pos < end; ++pos)
      if (t[pos] == want) return pos;
    return end;
  }
  if (m_bWordStart) {
    for (; pos < end; ++pos) {
      unsigned c = TarnoChars<CHART>::Code(t[pos]);
      if (c < 256 && m_first[c] && (pos == 0 || !TarnoIsWord(TarnoChars<CHART>::Code(t[pos - 1])))) return pos;
    }
    return end;
  }
  for (; pos < end; ++pos) {
    unsigned c = TarnoChars<CHART>::Code(t[pos]);
    if (c < 256 ? m_first[c] : m_bFirstHigh) return pos;
  }
  return end;
}

template <class CHART>
MatchResult CRegexpT<CHART>::Match(Context* ctx, const Element* root) const {
  if (!ctx || !m_pRoot) return MatchResult();
  if (ctx->m_nStatus != MATCH_COMPLETE) return MatchResult::CutShort(ctx->m_nStatus);  // stopped
  if (!root) root = m_pRoot;
  const bool rtl = (m_nFlags & RIGHTTOLEFT) != 0;
  const int step = rtl ? -1 : 1;
  const int stop = rtl ? -1 : ctx->m_nLength + 1;
  if (ctx->m_captureIndex.GetSize() != m_nMaxGroup + 1) {  // a context prepared elsewhere
    ctx->m_captureStack.Clear();
    ctx->m_captureIndex.Resize(m_nMaxGroup + 1);
    ctx->m_captureIndex.Fill(-1);
  }
  const bool filter = !TARNO_TRACE && root == m_pRoot && !m_bStartPointOnly;
  // The top-level repeats' lists of explored ends serve every attempt of this search; a call
  // that goes on after a broken-off attempt (TakeBackAttempt) keeps those the earlier ones left.
#if TARNO_HOST && !TARNO_TRACE
  const bool resume = ctx->m_bResumeLists && root == m_pRoot && ctx->m_nKeptLists == m_nKeptLists;
  ctx->m_bResumeLists = false;
  if (!resume) ctx->KeepLists(root == m_pRoot ? m_nKeptLists : 0);
#else
  ctx->KeepLists(root == m_pRoot ? m_nKeptLists : 0);
#endif
  while (ctx->m_nCurrentPos != stop) {
    int pos = ctx->m_nCurrentPos;
    if (rtl ? pos < 0 : (pos < 0 || pos > ctx->m_nLength)) break;
    if (filter) {
      pos = NextCandidate(ctx, pos);
      if (pos == stop) break;
    }
    ctx->BeginAttempt(pos);
    int matched;
    try {
      matched = root->Match(ctx);
      // A match can run against the search direction (a call into a group that a look-around
      // holds in the other direction); one that would reach back over the previous match would
      // find text again, so this attempt's other ways of matching are tried instead.
      const int bound = ctx->m_nMatchBound;
      while (matched && (rtl ? ctx->m_nCurrentPos > bound : ctx->m_nCurrentPos < bound)) matched = root->MatchNext(ctx);
    } catch (const CNestingOverflow&) {
      // The attempt nested too deep. Whether it would have matched is unknown, and so is whether
      // the first match lies here or further on: the search stops without an answer.
      ctx->m_nCurrentPos = stop;
      ctx->m_nStatus = MATCH_NESTING_LIMIT;
      return MatchResult::CutShort(MATCH_NESTING_LIMIT);
    }
    if (matched) {
      int end = ctx->m_nCurrentPos;
      ctx->m_captureStack[2] = end;
      // The next search starts at the end of this match, and always at least one step past this
      // attempt's start: after an empty match, and after a match that ended behind its start (a
      // recursion into a group that a look-around holds runs in the other direction). So no
      // search can find the same match again, and every loop over successive matches ends.
      int next = rtl ? (end < pos ? end : pos - 1) : (end > pos ? end : pos + 1);
      ctx->m_nCurrentPos = next;
      ctx->m_nPrevLastMatchEnd = ctx->m_nLastMatchEnd;
      ctx->m_nLastMatchEnd = next;
      ctx->m_nMatchBound = rtl ? (end < pos ? end : pos) : (end > pos ? end : pos);
      return BuildResult(ctx);
    }
    if (m_bStartPointOnly) break;
    ctx->m_nCurrentPos = pos + step;
  }
  ctx->m_nCurrentPos = stop;
  return MatchResult();
}

template <class CHART>
MatchResult CRegexpT<CHART>::Match(const CHART* text, int start) const {
  Context ctx;
  if (!PrepareMatch(text, text ? Length(text) : 0, start, &ctx)) return MatchResult();
  return Match(&ctx);
}

// One attempt at the text start (the text end right to left) that takes the first alternative,
// in the pattern's own order, that spans the whole text.
template <class CHART>
MatchResult CRegexpT<CHART>::MatchExact(const CHART* text, int length) const {
  Context ctx;
  if (!PrepareMatch(text, length, -1, &ctx)) return MatchResult();
  const bool rtl = (m_nFlags & RIGHTTOLEFT) != 0;
  const int target = rtl ? 0 : ctx.m_nLength;
  ctx.BeginAttempt(rtl ? ctx.m_nLength : 0);
  try {
    int matched = m_pRoot->Match(&ctx);
    while (matched && ctx.m_nCurrentPos != target) matched = m_pRoot->MatchNext(&ctx);
    if (!matched) return MatchResult();
  } catch (const CNestingOverflow&) {
    return MatchResult::CutShort(MATCH_NESTING_LIMIT);
  }
  ctx.m_captureStack[2] = ctx.m_nCurrentPos;
  return BuildResult(&ctx);
}

template <class CHART>
int CRegexpT<CHART>::Count(const CHART* text, int length, int limit) const {
  Context ctx;
  if (!PrepareMatch(text, length, -1, &ctx)) return 0;
  int n = 0;
  while (limit < 0 || n < limit) {
    MatchResult m = Match(&ctx);
    if (m.HitNestingLimit()) return -1;
    if (!m.IsMatched()) break;
    ++n;
  }
  return n;
}

template <class CHART>
std::vector<std::pair<int, int>> CRegexpT<CHART>::Split(const CHART* text, int length, int limit) const {
  std::vector<std::pair<int, int>> matches, pieces;
  Context ctx;
  if (!text || length < 0) length = 0;
  if (PrepareMatch(text, length, -1, &ctx)) {
    while (limit < 0 || static_cast<int>(matches.size()) < limit) {
      MatchResult m = Match(&ctx);
      if (m.HitNestingLimit()) return pieces;  // empty: no answer
      if (!m.IsMatched()) break;
      matches.push_back(std::make_pair(m.GetStart(), m.GetEnd()));
    }
  }
  if (m_nFlags & RIGHTTOLEFT) std::reverse(matches.begin(), matches.end());
  int prev = 0;
  for (size_t i = 0; i < matches.size(); ++i) {
    int start = matches[i].first < prev ? prev : matches[i].first;
    pieces.push_back(std::make_pair(prev, start));
    if (matches[i].second > prev) prev = matches[i].second;
  }
  pieces.push_back(std::make_pair(prev, length));
  return pieces;
}

// The escapes of a replace-to text are found with a pattern of the engine itself, compiled once
// for the life of the process.
template <class CHART>
std::vector<ReplaceToken> CRegexpT<CHART>::ParseReplaceTo(const CHART* replaceTo, int length) const {
  static const CRegexpT escapes([] {
    static const char kPattern[] = "\\$(?:[$&`'+_\\d]|\\{.*?\\})";
    static CHART wide[sizeof kPattern];
    for (size_t i = 0; i < sizeof kPattern; ++i) wide[i] = static_cast<CHART>(kPattern[i]);
    return static_cast<const CHART*>(wide);
  }());
  std::vector<ReplaceToken> out;
  if (!replaceTo || length <= 0) return out;
  auto literal = [&out](int a, int b) {
    if (b > a) out.push_back(ReplaceToken{REPLACE_LITERAL, 0, a, b});
  };
  Context ctx;
  escapes.PrepareMatch(replaceTo, length, 0, &ctx);
  int lit = 0;
  for (;;) {
    MatchResult m = escapes.Match(&ctx);
    if (!m.IsMatched()) break;
    int s = m.GetStart(), e = m.GetEnd();
    unsigned c = TarnoChars<CHART>::Code(replaceTo[s + 1]);
    literal(lit, s);
    if (c == '$') {
      out.push_back(ReplaceToken{REPLACE_DOLLAR, '$', s, e});
      lit = e;
    } else if (c == '{') {
      int g = GetNamedGroupNumber(replaceTo + s + 2, e - s - 3);
      if (g >= 1 && g <= m_nMaxGroup)
        out.push_back(ReplaceToken{REPLACE_GROUP, g, s, e});
      else
        out.push_back(ReplaceToken{REPLACE_LITERAL, 0, s, e});  // an unknown name stays text
      lit = e;
    } else if (c >= '0' && c <= '9') {
      // Up to three digits; while the number exceeds the highest group its last digit is dropped
      // (and stays text). When that leaves 0, the '$' alone is text.
      int digits = 0, number = 0;
      while (digits < 3 && s + 1 + digits < length) {
        unsigned d = TarnoChars<CHART>::Code(replaceTo[s + 1 + digits]);
        if (d < '0' || d > '9') break;
        number = number * 10 + static_cast<int>(d - '0');
        ++digits;
      }
      bool dropped = false;
      while (digits > 0 && number > m_nMaxGroup) {
        number /= 10;
        --digits;
        dropped = true;
      }
      if (digits == 0 || (dropped && number == 0)) {
        out.push_back(ReplaceToken{REPLACE_LITERAL, 0, s, s + 1});
        lit = s + 1;
      } else {
        out.push_back(ReplaceToken{REPLACE_GROUP, number, s, s + 1 + digits});
        lit = s + 1 + digits;
      }
      ctx.m_nCurrentPos = lit;
    } else {
      out.push_back(ReplaceToken{REPLACE_SPECIAL, static_cast<int>(c), s, e});
      lit = e;
    }
  }
  literal(lit, length);
  return out;
}

template <class CHART>
void CRegexpT<CHART>::AppendPieces(CBufferT<CHART>& out, const std::vector<ReplaceToken>& program,
                                   const CHART* replaceTo, const CHART* text, int length,
                                   const MatchResult& m) const {
  auto span = [&](int a, int b) {
    if (a >= 0 && b > a && b <= length) out.Append(text + a, b - a);
  };
  for (size_t i = 0; i < program.size(); ++i) {
    const ReplaceToken& p = program[i];
    switch (p.kind) {
      case REPLACE_LITERAL: out.Append(replaceTo + p.start, p.end - p.start); break;
      case REPLACE_DOLLAR: out.Push(replaceTo[p.start]); break;
      case REPLACE_GROUP: span(m.GetGroupStart(p.value), m.GetGroupEnd(p.value)); break;
      default:
        switch (p.value) {
          case '&': span(m.GetStart(), m.GetEnd()); break;
          case '`': span(0, m.GetStart()); break;
          case '\'': span(m.GetEnd(), length); break;
          case '_': span(0, length); break;
          case '+': {
            int g = m.MaxGroupNumber();
            while (g > 0 && m.GetGroupStart(g) < 0) --g;
            span(m.GetGroupStart(g), m.GetGroupEnd(g));
            break;
          }
        }
    }
  }
}

template <class CHART>
CHART* CRegexpT<CHART>::Replace(const CHART* text, int length, const CHART* replaceTo, int replaceLength,
                                int& resultLength, int start, int count, MatchResult* result,
                                Context* ctx) const {
  resultLength = 0;
  if (!m_pRoot) {
    if (result) *result = MatchResult();
    return nullptr;
  }
  if (!text || length < 0) length = 0;
  if (!replaceTo || replaceLength < 0) replaceLength = 0;
  std::vector<ReplaceToken> program = ParseReplaceTo(replaceTo, replaceLength);
  Context local;
  Context* c = ctx ? ctx : &local;
  PrepareMatch(text, length, start, c);

  CBufferT<CHART> out;
  MatchResult last;
  int made = 0, lastStart = -1, lastEnd = -1;
  if (!(m_nFlags & RIGHTTOLEFT)) {
    int copy = 0;
    while (count < 0 || made < count) {
      last = Match(c);
      if (!last.IsMatched()) break;
      int s = last.GetStart() < copy ? copy : last.GetStart();
      out.Append(text + copy, s - copy);
      lastStart = out.GetSize();
      AppendPieces(out, program, replaceTo, text, length, last);
      lastEnd = out.GetSize();
      if (last.GetEnd() > copy) copy = last.GetEnd();
      ++made;
    }
    out.Append(text + copy, length - copy);
  } else {
    // Matches come from right to left; the parts are joined so that the text reads left to right.
    std::vector<std::pair<int, int>> spans;
    std::vector<CBufferT<CHART>> pieces;
    int copy = length;
    while (count < 0 || made < count) {
      last = Match(c);
      if (!last.IsMatched()) break;
      int e = last.GetEnd() > copy ? copy : last.GetEnd();
      int s = last.GetStart() > e ? e : last.GetStart();
      spans.push_back(std::make_pair(s, e));
      pieces.emplace_back();
      AppendPieces(pieces.back(), program, replaceTo, text, length, last);
      copy = s;
      ++made;
    }
    int prev = 0;
    for (int i = made - 1; i >= 0; --i) {
      out.Append(text + prev, spans[i].first - prev);
      if (i == made - 1) lastStart = out.GetSize();
      out.Append(pieces[i].GetBuffer(), pieces[i].GetSize());
      if (i == made - 1) lastEnd = out.GetSize();
      prev = spans[i].second;
    }
    out.Append(text + prev, length - prev);
  }
  if (last.HitNestingLimit()) {
    // Cut short: the text after the last replacement made may hold matches that were not
    // found. No string, rather than one that looks complete.
    if (result) *result = last;
    return nullptr;
  }
  resultLength = out.GetSize();
  if (result) {
    *result = last;
    result->m_result.Push(resultLength);
    result->m_result.Push(made);
    result->m_result.Push(lastStart);
    result->m_result.Push(lastEnd);
  }
  CHART* s = new CHART[resultLength + 1];
  if (resultLength) std::memcpy(s, out.GetBuffer(), sizeof(CHART) * resultLength);
  s[resultLength] = CHART(0);
  return s;
}

TARNO_NAMESPACE_END

#endif
