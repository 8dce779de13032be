// The split rule in one place: the pieces Split mode lists, the tests' Split expectation and the
// split export are the engine's own Split, left to right and right to left; and the rule on
// spans that overlap, which a search never gives but a list of results handed in might.
#include <gtest/gtest.h>

#include <QList>

#include "app/document/files/result_export.h"
#include "app/document/matching/split_pieces.h"
#include "app/document/testing/test_eval.h"
#include "app/document/core/tests/headless_ui.h"

namespace {

std::vector<unsigned short> U16(const std::string& s) { return std::vector<unsigned short>(s.begin(), s.end()); }

std::vector<std::string> Texts(const std::vector<unsigned short>& text, const std::vector<SplitPiece>& pieces) {
  std::vector<std::string> out;
  for (const SplitPiece& p : pieces) out.emplace_back(text.begin() + p.start, text.begin() + p.end);
  return out;
}

struct Case {
  const char* pattern;
  const char* subject;
  bool rightToLeft;
};

const Case kCases[] = {
    {",", "a,b,,c", false},
    {",", "a,b,,c", true},
    {"x", "abc", false},
    {"-", "-a-", false},
    {"-", "-a-", true},
    {"", "ab", false},
    {"", "ab", true},
    {"a*", "baac", false},
    {"a*", "baac", true},
    {"(?<=a)b|b(?=c)", "abcbc", false},
    {"(?<=a)b|b(?=c)", "abcbc", true},
    {"\\b", "one two", false},
    {"\\s*", "a  b", true},
    {"(a)|b", "abab", false},
};

class SplitRuleTest : public ::testing::TestWithParam<Case> {};

TEST_P(SplitRuleTest, ListExpectationAndExportAreTheEnginesSplit) {
  const Case& c = GetParam();
  const std::vector<unsigned short> pattern = U16(c.pattern), text = U16(c.subject);
  const int flags = c.rightToLeft ? RIGHTTOLEFT : 0;
  const int length = static_cast<int>(text.size());

  HostRegexp engine(pattern.data(), static_cast<int>(pattern.size()), flags);
  std::vector<SplitPiece> expected;
  for (const auto& p : engine.Split(text.data(), length)) expected.push_back({p.first, p.second});
  ASSERT_FALSE(expected.empty());

  // Split mode: the document's Find All, cut by the list's rule.
  HeadlessUi ui;
  CKorvaneDoc doc(&ui);
  ui.doc = &doc;
  if (doc.IsLocateFailPoint()) doc.OnCommand(CMD_LOCATE_FAIL_POINT);
  if (c.rightToLeft) doc.OnCommand(CMD_RIGHTTOLEFT);
  doc.SetPattern(pattern.data(), static_cast<int>(pattern.size()), false);
  doc.SetSubjectText(text.data(), length);
  doc.OnCommand(CMD_FIND_ALL);
  EXPECT_EQ(expected, SplitPiecesInTextOrder(doc.GetResults(), length, c.rightToLeft));
  // Selecting each piece highlights it.
  for (size_t i = 0; i < expected.size(); ++i) {
    doc.SelectSplitPiece(static_cast<int>(i));
    EXPECT_EQ(expected[i], (SplitPiece{doc.GetHighlightStart(), doc.GetHighlightEnd()})) << "piece " << i;
  }

  // The tests' Split expectation: the engine's pieces pass, and what the test saw is them.
  CTestPattern compiled(TestText(pattern.begin(), pattern.end()), flags, TestText());
  TestCase test;
  test.SetSubject(TestText(text.begin(), text.end()));
  test.expectation = EXPECT_SPLIT;
  for (const std::string& piece : Texts(text, expected)) test.pieces.push_back(TestText(piece.begin(), piece.end()));
  TestActual actual;
  EXPECT_EQ(TEST_PASS, RunTestCase(compiled, test, TestLimits(), &actual).status);

  // The export of the finished search: the same pieces, with the empty piece the end-of-results
  // entry adds (last left to right, first right to left).
  const QByteArray file = CResultExport::SplitResultFile(doc.GetResults(), doc.GetCurrentResult(), text.data(), length,
                                                         c.rightToLeft, true);
  std::vector<std::string> lines;
  for (const QByteArray& line : file.split('\n'))
    if (!line.isEmpty()) lines.push_back(QByteArray(line).replace("\r", "").replace("\"", "").toStdString());
  std::vector<std::string> wanted = Texts(text, expected);
  if (c.rightToLeft) wanted.insert(wanted.begin(), std::string());
  else wanted.push_back(std::string());
  EXPECT_EQ(wanted, lines);
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return "Case" + std::to_string(info.index) + (info.param.rightToLeft ? "RightToLeft" : "");
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitRuleTest, ::testing::ValuesIn(kCases), CaseName);

// Spans that overlap or go back: the end of the covered text never moves backwards, a span that
// starts inside it leaves an empty piece, and positions stay inside the text.
TEST(SplitAround, CoveredTextNeverMovesBackwards) {
  struct Row {
    std::vector<std::pair<int, int>> spans;
    int length, from;
    std::vector<SplitPiece> pieces;
  };
  const Row rows[] = {
      {{}, 5, 0, {{0, 5}}},
      {{{1, 2}, {3, 4}}, 5, 0, {{0, 1}, {2, 3}, {4, 5}}},
      {{{1, 4}, {2, 3}}, 6, 0, {{0, 1}, {4, 4}, {4, 6}}},        // the second inside the first
      {{{1, 4}, {3, 6}}, 8, 0, {{0, 1}, {4, 4}, {6, 8}}},        // overlapping
      {{{-3, 2}, {7, 12}}, 9, 0, {{0, 0}, {2, 7}, {9, 9}}},      // clamped to the text
      {{{1, 2}, {3, 4}}, 5, 3, {{3, 3}, {3, 3}, {4, 5}}},        // from inside the text
  };
  for (const Row& r : rows) EXPECT_EQ(r.pieces, SplitAround(r.spans, r.length, r.from));
}

}  // namespace
