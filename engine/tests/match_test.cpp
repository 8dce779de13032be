// Matcher tests: pattern, flags and subject in, every successive match with its group spans out
// ("s-e,g1,g2 ..."; '-' for a group that did not take part). Every row runs in all four engines
// (plain and host build, 8-bit and 16-bit characters), which must agree.
#include <gtest/gtest.h>

#include <string>

#include "engine/tarno.h"
#include "engine/tests/builds.h"

namespace tarno_test {
namespace {

struct MatchCase {
  const char* pattern;
  int flags;
  const char* subject;
  const char* expected;
};

void CheckMatches(const MatchCase* rows, size_t n, const std::vector<const Engine*>& engines = AllEngines()) {
  for (size_t i = 0; i < n; ++i)
    for (const Engine* e : engines)
      EXPECT_EQ(rows[i].expected, e->Matches(U(rows[i].pattern), rows[i].flags, U(rows[i].subject)))
          << e->Name() << " /" << rows[i].pattern << "/ flags " << rows[i].flags << " on \""
          << rows[i].subject << "\"";
}
#define CHECK_MATCHES(rows) CheckMatches(rows, sizeof(rows) / sizeof(rows[0]))

TEST(Match, SearchLoopAndEmptyMatches) {
  static const MatchCase rows[] = {
      // An empty match moves the next search one position on.
      {"a*", 0, "baaa", "0-0 1-4 4-4"},
      {"a{,3}", 0, "aaa", "0-0 1-1 2-2 3-3"},
      {"a|", 0, "ba", "0-0 1-2 2-2"},
      {"", 0, "ab", "0-0 1-1 2-2"},
      {"x", 0, "", "none"},
      {"", 0, "", "0-0"},
      // Leftmost first, in the pattern's own order of alternatives, not longest.
      {"a|ab", 0, "ab", "0-1"},
      {"abc*", 0, "abccc ab", "0-5 6-8"},
  };
  CHECK_MATCHES(rows);
}

TEST(Match, Groups) {
  static const MatchCase rows[] = {
      {"(a)|b", 0, "b", "0-1,-"},
      {"(a)|(b)", 0, "ab", "0-1,0-1,- 1-2,-,1-2"},
      {"((a)|b)+", 0, "ab", "0-2,1-2,0-1"},
      {"(a)(?<x>b)(c)", 0, "abc", "0-3,0-1,2-3,1-2"},
      {"(?<n>a)|(?<N>b)", 0, "ab", "0-1,0-1 1-2,1-2"},
      {"(?<a>(?<b>x)y)\\k<b>", 0, "xyx", "0-3,0-2,0-1"},
      {"(?<a>(?<b>x)y)\\2", 0, "xyx xyxy", "0-3,0-2,0-1 4-7,4-6,4-5"},
      {"(a)?(?(1)b|c)", 0, "ab c", "0-2,0-1 3-4,-"},
      {"(?=(a))a", 0, "a", "0-1,0-1"},
      {"(?!(a))b", 0, "b", "0-1,-"},
      {"(?<=(a))b", 0, "ab", "1-2,0-1"},
      {"(a)\\1|b", 0, "aab", "0-2,0-1 2-3,-"},
  };
  CHECK_MATCHES(rows);
}

TEST(Match, Repeats) {
  static const MatchCase rows[] = {
      // Empty iterations stop the outer repeat, so this terminates.
      {"(a*)*b", 0, "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "none"},
      {"(a*)+$", 0, "aa", "0-2,0-2 2-2,2-2"},
      {"(?>a+)a", 0, "aaa", "none"},
      {"a++a", 0, "aaa", "none"},
      {"a+a", 0, "aaa", "0-3"},
      {"a*+b", 0, "aab", "0-3"},
      {"a?+a", 0, "a", "none"},
      {"a+?", 0, "aaa", "0-1 1-2 2-3"},
      {"a*?b", 0, "aab", "0-3"},
      {"<.+?>", 0, "<a><b>", "0-3 3-6"},
      {"a??b", 0, "ab", "0-2"},
      {"(a|ab){2}c", 0, "abac", "0-4,2-3"},
      {"(a|ab)*c", 0, "ababc", "0-5,2-4"},
      {"(a|ab)*?c", 0, "ababc", "0-5,2-4"},
      {"(?:a|b)*", 0, "abab", "0-4 4-4"},
      {"(ab|a)+?b", 0, "aab", "0-3,1-2"},
      {"x{2,3}", 0, "xxxxxxx", "0-3 3-6"},
      {"x{2,3}?", 0, "xxxxx", "0-2 2-4"},
      {"(x){3}", 0, "xxxx", "0-3,2-3"},
      {"\\d{2}-\\d{2}", 0, "12-345-67", "0-5"},
      {"(\\w)+", 0, "ab cd", "0-2,1-2 3-5,4-5"},
      {"[ab]{2,}?c", 0, "abababc", "0-7"},
  };
  CHECK_MATCHES(rows);
}

TEST(Match, ClassesAndPosix) {
  static const MatchCase rows[] = {
      {"[\\d-z]", 0, "5-z-a", "0-1 1-2 2-3 3-4"},
      {"[^]", 0, "ab", "0-1 1-2"},
      {"[]", 0, "ab", "none"},
      {"[z-a]", 0, "az", "none"},
      {".", 0, "a\nb", "0-1 2-3"},
      {".", SINGLELINE, "a\nb", "0-1 1-2 2-3"},
      {"[[:alpha:]]+", 0, "ab1c", "0-2 3-4"},
      {"[:digit:]", 0, "a1", "1-2"},
      {"[[:^digit:]]", 0, "a1", "0-1"},
      {"[[:foo:]]", 0, "of:x", "0-1 1-2 2-3"},
      {"[[:xdigit:][:blank:]]+", 0, "fG 0a", "0-1 2-5"},
      {"\\s", 0, "a\f\v\t", "3-4"},
      // Right to left, \s also takes form feed and vertical tab.
      {"\\s", RIGHTTOLEFT, "a\f\v\t", "3-4 2-3 1-2"},
      {"\\W+", 0, "ab, c", "2-4"},
      {"[\\W\\d]", 0, "a1_!", "1-2 3-4"},
  };
  CHECK_MATCHES(rows);
}

TEST(Match, IgnoreCase) {
  static const MatchCase rows[] = {
      {"abc", IGNORECASE, "xAbC", "1-4"},
      {"[a-c]+", IGNORECASE, "ABCd", "0-3"},
      {"[^a]", IGNORECASE, "Ab", "1-2"},
      {"(a)\\1", IGNORECASE, "aA", "0-2,0-1"},
      {"a(?i)b|c", 0, "aB C c", "0-2 3-4 5-6"},
      {"(?i:b)c", 0, "bC bc Bc", "3-5 6-8"},
      {"(?i)a(?-i)b", 0, "Ab AB", "0-2"},
      // POSIX and stock classes are not case-folded.
      {"[[:lower:]]", IGNORECASE, "aB", "0-1"},
  };
  CHECK_MATCHES(rows);
  // Beyond ASCII only 16-bit text folds.
  EXPECT_EQ("0-2", Plain16().Matches(U("éa"), IGNORECASE, U("ÉA")));
  EXPECT_EQ("0-3", Host16().Matches(U("[а-я]+"), IGNORECASE, U("ДОМ")));
  EXPECT_EQ("none", Plain8().Matches(std::u16string(1, 0xE9), IGNORECASE, std::u16string(1, 0xC9)));
}

TEST(Match, Boundaries) {
  static const MatchCase rows[] = {
      {"\\b\\w+\\b", 0, "ab cd", "0-2 3-5"},
      {"\\B", 0, "ab", "1-1"},
      {"^a$", MULTILINE, "a\nb\r\na", "0-1 5-6"},
      // Line starts: text start, after LF, after a CR that no LF follows.
      {"^", MULTILINE, "a\r\nb\rc", "0-0 3-3 5-5"},
      // Line ends: text end, before CR, before an LF that no CR precedes.
      {"$", MULTILINE, "a\r\nb\rc", "1-1 4-4 6-6"},
      {"\\Z", 0, "ab\n", "2-2 3-3"},
      {"\\Z", 0, "ab\r\n", "2-2 3-3 4-4"},
      {"\\Z", 0, "a\nb", "3-3"},
      {"\\z", 0, "ab\n", "3-3"},
      {"$", 0, "ab\n", "3-3"},
      {"\\A.", 0, "ab", "0-1"},
      {"^.", 0, "ab", "0-1"},
      // \G matches at every position unless the global option is set.
      {"\\G\\d", 0, "12a3", "0-1 1-2 3-4"},
      {"\\G\\d", GLOBAL, "12a3", "0-1 1-2"},
  };
  CHECK_MATCHES(rows);
}

TEST(Match, BackReferencesConditionalsRecursion) {
  static const MatchCase rows[] = {
      {"(a+)\\1", 0, "aaaa", "0-4,0-2"},
      {"\\2(a)", 0, "aa", "none"},          // a reference to a missing group never matches
      {"\\k<zz>|b", 0, "b", "0-1"},
      {"(?2)a", 0, "a", "0-1"},              // recursion to a missing group matches empty
      {"(?(foo)a|b)", 0, "fooa b", "5-6"},   // a missing name tests a look-ahead of its text
      {"(?<x>a)?(?(x)b|c)", 0, "ab c", "0-2,0-1 3-4,-"},
      {"(?(?=\\d)\\d+|[a-z]+)", 0, "12ab", "0-2 2-4"},
      {"(?(1)a|b)(x)", 0, "bx", "0-2,1-2"},
      // The recursion re-enters group 1 while it is open: the outer capture stands.
      {"(a(?1)?b)", 0, "aabb", "0-4,0-4"},
      {"\\((?:[^()]|(?R))*\\)", 0, "x(a(b)c)(", "1-8"},
      {"(a)(?1)", 0, "aa", "0-2,1-2"},  // the recursion's capture is the latest
  };
  CHECK_MATCHES(rows);
}

TEST(Match, RightToLeft) {
  static const MatchCase rows[] = {
      {"\\d+", RIGHTTOLEFT, "12ab34", "4-6 0-2"},
      {"(a)(b)", RIGHTTOLEFT, "abab", "2-4,2-3,3-4 0-2,0-1,1-2"},
      {"a|ab", RIGHTTOLEFT, "ab", "0-2"},
      {"a(?=b)", RIGHTTOLEFT, "ab", "0-1"},
      {"(?<=a)b", RIGHTTOLEFT, "abab", "3-4 1-2"},
      {"a*", RIGHTTOLEFT, "aab", "3-3 0-2 0-0"},
      // Right to left the reference comes before the group it names.
      {"(a+)\\1", RIGHTTOLEFT, "aaaa", "none"},
      {"\\1(a+)", RIGHTTOLEFT, "aaaa", "0-4,2-4"},
      {"^a", RIGHTTOLEFT | MULTILINE, "a\na", "2-3 0-1"},
      {"a$", RIGHTTOLEFT, "aa", "1-2"},
      {"(\\w+) (\\w+)", RIGHTTOLEFT, "one two three", "4-13,4-7,8-13"},
  };
  CHECK_MATCHES(rows);
}

TEST(Match, StartPositions) {
  for (const Engine* e : AllEngines()) {
    EXPECT_EQ("1-2 2-3", e->Matches(U("a"), 0, U("aaa"), 1)) << e->Name();
    EXPECT_EQ("none", e->Matches(U("a"), 0, U("aaa"), 5)) << e->Name();
    EXPECT_EQ("3-3", e->Matches(U(""), 0, U("aaa"), 3)) << e->Name();
    EXPECT_EQ("2-3 1-2 0-1", e->Matches(U("a"), RIGHTTOLEFT, U("aaa"), 5)) << e->Name();
    EXPECT_EQ("0-1", e->Matches(U("a"), RIGHTTOLEFT, U("aaa"), 1)) << e->Name();
    EXPECT_EQ("2-3 1-2 0-1", e->Matches(U("a"), RIGHTTOLEFT, U("aaa"), -1)) << e->Name();
  }
}

TEST(Match, BalancingGroupsInTheHostBuild) {
  static const MatchCase host[] = {
      // c takes the text between the parentheses and removes o's capture.
      {"(?<o>\\()[^()]*(?<c-o>\\))", 0, "(ab)", "0-4,-,1-3"},
      {"(?<o>x)(?<-o>y)(?<-o>z)", 0, "xyz", "none"},
      {"^(?:(?<o>\\()|(?<-o>\\))|[^()])*$", 0, "(a(b))", "0-6,-,1-5"},
      {"^(?:(?<o>\\()|(?<-o>\\))|[^()])*$", 0, "(a))", "none"},
  };
  CheckMatches(host, sizeof host / sizeof host[0], {&Host8(), &Host16()});
  // In the plain build "c-o" is simply the name of a group.
  EXPECT_EQ("0-4,0-1,3-4", Plain8().Matches(U("(?<o>\\()[^()]*(?<c-o>\\))"), 0, U("(ab)")));
}

// A recursion into a group that a look-around holds runs in the look-around's direction, so an
// attempt can end behind its start. The match is the span between the two positions, and the
// next search starts one position past the attempt's start (so the b at 1 below is passed over).
TEST(Match, AttemptsThatEndBehindTheirStart) {
  static const MatchCase rows[] = {
      {"(?<=(a))(?1)|b", 0, "ab", "0-1,0-1"},
      {"(?<=(a))(?1)|b", 0, "abab", "0-1,0-1 2-3,2-3"},
      {"(?<=(a))(?1)", 0, "aaa", "0-1,0-1 1-2,1-2 2-3,2-3"},
      // Right to left the list runs last member first: the look-ahead, then the recursion ahead.
      {"(?1)(?=(a))|b", RIGHTTOLEFT, "ba", "1-2,1-2"},
      // The start filter of the plain build must not take what such a recursion reads behind the
      // position for a first character ahead of it; both builds find the same.
      {"(?<=(a))(?1)ab", 0, "ab", "1-2,0-1"},
      {"(?<=(a))(?1)ab", 0, "xab ab", "2-3,1-2 5-6,4-5"},
      {"(?<=(ab))(?1)abc", 0, "abc", "2-3,0-2"},
      {"ab(?1)(?=(b))", RIGHTTOLEFT, "abx ab", "4-5,5-6 0-1,1-2"},
  };
  CHECK_MATCHES(rows);
}

// A search that nests deeper than the limit stops without an answer ("cut"), instead of going
// on at the next position as if the attempt had failed.
TEST(Match, NestingLimitStopsTheSearch) {
  static const MatchCase rows[] = {
      {"(?R)x", 0, "xxxx", "cut"},
      {"(?R)?x|y", 0, "y", "cut"},
      {"(?R)x|y", 0, "xyx", "cut"},
      {"a|(?R)x", 0, "ax", "0-1 cut"},  // the first match stands; the search stops after it
  };
  CHECK_MATCHES(rows);
  for (const Engine* e : AllEngines()) {
    EXPECT_EQ(-1, e->Count(U("(?R)?x|y"), 0, U("y"))) << e->Name();
    EXPECT_TRUE(e->Split(U("(?R)?x|y"), 0, U("y")).empty()) << e->Name();
  }
}

// The same recursion, once within the limit and once beyond it: whole or cut, never a match
// that starts further on (a(?R)?b used to give 667-3333 on 2,000 a's and b's).
TEST(Match, DeepRecursionWithinTheLimitMatchesWhole) {
  const int levelsPerRecursion = 3;  // list, optional repeat, recursion
  const int fits = TARNO_MAX_NESTING / levelsPerRecursion - 2;
  for (int depth : {fits, TARNO_MAX_NESTING / levelsPerRecursion + 2}) {
    std::string text = std::string(depth, 'a') + std::string(depth, 'b');
    CRegexpT<char> re("a(?R)?b");
    MatchResult m = re.Match(text.c_str());
    if (depth == fits) {
      EXPECT_EQ(0, m.GetStart()) << depth;
      EXPECT_EQ(2 * depth, m.GetEnd()) << depth;
      EXPECT_FALSE(m.HitNestingLimit());
    } else {
      EXPECT_FALSE(m.IsMatched()) << depth;
      EXPECT_TRUE(m.HitNestingLimit()) << depth;
      EXPECT_EQ(-1, re.Count(text.c_str(), static_cast<int>(text.size())));
    }
  }
  // The default limit reaches 2,000 nested recursions in an optimized build without sanitizers.
#if defined(__OPTIMIZE__) && !defined(TARNO_ADDRESS_SANITIZER)
  std::string text = std::string(2000, 'a') + std::string(2000, 'b');
  MatchResult m = CRegexpT<char>("a(?R)?b").Match(text.c_str());
  EXPECT_EQ(0, m.GetStart());
  EXPECT_EQ(4000, m.GetEnd());
#endif
}

TEST(Match, NestingLimitPerContext) {
  std::string text = std::string(50, 'a') + std::string(50, 'b');
  CRegexpT<char> re("a(?R)?b");
  CMatchContext<char> ctx;
  ctx.m_nMaxNesting = 100;  // 33 recursions
  re.PrepareMatch(text.c_str(), static_cast<int>(text.size()), -1, &ctx);
  MatchResult m = re.Match(&ctx);
  EXPECT_FALSE(m.IsMatched());
  EXPECT_TRUE(m.HitNestingLimit());
  EXPECT_EQ(MATCH_NESTING_LIMIT, ctx.m_nStatus);
  EXPECT_TRUE(re.Match(&ctx).HitNestingLimit());  // the search stays stopped
  ctx.m_nMaxNesting = 200;
  re.PrepareMatch(text.c_str(), static_cast<int>(text.size()), -1, &ctx);  // a new search
  EXPECT_EQ(MATCH_COMPLETE, ctx.m_nStatus);
  m = re.Match(&ctx);
  EXPECT_EQ(100, m.GetEnd());
  EXPECT_FALSE(re.Match(&ctx).HitNestingLimit());

  // Too deep from the first character: the one attempt there is cut short ...
  std::string deep(TARNO_MAX_NESTING, '(');
  deep += std::string(TARNO_MAX_NESTING, ')');
  CRegexpT<char> parens("\\((?R)*\\)");
  parens.SetStartPointOnly(true);
  parens.PrepareMatch(deep.c_str(), static_cast<int>(deep.size()), 0, &ctx);
  ctx.m_nMaxNesting = TARNO_MAX_NESTING;
  EXPECT_TRUE(parens.Match(&ctx).HitNestingLimit());
  // ... while a shallower balanced run inside matches.
  int start = TARNO_MAX_NESTING - 100;
  parens.PrepareMatch(deep.c_str(), static_cast<int>(deep.size()), start, &ctx);
  MatchResult inner = parens.Match(&ctx);
  EXPECT_EQ(start, inner.GetStart());
  EXPECT_EQ(TARNO_MAX_NESTING + 100, inner.GetEnd());
}

// The greedy repeat's list of offered end positions keeps nested repeats from offering the same
// end twice; the searches stay linear where they would otherwise revisit every split.
TEST(Match, LongRunsStayFast) {
  std::string text(200000, 'a');
  CRegexpT<char> general("\"(?:[^\"\\\\]|\\\\.)*\"");
  EXPECT_FALSE(general.Match(("\"" + text).c_str()).IsMatched());
  CRegexpT<char> alt("\\A(?:a|b)*c");
  EXPECT_FALSE(alt.Match(text.c_str()).IsMatched());
  CRegexpT<char> groups("(?:(a)|(b))*");
  MatchResult m = groups.Match(text.c_str());
  EXPECT_EQ(200000, m.GetEnd());
  EXPECT_EQ(199999, m.GetGroupStart(1));
}

}  // namespace
}  // namespace tarno_test
