// Responsiveness of the Diagram pane on a 2,000-character pattern that uses every element kind:
// the layout model alone, the pane's relayout after an edit (model, heat, highlight, scroll
// bars; goal under 50 ms), the same for 100,000 alternatives and 250 nested groups, and one
// repaint of a 1200 x 400 view while Trace steps (the step's hint, then a synchronous repaint;
// goal under 16 ms). Not a test: run it by hand,
//   build/app/ui/panes/diagram/bench/diagram_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>

#include "app/document/diagram/diagram_layout.h"
#include "app/document/core/korvane_doc.h"
#include "app/document/core/tests/headless_ui.h"
#include "app/ui/panes/diagram/diagram_view.h"
#include "stringtable.h"

namespace {

QString LongPattern(int length, int variant) {
  static const QString piece = QStringLiteral(
      "(?:ab+|[c-e]\\w*?)(?<n>x{2})\\b(?=y)(?>z)(?i:q)(a)\\1[[:alpha:]]++(?(1)u|v)(?#c)\\Qk\\E|");
  QString p = variant ? QStringLiteral("w") : QString();
  while (p.size() < length) p += piece;
  p.truncate(length);
  return p;
}

std::vector<unsigned short> U16(const QString& s) {
  return std::vector<unsigned short>(reinterpret_cast<const unsigned short*>(s.utf16()),
                                     reinterpret_cast<const unsigned short*>(s.utf16()) + s.size());
}

class PumpingUi : public HeadlessUi {
 public:
  template <class F>
  bool Pump(F done) {
    return HeadlessUi::PumpUntil(
        [&] {
          QCoreApplication::processEvents();
          return done();
        },
        20000);
  }
};

struct Fixture {
  PumpingUi ui;
  CKorvaneDoc doc{&ui};
  std::unique_ptr<CDiagramPane> pane;
  explicit Fixture(int length) {
    ui.doc = &doc;
    doc.OnCommand(CMD_LOCATE_FAIL_POINT);  // no background search during the measurement
    pane = std::make_unique<CDiagramPane>(&doc);
    pane->resize(1200, 430);
    pane->show();
    Load(LongPattern(length, 0));
    pane->OnUpdate(nullptr, HINT_RECOMPILED);
    QApplication::processEvents();
  }
  void Load(const QString& text) {
    std::vector<unsigned short> u = U16(text);
    doc.SetPattern(u.data(), static_cast<int>(u.size()), false);
  }
};

void BM_DiagramLayoutModel(benchmark::State& state) {
  Fixture f(static_cast<int>(state.range(0)));
  CDiagramLayout layout;
  for (auto _ : state) layout.Build(f.doc.GetRecords().Root(), false, DiagramMetrics());
  state.counters["boxes"] = static_cast<double>(layout.Boxes().size());
}

void BM_DiagramAfterEdit(benchmark::State& state) {
  // Each round a different pattern (one character inserted or removed at the front): new
  // records, so the pane lays everything out again as after a keystroke's recompile.
  Fixture f(static_cast<int>(state.range(0)));
  int variant = 0;
  for (auto _ : state) {
    state.PauseTiming();
    variant ^= 1;
    f.Load(LongPattern(static_cast<int>(state.range(0)), variant));
    state.ResumeTiming();
    f.pane->OnUpdate(nullptr, HINT_RECOMPILED);
  }
  state.counters["boxes"] = static_cast<double>(f.pane->Layout().Boxes().size());
}

void BM_DiagramRepaintWhileTracing(benchmark::State& state) {
  Fixture f(static_cast<int>(state.range(0)));
  std::vector<unsigned short> subject = U16(QString(400, QLatin1Char('a')) + QStringLiteral("xxzqa"));
  f.doc.SetSubjectText(subject.data(), static_cast<int>(subject.size()));
  f.doc.SetMode(MODE_TRACE);
  f.pane->OnUpdate(nullptr, HINT_MODE);
  long long marked = 0;
  for (auto _ : state) {
    state.PauseTiming();
    f.doc.OnCommand(CMD_STEP_MATCH);
    f.ui.Pump([&] { return f.doc.IsPaused() || !f.doc.IsJobActive(); });
    state.ResumeTiming();
    f.pane->OnUpdate(nullptr, HINT_RECOLOR_PATTERN);
    f.pane->PaintNow();
    if (f.pane->TraceBox() >= 0) ++marked;
  }
  state.counters["marked"] = static_cast<double>(marked);
  f.doc.OnCommand(CMD_RESET_FIND);
  f.ui.Pump([&] { return !f.doc.IsJobActive(); });
}

void BM_DiagramHugePattern(benchmark::State& state) {
  // 100,000 alternatives (range 0) or 250 nested groups (range 1): the summaries keep the
  // relayout after a recompile bounded by the boxes drawn, plus one walk over the records.
  Fixture f(10);
  QString p;
  if (state.range(0) == 0) {
    for (int i = 0; i < 100000; ++i) p += (i ? QStringLiteral("|w") : QStringLiteral("w")) + QString::number(i);
  } else {
    p = QString(250, QLatin1Char('(')) + QStringLiteral("x") + QString(250, QLatin1Char(')'));
  }
  f.Load(p);
  for (auto _ : state) f.pane->OnUpdate(nullptr, HINT_RECOMPILED);
  state.counters["boxes"] = static_cast<double>(f.pane->Layout().Boxes().size());
  state.counters["records"] = static_cast<double>(f.doc.GetRecords().OffsetList().size());
}

}  // namespace

BENCHMARK(BM_DiagramHugePattern)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiagramLayoutModel)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiagramAfterEdit)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiagramRepaintWhileTracing)->Arg(2000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  CStringTable::SetCurrent(CStringTable::kEnglish);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
