// Stored results: records and their groups read back as the engine gave them, across blocks and
// capture pools, copies that outlive their block, and the document letting go of every record
// when its results are cleared.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/document/core/tests/headless_ui.h"
#include "stringtable.h"

namespace {

// Every result of `pattern` over `text`, as the engine gives them.
std::vector<MatchResult> EngineMatches(const std::string& pattern, const std::vector<unsigned short>& text) {
  std::vector<unsigned short> p = U16(pattern);
  HostRegexp re(p.data(), static_cast<int>(p.size()), 0);
  HostContext ctx;
  re.PrepareMatch(text.data(), static_cast<int>(text.size()), 0, &ctx);
  std::vector<MatchResult> out;
  for (;;) {
    MatchResult m = re.Match(&ctx);
    if (!m.IsMatched()) break;
    out.push_back(m);
  }
  return out;
}

// Every group's span, the flags and the status agree; groups past the highest read as absent.
void ExpectSame(const MatchResult& want, const StoredMatch& got, const std::string& where) {
  SCOPED_TRACE(where);
  ASSERT_EQ(want.IsMatched(), got.IsMatched());
  ASSERT_EQ(want.MaxGroupNumber(), got.MaxGroupNumber());
  EXPECT_EQ(want.GetStart(), got.GetStart());
  EXPECT_EQ(want.GetEnd(), got.GetEnd());
  EXPECT_EQ(want.GetStatus(), got.GetStatus());
  for (int n = -1; n <= want.MaxGroupNumber() + 1; ++n) {
    EXPECT_EQ(want.GetGroupStart(n), got.GetGroupStart(n)) << "group " << n;
    EXPECT_EQ(want.GetGroupEnd(n), got.GetGroupEnd(n)) << "group " << n;
  }
}

// Words of varying length, with a digit after every third, so optional groups both take part
// and stay out.
std::vector<unsigned short> Words(int count) {
  std::string s;
  for (int i = 0; i < count; ++i) {
    s += std::string(1 + i % 5, static_cast<char>('a' + i % 26));
    if (i % 3 == 0) s += static_cast<char>('0' + i % 10);
    s += ' ';
  }
  return U16(s);
}

std::string ManyGroups(int groups) {
  std::string p;
  for (int i = 0; i < groups; ++i) p += "(\\w)?";
  return p;
}

TEST(MatchStoreTest, RecordsReadBackAsTheEngineGaveThemAcrossBlocks) {
  const int words = 3 * MatchStore::kRecordsPerBlock + 17;  // more than three blocks
  const std::vector<unsigned short> text = Words(words);
  struct Case {
    const char* name;
    std::string pattern;
  } cases[] = {
      {"no groups", "\\w+"},
      {"one group", "(\\w)\\w*"},
      {"optional groups", "(\\w)(\\w*?)(\\d)?"},
      {"nested groups", "((\\w)(\\w*))(\\d)?"},
      {"more groups than the pool holds", "\\w" + ManyGroups(MatchStore::kMaxPooledGroups + 3)},
  };
  for (const Case& c : cases) {
    const std::vector<MatchResult> want = EngineMatches(c.pattern, text);
    ASSERT_GE(want.size(), static_cast<size_t>(words)) << c.name;
    MatchStore store;
    std::vector<MatchHandle> handles;
    for (const MatchResult& m : want) handles.push_back(store.Add(m));
    // Read back only once all are stored: a record whose groups share pool room with a later
    // one would show the later one's spans.
    for (size_t i = 0; i < want.size(); ++i)
      ExpectSame(want[i], handles[i]->result, std::string(c.name) + " #" + std::to_string(i));
    const bool pooled = want[0].MaxGroupNumber() > 0 && want[0].MaxGroupNumber() <= MatchStore::kMaxPooledGroups;
    EXPECT_EQ(pooled, handles.back()->result.GroupsPooled()) << c.name;
    EXPECT_EQ(-1.0, handles[0]->elapsed) << c.name;
  }
}

TEST(MatchStoreTest, ARecordAndItsCopiesOutliveTheStoreAndTheOtherRecords) {
  const std::vector<unsigned short> text = Words(2 * MatchStore::kRecordsPerBlock);
  const std::vector<MatchResult> want = EngineMatches("(\\w)(\\w*)(\\d)?", text);
  const size_t kept = want.size() / 2;
  MatchHandle keep;
  StoredMatch copy, assigned;
  std::weak_ptr<MatchRecord> other;
  {
    MatchStore store;
    std::vector<MatchHandle> handles;
    for (const MatchResult& m : want) handles.push_back(store.Add(m));
    keep = handles[kept];
    other = handles.front();
    copy = handles[kept]->result;
    assigned = copy;
    store.Clear();
  }
  // The first block went with its last handle; the kept record's block lives on with it.
  EXPECT_TRUE(other.expired());
  ExpectSame(want[kept], keep->result, "kept handle");
  ExpectSame(want[kept], copy, "copy");
  ExpectSame(want[kept], assigned, "copy of the copy");
  EXPECT_FALSE(copy.GroupsPooled());
  keep.reset();
  ExpectSame(want[kept], copy, "copy after the block went");
}

TEST(MatchStoreTest, AssigningReplacesEverythingThatWasStored) {
  std::vector<MatchResult> grouped = EngineMatches("(a)(b)(c)", U16("abc"));
  ASSERT_EQ(1u, grouped.size());
  StoredMatch m;
  m = grouped[0];
  EXPECT_EQ(3, m.MaxGroupNumber());
  EXPECT_EQ(2, m.GetGroupStart(3));
  // The not-matched entry that ends a search keeps no groups of what was there before.
  m.SetSpan(0, 7, 7);
  EXPECT_EQ(0, m.IsMatched());
  EXPECT_EQ(0, m.MaxGroupNumber());
  EXPECT_EQ(7, m.GetGroupStart(0));
  EXPECT_EQ(-1, m.GetGroupStart(1));
  // A search cut short: no answer, its status kept.
  m = MatchResult::CutShort(MATCH_NESTING_LIMIT);
  EXPECT_TRUE(m.HitNestingLimit());
  EXPECT_EQ(0, m.IsMatched());
  EXPECT_EQ(-1, m.GetStart());
  m = MatchResult();
  EXPECT_FALSE(m.HitNestingLimit());
  EXPECT_EQ(-1, m.GetEnd());
}

class DocResultsMemoryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
  void SetUp() override {
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    if (doc->QueryCommand(CMD_LOCATE_FAIL_POINT).checked) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  }
  void FindAllIn(const std::string& pattern, const std::vector<unsigned short>& text, const std::string& to) {
    std::vector<unsigned short> p = U16(pattern), r = U16(to);
    doc->SetPattern(p.data(), static_cast<int>(p.size()), false);
    doc->SetReplaceTo(r.data(), static_cast<int>(r.size()));
    doc->SetSubjectText(text.data(), static_cast<int>(text.size()));
    doc->OnCommand(CMD_FIND_ALL);
  }
  // Weak references to every stored result, to see whether anything still holds them.
  std::vector<std::weak_ptr<MatchRecord>> Watch() {
    std::vector<std::weak_ptr<MatchRecord>> w;
    for (const MatchHandle& h : doc->GetResults()) w.push_back(h);
    return w;
  }
  static int Alive(const std::vector<std::weak_ptr<MatchRecord>>& w) {
    int n = 0;
    for (const auto& x : w) n += x.expired() ? 0 : 1;
    return n;
  }

  HeadlessUi ui;
  std::unique_ptr<CKorvaneDoc> doc;
};

TEST_F(DocResultsMemoryTest, FindAllKeepsEveryMatchWithItsGroups) {
  const std::vector<unsigned short> text = Words(2 * MatchStore::kRecordsPerBlock + 5);
  const std::string pattern = "(\\w)(\\w*?)(\\d)?";
  FindAllIn(pattern, text, "");
  const std::vector<MatchResult> want = EngineMatches(pattern, text);
  const std::vector<MatchHandle> got = doc->GetResults();
  ASSERT_EQ(want.size() + 1, got.size());  // and the not-matched entry at the end
  for (size_t i = 0; i < want.size(); ++i) {
    ExpectSame(want[i], got[i]->result, "result " + std::to_string(i));
  }
  EXPECT_EQ(0, got.back()->result.IsMatched());
  EXPECT_EQ(static_cast<int>(text.size()), got.back()->result.GetStart());
}

TEST_F(DocResultsMemoryTest, ReplaceOverManyMatchesEqualsTheEnginesReplace) {
  const std::vector<unsigned short> text = Words(MatchStore::kRecordsPerBlock + 100);
  const std::string pattern = "(\\w)(\\w*?)(\\d)?\\b", to = "<$3$1|$2>";
  FindAllIn(pattern, text, to);
  doc->SetMode(MODE_REPLACE);
  std::vector<unsigned short> p = U16(pattern), r = U16(to);
  HostRegexp re(p.data(), static_cast<int>(p.size()), 0);
  int length = 0;
  unsigned short* replaced = re.Replace(text.data(), static_cast<int>(text.size()), r.data(),
                                        static_cast<int>(r.size()), length);
  std::vector<unsigned short> want(replaced, replaced + length);
  HostRegexp::ReleaseString(replaced);
  EXPECT_EQ(want, doc->GetReplacedText());
  EXPECT_EQ(static_cast<size_t>(doc->RealMatchCount()), doc->GetReplaceResult().Segments().size());
}

TEST_F(DocResultsMemoryTest, ClearingTheResultsLetsGoOfEveryRecord) {
  const std::vector<unsigned short> text = Words(MatchStore::kRecordsPerBlock + 100);
  struct Case {
    const char* name;
    int mode;
    std::function<void()> clear;
  } cases[] = {
      {"text replaced", MODE_MATCH, [&] { doc->SetSubjectText(text.data(), 10); }},
      {"text replaced in Replace mode", MODE_REPLACE, [&] { doc->SetSubjectText(text.data(), 10); }},
      {"pattern changed in Replace mode", MODE_REPLACE,
       [&] {
         std::vector<unsigned short> p = U16("x");
         doc->SetPattern(p.data(), 1, false);
       }},
      {"replace-to changed", MODE_REPLACE,
       [&] {
         std::vector<unsigned short> r = U16("y");
         doc->SetReplaceTo(r.data(), 1);
       }},
      {"Reset Find", MODE_REPLACE, [&] { doc->OnCommand(CMD_RESET_FIND); }},
      {"Find All again", MODE_REPLACE, [&] { doc->OnCommand(CMD_FIND_ALL); }},
      {"New", MODE_REPLACE, [&] { doc->OnNewDocument(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    doc->SetMode(MODE_MATCH);
    FindAllIn("(\\w)\\w*", text, "[$1]");
    doc->SetMode(c.mode);
    // Record navigation keeps one more handle, as a view would.
    doc->OnCommand(CMD_NEXT_RECORD);
    std::vector<std::weak_ptr<MatchRecord>> watched = Watch();
    ASSERT_GT(watched.size(), static_cast<size_t>(MatchStore::kRecordsPerBlock));
    ASSERT_EQ(static_cast<int>(watched.size()), Alive(watched));
    if (c.mode == MODE_REPLACE) {
      ASSERT_FALSE(doc->GetReplaceResult().Segments().empty());
    }
    c.clear();
    EXPECT_EQ(0, Alive(watched));
    if (c.mode == MODE_REPLACE && std::string(c.name) != "Find All again") {
      EXPECT_TRUE(doc->GetReplaceResult().Segments().empty());
    }
  }
}

}  // namespace

namespace {

// A built result's pieces are expanded from its program and the matches when asked: a copy of
// the result must give the same pieces once the original is gone (the program and the subject
// length go with the copy), and a segment given its pieces by hand owns them.
TEST(ReplacePiecesTest, CopiesOfTheResultAndHandMadeSegmentsReadTheirOwnPieces) {
  const std::vector<unsigned short> text = Words(300);
  const std::string pattern = "(\\w)(\\w*?)(\\d)?\\b";
  std::vector<unsigned short> p = U16(pattern), r = U16("<$3$1|$2>");
  HostRegexp re(p.data(), static_cast<int>(p.size()), 0);
  MatchStore store;
  std::vector<MatchHandle> results;
  for (const MatchResult& m : EngineMatches(pattern, text)) results.push_back(store.Add(m));
  std::unique_ptr<ReplaceResult> built(new ReplaceResult);
  built->ParseReplaceTo(r.data(), static_cast<int>(r.size()), re);
  built->Build(static_cast<int>(text.size()), results, static_cast<int>(results.size()), false);
  const std::vector<unsigned short> want = built->ReplacedText(text.data(), static_cast<int>(text.size()));
  std::vector<std::vector<unsigned short>> pieces;
  for (const ReplaceSegment& s : built->Segments()) pieces.push_back(built->SegmentText(text.data(), s));

  ReplaceResult copy(*built);
  ReplaceResult assigned;
  assigned = *built;
  built.reset();  // its program goes with it
  for (const ReplaceResult* c : {&copy, &assigned}) {
    EXPECT_EQ(want, c->ReplacedText(text.data(), static_cast<int>(text.size())));
    ASSERT_EQ(pieces.size(), c->Segments().size());
    for (size_t i = 0; i < pieces.size(); ++i) {
      EXPECT_EQ(6u, c->PiecesOf(c->Segments()[i]).size());  // < $3 $1 | $2 >
      EXPECT_EQ(pieces[i], c->SegmentText(text.data(), c->Segments()[i])) << "segment " << i;
    }
  }

  ReplaceSegment hand;
  hand.pieces = {{1, OutputPiece::FROM_SUBJECT, 2}, {0, OutputPiece::FROM_REPLACE_TO, 1}};
  ReplaceSegment kept = hand;
  hand.pieces = {};
  ASSERT_EQ(2u, kept.pieces.size());
  EXPECT_EQ(1, kept.pieces[0].position);
  EXPECT_EQ(2, kept.pieces[0].length);
  EXPECT_EQ(OutputPiece::FROM_REPLACE_TO, kept.pieces[1].source);
  EXPECT_TRUE(hand.pieces.empty());
}

}  // namespace
