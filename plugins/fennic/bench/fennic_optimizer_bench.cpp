// Speed of the alternation optimizer on word lists: random lower-case words of 3 to 10
// letters (fixed seed), as a user would fold a keyword list. Run:
//   build-fennic/plugins/fennic/fennic_optimizer_bench
#include <benchmark/benchmark.h>

#include <random>

#include "plugins/fennic/optimizer.h"

namespace {

std::vector<std::u16string> Words(int count) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> len(3, 10), letter(0, 25);
  std::vector<std::u16string> words;
  for (int i = 0; i < count; ++i) {
    std::u16string w;
    for (int n = len(rng); n > 0; --n) w += static_cast<char16_t>(u'a' + letter(rng));
    words.push_back(w);
  }
  return words;
}

void BM_OptimizeWords(benchmark::State& state) {
  std::vector<std::u16string> words = Words(static_cast<int>(state.range(0)));
  size_t length = 0;
  for (auto _ : state) {
    std::u16string r = fennic::OptimizeStrings(words);
    length = r.size();
    benchmark::DoNotOptimize(r.data());
  }
  state.counters["pattern_length"] = static_cast<double>(length);
}
BENCHMARK(BM_OptimizeWords)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
