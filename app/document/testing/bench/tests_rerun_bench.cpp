// Live test runs after an edit: 200 tests with subjects of 10 KB each, the pattern edited, then
// the posted results taken until every mark is in. Measured per edit:
//   edit_to_last_mark  from the start of the edit call to the end of the call that took the
//                      last result (the marks the pane shows are then complete)
//   longest_ui_call    the longest single call the UI thread made: the edit itself (which
//                      compiles the copies and hands the run to the worker) or taking results
// Run by hand (not a test):
//   build/app/document/testing/bench/tests_rerun_bench
// Patterns alternate between two ordinary ones so that every edit changes the results. The UI
// side polls the posted commands every 0.2 ms, as an idle event loop would take them at once.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <random>

#include "app/document/core/tests/headless_ui.h"
#include "app/document/core/test_session.h"

namespace {

using Clock = std::chrono::steady_clock;

TestSet MakeTests(int count, int bytes) {
  std::mt19937 rng(7);
  const char* words[] = {"alpha", "beta", "gamma", "delta", "mail", "x@y.org", "2026-12-09", "42", "\n"};
  TestSet set;
  for (int i = 0; i < count; ++i) {
    TestText subject;
    while (static_cast<int>(subject.size()) * 2 < bytes) {
      const char* w = words[rng() % 9];
      for (const char* p = w; *p; ++p) subject.push_back(static_cast<unsigned char>(*p));
      subject.push_back(' ');
    }
    TestCase t;
    t.name = TestText{'t'};
    t.SetSubject(std::move(subject));
    t.expectation = i % 3 == 0 ? EXPECT_MATCH_LIST : i % 3 == 1 ? EXPECT_MATCH : EXPECT_SPLIT;
    set.push_back(std::move(t));
  }
  return set;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void BM_RerunAfterEdit(benchmark::State& state) {
  const int tests = static_cast<int>(state.range(0));
  const int bytes = static_cast<int>(state.range(1));
  HeadlessUi ui;
  CKorvaneDoc doc(&ui);
  ui.doc = &doc;
  if (doc.QueryCommand(CMD_LOCATE_FAIL_POINT).checked) doc.OnCommand(CMD_LOCATE_FAIL_POINT);
  doc.Tests().Set(MakeTests(tests, bytes));
  const TestText patterns[2] = {TestText{'\\', 'd', '{', '4', '}', '-', '\\', 'd', '+'},
                                TestText{'\\', 'b', '[', 'a', '-', 'z', ']', '+', '@', '\\', 'w', '+'}};
  std::vector<double> editToLast, longest;
  int which = 0;
  for (auto _ : state) {
    const TestText& p = patterns[which ^= 1];
    const Clock::time_point start = Clock::now();
    doc.SetPattern(p.data(), static_cast<int>(p.size()), true);
    double longestCall = Ms(Clock::now() - start);
    Clock::time_point end = Clock::now();
    while (doc.Tests().ArePending()) {
      const Clock::time_point before = Clock::now();
      ui.PumpEvents();
      end = Clock::now();
      longestCall = std::max(longestCall, Ms(end - before));
      if (doc.Tests().ArePending()) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    editToLast.push_back(Ms(end - start));
    longest.push_back(longestCall);
  }
  std::sort(editToLast.begin(), editToLast.end());
  std::sort(longest.begin(), longest.end());
  state.counters["edit_to_last_mark_ms_median"] = editToLast[editToLast.size() / 2];
  state.counters["edit_to_last_mark_ms_max"] = editToLast.back();
  state.counters["longest_ui_call_ms_max"] = longest.back();
}
BENCHMARK(BM_RerunAfterEdit)->Args({200, 10 * 1024})->Args({10000, 100})->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
  QStandardPaths::setTestModeEnabled(true);
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
