// Tests of CSharedCounter across processes: other copies see and change one value, a fresh
// start after every copy has gone (cleanly or by crashing) finds 0, a running copy keeps the
// value alive, and an object owned by someone else is not trusted.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>

#include "platform/shared_counter.h"

#if defined(__unix__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kGenerousMs = 60000;

// A name of its own for each test, so that parallel test runs never meet.
QString UniqueName() {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  return QStringLiteral("kvtest-%1-%2").arg(QCoreApplication::applicationPid()).arg(QString::fromLatin1(info->name()));
}

struct HelperResult {
  bool finished = false;
  bool crashed = false;
  int exitCode = -1;
  QList<int> values;
};

QList<int> ParseValues(const QByteArray& out) {
  QList<int> values;
  for (const QByteArray& line : out.split('\n'))
    if (!line.trimmed().isEmpty()) values.append(line.trimmed().toInt());
  return values;
}

HelperResult RunHelper(const QString& name, const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(KV_COUNTER_HELPER), QStringList{name} + args);
  HelperResult r;
  if (!p.waitForStarted(kGenerousMs)) return r;
  p.closeWriteChannel();
  r.finished = p.waitForFinished(kGenerousMs);
  r.crashed = p.exitStatus() == QProcess::CrashExit;
  r.exitCode = p.exitCode();
  r.values = ParseValues(p.readAllStandardOutput());
  return r;
}

// The value stored in the shared object, looked at directly (without taking any lock).
int RawValue(const QString& name) {
  const QByteArray shm = CSharedCounter::SharedName(name).toUtf8();
  const int fd = shm_open(shm.constData(), O_RDONLY, 0);
  if (fd < 0) return -1;
  int value = -1;
  void* m = mmap(nullptr, sizeof(int), PROT_READ, MAP_SHARED, fd, 0);
  if (m != MAP_FAILED) {
    value = *static_cast<volatile int*>(m);
    munmap(m, sizeof(int));
  }
  close(fd);
  return value;
}

class SharedCounter : public testing::Test {
 protected:
  void SetUp() override {
    m_name = UniqueName();
    CSharedCounter::RemoveShared(m_name);
  }
  void TearDown() override { CSharedCounter::RemoveShared(m_name); }
  QString m_name;
};

TEST(SharedCounterNames, PerUserAndSanitised) {
  const QString suffix = QLatin1Char('-') + QString::number(getuid());
  EXPECT_EQ(QStringLiteral("/korvane-clips") + suffix, CSharedCounter::SharedName(QStringLiteral("korvane-clips")));
  EXPECT_EQ(QStringLiteral("/a_b_c") + suffix, CSharedCounter::SharedName(QStringLiteral("a/b c")));
  EXPECT_EQ(QStringLiteral("/_") + suffix, CSharedCounter::SharedName(QString()));
}

TEST_F(SharedCounter, StartsAtZeroAndIncrementReturnsTheNewValue) {
  CSharedCounter c;
  EXPECT_FALSE(c.IsOpen());
  EXPECT_EQ(0, c.Read());
  EXPECT_EQ(0, c.Increment());  // not open: nothing happens
  ASSERT_TRUE(c.Open(m_name));
  EXPECT_TRUE(c.IsShared());
  EXPECT_EQ(0, c.Read());
  EXPECT_EQ(1, c.Increment());
  EXPECT_EQ(2, c.Increment());
  EXPECT_EQ(2, c.Read());
}

TEST_F(SharedCounter, OtherCopiesSeeAndChangeTheSameValue) {
  CSharedCounter c;
  ASSERT_TRUE(c.Open(m_name));
  c.Increment();
  c.Increment();
  c.Increment();
  HelperResult read = RunHelper(m_name, {QStringLiteral("read")});
  ASSERT_TRUE(read.finished);
  EXPECT_EQ(0, read.exitCode);
  EXPECT_EQ(QList<int>{3}, read.values);
  HelperResult inc = RunHelper(m_name, {QStringLiteral("inc")});
  EXPECT_EQ(QList<int>{4}, inc.values);
  EXPECT_EQ(4, c.Read());
  EXPECT_EQ(5, c.Increment());
}

TEST_F(SharedCounter, ConcurrentIncrementsFromSeveralProcessesAreNotLost) {
  CSharedCounter c;
  ASSERT_TRUE(c.Open(m_name));
  constexpr int kEach = 20000;
  QProcess a, b;
  a.start(QStringLiteral(KV_COUNTER_HELPER), {m_name, QStringLiteral("inc"), QString::number(kEach)});
  b.start(QStringLiteral(KV_COUNTER_HELPER), {m_name, QStringLiteral("inc"), QString::number(kEach)});
  for (int i = 0; i < kEach; ++i) c.Increment();
  ASSERT_TRUE(a.waitForFinished(kGenerousMs));
  ASSERT_TRUE(b.waitForFinished(kGenerousMs));
  EXPECT_EQ(3 * kEach, c.Read());
}

TEST_F(SharedCounter, FreshStartAfterACrashedCopyFindsZero) {
  HelperResult crash = RunHelper(m_name, {QStringLiteral("crash"), QStringLiteral("5")});
  ASSERT_TRUE(crash.finished);
  EXPECT_TRUE(crash.crashed);
  EXPECT_EQ(QList<int>{5}, crash.values);
  // The dead copy left its value behind in the shared object...
  EXPECT_EQ(5, RawValue(m_name));
  // ...but nobody runs, so the next start resets it.
  CSharedCounter c;
  ASSERT_TRUE(c.Open(m_name));
  EXPECT_EQ(0, c.Read());
  HelperResult again = RunHelper(m_name, {QStringLiteral("inc")});
  EXPECT_EQ(QList<int>{1}, again.values);  // and this copy's value is kept for the next one
}

TEST_F(SharedCounter, FreshStartAfterCleanExitsFindsZero) {
  EXPECT_EQ(QList<int>{3}, RunHelper(m_name, {QStringLiteral("inc"), QStringLiteral("3")}).values);
  EXPECT_EQ(QList<int>{1}, RunHelper(m_name, {QStringLiteral("inc")}).values);
  CSharedCounter c;
  ASSERT_TRUE(c.Open(m_name));
  c.Increment();
  c.Close();
  CSharedCounter d;
  ASSERT_TRUE(d.Open(m_name));
  EXPECT_EQ(0, d.Read());
}

TEST_F(SharedCounter, ARunningCopyKeepsTheValueForLaterStarters) {
  QProcess holder;
  holder.start(QStringLiteral(KV_COUNTER_HELPER), {m_name, QStringLiteral("hold")});
  ASSERT_TRUE(holder.waitForStarted(kGenerousMs));
  // The holder prints once it has opened and incremented.
  while (!holder.canReadLine()) ASSERT_TRUE(holder.waitForReadyRead(kGenerousMs));
  EXPECT_EQ(1, holder.readLine().trimmed().toInt());

  CSharedCounter c;
  ASSERT_TRUE(c.Open(m_name));
  EXPECT_EQ(1, c.Read());  // not reset: another copy runs
  EXPECT_EQ(2, c.Increment());

  holder.write("go\n");
  holder.closeWriteChannel();
  ASSERT_TRUE(holder.waitForFinished(kGenerousMs));
  EXPECT_EQ(QList<int>{2}, ParseValues(holder.readAllStandardOutput()));
  // The holder is gone but we still run: a new copy sees our value.
  EXPECT_EQ(QList<int>{2}, RunHelper(m_name, {QStringLiteral("read")}).values);
}

TEST_F(SharedCounter, SomeoneElsesObjectIsNotTrusted) {
  if (geteuid() != 0) GTEST_SKIP() << "needs the superuser to hand an object to another user";
  const QByteArray shm = CSharedCounter::SharedName(m_name).toUtf8();
  const int fd = shm_open(shm.constData(), O_RDWR | O_CREAT, 0666);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(0, ftruncate(fd, sizeof(int)));
  ASSERT_EQ(0, fchown(fd, 54321, 54321));
  close(fd);
  CSharedCounter c;
  EXPECT_FALSE(c.Open(m_name));
  EXPECT_FALSE(c.IsShared());
  EXPECT_TRUE(c.IsOpen());  // still usable, in this process only
  EXPECT_EQ(0, c.Read());
  EXPECT_EQ(1, c.Increment());
}

TEST(SharedCounterClips, ProcessCounterIsOpenedOnce) {
  CSharedCounter& a = CSharedCounter::ClipsVersion();
  EXPECT_EQ(&a, &CSharedCounter::ClipsVersion());
  EXPECT_TRUE(a.IsOpen());
  EXPECT_TRUE(a.IsShared());
}

}  // namespace
#endif  // __unix__
