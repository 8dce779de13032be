// The compiler's tokenizer: reads the pattern into tokens (a literal character or a special one,
// with its span), keeping a quote, the case conversion of \L and \U, the class depth and what
// the token before was. The parser looks two tokens ahead (CRegexpT::m_tok) and resumes the
// tokenizer at a position of its own where it reads raw characters itself (ResumeAt).
// compiler.h ties the compiler together.
#ifndef TARNO_TOKENIZER_H
#define TARNO_TOKENIZER_H


#include "regexp.h"

TARNO_NAMESPACE_BEGIN

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

TARNO_NAMESPACE_END

#endif
