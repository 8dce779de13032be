// Loading a clips file at start-up: the time the document's constructor spends in the clips
// (CTextClips::Open, on the UI thread) for files of several sizes, and the process's peak
// resident memory afterwards. Run by hand:
//   build/app/document/files/bench/clips_load_bench
// The files are written once to a temporary folder: lines of about 70 code units with escapes
// and a name, as a user's clips look. 16 MB is just below the largest file the program reads
// (CTextClips::kReadLimit, 16 MiB); 200 MB is far beyond it and shows what a start-up with such
// a file costs.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <random>
#include <string>

#if defined(__unix__)
#include <sys/resource.h>
#endif

#include "app/document/files/text_clips.h"
#include "platform/file_io.h"
#include "platform/shared_counter.h"

namespace {

QTemporaryDir& Folder() {
  static QTemporaryDir dir;
  return dir;
}

// The path of a clips file of about `megabytes` MB, written on first use.
QString ClipsFile(int megabytes) {
  const QString path = QDir(Folder().path()).filePath(QStringLiteral("c%1.clips").arg(megabytes));
  if (QFile::exists(path)) return path;
  std::mt19937 rng(20261208u + static_cast<unsigned>(megabytes));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return path;
  const qint64 size = qint64(megabytes) * 1000 * 1000;
  QString line;
  for (int i = 0; file.size() < size; ++i) {
    line = QStringLiteral("\"clip %1: ").arg(i);
    const int words = 2 + static_cast<int>(rng() % 8);
    for (int w = 0; w < words; ++w) line += QString::number(rng(), 36) + QLatin1Char(' ');
    line += QStringLiteral("\\\"quoted\\\" \\\\ path\\nsecond line\"name %1\r\n").arg(i);
    file.write(CFileIo::EncodeUtf16Le(line));
  }
  return path;
}

long PeakResidentMegabytes() {
#if defined(__unix__)
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
#else
  return 0;
#endif
}

void OpenClipsFile(benchmark::State& state) {
  const QString path = ClipsFile(static_cast<int>(state.range(0)));
  CSharedCounter counter;  // this process only
  int clips = 0;
  for (auto _ : state) {
    CTextClips c;
    c.SetLocation(path, &counter);
    c.Open();
    clips = c.Count();
  }
  state.counters["clips"] = clips;
  state.counters["peak_MB"] = static_cast<double>(PeakResidentMegabytes());
  state.SetBytesProcessed(state.iterations() * QFile(path).size());
}

BENCHMARK(OpenClipsFile)->Arg(1)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OpenClipsFile)->Arg(200)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
