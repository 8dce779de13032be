// Rewrites of a costly pattern, proven or shown to change the meaning (see backtrack_fixes.h):
// the candidates of the repeats responsible, their proof, and the comparison of the matches on
// every text. The parts live beside it (backtrack_fix_parts.h).
#include "app/document/backtrack/backtrack_fixes.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "app/document/backtrack/backtrack_fix_parts.h"
#include "app/document/matching/budgeted_search.h"
#include "app/host_engine.h"

namespace backtrack {
namespace {

using fixparts::AddCandidates;
using fixparts::Candidate;
using fixparts::GeneratedSubjects;
using fixparts::ProofRules;

const long long kSubjectBudget = 20000;     // element entries per search of a generated subject
const long long kUserBudget = 400000;       // of a subject the caller gave
const size_t kMaxUserText = 20000;          // code units of a caller's subject looked at
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

int Rank(const Report& r) {
  switch (r.verdict) {
    case LINEAR: return 0;
    case POLYNOMIAL: return r.degree;
    case EXPONENTIAL: return 1000;
    default: return 2000;
  }
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
    ProofRules rules(original, flags);
    return rules.Prove(c);
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
  ProofRules rules(pattern, flags);
  for (const std::pair<int, int>& s : spans) {
    std::vector<Candidate> candidates;
    AddCandidates(pattern, flags, s, &candidates);
    for (const Candidate& c : candidates) {
      Fix f;
      f.kind = c.kind;
      f.span = c.span;
      f.replacement = c.replacement;
      f.pattern = pattern.substr(0, c.span.first) + c.replacement + pattern.substr(c.span.second);
      f.proven = rules.Prove(c);
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
  std::map<int, std::unique_ptr<ProofRules>> provers;
  for (int f : flagSets) provers[f].reset(new ProofRules(pattern, f));
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
    for (int f : flagSets) proven = proven && provers[f]->Prove(c);
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
