// One runner process and the protocol with it: the hello, one JSON line per request, the answers
// streamed line by line (the compile line, one line per subject, the done line), and everything
// that can go wrong on the way. Every offset is mapped to UTF-16 units of the subject here
// (unit_map.h), so nothing above this class knows the runner's unit.
//
// Never blocks the thread it lives on: Start() writes the request and returns; the answer comes
// with Finished(). Run() is the blocking form for the command line (a local event loop).
//
// The watchdog: while a request is under way, a runner that prints no line for the subject's
// time limit plus a slack (1.5 s) is killed (SIGKILL) and reaped, the subject it was on is marked
// timed out, and a new runner gets the subjects still unanswered. A runner that prints something
// that is not JSON, a line over 64 MiB, a malformed answer, or that exits or crashes, fails the
// request with a message for the flavour's cell; it is started again on the next request. A
// subject holding a lone surrogate goes as null to a runner whose hello says it cannot take one,
// and is answered "unrepresentable".
//
// Threads: a CFlavourRunner belongs to one thread with an event loop (the UI thread or the
// command line's), like the QProcess it owns.
//
// Covered by app/flavours/tests/flavour_runner_test.cpp (against the fake runner) and
// probe_table_test.cpp (against the real ones).
#ifndef KORVANE_FLAVOURS_FLAVOUR_RUNNER_H
#define KORVANE_FLAVOURS_FLAVOUR_RUNNER_H

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QTimer>
#include <vector>

#include "app/flavours/flavour_answer.h"
#include "app/flavours/flavour_table.h"
#include "app/flavours/unit_map.h"

// What a runner says about itself when it starts.
struct RunnerHello {
  QString flavour;
  QString engine;
  QString version;
  FlavourUnit unit = FlavourUnit::Utf16;
  bool surrogates = false;
};

class CFlavourRunner : public QObject {
  Q_OBJECT

 public:
  struct Limits {
    int helloMs = 10000;                    // a cold JVM or mono takes a while
    int slackMs = 1500;                     // the watchdog: a subject's time limit plus this
    qint64 maxLineBytes = qint64(64) << 20; // a longer answer line fails the runner
  };

  explicit CFlavourRunner(const FlavourLaunch& launch, QObject* parent = nullptr);
  ~CFlavourRunner() override;  // kills and reaps a running runner

  void SetLimits(const Limits& limits) { m_limits = limits; }
  const FlavourLaunch& Launch() const { return m_launch; }

  // Starts `request` and returns its ticket; Finished(ticket, ...) follows, never from inside
  // this call. A request still under way is abandoned: its runner is killed (it may be deep in
  // a catastrophic match) and its Finished never comes.
  quint64 Start(const FlavourRequest& request);
  // Start() and wait for the answer in a local event loop.
  FlavourAnswer Run(const FlavourRequest& request);
  bool Busy() const { return m_bHaveRequest; }

  bool HasHello() const { return m_bHello; }
  const RunnerHello& Hello() const { return m_hello; }
  // Processes started so far (the first start and every restart).
  int Starts() const { return m_nStarts; }
  // The running runner's process id, 0 when none runs.
  qint64 ProcessId() const;
  // Subjects written to runners so far (a restart's re-sent ones count again).
  long long SubjectsSent() const { return m_nSubjectsSent; }

 signals:
  void Finished(quint64 ticket, const FlavourAnswer& answer);

 private:
  enum State { IDLE, STARTING, READY, WORKING };

  void StartProcess();
  void StopProcess();
  void SendRemaining();
  void OnReadyRead();
  void OnStderr();
  void OnProcessFinished(int code, QProcess::ExitStatus status);
  void OnProcessError(QProcess::ProcessError error);
  void OnWatchdog();
  bool HandleLine(const QByteArray& line);  // false when the runner failed on it
  bool HandleHello(const QJsonObject& o);
  bool HandleAnswer(const QJsonObject& o);
  void Fail(FlavourOutcome outcome, const QString& message);
  void Finish();
  void ArmWatchdog(int ms);
  QString StderrTail() const;

  FlavourLaunch m_launch;
  Limits m_limits;
  QProcess* m_pProcess = nullptr;
  State m_state = IDLE;
  QTimer m_watchdog;
  QByteArray m_buffer;     // stdout not yet taken as lines
  int m_nScanned = 0;      // bytes of m_buffer known to hold no line break
  QByteArray m_stderr;     // the last few KiB of the runner's diagnostics

  bool m_bHello = false;
  RunnerHello m_hello;
  int m_nStarts = 0;
  long long m_nSubjectsSent = 0;

  bool m_bHaveRequest = false;
  quint64 m_nTicket = 0;
  FlavourRequest m_request;
  FlavourAnswer m_answer;
  std::vector<CUnitMap> m_maps;
  std::vector<bool> m_answered;
  std::vector<int> m_sent;  // the subjects of the line under way, by their place in that line
  qint64 m_nLineId = 0;     // the id of the line under way
  bool m_bCompileSeen = false;
};

#endif
