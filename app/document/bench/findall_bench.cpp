// Find All over 1 MiB of text with more than 10,000 matches: the document's search in the host
// build (trace hook, counters and fail-point tracking running) against the same search loop in
// the plain build. Run by hand:
//   build/app/document/bench/findall_bench --benchmark_min_time=2
#include <benchmark/benchmark.h>

#include <random>

#include "app/document/tests/headless_ui.h"
#include "stringtable.h"

int PlainFindAll(const std::vector<unsigned short>& pattern, const std::vector<unsigned short>& text);

namespace {

const char kPattern[] = "\\b\\w+ing\\b";

// Seeded words, one in seven ending in "ing", until 1 MiB of UTF-16 units.
const std::vector<unsigned short>& Text() {
  static std::vector<unsigned short> text = [] {
    std::mt19937 rng(20261208);
    std::string s;
    const char letters[] = "abcdefghijklmnopqrstuvwxyz";
    while (s.size() < (1u << 19)) {  // 512 Ki units = 1 MiB
      int len = 2 + rng() % 8;
      for (int i = 0; i < len; ++i) s += letters[rng() % 26];
      if (rng() % 7 == 0) s += "ing";
      s += (rng() % 12 == 0) ? ".\n" : " ";
    }
    return U16(s);
  }();
  return text;
}

void HostDocumentFindAll(benchmark::State& state) {
  CStringTable::SetCurrent(CStringTable::kEnglish);
  HeadlessUi ui;
  CKorvaneDoc doc(&ui);
  ui.doc = &doc;
  if (doc.IsLocateFailPoint()) doc.OnCommand(CMD_LOCATE_FAIL_POINT);
  std::vector<unsigned short> p = U16(kPattern);
  doc.SetPattern(p.data(), static_cast<int>(p.size()), false);
  doc.SetSubjectText(Text().data(), static_cast<int>(Text().size()));
  int matches = 0;
  for (auto _ : state) {
    doc.OnCommand(CMD_RESET_FIND);
    doc.OnCommand(CMD_FIND_ALL);
    matches = doc.RealMatchCount();
  }
  state.counters["matches"] = matches;
  state.SetBytesProcessed(state.iterations() * Text().size() * 2);
}

void PlainBuildFindAll(benchmark::State& state) {
  std::vector<unsigned short> p = U16(kPattern);
  int matches = 0;
  for (auto _ : state) matches = PlainFindAll(p, Text());
  state.counters["matches"] = matches;
  state.SetBytesProcessed(state.iterations() * Text().size() * 2);
}

BENCHMARK(HostDocumentFindAll)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlainBuildFindAll)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
