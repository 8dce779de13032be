// Catastrophic-backtracking analysis (see backtrack_analysis.h): the pattern compiled and checked
// for errors, then the three stages of backtrack_stages.h in order.
#include "app/document/backtrack/backtrack_analysis.h"

#include <algorithm>
#include <new>

#include "app/document/backtrack/backtrack_stages.h"

namespace backtrack {

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

Report Analyze(const std::u16string& pattern, int flags, const Limits& limits, const std::atomic<bool>* abort) {
  Report r;
  if (flags & RIGHTTOLEFT) {
    r.verdict = TOO_LARGE;
    r.reason = "right to left";
    return r;
  }
  try {
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
    const stages::Automaton a = stages::BuildAutomaton(re.GetRoot(), limits, abort);
    r.states = static_cast<int>(a.sets.size()) - 1;
    std::vector<Finding> found = stages::FindAmbiguities(a, limits, abort);
    stages::MeasureFindings(pattern, flags, a, &found, limits, abort);
    r.findings = found;
    int worst = r.Worst();
    if (worst >= 0) {
      r.verdict = r.findings[worst].measured;
      r.degree = r.verdict == POLYNOMIAL ? r.findings[worst].measuredDegree : 1;
    }
  } catch (const stages::TooLarge& t) {
    r = Report();
    r.verdict = TOO_LARGE;
    r.reason = std::string("too large (") + t.why + ")";
  } catch (const stages::Aborted&) {
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
