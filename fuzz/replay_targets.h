// The table a replay program hands to the shared driver (replay_main.cpp): each fuzz target's
// command-line name and its entry function, the same one libFuzzer calls.
#pragma once
#include <cstddef>
#include <cstdint>

struct ReplayTarget {
  const char* name;
  int (*entry)(const uint8_t* data, size_t size);
};

extern const ReplayTarget kReplayTargets[];
extern const size_t kReplayTargetCount;
