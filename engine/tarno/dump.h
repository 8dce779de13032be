// A compact text dump of a compiled element graph, for tests and debugging. Not part of
// tarno.h; include it where needed. Covered by engine/tests/compile_test.cpp.
//
//   "abc*"  ->  seq("ab" {0,inf}("c"))
//
// Forms: "text" string (suffix i ignore case), [a-z_{\d}] class (^ negated, embedded classes in
// braces), posix(alpha) POSIX class, \A \z \Z ^m $m \b \B boundaries, \G, empty, (1 and 1) brackets
// (opening and closing in the matching direction; (1-2 balancing), \1 back-reference,
// seq(...) list, alt(a|b), (?=...) (?!...) assertions, (?>...) independent, call(1) recursion,
// nc(...) and mod (host group wrappers), {m,n}(x) greedy, {m,n}?(x) reluctant, {m,n}+(x)
// possessive, {n}(x) fixed, cond(1 ? yes | no). A '<' suffix marks an element built right to left;
// "!-108" a compile error; with DUMP_SPANS "@start-end" follows every element.
#ifndef TARNO_DUMP_H
#define TARNO_DUMP_H

#include <string>

#include "operations.h"

TARNO_NAMESPACE_BEGIN

// DUMP_FILTERS marks greedy repeats that the plain build made possessive ("{1,inf}+auto(x)") and
// appends what the plain build's search uses besides the graph: " | word start" when matches
// begin only where words do, " | required
// \"text\" at N" for the required string (suffix i ignore case, upper-cased; N its distance from
// the match start, ? when not fixed, "after any" when the part before it may consume anything).
// DUMP_THROUGH_WRAPPERS prints a host wrapper of a non-capture group whose content is composite
// as that content, the way the untraced host build links it.
enum { DUMP_SPANS = 1, DUMP_FILTERS = 2, DUMP_THROUGH_WRAPPERS = 4 };

inline void TarnoDumpChar(std::string& out, unsigned c, bool inClass) {
  static const char kHex[] = "0123456789abcdef";
  bool plain = c >= 0x21 && c <= 0x7E && c != '\\' && c != '"' &&
               !(inClass && (c == ']' || c == '-' || c == '{' || c == '}' || c == '^'));
  if (plain) {
    out += static_cast<char>(c);
    return;
  }
  if (c == ' ') {
    out += inClass ? "\\x20" : " ";
    return;
  }
  if (c == '\\' || c == '"' || c == ']' || c == '-' || c == '{' || c == '}' || c == '^') {
    out += '\\';
    out += static_cast<char>(c);
    return;
  }
  if (c < 0x100) {
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
  } else {
    out += "\\u";
    for (int s = 12; s >= 0; s -= 4) out += kHex[(c >> s) & 15];
  }
}

template <class CHART>
void TarnoDumpElement(std::string& out, const CPatternElement<CHART>* e, int options, int depth = 0) {
  if (!e) {
    out += "none";
    return;
  }
  if (depth > 400) {
    out += "...";
    return;
  }
  if ((options & DUMP_THROUGH_WRAPPERS) && TarnoWrapped(e) && TarnoKindNests(TarnoWrapped(e)->m_nKind)) {
    TarnoDumpElement(out, TarnoWrapped(e), options, depth + 1);
    return;
  }
  auto child = [&](const CPatternElement<CHART>* c) { TarnoDumpElement(out, c, options, depth + 1); };
  auto num = [](int v) { return v == TARNO_INFINITE ? std::string("inf") : std::to_string(v); };
  switch (e->m_nKind) {
    case ELEMENT_ALTERNATIVE: {
      const CAlternativeElement<CHART>* a = static_cast<const CAlternativeElement<CHART>*>(e);
      out += "alt(";
      for (int i = 0; i < a->m_elements.GetSize(); ++i) {
        if (i) out += '|';
        child(a->m_elements[i]);
      }
      out += ')';
      break;
    }
    case ELEMENT_ASSERTION: {
      const CAssertionElement<CHART>* a = static_cast<const CAssertionElement<CHART>*>(e);
      out += a->m_bPositive ? "(?=" : "(?!";
      child(a->m_pElement);
      out += ')';
      break;
    }
    case ELEMENT_BACKREF: {
      const CBackrefElement<CHART>* b = static_cast<const CBackrefElement<CHART>*>(e);
      out += '\\';
      out += std::to_string(b->m_nGroup);
      if (b->m_bIgnoreCase) out += 'i';
      if (b->m_bRightLeft) out += '<';
      break;
    }
    case ELEMENT_BOUNDARY: {
      const CBoundaryElement<CHART>* b = static_cast<const CBoundaryElement<CHART>*>(e);
      static const char* const kNames[] = {"\\A", "\\z", "\\Z", "^m", "$m", "\\<", "\\>", "\\b"};
      if (b->m_nType == BOUNDARY_WORD) {
        out += b->m_bYes ? "\\b" : "\\B";
      } else {
        if (!b->m_bYes) out += '!';
        out += (b->m_nType >= 0 && b->m_nType < 7) ? kNames[b->m_nType] : "?";
      }
      break;
    }
    case ELEMENT_BRACKET: {
      const CBracketElement<CHART>* b = static_cast<const CBracketElement<CHART>*>(e);
      std::string n = std::to_string(b->m_nGroup);
      if (b->m_nBalance != -1) n += "-" + std::to_string(b->m_nBalance);
      out += b->m_bClosing ? n + ")" : "(" + n;
      break;
    }
    case ELEMENT_DELEGATE: {
      const CDelegateElement<CHART>* d = static_cast<const CDelegateElement<CHART>*>(e);
      if (d->m_nGroup == DELEGATE_NONCAPTURE) {
        out += "nc(";
        child(d->m_pTarget);
        out += ')';
      } else if (d->m_nGroup == DELEGATE_MODIFIER) {
        out += "mod";
      } else {
        out += "call(" + std::to_string(d->m_nGroup) + (d->m_pTarget ? "" : ",none") + ")";
      }
      break;
    }
    case ELEMENT_EMPTY: out += "empty"; break;
    case ELEMENT_LASTMATCH: out += "\\G"; break;
    case ELEMENT_GREEDY:
    case ELEMENT_POSSESSIVE:
    case ELEMENT_RELUCTANT: {
      int min, extra;
      const CPatternElement<CHART>* inner = static_cast<const CRepeatBase<CHART>*>(e)->m_pElement;
      if (e->m_nKind == ELEMENT_RELUCTANT) {
        min = static_cast<const CReluctantElement<CHART>*>(e)->m_nMin;
        extra = static_cast<const CReluctantElement<CHART>*>(e)->m_nExtra;
      } else {
        min = static_cast<const CGreedyElement<CHART>*>(e)->m_nMin;
        extra = static_cast<const CGreedyElement<CHART>*>(e)->m_nExtra;
      }
      long long max = static_cast<long long>(min) + extra;
      out += "{" + num(min) + "," + (max >= TARNO_INFINITE ? std::string("inf") : std::to_string(max)) + "}";
      if (e->m_nKind == ELEMENT_RELUCTANT) out += '?';
      if (e->m_nKind == ELEMENT_POSSESSIVE) out += '+';
      if ((options & DUMP_FILTERS) && e->m_nKind == ELEMENT_GREEDY &&
          static_cast<const CGreedyElement<CHART>*>(e)->m_bAutoPossessive)
        out += "+auto";
      out += '(';
      child(inner);
      out += ')';
      break;
    }
    case ELEMENT_FIXED: {
      const CFixedRepeatElement<CHART>* f = static_cast<const CFixedRepeatElement<CHART>*>(e);
      out += "{" + num(f->m_nCount) + "}(";
      child(f->m_pElement);
      out += ')';
      break;
    }
    case ELEMENT_INDEPENDENT:
      out += "(?>";
      child(static_cast<const CIndependentElement<CHART>*>(e)->m_pElement);
      out += ')';
      break;
    case ELEMENT_LIST: {
      const CListElement<CHART>* l = static_cast<const CListElement<CHART>*>(e);
      out += l->m_bRightLeft ? "seq<(" : "seq(";
      for (int i = 0; i < l->m_elements.GetSize(); ++i) {
        if (i) out += ' ';
        child(l->m_elements[i]);
      }
      out += ')';
      break;
    }
    case ELEMENT_POSIX: {
      const CPosixElement<CHART>* p = static_cast<const CPosixElement<CHART>*>(e);
      std::string name = TarnoPosixName(p->m_nClass);
      name.pop_back();  // the colon
      out += (p->m_bYes ? "posix(" : "posix(^") + name + ")";
      if (p->m_bRightLeft) out += '<';
      break;
    }
    case ELEMENT_CHARSET: {
      const CCharsetElement<CHART>* c = static_cast<const CCharsetElement<CHART>*>(e);
      out += c->m_bYes ? "[" : "[^";
      for (int i = 0; i + 1 < c->m_ranges.GetSize(); i += 2) {
        TarnoDumpChar(out, c->m_ranges[i], true);
        out += '-';
        TarnoDumpChar(out, c->m_ranges[i + 1], true);
      }
      for (int i = 0; i < c->m_chars.GetSize(); ++i) TarnoDumpChar(out, c->m_chars[i], true);
      for (int i = 0; i < c->m_embedded.GetSize(); ++i) {
        out += '{';
        child(c->m_embedded[i]);
        out += '}';
      }
      out += ']';
      if (c->m_bRightLeft) out += '<';
      break;
    }
    case ELEMENT_STRING: {
      const CStringElement<CHART>* s = static_cast<const CStringElement<CHART>*>(e);
      out += '"';
      for (int i = 0; i < s->m_nLength; ++i) TarnoDumpChar(out, TarnoChars<CHART>::Code(s->m_szPattern[i]), false);
      out += '"';
      if (s->m_bIgnoreCase) out += 'i';
      if (s->m_bRightLeft) out += '<';
      break;
    }
    case ELEMENT_CONDITIONAL: {
      const CConditionalElement<CHART>* c = static_cast<const CConditionalElement<CHART>*>(e);
      out += "cond(";
      if (c->m_nGroup >= 0)
        out += std::to_string(c->m_nGroup);
      else if (c->m_pCondition)
        child(c->m_pCondition);
      else
        out += "true";
      out += " ? ";
      if (c->m_pYes) child(c->m_pYes);
      if (c->m_pNo) {
        out += " | ";
        child(c->m_pNo);
      }
      out += ')';
      break;
    }
    default:
      out += "?";
  }
  if (e->m_nError) out += "!" + std::to_string(e->m_nError);
  if (options & DUMP_SPANS) out += "@" + std::to_string(e->m_nStart) + "-" + std::to_string(e->m_nEnd);
}

template <class CHART>
std::string TarnoDump(const CRegexpT<CHART>& re, int options = 0) {
  std::string out;
  TarnoDumpElement(out, re.GetRoot(), options);
  if ((options & DUMP_FILTERS) && re.StartsAtWords()) out += " | word start";
  const typename CRegexpT<CHART>::Required& r = re.GetRequired();
  if ((options & DUMP_FILTERS) && r.on) {
    out += " | required \"";
    for (int i = 0; i < r.codes.GetSize(); ++i) TarnoDumpChar(out, r.codes[i], false);
    out += r.fold ? "\"i" : "\"";
    out += r.offset >= 0 ? " at " + std::to_string(r.offset) : std::string(" at ?");
    if (r.beforeAny) out += " after any";
  }
  return out;
}

TARNO_NAMESPACE_END

#endif
