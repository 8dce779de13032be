// Greedy repeats pass over end positions from which everything has been tried: the ends of their
// mandatory iterations too (where there are several, the states after each of them), and, for
// repeats on the pattern's top-level path where nothing reads captures, across the attempts of
// one search. Matches stay as they were (every row in all four
// engines); the element run counters of the host build show the work staying quadratic.
#define TARNO_HOST_BUILD
#include <gtest/gtest.h>

#include <string>

#include "engine/tarno.h"
#include "engine/tests/builds.h"

namespace tarno_test {
namespace {

struct ExploredCase {
  const char* pattern;
  const char* subject;
  const char* expected;
};

TEST(ExploredEnds, MatchesStay) {
  static const ExploredCase rows[] = {
      // Mandatory iterations that end where an earlier state ended.
      {"(?:x+)+y", "xxxxz xxy xy", "6-9 10-12"},
      {"(?:x+)+(?:y|z)", "xxxxw xxz", "6-9"},
      {"(?:x+){2,}y", "xy xxy xxxy", "3-6 7-11"},
      {"(?:xx|x)+y", "xxxxxw xxxy", "7-11"},
      {"(?:x|xx)+?y", "xxxxxw xxxy", "7-11"},
      {"(?:aa?|a1)+c", "aaa1c aaa1 c", "0-5"},
      {"^(?:a+|ab)+c", "aabc", "0-4"},
      {"(?:[^ c]+|a\\W*)+\\S", "ab c", "0-2"},
      // Top-level repeats: the ends explored in one attempt are passed over in the next.
      {"a*(?:x+)+y", "axxxq xxay axxy", "11-15"},
      {"(?:x+)+y|x", "xxx", "0-1 1-2 2-3"},
      {"((?:x+)+)y", "xxw xxxy", "4-8,4-7"},
      {"(?:x+)+\\b", "xx xxx", "0-2 3-6"},
      // Reached from the root through alternations (and groups): the lists are kept as well.
      {"(?:d|(?:x+)+)(?:y|z)", "xxxw dz xxz xxd", "5-7 8-11"},
      {"d|(?:x+){2,}(?:y|z)|x", "xxxw dz xxz xxd", "0-1 1-2 2-3 5-6 8-11 12-13 13-14 14-15"},
      {"(?:d|a*(?:x+)+w?|x)(?:y|z)", "axxxw dz xxz axxd", "6-8 9-12"},
      {"(?:(?:x+)+|x)(?:y|z)|xx", "xxxw xxxz", "0-2 5-9"},
      {"(?:q|(x+)+)(?:y|z)", "xxxw qz xxz", "5-7,- 8-11,8-10"},
      // Not across attempts where something reads captures set before the repeat: the same
      // ends lead elsewhere in a later attempt.
      {"(?:(a)|b)(?:x+)+(?(1)y|z)", "bxxxy axxxy", "6-11,6-7"},
      {"(a|b)(?:x+)+\\1", "bxxa axxa", "5-9,5-6"},
      {"(?:(a)|b)(?:x+)+(?(1)y|z)", "axxxz bxxxz", "6-11,-"},
  };
  for (const ExploredCase& c : rows)
    for (const Engine* e : AllEngines())
      EXPECT_EQ(c.expected, e->Matches(U(c.pattern), 0, U(c.subject)))
          << e->Name() << " /" << c.pattern << "/ on \"" << c.subject << "\"";
}

// Element runs (successful and failed Match and MatchNext) of a host-build search that fails.
long RunsOfSearch(const char* pattern, const std::string& text) {
  CRegexpT<char> re(pattern);
  for (int i = 0; i < re.GetElementCount(); ++i)
    for (int& n : const_cast<CPatternElement<char>*>(re.GetElement(i))->m_nCounters) n = 0;
  EXPECT_FALSE(re.Match(text.c_str()).IsMatched()) << pattern;
  long runs = 0;
  for (int i = 0; i < re.GetElementCount(); ++i)
    for (int n : re.GetElement(i)->m_nCounters) runs += n;
  return runs;
}

TEST(ExploredEnds, BoundedRepeatsWorkStaysCubic) {
  // The splits among the mandatory iterations are passed over; those among the optional ones are
  // still tried for each new end of the mandatory ones. Trying them all made a search of
  // (?:x+){3,5} grow with the sixth power of the run.
  for (const char* pattern : {"(?:x+){2,4}(?:y|z)", "(?:x+){3,5}(?:y|z)", "q|(?:x+){2,3}(?:y|z)"}) {
    long small = RunsOfSearch(pattern, std::string(40, 'x'));
    long large = RunsOfSearch(pattern, std::string(80, 'x'));
    EXPECT_LT(large, small * 9) << pattern << ": " << small << " then " << large;
  }
}

TEST(ExploredEnds, WorkStaysQuadratic) {
  // Doubling the run at most quadruples the work (and a little more for the lists' lookups);
  // trying each mandatory end's extension anew made it eight times, a whole search cubic, and
  // trying every split of the run among two or more mandatory iterations made it more still.
  for (const char* pattern : {"(?:x+)+(?:y|z)", "(?:x+)+y", "(?:xx|x)+y", "a*(?:x+)+y", "(?:x+){2,}(?:y|z)",
                              "(?:x+){3,}(?:y|z)", "a*(?:x+){3,}(?:y|z)", "q|(?:x+){2,}(?:y|z)",
                              "(?:q|(?:x+)+)(?:y|z)", "(?:q|(x+)+)(?:y|z)"}) {
    long small = RunsOfSearch(pattern, std::string(100, 'x'));
    long large = RunsOfSearch(pattern, std::string(200, 'x'));
    EXPECT_LT(large, small * 5) << pattern << ": " << small << " then " << large;
  }
}


// Element entries of every successive match of a host-build search with classic backtracking.
long long ClassicSteps(const char* pattern, int flags, const std::string& subject) {
  CRegexpT<char> re(pattern, static_cast<int>(std::char_traits<char>::length(pattern)), flags);
  CMatchContext<char> ctx;
  ctx.m_bClassic = true;
  long long steps = 0;
  ctx.m_pfnTraceHook = [](int event, CMatchContext<char>*, const CPatternElement<char>*, int,
                          const TraceStackEntry<char>*, int, void* user) {
    if (event == TRACE_ENTER) ++*static_cast<long long*>(user);
  };
  ctx.m_pUserData = &steps;
  re.PrepareMatch(subject.data(), static_cast<int>(subject.size()), -1, &ctx);
  for (MatchResult m = re.Match(&ctx); m.IsMatched(); m = re.Match(&ctx)) {
  }
  return steps;
}

// Repeats of two or more mandatory iterations pass over the states (iterations done, position)
// they reached before. Every row gives the matches the engine gave before it did, in all four
// engines and with classic backtracking, and classic backtracking takes exactly the steps it
// took then (it must still show the whole classic search).
TEST(ExploredEnds, CountedMandatoryIterations) {
  struct Row {
    const char* pattern;
    int flags;
    const char* subject;
    const char* expected;
    long long classicSteps;
  };
  static const Row rows[] = {
      // Unbounded: two, three, nine and ten mandatory iterations (beyond the levels kept), ways of
      // an iteration that are empty or of different lengths, an inner repeat of its own.
      {"(?:x+){2,}(?:y|z)", 0, "xxxxxw xz xxz xxxxxxy", "10-13 14-21", 727},
      {"(?:x+){2,}y", 0, "xy xxy xxxy xxxxxq", "3-6 7-11", 593},
      {"(?:xx|x){3,}(?:y|z)", 0, "xxxxxxw xxxz", "8-12", 826},
      {"(?:x+){9,}(?:y|z)", 0, "xxxxxxxxxxw xxxxxxxxxxz", "12-23", 17937},
      {"(?:x+){10,}(?:y|z)", 0, "xxxxxxxxxxxw xxxxxxxxxxxz", "13-25", 35857},
      {"(?:x*){2,}(?:y|z)", 0, "xxxw xz y", "5-7 8-9", 750},
      {"(?:|x){3,}(?:y|z)", 0, "xxw xz", "4-6", 478},
      {"(?:x?|xx){2,}y", 0, "xxxxxw xxxy", "7-11", 2381},
      {"(?:x+|(?:xx)+){2,}(?:y|z)", 0, "xxxxxxw xxxxz", "8-13", 4054},
      // Bounded repeats pass over the states after each mandatory iteration (the minimum
      // included), not their optional ones: with a minimum of none, one, two, beyond the levels
      // kept; empty and different-length ways; captures set, and read by a back-reference; in an
      // alternation, a look-ahead, an outer bounded repeat; right to left.
      {"(?:x+){2,4}(?:y|z)", 0, "xxxxxxw xxxxxz xz xxxxxy", "8-14 18-24", 1301},
      {"(?:x+){1,3}(?:y|z)", 0, "xxxxxxw xxxxxz xz xxxxxy", "8-14 15-17 18-24", 1088},
      {"(?:x+){0,3}(?:y|z)", 0, "xxxxxxw xxxxxz xz xxxxxy", "8-14 15-17 18-24", 1143},
      {"(?:xx|x){2,3}(?:y|z)", 0, "xxxxxxw xxxxxz xz xxxy", "8-14 18-22", 546},
      {"(?:x*){2,3}(?:y|z)", 0, "xxxw xxxz z", "5-9 10-11", 580},
      {"(?:x+){2,4}?(?:y|z)", 0, "xxxxxxw xxxxxz xz", "8-14", 1267},
      {"(?:x+){2,4}+(?:y|z)", 0, "xxxxxxw xxxxxz xz", "8-14", 211},
      {"(x+){2,4}(?:y|z)", 0, "xxxxxxw xxxxxz xz", "8-14,12-13", 1714},
      {"(x+){2,4}\\1", 0, "xxxxxxw xxxxxz xz", "0-6,4-5 8-13,11-12", 227},
      {"q|(?:x+){2,4}(?:y|z)", 0, "xxxxxxw xxxxxz xz", "8-14", 1296},
      {"(?:x+){2,4}(?:y|z)", RIGHTTOLEFT, "xxxxxxw xxxxxz xz", "8-14", 101},
      {"(?:(?:x+){2,3}y){1,2}z", 0, "xxyxxxyxw xxyxxyz", "10-17", 408},
      {"(?:x+){10,12}(?:y|z)", 0, "xxxxxxxxxxxw xxxxxxxxxxxxz", "13-26", 35858},
      {"(?=(?:x+){2,3}(?:y|z))x", 0, "xxxw xxz", "5-6", 189},
      // Exact, lazy and possessive repeats.
      {"(?:x+){3,5}(?:y|z)", 0, "xxxxxxxw xxz xxxxxxxz", "13-21", 2503},
      {"(?:x+){2}(?:y|z)", 0, "xxxxxw xz xxz", "10-13", 368},
      {"(?:x+){2,}?(?:y|z)", 0, "xxxxxw xz xxxz", "10-14", 693},
      {"(?:x+){2,}+(?:y|z)", 0, "xxxxxw xxxz", "7-11", 158},
      {"(?:x+){2,}?y|(?:x+){2,}+z", 0, "xxxxxw xxxz xxy", "7-11 12-15", 767},
      // Captures read by a back-reference or a conditional (set inside an iteration: nothing is
      // passed over there), set and never read, set before the repeat.
      {"(x+){2,}\\1(?:y|z)", 0, "xxxxxw xxxxz xxxxxy", "7-12,9-10 13-19,16-17", 1006},
      {"(x)(?:x+|\\1){2,}(?:y|z)", 0, "xxxxxw xxxxz", "7-12,7-8", 1235},
      {"(?:(x)|x+){2,}(?(1)y|z)", 0, "xxxxxw xxxxz xxxy", "7-12,- 13-17,15-16", 4168},
      {"((?:x+)){2,}(?:y|z)", 0, "xxxxw xxxz", "6-10,8-9", 514},
      {"(x+){3,}(y|z)", 0, "xxxxw xxxz xxxxxy", "6-10,8-9,9-10 11-17,15-16,16-17", 535},
      // In an alternation, a look-ahead or look-behind, an atomic group, after another repeat,
      // inside repeats (one retrying an iteration that matched empty), ignore case, right to left.
      {"w|(?:x+){2,}(?:y|z)|xq", 0, "xxxxq xxxw xxz", "3-5 9-10 11-14", 472},
      {"(?=(?:x+){2,}(?:y|z))x+", 0, "xxxw xxz", "5-7", 181},
      {"(?<=(?:x+){2,})y", 0, "xy xxy xxxy", "5-6 10-11", 143},
      {"(?>(?:x+){2,})(?:y|z)", 0, "xxxw xxz", "5-8", 109},
      {"a*(?:x+){2,}(?:y|z)", 0, "axxxq xxaz axxz", "11-15", 341},
      {"(?:x+){2,}(?=y|z)", 0, "xxxw xxz xy", "5-7", 183},
      {"(?:(?:x+){2,}y)+z", 0, "xxyxxxyxw xxyxxyz", "10-17", 459},
      {"(?:(?:x*){2,})*(?:y|z)", 0, "xxxw xxz z", "5-8 9-10", 4777},
      {"(?:(?:x|){2,}q?)+(?:y|z)", 0, "xxqxw xqxz", "6-10", 16005},
      {"(?:x+){2,}(?:y|z)", IGNORECASE, "XxXw xXz", "5-8", 156},
      {"(?:x+){2,}(?:y|z)", RIGHTTOLEFT, "xxxxw xz xxz x xxxxy", "15-20 9-12", 128},
      {"(?:y|z)(?:x+){2,}", RIGHTTOLEFT, "yxxxx zx yxxw", "9-12 0-5", 85},
  };
  for (const Row& r : rows) {
    for (const Engine* e : AllEngines())
      EXPECT_EQ(r.expected, e->Matches(U(r.pattern), r.flags, U(r.subject)))
          << e->Name() << " /" << r.pattern << "/ on \"" << r.subject << "\"";
    EXPECT_EQ(r.expected, HostClassic16().Matches(U(r.pattern), r.flags, U(r.subject))) << r.pattern;
    EXPECT_EQ(r.classicSteps, ClassicSteps(r.pattern, r.flags, r.subject)) << r.pattern;
  }
}

}  // namespace
}  // namespace tarno_test
