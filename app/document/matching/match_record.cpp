// Stored results and the blocks Find All keeps them in.
#include "app/document/matching/match_record.h"

#include <cstring>

#ifdef __GLIBC__
#include <malloc.h>
#endif

StoredMatch& StoredMatch::operator=(const StoredMatch& other) {
  if (this != &other) {
    Release();
    CopyFrom(other);
  }
  return *this;
}

void StoredMatch::Release() {
  if (!m_pooled) delete[] m_groups;
  m_groups = nullptr;
  m_pooled = false;
  m_maxGroup = 0;
}

// A copy always owns its groups: the pool of the original may go before the copy does.
void StoredMatch::CopyFrom(const StoredMatch& other) {
  m_start = other.m_start;
  m_end = other.m_end;
  m_matched = other.m_matched;
  m_status = other.m_status;
  m_maxGroup = other.m_maxGroup;
  m_pooled = false;
  m_groups = nullptr;
  if (m_maxGroup > 0) {
    m_groups = new int[2 * static_cast<size_t>(m_maxGroup)];
    std::memcpy(m_groups, other.m_groups, sizeof(int) * 2 * static_cast<size_t>(m_maxGroup));
  }
}

void StoredMatch::Assign(const MatchResult& result, int* pool) {
  const int count = result.GetSize();
  AssignValues(result.m_result.Values(), count, result.GetStatus(), pool);
}

void StoredMatch::Assign(const SearchHit& hit, int* pool) {
  AssignValues(hit.values, hit.count, hit.cutShort ? MATCH_NESTING_LIMIT : MATCH_COMPLETE, pool);
}

void StoredMatch::AssignValues(const int* values, int count, int status, int* pool) {
  Release();
  auto at = [values, count](int i) { return i < count ? values[i] : -1; };
  m_matched = count > 0 && values[0] ? 1 : 0;
  m_status = static_cast<unsigned char>(status);
  m_start = at(2);
  m_end = at(3);
  int groups = count > 1 ? values[1] : 0;
  if (groups < 0) groups = 0;
  // Never claim groups the engine's array does not hold.
  const int held = (count - 2) / 2 - 1;
  if (groups > held) groups = held > 0 ? held : 0;
  if (groups == 0) return;
  m_groups = pool ? pool : new int[2 * static_cast<size_t>(groups)];
  m_pooled = pool != nullptr;
  m_maxGroup = groups;
  std::memcpy(m_groups, values + 4, sizeof(int) * 2 * static_cast<size_t>(groups));
}

void StoredMatch::SetSpan(int matched, int start, int end) {
  Release();
  m_matched = matched ? 1 : 0;
  m_status = MATCH_COMPLETE;
  m_start = start;
  m_end = end;
}

MatchHandle MatchStore::Add(const MatchResult& result) {
  const int count = result.GetSize();
  return Add(result.m_result.Values(), count, result.GetStatus());
}

MatchHandle MatchStore::Add(const SearchHit& hit) {
  return Add(hit.values, hit.count, hit.cutShort ? MATCH_NESTING_LIMIT : MATCH_COMPLETE);
}

MatchHandle MatchStore::Add(const int* values, int count, int status) {
  int groups = count > 1 ? values[1] : 0;
  const int held = (count - 2) / 2 - 1;
  if (groups > held) groups = held > 0 ? held : 0;
  if (groups < 0 || groups > kMaxPooledGroups) groups = 0;  // kept in the record's own array
  const int need = 2 * groups;
  if (!m_block || m_block->used == kRecordsPerBlock ||
      (need > 0 && m_block->capturesCapacity - m_block->capturesUsed < need && m_block->capturesCapacity > 0)) {
    m_block = std::make_shared<Block>();
  }
  Block& b = *m_block;
  if (need > 0 && b.capturesCapacity == 0) {
    // A search's results all have the same number of groups: size the pool for a full block.
    b.capturesCapacity = need * (kRecordsPerBlock - b.used);
    b.captures.reset(new int[static_cast<size_t>(b.capturesCapacity)]);
  }
  MatchRecord* record = &b.records[b.used++];
  int* pool = nullptr;
  if (need > 0 && b.capturesCapacity - b.capturesUsed >= need) {
    pool = b.captures.get() + b.capturesUsed;
    b.capturesUsed += need;
  }
  record->result.AssignValues(values, count, status, pool);
  return MatchHandle(m_block, record);
}

void ReleaseFreedMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}
