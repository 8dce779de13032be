// The replace rule in one place: the replaced text of Replace mode (the document's replace
// result), the tests' Replaced expectation and the export of the replacements are the engine's
// own Replace, for every replace-to escape, both directions and empty matches.
#include <gtest/gtest.h>

#include <QList>

#include "app/document/files/result_export.h"
#include "app/document/testing/test_eval.h"
#include "app/document/core/tests/headless_ui.h"

namespace {

std::vector<unsigned short> U16(const std::string& s) { return std::vector<unsigned short>(s.begin(), s.end()); }

struct Case {
  const char* pattern;
  const char* subject;
  const char* replaceTo;
  bool rightToLeft;
};

const Case kCases[] = {
    {"(\\w)(\\d)", "a1-b2-c3", "$2$1", false},
    {"(\\w)(\\d)", "a1-b2-c3", "$2$1", true},
    {"b", "abcabc", "[$`|$&|$']", false},
    {"b", "abcabc", "[$`|$&|$']", true},
    {"b", "ab", "<$_>", false},
    {"(a)|(b)", "ab", "<$+>", false},
    {"(a)|(b)", "ab", "<$+>", true},
    {"(?<first>x)y", "xyxy", "${first}$$", false},
    {"", "ab", "-", false},
    {"", "ab", "-", true},
    {"a*", "baac", "<$&>", false},
    {"a*", "baac", "<$&>", true},
    {"(x)?y", "yxy", "[$1]", false},
    {"$", "ab\ncd", "!", false},
};

class ReplaceRuleTest : public ::testing::TestWithParam<Case> {};

TEST_P(ReplaceRuleTest, ReplaceModeTestsAndExportAreTheEnginesReplace) {
  const Case& c = GetParam();
  const std::vector<unsigned short> pattern = U16(c.pattern), text = U16(c.subject), to = U16(c.replaceTo);
  const int flags = c.rightToLeft ? RIGHTTOLEFT : 0;
  const int length = static_cast<int>(text.size());

  HostRegexp engine(pattern.data(), static_cast<int>(pattern.size()), flags);
  int resultLength = 0;
  unsigned short* replaced =
      engine.Replace(text.data(), length, to.data(), static_cast<int>(to.size()), resultLength);
  ASSERT_NE(nullptr, replaced);
  const std::vector<unsigned short> expected(replaced, replaced + resultLength);
  HostRegexp::ReleaseString(replaced);

  // Replace mode: the document's Find All and its replace result.
  HeadlessUi ui;
  CKorvaneDoc doc(&ui);
  ui.doc = &doc;
  if (doc.IsLocateFailPoint()) doc.OnCommand(CMD_LOCATE_FAIL_POINT);
  if (c.rightToLeft) doc.OnCommand(CMD_RIGHTTOLEFT);
  doc.SetMode(MODE_REPLACE);
  doc.SetPattern(pattern.data(), static_cast<int>(pattern.size()), false);
  doc.SetSubjectText(text.data(), length);
  doc.SetReplaceTo(to.data(), static_cast<int>(to.size()));
  doc.OnCommand(CMD_FIND_ALL);
  EXPECT_EQ(expected, doc.GetReplacedText());

  // The tests' Replaced expectation passes with the engine's text.
  CTestPattern compiled(TestText(pattern.begin(), pattern.end()), flags, TestText(to.begin(), to.end()));
  TestCase test;
  test.SetSubject(TestText(text.begin(), text.end()));
  test.expectation = EXPECT_REPLACED;
  test.SetReplaced(TestText(expected.begin(), expected.end()));
  TestActual actual;
  EXPECT_EQ(TEST_PASS, RunTestCase(compiled, test, TestLimits(), &actual).status);
  EXPECT_EQ(expected, std::vector<unsigned short>(actual.replaced.begin(), actual.replaced.end()));

  // The export lists each replacement: joined with the text between the matches (in text
  // order), they give the replaced text again.
  const ReplaceResult& rr = doc.GetReplaceResult();
  std::vector<unsigned short> joined;
  int covered = 0;
  for (const ReplaceSegment& seg : rr.Segments()) {
    const int start = std::max(seg.match->result.GetStart(), covered);
    joined.insert(joined.end(), text.begin() + covered, text.begin() + start);
    const std::vector<unsigned short> piece = rr.SegmentText(text.data(), seg);
    joined.insert(joined.end(), piece.begin(), piece.end());
    covered = std::max(covered, seg.match->result.GetEnd());
  }
  joined.insert(joined.end(), text.begin() + covered, text.end());
  EXPECT_EQ(expected, joined);
  EXPECT_EQ(rr.Segments().size(), static_cast<size_t>(CResultExport::ReplaceResultFile(rr, text.data(), true).count('\n')));
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return "Case" + std::to_string(info.index) + (info.param.rightToLeft ? "RightToLeft" : "");
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplaceRuleTest, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
