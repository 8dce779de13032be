// Building the replace result from a large Find All: the step the window takes on the UI thread
// when it switches to Replace mode (or a Find All ends in it). 5,000,000 characters of digit
// lines, `\d` replaced by `[$&]`: 824,000 matches, three output pieces each. Run by hand:
//   replace_build_bench [--benchmark_repetitions=5]
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "app/document/core/tests/headless_ui.h"
#include "stringtable.h"

namespace {

std::vector<unsigned short> DigitLines(size_t length) {
  std::string line;
  for (int i = 0; i < 16; ++i) line += std::string(1, char('0' + i % 10)) + std::string(5, ' ');
  line += '\n';
  std::string text;
  text.reserve(length + line.size());
  while (text.size() < length) text += line;
  return U16(text);
}

struct Fixture {
  HeadlessUi ui;
  CKorvaneDoc doc{&ui};
  Fixture() {
    ui.doc = &doc;
    if (doc.IsLocateFailPoint()) doc.OnCommand(CMD_LOCATE_FAIL_POINT);
    const std::vector<unsigned short> text = DigitLines(5000000), p = U16("\\d"), r = U16("[$&]");
    doc.SetPattern(p.data(), static_cast<int>(p.size()), false);
    doc.SetReplaceTo(r.data(), static_cast<int>(r.size()));
    doc.SetSubjectText(text.data(), static_cast<int>(text.size()));
    doc.OnCommand(CMD_FIND_ALL);
  }
};

// Match mode -> Replace mode -> Match mode: the replace result is built on the way in and
// dropped on the way out, as the window does.
void BM_ModeSwitchBuild(benchmark::State& state) {
  static Fixture f;
  for (auto _ : state) {
    f.doc.SetMode(MODE_REPLACE);
    benchmark::DoNotOptimize(f.doc.GetReplaceResult().Segments().size());
    state.PauseTiming();
    f.doc.SetMode(MODE_MATCH);
    state.ResumeTiming();
  }
  state.counters["segments"] = static_cast<double>(f.doc.GetReplaceResult().Segments().size());
}
BENCHMARK(BM_ModeSwitchBuild)->Unit(benchmark::kMillisecond)->Iterations(8);

// Dropping 824,000 results and their replace result, as an edit of the pattern does.
void BM_DropResults(benchmark::State& state) {
  static Fixture f;
  const std::vector<unsigned short> p = U16("\\d"), other = U16("\\d ");
  for (auto _ : state) {
    state.PauseTiming();
    f.doc.SetPattern(p.data(), static_cast<int>(p.size()), false);
    f.doc.OnCommand(CMD_FIND_ALL);
    f.doc.SetMode(MODE_REPLACE);
    state.ResumeTiming();
    f.doc.SetPattern(other.data(), static_cast<int>(other.size()), false);
    state.PauseTiming();
    f.doc.SetMode(MODE_MATCH);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DropResults)->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace

int main(int argc, char** argv) {
  CStringTable::SetCurrent(CStringTable::kEnglish);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
