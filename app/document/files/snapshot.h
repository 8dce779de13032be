// Snapshots of the pattern: the Snapshot record, the id table that owns the records, and the
// tree over them (roots, children, current snapshot, highest id). Standard library only, so
// that the workspace reader and its fuzz target need nothing else.
//
// Covered by app/document/files/tests/snapshot_test.cpp.
#ifndef KORVANE_SNAPSHOT_H
#define KORVANE_SNAPSHOT_H

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/document/testing/test_cases.h"

struct Snapshot {
  int id = 0;        // 1, 2, 3, ... in order of creation; never 0
  int parentId = 0;  // 0 for a snapshot at the root
  std::int64_t created = 0;  // seconds since 1970-01-01 00:00 UTC
  int flags = 0;             // the match options when the snapshot was taken
  std::vector<unsigned short> pattern;
  std::vector<unsigned short> name;
  std::vector<int> children;  // child ids in the order they were attached
  // The test set current when the snapshot was taken (shared, never changed in place); null
  // for a snapshot without tests.
  std::shared_ptr<const TestSet> tests;
};

// Hash table id -> record with a fixed number of buckets. It owns the records. Its iteration
// order is part of the workspace format: buckets in ascending order, and within a bucket the
// most recently inserted id first.
class CSnapshotTable {
 public:
  static constexpr int kBuckets = 4993;
  static int Bucket(int id) { return static_cast<int>((static_cast<std::uint32_t>(id) >> 4) % kBuckets); }

  CSnapshotTable();
  // Takes the record. A record with the same id replaces the old one, which keeps its place.
  void Insert(std::unique_ptr<Snapshot> record);
  Snapshot* Lookup(int id) const;
  // Frees the record; false when there was none.
  bool Remove(int id);
  void Clear();
  int Count() const { return m_nCount; }
  // Visits every record in the iteration order. `visit` must not insert or remove records.
  void ForEach(const std::function<void(Snapshot&)>& visit) const;
  // Buckets in ascending order, within a bucket the oldest inserted record first.
  void ForEachOldestFirst(const std::function<void(Snapshot&)>& visit) const;

 private:
  // Each bucket lists its records oldest first; iteration walks it from the back.
  std::vector<std::vector<std::unique_ptr<Snapshot>>> m_buckets;
  int m_nCount = 0;
};

// The snapshot tree of a document. Invariant (kept by every operation, and restored by
// LoadRecords after a load): every id in the roots or in a children array is a key of the table,
// each record is listed exactly once, in its parent's children or (parent id 0) in the roots,
// and following parent ids from any record ends at the root: there are no cycles.
class CSnapshotTree {
 public:
  // Creates a snapshot under the current one and makes it current; returns its id.
  int Add(const std::vector<unsigned short>& pattern, int flags, const std::vector<unsigned short>& name,
          std::int64_t created);
  void SetName(int id, const std::vector<unsigned short>& name);
  // Removes the snapshot, and its subtree when asked; without the subtree the children move up
  // to the end of the list that held the snapshot, last child first. False for an unknown id.
  bool Delete(int id, bool withSubtree);
  Snapshot* Lookup(int id) const { return m_table.Lookup(id); }
  // True when there is no current snapshot (or it is gone), or when `pattern` differs from its
  // pattern.
  bool PatternDiffers(const std::vector<unsigned short>& pattern) const;
  void Clear();

  // Loading: takes the records of a file (in file order, which is the iteration order of the
  // table that wrote it), replacing the tree. They are entered last first, so that the table
  // iterates in file order again and saving what was loaded writes the same bytes. Roots and
  // children are then built by visiting the table buckets first, within a bucket in reverse
  // file order (the order in which a table that took the records first to last would list
  // them). A record whose parent is missing goes to the root; each cycle of parent ids is cut
  // by moving one record of it to the root (see the .cpp); the current id becomes 0 when it
  // names no record; the highest id becomes the largest id.
  void LoadRecords(std::vector<std::unique_ptr<Snapshot>>& records, int currentId);

  const CSnapshotTable& Table() const { return m_table; }
  const std::vector<int>& Roots() const { return m_roots; }
  int Current() const { return m_nCurrent; }
  void SetCurrent(int id) { m_nCurrent = id; }
  int HighestId() const { return m_nHighest; }
  int Count() const { return m_table.Count(); }

 private:
  void LinkLoaded(int currentId);
  std::vector<int>* ListHolding(const Snapshot& s);
  int NextId() const;

  CSnapshotTable m_table;
  std::vector<int> m_roots;
  int m_nCurrent = 0;
  int m_nHighest = 0;
};

#endif
