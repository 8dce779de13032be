// The alternation optimizer: worked examples as a table, then the property that matters — the
// optimized pattern matches, as a whole text, exactly the strings it was made from.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "plugins/fennic/fennic_text.h"
#include "plugins/fennic/optimizer.h"

namespace fennic {
namespace {

std::vector<std::u16string> Split(const char16_t* list) {
  std::vector<std::u16string> out;
  std::u16string s = list, cur;
  for (char16_t c : s) {
    if (c == u',') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  out.push_back(cur);
  return out;
}

TEST(Optimizer, Examples) {
  struct Row {
    const char* name;
    const char16_t* list;  // comma-separated
    int flags;
    const char16_t* out;
  };
  static const Row rows[] = {
      {"shared prefix and single characters", u"aa,ab,ac", 0, u"a[abc]"},
      // A string that a later one extends is tried first, as the alternation tries it.
      {"prefix first", u"a,ab", 0, u"ab??"},
      {"prefix last", u"ab,a", 0, u"ab?"},
      {"prefix between longer strings", u"ab,a,abc", 0, u"a(?:b?|bc)"},
      {"chain, shortest first", u"a,aa,aaa,aaaa", 0, u"a(?:a(?:aa??)??)??"},
      {"chain, longest first", u"aaaa,aaa,aa,a", 0, u"a(?:a(?:aa?)?)?"},
      {"duplicates collapse", u"ab,ab,ab", 0, u"ab"},
      {"duplicates among others", u"ab,ac,ab", 0, u"a[bc]"},
      {"metacharacters escaped", u"a.b", 0, u"a\\.b"},
      {"bar escaped", u"a|b", 0, u"a\\|b"},
      {"space escaped", u"a b", 0, u"a\\x20b"},
      {"plain endings stay apart", u"xab,yab", 0, u"xab|yab"},
      {"single characters", u"x,y,z", 0, u"[xyz]"},
      {"one string", u"hello", 0, u"hello"},
      {"common tail", u"ab,ac,xb,xc", 0, u"[ax][bc]"},
      {"branches sorted, groups never capture", u"foo,bar,baz", 0, u"ba[rz]|foo"},
      {"class members escaped", u"a-,a],a^,a:", 0, u"a[\\-\\:\\]\\^]"},
      // '#' starts a comment under the extended option; white space is escaped in any case.
      {"hash, not extended", u"a#b,a#c", 0, u"a#[bc]"},
      {"hash, extended", u"a#b,a#c", EXTENDED, u"a\\#[bc]"},
      {"hash in a class, extended", u"#,a", EXTENDED, u"[\\#a]"},
      {"space and tab, extended", u"a b,a\tc", EXTENDED, u"a(?:\\tc|\\x20b)"},
      // Without case, strings that differ only in case are one string.
      {"ignore case duplicates", u"ab,AB,Ac", IGNORECASE, u"a[bc]"},
      {"ignore case shared prefix", u"Xa,xb", IGNORECASE, u"X[ab]"},
      // Right to left, the strings are matched from their ends: common endings are shared.
      {"right to left", u"ab,cb,db", RIGHTTOLEFT, u"[acd]b"},
      {"right to left, suffix first", u"b,ab", RIGHTTOLEFT, u"a??b"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(std::u16string(r.out), OptimizeStrings(Split(r.list), r.flags)) << r.name;
  }
  EXPECT_EQ(u"", OptimizeStrings({}));
  EXPECT_EQ(u"", OptimizeStrings({u""}));
  EXPECT_EQ(u"(?:ab??)??", OptimizeStrings({u"", u"a", u"ab"}));
  EXPECT_EQ(u"(?:ab?)?", OptimizeStrings({u"ab", u"a", u""}));
}

// Strings of different lengths never compare equal, whatever code units they hold.
TEST(Optimizer, NulIsAnOrdinaryCharacter) {
  const std::u16string nul(1, u'\0');
  struct Row {
    std::vector<std::u16string> list;
    const char16_t* out;
  };
  const Row rows[] = {
      {{u"x" + nul + u"y", u"x"}, u"x(?:\\x00y)?"},
      {{u"a" + nul, u"a"}, u"a\\x00?"},
      {{u"a", u"a" + nul}, u"a\\x00??"},
      {{nul, nul + nul, u"b"}, u"\\x00\\x00??|b"},
  };
  for (const Row& r : rows) EXPECT_EQ(std::u16string(r.out), OptimizeStrings(r.list));
}

TEST(Optimizer, Escapes) {
  EXPECT_EQ(u"\\a\\t\\n\\v\\f\\r\\e\\x00\\x1F\\x20", EscapeLiteral(std::u16string(u"\a\t\n\v\f\r\x1b") +
                                                                      std::u16string(1, u'\0') + u"\x1f "));
  EXPECT_EQ(u"\\$\\(\\)\\*\\+\\-\\.\\?\\[\\\\\\]\\^\\{\\|\\}", EscapeLiteral(u"$()*+-.?[\\]^{|}"));
  EXPECT_EQ(u"a#:", EscapeLiteral(u"a#:"));
  EXPECT_EQ(u"a\\#:", EscapeLiteral(u"a#:", true));
  // Read back by the engine, in both readings, every escaped piece is its own text again.
  std::u16string all;
  for (int c = 0; c < 128; ++c) all += static_cast<char16_t>(c);
  all += u"\u00e9\u4e2d\uffff";
  for (int flags : {0, static_cast<int>(EXTENDED)}) {
    std::u16string escaped = EscapeLiteral(all, flags != 0);
    Regex re(escaped.c_str(), Length(escaped), flags);
    EXPECT_TRUE(re.MatchExact(all.data(), Length(all)).IsMatched()) << flags;
  }
}

// All strings over `alphabet` of length 0 to `maxLength`.
void AllStrings(const std::u16string& alphabet, int maxLength, std::vector<std::u16string>& out) {
  std::vector<std::u16string> level = {u""};
  out = level;
  for (int n = 1; n <= maxLength; ++n) {
    std::vector<std::u16string> next;
    for (const std::u16string& s : level)
      for (char16_t c : alphabet) next.push_back(s + c);
    out.insert(out.end(), next.begin(), next.end());
    level.swap(next);
  }
}

TEST(Optimizer, MatchesExactlyTheGivenStrings) {
  const std::u16string alphabet = u"ab.| (\\#A" + std::u16string(1, u'\0');
  const int kMaxLength = 3;
  std::vector<std::u16string> universe;
  AllStrings(alphabet, kMaxLength, universe);
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> count(1, 30), len(1, kMaxLength), chr(0, static_cast<int>(alphabet.size()) - 1);
  std::uniform_int_distribution<int> withEmpty(0, 9);
  for (int round = 0; round < 250; ++round) {
    std::vector<std::u16string> list;
    for (int n = count(rng); n > 0; --n) {
      std::u16string s;
      for (int k = len(rng); k > 0; --k) s += alphabet[chr(rng)];
      list.push_back(s);
    }
    if (withEmpty(rng) == 0) list.push_back(u"");
    static const int kFlags[] = {0, EXTENDED, IGNORECASE, RIGHTTOLEFT, IGNORECASE | EXTENDED | RIGHTTOLEFT};
    const int flags = kFlags[round % 5];
    std::u16string pattern = OptimizeStrings(list, flags);
    std::string shown;
    for (const std::u16string& w : list) shown += "'" + Narrow(w) + "' ";
    Regex re(pattern.c_str(), Length(pattern), flags);
    // What each string matches on its own, with the same options.
    std::vector<std::unique_ptr<Regex>> words;
    for (const std::u16string& w : list) {
      std::u16string escaped = EscapeLiteral(w, true);
      words.emplace_back(new Regex(escaped.c_str(), Length(escaped), flags));
    }
    for (const std::u16string& s : universe) {
      bool wanted = false;
      for (const auto& w : words) wanted = wanted || w->MatchExact(s.data(), Length(s)).IsMatched();
      bool matched = re.MatchExact(s.data(), Length(s)).IsMatched() != 0;
      ASSERT_EQ(wanted, matched) << "pattern " << Narrow(pattern) << " flags " << flags << " subject '" << Narrow(s)
                                 << "' round " << round << " list " << shown;
    }
  }
}

TEST(Optimizer, ThousandsOfAlternativesStayDefined) {
  std::vector<std::u16string> list;
  for (int i = 0; i < 5000; ++i) list.push_back(Widen(std::to_string(i * 7919 % 100000)));
  std::u16string pattern = OptimizeStrings(list);
  ASSERT_FALSE(pattern.empty());
  Regex re(pattern.c_str(), Length(pattern), 0);
  for (int i = 0; i < 5000; i += 37) {
    std::u16string s = Widen(std::to_string(i * 7919 % 100000));
    EXPECT_TRUE(re.MatchExact(s.data(), Length(s)).IsMatched()) << Narrow(s);
  }
  EXPECT_FALSE(re.MatchExact(u"x", 1).IsMatched());
  // Long strings sharing one long prefix.
  std::vector<std::u16string> deep;
  std::u16string prefix(2000, u'q');
  for (int i = 0; i < 200; ++i) deep.push_back(prefix + Widen(std::to_string(i)));
  EXPECT_FALSE(OptimizeStrings(deep).empty());
  // Each string a prefix of the next, 300 deep: folding would nest 300 groups, more than the
  // compiler reads as groups; the result is still exact.
  std::vector<std::u16string> chain;
  for (int i = 1; i <= 300; ++i) chain.push_back(std::u16string(i, u'a'));
  std::u16string folded = OptimizeStrings(chain);
  Regex chained(folded.c_str(), Length(folded), 0);
  for (int i = 0; i <= 302; ++i) {
    std::u16string s(i, u'a');
    EXPECT_EQ(i >= 1 && i <= 300, chained.MatchExact(s.data(), Length(s)).IsMatched() != 0) << i;
  }
  // A shallow chain is still folded.
  EXPECT_EQ(u"a(?:a(?:aa?)?)?", OptimizeStrings({u"aaaa", u"aaa", u"aa", u"a"}));
}

}  // namespace
}  // namespace fennic
