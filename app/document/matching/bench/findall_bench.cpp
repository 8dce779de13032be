// The document's Find All against the plain build's search loop, on the rows of
// bench/engine_bench (bench/corpus.h): the same patterns on the same texts, as UTF-16. The
// document's side is the whole command as Match mode runs it: the job on the match worker, the
// wait for it, every result stored and the views notified (one view here, which only counts its
// notifications). The plain side is the engine's search loop counting matches.
//
// Each row runs `--runs` times (7 by default) alternating the two sides; the table gives the
// medians, the fastest runs and the document's median over the plain build's. The match counts
// must agree (exit status 1 otherwise). Meaningful figures need a Release build:
//   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build build-rel --target findall_bench
//   build-rel/app/document/matching/bench/findall_bench [--runs=N] [--rows=Name,Name] [--traced]
// --traced measures the traced search instead (Optimize mode: every element entry reported).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/document/core/tests/headless_ui.h"
#include "bench/corpus.h"
#include "stringtable.h"

int PlainFindAll(const std::vector<unsigned short>& pattern, const std::vector<unsigned short>& text, int flags);

namespace {

class CountingView : public CDocView {
 public:
  void OnUpdate(CDocView*, int) override { ++updates; }
  int updates = 0;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  int runs = 7;
  bool traced = false;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--runs=", 7) == 0) runs = std::max(1, std::atoi(argv[i] + 7));
    else if (std::strncmp(argv[i], "--rows=", 7) == 0) only = std::string(",") + (argv[i] + 7) + ",";
    else if (std::strcmp(argv[i], "--traced") == 0) traced = true;
    else {
      std::fprintf(stderr, "usage: findall_bench [--runs=N] [--rows=Name,Name] [--traced]\n");
      return 2;
    }
  }
  CStringTable::SetCurrent(CStringTable::kEnglish);
  const std::vector<unsigned short> prose = U16(bench_corpus::MakeProse(3u << 20));
  const std::vector<unsigned short> ab = U16(bench_corpus::MakeAlternating(1u << 20));
  const std::vector<unsigned short> line = U16(bench_corpus::MakeLine(1u << 20));
  const std::vector<unsigned short> x400 = U16(std::string(400, 'x'));

  std::printf("Find All, %s search of the document against the plain build (ms; %d runs)\n\n",
              traced ? "traced" : "direct", runs);
  std::printf("| row | matches | document median (min) | plain median (min) | document / plain |\n");
  std::printf("|---|---:|---:|---:|---:|\n");
  bool agree = true;
  for (const bench_corpus::BenchPattern& row : bench_corpus::kPatterns) {
    if (!only.empty() && only.find(std::string(",") + row.name + ",") == std::string::npos) continue;
    const std::vector<unsigned short>& text = row.text == bench_corpus::TEXT_AB     ? ab
                                              : row.text == bench_corpus::TEXT_LINE ? line
                                              : row.text == bench_corpus::TEXT_X400 ? x400
                                                                                    : prose;
    const std::vector<unsigned short> pattern = U16(row.pattern);
    const int flags = row.ignoreCase ? IGNORECASE : 0;

    HeadlessUi ui;
    CKorvaneDoc doc(&ui);
    ui.doc = &doc;
    CountingView view;
    doc.AddView(&view);
    if (doc.IsLocateFailPoint()) doc.OnCommand(CMD_LOCATE_FAIL_POINT);
    if (traced) doc.OnCommand(CMD_MODE_OPTIMIZE);
    if (flags & IGNORECASE) doc.OnCommand(CMD_IGNORECASE);
    doc.SetPattern(pattern.data(), static_cast<int>(pattern.size()), false);
    doc.SetSubjectText(text.data(), static_cast<int>(text.size()));

    std::vector<double> docMs, plainMs;
    int docCount = 0, plainCount = 0;
    for (int r = 0; r < runs; ++r) {
      doc.OnCommand(CMD_RESET_FIND);  // frees the last run's results, outside the clock
      doc.WaitForDisposal();          // (a large list is freed on the disposal thread)
      ui.ClearBoxes();
      auto t0 = std::chrono::steady_clock::now();
      doc.OnCommand(CMD_FIND_ALL);
      auto t1 = std::chrono::steady_clock::now();
      docMs.push_back(Ms(t1 - t0));
      docCount = doc.RealMatchCount();
      t0 = std::chrono::steady_clock::now();
      plainCount = PlainFindAll(pattern, text, flags);
      t1 = std::chrono::steady_clock::now();
      plainMs.push_back(Ms(t1 - t0));
    }
    doc.RemoveView(&view);
    const double d = Median(docMs), p = Median(plainMs);
    std::printf("| %s | %d | %.3f (%.3f) | %.3f (%.3f) | %.2fx |\n", row.name, docCount, d,
                *std::min_element(docMs.begin(), docMs.end()), p, *std::min_element(plainMs.begin(), plainMs.end()),
                p > 0 ? d / p : 0.0);
    if (docCount != plainCount) {
      std::printf("  the counts disagree: document %d, plain build %d\n", docCount, plainCount);
      agree = false;
    }
  }
  return agree ? 0 : 1;
}
