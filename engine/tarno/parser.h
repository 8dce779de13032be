// The compiler's recursive-descent parser: alternatives, sequences, items and their quantifiers,
// groups of every kind, conditionals, recursions, inline modifiers, character classes (with
// their widening under IGNORECASE) and back-references, with the helpers that make the stock
// elements and the host's group wrappers. Names and recursion targets are left for
// name_resolution.h to fill in once the whole pattern is read. compiler.h ties the compiler
// together.
#ifndef TARNO_PARSER_H
#define TARNO_PARSER_H

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "regexp.h"

TARNO_NAMESPACE_BEGIN

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
#if TARNO_TRACE
  return d;
#else
  // The untraced build keeps the wrapper in the pool, so that its elements are the traced
  // build's index for index and span for span, but links a composite content in its place: a
  // wrapper only passes its calls on, and a search that nobody watches need not pay for the
  // call. The content's call then stands for the wrapper's level of nesting as well. A leaf
  // does not count nesting, so it keeps its wrapper.
  if (!content || !TarnoKindNests(content->m_nKind)) return d;
  content->m_nNestingWeight += d->m_nNestingWeight;
  return content;
#endif
#else
  (void)start;
  (void)end;
  if (!IsStock(content)) TarnoSetError(content, error);
  return content;
#endif
}

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

TARNO_NAMESPACE_END

#endif
