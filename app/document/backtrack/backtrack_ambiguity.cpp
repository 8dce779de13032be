// The second stage of the backtracking analysis: the searches of the automaton's products for a
// loop that one text leads around in two ways (exponential) and for chains of loops that one text
// leads around and from each into the next (polynomial), each finding with its witness (see
// backtrack_stages.h).
#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>

#include "app/document/backtrack/backtrack_stages.h"

namespace backtrack {
namespace stages {
namespace {

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

}  // namespace

std::vector<Finding> FindAmbiguities(const Automaton& a, const Limits& limits, const std::atomic<bool>* abort) {
  Analyzer an(a, limits, abort);
  std::vector<Finding> found = an.Exponential();
  std::vector<Finding> poly = an.Polynomial();
  found.insert(found.end(), poly.begin(), poly.end());
  return found;
}

}  // namespace stages
}  // namespace backtrack
