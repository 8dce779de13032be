// The host build of the engine for engine_bench, compiled in a translation unit of its own
// (engine_bench_host.cpp defines TARNO_HOST_BUILD), behind an interface that names no engine type.
#ifndef KORVANE_BENCH_ENGINE_BENCH_HOST_H
#define KORVANE_BENCH_ENGINE_BENCH_HOST_H

#include <memory>
#include <string>

class HostCounter {
 public:
  virtual ~HostCounter() {}
  // Every successive match in the text, searched as the plain build's matcher does (no hook).
  virtual long CountAll(const std::string& text) const = 0;
};

std::unique_ptr<HostCounter> MakeHostCounter(const char* pattern, bool ignoreCase);

#endif
