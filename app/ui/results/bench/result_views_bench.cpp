// The result boxes on a large text: 1,000,000 characters in lines of 50 with "abc" at the start
// of every line, so Find All gives 20,000 matches. Each benchmark measures one thing a user
// waits for: the text box's repaint after Find All and after a scroll (highlight window plus a
// real paint of the viewport), one keystroke, handing the edited text to the document, the split
// rows and the replace result rebuilds.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QtTest>
#include <memory>
#include <random>

#include "app/document/core/tests/headless_ui.h"
#include "app/ui/results/replace_result_edit_view.h"
#include "app/ui/results/split_result_list_view.h"
#include "app/ui/results/text_edit_view.h"
#include "resources/stringtable.h"

namespace {

constexpr int kLines = 20000;
constexpr int kLineLength = 50;  // with its line feed

QString BigText() {
  QString line = QStringLiteral("abc") + QString(kLineLength - 4, QLatin1Char('.')) + QLatin1Char('\n');
  QString text;
  text.reserve(kLines * kLineLength);
  for (int i = 0; i < kLines; ++i) text += line;
  return text;
}

std::vector<unsigned short> U16Of(const QString& s) { return std::vector<unsigned short>(s.utf16(), s.utf16() + s.size()); }

// A text box whose edit hand-over can be called directly.
class CBenchTextView : public CTextEditView {
 public:
  using CTextEditView::CTextEditView;
  void Commit() { CommitEdit(); }
};

// One document with the text, the pattern and the results of Find All, and a shown text box.
struct BigDoc {
  HeadlessUi ui;
  std::unique_ptr<CKorvaneDoc> doc;
  std::unique_ptr<CBenchTextView> view;

  explicit BigDoc(int mode = MODE_MATCH) {
    doc.reset(new CKorvaneDoc(&ui));
    ui.doc = doc.get();
    if (doc->QueryCommand(CMD_LOCATE_FAIL_POINT).checked) doc->OnCommand(CMD_LOCATE_FAIL_POINT);
    if (mode != MODE_MATCH) doc->SetMode(mode);
    view.reset(new CBenchTextView(doc.get()));
    view->resize(900, 700);
    view->show();
    (void)QTest::qWaitForWindowExposed(view.get());  // offscreen: exposure does not change the timing
    std::vector<unsigned short> p = U16Of(QStringLiteral("abc")), t = U16Of(BigText());
    doc->SetPattern(p.data(), static_cast<int>(p.size()), true);
    doc->SetSubjectText(t.data(), static_cast<int>(t.size()));
    doc->Notify(nullptr, HINT_SUBJECT_REPLACED | HINTS_SUBJECT_EDITED);
    if (mode == MODE_REPLACE) {
      std::vector<unsigned short> r = U16Of(QStringLiteral("[$0]"));
      doc->SetReplaceTo(r.data(), static_cast<int>(r.size()));
    }
    doc->OnCommand(CMD_FIND_ALL);
    QApplication::processEvents();
  }
};

BigDoc& Shared() {
  static BigDoc big;
  return big;
}

void BM_RepaintAfterFindAll(benchmark::State& state) {
  BigDoc& big = Shared();
  if (big.doc->RealMatchCount() != kLines) state.SkipWithError("Find All did not give 20000 matches");
  for (auto _ : state) {
    // What the box does on the hint of a finished Find All, then a real paint of the viewport.
    big.view->OnUpdate(nullptr, HINTS_SEARCH_RESULTS);
    big.view->viewport()->repaint();
  }
  state.counters["spans"] = static_cast<double>(big.view->PaintedSpans().size());
}
BENCHMARK(BM_RepaintAfterFindAll)->Unit(benchmark::kMillisecond);

void BM_RepaintAfterScroll(benchmark::State& state) {
  BigDoc& big = Shared();
  QScrollBar* bar = big.view->verticalScrollBar();
  std::mt19937 random(7);
  for (auto _ : state) {
    bar->setValue(static_cast<int>(random() % static_cast<unsigned>(bar->maximum() + 1)));
    big.view->RepaintHighlights();  // what the throttle timer does when it fires
    big.view->viewport()->repaint();
  }
  state.counters["spans"] = static_cast<double>(big.view->PaintedSpans().size());
}
BENCHMARK(BM_RepaintAfterScroll)->Unit(benchmark::kMillisecond);

void BM_Keystroke(benchmark::State& state) {
  BigDoc& big = Shared();
  big.view->setFocus();
  QTextCursor c = big.view->textCursor();
  c.setPosition(500000);
  big.view->setTextCursor(c);
  for (auto _ : state) {
    QTest::keyClick(big.view.get(), Qt::Key_X);
    big.view->viewport()->repaint();
    state.PauseTiming();
    QTest::keyClick(big.view.get(), Qt::Key_Backspace);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Keystroke)->Unit(benchmark::kMillisecond);

void BM_HandEditToDocument(benchmark::State& state) {
  // 350 ms after the last keystroke: the whole text goes to the document, the views are told.
  BigDoc& big = Shared();
  for (auto _ : state) {
    big.view->Commit();
    big.view->viewport()->repaint();
  }
}
BENCHMARK(BM_HandEditToDocument)->Unit(benchmark::kMillisecond);

void BM_SplitRowsRebuild(benchmark::State& state) {
  BigDoc big(MODE_SPLIT);
  CSplitResultListView list(big.doc.get());
  list.resize(400, 700);
  list.show();
  for (auto _ : state) {
    list.OnUpdate(nullptr, HINT_SPLIT_ROWS);
    list.viewport()->repaint();
  }
  state.counters["rows"] = list.model()->rowCount();
}
BENCHMARK(BM_SplitRowsRebuild)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ReplaceResultRebuild(benchmark::State& state) {
  BigDoc big(MODE_REPLACE);
  CReplaceResultEditView result(big.doc.get());
  result.resize(600, 700);
  result.show();
  for (auto _ : state) {
    result.OnUpdate(nullptr, HINTS_SEARCH_RESULTS);
    result.viewport()->repaint();
  }
  state.counters["chars"] = result.document()->characterCount();
}
BENCHMARK(BM_ReplaceResultRebuild)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  CStringTable::SetCurrent(CStringTable::kEnglish);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
