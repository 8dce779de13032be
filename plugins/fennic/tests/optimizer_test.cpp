// The alternation optimizer: worked examples as a table, then the property that matters — the
// optimized pattern matches, as a whole text, exactly the strings it was made from.
#include <gtest/gtest.h>

#include <random>
#include <set>

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
    const char16_t* out;
  };
  static const Row rows[] = {
      {"shared prefix and single characters", u"aa,ab,ac", u"a[abc]"},
      {"prefix of another", u"a,ab", u"ab?"},
      {"duplicates collapse", u"ab,ab,ab", u"ab"},
      {"duplicates among others", u"ab,ac,ab", u"a[bc]"},
      {"metacharacters escaped", u"a.b", u"a\\.b"},
      {"bar escaped", u"a|b", u"a\\|b"},
      {"space escaped", u"a b", u"a\\x20b"},
      {"plain endings stay apart", u"xab,yab", u"xab|yab"},
      {"single characters", u"x,y,z", u"[xyz]"},
      {"one string", u"hello", u"hello"},
      {"common suffix group", u"ab,ac,xb,xc", u"[ax][bc]"},
  };
  for (const Row& r : rows) EXPECT_EQ(std::u16string(r.out), OptimizeStrings(Split(r.list))) << r.name;
  EXPECT_EQ(u"", OptimizeStrings({}));
  EXPECT_EQ(u"", OptimizeStrings({u""}));
  EXPECT_EQ(u"(?:ab?)?", OptimizeStrings({u"", u"a", u"ab"}));
}

TEST(Optimizer, Escapes) {
  EXPECT_EQ(u"\\a\\t\\n\\v\\f\\r\\e\\x00\\x1F\\x20", EscapeLiteral(std::u16string(u"\a\t\n\v\f\r\x1b") +
                                                                      std::u16string(1, u'\0') + u"\x1f "));
  EXPECT_EQ(u"\\$\\(\\)\\*\\+\\-\\.\\?\\[\\\\\\]\\^\\{\\|\\}", EscapeLiteral(u"$()*+-.?[\\]^{|}"));
  for (const char16_t* s : {u"a\\.b", u"\\x20\\n\\t", u"\\\\", u"\\e\\a"})
    EXPECT_EQ(s, EscapeLiteral(UnescapeLiteral(s))) << Narrow(s);
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
  const std::u16string alphabet = u"ab.| (\\";
  const int kMaxLength = 3;
  std::vector<std::u16string> universe;
  AllStrings(alphabet, kMaxLength, universe);
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> count(1, 30), len(1, kMaxLength), chr(0, static_cast<int>(alphabet.size()) - 1);
  std::uniform_int_distribution<int> withEmpty(0, 9);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::u16string> list;
    for (int n = count(rng); n > 0; --n) {
      std::u16string s;
      for (int k = len(rng); k > 0; --k) s += alphabet[chr(rng)];
      list.push_back(s);
    }
    if (withEmpty(rng) == 0) list.push_back(u"");
    std::set<std::u16string> wanted(list.begin(), list.end());
    std::u16string pattern = OptimizeStrings(list);
    std::string shown;
    for (const std::u16string& w : wanted) shown += "'" + Narrow(w) + "' ";
    Regex re(pattern.c_str(), Length(pattern), 0);
    for (const std::u16string& s : universe) {
      bool matched = re.MatchExact(s.data(), Length(s)).IsMatched() != 0;
      ASSERT_EQ(wanted.count(s) != 0, matched)
          << "pattern " << Narrow(pattern) << " subject '" << Narrow(s) << "' round " << round << " list " << shown;
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
  EXPECT_EQ(u"a(a(aa?)?)?", OptimizeStrings({u"a", u"aa", u"aaa", u"aaaa"}));
}

}  // namespace
}  // namespace fennic
