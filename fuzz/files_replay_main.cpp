// files_fuzz_replay: runs the document's file-reader fuzz entry functions over saved inputs,
// without libFuzzer.
//   files_fuzz_replay workspace|clips PATH...     PATH: an input file or a folder of them
// Files whose names start with '.' and README files are skipped. A broken invariant aborts; the
// program fails when it found no input at all, so a wrong path cannot pass.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace korvane_fuzz {
int WorkspaceFuzzOne(const uint8_t* data, size_t size);
int ClipsFuzzOne(const uint8_t* data, size_t size);
}  // namespace korvane_fuzz

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc < 3 || (std::strcmp(argv[1], "workspace") != 0 && std::strcmp(argv[1], "clips") != 0)) {
    std::fprintf(stderr, "usage: %s workspace|clips PATH...\n", argv[0]);
    return 2;
  }
  int (*entry)(const uint8_t*, size_t) =
      std::strcmp(argv[1], "workspace") == 0 ? &korvane_fuzz::WorkspaceFuzzOne : &korvane_fuzz::ClipsFuzzOne;
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
      std::fprintf(stderr, "files_fuzz_replay: no such file or folder (skipped): %s\n", argv[i]);
    }
  }
  std::sort(files.begin(), files.end());
  int replayed = 0;
  for (const fs::path& f : files) {
    const std::string name = f.filename().string();
    if (name.empty() || name[0] == '.' || name.rfind("README", 0) == 0) continue;
    std::ifstream in(f, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++replayed;
  }
  std::printf("files_fuzz_replay %s: %d inputs replayed\n", argv[1], replayed);
  return replayed > 0 ? 0 : 1;
}
