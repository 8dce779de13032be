// Responsiveness of the pattern box and the structure tree on a 2,000-character pattern that
// uses every element kind: one keystroke (the colours shift with the text, one block is laid out
// again), the full re-colour after the recompile, the recompile itself (document, for
// comparison), and the in-place rebuild of the tree.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>

#include "app/document/core/korvane_doc.h"
#include "app/ui/editor/regex_edit_view.h"
#include "app/ui/editor/regex_tree_view.h"
#include "stringtable.h"

namespace {

// Every element kind in one piece, repeated to `length` characters.
QString LongPattern(int length) {
  static const QString piece = QStringLiteral(
      "(?:ab+|[c-e]\\w*?)(?<n>x{2})\\b(?=y)(?>z)(?i:q)(a)\\1[[:alpha:]]++(?(1)u|v)(?#c)\\Qk\\E|");
  QString p;
  while (p.size() < length) p += piece;
  p.truncate(length);
  return p;
}

class NullUi : public IDocumentUi {
 public:
  int MessageBox(const QString&, const QString&, int, int) override { return ANSWER_OK; }
  void RunWaitDialog(CKorvaneDoc*) override {}
  void CloseWaitDialog() override {}
  void PumpEvents() override {}
  void PostCommand(int) override {}
  void ShowElapsedTime(double) override {}
  void ShowResultPosition(int, int) override {}
  void SaveModeLayout(int) override {}
  void LoadModeLayout(int) override {}
  bool AskName(QString&) override { return false; }
};

struct Fixture {
  NullUi ui;
  CKorvaneDoc doc{&ui};
  CRegexEditView edit{&doc};
  CRegexTreeView tree{&doc};
  explicit Fixture(int length) {
    doc.OnCommand(CMD_LOCATE_FAIL_POINT);  // no background search during the measurement
    Load(LongPattern(length));
    edit.resize(900, 300);
    edit.show();
    QApplication::processEvents();
  }
  void Load(const QString& text) {
    std::vector<unsigned short> u(reinterpret_cast<const unsigned short*>(text.utf16()),
                                  reinterpret_cast<const unsigned short*>(text.utf16()) + text.size());
    doc.SetPattern(u.data(), static_cast<int>(u.size()), false);
    doc.Notify(nullptr, HINT_RECOMPILED | HINT_RECOLOR_PATTERN | HINT_PATTERN_REPLACED);
  }
};

void BM_Keystroke(benchmark::State& state) {
  Fixture f(static_cast<int>(state.range(0)));
  QTextCursor c(f.edit.document());
  c.setPosition(static_cast<int>(state.range(0)) / 2);
  for (auto _ : state) {
    c.insertText(QStringLiteral("a"));
    c.deletePreviousChar();
  }
  state.SetLabel("insert + delete, one block re-laid out each");
}

void BM_RecolourAfterEdit(benchmark::State& state) {
  Fixture f(static_cast<int>(state.range(0)));
  for (auto _ : state) f.edit.PaintAll();
  state.counters["blocks"] = f.edit.LastRelayoutBlocks();
}

void BM_RecolourChangedStyles(benchmark::State& state) {
  // Every repaint differs from the last (the current element moves), so the block is laid out
  // again each time.
  Fixture f(static_cast<int>(state.range(0)));
  const auto& offsets = f.doc.GetRecords().OffsetList();
  size_t i = 0;
  for (auto _ : state) {
    f.doc.SetCurrentElement(offsets[i++ % offsets.size()]->element);
    f.edit.PaintAll();
  }
}

void BM_Recompile(benchmark::State& state) {
  Fixture f(static_cast<int>(state.range(0)));
  QString text = LongPattern(static_cast<int>(state.range(0)));
  std::vector<unsigned short> u(reinterpret_cast<const unsigned short*>(text.utf16()),
                                reinterpret_cast<const unsigned short*>(text.utf16()) + text.size());
  for (auto _ : state) f.doc.SetPattern(u.data(), static_cast<int>(u.size()), false);
}

void BM_TreeRebuild(benchmark::State& state) {
  Fixture f(static_cast<int>(state.range(0)));
  for (auto _ : state) f.tree.Rebuild();
  state.counters["nodes"] = static_cast<double>(f.doc.GetRecords().OffsetList().size());
}

void BM_TreeRebuildAfterRecompile(benchmark::State& state) {
  // New records each time: every node's element identity changes, the items are reused.
  Fixture f(static_cast<int>(state.range(0)));
  QString text = LongPattern(static_cast<int>(state.range(0)));
  std::vector<unsigned short> u(reinterpret_cast<const unsigned short*>(text.utf16()),
                                reinterpret_cast<const unsigned short*>(text.utf16()) + text.size());
  for (auto _ : state) {
    state.PauseTiming();
    f.doc.SetPattern(u.data(), static_cast<int>(u.size()), false);
    state.ResumeTiming();
    f.tree.Rebuild();
  }
}

}  // namespace

BENCHMARK(BM_Keystroke)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecolourAfterEdit)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecolourChangedStyles)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Recompile)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TreeRebuild)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TreeRebuildAfterRecompile)->Arg(2000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  CStringTable::SetCurrent(CStringTable::kEnglish);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
