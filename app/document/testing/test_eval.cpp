// Running one test case. Every search is the direct one (fast_search.h): its poll function
// looks at the clock and at the cancel generation every so many steps, so that a test past its
// time limit or a run overtaken by a newer edit stops inside the engine.
// Covered by app/document/testing/tests/test_cases_test.cpp.
#include "app/document/testing/test_eval.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "app/document/matching/split_pieces.h"
#include "korvane_ids.h"
#include "stringtable.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often a test's search looks at the clock: every so many steps (tens of microseconds).
const int kPollSteps = 1024;

// The poll's state for one test.
struct RunGuard {
  Clock::time_point deadline;
  long long steps = 0;
  const std::atomic<unsigned>* cancel = nullptr;
  unsigned generation = 0;
  bool timedOut = false;
  bool cancelled = false;
};

// A test's search broke off: past its time limit, or cancelled.
struct Stopped {};

void GuardPoll(void* user, int, std::uint64_t) {
  RunGuard* g = static_cast<RunGuard*>(user);
  if (g->cancel && g->cancel->load(std::memory_order_relaxed) != g->generation) {
    g->cancelled = true;
    throw Stopped();
  }
  if (Clock::now() >= g->deadline) {
    g->timedOut = true;
    throw Stopped();
  }
}

// A search ended without an answer (the nesting limit).
struct NoAnswer {};

class CSearch {
 public:
  CSearch(const CTestPattern& p, const TestText& text, RunGuard* guard) : m_p(p), m_text(text), m_pGuard(guard) {
    m_search.SetPoll(&GuardPoll, guard, kPollSteps);
  }
  ~CSearch() { Count(); }
  void Start() {
    Count();
    m_search.Prepare(m_p.Direct(), Text(), Length(), -1);
    m_nCounted = 0;
  }
  // The next match, or a not-matched result at the end.
  SearchHit Next() {
    SearchHit m = m_search.Next();
    if (m.HitNestingLimit()) throw NoAnswer();
    return m;
  }
  // One attempt at the text start (the end right to left) that must span the whole text.
  bool Whole() {
    if (!m_p.Direct().HasRoot()) return false;
    Start();
    SearchHit m = m_search.Whole();
    if (m.HitNestingLimit()) throw NoAnswer();
    return m.IsMatched() != 0;
  }
  const unsigned short* Text() const { return m_text.empty() ? nullptr : m_text.data(); }
  int Length() const { return static_cast<int>(m_text.size()); }

 private:
  // Adds the steps of the search so far to the guard's count (a test may search more than once).
  void Count() {
    m_pGuard->steps += static_cast<long long>(m_search.Steps() - m_nCounted);
    m_nCounted = m_search.Steps();
  }

  const CTestPattern& m_p;
  const TestText& m_text;
  RunGuard* m_pGuard;
  CFastSearch m_search;
  std::uint64_t m_nCounted = 0;
};

TestText Slice(const TestText& t, int a, int b) {
  if (a < 0 || b <= a || b > static_cast<int>(t.size())) return TestText();
  return TestText(t.begin() + a, t.begin() + b);
}

// One match's replacement, expanded piece by piece as the replace result expands it.
void AppendPieces(TestText& out, const CTestPattern& p, const TestText& text, const SearchHit& m) {
  const ReplaceProgram& program = p.Program();
  const int length = static_cast<int>(text.size());
  int pieceStart = 0;
  for (const ReplacePiece& piece : program.pieces) {
    const OutputPiece o = ExpandPiece(piece, pieceStart, m, length);
    pieceStart = piece.end;
    if (o.length <= 0) continue;
    const std::vector<unsigned short>& from = o.source == OutputPiece::FROM_SUBJECT ? text : program.text;
    if (o.position < 0 || o.position + o.length > static_cast<int>(from.size())) continue;
    out.insert(out.end(), from.begin() + o.position, from.begin() + o.position + o.length);
  }
}

TestText Replaced(CSearch& s, const CTestPattern& p, const TestText& text) {
  const int length = static_cast<int>(text.size());
  TestText out;
  s.Start();
  if (!(p.Flags() & RIGHTTOLEFT)) {
    int copy = 0;
    for (;;) {
      SearchHit m = s.Next();
      if (!m.IsMatched()) break;
      const int start = m.GetStart() < copy ? copy : m.GetStart();
      out.insert(out.end(), text.begin() + copy, text.begin() + start);
      AppendPieces(out, p, text, m);
      if (m.GetEnd() > copy) copy = m.GetEnd();
    }
    out.insert(out.end(), text.begin() + copy, text.end());
    return out;
  }
  // Matches come from right to left; the parts are joined so that the text reads left to right.
  std::vector<std::pair<int, int>> spans;
  std::vector<TestText> parts;
  int copy = length;
  for (;;) {
    SearchHit m = s.Next();
    if (!m.IsMatched()) break;
    const int e = m.GetEnd() > copy ? copy : m.GetEnd();
    const int b = m.GetStart() > e ? e : m.GetStart();
    spans.emplace_back(b, e);
    parts.emplace_back();
    AppendPieces(parts.back(), p, text, m);
    copy = b;
  }
  int prev = 0;
  for (int i = static_cast<int>(spans.size()) - 1; i >= 0; --i) {
    out.insert(out.end(), text.begin() + prev, text.begin() + spans[i].first);
    out.insert(out.end(), parts[i].begin(), parts[i].end());
    prev = spans[i].second;
  }
  out.insert(out.end(), text.begin() + prev, text.end());
  return out;
}

std::vector<TestText> Pieces(CSearch& s, const CTestPattern& p, const TestText& text) {
  std::vector<std::pair<int, int>> matches;
  s.Start();
  for (;;) {
    SearchHit m = s.Next();
    if (!m.IsMatched()) break;
    matches.emplace_back(m.GetStart(), m.GetEnd());
  }
  if (p.Flags() & RIGHTTOLEFT) std::reverse(matches.begin(), matches.end());
  std::vector<TestText> pieces;
  for (const SplitPiece& piece : SplitAround(matches, static_cast<int>(text.size())))
    pieces.push_back(Slice(text, piece.start, piece.end));
  return pieces;
}

std::vector<TestMatch> Matches(CSearch& s, const TestText& text, bool withGroups) {
  std::vector<TestMatch> out;
  s.Start();
  for (;;) {
    SearchHit m = s.Next();
    if (!m.IsMatched()) break;
    TestMatch t;
    t.start = m.GetStart();
    t.end = m.GetEnd();
    if (withGroups)
      for (int g = 1; g <= m.MaxGroupNumber(); ++g) t.groups.push_back(Slice(text, m.GetGroupStart(g), m.GetGroupEnd(g)));
    out.push_back(std::move(t));
  }
  return out;
}

// --- reasons ---------------------------------------------------------------------------------

QString Str(int id) { return CStringTable::Str(id); }
QString Num(long long n) { return QString::number(n); }
QString Fmt(int id, const QStringList& args) { return CStringTable::FormatStrings(Str(id), args); }

// "first", "second", ... from the table; "#11" beyond it.
QString Ordinal(int index) {
  const QString word = CStringTable::Current().GetField(IDS_TEST_ORDINALS, index);
  return word.isEmpty() ? Fmt(IDS_TEST_ORDINAL_N, {Num(index + 1)}) : word;
}

// A piece of text for a one-line reason: line breaks and tabs written as escapes, at most 40
// characters.
QString Snippet(const TestText& t, int from = 0) {
  constexpr int kMax = 40;
  QString out;
  const int end = static_cast<int>(t.size());
  for (int i = from < 0 ? 0 : from; i < end; ++i) {
    if (out.size() >= kMax) {
      out += QStringLiteral("...");
      break;
    }
    const unsigned short c = t[i];
    if (c == '\n') out += QStringLiteral("\\n");
    else if (c == '\r') out += QStringLiteral("\\r");
    else if (c == '\t') out += QStringLiteral("\\t");
    else out += QChar(c);
  }
  return out;
}

QString Span(int a, int b) { return Num(a) + QLatin1Char('-') + Num(b); }

QString MatchListReason(const std::vector<TestMatch>& want, const std::vector<TestMatch>& got, bool withGroups) {
  const size_t common = want.size() < got.size() ? want.size() : got.size();
  QString detail;
  for (size_t i = 0; i < common && detail.isEmpty(); ++i) {
    const TestMatch& w = want[i];
    const TestMatch& g = got[i];
    if (w.start != g.start || w.end != g.end) {
      detail = Fmt(IDS_TEST_MATCH_DIFFERS, {Ordinal(static_cast<int>(i)), Span(g.start, g.end), Span(w.start, w.end)});
    } else if (withGroups) {
      const size_t groups = w.groups.size() > g.groups.size() ? w.groups.size() : g.groups.size();
      for (size_t k = 0; k < groups; ++k) {
        const TestText none;
        const TestText& wk = k < w.groups.size() ? w.groups[k] : none;
        const TestText& gk = k < g.groups.size() ? g.groups[k] : none;
        if (wk != gk || w.groups.size() != g.groups.size()) {
          detail = Fmt(IDS_TEST_GROUP_DIFFERS, {Ordinal(static_cast<int>(i)), Num(static_cast<long long>(k) + 1),
                                                Snippet(gk), Snippet(wk)});
          break;
        }
      }
    }
  }
  if (detail.isEmpty() && want.size() != got.size()) {
    if (got.size() > want.size())
      detail = Fmt(IDS_TEST_MATCH_EXTRA, {Ordinal(static_cast<int>(common)), Span(got[common].start, got[common].end)});
    else
      detail = Fmt(IDS_TEST_MATCH_MISSING, {Ordinal(static_cast<int>(common)), Span(want[common].start, want[common].end)});
  }
  if (want.size() == got.size()) return detail;
  return Fmt(IDS_TEST_COUNT_DIFFERS, {Num(static_cast<long long>(want.size())), Num(static_cast<long long>(got.size())), detail});
}

QString PiecesReason(const std::vector<TestText>& want, const std::vector<TestText>& got) {
  const size_t common = want.size() < got.size() ? want.size() : got.size();
  QString detail;
  for (size_t i = 0; i < common && detail.isEmpty(); ++i)
    if (want[i] != got[i]) detail = Fmt(IDS_TEST_PIECE_DIFFERS, {Ordinal(static_cast<int>(i)), Snippet(got[i]), Snippet(want[i])});
  if (detail.isEmpty() && want.size() != got.size()) {
    if (got.size() > want.size())
      detail = Fmt(IDS_TEST_PIECE_EXTRA, {Ordinal(static_cast<int>(common)), Snippet(got[common])});
    else
      detail = Fmt(IDS_TEST_PIECE_MISSING, {Ordinal(static_cast<int>(common)), Snippet(want[common])});
  }
  if (want.size() == got.size()) return detail;
  return Fmt(IDS_TEST_PIECE_COUNT, {Num(static_cast<long long>(want.size())), Num(static_cast<long long>(got.size())), detail});
}

QString ReplacedReason(const TestText& want, const TestText& got) {
  size_t at = 0;
  while (at < want.size() && at < got.size() && want[at] == got[at]) ++at;
  // Start the snippets a little before the first difference, so that the reader sees where it is.
  const int from = at > 10 ? static_cast<int>(at) - 10 : 0;
  return Fmt(IDS_TEST_REPLACED_DIFFERS, {Num(static_cast<long long>(at)), Snippet(got, from), Snippet(want, from)});
}

// The reason a test fails when judged as an expectation of `kind` (AcceptResult runs a whole-text
// test as a match test), or empty on a pass.
QString JudgeAs(const TestCase& t, int kind, const TestActual& actual) {
  switch (kind) {
    case EXPECT_MATCH: return actual.matched ? QString() : Str(IDS_TEST_EXPECTED_MATCH);
    case EXPECT_NO_MATCH:
      return actual.matched ? Fmt(IDS_TEST_EXPECTED_NO_MATCH, {Span(actual.firstStart, actual.firstEnd)}) : QString();
    case EXPECT_WHOLE: return actual.matched ? QString() : Str(IDS_TEST_EXPECTED_WHOLE);
    case EXPECT_MATCH_LIST:
      return actual.matches == t.matches ? QString() : MatchListReason(t.matches, actual.matches, t.withGroups);
    case EXPECT_REPLACED:
      return actual.replaced == t.Replaced() ? QString() : ReplacedReason(t.Replaced(), actual.replaced);
    case EXPECT_SPLIT: return actual.pieces == t.pieces ? QString() : PiecesReason(t.pieces, actual.pieces);
    default: return Str(IDS_TEST_BAD_EXPECTATION);
  }
}

// Runs the search the expectation needs; fills `actual` and returns the failure reason (empty
// on a pass). Throws CMatchBreak, NoAnswer or std::bad_alloc.
QString Evaluate(const CTestPattern& p, const TestCase& t, int kind, RunGuard* guard, TestActual* actual) {
  const TestText& text = t.Subject();
  CSearch s(p, text, guard);
  switch (kind) {
    case EXPECT_MATCH:
    case EXPECT_NO_MATCH: {
      s.Start();
      SearchHit m = s.Next();
      actual->matched = m.IsMatched() != 0;
      if (actual->matched) {
        actual->firstStart = m.GetStart();
        actual->firstEnd = m.GetEnd();
      }
      break;
    }
    case EXPECT_WHOLE: actual->matched = s.Whole(); break;
    case EXPECT_MATCH_LIST: actual->matches = Matches(s, text, t.withGroups); break;
    case EXPECT_REPLACED: actual->replaced = Replaced(s, p, text); break;
    case EXPECT_SPLIT: actual->pieces = Pieces(s, p, text); break;
    default: break;
  }
  return JudgeAs(t, kind, *actual);
}

TestResult Run(const CTestPattern& p, const TestCase& t, int kind, const TestLimits& limits, TestActual* actual) {
  TestResult r;
  if (kind < 0 || kind >= kExpectationKinds) {
    r.status = TEST_ERROR;
    r.reason = Str(IDS_TEST_BAD_EXPECTATION);
    return r;
  }
  RunGuard guard;
  const Clock::time_point start = Clock::now();
  guard.deadline = start + std::chrono::milliseconds(limits.timeLimitMs > 0 ? limits.timeLimitMs : 1);
  guard.cancel = limits.cancel;
  guard.generation = limits.generation;
  TestActual local;
  TestActual* a = actual ? actual : &local;
  try {
    r.reason = Evaluate(p, t, kind, &guard, a);
    r.status = r.reason.isEmpty() ? TEST_PASS : TEST_FAIL;
  } catch (const Stopped&) {
    if (guard.cancelled) {
      r.status = TEST_NOT_RUN;
    } else {
      r.status = TEST_TIMED_OUT;
      r.reason = Fmt(IDS_TEST_TIMED_OUT, {Num(limits.timeLimitMs), Num(guard.steps)});
    }
  } catch (const NoAnswer&) {
    r.status = TEST_ERROR;
    r.reason = Str(IDS_TEST_NESTING);
  } catch (const std::bad_alloc&) {
    r.status = TEST_ERROR;
    r.reason = Str(IDS_TEST_NO_MEMORY);
  }
  r.steps = guard.steps;
  r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return r;
}

}  // namespace

CTestPattern::CTestPattern(const TestText& pattern, int flags, const TestText& replaceTo)
    : m_nFlags(flags), m_replaceTo(replaceTo) {
  m_regexp.Compile(pattern.empty() ? nullptr : pattern.data(), static_cast<int>(pattern.size()), flags);
  m_direct.Compile(pattern.empty() ? nullptr : pattern.data(), static_cast<int>(pattern.size()), flags);
  // Compile takes a null pointer with length 0 as the empty pattern.
  m_program = ParseReplaceProgram(m_replaceTo.empty() ? nullptr : m_replaceTo.data(),
                                  static_cast<int>(m_replaceTo.size()), m_regexp);
}

CTestPatterns::CTestPatterns(const TestText& pattern, int workspaceFlags, const TestText& replaceTo,
                             const TestSet& tests)
    : m_nWorkspaceFlags(workspaceFlags) {
  m_byFlags[workspaceFlags].reset(new CTestPattern(pattern, workspaceFlags, replaceTo));
  for (const TestCase& t : tests) {
    std::unique_ptr<CTestPattern>& slot = m_byFlags[t.EffectiveFlags(workspaceFlags)];
    if (!slot) slot.reset(new CTestPattern(pattern, t.EffectiveFlags(workspaceFlags), replaceTo));
  }
}

const CTestPattern* CTestPatterns::For(const TestCase& test) const {
  auto it = m_byFlags.find(test.EffectiveFlags(m_nWorkspaceFlags));
  return it == m_byFlags.end() ? nullptr : it->second.get();
}

QString JudgeActual(const TestCase& t, const TestActual& actual) { return JudgeAs(t, t.expectation, actual); }

TestResult RunTestCase(const CTestPattern& pattern, const TestCase& test, const TestLimits& limits, TestActual* actual) {
  return Run(pattern, test, test.expectation, limits, actual);
}

TestResult AcceptResult(const CTestPattern& pattern, TestCase* test, const TestLimits& limits) {
  TestActual a;
  int kind = test->expectation;
  if (kind < 0 || kind >= kExpectationKinds) kind = EXPECT_MATCH;
  TestResult r = Run(pattern, *test, kind, limits, &a);
  if (r.status != TEST_PASS && r.status != TEST_FAIL) return r;
  switch (kind) {
    case EXPECT_MATCH:
    case EXPECT_NO_MATCH: test->expectation = a.matched ? EXPECT_MATCH : EXPECT_NO_MATCH; break;
    case EXPECT_WHOLE:
      if (!a.matched) {
        r = Run(pattern, *test, EXPECT_MATCH, limits, &a);
        if (r.status != TEST_PASS && r.status != TEST_FAIL) return r;
        test->expectation = a.matched ? EXPECT_MATCH : EXPECT_NO_MATCH;
      }
      break;
    case EXPECT_MATCH_LIST: test->matches = std::move(a.matches); break;
    case EXPECT_REPLACED: test->SetReplaced(std::move(a.replaced)); break;
    case EXPECT_SPLIT: test->pieces = std::move(a.pieces); break;
  }
  r.status = TEST_PASS;
  r.reason.clear();
  return r;
}

bool IsBlankTestName(const TestText& name) {
  for (unsigned short c : name)
    if (!QChar(c).isSpace()) return false;
  return true;
}

bool HasUnnamedTests(const TestSet& tests) {
  for (const TestCase& t : tests)
    if (IsBlankTestName(t.name)) return true;
  return false;
}

void NameUnnamedTests(TestSet* tests) {
  for (size_t i = 0; i < tests->size(); ++i) {
    TestCase& t = (*tests)[i];
    if (!IsBlankTestName(t.name)) continue;
    const QString name = Fmt(IDS_TEST_NEW_NAME, {Num(static_cast<long long>(i) + 1)});
    t.name = TestText(name.utf16(), name.utf16() + name.size());
  }
}

void CountResults(const std::vector<TestResult>& results, int* passed, int* failed) {
  int p = 0, f = 0;
  for (const TestResult& r : results) {
    if (r.status == TEST_PASS) ++p;
    else if (r.status != TEST_NOT_RUN) ++f;
  }
  *passed = p;
  *failed = f;
}

QString TestStatusText(const std::vector<TestResult>& results) {
  if (results.empty()) return QString();
  int passed = 0, failed = 0;
  CountResults(results, &passed, &failed);
  return Fmt(IDS_TEST_STATUS, {Num(passed), Num(failed)});
}
