// The Explanation pane after an edit: the document recompiles a pattern, the pane rebuilds its
// outline (the top levels, at most a few hundred lines) and the window repaints. Aim: under
// 50 ms for a 2,000-character pattern; a pattern of 100,000 alternatives shows how the lazy
// outline keeps a huge pattern responsive. Run by hand (not a test):
//   QT_QPA_PLATFORM=offscreen <build>/app/ui/panes/explanation/bench/explanation_pane_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <string>

#include "app/document/core/korvane_doc.h"
#include "app/document/core/tests/headless_ui.h"
#include "app/ui/panes/explanation/explanation_pane.h"

namespace {

std::vector<unsigned short> EverydayPattern(size_t size) {
  std::string p;
  for (int i = 0; p.size() < size; ++i) {
    const std::string n = std::to_string(i);
    p += "(?<user" + n + ">[A-Za-z0-9._%+-]+)@(?<host" + n + ">(?:[A-Za-z0-9-]+\\.)+[A-Za-z]{2,})";
    p += "|(?<y" + n + ">\\d{4})-(?<m" + n + ">0[1-9]|1[0-2])-(?<d" + n + ">\\d\\d)(?=\\s|$)";
    p += "|\\b(?i:re|fw)\\b:?\\s*(?!\\d)\\w+?|";
  }
  p.resize(size);
  return std::vector<unsigned short>(p.begin(), p.end());
}

std::vector<unsigned short> Alternation(int count) {
  std::string p;
  for (int i = 0; i < count; ++i) p += (i ? "|w" : "w") + std::to_string(i);
  return std::vector<unsigned short>(p.begin(), p.end());
}

void EditAndShow(benchmark::State& state, std::vector<unsigned short> pattern) {
  HeadlessUi ui;
  CKorvaneDoc doc(&ui);
  ui.doc = &doc;
  {
    CExplanationPane pane(&doc);
    pane.resize(700, 500);
    pane.show();
    QApplication::processEvents();
    int k = 0;
    for (auto _ : state) {
      pattern[pattern.size() / 2] = (k++ & 1) ? 'a' : 'b';
      doc.SetPattern(pattern.data(), static_cast<int>(pattern.size()), true);
      doc.Notify(nullptr, HINT_RECOMPILED);
      pane.repaint();
    }
    state.counters["lines_made"] = pane.MadeLines();
  }
  ui.doc = nullptr;
}

void BM_EditEverydayPattern(benchmark::State& state) { EditAndShow(state, EverydayPattern(2000)); }
BENCHMARK(BM_EditEverydayPattern)->Unit(benchmark::kMillisecond);

void BM_EditHugeAlternation(benchmark::State& state) { EditAndShow(state, Alternation(100000)); }
BENCHMARK(BM_EditHugeAlternation)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
