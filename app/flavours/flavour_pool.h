// The flavours at work for the newest pattern edit: one runner per flavour, started on first
// use and kept; at most a few flavours busy at once (two on a 2-core machine: a setting); the
// newest request wins (a request still waiting for a flavour is dropped when a newer one asks the
// same flavour; one already under way finishes, its answer kept in the cache); answers cached by
// flavour, engine version, pattern, flags and subject, so that an edit asks a runner only for
// the subjects it has not answered yet. Korvane's own column is computed here too, on a thread
// of the pool's own with a large stack, and counts as a busy flavour.
//
// Answers come with Answered(request, flavour, answer), once per flavour asked (a dropped one
// excepted), then AllAnswered(request). Nothing here blocks the caller's thread but
// RunBlocking(), which the command line uses.
//
// Threads: the pool and its runners belong to one thread with an event loop.
//
// Covered by app/flavours/tests/flavour_pool_test.cpp.
#ifndef KORVANE_FLAVOURS_FLAVOUR_POOL_H
#define KORVANE_FLAVOURS_FLAVOUR_POOL_H

#include <QHash>
#include <atomic>
#include <QObject>
#include <QThreadPool>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "app/flavours/flavour_answer.h"
#include "app/flavours/flavour_runner.h"

class CFlavourPool : public QObject {
  Q_OBJECT

 public:
  // How a flavour's runner is started: by default from the flavour table, the runners folder
  // and the interpreter settings of the environment.
  typedef std::function<FlavourLaunch(const QString& flavour)> Launcher;

  explicit CFlavourPool(QObject* parent = nullptr);
  ~CFlavourPool() override;

  void SetLauncher(Launcher launcher) { m_launcher = std::move(launcher); }
  const Launcher& GetLauncher() const { return m_launcher; }
  void SetMaxBusy(int n) { m_nMaxBusy = n > 0 ? n : 1; }
  int MaxBusy() const { return m_nMaxBusy; }
  void SetRunnerLimits(const CFlavourRunner::Limits& limits);

  // Asks every flavour named (korvane among them when named) for `request`; returns the
  // request's number. An unknown flavour name is answered as not installed ("no flavour ...").
  quint64 Request(const QStringList& flavours, const FlavourRequest& request);
  // Request() and wait for every answer in a local event loop; answers in the order asked.
  std::vector<FlavourAnswer> RunBlocking(const QStringList& flavours, const FlavourRequest& request);

  int Busy() const { return m_nBusy; }
  int MostBusy() const { return m_nMostBusy; }  // the highest Busy() seen
  int CacheHits() const { return m_nCacheHits; }
  void ClearCache();
  // The flavour's runner is started again for its next job (its interpreter setting changed): at
  // once when it is idle, else when its job ends.
  void ForgetRunner(const QString& flavour);
  // The runner of a flavour, once it was used (tests look at its process).
  CFlavourRunner* RunnerOf(const QString& flavour) const;

 signals:
  void Answered(quint64 request, const QString& flavour, const FlavourAnswer& answer);
  void AllAnswered(quint64 request);

 private:
  struct Job {
    quint64 request = 0;
    FlavourRequest what;
    std::vector<int> missing;  // the subjects the cache had no answer for
    FlavourAnswer cached;      // the answer as far as the cache had it
  };
  struct Slot {
    std::unique_ptr<CFlavourRunner> runner;
    bool busy = false;
    Job running;
    quint64 ticket = 0;
    bool pending = false;
    Job waiting;
    bool forget = false;  // drop the runner when its job ends
  };
  struct Compiled {
    FlavourOutcome outcome;
    QString engine, version, error;
    int errorOffset;
    int groups;
    std::vector<std::pair<QString, int>> names;
  };

  Slot& SlotOf(const QString& flavour);
  void Pump();
  void StartJob(const QString& flavour, Slot& slot);
  void OnRunnerFinished(const QString& flavour, quint64 ticket, const FlavourAnswer& answer);
  void OnKorvaneDone(quint64 request, const FlavourAnswer& answer);
  void Deliver(quint64 request, const QString& flavour, const FlavourAnswer& answer);
  void Drop(quint64 request, const QString& flavour);
  bool FromCache(const QString& flavour, const QString& version, Job* job);
  void Store(const QString& version, const FlavourRequest& what, const std::vector<int>& subjects, const FlavourAnswer& answer);
  QString KnownVersion(const QString& flavour) const;
  static QString CompileKey(const QString& flavour, const QString& version, const FlavourRequest& r);

  Launcher m_launcher;
  CFlavourRunner::Limits m_limits;
  int m_nMaxBusy = 2;
  int m_nBusy = 0;
  int m_nMostBusy = 0;
  int m_nCacheHits = 0;
  quint64 m_nRequests = 0;
  std::map<QString, Slot> m_slots;
  std::vector<QString> m_queue;                  // flavours with a waiting job, oldest first
  std::map<quint64, std::set<QString>> m_open;   // request -> flavours that owe an answer
  QHash<QString, Compiled> m_compiled;
  QHash<QString, SubjectAnswer> m_subjects;
  QThreadPool m_korvaneThread;
  std::atomic<bool> m_bStopping{false};  // set by the destructor: Korvane's column ends at once
};

#endif
