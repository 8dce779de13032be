// The runner client against the fake runner (fake_runner.cpp): units mapped to UTF-16, lone
// surrogates, compile errors, and every way a runner fails: crash, hang, garbage, a huge line,
// slowness, a missing interpreter, no hello, a refusal, an exit. The cell says so, the caller's
// thread goes on, the runner starts again, and no process is left behind.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/flavours/flavour_runner.h"

namespace {

FlavourLaunch Fake(const char* unit, bool surrogates, const char* behaviour = "good") {
  FlavourLaunch l;
  l.flavour = QStringLiteral("fake");
  l.program = QStringLiteral(KV_FAKE_RUNNER);
  l.runnerFile = l.program;
  l.arguments << QString::fromLatin1(unit) << QString::fromLatin1(surrogates ? "yes" : "no")
              << QString::fromLatin1(behaviour);
  return l;
}

FlavourRequest Ask(const QString& pattern, const QStringList& subjects, int timeoutMs = 1000) {
  FlavourRequest r;
  r.pattern = pattern;
  r.subjects = subjects;
  r.timeoutMs = timeoutMs;
  return r;
}

typedef std::vector<FlavourMatch> Matches;

// Children of this process in /proc: how many, and how many are zombies.
void CountChildren(int* alive, int* zombies) {
  *alive = *zombies = 0;
  const QString self = QString::number(QCoreApplication::applicationPid());
  for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool numeric = false;
    pid.toInt(&numeric);
    if (!numeric) continue;
    QFile f(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QByteArray stat = f.readAll();
    // pid (comm) state ppid ...: the command may hold blanks and parentheses, so read after the last ')'.
    const int close = stat.lastIndexOf(')');
    if (close < 0) continue;
    const QList<QByteArray> rest = stat.mid(close + 2).split(' ');
    if (rest.size() < 2 || rest[1] != self.toLatin1()) continue;
    if (rest[0] == "Z") ++*zombies;
    else ++*alive;
  }
}

// The same answer whatever unit the runner counts in: "b" in a text with a two-byte letter, an
// astral character, a combining mark and CRLF.
class RunnerUnits : public ::testing::TestWithParam<const char*> {};

TEST_P(RunnerUnits, OffsetsArriveInUtf16) {
  CFlavourRunner runner(Fake(GetParam(), true));
  const QString subject = QString::fromUtf16(u"\u00e9\U0001F600b\r\ne\u0301b");
  const FlavourAnswer a = runner.Run(Ask(QStringLiteral("b"), {subject, QStringLiteral("bb"), QString()}));
  ASSERT_EQ(a.outcome, FlavourOutcome::Compiled) << a.error.toStdString();
  EXPECT_EQ(a.engine, QStringLiteral("Fake engine"));
  EXPECT_EQ(a.version, QStringLiteral("1.0"));
  ASSERT_EQ(a.subjects.size(), 3u);
  EXPECT_EQ(a.subjects[0].status, SubjectStatus::Ok);
  EXPECT_EQ(a.subjects[0].matches, (Matches{{3, 4}, {8, 9}}));
  EXPECT_EQ(a.subjects[1].matches, (Matches{{0, 1}, {1, 2}}));
  EXPECT_EQ(a.subjects[2].status, SubjectStatus::Ok);
  EXPECT_TRUE(a.subjects[2].matches.empty());
  // A second request goes to the same process.
  const FlavourAnswer again = runner.Run(Ask(QString::fromUtf16(u"\U0001F600"), {subject}));
  EXPECT_EQ(again.subjects[0].matches, (Matches{{1, 3}}));
  EXPECT_EQ(runner.Starts(), 1);
}

INSTANTIATE_TEST_SUITE_P(Units, RunnerUnits, ::testing::Values("utf16", "codepoint", "utf8"));

TEST(FlavourRunner, LoneSurrogateGoesOnlyWhereItCanBeTaken) {
  const QString lone = QString::fromUtf16(u"a\xD800" u"a");
  for (bool surrogates : {false, true}) {
    CFlavourRunner runner(Fake(surrogates ? "utf16" : "utf8", surrogates));
    const FlavourAnswer a = runner.Run(Ask(QStringLiteral("a"), {QStringLiteral("a"), lone}));
    ASSERT_EQ(a.outcome, FlavourOutcome::Compiled) << a.error.toStdString();
    EXPECT_EQ(a.subjects[0].matches, (Matches{{0, 1}}));
    if (surrogates) {
      EXPECT_EQ(a.subjects[1].status, SubjectStatus::Ok);
      EXPECT_EQ(a.subjects[1].matches, (Matches{{0, 1}, {2, 3}}));
      EXPECT_EQ(runner.SubjectsSent(), 2);
    } else {
      EXPECT_EQ(a.subjects[1].status, SubjectStatus::Unrepresentable);
      EXPECT_TRUE(a.subjects[1].matches.empty());
      EXPECT_FALSE(a.subjects[1].error.isEmpty());
      EXPECT_EQ(runner.SubjectsSent(), 1);  // the other went as null
    }
  }
}

TEST(FlavourRunner, CompileErrorCarriesMessageAndOffset) {
  CFlavourRunner runner(Fake("utf16", true));
  const FlavourAnswer a = runner.Run(Ask(QStringLiteral("!"), {QStringLiteral("x")}));
  EXPECT_EQ(a.outcome, FlavourOutcome::CompileError);
  EXPECT_EQ(a.error, QStringLiteral("nothing to repeat"));
  EXPECT_EQ(a.errorOffset, 0);
  EXPECT_EQ(a.subjects[0].status, SubjectStatus::Failed);
}

// Each failure: what the request's answer says, and that the next request starts a new runner.
struct FailCase {
  const char* behaviour;
  FlavourOutcome outcome;
  const char* says;
  bool restarts;  // the next request starts another process
};

class RunnerFailures : public ::testing::TestWithParam<FailCase> {};

TEST_P(RunnerFailures, CellSaysSoAndRunnerStartsAgain) {
  const FailCase& c = GetParam();
  CFlavourRunner runner(Fake("utf16", true, c.behaviour));
  CFlavourRunner::Limits limits;
  limits.helloMs = 500;
  runner.SetLimits(limits);
  const FlavourAnswer a = runner.Run(Ask(QStringLiteral("a"), {QStringLiteral("a"), QStringLiteral("CRASH")}));
  EXPECT_EQ(a.outcome, c.outcome) << a.error.toStdString();
  EXPECT_TRUE(a.error.contains(QLatin1String(c.says))) << a.error.toStdString();
  for (const SubjectAnswer& s : a.subjects) {
    if (s.status != SubjectStatus::Ok) {
      EXPECT_FALSE(s.error.isEmpty());
    }
  }
  EXPECT_EQ(runner.ProcessId() == 0, c.restarts);
  runner.Run(Ask(QStringLiteral("a"), {QStringLiteral("a")}));
  EXPECT_EQ(runner.Starts(), c.restarts ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Behaviours, RunnerFailures,
    ::testing::Values(FailCase{"crash", FlavourOutcome::RunnerFailed, "crashed", true},
                      FailCase{"garbage", FlavourOutcome::RunnerFailed, "not JSON: this is not JSON", true},
                      FailCase{"huge", FlavourOutcome::RunnerFailed, "longer than 64 MiB", true},
                      // cut off at the limit, long before the watchdog
                      FailCase{"endless", FlavourOutcome::RunnerFailed, "longer than 64 MiB", true},
                      FailCase{"nohello", FlavourOutcome::RunnerFailed, "no hello within 500 ms", true},
                      FailCase{"exit", FlavourOutcome::RunnerFailed, "exited with code 3", true},
                      // A refusal leaves the runner reading: no restart.
                      FailCase{"fatal", FlavourOutcome::RunnerFailed, "told to refuse", false}),
    [](const ::testing::TestParamInfo<FailCase>& i) { return std::string(i.param.behaviour); });

TEST(FlavourRunner, CrashKeepsTheAnswersBeforeIt) {
  CFlavourRunner runner(Fake("utf16", true, "crash"));
  const FlavourAnswer a = runner.Run(Ask(QStringLiteral("a"), {QStringLiteral("ba"), QStringLiteral("CRASH"), QStringLiteral("a")}));
  EXPECT_EQ(a.outcome, FlavourOutcome::RunnerFailed);
  EXPECT_EQ(a.subjects[0].status, SubjectStatus::Ok);
  EXPECT_EQ(a.subjects[0].matches, (Matches{{1, 2}}));
  EXPECT_EQ(a.subjects[1].status, SubjectStatus::Failed);
  EXPECT_EQ(a.subjects[2].status, SubjectStatus::Failed);
}

TEST(FlavourRunner, WatchdogKillsHungRunnerAndResendsTheRest) {
  CFlavourRunner runner(Fake("codepoint", true, "hang"));
  CFlavourRunner::Limits limits;
  limits.slackMs = 300;
  runner.SetLimits(limits);
  const QStringList subjects = {QStringLiteral("xa"), QStringLiteral("HANG"), QString::fromUtf16(u"\U0001F600a")};
  FlavourRequest r = Ask(QStringLiteral("a"), subjects, 100);
  quint64 firstPid = 0;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (!firstPid) firstPid = static_cast<quint64>(runner.ProcessId());
  });
  probe.start(5);
  const FlavourAnswer a = runner.Run(r);
  ASSERT_EQ(a.outcome, FlavourOutcome::Compiled) << a.error.toStdString();
  EXPECT_EQ(a.subjects[0].matches, (Matches{{1, 2}}));
  EXPECT_EQ(a.subjects[1].status, SubjectStatus::Timeout);
  EXPECT_EQ(a.subjects[2].status, SubjectStatus::Ok);
  EXPECT_EQ(a.subjects[2].matches, (Matches{{2, 3}}));
  EXPECT_EQ(runner.Starts(), 2);
  // The hung process is gone, not left as a zombie.
  ASSERT_NE(firstPid, 0u);
  EXPECT_FALSE(QFile::exists(QStringLiteral("/proc/%1").arg(firstPid)));
}

TEST(FlavourRunner, SlowButAnsweringRunnerIsNotKilled) {
  CFlavourRunner runner(Fake("utf16", true, "slow"));
  CFlavourRunner::Limits limits;
  limits.slackMs = 600;  // each answer takes 200 ms: the watchdog waits 700 ms from one line to the next
  runner.SetLimits(limits);
  const FlavourAnswer a = runner.Run(Ask(QStringLiteral("a"), {QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("a"),
                                                               QStringLiteral("a"), QStringLiteral("a")}, 100));
  ASSERT_EQ(a.outcome, FlavourOutcome::Compiled) << a.error.toStdString();
  for (const SubjectAnswer& s : a.subjects) EXPECT_EQ(s.status, SubjectStatus::Ok);
  EXPECT_EQ(runner.Starts(), 1);
}

TEST(FlavourRunner, MissingRuntimeIsNotInstalled) {
  FlavourLaunch l = Fake("utf16", true);
  l.notInstalled = QStringLiteral("not installed: apt-get install ruby");
  CFlavourRunner runner(l);
  const FlavourAnswer a = runner.Run(Ask(QStringLiteral("a"), {QStringLiteral("a")}));
  EXPECT_EQ(a.outcome, FlavourOutcome::NotInstalled);
  EXPECT_EQ(a.error, l.notInstalled);
  EXPECT_EQ(runner.Starts(), 0);

  // A program that vanished after the table looked: it cannot start.
  FlavourLaunch gone = Fake("utf16", true);
  gone.program = QStringLiteral("/no/such/interpreter");
  CFlavourRunner runner2(gone);
  const FlavourAnswer b = runner2.Run(Ask(QStringLiteral("a"), {QStringLiteral("a")}));
  EXPECT_EQ(b.outcome, FlavourOutcome::RunnerFailed);
  EXPECT_TRUE(b.error.contains(QLatin1String("cannot start"))) << b.error.toStdString();

  // A runner file that is missing from the runners folder.
  FlavourLaunch noFile = Fake("utf16", true);
  noFile.runnerFile = QStringLiteral("/no/such/runner.rb");
  CFlavourRunner runner3(noFile);
  const FlavourAnswer c = runner3.Run(Ask(QStringLiteral("a"), {QStringLiteral("a")}));
  EXPECT_EQ(c.outcome, FlavourOutcome::RunnerFailed);
  EXPECT_TRUE(c.error.contains(QLatin1String("/no/such/runner.rb")));
}

TEST(FlavourRunner, CallerThreadKeepsRunningWhileARunnerHangs) {
  CFlavourRunner runner(Fake("utf16", true, "hang"));
  CFlavourRunner::Limits limits;
  limits.slackMs = 1000;
  runner.SetLimits(limits);
  int ticks = 0, ticksAtAnswer = -1;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
  tick.start(20);
  bool done = false;
  QObject::connect(&runner, &CFlavourRunner::Finished, [&](quint64, const FlavourAnswer&) {
    done = true;
    ticksAtAnswer = ticks;
  });
  QElapsedTimer t;
  t.start();
  runner.Start(Ask(QStringLiteral("a"), {QStringLiteral("HANG")}, 100));
  const qint64 startMs = t.elapsed();
  EXPECT_FALSE(done);  // never answered from inside Start()
  while (!done && t.elapsed() < 30000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  ASSERT_TRUE(done);
  // Start() returned at once, and the event loop ran all along the 1.1 s the watchdog waited.
  EXPECT_LT(startMs, 1000);
  EXPECT_GE(ticksAtAnswer, 10);
}

TEST(FlavourRunner, NoZombiesAfterAThousandRequests) {
  CFlavourRunner runner(Fake("utf8", false, "crash"));
  int crashes = 0;
  for (int i = 0; i < 1000; ++i) {
    const bool crash = i % 25 == 0;
    const FlavourAnswer a = runner.Run(Ask(QStringLiteral("a"), {crash ? QStringLiteral("CRASH") : QStringLiteral("aa")}));
    if (crash) {
      ++crashes;
      ASSERT_EQ(a.outcome, FlavourOutcome::RunnerFailed) << i;
    } else {
      ASSERT_EQ(a.outcome, FlavourOutcome::Compiled) << i << ": " << a.error.toStdString();
      ASSERT_EQ(a.subjects[0].matches.size(), 2u) << i;
    }
  }
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // Every crash costs one start, for the request after it.
  EXPECT_EQ(runner.Starts(), crashes + 1);
  int alive = 0, zombies = 0;
  CountChildren(&alive, &zombies);
  EXPECT_EQ(zombies, 0);
  EXPECT_LE(alive, 1);  // the one runner in use
}

}  // namespace
