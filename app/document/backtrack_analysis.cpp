// Catastrophic-backtracking analysis: the automaton, the product searches, the witnesses and
// their measurement (see backtrack_analysis.h).
#include "app/document/backtrack_analysis.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

#include "app/host_engine.h"

namespace backtrack {
namespace {

// The alphabet: the byte values and one symbol standing for every code above 255.
const int kSymbols = 257;
const unsigned kHighCode = 0x4E00;
typedef std::bitset<kSymbols> Symbols;

// Counted repeats up to this many iterations are spelt out; larger counts are read as
// unbounded from this many on (a witness shorter than the count behaves the same).
const int kExpand = 16;
const int kMaxDepth = 600;        // element nesting the builder follows
const int kMaxEdges = 400000;     // automaton transitions
const int kMaxNesting = 8000;     // of a witness run: fits a main thread's stack
const int kExpMaxPumps = 60;      // pump counts tried for an exponential finding

struct TooLarge {
  const char* why;
};
struct Aborted {};

unsigned CodeOf(int symbol) { return symbol < 256 ? static_cast<unsigned>(symbol) : kHighCode; }

// The order in which symbols are preferred as the representative of a class: readable letters
// and digits first, so that witnesses read naturally.
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

struct Edge {
  int from;
  int to;
  int loop;  // index into Automaton::loops of the repeat whose loop-back made it, or -1
};

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

// The position automaton of a compiled pattern. State 0 is the start; every other state reads one
// symbol of its set.
class Automaton {
 public:
  Automaton(const Limits& limits, const std::atomic<bool>* abort) : m_limits(limits), m_abort(abort) {
    sets.emplace_back();  // the start state reads nothing
    pairs.emplace_back();
  }

  std::vector<Symbols> sets;
  std::vector<Edge> edges;
  std::vector<std::vector<int>> out;        // per state: its edges
  std::vector<std::pair<int, int>> loops;   // spans of the repeats that loop
  std::vector<std::map<int, int>> pairs;    // per state: target -> parallel edges

  void Build(const HostElement* root) {
    Frag f = Walk(root, 0);
    for (int q : f.first) AddEdge(0, q, -1);
    out.assign(sets.size(), std::vector<int>());
    for (size_t i = 0; i < edges.size(); ++i) out[edges[i].from].push_back(static_cast<int>(i));
  }

 private:
  const Limits& m_limits;
  const std::atomic<bool>* m_abort;

  int NewState(const Symbols& s) {
    if (static_cast<int>(sets.size()) > m_limits.maxStates) throw TooLarge{"too many character tests"};
    sets.push_back(s);
    pairs.emplace_back();
    return static_cast<int>(sets.size()) - 1;
  }
  void AddEdge(int from, int to, int loop) {
    int& n = pairs[from][to];
    if (n >= 2) return;  // two ways are all that ambiguity needs
    ++n;
    if (static_cast<int>(edges.size()) >= kMaxEdges) throw TooLarge{"too many transitions"};
    edges.push_back(Edge{from, to, loop});
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
      int loop = static_cast<int>(loops.size());
      loops.emplace_back(repeat->m_nStart, repeat->m_nEnd);
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

// Strongly connected components, iteratively (product graphs can be large). comp[v] numbers the
// components in reverse topological order.
int Components(const std::vector<std::vector<int>>& adj, std::vector<int>* comp) {
  const int n = static_cast<int>(adj.size());
  std::vector<int> index(n, -1), low(n, 0), stack;
  std::vector<bool> on(n, false);
  comp->assign(n, -1);
  int next = 0, count = 0;
  std::vector<std::pair<int, size_t>> call;
  for (int s = 0; s < n; ++s) {
    if (index[s] >= 0) continue;
    call.push_back({s, 0});
    index[s] = low[s] = next++;
    stack.push_back(s);
    on[s] = true;
    while (!call.empty()) {
      int v = call.back().first;
      size_t& i = call.back().second;
      if (i < adj[v].size()) {
        int w = adj[v][i++];
        if (index[w] < 0) {
          index[w] = low[w] = next++;
          stack.push_back(w);
          on[w] = true;
          call.push_back({w, 0});
        } else if (on[w]) {
          low[v] = std::min(low[v], index[w]);
        }
        continue;
      }
      if (low[v] == index[v]) {
        for (;;) {
          int w = stack.back();
          stack.pop_back();
          on[w] = false;
          (*comp)[w] = count;
          if (w == v) break;
        }
        ++count;
      }
      call.pop_back();
      if (!call.empty()) low[call.back().first] = std::min(low[call.back().first], low[v]);
    }
  }
  return count;
}

// The automaton with its alphabet classes and components, and the searches on it.
class Analyzer {
 public:
  Analyzer(const Automaton& a, const Limits& limits, const std::atomic<bool>* abort)
      : m_a(a), m_limits(limits), m_abort(abort) {
    Classify();
    const int n = static_cast<int>(a.sets.size());
    std::vector<std::vector<int>> adj(n);
    for (const Edge& e : a.edges) adj[e.from].push_back(e.to);
    m_nComps = Components(adj, &m_comp);
    m_selfLoop.assign(m_nComps, false);
    m_compSize.assign(m_nComps, 0);
    m_compStates.assign(m_nComps, std::vector<int>());
    for (int v = 0; v < n; ++v) {
      ++m_compSize[m_comp[v]];
      m_compStates[m_comp[v]].push_back(v);
    }
    for (const Edge& e : a.edges)
      if (e.from == e.to) m_selfLoop[m_comp[e.from]] = true;
    Prefixes();
  }

  bool Looping(int comp) const { return m_compSize[comp] > 1 || m_selfLoop[comp]; }

  std::vector<Finding> Exponential();
  std::vector<Finding> Polynomial();

 private:
  // Two loops in sequence that one word leads around and from the first into the second.
  struct Pair {
    int a, b;  // components
    int p, q;  // the states of A and B the word was found for
    Witness w;
    std::vector<int> loops;
    std::vector<Witness> otherWitnesses;
  };
  bool ChainPump(const std::vector<int>& states, std::vector<Symbols>* steps);
  const std::vector<bool>& ReachesTo(int state);
  std::map<int, std::vector<bool>> m_reachesTo;  // per state: the states that lead to it
  long long m_chainWork = 0;

  const Automaton& m_a;
  const Limits& m_limits;
  const std::atomic<bool>* m_abort;
  long long m_work = 0;
  std::vector<Symbols> m_accept;       // per state: the classes it reads
  std::vector<unsigned> m_rep;         // per class: its representative code
  std::vector<std::vector<unsigned>> m_alts;  // per class: one code of each kind it holds
  std::vector<int> m_comp;
  int m_nComps = 0;
  std::vector<bool> m_selfLoop;
  std::vector<int> m_compSize;
  std::vector<std::vector<int>> m_compStates;
  std::vector<std::u16string> m_prefix;  // per state: a shortest text leading to it
  std::vector<std::vector<Symbols>> m_prefixClasses;  // ... and the classes each step may read
  std::vector<bool> m_reached;

  void Tick() {
    if (++m_work > m_limits.maxProductWork) throw TooLarge{"the ambiguity search needs too much work"};
    if ((m_work & 1023) == 0 && m_abort && m_abort->load(std::memory_order_relaxed)) throw Aborted();
  }

  // Splits the symbols into classes that no state tells apart.
  void Classify() {
    const int n = static_cast<int>(m_a.sets.size());
    std::map<std::vector<bool>, int> classOf;
    std::vector<int> symbolClass(kSymbols, -1);
    for (int s : PreferredSymbols()) {
      std::vector<bool> sig(n);
      for (int q = 1; q < n; ++q) sig[q] = m_a.sets[q].test(s);
      auto it = classOf.find(sig);
      if (it == classOf.end()) {
        it = classOf.emplace(sig, static_cast<int>(m_rep.size())).first;
        m_rep.push_back(CodeOf(s));
      }
      symbolClass[s] = it->second;
    }
    // Codes of other kinds in each class: look-arounds and word boundaries, which the automaton
    // does not see, may tell them apart.
    m_alts.assign(m_rep.size(), std::vector<unsigned>());
    for (int s : PreferredSymbols()) {
      std::vector<unsigned>& alts = m_alts[symbolClass[s]];
      if (alts.size() >= 6) continue;
      bool same = false;
      for (unsigned a : alts) same = same || Kind(a) == Kind(CodeOf(s));
      if (!same) alts.push_back(CodeOf(s));
    }
    m_accept.assign(n, Symbols());
    for (int q = 1; q < n; ++q)
      for (int s = 0; s < kSymbols; ++s)
        if (m_a.sets[q].test(s)) m_accept[q].set(symbolClass[s]);
  }
  static int Kind(unsigned c) {
    if (c >= 'a' && c <= 'z') return 0;
    if (c >= '0' && c <= '9') return 1;
    if (c >= 'A' && c <= 'Z') return 2;
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') return 3;
    if (c > 32 && c < 127) return 4;
    return 5;
  }
  // Prefix and pump spelt with characters of another kind, wherever a step can read one. Each
  // step is given as the classes it may read.
  std::vector<Witness> OtherWitnesses(int state, const std::vector<Symbols>& steps) const {
    std::vector<Witness> out;
    for (int kind = 0; kind < 6; ++kind) {
      Witness w;
      bool changed = false;
      auto spell = [&](const std::vector<Symbols>& cs, std::u16string* text) {
        for (const Symbols& set : cs) {
          unsigned code = m_rep[Common(set)];
          bool found = false;
          for (int c = 0; c < static_cast<int>(m_rep.size()) && !found; ++c) {
            if (!set.test(c)) continue;
            for (unsigned a : m_alts[c])
              if (Kind(a) == kind) {
                code = a;
                found = true;
                break;
              }
          }
          changed = changed || code != m_rep[Common(set)];
          *text += static_cast<char16_t>(code);
        }
      };
      spell(m_prefixClasses[state], &w.prefix);
      spell(steps, &w.pump);
      bool dup = false;
      for (const Witness& o : out) dup = dup || (o.prefix == w.prefix && o.pump == w.pump);
      if (changed && !dup) out.push_back(w);
    }
    return out;
  }
  // The lowest class both (or all three) states read, or -1.
  static int Common(const Symbols& x) {
    for (int c = 0; c < kSymbols; ++c)
      if (x.test(c)) return c;
    return -1;
  }
  void Prefixes() {
    const int n = static_cast<int>(m_a.sets.size());
    m_prefix.assign(n, std::u16string());
    m_prefixClasses.assign(n, std::vector<Symbols>());
    m_reached.assign(n, false);
    std::deque<int> queue{0};
    m_reached[0] = true;
    while (!queue.empty()) {
      int v = queue.front();
      queue.pop_front();
      for (int ei : m_a.out[v]) {
        int w = m_a.edges[ei].to;
        if (m_reached[w] || m_accept[w].none()) continue;
        m_reached[w] = true;
        m_prefixClasses[w] = m_prefixClasses[v];
        m_prefixClasses[w].push_back(m_accept[w]);
        m_prefix[w] = m_prefix[v] + static_cast<char16_t>(m_rep[Common(m_accept[w])]);
        queue.push_back(w);
      }
    }
  }
  void AddLoop(std::vector<int>* loops, int edge) const {
    int l = m_a.edges[edge].loop;
    if (l >= 0 && std::find(loops->begin(), loops->end(), l) == loops->end()) loops->push_back(l);
  }
  std::vector<std::pair<int, int>> Spans(const std::vector<int>& loops) const {
    std::vector<std::pair<int, int>> spans;
    for (int l : loops) spans.push_back(m_a.loops[l]);
    std::sort(spans.begin(), spans.end(), [](const std::pair<int, int>& x, const std::pair<int, int>& y) {
      return x.first != y.first ? x.first < y.first : x.second > y.second;
    });
    spans.erase(std::unique(spans.begin(), spans.end()), spans.end());
    return spans;
  }
};

// Two different ways around a loop on one text: in the product of the automaton with itself,
// a component holding a pair (q, q) in which the two runs can part.
std::vector<Finding> Analyzer::Exponential() {
  std::vector<Finding> findings;
  for (int c = 0; c < m_nComps; ++c) {
    if (!Looping(c)) continue;
    std::vector<int> states;
    for (int v : m_compStates[c])
      if (m_reached[v]) states.push_back(v);
    if (states.empty()) continue;
    const int m = static_cast<int>(states.size());
    std::unordered_map<int, int> local;
    for (int i = 0; i < m; ++i) local[states[i]] = i;
    struct PEdge {
      int to;
      int e1, e2;
    };
    // The product restricted to the component, from its diagonal.
    std::unordered_map<long long, int> id;
    std::vector<long long> node;
    std::vector<std::vector<PEdge>> adj;
    auto idOf = [&](int i, int j) {
      long long key = static_cast<long long>(i) * m + j;
      auto it = id.find(key);
      if (it != id.end()) return it->second;
      int k = static_cast<int>(node.size());
      id.emplace(key, k);
      node.push_back(key);
      adj.emplace_back();
      return k;
    };
    for (int i = 0; i < m; ++i) idOf(i, i);
    for (size_t k = 0; k < node.size(); ++k) {
      int i = static_cast<int>(node[k] / m), j = static_cast<int>(node[k] % m);
      for (int e1 : m_a.out[states[i]]) {
        auto t1 = local.find(m_a.edges[e1].to);
        if (t1 == local.end()) continue;
        for (int e2 : m_a.out[states[j]]) {
          Tick();
          auto t2 = local.find(m_a.edges[e2].to);
          if (t2 == local.end()) continue;
          if (Common(m_accept[m_a.edges[e1].to] & m_accept[m_a.edges[e2].to]) < 0) continue;
          int to = idOf(t1->second, t2->second);
          adj[k].push_back(PEdge{to, e1, e2});
        }
      }
    }
    std::vector<std::vector<int>> plain(adj.size());
    for (size_t k = 0; k < adj.size(); ++k)
      for (const PEdge& pe : adj[k]) plain[k].push_back(pe.to);
    std::vector<int> pc;
    Components(plain, &pc);
    // A component with a diagonal node where the runs can part inside it.
    std::map<int, bool> parts;
    for (size_t k = 0; k < adj.size(); ++k)
      for (const PEdge& pe : adj[k])
        if (pe.e1 != pe.e2 && pc[pe.to] == pc[k]) parts[pc[k]] = true;
    int best = -1;
    for (int i = 0; i < m; ++i) {
      int d = idOf(i, i);
      if (!parts.count(pc[d])) continue;
      if (best < 0 || m_prefix[states[i]].size() < m_prefix[states[best]].size()) best = i;
    }
    if (best < 0) continue;
    // The shortest way round from (q, q) back to it that parts once: states (node, parted).
    const int start = idOf(best, best);
    const int comp = pc[start];
    const int nn = static_cast<int>(adj.size());
    std::vector<int> from(2 * nn, -2);
    std::vector<PEdge> via(2 * nn);
    std::deque<int> queue{start};
    from[start] = -1;
    int goal = -1;
    while (!queue.empty() && goal < 0) {
      int s = queue.front();
      queue.pop_front();
      int k = s % nn, parted = s / nn;
      for (const PEdge& pe : adj[k]) {
        Tick();
        if (pc[pe.to] != comp) continue;
        int t = pe.to + nn * ((parted || pe.e1 != pe.e2) ? 1 : 0);
        if (from[t] != -2) continue;
        from[t] = s;
        via[t] = pe;
        if (t == start + nn) {
          goal = t;
          break;
        }
        queue.push_back(t);
      }
    }
    if (goal < 0) continue;
    Finding f;
    f.kind = EXPONENTIAL;
    std::vector<int> loops;
    std::vector<Symbols> classes;
    for (int t = goal; from[t] != -1; t = from[t]) {
      const PEdge& pe = via[t];
      classes.push_back(m_accept[m_a.edges[pe.e1].to] & m_accept[m_a.edges[pe.e2].to]);
      AddLoop(&loops, pe.e1);
      AddLoop(&loops, pe.e2);
    }
    std::reverse(classes.begin(), classes.end());
    std::u16string pump;
    for (const Symbols& c : classes) pump += static_cast<char16_t>(m_rep[Common(c)]);
    f.otherWitnesses = OtherWitnesses(states[best], classes);
    f.witness.prefix = m_prefix[states[best]];
    f.witness.pump = pump;
    f.spans = Spans(loops);
    findings.push_back(f);
  }
  return findings;
}

// Loops in sequence that one text leads around and from one into the next: for loops A before B,
// states p in A and q in B and a text w on which p leads to p, p to q and q to q (the triple
// product from (p, p, q) to (p, q, q)). The longest chain of such pairs gives the degree.
std::vector<Finding> Analyzer::Polynomial() {
  const int n = static_cast<int>(m_a.sets.size());
  std::vector<int> looping;
  for (int c = 0; c < m_nComps; ++c)
    if (Looping(c)) looping.push_back(c);
  if (looping.size() < 2) return {};
  // Which states each looping component reaches.
  std::vector<std::vector<bool>> reach(m_nComps);
  for (int c : looping) {
    std::vector<bool>& r = reach[c];
    r.assign(n, false);
    std::deque<int> queue;
    for (int v : m_compStates[c]) {
      r[v] = true;
      queue.push_back(v);
    }
    while (!queue.empty()) {
      int v = queue.front();
      queue.pop_front();
      for (int ei : m_a.out[v]) {
        Tick();
        int w = m_a.edges[ei].to;
        if (!r[w]) {
          r[w] = true;
          queue.push_back(w);
        }
      }
    }
  }
  std::vector<Pair> pairs;
  for (int a : looping) {
    for (int b : looping) {
      if (a == b) continue;
      if (!reach[a][m_compStates[b][0]]) continue;  // one state of B reached: all are
      // Run 1 stays in A, run 3 in B, run 2 walks among the states A reaches.
      std::vector<int> inA;
      for (int v : m_compStates[a])
        if (m_reached[v]) inA.push_back(v);
      const std::vector<int>& inB = m_compStates[b];
      bool found = false;
      for (size_t ip = 0; ip < inA.size() && !found; ++ip) {
        for (size_t iq = 0; iq < inB.size() && !found; ++iq) {
          int p = inA[ip], q = inB[iq];
          struct Node {
            int x, y, z;
          };
          struct Step {
            int prev;
            int e1, e2, e3;
          };
          std::vector<Node> nodes{{p, p, q}};
          std::vector<Step> steps{{-1, -1, -1, -1}};
          std::unordered_map<long long, int> seen;
          auto key = [n](int x, int y, int z) {
            return (static_cast<long long>(x) * n + y) * n + z;
          };
          seen[key(p, p, q)] = 0;
          int goal = -1;
          for (size_t k = 0; k < nodes.size() && goal < 0; ++k) {
            Node cur = nodes[k];
            for (int e1 : m_a.out[cur.x]) {
              int x2 = m_a.edges[e1].to;
              if (m_comp[x2] != a) continue;
              for (int e2 : m_a.out[cur.y]) {
                int y2 = m_a.edges[e2].to;
                if (!reach[a][y2]) continue;
                Symbols both = m_accept[x2] & m_accept[y2];
                if (both.none()) continue;
                for (int e3 : m_a.out[cur.z]) {
                  Tick();
                  int z2 = m_a.edges[e3].to;
                  if (m_comp[z2] != b) continue;
                  if ((both & m_accept[z2]).none()) continue;
                  long long kk = key(x2, y2, z2);
                  if (seen.count(kk)) continue;
                  int id = static_cast<int>(nodes.size());
                  seen[kk] = id;
                  nodes.push_back({x2, y2, z2});
                  steps.push_back({static_cast<int>(k), e1, e2, e3});
                  if (x2 == p && y2 == q && z2 == q) {
                    goal = id;
                    break;
                  }
                }
                if (goal >= 0) break;
              }
              if (goal >= 0) break;
            }
          }
          if (goal < 0) continue;
          Pair pr;
          pr.a = a;
          pr.b = b;
          pr.p = p;
          pr.q = q;
          std::vector<Symbols> classes;
          for (int k = goal; steps[k].prev >= 0; k = steps[k].prev) {
            const Step& s = steps[k];
            classes.push_back(m_accept[m_a.edges[s.e1].to] & m_accept[m_a.edges[s.e2].to] & m_accept[m_a.edges[s.e3].to]);
            AddLoop(&pr.loops, s.e1);
            AddLoop(&pr.loops, s.e3);
          }
          std::reverse(classes.begin(), classes.end());
          std::u16string pump;
          for (const Symbols& c : classes) pump += static_cast<char16_t>(m_rep[Common(c)]);
          pr.otherWitnesses = OtherWitnesses(p, classes);
          pr.w.prefix = m_prefix[p];
          pr.w.pump = pump;
          pairs.push_back(pr);
          found = true;
        }
      }
    }
  }
  if (pairs.empty()) return {};
  std::vector<Finding> findings;
  // Longest chains: components are numbered in reverse topological order, so a pair runs from a
  // higher number to a lower one; go up from 0.
  std::vector<int> longest(m_nComps, 0);
  for (int c = 0; c < m_nComps; ++c)
    for (const Pair& pr : pairs)
      if (pr.a == c) longest[c] = std::max(longest[c], 1 + longest[pr.b]);
  // Chains of three or more loops: a degree k needs one word that leads around each of the k
  // loops and from each into the next (a.*b.*c.*d: "bca" for three); words found pair by pair
  // need not fit together. The chains along the pairs, longest first, each with the state
  // choices the pairs were found for; a chain without a common word gives way to its parts.
  std::vector<std::vector<int>> chains;  // components, first to last
  {
    const size_t kMaxChains = 64;
    std::vector<int> path;
    std::function<void(int)> extend = [&](int c) {
      if (chains.size() >= kMaxChains) return;
      path.push_back(c);
      bool further = false;
      for (const Pair& pr : pairs)
        if (pr.a == c && 1 + longest[pr.b] == longest[c] && chains.size() < kMaxChains) {
          further = true;
          extend(pr.b);
        }
      if (!further && path.size() >= 3) chains.push_back(path);
      path.pop_back();
    };
    std::vector<int> starts;
    for (const Pair& pr : pairs)
      if (std::find(starts.begin(), starts.end(), pr.a) == starts.end()) starts.push_back(pr.a);
    std::sort(starts.begin(), starts.end(), [&](int x, int y) { return longest[x] > longest[y]; });
    for (int c : starts)
      if (longest[c] >= 2) extend(c);
  }
  // Every contiguous part of three or more, longest first, each once.
  std::vector<std::vector<int>> parts;
  {
    std::set<std::vector<int>> seen;
    size_t most = 0;
    for (const std::vector<int>& ch : chains) most = std::max(most, ch.size());
    for (size_t len = most; len >= 3; --len)
      for (const std::vector<int>& ch : chains)
        for (size_t from = 0; from + len <= ch.size(); ++from) {
          std::vector<int> part(ch.begin() + static_cast<std::ptrdiff_t>(from),
                                ch.begin() + static_cast<std::ptrdiff_t>(from + len));
          if (seen.insert(part).second) parts.push_back(part);
        }
  }
  auto pairOf = [&](int a, int b) -> const Pair* {
    for (const Pair& pr : pairs)
      if (pr.a == a && pr.b == b) return &pr;
    return nullptr;
  };
  const size_t kMaxPerDegree = 3;
  std::map<size_t, size_t> perDegree;
  for (const std::vector<int>& part : parts) {
    const size_t k = part.size();
    if (perDegree[k] >= kMaxPerDegree) continue;
    bool linked = true;
    for (size_t i = 0; i + 1 < k && linked; ++i) linked = pairOf(part[i], part[i + 1]) != nullptr;
    if (!linked) continue;
    // State choices: per loop, the states its pairs were found for (two at most).
    std::vector<std::vector<int>> choices(k);
    for (size_t i = 0; i < k; ++i) {
      auto add = [&](int s) {
        if (std::find(choices[i].begin(), choices[i].end(), s) == choices[i].end() && choices[i].size() < 2)
          choices[i].push_back(s);
      };
      if (i + 1 < k) add(pairOf(part[i], part[i + 1])->p);
      if (i > 0) add(pairOf(part[i - 1], part[i])->q);
    }
    std::vector<size_t> pick(k, 0);
    bool found = false;
    std::vector<Symbols> steps;
    std::vector<int> states(k);
    for (;;) {
      for (size_t i = 0; i < k; ++i) states[i] = choices[i][pick[i]];
      if (m_reached[states[0]] && ChainPump(states, &steps)) {
        found = true;
        break;
      }
      size_t i = 0;
      while (i < k && ++pick[i] == choices[i].size()) pick[i++] = 0;
      if (i == k) break;
    }
    if (!found) continue;
    ++perDegree[k];
    Finding f;
    f.kind = POLYNOMIAL;
    f.degree = static_cast<int>(k);
    f.witness.prefix = m_prefix[states[0]];
    for (const Symbols& c : steps) f.witness.pump += static_cast<char16_t>(m_rep[Common(c)]);
    f.otherWitnesses = OtherWitnesses(states[0], steps);
    std::vector<int> loops;
    for (size_t i = 0; i + 1 < k; ++i)
      for (int l : pairOf(part[i], part[i + 1])->loops)
        if (std::find(loops.begin(), loops.end(), l) == loops.end()) loops.push_back(l);
    f.spans = Spans(loops);
    findings.push_back(f);
  }
  // Every pair on its own: degree 2 with the pair's own word.
  for (const Pair& pr : pairs) {
    Finding f;
    f.kind = POLYNOMIAL;
    f.degree = 2;
    f.witness = pr.w;
    f.otherWitnesses = pr.otherWitnesses;
    f.spans = Spans(pr.loops);
    findings.push_back(f);
  }
  // Worst first; of findings over the same repeats (copies of one counted repeat) the worst alone.
  std::stable_sort(findings.begin(), findings.end(),
                   [](const Finding& x, const Finding& y) { return x.degree > y.degree; });
  std::vector<Finding> kept;
  for (const Finding& f : findings) {
    bool dup = false;
    for (const Finding& k : kept) dup = dup || k.spans == f.spans;
    if (!dup) kept.push_back(f);
  }
  return kept;
}

// The states that lead to `state` (itself included).
const std::vector<bool>& Analyzer::ReachesTo(int state) {
  auto it = m_reachesTo.find(state);
  if (it != m_reachesTo.end()) return it->second;
  const int n = static_cast<int>(m_a.sets.size());
  std::vector<std::vector<int>> in(n);
  for (const Edge& e : m_a.edges) in[e.to].push_back(e.from);
  std::vector<bool> r(n, false);
  std::deque<int> queue{state};
  r[state] = true;
  while (!queue.empty()) {
    int v = queue.front();
    queue.pop_front();
    for (int u : in[v]) {
      ++m_chainWork;
      if (!r[u]) {
        r[u] = true;
        queue.push_back(u);
      }
    }
  }
  return m_reachesTo[state] = r;
}

// A word w on which, for the chain of states q1 ... qk, each qi leads back to itself and to
// qi+1 (qk to itself): breadth first over the sets of states each qi reaches on a prefix of w,
// kept to the states that can still lead to qi or qi+1. Bounded by its own work count: a chain
// whose word is not found in time gives way to shorter ones.
bool Analyzer::ChainPump(const std::vector<int>& states, std::vector<Symbols>* steps) {
  const long long kMaxChainWork = 3000000;
  const size_t kMaxNodes = 20000;
  const size_t k = states.size();
  std::vector<const std::vector<bool>*> keep(k);
  std::vector<std::vector<bool>> both(k);
  for (size_t i = 0; i < k; ++i) {
    const std::vector<bool>& to = ReachesTo(states[i]);
    both[i] = to;
    if (i + 1 < k) {
      const std::vector<bool>& next = ReachesTo(states[i + 1]);
      for (size_t v = 0; v < both[i].size(); ++v) both[i][v] = both[i][v] || next[v];
    }
    keep[i] = &both[i];
  }
  if (m_chainWork > kMaxChainWork) return false;
  typedef std::vector<std::vector<int>> Node;
  std::map<Node, int> seen;
  std::vector<Node> nodes;
  std::vector<std::pair<int, int>> from;  // previous node, class read
  Node start(k);
  for (size_t i = 0; i < k; ++i) start[i].push_back(states[i]);
  seen[start] = 0;
  nodes.push_back(start);
  from.push_back({-1, -1});
  const int classes = static_cast<int>(m_rep.size());
  for (size_t at = 0; at < nodes.size() && nodes.size() < kMaxNodes; ++at) {
    for (int c = 0; c < classes; ++c) {
      Node next(k);
      bool dead = false;
      for (size_t i = 0; i < k && !dead; ++i) {
        for (int s : nodes[at][i])
          for (int ei : m_a.out[s]) {
            ++m_chainWork;
            int t = m_a.edges[ei].to;
            if (m_accept[t].test(c) && (*keep[i])[t]) next[i].push_back(t);
          }
        std::sort(next[i].begin(), next[i].end());
        next[i].erase(std::unique(next[i].begin(), next[i].end()), next[i].end());
        dead = next[i].empty();
      }
      if (m_chainWork > kMaxChainWork) return false;
      if (m_abort && (m_chainWork & 4095) == 0 && m_abort->load(std::memory_order_relaxed)) throw Aborted();
      if (dead) continue;
      auto ins = seen.emplace(next, static_cast<int>(nodes.size()));
      bool goal = true;
      for (size_t i = 0; i < k && goal; ++i) {
        goal = std::binary_search(next[i].begin(), next[i].end(), states[i]) &&
               (i + 1 == k || std::binary_search(next[i].begin(), next[i].end(), states[i + 1]));
      }
      if (!ins.second && !goal) continue;
      int id = ins.second ? static_cast<int>(nodes.size()) : -1;
      if (ins.second) {
        nodes.push_back(next);
        from.push_back({static_cast<int>(at), c});
      }
      if (goal) {
        steps->clear();
        Symbols last;
        last.set(c);
        steps->push_back(last);
        for (int v = static_cast<int>(at); from[v].first >= 0; v = from[v].first) {
          Symbols one;
          one.set(from[v].second);
          steps->push_back(one);
        }
        std::reverse(steps->begin(), steps->end());
        (void)id;
        return true;
      }
    }
  }
  return false;
}

// Runs a witness with classic backtracking, one attempt at the text start, counting entries.
class Runner {
 public:
  Runner(const std::u16string& pattern, int flags, const std::atomic<bool>* abort = nullptr) : m_abort(abort) {
    std::vector<unsigned short> p(pattern.begin(), pattern.end());
    p.push_back(0);
    m_re.Compile(p.data(), static_cast<int>(pattern.size()), flags);
    m_re.SetStartPointOnly(true);
  }
  long long Steps(const std::u16string& text, long long budget, bool* cut, bool* matched) {
    std::vector<unsigned short> t(text.begin(), text.end());
    t.push_back(0);
    HostContext ctx;
    ctx.m_bClassic = true;
    ctx.m_nMaxNesting = kMaxNesting;
    Count count{0, budget, m_abort};
    ctx.m_pfnTraceHook = &Hook;
    ctx.m_pUserData = &count;
    *cut = false;
    *matched = false;
    try {
      if (!m_re.PrepareMatch(t.data(), static_cast<int>(text.size()), 0, &ctx)) return 0;
      MatchResult m = m_re.Match(&ctx);
      *matched = m.IsMatched();
      if (m.HitNestingLimit()) *cut = true;
    } catch (const CMatchBreak&) {
      *cut = true;
    }
    return count.steps;
  }

 private:
  struct Count {
    long long steps;
    long long budget;
    const std::atomic<bool>* abort;  // looked at every 64K steps: a long run stops soon after
  };
  static void Hook(int event, HostContext*, const HostElement*, int, const TraceStackEntry<unsigned short>*, int,
                   void* user) {
    if (event != TRACE_ENTER) return;
    Count* c = static_cast<Count*>(user);
    if (++c->steps >= c->budget) throw CMatchBreak(CMatchBreak::ABORTED);
    if ((c->steps & 0xFFFF) == 0 && c->abort && c->abort->load(std::memory_order_relaxed))
      throw CMatchBreak(CMatchBreak::ABORTED);
  }
  HostRegexp m_re;
  const std::atomic<bool>* m_abort;
};

double Slope(const StepPoint& a, const StepPoint& b) {
  if (a.steps <= 0 || b.steps <= 0 || a.n <= 0 || b.n <= a.n) return 0.0;
  return std::log(static_cast<double>(b.steps) / a.steps) / std::log(static_cast<double>(b.n) / a.n);
}

// Picks a suffix that makes the attempt fail with much work (the first with at least a quarter of
// the most: the empty text and readable ones come first), or false when none fails.
bool ChooseSuffix(Runner* run, Witness* w, const std::vector<unsigned>& extra, const Limits& limits) {
  std::vector<std::u16string> candidates{std::u16string()};
  for (unsigned c : extra) candidates.push_back(std::u16string(1, static_cast<char16_t>(c)));
  std::vector<long long> score(candidates.size(), -1);
  long long most = -1;
  for (size_t i = 0; i < candidates.size(); ++i) {
    bool ok = true;
    long long steps = 0;
    for (int n : {2, 4}) {
      Witness t = *w;
      t.suffix = candidates[i];
      bool cut = false, matched = false;
      steps = run->Steps(t.Text(n), limits.stepBudget / 32, &cut, &matched);
      if (matched) ok = false;
    }
    if (!ok) continue;
    score[i] = steps;
    most = std::max(most, steps);
  }
  if (most < 0) return false;
  for (size_t i = 0; i < candidates.size(); ++i)
    if (score[i] >= 0 && score[i] * 4 >= most) {
      w->suffix = candidates[i];
      break;
    }
  return true;
}

void Measure(Runner* run, Finding* f, const Limits& limits, const std::atomic<bool>* abort) {
  const Witness& w = f->witness;
  const int unit = std::max<int>(1, static_cast<int>(w.pump.size()));
  // A predicted degree k shows its slope only at counts of about n^k: four times the budget for
  // each degree above 2 (64 times at most), so that degree 5 is measured at n = 32.
  long long budget = limits.stepBudget;
  if (f->kind == POLYNOMIAL)
    for (int k = 2; k < std::min(f->degree, 5); ++k) budget *= 4;
  auto point = [&](int n) {
    StepPoint p;
    p.n = n;
    bool matched = false;
    p.steps = run->Steps(w.Text(n), budget, &p.cut, &matched);
    p.matched = matched;
    return p;
  };
  auto fits = [&](int n) {
    return static_cast<long long>(w.prefix.size() + w.suffix.size()) + static_cast<long long>(unit) * n <=
           limits.maxTextLength;
  };
  f->points.clear();
  if (f->kind == EXPONENTIAL) {
    std::vector<StepPoint> pts;
    bool cut = false;
    for (int n = 1; n <= kExpMaxPumps && fits(n); ++n) {
      if (abort && abort->load(std::memory_order_relaxed)) throw Aborted();
      StepPoint p = point(n);
      if (p.matched) break;  // the text matches from here on: no more backtracking to show
      pts.push_back(p);
      if (p.cut) {
        cut = true;
        break;
      }
    }
    int last = static_cast<int>(pts.size()) - 1;
    while (last >= 0 && pts[last].cut) --last;
    // A series cut off after three points grew so steeply that a slope needs no more: the
    // ratio between successive counts stays large instead of falling as a polynomial's does.
    if (cut && last == 2) {
      double r1 = static_cast<double>(pts[1].steps) / std::max<long long>(1, pts[0].steps);
      double r2 = static_cast<double>(pts[2].steps) / std::max<long long>(1, pts[1].steps);
      f->slope = Slope(pts[1], pts[2]);
      if (r1 >= 2.0 && r2 >= 2.0 && r2 >= 0.9 * r1) {
        f->points = pts;
        f->confirmed = true;
        f->measured = EXPONENTIAL;
        return;
      }
    }
    if (cut && last >= 3) {
      const StepPoint& top = pts[last];
      const StepPoint& half = pts[(last + 1) / 2 - 1];
      const StepPoint& quarter = pts[std::max(0, (last + 1) / 4 - 1)];
      double late = Slope(half, top), early = Slope(quarter, half);
      double ratio = static_cast<double>(top.steps) / std::max<long long>(1, pts[last - 1].steps);
      f->slope = late;
      if (late >= 3.0 && late >= 1.4 * early && ratio >= 1.15) {
        f->points = pts;
        f->confirmed = true;
        f->measured = EXPONENTIAL;
        return;
      }
    }
  }
  // Pump counts doubling: the slope of log steps against log n.
  std::vector<StepPoint> pts;
  for (int n = 2; n <= 4096 && fits(n); n *= 2) {
    if (abort && abort->load(std::memory_order_relaxed)) throw Aborted();
    StepPoint p = point(n);
    if (p.matched) break;
    pts.push_back(p);
    if (p.cut) break;
  }
  f->points = pts;
  std::vector<StepPoint> good;
  for (const StepPoint& p : pts)
    if (!p.cut) good.push_back(p);
  if (good.size() < 3) return;
  // The slope between the last two points, extrapolated: lower-order terms pull a measured slope
  // below the degree by about c / n, which halves from one pair of points to the next.
  const StepPoint& a = good[good.size() - 3];
  const StepPoint& b = good[good.size() - 2];
  const StepPoint& c = good[good.size() - 1];
  double early = Slope(a, b), late = Slope(b, c);
  double slope = late + std::max(0.0, late - early);
  f->slope = slope;
  // A degree is claimed once the slope comes within 0.7 of it; never more than the automaton
  // predicts, never less than 2 for a confirmation.
  int degree = static_cast<int>(std::floor(slope + 0.7));
  if (f->kind == POLYNOMIAL && degree > f->degree) degree = f->degree;
  f->measuredDegree = std::max(1, degree);
  if (f->measuredDegree >= 2) {
    f->confirmed = true;
    f->measured = POLYNOMIAL;
  }
}

}  // namespace

std::u16string Witness::Text(int n) const {
  std::u16string t = prefix;
  for (int i = 0; i < n; ++i) t += pump;
  return t + suffix;
}

int Report::Worst() const {
  int best = -1;
  for (size_t i = 0; i < findings.size(); ++i) {
    const Finding& f = findings[i];
    if (!f.confirmed) continue;
    if (best < 0) {
      best = static_cast<int>(i);
      continue;
    }
    const Finding& b = findings[best];
    if (f.measured > b.measured || (f.measured == b.measured && f.measuredDegree > b.measuredDegree))
      best = static_cast<int>(i);
  }
  return best;
}

long long CountSteps(const std::u16string& pattern, int flags, const std::u16string& text, long long budget,
                     bool* cut, bool* matched) {
  Runner run(pattern, flags);
  bool c = false, m = false;
  long long steps = run.Steps(text, budget, &c, &m);
  if (cut) *cut = c;
  if (matched) *matched = m;
  return steps;
}

Report Analyze(const std::u16string& pattern, int flags, const Limits& limits, const std::atomic<bool>* abort) {
  Report r;
  if (flags & RIGHTTOLEFT) {
    r.verdict = TOO_LARGE;
    r.reason = "right to left";
    return r;
  }
  try {
    Runner run(pattern, flags, abort);
    std::vector<unsigned short> p(pattern.begin(), pattern.end());
    p.push_back(0);
    HostRegexp re(p.data(), static_cast<int>(pattern.size()), flags);
    for (int i = 0; i < re.GetElementCount(); ++i) {
      const HostElement* e = re.GetElement(i);
      if (e->m_nError != 0 && (r.errorAt < 0 || e->m_nStart < r.errorAt)) r.errorAt = std::max(0, e->m_nStart);
    }
    // A ')' that closes nothing ends the compiled pattern: the rest was never read.
    const HostElement* root = re.GetRoot();
    if (root && root->m_nEnd >= 0 && root->m_nEnd < static_cast<int>(pattern.size()) && pattern[root->m_nEnd] == u')' &&
        (r.errorAt < 0 || root->m_nEnd < r.errorAt))
      r.errorAt = root->m_nEnd;
    if (r.errorAt >= 0) {
      r.verdict = TOO_LARGE;
      r.reason = "the pattern has an error at " + std::to_string(r.errorAt);
      return r;
    }
    Automaton a(limits, abort);
    a.Build(re.GetRoot());
    r.states = static_cast<int>(a.sets.size()) - 1;
    Analyzer an(a, limits, abort);
    std::vector<Finding> found = an.Exponential();
    std::vector<Finding> poly = an.Polynomial();
    found.insert(found.end(), poly.begin(), poly.end());
    // Suffix candidates: one character of every kind the pattern tells apart, and some that
    // patterns rarely accept.
    std::vector<unsigned> extra{'!', '\n', ' ', '\x01'};
    {
      std::vector<bool> seen(kSymbols, false);
      for (int q = 1; q < static_cast<int>(a.sets.size()); ++q) {
        Symbols s = a.sets[q];
        for (int k : PreferredSymbols())
          if (s.test(k) && !seen[k]) {
            seen[k] = true;
            extra.push_back(CodeOf(k));
            break;
          }
      }
      Symbols none;
      for (int q = 1; q < static_cast<int>(a.sets.size()); ++q) none |= a.sets[q];
      for (int k : PreferredSymbols())
        if (!none.test(k)) {
          extra.push_back(CodeOf(k));
          break;
        }
      if (extra.size() > 40) extra.resize(40);
    }
    // Worst prediction first; once one is confirmed, the findings that cannot be worse than what
    // it showed are not measured.
    int measured = 0;
    Verdict shown = LINEAR;
    int shownDegree = 1;
    for (Finding& f : found) {
      if (measured >= limits.maxFindingsMeasured) break;
      if (shown == EXPONENTIAL || (shown == POLYNOMIAL && f.kind == POLYNOMIAL && f.degree <= shownDegree)) break;
      if (abort && abort->load(std::memory_order_relaxed)) throw Aborted();
      ++measured;
      if (ChooseSuffix(&run, &f.witness, extra, limits)) Measure(&run, &f, limits, abort);
      for (size_t k = 0; !f.confirmed && k < f.otherWitnesses.size(); ++k) {
        Finding g = f;
        g.witness = f.otherWitnesses[k];
        if (!ChooseSuffix(&run, &g.witness, extra, limits)) continue;
        Measure(&run, &g, limits, abort);
        if (g.confirmed) f = g;
      }
      if (f.confirmed && (f.measured > shown || f.measuredDegree > shownDegree)) {
        shown = f.measured;
        shownDegree = std::max(shownDegree, f.measured == POLYNOMIAL ? f.measuredDegree : 1);
      }
    }
    r.findings = found;
    int worst = r.Worst();
    if (worst >= 0) {
      r.verdict = r.findings[worst].measured;
      r.degree = r.verdict == POLYNOMIAL ? r.findings[worst].measuredDegree : 1;
    }
  } catch (const TooLarge& t) {
    r = Report();
    r.verdict = TOO_LARGE;
    r.reason = std::string("too large (") + t.why + ")";
  } catch (const Aborted&) {
    r = Report();
    r.verdict = TOO_LARGE;
    r.reason = "stopped";
  } catch (const std::bad_alloc&) {
    r = Report();
    r.verdict = TOO_LARGE;
    r.reason = "too large (out of memory)";
  }
  return r;
}

std::string VerdictText(const Report& r) {
  switch (r.verdict) {
    case LINEAR:
      return "Safe: linear";
    case POLYNOMIAL:
      return "Polynomial, degree " + std::to_string(r.degree);
    case EXPONENTIAL:
      return "Exponential";
    default:
      return "Not analysed: " + r.reason;  // "too large (...)", "stopped", "the pattern has an error at N"
  }
}

}  // namespace backtrack
