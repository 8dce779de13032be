// The snapshot table's buckets and iteration order, and the tree operations: adding under the
// current snapshot, deleting with and without the subtree, the current snapshot after a delete,
// pattern comparison, and linking loaded records (missing parents, cycles, the highest id).
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "app/document/files/snapshot.h"

namespace {

std::vector<unsigned short> U(const std::string& s) { return std::vector<unsigned short>(s.begin(), s.end()); }

std::vector<int> Order(const CSnapshotTable& t) {
  std::vector<int> ids;
  t.ForEach([&ids](Snapshot& s) { ids.push_back(s.id); });
  return ids;
}

std::unique_ptr<Snapshot> Record(int id, int parent) {
  std::unique_ptr<Snapshot> s(new Snapshot);
  s->id = id;
  s->parentId = parent;
  return s;
}

// "id(children) ..." for the whole tree from the roots, depth first.
std::string Dump(const CSnapshotTree& tree, const std::vector<int>& ids) {
  std::string out;
  for (int id : ids) {
    if (!out.empty()) out += ' ';
    out += std::to_string(id);
    const Snapshot* s = tree.Lookup(id);
    if (s && !s->children.empty()) out += "(" + Dump(tree, s->children) + ")";
  }
  return out;
}
std::string Dump(const CSnapshotTree& tree) { return Dump(tree, tree.Roots()); }

TEST(SnapshotTable, BucketIsIdShiftedByFourModuloThePrime) {
  EXPECT_EQ(0, CSnapshotTable::Bucket(1));
  EXPECT_EQ(0, CSnapshotTable::Bucket(15));
  EXPECT_EQ(1, CSnapshotTable::Bucket(16));
  EXPECT_EQ(0, CSnapshotTable::Bucket(4993 * 16));
  // Ids from a file can be anything; the bucket never goes negative.
  EXPECT_EQ(static_cast<int>((0xFFFFFFFFu >> 4) % 4993), CSnapshotTable::Bucket(-1));
  EXPECT_EQ(static_cast<int>((0x7FFFFFFFu >> 4) % 4993), CSnapshotTable::Bucket(INT_MAX));
}

TEST(SnapshotTable, IteratesBucketsAscendingNewestFirstWithinABucket) {
  CSnapshotTable t;
  for (int id : {1, 2, 16, 3, 17, 4993 * 16, 33}) t.Insert(Record(id, 0));
  // Bucket 0: 1, 2, 3, 79888 inserted in that order; bucket 1: 16, 17; bucket 2: 33.
  EXPECT_EQ((std::vector<int>{4993 * 16, 3, 2, 1, 17, 16, 33}), Order(t));
  EXPECT_EQ(7, t.Count());
  EXPECT_TRUE(t.Remove(2));
  EXPECT_FALSE(t.Remove(2));
  EXPECT_EQ((std::vector<int>{4993 * 16, 3, 1, 17, 16, 33}), Order(t));
  EXPECT_EQ(nullptr, t.Lookup(2));
  ASSERT_NE(nullptr, t.Lookup(17));
  // Replacing an id keeps its place and the count.
  std::unique_ptr<Snapshot> again = Record(3, 0);
  again->name = U("new");
  t.Insert(std::move(again));
  EXPECT_EQ(6, t.Count());
  EXPECT_EQ((std::vector<int>{4993 * 16, 3, 1, 17, 16, 33}), Order(t));
  EXPECT_EQ(U("new"), t.Lookup(3)->name);
}

class SnapshotTreeTest : public ::testing::Test {
 protected:
  int Add(const std::string& pattern) { return tree.Add(U(pattern), 0x08, U("n" + pattern), 1000); }
  CSnapshotTree tree;
};

TEST_F(SnapshotTreeTest, AddGoesUnderTheCurrentSnapshotAndBecomesCurrent) {
  EXPECT_EQ(1, Add("a"));
  EXPECT_EQ(1, tree.Current());
  EXPECT_EQ(2, Add("b"));
  EXPECT_EQ(3, Add("c"));
  tree.SetCurrent(1);
  EXPECT_EQ(4, Add("d"));
  EXPECT_EQ("1(2(3) 4)", Dump(tree));
  const Snapshot* s = tree.Lookup(4);
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(1, s->parentId);
  EXPECT_EQ(0x08, s->flags);
  EXPECT_EQ(1000, s->created);
  EXPECT_EQ(U("d"), s->pattern);
  EXPECT_EQ(U("nd"), s->name);
  EXPECT_EQ(4, tree.HighestId());
}

TEST_F(SnapshotTreeTest, DeleteWithoutSubtreeMovesChildrenUpInReverseOrder) {
  Add("1");                                 // 1
  Add("2");                                 // 2 under 1
  for (const char* p : {"3", "4", "5"}) {   // 3, 4, 5 under 2
    tree.SetCurrent(2);
    Add(p);
  }
  tree.SetCurrent(1);
  Add("6");  // 6 under 1, after 2
  ASSERT_EQ("1(2(3 4 5) 6)", Dump(tree));
  tree.SetCurrent(2);
  EXPECT_TRUE(tree.Delete(2, false));
  EXPECT_EQ("1(6 5 4 3)", Dump(tree));
  EXPECT_EQ(1, tree.Lookup(5)->parentId);
  EXPECT_EQ(1, tree.Current());  // the deleted snapshot's parent
  EXPECT_EQ(nullptr, tree.Lookup(2));
}

TEST_F(SnapshotTreeTest, DeleteARootWithoutSubtreeMovesChildrenToTheRoots) {
  Add("1");
  Add("2");
  tree.SetCurrent(1);
  Add("3");
  tree.SetCurrent(0);
  Add("4");
  ASSERT_EQ("1(2 3) 4", Dump(tree));
  tree.SetCurrent(1);
  tree.Delete(1, false);
  EXPECT_EQ("4 3 2", Dump(tree));
  EXPECT_EQ(0, tree.Lookup(3)->parentId);
  EXPECT_EQ(0, tree.Current());
  EXPECT_TRUE(tree.PatternDiffers(U("anything")));
}

TEST_F(SnapshotTreeTest, DeleteWithSubtreeFreesEverythingBelow) {
  Add("1");
  Add("2");
  Add("3");
  tree.SetCurrent(1);
  Add("4");
  tree.SetCurrent(3);  // current inside the deleted subtree
  EXPECT_TRUE(tree.Delete(2, true));
  EXPECT_EQ("1(4)", Dump(tree));
  EXPECT_EQ(2, tree.Count());
  EXPECT_EQ(1, tree.Current());
  EXPECT_FALSE(tree.Delete(3, true));
  // Ids are not reused after a delete.
  EXPECT_EQ(5, Add("5"));
}

TEST_F(SnapshotTreeTest, DeepSubtreeDeletesWithoutRecursion) {
  for (int i = 0; i < 200000; ++i) Add("x");
  EXPECT_TRUE(tree.Delete(1, true));
  EXPECT_EQ(0, tree.Count());
  EXPECT_TRUE(tree.Roots().empty());
  EXPECT_EQ(0, tree.Current());
}

TEST_F(SnapshotTreeTest, PatternDiffersComparesUnitsAndLength) {
  EXPECT_TRUE(tree.PatternDiffers(U("abc")));  // no current snapshot
  Add("abc");
  EXPECT_FALSE(tree.PatternDiffers(U("abc")));
  EXPECT_TRUE(tree.PatternDiffers(U("ab")));    // a proper prefix
  EXPECT_TRUE(tree.PatternDiffers(U("abcd")));
  EXPECT_TRUE(tree.PatternDiffers(U("abd")));
  tree.SetCurrent(99);  // gone
  EXPECT_TRUE(tree.PatternDiffers(U("abc")));
}

TEST_F(SnapshotTreeTest, ClearEmptiesEverythingAndRestartsIds) {
  Add("a");
  Add("b");
  tree.Clear();
  EXPECT_EQ(0, tree.Count());
  EXPECT_EQ(0, tree.Current());
  EXPECT_EQ(0, tree.HighestId());
  EXPECT_TRUE(tree.Roots().empty());
  EXPECT_EQ(1, Add("c"));
}

struct LinkCase {
  const char* name;
  std::vector<std::pair<int, int>> records;  // id, parent id, in file order
  int current;
  const char* tree;
  int currentAfter;
  int highest;
};

class SnapshotLinkTest : public ::testing::TestWithParam<LinkCase> {};

TEST_P(SnapshotLinkTest, LinksLoadedRecords) {
  const LinkCase& c = GetParam();
  CSnapshotTree tree;
  std::vector<std::unique_ptr<Snapshot>> records;
  for (const auto& r : c.records) records.push_back(Record(r.first, r.second));
  tree.LoadRecords(records, c.current);
  EXPECT_EQ(c.tree, Dump(tree));
  EXPECT_EQ(c.currentAfter, tree.Current());
  EXPECT_EQ(c.highest, tree.HighestId());
  // The invariant: every record is reachable exactly once and its parent id names its holder.
  int seen = 0;
  std::vector<int> pending = tree.Roots();
  for (int id : pending) EXPECT_EQ(0, tree.Lookup(id)->parentId);
  while (!pending.empty()) {
    const int id = pending.back();
    pending.pop_back();
    ++seen;
    for (int child : tree.Lookup(id)->children) {
      EXPECT_EQ(id, tree.Lookup(child)->parentId);
      pending.push_back(child);
    }
  }
  EXPECT_EQ(tree.Count(), seen);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SnapshotLinkTest,
    ::testing::Values(
        // Children are attached in the table's iteration order, not the file's order.
        LinkCase{"IterationOrder", {{1, 0}, {2, 1}, {3, 1}, {17, 1}}, 3, "1(3 2 17)", 3, 17},
        LinkCase{"MissingParentGoesToRoot", {{1, 0}, {5, 9}, {6, 5}}, 0, "5(6) 1", 0, 6},
        LinkCase{"SelfParent", {{4, 4}}, 4, "4", 4, 4},
        LinkCase{"TwoCycle", {{1, 2}, {2, 1}}, 0, "2(1)", 0, 2},
        LinkCase{"CycleWithTail", {{1, 3}, {2, 1}, {3, 2}, {4, 2}, {5, 0}}, 0, "5 2(4 3(1))", 0, 5},
        LinkCase{"CurrentMissing", {{1, 0}}, 7, "1", 0, 1},
        LinkCase{"LargestIdWins", {{100, 0}, {3, 100}}, 100, "100(3)", 100, 100}),
    [](const ::testing::TestParamInfo<LinkCase>& i) { return std::string(i.param.name); });

TEST(SnapshotTree, LoadingKeepsTheTableOrderAndTheChildrenOfAFreshTree) {
  // Made in the program: 1..20 at the root, so ids in two buckets.
  CSnapshotTree made;
  for (int i = 1; i <= 20; ++i) {
    made.SetCurrent(0);
    made.Add(U("p"), 0, U("n"), 0);
  }
  std::vector<std::unique_ptr<Snapshot>> file;  // what a workspace holds: iteration order
  made.Table().ForEach([&file](Snapshot& s) {
    std::unique_ptr<Snapshot> copy(new Snapshot(s));
    copy->children.clear();
    file.push_back(std::move(copy));
  });
  const std::vector<int> written = Order(made.Table());
  for (int round = 0; round < 3; ++round) {
    CSnapshotTree loaded;
    loaded.LoadRecords(file, made.Current());
    EXPECT_EQ(written, Order(loaded.Table())) << "round " << round;
    EXPECT_EQ(made.Roots(), loaded.Roots()) << "round " << round;
    loaded.Table().ForEach([&file](Snapshot& s) { file.push_back(std::unique_ptr<Snapshot>(new Snapshot(s))); });
  }
}

TEST(SnapshotTree, OfTwoLoadedRecordsWithOneIdTheLaterIsKept) {
  std::vector<std::unique_ptr<Snapshot>> records;
  records.push_back(Record(3, 0));
  records.push_back(Record(3, 0));
  records.back()->name = U("later");
  CSnapshotTree tree;
  tree.LoadRecords(records, 3);
  ASSERT_EQ(1, tree.Count());
  EXPECT_EQ(U("later"), tree.Lookup(3)->name);
  EXPECT_EQ(std::vector<int>{3}, tree.Roots());
}

TEST(SnapshotTree, AfterTheLargestPossibleIdTheLowestFreeIdIsTaken) {
  CSnapshotTree tree;
  std::vector<std::unique_ptr<Snapshot>> records;
  records.push_back(Record(INT_MAX, 0));
  records.push_back(Record(1, 0));
  tree.LoadRecords(records, INT_MAX);
  EXPECT_EQ(2, tree.Add(U("p"), 0, U("n"), 0));
  EXPECT_EQ(INT_MAX, tree.Lookup(2)->parentId);
  EXPECT_EQ(INT_MAX, tree.HighestId());
}

}  // namespace
