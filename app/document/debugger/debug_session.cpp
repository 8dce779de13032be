#include "app/document/debugger/debug_session.h"

#include <algorithm>

#include "platform/profile.h"

namespace {

const std::size_t kMiB = std::size_t(1) << 20;

}  // namespace

bool ElementConsumesText(const HostElement* e) {
  if (!e) return false;
  const int kind = e->m_nKind;
  return kind == ELEMENT_BACKREF || kind == ELEMENT_POSIX || kind == ELEMENT_CHARSET || kind == ELEMENT_STRING;
}

bool ElementRunsRightToLeft(const HostElement* e, int patternFlags) {
  switch (e->m_nKind) {
    case ELEMENT_STRING: return static_cast<const CStringElement<unsigned short>*>(e)->m_bRightLeft;
    case ELEMENT_CHARSET: return static_cast<const CCharsetElement<unsigned short>*>(e)->m_bRightLeft;
    case ELEMENT_POSIX: return static_cast<const CPosixElement<unsigned short>*>(e)->m_bRightLeft;
    case ELEMENT_BACKREF: return static_cast<const CBackrefElement<unsigned short>*>(e)->m_bRightLeft;
    default: return (patternFlags & RIGHTTOLEFT) != 0;
  }
}

int TraceRegionStart(const TraceStackEntry<unsigned short>* stack, int depth) {
  for (int i = 0; i < depth; ++i)
    if (stack[i].element->m_nKind == ELEMENT_ASSERTION || i == depth - 1) return stack[i].start;
  return 0;
}

TraceStep MakeTraceStep(int event, const HostElement* element, int outcome, int attemptStart, int position,
                        const TraceStackEntry<unsigned short>* stack, int depth, int patternFlags) {
  const TraceStackEntry<unsigned short>& inner = stack[depth - 1];
  TraceStep t;
  t.element = element;
  t.event = event;
  t.attemptStart = attemptStart;
  t.regionStart = TraceRegionStart(stack, depth);
  t.elementStart = inner.start;
  if (event == TRACE_ENTER) {
    // About to match: a first entry shows the place it starts from, a retry what the element
    // had matched (from where it began to where it is asked for another way).
    t.outcome = 1;
    t.elementEnd = inner.retry ? inner.entryPos : inner.start;
  } else {
    t.outcome = outcome ? 1 : (inner.retry ? -1 : 0);
    t.elementEnd = t.outcome == -1 ? inner.entryPos : position;
  }
  if (t.elementStart == t.elementEnd) t.elementEnd += ElementRunsRightToLeft(t.element, patternFlags) ? -1 : 1;
  return t;
}

CDebugSession::CDebugSession(const HostRegexp& compiled, const int& patternFlags, const std::vector<int>& rank)
    : m_compiled(compiled), m_nFlags(patternFlags), m_rank(rank) {}

// ---------------------------------------------------------------------------------------------
// The history

void CDebugSession::ClearHistory() {
  m_history.Clear();
  m_livePauses.clear();
  m_nViewIndex = -1;
  m_viewStack.clear();
  m_viewCaptures.clear();
  m_nNotedDrops = 0;
  // The setting is read once per process; a ceiling set by the program (tests) stays.
  static const int settingMb = [] {
    CProfile settings;
    return settings.GetInt(QStringLiteral("Settings"), QStringLiteral("TraceHistoryMB"), 256);
  }();
  if (m_history.Ceiling() == CTraceHistory::kDefaultCeiling && settingMb > 0 && settingMb != 256)
    m_history.SetCeiling(static_cast<std::size_t>(settingMb) * kMiB);
}

void CDebugSession::BeginJob(bool record, bool armStops) {
  m_bRecord = record;
  m_bStopsArmed = armStops;
  if (m_stops) m_stops->ResetHits();
  m_nViewIndex = -1;
}

std::int64_t CDebugSession::ShownHistoryIndex() const {
  if (m_nViewIndex >= 0) return m_nViewIndex;
  return m_history.Empty() ? -1 : m_history.End() - 1;
}

std::int64_t CDebugSession::PreviousPauseStep(std::int64_t index) const {
  const HostRegexp& re = m_compiled;
  std::int64_t step = m_history.FindBefore(index, [&re](const HistoryState& s) {
    return s.event == TRACE_EXIT && ElementConsumesText(re.GetElement(s.Element()));
  });
  // A stop of the live search between that step and `index` comes first (one the history has
  // dropped is no longer there to show).
  auto it = std::lower_bound(m_livePauses.begin(), m_livePauses.end(), index);
  if (it != m_livePauses.begin() && *(it - 1) > step && *(it - 1) >= m_history.First()) step = *(it - 1);
  return step;
}

std::int64_t CDebugSession::NextPauseStep(std::int64_t index) const {
  const HostRegexp& re = m_compiled;
  std::int64_t step = m_history.FindAfter(index, [&re](const HistoryState& s) {
    return s.event == TRACE_EXIT && ElementConsumesText(re.GetElement(s.Element()));
  });
  auto it = std::upper_bound(m_livePauses.begin(), m_livePauses.end(), index);
  if (it != m_livePauses.end() && *it < m_history.End() && (step < 0 || *it < step)) step = *it;
  return step;
}

bool CDebugSession::ViewHistory(std::int64_t index) {
  if (m_history.Empty()) return false;
  if (index >= m_history.End() - 1) {
    m_nViewIndex = -1;
    return true;
  }
  HistoryState s;
  if (!m_history.StateAt(index, &s) || s.stack.empty()) return false;
  std::vector<TraceStackEntry<unsigned short>> stack;
  stack.reserve(s.stack.size());
  for (const HistoryEntry& e : s.stack) {
    const HostElement* element = m_compiled.GetElement(e.element);
    if (!element) return false;  // recorded against another pattern: never shown
    stack.push_back(TraceStackEntry<unsigned short>{element, e.start, e.entryPos, e.retry});
  }
  const int depth = static_cast<int>(stack.size());
  const int attemptStart = (!s.captures.empty() && s.captures[0].open >= 0) ? s.captures[0].open : stack.front().start;
  m_viewStep =
      MakeTraceStep(s.event, stack.back().element, s.outcome, attemptStart, s.position, stack.data(), depth, m_nFlags);
  m_viewStack = std::move(stack);
  m_viewCaptures = std::move(s.captures);
  m_nViewIndex = index;
  return true;
}

void CDebugSession::Record(int event, HostContext* ctx, int outcome, const TraceStackEntry<unsigned short>* stack,
                           int depth) noexcept {
  try {
    m_history.Record(event, ctx, outcome, stack, depth);
  } catch (...) {
    m_bRecord = false;
    m_history.Clear();
    m_livePauses.clear();
  }
}

std::int64_t CDebugSession::TakeNewDrops() {
  const std::int64_t dropped = m_history.Dropped();
  if (dropped <= m_nNotedDrops) return 0;
  m_nNotedDrops = dropped;
  return dropped;
}

void CDebugSession::ClearLiveStep() {
  m_liveStep.element = nullptr;
  m_liveStep.elementEnd = m_liveStep.elementStart;
  m_liveStep.regionStart = m_liveStep.attemptStart;
}

// ---------------------------------------------------------------------------------------------
// Breakpoints and run-to targets

CDebugStops& CDebugSession::Stops() {
  if (!m_stops) {
    m_stops.reset(new CDebugStops());
    m_stops->Bind(m_compiled, m_rank);
  }
  return *m_stops;
}

void CDebugSession::RebindStops() {
  if (m_stops) m_stops->Bind(m_compiled, m_rank);
}

void CDebugSession::ClearStops() {
  if (m_stops) m_stops->Clear();
}

bool CDebugSession::StopAt(int event, HostContext* ctx, const HostElement* element, int outcome,
                           const TraceStackEntry<unsigned short>* stack, int depth, TraceStep* step) {
  if (!m_bStopsArmed || !m_stops || depth <= 0) return false;
  const TraceStackEntry<unsigned short>& inner = stack[depth - 1];
  const bool stop = event == TRACE_ENTER ? m_stops->OnEnter(element, ctx->m_nCurrentPos, inner.retry != 0, depth)
                                         : m_stops->OnExit(element, outcome, depth);
  if (!stop) return false;
  const int attemptStart = ctx->m_captureStack.GetSize() > 1 ? ctx->m_captureStack[1] : ctx->m_nBeginPos;
  *step = MakeTraceStep(event, element, outcome, attemptStart, ctx->m_nCurrentPos, stack, depth, m_nFlags);
  // The event was recorded just before (the hook records first): stepping back can return here.
  if (m_bRecord && !m_history.Empty()) {
    try {
      m_livePauses.push_back(m_history.End() - 1);
    } catch (...) {  // out of memory: this stop is only not found again by Step Back
    }
  }
  return true;
}

void CDebugSession::NoteElementChosen(bool whilePaused) {
  m_bChosenWhilePaused = whilePaused;
  m_nChosenAtStep = whilePaused ? ShownHistoryIndex() : -1;
  m_nChosenAtEnd = whilePaused ? m_history.End() : -1;
}

bool CDebugSession::ChosenAtShownStep() const {
  return m_bChosenWhilePaused && m_nChosenAtStep == ShownHistoryIndex() && m_nChosenAtEnd == m_history.End();
}
