// The document's replace result: segments, output pieces, and a cross-check against the
// engine's own Replace.
#include <gtest/gtest.h>

#include <random>

#include "app/document/matching/replace_result.h"

namespace {

std::vector<unsigned short> U16(const std::string& s) {
  std::vector<unsigned short> v;
  for (char c : s) v.push_back(static_cast<unsigned char>(c));
  return v;
}
std::string Str(const std::vector<unsigned short>& v) {
  std::string s;
  for (unsigned short c : v) s += static_cast<char>(c);
  return s;
}

// Every match of the pattern, in the order found, as the document's results list holds them
// after Find All (with the not-matched sentinel last when `sentinel`).
std::vector<MatchHandle> AllMatches(const HostRegexp& re, const std::vector<unsigned short>& subject, bool sentinel) {
  std::vector<MatchHandle> out;
  HostContext ctx;
  re.PrepareMatch(subject.data(), static_cast<int>(subject.size()), -1, &ctx);
  for (;;) {
    MatchHandle h = NewMatchRecord();
    h->result = re.Match(&ctx);
    if (!h->result.IsMatched()) {
      if (sentinel) out.push_back(h);
      break;
    }
    out.push_back(h);
  }
  return out;
}

struct Fixture {
  Fixture(const std::string& pattern, int flags, const std::string& subj, const std::string& replaceTo)
      : p(U16(pattern)), subject(U16(subj)), rep(U16(replaceTo)), re(p.data(), static_cast<int>(p.size()), flags) {
    result.ParseReplaceTo(rep.data(), static_cast<int>(rep.size()), re);
    matches = AllMatches(re, subject, true);
    result.Build(static_cast<int>(subject.size()), matches, static_cast<int>(matches.size()),
                 (flags & RIGHTTOLEFT) != 0);
  }
  std::string Replaced() const { return Str(result.ReplacedText(subject.data(), static_cast<int>(subject.size()))); }
  std::vector<unsigned short> p, subject, rep;
  HostRegexp re;
  ReplaceResult result;
  std::vector<MatchHandle> matches;
};

TEST(ReplaceResult, EmptyCaptureOfTheOtherGroup) {
  Fixture f("(a)|(b)", 0, "ab", "[$1]");
  EXPECT_EQ("[a][]", f.Replaced());
  ASSERT_EQ(2u, f.result.Segments().size());
  const ReplaceSegment& second = f.result.Segments()[1];
  const OutputPieces secondPieces = f.result.PiecesOf(second);
  ASSERT_EQ(3u, secondPieces.size());
  EXPECT_EQ(0, secondPieces[1].length);  // group 1 did not take part in the second match
  EXPECT_EQ(3, second.start);
  EXPECT_EQ(2, second.length);
}

TEST(ReplaceResult, EmptyReplaceToGivesEmptySegments) {
  Fixture f("b", 0, "abcb", "");
  EXPECT_EQ("ac", f.Replaced());
  ASSERT_EQ(2u, f.result.Segments().size());
  EXPECT_EQ(1, f.result.Segments()[0].start);
  EXPECT_EQ(0, f.result.Segments()[0].length);
  EXPECT_EQ(2, f.result.Segments()[1].start);
}

TEST(ReplaceResult, RightToLeftSegmentsInTextOrder) {
  Fixture f("\\d+", RIGHTTOLEFT, "a1b22c", "<$&>");
  EXPECT_EQ("a<1>b<22>c", f.Replaced());
  ASSERT_EQ(2u, f.result.Segments().size());
  EXPECT_EQ(1, f.result.Segments()[0].start);
  EXPECT_EQ(5, f.result.Segments()[1].start);
  // Found right to left: the first match found is the rightmost, which has the second segment.
  EXPECT_EQ(1, f.result.SegmentOfResult(f.matches[0]));
  EXPECT_EQ(-1, f.result.SegmentOfResult(f.matches.back()));  // the sentinel has none
  EXPECT_EQ(-1, f.result.SegmentOfResult(MatchHandle()));
}

TEST(ReplaceResult, ProgramPiecesAndTheirOutput) {
  Fixture f("(?<n>b)", 0, "abc", "x$$$`$'${n}${m}$5$+$_");
  const std::vector<ReplacePiece>& pieces = f.result.Program().pieces;
  // x | $$ | $` | $' | ${n} | ${m} | $ | 5 | $+ | $_
  ASSERT_EQ(10u, pieces.size());
  EXPECT_EQ(ReplacePiece::LITERAL, pieces[1].kind);
  EXPECT_EQ('$', pieces[1].value);
  EXPECT_EQ(3, pieces[1].end);
  EXPECT_EQ(ReplacePiece::GROUP, pieces[4].kind);
  EXPECT_EQ(1, pieces[4].value);
  EXPECT_EQ(ReplacePiece::LITERAL, pieces[5].kind);  // unknown name: literal text
  EXPECT_EQ(ReplacePiece::LITERAL, pieces[6].kind);  // "$5" with one group: the '$' alone
  EXPECT_EQ(ReplacePiece::SPECIAL, pieces[8].kind);
  EXPECT_EQ("ax$acb${m}$5babcc", f.Replaced());
  const OutputPieces s = f.result.PiecesOf(f.result.Segments()[0]);
  ASSERT_EQ(10u, s.size());
  EXPECT_EQ(OutputPiece::FROM_REPLACE_TO, s[1].source);
  EXPECT_EQ(1, s[1].position);
  EXPECT_EQ(1, s[1].length);
  EXPECT_EQ(OutputPiece::FROM_SUBJECT, s[2].source);
  EXPECT_EQ(0, s[2].position);
  EXPECT_EQ(1, s[2].length);
  // $' runs to the end of the subject the result was built over, $_ is all of it.
  EXPECT_EQ(2, s[3].position);
  EXPECT_EQ(1, s[3].length);
  EXPECT_EQ(0, s[9].position);
  EXPECT_EQ(3, s[9].length);
  // The segment's length is the sum of what the pieces give.
  int sum = 0;
  for (const OutputPiece& p : s) sum += p.length;
  EXPECT_EQ(f.result.Segments()[0].length, sum);
  // The piece under a caret position.
  EXPECT_EQ(0, f.result.PieceAt(0));
  EXPECT_EQ(1, f.result.PieceAt(2));
  EXPECT_EQ(4, f.result.PieceAt(8));
  EXPECT_EQ(-1, f.result.PieceAt(99));
  EXPECT_EQ(7, f.result.PieceStart(4));
}

TEST(ReplaceResult, SentinelAndClear) {
  Fixture f("x", 0, "axbx", "-");
  EXPECT_EQ(3u, f.matches.size());  // two matches and the sentinel
  EXPECT_EQ(2u, f.result.Segments().size());
  f.result.Clear();
  EXPECT_EQ("axbx", f.Replaced());
}

// The replaced text equals the engine's own Replace for random patterns, subjects and
// replace-to texts, in both directions.
TEST(ReplaceResult, AgreesWithTheEngine) {
  std::mt19937 rng(20261208);
  const char* atoms[] = {"a", "b", "(a)", "(b|c)", "(?<n>a|)", "[ab]", ".", "a*", "b+?", "(a|b)*", "\\b", "c?", "(?=a)", "x"};
  const char* reps[] = {"", "-", "$0", "$1", "$2", "$&", "$`", "$'", "$+", "$_", "$$", "${n}", "[$1$2]", "$9", "${z}", "y"};
  auto pick = [&rng](int n) { return static_cast<int>(rng() % n); };
  for (int round = 0; round < 3000; ++round) {
    std::string pattern;
    for (int k = 1 + pick(3); k > 0; --k) pattern += atoms[pick(sizeof atoms / sizeof *atoms)];
    if (pick(4) == 0) pattern += "|" + std::string(atoms[pick(sizeof atoms / sizeof *atoms)]);
    std::string subject;
    for (int k = pick(12); k > 0; --k) subject += "abcx "[pick(5)];
    std::string rep;
    for (int k = pick(4); k > 0; --k) rep += reps[pick(sizeof reps / sizeof *reps)];
    for (int flags : {0, static_cast<int>(RIGHTTOLEFT)}) {
      Fixture f(pattern, flags, subject, rep);
      int n = 0;
      unsigned short* engine = f.re.Replace(f.subject.data(), static_cast<int>(f.subject.size()), f.rep.data(),
                                            static_cast<int>(f.rep.size()), n);
      std::vector<unsigned short> expected(engine, engine + n);
      HostRegexp::ReleaseString(engine);
      ASSERT_EQ(Str(expected), f.Replaced())
          << "/" << pattern << "/ flags " << flags << " on \"" << subject << "\" with \"" << rep << "\"";
      // Written in parts, as the result box builds a long text, it is the same text.
      const size_t budget = static_cast<size_t>(pick(4));
      std::vector<unsigned short> parts(f.result.ReplacedLength(static_cast<int>(f.subject.size())));
      ReplaceResult::WriteProgress progress;
      for (int step = 0; !progress.complete && step < 1000; ++step)
        f.result.WriteReplacedTextPart(f.subject.data(), static_cast<int>(f.subject.size()), parts.data(), progress,
                                       budget);
      ASSERT_TRUE(progress.complete) << "/" << pattern << "/ in parts of " << budget;
      parts.resize(progress.written);
      ASSERT_EQ(Str(expected), Str(parts)) << "/" << pattern << "/ flags " << flags << " on \"" << subject
                                            << "\" with \"" << rep << "\" in parts of " << budget;
      // Segment starts increase and each segment's length is the sum of its pieces.
      int prev = -1;
      for (const ReplaceSegment& s : f.result.Segments()) {
        EXPECT_GE(s.start, prev);
        prev = s.start;
        int sum = 0;
        for (const OutputPiece& o : f.result.PiecesOf(s)) sum += o.length;
        EXPECT_EQ(s.length, sum);
      }
    }
  }
}

}  // namespace

// The result box rebuilds only when the version changed: every change gives a new one, and no
// two results share one.
TEST(ReplaceResult, VersionChangesWithEveryChange) {
  Fixture f("b", 0, "abcb", "X");
  const unsigned long long built = f.result.Version();
  EXPECT_EQ(built, f.result.Version());  // reading does not change it
  f.result.Build(static_cast<int>(f.subject.size()), f.matches, static_cast<int>(f.matches.size()), false);
  const unsigned long long rebuilt = f.result.Version();
  EXPECT_NE(built, rebuilt);
  f.result.ParseReplaceTo(f.rep.data(), static_cast<int>(f.rep.size()), f.re);
  EXPECT_NE(rebuilt, f.result.Version());
  const unsigned long long parsed = f.result.Version();
  f.result.Clear();
  EXPECT_NE(parsed, f.result.Version());
  ReplaceResult other;
  EXPECT_NE(f.result.Version(), other.Version());
  other = f.result;
  EXPECT_NE(f.result.Version(), other.Version());
}

// Thousands of segments, found by bisection: every match finds its own segment, in both
// directions, and a record that is not in the result finds none.
TEST(ReplaceResult, SegmentOfResultFindsEveryMatch) {
  std::string subject;
  for (int i = 0; i < 3000; ++i) subject += i % 3 ? "a1 " : "22 ";
  for (int flags : {0, int(RIGHTTOLEFT)}) {
    Fixture f("\\d*", flags, subject, "<$&>");  // empty matches too, sharing no start
    ASSERT_GT(f.result.Segments().size(), 3000u);
    for (const MatchHandle& m : f.matches) {
      if (!m->result.IsMatched()) {
        EXPECT_EQ(-1, f.result.SegmentOfResult(m));
        continue;
      }
      const int seg = f.result.SegmentOfResult(m);
      ASSERT_GE(seg, 0);
      EXPECT_TRUE(f.result.Segments()[seg].match == m);
    }
    MatchHandle stranger = NewMatchRecord();
    stranger->result = f.matches.front()->result;  // the same span, another record
    EXPECT_EQ(-1, f.result.SegmentOfResult(stranger));
  }
}
