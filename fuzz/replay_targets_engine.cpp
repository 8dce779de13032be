// fuzz_replay's targets: the engine's compiler and matcher.
#include "fuzz/harness.h"
#include "fuzz/replay_targets.h"

const ReplayTarget kReplayTargets[] = {
    {"compile", &tarno_fuzz::CompileFuzzOne},
    {"match", &tarno_fuzz::MatchFuzzOne},
};
const size_t kReplayTargetCount = sizeof kReplayTargets / sizeof kReplayTargets[0];
