// The flavour session (see flavour_session.h).
#include "app/document/flavours/flavour_session.h"
#include "app/document/flavours/flavour_test_check.h"

#include <QTimer>

#include "app/flavours/flavour_table.h"
#include "app/flavours/korvane_column.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

const QString kKorvane = QStringLiteral("korvane");

bool SameInput(const CFlavourSession::Input& a, const CFlavourSession::Input& b) {
  return a.pattern == b.pattern && a.flags == b.flags && a.rowNames == b.rowNames && a.subjects == b.subjects &&
         a.rowFlags == b.rowFlags;
}

// One answer for all the matrix's rows from the answers to its parts. A part whose pattern did
// not compile (its options make it another pattern) leaves its rows failed with the engine's
// message, as long as another part compiled; the column's engine, groups and outcome are those
// of the first part that compiled (else of the first part).
FlavourAnswer PutTogether(const std::vector<FlavourAnswer>& parts, const std::vector<std::vector<int>>& rows, int rowCount) {
  size_t lead = 0;
  for (size_t p = 0; p < parts.size(); ++p)
    if (parts[p].outcome == FlavourOutcome::Compiled) {
      lead = p;
      break;
    }
  FlavourAnswer out = parts[lead];
  for (const FlavourAnswer& p : parts)
    if (out.engine.isEmpty() && !p.engine.isEmpty()) {
      out.engine = p.engine;
      out.version = p.version;
    }
  out.subjects.assign(static_cast<size_t>(rowCount), SubjectAnswer());
  for (size_t p = 0; p < parts.size() && p < rows.size(); ++p)
    for (size_t k = 0; k < rows[p].size(); ++k) {
      SubjectAnswer& cell = out.subjects[static_cast<size_t>(rows[p][k])];
      if (parts[p].outcome == FlavourOutcome::Compiled && k < parts[p].subjects.size()) {
        cell = parts[p].subjects[k];
      } else {
        cell.status = SubjectStatus::Failed;
        cell.error = parts[p].error;
      }
    }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The matrix

FlavourMatrixCell CFlavourMatrix::Cell(int row, int column) const {
  FlavourMatrixCell out;
  if (row < 0 || row >= Rows() || column < 0 || column >= Columns()) return out;
  const FlavourColumn& c = columns[static_cast<size_t>(column)];
  if (!korvaneAnswered || !c.answered) return out;
  out.waiting = false;
  out.cell = CompareWithKorvane(korvane, c.answer, row);
  return out;
}

const SubjectAnswer* CFlavourMatrix::KorvaneRow(int row) const {
  if (!korvaneAnswered || row < 0 || static_cast<size_t>(row) >= korvane.subjects.size()) return nullptr;
  return &korvane.subjects[static_cast<size_t>(row)];
}

const SubjectAnswer* CFlavourMatrix::FlavourRow(int row, int column) const {
  if (column < 0 || column >= Columns()) return nullptr;
  const FlavourColumn& c = columns[static_cast<size_t>(column)];
  if (!c.answered || row < 0 || static_cast<size_t>(row) >= c.answer.subjects.size()) return nullptr;
  return &c.answer.subjects[static_cast<size_t>(row)];
}

CFlavourMatrix::Counts CFlavourMatrix::Count() const {
  Counts n;
  for (int c = 0; c < Columns(); ++c) {
    const FlavourColumn& col = columns[static_cast<size_t>(c)];
    if (!col.answered) {
      ++n.waiting;
      continue;
    }
    switch (col.answer.outcome) {
      case FlavourOutcome::NotInstalled: ++n.missing; continue;
      case FlavourOutcome::RunnerFailed: ++n.failed; continue;
      case FlavourOutcome::CompileError: ++n.ran; continue;
      case FlavourOutcome::Compiled: break;
    }
    ++n.ran;
    ++n.compiled;
    if (!korvaneAnswered) {
      ++n.waiting;
      continue;
    }
    bool same = true;
    for (int r = 0; r < Rows() && same; ++r) same = CompareWithKorvane(korvane, col.answer, r).status == CellStatus::Same;
    if (same) ++n.same;
  }
  return n;
}

// ---------------------------------------------------------------------------------------------
// The session

CFlavourSession::CFlavourSession(QObject* parent) : QObject(parent), m_chosen(DefaultFlavours()) {
  m_pTimer = new QTimer(this);
  m_pTimer->setSingleShot(true);
  connect(m_pTimer, &QTimer::timeout, this, &CFlavourSession::Ask);
}

CFlavourSession::~CFlavourSession() = default;

CFlavourTestCheck& CFlavourSession::TestCheck() {
  if (!m_testCheck) m_testCheck.reset(new CFlavourTestCheck(&Pool()));
  return *m_testCheck;
}

CFlavourPool& CFlavourSession::Pool() {
  if (!m_pool) {
    m_pool.reset(new CFlavourPool);
    connect(m_pool.get(), &CFlavourPool::Answered, this, &CFlavourSession::OnAnswered);
    connect(m_pool.get(), &CFlavourPool::AllAnswered, this, &CFlavourSession::OnAllAnswered);
  }
  return *m_pool;
}

QStringList CFlavourSession::DefaultFlavours() {
  // In the table's order, as SetChosen keeps a choice.
  static const QStringList preferred = {"pcre2", "js", "python", "java", "dotnet", "ruby", "perl", "posix-ere", "re2"};
  // Looking for the interpreters touches the disk: once per process is enough (the choice made
  // from it is saved with a workspace that differs from it anyway).
  static const QStringList installed = [] {
    QStringList out;
    const QString folder = RunnersFolder();
    const FlavourSettings settings = FlavourSettings::Current();
    for (const QString& name : preferred) {
      const FlavourInfo* info = FindFlavour(name);
      if (info && LaunchFor(*info, folder, settings).notInstalled.isEmpty()) out << name;
    }
    return out.isEmpty() ? preferred : out;
  }();
  return installed;
}

QString CFlavourSession::FlagLetters(int optionBits) {
  QString letters;
  for (const char* letter : {"i", "m", "s", "x"}) {
    int bit = 0;
    if (KorvaneFlagBits(QLatin1String(letter), &bit) && (optionBits & bit)) letters += QLatin1String(letter);
  }
  return letters;
}

void CFlavourSession::SetChosen(const QStringList& flavours) {
  QStringList chosen;
  for (const QString& name : FlavourNames())
    if (name != kKorvane && flavours.contains(name)) chosen << name;
  if (chosen == m_chosen) return;
  m_chosen = chosen;
  emit ChosenChanged();
  Changed();
}

void CFlavourSession::SetPaneOpen(bool open) {
  if (open == m_bPaneOpen) return;
  m_bPaneOpen = open;
  emit ActiveChanged();
}

void CFlavourSession::SetActive(bool active) {
  if (active == m_bActive) return;
  m_bActive = active;
  if (!active) m_pTimer->stop();
  else if (m_bStale) RequestNow();
  emit ActiveChanged();
}

void CFlavourSession::Changed() {
  m_bStale = true;
  if (m_bActive) m_pTimer->start(m_nDelayMs);
}

void CFlavourSession::InterpreterChanged(const QString& flavour) {
  Pool().ForgetRunner(flavour);
  if (m_testCheck) m_testCheck->InterpreterChanged(flavour);
  m_known.erase(flavour);     // the header waits for the new runner's engine and version
  m_bAskedOnce = false;       // the same input is asked again
  Changed();
}

void CFlavourSession::RequestNow() {
  m_pTimer->stop();
  Ask();
}

void CFlavourSession::Ask() {
  m_bStale = false;
  if (!m_source) return;
  const Input input = m_source();
  if (m_bAskedOnce && SameInput(input, m_lastInput) && m_chosen == m_lastFlavours) return;
  m_bAskedOnce = true;
  m_lastInput = input;
  m_lastFlavours = m_chosen;

  CFlavourMatrix fresh;
  fresh.request.pattern = input.pattern;
  fresh.request.flags = input.flags;
  fresh.request.subjects = input.subjects;
  fresh.rowNames = input.rowNames;
  while (fresh.rowNames.size() < fresh.request.subjects.size()) fresh.rowNames << QString();
  for (const QString& name : m_chosen) {
    FlavourColumn c;
    c.flavour = name;
    const FlavourInfo* info = FindFlavour(name);
    c.display = info ? QString::fromLatin1(info->display) : name;
    auto known = m_known.find(name);
    if (known != m_known.end()) {
      c.engine = known->second.first;
      c.version = known->second.second;
    }
    fresh.columns.push_back(std::move(c));
  }
  m_matrix = std::move(fresh);
  // The parts: the rows with the workspace's options first, then one per other set of options,
  // in the order of their first row.
  m_parts.clear();
  m_partAnswers.clear();
  std::vector<QString> partFlags;
  for (int row = 0; row < m_matrix.Rows(); ++row) {
    const QString own = row < input.rowFlags.size() ? input.rowFlags[row] : QString();
    const QString flags = own.isEmpty() ? input.flags : own;
    size_t p = 0;
    if (m_parts.empty()) {
      // The first part is the workspace's options, even when only tests of their own come.
      m_parts.emplace_back();
      partFlags.push_back(input.flags);
    }
    while (p < partFlags.size() && partFlags[p] != flags) ++p;
    if (p == partFlags.size()) {
      m_parts.emplace_back();
      partFlags.push_back(flags);
    }
    Part& part = m_parts[p];
    part.rows.push_back(row);
    part.request.subjects << m_matrix.request.subjects[row];
  }
  for (size_t p = 0; p < m_parts.size(); ++p) {
    FlavourRequest& r = m_parts[p].request;
    r.pattern = m_matrix.request.pattern;
    r.flags = partFlags[p];
    r.timeoutMs = m_matrix.request.timeoutMs;
    r.maxMatches = m_matrix.request.maxMatches;
  }
  m_nPart = 0;
  m_bOpen = true;
  ++m_nRequestsMade;
  AskPart();
  emit MatrixChanged();
}

void CFlavourSession::AskPart() {
  QStringList asked = {kKorvane};
  asked << m_chosen;
  // A matrix without rows is asked once, for the columns' compile results.
  const FlavourRequest& request = m_parts.empty() ? m_matrix.request : m_parts[m_nPart].request;
  m_nRequest = Pool().Request(asked, request);
}

void CFlavourSession::OnAnswered(quint64 request, const QString& flavour, const FlavourAnswer& answer) {
  if (request != m_nRequest) return;  // an older request's: the newest wins
  if (m_parts.size() <= 1) {
    TakeAnswer(flavour, answer);
    return;
  }
  std::vector<FlavourAnswer>& parts = m_partAnswers[flavour];
  if (parts.size() != m_nPart) return;  // a part this flavour was not asked (cannot happen)
  parts.push_back(answer);
  if (!answer.engine.isEmpty() && flavour != kKorvane) m_known[flavour] = {answer.engine, answer.version};
  if (parts.size() < m_parts.size()) return;
  std::vector<std::vector<int>> rows;
  for (const Part& p : m_parts) rows.push_back(p.rows);
  TakeAnswer(flavour, PutTogether(parts, rows, m_matrix.Rows()));
}

void CFlavourSession::TakeAnswer(const QString& flavour, const FlavourAnswer& answer) {
  if (flavour == kKorvane) {
    m_matrix.korvane = answer;
    m_matrix.korvaneAnswered = true;
  } else {
    for (FlavourColumn& c : m_matrix.columns) {
      if (c.flavour != flavour) continue;
      c.answer = answer;
      c.answered = true;
      if (!answer.engine.isEmpty()) {
        c.engine = answer.engine;
        c.version = answer.version;
        m_known[flavour] = {answer.engine, answer.version};
      }
    }
  }
  emit MatrixChanged();
}

void CFlavourSession::OnAllAnswered(quint64 request) {
  if (request != m_nRequest) return;
  if (m_nPart + 1 < m_parts.size()) {
    ++m_nPart;
    AskPart();
    return;
  }
  m_bOpen = false;
}

QString CFlavourSession::Summary() const {
  if (m_matrix.columns.empty()) return CStringTable::Str(IDS_FLAVOURS_NONE_CHOSEN);
  const CFlavourMatrix::Counts n = m_matrix.Count();
  if (n.ran == 0 && n.missing == 0 && n.failed == 0)
    return CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_ALL_WAITING), {QString::number(n.waiting)});
  QString text = CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_SUMMARY),
                                             {QString::number(n.compiled), QString::number(n.ran), QString::number(n.same)});
  if (n.missing) text += CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_SUMMARY_MISSING), {QString::number(n.missing)});
  if (n.failed) text += CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_SUMMARY_FAILED), {QString::number(n.failed)});
  if (n.waiting) text += CStringTable::FormatStrings(CStringTable::Str(IDS_FLAVOURS_SUMMARY_WAITING), {QString::number(n.waiting)});
  return text;
}
