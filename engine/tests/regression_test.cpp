// Faults that the fuzzers and the differential test against PCRE2 found in the engine, one row
// each with the fault it pinned. Rows run in all four engines. (The differential test keeps its
// own rows, checked against PCRE2 too, in pcre_diff_test.cpp; the fuzzers' inputs are replayed
// from fuzz/regressions/.)
#include <gtest/gtest.h>

#include <string>

#include "engine/tests/builds.h"

namespace tarno_test {
namespace {

struct RegressionCase {
  const char* pattern;
  int flags;
  const char* subject;
  const char* expected;
  const char* host = nullptr;  // what the host build gives, where it differs (balancing groups)
};

void CheckRows(const RegressionCase* rows, size_t n) {
  for (size_t i = 0; i < n; ++i)
    for (const Engine* e : AllEngines()) {
      const RegressionCase& c = rows[i];
      EXPECT_EQ((e->IsHost() && c.host) ? c.host : c.expected, e->Matches(U(c.pattern), c.flags, U(c.subject)))
          << e->Name() << " /" << c.pattern << "/ flags " << c.flags << " on \"" << c.subject << "\"";
    }
}
#define CHECK_ROWS(rows) CheckRows(rows, sizeof(rows) / sizeof(rows[0]))

TEST(Regression, FirstCharacterAnalysisOfRecursions) {
  // The start-position filter walked a recursion target once per path through the pattern's
  // recursions, exponentially often: these compiled for hours. Group 1 does not exist, so only
  // the no branches ever match.
  static const RegressionCase rows[] = {
      {"(?(1)(?R)|a)|(?(1)(?R)|b)|(?(1)(?R)|c)", 0, "abc", "0-1 1-2 2-3"},
      // Every branch but the last recurses at once, without end: the nesting limit stops it.
      {"(?(1)(?R)|(?R))|(?(1)(?R)|(?R))|(?(1)(?R)|(?R))|x", 0, "x", "cut"},
      // The filter must still let a recursion supply the first character.
      {"(a|b(?1))", 0, "xbba", "1-4,1-4"},
  };
  for (const RegressionCase& c : rows)
    for (const Engine* e : AllEngines())
      EXPECT_EQ(c.expected, e->Matches(U(c.pattern), c.flags, U(c.subject)))
          << e->Name() << " /" << c.pattern << "/ on \"" << c.subject << "\"";
}

TEST(Regression, GreedyRepeatExploresTheExtensionsAlternatives) {
  // The repeat's inner element may match empty as far as the compiler can tell (a
  // back-reference), and the greedy extension from 2 reached 3, an end offered before: the whole
  // extension was discarded, with its b1 that reaches 4. Found by the differential test.
  static const RegressionCase rows[] = {
      {"(b)(?:\\1\\1?|b1)*c", 0, "bbb1c", "0-5,0-1"},
      {"(b)(?:\\1{1,2}|b1)*c", 0, "bbb1c", "0-5,0-1"},
      {"(b)(?:\\1\\1?|b1)+c", 0, "bbb1c", "0-5,0-1"},
      // The same where nothing reads captures: passing over offered ends must not skip the
      // alternatives of the iteration that reached them.
      {"b(?:bb?|b1)*c", 0, "bbb1c", "0-5"},
      {"(?:aa?|a1)*c", 0, "aaa1c", "0-5"},
      {"c(?:1b|b?b)*b", 0x10, "c1bbb", "0-5"},
  };
  for (const RegressionCase& c : rows)
    for (const Engine* e : AllEngines())
      EXPECT_EQ(c.expected, e->Matches(U(c.pattern), c.flags, U(c.subject)))
          << e->Name() << " /" << c.pattern << "/ on \"" << c.subject << "\"";
}

TEST(Regression, NestedRepeatsStayPolynomial) {
  // A greedy repeat passes over end positions from which everything has been tried; without
  // that, each of these tries every split of the run (about 2^60 ways). Kept short enough for a
  // sanitizer build of every engine. The last one reads a capture, but not one that the
  // repeat's iterations set.
  const std::u16string run(60, u'a');
  for (const char* pattern : {"(a+)+b", "(?:a+)+b", "(?:a|aa)+c", "((?:a|b)+)+c", "(a*)*b", "(?:a?a)*b",
                              "(a)(?:\\1|a)*c"})
    for (const Engine* e : AllEngines())
      EXPECT_EQ("none", e->Matches(U(pattern), 0, run)) << e->Name() << " /" << pattern << "/";
}

TEST(Regression, BalancingGivesBackWhatItTookOnEveryCutBack) {
  // A balancing group takes the other group's latest capture away. Every cut-back of the
  // capture stack past it must give the capture back, not only the group's own retry: here an
  // empty iteration that a repeat undoes, and look-arounds that discard their inner element.
  // In the plain build (?<-n>...) is a named group, which the rows also pin.
  static const RegressionCase rows[] = {
      {"((b|())|(?<-2>a|))+#", 0, "abb#", "0-4,2-3,2-3,0-0,0-1", "0-4,2-3,2-3,0-0,0-0"},
      {"(?:(b|)|(?<-1>))+", 0, "bb", "0-2,1-2,- 2-2,2-2,-"},
      {"(b)(?:(?=(?<-1>))x|)", 0, "b", "0-1,0-1,-"},
      {"(b)(?:(?!(?<-1>))|)", 0, "b", "0-1,0-1,-"},
  };
  CHECK_ROWS(rows);
}

TEST(Regression, RepeatIterationsAdvanceInTheRepeatsDirection) {
  // (?1) runs group 1 the other way (it sits in a look-around), so an iteration through it
  // steps back. Counted as progress, iterations went back and forth without end: the unbounded
  // repeats never returned and their backtrack state grew until memory ran out, and the bounded
  // one ended its iterations where the fifth left it.
  static const RegressionCase rows[] = {
      {"(?<=(b))(?:(?1)|b){0,5}", 0, "bbbb", "1-4,0-1 4-4,3-4"},
      {"(?<=(b))(?:(?1)|b)*", 0, "bbbb", "1-4,0-1 4-4,3-4"},
      {"(?<=(b))(?:(?1)|b)*?$", 0, "bbbb", "1-4,0-1 4-4,3-4"},
      // A mandatory iteration may step back; the optional ones after it must advance.
      {"(?<=(b))(?:(?1)|b){2,}?$", 0, "bbbb", "1-4,0-1 4-4,2-3"},
      // Right to left, and inside a look-behind, progress is toward the text start.
      {"(?=(b))(?:(?1)|b)*", 0x10, "bbbb", "0-4,0-1 0-0,0-1"},
      {"(?<=(?=(b))(?:(?1)|b)*)", 0, "bb", "0-0,0-1 1-1,0-1 2-2,0-1"},
  };
  CHECK_ROWS(rows);
}

TEST(Regression, LeftRecursionStopsAtOnce) {
  // A recursion that begins where an enclosing recursion into the same target began, with the
  // same captures, can never make progress. It used to run on until the nesting limit; with the
  // limit lifted, as a caller on a large stack may do, it ran off the end of the call stack.
  // Now the search stops at once with the limit's status, whatever the limit.
  const int unlimited = 1 << 30;
  static const RegressionCase rows[] = {
      {"(?R)x", 0, "xx", "cut"},
      {"(?R)?x|y", 0, "y", "cut"},
      {"(?:(?R)|a)", 0, "b", "cut"},
      {"a*(?R)", 0, "b", "cut"},
      {"(a|(?1)b)", 0, "aab", "0-1,0-1 1-2,1-2 cut"},
      // Group 1 stays open in every level: only its nesting count changes.
      {"((?R))x", 0, "x", "cut"},
      // Not left recursion: each level sets a group before it recurses at the same position, so
      // the second recursion begins with other captures than the first, and the third level
      // takes the other branch.
      {"(?(1)x|(?(2)(a?)|(a?))(?R))", 0, "x", "0-1,0-0,0-0"},
  };
  for (const RegressionCase& c : rows)
    for (const Engine* e : AllEngines())
      EXPECT_EQ(c.expected, e->Matches(U(c.pattern), c.flags, U(c.subject), -1, unlimited))
          << e->Name() << " /" << c.pattern << "/ on \"" << c.subject << "\"";
}

TEST(Regression, RetryOfAnEmptyIterationPassesNothingOver) {
  // The outer repeat's first iteration matches empty, and the repeat retries it once. The inner
  // + had offered 0 already (to that empty iteration, which turned it down untried), and passed
  // over it in the retry, so the retry reached the a and the iteration advanced. Without the
  // list, as when the compiler keeps none (second row), the retry ends at 0 again and the
  // iteration is undone. Found by the group-conversion property test, where a capture group
  // made the difference.
  static const RegressionCase rows[] = {
      {"(?:(?:(?=)*||a)+)*", 0, "a", "0-0 1-1"},
      {"(?:(?:((?=))*||a)+)*|\\1", 0, "a", "0-0,- 1-1,-"},
      {"(?:(?:(?=)*||a)+)*", 0x10, "a", "1-1 0-0"},
  };
  CHECK_ROWS(rows);
}

TEST(Regression, AMatchAgainstTheSearchDirectionStaysClearOfThePreviousOne) {
  // Right to left, the recursion runs group 1 left to right (a look-ahead holds it), so the
  // attempt at 1 matched 1-2, over the previous match 1-2: the same text was found twice and a
  // replace by $& doubled it. The attempt must take its other way (the b, 0-1). Found by the
  // match fuzzer. Left to right the mirror case: a call that runs back over the previous match.
  static const RegressionCase rows[] = {
      {"(?=(b))(?:(?1)|b)", 0x10, "bbb", "2-3,2-3 1-2,1-2 0-1,0-1"},
      {"(?=(b))(?1)", 0x10, "bbb", "1-2,2-3 0-1,1-2"},
      {"(?<=(b))(?:(?1)|b)", 0, "bbb", "0-1,0-1 1-2,1-2 2-3,2-3"},
  };
  CHECK_ROWS(rows);
}

}  // namespace
}  // namespace tarno_test
