// A converted pattern run in its target's engine beside Korvane's (see conversion_check.h).
#include "app/document/flavours/conversion_check.h"

#include "app/flavours/flavour_pool.h"

FlavourAnswer InKorvaneNumbering(const FlavourAnswer& target, const std::vector<int>& groupMap, int korvaneGroups) {
  FlavourAnswer out = target;
  out.groups = korvaneGroups;
  out.names.clear();
  const size_t width = 2 + 2 * static_cast<size_t>(std::max(0, korvaneGroups));
  for (SubjectAnswer& s : out.subjects)
    for (FlavourMatch& m : s.matches) {
      m = ToKorvaneGroups(m, groupMap);
      m.resize(width, -1);
    }
  return out;
}

namespace {

// Both answers' matches cut before Korvane's first empty match, on every subject: up to there
// every find-all searches from where the last match ended; from there on each language goes on
// in its own way (Go even drops an empty match next to the one before).
void CutAtFirstEmpty(FlavourAnswer* korvane, FlavourAnswer* target, std::vector<bool>* cut) {
  for (size_t i = 0; i < korvane->subjects.size(); ++i) {
    std::vector<FlavourMatch>& ours = korvane->subjects[i].matches;
    size_t keep = ours.size();
    for (size_t m = 0; m < ours.size(); ++m)
      if (ours[m].size() >= 2 && ours[m][0] == ours[m][1]) {
        keep = m;
        break;
      }
    // Without an empty match in Korvane's list there is nothing to cut: the lists must agree
    // whole (a target that finds more, or an empty match, differs).
    const bool shortened = keep < ours.size();
    cut->push_back(shortened);
    if (!shortened) continue;
    ours.resize(keep);
    korvane->subjects[i].truncated = false;
    if (i < target->subjects.size()) {
      std::vector<FlavourMatch>& theirs = target->subjects[i].matches;
      if (theirs.size() > keep) theirs.resize(keep);
      target->subjects[i].truncated = false;
    }
  }
}

}  // namespace

ConversionCheck CompareConversion(const FlavourAnswer& korvaneAnswer, const FlavourAnswer& targetAnswer) {
  FlavourAnswer korvane = korvaneAnswer, target = targetAnswer;
  std::vector<bool> cut;
  if (!FindAllLikeKorvane(target.flavour)) CutAtFirstEmpty(&korvane, &target, &cut);
  ConversionCheck check;
  check.korvane = korvane;
  check.target = target;
  check.engine = target.version.isEmpty() ? target.engine : target.engine + QLatin1Char(' ') + target.version;
  if (target.outcome != FlavourOutcome::Compiled) check.error = target.error.isEmpty() ? QStringLiteral("?") : target.error;
  check.of = static_cast<int>(korvane.subjects.size());
  for (int i = 0; i < check.of; ++i) {
    const CellStatus status = CompareWithKorvane(korvane, target, i).status;
    check.status.push_back(status);
    if (status == CellStatus::Same) ++check.same;
    else check.differing.push_back(i);
    if (status == CellStatus::Same && i < static_cast<int>(cut.size()) && cut[static_cast<size_t>(i)]) ++check.upToEmpty;
  }
  return check;
}

namespace {

// Korvane's request (the pattern as written) and the target's (the conversion), on the same subjects.
struct CheckRequests {
  FlavourRequest ours, theirs;
};

CheckRequests RequestsFor(const QString& pattern, const QString& flags, const FlavourConversion& conversion,
                          const QStringList& subjects) {
  CheckRequests r;
  r.ours.pattern = pattern;
  r.ours.flags = flags;
  r.ours.subjects = subjects;
  r.theirs = r.ours;
  r.theirs.pattern = conversion.pattern;
  r.theirs.flags = conversion.flags;
  return r;
}

}  // namespace

ConversionCheck CheckConversion(CFlavourPool* pool, const QString& pattern, const QString& flags,
                                const FlavourConversion& conversion, const QStringList& subjects) {
  const CheckRequests r = RequestsFor(pattern, flags, conversion, subjects);
  const FlavourAnswer korvane = pool->RunBlocking({QStringLiteral("korvane")}, r.ours).at(0);
  const FlavourAnswer target = pool->RunBlocking({conversion.flavour}, r.theirs).at(0);
  return CompareConversion(korvane, InKorvaneNumbering(target, conversion.groupMap, korvane.groups));
}

void CConversionRun::Start(CFlavourPool* pool, const QString& pattern, const QString& flags,
                           const FlavourConversion& conversion, const QStringList& subjects) {
  Stop();
  m_conversion = conversion;
  m_bHaveKorvane = m_bHaveTarget = false;
  m_bRunning = true;
  m_answered = connect(pool, &CFlavourPool::Answered, this, &CConversionRun::OnAnswered);
  const CheckRequests r = RequestsFor(pattern, flags, conversion, subjects);
  m_nKorvane = pool->Request({QStringLiteral("korvane")}, r.ours);
  m_nTarget = pool->Request({conversion.flavour}, r.theirs);
}

void CConversionRun::Stop() {
  disconnect(m_answered);
  m_bRunning = false;
}

void CConversionRun::OnAnswered(quint64 request, const QString& flavour, const FlavourAnswer& answer) {
  (void)flavour;
  if (!m_bRunning) return;
  if (request == m_nKorvane) {
    m_korvane = answer;
    m_bHaveKorvane = true;
  } else if (request == m_nTarget) {
    m_target = answer;
    m_bHaveTarget = true;
  } else {
    return;
  }
  if (!m_bHaveKorvane || !m_bHaveTarget) return;
  Stop();
  emit Finished(CompareConversion(m_korvane, InKorvaneNumbering(m_target, m_conversion.groupMap, m_korvane.groups)));
}
