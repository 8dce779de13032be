// The pool: at most N flavours busy, the newest request wins, answers cached by flavour, engine
// version, pattern, flags and subject; Korvane's own column; and the comparison of each cell
// with Korvane's.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <map>

#include "app/flavours/flavour_compare.h"
#include "app/flavours/flavour_pool.h"
#include "app/flavours/korvane_column.h"

namespace {

typedef std::vector<FlavourMatch> Matches;

// Flavours "slow1".."slow4" and "fast" are fake runners; "missing" has no runtime.
FlavourLaunch FakeFor(const QString& flavour) {
  FlavourLaunch l;
  l.flavour = flavour;
  l.program = QStringLiteral(KV_FAKE_RUNNER);
  l.runnerFile = l.program;
  l.arguments << QStringLiteral("utf16") << QStringLiteral("yes")
              << (flavour.startsWith(QLatin1String("slow")) ? QStringLiteral("slow") : QStringLiteral("good"));
  if (flavour == QLatin1String("missing")) l.notInstalled = QStringLiteral("not installed: apt-get install nothing");
  return l;
}

FlavourRequest Ask(const QString& pattern, const QStringList& subjects, const QString& flags = QString()) {
  FlavourRequest r;
  r.pattern = pattern;
  r.flags = flags;
  r.subjects = subjects;
  return r;
}

// Every Answered signal of a pool, in order.
struct Recorder {
  std::vector<std::pair<quint64, QString>> answered;
  std::map<quint64, int> allAnswered;
  std::map<std::pair<quint64, QString>, FlavourAnswer> answers;
  explicit Recorder(CFlavourPool& pool) {
    QObject::connect(&pool, &CFlavourPool::Answered, [this](quint64 r, const QString& f, const FlavourAnswer& a) {
      answered.emplace_back(r, f);
      answers[{r, f}] = a;
    });
    QObject::connect(&pool, &CFlavourPool::AllAnswered, [this](quint64 r) { ++allAnswered[r]; });
  }
  void WaitFor(quint64 request) {
    QElapsedTimer t;
    t.start();
    while (!allAnswered.count(request) && t.elapsed() < 60000)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_TRUE(allAnswered.count(request)) << "request " << request << " never finished";
  }
};

class PoolBusyLimit : public ::testing::TestWithParam<int> {};

TEST_P(PoolBusyLimit, NeverMoreThanTheLimitBusy) {
  CFlavourPool pool;
  pool.SetLauncher(&FakeFor);
  pool.SetMaxBusy(GetParam());
  Recorder rec(pool);
  const QStringList flavours = {"slow1", "slow2", "slow3", "slow4"};
  const quint64 id = pool.Request(flavours, Ask(QStringLiteral("a"), {QStringLiteral("a"), QStringLiteral("ba")}));
  EXPECT_EQ(pool.Busy(), 0);  // nothing starts inside Request()
  rec.WaitFor(id);
  EXPECT_EQ(pool.MostBusy(), GetParam());
  EXPECT_EQ(pool.Busy(), 0);
  EXPECT_EQ(rec.answered.size(), 4u);
  for (const QString& f : flavours) {
    const FlavourAnswer& a = rec.answers[std::make_pair(id, f)];
    EXPECT_EQ(a.subjects[1].matches, (Matches{{1, 2}})) << f.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Limits, PoolBusyLimit, ::testing::Values(1, 2));

TEST(FlavourPool, NewestRequestWins) {
  CFlavourPool pool;
  pool.SetLauncher(&FakeFor);
  pool.SetMaxBusy(1);
  Recorder rec(pool);
  // slow1 takes the one busy place; slow2 waits behind it and is asked again by the newer edit.
  const quint64 older = pool.Request({"slow1", "slow2"}, Ask(QStringLiteral("a"), {QStringLiteral("old a")}));
  QCoreApplication::processEvents();  // slow1 starts
  const quint64 newer = pool.Request({"slow2"}, Ask(QStringLiteral("a"), {QStringLiteral("new aa")}));
  rec.WaitFor(newer);
  rec.WaitFor(older);
  int slow2 = 0;
  for (const auto& a : rec.answered)
    if (a.second == QLatin1String("slow2")) ++slow2;
  EXPECT_EQ(slow2, 1);  // the waiting older job was dropped, never run
  EXPECT_FALSE(rec.answers.count({older, QStringLiteral("slow2")}));
  ASSERT_TRUE(rec.answers.count({newer, QStringLiteral("slow2")}));
  EXPECT_EQ(rec.answers[std::make_pair(newer, QStringLiteral("slow2"))].subjects[0].matches, (Matches{{4, 5}, {5, 6}}));
  EXPECT_TRUE(rec.answers.count({older, QStringLiteral("slow1")}));
  EXPECT_EQ(rec.allAnswered[older], 1);
  EXPECT_EQ(rec.allAnswered[newer], 1);
}

TEST(FlavourPool, CachedSubjectsAreNotAskedAgain) {
  CFlavourPool pool;
  pool.SetLauncher(&FakeFor);
  const FlavourAnswer first = pool.RunBlocking({"fast"}, Ask(QStringLiteral("a"), {"a", "ba"}))[0];
  ASSERT_EQ(first.outcome, FlavourOutcome::Compiled);
  CFlavourRunner* runner = pool.RunnerOf(QStringLiteral("fast"));
  ASSERT_NE(runner, nullptr);
  EXPECT_EQ(runner->SubjectsSent(), 2);
  // The same request again: all from the cache.
  const FlavourAnswer again = pool.RunBlocking({"fast"}, Ask(QStringLiteral("a"), {"a", "ba"}))[0];
  EXPECT_EQ(pool.CacheHits(), 1);
  EXPECT_EQ(runner->SubjectsSent(), 2);
  EXPECT_EQ(again.subjects, first.subjects);
  EXPECT_EQ(again.engine, QStringLiteral("Fake engine"));
  // One new subject among known ones: only it goes to the runner, the answer in request order.
  const FlavourAnswer mixed = pool.RunBlocking({"fast"}, Ask(QStringLiteral("a"), {"ba", "caa", "a"}))[0];
  EXPECT_EQ(runner->SubjectsSent(), 3);
  ASSERT_EQ(mixed.subjects.size(), 3u);
  EXPECT_EQ(mixed.subjects[0].matches, (Matches{{1, 2}}));
  EXPECT_EQ(mixed.subjects[1].matches, (Matches{{1, 2}, {2, 3}}));
  EXPECT_EQ(mixed.subjects[2].matches, (Matches{{0, 1}}));
  // Another pattern or other flags: asked again.
  pool.RunBlocking({"fast"}, Ask(QStringLiteral("b"), {"a"}));
  EXPECT_EQ(runner->SubjectsSent(), 4);
  pool.RunBlocking({"fast"}, Ask(QStringLiteral("a"), {"a"}, QStringLiteral("i")));
  EXPECT_EQ(runner->SubjectsSent(), 5);
  // A compile error is cached too.
  pool.RunBlocking({"fast"}, Ask(QStringLiteral("!"), {"a"}));
  const FlavourAnswer error = pool.RunBlocking({"fast"}, Ask(QStringLiteral("!"), {"zzz"}))[0];
  EXPECT_EQ(error.outcome, FlavourOutcome::CompileError);
  EXPECT_EQ(pool.CacheHits(), 2);
}

// A flavour pointed at another interpreter gets a new runner for its next job: at once when
// idle, after its job when busy (the job's answer still comes, from the old runner).
TEST(FlavourPool, AForgottenRunnerIsStartedAgain) {
  CFlavourPool pool;
  int launches = 0;
  pool.SetLauncher([&launches](const QString& flavour) {
    ++launches;
    return FakeFor(flavour);
  });
  ASSERT_EQ(pool.RunBlocking({"fast"}, Ask(QStringLiteral("a"), {"a"}))[0].outcome, FlavourOutcome::Compiled);
  EXPECT_EQ(launches, 1);
  pool.ForgetRunner(QStringLiteral("fast"));
  EXPECT_EQ(pool.RunnerOf(QStringLiteral("fast")), nullptr);
  ASSERT_EQ(pool.RunBlocking({"fast"}, Ask(QStringLiteral("b"), {"b"}))[0].outcome, FlavourOutcome::Compiled);
  EXPECT_EQ(launches, 2);
  // Busy: forgotten when its answer is in.
  Recorder rec(pool);
  const quint64 busy = pool.Request({"slow"}, Ask(QStringLiteral("a"), {"a", "aa"}));
  QElapsedTimer t;
  t.start();
  while (!pool.RunnerOf(QStringLiteral("slow")) && t.elapsed() < 60000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  pool.ForgetRunner(QStringLiteral("slow"));
  rec.WaitFor(busy);
  const FlavourAnswer& old = rec.answers[std::make_pair(busy, QStringLiteral("slow"))];
  EXPECT_EQ(old.subjects.size(), 2u);
  EXPECT_EQ(launches, 3);
  ASSERT_EQ(pool.RunBlocking({"slow"}, Ask(QStringLiteral("c"), {"c"}))[0].outcome, FlavourOutcome::Compiled);
  EXPECT_EQ(launches, 4);
}

// A pool that goes away while Korvane's column works through slow subjects (each up to its
// time limit) stops it at once instead of waiting for the rest of the request.
TEST(FlavourPool, GoingAwayStopsKorvanesColumn) {
  FlavourRequest slow = Ask(QStringLiteral("(?:a|aa)*(?:b|c)"), {});
  for (int i = 0; i < 20; ++i) slow.subjects << QString(10000 + i, QLatin1Char('a'));
  slow.timeoutMs = 1000;  // 20 s for the whole request
  QElapsedTimer t;
  {
    CFlavourPool pool;
    pool.Request({"korvane"}, slow);
    QCoreApplication::processEvents();  // the column starts from the event loop
    QElapsedTimer started;
    started.start();
    while (pool.Busy() == 0 && started.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(pool.Busy(), 1);
    t.start();
  }
  EXPECT_LT(t.elapsed(), 10000) << "the pool waited for the whole request";
}

TEST(FlavourPool, KorvaneColumnAndUnknownFlavours) {
  CFlavourPool pool;
  pool.SetLauncher(&FakeFor);
  const std::vector<FlavourAnswer> a =
      pool.RunBlocking({"korvane", "missing"}, Ask(QStringLiteral("a(b)?"), {QStringLiteral("ab a"), QString()}));
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[0].outcome, FlavourOutcome::Compiled);
  EXPECT_EQ(a[0].groups, 1);
  EXPECT_EQ(a[0].subjects[0].matches, (Matches{{0, 2, 1, 2}, {3, 4, -1, -1}}));
  EXPECT_TRUE(a[0].subjects[1].matches.empty());
  EXPECT_EQ(a[1].outcome, FlavourOutcome::NotInstalled);
  EXPECT_EQ(a[1].error, QStringLiteral("not installed: apt-get install nothing"));
}

TEST(KorvaneColumn, FlagsTimeoutsAndTruncation) {
  FlavourRequest r = Ask(QStringLiteral("^a.$"), {QStringLiteral("A\n\nA\n")}, QStringLiteral("ims"));
  FlavourAnswer a = RunKorvaneColumn(r);
  EXPECT_EQ(a.subjects[0].matches, (Matches{{0, 2}, {3, 5}}));
  r.flags = QStringLiteral("im");  // "." stops at a line break
  EXPECT_TRUE(RunKorvaneColumn(r).subjects[0].matches.empty());
  r.flags = QStringLiteral("is");  // "^" and "$" only at the ends of the text
  EXPECT_EQ(RunKorvaneColumn(r).subjects[0].matches, (Matches{}));
  r.flags = QStringLiteral("ms");  // case matters
  EXPECT_TRUE(RunKorvaneColumn(r).subjects[0].matches.empty());
  r.flags = QStringLiteral("q");
  EXPECT_EQ(RunKorvaneColumn(r).outcome, FlavourOutcome::CompileError);
  // A catastrophic pattern stops at its time limit.
  FlavourRequest slow = Ask(QStringLiteral("^(a|a)+\\1$"), {QString(30, QLatin1Char('a')) + QLatin1Char('c'), QStringLiteral("aa")});
  slow.timeoutMs = 50;
  a = RunKorvaneColumn(slow);
  EXPECT_EQ(a.subjects[0].status, SubjectStatus::Timeout);
  EXPECT_EQ(a.subjects[1].status, SubjectStatus::Ok);
  FlavourRequest many = Ask(QStringLiteral("a"), {QString(50, QLatin1Char('a'))});
  many.maxMatches = 10;
  a = RunKorvaneColumn(many);
  EXPECT_EQ(a.subjects[0].matches.size(), 10u);
  EXPECT_TRUE(a.subjects[0].truncated);
}

// Korvane's answer and a flavour's, cell by cell.
struct CompareCase {
  const char* name;
  FlavourOutcome outcome;
  SubjectStatus status;
  Matches theirs;
  SubjectStatus ours;
  CellStatus want;
};

TEST(FlavourCompare, EveryCellStatus) {
  const Matches mine = {{0, 1, 0, 1}};
  const CompareCase cases[] = {
      {"same", FlavourOutcome::Compiled, SubjectStatus::Ok, {{0, 1, 0, 1}}, SubjectStatus::Ok, CellStatus::Same},
      {"other span", FlavourOutcome::Compiled, SubjectStatus::Ok, {{0, 2, 0, 1}}, SubjectStatus::Ok, CellStatus::Differs},
      {"group unset", FlavourOutcome::Compiled, SubjectStatus::Ok, {{0, 1, -1, -1}}, SubjectStatus::Ok, CellStatus::Differs},
      {"no match", FlavourOutcome::Compiled, SubjectStatus::Ok, {}, SubjectStatus::Ok, CellStatus::Differs},
      {"extra match", FlavourOutcome::Compiled, SubjectStatus::Ok, {{0, 1, 0, 1}, {2, 3, 2, 3}}, SubjectStatus::Ok, CellStatus::Differs},
      {"compile error", FlavourOutcome::CompileError, SubjectStatus::Failed, {}, SubjectStatus::Ok, CellStatus::Error},
      {"runner failed", FlavourOutcome::RunnerFailed, SubjectStatus::Failed, {}, SubjectStatus::Ok, CellStatus::Error},
      {"run-time error", FlavourOutcome::Compiled, SubjectStatus::Error, {}, SubjectStatus::Ok, CellStatus::Error},
      {"not installed", FlavourOutcome::NotInstalled, SubjectStatus::Failed, {}, SubjectStatus::Ok, CellStatus::NotInstalled},
      {"their timeout", FlavourOutcome::Compiled, SubjectStatus::Timeout, {}, SubjectStatus::Ok, CellStatus::Timeout},
      {"our timeout", FlavourOutcome::Compiled, SubjectStatus::Ok, {{0, 1, 0, 1}}, SubjectStatus::Timeout, CellStatus::Timeout},
      {"unrepresentable", FlavourOutcome::Compiled, SubjectStatus::Unrepresentable, {}, SubjectStatus::Ok, CellStatus::Unrepresentable},
  };
  for (const CompareCase& c : cases) {
    FlavourAnswer korvane;
    korvane.outcome = FlavourOutcome::Compiled;
    korvane.subjects.resize(1);
    korvane.subjects[0].status = c.ours;
    korvane.subjects[0].matches = c.ours == SubjectStatus::Ok ? mine : Matches();
    FlavourAnswer other;
    other.outcome = c.outcome;
    other.error = QStringLiteral("why");
    other.subjects.resize(1);
    other.subjects[0].status = c.status;
    other.subjects[0].matches = c.theirs;
    const FlavourCell cell = CompareWithKorvane(korvane, other, 0);
    EXPECT_EQ(cell.status, c.want) << c.name << ": " << CellStatusName(cell.status);
  }
  EXPECT_STREQ(CellStatusName(CellStatus::NotInstalled), "not-installed");
  EXPECT_STREQ(CellStatusName(CellStatus::Unrepresentable), "unrepresentable");
}

}  // namespace
