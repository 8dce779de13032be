// A converted pattern run in its target's real engine beside Korvane's original on every subject
// (the text box and each test's text): what makes a conversion "verified". The target's matches
// are read through the conversion's group map, so a group the target numbers otherwise still
// counts as the same group. A subject is the same only when every match of both find-alls has
// the same span and the same groups (up to Korvane's first empty match for a target whose
// find-all goes on otherwise after one); a subject the target could not take (a time-out, a text it
// cannot represent, an engine that is missing) is never counted as the same.
//
// Threads: the thread of the pool (it runs a local event loop while it waits).
//
// Covered by app/document/flavours/tests/conversion_check_test.cpp (real engines).
#ifndef KORVANE_CONVERSION_CHECK_H
#define KORVANE_CONVERSION_CHECK_H

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

#include "app/document/pattern/flavour_convert.h"
#include "app/flavours/flavour_answer.h"
#include "app/flavours/flavour_compare.h"

class CFlavourPool;

struct ConversionCheck {
  QString engine;                   // the target's engine and version, as its runner says
  QString error;                    // the target refused the pattern, or its engine is missing
  int same = 0;                     // subjects on which both find the same matches
  int of = 0;                       // subjects tried
  // Of the same subjects, those compared only up to Korvane's first empty match: from it a
  // target whose find-all goes on otherwise (FindAllLikeKorvane) finds other matches whatever
  // the pattern.
  int upToEmpty = 0;
  std::vector<int> differing;       // indexes of the subjects that are not the same
  std::vector<CellStatus> status;   // per subject
  FlavourAnswer korvane, target;    // both answers, the target's in Korvane's group numbers
  bool Verified() const { return error.isEmpty() && same == of; }
};

// The target's answer with each match's groups put in Korvane's numbering, as many as Korvane's
// answer has.
FlavourAnswer InKorvaneNumbering(const FlavourAnswer& target, const std::vector<int>& groupMap, int korvaneGroups);

// Compares two answers (Korvane's, and the target's already in Korvane's numbering).
ConversionCheck CompareConversion(const FlavourAnswer& korvane, const FlavourAnswer& target);

// Runs Korvane on `pattern` with `flags` (generic letters) and the target on the conversion,
// over `subjects`, and compares. Blocks its caller (a local event loop) until both answered.
ConversionCheck CheckConversion(CFlavourPool* pool, const QString& pattern, const QString& flags,
                                const FlavourConversion& conversion, const QStringList& subjects);

// The same check without blocking: two requests to the pool (Korvane on the pattern, the target
// on the conversion), then Finished once both answered. Starting again drops a check under way.
class CConversionRun : public QObject {
  Q_OBJECT

 public:
  explicit CConversionRun(QObject* parent = nullptr) : QObject(parent) {}
  // `pool` must outlive the run (or the run be stopped first).
  void Start(CFlavourPool* pool, const QString& pattern, const QString& flags, const FlavourConversion& conversion,
             const QStringList& subjects);
  void Stop();
  bool IsRunning() const { return m_bRunning; }

 signals:
  void Finished(const ConversionCheck& check);

 private:
  void OnAnswered(quint64 request, const QString& flavour, const FlavourAnswer& answer);

  QMetaObject::Connection m_answered;
  FlavourConversion m_conversion;
  quint64 m_nKorvane = 0, m_nTarget = 0;
  bool m_bHaveKorvane = false, m_bHaveTarget = false, m_bRunning = false;
  FlavourAnswer m_korvane, m_target;
};

#endif
