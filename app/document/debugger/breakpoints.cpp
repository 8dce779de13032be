#include "app/document/debugger/breakpoints.h"

#include <algorithm>
#include <utility>

namespace {

bool SpanExists(const HostRegexp* re, int start, int end) {
  if (!re) return false;
  for (int i = 0; i < re->GetElementCount(); ++i) {
    const HostElement* e = re->GetElement(i);
    if (e && e->m_nStart == start && e->m_nEnd == end) return true;
  }
  return false;
}

}  // namespace

bool CDebugStops::Toggle(int start, int end) {
  for (size_t i = 0; i < m_list.size(); ++i)
    if (m_list[i].start == start && m_list[i].end == end) {
      m_list.erase(m_list.begin() + static_cast<std::ptrdiff_t>(i));
      if (m_bound) Bind(*m_bound, *m_rank);
      return false;
    }
  if (!SpanExists(m_bound, start, end)) return false;
  Breakpoint b;
  b.start = start;
  b.end = end;
  m_list.push_back(b);
  Bind(*m_bound, *m_rank);
  return true;
}

bool CDebugStops::Has(int start, int end) const {
  return std::any_of(m_list.begin(), m_list.end(), [=](const Breakpoint& b) { return b.start == start && b.end == end; });
}

bool CDebugStops::SetCondition(int start, int end, int condition, int value) {
  if (condition < BREAK_ALWAYS || condition > BREAK_ON_HIT) return false;
  for (size_t i = 0; i < m_list.size(); ++i)
    if (m_list[i].start == start && m_list[i].end == end) {
      m_list[i].condition = condition;
      m_list[i].value = value;
      m_hits[i] = 0;
      return true;
    }
  return false;
}

void CDebugStops::SetList(std::vector<Breakpoint> list) {
  m_list = std::move(list);
  m_hits.assign(m_list.size(), 0);
}

void CDebugStops::Clear() {
  m_list.clear();
  m_hits.clear();
  std::fill(m_byPool.begin(), m_byPool.end(), -1);
  m_target = RUN_NONE;
}

void CDebugStops::MarkSpan(const HostRegexp& re, const std::vector<int>& rank, int start, int end,
                           std::vector<int>* table, int value) {
  int best = -1;
  int bestRank = 0;
  for (int i = 0; i < re.GetElementCount(); ++i) {
    const HostElement* e = re.GetElement(i);
    if (!e || e->m_nStart != start || e->m_nEnd != end) continue;
    const int r = i < static_cast<int>(rank.size()) ? rank[i] : i;
    if (best < 0 || r < bestRank) {
      best = i;
      bestRank = r;
    }
  }
  if (best >= 0) (*table)[best] = value;
}

void CDebugStops::Bind(const HostRegexp& re, const std::vector<int>& rank) {
  m_bound = &re;
  m_rank = &rank;
  const size_t n = static_cast<size_t>(re.GetElementCount());
  m_byPool.assign(n, -1);
  std::vector<Breakpoint> kept;
  for (const Breakpoint& b : m_list) {
    if (!SpanExists(&re, b.start, b.end)) continue;
    // One breakpoint per span: a list read from a file may name a span twice.
    if (std::any_of(kept.begin(), kept.end(), [&](const Breakpoint& k) { return k.start == b.start && k.end == b.end; }))
      continue;
    MarkSpan(re, rank, b.start, b.end, &m_byPool, static_cast<int>(kept.size()));
    kept.push_back(b);
  }
  m_list = std::move(kept);
  m_hits.assign(m_list.size(), 0);
  m_targetPool.assign(n, 0);
  if (m_target == RUN_FAILURE || m_target == RUN_BACKTRACK) MarkSpan(re, rank, m_targetStart, m_targetEnd, &m_targetPool, 1);
}

void CDebugStops::ResetHits() { std::fill(m_hits.begin(), m_hits.end(), 0); }

void CDebugStops::SetTarget(int target, int start, int end) {
  m_target = target;
  m_targetStart = start;
  m_targetEnd = end;
  if (m_bound && m_targetPool.size() == static_cast<size_t>(m_bound->GetElementCount())) {
    std::fill(m_targetPool.begin(), m_targetPool.end(), 0);
    if (target == RUN_FAILURE || target == RUN_BACKTRACK) MarkSpan(*m_bound, *m_rank, start, end, &m_targetPool, 1);
  }
}

int CDebugStops::Lookup(const std::vector<int>& table, const HostElement* e) const {
  const int i = e ? e->m_nPoolIndex : -1;
  return (i >= 0 && i < static_cast<int>(table.size())) ? table[i] : -1;
}

bool CDebugStops::OnEnter(const HostElement* e, int pos, bool retry, int depth) {
  bool stop = false;
  if (m_target == RUN_NEXT_START) stop = depth == 1 && !retry;
  if (m_target == RUN_BACKTRACK) stop = retry && Lookup(m_targetPool, e) == 1;
  const int b = Lookup(m_byPool, e);
  if (b < 0 || b >= static_cast<int>(m_list.size())) return stop;
  const std::uint64_t hit = ++m_hits[static_cast<size_t>(b)];
  const Breakpoint& bp = m_list[static_cast<size_t>(b)];
  switch (bp.condition) {
    case BREAK_AT_POSITION: return stop || pos == bp.value;
    case BREAK_ON_HIT: return stop || (bp.value > 0 && hit == static_cast<std::uint64_t>(bp.value));
    default: return true;
  }
}

bool CDebugStops::OnExit(const HostElement* e, int outcome, int depth) const {
  if (m_target == RUN_FAILURE) return !outcome && Lookup(m_targetPool, e) == 1;
  if (m_target == RUN_ATTEMPT_END) return depth == 1;
  return false;
}
