// Convert to flavour without the engines: what each target is given for the constructs whose
// writing differs, what is refused and why, and the group map. That the conversions give
// Korvane's matches in the real engines is proven by
// app/document/flavours/tests/conversion_engines_test.cpp.
#include <gtest/gtest.h>

#include <QString>
#include <string>
#include <vector>

#include "app/document/pattern/flavour_convert.h"
#include "app/host_engine.h"
#include "resources/stringtable.h"

namespace {

struct ConvertRow {
  const char* name;
  const char16_t* pattern;
  int flags;
  const char* flavour;
  const char16_t* expected;  // the converted pattern, or nullptr when refused
  const char* reason;        // a part of the first reason when refused
};

TEST(FlavourConvert, WritesEachConstructForItsTarget) {
  CStringTable::SetCurrent(CStringTable::kEnglish);
  const ConvertRow rows[] = {
      // Named groups in each syntax; Python's \d, \w, \s and \b made ASCII by its flag.
      {"python named group", u"(?<year>\\d{4})-(\\d\\d)$", 0, "python", u"(?a)(?P<year>\\d{4})-(\\d\\d)\\Z", nullptr},
      {"js named group", u"(?<year>\\d{4})-(\\d\\d)$", 0, "js", u"(?<year>\\d{4})-(\\d\\d)$", nullptr},
      {".NET digits are Unicode", u"(?<year>\\d{4})", 0, "dotnet", u"(?<year>[0-9]{4})", nullptr},
      {"RE2 names", u"(?'n'a)", 0, "re2", u"(?P<n>a)", nullptr},
      {"named reference in Python", u"(?<n>a)\\k<n>", 0, "python", u"(?a)(?P<n>a)(?P=n)", nullptr},
      {"numbered reference before a digit", u"(a)\\1\\x31", 0, "pcre2", u"(a)\\1(?:)1", nullptr},
      // Korvane's \s is four characters: spelled out wherever the target's is wider.
      {"space spelled out", u"a\\sb", 0, "java", u"a[\\t\\n\\r ]b", nullptr},
      // Dots: any but \n is . only where the target's dot is exactly that.
      {"dot in PCRE2", u"a.b", 0, "pcre2", u"a.b", nullptr},
      {"dot in Java", u"a.b", 0, "java", u"a[^\\n]b", nullptr},
      {"single-line dot", u"a.b", SINGLELINE, "pcre2", u"a[\\s\\S]b", nullptr},
      // Ignore-case: scoped where ASCII case is all it changes; k and s as classes where the
      // target folds them with the Kelvin sign and long s; JavaScript has no scoped flags.
      {"ignore-case run", u"(?i)ab", 0, "pcre2", u"(?i:ab)", nullptr},
      {"k in PCRE2", u"k", IGNORECASE, "pcre2", u"[Kk]", nullptr},
      {"k in Java", u"k", IGNORECASE, "java", u"(?i:k)", nullptr},
      {"ignore case in JavaScript", u"ab", IGNORECASE, "js", u"[Aa][Bb]", nullptr},
      {"non-ASCII letter", u"\u00e9", IGNORECASE, "python", u"(?a)[\u00c9\u00e9]", nullptr},
      // Anchors: Korvane's line ends are \r, \n and \r\n.
      {"\\Z", u"a\\Z", 0, "pcre2", u"a(?=(?:\\r?\\n)?\\z)", nullptr},
      {"multiline ^", u"^a", MULTILINE, "pcre2", u"(?<![^\\r\\n])(?!(?<=\\r)\\n)a", nullptr},
      {"multiline ^ in RE2", u"^a", MULTILINE, "re2", nullptr, "RE2 has no look-around"},
      {"\\b in Java", u"\\ba", 0, "java", u"(?:(?<=\\w)(?!\\w)|(?<!\\w)(?=\\w))a", nullptr},
      {"\\b in RE2", u"\\ba", 0, "re2", u"\\ba", nullptr},
      // Possessive repeats: atomic groups where the target has only those; Onigmo reads {n,m}+
      // as a repeat of a repeat.
      {"possessive in .NET", u"a*+b", 0, "dotnet", u"(?>a*)b", nullptr},
      {"possessive braces in Ruby", u"a{2,3}+", 0, "ruby", u"(?>a{2,3})", nullptr},
      {"possessive star in Ruby", u"a*+", 0, "ruby", u"a*+", nullptr},
      {"possessive in JavaScript", u"a*+", 0, "js", nullptr, "neither possessive repeats nor atomic groups"},
      // Look-behind limits.
      {"branches of two lengths in PCRE2", u"(?<=ab|c)x", 0, "pcre2", u"(?<=ab|c)x", nullptr},
      {"branches of two lengths in Python", u"(?<=ab|c)x", 0, "python", nullptr, "one fixed length"},
      {"unbounded in Java", u"(?<=a+)x", 0, "java", nullptr, "bounded length"},
      {"unbounded in .NET", u"(?<=a+)x", 0, "dotnet", u"(?<=a+)x", nullptr},
      {"any in RE2", u"(?=a)", 0, "re2", nullptr, "no look-around"},
      // JavaScript's unset groups and per-iteration captures.
      {"unset reference in JavaScript", u"(a)|b\\1", 0, "js", nullptr, "may not be set"},
      {"set reference in JavaScript", u"(a)b\\1", 0, "js", u"(a)b\\1", nullptr},
      {"capture in a repeat in JavaScript", u"(?:(a)|b)+", 0, "js", nullptr, "each new iteration"},
      // Quoting, escapes and metacharacters come out as plain characters.
      {"quoted text", u"\\Qa.b\\E", 0, "go", u"a\\.b", nullptr},
      {"escapes", u"\\x41\\e\\t", 0, "js", u"A\\x1B\\t", nullptr},
      {"empty pattern", u"", 0, "icu", u"(?:)", nullptr},
      {"not convertible", u"a", 0, "posix-ere", nullptr, "does not convert patterns to POSIX ERE"},
      {"recursion", u"a(?R)?b", 0, "pcre2", nullptr, "does not convert this"},
  };
  for (const ConvertRow& row : rows) {
    SCOPED_TRACE(row.name);
    const FlavourConversion c = ConvertToFlavour(row.pattern, row.flags, QString::fromLatin1(row.flavour));
    if (row.expected) {
      EXPECT_TRUE(c.Converted()) << qPrintable(c.refused.join(QStringLiteral("; ")));
      EXPECT_EQ(c.pattern.toStdU16String(), std::u16string(row.expected)) << qPrintable(c.pattern);
    } else {
      EXPECT_FALSE(c.Converted()) << qPrintable(c.pattern);
      EXPECT_TRUE(c.pattern.isEmpty());
      ASSERT_FALSE(c.refused.isEmpty());
      EXPECT_TRUE(c.refused.first().contains(QString::fromLatin1(row.reason))) << qPrintable(c.refused.first());
    }
  }
}

// Korvane numbers named groups after the unnamed ones; most targets number in order.
TEST(FlavourConvert, GroupMapFollowsTheTargetsNumbering) {
  const std::u16string pattern = u"(?<year>\\d{4})-(\\d\\d)-(?<day>\\d\\d)";
  EXPECT_EQ(ConvertToFlavour(pattern, 0, QStringLiteral("python")).groupMap, (std::vector<int>{0, 2, 1, 3}));
  EXPECT_EQ(ConvertToFlavour(pattern, 0, QStringLiteral("dotnet")).groupMap, (std::vector<int>{0, 1, 2, 3}));
  // A reference by number follows its group to the target's number.
  EXPECT_EQ(ConvertToFlavour(u"(?<n>a)(b)\\1\\2", 0, QStringLiteral("java")).pattern,
            QStringLiteral("(?<n>a)(b)\\2\\1"));
  // Onigmo: no unnamed group beside a named one, references by name.
  EXPECT_FALSE(ConvertToFlavour(pattern, 0, QStringLiteral("ruby")).Converted());
  EXPECT_EQ(ConvertToFlavour(u"(?<n>a)\\1", 0, QStringLiteral("ruby")).pattern, QStringLiteral("(?<n>a)\\k<n>"));
  // Names a target does not take.
  EXPECT_FALSE(ConvertToFlavour(u"(?<my_name>a)", 0, QStringLiteral("java")).Converted());
  EXPECT_TRUE(ConvertToFlavour(u"(?<my_name>a)", 0, QStringLiteral("python")).Converted());
}

TEST(FlavourConvert, MatchesReadInKorvanesNumbering) {
  // Target groups: 1 = year, 2 = month; Korvane's: 1 = month, 2 = year.
  const std::vector<int> map{0, 2, 1};
  EXPECT_EQ(ToKorvaneGroups({0, 7, 0, 4, 5, 7}, map), (std::vector<int>{0, 7, 5, 7, 0, 4}));
  // A group beyond what the target answered reads as unset.
  EXPECT_EQ(ToKorvaneGroups({0, 7}, map), (std::vector<int>{0, 7, -1, -1, -1, -1}));
  EXPECT_TRUE(ToKorvaneGroups({}, map).empty());
}

// A pattern of too many classes is refused at once rather than keep the window waiting; one just
// under the bound converts.
TEST(FlavourConvert, HugePatternsAreRefusedNotWaitedFor) {
  CStringTable::SetCurrent(CStringTable::kEnglish);
  std::u16string many;
  for (int i = 0; i < 501; ++i) many += u"[ab]";
  const FlavourConversion refused = ConvertToFlavour(many, 0, QStringLiteral("pcre2"));
  ASSERT_FALSE(refused.Converted());
  EXPECT_TRUE(refused.refused.first().contains(QStringLiteral("this large"))) << qPrintable(refused.refused.first());
  const FlavourConversion converted = ConvertToFlavour(many.substr(4), 0, QStringLiteral("pcre2"));
  ASSERT_TRUE(converted.Converted());
  EXPECT_EQ(converted.pattern.size(), 500 * 4);
  // Groups nested as deep as the compiler reads them, each referred to: converted, renumbered
  // through the map, in one pass.
  std::u16string deep;
  for (int i = 0; i < 200; ++i) deep += u"(";
  deep += u"x";
  for (int i = 0; i < 200; ++i) deep += u")";
  for (int i = 0; i < 200; ++i) deep += u"\\1";
  const FlavourConversion nested = ConvertToFlavour(deep, 0, QStringLiteral("js"));
  ASSERT_TRUE(nested.Converted()) << qPrintable(nested.refused.join(QStringLiteral("; ")));
  EXPECT_EQ(nested.groupMap.size(), 201u);
}

// Every flavour the table names converts the plain pattern unchanged, so the list and the
// dialects cannot drift apart.
TEST(FlavourConvert, EveryListedFlavourConverts) {
  for (const QString& f : ConvertibleFlavours()) {
    const FlavourConversion c = ConvertToFlavour(u"abc", 0, f);
    EXPECT_TRUE(c.Converted()) << qPrintable(f);
    EXPECT_TRUE(c.pattern.endsWith(QStringLiteral("abc"))) << qPrintable(f) << " " << qPrintable(c.pattern);
  }
  EXPECT_FALSE(IsConvertibleFlavour(QStringLiteral("korvane")));
  EXPECT_TRUE(FindAllLikeKorvane(QStringLiteral("js")));
  EXPECT_FALSE(FindAllLikeKorvane(QStringLiteral("python")));
}

}  // namespace
