// Tests of the public operations: Replace with the replace-to escapes, the extended result,
// MatchExact, Count, Split and the MatchResult readers.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/tarno.h"
#include "engine/tests/builds.h"

namespace tarno_test {
namespace {

struct ReplaceCase {
  const char* pattern;
  int flags;
  const char* subject;
  const char* replaceTo;
  int start;
  int count;
  const char* expected;
};

TEST(Replace, EscapesAndDirections) {
  static const ReplaceCase rows[] = {
      {"x*", 0, "abc", "-", -1, -1, "-a-b-c-"},
      {"(a)(b)?", 0, "a", "[$2]", -1, -1, "[]"},
      {"(a)", 0, "a", "$$1", -1, -1, "$1"},
      {"(a)", 0, "a", "${x}", -1, -1, "${x}"},
      {"(?<x>a)", 0, "a", "${X}", -1, -1, "a"},
      {"(?<x>a)", 0, "ab", "[${x}]", -1, -1, "[a]b"},
      {"(a)(b)(c)", 0, "abc", "$12", -1, -1, "a2"},   // the last digit drops off: group 1, "2"
      {"(a)(b)(c)", 0, "abc", "$5", -1, -1, "$5"},    // drops to nothing: all literal
      {"(a)(b)(c)", 0, "abc", "$05", -1, -1, "$05"},
      {"(a)(b)(c)", 0, "abc", "$0|$00|$&", -1, -1, "abc|abc|abc"},
      {"b", 0, "abc", "[$`|$'|$_]", -1, -1, "a[a|c|abc]c"},
      {"(a)|(b)", 0, "b", "$+", -1, -1, "b"},
      {"(a)|(b)", 0, "a", "$+", -1, -1, "a"},
      {"b", 0, "abc", "$+", -1, -1, "abc"},          // no group took part: group 0
      {"a", 0, "a", "$", -1, -1, "$"},
      {"a", 0, "a", "$x$", -1, -1, "$x$"},
      {"a", 0, "a", "${", -1, -1, "${"},
      {"a", 0, "aaa", "b", -1, 1, "baa"},
      {"a", 0, "aaa", "b", -1, 0, "aaa"},
      {"a", 0, "aaa", "b", 1, -1, "abb"},
      {"a", 0, "aaa", "b", 7, -1, "aaa"},            // a start beyond the text finds nothing
      {"\\d+", RIGHTTOLEFT, "a1b22", "<$&>", -1, -1, "a<1>b<22>"},
      {"\\d", RIGHTTOLEFT, "123", "x", -1, 1, "12x"},  // the count limit takes the rightmost
      {"\\d", RIGHTTOLEFT, "123", "<$`>", -1, -1, "<><1><12>"},
      {"", 0, "ab", "-", -1, -1, "-a-b-"},
      {"", RIGHTTOLEFT, "ab", "-", -1, -1, "-a-b-"},
      {"a", 0, "", "b", -1, -1, ""},
  };
  for (const ReplaceCase& c : rows)
    for (const Engine* e : AllEngines())
      EXPECT_EQ(c.expected, Narrow(e->Replace(U(c.pattern), c.flags, U(c.subject), U(c.replaceTo), c.start, c.count)))
          << e->Name() << " /" << c.pattern << "/ -> \"" << c.replaceTo << "\" on \"" << c.subject << "\"";
}

TEST(Replace, ExtendedResult) {
  for (const Engine* e : AllEngines()) {
    std::vector<int> r;
    // Every match replaced: the last search found nothing, so the four ints come first.
    EXPECT_EQ(u"XbX", e->Replace(U("a"), 0, U("aba"), U("X"), -1, -1, &r));
    EXPECT_EQ((std::vector<int>{3, 2, 2, 3}), r) << e->Name();
    // Stopped at the count limit: they follow the last match's data.
    EXPECT_EQ(u"<a>ba", e->Replace(U("(a)"), 0, U("aba"), U("<$1>"), -1, 1, &r));
    EXPECT_EQ((std::vector<int>{1, 1, 0, 1, 0, 1, 5, 1, 0, 3}), r) << e->Name();
    // Right to left the last replacement made is the leftmost.
    EXPECT_EQ(u"YYbYY", e->Replace(U("a"), RIGHTTOLEFT, U("aba"), U("YY"), -1, -1, &r));
    EXPECT_EQ((std::vector<int>{5, 2, 0, 2}), r) << e->Name();
    EXPECT_EQ(u"xyz", e->Replace(U("q"), 0, U("xyz"), U("-"), -1, -1, &r));
    EXPECT_EQ((std::vector<int>{3, 0, -1, -1}), r) << e->Name();
  }
}

TEST(Replace, ParsedProgram) {
  CRegexpT<char> re("(a)(?<n>b)");
  std::vector<ReplaceToken> p = re.ParseReplaceTo("x$$${n}$9$2y", 12);
  ASSERT_EQ(7u, p.size());
  EXPECT_EQ(REPLACE_LITERAL, p[0].kind);
  EXPECT_EQ(0, p[0].start);
  EXPECT_EQ(1, p[0].end);
  EXPECT_EQ(REPLACE_DOLLAR, p[1].kind);
  EXPECT_EQ(3, p[1].end);
  EXPECT_EQ(REPLACE_GROUP, p[2].kind);
  EXPECT_EQ(2, p[2].value);
  EXPECT_EQ(REPLACE_LITERAL, p[3].kind);  // "$9": no group 9, the '$' alone
  EXPECT_EQ(7, p[3].start);
  EXPECT_EQ(8, p[3].end);
  EXPECT_EQ(REPLACE_LITERAL, p[4].kind);  // "9" runs into the text after
  EXPECT_EQ(8, p[4].start);
  EXPECT_EQ(9, p[4].end);
  EXPECT_EQ(REPLACE_GROUP, p[5].kind);
  EXPECT_EQ(2, p[5].value);
  EXPECT_EQ(11, p[5].end);
  EXPECT_EQ(REPLACE_LITERAL, p[6].kind);
  EXPECT_EQ(12, p[6].end);
}

TEST(Replace, CharInterface) {
  CRegexpT<char> re("(\\w+)@(\\w+)", IGNORECASE);
  char* s = re.Replace("a@b c@d", "$2@$1");
  EXPECT_STREQ("b@a d@c", s);
  re.ReleaseString(s);
  int n = 0;
  s = re.Replace("x@y", 3, "", 0, n);
  EXPECT_STREQ("", s);
  EXPECT_EQ(0, n);
  CRegexpT<char>::ReleaseString(s);
  // Zero characters inside the subject are ordinary characters.
  CRegexpT<char> zero("b");
  const char text[] = {'a', 0, 'b', 0};
  s = zero.Replace(text, 3, "c", 1, n);
  EXPECT_EQ(3, n);
  EXPECT_EQ(0, std::memcmp(s, "a\0c", 3));
  zero.ReleaseString(s);
}

TEST(MatchExact, WholeTextOnly) {
  struct Row {
    const char* pattern;
    int flags;
    const char* subject;
    const char* expected;
  } rows[] = {
      {"a+", 0, "aaa", "0-3"},
      {"a+", 0, "aaab", "none"},
      {"a|ab", 0, "ab", "0-2"},          // further alternatives are tried
      {"(a|ab)(c|bcd)", 0, "abcd", "0-4,0-1,1-4"},
      {"a*?", 0, "aa", "0-2"},
      {"b", 0, "ab", "none"},
      {"", 0, "", "0-0"},
      {"\\d+", RIGHTTOLEFT, "123", "0-3"},
      {"(?R)x", 0, "x", "none"},
  };
  for (const Row& r : rows)
    for (const Engine* e : AllEngines())
      EXPECT_EQ(r.expected, e->Exact(U(r.pattern), r.flags, U(r.subject))) << e->Name() << " /" << r.pattern << "/";
}

TEST(CountAndSplit, Pieces) {
  typedef std::vector<std::pair<int, int>> Spans;
  for (const Engine* e : AllEngines()) {
    EXPECT_EQ(3, e->Count(U(","), 0, U("a,b,,c")));
    EXPECT_EQ(0, e->Count(U("x"), 0, U("abc")));
    EXPECT_EQ(4, e->Count(U("x*"), 0, U("abc")));
    EXPECT_EQ((Spans{{0, 1}, {2, 3}, {4, 4}, {5, 6}}), e->Split(U(","), 0, U("a,b,,c"))) << e->Name();
    EXPECT_EQ((Spans{{0, 1}, {2, 3}, {4, 4}, {5, 6}}), e->Split(U(","), RIGHTTOLEFT, U("a,b,,c"))) << e->Name();
    EXPECT_EQ((Spans{{0, 3}}), e->Split(U("x"), 0, U("abc"))) << e->Name();
    EXPECT_EQ((Spans{{0, 0}, {1, 1}}), e->Split(U("a"), 0, U("a"))) << e->Name();
  }
}

TEST(MatchResultReaders, Defaults) {
  MatchResult empty;
  EXPECT_EQ(0, empty.IsMatched());
  EXPECT_EQ(0, empty.MaxGroupNumber());
  EXPECT_EQ(-1, empty.GetStart());
  EXPECT_EQ(-1, empty.GetEnd());
  EXPECT_EQ(-1, empty.GetGroupStart(0));
  CRegexpT<char> re("(a)(b)");
  MatchResult m = re.Match("xab");
  EXPECT_EQ(1, m.IsMatched());
  EXPECT_EQ(2, m.MaxGroupNumber());
  EXPECT_EQ(1, m.GetStart());
  EXPECT_EQ(3, m.GetEnd());
  EXPECT_EQ(2, m.GetGroupStart(2));
  EXPECT_EQ(-1, m.GetGroupStart(7));
  EXPECT_EQ(-1, m.GetGroupEnd(-1));
}

TEST(PrepareMatch, ContextKeepsItsPlace) {
  CRegexpT<char> re("\\d");
  CMatchContext<char>* ctx = re.PrepareMatch("a1b2", 4, -1);
  ASSERT_NE(nullptr, ctx);
  EXPECT_EQ(1, re.Match(ctx).GetStart());
  EXPECT_EQ(2, ctx->m_nCurrentPos);
  EXPECT_EQ(3, re.Match(ctx).GetStart());
  EXPECT_FALSE(re.Match(ctx).IsMatched());
  EXPECT_FALSE(re.Match(ctx).IsMatched());
  // A context is reused for another subject, even by another pattern.
  CRegexpT<char> other("(x)(y)");
  other.PrepareMatch("xy", 2, -1, ctx);
  MatchResult m = other.Match(ctx);
  EXPECT_EQ(0, m.GetGroupStart(1));
  EXPECT_EQ(1, m.GetGroupStart(2));
  delete ctx;
}

// A second int is a length wherever it could be one; flags have their own type.
TEST(Overloads, LengthsAndFlagsAreNeverConfused) {
  CRegexpT<char> re;
  re.Compile("abcd", 2);  // "ab"
  EXPECT_EQ(0, re.GetFlags());
  EXPECT_EQ(1, re.Match("xabc").GetStart());
  EXPECT_EQ(3, re.Match("xabc").GetEnd());
  EXPECT_FALSE(re.Match("xABc").IsMatched());
  re.Compile("abcd", 2, IGNORECASE);
  EXPECT_EQ(3, re.Match("xABc").GetEnd());
  re.Compile("ab", IGNORECASE);
  EXPECT_EQ(IGNORECASE, re.GetFlags());
  re.Compile("ab", IGNORECASE | MULTILINE);  // still flags
  EXPECT_EQ(IGNORECASE | MULTILINE, re.GetFlags());
  EXPECT_EQ(1, re.Match("xAB").GetStart());
  re.Compile("ab", 0);  // a length: the empty pattern
  EXPECT_EQ(0, re.Match("ab").GetEnd());
  re.Compile("ab");
  EXPECT_EQ(2, re.Match("ab").GetEnd());
  // The constructor takes a zero-terminated pattern with flags, as generated code writes it.
  CRegexpT<char> flagged("ab", IGNORECASE);
  EXPECT_EQ(IGNORECASE, flagged.GetFlags());
  CRegexpT<char> counted("abcd", 3, 0);
  EXPECT_EQ(3, counted.Match("abcd").GetEnd());

  // PrepareMatch(text, length): a new context for the first `length` characters.
  const char* text = "a1b2c3";
  CRegexpT<char> digit("\\d");
  CMatchContext<char>* ctx = digit.PrepareMatch(text, 4);
  ASSERT_NE(nullptr, ctx);
  EXPECT_EQ(1, digit.Match(ctx).GetStart());
  EXPECT_EQ(3, digit.Match(ctx).GetStart());
  EXPECT_FALSE(digit.Match(ctx).IsMatched());  // 5 lies beyond the length
  delete ctx;
  // PrepareMatch(text, ctx): a zero-terminated text from the default start.
  CMatchContext<char> own;
  EXPECT_EQ(&own, digit.PrepareMatch(text, &own));
  EXPECT_EQ(3, digit.Count(text, 6));
  int n = 0;
  while (digit.Match(&own).IsMatched()) ++n;
  EXPECT_EQ(3, n);
}

TEST(NestingLimit, CutShortOperationsGiveNoAnswer) {
  CRegexpT<char> re("(?R)?x|y");  // recurses without end before it can try y
  MatchResult m = re.Match("y");
  EXPECT_FALSE(m.IsMatched());
  EXPECT_TRUE(m.HitNestingLimit());
  EXPECT_EQ(MATCH_NESTING_LIMIT, m.GetStatus());
  EXPECT_TRUE(re.MatchExact("y").HitNestingLimit());
  EXPECT_EQ(-1, re.Count("y"));
  EXPECT_TRUE(re.Split("y").empty());
  MatchResult result;
  int length = -1;
  EXPECT_EQ(nullptr, re.Replace("y", 1, "z", 1, length, -1, -1, &result));
  EXPECT_EQ(0, length);
  EXPECT_TRUE(result.HitNestingLimit());
  // A count limit that the matches before the cut satisfy gives an answer.
  CRegexpT<char> first("a|(?R)x");
  char* s = first.Replace("ax", "[$&]", -1, 1);
  ASSERT_NE(nullptr, s);
  EXPECT_STREQ("[a]x", s);
  CRegexpT<char>::ReleaseString(s);
  EXPECT_EQ(nullptr, first.Replace("ax", "[$&]"));
  // A complete search says so.
  CRegexpT<char> plain("a");
  EXPECT_EQ(MATCH_COMPLETE, plain.Match("b").GetStatus());
  EXPECT_FALSE(plain.Match("a").HitNestingLimit());
}

// Replace and Split after a match that ends behind its attempt's start.
TEST(Operations, AfterMatchesThatEndBehindTheirStart) {
  for (const Engine* e : AllEngines()) {
    EXPECT_EQ(1, e->Count(U("(?<=(a))(?1)|b"), 0, U("ab"))) << e->Name();
    EXPECT_EQ(2, e->Count(U("(?<=(a))(?1)"), 0, U("aa"))) << e->Name();
    std::vector<std::pair<int, int>> pieces = {{0, 0}, {1, 2}};
    EXPECT_EQ(pieces, e->Split(U("(?<=(a))(?1)|b"), 0, U("ab"))) << e->Name();
    EXPECT_EQ(U("<a>b"), e->Replace(U("(?<=(a))(?1)|b"), 0, U("ab"), U("<$&>"))) << e->Name();
    EXPECT_EQ(U("<a><a>"), e->Replace(U("(?<=(a))(?1)"), 0, U("aa"), U("<$&>"))) << e->Name();
    EXPECT_EQ(U("b<a>"), e->Replace(U("(?1)(?=(a))|b"), RIGHTTOLEFT, U("ba"), U("<$&>"))) << e->Name();
  }
}

TEST(StartPointOnly, OneAttemptAtTheStart) {
  CRegexpT<char> re("a");
  re.SetStartPointOnly(true);
  CMatchContext<char> ctx;
  re.PrepareMatch("baa", 3, 0, &ctx);
  EXPECT_FALSE(re.Match(&ctx).IsMatched());
  re.PrepareMatch("baa", 3, 1, &ctx);
  EXPECT_EQ(1, re.Match(&ctx).GetStart());
  EXPECT_EQ(2, re.Match(&ctx).GetStart());  // the next search continues where the last ended
  EXPECT_FALSE(re.Match(&ctx).IsMatched());
}

}  // namespace
}  // namespace tarno_test
