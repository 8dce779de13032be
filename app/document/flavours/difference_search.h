// Find a difference: a short subject on which a flavour's engine and Korvane's disagree.
//
// The candidates are the seeds (the text box and the tests' texts), cut short and mutated with
// what is known to set engines apart: a final newline, CRLF, non-ASCII digits and letters, a
// no-break space, an astral character, the Kelvin sign and long s (case folding), the empty text
// and runs of one character (empty iterations, groups left unset). All of them go to the pool in
// one request, to the flavour and to Korvane's own column; the shortest candidate whose cell is
// "differs" is the answer. Only what the two engines answered is reported: a candidate that timed
// out or could not be sent is never called a difference.
//
// Threads: the UI thread (the pool's); nothing blocks it.
//
// Covered by app/document/flavours/tests/difference_search_test.cpp.
#ifndef KORVANE_DIFFERENCE_SEARCH_H
#define KORVANE_DIFFERENCE_SEARCH_H

#include <QObject>
#include <QString>
#include <QStringList>

#include "app/document/flavours/flavour_session.h"
#include "app/flavours/flavour_answer.h"

class CFlavourPool;

// The subjects to try for these seeds, each once, shortest first, at most `limit` of them. The
// pattern's own characters help to build texts it can match.
QStringList DifferenceCandidates(const QStringList& seeds, const QString& pattern, int limit = 400);

class CDifferenceSearch : public QObject {
  Q_OBJECT

 public:
  enum class State { Idle, Running, Found, NotFound, Failed };

  explicit CDifferenceSearch(QObject* parent = nullptr);

  // Starts a search of `flavour` against Korvane in `pool` (which must outlive the search); a
  // search under way is dropped.
  void Start(CFlavourPool* pool, const QString& flavour, const QString& pattern, const QString& flags,
             const QStringList& seeds);
  // Stops a search under way: its answers are no longer looked at (the caller lets the pool go);
  // the state becomes Idle.
  void Cancel();
  State GetState() const { return m_state; }
  const QString& Flavour() const { return m_flavour; }
  // Found: the subject, and both engines' answers for it.
  const QString& Subject() const { return m_subject; }
  const SubjectAnswer& KorvaneAnswer() const { return m_korvaneRow; }
  const SubjectAnswer& FlavourAnswerRow() const { return m_flavourRow; }
  // Found: a matrix of the one subject and the one flavour (`display` its shown name), for the
  // side-by-side view; empty otherwise.
  CFlavourMatrix FoundMatrix(const QString& display) const;
  // How many candidates were tried.
  int Tried() const { return m_nTried; }
  // Failed: why ("Python did not compile the pattern: ...", the runner's failure).
  const QString& Problem() const { return m_problem; }

 signals:
  void Finished();

 private:
  void OnAnswered(quint64 request, const QString& flavour, const FlavourAnswer& answer);
  void OnAllAnswered(quint64 request);

  CFlavourPool* m_pool = nullptr;
  QString m_flavour;
  State m_state = State::Idle;
  quint64 m_nRequest = 0;
  QStringList m_candidates;
  FlavourAnswer m_korvane, m_other;
  bool m_bKorvane = false, m_bOther = false;
  QString m_subject;
  SubjectAnswer m_korvaneRow, m_flavourRow;
  int m_nTried = 0;
  QString m_problem;
  QMetaObject::Connection m_answered, m_allAnswered;
};

#endif
