// The group conversions (group_convert.h).
//
// A conversion runs in three steps over a flat list of the pattern's elements in pre-order:
//  1. read: every group (types 19 and 20) in the order of its opening parenthesis, with its
//     number and how it was written, and every element that refers to a group;
//  2. plan: the groups to convert, then the number each group has afterwards, counted as the
//     compiler counts them; a plan that would change which groups a reference reads loses the
//     conversions at fault, until no reference is changed;
//  3. write: the elements in reverse pre-order, so that every element is rewritten after the
//     elements inside it and its text already holds theirs (SetText clears the subtree of the
//     element it rewrites and moves the offsets of everything after it).
#include "plugins/fennic/group_convert.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include "plugins/fennic/fennic_text.h"

namespace fennic {
namespace {

// A handle that tells whether it refers to the same record as another.
class CElementKey : public CElement {
 public:
  explicit CElementKey(const CElement& e) : CElement(e) {}
  const void* Record() const { return m_pRecord; }
};

std::u16string TextOf(const CElement& e) {
  const unsigned short* t = nullptr;
  int n = 0;
  e.GetText(t, n);
  return FromApi(t, n < 0 ? 0 : n);
}

bool IsSpaceUnit(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r'; }
bool IsDigitUnit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The number a purely numeric name stands for (at most six digits, white space around), or -1,
// as the compiler reads group names.
int NumericName(const std::u16string& s) {
  size_t i = 0;
  while (i < s.size() && IsSpaceUnit(s[i])) ++i;
  int digits = 0, value = 0;
  while (i < s.size() && IsDigitUnit(s[i])) {
    if (++digits > 6) return -1;
    value = value * 10 + (s[i] - u'0');
    ++i;
  }
  while (i < s.size() && IsSpaceUnit(s[i])) ++i;
  return digits > 0 && i == s.size() ? value : -1;
}

// Names are compared without case.
std::u16string NameKey(const std::u16string& s) {
  std::u16string k;
  for (char16_t c : s) k += static_cast<char16_t>(TarnoUpper<char16_t>(c));
  return k;
}

// The name between the brackets of "(?<name>", "(?'name'" or "(?P<name>", with the position of
// its first character; false when the text is no named group.
bool GroupName(const std::u16string& t, size_t* from, std::u16string* name) {
  size_t i = 2;
  if (t.size() < 2 || t[0] != u'(' || t[1] != u'?') return false;
  while (i < t.size() && IsSpaceUnit(t[i])) ++i;
  char16_t term;
  if (i < t.size() && t[i] == u'<') {
    term = u'>';
    ++i;
  } else if (i < t.size() && t[i] == u'\'') {
    term = u'\'';
    ++i;
  } else if (i + 1 < t.size() && t[i] == u'P' && t[i + 1] == u'<') {
    term = u'>';
    i += 2;
  } else {
    return false;
  }
  size_t end = t.find(term, i);
  if (end == std::u16string::npos) end = t.size();
  *from = i;
  *name = t.substr(i, end - i);
  return true;
}

// Where the options of "(?opts:" end (the position of the ':'), or 0 when the text does not
// start that way.
size_t ModifierColon(const std::u16string& t) {
  if (t.size() < 3 || t[0] != u'(' || t[1] != u'?') return 0;
  for (size_t i = 2; i < t.size(); ++i) {
    if (t[i] == u':') return i;
    if (t[i] == u')') return 0;
  }
  return 0;
}

enum RefKind { REF_BACKREF, REF_RECURSION, REF_CONDITIONAL, REF_BALANCING };

struct Ref {
  int node;
  RefKind kind;
  int number;           // the group number it reads
  bool byNumber;        // written as a number (else resolved by name)
  std::u16string name;  // key of the name it was written with
};

struct Group {
  int node;
  bool capture;         // type 20 before the conversion
  bool plain;           // written "(": numbered among the unnamed groups
  std::u16string name;  // key of a named group's own name
  int numeric;          // the number a numeric name stands for, else -1
  int number;           // the compiler's number, for a capture
  bool candidate;       // in the current element's subtree and of the converted kind
};

struct Model {
  std::vector<CElement> nodes;  // pre-order
  std::vector<Group> groups;    // in the order of their opening parentheses
  std::vector<Ref> refs;
};

// How a back-reference, recursion or conditional names its group.
void ReadRefWriting(RefKind kind, const std::u16string& t, Ref* r) {
  r->byNumber = false;
  if (kind == REF_BACKREF) {
    if (t.size() >= 2 && IsDigitUnit(t[1])) {
      r->byNumber = true;
    } else if (t.size() >= 3 && IsDigitUnit(t[2])) {
      r->byNumber = true;  // \gN, \kN
    } else if (t.size() >= 3) {
      char16_t term = t[2] == u'<' ? u'>' : u'\'';
      size_t end = t.find(term, 3);
      std::u16string name = t.substr(3, end == std::u16string::npos ? std::u16string::npos : end - 3);
      r->byNumber = NumericName(name) >= 0;
      r->name = NameKey(name);
    }
    return;
  }
  size_t i = 2;
  while (i < t.size() && IsSpaceUnit(t[i])) ++i;
  if (kind == REF_RECURSION) {
    if (i < t.size() && t[i] == u'R' && i + 1 < t.size() && (t[i + 1] == u'<' || t[i + 1] == u'\'')) {
      char16_t term = t[i + 1] == u'<' ? u'>' : u'\'';
      size_t end = t.find(term, i + 2);
      std::u16string name = t.substr(i + 2, end == std::u16string::npos ? std::u16string::npos : end - i - 2);
      r->byNumber = NumericName(name) >= 0;
      r->name = NameKey(name);
    } else {
      r->byNumber = true;
    }
    return;
  }
  // A conditional: "(?(" then digits, or a name.
  size_t j = i + 1;
  while (j < t.size() && IsSpaceUnit(t[j])) ++j;
  size_t k = j;
  while (k < t.size() && IsDigitUnit(t[k])) ++k;
  size_t l = k;
  while (l < t.size() && IsSpaceUnit(t[l])) ++l;
  if (k > j && l < t.size() && t[l] == u')') {
    r->byNumber = true;
    return;
  }
  size_t end = t.find(u')', i + 1);
  std::u16string name = t.substr(i + 1, end == std::u16string::npos ? std::u16string::npos : end - i - 1);
  size_t a = 0, b = name.size();
  while (a < b && IsSpaceUnit(name[a])) ++a;
  while (b > a && IsSpaceUnit(name[b - 1])) --b;
  r->name = NameKey(name.substr(a, b - a));
}

void Read(const CElement& root, const CElement& current, bool toCapture, Model* m) {
  const void* scope = CElementKey(current).Record();
  struct Frame {
    CElement element;
    bool inScope;
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{root, false});
  while (!stack.empty()) {
    Frame f = stack.back();
    stack.pop_back();
    const CElement& e = f.element;
    const bool inScope = f.inScope || (scope && CElementKey(e).Record() == scope);
    const int node = static_cast<int>(m->nodes.size());
    m->nodes.push_back(e);
    const int type = e.GetElementType();
    if (type == ZEL_CAPTURE_GROUP || type == ZEL_NONCAPTURE_GROUP) {
      std::u16string t = TextOf(e);
      Group g{node, type == ZEL_CAPTURE_GROUP, true, std::u16string(), -1, 0, false};
      if (g.capture) {
        g.plain = t.size() < 2 || t[1] != u'?';
        g.number = CZelCapture(e).GetGroupNo();
        if (!g.plain) {
          std::u16string own = FromApi(CZelCapture(e).GetGroupName(), -1);
          g.name = NameKey(own);
          g.numeric = NumericName(own);
        }
        g.candidate = !toCapture && inScope && g.plain;
        int balance = CZelCapture(e).GetBalancingNo();
        size_t from = 0;
        std::u16string name;
        if (balance > 0 && GroupName(t, &from, &name) && name.find(u'-') != std::u16string::npos) {
          std::u16string other = name.substr(name.find(u'-') + 1);
          m->refs.push_back(Ref{node, REF_BALANCING, balance, NumericName(other) >= 0, NameKey(other)});
        }
      } else {
        g.candidate = toCapture && inScope && ModifierColon(t) > 0;
      }
      m->groups.push_back(g);
    } else if (type == ZEL_BACKREF || type == ZEL_RECURSIVE || type == ZEL_CONDITIONAL) {
      RefKind kind = type == ZEL_BACKREF ? REF_BACKREF : type == ZEL_RECURSIVE ? REF_RECURSION : REF_CONDITIONAL;
      int number = kind == REF_BACKREF    ? CZelBackreference(e).GetGroupNo()
                   : kind == REF_RECURSION ? CZelRecursive(e).GetGroupNo()
                                           : CZelConditional(e).GetGroupNo();
      // 0 is the whole pattern and stays; below 0 nothing is read (a name that was not found,
      // or a condition that is an assertion).
      if (number > 0) {
        Ref r{node, kind, number, false, std::u16string()};
        ReadRefWriting(kind, TextOf(e), &r);
        m->refs.push_back(r);
      }
    }
    for (int i = e.GetChildrenCount() - 1; i >= 0; --i) stack.push_back(Frame{e.GetChild(i), inScope});
  }
}

// The number of every group after converting the groups marked in `on` (-1 for a group that
// does not capture then): unnamed groups counted in order, then named ones after them, a
// numeric name standing for its number and equal names sharing one.
std::vector<int> Number(const Model& m, const std::vector<char>& on, bool toCapture,
                        std::map<std::u16string, int>* names) {
  const size_t n = m.groups.size();
  std::vector<int> number(n, -1);
  std::vector<char> named(n, 0);
  int unnamed = 0;
  for (size_t i = 0; i < n; ++i) {
    const Group& g = m.groups[i];
    bool capture = g.capture ? !(on[i] && !toCapture) : (on[i] && toCapture);
    if (!capture) continue;
    if (!g.capture || g.plain)
      number[i] = ++unnamed;
    else
      named[i] = 1;
  }
  int counter = unnamed;
  names->clear();
  for (size_t i = 0; i < n; ++i) {
    if (!named[i]) continue;
    const Group& g = m.groups[i];
    auto it = names->find(g.name);
    int value = g.numeric >= 0 ? g.numeric : it != names->end() ? it->second : ++counter;
    if (it == names->end()) (*names)[g.name] = value;
    number[i] = value;
  }
  return number;
}

std::map<int, std::set<int>> Holders(const std::vector<int>& number) {
  std::map<int, std::set<int>> h;
  for (size_t i = 0; i < number.size(); ++i)
    if (number[i] >= 0) h[number[i]].insert(static_cast<int>(i));
  return h;
}

struct Plan {
  std::vector<char> convert;       // per group
  std::map<int, int> renumbered;   // node of a reference -> the number to write
  bool Empty() const {
    for (char c : convert)
      if (c) return false;
    return true;
  }
};

Plan MakePlan(const Model& m, bool toCapture) {
  const size_t n = m.groups.size();
  Plan plan;
  plan.convert.assign(n, 0);
  std::vector<char> none(n, 0), on(n, 0);
  std::map<std::u16string, int> names;
  // The count must give every capture the number the compiler gave it; when it does not (a
  // group the tree does not show, such as one inside a condition that named a group), nothing
  // is converted.
  std::vector<int> before = Number(m, none, toCapture, &names);
  for (size_t i = 0; i < n; ++i)
    if (m.groups[i].capture && before[i] != m.groups[i].number) return plan;
  const std::map<int, std::set<int>> oldHolders = Holders(before);
  int highest = 0;
  for (int v : before) highest = std::max(highest, v);
  for (size_t i = 0; i < n; ++i) on[i] = m.groups[i].candidate;

  std::vector<int> after;
  std::map<int, std::set<int>> newHolders;
  for (;;) {
    after = Number(m, on, toCapture, &names);
    newHolders = Holders(after);
    std::set<int> drop;
    bool dropAll = false;
    // Groups read by a reference must be the same groups afterwards: a converted group among
    // them is left as it is, anything else leaves the whole pattern as it is.
    auto fault = [&](int g) {
      if (on[g])
        drop.insert(g);
      else
        dropAll = true;
    };
    auto compare = [&](const std::set<int>& was, const std::set<int>& now) {
      for (int g : was)
        if (!now.count(g)) fault(g);
      for (int g : now)
        if (!was.count(g)) fault(g);
    };
    for (const Ref& r : m.refs) {
      auto old = oldHolders.find(r.number);
      if (old == oldHolders.end()) continue;  // reads no group, before as after (below)
      const std::set<int>& was = old->second;
      int target = -1;
      if (r.byNumber) {
        for (int g : was)
          if (after[g] >= 0) {
            target = after[g];
            break;
          }
      } else {
        auto it = names.find(r.name);
        if (it != names.end()) target = it->second;
      }
      auto now = newHolders.find(target);
      compare(was, now == newHolders.end() ? std::set<int>() : now->second);
    }
    if (dropAll) return Plan{std::vector<char>(n, 0), {}};
    if (drop.empty()) break;
    for (int g : drop) on[g] = 0;
  }
  plan.convert = on;
  if (plan.Empty()) return plan;
  int highestAfter = 0;
  for (int v : after) highestAfter = std::max(highestAfter, v);
  for (const Ref& r : m.refs) {
    if (!r.byNumber) continue;
    int target = r.number;
    auto old = oldHolders.find(r.number);
    if (old != oldHolders.end()) {
      for (int g : old->second)
        if (after[g] >= 0) target = after[g];
    } else if (newHolders.count(r.number)) {
      // A number no group had must still name none.
      target = std::max(highest, highestAfter) + 1;
    }
    if (target != r.number) plan.renumbered[r.node] = target;
  }
  return plan;
}

std::u16string Digits(int n) {
  std::u16string s;
  for (char c : std::to_string(n)) s += static_cast<char16_t>(c);
  return s;
}

// The new text of a converted group, from its current text (which holds its children's).
std::u16string ConvertedGroup(const CElement& g, bool toCapture) {
  int count = g.GetChildrenCount();
  if (count == 0) return std::u16string();  // an empty group goes away
  std::u16string whole = TextOf(g);
  CElement first = g.GetChild(0), last = g.GetChild(count - 1);
  // The content's span inside the group's text, held inside it whatever the children report.
  int from = first.GetOffset() - g.GetOffset();
  int to = last.GetOffset() + last.GetLength() - g.GetOffset();
  if (from < 0) from = 0;
  if (from > Length(whole)) from = Length(whole);
  if (to > Length(whole)) to = Length(whole);
  if (to < from) to = from;
  std::u16string content = whole.substr(from, to - from);
  // A group that the end of the pattern cut off stays open, as it was.
  std::u16string close = g.GetErrFlag() == -108 ? u"" : u")";
  if (!toCapture) return u"(?:" + content + close;
  // "(?opts:" becomes a capture whose first item sets the same options: they reach to the end
  // of the group, following alternatives included, as the options of the old group did.
  size_t colon = ModifierColon(whole);
  std::u16string options = whole.substr(2, colon > 2 ? colon - 2 : 0);
  bool blank = true;
  for (char16_t c : options) blank = blank && IsSpaceUnit(c);
  // A quantifier that opened the old group's content (after a comment or, extended, white
  // space) had nothing to repeat and was a literal character. Right after "(" a '?' would turn
  // the group into another kind, and after the modifier any quantifier would repeat the
  // modifier: it is written escaped.
  if (!content.empty() && (content[0] == u'*' || content[0] == u'+' || content[0] == u'?' || content[0] == u'{'))
    content.insert(content.begin(), u'\\');
  return u"(" + (blank ? std::u16string() : u"(?" + options + u")") + content + close;
}

std::u16string RenumberedRef(const Ref& r, const std::u16string& t, int number, const std::u16string& next) {
  switch (r.kind) {
    case REF_BACKREF:
      // "\N" as written when it stays unambiguous, else the numeric-name form.
      if (t.size() >= 2 && IsDigitUnit(t[1]) && number <= 999 && (number >= 100 || next.empty() || !IsDigitUnit(next[0])))
        return u"\\" + Digits(number);
      return u"\\k<" + Digits(number) + u">";
    case REF_RECURSION:
      return u"(?" + Digits(number) + (t.empty() || t.back() != u')' ? u"" : u")");
    case REF_CONDITIONAL: {
      size_t i = t.find(u'(', 1);
      size_t j = i + 1;
      while (j < t.size() && IsSpaceUnit(t[j])) ++j;
      size_t k = j;
      while (k < t.size() && IsDigitUnit(t[k])) ++k;
      return t.substr(0, j) + Digits(number) + t.substr(k);
    }
    case REF_BALANCING: {
      size_t from = 0;
      std::u16string name;
      GroupName(t, &from, &name);
      size_t dash = from + name.find(u'-');
      return t.substr(0, dash + 1) + Digits(number) + t.substr(from + name.size());
    }
  }
  return t;
}

}  // namespace

bool HasConvertibleGroup(const CElement& root, const CElement& current, bool toCapture) {
  if (current.GetElementType() == ZEL_NONE) return false;
  Model m;
  Read(root, current, toCapture, &m);
  return !MakePlan(m, toCapture).Empty();
}

void ConvertGroups(const CElement& root, const CElement& current, bool toCapture) {
  if (current.GetElementType() == ZEL_NONE) return;
  Model m;
  Read(root, current, toCapture, &m);
  Plan plan = MakePlan(m, toCapture);
  if (plan.Empty()) return;
  std::map<int, size_t> groupAt;
  for (size_t i = 0; i < m.groups.size(); ++i) groupAt[m.groups[i].node] = i;
  std::map<int, const Ref*> refAt;
  for (const Ref& r : m.refs) refAt[r.node] = &r;
  for (int node = static_cast<int>(m.nodes.size()) - 1; node >= 0; --node) {
    CElement& e = m.nodes[node];
    std::u16string text;
    bool write = false;
    auto g = groupAt.find(node);
    if (g != groupAt.end() && plan.convert[g->second]) {
      text = ConvertedGroup(e, toCapture);
      write = true;
    }
    auto r = refAt.find(node);
    auto renumber = plan.renumbered.find(node);
    if (r != refAt.end() && renumber != plan.renumbered.end()) {
      // What follows a back-reference decides whether "\N" stays unambiguous.
      std::u16string next;
      if (r->second->kind == REF_BACKREF) {
        const unsigned short* t = nullptr;
        int n = 0;
        root.GetText(t, n);
        int end = e.GetOffset() + e.GetLength() - root.GetOffset();
        if (t && end >= 0 && end < n) next = FromApi(t + end, 1);
      }
      text = RenumberedRef(*r->second, write ? text : TextOf(e), renumber->second, next);
      write = true;
    }
    if (write) e.SetText(ToApi(text), Length(text));
  }
}

}  // namespace fennic
