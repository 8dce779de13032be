// The trace history in the document: recording while a search is traced in Trace mode, stepping
// back and jumping through the recorded steps while the search is paused, and the state the
// views show at the step looked at.
#include "app/document/core/korvane_doc.h"

#include <algorithm>
#include "platform/profile.h"
#include "stringtable.h"

namespace {

bool ConsumesText(const HostElement* e) {
  if (!e) return false;
  const int kind = e->m_nKind;
  return kind == ELEMENT_BACKREF || kind == ELEMENT_POSIX || kind == ELEMENT_CHARSET || kind == ELEMENT_STRING;
}

bool RightToLeft(const HostElement* e, int patternFlags) {
  switch (e->m_nKind) {
    case ELEMENT_STRING: return static_cast<const CStringElement<unsigned short>*>(e)->m_bRightLeft;
    case ELEMENT_CHARSET: return static_cast<const CCharsetElement<unsigned short>*>(e)->m_bRightLeft;
    case ELEMENT_POSIX: return static_cast<const CPosixElement<unsigned short>*>(e)->m_bRightLeft;
    case ELEMENT_BACKREF: return static_cast<const CBackrefElement<unsigned short>*>(e)->m_bRightLeft;
    default: return (patternFlags & RIGHTTOLEFT) != 0;
  }
}

const std::size_t kMiB = std::size_t(1) << 20;

}  // namespace

void CKorvaneDoc::ClearHistory() {
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

std::int64_t CKorvaneDoc::ShownHistoryIndex() const {
  if (m_nViewIndex >= 0) return m_nViewIndex;
  return m_history.Empty() ? -1 : m_history.End() - 1;
}

std::int64_t CKorvaneDoc::PreviousPauseStep(std::int64_t index) const {
  const HostRegexp& re = m_pattern.compiled;
  std::int64_t step = m_history.FindBefore(index, [&re](const HistoryState& s) {
    return s.event == TRACE_EXIT && ConsumesText(re.GetElement(s.Element()));
  });
  // A stop of the live search between that step and `index` comes first (one the history has
  // dropped is no longer there to show).
  auto it = std::lower_bound(m_livePauses.begin(), m_livePauses.end(), index);
  if (it != m_livePauses.begin() && *(it - 1) > step && *(it - 1) >= m_history.First()) step = *(it - 1);
  return step;
}

std::int64_t CKorvaneDoc::NextPauseStep(std::int64_t index) const {
  const HostRegexp& re = m_pattern.compiled;
  std::int64_t step = m_history.FindAfter(index, [&re](const HistoryState& s) {
    return s.event == TRACE_EXIT && ConsumesText(re.GetElement(s.Element()));
  });
  auto it = std::upper_bound(m_livePauses.begin(), m_livePauses.end(), index);
  if (it != m_livePauses.end() && *it < m_history.End() && (step < 0 || *it < step)) step = *it;
  return step;
}

// Builds the view of event `index` as the hook would have paused there (OnTraceExit), or goes
// back to the live pause for the last recorded event.
bool CKorvaneDoc::ViewHistory(std::int64_t index) {
  if (!IsPaused() || m_history.Empty()) return false;
  if (index >= m_history.End() - 1) {
    m_nViewIndex = -1;
    return true;
  }
  HistoryState s;
  if (!m_history.StateAt(index, &s) || s.stack.empty()) return false;
  const HostRegexp& re = m_pattern.compiled;
  m_viewStack.clear();
  for (const HistoryEntry& e : s.stack) {
    const HostElement* element = re.GetElement(e.element);
    if (!element) return false;  // recorded against another pattern: never shown
    m_viewStack.push_back(TraceStackEntry<unsigned short>{element, e.start, e.entryPos, e.retry});
  }
  const TraceStackEntry<unsigned short>& inner = m_viewStack.back();
  TraceStep t;
  t.element = inner.element;
  t.event = s.event;
  t.attemptStart = (!s.captures.empty() && s.captures[0].open >= 0) ? s.captures[0].open : m_viewStack.front().start;
  t.regionStart = inner.start;
  for (size_t i = 0; i < m_viewStack.size(); ++i)
    if (m_viewStack[i].element->m_nKind == ELEMENT_ASSERTION || i + 1 == m_viewStack.size()) {
      t.regionStart = m_viewStack[i].start;
      break;
    }
  t.elementStart = inner.start;
  if (s.event == TRACE_ENTER) {
    // A breakpoint's stop on entry, shown as it was: the place the element starts from, or on a
    // retry what it had matched.
    t.outcome = 1;
    t.elementEnd = inner.retry ? inner.entryPos : inner.start;
  } else {
    t.outcome = s.outcome ? 1 : (inner.retry ? -1 : 0);
    t.elementEnd = t.outcome == -1 ? inner.entryPos : s.position;
  }
  if (t.elementStart == t.elementEnd) t.elementEnd += RightToLeft(t.element, m_pattern.flags) ? -1 : 1;
  m_viewStep = t;
  m_viewCaptures = s.captures;
  m_nViewIndex = index;
  return true;
}

bool CKorvaneDoc::ShowHistoryStep(std::int64_t index) {
  if (!IsPaused() || m_nMode != MODE_TRACE || m_history.Empty()) return false;
  std::int64_t at = index >= m_history.End() - 1 ? m_history.End() - 1 : index;
  if (at < m_history.End() - 1) {
    // The pause step at or before the index, else the first one after it.
    std::int64_t pause = PreviousPauseStep(at + 1);
    if (pause < 0) pause = NextPauseStep(at);
    if (pause < 0) return false;
    at = pause;
  }
  if (!ViewHistory(at)) return false;
  Notify(nullptr, HINTS_SEARCH_STEP);
  return true;
}

bool CKorvaneDoc::StepBack() {
  if (!IsPaused() || m_nMode != MODE_TRACE) return false;
  const std::int64_t pause = PreviousPauseStep(ShownHistoryIndex());
  if (pause < 0 || !ViewHistory(pause)) return false;
  Notify(nullptr, HINTS_SEARCH_STEP);
  return true;
}

void CKorvaneDoc::NoteHistoryDrops() {
  const std::int64_t dropped = m_history.Dropped();
  if (dropped <= m_nNotedDrops || !m_pUi) return;
  m_nNotedDrops = dropped;
  m_pUi->ShowNote(CStringTable::FormatStrings(
      CStringTable::Str(IDS_HISTORY_DROPPED),
      {GroupedCount(static_cast<std::uint64_t>(dropped)), QString::number(m_history.Ceiling() / double(kMiB), 'g', 3)}));
}

const TraceStackEntry<unsigned short>* CKorvaneDoc::ShownTraceStack(int* depth) const {
  if (m_nViewIndex >= 0) {
    *depth = static_cast<int>(m_viewStack.size());
    return m_viewStack.empty() ? nullptr : m_viewStack.data();
  }
  *depth = m_ctx.m_traceStack.GetSize();
  return *depth > 0 ? &m_ctx.m_traceStack[0] : nullptr;
}

const std::vector<HistoryCapture>* CKorvaneDoc::ShownCaptures() const {
  if (!IsPaused()) return nullptr;
  if (m_nViewIndex >= 0) return &m_viewCaptures;
  ReadCaptures(&m_ctx, &const_cast<CKorvaneDoc*>(this)->m_liveCaptures);
  return &m_liveCaptures;
}
