// Proven rewrites of costly patterns: which are offered, that they keep every match, and that a
// rewrite changing a match is never offered.
#include "app/document/backtrack_fixes.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::u16string U(const char* s) {
  std::u16string out;
  for (; *s; ++s) out += static_cast<char16_t>(static_cast<unsigned char>(*s));
  return out;
}

std::string A(const std::u16string& s) { return std::string(s.begin(), s.end()); }

std::vector<backtrack::Fix> Fixes(const char* pattern, int flags = 0,
                                  const std::vector<backtrack::Subject>& subjects = {}) {
  const std::u16string p = U(pattern);
  backtrack::Report r = backtrack::Analyze(p, flags);
  return backtrack::ProposeFixes(p, flags, r, subjects);
}

bool Offers(const std::vector<backtrack::Fix>& fixes, const char* rewritten) {
  for (const backtrack::Fix& f : fixes)
    if (A(f.pattern) == rewritten) return true;
  return false;
}

std::string List(const std::vector<backtrack::Fix>& fixes) {
  std::string s;
  for (const backtrack::Fix& f : fixes) s += A(f.pattern) + " (" + backtrack::VerdictText(f.report) + ")  ";
  return s;
}

// Patterns with a known blow-up and a rewrite that must be among those offered.
TEST(BacktrackFixes, OffersTheStandardRewrite) {
  struct Row {
    const char* pattern;
    const char* expected;
    backtrack::Verdict verdict;  // of the expected rewrite
  } rows[] = {
      {"(a|a)*c", "(a)*c", backtrack::LINEAR},                  // a duplicate branch
      {"(?:a|a)+c", "(?:a)+c", backtrack::LINEAR},
      {"(a+)+b", "(a++)+b", backtrack::LINEAR},                 // the inner repeat possessive
      {"^(\\w+\\s?)*$", "^(?>(\\w+\\s?))*$", backtrack::LINEAR},  // one iteration atomic
      {"(?:\\d|\\w)+!", "(?:\\w)+!", backtrack::LINEAR},          // a branch the other covers
      {"x.*=.*=y", "x[^=\\n]*=.*=y", backtrack::LINEAR},         // a class exclusive of its follower
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pattern);
    std::vector<backtrack::Fix> fixes = Fixes(row.pattern);
    ASSERT_TRUE(Offers(fixes, row.expected)) << List(fixes);
    for (const backtrack::Fix& f : fixes) {
      if (A(f.pattern) != row.expected) continue;
      EXPECT_EQ(f.report.verdict, row.verdict) << List(fixes);
      EXPECT_GE(f.subjects, backtrack::kMinFixSubjects);
      EXPECT_EQ(A(U(row.pattern).substr(0, f.span.first) + f.replacement + U(row.pattern).substr(f.span.second)),
                row.expected);
    }
  }
}

// Every rewrite that would change a match is refused, so these get none (or only those that
// keep the matches, checked again here on texts the proposer never saw).
TEST(BacktrackFixes, NeverOffersARewriteThatChangesAMatch) {
  const char* patterns[] = {
      "(a+)+a!",         // possessive or atomic: would never match
      "(a|aa)*c",        // dropping a branch loses matches of odd runs or changes captures
      "(\\w+)*\\d",      // the repeat must give characters back
      "x(.*)=(.*)=y",    // exclusive class would move group 1
      "^(a|ab)*(c|bc)$",
      "(x+x+)+y",
      "(\\d+|\\d+\\.\\d+)*#",
  };
  std::mt19937 rng(7);
  const std::u16string alphabet = u"ab cdxy.=#1\n";
  for (const char* p : patterns) {
    SCOPED_TRACE(p);
    for (const backtrack::Fix& f : Fixes(p)) {
      for (int k = 0; k < 400; ++k) {
        std::u16string t;
        const int len = static_cast<int>(rng() % 16);
        for (int i = 0; i < len; ++i) t += alphabet[rng() % alphabet.size()];
        bool undecided = false;
        const bool same = backtrack::SameMatches(U(p), f.pattern, 0, t, 200000, &undecided);
        EXPECT_TRUE(same || undecided) << A(f.pattern) << " on \"" << A(t) << '"';
      }
    }
  }
  // Costly, and every standard rewrite changes a match: none is offered.
  for (const char* p : {"^(\\d+|\\d+\\.\\d+)*$", "x(.*)=(.*)=y"}) {
    EXPECT_NE(backtrack::LINEAR, backtrack::Analyze(U(p), 0).verdict) << p;
    EXPECT_TRUE(Fixes(p).empty()) << p << ": " << List(Fixes(p));
  }
}

TEST(BacktrackFixes, NothingForSafeOrUnanalysedPatterns) {
  EXPECT_TRUE(Fixes("abc").empty());
  EXPECT_TRUE(Fixes("[a-z]+@[a-z]+\\.com").empty());
  EXPECT_TRUE(Fixes("(a|a)*c", 0x10).empty());  // right to left is not analysed
  EXPECT_TRUE(Fixes("(a|a").empty());           // does not compile
}

// A subject of the caller's on which a rewrite differs keeps it from being offered. Dropping
// [a-\xff] from the alternation loses the letters above z, which no generated text spells (the
// pattern names none of them); a text of the user's that has one decides.
TEST(BacktrackFixes, TheUsersSubjectsDecide) {
  const char* pattern = "(?:[a-z]|[a-\\xff])+!";
  std::vector<backtrack::Fix> alone = Fixes(pattern);
  EXPECT_TRUE(Offers(alone, "(?:[a-z])+!")) << List(alone);
  EXPECT_TRUE(Offers(alone, "(?:[a-\\xff])+!")) << List(alone);
  std::vector<backtrack::Fix> told = Fixes(pattern, 0, {{u"caf\u00e9!", 0}});
  EXPECT_FALSE(Offers(told, "(?:[a-z])+!")) << List(told);
  EXPECT_TRUE(Offers(told, "(?:[a-\\xff])+!")) << List(told);
}

TEST(BacktrackFixes, SameMatchesComparesGroupsAndBudget) {
  bool undecided = false;
  EXPECT_TRUE(backtrack::SameMatches(u"a+", u"a++", 0, u"aa b aaa", 10000, &undecided));
  EXPECT_FALSE(backtrack::SameMatches(u"(a)(b)?", u"(a)b?", 0, u"ab", 10000, &undecided));  // groups differ
  EXPECT_FALSE(backtrack::SameMatches(u"(.*)=", u"([^=]*)=", 0, u"a=b=", 10000, &undecided));
  EXPECT_FALSE(undecided);
  EXPECT_FALSE(backtrack::SameMatches(u"(a|a)*c", u"(a)*c", 0, std::u16string(40, u'a'), 5000, &undecided));
  EXPECT_TRUE(undecided);  // the original ran out of its budget: no answer
}

}  // namespace
