// The history of a traced search: every element entry and exit the trace hook reports, kept
// compactly so that any recorded event can be shown again, exactly as it was live, without
// running the engine.
//
// Layout. Events go into segments of a few tens of KiB. A segment starts with a checkpoint (the
// trace stack, the captures and the position just before its first event) and then holds its
// events as bytes: an entry is a header byte and the element's pool index (the position usually
// rides in the header as a small delta), an exit only a header byte (its element is the top of
// the stack); changed captures follow the event that first sees them. Reading an event means
// taking its segment's checkpoint and replaying up to it, so a step back or a jump costs at most
// one segment's replay, and a cursor makes stepping forward cost one event.
//
// Memory ceiling. When the segments outgrow the ceiling the oldest are dropped whole; the history
// then starts later (First) and says how many events it lost (Dropped).
//
// Threads. The match worker records (in the hook); the UI thread reads only while the worker
// cannot record: while the search is paused or no search runs. Covered by
// app/document/debugger/tests/trace_history_test.cpp.
#ifndef KORVANE_TRACE_HISTORY_H
#define KORVANE_TRACE_HISTORY_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "app/host_engine.h"

// One entry of the trace stack, the element by its pool index.
struct HistoryEntry {
  int element;
  int start;     // where the attempt began (a retry: where the attempt it retries began)
  int entryPos;  // position at entry
  int retry;     // 0 first attempt, 1 retry
  bool operator==(const HistoryEntry& o) const {
    return element == o.element && start == o.start && entryPos == o.entryPos && retry == o.retry;
  }
};

// A group's capture as it stands: open and close positions; close -1 while the group is open;
// both -1 when the group has no capture.
struct HistoryCapture {
  int open;
  int close;
  bool operator==(const HistoryCapture& o) const { return open == o.open && close == o.close; }
  bool operator!=(const HistoryCapture& o) const { return !(*this == o); }
};

// What the hook saw at one event: the event, its element and outcome, the text position, the
// trace stack (outermost first, the event's element on top) and every group's capture.
struct HistoryState {
  std::int64_t index = -1;
  int event = TRACE_ENTER;
  int outcome = 0;  // exits: 1 matched, 0 failed
  int position = 0;
  std::vector<HistoryEntry> stack;
  std::vector<HistoryCapture> captures;
  int Element() const { return stack.empty() ? -1 : stack.back().element; }
  bool operator==(const HistoryState& o) const {
    return index == o.index && event == o.event && outcome == o.outcome && position == o.position &&
           stack == o.stack && captures == o.captures;
  }
};

// Reads the captures of every group from a live context, as HistoryCapture.
void ReadCaptures(const HostContext* ctx, std::vector<HistoryCapture>* out);

class CTraceHistory {
 public:
  static constexpr std::size_t kDefaultCeiling = std::size_t(256) << 20;

  explicit CTraceHistory(std::size_t ceilingBytes = kDefaultCeiling);

  // Forgets everything (a fresh search); the ceiling stays.
  void Clear();
  // The memory ceiling in bytes; a value below one segment's worth is raised to it. Applies from
  // the next segment on.
  void SetCeiling(std::size_t bytes);
  std::size_t Ceiling() const { return m_ceiling; }

  // Records one hook event (match worker). `stack` and `depth` as the hook has them.
  void Record(int event, const HostContext* ctx, int outcome, const TraceStackEntry<unsigned short>* stack,
              int depth);

  // Events kept: [First(), End()). End() counts every event recorded since Clear.
  std::int64_t First() const { return m_segments.empty() ? m_end : m_segments.front().first; }
  std::int64_t End() const { return m_end; }
  bool Empty() const { return First() == End(); }
  // Events dropped for the ceiling since Clear (all of them before First()).
  std::int64_t Dropped() const { return First(); }
  // The state at event `index`; false (and `out` untouched) for an index not kept.
  bool StateAt(std::int64_t index, HistoryState* out) const;
  // The bytes the history holds (segments, checkpoints, the reading cursor).
  std::size_t MemoryBytes() const;
  // The last kept event before `index` (the first after it) whose state `pred` accepts, or -1.
  // Each reads every segment it passes once.
  std::int64_t FindBefore(std::int64_t index, const std::function<bool(const HistoryState&)>& pred) const;
  std::int64_t FindAfter(std::int64_t index, const std::function<bool(const HistoryState&)>& pred) const;

 private:
  struct Segment {
    std::int64_t first = 0;  // index of its first event
    std::int64_t count = 0;
    int position = 0;        // before the first event
    std::vector<HistoryEntry> stack;
    std::vector<HistoryCapture> captures;
    std::vector<unsigned char> bytes;
    std::size_t Bytes() const {
      return sizeof(Segment) + bytes.capacity() + stack.capacity() * sizeof(HistoryEntry) +
             captures.capacity() * sizeof(HistoryCapture);
    }
  };
  // Replay state: a segment, the offset of the next event's bytes in it, and the state after the
  // last event read.
  struct Cursor {
    std::int64_t segmentFirst = -1;  // first index of the segment read; -1 none
    std::size_t offset = 0;
    HistoryState state;
    bool popPending = false;  // the last event read was an exit: its entry leaves the stack next
  };

  void StartSegment(int event, const HostContext* ctx, const TraceStackEntry<unsigned short>* stack, int depth);
  void DropForCeiling();
  const Segment* FindSegment(std::int64_t index) const;
  void Reset(const Segment& s, Cursor* c) const;
  // Reads one event of `s` at the cursor.
  void Step(const Segment& s, Cursor* c) const;

  std::deque<Segment> m_segments;
  std::size_t m_ceiling;
  std::size_t m_bytes = 0;         // of the segments closed so far
  std::int64_t m_end = 0;
  std::size_t m_target = 0;        // bytes at which the open segment closes
  // Recorder state (match worker).
  int m_depth = 0;                 // trace-stack depth after the last event
  int m_lastPos = 0;
  unsigned long long m_captureVersion = ~0ull;
  int m_captureSize = -1;
  std::vector<HistoryCapture> m_captures;  // as last recorded
  std::vector<HistoryCapture> m_scratch;
  mutable Cursor m_cursor;
};

#endif
