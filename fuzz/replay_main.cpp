// The replay driver: runs fuzz entry functions over saved inputs, without libFuzzer.
//   PROGRAM TARGET PATH...     TARGET: one of the names the program lists; PATH: an input file
//                              or a folder of them
// Each replay program links this driver with a table of its targets (replay_targets.h). Files
// whose names start with '.' and README files are skipped. A broken invariant aborts; the program
// fails when it found no input at all, so a wrong path cannot pass.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/replay_targets.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const std::string program = fs::path(argc > 0 ? argv[0] : "fuzz_replay").filename().string();
  const ReplayTarget* target = nullptr;
  std::string names;
  for (size_t i = 0; i < kReplayTargetCount; ++i) {
    if (argc >= 3 && std::strcmp(argv[1], kReplayTargets[i].name) == 0) target = &kReplayTargets[i];
    names += (i ? "|" : "") + std::string(kReplayTargets[i].name);
  }
  if (!target) {
    std::fprintf(stderr, "usage: %s %s PATH...\n", program.c_str(), names.c_str());
    return 2;
  }
  std::vector<fs::path> files;
  for (int i = 2; i < argc; ++i) {
    fs::path p(argv[i]);
    std::error_code ec;
    if (fs::is_directory(p, ec)) {
      for (const fs::directory_entry& e : fs::directory_iterator(p, ec))
        if (e.is_regular_file()) files.push_back(e.path());
    } else if (fs::is_regular_file(p, ec)) {
      files.push_back(p);
    } else {
      std::fprintf(stderr, "%s: no such file or folder (skipped): %s\n", program.c_str(), argv[i]);
    }
  }
  std::sort(files.begin(), files.end());
  int replayed = 0;
  for (const fs::path& f : files) {
    const std::string name = f.filename().string();
    if (name.empty() || name[0] == '.' || name.rfind("README", 0) == 0) continue;
    std::ifstream in(f, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    target->entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++replayed;
  }
  std::printf("%s %s: %d inputs replayed\n", program.c_str(), target->name, replayed);
  return replayed > 0 ? 0 : 1;
}
