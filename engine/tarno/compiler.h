// The pattern compiler: a tokenizer with two tokens of look-ahead feeding a recursive-descent
// parser, then the passes that number named groups and resolve names and recursion targets, and
// a finishing pass that prepares the matcher's fast paths. Every input compiles: each malformed
// construct has a defined reading. Covered by engine/tests/compile_test.cpp and the fuzzer in
// fuzz/compile_fuzz.cpp.
#ifndef TARNO_COMPILER_H
#define TARNO_COMPILER_H

#include <cstring>

#include "regexp.h"

TARNO_NAMESPACE_BEGIN

template <class CHART>
void CRegexpT<CHART>::Clear() {
  for (int i = 0; i < m_pool.GetSize(); ++i) delete m_pool[i];
  m_pool.Clear();
  for (int i = 0; i < 17; ++i) m_stock[i] = nullptr;
  m_pRoot = nullptr;
  m_nMaxGroup = 0;
  m_groupTable.Clear();
  m_nameNumbers.clear();
  m_groupByNumber.clear();
  m_bFilter = false;
  m_nFirstSingle = -1;
  m_nAnchor = 0;
  m_bWordStart = false;
  m_required.on = false;
}

template <class CHART>
void CRegexpT<CHART>::Compile(const CHART* pattern, int length, int flags, bool null) {
  Clear();
  m_nFlags = flags;
  if (null) return;
  if (length < 0 || !pattern) length = 0;
  m_pPattern = pattern;
  m_nPatternLength = length;
  m_nUnnamed = 0;
  m_nParseDepth = 0;
  m_unnamedGroups.Clear();
  m_namedGroups.clear();
  m_recursions.Clear();
  m_namedBackrefs.Clear();
  m_namedConditionals.Clear();

  TokState s = {0, 0, 0, 0, 0, -1};
  Prime(s);
  int f = flags;
  // A special ')' that closes nothing ends the pattern; the rest is ignored.
  m_pRoot = ParseAlternative(f);
  Resolve();
  Finish();

  m_pPattern = nullptr;
  m_unnamedGroups.Clear();
  m_namedGroups.clear();
  m_recursions.Clear();
  m_namedBackrefs.Clear();
  m_namedConditionals.Clear();
  m_retryState.clear();
  m_firstState.clear();
}

// ---------------------------------------------------------------------------------------------
// Tokenizer

template <class CHART>
typename CRegexpT<CHART>::Token CRegexpT<CHART>::ReadToken(TokState& s) const {
  const int len = m_nPatternLength;
  for (;;) {
    if (s.pos >= len) {
      Token end = {0, 1, len, 0};
      return end;
    }
    unsigned c = At(s.pos);
    Token t = {c, 0, s.pos, 1};
    if (s.quote) {
      if (c == '\\' && At(s.pos + 1) == 'E') {
        s.quote = 0;
        s.caseConv = 0;
        s.quoteFrom = -1;
        s.pos += 2;
        continue;
      }
      if (s.caseConv == 1) t.ch = TarnoLower<CHART>(c);
      if (s.caseConv == 2) t.ch = TarnoUpper<CHART>(c);
      s.pos += 1;
      // A run's first token starts at its \Q and its last one ends after its \E: the elements
      // built from quoted text then span the quoting too, so that replacing an element's span
      // never leaves half of a quote behind (a \Q without its text would quote what follows).
      if (s.quoteFrom >= 0) {
        t.start = s.quoteFrom;
        s.quoteFrom = -1;
      }
      if (At(s.pos) == '\\' && At(s.pos + 1) == 'E') {
        s.quote = 0;
        s.caseConv = 0;
        s.pos += 2;
      }
      t.length = s.pos - t.start;
      s.after = 0;
      return t;
    }
    if (m_nFlags & EXTENDED) {
      if (IsSpace(c)) {
        ++s.pos;
        continue;
      }
      if (c == '#') {
        while (s.pos < len && At(s.pos) != '\n' && At(s.pos) != '\r') ++s.pos;
        continue;
      }
    }
    switch (c) {
      case '$': case ')': case '*': case '+': case '.': case '?': case '{': case '|': case '}':
        t.special = s.depth == 0;
        break;
      case '(':
        if (At(s.pos + 1) == '?' && At(s.pos + 2) == '#') {  // comment up to and including ')'
          int p = s.pos + 3;
          while (p < len && At(p) != ')') ++p;
          s.pos = p < len ? p + 1 : len;
          continue;
        }
        t.special = s.depth == 0;
        break;
      case '-':
        t.special = s.depth > 0;
        break;
      case ':':
        t.special = s.after == 1;
        break;
      case '[':
        if (s.depth == 0 || At(s.pos + 1) == ':') {
          t.special = 1;
          ++s.depth;
        }
        break;
      case ']':
        if (s.depth > 0) {
          t.special = 1;
          --s.depth;
        }
        break;
      case '^':
        t.special = s.depth == 0 || s.after == 1 || s.after == 2;
        break;
      case '\\': {
        if (s.pos + 1 >= len) break;  // a lone backslash at the end is literal
        unsigned d = At(s.pos + 1);
        if (IsDigit(d)) {  // back-reference; the digits follow as tokens of their own
          t.special = 1;
          break;
        }
        t.length = 2;
        t.ch = d;
        switch (d) {
          case 'A': case 'B': case 'D': case 'S': case 'W': case 'Z':
          case 'd': case 'g': case 'k': case 's': case 'w': case 'z':
            t.special = 1;
            break;
          case 'G':
            if (s.depth > 0) {  // dropped inside a class
              s.pos += 2;
              continue;
            }
            t.special = 1;
            break;
          case 'b':
            if (s.depth == 0)
              t.special = 1;
            else
              t.ch = 8;
            break;
          case 'E':
            s.pos += 2;
            continue;
          case 'Q':
            s.quote = 1;
            s.quoteFrom = s.pos;
            s.pos += 2;
            continue;
          case 'L':
          case 'U':
            s.quote = 1;
            if (!s.caseConv) s.caseConv = d == 'L' ? 1 : 2;
            s.quoteFrom = s.pos;
            s.pos += 2;
            continue;
          case 'a': t.ch = 7; break;
          case 'e': t.ch = 27; break;
          case 'f': t.ch = 12; break;
          case 'n': t.ch = 10; break;
          case 'r': t.ch = 13; break;
          case 't': t.ch = 9; break;
          case 'v': t.ch = 11; break;
          case 'x':
          case 'u': {
            int p = s.pos + 2;
            unsigned v = 0;
            int digits = 0;
            if (At(p) == '{') {
              ++p;
              while (digits < 8 && HexValue(At(p)) >= 0) {
                v = v * 16 + HexValue(At(p));
                ++p;
                ++digits;
              }
              while (p < len && At(p) != '}') ++p;
              if (p < len) ++p;
              t.ch = v & TarnoChars<CHART>::MaxCode();
              t.length = p - s.pos;
              break;
            }
            int most = d == 'x' ? 2 : 4;
            while (digits < most && HexValue(At(p)) >= 0) {
              v = v * 16 + HexValue(At(p));
              ++p;
              ++digits;
            }
            if (digits > 0) {
              t.ch = v & TarnoChars<CHART>::MaxCode();
              t.length = 2 + digits;
            }
            break;
          }
          default:
            break;  // any other escaped character stands for itself
        }
        break;
      }
      default:
        break;
    }
    s.after = (t.special && c == '[') ? 1 : (t.special && c == ':' && s.after == 1) ? 2 : 0;
    s.pos += t.length;
    return t;
  }
}

template <class CHART>
void CRegexpT<CHART>::Prime(const TokState& s) {
  TokState st = s;
  for (int i = 0; i < 3; ++i) {
    m_tok[i] = ReadToken(st);
    m_after[i] = st;
  }
}

template <class CHART>
void CRegexpT<CHART>::Advance() {
  m_nConsumedEnd = m_tok[0].start + m_tok[0].length;
  m_tok[0] = m_tok[1];
  m_after[0] = m_after[1];
  m_tok[1] = m_tok[2];
  m_after[1] = m_after[2];
  TokState st = m_after[1];
  m_tok[2] = ReadToken(st);
  m_after[2] = st;
}

// Continues tokenizing at `pos` (after the parser read raw characters there), with the state
// after the current token and its class depth changed by `depthChange`.
template <class CHART>
void CRegexpT<CHART>::ResumeAt(int pos, int depthChange) {
  m_nConsumedEnd = pos;
  TokState st = m_after[0];
  st.pos = pos;
  st.depth += depthChange;
  if (st.depth < 0) st.depth = 0;
  st.after = 0;
  Prime(st);
}

// ---------------------------------------------------------------------------------------------
// Element helpers

// An empty element: the shared stock one in the plain build, unless it has to carry an error;
// in the host build always one of its own, so that the tree shows it at its place.
template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::NewEmpty(int start, int end, int error) {
#if !TARNO_HOST
  if (!error) return StockOrNew(0, start, end);
#endif
  Element* e = Add(new CEmptyElement<CHART>(), start, end);
  TarnoSetError(e, error);
  return e;
}

template <class CHART>
bool CRegexpT<CHART>::IsStock(const Element* e) const {
  for (int i = 0; i < 17; ++i)
    if (m_stock[i] == e) return true;
  return false;
}

template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::StockOrNew(int index, int start, int end) {
  if (index < 0 || index > 16) index = 0;
#if TARNO_HOST
  if (index == 0) return Add(new CEmptyElement<CHART>(), start, end);
  return MakeStockClass(index, start, end);
#else
  if (!m_stock[index]) {
    if (index == 0)
      m_stock[0] = Add(new CEmptyElement<CHART>(), start, end);
    else
      m_stock[index] = MakeStockClass(index, start, end);
  }
  return m_stock[index];
#endif
}

// Stock classes 1 to 8 match left to right, 9 to 16 are the same classes right to left: 1/9 any
// character, 2/10 any but LF, 3/11 \w, 4/12 \W, 5/13 \s, 6/14 \S, 7/15 \d, 8/16 \D. The
// right-to-left \s also holds form feed and vertical tab.
template <class CHART>
CCharsetElement<CHART>* CRegexpT<CHART>::MakeStockClass(int index, int start, int end) {
  bool rtl = index >= 9;
  int base = rtl ? index - 8 : index;
  bool yes = !(base == 1 || base == 2 || base == 4 || base == 6 || base == 8);
  CCharsetElement<CHART>* cs = new CCharsetElement<CHART>(rtl, yes);
  switch (base) {
    case 2: cs->AddChar('\n'); break;
    case 3:
    case 4:
      cs->AddRange('A', 'Z');
      cs->AddRange('a', 'z');
      cs->AddRange('0', '9');
      cs->AddChar('_');
      break;
    case 5:
    case 6:
      cs->AddChar(' ');
      cs->AddChar('\t');
      cs->AddChar('\r');
      cs->AddChar('\n');
      if (rtl) {
        cs->AddChar('\f');
        cs->AddChar('\v');
      }
      break;
    case 7:
    case 8:
      cs->AddRange('0', '9');
      break;
    default:
      break;  // 1: the negated empty class
  }
  return Add(cs, start, end);
}

template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::Wrap(Element* content, int start, int end, int error) {
#if TARNO_HOST
  Element* d = Add(new CDelegateElement<CHART>(content, DELEGATE_NONCAPTURE), start, end);
  TarnoSetError(d, error);
  return d;
#else
  (void)start;
  (void)end;
  if (!IsStock(content)) TarnoSetError(content, error);
  return content;
#endif
}

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

// ---------------------------------------------------------------------------------------------
// Parser

// Composite spans are taken from where their parts were written, not from the parts' own spans:
// in the plain build a part may be a shared stock element whose span is that of its first
// occurrence, or the content of a non-capture group, which has no element of its own.
template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseAlternative(int& flags) {
  int start, end;
  Element* first = ParseSequence(flags, &start, &end);
  if (!IsSpecial(Cur(), '|')) return first;
  CAlternativeElement<CHART>* alt = new CAlternativeElement<CHART>();
  alt->m_elements.Push(first);
  while (IsSpecial(Cur(), '|')) {
    Advance();
    int from;
    alt->m_elements.Push(ParseSequence(flags, &from, &end));
  }
  return Add(alt, start, end);
}

template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseSequence(int& flags, int* start, int* end) {
  bool rtl = (flags & RIGHTTOLEFT) != 0;
  CBufferT<Element*> items;
  int first = Cur().start, last = first;
  while (!IsEnd(Cur()) && !IsSpecial(Cur(), '|') && !IsSpecial(Cur(), ')')) {
    int from;
    items.Push(ParseItem(flags, &from, &last));
    if (items.GetSize() == 1) first = from;
  }
  if (start) *start = first;
  if (end) *end = last;
  if (items.IsEmpty()) return NewEmpty(first, first);
  if (items.GetSize() == 1) return items[0];
  CListElement<CHART>* list = new CListElement<CHART>(rtl);
  for (int i = 0; i < items.GetSize(); ++i) list->m_elements.Push(items[i]);
  return Add(list, first, last);
}

// Parses one item and gives the span where it was written. That is the element's own span,
// except for a shared stock element and for what stands for a non-capture group in the plain
// build: there it runs from the item's first token to the last character the item consumed.
template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseItem(int& flags, int* start, int* end) {
  const int from = Cur().start;
  Element* e = ParseItemElement(flags);
  if (IsStock(e) || e->m_nStart != from) {
    *start = from;
    *end = m_nConsumedEnd > e->m_nEnd ? m_nConsumedEnd : e->m_nEnd;
  } else {
    *start = e->m_nStart;
    *end = e->m_nEnd;
  }
  return e;
}

template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseItemElement(int& flags) {
  Token t = Cur();
  bool rtl = (flags & RIGHTTOLEFT) != 0;
  Element* atom = nullptr;
  if (!t.special) {
    atom = ParseString(flags);
  } else {
    int end = t.start + t.length;
    int stock = -1;
    switch (t.ch) {
      case '$': atom = Add(new CBoundaryElement<CHART>((flags & MULTILINE) ? BOUNDARY_LINE_END : BOUNDARY_TEXT_END, true), t.start, end); break;
      case '^': atom = Add(new CBoundaryElement<CHART>((flags & MULTILINE) ? BOUNDARY_LINE_START : BOUNDARY_TEXT_START, true), t.start, end); break;
      case 'A': atom = Add(new CBoundaryElement<CHART>(BOUNDARY_TEXT_START, true), t.start, end); break;
      case 'z': atom = Add(new CBoundaryElement<CHART>(BOUNDARY_TEXT_END, true), t.start, end); break;
      case 'Z': atom = Add(new CBoundaryElement<CHART>(BOUNDARY_TEXT_END_LF, true), t.start, end); break;
      case 'b': atom = Add(new CBoundaryElement<CHART>(BOUNDARY_WORD, true), t.start, end); break;
      case 'B': atom = Add(new CBoundaryElement<CHART>(BOUNDARY_WORD, false), t.start, end); break;
      case 'G':
        if (flags & GLOBAL)
          atom = Add(new CLastMatchElement<CHART>(), t.start, end);
        else
          atom = NewEmpty(t.start, end);
        break;
      case '(':
        if (m_nParseDepth < TARNO_MAX_PARSE_DEPTH) return ParseQuantifier(ParseGroup(flags), t.start, flags);
        break;  // too deep: a literal '('
      case '[':
        if (m_nParseDepth < TARNO_MAX_PARSE_DEPTH) return ParseQuantifier(ParseClass(flags), t.start, flags);
        ResumeAt(t.start + 1, -1);  // too deep: a literal '[' outside any class
        atom = Add(new CStringElement<CHART>(m_pPattern + t.start, 1, rtl, (flags & IGNORECASE) != 0), t.start, end);
        return ParseQuantifier(atom, t.start, flags);
      case '.': stock = (flags & SINGLELINE) ? 1 : 2; break;
      case 'w': stock = 3; break;
      case 'W': stock = 4; break;
      case 's': stock = 5; break;
      case 'S': stock = 6; break;
      case 'd': stock = 7; break;
      case 'D': stock = 8; break;
      case '\\':
      case 'g':
      case 'k':
        return ParseQuantifier(ParseBackref(flags), t.start, flags);
      default:
        break;  // a quantifier with nothing to repeat and other stray metacharacters: literal
    }
    if (stock >= 0) atom = StockOrNew(rtl ? stock + 8 : stock, t.start, end);
    if (!atom) {
      CHART ch = static_cast<CHART>(t.ch);
      atom = Add(new CStringElement<CHART>(&ch, 1, rtl, (flags & IGNORECASE) != 0), t.start, end);
    }
    Advance();
  }
  return ParseQuantifier(atom, t.start, flags);
}

// Literal tokens gathered into one string, except that the character a quantifier follows forms
// a string of its own (so "abc*" is "ab" followed by a repeat of "c").
template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseString(int flags) {
  CBufferT<CHART> chars;
  int start = Cur().start, end = start;
  while (!Cur().special) {
    chars.Push(static_cast<CHART>(Cur().ch));
    end = Cur().start + Cur().length;
    bool stop = !Peek(1).special && IsQuantifier(Peek(2));
    Advance();
    if (stop) break;
  }
  return Add(new CStringElement<CHART>(chars.GetBuffer(), chars.GetSize(), (flags & RIGHTTOLEFT) != 0,
                                       (flags & IGNORECASE) != 0),
             start, end);
}

template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseQuantifier(Element* atom, int atomStart, int flags) {
  Token t = Cur();
  if (!IsQuantifier(t)) return atom;
  int min = 0, max = 0, end = t.start + 1, error = 0;
  bool braces = t.ch == '{';
  Advance();
  if (t.ch == '*') {
    max = TARNO_INFINITE;
  } else if (t.ch == '+') {
    min = 1;
    max = TARNO_INFINITE;
  } else if (t.ch == '?') {
    max = 1;
  } else {
    CBufferT<unsigned> text;
    while (!IsEnd(Cur()) && !IsSpecial(Cur(), '}')) {
      text.Push(Cur().ch);
      Advance();
    }
    if (IsEnd(Cur())) {
      error = ERROR_QUANTIFIER_BRACE;
      end = m_nPatternLength;
    } else {
      end = Cur().start + 1;
      Advance();
    }
    int i = 0, n = text.GetSize();
    auto skip = [&]() {
      while (i < n && IsSpace(text[i])) ++i;
    };
    auto number = [&]() {
      int v = 0;
      for (int d = 0; d < 6 && i < n && IsDigit(text[i]); ++d, ++i) v = v * 10 + static_cast<int>(text[i] - '0');
      return v;
    };
    skip();
    if (i < n && IsDigit(text[i])) {
      min = number();
      skip();
      if (i < n && text[i] == ',') {
        ++i;
        skip();
        max = (i < n && IsDigit(text[i])) ? number() : TARNO_INFINITE;
      } else {
        max = min;
      }
      if (max < min) max = min;
    }
  }
  // {n} with minimum = maximum takes a '?' or '+' right after it without effect; that holds for
  // {0} as well, which replaces the whole item, suffix included, by the empty element.
  if (braces && min == max && (IsSpecial(Cur(), '?') || IsSpecial(Cur(), '+'))) {
    end = Cur().start + 1;
    Advance();
  }
  if (max == 0) return NewEmpty(atomStart, end, error);  // the atom stays in the pool
  CRepeatBase<CHART>* e;
  if (braces && min == max) {
    e = Add(new CFixedRepeatElement<CHART>(atom, min), atomStart, end);
  } else {
    int extra = max == TARNO_INFINITE ? TARNO_INFINITE - min : max - min;
    if (IsSpecial(Cur(), '?')) {
      end = Cur().start + 1;
      Advance();
      e = Add(new CReluctantElement<CHART>(atom, min, extra), atomStart, end);
    } else if (IsSpecial(Cur(), '+')) {
      end = Cur().start + 1;
      Advance();
      e = Add(new CPossessiveElement<CHART>(atom, min, extra), atomStart, end);
    } else {
      e = Add(new CGreedyElement<CHART>(atom, min, extra), atomStart, end);
    }
  }
  e->m_bRightLeft = (flags & RIGHTTOLEFT) != 0;
  TarnoSetError(e, error);
  return e;
}

// Parses a group's content from `bodyStart` up to and including its ')'. `end` receives the
// position after the ')' (the pattern length when it is missing, with ERROR_GROUP_PAREN).
template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseGroupBody(int start, int bodyStart, int flags,
                                                                   int* end, int* error) {
  (void)start;
  ResumeAt(bodyStart);
  int f = flags;
  Element* content = ParseAlternative(f);
  if (IsSpecial(Cur(), ')')) {
    *end = Cur().start + 1;
    *error = 0;
    Advance();
  } else {
    *end = m_nPatternLength;
    *error = ERROR_GROUP_PAREN;
  }
  return content;
}

template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseGroup(int& flags) {
  struct DepthGuard {
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
    int& depth;
  } guard(m_nParseDepth);

  const int start = Cur().start;
  const int p = start + 1;
  if (At(p) != '?') return ParseCaptureGroup(start, p, ++m_nUnnamed, nullptr, 0, false, flags, 0);

  int q = p + 1;
  while (IsSpace(At(q))) ++q;  // white space after "(?" is skipped
  unsigned c = At(q);
  int end, error;
  auto named = [&](int nameStart, unsigned terminator) {
    int i = nameStart;
    while (i < m_nPatternLength && At(i) != terminator) ++i;
    bool cut = i >= m_nPatternLength;
    return ParseCaptureGroup(start, cut ? m_nPatternLength : i + 1, -1, m_pPattern + nameStart, i - nameStart,
                             true, flags, cut ? ERROR_GROUP_NAME : 0);
  };
  auto look = [&](int bodyStart, int f, bool positive) -> Element* {
    Element* content = ParseGroupBody(start, bodyStart, f, &end, &error);
    Element* e = Add(new CAssertionElement<CHART>(content, positive), start, end);
    TarnoSetError(e, error);
    return e;
  };
  switch (c) {
    case ':': {
      Element* content = ParseGroupBody(start, q + 1, flags, &end, &error);
      return Wrap(content, start, end, error);
    }
    case '=':
    case '!':
      return look(q + 1, flags & ~RIGHTTOLEFT, c == '=');
    case '<':
      if (At(q + 1) == '=' || At(q + 1) == '!') return look(q + 2, flags | RIGHTTOLEFT, At(q + 1) == '=');
      return named(q + 1, '>');
    case '\'':
      return named(q + 1, '\'');
    case 'P':
      if (At(q + 1) == '<') return named(q + 2, '>');
      return ParseModifier(start, q, flags);
    case '>': {
      Element* content = ParseGroupBody(start, q + 1, flags, &end, &error);
      Element* e = Add(new CIndependentElement<CHART>(content), start, end);
      TarnoSetError(e, error);
      return e;
    }
    case '(':
      return ParseConditional(start, q, flags);
    case 'R':
      return ParseRecursion(start, q + 1, false);
    default:
      if (IsDigit(c)) return ParseRecursion(start, q, true);
      return ParseModifier(start, q, flags);
  }
}

template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseCaptureGroup(int start, int bodyStart, int number,
                                                                      const CHART* name, int nameLength,
                                                                      bool named, int flags, int nameError) {
  bool rtl = (flags & RIGHTTOLEFT) != 0;
  // The textual left bracket closes the capture when matching right to left.
  CBracketElement<CHART>* open = Add(new CBracketElement<CHART>(number, rtl), start, bodyStart);
  // Named groups are numbered in order of appearance, so this group's slot is taken before its
  // body can add nested named groups; it is filled in once the body is parsed.
  size_t slot = m_namedGroups.size();
  if (named) m_namedGroups.emplace_back();
  int end, error;
  Element* content = ParseGroupBody(start, bodyStart, flags, &end, &error);
  CBracketElement<CHART>* close =
      Add(new CBracketElement<CHART>(number, !rtl), error ? m_nPatternLength : end - 1, end);
  CListElement<CHART>* list = new CListElement<CHART>(rtl);
  list->m_elements.Push(open);
  list->m_elements.Push(content);
  list->m_elements.Push(close);
  Add(list, start, end);
  TarnoSetError(list, nameError);
  TarnoSetError(list, error);
  if (!named) {
    int have = m_unnamedGroups.GetSize();
    if (have < number) {
      m_unnamedGroups.Resize(number);
      for (int i = have; i < number; ++i) m_unnamedGroups[i] = nullptr;
    }
    m_unnamedGroups[number - 1] = list;
    return list;
  }
  NamedGroup& g = m_namedGroups[slot];  // taken only now: nested groups may have grown the vector
  g.list = list;
  g.open = open;
  g.close = close;
  g.number = -1;
  g.balancing = false;
  int own = nameLength;
#if TARNO_HOST
  // A balancing group "(?<name-other>...)" consumes the latest capture of the other group.
  for (int i = 0; i < nameLength; ++i) {
    if (TarnoChars<CHART>::Code(name[i]) == '-') {
      own = i;
      g.balancing = true;
      g.other.Append(name + i + 1, nameLength - i - 1);
      break;
    }
  }
#endif
  g.name.Append(name, own);
  open->m_szName.Append(name, own);
  close->m_szName.Append(name, own);
  return list;
}

template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseConditional(int start, int condOpen, int flags) {
  CConditionalElement<CHART>* cond = new CConditionalElement<CHART>();
  int error = 0;
  int i = condOpen + 1;
  while (IsSpace(At(i))) ++i;
  int j = i, digits = 0, number = 0;
  while (IsDigit(At(j))) {
    if (number < 100000000) number = number * 10 + static_cast<int>(At(j) - '0');
    ++digits;
    ++j;
  }
  int k = j;
  while (IsSpace(At(k))) ++k;
  unsigned a1 = At(condOpen + 1), a2 = At(condOpen + 2), a3 = At(condOpen + 3);
  if (digits > 0 && At(k) == ')') {
    cond->m_nGroup = number;
    ResumeAt(k + 1);
  } else if (a1 == '?' && (a2 == '=' || a2 == '!' || (a2 == '<' && (a3 == '=' || a3 == '!')))) {
    ResumeAt(condOpen);  // the current token is now the assertion's '('
    int f = flags;
    cond->m_pCondition = ParseGroup(f);
  } else {
    // (?(name)...): the condition text doubles as a positive look-ahead, used when no group has
    // that name.
    ResumeAt(condOpen + 1);
    int f = flags & ~RIGHTTOLEFT;
    ++m_nParseDepth;
    Element* content = ParseAlternative(f);
    --m_nParseDepth;
    int textEnd = Cur().start, aEnd, aError = 0;
    if (IsSpecial(Cur(), ')')) {
      aEnd = Cur().start + 1;
      Advance();
    } else {
      aEnd = m_nPatternLength;
      aError = ERROR_GROUP_PAREN;
    }
    Element* assertion = Add(new CAssertionElement<CHART>(content, true), condOpen, aEnd);
    TarnoSetError(assertion, aError);
    cond->m_pCondition = assertion;
    int a = condOpen + 1, b = textEnd;
    while (a < b && IsSpace(At(a))) ++a;
    while (b > a && IsSpace(At(b - 1))) --b;
    cond->m_szName.Append(m_pPattern + a, b - a);
    m_namedConditionals.Push(cond);
  }
  if (IsEnd(Cur())) error = ERROR_CONDITION;
  int f = flags;
  cond->m_pYes = ParseSequence(f);
  if (IsSpecial(Cur(), '|')) {
    Advance();
    cond->m_pNo = ParseAlternative(f);
  }
  int end;
  if (IsSpecial(Cur(), ')')) {
    end = Cur().start + 1;
    Advance();
  } else {
    end = m_nPatternLength;
    if (!error) error = ERROR_GROUP_PAREN;
  }
  Add(cond, start, end);
  TarnoSetError(cond, error);
  return cond;
}

// (?R) (?R0) (?Rn) (?R<name>) (?R'name') when !numbered (p is after the 'R'), (?n) when numbered.
template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseRecursion(int start, int p, bool numbered) {
  const int len = m_nPatternLength;
  int number = 0, end, error = 0;
  CBufferT<CHART> name;
  if (!numbered && (At(p) == '<' || At(p) == '\'')) {
    unsigned term = At(p) == '<' ? '>' : '\'';
    int i = p + 1;
    while (i < len && At(i) != term) ++i;
    name.Append(m_pPattern + p + 1, i - p - 1);
    if (i >= len) {
      error = ERROR_RECURSION_NAME;
      end = len;
    } else {
      int j = i + 1;
      while (j < len && At(j) != ')') ++j;
      end = j < len ? j + 1 : len;
      if (j >= len) error = ERROR_GROUP_PAREN;
    }
    number = ParseNumericName(name.GetBuffer(), name.GetSize());
    if (number >= 0) name.Clear();
  } else {
    int i = p;
    while (IsDigit(At(i))) {
      if (number < 100000000) number = number * 10 + static_cast<int>(At(i) - '0');
      ++i;
    }
    while (i < len && At(i) != ')') ++i;  // anything else before ')' is ignored
    end = i < len ? i + 1 : len;
    if (i >= len) error = numbered ? ERROR_RECURSION_N : ERROR_RECURSION_R;
  }
  // A name that is no number is looked up after parsing; an empty one names no group. Neither
  // may read as -1, the mark of a non-capture group's wrapper.
  CDelegateElement<CHART>* d = new CDelegateElement<CHART>(nullptr, number >= 0 ? number : DELEGATE_NOT_FOUND);
  d->m_szName = name;
  Add(d, start, end);
  TarnoSetError(d, error);
  m_recursions.Push(d);
  ResumeAt(end);
  return d;
}

// (?imsg-imsg) changes the flags of the enclosing group from here on; (?imsg-imsg:...) parses
// its content with them. p is the first character after "(?".
template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseModifier(int start, int p, int& flags) {
  int f = flags;
  bool clear = false;
  for (int i = p;; ++i) {
    if (i >= m_nPatternLength || At(i) == ')') {
      bool cut = i >= m_nPatternLength;
      int end = cut ? m_nPatternLength : i + 1;
      flags = f;  // only the case, line, dot and \G flags can change here
#if TARNO_HOST
      Element* e = Add(new CDelegateElement<CHART>(nullptr, DELEGATE_MODIFIER), start, end);
      if (cut) TarnoSetError(e, ERROR_MODIFIER);
#else
      Element* e = NewEmpty(start, end, cut ? ERROR_MODIFIER : 0);
#endif
      ResumeAt(end);
      return e;
    }
    unsigned c = At(i);
    if (c == ':') {
      int end, error;
      Element* content = ParseGroupBody(start, i + 1, f, &end, &error);
      return Wrap(content, start, end, error);
    }
    int bit = 0;
    switch (c) {
      case '-': clear = true; break;
      case 'i': case 'I': bit = IGNORECASE; break;
      case 'm': case 'M': bit = MULTILINE; break;
      case 's': case 'S': bit = SINGLELINE; break;
      case 'g': case 'G': bit = GLOBAL; break;
      default: break;  // other letters are ignored
    }
    if (bit) f = clear ? (f & ~bit) : (f | bit);
  }
}

template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseClass(int flags) {
  const int start = Cur().start;
  if (IsSpecial(Peek(1), ':')) {
    int q = Peek(1).start + 1;
    bool yes = true;
    if (At(q) == '^') {
      yes = false;
      ++q;
    }
    for (int cls = 0; cls < POSIX_COUNT; ++cls) {
      const char* name = TarnoPosixName(cls);
      int n = static_cast<int>(std::strlen(name)), k = 0;
      while (k < n && At(q + k) == static_cast<unsigned char>(name[k])) ++k;
      if (k < n) continue;
      int r = q + n;
      bool rtl = (flags & RIGHTTOLEFT) != 0;
      if (r >= m_nPatternLength) {
        Element* e = Add(new CPosixElement<CHART>(cls, rtl, yes), start, m_nPatternLength);
        TarnoSetError(e, ERROR_CLASS_BRACKET);
        ResumeAt(m_nPatternLength, -1);
        return e;
      }
      if (At(r) == ']') {
        Element* e = Add(new CPosixElement<CHART>(cls, rtl, yes), start, r + 1);
        ResumeAt(r + 1, -1);
        return e;
      }
      break;
    }
    // Not a POSIX class: an ordinary class read from the token after the '['.
  }
  return ParseClassBody(start, flags);
}

template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseClassBody(int start, int flags) {
  ++m_nParseDepth;
  bool rtl = (flags & RIGHTTOLEFT) != 0;
  Advance();  // past the '['
  bool yes = true;
  if (IsSpecial(Cur(), '^')) {
    yes = false;
    Advance();
  }
  CCharsetElement<CHART>* cs = new CCharsetElement<CHART>(rtl, yes);
  int end, error = 0;
  for (;;) {
    Token t = Cur();
    if (IsEnd(t)) {
      end = m_nPatternLength;
      error = ERROR_CLASS_BRACKET;
      break;
    }
    if (t.special) {
      int stock = -1;
      switch (t.ch) {
        case ']':
          end = t.start + 1;
          Advance();
          break;
        case '[':
          if (m_nParseDepth < TARNO_MAX_PARSE_DEPTH) {
            cs->m_embedded.Push(ParseClass(flags));
          } else {
            cs->AddChar('[');
            ResumeAt(t.start + 1, -1);
          }
          continue;
        case 'd': stock = 7; break;
        case 'D': stock = 8; break;
        case 's': stock = 5; break;
        case 'S': stock = 6; break;
        case 'w': stock = 3; break;
        case 'W': stock = 4; break;
        default:
          cs->AddChar(t.ch);  // '-', ':', '^' and escapes that mean nothing here
          Advance();
          continue;
      }
      if (t.ch == ']') break;
      cs->m_embedded.Push(StockOrNew(rtl ? stock + 8 : stock, t.start, t.start + t.length));
      Advance();
      continue;
    }
    if (IsSpecial(Peek(1), '-') && !Peek(2).special) {
      cs->AddRange(t.ch, Peek(2).ch);  // as written: a reversed range matches nothing
      Advance();
      Advance();
      Advance();
      continue;
    }
    cs->AddChar(t.ch);
    Advance();
  }
  --m_nParseDepth;
  if (flags & IGNORECASE) FoldCase(cs);
  Add(cs, start, end);
  TarnoSetError(cs, error);
  return cs;
}

// Widens a class for IGNORECASE: the case partners of the cased letters that its ranges cover are
// added as ranges, then the partner of each single character that the class lacks. Embedded
// classes are not widened.
template <class CHART>
void CRegexpT<CHART>::FoldCase(CCharsetElement<CHART>* cs) {
  static const unsigned kWideBlocks[][2] = {{0x41, 0x5A},   {0x61, 0x7A},   {0xC0, 0xFF},
                                            {0x100, 0x17F}, {0x391, 0x3C9}, {0x400, 0x45F},
                                            {0xFF21, 0xFF3A}, {0xFF41, 0xFF5A}};
  const int blocks = TarnoChars<CHART>::kWide ? 8 : 2;
  std::vector<unsigned> partners;
  int ranges = cs->m_ranges.GetSize();
  for (int r = 0; r + 1 < ranges; r += 2) {
    unsigned lo = cs->m_ranges[r], hi = cs->m_ranges[r + 1];
    for (int b = 0; b < blocks; ++b) {
      unsigned a = lo > kWideBlocks[b][0] ? lo : kWideBlocks[b][0];
      unsigned z = hi < kWideBlocks[b][1] ? hi : kWideBlocks[b][1];
      for (unsigned c = a; c <= z && a <= z; ++c) {
        unsigned u = TarnoUpper<CHART>(c), p = u != c ? u : TarnoLower<CHART>(c);
        if (p != c) partners.push_back(p);
      }
    }
  }
  std::sort(partners.begin(), partners.end());
  for (size_t i = 0; i < partners.size();) {
    size_t j = i;
    while (j + 1 < partners.size() && partners[j + 1] <= partners[j] + 1) ++j;
    cs->AddRange(partners[i], partners[j]);
    i = j + 1;
  }
  // Singles: membership is checked against the class as it was, plus what this step added.
  std::vector<std::pair<unsigned, unsigned>> have;
  for (int r = 0; r + 1 < cs->m_ranges.GetSize(); r += 2)
    have.push_back(std::make_pair(cs->m_ranges[r], cs->m_ranges[r + 1]));
  for (int i = 0; i < cs->m_chars.GetSize(); ++i) have.push_back(std::make_pair(cs->m_chars[i], cs->m_chars[i]));
  std::sort(have.begin(), have.end());
  std::vector<std::pair<unsigned, unsigned>> merged;
  for (size_t i = 0; i < have.size(); ++i) {
    if (have[i].first > have[i].second) continue;
    if (!merged.empty() && have[i].first <= merged.back().second + 1 && merged.back().second != 0xFFFFFFFFu)
      merged.back().second = std::max(merged.back().second, have[i].second);
    else
      merged.push_back(have[i]);
  }
  auto contains = [&merged](unsigned c) {
    std::vector<std::pair<unsigned, unsigned>>::const_iterator it = std::upper_bound(
        merged.begin(), merged.end(), std::make_pair(c, 0xFFFFFFFFu));
    return it != merged.begin() && (it - 1)->second >= c;
  };
  std::vector<bool> added(TarnoChars<CHART>::MaxCode() + 1, false);
  int singles = cs->m_chars.GetSize();
  for (int i = 0; i < singles; ++i) {
    unsigned c = cs->m_chars[i];
    unsigned both[2] = {TarnoLower<CHART>(c), TarnoUpper<CHART>(c)};
    for (unsigned p : both) {
      if (p == c || p >= added.size() || added[p] || contains(p)) continue;
      cs->AddChar(p);
      added[p] = true;
    }
  }
}

template <class CHART>
typename CRegexpT<CHART>::Element* CRegexpT<CHART>::ParseBackref(int flags) {
  Token t = Cur();
  const int len = m_nPatternLength;
  int p = t.start + t.length, number = 0, end, error = 0;
  CBufferT<CHART> name;
  bool byName = false;
  if (t.ch != '\\' && (At(p) == '<' || At(p) == '\'')) {
    unsigned term = At(p) == '<' ? '>' : '\'';
    int i = p + 1;
    while (i < len && At(i) != term) ++i;
    name.Append(m_pPattern + p + 1, i - p - 1);
    if (i >= len) {
      error = ERROR_BACKREF_NAME;
      end = len;
    } else {
      end = i + 1;
    }
    number = ParseNumericName(name.GetBuffer(), name.GetSize());
    if (number < 0) byName = true;
  } else {
    int digits = 0;
    while (digits < 3 && IsDigit(At(p + digits))) {
      number = number * 10 + static_cast<int>(At(p + digits) - '0');
      ++digits;
    }
    end = p + digits;
  }
  CBackrefElement<CHART>* e = new CBackrefElement<CHART>(byName ? -1 : number, (flags & RIGHTTOLEFT) != 0,
                                                         (flags & IGNORECASE) != 0);
  if (byName) e->m_szName = name;
  Add(e, t.start, end);
  TarnoSetError(e, error);
  if (byName) m_namedBackrefs.Push(e);
  ResumeAt(end);
  return e;
}

// ---------------------------------------------------------------------------------------------
// After parsing

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
