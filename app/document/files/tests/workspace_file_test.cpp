// The workspace file format on bytes: golden bytes written and read back (this version and 2),
// version 1, version 2 and versions above 3, and hostile input (every truncation, huge and negative counts,
// odd field values), with a watch on the largest allocation the reader makes.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include "app/document/files/workspace_file.h"

// The largest single allocation while g_watch is set, so that the tests can show the reader
// never allocates more than the file could hold.
namespace {
std::atomic<bool> g_watch{false};
std::atomic<size_t> g_largest{0};
}  // namespace

// Every form of new that the deletes below may free is replaced, so that no block taken from the
// library's (or a sanitizer's) allocator is given to free(): std::stable_sort, for one, takes its
// buffer with the nothrow form.
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  if (g_watch.load(std::memory_order_relaxed) && size > g_largest.load(std::memory_order_relaxed))
    g_largest.store(size, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
void* operator new(size_t size) {
  if (void* p = operator new(size, std::nothrow)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

std::vector<unsigned short> U(const std::string& s) { return std::vector<unsigned short>(s.begin(), s.end()); }

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string Bytes(const std::string& hex) {
  std::string out;
  std::string clean;
  for (char c : hex)
    if (c != ' ') clean += c;
  for (size_t i = 0; i + 1 < clean.size(); i += 2) out += static_cast<char>(std::stoi(clean.substr(i, 2), nullptr, 16));
  return out;
}

EWorkspaceError Read(const std::string& bytes, WorkspaceData* out) {
  return CWorkspaceFile::Read(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out);
}

// A workspace with every field set, two snapshots (2 under 1), current 2.
struct Golden {
  Golden() {
    data.mode = 2;
    data.flags = 0x0A;
    data.pattern = {'a', 0x4E2D};
    data.replaceTo = U("x");
    tree.Add(U(""), 0, {'n', 0}, -1);  // id 1 at the root; a NUL in its name
    tree.Add(U("b"), 0x08, U(""), 0x01020304);
  }
  WorkspaceData data;
  CSnapshotTree tree;
};

// The golden workspace as an older version (2) wrote it: no tests.
#define KV_GOLDEN_BODY                                                                   \
  "02000000 CDCC4C3E 0000003F 0A000000" /* mode, shares 0.2 and 0.5, flags */           \
  "02000000 6100 2D4E"                  /* pattern "a" U+4E2D */                        \
  "00000000"                            /* empty subject */                             \
  "01000000 7800"                       /* replace-to "x" */                            \
  "02000000 02000000"                   /* current snapshot 2, two records */           \
  /* Both ids are in bucket 0; the newer one comes first. */                             \
  "02000000 01000000 08000000 04030201 01000000 6200 00000000"                           \
  "01000000 00000000 00000000 FFFFFFFF 00000000 02000000 6E00 0000"
const char* const kGoldenHex = "02000000 " KV_GOLDEN_BODY;
// The same as this version writes it: no shared texts, no tests, no snapshot test sets, and the
// document options word (no option set).
const char* const kGoldenV3Hex = "03000000 " KV_GOLDEN_BODY "00000000 00000000 00000000 00000000";

TEST(WorkspaceFile, WritesTheGoldenBytes) {
  Golden g;
  EXPECT_EQ(Hex(Bytes(kGoldenV3Hex)), Hex(CWorkspaceFile::Write(g.data, g.tree)));
}

TEST(WorkspaceFile, ReadsTheCurrentGoldenBytes) {
  WorkspaceData d;
  ASSERT_EQ(EWorkspaceError::None, Read(Bytes(kGoldenV3Hex), &d));
  EXPECT_EQ(3, d.version);
  ASSERT_EQ(2u, d.snapshots.size());
  ASSERT_TRUE(d.tests);
  EXPECT_TRUE(d.tests->empty());
  EXPECT_FALSE(d.snapshots[0]->tests);
}

TEST(WorkspaceFile, ReadsTheGoldenBytesBack) {
  WorkspaceData d;
  ASSERT_EQ(EWorkspaceError::None, Read(Bytes(kGoldenHex), &d));
  EXPECT_EQ(2, d.version);
  EXPECT_EQ(2, d.mode);
  EXPECT_EQ(0.2f, d.patternShare);
  EXPECT_EQ(0.5f, d.textShare);
  EXPECT_EQ(0x0A, d.flags);
  EXPECT_EQ((std::vector<unsigned short>{'a', 0x4E2D}), d.pattern);
  EXPECT_TRUE(d.subject.empty());
  EXPECT_EQ(U("x"), d.replaceTo);
  EXPECT_EQ(2, d.currentSnapshot);
  ASSERT_EQ(2u, d.snapshots.size());
  const Snapshot& a = *d.snapshots[0];
  EXPECT_EQ(2, a.id);
  EXPECT_EQ(1, a.parentId);
  EXPECT_EQ(0x08, a.flags);
  EXPECT_EQ(0x01020304, a.created);
  EXPECT_EQ(U("b"), a.pattern);
  EXPECT_TRUE(a.name.empty());
  const Snapshot& b = *d.snapshots[1];
  EXPECT_EQ(1, b.id);
  EXPECT_EQ(0, b.parentId);
  EXPECT_EQ(-1, b.created);
  EXPECT_EQ((std::vector<unsigned short>{'n', 0}), b.name);
}

TEST(WorkspaceFile, EmptyTextsHaveZeroCounts) {
  WorkspaceData d;
  CSnapshotTree none;
  EXPECT_EQ(Hex(Bytes("03000000 01000000 CDCC4C3E 0000003F 00000000 00000000 00000000 00000000 "
                      "00000000 00000000 00000000 00000000 00000000 00000000")),
            Hex(CWorkspaceFile::Write(d, none)));
}

TEST(WorkspaceFile, VersionOneEndsAfterTheReplaceToText) {
  // Version 1, then bytes that would be a snapshot section: they are not read.
  const std::string file = Bytes("01000000 03000000 0000803E 0000403F 01000000 01000000 6100 00000000 00000000"
                                 "07000000 FFFFFFFF");
  WorkspaceData d;
  ASSERT_EQ(EWorkspaceError::None, Read(file, &d));
  EXPECT_EQ(1, d.version);
  EXPECT_EQ(3, d.mode);
  EXPECT_EQ(0.25f, d.patternShare);
  EXPECT_EQ(0.75f, d.textShare);
  EXPECT_EQ(U("a"), d.pattern);
  EXPECT_EQ(0, d.currentSnapshot);
  EXPECT_TRUE(d.snapshots.empty());
}

TEST(WorkspaceFile, VersionsAboveThreeReadAsThreeAndBelowOneAsOne) {
  std::string current = Bytes(kGoldenV3Hex);
  for (unsigned char v : {4, 200}) {
    current[0] = static_cast<char>(v);
    WorkspaceData d;
    ASSERT_EQ(EWorkspaceError::None, Read(current, &d)) << int(v);
    EXPECT_EQ(3, d.version);
    EXPECT_EQ(2u, d.snapshots.size());
  }
  // A version-2 file read as it was written: with snapshots, without tests.
  std::string file = Bytes(kGoldenHex);
  {
    WorkspaceData d;
    ASSERT_EQ(EWorkspaceError::None, Read(file, &d));
    EXPECT_EQ(2, d.version);
    EXPECT_EQ(2u, d.snapshots.size());
    ASSERT_TRUE(d.tests);
    EXPECT_TRUE(d.tests->empty());
  }
  for (const char* v : {"00000000", "FFFFFFFF"}) {
    std::string old = Bytes(v) + file.substr(4);
    WorkspaceData d;
    ASSERT_EQ(EWorkspaceError::None, Read(old, &d)) << v;
    EXPECT_EQ(1, d.version);
    EXPECT_TRUE(d.snapshots.empty());
  }
}

TEST(WorkspaceFile, EveryTruncationFailsWithoutReadingPastTheEnd) {
  const std::string file = Bytes(kGoldenHex);
  for (size_t n = 0; n < file.size(); ++n) {
    // A copy of exactly n bytes, so that a read past the end is a heap overflow (seen by ASan).
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[n ? n : 1]);
    std::copy(file.begin(), file.begin() + n, bytes.get());
    WorkspaceData d;
    EXPECT_EQ(EWorkspaceError::Truncated, CWorkspaceFile::Read(bytes.get(), n, &d)) << "length " << n;
  }
}

// A version-3 workspace with empty texts and no snapshots, up to its test block.
#define KV_V3_EMPTY \
  "03000000 01000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000 "
// The rest of one test after its subject index: own options, options, expectation, compare
// groups, no matches, replaced text 0, no pieces; then no snapshot sets.
#define KV_TEST_TAIL_AFTER_SUBJECT " 00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000"

struct HostileCase {
  const char* name;
  const char* hex;
  EWorkspaceError expected;
};

class WorkspaceHostileTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(WorkspaceHostileTest, FailsWithoutAllocatingMoreThanTheFile) {
  const std::string file = Bytes(GetParam().hex);
  WorkspaceData d;
  g_largest = 0;
  g_watch = true;
  const EWorkspaceError e = Read(file, &d);
  g_watch = false;
  EXPECT_EQ(GetParam().expected, e);
  EXPECT_LE(g_largest.load(), 64 + 4 * file.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorkspaceHostileTest,
    ::testing::Values(
        HostileCase{"HugePatternCount", "02000000 01000000 00000000 00000000 00000000 FFFFFF7F 6100",
                    EWorkspaceError::Truncated},
        HostileCase{"NegativePatternCount", "02000000 01000000 00000000 00000000 00000000 FFFFFFFF 6100",
                    EWorkspaceError::BadCount},
        HostileCase{"CountOneUnitTooLong", "02000000 01000000 00000000 00000000 00000000 02000000 6100",
                    EWorkspaceError::Truncated},
        HostileCase{"HugeSubjectCount",
                    "02000000 01000000 00000000 00000000 00000000 00000000 00000040 00000000",
                    EWorkspaceError::Truncated},
        HostileCase{"HugeRecordCount",
                    "02000000 01000000 00000000 00000000 00000000 00000000 00000000 00000000 "
                    "00000000 FFFFFF7F 01000000 00000000 00000000 00000000 00000000 00000000",
                    EWorkspaceError::Truncated},
        HostileCase{"NegativeRecordCount",
                    "02000000 01000000 00000000 00000000 00000000 00000000 00000000 00000000 "
                    "00000000 00000080",
                    EWorkspaceError::BadCount},
        // Version 3: the test block after an empty workspace without snapshots.
        HostileCase{"HugeTextCount", KV_V3_EMPTY "FFFFFF7F 00000000", EWorkspaceError::Truncated},
        HostileCase{"NegativeTextCount", KV_V3_EMPTY "FEFFFFFF 00000000", EWorkspaceError::BadCount},
        HostileCase{"HugeTestCount", KV_V3_EMPTY "00000000 FFFFFF7F 00000000 00000000", EWorkspaceError::Truncated},
        HostileCase{"NegativeTestCount", KV_V3_EMPTY "00000000 FFFFFFFF 00000000", EWorkspaceError::BadCount},
        HostileCase{"TextIndexOutOfRange",
                    KV_V3_EMPTY "01000000 00000000 01000000 00000000 01000000" KV_TEST_TAIL_AFTER_SUBJECT,
                    EWorkspaceError::BadCount},
        HostileCase{"NegativeTextIndex",
                    KV_V3_EMPTY "01000000 00000000 01000000 00000000 FFFFFFFF" KV_TEST_TAIL_AFTER_SUBJECT,
                    EWorkspaceError::BadCount},
        HostileCase{"HugeMatchCount",
                    KV_V3_EMPTY "01000000 00000000 01000000 00000000 00000000 00000000 00000000 03000000 "
                                "00000000 FFFFFF7F 00000000 00000000 00000000",
                    EWorkspaceError::Truncated},
        HostileCase{"HugeGroupCount",
                    KV_V3_EMPTY "01000000 00000000 01000000 00000000 00000000 00000000 00000000 03000000 "
                                "01000000 01000000 00000000 00000000 FFFFFF7F 00000000 00000000",
                    EWorkspaceError::Truncated},
        HostileCase{"HugePieceCount",
                    KV_V3_EMPTY "01000000 00000000 01000000 00000000 00000000 00000000 00000000 05000000 "
                                "00000000 00000000 00000000 FFFFFF7F 00000000",
                    EWorkspaceError::Truncated},
        HostileCase{"HugeSnapshotSetCount", KV_V3_EMPTY "00000000 00000000 FFFFFF7F 00000000",
                    EWorkspaceError::Truncated},
        HostileCase{"RecordNameCountTooLong",
                    "02000000 01000000 00000000 00000000 00000000 00000000 00000000 00000000 "
                    "00000000 01000000 01000000 00000000 00000000 00000000 00000000 10000000 6100",
                    EWorkspaceError::Truncated}),
    [](const ::testing::TestParamInfo<HostileCase>& i) { return std::string(i.param.name); });

TEST(WorkspaceFile, OddFieldValuesGetDefinedReadings) {
  // Mode 9, a NaN and a negative share, flag bits beyond the options, records with ids 0 and
  // -5 (skipped), a negative parent (root), an unpaired surrogate kept as it is, trailing bytes.
  const std::string file = Bytes(
      "02000000 09000000 0000C07F 000080BF FF000000 01000000 00D8 00000000 00000000"
      "03000000 04000000"
      "00000000 00000000 00000000 00000000 00000000 00000000"
      "FBFFFFFF 00000000 00000000 00000000 00000000 00000000"
      "03000000 FEFFFFFF FFFFFFFF 00000000 00000000 00000000"
      "03000000 00000000 01000000 00000000 01000000 7A00 00000000"
      "DEADBEEF");
  WorkspaceData d;
  ASSERT_EQ(EWorkspaceError::None, Read(file, &d));
  EXPECT_EQ(1, d.mode);
  EXPECT_EQ(0.2f, d.patternShare);
  EXPECT_EQ(0.5f, d.textShare);
  EXPECT_EQ(0x3F, d.flags);
  EXPECT_EQ((std::vector<unsigned short>{0xD800}), d.pattern);
  // Both records with id 3 are read; entered into a table, the later one replaces the earlier.
  ASSERT_EQ(2u, d.snapshots.size());
  EXPECT_EQ(0, d.snapshots[0]->parentId);
  EXPECT_EQ(0x3F, d.snapshots[0]->flags);
  CSnapshotTree tree;
  tree.LoadRecords(d.snapshots, d.currentSnapshot);
  ASSERT_EQ(1, tree.Count());
  EXPECT_EQ(U("z"), tree.Lookup(3)->pattern);
  EXPECT_EQ(3, tree.Current());
}

TEST(WorkspaceFile, TimesBeyondThirtyTwoBitsAreClamped) {
  WorkspaceData d;
  CSnapshotTree tree;
  tree.Add(U("p"), 0, U("n"), std::int64_t(1) << 40);
  const std::string bytes = CWorkspaceFile::Write(d, tree);
  WorkspaceData back;
  ASSERT_EQ(EWorkspaceError::None, Read(bytes, &back));
  ASSERT_EQ(1u, back.snapshots.size());
  EXPECT_EQ(std::numeric_limits<std::int32_t>::max(), back.snapshots[0]->created);
}

// A workspace whose tests use every field: two texts shared by the workspace's tests and a
// snapshot's, a match list with groups, own options, a replaced text, split pieces.
// `testPartStart` receives where the test part begins.
std::string WorkspaceWithTests(size_t* testPartStart) {
  WorkspaceData d;
  d.pattern = U("(a)(b)?");
  auto tests = std::make_shared<TestSet>();
  TestCase list;
  list.name = U("list");
  list.SetSubject(U("ab a"));
  list.expectation = EXPECT_MATCH_LIST;
  list.withGroups = true;
  list.ownOptions = true;
  list.flags = 0x08;
  list.matches = {TestMatch{0, 2, {U("a"), U("b")}}, TestMatch{3, 4, {U("a"), U("")}}};
  tests->push_back(list);
  TestCase replaced;
  replaced.name = U("replaced");
  replaced.SetSubject(U("xyz"));
  replaced.expectation = EXPECT_REPLACED;
  replaced.SetReplaced(U("XYZ"));
  tests->push_back(replaced);
  TestCase split = replaced;
  split.name = U("split");
  split.expectation = EXPECT_SPLIT;
  split.pieces = {U("x"), U(""), U("z")};
  tests->push_back(split);
  d.tests = tests;
  CSnapshotTree tree;
  tree.Add(U("a"), 0, U("s"), 0);
  tree.Lookup(1)->tests = std::make_shared<const TestSet>(TestSet{split, list});
  const std::string withTests = CWorkspaceFile::Write(d, tree);
  WorkspaceData none;
  none.pattern = d.pattern;
  CSnapshotTree bare;
  bare.Add(U("a"), 0, U("s"), 0);
  // Before its three empty counts and the document options word.
  *testPartStart = CWorkspaceFile::Write(none, bare).size() - 4 * 4;
  return withTests;
}

TEST(WorkspaceFileTests, TestsOfTheWorkspaceAndSnapshotsRoundTrip) {
  size_t start = 0;
  const std::string bytes = WorkspaceWithTests(&start);
  WorkspaceData d;
  ASSERT_EQ(EWorkspaceError::None, Read(bytes, &d));
  ASSERT_TRUE(d.tests);
  ASSERT_EQ(3u, d.tests->size());
  const TestCase& list = (*d.tests)[0];
  EXPECT_EQ(EXPECT_MATCH_LIST, list.expectation);
  EXPECT_TRUE(list.withGroups);
  EXPECT_TRUE(list.ownOptions);
  EXPECT_EQ(0x08, list.flags);
  ASSERT_EQ(2u, list.matches.size());
  EXPECT_EQ((std::vector<TestText>{U("a"), U("")}), list.matches[1].groups);
  EXPECT_EQ(U("XYZ"), (*d.tests)[1].Replaced());
  EXPECT_EQ((std::vector<TestText>{U("x"), U(""), U("z")}), (*d.tests)[2].pieces);
  // Texts written once come back shared.
  EXPECT_EQ((*d.tests)[1].SharedSubject().get(), (*d.tests)[2].SharedSubject().get());
  ASSERT_EQ(1u, d.snapshots.size());
  ASSERT_TRUE(d.snapshots[0]->tests);
  ASSERT_EQ(2u, d.snapshots[0]->tests->size());
  EXPECT_TRUE((*d.snapshots[0]->tests)[1] == list);
  EXPECT_EQ((*d.tests)[0].SharedSubject().get(), (*d.snapshots[0]->tests)[1].SharedSubject().get());

  CSnapshotTree tree;
  tree.LoadRecords(d.snapshots, d.currentSnapshot);
  EXPECT_EQ(Hex(bytes), Hex(CWorkspaceFile::Write(d, tree)));
}

TEST(WorkspaceFileTests, EveryTruncationOfTheTestPartFailsWithoutReadingPastTheEnd) {
  size_t start = 0;
  const std::string file = WorkspaceWithTests(&start);
  ASSERT_LT(start + 100, file.size());
  // Up to the document options word, which is optional after the tests.
  for (size_t n = start; n < file.size() - 4; ++n) {
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[n ? n : 1]);
    std::copy(file.begin(), file.begin() + n, bytes.get());
    WorkspaceData d;
    EXPECT_EQ(EWorkspaceError::Truncated, CWorkspaceFile::Read(bytes.get(), n, &d)) << "length " << n;
  }
}

TEST(WorkspaceFileTests, UnknownValuesAreKeptOrMaskedAndSetsOfUnknownSnapshotsDropped) {
  const std::string file = Bytes(KV_V3_EMPTY
                                 "01000000 01000000 7800"                // one text "x"
                                 "01000000 00000000 00000000"            // one test, empty name, subject 0
                                 "05000000 FFFFFFFF 63000000 02000000"   // own 5, all flags, kind 99, groups 2
                                 "00000000 00000000 00000000"            // no matches, replaced 0, no pieces
                                 "01000000 2A000000 00000000");          // a set for snapshot 42: no record
  WorkspaceData d;
  ASSERT_EQ(EWorkspaceError::None, Read(file, &d));
  ASSERT_EQ(1u, d.tests->size());
  const TestCase& t = (*d.tests)[0];
  EXPECT_TRUE(t.ownOptions);
  EXPECT_EQ(CWorkspaceFile::kFlagMask, t.flags);
  EXPECT_EQ(99, t.expectation);
  EXPECT_TRUE(t.withGroups);
  EXPECT_EQ(U("x"), t.Subject());
  EXPECT_EQ(U("x"), t.Replaced());
  EXPECT_TRUE(d.snapshots.empty());
}

// ---------------------------------------------------------------------------------------------
// The test settings section and where a damaged file is damaged

TEST(WorkspaceFileSettings, TheTimeLimitIsWrittenAfterEverythingOlderReadersKnow) {
  Golden g;
  const std::string plain = CWorkspaceFile::Write(g.data, g.tree);
  EXPECT_EQ(Hex(Bytes(kGoldenV3Hex)), Hex(plain)) << "the default limit writes no section";
  g.data.testTimeLimitMs = 5000;
  const std::string withLimit = CWorkspaceFile::Write(g.data, g.tree);
  EXPECT_EQ(Hex(Bytes(kGoldenV3Hex)) + "544C494D" "04000000" "88130000", Hex(withLimit));
  WorkspaceData d;
  ASSERT_EQ(EWorkspaceError::None, Read(withLimit, &d));
  EXPECT_EQ(5000, d.testTimeLimitMs);
  ASSERT_EQ(EWorkspaceError::None, Read(plain, &d));
  EXPECT_EQ(kDefaultTestTimeLimitMs, d.testTimeLimitMs);

  // With breakpoints, their section stays right after the options word, where a reader that
  // knows nothing of the time limit looks for it; the limit follows as bytes it ignores.
  g.data.breakpoints = {WorkspaceBreakpoint{0, 1, 2, 3}};
  const std::string both = CWorkspaceFile::Write(g.data, g.tree);
  g.data.testTimeLimitMs = kDefaultTestTimeLimitMs;
  const std::string breakpointsOnly = CWorkspaceFile::Write(g.data, g.tree);
  EXPECT_EQ(Hex(breakpointsOnly) + "544C494D" "04000000" "88130000", Hex(both));
  ASSERT_EQ(EWorkspaceError::None, Read(both, &d));
  EXPECT_EQ(5000, d.testTimeLimitMs);
  ASSERT_EQ(1u, d.breakpoints.size());
  EXPECT_TRUE(d.breakpoints[0] == (WorkspaceBreakpoint{0, 1, 2, 3}));
}

TEST(WorkspaceFileSettings, SectionsAfterTheOptionsWordGetDefinedReadings) {
  struct Row {
    const char* what;
    const char* hex;  // after the golden file's options word
    EWorkspaceError error;
    int limit;
    size_t breakpoints;
  } rows[] = {
      {"no section", "", EWorkspaceError::None, 500, 0},
      {"a limit", "544C494D 04000000 E8030000", EWorkspaceError::None, 1000, 0},
      {"zero is raised to 1 ms", "544C494D 04000000 00000000", EWorkspaceError::None, 1, 0},
      {"negative is raised to 1 ms", "544C494D 04000000 FFFFFFFF", EWorkspaceError::None, 1, 0},
      {"beyond an hour is an hour", "544C494D 04000000 FFFFFF7F", EWorkspaceError::None, 3600000, 0},
      {"a longer section of a later version", "544C494D 08000000 E8030000 2A000000", EWorkspaceError::None, 1000, 0},
      {"stray bytes after it", "544C494D 04000000 E8030000 DEADBEEF 01", EWorkspaceError::None, 1000, 0},
      {"breakpoints, then the limit",
       "42524B50 01000000 01000000 02000000 00000000 00000000 544C494D 04000000 E8030000", EWorkspaceError::None,
       1000, 1},
      {"an unknown tag ends the sections", "DEADBEEF 544C494D 04000000 E8030000", EWorkspaceError::None, 500, 0},
      {"cut inside the limit", "544C494D 04000000 E803", EWorkspaceError::Truncated, 500, 0},
      {"cut after the tag", "544C494D", EWorkspaceError::Truncated, 500, 0},
      {"a negative length", "544C494D FFFFFFFF E8030000", EWorkspaceError::BadCount, 500, 0},
      {"a length too short for the limit", "544C494D 02000000 0000", EWorkspaceError::BadCount, 500, 0},
  };
  for (const Row& row : rows) {
    WorkspaceData d;
    EXPECT_EQ(row.error, Read(Bytes(kGoldenV3Hex) + Bytes(row.hex), &d)) << row.what;
    if (row.error != EWorkspaceError::None) continue;
    EXPECT_EQ(row.limit, d.testTimeLimitMs) << row.what;
    EXPECT_EQ(row.breakpoints, d.breakpoints.size()) << row.what;
  }
}

// The chosen flavours: a section of their own after every other, so that a reader that knows
// only the sections before it stops at its tag as at any unknown one and reads the rest as ever.
TEST(WorkspaceFileFlavours, TheChosenFlavoursComeLast) {
  Golden g;
  g.data.testTimeLimitMs = 5000;
  const std::string withLimit = CWorkspaceFile::Write(g.data, g.tree);
  g.data.hasFlavours = true;
  g.data.flavours = {U("js"), U("re2")};
  const std::string withFlavours = CWorkspaceFile::Write(g.data, g.tree);
  // tag, 22 bytes: a count of 2, "js", "re2"
  EXPECT_EQ(Hex(withLimit) + Hex(Bytes("464C4156 16000000 02000000 02000000 6A00 7300 03000000 7200 6500 3200")),
            Hex(withFlavours));
  WorkspaceData d;
  ASSERT_EQ(EWorkspaceError::None, Read(withFlavours, &d));
  EXPECT_TRUE(d.hasFlavours);
  EXPECT_EQ(d.flavours, (std::vector<std::vector<unsigned short>>{U("js"), U("re2")}));
  EXPECT_EQ(5000, d.testTimeLimitMs);
  // An empty choice is kept as one; no section at all reads as "not chosen".
  g.data.flavours.clear();
  ASSERT_EQ(EWorkspaceError::None, Read(CWorkspaceFile::Write(g.data, g.tree), &d));
  EXPECT_TRUE(d.hasFlavours);
  EXPECT_TRUE(d.flavours.empty());
  ASSERT_EQ(EWorkspaceError::None, Read(withLimit, &d));
  EXPECT_FALSE(d.hasFlavours);
}

TEST(WorkspaceFileFlavours, FlavourSectionsGetDefinedReadings) {
  struct Row {
    const char* what;
    const char* hex;  // after the golden file's options word
    EWorkspaceError error;
    bool has;
    size_t names;
    int limit;
  } rows[] = {
      {"one name", "464C4156 0A000000 01000000 01000000 7800", EWorkspaceError::None, true, 1, 500},
      {"after the limit", "544C494D 04000000 E8030000 464C4156 04000000 00000000", EWorkspaceError::None, true, 0, 1000},
      {"a longer section of a later version", "464C4156 0C000000 01000000 01000000 7800 2A00 0000",
       EWorkspaceError::None, true, 1, 500},
      {"sections before it are not read after it",
       "464C4156 04000000 00000000 544C494D 04000000 E8030000", EWorkspaceError::None, true, 0, 500},
      {"a second one is ignored", "464C4156 04000000 00000000 464C4156 0A000000 01000000 01000000 7800",
       EWorkspaceError::None, true, 0, 500},
      {"cut after the tag", "464C4156", EWorkspaceError::Truncated, false, 0, 500},
      {"cut inside a name", "464C4156 0A000000 01000000 01000000 78", EWorkspaceError::Truncated, false, 0, 500},
      {"a length beyond the file", "464C4156 FF000000 00000000", EWorkspaceError::Truncated, false, 0, 500},
      {"a negative count", "464C4156 04000000 FFFFFFFF", EWorkspaceError::BadCount, false, 0, 500},
      {"names past the length", "464C4156 04000000 01000000 01000000 7800", EWorkspaceError::BadCount, false, 0, 500},
      {"a huge count", "464C4156 08000000 FFFFFF7F 00000000", EWorkspaceError::Truncated, false, 0, 500},
  };
  for (const Row& row : rows) {
    WorkspaceData d;
    g_largest = 0;
    g_watch = true;
    const std::string bytes = Bytes(kGoldenV3Hex) + Bytes(row.hex);
    const EWorkspaceError e = Read(bytes, &d);
    g_watch = false;
    EXPECT_EQ(row.error, e) << row.what;
    EXPECT_LE(g_largest.load(), 4 * bytes.size() + 64) << row.what;
    if (row.error != EWorkspaceError::None) continue;
    EXPECT_EQ(row.has, d.hasFlavours) << row.what;
    EXPECT_EQ(row.names, d.flavours.size()) << row.what;
    EXPECT_EQ(row.limit, d.testTimeLimitMs) << row.what;
  }
}

TEST(WorkspaceFileFlavours, TestFlavoursRoundTripInTheirOwnSectionLast) {
  size_t start = 0;
  const std::string plain = WorkspaceWithTests(&start);
  WorkspaceData d;
  ASSERT_EQ(EWorkspaceError::None, Read(plain, &d));
  for (const TestCase& t : *d.tests) EXPECT_TRUE(t.mustPassIn.empty());
  auto tests = std::make_shared<TestSet>(*d.tests);
  (*tests)[2].mustPassIn = {U("python"), U("js")};
  d.tests = tests;
  auto kept = std::make_shared<TestSet>(*d.snapshots[0]->tests);
  (*kept)[0].mustPassIn = {U("re2")};
  d.snapshots[0]->tests = kept;
  d.hasFlavours = true;
  d.flavours = {U("js")};
  CSnapshotTree tree;
  tree.LoadRecords(d.snapshots, d.currentSnapshot);
  const std::string bytes = CWorkspaceFile::Write(d, tree);
  // The chosen flavours' section, then the tests': two sets (the workspace's, snapshot 1), one
  // entry each.
  const std::string tail = Hex(Bytes("54464C56 46000000 02000000"
                                     " 00000000 01000000 02000000 02000000 06000000 7000 7900 7400 6800 6F00 6E00"
                                     " 02000000 6A00 7300"
                                     " 01000000 01000000 00000000 01000000 03000000 7200 6500 3200"));
  ASSERT_GT(Hex(bytes).size(), tail.size());
  EXPECT_EQ(tail, Hex(bytes).substr(Hex(bytes).size() - tail.size()));
  WorkspaceData back;
  ASSERT_EQ(EWorkspaceError::None, Read(bytes, &back));
  EXPECT_EQ((std::vector<TestText>{U("python"), U("js")}), (*back.tests)[2].mustPassIn);
  EXPECT_TRUE((*back.tests)[0].mustPassIn.empty());
  EXPECT_EQ((std::vector<TestText>{U("re2")}), (*back.snapshots[0]->tests)[0].mustPassIn);
  EXPECT_TRUE(back.hasFlavours);
  CSnapshotTree backTree;
  backTree.LoadRecords(back.snapshots, back.currentSnapshot);
  EXPECT_EQ(Hex(bytes), Hex(CWorkspaceFile::Write(back, backTree)));
}

TEST(WorkspaceFileFlavours, TestFlavourSectionsGetDefinedReadings) {
  struct Row {
    const char* what;
    const char* hex;  // after the options word of the workspace with tests
    EWorkspaceError error;
    int test;         // the test of the workspace's set that must name "x" (-1: none)
    size_t snapshotNames;  // names of the snapshot's first test
  } rows[] = {
      {"one name", "54464C56 1A000000 01000000 00000000 01000000 01000000 01000000 01000000 7800",
       EWorkspaceError::None, 1, 0},
      {"a snapshot's test", "54464C56 1A000000 01000000 01000000 01000000 00000000 01000000 01000000 7800",
       EWorkspaceError::None, -1, 1},
      {"a test the set does not have", "54464C56 1A000000 01000000 00000000 01000000 07000000 01000000 01000000 7800",
       EWorkspaceError::None, -1, 0},
      {"a snapshot the file does not have", "54464C56 1A000000 01000000 09000000 01000000 00000000 01000000 01000000 7800",
       EWorkspaceError::None, -1, 0},
      {"a name twice and an empty one",
       "54464C56 24000000 01000000 00000000 01000000 00000000 03000000 01000000 7800 00000000 01000000 7800",
       EWorkspaceError::None, 0, 0},
      {"after the chosen flavours",
       "464C4156 04000000 00000000 54464C56 1A000000 01000000 00000000 01000000 02000000 01000000 01000000 7800",
       EWorkspaceError::None, 2, 0},
      {"the chosen flavours after it are not read",
       "54464C56 04000000 00000000 464C4156 0A000000 01000000 01000000 7800", EWorkspaceError::None, -1, 0},
      {"cut after the tag", "54464C56", EWorkspaceError::Truncated, -1, 0},
      {"cut inside a name", "54464C56 1A000000 01000000 00000000 01000000 01000000 01000000 01000000 78",
       EWorkspaceError::Truncated, -1, 0},
      {"a negative entry count", "54464C56 0C000000 01000000 00000000 FFFFFFFF", EWorkspaceError::BadCount, -1, 0},
      {"a huge name count", "54464C56 14000000 01000000 00000000 01000000 00000000 FFFFFF7F",
       EWorkspaceError::Truncated, -1, 0},
      {"names past the length", "54464C56 04000000 01000000 00000000 01000000 01000000 01000000 01000000 7800",
       EWorkspaceError::BadCount, -1, 0},
  };
  size_t start = 0;
  const std::string base = WorkspaceWithTests(&start);
  for (const Row& row : rows) {
    WorkspaceData d;
    g_largest = 0;
    g_watch = true;
    const std::string bytes = base + Bytes(row.hex);
    const EWorkspaceError e = Read(bytes, &d);
    g_watch = false;
    EXPECT_EQ(row.error, e) << row.what;
    EXPECT_LE(g_largest.load(), 4 * bytes.size() + 64) << row.what;
    if (row.error != EWorkspaceError::None) continue;
    for (size_t i = 0; i < d.tests->size(); ++i)
      EXPECT_EQ(static_cast<int>(i) == row.test ? std::vector<TestText>{U("x")} : std::vector<TestText>{},
                (*d.tests)[i].mustPassIn)
          << row.what << ", test " << i;
    EXPECT_EQ(row.snapshotNames, (*d.snapshots[0]->tests)[0].mustPassIn.size()) << row.what;
  }
}

TEST(WorkspaceFileSettings, AFailedReadSaysAtWhichByte) {
  struct Row {
    const char* what;
    std::string bytes;
    EWorkspaceError error;
    size_t at;
  };
  const std::string v2 = Bytes(kGoldenHex);
  // The golden version-2 file: version 0, mode 4, shares 8 and 12, flags 16, the pattern's count
  // at 20 (two units), the subject's at 28, the replace-to text's at 32 (one unit), the current
  // snapshot at 38, the record count at 42.
  const Row rows[] = {
      {"empty", "", EWorkspaceError::Truncated, 0},
      {"cut in the version", v2.substr(0, 3), EWorkspaceError::Truncated, 0},
      {"cut in the mode", v2.substr(0, 6), EWorkspaceError::Truncated, 4},
      {"cut in the pattern's count", v2.substr(0, 22), EWorkspaceError::Truncated, 20},
      {"cut in the pattern's units", v2.substr(0, 26), EWorkspaceError::Truncated, 20},
      {"cut in the subject's count", v2.substr(0, 30), EWorkspaceError::Truncated, 28},
      {"cut in the replace-to text", v2.substr(0, 37), EWorkspaceError::Truncated, 32},
      {"cut in the record count", v2.substr(0, 44), EWorkspaceError::Truncated, 42},
      {"a negative pattern count", Bytes("02000000 01000000 00000000 00000000 00000000 FFFFFFFF 6100"),
       EWorkspaceError::BadCount, 20},
      {"a negative record count",
       Bytes("02000000 01000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000080"),
       EWorkspaceError::BadCount, 36},
      {"a text index outside the table",
       Bytes(KV_V3_EMPTY "01000000 00000000 01000000 00000000 01000000" KV_TEST_TAIL_AFTER_SUBJECT),
       EWorkspaceError::BadCount, 56},
  };
  for (const Row& row : rows) {
    WorkspaceData d;
    size_t at = 12345;
    EXPECT_EQ(row.error, CWorkspaceFile::Read(reinterpret_cast<const unsigned char*>(row.bytes.data()),
                                              row.bytes.size(), &d, &at))
        << row.what;
    EXPECT_EQ(row.at, at) << row.what;
  }
  // Every cut of a file with tests is reported inside the file, at or before the cut.
  size_t start = 0;
  const std::string file = WorkspaceWithTests(&start);
  for (size_t n = 0; n + 4 < file.size(); ++n) {
    WorkspaceData d;
    size_t at = 12345;
    ASSERT_NE(EWorkspaceError::None,
              CWorkspaceFile::Read(reinterpret_cast<const unsigned char*>(file.data()), n, &d, &at));
    EXPECT_LE(at, n) << "length " << n;
  }
}

TEST(WorkspaceFileSettings, TheFirstFieldsTellAWorkspaceFromOtherFiles) {
  struct Row {
    const char* what;
    std::string bytes;
    bool workspace;
  } rows[] = {
      {"this version's file", Bytes(kGoldenV3Hex), true},
      {"version 2", Bytes(kGoldenHex), true},
      {"a file cut after its version", Bytes("03000000"), true},
      {"cut inside the shares", Bytes("03000000 01000000 CDCC"), true},
      {"empty", "", false},
      {"text", "These are my notes, not a workspace.\n", false},
      {"version 0", Bytes("00000000 01000000 CDCC4C3E 0000003F"), false},
      {"a version from far away", Bytes("E9030000 01000000 CDCC4C3E 0000003F"), false},
      {"mode 9", Bytes("03000000 09000000 CDCC4C3E 0000003F"), false},
      {"a share above 1", Bytes("03000000 01000000 0000C03F 0000003F"), false},
      {"a share that is no number", Bytes("03000000 01000000 CDCC4C3E 0000C07F"), false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(row.workspace, CWorkspaceFile::LooksLikeWorkspace(reinterpret_cast<const unsigned char*>(row.bytes.data()),
                                                               row.bytes.size()))
        << row.what;
}

}  // namespace
