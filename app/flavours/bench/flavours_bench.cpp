// How long the flavours take: each runner's cold start (process start, hello, one small
// request), and the time from a request to a full matrix of N flavours x 20 subjects with warm
// runners (every request a new pattern, so nothing comes from the cache), at most two flavours
// busy as on a 2-core machine. Not a test: figures only.
//
//   flavours_bench [--only a,b,c] [--rounds N] [--busy N]
//
// KORVANE_RUNNERS_DIR points it at a runners folder other than the build tree's.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/flavours/flavour_pool.h"
#include "app/flavours/flavour_table.h"

namespace {

QStringList Subjects() {
  QStringList s;
  for (int i = 0; i < 20; ++i)
    s << QStringLiteral("order %1: 2024-0%2-1%3 total %4.50 EUR\n").arg(i).arg(i % 9 + 1).arg(i % 10).arg(i * 37);
  return s;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTextStream out(stdout);
  QStringList only;
  int rounds = 20, busy = 2;
  const QStringList args = app.arguments();
  for (int i = 1; i + 1 < args.size(); i += 2) {
    if (args[i] == QLatin1String("--only")) only = args[i + 1].split(QLatin1Char(','));
    else if (args[i] == QLatin1String("--rounds")) rounds = args[i + 1].toInt();
    else if (args[i] == QLatin1String("--busy")) busy = args[i + 1].toInt();
  }
  const QString folder = RunnersFolder();
  const FlavourSettings settings = FlavourSettings::FromEnvironment();
  out << "runners: " << folder << Qt::endl << Qt::endl << "cold start (start, hello, one request):" << Qt::endl;
  QStringList installed;
  FlavourRequest tiny;
  tiny.pattern = QStringLiteral("a");
  tiny.subjects = {QStringLiteral("a")};
  for (const FlavourInfo& f : AllFlavours()) {
    const QString name = QString::fromLatin1(f.name);
    if (f.InProcess() || (!only.isEmpty() && !only.contains(name))) continue;
    CFlavourRunner runner(LaunchFor(f, folder, settings));
    QElapsedTimer t;
    t.start();
    const FlavourAnswer a = runner.Run(tiny);
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    if (a.outcome != FlavourOutcome::Compiled) {
      out << QStringLiteral("  %1 %2").arg(name, -16).arg(a.error) << Qt::endl;
      continue;
    }
    installed << name;
    out << QStringLiteral("  %1 %2 ms  (%3 %4)").arg(name, -16).arg(ms, 8, 'f', 1).arg(a.engine, a.version) << Qt::endl;
  }
  if (installed.isEmpty()) {
    out << Qt::endl << "no runner answered: nothing to time" << Qt::endl;
    return 0;
  }
  // Korvane's own column is part of every matrix.
  installed.prepend(QStringLiteral("korvane"));
  CFlavourPool pool;
  pool.SetMaxBusy(busy);
  FlavourRequest r;
  r.subjects = Subjects();
  r.pattern = QStringLiteral("(\\d{4})-(\\d\\d)");
  pool.RunBlocking(installed, r);  // every runner started and warm
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    r.pattern = QStringLiteral("(\\d{4})-(\\d\\d)-1%1").arg(i % 10) + QString(i / 10, QLatin1Char('?'));
    QElapsedTimer t;
    t.start();
    const std::vector<FlavourAnswer> answers = pool.RunBlocking(installed, r);
    times.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    for (const FlavourAnswer& a : answers)
      if (a.outcome == FlavourOutcome::RunnerFailed) out << "  " << a.flavour << ": " << a.error << Qt::endl;
  }
  out << Qt::endl
      << QStringLiteral("warm matrix, Korvane and %1 flavours x %2 subjects, %3 busy at most: median %4 ms, best %5 ms, worst %6 ms (%7 rounds)")
             .arg(installed.size() - 1)
             .arg(r.subjects.size())
             .arg(busy)
             .arg(Median(times), 0, 'f', 1)
             .arg(*std::min_element(times.begin(), times.end()), 0, 'f', 1)
             .arg(*std::max_element(times.begin(), times.end()), 0, 'f', 1)
             .arg(rounds)
      << Qt::endl;
  return 0;
}
