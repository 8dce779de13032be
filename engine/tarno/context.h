// Per-search state of the matcher (CMatchContext), the match result (MatchResult) and, in the host
// build, the trace frame that reports every element attempt to the host's hook.
//
// A compiled pattern is never written during a search; everything a search changes lives here,
// so one pattern serves any number of contexts one after another. Covered by
// engine/tests/match_test.cpp, engine/tests/stack_test.cpp and the host document's trace tests.
#ifndef TARNO_CONTEXT_H
#define TARNO_CONTEXT_H

#include <algorithm>
#include <functional>
#include <vector>

#include "buffer.h"

TARNO_NAMESPACE_BEGIN

template <class CHART> class CPatternElement;
template <class CHART> class CMatchContext;

// How a search ended (MatchResult::GetStatus, CMatchContext::m_nStatus).
enum MatchStatus {
  MATCH_COMPLETE = 0,       // the search gave its answer: a match, or none anywhere
  MATCH_NESTING_LIMIT = 1   // an attempt nested deeper than the context's limit (m_nMaxNesting):
                            // the search stopped there and has no answer
};

// The ints of a match result: held in the object itself up to kInline of them (a pattern of up
// to nine groups, and Replace's four more), so that a search loop allocates nothing per match;
// on the heap beyond that.
class ResultValues {
 public:
  static const int kInline = 24;
  ResultValues() = default;
  explicit ResultValues(const CBufferT<int>& values) { Append(values.GetBuffer(), values.GetSize()); }
  ResultValues(const ResultValues& other) { Append(other.Data(), other.m_nSize); }
  ResultValues& operator=(const ResultValues& other) {
    if (this != &other) {
      m_nSize = 0;
      Append(other.Data(), other.m_nSize);
    }
    return *this;
  }
  int GetSize() const { return m_nSize; }
  const int* Values() const { return Data(); }  // GetSize() of them
  int& operator[](int i) { return Data()[i]; }
  int operator[](int i) const { return Data()[i]; }
  // Sets the size; new entries are left uninitialised.
  void Resize(int size) {
    if (size < 0) size = 0;
    if (size > kInline) {
      if (m_heap.GetSize() == 0 && m_nSize > 0) m_heap.Append(m_inline, m_nSize);
      m_heap.Resize(size);
    } else if (m_heap.GetSize() > 0) {
      m_heap.Resize(size);  // once on the heap, stays there
    }
    m_nSize = size;
  }
  void Push(int v) {
    Resize(m_nSize + 1);
    Data()[m_nSize - 1] = v;
  }

 private:
  void Append(const int* values, int count) {
    if (count <= 0) return;
    int at = m_nSize;
    Resize(m_nSize + count);
    std::memcpy(Data() + at, values, sizeof(int) * static_cast<size_t>(count));
  }
  int* Data() { return m_heap.GetSize() > 0 ? m_heap.GetBuffer() : m_inline; }
  const int* Data() const { return m_heap.GetSize() > 0 ? m_heap.GetBuffer() : m_inline; }

  int m_inline[kInline];
  CBufferT<int> m_heap;  // in use while its size is above 0
  int m_nSize = 0;
};

// The result of one search: [0] matched flag, [1] highest group number, then start and end of
// group 0 and of each group (-1, -1 for a group that did not take part). A not-matched result is
// empty. After Replace it may carry four more ints (see CRegexpT::Replace).
//
// A not-matched result whose status is MATCH_NESTING_LIMIT is not an answer: the search was cut
// short and a match may exist. Callers that take "not matched" as "no match" should test
// HitNestingLimit().
class MatchResult {
 public:
  MatchResult() = default;
  explicit MatchResult(const CBufferT<int>& values) : m_result(values) {}
  static MatchResult CutShort(int status) {
    MatchResult r;
    r.m_nStatus = status;
    return r;
  }

  int IsMatched() const { return Get(0, 0); }
  int MaxGroupNumber() const { return Get(1, 0); }
  int GetStart() const { return Get(2, -1); }
  int GetEnd() const { return Get(3, -1); }
  int GetGroupStart(int n) const { return n < 0 ? -1 : Get(2 + 2 * n, -1); }
  int GetGroupEnd(int n) const { return n < 0 ? -1 : Get(3 + 2 * n, -1); }
  int GetSize() const { return m_result.GetSize(); }
  int operator[](int i) const { return Get(i, -1); }
  int GetStatus() const { return m_nStatus; }
  bool HitNestingLimit() const { return m_nStatus == MATCH_NESTING_LIMIT; }

  ResultValues m_result;
  int m_nStatus = MATCH_COMPLETE;

 private:
  int Get(int i, int def) const { return (i >= 0 && i < m_result.GetSize()) ? m_result[i] : def; }
};

#if TARNO_TRACE
// One element attempt in progress, outermost first on the context's trace stack.
template <class CHART>
struct TraceStackEntry {
  const CPatternElement<CHART>* element;
  int start;       // where this attempt began; for a retry, the start of the attempt it retries
  int entryPos;    // position at entry
  int retry;       // 0 first attempt, 1 retry
};

// Hook events.
enum { TRACE_ENTER = 0, TRACE_EXIT = 1 };

template <class CHART>
using TraceHookProc = void (*)(int event, CMatchContext<CHART>* ctx,
                               const CPatternElement<CHART>* element, int outcome,
                               const TraceStackEntry<CHART>* stack, int depth, void* userData);

#endif

#if TARNO_HOST
// The break signal a hook (or, in the untraced host build, a poll function) throws to end a
// search; the search's caller catches it.
struct CMatchBreak {
  enum { RECURSION_LIMIT = 1, ABORTED = 2 };
  explicit CMatchBreak(int r) : reason(r) {}
  int reason;
};
#endif

// Thrown inside the engine when an attempt nests deeper than the context's m_nMaxNesting; caught
// by the search operations, which then stop the search with MATCH_NESTING_LIMIT. Never leaves
// the engine.
struct CNestingOverflow {};

#ifdef TARNO_WORK_LIMIT
// Attempts cut off by the nesting limit or the work budget on this thread (fuzzing only).
inline long& TarnoCutOffs() {
  static thread_local long count = 0;
  return count;
}
#endif

// A recursion in progress (see CMatchContext::EnterCall).
struct ActiveCall {
  const void* target;  // the element recursed into
  int pos;             // where the recursion began
  unsigned long long version;  // the context's capture version then
};

// Group number of a restore record on the capture stack (see CMatchContext::m_captureStack).
enum { CAPTURE_RESTORE = -2 };

// A snapshot of the stack tops, for the elements that discard what their inner element left.
struct StackMark {
  int backtrack;
  int captures;
  int lists;
#if TARNO_TRACE
  int entries;
#endif
};

template <class CHART>
class CMatchContext {
 public:
  // Backtrack stack: values that elements push in Match and pop in MatchNext.
  CBufferT<int> m_stack;
  // Capture records of four ints: group number, open position, close position (-1 while open),
  // and 0 or a negative nesting count while open, the close stamp once closed. A record whose
  // group is -1 was taken away by a balancing group; the restore record (group
  // CAPTURE_RESTORE, then the offset of the record taken away and its group) pushed at that
  // moment gives it back whenever the capture stack is cut back past it, by whichever element.
  CBufferT<int> m_captureStack;
  // Per group: offset (in ints) of its latest record in m_captureStack, or -1. Kept exact:
  // truncating the capture stack re-points the groups whose records it removes.
  CBufferT<int> m_captureIndex;
  // Per record (offset / 4): offset of the previous record of the same group when it was pushed.
  CBufferT<int> m_capturePrev;

  // Counts the changes to the capture records, all but the nesting counts of groups that a
  // recursion re-enters while open (see EnterCall). Never goes back, so two equal readings mean
  // that nothing else changed in between (64 bits: no search lives to see it wrap).
  unsigned long long m_nCaptureVersion = 0;
  // The recursions whose Match is in progress, outermost first.
  CBufferT<ActiveCall> m_calls;

  int m_nCurrentPos = 0;
  int m_nLastMatchEnd = 0;       // read by \G
  int m_nPrevLastMatchEnd = -1;
  // The far edge (in the search direction) of the previous match, or the search's start: no
  // match may reach back over it, even one that runs against the search direction.
  int m_nMatchBound = 0;
  int m_nCloseCounter = 0;
  int m_nBeginPos = 0;           // start position of the current attempt
  const CHART* m_pText = nullptr;  // not owned
  int m_nLength = -1;            // below 0: no subject
  int m_nNesting = 0;            // composite elements entered in the current attempt
  // Deepest nesting one attempt may reach; an attempt that would go deeper stops the search
  // (MATCH_NESTING_LIMIT). The default fits the stack budget of config.h; a caller whose thread
  // has a larger or smaller stack may set its own before searching.
  int m_nMaxNesting = TARNO_MAX_NESTING;
  int m_nStatus = MATCH_COMPLETE;  // MATCH_NESTING_LIMIT once a search was cut short; PrepareMatch resets
#ifdef TARNO_WORK_LIMIT
  long m_nWork = 0;              // composite elements entered since PrepareMatch
#endif

  // Sorted lists of end positions that greedy repeats have offered, and of the positions their
  // mandatory iterations reached (see CGreedyElement); a repeat keeps the index of its first list
  // on the backtrack stack. Reset at every attempt, but for the kept ones below.
  std::vector<std::vector<int>> m_lists;
  int m_nListsUsed = 0;
  // Above 0 while a repeat retries an iteration that matched empty (CRepeatBase::Extend): that
  // retry takes the very next way to match, so no greedy repeat may pass over offered ends then.
  int m_nEmptyRetries = 0;

  // The start filter's memory of the required text of the pattern in m_pRequiredOwner (plain
  // build; CRegexpT::FindRequired): its first occurrence at or after m_nRequiredFrom is at
  // m_nRequiredAt (-1: there is none); and the run of characters that may come before it ends
  // there and reaches back to m_nRunFrom, or further than m_nRunBound when m_nRunFrom equals it.
  // PrepareMatch forgets it.
  const void* m_pRequiredOwner = nullptr;
  int m_nRequiredFrom = -1;
  int m_nRequiredAt = -1;
  int m_nRunAt = -1;
  int m_nRunFrom = -1;
  int m_nRunBound = -1;

#if TARNO_TRACE
  // Classic backtracking: greedy repeats keep no list of offered ends (see CGreedyElement), so
  // they go on again from positions explored before, as a backtracking engine without that
  // shortcut does. The matches are the same; step counts, trace and run counters then show the
  // whole search such an engine makes. PrepareMatch leaves it as it is.
  bool m_bClassic = false;
  TraceHookProc<CHART> m_pfnTraceHook = nullptr;
  void* m_pUserData = nullptr;
  CBufferT<TraceStackEntry<CHART>> m_traceStack;
  CBufferT<int> m_entryPositions;  // start positions of attempts that succeeded, for their retries
#endif

#if TARNO_HOST && !TARNO_TRACE
  // --- step count and poll (untraced host build) ---
  // Every element entry is one step. The count runs down m_nTick; when it passes zero, Poll
  // adds the span to m_nStepsBefore and calls the poll function, which may throw CMatchBreak to
  // end the search (the caller catches it) or read the position to show progress. PrepareMatch
  // leaves the poll function and the count as they are; ResetSteps starts the count again.
  typedef void (*PollProc)(CMatchContext* ctx, void* user);
  void SetPoll(PollProc poll, void* user, int interval) {
    m_pfnPoll = poll;
    m_pPollData = user;
    m_nTickSpan = interval > 0 ? interval : 1;
    m_nTick = m_nTickSpan;
  }
  void ResetSteps() {
    m_nStepsBefore = 0;
    m_nTick = m_nTickSpan;
  }
  // Element entries since ResetSteps (or the context's making).
  unsigned long long Steps() const {
    return m_nStepsBefore + static_cast<unsigned long long>(static_cast<long long>(m_nTickSpan) - m_nTick);
  }
  void Tick() {
    if (TARNO_UNLIKELY(--m_nTick < 0)) Poll();
  }
  // `n` steps at once: the characters a counted repeat tested, so that a long run counts as what
  // it costs and the poll comes as often as elsewhere.
  void TickMany(int n) {
    m_nTick -= n;  // no overflow: m_nTick >= 0 before, n >= 0
    if (TARNO_UNLIKELY(m_nTick < 0)) Poll();
  }
  TARNO_NOINLINE void Poll() {
    m_nStepsBefore += static_cast<unsigned long long>(static_cast<long long>(m_nTickSpan) - m_nTick);
    m_nTick = m_nTickSpan;
    if (m_pfnPoll) m_pfnPoll(this, m_pPollData);
  }
  // When the poll function throws inside an attempt, the caller may take the attempt back
  // (TakeBackAttempt) and call Match again: the search then goes on from that attempt's start
  // with the lists of explored ends that the attempts before it left (the kept lists, below).
  // Those lists hold only ends that were explored to the end; the broken-off attempt's own
  // offers are not, so it logs them here (list, position pairs) to take them back.
  void TakeBackAttempt() {
    for (int i = m_keptOffers.GetSize() - 2; i >= 0; i -= 2) {
      std::vector<int>& l = m_lists[static_cast<size_t>(m_keptOffers[i])];
      const int pos = m_keptOffers[i + 1];
      // Each list is sorted one way or the other; the newest entries are mostly at its back.
      const bool descending = l.size() > 1 && l.front() > l.back();
      std::vector<int>::iterator it =
          descending ? std::lower_bound(l.begin(), l.end(), pos, std::greater<int>()) : std::lower_bound(l.begin(), l.end(), pos);
      if (it != l.end() && *it == pos) l.erase(it);
    }
    m_keptOffers.Clear();
    m_nCurrentPos = m_nBeginPos;
    m_bResumeLists = true;
  }
  CBufferT<int> m_keptOffers;
  bool m_bResumeLists = false;  // the next Match keeps the kept lists as they stand
  PollProc m_pfnPoll = nullptr;
  void* m_pPollData = nullptr;
  int m_nTickSpan = 1 << 30;
  int m_nTick = 1 << 30;
  unsigned long long m_nStepsBefore = 0;
#endif

  CHART CharAt(int pos) const { return m_pText[pos]; }

  // --- capture records ---
  int LookupRecord(int group) const {
    if (group < 0 || group >= m_captureIndex.GetSize()) return -1;
    int i = m_captureIndex[group];
    if (i < 0) return -1;
    int top = m_captureStack.GetSize() - 4;
    if (i > top) i = top;
    for (; i >= 0; i -= 4)
      if (m_captureStack[i] == group) return i;
    return -1;
  }
  // The group's record before the one at `record`, following the link kept at push time.
  int PreviousRecord(int record, int group) const {
    int i = m_capturePrev[record / 4];
    while (i >= 0 && m_captureStack[i] != group) i -= 4;
    return i;
  }
  int PushRecord(int group, int open, int close, int fourth) {
    ++m_nCaptureVersion;
    int at = m_captureStack.GetSize();
    m_captureStack.Resize(at + 4);
    int* r = m_captureStack.GetBuffer() + at;
    r[0] = group;
    r[1] = open;
    r[2] = close;
    r[3] = fourth;
    int prev = (group >= 0 && group < m_captureIndex.GetSize()) ? m_captureIndex[group] : -1;
    m_capturePrev.Resize(at / 4 + 1);
    m_capturePrev[at / 4] = prev;
    if (group >= 0 && group < m_captureIndex.GetSize()) m_captureIndex[group] = at;
    return at;
  }
  // Takes the group's record at `record` (its latest) away: the group's previous record becomes
  // its latest. Returns the offset of the restore record that undoes it.
  int TakeRecord(int record) {
    int g = m_captureStack[record];
    m_captureStack[record] = -1;
    m_captureIndex[g] = PreviousRecord(record, g);
    return PushRecord(CAPTURE_RESTORE, record, g, 0);
  }
  // Cuts the capture stack back to `top` ints, re-pointing every group whose latest record goes
  // and giving back the records that the restore records among them took away. Top down, so
  // that every group's latest record is exact again at each step.
  void TruncateCaptures(int top) {
    if (top < m_captureStack.GetSize()) ++m_nCaptureVersion;
    for (int i = m_captureStack.GetSize() - 4; i >= top; i -= 4) {
      int g = m_captureStack[i];
      if (g >= 0) {
        if (g < m_captureIndex.GetSize() && m_captureIndex[g] == i) m_captureIndex[g] = m_capturePrev[i / 4];
      } else if (g == CAPTURE_RESTORE) {
        int record = m_captureStack[i + 1], taken = m_captureStack[i + 2];
        m_captureStack[record] = taken;
        m_captureIndex[taken] = record;  // it was the latest when taken, and all above are gone
      }
    }
    m_captureStack.Restore(top);
  }

  // --- marks ---
  StackMark Mark() const {
    StackMark m;
    m.backtrack = m_stack.GetSize();
    m.captures = m_captureStack.GetSize();
    m.lists = m_nListsUsed;
#if TARNO_TRACE
    m.entries = m_entryPositions.GetSize();
#endif
    return m;
  }
  // Drops everything pushed since the mark: backtrack values, capture records, offered-end lists
  // and (host) entry positions of attempts that can no longer be retried.
  void RestoreMark(const StackMark& m) {
    m_stack.Restore(m.backtrack);
    TruncateCaptures(m.captures);
    if (m.lists < m_nListsUsed) m_nListsUsed = m.lists;
#if TARNO_TRACE
    m_entryPositions.Restore(m.entries);
#endif
  }
  void DiscardBacktrack(const StackMark& m) {
    m_stack.Restore(m.backtrack);
    if (m.lists < m_nListsUsed) m_nListsUsed = m.lists;
#if TARNO_TRACE
    m_entryPositions.Restore(m.entries);
#endif
  }

  // --- offered-end lists of greedy repeats ---
  // The first m_nKeptLists lists belong to the repeats on the pattern's top-level path
  // (CGreedyElement::m_nKeptList): they outlive the attempts of one search, since what follows
  // such a repeat is the same in every attempt (KeepLists). The others are per attempt.
  int m_nKeptLists = 0;
  void KeepLists(int count) {
    if (static_cast<int>(m_lists.size()) < count) m_lists.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) m_lists[static_cast<size_t>(i)].clear();
    m_nKeptLists = count;
    m_nListsUsed = count;
  }
  // `count` consecutive empty lists; the index of the first.
  int AllocLists(int count) {
    int first = m_nListsUsed;
    if (first + count > static_cast<int>(m_lists.size())) m_lists.resize(static_cast<size_t>(first + count));
    for (int i = first; i < first + count; ++i) m_lists[static_cast<size_t>(i)].clear();
    m_nListsUsed = first + count;
    return first;
  }
  // Gives back the lists AllocLists gave, when they are the last taken.
  void FreeLists(int first, int count) {
    if (first >= m_nKeptLists && first + count == m_nListsUsed) m_nListsUsed = first;
  }

  // --- recursion ---
  // Called as a recursion into `target` begins. One that begins where an enclosing recursion into
  // the same target began, with the captures as they were then, can never make progress: it
  // would do what the enclosing one did until it got here, and again, without end. That stops
  // the search at once as the nesting limit would, much deeper. What the enclosing recursion did
  // in between depended only on the position and the captures, and of the captures not on the
  // nesting counts of open groups, which only a group's close reads (and a close changes the
  // version). A search with a trace hook is left to the host's own guards, which report it.
  void EnterCall(const void* target) {
#if TARNO_TRACE
    if (!m_pfnTraceHook)
#endif
    {
      // Versions never go back, so the calls entered since the last change are on top.
      for (int i = m_calls.GetSize() - 1; i >= 0 && m_calls[i].version == m_nCaptureVersion; --i)
        if (m_calls[i].target == target && m_calls[i].pos == m_nCurrentPos) {
#ifdef TARNO_WORK_LIMIT
          ++TarnoCutOffs();
#endif
          throw CNestingOverflow();
        }
    }
    ActiveCall call = {target, m_nCurrentPos, m_nCaptureVersion};
    m_calls.Push(call);
  }
  void LeaveCall() { m_calls.Restore(m_calls.GetSize() - 1); }

  // --- nesting guard ---
  void EnterNested() {
#ifdef TARNO_WORK_LIMIT
    if (++m_nNesting > m_nMaxNesting || ++m_nWork > TARNO_WORK_LIMIT) {
      ++TarnoCutOffs();
      throw CNestingOverflow();
    }
#else
    if (++m_nNesting > m_nMaxNesting) throw CNestingOverflow();
#endif
  }
  void LeaveNested() { --m_nNesting; }
  // A call that stands for `levels` nested ones (the untraced host build's weighted elements).
  void EnterNested(int levels) {
    m_nNesting += levels - 1;
    EnterNested();
  }
  void LeaveNested(int levels) { m_nNesting -= levels; }

  // Resets everything for a new attempt at `pos`, with group 0 opened there.
  void BeginAttempt(int pos) {
    m_stack.Clear();
#if TARNO_HOST
    TruncateCaptures(0);
#else
    // Without balancing groups no record was taken away, and every group's chain of records
    // ends at -1: dropping them all leaves every group without one.
    if (!m_captureStack.IsEmpty()) {
      ++m_nCaptureVersion;
      m_captureIndex.Fill(-1);
      m_captureStack.Clear();
    }
#endif
    m_nListsUsed = m_nKeptLists;
#if TARNO_HOST && !TARNO_TRACE
    m_keptOffers.Clear();
#endif
    m_nEmptyRetries = 0;
    m_nNesting = 0;
    m_calls.Clear();  // a search cut short leaves its calls behind
    m_nCurrentPos = pos;
    m_nBeginPos = pos;
#if TARNO_TRACE
    m_traceStack.Clear();
    m_entryPositions.Clear();
#endif
    PushRecord(0, pos, -1, -1);
  }
};

// Keeps the nesting count of a composite element's Match or MatchNext.
template <class CHART>
struct NestingGuard {
  explicit NestingGuard(CMatchContext<CHART>* c) : ctx(c) { ctx->EnterNested(); }
  ~NestingGuard() { ctx->LeaveNested(levels); }
  NestingGuard(CMatchContext<CHART>* c, int n) : ctx(c), levels(n) { ctx->EnterNested(n); }
  CMatchContext<CHART>* ctx;
  int levels = 1;
};

TARNO_NAMESPACE_END

#endif
