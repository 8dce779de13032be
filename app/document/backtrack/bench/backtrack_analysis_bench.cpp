// The backtracking analysis: one pattern of 2,000 characters, and every pattern of the corpus
// (run by hand, not a test; the aim is under 100 ms each in a Release build); chains of k
// overlapping repeats, whose degree k is measured with a larger step budget; the search for
// proven fixes and rewrites that change the meaning on a few patterns.
//
//   build/app/document/backtrack/bench/backtrack_analysis_bench [--benchmark_filter=Corpus]
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/document/backtrack/backtrack_analysis.h"
#include "app/document/backtrack/backtrack_fixes.h"

namespace {

std::u16string U(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// A long validator of about 2,000 characters: fields of several shapes joined by separators,
// with a few nested repeats.
std::string LongPattern() {
  std::string p = "^";
  int i = 0;
  while (p.size() < 2000) {
    switch (i % 5) {
      case 0: p += "(?:field" + std::to_string(i) + "=[a-z0-9_]+;)?"; break;
      case 1: p += "(?:\\d{1,3}\\.){3}\\d{1,3}\\s*"; break;
      case 2: p += "(?:\"[^\"]*\"|'[^']*')?,"; break;
      case 3: p += "[A-Z][a-z]*(?: [A-Z][a-z]*)*\\s+"; break;
      default: p += "(?:x+y?)+z"; break;
    }
    ++i;
  }
  return p + "$";  // whole pieces: cut inside one, the pattern would have an error and not be analysed
}

void BM_LongPattern(benchmark::State& state) {
  const std::u16string p = U(LongPattern());
  backtrack::Report r;
  for (auto _ : state) {
    r = backtrack::Analyze(p, 0);
    benchmark::DoNotOptimize(r.verdict);
  }
  state.SetLabel(backtrack::VerdictText(r) + ", " + std::to_string(r.states) + " states");
}
BENCHMARK(BM_LongPattern)->Unit(benchmark::kMillisecond);

// The rewrites of the long pattern: the proof rules gather the facts of many classes once.
void BM_LongPatternFixes(benchmark::State& state) {
  const std::u16string p = U(LongPattern());
  const backtrack::Report r = backtrack::Analyze(p, 0);
  size_t n = 0;
  for (auto _ : state) {
    n = backtrack::ProposeFixes(p, 0, r, {}).size();
    benchmark::DoNotOptimize(n);
  }
  state.SetLabel(std::to_string(n) + " rewrites");
}
BENCHMARK(BM_LongPatternFixes)->Unit(benchmark::kMillisecond)->Iterations(3);

// A chain of k repeats that one pump runs through: the common pump's search and the measurement
// of degree k (four times the step budget per degree above 2).
void BM_Chain(benchmark::State& state, std::string pattern) {
  const std::u16string p = U(pattern);
  backtrack::Report r;
  for (auto _ : state) {
    r = backtrack::Analyze(p, 0);
    benchmark::DoNotOptimize(r.verdict);
  }
  state.SetLabel(backtrack::VerdictText(r));
}
BENCHMARK_CAPTURE(BM_Chain, k3, std::string("a.*b.*c.*d"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Chain, k4, std::string("a.*b.*c.*d.*e"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Chain, k5, std::string("a.*b.*c.*d.*e.*f"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Chain, k5_digits, std::string("\\d+\\d+\\d+\\d+\\d+x"))->Unit(benchmark::kMillisecond);

// Looking for proven fixes after the analysis (the pane's second step, on its worker): every
// candidate rewrite compared on some thousands of texts and analysed.
void BM_ProvenFixes(benchmark::State& state, std::string pattern) {
  const std::u16string p = U(pattern);
  const backtrack::Report r = backtrack::Analyze(p, 0);
  size_t n = 0;
  for (auto _ : state) {
    n = backtrack::ProposeFixes(p, 0, r, {}).size();
    benchmark::DoNotOptimize(n);
  }
  state.SetLabel(std::to_string(n) + " fixes");
}
BENCHMARK_CAPTURE(BM_ProvenFixes, nested, std::string("^(\\w+\\s?)*$"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ProvenFixes, duplicate_branch, std::string("(a|a)*c"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ProvenFixes, none_proven, std::string("^(\\d+|\\d+\\.\\d+)*$"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ProvenFixes, exclusive, std::string("x.*=.*=y"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ProvenFixes, changes_meaning, std::string("(.*,){3}x"))->Unit(benchmark::kMillisecond);

void BM_Corpus(benchmark::State& state, std::string pattern, int flags) {
  backtrack::Report r;
  for (auto _ : state) {
    r = backtrack::Analyze(U(pattern), flags);
    benchmark::DoNotOptimize(r.verdict);
  }
  state.SetLabel(backtrack::VerdictText(r));
}

void RegisterCorpus() {
  std::ifstream in(KV_BACKTRACK_CORPUS);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t t1 = line.find('\t'), t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
    if (t2 == std::string::npos) continue;
    int flags = 0;
    for (char c : line.substr(t1 + 1, t2 - t1 - 1)) {
      if (c == 'i') flags |= 0x08;
      if (c == 'm') flags |= 0x02;
      if (c == 's') flags |= 0x01;
      if (c == 'x') flags |= 0x20;
    }
    std::string pattern = line.substr(t2 + 1);
    benchmark::RegisterBenchmark(("Corpus/" + std::to_string(++n) + " " + pattern).c_str(), BM_Corpus, pattern,
                                 flags)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterCorpus();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
