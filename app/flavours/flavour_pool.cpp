// The flavours at work for the newest edit (see flavour_pool.h).
#include "app/flavours/flavour_pool.h"

#include <QEventLoop>

#include "app/flavours/flavour_table.h"
#include "app/flavours/korvane_column.h"

namespace {

const QLatin1String kKorvane("korvane");
// Korvane's search recurses once per nesting level, like the window's workers.
const uint kKorvaneStack = 64u << 20;
// Beyond this many cached subject answers the cache starts again.
const int kCacheLimit = 100000;

QString Sep() { return QStringLiteral("\x1f"); }

}  // namespace

CFlavourPool::CFlavourPool(QObject* parent) : QObject(parent) {
  qRegisterMetaType<FlavourAnswer>();
  m_launcher = [](const QString& flavour) {
    const FlavourInfo* info = FindFlavour(flavour);
    FlavourLaunch l;
    if (info) l = LaunchFor(*info, RunnersFolder(), FlavourSettings::Current());
    return l;
  };
  m_korvaneThread.setMaxThreadCount(1);
  m_korvaneThread.setStackSize(kKorvaneStack);
}

CFlavourPool::~CFlavourPool() {
  // Korvane's search looks at the flag with the clock: waiting for it ends within milliseconds,
  // not after the rest of a request of slow subjects.
  m_bStopping = true;
  m_korvaneThread.waitForDone();
}

void CFlavourPool::SetRunnerLimits(const CFlavourRunner::Limits& limits) {
  m_limits = limits;
  for (auto& s : m_slots)
    if (s.second.runner) s.second.runner->SetLimits(limits);
}

void CFlavourPool::ClearCache() {
  m_compiled.clear();
  m_subjects.clear();
}

CFlavourRunner* CFlavourPool::RunnerOf(const QString& flavour) const {
  auto it = m_slots.find(flavour);
  return it == m_slots.end() ? nullptr : it->second.runner.get();
}

CFlavourPool::Slot& CFlavourPool::SlotOf(const QString& flavour) { return m_slots[flavour]; }

QString CFlavourPool::CompileKey(const QString& flavour, const QString& version, const FlavourRequest& r) {
  return flavour + Sep() + version + Sep() + r.pattern + Sep() + r.flags + Sep() + r.nativeFlags + Sep() +
         QString::number(r.maxMatches);
}

QString CFlavourPool::KnownVersion(const QString& flavour) const {
  if (flavour == kKorvane) return KorvaneEngineVersion();
  const CFlavourRunner* r = RunnerOf(flavour);
  // Only a runner that said hello knows its engine's version; before that nothing is cached.
  return r && r->HasHello() ? r->Hello().engine + QLatin1Char(' ') + r->Hello().version : QString();
}

quint64 CFlavourPool::Request(const QStringList& flavours, const FlavourRequest& request) {
  const quint64 id = ++m_nRequests;
  std::set<QString>& open = m_open[id];
  for (const QString& f : flavours) open.insert(f);
  if (open.empty()) {
    m_open.erase(id);
    QMetaObject::invokeMethod(this, [this, id] { emit AllAnswered(id); }, Qt::QueuedConnection);
    return id;
  }
  for (const QString& f : std::set<QString>(open)) {
    Slot& slot = SlotOf(f);
    if (slot.pending) {
      // The newest request wins: the older one gets nothing from this flavour.
      const quint64 older = slot.waiting.request;
      slot.pending = false;
      Drop(older, f);
    }
    slot.pending = true;
    slot.waiting = Job();
    slot.waiting.request = id;
    slot.waiting.what = request;
    m_queue.erase(std::remove(m_queue.begin(), m_queue.end(), f), m_queue.end());
    m_queue.push_back(f);
  }
  // Answered from the cache or started from the next turn of the event loop, never from here.
  QMetaObject::invokeMethod(this, [this] { Pump(); }, Qt::QueuedConnection);
  return id;
}

std::vector<FlavourAnswer> CFlavourPool::RunBlocking(const QStringList& flavours, const FlavourRequest& request) {
  std::map<QString, FlavourAnswer> got;
  QEventLoop loop;
  quint64 want = 0;
  bool done = false;
  QMetaObject::Connection a = connect(this, &CFlavourPool::Answered, &loop,
                                      [&](quint64 r, const QString& f, const FlavourAnswer& answer) {
                                        if (r == want) got[f] = answer;
                                      });
  QMetaObject::Connection b = connect(this, &CFlavourPool::AllAnswered, &loop, [&](quint64 r) {
    if (r != want) return;
    done = true;
    loop.quit();
  });
  want = Request(flavours, request);
  if (!done) loop.exec();
  disconnect(a);
  disconnect(b);
  std::vector<FlavourAnswer> out;
  for (const QString& f : flavours) {
    auto it = got.find(f);
    if (it != got.end()) out.push_back(it->second);
    else {
      FlavourAnswer dropped;
      dropped.flavour = f;
      dropped.error = QStringLiteral("no answer: a newer request took its place");
      out.push_back(dropped);
    }
  }
  return out;
}

bool CFlavourPool::FromCache(const QString& flavour, const QString& version, Job* job) {
  job->cached = FlavourAnswer();
  job->cached.flavour = flavour;
  job->missing.clear();
  const int n = static_cast<int>(job->what.subjects.size());
  job->cached.subjects.assign(static_cast<size_t>(n), SubjectAnswer());
  auto all = [&] {
    job->missing.clear();
    for (int i = 0; i < n; ++i) job->missing.push_back(i);
    return false;
  };
  if (version.isEmpty()) return all();
  const QString key = CompileKey(flavour, version, job->what);
  auto c = m_compiled.constFind(key);
  if (c == m_compiled.constEnd()) return all();
  job->cached.outcome = c->outcome;
  job->cached.engine = c->engine;
  job->cached.version = c->version;
  job->cached.error = c->error;
  job->cached.errorOffset = c->errorOffset;
  job->cached.groups = c->groups;
  job->cached.names = c->names;
  if (c->outcome == FlavourOutcome::CompileError) return true;
  for (int i = 0; i < n; ++i) {
    auto s = m_subjects.constFind(key + Sep() + job->what.subjects[i]);
    if (s == m_subjects.constEnd()) job->missing.push_back(i);
    else job->cached.subjects[static_cast<size_t>(i)] = *s;
  }
  return job->missing.empty();
}

void CFlavourPool::Store(const QString& version, const FlavourRequest& what, const std::vector<int>& subjects,
                         const FlavourAnswer& answer) {
  if (version.isEmpty()) return;
  if (answer.outcome != FlavourOutcome::Compiled && answer.outcome != FlavourOutcome::CompileError) return;
  if (m_subjects.size() > kCacheLimit) ClearCache();
  const QString key = CompileKey(answer.flavour, version, what);
  m_compiled.insert(key, Compiled{answer.outcome, answer.engine, answer.version, answer.error, answer.errorOffset,
                                  answer.groups, answer.names});
  if (answer.outcome != FlavourOutcome::Compiled) return;
  for (size_t k = 0; k < subjects.size() && k < answer.subjects.size(); ++k) {
    const SubjectAnswer& s = answer.subjects[k];
    // Time-outs and failures depend on the moment and the limit: asked again next time.
    if (s.status != SubjectStatus::Ok && s.status != SubjectStatus::Error && s.status != SubjectStatus::Unrepresentable)
      continue;
    m_subjects.insert(key + Sep() + what.subjects[subjects[k]], s);
  }
}

void CFlavourPool::Pump() {
  size_t i = 0;
  while (i < m_queue.size()) {
    const QString flavour = m_queue[i];
    Slot& slot = SlotOf(flavour);
    if (!slot.pending) {
      m_queue.erase(m_queue.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    // Fully cached answers need no runner and no busy place.
    if (!slot.busy && FromCache(flavour, KnownVersion(flavour), &slot.waiting)) {
      ++m_nCacheHits;
      slot.pending = false;
      m_queue.erase(m_queue.begin() + static_cast<std::ptrdiff_t>(i));
      const Job job = slot.waiting;
      Deliver(job.request, flavour, job.cached);
      continue;
    }
    if (slot.busy || m_nBusy >= m_nMaxBusy) {
      ++i;
      continue;
    }
    m_queue.erase(m_queue.begin() + static_cast<std::ptrdiff_t>(i));
    StartJob(flavour, slot);
  }
}

void CFlavourPool::ForgetRunner(const QString& flavour) {
  auto it = m_slots.find(flavour);
  if (it == m_slots.end() || !it->second.runner) return;
  if (it->second.busy)
    it->second.forget = true;
  else
    it->second.runner.reset();
}

void CFlavourPool::StartJob(const QString& flavour, Slot& slot) {
  slot.pending = false;
  slot.running = slot.waiting;
  slot.busy = true;
  ++m_nBusy;
  if (m_nBusy > m_nMostBusy) m_nMostBusy = m_nBusy;
  FlavourRequest part = slot.running.what;
  part.subjects.clear();
  for (int i : slot.running.missing) part.subjects << slot.running.what.subjects[i];
  if (flavour == kKorvane) {
    const quint64 request = slot.running.request;
    m_korvaneThread.start([this, request, part] {
      const FlavourAnswer answer = RunKorvaneColumn(part, &m_bStopping);
      QMetaObject::invokeMethod(this, [this, request, answer] { OnKorvaneDone(request, answer); }, Qt::QueuedConnection);
    });
    return;
  }
  if (!slot.runner) {
    FlavourLaunch launch = m_launcher(flavour);
    if (launch.flavour.isEmpty()) {
      launch.flavour = flavour;
      launch.notInstalled = QStringLiteral("no flavour \"%1\"").arg(flavour);
    }
    slot.runner.reset(new CFlavourRunner(launch));
    slot.runner->SetLimits(m_limits);
    connect(slot.runner.get(), &CFlavourRunner::Finished, this,
            [this, flavour](quint64 ticket, const FlavourAnswer& a) { OnRunnerFinished(flavour, ticket, a); });
  }
  slot.ticket = slot.runner->Start(part);
}

void CFlavourPool::OnKorvaneDone(quint64 request, const FlavourAnswer& answer) {
  Slot& slot = SlotOf(kKorvane);
  if (!slot.busy || slot.running.request != request) return;
  OnRunnerFinished(kKorvane, slot.ticket, answer);
}

void CFlavourPool::OnRunnerFinished(const QString& flavour, quint64 ticket, const FlavourAnswer& part) {
  Slot& slot = SlotOf(flavour);
  if (!slot.busy || ticket != slot.ticket) return;
  slot.busy = false;
  --m_nBusy;
  const Job job = slot.running;
  // The version the runner reported keys the cache (a restarted runner may be another one).
  const QString version = flavour == kKorvane ? KorvaneEngineVersion() : KnownVersion(flavour);
  Store(version, job.what, job.missing, part);
  if (slot.forget) {
    // Not deleted here: the runner is still inside its own signal.
    slot.forget = false;
    slot.runner.release()->deleteLater();
  }
  // The cached subjects and the new ones, back in the request's order.
  FlavourAnswer whole = part;
  whole.subjects = job.cached.subjects;
  for (size_t k = 0; k < job.missing.size(); ++k) {
    SubjectAnswer& s = whole.subjects[static_cast<size_t>(job.missing[k])];
    if (k < part.subjects.size()) s = part.subjects[k];
    else s.error = part.error;
  }
  Deliver(job.request, flavour, whole);
  Pump();
}

void CFlavourPool::Deliver(quint64 request, const QString& flavour, const FlavourAnswer& answer) {
  auto it = m_open.find(request);
  if (it == m_open.end() || !it->second.count(flavour)) return;
  it->second.erase(flavour);
  const bool last = it->second.empty();
  if (last) m_open.erase(it);
  emit Answered(request, flavour, answer);
  if (last) emit AllAnswered(request);
}

void CFlavourPool::Drop(quint64 request, const QString& flavour) {
  auto it = m_open.find(request);
  if (it == m_open.end()) return;
  it->second.erase(flavour);
  if (!it->second.empty()) return;
  m_open.erase(it);
  QMetaObject::invokeMethod(this, [this, request] { emit AllAnswered(request); }, Qt::QueuedConnection);
}
