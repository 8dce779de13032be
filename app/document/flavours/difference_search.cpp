#include "app/document/flavours/difference_search.h"

#include <QSet>
#include <algorithm>

#include "app/flavours/flavour_compare.h"
#include "app/flavours/flavour_pool.h"

namespace {

const QString kKorvane = QStringLiteral("korvane");

// Characters that some engines take for what others do not: digits and letters beyond ASCII, a
// no-break space, an astral character (two UTF-16 units), the Kelvin sign (folds to k) and long s
// (folds to s).
const QChar kArabicThree(0x0663);
const QChar kFullwidthSeven(0xFF17);
const QChar kEAcute(0x00E9);
const QChar kCyrillicZhe(0x0436);
const QChar kNoBreakSpace(0x00A0);
const QChar kKelvin(0x212A);
const QChar kLongS(0x017F);
const QString kAstral = QString::fromUcs4(U"\U0001F600");

// Every character of `s` for which `pick` holds replaced by `by`.
template <class Pick>
QString ReplaceEach(const QString& s, Pick pick, const QString& by) {
  QString out;
  out.reserve(s.size());
  for (QChar c : s) out += pick(c) ? by : QString(c);
  return out;
}

bool IsAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }
bool IsAsciiLetter(QChar c) { return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')); }

void Mutations(const QString& s, QStringList* out) {
  *out << s << s + QLatin1Char('\n') << s + QStringLiteral("\r\n") << QLatin1Char('\n') + s;
  if (s.contains(QLatin1Char('\n'))) *out << QString(s).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  if (s.endsWith(QLatin1Char('\n'))) *out << s.left(s.size() - 1);
  *out << ReplaceEach(s, IsAsciiDigit, QString(kArabicThree)) << ReplaceEach(s, IsAsciiDigit, QString(kFullwidthSeven));
  *out << ReplaceEach(s, IsAsciiLetter, QString(kEAcute)) << ReplaceEach(s, IsAsciiLetter, QString(kCyrillicZhe));
  *out << ReplaceEach(s, [](QChar c) { return c == QLatin1Char(' '); }, QString(kNoBreakSpace));
  *out << ReplaceEach(s, [](QChar c) { return c == QLatin1Char('k') || c == QLatin1Char('K'); }, QString(kKelvin));
  *out << ReplaceEach(s, [](QChar c) { return c == QLatin1Char('s') || c == QLatin1Char('S'); }, QString(kLongS));
  *out << kAstral + s << s + kAstral;
  // The first letter or digit alone swapped, so that the rest still matches as before.
  for (int i = 0; i < s.size(); ++i) {
    const QChar c = s.at(i);
    if (IsAsciiDigit(c)) {
      *out << QString(s).replace(i, 1, kArabicThree);
      break;
    }
    if (IsAsciiLetter(c)) {
      *out << QString(s).replace(i, 1, kEAcute);
      break;
    }
  }
}

}  // namespace

QStringList DifferenceCandidates(const QStringList& seeds, const QString& pattern, int limit) {
  QStringList raw;
  raw << QString() << QStringLiteral("\n") << QStringLiteral("\r\n") << QString(kNoBreakSpace) << kAstral
      << QString(kKelvin) << QString(kLongS) << QString(kArabicThree) << QString(kEAcute);
  // The pattern's letters and digits, alone and in runs (empty iterations, unset groups), and
  // the letters some engines read for an escape they do not know (\Z as Z).
  QString own;
  for (QChar c : pattern)
    if ((IsAsciiLetter(c) || IsAsciiDigit(c) || c == QLatin1Char(' ')) && !own.contains(c)) own += c;
  for (QChar c : own) raw << QString(c) << QString(2, c) << QString(3, c) + QLatin1Char('\n');
  if (!own.isEmpty()) raw << own << own + QLatin1Char('\n');
  for (const QString& seed : seeds) {
    // Short pieces of a long seed first: the answer should be a text one can read at a glance.
    const QString s = seed.left(4096);
    for (int n : {1, 2, 4, 8, 16, 32})
      if (n < s.size()) Mutations(s.left(n), &raw);
    Mutations(s, &raw);
  }
  QSet<QString> seen;
  QStringList unique;
  for (const QString& s : raw)
    if (!seen.contains(s)) {
      seen.insert(s);
      unique << s;
    }
  std::stable_sort(unique.begin(), unique.end(), [](const QString& a, const QString& b) { return a.size() < b.size(); });
  if (limit >= 0 && unique.size() > limit) unique = unique.mid(0, limit);
  return unique;
}

CDifferenceSearch::CDifferenceSearch(QObject* parent) : QObject(parent) {}

void CDifferenceSearch::Start(CFlavourPool* pool, const QString& flavour, const QString& pattern, const QString& flags,
                              const QStringList& seeds) {
  disconnect(m_answered);
  disconnect(m_allAnswered);
  m_pool = pool;
  m_flavour = flavour;
  m_state = State::Running;
  m_bKorvane = m_bOther = false;
  m_subject.clear();
  m_problem.clear();
  m_nTried = 0;
  m_candidates = DifferenceCandidates(seeds, pattern);
  FlavourRequest request;
  request.pattern = pattern;
  request.flags = flags;
  request.subjects = m_candidates;
  request.timeoutMs = 250;  // a candidate that takes longer tells nothing anyway
  request.maxMatches = 1000;
  m_answered = connect(pool, &CFlavourPool::Answered, this, &CDifferenceSearch::OnAnswered);
  m_allAnswered = connect(pool, &CFlavourPool::AllAnswered, this, &CDifferenceSearch::OnAllAnswered);
  m_nRequest = pool->Request(QStringList{kKorvane, flavour}, request);
}

void CDifferenceSearch::Cancel() {
  disconnect(m_answered);
  disconnect(m_allAnswered);
  m_state = State::Idle;
}

void CDifferenceSearch::OnAnswered(quint64 request, const QString& flavour, const FlavourAnswer& answer) {
  if (request != m_nRequest || m_state != State::Running) return;
  if (flavour == kKorvane) {
    m_korvane = answer;
    m_bKorvane = true;
  } else if (flavour == m_flavour) {
    m_other = answer;
    m_bOther = true;
  }
}

void CDifferenceSearch::OnAllAnswered(quint64 request) {
  if (request != m_nRequest || m_state != State::Running) return;
  disconnect(m_answered);
  disconnect(m_allAnswered);
  if (!m_bKorvane || !m_bOther || m_other.outcome == FlavourOutcome::NotInstalled ||
      m_other.outcome == FlavourOutcome::RunnerFailed || m_korvane.outcome != FlavourOutcome::Compiled) {
    m_state = State::Failed;
    m_problem = !m_bOther ? QStringLiteral("no answer") : m_other.error;
    if (m_bKorvane && m_korvane.outcome != FlavourOutcome::Compiled) m_problem = m_korvane.error;
    emit Finished();
    return;
  }
  if (m_other.outcome == FlavourOutcome::CompileError) {
    // Every text differs when one engine refuses the pattern: that is no subject to show.
    m_state = State::Failed;
    m_problem = m_other.error;
    emit Finished();
    return;
  }
  m_nTried = static_cast<int>(m_candidates.size());
  const int answered = static_cast<int>(std::min(m_korvane.subjects.size(), m_other.subjects.size()));
  for (int i = 0; i < std::min(answered, static_cast<int>(m_candidates.size())); ++i) {
    if (CompareWithKorvane(m_korvane, m_other, i).status != CellStatus::Differs) continue;
    m_subject = m_candidates.at(i);
    m_korvaneRow = m_korvane.subjects[static_cast<size_t>(i)];
    m_flavourRow = m_other.subjects[static_cast<size_t>(i)];
    m_nTried = i + 1;
    m_state = State::Found;
    emit Finished();
    return;
  }
  m_state = State::NotFound;
  emit Finished();
}

CFlavourMatrix CDifferenceSearch::FoundMatrix(const QString& display) const {
  CFlavourMatrix m;
  if (m_state != State::Found) return m;
  m.request.subjects = QStringList{m_subject};
  m.rowNames = QStringList{m_subject};
  m.korvaneAnswered = true;
  m.korvane = m_korvane;
  m.korvane.subjects = {m_korvaneRow};
  FlavourColumn c;
  c.flavour = m_flavour;
  c.display = display;
  c.engine = m_other.engine;
  c.version = m_other.version;
  c.answered = true;
  c.answer = m_other;
  c.answer.subjects = {m_flavourRow};
  m.columns.push_back(std::move(c));
  return m;
}
