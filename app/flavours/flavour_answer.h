// What one flavour answers for one request: the request itself (pattern, flags, subjects), the
// compile outcome, and per subject the status and every match of the flavour's own find-all,
// already mapped to UTF-16 units of the subject. Plain values, copied between threads freely.
#ifndef KORVANE_FLAVOURS_FLAVOUR_ANSWER_H
#define KORVANE_FLAVOURS_FLAVOUR_ANSWER_H

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// One request: a pattern edit, with every subject it is to be searched in.
struct FlavourRequest {
  QString pattern;
  QString flags;        // Korvane's generic letters: i, m, s, x
  QString nativeFlags;  // letters in the flavour's own syntax, passed through
  QStringList subjects;
  int timeoutMs = 1000;       // per subject
  int maxMatches = 10000;     // per subject; more make the answer "truncated"
};

enum class SubjectStatus {
  Ok,
  Timeout,          // the engine's limit or Korvane's watchdog stopped it
  Error,            // a run-time error the runtime caught (error says which)
  Unrepresentable,  // the subject holds a lone surrogate the flavour cannot take
  Failed,           // no answer: the runner failed, or the pattern did not compile
};

// One match: span start, end, then start, end of each group 1..n; -1, -1 for a group that took
// no part. UTF-16 units of the subject.
typedef std::vector<int> FlavourMatch;

struct SubjectAnswer {
  SubjectStatus status = SubjectStatus::Failed;
  QString error;
  std::vector<FlavourMatch> matches;
  bool truncated = false;
  bool operator==(const SubjectAnswer& o) const {
    return status == o.status && error == o.error && matches == o.matches && truncated == o.truncated;
  }
};

enum class FlavourOutcome {
  Compiled,
  CompileError,   // error, errorOffset (UTF-16 units of the pattern, -1 when the engine gives none)
  NotInstalled,   // error: the message, with the package to install
  RunnerFailed,   // error: what went wrong ("runner failed: ...")
};

struct FlavourAnswer {
  QString flavour;
  QString engine;    // as the runner's hello says ("CPython re")
  QString version;   // as the runtime reports it
  FlavourOutcome outcome = FlavourOutcome::RunnerFailed;
  QString error;
  int errorOffset = -1;
  int groups = 0;
  std::vector<std::pair<QString, int>> names;  // named groups and their numbers
  std::vector<SubjectAnswer> subjects;         // one per subject of the request, in order
};

Q_DECLARE_METATYPE(FlavourAnswer)

#endif
