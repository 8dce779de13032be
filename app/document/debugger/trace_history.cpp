#include "app/document/debugger/trace_history.h"

#include <algorithm>

namespace {

const std::size_t kMinSegmentBytes = 32 * 1024;
const std::size_t kSlack = 64;  // room past the target for the event that crosses it

// Header byte of an event.
enum : unsigned {
  H_EXIT = 0x01,      // else an entry
  H_FLAG = 0x02,      // exit: matched; entry: a retry
  H_CAPTURES = 0x04,  // changed captures follow
  H_START = 0x08,     // entry: the attempt's start differs from the entry position (follows)
  H_CUT = 0x10,       // the stack is cut back to a depth (follows) before this event
  H_POS_SHIFT = 5     // bits 5-7: position delta + 4 when within -3..3, else 0 and the delta follows
};

inline void PutVar(std::vector<unsigned char>& b, std::uint64_t v) {
  while (v >= 0x80) {
    b.push_back(static_cast<unsigned char>(v | 0x80));
    v >>= 7;
  }
  b.push_back(static_cast<unsigned char>(v));
}
inline std::uint64_t GetVar(const unsigned char* p, std::size_t* at) {
  std::uint64_t v = 0;
  int shift = 0;
  for (;;) {
    unsigned char c = p[(*at)++];
    v |= std::uint64_t(c & 0x7F) << shift;
    if (!(c & 0x80)) return v;
    shift += 7;
  }
}
inline std::uint64_t Zig(std::int64_t v) { return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63); }
inline std::int64_t Unzig(std::uint64_t v) { return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1); }

}  // namespace

void ReadCaptures(const HostContext* ctx, std::vector<HistoryCapture>* out) {
  const int groups = ctx->m_captureIndex.GetSize();
  out->resize(groups);
  const CBufferT<int>& cs = ctx->m_captureStack;
  for (int g = 0; g < groups; ++g) {
    const int r = ctx->LookupRecord(g);
    (*out)[g] = r < 0 ? HistoryCapture{-1, -1} : HistoryCapture{cs[r + 1], cs[r + 2]};
  }
}

CTraceHistory::CTraceHistory(std::size_t ceilingBytes) : m_ceiling(0) { SetCeiling(ceilingBytes); }

void CTraceHistory::SetCeiling(std::size_t bytes) { m_ceiling = std::max(bytes, 2 * (kMinSegmentBytes + kSlack)); }

void CTraceHistory::Clear() {
  std::deque<Segment>().swap(m_segments);
  m_bytes = 0;
  m_end = 0;
  m_target = 0;
  m_depth = 0;
  m_lastPos = 0;
  m_captureVersion = ~0ull;
  m_captureSize = -1;
  m_captures.clear();
  m_cursor = Cursor();
}

std::size_t CTraceHistory::MemoryBytes() const {
  std::size_t n = m_bytes + sizeof(*this);
  if (!m_segments.empty()) n += m_segments.back().Bytes();
  n += m_cursor.state.stack.capacity() * sizeof(HistoryEntry) + m_cursor.state.captures.capacity() * sizeof(HistoryCapture);
  return n;
}

// ---------------------------------------------------------------------------------------------
// Recording (match worker)

void CTraceHistory::StartSegment(int event, const HostContext* ctx, const TraceStackEntry<unsigned short>* stack,
                                 int depth) {
  if (!m_segments.empty()) {
    m_bytes += m_segments.back().Bytes();
    DropForCeiling();
  }
  m_segments.emplace_back();
  Segment& s = m_segments.back();
  s.first = m_end;
  s.position = m_lastPos;
  s.captures = m_captures;
  // The stack just before this event: an entry's own element is not on it yet.
  int before = event == TRACE_ENTER ? depth - 1 : depth;
  if (before > m_depth) before = m_depth;  // entries the history never saw enter are not its
  if (before < 0) before = 0;
  s.stack.reserve(before);
  for (int i = 0; i < before; ++i)
    s.stack.push_back(HistoryEntry{stack[i].element->m_nPoolIndex, stack[i].start, stack[i].entryPos, stack[i].retry});
  m_depth = before;
  // A checkpoint is worth a quarter of its segment at most.
  const std::size_t checkpoint = s.Bytes();
  m_target = std::max(kMinSegmentBytes, 4 * checkpoint);
  s.bytes.reserve(m_target + kSlack + 16 * m_captures.size());
}

void CTraceHistory::DropForCeiling() {
  // The open segment always stays.
  while (m_segments.size() > 1 && m_bytes + m_segments.back().Bytes() > m_ceiling) {
    m_bytes -= m_segments.front().Bytes();
    if (m_cursor.segmentFirst == m_segments.front().first) m_cursor = Cursor();
    m_segments.pop_front();
  }
}

void CTraceHistory::Record(int event, const HostContext* ctx, int outcome, const TraceStackEntry<unsigned short>* stack,
                           int depth) {
  if (depth <= 0) return;
  if (m_segments.empty() || m_segments.back().bytes.size() >= m_target) StartSegment(event, ctx, stack, depth);
  Segment& s = m_segments.back();
  std::vector<unsigned char>& b = s.bytes;
  const TraceStackEntry<unsigned short>& top = stack[depth - 1];
  const int pos = ctx->m_nCurrentPos;
  unsigned header = event == TRACE_ENTER ? 0u : H_EXIT;
  if (event == TRACE_ENTER ? top.retry != 0 : outcome != 0) header |= H_FLAG;
  // The stack the event is read against: an entry lands on depth - 1 entries, an exit leaves
  // depth. Anything else means entries went without an exit (a search broken off in an entry).
  const int expect = event == TRACE_ENTER ? depth - 1 : depth;
  const bool cut = expect != m_depth;
  if (cut) header |= H_CUT;
  // Captures change only where the capture version or the stack of records does.
  const unsigned long long version = ctx->m_nCaptureVersion;
  const int size = ctx->m_captureStack.GetSize();
  int changed = 0;
  if (version != m_captureVersion || size != m_captureSize) {
    m_captureVersion = version;
    m_captureSize = size;
    ReadCaptures(ctx, &m_scratch);
    if (m_scratch.size() != m_captures.size()) m_captures.resize(m_scratch.size(), HistoryCapture{-1, -1});
    for (size_t g = 0; g < m_scratch.size(); ++g) changed += m_scratch[g] != m_captures[g];
    if (changed) header |= H_CAPTURES;
  }
  if (event == TRACE_ENTER && top.start != top.entryPos) header |= H_START;
  const std::int64_t delta = static_cast<std::int64_t>(pos) - m_lastPos;
  if (delta >= -3 && delta <= 3) header |= static_cast<unsigned>(delta + 4) << H_POS_SHIFT;
  b.push_back(static_cast<unsigned char>(header));
  if (!(header >> H_POS_SHIFT)) PutVar(b, Zig(delta));
  if (cut) PutVar(b, static_cast<std::uint64_t>(expect < 0 ? 0 : expect));
  if (event == TRACE_ENTER) {
    PutVar(b, static_cast<std::uint64_t>(top.element->m_nPoolIndex));
    if (header & H_START) PutVar(b, Zig(static_cast<std::int64_t>(top.start) - pos));
  }
  if (header & H_CAPTURES) {
    PutVar(b, static_cast<std::uint64_t>(m_scratch.size()));
    PutVar(b, static_cast<std::uint64_t>(changed));
    for (size_t g = 0; g < m_scratch.size(); ++g) {
      if (m_scratch[g] == m_captures[g]) continue;
      PutVar(b, g);
      PutVar(b, static_cast<std::uint64_t>(static_cast<std::int64_t>(m_scratch[g].open) + 1));
      PutVar(b, static_cast<std::uint64_t>(static_cast<std::int64_t>(m_scratch[g].close) + 1));
      m_captures[g] = m_scratch[g];
    }
  }
  m_lastPos = pos;
  m_depth = event == TRACE_ENTER ? depth : depth - 1;
  ++s.count;
  ++m_end;
}

// ---------------------------------------------------------------------------------------------
// Reading (UI thread)

const CTraceHistory::Segment* CTraceHistory::FindSegment(std::int64_t index) const {
  if (index < First() || index >= m_end) return nullptr;
  auto it = std::upper_bound(m_segments.begin(), m_segments.end(), index,
                             [](std::int64_t i, const Segment& s) { return i < s.first; });
  if (it == m_segments.begin()) return nullptr;
  --it;
  return index < it->first + it->count ? &*it : nullptr;
}

void CTraceHistory::Reset(const Segment& s, Cursor* c) const {
  c->segmentFirst = s.first;
  c->offset = 0;
  c->popPending = false;
  c->state.index = s.first - 1;
  c->state.event = TRACE_EXIT;
  c->state.outcome = 0;
  c->state.position = s.position;
  c->state.stack = s.stack;
  c->state.captures = s.captures;
}

void CTraceHistory::Step(const Segment& s, Cursor* c) const {
  const unsigned char* p = s.bytes.data();
  std::size_t& at = c->offset;
  HistoryState& st = c->state;
  if (c->popPending && !st.stack.empty()) st.stack.pop_back();
  const unsigned header = p[at++];
  std::int64_t delta = static_cast<int>(header >> H_POS_SHIFT) - 4;
  if (!(header >> H_POS_SHIFT)) delta = Unzig(GetVar(p, &at));
  st.position = static_cast<int>(st.position + delta);
  if (header & H_CUT) {
    const std::size_t depth = static_cast<std::size_t>(GetVar(p, &at));
    if (depth < st.stack.size()) st.stack.resize(depth);
  }
  if (header & H_EXIT) {
    st.event = TRACE_EXIT;
    st.outcome = (header & H_FLAG) ? 1 : 0;
    c->popPending = true;
  } else {
    st.event = TRACE_ENTER;
    st.outcome = 0;
    HistoryEntry e;
    e.element = static_cast<int>(GetVar(p, &at));
    e.entryPos = st.position;
    e.start = (header & H_START) ? static_cast<int>(st.position + Unzig(GetVar(p, &at))) : st.position;
    e.retry = (header & H_FLAG) ? 1 : 0;
    st.stack.push_back(e);
    c->popPending = false;
  }
  if (header & H_CAPTURES) {
    const std::size_t groups = static_cast<std::size_t>(GetVar(p, &at));
    st.captures.resize(groups, HistoryCapture{-1, -1});
    std::uint64_t n = GetVar(p, &at);
    while (n--) {
      const std::size_t g = static_cast<std::size_t>(GetVar(p, &at));
      const int open = static_cast<int>(static_cast<std::int64_t>(GetVar(p, &at)) - 1);
      const int close = static_cast<int>(static_cast<std::int64_t>(GetVar(p, &at)) - 1);
      if (g < st.captures.size()) st.captures[g] = HistoryCapture{open, close};
    }
  }
  ++st.index;
}

bool CTraceHistory::StateAt(std::int64_t index, HistoryState* out) const {
  const Segment* s = FindSegment(index);
  if (!s) return false;
  Cursor& c = m_cursor;
  // Go on from the cursor when it stands in the same segment at or before the index; else
  // replay from the segment's checkpoint.
  if (c.segmentFirst != s->first || c.state.index > index) Reset(*s, &c);
  while (c.state.index < index) Step(*s, &c);
  *out = c.state;
  return true;
}

std::int64_t CTraceHistory::FindBefore(std::int64_t index, const std::function<bool(const HistoryState&)>& pred) const {
  if (index > m_end) index = m_end;
  if (index <= First()) return -1;
  const Segment* s = FindSegment(index - 1);
  while (s) {
    Cursor& c = m_cursor;
    Reset(*s, &c);
    std::int64_t found = -1;
    while (c.state.index + 1 < index && c.state.index + 1 < s->first + s->count) {
      Step(*s, &c);
      if (pred(c.state)) found = c.state.index;
    }
    if (found >= 0) return found;
    s = s->first > First() ? FindSegment(s->first - 1) : nullptr;
  }
  return -1;
}

std::int64_t CTraceHistory::FindAfter(std::int64_t index, const std::function<bool(const HistoryState&)>& pred) const {
  if (index < First() - 1) index = First() - 1;
  HistoryState unused;
  std::int64_t at = index + 1;
  while (at < m_end) {
    if (!StateAt(at, &unused)) return -1;
    // The cursor now stands at `at`, in its segment: read on to the segment's end.
    const Segment* s = FindSegment(at);
    Cursor& c = m_cursor;
    for (;;) {
      if (pred(c.state)) return c.state.index;
      if (c.state.index + 1 >= s->first + s->count) break;
      Step(*s, &c);
    }
    at = s->first + s->count;
  }
  return -1;
}
