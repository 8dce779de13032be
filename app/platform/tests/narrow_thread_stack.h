// Narrows the default stack of the threads a test process starts without naming a size (every
// std::thread, and pthread_create without attributes) to kNarrowThreadStack, during static
// initialisation: before main() and so before any such thread starts. A test that includes it
// shows that its work runs on a thread with a stack of its own size (WorkerThread's 64 MiB) and
// would overflow a thread of the default size. DefaultThreadStackSize tells the test that the
// narrowing took hold. It changes the whole process: include it in a test executable of its
// own.
//
// glibc only (pthread_setattr_default_np): elsewhere nothing is narrowed, and
// kNarrowedThreadStack is false so that the test can say so instead of passing on a wide stack.
#pragma once

#include <cstddef>
#include <thread>

#if defined(__linux__) && defined(__GLIBC__)
#include <pthread.h>
#define KORVANE_NARROW_THREAD_STACK 1
#endif

// 64 KiB: an eighth of what the backtracking analysis of a pattern nested as deep as the compiler
// allows takes in an optimised build, and four times the least stack a thread may have.
constexpr std::size_t kNarrowThreadStack = std::size_t(64) << 10;

inline bool NarrowDefaultThreadStack() {
#if KORVANE_NARROW_THREAD_STACK
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  const bool narrowed = pthread_attr_setstacksize(&attributes, kNarrowThreadStack) == 0 &&
                        pthread_setattr_default_np(&attributes) == 0;
  pthread_attr_destroy(&attributes);
  return narrowed;
#else
  return false;
#endif
}

// Whether the default was narrowed; set before main() runs.
inline const bool kNarrowedThreadStack = NarrowDefaultThreadStack();

// The stack size of a std::thread started now (0 where it cannot be read).
inline std::size_t DefaultThreadStackSize() {
  std::size_t size = 0;
#if KORVANE_NARROW_THREAD_STACK
  std::thread([&size] {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
    pthread_attr_getstacksize(&attributes, &size);
    pthread_attr_destroy(&attributes);
  }).join();
#endif
  return size;
}
