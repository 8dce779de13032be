// The document's two searches, the direct one (Match, Replace and Split modes) and the traced one
// (Trace and Optimize modes), give the same matches and groups: on the benchmark rows, on the
// options and shapes that steer a search (right to left, \G, start points, one element alone,
// balancing groups, recursion), when one search hands over to the other in the middle, and at the
// recursion guard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/document/core/tests/headless_ui.h"
#include "bench/corpus.h"
#include "stringtable.h"

namespace {

class SearchPathsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CStringTable::SetCurrent(CStringTable::kEnglish); }
  void SetUp() override {
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    if (doc->IsLocateFailPoint()) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
  }
  void TearDown() override {
    CKorvaneDoc::SetRecursionLimit(5000);
    doc.reset();
  }

  void Set(const std::string& pattern, const std::string& subject, int flags) {
    if ((doc->GetFlags() ^ flags) & IGNORECASE) doc->OnCommand(CMD_IGNORECASE);
    if ((doc->GetFlags() ^ flags) & RIGHTTOLEFT) doc->OnCommand(CMD_RIGHTTOLEFT);
    if ((doc->GetFlags() ^ flags) & MULTILINE) doc->OnCommand(CMD_MULTILINE);
    if ((doc->GetFlags() ^ flags) & SINGLELINE) doc->OnCommand(CMD_SINGLELINE);
    if ((doc->GetFlags() ^ flags) & GLOBAL) doc->OnCommand(CMD_GLOBAL);
    std::vector<unsigned short> p = U16(pattern), s = U16(subject);
    doc->SetPattern(p.data(), static_cast<int>(p.size()), false);
    doc->SetSubjectText(s.data(), static_cast<int>(s.size()));
  }

  // Every result of the search as text: "s-e,g1s-g1e,..." per entry, the not-matched end too.
  static std::string Spans(const std::vector<MatchHandle>& results) {
    std::string out;
    for (const MatchHandle& h : results) {
      const StoredMatch& m = h->result;
      if (!out.empty()) out += ' ';
      if (!m.IsMatched()) {
        out += m.HitNestingLimit() ? "cut" : "end";
        continue;
      }
      out += std::to_string(m.GetStart()) + "-" + std::to_string(m.GetEnd());
      for (int g = 1; g <= m.MaxGroupNumber(); ++g)
        out += "," + std::to_string(m.GetGroupStart(g)) + "-" + std::to_string(m.GetGroupEnd(g));
    }
    return out;
  }

  // Find All in a mode; every result, and whether the traced search ran it.
  std::string FindAllIn(int modeCommand, bool* traced = nullptr) {
    doc->OnCommand(modeCommand);
    doc->OnCommand(CMD_RESET_FIND);
    ui.ClearBoxes();
    doc->OnCommand(CMD_FIND_ALL);
    if (traced) *traced = doc->GetLastResult()->traced != 0;
    return Spans(doc->GetResults());
  }

  HeadlessUi ui;
  std::unique_ptr<CKorvaneDoc> doc;
};

// The rows of the benchmarks, on smaller texts (the traced search tries every start position).
TEST_F(SearchPathsTest, BenchmarkRowsGiveTheSameMatchesOnBothPaths) {
  const std::string prose = bench_corpus::MakeProse(48 * 1024);
  const std::string ab = bench_corpus::MakeAlternating(3000);
  const std::string line = bench_corpus::MakeLine(3000);
  int rows = 0;
  for (const bench_corpus::BenchPattern& row : bench_corpus::kPatterns) {
    SCOPED_TRACE(row.name);
    const std::string& text = row.text == bench_corpus::TEXT_AB     ? ab
                              : row.text == bench_corpus::TEXT_LINE ? line
                              : row.text == bench_corpus::TEXT_X400 ? std::string(400, 'x')
                                                                    : prose;
    Set(row.pattern, text, row.ignoreCase ? IGNORECASE : 0);
    bool directTraced = true, tracedTraced = false;
    const std::string direct = FindAllIn(CMD_MODE_MATCH, &directTraced);
    const std::string traced = FindAllIn(CMD_MODE_OPTIMIZE, &tracedTraced);
    EXPECT_FALSE(directTraced);
    EXPECT_TRUE(tracedTraced);
    EXPECT_EQ(traced, direct);
    // Replace and Split search directly too, with the same results.
    EXPECT_EQ(direct, FindAllIn(CMD_MODE_SPLIT));
    ++rows;
  }
  EXPECT_EQ(sizeof bench_corpus::kPatterns / sizeof bench_corpus::kPatterns[0], static_cast<size_t>(rows));
}

// Patterns and options that steer the search: each is searched in full on both paths.
TEST_F(SearchPathsTest, OptionsAndShapesGiveTheSameMatchesOnBothPaths) {
  struct Case {
    const char* pattern;
    const char* subject;
    int flags;
  };
  const Case cases[] = {
      {"\\d+", "1 22 333 x", 0},
      {"\\d+", "1 22 333 x", RIGHTTOLEFT},
      {"(\\w+)@(\\w+)\\.com", "me@here.com you@there.org them@x.com", IGNORECASE},
      {"x*", "axxbx", 0},
      {"x*", "axxbx", RIGHTTOLEFT},
      {"\\G\\d", "12a3", GLOBAL},
      {"^\\w+$", "one\ntwo\r\nthree", MULTILINE},
      {".+", "a\nb", SINGLELINE},
      {"(?<=a)b|(?<!c)d", "ab cd ad b", 0},
      {"(a)?(?(1)b|c)", "ab c b ac", 0},
      {"\\((?:[^()]|(?R))*\\)", "(a(b)c) (d (e) f", 0},
      {"(?<o>\\()|(?<c-o>\\))|[^()]", "(a(b))c)", 0},
      {"^(?:(?<o>\\()|(?<c-o>\\))|[^()])*(?(o)(?!))$", "(a(b)c)", 0},
      {"^(?:(?<o>\\()|(?<c-o>\\))|[^()])*(?(o)(?!))$", "(a(b)c", 0},
      {"\\b(\\w+)\\s+\\1\\b", "the the cat cat sat", 0},
      {"(?i)holmes|(?-i:Sherlock)", "HOLMES sherlock Sherlock", 0},
      {"(?:ab)+?c", "abababc abc", 0},
      {"a++b|a", "aaab aa", 0},
      {"(?>a+)b|a", "aaab aa", 0},
      {"[\\w.+-]+@[\\w.-]+\\.\\w+", "x a.b@c.de y@z", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    Set(c.pattern, c.subject, c.flags);
    const std::string direct = FindAllIn(CMD_MODE_MATCH);
    EXPECT_EQ(FindAllIn(CMD_MODE_TRACE), direct);
    EXPECT_NE("", direct);
  }
}

// A search under way goes on in the other search when the mode changes between two Finds: the
// successive Finds give what one Find All gives.
TEST_F(SearchPathsTest, AFindGoesOnWhereTheOtherSearchStood) {
  struct Case {
    const char* pattern;
    const char* subject;
    int flags;
  };
  const Case cases[] = {
      {"\\w+", "ab cd ef gh ij", 0},
      {"\\w+", "ab cd ef gh ij", RIGHTTOLEFT},
      {"x*", "axxbxc", 0},
      {"\\G\\w", "abc d", GLOBAL},
      {"(?<=(\\w))\\w", "abcde", 0},
  };
  const int modes[] = {CMD_MODE_MATCH, CMD_MODE_TRACE, CMD_MODE_REPLACE, CMD_MODE_OPTIMIZE, CMD_MODE_SPLIT};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    Set(c.pattern, c.subject, c.flags);
    const std::string all = FindAllIn(CMD_MODE_MATCH);
    doc->OnCommand(CMD_RESET_FIND);
    std::vector<MatchHandle> found;
    for (int i = 0; i < 40; ++i) {
      doc->OnCommand(modes[i % 5]);
      doc->OnCommand(CMD_FIND);
      ASSERT_FALSE(doc->IsJobActive());
      const MatchHandle h = doc->GetLastResult();
      found.push_back(h);
      if (!h->result.IsMatched()) break;
    }
    EXPECT_EQ(all, Spans(found));
  }
}

// One element alone (Only Current Node) and one start position alone (Only Start Point).
TEST_F(SearchPathsTest, OneElementAndOneStartPointGiveTheSameMatchesOnBothPaths) {
  Set("(\\d+)-(\\w+)", "12-ab 3-c 45-", 0);
  // The current element: the first group, then the second.
  for (int at : {2, 9}) {
    doc->SelectPatternRange(at, at);
    ASSERT_NE(nullptr, doc->GetCurrentElement());
    doc->OnCommand(CMD_ONLY_CURRENT_NODE);
    const std::string direct = FindAllIn(CMD_MODE_MATCH);
    EXPECT_EQ(FindAllIn(CMD_MODE_OPTIMIZE), direct) << at;
    EXPECT_NE("end", direct);
    doc->OnCommand(CMD_ONLY_CURRENT_NODE);
  }
  doc->OnCommand(CMD_ONLY_START_POINT);
  for (int start : {3, 6, 10}) {
    doc->SetStartPoint(start);
    const std::string direct = FindAllIn(CMD_MODE_MATCH);
    EXPECT_EQ(FindAllIn(CMD_MODE_OPTIMIZE), direct) << start;
  }
  doc->OnCommand(CMD_ONLY_START_POINT);
}

// The direct search stops where the traced one's recursion guard fires. For every limit of a
// range, the longest nesting that each path still matches without the stack-overflow message is
// the same (one level more for the direct search moves it for most limits: the test would see it).
TEST_F(SearchPathsTest, TheRecursionGuardStopsBothPathsAlike) {
  struct Case {
    const char* pattern;
    const char* open;
    const char* middle;
    const char* close;
  };
  const Case cases[] = {
      {"a(?R)?b", "a", "", "b"},
      {"(a(?1)?b)", "a", "", "b"},
      {"\\((?:[^()]|(?R))*\\)", "(", "", ")"},
      {"a(?:(?R)|c){1}b", "a", "c", "b"},
      {"a(?:b|(?R))c", "a", "b", "c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    for (int limit = 100; limit <= 111; ++limit) {
      CKorvaneDoc::SetRecursionLimit(limit);
      int deepest[2] = {-1, -1};
      const int modes[2] = {CMD_MODE_MATCH, CMD_MODE_OPTIMIZE};
      for (int k = 0; k < 2; ++k) {
        doc->OnCommand(modes[k]);
        for (int n = 10; n <= 45; ++n) {
          std::string subject;
          for (int i = 0; i < n; ++i) subject += c.open;
          subject += c.middle;
          for (int i = 0; i < n; ++i) subject += c.close;
          Set(c.pattern, subject, 0);
          ui.ClearBoxes();
          doc->OnCommand(CMD_FIND);
          const bool overflow = !ui.Boxes().empty() && ui.Boxes()[0].text.rfind("Stack overflow", 0) == 0;
          EXPECT_EQ(overflow, !doc->GetCurrentResult()->result.IsMatched()) << n;
          if (!overflow) deepest[k] = n;
        }
      }
      EXPECT_EQ(deepest[1], deepest[0]) << "limit " << limit;
      EXPECT_GT(deepest[0], 10) << "limit " << limit;
      EXPECT_LT(deepest[0], 45) << "limit " << limit;
    }
  }
}

}  // namespace
