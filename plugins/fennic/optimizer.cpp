// The alternation optimizer (optimizer.h).
//
// Intermediate texts are alternations written with a bar before every alternative (|x|y stands
// for x|y); every sub-result inserted into a larger text is inserted without its leading bar.
// The structural steps (single-character classes, splitting alternatives, redundant groups) are
// driven by expressions compiled once with fennic's engine; escaping and unescaping a literal
// piece are plain loops over the same character sets. In those expressions a bare character
// never is a backslash: every backslash in these texts starts an escape (\c, \xHH, \\), and
// letting one stand alone would split an escape and change what the result matches.
#include "plugins/fennic/optimizer.h"

#include <algorithm>

#include "plugins/fennic/fennic_text.h"

namespace fennic {
namespace {

typedef std::vector<std::u16string> StringList;

const Regex& SingleCharRun() {
  static const Regex re(
      u"(\\A|(?<=[\\|(])|(?<left>\\())(?:\\\\x..|\\\\.|[^|\\\\])(?:\\|(?:\\\\x..|\\\\.|[^|\\\\]))+"
      u"((?(left)\\)|(?:\\Z|(?=[\\|)]))))");
  return re;
}
const Regex& SingleCharItem() {
  static const Regex re(u"(\\\\x..|\\\\.|[^|\\\\])(?:\\Z|\\|)");
  return re;
}
const Regex& Alternative() {
  static const Regex re(
      u"(?<one>(?:\\\\x..|\\\\.|[^|\\[\\]()\\\\])+(?<tail>(?:(?:\\((?R<one>)(?:\\|(?R<one>))*\\)|"
      u"(?:\\[(?:\\\\x..|\\\\.|[^\\]\\\\])+\\]))\\??)?))");
  return re;
}
const Regex& RedundantGroup() {
  static const Regex re(
      u"\\((?<in>(?<one>\\\\x..|\\\\.|[^|\\[\\]()\\\\]|\\[(?:\\\\x..|\\\\.|[^\\]\\\\])+\\]|"
      u"\\((?:\\||(?R<one>))+\\)))\\)|\\((?<in>(?R<one>){2,})\\)(?!\\?)|"
      u"(?<=\\A|\\||(?<left>\\())\\((?<in>(?:\\||(?R<one>))+)\\)(?=\\Z|\\||(?(left)\\||\\)))");
  return re;
}

// Whether the code unit at `pos` is escaped: preceded by an odd run of backslashes. Escaped
// pieces are written only as \c and \xHH, and a backslash itself as \\, so the run decides.
bool IsEscaped(const std::u16string& text, int pos) {
  int n = 0;
  while (pos - 1 - n >= 0 && text[pos - 1 - n] == u'\\') ++n;
  return (n & 1) != 0;
}

// The first two branches of redundant-group alone, anchored where the search starts.
const Regex& RedundantGroupNoContext() {
  static const Regex re(
      u"\\G(?:\\((?<in>(?<one>\\\\x..|\\\\.|[^|\\[\\]()\\\\]|\\[(?:\\\\x..|\\\\.|[^\\]\\\\])+\\]|"
      u"\\((?:\\||(?R<one>))+\\)))\\)|\\((?<in>(?R<one>){2,})\\)(?!\\?))");
  return re;
}

// Code unit by code unit over the shorter length plus one, the terminating zero included.
int ComparePrefix(const std::u16string& a, const std::u16string& b) {
  size_t n = std::min(a.size(), b.size()) + 1;
  for (size_t i = 0; i < n; ++i) {
    unsigned x = i < a.size() ? a[i] : 0, y = i < b.size() ? b[i] : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

int CompareSuffix(const std::u16string& a, const std::u16string& b) {
  size_t n = std::min(a.size(), b.size()) + 1;
  for (size_t i = 0; i < n; ++i) {
    unsigned x = i < a.size() ? a[a.size() - 1 - i] : 0, y = i < b.size() ? b[b.size() - 1 - i] : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

void SortPrefix(StringList& list) {
  std::stable_sort(list.begin(), list.end(),
                   [](const std::u16string& a, const std::u16string& b) { return ComparePrefix(a, b) < 0; });
}

int CommonPrefix(const std::u16string& s, const std::u16string& t, size_t limit) {
  size_t n = std::min(limit, t.size());
  size_t j = 0;
  while (j < n && s[j] == t[j]) ++j;
  return static_cast<int>(j);
}

// Factors the strings of L from index a on, of which the first b code units are consumed, into
// `out`; returns the index of the first string that belongs to an outer level (or n).
int PrefixFactor(const StringList& L, int a, int b, std::u16string& out) {
  const int n = static_cast<int>(L.size());
  while (a < n) {
    const std::u16string& s = L[a];
    const int m = Length(s);
    int d = a + 1, h = m;
    if (d == n) {
      out += u'|';
      out += EscapeLiteral(s.substr(b));
      a = d;
      continue;
    }
    int i = a + 1, lastJ = m;
    for (; i < n; ++i) {
      int j = CommonPrefix(s, L[i], static_cast<size_t>(m));
      lastJ = j;
      if (j == m && Length(L[i]) == m) {
        ++d;  // a duplicate of s
      } else if (j <= b) {
        break;
      } else {
        h = std::min(h, j);
      }
    }
    out += u'|';
    if (i - 1 < d) {
      out += EscapeLiteral(s.substr(b));
    } else {
      out += EscapeLiteral(s.substr(b, h - b));
      out += u'(';
      std::u16string inner;
      if (m == h) {
        d = PrefixFactor(L, d, h, inner);
        out.append(inner, inner.empty() ? 0 : 1, std::u16string::npos);
        out += u")?";
      } else {
        d = PrefixFactor(L, d - 1, h, inner);
        out.append(inner, inner.empty() ? 0 : 1, std::u16string::npos);
        out += u')';
      }
    }
    if (lastJ < b) return i;
    a = d;
  }
  return n;
}

std::u16string WithoutLeadingBar(const std::u16string& s) {
  return s.empty() ? s : s.substr(1);
}

struct AlternativePiece {
  std::u16string whole, head, tail;
};

std::u16string SuffixFactor(const std::u16string& text) {
  const Regex& re = Alternative();
  static const int kTail = re.GetNamedGroupNumber(u"tail");
  std::vector<AlternativePiece> pieces;
  ForEachMatch(re, text, [&](const MatchResult& m) {
    AlternativePiece p;
    int s = m.GetStart(), e = m.GetEnd();
    int t = GroupMatched(m, kTail) ? m.GetGroupStart(kTail) : e;
    p.whole = text.substr(s, e - s);
    p.head = text.substr(s, t - s);
    p.tail = text.substr(t, e - t);
    pieces.push_back(std::move(p));
    return true;
  });
  std::stable_sort(pieces.begin(), pieces.end(), [](const AlternativePiece& a, const AlternativePiece& b) {
    return CompareSuffix(a.whole, b.whole) < 0;
  });
  std::u16string out;
  for (size_t k = 0; k < pieces.size();) {
    size_t end = k + 1;
    while (end < pieces.size() && pieces[end].tail == pieces[k].tail) ++end;
    out += u'|';
    const std::u16string& tail = pieces[k].tail;
    std::u16string processed = tail;
    if (!tail.empty() && tail[0] == u'(') {
      bool optional = tail.back() == u'?';
      std::u16string inside = tail.substr(1, tail.size() - (optional ? 3 : 2));
      processed = u"(" + WithoutLeadingBar(SuffixFactor(inside)) + u")";
      if (optional) processed += u'?';
    }
    if (end - k > 1) {
      StringList heads;
      for (size_t i = k; i < end; ++i) heads.push_back(UnescapeLiteral(pieces[i].head));
      SortPrefix(heads);
      std::u16string factored;
      PrefixFactor(heads, 0, 0, factored);
      out += u'(';
      out += WithoutLeadingBar(SingleCharClasses(factored));
      out += u')';
      out += processed;
    } else {
      out += pieces[k].head;
      out += processed;
    }
    k = end;
  }
  return out;
}

// Appends the span [a, b) of `text` with redundant groups removed. The search sees the text
// only up to b + 1: every match that starts inside a span of balanced groups ends inside it,
// and the one code unit after it is all a final look-ahead reads, so the cut changes no match
// and keeps nested spans from scanning the rest of the text again.
void RemoveRedundant(const std::u16string& text, int a, int b, std::u16string& out) {
  const Regex& re = RedundantGroup();
  static const int kIn = re.GetNamedGroupNumber(u"in");
  const int visible = std::min(Length(text), b + 1);
  RegexContext ctx;
  re.PrepareMatch(text.data(), visible, a, &ctx);
  for (;;) {
    MatchResult m = re.Match(&ctx);
    if (!m.IsMatched() || m.GetStart() >= b || m.GetEnd() > b) break;
    int s = m.GetStart();
    // The expression cannot tell an escaped "\\(" or "\\|" from a real one: a match that
    // starts inside an escape is no group, and one whose context is an escaped bar or
    // parenthesis may only stand by the two branches that ignore the context.
    if (IsEscaped(text, s)) {
      re.PrepareMatch(text.data(), visible, s + 1, &ctx);
      continue;
    }
    if (s > 0 && (text[s - 1] == u'|' || text[s - 1] == u'(') && IsEscaped(text, s - 1)) {
      RegexContext alone;
      RedundantGroupNoContext().PrepareMatch(text.data(), visible, s, &alone);
      MatchResult r = RedundantGroupNoContext().Match(&alone);
      if (!r.IsMatched() || r.GetStart() != s || r.GetEnd() > b) {
        re.PrepareMatch(text.data(), visible, s + 1, &ctx);
        continue;
      }
      static const int kInAlone = RedundantGroupNoContext().GetNamedGroupNumber(u"in");
      MatchResult fixed = r;
      m = fixed;
      int inA = m.GetGroupStart(kInAlone), inB = m.GetGroupEnd(kInAlone);
      out.append(text, a, s - a);
      if (inA >= 0 && inB >= inA) RemoveRedundant(text, inA, inB, out);
      a = m.GetEnd();
      re.PrepareMatch(text.data(), visible, a, &ctx);
      continue;
    }
    out.append(text, a, m.GetStart() - a);
    int inA = m.GetGroupStart(kIn), inB = m.GetGroupEnd(kIn);
    if (inA >= 0 && inB >= inA) RemoveRedundant(text, inA, inB, out);
    a = m.GetEnd();
    // Go on right after this match (the context would also, but an empty match cannot occur).
    re.PrepareMatch(text.data(), visible, a, &ctx);
  }
  out.append(text, a, b - a);
}

// Deepest nesting of unescaped parentheses in a text.
int GroupDepth(const std::u16string& text) {
  int depth = 0, deepest = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\\') {
      ++i;
      continue;
    }
    if (text[i] == u'(') deepest = std::max(deepest, ++depth);
    if (text[i] == u')') --depth;
  }
  return deepest;
}

// Beyond this depth of nested groups the folding steps' own expressions (which recurse once per
// level) and the compiler (which reads a '(' past its nesting limit as a literal) would no longer
// see the text as written; such lists are given as a plain alternation instead.
const int kMaxFoldDepth = 100;

}  // namespace

std::u16string EscapeLiteral(const std::u16string& s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::u16string out;
  out.reserve(s.size() * 2);
  for (char16_t c : s) {
    switch (c) {
      case 7: out += u"\\a"; continue;
      case 9: out += u"\\t"; continue;
      case 10: out += u"\\n"; continue;
      case 11: out += u"\\v"; continue;
      case 12: out += u"\\f"; continue;
      case 13: out += u"\\r"; continue;
      case 27: out += u"\\e"; continue;
      case u'$': case u'(': case u')': case u'*': case u'+': case u'-': case u'.': case u'?':
      case u'[': case u'\\': case u']': case u'^': case u'{': case u'|': case u'}':
        out += u'\\';
        out += c;
        continue;
      default: break;
    }
    if (c <= 32) {
      out += u"\\x";
      out += static_cast<char16_t>(kHex[c >> 4]);
      out += static_cast<char16_t>(kHex[c & 15]);
    } else {
      out += c;
    }
  }
  return out;
}

std::u16string UnescapeLiteral(const std::u16string& s) {
  std::u16string out;
  out.reserve(s.size());
  auto hex = [](char16_t c) -> int {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != u'\\' || i + 1 >= s.size()) {
      out += s[i];
      continue;
    }
    char16_t c = s[i + 1];
    if (c == u'x' && i + 3 < s.size() && hex(s[i + 2]) >= 0 && hex(s[i + 3]) >= 0) {
      out += static_cast<char16_t>(hex(s[i + 2]) * 16 + hex(s[i + 3]));
      i += 3;
      continue;
    }
    switch (c) {
      case u'a': out += char16_t(7); break;
      case u'e': out += char16_t(27); break;
      case u'f': out += char16_t(12); break;
      case u'n': out += char16_t(10); break;
      case u'r': out += char16_t(13); break;
      case u't': out += char16_t(9); break;
      case u'v': out += char16_t(11); break;
      default: out += c; break;
    }
    ++i;
  }
  return out;
}

std::u16string SingleCharClasses(const std::u16string& text) {
  const Regex& re = SingleCharRun();
  std::u16string out;
  int copied = 0;
  RegexContext ctx;
  re.PrepareMatch(text.data(), Length(text), 0, &ctx);
  for (;;) {
    MatchResult m = re.Match(&ctx);
    if (!m.IsMatched()) break;
    int s = m.GetStart(), a = m.GetGroupEnd(1), b = m.GetGroupStart(2);
    // A run must start at an alternative's start: not inside an escape, and not after an
    // escaped bar or parenthesis (which the look-behind cannot tell from real ones).
    bool left = a > s;
    if ((left && IsEscaped(text, s)) || (!left && s > 0 && IsEscaped(text, s - 1))) {
      re.PrepareMatch(text.data(), Length(text), s + 1, &ctx);
      continue;
    }
    out.append(text, copied, s - copied);
    std::u16string run = text.substr(a, b - a);
    out += u'[';
    out += ReplaceAll(SingleCharItem(), run, u"$1");
    out += u']';
    copied = m.GetEnd();
  }
  out.append(text, copied, std::u16string::npos);
  return out;
}

std::u16string RemoveRedundantGroups(const std::u16string& text) {
  std::u16string out;
  out.reserve(text.size());
  RemoveRedundant(text, 0, Length(text), out);
  return out;
}

std::u16string OptimizeStrings(std::vector<std::u16string> strings) {
  // An empty string cannot be written as an alternative of its own here; it makes the rest
  // optional instead.
  size_t before = strings.size();
  strings.erase(std::remove_if(strings.begin(), strings.end(), [](const std::u16string& s) { return s.empty(); }),
                strings.end());
  bool hadEmpty = strings.size() != before;
  if (strings.empty()) return std::u16string();
  SortPrefix(strings);
  std::u16string factored;
  PrefixFactor(strings, 0, 0, factored);
  if (GroupDepth(factored) > kMaxFoldDepth) {
    std::u16string plain;
    for (size_t i = 0; i < strings.size(); ++i) {
      if (i > 0 && strings[i] == strings[i - 1]) continue;
      if (!plain.empty()) plain += u'|';
      plain += EscapeLiteral(strings[i]);
    }
    return hadEmpty ? u"(?:" + plain + u")?" : plain;
  }
  std::u16string folded = SuffixFactor(factored);
  std::u16string result = RemoveRedundantGroups(WithoutLeadingBar(folded));
  if (hadEmpty) result = u"(?:" + result + u")?";
  return result;
}

}  // namespace fennic
