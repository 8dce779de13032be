// A 32-bit counter shared by all running copies of the program of one user (the clips
// version). Covered by tests/shared_counter_test.cpp, which runs several processes.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>

// On Unix systems the counter lives in a POSIX shared memory object named after the counter
// and the user's id, so two users never share it. Every copy that has the counter open holds a
// shared flock on that object for as long as it runs. Opening first tries the exclusive lock:
// getting it proves that no other copy runs, and the counter is reset to 0. So a fresh start
// always sees 0, also after copies crashed with any value in the counter (the kernel drops a
// dead process's locks).
//
// Where no shared memory is available (another platform, or the object cannot be created or
// belongs to another user) the counter is kept in this process only: the program still works,
// other copies are simply not told about changes. IsShared says which.
//
// Read and Increment are lock-free and may be called from any thread; Open and Close are called
// once each, by one thread.
class CSharedCounter {
 public:
  CSharedCounter();
  ~CSharedCounter();  // Close()
  CSharedCounter(const CSharedCounter&) = delete;
  CSharedCounter& operator=(const CSharedCounter&) = delete;

  // The process's clips version counter, opened on first use.
  static CSharedCounter& ClipsVersion();

  // Opens the counter called name (letters, digits, '-' and '_'; other characters are replaced
  // by '_'). Returns whether it is shared between processes; either way the counter is usable.
  // Opening an already open counter closes it first.
  bool Open(const QString& name);
  void Close();
  bool IsOpen() const { return m_value != nullptr; }
  bool IsShared() const { return m_fd >= 0; }

  // 0 when not open.
  int Read() const;
  // Adds one and returns the new value (wraps around after INT32_MAX); 0 when not open.
  int Increment();

  // Removes the shared object behind name from the system (for tests and uninstallers); copies
  // that have it open keep theirs. True when it is gone.
  static bool RemoveShared(const QString& name);
  // The system-wide name used for name: "/" + name + "-" + the user's id.
  static QString SharedName(const QString& name);

 private:
  // Points either into the shared mapping or at m_local.
  std::atomic<std::int32_t>* m_value = nullptr;
  std::atomic<std::int32_t> m_local{0};
  int m_fd = -1;  // the shared object, holding our shared lock; -1 when not shared
  void* m_mapping = nullptr;
};
