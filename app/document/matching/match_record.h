// One search step's result as the document keeps it: the span of the match and of each group,
// with its elapsed time and step count, shared by counted handles (the
// results list, the current and last result, the replace result's segments).
//
// Find All keeps hundreds of thousands of these, so a record is small: the match's own span
// inline, the groups' spans in an array that is either the record's own or a run in the capture
// pool of the block the record lives in (MatchStore), and no per-record allocation of its own.
#ifndef KORVANE_MATCH_RECORD_H
#define KORVANE_MATCH_RECORD_H

#include <memory>

#include "app/document/matching/fast_search.h"
#include "app/host_engine.h"

// The engine's MatchResult as stored: the same read interface, a fixed part of 24 bytes and
// 8 bytes per group (groups 1 and up; group 0 is the match's own span).
class StoredMatch {
 public:
  StoredMatch() = default;
  StoredMatch(const StoredMatch& other) { CopyFrom(other); }
  StoredMatch& operator=(const StoredMatch& other);
  StoredMatch& operator=(const MatchResult& result) {
    Assign(result, nullptr);
    return *this;
  }
  ~StoredMatch() { Release(); }

  // Takes `result`. The groups' spans go to `pool` when given (room for 2 ints per group; the
  // pool must outlive this record, and stays the pool's), else to an array of the record's own.
  void Assign(const MatchResult& result, int* pool);
  // The same from the fast path's result.
  void Assign(const SearchHit& hit, int* pool);
  // A result with no groups: matched flag and span (the not-matched entry that ends a search).
  void SetSpan(int matched, int start, int end);

  int IsMatched() const { return m_matched; }
  int MaxGroupNumber() const { return m_maxGroup; }
  int GetStart() const { return m_start; }
  int GetEnd() const { return m_end; }
  int GetGroupStart(int n) const {
    if (n == 0) return m_start;
    return (n > 0 && n <= m_maxGroup) ? m_groups[2 * (n - 1)] : -1;
  }
  int GetGroupEnd(int n) const {
    if (n == 0) return m_end;
    return (n > 0 && n <= m_maxGroup) ? m_groups[2 * (n - 1) + 1] : -1;
  }
  int GetStatus() const { return m_status; }
  bool HitNestingLimit() const { return m_status == MATCH_NESTING_LIMIT; }
  // Whether the groups' spans live in a block's pool rather than in an array of this record's.
  bool GroupsPooled() const { return m_pooled; }

 private:
  friend class MatchStore;
  void CopyFrom(const StoredMatch& other);
  void Release();
  // `values`: matched flag, highest group, then start and end of each group from 0 (`count` ints).
  void AssignValues(const int* values, int count, int status, int* pool);

  int m_start = -1;
  int m_end = -1;
  int m_maxGroup = 0;     // groups 1..m_maxGroup have two ints each in m_groups
  unsigned char m_matched = 0;
  unsigned char m_status = MATCH_COMPLETE;
  bool m_pooled = false;  // m_groups belongs to a pool, not to this record
  int* m_groups = nullptr;
};

// A record does not know its place in the results list: one record can stand in several lists
// (the results, the replace result's segments), and the document keeps the place of the result
// it shows beside it (CKorvaneDoc::LastResultSequence).
struct MatchRecord {
  StoredMatch result;
  float elapsed = -1.0f;  // seconds since the previous result; -1 when not measured
  // Elements entered to find this result since the previous one (CStepCounter::TakeSinceMark),
  // and whether the traced search counted them (every element entry of every attempt) or the
  // direct one (fewer: see step_counts.h).
  unsigned steps : 31;
  unsigned traced : 1;
  MatchRecord() : steps(0), traced(1) {}
};
// Find All keeps one per match: with the results list's handle (16 bytes) and two groups'
// spans in the pool (16), a match costs 64 bytes.
static_assert(sizeof(MatchRecord) <= 32, "a stored match stays 32 bytes");

typedef std::shared_ptr<MatchRecord> MatchHandle;

inline MatchHandle NewMatchRecord() { return std::make_shared<MatchRecord>(); }

// Where Find All puts its records: blocks of records, each with a capture pool, that live as
// long as any handle to one of their records. A handle is an aliasing share of its block, so a
// record costs its own 40 bytes and its groups' spans, nothing more. Not thread-safe: one
// thread adds at a time (the match worker during a job, the UI thread otherwise).
class MatchStore {
 public:
  enum { kRecordsPerBlock = 1024, kMaxPooledGroups = 64 };
  MatchHandle Add(const MatchResult& result);
  MatchHandle Add(const SearchHit& hit);
  // Lets go of the block being filled; records still held elsewhere keep theirs alive.
  void Clear() { m_block.reset(); }

 private:
  struct Block {
    std::unique_ptr<MatchRecord[]> records{new MatchRecord[kRecordsPerBlock]};
    int used = 0;
    std::unique_ptr<int[]> captures;
    int capturesUsed = 0;
    int capturesCapacity = 0;
  };
  MatchHandle Add(const int* values, int count, int status);
  std::shared_ptr<Block> m_block;
};

// Hands memory freed by dropped results back to the system where the allocator keeps it
// (glibc keeps freed small blocks in its heap); does nothing elsewhere.
void ReleaseFreedMemory();

#endif
