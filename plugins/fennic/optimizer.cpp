// The alternation optimizer (optimizer.h).
//
// The strings form a trie read in matching order: from the left, or, for a right-to-left place,
// from each string's end (the strings are reversed on the way in, and every piece is written
// back in text order). At a node of the trie the strings that go on differ in their next
// character, so at most one of those branches can match at any position and their order is
// free: they are sorted, single characters become one class, and branches that go on alike
// share what follows them ([ax][bc] for ab|ac|xb|xc). The one choice that order decides is
// between a string that ends at the node and the longer ones that go on from it: the list says
// which is tried first, and the node becomes an optional part, lazy (??) when the ending string
// comes first and greedy (?) when it comes last. An ending string that lies between longer ones
// splits the node into two alternatives at that string.
//
// Strings are compared by code unit and by length, never up to a terminating zero, so that a
// string holding a NUL is not mistaken for a shorter one.
#include "plugins/fennic/optimizer.h"

#include <algorithm>
#include <map>
#include <set>

#include "plugins/fennic/fennic_text.h"

namespace fennic {
namespace {

// Deeper than this the folded pattern would nest more groups than anyone reads (and, further
// on, more than the compiler reads as groups); such lists are written as a plain alternation.
const int kMaxFoldDepth = 100;

struct Style {
  bool ignoreCase;
  bool rightToLeft;
  bool extended;
  // Two characters with one key are the same to the strings' matcher.
  unsigned Key(char16_t c) const { return ignoreCase ? TarnoUpper<char16_t>(c) : c; }
};

// A written piece of pattern, with what it may be combined with unchanged.
struct Piece {
  enum Kind { EMPTY, UNIT, SEQUENCE, ALTERNATION };
  std::u16string text;
  Kind kind = EMPTY;
  bool quantified = false;  // a UNIT that ends with a quantifier of its own
};

void AppendEscaped(std::u16string& out, char16_t c, bool extended, bool inClass) {
  static const char kHex[] = "0123456789ABCDEF";
  switch (c) {
    case 7: out += u"\\a"; return;
    case 9: out += u"\\t"; return;
    case 10: out += u"\\n"; return;
    case 11: out += u"\\v"; return;
    case 12: out += u"\\f"; return;
    case 13: out += u"\\r"; return;
    case 27: out += u"\\e"; return;
    case u'$': case u'(': case u')': case u'*': case u'+': case u'-': case u'.': case u'?':
    case u'[': case u'\\': case u']': case u'^': case u'{': case u'|': case u'}':
      out += u'\\';
      out += c;
      return;
    case u'#':  // starts a comment under the extended option, inside classes too
      if (extended) out += u'\\';
      out += c;
      return;
    case u':':  // right after a class's '[' it would start a POSIX name
      if (inClass) out += u'\\';
      out += c;
      return;
    default:
      break;
  }
  if (c <= 32) {  // every character the extended option skips as white space is among these
    out += u"\\x";
    out += static_cast<char16_t>(kHex[c >> 4]);
    out += static_cast<char16_t>(kHex[c & 15]);
  } else {
    out += c;
  }
}

// A piece of a string in matching order, as it stands in the pattern text.
std::u16string TextOrder(std::u16string s, const Style& st) {
  if (st.rightToLeft) std::reverse(s.begin(), s.end());
  return s;
}

Piece Literal(const std::u16string& s, const Style& st) {
  Piece p;
  p.kind = s.empty() ? Piece::EMPTY : s.size() == 1 ? Piece::UNIT : Piece::SEQUENCE;
  p.text = EscapeLiteral(TextOrder(s, st), st.extended);
  return p;
}

Piece Class(std::vector<char16_t> chars, const Style& st) {
  if (chars.size() == 1) return Literal(std::u16string(1, chars[0]), st);
  std::sort(chars.begin(), chars.end());
  Piece p;
  p.kind = Piece::UNIT;
  p.text = u"[";
  for (char16_t c : chars) AppendEscaped(p.text, c, st.extended, true);
  p.text += u']';
  return p;
}

std::u16string Grouped(const Piece& p) { return u"(?:" + p.text + u")"; }
std::u16string InSequence(const Piece& p) { return p.kind == Piece::ALTERNATION ? Grouped(p) : p.text; }
std::u16string Quantifiable(const Piece& p) {
  return p.kind == Piece::UNIT && !p.quantified ? p.text : Grouped(p);
}

// `first` matched before `then`: in text order `then` stands before it when matching runs
// right to left.
Piece Concat(const Piece& first, const Piece& then, const Style& st) {
  if (first.kind == Piece::EMPTY) return then;
  if (then.kind == Piece::EMPTY) return first;
  Piece p;
  p.kind = Piece::SEQUENCE;
  p.text = st.rightToLeft ? InSequence(then) + InSequence(first) : InSequence(first) + InSequence(then);
  return p;
}

// The pieces as alternatives, tried in the order given.
Piece Alternation(const std::vector<Piece>& alternatives) {
  if (alternatives.size() == 1) return alternatives[0];
  Piece p;
  p.kind = Piece::ALTERNATION;
  for (size_t i = 0; i < alternatives.size(); ++i) {
    if (i > 0) p.text += u'|';
    p.text += alternatives[i].text;
  }
  return p;
}

bool Fold(const std::vector<std::u16string>& list, const Style& st, int depth, Piece* out);

// Strings that are none of them empty and pairwise distinct: at most one branch of the result
// can match at a position, so the branches are written in the order of their first character.
bool FoldBranches(const std::vector<std::u16string>& list, const Style& st, int depth, Piece* out) {
  std::map<unsigned, std::vector<size_t>> byFirst;  // in list order within each branch
  for (size_t i = 0; i < list.size(); ++i) byFirst[st.Key(list[i][0])].push_back(i);

  // Each branch: the prefix all its strings share, then the fold of what is left of them.
  // Branches that go on alike share that continuation; their heads start with different
  // characters, so they too exclude each other.
  struct Choice {
    std::vector<std::u16string> heads;
    Piece tail;
  };
  std::vector<Choice> choices;
  std::map<std::u16string, size_t> byTail;
  for (const auto& branch : byFirst) {
    const std::vector<size_t>& members = branch.second;
    const std::u16string& first = list[members[0]];
    size_t shared = first.size();
    for (size_t k = 1; k < members.size(); ++k) {
      const std::u16string& s = list[members[k]];
      size_t j = 0;
      while (j < shared && j < s.size() && st.Key(s[j]) == st.Key(first[j])) ++j;
      shared = j;
    }
    Piece tail;
    if (members.size() > 1) {
      std::vector<std::u16string> rest;
      for (size_t m : members) rest.push_back(list[m].substr(shared));
      if (!Fold(rest, st, depth + 1, &tail)) return false;
    }
    std::u16string head = first.substr(0, shared);
    if (tail.kind != Piece::EMPTY) {
      auto it = byTail.find(tail.text);
      if (it != byTail.end()) {
        choices[it->second].heads.push_back(head);
        continue;
      }
      byTail[tail.text] = choices.size();
    }
    choices.push_back(Choice{{head}, tail});
  }

  // Single characters with nothing after them become one class, where the first of them was.
  std::vector<Piece> alternatives;
  std::vector<char16_t> singles;
  size_t singlesAt = 0;
  for (const Choice& c : choices) {
    if (c.tail.kind == Piece::EMPTY && c.heads.size() == 1 && c.heads[0].size() == 1) {
      if (singles.empty()) singlesAt = alternatives.size();
      singles.push_back(c.heads[0][0]);
      continue;
    }
    Piece heads;
    if (c.heads.size() == 1) {
      heads = Literal(c.heads[0], st);
    } else {
      std::vector<Piece> parts;
      std::vector<char16_t> chars;
      for (const std::u16string& h : c.heads) {
        if (h.size() == 1)
          chars.push_back(h[0]);
        else
          parts.push_back(Literal(h, st));
      }
      if (!chars.empty()) parts.insert(parts.begin(), Class(chars, st));
      heads = Alternation(parts);
    }
    alternatives.push_back(Concat(heads, c.tail, st));
  }
  if (!singles.empty()) alternatives.insert(alternatives.begin() + singlesAt, Class(singles, st));
  *out = Alternation(alternatives);
  return true;
}

// `list`: pairwise distinct strings in the order they are to be tried, at most one of them
// empty (the string that ends here).
bool Fold(const std::vector<std::u16string>& list, const Style& st, int depth, Piece* out) {
  if (depth > kMaxFoldDepth) return false;
  if (list.size() == 1) {
    *out = Literal(list[0], st);
    return true;
  }
  size_t end = list.size();
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].empty()) end = i;
  if (end != list.size() && end > 0 && end + 1 < list.size()) {
    // Longer strings on both sides of the one that ends here: two alternatives, each a trie.
    Piece before, after;
    std::vector<std::u16string> a(list.begin(), list.begin() + end + 1), b(list.begin() + end + 1, list.end());
    if (!Fold(a, st, depth + 1, &before) || !Fold(b, st, depth + 1, &after)) return false;
    *out = Alternation({before, after});
    return true;
  }
  std::vector<std::u16string> longer;
  for (const std::u16string& s : list)
    if (!s.empty()) longer.push_back(s);
  Piece core;
  if (!FoldBranches(longer, st, depth, &core)) return false;
  if (end == list.size()) {
    *out = core;
    return true;
  }
  out->kind = Piece::UNIT;
  out->quantified = true;
  out->text = Quantifiable(core) + (end == 0 ? u"??" : u"?");
  return true;
}

}  // namespace

std::u16string EscapeLiteral(const std::u16string& s, bool extended) {
  std::u16string out;
  out.reserve(s.size() * 2);
  for (char16_t c : s) AppendEscaped(out, c, extended, false);
  return out;
}

std::u16string OptimizeStrings(const std::vector<std::u16string>& strings, int flags) {
  Style st{(flags & IGNORECASE) != 0, (flags & RIGHTTOLEFT) != 0, (flags & EXTENDED) != 0};
  // A later string equal to an earlier one can only be tried after that one failed at the same
  // place with the same continuation; it is dropped.
  std::vector<std::u16string> list;
  std::set<std::u16string> seen;
  for (const std::u16string& s : strings) {
    std::u16string key;
    for (char16_t c : s) key += static_cast<char16_t>(st.Key(c));
    if (!seen.insert(key).second) continue;
    list.push_back(TextOrder(s, st));
  }
  if (list.empty()) return std::u16string();
  Piece folded;
  if (Fold(list, st, 0, &folded)) return folded.text;
  std::u16string plain;
  for (size_t i = 0; i < list.size(); ++i) {
    if (i > 0) plain += u'|';
    plain += Literal(list[i], st).text;
  }
  return plain;
}

}  // namespace fennic
