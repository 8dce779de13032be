// The required-text filter of the plain build's search (engine/tarno/required.h): which string
// the analysis picks, where it declines, and that searches give the same matches with it as the
// host build gives without it. Every match row runs in all four engines.
#include <gtest/gtest.h>

#include <string>

#include "engine/tarno.h"
#include "engine/tarno/dump.h"
#include "engine/tests/builds.h"

namespace tarno_test {
namespace {

struct RequiredCase {
  const char* pattern;
  int flags;
  const char* required;  // what the plain build's dump appends with DUMP_FILTERS; "" for none
};

// The analysis: the part of the dump after the graph.
TEST(Required, Analysis) {
  static const RequiredCase rows[] = {
      // A required last character, an inner literal, a suffix, a prefix at a fixed distance.
      {"(a|b)*c", 0, " | required \"c\" at ?"},
      {"[\\w\\.+-]+@[\\w\\.-]+\\.[\\w\\.-]+", 0, " | required \"@\" at ?"},
      {"[\\w]+://[^/\\s?#]+[^\\s?#]+(?:\\?[^\\s#]*)?(?:#[^\\s]*)?", 0, " | required \"://\" at ?"},
      {"\\b\\w+ing\\b", 0, " | required \"ing\" at ?"},
      {"\\d{4}-\\d{2}-\\d{2}", 0, " | required \"-\" at 4"},
      {"Sherlock", 0, " | required \"Sherlock\" at 0"},
      {".*x", 0, " | required \"x\" at ?"},
      // The longest string wins; of equals, one that is not repeated, then the earliest.
      {"a*bc(?:d)+efg", 0, " | required \"efg\" at ?"},
      {"(?:ab)+cd", 0, " | required \"cd\" at ?"},
      {"(?:ab){1}cd", 0, " | required \"ab\" at 0"},
      {"(?:ab)+c", 0, " | required \"ab\" at 0"},
      {"(?:ab)*cd", 0, " | required \"cd\" at ?"},
      // Inside the first iteration of a repeat that must iterate, and inside groups.
      {"(?:(?:25[0-5]|\\d+)\\.){3}\\d+", 0, " | required \".\" at ?"},
      {"(?:x+)+y", 0, " | required \"y\" at ?"},
      {"(a(bcd))e", 0, " | required \"bcd\" at 1"},
      {"(?>abc)d", 0, " | required \"abc\" at 0"},
      {"x{3}yz", 0, " | required \"yz\" at 3"},
      // Not in a repeat that may not iterate, nor in one branch of an alternation, nor in a
      // look-around: a look-behind reads text before the match, a look-ahead text it need not
      // consume.
      {"(?:abc)?d", 0, " | required \"d\" at ?"},
      {"(?:abc|)x", 0, " | required \"x\" at ?"},
      {"(?:abc|def)x", 0, " | required \"x\" at 3"},
      {"(?<=abcd)x", 0, " | required \"x\" at 0"},
      {"(?=abcd)\\w", 0, ""},
      {"(?<=abcd)", 0, ""},
      {"abc|def", 0, ""},
      // Ignore case: compared upper-cased.
      {"holmes", IGNORECASE, " | required \"HOLMES\"i at 0"},
      {"\\w+(?i:ing)", 0, " | required \"ING\"i at ?"},
      // A back-reference consumes what its group did: anything.
      {"(\\w)\\1ing", 0, " | required \"ing\" at ? after any"},
      {"(abc)\\1", 0, " | required \"abc\" at 0"},
      // Declined: right to left, anchored, recursion anywhere, conditionals anywhere.
      {"abc", RIGHTTOLEFT, ""},
      {"^abc", 0, ""},
      {"\\Aabc", 0, ""},
      {"abc(?R)?", 0, ""},
      {"(a)bcd(?1)", 0, ""},
      {"(?<=(a))bcd(?1)", 0, ""},
      {"(a)?(?(1)bcd|efg)xyz", 0, ""},
      {"(?(?=a)abc|def)xyz", 0, ""},
  };
  for (const RequiredCase& c : rows) {
    for (const Engine* e : AllEngines()) {
      std::string dump = e->Dump(U(c.pattern), c.flags, DUMP_FILTERS);
      size_t at = dump.find(" | required ");
      // The traced host searches without filters: it sees every attempt.
      std::string want = e->HasFastPaths() ? c.required : "";
      EXPECT_EQ(want, at == std::string::npos ? std::string() : dump.substr(at))
          << e->Name() << " /" << c.pattern << "/ flags " << c.flags;
    }
  }
}

struct SearchCase {
  const char* pattern;
  int flags;
  const char* subject;
  const char* expected;
};

void CheckSearches(const SearchCase* rows, size_t n) {
  for (size_t i = 0; i < n; ++i)
    for (const Engine* e : AllEngines())
      EXPECT_EQ(rows[i].expected, e->Matches(U(rows[i].pattern), rows[i].flags, U(rows[i].subject)))
          << e->Name() << " /" << rows[i].pattern << "/ flags " << rows[i].flags << " on \""
          << rows[i].subject << "\"";
}
#define CHECK_SEARCHES(rows) CheckSearches(rows, sizeof(rows) / sizeof(rows[0]))

TEST(Required, SearchesFindWhatTheyFoundWithoutIt) {
  static const SearchCase rows[] = {
      // No occurrence: nothing; occurrences: the starts before them in the run of characters
      // that may precede them.
      {"(a|b)*c", 0, "ababx", "none"},
      {"(a|b)*c", 0, "abxabc", "3-6,4-5"},
      {"(a|b)*c", 0, "c", "0-1,-"},
      {"[ab]+c", 0, "xxc abc", "4-7"},
      {".*x", 0, "abc\nxyz x", "4-9"},
      // The match uses a later occurrence than the first one after its start.
      {"\\b\\w+ing\\b", 0, "singing bring ing", "0-7 8-13"},
      {"\\w+ing", 0, "ingringing", "0-10"},
      {"a+aab", 0, "aaaaab aab aaab", "0-6 11-15"},
      {"[a-z]+ed\\b", 0, "edged red Ed fed reed", "0-5 6-9 13-16 17-21"},
      // A fixed distance: the starts are the occurrences minus it.
      {"\\d{4}-\\d{2}", 0, "12345-67 2024-01 -", "1-8 9-16"},
      {"\\d{4}-\\d{2}", 0, "-12-2024-", "none"},
      {"Sherlock", 0, "Sherloc Sherlock Sherlock", "8-16 17-25"},
      // Several matches within the stretch before one occurrence, and empty-free repeats.
      {"a*b", 0, "aab ab b", "0-3 4-6 7-8"},
      {"[ab]*?b", 0, "aabab", "0-3 3-5"},
      // The required string at the very end, longer than the text, the empty text.
      {"\\w+xyz", 0, "abcxyz", "0-6"},
      {"\\w+xyz", 0, "xy", "none"},
      {"\\w+xyz", 0, "", "none"},
      // Inside a repeat's first iteration.
      {"(?:\\d+\\.){3}\\d+", 0, "1.2.3 1.2.3.4 5.6", "6-13"},
      {"(?:x+)+y", 0, "xxxxz xxy", "6-9"},
      // Look-behind: its text lies before the match and is not what the filter looks for.
      {"(?<=ab)c", 0, "abc ac abc", "2-3 9-10"},
      {"(?<=(a)b)cd", 0, "abcd cd", "2-4,0-1"},
      {"(?<=abcd)x", 0, "abcdx bcdx", "4-5"},
      // An alternation with an empty branch.
      {"(?:ab|)c", 0, "abc c xc", "0-3 4-5 7-8"},
      {"(ab|)cd", 0, "abcd cd", "0-4,0-2 5-7,5-5"},
      // Ignore case.
      {"\\w+ING", IGNORECASE, "singing BRING Ing", "0-7 8-13"},
      {"\\w+(?i:ing)", 0, "sING sinG", "0-4 5-9"},
      {"HOLMES", IGNORECASE, "holmes Holmes HOLMES hOlMeS", "0-6 7-13 14-20 21-27"},
      // Right to left: declined, and the order of matches is from the end.
      {"ab+c", RIGHTTOLEFT, "abbc abc", "5-8 0-4"},
      {"\\w+ing", RIGHTTOLEFT, "sing ring", "5-9 0-4"},
      // Recursion: declined; a recursion into a look-behind group runs backwards.
      {"(a(?1)?b)c", 0, "aabbc abc", "0-5,0-4 6-9,6-8"},
      {"(?<=(b))(?1)bc", 0, "abc abbc", "2-3,1-2 7-8,6-7"},
      // Conditionals: declined.
      {"(a)?(?(1)bc|de)", 0, "abc de", "0-3,0-1 4-6,-"},
      {"(?(?=x)xyz|abc)", 0, "xyz abc xbc", "0-3 4-7"},
      // A back-reference before the required string.
      {"(\\w)\\1ing", 0, "singing sitting", "10-15,10-11"},
      // \G with the global flag: the filter does not move the start of an anchored search.
      {"\\Gab", GLOBAL, "ababxab", "0-2 2-4"},
  };
  CHECK_SEARCHES(rows);
}

// Greedy single-character repeats whose followers all begin with a character they refuse give
// nothing back (plain build): which ones the compiler marks, and that matches stay as they were.
TEST(AutoPossessive, Marking) {
  static const RequiredCase rows[] = {
      {"a+b", 0, "seq({1,inf}+auto(\"a\") \"b\")"},
      {"a+a", 0, "seq({1,inf}(\"a\") \"a\")"},
      {"a+", 0, "{1,inf}(\"a\")"},
      // Through group ends, zero-width elements and optional followers.
      {"(\\w+)\\s", 0, "seq(seq((1 {1,inf}+auto([A-Za-z0-9_]) 1)) [\\x20\\x09\\x0d\\x0a])"},
      {"a+\\b(?=x)c?d", 0, "seq({1,inf}+auto(\"a\") \\b (?=\"x\") {0,1}+auto(\"c\") \"d\")"},
      {"a+c?", 0, "seq({1,inf}(\"a\") {0,1}(\"c\"))"},
      {"a+c?a", 0, "seq({1,inf}(\"a\") {0,1}+auto(\"c\") \"a\")"},
      // Inside a repeat: the next iteration follows too.
      {"(?:a+b)*", 0, "{0,inf}(seq({1,inf}+auto(\"a\") \"b\"))"},
      {"(?:a+)+b", 0, "seq({1,inf}({1,inf}(\"a\")) \"b\")"},
      {"(?:b|a+)+c", 0, "seq({1,inf}(alt(\"b\"|{1,inf}(\"a\"))) \"c\")"},
      {"(?:x|a+)+c", 0, "seq({1,inf}(alt(\"x\"|{1,inf}(\"a\"))) \"c\")"},
      {"(?:x|a+)+b", 0, "seq({1,inf}(alt(\"x\"|{1,inf}(\"a\"))) \"b\")"},
      {"(?:x|a+-)+b", 0, "seq({1,inf}(alt(\"x\"|seq({1,inf}+auto(\"a\") \"-\"))) \"b\")"},
      // A follower that may read anything: a back-reference, the end of a look-ahead.
      {"(a)b+\\1", 0, "seq(seq((1 \"a\" 1)) {1,inf}(\"b\") \\1)"},
      {"(?=a+)b", 0, "seq((?={1,inf}(\"a\")) \"b\")"},
      // Ignore case: the repeat takes A too.
      {"a+A", IGNORECASE, "seq({1,inf}(\"a\"i) \"A\"i)"},
      {"a+(?-i)A", IGNORECASE, "seq({1,inf}(\"a\"i) empty \"A\")"},
      {"a+(?-i)B", IGNORECASE, "seq({1,inf}+auto(\"a\"i) empty \"B\")"},
      // Declined: lazy, right to left, recursion anywhere, conditionals.
      {"a+?b", 0, "seq({1,inf}?(\"a\") \"b\")"},
      {"a+b", RIGHTTOLEFT, "seq<({1,inf}(\"a\"<) \"b\"<)"},
      {"(a+b)(?1)", 0, "seq(seq((1 seq({1,inf}(\"a\") \"b\") 1)) call(1))"},
      {"(a)?(?(1)b+c|d)", 0, "seq({0,1}(seq((1 \"a\" 1))) cond(1 ? seq({1,inf}(\"b\") \"c\") | \"d\"))"},
  };
  for (const RequiredCase& c : rows)
    for (const Engine* e : AllEngines()) {
      std::string dump = e->Dump(U(c.pattern), c.flags, DUMP_FILTERS);
      dump = dump.substr(0, dump.find(" | required "));
      std::string want = c.required;
      if (!e->HasFastPaths()) {  // the traced host has no fast paths: its dump is the plain graph
        std::string plain = e->Dump(U(c.pattern), c.flags, 0);
        EXPECT_EQ(plain, dump) << e->Name() << " /" << c.pattern << "/";
        continue;
      }
      if (e->IsHost()) {
        // The untraced host build marks the same repeats in the host's graph (modifier marks in
        // it), which is the traced build's with each group wrapper's content linked in its place.
        const std::string traced =
            (e->IsWide() ? Host16() : Host8()).Dump(U(c.pattern), c.flags, DUMP_THROUGH_WRAPPERS);
        auto marks = [](const std::string& d) {
          int n = 0;
          for (size_t at = d.find("+auto"); at != std::string::npos; at = d.find("+auto", at + 1)) ++n;
          return n;
        };
        std::string unmarked = dump;
        for (size_t at = unmarked.find("+auto"); at != std::string::npos; at = unmarked.find("+auto"))
          unmarked.erase(at, 5);
        EXPECT_EQ(traced, unmarked) << e->Name() << " /" << c.pattern << "/";
        EXPECT_EQ(marks(want), marks(dump)) << e->Name() << " /" << c.pattern << "/ " << dump;
        continue;
      }
      EXPECT_EQ(want, dump) << e->Name() << " /" << c.pattern << "/ flags " << c.flags;
    }
}

TEST(AutoPossessive, MatchesStay) {
  static const SearchCase rows[] = {
      {"(\\w+)\\s+(\\w+)", 0, "ab  cd ef gh", "0-6,0-2,4-6 7-12,7-9,10-12"},
      {"\\b(\\w+)\\s+\\1\\b", 0, "the the cat cats cat cat", "0-7,0-3 17-24,17-20"},
      {"a+b", 0, "aaab ab b aa", "0-4 5-7"},
      {"a{2,3}b", 0, "aaaab aab ab", "1-5 6-9"},
      {"(?:x|a+)+c", 0, "aaxac aab", "0-5"},
      {"(?:x|a+-)+b", 0, "a-xaa-b a-a", "0-7"},
      {"a+\\b(?=x)c?d", 0, "aad aa", "none"},
      {"a+(?-i)A", IGNORECASE, "aAA aaA", "0-3 4-7"},
      {"[^\\n]+\\n", 0, "ab\ncd\n\n", "0-3 3-6"},
      {"\\d+\\.\\d+", 0, "1.2 33.x 4.55", "0-3 9-13"},
  };
  CHECK_SEARCHES(rows);
}

// Patterns that begin with \b and a word character start only where a word does.
TEST(StartFilter, WordStarts) {
  static const RequiredCase rows[] = {
      {"\\b(\\w+)\\s+\\1\\b", 0, " | word start"},
      {"\\b\\w+ing\\b", 0, " | word start | required \"ing\" at ?"},
      {"(\\b[a-z]+|\\bx)", 0, " | word start"},
      {"\\b[a-z-]+", 0, ""},   // '-' is not a word character: \b may lie after it
      {"\\B\\w+", 0, ""},
      {"\\b\\w|x", 0, ""},
      {"\\b\\w+", RIGHTTOLEFT, ""},
  };
  for (const RequiredCase& c : rows)
    for (const Engine* e : AllEngines()) {
      std::string dump = e->Dump(U(c.pattern), c.flags, DUMP_FILTERS);
      size_t at = dump.find(" | ");
      EXPECT_EQ(e->HasFastPaths() ? c.required : "", at == std::string::npos ? std::string() : dump.substr(at))
          << e->Name() << " /" << c.pattern << "/";
    }
  static const SearchCase searches[] = {
      {"\\b(\\w+)\\s+\\1\\b", 0, "the the thethe the a a", "0-7,0-3 19-22,19-20"},
      {"\\b[a-z]+", 0, "ab-cd _x 9y y", "0-2 3-5 12-13"},
      {"\\b[a-z-]+", 0, "ab-cd -x a-", "0-5 7-8 9-11"},
      {"\\b\\w+", 0, "\u00e9t\u00e9 ok", "1-2 4-6"},
  };
  CHECK_SEARCHES(searches);
}

// The other operations run the same search loop.
TEST(Required, OperationsAgree) {
  for (const Engine* e : AllEngines()) {
    EXPECT_EQ(3, e->Count(U("\\w+ing"), 0, U("sing x ring y bring"))) << e->Name();
    EXPECT_EQ(U("<sing> x <ring>"), e->Replace(U("\\w+ing"), 0, U("sing x ring"), U("<$&>"))) << e->Name();
    EXPECT_EQ("0-5,3-4", e->Exact(U("(a|b)*c"), 0, U("ababc"))) << e->Name();
    EXPECT_EQ("none", e->Exact(U("(a|b)*c"), 0, U("ababx"))) << e->Name();
  }
}

// Ignore case in 16-bit text: the scan looks for the two codes whose upper case is the first
// character's, which holds only while the case mapping pairs one upper-case with one
// lower-case letter. Checked over every 16-bit code.
TEST(Required, CaseMappingPairsOneToOne) {
  int faults = 0;
  for (unsigned c = 0; c < 0x10000; ++c) {
    unsigned up = TarnoUpperWide(c);
    if (up != c && TarnoLowerWide(up) != c) ++faults;
  }
  EXPECT_EQ(0, faults);
  // Letters whose partner lies on the other side of 256.
  const std::u16string text = {0x178, 'a', ' ', 0xFF, 'A', ' ', 0xFF, 'b'};
  for (const Engine* e : {&Plain16(), &Host16()}) {
    EXPECT_EQ("0-2 3-5", e->Matches(std::u16string{0xFF, 'a'}, IGNORECASE, text)) << e->Name();
    EXPECT_EQ("0-2 3-5", e->Matches(std::u16string{0x178, 'A'}, IGNORECASE, text)) << e->Name();
    EXPECT_EQ("0-2", e->Matches(std::u16string{'.', 'a'}, 0, text)) << e->Name();
  }
}

}  // namespace
}  // namespace tarno_test
