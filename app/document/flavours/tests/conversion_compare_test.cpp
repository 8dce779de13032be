// The comparison behind "verified", on answers written by hand: the group map, the cut at
// Korvane's first empty match for targets whose find-all goes on otherwise, and what is never
// counted as the same.
#include <gtest/gtest.h>

#include "app/document/flavours/conversion_check.h"

namespace {

FlavourAnswer Answer(const char* flavour, std::vector<std::vector<FlavourMatch>> subjects) {
  FlavourAnswer a;
  a.flavour = QString::fromLatin1(flavour);
  a.outcome = FlavourOutcome::Compiled;
  for (auto& matches : subjects) {
    SubjectAnswer s;
    s.status = SubjectStatus::Ok;
    s.matches = std::move(matches);
    a.subjects.push_back(s);
  }
  return a;
}

struct CompareRow {
  const char* name;
  const char* flavour;
  std::vector<FlavourMatch> korvane, target;
  bool same;
  bool upToEmpty;
};

TEST(ConversionCompare, SameOnlyWhereBothFindAllAgree) {
  const CompareRow rows[] = {
      {"both agree", "python", {{0, 2}, {3, 5}}, {{0, 2}, {3, 5}}, true, false},
      {"the target finds one more", "python", {{0, 2}}, {{0, 2}, {3, 5}}, false, false},
      {"Korvane finds nothing, the target one", "python", {}, {{0, 2}}, false, false},
      {"an empty match in the target only", "python", {{0, 2}}, {{0, 2}, {2, 2}}, false, false},
      // After an empty match Python tries the same place again for a longer one: compared up to
      // Korvane's first empty match only.
      {"Python after an empty match", "python", {{0, 1}, {1, 1}, {2, 2}}, {{0, 1}, {1, 1}, {1, 2}}, true, true},
      {"Python before the empty match", "python", {{0, 1}, {1, 1}}, {{0, 2}, {2, 2}}, false, false},
      // JavaScript goes on as Korvane does: the whole lists.
      {"JavaScript after an empty match", "js", {{0, 1}, {1, 1}, {2, 2}}, {{0, 1}, {1, 1}, {1, 2}}, false, false},
      {"JavaScript the same", "js", {{0, 0}, {1, 1}}, {{0, 0}, {1, 1}}, true, false},
  };
  for (const CompareRow& row : rows) {
    SCOPED_TRACE(row.name);
    const ConversionCheck c = CompareConversion(Answer("korvane", {row.korvane}), Answer(row.flavour, {row.target}));
    EXPECT_EQ(c.of, 1);
    EXPECT_EQ(c.same, row.same ? 1 : 0);
    EXPECT_EQ(c.Verified(), row.same);
    EXPECT_EQ(c.upToEmpty, row.upToEmpty ? 1 : 0);
  }
}

TEST(ConversionCompare, TargetGroupsReadThroughTheMap) {
  // Korvane: 1 = month, 2 = year; the target numbers year first.
  const FlavourAnswer target = Answer("python", {{{0, 7, 0, 4, 5, 7}}});
  const FlavourAnswer mapped = InKorvaneNumbering(target, {0, 2, 1}, 2);
  ASSERT_EQ(mapped.subjects.size(), 1u);
  EXPECT_EQ(mapped.subjects[0].matches[0], (FlavourMatch{0, 7, 5, 7, 0, 4}));
  const ConversionCheck c = CompareConversion(Answer("korvane", {{{0, 7, 5, 7, 0, 4}}}), mapped);
  EXPECT_TRUE(c.Verified());
  // Unmapped, the same answer differs.
  EXPECT_FALSE(CompareConversion(Answer("korvane", {{{0, 7, 5, 7, 0, 4}}}), target).Verified());
}

TEST(ConversionCompare, NeverSameWithoutAnAnswer) {
  FlavourAnswer refused = Answer("python", {{}, {}});
  refused.outcome = FlavourOutcome::CompileError;
  refused.error = QStringLiteral("look-behind requires fixed-width pattern");
  ConversionCheck c = CompareConversion(Answer("korvane", {{}, {}}), refused);
  EXPECT_EQ(c.same, 0);
  EXPECT_EQ(c.error, refused.error);
  EXPECT_FALSE(c.Verified());

  FlavourAnswer late = Answer("python", {{}});
  late.subjects[0].status = SubjectStatus::Timeout;
  c = CompareConversion(Answer("korvane", {{}}), late);
  EXPECT_FALSE(c.Verified());
  ASSERT_EQ(c.status.size(), 1u);
  EXPECT_EQ(c.status[0], CellStatus::Timeout);

  // No subject at all: the target compiled it, and there is nothing to differ on.
  EXPECT_TRUE(CompareConversion(Answer("korvane", {}), Answer("python", {})).Verified());
}

}  // namespace
