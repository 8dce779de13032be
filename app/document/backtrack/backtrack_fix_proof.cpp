// The proof rules of the rewrites (see backtrack_fix_parts.h and backtrack_fixes.h).
//
// A rewrite is proven when it keeps the first successful path of every match attempt, and so
// the match and every group's span. The backtracking order gives three arguments, each for a
// pattern in which nothing reads a capture (no back-reference, conditional, recursion or
// balancing group: then what can still match after a point of the attempt depends on the
// position alone, not on the captures taken on the way there).
//
// Made atomic, a part U tries its first way alone where the original would go on to its others
// after what follows failed. That loses nothing when no other way of U can let what follows
// match: when every other way ends where the first one ends (what follows fails there again),
// or at a position whose next character what follows can never begin with.
//
//   Possessive repeat. U = X* (also X+, X{n,}), greedy and unbounded, X unable to match empty,
//   S the characters X can consume, and for each of them a way of X that consumes just that
//   character with no condition. Then the greedy loop stops only at a character outside S (or
//   the end), every way of U ends inside that run of S characters, and an earlier end has a
//   character of S next. When what follows U can never begin with a character of S, making U
//   possessive keeps every match. So it does when what follows cannot fail: when only parts that
//   match empty without a condition stand between U and the end of the pattern, of an atomic
//   group or of a look-ahead (and no repeat's end), the first way of U is the one kept anyway.
//   Atomic iteration. When every way of the repeated part consumes the same number of
//   characters, all its ways end at the same position: (?>...) around it keeps every match.
//
// A dropped branch: a branch that repeats an earlier one of the same alternation (written the
// same, no group or mode change in the alternation) is tried only after its twin, from the same
// state, so it never matches where the twin failed. Where every branch is one character test
// and nothing in the alternation captures, each branch that matches ends one character on in
// the same state: a branch whose characters the others take adds nothing.
//
// Character sets are over the 16-bit code units, with one more member for the end of the text.
// The facts of an element are sound bounds: `first`, `pass` and `consumed` may hold more than an
// element can do, `singles` and `pureEmpty` less.
#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/document/backtrack/backtrack_fix_parts.h"
#include "app/host_engine.h"

namespace backtrack {
namespace fixparts {
namespace {

struct CharSet {
  std::vector<std::pair<unsigned, unsigned>> runs;  // sorted, disjoint, inclusive
  bool end = false;                                 // the end of the text

  static CharSet All() {
    CharSet s;
    s.runs.emplace_back(0u, 0xFFFFu);
    s.end = true;
    return s;
  }
  static CharSet Of(unsigned c) {
    CharSet s;
    s.runs.emplace_back(c, c);
    return s;
  }
  template <class Test>
  static CharSet Scan(Test in) {
    CharSet s;
    for (unsigned c = 0; c <= 0xFFFFu; ++c) {
      if (!in(c)) continue;
      if (!s.runs.empty() && s.runs.back().second + 1 == c)
        s.runs.back().second = c;
      else
        s.runs.emplace_back(c, c);
    }
    return s;
  }
  bool Empty() const { return runs.empty() && !end; }
  bool HasCodes() const { return !runs.empty(); }
  void Add(const CharSet& o) {
    end = end || o.end;
    if (o.runs.empty()) return;
    std::vector<std::pair<unsigned, unsigned>> all(runs);
    all.insert(all.end(), o.runs.begin(), o.runs.end());
    std::sort(all.begin(), all.end());
    runs.clear();
    for (const std::pair<unsigned, unsigned>& r : all) {
      if (!runs.empty() && r.first <= runs.back().second + 1)
        runs.back().second = std::max(runs.back().second, r.second);
      else
        runs.push_back(r);
    }
  }
  CharSet Meet(const CharSet& o) const {
    CharSet s;
    s.end = end && o.end;
    size_t i = 0, j = 0;
    while (i < runs.size() && j < o.runs.size()) {
      const unsigned lo = std::max(runs[i].first, o.runs[j].first);
      const unsigned hi = std::min(runs[i].second, o.runs[j].second);
      if (lo <= hi) s.runs.emplace_back(lo, hi);
      if (runs[i].second < o.runs[j].second)
        ++i;
      else
        ++j;
    }
    return s;
  }
  bool CodesMeet(const CharSet& o) const { return Meet(o).HasCodes(); }
  // Whether every code of this set is in `o` (the end is not compared).
  bool CodesWithin(const CharSet& o) const {
    size_t j = 0;
    for (const std::pair<unsigned, unsigned>& r : runs) {
      while (j < o.runs.size() && o.runs[j].second < r.first) ++j;
      if (j == o.runs.size() || o.runs[j].first > r.first || o.runs[j].second < r.second) return false;
    }
    return true;
  }
};

}  // namespace

class ProofRules::Prover {
 public:
  Prover(const std::u16string& pattern, int flags) {
    std::vector<unsigned short> p(pattern.begin(), pattern.end());
    p.push_back(0);
    m_re.Compile(p.data(), static_cast<int>(pattern.size()), flags);
    m_ok = m_re.GetRoot() != nullptr && !(flags & RIGHTTOLEFT) && m_re.GetElementCount() <= kMaxProofElements;
    for (int i = 0; m_ok && i < m_re.GetElementCount(); ++i) {
      const HostElement* e = m_re.GetElement(i);
      if (e->m_nError != 0) m_ok = false;
      switch (e->GetKind()) {
        case ELEMENT_BACKREF:
        case ELEMENT_CONDITIONAL:
          m_ok = false;  // reads captures
          break;
        case ELEMENT_DELEGATE: {
          const CDelegateElement<unsigned short>* d = static_cast<const CDelegateElement<unsigned short>*>(e);
          if (d->m_nGroup != DELEGATE_NONCAPTURE && d->m_nGroup != DELEGATE_MODIFIER && d->m_pTarget) m_ok = false;
          break;
        }
        case ELEMENT_BRACKET:
          if (static_cast<const CBracketElement<unsigned short>*>(e)->m_nBalance != -1) m_ok = false;
          break;
        default:
          break;
      }
    }
    if (m_ok) Parents(m_re.GetRoot(), nullptr, 0);
  }

  bool Possessive(std::pair<int, int> span) {
    const HostElement* u = RepeatAt(span);
    if (!m_ok || !u || u->GetKind() != ELEMENT_GREEDY) return false;
    const CGreedyElement<unsigned short>* g = static_cast<const CGreedyElement<unsigned short>*>(u);
    if (g->m_bRightLeft || !g->Unbounded()) return false;
    const Facts& x = FactsOf(g->m_pElement, 0);
    if (!x.known || !x.pass.Empty()) return false;      // X may match empty
    if (!x.consumed.CodesWithin(x.singles)) return false;  // a character X takes only with others
    CharSet follow;
    bool sure = false;
    if (!Follow(u, &follow, &sure)) return false;
    return sure || !x.consumed.CodesMeet(follow);
  }

  bool AtomicIteration(std::pair<int, int> span) {
    const HostElement* u = RepeatAt(span);
    if (!m_ok || !u) return false;
    const CRepeatBase<unsigned short>* r = static_cast<const CRepeatBase<unsigned short>*>(u);
    if (r->m_bRightLeft) return false;
    const Facts& x = FactsOf(r->m_pElement, 0);
    return x.known && x.width >= 1;
  }

  // Branch `drop` of the `count` branches of the alternation in the body of the repeat at `span`;
  // `texts` are the branches as written, `content` the alternation's text.
  bool DropBranch(std::pair<int, int> span, const std::vector<std::u16string>& texts, size_t drop,
                  const std::u16string& content) {
    const HostElement* u = RepeatAt(span);
    if (!m_ok || !u || drop >= texts.size() || content.find(u'(') != std::u16string::npos) return false;
    const HostElement* body = static_cast<const CRepeatBase<unsigned short>*>(u)->m_pElement;
    const CAlternativeElement<unsigned short>* alt = AlternationIn(body, 0);
    if (!alt || alt->m_elements.GetSize() != static_cast<int>(texts.size())) return false;
    for (size_t i = 0; i < drop; ++i)
      if (texts[i] == texts[drop]) return true;  // a twin comes first
    CharSet others;
    for (int i = 0; i < alt->m_elements.GetSize(); ++i) {
      const Facts& b = FactsOf(alt->m_elements[i], 0);
      if (!b.known || b.width != 1 || !b.pass.Empty() || !b.consumed.CodesWithin(b.singles)) return false;
      if (i != static_cast<int>(drop)) others.Add(b.consumed);
    }
    return FactsOf(alt->m_elements[static_cast<int>(drop)], 0).consumed.CodesWithin(others);
  }

 private:
  static const int kMaxProofElements = 4000;
  static const int kMaxProofDepth = 400;

  struct Facts {
    bool known = false;
    CharSet first;     // what the element may consume first
    CharSet pass;      // the next characters where it may match without consuming
    CharSet consumed;  // everything it may consume
    CharSet singles;   // characters it takes alone by a way without conditions
    bool pureEmpty = false;  // it has a way that consumes nothing without conditions
    int width = -1;    // the same count of characters on every way, else -1
  };

  HostRegexp m_re;
  bool m_ok = false;
  std::unordered_map<const HostElement*, Facts> m_facts;
  std::unordered_map<const HostElement*, const HostElement*> m_parent;  // null: more than one
  std::map<unsigned, CharSet> m_folded;

  static Facts Unknown() {
    Facts f;
    f.first = f.pass = f.consumed = CharSet::All();
    return f;
  }
  static Facts Empty(bool pure) {
    Facts f;
    f.known = true;
    f.pass = CharSet::All();
    f.pureEmpty = pure;
    f.width = 0;
    return f;
  }

  const HostElement* RepeatAt(std::pair<int, int> span) const {
    for (int i = 0; i < m_re.GetElementCount(); ++i) {
      const HostElement* e = m_re.GetElement(i);
      const int k = e->GetKind();
      if ((k == ELEMENT_GREEDY || k == ELEMENT_RELUCTANT || k == ELEMENT_POSSESSIVE || k == ELEMENT_FIXED) &&
          e->m_nStart == span.first && e->m_nEnd == span.second && m_parent.count(e))
        return e;
    }
    return nullptr;
  }

  // The alternation a group body holds: through capture marks and non-capture wrappers.
  static const CAlternativeElement<unsigned short>* AlternationIn(const HostElement* e, int depth) {
    if (!e || depth > 8) return nullptr;
    switch (e->GetKind()) {
      case ELEMENT_ALTERNATIVE:
        return static_cast<const CAlternativeElement<unsigned short>*>(e);
      case ELEMENT_DELEGATE: {
        const CDelegateElement<unsigned short>* d = static_cast<const CDelegateElement<unsigned short>*>(e);
        return d->m_nGroup == DELEGATE_NONCAPTURE ? AlternationIn(d->m_pTarget, depth + 1) : nullptr;
      }
      case ELEMENT_LIST: {
        const CListElement<unsigned short>* l = static_cast<const CListElement<unsigned short>*>(e);
        const HostElement* only = nullptr;
        for (int i = 0; i < l->m_elements.GetSize(); ++i) {
          const HostElement* m = l->m_elements[i];
          if (m->GetKind() == ELEMENT_BRACKET) continue;
          if (only) return nullptr;
          only = m;
        }
        return AlternationIn(only, depth + 1);
      }
      default:
        return nullptr;
    }
  }

  std::vector<const HostElement*> Children(const HostElement* e) const {
    std::vector<const HostElement*> out;
    switch (e->GetKind()) {
      case ELEMENT_LIST: {
        const CListElement<unsigned short>* l = static_cast<const CListElement<unsigned short>*>(e);
        for (int i = 0; i < l->m_elements.GetSize(); ++i) out.push_back(l->m_elements[i]);
        break;
      }
      case ELEMENT_ALTERNATIVE: {
        const CAlternativeElement<unsigned short>* a = static_cast<const CAlternativeElement<unsigned short>*>(e);
        for (int i = 0; i < a->m_elements.GetSize(); ++i) out.push_back(a->m_elements[i]);
        break;
      }
      case ELEMENT_GREEDY:
      case ELEMENT_RELUCTANT:
      case ELEMENT_POSSESSIVE:
      case ELEMENT_FIXED:
        out.push_back(static_cast<const CRepeatBase<unsigned short>*>(e)->m_pElement);
        break;
      case ELEMENT_INDEPENDENT:
        out.push_back(static_cast<const CIndependentElement<unsigned short>*>(e)->m_pElement);
        break;
      case ELEMENT_ASSERTION:
        out.push_back(static_cast<const CAssertionElement<unsigned short>*>(e)->m_pElement);
        break;
      case ELEMENT_DELEGATE: {
        const CDelegateElement<unsigned short>* d = static_cast<const CDelegateElement<unsigned short>*>(e);
        if (d->m_nGroup == DELEGATE_NONCAPTURE && d->m_pTarget) out.push_back(d->m_pTarget);
        break;
      }
      default:
        break;
    }
    return out;
  }

  void Parents(const HostElement* e, const HostElement* parent, int depth) {
    if (!e) return;
    if (depth > kMaxProofDepth) {
      m_ok = false;
      return;
    }
    auto it = m_parent.find(e);
    if (it != m_parent.end()) {
      it->second = nullptr;  // reached twice: no single path from the root
      return;
    }
    m_parent[e] = parent;
    for (const HostElement* c : Children(e)) Parents(c, e, depth + 1);
  }

  // The next characters where what follows `target` in the pattern can succeed (the match's
  // end may be followed by anything). False when that is not known. `*sure` tells that what
  // follows succeeds wherever the target ends: up to the end of the pattern, of an atomic group
  // or of a look-ahead, it can match empty without a condition and without leaving a repeat.
  bool Follow(const HostElement* target, CharSet* out, bool* sure) {
    std::vector<const HostElement*> path{target};
    for (const HostElement* e = target; e != m_re.GetRoot();) {
      auto it = m_parent.find(e);
      if (it == m_parent.end() || !it->second) return false;
      e = it->second;
      path.push_back(e);
      if (path.size() > static_cast<size_t>(kMaxProofDepth) + 2) return false;
    }
    std::reverse(path.begin(), path.end());
    CharSet f = CharSet::All();
    bool certain = true;
    for (size_t k = 0; k + 1 < path.size(); ++k) {
      const HostElement* parent = path[k];
      const HostElement* child = path[k + 1];
      switch (parent->GetKind()) {
        case ELEMENT_LIST: {
          const CListElement<unsigned short>* l = static_cast<const CListElement<unsigned short>*>(parent);
          if (l->m_bRightLeft) return false;
          int at = -1;
          for (int i = 0; i < l->m_elements.GetSize(); ++i)
            if (l->m_elements[i] == child) {
              if (at >= 0) return false;
              at = i;
            }
          if (at < 0) return false;
          for (int i = l->m_elements.GetSize() - 1; i > at; --i) {
            const Facts& m = FactsOf(l->m_elements[i], 0);
            CharSet next = m.first;
            next.Add(m.pass.Meet(f));
            f = next;
            certain = certain && m.pureEmpty;
          }
          break;
        }
        case ELEMENT_ALTERNATIVE:
          break;
        case ELEMENT_GREEDY:
        case ELEMENT_RELUCTANT:
        case ELEMENT_FIXED: {
          const CRepeatBase<unsigned short>* r = static_cast<const CRepeatBase<unsigned short>*>(parent);
          if (r->m_bRightLeft) return false;
          long long max = 0;
          if (parent->GetKind() == ELEMENT_FIXED) {
            max = static_cast<const CFixedRepeatElement<unsigned short>*>(parent)->m_nCount;
          } else if (parent->GetKind() == ELEMENT_GREEDY) {
            const CGreedyElement<unsigned short>* g = static_cast<const CGreedyElement<unsigned short>*>(parent);
            max = static_cast<long long>(g->m_nMin) + g->m_nExtra;
          } else {
            const CReluctantElement<unsigned short>* g = static_cast<const CReluctantElement<unsigned short>*>(parent);
            max = static_cast<long long>(g->m_nMin) + g->m_nExtra;
          }
          // After an iteration: another one or what follows the repeat.
          if (max >= 2) f.Add(FactsOf(child, 0).first);
          certain = false;
          break;
        }
        case ELEMENT_POSSESSIVE:
          // Nothing after it backtracks into its inner element: for what is inside, reaching
          // its end is success, after the iterations still to come.
          f = CharSet::All();
          certain = false;
          break;
        case ELEMENT_INDEPENDENT:
          // The same, and its end is reached when its inner element's end is.
          f = CharSet::All();
          certain = true;
          break;
        case ELEMENT_ASSERTION: {
          const HostElement* inner = static_cast<const CAssertionElement<unsigned short>*>(parent)->m_pElement;
          if (inner && inner->GetKind() == ELEMENT_LIST &&
              static_cast<const CListElement<unsigned short>*>(inner)->m_bRightLeft)
            return false;  // a look-behind runs right to left
          f = CharSet::All();
          certain = true;
          break;
        }
        case ELEMENT_DELEGATE:
          break;  // a non-capture wrapper
        default:
          return false;
      }
    }
    *out = f;
    *sure = certain;
    return true;
  }

  const CharSet& Folded(unsigned c) {
    auto it = m_folded.find(c);
    if (it != m_folded.end()) return it->second;
    const unsigned up = TarnoUpper<unsigned short>(c);
    return m_folded[c] = CharSet::Scan([up](unsigned k) { return TarnoUpper<unsigned short>(k) == up; });
  }

  const Facts& FactsOf(const HostElement* e, int depth) {
    static const Facts unknown = Unknown();
    if (!e) {
      static const Facts empty = Empty(true);
      return empty;
    }
    auto it = m_facts.find(e);
    if (it != m_facts.end()) return it->second;
    if (depth > kMaxProofDepth) return unknown;
    Facts f = Compute(e, depth);
    return m_facts[e] = f;
  }

  Facts Compute(const HostElement* e, int depth) {
    switch (e->GetKind()) {
      case ELEMENT_STRING: {
        const CStringElement<unsigned short>* x = static_cast<const CStringElement<unsigned short>*>(e);
        if (x->m_bRightLeft) return Unknown();
        if (x->m_nLength == 0) return Empty(true);
        Facts f;
        f.known = true;
        for (int i = 0; i < x->m_nLength; ++i) {
          const unsigned c = TarnoChars<unsigned short>::Code(x->m_szPattern[i]);
          const CharSet one = x->m_bIgnoreCase ? Folded(c) : CharSet::Of(c);
          if (i == 0) f.first = one;
          f.consumed.Add(one);
        }
        if (x->m_nLength == 1) f.singles = f.first;
        f.width = x->m_nLength;
        return f;
      }
      case ELEMENT_CHARSET:
      case ELEMENT_POSIX: {
        const bool rtl = e->GetKind() == ELEMENT_CHARSET ? static_cast<const CCharsetElement<unsigned short>*>(e)->m_bRightLeft
                                                          : static_cast<const CPosixElement<unsigned short>*>(e)->m_bRightLeft;
        if (rtl) return Unknown();
        Facts f;
        f.known = true;
        if (e->GetKind() == ELEMENT_CHARSET) {
          const CCharsetElement<unsigned short>* x = static_cast<const CCharsetElement<unsigned short>*>(e);
          f.first = CharSet::Scan([x](unsigned c) { return x->TestCode(c); });
        } else {
          const CPosixElement<unsigned short>* x = static_cast<const CPosixElement<unsigned short>*>(e);
          f.first = CharSet::Scan([x](unsigned c) { return x->TestCode(c); });
        }
        f.consumed = f.singles = f.first;
        f.width = 1;
        return f;
      }
      case ELEMENT_BOUNDARY: {
        const CBoundaryElement<unsigned short>* b = static_cast<const CBoundaryElement<unsigned short>*>(e);
        Facts f = Empty(false);
        if (!b->m_bYes) return f;
        switch (b->m_nType) {
          case BOUNDARY_TEXT_END:
            f.pass = CharSet();
            f.pass.end = true;
            break;
          case BOUNDARY_TEXT_END_LF:
          case BOUNDARY_LINE_END:
            f.pass = CharSet::Of('\n');
            f.pass.Add(CharSet::Of('\r'));
            f.pass.end = true;
            break;
          case BOUNDARY_WORD_START:
            f.pass = CharSet::Scan([](unsigned c) { return TarnoIsWord(c); });
            break;
          case BOUNDARY_WORD_END:
            f.pass = CharSet::Scan([](unsigned c) { return !TarnoIsWord(c); });
            f.pass.end = true;
            break;
          default:
            break;
        }
        return f;
      }
      case ELEMENT_BRACKET:
      case ELEMENT_EMPTY:
        return Empty(true);
      case ELEMENT_LASTMATCH:
      case ELEMENT_ASSERTION:
        return Empty(false);
      case ELEMENT_LIST: {
        const CListElement<unsigned short>* l = static_cast<const CListElement<unsigned short>*>(e);
        if (l->m_bRightLeft) return Unknown();
        Facts f = Empty(true);
        const int n = l->m_elements.GetSize();
        std::vector<const Facts*> parts;
        for (int i = 0; i < n; ++i) parts.push_back(&FactsOf(l->m_elements[i], depth + 1));
        int pure = 0;
        for (const Facts* m : parts) pure += m->pureEmpty ? 1 : 0;
        for (int i = 0; i < n; ++i) {
          const Facts& m = *parts[i];
          if (!m.known) return Unknown();
          f.first.Add(f.pass.Meet(m.first));
          f.pass = f.pass.Meet(m.pass);
          f.consumed.Add(m.consumed);
          if (pure - (m.pureEmpty ? 1 : 0) == n - 1) f.singles.Add(m.singles);
          f.width = (f.width < 0 || m.width < 0 || f.width > (1 << 28)) ? -1 : f.width + m.width;
        }
        f.pureEmpty = pure == n;
        return f;
      }
      case ELEMENT_ALTERNATIVE: {
        const CAlternativeElement<unsigned short>* a = static_cast<const CAlternativeElement<unsigned short>*>(e);
        if (a->m_elements.GetSize() == 0) return Empty(true);
        Facts f;
        f.known = true;
        for (int i = 0; i < a->m_elements.GetSize(); ++i) {
          const Facts& m = FactsOf(a->m_elements[i], depth + 1);
          if (!m.known) return Unknown();
          f.first.Add(m.first);
          f.pass.Add(m.pass);
          f.consumed.Add(m.consumed);
          f.singles.Add(m.singles);
          f.pureEmpty = f.pureEmpty || m.pureEmpty;
          f.width = i == 0 ? m.width : (f.width == m.width ? f.width : -1);
        }
        return f;
      }
      case ELEMENT_GREEDY:
      case ELEMENT_RELUCTANT:
      case ELEMENT_POSSESSIVE:
      case ELEMENT_FIXED: {
        const CRepeatBase<unsigned short>* r = static_cast<const CRepeatBase<unsigned short>*>(e);
        if (r->m_bRightLeft) return Unknown();
        long long min = 0, max = 0;
        if (e->GetKind() == ELEMENT_FIXED) {
          min = max = static_cast<const CFixedRepeatElement<unsigned short>*>(e)->m_nCount;
        } else if (e->GetKind() == ELEMENT_RELUCTANT) {
          const CReluctantElement<unsigned short>* x = static_cast<const CReluctantElement<unsigned short>*>(e);
          min = x->m_nMin;
          max = min + x->m_nExtra;
        } else {
          const CGreedyElement<unsigned short>* x = static_cast<const CGreedyElement<unsigned short>*>(e);
          min = x->m_nMin;
          max = min + x->m_nExtra;
        }
        const Facts& m = FactsOf(r->m_pElement, depth + 1);
        if (!m.known) return Unknown();
        Facts f;
        f.known = true;
        if (max >= 1) {
          f.first = m.first;
          f.consumed = m.consumed;
        }
        f.pass = min == 0 ? CharSet::All() : m.pass;
        // A possessive repeat gives nothing back: a way of its inner element alone is no way of it.
        const bool possessive = e->GetKind() == ELEMENT_POSSESSIVE;
        if (!possessive && max >= 1 && (min <= 1 || m.pureEmpty)) f.singles = m.singles;
        f.pureEmpty = !possessive && (min == 0 || m.pureEmpty);
        if (m.width == 0 || max == 0)
          f.width = 0;
        else if (min == max && m.width > 0 && min <= (1 << 20) && m.width <= (1 << 8))
          f.width = static_cast<int>(min) * m.width;
        return f;
      }
      case ELEMENT_INDEPENDENT: {
        const Facts& m = FactsOf(static_cast<const CIndependentElement<unsigned short>*>(e)->m_pElement, depth + 1);
        if (!m.known) return Unknown();
        Facts f = m;
        f.singles = CharSet();  // its first way alone: not every way of the inner element
        f.pureEmpty = false;
        return f;
      }
      case ELEMENT_DELEGATE: {
        const CDelegateElement<unsigned short>* d = static_cast<const CDelegateElement<unsigned short>*>(e);
        if (!d->m_pTarget || d->m_nGroup == DELEGATE_MODIFIER) return Empty(true);
        if (d->m_nGroup == DELEGATE_NONCAPTURE) return FactsOf(d->m_pTarget, depth + 1);
        return Unknown();
      }
      default:
        return Unknown();
    }
  }
};

ProofRules::ProofRules(const std::u16string& pattern, int flags) : m_prover(new Prover(pattern, flags)) {}

ProofRules::~ProofRules() = default;

bool ProofRules::Prove(const Candidate& c) {
  Prover& prover = *m_prover;
  switch (c.kind) {
    case Fix::POSSESSIVE: return prover.Possessive(c.span);
    case Fix::ATOMIC: return prover.AtomicIteration(c.span);
    case Fix::DROP_BRANCH: return prover.DropBranch(c.span, c.branches, c.dropped, c.content);
    default: return false;  // narrowing a class: no rule proves it
  }
}

}  // namespace fixparts
}  // namespace backtrack
