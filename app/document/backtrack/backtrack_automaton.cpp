// The first stage of the backtracking analysis: the position automaton of a compiled pattern
// (see backtrack_stages.h).
#include <algorithm>
#include <map>

#include "app/document/backtrack/backtrack_stages.h"

namespace backtrack {
namespace stages {
namespace {

// Counted repeats up to this many iterations are spelt out; larger counts are read as
// unbounded from this many on (a witness shorter than the count behaves the same).
const int kExpand = 16;
const int kMaxDepth = 600;        // element nesting the builder follows
const int kMaxEdges = 400000;     // automaton transitions

struct Frag {
  int nullable = 0;  // ways to match the empty text, at most 2
  std::vector<int> first, last;  // states, each at most twice (two ways)
};

void CapTwice(std::vector<int>* v) {
  std::sort(v->begin(), v->end());
  std::vector<int> out;
  for (size_t i = 0; i < v->size(); ++i)
    if (i < 2 || (*v)[i] != (*v)[i - 2]) out.push_back((*v)[i]);
  v->swap(out);
}

// Builds the automaton from the element tree: every element gives a fragment (its first and
// last states and whether it matches empty), joined by edges as the pattern joins the elements.
class Builder {
 public:
  Builder(Automaton* a, const Limits& limits, const std::atomic<bool>* abort)
      : m_a(*a), m_limits(limits), m_abort(abort) {
    m_a.sets.emplace_back();  // the start state reads nothing
    m_pairs.emplace_back();
  }

  void Build(const HostElement* root) {
    Frag f = Walk(root, 0);
    for (int q : f.first) AddEdge(0, q, -1);
    m_a.out.assign(m_a.sets.size(), std::vector<int>());
    for (size_t i = 0; i < m_a.edges.size(); ++i) m_a.out[m_a.edges[i].from].push_back(static_cast<int>(i));
  }

 private:
  Automaton& m_a;
  const Limits& m_limits;
  const std::atomic<bool>* m_abort;
  std::vector<std::map<int, int>> m_pairs;  // per state: target -> parallel edges

  int NewState(const Symbols& s) {
    if (static_cast<int>(m_a.sets.size()) > m_limits.maxStates) throw TooLarge{"too many character tests"};
    m_a.sets.push_back(s);
    m_pairs.emplace_back();
    return static_cast<int>(m_a.sets.size()) - 1;
  }
  void AddEdge(int from, int to, int loop) {
    int& n = m_pairs[from][to];
    if (n >= 2) return;  // two ways are all that ambiguity needs
    ++n;
    if (static_cast<int>(m_a.edges.size()) >= kMaxEdges) throw TooLarge{"too many transitions"};
    m_a.edges.push_back(Edge{from, to, loop});
  }
  void Link(const std::vector<int>& last, const std::vector<int>& first, int loop) {
    for (int p : last)
      for (int q : first) AddEdge(p, q, loop);
  }

  static Frag Empty() {
    Frag f;
    f.nullable = 1;
    return f;
  }
  Frag Single(const Symbols& s, int nullable) {
    Frag f;
    int q = NewState(s);
    f.first.push_back(q);
    f.last.push_back(q);
    f.nullable = nullable;
    return f;
  }
  Frag Seq(const Frag& a, const Frag& b) {
    Link(a.last, b.first, -1);
    Frag f;
    f.first = a.first;
    for (int i = 0; i < a.nullable; ++i) f.first.insert(f.first.end(), b.first.begin(), b.first.end());
    f.last = b.last;
    for (int i = 0; i < b.nullable; ++i) f.last.insert(f.last.end(), a.last.begin(), a.last.end());
    CapTwice(&f.first);
    CapTwice(&f.last);
    f.nullable = std::min(2, a.nullable * b.nullable);
    return f;
  }
  static Frag Alt(const Frag& a, const Frag& b) {
    Frag f;
    f.first = a.first;
    f.first.insert(f.first.end(), b.first.begin(), b.first.end());
    f.last = a.last;
    f.last.insert(f.last.end(), b.last.begin(), b.last.end());
    CapTwice(&f.first);
    CapTwice(&f.last);
    f.nullable = std::min(2, a.nullable + b.nullable);
    return f;
  }

  // Everything an element can read, and whether it can match empty: the set of an opaque state.
  static bool Collect(const HostElement* e, Symbols* s, int depth) {
    if (!e) return true;
    if (depth > kMaxDepth) throw TooLarge{"nesting too deep"};
    switch (e->GetKind()) {
      case ELEMENT_STRING: {
        const CStringElement<unsigned short>* x = static_cast<const CStringElement<unsigned short>*>(e);
        for (int i = 0; i < x->m_nLength; ++i) *s |= CharSymbols(x->m_szPattern[i], x->m_bIgnoreCase);
        return x->m_nLength == 0;
      }
      case ELEMENT_CHARSET:
      case ELEMENT_POSIX:
        *s |= TestSymbols(e);
        return false;
      case ELEMENT_BACKREF:
        s->set();
        return true;
      case ELEMENT_LIST: {
        const CListElement<unsigned short>* x = static_cast<const CListElement<unsigned short>*>(e);
        bool n = true;
        for (int i = 0; i < x->m_elements.GetSize(); ++i) n = Collect(x->m_elements[i], s, depth + 1) && n;
        return n;
      }
      case ELEMENT_ALTERNATIVE: {
        const CAlternativeElement<unsigned short>* x = static_cast<const CAlternativeElement<unsigned short>*>(e);
        bool n = x->m_elements.GetSize() == 0;
        for (int i = 0; i < x->m_elements.GetSize(); ++i) n = Collect(x->m_elements[i], s, depth + 1) || n;
        return n;
      }
      case ELEMENT_GREEDY:
      case ELEMENT_POSSESSIVE:
      case ELEMENT_RELUCTANT: {
        const CRepeatBase<unsigned short>* x = static_cast<const CRepeatBase<unsigned short>*>(e);
        int min = e->GetKind() == ELEMENT_RELUCTANT ? static_cast<const CReluctantElement<unsigned short>*>(e)->m_nMin
                                                    : static_cast<const CGreedyElement<unsigned short>*>(e)->m_nMin;
        bool n = Collect(x->m_pElement, s, depth + 1);
        return n || min == 0;
      }
      case ELEMENT_FIXED: {
        const CFixedRepeatElement<unsigned short>* x = static_cast<const CFixedRepeatElement<unsigned short>*>(e);
        bool n = Collect(x->m_pElement, s, depth + 1);
        return n || x->m_nCount == 0;
      }
      case ELEMENT_INDEPENDENT:
        return Collect(static_cast<const CIndependentElement<unsigned short>*>(e)->m_pElement, s, depth + 1);
      case ELEMENT_CONDITIONAL: {
        const CConditionalElement<unsigned short>* x = static_cast<const CConditionalElement<unsigned short>*>(e);
        bool a = Collect(x->m_pYes, s, depth + 1);
        bool b = Collect(x->m_pNo, s, depth + 1);
        return a || b;
      }
      case ELEMENT_DELEGATE: {
        const CDelegateElement<unsigned short>* x = static_cast<const CDelegateElement<unsigned short>*>(e);
        if (x->m_nGroup == DELEGATE_NONCAPTURE) return Collect(x->m_pTarget, s, depth + 1);
        if (x->m_nGroup == DELEGATE_MODIFIER || !x->m_pTarget) return true;
        s->set();  // a recursion may read anything
        return true;
      }
      default:
        return true;  // anchors, look-arounds, brackets, \G, empty
    }
  }

  static Symbols CharSymbols(unsigned short ch, bool ignoreCase) {
    Symbols s;
    unsigned c = ch;
    if (!ignoreCase) {
      s.set(c < 256 ? c : 256);
      return s;
    }
    unsigned up = TarnoUpper<unsigned short>(c);
    for (int k = 0; k < 256; ++k)
      if (TarnoUpper<unsigned short>(static_cast<unsigned>(k)) == up) s.set(k);
    if (c >= 256) s.set(256);
    return s;
  }
  static Symbols TestSymbols(const HostElement* e) {
    Symbols s;
    for (int k = 0; k < kSymbols; ++k) {
      unsigned c = CodeOf(k);
      bool in = e->GetKind() == ELEMENT_CHARSET
                    ? static_cast<const CCharsetElement<unsigned short>*>(e)->TestCode(c)
                    : static_cast<const CPosixElement<unsigned short>*>(e)->TestCode(c);
      if (in) s.set(k);
    }
    return s;
  }

  Frag Opaque(const HostElement* inner) {
    Symbols s;
    bool nullable = Collect(inner, &s, 0);
    if (s.none()) return Empty();
    return Single(s, nullable ? 1 : 0);
  }

  // x{min,min+extra}: `min` plain copies (the last one looping when unbounded), then nested
  // optional copies.
  Frag Repeat(const HostElement* repeat, const HostElement* inner, int min, long long extra, int depth) {
    long long max = static_cast<long long>(min) + extra;
    bool unbounded = max >= TARNO_INFINITE || max > kExpand;
    int copies = std::min(min, kExpand);
    if (unbounded) {
      int loop = static_cast<int>(m_a.loops.size());
      m_a.loops.emplace_back(repeat->m_nStart, repeat->m_nEnd);
      Frag f = Empty();
      for (int i = 0; i + 1 < copies; ++i) f = Seq(f, Walk(inner, depth + 1));
      Frag body = Walk(inner, depth + 1);
      Link(body.last, body.first, loop);
      if (copies == 0) {
        body.nullable = 1;  // no iteration; an empty iteration is not taken
        return body;
      }
      return Seq(f, body);
    }
    Frag f = Empty();
    for (int i = 0; i < copies; ++i) f = Seq(f, Walk(inner, depth + 1));
    Frag tail = Empty();
    for (long long i = 0; i < extra; ++i) {
      Frag opt = Seq(Walk(inner, depth + 1), tail);
      opt.nullable = 1;  // or no further iteration at all
      tail = opt;
    }
    return Seq(f, tail);
  }

  Frag Walk(const HostElement* e, int depth) {
    if (!e) return Empty();
    if (depth > kMaxDepth) throw TooLarge{"nesting too deep"};
    if (m_abort && m_abort->load(std::memory_order_relaxed)) throw Aborted();
    switch (e->GetKind()) {
      case ELEMENT_STRING: {
        const CStringElement<unsigned short>* x = static_cast<const CStringElement<unsigned short>*>(e);
        Frag f = Empty();
        for (int i = 0; i < x->m_nLength; ++i) f = Seq(f, Single(CharSymbols(x->m_szPattern[i], x->m_bIgnoreCase), 0));
        return f;
      }
      case ELEMENT_CHARSET:
      case ELEMENT_POSIX:
        return Single(TestSymbols(e), 0);
      case ELEMENT_BACKREF: {
        Symbols all;
        all.set();
        return Single(all, 1);
      }
      case ELEMENT_LIST: {
        const CListElement<unsigned short>* x = static_cast<const CListElement<unsigned short>*>(e);
        Frag f = Empty();
        for (int i = 0; i < x->m_elements.GetSize(); ++i) f = Seq(f, Walk(x->m_elements[i], depth + 1));
        return f;
      }
      case ELEMENT_ALTERNATIVE: {
        const CAlternativeElement<unsigned short>* x = static_cast<const CAlternativeElement<unsigned short>*>(e);
        if (x->m_elements.GetSize() == 0) return Empty();
        Frag f = Walk(x->m_elements[0], depth + 1);
        for (int i = 1; i < x->m_elements.GetSize(); ++i) f = Alt(f, Walk(x->m_elements[i], depth + 1));
        return f;
      }
      case ELEMENT_GREEDY: {
        const CGreedyElement<unsigned short>* x = static_cast<const CGreedyElement<unsigned short>*>(e);
        return Repeat(e, x->m_pElement, x->m_nMin, x->m_nExtra, depth);
      }
      case ELEMENT_RELUCTANT: {
        const CReluctantElement<unsigned short>* x = static_cast<const CReluctantElement<unsigned short>*>(e);
        return Repeat(e, x->m_pElement, x->m_nMin, x->m_nExtra, depth);
      }
      case ELEMENT_FIXED: {
        const CFixedRepeatElement<unsigned short>* x = static_cast<const CFixedRepeatElement<unsigned short>*>(e);
        return Repeat(e, x->m_pElement, x->m_nCount, 0, depth);
      }
      case ELEMENT_POSSESSIVE:
        return Opaque(static_cast<const CPossessiveElement<unsigned short>*>(e)->m_pElement);
      case ELEMENT_INDEPENDENT:
        return Opaque(static_cast<const CIndependentElement<unsigned short>*>(e)->m_pElement);
      case ELEMENT_CONDITIONAL: {
        const CConditionalElement<unsigned short>* x = static_cast<const CConditionalElement<unsigned short>*>(e);
        return Alt(Walk(x->m_pYes, depth + 1), Walk(x->m_pNo, depth + 1));
      }
      case ELEMENT_DELEGATE: {
        const CDelegateElement<unsigned short>* x = static_cast<const CDelegateElement<unsigned short>*>(e);
        if (x->m_nGroup == DELEGATE_NONCAPTURE) return Walk(x->m_pTarget, depth + 1);
        if (x->m_nGroup == DELEGATE_MODIFIER || !x->m_pTarget) return Empty();
        Symbols all;
        all.set();
        return Single(all, 1);  // a recursion: one opaque state
      }
      case ELEMENT_ASSERTION: {
        // A look-ahead runs its content as a match of its own, which can backtrack as much as
        // any: its states hang off the flow (entered where the look-ahead stands, leading
        // nowhere), and the look-ahead itself is transparent. A look-behind's content runs
        // right to left and is left out.
        const HostElement* inner = static_cast<const CAssertionElement<unsigned short>*>(e)->m_pElement;
        Frag f = Empty();
        if (!RightToLeft(inner, 0)) f.first = Walk(inner, depth + 1).first;
        return f;
      }
      default:
        return Empty();  // anchors, brackets, \G, empty
    }
  }

  static bool RightToLeft(const HostElement* e, int depth) {
    if (!e || depth > 50) return false;
    switch (e->GetKind()) {
      case ELEMENT_LIST:
        return static_cast<const CListElement<unsigned short>*>(e)->m_bRightLeft;
      case ELEMENT_STRING:
        return static_cast<const CStringElement<unsigned short>*>(e)->m_bRightLeft;
      case ELEMENT_CHARSET:
        return static_cast<const CCharsetElement<unsigned short>*>(e)->m_bRightLeft;
      case ELEMENT_POSIX:
        return static_cast<const CPosixElement<unsigned short>*>(e)->m_bRightLeft;
      case ELEMENT_BACKREF:
        return static_cast<const CBackrefElement<unsigned short>*>(e)->m_bRightLeft;
      case ELEMENT_GREEDY:
      case ELEMENT_POSSESSIVE:
      case ELEMENT_RELUCTANT:
      case ELEMENT_FIXED:
        return static_cast<const CRepeatBase<unsigned short>*>(e)->m_bRightLeft;
      case ELEMENT_ALTERNATIVE: {
        const CAlternativeElement<unsigned short>* x = static_cast<const CAlternativeElement<unsigned short>*>(e);
        return x->m_elements.GetSize() > 0 && RightToLeft(x->m_elements[0], depth + 1);
      }
      case ELEMENT_DELEGATE:
        return static_cast<const CDelegateElement<unsigned short>*>(e)->m_nGroup == DELEGATE_NONCAPTURE &&
               RightToLeft(static_cast<const CDelegateElement<unsigned short>*>(e)->m_pTarget, depth + 1);
      case ELEMENT_INDEPENDENT:
        return RightToLeft(static_cast<const CIndependentElement<unsigned short>*>(e)->m_pElement, depth + 1);
      default:
        return false;
    }
  }
};

}  // namespace

std::vector<int> PreferredSymbols() {
  std::vector<int> order;
  std::vector<bool> taken(kSymbols, false);
  auto add = [&](int s) {
    if (!taken[s]) {
      taken[s] = true;
      order.push_back(s);
    }
  };
  for (int c = 'a'; c <= 'z'; ++c) add(c);
  for (int c = '0'; c <= '9'; ++c) add(c);
  for (int c = 'A'; c <= 'Z'; ++c) add(c);
  add(' ');
  for (int c = 33; c < 127; ++c) add(c);
  add('\n');
  add('\t');
  for (int c = 0; c < kSymbols; ++c) add(c);
  return order;
}

Automaton BuildAutomaton(const HostElement* root, const Limits& limits, const std::atomic<bool>* abort) {
  Automaton a;
  Builder(&a, limits, abort).Build(root);
  return a;
}

}  // namespace stages
}  // namespace backtrack
