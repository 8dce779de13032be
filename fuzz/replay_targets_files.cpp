// files_fuzz_replay's targets: the document's workspace and clips file readers.
#include "fuzz/replay_targets.h"

namespace korvane_fuzz {
int WorkspaceFuzzOne(const uint8_t* data, size_t size);
int ClipsFuzzOne(const uint8_t* data, size_t size);
}  // namespace korvane_fuzz

const ReplayTarget kReplayTargets[] = {
    {"workspace", &korvane_fuzz::WorkspaceFuzzOne},
    {"clips", &korvane_fuzz::ClipsFuzzOne},
};
const size_t kReplayTargetCount = sizeof kReplayTargets / sizeof kReplayTargets[0];
