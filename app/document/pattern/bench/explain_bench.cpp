// The explanation after an edit of a 2,000-character pattern: the document recompiles, rebuilds
// the element records and the explanation, and every line of the outline is made (what the
// Explanation pane would show if all its lines were expanded). Aim: under 50 ms per edit.
//   edit_to_outline  SetPattern (compile, records, explanation) plus the whole outline
//   outline_only     the outline alone, over records that are already built
// Run by hand (not a test):
//   build/app/document/pattern/bench/explain_bench
#include <benchmark/benchmark.h>

#include <string>

#include "app/document/core/tests/headless_ui.h"
#include "app/document/pattern/explanation.h"

namespace {

// An everyday pattern of mail addresses, dates, named groups, classes, look-arounds and repeats,
// repeated with fresh group names until it is `size` characters long.
std::vector<unsigned short> MakePattern(size_t size) {
  std::string p;
  for (int i = 0; p.size() < size; ++i) {
    const std::string n = std::to_string(i);
    p += "(?<user" + n + ">[A-Za-z0-9._%+-]+)@(?<host" + n + ">(?:[A-Za-z0-9-]+\\.)+[A-Za-z]{2,})";
    p += "|(?<y" + n + ">\\d{4})-(?<m" + n + ">0[1-9]|1[0-2])-(?<d" + n + ">\\d\\d)(?=\\s|$)";
    p += "|\\b(?i:re|fw)\\b:?\\s*(?!\\d)\\w+?|";
  }
  p.resize(size);
  std::vector<unsigned short> u(p.begin(), p.end());
  return u;
}

void BM_EditToOutline(benchmark::State& state) {
  HeadlessUi ui;
  CKorvaneDoc doc(&ui);
  ui.doc = &doc;
  std::vector<unsigned short> pattern = MakePattern(static_cast<size_t>(state.range(0)));
  size_t lines = 0;
  int k = 0;
  for (auto _ : state) {
    // The edit: one character near the middle changes, as a keystroke would.
    pattern[pattern.size() / 2] = (k++ & 1) ? 'a' : 'b';
    doc.SetPattern(pattern.data(), static_cast<int>(pattern.size()), true);
    const auto outline = doc.GetExplanation().Outline(1 << 30, static_cast<size_t>(-1));
    lines = outline.size();
    benchmark::DoNotOptimize(lines);
  }
  state.counters["lines"] = static_cast<double>(lines);
  ui.doc = nullptr;
}
BENCHMARK(BM_EditToOutline)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_OutlineOnly(benchmark::State& state) {
  HeadlessUi ui;
  CKorvaneDoc doc(&ui);
  ui.doc = &doc;
  std::vector<unsigned short> pattern = MakePattern(static_cast<size_t>(state.range(0)));
  doc.SetPattern(pattern.data(), static_cast<int>(pattern.size()), true);
  for (auto _ : state) {
    const auto outline = doc.GetExplanation().Outline(1 << 30, static_cast<size_t>(-1));
    benchmark::DoNotOptimize(outline.size());
  }
  ui.doc = nullptr;
}
BENCHMARK(BM_OutlineOnly)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
