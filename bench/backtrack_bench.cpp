// backtrack_bench: how the plain build's search time grows with the length of a run for nested
// repeats that a plain backtracker explores exponentially often. The greedy repeat passes over end
// positions from which everything has been tried (CGreedyElement::RetryGreedy), so each of these
// must stay polynomial; Google Benchmark's complexity fit prints the growth ("BigO") per pattern.
//
// Each pattern fails on a run of 'a' (so the whole search space is walked), except the ones that
// say otherwise, and every run checks its expected outcome once.
//
//   backtrack_bench [Google Benchmark options]     e.g. --benchmark_filter=Nested
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/tarno.h"

namespace {

struct NestedCase {
  const char* name;
  const char* pattern;
  const char* tail;  // appended to the run of 'a'
  bool matches;
};

const NestedCase kCases[] = {
    {"PlusPlus", "(a+)+b", "", false},
    {"AltStar", "(?:a|b)*c", "", false},
    {"AltPlusPlus", "((?:a|b)+)+c", "", false},
    {"ShortLong", "(?:a|aa)+c", "", false},
    // A mandatory iteration, and a follower that no required string answers.
    {"PlusPlusAlt", "(?:a+)+(?:b|c)", "", false},
    // Two and three mandatory iterations: the states after each are passed over too, else every
    // split of the run among them is tried (cubic and quartic searches).
    {"TwoMandatory", "(?:a+){2,}(?:b|c)", "", false},
    {"ThreeMandatory", "(?:a+){3,}(?:b|c)", "", false},
    // The same below an alternation: the lists are kept across attempts there too.
    {"TwoMandatoryInAlt", "d|(?:a+){2,}(?:b|c)", "", false},
    // A bounded repeat passes over the states of its mandatory iterations only: each new end of
    // them still tries the splits among the optional ones (a cubic search; all splits: n^5).
    {"BoundedTwoToFour", "(?:a+){2,4}(?:b|c)", "", false},
    {"StarStar", "(a*)*b", "", false},
    {"OptionalStar", "(?:a?a)*b", "", false},
    // Back-references elsewhere in the pattern: the repeat's inner element sets no capture, so
    // its ends can still be passed over.
    {"BackrefBefore", "(a)(?:\\1|a)*c", "", false},
    {"BackrefBeforeMatch", "(a)(?:\\1|aa)*b", "b", true},
};

std::string Run(const NestedCase& c, int n) { return std::string(static_cast<size_t>(n), 'a') + c.tail; }

void RunNested(benchmark::State& state, const NestedCase* c) {
  const std::string text = Run(*c, static_cast<int>(state.range(0)));
  CRegexpT<char> re(c->pattern);
  if (re.Match(text.c_str()).IsMatched() != (c->matches ? 1 : 0)) {
    state.SkipWithError("unexpected outcome");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(re.Match(text.c_str()).IsMatched());
  state.SetComplexityN(state.range(0));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  for (const NestedCase& c : kCases)
    benchmark::RegisterBenchmark((std::string("Nested/") + c.name).c_str(), RunNested, &c)
        ->RangeMultiplier(2)
        ->Range(64, 512)
        ->Complexity()
        ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
