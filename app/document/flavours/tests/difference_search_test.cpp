// Find a difference with a real engine (CPython's re and V8): a subject on which it and Korvane
// disagree, none where they agree on everything tried, and a clear answer when the flavour
// refuses the pattern. A flavour whose runtime is missing is skipped, never passed.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "app/document/flavours/difference_search.h"
#include "app/flavours/flavour_compare.h"
#include "app/flavours/flavour_pool.h"
#include "app/flavours/flavour_table.h"

namespace {

bool Installed(const char* name) { return FlavourInstalled(QString::fromLatin1(name)); }

void Search(CDifferenceSearch& search, CFlavourPool& pool, const char* flavour, const char* pattern, const QStringList& seeds) {
  search.Start(&pool, QString::fromLatin1(flavour), QString::fromUtf8(pattern), QString(), seeds);
  QElapsedTimer t;
  t.start();
  while (search.GetState() == CDifferenceSearch::State::Running && t.elapsed() < 60000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

TEST(DifferenceSearch, FindsAShortSubjectWherePythonDiffers) {
  if (!Installed("python")) GTEST_SKIP() << "python3 is not installed";
  CFlavourPool pool;
  CDifferenceSearch search;
  // $ before a final newline, and \d for other scripts' digits: Python reads both otherwise.
  Search(search, pool, "python", "\\d+$", {QStringLiteral("2024")});
  ASSERT_EQ(CDifferenceSearch::State::Found, search.GetState()) << search.Problem().toStdString();
  EXPECT_LE(search.Subject().size(), 2) << search.Subject().toStdString();
  EXPECT_FALSE(search.KorvaneAnswer().matches == search.FlavourAnswerRow().matches);
  // Asked again on its own, the subject still sets the two apart.
  FlavourRequest again;
  again.pattern = QStringLiteral("\\d+$");
  again.subjects = QStringList{search.Subject()};
  const std::vector<FlavourAnswer> a = pool.RunBlocking({QStringLiteral("korvane"), QStringLiteral("python")}, again);
  ASSERT_EQ(2u, a.size());
  EXPECT_EQ(CellStatus::Differs, CompareWithKorvane(a[0], a[1], 0).status);
}

TEST(DifferenceSearch, NoneWhereTheEnginesAgreeAndAReasonWhenTheFlavourRefuses) {
  if (!Installed("python") || !Installed("js")) GTEST_SKIP() << "python3 or node is not installed";
  CFlavourPool pool;
  CDifferenceSearch search;
  Search(search, pool, "python", "05", {QStringLiteral("2024-05")});
  EXPECT_EQ(CDifferenceSearch::State::NotFound, search.GetState()) << search.Subject().toStdString();
  EXPECT_GT(search.Tried(), 20);
  // V8 has no (?P<name>...): no subject can show a difference, and the search says why.
  Search(search, pool, "js", "(?P<y>\\d)", {QStringLiteral("1")});
  EXPECT_EQ(CDifferenceSearch::State::Failed, search.GetState());
  EXPECT_FALSE(search.Problem().isEmpty());
}

}  // namespace
