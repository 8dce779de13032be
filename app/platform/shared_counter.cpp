// The shared clips counter over shm_open, mmap and flock. Covered by
// tests/shared_counter_test.cpp.
#include "platform/shared_counter.h"

#if defined(__unix__)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

// The counter is used in place in memory shared between processes; that is only sound when the
// atomic is a plain lock-free int with no hidden lock word.
static_assert(std::atomic<std::int32_t>::is_always_lock_free, "the shared counter needs a lock-free int");
static_assert(sizeof(std::atomic<std::int32_t>) == sizeof(std::int32_t), "unexpected atomic layout");

namespace {

QString Sanitise(const QString& name) {
  QString out;
  for (QChar c : name) {
    const bool ok = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                    (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                    (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
                    c == QLatin1Char('_');
    out += ok ? c : QLatin1Char('_');
  }
  return out.isEmpty() ? QStringLiteral("_") : out;
}

#if defined(__unix__)
// Retries a call that a signal interrupted.
template <typename F>
int Retry(F call) {
  int result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}
#endif

}  // namespace

CSharedCounter::CSharedCounter() = default;

CSharedCounter::~CSharedCounter() { Close(); }

CSharedCounter& CSharedCounter::ClipsVersion() {
  static CSharedCounter* counter = [] {
    auto* c = new CSharedCounter;  // never destroyed: our lock must last until the process ends
    c->Open(QStringLiteral("korvane-clips"));
    return c;
  }();
  return *counter;
}

QString CSharedCounter::SharedName(const QString& name) {
#if defined(__unix__)
  return QLatin1Char('/') + Sanitise(name) + QLatin1Char('-') + QString::number(getuid());
#else
  return Sanitise(name);
#endif
}

bool CSharedCounter::Open(const QString& name) {
  Close();
  m_local.store(0);
  m_value = &m_local;
#if defined(__unix__)
  const QByteArray shmName = SharedName(name).toUtf8();
  const int fd = Retry([&] { return shm_open(shmName.constData(), O_RDWR | O_CREAT, 0600); });
  if (fd < 0) return false;
  auto fail = [&] {
    close(fd);
    return false;
  };
  // Someone else's object under our name (the name is guessable) is never trusted.
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_uid != getuid()) return fail();

  const off_t size = off_t(sizeof(std::int32_t));
  if (Retry([&] { return flock(fd, LOCK_EX | LOCK_NB); }) == 0) {
    // No other copy runs: whatever the object holds is stale. Truncating to 0 and back zeroes it.
    if (Retry([&] { return ftruncate(fd, 0); }) != 0 || Retry([&] { return ftruncate(fd, size); }) != 0)
      return fail();
    // Converting the lock is not atomic; a starter that takes the exclusive lock in between
    // finds 0 as well, and resets it to 0, which changes nothing.
    if (Retry([&] { return flock(fd, LOCK_SH); }) != 0) return fail();
  } else {
    // Another copy runs (or is resetting the counter right now: this waits until it is done).
    if (Retry([&] { return flock(fd, LOCK_SH); }) != 0) return fail();
    // Every copy that resets also sizes the object before it lets go of the exclusive lock;
    // this is only a guard against an object made by something else. Extending fills zeros.
    if (fstat(fd, &st) != 0) return fail();
    if (st.st_size < size && Retry([&] { return ftruncate(fd, size); }) != 0) return fail();
  }
  void* mapping = mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (mapping == MAP_FAILED) return fail();
  m_fd = fd;
  m_mapping = mapping;
  m_value = static_cast<std::atomic<std::int32_t>*>(mapping);
  return true;
#else
  return false;
#endif
}

void CSharedCounter::Close() {
#if defined(__unix__)
  if (m_mapping) munmap(m_mapping, sizeof(std::int32_t));
  if (m_fd >= 0) close(m_fd);  // drops our shared lock
#endif
  m_mapping = nullptr;
  m_fd = -1;
  m_value = nullptr;
}

int CSharedCounter::Read() const { return m_value ? m_value->load(std::memory_order_acquire) : 0; }

int CSharedCounter::Increment() {
  if (!m_value) return 0;
  // Unsigned arithmetic wraps defined; the stored value is read back as a signed int.
  std::int32_t old = m_value->load(std::memory_order_relaxed);
  std::int32_t next;
  do {
    next = std::int32_t(std::uint32_t(old) + 1u);
  } while (!m_value->compare_exchange_weak(old, next, std::memory_order_acq_rel));
  return next;
}

bool CSharedCounter::RemoveShared(const QString& name) {
#if defined(__unix__)
  const QByteArray shmName = SharedName(name).toUtf8();
  return shm_unlink(shmName.constData()) == 0 || errno == ENOENT;
#else
  return true;
#endif
}
