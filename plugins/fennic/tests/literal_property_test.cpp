// Property tests of the rewrites fennic makes to a pattern outside the element tree: on random
// patterns, options and subjects, the rewritten pattern finds the same successive matches (start
// and end) as the original (searches cut off after a budget of steps are not compared).
//   - a literal exported for each language and imported back (C++ and Java through the C++
//     import, Visual Basic through its own);
//   - the pattern of a code sample whose library has no comment groups: comments taken out
//     (and, extended, the white space and # comments too);
//   - the pattern of a code sample whose library has no single-line option: with the option,
//     the original; without it, the pattern whose dots were written as (?:.|\n).
// CTest runs a fixed seed; scripts/fennic_props runs a longer one (--seed=S --count=N).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "plugins/fennic/codegen.h"
#include "plugins/fennic/fennic_text.h"
#include "plugins/fennic/literals.h"
#include "plugins/fennic/tests/property_tally.h"
#include "plugins/fennic/tests/random_patterns.h"

namespace fennic {
namespace {

using fennic_props::CRandom;

using fennic_props::Spans;
using fennic_props::Show;
using fennic_props::Tally;

struct Case {
  std::u16string pattern;
  int flags;
  std::vector<std::u16string> subjects;
};

Case RandomCase(int index) {
  CRandom r(fennic_props::CaseSeed(index));
  Case c;
  c.flags = fennic_props::RandomFlags(r);
  fennic_props::CPatternGen gen(r, c.flags, fennic_props::CPatternGen::Features());
  c.pattern = gen.Pattern();
  for (int k = 0; k < 6; ++k) c.subjects.push_back(fennic_props::RandomSubject(r));
  return c;
}

TEST(LiteralProperty, ExportThenImportKeepsMatchSpans) {
  struct Trip {
    const char* name;
    std::u16string (*exporter)(const std::u16string&);
    std::u16string (*importer)(const std::u16string&);
  };
  Tally cpp{"C++ literal"}, java{"Java literal"}, vb{"Visual Basic literal"};
  const struct {
    Tally* tally;
    Trip trip;
  } trips[] = {{&cpp, {"C++", CppExport, CppImport}},
               {&java, {"Java", JavaExport, CppImport}},
               {&vb, {"Visual Basic", VbExport, VbImport}}};
  for (int i = fennic_props::Options().first; i < fennic_props::Options().count; ++i) {
    Case c = RandomCase(i);
    for (const auto& t : trips)
      t.tally->Compare(i, c.pattern, c.flags, t.trip.importer(t.trip.exporter(c.pattern)), c.flags, c.subjects);
  }
  EXPECT_EQ(0, cpp.disagreements);
  EXPECT_EQ(0, java.disagreements);
  EXPECT_EQ(0, vb.disagreements);
}

TEST(LiteralProperty, CommentRemovalKeepsMatchSpans) {
  Tally tally{"comments taken out"};
  for (int i = fennic_props::Options().first; i < fennic_props::Options().count; ++i) {
    Case c = RandomCase(i);
    tally.Compare(i, c.pattern, c.flags, RemovePatternComments(c.pattern, c.flags), c.flags, c.subjects);
  }
  EXPECT_EQ(0, tally.disagreements);
  EXPECT_GT(tally.rewritten, tally.cases / 4);
}

TEST(LiteralProperty, SingleLineDotsKeepMatchSpans) {
  Tally tally{"single-line dots"};
  for (int i = fennic_props::Options().first; i < fennic_props::Options().count; ++i) {
    Case c = RandomCase(i);
    const int flags = c.flags | SINGLELINE;
    for (std::u16string& subject : c.subjects) subject += u"\na\n";
    tally.Compare(i, c.pattern, flags, RewriteSingleLineDots(c.pattern, flags), flags & ~SINGLELINE, c.subjects);
  }
  EXPECT_EQ(0, tally.disagreements);
  EXPECT_GT(tally.rewritten, tally.cases / 6);
}

}  // namespace
}  // namespace fennic
