// Korvane's column, searched with the untraced host build (see korvane_column.h). This file holds
// that build alone among the flavours' sources: the target defines TARNO_HOST_BUILD, and
// TARNO_UNTRACED here turns it into the untraced one, as for the window's own fast path.
#define TARNO_UNTRACED
#include "engine/tarno.h"

#include "app/flavours/korvane_column.h"

#include <chrono>

#include "platform/version.h"

namespace {

typedef CRegexpT<unsigned short> ColumnRegexp;
typedef CMatchContext<unsigned short> ColumnContext;
using Clock = std::chrono::steady_clock;

// Steps between two looks at the clock (tens of microseconds).
const int kPollSteps = 1024;

struct Deadline {
  Clock::time_point at;
  const std::atomic<bool>* stop = nullptr;
  bool Passed() const { return (stop && stop->load(std::memory_order_relaxed)) || Clock::now() >= at; }
};

void PollDeadline(ColumnContext*, void* user) {
  if (static_cast<Deadline*>(user)->Passed()) throw CMatchBreak(CMatchBreak::ABORTED);
}

const unsigned short* Units(const QString& s) { return reinterpret_cast<const unsigned short*>(s.utf16()); }

}  // namespace

bool KorvaneFlagBits(const QString& letters, int* bits) {
  int b = 0;
  for (QChar c : letters) {
    switch (c.unicode()) {
      case 'i': b |= IGNORECASE; break;
      case 'm': b |= MULTILINE; break;
      case 's': b |= SINGLELINE; break;
      case 'x': b |= EXTENDED; break;
      default: return false;
    }
  }
  *bits = b;
  return true;
}

QString KorvaneEngineName() { return QStringLiteral("Korvane"); }
QString KorvaneEngineVersion() { return QStringLiteral(KORVANE_VERSION_TEXT); }

FlavourAnswer RunKorvaneColumn(const FlavourRequest& request, const std::atomic<bool>* stop) {
  FlavourAnswer answer;
  answer.flavour = QStringLiteral("korvane");
  answer.engine = KorvaneEngineName();
  answer.version = KorvaneEngineVersion();
  int flags = 0;
  if (!KorvaneFlagBits(request.flags, &flags)) {
    answer.outcome = FlavourOutcome::CompileError;
    answer.error = QStringLiteral("unknown flag letters \"%1\" (Korvane knows i, m, s, x)").arg(request.flags);
    answer.subjects.assign(static_cast<size_t>(request.subjects.size()), SubjectAnswer());
    return answer;
  }
  ColumnRegexp re;
  re.Compile(request.pattern.isEmpty() ? nullptr : Units(request.pattern), static_cast<int>(request.pattern.size()), flags);
  answer.outcome = FlavourOutcome::Compiled;
  answer.groups = re.MaxGroupNumber();
  for (const QString& subject : request.subjects) {
    SubjectAnswer a;
    a.status = SubjectStatus::Ok;
    if (stop && stop->load(std::memory_order_relaxed)) {
      a.status = SubjectStatus::Timeout;
      answer.subjects.push_back(std::move(a));
      continue;
    }
    Deadline deadline;
    deadline.stop = stop;
    ColumnContext ctx;
    ctx.SetPoll(&PollDeadline, &deadline, kPollSteps);
    deadline.at = Clock::now() + std::chrono::milliseconds(request.timeoutMs > 0 ? request.timeoutMs : 1);
    if (re.PrepareMatch(subject.isEmpty() ? nullptr : Units(subject), static_cast<int>(subject.size()), -1, &ctx)) {
      try {
        for (;;) {
          MatchResult m = re.Match(&ctx);
          if (m.HitNestingLimit()) {
            a.status = SubjectStatus::Error;
            a.error = QStringLiteral("the pattern nests too deeply for this text");
            a.matches.clear();
            break;
          }
          if (!m.IsMatched()) break;
          if (static_cast<int>(a.matches.size()) >= request.maxMatches) {
            a.truncated = true;
            break;
          }
          FlavourMatch match;
          match.reserve(2 + 2 * static_cast<size_t>(answer.groups));
          match.push_back(m.GetStart());
          match.push_back(m.GetEnd());
          for (int g = 1; g <= answer.groups; ++g) {
            const int s = m.GetGroupStart(g), e = m.GetGroupEnd(g);
            match.push_back(s >= 0 && e >= 0 ? s : -1);
            match.push_back(s >= 0 && e >= 0 ? e : -1);
          }
          a.matches.push_back(std::move(match));
        }
      } catch (const CMatchBreak&) {
        a.status = SubjectStatus::Timeout;
        a.matches.clear();
      }
    }
    answer.subjects.push_back(std::move(a));
  }
  return answer;
}
