#include "app/document/matching/step_counts.h"

#include <new>

#include "korvane_ids.h"
#include "stringtable.h"

void CStepCounter::Clear() {
  m_total = 0;
  m_mark = 0;
  m_open = false;
  m_truncated = false;
  if (m_starts.capacity() > 4096)
    std::vector<StartSteps>().swap(m_starts);
  else
    m_starts.clear();
}

unsigned CStepCounter::TakeSinceMark() {
  const std::uint64_t d = m_total - m_mark;
  m_mark = m_total;
  return d > kMaxTaken ? kMaxTaken : static_cast<unsigned>(d);
}

void CStepCounter::BeginAttempt(int start) {
  // A search that goes on after a match starts its next attempt further on, so a position seen
  // again can only be the last one (a search resumed where it stood).
  if (!m_starts.empty() && m_starts.back().start == start) {
    m_open = true;
    return;
  }
  m_open = false;
  if (m_starts.size() >= kMaxStarts) {
    m_truncated = true;
    return;
  }
  try {
    m_starts.push_back(StartSteps{start, 0});
    m_open = true;
  } catch (const std::bad_alloc&) {
    m_truncated = true;  // the counts are a help, never a reason to stop the search
  }
}

QString GroupedCount(std::uint64_t n) {
  char digits[32];
  int len = 0;
  do {
    digits[len++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n);
  QString out;
  out.reserve(len + len / 3);
  for (int i = len - 1; i >= 0; --i) {
    out += QLatin1Char(digits[i]);
    if (i > 0 && i % 3 == 0) out += QLatin1Char(',');
  }
  return out;
}

QString StepsPhrase(std::uint64_t n, bool traced) {
  if (n == 1) return CStringTable::Str(traced ? IDS_STEPS_ONE : IDS_DIRECT_STEPS_ONE);
  return CStringTable::FormatStrings(CStringTable::Str(traced ? IDS_STEPS_MANY : IDS_DIRECT_STEPS_MANY),
                                     {GroupedCount(n)});
}
