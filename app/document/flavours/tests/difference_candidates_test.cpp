// The subjects a difference search tries: what each seed becomes, each once, shortest first.
#include <gtest/gtest.h>

#include <QSet>

#include "app/document/flavours/difference_search.h"

namespace {

TEST(DifferenceCandidates, HoldTheTriggersOfEachSeedShortestFirst) {
  const QStringList c = DifferenceCandidates({QStringLiteral("2024-05 kiss")}, QStringLiteral("\\d+$"), -1);
  ASSERT_FALSE(c.isEmpty());
  EXPECT_EQ(QString(), c.first()) << "the empty text comes first";
  EXPECT_EQ(c.size(), QSet<QString>(c.begin(), c.end()).size()) << "each once";
  for (int i = 1; i < c.size(); ++i) EXPECT_LE(c.at(i - 1).size(), c.at(i).size()) << i;
  struct Want {
    QString text;
    const char* why;
  };
  const Want wanted[] = {
      {QStringLiteral("2024-05 kiss"), "the seed itself"},
      {QStringLiteral("2024-05 kiss\n"), "a final newline"},
      {QStringLiteral("2024-05 kiss\r\n"), "CRLF"},
      {QStringLiteral("2\n"), "a short piece with a final newline"},
      {QString::fromUtf16(u"\u0663024-05 kiss"), "a non-ASCII digit in place of the first"},
      {QString::fromUtf16(u"2024-05\u00A0kiss"), "a no-break space"},
      {QString::fromUtf16(u"2024-05 \u212Aiss"), "the Kelvin sign"},
      {QString::fromUtf16(u"2024-05 ki\u017F\u017F"), "long s"},
      {QString::fromUtf16(u"2024-05 kiss\U0001F600"), "an astral character"},
      {QStringLiteral("ddd\n"), "a run of the pattern's own letter"},
  };
  for (const Want& w : wanted) EXPECT_TRUE(c.contains(w.text)) << w.why;
}

TEST(DifferenceCandidates, KeepToTheLimitAndCutLongSeeds) {
  const QString big(100000, QLatin1Char('x'));
  const QStringList c = DifferenceCandidates({big}, QStringLiteral("x+"), 50);
  EXPECT_EQ(50, c.size());
  for (const QString& s : c) EXPECT_LE(s.size(), 4096 + 2) << "a long seed is cut";
  EXPECT_TRUE(DifferenceCandidates({}, QString(), -1).contains(QStringLiteral("\n")));
}

}  // namespace
