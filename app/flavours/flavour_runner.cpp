// One runner process and the protocol with it (see flavour_runner.h).
#include "app/flavours/flavour_runner.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

namespace {

const int kStderrKeep = 4096;

QString Shown(const QByteArray& line) {
  QString s = QString::fromUtf8(line.left(80));
  if (line.size() > 80) s += QStringLiteral("...");
  return s;
}

bool IsInt(const QJsonValue& v) { return v.isDouble() && v.toDouble() == static_cast<double>(v.toInt()); }

}  // namespace

CFlavourRunner::CFlavourRunner(const FlavourLaunch& launch, QObject* parent) : QObject(parent), m_launch(launch) {
  qRegisterMetaType<FlavourAnswer>();
  m_watchdog.setSingleShot(true);
  connect(&m_watchdog, &QTimer::timeout, this, &CFlavourRunner::OnWatchdog);
}

CFlavourRunner::~CFlavourRunner() { StopProcess(); }

qint64 CFlavourRunner::ProcessId() const {
  return m_pProcess && m_pProcess->state() != QProcess::NotRunning ? m_pProcess->processId() : 0;
}

quint64 CFlavourRunner::Start(const FlavourRequest& request) {
  if (m_bHaveRequest) StopProcess();  // abandoned: see the header
  m_bHaveRequest = true;
  const quint64 ticket = ++m_nTicket;
  m_request = request;
  m_answer = FlavourAnswer();
  m_answer.flavour = m_launch.flavour;
  const size_t n = static_cast<size_t>(request.subjects.size());
  m_answer.subjects.assign(n, SubjectAnswer());
  m_maps.clear();
  m_maps.reserve(n);
  for (const QString& s : request.subjects) m_maps.emplace_back(s);
  m_answered.assign(n, false);
  m_bCompileSeen = false;

  if (!m_launch.notInstalled.isEmpty()) {
    m_answer.outcome = FlavourOutcome::NotInstalled;
    m_answer.error = m_launch.notInstalled;
    for (SubjectAnswer& s : m_answer.subjects) s.error = m_launch.notInstalled;
    Finish();
    return ticket;
  }
  if (m_state == IDLE) StartProcess();
  else if (m_state == READY) SendRemaining();
  return ticket;
}

FlavourAnswer CFlavourRunner::Run(const FlavourRequest& request) {
  FlavourAnswer out;
  QEventLoop loop;
  quint64 want = 0;
  bool done = false;
  QMetaObject::Connection c = connect(this, &CFlavourRunner::Finished, &loop, [&](quint64 ticket, const FlavourAnswer& a) {
    if (ticket != want) return;
    out = a;
    done = true;
    loop.quit();
  });
  want = Start(request);
  if (!done) loop.exec();
  disconnect(c);
  return out;
}

void CFlavourRunner::StartProcess() {
  if (!QFileInfo(m_launch.runnerFile).isFile()) {
    Fail(FlavourOutcome::RunnerFailed,
         QStringLiteral("runner failed: no runner file %1 (build or install the runners)").arg(m_launch.runnerFile));
    return;
  }
  m_buffer.clear();
  m_nScanned = 0;
  m_stderr.clear();
  m_bHello = false;
  m_pProcess = new QProcess(this);
  m_pProcess->setProgram(m_launch.program);
  m_pProcess->setArguments(m_launch.arguments);
  connect(m_pProcess, &QProcess::readyReadStandardOutput, this, &CFlavourRunner::OnReadyRead);
  connect(m_pProcess, &QProcess::readyReadStandardError, this, &CFlavourRunner::OnStderr);
  connect(m_pProcess, &QProcess::finished, this, &CFlavourRunner::OnProcessFinished);
  connect(m_pProcess, &QProcess::errorOccurred, this, &CFlavourRunner::OnProcessError);
  m_state = STARTING;
  ++m_nStarts;
  ArmWatchdog(m_limits.helloMs);
  m_pProcess->start();
}

void CFlavourRunner::StopProcess() {
  m_watchdog.stop();
  if (m_pProcess) {
    QProcess* p = m_pProcess;
    m_pProcess = nullptr;
    p->disconnect(this);
    if (p->state() != QProcess::NotRunning) {
      p->kill();                 // SIGKILL: a runner deep in a match reads nothing
      p->waitForFinished(5000);  // reaps it: no zombie is left behind
    }
    p->deleteLater();
  }
  m_state = IDLE;
  m_bHello = false;
  m_buffer.clear();
  m_nScanned = 0;
}

void CFlavourRunner::ArmWatchdog(int ms) { m_watchdog.start(ms > 0 ? ms : 1); }

void CFlavourRunner::SendRemaining() {
  m_sent.clear();
  QByteArray line;
  line.reserve(256);
  line += "{\"id\":";
  line += QByteArray::number(++m_nLineId);
  line += ",\"pattern\":";
  line += JsonAsciiString(m_request.pattern);
  line += ",\"flags\":";
  line += JsonAsciiString(m_request.flags);
  line += ",\"native_flags\":";
  line += JsonAsciiString(m_request.nativeFlags);
  line += ",\"subjects\":[";
  bool first = true;
  for (size_t i = 0; i < m_answered.size(); ++i) {
    if (m_answered[i]) continue;
    if (!first) line += ',';
    first = false;
    m_sent.push_back(static_cast<int>(i));
    if (!m_hello.surrogates && m_maps[i].HasLoneSurrogate()) {
      line += "null";
      SubjectAnswer& a = m_answer.subjects[i];
      a.status = SubjectStatus::Unrepresentable;
      a.error = QStringLiteral("text not representable in %1 (it holds a lone surrogate)").arg(m_launch.flavour);
    } else {
      line += JsonAsciiString(m_request.subjects[static_cast<int>(i)]);
      ++m_nSubjectsSent;
    }
  }
  line += "],\"timeout_ms\":";
  line += QByteArray::number(m_request.timeoutMs);
  line += ",\"max_matches\":";
  line += QByteArray::number(m_request.maxMatches);
  line += "}\n";
  m_state = WORKING;
  ArmWatchdog(m_request.timeoutMs + m_limits.slackMs);
  m_pProcess->write(line);
}

void CFlavourRunner::OnReadyRead() {
  // A runner may print several lines at once, and a line may come in many pieces.
  QPointer<QProcess> process = m_pProcess;
  while (process && process == m_pProcess) {
    const QByteArray chunk = m_pProcess->readAllStandardOutput();
    if (chunk.isEmpty()) break;
    m_buffer += chunk;
    for (;;) {
      const int nl = m_buffer.indexOf('\n', m_nScanned);
      if (nl < 0) {
        m_nScanned = static_cast<int>(m_buffer.size());
        if (m_buffer.size() > m_limits.maxLineBytes) {
          Fail(FlavourOutcome::RunnerFailed,
               QStringLiteral("runner failed: an answer line longer than %1 MiB").arg(m_limits.maxLineBytes >> 20));
          return;
        }
        break;
      }
      if (nl > m_limits.maxLineBytes) {
        Fail(FlavourOutcome::RunnerFailed,
             QStringLiteral("runner failed: an answer line longer than %1 MiB").arg(m_limits.maxLineBytes >> 20));
        return;
      }
      const QByteArray line = m_buffer.left(nl).trimmed();
      m_buffer.remove(0, nl + 1);
      m_nScanned = 0;
      if (line.isEmpty()) continue;
      if (!HandleLine(line) || m_pProcess != process) return;
    }
  }
}

void CFlavourRunner::OnStderr() {
  if (!m_pProcess) return;
  m_stderr += m_pProcess->readAllStandardError();
  if (m_stderr.size() > kStderrKeep) m_stderr = m_stderr.right(kStderrKeep);
}

QString CFlavourRunner::StderrTail() const {
  const QList<QByteArray> lines = m_stderr.trimmed().split('\n');
  const QByteArray last = lines.isEmpty() ? QByteArray() : lines.last().trimmed();
  return last.isEmpty() ? QString() : QStringLiteral(": ") + Shown(last);
}

bool CFlavourRunner::HandleLine(const QByteArray& line) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) {
    Fail(FlavourOutcome::RunnerFailed, QStringLiteral("runner failed: it printed something that is not JSON: ") + Shown(line));
    return false;
  }
  const QJsonObject o = doc.object();
  if (m_state == STARTING) return HandleHello(o);
  if (m_state != WORKING) return true;  // a late line of an abandoned request
  if (o.contains(QLatin1String("fatal"))) {
    const QString what = o.value(QLatin1String("fatal")).toString();
    // The runner lives on (it refused our line); the request has no answer.
    m_watchdog.stop();
    m_state = READY;
    m_answer.outcome = FlavourOutcome::RunnerFailed;
    m_answer.error = QStringLiteral("runner failed: ") + what;
    for (size_t i = 0; i < m_answered.size(); ++i)
      if (!m_answered[i] && m_answer.subjects[i].status != SubjectStatus::Unrepresentable) m_answer.subjects[i].error = m_answer.error;
    Finish();
    return false;
  }
  const QJsonValue id = o.value(QLatin1String("id"));
  if (!IsInt(id) || id.toInteger() != m_nLineId) return true;  // an earlier line's late answer
  ArmWatchdog(m_request.timeoutMs + m_limits.slackMs);
  return HandleAnswer(o);
}

bool CFlavourRunner::HandleHello(const QJsonObject& o) {
  if (o.value(QLatin1String("hello")).toString() != QLatin1String("korvane-runner")) {
    Fail(FlavourOutcome::RunnerFailed, QStringLiteral("runner failed: it did not say hello"));
    return false;
  }
  const int protocol = o.value(QLatin1String("protocol")).toInt(-1);
  if (protocol != 1) {
    Fail(FlavourOutcome::RunnerFailed, QStringLiteral("runner failed: it speaks protocol %1, Korvane speaks 1").arg(protocol));
    return false;
  }
  RunnerHello h;
  h.flavour = o.value(QLatin1String("flavour")).toString();
  h.engine = o.value(QLatin1String("engine")).toString();
  h.version = o.value(QLatin1String("version")).toString();
  h.surrogates = o.value(QLatin1String("surrogates")).toBool(false);
  if (!ParseFlavourUnit(o.value(QLatin1String("unit")).toString(), &h.unit)) {
    Fail(FlavourOutcome::RunnerFailed,
         QStringLiteral("runner failed: unknown unit \"%1\" in its hello").arg(o.value(QLatin1String("unit")).toString()));
    return false;
  }
  m_hello = h;
  m_bHello = true;
  m_watchdog.stop();
  m_state = READY;
  if (m_bHaveRequest) SendRemaining();
  return true;
}

bool CFlavourRunner::HandleAnswer(const QJsonObject& o) {
  auto malformed = [this](const QString& what) {
    Fail(FlavourOutcome::RunnerFailed, QStringLiteral("runner failed: malformed answer: ") + what);
    return false;
  };
  if (o.contains(QLatin1String("compiled"))) {
    if (m_bCompileSeen) return true;  // the same pattern again after a restart
    m_bCompileSeen = true;
    m_answer.engine = m_hello.engine;
    m_answer.version = m_hello.version;
    if (!o.value(QLatin1String("compiled")).toBool()) {
      m_answer.outcome = FlavourOutcome::CompileError;
      m_answer.error = o.value(QLatin1String("error")).toString();
      const int offset = o.value(QLatin1String("offset")).toInt(-1);
      m_answer.errorOffset = offset >= 0 && offset <= m_request.pattern.size() ? offset : -1;
      for (size_t i = 0; i < m_answered.size(); ++i) m_answered[i] = true;
      return true;
    }
    m_answer.outcome = FlavourOutcome::Compiled;
    m_answer.groups = o.value(QLatin1String("groups")).toInt(0);
    if (m_answer.groups < 0) return malformed(QStringLiteral("negative group count"));
    for (const QJsonValue& n : o.value(QLatin1String("names")).toArray()) {
      const QJsonArray pair = n.toArray();
      if (pair.size() == 2) m_answer.names.emplace_back(pair[0].toString(), pair[1].toInt());
    }
    return true;
  }
  if (o.value(QLatin1String("done")).toBool()) {
    if (!m_bCompileSeen) return malformed(QStringLiteral("done before the compile line"));
    Finish();
    return true;
  }
  const QJsonValue subject = o.value(QLatin1String("subject"));
  if (!subject.isUndefined()) {
    if (!m_bCompileSeen || m_answer.outcome != FlavourOutcome::Compiled)
      return malformed(QStringLiteral("a subject line before the compile line"));
    const int place = subject.toInt(-1);
    if (!IsInt(subject) || place < 0 || place >= static_cast<int>(m_sent.size()))
      return malformed(QStringLiteral("subject %1 was not asked for").arg(subject.toVariant().toString()));
    const size_t index = static_cast<size_t>(m_sent[static_cast<size_t>(place)]);
    SubjectAnswer& a = m_answer.subjects[index];
    m_answered[index] = true;
    const QString status = o.value(QLatin1String("status")).toString();
    if (status == QLatin1String("skipped")) {
      if (a.status != SubjectStatus::Unrepresentable) return malformed(QStringLiteral("a subject it was sent skipped"));
      return true;
    }
    if (status == QLatin1String("timeout")) {
      a.status = SubjectStatus::Timeout;
      return true;
    }
    if (status == QLatin1String("error")) {
      a.status = SubjectStatus::Error;
      a.error = o.value(QLatin1String("error")).toString();
      return true;
    }
    if (status != QLatin1String("ok")) return malformed(QStringLiteral("status \"%1\"").arg(status));
    const int width = 2 + 2 * m_answer.groups;
    const CUnitMap& map = m_maps[index];
    const QJsonArray matches = o.value(QLatin1String("matches")).toArray();
    a.matches.clear();
    a.matches.reserve(static_cast<size_t>(matches.size()));
    for (const QJsonValue& mv : matches) {
      const QJsonArray m = mv.toArray();
      if (m.size() != width) return malformed(QStringLiteral("a match of %1 numbers, %2 expected").arg(m.size()).arg(width));
      FlavourMatch match(static_cast<size_t>(width));
      for (int k = 0; k < width; k += 2) {
        const QJsonValue sv = m[k], ev = m[k + 1];
        if (!IsInt(sv) || !IsInt(ev)) return malformed(QStringLiteral("an offset that is not a number"));
        const int s = sv.toInt(), e = ev.toInt();
        if (s == -1 && e == -1 && k > 0) {
          match[static_cast<size_t>(k)] = match[static_cast<size_t>(k) + 1] = -1;
          continue;
        }
        const int s16 = map.ToUtf16(m_hello.unit, s), e16 = map.ToUtf16(m_hello.unit, e);
        if (s16 < 0 || e16 < 0 || e16 < s16)
          return malformed(QStringLiteral("span %1-%2 does not fit subject %3").arg(s).arg(e).arg(index + 1));
        match[static_cast<size_t>(k)] = s16;
        match[static_cast<size_t>(k) + 1] = e16;
      }
      a.matches.push_back(std::move(match));
    }
    a.truncated = o.value(QLatin1String("truncated")).toBool(false);
    a.status = SubjectStatus::Ok;
    return true;
  }
  return malformed(Shown(QJsonDocument(o).toJson(QJsonDocument::Compact)));
}

void CFlavourRunner::OnWatchdog() {
  if (m_state == STARTING) {
    Fail(FlavourOutcome::RunnerFailed,
         QStringLiteral("runner failed: no hello within %1 ms%2").arg(m_limits.helloMs).arg(StderrTail()));
    return;
  }
  if (m_state != WORKING) return;
  if (!m_bCompileSeen) {
    Fail(FlavourOutcome::RunnerFailed,
         QStringLiteral("runner failed: no answer to the pattern within %1 ms").arg(m_request.timeoutMs + m_limits.slackMs));
    return;
  }
  // The runner is stuck in the first subject it has not answered: that one timed out.
  StopProcess();
  for (size_t i = 0; i < m_answered.size(); ++i) {
    if (m_answered[i]) continue;
    m_answered[i] = true;
    m_answer.subjects[i].status = SubjectStatus::Timeout;
    break;
  }
  bool more = false;
  for (bool a : m_answered) more = more || !a;
  if (more) StartProcess();  // the hello sends the rest
  else Finish();
}

void CFlavourRunner::OnProcessFinished(int code, QProcess::ExitStatus status) {
  const State was = m_state;
  const QString tail = StderrTail();
  StopProcess();
  if (was != STARTING && was != WORKING) return;  // an idle runner went away: started again when needed
  if (status == QProcess::CrashExit)
    Fail(FlavourOutcome::RunnerFailed, QStringLiteral("runner failed: it crashed%1").arg(tail));
  else
    Fail(FlavourOutcome::RunnerFailed, QStringLiteral("runner failed: it exited with code %1%2").arg(code).arg(tail));
}

void CFlavourRunner::OnProcessError(QProcess::ProcessError error) {
  if (error != QProcess::FailedToStart) return;  // crashes come with finished()
  const QString why = m_pProcess ? m_pProcess->errorString() : QString();
  StopProcess();
  Fail(FlavourOutcome::RunnerFailed, QStringLiteral("runner failed: cannot start %1: %2").arg(m_launch.program, why));
}

void CFlavourRunner::Fail(FlavourOutcome outcome, const QString& message) {
  StopProcess();
  if (!m_bHaveRequest) return;
  m_answer.outcome = outcome;
  m_answer.error = message;
  if (m_bHello) {
    m_answer.engine = m_hello.engine;
    m_answer.version = m_hello.version;
  }
  for (size_t i = 0; i < m_answered.size(); ++i) {
    if (m_answered[i] || m_answer.subjects[i].status == SubjectStatus::Unrepresentable) continue;
    m_answer.subjects[i].status = SubjectStatus::Failed;
    m_answer.subjects[i].error = message;
  }
  Finish();
}

void CFlavourRunner::Finish() {
  if (!m_bHaveRequest) return;
  if (m_state == WORKING) {
    m_watchdog.stop();
    m_state = READY;
  }
  if (m_answer.engine.isEmpty() && m_bHello) {
    m_answer.engine = m_hello.engine;
    m_answer.version = m_hello.version;
  }
  for (size_t i = 0; i < m_answered.size(); ++i) {
    SubjectAnswer& a = m_answer.subjects[i];
    if (!m_answered[i] && a.status == SubjectStatus::Failed && a.error.isEmpty() && m_answer.outcome == FlavourOutcome::Compiled)
      a.error = QStringLiteral("runner failed: no answer for this subject");
  }
  m_bHaveRequest = false;
  const quint64 ticket = m_nTicket;
  const FlavourAnswer answer = m_answer;
  // Never from inside Start(): a caller connects after it has its ticket.
  QMetaObject::invokeMethod(this, [this, ticket, answer] { emit Finished(ticket, answer); }, Qt::QueuedConnection);
}
