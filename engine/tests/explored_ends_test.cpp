// Greedy repeats pass over end positions from which everything has been tried: the ends of their
// mandatory iterations too, and, for repeats on the pattern's top-level path where nothing reads
// captures, across the attempts of one search. Matches stay as they were (every row in all four
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

TEST(ExploredEnds, WorkStaysQuadratic) {
  // Doubling the run at most quadruples the work (and a little more for the lists' lookups);
  // trying each mandatory end's extension anew made it eight times, a whole search cubic.
  // (With two or more mandatory iterations, their splits among themselves still make it cubic.)
  for (const char* pattern : {"(?:x+)+(?:y|z)", "(?:x+)+y", "(?:xx|x)+y", "a*(?:x+)+y"}) {
    long small = RunsOfSearch(pattern, std::string(100, 'x'));
    long large = RunsOfSearch(pattern, std::string(200, 'x'));
    EXPECT_LT(large, small * 5) << pattern << ": " << small << " then " << large;
  }
}

}  // namespace
}  // namespace tarno_test
