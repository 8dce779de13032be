// Rewrites of a costly pattern, proven or shown to change the meaning (see backtrack_fixes.h).
#include "app/document/backtrack_fixes.h"

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <unordered_map>

#include "app/document/budgeted_search.h"
#include "app/host_engine.h"

namespace backtrack {
namespace {

const long long kSubjectBudget = 20000;     // element entries per search of a generated subject
const long long kUserBudget = 400000;       // of a subject the caller gave
const size_t kMaxUserText = 20000;          // code units of a caller's subject looked at
const int kRandomSubjects = 600;
const int kMaxCandidates = 12;

// A compiled pattern and the matches of a whole search, spans and groups in one list.
class Searcher {
 public:
  Searcher(const std::u16string& pattern, int flags) {
    std::vector<unsigned short> p(pattern.begin(), pattern.end());
    p.push_back(0);
    m_re.Compile(p.data(), static_cast<int>(pattern.size()), flags);
    m_ok = m_re.GetRoot() != nullptr;
    for (int i = 0; m_ok && i < m_re.GetElementCount(); ++i)
      if (m_re.GetElement(i)->m_nError != 0) m_ok = false;
  }
  bool Ok() const { return m_ok; }
  int Groups() const { return m_re.MaxGroupNumber(); }
  // False when the search ran out of `budget` element entries or nested too deep.
  bool FindAll(const std::u16string& text, long long budget, std::vector<int>* out) {
    out->clear();
    auto record = [out](const MatchResult& m) {
      for (int g = 0; g <= m.MaxGroupNumber(); ++g) {
        out->push_back(m.GetGroupStart(g));
        out->push_back(m.GetGroupEnd(g));
      }
      out->push_back(-2);  // a separator: matches with different group counts never compare equal
      return true;
    };
    return !BudgetedSearch(m_re, text, -1, false, budget, nullptr, record).cut;
  }

 private:
  HostRegexp m_re;
  bool m_ok = false;
};

// --- the proof rules ---
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

class Prover {
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

// --- reading the pattern text ---

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

struct Candidate {
  Fix::Kind kind;
  std::pair<int, int> span;
  std::u16string replacement;
  // A dropped branch: the branches as written, which one goes, and the alternation's text.
  std::vector<std::u16string> branches;
  size_t dropped = 0;
  std::u16string content;
};

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

bool Prove(Prover& prover, const Candidate& c) {
  switch (c.kind) {
    case Fix::POSSESSIVE: return prover.Possessive(c.span);
    case Fix::ATOMIC: return prover.AtomicIteration(c.span);
    case Fix::DROP_BRANCH: return prover.DropBranch(c.span, c.branches, c.dropped, c.content);
    default: return false;  // narrowing a class: no rule proves it
  }
}

int Rank(const Report& r) {
  switch (r.verdict) {
    case LINEAR: return 0;
    case POLYNOMIAL: return r.degree;
    case EXPONENTIAL: return 1000;
    default: return 2000;
  }
}

// The largest count a quantifier of the pattern names ({3}, {2,5}: 5), at least 1.
int LargestCount(const std::u16string& p) {
  int most = 1;
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '\\') {
      ++i;
      continue;
    }
    if (p[i] != '{' || QuantifierEnd(p, static_cast<int>(i)) < 0) continue;
    int value = 0;
    for (size_t j = i + 1; j < p.size() && p[j] != '}'; ++j) {
      if (p[j] >= '0' && p[j] <= '9') {
        value = std::min(value * 10 + (p[j] - '0'), 1000);
      } else {
        most = std::max(most, value);
        value = 0;
      }
    }
    most = std::max(most, value);
  }
  return std::min(most, 40);
}

// The literal runs of the pattern in order (quantifier counts are not literals).
std::vector<std::u16string> LiteralRuns(const std::u16string& p) {
  std::vector<std::u16string> pieces;
  std::u16string run;
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '{') {
      const int q = QuantifierEnd(p, static_cast<int>(i));
      if (q > 0) {
        if (!run.empty()) pieces.push_back(run);
        run.clear();
        i = static_cast<size_t>(q) - 1;
        continue;
      }
    }
    const int c = LiteralAt(p, static_cast<int>(i));
    if (c >= 0) {
      run += static_cast<char16_t>(c);
    } else {
      if (!run.empty()) pieces.push_back(run);
      run.clear();
    }
    if (p[i] == '\\') ++i;
  }
  if (!run.empty()) pieces.push_back(run);
  return pieces;
}

// The texts a rewrite is compared on, besides the caller's: the witnesses; every text of up to
// four characters (three when there are many kinds) over a small alphabet of the pattern's
// literal characters and one character of each common kind; the pattern's literal runs in order,
// each repeated up to two times more often than the largest count in the pattern, with and
// without a filler before each (what (.*,){3}x needs: ",,,x", "a,a,a,a,x"); and random texts over
// a larger alphabet, half of them strung together from literal runs and witness parts.
std::vector<std::u16string> GeneratedSubjects(const std::u16string& p, const Report& report) {
  std::vector<std::u16string> out;
  std::vector<char16_t> small;  // in order of importance, no repeats
  auto addSmall = [&small](char16_t c) {
    if (c != 0 && std::find(small.begin(), small.end(), c) == small.end()) small.push_back(c);
  };
  std::set<char16_t> chars;
  std::vector<std::u16string> pieces = LiteralRuns(p);
  for (const std::u16string& piece : pieces)
    for (char16_t c : piece) {
      chars.insert(c);
      addSmall(c);
    }
  const std::vector<std::u16string> literals(pieces.begin(), pieces.begin() + std::min<size_t>(pieces.size(), 8));
  for (const Finding& f : report.findings) {
    if (!f.confirmed) continue;
    const Witness& w = f.witness;
    for (int n : {0, 1, 2, 3, 4, 6, 9}) {
      out.push_back(w.Text(n));
      std::u16string bare = w.prefix;
      for (int i = 0; i < n; ++i) bare += w.pump;
      out.push_back(bare);
    }
    for (const std::u16string* s : {&w.prefix, &w.pump, &w.suffix}) {
      chars.insert(s->begin(), s->end());
      for (char16_t c : *s) addSmall(c);
      if (!s->empty()) pieces.push_back(*s);
    }
  }
  for (char16_t c : std::u16string(u"0a A_\n-.")) addSmall(c);
  // Pumped witnesses ended by each small character and each literal run: what a match of the
  // rest of the pattern after the repeats needs ("000x" for \d+\d+\d+x).
  for (const Finding& f : report.findings) {
    if (!f.confirmed) continue;
    std::u16string pumped = f.witness.prefix;
    for (int n = 1; n <= 5; ++n) {
      pumped += f.witness.pump;
      for (char16_t c : small) out.push_back(pumped + c);
      for (const std::u16string& piece : pieces) out.push_back(pumped + piece);
    }
  }
  // The literal runs repeated: all of them in order, and each alone among the others.
  if (!literals.empty()) {
    const int most = LargestCount(p);
    std::vector<int> counts{1, 2, most, most + 1, most + 2};
    std::sort(counts.begin(), counts.end());
    counts.erase(std::unique(counts.begin(), counts.end()), counts.end());
    std::vector<std::u16string> fillers{std::u16string(), u"a", u"0", u" "};
    for (char16_t c : small)
      if (chars.count(c) == 0 && fillers.size() < 6) fillers.push_back(std::u16string(1, c));
    for (const std::u16string& filler : fillers) {
      for (int n : counts) {
        std::u16string all;
        for (const std::u16string& piece : literals)
          for (int k = 0; k < n; ++k) all += filler + piece;
        out.push_back(all);
        out.push_back(all + filler);
        out.push_back(filler + all.substr(0, all.size() / 2));
        for (size_t i = 0; i < literals.size(); ++i) {
          std::u16string one;
          for (size_t j = 0; j < literals.size(); ++j) {
            if (j == i) {
              for (int k = 0; k < n; ++k) one += filler + literals[j];
            } else {
              one += filler + literals[j];
            }
          }
          out.push_back(one);
          out.push_back(one + filler);
        }
      }
    }
  }
  for (char16_t c : std::u16string(u"aZ0_ \n\r-.=@,;\t\"")) chars.insert(c);
  chars.erase(u'\0');
  // Every short text over the small alphabet.
  const size_t kinds = std::min<size_t>(small.size(), 12);
  const int longest = kinds <= 9 ? 4 : 3;
  std::vector<std::u16string> level{std::u16string()};
  out.push_back(std::u16string());
  for (int len = 1; len <= longest; ++len) {
    std::vector<std::u16string> next;
    next.reserve(level.size() * kinds);
    for (const std::u16string& t : level)
      for (size_t k = 0; k < kinds; ++k) next.push_back(t + small[k]);
    out.insert(out.end(), next.begin(), next.end());
    level.swap(next);
  }
  std::vector<char16_t> alphabet(chars.begin(), chars.end());
  if (alphabet.size() > 40) alphabet.resize(40);
  for (char16_t c : alphabet) pieces.push_back(std::u16string(1, c));
  std::mt19937 rng(20261209);
  for (int k = 0; k < kRandomSubjects; ++k) {
    std::u16string s;
    if (k % 2 == 0) {
      const int len = 5 + static_cast<int>(rng() % 12);
      for (int i = 0; i < len; ++i) s += alphabet[rng() % alphabet.size()];
    } else {
      const int count = 1 + static_cast<int>(rng() % 6);
      for (int i = 0; i < count && s.size() < 60; ++i) s += pieces[rng() % pieces.size()];
    }
    out.push_back(s);
  }
  // Each text once.
  std::set<std::u16string> seen;
  std::vector<std::u16string> unique;
  unique.reserve(out.size());
  for (std::u16string& t : out)
    if (t.size() <= 400 && seen.insert(t).second) unique.push_back(std::move(t));
  return unique;
}

bool Aborted(const std::atomic<bool>* abort) { return abort && abort->load(std::memory_order_relaxed); }

// The first match (and group) where two flat match lists (see Searcher::FindAll) part.
void Describe(const std::vector<int>& x, const std::vector<int>& y, Difference* d) {
  auto split = [](const std::vector<int>& flat) {
    std::vector<std::vector<int>> out(1);
    for (int v : flat) {
      if (v == -2)
        out.emplace_back();
      else
        out.back().push_back(v);
    }
    out.pop_back();
    return out;
  };
  const std::vector<std::vector<int>> a = split(x), b = split(y);
  for (size_t k = 0; k < std::max(a.size(), b.size()); ++k) {
    const std::vector<int>* ma = k < a.size() ? &a[k] : nullptr;
    const std::vector<int>* mb = k < b.size() ? &b[k] : nullptr;
    if (ma && mb && *ma == *mb) continue;
    d->match = static_cast<int>(k);
    d->group = 0;
    if (ma && mb) {
      const size_t groups = std::min(ma->size(), mb->size()) / 2;
      for (size_t g = 0; g < groups; ++g)
        if ((*ma)[2 * g] != (*mb)[2 * g] || (*ma)[2 * g + 1] != (*mb)[2 * g + 1]) {
          d->group = static_cast<int>(g);
          break;
        }
    }
    const size_t g = static_cast<size_t>(d->group);
    d->before = ma && ma->size() > 2 * g + 1 ? std::make_pair((*ma)[2 * g], (*ma)[2 * g + 1]) : std::make_pair(-1, -1);
    d->after = mb && mb->size() > 2 * g + 1 ? std::make_pair((*mb)[2 * g], (*mb)[2 * g + 1]) : std::make_pair(-1, -1);
    return;
  }
}

}  // namespace

bool SameMatches(const std::u16string& a, const std::u16string& b, int flags, const std::u16string& text,
                 long long budget, bool* undecided) {
  *undecided = false;
  Searcher x(a, flags), y(b, flags);
  if (!x.Ok() || !y.Ok() || x.Groups() != y.Groups()) return false;
  std::vector<int> mx, my;
  if (!x.FindAll(text, budget, &mx) || !y.FindAll(text, budget, &my)) {
    *undecided = true;
    return false;
  }
  return mx == my;
}

bool FindDifference(const std::u16string& a, const std::u16string& b, int flags, const std::u16string& text,
                    long long budget, Difference* d) {
  Searcher x(a, flags), y(b, flags);
  if (!x.Ok() || !y.Ok()) return false;
  std::vector<int> mx, my;
  if (!x.FindAll(text, budget, &mx) || !y.FindAll(text, budget, &my) || mx == my) return false;
  *d = Difference();
  d->text = text;
  d->flags = flags;
  Describe(mx, my, d);
  return d->match >= 0;
}

bool ProveRewrite(const std::u16string& original, int flags, Fix::Kind kind, std::pair<int, int> span,
                  const std::u16string& rewritten) {
  std::vector<Candidate> candidates;
  AddCandidates(original, flags, span, &candidates);
  for (const Candidate& c : candidates) {
    if (c.kind != kind) continue;
    const std::u16string whole = original.substr(0, c.span.first) + c.replacement + original.substr(c.span.second);
    if (whole != rewritten) continue;
    Prover prover(original, flags);
    return Prove(prover, c);
  }
  return false;
}

std::vector<Fix> StandardRewrites(const std::u16string& pattern, int flags) {
  std::vector<Fix> out;
  std::vector<std::pair<int, int>> spans;
  {
    std::vector<unsigned short> p(pattern.begin(), pattern.end());
    p.push_back(0);
    HostRegexp re(p.data(), static_cast<int>(pattern.size()), flags);
    for (int i = 0; i < re.GetElementCount(); ++i) {
      const HostElement* e = re.GetElement(i);
      const int k = e->GetKind();
      if (k == ELEMENT_GREEDY || k == ELEMENT_RELUCTANT || k == ELEMENT_POSSESSIVE || k == ELEMENT_FIXED) {
        const std::pair<int, int> s(e->m_nStart, e->m_nEnd);
        if (std::find(spans.begin(), spans.end(), s) == spans.end()) spans.push_back(s);
      }
    }
  }
  Prover prover(pattern, flags);
  for (const std::pair<int, int>& s : spans) {
    std::vector<Candidate> candidates;
    AddCandidates(pattern, flags, s, &candidates);
    for (const Candidate& c : candidates) {
      Fix f;
      f.kind = c.kind;
      f.span = c.span;
      f.replacement = c.replacement;
      f.pattern = pattern.substr(0, c.span.first) + c.replacement + pattern.substr(c.span.second);
      f.proven = Prove(prover, c);
      out.push_back(std::move(f));
    }
  }
  return out;
}

bool BetterVerdict(const Report& x, const Report& y) { return Rank(x) < Rank(y); }

std::vector<Fix> ProposeFixes(const std::u16string& pattern, int flags, const Report& report,
                              const std::vector<Subject>& subjects, const Limits& limits,
                              const std::atomic<bool>* abort) {
  std::vector<Fix> fixes;
  if (report.Worst() < 0 || report.verdict == TOO_LARGE) return fixes;
  // Candidates from the repeats of the confirmed findings, the worst finding's first.
  std::vector<std::pair<int, int>> spans;
  std::vector<int> order;
  order.push_back(report.Worst());
  for (int i = 0; i < static_cast<int>(report.findings.size()); ++i)
    if (i != report.Worst() && report.findings[i].confirmed) order.push_back(i);
  for (int i : order)
    for (const std::pair<int, int>& s : report.findings[i].spans)
      if (std::find(spans.begin(), spans.end(), s) == spans.end()) spans.push_back(s);
  std::vector<Candidate> candidates;
  for (const std::pair<int, int>& s : spans) AddCandidates(pattern, flags, s, &candidates);
  if (candidates.size() > kMaxCandidates) candidates.resize(kMaxCandidates);

  const std::vector<std::u16string> generated = GeneratedSubjects(pattern, report);
  Searcher original(pattern, flags);
  if (!original.Ok()) return fixes;
  // The original's matches on every subject, once: a subject it cannot finish is left out.
  struct Known {
    const std::u16string* text;
    int flags;
    long long budget;
    std::vector<int> matches;
  };
  std::vector<Known> known;
  std::vector<std::u16string> userTexts;
  userTexts.reserve(subjects.size());
  for (const Subject& s : subjects)
    userTexts.push_back(s.text.size() > kMaxUserText ? s.text.substr(0, kMaxUserText) : s.text);
  std::set<int> flagSets{flags};
  for (size_t i = 0; i < subjects.size(); ++i) {
    if (Aborted(abort)) return fixes;
    Searcher own(pattern, subjects[i].flags);
    Known k{&userTexts[i], subjects[i].flags, kUserBudget, {}};
    if (own.Ok() && own.FindAll(*k.text, k.budget, &k.matches)) {
      known.push_back(std::move(k));
      flagSets.insert(subjects[i].flags);
    }
  }
  for (const std::u16string& t : generated) {
    if (Aborted(abort)) return fixes;
    Known k{&t, flags, kSubjectBudget, {}};
    if (original.FindAll(t, k.budget, &k.matches)) known.push_back(std::move(k));
  }
  if (static_cast<int>(known.size()) < kMinFixSubjects) return fixes;

  // One prover per set of options (the facts it gathers serve every candidate).
  std::map<int, std::unique_ptr<Prover>> provers;
  for (int f : flagSets) provers[f].reset(new Prover(pattern, f));
  std::set<std::u16string> tried;
  for (const Candidate& c : candidates) {
    if (Aborted(abort)) return {};
    std::u16string rewritten =
        pattern.substr(0, c.span.first) + c.replacement + pattern.substr(c.span.second);
    if (!tried.insert(rewritten).second) continue;
    Searcher plain(rewritten, flags);
    if (!plain.Ok() || plain.Groups() != original.Groups()) continue;
    // The argument, for the options of every subject the rewrite is searched with.
    bool proven = true;
    for (int f : flagSets) proven = proven && Prove(*provers[f], c);
    // The texts: every one, a second check of a proven rewrite and, for the others, the shortest
    // text on which they differ.
    Fix fix;
    bool differs = false, lost = false;
    int compared = 0;
    std::vector<int> got;
    for (const Known& k : known) {
      if (Aborted(abort)) return {};
      bool finished;
      if (k.flags == flags) {
        finished = plain.FindAll(*k.text, k.budget, &got);
      } else {
        Searcher own(rewritten, k.flags);
        finished = own.Ok() && own.FindAll(*k.text, k.budget, &got);
      }
      if (!finished) {
        lost = true;  // the rewrite ran out where the original did not
        continue;
      }
      ++compared;
      if (got == k.matches) continue;
      if (!differs || k.text->size() < fix.differs.text.size()) {
        fix.differs = Difference();
        fix.differs.text = *k.text;
        fix.differs.flags = k.flags;
        Describe(k.matches, got, &fix.differs);
      }
      differs = true;
    }
    if (differs) proven = false;  // the texts overrule a faulty argument, never the other way
    if (proven && lost) continue;
    if (!proven && !differs) continue;  // neither proven nor shown to differ: not offered
    Report after = Analyze(rewritten, flags, limits, abort);
    if (Aborted(abort)) return {};
    if (!BetterVerdict(after, report)) continue;
    fix.kind = c.kind;
    fix.proven = proven;
    fix.span = c.span;
    fix.replacement = c.replacement;
    fix.pattern = std::move(rewritten);
    fix.report = std::move(after);
    fix.subjects = compared;
    fixes.push_back(std::move(fix));
  }
  std::stable_sort(fixes.begin(), fixes.end(), [](const Fix& a, const Fix& b) {
    if (a.proven != b.proven) return a.proven;
    return Rank(a.report) < Rank(b.report);
  });
  return fixes;
}

}  // namespace backtrack
