// The third stage of the backtracking analysis: the witness of each finding run with classic
// backtracking at growing pump counts, and the growth of the step counts fitted (see
// backtrack_stages.h).
#include <algorithm>
#include <cmath>

#include "app/document/backtrack/backtrack_stages.h"
#include "app/document/matching/budgeted_search.h"

namespace backtrack {
namespace stages {
namespace {

const int kExpMaxPumps = 60;      // pump counts tried for an exponential finding

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
    *matched = false;
    const BudgetedRun run = BudgetedSearch(m_re, text, 0, true, budget, m_abort, [matched](const MatchResult&) {
      *matched = true;
      return false;  // one attempt
    });
    *cut = run.cut;
    return run.steps;
  }

 private:
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

void MeasureFindings(const std::u16string& pattern, int flags, const Automaton& a, std::vector<Finding>* findings,
                     const Limits& limits, const std::atomic<bool>* abort) {
  Runner run(pattern, flags, abort);
  std::vector<Finding>& found = *findings;
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
}

}  // namespace stages

long long CountSteps(const std::u16string& pattern, int flags, const std::u16string& text, long long budget,
                     bool* cut, bool* matched) {
  stages::Runner run(pattern, flags);
  bool c = false, m = false;
  long long steps = run.Steps(text, budget, &c, &m);
  if (cut) *cut = c;
  if (matched) *matched = m;
  return steps;
}

}  // namespace backtrack
