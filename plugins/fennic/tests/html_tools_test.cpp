// HTML tools: character references and tag removal, as tables, and bad input.
#include <gtest/gtest.h>

#include "plugins/fennic/fennic_text.h"
#include "plugins/fennic/html_tools.h"

namespace fennic {
namespace {

struct Row {
  const char* name;
  const char16_t* in;
  const char16_t* out;
};

TEST(HtmlTools, Entities) {
  static const Row rows[] = {
      {"named lt gt", u"&lt;a&gt;", u"<a>"},
      {"decimal", u"&#65;", u"A"},
      {"hex without semicolon", u"&#x41", u"A"},
      {"hex upper digits", u"&#x4E2D;", u"\u4e2d"},
      {"case-insensitive second lookup", u"&AMP;", u"&"},
      {"unknown stays", u"&foo;", u"&foo;"},
      {"exact case first, upper", u"&Aacute;", u"\u00c1"},
      {"exact case first, lower", u"&aacute;", u"\u00e1"},
      {"no exact match takes the first equal entry", u"&AACUTE;", u"\u00c1"},
      {"Prime and prime", u"&Prime;&prime;", u"\u2033\u2032"},
      {"Dagger and dagger", u"&Dagger;&dagger;", u"\u2021\u2020"},
      {"euro nbsp yuml fnof", u"&euro;&nbsp;&yuml;&fnof;", u"\u20ac\u00a0\u00ff\u0192"},
      {"greek and symbols", u"&Alpha;&omega;&thetasym;&upsih;&piv;&diams;", u"\u0391\u03c9\u03d1\u03d2\u03d6\u2666"},
      {"text around kept", u"x &quot;y&quot; z", u"x \"y\" z"},
      {"lone ampersand", u"a & b &", u"a & b &"},
      {"hex is at most four digits", u"&#x41424;", u"\u4142" u"4;"},
      {"decimal up to 65535", u"&#65535;", u"\uffff"},
      {"decimal beyond 65535 is a surrogate pair", u"&#99999;", u"\U0001869F"},
      {"decimal 65536", u"&#65536;", u"\U00010000"},
      {"decimal is at most five digits", u"&#1234567;", u"\u3039" u"67;"},
      {"empty", u"", u""},
  };
  for (const Row& r : rows) EXPECT_EQ(std::u16string(r.out), ConvertHtmlEntities(r.in)) << r.name;
}

TEST(HtmlTools, EntityTableHoldsTheHtml401Set) {
  EXPECT_EQ(252, HtmlEntityCount());
  EXPECT_EQ(160, LookupHtmlEntity(u"nbsp"));
  EXPECT_EQ(255, LookupHtmlEntity(u"yuml"));
  EXPECT_EQ(376, LookupHtmlEntity(u"Yuml"));
  EXPECT_EQ(8364, LookupHtmlEntity(u"euro"));
  EXPECT_EQ(34, LookupHtmlEntity(u"QUOT"));
  EXPECT_EQ(-1, LookupHtmlEntity(u"apos"));  // not an HTML 4.01 entity
  EXPECT_EQ(-1, LookupHtmlEntity(u""));
  // Every Latin-1 code from 160 to 255 has a name.
  static const char* const latin1[] = {"iexcl", "cent", "pound", "curren", "frac34", "iquest", "times", "divide",
                                       "THORN", "thorn", "szlig", "ETH", "eth"};
  for (const char* n : latin1) EXPECT_GT(LookupHtmlEntity(Widen(n)), 160) << n;
}

TEST(HtmlTools, RemoveTags) {
  static const Row rows[] = {
      {"paragraph with attribute", u"<p class=\"x\">aaa</p>", u"aaa"},
      {"self-closing", u"a<br/>b", u"ab"},
      {"lone less-than stays", u"a < b", u"a < b"},
      {"line break becomes one blank", u"one\r\ntwo", u"one two"},
      {"runs of white space", u"a \t\n b", u"a b"},
      {"comment on one line", u"a<!-- c -->b", u"ab"},
      {"comment over lines stays", u"a<!-- c\n d -->b", u"a<!-- c d -->b"},
      {"unclosed comment at the end", u"a<!-- c", u"a"},
      {"unclosed comment then a line", u"a<!-- c\nd", u"a<!-- c d"},
      {"unterminated tag runs to the end", u"a<b class=\"x", u"a"},
      {"unterminated single quote", u"a<img alt='x y", u"a"},
      {"bare values and slashes", u"<a href=/x/y.html target=_top>t</a>", u"t"},
      {"names with dots and hyphens", u"<my-tag.x a=1>t</my-tag.x>", u"t"},
      {"quoted greater-than", u"<a title=\"a>b\">t</a>", u"t"},
      {"empty", u"", u""},
  };
  for (const Row& r : rows) EXPECT_EQ(std::u16string(r.out), RemoveHtmlTags(r.in)) << r.name;
}

TEST(HtmlTools, LargeInputsEndDefined) {
  std::u16string many;
  for (int i = 0; i < 20000; ++i) many += u"<b>&amp;</b>";
  EXPECT_EQ(std::u16string(20000, u'&'), ConvertHtmlEntities(RemoveHtmlTags(many)));
  std::u16string open(50000, u'<');
  EXPECT_EQ(open, RemoveHtmlTags(open));
  std::u16string refs;
  for (int i = 0; i < 5000; ++i) refs += u"&#99999";
  EXPECT_EQ(10000u, ConvertHtmlEntities(refs).size());
}

}  // namespace
}  // namespace fennic
