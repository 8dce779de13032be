// The offset tables from code points and UTF-8 bytes to UTF-16 units, and the ASCII-only JSON
// strings of the requests.
#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

#include "app/flavours/unit_map.h"

namespace {

struct MapCase {
  const char* name;
  QString subject;
  std::vector<int> fromCodePoint;  // UTF-16 offset of each code point offset 0..n
  std::vector<int> fromByte;       // UTF-16 offset of each byte offset 0..n, -1 inside a character
  bool lone;
};

std::vector<MapCase> MapCases() {
  return {
      {"ascii", QStringLiteral("ab"), {0, 1, 2}, {0, 1, 2}, false},
      {"empty", QString(), {0}, {0}, false},
      {"crlf", QStringLiteral("a\r\nb"), {0, 1, 2, 3, 4}, {0, 1, 2, 3, 4}, false},
      // e + COMBINING ACUTE ACCENT (two bytes) + x: the mark is a code point of its own
      {"combining", QString::fromUtf16(u"e\u0301x"), {0, 1, 2, 3}, {0, 1, -1, 2, 3}, false},
      // a, e-acute (2 bytes), U+1F600 (2 units, 4 bytes), b
      {"astral", QString::fromUtf16(u"a\u00e9\U0001F600b"), {0, 1, 2, 4, 5}, {0, 1, -1, 2, -1, -1, -1, 4, 5}, false},
      // the euro sign: three bytes
      {"three-byte", QString::fromUtf16(u"\u20ac."), {0, 1, 2}, {0, -1, -1, 1, 2}, false},
      // a lone high surrogate counts as one code point (three bytes in generalized UTF-8)
      {"lone-high", QString::fromUtf16(u"a\xD800" u"b"), {0, 1, 2, 3}, {0, 1, -1, -1, 2, 3}, true},
      // a low surrogate before a high one: two lone surrogates, not a pair
      {"reversed-pair", QString::fromUtf16(u"\xDC00\xD800"), {0, 1, 2}, {0, -1, -1, 1, -1, -1, 2}, true},
      {"lone-at-end", QString::fromUtf16(u"x\xD83D"), {0, 1, 2}, {0, 1, -1, -1, 2}, true},
  };
}

class UnitMapTable : public ::testing::TestWithParam<MapCase> {};

TEST_P(UnitMapTable, MapsEveryBoundary) {
  const MapCase& c = GetParam();
  const CUnitMap map(c.subject);
  EXPECT_EQ(map.HasLoneSurrogate(), c.lone);
  EXPECT_EQ(map.Utf16Length(), c.subject.size());
  ASSERT_EQ(map.CodePointLength() + 1, static_cast<int>(c.fromCodePoint.size()));
  ASSERT_EQ(map.Utf8Length() + 1, static_cast<int>(c.fromByte.size()));
  for (size_t i = 0; i < c.fromCodePoint.size(); ++i)
    EXPECT_EQ(map.ToUtf16(FlavourUnit::CodePoint, static_cast<int>(i)), c.fromCodePoint[i]) << "code point " << i;
  for (size_t i = 0; i < c.fromByte.size(); ++i)
    EXPECT_EQ(map.ToUtf16(FlavourUnit::Utf8, static_cast<int>(i)), c.fromByte[i]) << "byte " << i;
  for (int i = 0; i <= c.subject.size(); ++i) EXPECT_EQ(map.ToUtf16(FlavourUnit::Utf16, i), i);
  // Beyond either end: no offset.
  for (FlavourUnit u : {FlavourUnit::Utf16, FlavourUnit::CodePoint, FlavourUnit::Utf8}) {
    EXPECT_EQ(map.ToUtf16(u, -1), -1);
    EXPECT_EQ(map.ToUtf16(u, 1000), -1);
  }
  // The byte table agrees with Qt's own UTF-8 encoder wherever the text has no lone surrogate.
  if (!c.lone) {
    EXPECT_EQ(map.Utf8Length(), c.subject.toUtf8().size());
  }
}

INSTANTIATE_TEST_SUITE_P(Subjects, UnitMapTable, ::testing::ValuesIn(MapCases()),
                         [](const ::testing::TestParamInfo<MapCase>& i) {
                           std::string n = i.param.name;
                           for (char& ch : n)
                             if (ch == '-') ch = '_';
                           return n;
                         });

TEST(UnitMap, ParsesUnitNames) {
  FlavourUnit u = FlavourUnit::Utf16;
  ASSERT_TRUE(ParseFlavourUnit(QStringLiteral("codepoint"), &u));
  EXPECT_EQ(u, FlavourUnit::CodePoint);
  ASSERT_TRUE(ParseFlavourUnit(QStringLiteral("utf8"), &u));
  EXPECT_EQ(u, FlavourUnit::Utf8);
  ASSERT_TRUE(ParseFlavourUnit(QStringLiteral("utf16"), &u));
  EXPECT_EQ(u, FlavourUnit::Utf16);
  EXPECT_FALSE(ParseFlavourUnit(QStringLiteral("bytes"), &u));
  EXPECT_FALSE(ParseFlavourUnit(QString(), &u));
}

struct JsonCase {
  QString text;
  const char* json;
};

TEST(UnitMap, RequestStringsArePureAscii) {
  const JsonCase cases[] = {
      {QStringLiteral("plain"), "\"plain\""},
      {QStringLiteral("q\"b\\"), "\"q\\\"b\\\\\""},
      {QStringLiteral("a\r\n\tb"), "\"a\\r\\n\\tb\""},
      {QString::fromUtf16(u"\u00e9"), "\"\\u00e9\""},
      {QString::fromUtf16(u"\U0001F600"), "\"\\ud83d\\ude00\""},
      {QString::fromUtf16(u"\xD800x"), "\"\\ud800x\""},
      {QString(QChar(1)) + QChar(0x7f), "\"\\u0001\\u007f\""},
  };
  for (const JsonCase& c : cases) {
    const QByteArray got = JsonAsciiString(c.text);
    EXPECT_EQ(got, QByteArray(c.json)) << c.text.toStdString();
    for (char ch : got) EXPECT_TRUE(ch >= 0x20 && ch < 0x7f) << "byte " << int(ch);
    // Every string but the lone surrogate comes back whole through a JSON reader.
    if (!c.text.contains(QChar(0xD800))) {
      const QJsonDocument d = QJsonDocument::fromJson("[" + got + "]");
      ASSERT_TRUE(d.isArray());
      EXPECT_EQ(d.array().at(0).toString(), c.text);
    }
  }
}

}  // namespace
