// Covered by app/document/files/tests/snapshot_test.cpp.
#include "app/document/files/snapshot.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

CSnapshotTable::CSnapshotTable() : m_buckets(kBuckets) {}

void CSnapshotTable::Insert(std::unique_ptr<Snapshot> record) {
  if (!record) return;
  std::vector<std::unique_ptr<Snapshot>>& bucket = m_buckets[Bucket(record->id)];
  for (std::unique_ptr<Snapshot>& r : bucket)
    if (r->id == record->id) {
      r = std::move(record);
      return;
    }
  bucket.push_back(std::move(record));
  ++m_nCount;
}

Snapshot* CSnapshotTable::Lookup(int id) const {
  for (const std::unique_ptr<Snapshot>& r : m_buckets[Bucket(id)])
    if (r->id == id) return r.get();
  return nullptr;
}

bool CSnapshotTable::Remove(int id) {
  std::vector<std::unique_ptr<Snapshot>>& bucket = m_buckets[Bucket(id)];
  for (size_t i = 0; i < bucket.size(); ++i)
    if (bucket[i]->id == id) {
      bucket.erase(bucket.begin() + i);
      --m_nCount;
      return true;
    }
  return false;
}

void CSnapshotTable::Clear() {
  for (std::vector<std::unique_ptr<Snapshot>>& bucket : m_buckets) bucket.clear();
  m_nCount = 0;
}

void CSnapshotTable::ForEach(const std::function<void(Snapshot&)>& visit) const {
  if (m_nCount == 0) return;
  for (const std::vector<std::unique_ptr<Snapshot>>& bucket : m_buckets)
    for (size_t i = bucket.size(); i-- > 0;) visit(*bucket[i]);
}

void CSnapshotTable::ForEachOldestFirst(const std::function<void(Snapshot&)>& visit) const {
  if (m_nCount == 0) return;
  for (const std::vector<std::unique_ptr<Snapshot>>& bucket : m_buckets)
    for (const std::unique_ptr<Snapshot>& r : bucket) visit(*r);
}

// ---------------------------------------------------------------------------------------------

std::vector<int>* CSnapshotTree::ListHolding(const Snapshot& s) {
  if (s.parentId == 0) return &m_roots;
  Snapshot* parent = m_table.Lookup(s.parentId);
  return parent ? &parent->children : &m_roots;
}

// The highest id plus one. Only a loaded file can have used up the ids (its largest id was
// INT_MAX); then the lowest free id is taken rather than overflowing.
int CSnapshotTree::NextId() const {
  if (m_nHighest < INT_MAX) return m_nHighest + 1;
  for (int id = 1; id < INT_MAX; ++id)
    if (!m_table.Lookup(id)) return id;
  return 0;
}

int CSnapshotTree::Add(const std::vector<unsigned short>& pattern, int flags,
                       const std::vector<unsigned short>& name, std::int64_t created) {
  const int id = NextId();
  if (id <= 0) return 0;
  if (id > m_nHighest) m_nHighest = id;
  Snapshot* parent = m_nCurrent ? m_table.Lookup(m_nCurrent) : nullptr;
  std::unique_ptr<Snapshot> s(new Snapshot);
  s->id = id;
  s->parentId = parent ? parent->id : 0;
  s->created = created;
  s->pattern = pattern;
  s->flags = flags;
  (parent ? parent->children : m_roots).push_back(id);
  m_table.Insert(std::move(s));
  SetName(id, name);
  m_nCurrent = id;
  return id;
}

void CSnapshotTree::SetName(int id, const std::vector<unsigned short>& name) {
  if (Snapshot* s = m_table.Lookup(id)) s->name = name;
}

bool CSnapshotTree::Delete(int id, bool withSubtree) {
  Snapshot* s = m_table.Lookup(id);
  if (!s) return false;
  std::vector<int>* list = ListHolding(*s);
  for (size_t i = list->size(); i-- > 0;)
    if ((*list)[i] == id) {
      list->erase(list->begin() + i);
      break;
    }
  const int parentId = s->parentId;
  if (withSubtree) {
    // Iteratively: a loaded tree can be deeper than the stack would allow for recursion.
    std::vector<int> pending(s->children.rbegin(), s->children.rend());
    while (!pending.empty()) {
      const int child = pending.back();
      pending.pop_back();
      Snapshot* c = m_table.Lookup(child);
      if (!c) continue;
      pending.insert(pending.end(), c->children.rbegin(), c->children.rend());
      if (m_nCurrent == child) m_nCurrent = parentId;
      m_table.Remove(child);
    }
  } else {
    const std::vector<int> children = s->children;
    for (size_t i = children.size(); i-- > 0;) {
      if (Snapshot* c = m_table.Lookup(children[i])) {
        c->parentId = parentId;
        list->push_back(c->id);
      }
    }
  }
  if (m_nCurrent == id) m_nCurrent = parentId;
  m_table.Remove(id);
  return true;
}

bool CSnapshotTree::PatternDiffers(const std::vector<unsigned short>& pattern) const {
  const Snapshot* s = m_nCurrent ? m_table.Lookup(m_nCurrent) : nullptr;
  if (!s) return true;
  return s->pattern != pattern;
}

void CSnapshotTree::Clear() {
  m_table.Clear();
  m_roots.clear();
  m_nCurrent = 0;
  m_nHighest = 0;
}

void CSnapshotTree::LoadRecords(std::vector<std::unique_ptr<Snapshot>>& records, int currentId) {
  Clear();
  // Of two records with one id the later in the file is kept: it is entered first.
  for (size_t i = records.size(); i-- > 0;)
    if (records[i] && !m_table.Lookup(records[i]->id)) m_table.Insert(std::move(records[i]));
  records.clear();
  LinkLoaded(currentId);
}

void CSnapshotTree::LinkLoaded(int currentId) {
  m_roots.clear();
  int highest = 0;
  m_table.ForEach([&](Snapshot& s) {
    s.children.clear();
    if (s.id > highest) highest = s.id;
  });
  m_table.ForEachOldestFirst([&](Snapshot& s) {
    if (s.parentId != 0 && (s.parentId == s.id || !m_table.Lookup(s.parentId))) s.parentId = 0;
    if (s.parentId == 0)
      m_roots.push_back(s.id);
    else
      m_table.Lookup(s.parentId)->children.push_back(s.id);
  });
  // Records on a cycle of parent ids (and everything below them) cannot be reached from the
  // roots. Taking the unreached records in the order above, the parent ids are followed up from
  // each until they come round; the record where they do lies on the cycle and moves to the root
  // with its subtree, which cuts the cycle.
  if (static_cast<int>(m_roots.size()) < m_table.Count()) {
    std::unordered_set<int> reached;
    auto reach = [&](int from) {
      std::vector<int> pending(1, from);
      while (!pending.empty()) {
        const int id = pending.back();
        pending.pop_back();
        if (!reached.insert(id).second) continue;
        const Snapshot* s = m_table.Lookup(id);
        if (s) pending.insert(pending.end(), s->children.begin(), s->children.end());
      }
    };
    for (int root : m_roots) reach(root);
    m_table.ForEachOldestFirst([&](Snapshot& s) {
      if (reached.count(s.id)) return;
      // Every unreached record has a parent in the table (the others went to the root above).
      std::unordered_set<int> path;
      Snapshot* cut = &s;
      while (path.insert(cut->id).second) cut = m_table.Lookup(cut->parentId);
      std::vector<int>& siblings = m_table.Lookup(cut->parentId)->children;
      siblings.erase(std::find(siblings.begin(), siblings.end(), cut->id));
      cut->parentId = 0;
      m_roots.push_back(cut->id);
      reach(cut->id);
    });
  }
  m_nHighest = highest;
  m_nCurrent = (currentId != 0 && m_table.Lookup(currentId)) ? currentId : 0;
}
