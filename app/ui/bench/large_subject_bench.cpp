// The whole window on large subjects, offscreen: whether the window stays responsive while a
// large text is loaded, searched, shown in every mode and the window resized, and how soon a
// catastrophic search stops after Break.
//
// The measure of responsiveness is the longest stall of the UI thread: a helper thread posts a
// heartbeat to the UI thread (one at a time, every millisecond) and records how long each took
// to be delivered. An event loop that runs, also a nested one (the wait dialog, the document's
// pumping while it waits for a search), delivers it at once; one long call in between delays
// it by its length. Each step is also timed as a whole (its synchronous call), and the events it
// leaves behind (the chunked fill of a text box, repaint timers) are pumped until the window is
// idle, so that their stalls count towards the step.
//
//   QT_QPA_PLATFORM=offscreen large_subject_bench [--quick]
// --quick runs smaller subjects (a tenth), for a check that the bench itself works; --fold=N
// cuts folded lines into pieces of N characters instead; --plain turns folding, chunks and the
// switch to no wrapping off, as the boxes were before them; subject names (512k, 800k, 50m, break) pick some.
#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

#include "app/document/core/korvane_doc.h"
#include "app/document/files/text_clips.h"
#include "app/ui/editor/rich_edit_view.h"
#include "app/ui/frame/main_frame.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

// The longest delivery delay of a heartbeat posted to the UI thread since the last Reset.
class StallMeter : public QObject {
 public:
  StallMeter() {
    m_clock.start();
    m_thread = std::thread([this] { Run(); });
  }
  ~StallMeter() override {
    m_stop = true;
    m_thread.join();
  }
  void Reset() { m_maxNs = 0; }
  double MaxMs() const { return m_maxNs.load() / 1e6; }

 private:
  void Run() {
    while (!m_stop) {
      if (!m_outstanding.exchange(true)) {
        const qint64 sent = m_clock.nsecsElapsed();
        QMetaObject::invokeMethod(
            this,
            [this, sent] {
              const qint64 delay = m_clock.nsecsElapsed() - sent;
              qint64 seen = m_maxNs.load();
              while (delay > seen && !m_maxNs.compare_exchange_weak(seen, delay)) {
              }
              m_outstanding = false;
            },
            Qt::QueuedConnection);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  QElapsedTimer m_clock;
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_outstanding{false};
  std::atomic<qint64> m_maxNs{0};
};

// The application with every event delivery timed: the slowest delivery of a step, without the
// time of deliveries nested in it (a nested event loop), names the receiver and the event.
class TimedApp : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    QElapsedTimer t;
    t.start();
    m_nested.push_back(0);
    const int type = event->type();
    const char* cls = receiver ? receiver->metaObject()->className() : "?";
    const QString name = receiver ? receiver->objectName() : QString();
    const bool result = QApplication::notify(receiver, event);
    const qint64 total = t.nsecsElapsed();
    const qint64 own = total - m_nested.back();
    m_nested.pop_back();
    if (!m_nested.empty()) m_nested.back() += total;
    if (own > m_worstNs) {
      m_worstNs = own;
      m_worst = QStringLiteral("%1 %2 event %3").arg(QLatin1String(cls), name).arg(type);
    }
    return result;
  }
  void ResetWorst() {
    m_worstNs = 0;
    m_worst.clear();
  }
  QString Worst() const { return QStringLiteral("%1 ms in %2").arg(m_worstNs / 1e6, 0, 'f', 1).arg(m_worst); }

 private:
  std::vector<qint64> m_nested;
  qint64 m_worstNs = 0;
  QString m_worst;
};

TimedApp* g_app = nullptr;

std::vector<unsigned short> U16(const QString& s) {
  return std::vector<unsigned short>(s.utf16(), s.utf16() + s.size());
}

struct Row {
  QString subject;
  QString step;
  double callMs;
  double stallMs;
  QString note;
};

class Bench {
 public:
  explicit Bench(bool quick) : m_quick(quick) {
    m_frame.resize(1200, 800);
    m_frame.show();
    m_frame.messageBoxHook = [](const QString&, const QString&, int, int) { return IDocumentUi::ANSWER_OK; };
    Settle(500);
    CKorvaneDoc* doc = m_frame.Doc();
    // The background fail-point check would search every text as well: it runs on its own
    // thread, but it would take a core of this machine from the steps measured.
    if (doc->IsLocateFailPoint()) doc->OnCommand(ID_MATCH_LOCATE_FAIL_POINT);
  }

  // Runs `fn` as one step, pumps what it leaves behind, and records the figures.
  void Step(const QString& subject, const QString& step, const std::function<void()>& fn, const QString& note = {}) {
    Settle(100);
    m_meter.Reset();
    g_app->ResetWorst();
    QElapsedTimer t;
    t.start();
    fn();
    const double call = t.nsecsElapsed() / 1e6;
    Settle(300);
    m_rows.push_back({subject, step, call, m_meter.MaxMs(), note});
    if (step.startsWith(QLatin1String("Match All")))
      std::printf("  (%d matches)\n", m_frame.Doc()->RealMatchCount());
    std::printf("  %-34s %-28s call %9.1f ms  longest stall %9.1f ms %s\n", qPrintable(subject), qPrintable(step),
                call, m_meter.MaxMs(), qPrintable(note));
    std::printf("      slowest delivery: %s\n", qPrintable(g_app->Worst()));
    std::fflush(stdout);
  }

  void Trigger(int id) {
    m_frame.UpdateCommandUi();
    if (QAction* a = m_frame.CommandAction(id)) {
      if (a->isEnabled()) a->trigger();
      else std::printf("  (command %d disabled)\n", id);
    }
  }

  void SetPattern(const QString& pattern) {
    const auto p = U16(pattern);
    m_frame.Doc()->SetPattern(p.data(), static_cast<int>(p.size()), true);
    m_frame.Doc()->Notify(nullptr, HINTS_PATTERN_EDITED);
  }
  void SetReplaceTo(const QString& replaceTo) {
    const auto r = U16(replaceTo);
    m_frame.Doc()->SetReplaceTo(r.data(), static_cast<int>(r.size()));
    m_frame.Doc()->Notify(nullptr, HINTS_REPLACE_TO_EDITED | HINT_REPLACE_TO_REPLACED);
  }
  // As a workspace or the document gives the subject to the window.
  void SetSubject(const std::vector<unsigned short>& text) {
    m_frame.Doc()->SetSubjectText(text.data(), static_cast<int>(text.size()));
    m_frame.Doc()->Notify(nullptr, HINTS_SUBJECT_EDITED | HINT_SUBJECT_REPLACED);
  }

  void Mode(int id) { Trigger(id); }

  // Pumps events for at least `ms` and until no text box fills and no search runs.
  void Settle(int ms) {
    QElapsedTimer t;
    t.start();
    const QList<CRichEdit2WView*> boxes = m_frame.findChildren<CRichEdit2WView*>();
    for (;;) {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
      // Not a busy loop: the search thread needs the other core.
      std::this_thread::sleep_for(std::chrono::microseconds(500));
      bool busy = m_frame.Doc()->IsJobActive();
      for (CRichEdit2WView* box : boxes) busy = busy || box->IsFilling();
      if (!busy && t.elapsed() >= ms) break;
      if (t.elapsed() > 600000) break;  // ten minutes: give up on this step
    }
  }

  int Scale(int n) const { return m_quick ? n / 10 : n; }

  void Subject512k() {
    const QString name = QStringLiteral("512,000 chars, one line");
    QString unit = QStringLiteral("abc 123 ");
    QString text;
    const int length = Scale(512000);
    text.reserve(length);
    while (text.size() < length) text += unit;
    text.truncate(length);
    const auto u = U16(text);
    Step(name, QStringLiteral("mode Match"), [&] { Mode(ID_MODE_MATCH); });
    Step(name, QStringLiteral("pattern, replace-to"), [&] {
      SetPattern(QStringLiteral("\\d+"));
      SetReplaceTo(QStringLiteral("<$&>"));
    });
    Step(name, QStringLiteral("load"), [&] { SetSubject(u); });
    Step(name, QStringLiteral("Match All"), [&] { Trigger(ID_MATCH_FIND_ALL); });
    Step(name, QStringLiteral("mode Replace"), [&] { Mode(ID_MODE_REPLACE); });
    Step(name, QStringLiteral("Match All in Replace"), [&] { Trigger(ID_MATCH_FIND_ALL); });
    Step(name, QStringLiteral("mode Split"), [&] { Mode(ID_MODE_SPLIT); });
    Step(name, QStringLiteral("Match All in Split"), [&] { Trigger(ID_MATCH_FIND_ALL); });
    Step(name, QStringLiteral("mode Trace"), [&] { Mode(ID_MODE_TRACE); });
    Step(name, QStringLiteral("mode Optimize"), [&] { Mode(ID_MODE_OPTIMIZE); });
    Step(name, QStringLiteral("mode Match"), [&] { Mode(ID_MODE_MATCH); });
    Step(name, QStringLiteral("resize"), [&] { Resize(); });
  }

  void Subject50M() {
    const QString name = QStringLiteral("50,000,000 chars, lines of 80");
    // Lines of 79 characters and a line feed, a five-digit number in each.
    const int lines = Scale(625000);
    QString text;
    text.reserve(qsizetype(lines) * 80);
    for (int i = 0; i < lines; ++i) {
      text += QStringLiteral("line %1 ").arg(i % 100000, 5, 10, QLatin1Char('0'));
      text += QString(79 - 11, QLatin1Char('.'));
      text += QLatin1Char('\n');
    }
    const auto u = U16(text);
    text = QString();
    Step(name, QStringLiteral("mode Match"), [&] { Mode(ID_MODE_MATCH); });
    Step(name, QStringLiteral("pattern, replace-to"), [&] {
      SetPattern(QStringLiteral("\\d{5}"));
      SetReplaceTo(QStringLiteral("#$&"));
    });
    Step(name, QStringLiteral("load"), [&] { SetSubject(u); });
    Step(name, QStringLiteral("Match All"), [&] { Trigger(ID_MATCH_FIND_ALL); });
    Step(name, QStringLiteral("mode Replace"), [&] { Mode(ID_MODE_REPLACE); });
    Step(name, QStringLiteral("Match All in Replace"), [&] { Trigger(ID_MATCH_FIND_ALL); });
    Step(name, QStringLiteral("resize"), [&] { Resize(); });
    Step(name, QStringLiteral("mode Match"), [&] { Mode(ID_MODE_MATCH); });
    Step(name, QStringLiteral("empty subject"), [&] { SetSubject({}); });
  }

  void Subject800k() {
    const QString name = QStringLiteral("5,000,000 chars, 824,000 matches");
    // Lines of 16 digits, each followed by five spaces (96 characters and a line feed).
    QString line;
    for (int i = 0; i < 16; ++i) line += QLatin1Char(char('0' + i % 10)) + QString(5, QLatin1Char(' '));
    line += QLatin1Char('\n');
    const int length = Scale(5000000);
    QString text;
    text.reserve(length + line.size());
    while (text.size() < length) text += line;
    const auto u = U16(text);
    Step(name, QStringLiteral("mode Match"), [&] { Mode(ID_MODE_MATCH); });
    Step(name, QStringLiteral("pattern, replace-to"), [&] {
      SetPattern(QStringLiteral("\\d"));
      SetReplaceTo(QStringLiteral("[$&]"));
    });
    Step(name, QStringLiteral("load"), [&] { SetSubject(u); });
    Step(name, QStringLiteral("Match All"), [&] { Trigger(ID_MATCH_FIND_ALL); });
    Step(name, QStringLiteral("mode Replace"), [&] { Mode(ID_MODE_REPLACE); });
    Step(name, QStringLiteral("Match All in Replace"), [&] { Trigger(ID_MATCH_FIND_ALL); });
    Step(name, QStringLiteral("mode Split"), [&] { Mode(ID_MODE_SPLIT); });
    Step(name, QStringLiteral("Match All in Split"), [&] { Trigger(ID_MATCH_FIND_ALL); });
    Step(name, QStringLiteral("mode Match"), [&] { Mode(ID_MODE_MATCH); });
    Step(name, QStringLiteral("resize"), [&] { Resize(); });
    Step(name, QStringLiteral("empty subject"), [&] { SetSubject({}); });
  }

  // Break during a catastrophic search: the time from the user's Break in the wait dialog to
  // the search being over (Match All returning to the window).
  void BreakLatency() {
    const QString name = QStringLiteral("(?:a|aa)*(?:b|c) on 10,000 a's");
    Step(name, QStringLiteral("mode Match"), [&] { Mode(ID_MODE_MATCH); });
    Step(name, QStringLiteral("load"), [&] {
      SetPattern(QStringLiteral("(?:a|aa)*(?:b|c)"));
      SetSubject(U16(QString(10000, QLatin1Char('a'))));
    });
    QElapsedTimer clock;
    clock.start();
    qint64 breakAt = -1;
    // Break as soon as the wait dialog shows, one second into the search at the earliest.
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (breakAt >= 0 || clock.elapsed() < 1000) return;
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        breakAt = clock.nsecsElapsed();
        dialog->reject();
      }
    });
    poll.start();
    qint64 doneAt = -1;
    Step(name, QStringLiteral("Match All, Break after 1 s"), [&] {
      Trigger(ID_MATCH_FIND_ALL);
      doneAt = clock.nsecsElapsed();
    });
    poll.stop();
    m_breakMs = breakAt >= 0 && doneAt >= breakAt ? (doneAt - breakAt) / 1e6 : -1;
    std::printf("  Break latency: %.1f ms (from Break to the search over)\n", m_breakMs);
  }

  void Resize() {
    m_frame.resize(1500, 950);
    Settle(100);
    m_frame.resize(1200, 800);
  }

  void PrintTable() const {
    std::printf("\n| subject | step | call (ms) | longest UI stall (ms) |\n|---|---|---:|---:|\n");
    for (const Row& r : m_rows)
      std::printf("| %s | %s | %.1f | %.1f%s |\n", qPrintable(r.subject), qPrintable(r.step), r.callMs, r.stallMs,
                  r.stallMs > 100 ? " (over 100)" : "");
    std::printf("\nBreak latency: %.1f ms\n", m_breakMs);
  }

 private:
  bool m_quick;
  CMainFrame m_frame;
  StallMeter m_meter;
  std::vector<Row> m_rows;
  double m_breakMs = -1;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  TimedApp app(argc, argv);
  g_app = &app;
  // A settings folder of its own: the bench neither reads nor changes the user's layout.
  QTemporaryDir settings;
  if (!settings.isValid()) return 2;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  CStringTable::SetCurrent(CStringTable::kEnglish);
  CTextClips::SetDefaultLocation(settings.filePath(QStringLiteral("bench.clips")), nullptr);
  const bool quick = QCoreApplication::arguments().contains(QStringLiteral("--quick"));
  const QStringList args = QCoreApplication::arguments();
  // --fold=N: another fold length, to compare (the thresholds' test hook).
  for (const QString& a : args)
    if (a.startsWith(QLatin1String("--fold="))) CRichEdit2WView::SetLargeTextLimitsForTest(0, 0, 0, a.mid(7).toInt());
  // --plain: no folding, no chunks, no switch to no wrapping (the boxes as they were before).
  if (args.contains(QStringLiteral("--plain")))
    CRichEdit2WView::SetLargeTextLimitsForTest(std::numeric_limits<int>::max(), std::numeric_limits<int>::max(),
                                               std::numeric_limits<int>::max() / 4);
  auto wanted = [&](const char* name) {
    // Subjects by name on the command line (512k, 50m, 800k, break); all when none is named.
    bool any = false;
    for (const QString& a : args.mid(1)) any = any || !a.startsWith(QLatin1Char('-'));
    return args.size() <= 1 || !any || args.contains(QLatin1String(name));
  };
  int status = 0;
  {
    if (quick) std::printf("--quick: every subject is a tenth of the size its name gives\n");
    Bench bench(quick);
    if (wanted("512k")) bench.Subject512k();
    if (wanted("800k")) bench.Subject800k();
    if (wanted("50m")) bench.Subject50M();
    if (wanted("break")) bench.BreakLatency();
    bench.PrintTable();
  }
  CTextClips::SetDefaultLocation(QString(), nullptr);
  return status;
}
