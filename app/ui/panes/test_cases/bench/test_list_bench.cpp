// The test list while a run reports its results: every row's mark and reason change, one row
// at a time as results come in, then the window repaints. The cost of one result must not grow
// with the number of rows (a column sized to its contents did: a run of 5,000 tests froze the
// window for minutes). Run by hand (not a test):
//   QT_QPA_PLATFORM=offscreen <build>/app/ui/panes/test_cases/bench/test_list_bench
#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/document/testing/test_eval.h"
#include "app/ui/panes/test_cases/test_case_list.h"

namespace {

void BM_ResultsOfARun(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  CTestCaseList list;
  list.resize(600, 400);
  list.SetRowCount(rows);
  for (int i = 0; i < rows; ++i) list.SetRow(i, TEST_NOT_RUN, QStringLiteral("Test %1").arg(i + 1), QString());
  list.show();
  QApplication::processEvents();
  int run = 0;
  for (auto _ : state) {
    ++run;
    for (int i = 0; i < rows; ++i) {
      const bool pass = (i + run) % 3 != 0;
      list.SetRow(i, pass ? TEST_PASS : TEST_FAIL, QStringLiteral("Test %1").arg(i + 1),
                  pass ? QString() : QStringLiteral("no match, expected one (run %1)").arg(run));
    }
    QApplication::processEvents();
  }
  state.counters["per_row_us"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate |
                                                                                 benchmark::Counter::kInvert);
}
BENCHMARK(BM_ResultsOfARun)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
