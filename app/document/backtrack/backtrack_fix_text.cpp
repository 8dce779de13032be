// The pattern text of a rewrite, read as text (see backtrack_fix_parts.h): where a repeat's
// body and quantifier stand, the groups and branches inside it, the literal after it, and the
// standard rewrites of it that can be spelt.
#include <string>
#include <utility>
#include <vector>

#include "app/document/backtrack/backtrack_fix_parts.h"
#include "app/host_engine.h"

namespace backtrack {
namespace fixparts {

// End of the quantifier that starts at `i` without its lazy or possessive mark, or -1.
int QuantifierEnd(const std::u16string& p, int i) {
  const int n = static_cast<int>(p.size());
  if (i >= n) return -1;
  if (p[i] == '*' || p[i] == '+' || p[i] == '?') return i + 1;
  if (p[i] != '{') return -1;
  for (int j = i + 1; j < n; ++j) {
    if (p[j] == '}') return j + 1;
    if (!(p[j] >= '0' && p[j] <= '9') && p[j] != ',') return -1;
  }
  return -1;
}

// The literal character at `i` (plain or escaped punctuation), or -1.
int LiteralAt(const std::u16string& p, int i) {
  const int n = static_cast<int>(p.size());
  if (i >= n) return -1;
  const char16_t c = p[i];
  if (c == '\\') {
    if (i + 1 >= n) return -1;
    const char16_t k = p[i + 1];
    const bool word = (k >= '0' && k <= '9') || (k >= 'a' && k <= 'z') || (k >= 'A' && k <= 'Z') || k == '_';
    return word ? -1 : k;
  }
  static const std::u16string meta = u".[]()|*+?{}^$";
  if (meta.find(c) != std::u16string::npos) return -1;
  return c;
}

namespace {

bool IsQuantifierStart(char16_t c) { return c == '*' || c == '+' || c == '?' || c == '{'; }

// End of the atom that starts at `i` (an escape, a class, a group or one character), or -1.
int AtomEnd(const std::u16string& p, int i) {
  const int n = static_cast<int>(p.size());
  if (i >= n) return -1;
  const char16_t c = p[i];
  if (c == '\\') {
    if (i + 1 >= n) return -1;
    const char16_t k = p[i + 1];
    if ((k == 'x' || k == 'p' || k == 'P' || k == 'k' || k == 'g' || k == 'u') && i + 2 < n &&
        (p[i + 2] == '{' || p[i + 2] == '<' || p[i + 2] == '\'')) {
      const char16_t close = p[i + 2] == '{' ? '}' : p[i + 2] == '<' ? '>' : '\'';
      for (int j = i + 3; j < n; ++j)
        if (p[j] == close) return j + 1;
      return -1;
    }
    return i + 2;
  }
  if (c == '[') {
    int j = i + 1;
    if (j < n && p[j] == '^') ++j;
    if (j < n && p[j] == ']') ++j;  // a leading ']' is a member
    for (; j < n; ++j) {
      if (p[j] == '\\') {
        ++j;
      } else if (p[j] == '[' && j + 1 < n && p[j + 1] == ':') {
        for (int k = j + 2; k + 1 < n; ++k)
          if (p[k] == ':' && p[k + 1] == ']') {
            j = k + 1;
            break;
          }
      } else if (p[j] == ']') {
        return j + 1;
      }
    }
    return -1;
  }
  if (c == '(') {
    int depth = 0;
    for (int j = i; j < n; ++j) {
      if (p[j] == '\\') {
        ++j;
      } else if (p[j] == '[') {
        const int e = AtomEnd(p, j);
        if (e < 0) return -1;
        j = e - 1;
      } else if (p[j] == '(') {
        ++depth;
      } else if (p[j] == ')') {
        if (--depth == 0) return j + 1;
      }
    }
    return -1;
  }
  if (c == ')' || c == '|' || IsQuantifierStart(c)) return -1;
  return i + 1;
}

// A repeat's text split into its body [start, bodyEnd) and quantifier [bodyEnd, end).
struct RepeatText {
  int start = 0, bodyEnd = 0, end = 0;
  bool greedy = true;  // no lazy or possessive mark
};

bool ReadRepeat(const std::u16string& p, std::pair<int, int> span, RepeatText* r) {
  const int body = AtomEnd(p, span.first);
  if (body < 0 || body >= span.second) return false;
  const int q = QuantifierEnd(p, body);
  if (q < 0) return false;
  r->start = span.first;
  r->bodyEnd = body;
  r->end = q;
  r->greedy = true;
  if (q < static_cast<int>(p.size()) && (p[q] == '?' || p[q] == '+')) {
    r->greedy = false;
    r->end = q + 1;
  }
  return r->end == span.second;
}

// Where the content of a group atom [s, e) begins: after "(", "(?:", "(?<name>", "(?'name'",
// "(?P<name>" or "(?>"; -1 for look-arounds, conditionals and the like.
int GroupContentStart(const std::u16string& p, int s, int e) {
  if (e - s < 2 || p[s] != '(' || p[e - 1] != ')') return -1;
  if (p[s + 1] != '?') return s + 1;
  if (s + 2 >= e) return -1;
  const char16_t k = p[s + 2];
  if (k == ':' || k == '>') return s + 3;
  int from = s + 2;
  if (k == 'P' && s + 3 < e && p[s + 3] == '<') from = s + 3;
  if (p[from] == '<' || p[from] == '\'') {
    if (from + 1 < e && (p[from + 1] == '=' || p[from + 1] == '!')) return -1;  // a look-behind
    const char16_t close = p[from] == '<' ? '>' : '\'';
    for (int j = from + 1; j < e; ++j)
      if (p[j] == close) return j + 1;
  }
  return -1;
}

// The top-level branches of [s, e) as spans.
std::vector<std::pair<int, int>> Branches(const std::u16string& p, int s, int e) {
  std::vector<std::pair<int, int>> out;
  int from = s;
  for (int j = s; j < e;) {
    if (p[j] == '|') {
      out.emplace_back(from, j);
      from = ++j;
      continue;
    }
    const int next = p[j] == '[' || p[j] == '(' || p[j] == '\\' ? AtomEnd(p, j) : j + 1;
    if (next < 0 || next > e) return {};
    j = next;
  }
  out.emplace_back(from, e);
  return out;
}

// The class atom [s, e) without `c`, or the empty text when there is no such spelling.
std::u16string ExcludeFromClass(const std::u16string& p, int s, int e, char16_t c, int flags) {
  const std::u16string atom = p.substr(s, e - s);
  std::u16string lit;
  if (c == ']' || c == '\\' || c == '^' || c == '-' || c == '[') lit += u'\\';
  lit += c;
  if (atom == u".") return (flags & SINGLELINE) ? u"[^" + lit + u"]" : u"[^" + lit + u"\\n]";
  if (atom.size() == 2 && atom[0] == '\\') {
    switch (atom[1]) {
      case 'w': return u"[^\\W" + lit + u"]";
      case 'd': return u"[^\\D" + lit + u"]";
      case 's': return u"[^\\S" + lit + u"]";
      case 'W': return u"[^\\w" + lit + u"]";
      case 'D': return u"[^\\d" + lit + u"]";
      case 'S': return u"[^\\s" + lit + u"]";
      default: return std::u16string();
    }
  }
  if (atom.size() >= 3 && atom[0] == '[' && atom[1] == '^') return atom.substr(0, atom.size() - 1) + lit + u"]";
  return std::u16string();
}

}  // namespace

void AddCandidates(const std::u16string& p, int flags, std::pair<int, int> span, std::vector<Candidate>* out) {
  RepeatText r;
  if (!ReadRepeat(p, span, &r)) return;
  const std::u16string quant = p.substr(r.bodyEnd, r.end - r.bodyEnd);
  const std::u16string body = p.substr(r.start, r.bodyEnd - r.start);
  if (r.greedy) out->push_back({Fix::POSSESSIVE, span, p.substr(span.first, span.second - span.first) + u"+", {}, 0, {}});
  const bool group = body[0] == '(';
  if (group && body.compare(0, 3, u"(?>") != 0)
    out->push_back({Fix::ATOMIC, span, u"(?>" + body + u")" + quant, {}, 0, {}});
  if (group) {
    const int content = GroupContentStart(p, r.start, r.bodyEnd);
    if (content >= 0) {
      const std::vector<std::pair<int, int>> branches = Branches(p, content, r.bodyEnd - 1);
      std::vector<std::u16string> texts;
      for (const std::pair<int, int>& b : branches) texts.push_back(p.substr(b.first, b.second - b.first));
      for (size_t i = 0; branches.size() >= 2 && i < branches.size(); ++i) {
        if (texts[i].find(u'(') != std::u16string::npos) continue;  // would renumber groups
        // The branch and the bar before it (after it, for the first).
        int from = i == 0 ? branches[0].first : branches[i - 1].second;
        int to = i == 0 ? branches[1].first : branches[i].second;
        std::u16string rewritten = p.substr(span.first, from - span.first) + p.substr(to, span.second - to);
        out->push_back({Fix::DROP_BRANCH, span, rewritten, texts, i, p.substr(content, r.bodyEnd - 1 - content)});
      }
    }
  }
  const int follower = LiteralAt(p, r.end);
  if (!group && follower >= 0) {
    const std::u16string cls = ExcludeFromClass(p, r.start, r.bodyEnd, static_cast<char16_t>(follower), flags);
    if (!cls.empty())
      out->push_back({Fix::EXCLUSIVE_CLASS, span, cls + p.substr(r.bodyEnd, span.second - r.bodyEnd), {}, 0, {}});
  }
}

}  // namespace fixparts
}  // namespace backtrack
