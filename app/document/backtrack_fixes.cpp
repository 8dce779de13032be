// Proven rewrites of a costly pattern (see backtrack_fixes.h).
#include "app/document/backtrack_fixes.h"

#include <algorithm>
#include <random>
#include <set>

#include "app/host_engine.h"

namespace backtrack {
namespace {

const int kMaxNesting = 8000;          // of one search: fits a worker thread's stack
const long long kSubjectBudget = 20000;     // element entries per search of a generated subject
const long long kUserBudget = 400000;       // of a subject the caller gave
const size_t kMaxUserText = 20000;          // code units of a caller's subject looked at
const int kRandomSubjects = 600;
const int kMaxCandidates = 12;

struct Budget {
  long long steps;
  long long limit;
};

void CountHook(int event, HostContext*, const HostElement*, int, const TraceStackEntry<unsigned short>*, int,
               void* user) {
  if (event != TRACE_ENTER) return;
  Budget* b = static_cast<Budget*>(user);
  if (++b->steps >= b->limit) throw CMatchBreak(CMatchBreak::ABORTED);
}

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
    std::vector<unsigned short> t(text.begin(), text.end());
    t.push_back(0);
    HostContext ctx;
    ctx.m_nMaxNesting = kMaxNesting;
    Budget b{0, budget};
    ctx.m_pfnTraceHook = &CountHook;
    ctx.m_pUserData = &b;
    try {
      if (!m_re.PrepareMatch(t.data(), static_cast<int>(text.size()), -1, &ctx)) return true;
      for (int guard = 0; guard <= static_cast<int>(text.size()) + 1; ++guard) {
        MatchResult m = m_re.Match(&ctx);
        if (m.HitNestingLimit()) return false;
        if (!m.IsMatched()) return true;
        for (int g = 0; g <= m.MaxGroupNumber(); ++g) {
          out->push_back(m.GetGroupStart(g));
          out->push_back(m.GetGroupEnd(g));
        }
        out->push_back(-2);  // a separator: matches with different group counts never compare equal
      }
    } catch (const CMatchBreak&) {
      return false;
    }
    return true;
  }

 private:
  HostRegexp m_re;
  bool m_ok = false;
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
};

void AddCandidates(const std::u16string& p, int flags, std::pair<int, int> span, std::vector<Candidate>* out) {
  RepeatText r;
  if (!ReadRepeat(p, span, &r)) return;
  const std::u16string quant = p.substr(r.bodyEnd, r.end - r.bodyEnd);
  const std::u16string body = p.substr(r.start, r.bodyEnd - r.start);
  if (r.greedy) out->push_back({Fix::POSSESSIVE, span, p.substr(span.first, span.second - span.first) + u"+"});
  const bool group = body[0] == '(';
  if (group && body.compare(0, 3, u"(?>") != 0)
    out->push_back({Fix::ATOMIC, span, u"(?>" + body + u")" + quant});
  if (group) {
    const int content = GroupContentStart(p, r.start, r.bodyEnd);
    if (content >= 0) {
      const std::vector<std::pair<int, int>> branches = Branches(p, content, r.bodyEnd - 1);
      for (size_t i = 0; branches.size() >= 2 && i < branches.size(); ++i) {
        const std::u16string text = p.substr(branches[i].first, branches[i].second - branches[i].first);
        if (text.find(u'(') != std::u16string::npos) continue;  // would renumber groups
        // The branch and the bar before it (after it, for the first).
        int from = i == 0 ? branches[0].first : branches[i - 1].second;
        int to = i == 0 ? branches[1].first : branches[i].second;
        std::u16string rewritten = p.substr(span.first, from - span.first) + p.substr(to, span.second - to);
        out->push_back({Fix::DROP_BRANCH, span, rewritten});
      }
    }
  }
  const int follower = LiteralAt(p, r.end);
  if (!group && follower >= 0) {
    const std::u16string cls = ExcludeFromClass(p, r.start, r.bodyEnd, static_cast<char16_t>(follower), flags);
    if (!cls.empty()) out->push_back({Fix::EXCLUSIVE_CLASS, span, cls + p.substr(r.bodyEnd, span.second - r.bodyEnd)});
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

// The texts a rewrite is compared on, besides the caller's: the witnesses; every text of up to
// four characters (three when there are many kinds) over a small alphabet of the pattern's
// literal characters and one character of each common kind; and random texts over a larger
// alphabet, half of them strung together from literal runs of the pattern and witness parts.
// The short texts matter most: a rewrite that changes a match usually does so on one of them.
std::vector<std::u16string> GeneratedSubjects(const std::u16string& p, const Report& report) {
  std::vector<std::u16string> out;
  std::vector<char16_t> small;  // in order of importance, no repeats
  auto addSmall = [&small](char16_t c) {
    if (c != 0 && std::find(small.begin(), small.end(), c) == small.end()) small.push_back(c);
  };
  std::set<char16_t> chars;
  std::vector<std::u16string> pieces;
  // Characters and literal runs of the pattern.
  std::u16string run;
  for (size_t i = 0; i < p.size(); ++i) {
    const int c = LiteralAt(p, static_cast<int>(i));
    if (c >= 0) {
      chars.insert(static_cast<char16_t>(c));
      addSmall(static_cast<char16_t>(c));
      run += static_cast<char16_t>(c);
    } else {
      if (!run.empty()) pieces.push_back(run);
      run.clear();
    }
    if (p[i] == '\\') ++i;
  }
  if (!run.empty()) pieces.push_back(run);
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
  return out;
}

bool Aborted(const std::atomic<bool>* abort) { return abort && abort->load(std::memory_order_relaxed); }

}  // namespace

bool SameMatches(const std::u16string& a, const std::u16string& b, int flags, const std::u16string& text,
                 long long budget, bool* undecided) {
  *undecided = false;
  Searcher x(a, flags), y(b, flags);
  if (!x.Ok() || !y.Ok() || x.Groups() != y.Groups()) return false;
  std::vector<int> mx, my;
  if (!x.FindAll(text, budget, &mx)) {
    *undecided = true;
    return false;
  }
  return y.FindAll(text, budget, &my) && mx == my;
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
  for (size_t i = 0; i < subjects.size(); ++i) {
    if (Aborted(abort)) return fixes;
    Searcher own(pattern, subjects[i].flags);
    Known k{&userTexts[i], subjects[i].flags, kUserBudget, {}};
    if (own.Ok() && own.FindAll(*k.text, k.budget, &k.matches)) known.push_back(std::move(k));
  }
  for (const std::u16string& t : generated) {
    if (Aborted(abort)) return fixes;
    Known k{&t, flags, kSubjectBudget, {}};
    if (original.FindAll(t, k.budget, &k.matches)) known.push_back(std::move(k));
  }
  if (static_cast<int>(known.size()) < kMinFixSubjects) return fixes;

  std::set<std::u16string> tried;
  for (const Candidate& c : candidates) {
    if (Aborted(abort)) return {};
    std::u16string rewritten =
        pattern.substr(0, c.span.first) + c.replacement + pattern.substr(c.span.second);
    if (!tried.insert(rewritten).second) continue;
    Searcher plain(rewritten, flags);
    if (!plain.Ok() || plain.Groups() != original.Groups()) continue;
    bool same = true;
    std::vector<int> got;
    for (const Known& k : known) {
      if (Aborted(abort)) return {};
      if (k.flags == flags) {
        same = plain.FindAll(*k.text, k.budget, &got) && got == k.matches;
      } else {
        Searcher own(rewritten, k.flags);
        same = own.Ok() && own.FindAll(*k.text, k.budget, &got) && got == k.matches;
      }
      if (!same) break;
    }
    if (!same) continue;
    Report after = Analyze(rewritten, flags, limits, abort);
    if (Aborted(abort)) return {};
    if (!BetterVerdict(after, report)) continue;
    Fix f;
    f.kind = c.kind;
    f.span = c.span;
    f.replacement = c.replacement;
    f.pattern = std::move(rewritten);
    f.report = std::move(after);
    f.subjects = static_cast<int>(known.size());
    fixes.push_back(std::move(f));
  }
  std::stable_sort(fixes.begin(), fixes.end(), [](const Fix& a, const Fix& b) { return Rank(a.report) < Rank(b.report); });
  return fixes;
}

}  // namespace backtrack
